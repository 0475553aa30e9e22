#include <gtest/gtest.h>

#include "Views.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

struct TListFixture : ::testing::Test {
  void SetUp() override {
    form = new TViewsForm(Application);
    list = form->List;
    HWND h = list->Handle();
    (void)h;
  }
  void TearDown() override {
    if (form) form->Free();
  }
  void AddColumns(std::initializer_list<const char*> captions, int width = 90) {
    for (const char* c : captions) {
      TListColumn* col = list->Columns()->Add();
      col->SetCaption(c);
      col->SetWidth(width);
    }
  }
  // Rows of "caption,sub1,sub2,...".
  void AddRows(std::initializer_list<const char*> rows) {
    for (const char* r : rows) {
      std::vector<String> parts(1);
      for (const char* c = r; *c; ++c) {
        if (*c == ',')
          parts.emplace_back();
        else
          parts.back() += *c;
      }
      TListItem* it = list->Items()->Add();
      it->SetCaption(parts[0]);
      for (size_t i = 1; i < parts.size(); ++i) it->SubItems()->Add(parts[i]);
    }
  }
  void ShowForm() {
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
    PumpFor(50);
  }
  TViewsForm* form = nullptr;
  TListView* list = nullptr;
};

int SizeOf(TListItem* item) { return item->SubItems()->Count() > 0 ? StrToIntDef(item->SubItems()->Get(0), 0) : 0; }

}  // namespace

TEST_F(TListFixture, ReportShowsColumnsSubItemsAndImagesThroughCallbacks) {
  AddColumns({"Name", "Size", "Date"});
  list->Columns()->Items(1)->SetAlignment(taRightJustify);
  list->SetSmallImages(form->Images);
  AddRows({"alpha,10,Jan 1", "beta,200,Feb 2", "gamma,3000,Mar 3"});
  list->Items()->Item(0)->SetImageIndex(0);
  list->Items()->Item(1)->SetImageIndex(1);
  list->Items()->Item(2)->SetImageIndex(2);
  HWND h = list->Handle();
  ShowForm();
  EXPECT_EQ(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(CellText(h, 1, 0), "beta");
  EXPECT_EQ(CellText(h, 1, 1), "200");
  EXPECT_EQ(CellText(h, 2, 2), "Mar 3");
  EXPECT_EQ(CellText(h, 0, 3), "");  // no such sub-item
  EXPECT_EQ(ItemImage(h, 2), 2);
  // A sub-item changed later shows, as does one removed.
  list->Items()->Item(0)->SubItems()->Put(1, "Dec 31");
  list->Items()->Item(2)->SubItems()->Delete(1);
  EXPECT_EQ(CellText(h, 0, 2), "Dec 31");
  EXPECT_EQ(CellText(h, 2, 2), "");
  HWND header = list->HeaderHandle();
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 3);
  // OnGetImageIndex answers on display.
  list->OnGetImageIndex = [](TObject*, TListItem* it) { it->SetImageIndex(it->Index() == 0 ? 1 : it->ImageIndex()); };
  EXPECT_EQ(ItemImage(h, 0), 1);
  list->OnGetImageIndex = nullptr;
  list->Items()->Item(0)->SetImageIndex(0);
  list->Repaint();
  PumpFor(50);
  SaveScreenshot(form->Handle());
  TDibSurface s = CaptureClient(h);
  TRect icon0 = list->Items()->Item(0)->DisplayRect(drIcon);
  TRect icon1 = list->Items()->Item(1)->DisplayRect(drIcon);
  EXPECT_GT(CountColor(s, icon0, RGB(255, 0, 0)), 100);
  EXPECT_GT(CountColor(s, icon1, RGB(0, 0, 255)), 100);
  // Text is drawn in the label of each row (dark pixels on the white background).
  TRect label = list->Items()->Item(1)->DisplayRect(drLabel);
  int dark = 0;
  for (int y = label.top; y < label.bottom; ++y)
    for (int x = label.left; x < label.right; ++x)
      if (GetRValue(s.Pixel(x, y)) < 100) ++dark;
  EXPECT_GT(dark, 10);
}

TEST_F(TListFixture, OnDataGivesTheTextsOnDisplay) {
  AddColumns({"Name", "Twice"});
  for (int i = 0; i < 3; ++i) {
    TListItem* it = list->Items()->Add();
    it->SetData(reinterpret_cast<void*>(static_cast<intptr_t>(i + 1)));
    it->SubItems()->Add("");
  }
  list->OnData = [](TObject*, TListItem* item, int sub, String& text) {
    intptr_t n = reinterpret_cast<intptr_t>(item->Data());
    text = sub == 0 ? Format("row %d", static_cast<int>(n)) : IntToStr(static_cast<int>(2 * n));
  };
  HWND h = list->Handle();
  EXPECT_EQ(CellText(h, 2, 0), "row 3");
  EXPECT_EQ(CellText(h, 1, 1), "4");
  // A text longer than the window's buffer is cut, not overrun.
  list->OnData = [](TObject*, TListItem*, int, String& text) { text = String(1000, 'x'); };
  char buf[8];
  std::memset(buf, '#', sizeof buf);
  LVITEMA it{};
  it.pszText = buf;
  it.cchTextMax = 5;
  SendMessageA(h, LVM_GETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&it));
  EXPECT_STREQ(buf, "xxxx");
  EXPECT_EQ(buf[5], '#');
}

TEST_F(TListFixture, SortTypeBothKeepsTheOrderOfOnCompare) {
  AddColumns({"Name", "Size"});
  list->OnCompare = [](TObject*, TListItem* a, TListItem* b, LPARAM, int& c) { c = SizeOf(a) - SizeOf(b); };
  list->SetSortType(stBoth);
  HWND h = list->Handle();
  int compares = 0;
  list->Items()->BeginUpdate();
  AddRows({"c,30", "a,10", "d,40", "b,20"});
  EXPECT_EQ(Captions(h), Strings({"c", "a", "d", "b"}));  // sorted once, at the end
  list->Items()->EndUpdate();
  EXPECT_EQ(Captions(h), Strings({"a", "b", "c", "d"}));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(list->Items()->Item(i)->Index(), i);
  // A change of the caption places the item again; sizes decide the order.
  TListItem* d = list->Items()->Item(3);
  d->SubItems()->Put(0, "5");
  d->SetCaption("dd");
  EXPECT_EQ(Captions(h), Strings({"dd", "a", "b", "c"}));
  EXPECT_EQ(d->Index(), 0);
  // Added outside an update, an item takes its place as soon as it has a caption.
  TListItem* e = list->Items()->Add();
  e->SubItems()->Add("15");
  e->SetCaption("e");
  EXPECT_EQ(Captions(h), Strings({"dd", "a", "e", "b", "c"}));
  // CustomSort with a callback of its own; equal items keep their order.
  list->CustomSort(
      [](LPARAM a, LPARAM b, LPARAM data) -> int {
        auto* x = reinterpret_cast<TListItem*>(a);
        auto* y = reinterpret_cast<TListItem*>(b);
        return static_cast<int>(data) * ((SizeOf(x) >= 15) - (SizeOf(y) >= 15));
      },
      -1);
  EXPECT_EQ(Captions(h), Strings({"e", "b", "c", "dd", "a"}));
  // AlphaSort without OnCompare orders by caption.
  list->OnCompare = [&](TObject*, TListItem* a, TListItem* b, LPARAM, int& c) {
    ++compares;
    c = lstrcmpA(a->Caption().c_str(), b->Caption().c_str());
  };
  list->AlphaSort();
  EXPECT_GT(compares, 0);
  EXPECT_EQ(Captions(h), Strings({"a", "b", "c", "dd", "e"}));
  // The selection follows its item through a sort.
  list->Items()->Item(0)->SetSelected(true);
  list->OnCompare = nullptr;
  list->CustomSort([](LPARAM a, LPARAM b, LPARAM) -> int {
    return -lstrcmpA(reinterpret_cast<TListItem*>(a)->Caption().c_str(), reinterpret_cast<TListItem*>(b)->Caption().c_str());
  }, 0);
  EXPECT_EQ(Captions(h), Strings({"e", "dd", "c", "b", "a"}));
  ASSERT_NE(list->Selected(), nullptr);
  EXPECT_EQ(list->Selected()->Caption(), "a");
  EXPECT_EQ(list->Selected()->Index(), 4);
}

TEST_F(TListFixture, AComparisonThatThrowsLeavesEveryItemInPlace) {
  AddColumns({"Name"});
  AddRows({"c", "a", "b", "e", "d"});
  int calls = 0;
  list->OnCompare = [&](TObject*, TListItem* a, TListItem* b, LPARAM, int& c) {
    if (++calls == 4) throw EConvertError("bad item");
    c = lstrcmpA(a->Caption().c_str(), b->Caption().c_str());
  };
  EXPECT_THROW(list->AlphaSort(), EConvertError);
  EXPECT_EQ(Captions(list->Handle()), Strings({"c", "a", "b", "e", "d"}));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(list->Items()->Item(i)->Index(), i);
}

TEST_F(TListFixture, SelectionFocusAndClicks) {
  AddColumns({"Name"}, 200);
  AddRows({"one", "two", "three", "four"});
  list->SetMultiSelect(true);
  std::vector<String> selects;
  int clicks = 0;
  list->OnSelectItem = [&](TObject*, TListItem* it, bool on) { selects.push_back((on ? "+" : "-") + it->Caption()); };
  list->OnClick = [&](TObject*) { ++clicks; };
  ShowForm();
  TListItems* items = list->Items();
  items->Item(1)->SetSelected(true);
  items->Item(3)->SetSelected(true);
  items->Item(3)->SetFocused(true);
  EXPECT_EQ(list->SelCount(), 2);
  EXPECT_EQ(list->Selected(), items->Item(1));
  EXPECT_EQ(list->ItemFocused(), items->Item(3));
  EXPECT_EQ(list->GetNextItem(items->Item(1), sdAll, {isSelected}), items->Item(3));
  EXPECT_EQ(list->GetNextItem(items->Item(3), sdAll, {isSelected}), nullptr);
  EXPECT_EQ(selects, Strings({"+two", "+four"}));
  list->SelectAll();
  EXPECT_EQ(list->SelCount(), 4);
  list->ClearSelection();
  EXPECT_EQ(list->SelCount(), 0);
  EXPECT_EQ(list->Selected(), nullptr);
  list->SetSelected(items->Item(2));
  EXPECT_EQ(list->SelCount(), 1);
  // OnChanging may refuse a change of state.
  list->OnChanging = [](TObject*, TListItem* it, TItemChange change, bool& allow) {
    allow = !(change == ctState && it && it->Caption() == "four");
  };
  items->Item(3)->SetSelected(true);
  EXPECT_FALSE(items->Item(3)->Selected());
  list->OnChanging = nullptr;
  // A click with the mouse selects the item under it, alone, and is a click.
  TRect r = items->Item(0)->DisplayRect(drLabel);
  ASSERT_TRUE(Click(list->Handle(), POINT{r.left + 5, (r.top + r.bottom) / 2}));
  ASSERT_TRUE(WaitFor([&] { return clicks == 1; }, 2000));
  EXPECT_EQ(list->Selected(), items->Item(0));
  EXPECT_EQ(list->SelCount(), 1);
  EXPECT_EQ(list->GetItemAt(r.left + 5, (r.top + r.bottom) / 2), items->Item(0));
  EXPECT_TRUE(list->GetHitTestInfoAt(r.left + 5, (r.top + r.bottom) / 2).Contains(htOnLabel));
  // A double click is one OnDblClick.
  int doubles = 0;
  list->OnDblClick = [&](TObject*) { ++doubles; };
  TRect r2 = items->Item(2)->DisplayRect(drLabel);
  ASSERT_TRUE(DoubleClick(list->Handle(), POINT{r2.left + 5, (r2.top + r2.bottom) / 2}));
  ASSERT_TRUE(WaitFor([&] { return doubles > 0; }, 2000));
  PumpFor(50);
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(list->Selected(), items->Item(2));
  TRect last = items->Item(3)->DisplayRect(drBounds);
  EXPECT_EQ(list->GetItemAt(5, last.bottom + 40), nullptr);
  EXPECT_TRUE(list->GetHitTestInfoAt(5, last.bottom + 40).Contains(htNowhere));
}

TEST_F(TListFixture, AVirtualWindowKeepsTextsAndStatesWithTheirItems) {
  // A list made virtual after it had items and a selection: the window asks
  // for every text, and the selection and focus follow their items through
  // a sort, an insertion before them and a deletion; the type-ahead search
  // finds a caption; Clear empties it; other states come from the items.
  AddColumns({"Name", "Size"}, 120);
  AddRows({"delta,4", "bravo,2", "alpha,1"});
  list->SetMultiSelect(true);
  list->Items()->Item(1)->SetSelected(true);
  list->SetVirtualWindow(true);
  ShowForm();
  HWND h = list->Handle();
  EXPECT_TRUE(GetWindowLongPtrA(h, GWL_STYLE) & LVS_OWNERDATA);
  EXPECT_EQ(Captions(h), Strings({"delta", "bravo", "alpha"}));
  EXPECT_EQ(CellText(h, 0, 1), "4");
  TListItem* bravo = list->Items()->Item(1);
  TListItem* delta = list->Items()->Item(0);
  delta->SetSelected(true);
  delta->SetFocused(true);
  EXPECT_EQ(list->SelCount(), 2);

  list->AlphaSort();
  EXPECT_EQ(Captions(h), Strings({"alpha", "bravo", "delta"}));
  TListItem* first = list->Items()->Insert(0);
  first->SetCaption("aaa");
  first->SubItems()->Add("9");
  EXPECT_EQ(CellText(h, 0, 1), "9");
  list->Items()->Item(1)->Delete();  // alpha
  EXPECT_EQ(Captions(h), Strings({"aaa", "bravo", "delta"}));
  EXPECT_EQ(list->SelCount(), 2);
  EXPECT_TRUE(bravo->Selected());
  EXPECT_TRUE(delta->Selected());
  EXPECT_FALSE(first->Selected());
  EXPECT_EQ(list->ItemFocused(), delta);
  EXPECT_EQ(list->GetNextItem(bravo, sdAll, {isSelected}), delta);

  // Cut is the item's own state, not the window's.
  bravo->SetCut(true);
  EXPECT_TRUE(bravo->Cut());
  EXPECT_EQ(SendMessageA(h, LVM_GETITEMSTATE, 1, LVIS_CUT) & LVIS_CUT, static_cast<LRESULT>(LVIS_CUT));

  // Typing the start of a caption selects that item.
  list->ClearSelection();
  ASSERT_TRUE(TypeInto(h, "de"));
  ASSERT_TRUE(WaitFor([&] { return list->Selected() == delta; }, 2000));
  SaveScreenshot(form->Handle());

  list->Items()->Clear();
  EXPECT_EQ(SendMessageA(h, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(list->SelCount(), 0);
}

TEST_F(TListFixture, ColumnClickNamesTheColumn) {
  AddColumns({"Name", "Size", "Date"}, 100);
  AddRows({"a,1,x"});
  std::vector<int> clicked;
  list->OnColumnClick = [&](TObject*, TListColumn* c) { clicked.push_back(c->Index()); };
  ShowForm();
  HWND header = list->HeaderHandle();
  RECT r;
  SendMessageA(header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
  ASSERT_TRUE(Click(header, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
  ASSERT_TRUE(WaitFor([&] { return !clicked.empty(); }, 2000));
  EXPECT_EQ(clicked, std::vector<int>{1});
}

TEST_F(TListFixture, LabelEditingAcceptedChangedAndRefused) {
  AddColumns({"Name"}, 200);
  AddRows({"first", "second"});
  std::vector<String> edited;
  bool allow = true;
  list->OnEditing = [&](TObject*, TListItem*, bool& a) { a = allow; };
  list->OnEdited = [&](TObject*, TListItem*, String& s) {
    edited.push_back(s);
    s = UpperCase(s);
  };
  ShowForm();
  TListItem* item = list->Items()->Item(0);
  // Accepted: the handler's text becomes the caption.
  ASSERT_TRUE(item->EditCaption());
  EXPECT_TRUE(list->IsEditing());
  HWND edit = reinterpret_cast<HWND>(SendMessageA(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextA(edit, "renamed");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(WaitFor([&] { return !list->IsEditing(); }, 2000));
  EXPECT_EQ(edited, Strings({"renamed"}));
  EXPECT_EQ(item->Caption(), "RENAMED");
  EXPECT_EQ(CellText(list->Handle(), 0, 0), "RENAMED");
  // Escape cancels: no OnEdited, the caption stays.
  ASSERT_TRUE(item->EditCaption());
  edit = reinterpret_cast<HWND>(SendMessageA(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
  SetWindowTextA(edit, "dropped");
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitFor([&] { return !list->IsEditing(); }, 2000));
  EXPECT_EQ(edited.size(), 1u);
  EXPECT_EQ(item->Caption(), "RENAMED");
  // Refused by OnEditing, and by ReadOnly: no editor opens.
  allow = false;
  EXPECT_FALSE(list->Items()->Item(1)->EditCaption());
  EXPECT_FALSE(list->IsEditing());
  allow = true;
  list->SetReadOnly(true);
  EXPECT_FALSE(list->Items()->Item(1)->EditCaption());
  EXPECT_EQ(list->Items()->Item(1)->Caption(), "second");
}

TEST(ListView, OnDeletionOnceForEachItemOnDeleteClearAndDestruction) {
  auto* form = new TViewsForm(Application);
  TListView* list = form->List;
  std::vector<String> gone;
  int inserted = 0;
  list->OnDeletion = [&](TObject*, TListItem* it) { gone.push_back(it->Caption()); };
  list->OnInsert = [&](TObject*, TListItem*) { ++inserted; };
  for (const char* c : {"a", "b", "c", "d", "e"}) list->Items()->Add()->SetCaption(c);
  EXPECT_EQ(inserted, 5);
  list->Handle();
  list->Items()->Delete(1);
  EXPECT_EQ(gone, Strings({"b"}));
  // A deletion asked of the window directly goes through the items too.
  SendMessageA(list->Handle(), LVM_DELETEITEM, 0, 0);
  EXPECT_EQ(gone, Strings({"b", "a"}));
  EXPECT_EQ(list->Items()->Count(), 3);
  EXPECT_EQ(Captions(list->Handle()), Strings({"c", "d", "e"}));
  list->Items()->Clear();
  EXPECT_EQ(gone, Strings({"b", "a", "c", "d", "e"}));
  EXPECT_EQ(SendMessageA(list->Handle(), LVM_GETITEMCOUNT, 0, 0), 0);
  gone.clear();
  for (const char* c : {"x", "y"}) list->Items()->Add()->SetCaption(c);
  list->RecreateWnd();  // not a deletion
  EXPECT_TRUE(gone.empty());
  list->Free();
  EXPECT_EQ(gone, Strings({"x", "y"}));
  form->Free();
}

TEST_F(TListFixture, ItemsSelectionAndWidthsSurviveRecreateWnd) {
  AddColumns({"Name", "Size"}, 100);
  AddRows({"a,1", "b,2", "c,3"});
  list->SetSmallImages(form->Images);
  list->Items()->Item(2)->SetImageIndex(1);
  list->Items()->Item(1)->SetCut(true);
  list->Items()->Item(0)->SetOverlayIndex(0);
  ShowForm();
  list->SetMultiSelect(true);  // a new window
  list->Items()->Item(0)->SetSelected(true);
  list->Items()->Item(2)->SetSelected(true);
  list->Items()->Item(2)->SetFocused(true);
  // The user drags the first column wider.
  SendMessageA(list->Handle(), LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(160, 0));
  HWND before = list->Handle();
  list->SetReadOnly(true);  // another style bit: the window is made again
  HWND h = list->Handle();
  EXPECT_NE(h, before);
  EXPECT_FALSE(GetWindowLongA(h, GWL_STYLE) & LVS_EDITLABELS);
  EXPECT_EQ(Captions(h), Strings({"a", "b", "c"}));
  EXPECT_EQ(CellText(h, 1, 1), "2");
  EXPECT_EQ(ItemImage(h, 2), 1);
  EXPECT_EQ(list->SelCount(), 2);
  EXPECT_TRUE(list->Items()->Item(0)->Selected());
  EXPECT_FALSE(list->Items()->Item(1)->Selected());
  EXPECT_EQ(list->ItemFocused(), list->Items()->Item(2));
  EXPECT_TRUE(list->Items()->Item(1)->Cut());
  EXPECT_EQ(SendMessageA(h, LVM_GETITEMSTATE, 0, LVIS_OVERLAYMASK), static_cast<LRESULT>(INDEXTOOVERLAYMASK(1)));
  EXPECT_EQ(list->Columns()->Items(0)->Width(), 160);
  EXPECT_EQ(SendMessageA(h, LVM_GETCOLUMNWIDTH, 0, 0), 160);
  // The view style changes on the same window, and the widths come back with the report.
  for (TViewStyle v : {vsIcon, vsSmallIcon, vsList, vsReport}) {
    list->SetViewStyle(v);
    static const DWORD bits[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    EXPECT_EQ(GetWindowLongA(h, GWL_STYLE) & LVS_TYPEMASK, static_cast<LONG>(bits[v]));
  }
  EXPECT_EQ(list->Handle(), h);
  EXPECT_EQ(SendMessageA(h, LVM_GETCOLUMNWIDTH, 0, 0), 160);
}

TEST_F(TListFixture, ColorAndImageListsReachTheWindow) {
  AddColumns({"Name"}, 120);
  AddRows({"a"});
  list->SetColor(clYellow);
  HWND h = list->Handle();
  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(h, LVM_GETBKCOLOR, 0, 0)), RGB(255, 255, 0));
  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(h, LVM_GETTEXTBKCOLOR, 0, 0)), RGB(255, 255, 0));
  list->SetSmallImages(form->Images);
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageA(h, LVM_GETIMAGELIST, LVSIL_SMALL, 0)), form->Images->Handle());
  EXPECT_TRUE(GetWindowLongA(h, GWL_STYLE) & LVS_SHAREIMAGELISTS);
  // A new handle of the image list reaches the window through the change link.
  TImageList* other = MakeColorImages(form);
  HIMAGELIST copy = ImageList_Duplicate(other->Handle());
  form->Images->SetHandle(copy);
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageA(h, LVM_GETIMAGELIST, LVSIL_SMALL, 0)), copy);
  // Freeing the image list takes it from the list, which destroyed nothing of it.
  form->Images->Free();
  EXPECT_EQ(list->SmallImages(), nullptr);
  EXPECT_EQ(SendMessageA(h, LVM_GETIMAGELIST, LVSIL_SMALL, 0), 0);
  ShowForm();
  TDibSurface s = CaptureClient(h);
  EXPECT_GT(CountColor(s, RGB(255, 255, 0)), s.Width() * s.Height() / 2);
}

TEST_F(TListFixture, AutoSizeColumnsShareTheFreeWidth) {
  AddColumns({"Name", "Size"}, 100);
  list->Columns()->Items(0)->SetAutoSize(true);
  ShowForm();
  RECT r;
  GetClientRect(list->Handle(), &r);
  EXPECT_EQ(list->Columns()->Items(0)->Width(), r.right - 100);
  list->SetWidth(300);
  PumpFor(20);
  GetClientRect(list->Handle(), &r);
  EXPECT_EQ(list->Columns()->Items(0)->Width(), r.right - 100);
}
