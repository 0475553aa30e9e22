// Toolbar window input: hit tests, the cursor, presses that drag, dock,
// size or click, the floating close button, the MDI child buttons, the
// More Buttons mark, edit sizing while customizing, the keyboard and menu
// mode.
#include <algorithm>

#include "Dxbarcontrols.h"
#include "Dxbarquickcust.h"
#include "Dxbarwinitems.h"

#include <windowsx.h>

namespace {

// A toolbar button held down with the left mouse button: an MDI child
// button, or the close button shown alone.
struct THeld {
  bool Held = false;
  bool Pressed = false;
  TdxBarMDIButton Button = mdibClose;
  TdxBarControlRef Bar;
} gHeld;

// A mark's More Buttons hint timer: the toolbar window that started it
// keeps its id; one that no window keeps is stopped.
void CALLBACK MoreButtonsHintTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  CallGuarded([&] {
    for (int i = 0; i < BarControlCount(); ++i)
      if (auto* bar = dynamic_cast<TdxBarControl*>(GetBarControl(i)); bar && bar->MoreButtonsTimer() == id) {
        bar->MoreButtonsHintTick();
        return;
      }
    dxBarSystem()->KillTimer(id);
  });
}

const char* const kMoreButtonsHint = "More Buttons";

bool MDIButtonsShown(TdxBarControl* bar, std::vector<TdxBarMDIButton>& buttons) {
  buttons.clear();
  if (!bar->MDIButtonsOnBar()) return false;
  if (bar->RealMDIButtonsOnBar())
    buttons = {mdibMinimize, mdibRestore, mdibClose};
  else
    buttons = {mdibClose};
  return true;
}

void ActivateMainForm(TdxBarManager* m) {
  if (!m || m->HideFloatingBarsWhenInactive()) return;
  TCustomForm* form = m->MainForm();
  if (form && form->HandleAllocated() && IsWindowVisible(form->Handle()) && GetActiveWindow() != form->Handle())
    SetActiveWindow(form->Handle());
}

}  // namespace

bool dxBarButtonHeld() { return gHeld.Held; }

bool TdxBarControl::DropsMouse() {
  TCustomdxBarControl* active = ActiveBarControl();
  return active && active != this && !IsChildBar(active);
}

// ---------------------------------------------------------------- hit tests and the cursor

TdxBarHitTestInput TdxBarControl::HitTestInput(TPoint p, int inherited) {
  TdxBarHitTestInput in;
  in.Floating = dockingStyle_ == dsNone;
  in.Inherited = inherited;
  in.Style = manager_ ? manager_->Style() : bmsEnhanced;
  in.Customizing = GetIsCustomizing();
  in.InClient = ClientRect().Contains(p);
  in.OverMark = MarkExists() && MarkRect().Contains(p);
  in.OverClose = in.Floating && bar_ && bar_->CanClose() && CloseButtonRect().Contains(p);
  TdxBarItemControl* item = in.InClient ? ItemAtPos(p) : nullptr;
  in.OverWantMouseItem = item && item->WantMouse();
  std::vector<TdxBarMDIButton> buttons;
  if (in.InClient && MDIButtonsShown(this, buttons))
    for (TdxBarMDIButton b : buttons)
      if (RectMDI(b).Contains(p)) in.OverMDIButton = true;
  in.InSizeGrip = hasSizeGrip_ && SizeGripRect().Contains(p);
  TRect w = GetWindowRect();
  TPoint s = ClientToScreen(p);
  in.FromTop = s.y - w.top;
  in.FromBottom = w.bottom - 1 - s.y;
  in.BorderSizeY = manager_ ? manager_->BorderSizeY() : GetSystemMetrics(SM_CYFRAME);
  return in;
}

void TdxBarControl::NCHitTest(TMessage& msg) {
  TCustomdxBarControl::WndProc(msg);
  lastHitTest_ = 0;
  if (!HandleAllocated()) return;
  TPoint p = ScreenToClient(TPoint(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)));
  TdxBarHitTest t = dxBarToolbarHitTest(HitTestInput(p, static_cast<int>(msg.Result)));
  lastHitTest_ = t.Last;
  msg.Result = t.Result;
}

bool TdxBarControl::CanFinishMouseTracking(int hitTest) {
  return closeButtonState_ != msSelected && TCustomdxBarControl::CanFinishMouseTracking(hitTest);
}

bool TdxBarControl::SetCursorToolbar(TMessage& msg) {
  if (GetCapture() || !HandleAllocated()) return false;
  TPoint p = ScreenToClient(dxBarSystem()->GetCursorPos());
  if (GetIsCustomizing() && selectedControl_ && selectedControl_->EditSizingCaptionWidth() >= 0) {
    TRect r = GetItemRect(selectedControl_);
    bool left = p.y >= r.top && p.y < r.bottom && p.x >= r.left && p.x < r.left + 7;
    bool right = p.y >= r.top && p.y < r.bottom && p.x < r.right && p.x >= r.right - 7;
    editSizing_ = left || right;
    editSizingFromRight_ = right;
    if (editSizing_) {
      ::SetCursor(CursorHandle(crdxBarEditSizing));
      msg.Result = 1;
      return true;
    }
  } else {
    editSizing_ = false;
  }
  if (!moving_) SetCursorForMoving(GetSizeAllCursorBounds().Contains(p));
  return false;
}

// ---------------------------------------------------------------- pressing

void TdxBarControl::LButtonDownToolbar(TMessage& msg) {
  msg.Result = 0;
  if (ignoreMouseClick_) return;
  TdxBarControlRef self(this);
  ActivateMainForm(manager_);
  if (!BarControlExists(self) || !HandleAllocated()) return;
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  bool inClient = ClientRect().Contains(p);
  bool customizing = GetIsCustomizing();
  bool designing = manager_ && manager_->IsDesigning();
  TdxBarItemControl* item = inClient ? ItemAtPos(p) : nullptr;
  if (!item || (!designing && (!item->GetEnabled() || !item->WantMouse()))) {
    if (isActive_) SetIsActive(false);
  } else if (!customizing) {
    if (!isActive_) {
      BarGetFocus(item);
    } else if (item != selectedControl_ || (item->IsWinControl() && !item->HostedWindowFocused())) {
      // Another control in menu mode: its menu opens with the press.
      openMenu_ = false;
      SetKeySelectedItem(item);
    } else if (item->IsWinControl()) {
      // An in-bar window with the focus takes its own presses; one beside
      // it (a combo's button) is handed to it.
      if (auto* w = dynamic_cast<TdxBarWinControl*>(item)) w->BarMouseMessage(WM_LBUTTONDOWN, msg.WParam, p);
      return;
    } else if (!dynamic_cast<TdxBarButtonControl*>(item) && openMenu_) {
      // A press on the open menu's item closes it.
      BarLostFocus();
    }
    if (!BarControlExists(self)) return;
    if (isActive_ && !item->IsWinControl()) openMenu_ = true;
  } else if (!isActive_) {
    BarGetFocus(item);
  }
  if (!BarControlExists(self) || !HandleAllocated()) return;
  if (editSizing_) {
    SetCapture(handle_);
    return;
  }
  LButtonDownMessage(msg);
  if (!BarControlExists(self) || !HandleAllocated()) return;
  std::vector<TdxBarMDIButton> buttons;
  if (!customizing && MDIButtonsShown(this, buttons)) {
    bool real = RealMDIButtonsOnBar();
    for (TdxBarMDIButton b : buttons) {
      if (!RectMDI(b).Contains(p)) continue;
      if (real && !MDIButtonEnabled(b, MF_GRAYED | MF_DISABLED)) return;
      gHeld.Held = true;
      gHeld.Pressed = true;
      gHeld.Button = b;
      gHeld.Bar = TdxBarControlRef(this);
      HDC dc = GetDC(handle_);
      DrawMDIButton(dc, b, true);
      ReleaseDC(handle_, dc);
      SetCapture(handle_);
      return;
    }
  }
  if (lastHitTest_ != HTCAPTION) {
    CheckMarkState(p);
    if (!BarControlExists(self) || customizing || inClient || !HandleAllocated()) return;
    TPoint s = ClientToScreen(p);
    SendMessageA(handle_, WM_NCLBUTTONDOWN, static_cast<WPARAM>(lastHitTest_), MAKELPARAM(s.x, s.y));
    return;
  }
  TPoint cursor = dxBarSystem()->GetCursorPos();
  TRect w = GetWindowRect();
  SetGrab(cursor.x - w.left, w.Width(), cursor.y - w.top, w.Height());
  if (manager_) manager_->Bars()->Moving(this);
}

void TdxBarControl::LButtonDblClkToolbar(TMessage& msg) {
  msg.Result = 0;
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  // A quick second press on an MDI button is a press again.
  std::vector<TdxBarMDIButton> buttons;
  if (!GetIsCustomizing() && MDIButtonsShown(this, buttons))
    for (TdxBarMDIButton b : buttons)
      if (RectMDI(b).Contains(p)) {
        msg.Msg = WM_LBUTTONDOWN;
        LButtonDownToolbar(msg);
        return;
      }
  if (lastHitTest_ == HTCAPTION) {
    if (!(manager_ && manager_->IsDesigning())) ToggleDocking();
    return;
  }
  if (!WantsDoubleClicks()) {
    msg.Msg = WM_LBUTTONDOWN;
    LButtonDownToolbar(msg);
    return;
  }
  TdxBarControlRef self(this);
  if (ClientRect().Contains(p)) CheckMarkState(p);
  if (BarControlExists(self)) LButtonDblClkMessage(msg);
}

void TdxBarControl::ToggleDocking() {
  TdxBar* bar = bar_;
  TdxBarManager* m = manager_;
  if (!bar || !m) return;
  // The window is made again on the way: nothing of it is used afterwards.
  if (dockingStyle_ != dsNone) {
    if (!m->DoDocking(bar, dsNone, nullptr)) return;
    bar->SetDockingStyle(dsNone);
    return;
  }
  TdxBarDockingStyle style = dsTop;
  TdxDockControl* dock = nullptr;
  if (bar->EverDocked()) {
    style = bar->DockedDockingStyle();
    if (style == dsNone) style = dsTop;
    dock = bar->DockedDockControl();
  }
  if (!dock) dock = m->Bars()->GetDockControl(style);
  if (!bar->EverDocked()) {
    bar->SetOneOnRow(true);
    bar->SetRow(dock ? dock->GetRowCount() : 0);
  }
  if (!m->DoDocking(bar, style, dock)) return;
  auto* placed = dynamic_cast<TdxBarDockControl*>(dock);
  if (placed && !placed->Main())
    bar->SetDockControl(placed);
  else
    bar->SetDockingStyle(style);
}

void TdxBarControl::RButtonDownToolbar(TMessage& msg) {
  TdxBarControlRef self(this);
  if (GetCapture() == handle_) ReleaseCapture();
  bool customizing = GetIsCustomizing();
  if (customizing && isActive_) SetIsActive(false);
  if (!BarControlExists(self)) return;
  RButtonDownMessage(msg);
  if (customizing || !BarControlExists(self) || !HandleAllocated()) return;
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  dxBarShowToolbarsPopup(manager_, ClientToScreen(p));
}

// ---------------------------------------------------------------- moving and releasing

bool TdxBarControl::NotHandleMouseMove(TPoint p) {
  if (TCustomdxBarControl::NotHandleMouseMove(p)) return true;
  if (dockingStyle_ == dsNone) return false;
  TCustomForm* form = manager_ ? manager_->MainForm() : nullptr;
  if (!form || !form->HandleAllocated()) return true;
  HWND active = GetActiveWindow();
  bool appActive = active != nullptr;
  if (form->FormStyle() == fsMDIForm && appActive) return false;
  if (dxBarFormIsActive(form)) return false;
  auto* bar = dynamic_cast<TCustomdxBarControl*>(FindControlOrParent(active));
  return !(bar && bar->BarManager() == manager_);
}

void TdxBarControl::MouseMoveToolbar(TMessage& msg) {
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  if (gHeld.Held && gHeld.Bar.Control() == this) {
    bool pressed = RectMDI(gHeld.Button).Contains(p);
    if (pressed != gHeld.Pressed && HandleAllocated()) {
      gHeld.Pressed = pressed;
      HDC dc = GetDC(handle_);
      DrawMDIButton(dc, gHeld.Button, pressed);
      ReleaseDC(handle_, dc);
    }
    msg.Result = 0;
    return;
  }
  if (editSizing_ && HandleAllocated() && GetCapture() == handle_ && GetIsCustomizing() && selectedControl_) {
    TRect r = GetItemRect(selectedControl_);
    int width = (editSizingFromRight_ ? p.x - r.left : r.right - p.x) - selectedControl_->EditSizingCaptionWidth();
    CheckMinEditWidth(width);
    if (width != editSizingWidth_) {
      if (editSizingWidth_ >= 1)
        DrawEditSizingFrame(editSizingWidth_);
      else
        selectedControl_->Repaint();
      editSizingWidth_ = width;
      DrawEditSizingFrame(width);
    }
    msg.Result = 0;
    return;
  }
  bool handles = !NotHandleMouseMove(p);
  TdxBarControlRef self(this);
  MouseMoveMessage(msg);
  if (!BarControlExists(self) || !HandleAllocated() || !handles || ActiveBarControl()) return;
  if (manager_ && manager_->Style() != bmsStandard && MarkExists() && markState_ != msPressed) {
    SetMarkState(MarkRect().Contains(p) ? msSelected : msNone);
    if (!BarControlExists(self)) return;
  }
  if (dockingStyle_ == dsNone && Flat() && bar_ && bar_->CanClose()) {
    bool in = CloseButtonRect().Contains(p);
    SetCloseButtonState(in ? msSelected : msNone);
    if (in) BeginMouseTracking(handle_);
  }
}

void TdxBarControl::MouseLeaveToolbar(TMessage& msg) {
  if (isActive_) {
    if (dynamic_cast<TdxBarButtonControl*>(selectedControl_)) selectedControl_->Repaint();
    msg.Result = 0;
    return;
  }
  TdxBarControlRef self(this);
  MouseLeaveMessage(msg);
  if (BarControlExists(self)) SetCloseButtonState(msNone);
}

void TdxBarControl::LButtonUpToolbar(TMessage& msg) {
  msg.Result = 0;
  if (ignoreMouseClick_) {
    ignoreMouseClick_ = false;
    return;
  }
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  TdxBarControlRef self(this);
  if (editSizing_) {
    TdxBarItemControl* c = selectedControl_;
    int width = editSizingWidth_;
    if (width >= 1) {
      DrawEditSizingFrame(width);
      if (c && c->ItemLink()) {
        if (width == c->ItemLink()->Width())
          c->Repaint();
        else
          c->ItemLink()->SetUserWidth(width);
      }
    }
    if (BarControlExists(self)) {
      editSizingWidth_ = 0;
      if (GetCapture() == handle_) ReleaseCapture();
    }
    return;
  }
  if (gHeld.Held && gHeld.Bar.Control() == this) {
    THeld held = gHeld;
    gHeld = THeld();
    if (GetCapture() == handle_) ReleaseCapture();
    if (!BarControlExists(self) || !HandleAllocated()) return;
    bool on = RectMDI(held.Button).Contains(p);
    if (RealMDIButtonsOnBar()) {
      HDC dc = GetDC(handle_);
      DrawMDIButton(dc, held.Button, false);
      ReleaseDC(handle_, dc);
      if (on)
        if (HWND child = ActiveMDIChildHandle()) {
          WPARAM command = held.Button == mdibMinimize ? SC_MINIMIZE : held.Button == mdibRestore ? SC_RESTORE : SC_CLOSE;
          SendMessageA(child, WM_SYSCOMMAND, command, 0);
        }
    } else if (on) {
      InvalidateRect(handle_, nullptr, FALSE);
      if (manager_) manager_->DoCloseButtonClick();
    } else {
      HDC dc = GetDC(handle_);
      DrawMDIButton(dc, held.Button, false);
      ReleaseDC(handle_, dc);
    }
    if (!BarControlExists(self) || !HandleAllocated()) return;
  }
  LButtonUpMessage(msg);
}

void TdxBarControl::CancelModeToolbar() {
  if (!gHeld.Held || gHeld.Bar.Control() != this) return;
  gHeld = THeld();
  if (HandleAllocated()) {
    if (GetCapture() == handle_) ReleaseCapture();
    InvalidateRect(handle_, nullptr, FALSE);
  }
}

void TdxBarControl::CaptureChangedToolbar(TMessage& msg) {
  if (editSizing_) {
    editSizing_ = false;
    if (editSizingWidth_ >= 1) DrawEditSizingFrame(editSizingWidth_);
    editSizingWidth_ = 0;
    if (selectedControl_) selectedControl_->Repaint();
  }
  if (gHeld.Held && gHeld.Bar.Control() == this && reinterpret_cast<HWND>(msg.LParam) != handle_) {
    gHeld = THeld();
    if (HandleAllocated()) InvalidateRect(handle_, nullptr, FALSE);
  }
  TCustomdxBarControl::WndProc(msg);
}

// ---------------------------------------------------------------- edit sizing

TRect TdxBarControl::EditSizingRect(int width) {
  if (!selectedControl_) return TRect();
  TRect r = GetItemRect(selectedControl_);
  int total = selectedControl_->EditSizingCaptionWidth() + width;
  return editSizingFromRight_ ? TRect(r.left, r.top, r.left + total, r.bottom)
                              : TRect(r.right - total, r.top, r.right, r.bottom);
}

void TdxBarControl::DrawEditSizingFrame(int width) {
  if (!HandleAllocated()) return;
  // Drawn on the bar's own DC: a frame inverted on the screen DC does not
  // show over the window surfaces of every system.
  TRect r = EditSizingRect(width);
  HDC dc = GetDC(handle_);
  PatBlt(dc, r.left, r.top, r.Width(), 2, DSTINVERT);
  PatBlt(dc, r.left, r.bottom - 2, r.Width(), 2, DSTINVERT);
  PatBlt(dc, r.left, r.top + 2, 2, r.Height() - 4, DSTINVERT);
  PatBlt(dc, r.right - 2, r.top + 2, 2, r.Height() - 4, DSTINVERT);
  ReleaseDC(handle_, dc);
}

// ---------------------------------------------------------------- the close button

void TdxBarControl::NCLButtonDownToolbar(TMessage& msg) {
  TdxBarControlRef self(this);
  if (manager_) manager_->HideAll();
  if (!BarControlExists(self) || !HandleAllocated()) return;
  if (msg.WParam != HTCLOSE) {
    TCustomdxBarControl::WndProc(msg);
    return;
  }
  msg.Result = 0;
  ActivateMainForm(manager_);
  if (!BarControlExists(self) || !HandleAllocated()) return;
  TdxBar* bar = bar_;
  TdxBarManager* m = manager_;
  HWND wnd = handle_;
  SetCloseButtonState(msPressed);
  SetCapture(wnd);
  bool clicked = false, ended = false;
  auto finish = [&] {
    if (GetCapture() == wnd) ReleaseCapture();
    if (BarControlExists(self)) SetCloseButtonState(msNone);
  };
  {
    TFinally guard([&] { finish(); });
    dxBarMessageLoop(
        [&](MSG& m2) {
          if (m2.message == WM_MOUSEMOVE) {
            if (BarControlExists(self) && HandleAllocated()) {
              TPoint c = ScreenToClient(dxBarSystem()->GetCursorPos());
              SetCloseButtonState(CloseButtonRect().Contains(c) ? msPressed : msSelected);
            }
            return true;
          }
          if (m2.message == WM_LBUTTONUP) {
            clicked = BarControlExists(self) && closeButtonState_ == msPressed;
            ended = true;
            return true;
          }
          return false;
        },
        [&] { return ended || GetCapture() != wnd || !BarControlExists(self); });
  }
  if (!clicked || !bar || !m) return;
  bar->SetVisible(false);
  m->DoBarClose(bar);
}

// ---------------------------------------------------------------- the More Buttons mark

void TdxBarControl::CheckMarkState(TPoint p) {
  if (!manager_ || manager_->Style() == bmsStandard || !MarkExists() || !MarkRect().Contains(p)) return;
  SetMarkState(markState_ == msPressed ? msSelected : msPressed);
}

void TdxBarControl::SetMarkState(TdxBarMarkState value) {
  if (GetIsCustomizing() || value == markState_) return;
  if (moreButtonsTimer_) dxBarSystem()->KillTimer(moreButtonsTimer_);
  moreButtonsTimer_ = 0;
  markState_ = value;
  if (value != msPressed)
    if (TdxBarQuickControl* quick = dxBarQuickControl(); quick && quick->OwnerBar() == this) quick->Free();
  switch (value) {
    case msSelected:
      if (dockingStyle_ == dsNone) StartMoreButtonsHintTimer();
      if (manager_) manager_->HintActivate(true, kMoreButtonsHint);
      break;
    case msNone:
      if (manager_ && !selectedControl_) manager_->HintActivate(false, "");
      break;
    case msPressed: {
      if (manager_) manager_->HintActivate(false, "");
      TdxBarControlRef self(this);
      // Another toolbar's window closes with its mark.
      if (TdxBarQuickControl* old = dxBarQuickControl()) {
        if (old->OwnerBar() && old->OwnerBar() != this)
          old->OwnerBar()->SetMarkState(msNone);
        else
          old->Free();
      }
      if (!BarControlExists(self) || markState_ != msPressed) return;
      auto* quick = new TdxBarQuickControl(this);
      TdxBarControlRef quickRef(quick);
      quick->Popup();
      if (!BarControlExists(self)) return;
      PlayMenuSound(0);
      break;
    }
  }
  InvalidateMark();
}

void TdxBarControl::StartMoreButtonsHintTimer() {
  if (moreButtonsTimer_) dxBarSystem()->KillTimer(moreButtonsTimer_);
  moreButtonsTimer_ = dxBarSystem()->SetTimer(50, MoreButtonsHintTimerProc);
}

void TdxBarControl::FinishMoreButtonsHintTimer() {
  if (moreButtonsTimer_) dxBarSystem()->KillTimer(moreButtonsTimer_);
  moreButtonsTimer_ = 0;
  if (markState_ == msSelected) SetMarkState(msNone);
}

void TdxBarControl::MoreButtonsHintTick() {
  bool visible = HandleAllocated() && IsWindowVisible(handle_);
  if (!visible || !MarkRect().Contains(ScreenToClient(dxBarSystem()->GetCursorPos()))) FinishMoreButtonsHintTimer();
}

// ---------------------------------------------------------------- keyboard and menu mode

void TdxBarControl::KeyDownToolbar(WORD key) {
  if (!ActiveBarControl() || !isActive_) return;
  if (SelectedItemWantsKey(key)) {
    selectedControl_->KeyDown(key);
    return;
  }
  if (IsToolbarControlVertical(this)) {
    switch (key) {
      case VK_LEFT: key = VK_UP; break;
      case VK_UP: key = VK_LEFT; break;
      case VK_RIGHT: key = VK_DOWN; break;
      case VK_DOWN: key = VK_RIGHT; break;
    }
  }
  switch (key) {
    case VK_ESCAPE:
      HideAll();
      return;
    case VK_RETURN:
    case VK_UP:
    case VK_DOWN: {
      auto* sub = dynamic_cast<TdxBarSubItemControl*>(selectedControl_);
      if (sub && sub->GetEnabled()) openMenu_ = true;
      if (key == VK_RETURN) {
        if (selectedControl_) selectedControl_->Click(false);
      } else if (sub) {
        sub->Click(false);
      }
      return;
    }
    default:
      return;
  }
}

void TdxBarControl::SetIsActive(bool value) {
  TdxBarControlRef self(this);
  if (!value && isActive_) {
    if (GetIsCustomizing()) SetMouseSelectedItem(nullptr);
    if (!BarControlExists(self)) return;
    if (auto* b = dynamic_cast<TdxBarButtonControl*>(selectedControl_); b && b->Active()) b->ControlInactivate(true);
    if (!BarControlExists(self)) return;
    if (openMenu_) openMenu_ = false;
    if (!GetIsCustomizing()) BarLostFocus();
  }
  if (BarControlExists(self)) TCustomdxBarControl::SetIsActive(value);
}

void TdxBarControl::SetKeySelectedItem(TdxBarItemControl* control) {
  bool changed = control != selectedControl_;
  TdxBarControlRef self(this);
  TCustomdxBarControl::SetKeySelectedItem(control);
  if (!changed || !control || !BarControlExists(self) || GetIsCustomizing() || control->Active()) return;
  if (selectedControl_ != control) return;
  if (dynamic_cast<TdxBarSubItemControl*>(control))
    control->ControlClick(false);
  else
    control->ControlActivate(true);
}

void TdxBarControl::HideAll() {
  TdxBarControlRef self(this);
  BarLostFocus();
  if (BarControlExists(self)) TCustomdxBarControl::HideAll();
}

void TdxBarControl::BarGetFocus(TdxBarItemControl* control) {
  TdxBarControlRef self(this);
  TPoint cursor = dxBarSystem()->GetCursorPos();
  if (auto* under = dynamic_cast<TCustomdxBarControl*>(FindControlOrParent(WindowFromPoint(cursor))))
    if (under != this && under->HandleAllocated()) EndMouseTracking(under->Handle());
  TCustomForm* form = manager_ ? manager_->MainForm() : nullptr;
  if (form) {
    if (TWinControl* active = form->ActiveControl()) active->Perform(CM_CANCELMODE);
    if (TCustomForm* child = form->FormStyle() == fsMDIForm ? form->ActiveMDIChild() : nullptr)
      if (TWinControl* active = child->ActiveControl()) active->Perform(CM_CANCELMODE);
  }
  if (!BarControlExists(self)) return;
  savedFocus_ = GetFocus();
  if (form && form->HandleAllocated() && !GetIsCustomizing() && IsWindowVisible(form->Handle()))
    SetWindowPos(form->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (!control && itemLinks_)
    if (TdxBarItemLink* first = itemLinks_->First()) control = first->Control();
  SetKeySelectedItem(control);
  if (!BarControlExists(self)) return;
  SetIsActive(true);
  if (manager_) manager_->SetFocusedBarControl(this);
}

void TdxBarControl::BarLostFocus() {
  if (!manager_ || manager_->FocusedBarControl() != this) return;
  manager_->SetFocusedBarControl(nullptr);
  TdxBarControlRef self(this);
  SetKeySelectedItem(nullptr);
  if (!BarControlExists(self)) return;
  SetIsActive(false);
  if (!BarControlExists(self)) return;
  // The bar under the cursor finds its hot item again.
  TPoint cursor = dxBarSystem()->GetCursorPos();
  if (auto* under = dynamic_cast<TCustomdxBarControl*>(FindControlOrParent(WindowFromPoint(cursor)))) {
    under->SetLastMousePos(TPoint(-1, -1));
    if (under->HandleAllocated()) {
      TPoint p = under->ScreenToClient(cursor);
      PostMessageA(under->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    }
  }
  TCustomForm* form = manager_ ? manager_->MainForm() : nullptr;
  HWND saved = savedFocus_;
  savedFocus_ = nullptr;
  if (form && dxBarFormIsActive(form) && saved && IsWindow(saved) && IsWindowVisible(saved) && GetFocus() != saved)
    ::SetFocus(saved);
}
