// The remote folders and files of the connection window: the mode and
// permission texts, the idle tick, the permission editor by real clicks,
// and against a scripted server the directory changes (commands, double
// clicks, the path combo), making, renaming and removing folders, deleting
// and renaming files, the SITE CHMOD queue, their errors and the cases that
// send nothing, the sorting by header clicks, and the time-out and
// keep-alive timer.
#include <gtest/gtest.h>

#include "Childtest.h"
#include "application/connections/Chmod.h"
#include "application/connections/Dirinfo.h"
#include "application/frame/Regdataunit.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

#include <commctrl.h>

namespace {

const std::vector<String> kLogin = {"USER nembraftp", "PASS secret", "SYST", "PWD", "PASV", "LIST"};
const std::vector<String> kRelist = {"PWD", "PASV", "LIST"};

std::vector<String> Concat(std::vector<String> a, const std::vector<String>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const String kLinkLine = "lrwxrwxrwx    1 ftp      ftp      14 Jan 12  2020 docs -> /usr/share/doc\r\n";
const String kArrowDirLine = "drwxr-xr-x    1 ftp      ftp      512 Jan 12  2020 a -> b\r\n";

// The centre of a row of a report list, in its client coordinates.
POINT RowPoint(TCustomListView* list, int index) {
  RECT r{};
  r.left = LVIR_LABEL;
  SendMessageA(list->Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

int IndexOf(TCustomListView* list, const String& caption) {
  for (int i = 0; i < list->Items()->Count(); ++i)
    if (list->Items()->Item(i)->Caption() == caption) return i;
  return -1;
}

// The centre of a column's header, in the list's client coordinates.
POINT HeaderPoint(TCustomListView* list, int column) {
  HWND header = list->HeaderHandle();
  RECT r{};
  SendMessageA(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&r));
  POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  MapWindowPoints(header, list->Handle(), &p, 1);
  return p;
}

}  // namespace

// ---------------------------------------------------------------- texts

TEST(ChmodTexts, ModeOfTheBoxes) {
  using B = TPermissionBoxes;
  struct Row {
    B boxes;
    const char* mode;
  } rows[] = {
      {{true, true, false, true, false, false, true, false, false}, "644"},
      {{true, true, false, false, false, false, true, false, false}, "604"},
      {{false, false, false, true, false, false, true, false, false}, "44"},
      {{false, false, false, false, false, false, true, false, false}, "4"},
      {{false, false, false, false, false, false, false, false, false}, ""},
      {{true, true, true, true, true, true, true, true, true}, "777"},
  };
  for (const Row& r : rows) EXPECT_EQ(PermissionModeText(r.boxes), r.mode) << r.mode;
}

TEST(ChmodTexts, BoxesOfAPermissionText) {
  struct Row {
    const char* text;
    bool read;        // the text sets the boxes
    const char* mode;  // of the boxes after it, from the default 644
  } rows[] = {
      {"-rw-r--r--", true, "644"},
      {"drwxr-x---", true, "750"},
      {"-rwxr-xr-x+", true, "755"},
      {"drwxr-xr-x@", true, "755"},
      {"-rw-r--r--.", true, "644"},
      {"drwxr-sr-x", true, "755"},
      {"drwxr-Sr-x", true, "745"},
      {"drwxrwxrwt", true, "777"},
      {"drwxrwxrwT", true, "776"},
      {"-rwSr--r--", true, "644"},
      {"-RWXR-XR-X", true, "755"},
      {"----------", true, ""},
      {"rwx", false, "644"},
      {"-rwxr-xr-x++", false, "644"},
      {"-rwxr-xr-xz", false, "644"},
      {"", false, "644"},
  };
  for (const Row& r : rows) {
    TPermissionBoxes b{true, true, false, true, false, false, true, false, false};
    EXPECT_EQ(PermissionBoxesOf(r.text, b), r.read) << r.text;
    EXPECT_EQ(PermissionModeText(b), r.mode) << r.text;
  }
}

TEST(ChildTexts, IdleTick) {
  struct Row {
    bool ready, disabled, keepAlive;
    int idle, noop;
    TIdleTick tick;
  } rows[] = {
      // The time-out (30 s) counts whether a request runs or not.
      {true, false, true, 29, 120, itNothing},
      {true, false, true, 30, 120, itTimeOut},
      {false, false, false, 30, 120, itTimeOut},
      // Keep-alive: NOOP when idle for Noop seconds; a running request
      // only starts the count again after a minute.
      {true, true, true, 119, 120, itNothing},
      {true, true, true, 120, 120, itNoop},
      {true, true, false, 120, 120, itReset},
      {false, true, true, 59, 120, itNothing},
      {false, true, true, 60, 120, itReset},
      {false, true, true, 500, 120, itReset},
      // A Noop below 1 counts as 120.
      {true, true, true, 1, 0, itNothing},
      {true, true, true, 120, 0, itNoop},
      {true, true, true, 120, -3, itNoop},
  };
  for (const Row& r : rows)
    EXPECT_EQ(IdleTick(r.ready, r.disabled, r.keepAlive, r.idle, r.noop, 30), r.tick)
        << r.ready << r.disabled << r.keepAlive << " " << r.idle << " " << r.noop;
  EXPECT_EQ(NoopSeconds(0), 120);
  EXPECT_EQ(NoopSeconds(45), 45);
}

// ---------------------------------------------------------------- the editor

class ChmodForm : public ::testing::Test {
 protected:
  TScopedDialogs dialogs;
};

TEST_F(ChmodForm, BoxesDriveTheModeByRealClicks) {
  TOwned<TFormMod> form(new TFormMod(Application));
  form->Permissions = "-rw-r-----";
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  EXPECT_EQ(form->Caption(), "File Permissions");
  EXPECT_TRUE(form->Cancelled);
  EXPECT_EQ(form->Label3->Caption(), "640");
  EXPECT_TRUE(form->Label3->Font()->Style().Contains(fsBold));
  EXPECT_TRUE(form->Label2->Font()->Style().Contains(fsBold));
  EXPECT_EQ(form->GroupBox1->Caption(), "Owner Permissions");
  EXPECT_EQ(form->GroupBox3->Caption(), "Other Permissions");
  int contexts[] = {form->CheckBox1->HelpContext(), form->CheckBox9->HelpContext(), form->CheckQuote->HelpContext()};
  EXPECT_EQ(contexts[0], 64);
  EXPECT_EQ(contexts[1], 72);
  EXPECT_EQ(contexts[2], 73);
  // Centred on the screen.
  RECT r;
  GetWindowRect(form->Handle(), &r);
  EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
  EXPECT_NEAR((r.top + r.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 2);

  struct Step {
    TCheckBox* box;
    const char* mode;
  } steps[] = {{form->CheckBox3, "740"}, {form->CheckBox7, "744"}, {form->CheckBox1, "344"},
               {form->CheckBox2, "144"}, {form->CheckBox3, "44"},  {form->CheckBox4, "4"},
               {form->CheckBox7, ""}};
  for (const Step& s : steps) {
    ASSERT_TRUE(Click(s.box->Handle()));
    EXPECT_EQ(form->Label3->Caption(), s.mode) << s.box->Name();
  }
  ASSERT_TRUE(Click(form->CheckBox9->Handle()));
  ASSERT_TRUE(Click(form->CheckQuote->Handle()));
  SaveScreenshot(form->Handle());
  ASSERT_TRUE(Click(form->ButHelp->Handle()));
  ASSERT_EQ(dialogs.Dialogs.HelpCalls.size(), 1u);
  EXPECT_NE(dialogs.Dialogs.HelpCalls[0].find("IDH_chmod"), String::npos) << dialogs.Dialogs.HelpCalls[0];
  ASSERT_TRUE(Click(form->Button1->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return !form->Visible(); }));
  EXPECT_FALSE(form->Cancelled);
  EXPECT_EQ(form->ModeText, "1");
  EXPECT_TRUE(form->SendAsQuote);
}

TEST_F(ChmodForm, EveryWayOutButOkCancels) {
  struct Row {
    const char* how;
    bool cancelled;
  } rows[] = {{"&OK", false}, {"&Cancel", true}, {"Escape", true}, {"close", true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.how);
    TOwned<TFormMod> form(new TFormMod(Application));
    TModalDriver modal;
    modal.Window("File Permissions");
    if (String(r.how) == "Escape")
      modal.Key(VK_ESCAPE);
    else if (String(r.how) == "close")
      modal.Do("close", [](HWND w) { return PostMessageA(w, WM_CLOSE, 0, 0) != FALSE; });
    else
      modal.Press(r.how);
    form->ShowModal();
    EXPECT_TRUE(modal.Done());
    EXPECT_EQ(form->Cancelled, r.cancelled);
    if (!r.cancelled) EXPECT_EQ(form->ModeText, "644");
  }
}

// ---------------------------------------------------------------- against a scripted server

class ChildRemote : public ChildTest {
 protected:
  // Connects to a scripted server with this listing; the commands after
  // the login are From(server).
  TFormMdi* Connect(const TFtpScript& script) {
    // In the main window: the tests use its actions.
    if (!form) OpenMain();
    server_ = &StartServer(script);
    ScriptedProfile(server_->Port());
    TFormMdi* child = Open("Scripted");
    if (!child || !WaitIdle(child)) return nullptr;
    mark_ = server_->Commands().size();
    return child;
  }
  // The commands since the login (or since the last Mark).
  std::vector<String> Sent() const {
    std::vector<String> c = server_->Commands();
    return std::vector<String>(c.begin() + static_cast<ptrdiff_t>(std::min(mark_, c.size())), c.end());
  }
  void Mark() { mark_ = server_->Commands().size(); }
  void SelectDir(TFormMdi* child, const String& caption) {
    int i = IndexOf(child->RemoteDirs, caption);
    ASSERT_GE(i, 0) << caption;
    child->RemoteDirs->Items()->Item(i)->SetSelected(true);
  }
  TFtpScriptServer* server_ = nullptr;
  size_t mark_ = 0;
};

namespace {

String StandardListing() {
  return UnixLine("pub", 512, true) + kArrowDirLine + kLinkLine + UnixLine("c.txt", 3) + UnixLine("a.txt", 1) +
         UnixLine("b.txt", 2);
}

}  // namespace

TEST_F(ChildRemote, DirectoryChanges) {
  TFtpScript script;
  script.Listing = StandardListing();
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  child->DirCombo->Items()->Add("/srv/pick");
  struct Row {
    const char* what;
    std::function<void()> act;
    const char* cwd;
  } rows[] = {
      {"ChangeDir", [&] { child->ChangeDir("pub"); }, "CWD pub"},
      {"Up Directory", [&] { form->ActionUpDir->Execute(); }, "CWD .."},
      // Cancelled: the preset, the directory read again.
      {"Change Remote Directory cancelled", [&] { form->ActionChangeDir->Execute(); }, "CWD /home"},
      {"Change Remote Directory", [&] {
         dialogs.Dialogs.InputAnswers = {{true, "/srv"}};
         form->ActionChangeDir->Execute();
       }, "CWD /srv"},
      {"double click on a folder",
       [&] { ASSERT_TRUE(DoubleClick(child->RemoteDirs->Handle(), RowPoint(child->RemoteDirs, IndexOf(child->RemoteDirs, "pub")))); },
       "CWD pub"},
      {"double click on a link",
       [&] {
         ASSERT_TRUE(DoubleClick(child->RemoteDirs->Handle(),
                                 RowPoint(child->RemoteDirs, IndexOf(child->RemoteDirs, "docs -> /usr/share/doc"))));
       },
       "CWD /usr/share/doc"},
      {"double click on a folder named with an arrow",
       [&] { ASSERT_TRUE(DoubleClick(child->RemoteDirs->Handle(), RowPoint(child->RemoteDirs, IndexOf(child->RemoteDirs, "a -> b")))); },
       "CWD a -> b"},
      {"combo Enter",
       [&] {
         ASSERT_TRUE(FocusWindow(child->DirCombo->EditHandle()));
         SendMessageA(child->DirCombo->EditHandle(), EM_SETSEL, 0, -1);
         ASSERT_TRUE(TypeText("/var/typed"));
         ASSERT_TRUE(KeyChord({VK_RETURN}));
       },
       "CWD /var/typed"},
      {"combo pick",
       [&] {
         // The list dropped by a click on the arrow, its last row clicked.
         HWND combo = child->DirCombo->Handle();
         RECT c{};
         GetClientRect(combo, &c);
         ASSERT_TRUE(Click(combo, POINT{c.right - 8, c.bottom / 2}));
         ASSERT_TRUE(WaitUntil([&] { return SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) != 0; }));
         HWND list = child->DirCombo->ListHandle();
         int last = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)) - 1;
         RECT row{};
         SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(last), reinterpret_cast<LPARAM>(&row));
         // The dropped list never comes to the front: the click goes where it is.
         ASSERT_TRUE(MoveTo(ClientPoint(list, (row.left + row.right) / 2, (row.top + row.bottom) / 2)));
         ASSERT_TRUE(MouseDown());
         ASSERT_TRUE(MouseUp());
       },
       "CWD /srv/pick"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    ASSERT_TRUE(WaitIdle(child));
    Mark();
    r.act();
    ASSERT_TRUE(WaitUntil([&] { return Sent().size() >= 4u; }, 10000)) << ::testing::PrintToString(Sent());
    ASSERT_TRUE(WaitIdle(child));
    EXPECT_EQ(Sent(), Concat({r.cwd}, kRelist));
    EXPECT_EQ(Captions(child->RemoteFiles), (std::vector<String>{"a.txt", "b.txt", "c.txt"}));
  }
  SaveScreenshot(form->Handle());
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
  EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty());
}

TEST_F(ChildRemote, FolderAndFileOperations) {
  TFtpScript script;
  script.Listing = StandardListing();
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  struct Row {
    const char* what;
    std::function<void()> act;
    std::vector<String> sent;
  } rows[] = {
      {"make", [&] { child->MakeDir("new one"); }, Concat({"MKD new one", "CWD new one"}, kRelist)},
      {"rename folder",
       [&] {
         SelectDir(child, "pub");
         child->RenameDir("pub2");
       },
       Concat({"RNFR pub", "RNTO pub2"}, kRelist)},
      {"remove folder", [&] { child->RemoveDir("pub"); }, Concat({"RMD pub"}, kRelist)},
      {"delete three",
       [&] {
         SelectFiles(child);
         dialogs.Dialogs.Answers = {IDYES};
         child->DeleteSelected();
       },
       Concat({"DELE a.txt", "DELE b.txt", "DELE c.txt"}, kRelist)},
      {"rename file",
       [&] {
         SelectFiles(child, {"b.txt"});
         dialogs.Dialogs.InputAnswers = {{true, "d.txt"}};
         child->RenameSelectedFile();
       },
       Concat({"RNFR b.txt", "RNTO d.txt"}, kRelist)},
      {"refresh", [&] { form->ActionRefreshRemote->Execute(); }, kRelist},
      {"chmod three",
       [&] {
         SelectFiles(child);
         child->ChmodFiles("640", false);
       },
       Concat({"SITE CHMOD 640 a.txt", "SITE CHMOD 640 b.txt", "SITE CHMOD 640 c.txt"}, kRelist)},
      // The quote box sends the same.
      {"chmod as quote",
       [&] {
         SelectFiles(child, {"a.txt"});
         child->ChmodFiles("640", true);
       },
       Concat({"SITE CHMOD 640 a.txt"}, kRelist)},
      {"chmod folder",
       [&] {
         SelectDir(child, "a -> b");
         child->ChmodDir("750", false);
       },
       Concat({"SITE CHMOD 750 a -> b"}, kRelist)},
      {"chmod link by its name",
       [&] {
         SelectDir(child, "docs -> /usr/share/doc");
         child->ChmodDir("700", true);
       },
       Concat({"SITE CHMOD 700 docs"}, kRelist)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    ASSERT_TRUE(WaitIdle(child));
    Mark();
    r.act();
    ASSERT_TRUE(WaitUntil([&] { return Sent().size() >= r.sent.size(); }, 10000)) << ::testing::PrintToString(Sent());
    ASSERT_TRUE(WaitIdle(child));
    EXPECT_EQ(Sent(), r.sent);
    EXPECT_EQ(child->ChmodList->Count(), 0);
    EXPECT_EQ(child->DeleteList->Count(), 0);
  }
  EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty());
  EXPECT_EQ(BoxCaptions(), (std::vector<String>{"Delete Files?"}));
  ASSERT_EQ(dialogs.Dialogs.InputQueries.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.InputQueries[0].Caption, "Rename File");
  EXPECT_EQ(dialogs.Dialogs.InputQueries[0].Prompt, "New name for the file \"b.txt\":");
  EXPECT_EQ(dialogs.Dialogs.InputQueries[0].Value, "b.txt");
  EXPECT_TRUE(LogHas(child, "-->  SITE CHMOD 640 a.txt"));
}

TEST_F(ChildRemote, ErrorsEndTheOperation) {
  struct Row {
    const char* what;
    std::map<String, std::vector<String>> replies;
    std::function<void(TFormMdi*)> act;
    std::vector<String> sent;
    const char* error;
  } rows[] = {
      {"CWD 550", {{"CWD", {"550 No such directory\r\n"}}}, [](TFormMdi* c) { c->ChangeDir("gone"); }, {"CWD gone"},
       "Error: 550 No such directory"},
      {"MKD 550", {{"MKD", {"550 Permission denied\r\n"}}}, [](TFormMdi* c) { c->MakeDir("x"); }, {"MKD x"},
       "Error: 550 Permission denied"},
      // The second of three: no third; what is gone leaves the lists.
      {"second DELE 550", {{"DELE", {"", "550 Busy file\r\n"}}},
       [this](TFormMdi* c) {
         SelectFiles(c);
         dialogs.Dialogs.Answers = {IDYES};
         c->DeleteSelected();
       },
       Concat({"DELE a.txt", "DELE b.txt"}, kRelist), "Error: 550 Busy file"},
      {"second SITE 550", {{"SITE", {"", "550 Not permitted\r\n"}}},
       [this](TFormMdi* c) {
         SelectFiles(c);
         c->ChmodFiles("600", false);
       },
       Concat({"SITE CHMOD 600 a.txt", "SITE CHMOD 600 b.txt"}, kRelist), "Error: 550 Not permitted"},
      {"first SITE 500", {{"SITE", {"500 SITE not understood\r\n"}}},
       [this](TFormMdi* c) {
         SelectFiles(c);
         c->ChmodFiles("600", false);
       },
       {"SITE CHMOD 600 a.txt"}, "Error: 500 SITE not understood"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    TFtpScript script;
    script.Replies = r.replies;
    script.Listing = StandardListing();
    TFormMdi* child = Connect(script);
    ASSERT_NE(child, nullptr);
    r.act(child);
    ASSERT_TRUE(WaitUntil([&] { return Sent().size() >= r.sent.size(); }, 10000)) << ::testing::PrintToString(Sent());
    ASSERT_TRUE(WaitIdle(child));
    PumpFor(200);
    EXPECT_EQ(Sent(), r.sent);
    EXPECT_EQ(LogLinesStarting(child, "Error: "), (std::vector<String>{r.error}));
    EXPECT_EQ(Captions(child->RemoteFiles), (std::vector<String>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_TRUE(child->Connected());
    EXPECT_FALSE(child->Busy());
    EXPECT_EQ(child->DeleteList->Count(), 0);
    EXPECT_EQ(child->ChmodList->Count(), 0);
    form->CloseAllChildren();
  }
}

TEST_F(ChildRemote, NothingSent) {
  TFtpScript script;
  script.Listing = StandardListing();
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  struct Row {
    const char* what;
    std::function<void()> act;
    std::vector<String> boxes;
  } rows[] = {
      {"file renamed to its name",
       [&] {
         SelectFiles(child, {"a.txt"});
         dialogs.Dialogs.InputAnswers = {{true, "a.txt"}};
         child->RenameSelectedFile();
       },
       {}},
      {"file renamed to nothing",
       [&] {
         SelectFiles(child, {"a.txt"});
         dialogs.Dialogs.InputAnswers = {{true, ""}};
         child->RenameSelectedFile();
       },
       {}},
      {"file rename cancelled",
       [&] {
         SelectFiles(child, {"a.txt"});
         child->RenameSelectedFile();
       },
       {}},
      {"two files renamed",
       [&] {
         SelectFiles(child, {"a.txt", "b.txt"});
         child->RenameSelectedFile();
       },
       {"Rename Error"}},
      {"file renamed onto a listed one, No",
       [&] {
         SelectFiles(child, {"a.txt"});
         dialogs.Dialogs.InputAnswers = {{true, "b.txt"}};
         dialogs.Dialogs.Answers = {IDNO};
         child->RenameSelectedFile();
       },
       {"Rename File"}},
      {"folder renamed onto a listed one, No",
       [&] {
         SelectDir(child, "pub");
         dialogs.Dialogs.Answers = {IDNO};
         child->RenameDir("c.txt");
       },
       {"Rename Directory"}},
      {"folder rename cancelled",
       [&] {
         SelectDir(child, "pub");
         form->UpdateActionStates();
         form->ActionRenameDir->Execute();
       },
       {}},
      {"empty mode",
       [&] {
         SelectFiles(child);
         child->ChmodFiles("", false);
       },
       {}},
      {"no file for the mode",
       [&] {
         SelectFiles(child, {"none"});
         child->ChmodFiles("644", false);
       },
       {"CHMOD Error"}},
      {"the .. row: rename, remove, mode",
       [&] {
         SelectDir(child, "..");
         form->UpdateActionStates();
         child->RenameDir("x");
         child->RemoveDir("..");
         child->ChmodDir("755", false);
         form->ActionRenameDir->Execute();
         form->ActionRemoveDir->Execute();
       },
       {"CHMOD Error", "Select Directory", "Select Directory"}},
      {"delete answered No",
       [&] {
         SelectFiles(child);
         dialogs.Dialogs.Answers = {IDNO};
         child->DeleteSelected();
       },
       {"Delete Files?"}},
      {"make cancelled",
       [&] { form->ActionMkdDir->Execute(); },
       {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    dialogs.Dialogs.Boxes.clear();
    Mark();
    r.act();
    PumpFor(300);
    EXPECT_EQ(Sent(), std::vector<String>());
    EXPECT_EQ(BoxCaptions(), r.boxes);
    EXPECT_FALSE(child->Busy());
    EXPECT_EQ(child->DeleteList->Count(), 0);
    EXPECT_EQ(child->IdleCountHeld(), false);
  }
  // The texts of the boxes.
  dialogs.Dialogs.Boxes.clear();
  SelectFiles(child, {"a.txt"});
  dialogs.Dialogs.InputAnswers = {{true, "b.txt"}};
  dialogs.Dialogs.Answers = {IDNO};
  child->RenameSelectedFile();
  ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].text, "\"b.txt\" already exists on the server. Replace it?");
  dialogs.Dialogs.Boxes.clear();
  SelectFiles(child, {"a.txt", "b.txt"});
  child->RenameSelectedFile();
  SelectFiles(child, {"none"});
  child->ChmodFiles("644", false);
  SelectDir(child, "..");
  child->ChmodDir("644", false);
  SelectFiles(child);
  dialogs.Dialogs.Answers = {IDNO};
  child->DeleteSelected();
  std::vector<String> texts;
  for (const auto& b : dialogs.Dialogs.Boxes) texts.push_back(b.text);
  EXPECT_EQ(texts, (std::vector<String>{"You must have ONE file selected to rename.", "You didn't select a file to CHMOD!",
                                        "You didn't select a directory to CHMOD!",
                                        "Are you sure you want to delete the file(s) from the server?"}));
}

TEST_F(ChildRemote, ARenameOntoAListedNameAnsweredYesReplaces) {
  TFtpScript script;
  script.Listing = StandardListing();
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  SelectFiles(child, {"a.txt"});
  dialogs.Dialogs.InputAnswers = {{true, "b.txt"}};
  dialogs.Dialogs.Answers = {IDYES};
  child->RenameSelectedFile();
  ASSERT_TRUE(WaitUntil([&] { return Sent().size() >= 5u; }, 10000));
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_EQ(Sent(), Concat({"RNFR a.txt", "RNTO b.txt"}, kRelist));
  EXPECT_EQ(BoxCaptions(), (std::vector<String>{"Rename File"}));
}

TEST_F(ChildRemote, SortingByHeaderClicks) {
  TFtpScript script;
  script.Listing = UnixLine("zeta", 1, true) + UnixLine("Alpha", 1, true) + UnixLine("big.iso", 5368709120) +
                   UnixLine("b.txt", 20) + UnixLine("A.txt", 300) + UnixLine("c.txt", 1);
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  TPTListView* files = child->RemoteFiles;
  TPTListView* dirs = child->RemoteDirs;
  using V = std::vector<String>;
  EXPECT_EQ(Captions(files), (V{"A.txt", "b.txt", "big.iso", "c.txt"}));
  struct Step {
    TPTListView* list;
    int column;
    V rows;
    int sortColumn;
    TPTLvSortDirection direction;
  } steps[] = {
      {files, 1, {"c.txt", "b.txt", "A.txt", "big.iso"}, 1, ptsdDesc},
      {files, 1, {"big.iso", "A.txt", "b.txt", "c.txt"}, 1, ptsdAsc},
      {files, 2, {"big.iso", "A.txt", "b.txt", "c.txt"}, 1, ptsdAsc},
      {files, 3, {"big.iso", "A.txt", "b.txt", "c.txt"}, 1, ptsdAsc},
      {files, 0, {"A.txt", "b.txt", "big.iso", "c.txt"}, 0, ptsdDesc},
      {files, 0, {"c.txt", "big.iso", "b.txt", "A.txt"}, 0, ptsdAsc},
      {dirs, 0, {"zeta", "Alpha", ".."}, 0, ptsdAsc},
      {dirs, 0, {"..", "Alpha", "zeta"}, 0, ptsdDesc},
  };
  int n = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(n++);
    ASSERT_TRUE(Click(s.list->Handle(), HeaderPoint(s.list, s.column)));
    PumpFor(50);
    EXPECT_EQ(Captions(s.list), s.rows);
    EXPECT_EQ(s.list->HeaderSortColumn(), s.sortColumn);
    EXPECT_EQ(s.list->HeaderSortDirection(), s.direction);
    if (s.list == files) EXPECT_EQ(child->SortColumn, s.sortColumn);
    // The header's mark follows: up for A to Z (or drawn by the list).
    for (int c = 0; c < 4; ++c) {
      HDITEMA item{};
      item.mask = HDI_FORMAT;
      SendMessageA(s.list->HeaderHandle(), HDM_GETITEMA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&item));
      if (item.fmt & HDF_OWNERDRAW) continue;
      int mark = c != s.sortColumn ? 0 : s.direction == ptsdDesc ? HDF_SORTUP : HDF_SORTDOWN;
      EXPECT_EQ(item.fmt & (HDF_SORTUP | HDF_SORTDOWN), mark) << c;
    }
  }
  SaveScreenshot(form->Handle());
}

// ---------------------------------------------------------------- the idle timer

TEST_F(ChildRemote, TimeOutByTicks) {
  TReg::WriteInteger(SettingsSection, "TimeOut", 30);
  TFtpScript script;
  script.Listing = StandardListing();
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  // Ticks by hand: the window's own timer stays out of it.
  child->TimeOut->SetEnabled(false);
  child->TimeOut->Tag = 0;
  for (int i = 0; i < 20; ++i) child->TimeOutTimer(nullptr);
  EXPECT_EQ(child->TimeOut->Tag, 20);
  // A reply starts the count again.
  child->RefreshRemote();
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_EQ(child->TimeOut->Tag, 0);
  child->TimeOut->SetEnabled(false);
  child->TimeOut->Tag = 0;
  for (int i = 0; i < 29; ++i) child->TimeOutTimer(nullptr);
  EXPECT_TRUE(child->Connected());
  child->TimeOutTimer(nullptr);
  ASSERT_TRUE(WaitUntil([&] { return !child->Connected(); }));
  EXPECT_TRUE(LogHas(child, "Connection Timed Out!"));
  EXPECT_TRUE(child->ConnectionLost);
  EXPECT_FALSE(child->TimeOut->Enabled());
  EXPECT_FALSE(child->Busy());
  // The next operation offers to reconnect.
  dialogs.Dialogs.Answers = {IDNO};
  child->ChangeDir("pub");
  EXPECT_EQ(BoxCaptions(), (std::vector<String>{"Reconnect?"}));
  EXPECT_EQ(server_->Count("CWD"), 0);
}

TEST_F(ChildRemote, KeepAliveByTicks) {
  TReg::WriteInteger(SettingsSection, "TimeOutDisable", 1);
  TReg::WriteInteger(SettingsSection, "Noop", 120);
  struct Row {
    bool keepAlive;
    int noops;  // after 240 ticks
  } rows[] = {{true, 2}, {false, 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.keepAlive);
    TReg::WriteBool(SettingsSection, "KeepAlive", r.keepAlive);
    TFtpScript script;
    script.Listing = StandardListing();
    TFormMdi* child = Connect(script);
    ASSERT_NE(child, nullptr);
    child->TimeOut->SetEnabled(false);
    child->TimeOut->Tag = 0;
    for (int i = 0; i < 119; ++i) child->TimeOutTimer(nullptr);
    PumpFor(100);
    EXPECT_EQ(server_->Count("NOOP"), 0);
    child->TimeOutTimer(nullptr);
    EXPECT_FALSE(child->Busy());
    ASSERT_TRUE(WaitUntil([&] { return server_->Count("NOOP") == (r.keepAlive ? 1 : 0); }));
    for (int i = 0; i < 120; ++i) child->TimeOutTimer(nullptr);
    PumpFor(300);
    EXPECT_EQ(server_->Count("NOOP"), r.noops);
    EXPECT_TRUE(child->Connected());
    EXPECT_FALSE(LogHas(child, "Connection Timed Out!"));
    EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty());
    form->CloseAllChildren();
  }
}

TEST_F(ChildRemote, APacedTransferRunsOnOverManyTicks) {
  TReg::WriteInteger(SettingsSection, "TimeOutDisable", 1);
  TReg::WriteInteger(SettingsSection, "Noop", 120);
  TReg::WriteBool(SettingsSection, "KeepAlive", true);
  TFtpScript script;
  String data(200000, 'p');
  script.Files["slow.bin"] = data;
  script.PaceBytes = 2000;
  script.PaceMs = 10;
  script.Listing = UnixLine("slow.bin", 200000);
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  child->TimeOut->SetEnabled(false);
  child->TimeOut->Tag = 0;
  SelectFiles(child);
  child->DownloadSelected();
  // Ten minutes of ticks while it runs.
  for (int i = 0; i < 600 && child->Busy(); ++i) {
    child->TimeOutTimer(nullptr);
    PumpFor(1);
  }
  ASSERT_TRUE(WaitIdle(child, 30000));
  EXPECT_EQ(ReadFileBytes(local + "\\slow.bin"), data);
  EXPECT_EQ(server_->Count("NOOP"), 0);
  EXPECT_TRUE(child->Connected());
}

TEST_F(ChildRemote, KeepAliveInRealTimeAndAQuestionKeepsTheConnection) {
  TReg::WriteInteger(SettingsSection, "TimeOutDisable", 1);
  TReg::WriteInteger(SettingsSection, "Noop", 2);
  TReg::WriteBool(SettingsSection, "KeepAlive", true);
  TFtpScript script;
  script.Listing = StandardListing();
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return server_->Count("NOOP") >= 1; }, 4000));
  EXPECT_TRUE(LogHas(child, "-->  NOOP"));
  EXPECT_FALSE(child->Busy());
  form->CloseAllChildren();

  // A question open for 5 s with TimeOut 3: the connection stays, and the
  // delete after Yes runs.
  TReg::WriteInteger(SettingsSection, "TimeOutDisable", 0);
  TReg::WriteInteger(SettingsSection, "TimeOut", 3);
  child = Connect(script);
  ASSERT_NE(child, nullptr);
  SelectFiles(child, {"a.txt"});
  {
    TModalDriver modal(8000);
    modal.Window("Delete Files?").Do("wait 5 s", [start = GetTickCount64()](HWND) {
      return GetTickCount64() - start >= 5000;
    });
    modal.Press("&Yes");
    TSystemDialogs* recording = SetSystemDialogs(nullptr);
    child->DeleteSelected();
    SetSystemDialogs(recording);
    EXPECT_TRUE(modal.Done());
  }
  ASSERT_TRUE(WaitUntil([&] { return Sent().size() >= 4u; }, 10000));
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_EQ(Sent(), Concat({"DELE a.txt"}, kRelist));
  EXPECT_FALSE(LogHas(child, "Connection Timed Out!"));
  EXPECT_TRUE(child->Connected());
}

// ---------------------------------------------------------------- directory information

TEST_F(ChildRemote, DirectoryInformationShowsTheListingAsSentAndSavesIt) {
  const int kBigRows = 100000;
  TFtpScript script;
  script.Listing = StandardListing();
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  // The next listing is long: the window holds all of it.
  String big;
  for (int i = 0; i < kBigRows; ++i) big += UnixLine("f" + IntToStr(i) + ".txt", i);
  server_->SetListing(big);
  const String saved = dir + "\\listing.txt";
  dialogs.Dialogs.SaveNames = {saved};
  String shown;
  TModalDriver modal;
  modal.Window("Directory Information")
      .Do("read and shoot", [&](HWND wnd) {
        auto* window = dynamic_cast<TFormDir*>(TWinControl::FindControl(wnd));
        if (!window) return false;
        shown = window->Memo1->Text();
        SaveScreenshot(wnd);
        return true;
      })
      .Press("&Save As")
      .Press("&Help")
      .Press("&Close");
  form->ActionDirInfo->Execute();
  ASSERT_TRUE(modal.Finish());
  EXPECT_EQ(Sent(), kRelist);
  EXPECT_TRUE(shown == big) << shown.size() << " of " << big.size() << " bytes";
  String file = ReadFileBytes(saved);
  EXPECT_TRUE(file == big) << file.size() << " of " << big.size() << " bytes";
  ASSERT_EQ(dialogs.Dialogs.SaveDialogs.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.SaveDialogs[0].Filter, "Text Files (*.txt)|*.txt");
  ASSERT_EQ(dialogs.Dialogs.HelpCalls.size(), 1u);
  EXPECT_NE(dialogs.Dialogs.HelpCalls[0].find("IDH_dir_info"), String::npos) << dialogs.Dialogs.HelpCalls[0];
  // The lists fill while the window shows (the server may have let the
  // connection go by then: the window stays open as long as the user likes).
  ASSERT_TRUE(WaitUntil([&] { return !child->ListingPending(); }, 30000));
  EXPECT_EQ(child->RemoteFiles->Items()->Count(), kBigRows);
}

// ---------------------------------------------------------------- resume

TEST_F(ChildRemote, ResumeSendsOrFetchesOnlyTheMissingBytes) {
  String bytes;
  for (int i = 0; i < 4000; ++i) bytes += static_cast<char>('a' + i % 26);
  struct Row {
    const char* Name;
    bool Upload;
    int Remote;  // bytes of the server's copy (-1: none)
    int Local;   // bytes of the local copy (-1: none)
    std::vector<String> Sent;
    bool Resumed;  // the armed file is spent
  } rows[] = {
      {"upload the rest", true, 1000, 4000,
       Concat({"TYPE I", "SIZE r.bin", "PASV", "REST 1000", "STOR r.bin"}, kRelist), true},
      {"upload, the server has it all", true, 4000, 4000, {"TYPE I", "SIZE r.bin"}, false},
      {"download the rest", false, 500, 300, {"TYPE I", "SIZE r.bin", "PASV", "REST 300", "RETR r.bin"}, true},
      {"download, nothing local", false, 500, -1, {"TYPE I", "SIZE r.bin", "PASV", "RETR r.bin"}, true},
      {"download, the local copy is whole", false, 500, 500, {"TYPE I", "SIZE r.bin"}, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Name);
    TFtpScript script;
    script.Listing = UnixLine("r.bin", r.Remote);
    if (r.Remote >= 0) script.Files["r.bin"] = bytes.substr(0, static_cast<size_t>(r.Remote));
    const String path = local + "\\r.bin";
    DeleteFileA(path.c_str());
    if (r.Local >= 0) WriteFileBytes(path, bytes.substr(0, static_cast<size_t>(r.Local)));
    TFormMdi* child = Connect(script);
    ASSERT_NE(child, nullptr);
    if (r.Upload) {
      child->ResumeUpload(path);
    } else {
      SelectFiles(child, {"r.bin"});
      child->ResumeDownload();
    }
    ASSERT_TRUE(WaitIdle(child));
    EXPECT_EQ(Sent(), r.Sent);
    EXPECT_EQ(child->ResumeOffset, 0);
    EXPECT_EQ(child->ResumeFile.empty(), r.Resumed);
    if (!r.Resumed) EXPECT_EQ(LogLinesStarting(child, "Nothing to resume").size(), 1u);
    if (r.Upload && r.Resumed) EXPECT_TRUE(server_->Stored()["r.bin"] == bytes.substr(1000));
    if (!r.Upload) EXPECT_TRUE(ReadFileBytes(path) == bytes.substr(0, static_cast<size_t>(std::max(r.Remote, r.Local))));
    CloseChildren();
  }
}

TEST_F(ChildRemote, ResumeRefusesAsciiAndAnythingButOneFile) {
  TFtpScript script;
  script.Listing = StandardListing();
  script.Files["a.txt"] = "a";
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  const String path = local + "\\up.txt";
  WriteFileBytes(path, "up");
  // Two selected files, then none.
  SelectFiles(child, {"a.txt", "b.txt"});
  child->ResumeDownload();
  SelectFiles(child, {"zzz"});
  child->ResumeDownload();
  // Text mode: byte offsets of converted text do not match.
  child->ComboMode->SetItemIndex(1);
  child->ResumeUpload(path);
  SelectFiles(child, {"a.txt"});
  child->ResumeDownload();
  EXPECT_EQ(BoxCaptions(), (std::vector<String>{"Resume Download Error", "Resume Download Error", "Resume Error",
                                                "Resume Error"}));
  EXPECT_TRUE(Sent().empty());
  EXPECT_FALSE(child->Busy());
}
