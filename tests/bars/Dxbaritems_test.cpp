// Items, buttons and their actions; links, link lists and their derived
// lists, usage data, accelerators and shortcuts.
#include "Barstest.h"
#include "support/Testutil.h"

// ---------------------------------------------------------------- buttons

TEST(BarsButtons, AGroupWithoutAllowAllUpKeepsOneButtonDown) {
  TBarsForm* form = new TBarsForm;
  TdxBarButton* a = form->Button("A");
  TdxBarButton* b = form->Button("B");
  for (TdxBarButton* x : {a, b}) {
    x->SetButtonStyle(bsChecked);
    x->SetGroupIndex(1);
  }
  a->SetDown(true);
  b->SetDown(true);
  EXPECT_FALSE(a->Down());
  EXPECT_TRUE(b->Down());
  b->SetDown(false);
  EXPECT_TRUE(b->Down());
  a->SetAllowAllUp(true);
  EXPECT_TRUE(b->AllowAllUp());
  b->SetDown(false);
  EXPECT_FALSE(a->Down());
  EXPECT_FALSE(b->Down());

  TdxBarButton* plain = form->Button("Plain");
  plain->SetGroupIndex(5);
  EXPECT_EQ(plain->GroupIndex(), 0);
  plain->SetDown(true);
  EXPECT_FALSE(plain->Down());
  form->Free();
}

TEST(BarsButtons, ACheckButtonTogglesBeforeItsClickHandler) {
  TBarsForm* form = new TBarsForm;
  TdxBarButton* b = form->Button("B");
  b->SetButtonStyle(bsChecked);
  std::vector<String> seen;
  form->Manager->OnClickItem = [&](TdxBarManager*, TdxBarItem* item) { seen.push_back("manager " + item->Name()); };
  b->OnClick = [&](TObject*) { seen.push_back(b->Down() ? "click down" : "click up"); };
  b->Click();
  b->Click();
  EXPECT_EQ(seen, std::vector<String>({"manager B", "click down", "manager B", "click up"}));
  b->SetEnabled(false);
  b->Click();
  EXPECT_EQ(seen.size(), 4u);
  form->Free();
}

TEST(BarsItems, TheHintFollowsTheCaptionUntilOneIsChosen) {
  TBarsForm* form = new TBarsForm;
  struct TCase {
    const char* Hint;
    std::vector<const char*> Captions;
    const char* Want;
  } cases[] = {
      {"", {"New Connection..."}, "New Connection"},
      {"", {"&Open...", "&Save"}, "Save"},
      {"Old|Long help", {"Old", "New"}, "New|Long help"},
      {"Edit Profiles", {"Profiles...", "Profile List"}, "Edit Profiles"},
  };
  for (const auto& c : cases) {
    TdxBarButton* b = form->Button("");
    b->SetHint(c.Hint);
    for (const char* caption : c.Captions) b->SetCaption(caption);
    EXPECT_EQ(b->Hint(), c.Want) << c.Captions.back();
  }
  TdxBarSubItem* sub = form->SubItem("Files", "&Files");
  EXPECT_EQ(sub->Hint(), "");
  form->Free();
}

TEST(BarsItems, ActionsGiveTheirValuesWithOrWithoutTheDefaultsCheck) {
  TBarsForm* form = new TBarsForm;
  auto* loading = new TForm(nullptr);
  auto* checked = new TAction(loading);
  auto* plain = new TAction(nullptr);
  for (TAction* a : {checked, plain}) {
    a->SetCaption("Action caption");
    a->SetHint("Action hint");
    a->SetImageIndex(4);
    a->SetShortCut(ShortCut('N', {ssCtrl}));
    a->SetHelpContext(12);
    a->SetChecked(true);
  }
  auto setUp = [&](TdxBarButton* b) {
    b->SetButtonStyle(bsChecked);
    b->SetCaption("Own caption");
    b->SetHint("Own hint");
    b->SetImageIndex(1);
  };
  // The action is still loading: only the item's defaults are replaced.
  TdxBarButton* b1 = form->Button("B1");
  setUp(b1);
  b1->SetAction(checked);
  EXPECT_EQ(b1->Caption(), "Own caption");
  EXPECT_EQ(b1->Hint(), "Own hint");
  EXPECT_EQ(b1->ImageIndex(), 1);
  EXPECT_EQ(b1->ShortCut(), ShortCut('N', {ssCtrl}));
  EXPECT_EQ(b1->HelpContext(), 12);
  EXPECT_TRUE(b1->Down());
  // A loaded action gives everything.
  TdxBarButton* b2 = form->Button("B2");
  setUp(b2);
  b2->SetAction(plain);
  EXPECT_EQ(b2->Caption(), "Action caption");
  EXPECT_EQ(b2->Hint(), "Action hint");
  EXPECT_EQ(b2->ImageIndex(), 4);
  // Later changes of the action reach the item.
  plain->SetEnabled(false);
  EXPECT_FALSE(b2->Enabled());
  plain->SetVisible(false);
  EXPECT_EQ(b2->Visible(), ivNever);
  // A freed action unbinds.
  plain->Free();
  EXPECT_EQ(b2->Action(), nullptr);
  loading->Free();
  form->Free();
}

namespace {

struct TActionCase {
  TBarsForm* Form = new TBarsForm;
  TAction* Action = new TAction(Form);
  TdxBarButton* Button;
  std::vector<String> Seen;
  TActionCase() {
    Action->SetCaption("Run");
    Action->OnExecute = {this, &TActionCase::Execute};
    Button = Form->Button("B");
    Button->SetAction(Action);
  }
  ~TActionCase() { Form->Free(); }
  void Execute(TObject* sender) {
    Seen.push_back(sender == Action ? "action" : "other");
    if (Action->ActionComponent() == Button) Seen.push_back("for the button");
  }
  void Other(TObject* sender) { Seen.push_back(sender == Button ? "own click" : "?"); }
};

}  // namespace

TEST(BarsItems, TheActionsHandlerRunsTheActionAnotherOnClickRunsInstead) {
  TActionCase c;
  EXPECT_TRUE(c.Button->OnClick == c.Action->OnExecute);
  c.Button->Click();
  EXPECT_EQ(c.Seen, std::vector<String>({"action", "for the button"}));
  c.Seen.clear();
  c.Button->OnClick = {&c, &TActionCase::Other};
  c.Button->Click();
  EXPECT_EQ(c.Seen, std::vector<String>({"own click"}));
}

TEST(BarsItems, AnExceptionInAClickReachesTheApplicationsHandler) {
  TBarsForm* form = new TBarsForm;
  TdxBarButton* b = form->Button("B");
  b->OnClick = [](TObject*) { throw Exception("Click failed"); };
  std::vector<String> caught;
  TExceptionEvent saved = Application->OnException;
  Application->OnException = [&](TObject* sender, Exception& e) {
    caught.push_back(e.Message + (sender == b ? " (button)" : ""));
  };
  EXPECT_NO_THROW(b->Click());
  // Nothing is shown from inside the click: the error is reported once the
  // message that clicked has returned.
  EXPECT_TRUE(caught.empty());
  ProcessQueuedMessages();
  Application->OnException = saved;
  EXPECT_EQ(caught, std::vector<String>({"Click failed (button)"}));
  form->Free();
}

TEST(BarsItems, VisibleInCustomizingShowsItsLinksOnlyThen) {
  TBarsForm* form = new TBarsForm;
  TdxBarButton* b = form->Button("B", "B");
  TdxBar* bar = form->AddBar("Tools");
  TdxBarItemLink* link = bar->ItemLinks()->Add();
  link->SetItem(b);
  bar->SetVisible(true);
  ASSERT_NE(link->Control(), nullptr);
  b->SetVisible(ivInCustomizing);
  EXPECT_EQ(link->Control(), nullptr);
  EXPECT_EQ(bar->ItemLinks()->AvailableItemCount(), 0);
  form->Manager->Customizing(true);
  EXPECT_TRUE(b->ActuallyVisible());
  form->Manager->Customizing(false);
  EXPECT_FALSE(b->ActuallyVisible());
  form->Free();
}

TEST(BarsItems, NotificationsSkipLinksWithTheirOwnValue) {
  TScopedControlClass counting(TdxBarButton::Class(), TCountingButtonControl::Class());
  TBarsForm* form = new TBarsForm;
  TdxBarButton* b = form->Button("B", "B");
  TdxBar* bar = form->AddBar("Tools");
  bar->ItemLinks()->Add()->SetItem(b);
  bar->ItemLinks()->Add()->SetItem(b);
  bar->ItemLinks()->Items(1)->SetUserCaption("Mine");
  bar->SetVisible(true);
  TCountingButtonControl::Counts().clear();
  b->SetCaption("Other");
  EXPECT_EQ(TCountingButtonControl::Counts()["B CaptionChanged"], 1);
  EXPECT_EQ(bar->ItemLinks()->Items(1)->Caption(), "Mine");
  b->SetEnabled(false);
  EXPECT_EQ(TCountingButtonControl::Counts()["B EnabledChanged"], 2);
  form->Free();
}

// ---------------------------------------------------------------- links

namespace {

// A menu (a sub item's links) with buttons a..e.
struct TMenuCase {
  TBarsForm* Form = new TBarsForm;
  TdxBarSubItem* Sub;
  TdxBarItemLinks* Links;
  std::vector<TdxBarItemLink*> L;
  explicit TMenuCase(int n = 5) {
    Sub = Form->SubItem("Menu", "Menu");
    Links = Sub->ItemLinks();
    for (int i = 0; i < n; ++i) {
      String name(1, static_cast<char>('a' + i));
      TdxBarItemLink* link = Links->Add();
      link->SetItem(Form->Button(name, name));
      L.push_back(link);
    }
  }
  ~TMenuCase() { Form->Free(); }
  String Names(int (TdxBarItemLinks::*count)() const, TdxBarItemLink* (TdxBarItemLinks::*at)(int) const) const {
    String s;
    for (int i = 0; i < (Links->*count)(); ++i) s += (Links->*at)(i)->Item()->Name();
    return s;
  }
  String Visible() const { return Names(&TdxBarItemLinks::VisibleItemCount, &TdxBarItemLinks::VisibleItems); }
  String Recent() const {
    return Names(&TdxBarItemLinks::RecentItemCountInList, &TdxBarItemLinks::RecentItems);
  }
};

}  // namespace

TEST(BarsLinks, DerivedListsFollowVisibilityAndTheRecentCount) {
  TMenuCase m;
  m.L[2]->SetVisible(false);
  EXPECT_EQ(m.Names(&TdxBarItemLinks::AvailableItemCount, &TdxBarItemLinks::AvailableItems), "abcde");
  EXPECT_EQ(m.Names(&TdxBarItemLinks::CanVisibleItemCount, &TdxBarItemLinks::CanVisibleItems), "abde");
  EXPECT_EQ(m.Visible(), "abde");
  // Used most recently: e, then b.
  m.L[1]->BringToTopInRecentList(true);
  m.L[4]->BringToTopInRecentList(true);
  EXPECT_EQ(m.Recent().substr(0, 2), "eb");
  EXPECT_EQ(m.L[4]->UseCount(), 21);
  struct TCase {
    int Count;
    const char* Visible;
  } cases[] = {{2, "be"}, {3, "bde"}, {0, ""}, {-1, "abde"}, {9, "abde"}};
  for (const auto& c : cases) {
    m.Links->SetRecentItemCount(c.Count);
    EXPECT_EQ(m.Visible(), c.Visible) << c.Count;
  }
  // The standard style shows all.
  m.Form->Manager->SetStyle(bmsStandard);
  m.Links->SetRecentItemCount(2);
  EXPECT_EQ(m.Links->RecentItemCount(), -1);
  EXPECT_EQ(m.Visible(), "abde");
}

TEST(BarsLinks, ASeparatorOfAHiddenLinkMovesToTheNextShownOne) {
  TMenuCase m;
  m.L[0]->SetBeginGroup(true);
  m.L[2]->SetBeginGroup(true);
  m.L[2]->BringToTopInRecentList(false);
  for (int i : {4, 3, 1, 0}) m.L[static_cast<size_t>(i)]->BringToTopInRecentList(false);
  m.Links->SetRecentItemCount(4);
  ASSERT_EQ(m.Visible(), "abde");
  EXPECT_FALSE(m.L[0]->BeginGroup());
  EXPECT_TRUE(m.L[0]->StoredBeginGroup());
  EXPECT_FALSE(m.L[1]->BeginGroup());
  EXPECT_TRUE(m.L[2]->BeginGroup());
  EXPECT_TRUE(m.L[3]->BeginGroup());
  EXPECT_FALSE(m.L[4]->BeginGroup());
}

TEST(BarsLinks, HowManyRecentItemsAMenuShows) {
  TMenuCase m(10);
  for (int i = 0; i < 10; ++i) m.L[static_cast<size_t>(i)]->SetUseCount(i);
  // Threshold 0 + MulDiv(9, 5, 100) = 0: every link counts, nothing is hidden.
  EXPECT_EQ(m.Links->GetMostRecentItemCount(), -1);
  for (int i = 0; i < 10; ++i) m.L[static_cast<size_t>(i)]->SetUseCount(i == 9 ? 100 : 0);
  m.L[9]->BringToTopInRecentList(false);
  EXPECT_EQ(m.Links->GetMostRecentItemCount(), 1);
  m.Form->Manager->SetStyle(bmsStandard);
  EXPECT_EQ(m.Links->GetMostRecentItemCount(), -1);
}

TEST(BarsLinks, SavedUsageIsRestoredInAscendingRecentOrder) {
  TMenuCase m(4);
  m.L[0]->LoadedRecentIndex = 2;
  m.L[0]->LoadedUseCount = 5;
  m.L[1]->LoadedRecentIndex = 0;
  m.L[1]->LoadedUseCount = 9;
  m.L[3]->LoadedRecentIndex = 1;
  m.L[3]->LoadedUseCount = 7;
  m.L[2]->SetMostRecentlyUsed(false);
  m.Links->Loaded(false);
  EXPECT_EQ(m.Recent(), "bdac");
  EXPECT_EQ(m.L[1]->UseCount(), 9);
  EXPECT_EQ(m.L[3]->UseCount(), 7);
  EXPECT_EQ(m.L[0]->UseCount(), 5);
  EXPECT_EQ(m.L[2]->UseCount(), 0);
  for (TdxBarItemLink* l : m.L) EXPECT_EQ(l->LoadedRecentIndex, -1);
}

TEST(BarsLinks, AcceleratorsOfCaptions) {
  TBarsForm* form = new TBarsForm;
  TdxBarItemLinks* links = form->SubItem("Menu")->ItemLinks();
  TdxBarItemLink* link = links->Add();
  link->SetItem(form->Button("B"));
  const TShiftState none, shift{ssShift}, ctrl{ssCtrl};
  struct TCase {
    const char* Caption;
    WORD Key;
    TShiftState Shift;
    bool Match;
  } cases[] = {
      {"&File", 'F', none, true},       {"&File", 'F', shift, true},   {"&File", 'F', ctrl, false},
      {"e&xit", 'X', none, true},       {"e&xit", 'X', shift, false},  {"&1 Recent", '1', none, true},
      {"&1 Recent", '1', shift, false}, {"A&&B", 'B', none, false},    {"Save&", 'S', none, false},
      {"&Save e&xit", 'X', none, true}, {"&Save e&xit", 'S', none, false},
  };
  for (const auto& c : cases) {
    link->SetUserCaption(c.Caption);
    EXPECT_EQ(link->IsAccel(c.Key, c.Shift), c.Match) << c.Caption << " key " << char(c.Key);
  }
  // In a menu the search goes round from the current link.
  link->SetUserCaption("&Open");
  TdxBarItemLink* second = links->Add();
  second->SetItem(form->Button("C"));
  second->SetUserCaption("&Other");
  EXPECT_EQ(links->FindItemWithAccel('O', {ssAlt}, nullptr), second);
  EXPECT_EQ(links->FindItemWithAccel('O', none, second), link);
  form->Free();
}

TEST(BarsLinks, ShortcutsClickEnabledItemsAlsoInSubMenus) {
  TBarsForm* form = new TBarsForm;
  TdxBar* bar = form->AddBar("Menu");
  TdxBarButton* save = form->Button("Save", "Save");
  save->SetShortCut(ShortCut('S', {ssCtrl}));
  TdxBarButton* open = form->Button("Open", "Open");
  open->SetShortCut(ShortCut('O', {ssCtrl}));
  TdxBarSubItem* file = form->SubItem("File", "File");
  file->ItemLinks()->Add()->SetItem(open);
  bar->ItemLinks()->Add()->SetItem(save);
  bar->ItemLinks()->Add()->SetItem(file);
  std::vector<String> clicked;
  for (TdxBarButton* b : {save, open}) b->OnClick = [&clicked, b](TObject*) { clicked.push_back(b->Name()); };
  EXPECT_TRUE(bar->IsShortCut(ShortCut('O', {ssCtrl})));
  save->SetEnabled(false);
  EXPECT_FALSE(bar->IsShortCut(ShortCut('S', {ssCtrl})));
  EXPECT_FALSE(bar->IsShortCut(0));
  EXPECT_EQ(clicked, std::vector<String>({"Open"}));
  form->Free();
}

TEST(BarsLinks, ADropDownMenuHoldingItsOwnButtonEndsTheShortcutSearch) {
  TBarsForm* form = new TBarsForm;
  auto* popup = new TdxBarPopupMenu(form);
  TdxBarButton* more = form->Button("More", "More");
  more->SetButtonStyle(bsDropDown);
  more->SetDropDownMenu(popup);
  popup->ItemLinks()->Add()->SetItem(more);
  TdxBar* bar = form->AddBar("Tools");
  bar->ItemLinks()->Add()->SetItem(more);
  EXPECT_FALSE(bar->IsShortCut(ShortCut('M', {ssCtrl})));
  more->SetShortCut(ShortCut('M', {ssCtrl}));
  int clicked = 0;
  more->OnClick = [&](TObject*) { ++clicked; };
  EXPECT_TRUE(bar->IsShortCut(ShortCut('M', {ssCtrl})));
  EXPECT_EQ(clicked, 1);
  form->Free();
}

TEST(BarsLinks, OverridesAndTheirLimits) {
  TBarsForm* form = new TBarsForm;
  TdxBarItemLinks* links = form->SubItem("Menu")->ItemLinks();
  TdxBarItemLink* link = links->Add();
  TdxBarButton* b = form->Button("B", "Button");
  b->SetPaintStyle(psCaptionGlyph);
  link->SetItem(b);
  EXPECT_EQ(link->PaintStyle(), psCaptionGlyph);
  link->SetUserWidth(5);
  EXPECT_EQ(link->UserWidth(), 20);
  link->SetUserCaption("Own");
  link->SetUserPaintStyle(psCaption);
  EXPECT_EQ(link->Caption(), "Own");
  EXPECT_EQ(link->PaintStyle(), psCaption);
  EXPECT_EQ(link->UserDefine(), TdxBarUserDefines({udCaption, udPaintStyle, udWidth}));
  link->SetUserDefine({udWidth});
  EXPECT_EQ(link->Caption(), "Button");
  EXPECT_EQ(link->UserCaption(), "");
  EXPECT_EQ(link->PaintStyle(), psCaptionGlyph);
  EXPECT_EQ(link->UserWidth(), 20);
  // A nil item frees the link.
  link->SetItem(nullptr);
  EXPECT_EQ(links->Count(), 0);
  EXPECT_EQ(b->LinkCount(), 0);
  form->Free();
}
