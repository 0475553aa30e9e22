// The simple extended items without windows: sizes of static items and
// large buttons, the large button's picture, the spin edit's numbers, keys
// and buttons, the progress item's range and bar, and the control
// container's refusal of a control another container hosts.
#include "Barstest.h"
#include "bars/extitems/Dxbarextitems.h"
#include "classlib/Stdctrls.h"

#include <climits>

// ---------------------------------------------------------------- static sizes

TEST(BarsStaticSize, AutomaticSizesOnToolbarsAndInMenus) {
  struct TCase {
    const char* Name;
    bool OnToolbar, Vertical, ShowCaption, Image, ZeroSize;
    int Left, Right, Border, Width, Height;
    int ExpectWidth, ExpectHeight;  // the control's
  } cases[] = {
      // Never zero on a toolbar: one button without caption and glyph.
      {"nothing shown", true, false, false, false, false, 0, 0, 0, 0, 0, 23, 22},
      {"a caption", true, false, true, false, false, 0, 0, 0, 0, 0, 30 + 9, 15},
      {"a caption and a glyph", true, false, true, true, false, 0, 0, 0, 0, 0, 30 + 23 + 4, 22},
      {"indents and an etched border", true, false, true, false, false, 3, 4, 2, 0, 0, 39 + 7 + 4, 15 + 4},
      {"fixed sizes keep the border", true, false, true, false, false, 0, 0, 1, 60, 30, 60, 30},
      // Vertical: Width is the length, the automatic height the thickness.
      {"vertical, Width 50", true, true, true, false, false, 0, 0, 0, 50, 0, 15, 50},
      {"vertical with a glyph", true, true, true, true, false, 0, 0, 0, 50, 0, 23, 50},
      {"in a menu", false, false, true, false, false, 0, 0, 2, 0, 0, 39 + 4, 18 + 4},
      // The progress control may be zero wide without caption.
      {"zero size allowed", true, false, false, false, true, 0, 0, 0, 0, 0, 0, 15},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TdxBarStaticSize s;
    s.OnToolbar = c.OnToolbar;
    s.Vertical = c.Vertical;
    s.ShowCaption = c.ShowCaption;
    s.CaptionWidth = 30;
    s.ImageExists = c.Image;
    s.CanHaveZeroSize = c.ZeroSize;
    s.ButtonWidth = 23;
    s.ButtonHeight = 22;
    s.TextSize = 18;
    s.LeftIndent = c.Left;
    s.RightIndent = c.Right;
    s.BorderWidth = c.Border;
    s.Width = c.Width;
    s.Height = c.Height;
    EXPECT_EQ(s.ControlWidth(), c.ExpectWidth);
    EXPECT_EQ(s.ControlHeight(), c.ExpectHeight);
  }
  EXPECT_EQ(dxBarStaticBorderWidth(sbsNone), 0);
  EXPECT_EQ(dxBarStaticBorderWidth(sbsRaised), 1);
  EXPECT_EQ(dxBarStaticBorderWidth(sbsBump), 2);
}

TEST(BarsStaticSize, NegativeSizesAreStoredAsZero) {
  TBarsForm* form = new TBarsForm;
  auto* s = new TdxBarStatic(form);
  EXPECT_EQ(s->Alignment(), taCenter);
  EXPECT_TRUE(s->ShowCaption());
  EXPECT_FALSE(s->AllowClick());
  EXPECT_FALSE(s->CanClicked());
  for (int index = 1; index <= 4; ++index) {
    s->SetSizeValue(index, 7);
    s->SetSizeValue(index, -5);
    EXPECT_EQ(s->SizeValue(index), 0) << index;
  }
  s->SetWidth(40);
  EXPECT_EQ(s->Width(), 40);
  EXPECT_EQ(s->SizeValue(3), 40);
  s->SetAllowClick(true);
  EXPECT_TRUE(s->CanClicked());
  EXPECT_FALSE(s->HasAccel(nullptr));
  form->Free();
}

// ---------------------------------------------------------------- large button

TEST(BarsLargeButtonSize, SizesOfEachLayout) {
  struct TCase {
    const char* Name;
    bool Vertical, ShowCaption, Image, Lowered, DropDown;
    TdxBarGlyphLayout Layout;
    int Width;
    int ExpectWidth, ExpectHeight;
  } cases[] = {
      {"nothing at all", false, false, false, false, false, glTop, 0, 30, 26},
      {"nothing, lowered", false, false, false, true, false, glTop, 0, 32, 28},
      {"glyph above", false, true, true, false, false, glTop, 0, 56, 32 + 6 + 14},
      {"glyph below", false, true, true, false, false, glBottom, 0, 56, 52},
      {"glyph left", false, true, true, false, false, glLeft, 0, 42 + 46, 38},
      {"glyph right", false, true, true, false, false, glRight, 0, 88, 38},
      {"no caption", false, false, true, false, false, glLeft, 0, 42, 38},
      {"with its arrow", false, false, true, false, true, glTop, 0, 42 + 12, 38},
      // Vertical with a caption: the two extents swap (24 x 32 image).
      {"vertical", true, true, true, false, false, glTop, 0, 6 + 24 + 14, 56},
      {"Width 50", false, true, true, false, false, glTop, 50, 50, 52},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TdxBarLargeButtonSize s;
    s.Vertical = c.Vertical;
    s.ShowCaption = c.ShowCaption;
    s.Layout = c.Layout;
    s.HasImage = c.Image;
    s.ImageWidth = c.Vertical ? 24 : 32;
    s.ImageHeight = 32;
    s.TextHeight = 13;
    s.TextWidth = 40;
    s.Width = c.Width;
    s.Lowered = c.Lowered;
    s.DropDown = c.DropDown;
    s.ArrowWidth = 12;
    EXPECT_EQ(s.ControlWidth(), c.ExpectWidth);
    EXPECT_EQ(s.ControlHeight(), c.ExpectHeight);
  }
}

TEST(BarsLargeButtonSize, GlyphAndCaptionPlaces) {
  struct TCase {
    const char* Name;
    bool Vertical, ShowCaption;
    TdxBarGlyphLayout Layout;
    TRect Glyph, Text;
    UINT Format;
  } cases[] = {
      {"above", false, true, glTop, Bounds(14, 2, 32, 32), TRect(0, 34, 60, 60), 1},
      {"below", false, true, glBottom, Bounds(14, 26, 32, 32), TRect(0, 0, 60, 26), 1},
      {"left", false, true, glLeft, Bounds(4, 14, 32, 32), TRect(39, 0, 60, 60), 0},
      {"right", false, true, glRight, Bounds(24, 14, 32, 32), TRect(0, 0, 21, 60), 2},
      {"no caption: top left", false, false, glRight, Bounds(4, 2, 32, 32), TRect(), 0},
      {"vertical, above: at the right", true, true, glTop, Bounds(26, 14, 32, 32), TRect(0, 0, 26, 60), 1},
      {"vertical, left: at the top", true, true, glLeft, Bounds(14, 4, 32, 32), TRect(0, 39, 60, 60), 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TdxBarLargeButtonSize s;
    s.Vertical = c.Vertical;
    s.ShowCaption = c.ShowCaption;
    s.Layout = c.Layout;
    TRect ir(0, 0, 60, 60);
    TRect g = s.GlyphRect(ir, TSize(32, 32));
    EXPECT_EQ(g, c.Glyph);
    if (!c.ShowCaption) continue;
    UINT format = 9;
    EXPECT_EQ(s.TextRect(ir, g, format), c.Text);
    EXPECT_EQ(format, c.Format);
  }
}

TEST(BarsLargeButtonSize, ThePictureItDraws) {
  // Hot: the hot glyph, the hot images, then the large ones; else the
  // large ones first.
  EXPECT_EQ(dxBarLargeButtonImage(true, true, true, true, true), lisHotGlyph);
  EXPECT_EQ(dxBarLargeButtonImage(false, true, true, true, true), lisLargeGlyph);
  EXPECT_EQ(dxBarLargeButtonImage(true, false, true, true, true), lisHotImages);
  EXPECT_EQ(dxBarLargeButtonImage(false, false, true, false, true), lisLargeImages);
  // A hot glyph alone shows in both states.
  EXPECT_EQ(dxBarLargeButtonImage(false, true, false, false, false), lisHotGlyph);
  EXPECT_EQ(dxBarLargeButtonImage(true, false, false, false, false), lisNone);
  // A hot index equal to the list's count is not linked: the large image
  // shows even when hot.
  EXPECT_FALSE(dxBarImageLinked(true, 3, 3));
  EXPECT_TRUE(dxBarImageLinked(true, 3, 2));
  EXPECT_FALSE(dxBarImageLinked(false, 3, 0));
  EXPECT_EQ(dxBarLargeButtonImage(true, false, dxBarImageLinked(true, 3, 3), false, true), lisLargeImages);

  TBarsForm* form = new TBarsForm;
  TImageList hot(nullptr), large(nullptr);
  for (TImageList* list : {&hot, &large}) {
    list->SetWidth(32);
    list->SetHeight(32);
    TBitmap square;
    square.SetSize(32, 32);
    for (int i = 0; i < 3; ++i) list->AddMasked(&square, clFuchsia);
  }
  form->Manager->SetHotImages(&hot);
  form->Manager->SetLargeImages(&large);
  auto* b = new TdxBarLargeButton(form);
  EXPECT_TRUE(b->AutoGrayScale());
  EXPECT_EQ(b->GlyphLayout(), glTop);
  b->SetHotImageIndex(3);
  b->SetLargeImageIndex(1);
  EXPECT_FALSE(b->IsHotImageLinked());
  EXPECT_TRUE(b->IsLargeImageLinked());
  EXPECT_TRUE(b->UseHotImages());
  b->SetWidth(-5);
  b->SetHeight(-5);
  EXPECT_EQ(b->Width(), 0);
  EXPECT_EQ(b->Height(), 0);
  // No accelerator on a toolbar without its caption; in a menu as any
  // button.
  b->SetCaption("&Open");
  b->SetPaintStyle(psCaptionGlyph);
  TdxBar* bar = form->AddBar("Large");
  TdxBarItemLink* onBar = bar->ItemLinks()->Add();
  onBar->SetItem(b);
  TdxBarSubItem* sub = form->SubItem("SubFile", "&File");
  TdxBarItemLink* inMenu = sub->ItemLinks()->Add();
  inMenu->SetItem(b);
  EXPECT_TRUE(b->HasAccel(onBar));
  b->SetShowCaption(false);
  EXPECT_FALSE(b->HasAccel(onBar));
  EXPECT_TRUE(b->HasAccel(inMenu));
  form->Manager->SetHotImages(nullptr);
  form->Manager->SetLargeImages(nullptr);
  form->Free();
}

// ---------------------------------------------------------------- spin edit

TEST(BarsSpinRules, RangeIncrementPrefixAndConversions) {
  TdxBarSpinRules r;
  // No range while both bounds are 0.
  EXPECT_FALSE(r.CheckRange());
  EXPECT_EQ(r.Checked(25), 25);
  r.MaxValue = 10;
  EXPECT_EQ(r.Checked(25), 10);
  EXPECT_EQ(r.Checked(-3), 0);
  EXPECT_EQ(r.Checked(7.9L), 7);
  // Increments.
  EXPECT_EQ(r.CheckedIncrement(0.5L), 1);
  EXPECT_EQ(r.CheckedIncrement(3), 3);
  r.ValueType = svtFloat;
  EXPECT_EQ(r.CheckedIncrement(0), 1);
  EXPECT_EQ(r.CheckedIncrement(0.5L), 0.5L);
  EXPECT_EQ(r.Checked(7.5L), 7.5L);
  // A prefix at either end, read back.
  r.ValueType = svtInteger;
  r.Prefix = "%";
  EXPECT_EQ(r.ValueToText(5), "5%");
  EXPECT_EQ(r.TextToValue("5%"), 5);
  r.PrefixPlace = ppStart;
  EXPECT_EQ(r.ValueToText(-2), "%-2");
  EXPECT_EQ(r.TextToValue("%-2"), -2);
  // A text that does not convert reads as MinValue.
  r.MinValue = 3;
  EXPECT_EQ(r.TextToValue("abc"), 3);
  long double v = 0;
  EXPECT_FALSE(r.Convert("7.5", v));
  r.ValueType = svtFloat;
  EXPECT_TRUE(r.Convert("7.5", v));
  EXPECT_EQ(v, 7.5L);
  EXPECT_EQ(r.ValueToText(2.25L), "%2.25");
}

TEST(BarsSpinRules, LargeIntegersConvertWithoutLoss) {
  TdxBarSpinRules r;
  long double v = 0;
  ASSERT_TRUE(r.Convert("3000000000", v));
  EXPECT_EQ(r.ValueToText(r.Checked(v)), "3000000000");
  ASSERT_TRUE(r.Convert("9223372036854775807", v));
  EXPECT_EQ(r.ValueToText(v), "9223372036854775807");
  EXPECT_EQ(dxBarSpinTruncate(v), INT64_MAX);
  EXPECT_EQ(dxBarSpinTruncate(-v * 4), INT64_MIN);
  EXPECT_EQ(dxBarSpinTruncate(-2.9L), -2);
  // Past 64 bits a text does not convert; a value there is still written.
  EXPECT_FALSE(r.Convert("99999999999999999999", v));
  EXPECT_EQ(r.ValueToText(1e20L), "100000000000000000000");
}

TEST(BarsSpinRules, TypedCharacters) {
  TdxBarSpinRules r;
  for (char c : {'0', '7', '9', '\b', '\x03', '\x16', '\x18', '\x1a'}) EXPECT_TRUE(r.AcceptsChar(c)) << int(c);
  for (char c : {'a', ' ', '-', '.', ',', '+', '\x01', '\r'}) EXPECT_FALSE(r.AcceptsChar(c)) << int(c);
  r.MinValue = -5;
  EXPECT_TRUE(r.AcceptsChar('-'));
  EXPECT_FALSE(r.AcceptsChar('.'));
  r.ValueType = svtFloat;
  EXPECT_TRUE(r.AcceptsChar('.'));
  r.DecimalSeparator = ',';
  EXPECT_TRUE(r.AcceptsChar(','));
  EXPECT_FALSE(r.AcceptsChar('.'));
}

TEST(BarsSpinRules, RepeatDelays) {
  EXPECT_EQ(dxBarSpinFirstRepeat(500), 400u);
  EXPECT_EQ(dxBarSpinFirstRepeat(250), 150u);
  // A double-click time of 100 ms or less still waits a little.
  EXPECT_EQ(dxBarSpinFirstRepeat(100), 10u);
  EXPECT_EQ(dxBarSpinFirstRepeat(105), 10u);
  EXPECT_EQ(dxBarSpinFirstRepeat(0), 10u);
  EXPECT_EQ(dxBarSpinRepeat, 100u);
}

TEST(BarsSpinRules, TheButtons) {
  TdxBarSpinButtons b = TdxBarSpinButtons::Calc(TRect(10, 0, 110, 22), false);
  ASSERT_TRUE(b.Shown);
  EXPECT_EQ(b.A, 4);
  EXPECT_EQ(b.ArrowWidth, 7);
  EXPECT_EQ(b.ButtonWidth, 19);
  EXPECT_EQ(b.Field, TRect(10, 0, 91, 22));
  EXPECT_EQ(b.Buttons, TRect(92, 0, 109, 22));
  EXPECT_EQ(b.Up, TRect(92, 0, 109, 11));
  EXPECT_EQ(b.Down, TRect(92, 11, 109, 22));
  EXPECT_EQ(b.At(TPoint(100, 10)), sbUp);
  EXPECT_EQ(b.At(TPoint(100, 11)), sbDown);
  EXPECT_EQ(b.At(TPoint(91, 5)), sbNone);
  EXPECT_EQ(b.At(TPoint(60, 5)), sbNone);
  POINT up[3], down[3], pressed[3];
  b.Arrow(sbUp, false, false, up);
  b.Arrow(sbDown, false, false, down);
  b.Arrow(sbUp, true, false, pressed);
  EXPECT_EQ(up[0].x, 96);
  EXPECT_EQ(up[0].y, 6);
  EXPECT_EQ(up[1].x, 102);
  EXPECT_EQ(up[2].x, 99);
  EXPECT_EQ(up[2].y, 3);
  EXPECT_EQ(down[0].y, 14);
  EXPECT_EQ(down[2].y, 17);
  EXPECT_EQ(pressed[0].x, 97);
  EXPECT_EQ(pressed[0].y, 7);
  // Flat: the up button is a pixel taller.
  EXPECT_EQ(TdxBarSpinButtons::Calc(TRect(10, 0, 110, 22), true).Up.bottom, 12);
  // Narrower than twice the buttons: none.
  TdxBarSpinButtons narrow = TdxBarSpinButtons::Calc(TRect(0, 0, 38, 22), false);
  EXPECT_FALSE(narrow.Shown);
  EXPECT_EQ(narrow.Field, TRect(0, 0, 38, 22));
  EXPECT_EQ(narrow.At(TPoint(30, 5)), sbNone);
  EXPECT_TRUE(TdxBarSpinButtons::Calc(TRect(0, 0, 40, 22), false).Shown);
}

TEST(BarsSpinEdit, CommittedTextsAndValues) {
  TBarsForm* form = new TBarsForm;
  auto* s = new TdxBarSpinEdit(form);
  EXPECT_EQ(s->Text(), "0");
  EXPECT_EQ(s->Value(), 0);
  // Any value without a range; 25 in 0..10 is stored as 10.
  s->SetText("25");
  EXPECT_EQ(s->Text(), "25");
  s->SetMaxValue(10);
  EXPECT_EQ(s->Text(), "10");
  s->SetText("25");
  EXPECT_EQ(s->Text(), "10");
  s->SetText("7");
  // A text that does not convert changes nothing.
  s->SetText("seven");
  EXPECT_EQ(s->Text(), "7");
  // A suffix: 5 shows as "5%" and reads back as 5; a typed 7 gets it.
  s->SetPrefix("%");
  EXPECT_EQ(s->Text(), "7%");
  s->SetValue(5);
  EXPECT_EQ(s->Text(), "5%");
  EXPECT_EQ(s->Value(), 5);
  s->SetText("7");
  EXPECT_EQ(s->Text(), "7%");
  s->SetPrefixPlace(ppStart);
  EXPECT_EQ(s->Text(), "%7");
  s->SetPrefix("");
  // Raising the lower bound above the upper raises both and the value.
  s->SetMinValue(20);
  EXPECT_EQ(s->MaxValue(), 20);
  EXPECT_EQ(s->Text(), "20");
  s->SetMaxValue(-4);
  EXPECT_EQ(s->MinValue(), -4);
  EXPECT_EQ(s->Text(), "-4");
  // Float to integer truncates value, increment and bounds.
  s->SetMinValue(0);
  s->SetMaxValue(0);
  s->SetValueType(svtFloat);
  s->SetIncrement(0.5L);
  s->SetValue(2.7L);
  EXPECT_EQ(s->Text(), "2.7");
  s->SetValueType(svtInteger);
  EXPECT_EQ(s->Text(), "2");
  EXPECT_EQ(s->Increment(), 1);
  // Steps, with the event after each.
  std::vector<TdxBarSpinEditButton> clicks;
  s->OnButtonClick = [&](TdxBarSpinEdit*, TdxBarSpinEditButton b) { clicks.push_back(b); };
  s->DoButtonClick(sbUp);
  s->DoButtonClick(sbUp);
  s->DoButtonClick(sbDown);
  EXPECT_EQ(s->Text(), "3");
  EXPECT_EQ(clicks.size(), 3u);
  // A large integer without a range stays whole.
  s->SetText("3000000000");
  EXPECT_EQ(s->Text(), "3000000000");
  EXPECT_EQ(s->IntValue(), 3000000000LL);
  s->SetIntValue(-5000000000LL);
  EXPECT_EQ(s->Text(), "-5000000000");
  form->Free();
}

// ---------------------------------------------------------------- progress

TEST(BarsProgress, StepItWrapsAndTheRangeHoldsThePosition) {
  struct TCase {
    const char* Name;
    int64_t Min, Max, Position, Step, Expect;
  } cases[] = {
      {"past Max", 0, 100, 95, 10, 5},
      {"below Min", 0, 100, 5, -10, 95},
      {"past Max from Min 50", 50, 100, 95, 10, 55},
      {"below Min 50", 50, 100, 55, -10, 95},
      {"inside", 0, 100, 20, 10, 30},
      {"Min = Max", 7, 7, 7, 10, 7},
      {"a step wider than the range", 0, 10, 5, 100, 10},
      {"at the ends of 64 bits", INT64_MIN, INT64_MAX, INT64_MAX - 1, 10, INT64_MIN + 9},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TdxBarProgressRange r;
    r.SetParams(c.Min, c.Max);
    r.SetPosition(c.Position);
    r.Step = c.Step;
    r.StepIt();
    EXPECT_EQ(r.Position, c.Expect);
  }
  TdxBarProgressRange r;
  r.SetPosition(80);
  r.SetMax(50);
  EXPECT_EQ(r.Position, 50);
  r.SetMin(70);
  EXPECT_EQ(r.Max, 70);
  EXPECT_EQ(r.Position, 70);
  EXPECT_FALSE(r.SetPosition(500));
  EXPECT_FALSE(r.StepBy(-100));
  EXPECT_EQ(r.Position, 70);
}

TEST(BarsProgress, FilledLengthAndTheBar) {
  EXPECT_EQ(dxBarProgressFilled(150, 0, 100, 50), 75);
  EXPECT_EQ(dxBarProgressFilled(150, 0, 100, 0), 0);
  EXPECT_EQ(dxBarProgressFilled(150, 0, 100, 100), 150);
  EXPECT_EQ(dxBarProgressFilled(150, 0, 3, 1), 50);
  EXPECT_EQ(dxBarProgressFilled(100, 0, 3, 2), 67);
  // An empty range: an empty bar, no division by zero.
  EXPECT_EQ(dxBarProgressFilled(150, 5, 5, 5), 0);
  EXPECT_EQ(dxBarProgressFilled(150, INT64_MIN, INT64_MAX, 0), 75);
  EXPECT_EQ(dxBarProgressFilled(150, 0, INT64_MAX, INT64_MAX - 1), 150);

  TdxBarProgressGeometry g;
  g.Link = TRect(0, 0, 200, 22);
  g.BorderWidth = 1;
  g.AutoWidth = 40;
  EXPECT_EQ(g.BarWidth(), 150);
  // Two thirds of 20 is 13, one more for the parity of 22.
  EXPECT_EQ(g.BarHeight(), 14);
  EXPECT_EQ(g.BarRect(), TRect(47, 4, 197, 18));
  std::vector<TRect> blocks = g.Fill(30, false);
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(blocks[0], TRect(47, 4, 56, 18));
  EXPECT_EQ(blocks[1], TRect(58, 4, 67, 18));
  EXPECT_EQ(blocks[2], TRect(69, 4, 77, 18));
  std::vector<TRect> smooth = g.Fill(30, true);
  ASSERT_EQ(smooth.size(), 1u);
  EXPECT_EQ(smooth[0], TRect(47, 4, 77, 18));
  EXPECT_TRUE(g.Fill(0, false).empty());
  // A fixed width: the bar is what the caption leaves; vertical along the
  // height.
  g.StaticWidth = 120;
  g.ShowCaption = false;
  EXPECT_EQ(g.BarWidth(), 120 - 40 - 4);
  g.Vertical = true;
  g.Link = TRect(0, 0, 22, 200);
  EXPECT_EQ(g.BarRect(), Bounds(4, 200 - 79, 14, 76));
  EXPECT_EQ(dxBarProgressDefaultWidth(40, 0, true), 40 + 152);
  EXPECT_EQ(dxBarProgressDefaultWidth(120, 120, true), 120);
}

TEST(BarsProgress, TheItemsRangeWhileLoadingAndAfter) {
  TBarsForm* form = new TBarsForm;
  auto* p = new TdxBarProgressItem(form);
  EXPECT_EQ(p->BorderStyle(), sbsLowered);
  EXPECT_EQ(p->Max(), 100);
  EXPECT_EQ(p->Step(), 10);
  p->SetPosition(95);
  p->StepIt();
  EXPECT_EQ(p->Position(), 5);
  p->SetMin(50);
  EXPECT_EQ(p->Position(), 50);
  form->Free();

  // Loading: the properties come in any order, nothing is clamped until
  // the end.
  TBarsForm* loading = new TBarsForm;
  loading->BeginLoading();
  auto* q = new TdxBarProgressItem(loading);
  q->SetPosition(500);
  q->SetMax(1000);
  q->SetMin(200);
  EXPECT_EQ(q->Position(), 500);
  loading->EndLoading();
  EXPECT_EQ(q->Position(), 500);
  EXPECT_EQ(q->Min(), 200);
  EXPECT_EQ(q->Max(), 1000);
  loading->Free();
}

// ---------------------------------------------------------------- control container

TEST(BarsControlContainer, AControlHasOneContainerAndGetsItsProcedureBack) {
  TBarsForm* form = new TBarsForm;
  auto* list = new TListBox(form);
  list->SetName("ListBox1");
  list->SetParent(form);
  auto* first = new TdxBarControlContainerItem(form);
  first->SetName("ContainerFirst");
  auto* second = new TdxBarControlContainerItem(form);
  second->SetName("ContainerSecond");
  TWndMethod own = list->WindowProc;
  first->SetControl(list);
  EXPECT_NE(list->WindowProc, own);
  // The control still hears its messages through the container's method.
  list->SetBounds(0, 0, 80, 40);
  EXPECT_EQ(list->Perform(LB_GETCOUNT), 0);
  try {
    second->SetControl(list);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "You cannot assign the same control to more than one TdxBarControlContainerItem.");
  }
  EXPECT_EQ(second->Control(), nullptr);
  EXPECT_EQ(first->Control(), list);
  first->SetControl(nullptr);
  EXPECT_EQ(list->WindowProc, own);
  second->SetControl(list);
  EXPECT_EQ(second->Control(), list);
  // A freed control leaves its container.
  list->Free();
  EXPECT_EQ(second->Control(), nullptr);
  form->Free();
}
