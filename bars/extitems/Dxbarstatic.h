// The static item: a caption or glyph with a border, and the text extents
// the simple items share. Their arithmetic is in Dxbarextlayout.h.
#pragma once

#include "bars/Dxbarwinitems.h"
#include "bars/extitems/Dxbarextlayout.h"

// The extent of text in a bar window's font.
int dxBarExtTextWidth(TCustomdxBarControl* bar, const String& text);
int dxBarExtTextHeight(TCustomdxBarControl* bar, const String& text);

// Shows a caption and/or a glyph, optionally framed and indented, with a
// fixed or automatic size; a click does nothing unless AllowClick is set.
class TdxBarStatic : public TdxBarItem {
 public:
  explicit TdxBarStatic(TComponent* owner);
  DX_BAR_ITEM_CLASS();

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  bool AllowClick() const { return allowClick_; }
  void SetAllowClick(bool value) { allowClick_ = value; }
  TdxBarStaticBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TdxBarStaticBorderStyle value);
  bool ShowCaption() const { return showCaption_; }
  void SetShowCaption(bool value);
  // The four sizes by index: 1 LeftIndent, 2 RightIndent, 3 Width, 4
  // Height; a negative value is stored as 0, 0 for Width and Height is
  // automatic.
  int SizeValue(int index) const;
  void SetSizeValue(int index, int value);
  int LeftIndent() const { return SizeValue(1); }
  void SetLeftIndent(int value) { SetSizeValue(1, value); }
  int RightIndent() const { return SizeValue(2); }
  void SetRightIndent(int value) { SetSizeValue(2, value); }
  int Width() const { return SizeValue(3); }
  void SetWidth(int value) { SetSizeValue(3, value); }
  int Height() const { return SizeValue(4); }
  void SetHeight(int value) { SetSizeValue(4, value); }

  bool CanClicked() const override { return allowClick_; }
  // A static caption takes no part in accelerator handling.
  bool HasAccel(TdxBarItemLink* link) const override { return false; }

 protected:
  TAlignment alignment_ = taCenter;
  bool allowClick_ = false;
  TdxBarStaticBorderStyle borderStyle_ = sbsNone;
  int leftIndent_ = 0, rightIndent_ = 0, width_ = 0, height_ = 0;
  bool showCaption_ = true;
};

class TdxBarStaticControl : public TdxBarItemControl {
 public:
  using TdxBarItemControl::TdxBarItemControl;
  DX_BAR_CONTROL_CLASS();

  TdxBarStatic* Static() const { return dynamic_cast<TdxBarStatic*>(Item()); }
  TdxBarStaticBorderStyle GetBorderStyle();
  int GetBorderWidth() { return dxBarStaticBorderWidth(GetBorderStyle()); }
  int GetSizeValue(int index);
  // What the control measures with (its bar window, its item).
  TdxBarStaticSize Sizes();

  virtual bool CanHaveZeroSize() { return false; }
  // Glyph and caption inside the border.
  virtual void DrawInterior(HDC dc, const TRect& r, TdxBarPaintType paintType);
  virtual TAlignment GetAlignment();
  virtual int GetDefaultHeight();
  virtual int GetDefaultWidth();

  void CaptionChanged() override;
  void GlyphChanged() override;
  bool CanClicked() override;
  // The mouse selects as for any control; the keyboard only while
  // customizing.
  bool CanMouseSelect() override { return TdxBarItemControl::CanSelect(); }
  bool CanSelect() override;
  int GetHeight() override;
  int GetWidth() override;
  bool IsDestroyOnClick() override;
  void Paint(const TRect& r, TdxBarPaintType paintType) override;

 protected:
  void DrawGlyphAndCaption(HDC dc, const TRect& r, TdxBarPaintType paintType, bool inInterior);
  HBRUSH BackgroundBrush();
};
