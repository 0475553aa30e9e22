#include "Childtest.h"

#include <algorithm>

#include "application/connections/Parser2.h"
#include "application/frame/Regdataunit.h"
#include "support/Peers.h"
#include "support/Winwait.h"

namespace {

// The client closed the data connection (or it failed).
bool DataClosed(SOCKET d) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(d, &set);
  timeval tv{0, 0};
  if (select(0, &set, nullptr, nullptr, &tv) != 1) return false;
  char c;
  return recv(d, &c, 1, 0) <= 0;
}

}  // namespace

String UnixLine(const String& name, int64_t size, bool dir) {
  return String(dir ? "drwxr-xr-x" : "-rw-r--r--") + "    1 ftp      ftp      " + IntToStr(size) + " Jan 12  2020 " +
         name + "\r\n";
}

TFtpScriptServer::TFtpScriptServer(TFtpScript script) : script_(std::move(script)) {
  if (UsesTree()) script_.Tree.Folders.insert({"/", "/home"});
  std::vector<TScriptedPeer::TScript> each(static_cast<size_t>(std::max(1, script_.Connections)),
                                           [this](SOCKET s) { Serve(s); });
  peer_ = std::make_unique<TScriptedPeer>(std::move(each));
}

int TFtpScriptServer::Count(const String& verb) const {
  int n = 0;
  for (const String& c : log_.Get())
    if (UpperCase(c.substr(0, c.find(' '))) == verb) ++n;
  return n;
}

void TFtpScriptServer::SetListing(const String& listing) {
  std::lock_guard<std::mutex> g(m_);
  script_.Listing = listing;
}

TFtpScript::TTree TFtpScriptServer::Tree() const {
  std::lock_guard<std::mutex> g(m_);
  return script_.Tree;
}

namespace {

String ParentOf(const String& path) {
  size_t i = path.rfind('/');
  return i == 0 || i == String::npos ? String("/") : path.substr(0, i);
}

String NameOf(const String& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

String TFtpScriptServer::TreePath(const String& dir, const String& arg) {
  String joined = !arg.empty() && arg[0] == '/' ? arg : dir + "/" + arg;
  std::vector<String> parts;
  for (size_t i = 0; i <= joined.size();) {
    size_t e = joined.find('/', i);
    if (e == String::npos) e = joined.size();
    String part = joined.substr(i, e - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = e + 1;
  }
  String path;
  for (const String& p : parts) path += "/" + p;
  return path.empty() ? String("/") : path;
}

String TFtpScriptServer::TreeListing(const String& dir) const {
  const TFtpScript::TTree& t = script_.Tree;
  String listing;
  for (const String& f : t.Folders)
    if (f != dir && f != "/" && ParentOf(f) == dir) listing += UnixLine(NameOf(f), 512, true);
  for (const auto& [path, bytes] : t.Files)
    if (ParentOf(path) == dir) listing += UnixLine(NameOf(path), static_cast<int64_t>(bytes.size()));
  auto rows = t.Rows.find(dir);
  if (rows != t.Rows.end())
    for (const auto& [name, line] : rows->second) listing += line;
  return listing;
}

std::map<String, String> TFtpScriptServer::Stored() const {
  std::lock_guard<std::mutex> g(m_);
  return stored_;
}

void TFtpScriptServer::Serve(SOCKET s) {
  BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  auto replies = script_.Replies;
  // The reply in place of the default for this turn ("" when none).
  auto scripted = [&](const String& verb) {
    auto it = replies.find(verb);
    if (it == replies.end() || it->second.empty()) return String();
    String r = it->second.front();
    it->second.erase(it->second.begin());
    return r;
  };
  String banner = scripted("BANNER");
  SendBytes(s, banner.empty() ? "220 Scripted FTP\r\n" : banner);
  std::unique_ptr<TDataListener> listener;
  // The address of the last PORT: the next transfer connects there.
  String portCmd;
  auto accept = [&]() {
    if (!portCmd.empty()) {
      String to = portCmd;
      portCmd.clear();
      return ConnectToPort(to);
    }
    return listener ? listener->Accept() : INVALID_SOCKET;
  };
  String cmd;
  int count = 0;
  // The offset of the last REST: the next RETR sends from there.
  size_t restAt = 0;
  // The server's directory in a tree.
  String cwd = "/home";
  // A file RETR or SIZE names, by its argument.
  auto fileOf = [&](const String& arg, String& bytes) {
    std::lock_guard<std::mutex> g(m_);
    const std::map<String, String>& files = UsesTree() ? script_.Tree.Files : script_.Files;
    auto f = files.find(UsesTree() ? TreePath(cwd, arg) : arg);
    if (f == files.end()) return false;
    bytes = f->second;
    return true;
  };
  while (NextCmd(s, log_, cmd)) {
    if (script_.CloseAfter && ++count > script_.CloseAfter) return;
    size_t blank = cmd.find(' ');
    String verb = UpperCase(cmd.substr(0, blank));
    String arg = blank == String::npos ? String() : cmd.substr(blank + 1);
    if (auto delay = script_.DelayMs.find(verb); delay != script_.DelayMs.end()) Sleep(static_cast<DWORD>(delay->second));
    String over = scripted(verb);
    if (!over.empty()) {
      SendBytes(s, over);
      continue;
    }
    if (UsesTree()) {
      String reply;
      {
        std::lock_guard<std::mutex> g(m_);
        TFtpScript::TTree& t = script_.Tree;
        String path = TreePath(cwd, verb == "CDUP" ? String("..") : arg);
        auto empty = [&](const String& folder) {
          String below = folder + "/";
          for (const String& f : t.Folders)
            if (f.compare(0, below.size(), below) == 0) return false;
          for (const auto& [p, bytes] : t.Files)
            if (p.compare(0, below.size(), below) == 0) return false;
          auto rows = t.Rows.find(folder);
          return rows == t.Rows.end() || rows->second.empty();
        };
        if (verb == "CWD" || verb == "CDUP") {
          if (t.Folders.count(path) != 0) {
            cwd = path;
            reply = "250 Directory successfully changed.\r\n";
          } else {
            reply = "550 Failed to change directory.\r\n";
          }
        } else if (verb == "PWD") {
          reply = "257 \"" + (script_.PwdOf ? script_.PwdOf(cwd) : cwd) + "\" is the current directory\r\n";
        } else if (verb == "MKD") {
          bool taken = t.Folders.count(path) != 0 || t.Files.count(path) != 0;
          if (taken || t.Folders.count(ParentOf(path)) == 0) {
            reply = "550 Create directory operation failed.\r\n";
          } else {
            t.Folders.insert(path);
            reply = "257 \"" + path + "\" created\r\n";
          }
        } else if (verb == "RMD") {
          if (path != "/" && path != cwd && t.Folders.count(path) != 0 && empty(path)) {
            t.Folders.erase(path);
            reply = "250 Remove directory operation successful.\r\n";
          } else {
            reply = "550 Remove directory operation failed.\r\n";
          }
        } else if (verb == "DELE") {
          auto rows = t.Rows.find(ParentOf(path));
          if (t.Files.erase(path) != 0 || (rows != t.Rows.end() && rows->second.erase(NameOf(path)) != 0))
            reply = "250 Delete operation successful.\r\n";
          else
            reply = "550 Delete operation failed.\r\n";
        }
      }
      if (!reply.empty()) {
        SendBytes(s, reply);
        continue;
      }
    }
    if (verb == "USER") {
      SendBytes(s, "331 Password please\r\n");
    } else if (verb == "PASS") {
      SendBytes(s, "230 Logged in\r\n");
    } else if (verb == "SYST") {
      SendBytes(s, "215 UNIX Type: L8\r\n");
    } else if (verb == "PWD") {
      SendBytes(s, "257 \"/home\" is the current directory\r\n");
    } else if (verb == "CWD" || verb == "CDUP") {
      SendBytes(s, "250 Directory changed\r\n");
    } else if (verb == "HELP") {
      SendBytes(s, "214-The following commands are recognized.\r\n CWD CDUP LIST NLST RETR STOR SIZE SITE\r\n214 Help OK.\r\n");
    } else if (verb == "STAT") {
      SendBytes(s, "211 Scripted FTP status: logged in\r\n");
    } else if (verb == "TYPE") {
      SendBytes(s, "200 Type set\r\n");
    } else if (verb == "NOOP") {
      SendBytes(s, "200 NOOP ok\r\n");
    } else if (verb == "MKD") {
      SendBytes(s, "257 \"" + arg + "\" created\r\n");
    } else if (verb == "RMD" || verb == "DELE" || verb == "RNTO") {
      SendBytes(s, "250 " + verb + " ok\r\n");
    } else if (verb == "RNFR") {
      SendBytes(s, "350 Ready for RNTO\r\n");
    } else if (verb == "REST") {
      restAt = static_cast<size_t>(StrToInt64Def(arg, 0));
      SendBytes(s, "350 Restarting at " + arg + "\r\n");
    } else if (verb == "SITE") {
      SendBytes(s, "200 SITE ok\r\n");
    } else if (verb == "PASV") {
      listener = std::make_unique<TDataListener>();
      portCmd.clear();
      SendBytes(s, listener->PasvReply());
    } else if (verb == "PORT") {
      listener.reset();
      portCmd = cmd;
      SendBytes(s, "200 PORT command successful\r\n");
    } else if (verb == "SIZE") {
      String bytes;
      SendBytes(s, !fileOf(arg, bytes) ? String("550 No such file\r\n")
                                       : "213 " + IntToStr(static_cast<int64_t>(bytes.size())) + "\r\n");
    } else if (verb == "RETR") {
      String bytes;
      if (!fileOf(arg, bytes)) {
        SendBytes(s, "550 No such file\r\n");
        continue;
      }
      SendBytes(s, "150 Opening data connection\r\n");
      SOCKET d = accept();
      bool whole = d != INVALID_SOCKET;
      String data = bytes.substr(std::min(restAt, bytes.size()));
      restAt = 0;
      bool cut = script_.RetrCutAfter >= 0 && static_cast<size_t>(script_.RetrCutAfter) < data.size();
      if (cut) data.resize(static_cast<size_t>(script_.RetrCutAfter));
      size_t step = script_.PaceBytes > 0 ? static_cast<size_t>(script_.PaceBytes) : data.size();
      for (size_t at = 0; whole && at < data.size(); at += step) {
        if (!SendBytes(d, data.substr(at, step)) || (script_.PaceMs > 0 && DataClosed(d))) {
          whole = false;
          break;
        }
        if (script_.PaceMs > 0) Sleep(static_cast<DWORD>(script_.PaceMs));
      }
      if (!whole) aborted_ = true;
      closesocket(d);
      if (whole && script_.RetrReplyDelayMs > 0) Sleep(static_cast<DWORD>(script_.RetrReplyDelayMs));
      SendBytes(s, whole && !cut ? "226 Transfer complete\r\n" : "426 Connection closed; transfer aborted\r\n");
    } else if (verb == "STOR") {
      SendBytes(s, "150 Ok to send data\r\n");
      SOCKET d = accept();
      String got;
      char buf[4096];
      for (int n; d != INVALID_SOCKET && (n = recv(d, buf, sizeof buf, 0)) > 0;) {
        got.append(buf, static_cast<size_t>(n));
        if (script_.PaceStor) Sleep(1);
      }
      closesocket(d);
      {
        std::lock_guard<std::mutex> g(m_);
        stored_[arg] = got;
        if (UsesTree()) script_.Tree.Files[TreePath(cwd, arg)] = got;
      }
      SendBytes(s, "226 Transfer complete\r\n");
    } else if (verb == "NLST") {
      SendBytes(s, "150 Here comes the name list\r\n");
      SOCKET d = accept();
      SendBytes(d, script_.Names);
      closesocket(d);
      SendBytes(s, "226 Directory send OK\r\n");
    } else if (verb == "LIST") {
      SendBytes(s, "150 Here comes the directory listing\r\n");
      SOCKET d = accept();
      if (script_.HoldList) {
        // Nothing until the client goes.
        char c;
        while (d != INVALID_SOCKET && recv(d, &c, 1, 0) > 0) {
        }
        closesocket(d);
        continue;
      }
      String listing;
      {
        std::lock_guard<std::mutex> g(m_);
        listing = UsesTree() ? TreeListing(cwd) : script_.Listing;
      }
      SendBytes(d, listing);
      closesocket(d);
      SendBytes(s, "226 Directory send OK\r\n");
    } else if (verb == "QUIT") {
      SendBytes(s, "221 Bye\r\n");
      return;
    } else {
      SendBytes(s, "502 No\r\n");
    }
  }
}

// ---------------------------------------------------------------- fixture

void ChildTest::SetUp() {
  savedTitle_ = Application->Title;
  Application->Title = "NembraTest-child-" + IntToStr(GetCurrentProcessId());
  TRegistry r;
  r.DeleteKey(TReg::GetKeyPath());
  TReg::WriteBool(SettingsSection, "Lanline", true);
  dir = MakeTempFolder("child");
  profiles = dir + "\\accounts.dat";
  local = dir + "\\local";
  ForceDirectories(local);
  host.Profiles = profiles;
  host.Folder = local;
  previousFactory_ = SetConnectionWindowFactory(&TFormMdi::Create);
  previousEditor_ = SetPermissionEditor(&TFormMod::Edit);
  if (!DirParser) DirParser = new TDirParser(Application);
}

void ChildTest::TearDown() {
  CloseChildren();
  form.reset();
  frame.reset();
  PumpFor(50);
  servers_.clear();
  SetConnectionWindowFactory(previousFactory_);
  SetPermissionEditor(previousEditor_);
  TRegistry r;
  r.DeleteKey(TReg::GetKeyPath());
  Application->Title = savedTitle_;
}

TFtpScriptServer& ChildTest::StartServer(const TFtpScript& script) {
  servers_.push_back(std::make_unique<TFtpScriptServer>(script));
  return *servers_.back();
}

void ChildTest::WriteProfile(const String& name, const std::map<String, String>& keys) {
  TMemIniFile ini(profiles);
  for (const auto& [k, v] : keys) ini.WriteString(name, k, v);
  ini.UpdateFile();
}

void ChildTest::ScriptedProfile(int port, const std::map<String, String>& more) {
  std::map<String, String> keys = {{"HostName", "127.0.0.1"}, {"UserName", "nembraftp"},
                                   {"PassWord", "secret"},    {"Port", IntToStr(port)},
                                   {"Passive", "1"},          {"ServerType", "0"}};
  for (const auto& [k, v] : more) keys[k] = v;
  WriteProfile("Scripted", keys);
}

void ChildTest::OpenFrame() {
  frame.reset(new TForm(Application));
  frame->SetName("ChildFrame");
  frame->SetCaption("Connection host");
  frame->SetBounds(10, 10, 1000, 720);
  frame->SetFormStyle(fsMDIForm);
  frame->EndLoading();
  frame->Show();
  ASSERT_TRUE(WaitVisible(frame->Handle()));
}

TCustomForm* ChildTest::Frame() const {
  if (form) return form.get();
  return frame.get();
}

void ChildTest::CloseChildren() {
  if (form) form->CloseAllChildren();
  if (frame) {
    for (int i = frame->MDIChildCount() - 1; i >= 0; --i) frame->MDIChildren(i)->Close();
    WaitUntil([&] { return frame->MDIChildCount() == 0; });
  }
}

void ChildTest::OpenMain() {
  TReg::WriteBool("FormMain", "MaxState", false);
  TReg::WriteInteger("FormMain", "Left", 10);
  TReg::WriteInteger("FormMain", "Top", 10);
  TReg::WriteInteger("FormMain", "Width", 1000);
  TReg::WriteInteger("FormMain", "Height", 720);
  form.reset(new TFormMain(Application, profiles));
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  form->SelectLocalFolder(local);
}

TFormMdi* ChildTest::Open(const String& profile) {
  if (form) {
    form->OpenConnection(profile);
    return dynamic_cast<TFormMdi*>(FormMdi);
  }
  if (!frame) OpenFrame();
  if (!frame) return nullptr;
  auto* child = new TFormMdi(frame.get(), &host);
  child->SetCaption(profile);
  child->Show();
  child->SetProfileName(profile);
  child->Connect();
  return child;
}

bool ChildTest::WaitIdle(TFormMdi* child, DWORD ms) {
  return WaitUntil(
      [&] { return !child->Busy() && !child->ListingPending() && child->Ftp1->ClientState() == ftpReady; }, ms);
}

bool ChildTest::LogHas(TFormMdi* child, const String& line) const { return child->LogLines->IndexOf(line) >= 0; }

std::vector<String> ChildTest::LogLinesStarting(TFormMdi* child, const String& prefix) const {
  std::vector<String> found;
  for (int i = 0; i < child->LogLines->Count(); ++i)
    if (child->LogLines->Get(i).rfind(prefix, 0) == 0) found.push_back(child->LogLines->Get(i));
  return found;
}

std::vector<String> ChildTest::Captions(TCustomListView* list) const {
  std::vector<String> c;
  for (int i = 0; i < list->Items()->Count(); ++i) c.push_back(list->Items()->Item(i)->Caption());
  return c;
}

void ChildTest::SelectFiles(TFormMdi* child, std::initializer_list<const char*> names) {
  TListItems* items = child->RemoteFiles->Items();
  for (int i = 0; i < items->Count(); ++i) {
    bool wanted = names.size() == 0;
    for (const char* n : names)
      if (items->Item(i)->Caption() == n) wanted = true;
    items->Item(i)->SetSelected(wanted);
  }
}

std::vector<String> ChildTest::BoxCaptions() const {
  std::vector<String> c = host.BoxCaptions();
  for (const auto& b : dialogs.Dialogs.Boxes) c.push_back(b.caption);
  return c;
}
