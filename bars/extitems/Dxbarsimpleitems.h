// The simple extended items and their controls: the static item (a caption
// or glyph with a border), the progress item built on it, the large button,
// the spin edit and the control container item, which puts a control of the
// form onto a bar. Their arithmetic is in Dxbarextlayout.h.
#pragma once

#include "bars/Dxbarwinitems.h"
#include "bars/extitems/Dxbarextlayout.h"

// The extent of text in a bar window's font.
int dxBarExtTextWidth(TCustomdxBarControl* bar, const String& text);
int dxBarExtTextHeight(TCustomdxBarControl* bar, const String& text);

// ---------------------------------------------------------------- static item

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

// ---------------------------------------------------------------- progress item

// A static item that also draws a progress bar at the far end of its link,
// in blocks or smooth.
class TdxBarProgressItem : public TdxBarStatic {
 public:
  explicit TdxBarProgressItem(TComponent* owner);
  DX_BAR_ITEM_CLASS();

  int64_t Min() const { return range_.Min; }
  void SetMin(int64_t value);
  int64_t Max() const { return range_.Max; }
  void SetMax(int64_t value);
  void SetParams(int64_t min, int64_t max);
  // Always within Min..Max (stored as given while loading).
  int64_t Position() const { return range_.Position; }
  void SetPosition(int64_t value);
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool value);
  int64_t Step() const { return range_.Step; }
  void SetStep(int64_t value) { range_.Step = value; }
  void StepBy(int64_t delta);
  void StepIt();
  // Every link's control invalidates its bar (nothing while loading).
  void UpdateBar();

 protected:
  void Loaded() override;

 private:
  TdxBarProgressRange range_;
  bool smooth_ = false;
};

class TdxBarProgressControl : public TdxBarStaticControl {
 public:
  using TdxBarStaticControl::TdxBarStaticControl;
  DX_BAR_CONTROL_CLASS();

  TdxBarProgressItem* Progress() const { return dynamic_cast<TdxBarProgressItem*>(Item()); }
  virtual HBRUSH BarBrush() { return GetSysColorBrush(COLOR_HIGHLIGHT); }
  TdxBarProgressGeometry Geometry();
  int BarWidth() { return Geometry().BarWidth(); }
  int BarHeight() { return Geometry().BarHeight(); }
  TRect BarRect() { return Geometry().BarRect(); }
  // Invalidates the bar's rectangle, background kept.
  void UpdateBar();

  bool CanHaveZeroSize() override { return true; }
  TAlignment GetAlignment() override { return taLeftJustify; }
  int GetDefaultWidth() override;
  void DrawInterior(HDC dc, const TRect& r, TdxBarPaintType paintType) override;
};

// ---------------------------------------------------------------- large button

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

// ---------------------------------------------------------------- spin edit

class TdxBarSpinEdit;
using TdxBarSpinEditButtonClickEvent = TEvent<TdxBarSpinEdit*, TdxBarSpinEditButton>;

// An edit for a number with an optional prefix or suffix, kept within a
// range, stepped by the two buttons at its right end and by Up and Down.
class TdxBarSpinEdit : public TdxBarEdit {
 public:
  explicit TdxBarSpinEdit(TComponent* owner);
  DX_BAR_ITEM_CLASS();

  const TdxBarSpinRules& Rules() const { return rules_; }
  TdxBarSpinEditValueType ValueType() const { return rules_.ValueType; }
  void SetValueType(TdxBarSpinEditValueType value);
  long double Increment() const { return rules_.Increment; }
  void SetIncrement(long double value) { rules_.Increment = rules_.CheckedIncrement(value); }
  long double MaxValue() const { return rules_.MaxValue; }
  void SetMaxValue(long double value);
  long double MinValue() const { return rules_.MinValue; }
  void SetMinValue(long double value);
  const String& Prefix() const { return rules_.Prefix; }
  void SetPrefix(const String& value);
  TdxBarSpinEditPrefixPlace PrefixPlace() const { return rules_.PrefixPlace; }
  void SetPrefixPlace(TdxBarSpinEditPrefixPlace value);
  // The committed value (read from Text) and the value of the text being
  // edited; the integer forms are truncated, 64-bit.
  long double Value() const { return rules_.TextToValue(Text()); }
  void SetValue(long double value);
  long double CurValue() const { return rules_.TextToValue(CurText()); }
  void SetCurValue(long double value);
  int64_t IntValue() const { return dxBarSpinTruncate(Value()); }
  void SetIntValue(int64_t value) { SetValue(static_cast<long double>(value)); }
  int64_t IntCurValue() const { return dxBarSpinTruncate(CurValue()); }
  void SetIntCurValue(int64_t value) { SetCurValue(static_cast<long double>(value)); }

  // A text that converts is stored clamped and with the prefix; one that
  // does not changes nothing (the field being edited shows the committed
  // text again).
  void SetText(const String& value) override;
  // One step up or down, then OnButtonClick.
  virtual void DoButtonClick(TdxBarSpinEditButton button);
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void KeyUp(WORD& key, TShiftState shift) override;

  TdxBarSpinEditButtonClickEvent OnButtonClick;

 private:
  class TdxBarSpinEditControl* FocusedSpinControl() const;
  TdxBarSpinRules rules_;
};

class TdxBarSpinEditControl : public TdxBarEditControl {
 public:
  explicit TdxBarSpinEditControl(TdxBarItemLink* link) : TdxBarEditControl(link) {}
  ~TdxBarSpinEditControl() override;
  DX_BAR_CONTROL_CLASS();

  TdxBarSpinEdit* SpinEdit() const { return dynamic_cast<TdxBarSpinEdit*>(Item()); }
  TdxBarSpinEditButton ActiveButton() const { return activeButton_; }
  void SetActiveButton(TdxBarSpinEditButton value);
  bool ButtonPressed() const { return buttonPressed_; }
  void SetButtonPressed(bool value);
  // The buttons as last painted, in the bar window's coordinates.
  const TdxBarSpinButtons& Buttons() const { return buttons_; }
  // The button under a point of the edit window (sbNone outside the
  // buttons or while read-only).
  TdxBarSpinEditButton ButtonFromPoint(TPoint p);
  // The mouse repeats a held button.
  bool Repeating() const { return timer_ != 0; }
  // Ends a held button's repeat.
  void BreakProcess();
  // The repeat timer ticked.
  void RepeatTick();

  void Paint(const TRect& r, TdxBarPaintType paintType) override;

 protected:
  void WndProc(TMessage& msg) override;

 private:
  void StartTimer(UINT elapse, bool first);
  void StopTimer();
  TdxBarSpinEditButton activeButton_ = sbNone;
  bool buttonPressed_ = false;
  TdxBarSpinButtons buttons_;
  UINT_PTR timer_ = 0;
  bool firstTimer_ = false;
};

// ---------------------------------------------------------------- control container

// Puts a control of the form onto a bar or into a menu: the item's place, a
// borderless form, becomes a child of the bar window at the link's
// rectangle and the control is parented to it, filling it.
class TdxBarControlContainerItem : public TdxBarItem {
 public:
  explicit TdxBarControlContainerItem(TComponent* owner);
  ~TdxBarControlContainerItem() override;
  DX_BAR_ITEM_CLASS();

  TControl* Control() const { return control_; }
  // A control another container of the manager hosts raises "You cannot
  // assign the same control to more than one TdxBarControlContainerItem."
  // and the item keeps its own.
  void SetControl(TControl* value);
  TForm* Place() const { return place_; }
  // A link's control is placing the hosted control right now.
  bool GetInPlaceControl() const;

  bool CanClicked() const override { return false; }
  bool GetHidden() const override { return true; }
  bool NeedToBeHidden() const override { return true; }
  bool HasAccel(TdxBarItemLink* link) const override;
  void HideControl(TdxBarItemControl* control) override;
  void SetName(const String& name) override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TdxBarControlContainerControl;
  bool IsControlAssigned(TControl* control) const;
  void ControlWndProc(TMessage& msg);
  void SaveControlSize();
  void ReleaseControl();
  TControl* control_ = nullptr;
  TForm* place_ = nullptr;
  TWndMethod savedWndProc_;
  int savedWidth_ = 0, savedHeight_ = 0;
};

class TdxBarControlContainerControl : public TdxBarItemControl {
 public:
  using TdxBarItemControl::TdxBarItemControl;
  ~TdxBarControlContainerControl() override;
  DX_BAR_CONTROL_CLASS();

  TdxBarControlContainerItem* Container() const { return dynamic_cast<TdxBarControlContainerItem*>(Item()); }
  // Not in a customization popup, a control to show, not designing.
  bool ShowsControl();
  // The place sits in this control's bar window.
  bool IsShowingControl();
  bool Placing() const { return placing_; }

  void BeforeDestroyParentHandle() override;
  bool CanClicked() override { return ParentIsQuickCustControl(); }
  bool CanSelect() override;
  int GetHeight() override;
  int GetWidth() override;
  bool IsDestroyOnClick() override { return ParentIsQuickCustControl(); }
  bool NeedCaptureMouse() override { return ParentIsQuickCustControl(); }
  void Paint(const TRect& r, TdxBarPaintType paintType) override;

 private:
  void PlaceControl();
  // The control shows in another bar window that keeps it.
  bool PlaceTaken();
  void PaintPlaceholder(const TRect& r, TdxBarPaintType paintType);
  bool placing_ = false;
};
