#include <gtest/gtest.h>

#include <set>

#include "classlib/Menus.h"
#include "support/Testutil.h"

namespace {

struct TEntry {
  String text;
  UINT type = 0;
  UINT state = 0;
  UINT id = 0;
  HMENU sub = nullptr;
};

TEntry EntryAt(HMENU menu, int pos) {
  char buf[256] = "";
  MENUITEMINFOA mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
  mii.dwTypeData = buf;
  mii.cch = sizeof buf;
  EXPECT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(pos), TRUE, &mii)) << "entry " << pos;
  return {(mii.fType & MFT_SEPARATOR) ? String("-") : String(buf), mii.fType, mii.fState, mii.wID, mii.hSubMenu};
}

// The entries' texts, separators as "-".
std::vector<String> Texts(HMENU menu) {
  std::vector<String> v;
  for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) v.push_back(EntryAt(menu, i).text);
  return v;
}

void InsertForeign(HMENU menu, int pos, UINT id, const char* text) {
  MENUITEMINFOA mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_ID | MIIM_STRING;
  mii.wID = id;
  mii.dwTypeData = const_cast<char*>(text);
  ASSERT_TRUE(InsertMenuItemA(menu, static_cast<UINT>(pos), TRUE, &mii));
}

// Records what runs, in order.
class TLog : public TObject {
 public:
  void Click(TObject* sender) {
    auto* item = dynamic_cast<TMenuItem*>(sender);
    Lines.push_back("click " + (item ? item->Caption() : String("?")));
    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    if (GetGUIThreadInfo(GetCurrentThreadId(), &gti) && (gti.flags & GUI_INMENUMODE)) ClickedInMenuLoop = true;
  }
  void Execute(TObject* sender) {
    auto* action = dynamic_cast<TBasicAction*>(sender);
    Lines.push_back("execute for " + ComponentName(action ? action->ActionComponent() : nullptr));
  }
  void Update(TObject*) { Lines.push_back("update"); }
  void Popup(TObject*) { Lines.push_back("popup"); }
  static String ComponentName(TComponent* c) {
    auto* item = dynamic_cast<TMenuItem*>(c);
    return item ? item->Caption() : String(c ? "other" : "none");
  }
  std::vector<String> Lines;
  bool ClickedInMenuLoop = false;
};

class MenuTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetMenuMessageHook(nullptr);
    Owner.DestroyComponents();
  }
  TMenuItem* Add(TMenuItem* parent, const String& caption) {
    auto* item = new TMenuItem(&Owner);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
  }
  TMenuItem* AddClicked(TMenuItem* parent, const String& caption) {
    TMenuItem* item = Add(parent, caption);
    item->OnClick = {&Log, &TLog::Click};
    return item;
  }
  TComponent Owner{nullptr};
  TLog Log;
};

// ---------------------------------------------------------------- timers inside the menu loop

std::vector<std::function<void()>>& TimerActions() {
  static std::vector<std::function<void()>> v;
  return v;
}

void CALLBACK RunTimerAction(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  auto& v = TimerActions();
  if (v.empty()) return;
  auto action = v.front();
  v.erase(v.begin());
  action();
}

// A thread timer fires inside the modal loop of a menu (it has no window).
void After(UINT ms, std::function<void()> action) {
  TimerActions().push_back(std::move(action));
  SetTimer(nullptr, 0, ms, RunTimerAction);
}

// Keys for the menu's loop, which reads the thread's queue: posted there
// rather than typed, so that no other program on the display can take them.
void SendKeys(const std::vector<WORD>& keys) {
  for (WORD k : keys) {
    auto data = static_cast<LPARAM>(MapVirtualKeyA(k, MAPVK_VK_TO_VSC) << 16 | 1);
    PostMessageA(PopupListWindow(), WM_KEYDOWN, k, data);
    PostMessageA(PopupListWindow(), WM_KEYUP, k, data | 0xC0000000);
  }
}

// Opens the popup and hands it the keys; a menu still open after
// three seconds is closed so that no run waits for a person.
void PopupWithKeys(TPopupMenu* menu, std::vector<WORD> keys, std::function<void()> whileShown = nullptr) {
  TimerActions().clear();
  After(50, [keys, whileShown] {
    if (whileShown) whileShown();
    SendKeys(keys);
  });
  UINT_PTR watchdog = SetTimer(nullptr, 0, 3000, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    ADD_FAILURE() << "the menu was still open";
    EndMenu();
  });
  menu->Popup(100, 100);
  KillTimer(nullptr, watchdog);
  TimerActions().clear();
}

}  // namespace

// ---------------------------------------------------------------- captions

TEST(MenuCaption, HotkeysAndStripping) {
  struct Case {
    const char* caption;
    const char* stripped;
    char hotkey;
  };
  const Case cases[] = {
      {"&Open", "Open", 'O'},          {"Save &as", "Save as", 'A'}, {"Fish && &Chips", "Fish & Chips", 'C'},
      {"&&Only", "&Only", 0},          {"Trailing&", "Trailing", 0}, {"Plain", "Plain", 0},
      {"&x && &y", "x & y", 'X'},      {"", "", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StripHotkey(c.caption), c.stripped) << c.caption;
    EXPECT_EQ(GetHotkey(c.caption), c.hotkey) << c.caption;
  }
  EXPECT_STREQ(cLineCaption, "-");
}

// ---------------------------------------------------------------- the HMENU

TEST_F(MenuTest, EntriesShowTheItems) {
  auto* menu = new TPopupMenu(&Owner);
  TMenuItem* root = menu->Items();
  TMenuItem* open = Add(root, "&Open");
  open->SetShortCut(scCtrl | 'O');
  TMenuItem* line = Add(root, "-");
  TMenuItem* check = Add(root, "Check");
  check->SetChecked(true);
  TMenuItem* r1 = Add(root, "R1");
  TMenuItem* r2 = Add(root, "R2");
  for (TMenuItem* r : {r1, r2}) {
    r->SetRadioItem(true);
    r->SetGroupIndex(1);
  }
  r2->SetChecked(true);
  TMenuItem* def = Add(root, "Default");
  def->SetDefault(true);
  TMenuItem* off = Add(root, "Off");
  off->SetEnabled(false);
  Add(root, "Hidden")->SetVisible(false);
  TMenuItem* column = Add(root, "Column");
  column->SetBreak(mbBreak);
  TMenuItem* bar = Add(root, "Bar");
  bar->SetBreak(mbBarBreak);
  TMenuItem* more = Add(root, "&More");
  TMenuItem* inner = Add(more, "Inner");
  inner->SetShortCut(scShift | scCtrl | VK_F10);

  HMENU h = menu->Handle();
  ASSERT_TRUE(IsMenu(h));
  struct Expected {
    TMenuItem* item;
    const char* text;
    UINT type;
    UINT state;
  };
  const Expected expected[] = {
      {open, "&Open\tCtrl+O", MFT_STRING, 0},
      {line, "-", MFT_SEPARATOR, 0},
      {check, "Check", MFT_STRING, MFS_CHECKED},
      {r1, "R1", MFT_RADIOCHECK, 0},
      {r2, "R2", MFT_RADIOCHECK, MFS_CHECKED},
      {def, "Default", MFT_STRING, MFS_DEFAULT},
      {off, "Off", MFT_STRING, MFS_GRAYED},
      {column, "Column", MFT_MENUBREAK, 0},
      {bar, "Bar", MFT_MENUBARBREAK, 0},
      {more, "&More", MFT_STRING, 0},
  };
  ASSERT_EQ(GetMenuItemCount(h), static_cast<int>(std::size(expected)));  // the hidden item is left out
  for (int i = 0; i < static_cast<int>(std::size(expected)); ++i) {
    TEntry e = EntryAt(h, i);
    EXPECT_EQ(e.text, expected[i].text) << i;
    EXPECT_EQ(e.type, expected[i].type) << i;
    EXPECT_EQ(e.state, expected[i].state) << i;
    EXPECT_EQ(e.id, expected[i].item->Command()) << i;
    EXPECT_EQ(e.sub, expected[i].item == more ? more->Handle() : nullptr) << i;
  }
  EXPECT_EQ(GetMenuDefaultItem(h, FALSE, GMDI_USEDISABLED), def->Command());
  EXPECT_EQ(Texts(more->Handle()), std::vector<String>{"Inner\tShift+Ctrl+F10"});

  std::set<UINT> ids;
  for (int i = 0; i < root->Count(); ++i) ids.insert(root->Items(i)->Command());
  EXPECT_EQ(ids.size(), static_cast<size_t>(root->Count()));
  EXPECT_EQ(ids.count(inner->Command()), 0u);
}

TEST_F(MenuTest, ChangesUpdateTheSameHandleAndKeepForeignEntries) {
  auto* menu = new TPopupMenu(&Owner);
  TMenuItem* root = menu->Items();
  TMenuItem* a = Add(root, "A");
  TMenuItem* b = Add(root, "B");
  TMenuItem* c = Add(root, "C");
  HMENU h = menu->Handle();
  InsertForeign(h, 1, 1000, "Shell");
  using V = std::vector<String>;
  ASSERT_EQ(Texts(h), (V{"A", "Shell", "B", "C"}));

  b->SetCaption("B2");
  c->SetVisible(false);
  EXPECT_EQ(Texts(h), (V{"A", "Shell", "B2"}));
  c->SetVisible(true);
  EXPECT_EQ(Texts(h), (V{"A", "Shell", "B2", "C"}));
  auto* d = new TMenuItem(&Owner);
  d->SetCaption("D");
  root->Insert(0, d);
  EXPECT_EQ(Texts(h), (V{"D", "A", "Shell", "B2", "C"}));
  a->SetMenuIndex(3);
  EXPECT_EQ(root->IndexOf(a), 3);
  EXPECT_EQ(Texts(h), (V{"D", "Shell", "B2", "C", "A"}));

  d->SetChecked(true);
  d->SetShortCut(scCtrl | 'D');
  d->SetEnabled(false);
  TEntry e = EntryAt(h, 0);
  EXPECT_EQ(e.text, "D\tCtrl+D");
  EXPECT_EQ(e.state, static_cast<UINT>(MFS_CHECKED | MFS_GRAYED));
  d->SetEnabled(true);
  d->SetCaption("-");
  EXPECT_EQ(EntryAt(h, 0).type, static_cast<UINT>(MFT_SEPARATOR));

  root->Remove(b);  // taken out, not freed
  EXPECT_EQ(b->Parent(), nullptr);
  EXPECT_EQ(Texts(h), (V{"-", "Shell", "C", "A"}));
  root->Delete(root->IndexOf(a));
  EXPECT_EQ(Texts(h), (V{"-", "Shell", "C"}));

  // C turns into a sub-menu and back; its own HMENU survives both.
  TMenuItem* x = Add(c, "X");
  EXPECT_EQ(EntryAt(h, 2).sub, c->Handle());
  HMENU sub = c->Handle();
  c->Remove(x);
  EXPECT_EQ(EntryAt(h, 2).sub, nullptr);
  EXPECT_TRUE(IsMenu(sub));
  c->Add(x);
  EXPECT_EQ(EntryAt(h, 2).sub, sub);
  EXPECT_EQ(Texts(sub), V{"X"});

  root->Clear();
  EXPECT_EQ(root->Count(), 0);
  EXPECT_EQ(Texts(h), V{"Shell"});
  EXPECT_EQ(menu->Handle(), h);
  EXPECT_FALSE(IsMenu(sub));  // freed with C
  b->Free();
}

TEST_F(MenuTest, RadioGroupsDefaultAndAutoCheck) {
  auto* menu = new TPopupMenu(&Owner);
  TMenuItem* root = menu->Items();
  TMenuItem* r1 = Add(root, "R1");
  TMenuItem* r2 = Add(root, "R2");
  TMenuItem* r3 = Add(root, "R3");
  TMenuItem* plain = Add(root, "Plain");
  for (TMenuItem* r : {r1, r2, r3}) r->SetRadioItem(true);
  r1->SetGroupIndex(1);
  r2->SetGroupIndex(1);
  r3->SetGroupIndex(2);
  plain->SetGroupIndex(1);
  plain->SetChecked(true);
  r1->SetChecked(true);
  r3->SetChecked(true);
  r2->SetChecked(true);
  EXPECT_FALSE(r1->Checked());
  EXPECT_TRUE(r2->Checked());
  EXPECT_TRUE(r3->Checked());     // another group
  EXPECT_TRUE(plain->Checked());  // not a radio item

  r3->SetGroupIndex(1);  // joins while checked
  EXPECT_FALSE(r2->Checked());
  auto* r4 = new TMenuItem(&Owner);
  r4->SetRadioItem(true);
  r4->SetGroupIndex(1);
  r4->SetChecked(true);
  root->Add(r4);  // comes in checked
  EXPECT_FALSE(r3->Checked());
  HMENU h = menu->Handle();
  EXPECT_EQ(EntryAt(h, 2).state, 0u);
  EXPECT_EQ(EntryAt(h, 4).state, static_cast<UINT>(MFS_CHECKED));

  r1->SetAutoCheck(true);
  plain->SetAutoCheck(true);
  r1->Click();
  r1->Click();  // a radio item stays the checked one
  EXPECT_TRUE(r1->Checked());
  EXPECT_FALSE(r4->Checked());
  plain->Click();
  EXPECT_FALSE(plain->Checked());
  plain->Click();
  EXPECT_TRUE(plain->Checked());
  plain->SetEnabled(false);
  plain->Click();  // a disabled item does nothing
  EXPECT_TRUE(plain->Checked());

  r1->SetDefault(true);
  r2->SetDefault(true);
  EXPECT_FALSE(r1->Default());
  EXPECT_EQ(GetMenuDefaultItem(h, FALSE, GMDI_USEDISABLED), r2->Command());
}

TEST_F(MenuTest, TreeOperationsRefuseWhatWouldBreakTheTree) {
  auto* menu = new TPopupMenu(&Owner);
  TMenuItem* root = menu->Items();
  TMenuItem* file = Add(root, "&File");
  TMenuItem* open = Add(file, "&Open...");
  auto* loose = new TMenuItem(&Owner);
  EXPECT_THROW(root->Add(open), EListError);          // already in a menu
  EXPECT_THROW(open->Add(file), EListError);          // its own parent
  EXPECT_THROW(file->Add(file), EListError);          // itself
  EXPECT_THROW(file->Add(menu->Items()), EListError);  // a menu's root
  EXPECT_THROW(root->Insert(5, loose), EListError);
  EXPECT_THROW(root->Remove(loose), EListError);
  EXPECT_THROW(root->Items(1), EListError);
  EXPECT_THROW(root->Delete(-1), EListError);
  EXPECT_THROW(root->Add(nullptr), EListError);

  EXPECT_EQ(file->Find("open..."), open);
  EXPECT_EQ(file->Find("&OPEN..."), open);
  EXPECT_EQ(file->Find("Close"), nullptr);
  EXPECT_EQ(open->Parent(), file);
  EXPECT_EQ(open->GetParentMenu(), menu);
  EXPECT_EQ(loose->GetParentMenu(), nullptr);
  EXPECT_EQ(open->MenuIndex(), 0);
  EXPECT_EQ(loose->MenuIndex(), -1);

  // Freeing an item takes it out of its parent, with its sub-items.
  UINT openCommand = open->Command();
  HMENU fileMenu = file->Handle();
  HMENU rootMenu = menu->Handle();
  file->Free();
  EXPECT_EQ(root->Count(), 0);
  EXPECT_EQ(TMenu::FindCommand(openCommand), nullptr);
  EXPECT_FALSE(IsMenu(fileMenu));
  EXPECT_EQ(GetMenuItemCount(rootMenu), 0);
  menu->Free();
  EXPECT_FALSE(IsMenu(rootMenu));
}

// ---------------------------------------------------------------- actions

TEST_F(MenuTest, ItemFollowsItsActionUnlessOverridden) {
  auto* menu = new TPopupMenu(&Owner);
  TMenuItem* save = Add(menu->Items(), "x");
  auto* action = new TAction(&Owner);
  action->SetCaption("&Save");
  action->SetShortCut(scCtrl | 'S');
  action->SetHint("Saves the file");
  action->SetHelpContext(7);
  action->SetImageIndex(3);
  save->SetAction(action);
  EXPECT_EQ(save->Action(), action);
  EXPECT_EQ(save->Caption(), "&Save");
  EXPECT_EQ(save->ShortCut(), scCtrl | 'S');
  EXPECT_EQ(save->Hint(), "Saves the file");
  EXPECT_EQ(save->HelpContext(), 7);
  EXPECT_EQ(save->ImageIndex(), 3);
  HMENU h = menu->Handle();

  action->SetEnabled(false);
  action->SetChecked(true);
  action->SetShortCut(scShift | scCtrl | 'S');
  action->SetHint("Saves it");
  action->SetHelpContext(8);
  TEntry e = EntryAt(h, 0);
  EXPECT_EQ(e.text, "&Save\tShift+Ctrl+S");
  EXPECT_EQ(e.state, static_cast<UINT>(MFS_GRAYED | MFS_CHECKED));
  EXPECT_EQ(save->Hint(), "Saves it");
  EXPECT_EQ(save->HelpContext(), 8);
  action->SetVisible(false);
  EXPECT_EQ(GetMenuItemCount(h), 0);
  action->SetVisible(true);
  EXPECT_EQ(GetMenuItemCount(h), 1);

  // Set on the item, the caption stays the item's own; the rest follows.
  save->SetCaption("Keep");
  EXPECT_FALSE(save->ActionLink()->IsCaptionLinked());
  EXPECT_TRUE(save->ActionLink()->IsEnabledLinked());
  action->SetCaption("Save &as");
  action->SetEnabled(true);
  EXPECT_EQ(save->Caption(), "Keep");
  EXPECT_TRUE(save->Enabled());
  EXPECT_EQ(EntryAt(h, 0).text, "Keep\tShift+Ctrl+S");

  // An action freed first leaves the item as it was.
  action->Free();
  EXPECT_EQ(save->Action(), nullptr);
  EXPECT_EQ(save->Caption(), "Keep");
  save->Click();
}

// The main window's four view actions: one group, one checked at a time,
// and their menu entries follow; an action of another group keeps its mark.
TEST_F(MenuTest, ActionsOfOneGroupAreCheckedOneAtATime) {
  auto* list = new TActionList(&Owner);
  auto* menu = new TPopupMenu(&Owner);
  std::vector<TAction*> views;
  for (const char* caption : {"Lar&ge Icons", "S&mall Icons", "&List", "&Details"}) {
    auto* a = new TAction(&Owner);
    a->SetActionList(list);
    a->SetCaption(caption);
    a->SetGroupIndex(10);
    Add(menu->Items(), "x")->SetAction(a);
    views.push_back(a);
  }
  auto* other = new TAction(&Owner);
  other->SetActionList(list);
  other->SetCaption("&Toolbar");
  other->SetChecked(true);
  Add(menu->Items(), "x")->SetAction(other);
  auto checkedEntries = [&] {
    std::vector<int> v;
    for (int i = 0; i < GetMenuItemCount(menu->Handle()); ++i)
      if (EntryAt(menu->Handle(), i).state & MFS_CHECKED) v.push_back(i);
    return v;
  };
  views[3]->SetChecked(true);
  EXPECT_EQ(checkedEntries(), (std::vector<int>{3, 4}));
  views[1]->SetChecked(true);
  EXPECT_EQ(checkedEntries(), (std::vector<int>{1, 4}));
  EXPECT_FALSE(views[3]->Checked());
  EXPECT_TRUE(menu->Items()->Items(1)->Checked());
  views[1]->SetChecked(false);
  EXPECT_EQ(checkedEntries(), std::vector<int>{4}) << "unchecking leaves the group without a mark";
}

TEST_F(MenuTest, ClickRunsTheActionOrTheItemsOwnHandler) {
  auto* menu = new TPopupMenu(&Owner);
  TMenuItem* item = Add(menu->Items(), "x");
  auto* action = new TAction(&Owner);
  action->SetCaption("Run");
  action->OnExecute = {&Log, &TLog::Execute};
  item->SetAction(action);
  EXPECT_TRUE(item->OnClick == action->OnExecute);
  item->Click();
  EXPECT_EQ(Log.Lines, std::vector<String>{"execute for Run"});
  EXPECT_EQ(action->ActionComponent(), nullptr);

  // An action that checks itself: the item shows it.
  action->SetAutoCheck(true);
  item->SetAutoCheck(true);
  item->Click();
  EXPECT_TRUE(action->Checked());
  EXPECT_TRUE(item->Checked());
  item->Click();
  EXPECT_FALSE(item->Checked());

  action->SetEnabled(false);
  Log.Lines.clear();
  item->Click();
  EXPECT_TRUE(Log.Lines.empty());
  action->SetEnabled(true);

  item->OnClick = {&Log, &TLog::Click};
  item->Click();
  EXPECT_EQ(Log.Lines, std::vector<String>{"click Run"});
}

TEST_F(MenuTest, ItemFreedByItsOwnActionHandler) {
  auto* menu = new TPopupMenu(&Owner);
  TMenuItem* item = Add(menu->Items(), "Close");
  auto* action = new TAction(&Owner);
  action->OnExecute = [&](TObject*) { menu->Free(); };
  item->SetAction(action);
  UINT command = item->Command();
  item->Click();
  EXPECT_EQ(TMenu::FindCommand(command), nullptr);
  EXPECT_EQ(action->ActionComponent(), nullptr);
}

// ---------------------------------------------------------------- shortcuts and commands

TEST_F(MenuTest, ShortCutClicksTheEnabledItemAfterItsActionUpdate) {
  auto* menu = new TMainMenu(&Owner);
  TMenuItem* edit = Add(menu->Items(), "&Edit");
  TMenuItem* first = AddClicked(edit, "First");
  TMenuItem* second = AddClicked(menu->Items(), "Second");
  first->SetShortCut(scCtrl | 'J');
  second->SetShortCut(scCtrl | 'J');
  first->SetEnabled(false);
  EXPECT_EQ(menu->FindItem(scCtrl | 'J', fkShortCut), first);  // tree order
  EXPECT_TRUE(menu->IsShortCut('J', ssCtrl));
  EXPECT_EQ(Log.Lines, std::vector<String>{"click Second"});

  // The action is updated first: its update enables it.
  auto* action = new TAction(&Owner);
  action->SetCaption("K");
  action->SetShortCut(scCtrl | 'K');
  action->SetEnabled(false);
  action->OnUpdate = [&](TObject*) { action->SetEnabled(true); };
  action->OnExecute = {&Log, &TLog::Execute};
  TMenuItem* kitem = Add(edit, "K");
  kitem->SetAction(action);
  EXPECT_FALSE(kitem->Enabled());
  Log.Lines.clear();
  EXPECT_TRUE(menu->IsShortCut('K', ssCtrl));
  EXPECT_EQ(Log.Lines, std::vector<String>{"execute for K"});

  // Nothing clickable: inside a disabled sub-menu, or no such shortcut.
  edit->SetEnabled(false);
  second->SetShortCut(0);
  Log.Lines.clear();
  EXPECT_FALSE(menu->IsShortCut('K', ssCtrl));
  EXPECT_FALSE(menu->IsShortCut('J', ssCtrl));
  EXPECT_FALSE(menu->IsShortCut('Q', ssCtrl));
  EXPECT_FALSE(menu->IsShortCut('J', TShiftState()));
  EXPECT_TRUE(Log.Lines.empty());
}

TEST_F(MenuTest, CommandsAndHandlesAcrossMenus) {
  auto* popup = new TPopupMenu(&Owner);
  auto* main = new TMainMenu(&Owner);
  TMenuItem* p1 = AddClicked(popup->Items(), "P1");
  TMenuItem* file = Add(main->Items(), "&File");
  TMenuItem* m1 = AddClicked(file, "M1");
  auto* loose = new TMenuItem(&Owner);

  EXPECT_TRUE(popup->DispatchCommand(p1->Command()));
  EXPECT_FALSE(popup->DispatchCommand(m1->Command()));
  EXPECT_TRUE(main->DispatchCommand(m1->Command()));
  EXPECT_EQ(Log.Lines, (std::vector<String>{"click P1", "click M1"}));
  EXPECT_EQ(TMenu::FindCommand(m1->Command()), m1);
  EXPECT_EQ(TMenu::FindCommand(loose->Command()), nullptr);
  EXPECT_EQ(main->FindItem(m1->Command(), fkCommand), m1);
  EXPECT_EQ(main->FindItem(p1->Command(), fkCommand), nullptr);
  EXPECT_EQ(main->FindItem(reinterpret_cast<UINT_PTR>(file->Handle()), fkHandle), file);
  EXPECT_EQ(main->FindItem(reinterpret_cast<UINT_PTR>(main->Handle()), fkHandle), main->Items());

  // The menu bar is a window's menu.
  HWND wnd = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(SetMenu(wnd, main->Handle()));
  EXPECT_EQ(GetMenu(wnd), main->Handle());
  EXPECT_EQ(GetSubMenu(main->Handle(), 0), file->Handle());
  SetMenu(wnd, nullptr);
  DestroyWindow(wnd);

  // Before a sub-menu opens: its OnClick, then its items' actions update.
  auto* action = new TAction(&Owner);
  action->OnUpdate = {&Log, &TLog::Update};
  Add(file, "Acted")->SetAction(action);
  file->OnClick = {&Log, &TLog::Popup};
  Log.Lines.clear();
  EXPECT_TRUE(main->DispatchPopup(file->Handle()));
  EXPECT_EQ(Log.Lines, (std::vector<String>{"popup", "update"}));
  EXPECT_FALSE(main->DispatchPopup(popup->Handle()));

  // WM_COMMAND at the popup list window: the hook first, then the item.
  std::vector<UINT> hooked;
  bool swallow = true;
  SetMenuMessageHook([&](TMessage& msg, bool& handled) {
    if (msg.Msg != WM_COMMAND) return;
    hooked.push_back(LOWORD(msg.WParam));
    handled = swallow;
  });
  Log.Lines.clear();
  SendMessageA(PopupListWindow(), WM_COMMAND, p1->Command(), 0);
  EXPECT_TRUE(Log.Lines.empty());
  swallow = false;
  SendMessageA(PopupListWindow(), WM_COMMAND, p1->Command(), 0);
  EXPECT_EQ(Log.Lines, std::vector<String>{"click P1"});
  EXPECT_EQ(hooked, (std::vector<UINT>{p1->Command(), p1->Command()}));
}

// ---------------------------------------------------------------- a popup that really shows

TEST_F(MenuTest, PopupRunsTheChosenItemAfterTheMenuLoop) {
  auto* menu = new TPopupMenu(&Owner);
  menu->OnPopup = {&Log, &TLog::Popup};
  AddClicked(menu->Items(), "One");
  AddClicked(menu->Items(), "Two");
  AddClicked(menu->Items(), "Three");
  std::vector<HMENU> opened;
  SetMenuMessageHook([&](TMessage& msg, bool&) {
    if (msg.Msg == WM_INITMENUPOPUP) {
      opened.push_back(reinterpret_cast<HMENU>(msg.WParam));
      Log.Lines.push_back("init");
    }
  });
  bool inMenuMode = false;
  PopupWithKeys(menu, {VK_DOWN, VK_DOWN, VK_RETURN}, [&] {
    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    inMenuMode = GetGUIThreadInfo(GetCurrentThreadId(), &gti) && (gti.flags & GUI_INMENUMODE);
  });
  Log.Lines.push_back("returned");
  EXPECT_TRUE(inMenuMode);  // so the check in the handler means something
  EXPECT_EQ(Log.Lines, (std::vector<String>{"popup", "init", "click Two", "returned"}));
  EXPECT_EQ(opened, std::vector<HMENU>{menu->Handle()});
  EXPECT_FALSE(Log.ClickedInMenuLoop);
  EXPECT_EQ(menu->PopupPoint(), TPoint(100, 100));
}

TEST_F(MenuTest, CancelledPopupRunsNothing) {
  auto* menu = new TPopupMenu(&Owner);
  AddClicked(menu->Items(), "One");
  TimerActions().clear();
  After(50, [] { PostMessageA(PopupListWindow(), WM_CANCELMODE, 0, 0); });
  UINT_PTR watchdog = SetTimer(nullptr, 0, 3000, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    ADD_FAILURE() << "WM_CANCELMODE left the menu open";
    EndMenu();
  });
  menu->Popup(50, 50);
  KillTimer(nullptr, watchdog);
  EXPECT_TRUE(Log.Lines.empty());
}

TEST_F(MenuTest, SubMenuOpensWithItsActionsUpdated) {
  auto* menu = new TPopupMenu(&Owner);
  TMenuItem* more = Add(menu->Items(), "&More");
  more->OnClick = {&Log, &TLog::Popup};
  auto* action = new TAction(&Owner);
  action->SetCaption("Inner");
  action->SetEnabled(false);
  action->OnUpdate = [&](TObject*) {
    Log.Lines.push_back("update");
    action->SetEnabled(true);
  };
  action->OnExecute = {&Log, &TLog::Execute};
  Add(more, "x")->SetAction(action);
  PopupWithKeys(menu, {VK_DOWN, VK_RIGHT, VK_RETURN});
  // Enabled by the update before it showed; Execute updates once more.
  EXPECT_EQ(Log.Lines, (std::vector<String>{"popup", "update", "update", "execute for Inner"}));
}

TEST_F(MenuTest, ForeignEntriesAddedInOnPopupSurviveAndReachTheHook) {
  auto* menu = new TPopupMenu(&Owner);
  TMenuItem* mine = AddClicked(menu->Items(), "Mine");
  auto* action = new TAction(&Owner);
  action->OnUpdate = [&](TObject*) { action->SetCaption("Mine, updated"); };
  action->SetCaption("Mine");
  mine->SetAction(action);
  mine->OnClick = {&Log, &TLog::Click};
  menu->OnPopup = [&](TObject*) { InsertForeign(menu->Handle(), 0, 1000, "Shell verb"); };
  std::vector<UINT> commands;
  SetMenuMessageHook([&](TMessage& msg, bool& handled) {
    if (msg.Msg == WM_COMMAND) {
      commands.push_back(LOWORD(msg.WParam));
      handled = true;
    }
  });
  std::vector<String> shown;
  PopupWithKeys(menu, {VK_DOWN, VK_RETURN}, [&] { shown = Texts(menu->Handle()); });
  EXPECT_EQ(shown, (std::vector<String>{"Shell verb", "Mine, updated"}));
  EXPECT_EQ(commands, std::vector<UINT>{1000});
  EXPECT_TRUE(Log.Lines.empty());
}

TEST_F(MenuTest, ItemThatFreesItsPopupMenu) {
  auto* menu = new TPopupMenu(&Owner);
  TMenuItem* item = Add(menu->Items(), "Free");
  UINT command = item->Command();
  item->OnClick = [&](TObject*) { menu->Free(); };
  PopupWithKeys(menu, {VK_DOWN, VK_RETURN});
  EXPECT_EQ(TMenu::FindCommand(command), nullptr);
  EXPECT_EQ(Owner.ComponentCount(), 0);
}

TEST_F(MenuTest, PopupComponentIsForgottenWhenFreed) {
  auto* menu = new TPopupMenu(&Owner);
  auto* control = new TComponent(nullptr);
  menu->SetPopupComponent(control);
  EXPECT_EQ(menu->PopupComponent(), control);
  control->Free();
  EXPECT_EQ(menu->PopupComponent(), nullptr);
  EXPECT_TRUE(menu->AutoPopup());
}
