// Image lists: a component over a comctl32 image list, with change links
// that tell the controls drawing from it when its images change.
#pragma once

#include "Graphics.h"
// After Graphics.h: commctrl.h needs windows.h first.
#include <commctrl.h>

enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType { itImage, itMask };
enum TResType { rtBitmap, rtCursor, rtIcon };
enum TLoadResource { lrDefaultColor, lrDefaultSize, lrFromFile, lrMap3DColors, lrTransparent, lrMonoChrome };
using TLoadResources = TSet<TLoadResource>;

class TCustomImageList;

// Registered with an image list, it hears of every change of the list.
// Freeing the link unregisters it; freeing the list sets Sender to nullptr.
class TChangeLink : public TObject {
 public:
  ~TChangeLink() override;
  TCustomImageList* Sender() const { return sender_; }
  void SetSender(TCustomImageList* value) { sender_ = value; }
  // Fires OnChange with the list as sender.
  virtual void Change();
  TNotifyEvent OnChange;

 private:
  TCustomImageList* sender_ = nullptr;
};

class TCustomImageList : public TComponent {
 public:
  explicit TCustomImageList(TComponent* owner);
  ~TCustomImageList() override;

  // The comctl32 list, made on demand (24-bit colour, with a mask when
  // Masked). A handle the list makes itself is its own: making one clears
  // ShareImages.
  HIMAGELIST Handle();
  // Uses another list; Width, Height and BkColor are read from it. The old
  // handle is destroyed unless ShareImages.
  void SetHandle(HIMAGELIST value);
  bool HandleAllocated() const { return handle_ != nullptr; }
  // A shared handle (the shell's system image list, for one) is never
  // destroyed by the list.
  bool ShareImages() const { return shareImages_; }
  void SetShareImages(bool value) { shareImages_ = value; }

  // Changing Width, Height or Masked starts a new, empty list.
  int Width() const { return width_; }
  void SetWidth(int value);
  int Height() const { return height_; }
  void SetHeight(int value);
  bool Masked() const { return masked_; }
  void SetMasked(bool value);
  int Count() const;
  // How many images the list grows by (used when the handle is made).
  int AllocBy() const { return allocBy_; }
  void SetAllocBy(int value) { allocBy_ = value > 0 ? value : 1; }
  // clNone: images drawn transparently through their masks.
  TColor BkColor() const { return bkColor_; }
  void SetBkColor(TColor value);
  // The colour dsFocus and dsSelected blend with (clNone: the canvas's).
  TColor BlendColor() const { return blendColor_; }
  void SetBlendColor(TColor value);
  TDrawingStyle DrawingStyle() const { return drawingStyle_; }
  void SetDrawingStyle(TDrawingStyle value);
  TImageType ImageType() const { return imageType_; }
  void SetImageType(TImageType value);

  // Adds the images of a bitmap (one per Width pixels) with an optional
  // mask (white: transparent); returns the index of the first. The bitmaps
  // stay the caller's. EInvalidOperation "Invalid image size" for a bitmap
  // smaller than the list's images, "Unable to insert an image" when the
  // list refuses.
  int Add(TBitmap* image, TBitmap* mask);
  // Pixels of maskColor become transparent; clDefault takes the bitmap's
  // transparent colour.
  int AddMasked(TBitmap* image, TColor maskColor);
  int AddIcon(TIcon* image);
  // Inserts before index (0..Count).
  void Insert(int index, TBitmap* image, TBitmap* mask);
  void ReplaceIcon(int index, TIcon* image);
  // EInvalidOperation "Invalid ImageList Index" for an index out of range.
  void Delete(int index);
  void Clear();
  // A copy of one image; transparent pixels come out in BkColor (black for
  // clNone).
  void GetBitmap(int index, TBitmap* image);
  void GetIcon(int index, TIcon* image);

  // Draws image index at (x, y) in DrawingStyle and ImageType; a disabled
  // image is drawn in greys. An index out of range draws nothing.
  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
  // The same with overlay image overlay (0..14, set by Overlay) on top.
  void DrawOverlay(TCanvas* canvas, int x, int y, int imageIndex, int overlay, bool enabled = true);
  // Makes image imageIndex overlay number overlay (0..14).
  bool Overlay(int imageIndex, int overlay);

  // Replaces the list by one loaded from a resource (or a file with
  // lrFromFile): a strip of images width pixels wide, maskColor transparent
  // (clNone: no mask). False, with the list unchanged, when nothing loads.
  // A bitmap (file or resource, without other load flags) is read by
  // TBitmap's checked reader and keeps its colours.
  bool GetInstRes(HINSTANCE instance, TResType resType, const String& name, int width, TLoadResources loadFlags,
                  TColor maskColor);
  // From the program's own resources, images Width wide.
  bool ResourceLoad(TResType resType, const String& name, TColor maskColor);
  bool FileLoad(TResType resType, const String& fileName, TColor maskColor);

  void RegisterChanges(TChangeLink* link);
  void UnRegisterChanges(TChangeLink* link);
  // Changes between the two fire the links and OnChange once, at the end.
  void BeginUpdate();
  void EndUpdate();

  TNotifyEvent OnChange;

 protected:
  // Tells the links, then OnChange.
  virtual void Change();
  virtual void DoDraw(int index, TCanvas* canvas, int x, int y, UINT style, bool enabled);

 private:
  void FreeHandle();
  void Recreate();
  void CheckIndex(int index, int count) const;
  int AddImages(TBitmap* image, TBitmap* mask);
  void MoveImages(int from, int count, int to);
  UINT DrawStyle() const;
  HIMAGELIST handle_ = nullptr;
  bool shareImages_ = false;
  int width_ = 16;
  int height_ = 16;
  bool masked_ = true;
  int allocBy_ = 4;
  TColor bkColor_ = clNone;
  TColor blendColor_ = clNone;
  TDrawingStyle drawingStyle_ = dsNormal;
  TImageType imageType_ = itImage;
  std::vector<TChangeLink*> links_;
  int updateCount_ = 0;
  bool changed_ = false;
};

class TImageList : public TCustomImageList {
 public:
  using TCustomImageList::TCustomImageList;
};
