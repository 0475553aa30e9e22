#include "Main.h"

#include "About.h"
#include "classlib/Dialogs.h"
#include "Dialer.h"
#include "Dlgapi.h"
#include "Formplacement.h"
#include "Login.h"
#include "Newaccount.h"
#include "Permissioneditor.h"
#include "Preferences.h"
#include "Profilemgr.h"
#include "Rasdlr.h"
#include "Regdataunit.h"
#include "Stoswindow.h"
#include "Toolwindow.h"
#include "bars/Dxbardefinition.h"
#include "resources/Frameimages.h"

TFormMain* FormMain = nullptr;

namespace {

// Posted once a run of selection changes of the local file list is through.
constexpr UINT WM_LOCAL_SELECTION_CHANGED = WM_USER + 40;
// A drag from the local list ended: the folders it left out are told.
constexpr UINT WM_DRAG_FOLDER_BOXES = WM_USER + 41;

// An entry of the local list that uploads as a file: a file, or a
// compressed folder of the shell (*.zip).
bool UploadsAsFile(const TLocalEntry& e) { return !e.Folder || UpperCase(ExtractFileExt(e.Path)) == ".ZIP"; }

String FolderMustUseBatchText(const String& name) {
  return "The item " + name + " is a folder, please use a batch operation to upload folders.";
}

enum TCategory { catDefault, catConnections, catView, catDirectories, catFiles, catBatch, catUtilities, catHelp, catMenus };

const char* const kCategoryNames[] = {"Default", "Connections", "View",      "Directories", "Files",
                                      "Batch",   "Utilities",   "Help",      "Menus"};

struct TActionDef {
  TAction* TFormMain::*Field;
  const char* Name;  // after "Action"
  const char* Caption;
  TCategory Category;
};

// Every action, in the order of the bars' items.
const TActionDef kActions[] = {
    {&TFormMain::ActionQuickCon, "QuickCon", "Quick Connect", catConnections},
    {&TFormMain::ActionNew, "New", "New Connection...", catConnections},
    {&TFormMain::ActionCloseActive, "CloseActive", "Close Active Connection", catConnections},
    {&TFormMain::ActionExit, "Exit", "Exit", catConnections},
    {&TFormMain::ActionPreferences, "Preferences", "Application Preferences...", catConnections},
    {&TFormMain::ActionNewProfile, "NewProfile", "New Profile...", catConnections},
    {&TFormMain::ActionProfiles, "Profiles", "Profiles...", catConnections},
    {&TFormMain::ActionListView, "ListView", "List View", catView},
    {&TFormMain::ActionDetailView, "DetailView", "Details View", catView},
    {&TFormMain::ActionLgIconView, "LgIconView", "Large Icon View", catView},
    {&TFormMain::ActionSmIconView, "SmIconView", "Small Icon View", catView},
    {&TFormMain::ActionToolbars, "Toolbars", "Customize Toolbars...", catView},
    {&TFormMain::ActionUpDir, "UpDir", "Up Directory", catDirectories},
    {&TFormMain::ActionChangeDir, "ChangeDir", "Change Remote Directory...", catDirectories},
    {&TFormMain::ActionMkdDir, "MkdDir", "New Remote Directory...", catDirectories},
    {&TFormMain::ActionRenameDir, "RenameDir", "Rename Remote Directory...", catDirectories},
    {&TFormMain::ActionRemoveDir, "RemoveDir", "Delete Remote Directory...", catDirectories},
    {&TFormMain::ActionNewLocalDir, "NewLocalDir", "New Local Directory", catDirectories},
    {&TFormMain::ActionRefreshRemote, "RefreshRemote", "Refresh Remote Listing", catDirectories},
    {&TFormMain::ActionRefreshLocal, "RefreshLocal", "Refresh Local Listing", catDirectories},
    {&TFormMain::ActionUploadFile, "UploadFile", "Upload File(s)", catFiles},
    {&TFormMain::ActionResumeUp, "ResumeUp", "Resume Upload", catFiles},
    {&TFormMain::ActionDownloadFile, "DownloadFile", "Download File(s)", catFiles},
    {&TFormMain::ActionResumeDown, "ResumeDown", "Resume Download", catFiles},
    {&TFormMain::ActionDeleteRemote, "DeleteRemote", "Delete Remote File(s)...", catFiles},
    {&TFormMain::ActionRenameRemoteFile, "RenameRemoteFile", "Rename Remote File...", catFiles},
    {&TFormMain::ActionBatchUpload, "BatchUpload", "Batch Upload...", catBatch},
    {&TFormMain::ActionBatchDownload, "BatchDownload", "Batch Download...", catBatch},
    {&TFormMain::ActionBatchDelete, "BatchDelete", "Batch Delete...", catBatch},
    {&TFormMain::ActionSaveLog, "SaveLog", "Save Log...", catUtilities},
    {&TFormMain::ActionDirInfo, "DirInfo", "Remote Directory Information...", catUtilities},
    {&TFormMain::ActionChmod, "Chmod", "File(s) Permissions (Unix)...", catUtilities},
    {&TFormMain::ActionChmodDir, "ChmodDir", "Directory Permissions (Unix)...", catUtilities},
    {&TFormMain::ActionQuote, "Quote", "QUOTE", catUtilities},
    {&TFormMain::ActionCWD, "CWD", "CWD", catUtilities},
    {&TFormMain::ActionCDUP, "CDUP", "CDUP", catUtilities},
    {&TFormMain::ActionPWD, "PWD", "PWD", catUtilities},
    {&TFormMain::ActionHELP, "HELP", "HELP", catUtilities},
    {&TFormMain::ActionSYST, "SYST", "SYST", catUtilities},
    {&TFormMain::ActionSITE, "SITE", "SITE", catUtilities},
    {&TFormMain::ActionLIST, "LIST", "LIST", catUtilities},
    {&TFormMain::ActionNLST, "NLST", "NLST", catUtilities},
    {&TFormMain::ActionSTOR, "STOR", "STOR", catUtilities},
    {&TFormMain::ActionRETR, "RETR", "RETR", catUtilities},
    {&TFormMain::ActionSTAT, "STAT", "STAT", catUtilities},
    {&TFormMain::ActionSIZE, "SIZE", "SIZE", catUtilities},
    {&TFormMain::ActionQUIT, "QUIT", "QUIT", catUtilities},
    {&TFormMain::ActionStoS, "StoS", "Server to Server...", catUtilities},
    {&TFormMain::ActionDNS, "DNS", "DNS Queries...", catUtilities},
    {&TFormMain::ActionPing, "Ping", "Ping/Trace...", catUtilities},
    {&TFormMain::ActionUrlInfo, "UrlInfo", "URL Retrieval...", catUtilities},
    {&TFormMain::ActionFinger, "Finger", "Finger...", catUtilities},
    {&TFormMain::ActionLookup, "Lookup", "Lookup...", catUtilities},
    {&TFormMain::ActionDialer, "Dialer", "Dialer...", catUtilities},
    {&TFormMain::ActionAbout, "About", "About Nembra", catHelp},
    {&TFormMain::ActionQmark, "Qmark", "Quellmark Online", catHelp},
    {&TFormMain::ActionHelpDefault, "HelpDefault", "Help", catHelp},
    {&TFormMain::ActionHelpContents, "HelpContents", "Help Contents", catHelp},
    {&TFormMain::ActionHelpIndex, "HelpIndex", "Help Index", catHelp},
};

bool IsView(const String& action) {
  return action == "ListView" || action == "DetailView" || action == "LgIconView" || action == "SmIconView";
}

// The hint of an action: its caption without a trailing "...".
String HintOf(const String& caption) {
  String h = caption;
  if (h.size() > 3 && h.compare(h.size() - 3, 3, "...") == 0) h.resize(h.size() - 3);
  return h;
}

// ---------------------------------------------------------------- bars

// Links of item names ("Sub..." a sub item, else the button of that
// action); "|" before an item begins a group.
void Links(TdxBarDefinition& d, TdxBarItemLinks* links, std::initializer_list<const char*> names) {
  bool group = false;
  for (const char* n : names) {
    if (String(n) == "|") {
      group = true;
      continue;
    }
    String item = String(n).rfind("Sub", 0) == 0 ? String(n) : "Button" + String(n);
    d.Link(links, item, group);
    group = false;
  }
}

TdxBar* Bar(TdxBarDefinition& d, const char* caption, int row, int left) {
  TdxBar* bar = d.Bar(caption, caption);
  bar->SetDockingStyle(dsTop);
  bar->SetRow(row);
  bar->SetDockedLeft(left);
  bar->SetVisible(true);
  return bar;
}

void DefineMainBars(TdxBarDefinition& d) {
  TdxBarManager* m = d.Manager("Bar1");
  m->SetAutoHideEmptyBars(true);
  TFont font;
  font.SetName("Tahoma");
  font.SetHeight(-11);
  m->SetFont(&font);
  m->SetUseSystemFont(true);
  for (const char* c : kCategoryNames) m->Categories()->Add(c);
  constexpr size_t categories = std::size(kCategoryNames);
  m->Categories()->SetVisibles(std::vector<bool>(categories, true));
  m->Categories()->SetItemsVisibles(std::vector<int>(categories, ivAlways));
  m->SetFlatCloseButton(true);
  m->SetShowHelpButton(true);
  auto* images = dynamic_cast<TCustomImageList*>(d.Component("Imagebars"));
  m->SetImages(images);
  // The help button shows the Help command's glyph.
  if (images) {
    TBitmap glyph;
    images->GetBitmap(bgHelpDefault, &glyph);
    m->SetHelpButtonGlyph(&glyph);
  }
  m->SetMenuAnimations(maUnfold);
  m->SetMenusShowRecentItemsFirst(false);
  m->SetRegistryPath("\\Software\\Quellmark\\Nembra3\\Toolbars");
  m->SetStoreInRegistry(true);
  m->SetUseFullReset(true);
  m->SetDockControlHeights({0, 0, 52, 0});

  for (const TActionDef& a : kActions) {
    auto* b = d.Item<TdxBarButton>("TdxBarButton", "Button" + String(a.Name));
    b->SetCategory(a.Category);
    if (IsView(a.Name)) {
      b->SetButtonStyle(bsChecked);
      b->SetGroupIndex(10);
    }
    b->SetAction(d.Action("Action" + String(a.Name)));
  }
  // The quick-connect combo of profile names.
  auto* combo = d.Item<TdxBarImageCombo>("TdxBarImageCombo", "ComboQuick");
  combo->SetCategory(catConnections);
  combo->SetWidth(125);
  combo->SetDropDownCount(20);
  combo->SetDropDownWidth(150);
  combo->SetSorted(true);
  combo->SetItemIndex(-1);
  combo->WriteImageIndexes({});
  // The Quick Connect bar's button shows its caption beside its glyph.
  auto* quick = d.Item<TdxBarButton>("TdxBarButton", "ButtonQuickConBar");
  quick->SetCategory(catConnections);
  quick->SetPaintStyle(psCaptionGlyph);
  quick->SetAction(d.Action("ActionQuickCon"));

  struct TMenu {
    const char* Name;
    const char* Caption;
  } menus[] = {{"SubConnections", "&Connections"}, {"SubView", "View"},         {"SubDirectories", "Directories"},
               {"SubFiles", "Files"},              {"SubBatch", "Batch"},       {"SubUtilities", "Utilities"},
               {"SubHelp", "Help"},                {"SubCommands", "Commands"}, {"SubPermissions", "Permissions"}};
  for (const auto& menu : menus) {
    auto* s = d.Item<TdxBarSubItem>("TdxBarSubItem", menu.Name);
    s->SetCaption(menu.Caption);
    s->SetCategory(catMenus);
  }
  auto sub = [&](const char* name) { return static_cast<TdxBarSubItem*>(d.Component(name))->ItemLinks(); };
  Links(d, sub("SubConnections"),
        {"QuickCon", "New", "CloseActive", "|", "Preferences", "|", "NewProfile", "Profiles", "|", "Exit"});
  Links(d, sub("SubView"), {"LgIconView", "SmIconView", "ListView", "DetailView", "|", "Toolbars"});
  Links(d, sub("SubDirectories"), {"UpDir", "ChangeDir", "|", "MkdDir", "NewLocalDir", "|", "RenameDir", "|",
                                   "RemoveDir", "|", "RefreshRemote", "RefreshLocal"});
  Links(d, sub("SubFiles"),
        {"UploadFile", "ResumeUp", "|", "DownloadFile", "ResumeDown", "|", "DeleteRemote", "RenameRemoteFile"});
  Links(d, sub("SubBatch"), {"BatchUpload", "BatchDownload", "|", "BatchDelete"});
  Links(d, sub("SubCommands"), {"CDUP", "CWD", "PWD", "|", "SYST", "STAT", "HELP", "|", "SITE", "Quote", "|", "LIST",
                                "NLST", "SIZE", "|", "STOR", "RETR", "|", "QUIT"});
  Links(d, sub("SubPermissions"), {"Chmod", "ChmodDir"});
  Links(d, sub("SubUtilities"), {"Dialer", "SubCommands", "SaveLog", "DirInfo", "StoS", "DNS", "Ping", "UrlInfo",
                                 "Finger", "Lookup", "SubPermissions"});
  Links(d, sub("SubHelp"), {"About", "HelpDefault", "HelpContents", "HelpIndex", "Qmark"});

  TdxBar* main = Bar(d, "Main Menu", 0, 0);
  main->SetIsMainMenu(true);
  Links(d, main->ItemLinks(),
        {"SubConnections", "SubView", "SubDirectories", "SubFiles", "SubBatch", "SubUtilities", "SubHelp"});
  TdxBar* quickBar = Bar(d, "Quick Connect", 1, 0);
  d.Link(quickBar->ItemLinks(), "ComboQuick");
  Links(d, quickBar->ItemLinks(), {"QuickConBar"});
  Links(d, Bar(d, "Connections", 1, 140)->ItemLinks(), {"New", "CloseActive", "Preferences", "NewProfile", "Profiles"});
  Links(d, Bar(d, "Directories", 1, 270)->ItemLinks(), {"NewLocalDir", "UpDir", "MkdDir", "RemoveDir", "RefreshRemote"});
  Links(d, Bar(d, "Files", 1, 400)->ItemLinks(), {"UploadFile", "DownloadFile", "DeleteRemote"});
  Links(d, Bar(d, "Batch", 1, 480)->ItemLinks(), {"BatchUpload", "BatchDownload", "BatchDelete"});
  Links(d, Bar(d, "Utilities", 1, 560)->ItemLinks(), {"SaveLog", "DirInfo"});
  Links(d, Bar(d, "Help", 1, 620)->ItemLinks(), {"HelpDefault", "HelpIndex", "Qmark"});
  Links(d, Bar(d, "View", 1, 700)->ItemLinks(), {"LgIconView", "SmIconView", "ListView", "DetailView"});
}

[[maybe_unused]] const bool gBarsRegistered = (dxBarRegisterFormDefinition("TFormMain", DefineMainBars), true);

// Keeps the drawing of a window locked for its lifetime.
class TDrawingLock {
 public:
  explicit TDrawingLock(HWND wnd) { LockWindowUpdate(wnd); }
  ~TDrawingLock() { LockWindowUpdate(nullptr); }
  TDrawingLock(const TDrawingLock&) = delete;
  TDrawingLock& operator=(const TDrawingLock&) = delete;
};

}  // namespace

// ---------------------------------------------------------------- construction

TFormMain::TFormMain(TComponent* owner, const String& profilesPath) : TForm(owner) {
  SetName("FormMain");
  SetCaption("Nembra 3");
  SetFormStyle(fsMDIForm);
  SetBounds(0, 0, 620, 440);
  Constraints()->SetMinWidth(620);
  Constraints()->SetMinHeight(440);
  if (HICON icon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON")) SetIcon(icon);
  OnShow = {this, &TFormMain::FormShow};
  OnCloseQuery = {this, &TFormMain::FormCloseQuery};
  OnClose = {this, &TFormMain::FormClose};
  OnResize = {this, &TFormMain::FormResize};

  DragList.reset(new TStringList);

  Imagebars = new TImageList(this);
  Imagebars->SetName("Imagebars");
  Imagebars->ResourceLoad(rtBitmap, ImagebarsResource, clFuchsia);
  Imgsmall = new TImageList(this);
  Imgsmall->SetName("Imgsmall");
  Imgsmall->ResourceLoad(rtBitmap, ImgsmallResource, clFuchsia);
  CreateActions();
  // The bars' dock sites first: the top one above the local pane.
  dxBarDefineForm(this);
  Bar1 = dynamic_cast<TdxBarManager*>(FindComponent("Bar1"));
  if (Bar1) Bar1->OnHelpButtonClick = {this, &TFormMain::Bar1HelpButtonClick};
  ComboQuick = dynamic_cast<TdxBarImageCombo*>(FindComponent("ComboQuick"));

  // Bottom up: the status bar under the tabs.
  Stat1 = MakeControl<TStatusBar>(this, this, "Stat1");
  for (int width : {100, 250, 250}) Stat1->Panels()->Add()->SetWidth(width);
  Stat1->Panels()->Items(0)->SetText(" Quellmark \xAE");
  TabCon = MakeControl<TTabControl>(this, this, "TabCon");
  TabCon->SetAlign(alBottom);
  TabCon->SetHeight(23);
  TabCon->SetTabHeight(19);
  TabCon->SetTabPosition(tpBottom);
  TabCon->SetHotTrack(true);
  TabCon->SetVisible(false);
  TabCon->OnChange = {this, &TFormMain::TabConChange};

  PMain = MakeControl<TPanel>(this, this, "PMain");
  PMain->SetAlign(alTop);
  PMain->SetHeight(90);
  PMain->SetCaption("");
  PMain->SetBevelOuter(bvNone);
  PTree = MakeControl<TPanel>(this, PMain, "PTree");
  PTree->SetAlign(alLeft);
  PTree->SetWidth(160);
  PTree->SetCaption("");
  PTree->SetBevelOuter(bvNone);
  SplitE = MakeControl<TSplitter>(this, PMain, "SplitE");
  SplitE->SetAlign(alLeft);
  SplitE->SetLeft(160);
  SplitE->SetWidth(3);
  SplitE->SetMinSize(150);
  PList = MakeControl<TPanel>(this, PMain, "PList");
  PList->SetAlign(alClient);
  PList->SetCaption("");
  PList->SetBevelOuter(bvNone);
  SplitMain = MakeControl<TSplitter>(this, this, "SplitMain");
  SplitMain->SetAlign(alTop);
  SplitMain->SetTop(90);
  SplitMain->SetHeight(3);
  SplitMain->SetMinSize(90);
  CreateLocalPane();

  EndLoading();

  previousException_ = Application->OnException;
  Application->OnException = {this, &TFormMain::AppException};
  previousServices_ = SetFrameServices(this);
  previousActiveFormChange_ = Screen->OnActiveFormChange;
  Screen->OnActiveFormChange = {this, &TFormMain::ActiveFormChange};
  try {
    TFormPlacement placement(this);
    TReg::LoadFormPlacement(placement);
    ProfilesPath = profilesPath;
    // A profile file that cannot be read ends the construction.
    ProfileIni.reset(new TMemIniFile(ProfilesPath));
    RefreshProfileList();
    if (QuickConnectCount() > 0) SetQuickConnectIndex(TReg::ReadInteger(SettingsSection, "LastShortcut"));
    helpPath_ = ExtractFilePath(Application->ExeName()) + "nembra3.hlp";
  } catch (...) {
    ReleaseHooks();
    throw;
  }
}

TFormMain::~TFormMain() {
  ReleaseHooks();
  // The list clears its items as it goes, after this part of the frame.
  if (LocList) LocList->OnSelectItem = nullptr;
  if (formMdiWindow_) FormMdi = nullptr;
  if (FormMain == this) FormMain = nullptr;
}

void TFormMain::ReleaseHooks() {
  if (FrameServices() == this) SetFrameServices(previousServices_);
  if (Application->OnException == TExceptionEvent{this, &TFormMain::AppException})
    Application->OnException = previousException_;
  if (Screen->OnActiveFormChange == TNotifyEvent{this, &TFormMain::ActiveFormChange})
    Screen->OnActiveFormChange = previousActiveFormChange_;
}

void TFormMain::CreateActions() {
  ActionList1 = new TActionList(this);
  ActionList1->SetName("ActionList1");
  ActionList1->SetImages(Imagebars);
  for (const TActionDef& d : kActions) {
    auto* a = new TAction(this);
    String name = "Action" + String(d.Name);
    a->SetName(name);
    a->SetCaption(d.Caption);
    a->SetCategory(kCategoryNames[d.Category]);
    a->SetHint(HintOf(d.Caption));
    a->SetImageIndex(ActionImageIndex(name.c_str()));
    a->SetActionList(ActionList1);
    if (IsView(d.Name)) a->SetGroupIndex(10);
    this->*d.Field = a;
  }
  ActionDetailView->SetChecked(true);
  ActionHelpDefault->SetShortCut(ShortCut(VK_F1, {}));
  ActionQuickCon->OnExecute = {this, &TFormMain::ActionQuickConExecute};
  ActionCloseActive->OnExecute = {this, &TFormMain::ActionCloseActiveExecute};
  ActionExit->OnExecute = {this, &TFormMain::ActionExitExecute};
  ActionDialer->OnExecute = {this, &TFormMain::ActionDialerExecute};
  ActionDownloadFile->OnExecute = {this, &TFormMain::ActionDownloadFileExecute};
  ActionUploadFile->OnExecute = {this, &TFormMain::ActionUploadFileExecute};
  ActionAbout->OnExecute = {this, &TFormMain::ActionAboutExecute};
  ActionToolbars->OnExecute = {this, &TFormMain::ActionToolbarsExecute};
  ActionNew->OnExecute = {this, &TFormMain::ActionNewExecute};
  ActionNewLocalDir->OnExecute = {this, &TFormMain::ActionNewLocalDirExecute};
  ActionRefreshLocal->OnExecute = {this, &TFormMain::ActionRefreshLocalExecute};
  ActionSaveLog->OnExecute = {this, &TFormMain::ActionSaveLogExecute};
  for (TAction* a : {ActionListView, ActionDetailView, ActionLgIconView, ActionSmIconView})
    a->OnExecute = {this, &TFormMain::ViewExecute};
  // Each window for the one use, owned by the application.
  ActionPreferences->OnExecute = [](TObject*) {
    TOwned<TFormPref> pref(new TFormPref(Application));
    pref->ShowModal();
  };
  ActionNewProfile->OnExecute = [this](TObject*) {
    TOwned<TFormNewAccount> wizard(new TFormNewAccount(Application, ProfilesPath));
    wizard->ShowModal();
  };
  ActionProfiles->OnExecute = [this](TObject*) {
    TOwned<TSettForm> profiles(new TSettForm(Application, ProfilesPath));
    profiles->ShowModal();
  };
  // The server-to-server window comes from its maker (Stoswindow.h).
  ActionStoS->OnExecute = [this](TObject*) {
    TStoSWindowFactory factory = StoSWindowFactory();
    if (!factory || !CheckConnection()) return;
    TOwned<TCustomForm> stos(factory(Application, ProfilesPath));
    stos->ShowModal();
  };
  // The network tools come from their opener (Toolwindow.h).
  const std::pair<TAction*, TToolWindow> tools[] = {
      {ActionDNS, TToolWindow::Dns},       {ActionPing, TToolWindow::Ping},
      {ActionUrlInfo, TToolWindow::UrlInfo}, {ActionFinger, TToolWindow::Finger},
      {ActionLookup, TToolWindow::Lookup},
  };
  for (const auto& [action, tool] : tools) {
    action->OnExecute = [tool](TObject*) {
      if (TToolWindowOpener open = ToolWindowOpener()) open(tool);
    };
  }
  ActionQmark->OnExecute = [](TObject*) {
    SystemDialogs()->ShellExecuteFile(nullptr, "open", MakerWebAddress, "", "", SW_SHOWNORMAL);
  };
  // Help: the topic, the contents, the index with no key.
  ActionHelpDefault->OnExecute = [this](TObject*) {
    Application->HelpFile = helpPath_;
    Application->HelpJump("IDH_intro");
  };
  ActionHelpContents->OnExecute = [this](TObject*) {
    Application->HelpFile = helpPath_;
    Application->HelpCommand(HELP_FINDER, 0);
  };
  ActionHelpIndex->OnExecute = [this](TObject*) {
    static const char noKey[] = "";
    Application->HelpFile = helpPath_;
    Application->HelpCommand(HELP_PARTIALKEY, reinterpret_cast<ULONG_PTR>(noKey));
  };
  ActionUpDir->OnExecute = {this, &TFormMain::ActionUpDirExecute};
  ActionChangeDir->OnExecute = {this, &TFormMain::ActionChangeDirExecute};
  ActionMkdDir->OnExecute = {this, &TFormMain::ActionMkdDirExecute};
  ActionRenameDir->OnExecute = {this, &TFormMain::ActionRenameDirExecute};
  ActionRemoveDir->OnExecute = {this, &TFormMain::ActionRemoveDirExecute};
  ActionRefreshRemote->OnExecute = {this, &TFormMain::ActionRefreshRemoteExecute};
  ActionDirInfo->OnExecute = {this, &TFormMain::ActionDirInfoExecute};
  ActionResumeUp->OnExecute = {this, &TFormMain::ActionResumeUpExecute};
  ActionResumeDown->OnExecute = {this, &TFormMain::ActionResumeDownExecute};
  ActionDeleteRemote->OnExecute = {this, &TFormMain::ActionDeleteRemoteExecute};
  ActionRenameRemoteFile->OnExecute = {this, &TFormMain::ActionRenameRemoteFileExecute};
  ActionChmod->OnExecute = {this, &TFormMain::ActionChmodExecute};
  ActionChmodDir->OnExecute = {this, &TFormMain::ActionChmodDirExecute};
  ActionBatchUpload->OnExecute = {this, &TFormMain::ActionBatchUploadExecute};
  ActionBatchDownload->OnExecute = {this, &TFormMain::ActionBatchDownloadExecute};
  ActionBatchDelete->OnExecute = {this, &TFormMain::ActionBatchDeleteExecute};
  CreateRawCommandActions();
}

// ---------------------------------------------------------------- raw commands

void TFormMain::CreateRawCommandActions() {
  using TSendText = void (TConnectionWindow::*)(const String&);
  // The text typed (the empty preset when cancelled): sent when not empty.
  const struct {
    TAction* Action;
    const char* Caption;
    const char* Prompt;
    TSendText Send;
  } asked[] = {
      {ActionQuote, "Send Quote Command", "Type in a command to send to the server:", &TConnectionWindow::SendQuote},
      {ActionCWD, "Send CWD Command", "Type in the directory to change to:", &TConnectionWindow::SendCWD},
      {ActionSITE, "Send SITE Command", "Type in the parameter pass to the server with the command:",
       &TConnectionWindow::SendSITE},
      {ActionSTOR, "Send STOR Command", "Type in the name of the file to store on the server:",
       &TConnectionWindow::SendSTOR},
      {ActionRETR, "Send RETR Command", "Type in the name of the file to retrieve from the server:",
       &TConnectionWindow::SendRETR},
      {ActionSIZE, "Send SIZE Command", "Type in the name of the file to retrieve the size of:",
       &TConnectionWindow::SendSIZE},
  };
  for (const auto& a : asked) {
    String caption = a.Caption, prompt = a.Prompt;
    TSendText send = a.Send;
    a.Action->OnExecute = [this, caption, prompt, send](TObject*) {
      TConnectionWindow* child = ActiveChild();
      if (!child) return;
      String text = ChildInputBox(child, caption, prompt, "");
      if (!text.empty()) (child->*send)(text);
    };
  }
  const std::pair<TAction*, void (TConnectionWindow::*)()> plain[] = {
      {ActionCDUP, &TConnectionWindow::SendCDUP}, {ActionPWD, &TConnectionWindow::SendPWD},
      {ActionSYST, &TConnectionWindow::SendSYST}, {ActionLIST, &TConnectionWindow::SendLIST},
      {ActionNLST, &TConnectionWindow::SendNLST}, {ActionSTAT, &TConnectionWindow::SendSTAT},
      {ActionQUIT, &TConnectionWindow::SendQUIT}};
  for (const auto& [action, send] : plain)
    action->OnExecute = [this, send](TObject*) {
      if (TConnectionWindow* child = ActiveChild()) (child->*send)();
    };
  ActionHELP->OnExecute = [this](TObject*) {
    if (TConnectionWindow* child = ActiveChild()) child->SendHELP("HELP");
  };
}

// ---------------------------------------------------------------- local pane

// The drag handlers of LocList come with the main window's drag and drop.
void TFormMain::CreateLocalPane() {
  LocTree = MakeControl<TPTShellTree>(this, PTree, "LocTree");
  LocTree->SetAlign(alClient);
  LocTree->SetOptions({ptstoAutoFill, ptstoDefaultKeyHandling, ptstoContextMenus, ptstoDynamicRefresh, ptstoShowHidden});
  LocTree->SetDragMode(dmAutomatic);
  LocTree->OnClick = {this, &TFormMain::LocTreeClick};
  LocList = MakeControl<TPTShellList>(this, PList, "LocList");
  LocList->SetAlign(alClient);
  LocList->SetOptions({ptsloAutoFill, ptsloNonFilesystemAncestors, ptsloDefaultKeyHandling, ptsloContextMenus,
                       ptsloDynamicRefresh, ptsloFolderContextMenu, ptsloShowHidden});
  LocList->SetViewStyle(vsReport);
  LocList->SetMultiSelect(true);
  LocList->SetDragMode(dmAutomatic);
  LocList->OnClick = {this, &TFormMain::LocListClick};
  LocList->OnSelectItem = {this, &TFormMain::LocListSelectItem};
  LocTree->SetShellList(LocList);
  BindLocalDrags();
}

void TFormMain::LocListSelectItem(TObject*, TListItem*, bool) {
  // A range of many items refreshes the actions once.
  if (localSelectionPosted_ || IsDestroying() || !HandleAllocated()) return;
  localSelectionPosted_ = PostMessageA(Handle(), WM_LOCAL_SELECTION_CHANGED, 0, 0) != FALSE;
}

void TFormMain::SelectLocalFolder(const String& path) { LocTree->SetSelectedPathName(path); }

String TFormMain::LocalFolder() const { return LocTree->GetSelectedPathName(); }

std::vector<TFormMain::TLocalEntry> TFormMain::LocalSelection() const {
  std::vector<TLocalEntry> entries;
  for (TListItem* it = LocList->GetNextItem(nullptr, sdAll, {isSelected}); it;
       it = LocList->GetNextItem(it, sdAll, {isSelected}))
    if (TPTShListData* data = LocList->ItemData(it))
      entries.push_back({data->GetPathName(), data->GetDisplayName(), data->IsFolder()});
  return entries;
}

int TFormMain::LocalSelectionCount() const { return LocList->SelCount(); }

void TFormMain::RefreshLocalFiles() { LocList->RefreshItems(); }

TBasicAction* TFormMain::HostAction(THostAction action) {
  switch (action) {
    case THostAction::UpDir: return ActionUpDir;
    case THostAction::ChangeDir: return ActionChangeDir;
    case THostAction::MkdDir: return ActionMkdDir;
    case THostAction::RenameDir: return ActionRenameDir;
    case THostAction::RemoveDir: return ActionRemoveDir;
    case THostAction::BatchDownload: return ActionBatchDownload;
    case THostAction::BatchDelete: return ActionBatchDelete;
    case THostAction::ChmodDir: return ActionChmodDir;
    case THostAction::RefreshRemote: return ActionRefreshRemote;
    case THostAction::DownloadFile: return ActionDownloadFile;
    case THostAction::ResumeDown: return ActionResumeDown;
    case THostAction::RenameRemoteFile: return ActionRenameRemoteFile;
    case THostAction::DeleteRemote: return ActionDeleteRemote;
    case THostAction::Chmod: return ActionChmod;
    case THostAction::DirInfo: return ActionDirInfo;
    case THostAction::SaveLog: return ActionSaveLog;
    case THostAction::New: return ActionNew;
  }
  return nullptr;
}

// ---------------------------------------------------------------- quick connect

// The names replace the combo's entries; a chosen name stays chosen.
void TFormMain::FillQuickConnect(TStrings* names) {
  if (!ComboQuick) return;
  String selected = QuickConnectText();
  ComboQuick->SetItems(names);
  ComboQuick->SetItemIndex(selected.empty() ? -1 : ComboQuick->Items()->IndexOf(selected));
}

int TFormMain::QuickConnectCount() const { return ComboQuick ? ComboQuick->Items()->Count() : 0; }

int TFormMain::QuickConnectIndex() const { return ComboQuick ? ComboQuick->ItemIndex() : -1; }

void TFormMain::SetQuickConnectIndex(int index) {
  if (ComboQuick) ComboQuick->SetItemIndex(index);
}

String TFormMain::QuickConnectText() const { return ComboQuick ? ComboQuick->Text() : String(); }

// ---------------------------------------------------------------- services

void TFormMain::InfoBox(const String& text, const String& caption) {
  SystemDialogs()->MessageBox(Application->Handle(), text, caption, MB_ICONINFORMATION | MB_OK);
}

void TFormMain::ErrorBox(const String& text, const String& caption) {
  SystemDialogs()->MessageBox(Application->Handle(), text, caption, MB_ICONERROR | MB_OK);
}

bool TFormMain::AskYesNo(const String& text, const String& caption) {
  return SystemDialogs()->MessageBox(Application->Handle(), text, caption, MB_ICONQUESTION | MB_YESNO) == IDYES;
}

TConnectionWindow* TFormMain::ActiveChild() const {
  return dynamic_cast<TConnectionWindow*>(ActiveMDIChild());
}

TConnectionWindow* TFormMain::TabChild(int index) const {
  return dynamic_cast<TConnectionWindow*>(TabCon->Tabs()->Objects(index));
}

void TFormMain::SetStatusText(TConnectionWindow* child, int panel, const String& text) {
  if (!child || panel < 0 || panel > 2) return;
  TCustomForm* active = ActiveMDIChild();
  // Kept only for a window with a tab: a going one leaves nothing behind.
  if (panel > 0 && TabCon->Tabs()->IndexOfObject(child->Window()) >= 0) statusTexts_[child->Window()][panel - 1] = text;
  if (!active || active != child->Window()) return;
  Stat1->Panels()->Items(panel)->SetText(text);
}

void TFormMain::ShowActiveStatus() {
  if (!TabCon || !Stat1 || Stat1->Panels()->Count() < 3) return;
  TCustomForm* active = TabCon->Tabs()->Count() > 0 ? ActiveMDIChild() : nullptr;
  auto it = active ? statusTexts_.find(active) : statusTexts_.end();
  for (int panel = 1; panel <= 2; ++panel)
    Stat1->Panels()->Items(panel)->SetText(it == statusTexts_.end() ? String() : it->second[panel - 1]);
}

void TFormMain::RemoveChildTab(TConnectionWindow* child) {
  if (child) {
    TCustomForm* window = child->Window();
    // The close query of the window calls this again: the tabs are looked
    // up afresh after every close.
    statusTexts_.erase(window);
    for (int i; (i = TabCon->Tabs()->IndexOfObject(window)) >= 0;) {
      TabCon->Tabs()->Delete(i);
      window->Close();
    }
  }
  int count = TabCon->Tabs()->Count();
  if (count == 0) {
    TabCon->SetVisible(false);
    ShowActiveStatus();
    return;
  }
  TabCon->SetVisible(true);
  TabCon->SetTabIndex(count - 1);
  TabConChange(TabCon);
}

void TFormMain::RenameChildTab(TConnectionWindow* child) {
  if (!child) return;
  TCustomForm* window = child->Window();
  for (int i = 0; i < TabCon->Tabs()->Count(); ++i)
    if (TabCon->Tabs()->Objects(i) == window) TabCon->Tabs()->Put(i, window->Caption());
}

void TFormMain::CloseAllChildren() {
  while (TabCon->Tabs()->Count() > 0) {
    auto* window = dynamic_cast<TCustomForm*>(TabCon->Tabs()->Objects(0));
    TConnectionWindow* child = dynamic_cast<TConnectionWindow*>(window);
    if (child) {
      RemoveChildTab(child);
    } else {
      TabCon->Tabs()->Delete(0);
      if (window) window->Close();
    }
  }
  TabCon->SetVisible(false);
}

void TFormMain::OpenConnection(const String& profileName) {
  HWND client = ClientHandle();
  if (!client) {
    HandleNeeded();
    client = ClientHandle();
  }
  TConnectionWindow* child;
  {
    // Unlocked on every path, also when the window cannot be made.
    TDrawingLock lock(client);
    TConnectionWindowFactory factory = ConnectionWindowFactory();
    if (!factory) throw EInvalidOperation("No connection window can be opened");
    child = factory(this, this);
    TCustomForm* window = child->Window();
    FormMdi = child;
    formMdiWindow_ = window;
    window->FreeNotification(this);
    window->SetCaption(profileName);
    TabCon->Tabs()->AddObject(window->Caption(), window);
    TabCon->SetVisible(true);
    TabCon->SetTabIndex(TabCon->Tabs()->Count() - 1);
    TabConChange(TabCon);
  }
  RedrawWindow(client, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  child->SetProfileName(profileName);
  child->Connect();
}

void TFormMain::TabConChange(TObject*) {
  int index = TabCon->TabIndex();
  if (index < 0) return;
  auto* window = dynamic_cast<TCustomForm*>(TabCon->Tabs()->Objects(index));
  if (!window) return;
  HWND wnd = window->Handle();
  SendMessageA(wnd, WM_SETREDRAW, FALSE, 0);
  // With its drawing off the window counts as hidden, so the form only
  // notes the state: the client maximises it.
  window->SetWindowState(wsMaximized);
  SendMessageA(ClientHandle(), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(wnd), 0);
  window->Show();
  SendMessageA(wnd, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  UpdateActionStates();
}

void TFormMain::ActiveFormChange(TObject* sender) {
  if (previousActiveFormChange_) previousActiveFormChange_(sender);
  TCustomForm* active = ActiveMDIChild();
  if (!active || Screen->ActiveForm() != active) return;
  int index = TabCon->Tabs()->IndexOfObject(active);
  if (index >= 0 && index != TabCon->TabIndex()) TabCon->SetTabIndex(index);
  UpdateActionStates();
}

void TFormMain::UpdateActionStates() {
  TActionInputs in;
  in.QuickNames = QuickConnectCount();
  if (TConnectionWindow* child = ActiveChild()) {
    in.Active = true;
    in.Connected = child->Connected();
    in.Dirs = child->SelectedDirCount();
    in.Files = child->SelectedFileCount();
  }
  in.Local = LocalSelectionCount();
  SetActionStates(in);
  ShowActiveStatus();
}

void TFormMain::SetActionStates(const TActionInputs& in) {
  bool c = in.Active && in.Connected;
  bool dir = c && in.Dirs >= 1;
  bool files = c && in.Files >= 1;
  bool oneFile = c && in.Files == 1;
  ActionQuickCon->SetEnabled(in.QuickNames >= 1);
  ActionCloseActive->SetEnabled(in.Active);
  for (TAction* a : {ActionUpDir, ActionChangeDir, ActionMkdDir, ActionRefreshRemote}) a->SetEnabled(c);
  for (TAction* a : {ActionRenameDir, ActionRemoveDir, ActionBatchDownload, ActionBatchDelete}) a->SetEnabled(dir);
  for (TAction* a : {ActionDownloadFile, ActionDeleteRemote}) a->SetEnabled(files);
  ActionRenameRemoteFile->SetEnabled(oneFile);
  ActionBatchUpload->SetEnabled(c);
  ActionUploadFile->SetEnabled(c && in.Local >= 1);
  for (TAction* a : {ActionSaveLog, ActionDirInfo}) a->SetEnabled(c);
  ActionResumeUp->SetEnabled(c && in.Local == 1);
  ActionResumeDown->SetEnabled(oneFile);
  ActionChmod->SetEnabled(files);
  ActionChmodDir->SetEnabled(dir);
  for (TAction* a : {ActionQuote, ActionCWD, ActionCDUP, ActionPWD, ActionHELP, ActionSYST, ActionSITE, ActionLIST,
                     ActionNLST, ActionSTOR, ActionRETR, ActionSTAT, ActionSIZE, ActionQUIT})
    a->SetEnabled(c);
  // A command without its handler yet stays disabled.
  for (int i = 0; i < ActionList1->ActionCount(); ++i)
    if (auto* a = dynamic_cast<TAction*>(ActionList1->Actions(i)); a && !a->OnExecute) a->SetEnabled(false);
}

bool TFormMain::CheckConnection() {
  if (TReg::ReadBool(SettingsSection, "Lanline")) return true;
  if (RasDialer && RasDialer->FindActiveConnection()) return true;
  if (!AskYesNo("Nembra can not detect a connection. Would you like to dial now?\n\nNote: If you are on a LAN or have "
                "an \"always on DSL connection\",\nyou can avoid this check by setting up your application "
                "preferences.",
                "No Connection detected..."))
    return false;
  if (FormDial) FormDial->ShowModal();
  return RasDialer && RasDialer->FindActiveConnection();
}

void TFormMain::RefreshProfileList() {
  ProfileIni->Rename(ProfilesPath, true);
  TStringList names;
  ProfileIni->ReadSections(&names);
  FillQuickConnect(&names);
}

String TFormMain::ExecuteSaveDialog(TComponent* owner, const String& filter, const String& name) {
  TOwned<TDlgs> own;
  TDlgs* dlgs = Dlgs;
  if (!dlgs) {
    own.reset(new TDlgs(nullptr));
    dlgs = own.get();
  }
  auto* control = dynamic_cast<TWinControl*>(owner);
  dlgs->OwnerHandle = control && control->HandleAllocated() ? control->Handle() : Handle();
  // "Description|pattern" pairs become the dialog's NUL-separated list.
  String list = filter;
  for (char& ch : list)
    if (ch == '|') ch = '\0';
  list.append(2, '\0');
  dlgs->Filter = list.c_str();
  dlgs->InitialDir = LocalFolder();
  bool chosen = dlgs->ExecuteSaveDialog();
  dlgs->Filter = nullptr;
  return chosen ? dlgs->FileName : String();
}

// ---------------------------------------------------------------- events

void TFormMain::FormShow(TObject*) {
  SelectLocalFolder(TReg::ReadString(SettingsSection, "LastDir"));
  wantedListSize_ = TReg::ReadSettingInteger("LocalListSize");
  wantedDirSize_ = TReg::ReadSettingInteger("LocalDirSize");
  fittedListSize_ = PMain->Height();
  fittedDirSize_ = PTree->Width();
  FitLocalPane();
  UpdateActionStates();
}

void TFormMain::FormCloseQuery(TObject*, bool& canClose) {
  CloseAllChildren();
  canClose = true;
}

void TFormMain::FormClose(TObject*, TCloseAction&) {
  TReg::WriteString(SettingsSection, "LastDir", LocalFolder());
  TReg::WriteInteger(SettingsSection, "LocalListSize", PMain->Height());
  TReg::WriteInteger(SettingsSection, "LocalDirSize", PTree->Width());
  if (QuickConnectCount() > 0) TReg::WriteInteger(SettingsSection, "LastShortcut", QuickConnectIndex());
  TFormPlacement placement(this);
  TReg::SaveFormPlacement(placement);
}

void TFormMain::FitLocalPane() {
  if (wantedListSize_ <= 0 || !HandleAllocated() || IsIconic(Handle())) return;
  // A size set since the last fit (a drag of the splitter, a caller) is
  // the one wanted from now on.
  if (PMain->Height() != fittedListSize_) wantedListSize_ = PMain->Height();
  if (PTree->Width() != fittedDirSize_) wantedDirSize_ = PTree->Width();
  PMain->SetHeight(TReg::FitPaneSize("LocalListSize", wantedListSize_, SplitMain->MaxSizeOf(PMain)));
  PTree->SetWidth(TReg::FitPaneSize("LocalDirSize", wantedDirSize_, SplitE->MaxSizeOf(PTree)));
  fittedListSize_ = PMain->Height();
  fittedDirSize_ = PTree->Width();
}

void TFormMain::FormResize(TObject*) {
  FitLocalPane();
  int width = (Stat1->Width() - 100) / 2;
  Stat1->Panels()->Items(1)->SetWidth(width);
  Stat1->Panels()->Items(2)->SetWidth(width);
  if (!ActiveMDIChild()) return;
  for (int i = 0; i < MDIChildCount(); ++i) MDIChildren(i)->Realign();
}

void TFormMain::LocTreeClick(TObject*) { UpdateActionStates(); }

void TFormMain::LocListClick(TObject*) { UpdateActionStates(); }

void TFormMain::Bar1HelpButtonClick(TObject*) {
  Application->HelpFile = helpPath_;
  Application->HelpJump("IDH_toolbars");
}

void TFormMain::AppException(TObject*, Exception& e) {
  Screen->SetCursor(crDefault);
  if (e.Message == "FTP component not ready") return;
  ErrorBox("Application Error: " + e.Message, "Nembra Error");
}

void TFormMain::ActionQuickConExecute(TObject*) {
  if (!CheckConnection()) return;
  String name = QuickConnectText();
  if (!name.empty()) OpenConnection(name);
}

void TFormMain::ActionCloseActiveExecute(TObject*) {
  if (TCustomForm* child = ActiveMDIChild()) child->Close();
}

void TFormMain::ActionExitExecute(TObject*) { Close(); }

void TFormMain::ActionDialerExecute(TObject*) {
  if (FormDial) FormDial->ShowModal();
}

void TFormMain::ActionDownloadFileExecute(TObject*) {
  if (TConnectionWindow* child = ActiveChild()) child->DownloadSelected();
}

void TFormMain::ActionUploadFileExecute(TObject*) {
  TConnectionWindow* child = ActiveChild();
  std::vector<TLocalEntry> selected = LocalSelection();
  if (!child || selected.empty()) return;
  TStringList paths;
  for (const TLocalEntry& e : selected) {
    if (!UploadsAsFile(e)) {
      InfoBox(FolderMustUseBatchText(e.DisplayName), "Folders Must Use Batch");
      continue;
    }
    paths.Add(e.Path);
  }
  child->UploadFiles(&paths);
}

void TFormMain::ActionToolbarsExecute(TObject*) { Bar1->Customizing(true); }

void TFormMain::ActionNewExecute(TObject*) {
  if (!CheckConnection()) return;
  String profile;
  {
    TOwned<TLogForm> login(new TLogForm(Application, ProfilesPath));
    login->ShowModal();
    if (login->Cancelled) return;
    profile = login->ProfileName;
  }
  OpenConnection(profile);
}

// ---------------------------------------------------------------- the local side

void TFormMain::ActionNewLocalDirExecute(TObject*) {
  if (!LocTree->CreateNewFolder(true)) ErrorBox("There was an error creating the directory.", "Directory Error");
}

void TFormMain::ActionRefreshLocalExecute(TObject*) {
  LocTree->RefreshNodes();
  LocList->RefreshItems();
}

void TFormMain::ActionSaveLogExecute(TObject*) {
  TConnectionWindow* child = ActiveChild();
  const TStrings* lines = child ? child->LogLineList() : nullptr;
  if (!lines) return;
  String name = ExecuteSaveDialog(this, "Log Files (*.log)|*.log", String());
  if (name.empty()) return;
  String text;
  for (int i = 0; i < lines->Count(); ++i) text += lines->Get(i) + "\r\n";
  HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0, written = 0;
  if (!error && (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
                 written != text.size()))
    error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
  if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && !error) error = GetLastError();
  if (error) ErrorBox("The log could not be saved to " + name + ": " + SysErrorMessage(error), "Save Log");
}

void TFormMain::ViewExecute(TObject* sender) {
  auto* chosen = static_cast<TAction*>(sender);
  TViewStyle style = chosen == ActionListView    ? vsList
                     : chosen == ActionLgIconView ? vsIcon
                     : chosen == ActionSmIconView ? vsSmallIcon
                                                  : vsReport;
  LocList->SetViewStyle(style);
  for (TAction* a : {ActionListView, ActionDetailView, ActionLgIconView, ActionSmIconView}) a->SetChecked(a == chosen);
  if (TConnectionWindow* child = ActiveChild()) child->SetViewStyle(style);
}

// ---------------------------------------------------------------- remote folders and files

String TFormMain::ChildInputBox(TConnectionWindow* child, const String& caption, const String& prompt,
                                const String& preset) {
  // The box is modal: the window stays while it is open.
  THeldIdleCount held(child);
  return InputBox(caption, prompt, preset);
}

void TFormMain::ActionUpDirExecute(TObject*) {
  if (TConnectionWindow* child = ActiveChild()) child->ChangeDir("..");
}

void TFormMain::ActionChangeDirExecute(TObject*) {
  TConnectionWindow* child = ActiveChild();
  if (!child) return;
  // Cancelled: the preset, so the directory is read again.
  child->ChangeDir(ChildInputBox(child, "Change Directory", "Directory to change to:", child->CurrentDirectory()));
}

void TFormMain::ActionMkdDirExecute(TObject*) {
  TConnectionWindow* child = ActiveChild();
  if (!child) return;
  String name = ChildInputBox(child, "Create Directory", "Directory to create:", "");
  if (!name.empty()) child->MakeDir(name);
}

void TFormMain::ActionRenameDirExecute(TObject*) {
  TConnectionWindow* child = ActiveChild();
  if (!child) return;
  String old = child->SelectedDirName();
  if (old.empty()) {
    InfoBox("You need to select a remote directory to rename.", "Select Directory");
    return;
  }
  String name = ChildInputBox(child, "Rename Directory", "New name for directory:", old);
  if (!name.empty()) child->RenameDir(name);
}

void TFormMain::ActionRemoveDirExecute(TObject*) {
  TConnectionWindow* child = ActiveChild();
  if (!child) return;
  String name = child->SelectedDirName();
  if (name.empty()) {
    InfoBox("You need to select a remote directory to delete.", "Select Directory");
    return;
  }
  bool yes;
  {
    THeldIdleCount held(child);
    yes = AskYesNo("Are you sure you want to delete the remote directory " + name + "?", "Delete Directory");
  }
  if (yes) child->RemoveDir(name);
}

void TFormMain::ActionRefreshRemoteExecute(TObject*) {
  if (TConnectionWindow* child = ActiveChild()) child->RefreshRemote();
}

void TFormMain::ActionDirInfoExecute(TObject*) {
  if (TConnectionWindow* child = ActiveChild()) child->ShowDirInfo();
}

void TFormMain::ActionResumeUpExecute(TObject*) {
  TConnectionWindow* child = ActiveChild();
  if (!child) return;
  std::vector<TLocalEntry> selected = LocalSelection();
  if (selected.size() != 1) {
    InfoBox("You must select a single file for the resume upload operation.", "Resume Error");
    return;
  }
  // A folder is refused whatever its name (even one ending in .zip).
  if (selected[0].Folder) {
    InfoBox("You can not resume the upload of a folder.", "Resume Error");
    return;
  }
  child->ResumeUpload(selected[0].Path);
}

void TFormMain::ActionResumeDownExecute(TObject*) {
  if (TConnectionWindow* child = ActiveChild()) child->ResumeDownload();
}

void TFormMain::ActionDeleteRemoteExecute(TObject*) {
  if (TConnectionWindow* child = ActiveChild()) child->DeleteSelected();
}

void TFormMain::ActionRenameRemoteFileExecute(TObject*) {
  if (TConnectionWindow* child = ActiveChild()) child->RenameSelectedFile();
}

void TFormMain::EditPermissions(TConnectionWindow* child, bool folder) {
  bool none = folder ? child->SelectedDirName().empty() : child->SelectedFileCount() == 0;
  if (none) {
    // Nothing to set: the window tells so without the editor.
    if (folder)
      child->ChmodDir(String(), false);
    else
      child->ChmodFiles(String(), false);
    return;
  }
  TPermissionEditor edit = PermissionEditor();
  if (!edit) return;
  String permissions = folder ? child->SelectedDirPermissions() : child->SelectedFilePermissions();
  TPermissionChoice choice;
  bool chosen;
  {
    THeldIdleCount held(child);
    chosen = edit(permissions, choice);
  }
  if (!chosen) return;
  String mode = choice.ModeText;
  bool quote = choice.SendAsQuote;
  if (folder)
    child->ChmodDir(mode, quote);
  else
    child->ChmodFiles(mode, quote);
}

void TFormMain::ActionChmodExecute(TObject*) {
  if (TConnectionWindow* child = ActiveChild()) EditPermissions(child, false);
}

void TFormMain::ActionChmodDirExecute(TObject*) {
  if (TConnectionWindow* child = ActiveChild()) EditPermissions(child, true);
}

// ---------------------------------------------------------------- batch

void TFormMain::ActionBatchUploadExecute(TObject*) {
  if (TConnectionWindow* child = ActiveChild()) child->BatchUpload(LocalFolder());
}

void TFormMain::ActionBatchDownloadExecute(TObject*) {
  if (TConnectionWindow* child = ActiveChild()) child->BatchDownload();
}

void TFormMain::ActionBatchDeleteExecute(TObject*) {
  TConnectionWindow* child = ActiveChild();
  if (!child) return;
  if (child->SelectedDirCount() < 1) {
    InfoBox("You must select a remote directory to delete", "Which Directory?");
    return;
  }
  child->BatchDelete();
}

void TFormMain::ActionAboutExecute(TObject*) {
  TOwned<TFormAbout> about(new TFormAbout(Application));
  about->ShowModal();
}

// ---------------------------------------------------------------- messages

void TFormMain::Notification(TComponent* component, TOperation operation) {
  TForm::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == formMdiWindow_) {
    FormMdi = nullptr;
    formMdiWindow_ = nullptr;
  }
  if (auto* window = dynamic_cast<TCustomForm*>(component)) statusTexts_.erase(window);
  // A connection window freed without its close leaves no tab behind.
  if (!IsDestroying() && TabCon && component != TabCon) {
    bool dropped = false;
    for (int i; (i = TabCon->Tabs()->IndexOfObject(component)) >= 0;) {
      TabCon->Tabs()->Delete(i);
      dropped = true;
    }
    if (dropped && TabCon->Tabs()->Count() == 0) {
      TabCon->SetVisible(false);
      ShowActiveStatus();
    }
  }
}

void TFormMain::Dispatch(TMessage& msg) {
  // The restore request of a second start: a minimised window comes back
  // as it was (maximised stays maximised), and the window comes forward.
  if (msg.Msg == WM_SYSCOMMAND && (msg.WParam & 0xFFF0) == SC_RESTORE && msg.LParam == 0 && HandleAllocated()) {
    if (IsIconic(Handle())) TForm::Dispatch(msg);
    SetForegroundWindow(Handle());
    msg.Result = 0;
    return;
  }
  if (msg.Msg == WM_DRAG_FOLDER_BOXES) {
    ShowDragFolderBoxes();
    return;
  }
  if (msg.Msg == WM_LOCAL_SELECTION_CHANGED) {
    localSelectionPosted_ = false;
    UpdateActionStates();
    return;
  }
  TForm::Dispatch(msg);
}

// ---------------------------------------------------------------- drag and drop

void TFormMain::BindLocalDrags() {
  LocList->OnStartDrag = {this, &TFormMain::LocListStartDrag};
  LocList->OnEndDrag = {this, &TFormMain::LocListEndDrag};
  LocList->OnDragOver = {this, &TFormMain::LocListDragOver};
  LocList->OnDragDrop = {this, &TFormMain::LocListDragDrop};
}

void TFormMain::LocListStartDrag(TObject*, TDragObject*&) {
  DragList->Clear();
  dragFolders_.clear();
  if (!ActiveChild()) return;
  // No box while the mouse is captured: the folders are told at the end.
  for (const TLocalEntry& e : LocalSelection()) {
    if (UploadsAsFile(e))
      DragList->Add(e.Path);
    else
      dragFolders_.push_back(e.DisplayName);
  }
}

void TFormMain::LocListEndDrag(TObject*, TObject* target, int, int) {
  // Only a drop that was taken tells what it left out.
  if (!target) dragFolders_.clear();
  if (!dragFolders_.empty() && HandleAllocated()) PostMessageA(Handle(), WM_DRAG_FOLDER_BOXES, 0, 0);
}

void TFormMain::ShowDragFolderBoxes() {
  std::vector<String> folders;
  folders.swap(dragFolders_);
  for (const String& name : folders) InfoBox(FolderMustUseBatchText(name), "Folders Must Use Batch");
}

TLocalDrag TFormMain::LocalDrag(TObject* source) {
  TLocalDrag drag;
  if (!source) return drag;
  if (source == LocList) {
    drag.Kind = TLocalDrag::Files;
    for (int i = 0; i < DragList->Count(); ++i) drag.Paths.push_back(DragList->Get(i));
  } else if (source == LocTree) {
    drag.Kind = TLocalDrag::Folder;
    // The node dragged, not the one selected; a virtual folder has no path.
    if (TPTShTreeData* data = LocTree->NodeData(LocTree->DraggedNode())) {
      String path = data->GetPathName();
      if (!path.empty() && DirectoryExists(path)) drag.FolderPath = path;
    }
  }
  return drag;
}

void TFormMain::LocListDragOver(TObject*, TObject* source, int, int, TDragState, bool& accept) {
  TConnectionWindow* child = ActiveChild();
  accept = child && child->RemoteListOf(source) != TRemoteList::None;
}

void TFormMain::LocListDragDrop(TObject*, TObject* source, int, int) {
  TConnectionWindow* child = ActiveChild();
  if (!child) return;
  switch (child->RemoteListOf(source)) {
    case TRemoteList::Files:
      child->DownloadSelected();
      break;
    case TRemoteList::Dirs:
      InfoBox("To download the entire contents of a remote directory, please\nchange to that directory and use the "
              "Batch Download operation.",
              "Batch Operation?");
      break;
    default:
      break;
  }
}
