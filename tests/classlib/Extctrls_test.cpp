#include <cstdio>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "Ctrlform.h"
#include "classlib/Jpeg.h"

namespace {

COLORREF Rgb(TColor c) { return ColorToRGB(c) & 0xFFFFFF; }

// A 20 x 10 bitmap: fuchsia with a red block at (5, 2)-(15, 8).
void MakePicture(TBitmap& b) {
  b.SetSize(20, 10);
  b.Canvas()->Brush()->SetColor(clFuchsia);
  b.Canvas()->FillRect(TRect(0, 0, 20, 10));
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(TRect(5, 2, 15, 8));
}

// A 32 x 16 JPEG of one grey.
void MakeJpeg(TJPEGImage& img) {
  const int w = 32, h = 16;
  std::vector<unsigned char> rgb(w * h * 3, 128);
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = w;
  c.image_height = h;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = &rgb[c.next_scanline * w * 3];
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  img.LoadFromMemory(out, size);
  jpeg_destroy_compress(&c);
  free(out);
}

}  // namespace

// ---------------------------------------------------------------- panels

TEST(Panel, BevelsFrameTheChildrenAndTheCaptionIsCentred) {
  TFormPtr f(new TTestForm("Panels", 420, 260));
  auto* p = f->Add<TPanel>(10, 10, 200, 100);
  p->SetBevelOuter(bvRaised);
  p->SetBevelInner(bvLowered);
  p->SetBevelWidth(2);
  p->SetBorderWidth(3);
  p->SetColor(static_cast<TColor>(0x804000));
  p->Font()->SetColor(clWhite);
  p->SetCaption("Centre");
  auto* sunk = f->Add<TPanel>(220, 10, 150, 100);
  sunk->SetBevelOuter(bvLowered);
  sunk->SetBorderStyle(bsSingle);
  auto* child = f->Add<TPanel>(0, 0, 10, 10, sunk);
  child->SetAlign(alClient);
  child->SetBevelOuter(bvNone);
  child->SetColor(clWhite);
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  const COLORREF light = Rgb(clBtnHighlight), dark = Rgb(clBtnShadow), blue = RGB(0, 0x40, 0x80);
  TDibSurface s = CaptureClient(p->Handle());
  const int w = s.Width(), h = s.Height();
  EXPECT_TRUE(ColorAt(s, 0, 0, light));
  EXPECT_TRUE(ColorAt(s, 1, 1, light));
  EXPECT_TRUE(ColorAt(s, w - 1, h - 1, dark));
  EXPECT_TRUE(ColorAt(s, 3, 3, blue));
  EXPECT_TRUE(ColorAt(s, 5, 5, dark));
  EXPECT_TRUE(ColorAt(s, w - 6, h - 6, light));
  EXPECT_TRUE(ColorAt(s, 8, 8, blue));
  RECT text = ColorBounds(s, RGB(255, 255, 255), 40);
  EXPECT_NEAR((text.left + text.right) / 2, w / 2, 4);
  EXPECT_NEAR((text.top + text.bottom) / 2, h / 2, 4);
  // The child fills what the border and the bevel leave.
  TRect c = sunk->ClientRect();
  EXPECT_EQ(child->BoundsRect(), TRect(1, 1, c.right - 1, c.bottom - 1));
  TDibSurface t = CaptureClient(sunk->Handle());
  EXPECT_TRUE(ColorAt(t, 0, 0, dark));
  EXPECT_TRUE(ColorAt(t, 1, 1, RGB(255, 255, 255)));
}

TEST(Panel, WithoutFullRepaintAResizeStillRedrawsTheFrame) {
  TFormPtr f(new TTestForm("Panel resize", 420, 200));
  auto* p = f->Add<TPanel>(10, 10, 150, 80);
  p->SetFullRepaint(false);
  p->SetCaption("Moves");
  ASSERT_TRUE(f->ShowAndWait());
  p->SetWidth(250);
  UpdateWindow(p->Handle());
  SaveScreenshot(f->Handle());
  TDibSurface s = CaptureClient(p->Handle());
  EXPECT_TRUE(ColorAt(s, 249, 40, Rgb(clBtnShadow)));
  // No bevel left where the edge was.
  EXPECT_TRUE(ColorAt(s, 149, 10, Rgb(clBtnFace)));
  RECT text = ColorBounds(s, Rgb(clBtnText), 60);
  EXPECT_NEAR((text.left + text.right) / 2, 125, 4);
}

// ---------------------------------------------------------------- bevels

TEST(Bevel, ShapesDrawTheirLinesOverTheParent) {
  const COLORREF dark = Rgb(clBtnShadow), light = Rgb(clBtnHighlight), face = Rgb(clBtnFace);
  struct TPix {
    int x, y;
    COLORREF c;
  };
  struct {
    TBevelShape shape;
    TBevelStyle style;
    std::vector<TPix> pixels;
  } cases[] = {
      {bsBox, bsLowered, {{0, 0, dark}, {39, 29, light}, {20, 15, face}}},
      {bsBox, bsRaised, {{0, 0, light}, {39, 29, dark}}},
      {bsFrame, bsLowered, {{0, 0, dark}, {1, 1, light}, {38, 10, dark}, {39, 10, light}, {20, 15, face}}},
      {bsTopLine, bsLowered, {{10, 0, dark}, {10, 1, light}, {10, 10, face}}},
      {bsBottomLine, bsLowered, {{10, 28, dark}, {10, 29, light}, {10, 0, face}}},
      {bsLeftLine, bsLowered, {{0, 10, dark}, {1, 10, light}, {39, 10, face}}},
      {bsRightLine, bsRaised, {{38, 10, light}, {39, 10, dark}}},
      {bsSpacer, bsLowered, {{0, 0, face}, {39, 29, face}}},
  };
  TFormPtr f(new TTestForm("Bevels", 420, 120));
  std::vector<TBevel*> bevels;
  int x = 10;
  for (const auto& c : cases) {
    auto* b = f->Add<TBevel>(x, 10, 40, 30);
    b->SetShape(c.shape);
    b->SetStyle(c.style);
    bevels.push_back(b);
    x += 50;
  }
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  for (size_t i = 0; i < bevels.size(); ++i) {
    SCOPED_TRACE("bevel " + IntToStr(static_cast<int>(i)));
    TDibSurface s = CaptureClient(bevels[i]->Handle());
    for (const auto& p : cases[i].pixels) EXPECT_TRUE(ColorAt(s, p.x, p.y, p.c)) << p.x << "," << p.y;
  }
  // The mouse goes through to the form.
  EXPECT_EQ(TControl::FindDragTarget(CentreOf(bevels[0]->Handle())), f.get());
}

// ---------------------------------------------------------------- images

TEST(Image, StretchCenterProportionalAndTransparent) {
  TFormPtr f(new TTestForm("Images", 600, 200));
  f->SetColor(clWhite);
  TBitmap picture;
  MakePicture(picture);
  struct {
    bool stretch, center, proportional, transparent;
    TRect dest;
  } cases[] = {
      {false, false, false, false, TRect(0, 0, 20, 10)},
      {false, true, false, false, TRect(40, 45, 60, 55)},
      {true, false, false, false, TRect(0, 0, 100, 100)},
      {true, true, true, false, TRect(0, 25, 100, 75)},
      {false, true, false, true, TRect(40, 45, 60, 55)},
  };
  std::vector<TImage*> images;
  int x = 10;
  for (const auto& c : cases) {
    auto* img = f->Add<TImage>(x, 10, 100, 100);
    img->Picture()->SetGraphic(&picture);
    img->SetStretch(c.stretch);
    img->SetCenter(c.center);
    img->SetProportional(c.proportional);
    img->SetTransparent(c.transparent);
    images.push_back(img);
    x += 110;
  }
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  for (size_t i = 0; i < images.size(); ++i) {
    SCOPED_TRACE("image " + IntToStr(static_cast<int>(i)));
    const auto& c = cases[i];
    EXPECT_EQ(images[i]->DestRect(), c.dest);
    TDibSurface s = CaptureClient(images[i]->Handle());
    RECT red = ColorBounds(s, RGB(255, 0, 0));
    EXPECT_EQ(red.left, c.dest.left + c.dest.Width() / 4);
    EXPECT_EQ(red.right - red.left, c.dest.Width() / 2);
    EXPECT_EQ(CountColor(s, RGB(255, 0, 255)) > 0, !c.transparent);
    // Outside the picture the form shows.
    if (c.dest.Width() < 100) {
      EXPECT_TRUE(ColorAt(s, 99, 99, RGB(255, 255, 255)));
    }
  }
}

TEST(Image, AutoSizeTakesTheJpegSize) {
  TFormPtr f(new TTestForm("Image jpeg", 300, 150));
  auto* img = f->Add<TImage>(10, 10, 100, 100);
  img->SetAutoSize(true);
  TJPEGImage jpeg;
  MakeJpeg(jpeg);
  img->Picture()->SetGraphic(&jpeg);
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  EXPECT_EQ(img->Width(), 32);
  EXPECT_EQ(img->Height(), 16);
  TDibSurface s = CaptureClient(img->Handle());
  EXPECT_GT(CountColor(s, RGB(128, 128, 128), 12), 32 * 16 * 9 / 10);
}

// ---------------------------------------------------------------- splitters

namespace {

// A left pane, its splitter, a client pane, and a right pane with its own
// splitter.
class TSplitForm : public TTestForm {
 public:
  TSplitForm() : TTestForm("Splitters", 520, 300) {
    left = Add<TPanel>(0, 0, 120, 100);
    left->SetAlign(alLeft);
    left->SetCaption("left");
    split = Add<TSplitter>(120, 0, 5, 100);
    split->SetMinSize(50);
    split->OnMoved = [this](TObject*) { ++moves; };
    right = Add<TPanel>(400, 0, 80, 100);
    right->SetAlign(alRight);
    right->SetCaption("right");
    rightSplit = Add<TSplitter>(395, 0, 5, 100);
    rightSplit->SetAlign(alRight);
    rightSplit->SetMinSize(50);
    client = Add<TPanel>(0, 0, 10, 10);
    client->SetAlign(alClient);
    client->SetColor(clWhite);
    client->SetBevelOuter(bvNone);
  }
  TPanel *left, *right, *client;
  TSplitter *split, *rightSplit;
  int moves = 0;
};

POINT Centre(TControl* c) { return POINT{c->Left() + c->Width() / 2, c->Top() + c->Height() / 2}; }

}  // namespace

TEST(Splitter, DragResizesTheNeighbourWithinMinSize) {
  TOwned<TSplitForm> f(new TSplitForm);
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  const int clientWidth = f->ClientWidth();
  EXPECT_EQ(f->split->Neighbour(), f->left);
  EXPECT_EQ(f->rightSplit->Neighbour(), f->right);
  struct {
    const char* what;
    bool leftSplitter;
    int dx;
    int size;
  } cases[] = {
      {"wider", true, 60, 180},
      {"right pane wider", false, -40, 120},
      {"below MinSize", true, -200, 50},
      // The rest keeps MinSize: the client less both splitters and the right pane.
      {"past the other side", true, 1000, clientWidth - 50 - 5 - 5 - 120},
      {"right pane into the rest", false, -380, 120},
  };
  int moves = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TSplitter* s = c.leftSplitter ? f->split : f->rightSplit;
    TControl* pane = c.leftSplitter ? static_cast<TControl*>(f->left) : f->right;
    POINT from = Centre(s);
    ASSERT_TRUE(Drag(f->Handle(), from, POINT{from.x + c.dx, from.y}, 6));
    EXPECT_TRUE(WaitFor([&] { return pane->Width() == c.size; }, 2000)) << pane->Width();
    if (c.leftSplitter) {
      EXPECT_EQ(f->moves, ++moves);
    }
    EXPECT_GE(f->client->Width(), 50);
    EXPECT_EQ(s->Left(), c.leftSplitter ? pane->Width() : pane->Left() - s->Width());
  }
  SaveScreenshot(f->Handle(), "after");
}

TEST(Splitter, PatternLineShowsDuringTheDragAndTheSizeFollowsOnRelease) {
  TOwned<TSplitForm> f(new TSplitForm);
  int asked = 0;
  f->split->OnCanResize = [&](TObject*, int& size, bool&) {
    ++asked;
    if (size > 200) size = 200;
  };
  ASSERT_TRUE(f->ShowAndWait());
  UpdateWindow(f->Handle());
  POINT from = Centre(f->split);
  ASSERT_TRUE(MoveTo(ClientPoint(f->Handle(), from.x, from.y)));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(MoveTo(ClientPoint(f->Handle(), from.x + 150, from.y)));
  ASSERT_TRUE(MoveTo(ClientPoint(f->Handle(), from.x + 160, from.y)));
  WaitInputProcessed();
  SaveDesktopScreenshot("dragging");
  // The line sits where the splitter will go (the size the handler allowed).
  RECT line;
  GetWindowRect(f->client->Handle(), &line);
  line.left += 200 - 125 + 1;
  line.right = line.left + 3;
  line.top += 20;
  line.bottom = line.top + 20;
  TDibSurface s = CaptureScreen(line);
  EXPECT_LT(CountColor(s, RGB(255, 255, 255)), 60 * 9 / 10);
  EXPECT_EQ(f->left->Width(), 120);
  ASSERT_TRUE(MouseUp());
  EXPECT_TRUE(WaitFor([&] { return f->left->Width() == 200; }, 2000)) << f->left->Width();
  EXPECT_GT(asked, 0);
  UpdateWindow(f->Handle());
  // No trace of the line is left.
  TDibSurface after = CaptureClient(f->client->Handle());
  EXPECT_EQ(CountColor(after, RGB(255, 255, 255)), after.Width() * after.Height());
}

TEST(Splitter, TopSplitterResizesLiveWithRsUpdate) {
  TFormPtr f(new TTestForm("Splitter live", 400, 300));
  auto* top = f->Add<TPanel>(0, 0, 100, 80);
  top->SetAlign(alTop);
  auto* split = f->Add<TSplitter>(0, 80, 100, 6);
  split->SetAlign(alTop);
  split->SetResizeStyle(rsUpdate);
  split->SetBeveled(true);
  split->SetMinSize(40);
  int moves = 0;
  split->OnMoved = [&](TObject*) { ++moves; };
  auto* rest = f->Add<TPanel>(0, 0, 10, 10);
  rest->SetAlign(alClient);
  ASSERT_TRUE(f->ShowAndWait());
  EXPECT_EQ(split->Cursor(), crVSplit);
  POINT from = Centre(split);
  ASSERT_TRUE(MoveTo(ClientPoint(f->Handle(), from.x, from.y)));
  EXPECT_TRUE(WaitFor([&] { return GetCursor() == CursorHandle(crVSplit); }, 2000));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(MoveTo(ClientPoint(f->Handle(), from.x, from.y + 30)));
  EXPECT_TRUE(WaitFor([&] { return top->Height() == 110; }, 2000)) << top->Height();
  EXPECT_EQ(moves, 0);
  SaveScreenshot(f->Handle(), "dragging");
  ASSERT_TRUE(MoveTo(ClientPoint(f->Handle(), from.x, from.y - 100)));
  EXPECT_TRUE(WaitFor([&] { return top->Height() == 40; }, 2000)) << top->Height();
  ASSERT_TRUE(MouseUp());
  EXPECT_EQ(moves, 1);
  EXPECT_EQ(split->Top(), 40);
}

// ---------------------------------------------------------------- radio groups

TEST(RadioGroup, ButtonsFollowItemsAndTheIndex) {
  TFormPtr f(new TTestForm("Radio group"));
  auto* g = f->Add<TRadioGroup>(10, 10, 220, 120);
  g->SetCaption("Connection");
  g->Items()->SetCommaText("LAN,Phone,DSL,Cable");
  g->SetColumns(2);
  g->SetItemIndex(1);
  int clicks = 0;
  g->OnClick = [&](TObject*) { ++clicks; };
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(g->ItemIndex(), 1);
  EXPECT_TRUE(g->Buttons(1)->Checked());
  EXPECT_EQ(WindowText(g->Buttons(3)->Handle()), "Cable");
  // Two columns of two.
  EXPECT_EQ(g->Buttons(0)->Left(), g->Buttons(1)->Left());
  EXPECT_GT(g->Buttons(1)->Top(), g->Buttons(0)->Top());
  EXPECT_EQ(g->Buttons(2)->Top(), g->Buttons(0)->Top());
  EXPECT_GE(g->Buttons(2)->Left(), 8 + (220 - 10) / 2);
  g->SetItemIndex(2);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(g->Buttons(2)->Checked());
  EXPECT_FALSE(g->Buttons(1)->Checked());
  ASSERT_TRUE(Click(g->Buttons(3)->Handle()));
  EXPECT_EQ(g->ItemIndex(), 3);
  EXPECT_EQ(clicks, 2);
  g->Items()->Delete(3);
  EXPECT_EQ(g->ItemIndex(), 2);
  EXPECT_TRUE(g->Buttons(2)->Checked());
  EXPECT_THROW(g->Buttons(3), EListError);
  g->SetItemIndex(-1);
  EXPECT_FALSE(g->Buttons(2)->Checked());
  EXPECT_EQ(clicks, 2);
}
