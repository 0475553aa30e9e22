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

// ---------------------------------------------------------------- exceptions

// A picture whose data cannot be read ("Bitmap image is not valid", ...).
NEMBRA_EXCEPTION(EInvalidGraphic, Exception);
// An operation a picture does not allow.
NEMBRA_EXCEPTION(EInvalidGraphicOperation, Exception);
// An operation an object cannot do in its present state (a canvas without a
// device context, an image list index out of range).
NEMBRA_EXCEPTION(EInvalidOperation, Exception);
// "Resource %s not found".
NEMBRA_EXCEPTION(EResNotFound, Exception);

// ---------------------------------------------------------------- graphics objects

// Base of fonts, brushes and pens: a change fires OnChange. When a change
// makes a new GDI object necessary, OnChange runs before the old object is
// deleted, so a canvas can deselect it first.
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
  TFont() = default;
  ~TFont() override;
  void Assign(TPersistent* source) override;

  // The font's GDI object, made on demand and kept until the font changes.
  HFONT Handle();
  // Takes the attributes of an existing font and uses it until the next
  // change (the font does not own it). nullptr goes back to a font made
  // from the attributes.
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
  void Modified();
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
  // A solid, hatched or pattern brush; bsClear gives the stock hollow brush.
  HBRUSH Handle();
  // Uses an existing brush (not owned) until the next change; its colour
  // and style are read from it. nullptr goes back to a brush made from the
  // attributes.
  void SetHandle(HBRUSH brush);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle value);
  // A pattern brush of the bitmap (not owned; kept only while set). The
  // brush is made from the bitmap as it is when the handle is made.
  TBitmap* Bitmap() const { return bitmap_; }
  void SetBitmap(TBitmap* bitmap);

 private:
  void Modified();
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
  // The raster operation (SetROP2) the canvas draws the pen with.
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode value);

 private:
  void Modified();
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
  HPEN handle_ = nullptr;
};

// ---------------------------------------------------------------- canvas

class TGraphic;

// Drawing on a device context with a font, brush and pen that are selected
// into it when something is drawn. The font sets the text colour, the brush
// the background colour and mode (opaque for bsSolid, else transparent),
// the pen the raster operation of lines.
class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;

  // The device context with the canvas's font, brush and pen selected; a
  // canvas over a window or bitmap makes it on demand (CreateHandle);
  // EInvalidOperation "Canvas does not allow drawing" when there is none.
  // SetHandle attaches one the canvas does not own (nullptr detaches it,
  // deselecting the canvas's objects and dropping saved clip regions).
  HDC Handle();
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return dc_ != nullptr; }

  TFont* Font() const { return font_.get(); }
  TBrush* Brush() const { return brush_.get(); }
  TPen* Pen() const { return pen_.get(); }
  void SetFont(TFont* value) { font_->Assign(value); }
  void SetBrush(TBrush* value) { brush_->Assign(value); }
  void SetPen(TPen* value) { pen_->Assign(value); }
  TPoint PenPos();
  void SetPenPos(const TPoint& p) { MoveTo(p.x, p.y); }

  // Lines and outlines follow GDI: the last point of LineTo and Polyline is
  // not drawn, Rectangle and FillRect cover [left, right) x [top, bottom).
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Polygon(const TPoint* points, int count);
  void Polyline(const TPoint* points, int count);
  // Inverts a dotted frame; drawing it twice restores the pixels.
  void DrawFocusRect(const TRect& r);
  void TextOut(int x, int y, const String& text);
  // Text clipped to r, drawn at (x, y); r is filled with the brush unless
  // its style is bsClear.
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
  int LockCount() const { return lockCount_; }

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  virtual void CreateHandle() {}
  void Changing();
  void Changed();
  // Makes the handle when needed and selects the font, brush and pen asked
  // for that changed since the last drawing.
  void RequiredState(bool font, bool brush, bool pen);
  void DeselectObjects();
  // The device context without making one.
  HDC CurrentHandle() const { return dc_; }

 private:
  void ObjectChanged(TObject* sender);
  void DropClips();
  HDC dc_ = nullptr;
  TOwned<TFont> font_;
  TOwned<TBrush> brush_;
  TOwned<TPen> pen_;
  HGDIOBJ oldFont_ = nullptr, oldBrush_ = nullptr, oldPen_ = nullptr;
  bool fontSelected_ = false, brushSelected_ = false, penSelected_ = false;
  std::vector<HRGN> clips_;
  int lockCount_ = 0;
  CRITICAL_SECTION lock_;
};

// A canvas over a memory device context compatible with the screen, which
// it makes on demand and deletes when it is freed.
class TMemoryCanvas : public TCanvas {
 public:
  ~TMemoryCanvas() override;

 protected:
  void CreateHandle() override;

 private:
  HDC ownDC_ = nullptr;
};

// How far (in pixels) the ink of DrawText(text, rect, format) on dc, with
// the font selected in it, reaches past rect's right edge; 0 when it stays
// inside. The glyphs as drawn need not keep the advances DT_CALCRECT and
// GetTextExtentPoint measure (under Wine a line can come out several
// pixels wider), so text drawn in its measured rectangle can lose its last
// characters. The text is drawn off screen to see where it ends.
int DrawTextOverhang(HDC dc, const String& text, const RECT& rect, UINT format);

// ---------------------------------------------------------------- pictures

// A picture that can draw itself on a canvas and be stored in a stream.
class TGraphic : public TPersistent {
 public:
  // Paints the picture stretched into rect.
  virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool Empty() const = 0;
  // Drawn with its transparent parts leaving the canvas as it was.
  virtual bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool value);
  // Reads the picture from the stream's position; a bad stream raises
  // EInvalidGraphic (or its descendant) and leaves the picture as it was.
  virtual void LoadFromStream(TStream* stream) = 0;
  virtual void SaveToStream(TStream* stream) = 0;
  void LoadFromFile(const String& fileName);
  // Writes the whole file or, on failure, leaves the old one in place.
  void SaveToFile(const String& fileName);

  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
  bool transparent_ = false;
};

// pfDevice: a device-dependent bitmap; pf1bit: monochrome; pf24bit and
// pf32bit: DIB sections; pfCustom: a DIB section of another depth taken
// through SetHandle.
enum TPixelFormat { pfDevice, pf1bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode { tmAuto, tmFixed };

class TBitmapCanvas;

// A bitmap with a canvas of its own: a memory device context with the
// bitmap selected, made when the canvas is first drawn on.
class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;
  // From another TBitmap (a copy), or nullptr (empty).
  void Assign(TPersistent* source) override;
  void Draw(TCanvas* canvas, const TRect& rect) override;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Empty() const override { return width_ == 0 || height_ == 0; }
  // A new size keeps the pixels of the overlapping part; new pixels are
  // black. EOutOfResources when the bitmap cannot be made.
  void SetSize(int width, int height);
  void SetWidth(int value) { SetSize(value, height_); }
  void SetHeight(int value) { SetSize(width_, value); }

  TCanvas* Canvas();
  // The bitmap (nullptr while empty). While the canvas's device context
  // exists the bitmap is selected into it; FreeContext releases it before
  // the handle is selected into another device context.
  HBITMAP Handle() const { return handle_; }
  // Takes ownership of a bitmap (nullptr: empty); EInvalidGraphic when it
  // is not one.
  void SetHandle(HBITMAP bitmap);
  // Gives up the bitmap to the caller; the TBitmap is then empty.
  HBITMAP ReleaseHandle();
  void FreeContext();

  TPixelFormat PixelFormat() const { return pixelFormat_; }
  // Converts to pfDevice, pf1bit, pf24bit or pf32bit; pfCustom raises
  // EInvalidGraphic "Invalid pixel format".
  void SetPixelFormat(TPixelFormat value);

  // tmAuto: the colour of the bottom-left pixel; tmFixed: the colour set.
  TColor TransparentColor();
  // clDefault goes back to tmAuto, any other colour makes the mode tmFixed.
  void SetTransparentColor(TColor value);
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode value);
  // Turns the bitmap into a monochrome mask: white where the pixel had the
  // transparent colour, black elsewhere.
  void Mask(TColor transparentColor);

  // A bitmap resource (RT_BITMAP), checked like a stream. EResNotFound
  // "Resource %s not found" when there is none.
  void LoadFromResourceName(HINSTANCE instance, const String& name);
  void LoadFromResourceID(HINSTANCE instance, int id);
  // A BMP file (1, 4, 8, 16, 24 or 32 bits per pixel, run-length or bit
  // field coded); "Bitmap image is not valid" otherwise. An empty stream
  // makes the bitmap empty. Saving writes 1 (pf1bit), 32 (pf32bit) or 24
  // bits per pixel; an empty bitmap writes nothing.
  void LoadFromStream(TStream* stream) override;
  void SaveToStream(TStream* stream) override;

 private:
  friend class TBitmapCanvas;
  void Replace(HBITMAP bitmap, TPixelFormat format, int width, int height);
  void CanvasChanged(TObject* sender);
  void LoadFromResource(HINSTANCE instance, LPCSTR name, const String& shownName);
  HBITMAP handle_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  TPixelFormat pixelFormat_ = pf24bit;
  TColor transparentColor_ = clDefault;
  TTransparentMode transparentMode_ = tmAuto;
  TOwned<TBitmapCanvas> canvas_;
};

// An icon; the HICON is owned. Always drawn transparently.
class TIcon : public TGraphic {
 public:
  TIcon() = default;
  ~TIcon() override;
  // From another TIcon (a copy), or nullptr (empty).
  void Assign(TPersistent* source) override;
  void Draw(TCanvas* canvas, const TRect& rect) override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Empty() const override { return handle_ == nullptr; }
  bool Transparent() const override { return true; }

  HICON Handle() const { return handle_; }
  // Takes ownership of an icon (nullptr: empty).
  void SetHandle(HICON icon);
  HICON ReleaseHandle();

  // An icon resource at the system's icon size; EResNotFound when missing.
  void LoadFromResourceName(HINSTANCE instance, const String& name);
  // An .ico file: the image nearest the system's icon size is taken;
  // "Icon image is not valid" for a bad file. Saving writes one 32-bit image
  // with its mask.
  void LoadFromStream(TStream* stream) override;
  void SaveToStream(TStream* stream) override;

 private:
  void Replace(HICON icon);
  HICON handle_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// Holds one picture of any kind.
class TPicture : public TPersistent {
 public:
  TPicture() = default;
  ~TPicture() override;
  // The picture held, nullptr when there is none.
  TGraphic* Graphic() const { return graphic_.get(); }
  // Holds a copy of value (nullptr: none).
  void SetGraphic(TGraphic* value);
  // The picture as a bitmap or icon; a picture of another kind is replaced
  // by an empty one.
  TBitmap* Bitmap();
  TIcon* Icon();
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }
  // Chooses the kind by extension: .bmp, .ico, .jpg or .jpeg; another
  // raises EInvalidGraphic "Unknown picture file extension (.%s)". On any
  // failure the picture is left as it was.
  void LoadFromFile(const String& fileName);
  void SaveToFile(const String& fileName);
  // From a TPicture, a TGraphic, or nullptr.
  void Assign(TPersistent* source) override;

  TNotifyEvent OnChange;

 private:
  void Hold(TGraphic* graphic);
  void GraphicChanged(TObject* sender);
  void Changed();
  TOwned<TGraphic> graphic_;
};
