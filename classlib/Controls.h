// Controls: the common base of everything on a form, windowed controls,
// custom-painted controls, layout, mouse and keyboard events, the
// application's own drag and drop.
//
// Every control here owns a real window (made on demand, when the control
// and its parents are to be shown or its Handle is asked for); painted
// controls such as labels, images and speed buttons are light child windows
// that never take the focus. A window's messages reach its object through
// TObjectWindowClass; WndProc is the one dispatch path, and notifications a
// parent receives (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM,
// WM_CTLCOLOR*, WM_HSCROLL/WM_VSCROLL) come back to the child that sent
// them as CN_ messages.
#pragma once

#include "Actnlist.h"
#include "Graphics.h"
#include "Wndclass.h"

#include "Menus.h"

class TWinControl;
class TControl;
class TCustomForm;
class TCustomImageList;


// ---------------------------------------------------------------- enumerations

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TDragMode { dmManual, dmAutomatic };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
enum TDragMessage { dmDragEnter, dmDragLeave, dmDragMove, dmDragDrop, dmDragCancel, dmFindTarget };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };

enum TControlStyleItem {
  csAcceptsControls, csCaptureMouse, csClickEvents, csFramed, csSetCaption, csOpaque, csDoubleClicks,
  csFixedWidth, csFixedHeight, csNoStdEvents, csReplicatable, csReflector, csActionClient, csMenuEvents,
  csNoFocus,  // a painted control: never takes the focus
};
using TControlStyle = TSet<TControlStyleItem>;
enum TControlStateItem {
  csLButtonDown, csClicked, csAlignmentNeeded, csFocusing, csCreating, csCustomPaint, csDestroyingHandle,
  csRecreating,  // the window is being made again; the control keeps its state
};
using TControlState = TSet<TControlStateItem>;

// Cursors: the system's, and the application's own from Screen's table.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;
constexpr TCursor crSize = crSizeAll;

// ---------------------------------------------------------------- events

class TDragObject;
using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, int, int>;
using TMouseWheelEvent = TEvent<TObject*, TShiftState, int, TPoint, bool&>;
using TMouseWheelUpDownEvent = TEvent<TObject*, TShiftState, TPoint, bool&>;
using TKeyEvent = TEvent<TObject*, WORD&, TShiftState>;
using TKeyPressEvent = TEvent<TObject*, char&>;
using TContextPopupEvent = TEvent<TObject*, TPoint, bool&>;
// Source: the control the drag started from, or the drag object an
// OnStartDrag handler supplied.
using TDragOverEvent = TEvent<TObject*, TObject*, int, int, TDragState, bool&>;
using TDragDropEvent = TEvent<TObject*, TObject*, int, int>;
using TStartDragEvent = TEvent<TObject*, TDragObject*&>;
// Target: the control dropped on, nullptr when the drag was cancelled.
using TEndDragEvent = TEvent<TObject*, TObject*, int, int>;
using TCanResizeEvent = TEvent<TObject*, int&, int&, bool&>;

// ---------------------------------------------------------------- helpers

class TSizeConstraints : public TPersistent {
 public:
  int MinWidth() const { return minWidth_; }
  int MinHeight() const { return minHeight_; }
  int MaxWidth() const { return maxWidth_; }
  int MaxHeight() const { return maxHeight_; }
  void SetMinWidth(int v);
  void SetMinHeight(int v);
  void SetMaxWidth(int v);
  void SetMaxHeight(int v);
  // Applies the limits (0: none) to a size.
  void Apply(int& width, int& height) const;
  void Assign(TPersistent* source) override;
  TNotifyEvent OnChange;

 private:
  void Changed();
  int minWidth_ = 0, minHeight_ = 0, maxWidth_ = 0, maxHeight_ = 0;
};

// A drag in progress; made by the control unless OnStartDrag gives one.
class TDragObject : public TObject {
 public:
  TPoint DragPos;        // screen
  TWinControl* DragTarget = nullptr;
  TControl* DragTargetControl = nullptr;
  bool Cancelling = false;
  bool Dropped = false;
  // The cursor while over a target that accepts or refuses.
  virtual TCursor GetDragCursor(bool accepted, int x, int y);
  // The object the drag events hand on as their source.
  virtual TObject* Source() { return this; }
};

class TDragControlObject : public TDragObject {
 public:
  explicit TDragControlObject(TControl* control) : Control(control) {}
  TCursor GetDragCursor(bool accepted, int x, int y) override;
  TObject* Source() override;
  TControl* Control;
};

// Drag state of the thread (at most one drag at a time).
bool DragActive();
TControl* DragSourceControl();
// Ends the current drag; drop false cancels it.
void CancelDrag();

// A link that shows a TCustomAction on a control.
class TControlActionLink : public TActionLink {
 public:
  explicit TControlActionLink(TControl* client);
  bool IsCaptionLinked() const override;
  bool IsEnabledLinked() const override;
  bool IsHelpContextLinked() const override;
  bool IsHintLinked() const override;
  bool IsVisibleLinked() const override;
  bool IsOnExecuteLinked() const override;
  void SetCaption(const String& value) override;
  void SetEnabled(bool value) override;
  void SetHelpContext(int value) override;
  void SetHint(const String& value) override;
  void SetVisible(bool value) override;

 protected:
  TControl* control_;
};

// ---------------------------------------------------------------- TControl

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;
  void BeforeDestruction() override;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  // The top-most windowed ancestor that is a form (this one when it is);
  // GetParentForm (Forms.h) gives it as a form.
  TWinControl* FormControl() const;

  // Bounds in the parent's client coordinates.
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return TRect(left_, top_, left_ + width_, top_ + height_); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.left, r.top, r.Width(), r.Height()); }
  virtual TRect ClientRect();
  int ClientWidth() { return ClientRect().Width(); }
  int ClientHeight() { return ClientRect().Height(); }
  void SetClientWidth(int w);
  void SetClientHeight(int h);
  // The screen position of the client area's top-left corner.
  virtual TPoint ClientOrigin();
  TPoint ClientToScreen(const TPoint& p) { TPoint o = ClientOrigin(); return TPoint(p.x + o.x, p.y + o.y); }
  TPoint ScreenToClient(const TPoint& p) { TPoint o = ClientOrigin(); return TPoint(p.x - o.x, p.y - o.y); }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors value);
  TSizeConstraints* Constraints() const { return constraints_; }

  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, on parents that are all showing (a form: its window shows).
  virtual bool Showing() const;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);

  String Caption() const { return Text(); }
  void SetCaption(const String& value) { SetText(value); }
  virtual String Text() const { return text_; }
  virtual void SetText(const String& value);

  TColor Color() const { return color_; }
  void SetColor(TColor value);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);
  TFont* Font() const { return font_; }
  void SetFont(TFont* value) { font_->Assign(value); }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);

  // "short|long": the short part is the tooltip, the long one the status text.
  const String& Hint() const { return hint_; }
  void SetHint(const String& value) { hint_ = value; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool value);

  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor value);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* value);
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int value) { helpContext_ = value; }

  TDragMode DragMode() const { return dragMode_; }
  void SetDragMode(TDragMode value) { dragMode_ = value; }
  TCursor DragCursor() const { return dragCursor_; }
  void SetDragCursor(TCursor value) { dragCursor_ = value; }
  // Starts a drag from this control: at once, or once the mouse has moved
  // threshold pixels (-1: the system's drag distance) with the button down.
  void BeginDrag(bool immediate, int threshold = -1);
  bool Dragging() const;
  void EndDrag(bool drop);

  TBasicAction* Action() const;
  void SetAction(TBasicAction* value);
  TControlActionLink* ActionLink() const { return actionLink_; }
  // Updates the bound action (visible controls only).
  void InitiateAction() override {
    if (actionLink_ && visible_) actionLink_->Update();
  }

  TControlStyle ControlStyle;
  TControlState ControlState;

  virtual void Invalidate();
  virtual void Update();
  virtual void Repaint();
  void Refresh() { Repaint(); }
  void BringToFront();
  void SendToBack();
  // Sends a message to the control's own dispatch (no window needed).
  LRESULT Perform(UINT msg, WPARAM w = 0, LPARAM l = 0);

  // Runs the OnClick handler, or the action when the handler is the
  // action's own.
  virtual void Click();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TContextPopupEvent OnContextPopup;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TStartDragEvent OnStartDrag;
  TEndDragEvent OnEndDrag;
  TCanResizeEvent OnCanResize;

  // The one dispatch path of the control's messages.
  virtual void WndProc(TMessage& msg);
  // Where the control's messages (its window's and Perform's) go first:
  // WndProc, unless another object put its own method in; that object
  // keeps the one it replaced, calls it for the control's own handling and
  // puts it back when done.
  TWndMethod WindowProc;
  // What the control does with a message nothing else took.
  virtual void DefaultHandler(TMessage& msg);

  // The control under a screen point: the window there or its nearest
  // ancestor that is a control.
  static TControl* FindDragTarget(const TPoint& screenPos);
  // The control of a window, or of its nearest ancestor window with one.
  static TControl* FindControl(HWND wnd);
  static TControl* FindVCLWindow(const TPoint& screenPos) { return FindDragTarget(screenPos); }

  // Hooks the application's drag manager calls.
  void DoDragMsg(TDragMessage msg, TDragObject* drag, TPoint pos, bool& accept);
  virtual void DragDrop(TObject* source, int x, int y);
  virtual void DoEndDrag(TObject* target, int x, int y);
  virtual void DoStartDrag(TDragObject*& dragObject);

 protected:
  friend class TWinControl;
  friend class TControlActionLink;

  // A message through WindowProc.
  void DeliverMessage(TMessage& msg);
  // Message handlers; each may call DefaultHandler.
  virtual void Dispatch(TMessage& msg);
  virtual void DblClick();
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual bool DoMouseWheel(TShiftState shift, int delta, TPoint mousePos);
  virtual void DoContextPopup(TPoint mousePos, bool& handled);
  virtual void DragOver(TObject* source, int x, int y, TDragState state, bool& accept);
  virtual void Resize();
  virtual bool CanResize(int& newWidth, int& newHeight);
  virtual TControlActionLink* CreateActionLink();
  virtual void ActionChange(TObject* sender, bool checkDefaults);
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  // Changes, told to descendants and children.
  virtual void FontChanged();
  virtual void ColorChanged();
  virtual void TextChanged();
  virtual void EnabledChanged();
  virtual void VisibleChanged();
  // A parent's font or colour changed.
  virtual void ParentFontChanged();
  virtual void ParentColorChanged();

  // The parent lays its children out again (or marks it needed).
  void RequestAlign();
  // Bounds set by the parent's layout: no anchor distances recorded.
  void SetAlignedBounds(int left, int top, int width, int height);
  // The distances to the parent's right and bottom edges kept for anchors.
  void UpdateAnchorRules();

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  String text_;
  TFont* font_;
  TColor color_ = clBtnFace;
  bool visible_ = true;
  bool enabled_ = true;
  bool parentFont_ = true;
  bool parentColor_ = false;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  String hint_;
  TCursor cursor_ = crDefault;
  TPopupMenu* popupMenu_ = nullptr;
  int helpContext_ = 0;
  TAlign align_ = alNone;
  TAnchors anchors_{akLeft, akTop};
  TSizeConstraints* constraints_;
  TDragMode dragMode_ = dmManual;
  TCursor dragCursor_ = crDrag;
  TControlActionLink* actionLink_ = nullptr;
  // Anchor distances: parent's client size and our right/bottom gaps.
  int anchorRight_ = 0, anchorBottom_ = 0, anchorParentW_ = 0, anchorParentH_ = 0;
  bool anchorsValid_ = false;

 private:
  void FontObjectChanged(TObject*);
  void DoActionChange(TObject* sender);
};

// ---------------------------------------------------------------- TWinControl

// What a control's window is made with.
struct TCreateParams {
  String Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  HMENU Menu = nullptr;  // child id (set by the library)
  void* Param = nullptr;
  TObjectWindowClass* WindowClass = nullptr;
};

// The window class of a control kind, registered on first use: a class of
// its own (style CS_DBLCLKS by default) or a superclass of a system class.
TObjectWindowClass& ControlWindowClass(const char* name, UINT style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW);
TObjectWindowClass& ControlSuperclass(const char* name, const char* baseClass);

class TWinControl : public TControl, public TWindowObject {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // The window, made on demand (with its parents').
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded() { Handle(); }
  // Makes the window again (style changes); the control keeps its state.
  void RecreateWnd();
  // The window leaves the control without being destroyed (its messages go
  // to its class's default handling), and a window made for the control
  // comes back to it: a control that keeps windows of two kinds switches
  // between them.
  virtual HWND DetachHandle();
  void AttachHandle(HWND wnd);
  // The window's own default procedure (the system class's for a superclass).
  WNDPROC DefWndProc() const { return defWndProc_; }
  // For a window that is not parented to a control: its owner/parent window.
  HWND ParentWindow() const { return parentWindow_; }
  void SetParentWindow(HWND wnd);

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_[static_cast<size_t>(index)]; }
  bool ContainsControl(TControl* control) const;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  // Children in the order of their tab order.
  void GetTabOrderList(std::vector<TWinControl*>& list);

  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value);
  int TabOrder() const;
  void SetTabOrder(int value);
  bool Focused() const;
  virtual bool CanFocus() const;
  virtual void SetFocus();
  // Moves the focus to the next (previous) control that can take it.
  void SelectNext(TWinControl* current, bool forward, bool checkTabStop);
  TWinControl* FindNextControl(TWinControl* current, bool forward, bool checkTabStop, bool checkParent);

  TBevelCut BevelInner() const { return bevelInner_; }
  TBevelCut BevelOuter() const { return bevelOuter_; }

  // Layout of the children by Align and Anchors; the calls nest.
  void DisableAlign();
  void EnableAlign();
  void Realign();
  bool AlignDisabled() const { return alignDisabled_ > 0; }

  TRect ClientRect() override;
  TPoint ClientOrigin() override;
  void SetBounds(int left, int top, int width, int height) override;
  bool Showing() const override;
  void Invalidate() override;
  // Paints what is invalid now.
  void Update() override;
  void Repaint() override;
  String Text() const override;
  void SetText(const String& value) override;
  // The brush of the control's colour (what WM_CTLCOLOR answers with).
  TBrush* Brush() const { return brush_; }

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TMouseWheelEvent OnMouseWheel;
  TMouseWheelUpDownEvent OnMouseWheelDown;
  TMouseWheelUpDownEvent OnMouseWheelUp;

  void WndProc(TMessage& msg) override;
  void DefaultHandler(TMessage& msg) override;

  // The child control whose window this is, and the reflection of a
  // notification to it as CN_ (true when a child took it).
  bool ReflectToChild(HWND child, TMessage& msg);

  // What a form does for the controls on it (TCustomForm overrides these).
  virtual bool IsFormControl() const { return false; }
  // A control on the form took the focus.
  virtual void FocusChanged(TWinControl* focused) {}
  // A control leaves its parent: a form stops holding it (or a control
  // inside it) as its active or focused control.
  virtual void DefocusControl(TWinControl* control) {}
  // The form sees keys first when it previews them; true: taken.
  virtual bool PreviewKeyDown(WORD& key, TShiftState shift) { return false; }
  virtual bool PreviewKeyUp(WORD& key, TShiftState shift) { return false; }
  virtual bool PreviewKeyPress(char& key) { return false; }
  // The form's shortcuts (its menu and action lists); true: carried out.
  virtual bool FormShortCut(WORD key, TShiftState shift) { return false; }

 protected:
  friend class TControl;
  friend class TCustomForm;

  void WindowMessage(HWND wnd, TMessage& msg) override;
  void Dispatch(TMessage& msg) override;
  // Lays out the children whose layout waited for the end of loading.
  void Loaded() override;
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void DestroyWnd();
  // Makes the window and then the windows of the visible children.
  virtual void CreateHandle();
  virtual void DestroyHandle();
  // Realign after the window exists.
  virtual void CreateWindowHandle(const TCreateParams& params);
  // The area the children are laid out in (minus borders and bevels).
  virtual void AdjustClientRect(TRect& rect);
  virtual void AlignControls(TControl* control, TRect& rect);
  // Places one control of an aligned group.
  virtual void DoAlignControl(TControl* control, TAlign align, TRect& rect);

  // Keyboard: true when the key was taken.
  virtual bool DoKeyDown(WORD& key, TShiftState shift);
  virtual bool DoKeyUp(WORD& key, TShiftState shift);
  virtual bool DoKeyPress(char& key);
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyUp(WORD& key, TShiftState shift);
  virtual void KeyPress(char& key);
  // A shortcut of a popup menu of this control or a parent, or of the form.
  virtual bool IsMenuKey(WORD key, TShiftState shift);
  virtual void DoEnter();
  virtual void DoExit();
  // OnContextPopup, then the control's PopupMenu when it pops up by itself;
  // otherwise the parent hears of it.
  virtual void WMContextMenu(TMessage& msg);

  void FontChanged() override;
  void ColorChanged() override;
  void TextChanged() override;
  void EnabledChanged() override;
  void VisibleChanged() override;
  void ParentFontChanged() override;
  void ParentColorChanged() override;
  bool DoMouseWheel(TShiftState shift, int delta, TPoint mousePos) override;

  // Applies visibility and bounds to the window.
  void UpdateShowing();
  void UpdateBounds();  // the window's rectangle into the stored bounds
  void SetWindowBounds();

  HWND handle_ = nullptr;
  HWND parentWindow_ = nullptr;
  WNDPROC defWndProc_ = DefWindowProcA;
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tabList_;
  bool tabStop_ = false;
  TBrush* brush_;
  TBevelCut bevelInner_ = bvNone, bevelOuter_ = bvNone;
  int alignDisabled_ = 0;
  int alignLevel_ = 0;
  UINT id_ = 0;
  bool settingBounds_ = false;
};

// ---------------------------------------------------------------- painted controls

// A canvas over a control's window: the DC of the current paint, or one
// taken with GetDC and given back when the control asks (FreeHandle).
class TControlCanvas : public TCanvas {
 public:
  explicit TControlCanvas(TWinControl* control) : control_(control) {}
  ~TControlCanvas() override;
  void FreeHandle();
  TWinControl* Control() const { return control_; }

 protected:
  void CreateHandle() override;

 private:
  TWinControl* control_;
  HDC ownDc_ = nullptr;
};

// A window with a canvas that paints itself (Paint).
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return canvas_; }

 protected:
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& msg) override;
  virtual void Paint();
  // WM_PAINT: BeginPaint, the canvas on its DC, Paint, EndPaint.
  void PaintWindow(HDC dc);
  void DestroyWnd() override;
  TControlCanvas* canvas_;

 public:
  HWND DetachHandle() override;
};

// A painted control: a light child window that never takes the focus;
// with Transparent set it shows its parent's background behind it.
class TGraphicControl : public TCustomControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  bool CanFocus() const override { return false; }
  void SetFocus() override {}

 protected:
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& msg) override;
  // Fills the DC with the parent's background (for transparent controls).
  void PaintParentBackground(HDC dc);
  bool transparent_ = false;
};

// ---------------------------------------------------------------- helpers

// The text before "|" (the tooltip) and after it (the status text; the
// whole hint when there is no "|").
String GetShortHint(const String& hint);
String GetLongHint(const String& hint);
// The shift state of a mouse message's key flags.
TShiftState MouseKeysToShiftState(WPARAM keys);
// The character marked with "&" in a caption, upper-cased (0 when none;
// "&&" is a literal ampersand).
char AccelChar(const String& caption);
bool IsAccel(WORD key, const String& caption);
// The comctl32 version in use, read once; tests may force it.
// The cursor table: the system's cursors under their ids, and the
// application's own added with SetCursorHandle. The screen cursor, when not
// crDefault, shows over every window of the program.
HCURSOR CursorHandle(TCursor cursor);
void SetCursorHandle(TCursor cursor, HCURSOR handle);
TCursor ScreenCursor();
void SetScreenCursor(TCursor cursor);
// The drag manager's look at a message before it is dispatched (called by
// the application's message filter); true when the drag took it.
bool DragFilterMessage(MSG& msg);
// The comctl32 version: the file version of "comctl32.dll" (Wine's
// side-by-side version 6 reads 5.81 too). The shell utilities' version
// record is this value; forcing either forces both.
struct TComCtlVersion {
  int Major = 0;
  int Minor = 0;
  DWORD VersionLS = 0;  // build << 16 | revision
  bool AtLeast(int major, int minor) const { return Major > major || (Major == major && Minor >= minor); }
};
TComCtlVersion ComCtlVersion();
void ForceComCtlVersion(const TComCtlVersion* version);  // nullptr: the real one again

// A control of a form built in code: made with its owner, named and placed
// in its parent; its bounds or alignment are set after.
template <class T>
T* MakeControl(TComponent* owner, TWinControl* parent, const char* name) {
  T* c = new T(owner);
  c->SetName(name);
  c->SetParent(parent);
  return c;
}
// The same at the given bounds.
template <class T>
T* MakeControl(TComponent* owner, TWinControl* parent, const char* name, int left, int top, int width, int height) {
  T* c = MakeControl<T>(owner, parent, name);
  c->SetBounds(left, top, width, height);
  return c;
}
// The same, owned by the form it sits on.
template <class T>
T* MakeControl(TWinControl* form, const char* name, int left, int top, int width, int height) {
  return MakeControl<T>(form, form, name, left, top, width, height);
}
