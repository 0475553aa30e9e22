// The large button item.
#pragma once

#include "bars/Dxbarwinitems.h"
#include "bars/extitems/Dxbarextlayout.h"

// A button that shows a large glyph with its caption beside, above or below
// it on toolbars, and a hot glyph under the mouse; in menus an ordinary
// button.
class TdxBarLargeButton : public TdxBarButton {
 public:
  explicit TdxBarLargeButton(TComponent* owner);
  ~TdxBarLargeButton() override;
  DX_BAR_ITEM_CLASS();

  bool AutoGrayScale() const { return autoGrayScale_; }
  void SetAutoGrayScale(bool value);
  TdxBarGlyphLayout GlyphLayout() const { return glyphLayout_; }
  void SetGlyphLayout(TdxBarGlyphLayout value);
  // Fixed sizes on a toolbar (0: automatic); negative values are ignored.
  int Height() const { return height_; }
  void SetHeight(int value);
  int Width() const { return width_; }
  void SetWidth(int value);
  TBitmap* HotGlyph() const { return hotGlyph_.get(); }
  void SetHotGlyph(TBitmap* value) { hotGlyph_->Assign(value); }
  TBitmap* LargeGlyph() const { return largeGlyph_.get(); }
  void SetLargeGlyph(TBitmap* value) { largeGlyph_->Assign(value); }
  int HotImageIndex() const { return hotImageIndex_; }
  void SetHotImageIndex(int value);
  int LargeImageIndex() const { return largeImageIndex_; }
  void SetLargeImageIndex(int value);
  bool ShowCaption() const { return showCaption_; }
  void SetShowCaption(bool value);

  // The index names an image of the manager's hot (large) images.
  bool IsHotImageLinked() const;
  bool IsLargeImageLinked() const;

  bool HasAccel(TdxBarItemLink* link) const override;
  void HotGlyphChanged() override;
  void LargeGlyphChanged() override;
  bool UseHotImages() const override { return hotImageIndex_ > -1; }
  bool UseLargeImages() const override { return largeImageIndex_ > -1; }
  virtual void GlyphLayoutChanged();
  virtual void HeightChanged();
  virtual void ShowCaptionChanged();
  virtual void WidthChanged();

 private:
  template <class F>
  void ForControls(F f);
  bool autoGrayScale_ = true;
  TdxBarGlyphLayout glyphLayout_ = glTop;
  int height_ = 0, width_ = 0;
  int hotImageIndex_ = -1, largeImageIndex_ = -1;
  TOwned<TBitmap> hotGlyph_, largeGlyph_;
  bool showCaption_ = true;
};

class TdxBarLargeButtonControl : public TdxBarButtonControl {
 public:
  using TdxBarButtonControl::TdxBarButtonControl;
  DX_BAR_CONTROL_CLASS();

  TdxBarLargeButton* LargeButton() const { return dynamic_cast<TdxBarLargeButton*>(Item()); }
  TBitmap* GetHotGlyph() const;
  TBitmap* GetLargeGlyph() const;
  bool IsSizeAssigned() const;
  // The picture to draw, hot or not: a bitmap, or an image list with an
  // index; false when none was found (the list is then still the large
  // images, else the hot ones, index -1, for the sizes).
  bool GetCurrentImage(bool hot, TBitmap*& bitmap, TCustomImageList*& images, int& index);
  // What the control measures with on a toolbar.
  TdxBarLargeButtonSize Sizes();

  virtual void GlyphLayoutChanged();
  virtual void HeightChanged();
  virtual void HotGlyphChanged() { LargeGlyphChanged(); }
  virtual void LargeGlyphChanged();
  virtual void ShowCaptionChanged();
  virtual void WidthChanged();

  int ArrowWidth() override;
  int GetDefaultHeight() override;
  int GetDefaultWidth() override;
  int GetHeight() override;
  int GetWidth() override;
  void Paint(const TRect& r, TdxBarPaintType paintType) override;
  // The picture being painted stands in for the glyph meanwhile.
  TBitmap* GetGlyph() override;
  TCustomImageList* GetImages() override;
  int GetImageIndex() override;

 private:
  bool OnToolbar() const;
  void Relayout();
  bool drawing_ = false;
  TBitmap* drawBitmap_ = nullptr;
  TCustomImageList* drawImages_ = nullptr;
  int drawIndex_ = -1;
};
