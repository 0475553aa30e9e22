// The bar windows, the item controls and the dock sites as the model sees
// them. These are stand-ins: they keep what the model reads from them and
// record every call the model makes (dxBarStandInCalls), but they make no
// window. The toolbar and menu windows, the item controls and the dock
// sites replace them class by class under the same names.
#pragma once

#include "Dxbar.h"

// Asks a bar window to rebuild or repaint itself.
constexpr UINT WMRepaintBar = WM_USER + 1;

// One line per call: "<who>: <call>", e.g. "Bar View: ShowNA".
std::vector<String>& dxBarStandInCalls();
void dxBarRecordCall(const String& who, const String& call);
// How many recorded lines are exactly "<who>: <call>".
int dxBarCallCount(const String& who, const String& call);

// ---------------------------------------------------------------- bar windows

class TCustomdxBarControl : public TObject {
 public:
  explicit TCustomdxBarControl(TdxBarManager* manager);
  ~TCustomdxBarControl() override;
  uint64_t Serial() const { return serial_; }
  TdxBarManager* BarManager() const { return manager_; }
  TdxBarItemLinks* ItemLinks() const { return itemLinks_; }
  void SetItemLinks(TdxBarItemLinks* value) { itemLinks_ = value; }
  TCustomdxBarControl* ParentBar() const { return parentBar_; }
  void SetParentBar(TCustomdxBarControl* value) { parentBar_ = value; }
  TdxBarSubMenuControl* ChildBar() const { return childBar_; }
  void SetChildBar(TdxBarSubMenuControl* value) { childBar_ = value; }
  TdxBarItemControl* SelectedControl() const { return selectedControl_; }
  // Selects without telling anyone (no repaint, no callback).
  void SetSelectedControl(TdxBarItemControl* value) { selectedControl_ = value; }
  bool IsActive() const { return isActive_; }
  virtual void SetIsActive(bool value);
  // The selection moves by keys (no hints then).
  bool KeyboardMode() const { return keyboardMode_; }
  void SetKeyboardMode(bool value) { keyboardMode_ = value; }
  TdxBarDockingStyle DockingStyle() const { return dockingStyle_; }
  virtual void SetDockingStyle(TdxBarDockingStyle value);
  bool Destroying() const { return destroying_; }
  bool HandleAllocated() const { return !destroying_; }
  bool Visible() const { return visible_; }
  // The window's rectangle on the screen.
  TRect ScreenRect() const { return screenRect_; }
  void SetScreenRect(const TRect& r) { screenRect_ = r; }
  TPoint ScreenToClient(TPoint p) const { return TPoint(p.x - screenRect_.left, p.y - screenRect_.top); }
  TPoint ClientToScreen(TPoint p) const { return TPoint(p.x + screenRect_.left, p.y + screenRect_.top); }
  TRect ClientRect() const { return TRect(0, 0, screenRect_.Width(), screenRect_.Height()); }
  // The control whose link's rectangle holds the client point.
  TdxBarItemControl* ItemAtPos(TPoint p) const;
  TRect GetItemScreenRect(TdxBarItemControl* control) const;
  // Controls for the links that can be visible.
  virtual void CreateControls();
  virtual void DestroyControls();
  virtual void RepaintBar();
  virtual void HideAll();
  // The private repaint message, posted.
  void PostRepaint();
  virtual String Who() const = 0;

 protected:
  void Record(const String& call) const { dxBarRecordCall(Who(), call); }
  TdxBarManager* manager_;
  TdxBarItemLinks* itemLinks_ = nullptr;
  TCustomdxBarControl* parentBar_ = nullptr;
  TdxBarSubMenuControl* childBar_ = nullptr;
  TdxBarItemControl* selectedControl_ = nullptr;
  bool isActive_ = false;
  bool keyboardMode_ = false;
  TdxBarDockingStyle dockingStyle_ = dsNone;
  bool destroying_ = false;
  bool visible_ = false;
  TRect screenRect_;
  uint64_t serial_;
};

// A toolbar's window.
class TdxBarControl : public TCustomdxBarControl {
 public:
  TdxBarControl(TdxBarManager* manager, TdxBar* bar);
  ~TdxBarControl() override;
  TdxBar* Bar() const { return bar_; }
  TdxDockControl* DockControl() const { return dockControl_; }
  void SetDockControl(TdxDockControl* value) { dockControl_ = value; }
  void SetDockingStyle(TdxBarDockingStyle value) override;
  // Docked: in the dock site's client coordinates; floating: on the screen.
  int Left() const { return left_; }
  int Top() const { return top_; }
  void SetPos(int left, int top);
  TSize Size() const { return size_; }
  void SetSize(TSize size) { size_ = size; }
  void ShowNA();
  void HideWindow();
  void CaptionChanged();
  void BarManagerStyleChanged();
  void FrameChanged();
  void RebuildBar();
  void RepaintBar() override;
  void FontChanged();
  // The internal-change bracket: no position is saved meanwhile.
  void BeginInternal() { ++internal_; }
  void EndInternal() { --internal_; }
  bool InternallyLocked() const { return internal_ > 0; }
  void ChangeStyleWinTo(TdxBarDockingStyle style, TdxDockControl* dockControl);
  TSize GetTrackSize(TdxBarDockingStyle style) const;
  TPoint GetDragPointOffset(TdxBarDockingStyle style) const;
  void SetMoving(bool value);
  bool Moving() const { return moving_; }
  // Docked: the bar's row, docked style and place; floating: its place
  // and client size.
  void SavePos();
  bool AllowsClosing() const { return true; }
  String Who() const override;

 private:
  TdxBar* bar_;
  TdxDockControl* dockControl_ = nullptr;
  int left_ = 0, top_ = 0;
  TSize size_{100, 26};
  int internal_ = 0;
  bool moving_ = false;
};

// A menu's window.
class TdxBarSubMenuControl : public TCustomdxBarControl {
 public:
  explicit TdxBarSubMenuControl(TdxBarManager* manager) : TCustomdxBarControl(manager) {}
  // The item control that opened the menu (none for a popup menu).
  TdxBarItemControl* OwnerControl() const { return ownerControl_; }
  void SetOwnerControl(TdxBarItemControl* value) { ownerControl_ = value; }
  String Who() const override;

 private:
  TdxBarItemControl* ownerControl_ = nullptr;
};

// ---------------------------------------------------------------- item controls

#define DX_BAR_CONTROL_CLASS() static TdxBarItemControlClass Class()
#define DX_BAR_CONTROL_CLASS_IMPL(T)                                                                  \
  TdxBarItemControlClass T::Class() {                                                                 \
    static const TdxBarItemControlClassInfo info{#T, [](TdxBarItemLink* l) -> TdxBarItemControl* { return new T(l); }}; \
    return &info;                                                                                     \
  }

// The on-screen instance of one link inside its bar window.
class TdxBarItemControl : public TObject {
 public:
  explicit TdxBarItemControl(TdxBarItemLink* link);
  ~TdxBarItemControl() override;
  DX_BAR_CONTROL_CLASS();
  TdxBarItemLink* ItemLink() const { return link_; }
  TdxBarItem* Item() const;
  TCustomdxBarControl* Parent() const { return parent_; }
  TdxBarManager* BarManager() const;
  bool Active() const { return active_; }
  void SetActive(bool value) { active_ = value; }

  virtual void BeginGroupChanged();
  virtual void CaptionChanged();
  virtual void EnabledChanged();
  virtual void GlyphChanged();
  virtual void ShortCutChanged();
  virtual void VisibleChanged();
  virtual void AlignChanged();
  virtual bool CanSelect() const { return true; }
  virtual bool GetEnabled() const;
  virtual String GetHint() const;
  virtual TShortCut GetShortCut() const;
  virtual bool HasShadow() const { return false; }
  void Repaint();
  String Who() const;

 protected:
  void Record(const String& call) const { dxBarRecordCall(Who(), call); }
  TdxBarItemLink* link_;
  TCustomdxBarControl* parent_;
  bool active_ = false;
};

class TdxBarButtonControl : public TdxBarItemControl {
 public:
  using TdxBarItemControl::TdxBarItemControl;
  DX_BAR_CONTROL_CLASS();
  virtual void ButtonStyleChanged();
  virtual void DownChanged();
  virtual void DropDownEnabledChanged();
  virtual void PaintStyleChanged();
  TdxBarPaintStyle PaintStyle() const;
};

class TdxBarSubItemControl : public TdxBarItemControl {
 public:
  using TdxBarItemControl::TdxBarItemControl;
  DX_BAR_CONTROL_CLASS();
};

class TdxBarContainerItemControl : public TdxBarItemControl {
 public:
  using TdxBarItemControl::TdxBarItemControl;
  DX_BAR_CONTROL_CLASS();
};

// ---------------------------------------------------------------- dock sites

enum TdxBarDockAlign { dalNone, dalTop, dalBottom, dalLeft, dalRight };

// A site along a side of the form that bars dock in.
class TdxDockControl : public TComponent {
 public:
  explicit TdxDockControl(TComponent* owner);
  // A built-in site of a manager.
  TdxDockControl(TComponent* owner, TdxBarManager* manager, TdxBarDockingStyle style);
  ~TdxDockControl() override;
  TdxBarManager* BarManager() const { return manager_; }
  virtual void SetBarManager(TdxBarManager* value);
  bool Main() const { return main_; }
  virtual TdxBarDockingStyle DockingStyle() const { return style_; }
  bool AllowDocking() const { return allowDocking_; }
  void SetAllowDocking(bool value) { allowDocking_ = value; }
  virtual bool CanDocking(TdxBar* bar) { return allowDocking_; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { enabled_ = value; }
  // It and its parents are visible and enabled.
  bool CanFocus() const { return visible_ && enabled_; }
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value) { parentColor_ = value; }
  int Width() const { return width_; }
  void SetWidth(int value) { width_ = value; }
  int Height() const { return height_; }
  void SetHeight(int value) { height_ = value; }
  // Where docking is taken, on the screen.
  TRect GetDockZoneBounds() const { return zone_; }
  void SetDockZoneBounds(const TRect& r) { zone_ = r; }
  TPoint ClientOrigin() const { return origin_; }
  void SetClientOrigin(TPoint p) { origin_ = p; }
  TPoint ClientToScreen(TPoint p) const { return TPoint(p.x + origin_.x, p.y + origin_.y); }
  TPoint ScreenToClient(TPoint p) const { return TPoint(p.x - origin_.x, p.y - origin_.y); }
  int BarCount() const { return static_cast<int>(bars_.size()); }
  TdxBarControl* BarControls(int index) const { return bars_[static_cast<size_t>(index)]; }
  void AddBarControl(TdxBarControl* barControl, TPoint p, bool update);
  void DeleteBarControl(TdxBarControl* barControl, bool update);
  void MoveBarControl(TdxBarControl* barControl, TPoint p);
  // The place of the row a bar takes (the rows come with the dock sites).
  void GetPosForRow(int row, bool newRow, TPoint& p) const {}
  void UpdateDock();
  void AssignPositions();
  void NCChanged();
  void ColorChanged();
  void SetRedraw(bool value);
  void NCPaint();
  String Who() const;

 private:
  void Record(const String& call) const { dxBarRecordCall(Who(), call); }
  TdxBarManager* manager_ = nullptr;
  bool main_ = false;
  TdxBarDockingStyle style_ = dsTop;
  bool allowDocking_ = true;
  bool visible_ = true;
  bool enabled_ = true;
  bool parentColor_ = false;
  int width_ = 0, height_ = 0;
  TRect zone_;
  TPoint origin_;
  std::vector<TdxBarControl*> bars_;

 protected:
  void SetStyle(TdxBarDockingStyle style) { style_ = style; }
};

// A dock site placed on the form.
class TdxBarDockControl : public TdxDockControl {
 public:
  explicit TdxBarDockControl(TComponent* owner) : TdxDockControl(owner) {}
  TdxBarDockAlign Align() const { return align_; }
  void SetAlign(TdxBarDockAlign value);
  TdxBarDockingStyle DockingStyle() const override;

 private:
  TdxBarDockAlign align_ = dalTop;
};
