// The main window in process: its frame, actions and bars, the connection
// windows and their tabs (faked), the status bar, the connection check over
// the fake rasapi32, the boxes and the exception hook, the quick-connect
// names, and the settings it reads and writes, under a title of its own.
#include "application/frame/Main.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "Fakeras.h"
#include "application/connections/Chmod.h"
#include "application/connections/Stos.h"
#include "application/frame/About.h"
#include "application/frame/Permissioneditor.h"
#include "application/frame/Stoswindow.h"
#include "application/tools/Tools.h"
#include "application/tools/Dnsqry.h"
#include "application/frame/Dialer.h"
#include "application/frame/Login.h"
#include "application/frame/Rasdlr.h"
#include "bars/Dxbarcontrols.h"
#include "bars/Heldframes.h"
#include "bars/customize/Dxbarcustform.h"
#include "application/frame/Regdataunit.h"
#include "resources/Frameimages.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Peers.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// A connection window as the frame sees it: an MDI child whose close query
// tells its host it is going and whose close frees it.
class TFakeChild : public TForm, public TConnectionWindow {
 public:
  TFakeChild(TComponent* owner, TConnectionHost* host) : TForm(owner), host_(host) {
    SetFormStyle(fsMDIChild);
    SetBounds(0, 0, 300, 200);
    OnCloseQuery = [this](TObject*, bool& canClose) {
      ++CloseQueries;
      host_->ChildGoing(this);
      canClose = true;
    };
    OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
    EndLoading();
    Live.insert(this);
  }
  ~TFakeChild() override { Live.erase(this); }
  TCustomForm* Window() override { return this; }
  bool Connected() override { return IsConnected; }
  int SelectedDirCount() override { return Dirs; }
  int SelectedFileCount() override { return Files; }
  void SetProfileName(const String& name) override { ProfileName = name; }
  void Connect() override { Connects.push_back(ProfileName); }
  String CurrentDirectory() override { return Dir; }
  String SelectedDirName() override { return DirName; }
  String SelectedDirPermissions() override { return DirPermissions; }
  String SelectedFilePermissions() override { return FilePermissions; }
  void ChangeDir(const String& dir) override { Called("ChangeDir " + dir); }
  void MakeDir(const String& name) override { Called("MakeDir " + name); }
  void RenameDir(const String& name) override { Called("RenameDir " + name); }
  void RemoveDir(const String& name) override { Called("RemoveDir " + name); }
  void DeleteSelected() override { Called("DeleteSelected"); }
  void RenameSelectedFile() override { Called("RenameSelectedFile"); }
  void RefreshRemote() override { Called("RefreshRemote"); }
  void ChmodFiles(const String& mode, bool quote) override { Called("ChmodFiles " + mode + (quote ? " quote" : "")); }
  void ChmodDir(const String& mode, bool quote) override { Called("ChmodDir " + mode + (quote ? " quote" : "")); }
  void HoldIdleCount(bool hold) override { Held += hold ? 1 : -1; }
  void SetViewStyle(TViewStyle style) override { Styles.push_back(style); }
  const TStrings* LogLineList() override { return &Log; }

  // Each operation called, with the count of holds open at the call.
  void Called(const String& what) { Calls.push_back(what + (Held != 0 ? " (held)" : "")); }

  bool IsConnected = false;
  String Dir, DirName, DirPermissions, FilePermissions;
  std::vector<String> Calls;
  int Held = 0;
  int Dirs = 0, Files = 0;
  String ProfileName;
  std::vector<String> Connects;
  int CloseQueries = 0;
  std::vector<TViewStyle> Styles;
  TStringList Log;
  static std::set<TFakeChild*> Live;

 private:
  TConnectionHost* host_;
};
std::set<TFakeChild*> TFakeChild::Live;

TConnectionWindow* MakeFakeChild(TComponent* owner, TConnectionHost* host) { return new TFakeChild(owner, host); }
TConnectionWindow* FailToMakeChild(TComponent*, TConnectionHost*) { throw Exception("the window could not be made"); }

// What Settings and FormMain hold under the test's title.
std::map<String, String> Stored(const String& section) {
  std::map<String, String> values;
  TRegistry r;
  if (!r.OpenKeyReadOnly(TReg::GetKeyPath() + section)) return values;
  TStringList names;
  r.GetValueNames(&names);
  for (int i = 0; i < names.Count(); ++i) {
    String n = names[i];
    values[n] = r.GetDataType(n) == rdInteger ? IntToStr(r.ReadInteger(n)) : r.ReadString(n);
  }
  return values;
}

const char kThreeProfiles[] =
    "[Charlie]\r\nHostName=c.example\r\n\r\n"
    "[Alpha]\r\nHostName=a.example\r\n\r\n"
    "[bravo]\r\nHostName=b.example\r\n\r\n";

class MainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedTitle_ = Application->Title;
    Application->Title = "NembraTest-main-" + IntToStr(GetCurrentProcessId());
    TRegistry r;
    r.DeleteKey(TReg::GetKeyPath());
    dir = MakeTempFolder("main");
    profiles = dir + "\\accounts.dat";
    previousFactory_ = SetConnectionWindowFactory(&MakeFakeChild);
    previousTools_ = SetToolWindowOpener(&ShowToolWindow);
  }
  void TearDown() override {
    if (form) {
      form->CloseAllChildren();
      form.reset();
    }
    PumpFor(50);
    EXPECT_TRUE(TFakeChild::Live.empty()) << "a connection window outlived the frame";
    TFakeChild::Live.clear();
    EXPECT_EQ(FormMdi, nullptr);
    SetConnectionWindowFactory(previousFactory_);
    SetToolWindowOpener(previousTools_);
    TRegistry r;
    r.DeleteKey(TReg::GetKeyPath());
    Application->Title = savedTitle_;
  }

  void Put(const String& name, int value) { TReg::WriteInteger(SettingsSection, name, value); }
  void Put(const String& name, const String& value) { TReg::WriteString(SettingsSection, name, value); }
  // A normal placement, so that sizes can be set.
  void PutNormalPlacement(int width = 800, int height = 600) {
    TReg::WriteBool("FormMain", "MaxState", false);
    TReg::WriteInteger("FormMain", "Left", 20);
    TReg::WriteInteger("FormMain", "Top", 20);
    TReg::WriteInteger("FormMain", "Width", width);
    TReg::WriteInteger("FormMain", "Height", height);
  }

  void Make() { form.reset(new TFormMain(Application, profiles)); }
  void Open() {
    if (!form) Make();
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
  }
  TFakeChild* OpenChild(const String& profile) {
    form->OpenConnection(profile);
    return dynamic_cast<TFakeChild*>(FormMdi);
  }
  std::vector<String> Tabs() const {
    std::vector<String> t;
    for (int i = 0; i < form->TabCon->Tabs()->Count(); ++i) t.push_back(form->TabCon->Tabs()->Get(i));
    return t;
  }
  TFakeChild* Active() const { return dynamic_cast<TFakeChild*>(form->ActiveMDIChild()); }
  TFakeChild* CurrentTabChild() const {
    int i = form->TabCon->TabIndex();
    return i < 0 ? nullptr : dynamic_cast<TFakeChild*>(form->TabCon->Tabs()->Objects(i));
  }
  // Pumps until every closed window has been freed.
  bool WaitLive(size_t n) {
    return WaitUntil([&] { return TFakeChild::Live.size() == n; });
  }
  // The names of the enabled actions of the list.
  std::set<String> Enabled() const {
    std::set<String> names;
    for (int i = 0; i < form->ActionList1->ActionCount(); ++i) {
      auto* a = dynamic_cast<TAction*>(form->ActionList1->Actions(i));
      if (a->Enabled()) names.insert(a->Name().substr(6));
    }
    return names;
  }

  String dir, profiles;
  TOwned<TFormMain> form;
  TScopedDialogs dialogs;
  TdxBarExtItemsUnit bars;

 private:
  String savedTitle_;
  TConnectionWindowFactory previousFactory_ = nullptr;
  TToolWindowOpener previousTools_ = nullptr;
};

// The actions never disabled.
const std::set<String> kAlways = {"New",     "Exit",         "Preferences", "NewProfile",  "Profiles",
                                  "ListView", "DetailView",  "LgIconView",  "SmIconView",  "Toolbars",
                                  "NewLocalDir", "RefreshLocal", "StoS",    "DNS",         "Ping",
                                  "UrlInfo", "Finger",       "Lookup",      "Dialer",      "About",
                                  "Qmark",   "HelpDefault",  "HelpContents", "HelpIndex"};
const std::set<String> kConnected = {"UpDir", "ChangeDir", "MkdDir", "RefreshRemote", "BatchUpload", "SaveLog",
                                     "DirInfo", "Quote", "CWD", "CDUP", "PWD", "HELP", "SYST", "SITE", "LIST",
                                     "NLST", "STOR", "RETR", "STAT", "SIZE", "QUIT"};

// The commands not built yet: disabled whatever the rules say.
const std::set<String> kUnbuilt = {"BatchUpload", "BatchDownload", "BatchDelete", "Quote", "CWD", "CDUP", "PWD", "HELP", "SYST", "SITE", "LIST", "NLST", "STOR",
                                   "RETR", "STAT", "SIZE", "QUIT"};

// The enabled actions: these, less the commands not built yet.
std::set<String> Plus(std::set<String> a, std::initializer_list<std::set<String>> more) {
  for (const auto& s : more) a.insert(s.begin(), s.end());
  for (const String& n : kUnbuilt) a.erase(n);
  return a;
}

}  // namespace

// ---------------------------------------------------------------- the form

TEST_F(MainTest, FrameAsDesigned) {
  Open();
  HWND wnd = form->Handle();
  SaveScreenshot(wnd);
  EXPECT_EQ(WindowText(wnd), "Nembra 3");
  EXPECT_EQ(WindowClass(wnd), "TFormMain");
  EXPECT_NE(form->ClientHandle(), nullptr);
  // No stored placement: maximised.
  EXPECT_TRUE(IsZoomed(wnd));
  MINMAXINFO mm{};
  SendMessageA(wnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm));
  EXPECT_EQ(mm.ptMinTrackSize.x, 620);
  EXPECT_EQ(mm.ptMinTrackSize.y, 440);

  // The local pane with its defaults, the splitters, the hidden tabs.
  EXPECT_EQ(form->PMain->Height(), 120);
  EXPECT_EQ(form->PTree->Width(), 160);
  EXPECT_EQ(form->SplitE->MinSize(), 150);
  EXPECT_EQ(form->SplitMain->MinSize(), 90);
  EXPECT_EQ(form->SplitMain->Top(), form->PMain->Top() + form->PMain->Height());
  EXPECT_FALSE(form->TabCon->Visible());
  EXPECT_EQ(form->TabCon->TabHeight(), 19);
  EXPECT_EQ(form->TabCon->TabPosition(), tpBottom);
  EXPECT_TRUE(form->TabCon->HotTrack());
  // The work area lies between the splitter and the status bar.
  RECT work;
  GetWindowRect(form->ClientHandle(), &work);
  MapWindowPoints(nullptr, wnd, reinterpret_cast<POINT*>(&work), 2);
  EXPECT_EQ(work.top, form->SplitMain->Top() + form->SplitMain->Height());
  EXPECT_EQ(work.bottom, form->Stat1->Top());

  ASSERT_EQ(form->Stat1->Panels()->Count(), 3);
  EXPECT_EQ(form->Stat1->Panels()->Items(0)->Text(), " Quellmark \xAE");
  EXPECT_EQ(form->Stat1->Panels()->Items(0)->Width(), 100);
  EXPECT_EQ(form->SmallImages(), form->Imgsmall);
  EXPECT_EQ(form->Imgsmall->Count(), siCount);
  EXPECT_EQ(form->Imagebars->Count(), bgCount);
  EXPECT_EQ(form->HelpPath(), ExtractFilePath(Application->ExeName()) + "nembra3.hlp");
  EXPECT_EQ(FrameServices(), form.get());
}

TEST_F(MainTest, TheLocalPaneShowsTheLastFolder) {
  String folder = MakeTempFolder("lastdir");
  WriteFileBytes(folder + "\\one.txt", "1");
  WriteFileBytes(folder + "\\two.log", "22");
  ForceDirectories(folder + "\\inner");
  Put("LastDir", folder);
  PutNormalPlacement(800, 600);
  Open();
  auto names = [&] {
    std::set<String> n;
    for (int i = 0; i < form->LocList->Items()->Count(); ++i) n.insert(form->LocList->GetShListData(i)->GetDisplayName());
    return n;
  };
  const std::set<String> wanted = {"one.txt", "two.log", "inner"};
  ASSERT_TRUE(WaitUntil([&] { return names() == wanted; })) << form->LocList->Items()->Count();
  EXPECT_TRUE(SameText(form->LocTree->GetSelectedPathName(), folder));
  // The options and styles of the design.
  EXPECT_EQ(form->LocTree->ShellList(), form->LocList);
  EXPECT_EQ(form->LocTree->Options(), (TPTShellTreeOptions{ptstoAutoFill, ptstoDefaultKeyHandling, ptstoContextMenus,
                                                           ptstoDynamicRefresh, ptstoShowHidden}));
  EXPECT_EQ(form->LocList->Options(),
            (TPTShellListOptions{ptsloAutoFill, ptsloNonFilesystemAncestors, ptsloDefaultKeyHandling, ptsloContextMenus,
                                 ptsloDynamicRefresh, ptsloFolderContextMenu, ptsloShowHidden}));
  EXPECT_EQ(form->LocTree->DragMode(), dmAutomatic);
  EXPECT_EQ(form->LocList->DragMode(), dmAutomatic);
  EXPECT_EQ(form->LocList->ViewStyle(), vsReport);
  EXPECT_TRUE(form->LocList->MultiSelect());
  EXPECT_TRUE(IsWindowVisible(form->LocTree->Handle()));
  EXPECT_TRUE(IsWindowVisible(form->LocList->Handle()));
  EXPECT_EQ(form->LocTree->Parent(), form->PTree);
  EXPECT_EQ(form->LocList->Parent(), form->PList);

  form->LocList->SelectAll();
  EXPECT_EQ(form->LocList->ShellSelCount(), 3);
  PumpFor(200);
  SaveScreenshot(form->Handle());
}

TEST_F(MainTest, TheBarsWithTheProfileNamesAboveTheLocalFolder) {
  WriteFileBytes(profiles, kThreeProfiles);
  Put("LastShortcut", 1);
  String folder = MakeTempFolder("barsdir");
  WriteFileBytes(folder + "\\readme.txt", "1");
  Put("LastDir", folder);
  PutNormalPlacement(800, 600);
  Open();
  ASSERT_TRUE(WaitUntil([&] { return form->LocList->Items()->Count() == 1; }));
  // The nine bars shown in the top dock, the menu above the toolbars; the
  // dock as high as their two rows.
  TdxBarManager* m = form->Bar1;
  int menuRow = m->MainMenuBar()->Control()->Height();
  int toolRow = m->BarByCaption("Quick Connect")->Control()->Height();
  EXPECT_EQ(m->DockControlHeights(), (std::array<int, 4>{0, 0, menuRow + toolRow, 0})) << menuRow << "+" << toolRow;
  for (int i = 0; i < m->Bars()->Count(); ++i) {
    TdxBar* bar = m->Bars()->Items(i);
    EXPECT_EQ(bar->DockingStyle(), dsTop) << bar->Caption();
    ASSERT_NE(bar->Control(), nullptr) << bar->Caption();
    EXPECT_TRUE(IsWindowVisible(bar->Control()->Handle())) << bar->Caption();
  }
  // The quick-connect combo shows the chosen name; a click drops the
  // list of all of them.
  TdxBar* quick = m->BarByCaption("Quick Connect");
  TdxBarItemLink* link = quick->ItemLinks()->Items(0);
  ASSERT_EQ(link->Item(), form->ComboQuick);
  EXPECT_EQ(form->ComboQuick->Text(), "bravo");
  TRect r = link->ItemRect();
  ASSERT_TRUE(Click(quick->Control()->Handle(), POINT{r.left + 30, (r.top + r.bottom) / 2}));
  auto listShown = [&] {
    TWinControl* list = form->ComboQuick->ListBox();
    return list->HandleAllocated() && IsWindowVisible(list->Handle());
  };
  ASSERT_TRUE(WaitUntil(listShown, 2000));
  EXPECT_EQ(SendMessageA(form->ComboQuick->ListBox()->Handle(), LB_GETCOUNT, 0, 0), 3);
  SaveScreenshot(form->Handle(), "names");
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  EXPECT_FALSE(listShown());
  EXPECT_EQ(form->ComboQuick->ItemIndex(), 1);
  SaveScreenshot(form->Handle());
}

TEST_F(MainTest, AMenuOpenedByTheKeyboardUnfoldsAndEndsAtItsBoundsPainted) {
  PutNormalPlacement(800, 600);
  Open();
  ASSERT_TRUE(BringToFront(form->Handle()));
  TdxBarManager* m = form->Bar1;
  auto* sub = dynamic_cast<TdxBarSubItem*>(form->FindComponent("SubConnections"));
  ASSERT_NE(sub, nullptr);
  auto menu = [&] { return dynamic_cast<TdxBarSubMenuControl*>(sub->ItemLinks()->BarControl()); };
  auto shown = [&] { return menu() && menu()->HandleAllocated() && IsWindowVisible(menu()->Handle()); };
  // Where and how the menu stands without the animation.
  m->SetMenuAnimations(maNone);
  ASSERT_TRUE(KeyChord({VK_MENU, 'C'}));
  ASSERT_TRUE(WaitUntil(shown, 2000));
  TRect bounds = menu()->GetWindowRect();
  TDibSurface still = CaptureWindow(menu()->Handle());
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitUntil([&] { return ActiveBarControl() == nullptr; }, 2000));
  // As the program has it: unfolding.
  m->SetMenuAnimations(maUnfold);
  THeldFrames frames;
  ASSERT_TRUE(KeyChord({VK_MENU, 'C'}));
  ASSERT_TRUE(WaitUntil([&] { return shown() && !dxBarMenuAnimating(); }, 3000));
  EXPECT_EQ(frames.Kinds, std::vector<TdxBarMenuAnimations>({maUnfold}));
  EXPECT_GT(frames.Count, 3);
  EXPECT_EQ(menu()->GetWindowRect(), bounds);
  TDibSurface unfolded = CaptureWindow(menu()->Handle());
  SaveScreenshot(form->Handle(), "unfolded");
  ASSERT_EQ(unfolded.Width(), still.Width());
  ASSERT_EQ(unfolded.Height(), still.Height());
  int differing = 0;
  for (int y = 0; y < still.Height(); ++y)
    for (int x = 0; x < still.Width(); ++x) differing += still.Pixel(x, y) != unfolded.Pixel(x, y);
  EXPECT_EQ(differing, 0);
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
}

TEST_F(MainTest, StoredSizesOfThePane) {
  // Stored sizes are used; sizes not above 0 fall back to the defaults.
  struct Row {
    int listSize, dirSize, height, width;
  } rows[] = {{200, 250, 200, 250}, {0, -5, 120, 160}};
  for (const Row& r : rows) {
    Put("LocalListSize", r.listSize);
    Put("LocalDirSize", r.dirSize);
    PutNormalPlacement();
    Open();
    EXPECT_EQ(form->PMain->Height(), r.height) << r.listSize;
    EXPECT_EQ(form->PTree->Width(), r.width) << r.dirSize;
    EXPECT_FALSE(IsZoomed(form->Handle()));
    form.reset();
  }
}

TEST_F(MainTest, StatusPanelsShareTheWidthLeftOfTheFirst) {
  PutNormalPlacement();
  Open();
  for (auto [barWidth, panelWidth] : {std::pair{613, 256}, {614, 257}, {900, 400}}) {
    int frame = form->Width() - form->ClientWidth();
    form->SetWidth(barWidth + frame);
    ASSERT_EQ(form->Stat1->Width(), barWidth);
    EXPECT_EQ(form->Stat1->Panels()->Items(1)->Width(), panelWidth) << barWidth;
    EXPECT_EQ(form->Stat1->Panels()->Items(2)->Width(), panelWidth) << barWidth;
  }
}

TEST_F(MainTest, ActionsAndBars) {
  Make();
  ASSERT_EQ(form->ActionList1->ActionCount(), 59);
  EXPECT_EQ(form->ActionList1->Images(), form->Imagebars);
  std::map<String, int> perCategory;
  for (int i = 0; i < form->ActionList1->ActionCount(); ++i) {
    auto* a = dynamic_cast<TAction*>(form->ActionList1->Actions(i));
    ASSERT_NE(a, nullptr);
    ++perCategory[a->Category()];
    EXPECT_EQ(a->ImageIndex(), ActionImageIndex(a->Name().c_str())) << a->Name();
    EXPECT_FALSE(a->Caption().empty()) << a->Name();
    EXPECT_FALSE(a->Hint().empty()) << a->Name();
    EXPECT_EQ(a->Checked(), a == form->ActionDetailView) << a->Name();
    EXPECT_EQ(a->ShortCut(), a == form->ActionHelpDefault ? ShortCut(VK_F1, {}) : 0) << a->Name();
  }
  EXPECT_EQ(perCategory, (std::map<String, int>{{"Connections", 7},
                                                 {"View", 5},
                                                 {"Directories", 8},
                                                 {"Files", 6},
                                                 {"Batch", 3},
                                                 {"Utilities", 25},
                                                 {"Help", 5}}));
  EXPECT_EQ(form->ActionChmodDir->Caption(), "Directory Permissions (Unix)...");
  EXPECT_EQ(form->ActionChmodDir->Hint(), "Directory Permissions (Unix)");
  EXPECT_EQ(form->ActionQuote->Caption(), "QUOTE");

  // The bars: nine, every button bound to its action, the view buttons a
  // check group, the layout's key, the help button's topic.
  TdxBarManager* m = form->Bar1;
  ASSERT_NE(m, nullptr);
  std::vector<String> captions;
  for (int i = 0; i < m->Bars()->Count(); ++i) captions.push_back(m->Bars()->Items(i)->Caption());
  EXPECT_EQ(captions, (std::vector<String>{"Main Menu", "Quick Connect", "Connections", "Directories", "Files",
                                           "Batch", "Utilities", "Help", "View"}));
  EXPECT_EQ(m->MainMenuBar(), m->BarByCaption("Main Menu"));
  EXPECT_EQ(m->RegistryPath(), "\\Software\\Quellmark\\Nembra3\\Toolbars");
  EXPECT_TRUE(m->StoreInRegistry());
  EXPECT_EQ(m->MenuAnimations(), maUnfold);
  for (int i = 0; i < form->ActionList1->ActionCount(); ++i) {
    TContainedAction* a = form->ActionList1->Actions(i);
    auto* b = dynamic_cast<TdxBarButton*>(form->FindComponent("Button" + a->Name().substr(6)));
    ASSERT_NE(b, nullptr) << a->Name();
    EXPECT_EQ(b->Action(), a);
    bool view = a == form->ActionListView || a == form->ActionDetailView || a == form->ActionLgIconView ||
                a == form->ActionSmIconView;
    EXPECT_EQ(b->GroupIndex(), view ? 10 : 0) << a->Name();
  }
  // A menu with its separators.
  auto* files = dynamic_cast<TdxBarSubItem*>(form->FindComponent("SubFiles"));
  ASSERT_NE(files, nullptr);
  std::vector<String> items;
  for (int i = 0; i < files->ItemLinks()->Count(); ++i) {
    TdxBarItemLink* l = files->ItemLinks()->Items(i);
    items.push_back(String(l->BeginGroup() ? "|" : "") + l->Item()->Caption());
  }
  EXPECT_EQ(items, (std::vector<String>{"Upload File(s)", "Resume Upload", "|Download File(s)", "Resume Download",
                                        "|Delete Remote File(s)...", "Rename Remote File..."}));

  m->DoHelpButtonClick();
  ASSERT_EQ(dialogs.Dialogs.HelpCalls.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.HelpCalls[0], form->HelpPath() + "|" + IntToStr(HELP_COMMAND) + "|JI(`',`IDH_toolbars')");
}

// ---------------------------------------------------------------- action states

TEST_F(MainTest, ActionStatesTable) {
  Make();
  struct Row {
    const char* what;
    TActionInputs in;
    std::set<String> enabled;  // beyond kAlways
  } rows[] = {
      {"nothing", {0, false, false, 0, 0, 0}, {}},
      {"names only", {3, false, false, 5, 5, 5}, {"QuickCon"}},
      {"a child, not connected", {0, true, false, 2, 2, 1}, {"CloseActive"}},
      {"connected", {0, true, true, 0, 0, 0}, Plus({"CloseActive"}, {kConnected})},
      {"a directory", {0, true, true, 1, 0, 0},
       Plus({"CloseActive", "RenameDir", "RemoveDir", "BatchDownload", "BatchDelete", "ChmodDir"}, {kConnected})},
      {"one file", {0, true, true, 0, 1, 0},
       Plus({"CloseActive", "DownloadFile", "DeleteRemote", "RenameRemoteFile", "ResumeDown", "Chmod"},
            {kConnected})},
      {"two files", {0, true, true, 0, 2, 0},
       Plus({"CloseActive", "DownloadFile", "DeleteRemote", "Chmod"}, {kConnected})},
      {"one local", {0, true, true, 0, 0, 1}, Plus({"CloseActive", "UploadFile", "ResumeUp"}, {kConnected})},
      {"two local", {1, true, true, 0, 0, 2}, Plus({"QuickCon", "CloseActive", "UploadFile"}, {kConnected})},
  };
  for (const Row& r : rows) {
    form->SetActionStates(r.in);
    EXPECT_EQ(Enabled(), Plus(r.enabled, {kAlways})) << r.what;
  }
}

TEST_F(MainTest, ActionStatesFollowTheActiveChild) {
  WriteFileBytes(profiles, kThreeProfiles);
  Open();
  // No child: only Quick Connect of the connection rules, while names exist.
  EXPECT_EQ(Enabled(), Plus({"QuickCon"}, {kAlways}));
  TFakeChild* a = OpenChild("a");
  a->IsConnected = true;
  a->Files = 1;
  TFakeChild* b = OpenChild("b");
  EXPECT_EQ(Enabled(), Plus({"QuickCon", "CloseActive"}, {kAlways}));
  form->TabCon->SetTabIndex(0);
  form->TabConChange(form->TabCon);
  EXPECT_EQ(Active(), a);
  EXPECT_EQ(Enabled(), Plus({"QuickCon", "CloseActive", "DownloadFile", "DeleteRemote", "RenameRemoteFile",
                             "ResumeDown", "Chmod"},
                            {kConnected, kAlways}));
  (void)b;
}

// ---------------------------------------------------------------- children and tabs

TEST_F(MainTest, OpeningAWindowTabsItAndConnects) {
  Open();
  TFakeChild* a = OpenChild("Alpha");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Caption(), "Alpha");
  EXPECT_EQ(a->Connects, std::vector<String>{"Alpha"});
  EXPECT_EQ(Tabs(), std::vector<String>{"Alpha"});
  EXPECT_TRUE(form->TabCon->Visible());
  EXPECT_EQ(Active(), a);
  EXPECT_TRUE(IsZoomed(a->Handle()));
  TFakeChild* b = OpenChild("bravo");
  EXPECT_EQ(Tabs(), (std::vector<String>{"Alpha", "bravo"}));
  EXPECT_EQ(form->TabCon->TabIndex(), 1);
  EXPECT_EQ(Active(), b);
  EXPECT_EQ(FormMdi, b);
  SaveScreenshot(form->Handle());

  b->SetCaption("ftp.bravo.example");
  form->RenameChildTab(b);
  EXPECT_EQ(Tabs(), (std::vector<String>{"Alpha", "ftp.bravo.example"}));
}

TEST_F(MainTest, ClosingTheMiddleWindowMakesTheLastTabCurrent) {
  Open();
  TFakeChild* a = OpenChild("a");
  TFakeChild* b = OpenChild("b");
  TFakeChild* c = OpenChild("c");
  form->TabCon->SetTabIndex(1);
  form->TabConChange(form->TabCon);
  ASSERT_EQ(Active(), b);
  b->Close();
  EXPECT_EQ(b->CloseQueries, 2);  // its own close, and the one RemoveChildTab made
  EXPECT_EQ(Tabs(), (std::vector<String>{"a", "c"}));
  EXPECT_EQ(form->TabCon->TabIndex(), 1);
  EXPECT_EQ(CurrentTabChild(), c);
  ASSERT_TRUE(WaitLive(2));
  EXPECT_EQ(Active(), c);
  EXPECT_EQ(TFakeChild::Live, (std::set<TFakeChild*>{a, c}));
  EXPECT_EQ(FormMdi, c);

  // The window made last goes: FormMdi goes with it.
  c->Close();
  ASSERT_TRUE(WaitLive(1));
  EXPECT_EQ(FormMdi, nullptr);
  EXPECT_EQ(Tabs(), std::vector<String>{"a"});
  EXPECT_EQ(Active(), a);
}

TEST_F(MainTest, CloseAllChildrenAndTheCloseActiveAction) {
  Open();
  for (const char* n : {"a", "b", "c"}) OpenChild(n);
  form->ActionCloseActive->Execute();
  EXPECT_EQ(Tabs(), (std::vector<String>{"a", "b"}));
  ASSERT_TRUE(WaitLive(2));
  form->CloseAllChildren();
  EXPECT_TRUE(Tabs().empty());
  EXPECT_FALSE(form->TabCon->Visible());
  ASSERT_TRUE(WaitLive(0));
  // Closing the frame closes them too.
  for (const char* n : {"d", "e", "f"}) OpenChild(n);
  form->Close();
  EXPECT_TRUE(Tabs().empty());
  EXPECT_FALSE(form->TabCon->Visible());
  EXPECT_TRUE(WaitLive(0));
}

TEST_F(MainTest, TabFollowsTheActiveWindow) {
  Open();
  TFakeChild* a = OpenChild("a");
  TFakeChild* b = OpenChild("b");
  TFakeChild* c = OpenChild("c");
  // What Ctrl+F6 and the window menu do: the client activates another child.
  for (TFakeChild* next : {a, b, c}) {
    SendMessageA(form->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(next->Handle()), 0);
    EXPECT_EQ(Active(), next);
    EXPECT_EQ(CurrentTabChild(), next);
  }
  form->Next();
  EXPECT_EQ(CurrentTabChild(), Active());
}

TEST_F(MainTest, StatusTextOnlyFromTheActiveWindow) {
  Open();
  TFakeChild* a = OpenChild("a");
  TFakeChild* b = OpenChild("b");
  ASSERT_EQ(Active(), b);
  TStatusPanels* p = form->Stat1->Panels();
  form->SetStatusText(b, 1, "Connected");
  form->SetStatusText(b, 2, "Idle");
  form->SetStatusText(b, 0, "B");
  EXPECT_EQ(p->Items(0)->Text(), "B");
  EXPECT_EQ(p->Items(1)->Text(), "Connected");
  EXPECT_EQ(p->Items(2)->Text(), "Idle");
  // An inactive window, a panel that does not exist, no window: nothing.
  form->SetStatusText(a, 1, "from a");
  form->SetStatusText(b, 3, "panel 3");
  form->SetStatusText(b, -1, "panel -1");
  form->SetStatusText(nullptr, 1, "nobody");
  EXPECT_EQ(p->Items(0)->Text(), "B");
  EXPECT_EQ(p->Items(1)->Text(), "Connected");
  EXPECT_EQ(p->Items(2)->Text(), "Idle");
}

TEST_F(MainTest, AWindowThatCannotBeMadeLeavesNoTabAndDrawingUnlocked) {
  Open();
  TFakeChild* a = OpenChild("a");
  SetConnectionWindowFactory(&FailToMakeChild);
  EXPECT_THROW(form->OpenConnection("b"), Exception);
  EXPECT_EQ(Tabs(), std::vector<String>{"a"});
  EXPECT_EQ(FormMdi, a);
  // Only one window can be locked at a time: another lock takes.
  EXPECT_TRUE(LockWindowUpdate(form->Stat1->Handle()));
  LockWindowUpdate(nullptr);
  SetConnectionWindowFactory(&MakeFakeChild);
  form->CloseAllChildren();
  SetConnectionWindowFactory(&FailToMakeChild);
  EXPECT_THROW(form->OpenConnection("c"), Exception);
  EXPECT_FALSE(form->TabCon->Visible());
  EXPECT_TRUE(LockWindowUpdate(form->Stat1->Handle()));
  LockWindowUpdate(nullptr);
  SetConnectionWindowFactory(&MakeFakeChild);
}

// ---------------------------------------------------------------- quick connect

TEST_F(MainTest, QuickConnectNamesSortedAndTheLastOneSelected) {
  WriteFileBytes(profiles, kThreeProfiles);
  struct Row {
    int lastShortcut;
    int index;
    const char* text;
  } rows[] = {{1, 1, "bravo"}, {0, 0, "Alpha"}, {99, -1, ""}, {-1, -1, ""}};
  for (const Row& r : rows) {
    Put("LastShortcut", r.lastShortcut);
    Make();
    ASSERT_EQ(form->QuickConnectCount(), 3);
    std::vector<String> names;
    for (int i = 0; i < 3; ++i) {
      form->SetQuickConnectIndex(i);
      names.push_back(form->QuickConnectText());
    }
    EXPECT_EQ(names, (std::vector<String>{"Alpha", "bravo", "Charlie"}));
    form.reset();
    Make();
    EXPECT_EQ(form->QuickConnectIndex(), r.index) << r.lastShortcut;
    EXPECT_EQ(form->QuickConnectText(), r.text) << r.lastShortcut;
    form.reset();
  }
}

TEST_F(MainTest, RefreshReadsAChangedProfileFile) {
  WriteFileBytes(profiles, kThreeProfiles);
  Put("LastShortcut", 2);
  Open();
  ASSERT_EQ(form->QuickConnectText(), "Charlie");
  WriteFileBytes(profiles, String("[Aaron]\r\nHostName=x\r\n\r\n") + kThreeProfiles);
  form->RefreshProfileList();
  EXPECT_EQ(form->QuickConnectCount(), 4);
  EXPECT_EQ(form->QuickConnectText(), "Charlie");  // the chosen name stays chosen
  EXPECT_EQ(form->QuickConnectIndex(), 3);
  WriteFileBytes(profiles, "");
  form->RefreshProfileList();
  EXPECT_EQ(form->QuickConnectCount(), 0);
  EXPECT_EQ(form->QuickConnectIndex(), -1);
  form->UpdateActionStates();
  EXPECT_FALSE(form->ActionQuickCon->Enabled());
}

TEST_F(MainTest, QuickConnectOpensTheChosenProfile) {
  WriteFileBytes(profiles, kThreeProfiles);
  Put("LastShortcut", 1);
  Put("Lanline", 1);
  Open();
  form->ActionQuickCon->Execute();
  auto* child = dynamic_cast<TFakeChild*>(FormMdi);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->Connects, std::vector<String>{"bravo"});
  EXPECT_EQ(Tabs(), std::vector<String>{"bravo"});
  // Nothing chosen: nothing opens.
  form->SetQuickConnectIndex(-1);
  form->ActionQuickCon->Execute();
  EXPECT_EQ(Tabs(), std::vector<String>{"bravo"});
}

// ---------------------------------------------------------------- connection check

TEST_F(MainTest, CheckConnection) {
  Make();
  TScopedFakeRas ras;
  RasDialer = new TRasDialer(Application);
  FormDial = new TFormDial(Application);
  const String question =
      "Nembra can not detect a connection. Would you like to dial now?\n\nNote: If you are on a LAN or have an "
      "\"always on DSL connection\",\nyou can avoid this check by setting up your application preferences.";

  // A LAN line: no dial-up call at all.
  Put("Lanline", 1);
  EXPECT_TRUE(form->CheckConnection());
  EXPECT_TRUE(ras->Calls.empty());
  Put("Lanline", 0);

  // A dial-up connection up: no question.
  ras->Connections = {{reinterpret_cast<ras::HRASCONN>(0x21), "Office"}};
  EXPECT_TRUE(form->CheckConnection());
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
  ras->Connections.clear();

  // None: the question; No ends there.
  dialogs.Dialogs.Answers = {IDNO};
  EXPECT_FALSE(form->CheckConnection());
  ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].text, question);
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].caption, "No Connection detected...");
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].flags, UINT(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].owner, Application->Handle());
  EXPECT_EQ(ras->CountCalls("RasEnumConnectionsA"), 2);

  // Yes: the dial window modally, then a second look, which finds the
  // connection dialled meanwhile.
  dialogs.Dialogs.Answers = {IDYES};
  TModalDriver modal;
  modal.Window("Palvane - RAS Dialer Utility")
      .Do("dial", [&](HWND) {
        ras->Connections = {{reinterpret_cast<ras::HRASCONN>(0x22), "Home"}};
        return true;
      })
      .Press("&Close");
  EXPECT_TRUE(form->CheckConnection());
  EXPECT_TRUE(modal.Done());
  EXPECT_EQ(dialogs.Dialogs.Boxes.size(), 2u);
  EXPECT_EQ(ras->CountCalls("RasEnumConnectionsA"), 2 + 1 + 1 + 1);  // ours twice, the window's own once

  FormDial->Free();
  FormDial = nullptr;
  RasDialer->Free();
  RasDialer = nullptr;
}

// ---------------------------------------------------------------- boxes and errors

TEST_F(MainTest, BoxesAndTheirAnswers) {
  Make();
  dialogs.Dialogs.Answers = {IDOK, IDOK, IDYES, IDNO, IDCANCEL};
  form->InfoBox("info", "Info");
  form->ErrorBox("error", "");
  EXPECT_TRUE(form->AskYesNo("yes?", "Q"));
  EXPECT_FALSE(form->AskYesNo("no?", "Q"));
  EXPECT_FALSE(form->AskYesNo("cancel?", "Q"));
  const auto& b = dialogs.Dialogs.Boxes;
  ASSERT_EQ(b.size(), 5u);
  EXPECT_EQ(b[0].flags, UINT(MB_ICONINFORMATION | MB_OK));
  EXPECT_EQ(b[1].flags, UINT(MB_ICONERROR | MB_OK));
  EXPECT_EQ(b[1].caption, "");
  EXPECT_EQ(b[2].flags, UINT(MB_ICONQUESTION | MB_YESNO));
  for (const auto& box : b) EXPECT_EQ(box.owner, Application->Handle());
}

TEST_F(MainTest, ExceptionsReachingTheApplication) {
  Make();
  for (const char* message : {"FTP component not ready", "Disk full", "FTP component not ready "}) {
    Screen->SetCursor(crHourGlass);
    try {
      throw Exception(message);
    } catch (...) {
      Application->HandleException(nullptr);
    }
    EXPECT_EQ(Screen->Cursor(), crDefault) << message;
  }
  const auto& b = dialogs.Dialogs.Boxes;
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0].text, "Application Error: Disk full");
  EXPECT_EQ(b[0].caption, "Nembra Error");
  EXPECT_EQ(b[0].flags, UINT(MB_ICONERROR | MB_OK));
  EXPECT_EQ(b[1].text, "Application Error: FTP component not ready ");
  // The hook goes with the window.
  form.reset();
  EXPECT_FALSE(Application->OnException == (TExceptionEvent{form.get(), &TFormMain::AppException}));
}

TEST_F(MainTest, AnUnreadableProfileFileStopsTheConstruction) {
  WriteFileBytes(profiles, kThreeProfiles);
  HANDLE lock = CreateFileA(profiles.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  TFrameServices* services = FrameServices();
  EXPECT_THROW(Make(), EFOpenError);
  CloseHandle(lock);
  // Nothing of the window stays installed.
  EXPECT_EQ(FrameServices(), services);
  EXPECT_FALSE(Application->OnException == (TExceptionEvent{form.get(), &TFormMain::AppException}));
  EXPECT_FALSE(Screen->OnActiveFormChange);
}

TEST_F(MainTest, SaveDialogThroughTheFrame) {
  Put("LastDir", dir);
  Open();
  dialogs.Dialogs.SaveNames = {dir + "\\out.txt"};
  EXPECT_EQ(form->ExecuteSaveDialog(form->Stat1, "Text Files (*.txt)|*.txt", "x.txt"), dir + "\\out.txt");
  EXPECT_EQ(form->ExecuteSaveDialog(nullptr, "All Files (*.*)|*.*", ""), "");
  const auto& s = dialogs.Dialogs.SaveDialogs;
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].Owner, form->Stat1->Handle());
  EXPECT_EQ(s[0].Filter, "Text Files (*.txt)|*.txt");
  EXPECT_EQ(s[0].InitialDir, dir);
  EXPECT_EQ(s[0].StructSize, sizeof(OPENFILENAMEA));
  EXPECT_EQ(s[1].Owner, form->Handle());
  EXPECT_EQ(s[1].Filter, "All Files (*.*)|*.*");
}

// ---------------------------------------------------------------- the other wired actions

TEST_F(MainTest, DialerAndAboutShownModally) {
  Open();
  FormDial = new TFormDial(Application);
  {
    TModalDriver modal;
    modal.Window("Palvane - RAS Dialer Utility").Press("&Close");
    form->ActionDialer->Execute();
    EXPECT_TRUE(modal.Done());
  }
  EXPECT_FALSE(FormDial->Visible());
  FormDial->Free();
  FormDial = nullptr;
  {
    TModalDriver modal;
    modal.Window("About Nembra").Press("&OK");
    form->ActionAbout->Execute();
    EXPECT_TRUE(modal.Done());
  }
  EXPECT_EQ(FindTopWindow("About Nembra"), nullptr);
}

// ---------------------------------------------------------------- the local side, views and the log

TEST_F(MainTest, NewConnectionOpensTheProfilePickedInTheLoginWindow) {
  WriteFileBytes(profiles, kThreeProfiles);
  Put("Lanline", 1);
  Open();
  auto pick = [&](const String& name) {
    return [name](HWND w) {
      auto* login = dynamic_cast<TLogForm*>(TControl::FindControl(w));
      if (!login) return false;
      TListItems* items = login->List_Prof->Items();
      for (int i = 0; i < items->Count(); ++i)
        if (items->Item(i)->Caption() == name) {
          items->Item(i)->SetSelected(true);
          login->ShowProfile();
          SaveScreenshot(w, "login");
          return true;
        }
      return false;
    };
  };
  {
    TModalDriver modal;
    modal.Window("Login").Do("pick Charlie", pick("Charlie")).Press("C&onnect");
    form->ActionNew->Execute();
    EXPECT_TRUE(modal.Done());
  }
  auto* child = dynamic_cast<TFakeChild*>(FormMdi);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->Connects, std::vector<String>{"Charlie"});
  {
    TModalDriver modal;
    modal.Window("Login").Do("pick Alpha", pick("Alpha")).Press("&Cancel");
    form->ActionNew->Execute();
    EXPECT_TRUE(modal.Done());
  }
  EXPECT_EQ(Tabs(), std::vector<String>{"Charlie"});
  EXPECT_EQ(FindTopWindow("Login"), nullptr);
  // No connection and no dialling: no login window at all.
  Put("Lanline", 0);
  TScopedFakeRas ras;
  dialogs.Dialogs.Answers = {IDNO};
  form->ActionNew->Execute();
  EXPECT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(Tabs(), std::vector<String>{"Charlie"});
}

TEST_F(MainTest, NewLocalDirectoryAndRefreshLocal) {
  String folder = MakeTempFolder("localside");
  Put("LastDir", folder);
  Open();
  auto names = [&] {
    std::set<String> n;
    for (int i = 0; i < form->LocList->Items()->Count(); ++i) n.insert(form->LocList->GetShListData(i)->GetDisplayName());
    return n;
  };
  ASSERT_TRUE(WaitUntil([&] { return SameText(form->LocalFolder(), folder); }));
  // A file made behind the list's back shows after the refresh.
  WriteFileBytes(folder + "\\behind.txt", "b");
  form->ActionRefreshLocal->Execute();
  ASSERT_TRUE(WaitUntil([&] { return names().count("behind.txt") == 1; }));
  // The new folder on disk, its name open for editing in the tree.
  form->ActionNewLocalDir->Execute();
  EXPECT_TRUE(DirectoryExists(folder + "\\New Folder"));
  EXPECT_NE(reinterpret_cast<HWND>(SendMessageA(form->LocTree->Handle(), TVM_GETEDITCONTROL, 0, 0)), nullptr);
  SaveScreenshot(form->Handle(), "new-folder");
  SendMessageA(form->LocTree->Handle(), TVM_ENDEDITLABELNOW, TRUE, 0);
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
  // A folder of the shell outside the file system (My Computer): nothing
  // can be made there.
  TTreeNode* outside = nullptr;
  for (TTreeNode* n = form->LocTree->Items()->GetFirstNode(); n && !outside; n = n->GetNext())
    if (TPTShTreeData* data = form->LocTree->NodeData(n); data && n->Level() == 1 && data->GetPathName().empty())
      outside = n;
  ASSERT_NE(outside, nullptr);
  form->LocTree->SetSelected(outside);
  ASSERT_TRUE(WaitUntil([&] { return form->LocalFolder().empty(); }));
  form->ActionNewLocalDir->Execute();
  ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].caption, "Directory Error");
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].text, "There was an error creating the directory.");
}

TEST_F(MainTest, ViewsChangeTheLocalListAndTheActiveWindowOnly) {
  Open();
  TFakeChild* first = OpenChild("a");
  TFakeChild* second = OpenChild("b");
  ASSERT_EQ(dynamic_cast<TFakeChild*>(form->ActiveMDIChild()), second);
  struct Row {
    TAction* TFormMain::*action;
    TViewStyle style;
  } rows[] = {{&TFormMain::ActionListView, vsList},
              {&TFormMain::ActionLgIconView, vsIcon},
              {&TFormMain::ActionSmIconView, vsSmallIcon},
              {&TFormMain::ActionDetailView, vsReport}};
  std::vector<TViewStyle> styles;
  for (const Row& r : rows) {
    (form.get()->*r.action)->Execute();
    styles.push_back(r.style);
    EXPECT_EQ(form->LocList->ViewStyle(), r.style);
    for (const Row& o : rows) EXPECT_EQ((form.get()->*o.action)->Checked(), o.action == r.action);
  }
  EXPECT_EQ(second->Styles, styles);
  EXPECT_TRUE(first->Styles.empty());
  first->Show();
  first->SetFocus();
  ASSERT_TRUE(WaitUntil([&] { return form->ActiveMDIChild() == first; }));
  form->ActionListView->Execute();
  EXPECT_EQ(first->Styles, std::vector<TViewStyle>{vsList});
  EXPECT_EQ(second->Styles.size(), 4u);
}

TEST_F(MainTest, SaveLogWritesTheActiveWindowsLog) {
  Put("LastDir", dir);
  Open();
  TFakeChild* child = OpenChild("p");
  child->IsConnected = true;
  child->Log.Add("-->  SITE CHMOD 600 f");
  child->Log.Add("<--  200 SITE CHMOD command ok.");
  form->UpdateActionStates();
  String name = dir + "\\saved.log";
  dialogs.Dialogs.SaveNames = {name};
  form->ActionSaveLog->Execute();
  EXPECT_EQ(ReadFileBytes(name), "-->  SITE CHMOD 600 f\r\n<--  200 SITE CHMOD command ok.\r\n");
  ASSERT_EQ(dialogs.Dialogs.SaveDialogs.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.SaveDialogs[0].Filter, "Log Files (*.log)|*.log");
  EXPECT_TRUE(SameText(dialogs.Dialogs.SaveDialogs[0].InitialDir, dir));
  // Cancelled: nothing written.
  DeleteFileStr(name);
  form->ActionSaveLog->Execute();
  EXPECT_FALSE(FileExists(name));
  // A folder that is not there: a box, no file.
  dialogs.Dialogs.SaveNames = {dir + "\\missing\\x.log"};
  form->ActionSaveLog->Execute();
  ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].caption, "Save Log");
  EXPECT_TRUE(StartsText("The log could not be saved to " + dir + "\\missing\\x.log: ", dialogs.Dialogs.Boxes[0].text));
}

// ---------------------------------------------------------------- remote folders and files

namespace {

// The dialogs seam, noting how many holds of the child's idle count were
// open at each box.
class THoldSeeingDialogs : public TRecordingDialogs {
 public:
  TFakeChild* Child = nullptr;
  std::vector<int> HeldAt;
  int MessageBox(HWND owner, const String& text, const String& caption, UINT flags) override {
    HeldAt.push_back(Child ? Child->Held : -1);
    return TRecordingDialogs::MessageBox(owner, text, caption, flags);
  }
  bool InputQuery(const String& caption, const String& prompt, String& value) override {
    HeldAt.push_back(Child ? Child->Held : -1);
    return TRecordingDialogs::InputQuery(caption, prompt, value);
  }
};

}  // namespace

TEST_F(MainTest, RemoteFolderAndFileActions) {
  Open();
  struct Row {
    const char* what;
    TAction* TFormMain::*action;
    String dirName;
    int files;
    std::vector<TRecordingDialogs::TInputAnswer> inputs;
    std::vector<int> answers;
    std::vector<String> calls;
    std::vector<String> queries;  // caption|prompt|preset
    std::vector<String> boxes;    // caption|text
  } rows[] = {
      {"up", &TFormMain::ActionUpDir, "", 0, {}, {}, {"ChangeDir .."}, {}, {}},
      {"change", &TFormMain::ActionChangeDir, "", 0, {{true, "pub"}}, {}, {"ChangeDir pub"},
       {"Change Directory|Directory to change to:|/home/ada"}, {}},
      // Cancelled: the preset, read again.
      {"change cancelled", &TFormMain::ActionChangeDir, "", 0, {}, {}, {"ChangeDir /home/ada"},
       {"Change Directory|Directory to change to:|/home/ada"}, {}},
      {"make", &TFormMain::ActionMkdDir, "", 0, {{true, "new"}}, {}, {"MakeDir new"},
       {"Create Directory|Directory to create:|"}, {}},
      {"make cancelled", &TFormMain::ActionMkdDir, "", 0, {}, {}, {}, {"Create Directory|Directory to create:|"}, {}},
      {"make empty", &TFormMain::ActionMkdDir, "", 0, {{true, ""}}, {}, {}, {"Create Directory|Directory to create:|"},
       {}},
      {"rename none", &TFormMain::ActionRenameDir, "", 0, {}, {}, {}, {},
       {"Select Directory|You need to select a remote directory to rename."}},
      {"rename", &TFormMain::ActionRenameDir, "old", 0, {{true, "new"}}, {}, {"RenameDir new"},
       {"Rename Directory|New name for directory:|old"}, {}},
      {"remove none", &TFormMain::ActionRemoveDir, "", 0, {}, {}, {}, {},
       {"Select Directory|You need to select a remote directory to delete."}},
      {"remove yes", &TFormMain::ActionRemoveDir, "old", 0, {}, {IDYES}, {"RemoveDir old"}, {},
       {"Delete Directory|Are you sure you want to delete the remote directory old?"}},
      {"remove no", &TFormMain::ActionRemoveDir, "old", 0, {}, {IDNO}, {}, {},
       {"Delete Directory|Are you sure you want to delete the remote directory old?"}},
      {"refresh", &TFormMain::ActionRefreshRemote, "", 0, {}, {}, {"RefreshRemote"}, {}, {}},
      {"delete", &TFormMain::ActionDeleteRemote, "", 2, {}, {}, {"DeleteSelected"}, {}, {}},
      {"rename file", &TFormMain::ActionRenameRemoteFile, "", 1, {}, {}, {"RenameSelectedFile"}, {}, {}},
      // Only the ".." row selected: the window tells so, without the editor.
      {"chmod dir none", &TFormMain::ActionChmodDir, "", 0, {}, {}, {"ChmodDir "}, {}, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    THoldSeeingDialogs seen;
    TSystemDialogs* previous = SetSystemDialogs(&seen);
    TFakeChild* child = OpenChild("p");
    seen.Child = child;
    child->IsConnected = true;
    child->Dir = "/home/ada";
    child->DirName = r.dirName;
    child->Files = r.files;
    // A row of the folder list is selected (".." when DirName is "").
    child->Dirs = 1;
    form->UpdateActionStates();
    seen.InputAnswers = r.inputs;
    seen.Answers = r.answers;
    (form.get()->*r.action)->Execute();
    SetSystemDialogs(previous);
    EXPECT_EQ(child->Calls, r.calls);
    std::vector<String> queries, boxes;
    for (const auto& q : seen.InputQueries) queries.push_back(q.Caption + "|" + q.Prompt + "|" + q.Value);
    for (const auto& b : seen.Boxes) boxes.push_back(b.caption + "|" + b.text);
    EXPECT_EQ(queries, r.queries);
    EXPECT_EQ(boxes, r.boxes);
    // The idle count stands still while the window's input boxes and
    // questions are open (not for a missing selection's box).
    bool selectionBox = !r.boxes.empty() && StartsText("Select Directory|", r.boxes[0]);
    for (size_t i = 0; i < seen.HeldAt.size(); ++i) EXPECT_EQ(seen.HeldAt[i], selectionBox ? 0 : 1) << i;
    EXPECT_EQ(child->Held, 0);
    form->CloseAllChildren();
    ASSERT_TRUE(WaitLive(0));
  }
}

TEST_F(MainTest, PermissionEditorFromTheActions) {
  TPermissionEditor previous = SetPermissionEditor(&TFormMod::Edit);
  TFinally restore([&] { SetPermissionEditor(previous); });
  Open();
  TFakeChild* child = OpenChild("p");
  child->IsConnected = true;
  child->Files = 2;
  child->FilePermissions = "-rwxr-x---";
  child->DirName = "docs";
  child->DirPermissions = "drwxr-sr-x";
  child->Dirs = 1;
  form->UpdateActionStates();
  struct Row {
    const char* what;
    TAction* TFormMain::*action;
    bool quote;
    const char* button;  // "" Escape
    const char* shown;   // the mode the editor opens with
    std::vector<String> calls;
  } rows[] = {
      {"files", &TFormMain::ActionChmod, false, "&OK", "750", {"ChmodFiles 750"}},
      {"files as quote", &TFormMain::ActionChmod, true, "&OK", "750", {"ChmodFiles 750 quote"}},
      {"files cancelled", &TFormMain::ActionChmod, false, "&Cancel", "750", {}},
      {"folder escaped", &TFormMain::ActionChmodDir, false, "", "755", {}},
      {"folder", &TFormMain::ActionChmodDir, false, "&OK", "755", {"ChmodDir 755"}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    child->Calls.clear();
    int heldInside = -1;
    {
      TModalDriver modal;
      modal.Window("File Permissions").Do("the hold", [&](HWND) {
        heldInside = child->Held;
        return true;
      });
      if (r.quote) modal.Check("Send as QUOTE");
      if (*r.button)
        modal.Press(r.button);
      else
        modal.Key(VK_ESCAPE);
      (form.get()->*r.action)->Execute();
      EXPECT_TRUE(modal.Done());
      ASSERT_FALSE(modal.Seen().empty());
      std::vector<String> texts = modal.Seen()[0].Texts;
      EXPECT_NE(std::find(texts.begin(), texts.end(), r.shown), texts.end()) << modal.Seen()[0].Text();
    }
    EXPECT_EQ(heldInside, 1);
    EXPECT_EQ(child->Held, 0);
    EXPECT_EQ(child->Calls, r.calls);
    EXPECT_EQ(FindTopWindow("File Permissions"), nullptr);
  }
}

TEST_F(MainTest, CustomizeToolbarsMovesAButtonUntilClosed) {
  PutNormalPlacement(900, 600);
  Open();
  TdxBarManager* m = form->Bar1;
  form->ActionToolbars->Execute();
  TdxBarCustomizingForm* c = dxBarCustomizingForm();
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(WaitVisible(c->Handle()));
  EXPECT_TRUE(m->IsCustomizing());
  EXPECT_FALSE(IsWindowEnabled(form->Handle()));
  EXPECT_EQ(c->BarsList()->Items()->Count(), m->Bars()->Count());
  // Its help button carries the Help command's glyph.
  EXPECT_TRUE(c->BHelp->Visible());
  EXPECT_EQ(m->HelpButtonGlyph()->Width(), 16);

  // Download dragged from "Files" onto the trailing half of the last
  // button of "Help" lands there and leaves "Files".
  TdxBar* files = m->BarByCaption("Files");
  TdxBar* help = m->BarByCaption("Help");
  int filesCount = files->ItemLinks()->Count(), helpCount = help->ItemLinks()->Count();
  TdxBarItemLink* download = nullptr;
  for (int i = 0; i < filesCount; ++i)
    if (files->ItemLinks()->Items(i)->Item()->Action() == form->ActionDownloadFile) download = files->ItemLinks()->Items(i);
  ASSERT_NE(download, nullptr);
  auto screenRect = [](TdxBarItemLink* link) {
    return link->Control()->Parent()->GetItemScreenRect(link->Control());
  };
  TRect from = screenRect(download);
  TRect last = screenRect(help->ItemLinks()->Items(helpCount - 1));
  POINT a{(from.left + from.right) / 2, (from.top + from.bottom) / 2};
  POINT b{last.right - 3, (last.top + last.bottom) / 2};
  // Dragged as a person does, the Customize window active and the frame
  // disabled behind it.
  ASSERT_TRUE(WaitForeground(c->Handle()));
  SetCursorPos(a.x, a.y);
  ScreenToClient(c->Handle(), &a);
  ScreenToClient(c->Handle(), &b);
  ASSERT_TRUE(Drag(c->Handle(), a, b, 8));
  ASSERT_TRUE(WaitUntil([&] { return help->ItemLinks()->Count() == helpCount + 1; }));
  EXPECT_EQ(files->ItemLinks()->Count(), filesCount - 1);
  EXPECT_EQ(help->ItemLinks()->Items(helpCount)->Item()->Action(), form->ActionDownloadFile);
  SaveDesktopScreenshot("customizing");

  // Close ends customizing and the frame answers again.
  ASSERT_TRUE(Click(c->BClose->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return dxBarCustomizingForm() == nullptr; }));
  EXPECT_FALSE(m->IsCustomizing());
  EXPECT_TRUE(IsWindowEnabled(form->Handle()));
}

// ---------------------------------------------------------------- settings at close

// The bars' layout store, noting what is loaded and saved where (the
// program's own key is never touched here).
struct TLayoutCalls : TdxBarLayoutStore {
  TdxBarLayoutStore* Previous = dxBarSetLayoutStore(this);
  std::vector<String> Calls;
  ~TLayoutCalls() override { dxBarSetLayoutStore(Previous); }
  void LoadFromRegistry(TdxBarManager*, const String& path) override { Calls.push_back("load " + path); }
  void SaveToRegistry(TdxBarManager*, const String& path) override { Calls.push_back("save " + path); }
};

TEST_F(MainTest, CloseWritesTheSettings) {
  TLayoutCalls layout;
  WriteFileBytes(profiles, kThreeProfiles);
  Put("LastDir", dir);
  Put("LastShortcut", 2);
  PutNormalPlacement(700, 500);
  Open();
  form->PMain->SetHeight(150);
  form->PTree->SetWidth(210);
  form->SetQuickConnectIndex(1);
  form->SetBounds(30, 40, 720, 510);
  form->Close();
  auto s = Stored(SettingsSection);
  EXPECT_EQ(s["LastDir"], dir);
  EXPECT_EQ(s["LocalListSize"], "150");
  EXPECT_EQ(s["LocalDirSize"], "210");
  EXPECT_EQ(s["LastShortcut"], "1");
  auto p = Stored("FormMain");
  EXPECT_EQ(p, (std::map<String, String>{{"MaxState", "0"}, {"Left", "30"}, {"Top", "40"}, {"Width", "720"},
                                          {"Height", "510"}}));

  // The bars' layout: loaded as the window was made, saved as it goes.
  form.reset();
  const String toolbars = "\\Software\\Quellmark\\Nembra3\\Toolbars";
  EXPECT_EQ(layout.Calls, (std::vector<String>{"load " + toolbars, "save " + toolbars}));

  // Maximised, no profiles, nothing chosen, a folder that is gone: the
  // earlier bounds stay, LastShortcut is not written.
  WriteFileBytes(profiles, "");
  Put("LastDir", dir + "\\gone");
  TReg::WriteBool("FormMain", "MaxState", true);
  Open();
  ASSERT_TRUE(IsZoomed(form->Handle()));
  form->ActionExit->Execute();
  EXPECT_FALSE(form->Visible());
  s = Stored(SettingsSection);
  EXPECT_EQ(s["LastShortcut"], "1");
  EXPECT_EQ(s["LastDir"], "");
  p = Stored("FormMain");
  EXPECT_EQ(p["MaxState"], "1");
  EXPECT_EQ(p["Width"], "720");
}

// ---------------------------------------------------------------- restore request

TEST_F(MainTest, RestoreRequestOfASecondStart) {
  Open();
  HWND wnd = form->Handle();
  ASSERT_TRUE(IsZoomed(wnd));
  // Maximised stays maximised.
  PostMessageA(wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
  PumpFor(100);
  EXPECT_TRUE(IsZoomed(wnd));
  // Minimised comes back as it was.
  ShowWindow(wnd, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(wnd));
  PostMessageA(wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsIconic(wnd); }));
  EXPECT_TRUE(IsZoomed(wnd));
  // A person's restore of the maximised window still restores it.
  POINT p{200, 10};
  PostMessageA(wnd, WM_SYSCOMMAND, SC_RESTORE, MAKELPARAM(p.x, p.y));
  EXPECT_TRUE(WaitUntil([&] { return !IsZoomed(wnd); }));
}

// ---------------------------------------------------------------- tools, profiles and help

namespace {

// The links of a sub-menu or a toolbar: captions, "|" before a group.
std::vector<String> LinkCaptions(TdxBarItemLinks* links, bool names = false) {
  std::vector<String> items;
  for (int i = 0; i < links->Count(); ++i) {
    TdxBarItemLink* l = links->Items(i);
    items.push_back(String(l->BeginGroup() ? "|" : "") + (names ? l->Item()->Name() : l->Item()->Caption()));
  }
  return items;
}

}  // namespace

TEST_F(MainTest, MenusAndToolbarsAsDesigned) {
  Make();
  using V = std::vector<String>;
  const std::map<String, V> menus = {
      {"SubConnections",
       {"Quick Connect", "New Connection...", "Close Active Connection", "|Application Preferences...",
        "|New Profile...", "Profiles...", "|Exit"}},
      {"SubView",
       {"Large Icon View", "Small Icon View", "List View", "Details View", "|Customize Toolbars..."}},
      {"SubDirectories",
       {"Up Directory", "Change Remote Directory...", "|New Remote Directory...", "New Local Directory",
        "|Rename Remote Directory...", "|Delete Remote Directory...", "|Refresh Remote Listing",
        "Refresh Local Listing"}},
      {"SubFiles",
       {"Upload File(s)", "Resume Upload", "|Download File(s)", "Resume Download", "|Delete Remote File(s)...",
        "Rename Remote File..."}},
      {"SubBatch", {"Batch Upload...", "Batch Download...", "|Batch Delete..."}},
      {"SubUtilities",
       {"Dialer...", "Commands", "Save Log...", "Remote Directory Information...", "Server to Server...",
        "DNS Queries...", "Ping/Trace...", "URL Retrieval...", "Finger...", "Lookup...", "Permissions"}},
      {"SubCommands",
       {"CDUP", "CWD", "PWD", "|SYST", "STAT", "HELP", "|SITE", "QUOTE", "|LIST", "NLST", "SIZE", "|STOR", "RETR",
        "|QUIT"}},
      {"SubPermissions", {"File(s) Permissions (Unix)...", "Directory Permissions (Unix)..."}},
      {"SubHelp", {"About Nembra", "Help", "Help Contents", "Help Index", "Quellmark Online"}},
  };
  for (const auto& [name, items] : menus) {
    auto* sub = dynamic_cast<TdxBarSubItem*>(form->FindComponent(name));
    ASSERT_NE(sub, nullptr) << name;
    EXPECT_EQ(LinkCaptions(sub->ItemLinks()), items) << name;
  }
  const std::map<String, V> bars = {
      {"Main Menu",
       {"SubConnections", "SubView", "SubDirectories", "SubFiles", "SubBatch", "SubUtilities", "SubHelp"}},
      {"Quick Connect", {"ComboQuick", "ButtonQuickConBar"}},
      {"Connections",
       {"ButtonNew", "ButtonCloseActive", "ButtonPreferences", "ButtonNewProfile", "ButtonProfiles"}},
      {"Directories",
       {"ButtonNewLocalDir", "ButtonUpDir", "ButtonMkdDir", "ButtonRemoveDir", "ButtonRefreshRemote"}},
      {"Files", {"ButtonUploadFile", "ButtonDownloadFile", "ButtonDeleteRemote"}},
      {"Batch", {"ButtonBatchUpload", "ButtonBatchDownload", "ButtonBatchDelete"}},
      {"Utilities", {"ButtonSaveLog", "ButtonDirInfo"}},
      {"Help", {"ButtonHelpDefault", "ButtonHelpIndex", "ButtonQmark"}},
      {"View", {"ButtonLgIconView", "ButtonSmIconView", "ButtonListView", "ButtonDetailView"}},
  };
  for (const auto& [caption, items] : bars) {
    TdxBar* bar = form->Bar1->BarByCaption(caption);
    ASSERT_NE(bar, nullptr) << caption;
    EXPECT_EQ(LinkCaptions(bar->ItemLinks(), true), items) << caption;
  }
}

TEST_F(MainTest, EveryToolProfileAndHelpCommandOpensItsWindow) {
  Put("Lanline", 1);
  SetStoSWindowFactory(&TFormStoS::Create);
  Open();
  FormDial = new TFormDial(Application);
  const int forms = Screen->FormCount();
  // By the item that carries each: a menu's button or a toolbar's.
  const struct {
    const char* Item;
    const char* Caption;
  } windows[] = {
      {"ButtonPreferences", "Preferences"},   {"ButtonNewProfile", "Create a New Profile"},
      {"ButtonProfiles", "Profile Manager"},  {"ButtonStoS", "Server to Server Transfers"},
      {"ButtonDNS", "DNS Queries"},           {"ButtonPing", "Ping Utility"},
      {"ButtonUrlInfo", "URL Retrieval"},     {"ButtonFinger", "Finger Query"},
      {"ButtonLookup", "DNS Lookup"},         {"ButtonDialer", "Palvane - RAS Dialer Utility"},
      {"ButtonAbout", "About Nembra"},
  };
  for (const auto& w : windows) {
    SCOPED_TRACE(w.Item);
    auto* item = dynamic_cast<TdxBarItem*>(form->FindComponent(w.Item));
    ASSERT_NE(item, nullptr);
    TModalDriver modal;
    modal.Window(w.Caption).Do("shot and close", [&](HWND wnd) {
      SaveScreenshot(wnd, StripAmpersands(w.Item));
      PostMessageA(wnd, WM_CLOSE, 0, 0);
      return true;
    });
    item->Click();
    EXPECT_TRUE(modal.Finish());
    EXPECT_EQ(Screen->FormCount(), forms);
  }
  FormDial->Free();
  FormDial = nullptr;
  SetStoSWindowFactory(nullptr);
}

TEST_F(MainTest, WithoutAConnectionNoToolWindowOpens) {
  TScopedFakeRas ras;
  SetStoSWindowFactory(&TFormStoS::Create);
  Open();
  const int forms = Screen->FormCount();
  for (TAction* a : {form->ActionStoS, form->ActionDNS, form->ActionPing, form->ActionUrlInfo, form->ActionFinger,
                     form->ActionLookup}) {
    SCOPED_TRACE(a->Name());
    dialogs.Dialogs.Boxes.clear();
    dialogs.Dialogs.Answers = {IDNO};
    a->Execute();
    ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Dialogs.Boxes[0].caption, "No Connection detected...");
    EXPECT_EQ(Screen->FormCount(), forms);
  }
  SetStoSWindowFactory(nullptr);
}

TEST_F(MainTest, HelpCommandsAndTheMakersPage) {
  Open();
  // F1 reaches the Help command through the bars' shortcuts.
  ASSERT_TRUE(FocusWindow(form->LocList->Handle()));
  ASSERT_TRUE(KeyChord({VK_F1}));
  ASSERT_TRUE(WaitUntil([&] { return dialogs.Dialogs.HelpCalls.size() == 1; }));
  dynamic_cast<TdxBarItem*>(form->FindComponent("ButtonHelpContents"))->Click();
  dynamic_cast<TdxBarItem*>(form->FindComponent("ButtonHelpIndex"))->Click();
  dynamic_cast<TdxBarItem*>(form->FindComponent("ButtonQmark"))->Click();
  String file = form->HelpPath();
  EXPECT_EQ(dialogs.Dialogs.HelpCalls,
            (std::vector<String>{file + "|" + IntToStr(HELP_COMMAND) + "|JI(`',`IDH_intro')",
                                 file + "|" + IntToStr(HELP_FINDER) + "|", file + "|" + IntToStr(HELP_PARTIALKEY) + "|"}));
  ASSERT_EQ(dialogs.Dialogs.Helps.size(), 3u);
  EXPECT_EQ(dialogs.Dialogs.Helps[1].Data, 0u);
  EXPECT_STREQ(reinterpret_cast<const char*>(dialogs.Dialogs.Helps[2].Data), "");
  ASSERT_EQ(dialogs.Dialogs.ShellCalls.size(), 1u);
  const auto& call = dialogs.Dialogs.ShellCalls[0];
  EXPECT_EQ(call.Wnd, nullptr);
  EXPECT_EQ(call.Verb, "open");
  EXPECT_EQ(call.File, MakerWebAddress);
  EXPECT_EQ(call.Parameters, "");
  EXPECT_EQ(call.Directory, "");
  EXPECT_EQ(call.Show, SW_SHOWNORMAL);
}

TEST_F(MainTest, DnsQueriesFromTheMenuAskDnsmasq) {
  Put("Lanline", 1);
  Open();
  TModalDriver modal(15000);
  String memo;
  modal.Window("DNS Queries")
      .Do("ask", [&](HWND wnd) {
        auto* dns = dynamic_cast<TFormDns*>(TControl::FindControl(wnd));
        if (!dns) return false;
        // The tool always asks port 53: here, dnsmasq's.
        dns->Dns->SetPort(PeerPortStr(ppDns));
        dns->Edit_Domain->SetText("host.nembra.test");
        dns->Edit_IP->SetText("127.0.0.1");
        dns->Button4->Click();
        return true;
      })
      .Do("answer", [&](HWND wnd) {
        auto* dns = dynamic_cast<TFormDns*>(TControl::FindControl(wnd));
        memo = dns ? dns->Memo1->Text() : String();
        return memo.find("Address          : 192.0.2.10") != String::npos;
      })
      .Do("close", [](HWND wnd) {
        SaveScreenshot(wnd, "answered");
        PostMessageA(wnd, WM_CLOSE, 0, 0);
        return true;
      });
  // Utilities, DNS Queries... (its sixth item) by keyboard.
  ASSERT_TRUE(FocusWindow(form->LocList->Handle()));
  ASSERT_TRUE(KeyChord({VK_MENU, 'C'}));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(KeyChord({VK_RIGHT}));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_TRUE(modal.Finish(20000)) << memo;
}

// ---------------------------------------------------------------- commands chosen with Enter

TEST_F(MainTest, EnterOnAMenuItemReachesNoWindowItOpens) {
  Put("Lanline", 1);
  Open();
  FormDial = new TFormDial(Application);
  auto stillOpenAfter = [](DWORD ms) {
    return [ms, since = DWORD(0)](HWND wnd) mutable {
      if (!since) since = GetTickCount();
      return IsWindowVisible(wnd) && GetTickCount() - since >= ms;
    };
  };
  // Connections, then five menus to the right: Utilities, its first item
  // Dialer. The Enter that chose it does not press the dial window's
  // default button (Connect).
  {
    TModalDriver modal;
    modal.Window("Palvane - RAS Dialer Utility")
        .Do("still open", stillOpenAfter(400))
        .Do("shot", [](HWND wnd) {
          SaveScreenshot(wnd, "dialer");
          return true;
        })
        .Press("&Close");
    ASSERT_TRUE(FocusWindow(form->LocList->Handle()));
    ASSERT_TRUE(KeyChord({VK_MENU, 'C'}));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(KeyChord({VK_RIGHT}));
    ASSERT_TRUE(KeyChord({VK_RETURN}));
    EXPECT_TRUE(modal.Finish(10000));
  }
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty()) << dialogs.Dialogs.Boxes[0].text;
  FormDial->Free();
  FormDial = nullptr;
  // Help, its first item About: the box stays open until OK.
  {
    TModalDriver modal;
    modal.Window("About Nembra")
        .Do("still open", stillOpenAfter(400))
        .Do("shot", [](HWND wnd) {
          SaveScreenshot(wnd, "about");
          return true;
        })
        .Press("&OK");
    ASSERT_TRUE(FocusWindow(form->LocList->Handle()));
    ASSERT_TRUE(KeyChord({VK_MENU, 'C'}));
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(KeyChord({VK_RIGHT}));
    ASSERT_TRUE(KeyChord({VK_RETURN}));
    EXPECT_TRUE(modal.Finish(10000));
  }
  EXPECT_EQ(FindTopWindow("About Nembra"), nullptr);
}

// ---------------------------------------------------------------- the quick-connect combo

TEST_F(MainTest, TypedLettersChooseTheFirstProfileBeginningWithThem) {
  WriteFileBytes(profiles, "[Local test server]\r\nHostName=127.0.0.1\r\n\r\n"
                           "[Lab east]\r\nHostName=e.example\r\n\r\n"
                           "[Mirror]\r\nHostName=m.example\r\n\r\n"
                           "[Local second]\r\nHostName=s.example\r\n\r\n");
  Put("Lanline", 1);
  Open();
  // Sorted: Lab east, Local second, Local test server, Mirror.
  ASSERT_EQ(form->QuickConnectCount(), 4);
  form->SetQuickConnectIndex(3);
  TdxBar* bar = form->Bar1->BarByCaption("Quick Connect");
  ASSERT_TRUE(bar && bar->Control());
  HWND barWnd = bar->Control()->Handle();
  TRect combo = bar->Control()->GetItemRect(bar->ItemLinks()->Items(0)->Control());
  // A click on the combo focuses it and drops its list.
  ASSERT_TRUE(Click(barWnd, POINT{combo.left + 20, (combo.top + combo.bottom) / 2}));
  ASSERT_TRUE(WaitUntil([&] { return GetFocus() && IsChild(barWnd, GetFocus()); }));
  HWND names = nullptr;
  ASSERT_NE(names = WaitForTopWindow("", "TdxBarDropDownListBox"), nullptr);
  int n = 0;
  struct TCase {
    const char* Typed;
    const char* Chosen;
  } cases[] = {
      {"l", "Lab east"},             // the first beginning with the letter
      {"loc", "Local second"},       // the letters go on the search
      {"local t", "Local test server"},
      {"m", "Mirror"},               // after a pause a letter starts again
      {"x", "Mirror"},               // no profile: the choice stays
      {"LA", "Lab east"},            // case ignored
  };
  for (const TCase& c : cases) {
    // The first three with the list open (its selection follows), the
    // others with it closed (F4).
    if (n++ == 3) {
      ASSERT_TRUE(KeyChord({VK_F4}));
      ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(names); }));
    }
    PumpFor(1100);
    ASSERT_TRUE(TypeText(c.Typed));
    EXPECT_TRUE(WaitUntil([&] { return form->QuickConnectText() == c.Chosen; }, 3000))
        << c.Typed << ": " << form->QuickConnectText();
    if (n <= 3) {
      EXPECT_EQ(SendMessageA(names, LB_GETCURSEL, 0, 0), form->QuickConnectIndex()) << c.Typed;
      if (n == 3) SaveScreenshot(form->Handle(), "typed-in-the-list");
    }
  }
  SaveScreenshot(form->Handle(), "typed");
  // The field shows the choice; Quick Connect opens it.
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(form->QuickConnectText(), "Lab east");
  form->ActionQuickCon->Execute();
  ASSERT_NE(TFakeChild::Live.size(), 0u);
  EXPECT_EQ((*TFakeChild::Live.begin())->ProfileName, "Lab east");
}
