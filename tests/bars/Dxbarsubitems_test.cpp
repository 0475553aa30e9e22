// Sub items refuse recursive menus; list and container items generate the
// entries of the menu that shows them.
#include "Barstest.h"

namespace {

String RecursionError(TdxBarItemLinks* links, TdxBarItem* item) {
  TdxBarItemLink* link = links->Add();
  try {
    link->SetItem(item);
  } catch (Exception& e) {
    EXPECT_EQ(link->Item(), nullptr);
    link->Free();
    return e.Message;
  }
  return "(taken)";
}

// Captions and group starts of a list: "Caption|" for a link that begins a group.
String Entries(TdxBarItemLinks* links) {
  String s;
  for (int i = 0; i < links->Count(); ++i) {
    TdxBarItemLink* l = links->Items(i);
    s += (i ? "," : "") + String(l->StoredBeginGroup() ? "|" : "") + (l->Item() ? l->Caption() : String("?"));
  }
  return s;
}

}  // namespace

TEST(BarsSubItems, RecursiveMenusAreRefused) {
  TBarsForm* form = new TBarsForm;
  TdxBarSubItem* file = form->SubItem("File", "File");
  TdxBarSubItem* recent = form->SubItem("Recent", "Recent");
  TdxBarButton* open = form->Button("Open", "Open");
  const String refused = "You cannot create recursive subitems";
  EXPECT_EQ(RecursionError(file->ItemLinks(), file), refused);
  file->ItemLinks()->Add()->SetItem(recent);
  EXPECT_EQ(RecursionError(recent->ItemLinks(), file), refused);
  // Through a button's drop-down menu.
  auto* popup = new TdxBarPopupMenu(form);
  popup->ItemLinks()->Add()->SetItem(recent);
  TdxBarButton* more = form->Button("More", "More");
  more->SetButtonStyle(bsDropDown);
  more->SetDropDownMenu(popup);
  EXPECT_FALSE(recent->CanContainItem(more));
  EXPECT_EQ(RecursionError(recent->ItemLinks(), more), refused);
  EXPECT_TRUE(file->CanContainItem(more));
  EXPECT_TRUE(recent->CanContainItem(open));
  EXPECT_TRUE(file->CanContainItem(open));
  EXPECT_EQ(file->ItemLinks()->Count(), 1);
  EXPECT_EQ(recent->ItemLinks()->Count(), 0);
  // The drop-down menu goes with its popup menu.
  popup->Free();
  EXPECT_EQ(more->DropDownMenu(), nullptr);
  EXPECT_TRUE(recent->CanContainItem(more));
  form->Free();
}

TEST(BarsSubItems, TheDetachingBarIsForgottenWithTheBar) {
  TBarsForm* form = new TBarsForm;
  TdxBarSubItem* sub = form->SubItem("File", "File");
  form->AddBar("A");
  TdxBar* b = form->AddBar("B");
  sub->SetDetachingBar(1);
  EXPECT_EQ(sub->DetachingBar(), 1);
  sub->SetDetachingBar(5);
  EXPECT_EQ(sub->DetachingBar(), -1);
  sub->SetDetachingBar(1);
  b->Free();
  EXPECT_EQ(sub->DetachingBar(), -1);
  form->Free();
}

namespace {

struct TListCase {
  TBarsForm* Form = new TBarsForm;
  TdxBarListItem* List;
  TdxBarItemLinks* Menu;
  TdxBarItemLink* Own;
  TListCase(std::initializer_list<const char*> entries) {
    TdxBarSubItem* sub = Form->SubItem("Window", "Window");
    Menu = sub->ItemLinks();
    List = new TdxBarListItem(Form);
    List->SetName("List");
    for (const char* e : entries) List->Items()->Add(e);
    TdxBarSubItem* holder = Form->SubItem("Holder");
    Own = holder->ItemLinks()->Add();
    Own->SetItem(List);
    Menu->Add()->SetItem(Form->Button("Close", "Close"));
  }
  ~TListCase() { Form->Free(); }
  void Open() { List->AddListedItemLinks(Menu, 1, true, Own); }
  void Close() { List->DeleteListedItemLinks(Menu, 1); }
};

}  // namespace

TEST(BarsListItems, NumberedEntriesGroupsAndChecks) {
  TListCase c({"A", "-", "B"});
  c.List->SetShowCheck(true);
  c.List->SetItemIndex(2);
  EXPECT_EQ(c.List->DataIndex(), 1);
  c.Open();
  EXPECT_EQ(Entries(c.Menu), "Close,|&1 A,|&2 B");
  TdxBarButton* b = c.List->Buttons(1);
  EXPECT_EQ(b->ButtonStyle(), bsChecked);
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(c.List->Buttons(0)->ButtonStyle(), bsDefault);
  EXPECT_EQ(c.Menu->Items(1)->RealItemLink(), c.Own);
  EXPECT_EQ(c.Menu->Items(1)->UseCount(), c.Own->UseCount());
  c.Close();
  EXPECT_EQ(Entries(c.Menu), "Close");

  c.List->SetShowNumbers(false);
  c.Open();
  EXPECT_EQ(Entries(c.Menu), "Close,|A,|B");
}

TEST(BarsListItems, TheTenthEntryIsNumberedA) {
  TListCase c({"1", "2", "3", "4", "5", "6", "7", "8", "9", "ten", "eleven"});
  c.Open();
  EXPECT_EQ(c.Menu->Items(9)->Caption(), "&9 9");
  EXPECT_EQ(c.Menu->Items(10)->Caption(), "&A ten");
  EXPECT_EQ(c.Menu->Items(11)->Caption(), "&B eleven");
}

TEST(BarsListItems, DataIndexCountsDataEntriesOnly) {
  TListCase c({"A", "-", "B", "C"});
  struct TCase {
    int Set, ItemIndex, Read;
  } cases[] = {{0, 0, 0}, {1, 2, 1}, {2, 3, 2}, {5, 4, -1}};
  for (const auto& t : cases) {
    c.List->SetDataIndex(t.Set);
    EXPECT_EQ(c.List->ItemIndex(), t.ItemIndex) << t.Set;
    EXPECT_EQ(c.List->DataIndex(), t.Read) << t.Set;
  }
  c.List->Items()->Clear();
  c.List->SetDataIndex(0);
  EXPECT_EQ(c.List->ItemIndex(), -1);
}

TEST(BarsListItems, EntriesAddedBetweenTwoOpeningsGetButtons) {
  TListCase c({"A", "B"});
  int asked = 0;
  c.List->OnGetData = [&](TObject*) {
    if (++asked == 2) c.List->Items()->Add("D");
  };
  c.List->SetShowCheck(true);
  c.List->SetItemIndex(0);
  c.Open();
  EXPECT_EQ(Entries(c.Menu), "Close,|&1 A,&2 B");
  c.Close();
  c.List->Items()->Insert(1, "C");
  c.List->SetItemIndex(2);
  c.Open();
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(Entries(c.Menu), "Close,|&1 A,&2 C,&3 B,&4 D");
  EXPECT_EQ(c.List->ButtonCount(), 4);
  EXPECT_FALSE(c.List->Buttons(0)->Down());
  EXPECT_TRUE(c.List->Buttons(2)->Down());
  // A click on an entry selects it and clicks the list item.
  int clicked = 0;
  c.List->OnClick = [&](TObject*) { ++clicked; };
  c.Menu->Items(4)->Item()->Click();
  EXPECT_EQ(c.List->ItemIndex(), 3);
  EXPECT_EQ(clicked, 1);
  c.Close();
  // Unused buttons go when the list is cleared.
  c.List->NeedClearItemList();
  c.List->AddListedItemLinks(c.Menu, 1, false, c.Own);
  EXPECT_EQ(c.List->ButtonCount(), 4);
  EXPECT_FALSE(c.List->ClearPending());
}

TEST(BarsContainerItems, CopyTheirShownLinksIntoTheMenu) {
  TBarsForm* form = new TBarsForm;
  auto* container = new TdxBarContainerItem(form);
  container->SetName("Tools");
  container->SetCaption("Tools");
  for (const char* n : {"Ping", "Trace", "Dns"}) container->ItemLinks()->Add()->SetItem(form->Button(n, n));
  container->ItemLinks()->Items(1)->SetVisible(false);
  TdxBarSubItem* sub = form->SubItem("Menu", "Menu");
  TdxBarItemLinks* menu = sub->ItemLinks();
  menu->Add()->SetItem(form->Button("First", "First"));
  TdxBarItemLink* own = menu->Add();
  own->SetItem(container);
  menu->Add()->SetItem(form->Button("Last", "Last"));
  container->AddListedItemLinks(menu, 1, true, own);
  EXPECT_EQ(Entries(menu), "First,|Ping,Dns,Tools,Last");
  EXPECT_EQ(menu->Items(2)->RealItemLink(), own);
  container->DeleteListedItemLinks(menu, 1);
  EXPECT_EQ(Entries(menu), "First,Tools,Last");
  // Its own list is left alone.
  container->AddListedItemLinks(container->ItemLinks(), 0, true, own);
  EXPECT_EQ(container->ItemLinks()->Count(), 3);
  EXPECT_FALSE(container->CanClicked());
  form->Free();
}
