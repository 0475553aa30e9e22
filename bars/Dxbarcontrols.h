// The windows of the command bars and what they show: the common bar window
// of toolbars and menus, the item controls that measure and paint each link
// and carry out its click, the toolbar window, and the dock sites with
// their rows and columns, and the menu window.
#pragma once

#include <memory>

#include "Dxbar.h"
#include "Dxbarlayout.h"
#include "Dxbarmenulayout.h"

// Asks a bar window to rebuild or repaint itself.
constexpr UINT WMRepaintBar = WM_USER + 1;

class TdxDockRow;
class TdxDockCol;
class TdxBarShadow;

// Menus show all their entries until the active chain closes: set when a
// chain starts while customizing, and by expanding a menu.
extern bool dxBarFullMenus;

// ---------------------------------------------------------------- common bar window

// The one window class of toolbars and menus: the item controls of one link
// list, the selection among them, mouse and key handling shared by both,
// and the chain of active bar windows. It never takes activation or the
// focus from the application's forms.
class TCustomdxBarControl : public TCustomControl {
 public:
  explicit TCustomdxBarControl(TdxBarManager* manager);
  ~TCustomdxBarControl() override;
  void BeforeDestruction() override;

  uint64_t Serial() const { return serial_; }
  TdxBarManager* BarManager() const { return manager_; }
  bool Flat() const { return manager_ && manager_->Flat(); }
  bool Destroying() const { return IsDestroying(); }
  TdxBarItemLinks* ItemLinks() const { return itemLinks_; }
  void SetItemLinks(TdxBarItemLinks* value) { itemLinks_ = value; }
  TCustomdxBarControl* ParentBar() const { return parentBar_; }
  void SetParentBar(TCustomdxBarControl* value) { parentBar_ = value; }
  TdxBarSubMenuControl* ChildBar() const { return childBar_; }
  void SetChildBar(TdxBarSubMenuControl* value) { childBar_ = value; }
  TCustomdxBarControl* PrevActiveBarControl() const { return prevActiveBarControl_; }
  TdxBarItemControl* SelectedControl() const { return selectedControl_; }
  // Selects without telling anyone (no repaint, no callback).
  void SetSelectedControl(TdxBarItemControl* value) { selectedControl_ = value; }
  TdxBarItemControl* CapturedControl() const { return capturedControl_; }
  bool CapturedControlHot() const { return capturedControlHot_; }
  bool ControlsLocked() const { return controlsLocked_; }
  void SetControlsLocked(bool value) { controlsLocked_ = value; }
  bool DragPending() const { return dragPending_; }
  TPoint DownPoint() const { return downPoint_; }
  bool IgnoreMouseClick() const { return ignoreMouseClick_; }
  void SetIgnoreMouseClick(bool value) { ignoreMouseClick_ = value; }
  bool IsActive() const { return isActive_; }
  TdxBarMarkState MarkState() const { return markState_; }
  TdxBarDockingStyle DockingStyle() const { return dockingStyle_; }
  // The selection came from the keyboard (no item hints then).
  bool KeyboardMode() const { return keyboardMode_; }
  void SetKeyboardMode(bool value) { keyboardMode_ = value; }
  // Screen rectangle of the item control that opened this bar (empty: none).
  TRect OwnerLinkBounds() const { return ownerLinkBounds_; }
  void SetOwnerLinkBounds(const TRect& r) { ownerLinkBounds_ = r; }
  TPoint LastMousePos() const { return lastMousePos_; }
  void SetLastMousePos(TPoint p) { lastMousePos_ = p; }
  // Drawing constants the item controls read.
  HBRUSH ItemBrush() const { return itemBrush_; }
  void SetItemBrush(HBRUSH value) { itemBrush_ = value; }
  int TextSize() const { return textSize_; }
  int EditTextSize() const { return editTextSize_; }
  int ArrowSize() const { return arrowSize_; }
  int SubMenuArrowSize() const { return subMenuArrowSize_; }
  int ComboButtonWidth() const { return comboButtonWidth_; }

  // The virtual interface toolbars and menus fill in.
  virtual void CreateControls();
  virtual void DestroyControls();
  virtual void CalcDrawingConsts();
  virtual bool CanAlignControl(TdxBarItemControl* control) { return false; }
  virtual bool CanCallInheritedNCCalcSize() { return true; }
  virtual bool CanCustomizing();
  virtual bool ChildrenHaveShadows() { return Flat(); }
  virtual int GetBeginGroupSize() = 0;
  virtual HFONT GetEditFontHandle();
  virtual TRect GetFullItemRect(TdxBarItemControl* control) { return GetItemRect(control); }
  virtual bool GetIsCustomizing();
  virtual bool GetIsShadowVisible();
  virtual TRect GetItemRectEx(TdxBarItemControl* control, bool withGroup) { return GetItemRect(control); }
  // A region the caller deletes.
  virtual HRGN GetItemRegion(TdxBarItemControl* control);
  virtual HBRUSH GetToolbarBrush();
  virtual HBRUSH GetToolbarDownedBrush();
  virtual HBRUSH GetToolbarDownedSelBrush();
  virtual HBRUSH GetToolbarSelBrush();
  virtual bool HideOnClick() { return false; }
  // This window is reached by following ParentBar from barControl.
  bool IsChildBar(TCustomdxBarControl* barControl) const;
  // Drop-position test (customizing drags).
  virtual TdxBarItemControl* ItemAtPosEx(TPoint p, bool& outsideItem, bool& vertical, bool& firstHalf);
  virtual bool MarkExists() { return false; }
  virtual bool NotHandleMouseMove(TPoint p);
  virtual void PaintItem(TdxBarItemControl* control);
  void PaintSelectedItem(TdxBarItemControl* control);
  virtual void SetDockingStyle(TdxBarDockingStyle value);
  using TCustomControl::SetFont;
  virtual void SetFont() = 0;
  virtual void SetIsActive(bool value);
  virtual void SetKeySelectedItem(TdxBarItemControl* control);
  virtual void SetMarkState(TdxBarMarkState value) = 0;
  virtual void SetMouseSelectedItem(TdxBarItemControl* control);
  virtual void SetSelectedItem(TdxBarItemControl* control);
  virtual void HideAll();
  virtual void RepaintBar() {}
  // Mouse tracking ends on a hit test other than HTCLIENT.
  virtual bool CanFinishMouseTracking(int hitTest) { return hitTest != HTCLIENT; }
  virtual void DblClickOnItem(TdxBarItemControl* control);

  // Queries.
  TRect GetItemRect(TdxBarItemControl* control) const;
  TRect GetItemScreenRect(TdxBarItemControl* control);
  TRect GetWindowRect();
  // The control whose link's rectangle holds the client point.
  TdxBarItemControl* ItemAtPos(TPoint p) const;
  bool ItemExists(TdxBarItemControl* control) const;
  bool HasShadow() { return Flat() && dockingStyle_ == dsNone; }
  // The deepest visible window under the cursor is this one.
  bool WantMouse();
  bool SelectedItemWantsKey(WORD key);
  void SetCursorForMoving(bool value);
  HBRUSH GetBarControlOwnerBrush();
  // A link that can be visible exists.
  bool HasVisibleLinks() const;

  // The flat look of a menu joined to the item that opened it.
  bool IsLinkedToOwner();
  bool GetOwnerLinkBounds(bool clientCoords, TRect& r);
  void DrawOwnerLink(HDC dc);
  void DrawBarControlOwner(HDC dc, TRect r, TCustomdxBarControl* barControl);
  void DrawBarControlOwnerBorder(HDC dc, TRect r, TCustomdxBarControl* barControl);
  // The shadow takes the window's bounds, joined to the opener while the
  // window touches it.
  void ResizeShadow();
  // The drop shadow (its strips exist only while it may show).
  TdxBarShadow* Shadow() const { return shadow_.get(); }
  // The customizing frame around the selected or dragged control.
  void DrawSelectedItem(TdxBarItemControl* control);
  // Posts the private repaint message.
  void PostRepaint();
  // A control is going: the window keeps no pointer to it.
  void ForgetControl(TdxBarItemControl* control) {
    if (selectedControl_ == control) selectedControl_ = nullptr;
    if (capturedControl_ == control) capturedControl_ = nullptr;
  }

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWindowHandle(const TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& msg) override;
  // What the window does when it goes (WM_DESTROY, or before the program
  // destroys it).
  virtual void WindowDestroying();
  void BeforeDestroyHandle();
  void UpdateControlStyle();
  // The window was destroyed from outside (its parent went): forget it.
  virtual void WindowLost() {}
  void MouseMoveMessage(TMessage& msg);
  void MouseLeaveMessage(TMessage& msg);
  void LButtonDownMessage(TMessage& msg);
  void LButtonUpMessage(TMessage& msg);
  void LButtonDblClkMessage(TMessage& msg);
  void RButtonDownMessage(TMessage& msg);
  void KeyDownMessage(TMessage& msg);
  // Double clicks are delivered as such (else as a second press).
  bool WantsDoubleClicks() const { return doubleClicks_; }
  // The window moved, was sized, shown or hidden: the shadow follows.
  void ShadowPosChanged(UINT flags);

  TdxBarManager* manager_;
  uint64_t serial_;
  HBRUSH itemBrush_ = nullptr;
  TdxBarSubMenuControl* childBar_ = nullptr;
  TdxBarItemControl* capturedControl_ = nullptr;
  bool controlsLocked_ = false;
  TdxBarDockingStyle dockingStyle_ = dsNone;
  bool dragPending_ = false;
  TPoint downPoint_;
  bool ignoreMouseClick_ = false;
  bool isActive_ = false;
  TdxBarItemLinks* itemLinks_ = nullptr;
  TdxBarMarkState markState_ = msNone;
  bool capturedControlHot_ = false;
  TRect ownerLinkBounds_;
  TCustomdxBarControl* parentBar_ = nullptr;
  TCustomdxBarControl* prevActiveBarControl_ = nullptr;
  TdxBarControlRef prevActive_;
  TdxBarItemControl* selectedControl_ = nullptr;
  int textSize_ = 0, editTextSize_ = 0, arrowSize_ = 4, subMenuArrowSize_ = 0, comboButtonWidth_ = 0;
  TPoint lastMousePos_{-1, -1};
  bool keyboardMode_ = false;
  bool doubleClicks_ = false;
  bool destroyed_ = false;
  std::unique_ptr<TdxBarShadow> shadow_;
};

// ---------------------------------------------------------------- item controls

#define DX_BAR_CONTROL_CLASS() static TdxBarItemControlClass Class()
#define DX_BAR_CONTROL_CLASS_IMPL(T)                                                                  \
  TdxBarItemControlClass T::Class() {                                                                 \
    static const TdxBarItemControlClassInfo info{#T, [](TdxBarItemLink* l) -> TdxBarItemControl* { return new T(l); }}; \
    return &info;                                                                                     \
  }

// The on-screen instance of one link inside its bar window: its sizes, the
// drawing every control shares, and the click.
class TdxBarItemControl : public TObject {
 public:
  explicit TdxBarItemControl(TdxBarItemLink* link);
  ~TdxBarItemControl() override;
  DX_BAR_CONTROL_CLASS();

  TdxBarItemLink* ItemLink() const { return link_; }
  TdxBarItem* Item() const;
  TCustomdxBarControl* Parent() const { return parent_; }
  TdxBarManager* BarManager() const;
  bool Flat() const { return parent_ && parent_->Flat(); }
  // False once the control is freed (for code that holds it across a call).
  std::shared_ptr<const bool> Alive() const { return alive_; }
  bool IsWinControl() const { return winControl_; }
  bool Active() const { return active_; }
  bool Pressed() const { return pressed_; }
  void SetPressed(bool value);
  bool MouseSelected() const { return mouseSelected_; }
  void SetMouseSelected(bool value) { mouseSelected_ = value; }
  // Layout flags written by the toolbar.
  bool LineBreak() const { return lineBreak_; }
  void SetLineBreak(bool value) { lineBreak_ = value; }
  bool LastInLine() const { return lastInLine_; }
  void SetLastInLine(bool value) { lastInLine_ = value; }
  // The group separator painted before the control (empty: none).
  const TRect& SeparatorRect() const { return separatorRect_; }
  void SetSeparatorRect(const TRect& r) { separatorRect_ = r; }

  virtual void BeforeDestroyParentHandle() {}
  virtual void BeginGroupChanged();
  virtual void CaptionChanged();
  virtual void EnabledChanged();
  virtual void GlyphChanged();
  virtual void PressedChanged();
  virtual void ShortCutChanged();
  virtual void VisibleChanged();
  virtual bool CanClicked() { return true; }
  virtual bool CanCustomize();
  virtual bool CanMouseSelect() { return CanSelect(); }
  virtual bool CanSelect();
  virtual void Click(bool byMouse);
  virtual void ControlActivate(bool immediately) { active_ = true; }
  virtual void ControlInactivate(bool immediately) { active_ = false; }
  virtual void ControlClick(bool byMouse) {}
  virtual void ControlUnclick(bool byMouse);
  virtual bool DrawSelected();
  virtual void KeyDown(WORD key) {}
  virtual bool WantsKey(WORD key) { return false; }
  virtual void GetArrowParams(TdxBarPaintType paintType, bool droppedDown, int& colorIndex, HBRUSH& brush,
                              bool selected);
  virtual String GetCaption();
  virtual bool GetEnabled();
  virtual TBitmap* GetGlyph();
  virtual int GetImageIndex();
  virtual TCustomImageList* GetImages();
  virtual String GetHint();
  virtual TCustomImageList* GetHotImages();
  virtual TCustomImageList* GetLargeImages();
  virtual TShortCut GetShortCut();
  virtual int GetTextAreaOffset();
  virtual int GetHeight() { return 0; }
  virtual int GetMinHeight() { return 1; }
  virtual int GetMinWidth() { return 1; }
  virtual TCustomdxBarControl* GetOwnedBarControl() { return nullptr; }
  virtual int GetWidth() { return 0; }
  virtual bool HasHint();
  virtual bool HasShadow();
  virtual bool IsDestroyOnClick() { return true; }
  virtual bool IsExpandable() { return false; }
  virtual bool NeedCaptureMouse() { return false; }
  virtual void Paint(const TRect& r, TdxBarPaintType paintType) {}
  virtual void Repaint();
  virtual void AlignChanged();
  virtual void DblClick() {}
  virtual bool WantsDblClick();

  TdxBarItemAlign GetAlign();
  bool GetIsSelected() { return DrawSelected(); }
  int GetNormalItemHeightInSubMenu();
  int GetRealWidth();
  int GetRealHeight();
  bool GetUnclickAfterDoing();
  bool CanVisuallyPressed();
  bool ImageExists();
  bool ImageIndexLinked();
  bool MousePressed();
  bool ParentIsQuickCustControl() const { return false; }
  bool WantMouse() { return CanSelect() || CanClicked(); }
  // Controls that host a window (edits, combos) answer these: the hosted
  // window has the keyboard focus; the open drop-down window (none when
  // closed); the caption width beside an edit field (-1: not an edit, no
  // sizing with the mouse).
  virtual bool HostedWindowFocused() { return false; }
  virtual HWND DropDownWindow() { return nullptr; }
  virtual int EditSizingCaptionWidth() { return -1; }

  // Shared drawing; all of it goes to the parent's canvas.
  HDC CanvasHandle();
  // The glyph's rectangle in the area of an item rectangle.
  TRect GlyphRect(const TRect& itemRect, TdxBarPaintType paintType, TSize glyph, bool down, bool pressed,
                  bool useWholeRect);
  TSize GlyphSize(const TRect& area, TdxBarPaintType paintType, bool useWholeRect);
  HBRUSH GlyphBackgroundBrush(TdxBarPaintType paintType, bool selected, bool down, bool pressed, bool noGlyph,
                              bool plainBackground, bool ownerMerge);
  void DrawGlyph(const TRect& itemRect, const TRect* backgroundRect, TdxBarPaintType paintType, bool noGlyph,
                 bool selected, bool down, bool pressed, bool useWholeRect, bool plainBackground, bool ownerMerge);
  // grayed: the glyph in grey.
  void DrawGlyphAndBkgnd(HDC dc, TRect backgroundRect, const TRect& glyphRect, HBRUSH brush, bool noGlyph,
                         TdxBarPaintType paintType, bool selected, bool down, bool pressed, bool ownerMerge,
                         bool grayed = false);
  void DrawItemText(HDC dc, const String& text, TRect r, UINT format, bool enabled, bool selected, bool vertical,
                    bool clip, bool flat);
  void DrawGlyphAndTextInSubMenu(HDC dc, TRect r, bool selected, bool showGlyph, bool down);
  void DrawLowered(HDC dc, TRect& r);
  void FrameAndFillRect(HDC dc, TRect& r, bool down, bool selected);

 protected:
  TdxBarItemLink* link_;
  TCustomdxBarControl* parent_;
  bool winControl_ = false;
  bool active_ = false;
  bool pressed_ = false;
  bool mouseSelected_ = false;
  bool lineBreak_ = false;
  bool lastInLine_ = false;
  TRect separatorRect_;
  std::shared_ptr<bool> alive_;
};

// The check mark of a menu entry without glyph: scale k (1, or 2 for fonts of
// 16 points or more) centred in r.
void dxBarDrawCheckMark(HDC dc, const TRect& r, int k, bool enabled, bool flat);

// A plain, check or split drop-down button in toolbars and menus.
class TdxBarButtonControl : public TdxBarItemControl {
 public:
  using TdxBarItemControl::TdxBarItemControl;
  DX_BAR_CONTROL_CLASS();
  virtual int ArrowWidth();
  virtual void ButtonStyleChanged();
  virtual void DownChanged();
  virtual void DropDownEnabledChanged();
  virtual int GetDefaultHeight();
  virtual int GetDefaultWidth();
  virtual void PaintStyleChanged();
  virtual void DoCloseUp();
  virtual void DoDropDown(bool byMouse);

  TdxBarButton* Button() const;
  // The link's paint style.
  TdxBarPaintStyle PaintStyle() const;
  // What is drawn: in a toolbar a psStandard button without image shows
  // its caption.
  TdxBarPaintStyle EffectivePaintStyle();
  TCustomdxBarControl* GetDropDownMenuControl();
  bool GetDroppedDownFlat();
  bool MouseOverArrow();
  bool ArrowPressed();
  bool IsFlatTextSelected(bool pressed);
  void DrawArrow(const TRect& r, bool selected, TdxBarPaintType paintType);

  void ControlClick(bool byMouse) override;
  void ControlUnclick(bool byMouse) override;
  void ControlInactivate(bool immediately) override;
  bool DrawSelected() override;
  TCustomdxBarControl* GetOwnedBarControl() override;
  int GetWidth() override;
  int GetHeight() override;
  void GlyphChanged() override;
  bool IsDestroyOnClick() override;
  bool NeedCaptureMouse() override { return !DroppedDown; }
  bool WantsKey(WORD key) override;
  void KeyDown(WORD key) override;
  void Paint(const TRect& r, TdxBarPaintType paintType) override;

  // The bar window marks a pressed button while it clicks it.
  bool PressedMark = false;
  // The button's drop-down menu is open.
  bool DroppedDown = false;
};

class TdxBarSubMenuControl;

// A sub item: opens its menu on a click, in menus after 400 ms of hovering
// (one pending open or close for the whole program).
class TdxBarSubItemControl : public TdxBarItemControl {
 public:
  using TdxBarItemControl::TdxBarItemControl;
  ~TdxBarSubItemControl() override;
  DX_BAR_CONTROL_CLASS();
  virtual TdxBarSubMenuControl* GetSubMenuControl();
  virtual void CreateSubMenuControl();
  virtual int GetDefaultHeight();
  virtual int GetDefaultWidth();
  virtual bool HasSubMenu() { return true; }

  TCustomdxBarSubItem* SubItem() const;
  int GetCaptionOffset();
  // The menu of the item exists and shows.
  bool SubMenuOpen();

  bool CanClicked() override { return false; }
  bool IsDestroyOnClick() override { return false; }
  bool IsExpandable() override { return true; }
  TCustomdxBarControl* GetOwnedBarControl() override;
  void GlyphChanged() override;
  bool WantsKey(WORD key) override;
  void KeyDown(WORD key) override;
  bool WantsDblClick() override;
  void ControlActivate(bool immediately) override;
  void ControlInactivate(bool immediately) override;
  void ControlClick(bool byMouse) override;
  int GetWidth() override;
  int GetHeight() override;
  void Paint(const TRect& r, TdxBarPaintType paintType) override;

  // Set when the mouse selects it; the menu it opens takes it.
  bool DragOpen = false;

 protected:
  // Opens the menu now (the open timer's and a click's last step).
  void OpenSubMenu();
};

// The control of list and container items: their menu entries are made when
// the menu opens.
class TdxBarContainerItemControl : public TdxBarSubItemControl {
 public:
  using TdxBarSubItemControl::TdxBarSubItemControl;
  DX_BAR_CONTROL_CLASS();
  void CreateSubMenuControl() override;
  String GetCaption() override;
  bool IsExpandable() override;
  void Paint(const TRect& r, TdxBarPaintType paintType) override;
};

// The icon of a maximised MDI child on the frame's main menu bar: a click
// opens the child's system menu, a double click closes the child.
class TSystemMenuSubItemControl : public TdxBarSubItemControl {
 public:
  using TdxBarSubItemControl::TdxBarSubItemControl;
  DX_BAR_CONTROL_CLASS();
  bool CanCustomize() override { return false; }
  bool CanSelect() override;
  int GetHeight() override { return GetSystemMetrics(SM_CYSMICON); }
  int GetWidth() override { return GetSystemMetrics(SM_CXSMICON); }
  bool HasShadow() override { return false; }
  bool IsExpandable() override { return false; }
  void Paint(const TRect& r, TdxBarPaintType paintType) override;
  void DblClick() override;
  bool WantsDblClick() override { return true; }
};

// The pending sub item control of the open and close timer (none: no timer
// runs), for tests.
TdxBarSubItemControl* dxBarPendingSubItemControl();

// ---------------------------------------------------------------- toolbar window

class TdxBarControl : public TCustomdxBarControl {
 public:
  TdxBarControl(TdxBarManager* manager, TdxBar* bar);
  ~TdxBarControl() override;
  TdxBar* Bar() const { return bar_; }
  TdxDockControl* DockControl() const { return dockControl_; }
  void SetDockControl(TdxDockControl* value) { dockControl_ = value; }

  // The common window's interface.
  void CalcDrawingConsts() override;
  bool CanAlignControl(TdxBarItemControl* control) override;
  bool CanCallInheritedNCCalcSize() override { return dockingStyle_ != dsNone || !Flat(); }
  bool CanCustomizing() override;
  int GetBeginGroupSize() override { return Flat() ? 5 : 6; }
  HFONT GetEditFontHandle() override;
  TRect GetFullItemRect(TdxBarItemControl* control) override;
  HRGN GetItemRegion(TdxBarItemControl* control) override;
  HBRUSH GetToolbarBrush() override;
  TdxBarItemControl* ItemAtPosEx(TPoint p, bool& outsideItem, bool& vertical, bool& firstHalf) override;
  bool MarkExists() override;
  bool NotHandleMouseMove(TPoint p) override;
  void PaintItem(TdxBarItemControl* control) override;
  void SetDockingStyle(TdxBarDockingStyle value) override;
  void SetFont() override;
  void SetIsActive(bool value) override;
  void SetKeySelectedItem(TdxBarItemControl* control) override;
  void SetMarkState(TdxBarMarkState value) override;
  void HideAll() override;
  void RepaintBar() override;
  virtual TRect GetSizeAllCursorBounds();
  virtual void CaptionChanged();
  // Menu mode: the bar takes the keyboard with control (none: the first)
  // selected, and gives it back.
  virtual void BarGetFocus(TdxBarItemControl* control);
  virtual void BarLostFocus();
  // Menu mode was entered by a click or a key: moving over sub items opens
  // their menus.
  bool OpenMenu() const { return openMenu_; }
  void SetOpenMenu(bool value) { openMenu_ = value; }
  // A press on the More Buttons mark.
  void CheckMarkState(TPoint p);
  // The More Buttons hint timer ticked.
  void MoreButtonsHintTick();
  UINT_PTR MoreButtonsTimer() const { return moreButtonsTimer_; }
  int LastHitTest() const { return lastHitTest_; }
  bool EditSizing() const { return editSizing_; }
  // The hit test's view of a client point (with the inherited answer).
  TdxBarHitTestInput HitTestInput(TPoint clientPoint, int inherited);

  // Layout and sizes (client extents unless said otherwise).
  void CalcControlsPositions();
  int GetMinWidth(TdxBarDockingStyle style);
  int GetMinHeight(TdxBarDockingStyle style);
  int GetMaxWidth(TdxBarDockingStyle style);
  int GetMaxHeight(TdxBarDockingStyle style);
  TPoint GetSizeForWidth(TdxBarDockingStyle style, int width);
  TPoint GetSizeForHeight(TdxBarDockingStyle style, int height);
  void GetMultiLineBarSize(TdxBarDockingStyle style, int length, TPoint& size);
  // The whole window for a style.
  TPoint GetTrackSize(TdxBarDockingStyle style);
  TPoint GetDragPointOffset(TdxBarDockingStyle style);
  // Geometry: NC window, plain client, Screen screen coordinates.
  TRect GetCaptionNCRect();
  TRect GetCaptionRect();
  TRect CloseButtonRectNC();
  TRect CloseButtonRect();
  TRect MarkRect();
  TRect MarkNCRect();
  TRect MarkScreenRect();
  TRect SizeGripRect();
  TRect RectMDI(TdxBarMDIButton button);
  int GetMDIWidth();
  int GetMDIHeight();
  bool MDIButtonsOnBar();
  bool RealMDIButtonsOnBar();
  bool MDIButtonEnabled(TdxBarMDIButton button, UINT flags);
  int GetRow();
  int GetCol();
  TdxDockCol* GetDockCol();

  bool Horizontal() const { return dxBarIsHorizontal(dockingStyle_); }
  bool Vertical() const { return dxBarIsVertical(dockingStyle_); }
  bool MultiLine() const;
  bool HasHiddenItems() const { return hasHiddenItems_; }
  void SetHasHiddenItems(bool value) { hasHiddenItems_ = value; }
  TdxBarMarkState CloseButtonState() const { return closeButtonState_; }
  void SetCloseButtonState(TdxBarMarkState value);
  // Written by the dock layout.
  int MinLength = 0, MaxLength = 0;
  // Where the cursor was in the window when a drag began.
  void SetGrab(int offsetX, int width, int offsetY, int height);

  // Window handles and placement.
  void ChangeStyleWinTo(TdxBarDockingStyle style, TdxDockControl* dockControl);
  void SetMoving(bool value);
  bool Moving() const { return moving_; }
  // The window kept while a drag runs: of the kind not in use.
  HWND KeptHandle() const;
  void SavePos();
  void BeginInternal() { ++internal_; }
  void EndInternal() { --internal_; }
  bool InternallyLocked() const { return internal_ != 0; }
  void FrameChanged();
  void RebuildBar();
  void BarManagerStyleChanged();
  // The shape changed: the shadow is made again (or goes when the bar
  // casts none).
  void RefreshShadow();
  // The font changed (CM_FONTCHANGED).
  void FontChanged() override;

  // Placement by the bar collection: docked in dock client, floating in
  // screen coordinates.
  void SetPos(int left, int top);
  void SetSize(TPoint size);
  void ShowNA();
  void HideWindow();
  // Hidden without any window taking the activation.
  void HideNA();
  bool AllowsClosing() const { return true; }

  // Paints the frame on dc (window coordinates), as WM_NCPAINT does.
  void NCPaint(HDC dc);

  // The layout as plain records (with the links they stand for), and
  // applying what it worked out; recentCount: the links take its recent
  // count too.
  TdxBarLayout MakeLayout(std::vector<TdxBarItemLink*>& links);
  void ApplyLayout(const TdxBarLayout& layout, const std::vector<TdxBarItemLink*>& links, bool recentCount);

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& msg) override;
  void Paint() override;
  void WindowDestroying() override;
  void WindowLost() override;
  void NCCalcSize(TMessage& msg);
  void DrawMarkNC(HDC dc);
  void DrawCaptionElement(HDC dc, const TRect& r, TdxBarMarkState state);
  void DrawCloseButton(HDC dc);
  void DrawMDIButton(HDC dc, TdxBarMDIButton button, bool pressed);
  void WindowPosChanging(WINDOWPOS* pos);
  void WindowPosChanged(WINDOWPOS* pos);
  void Sizing(int edge, RECT* r);
  TdxBarLayout::TTrack Track(TdxBarDockingStyle style);
  TRect ClientInWindow();
  HWND CreateKeptWindow(TdxBarDockingStyle style, TdxDockControl* dock);
  void ReleaseRotatedFont();
  void InvalidateMark();
  void DrawMarkClient(HDC dc);
  void DrawSeparators(HDC dc, HRGN region);
  void KeyDownToolbar(WORD key);
  HWND ActiveMDIChildHandle();
  COLORREF GetCaptionBkColor();
  // Input (WM_NCHITTEST, mouse, the close button's loop, the mark's hint
  // timer, edit sizing).
  void NCHitTest(TMessage& msg);
  bool SetCursorToolbar(TMessage& msg);
  void LButtonDownToolbar(TMessage& msg);
  void MouseMoveToolbar(TMessage& msg);
  void MouseLeaveToolbar(TMessage& msg);
  void LButtonUpToolbar(TMessage& msg);
  void LButtonDblClkToolbar(TMessage& msg);
  void RButtonDownToolbar(TMessage& msg);
  void NCLButtonDownToolbar(TMessage& msg);
  void CaptureChangedToolbar(TMessage& msg);
  void CancelModeToolbar();
  // The common window drops mouse input outside the active chain.
  bool DropsMouse();
  void StartMoreButtonsHintTimer();
  void FinishMoreButtonsHintTimer();
  void DrawEditSizingFrame(int width);
  TRect EditSizingRect(int width);
  void ToggleDocking();
  bool CanFinishMouseTracking(int hitTest) override;

 private:
  TdxBar* bar_;
  TdxDockControl* dockControl_ = nullptr;
  HWND savedFocus_ = nullptr;
  TdxBarMarkState closeButtonState_ = msNone;
  HWND floatingHandle_ = nullptr;
  HWND dockedHandle_ = nullptr;
  bool hasCaption_ = true;
  bool hasSizeGrip_ = false;
  int lastHitTest_ = 0;
  int internal_ = 0;
  bool openMenu_ = false;
  int mdiButtonWidth_ = 0, mdiButtonHeight_ = 0;
  bool moving_ = false;
  bool fontGuard_ = false;
  bool hasHiddenItems_ = false;
  int grabOffsetX_ = 0, grabWidth_ = 0, grabOffsetY_ = 0, grabHeight_ = 0;
  HFONT rotatedFont_ = nullptr;
  bool lostHandle_ = false;
  bool editSizing_ = false;
  bool editSizingFromRight_ = false;
  int editSizingWidth_ = 0;
  UINT_PTR moreButtonsTimer_ = 0;
};

// A toolbar button (an MDI child button or the close button) is held down
// with the left mouse button; keys are swallowed meanwhile.
bool dxBarButtonHeld();

// ---------------------------------------------------------------- menu window

// The popup window of every menu: a sub item's menu, a button's drop-down
// menu and a popup menu. It lays its links out in one column beside its
// opener inside the work area, scrolls when it is taller than the screen,
// shows the recently used entries first when the manager asks for it, and
// tears off into a floating toolbar by its detach caption.
class TdxBarSubMenuControl : public TCustomdxBarControl {
 public:
  explicit TdxBarSubMenuControl(TdxBarManager* manager);
  ~TdxBarSubMenuControl() override;
  void BeforeDestruction() override;

  // The item control that dropped the menu down (a drop-down button).
  TdxBarItemControl* OwnerControl() const { return ownerControl_; }
  void SetOwnerControl(TdxBarItemControl* value) { ownerControl_ = value; }
  // The sub item control whose menu this is.
  TdxBarSubItemControl* SubItemControl() const { return subItemControl_; }
  void SetSubItemControl(TdxBarSubItemControl* value) { subItemControl_ = value; }
  // The opener's extent along a flip: beside a menu entry its width, below
  // a toolbar button its height; both 0 for a popup menu at a point.
  int OwnerWidth() const { return ownerWidth_; }
  void SetOwnerWidth(int value) { ownerWidth_ = value; }
  int OwnerHeight() const { return ownerHeight_; }
  void SetOwnerHeight(int value) { ownerHeight_ = value; }
  // The owner window (0: the manager's form).
  HWND ParentWnd() const { return parentWnd_; }
  void SetParentWnd(HWND value) { parentWnd_ = value; }
  bool Animate() const { return animate_; }
  void SetAnimate(bool value) { animate_ = value; }
  int HorzDirection() const { return horzDirection_; }
  void SetHorzDirection(int value) { horzDirection_ = value; }
  int VertDirection() const { return vertDirection_; }
  void SetVertDirection(int value) { vertDirection_ = value; }
  // The screen rectangle the menu's shadow leaves out (empty: none).
  const TRect& ExclusionRect() const { return exclusionRect_; }
  void SetExclusionRect(const TRect& r) { exclusionRect_ = r; }
  TNotifyEvent OnCloseUp;
  TNotifyEvent OnPopup;
  virtual void DoCloseUp();
  virtual void DoPopup();
  // A popup menu at a point, or a menu of one.
  virtual bool GetIsContextMenu();
  // The owner's side bar width.
  int BarSize();

  // Shows the menu (making its window) and hides it (freeing the menu).
  void Show();
  void Hide();
  bool Reopening() const { return reopening_; }

  // The opening animation (Dxbaranimation.cpp): started when the window
  // is made and placed; finished, placed and painted when the worker's
  // frames are done (it sends WMAnimationDone) or the animation stops.
  static constexpr UINT WMAnimationDone = WM_USER + 2;
  // Asks the menu to click its key-selected item (Enter, once the key is done).
  static constexpr UINT WMClickKeySelected = WM_USER + 3;
  TdxBarMenuAnimations AnimationKind() const { return animationKind_; }
  void StartAnimation(bool flippedH, bool flippedV);
  void AnimationFinished(bool place, const TRect& final);
  void AnimationDone();

  // Layout, scrolling and placement.
  TdxBarMenuLayout MakeLayout(bool measure);
  TPoint CalcControlsPositions(bool measure);
  void SetSizeAndCheckBounds(bool& flippedH, bool& flippedV);
  int TopIndex() const { return topIndex_; }
  void SetTopIndex(int value);
  bool UpArrowExists() const { return topIndex_ >= 1; }
  bool DownArrowExists();
  int GetMaxVisibleCount();
  int VisibleCount();
  TRect UpArrowRect();
  TRect DownArrowRect();
  // Keeps the row of a key-selected control in view.
  void MakeVisible(TdxBarItemControl* control);
  int BorderSize() { return Flat() ? 2 : 3; }
  int TextOffset() const { return textOffset_; }
  // A rarely used entry (drawn on the light brush).
  bool IsRare(TdxBarItemControl* control) const;
  HBRUSH LightBrush() const { return lightBrush_; }

  // Recently used entries first: the expand mark and its timers.
  bool ExtendedView();
  TRect MarkRect();
  int MarkHeight() const { return markHeight_; }
  int MarkArrowSize() const { return markArrowSize_; }
  void ExpandMenu();
  // The expand timer running: 0 none, 2 (4000 ms after a selection
  // change), 3 (4000 ms after opening or 1000 ms on the mark).
  int ExpandMenuTimer() const { return expandTimerKind_; }
  bool Scrolling() const { return scrollTimer_ != 0; }
  void ScrollTimerTick();
  void ExpandMenuTimerTick();

  // The detach caption.
  bool Detachable();
  int GetDetachCaptionSize();
  int DetachCaptionAreaSize();
  // In window coordinates.
  TRect DetachCaptionRect();
  bool DetachCaptionSelected() const { return detachCaptionSelected_; }
  bool CanDetach();
  void DoDetachMenu();

  // The common window's interface.
  void CreateControls() override;
  void DestroyControls() override;
  void CalcDrawingConsts() override;
  bool CanCustomizing() override;
  bool ChildrenHaveShadows() override { return false; }
  int GetBeginGroupSize() override { return Flat() ? 5 : 10; }
  HFONT GetEditFontHandle() override;
  bool GetIsShadowVisible() override;
  TRect GetItemRectEx(TdxBarItemControl* control, bool withGroup) override;
  bool HideOnClick() override { return true; }
  TdxBarItemControl* ItemAtPosEx(TPoint p, bool& outsideItem, bool& vertical, bool& firstHalf) override;
  bool MarkExists() override;
  void PaintItem(TdxBarItemControl* control) override;
  void SetFont() override;
  void SetIsActive(bool value) override;
  void SetMarkState(TdxBarMarkState value) override;
  void SetSelectedItem(TdxBarItemControl* control) override;
  void HideAll() override;
  void RepaintBar() override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& msg) override;
  void Paint() override;
  void WindowDestroying() override;
  void WindowLost() override;
  void NCPaint(HDC dc);
  void PaintMark(HDC dc);
  void PaintArrows(HDC dc, HRGN region);
  void PaintSeparators(HDC dc);
  void MouseMoveMenu(TMessage& msg);
  void LButtonDownMenu(TMessage& msg);
  void KeyDownMenu(TMessage& msg);
  void StartScroll(bool down);
  void StopScroll();
  void KillExpandMenuTimer();
  void StartExpandMenuTimer(int kind, UINT elapse);
  void CreateLightBrush();
  void FreeLightBrush();
  void SetRecentItemCount();
  void SetDetachCaptionSelected(bool value);
  void ApplyLayout(const TdxBarMenuLayout& layout);

 private:
  bool containerItemsLock_ = false;
  bool detachCaptionSelected_ = false;
  TdxBarItemControl* ownerControl_ = nullptr;
  TdxBarControlRef ownerBar_;
  bool reopening_ = false;
  int expandTimerKind_ = 0;
  UINT_PTR expandTimer_ = 0;
  HBRUSH lightBrush_ = nullptr;
  HPALETTE lightPalette_ = nullptr;
  int markHeight_ = 0;
  int markArrowSize_ = 0;
  TdxBarMenuAnimations animationKind_ = maNone;
  int textOffset_ = 19;
  int savedLeft_ = 0, savedTop_ = 0;
  int ownerWidth_ = 0, ownerHeight_ = 0;
  // Container links expanded into this menu: the container's link, whether
  // it hid itself (and its recent index), the first inserted index and the
  // count inserted.
  struct TContainerEntry {
    TdxBarItemLink* Link;
    TCustomdxBarContainerItem* Item;
    bool Hidden;
    int RecentIndex;
  };
  std::vector<TContainerEntry> containerItems_;
  UINT_PTR scrollTimer_ = 0;
  bool scrollDown_ = false;
  bool animate_ = false;
  // The final client size while the window grows.
  TSize animationClient_;
  int topIndex_ = -1;
  TdxBarSubItemControl* subItemControl_ = nullptr;
  int horzDirection_ = 1, vertDirection_ = 1;
  HWND parentWnd_ = nullptr;
  TRect exclusionRect_;
  bool hiding_ = false;
  bool activatedOnce_ = false;
  // The rows of the last layout, by visible index.
  std::vector<TdxBarMenuRow> rows_;
  int laidOut_ = 0;
};

// The menu of a list or container item: it shows the links the item lists.
class TContainerItemSubMenuControl : public TdxBarSubMenuControl {
 public:
  TContainerItemSubMenuControl(TdxBarManager* manager, TCustomdxBarContainerItem* item)
      : TdxBarSubMenuControl(manager), item_(item) {}
  ~TContainerItemSubMenuControl() override;
  TCustomdxBarContainerItem* Item() const { return item_; }
  void DoCloseUp() override;
  bool GetIsCustomizing() override { return false; }

 private:
  TCustomdxBarContainerItem* item_;
};

// ---------------------------------------------------------------- dock sites

enum TdxBarDockAlign { dalNone, dalTop, dalBottom, dalLeft, dalRight };

// One toolbar in a dock row, and the place it asks for (dock client
// coordinates).
class TdxDockCol : public TObject {
 public:
  TdxDockCol(TdxDockRow* row, TdxBarControl* barControl) : Row(row), BarControl(barControl) {}
  void AssignPosition();
  TdxDockRow* Row;
  TdxBarControl* BarControl;
  TPoint Pos;
};

class TdxDockRow : public TObject {
 public:
  explicit TdxDockRow(TdxDockControl* dockControl) : DockControl(dockControl) {}
  ~TdxDockRow() override;
  TdxDockCol* GetCol(int index) const;
  int GetColCount() const { return static_cast<int>(Cols.size()); }
  int IndexOf(const TdxDockCol* col) const;
  TdxDockControl* DockControl;
  std::vector<TdxDockCol*> Cols;
};

// A site along a side of the form that toolbars dock in, in rows.
class TdxDockControl : public TCustomControl {
 public:
  explicit TdxDockControl(TComponent* owner);
  // A built-in site of a manager, on its form.
  TdxDockControl(TComponent* owner, TdxBarManager* manager, TdxBarDockingStyle style);
  ~TdxDockControl() override;

  TdxBarManager* BarManager() const { return manager_; }
  void SetBarManager(TdxBarManager* value);
  bool Main() const { return main_; }
  bool AllowDocking() const { return allowDocking_; }
  void SetAllowDocking(bool value) { allowDocking_ = value; }
  TdxBarDockingStyle DockingStyle() const;
  bool Horizontal() const { return dxBarIsHorizontal(DockingStyle()); }
  bool Vertical() const { return dxBarIsVertical(DockingStyle()); }
  bool TopLeft() const { return DockingStyle() == dsLeft || DockingStyle() == dsTop; }
  TdxBars* GetBars() const { return manager_ ? manager_->Bars() : nullptr; }

  virtual void BarManagerChanged() {}
  virtual bool CanDocking(TdxBar* bar) { return allowDocking_; }
  // The colour of the site: the form's, or the manager's dock colour.
  void ColorChanged() override;
  virtual int GetClientSize();
  virtual bool GetSunkenBorder();
  int GetSize();

  int GetRowCount() const { return static_cast<int>(rows_.size()); }
  TdxDockRow* GetRow(int index) const;
  int BarCount() const;
  // The bar windows in row order.
  TdxBarControl* BarControls(int index) const;

  void AddBarControl(TdxBarControl* barControl, TPoint p, bool update);
  void DeleteBarControl(TdxBarControl* barControl, TdxDockCol* col, bool update);
  void DeleteBarControl(TdxBarControl* barControl, bool update) { DeleteBarControl(barControl, nullptr, update); }
  void MoveBarControl(TdxBarControl* barControl, TPoint p);
  TdxDockCol* FindCol(TdxBarControl* barControl) const;
  int GetRowAtPos(TPoint p, bool& newRow);
  int GetColAtPos(int row, TPoint p);
  void GetPosForRow(int row, bool newRow, TPoint& p);
  // Where a bar docks, on the screen.
  TRect GetDockZoneBounds();
  TRect GetRectForRow(int row);
  // The rows as zones (sizes across the site).
  TdxDockZones Zones();
  void UpdateDock();
  void AssignPositions();
  void NCChanged();
  void SetRedraw(bool value);
  void NCPaint();
  // Lays out the rows.
  void PaintBarControls();
  // Sizes the site to its rows.
  void SetSize();
  // The visible bars' items bring their actions' states up to date.
  void InitiateAction() override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& msg) override;
  void AlignControls(TControl* control, TRect& rect) override;
  void Loaded() override;
  virtual int GetMinSize() { return 0; }
  bool Dragging() const;
  TdxBarControl* DraggedBar() const;
  void RestoreBars();

  TdxBarManager* manager_ = nullptr;
  bool main_ = false;
  bool allowDocking_ = true;
  bool colorApplying_ = false;
  std::vector<TdxDockRow*> rows_;
  bool laying_ = false;
};

// A dock site placed on the form.
class TdxBarDockControl : public TdxDockControl {
 public:
  explicit TdxBarDockControl(TComponent* owner);
  TdxBarDockAlign Align() const { return dockAlign_; }
  void SetAlign(TdxBarDockAlign value);
  bool AllowZeroSizeInDesignTime() const { return allowZeroSizeInDesignTime_; }
  void SetAllowZeroSizeInDesignTime(bool value) { allowZeroSizeInDesignTime_ = value; }
  bool SunkenBorder() const { return sunkenBorder_; }
  void SetSunkenBorder(bool value);
  bool UseOwnColor() const { return useOwnColor_; }
  void SetUseOwnColor(bool value);
  bool UseOwnSunkenBorder() const { return useOwnSunkenBorder_; }
  void SetUseOwnSunkenBorder(bool value);
  // Setting the colour makes it the site's own.
  void SetColor(TColor value);
  void SetParentColor(bool value);
  bool CanDocking(TdxBar* bar) override;
  bool GetSunkenBorder() override;
  int GetClientSize() override;
  void BarManagerChanged() override;

 protected:
  int GetMinSize() override;
  void WndProc(TMessage& msg) override;

 private:
  TdxBarDockAlign dockAlign_ = dalTop;
  bool allowZeroSizeInDesignTime_ = false;
  bool sunkenBorder_ = false;
  bool useOwnColor_ = false;
  bool useOwnSunkenBorder_ = false;
};
