// The raw commands of the connection window against a scripted server:
// what each sends and what follows it, the listing windows of LIST and
// NLST, the typed lines and names refused before anything is sent, and the
// window that asks for another user name and password after a 530.
#include <gtest/gtest.h>

#include "Childtest.h"
#include "application/connections/Dirinfo.h"
#include "application/connections/Userpass.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

const std::vector<String> kRelist = {"PWD", "PASV", "LIST"};

std::vector<String> Concat(std::vector<String> a, const std::vector<String>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const String kListing = UnixLine("pub", 512, true) + UnixLine("a.bin", 5) + UnixLine("b.txt", 2);

class ChildRaw : public ChildTest {
 protected:
  TFormMdi* Connect(const TFtpScript& script) {
    server_ = &StartServer(script);
    ScriptedProfile(server_->Port());
    TFormMdi* child = Open("Scripted");
    if (!child || !WaitIdle(child)) return nullptr;
    Mark(child);
    return child;
  }
  void Mark(TFormMdi* child) {
    sent_ = server_->Commands().size();
    logged_ = child->LogLines->Count();
  }
  // The commands and log lines since the last Mark.
  std::vector<String> Sent() const {
    std::vector<String> c = server_->Commands();
    return std::vector<String>(c.begin() + static_cast<ptrdiff_t>(std::min(sent_, c.size())), c.end());
  }
  std::vector<String> Logged(TFormMdi* child) const {
    std::vector<String> l;
    for (int i = logged_; i < child->LogLines->Count(); ++i) l.push_back(child->LogLines->Get(i));
    return l;
  }
  // Until n commands came since the mark and the window is idle again.
  ::testing::AssertionResult Settled(TFormMdi* child, size_t n, DWORD ms = 10000) {
    if (!WaitUntil([&] { return Sent().size() >= n; }, ms))
      return ::testing::AssertionFailure() << "sent " << ::testing::PrintToString(Sent());
    if (!WaitIdle(child)) return ::testing::AssertionFailure() << "still busy";
    PumpFor(100);
    return ::testing::AssertionSuccess();
  }
  TFtpScriptServer* server_ = nullptr;
  size_t sent_ = 0;
  int logged_ = 0;
};

// The transfer panel's Cancel, clicked where it is drawn.
::testing::AssertionResult ClickButton(TSpeedButton* b) {
  return Click(b->Parent()->Handle(), POINT{b->Left() + b->Width() / 2, b->Top() + b->Height() / 2});
}

bool Holds(const std::vector<String>& lines, const String& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

TEST(ChildTexts, CommandLinesThatNeedADataConnection) {
  struct Row {
    const char* line;
    bool refused;
  } rows[] = {
      {"RETR x", true},  {"retr x", true}, {"  Stor y", true}, {"STOU", true}, {"appe z", true},
      {"LIST", true},    {"nlst -a", true}, {"MLSD", true},    {"PASV", true}, {"epsv", true},
      {"PORT 1,2,3", true}, {"EPRT |1|", true}, {"REST 100", true},
      {"NOOP", false},   {"LISTX", false}, {"SITE LIST", false}, {"STAT", false}, {"SIZE RETR", false},
      {"", false},
  };
  for (const Row& r : rows) EXPECT_EQ(NeedsDataConnection(r.line), r.refused) << r.line;
}

TEST_F(ChildRaw, EachCommandSendsItsBytesAndEndsIdle) {
  TFtpScript script;
  script.Listing = kListing;
  script.Files = {{"a.bin", "abcde"}, {"nosize.bin", "no size here"}};
  // The second CDUP is answered as some servers do; the third SIZE refused.
  script.Replies = {{"CDUP", {"", "200 OK\r\n"}},
                    {"SIZE", {"", "", "550 SIZE not allowed\r\n"}},
                    {"FOO", {"500 Unknown command\r\n"}}};
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  WriteFileBytes(local + "\\up.txt", "uploaded by STOR");
  struct Row {
    const char* what;
    std::function<void()> act;
    std::vector<String> sent;
    std::vector<String> logged;  // among the log lines since
  } rows[] = {
      {"QUOTE NOOP", [&] { child->SendQuote("NOOP"); }, {"NOOP"}, {"-->  NOOP", "<-- 200 NOOP ok"}},
      {"CWD", [&] { child->SendCWD("x"); }, Concat({"CWD x"}, kRelist), {"-->  CWD x"}},
      {"CDUP", [&] { child->SendCDUP(); }, Concat({"CDUP"}, kRelist), {"<-- 250 Directory changed"}},
      {"CDUP answered 200", [&] { child->SendCDUP(); }, Concat({"CDUP"}, kRelist), {"<-- 200 OK"}},
      {"PWD", [&] { child->SendPWD(); }, kRelist, {}},
      // Every line of the multi-line reply.
      {"HELP", [&] { child->SendHELP("HELP"); }, {"HELP"},
       {"<-- 214-The following commands are recognized.", "<--  CWD CDUP LIST NLST RETR STOR SIZE SITE",
        "<-- 214 Help OK."}},
      {"SYST", [&] { child->SendSYST(); }, {"SYST"}, {"<-- 215 UNIX Type: L8"}},
      {"SITE", [&] { child->SendSITE("CHMOD 600 a"); }, {"SITE CHMOD 600 a"}, {"-->  SITE CHMOD 600 a"}},
      {"empty SITE", [&] { child->SendSITE(""); }, {}, {}},
      {"SIZE", [&] { child->SendSIZE("a.bin"); }, {"SIZE a.bin"}, {"<-- 213 5"}},
      {"STAT with its blank", [&] { child->SendSTAT(); }, {"STAT "}, {"<-- 211 Scripted FTP status: logged in"}},
      {"STOR", [&] { child->SendSTOR("up.txt"); }, Concat({"TYPE I", "PASV", "STOR up.txt"}, kRelist), {}},
      // Right after the upload: only the download's own steps.
      {"RETR", [&] { child->SendRETR("a.bin"); }, {"TYPE I", "SIZE a.bin", "PASV", "RETR a.bin"}, {}},
      {"RETR without SIZE", [&] { child->SendRETR("nosize.bin"); },
       {"TYPE I", "SIZE nosize.bin", "PASV", "RETR nosize.bin"}, {"<-- 550 SIZE not allowed"}},
      {"a 500", [&] { child->SendQuote("FOO"); }, {"FOO"}, {"Error: 500 Unknown command"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    ASSERT_TRUE(WaitIdle(child));
    Mark(child);
    r.act();
    ASSERT_TRUE(Settled(child, r.sent.size()));
    EXPECT_EQ(Sent(), r.sent);
    std::vector<String> logged = Logged(child);
    for (const String& l : r.logged) EXPECT_TRUE(Holds(logged, l)) << l << " in " << ::testing::PrintToString(logged);
    if (String(r.what) != "a 500") {
      for (const String& l : logged) EXPECT_NE(l.rfind("Error: ", 0), 0u) << l;
    }
    EXPECT_TRUE(child->Connected());
    EXPECT_FALSE(child->Busy());
    EXPECT_FALSE(child->Transferring);
    EXPECT_FALSE(child->RawStorPending);
  }
  EXPECT_EQ(server_->Stored()["up.txt"], "uploaded by STOR");
  EXPECT_EQ(ReadFileBytes(local + "\\a.bin"), "abcde");
  EXPECT_EQ(ReadFileBytes(local + "\\nosize.bin"), "no size here");
  EXPECT_EQ(child->CurrentDir, "/home");
  EXPECT_EQ(Captions(child->RemoteFiles), (std::vector<String>{"a.bin", "b.txt"}));
  EXPECT_TRUE(host.Boxes.empty());

  // QUIT ends the session: Reconnect is offered.
  Mark(child);
  child->SendQUIT();
  ASSERT_TRUE(WaitUntil([&] { return !child->Connected() && !child->Busy(); }));
  EXPECT_EQ(Sent(), (std::vector<String>{"QUIT"}));
  EXPECT_TRUE(child->ReconB->Enabled());
  EXPECT_TRUE(Holds(Logged(child), "<-- 221 Bye"));
  SaveScreenshot(frame->Handle());
}

TEST_F(ChildRaw, ListAndNlstShowWhatTheServerSent) {
  TFtpScript script;
  script.Listing = kListing;
  script.Names = "a.bin\r\nb.txt\r\n";
  script.Files = {{"a.bin", "abcde"}};
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  // A download first: its name must not be listed, nor its file written.
  SelectFiles(child, {"a.bin"});
  child->DownloadSelected();
  ASSERT_TRUE(WaitIdle(child));
  ASSERT_EQ(ReadFileBytes(local + "\\a.bin"), "abcde");

  struct Row {
    const char* what;
    std::function<void()> act;
    std::vector<String> sent;
    String shown;
  } rows[] = {
      {"LIST", [&] { child->SendLIST(); }, {"PASV", "LIST"}, kListing},
      {"NLST", [&] { child->SendNLST(); }, {"PASV", "NLST"}, script.Names},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Mark(child);
    String shown;
    bool listsFull = false;
    std::vector<String> filesWhenShown;
    TModalDriver modal(10000);
    modal.Window("Directory Information")
        .Do("read the memo",
            [&](HWND w) {
              auto* form = dynamic_cast<TFormDir*>(TControl::FindControl(w));
              if (!form) return false;
              shown = form->Memo1->Text();
              listsFull = !child->ListingPending();
              filesWhenShown = Captions(child->RemoteFiles);
              SaveScreenshot(w, r.what);
              return true;
            })
        .Key(VK_ESCAPE);
    r.act();
    ASSERT_TRUE(modal.Finish(15000));
    ASSERT_TRUE(WaitIdle(child));
    EXPECT_EQ(Sent(), r.sent);
    // The memo shows the lines as the server sent them.
    EXPECT_EQ(shown, r.shown);
    EXPECT_TRUE(listsFull);
    EXPECT_EQ(filesWhenShown, (std::vector<String>{"a.bin", "b.txt"}));
    EXPECT_EQ(ReadFileBytes(child->ListingFile), r.shown);
    EXPECT_EQ(ReadFileBytes(local + "\\a.bin"), "abcde");
    EXPECT_FALSE(child->ShowListingAfter);
  }
  EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty());
  EXPECT_TRUE(host.Boxes.empty());
}

TEST_F(ChildRaw, RefusedBeforeAnythingIsSent) {
  TFtpScript script;
  script.Listing = kListing;
  script.Files = {{"a/../../x", "only inside"}};
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  struct Row {
    const char* what;
    std::function<void()> act;
    const char* box;    // its caption, "" for none
    const char* error;  // the start of the log line, "" for none
  } rows[] = {
      {"QUOTE retr", [&] { child->SendQuote("retr x"); }, "Send Quote Command", ""},
      {"QUOTE PASV", [&] { child->SendQuote("PASV"); }, "Send Quote Command", ""},
      {"QUOTE empty", [&] { child->SendQuote(""); }, "", ""},
      {"RETR up and back", [&] { child->SendRETR("..\\..\\x"); }, "", "Error: Not downloaded: \"..\\..\\x\": "},
      {"RETR to a drive", [&] { child->SendRETR("C:\\x"); }, "", "Error: Not downloaded: \"C:\\x\": "},
      {"RETR of a folder", [&] { child->SendRETR("pub/"); }, "", "Error: Not downloaded: \"pub/\": "},
      {"STOR of another folder", [&] { child->SendSTOR("..\\accounts.dat"); }, "", "Error: Not uploaded: "},
      {"STOR of a missing file", [&] { child->SendSTOR("missing.txt"); }, "", "Error: File not found, not uploaded: "},
      // An existing local file, kept: No to the question.
      {"RETR onto a local file",
       [&] {
         WriteFileBytes(local + "\\kept.txt", "kept");
         dialogs.Dialogs.QuestionAnswers = {mrNo};
         child->SendRETR("kept.txt");
       },
       "", "Skipped: \"kept.txt\" already exists in "},
      {"RETR without a folder",
       [&] {
         host.Folder = "";
         child->SendRETR("x");
       },
       "Transfer", ""},
      {"STOR without a folder", [&] { child->SendSTOR("x"); }, "Transfer", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Mark(child);
    host.Boxes.clear();
    r.act();
    PumpFor(300);
    EXPECT_TRUE(Sent().empty()) << ::testing::PrintToString(Sent());
    EXPECT_FALSE(child->Busy());
    std::vector<String> boxes = host.BoxCaptions();
    EXPECT_EQ(boxes, String(r.box).empty() ? std::vector<String>{} : std::vector<String>{r.box});
    std::vector<String> logged = Logged(child);
    if (*r.error) {
      ASSERT_EQ(logged.size(), 1u) << ::testing::PrintToString(logged);
      EXPECT_EQ(logged[0].rfind(r.error, 0), 0u) << logged[0];
    } else {
      EXPECT_TRUE(logged.empty()) << ::testing::PrintToString(logged);
    }
  }
  ASSERT_FALSE(host.Boxes.empty());
  EXPECT_EQ(host.Boxes[0].Text, "Please select a folder on a local drive to transfer with.");
  EXPECT_EQ(ReadFileBytes(local + "\\kept.txt"), "kept");
  ASSERT_EQ(dialogs.Dialogs.Questions.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.Questions[0].Caption, "Replace File");

  // A remote path that climbs: its last part, inside the folder.
  host.Folder = local;
  Mark(child);
  child->SendRETR("a/../../x");
  ASSERT_TRUE(Settled(child, 4));
  EXPECT_EQ(Sent(), (std::vector<String>{"TYPE I", "SIZE a/../../x", "PASV", "RETR a/../../x"}));
  EXPECT_EQ(ReadFileBytes(local + "\\x"), "only inside");
  EXPECT_FALSE(FileExists(dir + "\\x"));
  EXPECT_EQ(LogLinesStarting(child, "Error: ").size(), 5u);
}

TEST_F(ChildRaw, CancelledRawTransfersKeepTheConnection) {
  TFtpScript script;
  script.Listing = kListing;
  script.Files = {{"big.bin", String(400000, 'r')}};
  script.PaceBytes = 4000;
  script.PaceMs = 25;
  script.PaceStor = true;
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  WriteFileBytes(local + "\\large.bin", String(4 << 20, 's'));
  struct Row {
    const char* what;
    std::function<void()> act;
    std::vector<String> sent;
  } rows[] = {
      {"RETR", [&] { child->SendRETR("big.bin"); }, {"TYPE I", "SIZE big.bin", "PASV", "RETR big.bin"}},
      // The server may hold part of the file: the directory is read again.
      {"STOR", [&] { child->SendSTOR("large.bin"); }, Concat({"TYPE I", "PASV", "STOR large.bin"}, kRelist)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Mark(child);
    r.act();
    ASSERT_TRUE(WaitUntil([&] { return child->TransferDone > 0; }, 10000));
    ASSERT_TRUE(ClickButton(child->CancelB));
    EXPECT_EQ(child->SizeSpeed->Caption(), "Transfer Cancelled");
    ASSERT_TRUE(Settled(child, r.sent.size(), 30000));
    EXPECT_EQ(Sent(), r.sent);
    EXPECT_TRUE(child->Connected());
    EXPECT_FALSE(child->Transferring);
    EXPECT_FALSE(child->RawStorPending);
    EXPECT_FALSE(child->Timer1->Enabled());
  }
  EXPECT_LT(FileSizeOf(local + "\\big.bin"), 400000);
  EXPECT_TRUE(host.Boxes.empty());
  // The next command goes over the same connection.
  Mark(child);
  child->SendPWD();
  ASSERT_TRUE(Settled(child, kRelist.size()));
  EXPECT_EQ(Sent(), kRelist);
  EXPECT_EQ(server_->Count("USER"), 1);
}

TEST_F(ChildRaw, AnotherUserAndPasswordAfter530) {
  TFtpScript script;
  script.Listing = kListing;
  script.Replies = {{"PASS", {"530 Login incorrect.\r\n"}}};
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  HWND userEdit = nullptr, passEdit = nullptr;
  std::vector<HWND> focus;
  bool masked = false, okDefault = false;
  RECT placed{};
  TModalDriver modal(10000);
  modal.Window("Username/Password")
      .Do("look",
          [&](HWND w) {
            auto* form = dynamic_cast<TFormUserPass*>(TControl::FindControl(w));
            if (!form) return false;
            userEdit = form->EditUser->Handle();
            passEdit = form->EditPass->Handle();
            masked = SendMessageA(passEdit, EM_GETPASSWORDCHAR, 0, 0) == '*';
            okDefault = (GetWindowLongA(form->Button1->Handle(), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
            GetWindowRect(w, &placed);
            SaveScreenshot(w);
            return WindowText(userEdit) == "nembraftp";
          })
      .SetEditAt(0, "")
      .Press("&OK")
      .Do("focus", [&](HWND) {
        focus.push_back(GetFocus());
        return true;
      })
      .SetEditAt(0, "other")
      .Press("&OK")
      .Do("focus", [&](HWND) {
        focus.push_back(GetFocus());
        return true;
      })
      .SetEditAt(1, "second")
      .Press("&OK");
  TFormMdi* child = Open("Scripted");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(modal.Finish(20000));
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_EQ(server.Commands(), (std::vector<String>{"USER nembraftp", "PASS secret", "USER other", "PASS second",
                                                    "SYST", "PWD", "PASV", "LIST"}));
  EXPECT_TRUE(child->Connected());
  EXPECT_EQ(Captions(child->RemoteFiles), (std::vector<String>{"a.bin", "b.txt"}));
  EXPECT_EQ(host.BoxLines(), (std::vector<String>{"Need Username/Password: You must enter a Username and Password.",
                                                  "Need Username/Password: You must enter a Username and Password."}));
  EXPECT_EQ(focus, (std::vector<HWND>{userEdit, passEdit}));
  EXPECT_TRUE(masked);
  EXPECT_TRUE(okDefault);
  // Centred on the main window (on the work area without one).
  RECT area{};
  if (TCustomForm* main = Application->MainForm(); main && main->HandleAllocated())
    GetWindowRect(main->Handle(), &area);
  else
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_NEAR((placed.left + placed.right) / 2, (area.left + area.right) / 2, 2);
  EXPECT_NEAR((placed.top + placed.bottom) / 2, (area.top + area.bottom) / 2, 2);
  EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty());
}

TEST_F(ChildRaw, CancelledReloginEndsTheLoginWithReconnect) {
  TFtpScript script;
  script.Replies = {{"PASS", {"530 Login incorrect.\r\n"}}};
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  TModalDriver modal(10000);
  modal.Window("Username/Password").Press("&Cancel");
  TFormMdi* child = Open("Scripted");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(modal.Finish(20000));
  ASSERT_TRUE(WaitUntil([&] { return !child->Busy() && child->ReconB->Enabled(); }));
  EXPECT_EQ(server.Commands(), (std::vector<String>{"USER nembraftp", "PASS secret"}));
  EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty());
  EXPECT_TRUE(host.Boxes.empty());
}
