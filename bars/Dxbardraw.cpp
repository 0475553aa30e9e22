// Drawing primitives of the bars: arrows, gradient, the checkerboard brush
// and the glyph drawing every item control uses.
#include "Dxbar.h"

namespace {

HBRUSH gPatternBrush = nullptr;
HBITMAP gPatternBitmap = nullptr;

// GDI objects made here are freed on every path.
struct TGdiObject {
  HGDIOBJ Handle = nullptr;
  TGdiObject() = default;
  explicit TGdiObject(HGDIOBJ h) : Handle(h) {}
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;
  ~TGdiObject() {
    if (Handle) DeleteObject(Handle);
  }
};

// A memory DC with one bitmap selected, restored and freed on every path.
struct TMemoryDC {
  HDC DC = nullptr;
  HGDIOBJ OldBitmap = nullptr;
  HBITMAP Bitmap = nullptr;
  TMemoryDC(HDC compatible, HBITMAP bitmap) : DC(CreateCompatibleDC(compatible)), Bitmap(bitmap) {
    if (DC && Bitmap) OldBitmap = SelectObject(DC, Bitmap);
  }
  TMemoryDC(const TMemoryDC&) = delete;
  TMemoryDC& operator=(const TMemoryDC&) = delete;
  ~TMemoryDC() {
    if (DC) {
      if (OldBitmap) SelectObject(DC, OldBitmap);
      DeleteDC(DC);
    }
    if (Bitmap) DeleteObject(Bitmap);
  }
  bool Valid() const { return DC && Bitmap; }
};

HBRUSH SysBrush(int index) { return CreateSolidBrush(dxBarSysColor(index)); }

// A monochrome bitmap blitted onto colour pixels: 0 bits black, 1 bits white.
void MonoColors(HDC dc) {
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
}

// Brush where the mask is 0, the destination kept where it is 1.
constexpr DWORD kRopBrushWhereMaskZero = 0x00E20746;

void PaintThroughMask(HDC dest, const TRect& to, HDC mask, int w, int h, int colorIndex) {
  TGdiObject brush(SysBrush(colorIndex));
  HGDIOBJ old = SelectObject(dest, brush.Handle);
  SetTextColor(dest, RGB(255, 255, 255));
  SetBkColor(dest, RGB(0, 0, 0));
  StretchBlt(dest, to.left, to.top, to.Width(), to.Height(), mask, 0, 0, w, h, kRopBrushWhereMaskZero);
  SelectObject(dest, old);
}

// Applies f to every pixel (blue, green, red) of a bitmap through a 32-bit
// top-down copy.
template <class F>
void ForEachPixel(HDC dc, HBITMAP bitmap, int w, int h, F f) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  std::vector<uint8_t> bits(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  // The caller has the bitmap deselected: its bits are read and written.
  if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(h), bits.data(), &bi, DIB_RGB_COLORS) == 0) return;
  for (size_t i = 0; i < bits.size(); i += 4) f(bits[i], bits[i + 1], bits[i + 2]);
  SetDIBits(dc, bitmap, 0, static_cast<UINT>(h), bits.data(), &bi, DIB_RGB_COLORS);
}

}  // namespace

// ---------------------------------------------------------------- pattern brush

HBRUSH PatternBrush() { return gPatternBrush; }

void dxBarFreePatternBrush() {
  if (gPatternBrush) DeleteObject(gPatternBrush);
  if (gPatternBitmap) DeleteObject(gPatternBitmap);
  gPatternBrush = nullptr;
  gPatternBitmap = nullptr;
}

void dxBarSysColorChanged() {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  COLORREF high = dxBarSysColor(COLOR_BTNHIGHLIGHT);
  COLORREF face = dxBarSysColor(COLOR_BTNFACE);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) SetPixel(dc, x, y, x % 2 == y % 2 ? face : high);
  SelectObject(dc, old);
  DeleteDC(dc);
  dxBarFreePatternBrush();
  gPatternBitmap = bitmap;
  gPatternBrush = CreatePatternBrush(bitmap);
  HDC d = GetDC(nullptr);
  ScreenBitsPixel = GetDeviceCaps(d, BITSPIXEL);
  ReleaseDC(nullptr, d);
}

// ---------------------------------------------------------------- arrows

int ItemArrowSize(const TRect& r, TdxArrowType arrowType) {
  int s = arrowType == atDown ? r.Width() - 8 : r.Height() - 6;
  int size = (s - 1) / 2 + (s % 2 != 0 ? 1 : 0);
  return size < 3 ? 3 : size;
}

void DrawItemArrow(HDC dc, TRect r, TdxArrowType arrowType, bool enabled, bool selected, bool flat) {
  DrawLargeItemArrow(dc, r, arrowType, ItemArrowSize(r, arrowType), selected, enabled, flat);
}

void DrawLargeItemArrow(HDC dc, TRect r, TdxArrowType arrowType, int size, bool selected, bool enabled, bool flat) {
  int colorIndex = !enabled ? COLOR_BTNSHADOW : selected ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT;
  COLORREF color = dxBarSysColor(colorIndex);
  int x, y;
  POINT p[3];
  if (arrowType == atRight) {
    x = (r.left + r.right - size) / 2;
    y = (r.top + r.bottom - (2 * size - 1)) / 2;
    p[0] = {x, y};
    p[1] = {x, y + 2 * size - 2};
    p[2] = {x + size - 1, y + size - 1};
  } else {
    x = (r.left + r.right - (2 * size - 1)) / 2;
    y = (r.top + r.bottom - size) / 2;
    p[0] = {x, y};
    p[1] = {x + 2 * size - 2, y};
    p[2] = {x + size - 1, y + size - 1};
  }
  TGdiObject pen(CreatePen(PS_SOLID, 1, color));
  TGdiObject brush(CreateSolidBrush(color));
  HGDIOBJ oldPen = SelectObject(dc, pen.Handle);
  HGDIOBJ oldBrush = SelectObject(dc, brush.Handle);
  Polygon(dc, p, 3);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  if (!enabled && !flat) {
    TGdiObject etch(CreatePen(PS_SOLID, 1, dxBarSysColor(COLOR_BTNHIGHLIGHT)));
    HGDIOBJ old = SelectObject(dc, etch.Handle);
    if (arrowType == atRight) {
      MoveToEx(dc, x + size - 1, y + size, nullptr);
      LineTo(dc, x, y + 2 * size - 1);
      MoveToEx(dc, x + size, y + size, nullptr);
      LineTo(dc, x, y + 2 * size);
    } else {
      MoveToEx(dc, x + size, y + size - 1, nullptr);
      LineTo(dc, x + 2 * size - 1, y);
      MoveToEx(dc, x + size, y + size, nullptr);
      LineTo(dc, x + 2 * size, y);
    }
    SelectObject(dc, old);
  }
}

void FrameFlatSelRect(HDC dc, const TRect& r) {
  TGdiObject brush(SysBrush(COLOR_HIGHLIGHT));
  FrameRect(dc, &r, static_cast<HBRUSH>(brush.Handle));
}

void DrawVerticalGradient(TCanvas* canvas, const TRect& r, int fromRed, int toRed, int fromGreen, int toGreen,
                          int fromBlue, int toBlue) {
  int height = r.Height();
  int top = r.top;
  for (int i = 0; i < 256; ++i) {
    int bottom = r.top + MulDiv(i + 1, height, 256);
    int red = fromRed + MulDiv(i, toRed - fromRed, 255);
    int green = fromGreen + MulDiv(i, toGreen - fromGreen, 255);
    int blue = fromBlue + MulDiv(i, toBlue - fromBlue, 255);
    canvas->Brush()->SetColor(static_cast<TColor>(RGB(red, green, blue)));
    canvas->FillRect(TRect(r.left, top, r.right, bottom));
    top = bottom;
  }
}

// ---------------------------------------------------------------- glyphs

void TransparentDraw(HDC dc, HBRUSH brush, const TRect& r, const TRect& glyphRect, TBitmap* bitmap,
                     TCustomImageList* images, int imageIndex, bool enabled, bool grayed, bool flat, bool raise,
                     bool keepColour, bool noRaise, TColor imageBkColor) {
  bool fromBitmap = bitmap && !bitmap->Empty();
  if (!fromBitmap && !images) return;
  int gw = fromBitmap ? bitmap->Width() : images->Width();
  int gh = fromBitmap ? bitmap->Height() : images->Height();
  int w = r.Width(), h = r.Height();
  if (gw <= 0 || gh <= 0 || w <= 0 || h <= 0) return;
  TRect gr(glyphRect.left - r.left, glyphRect.top - r.top, glyphRect.right - r.left, glyphRect.bottom - r.top);

  TMemoryDC mem(dc, CreateCompatibleBitmap(dc, w, h));
  if (!mem.Valid()) return;
  HPALETTE palette = static_cast<HPALETTE>(GetCurrentObject(dc, OBJ_PAL));
  HPALETTE oldPalette = nullptr;
  if (palette) {
    oldPalette = SelectPalette(mem.DC, palette, TRUE);
    RealizePalette(mem.DC);
  }
  RECT all{0, 0, w, h};
  FillRect(mem.DC, &all, brush);

  if (enabled) {
    TMemoryDC image(dc, CreateCompatibleBitmap(dc, gw, gh));
    TMemoryDC mask(dc, CreateBitmap(gw, gh, 1, 1, nullptr));
    if (image.Valid() && mask.Valid()) {
      if (fromBitmap) {
        BitBlt(image.DC, 0, 0, gw, gh, bitmap->Canvas()->Handle(), 0, 0, SRCCOPY);
      } else {
        TGdiObject bk(CreateSolidBrush(ColorToRGB(imageBkColor)));
        RECT ir{0, 0, gw, gh};
        FillRect(image.DC, &ir, static_cast<HBRUSH>(bk.Handle));
        ImageList_Draw(images->Handle(), imageIndex, image.DC, 0, 0, ILD_NORMAL);
      }
      COLORREF transparent = GetPixel(image.DC, 0, gh - 1);
      SetBkColor(image.DC, transparent);
      BitBlt(mask.DC, 0, 0, gw, gh, image.DC, 0, 0, SRCCOPY);

      bool faded = flat && !raise && !keepColour && !grayed && dxBarMakeInactiveImagesDingy;
      if (grayed || faded) {
        SelectObject(image.DC, image.OldBitmap);
        ForEachPixel(image.DC, image.Bitmap, gw, gh, [&](uint8_t& b, uint8_t& g, uint8_t& rr) {
          if (grayed) {
            uint8_t v = static_cast<uint8_t>((b + g + rr) / 3);
            b = g = rr = v;
          } else {
            b = static_cast<uint8_t>(b + MulDiv(255 - b, 3, 10));
            g = static_cast<uint8_t>(g + MulDiv(255 - g, 3, 10));
            rr = static_cast<uint8_t>(rr + MulDiv(255 - rr, 3, 10));
          }
        });
        SelectObject(image.DC, image.Bitmap);
      }

      TPoint p = gr.TopLeft();
      bool raised = flat && raise && !noRaise;
      if (raised) {
        p = TPoint(p.x - 1, p.y - 1);
        PaintThroughMask(mem.DC, Bounds(p.x + 2, p.y + 2, gr.Width(), gr.Height()), mask.DC, gw, gh, COLOR_BTNSHADOW);
      }
      DWORD a = MERGEPAINT, b = SRCAND;
      if (dxBarSysColor(COLOR_BTNFACE) == RGB(0, 0, 0) && !grayed && !(flat && raise)) std::swap(a, b);
      MonoColors(mem.DC);
      StretchBlt(mem.DC, p.x, p.y, gr.Width(), gr.Height(), mask.DC, 0, 0, gw, gh, a);
      MonoColors(image.DC);
      BitBlt(image.DC, 0, 0, gw, gh, mask.DC, 0, 0, SRCPAINT);
      StretchBlt(mem.DC, p.x, p.y, gr.Width(), gr.Height(), image.DC, 0, 0, gw, gh, b);
    }
  } else {
    TMemoryDC mask(dc, CreateBitmap(gw, gh, 1, 1, nullptr));
    if (mask.Valid()) {
      if (fromBitmap) {
        HDC canvas = bitmap->Canvas()->Handle();
        COLORREF transparent = ColorToRGB(bitmap->TransparentColor());
        COLORREF oldBk = SetBkColor(canvas, RGB(255, 255, 255));
        // White pixels and the transparent colour are the background; a
        // white transparent colour must not cancel itself out.
        BitBlt(mask.DC, 0, 0, gw, gh, canvas, 0, 0, SRCCOPY);
        if (transparent != RGB(255, 255, 255)) {
          SetBkColor(canvas, transparent);
          BitBlt(mask.DC, 0, 0, gw, gh, canvas, 0, 0, dxBarOS::IsWin95 ? kRopBrushWhereMaskZero : SRCINVERT);
        }
        SetBkColor(canvas, oldBk);
      } else {
        RECT mr{0, 0, gw, gh};
        FillRect(mask.DC, &mr, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ImageList_Draw(images->Handle(), imageIndex, mask.DC, 0, 0, ILD_NORMAL);
      }
      if (!flat)
        PaintThroughMask(mem.DC, Bounds(gr.left + 1, gr.top + 1, gr.Width(), gr.Height()), mask.DC, gw, gh,
                         COLOR_BTNHIGHLIGHT);
      PaintThroughMask(mem.DC, gr, mask.DC, gw, gh, COLOR_BTNSHADOW);
    }
  }

  BitBlt(dc, r.left, r.top, w, h, mem.DC, 0, 0, SRCCOPY);
  if (oldPalette) SelectPalette(mem.DC, oldPalette, TRUE);
}
