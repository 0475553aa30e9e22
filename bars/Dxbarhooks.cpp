// The three thread hooks of the bars: keys to the active bar window, Alt
// and F10 to the main menu bar, shortcuts and accelerators to the items,
// context menus to the popup-menu links; outside clicks close the menus;
// the messages of managed forms and of MDI children reach their managers.
#include <algorithm>

#include "Dxbaranimation.h"
#include "Dxbarcontrols.h"
#include "customize/Dxbarcustform.h"
#include "Dxbarquickcust.h"

namespace {

// A key-down forwarded to the active bar window: its key-up is swallowed.
bool gKeySwallow = false;
WORD gSwallowedKey = 0;
// Alt went down alone so far.
bool gAltFlag = false;
// An in-bar edit window hands a key on by a plain call.
bool gDirectCall = false;
// The closing step of the mouse hook runs.
bool gMouseGuard = false;

// The key is down: by the asynchronous state, or by the state of the input
// this thread has taken (the asynchronous one may lag behind it).
bool Down(int key) {
  return ((dxBarSystem()->GetAsyncKeyState(key) | dxBarSystem()->GetKeyState(key)) & 0x8000) != 0;
}

// No key at all is down (the Alt being released aside).
bool NoKeyDown() {
  BYTE state[256];
  dxBarSystem()->GetKeyboardState(state);
  for (int k = 0; k < 256; ++k) {
    if (k == VK_MENU || k == VK_LMENU || k == VK_RMENU) continue;
    if (state[k] & 0x80) return false;
  }
  return true;
}

TWinControl* ControlOf(HWND wnd) { return dynamic_cast<TWinControl*>(FindControlOrParent(wnd)); }

TdxBarManager* ManagerOfControl(TControl* control) {
  return control ? GetBarManagerByForm(GetParentForm(control)) : nullptr;
}

// The manager whose bars a key is for: the active form's (an MDI frame
// stands for its active child), or the main form's for an MDI child
// without main menu and, when it allows it, for other forms.
TdxBarManager* KeyManager() {
  auto* form = dynamic_cast<TCustomForm*>(TObjectWindowClass::ObjectOf(GetActiveWindow()));
  if (!form || form->IsDesigning()) return nullptr;
  if (form->FormStyle() == fsMDIForm)
    if (TCustomForm* child = form->ActiveMDIChild()) form = child;
  TdxBarManager* m = GetBarManagerByForm(form);
  TCustomForm* main = Application ? Application->MainForm() : nullptr;
  TdxBarManager* mainManager = GetBarManagerByForm(main);
  if (form->FormStyle() == fsMDIChild) {
    if (!m || !m->MainMenuControl()) m = mainManager;
  } else if (!m && mainManager && mainManager->AllowCallFromAnotherForm() && main->HandleAllocated() &&
             IsWindowEnabled(main->Handle())) {
    m = mainManager;
  }
  return m;
}

TShiftState CurrentShift() {
  TShiftState s;
  if (Down(VK_SHIFT)) s << ssShift;
  if (Down(VK_CONTROL)) s << ssCtrl;
  if (Down(VK_MENU)) s << ssAlt;
  return s;
}

bool HandleKey(WORD key, LPARAM keyData) {
  bool up = (keyData & 0x80000000) != 0;
  if (dxBarButtonHeld()) return true;
  if (key == VK_PROCESSKEY) return false;
  if (up && gKeySwallow && key == gSwallowedKey) {
    gKeySwallow = false;
    return true;
  }
  TCustomdxBarControl* active = ActiveBarControl();
  if (active && active->BarManager() && !active->BarManager()->MenuDetaching() && active->HandleAllocated()) {
    if (!active->GetIsCustomizing()) {
      TdxBarItemControl* selected = active->SelectedControl();
      if (!(selected && selected->IsWinControl() && selected->HostedWindowFocused())) {
        if (!up) {
          gKeySwallow = true;
          gSwallowedKey = key;
        }
        SendMessageA(active->Handle(), up ? WM_KEYUP : WM_KEYDOWN, key, keyData);
        // A key that closed every menu while still held: its key-up is
        // swallowed too.
        if (ActiveBarControl() || !Down(key)) gKeySwallow = false;
        return true;
      }
    } else if (!up && key == VK_ESCAPE && GetCapture() == active->Handle()) {
      ReleaseCapture();
      return true;
    }
  }
  if (GetCapture()) return false;
  bool shift = Down(VK_SHIFT), ctrl = Down(VK_CONTROL), alt = Down(VK_MENU);
  if ((up && key == VK_APPS) || (!up && key == VK_F10 && shift && !ctrl && !alt)) {
    HWND focus = GetFocus();
    TWinControl* control = ControlOf(focus);
    TdxBarManager* m = ManagerOfControl(control);
    if (m && m->PopupMenuLinks()->DoAction(control, focus, TPoint(-1, -1))) return true;
  }
  TdxBarManager* m = KeyManager();
  if (!m || m->IsCustomizing() || m->BarControlFocused()) return false;
  if (up) {
    bool altAlone = key == VK_MENU && gAltFlag && NoKeyDown();
    bool f10 = m->UseF10ForMenu() && key == VK_F10 && !shift && !ctrl && !alt;
    gAltFlag = false;
    if (m->MainMenuControl() && (altAlone || f10)) {
      m->MainMenuControl()->BarGetFocus(nullptr);
      return true;
    }
    return false;
  }
  if (key == VK_MENU) {
    gAltFlag = true;
    return false;
  }
  gAltFlag = false;
  TShortCut shortCut = key | (shift ? 0x2000 : 0) | (ctrl ? 0x4000 : 0) | (alt ? 0x8000 : 0);
  TWinControl* focused = ControlOf(GetFocus());
  if (TdxBarManager* fm = ManagerOfControl(focused); fm && fm->PopupMenuLinks()->IsShortCut(focused, shortCut))
    return true;
  TdxBar* mainMenu = m->MainMenuBar();
  if (mainMenu && mainMenu->IsShortCut(shortCut)) return true;
  for (int i = 0; i < m->Bars()->Count(); ++i) {
    TdxBar* bar = m->Bars()->Items(i);
    if (bar && bar != mainMenu && bar->Visible() && bar->IsShortCut(shortCut)) return true;
  }
  if (!alt) return false;
  TShiftState accelShift = CurrentShift();
  accelShift >> ssAlt;
  TdxBarItemLink* link = nullptr;
  if (m->MainMenuControl()) {
    link = mainMenu->ItemLinks()->FindItemWithAccel(key, accelShift, nullptr);
  } else {
    for (int i = 0; i < m->Bars()->Count() && !link; ++i) {
      TdxBar* bar = m->Bars()->Items(i);
      if (bar && bar != mainMenu && bar->Visible()) link = bar->ItemLinks()->FindItemWithAccel(key, accelShift, nullptr);
    }
  }
  if (!link || !link->Item() || !link->Item()->Enabled()) return false;
  bool unique = link->Owner()->FindItemWithAccel(key, accelShift, link) == link;
  TdxBarItemControl* control = link->Control();
  auto* bar = dynamic_cast<TdxBarControl*>(link->Owner()->BarControl());
  if (!control || !bar) return true;
  TdxBarControlRef barRef(bar);
  std::shared_ptr<const bool> alive = control->Alive();
  if (!control->IsDestroyOnClick() || !unique) bar->BarGetFocus(control);
  if (unique && *alive && BarControlExists(barRef)) {
    if (dynamic_cast<TdxBarSubItemControl*>(control)) bar->SetOpenMenu(true);
    control->Click(false);
  }
  return true;
}

// ---------------------------------------------------------------- the mouse

// hwnd lies in the active bar window's chain, or in the open drop-down of
// its selected control.
bool IsInside(TCustomdxBarControl* active, HWND wnd) {
  if (!active || !wnd) return false;
  HWND parent = GetParent(wnd);
  int depth = 0;
  for (TCustomdxBarControl* b = active; b && depth < 64; b = b->ParentBar(), ++depth) {
    if (!b->HandleAllocated()) continue;
    if (wnd == b->Handle() || parent == b->Handle()) return true;
  }
  if (TdxBarItemControl* selected = active->SelectedControl()) {
    HWND dropDown = selected->DropDownWindow();
    if (dropDown && IsWindowVisible(dropDown) && (wnd == dropDown || IsChild(dropDown, wnd))) return true;
  }
  return false;
}

TdxBarItemControl* CapturedControl(HWND wnd, POINT pt) {
  if (auto* bar = dynamic_cast<TCustomdxBarControl*>(TObjectWindowClass::ObjectOf(wnd))) return bar->SelectedControl();
  TCustomdxBarControl* active = ActiveBarControl();
  if (!GetCapture() || !active || !active->HandleAllocated()) return nullptr;
  if (WindowFromPointDeep(TPoint(pt)) == active->Handle()) return active->SelectedControl();
  TdxBarItemControl* selected = active->SelectedControl();
  return selected && selected->DropDownWindow() ? selected : nullptr;
}

bool IsCloseTrigger(UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONDBLCLK:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONDBLCLK:
      return true;
    default:
      return false;
  }
}

// While customizing, a click that a form disabled by the Customize window
// would swallow goes to the bar window under the mouse: that window, or
// none.
TCustomdxBarControl* RedirectionTarget(const MOUSEHOOKSTRUCT& info) {
  if (info.wHitTestCode != static_cast<UINT>(HTERROR)) return nullptr;
  auto* form = dynamic_cast<TCustomForm*>(TObjectWindowClass::ObjectOf(info.hwnd));
  if (!form) return nullptr;
  TdxBarManager* m = GetBarManagerByForm(form);
  if (!m || !m->IsCustomizing()) m = dxBarManagerList ? dxBarManagerList->CustomizingBarManager() : nullptr;
  TdxBarCustomizingForm* customizing = dxBarCustomizingForm();
  if (!m || !m->IsCustomizing() || !customizing || !customizing->HandleAllocated() ||
      GetActiveWindow() != customizing->Handle())
    return nullptr;
  for (int i = 0; i < m->Bars()->Count(); ++i)
    if (TCustomdxBarControl* c = m->Bars()->Items(i)->Control(); c && c->WantMouse()) return c;
  return nullptr;
}

bool HandleMouse(UINT msg, const MOUSEHOOKSTRUCT& info) {
  HWND wnd = info.hwnd;
  TCustomdxBarControl* redirected = RedirectionTarget(info);
  TdxBarControlRef redirectedRef(redirected);
  if (redirected) {
    wnd = redirected->Handle();
    LRESULT hit = SendMessageA(wnd, WM_NCHITTEST, 0, MAKELPARAM(info.pt.x, info.pt.y));
    SendMessageA(wnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(wnd), MAKELPARAM(LOWORD(hit), msg));
  }
  if (!gMouseGuard && ActiveBarControl()) {
    gMouseGuard = true;
    TFinally guard([] { gMouseGuard = false; });
    TCustomdxBarControl* active = ActiveBarControl();
    TdxBarItemControl* captured = CapturedControl(wnd, info.pt);
    bool release = msg == WM_RBUTTONUP || msg == WM_NCRBUTTONUP || msg == WM_MBUTTONUP || msg == WM_NCMBUTTONUP;
    // A right or middle release outside the menus is eaten.
    if (release && !captured && !IsInside(active, wnd)) return true;
    TdxBarManager* m = active->BarManager();
    if (!(m && m->Dragging())) {
      for (int n = 0; n < 64 && (active = ActiveBarControl()); ++n) {
        bool up = (msg == WM_LBUTTONUP || msg == WM_NCLBUTTONUP) && !captured && !dxBarMenuAnimating() &&
                  !active->GetIsCustomizing() &&
                  (dynamic_cast<TdxBarControl*>(active) || active->ParentBar());
        if (!(up || IsCloseTrigger(msg)) || IsInside(active, wnd)) break;
        active->HideAll();
      }
    }
    if (wnd && !IsWindowVisible(wnd)) return true;
  }
  if (redirected) {
    if (!BarControlExists(redirectedRef) || !redirected->HandleAllocated()) return true;
    TPoint p(info.pt);
    UINT m = msg;
    if (m >= WM_NCMOUSEMOVE && m <= WM_NCMBUTTONDBLCLK) m = m - WM_NCMOUSEMOVE + WM_MOUSEMOVE;
    p = redirected->ScreenToClient(p);
    if (m != WM_MOUSEMOVE)
      if (TdxBarCustomizingForm* f = dxBarCustomizingForm(); f && f->HandleAllocated()) SetForegroundWindow(f->Handle());
    WPARAM keys = (LeftButtonPressed() ? MK_LBUTTON : 0) |
                  ((dxBarSystem()->GetAsyncKeyState(VK_RBUTTON) & 0x8000) ? MK_RBUTTON : 0) |
                  ((dxBarSystem()->GetAsyncKeyState(VK_SHIFT) & 0x8000) ? MK_SHIFT : 0) |
                  ((dxBarSystem()->GetAsyncKeyState(VK_CONTROL) & 0x8000) ? MK_CONTROL : 0) |
                  ((dxBarSystem()->GetAsyncKeyState(VK_MBUTTON) & 0x8000) ? MK_MBUTTON : 0);
    SendMessageA(redirected->Handle(), m, keys, MAKELPARAM(p.x, p.y));
    return true;
  }
  dxBarQuickControlMouse(msg, wnd, info.pt);
  if (msg == WM_RBUTTONUP || msg == WM_NCRBUTTONUP) {
    TWinControl* control = ControlOf(wnd);
    TdxBarManager* m = ManagerOfControl(control);
    if (m && m->PopupMenuLinks()->DoAction(control, wnd, TPoint(info.pt))) return true;
  }
  return false;
}

// ---------------------------------------------------------------- forms

// The form window that holds wnd (wnd itself, or its nearest ancestor or
// owner that is a form).
HWND FormWindowOf(HWND wnd) {
  for (int depth = 0; wnd && depth < 64; ++depth, wnd = GetParent(wnd))
    if (dynamic_cast<TCustomForm*>(TObjectWindowClass::ObjectOf(wnd))) return wnd;
  return nullptr;
}

void HandleCallWndProc(const CWPSTRUCT& cwp, bool after) {
  HWND wnd = cwp.hwnd;
  if (!after) {
    if (cwp.message == WM_HELP)
      if (TCustomdxBarControl* active = ActiveBarControl(); active && active->BarManager()) {
        TCustomForm* main = active->BarManager()->MainForm();
        HWND mainWnd = main && main->HandleAllocated() ? main->Handle() : nullptr;
        if (mainWnd && FormWindowOf(wnd) != mainWnd) wnd = mainWnd;
      }
    // The form's own window only, not its children's; a form lets its
    // window go before destroying it, so WM_DESTROY comes on a window that
    // is known by its handle.
    TWindowObject* object = TObjectWindowClass::ObjectOf(wnd);
    TdxBarManager* m = nullptr;
    if (auto* form = dynamic_cast<TCustomForm*>(object)) {
      m = GetBarManagerByForm(form);
      if (m) m->SetFormWindow(wnd);
    } else if (!object && cwp.message == WM_DESTROY && dxBarManagerList) {
      for (int i = 0; i < dxBarManagerList->Count() && !m; ++i)
        if (dxBarManagerList->GetBarManager(i)->FormWindow() == wnd) m = dxBarManagerList->GetBarManager(i);
    }
    if (m) m->MainFormWndProc(cwp.message, cwp.wParam, cwp.lParam);
    // The Customize window follows an MDI frame's showing and hiding.
    if (cwp.message == WM_WINDOWPOSCHANGED && cwp.lParam && Application)
      if (TCustomForm* main = Application->MainForm();
          main && main->FormStyle() == fsMDIForm && main->HandleAllocated() && main->Handle() == wnd)
        if (TdxBarCustomizingForm* f = dxBarCustomizingForm())
          f->UpdateVisibility(*reinterpret_cast<const WINDOWPOS*>(cwp.lParam));
    if (!m) return;
    if (cwp.message == WM_DESTROY && dxBarManagerList && dxBarManagerList->IndexOf(m) >= 0 && m->FormWindow() == wnd)
      m->SetFormWindow(nullptr);
    return;
  }
  if (cwp.message != WM_CHILDACTIVATE && cwp.message != WM_DESTROY && cwp.message != WM_MDIACTIVATE) return;
  HWND client = GetParent(wnd);
  char name[256] = {};
  if (!client || !GetClassNameA(client, name, sizeof name) || lstrcmpiA(name, "MDICLIENT") != 0) return;
  auto* frame = dynamic_cast<TCustomForm*>(TObjectWindowClass::ObjectOf(GetParent(client)));
  if (TdxBarManager* m = GetBarManagerByForm(frame)) m->MainFormClientWndProc(cwp.message, cwp.wParam, cwp.lParam);
}

}  // namespace

// ---------------------------------------------------------------- the hook procedures

LRESULT CALLBACK dxBarKeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
  HHOOK hook = dxBarHookHandle(WH_KEYBOARD);
  // Negative codes go on at once; a key merely peeked (HC_NOREMOVE) is
  // handled only when it is taken.
  if (code < 0) return CallNextHookEx(hook, code, wParam, lParam);
  bool direct = gDirectCall;
  bool handled = false;
  if (code == HC_ACTION) {
    CallGuarded([&] { handled = HandleKey(static_cast<WORD>(wParam), lParam); });
  }
  if (direct) return handled ? 1 : 0;
  LRESULT next = CallNextHookEx(hook, code, wParam, lParam);
  return handled ? 1 : next;
}

bool dxBarKeyboardHookDirectCall(WPARAM key, LPARAM keyData) {
  bool saved = gDirectCall;
  gDirectCall = true;
  if (key == VK_MENU) gAltFlag = true;
  TFinally restore([&] { gDirectCall = saved; });
  return dxBarKeyboardHookProc(HC_ACTION, key, keyData) != 0;
}

LRESULT CALLBACK dxBarMouseHookProc(int code, WPARAM wParam, LPARAM lParam) {
  HHOOK hook = dxBarHookHandle(WH_MOUSE);
  if (code < 0) return CallNextHookEx(hook, code, wParam, lParam);
  bool handled = false;
  if (code == HC_ACTION && lParam) {
    CallGuarded(
        [&] { handled = HandleMouse(static_cast<UINT>(wParam), *reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam)); });
  }
  LRESULT next = CallNextHookEx(hook, code, wParam, lParam);
  return handled ? 1 : next;
}

LRESULT CALLBACK dxBarCallWndProcHookProc(int code, WPARAM wParam, LPARAM lParam) {
  HHOOK hook = dxBarHookHandle(WH_CALLWNDPROC);
  if (code < 0 || !lParam) return CallNextHookEx(hook, code, wParam, lParam);
  CWPSTRUCT cwp = *reinterpret_cast<const CWPSTRUCT*>(lParam);
  CallGuarded([&] { HandleCallWndProc(cwp, false); });
  LRESULT result = CallNextHookEx(hook, code, wParam, lParam);
  CallGuarded([&] { HandleCallWndProc(cwp, true); });
  return result;
}
