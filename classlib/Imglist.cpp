#include "Imglist.h"

#include <algorithm>

namespace {

const char kInvalidIndex[] = "Invalid ImageList Index";
const char kInvalidSize[] = "Invalid image size";
const char kInsertFailed[] = "Unable to insert an image";
const char kInvalidList[] = "Invalid ImageList";

COLORREF ListColor(TColor c) {
  if (c == clNone) return CLR_NONE;
  if (c == clDefault) return CLR_DEFAULT;
  return ColorToRGB(c) & 0xFFFFFF;
}

HBITMAP TopDownDib(int w, int h, uint32_t** bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* p = nullptr;
  HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
  *bits = static_cast<uint32_t*>(p);
  return b;
}

// Draws an image in greys over what dc shows. The image is drawn once on
// black and once on white: where the two differ the canvas shows through
// (fully where the mask is set, partly where an alpha channel says so).
void DrawGreyed(HIMAGELIST list, int index, HDC dc, int x, int y, int w, int h, COLORREF bk, COLORREF fg, UINT style) {
  uint32_t *under = nullptr, *onBlack = nullptr, *onWhite = nullptr;
  HBITMAP bu = TopDownDib(w, h, &under), bb = TopDownDib(w, h, &onBlack), bw = TopDownDib(w, h, &onWhite);
  HDC mem = CreateCompatibleDC(nullptr);
  if (bu && bb && bw && under && onBlack && onWhite && mem) {
    HGDIOBJ old = SelectObject(mem, bu);
    BitBlt(mem, 0, 0, w, h, dc, x, y, SRCCOPY);
    SelectObject(mem, bb);
    PatBlt(mem, 0, 0, w, h, BLACKNESS);
    ImageList_DrawEx(list, index, mem, 0, 0, 0, 0, bk, fg, style);
    SelectObject(mem, bw);
    PatBlt(mem, 0, 0, w, h, WHITENESS);
    ImageList_DrawEx(list, index, mem, 0, 0, 0, 0, bk, fg, style);
    GdiFlush();
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
      uint32_t b = onBlack[i], wh = onWhite[i], u = under[i];
      int see = ((wh & 0xFF) - (b & 0xFF) + ((wh >> 8) & 0xFF) - ((b >> 8) & 0xFF) + ((wh >> 16) & 0xFF) -
                 ((b >> 16) & 0xFF)) /
                3;  // 0: opaque, 255: the canvas shows
      see = std::clamp(see, 0, 255);
      int grey = ((b & 0xFF) + ((b >> 8) & 0xFF) + ((b >> 16) & 0xFF)) / 3;
      uint32_t out = 0;
      for (int shift = 0; shift <= 16; shift += 8) {
        int c = static_cast<int>((u >> shift) & 0xFF) * see / 255 + grey;
        out |= static_cast<uint32_t>(std::min(c, 255)) << shift;
      }
      under[i] = out;
    }
    SelectObject(mem, bu);
    BitBlt(dc, x, y, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
  }
  if (mem) DeleteDC(mem);
  for (HBITMAP b : {bu, bb, bw})
    if (b) DeleteObject(b);
}

// A list made by comctl32 from a resource or file.
HIMAGELIST LoadListImage(HINSTANCE instance, TResType resType, const String& name, int width, int grow,
                         TLoadResources loadFlags, COLORREF mask) {
  UINT flags = 0;
  if (loadFlags.Contains(lrDefaultSize)) flags |= LR_DEFAULTSIZE;
  if (loadFlags.Contains(lrFromFile)) flags |= LR_LOADFROMFILE;
  if (loadFlags.Contains(lrMap3DColors)) flags |= LR_LOADMAP3DCOLORS;
  if (loadFlags.Contains(lrTransparent)) flags |= LR_LOADTRANSPARENT;
  if (loadFlags.Contains(lrMonoChrome)) flags |= LR_MONOCHROME;
  UINT type = resType == rtBitmap ? IMAGE_BITMAP : resType == rtCursor ? IMAGE_CURSOR : IMAGE_ICON;
  return ImageList_LoadImageA(instance, name.c_str(), width, grow, mask, type, flags);
}

}  // namespace

// ---------------------------------------------------------------- TChangeLink

TChangeLink::~TChangeLink() {
  if (sender_) sender_->UnRegisterChanges(this);
}

void TChangeLink::Change() {
  if (OnChange) OnChange(sender_);
}

// ---------------------------------------------------------------- TCustomImageList

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* link : links_) link->SetSender(nullptr);
  links_.clear();
  FreeHandle();
}

HIMAGELIST TCustomImageList::Handle() {
  if (!handle_) {
    handle_ = ImageList_Create(width_, height_, ILC_COLOR24 | (masked_ ? ILC_MASK : 0), allocBy_, allocBy_);
    if (!handle_) throw EInvalidOperation(kInvalidList);
    shareImages_ = false;
    if (bkColor_ != clNone) ImageList_SetBkColor(handle_, ListColor(bkColor_));
  }
  return handle_;
}

void TCustomImageList::FreeHandle() {
  if (handle_ && !shareImages_) ImageList_Destroy(handle_);
  handle_ = nullptr;
}

void TCustomImageList::SetHandle(HIMAGELIST value) {
  if (value == handle_) return;
  FreeHandle();
  handle_ = value;
  if (value) {
    int cx = 0, cy = 0;
    if (ImageList_GetIconSize(value, &cx, &cy)) {
      width_ = cx;
      height_ = cy;
    }
    COLORREF bk = ImageList_GetBkColor(value);
    bkColor_ = bk == CLR_NONE ? clNone : static_cast<TColor>(bk);
  }
  Change();
}

void TCustomImageList::Recreate() {
  FreeHandle();
  Change();
}

void TCustomImageList::SetWidth(int value) {
  if (value < 1) throw EInvalidOperation(kInvalidSize);
  if (value == width_) return;
  width_ = value;
  Recreate();
}

void TCustomImageList::SetHeight(int value) {
  if (value < 1) throw EInvalidOperation(kInvalidSize);
  if (value == height_) return;
  height_ = value;
  Recreate();
}

void TCustomImageList::SetMasked(bool value) {
  if (value == masked_) return;
  masked_ = value;
  Recreate();
}

int TCustomImageList::Count() const { return handle_ ? ImageList_GetImageCount(handle_) : 0; }

void TCustomImageList::SetBkColor(TColor value) {
  if (value == bkColor_) return;
  bkColor_ = value;
  if (handle_) ImageList_SetBkColor(handle_, ListColor(value));
  Change();
}

void TCustomImageList::SetBlendColor(TColor value) {
  if (value == blendColor_) return;
  blendColor_ = value;
  Change();
}

void TCustomImageList::SetDrawingStyle(TDrawingStyle value) {
  if (value == drawingStyle_) return;
  drawingStyle_ = value;
  Change();
}

void TCustomImageList::SetImageType(TImageType value) {
  if (value == imageType_) return;
  imageType_ = value;
  Change();
}

void TCustomImageList::CheckIndex(int index, int count) const {
  if (index < 0 || index >= count) throw EInvalidOperation(kInvalidIndex);
}

int TCustomImageList::AddImages(TBitmap* image, TBitmap* mask) {
  if (!image || image->Width() < width_ || image->Height() < height_) throw EInvalidOperation(kInvalidSize);
  bool useMask = masked_ && mask && !mask->Empty();
  if (useMask && (mask->Width() < image->Width() || mask->Height() < image->Height()))
    throw EInvalidOperation(kInvalidSize);
  HIMAGELIST list = Handle();
  // comctl32 selects the bitmaps into its own device contexts.
  image->FreeContext();
  if (useMask) mask->FreeContext();
  int index = ImageList_Add(list, image->Handle(), useMask ? mask->Handle() : nullptr);
  if (index < 0) throw EInvalidOperation(kInsertFailed);
  return index;
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
  int index = AddImages(image, mask);
  Change();
  return index;
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
  if (!image || image->Width() < width_ || image->Height() < height_) throw EInvalidOperation(kInvalidSize);
  COLORREF colour = ColorToRGB(maskColor == clDefault ? image->TransparentColor() : maskColor) & 0xFFFFFF;
  // ImageList_AddMasked may paint the transparent pixels of the bitmap it
  // is given black: it gets a copy.
  TBitmap copy;
  copy.Assign(image);
  copy.FreeContext();
  int index = ImageList_AddMasked(Handle(), copy.Handle(), colour);
  if (index < 0) throw EInvalidOperation(kInsertFailed);
  Change();
  return index;
}

int TCustomImageList::AddIcon(TIcon* image) {
  if (!image || image->Empty()) throw EInvalidOperation(kInvalidSize);
  int index = ImageList_ReplaceIcon(Handle(), -1, image->Handle());
  if (index < 0) throw EInvalidOperation(kInsertFailed);
  Change();
  return index;
}

// Moves count images starting at from to start at to (to < from), one
// exchange with the neighbour at a time. Each exchange goes through a spare
// image at the end with plain copies, which keep the image and mask bits
// exactly (comctl32's own exchange loses them on some systems).
void TCustomImageList::MoveImages(int from, int count, int to) {
  int spare = Count();
  if (!ImageList_SetImageCount(handle_, spare + 1)) throw EInvalidOperation(kInsertFailed);
  auto copy = [&](int dst, int src) {
    if (!ImageList_Copy(handle_, dst, handle_, src, ILCF_MOVE)) throw EInvalidOperation(kInsertFailed);
  };
  TFinally guard([&] { ImageList_Remove(handle_, spare); });
  for (int k = 0; k < count; ++k)
    for (int p = from + k; p > to + k; --p) {
      copy(spare, p - 1);
      copy(p - 1, p);
      copy(p, spare);
    }
}

void TCustomImageList::Insert(int index, TBitmap* image, TBitmap* mask) {
  int count = Count();
  if (index < 0 || index > count) throw EInvalidOperation(kInvalidIndex);
  int first = AddImages(image, mask);
  if (index < first) MoveImages(first, Count() - first, index);
  Change();
}

void TCustomImageList::ReplaceIcon(int index, TIcon* image) {
  CheckIndex(index, Count());
  if (!image || image->Empty()) throw EInvalidOperation(kInvalidSize);
  if (ImageList_ReplaceIcon(handle_, index, image->Handle()) < 0) throw EInvalidOperation(kInsertFailed);
  Change();
}

void TCustomImageList::Delete(int index) {
  CheckIndex(index, Count());
  ImageList_Remove(handle_, index);
  Change();
}

void TCustomImageList::Clear() {
  if (handle_) ImageList_Remove(handle_, -1);
  Change();
}

void TCustomImageList::GetBitmap(int index, TBitmap* image) {
  CheckIndex(index, Count());
  if (!image) return;
  TBitmap copy;
  copy.SetSize(width_, height_);
  if (bkColor_ != clNone) {
    copy.Canvas()->Brush()->SetColor(bkColor_);
    copy.Canvas()->FillRect(TRect(0, 0, width_, height_));
  }
  ImageList_DrawEx(handle_, index, copy.Canvas()->Handle(), 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_NORMAL);
  copy.FreeContext();
  image->Assign(&copy);
}

void TCustomImageList::GetIcon(int index, TIcon* image) {
  CheckIndex(index, Count());
  if (!image) return;
  HICON icon = ImageList_GetIcon(handle_, index, ILD_NORMAL);
  if (!icon) throw EInvalidOperation(kInvalidList);
  image->SetHandle(icon);
}

UINT TCustomImageList::DrawStyle() const {
  static const UINT styles[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
  return styles[drawingStyle_] | (imageType_ == itMask ? ILD_MASK : 0);
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
  if (!handle_ || !canvas || index < 0 || index >= Count()) return;
  DoDraw(index, canvas, x, y, DrawStyle(), enabled);
}

void TCustomImageList::DrawOverlay(TCanvas* canvas, int x, int y, int imageIndex, int overlay, bool enabled) {
  if (!handle_ || !canvas || imageIndex < 0 || imageIndex >= Count()) return;
  UINT style = DrawStyle();
  if (overlay >= 0 && overlay <= 14) style |= INDEXTOOVERLAYMASK(overlay + 1);
  DoDraw(imageIndex, canvas, x, y, style, enabled);
}

bool TCustomImageList::Overlay(int imageIndex, int overlay) {
  if (!handle_ || overlay < 0 || overlay > 14 || imageIndex < 0 || imageIndex >= Count()) return false;
  return ImageList_SetOverlayImage(handle_, imageIndex, overlay + 1) != FALSE;
}

void TCustomImageList::DoDraw(int index, TCanvas* canvas, int x, int y, UINT style, bool enabled) {
  HDC dc = canvas->Handle();
  COLORREF bk = ListColor(bkColor_), fg = ListColor(blendColor_);
  if (enabled)
    ImageList_DrawEx(handle_, index, dc, x, y, 0, 0, bk, fg, style);
  else
    DrawGreyed(handle_, index, dc, x, y, width_, height_, bk, fg, style);
}

bool TCustomImageList::GetInstRes(HINSTANCE instance, TResType resType, const String& name, int width,
                                  TLoadResources loadFlags, TColor maskColor) {
  COLORREF mask = maskColor == clNone ? CLR_NONE : ColorToRGB(maskColor) & 0xFFFFFF;
  HIMAGELIST list = nullptr;
  if (resType == rtBitmap && (loadFlags - TLoadResources{lrFromFile, lrDefaultColor, lrDefaultSize}).Empty()) {
    // A bitmap file or resource is read by the checked BMP reader, not the
    // system's, and keeps its colours (the system's list has 16).
    TBitmap strip;
    try {
      if (loadFlags.Contains(lrFromFile))
        strip.LoadFromFile(name);
      else
        strip.LoadFromResourceName(instance, name);
    } catch (Exception&) {
      return false;
    }
    if (width <= 0 || strip.Width() < width || strip.Height() < 1) return false;
    list = ImageList_Create(width, strip.Height(), ILC_COLOR24 | (mask != CLR_NONE ? ILC_MASK : 0), allocBy_, allocBy_);
    if (!list) return false;
    strip.FreeContext();
    int added = mask != CLR_NONE ? ImageList_AddMasked(list, strip.Handle(), mask)
                                 : ImageList_Add(list, strip.Handle(), nullptr);
    if (added < 0) {
      ImageList_Destroy(list);
      return false;
    }
  } else {
    list = LoadListImage(instance, resType, name, width, allocBy_, loadFlags, mask);
    if (!list) return false;
  }
  FreeHandle();
  handle_ = list;
  shareImages_ = false;
  masked_ = maskColor != clNone || resType != rtBitmap;
  int cx = 0, cy = 0;
  if (ImageList_GetIconSize(list, &cx, &cy)) {
    width_ = cx;
    height_ = cy;
  }
  Change();
  return true;
}

bool TCustomImageList::ResourceLoad(TResType resType, const String& name, TColor maskColor) {
  return GetInstRes(GetModuleHandleA(nullptr), resType, name, width_, TLoadResources(), maskColor);
}

bool TCustomImageList::FileLoad(TResType resType, const String& fileName, TColor maskColor) {
  return GetInstRes(nullptr, resType, fileName, width_, TLoadResources(lrFromFile), maskColor);
}

void TCustomImageList::RegisterChanges(TChangeLink* link) {
  if (!link) return;
  if (link->Sender() && link->Sender() != this) link->Sender()->UnRegisterChanges(link);
  if (std::find(links_.begin(), links_.end(), link) == links_.end()) links_.push_back(link);
  link->SetSender(this);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* link) {
  auto it = std::find(links_.begin(), links_.end(), link);
  if (it == links_.end()) return;
  links_.erase(it);
  link->SetSender(nullptr);
}

void TCustomImageList::BeginUpdate() { ++updateCount_; }

void TCustomImageList::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0 && changed_) Change();
}

void TCustomImageList::Change() {
  if (updateCount_ > 0) {
    changed_ = true;
    return;
  }
  changed_ = false;
  // A link may unregister itself or another one from its handler.
  std::vector<TChangeLink*> links = links_;
  for (TChangeLink* link : links)
    if (std::find(links_.begin(), links_.end(), link) != links_.end()) link->Change();
  if (OnChange) OnChange(this);
}
