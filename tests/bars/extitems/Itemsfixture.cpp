#include "Itemsfixture.h"

#include <algorithm>

#include "support/Input.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

struct TFamily {
  const char* Name;
  int Rank;
  TItemsMaker Maker;
};

std::vector<TFamily>& Families() {
  static std::vector<TFamily> families;
  return families;
}

TdxBarItemControl* ControlIn(TdxBarItemLinks* links, const String& name) {
  for (int i = 0; links && i < links->Count(); ++i)
    if (links->Items(i)->Item() && links->Items(i)->Item()->Name() == name) return links->Items(i)->Control();
  return nullptr;
}

}  // namespace

TItemsFamily::TItemsFamily(const char* name, int rank, TItemsMaker maker) {
  Families().push_back({name, rank, maker});
  std::stable_sort(Families().begin(), Families().end(),
                   [](const TFamily& a, const TFamily& b) { return a.Rank < b.Rank; });
}

TItemsForm::TItemsForm(TComponent* owner) : TForm(owner) {
  SetName("ItemsForm");
  SetCaption("Extended items");
  SetBounds(20, 20, 900, 480);
  EndLoading();
  Bar1 = new TdxBarManager(this);
  Bar1->SetName("Bar1");
  Bar1->Categories()->Add("Default");
  Bar1->SetMenusShowRecentItemsFirst(false);
  ItemsMenu = new TdxBarSubItem(this);
  ItemsMenu->SetName("SubItems");
  ItemsMenu->SetCaption("&Items");
  ItemsMenu->SetCategory(0);
  MainMenu = Bar1->Bars()->Add();
  MainMenu->SetCaption("Main Menu");
  MainMenu->SetIsMainMenu(true);
  MainMenu->SetDockingStyle(dsTop);
  MainMenu->SetRow(0);
  MainMenu->ItemLinks()->Add()->SetItem(ItemsMenu);
  Toolbar = Bar1->Bars()->Add();
  Toolbar->SetCaption("Items");
  Toolbar->SetDockingStyle(dsTop);
  Toolbar->SetRow(1);
  Toolbar->SetMultiLine(true);
  for (const TFamily& f : Families())
    for (TdxBarItem* item : f.Maker(this)) {
      item->SetCategory(0);
      Toolbar->ItemLinks()->Add()->SetItem(item);
      ItemsMenu->ItemLinks()->Add()->SetItem(item);
    }
  MainMenu->SetVisible(true);
  Toolbar->SetVisible(true);
}

void TItemsForm::ItemClick(TObject* sender) {
  if (auto* c = dynamic_cast<TComponent*>(sender)) Clicked.push_back(c->Name());
}

TdxBarItemControl* TItemsForm::ToolbarControl(const String& name) const { return ControlIn(Toolbar->ItemLinks(), name); }

TdxBarItemControl* TItemsForm::MenuControl(const String& name) const {
  return Menu() ? ControlIn(ItemsMenu->ItemLinks(), name) : nullptr;
}

TdxBarSubMenuControl* TItemsForm::Menu() const {
  auto* m = dynamic_cast<TdxBarSubMenuControl*>(ItemsMenu->ItemLinks()->BarControl());
  return m && m->HandleAllocated() && IsWindowVisible(m->Handle()) ? m : nullptr;
}

TRect TItemsForm::ScreenRect(TdxBarItemControl* control) {
  return control ? control->Parent()->GetItemScreenRect(control) : TRect();
}

POINT TItemsForm::At(TdxBarItemControl* control, int dx, int dy) {
  TRect r = ScreenRect(control);
  if (dx < 0) dx = r.Width() / 2;
  if (dy < 0) dy = r.Height() / 2;
  return POINT{r.left + dx, r.top + dy};
}

// ---------------------------------------------------------------- shown

TShownItemsForm::TShownItemsForm() {
  SetCursorPos(1270, 1010);
  EXPECT_TRUE(MoveTo(POINT{1270, 1010}));
  Form = new TItemsForm;
  Form->Show();
  EXPECT_TRUE(WaitVisible(Form->Handle()));
  EXPECT_TRUE(BringToFront(Form->Handle()));
  ProcessQueuedMessages();
}

TShownItemsForm::~TShownItemsForm() {
  if (TCustomdxBarControl* active = ActiveBarControl()) active->HideAll();
  Form->Free();
  ProcessQueuedMessages();
}

TdxBarSubMenuControl* TShownItemsForm::OpenMenu() {
  TdxBarItemControl* title = ControlIn(Form->MainMenu->ItemLinks(), "SubItems");
  EXPECT_NE(title, nullptr);
  if (!title) return nullptr;
  EXPECT_TRUE(Click(title->Parent()->Handle(), [&] {
    TRect r = title->Parent()->GetItemRect(title);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }()));
  EXPECT_TRUE(WaitUntil([&] { return Form->Menu() != nullptr; }, 3000));
  ProcessQueuedMessages();
  return Form->Menu();
}

bool TShownItemsForm::CloseMenu() {
  for (int i = 0; i < 3 && ActiveBarControl(); ++i) {
    if (!KeyChord({VK_ESCAPE})) return false;
    WaitInputProcessed();
  }
  return WaitUntil([&] { return Form->Menu() == nullptr; }, 3000);
}

// ---------------------------------------------------------------- placed by the test

namespace {

TdxBarItemLink* LinkOf(TdxBarItemLinks* links, TdxBarItem* item) {
  for (int i = 0; i < links->Count(); ++i)
    if (links->Items(i)->Item() == item) return links->Items(i);
  return nullptr;
}

}  // namespace

TItemsFixture::TItemsFixture(TRect bounds) {
  // The cursor parked away from the form.
  SetCursorPos(1270, 1010);
  Form = new TBarsForm;
  Form->SetCaption("Items");
  Form->Manager->SetMenusShowRecentItemsFirst(false);
  Form->Manager->Categories()->Add("Items");
  ItemsMenu = Form->SubItem("SubItems", "&Items");
  ItemsMenu->SetCategory(0);
  MainMenu = Form->AddBar("Main Menu");
  MainMenu->SetIsMainMenu(true);
  MainMenu->SetDockingStyle(dsTop);
  MainMenu->ItemLinks()->Add()->SetItem(ItemsMenu);
  Toolbar = Form->AddBar("Items");
  Toolbar->SetDockingStyle(dsTop);
  Form->SetBoundsRect(bounds);
  Form->Show();
  EXPECT_TRUE(WaitVisible(Form->Handle()));
  // A bar shown docks in a new first row: the toolbar goes below the menu.
  Toolbar->SetVisible(true);
  MainMenu->SetVisible(true);
  EXPECT_TRUE(BringToFront(Form->Handle()));
  ProcessQueuedMessages();
}

TItemsFixture::~TItemsFixture() {
  if (TCustomdxBarControl* active = ActiveBarControl()) active->HideAll();
  if (IsWindowVisible(Form->Handle())) SaveScreenshot(Form->Handle());
  Form->Free();
  ProcessQueuedMessages();
}

void TItemsFixture::Place(TdxBarItem* item, bool onToolbar, bool inMenu, bool beginGroup) {
  if (item->Category() < 0) item->SetCategory(0);
  for (auto [place, links] : {std::pair{onToolbar, Toolbar->ItemLinks()}, std::pair{inMenu, ItemsMenu->ItemLinks()}}) {
    if (!place) continue;
    TdxBarItemLink* link = links->Add();
    link->SetItem(item);
    link->SetBeginGroup(beginGroup);
  }
  if (TdxBarControl* bar = Toolbar->Control()) bar->RepaintBar();
  ProcessQueuedMessages();
}

TdxBarItemLink* TItemsFixture::ToolbarLink(TdxBarItem* item) const { return LinkOf(Toolbar->ItemLinks(), item); }
TdxBarItemLink* TItemsFixture::MenuLink(TdxBarItem* item) const { return LinkOf(ItemsMenu->ItemLinks(), item); }

TdxBarItemControl* TItemsFixture::ToolbarControl(TdxBarItem* item) const {
  TdxBarItemLink* link = ToolbarLink(item);
  return link ? link->Control() : nullptr;
}

TdxBarItemControl* TItemsFixture::MenuControl(TdxBarItem* item) const {
  TdxBarItemLink* link = MenuLink(item);
  return link && Menu() ? link->Control() : nullptr;
}

HWND TItemsFixture::ToolbarWindow() const { return Toolbar->Control() ? Toolbar->Control()->Handle() : nullptr; }

TdxBarSubMenuControl* TItemsFixture::Menu() const {
  auto* menu = dynamic_cast<TdxBarSubMenuControl*>(ItemsMenu->ItemLinks()->BarControl());
  return menu && menu->HandleAllocated() && IsWindowVisible(menu->Handle()) ? menu : nullptr;
}

TdxBarSubMenuControl* TItemsFixture::OpenMenu() {
  TdxBarItemControl* title = MainMenu->ItemLinks()->Items(0)->Control();
  if (!title || !ClickOn(title, Centre(title))) return nullptr;
  WaitUntil([&] { return Menu() != nullptr; }, 2000);
  return Menu();
}

POINT TItemsFixture::Centre(TdxBarItemControl* control) {
  TRect r = control->Parent()->GetItemScreenRect(control);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

POINT TItemsFixture::At(TdxBarItemControl* control, int dx, int dy) {
  TRect r = control->Parent()->GetItemScreenRect(control);
  return POINT{r.left + dx, r.top + dy};
}

::testing::AssertionResult TItemsFixture::ClickOn(TdxBarItemControl* control, POINT screen) {
  // A menu never comes to the front: the form it belongs to does.
  return ClickScreen(GetAncestor(control->Parent()->Handle(), GA_ROOTOWNER), screen);
}

::testing::AssertionResult TItemsFixture::ClickScreen(HWND form, POINT screen) {
  ScreenToClient(form, &screen);
  return Click(form, screen);
}
