// Controls beyond the system's own: bevels, panels, images, splitters and
// radio groups; and the timer.
#pragma once

#include "Stdctrls.h"

// Draws width lines of a 3-D frame just inside rect (top and left in top,
// bottom and right in bottom) and shrinks rect by them.
void Frame3D(TCanvas* canvas, TRect& rect, TColor top, TColor bottom, int width);
// A pattern brush of alternate pixels: set pixels take the device
// context's text colour, the others its background colour.
HBRUSH HalftoneBrush();

// ---------------------------------------------------------------- TBevel

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

// Lines drawn over the parent's background; the mouse passes through.
class TBevel : public TGraphicControl {
 public:
  explicit TBevel(TComponent* owner);
  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape value);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle value);

 protected:
  void Paint() override;
  void Dispatch(TMessage& msg) override;

 private:
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};

// ---------------------------------------------------------------- TPanel

// A container with bevels and a caption drawn in the middle; the children
// are laid out inside the border and the bevels.
class TCustomPanel : public TCustomControl {
 public:
  explicit TCustomPanel(TComponent* owner);

  void SetBevelOuter(TBevelCut value);
  void SetBevelInner(TBevelCut value);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int value);
  // The space between the outer and the inner bevel.
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  // bsSingle: a sunken window edge around the panel.
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  // Where the caption goes across the panel.
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  // A resize repaints the whole panel (else only the frame and caption).
  bool FullRepaint() const { return fullRepaint_; }
  void SetFullRepaint(bool value) { fullRepaint_ = value; }

 protected:
  void CreateParams(TCreateParams& params) override;
  void AdjustClientRect(TRect& rect) override;
  void Paint() override;
  void Dispatch(TMessage& msg) override;
  void TextChanged() override;
  void FontChanged() override;
  int FrameWidth() const;

 private:
  void Resized(int oldWidth, int oldHeight);
  void Changed();
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  TBorderStyle borderStyle_ = bsNone;
  TAlignment alignment_ = taCenter;
  bool fullRepaint_ = true;
  int clientWidth_ = 0, clientHeight_ = 0;
};

class TPanel : public TCustomPanel {
 public:
  explicit TPanel(TComponent* owner) : TCustomPanel(owner) {}
};

// ---------------------------------------------------------------- TImage

// Shows a picture (bitmap, icon or JPEG) over the parent's background.
class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* owner);
  ~TImage() override;
  TPicture* Picture() const { return picture_.get(); }
  void SetPicture(TPicture* value) { picture_->Assign(value); }
  // Fills the control (keeping the picture's proportions with Proportional).
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  bool Center() const { return center_; }
  void SetCenter(bool value);
  // Scales the picture down to fit, keeping its proportions (and up too
  // with Stretch).
  bool Proportional() const { return proportional_; }
  void SetProportional(bool value);
  // The picture's transparent colour lets the background through.
  bool Transparent() const { return transparentPicture_; }
  void SetTransparent(bool value);
  // The control takes the picture's size.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  // Where the picture is drawn in the client area.
  TRect DestRect();

 protected:
  void Paint() override;

 private:
  void PictureChanged(TObject* sender);
  TOwned<TPicture> picture_;
  bool stretch_ = false;
  bool center_ = false;
  bool proportional_ = false;
  bool transparentPicture_ = false;
  bool autoSize_ = false;
};

// ---------------------------------------------------------------- TSplitter

// rsLine and rsPattern draw a line while dragging and resize on release;
// rsUpdate resizes as the mouse moves; rsNone resizes on release.
enum TResizeStyle { rsNone, rsLine, rsUpdate, rsPattern };
// Splitter, the neighbour's new size (may be changed), accept.
using TSplitCanResizeEvent = TEvent<TObject*, int&, bool&>;

// Aligned beside a control, it resizes that control when dragged: never
// below MinSize, and never so that less than MinSize is left for the
// rest of the parent.
class TSplitter : public TGraphicControl {
 public:
  explicit TSplitter(TComponent* owner);
  ~TSplitter() override;

  int MinSize() const { return minSize_; }
  void SetMinSize(int value) { minSize_ = value < 1 ? 1 : value; }
  TResizeStyle ResizeStyle() const { return resizeStyle_; }
  void SetResizeStyle(TResizeStyle value) { resizeStyle_ = value; }
  bool Beveled() const { return beveled_; }
  void SetBeveled(bool value);
  void SetBounds(int left, int top, int width, int height) override;
  // The control the splitter resizes: the one it touches on its aligned
  // side.
  TControl* Neighbour() const;
  // The largest size a drag gives control: the parent's client size less
  // MinSize and less every other visible control aligned on the same axis.
  int MaxSizeOf(TControl* control) const;

  TSplitCanResizeEvent OnCanResize;
  // A drag ended.
  TNotifyEvent OnMoved;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void Dispatch(TMessage& msg) override;
  virtual bool DoCanResize(int& newSize);
  virtual void Moved();

 private:
  bool Horizontal() const { return align_ == alLeft || align_ == alRight; }
  int SizeOf(TControl* c) const;
  void ResizeControl(int size);
  void DrawLine();
  void StopSizing(bool apply);
  void UpdateCursor();
  TControl* control_ = nullptr;  // while dragging
  int minSize_ = 30;
  int maxSize_ = 0;
  int startPos_ = 0, startSize_ = 0, newSize_ = 0;
  bool lineVisible_ = false;
  TRect lineRect_;
  TResizeStyle resizeStyle_ = rsPattern;
  bool beveled_ = false;
};

// ---------------------------------------------------------------- TRadioGroup

class TGroupButton;

// A group box holding one radio button per line of Items.
class TCustomRadioGroup : public TCustomGroupBox {
 public:
  explicit TCustomRadioGroup(TComponent* owner);
  ~TCustomRadioGroup() override;
  TStrings* Items() const;
  void SetItems(TStrings* value);
  // The checked button, -1 for none; a change (by the user or by code)
  // fires OnClick.
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int value);
  int Columns() const { return columns_; }
  void SetColumns(int value);
  // The button of line index.
  TRadioButton* Buttons(int index) const;

 protected:
  friend class TGroupButton;
  void AlignControls(TControl* control, TRect& rect) override;
  void Loaded() override;
  void EnabledChanged() override;
  void ButtonClicked(TGroupButton* button);

 private:
  void ItemsChange(TObject* sender);
  void UpdateButtons();
  void ArrangeButtons();
  TOwned<TStringList> items_;
  std::vector<TGroupButton*> buttons_;
  int itemIndex_ = -1;
  int columns_ = 1;
  int updating_ = 0;
  bool arranging_ = false;
};

class TRadioGroup : public TCustomRadioGroup {
 public:
  explicit TRadioGroup(TComponent* owner) : TCustomRadioGroup(owner) {}
};

// ---------------------------------------------------------------- TTimer

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned value);
  // Setting the event (re)starts the timer when it is enabled.
  void SetOnTimer(TNotifyEvent handler);
  const TNotifyEvent& OnTimer() const { return onTimer_; }

 protected:
  virtual void Timer();

 private:
  void UpdateTimer();
  void WndProc(TMessage& msg);
  HWND window_ = nullptr;
  bool enabled_ = true;
  unsigned interval_ = 1000;
  TNotifyEvent onTimer_;
};
