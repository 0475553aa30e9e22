#include "Fixture.h"

#include "bars/extitems/Dxbarextitems.h"

namespace {

enum TCategory { catDefault, catConnections, catView, catDirectories, catFiles, catBatch, catUtilities, catHelp, catMenus };

struct TCommand {
  const char* Action;
  const char* Caption;
  TCategory Category;
};

const TCommand kCommands[kFixtureActions] = {
    {"QuickCon", "Quick Connect", catConnections},
    {"New", "New Connection...", catConnections},
    {"CloseActive", "Close Active Connection", catConnections},
    {"Exit", "Exit", catConnections},
    {"Preferences", "Application Preferences...", catConnections},
    {"NewProfile", "New Profile...", catConnections},
    {"Profiles", "Profiles...", catConnections},
    {"ListView", "List View", catView},
    {"DetailView", "Details View", catView},
    {"LgIconView", "Large Icon View", catView},
    {"SmIconView", "Small Icon View", catView},
    {"Toolbars", "Customize Toolbars...", catView},
    {"UpDir", "Up Directory", catDirectories},
    {"ChangeDir", "Change Remote Directory...", catDirectories},
    {"MkdDir", "New Remote Directory...", catDirectories},
    {"RenameDir", "Rename Remote Directory...", catDirectories},
    {"RemoveDir", "Delete Remote Directory...", catDirectories},
    {"NewLocalDir", "New Local Directory", catDirectories},
    {"RefreshRemote", "Refresh Remote Listing", catDirectories},
    {"RefreshLocal", "Refresh Local Listing", catDirectories},
    {"UploadFile", "Upload File(s)", catFiles},
    {"ResumeUp", "Resume Upload", catFiles},
    {"DownloadFile", "Download File(s)", catFiles},
    {"ResumeDown", "Resume Download", catFiles},
    {"DeleteRemote", "Delete Remote File(s)...", catFiles},
    {"RenameRemoteFile", "Rename Remote File...", catFiles},
    {"BatchUpload", "Batch Upload...", catBatch},
    {"BatchDownload", "Batch Download...", catBatch},
    {"BatchDelete", "Batch Delete...", catBatch},
    {"SaveLog", "Save Log...", catUtilities},
    {"DirInfo", "Remote Directory Information...", catUtilities},
    {"Chmod", "File(s) Permissions (Unix)...", catUtilities},
    {"ChmodDir", "Directory Permissions (Unix)...", catUtilities},
    {"Quote", "QUOTE", catUtilities},
    {"CWD", "CWD", catUtilities},
    {"CDUP", "CDUP", catUtilities},
    {"PWD", "PWD", catUtilities},
    {"HELP", "HELP", catUtilities},
    {"SYST", "SYST", catUtilities},
    {"SITE", "SITE", catUtilities},
    {"LIST", "LIST", catUtilities},
    {"NLST", "NLST", catUtilities},
    {"STOR", "STOR", catUtilities},
    {"RETR", "RETR", catUtilities},
    {"STAT", "STAT", catUtilities},
    {"SIZE", "SIZE", catUtilities},
    {"QUIT", "QUIT", catUtilities},
    {"StoS", "Server to Server...", catUtilities},
    {"DNS", "DNS Queries...", catUtilities},
    {"Ping", "Ping/Trace...", catUtilities},
    {"UrlInfo", "URL Retrieval...", catUtilities},
    {"Finger", "Finger...", catUtilities},
    {"Lookup", "Lookup...", catUtilities},
    {"Dialer", "Dialer...", catUtilities},
    {"About", "About Nembra", catHelp},
    {"Qmark", "Quellmark Online", catHelp},
    {"HelpDefault", "Help", catHelp},
    {"HelpContents", "Help Contents", catHelp},
    {"HelpIndex", "Help Index", catHelp},
};

bool IsView(const String& action) {
  return action == "ListView" || action == "DetailView" || action == "LgIconView" || action == "SmIconView";
}

// Links: item names, "|" before one that begins a group.
void Links(TdxBarDefinition& d, TdxBarItemLinks* links, std::initializer_list<const char*> names) {
  bool group = false;
  for (const char* n : names) {
    if (String(n) == "|") {
      group = true;
      continue;
    }
    String item = String(n).rfind("Sub", 0) == 0 || String(n).rfind("Combo", 0) == 0 ? String(n) : "Button" + String(n);
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

void DefineFixtureBars(TdxBarDefinition& d) {
  TdxBarManager* m = d.Manager("Bar1");
  m->SetAutoHideEmptyBars(true);
  TFont font;
  font.SetName("Tahoma");
  font.SetHeight(-11);
  m->SetFont(&font);
  m->SetUseSystemFont(true);
  for (const char* c : {"Default", "Connections", "View", "Directories", "Files", "Batch", "Utilities", "Help", "Menus"})
    m->Categories()->Add(c);
  m->Categories()->SetVisibles(std::vector<bool>(9, true));
  m->Categories()->SetItemsVisibles(std::vector<int>(9, ivAlways));
  m->SetFlatCloseButton(true);
  TBitmap glyph;
  glyph.SetSize(16, 16);
  m->SetHelpButtonGlyph(&glyph);
  m->SetShowHelpButton(true);
  m->SetImages(dynamic_cast<TCustomImageList*>(d.Component("Imagebars")));
  m->SetMenuAnimations(maUnfold);
  m->SetMenusShowRecentItemsFirst(false);
  m->SetRegistryPath("\\Software\\Quellmark\\Nembra3\\Toolbars");
  m->SetStoreInRegistry(true);
  m->SetUseFullReset(true);
  m->SetDockControlHeights({0, 0, 52, 0});

  for (const TCommand& c : kCommands) {
    auto* b = d.Item<TdxBarButton>("TdxBarButton", "Button" + String(c.Action));
    b->SetCategory(c.Category);
    if (IsView(c.Action)) {
      b->SetButtonStyle(bsChecked);
      b->SetGroupIndex(10);
    }
    b->SetAction(d.Action("Action" + String(c.Action)));
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
  Links(d, sub("SubConnections"), {"QuickCon", "New", "CloseActive", "|", "Preferences", "|", "NewProfile", "Profiles", "|", "Exit"});
  Links(d, sub("SubView"), {"LgIconView", "SmIconView", "ListView", "DetailView", "|", "Toolbars"});
  Links(d, sub("SubDirectories"), {"UpDir", "ChangeDir", "|", "MkdDir", "NewLocalDir", "|", "RenameDir", "|",
                                   "RemoveDir", "|", "RefreshRemote", "RefreshLocal"});
  Links(d, sub("SubFiles"), {"UploadFile", "ResumeUp", "|", "DownloadFile", "ResumeDown", "|", "DeleteRemote",
                             "RenameRemoteFile"});
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
  Links(d, Bar(d, "Quick Connect", 1, 0)->ItemLinks(), {"ComboQuick", "QuickConBar"});
  Links(d, Bar(d, "Connections", 1, 140)->ItemLinks(), {"New", "CloseActive", "Preferences", "NewProfile", "Profiles"});
  Links(d, Bar(d, "Directories", 1, 270)->ItemLinks(), {"NewLocalDir", "UpDir", "MkdDir", "RemoveDir", "RefreshRemote"});
  Links(d, Bar(d, "Files", 1, 400)->ItemLinks(), {"UploadFile", "DownloadFile", "DeleteRemote"});
  Links(d, Bar(d, "Batch", 1, 480)->ItemLinks(), {"BatchUpload", "BatchDownload", "BatchDelete"});
  Links(d, Bar(d, "Utilities", 1, 560)->ItemLinks(), {"SaveLog", "DirInfo"});
  Links(d, Bar(d, "Help", 1, 620)->ItemLinks(), {"HelpDefault", "HelpIndex", "Qmark"});
  Links(d, Bar(d, "View", 1, 700)->ItemLinks(), {"LgIconView", "SmIconView", "ListView", "DetailView"});
}

[[maybe_unused]] const bool gRegistered =
    (dxBarRegisterFormDefinition("TBarsFixtureForm", DefineFixtureBars), true);

}  // namespace

TBarsFixtureForm::TBarsFixtureForm(TComponent* owner) : TForm(owner) {
  SetName("FormMain");
  SetCaption("Nembra 3");
  SetBounds(0, 0, 620, 440);
  Imagebars = new TImageList(this);
  Imagebars->SetName("Imagebars");
  ActionList1 = new TActionList(this);
  ActionList1->SetName("ActionList1");
  ActionList1->SetImages(Imagebars);
  for (const TCommand& c : kCommands) {
    auto* a = new TAction(this);
    a->SetName("Action" + String(c.Action));
    a->SetCaption(c.Caption);
    a->SetActionList(ActionList1);
    if (IsView(c.Action)) a->SetGroupIndex(10);
    if (String(c.Action) == "DetailView") a->SetChecked(true);
    if (String(c.Action) == "HelpDefault") a->SetShortCut(ShortCut(VK_F1, {}));
    a->OnExecute = {this, &TBarsFixtureForm::ActionExecute};
  }
  dxBarDefineForm(this);
  Bar1 = dynamic_cast<TdxBarManager*>(FindComponent("Bar1"));
  Bar1->OnHelpButtonClick = {this, &TBarsFixtureForm::Bar1HelpButtonClick};
  EndLoading();
}

TdxBarButton* TBarsFixtureForm::Button(const String& name) const {
  return dynamic_cast<TdxBarButton*>(FindComponent("Button" + name));
}

TdxBarSubItem* TBarsFixtureForm::Sub(const String& name) const {
  return dynamic_cast<TdxBarSubItem*>(FindComponent("Sub" + name));
}

TAction* TBarsFixtureForm::Action(const String& name) const {
  return dynamic_cast<TAction*>(FindComponent("Action" + name));
}

void TBarsFixtureForm::ActionExecute(TObject* sender) {
  if (auto* a = dynamic_cast<TComponent*>(sender)) Executed.push_back(a->Name());
}

void TBarsFixtureForm::Bar1HelpButtonClick(TObject*) { ++HelpClicks; }
