#include "Itemsfixture.h"

#include "support/Input.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

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
