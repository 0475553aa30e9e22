// The extended items' unit and the image combo's model: registration after
// the core, the entries' image indexes, their drawing and measuring.
#include "Barstest.h"
#include "bars/extitems/Dxbarextitems.h"
#include "support/Pixels.h"

namespace {

// A form with an image combo of three entries and two 16 x 16 images, red
// and blue.
struct TImageComboForm {
  TImageComboForm() {
    Combo->SetName("ComboImages");
    for (const char* e : {"Alpha", "Beta", "Gamma"}) Combo->Items()->Add(e);
    Images->SetName("Images");
    Images->SetWidth(16);
    Images->SetHeight(16);
    for (TColor c : {clRed, clBlue}) {
      TBitmap square;
      square.SetSize(16, 16);
      square.Canvas()->Brush()->SetColor(c);
      square.Canvas()->FillRect(TRect(0, 0, 16, 16));
      Images->AddMasked(&square, clFuchsia);
    }
    Combo->SetImages(Images);
  }
  ~TImageComboForm() { Form->Free(); }
  TBarsForm* Form = new TBarsForm;
  TdxBarImageCombo* Combo = new TdxBarImageCombo(Form);
  TImageList* Images = new TImageList(Form);
};

String Indexes(TdxBarImageCombo* combo) {
  String s;
  for (int i : combo->ReadImageIndexes()) s += (s.empty() ? "" : " ") + IntToStr(i);
  return s;
}

}  // namespace

namespace {

// The extended classes in their order of registration, with the control
// class each gets; those not built yet have none.
struct TExtClass {
  const char* Name;
  TdxBarItemClass (*Item)();
  TdxBarItemControlClass (*Control)();
};
const TExtClass kExtClasses[] = {
    {"TdxBarStatic", &TdxBarStatic::Class, &TdxBarStaticControl::Class},
    {"TdxBarLargeButton", &TdxBarLargeButton::Class, &TdxBarLargeButtonControl::Class},
    {"TdxBarColorCombo", &TdxBarColorCombo::Class, &TdxBarColorComboControl::Class},
    {"TdxBarFontNameCombo", &TdxBarFontNameCombo::Class, &TdxBarComboControl::Class},
    {"TdxBarDateCombo", &TdxBarDateCombo::Class, &TdxBarDateComboControl::Class},
    {"TdxBarTreeViewCombo", &TdxBarTreeViewCombo::Class, &TdxBarTreeViewComboControl::Class},
    {"TdxBarImageCombo", &TdxBarImageCombo::Class, &TdxBarImageComboControl::Class},
    {"TdxBarToolbarsListItem", &TdxBarToolbarsListItem::Class, &TdxBarToolbarsListItemControl::Class},
    {"TdxBarSpinEdit", &TdxBarSpinEdit::Class, &TdxBarSpinEditControl::Class},
    {"TdxBarControlContainerItem", &TdxBarControlContainerItem::Class, &TdxBarControlContainerControl::Class},
    {"TdxBarProgressItem", &TdxBarProgressItem::Class, &TdxBarProgressControl::Class},
    {"TdxBarMRUListItem", &TdxBarMRUListItem::Class, &TdxBarContainerItemControl::Class},
    {"TdxBarInPlaceSubItem", &TdxBarInPlaceSubItem::Class, &TdxBarInPlaceSubItemControl::Class},
};

}  // namespace

TEST(BarsExtItems, TheExtendedClassesRegisterAfterTheCoreInOrderAndGoWithTheirUnit) {
  // The core has three items not offered to the user.
  int core = 10;
  int k = 0;
  TBarsForm* form = new TBarsForm;
  for (const TExtClass& c : kExtClasses) {
    if (!c.Item) continue;
    SCOPED_TRACE(c.Name);
    ASSERT_GT(dxBarItemCount(), core + k);
    EXPECT_EQ(dxBarItemClass(core + k), c.Item());
    EXPECT_EQ(dxBarVisibleItemClass(core - 3 + k), c.Item());
    EXPECT_STREQ(c.Item()->Name, c.Name);
    TComponent* made = dxBarFindClass(c.Name)(form);
    auto* item = dynamic_cast<TdxBarItem*>(made);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(*c.Item()->Type, typeid(*item));
    EXPECT_EQ(dxBarItemControlClass(item), c.Control());
    ++k;
  }
  EXPECT_EQ(dxBarItemCount(), core + k);
  form->Free();

  // The core stays while the extended items end: they cannot be made by
  // name any more, the core's can.
  dxBarInitialize();
  dxBarExtItemsFinalize();
  EXPECT_FALSE(dxBarExtItemsInitialized());
  EXPECT_EQ(dxBarItemCount(), core);
  for (const TExtClass& c : kExtClasses) EXPECT_EQ(dxBarFindClass(c.Name), nullptr) << c.Name;
  EXPECT_NE(dxBarFindClass("TdxBarCombo"), nullptr);
  dxBarExtItemsInitialize();
  dxBarFinalize();
  EXPECT_EQ(dxBarItemCount(), core + k);
}

TEST(BarsExtItems, ImageIndexesAreCutAtTheEntriesAndFollowTheirEntries) {
  TImageComboForm f;
  EXPECT_EQ(Indexes(f.Combo), "-1 -1 -1");
  EXPECT_FALSE(f.Combo->ShowEditor());
  f.Combo->WriteImageIndexes({1, 0});
  EXPECT_EQ(Indexes(f.Combo), "1 0 -1");
  f.Combo->WriteImageIndexes({1, 0, 1, 0, 1});
  EXPECT_EQ(Indexes(f.Combo), "1 0 1");
  f.Combo->Items()->Exchange(0, 2);
  EXPECT_EQ(Indexes(f.Combo), "1 0 1");
  f.Combo->SetImageIndexes(1, -1);
  f.Combo->SetImageIndexes(7, 0);
  EXPECT_EQ(Indexes(f.Combo), "1 -1 1");
  EXPECT_EQ(f.Combo->ImageIndexes(7), -1);
  // Sorting carries each index with its entry.
  f.Combo->Items()->Clear();
  for (const char* e : {"pine", "ash", "oak"}) f.Combo->Items()->Add(e);
  f.Combo->WriteImageIndexes({0, 1, -1});
  f.Combo->SetSorted(true);
  EXPECT_EQ(f.Combo->Items()->Text(), "ash\r\noak\r\npine\r\n");
  EXPECT_EQ(Indexes(f.Combo), "1 -1 0");
  // An image list that goes leaves the combo without one.
  f.Images->Free();
  f.Images = nullptr;
  EXPECT_EQ(f.Combo->Images(), nullptr);
}

TEST(BarsExtItems, EntriesAreDrawnWithTheirImage) {
  struct TCase {
    const char* Name;
    bool ShowText;
    int Index;      // -1: the text
    bool Focused;   // the item is being edited
    int ImageLeft;  // -1: no image
    int TextLeft;   // -1: no text; the text's first column is near it
  } cases[] = {
      {"an entry with its image", true, 0, false, 1, 19},
      {"an image index past the images", true, 1, false, -1, 3},
      {"the same while edited", true, 1, true, -1, 19},
      {"the text", true, -1, false, -1, 3},
      {"only the image, centred", false, 0, false, 52, -1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TImageComboForm f;
    f.Combo->WriteImageIndexes({0, 5, 1});
    f.Combo->SetText("Zeta");
    f.Combo->SetShowText(c.ShowText);
    TdxBar* bar = f.Form->AddBar("Quick");
    TdxBarItemLink* link = bar->ItemLinks()->Add();
    link->SetItem(f.Combo);
    bar->SetVisible(true);
    auto* control = dynamic_cast<TdxBarImageComboControl*>(link->Control());
    ASSERT_NE(control, nullptr);
    if (c.Focused) control->SetFocused(true);

    const TRect r(0, 0, 120, 22);
    TDibSurface s(r.Width(), r.Height());
    TCanvas canvas;
    canvas.SetHandle(s.Dc());
    canvas.Brush()->SetColor(clWhite);
    canvas.Font()->SetColor(clBlack);
    TCanvas* old = f.Combo->SetDrawingCanvas(&canvas);
    f.Combo->DrawItem(c.Index, r, TOwnerDrawState());
    f.Combo->SetDrawingCanvas(old);
    canvas.SetHandle(nullptr);

    RECT image = ColorBounds(s, RGB(255, 0, 0));
    if (c.ImageLeft < 0) {
      EXPECT_EQ(image.right, 0);
      EXPECT_EQ(CountColor(s, RGB(0, 0, 255)), 0);
    } else {
      EXPECT_EQ(TRect(image), Bounds(c.ImageLeft, 3, 16, 16));
    }
    RECT text = ColorBounds(s, RGB(0, 0, 0));
    if (c.TextLeft < 0) {
      EXPECT_EQ(text.right, 0);
    } else {
      EXPECT_GE(text.left, c.TextLeft);
      EXPECT_LE(text.left, c.TextLeft + 2);
    }
    if (c.Focused) control->SetFocused(false);
  }
}

TEST(BarsExtItems, ImagesRaiseTheRowsAndWidenThemUnlessOnlyImagesShow) {
  TImageComboForm f;
  TImageList big(nullptr);
  big.SetWidth(24);
  big.SetHeight(24);
  f.Combo->SetImages(&big);
  int height = 0;
  f.Combo->MeasureItem(0, height);
  EXPECT_EQ(height, 26);
  int plain = 0;
  f.Combo->SetImages(nullptr);
  f.Combo->MeasureItemWidth(0, plain);
  f.Combo->SetImages(&big);
  int width = 0;
  f.Combo->MeasureItemWidth(0, width);
  EXPECT_EQ(width, plain + 26);
  f.Combo->SetShowText(false);
  f.Combo->MeasureItemWidth(0, width);
  EXPECT_EQ(width, 26);
  // Its control on a toolbar is as high as the images and a frame.
  TdxBar* bar = f.Form->AddBar("Quick");
  TdxBarItemLink* link = bar->ItemLinks()->Add();
  link->SetItem(f.Combo);
  bar->SetVisible(true);
  ASSERT_NE(link->Control(), nullptr);
  EXPECT_EQ(link->Control()->GetHeight(), 30);
  f.Combo->SetImages(nullptr);
}
