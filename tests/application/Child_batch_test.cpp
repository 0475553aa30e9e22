// The connection window's batch upload, download and delete of folder
// trees against a scripted server that keeps a tree: the transcripts, the
// walk by absolute paths that PWD must confirm (links, pipes, odd names,
// wrong PWD answers, deep trees), local names, replies 550 and 553, the
// replace question and a cancel in the middle.
#include <gtest/gtest.h>

#include "Childtest.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Peers.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

const std::vector<String> kRelist = {"PWD", "PASV", "LIST"};

std::vector<String> Concat(std::vector<String> a, const std::vector<String>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The steps of a directory the walk enters: CWD, PWD, LIST.
std::vector<String> Enter(const String& path) { return {"CWD " + path, "PWD", "PASV", "LIST"}; }

std::vector<String> Fetch(const String& name) { return {"SIZE " + name, "PASV", "RETR " + name}; }

::testing::AssertionResult ClickButton(TSpeedButton* b) {
  return Click(b->Parent()->Handle(), POINT{b->Left() + b->Width() / 2, b->Top() + b->Height() / 2});
}

// Every file and folder (with a trailing "\") below root, relative, sorted.
std::vector<String> LocalTree(const String& root) {
  std::vector<String> found;
  std::function<void(const String&, const String&)> walk = [&](const String& d, const String& rel) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((d + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
      String n = fd.cFileName;
      if (n == "." || n == "..") continue;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        found.push_back(rel + n + "\\");
        walk(d + "\\" + n, rel + n + "\\");
      } else {
        found.push_back(rel + n);
      }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  };
  walk(root, "");
  std::sort(found.begin(), found.end());
  return found;
}

// The host's path of a local path, by Wine's own export ("" without it).
String UnixPathOf(const String& path) {
  using TUnixName = char*(CDECL*)(LPCWSTR);
  auto unixName = reinterpret_cast<TUnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
  if (!unixName) return String();
  char* p = unixName(StringToWide(path).c_str());
  String result = p ? p : "";
  if (p) HeapFree(GetProcessHeap(), 0, p);
  return result;
}

String Row(const char* mode, const String& name) {
  return String(mode) + "    1 ftp      ftp      0 Jan 12  2020 " + name + "\r\n";
}

}  // namespace

class ChildBatch : public ChildTest {
 protected:
  TFormMdi* Connect(const TFtpScript& script) {
    server_ = &StartServer(script);
    ScriptedProfile(server_->Port());
    TFormMdi* child = Open("Scripted");
    if (!child || !WaitIdle(child)) return nullptr;
    mark_ = server_->Commands().size();
    return child;
  }
  std::vector<String> Sent() const {
    std::vector<String> c = server_->Commands();
    return std::vector<String>(c.begin() + static_cast<ptrdiff_t>(std::min(mark_, c.size())), c.end());
  }
  bool SelectDir(TFormMdi* child, const String& caption) {
    TListItems* items = child->RemoteDirs->Items();
    for (int i = 0; i < items->Count(); ++i)
      if (items->Item(i)->Caption() == caption) {
        items->Item(i)->SetSelected(true);
        return true;
      }
    return false;
  }
  TFtpScriptServer* server_ = nullptr;
  size_t mark_ = 0;
};

// ---------------------------------------------------------------- upload

TEST_F(ChildBatch, UploadTranscripts) {
  struct Case {
    const char* name;
    std::vector<String> dirs;                 // below the folder
    std::map<String, String> files;           // below the folder, with their bytes
    std::map<String, std::vector<String>> replies;
    std::set<String> remoteFolders;           // already on the server
    std::vector<String> sent;
    const char* last;                         // the last log line of the run
    std::map<String, String> stored;          // the server's files afterwards
    std::vector<String> boxes;
  } cases[] = {
      {"nested", {"a", "a\\b"}, {{"a\\b\\f.txt", "f"}}, {}, {},
       Concat({"MKD a", "MKD a/b", "TYPE I", "PASV", "STOR a/b/f.txt"}, kRelist), "Completed batch upload operation",
       {{"/home/a/b/f.txt", "f"}}, {}},
      {"folders without files", {"a", "a\\b", "c"}, {}, {}, {},
       Concat({"MKD a", "MKD a/b", "MKD c", "TYPE I"}, kRelist), "Completed batch upload operation", {}, {}},
      {"an empty folder", {}, {}, {}, {}, {}, "Initiating batch upload operation", {}, {}},
      {"a folder that is there already", {"a"}, {{"a\\f.txt", "ff"}}, {}, {"/home/a"},
       Concat({"MKD a", "TYPE I", "PASV", "STOR a/f.txt"}, kRelist), "Completed batch upload operation",
       {{"/home/a/f.txt", "ff"}}, {}},
      {"a refused file is counted", {}, {{"g.txt", "g"}, {"h.txt", "h"}}, {{"STOR", {"553 Could not create file.\r\n"}}},
       {}, Concat({"TYPE I", "PASV", "STOR g.txt", "PASV", "STOR h.txt"}, kRelist),
       "Completed batch upload operation (1 files skipped)", {{"/home/h.txt", "h"}}, {"Batch Upload"}},
      {"a refused type ends it", {}, {{"g.txt", "g"}}, {{"TYPE", {"504 Not that type.\r\n"}}}, {},
       Concat({"TYPE I"}, kRelist), "Batch upload stopped: 0 of 1 files uploaded, 0 skipped", {}, {}},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    String root = local + "\\up" + IntToStr(++n);
    ForceDirectories(root);
    for (const String& d : c.dirs) ForceDirectories(root + "\\" + d);
    for (const auto& [f, bytes] : c.files) WriteFileBytes(root + "\\" + f, bytes);
    TFtpScript script;
    script.Tree.Folders = c.remoteFolders;
    script.Tree.Folders.insert("/home");
    script.Replies = c.replies;
    TFormMdi* child = Connect(script);
    ASSERT_NE(child, nullptr);
    host.Answers = {true};
    host.Boxes.clear();
    child->BatchUpload(root);
    ASSERT_TRUE(WaitIdle(child));
    PumpFor(100);
    EXPECT_EQ(Sent(), c.sent);
    EXPECT_EQ(host.Boxes.size(), c.boxes.size() + 1);
    std::vector<String> captions = host.BoxCaptions();
    EXPECT_EQ(std::vector<String>(captions.begin() + 1, captions.end()), c.boxes);
    EXPECT_TRUE(LogHas(child, "Initiating batch upload operation"));
    EXPECT_TRUE(LogHas(child, c.last));
    if (StartsText("Completed", c.last)) {
      EXPECT_TRUE(LogLinesStarting(child, "Error").empty());
    }
    std::map<String, String> files = server_->Tree().Files;
    EXPECT_EQ(files, c.stored);
    EXPECT_FALSE(child->Busy());
    EXPECT_FALSE(child->BatchRunning());
    EXPECT_TRUE(child->Connected());
    CloseChildren();
  }
}

TEST_F(ChildBatch, UploadTakesAnArchiveFolderAndSkipsLinks) {
  String root = MakeTempFolder("batch-up");
  ForceDirectories(root + "\\arch");
  WriteFileBytes(root + "\\arch\\x.txt", "x");
  // Wine may keep no such attribute on a folder: the folder is taken either way.
  SetFileAttributesA((root + "\\arch").c_str(), FILE_ATTRIBUTE_ARCHIVE);
  if ((GetFileAttributesA((root + "\\arch").c_str()) & FILE_ATTRIBUTE_ARCHIVE) == 0)
    std::cout << "the folder keeps no archive attribute here\n";
  // A link to the folder itself (followed, it would never end), made on the
  // host: Wine makes none of its own. (A link to a file shows under Wine as
  // the file it names.)
  String unixRoot = UnixPathOf(root);
  ASSERT_FALSE(unixRoot.empty());
  THostRun ln = RunHostCommand("ln -sfn " + ShellQuote(unixRoot) + " " + ShellQuote(unixRoot + "/loop"));
  ASSERT_EQ(ln.Status, 0) << ln.Out;
  // Gone after the test: a clean-up walking into it would never end either.
  TFinally unlink([&] { RunHostCommand("rm -f " + ShellQuote(unixRoot + "/loop")); });
  TFtpScript script;
  script.Tree.Folders = {"/home"};
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  host.Answers = {true};
  child->BatchUpload(root);
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_EQ(Sent(), Concat({"MKD arch", "TYPE I", "PASV", "STOR arch/x.txt"}, kRelist));
  EXPECT_EQ(LogLinesStarting(child, "Skipped (a link): "), std::vector<String>{"Skipped (a link): " + root + "\\loop"});
  EXPECT_TRUE(LogHas(child, "Completed batch upload operation (1 files skipped)"));
  EXPECT_EQ(server_->Tree().Files, (std::map<String, String>{{"/home/arch/x.txt", "x"}}));
  EXPECT_EQ(host.BoxCaptions(), (std::vector<String>{"Continue?", "Batch Upload"}));
}

// ---------------------------------------------------------------- download

TEST_F(ChildBatch, DownloadWalksByAbsolutePathsAndEndsAtTheStart) {
  TFtpScript script;
  script.Tree.Folders = {"/home", "/home/docs", "/home/docs/in", "/home/empty"};
  script.Tree.Files = {{"/home/top.txt", "top"}, {"/home/docs/d.txt", "dd"}, {"/home/docs/in/i.txt", "iii"}};
  // A refused SIZE: the file comes all the same.
  script.Replies["SIZE"] = {"550 Could not get file size.\r\n"};
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  host.Answers = {true};
  // A header click while it runs changes nothing of the walk.
  child->BatchDownload();
  child->RemoteDirsColumnClick(child->RemoteDirs, nullptr);
  ASSERT_TRUE(WaitIdle(child));
  std::vector<String> want;
  for (const auto& part : {Enter("/home"), {"TYPE I"}, Fetch("top.txt"), Enter("/home/docs"), {"TYPE I"},
                           Fetch("d.txt"), Enter("/home/docs/in"), {"TYPE I"}, Fetch("i.txt"), Enter("/home/empty"),
                           Enter("/home")})
    want = Concat(want, part);
  EXPECT_EQ(Sent(), want);
  EXPECT_EQ(LocalTree(local),
            (std::vector<String>{"docs\\", "docs\\d.txt", "docs\\in\\", "docs\\in\\i.txt", "empty\\", "top.txt"}));
  EXPECT_EQ(ReadFileBytes(local + "\\docs\\in\\i.txt"), "iii");
  EXPECT_EQ(ReadFileBytes(local + "\\top.txt"), "top");
  EXPECT_EQ(child->CurrentDir, "/home");
  EXPECT_EQ(child->LogLines->Get(child->LogLines->Count() - 1), "Completed batch download operation");
  EXPECT_TRUE(LogLinesStarting(child, "Error").empty());
  EXPECT_EQ(host.Boxes.size(), 1u);  // the question
}

TEST_F(ChildBatch, DownloadLeavesOutLinksPipesHostileNamesAndCaseTwins) {
  TFtpScript script;
  script.Tree.Folders = {"/home", "/home/Docs", "/home/docs"};
  script.Tree.Files = {{"/home/ok.txt", "ok"},         {"/home/A.txt", "A"},        {"/home/a.txt", "a"},
                       {"/home/Docs/in.txt", "in"},     {"/home/docs/in2.txt", "in2"}, {"/home/..\\evil.txt", "e"},
                       {"/home/C:\\evil.txt", "e"},     {"/home/CON", "e"},          {"/home/a:b", "e"},
                       {"/home/x.", "e"}};
  script.Tree.Rows["/home"] = {{"loop", Row("lrwxrwxrwx", "loop -> .")},
                               {"fifo", Row("prw-r--r--", "fifo")},
                               {"a/b", Row("drwxr-xr-x", "a/b")},
                               {".", Row("drwxr-xr-x", ".")},
                               {"..", Row("drwxr-xr-x", "..")}};
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  String target = local + "\\in";
  ForceDirectories(target);
  host.Folder = target;
  host.Answers = {true};
  child->BatchDownload();
  ASSERT_TRUE(WaitIdle(child));
  std::vector<String> sent = Sent();
  EXPECT_LT(sent.size(), 40u);
  for (const String& c : sent) {
    EXPECT_TRUE(c.find("loop") == String::npos && c.find("fifo") == String::npos && c.find("evil") == String::npos &&
                c != "CWD /home/docs")
        << c;
  }
  EXPECT_EQ(LocalTree(local), (std::vector<String>{"in\\", "in\\A.txt", "in\\Docs\\", "in\\Docs\\in.txt", "in\\ok.txt"}));
  EXPECT_EQ(ReadFileBytes(target + "\\A.txt"), "A");
  EXPECT_FALSE(FileExists("C:\\evil.txt"));
  EXPECT_EQ(LogLinesStarting(child, "Error: Not downloaded: ").size(), 5u);
  EXPECT_EQ(LogLinesStarting(child, "Skipped (").size(), 5u);  // link, pipe, "a/b", two case twins
  EXPECT_EQ(child->LogLines->Get(child->LogLines->Count() - 1), "Completed batch download operation");
}

// Answers of the server that would send the old walk round for ever or out
// of the tree: both a download and a delete stop within a few commands,
// writing and deleting nothing outside.
TEST_F(ChildBatch, WrongPwdAnswersAndDeepTreesStopTheWalk) {
  struct Case {
    const char* name;
    std::function<String(const String&)> pwd;
    int levels;  // of /home/t/d/d/...
    const char* error;
  } cases[] = {
      {"PWD answers the parent", [](const String& d) { return d == "/home/t/d" ? String("/home/t") : d; }, 1,
       "Error: After CWD /home/t/d the server reports the directory /home/t: the walk stops"},
      {"PWD always answers /", [](const String& d) { return d == "/home" || d == "/home/t" ? d : String("/"); }, 1,
       "Error: After CWD /home/t/d the server reports the directory /: the walk stops"},
      {"a resolved path", [](const String& d) { return d == "/home/t/d" ? String("/srv/real/d") : d; }, 2,
       "Error: After CWD /home/t/d the server reports the directory /srv/real/d: the walk stops"},
      {"70 levels", nullptr, 70, nullptr},
  };
  for (const Case& c : cases) {
    for (bool remove : {false, true}) {
      SCOPED_TRACE(String(c.name) + (remove ? " (delete)" : " (download)"));
      TFtpScript script;
      script.Tree.Folders = {"/home", "/home/t"};
      String d = "/home/t";
      for (int i = 0; i < c.levels; ++i) {
        d += "/d";
        script.Tree.Folders.insert(d);
        script.Tree.Files[d + "/f.txt"] = "f";
      }
      script.Tree.Files["/home/sentinel.txt"] = "keep";
      script.Tree.Files["/home/t/top.txt"] = "top";
      script.PwdOf = c.pwd;
      TFormMdi* child = Connect(script);
      ASSERT_NE(child, nullptr);
      String target = MakeTempFolder(remove ? "del" : "down");
      ForceDirectories(target);
      host.Folder = target;
      host.Answers = {true};
      if (remove) {
        ASSERT_TRUE(SelectDir(child, "t"));
        child->BatchDelete();
      } else {
        child->ChangeDir("t");
        ASSERT_TRUE(WaitIdle(child));
        mark_ = server_->Commands().size();
        child->BatchDownload();
      }
      ASSERT_TRUE(WaitIdle(child, 60000));
      std::vector<String> sent = Sent();
      EXPECT_LT(sent.size(), static_cast<size_t>(8 * 67)) << sent.size();
      EXPECT_TRUE(child->Connected());
      EXPECT_FALSE(child->BatchRunning());
      String error = c.error ? String(c.error)
                             : "Error: The tree goes deeper than 64 levels below /home/t: " + d.substr(0, 7 + 2 * 65);
      EXPECT_EQ(LogLinesStarting(child, "Error: "), std::vector<String>{error}) << child->LogLines->Text();
      auto tree = server_->Tree();
      EXPECT_EQ(tree.Files["/home/sentinel.txt"], "keep");
      // Nothing went but below the target.
      EXPECT_EQ(server_->Count("RMD"), 0);
      for (const String& cmd : sent) {
        if (cmd.rfind("DELE ", 0) == 0 && c.levels != 70) EXPECT_EQ(cmd, "DELE top.txt");
      }
      // Back where it started, with its listing.
      EXPECT_EQ(std::vector<String>(sent.end() - 4, sent.end()), Enter(remove ? "/home" : "/home/t"));
      if (!remove) {
        std::vector<String> written = LocalTree(target);
        for (const String& w : written) EXPECT_TRUE(w == "top.txt" || w.rfind("d\\", 0) == 0) << w;
      }
      CloseChildren();
    }
  }
}

// ---------------------------------------------------------------- delete

TEST_F(ChildBatch, DeleteRemovesTheTreeLastVisitedFirst) {
  TFtpScript script;
  script.Tree.Folders = {"/home", "/home/t", "/home/t/a", "/home/t/a/x", "/home/t/b", "/home/keep"};
  script.Tree.Files = {{"/home/t/f1", "1"}, {"/home/t/a/x/f2", "2"}, {"/home/keep.txt", "k"}};
  script.Tree.Rows["/home/t/b"] = {{"lnk", Row("lrwxrwxrwx", "lnk -> /home/keep")},
                                   {"pipe", Row("prw-r--r--", "pipe")}};
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  host.Answers = {true};
  ASSERT_TRUE(SelectDir(child, "t"));
  child->BatchDelete();
  ASSERT_TRUE(WaitIdle(child));
  std::vector<String> want;
  for (const auto& part : {Enter("/home/t"), {"DELE f1"}, Enter("/home/t/a"), Enter("/home/t/a/x"), {"DELE f2"},
                           Enter("/home/t/b"), {"DELE lnk", "DELE pipe", "CWD /home"},
                           {"RMD /home/t/b", "RMD /home/t/a/x", "RMD /home/t/a", "RMD /home/t"}, kRelist})
    want = Concat(want, part);
  EXPECT_EQ(Sent(), want);
  auto tree = server_->Tree();
  EXPECT_EQ(tree.Folders, (std::set<String>{"/", "/home", "/home/keep"}));
  EXPECT_EQ(tree.Files, (std::map<String, String>{{"/home/keep.txt", "k"}}));
  EXPECT_EQ(LogLinesStarting(child, "Completed batch delete operation").size(), 1u);
  EXPECT_EQ(host.BoxCaptions(), std::vector<String>{"Continue?"});
}

TEST_F(ChildBatch, DeleteOfTheUpRowOrALink) {
  TFtpScript script;
  script.Tree.Folders = {"/home", "/home/target"};
  script.Tree.Files = {{"/home/target/x", "x"}};
  script.Tree.Rows["/home"] = {{"lnk", Row("lrwxrwxrwx", "lnk -> target")}};
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  // "..": a box, nothing sent.
  host.Answers = {true};
  ASSERT_TRUE(SelectDir(child, ".."));
  child->BatchDelete();
  PumpFor(200);
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(host.BoxCaptions(), (std::vector<String>{"Continue?", "Come on now..."}));
  EXPECT_EQ(host.Boxes[1].Text, "You can not delete the up directory symbol!");
  // A link goes itself; its target stays.
  host.Answers = {true};
  ASSERT_TRUE(SelectDir(child, "lnk -> target"));
  child->BatchDelete();
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_EQ(Sent(), Concat({"DELE lnk"}, kRelist));
  EXPECT_EQ(server_->Tree().Files.count("/home/target/x"), 1u);
  EXPECT_TRUE(server_->Tree().Rows["/home"].empty());
}

// ---------------------------------------------------------------- busy, cancel and the replace question

TEST_F(ChildBatch, ABusyWindowStartsNoBatch) {
  TFtpScript script;
  script.Tree.Folders = {"/home", "/home/t"};
  script.HoldList = true;
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  TFormMdi* child = Open("Scripted");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return server.Count("LIST") == 1; }, 10000));
  size_t sent = server.Commands().size();
  host.Answers = {false, false, false};
  child->BatchDownload();
  child->BatchDelete();
  child->BatchUpload(local);
  EXPECT_EQ(host.BoxCaptions(), (std::vector<String>{"Nembra Busy...", "Nembra Busy...", "Nembra Busy..."}));
  PumpFor(300);
  EXPECT_EQ(server.Commands().size(), sent);
  EXPECT_FALSE(child->BatchRunning());
}

// ---------------------------------------------------------------- cancel and the replace question

TEST_F(ChildBatch, CancelStopsAfterTheCurrentCommand) {
  for (bool remove : {false, true}) {
    SCOPED_TRACE(remove ? "delete" : "download");
    TFtpScript script;
    script.Tree.Folders = {"/home", "/home/t", "/home/t/sub"};
    for (int i = 0; i < 20; ++i) script.Tree.Files["/home/t/f" + IntToStr(10 + i)] = String(40000, 'x');
    script.Tree.Files["/home/t/sub/s"] = "s";
    script.PaceBytes = 2000;
    script.PaceMs = 20;
    script.DelayMs["DELE"] = 300;
    TFormMdi* child = Connect(script);
    ASSERT_NE(child, nullptr);
    String target = local + (remove ? "\\del" : "\\down");
    ForceDirectories(target);
    host.Folder = target;
    host.Answers = {true};
    if (remove) {
      ASSERT_TRUE(SelectDir(child, "t"));
      child->BatchDelete();
      ASSERT_TRUE(WaitUntil([&] { return server_->Count("DELE") == 1; }, 10000));
      SaveScreenshot(frame->Handle(), "delete");
    } else {
      child->ChangeDir("t");
      ASSERT_TRUE(WaitIdle(child));
      mark_ = server_->Commands().size();
      child->BatchDownload();
      ASSERT_TRUE(WaitUntil([&] { return child->TransferDone > 4000; }, 10000));
      EXPECT_EQ(child->TransferFile->Caption(), "Downloading: /home/t/f10");
      EXPECT_TRUE(EndsText("(0 files, 0 folders so far)", child->AsFile->Caption())) << child->AsFile->Caption();
      SaveScreenshot(frame->Handle(), "download");
    }
    ASSERT_TRUE(ClickButton(child->CancelB));
    ASSERT_TRUE(WaitIdle(child, 20000));
    std::vector<String> sent = Sent();
    EXPECT_EQ(server_->Count(remove ? "DELE" : "RETR"), 1);
    EXPECT_EQ(server_->Count("RMD"), 0);
    EXPECT_EQ(std::vector<String>(sent.end() - 4, sent.end()), Enter(remove ? "/home" : "/home/t"));
    EXPECT_TRUE(child->Connected());
    EXPECT_FALSE(child->BatchRunning());
    EXPECT_EQ(LogLinesStarting(child, remove ? "Batch delete cancelled: 1 files deleted" : "Batch download cancelled: 0 files")
                  .size(),
              1u);
    if (!remove) {
      EXPECT_EQ(LogLinesStarting(child, "Incomplete file: ").size(), 1u);
      EXPECT_EQ(LocalTree(target), std::vector<String>{"f10"});
    }
    EXPECT_EQ(server_->Tree().Files.size(), remove ? 20u : 21u);
    CloseChildren();
  }
}

TEST_F(ChildBatch, DownloadAsksBeforeReplacingALocalFile) {
  // a, b and c are there already (c in a folder below); d is new.
  struct Row {
    const char* what;
    std::vector<const char*> presses;  // the question's buttons, in turn
    std::map<String, String> after;    // the local files
    int retrs;
    const char* log;
  } rows[] = {
      {"yes to all", {"Yes to &all"}, {{"a.txt", "new"}, {"b.txt", "new"}, {"in\\c.txt", "new"}, {"in\\d.txt", "new"}},
       4, "Completed batch download operation"},
      {"no, yes, cancel", {"&No", "&Yes", "Cancel"}, {{"a.txt", "old"}, {"b.txt", "new"}, {"in\\c.txt", "old"}}, 1,
       "Batch download cancelled: 1 files in 1 folders downloaded, 1 skipped"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    TFtpScript script;
    script.Tree.Folders = {"/home", "/home/in"};
    for (const char* n : {"a.txt", "b.txt", "in/c.txt", "in/d.txt"}) script.Tree.Files[String("/home/") + n] = "new";
    TFormMdi* child = Connect(script);
    ASSERT_NE(child, nullptr);
    String into = MakeTempFolder("replace");
    ForceDirectories(into + "\\in");
    for (const char* n : {"a.txt", "b.txt", "in\\c.txt"}) WriteFileBytes(into + "\\" + n, "old");
    host.Folder = into;
    host.Answers = {true};
    {
      TScopedRealDialogs real;
      TModalDriver modal;
      bool first = true;
      for (const char* press : r.presses) {
        modal.Window("Replace File");
        if (first)
          modal.Do("shot", [](HWND w) {
            SaveScreenshot(w, "question");
            return true;
          });
        first = false;
        modal.Press(press);
      }
      child->BatchDownload();
      EXPECT_TRUE(modal.Finish());
      ASSERT_TRUE(WaitIdle(child));
      ASSERT_FALSE(modal.Seen().empty());
      EXPECT_EQ(modal.Seen()[0].Text(), "The file a.txt already exists in " + into + ". Do you want to replace it?");
      EXPECT_EQ(modal.Seen()[0].Buttons, (std::vector<String>{"&Yes", "Yes to &all", "&No", "Cancel"}));
    }
    std::map<String, String> after;
    for (const String& f : LocalTree(into))
      if (f.back() != '\\') after[f] = ReadFileBytes(into + "\\" + f);
    EXPECT_EQ(after, r.after);
    EXPECT_EQ(server_->Count("RETR"), r.retrs);
    EXPECT_TRUE(LogHas(child, r.log)) << child->LogLines->Text();
    EXPECT_TRUE(child->Connected());
    CloseChildren();
  }
}
