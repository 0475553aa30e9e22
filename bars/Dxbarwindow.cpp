// The common bar window of toolbars and menus: selection, the chain of
// active bar windows, mouse and key handling, the drop-position test, the
// flat owner link and the customizing frame.
#include <algorithm>

#include "Dxbarcontrols.h"
#include "Dxbarquickcust.h"
#include "Dxbarshadow.h"
#include "Dxbarwinitems.h"
#include "customize/Dxbarcustform.h"

#include <windowsx.h>

bool dxBarFullMenus = false;

namespace {

uint64_t gNextSerial = 0;

// The current shift state through the bars' seam.
TShiftState KeyShiftState() {
  TShiftState s;
  if (dxBarSystem()->GetKeyState(VK_SHIFT) & 0x8000) s << ssShift;
  if (dxBarSystem()->GetKeyState(VK_CONTROL) & 0x8000) s << ssCtrl;
  if (dxBarSystem()->GetKeyState(VK_MENU) & 0x8000) s << ssAlt;
  return s;
}

// A device context the canvas got for one drawing outside WM_PAINT is
// given back afterwards.
class TCanvasUse {
 public:
  explicit TCanvasUse(TCanvas* canvas) : canvas_(dynamic_cast<TControlCanvas*>(canvas)) {
    had_ = canvas_ && canvas_->HandleAllocated();
  }
  ~TCanvasUse() {
    if (canvas_ && !had_) canvas_->FreeHandle();
  }
  TCanvasUse(const TCanvasUse&) = delete;
  TCanvasUse& operator=(const TCanvasUse&) = delete;

 private:
  TControlCanvas* canvas_;
  bool had_;
};

}  // namespace

// ---------------------------------------------------------------- construction

TCustomdxBarControl::TCustomdxBarControl(TdxBarManager* manager)
    : TCustomControl(nullptr), manager_(manager), serial_(++gNextSerial) {
  RegisterBarControl(this);
  ControlStyle >> csCaptureMouse;
  UpdateControlStyle();
  color_ = clBtnFace;
  brush_->SetColor(color_);
  visible_ = false;
  left_ = 100;
  top_ = 100;
  width_ = 50;
  height_ = 30;
  shadow_ = std::make_unique<TdxBarShadow>(this);
}

void TCustomdxBarControl::BeforeDestruction() {
  TCustomControl::BeforeDestruction();
  if (dynamic_cast<TdxBarControl*>(this))
    HideAll();
  else
    SetIsActive(false);
  if (manager_ && manager_->SelectedItem() && manager_->SelectedItem()->Parent() == this)
    manager_->SetSelectedItem(nullptr);
  if (itemLinks_) itemLinks_->BarControlDestroyed(this);
  // An open menu of this window forgets it.
  if (childBar_ && childBar_->ParentBar() == this) childBar_->SetParentBar(nullptr);
  if (parentBar_ && parentBar_->ChildBar() == this) parentBar_->SetChildBar(nullptr);
  UnregisterBarControl(this);
}

TCustomdxBarControl::~TCustomdxBarControl() {
  // A window class without a destructor of its own (the tests' windows).
  if (HandleAllocated())
    DestroyHandle();
  else
    DestroyControls();
  if (itemLinks_) itemLinks_->BarControlDestroyed(this);
  UnregisterBarControl(this);
  shadow_.reset();
}

void TCustomdxBarControl::UpdateControlStyle() {
  doubleClicks_ = manager_ && (manager_->Style() != bmsStandard || manager_->IsCustomizing());
}

// ---------------------------------------------------------------- window handle

void TCustomdxBarControl::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style &= ~WS_TABSTOP;
}

void TCustomdxBarControl::CreateWindowHandle(const TCreateParams& params) {
  TCustomControl::CreateWindowHandle(params);
  if (HandleAllocated()) CreateControls();
}

void TCustomdxBarControl::CreateWnd() {
  destroyed_ = false;
  TCustomControl::CreateWnd();
  SetFont();
  CalcDrawingConsts();
}

void TCustomdxBarControl::WindowDestroying() {
  if (destroyed_) return;
  destroyed_ = true;
  // No strip outlives the window it shades.
  if (shadow_) {
    shadow_->SetVisible(false);
    shadow_->DestroyParts();
  }
  if (HandleAllocated()) EndMouseTracking(handle_);
  SetMarkState(msNone);
  BeforeDestroyHandle();
}

void TCustomdxBarControl::DestroyWnd() {
  if (HandleAllocated()) WindowDestroying();
  DestroyControls();
  TCustomControl::DestroyWnd();
}

void TCustomdxBarControl::BeforeDestroyHandle() {
  if (!itemLinks_) return;
  for (int i = 0; i < itemLinks_->Count(); ++i)
    if (TdxBarItemControl* c = itemLinks_->Items(i)->Control()) c->BeforeDestroyParentHandle();
}

// ---------------------------------------------------------------- controls and constants

void TCustomdxBarControl::CreateControls() {
  if (!itemLinks_) return;
  for (int i = 0; i < itemLinks_->CanVisibleItemCount(); ++i) itemLinks_->CanVisibleItems(i)->CreateControl();
}

void TCustomdxBarControl::DestroyControls() {
  if (!itemLinks_) return;
  bool locked = controlsLocked_;
  controlsLocked_ = true;
  for (int i = 0; i < itemLinks_->Count(); ++i) itemLinks_->Items(i)->DestroyControl();
  selectedControl_ = nullptr;
  capturedControl_ = nullptr;
  controlsLocked_ = locked;
}

void TCustomdxBarControl::CalcDrawingConsts() {
  HDC screen = GetDC(nullptr);
  SIZE s{};
  HGDIOBJ old = SelectObject(screen, Canvas()->Font()->Handle());
  GetTextExtentPoint32A(screen, "0", 1, &s);
  textSize_ = s.cy + 6;
  arrowSize_ = std::max(textSize_ / 5, 4);
  HFONT edit = GetEditFontHandle();
  SelectObject(screen, edit ? static_cast<HGDIOBJ>(edit) : static_cast<HGDIOBJ>(Canvas()->Font()->Handle()));
  GetTextExtentPoint32A(screen, "0", 1, &s);
  editTextSize_ = s.cy + 6 + (Flat() ? 1 : 0);
  comboButtonWidth_ = 2 * s.cx - 1;
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
}

bool TCustomdxBarControl::CanCustomizing() { return manager_ && manager_->IsDesigning(); }

HFONT TCustomdxBarControl::GetEditFontHandle() { return manager_ ? manager_->EditFontHandle() : nullptr; }

bool TCustomdxBarControl::GetIsCustomizing() { return manager_ && manager_->IsCustomizing(); }

bool TCustomdxBarControl::GetIsShadowVisible() { return HasShadow() && HandleAllocated() && IsWindowVisible(handle_); }

HRGN TCustomdxBarControl::GetItemRegion(TdxBarItemControl* control) {
  TRect r = GetItemRectEx(control, true);
  return CreateRectRgn(r.left, r.top, r.right, r.bottom);
}

HBRUSH TCustomdxBarControl::GetToolbarBrush() {
  return Flat() ? manager_->FlatToolbarsBrush() : GetSysColorBrush(COLOR_BTNFACE);
}

HBRUSH TCustomdxBarControl::GetToolbarDownedBrush() {
  return Flat() ? manager_->FlatToolbarsDownedBrush() : PatternBrush();
}

HBRUSH TCustomdxBarControl::GetToolbarDownedSelBrush() {
  return Flat() ? manager_->FlatToolbarsDownedSelBrush() : GetSysColorBrush(COLOR_BTNFACE);
}

HBRUSH TCustomdxBarControl::GetToolbarSelBrush() {
  return Flat() ? manager_->FlatToolbarsSelBrush() : GetSysColorBrush(COLOR_HIGHLIGHT);
}

HBRUSH TCustomdxBarControl::GetBarControlOwnerBrush() {
  return manager_ ? manager_->FlatToolbarsBrush() : GetSysColorBrush(COLOR_BTNFACE);
}

void TCustomdxBarControl::SetDockingStyle(TdxBarDockingStyle value) {
  if (value == dockingStyle_) return;
  dockingStyle_ = value;
  Perform(CM_FONTCHANGED);
}

bool TCustomdxBarControl::IsChildBar(TCustomdxBarControl* barControl) const {
  TCustomdxBarControl* c = barControl;
  // A chain of open menus is short; the bound only guards against a cycle.
  for (int depth = 0; c && depth < 64; ++depth) {
    c = c->ParentBar();
    if (c == this) return true;
  }
  return false;
}

bool TCustomdxBarControl::HasVisibleLinks() const { return itemLinks_ && itemLinks_->CanVisibleItemCount() > 0; }

// ---------------------------------------------------------------- queries

TRect TCustomdxBarControl::GetItemRect(TdxBarItemControl* control) const {
  if (!control || !control->ItemLink()) return TRect();
  return control->ItemLink()->ItemRect();
}

TRect TCustomdxBarControl::GetItemScreenRect(TdxBarItemControl* control) {
  TRect r = GetItemRect(control);
  if (!control || !HandleAllocated()) return r;
  TPoint a = ClientToScreen(r.TopLeft()), b = ClientToScreen(r.BottomRight());
  return TRect(a.x, a.y, b.x, b.y);
}

TRect TCustomdxBarControl::GetWindowRect() {
  if (!HandleAllocated()) return BoundsRect();
  RECT r;
  ::GetWindowRect(handle_, &r);
  return TRect(r);
}

TdxBarItemControl* TCustomdxBarControl::ItemAtPos(TPoint p) const {
  if (!itemLinks_) return nullptr;
  for (int i = 0; i < itemLinks_->VisibleItemCount(); ++i) {
    TdxBarItemLink* link = itemLinks_->VisibleItems(i);
    if (link->Control() && link->ItemRect().Contains(p)) return link->Control();
  }
  return nullptr;
}

bool TCustomdxBarControl::ItemExists(TdxBarItemControl* control) const {
  if (!control || !itemLinks_) return false;
  for (int i = 0; i < itemLinks_->Count(); ++i)
    if (itemLinks_->Items(i)->Control() == control) return true;
  return false;
}

bool TCustomdxBarControl::WantMouse() {
  return HandleAllocated() && WindowFromPointDeep(dxBarSystem()->GetCursorPos()) == handle_;
}

bool TCustomdxBarControl::SelectedItemWantsKey(WORD key) { return selectedControl_ && selectedControl_->WantsKey(key); }

void TCustomdxBarControl::SetCursorForMoving(bool value) { SetCursor(value ? crSizeAll : crDefault); }

// ---------------------------------------------------------------- painting items

void TCustomdxBarControl::PaintItem(TdxBarItemControl* control) { itemBrush_ = GetToolbarBrush(); }

void TCustomdxBarControl::PaintSelectedItem(TdxBarItemControl* control) {
  if (controlsLocked_ || !HandleAllocated()) return;
  TCanvasUse use(Canvas());
  if (control && ItemExists(control) && control->Item() && !control->Item()->IsDestroying()) PaintItem(control);
  if (selectedControl_ && selectedControl_ != control) PaintItem(selectedControl_);
}

// ---------------------------------------------------------------- activation chain and selection

void TCustomdxBarControl::SetIsActive(bool value) {
  if (manager_) manager_->HintActivate(false, "");
  if (value == isActive_) return;
  isActive_ = value;
  if (value) {
    if (!ActiveBarControl()) dxBarFullMenus = GetIsCustomizing();
    prevActiveBarControl_ = ActiveBarControl();
    prevActive_ = TdxBarControlRef(prevActiveBarControl_);
    SetActiveBarControl(this);
    if (!GetIsCustomizing() && itemLinks_) itemLinks_->InitiateActions();
    return;
  }
  TdxBarControlRef self(this);
  if (GetIsCustomizing())
    selectedControl_ = nullptr;
  else
    SetKeySelectedItem(nullptr);
  if (!BarControlExists(self)) return;
  if (ActiveBarControl() == this)
    SetActiveBarControl(BarControlExists(prevActive_) ? prevActive_.Control() : nullptr);
  TCustomdxBarControl* active = ActiveBarControl();
  if (active && (!BarControlExists(TdxBarControlRef(active)) || !active->IsActive())) SetActiveBarControl(nullptr);
}

void TCustomdxBarControl::HideAll() {
  TdxBarControlRef self(this);
  SetIsActive(false);
  if (BarControlExists(self) && parentBar_) parentBar_->HideAll();
}

void TCustomdxBarControl::SetSelectedItem(TdxBarItemControl* control) {
  if (control == selectedControl_) return;
  TdxBarControlRef self(this);
  TdxBarItemControl* old = selectedControl_;
  selectedControl_ = control;
  if (manager_) {
    manager_->SetSelectedItem(control);
    if (!BarControlExists(self)) return;
  }
  PaintSelectedItem(old);
  if (control && dxBarQuickControl() && dxBarQuickControl() != this) {
    dxBarQuickControlSelectionChanged(this);
    if (!BarControlExists(self)) return;
  }
  lastMousePos_ = dxBarSystem()->GetCursorPos();
  if (!control) SetCursor(crDefault);
  bool menu = dynamic_cast<TdxBarSubMenuControl*>(this) != nullptr;
  if (manager_ && !(!control && !menu && markState_ != msNone)) manager_->HintActivate(true, "");
  String hint;
  if (control && (control->GetEnabled() || (manager_ && manager_->ShowHintForDisabledItems())))
    hint = GetShortHint(control->GetHint());
  SetHint(hint);
  // A popup menu's entries tell the status text.
  auto* root = dynamic_cast<TdxBarSubMenuControl*>(GetRootBarControl(this));
  if (root && root->ItemLinks() && dynamic_cast<TdxBarPopupMenu*>(root->ItemLinks()->Owner()) && Application)
    Application->SetHint(hint);
}

void TCustomdxBarControl::SetKeySelectedItem(TdxBarItemControl* control) {
  if (control == selectedControl_) return;
  TdxBarControlRef self(this);
  if (selectedControl_ && selectedControl_->Active()) selectedControl_->ControlInactivate(true);
  if (!BarControlExists(self)) return;
  if (auto* sub = dynamic_cast<TdxBarSubItemControl*>(control)) sub->DragOpen = false;
  if (control) control->SetMouseSelected(false);
  keyboardMode_ = true;
  SetSelectedItem(control);
}

void TCustomdxBarControl::SetMouseSelectedItem(TdxBarItemControl* control) {
  if (!HandleAllocated() || control == selectedControl_) return;
  // A field being edited keeps the selection.
  if (auto* w = dynamic_cast<TdxBarWinControl*>(selectedControl_); w && w->Window() && GetFocus() == w->Window()) return;
  TdxBarControlRef self(this);
  if (selectedControl_ && selectedControl_->Active()) selectedControl_->ControlInactivate(false);
  if (!BarControlExists(self)) return;
  if (control) control->SetMouseSelected(true);
  keyboardMode_ = false;
  SetSelectedItem(control);
  if (!BarControlExists(self) || !selectedControl_) return;
  if (auto* sub = dynamic_cast<TdxBarSubItemControl*>(selectedControl_)) {
    auto* subItem = dynamic_cast<TCustomdxBarSubItem*>(sub->Item());
    bool refused = manager_ && manager_->Dragging() && subItem && !subItem->CanContainItem(manager_->DraggingItem());
    sub->DragOpen = !refused;
  }
  selectedControl_->ControlActivate(false);
}

// ---------------------------------------------------------------- drop position

TdxBarItemControl* TCustomdxBarControl::ItemAtPosEx(TPoint p, bool& outsideItem, bool& vertical, bool& firstHalf) {
  vertical = IsToolbarControlVertical(this) || dynamic_cast<TdxBarSubMenuControl*>(this) != nullptr;
  outsideItem = false;
  firstHalf = false;
  TdxBarItemControl* result = nullptr;
  if (itemLinks_)
    for (int i = 0; i < itemLinks_->VisibleItemCount() && !result; ++i) {
      TdxBarItemControl* c = itemLinks_->VisibleItems(i)->Control();
      if (!c || !c->CanCustomize()) continue;
      HRGN rgn = GetItemRegion(c);
      if (PtInRegion(rgn, p.x, p.y)) result = c;
      DeleteObject(rgn);
    }
  if (!result) return nullptr;
  TRect r = GetFullItemRect(result);
  outsideItem = !r.Contains(p);
  if (outsideItem) {
    // In the group gap before the item: the halves of the gap itself, the
    // trailing one joining the item's group.
    HRGN rgn = GetItemRegion(result);
    RECT box{};
    GetRgnBox(rgn, &box);
    DeleteObject(rgn);
    if (p.y < r.top) {
      vertical = true;
      r = TRect(r.left, box.top, r.right, r.top);
    } else {
      r = TRect(box.left, r.top, r.left, r.bottom);
    }
  }
  firstHalf = vertical ? (p.y - r.top < r.bottom - p.y) : (p.x - r.left < r.right - p.x);
  return result;
}

// ---------------------------------------------------------------- owner link

bool TCustomdxBarControl::IsLinkedToOwner() {
  TRect r;
  return GetOwnerLinkBounds(false, r);
}

bool TCustomdxBarControl::GetOwnerLinkBounds(bool clientCoords, TRect& r) {
  if (ownerLinkBounds_.Empty() || !HandleAllocated()) return false;
  TRect w = GetWindowRect();
  const TRect& o = ownerLinkBounds_;
  bool found = false;
  if (o.bottom == w.top || o.top == w.bottom) {
    int left = std::max(o.left, w.left), right = std::min(o.right, w.right);
    if (right - left > 2) {
      int y = o.bottom == w.top ? w.top : w.bottom - 1;
      r = TRect(left + 1, y, right - 1, y + 1);
      found = true;
    }
  }
  if (!found && (o.right == w.left || o.left == w.right)) {
    int top = std::max(o.top, w.top), bottom = std::min(o.bottom, w.bottom);
    if (bottom - top > 2) {
      int x = o.right == w.left ? w.left : w.right - 1;
      r = TRect(x, top + 1, x + 1, bottom - 1);
      found = true;
    }
  }
  if (!found) return false;
  // Window coordinates, or client ones.
  POINT org{w.left, w.top};
  if (clientCoords) {
    org = {0, 0};
    ::ClientToScreen(handle_, &org);
  }
  r = TRect(r.left - org.x, r.top - org.y, r.right - org.x, r.bottom - org.y);
  return true;
}

void TCustomdxBarControl::ResizeShadow() {
  if (!shadow_ || !HandleAllocated()) return;
  shadow_->SetOwnerBounds(IsLinkedToOwner() ? ownerLinkBounds_ : TRect(), GetWindowRect());
}

void TCustomdxBarControl::ShadowPosChanged(UINT flags) {
  if (!shadow_ || destroyed_ || !HandleAllocated()) return;
  if (!HasShadow()) {
    shadow_->SetVisible(false);
    shadow_->DestroyParts();
    return;
  }
  bool changed = !(flags & SWP_NOMOVE) || !(flags & SWP_NOSIZE);
  if (!GetIsShadowVisible()) {
    // Strips of a hidden window are made again when it shows.
    shadow_->SetVisible(false);
    if (changed) shadow_->DestroyParts();
    return;
  }
  if (changed || shadow_->PartCount() == 0) ResizeShadow();
  shadow_->SetVisible(true);
}

void TCustomdxBarControl::DrawOwnerLink(HDC dc) {
  TRect r;
  if (GetOwnerLinkBounds(false, r)) FillRect(dc, &r, GetBarControlOwnerBrush());
}

void TCustomdxBarControl::DrawBarControlOwnerBorder(HDC dc, TRect r, TCustomdxBarControl* barControl) {
  HRGN saved = CreateRectRgn(0, 0, 0, 0);
  bool hadClip = GetClipRgn(dc, saved) == 1;
  TRect strip;
  if (barControl && barControl->GetOwnerLinkBounds(false, strip) && HandleAllocated()) {
    // The menu's strip lies one pixel beyond the opener's edge: moved onto
    // that edge, in this window's client coordinates.
    TRect w = barControl->GetWindowRect();
    TRect s(strip.left + w.left, strip.top + w.top, strip.right + w.left, strip.bottom + w.top);
    TRect o = barControl->OwnerLinkBounds();
    if (s.top == o.bottom) s = TRect(s.left, s.top - 1, s.right, s.bottom - 1);
    if (s.bottom == o.top) s = TRect(s.left, s.top + 1, s.right, s.bottom + 1);
    if (s.left == o.right) s = TRect(s.left - 1, s.top, s.right - 1, s.bottom);
    if (s.right == o.left) s = TRect(s.left + 1, s.top, s.right + 1, s.bottom);
    TPoint a = ScreenToClient(s.TopLeft()), b = ScreenToClient(s.BottomRight());
    ExcludeClipRect(dc, a.x, a.y, b.x, b.y);
  }
  if (manager_) FrameRect(dc, &r, manager_->FlatToolbarsBorderBrush());
  SelectClipRgn(dc, hadClip ? saved : nullptr);
  DeleteObject(saved);
}

void TCustomdxBarControl::DrawBarControlOwner(HDC dc, TRect r, TCustomdxBarControl* barControl) {
  DrawBarControlOwnerBorder(dc, r, barControl);
  InflateRect(&r, -1, -1);
  FillRect(dc, &r, GetBarControlOwnerBrush());
}

void TCustomdxBarControl::DrawSelectedItem(TdxBarItemControl* control) {
  if (!control || !GetIsCustomizing() || !manager_) return;
  bool dragged = manager_->Dragging() && manager_->DraggingItemLink() && manager_->DraggingItemLink()->Control() == control;
  bool selected = !manager_->Dragging() && control == selectedControl_ && manager_->SelectedItem() == control;
  if (!dragged && !selected) return;
  HDC dc = Canvas()->Handle();
  TRect r = GetItemRect(control);
  if (dynamic_cast<TdxBarSubItemControl*>(control) && dynamic_cast<TdxBarSubMenuControl*>(this)) {
    int oldRop = SetROP2(dc, R2_NOT);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    for (int i = 0; i < 2; ++i) Rectangle(dc, r.left + i, r.top + i, r.right - 1 - i, r.bottom - 1 - i);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SetROP2(dc, oldRop);
    return;
  }
  HBRUSH b = GetSysColorBrush(COLOR_WINDOWTEXT);
  FrameRect(dc, &r, b);
  InflateRect(&r, -1, -1);
  FrameRect(dc, &r, b);
}

void TCustomdxBarControl::PostRepaint() {
  if (HandleAllocated()) PostMessageA(handle_, WMRepaintBar, 0, 0);
}

// ---------------------------------------------------------------- window procedure

bool TCustomdxBarControl::NotHandleMouseMove(TPoint p) {
  return GetIsCustomizing() || ClientToScreen(p) == lastMousePos_;
}

void TCustomdxBarControl::WndProc(TMessage& msg) {
  const UINT m = msg.Msg;
  if ((m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) || (m >= WM_NCMOUSEMOVE && m <= WM_NCMBUTTONDBLCLK)) {
    // Input for a bar window outside the active chain is dropped.
    TCustomdxBarControl* active = ActiveBarControl();
    if (active && active != this && !IsChildBar(active)) {
      msg.Result = 0;
      return;
    }
  }
  switch (m) {
    case WM_CTLCOLOREDIT: {
      HDC dc = reinterpret_cast<HDC>(msg.WParam);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      msg.Result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      return;
    }
    case WM_KILLFOCUS:
      TCustomControl::WndProc(msg);
      if (!msg.WParam) HideAll();
      return;
    case WM_NCACTIVATE:
      if (msg.WParam && manager_ && !manager_->IsCustomizing() && HandleAllocated())
        if (HWND parent = GetParent(handle_)) SendMessageA(parent, WM_NCACTIVATE, 1, 0);
      msg.WParam = TRUE;
      TCustomControl::WndProc(msg);
      return;
    case WM_SETFOCUS: {
      if (selectedControl_ && selectedControl_->IsWinControl()) break;
      // While customizing the focus goes to the Customize window, the bar
      // staying above it meanwhile.
      if (GetIsCustomizing() && HandleAllocated())
        if (TdxBarCustomizingForm* f = dxBarCustomizingForm(); f && f->HandleAllocated()) {
          const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
          SetWindowPos(handle_, HWND_TOPMOST, 0, 0, 0, 0, flags);
          ::SetFocus(f->Handle());
          if (HandleAllocated()) SetWindowPos(handle_, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
          msg.Result = 0;
          return;
        }
      TCustomForm* form = manager_ ? manager_->MainForm() : nullptr;
      if (form && form->HandleAllocated()) {
        HWND target = form->Handle();
        if (!IsWindowVisible(target)) target = GetWindow(target, GW_HWNDNEXT);
        if (target) ::SetFocus(target);
      }
      msg.Result = 0;
      return;
    }
    case WM_MOUSEACTIVATE:
      msg.Result = MA_NOACTIVATE;
      return;
    case WM_SETCURSOR:
      if (LOWORD(msg.LParam) == HTCLIENT && reinterpret_cast<HWND>(msg.WParam) == handle_) {
        ::SetCursor(CursorHandle(cursor_ == crDefault ? crArrow : cursor_));
        msg.Result = 1;
        return;
      }
      break;
    case WM_ERASEBKGND:
      if (!HasVisibleLinks() && HandleAllocated()) {
        RECT r;
        GetClientRect(handle_, &r);
        FillRect(reinterpret_cast<HDC>(msg.WParam), &r, GetToolbarBrush());
      }
      msg.Result = 1;
      return;
    case WM_NCCALCSIZE:
      if (CanCallInheritedNCCalcSize())
        TCustomControl::WndProc(msg);
      else
        msg.Result = 0;
      return;
    case WM_NCHITTEST:
      TCustomControl::WndProc(msg);
      if (CanFinishMouseTracking(static_cast<int>(msg.Result))) EndMouseTracking(handle_);
      return;
    case WM_WINDOWPOSCHANGED: {
      UINT flags = reinterpret_cast<WINDOWPOS*>(msg.LParam)->flags;
      TdxBarControlRef self(this);
      TCustomControl::WndProc(msg);
      if (BarControlExists(self)) ShadowPosChanged(flags);
      return;
    }
    case WM_CAPTURECHANGED:
      if (dragPending_) {
        dragPending_ = false;
        if (manager_) manager_->SetDraggingItem(nullptr, nullptr);
      }
      capturedControl_ = nullptr;
      TCustomControl::WndProc(msg);
      return;
    case WM_DESTROY: {
      // Destroyed from outside (its parent went): the object forgets it.
      WindowDestroying();
      DestroyControls();
      HWND h = handle_;
      DetachHandle();
      msg.Result = DefWindowProcA(h, m, msg.WParam, msg.LParam);
      WindowLost();
      return;
    }
    case WMRepaintBar:
      RepaintBar();
      msg.Result = 0;
      return;
    case WM_MOUSEMOVE:
      MouseMoveMessage(msg);
      return;
    case WM_MOUSELEAVE:
      MouseLeaveMessage(msg);
      return;
    case WM_LBUTTONDOWN:
      LButtonDownMessage(msg);
      return;
    case WM_LBUTTONUP:
      LButtonUpMessage(msg);
      return;
    case WM_LBUTTONDBLCLK:
      UpdateControlStyle();  // the style or customizing mode may have changed
      if (!doubleClicks_) {
        msg.Msg = WM_LBUTTONDOWN;
        LButtonDownMessage(msg);
        return;
      }
      LButtonDblClkMessage(msg);
      return;
    case WM_RBUTTONDOWN:
      RButtonDownMessage(msg);
      return;
    case WM_KEYDOWN:
      KeyDownMessage(msg);
      return;
    case WM_COMMAND:
      TCustomControl::WndProc(msg);
      if (HIWORD(msg.WParam) == EN_CHANGE && msg.LParam && msg.Result == 0) {
        // An in-place edit box hears its own change.
        auto child = reinterpret_cast<HWND>(msg.LParam);
        if (!dynamic_cast<TControl*>(TObjectWindowClass::ObjectOf(child)))
          SendMessageA(child, WM_COMMAND, msg.WParam, msg.LParam);
      }
      return;
    default:
      break;
  }
  TCustomControl::WndProc(msg);
}

// ---------------------------------------------------------------- mouse

void TCustomdxBarControl::MouseMoveMessage(TMessage& msg) {
  if (controlsLocked_) {
    msg.Result = 0;
    return;
  }
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  TdxBarControlRef self(this);
  if (capturedControl_) {
    bool hot = ItemAtPos(p) == capturedControl_;
    if (hot != capturedControlHot_) {
      capturedControlHot_ = hot;
      capturedControl_->Repaint();
    }
  }
  if (dragPending_) {
    int dx = GetSystemMetrics(SM_CXDRAG), dy = GetSystemMetrics(SM_CYDRAG);
    TRect zone(downPoint_.x - dx / 2, downPoint_.y - dy / 2, downPoint_.x - dx / 2 + dx, downPoint_.y - dy / 2 + dy);
    if (!zone.Contains(p)) {
      dragPending_ = false;
      if (GetCapture() == handle_) ReleaseCapture();
      if (manager_) {
        TdxBarItem* item = manager_->DraggingItem();
        TdxBarItemLink* link = manager_->DraggingItemLink();
        if (link && link->Control()) link->Control()->ControlInactivate(true);
        manager_->DragAndDrop(item, link);
      }
    }
    return;
  }
  if (!ClientRect().Contains(p)) return;
  TCustomControl::WndProc(msg);
  if (!BarControlExists(self) || NotHandleMouseMove(p)) return;
  lastMousePos_ = ClientToScreen(p);
  TdxBarItemControl* item = ItemAtPos(p);
  TCustomdxBarControl* active = ActiveBarControl();
  if (!active || active == this) SetCursor(crDefault);
  if (!IsMouseTracking(handle_)) {
    BeginMouseTracking(handle_);
    if (selectedControl_ && selectedControl_ == item && dynamic_cast<TdxBarButtonControl*>(item)) item->Repaint();
  }
  if (item && !item->CanMouseSelect()) item = nullptr;
  if (!item && isActive_ && dynamic_cast<TdxBarControl*>(this)) return;
  if (capturedControl_) return;
  auto* sub = dynamic_cast<TdxBarSubItemControl*>(selectedControl_);
  if (!item && sub && sub->SubMenuOpen()) return;
  SetMouseSelectedItem(item);
  if (BarControlExists(self) && manager_ && selectedControl_) manager_->SetMouseTrackedItem(selectedControl_);
}

void TCustomdxBarControl::MouseLeaveMessage(TMessage& msg) {
  if (markState_ == msSelected) SetMarkState(msNone);
  TdxBarControlRef self(this);
  TCustomControl::WndProc(msg);
  if (!BarControlExists(self)) return;
  auto* button = dynamic_cast<TdxBarButtonControl*>(selectedControl_);
  if (childBar_ || GetIsCustomizing() || (button && button->DroppedDown)) return;
  SetMouseSelectedItem(nullptr);
}

void TCustomdxBarControl::LButtonDownMessage(TMessage& msg) {
  msg.Result = 0;
  if (ignoreMouseClick_ || !HasVisibleLinks()) return;
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  bool inClient = ClientRect().Contains(p);
  TdxBarItemControl* item = inClient ? ItemAtPos(p) : nullptr;
  bool customizing = GetIsCustomizing();
  if (!customizing && item && (!item->GetEnabled() || !item->WantMouse())) item = nullptr;
  TdxBarControlRef self(this);
  if (customizing) {
    if (item && !item->CanCustomize()) return;
    if (item || !inClient) {
      if (item && item == selectedControl_) {
        if (item->Active())
          item->ControlInactivate(true);
        else
          item->ControlActivate(true);
        if (!BarControlExists(self)) return;
        if (manager_) manager_->SetSelectedItem(item);
        item->Repaint();
      }
      SetMouseSelectedItem(item);
      if (!BarControlExists(self)) return;
    }
    if (item && ItemExists(item)) {
      downPoint_ = p;
      if (manager_) manager_->SetDraggingItem(item->Item(), item->ItemLink());
      dragPending_ = true;
      SetCapture(handle_);
    }
    return;
  }
  if (!item) return;
  std::shared_ptr<const bool> alive = item->Alive();
  SetKeySelectedItem(item);
  if (!BarControlExists(self) || !*alive) return;
  if (auto* b = dynamic_cast<TdxBarButtonControl*>(item)) b->PressedMark = true;
  if (auto* s = dynamic_cast<TdxBarSubItemControl*>(item)) s->DragOpen = true;
  item->ControlClick(true);
  if (!BarControlExists(self) || !*alive || !ItemExists(item)) return;
  if (auto* b = dynamic_cast<TdxBarButtonControl*>(item)) b->PressedMark = false;
  if (dynamic_cast<TdxBarControl*>(this) && selectedControl_ && selectedControl_->NeedCaptureMouse()) {
    SetCapture(handle_);
    capturedControl_ = selectedControl_;
    capturedControlHot_ = true;
    selectedControl_->Repaint();
  }
  // A window control hears a press beside its window (a combo's button).
  if (auto* w = dynamic_cast<TdxBarWinControl*>(item)) w->BarMouseMessage(WM_LBUTTONDOWN, msg.WParam, p);
}

void TCustomdxBarControl::LButtonUpMessage(TMessage& msg) {
  msg.Result = 0;
  if (ignoreMouseClick_) {
    ignoreMouseClick_ = false;
    return;
  }
  if (dragPending_) {
    if (GetCapture() == handle_) ReleaseCapture();
    return;
  }
  bool heldCapture = capturedControl_ != nullptr;
  if (GetCapture() == handle_) ReleaseCapture();
  capturedControl_ = nullptr;
  TdxBarControlRef self(this);
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  if (ClientRect().Contains(p) && isActive_ && !GetIsCustomizing()) {
    TdxBarItemControl* item = ItemAtPos(p);
    TdxBarItemControl* selected = selectedControl_;
    if (item && item->WantMouse()) {
      if (item == selected && selected->GetEnabled()) {
        // A window control hears the release first.
        if (auto* w = dynamic_cast<TdxBarWinControl*>(selected)) {
          std::shared_ptr<const bool> alive = w->Alive();
          w->BarMouseMessage(WM_LBUTTONUP, msg.WParam, p);
          if (!*alive || !BarControlExists(self) || !ItemExists(selected)) return;
        }
        selected->ControlUnclick(true);
      } else if (dynamic_cast<TdxBarControl*>(this)) {
        // Released over another or a disabled item: nothing runs.
        auto* button = dynamic_cast<TdxBarButtonControl*>(selected);
        if (!(button && button->DroppedDown)) HideAll();
      }
    }
  }
  if (heldCapture && BarControlExists(self)) HideAll();
}

void TCustomdxBarControl::LButtonDblClkMessage(TMessage& msg) {
  msg.Result = 0;
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  if (!ClientRect().Contains(p)) return;
  TdxBarItemControl* item = ItemAtPos(p);
  if (!item || item != selectedControl_) return;
  if (item->WantsDblClick())
    DblClickOnItem(item);
  else
    SendMessageA(handle_, WM_LBUTTONDOWN, msg.WParam, msg.LParam);
}

void TCustomdxBarControl::DblClickOnItem(TdxBarItemControl* control) {
  if (manager_ && manager_->IsDesigning()) return;
  if (control->IsExpandable()) {
    auto* sub = dynamic_cast<TCustomdxBarSubItem*>(control->Item());
    TCustomdxBarControl* menu = sub ? sub->ItemLinks()->BarControl() : nullptr;
    if (menu && menu->MarkExists()) {
      menu->SetMarkState(msPressed);
      return;
    }
  }
  control->DblClick();
}

void TCustomdxBarControl::RButtonDownMessage(TMessage& msg) {
  if (!GetIsCustomizing()) {
    TCustomControl::WndProc(msg);
    return;
  }
  msg.Result = 0;
  TdxBarControlRef self(this);
  if (selectedControl_) selectedControl_->ControlInactivate(true);
  if (!BarControlExists(self)) return;
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  TdxBarItemControl* item = ClientRect().Contains(p) ? ItemAtPos(p) : nullptr;
  if (manager_) manager_->SetSelectedItem(item);
  if (item) item->Repaint();
  SetKeySelectedItem(item);
  if (!item || !BarControlExists(self)) return;
  dxBarShowCustomizingPopup(item, ClientToScreen(p));
}

// ---------------------------------------------------------------- keyboard

void TCustomdxBarControl::KeyDownMessage(TMessage& msg) {
  if (!ActiveBarControl()) {
    TCustomControl::WndProc(msg);
    return;
  }
  msg.Result = 0;
  WORD key = static_cast<WORD>(msg.WParam);
  bool menu = dynamic_cast<TdxBarSubMenuControl*>(this) != nullptr;
  if (IsToolbarControlVertical(this)) {
    switch (key) {
      case VK_LEFT: key = VK_UP; break;
      case VK_UP: key = VK_LEFT; break;
      case VK_RIGHT: key = VK_DOWN; break;
      case VK_DOWN: key = VK_RIGHT; break;
    }
  } else if (menu) {
    switch (key) {
      case VK_UP: key = VK_LEFT; break;
      case VK_DOWN: key = VK_RIGHT; break;
      case VK_LEFT:
      case VK_RIGHT: key = 0; break;
    }
  }
  bool tab = key == VK_TAB;
  if (tab) key = (dxBarSystem()->GetKeyState(VK_SHIFT) & 0x8000) ? VK_LEFT : VK_RIGHT;
  if (!itemLinks_) return;
  TdxBarItemLink* current = selectedControl_ ? selectedControl_->ItemLink() : nullptr;
  TdxBarItemLink* target = nullptr;
  switch (key) {
    case 0:
      return;
    case VK_RIGHT:
      target = current ? itemLinks_->Next(current) : itemLinks_->First();
      break;
    case VK_LEFT:
      // Nothing selected: the first, not the last.
      target = current ? itemLinks_->Prev(current) : itemLinks_->First();
      break;
    case VK_HOME:
      target = itemLinks_->First();
      break;
    case VK_END:
      target = itemLinks_->Last();
      break;
    case VK_MENU:
      HideAll();
      return;
    case VK_F1: {
      // Keys routed to the bars pass no TranslateMessage: F1 asks for help
      // here, about the selected control.
      HELPINFO info{};
      info.cbSize = sizeof info;
      info.iContextType = HELPINFO_WINDOW;
      info.hItemHandle = handle_;
      info.MousePos = dxBarSystem()->GetCursorPos();
      if (HandleAllocated()) SendMessageA(handle_, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
      return;
    }
    case VK_F10:
      if (manager_ && manager_->UseF10ForMenu()) {
        HideAll();
        return;
      }
      break;
    default:
      break;
  }
  if (key == VK_RIGHT || key == VK_LEFT || key == VK_HOME || key == VK_END) {
    if (target && target->Control()) {
      TdxBarItemControl* c = target->Control();
      bool changed = c != selectedControl_;
      TdxBarControlRef self(this);
      std::shared_ptr<const bool> alive = c->Alive();
      SetKeySelectedItem(c);
      if (tab && changed && BarControlExists(self) && *alive && c->IsWinControl()) c->Click(false);
    }
    return;
  }
  // Accelerators: letters and digits only.
  UINT ch = MapVirtualKeyA(key, MAPVK_VK_TO_CHAR) & 0xFFFF;
  if (ch >= 'a' && ch <= 'z') ch -= 'a' - 'A';
  if (!((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9'))) return;
  TShiftState shift = KeyShiftState();
  TdxBarItemLink* link = itemLinks_->FindItemWithAccel(key, shift, current);
  if (!link || !link->Item() || !link->Item()->Enabled()) return;
  int count = 1;
  bool hidden = link->VisibleIndex() == -1;
  TdxBarItemLink* next = link;
  for (int n = 0; n < itemLinks_->Count(); ++n) {
    next = itemLinks_->FindItemWithAccel(key, shift, next);
    if (!next || next == link) break;
    ++count;
    if (next->VisibleIndex() == -1) hidden = true;
  }
  if (menu && manager_ && manager_->Style() != bmsStandard) {
    bool stays = link->Control() && !link->Control()->IsDestroyOnClick();
    if ((count > 1 && hidden) || (count == 1 && hidden && stays)) SetMarkState(msPressed);
  }
  TdxBarControlRef self(this);
  if (link->Control()) SetKeySelectedItem(link->Control());
  if (count == 1 && BarControlExists(self) && HandleAllocated()) SendMessageA(handle_, WM_KEYDOWN, VK_RETURN, 0);
}
