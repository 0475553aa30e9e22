#include "Itemsfixture.h"

#include <algorithm>

#include "support/Input.h"
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
