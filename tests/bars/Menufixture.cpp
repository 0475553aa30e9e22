#include "Menufixture.h"

#include "support/Input.h"
#include "support/Winwait.h"

namespace {

struct TEntry {
  const char* Name;
  const char* Caption;
  bool Action;
};

const TEntry kEntries[] = {
    {"New", "&New", true},           {"Open", "&Open...", true},   {"Save", "&Save", true},
    {"Exit", "E&xit", false},        {"Undo", "&Undo", false},     {"Cut", "Cu&t", false},
    {"Copy", "&Copy", false},        {"Paste", "&Paste", false},   {"Wrap", "&Word Wrap", false},
    {"Status", "&Status Bar", false}, {"Options", "&Options...", false}, {"Insert", "&Insert Table", false},
    {"Tile", "&Tile", false},        {"About", "&About", false},   {"Recent1", "&1 first.txt", false},
    {"Recent2", "&2 second.txt", false}, {"UndoOne", "Undo &Typing", false}, {"UndoTwo", "Undo &Paste", false},
    {"Mail", "&Mail Recipient", false},
};

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

void DefineFrame(TdxBarDefinition& d) {
  TdxBarManager* m = d.Manager("Bar1");
  m->SetMenusShowRecentItemsFirst(false);
  m->Categories()->Add("Default");
  m->Categories()->Add("Menus");
  for (const TEntry& e : kEntries) {
    auto* b = d.Item<TdxBarButton>("TdxBarButton", "Button" + String(e.Name));
    b->SetCategory(0);
    b->SetCaption(e.Caption);
    if (e.Action) b->SetAction(d.Action("Action" + String(e.Name)));
  }
  static_cast<TdxBarButton*>(d.Component("ButtonUndo"))->SetButtonStyle(bsDropDown);
  static_cast<TdxBarButton*>(d.Component("ButtonWrap"))->SetButtonStyle(bsChecked);
  static_cast<TdxBarButton*>(d.Component("ButtonStatus"))->SetButtonStyle(bsChecked);
  static_cast<TdxBarButton*>(d.Component("ButtonAbout"))->SetHelpContext(42);
  static_cast<TdxBarButton*>(d.Component("ButtonCut"))->SetShortCut(ShortCut('X', {ssCtrl}));
  const struct {
    const char* Name;
    const char* Caption;
  } subs[] = {{"SubFile", "&File"},   {"SubRecent", "&Recent Files"}, {"SubSendTo", "Sen&d To"}, {"SubEdit", "&Edit"}, {"SubView", "&View"},
              {"SubTools", "&Tools"}, {"SubTable", "&Table"},         {"SubWindow", "&Window"}, {"SubHelp", "&Help"}};
  for (const auto& s : subs) {
    auto* sub = d.Item<TdxBarSubItem>("TdxBarSubItem", s.Name);
    sub->SetCaption(s.Caption);
    sub->SetCategory(1);
  }
  auto links = [&](const char* name) { return static_cast<TdxBarSubItem*>(d.Component(name))->ItemLinks(); };
  Links(d, links("SubFile"), {"New", "Open", "Save", "|", "SubRecent", "SubSendTo", "|", "Exit"});
  Links(d, links("SubRecent"), {"Recent1", "Recent2"});
  Links(d, links("SubSendTo"), {"Mail"});
  Links(d, links("SubEdit"), {"Undo", "|", "Cut", "Copy", "Paste", "|", "Wrap"});
  Links(d, links("SubView"), {"Status"});
  Links(d, links("SubTools"), {"Options"});
  Links(d, links("SubTable"), {"Insert"});
  Links(d, links("SubWindow"), {"Tile"});
  Links(d, links("SubHelp"), {"About"});
  TdxBar* main = d.Bar("Main Menu", "MainMenu");
  main->SetIsMainMenu(true);
  main->SetDockingStyle(dsTop);
  main->SetRow(0);
  main->SetVisible(true);
  Links(d, main->ItemLinks(), {"SubFile", "SubEdit", "SubView", "SubTools", "SubTable", "SubWindow", "SubHelp"});
  TdxBar* standard = d.Bar("Standard", "Standard");
  standard->SetDockingStyle(dsTop);
  standard->SetRow(1);
  standard->SetVisible(true);
  Links(d, standard->ItemLinks(), {"New", "Open", "Save", "|", "Undo", "Wrap", "Cut"});
}

void DefineChild(TdxBarDefinition& d) {
  TdxBarManager* m = d.Manager("Bar1");
  m->SetMenusShowRecentItemsFirst(false);
  m->Categories()->Add("Default");
  auto* reload = d.Item<TdxBarButton>("TdxBarButton", "ButtonReload");
  reload->SetCaption("&Reload");
  reload->SetCategory(0);
  auto* sub = d.Item<TdxBarSubItem>("TdxBarSubItem", "SubDocument");
  sub->SetCaption("&Document");
  sub->SetCategory(0);
  d.Link(sub->ItemLinks(), "ButtonReload");
  TdxBar* main = d.Bar("Document Menu", "DocumentMenu");
  main->SetIsMainMenu(true);
  main->SetDockingStyle(dsTop);
  main->SetVisible(true);
  d.Link(main->ItemLinks(), "SubDocument");
}

[[maybe_unused]] const bool gRegistered =
    (dxBarRegisterFormDefinition("TMenuFrame", DefineFrame), dxBarRegisterFormDefinition("TMenuChild", DefineChild),
     true);

}  // namespace

TMenuFrame::TMenuFrame(TComponent* owner) : TForm(owner) {
  SetName("MenuFrame");
  SetCaption("Menus");
  SetFormStyle(fsMDIForm);
  SetBorderIcons({biSystemMenu, biMinimize, biMaximize, biHelp});
  SetBounds(20, 20, 640, 420);
  ActionList1 = new TActionList(this);
  ActionList1->SetName("ActionList1");
  for (const TEntry& e : kEntries) {
    if (!e.Action) continue;
    auto* a = new TAction(this);
    a->SetName("Action" + String(e.Name));
    a->SetCaption(e.Caption);
    a->SetActionList(ActionList1);
    a->OnExecute = {this, &TMenuFrame::ActionExecute};
  }
  Action("New")->SetShortCut(ShortCut('N', {ssCtrl}));
  Edit1 = new TEdit(this);
  Edit1->SetName("Edit1");
  Edit1->SetParent(this);
  Edit1->SetAlign(alBottom);
  Edit1->SetText("some text in the edit");
  dxBarDefineForm(this);
  Bar1 = dynamic_cast<TdxBarManager*>(FindComponent("Bar1"));
  for (const TEntry& e : kEntries)
    if (!e.Action) Button(e.Name)->OnClick = {this, &TMenuFrame::ButtonClick};
  // The split button's menu and the edit's context menu.
  auto* undoMenu = new TdxBarPopupMenu(this);
  undoMenu->SetName("UndoMenu");
  undoMenu->ItemLinks()->Add()->SetItem(Button("UndoOne"));
  undoMenu->ItemLinks()->Add()->SetItem(Button("UndoTwo"));
  Button("Undo")->SetDropDownMenu(undoMenu);
  EditMenu = new TdxBarPopupMenu(this);
  EditMenu->SetName("EditMenu");
  for (const char* n : {"Cut", "Copy", "Paste"}) EditMenu->ItemLinks()->Add()->SetItem(Button(n));
  TdxBarPopupMenuLink* link = Bar1->PopupMenuLinks()->Add();
  link->SetControl(Edit1);
  link->SetPopupMenu(EditMenu);
  EndLoading();
}

TdxBarButton* TMenuFrame::Button(const String& name) const {
  return dynamic_cast<TdxBarButton*>(FindComponent("Button" + name));
}

TdxBarSubItem* TMenuFrame::Sub(const String& name) const {
  return dynamic_cast<TdxBarSubItem*>(FindComponent("Sub" + name));
}

TAction* TMenuFrame::Action(const String& name) const { return dynamic_cast<TAction*>(FindComponent("Action" + name)); }

TdxBarItemControl* TMenuFrame::Control(TdxBar* bar, const String& itemName) const {
  TdxBarItemLinks* links = bar->ItemLinks();
  for (int i = 0; i < links->Count(); ++i)
    if (links->Items(i)->Item() && links->Items(i)->Item()->Name() == itemName) return links->Items(i)->Control();
  return nullptr;
}

TdxBarItemControl* TMenuFrame::MenuControl(const String& subName, const String& itemName) const {
  TdxBarItemLinks* links = Sub(subName)->ItemLinks();
  for (int i = 0; i < links->Count(); ++i)
    if (links->Items(i)->Item() && links->Items(i)->Item()->Name() == itemName) return links->Items(i)->Control();
  return nullptr;
}

TRect TMenuFrame::ScreenRect(TdxBarItemControl* control) {
  return control ? control->Parent()->GetItemScreenRect(control) : TRect();
}

POINT TMenuFrame::Centre(TdxBarItemControl* control) {
  TRect r = ScreenRect(control);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void TMenuFrame::ActionExecute(TObject* sender) {
  if (auto* a = dynamic_cast<TComponent*>(sender)) Executed.push_back(a->Name());
}

void TMenuFrame::ButtonClick(TObject* sender) {
  if (auto* b = dynamic_cast<TComponent*>(sender)) Executed.push_back(b->Name());
}

TMenuChild::TMenuChild(TComponent* owner, const String& caption, bool withMenu) : TForm(owner) {
  SetName("Child" + IntToStr(owner ? owner->ComponentCount() : 0));
  SetCaption(caption);
  SetFormStyle(fsMDIChild);
  SetBounds(10, 10, 300, 200);
  SetIcon(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_WARNING)));
  if (withMenu) {
    dxBarDefineForm(this);
    Bar1 = dynamic_cast<TdxBarManager*>(FindComponent("Bar1"));
    if (auto* reload = dynamic_cast<TdxBarButton*>(FindComponent("ButtonReload")))
      reload->OnClick = {this, &TMenuChild::ButtonClick};
  }
  EndLoading();
}

void TMenuChild::ButtonClick(TObject* sender) {
  if (auto* b = dynamic_cast<TComponent*>(sender)) Executed.push_back(b->Name());
}

::testing::AssertionResult Warp(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  ::testing::AssertionResult r = MoveTo(screen);
  WaitInputProcessed();
  return r;
}

// ---------------------------------------------------------------- the frame with real input

TShownMenuFrame::TShownMenuFrame(TRect bounds) {
  // Parked by a real move: a warp's late echo would carry the cursor back
  // here in the middle of a test.
  EXPECT_TRUE(Warp(POINT{1270, 1010}));
  Form = new TMenuFrame;
  Form->SetBoundsRect(bounds);
  Form->Show();
  EXPECT_TRUE(WaitVisible(Form->Handle()));
  EXPECT_TRUE(BringToFront(Form->Handle()));
  ProcessQueuedMessages();
}

TShownMenuFrame::~TShownMenuFrame() {
  if (TCustomdxBarControl* active = ActiveBarControl()) active->HideAll();
  Form->Free();
  ProcessQueuedMessages();
}

TdxBarItemControl* TShownMenuFrame::Title(const String& sub) const {
  return Form->Control(Form->MainMenu(), "Sub" + sub);
}

TdxBarSubMenuControl* TShownMenuFrame::Menu(const String& sub) const {
  return dynamic_cast<TdxBarSubMenuControl*>(Form->Sub(sub)->ItemLinks()->BarControl());
}

bool TShownMenuFrame::MenuShown(const String& sub) const {
  TdxBarSubMenuControl* m = Menu(sub);
  return m && m->HandleAllocated() && IsWindowVisible(m->Handle());
}

POINT TShownMenuFrame::FormPoint(POINT screen) const {
  ScreenToClient(Form->Handle(), &screen);
  return screen;
}

::testing::AssertionResult TShownMenuFrame::ClickAt(POINT screen) const {
  if (auto r = Warp(screen); !r) return r;
  return Click(Form->Handle(), FormPoint(screen));
}

// ---------------------------------------------------------------- the other program

TBarsHelper::TBarsHelper() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  String exe = path;
  exe = exe.substr(0, exe.find_last_of('\\') + 1) + "bars_helper.exe";
  String cmd = "\"" + exe + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_)) {
    ADD_FAILURE() << "could not start " << exe;
    process_ = PROCESS_INFORMATION{};
    return;
  }
  window_ = WaitForTopWindow("Bars helper", "", 10000, true);
  inFront_ = window_ && WaitUntil([&] { return GetForegroundWindow() == window_; }, 5000);
}

void TBarsHelper::Close() {
  if (!process_.hProcess) return;
  if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
  process_ = PROCESS_INFORMATION{};
  window_ = nullptr;
}

// ---------------------------------------------------------------- the frame with fake input

TFakeFrame::TFakeFrame() {
  SetCursorPos(1270, 1010);
  Form = new TMenuFrame;
  Form->Show();
  EXPECT_TRUE(WaitVisible(Form->Handle()));
  SetForegroundWindow(Form->Handle());
  ProcessQueuedMessages();
}

TFakeFrame::~TFakeFrame() {
  if (TCustomdxBarControl* active = ActiveBarControl()) active->HideAll();
  Form->Free();
  ProcessQueuedMessages();
}

TdxBarSubMenuControl* TFakeFrame::Menu(const String& sub) {
  return dynamic_cast<TdxBarSubMenuControl*>(Form->Sub(sub)->ItemLinks()->BarControl());
}

bool TFakeFrame::Shown(const String& sub) {
  TdxBarSubMenuControl* m = Menu(sub);
  return m && m->HandleAllocated() && IsWindowVisible(m->Handle());
}

TdxBarSubMenuControl* TFakeFrame::Open(const String& sub, bool byMouse) {
  TdxBarControl* main = MainMenu();
  main->BarGetFocus(Title(sub));
  main->SetOpenMenu(true);
  Title(sub)->ControlClick(byMouse);
  if (!byMouse)
    if (TdxBarSubMenuControl* m = Menu(sub))
      if (TdxBarItemLink* first = m->ItemLinks()->First()) m->SetKeySelectedItem(first->Control());
  return Menu(sub);
}

void TFakeFrame::Hover(TdxBarItemControl* c) {
  ASSERT_NE(c, nullptr);
  MoveTo(c->Parent(), Centre(c));
}

void TFakeFrame::MoveTo(TCustomdxBarControl* bar, TPoint client) {
  S.Cursor = bar->ClientToScreen(client);
  SendMessageA(bar->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
}

void TFakeFrame::Press(TCustomdxBarControl* bar, TPoint client) {
  S.Cursor = bar->ClientToScreen(client);
  S.KeysDown[VK_LBUTTON] = true;
  SendMessageA(bar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.x, client.y));
}

void TFakeFrame::Release(TCustomdxBarControl* bar, TPoint client) {
  S.KeysDown[VK_LBUTTON] = false;
  if (bar && BarControlExists(TdxBarControlRef(bar)) && bar->HandleAllocated())
    SendMessageA(bar->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
}

TPoint TFakeFrame::Centre(TdxBarItemControl* c) {
  TRect r = c->Parent()->GetItemRect(c);
  return TPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}
