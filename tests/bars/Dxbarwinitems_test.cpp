// Edit and combo items: text and entries, the nearest entry, the drop-down
// window's size and place, and the drawing of entries.
#include "Barstest.h"
#include "bars/Dxbarwinitems.h"
#include "support/Pixels.h"

namespace {

// A combo on a plain form, counting its changes.
struct TComboForm {
  explicit TComboForm(std::initializer_list<const char*> entries = {}) {
    for (const char* e : entries) Combo->Items()->Add(e);
    Combo->OnChange = [this](TObject*) { ++Changes; };
  }
  ~TComboForm() { Form->Free(); }
  TBarsForm* Form = new TBarsForm;
  TdxBarCombo* Combo = new TdxBarCombo(Form);
  int Changes = 0;
};

}  // namespace

TEST(BarsWindowItems, SetItemIndexTakesTheEntrysTextAndAlwaysCountsAsAChange) {
  struct TCase {
    const char* Name;
    const char* TextFirst;  // set while there are no entries
    int IndexFirst;
    int Set;
    int WantIndex;
    const char* WantText;
    int WantChanges;
  } cases[] = {
      {"an entry", "", -1, 1, 1, "b", 1},
      {"past the entries", "", 1, 5, -1, "", 1},
      {"none", "", 2, -1, -1, "", 1},
      {"an entry equal to the text", "b", -1, 1, 1, "b", 1},
      {"the same entry again", "", 1, 1, 1, "b", 0},
  };
  for (const TCase& c : cases) {
    TComboForm f;
    f.Combo->SetText(c.TextFirst);
    for (const char* e : {"a", "b", "c"}) f.Combo->Items()->Add(e);
    f.Combo->SetItemIndex(c.IndexFirst);
    f.Changes = 0;
    f.Combo->SetItemIndex(c.Set);
    EXPECT_EQ(f.Combo->ItemIndex(), c.WantIndex) << c.Name;
    EXPECT_EQ(f.Combo->Text(), c.WantText) << c.Name;
    EXPECT_EQ(f.Changes, c.WantChanges) << c.Name;
  }
}

TEST(BarsWindowItems, SetTextFindsItsEntry) {
  struct TCase {
    const char* Name;
    int IndexFirst;
    const char* Text;
    int WantIndex;
    int WantChanges;
  } cases[] = {
      {"an entry", -1, "b", 1, 1},
      {"no entry", 1, "zz", -1, 1},
      {"the selected one of two equal entries", 2, "a", 2, 0},
      {"the first of two equal entries", 1, "a", 0, 1},
  };
  for (const TCase& c : cases) {
    TComboForm f{"a", "b", "a"};
    f.Combo->SetItemIndex(c.IndexFirst);
    f.Changes = 0;
    f.Combo->SetText(c.Text);
    EXPECT_EQ(f.Combo->ItemIndex(), c.WantIndex) << c.Name;
    EXPECT_EQ(f.Combo->Text(), c.Text) << c.Name;
    EXPECT_EQ(f.Changes, c.WantChanges) << c.Name;
  }
}

TEST(BarsWindowItems, SortedEntriesStaySortedAndTheIndexFollowsTheText) {
  TComboForm f{"pine", "ash", "oak"};
  f.Combo->SetItemIndex(0);
  f.Changes = 0;
  f.Combo->SetSorted(true);
  EXPECT_EQ(f.Combo->Items()->Text(), "ash\r\noak\r\npine\r\n");
  EXPECT_EQ(f.Combo->ItemIndex(), 2);
  EXPECT_EQ(f.Combo->Text(), "pine");
  EXPECT_EQ(f.Changes, 0);

  // New entries, and a whole new list, go in sorted; an index past the new
  // list clears the selection and the text.
  f.Combo->Items()->Add("elm");
  EXPECT_EQ(f.Combo->Items()->Get(1), "elm");
  EXPECT_EQ(f.Combo->ItemIndex(), 2);
  TStringList names;
  names.SetText("yew\r\nbeech\r\n");
  f.Combo->SetItems(&names);
  EXPECT_EQ(f.Combo->Items()->Text(), "beech\r\nyew\r\n");
  EXPECT_EQ(f.Combo->ItemIndex(), -1);
  EXPECT_EQ(f.Combo->Text(), "");
  EXPECT_EQ(f.Changes, 1);
}

TEST(BarsWindowItems, TheNearestEntrySharesTheLongestBeginning) {
  TComboForm f{"Abc", "Abd", "b"};
  struct TCase {
    const char* Text;
    int Want;
  } cases[] = {{"ab", 0}, {"abd", 1}, {"abz", 0}, {"ABCDEF", 0}, {"B", 2}, {"x", -1}, {"", -1}};
  for (const TCase& c : cases) EXPECT_EQ(f.Combo->GetNearestItemIndex(c.Text), c.Want) << c.Text;
}

TEST(BarsWindowItems, TheListShowsDropDownCountRowsAndWidensForItsScrollBar) {
  TComboForm f;
  for (int i = 1; i <= 25; ++i) f.Combo->Items()->Add("Site " + IntToStr(i));
  f.Combo->SetItemHeight(16);
  EXPECT_EQ(f.Combo->GetDropDownHeight(), 4 + 8 * 16);
  f.Combo->SetDropDownCount(30);
  EXPECT_EQ(f.Combo->GetDropDownHeight(), 4 + 25 * 16);
  f.Combo->OnMeasureItem = [](TObject*, int index, int& height) { height = 10 + index; };
  f.Combo->SetDropDownCount(3);
  EXPECT_EQ(f.Combo->GetDropDownHeight(), 4 + 10 + 11 + 12);

  // 25 short names in a list 150 wide: the list's frame is added, and the
  // scroll bar takes its width from the names' room, not from the list.
  int scrollBar = GetSystemMetrics(SM_CXVSCROLL);
  f.Combo->SetDropDownWidth(150);
  f.Combo->SetDropDownCount(20);
  EXPECT_EQ(f.Combo->GetDropDownWidth(), 154);
  // A name wider than the list widens it, and then the scroll bar too.
  f.Combo->Items()->Add(String(60, 'W'));
  int name = 0;
  f.Combo->MeasureItemWidth(f.Combo->Items()->IndexOf(String(60, 'W')), name);
  ASSERT_GT(name, 150);
  EXPECT_EQ(f.Combo->GetDropDownWidth(), name + 4 + scrollBar);
  f.Combo->SetDropDownCount(30);
  EXPECT_EQ(f.Combo->GetDropDownWidth(), name + 4);
}

TEST(BarsWindowItems, WithoutDropDownWidthTheListIsAsWideAsTheFieldBeingEdited) {
  TComboForm f{"a", "b"};
  TdxBar* bar = f.Form->AddBar("Quick");
  TdxBarItemLink* link = bar->ItemLinks()->Add();
  link->SetItem(f.Combo);
  bar->SetVisible(true);
  auto* control = dynamic_cast<TdxBarComboControl*>(link->Control());
  ASSERT_NE(control, nullptr);
  link->SetItemRect(TRect(10, 2, 135, 24));
  control->SetFocused(true);
  EXPECT_EQ(f.Combo->CurItemLink(), link);
  EXPECT_EQ(f.Combo->GetDropDownWidth(), 125);
  control->SetFocused(false);
}

TEST(BarsWindowItems, TheDropDownOpensWhereThereIsRoom) {
  const TRect area(0, 0, 1280, 1000);
  const TSize item(125, 22), drop(154, 300);
  struct TCase {
    const char* Name;
    bool Toolbar;
    TPoint At;
    TSize Drop;
    TPoint Want;
  } cases[] = {
      {"toolbar, room below", true, {100, 200}, drop, {100, 200}},
      {"toolbar, past the right edge", true, {1200, 200}, drop, {1126, 200}},
      {"toolbar, more room above", true, {500, 900}, drop, {500, 578}},
      {"toolbar, less room above", true, {500, 250}, {154, 800}, {500, 250}},
      {"toolbar, wider than the screen", true, {500, 200}, {1400, 300}, {0, 200}},
      {"menu, more room left", false, {1200, 100}, drop, {921, 100}},
      {"menu, less room left", false, {200, 100}, {1200, 300}, {200, 100}},
      {"menu, past the bottom", false, {300, 900}, drop, {300, 700}},
      {"menu, taller than the screen", false, {300, 900}, {154, 1200}, {300, 0}},
  };
  for (const TCase& c : cases) {
    TPoint p = dxBarDropDownPoint(c.At, area, item, c.Drop, c.Toolbar);
    EXPECT_EQ(p.x, c.Want.x) << c.Name;
    EXPECT_EQ(p.y, c.Want.y) << c.Name;
  }
}

TEST(BarsWindowItems, OnlyBrowsingKeysGoToTheList) {
  TComboForm f;
  auto* custom = new TCustomdxBarCombo(f.Form);
  custom->OnCheckKeyForDropDownWindow = [](TObject*, WORD key, TShiftState, bool& accept) {
    if (key == 'Q') accept = false;
  };
  struct TCase {
    TCustomdxBarCombo* Combo;
    WORD Key;
    TShiftState Shift;
    bool Want;
  } cases[] = {
      {f.Combo, VK_DOWN, {}, true},        {f.Combo, VK_NEXT, {}, true},    {f.Combo, VK_DOWN, {ssAlt}, false},
      {f.Combo, VK_UP, {ssShift}, false},  {f.Combo, 'A', {}, false},       {custom, 'A', {}, true},
      {custom, VK_ESCAPE, {}, false},      {custom, VK_RETURN, {}, false},  {custom, VK_TAB, {}, false},
      {custom, 'Q', {}, false},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(c.Combo->CheckKeyForDropDownWindow(c.Key, c.Shift), c.Want) << c.Key << (c.Combo == custom ? " custom" : "");
}

TEST(BarsWindowItems, EntriesAreDrawnAfterTwoPixelsAndLowerInAFlatField) {
  struct TCase {
    const char* Name;
    bool Flat;
    int Index;     // the entry shown (-1: the text)
    int Browsed;   // the focused control's entry (-2: not focused)
    const char* Want;
  } cases[] = {
      {"an entry", false, 1, -2, "Berlin"},
      {"the text", false, -1, -2, "Bern"},
      {"an entry of a flat bar", true, 0, -2, "Athens"},
      {"the browsed entry", false, 0, 2, "Cairo"},
      {"a browsed entry that is gone", false, 0, 7, ""},
  };
  for (const TCase& c : cases) {
    TComboForm f{"Athens", "Berlin", "Cairo"};
    if (c.Flat) f.Form->Manager->SetStyle(bmsFlat);
    f.Combo->SetText("Bern");
    f.Combo->SetItemIndex(c.Index);
    TdxBar* bar = f.Form->AddBar("Quick");
    TdxBarItemLink* link = bar->ItemLinks()->Add();
    link->SetItem(f.Combo);
    bar->SetVisible(true);
    auto* control = dynamic_cast<TdxBarComboControl*>(link->Control());
    ASSERT_NE(control, nullptr);
    if (c.Browsed != -2) {
      control->SetFocused(true);
      control->StoreLocalItemIndex(c.Browsed);
    }

    const TRect r(0, 0, 120, 22);
    auto draw = [&](const std::function<void(TCanvas*)>& paint) {
      TDibSurface s(r.Width(), r.Height());
      TCanvas canvas;
      canvas.SetHandle(s.Dc());
      canvas.Brush()->SetColor(clWhite);
      canvas.Font()->SetColor(clBlack);
      paint(&canvas);
      canvas.SetHandle(nullptr);
      return s;
    };
    TDibSurface drawn = draw([&](TCanvas* canvas) { f.Combo->DrawInterior(canvas, r, link); });
    TDibSurface want = draw([&](TCanvas* canvas) {
      canvas->FillRect(r);
      canvas->TextOut(2, c.Flat ? 2 : 0, c.Want);
    });
    EXPECT_EQ(CountColor(drawn, RGB(0, 0, 0)) > 0, String(c.Want) != "") << c.Name;
    EXPECT_TRUE(std::equal(drawn.Bits(), drawn.Bits() + r.Width() * r.Height(), want.Bits())) << c.Name;
    control->SetFocused(false);
  }
}

TEST(BarsWindowItems, EditWidthsAndLimits) {
  TBarsForm* form = new TBarsForm;
  auto* edit = new TdxBarEdit(form);
  EXPECT_EQ(edit->Width(), 100);
  edit->SetWidth(10);
  EXPECT_EQ(edit->Width(), 20);
  edit->SetMaxLength(-1);
  EXPECT_EQ(edit->MaxLength(), 0);
  edit->SetWidth(140);
  TdxBar* bar = form->AddBar("Find");
  TdxBarItemLink* own = bar->ItemLinks()->Add();
  own->SetItem(edit);
  TdxBarItemLink* plain = bar->ItemLinks()->Add();
  plain->SetItem(edit);
  own->SetUserWidth(5);
  EXPECT_EQ(own->Width(), 20);
  EXPECT_EQ(plain->Width(), 140);

  // Docked at a side, an edit shows as a plain button.
  bar->SetVisible(true);
  EXPECT_NE(dynamic_cast<TdxBarEditControl*>(plain->Control()), nullptr);
  bar->SetDockingStyle(dsLeft);
  plain->DestroyControl();
  plain->CreateControl();
  ASSERT_NE(plain->Control(), nullptr);
  EXPECT_EQ(typeid(*plain->Control()), typeid(TdxBarButtonControl));
  form->Free();
}

TEST(BarsWindowItems, AWindowsTextIsReadWhole) {
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_POPUP | ES_AUTOHSCROLL, 0, 0, 100, 20, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(edit, nullptr);
  String text;
  for (int i = 0; i < 300; ++i) text += static_cast<char>('a' + i % 26);
  SetWindowTextA(edit, text.c_str());
  EXPECT_EQ(dxBarGetWindowText(edit), text);
  SetWindowTextA(edit, "");
  EXPECT_EQ(dxBarGetWindowText(edit), "");
  DestroyWindow(edit);
}
