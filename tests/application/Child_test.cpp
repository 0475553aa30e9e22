// The connection window: its texts (log and status lines, the transfer
// panel, safe local names, path shortening, the listing file), the form and
// its profile loading, and the real window in process beside the main
// window against a scripted FTP server: the login chain, the busy question,
// replies 500, 530 and 426, SIZE and RETR refused, cancelled transfers,
// hostile names, missing files, and a close while a listing is held.
#include <gtest/gtest.h>

#include "Childtest.h"
#include "application/frame/Regdataunit.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

const std::vector<String> kLogin = {"USER nembraftp", "PASS secret", "SYST", "PWD", "PASV", "LIST"};

std::vector<String> Concat(std::vector<String> a, const std::vector<String>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<String> From(const std::vector<String>& v, size_t first) {
  return first >= v.size() ? std::vector<String>() : std::vector<String>(v.begin() + static_cast<ptrdiff_t>(first), v.end());
}

String RandomBytes(size_t n, unsigned seed) {
  String s(n, '\0');
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    s[i] = static_cast<char>(seed >> 16);
  }
  return s;
}

// Clicks a speed button of the window (it has no window of its own).
::testing::AssertionResult ClickButton(TSpeedButton* b) {
  auto* parent = b->Parent();
  return Click(parent->Handle(), POINT{b->Left() + b->Width() / 2, b->Top() + b->Height() / 2});
}

}  // namespace

// ---------------------------------------------------------------- texts

TEST(ChildTexts, LogAndStatusLinesHidePasswords) {
  struct Row {
    const char* command;
    const char* log;     // of the display "> " + command
    const char* status;  // status panel 1
  } rows[] = {
      {"USER nembraftp", "-->  USER nembraftp", "Command: USER nembraftp"},
      {"PASS secret", "--> PASS (Password hidden)", "Command: PASS (Hidden)"},
      {"pass x", "--> PASS (Password hidden)", "Command: PASS (Hidden)"},
      {"Acct billing", "--> PASS (Password hidden)", "Command: PASS (Hidden)"},
      {"SITE PASSWD old new", "--> PASS (Password hidden)", "Command: PASS (Hidden)"},
      {"CWD /compass/passages", "-->  CWD /compass/passages", "Command: CWD /compass/passages"},
      {"PWD", "-->  PWD", "Command: PWD"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(CommandLogLine(String("> ") + r.command), r.log) << r.command;
    EXPECT_EQ(CommandStatusText(r.command), r.status) << r.command;
  }
  // Replies and the component's own remarks are not command lines.
  EXPECT_EQ(CommandLogLine("< 230 Logged in"), "");
  EXPECT_EQ(CommandLogLine("! 12 bytes received/sent in 0 seconds"), "");
}

TEST(ChildTexts, TransferPanel) {
  struct Row {
    int64_t done, total;
    bool known;
    int64_t tenths;
    const char *sizeSpeed, *timer, *percent;
    int position;
    bool complete;
  } rows[] = {
      // An empty file after one of 5000 bytes waits for bytes.
      {0, 5000, true, 1, "Requesting Transfer...", "", "", 0, false},
      // 0.9 s without a byte.
      {0, 1000, true, 9, "Requesting Transfer...", "", "", 0, false},
      // Within the first second the rate is the byte count.
      {4000, 10000, true, 5, "4000 bytes of 10000 (32.00 Kbps)", "Remaining: 00:00:01", "40%", 400, false},
      {3, 9, true, 1, "3 bytes of 9 (0.02 Kbps)", "Remaining: 00:00:02", "33%", 333, false},
      {250, 1000, true, 12, "250 bytes of 1000 (2.00 Kbps)", "Remaining: 00:00:03", "25%", 250, false},
      // 3725 s left at one byte a second.
      {1, 3726, true, 10, "1 bytes of 3726 (0.01 Kbps)", "Remaining: 01:02:05", "0%", 0, false},
      // Kilobits per second: 123456 B/s.
      {123456, 1000000, true, 10, "123456 bytes of 1000000 (987.65 Kbps)", "Remaining: 00:00:07", "12%", 123, false},
      {154321, 10000000, true, 10, "154321 bytes of 10000000 (1,234.57 Kbps)", "Remaining: 00:01:03", "1%", 15, false},
      // Fewer bytes than seconds: a rate of 0.
      {5, 100, true, 100, "5 bytes of 100 (0.00 Kbps)", "Remaining: --:--:--", "5%", 50, false},
      // 4.5 of 5 GiB.
      {4831838208, 5368709120, true, 100, "4831838208 bytes of 5368709120 (3,865,470.56 Kbps)",
       "Remaining: 00:00:01", "90%", 900, false},
      {5368709120, 5368709120, true, 100, "Transfer Complete", "", "", 0, true},
      // No size known: bytes and rate only, never complete.
      {2048, 0, false, 10, "2048 bytes (16.38 Kbps)", "", "", 0, false},
      {0, 0, false, 3, "Requesting Transfer...", "", "", 0, false},
  };
  for (const Row& r : rows) {
    TProgressTexts t = ProgressTexts(r.done, r.total, r.known, r.tenths);
    SCOPED_TRACE(IntToStr(r.done) + " of " + IntToStr(r.total));
    EXPECT_EQ(t.SizeSpeed, r.sizeSpeed);
    EXPECT_EQ(t.Timer, r.timer);
    EXPECT_EQ(t.Percent, r.percent);
    EXPECT_EQ(t.Position, r.position);
    EXPECT_EQ(t.Complete, r.complete);
  }
}

TEST(ChildTexts, SafeLocalNames) {
  for (const char* ok : {"a.txt", " lead.txt", "two  blanks.txt", "a-b.txt", "console.txt", "COM10", "LPT",
                         "compass", "..hidden", "\xE9t\xE9.txt"})
    EXPECT_EQ(UnsafeLocalNameReason(ok), "") << "[" << ok << "]";
  for (const char* bad : {"", ".", "..", "..\\..\\x", "C:\\x", "a:b", "a/b", "x*", "q?", "\"q\"", "<a>", "a|b",
                          "tab\there", "a->b.txt", "CON", "con.txt", "Nul", "COM1", "lpt9.log", "CON .txt", "name.", "name ",
                          "COM\xB9", "CONOUT$"})
    EXPECT_NE(UnsafeLocalNameReason(bad), "") << bad;

  // The folder and the name: one separator between them.
  String path, reason;
  ASSERT_TRUE(LocalPathIn("C:\\", "a.txt", path, reason)) << reason;
  EXPECT_EQ(path, "C:\\a.txt");
  ASSERT_TRUE(LocalPathIn("C:\\data", "a.txt", path, reason)) << reason;
  EXPECT_EQ(path, "C:\\data\\a.txt");
  EXPECT_FALSE(LocalPathIn("C:\\data", "..\\x", path, reason));
  EXPECT_FALSE(LocalPathIn("C:\\data", String(300, 'a'), path, reason));
  EXPECT_EQ(reason, "the local path is too long");
}

TEST(ChildTexts, PathShorteningInAFixedFont) {
  auto fixed = [](const String& s) { return 7 * static_cast<int>(s.size()); };
  const String path = "C:\\first\\two\\three\\file.txt";
  struct Row {
    int chars;  // room in characters
    const char* shown;
  } rows[] = {
      {100, "C:\\first\\two\\three\\file.txt"},
      {27, "C:\\first\\two\\three\\file.txt"},
      {26, "C:\\...\\two\\three\\file.txt"},
      {24, "C:\\...\\three\\file.txt"},
      {20, "C:\\...\\file.txt"},
      {14, "...\\file.txt"},
      {11, "file.txt"},
      {3, "file.txt"},
  };
  for (const Row& r : rows) EXPECT_EQ(ShortenPath(path, r.chars * 7, fixed), r.shown) << r.chars;
  EXPECT_EQ(ShortenPath("\\\\server\\share\\folder\\b.txt", 24 * 7, fixed), "\\\\server\\share\\...\\b.txt");
}

TEST(ChildTexts, ListingFileFallsBackToTheTempFolder) {
  String folder = MakeTempFolder("listing");
  String own = MakeListingFileIn(folder);
  EXPECT_EQ(ExtractFilePath(own), IncludeTrailingBackslash(folder));
  // A folder that takes no file (gone, or read-only): the temp folder.
  String fallback = MakeListingFileIn(folder + "\\gone");
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  EXPECT_TRUE(SameText(ExtractFilePath(fallback), IncludeTrailingBackslash(temp))) << fallback;
  for (const String& f : {own, fallback}) {
    EXPECT_TRUE(StartsText("lst", ExtractFileName(f))) << f;
    EXPECT_TRUE(FileExists(f)) << f;
    DeleteFileStr(f);
  }
}

// ---------------------------------------------------------------- the form

TEST_F(ChildTest, FormAsDesigned) {
  // Sizes of 0 and below give the defaults.
  TReg::WriteInteger(SettingsSection, "Column1Size", 0);
  TReg::WriteInteger(SettingsSection, "RemoteDirSize", -5);
  TReg::WriteInteger(SettingsSection, "Column2Size", 95);
  OpenFrame();
  auto* child = new TFormMdi(frame.get(), &host);
  child->Show();
  ASSERT_TRUE(WaitVisible(child->Handle()));
  String listing = child->ListingFile;
  EXPECT_TRUE(StartsText("lst", ExtractFileName(listing)));
  EXPECT_TRUE(FileExists(listing));

  TFtpClient* ftp = child->Ftp1;
  EXPECT_EQ(ftp->Timeout(), 30);
  EXPECT_EQ(ftp->Port(), "ftp");
  EXPECT_EQ(ftp->LocalAddr(), "0.0.0.0");
  EXPECT_TRUE(ftp->Binary());
  EXPECT_EQ(ftp->ShareMode(), ftpShareDenyNone);
  EXPECT_EQ(ftp->Options(), TFtpOptions{ftpAcceptLF});
  EXPECT_TRUE(ftp->CommandSocket()->ComponentOptions().Contains(wsoNoReceiveLoop));
  EXPECT_TRUE(ftp->TransferSocket()->ComponentOptions().Contains(wsoNoReceiveLoop));
  EXPECT_EQ(child->Timer1->Interval(), 100u);
  EXPECT_FALSE(child->Timer1->Enabled());
  EXPECT_EQ(child->TimeOut->Interval(), 1000u);
  EXPECT_FALSE(child->TimeOut->Enabled());

  // The lists: columns as designed and as the settings say (none or 0
  // and below: the defaults).
  auto widths = [](TCustomListView* l) {
    std::vector<int> w;
    for (int i = 0; i < l->Columns()->Count(); ++i) w.push_back(l->Columns()->Items(i)->Width());
    return w;
  };
  EXPECT_EQ(widths(child->RemoteDirs), (std::vector<int>{158, 80, 80, 80}));
  EXPECT_EQ(widths(child->RemoteFiles), (std::vector<int>{180, 95, 80, 80}));
  EXPECT_EQ(child->PRemTree->Width(), 160);
  EXPECT_EQ(child->RemoteFiles->Columns()->Items(0)->Caption(), "Name");
  EXPECT_EQ(child->RemoteDirs->Columns()->Items(0)->Caption(), "Directories");
  EXPECT_TRUE(child->RemoteFiles->MultiSelect());
  EXPECT_FALSE(child->RemoteDirs->MultiSelect());
  EXPECT_EQ(child->RemoteFiles->SortType(), stBoth);
  EXPECT_EQ(child->RemoteDirs->SmallImages(), host.SmallImages());
  EXPECT_EQ(child->RemoteFiles->SmallImages(), DirParser->ImageList1);
  EXPECT_EQ(child->SplitRem->MinSize(), 150);
  EXPECT_EQ(child->PInfoMain->Constraints()->MinHeight(), 31);
  EXPECT_EQ(child->PProgress->Height(), 40);
  EXPECT_EQ(child->Prog1->Max(), 1000);
  EXPECT_EQ(child->ComboMode->ItemIndex(), 0);
  EXPECT_EQ(child->CloseB->Caption(), "Close Connection");
  EXPECT_EQ(child->ReconB->Caption(), "Reconnect");

  // The popup menus carry the host's actions.
  auto actions = [](TPopupMenu* m) {
    std::vector<String> names;
    for (int i = 0; i < m->Items()->Count(); ++i) {
      TBasicAction* a = m->Items()->Items(i)->Action();
      names.push_back(a ? a->Name() : String("-"));
    }
    return names;
  };
  EXPECT_EQ(actions(child->PopupMenu2),
            (std::vector<String>{"ActionDownloadFile", "ActionResumeDown", "-", "ActionRenameRemoteFile",
                                 "ActionDeleteRemote", "-", "ActionChmod", "ActionDirInfo"}));
  EXPECT_EQ(actions(child->PopupMenu1).size(), 12u);
  EXPECT_EQ(actions(child->PopupMenu3), (std::vector<String>{"ActionSaveLog"}));
  EXPECT_EQ(child->RemoteFiles->PopupMenu(), child->PopupMenu2);

  // The log: the socket library's two lines first, and no size limit.
  ASSERT_GE(child->LogLines->Count(), 2);
  EXPECT_TRUE(StartsText("Initializing: ", child->LogLines->Get(0)));
  EXPECT_TRUE(StartsText("Status: ", child->LogLines->Get(1)));
  String line(60, 'x');
  for (int i = 0; i < 1000; ++i) child->AddLog(line);
  EXPECT_TRUE(WaitUntil([&] { return GetWindowTextLengthA(child->MemoInfo->Handle()) > 60000; }));
  EXPECT_EQ(child->MemoInfo->Lines()->Get(child->MemoInfo->Lines()->Count() - 1), line);
  SaveScreenshot(frame->Handle());

  // Closing keeps the sizes and removes the listing file.
  child->PRemTree->SetWidth(210);
  child->Close();
  ASSERT_TRUE(WaitUntil([&] { return frame->MDIChildCount() == 0; }));
  EXPECT_FALSE(FileExists(listing));
  EXPECT_EQ(TReg::ReadInteger(SettingsSection, "RemoteDirSize"), 210);
  EXPECT_EQ(TReg::ReadInteger(SettingsSection, "Column2Size"), 95);
  EXPECT_EQ(TReg::ReadInteger(SettingsSection, "Column1Size"), 180);
}

TEST_F(ChildTest, LoadProfile) {
  struct Row {
    std::map<String, String> profile;
    std::map<String, int> settings;
    String port;
    TFtpShareMode share;
    int timeout, block;
    bool passive;
    TFtpConnectionType type;
  } rows[] = {
      {{{"HostName", "h"}}, {}, "21", ftpShareDenyNone, 30, 1514, false, ftpDirect},
      {{{"Port", "2121"}, {"Passive", "1"}}, {{"ShareAccess", 7}, {"TimeOut", 0}, {"BufSize", 0}}, "2121",
       ftpShareDenyNone, 30, 1514, true, ftpDirect},
      {{{"Proxy", "1"}, {"ProxyName", "gate"}}, {{"ShareAccess", 2}, {"TimeOut", 45}, {"BufSize", 4096}}, "21",
       ftpShareDenyWrite, 45, 4096, true, ftpProxy},
      {{}, {{"TimeOutDisable", 1}, {"Noop", 120}, {"TimeOut", 45}, {"ShareAccess", 3}}, "21", ftpShareExclusive, 122,
       1514, false, ftpDirect},
      // No Noop: the keep-alive's 120 seconds.
      {{}, {{"TimeOutDisable", 1}}, "21", ftpShareDenyNone, 122, 1514, false, ftpDirect},
  };
  OpenFrame();
  auto* child = new TFormMdi(frame.get(), &host);
  int n = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(n);
    TRegistry reg;
    reg.DeleteKey(TReg::GetKeyPath() + SettingsSection);
    for (const auto& [k, v] : r.settings) TReg::WriteInteger(SettingsSection, k, v);
    String name = "P" + IntToStr(n++);
    std::map<String, String> keys = r.profile;
    keys["ServerType"] = "3";
    keys["StartDir"] = "/start";
    WriteProfile(name, keys);
    child->LoadProfile(name);
    EXPECT_EQ(child->Ftp1->Port(), r.port);
    EXPECT_EQ(child->Ftp1->ShareMode(), r.share);
    EXPECT_EQ(child->Ftp1->Timeout(), r.timeout);
    EXPECT_EQ(child->Ftp1->CommandSocket()->SendBlockSize(), r.block);
    EXPECT_EQ(child->Ftp1->TransferSocket()->SendBlockSize(), r.block);
    EXPECT_EQ(child->Ftp1->Passive(), r.passive);
    EXPECT_EQ(child->Ftp1->ConnectionType(), r.type);
    EXPECT_EQ(child->ServerType, 3);
    EXPECT_EQ(child->StartDir, "/start");
  }
  child->Free();
}

// ---------------------------------------------------------------- the login chain

TEST_F(ChildTest, LoginChainTranscripts) {
  struct Row {
    const char* startDir;
    std::map<String, std::vector<String>> replies;
    std::vector<String> commands;
    std::vector<String> errors;
  } rows[] = {
      {"", {}, kLogin, {}},
      {"/pub", {}, {"USER nembraftp", "PASS secret", "SYST", "CWD /pub", "PWD", "PASV", "LIST"}, {}},
      // Neither an unknown SYST nor a missing start directory ends the login.
      {"/gone",
       {{"SYST", {"500 SYST not understood\r\n"}}, {"CWD", {"550 No such directory\r\n"}}},
       {"USER nembraftp", "PASS secret", "SYST", "CWD /gone", "PWD", "PASV", "LIST"},
       {"Error: 500 SYST not understood", "Error: 550 No such directory"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.startDir);
    TFtpScript script;
    script.Replies = r.replies;
    script.Listing = UnixLine("pub", 512, true) + UnixLine("c.txt", 3) + UnixLine("a.txt", 1) + UnixLine("B.txt", 2);
    TFtpScriptServer& server = StartServer(script);
    ScriptedProfile(server.Port(), {{"StartDir", r.startDir}});
    TFormMdi* child = Open("Scripted");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(WaitIdle(child));
    EXPECT_EQ(server.Commands(), r.commands);
    EXPECT_EQ(LogLinesStarting(child, "Error: "), r.errors);
    EXPECT_TRUE(child->Connected());
    EXPECT_EQ(Captions(child->RemoteDirs), (std::vector<String>{"..", "pub"}));
    EXPECT_EQ(Captions(child->RemoteFiles), (std::vector<String>{"a.txt", "B.txt", "c.txt"}));
    if (*r.startDir == '\0') {
      // The log and status lines of a login.
      for (const char* line : {"Attempting connection to account: Scripted", "Looking for DNS...",
                               "Received response from: IP (127.0.0.1)", "<-- 220 Scripted FTP", "-->  USER nembraftp",
                               "<-- 331 Password please", "--> PASS (Password hidden)", "<-- 230 Logged in",
                               "-->  SYST", "-->  LIST"})
        EXPECT_TRUE(LogHas(child, line)) << line;
      EXPECT_TRUE(LogHas(child, "Connected to: 127.0.0.1 - IP (127.0.0.1) Port: " + IntToStr(server.Port())));
      for (int i = 0; i < child->LogLines->Count(); ++i)
        EXPECT_EQ(child->LogLines->Get(i).find("secret"), String::npos) << child->LogLines->Get(i);
      EXPECT_EQ(child->Caption(), "127.0.0.1");
      ASSERT_FALSE(host.Captions.empty());
      EXPECT_EQ(host.Captions.back(), "127.0.0.1");
      EXPECT_EQ(child->DirCombo->Text(), "/home");
      EXPECT_EQ(host.Status[2], "Directory: /home");
      EXPECT_EQ(child->CloseB->Hint(), "Close 127.0.0.1");
      EXPECT_FALSE(child->ReconB->Enabled());
      EXPECT_TRUE(child->TimeOut->Enabled());
      EXPECT_GT(host.StateChanges, 0);
      SaveScreenshot(frame->Handle());
    }
    EXPECT_TRUE(host.Boxes.empty());
    CloseChildren();
  }
}

TEST_F(ChildTest, LoginFailures) {
  struct Row {
    const char* what;
    std::map<String, std::vector<String>> replies;
    bool refused;
    std::vector<String> errors;
    std::vector<String> boxes;
  } rows[] = {
      // A refused login without a new one: nothing is logged.
      {"530", {{"PASS", {"530 Login incorrect\r\n"}}}, false, {}, {}},
      {"426", {{"USER", {"426 Timed out\r\n"}}}, false, {"Error: Connect Time out!"}, {"Connect Time out"}},
      {"refused", {}, true, {"Error: 500 "}, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    host.Boxes.clear();
    TFtpScript script;
    script.Replies = r.replies;
    int port = r.refused ? FreePort() : StartServer(script).Port();
    ScriptedProfile(port);
    TFormMdi* child = Open("Scripted");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !child->Busy(); }, 15000));
    EXPECT_TRUE(child->ReconB->Enabled());
    EXPECT_FALSE(child->Connected());
    std::vector<String> errors = LogLinesStarting(child, "Error: ");
    ASSERT_EQ(errors.size(), r.errors.size());
    for (size_t i = 0; i < errors.size(); ++i) EXPECT_TRUE(StartsText(r.errors[i], errors[i])) << errors[i];
    EXPECT_EQ(BoxCaptions(), r.boxes);
    if (!r.boxes.empty())
      EXPECT_EQ(host.Boxes[0].Text, "The socket timed out waiting for a response from the server.");
    CloseChildren();
  }
}

// ---------------------------------------------------------------- the operation pattern

TEST_F(ChildTest, BusyWindowAsksAndSendsNothingThenClosesDuringAHeldList) {
  TFtpScript script;
  script.HoldList = true;
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  TFormMdi* child = Open("Scripted");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return server.Count("LIST") == 1; }, 10000));
  String file = local + "\\up.txt";
  WriteFileBytes(file, "up");
  TStringList paths;
  paths.Add(file);
  host.Answers = {false};
  child->UploadFiles(&paths);
  ASSERT_EQ(BoxCaptions(), (std::vector<String>{"Nembra Busy..."}));
  EXPECT_EQ(host.Boxes[0].Text,
            "Please wait for the current command to complete or open another connection. Would you like to open "
            "another connection?");
  PumpFor(300);
  EXPECT_EQ(server.Commands(), kLogin);

  // The close while the listing is held: no crash, no listing file left.
  String listing = child->ListingFile;
  ASSERT_TRUE(FileExists(listing));
  child->Close();
  ASSERT_TRUE(WaitUntil([&] { return frame->MDIChildCount() == 0; }));
  PumpFor(200);
  EXPECT_FALSE(FileExists(listing));
  EXPECT_EQ(host.Going, (std::vector<TConnectionWindow*>{child}));
  EXPECT_EQ(BoxCaptions().size(), 1u);
}

TEST_F(ChildTest, AReply500KeepsTheIdleTimerUntilTheServerCloses) {
  TFtpScript script;
  script.Replies["TYPE"] = {"500 TYPE not understood\r\n"};
  // The second upload's TYPE finds the connection closed by the server.
  script.CloseAfter = static_cast<int>(kLogin.size()) + 1;
  script.Connections = 2;
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  TFormMdi* child = Open("Scripted");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child));
  String file = local + "\\up.txt";
  WriteFileBytes(file, "up");
  TStringList paths;
  paths.Add(file);
  child->UploadFiles(&paths);
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_TRUE(LogHas(child, "Error: 500 TYPE not understood"));
  EXPECT_TRUE(child->Connected());
  EXPECT_TRUE(child->TimeOut->Enabled());
  EXPECT_FALSE(child->ConnectionLost);

  child->UploadFiles(&paths);
  ASSERT_TRUE(WaitUntil([&] { return !child->Connected() && !child->Busy(); }, 10000));
  EXPECT_TRUE(child->ConnectionLost);
  EXPECT_FALSE(child->TimeOut->Enabled());
  EXPECT_TRUE(child->ReconB->Enabled());
  // The next operation offers to reconnect; No starts nothing.
  host.Answers = {false};
  EXPECT_FALSE(child->CanStartCommand());
  EXPECT_EQ(BoxCaptions(), (std::vector<String>{"Reconnect?"}));
  EXPECT_FALSE(child->Busy());
  PumpFor(200);
  EXPECT_EQ(server.Count("USER"), 1);
  // Yes logs in again, and the operation that asked does not run.
  host.Answers = {true};
  EXPECT_FALSE(child->CanStartCommand());
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_EQ(server.Count("USER"), 2);
  EXPECT_EQ(server.Count("LIST"), 2);
  EXPECT_TRUE(child->Connected());
  EXPECT_FALSE(child->ConnectionLost);
  EXPECT_TRUE(child->TimeOut->Enabled());
  EXPECT_FALSE(child->ReconB->Enabled());
  EXPECT_EQ(BoxCaptions(), (std::vector<String>{"Reconnect?", "Reconnect?"}));
}

// ---------------------------------------------------------------- downloads

TEST_F(ChildTest, DownloadWithoutSizeAndARefusedRetr) {
  const String data = RandomBytes(3000, 7);
  struct Row {
    const char* what;
    std::map<String, std::vector<String>> replies;
    String before;  // the local file before ("" none)
    String after;   // and after
    std::vector<String> errors;
  } rows[] = {
      // SIZE refused: the listing's size, and the file comes all the same.
      {"SIZE 550", {{"SIZE", {"550 SIZE not allowed in ASCII mode\r\n"}}}, "", data, {}},
      // RETR refused: the file there stays as it was.
      {"RETR 550", {{"RETR", {"550 Permission denied\r\n"}}}, "old content", "old content",
       {"Error: 550 Permission denied"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    TFtpScript script;
    script.Replies = r.replies;
    script.Files["data.bin"] = data;
    script.Listing = UnixLine("data.bin", 3000);
    TFtpScriptServer& server = StartServer(script);
    ScriptedProfile(server.Port());
    String target = local + "\\data.bin";
    DeleteFileStr(target);
    if (!r.before.empty()) WriteFileBytes(target, r.before);
    TFormMdi* child = Open("Scripted");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(WaitIdle(child));
    SelectFiles(child);
    ASSERT_EQ(child->SelectedFileCount(), 1);
    child->DownloadSelected();
    ASSERT_TRUE(WaitIdle(child));
    EXPECT_EQ(From(server.Commands(), kLogin.size()),
              (std::vector<String>{"TYPE I", "SIZE data.bin", "PASV", "RETR data.bin"}));
    EXPECT_EQ(ReadFileBytes(target), r.after);
    EXPECT_EQ(LogLinesStarting(child, "Error: "), r.errors);
    EXPECT_TRUE(host.Boxes.empty());
    EXPECT_TRUE(child->Connected());
    EXPECT_EQ(child->DownloadList->Count(), 0);
    CloseChildren();
  }
}

TEST_F(ChildTest, ADownloadAsksBeforeReplacingALocalFile) {
  // a.txt and b.txt are there already; c.txt is new.
  struct Row {
    const char* what;
    std::initializer_list<const char*> selected;
    std::vector<TModalResult> answers;
    std::vector<String> retrs;
    String a, b, c;  // the local files after ("" none)
    size_t questions;
    std::vector<String> log;
  } rows[] = {
      {"yes to all", {}, {mrYesToAll}, {"RETR a.txt", "RETR b.txt", "RETR c.txt"}, "new a", "new b", "new c", 1, {}},
      {"no, then yes", {}, {mrNo, mrYes}, {"RETR b.txt", "RETR c.txt"}, "old a", "new b", "new c", 2,
       {"Skipped: \"a.txt\" already exists in " + local}},
      {"cancel", {}, {mrCancel}, {}, "old a", "old b", "", 1,
       {"Download cancelled: \"a.txt\" already exists in " + local}},
      {"one file, yes", {"b.txt"}, {mrYes}, {"RETR b.txt"}, "old a", "new b", "", 1, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    TFtpScript script;
    for (const char* n : {"a", "b", "c"}) {
      script.Files[String(n) + ".txt"] = "new " + String(n);
      script.Listing += UnixLine(String(n) + ".txt", 5);
    }
    TFtpScriptServer& server = StartServer(script);
    ScriptedProfile(server.Port());
    DeleteFileStr(local + "\\c.txt");
    WriteFileBytes(local + "\\a.txt", "old a");
    WriteFileBytes(local + "\\b.txt", "old b");
    dialogs.Dialogs.Questions.clear();
    dialogs.Dialogs.QuestionAnswers = r.answers;
    TFormMdi* child = Open("Scripted");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(WaitIdle(child));
    SelectFiles(child, r.selected);
    child->DownloadSelected();
    ASSERT_TRUE(WaitIdle(child));
    std::vector<String> retrs;
    for (const String& c : server.Commands())
      if (c.rfind("RETR ", 0) == 0) retrs.push_back(c);
    EXPECT_EQ(retrs, r.retrs);
    EXPECT_EQ(ReadFileBytes(local + "\\a.txt"), r.a);
    EXPECT_EQ(ReadFileBytes(local + "\\b.txt"), r.b);
    EXPECT_EQ(FileExists(local + "\\c.txt") ? ReadFileBytes(local + "\\c.txt") : String(), r.c);
    const auto& q = dialogs.Dialogs.Questions;
    ASSERT_EQ(q.size(), r.questions);
    String first = r.selected.size() == 1 ? "b.txt" : "a.txt";
    EXPECT_EQ(q[0].Text, "The file " + first + " already exists in " + local + ". Do you want to replace it?");
    EXPECT_EQ(q[0].Caption, "Replace File");
    EXPECT_EQ(q[0].Buttons, r.selected.size() == 1
                                ? (std::vector<String>{"&Yes", "&No", "Cancel"})
                                : (std::vector<String>{"&Yes", "Yes to &all", "&No", "Cancel"}));
    std::vector<String> log = LogLinesStarting(child, "Skipped: ");
    for (const String& l : LogLinesStarting(child, "Download cancelled: ")) log.push_back(l);
    EXPECT_EQ(log, r.log);
    EXPECT_TRUE(child->Connected());
    EXPECT_FALSE(child->Busy());
    EXPECT_EQ(child->DownloadList->Count(), 0);
    CloseChildren();
  }
}

TEST_F(ChildTest, TheReplaceQuestionAsAPersonSeesIt) {
  TFtpScript script;
  script.Files["a.txt"] = "new a";
  script.Files["b.txt"] = "new b";
  script.Listing = UnixLine("a.txt", 5) + UnixLine("b.txt", 5);
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  WriteFileBytes(local + "\\a.txt", "old a");
  TFormMdi* child = Open("Scripted");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child));
  SelectFiles(child);
  TScopedRealDialogs real;
  TModalDriver modal;
  modal.Window("Replace File")
      .Do("shot", [](HWND w) {
        SaveScreenshot(w, "question");
        return true;
      })
      .Press("&No");
  child->DownloadSelected();
  EXPECT_TRUE(modal.Finish());
  ASSERT_TRUE(WaitIdle(child));
  ASSERT_FALSE(modal.Seen().empty());
  EXPECT_EQ(modal.Seen()[0].Text(), "The file a.txt already exists in " + local + ". Do you want to replace it?");
  EXPECT_EQ(modal.Seen()[0].Buttons, (std::vector<String>{"&Yes", "Yes to &all", "&No", "Cancel"}));
  EXPECT_EQ(ReadFileBytes(local + "\\a.txt"), "old a");
  EXPECT_EQ(ReadFileBytes(local + "\\b.txt"), "new b");
  EXPECT_EQ(server.Count("RETR"), 1);
}

TEST_F(ChildTest, HostileNamesStayOutOfOtherFolders) {
  TFtpScript script;
  const char* hostile[] = {"..\\..\\evil1.txt", "C:\\evil2.txt", "a:b", "CON", "trail.", "..", "nul.txt"};
  for (const char* n : hostile) {
    script.Files[n] = "evil";
    script.Listing += UnixLine(n, 4);
  }
  script.Files["ok.txt"] = "fine";
  script.Listing += UnixLine("ok.txt", 4);
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  String target = local + "\\in\\deep";
  ForceDirectories(target);
  TFormMdi* child = Open("Scripted");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child));
  host.Folder = target;
  SelectFiles(child);
  child->DownloadSelected();
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_EQ(server.Count("RETR"), 1);
  EXPECT_EQ(ReadFileBytes(target + "\\ok.txt"), "fine");
  // Nothing else anywhere under the test's folder.
  std::vector<String> found;
  std::function<void(const String&)> walk = [&](const String& d) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((d + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
      String n = fd.cFileName;
      if (n == "." || n == "..") continue;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        walk(d + "\\" + n);
      else
        found.push_back(d + "\\" + n);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  };
  walk(dir);
  EXPECT_EQ(found, (std::vector<String>{dir + "\\accounts.dat", target + "\\ok.txt"}));
  EXPECT_FALSE(FileExists("C:\\evil2.txt"));
  // One line for each name refused (".." is no file of the listing).
  EXPECT_EQ(LogLinesStarting(child, "Error: Not downloaded: ").size(), 6u);
  EXPECT_TRUE(host.Boxes.empty());
}

TEST_F(ChildTest, DownloadNeedsALocalFolder) {
  TFtpScript script;
  script.Files["a.txt"] = "a";
  script.Listing = UnixLine("a.txt", 1);
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  TFormMdi* child = Open("Scripted");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child));
  // A folder of the shell that is none of the file system.
  host.Folder = "";
  SelectFiles(child);
  child->DownloadSelected();
  EXPECT_EQ(BoxCaptions(), (std::vector<String>{"Download"}));
  EXPECT_EQ(host.Boxes[0].Text, "Please select a folder on a local drive to download into.");
  PumpFor(200);
  EXPECT_EQ(server.Commands(), kLogin);
  EXPECT_FALSE(child->Busy());
}

// ---------------------------------------------------------------- cancel

TEST_F(ChildTest, CancelledDownloadKeepsTheConnection) {
  TFtpScript script;
  const String big = RandomBytes(400000, 3);
  script.Files["big.bin"] = big;
  script.PaceBytes = 4000;
  script.PaceMs = 25;
  script.Listing = UnixLine("big.bin", 400000);
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  TFormMdi* child = Open("Scripted");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child));
  SelectFiles(child);
  child->DownloadSelected();

  // The panel while the file comes: its captions move on.
  ASSERT_TRUE(WaitUntil([&] { return StartsText("8000 bytes of 400000 (", child->SizeSpeed->Caption()) ||
                                     child->TransferDone >= 8000; }, 10000));
  ASSERT_TRUE(WaitUntil([&] { return child->Percent->Caption() != "" && child->Timer->Caption() != ""; }, 5000));
  String first = child->SizeSpeed->Caption();
  EXPECT_EQ(child->TransferFile->Caption(), "Downloading: /home/big.bin");
  EXPECT_TRUE(StartsText("As File: ", child->AsFile->Caption()));
  EXPECT_TRUE(EndsText("big.bin", child->AsFile->Caption()));
  EXPECT_TRUE(StartsText("Remaining: ", child->Timer->Caption()));
  ASSERT_TRUE(WaitUntil([&] { return child->SizeSpeed->Caption() != first; }, 5000));
  EXPECT_TRUE(EndsText(" Kbps)", child->SizeSpeed->Caption()));
  SaveScreenshot(frame->Handle(), "transfer");

  ASSERT_TRUE(ClickButton(child->CancelB));
  EXPECT_EQ(child->SizeSpeed->Caption(), "Transfer Cancelled");
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_TRUE(server.SawAbort());
  EXPECT_TRUE(child->Connected());
  EXPECT_TRUE(host.Boxes.empty());
  EXPECT_LT(FileSizeOf(local + "\\big.bin"), 400000);

  // The next listing goes over the same connection.
  String file = local + "\\after.txt";
  WriteFileBytes(file, "after");
  TStringList paths;
  paths.Add(file);
  child->UploadFiles(&paths);
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_EQ(server.Count("USER"), 1);
  EXPECT_EQ(server.Count("LIST"), 2);
  EXPECT_EQ(server.Stored()["after.txt"], "after");
  EXPECT_TRUE(host.Boxes.empty());
}

TEST_F(ChildTest, ACancelAfterTheLastByteStartsNoFurtherFile) {
  TFtpScript script;
  const String first = RandomBytes(3000, 11);
  script.Files["a.bin"] = first;
  script.Files["b.bin"] = "second";
  script.Listing = UnixLine("a.bin", 3000) + UnixLine("b.bin", 6);
  // The first file's 226 comes well after its last byte.
  script.RetrReplyDelayMs = 1500;
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  for (const char* n : {"a.bin", "b.bin"}) DeleteFileStr(local + "\\" + n);
  TFormMdi* child = Open("Scripted");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child));
  SelectFiles(child, {"a.bin", "b.bin"});
  child->DownloadSelected();
  ASSERT_TRUE(WaitUntil([&] { return FileSizeOf(local + "\\a.bin") == 3000; }, 10000));
  ASSERT_EQ(server.Count("RETR"), 1);
  // No data is left to take the cancel: the transfer ends as it is.
  ASSERT_TRUE(ClickButton(child->CancelB));
  ASSERT_TRUE(WaitIdle(child));
  PumpFor(300);
  EXPECT_EQ(From(server.Commands(), kLogin.size()),
            (std::vector<String>{"TYPE I", "SIZE a.bin", "PASV", "RETR a.bin"}));
  EXPECT_EQ(ReadFileBytes(local + "\\a.bin"), first);
  EXPECT_FALSE(FileExists(local + "\\b.bin"));
  EXPECT_TRUE(child->Connected());
  EXPECT_TRUE(host.Boxes.empty());
  EXPECT_EQ(child->DownloadList->Count(), 0);
  EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty());
}

TEST_F(ChildTest, CancelledUploadEndsWithPwdAndList) {
  TFtpScript script;
  script.PaceStor = true;
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  String file = local + "\\large.bin";
  WriteFileBytes(file, RandomBytes(16 << 20, 5));
  String second = local + "\\second.bin";
  WriteFileBytes(second, "second");
  TFormMdi* child = Open("Scripted");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child));
  TStringList paths;
  paths.Add(file);
  paths.Add(second);
  child->UploadFiles(&paths);
  ASSERT_TRUE(WaitUntil([&] { return child->TransferDone > 0; }, 10000));
  EXPECT_TRUE(StartsText("Uploading: ", child->TransferFile->Caption()));
  EXPECT_EQ(child->AsFile->Caption(), "As File: /home/large.bin");
  ASSERT_TRUE(ClickButton(child->CancelB));
  ASSERT_TRUE(WaitIdle(child, 30000));
  EXPECT_EQ(From(server.Commands(), kLogin.size()),
            (std::vector<String>{"TYPE I", "PASV", "STOR large.bin", "PWD", "PASV", "LIST"}));
  EXPECT_TRUE(child->Connected());
  EXPECT_TRUE(host.Boxes.empty());
  EXPECT_EQ(child->UploadList->Count(), 0);
}

// ---------------------------------------------------------------- uploads

TEST_F(ChildTest, UploadActionSkipsFoldersAndFilesItCannotRead) {
  TFtpScript script;
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  String a = local + "\\a.txt", gone = local + "\\gone.txt", locked = local + "\\locked.txt";
  WriteFileBytes(a, "alpha");
  WriteFileBytes(gone, "gone");
  WriteFileBytes(locked, "locked");
  // A folder, and a folder named like a compressed folder (taken as a file).
  ForceDirectories(local + "\\sub");
  ForceDirectories(local + "\\old.zip");
  // The road through the main window: its upload action and local list.
  OpenMain();
  TFormMdi* child = Open("Scripted");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child));
  form->SelectLocalFolder(local);
  TListItems* items = form->LocList->Items();
  ASSERT_TRUE(WaitUntil([&] { return items->Count() == 5; }, 10000));
  for (int i = 0; i < items->Count(); ++i) items->Item(i)->SetSelected(true);
  form->LocListClick(form->LocList);
  ASSERT_TRUE(form->ActionUploadFile->Enabled());
  // Gone before the upload; held by another program without sharing.
  DeleteFileStr(gone);
  HANDLE held = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  form->ActionUploadFile->Execute();
  ASSERT_TRUE(WaitIdle(child));
  CloseHandle(held);
  EXPECT_EQ(BoxCaptions(), (std::vector<String>{"Folders Must Use Batch"}));
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].text,
            "The item sub is a folder, please use a batch operation to upload folders.");
  std::vector<String> skipped = LogLinesStarting(child, "Error: File not found");
  std::vector<String> notFiles = LogLinesStarting(child, "Error: Not a file");
  EXPECT_EQ(skipped, (std::vector<String>{"Error: File not found, not uploaded: " + gone}));
  EXPECT_EQ(notFiles, (std::vector<String>{"Error: Not a file, not uploaded: " + local + "\\old.zip"}));
  std::map<String, String> stored = server.Stored();
  EXPECT_EQ(stored["a.txt"], "alpha");
  // The locked file ends the upload with its own error, not a time-out.
  EXPECT_EQ(stored.count("locked.txt"), 0u);
  EXPECT_EQ(LogLinesStarting(child, "Error: 426 Unable to open local file").size(), 1u);
  EXPECT_TRUE(child->Connected());
}
