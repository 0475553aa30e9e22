// The toolbars list, the MRU list and the in-place sub item in the menu of
// a shown form, through real input.
#include "Itemsfixture.h"
#include "support/Input.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// The captions and check marks of a menu's visible entries: "Items+",
// "Second-", "&Customize...".
String Entries(TdxBarItemLinks* links) {
  String s;
  for (int i = 0; i < links->VisibleItemCount(); ++i) {
    TdxBarItem* item = links->VisibleItems(i)->Item();
    s += (i ? " " : "") + item->Caption();
    if (auto* b = dynamic_cast<TdxBarButton*>(item); b && b->ButtonStyle() == bsChecked) s += b->Down() ? "+" : "-";
  }
  return s;
}

TdxBarSubMenuControl* SubMenuOf(TCustomdxBarSubItem* item) {
  auto* menu = dynamic_cast<TdxBarSubMenuControl*>(item->ItemLinks()->BarControl());
  return menu && menu->HandleAllocated() && IsWindowVisible(menu->Handle()) ? menu : nullptr;
}

}  // namespace

TEST(BarsToolbarsListInput, ItsMenuShowsTheBarsAsTheyAreAndAClickShowsOrHidesOne) {
  TItemsFixture f;
  f.Form->Manager->SetCanCustomize(true);
  TdxBar* second = f.Form->AddBar("Second");
  second->SetDockingStyle(dsBottom);
  second->SetVisible(true);
  TdxBar* third = f.Form->AddBar("Third");
  third->SetDockingStyle(dsBottom);
  TdxBar* hidden = f.Form->AddBar("Hidden");
  hidden->SetHidden(true);
  auto* list = new TdxBarToolbarsListItem(f.Form);
  list->SetName("ToolbarsList");
  list->SetCaption("&Toolbars");
  f.Place(list, false, true);
  EXPECT_FALSE(list->HasDesignTimeLinks());

  auto open = [&]() -> TdxBarSubMenuControl* {
    if (!f.Menu() && !f.OpenMenu()) return nullptr;
    TdxBarItemControl* c = f.MenuControl(list);
    if (!c || !TItemsFixture::ClickOn(c, TItemsFixture::Centre(c))) return nullptr;
    WaitUntil([&] { return SubMenuOf(list) != nullptr; }, 2000);
    return SubMenuOf(list);
  };
  ASSERT_NE(open(), nullptr);
  EXPECT_EQ(Entries(list->ItemLinks()), "Items+ Second+ Third- &Customize...");
  SaveScreenshot(SubMenuOf(list)->Handle(), "open");
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitUntil([&] { return !f.Menu(); }, 2000));

  // A bar hidden by code shows unchecked at the next opening; a click on
  // an entry shows its bar.
  second->SetVisible(false);
  ASSERT_NE(open(), nullptr);
  EXPECT_EQ(Entries(list->ItemLinks()), "Items+ Second- Third- &Customize...");
  TdxBarItemControl* entry = list->ItemLinks()->VisibleItems(2)->Control();
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(TItemsFixture::ClickOn(entry, TItemsFixture::Centre(entry)));
  ASSERT_TRUE(WaitUntil([&] { return third->Visible(); }, 2000));
  EXPECT_FALSE(second->Visible());
  ASSERT_TRUE(WaitUntil([&] { return !f.Menu(); }, 2000));
  // And a click on a checked one hides its bar.
  ASSERT_NE(open(), nullptr);
  EXPECT_EQ(Entries(list->ItemLinks()), "Items+ Second- Third+ &Customize...");
  entry = list->ItemLinks()->VisibleItems(2)->Control();
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(TItemsFixture::ClickOn(entry, TItemsFixture::Centre(entry)));
  ASSERT_TRUE(WaitUntil([&] { return !third->Visible(); }, 2000));
  ASSERT_TRUE(WaitUntil([&] { return !f.Menu(); }, 2000));

  // While customizing it opens nothing.
  auto* control = dynamic_cast<TdxBarToolbarsListItemControl*>(f.ToolbarControl(list));
  EXPECT_EQ(control, nullptr);
  f.Place(list, true, false);
  control = dynamic_cast<TdxBarToolbarsListItemControl*>(f.ToolbarControl(list));
  ASSERT_NE(control, nullptr);
  f.Form->Manager->Customizing(true);
  control = dynamic_cast<TdxBarToolbarsListItemControl*>(f.ToolbarControl(list));
  ASSERT_NE(control, nullptr);
  control->CreateSubMenuControl();
  EXPECT_EQ(list->ItemLinks()->BarControl(), nullptr);
  f.Form->Manager->Customizing(false);
}

TEST(BarsMRUListInput, AClickedEntryRunsItsHandlerAndLeavesTheList) {
  TItemsFixture f;
  auto* mru = new TdxBarMRUListItem(f.Form);
  mru->SetName("Recent");
  mru->SetCaption("Recent");
  for (const char* s : {"C:\\c.txt", "C:\\b.txt", "C:\\a.txt"}) mru->AddItem(s);
  mru->SetRemoveItemOnClick(true);
  int clicked = -2;
  mru->OnClick = [&](TObject*) {
    clicked = mru->ItemIndex();
    // The program opens the file and adds what it opened.
    mru->AddItem("C:\\opened.txt");
  };
  f.Place(mru, false, true);
  TdxBarSubMenuControl* menu = f.OpenMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(Entries(menu->ItemLinks()), "&1 C:\\a.txt &2 C:\\b.txt &3 C:\\c.txt");
  SaveScreenshot(menu->Handle(), "open");
  TdxBarItemControl* second = menu->ItemLinks()->VisibleItems(1)->Control();
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(TItemsFixture::ClickOn(second, TItemsFixture::Centre(second)));
  ASSERT_TRUE(WaitUntil([&] { return clicked != -2; }, 2000));
  EXPECT_EQ(clicked, 1);
  EXPECT_EQ(mru->Items()->Text(), "C:\\opened.txt\r\nC:\\a.txt\r\nC:\\c.txt\r\n");
  EXPECT_EQ(mru->ItemIndex(), -1);
  ASSERT_TRUE(WaitUntil([&] { return !f.Menu(); }, 2000));
  ASSERT_NE(f.OpenMenu(), nullptr);
  EXPECT_EQ(Entries(f.Menu()->ItemLinks()), "&1 C:\\opened.txt &2 C:\\a.txt &3 C:\\c.txt");
}

namespace {

// An in-place sub item "&More" with Alpha and Beta, between Before and
// After in the menu and also on the toolbar.
struct TInPlaceItems : TItemsFixture {
  TdxBarInPlaceSubItem* More;
  std::vector<String> Events;
  TInPlaceItems() {
    Form->Button("ButtonBefore", "Before")->SetCategory(0);
    More = new TdxBarInPlaceSubItem(Form);
    More->SetName("More");
    More->SetCaption("&More");
    More->SetKeepBeginGroupWhileExpanded(true);
    for (const char* name : {"Alpha", "Beta"}) {
      TdxBarButton* b = Form->Button(String("Button") + name, name);
      b->SetCategory(0);
      More->ItemLinks()->Add()->SetItem(b);
    }
    Form->Button("ButtonAfter", "After")->SetCategory(0);
    Place(Form->Manager->GetItemByName("ButtonBefore"), false, true);
    Place(More);
    Place(Form->Manager->GetItemByName("ButtonAfter"), false, true);
    More->OnAfterExpand = [this](TdxBarInPlaceSubItem*, TdxBarItemLink* link) { Events.push_back(Where(link) + " expanded"); };
    More->OnBeforeCollapse = [this](TdxBarInPlaceSubItem*, TdxBarItemLink* link) { Events.push_back(Where(link) + " collapsing"); };
    More->OnClick = [this](TObject*) { Events.push_back("click"); };
  }
  String Where(TdxBarItemLink* link) {
    return link == MenuLink(More) ? "menu" : link == ToolbarLink(More) ? "toolbar" : "elsewhere";
  }
  String Shown() { return Menu() ? Entries(Menu()->ItemLinks()) : String("closed"); }
  bool AfterBeginsGroup() { return MenuLink(Form->Manager->GetItemByName("ButtonAfter"))->BeginGroup(); }
  bool MoreSelected() { return Menu() && Menu()->SelectedControl() && Menu()->SelectedControl() == MenuControl(More); }
};

}  // namespace

TEST(BarsInPlaceSubItemInput, RightUnfoldsLeftFoldsAndTheSelectionStays) {
  TInPlaceItems f;
  ASSERT_NE(f.OpenMenu(), nullptr);
  EXPECT_EQ(f.Shown(), "Before &More After");
  SaveScreenshot(f.Menu()->Handle(), "collapsed");
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(f.MoreSelected());
  ASSERT_TRUE(KeyChord({VK_RIGHT}));
  EXPECT_TRUE(f.More->Expanded());
  EXPECT_EQ(f.Shown(), "Before &More Alpha Beta After");
  EXPECT_TRUE(f.AfterBeginsGroup());
  EXPECT_TRUE(f.MoreSelected());
  // Each link of the item hears it.
  EXPECT_EQ(f.Events, (std::vector<String>{"click", "toolbar expanded", "menu expanded"}));
  SaveScreenshot(f.Menu()->Handle(), "expanded");
  ASSERT_TRUE(KeyChord({VK_LEFT}));
  EXPECT_FALSE(f.More->Expanded());
  EXPECT_EQ(f.Shown(), "Before &More After");
  EXPECT_FALSE(f.AfterBeginsGroup());
  EXPECT_TRUE(f.MoreSelected());
  EXPECT_EQ(f.Events.back(), "menu collapsing");
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitUntil([&] { return !f.Menu(); }, 2000));
}

TEST(BarsInPlaceSubItemInput, AClickTogglesItInTheMenuAndOnTheToolbarItIsAContainer) {
  TInPlaceItems f;
  ASSERT_NE(f.OpenMenu(), nullptr);
  TdxBarItemControl* more = f.MenuControl(f.More);
  ASSERT_NE(more, nullptr);
  POINT at = TItemsFixture::Centre(more);
  ASSERT_TRUE(MoveTo(at));
  ASSERT_TRUE(f.MoreSelected());
  ASSERT_TRUE(TItemsFixture::ClickOn(more, at));
  EXPECT_TRUE(f.More->Expanded());
  EXPECT_EQ(f.Shown(), "Before &More Alpha Beta After");
  EXPECT_TRUE(f.MoreSelected());
  // The control that was clicked went with the rebuilt menu; the new one
  // takes the next click.
  more = f.MenuControl(f.More);
  ASSERT_NE(more, nullptr);
  ASSERT_TRUE(TItemsFixture::ClickOn(more, at));
  EXPECT_FALSE(f.More->Expanded());
  EXPECT_EQ(f.Shown(), "Before &More After");
  EXPECT_EQ(f.Events, (std::vector<String>{"click", "toolbar expanded", "menu expanded", "click",
                                            "toolbar collapsing", "menu collapsing"}));
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitUntil([&] { return !f.Menu(); }, 2000));

  // On the toolbar it opens a menu of its links.
  TdxBarItemControl* onBar = f.ToolbarControl(f.More);
  ASSERT_NE(onBar, nullptr);
  ASSERT_TRUE(TItemsFixture::ClickOn(onBar, TItemsFixture::Centre(onBar)));
  ASSERT_TRUE(WaitUntil([&] { return SubMenuOf(f.More) != nullptr; }, 2000));
  EXPECT_EQ(Entries(f.More->ItemLinks()), "Alpha Beta");
  SaveScreenshot(f.Form->Handle(), "toolbar");
  EXPECT_FALSE(f.More->Expanded());
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
}
