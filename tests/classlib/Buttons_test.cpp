#include "Ctrlform.h"

namespace {

COLORREF Rgb(TColor c) { return ColorToRGB(c) & 0xFFFFFF; }

// count glyphs of 16 x 16 side by side on fuchsia, each with an 8 x 8
// square at (4, 4) in its colour.
void MakeGlyph(TBitmap& b, std::initializer_list<TColor> squares) {
  int n = static_cast<int>(squares.size());
  b.SetSize(16 * n, 16);
  b.Canvas()->Brush()->SetColor(clFuchsia);
  b.Canvas()->FillRect(TRect(0, 0, 16 * n, 16));
  int i = 0;
  for (TColor c : squares) {
    b.Canvas()->Brush()->SetColor(c);
    b.Canvas()->FillRect(TRect(16 * i + 4, 4, 16 * i + 12, 12));
    ++i;
  }
}

}  // namespace

// ---------------------------------------------------------------- speed buttons

TEST(SpeedButton, GroupKeepsOneDown) {
  TFormPtr f(new TTestForm("Speed buttons"));
  auto* bar = f->Add<TPanel>(0, 0, 100, 30);
  bar->SetAlign(alTop);
  TSpeedButton* b[3];
  std::vector<int> clicks(4);
  for (int i = 0; i < 3; ++i) {
    b[i] = f->Add<TSpeedButton>(4 + 30 * i, 4, 28, 22, bar);
    b[i]->SetCaption(String(1, static_cast<char>('A' + i)));
    b[i]->SetGroupIndex(1);
    b[i]->OnClick = [&clicks, i](TObject*) { ++clicks[static_cast<size_t>(i)]; };
  }
  auto* single = f->Add<TSpeedButton>(120, 4, 60, 22, bar);
  single->SetCaption("Single");
  single->SetFlat(true);
  single->OnClick = [&](TObject*) { ++clicks[3]; };
  ASSERT_TRUE(f->ShowAndWait());
  ASSERT_TRUE(Click(b[0]->Handle()));
  EXPECT_TRUE(b[0]->Down());
  ASSERT_TRUE(Click(b[1]->Handle()));
  EXPECT_TRUE(b[1]->Down());
  EXPECT_FALSE(b[0]->Down());
  SaveScreenshot(f->Handle(), "b_down");
  // Without AllowAllUp the down button stays down.
  ASSERT_TRUE(Click(b[1]->Handle()));
  EXPECT_TRUE(b[1]->Down());
  b[1]->SetDown(false);
  EXPECT_TRUE(b[1]->Down());
  b[0]->SetAllowAllUp(true);
  EXPECT_TRUE(b[2]->AllowAllUp());
  ASSERT_TRUE(Click(b[1]->Handle()));
  EXPECT_FALSE(b[1]->Down());
  EXPECT_EQ(clicks, (std::vector<int>{1, 3, 0, 0}));
  // A press released outside is no click; while pressed it shows down.
  ASSERT_TRUE(MoveTo(CentreOf(b[2]->Handle())));
  ASSERT_TRUE(MouseDown());
  EXPECT_EQ(b[2]->State(), bsDown);
  ASSERT_TRUE(MoveTo(ClientPoint(f->Handle(), 300, 200)));
  EXPECT_EQ(b[2]->State(), bsUp);
  ASSERT_TRUE(MouseUp());
  EXPECT_FALSE(b[2]->Down());
  EXPECT_EQ(clicks[2], 0);
  // A flat button shows its frame while the mouse is over it.
  EXPECT_TRUE(ColorAt(CaptureClient(single->Handle()), 0, 0, Rgb(clBtnFace)));
  ASSERT_TRUE(MoveTo(CentreOf(single->Handle())));
  EXPECT_TRUE(WaitUntil([&] { return SameColor(CaptureClient(single->Handle()).Pixel(0, 0), Rgb(clBtnHighlight)); }));
  ASSERT_TRUE(MoveTo(ClientPoint(f->Handle(), 300, 200)));
  EXPECT_TRUE(WaitUntil([&] { return SameColor(CaptureClient(single->Handle()).Pixel(0, 0), Rgb(clBtnFace)); }));
  // Ungrouped buttons click and never stay down.
  ASSERT_TRUE(Click(single->Handle()));
  single->SetDown(true);
  EXPECT_FALSE(single->Down());
  EXPECT_EQ(clicks[3], 1);
  b[2]->SetDown(true);
  EXPECT_EQ(b[2]->State(), bsExclusive);
  SaveScreenshot(f->Handle(), "c_down");
}

TEST(SpeedButton, GlyphIsTransparentAndTheDisabledLookIsEngraved) {
  TFormPtr f(new TTestForm("Speed glyphs"));
  TBitmap one, two, red;
  MakeGlyph(one, {clBlack});
  MakeGlyph(two, {clBlack, clBlue});
  MakeGlyph(red, {clRed});
  auto* plain = f->Add<TSpeedButton>(10, 10, 40, 30);
  plain->SetGlyph(&one);
  auto* own = f->Add<TSpeedButton>(60, 10, 40, 30);
  own->SetGlyph(&two);
  own->SetNumGlyphs(2);
  auto* captioned = f->Add<TSpeedButton>(110, 10, 100, 30);
  captioned->SetGlyph(&red);
  captioned->SetCaption("Reconnect");
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle(), "enabled");
  TDibSurface s = CaptureClient(plain->Handle());
  EXPECT_EQ(CountColor(s, RGB(255, 0, 255)), 0);
  EXPECT_EQ(CountColor(s, RGB(0, 0, 0)), 64);
  RECT square = ColorBounds(s, RGB(0, 0, 0));
  EXPECT_EQ(square.left, (40 - 16 + 1) / 2 + 4);
  TDibSurface c = CaptureClient(captioned->Handle());
  RECT glyph = ColorBounds(c, RGB(255, 0, 0));
  RECT text = ColorBounds(c, Rgb(clBtnText), 60);
  // Glyph (its square ends 4 pixels before its edge), 4 pixels, caption;
  // centred together.
  EXPECT_EQ(text.left, glyph.right + 4 + 4);
  EXPECT_NEAR(glyph.left - 4, 100 - text.right, 8);
  for (TSpeedButton* b : {plain, own, captioned}) b->SetEnabled(false);
  UpdateWindow(f->Handle());
  SaveScreenshot(f->Handle(), "disabled");
  s = CaptureClient(plain->Handle());
  EXPECT_EQ(CountColor(s, RGB(0, 0, 0)), 0);
  EXPECT_GE(CountColor(s, Rgb(clBtnShadow)), 64);
  EXPECT_EQ(CountColor(s, RGB(255, 0, 255)), 0);
  // A glyph of its own for the disabled state.
  TDibSurface o = CaptureClient(own->Handle());
  EXPECT_EQ(CountColor(o, RGB(0, 0, 255)), 64);
}

TEST(SpeedButton, HintShowsAsATooltip) {
  TFormPtr f(new TTestForm("Speed hint"));
  auto* b = f->Add<TSpeedButton>(10, 10, 80, 24);
  b->SetCaption("Reconnect");
  b->SetHint("Reconnect|Connect to the server again");
  b->SetShowHint(true);
  auto* other = f->Add<TPanel>(10, 100, 100, 50);
  int savedPause = Application->HintPause;
  Application->HintPause = 50;
  struct TRestore {
    int pause;
    ~TRestore() { Application->HintPause = pause; }
  } restore{savedPause};
  ASSERT_TRUE(f->ShowAndWait());
  ASSERT_TRUE(MoveTo(CentreOf(other->Handle())));
  ASSERT_TRUE(MoveTo(CentreOf(b->Handle())));
  HWND tip = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (tip = FindTopWindow("", "THintWindow")) != nullptr; }, 3000));
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(WindowText(tip), "Reconnect");
  TDibSurface s = CaptureClient(tip);
  SaveDesktopScreenshot("tooltip");
  EXPECT_GT(CountColor(s, Rgb(clInfoBk)), s.Width() * s.Height() / 2);
  EXPECT_GT(CountColor(s, Rgb(clInfoText), 80), 20);
  EXPECT_EQ(Application->Hint(), "Connect to the server again");
  ASSERT_TRUE(MoveTo(CentreOf(other->Handle())));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(tip); }, 3000));
}

TEST(SpeedButton, FollowsItsAction) {
  TFormPtr f(new TTestForm("Speed action"));
  auto* list = new TActionList(f.get());
  auto* a = new TAction(f.get());
  a->SetActionList(list);
  a->SetCaption("&Details");
  a->SetGroupIndex(10);
  a->SetChecked(true);
  int runs = 0;
  a->OnExecute = [&](TObject*) { ++runs; };
  auto* b = f->Add<TSpeedButton>(10, 10, 80, 24);
  ASSERT_TRUE(f->ShowAndWait());
  b->SetAction(a);
  EXPECT_EQ(b->Caption(), "&Details");
  EXPECT_EQ(b->GroupIndex(), 10);
  EXPECT_TRUE(b->Down());
  a->SetChecked(false);
  EXPECT_FALSE(b->Down());
  a->SetEnabled(false);
  EXPECT_FALSE(b->Enabled());
  a->SetEnabled(true);
  ASSERT_TRUE(Click(b->Handle()));
  EXPECT_EQ(runs, 1);
  SaveScreenshot(f->Handle());
}

// ---------------------------------------------------------------- bitmap buttons

TEST(BitBtn, DrawsItsGlyphAndClicksLikeAButton) {
  TFormPtr f(new TTestForm("Bitmap button"));
  TBitmap glyph;
  MakeGlyph(glyph, {clRed});
  auto* b = f->Add<TBitBtn>(10, 10, 90, 28);
  b->SetGlyph(&glyph);
  b->SetCaption("&Help");
  b->SetDefault(true);
  auto* icon = f->Add<TBitBtn>(110, 10, 24, 23);
  icon->SetGlyph(&glyph);
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  auto* edit = f->Add<TEdit>(10, 60, 100, 21);
  ASSERT_TRUE(f->ShowAndWait());
  ASSERT_TRUE(FocusWindow(edit->Handle()));
  UpdateWindow(f->Handle());
  SaveScreenshot(f->Handle());
  EXPECT_EQ(GetWindowLongA(b->Handle(), GWL_STYLE) & 0x0F, BS_OWNERDRAW);
  TDibSurface s = CaptureClient(b->Handle());
  EXPECT_EQ(CountColor(s, RGB(255, 0, 0)), 64);
  EXPECT_EQ(CountColor(s, RGB(255, 0, 255)), 0);
  // The default button's frame.
  EXPECT_TRUE(ColorAt(s, 0, 0, Rgb(clWindowFrame)));
  TDibSurface i = CaptureClient(icon->Handle());
  RECT square = ColorBounds(i, RGB(255, 0, 0));
  EXPECT_NEAR((square.left + square.right) / 2, 12, 1);
  ASSERT_TRUE(Click(b->Handle()));
  EXPECT_EQ(clicks, 1);
  // A quick second click is a click too.
  ASSERT_TRUE(DoubleClick(b->Handle()));
  EXPECT_EQ(clicks, 3);
  ASSERT_TRUE(FocusWindow(edit->Handle()));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(clicks, 4);
  b->SetEnabled(false);
  UpdateWindow(b->Handle());
  SaveScreenshot(f->Handle(), "disabled");
  s = CaptureClient(b->Handle());
  EXPECT_EQ(CountColor(s, RGB(255, 0, 0)), 0);
}
