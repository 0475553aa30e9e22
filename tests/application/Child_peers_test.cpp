// The connection window against vsftpd, pure-ftpd and proftpd on loopback,
// in passive and active mode: a profile from accounts.dat logs in and lists
// the seeded root; files download with the manifest's hashes (one in ASCII
// mode); a large random file and a name with blanks upload into upload/;
// the raw commands are answered, set a mode, list and move files; cut
// transfers resume both ways, also past 4 GiB.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "Childtest.h"
#include "application/connections/Dirinfo.h"
#include "support/Modal.h"
#include "support/Peers.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

struct TPeerCase {
  const char* Name;  // the peer's folder
  TPeerPort Port;
  bool Passive;
};

std::ostream& operator<<(std::ostream& os, const TPeerCase& c) {
  return os << c.Name << (c.Passive ? " passive" : " active");
}

String RandomBytes(size_t n, unsigned seed) {
  String s(n, '\0');
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    s[i] = static_cast<char>(seed >> 16);
  }
  return s;
}

class ChildPeers : public ChildTest, public ::testing::WithParamInterface<TPeerCase> {
 protected:
  void PeerProfile(const String& name, const String& startDir) {
    const TPeerCase& c = GetParam();
    WriteProfile(name, {{"HostName", "127.0.0.1"},
                        {"Port", PeerPortStr(c.Port)},
                        {"UserName", kFtpUser},
                        {"PassWord", kFtpPassword},
                        {"Passive", c.Passive ? "1" : "0"},
                        {"ServerType", "0"},
                        {"StartDir", startDir}});
  }
  String Tag() const { return String(GetParam().Name) + (GetParam().Passive ? "-pasv" : "-port"); }
};

}  // namespace

TEST_P(ChildPeers, ListsDownloadsAndUploads) {
  const TPeerCase& c = GetParam();
  std::map<String, TPeerFile> manifest = PeerManifest(c.Name);
  ASSERT_FALSE(manifest.empty());
  PeerProfile("Peer", "");
  TFormMdi* child = Open("Peer");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child, 30000));
  ASSERT_TRUE(child->Connected()) << child->LogLines->Text();

  // The rows are the seeded root: its folders, and its files in name order.
  std::vector<String> dirs = Captions(child->RemoteDirs);
  ASSERT_FALSE(dirs.empty());
  EXPECT_EQ(dirs[0], "..");
  std::sort(dirs.begin() + 1, dirs.end());
  EXPECT_EQ(dirs, (std::vector<String>{"..", "listing", "quote\"dir", "sub", "upload"}));
  std::vector<String> files;
  for (const auto& [path, file] : manifest)
    if (path.find('/') == String::npos) files.push_back(path);
  std::sort(files.begin(), files.end(), [](const String& a, const String& b) { return CompareRemoteNames(a, b) < 0; });
  EXPECT_EQ(Captions(child->RemoteFiles), files);
  for (int i = 0; i < child->RemoteFiles->Items()->Count(); ++i) {
    TListItem* it = child->RemoteFiles->Items()->Item(i);
    EXPECT_EQ(it->SubItems()->Get(0), IntToStr(manifest[it->Caption()].Size)) << it->Caption();
  }
  SaveScreenshot(frame->Handle(), "listing");

  // Downloads in binary mode.
  String into = MakeTempFolder("peer-" + Tag());
  host.Folder = into;
  SelectFiles(child, {"size0.bin", "size1.bin", "size1461.bin", "size10m.bin"});
  child->DownloadSelected();
  ASSERT_TRUE(WaitIdle(child, 60000));
  for (const char* name : {"size0.bin", "size1.bin", "size1461.bin", "size10m.bin"})
    EXPECT_EQ(FileSha256(into + "\\" + name), manifest[name].Sha256) << name;
  // And a text file in ASCII mode.
  child->ComboMode->SetItemIndex(1);
  SelectFiles(child, {"hello.txt"});
  child->DownloadSelected();
  ASSERT_TRUE(WaitIdle(child, 30000));
  // The server makes the line ends (pure-ftpd puts a CR before every LF,
  // also after the file's own CR): the text is the same.
  String text = ReadFileBytes(into + "\\hello.txt");
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  EXPECT_EQ(text, "Hello from Nembra's test FTP server\n");
  EXPECT_TRUE(LogHas(child, "-->  TYPE A"));
  EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty()) << child->LogLines->Text();
  CloseChildren();

  // Uploads into the start directory of another profile.
  PeerProfile("Upload", "/upload");
  String big = into + "\\up-" + Tag() + ".bin";
  String blanks = into + "\\name with blanks " + Tag() + ".txt";
  WriteFileBytes(big, RandomBytes(10 << 20, static_cast<unsigned>(c.Port) * 2 + c.Passive));
  WriteFileBytes(blanks, "blanks\r\n");
  child = Open("Upload");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child, 30000));
  EXPECT_EQ(child->CurrentDir, "/upload");
  TStringList paths;
  paths.Add(big);
  paths.Add(blanks);
  child->UploadFiles(&paths);
  ASSERT_TRUE(WaitIdle(child, 60000));
  String remote = PeerFolder(c.Name) + "root\\upload\\";
  for (const String& p : {big, blanks}) EXPECT_EQ(FileSha256(remote + ExtractFileName(p)), FileSha256(p)) << p;
  // The listing after the upload shows both.
  std::vector<String> shown = Captions(child->RemoteFiles);
  for (const String& p : {big, blanks})
    EXPECT_NE(std::find(shown.begin(), shown.end(), ExtractFileName(p)), shown.end()) << p;
  EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty()) << child->LogLines->Text();
  EXPECT_TRUE(host.Boxes.empty());
}

namespace {

// The names in a folder of the disk (files and folders, sorted).
std::vector<String> DiskNames(const String& folder) {
  std::vector<String> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    String n = fd.cFileName;
    if (n != "." && n != "..") names.push_back(n);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

// The mode of a file of the disk, as stat gives it ("640").
String ModeOf(const String& zPath) {
  THostRun r = RunHostCommand("stat -c %a " + ShellQuote(HostPath(zPath)));
  String out = r.Out;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return r.Status == 0 ? out : "(stat: " + out + ")";
}

}  // namespace

TEST_P(ChildPeers, FoldersFilesAndModes) {
  const TPeerCase& c = GetParam();
  // In the main window: the editor opens from its action.
  OpenMain();
  // A fresh folder under upload/ with four files, all the FTP account's.
  String name = "ops-" + Tag() + "-" + IntToStr(GetCurrentProcessId());
  String disk = PeerFolder(c.Name) + "root\\upload\\" + name;
  ASSERT_TRUE(ForceDirectories(disk));
  for (const char* f : {"a.txt", "b.txt", "c.txt", "d.txt"}) WriteFileBytes(disk + "\\" + f, f);
  THostRun chown = RunHostCommand("chown -R " + String(kFtpUser) + ":" + kFtpUser + " " + ShellQuote(HostPath(disk)));
  ASSERT_EQ(chown.Status, 0) << chown.Out;
  PeerProfile("Ops", "/upload/" + name);
  TFormMdi* child = Open("Ops");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child, 30000));
  ASSERT_TRUE(child->Connected()) << child->LogLines->Text();
  // After each step the rows are what the disk holds.
  auto rowsMatchDisk = [&]() -> ::testing::AssertionResult {
    std::vector<String> rows;
    for (TPTListView* l : {child->RemoteDirs, child->RemoteFiles})
      for (const String& caption : Captions(l))
        if (caption != "..") rows.push_back(caption);
    std::sort(rows.begin(), rows.end());
    std::vector<String> onDisk = DiskNames(disk);
    if (rows == onDisk) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "rows " << ::testing::PrintToString(rows) << ", disk "
                                         << ::testing::PrintToString(onDisk);
  };
  auto step = [&](const char* what, const std::function<void()>& act) {
    SCOPED_TRACE(what);
    act();
    ASSERT_TRUE(WaitIdle(child, 30000));
  };
  step("make", [&] { child->MakeDir("made"); });
  EXPECT_EQ(child->CurrentDir, "/upload/" + name + "/made");
  EXPECT_TRUE(DirectoryExists(disk + "\\made"));
  step("up", [&] { child->ChangeDir(".."); });
  EXPECT_EQ(child->CurrentDir, "/upload/" + name);
  EXPECT_TRUE(rowsMatchDisk());
  step("rename folder", [&] {
    for (int i = 0; i < child->RemoteDirs->Items()->Count(); ++i)
      if (child->RemoteDirs->Items()->Item(i)->Caption() == "made") child->RemoteDirs->Items()->Item(i)->SetSelected(true);
    child->RenameDir("renamed");
  });
  EXPECT_TRUE(DirectoryExists(disk + "\\renamed"));
  EXPECT_TRUE(rowsMatchDisk());
  step("remove folder", [&] { child->RemoveDir("renamed"); });
  EXPECT_FALSE(DirectoryExists(disk + "\\renamed"));
  EXPECT_TRUE(rowsMatchDisk());
  step("delete two", [&] {
    SelectFiles(child, {"a.txt", "b.txt"});
    dialogs.Dialogs.Answers = {IDYES};
    child->DeleteSelected();
  });
  EXPECT_EQ(DiskNames(disk), (std::vector<String>{"c.txt", "d.txt"}));
  EXPECT_TRUE(rowsMatchDisk());
  step("rename file", [&] {
    SelectFiles(child, {"c.txt"});
    dialogs.Dialogs.InputAnswers = {{true, "e.txt"}};
    child->RenameSelectedFile();
  });
  EXPECT_EQ(DiskNames(disk), (std::vector<String>{"d.txt", "e.txt"}));
  EXPECT_EQ(ReadFileBytes(disk + "\\e.txt"), "c.txt");
  EXPECT_TRUE(rowsMatchDisk());
  step("file mode", [&] {
    SelectFiles(child, {"e.txt"});
    child->ChmodFiles("640", false);
  });
  EXPECT_EQ(ModeOf(disk + "\\e.txt"), "640");
  step("folder for the mode", [&] {
    child->MakeDir("modes");
  });
  step("back", [&] { child->ChangeDir(".."); });
  step("folder mode", [&] {
    for (int i = 0; i < child->RemoteDirs->Items()->Count(); ++i)
      if (child->RemoteDirs->Items()->Item(i)->Caption() == "modes") child->RemoteDirs->Items()->Item(i)->SetSelected(true);
    child->ChmodDir("750", false);
  });
  EXPECT_EQ(ModeOf(disk + "\\modes"), "750");
  EXPECT_TRUE(rowsMatchDisk());
  // The listing shows the modes the server now has.
  for (int i = 0; i < child->RemoteFiles->Items()->Count(); ++i) {
    TListItem* it = child->RemoteFiles->Items()->Item(i);
    if (it->Caption() == "e.txt") EXPECT_EQ(it->SubItems()->Get(2), "-rw-r-----");
  }
  EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty()) << child->LogLines->Text();
  EXPECT_EQ(BoxCaptions(), (std::vector<String>{"Delete Files?"}));
  SaveScreenshot(form->Handle(), "operations");

  // The editor opens on a setgid folder with its mode.
  step("listing", [&] { child->ChangeDir("/listing"); });
  bool found = false;
  for (int i = 0; i < child->RemoteDirs->Items()->Count(); ++i)
    if (child->RemoteDirs->Items()->Item(i)->Caption() == "setgid") {
      child->RemoteDirs->Items()->Item(i)->SetSelected(true);
      found = true;
    }
  ASSERT_TRUE(found) << ::testing::PrintToString(Captions(child->RemoteDirs));
  ASSERT_TRUE(WaitUntil([&] { return form->ActionChmodDir->Enabled(); }));
  std::vector<String> shown;
  {
    TModalDriver modal;
    modal.Window("File Permissions").Press("&Cancel");
    form->ActionChmodDir->Execute();
    EXPECT_TRUE(modal.Done());
    if (!modal.Seen().empty()) shown = modal.Seen()[0].Texts;
  }
  EXPECT_NE(std::find(shown.begin(), shown.end(), "755"), shown.end()) << ::testing::PrintToString(shown);
}

TEST_P(ChildPeers, RawCommands) {
  const TPeerCase& c = GetParam();
  // A fresh folder under upload/ with one file of the FTP account.
  String name = "raw-" + Tag() + "-" + IntToStr(GetCurrentProcessId());
  String disk = PeerFolder(c.Name) + "root\\upload\\" + name;
  ASSERT_TRUE(ForceDirectories(disk));
  WriteFileBytes(disk + "\\f.txt", "raw f\r\n");
  THostRun chown = RunHostCommand("chown -R " + String(kFtpUser) + ":" + kFtpUser + " " + ShellQuote(HostPath(disk)) +
                                  " && chmod 644 " + ShellQuote(HostPath(disk)) + "/f.txt");
  ASSERT_EQ(chown.Status, 0) << chown.Out;
  PeerProfile("Raw", "/upload/" + name);
  TFormMdi* child = Open("Raw");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child, 30000));
  ASSERT_TRUE(child->Connected()) << child->LogLines->Text();
  // The reply lines a command brought.
  auto replies = [&](const std::function<void()>& act) {
    int from = child->LogLines->Count();
    act();
    EXPECT_TRUE(WaitIdle(child, 30000));
    std::vector<String> got;
    for (int i = from; i < child->LogLines->Count(); ++i)
      if (child->LogLines->Get(i).rfind("<-- ", 0) == 0) got.push_back(child->LogLines->Get(i));
    return got;
  };
  struct Row {
    const char* what;
    std::function<void()> act;
  } answered[] = {
      {"SYST", [&] { child->SendSYST(); }},
      {"STAT", [&] { child->SendSTAT(); }},
      {"HELP", [&] { child->SendHELP("HELP"); }},
      {"SITE CHMOD", [&] { child->SendSITE("CHMOD 600 f.txt"); }},
      {"QUOTE TYPE I", [&] { child->SendQuote("TYPE I"); }},
  };
  for (const Row& r : answered) {
    SCOPED_TRACE(r.what);
    std::vector<String> got = replies(r.act);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back().substr(4, 1), "2") << ::testing::PrintToString(got);
  }
  EXPECT_EQ(ModeOf(disk + "\\f.txt"), "600");
  std::vector<String> size = replies([&] { child->SendSIZE("/size10m.bin"); });
  EXPECT_EQ(size, (std::vector<String>{"<-- 213 10485760"}));

  // The raw listings show what is there.
  for (bool names : {false, true}) {
    SCOPED_TRACE(names ? "NLST" : "LIST");
    String shown;
    TModalDriver modal(20000);
    modal.Window("Directory Information")
        .Do("read the memo",
            [&](HWND w) {
              auto* form = dynamic_cast<TFormDir*>(TControl::FindControl(w));
              if (!form) return false;
              shown = form->Memo1->Text();
              return true;
            })
        .Key(VK_ESCAPE);
    if (names)
      child->SendNLST();
    else
      child->SendLIST();
    ASSERT_TRUE(modal.Finish(30000));
    ASSERT_TRUE(WaitIdle(child, 30000));
    EXPECT_NE(shown.find("f.txt"), String::npos) << shown;
  }

  // A raw STOR from the local folder, then a raw RETR of the server's file.
  WriteFileBytes(local + "\\up.bin", RandomBytes(100000, static_cast<unsigned>(c.Port) + c.Passive));
  child->SendSTOR("up.bin");
  ASSERT_TRUE(WaitIdle(child, 30000));
  EXPECT_EQ(FileSha256(disk + "\\up.bin"), FileSha256(local + "\\up.bin"));
  std::vector<String> rows = Captions(child->RemoteFiles);
  EXPECT_NE(std::find(rows.begin(), rows.end(), "up.bin"), rows.end());
  child->SendRETR("f.txt");
  ASSERT_TRUE(WaitIdle(child, 30000));
  EXPECT_EQ(FileSha256(local + "\\f.txt"), FileSha256(disk + "\\f.txt"));
  EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty()) << child->LogLines->Text();

  child->SendQUIT();
  ASSERT_TRUE(WaitUntil([&] { return !child->Connected() && !child->Busy(); }, 15000));
  EXPECT_TRUE(child->ReconB->Enabled());
  EXPECT_TRUE(host.Boxes.empty());
}

namespace {

// Every plain file below root (relative, "/" between folders) with its
// SHA-256, and the folders with a trailing "/"; links (Wine shows a link to
// a folder as a reparse point), the names in skip and names not in ASCII
// (which Wine spells in its own way) are left out.
std::map<String, String> DiskTree(const String& root, const std::set<String>& skip = {}) {
  std::map<String, String> found;
  std::function<void(const String&, const String&)> walk = [&](const String& d, const String& rel) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((d + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
      String n = fd.cFileName;
      if (n == "." || n == ".." || skip.count(rel + n) != 0 || (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        continue;
      if (std::any_of(n.begin(), n.end(), [](char ch) { return static_cast<unsigned char>(ch) >= 0x80 || ch == '?'; }))
        continue;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        found[rel + n + "/"] = "";
        walk(d + "\\" + n, rel + n + "/");
      } else {
        found[rel + n] = FileSha256(d + "\\" + n);
      }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  };
  walk(root, "");
  return found;
}

}  // namespace

TEST_P(ChildPeers, BatchTreeDownloadUploadAndDelete) {
  const TPeerCase& c = GetParam();
  // A tree of the FTP account's under upload/, beside a folder outside it.
  String name = "batch-" + Tag() + "-" + IntToStr(GetCurrentProcessId());
  String disk = PeerFolder(c.Name) + "root\\upload\\" + name;
  ASSERT_TRUE(ForceDirectories(disk));
  THostRun made = RunHostCommand(
      "set -e; cd " + ShellQuote(HostPath(disk)) +
      "; mkdir -p outside tree/sub/nested tree/empty 'tree/with blanks' tree/setgid; chmod g+s tree/setgid"
      "; printf sentinel > outside/sentinel.txt; printf n > tree/sub/n.txt; printf b > 'tree/with blanks/a b.txt'"
      "; printf h > 'tree/#hash.txt'; printf p > 'tree/100%.txt'; printf q > \"tree/it's.txt\""
      "; printf e > tree/$(printf 'caf\\351').txt; printf s > tree/setgid/s.txt; : > tree/zero.bin"
      "; head -c 5242880 /dev/urandom > tree/sub/nested/random.bin; ln -s sub tree/link_in"
      "; ln -s ../outside tree/link_out; ln -s . tree/loop; ln -s zero.bin tree/file_link; mkfifo tree/pipe"
      "; printf C > tree/Case.txt; printf c > tree/case.txt; chown -R " +
      String(kFtpUser) + ":" + kFtpUser + " .");
  ASSERT_EQ(made.Status, 0) << made.Out;
  PeerProfile("Batch", "/upload/" + name + "/tree");
  TFormMdi* child = Open("Batch");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child, 30000));
  ASSERT_TRUE(child->Connected()) << child->LogLines->Text();

  // Download: the tree less its links, its pipe and one of the case twins.
  String into = MakeTempFolder("batch-" + Tag());
  host.Folder = into;
  host.Answers = {true};
  child->BatchDownload();
  ASSERT_TRUE(WaitIdle(child, 120000));
  EXPECT_TRUE(LogHas(child, "Completed batch download operation")) << child->LogLines->Text();
  // Links, the pipe and the case twins are none of the server's plain files.
  const std::set<String> left = {"link_in", "link_out", "loop", "file_link", "pipe", "Case.txt", "case.txt"};
  EXPECT_EQ(DiskTree(into, left), DiskTree(disk + "\\tree", left));
  for (const char* n : {"link_in", "link_out", "loop", "file_link", "pipe"}) EXPECT_FALSE(FileExists(into + "\\" + n)) << n;
  // One of the twins (Wine finds either by both names).
  std::vector<String> names = DiskNames(into);
  EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const String& n) { return SameText(n, "case.txt"); }), 1)
      << ::testing::PrintToString(names);
  EXPECT_EQ(ReadFileBytes(into + "\\caf\xE9.txt"), "e");
  EXPECT_EQ(child->CurrentDir, "/upload/" + name + "/tree");

  // Upload of the copy into a new folder: byte-equal on the server's disk.
  ASSERT_TRUE(WaitIdle(child));
  child->MakeDir("/upload/" + name + "/copy");
  ASSERT_TRUE(WaitIdle(child, 30000));
  ASSERT_EQ(child->CurrentDir, "/upload/" + name + "/copy");
  host.Answers = {true};
  child->BatchUpload(into);
  ASSERT_TRUE(WaitIdle(child, 120000));
  EXPECT_TRUE(LogHas(child, "Completed batch upload operation")) << child->LogLines->Text();
  EXPECT_EQ(DiskTree(disk + "\\copy"), DiskTree(into));
  THostRun e9copy = RunHostCommand("cat " + ShellQuote(HostPath(disk + "\\copy")) + "/$(printf 'caf\\351').txt");
  EXPECT_EQ(e9copy.Out, "e");

  // Delete: the tree goes, what lies outside it stays.
  child->ChangeDir("/upload/" + name);
  ASSERT_TRUE(WaitIdle(child, 30000));
  bool found = false;
  for (int i = 0; i < child->RemoteDirs->Items()->Count(); ++i)
    if (child->RemoteDirs->Items()->Item(i)->Caption() == "tree") {
      child->RemoteDirs->Items()->Item(i)->SetSelected(true);
      found = true;
    }
  ASSERT_TRUE(found);
  host.Answers = {true};
  child->BatchDelete();
  ASSERT_TRUE(WaitIdle(child, 60000));
  // What a server leaves out of its listing (pure-ftpd a pipe, proftpd a
  // link to "."), it keeps: the last RMD fails and ends the run.
  THostRun rest = RunHostCommand("ls -A " + ShellQuote(HostPath(disk + "\\tree")) + " 2>/dev/null | tr '\\n' ' '");
  std::set<String> kept;
  for (size_t i = 0; i < rest.Out.size();) {
    size_t e = rest.Out.find(' ', i);
    if (e == String::npos) e = rest.Out.size();
    if (e > i) kept.insert(rest.Out.substr(i, e - i));
    i = e + 1;
  }
  for (const String& k : kept) EXPECT_TRUE(k == "pipe" || k == "loop") << k;
  if (kept.empty()) {
    EXPECT_TRUE(LogHas(child, "Completed batch delete operation")) << child->LogLines->Text();
    EXPECT_FALSE(DirectoryExists(disk + "\\tree"));
    EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty()) << child->LogLines->Text();
  } else {
    EXPECT_EQ(LogLinesStarting(child, "Batch delete stopped: ").size(), 1u) << child->LogLines->Text();
  }
  EXPECT_EQ(String(c.Name) == "vsftpd", kept.empty()) << ::testing::PrintToString(kept);
  EXPECT_EQ(ReadFileBytes(disk + "\\outside\\sentinel.txt"), "sentinel");
  SaveScreenshot(frame->Handle(), "batch");
}

namespace {

// The bytes of a file from offset to its end.
String TailBytes(const String& path, int64_t offset) {
  String out;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return out;
  LARGE_INTEGER at;
  at.QuadPart = offset;
  char buffer[65536];
  DWORD got = 0;
  if (SetFilePointerEx(h, at, nullptr, FILE_BEGIN))
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
  CloseHandle(h);
  return out;
}

int64_t SizeOfFile(const String& path) {
  WIN32_FILE_ATTRIBUTE_DATA a{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return -1;
  return (static_cast<int64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

}  // namespace

TEST_P(ChildPeers, ResumeBothWaysAndPastFourGiB) {
  const TPeerCase& c = GetParam();
  String name = "resume-" + Tag() + "-" + IntToStr(GetCurrentProcessId());
  String disk = PeerFolder(c.Name) + "root\\upload\\" + name;
  ASSERT_TRUE(ForceDirectories(disk));
  unsigned seed = static_cast<unsigned>(c.Port) * 2 + c.Passive + GetTickCount();
  const size_t size = 20u << 20;
  const String down = RandomBytes(size, seed), up = RandomBytes(size, seed + 1);
  // Cut at offsets of their own, the same in no two runs.
  const size_t cutDown = 1 + (seed * 2654435761u) % (size - 1), cutUp = 1 + (seed * 40503u + 7) % (size - 1);
  WriteFileBytes(disk + "\\down.bin", down);
  WriteFileBytes(disk + "\\up.bin", up.substr(0, cutUp));
  THostRun chown = RunHostCommand("chown -R " + String(kFtpUser) + ":" + kFtpUser + " " + ShellQuote(HostPath(disk)));
  ASSERT_EQ(chown.Status, 0) << chown.Out;
  String into = MakeTempFolder("resume-" + Tag());
  host.Folder = into;
  WriteFileBytes(into + "\\down.bin", down.substr(0, cutDown));
  WriteFileBytes(into + "\\up.bin", up);
  PeerProfile("Resume", "/upload/" + name);
  TFormMdi* child = Open("Resume");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child, 30000));
  SCOPED_TRACE("cut at " + IntToStr(static_cast<int64_t>(cutDown)) + " and " + IntToStr(static_cast<int64_t>(cutUp)));

  SelectFiles(child, {"down.bin"});
  child->ResumeDownload();
  ASSERT_TRUE(WaitIdle(child, 60000));
  EXPECT_EQ(FileSha256(into + "\\down.bin"), FileSha256(disk + "\\down.bin"));
  child->ResumeUpload(into + "\\up.bin");
  ASSERT_TRUE(WaitIdle(child, 60000));
  EXPECT_EQ(FileSha256(disk + "\\up.bin"), FileSha256(into + "\\up.bin"));
  EXPECT_TRUE(LogHas(child, "-->  REST " + IntToStr(static_cast<int64_t>(cutDown))));
  EXPECT_TRUE(LogHas(child, "-->  REST " + IntToStr(static_cast<int64_t>(cutUp))));

  // Past 4 GiB: the first 4 GiB + 100 bytes are here (a sparse file, with
  // the server's blocks that fall into it); the rest comes.
  String sparse = PeerFolder(c.Name) + "root\\sparse4g.bin";
  const int64_t whole = SizeOfFile(sparse), part = (int64_t(1) << 32) + 100;
  ASSERT_GT(whole, part);
  {
    HANDLE h = CreateFileA((into + "\\sparse4g.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = part;
    ASSERT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h));
    for (int64_t off : {int64_t(0), (int64_t(1) << 31) - 32768, (int64_t(1) << 32) - 32768}) {
      String block = TailBytes(sparse, off).substr(0, static_cast<size_t>(std::min<int64_t>(65536, part - off)));
      at.QuadPart = off;
      DWORD written = 0;
      ASSERT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN) &&
                  WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &written, nullptr));
    }
    CloseHandle(h);
  }
  child->ChangeDir("/");
  ASSERT_TRUE(WaitIdle(child, 30000));
  SelectFiles(child, {"sparse4g.bin"});
  child->ResumeDownload();
  ASSERT_TRUE(WaitIdle(child, 120000));
  EXPECT_TRUE(LogHas(child, "-->  REST " + IntToStr(part)));
  EXPECT_EQ(SizeOfFile(into + "\\sparse4g.bin"), whole);
  const int64_t tail = whole - (1 << 20) - 65536;
  EXPECT_TRUE(TailBytes(into + "\\sparse4g.bin", tail) == TailBytes(sparse, tail));
  EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty()) << child->LogLines->Text();
  CloseChildren();
  DeleteFileStr(into + "\\sparse4g.bin");
}

INSTANTIATE_TEST_SUITE_P(Servers, ChildPeers,
                         ::testing::Values(TPeerCase{"vsftpd", ppVsftpd, true}, TPeerCase{"vsftpd", ppVsftpd, false},
                                           TPeerCase{"pureftpd", ppPureftpd, true},
                                           TPeerCase{"pureftpd", ppPureftpd, false},
                                           TPeerCase{"proftpd", ppProftpd, true},
                                           TPeerCase{"proftpd", ppProftpd, false}),
                         [](const auto& info) {
                           return String(info.param.Name) + (info.param.Passive ? "Passive" : "Active");
                         });
