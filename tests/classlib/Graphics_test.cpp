#include "classlib/Graphics.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>

#include "classlib/Dib.h"
#include "support/Testutil.h"
#include "tests/classlib/Surface.h"

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlue = RGB(0, 0, 255);

// A canvas attached to a surface for the lifetime of the object.
struct TAttached {
  explicit TAttached(TSurface& s) { Canvas.SetHandle(s.DC()); }
  ~TAttached() { Canvas.SetHandle(nullptr); }
  TCanvas Canvas;
};

void Put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  v[at] = static_cast<uint8_t>(x);
  v[at + 1] = static_cast<uint8_t>(x >> 8);
}
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  Put16(v, at, x & 0xFFFF);
  Put16(v, at + 2, x >> 16);
}

// A BMP file built field by field, so a test can write any header it likes.
struct TBmpSpec {
  int HeaderSize = 40;
  int Width = 0;
  int Height = 0;
  int Bits = 24;
  uint32_t Compression = 0;
  uint32_t ClrUsed = 0;
  uint32_t SizeImage = 0;
  std::vector<uint32_t> Palette;  // 0x00RRGGBB
  std::vector<uint32_t> Masks;    // after a 40-byte header, or inside a larger one
  std::vector<uint8_t> Pixels;    // exactly as stored
};

std::vector<uint8_t> MakeBmp(const TBmpSpec& s) {
  std::vector<uint8_t> v(14 + s.HeaderSize, 0);
  v[0] = 'B';
  v[1] = 'M';
  size_t at = 14;
  Put32(v, at, s.HeaderSize);
  if (s.HeaderSize == 12) {
    Put16(v, at + 4, s.Width);
    Put16(v, at + 6, s.Height);
    Put16(v, at + 8, 1);
    Put16(v, at + 10, s.Bits);
  } else {
    Put32(v, at + 4, static_cast<uint32_t>(s.Width));
    Put32(v, at + 8, static_cast<uint32_t>(s.Height));
    Put16(v, at + 12, 1);
    Put16(v, at + 14, s.Bits);
    Put32(v, at + 16, s.Compression);
    Put32(v, at + 20, s.SizeImage);
    Put32(v, at + 32, s.ClrUsed);
    if (s.HeaderSize > 40)
      for (size_t i = 0; i < s.Masks.size(); ++i) Put32(v, at + 40 + 4 * i, s.Masks[i]);
  }
  if (s.HeaderSize == 40)
    for (uint32_t m : s.Masks) {
      v.resize(v.size() + 4);
      Put32(v, v.size() - 4, m);
    }
  for (uint32_t c : s.Palette) {
    v.push_back(c & 0xFF);
    v.push_back((c >> 8) & 0xFF);
    v.push_back((c >> 16) & 0xFF);
    if (s.HeaderSize != 12) v.push_back(0);
  }
  Put32(v, 10, static_cast<uint32_t>(v.size()));
  v.insert(v.end(), s.Pixels.begin(), s.Pixels.end());
  Put32(v, 2, static_cast<uint32_t>(v.size()));
  return v;
}

void LoadBytes(TGraphic& g, const std::vector<uint8_t>& bytes) {
  TProbeStream s(bytes);
  g.LoadFromStream(&s);
}

std::vector<uint8_t> SaveBytes(TGraphic& g) {
  TMemoryStream m;
  g.SaveToStream(&m);
  return StreamBytes(m);
}

// A bitmap of w x h filled with c.
void Paint(TBitmap& b, int w, int h, TColor c) {
  b.SetSize(w, h);
  b.Canvas()->Brush()->SetColor(c);
  b.Canvas()->FillRect(TRect(0, 0, w, h));
}

}  // namespace

// ---------------------------------------------------------------- colours

TEST(Colors, SystemColorsResolveThroughGetSysColor) {
  EXPECT_TRUE(IsSystemColor(clBtnFace));
  EXPECT_FALSE(IsSystemColor(clRed));
  EXPECT_FALSE(IsSystemColor(clNone));
  EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ColorToRGB(clHighlight), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(ColorToRGB(clRed), kRed);
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0x123456)), 0x123456u);

  TSurface s(4, 4);
  TAttached a(s);
  a.Canvas.Brush()->SetColor(clHighlight);
  a.Canvas.FillRect(TRect(0, 0, 4, 4));
  EXPECT_EQ(s.At(1, 1), GetSysColor(COLOR_HIGHLIGHT));
}

// ---------------------------------------------------------------- canvas

TEST(Canvas, FillAndFrameCoverTheirRectangles) {
  TSurface s(16, 16);
  TAttached a(s);
  a.Canvas.Brush()->SetColor(clRed);
  a.Canvas.FillRect(TRect(2, 2, 10, 10));
  EXPECT_EQ(s.CountOf(kRed, TRect(0, 0, 16, 16)), 64);
  EXPECT_EQ(s.At(2, 2), kRed);
  EXPECT_EQ(s.At(9, 9), kRed);
  EXPECT_EQ(s.At(10, 10), kWhite);

  a.Canvas.Brush()->SetColor(clBlue);
  a.Canvas.FrameRect(TRect(0, 0, 12, 12));
  EXPECT_EQ(s.CountOf(kBlue, TRect(0, 0, 16, 16)), 44);
  EXPECT_EQ(s.At(11, 0), kBlue);
  EXPECT_EQ(s.At(1, 1), kWhite);

  // Rectangle: pen outline, brush inside; a clear brush leaves the inside.
  s.Fill(kWhite);
  a.Canvas.Pen()->SetColor(clLime);
  a.Canvas.Brush()->SetColor(clRed);
  a.Canvas.Rectangle(0, 0, 6, 6);
  EXPECT_EQ(s.At(0, 0), kGreen);
  EXPECT_EQ(s.At(5, 5), kGreen);
  EXPECT_EQ(s.At(3, 3), kRed);
  a.Canvas.Brush()->SetStyle(bsClear);
  a.Canvas.Rectangle(8, 8, 14, 14);
  EXPECT_EQ(s.At(8, 8), kGreen);
  EXPECT_EQ(s.At(11, 11), kWhite);
}

TEST(Canvas, LinesLeaveOutTheirLastPoint) {
  TSurface s(12, 12);
  TAttached a(s);
  a.Canvas.Pen()->SetColor(clBlue);
  const TPoint pts[] = {TPoint(1, 1), TPoint(8, 1), TPoint(8, 6)};
  a.Canvas.Polyline(pts, 3);
  for (int x = 1; x <= 8; ++x) EXPECT_EQ(s.At(x, 1), kBlue) << x;
  for (int y = 1; y <= 5; ++y) EXPECT_EQ(s.At(8, y), kBlue) << y;
  EXPECT_EQ(s.At(8, 6), kWhite);
  EXPECT_EQ(s.CountOf(kBlue, TRect(0, 0, 12, 12)), 12);

  a.Canvas.MoveTo(1, 10);
  a.Canvas.LineTo(5, 10);
  EXPECT_EQ(s.At(4, 10), kBlue);
  EXPECT_EQ(s.At(5, 10), kWhite);
  EXPECT_EQ(a.Canvas.PenPos(), TPoint(5, 10));

  // An inverting pen drawn twice gives the pixels back.
  auto before = s.Snapshot();
  a.Canvas.Pen()->SetMode(pmNot);
  for (int i = 0; i < 2; ++i) {
    a.Canvas.MoveTo(0, 3);
    a.Canvas.LineTo(12, 3);
    if (i == 0) {
      EXPECT_EQ(s.At(0, 3), RGB(0, 0, 0));
    }
  }
  EXPECT_EQ(s.Snapshot(), before);
}

TEST(Canvas, FocusRectangleDrawnTwiceRestoresThePixels) {
  TSurface s(20, 20, RGB(30, 60, 90));
  TAttached a(s);
  auto before = s.Snapshot();
  a.Canvas.DrawFocusRect(TRect(2, 2, 18, 18));
  EXPECT_NE(s.Snapshot(), before);
  a.Canvas.DrawFocusRect(TRect(2, 2, 18, 18));
  EXPECT_EQ(s.Snapshot(), before);
}

TEST(Canvas, TextExtentsMatchTheSelectedFont) {
  TSurface s(200, 60);
  TAttached a(s);
  a.Canvas.Font()->SetName("Tahoma");
  a.Canvas.Font()->SetHeight(-13);
  const String text = "Nembra Wg";
  TSize ext = a.Canvas.TextExtent(text);

  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, a.Canvas.Font()->Handle());
  SIZE want{};
  GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &want);
  SelectObject(dc, old);
  DeleteDC(dc);
  EXPECT_EQ(ext.cx, want.cx);
  EXPECT_EQ(ext.cy, want.cy);
  EXPECT_GT(ext.cx, 0);
  EXPECT_EQ(a.Canvas.TextWidth(text), want.cx);
  EXPECT_EQ(a.Canvas.TextHeight(text), want.cy);

  // A new size is selected at the next measurement.
  a.Canvas.Font()->SetHeight(-26);
  TSize bigger = a.Canvas.TextExtent(text);
  EXPECT_GT(bigger.cy, ext.cy);
  EXPECT_GT(bigger.cx, ext.cx);
  LOGFONTA lf{};
  GetObjectA(GetCurrentObject(s.DC(), OBJ_FONT), sizeof lf, &lf);
  EXPECT_EQ(lf.lfHeight, -26);

  a.Canvas.Font()->SetSize(12);
  EXPECT_EQ(a.Canvas.Font()->Size(), 12);
  EXPECT_EQ(a.Canvas.Font()->Height(), -MulDiv(12, TFont::PixelsPerInch(), 72));
}

TEST(Canvas, TextTakesTheFontColourAndStaysInsideItsRectangle) {
  TSurface s(120, 40);
  TAttached a(s);
  a.Canvas.Font()->SetHeight(-16);
  a.Canvas.Font()->SetColor(clRed);
  a.Canvas.Brush()->SetColor(clBlue);
  TSize ext = a.Canvas.TextExtent("HHH");
  a.Canvas.TextOut(2, 2, "HHH");
  TRect box = Bounds(2, 2, ext.cx, ext.cy);
  EXPECT_GT(s.CountOf(kRed, box), 0);
  EXPECT_GT(s.CountOf(kBlue, box), 0);  // opaque background in the brush colour
  EXPECT_EQ(s.CountOf(kWhite, box), 0);
  EXPECT_EQ(s.At(2 + ext.cx, 2), kWhite);

  // Clear brush: no background; clipped text changes nothing outside r.
  s.Fill(kWhite);
  a.Canvas.Brush()->SetStyle(bsClear);
  a.Canvas.TextOut(2, 2, "HHH");
  EXPECT_EQ(s.CountOf(kBlue, TRect(0, 0, 120, 40)), 0);
  s.Fill(kWhite);
  TRect r(10, 5, 20, 15);
  a.Canvas.TextRect(r, 0, 0, "HHHHHHHH");
  EXPECT_GT(s.CountOf(kRed, r), 0);
  EXPECT_EQ(s.CountOf(kRed, TRect(0, 0, 120, 40)), s.CountOf(kRed, r));
}

TEST(Canvas, ChangedFontBrushAndPenAreSelectedAgain) {
  TSurface s(8, 8);
  HGDIOBJ stockFont = GetCurrentObject(s.DC(), OBJ_FONT);
  HGDIOBJ stockBrush = GetCurrentObject(s.DC(), OBJ_BRUSH);
  HGDIOBJ stockPen = GetCurrentObject(s.DC(), OBJ_PEN);
  {
    TAttached a(s);
    a.Canvas.Brush()->SetColor(clRed);
    a.Canvas.FillRect(TRect(0, 0, 8, 8));
    a.Canvas.Brush()->SetColor(clLime);
    a.Canvas.Pen()->SetColor(clBlue);
    a.Canvas.Rectangle(0, 0, 8, 8);
    EXPECT_EQ(s.At(3, 3), kGreen);
    EXPECT_EQ(s.At(0, 0), kBlue);
    EXPECT_EQ(GetCurrentObject(s.DC(), OBJ_BRUSH), a.Canvas.Brush()->Handle());
    EXPECT_EQ(GetCurrentObject(s.DC(), OBJ_PEN), a.Canvas.Pen()->Handle());
    a.Canvas.TextExtent("x");
    EXPECT_EQ(GetCurrentObject(s.DC(), OBJ_FONT), a.Canvas.Font()->Handle());
  }
  // Detached: the device context has its own objects back.
  EXPECT_EQ(GetCurrentObject(s.DC(), OBJ_FONT), stockFont);
  EXPECT_EQ(GetCurrentObject(s.DC(), OBJ_BRUSH), stockBrush);
  EXPECT_EQ(GetCurrentObject(s.DC(), OBJ_PEN), stockPen);
}

TEST(Canvas, ClipRegionsAreSavedAndRestored) {
  TSurface s(10, 10);
  TAttached a(s);
  a.Canvas.SaveClip();
  a.Canvas.ClipRect(TRect(0, 0, 6, 6));
  a.Canvas.SaveClip();
  a.Canvas.ClipRect(TRect(4, 4, 10, 10));  // intersects: 4..6
  a.Canvas.Brush()->SetColor(clRed);
  a.Canvas.FillRect(TRect(0, 0, 10, 10));
  EXPECT_EQ(s.CountOf(kRed, TRect(0, 0, 10, 10)), 4);
  a.Canvas.RestoreClip();
  a.Canvas.Brush()->SetColor(clLime);
  a.Canvas.FillRect(TRect(0, 0, 10, 10));
  EXPECT_EQ(s.CountOf(kGreen, TRect(0, 0, 10, 10)), 36);
  a.Canvas.RestoreClip();
  a.Canvas.Brush()->SetColor(clBlue);
  a.Canvas.FillRect(TRect(0, 0, 10, 10));
  EXPECT_EQ(s.CountOf(kBlue, TRect(0, 0, 10, 10)), 100);
  a.Canvas.RestoreClip();  // nothing saved: nothing happens
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(s.DC(), rgn), 0);  // no clipping region left
  DeleteObject(rgn);
}

TEST(Canvas, CopyRectPixelAndNoHandle) {
  TSurface src(8, 8, kRed), dst(8, 8);
  TAttached a(src), b(dst);
  b.Canvas.CopyRect(TRect(0, 0, 4, 4), &a.Canvas, TRect(0, 0, 4, 4));
  EXPECT_EQ(dst.At(3, 3), kRed);
  EXPECT_EQ(dst.At(4, 4), kWhite);
  b.Canvas.CopyMode = NOTSRCCOPY;
  b.Canvas.CopyRect(TRect(4, 4, 8, 8), &a.Canvas, TRect(0, 0, 4, 4));
  EXPECT_EQ(dst.At(5, 5), RGB(0, 255, 255));
  b.Canvas.SetPixel(7, 0, clBlue);
  EXPECT_EQ(b.Canvas.Pixel(7, 0), kBlue);

  TCanvas bare;
  try {
    bare.FillRect(TRect(0, 0, 1, 1));
    ADD_FAILURE() << "drew without a device context";
  } catch (EInvalidOperation& e) {
    EXPECT_EQ(e.Message, "Canvas does not allow drawing");
  }
}

TEST(Canvas, PatternBrushFromABitmap) {
  TBitmap pattern;
  Paint(pattern, 8, 8, clWhite);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      if (x % 2 == y % 2) pattern.Canvas()->SetPixel(x, y, clBlue);
  TSurface s(8, 8);
  TAttached a(s);
  a.Canvas.Brush()->SetBitmap(&pattern);
  a.Canvas.FillRect(TRect(0, 0, 8, 8));
  EXPECT_EQ(s.At(0, 0), kBlue);
  EXPECT_EQ(s.At(1, 0), kWhite);
  EXPECT_EQ(s.At(3, 5), kBlue);
  a.Canvas.Brush()->SetBitmap(nullptr);
}

TEST(MemoryCanvas, MakesItsOwnDeviceContext) {
  TMemoryCanvas c;
  EXPECT_FALSE(c.HandleAllocated());
  EXPECT_NE(c.Handle(), nullptr);
  EXPECT_EQ(GetObjectType(c.Handle()), static_cast<DWORD>(OBJ_MEMDC));
}

// ---------------------------------------------------------------- bitmaps

TEST(Bitmap, SizeCanvasAndHandle) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  Paint(b, 6, 4, clRed);
  EXPECT_GE(changes, 2);  // the size and the drawing
  EXPECT_EQ(b.Width(), 6);
  EXPECT_EQ(b.Canvas()->Pixel(5, 3), kRed);

  b.SetSize(8, 5);  // the overlap is kept, the rest black
  EXPECT_EQ(b.Canvas()->Pixel(5, 3), kRed);
  EXPECT_EQ(b.Canvas()->Pixel(7, 4), RGB(0, 0, 0));

  // Once the context is freed the bitmap can be selected elsewhere.
  b.FreeContext();
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, b.Handle());
  EXPECT_NE(old, nullptr);
  EXPECT_EQ(GetPixel(dc, 0, 0), kRed);
  SelectObject(dc, old);
  DeleteDC(dc);
  EXPECT_EQ(b.Canvas()->Pixel(0, 0), kRed);  // the canvas makes a new context

  b.SetPixelFormat(pf32bit);
  EXPECT_EQ(b.PixelFormat(), pf32bit);
  EXPECT_EQ(b.Canvas()->Pixel(1, 1), kRed);
  EXPECT_THROW(b.SetPixelFormat(pfCustom), EInvalidGraphic);

  HBITMAP h = b.ReleaseHandle();
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Handle(), nullptr);
  TBitmap taken;
  taken.SetHandle(h);
  EXPECT_EQ(taken.Width(), 8);
  EXPECT_EQ(taken.PixelFormat(), pf32bit);
  EXPECT_EQ(taken.Canvas()->Pixel(1, 1), kRed);
  EXPECT_THROW(taken.SetHandle(reinterpret_cast<HBITMAP>(GetStockObject(WHITE_BRUSH))), EInvalidGraphic);
  EXPECT_EQ(taken.Width(), 8);

  TBitmap copy;
  copy.Assign(&taken);
  taken.Canvas()->SetPixel(1, 1, clBlue);
  EXPECT_EQ(copy.Canvas()->Pixel(1, 1), kRed);
  EXPECT_NE(copy.Handle(), taken.Handle());

  // A top-down DIB section taken over and copied keeps its rows in order.
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = 1;
  bi.bmiHeader.biHeight = -2;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(dib, nullptr);
  static_cast<uint32_t*>(bits)[0] = 0x0000FF;  // the top row: blue
  static_cast<uint32_t*>(bits)[1] = 0xFFFFFF;
  TBitmap held;
  held.SetHandle(dib);
  EXPECT_EQ(held.PixelFormat(), pf32bit);
  EXPECT_EQ(held.Canvas()->Pixel(0, 0), kBlue);
  TBitmap rows;
  rows.Assign(&held);
  EXPECT_EQ(rows.Canvas()->Pixel(0, 0), kBlue);
  EXPECT_EQ(rows.Canvas()->Pixel(0, 1), kWhite);
}

TEST(GraphicsObjects, HandlesTakenFromOutsideAreReadAndNeverDeleted) {
  HFONT foreign =
      CreateFontA(-20, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH, "Courier New");
  TFont font;
  font.SetHandle(foreign);
  EXPECT_EQ(font.Name(), "Courier New");
  EXPECT_EQ(font.Height(), -20);
  EXPECT_EQ(font.Style(), (TFontStyles{fsBold, fsItalic}));
  EXPECT_EQ(font.Pitch(), fpFixed);
  EXPECT_EQ(font.Handle(), foreign);
  TFont copy;
  copy.Assign(&font);
  EXPECT_EQ(copy.Height(), -20);
  EXPECT_NE(copy.Handle(), foreign);
  font.SetHeight(-10);  // a font of its own from now on
  EXPECT_NE(font.Handle(), foreign);
  EXPECT_EQ(GetObjectType(foreign), static_cast<DWORD>(OBJ_FONT));
  DeleteObject(foreign);

  HBRUSH hatch = CreateHatchBrush(HS_CROSS, RGB(1, 2, 3));
  {
    TBrush brush;
    brush.SetHandle(hatch);
    EXPECT_EQ(brush.Style(), bsCross);
    EXPECT_EQ(brush.Color(), static_cast<TColor>(RGB(1, 2, 3)));
    EXPECT_EQ(brush.Handle(), hatch);
  }
  EXPECT_EQ(GetObjectType(hatch), static_cast<DWORD>(OBJ_BRUSH));
  DeleteObject(hatch);
}

TEST(Bitmap, TransparentDrawingAndMask) {
  TBitmap b;
  Paint(b, 4, 4, clFuchsia);
  b.Canvas()->SetPixel(1, 1, clRed);
  EXPECT_EQ(b.TransparentMode(), tmAuto);
  EXPECT_EQ(b.TransparentColor(), clFuchsia);  // the bottom-left pixel
  b.SetTransparent(true);

  TSurface s(8, 8, kGreen);
  TAttached a(s);
  a.Canvas.Draw(0, 0, &b);
  EXPECT_EQ(s.At(1, 1), kRed);
  EXPECT_EQ(s.At(0, 0), kGreen);
  EXPECT_EQ(s.At(3, 3), kGreen);
  a.Canvas.StretchDraw(TRect(0, 0, 8, 8), &b);  // twice the size
  EXPECT_EQ(s.At(2, 2), kRed);
  EXPECT_EQ(s.At(3, 3), kRed);
  EXPECT_EQ(s.At(5, 5), kGreen);

  b.SetTransparentColor(clRed);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  s.Fill(kGreen);
  a.Canvas.Draw(0, 0, &b);
  EXPECT_EQ(s.At(1, 1), kGreen);
  EXPECT_EQ(s.At(0, 0), RGB(255, 0, 255));
  b.SetTransparentColor(clDefault);
  EXPECT_EQ(b.TransparentMode(), tmAuto);

  b.Mask(clFuchsia);
  EXPECT_EQ(b.PixelFormat(), pf1bit);
  EXPECT_EQ(b.Canvas()->Pixel(0, 0), kWhite);
  EXPECT_EQ(b.Canvas()->Pixel(1, 1), RGB(0, 0, 0));
  b.SetTransparent(false);
  s.Fill(kGreen);
  a.Canvas.Draw(0, 0, &b);  // a monochrome bitmap draws black on white
  EXPECT_EQ(s.At(0, 0), kWhite);
  EXPECT_EQ(s.At(1, 1), RGB(0, 0, 0));
}

TEST(Bitmap, BmpRoundTripKeepsPixelsAndFormat) {
  for (TPixelFormat f : {pf24bit, pf32bit, pf1bit}) {
    SCOPED_TRACE(static_cast<int>(f));
    TBitmap b;
    Paint(b, 5, 3, clWhite);
    b.Canvas()->SetPixel(0, 0, clBlack);
    b.Canvas()->SetPixel(4, 2, f == pf1bit ? clBlack : clTeal);
    b.SetPixelFormat(f);
    std::vector<uint8_t> bytes = SaveBytes(b);
    TBitmap back;
    LoadBytes(back, bytes);
    EXPECT_EQ(back.PixelFormat(), f);
    ASSERT_EQ(back.Width(), 5);
    ASSERT_EQ(back.Height(), 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(back.Canvas()->Pixel(x, y), b.Canvas()->Pixel(x, y)) << x << "," << y;
  }

  // 32 bits: the fourth byte of each pixel survives.
  TBitmap b;
  b.SetPixelFormat(pf32bit);
  Paint(b, 2, 2, clRed);
  b.FreeContext();
  DIBSECTION ds{};
  ASSERT_EQ(GetObjectA(b.Handle(), sizeof ds, &ds), static_cast<int>(sizeof ds));
  GdiFlush();
  static_cast<uint8_t*>(ds.dsBm.bmBits)[3] = 0x80;
  std::vector<uint8_t> bytes = SaveBytes(b);
  TBitmap back;
  LoadBytes(back, bytes);
  std::vector<uint8_t> again = SaveBytes(back);
  EXPECT_EQ(again, bytes);

  // A bitmap inside a longer stream: the stream ends up right after it.
  bytes.insert(bytes.end(), {1, 2, 3});
  TProbeStream s(bytes);
  TBitmap inner;
  inner.LoadFromStream(&s);
  EXPECT_EQ(s.Position(), s.DataSize() - 3);

  // Nothing written for an empty bitmap; an empty stream empties one.
  TBitmap empty;
  EXPECT_TRUE(SaveBytes(empty).empty());
  LoadBytes(back, {});
  EXPECT_TRUE(back.Empty());
}

TEST(Bitmap, ReadsEveryBmpKind) {
  struct Case {
    const char* name;
    TBmpSpec spec;
    TPixelFormat format;
    std::vector<std::pair<TPoint, COLORREF>> expect;
  };
  auto spec = [](int w, int h, int bits, std::vector<uint8_t> px) {
    TBmpSpec s;
    s.Width = w;
    s.Height = h;
    s.Bits = bits;
    s.Pixels = std::move(px);
    return s;
  };
  std::vector<Case> cases;
  {
    TBmpSpec s = spec(3, 1, 1, {0x40, 0, 0, 0});  // 0 1 0
    s.Palette = {0xFF0000, 0x00FF00};
    cases.push_back({"1 bit, colour palette", s, pf24bit, {{{0, 0}, kRed}, {{1, 0}, kGreen}, {{2, 0}, kRed}}});
  }
  {
    TBmpSpec s = spec(2, 1, 1, {0x80, 0, 0, 0});
    s.Palette = {0x000000, 0xFFFFFF};
    cases.push_back({"1 bit, black and white", s, pf1bit, {{{0, 0}, kWhite}, {{1, 0}, RGB(0, 0, 0)}}});
  }
  {
    // Bottom-up: the first row stored is the bottom one; index 5 is beyond
    // the three colours given and reads black.
    TBmpSpec s = spec(2, 2, 4, {0x01, 0, 0, 0, 0x25, 0, 0, 0});
    s.ClrUsed = 3;
    s.Palette = {0xFF0000, 0x00FF00, 0x0000FF};
    cases.push_back({"4 bits, short palette",
                     s,
                     pf24bit,
                     {{{0, 1}, kRed}, {{1, 1}, kGreen}, {{0, 0}, kBlue}, {{1, 0}, RGB(0, 0, 0)}}});
  }
  {
    TBmpSpec s = spec(3, 1, 8, {2, 0, 1, 0});
    s.ClrUsed = 3;
    s.Palette = {0xFF0000, 0x00FF00, 0x0000FF};
    cases.push_back({"8 bits", s, pf24bit, {{{0, 0}, kBlue}, {{1, 0}, kRed}, {{2, 0}, kGreen}}});
  }
  cases.push_back(
      {"16 bits, 5-5-5", spec(2, 1, 16, {0x00, 0x7C, 0x1F, 0x00}), pf24bit, {{{0, 0}, kRed}, {{1, 0}, kBlue}}});
  {
    TBmpSpec s = spec(2, 1, 16, {0x00, 0xF8, 0xE0, 0x07});
    s.Compression = 3;
    s.Masks = {0xF800, 0x07E0, 0x001F};
    cases.push_back({"16 bits, 5-6-5 bit fields", s, pf24bit, {{{0, 0}, kRed}, {{1, 0}, kGreen}}});
  }
  cases.push_back(
      {"24 bits, top-down", spec(1, -2, 24, {0, 0, 255, 0, 255, 0, 0, 0}), pf24bit, {{{0, 0}, kRed}, {{0, 1}, kBlue}}});
  cases.push_back({"32 bits", spec(1, 1, 32, {0x10, 0x20, 0x30, 0x40}), pf32bit, {{{0, 0}, RGB(0x30, 0x20, 0x10)}}});
  {
    TBmpSpec s = spec(1, 1, 32, {0x00, 0x00, 0xFF, 0x00});  // 0x00FF0000 read through the masks below
    s.HeaderSize = 124;
    s.Compression = 3;
    s.Masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0};
    cases.push_back({"32 bits, bit fields in a V5 header", s, pf32bit, {{{0, 0}, kBlue}}});
  }
  {
    // Row 0 (bottom): 2 x red, 2 x green; end of line; row 1: delta right 1,
    // then one blue; end of bitmap. Skipped pixels take the first colour.
    TBmpSpec s = spec(4, 2, 8, {2, 0, 2, 1, 0, 0, 0, 2, 1, 0, 1, 2, 0, 1});
    s.Compression = 1;
    s.ClrUsed = 3;
    s.Palette = {0xFF0000, 0x00FF00, 0x0000FF};
    cases.push_back({"8-bit run lengths",
                     s,
                     pf24bit,
                     {{{0, 1}, kRed}, {{3, 1}, kGreen}, {{0, 0}, kRed}, {{1, 0}, kBlue}, {{2, 0}, kRed}}});
  }
  {
    TBmpSpec s = spec(4, 1, 4, {4, 0x12, 0, 1});  // 1 2 1 2
    s.Compression = 2;
    s.ClrUsed = 3;
    s.Palette = {0xFF0000, 0x00FF00, 0x0000FF};
    cases.push_back({"4-bit run lengths", s, pf24bit, {{{0, 0}, kGreen}, {{1, 0}, kBlue}, {{3, 0}, kBlue}}});
  }
  {
    TBmpSpec s = spec(2, 1, 24, {0, 0, 255, 255, 0, 0, 0, 0});
    s.HeaderSize = 12;
    cases.push_back({"core header", s, pf24bit, {{{0, 0}, kRed}, {{1, 0}, kBlue}}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap b;
    LoadBytes(b, MakeBmp(c.spec));
    EXPECT_EQ(b.PixelFormat(), c.format);
    for (auto& [p, colour] : c.expect) EXPECT_EQ(b.Canvas()->Pixel(p.x, p.y), colour) << p.x << "," << p.y;
  }
}

TEST(Bitmap, BrokenHeadersAreRefusedAndTheOldPictureKept) {
  // 4 x 2, 8 bits, four colours: headers 54 bytes, palette 16, pixels 8.
  TBmpSpec base;
  base.Width = 4;
  base.Height = 2;
  base.Bits = 8;
  base.ClrUsed = 4;
  base.Palette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  base.Pixels = {0, 1, 2, 3, 3, 2, 1, 0};
  const std::vector<uint8_t> good = MakeBmp(base);
  TBmpSpec fields;
  fields.Width = 2;
  fields.Height = 1;
  fields.Bits = 16;
  fields.Compression = 3;
  fields.Masks = {0xF800, 0x07E0, 0x001F};
  fields.Pixels = {0, 0xF8, 0xE0, 0x07};
  const std::vector<uint8_t> goodFields = MakeBmp(fields);
  TBmpSpec rle = base;
  rle.Compression = 1;
  rle.Pixels = {4, 1, 0, 0, 4, 2, 0, 1};
  const std::vector<uint8_t> goodRle = MakeBmp(rle);

  using Edit = std::function<void(std::vector<uint8_t>&)>;
  auto at32 = [](size_t at, uint32_t x) -> Edit { return [=](std::vector<uint8_t>& v) { Put32(v, at, x); }; };
  auto at16 = [](size_t at, uint32_t x) -> Edit { return [=](std::vector<uint8_t>& v) { Put16(v, at, x); }; };
  auto cut = [](size_t n) -> Edit { return [=](std::vector<uint8_t>& v) { v.resize(n); }; };
  auto both = [](Edit a, Edit b) -> Edit { return [=](std::vector<uint8_t>& v) { a(v), b(v); }; };
  auto pixels = [](std::vector<uint8_t> px) -> Edit {
    return [=](std::vector<uint8_t>& v) {
      v.resize(70);
      v.insert(v.end(), px.begin(), px.end());
    };
  };
  struct Case {
    const char* name;
    const std::vector<uint8_t>* base;
    Edit edit;
  };
  const std::vector<Case> cases = {
      {"not a BMP", &good, [](std::vector<uint8_t>& v) { v[1] = 'X'; }},
      {"file header cut", &good, cut(10)},
      {"info header cut", &good, cut(30)},
      {"info header size 0", &good, at32(14, 0)},
      {"info header size of OS/2 2.x", &good, at32(14, 64)},
      {"info header longer than the data", &good, at32(14, 124)},
      {"width 0", &good, at32(18, 0)},
      {"negative width", &good, at32(18, static_cast<uint32_t>(-4))},
      {"height 0", &good, at32(22, 0)},
      {"height of the smallest integer", &good, at32(22, 0x80000000u)},
      {"width beyond the limit", &good, at32(18, 40000)},
      {"too many pixels", &good, both(at32(18, 30000), at32(22, 30000))},
      {"two planes", &good, at16(26, 2)},
      {"0 bits", &good, at16(28, 0)},
      {"3 bits", &good, at16(28, 3)},
      {"64 bits", &good, at16(28, 64)},
      {"JPEG compression", &good, at32(30, 4)},
      {"PNG compression", &good, at32(30, 5)},
      {"alpha bit fields", &good, at32(30, 6)},
      {"8-bit run lengths with 24 bits", &good, both(at16(28, 24), at32(30, 1))},
      {"bit fields with 8 bits", &good, at32(30, 3)},
      {"more colours than the bits can index", &good, at32(46, 300)},
      {"palette beyond the data", &good, at32(46, 0)},
      {"bits offset inside the file header", &good, at32(10, 2)},
      {"bits offset inside the info header", &good, at32(10, 14)},
      {"bits offset inside the palette", &good, at32(10, 60)},
      {"bits offset beyond the data", &good, at32(10, 1000)},
      {"pixel data one byte short", &good, cut(good.size() - 1)},
      {"zero mask", &goodFields, at32(54, 0)},
      {"overlapping masks", &goodFields, at32(58, 0x0FE0)},
      {"mask with a gap", &goodFields, at32(62, 0x0015)},
      {"16-bit mask beyond 16 bits", &goodFields, at32(54, 0x1F800)},
      {"top-down run lengths", &goodRle, at32(22, static_cast<uint32_t>(-2))},
      {"run-length image size beyond the data", &goodRle, at32(34, 1000)},
      {"absolute run cut short", &goodRle, pixels({0, 4, 1, 2})},
      {"delta cut short", &goodRle, pixels({0, 2, 1})},
      {"run-length pair cut short", &goodRle, pixels({4, 1, 0})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = *c.base;
    c.edit(bytes);
    TBitmap b;
    Paint(b, 3, 3, clTeal);
    int changes = 0;
    b.OnChange = [&](TObject*) { ++changes; };
    TProbeStream s(bytes);
    try {
      b.LoadFromStream(&s);
      ADD_FAILURE() << "accepted";
    } catch (EInvalidGraphic& e) {
      EXPECT_EQ(e.Message, "Bitmap image is not valid");
    }
    EXPECT_LE(s.Furthest(), s.DataSize());
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Canvas()->Pixel(2, 2), ColorToRGB(clTeal));
  }
  // The bases themselves are fine.
  for (const auto* v : {&good, &goodFields, &goodRle}) {
    TBitmap b;
    EXPECT_NO_THROW(LoadBytes(b, *v));
  }
}

TEST(Bitmap, ResourcesByNameAndId) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  TBitmap b;
  b.LoadFromResourceName(self, "STRIP");
  EXPECT_EQ(b.Width(), 32);
  EXPECT_EQ(b.Height(), 16);
  EXPECT_EQ(b.Canvas()->Pixel(0, 0), RGB(255, 0, 255));
  EXPECT_EQ(b.Canvas()->Pixel(5, 5), kRed);
  EXPECT_EQ(b.Canvas()->Pixel(21, 5), kBlue);
  TBitmap byId;
  byId.LoadFromResourceID(self, 101);
  EXPECT_EQ(byId.Canvas()->Pixel(21, 5), kBlue);
  try {
    b.LoadFromResourceName(self, "NOSUCHBITMAP");
    ADD_FAILURE() << "loaded";
  } catch (EResNotFound& e) {
    EXPECT_EQ(e.Message, "Resource NOSUCHBITMAP not found");
  }
  EXPECT_EQ(b.Width(), 32);
}

// ---------------------------------------------------------------- icons

namespace {

// An icon file of square 32-bit images, each of one colour with its right
// half transparent.
std::vector<uint8_t> MakeIco(const std::vector<std::pair<int, uint32_t>>& images) {
  std::vector<std::vector<uint8_t>> parts;
  for (auto [n, colour] : images) {
    std::vector<uint32_t> px(static_cast<size_t>(n) * n);
    std::vector<uint8_t> mask(px.size());
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        bool opaque = x < n / 2;
        px[static_cast<size_t>(y) * n + x] = opaque ? colour : 0;
        mask[static_cast<size_t>(y) * n + x] = !opaque;
      }
    std::vector<uint8_t> one = IcoEncode(n, n, px.data(), mask.data());
    parts.emplace_back(one.begin() + 22, one.end());  // the image without its directory
  }
  std::vector<uint8_t> v(6 + 16 * parts.size(), 0);
  Put16(v, 2, 1);
  Put16(v, 4, static_cast<uint32_t>(parts.size()));
  for (size_t i = 0; i < parts.size(); ++i) {
    size_t e = 6 + 16 * i;
    v[e] = static_cast<uint8_t>(images[i].first);
    v[e + 1] = static_cast<uint8_t>(images[i].first);
    Put16(v, e + 4, 1);
    Put16(v, e + 6, 32);
    Put32(v, e + 8, static_cast<uint32_t>(parts[i].size()));
    Put32(v, e + 12, static_cast<uint32_t>(v.size()));
    v.insert(v.end(), parts[i].begin(), parts[i].end());
  }
  return v;
}

}  // namespace

TEST(Icon, LoadsTheSystemSizeDrawsAndRoundTrips) {
  ASSERT_EQ(GetSystemMetrics(SM_CXICON), 32);
  TIcon icon;
  EXPECT_TRUE(icon.Transparent());
  LoadBytes(icon, MakeIco({{16, 0x00FF00}, {32, 0x0000FF}, {48, 0xFF0000}}));
  EXPECT_EQ(icon.Width(), 32);
  EXPECT_EQ(icon.Height(), 32);
  TSurface s(40, 40);
  TAttached a(s);
  a.Canvas.Draw(0, 0, &icon);
  EXPECT_EQ(s.At(4, 4), kBlue);
  EXPECT_EQ(s.At(28, 4), kWhite);

  TIcon back;
  LoadBytes(back, SaveBytes(icon));
  EXPECT_EQ(back.Width(), 32);
  s.Fill(kGreen);
  a.Canvas.Draw(0, 0, &back);
  EXPECT_EQ(s.At(4, 30), kBlue);
  EXPECT_EQ(s.At(28, 30), kGreen);

  TIcon copy;
  copy.Assign(&icon);
  EXPECT_NE(copy.Handle(), icon.Handle());
  EXPECT_EQ(copy.Width(), 32);

  TIcon res;
  res.LoadFromResourceName(GetModuleHandleA(nullptr), "TWOSIZES");
  EXPECT_EQ(res.Width(), 32);
  EXPECT_THROW(res.LoadFromResourceName(GetModuleHandleA(nullptr), "NOSUCHICON"), EResNotFound);
  EXPECT_EQ(res.Width(), 32);
}

TEST(Icon, BrokenFilesAreRefusedAndTheOldIconKept) {
  const std::vector<uint8_t> good = MakeIco({{16, 0x00FF00}});
  const size_t img = 22;  // the image's info header
  using Edit = std::function<void(std::vector<uint8_t>&)>;
  auto at32 = [](size_t at, uint32_t x) -> Edit { return [=](std::vector<uint8_t>& v) { Put32(v, at, x); }; };
  auto at16 = [](size_t at, uint32_t x) -> Edit { return [=](std::vector<uint8_t>& v) { Put16(v, at, x); }; };
  struct Case {
    const char* name;
    Edit edit;
  };
  const std::vector<Case> cases = {
      {"cursor file", at16(2, 2)},
      {"no images", at16(4, 0)},
      {"directory beyond the data", at16(4, 50)},
      {"image beyond the data", at32(18, 5000)},
      {"image size beyond the data", at32(14, 5000)},
      {"image inside the directory", at32(18, 10)},
      {"image shorter than a header", at32(14, 20)},
      {"image bits cut short", at32(14, 40 + 100)},
      {"width 0", at32(img + 4, 0)},
      {"odd height", at32(img + 8, 31)},
      {"3 bits", at16(img + 14, 3)},
      {"compressed", at32(img + 16, 1)},
      {"more colours than the bits can index",
       [&](std::vector<uint8_t>& v) { Put16(v, img + 14, 8), Put32(v, img + 32, 300); }},
      {"file cut short", [](std::vector<uint8_t>& v) { v.resize(v.size() - 1); }},
      {"only a PNG image", [&](std::vector<uint8_t>& v) { std::memcpy(v.data() + img, "\x89PNG\r\n\x1a\n", 8); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = good;
    c.edit(bytes);
    TIcon icon;
    LoadBytes(icon, MakeIco({{32, 0x0000FF}}));
    HICON before = icon.Handle();
    TProbeStream s(bytes);
    try {
      icon.LoadFromStream(&s);
      ADD_FAILURE() << "accepted";
    } catch (EInvalidGraphic& e) {
      EXPECT_EQ(e.Message, "Icon image is not valid");
    }
    EXPECT_LE(s.Furthest(), s.DataSize());
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(icon.Handle(), before);
    EXPECT_EQ(icon.Width(), 32);
  }
  TIcon ok;
  EXPECT_NO_THROW(LoadBytes(ok, good));
}

// ---------------------------------------------------------------- pictures

TEST(Picture, ChoosesTheKindByExtensionAndKeepsThePictureOnFailure) {
  String dir = MakeTempFolder("picture");
  TBitmap b;
  Paint(b, 3, 2, clRed);
  b.SaveToFile(dir + "\\a.bmp");
  TIcon icon;
  LoadBytes(icon, MakeIco({{32, 0x0000FF}}));
  icon.SaveToFile(dir + "\\a.ico");
  WriteFileBytes(dir + "\\broken.bmp", "BMjunk");

  TPicture p;
  int changes = 0;
  p.OnChange = [&](TObject*) { ++changes; };
  p.LoadFromFile(dir + "\\a.bmp");
  ASSERT_NE(dynamic_cast<TBitmap*>(p.Graphic()), nullptr);
  EXPECT_EQ(p.Width(), 3);
  EXPECT_EQ(changes, 1);
  p.LoadFromFile(dir + "\\A.ICO");
  ASSERT_NE(dynamic_cast<TIcon*>(p.Graphic()), nullptr);
  EXPECT_EQ(p.Width(), 32);

  TGraphic* held = p.Graphic();
  EXPECT_THROW(p.LoadFromFile(dir + "\\broken.bmp"), EInvalidGraphic);
  EXPECT_THROW(p.LoadFromFile(dir + "\\missing.bmp"), EFOpenError);
  try {
    p.LoadFromFile(dir + "\\a.gif");
    ADD_FAILURE() << "loaded";
  } catch (EInvalidGraphic& e) {
    EXPECT_EQ(e.Message, "Unknown picture file extension (.gif)");
  }
  EXPECT_EQ(p.Graphic(), held);
  EXPECT_EQ(changes, 2);

  // A change of the graphic is the picture's change.
  p.Icon()->Assign(nullptr);
  EXPECT_EQ(changes, 3);
  // Asking for a bitmap replaces the icon by an empty bitmap.
  TBitmap* pb = p.Bitmap();
  EXPECT_TRUE(pb->Empty());
  EXPECT_EQ(p.Graphic(), pb);
  pb->SetSize(4, 4);
  EXPECT_EQ(changes, 5);

  // Assign copies: the two pictures are independent afterwards.
  TPicture q;
  q.Assign(&p);
  ASSERT_NE(dynamic_cast<TBitmap*>(q.Graphic()), nullptr);
  EXPECT_NE(q.Graphic(), p.Graphic());
  pb->SetSize(9, 9);
  EXPECT_EQ(q.Width(), 4);
  q.Assign(nullptr);
  EXPECT_EQ(q.Graphic(), nullptr);
}
