// Colours, fonts, brushes, pens, canvases and pictures over GDI.
#pragma once

#include "Classes.h"
#include "Sets.h"

// ---------------------------------------------------------------- colours

// An RGB value (0x00BBGGRR), or a system colour: 0x80000000 | COLOR_xxx.
using TColor = int32_t;

constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor SysColor(int index) { return clSystemColor | index; }

constexpr TColor clScrollBar = SysColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SysColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SysColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SysColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SysColor(COLOR_MENU);
constexpr TColor clWindow = SysColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SysColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SysColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SysColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SysColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SysColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SysColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SysColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SysColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SysColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SysColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SysColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SysColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SysColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SysColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SysColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SysColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SysColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SysColor(COLOR_INFOBK);
constexpr TColor clHotLight = SysColor(COLOR_HOTLIGHT);

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// The RGB value of a colour (system colours resolved through GetSysColor).
COLORREF ColorToRGB(TColor color);
bool IsSystemColor(TColor color);

// ---------------------------------------------------------------- geometry

struct TPoint : POINT {
  TPoint() : POINT{0, 0} {}
  TPoint(int ax, int ay) : POINT{ax, ay} {}
  TPoint(const POINT& p) : POINT(p) {}
  bool operator==(const TPoint& o) const { return x == o.x && y == o.y; }
  bool operator!=(const TPoint& o) const { return !(*this == o); }
};

struct TRect : RECT {
  TRect() : RECT{0, 0, 0, 0} {}
  TRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
  TRect(const RECT& r) : RECT(r) {}
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool Contains(const TPoint& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  TPoint TopLeft() const { return TPoint(left, top); }
  TPoint BottomRight() const { return TPoint(right, bottom); }
  bool operator==(const TRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const TRect& o) const { return !(*this == o); }
};

struct TSize : SIZE {
  TSize() : SIZE{0, 0} {}
  TSize(int w, int h) : SIZE{w, h} {}
};

inline TRect Bounds(int left, int top, int width, int height) { return TRect(left, top, left + width, top + height); }

// ---------------------------------------------------------------- graphics objects

// Base of fonts, brushes and pens: a change fires OnChange.
class TGraphicsObject : public TPersistent {
 public:
  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };

class TFont : public TGraphicsObject {
 public:
  TFont();
  ~TFont() override;
  void Assign(TPersistent* source) override;

  // The font's GDI object, made on demand and kept until the font changes.
  HFONT Handle();
  // Takes the attributes of an existing font (the font does not own it).
  void SetHandle(HFONT font);

  const String& Name() const { return name_; }
  void SetName(const String& value);
  // Size in points; Height in pixels (negative: character height).
  int Size() const;
  void SetSize(int points);
  int Height() const { return height_; }
  void SetHeight(int pixels);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles value);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch value);
  BYTE Charset() const { return charset_; }
  void SetCharset(BYTE value);
  // The screen's pixels per inch used for Size.
  static int PixelsPerInch();

 private:
  void FreeHandle();
  String name_ = "Tahoma";
  int height_ = -11;
  TFontStyles style_;
  TColor color_ = clWindowText;
  TFontPitch pitch_ = fpDefault;
  BYTE charset_ = DEFAULT_CHARSET;
  HFONT handle_ = nullptr;
  bool ownsHandle_ = false;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBitmap;

class TBrush : public TGraphicsObject {
 public:
  TBrush() = default;
  ~TBrush() override;
  void Assign(TPersistent* source) override;
  HBRUSH Handle();
  // Uses an existing brush (not owned).
  void SetHandle(HBRUSH brush);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle value);
  // A pattern brush of the bitmap (not owned; kept only while set).
  TBitmap* Bitmap() const { return bitmap_; }
  void SetBitmap(TBitmap* bitmap);

 private:
  void FreeHandle();
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  TBitmap* bitmap_ = nullptr;
  HBRUSH handle_ = nullptr;
  bool ownsHandle_ = false;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode { pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, pmMergeNotPen,
                pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor };

class TPen : public TGraphicsObject {
 public:
  TPen() = default;
  ~TPen() override;
  void Assign(TPersistent* source) override;
  HPEN Handle();
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  int Width() const { return width_; }
  void SetWidth(int value);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle value);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode value);

 private:
  void FreeHandle();
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
  HPEN handle_ = nullptr;
};

// ---------------------------------------------------------------- canvas

class TGraphic;

// Drawing on a device context with a font, brush and pen that are selected
// into it when something is drawn.
class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;

  // The device context; a canvas over a window or bitmap makes it on demand
  // (CreateHandle). SetHandle attaches one the canvas does not own (nullptr
  // detaches it, deselecting the canvas's objects).
  HDC Handle();
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return dc_ != nullptr; }

  TFont* Font() const { return font_; }
  TBrush* Brush() const { return brush_; }
  TPen* Pen() const { return pen_; }
  void SetFont(TFont* value) { font_->Assign(value); }
  void SetBrush(TBrush* value) { brush_->Assign(value); }
  void SetPen(TPen* value) { pen_->Assign(value); }
  TPoint PenPos();
  void SetPenPos(const TPoint& p) { MoveTo(p.x, p.y); }

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Polygon(const TPoint* points, int count);
  void Polyline(const TPoint* points, int count);
  void DrawFocusRect(const TRect& r);
  void TextOut(int x, int y, const String& text);
  // Text clipped to r, drawn at (x, y).
  void TextRect(const TRect& r, int x, int y, const String& text);
  TSize TextExtent(const String& text);
  int TextWidth(const String& text);
  int TextHeight(const String& text);
  // DrawText with the canvas's font; returns its height.
  int DrawText(const String& text, TRect& r, UINT format);
  // Draws a picture at (x, y), or stretched into r.
  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const TRect& r, TGraphic* graphic);
  // Copies a rectangle of another canvas (CopyMode raster operation).
  void CopyRect(const TRect& dest, TCanvas* source, const TRect& src);
  DWORD CopyMode = SRCCOPY;
  COLORREF Pixel(int x, int y);
  void SetPixel(int x, int y, TColor color);
  // The clipping region is saved and restored around custom clipping.
  void SaveClip();
  void RestoreClip();
  void ClipRect(const TRect& r);  // intersects the clipping region with r

  // Lock and Unlock mark a canvas in use by another thread (nestable).
  void Lock();
  void Unlock();

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  virtual void CreateHandle() {}
  void Changing();
  void Changed();
  // Selects the font, brush and pen that changed since the last drawing.
  void RequiredState(bool font, bool brush, bool pen);
  void DeselectObjects();

 private:
  void ObjectChanged(TObject* sender);
  HDC dc_ = nullptr;
  TFont* font_;
  TBrush* brush_;
  TPen* pen_;
  HGDIOBJ oldFont_ = nullptr, oldBrush_ = nullptr, oldPen_ = nullptr;
  bool fontSelected_ = false, brushSelected_ = false, penSelected_ = false;
  std::vector<HRGN> clips_;
  int lockCount_ = 0;
  CRITICAL_SECTION lock_;
};

// A canvas over a memory device context compatible with the screen.
class TMemoryCanvas : public TCanvas {
 protected:
  void CreateHandle() override;
};
