#include "Graphics.h"

#include <algorithm>
#include <cstring>

#include "Dib.h"
#include "Jpeg.h"

namespace {

const char kInvalidBitmap[] = "Bitmap image is not valid";
const char kInvalidIcon[] = "Icon image is not valid";
const char kOutOfResources[] = "Out of system resources";

static_assert(sizeof(TPoint) == sizeof(POINT), "TPoint arrays are passed to GDI as POINT arrays");

}  // namespace

// ---------------------------------------------------------------- colours

bool IsSystemColor(TColor color) { return (static_cast<uint32_t>(color) & 0xFF000000u) == 0x80000000u; }

COLORREF ColorToRGB(TColor color) {
  if (IsSystemColor(color)) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color);
}

// ---------------------------------------------------------------- graphics objects

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------- TFont

TFont::~TFont() {
  if (handle_ && ownsHandle_) DeleteObject(handle_);
}

// The attributes changed: listeners let go of the old font before it is
// deleted, and a new one is made on demand.
void TFont::Modified() {
  HFONT old = handle_;
  bool owned = ownsHandle_;
  handle_ = nullptr;
  ownsHandle_ = false;
  Changed();
  if (old && owned) DeleteObject(old);
}

void TFont::Assign(TPersistent* source) {
  if (auto* f = dynamic_cast<TFont*>(source)) {
    if (f == this) return;
    name_ = f->name_;
    height_ = f->height_;
    style_ = f->style_;
    color_ = f->color_;
    pitch_ = f->pitch_;
    charset_ = f->charset_;
    Modified();
    return;
  }
  TPersistent::Assign(source);
}

HFONT TFont::Handle() {
  if (!handle_) {
    LOGFONTA lf{};
    lf.lfHeight = height_;
    lf.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = style_.Contains(fsItalic);
    lf.lfUnderline = style_.Contains(fsUnderline);
    lf.lfStrikeOut = style_.Contains(fsStrikeOut);
    lf.lfCharSet = charset_;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = pitch_ == fpFixed ? FIXED_PITCH : pitch_ == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
    std::strncpy(lf.lfFaceName, name_.c_str(), LF_FACESIZE - 1);
    handle_ = CreateFontIndirectA(&lf);
    ownsHandle_ = handle_ != nullptr;
    if (!handle_) handle_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  return handle_;
}

void TFont::SetHandle(HFONT font) {
  if (font && font == handle_) return;
  if (font) {
    LOGFONTA lf{};
    if (GetObjectA(font, sizeof lf, &lf) == 0) throw EInvalidGraphicOperation("Invalid font handle");
    name_ = lf.lfFaceName;
    height_ = lf.lfHeight;
    style_ = TFontStyles();
    if (lf.lfWeight >= FW_BOLD) style_ << fsBold;
    if (lf.lfItalic) style_ << fsItalic;
    if (lf.lfUnderline) style_ << fsUnderline;
    if (lf.lfStrikeOut) style_ << fsStrikeOut;
    int pitch = lf.lfPitchAndFamily & 3;
    pitch_ = pitch == FIXED_PITCH ? fpFixed : pitch == VARIABLE_PITCH ? fpVariable : fpDefault;
    charset_ = lf.lfCharSet;
  }
  HFONT old = handle_;
  bool owned = ownsHandle_;
  handle_ = font;
  ownsHandle_ = false;
  Changed();
  if (old && owned) DeleteObject(old);
}

void TFont::SetName(const String& value) {
  if (value == name_) return;
  name_ = value;
  Modified();
}

int TFont::PixelsPerInch() {
  static const int ppi = [] {
    HDC dc = GetDC(nullptr);
    int v = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return v > 0 ? v : 96;
  }();
  return ppi;
}

int TFont::Size() const { return -MulDiv(height_, 72, PixelsPerInch()); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, PixelsPerInch(), 72)); }

void TFont::SetHeight(int pixels) {
  if (pixels == height_) return;
  height_ = pixels;
  Modified();
}

void TFont::SetStyle(TFontStyles value) {
  if (value == style_) return;
  style_ = value;
  Modified();
}

void TFont::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Changed();  // the same GDI font; only the text colour changes
}

void TFont::SetPitch(TFontPitch value) {
  if (value == pitch_) return;
  pitch_ = value;
  Modified();
}

void TFont::SetCharset(BYTE value) {
  if (value == charset_) return;
  charset_ = value;
  Modified();
}

// ---------------------------------------------------------------- TBrush

TBrush::~TBrush() {
  if (handle_ && ownsHandle_) DeleteObject(handle_);
}

void TBrush::Modified() {
  HBRUSH old = handle_;
  bool owned = ownsHandle_;
  handle_ = nullptr;
  ownsHandle_ = false;
  Changed();
  if (old && owned) DeleteObject(old);
}

void TBrush::Assign(TPersistent* source) {
  if (auto* b = dynamic_cast<TBrush*>(source)) {
    if (b == this) return;
    color_ = b->color_;
    style_ = b->style_;
    bitmap_ = b->bitmap_;
    Modified();
    return;
  }
  TPersistent::Assign(source);
}

HBRUSH TBrush::Handle() {
  if (!handle_) {
    if (bitmap_ && !bitmap_->Empty()) {
      handle_ = CreatePatternBrush(bitmap_->Handle());
    } else if (style_ == bsSolid) {
      handle_ = CreateSolidBrush(ColorToRGB(color_));
    } else if (style_ == bsClear) {
      handle_ = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
      ownsHandle_ = false;
      return handle_;
    } else {
      static const int hatches[] = {HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL, HS_BDIAGONAL, HS_CROSS, HS_DIAGCROSS};
      handle_ = CreateHatchBrush(hatches[style_ - bsHorizontal], ColorToRGB(color_));
    }
    ownsHandle_ = handle_ != nullptr;
    if (!handle_) handle_ = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  }
  return handle_;
}

void TBrush::SetHandle(HBRUSH brush) {
  if (brush && brush == handle_) return;
  if (brush) {
    LOGBRUSH lb{};
    if (GetObjectA(brush, sizeof lb, &lb) == 0) throw EInvalidGraphicOperation("Invalid brush handle");
    color_ = static_cast<TColor>(lb.lbColor & 0xFFFFFF);
    if (lb.lbStyle == BS_HOLLOW)
      style_ = bsClear;
    else if (lb.lbStyle == BS_HATCHED && lb.lbHatch <= HS_DIAGCROSS)
      style_ = static_cast<TBrushStyle>(bsHorizontal + lb.lbHatch);
    else
      style_ = bsSolid;
    bitmap_ = nullptr;
  }
  HBRUSH old = handle_;
  bool owned = ownsHandle_;
  handle_ = brush;
  ownsHandle_ = false;
  Changed();
  if (old && owned) DeleteObject(old);
}

void TBrush::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Modified();
}

void TBrush::SetStyle(TBrushStyle value) {
  if (value == style_) return;
  style_ = value;
  Modified();
}

void TBrush::SetBitmap(TBitmap* bitmap) {
  if (bitmap == bitmap_) return;
  bitmap_ = bitmap;
  Modified();
}

// ---------------------------------------------------------------- TPen

TPen::~TPen() {
  if (handle_) DeleteObject(handle_);
}

void TPen::Modified() {
  HPEN old = handle_;
  handle_ = nullptr;
  Changed();
  if (old) DeleteObject(old);
}

void TPen::Assign(TPersistent* source) {
  if (auto* p = dynamic_cast<TPen*>(source)) {
    if (p == this) return;
    color_ = p->color_;
    width_ = p->width_;
    style_ = p->style_;
    mode_ = p->mode_;
    Modified();
    return;
  }
  TPersistent::Assign(source);
}

HPEN TPen::Handle() {
  if (!handle_) {
    static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    handle_ = CreatePen(styles[style_], width_, ColorToRGB(color_));
    if (!handle_) handle_ = static_cast<HPEN>(GetStockObject(BLACK_PEN));
  }
  return handle_;
}

void TPen::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Modified();
}

void TPen::SetWidth(int value) {
  if (value < 0) value = 0;
  if (value == width_) return;
  width_ = value;
  Modified();
}

void TPen::SetStyle(TPenStyle value) {
  if (value == style_) return;
  style_ = value;
  Modified();
}

void TPen::SetMode(TPenMode value) {
  if (value == mode_) return;
  mode_ = value;
  Changed();  // the same GDI pen; the canvas sets the raster operation
}

// ---------------------------------------------------------------- TCanvas

TCanvas::TCanvas() : font_(new TFont), brush_(new TBrush), pen_(new TPen) {
  InitializeCriticalSection(&lock_);
  font_->OnChange = {this, &TCanvas::ObjectChanged};
  brush_->OnChange = {this, &TCanvas::ObjectChanged};
  pen_->OnChange = {this, &TCanvas::ObjectChanged};
}

TCanvas::~TCanvas() {
  SetHandle(nullptr);
  DeleteCriticalSection(&lock_);
}

HDC TCanvas::Handle() {
  RequiredState(true, true, true);
  return dc_;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  if (dc_) {
    DeselectObjects();
    DropClips();
  }
  dc_ = dc;
}

void TCanvas::DropClips() {
  for (HRGN r : clips_)
    if (r) DeleteObject(r);
  clips_.clear();
}

void TCanvas::RequiredState(bool font, bool brush, bool pen) {
  if (!dc_) {
    CreateHandle();
    if (!dc_) throw EInvalidOperation("Canvas does not allow drawing");
  }
  if (font && !fontSelected_) {
    oldFont_ = SelectObject(dc_, font_->Handle());
    fontSelected_ = true;
    SetTextColor(dc_, ColorToRGB(font_->Color()));
  }
  if (brush && !brushSelected_) {
    HBRUSH b = brush_->Handle();
    UnrealizeObject(b);
    oldBrush_ = SelectObject(dc_, b);
    brushSelected_ = true;
    SetBkColor(dc_, ColorToRGB(brush_->Color()));
    SetBkMode(dc_, brush_->Style() == bsSolid ? OPAQUE : TRANSPARENT);
  }
  if (pen && !penSelected_) {
    static const int rops[] = {R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,
                               R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                               R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,    R2_NOTMERGEPEN,
                               R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
    oldPen_ = SelectObject(dc_, pen_->Handle());
    penSelected_ = true;
    SetROP2(dc_, rops[pen_->Mode()]);
  }
}

void TCanvas::DeselectObjects() {
  if (!dc_) return;
  if (fontSelected_) SelectObject(dc_, oldFont_);
  if (brushSelected_) SelectObject(dc_, oldBrush_);
  if (penSelected_) SelectObject(dc_, oldPen_);
  fontSelected_ = brushSelected_ = penSelected_ = false;
  oldFont_ = oldBrush_ = oldPen_ = nullptr;
}

// A font, brush or pen changed: it is deselected now (before its old GDI
// object is deleted) and selected again at the next drawing.
void TCanvas::ObjectChanged(TObject* sender) {
  if (!dc_) return;
  if (sender == font_.get() && fontSelected_) {
    SelectObject(dc_, oldFont_);
    fontSelected_ = false;
  } else if (sender == brush_.get() && brushSelected_) {
    SelectObject(dc_, oldBrush_);
    brushSelected_ = false;
  } else if (sender == pen_.get() && penSelected_) {
    SelectObject(dc_, oldPen_);
    penSelected_ = false;
  }
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

TPoint TCanvas::PenPos() {
  RequiredState(false, false, false);
  POINT p{};
  GetCurrentPositionEx(dc_, &p);
  return TPoint(p);
}

void TCanvas::MoveTo(int x, int y) {
  RequiredState(false, false, false);
  MoveToEx(dc_, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
  Changing();
  RequiredState(false, false, true);
  ::LineTo(dc_, x, y);
  Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  Changing();
  RequiredState(false, true, true);
  ::Rectangle(dc_, x1, y1, x2, y2);
  Changed();
}

void TCanvas::FillRect(const TRect& r) {
  Changing();
  RequiredState(false, true, false);
  ::FillRect(dc_, &r, brush_->Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  Changing();
  RequiredState(false, true, false);
  ::FrameRect(dc_, &r, brush_->Handle());
  Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  Changing();
  RequiredState(false, true, true);
  ::Ellipse(dc_, x1, y1, x2, y2);
  Changed();
}

void TCanvas::Polygon(const TPoint* points, int count) {
  if (!points || count <= 0) return;
  Changing();
  RequiredState(false, true, true);
  ::Polygon(dc_, points, count);
  Changed();
}

void TCanvas::Polyline(const TPoint* points, int count) {
  if (!points || count <= 0) return;
  Changing();
  RequiredState(false, false, true);
  ::Polyline(dc_, points, count);
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
  Changing();
  RequiredState(false, true, false);
  ::DrawFocusRect(dc_, &r);
  Changed();
}

void TCanvas::TextOut(int x, int y, const String& text) {
  Changing();
  RequiredState(true, true, false);
  ::TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size()));
  Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const String& text) {
  Changing();
  RequiredState(true, true, false);
  UINT options = ETO_CLIPPED;
  if (brush_->Style() != bsClear) options |= ETO_OPAQUE;
  ::ExtTextOutA(dc_, x, y, options, &r, text.data(), static_cast<UINT>(text.size()), nullptr);
  Changed();
}

TSize TCanvas::TextExtent(const String& text) {
  RequiredState(true, false, false);
  SIZE s{};
  ::GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &s);
  return TSize(s.cx, s.cy);
}

int TCanvas::TextWidth(const String& text) { return TextExtent(text).cx; }

int TCanvas::TextHeight(const String& text) { return TextExtent(text).cy; }

int DrawTextOverhang(HDC dc, const String& text, const RECT& rect, UINT format) {
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (text.empty() || w <= 0 || h <= 0) return 0;
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  // Room for a line drawn half as wide again as measured, and a few glyphs.
  const int spare = w / 2 + 4 * std::max<int>(tm.tmMaxCharWidth, 1);
  const int width = w + spare;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return 0;
  HDC mem = CreateCompatibleDC(dc);
  if (!mem) {
    DeleteObject(bitmap);
    return 0;
  }
  HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
  HGDIOBJ oldFont = SelectObject(mem, GetCurrentObject(dc, OBJ_FONT));
  auto* pixels = static_cast<uint32_t*>(bits);
  std::fill(pixels, pixels + static_cast<size_t>(width) * h, 0x00FFFFFFu);
  SetBkMode(mem, TRANSPARENT);
  SetTextColor(mem, RGB(0, 0, 0));
  RECT r{0, 0, w, h};
  DrawTextA(mem, text.data(), static_cast<int>(text.size()), &r, (format & ~DT_CALCRECT) | DT_NOCLIP);
  GdiFlush();
  int overhang = 0;
  for (int x = width - 1; x >= w && !overhang; --x)
    for (int y = 0; y < h; ++y)
      if ((pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFFu) != 0xFFFFFFu) {
        overhang = x + 1 - w;
        break;
      }
  SelectObject(mem, oldFont);
  SelectObject(mem, oldBitmap);
  DeleteDC(mem);
  DeleteObject(bitmap);
  return overhang;
}

int TCanvas::DrawText(const String& text, TRect& r, UINT format) {
  Changing();
  RequiredState(true, true, false);
  int h = ::DrawTextA(dc_, text.data(), static_cast<int>(text.size()), &r, format);
  Changed();
  return h;
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Changing();
  graphic->Draw(this, Bounds(x, y, graphic->Width(), graphic->Height()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Changing();
  graphic->Draw(this, r);
  Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* source, const TRect& src) {
  if (!source) return;
  Changing();
  RequiredState(false, true, false);
  HDC s = source->Handle();
  StretchBlt(dc_, dest.left, dest.top, dest.Width(), dest.Height(), s, src.left, src.top, src.Width(), src.Height(),
             CopyMode);
  Changed();
}

COLORREF TCanvas::Pixel(int x, int y) {
  RequiredState(false, false, false);
  return GetPixel(dc_, x, y);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  Changing();
  RequiredState(false, false, false);
  ::SetPixel(dc_, x, y, ColorToRGB(color));
  Changed();
}

void TCanvas::SaveClip() {
  RequiredState(false, false, false);
  HRGN r = CreateRectRgn(0, 0, 0, 0);
  if (r && GetClipRgn(dc_, r) != 1) {  // 0: no clipping region
    DeleteObject(r);
    r = nullptr;
  }
  clips_.push_back(r);
}

void TCanvas::RestoreClip() {
  if (clips_.empty() || !dc_) return;
  HRGN r = clips_.back();
  clips_.pop_back();
  SelectClipRgn(dc_, r);
  if (r) DeleteObject(r);
}

void TCanvas::ClipRect(const TRect& r) {
  RequiredState(false, false, false);
  IntersectClipRect(dc_, r.left, r.top, r.right, r.bottom);
}

void TCanvas::Lock() {
  EnterCriticalSection(&lock_);
  ++lockCount_;
}

void TCanvas::Unlock() {
  --lockCount_;
  LeaveCriticalSection(&lock_);
}

// ---------------------------------------------------------------- TMemoryCanvas

TMemoryCanvas::~TMemoryCanvas() {
  if (!ownDC_) return;
  if (CurrentHandle() == ownDC_) SetHandle(nullptr);
  DeleteDC(ownDC_);
}

void TMemoryCanvas::CreateHandle() {
  if (!ownDC_) ownDC_ = CreateCompatibleDC(nullptr);
  SetHandle(ownDC_);
}

// ---------------------------------------------------------------- TGraphic

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed();
}

void TGraphic::Changed() {
  if (OnChange) OnChange(this);
}

void TGraphic::LoadFromFile(const String& fileName) {
  TFileStream fs(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&fs);
}

void TGraphic::SaveToFile(const String& fileName) {
  TStringStream s;
  SaveToStream(&s);
  ReplaceFileContents(fileName, s.DataString());
}

// ---------------------------------------------------------------- TBitmap

// The canvas of a bitmap: a memory device context holding the bitmap,
// released whenever the bitmap's handle changes.
class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* bitmap) : bitmap_(bitmap) {}
  ~TBitmapCanvas() override { FreeContext(); }

  void FreeContext() {
    if (!ownDC_) return;
    if (CurrentHandle() == ownDC_) SetHandle(nullptr);
    if (oldBitmap_) SelectObject(ownDC_, oldBitmap_);
    DeleteDC(ownDC_);
    ownDC_ = nullptr;
    oldBitmap_ = nullptr;
  }

 protected:
  void CreateHandle() override {
    FreeContext();
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return;
    if (bitmap_->handle_) oldBitmap_ = SelectObject(dc, bitmap_->handle_);
    ownDC_ = dc;
    SetHandle(dc);
  }

 private:
  TBitmap* bitmap_;
  HDC ownDC_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
};

namespace {

HBITMAP CreateDib(int w, int h, int bits, void** pixels) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = static_cast<WORD>(bits);
  bi.bmiHeader.biCompression = BI_RGB;
  void* p = nullptr;
  HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
  if (pixels) *pixels = p;
  return b;
}

// A black bitmap of the format.
HBITMAP CreateOfFormat(TPixelFormat format, int w, int h) {
  HBITMAP b;
  switch (format) {
    case pf32bit:
      return CreateDib(w, h, 32, nullptr);
    case pf1bit:
      b = CreateBitmap(w, h, 1, 1, nullptr);
      break;
    case pfDevice: {
      HDC screen = GetDC(nullptr);
      b = CreateCompatibleBitmap(screen, w, h);
      ReleaseDC(nullptr, screen);
      break;
    }
    default:
      return CreateDib(w, h, 24, nullptr);
  }
  if (b) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, b);
    PatBlt(dc, 0, 0, w, h, BLACKNESS);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  return b;
}

bool ReadPixels(HBITMAP b, int w, int h, std::vector<uint32_t>& px);

BITMAPINFO TopDown32(int w, int h) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

// True for a 32-bit bitmap of exactly w x h.
bool Whole32(HBITMAP b, int w, int h) {
  BITMAP bm{};
  return GetObjectA(b, sizeof bm, &bm) && bm.bmBitsPixel * bm.bmPlanes == 32 && bm.bmWidth == w &&
         (bm.bmHeight == h || bm.bmHeight == -h);
}

// Copies the top-left w x h pixels of src onto dst; neither may be selected
// into another device context. Monochrome pixels map 0 to black, 1 to white.
void CopyPixels(HBITMAP dst, HBITMAP src, int w, int h, DWORD rop = SRCCOPY) {
  if (rop == SRCCOPY && Whole32(dst, w, h) && Whole32(src, w, h)) {
    // Through 32-bit rows, which keep the fourth byte that a blit may drop.
    std::vector<uint32_t> px;
    BITMAPINFO bi = TopDown32(w, h);
    HDC screen = GetDC(nullptr);
    bool done = ReadPixels(src, w, h, px) && SetDIBits(screen, dst, 0, h, px.data(), &bi, DIB_RGB_COLORS) == h;
    ReleaseDC(nullptr, screen);
    if (done) return;
  }
  HDC s = CreateCompatibleDC(nullptr), d = CreateCompatibleDC(nullptr);
  HGDIOBJ os = SelectObject(s, src), od = SelectObject(d, dst);
  BitBlt(d, 0, 0, w, h, s, 0, 0, rop);
  SelectObject(s, os);
  SelectObject(d, od);
  DeleteDC(s);
  DeleteDC(d);
}

bool BitmapFormat(HBITMAP b, int& w, int& h, TPixelFormat& format) {
  if (!b || GetObjectType(b) != OBJ_BITMAP) return false;
  DIBSECTION ds{};
  int n = GetObjectA(b, sizeof ds, &ds);
  if (n == 0) return false;
  w = ds.dsBm.bmWidth;
  h = ds.dsBm.bmHeight < 0 ? -ds.dsBm.bmHeight : ds.dsBm.bmHeight;
  int bits = ds.dsBm.bmBitsPixel * ds.dsBm.bmPlanes;
  if (bits == 1)
    format = pf1bit;
  else if (n == sizeof ds)
    format = bits == 24 ? pf24bit : bits == 32 ? pf32bit : pfCustom;
  else
    format = pfDevice;
  return true;
}

// A bitmap of decoded pixels: monochrome for a black and white picture,
// else a DIB section (32 bits when the source had 32).
HBITMAP BitmapOfPixels(const TDibPixels& px, TPixelFormat& format) {
  const int w = px.Width, h = px.Height;
  if (px.Monochrome) {
    format = pf1bit;
    const size_t stride = (static_cast<size_t>(w) + 31) / 32 * 4;
    std::vector<uint8_t> bits(stride * h, 0);
    for (int y = 0; y < h; ++y) {
      uint8_t* row = bits.data() + static_cast<size_t>(h - 1 - y) * stride;
      const uint32_t* src = px.Pixels.data() + static_cast<size_t>(y) * w;
      for (int x = 0; x < w; ++x)
        if ((src[x] & 0xFFFFFF) == 0xFFFFFF) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colours[2];
    } bi{};
    bi.header.biSize = sizeof(BITMAPINFOHEADER);
    bi.header.biWidth = w;
    bi.header.biHeight = h;
    bi.header.biPlanes = 1;
    bi.header.biBitCount = 1;
    bi.header.biCompression = BI_RGB;
    bi.colours[1] = RGBQUAD{255, 255, 255, 0};
    HBITMAP b = CreateBitmap(w, h, 1, 1, nullptr);
    if (!b) return nullptr;
    HDC screen = GetDC(nullptr);
    int rows = SetDIBits(screen, b, 0, h, bits.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != h) {
      DeleteObject(b);
      return nullptr;
    }
    return b;
  }
  format = px.BitCount == 32 ? pf32bit : pf24bit;
  const int bpp = format == pf32bit ? 32 : 24;
  void* p = nullptr;
  HBITMAP b = CreateDib(w, h, bpp, &p);
  if (!b || !p) {
    if (b) DeleteObject(b);
    return nullptr;
  }
  const size_t stride = (static_cast<size_t>(w) * bpp + 31) / 32 * 4;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = static_cast<uint8_t*>(p) + static_cast<size_t>(h - 1 - y) * stride;
    const uint32_t* src = px.Pixels.data() + static_cast<size_t>(y) * w;
    if (bpp == 32) {
      std::memcpy(row, src, static_cast<size_t>(w) * 4);
      continue;
    }
    for (int x = 0; x < w; ++x) {
      row[3 * x] = static_cast<uint8_t>(src[x]);
      row[3 * x + 1] = static_cast<uint8_t>(src[x] >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(src[x] >> 16);
    }
  }
  return b;
}

// The pixels of a bitmap (not selected anywhere) as top-down 32-bit rows.
bool ReadPixels(HBITMAP b, int w, int h, std::vector<uint32_t>& px) {
  px.assign(static_cast<size_t>(w) * h, 0);
  BITMAPINFO bi = TopDown32(w, h);
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, b, 0, h, px.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return rows == h;
}

}  // namespace

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  canvas_.reset();
  if (handle_) DeleteObject(handle_);
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) {
    canvas_.reset(new TBitmapCanvas(this));
    canvas_->OnChange = {this, &TBitmap::CanvasChanged};
  }
  return canvas_.get();
}

void TBitmap::CanvasChanged(TObject*) { Changed(); }

void TBitmap::FreeContext() {
  if (canvas_) canvas_->FreeContext();
}

void TBitmap::Replace(HBITMAP bitmap, TPixelFormat format, int width, int height) {
  FreeContext();
  if (handle_ && handle_ != bitmap) DeleteObject(handle_);
  handle_ = bitmap;
  pixelFormat_ = format;
  width_ = width;
  height_ = height;
}

void TBitmap::Assign(TPersistent* source) {
  if (source == this) return;
  if (!source) {
    Replace(nullptr, pixelFormat_, 0, 0);
    Changed();
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(source)) {
    TPixelFormat format = b->pixelFormat_ == pfCustom ? pf24bit : b->pixelFormat_;
    HBITMAP copy = nullptr;
    if (!b->Empty()) {
      b->FreeContext();
      copy = CreateOfFormat(format, b->width_, b->height_);
      if (!copy) throw EOutOfResources(kOutOfResources);
      CopyPixels(copy, b->handle_, b->width_, b->height_);
    }
    Replace(copy, format, b->width_, b->height_);
    transparent_ = b->transparent_;
    transparentColor_ = b->transparentColor_;
    transparentMode_ = b->transparentMode_;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  if (width == 0 || height == 0) {
    Replace(nullptr, pixelFormat_, width, height);
    Changed();
    return;
  }
  TPixelFormat format = pixelFormat_ == pfCustom ? pf24bit : pixelFormat_;
  HBITMAP b = CreateOfFormat(format, width, height);
  if (!b) throw EOutOfResources(kOutOfResources);
  if (handle_) {
    FreeContext();
    CopyPixels(b, handle_, std::min(width, width_), std::min(height, height_));
  }
  Replace(b, format, width, height);
  Changed();
}

void TBitmap::SetHandle(HBITMAP bitmap) {
  if (bitmap == handle_) return;
  int w = 0, h = 0;
  TPixelFormat format = pixelFormat_;
  if (bitmap && !BitmapFormat(bitmap, w, h, format)) throw EInvalidGraphic(kInvalidBitmap);
  Replace(bitmap, format, w, h);
  Changed();
}

HBITMAP TBitmap::ReleaseHandle() {
  FreeContext();
  HBITMAP b = handle_;
  handle_ = nullptr;
  width_ = height_ = 0;
  Changed();
  return b;
}

void TBitmap::SetPixelFormat(TPixelFormat value) {
  if (value == pfCustom) throw EInvalidGraphic("Invalid pixel format");
  if (value == pixelFormat_) return;
  if (!handle_) {
    pixelFormat_ = value;
    Changed();
    return;
  }
  FreeContext();
  HBITMAP b = CreateOfFormat(value, width_, height_);
  if (!b) throw EOutOfResources(kOutOfResources);
  CopyPixels(b, handle_, width_, height_);
  Replace(b, value, width_, height_);
  Changed();
}

TColor TBitmap::TransparentColor() {
  if (transparentMode_ == tmFixed) return transparentColor_;
  if (Empty()) return clDefault;
  return static_cast<TColor>(Canvas()->Pixel(0, height_ - 1));
}

void TBitmap::SetTransparentColor(TColor value) {
  transparentMode_ = value == clDefault ? tmAuto : tmFixed;
  transparentColor_ = value;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode value) {
  if (value == transparentMode_) return;
  if (value == tmAuto) {
    SetTransparentColor(clDefault);
    return;
  }
  TColor c = TransparentColor();
  transparentMode_ = tmFixed;
  transparentColor_ = c == clDefault ? clBlack : c;
  Changed();
}

void TBitmap::Mask(TColor transparentColor) {
  if (Empty()) return;
  FreeContext();
  HBITMAP m = CreateBitmap(width_, height_, 1, 1, nullptr);
  if (!m) throw EOutOfResources(kOutOfResources);
  COLORREF rgb = ColorToRGB(transparentColor) & 0xFFFFFF;
  if (pixelFormat_ == pf1bit) {
    // Already black and white: white stays white unless black is transparent.
    CopyPixels(m, handle_, width_, height_, rgb == 0 ? NOTSRCCOPY : SRCCOPY);
    if (rgb != 0 && rgb != 0xFFFFFF) {
      HDC d = CreateCompatibleDC(nullptr);
      HGDIOBJ od = SelectObject(d, m);
      PatBlt(d, 0, 0, width_, height_, BLACKNESS);
      SelectObject(d, od);
      DeleteDC(d);
    }
  } else {
    // Colour to monochrome: pixels of the source's background colour become 1.
    HDC s = CreateCompatibleDC(nullptr), d = CreateCompatibleDC(nullptr);
    HGDIOBJ os = SelectObject(s, handle_), od = SelectObject(d, m);
    SetBkColor(s, rgb);
    BitBlt(d, 0, 0, width_, height_, s, 0, 0, SRCCOPY);
    SelectObject(s, os);
    SelectObject(d, od);
    DeleteDC(s);
    DeleteDC(d);
  }
  Replace(m, pf1bit, width_, height_);
  Changed();
}

void TBitmap::Draw(TCanvas* canvas, const TRect& rect) {
  if (Empty() || !canvas) return;
  HDC dst = canvas->Handle();
  HDC src = Canvas()->Handle();
  const int w = rect.Width(), h = rect.Height();
  const bool stretch = w != width_ || h != height_;
  int oldMode = stretch ? SetStretchBltMode(dst, COLORONCOLOR) : 0;
  // Monochrome sources and the mask come out black on white.
  COLORREF oldText = SetTextColor(dst, RGB(0, 0, 0)), oldBk = SetBkColor(dst, RGB(255, 255, 255));
  if (Transparent()) {
    COLORREF tc = ColorToRGB(TransparentColor()) & 0xFFFFFF;
    HDC md = CreateCompatibleDC(nullptr);
    HBITMAP m = CreateBitmap(width_, height_, 1, 1, nullptr);
    if (md && m) {
      HGDIOBJ om = SelectObject(md, m);
      COLORREF srcBk = SetBkColor(src, tc);
      BitBlt(md, 0, 0, width_, height_, src, 0, 0, SRCCOPY);
      SetBkColor(src, srcBk);
      // dst ^ src, then 0 where opaque, then ^ src: the picture where the
      // mask is 0, the canvas where it is 1.
      StretchBlt(dst, rect.left, rect.top, w, h, src, 0, 0, width_, height_, SRCINVERT);
      StretchBlt(dst, rect.left, rect.top, w, h, md, 0, 0, width_, height_, SRCAND);
      StretchBlt(dst, rect.left, rect.top, w, h, src, 0, 0, width_, height_, SRCINVERT);
      SelectObject(md, om);
    }
    if (m) DeleteObject(m);
    if (md) DeleteDC(md);
  } else {
    StretchBlt(dst, rect.left, rect.top, w, h, src, 0, 0, width_, height_, canvas->CopyMode);
  }
  SetTextColor(dst, oldText);
  SetBkColor(dst, oldBk);
  if (stretch) SetStretchBltMode(dst, oldMode);
}

void TBitmap::LoadFromStream(TStream* stream) {
  const int64_t start = stream->Position();
  const int64_t available = stream->Size() - start;
  if (available <= 0) {
    Replace(nullptr, pixelFormat_, 0, 0);
    Changed();
    return;
  }
  auto invalid = [&] {
    stream->SetPosition(start);
    return EInvalidGraphic(kInvalidBitmap);
  };
  std::vector<uint8_t> data(static_cast<size_t>(std::min<int64_t>(available, kBmpHeadSize)));
  size_t fileSize = 0;
  TDibLayout layout;
  TDibPixels px;
  try {
    stream->ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
    if (!BmpFileSize(data.data(), data.size(), static_cast<uint64_t>(available), fileSize, layout)) throw invalid();
    size_t have = data.size();
    if (fileSize > have) {
      data.resize(fileSize);
      stream->ReadBuffer(data.data() + have, static_cast<int64_t>(fileSize - have));
    }
  } catch (EReadError&) {
    throw invalid();
  }
  if (!DibDecode(data.data() + kBmpFileHeaderSize, fileSize - kBmpFileHeaderSize, layout, px)) throw invalid();
  TPixelFormat format;
  HBITMAP b = BitmapOfPixels(px, format);
  if (!b) {
    stream->SetPosition(start);
    throw EOutOfResources(kOutOfResources);
  }
  stream->SetPosition(start + static_cast<int64_t>(fileSize));
  Replace(b, format, px.Width, px.Height);
  Changed();
}

void TBitmap::SaveToStream(TStream* stream) {
  if (Empty()) return;
  FreeContext();
  std::vector<uint32_t> px;
  if (!ReadPixels(handle_, width_, height_, px)) throw EInvalidGraphic(kInvalidBitmap);
  int bits = pixelFormat_ == pf1bit ? 1 : pixelFormat_ == pf32bit ? 32 : 24;
  std::vector<uint8_t> bytes = BmpEncode(width_, height_, bits, px.data());
  stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TBitmap::LoadFromResource(HINSTANCE instance, LPCSTR name, const String& shownName) {
  HRSRC res = FindResourceA(instance, name, RT_BITMAP);
  HGLOBAL mem = res ? LoadResource(instance, res) : nullptr;
  const void* p = mem ? LockResource(mem) : nullptr;
  if (!p) throw EResNotFound(Format("Resource %s not found", shownName));
  const size_t size = SizeofResource(instance, res);
  const auto* bytes = static_cast<const uint8_t*>(p);
  TDibLayout layout;
  TDibPixels px;
  if (!DibReadLayout(bytes, size, kDibBitsFollow, size, layout) || !DibDecode(bytes, size, layout, px))
    throw EInvalidGraphic(kInvalidBitmap);
  TPixelFormat format;
  HBITMAP b = BitmapOfPixels(px, format);
  if (!b) throw EOutOfResources(kOutOfResources);
  Replace(b, format, px.Width, px.Height);
  Changed();
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const String& name) {
  LoadFromResource(instance, name.c_str(), name);
}

void TBitmap::LoadFromResourceID(HINSTANCE instance, int id) {
  LoadFromResource(instance, MAKEINTRESOURCEA(id), IntToStr(id));
}

// ---------------------------------------------------------------- TIcon

namespace {

bool IconSize(HICON icon, int& w, int& h) {
  ICONINFO ii{};
  if (!icon || !GetIconInfo(icon, &ii)) return false;
  BITMAP bm{};
  bool ok = GetObjectA(ii.hbmMask, sizeof bm, &bm) != 0;
  w = bm.bmWidth;
  h = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
  DeleteObject(ii.hbmMask);
  if (ii.hbmColor) DeleteObject(ii.hbmColor);
  return ok;
}

}  // namespace

TIcon::~TIcon() {
  if (handle_) DestroyIcon(handle_);
}

void TIcon::Replace(HICON icon) {
  HICON old = handle_;
  handle_ = icon;
  width_ = height_ = 0;
  if (icon) IconSize(icon, width_, height_);
  if (old && old != icon) DestroyIcon(old);
}

void TIcon::Assign(TPersistent* source) {
  if (source == this) return;
  if (!source) {
    Replace(nullptr);
    Changed();
    return;
  }
  if (auto* i = dynamic_cast<TIcon*>(source)) {
    HICON copy = nullptr;
    if (i->handle_) {
      copy = CopyIcon(i->handle_);
      if (!copy) throw EOutOfResources(kOutOfResources);
    }
    Replace(copy);
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TIcon::Draw(TCanvas* canvas, const TRect& rect) {
  if (!handle_ || !canvas) return;
  DrawIconEx(canvas->Handle(), rect.left, rect.top, handle_, rect.Width(), rect.Height(), 0, nullptr, DI_NORMAL);
}

void TIcon::SetHandle(HICON icon) {
  if (icon == handle_) return;
  int w, h;
  if (icon && !IconSize(icon, w, h)) throw EInvalidGraphic(kInvalidIcon);
  Replace(icon);
  Changed();
}

HICON TIcon::ReleaseHandle() {
  HICON icon = handle_;
  handle_ = nullptr;
  width_ = height_ = 0;
  Changed();
  return icon;
}

void TIcon::LoadFromResourceName(HINSTANCE instance, const String& name) {
  HICON icon = static_cast<HICON>(LoadImageA(instance, name.c_str(), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  if (!icon) throw EResNotFound(Format("Resource %s not found", name));
  Replace(icon);
  Changed();
}

void TIcon::LoadFromStream(TStream* stream) {
  const int64_t start = stream->Position();
  const int64_t available = stream->Size() - start;
  auto invalid = [&] {
    stream->SetPosition(start);
    return EInvalidGraphic(kInvalidIcon);
  };
  if (available < 6) throw invalid();
  std::vector<uint8_t> data(6);
  std::vector<TIconEntry> entries;
  size_t fileSize = 0;
  try {
    stream->ReadBuffer(data.data(), 6);
    size_t dirSize = IcoDirectorySize(data.data(), data.size());
    if (dirSize == 0 || static_cast<int64_t>(dirSize) > available) throw invalid();
    data.resize(dirSize);
    stream->ReadBuffer(data.data() + 6, static_cast<int64_t>(dirSize - 6));
    if (!IcoReadDirectory(data.data(), dirSize, static_cast<uint64_t>(available), entries, fileSize)) throw invalid();
    data.resize(fileSize);
    stream->ReadBuffer(data.data() + dirSize, static_cast<int64_t>(fileSize - dirSize));
  } catch (EReadError&) {
    throw invalid();
  }
  IcoInspectImages(data.data(), data.size(), entries);
  int chosen = IcoChooseImage(entries, GetSystemMetrics(SM_CXICON));
  if (chosen < 0) throw invalid();
  const TIconEntry& e = entries[chosen];
  uint8_t* image = data.data() + e.Offset;
  if (!IcoImageValid(image, e.Size)) throw invalid();
  HICON icon = CreateIconFromResourceEx(image, static_cast<DWORD>(e.Size), TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR);
  if (!icon) throw invalid();
  stream->SetPosition(start + static_cast<int64_t>(fileSize));
  Replace(icon);
  Changed();
}

void TIcon::SaveToStream(TStream* stream) {
  if (!handle_) return;
  ICONINFO ii{};
  if (!GetIconInfo(handle_, &ii)) throw EInvalidGraphic(kInvalidIcon);
  const int w = width_, h = height_;
  std::vector<uint32_t> colour, mask;
  bool ok;
  if (ii.hbmColor) {
    ok = ReadPixels(ii.hbmColor, w, h, colour) && ReadPixels(ii.hbmMask, w, h, mask);
  } else {
    // A monochrome icon: the AND mask above the XOR picture in one bitmap.
    std::vector<uint32_t> both;
    ok = ReadPixels(ii.hbmMask, w, 2 * h, both);
    if (ok) {
      mask.assign(both.begin(), both.begin() + static_cast<ptrdiff_t>(w) * h);
      colour.assign(both.begin() + static_cast<ptrdiff_t>(w) * h, both.end());
    }
  }
  DeleteObject(ii.hbmMask);
  if (ii.hbmColor) DeleteObject(ii.hbmColor);
  if (!ok) throw EInvalidGraphic(kInvalidIcon);
  std::vector<uint8_t> maskBits(mask.size());
  for (size_t i = 0; i < mask.size(); ++i) maskBits[i] = (mask[i] & 0xFFFFFF) != 0;
  std::vector<uint8_t> bytes = IcoEncode(w, h, colour.data(), maskBits.data());
  stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

// ---------------------------------------------------------------- TPicture

namespace {

// An empty picture of the same kind as g.
TGraphic* NewGraphicLike(TGraphic* g) {
  if (dynamic_cast<TBitmap*>(g)) return new TBitmap;
  if (dynamic_cast<TIcon*>(g)) return new TIcon;
  if (dynamic_cast<TJPEGImage*>(g)) return new TJPEGImage;
  throw EConvertError(Format("Cannot assign a %s to a %s", g->ClassName(), String("TPicture")));
}

}  // namespace

TPicture::~TPicture() = default;

void TPicture::Hold(TGraphic* graphic) {
  graphic_.reset(graphic);
  if (graphic) graphic->OnChange = {this, &TPicture::GraphicChanged};
  Changed();
}

void TPicture::SetGraphic(TGraphic* value) {
  if (value == graphic_.get()) return;
  if (!value) {
    Hold(nullptr);
    return;
  }
  TOwned<TGraphic> copy(NewGraphicLike(value));
  copy->Assign(value);
  Hold(copy.release());
}

TBitmap* TPicture::Bitmap() {
  auto* b = dynamic_cast<TBitmap*>(graphic_.get());
  if (!b) {
    b = new TBitmap;
    Hold(b);
  }
  return b;
}

TIcon* TPicture::Icon() {
  auto* i = dynamic_cast<TIcon*>(graphic_.get());
  if (!i) {
    i = new TIcon;
    Hold(i);
  }
  return i;
}

void TPicture::LoadFromFile(const String& fileName) {
  String ext = LowerCase(ExtractFileExt(fileName));
  TOwned<TGraphic> g;
  if (ext == ".bmp")
    g.reset(new TBitmap);
  else if (ext == ".ico")
    g.reset(new TIcon);
  else if (ext == ".jpg" || ext == ".jpeg")
    g.reset(new TJPEGImage);
  else
    throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", ext.empty() ? ext : ext.substr(1)));
  g->LoadFromFile(fileName);
  Hold(g.release());
}

void TPicture::SaveToFile(const String& fileName) {
  if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::Assign(TPersistent* source) {
  if (!source) {
    SetGraphic(nullptr);
    return;
  }
  if (auto* p = dynamic_cast<TPicture*>(source)) {
    if (p != this) SetGraphic(p->Graphic());
    return;
  }
  if (auto* g = dynamic_cast<TGraphic*>(source)) {
    SetGraphic(g);
    return;
  }
  TPersistent::Assign(source);
}

void TPicture::GraphicChanged(TObject*) { Changed(); }

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}
