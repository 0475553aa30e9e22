// The edit and combo controls: a platform EDIT window, a child of the bar
// window, shown over the item only while the control has the focus; the
// keys that commit, cancel and move on; the combo's drop button and its
// drop-down window; and the painting of caption, field and button.
#include "Dxbarwinitems.h"

#include <memory>

#include <windowsx.h>

#include "classlib/Actnlist.h"

DX_BAR_CONTROL_CLASS_IMPL(TdxBarWinControl)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarEditControl)
DX_BAR_CONTROL_CLASS_IMPL(TCustomdxBarComboControl)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarComboControl)

namespace {

bool ShiftDown(int key) { return (dxBarSystem()->GetKeyState(key) & 0x8000) != 0; }

// The shift state of a key message.
TShiftState KeyShift(LPARAM keyData) { return KeyDataToShiftState(keyData); }

// The text width of s (accelerator marks removed) in a bar window's font.
int CaptionTextWidth(TCustomdxBarControl* bar, const String& s) {
  if (!bar) return 0;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bar->Canvas()->Font()->Handle());
  String plain = GetTextOf(s);
  SIZE size{};
  GetTextExtentPoint32A(dc, plain.c_str(), static_cast<int>(plain.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size.cx;
}

COLORREF BrushColor(HBRUSH brush) {
  LOGBRUSH lb{};
  if (!brush || !GetObjectA(brush, sizeof lb, &lb)) return GetSysColor(COLOR_BTNFACE);
  return lb.lbColor;
}

void Fill(HDC dc, const TRect& r, HBRUSH brush) {
  if (!r.Empty()) FillRect(dc, &r, brush);
}

}  // namespace

// ---------------------------------------------------------------- the hosting control

TdxBarWinControl::TdxBarWinControl(TdxBarItemLink* link) : TdxBarItemControl(link) { winControl_ = true; }

TdxBarWinControl::~TdxBarWinControl() { DestroyWindowHandle(); }

bool TdxBarWinControl::ParentMoving() const {
  auto* bar = dynamic_cast<TdxBarControl*>(parent_);
  return bar && bar->Moving();
}

void TdxBarWinControl::CreateWindowHandle() {
  if (window_ || !parent_ || !parent_->HandleAllocated() || ParentMoving()) return;
  window_ = MakeWindow();
  if (window_) TObjectWindowClass::Subclass(window_, this);
}

void TdxBarWinControl::DestroyWindowHandle() {
  if (!window_) return;
  SetFocused(false);
  HWND wnd = window_;
  if (!wnd) return;
  window_ = nullptr;
  TObjectWindowClass::Unsubclass(wnd);
  DestroyWindow(wnd);
}

bool TdxBarWinControl::NeedWindow() {
  if (!window_) CreateWindowHandle();
  return window_ != nullptr;
}

bool TdxBarWinControl::EditorHidden() {
  auto* combo = dynamic_cast<TCustomdxBarCombo*>(Item());
  return combo && !combo->ShowEditor();
}

TRect TdxBarWinControl::GetWindowRect() {
  if (!GetEnabled()) return TRect();
  TRect r = windowRect_;
  if (EditorHidden()) r.right = r.left;
  return r;
}

String TdxBarWinControl::GetText() {
  if (window_) return dxBarGetWindowText(window_);
  auto* item = dynamic_cast<TdxBarWindowItem*>(Item());
  return item ? item->Text() : String();
}

void TdxBarWinControl::SetTextQuietly(const String& value) {
  if (!window_) return;
  bool setting = settingText_;
  settingText_ = true;
  SetWindowTextA(window_, value.c_str());
  settingText_ = setting;
}

void TdxBarWinControl::SetText(const String& value) {
  SetTextQuietly(value);
  if (EditorHidden()) Repaint();
}

bool TdxBarWinControl::CanClicked() { return IsVertical(parent_); }

void TdxBarWinControl::ControlClick(bool byMouse) {
  SetFocused(true);
  TdxBarItemControl::ControlClick(byMouse);
}

void TdxBarWinControl::ControlInactivate(bool immediately) {
  TdxBarItemControl::ControlInactivate(immediately);
  SetFocused(false);
}

void TdxBarWinControl::BarMouseMessage(UINT msg, WPARAM keys, TPoint p) {
  if (!window_ || !parent_ || !parent_->HandleAllocated()) return;
  POINT origin{0, 0};
  MapWindowPoints(window_, parent_->Handle(), &origin, 1);
  RECT w;
  GetClientRect(window_, &w);
  TRect inBar = Bounds(origin.x, origin.y, w.right, w.bottom);
  // A press inside the window went to the window itself.
  if (msg != WM_LBUTTONUP && inBar.Contains(p)) return;
  SendMessageA(window_, msg, keys, MAKELPARAM(p.x - origin.x, p.y - origin.y));
}

// ---------------------------------------------------------------- focus

void TdxBarWinControl::SetFocused(bool value) {
  if (value == focused_) return;
  TdxBarManager* m = BarManager();
  TCustomForm* form = m ? m->MainForm() : nullptr;
  if (value) {
    if (!NeedWindow()) return;
    HWND focus = GetFocus();
    if (focus && IsWindowVisible(focus))
      prevFocus_ = focus;
    else
      prevFocus_ = form && form->HandleAllocated() ? form->Handle() : nullptr;
    HFONT font = parent_->GetEditFontHandle();
    if (!font) font = parent_->Canvas()->Font()->Handle();
    SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    bool edit = dynamic_cast<TdxBarEditControl*>(this) != nullptr;
    if (edit && !Flat()) SendMessageA(window_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(2, 2));
    std::shared_ptr<const bool> alive = Alive();
    if (!active_) ControlActivate(true);
    if (!*alive || !window_) return;
    focused_ = true;
    TRect r = GetWindowRect();
    SetWindowPos(window_, HWND_TOP, r.left, r.top, r.Width(), r.Height(), SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (edit && Flat()) {
      RECT c;
      GetClientRect(window_, &c);
      InflateRect(&c, -2, -2);
      SendMessageA(window_, EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&c));
    }
    if (auto* item = dynamic_cast<TdxBarWindowItem*>(Item())) {
      bool setting = settingText_;
      settingText_ = true;
      SetText(item->Text());
      settingText_ = setting;
    }
    if (*alive && window_) ::SetFocus(window_);
    return;
  }
  focused_ = false;
  if (window_) ShowWindow(window_, SW_HIDE);
  bool going = Going();
  // A focus the user put elsewhere stays there.
  if (!focusTaken_ && !going) GiveFocusBack();
  prevFocus_ = nullptr;
  bool escape = ShiftDown(VK_ESCAPE) && !ShiftDown(VK_CONTROL) && !ShiftDown(VK_MENU);
  if (m && m->AlwaysSaveText() && !escape && !going)
    if (auto* item = dynamic_cast<TdxBarWindowItem*>(Item())) item->SetText(GetText());
}

bool TdxBarWinControl::Going() {
  TdxBarManager* m = BarManager();
  TCustomForm* form = m ? m->MainForm() : nullptr;
  return !m || m->IsDestroying() || (form && form->IsDestroying()) || !parent_ || parent_->Destroying();
}

void TdxBarWinControl::GiveFocusBack() {
  TdxBarManager* m = BarManager();
  TCustomForm* form = m ? m->MainForm() : nullptr;
  HWND target = prevFocus_;
  if (!target || !IsWindow(target) || !IsWindowVisible(target)) {
    target = form && form->HandleAllocated() ? form->Handle() : nullptr;
    if (target && !IsWindowVisible(target)) target = GetWindow(target, GW_HWNDNEXT);
  }
  if (target) ::SetFocus(target);
}

// ---------------------------------------------------------------- the hosted window's messages

void TdxBarWinControl::WindowMessage(HWND, TMessage& msg) { WndProc(msg); }

void TdxBarWinControl::DefaultHandler(TMessage& msg) {
  if (window_) msg.Result = DefaultProc(window_, msg);
}

bool TdxBarWinControl::DoKeyDown(TMessage& msg) {
  auto* item = dynamic_cast<TdxBarWindowItem*>(Item());
  if (!item) return true;
  WORD key = static_cast<WORD>(msg.WParam);
  item->KeyDown(key, KeyShift(msg.LParam));
  msg.WParam = key;
  return key != 0;
}

bool TdxBarWinControl::DoKeyUp(TMessage& msg) {
  auto* item = dynamic_cast<TdxBarWindowItem*>(Item());
  if (!item) return true;
  WORD key = static_cast<WORD>(msg.WParam);
  item->KeyUp(key, KeyShift(msg.LParam));
  msg.WParam = key;
  return key != 0;
}

bool TdxBarWinControl::DoKeyPress(TMessage& msg) {
  auto* item = dynamic_cast<TdxBarWindowItem*>(Item());
  if (!item) return true;
  char key = static_cast<char>(msg.WParam);
  item->KeyPress(key);
  msg.WParam = static_cast<unsigned char>(key);
  return key != 0;
}

void TdxBarWinControl::RemoveCharMessages() {
  if (!window_) return;
  MSG m;
  while (PeekMessageA(&m, window_, WM_CHAR, WM_CHAR, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
  }
}

void TdxBarWinControl::KillFocus(TMessage& msg) {
  std::shared_ptr<const bool> alive = Alive();
  auto* item = dynamic_cast<TdxBarWindowItem*>(Item());
  auto exit = [&] {
    if (*alive && item) item->DoExit();
  };
  auto* toolbar = dynamic_cast<TdxBarControl*>(parent_);
  // While the form or the bars go, nothing but the window's own handling.
  if (Going()) {
    focused_ = false;
    DefaultHandler(msg);
    return;
  }
  if (focused_) {
    // Taken from outside: the bars close, the focus stays where it went.
    DefaultHandler(msg);
    focusTaken_ = true;
    if (parent_) parent_->HideAll();
    if (*alive) {
      if (focused_) SetFocused(false);
      focusTaken_ = false;
    }
    exit();
    return;
  }
  if (toolbar && toolbar->HandleAllocated()) {
    // The toolbar the focus went to: the window itself, its parent or that
    // one's parent.
    auto isToolbar = [](HWND h) { return dynamic_cast<TdxBarControl*>(TObjectWindowClass::ObjectOf(h)) != nullptr; };
    HWND w = reinterpret_cast<HWND>(msg.WParam);
    if (w && w != toolbar->Handle()) {
      w = GetParent(w);
      if (w && !isToolbar(w)) w = GetParent(w);
    }
    if (w != toolbar->Handle()) {
      DefaultHandler(msg);
      RemoveCharMessages();
      toolbar->HideAll();
      exit();
      return;
    }
  }
  exit();
  if (*alive) DefaultHandler(msg);
}

void TdxBarWinControl::SystemKey(TMessage& msg) {
  bool down = msg.Msg == WM_SYSKEYDOWN;
  WORD key = static_cast<WORD>(msg.WParam);
  if (down) {
    ++sysKeyCount_;
  } else {
    if (sysKeyCount_ == 0) {
      msg.Result = 0;
      return;
    }
    --sysKeyCount_;
  }
  if (down && key == VK_MENU) {
    DefaultHandler(msg);
    return;
  }
  sysKeyCount_ = 0;
  std::shared_ptr<const bool> alive = Alive();
  if (parent_) parent_->HideAll();
  if (!*alive) return;
  if (key == VK_F10 && ShiftDown(VK_SHIFT)) {
    msg.Result = 0;
    return;
  }
  // The key goes to the keyboard logic as if it had arrived there.
  if (dxBarKeyboardHookDirectCall(key, msg.LParam)) {
    msg.Result = 0;
    return;
  }
  if (*alive) DefaultHandler(msg);
}

void TdxBarWinControl::WndProc(TMessage& msg) {
  std::shared_ptr<const bool> alive = Alive();
  switch (msg.Msg) {
    case WM_KEYDOWN: {
      if (!DoKeyDown(msg)) {
        msg.Result = 0;
        return;
      }
      if (!*alive) return;
      WORD key = static_cast<WORD>(msg.WParam);
      TCustomdxBarControl* parent = parent_;
      TdxBarControlRef parentRef(parent);
      if (key == VK_TAB && parent && parent->HandleAllocated()) {
        RemoveCharMessages();
        SendMessageA(parent->Handle(), WM_KEYDOWN, VK_TAB, msg.LParam);
        msg.Result = 0;
        return;
      }
      if ((key == VK_RETURN || key == VK_ESCAPE) && parent) {
        HWND wnd = window_;
        parent->SetKeySelectedItem(nullptr);
        if (*alive) RemoveCharMessages();
        else if (wnd) {
          MSG m;
          while (PeekMessageA(&m, wnd, WM_CHAR, WM_CHAR, PM_REMOVE)) {
          }
        }
        if (!BarControlExists(parentRef)) {
          msg.Result = 0;
          return;
        }
        if (key == VK_ESCAPE) {
          if (*alive && parent->ItemExists(this)) parent->SetSelectedItem(this);
        } else {
          parent->HideAll();
        }
        msg.Result = 0;
        return;
      }
      break;
    }
    case WM_KEYUP:
      if (!DoKeyUp(msg)) {
        msg.Result = 0;
        return;
      }
      break;
    case WM_CHAR:
      if (!DoKeyPress(msg)) {
        msg.Result = 0;
        return;
      }
      break;
    case WM_SETFOCUS:
      if (auto* item = dynamic_cast<TdxBarWindowItem*>(Item())) item->DoEnter();
      if (*alive) DefaultHandler(msg);
      return;
    case WM_KILLFOCUS:
      KillFocus(msg);
      return;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      SystemKey(msg);
      return;
    case WM_RBUTTONDOWN:
      if (parent_ && parent_->HandleAllocated() && window_) {
        POINT p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
        MapWindowPoints(window_, parent_->Handle(), &p, 1);
        SendMessageA(parent_->Handle(), WM_RBUTTONDOWN, msg.WParam, MAKELPARAM(p.x, p.y));
        msg.Result = 0;
        return;
      }
      break;
    case WM_DESTROY: {
      SetFocused(false);
      if (!*alive) return;
      DefaultHandler(msg);
      HWND wnd = window_;
      window_ = nullptr;
      if (wnd) TObjectWindowClass::Unsubclass(wnd);
      return;
    }
    default:
      break;
  }
  if (msg.Msg >= WM_MOUSEFIRST && msg.Msg <= WM_MOUSEWHEEL && window_ && parent_ && parent_->HandleAllocated()) {
    // Outside the window but on the item: the item's own (the combo's
    // button), not the edit's.
    POINT p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
    if (msg.Msg == WM_MOUSEWHEEL)
      ScreenToClient(parent_->Handle(), &p);
    else
      MapWindowPoints(window_, parent_->Handle(), &p, 1);
    RECT w;
    ::GetWindowRect(window_, &w);
    MapWindowPoints(HWND_DESKTOP, parent_->Handle(), reinterpret_cast<POINT*>(&w), 2);
    if (!TRect(w).Contains(TPoint(p.x, p.y)) && parent_->GetItemRect(this).Contains(TPoint(p.x, p.y))) {
      msg.Result = 0;
      return;
    }
  }
  DefaultHandler(msg);
}

// ---------------------------------------------------------------- edit control

TdxBarEditControl::TdxBarEditControl(TdxBarItemLink* link) : TdxBarWinControl(link) { CreateWindowHandle(); }

TdxBarEditControl::~TdxBarEditControl() { DestroyWindowHandle(); }

HWND TdxBarEditControl::MakeWindow() {
  DWORD style = WS_CHILD | ES_AUTOHSCROLL;
  if (Flat()) style |= ES_MULTILINE;
  HWND wnd = CreateWindowExA(0, "EDIT", "", style, 0, 0, 100, 100, parent_->Handle(), nullptr, GetModuleHandleA(nullptr),
                             nullptr);
  if (!wnd) return nullptr;
  if (TdxBarEdit* edit = Edit()) {
    SetWindowTextA(wnd, edit->Text().c_str());
    if (edit->MaxLength() > 0) SendMessageA(wnd, EM_LIMITTEXT, static_cast<WPARAM>(edit->MaxLength()), 0);
  }
  return wnd;
}

bool TdxBarEditControl::GetShowCaption() {
  if (dynamic_cast<TdxBarSubMenuControl*>(parent_)) return true;
  TdxBarEdit* edit = Edit();
  return edit && edit->ShowCaption();
}

int TdxBarEditControl::GetCaptionWidth() {
  if (!GetShowCaption()) return 0;
  return CaptionTextWidth(parent_, GetCaption()) + (Flat() ? 11 : 6);
}

int TdxBarEditControl::GetMinWidth() { return GetCaptionWidth() + 20; }

int TdxBarEditControl::GetWidth() { return GetCaptionWidth() + (link_ ? link_->Width() : 0); }

int TdxBarEditControl::GetHeight() {
  if (!parent_) return 0;
  int h = parent_->EditTextSize();
  if (GetShowCaption()) h = std::max(h, parent_->TextSize());
  return h;
}

bool TdxBarEditControl::DrawSelected() {
  if (parent_ && parent_->GetIsCustomizing()) return false;
  return TdxBarWinControl::DrawSelected();
}

void TdxBarEditControl::ControlClick(bool byMouse) {
  TdxBarWinControl::ControlClick(byMouse);
  if (focused_ && window_) SendMessageA(window_, EM_SETSEL, 0, -1);
}

void TdxBarEditControl::SetFocused(bool value) {
  if (value && !focused_ && NeedWindow()) {
    TdxBarEdit* edit = Edit();
    bool readOnly = (edit && edit->ReadOnly()) || EditorHidden();
    SendMessageA(window_, EM_SETREADONLY, readOnly, 0);
  }
  TdxBarWinControl::SetFocused(value);
}

void TdxBarEditControl::SetText(const String& value) {
  TdxBarWinControl::SetText(value);
  if (!window_) return;
  if (Flat()) SendMessageA(window_, WM_COMMAND, MAKEWPARAM(0, EN_CHANGE), reinterpret_cast<LPARAM>(window_));
  if (window_) SendMessageA(window_, EM_SETSEL, 0, -1);
}

void TdxBarEditControl::WidthChanged() {
  if (parent_) parent_->RepaintBar();
}

void TdxBarEditControl::WndProc(TMessage& msg) {
  std::shared_ptr<const bool> alive = Alive();
  switch (msg.Msg) {
    case WM_KEYDOWN:
      if (msg.WParam == VK_RETURN || msg.WParam == VK_TAB) {
        if (msg.WParam == VK_RETURN && link_) link_->RealItemLink()->BringToTopInRecentList(true);
        if (TdxBarEdit* edit = Edit()) edit->SetText(GetText());
        // The change handler may have closed the bar.
        if (!*alive || !window_ || !IsWindowVisible(window_)) {
          msg.Result = 0;
          return;
        }
      }
      break;
    case WM_COMMAND:
      if (HIWORD(msg.WParam) == EN_CHANGE && reinterpret_cast<HWND>(msg.LParam) == window_) {
        if (!settingText_)
          if (TdxBarEdit* edit = Edit()) edit->CurChange();
        msg.Result = 0;
        return;
      }
      break;
    default:
      break;
  }
  TdxBarWinControl::WndProc(msg);
}

void TdxBarEditControl::PlaceWindow() {
  if (!window_ || !focused_) return;
  TRect r = GetWindowRect();
  RECT now;
  ::GetWindowRect(window_, &now);
  MapWindowPoints(HWND_DESKTOP, parent_->Handle(), reinterpret_cast<POINT*>(&now), 2);
  if (TRect(now) == r) return;
  SetWindowPos(window_, nullptr, r.left, r.top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  if (Flat()) {
    RECT c;
    GetClientRect(window_, &c);
    InflateRect(&c, -2, -2);
    SendMessageA(window_, EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&c));
  }
}

// ---------------------------------------------------------------- edit painting

HBRUSH TdxBarEditControl::BackgroundBrush() {
  HBRUSH b = parent_ ? parent_->ItemBrush() : nullptr;
  return b ? b : (parent_ ? parent_->GetToolbarBrush() : GetSysColorBrush(COLOR_BTNFACE));
}

void TdxBarEditControl::DrawCaption(TRect& r, TdxBarPaintType paintType, bool selected) {
  if (!GetShowCaption()) return;
  HDC dc = CanvasHandle();
  bool flat = Flat();
  bool inMenu = paintType == ptMenu;
  String caption = GetCaption();
  int tw = CaptionTextWidth(parent_, caption);
  TRect cell(r.left, r.top, r.left + (flat ? 6 + tw + 5 : 2 + tw), r.bottom);
  r.left = cell.right + (flat ? 0 : 4);
  TRect inner = cell;
  if (flat && inMenu && selected) {
    FrameFlatSelRect(dc, cell);
    inner = TRect(cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 1);
  }
  Fill(dc, inner, inMenu && selected ? parent_->GetToolbarSelBrush() : BackgroundBrush());
  if (flat) inner.right -= 5;
  DrawItemText(dc, caption, inner, 2, GetEnabled(), inMenu && selected, false, false, flat);
  if (!flat) Fill(dc, TRect(cell.right, cell.top, cell.right + 4, cell.bottom), BackgroundBrush());
}

void TdxBarEditControl::DrawBorder(TRect& r, TdxBarPaintType paintType, bool selected) {
  HDC dc = CanvasHandle();
  bool flat = Flat();
  bool enabled = GetEnabled();
  bool toolbar = paintType != ptMenu;
  if (!selected) {
    HBRUSH b = BackgroundBrush();
    if (flat) b = !toolbar ? parent_->GetToolbarBrush() : enabled ? BackgroundBrush() : GetSysColorBrush(COLOR_BTNSHADOW);
    FrameRect(dc, &r, b);
  } else if (flat) {
    FrameFlatSelRect(dc, r);
  } else {
    RECT e = r;
    DrawEdge(dc, &e, BDR_SUNKENOUTER, BF_RECT);
  }
  r = TRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
  if (flat) return;
  FrameRect(dc, &r, enabled ? BackgroundBrush() : GetSysColorBrush(COLOR_BTNHIGHLIGHT));
  r = TRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
}

void TdxBarEditControl::DrawTextField(const TRect& r) {
  if (r.Empty()) return;
  HDC dc = CanvasHandle();
  bool flat = Flat();
  bool enabled = GetEnabled();
  if (!enabled && !flat) {
    Fill(dc, r, BackgroundBrush());
    return;
  }
  TCanvas* canvas = parent_->Canvas();
  TFont savedFont;
  savedFont.Assign(canvas->Font());
  TColor savedBrush = canvas->Brush()->Color();
  TBrushStyle savedStyle = canvas->Brush()->Style();
  canvas->Brush()->SetStyle(bsSolid);
  if (enabled) {
    canvas->Brush()->SetColor(clWindow);
  } else {
    canvas->Brush()->SetColor(static_cast<TColor>(BrushColor(BackgroundBrush())));
  }
  canvas->SaveClip();
  canvas->ClipRect(r);
  if (HFONT edit = parent_->GetEditFontHandle()) canvas->Font()->SetHandle(edit);
  canvas->Font()->SetColor(enabled ? clWindowText : clGrayText);
  auto restore = [&] {
    canvas->Font()->Assign(&savedFont);
    canvas->RestoreClip();
    canvas->Brush()->SetColor(savedBrush);
    canvas->Brush()->SetStyle(savedStyle);
  };
  TFinally guard([&] { restore(); });
  if (TdxBarEdit* edit = Edit()) edit->DrawInterior(canvas, r, link_);
}

void TdxBarEditControl::Paint(const TRect& r, TdxBarPaintType paintType) {
  if (r.Empty()) return;
  bool selected = DrawSelected();
  TRect field = r;
  DrawCaption(field, paintType, selected);
  DrawBorder(field, paintType, selected);
  bool enabled = GetEnabled();
  if (enabled) windowRect_ = field;
  if (focused_ && enabled) {
    PlaceWindow();
    return;
  }
  DrawTextField(field);
}

// ---------------------------------------------------------------- combo control

TCustomdxBarComboControl::~TCustomdxBarComboControl() {
  if (droppedDown_) {
    droppedDown_ = false;
    if (TCustomdxBarCombo* combo = Combo()) combo->CloseUp();
  }
}

HWND TCustomdxBarComboControl::GetDropDownWindow() {
  TCustomdxBarCombo* combo = Combo();
  return combo ? combo->GetDropDownWindow() : nullptr;
}

void TCustomdxBarComboControl::ControlInactivate(bool immediately) {
  std::shared_ptr<const bool> alive = Alive();
  SetDroppedDown(false);
  if (*alive) TdxBarEditControl::ControlInactivate(immediately);
}

void TCustomdxBarComboControl::GetArrowParams(TdxBarPaintType paintType, bool droppedDown, int& colorIndex,
                                              HBRUSH& brush, bool selected) {
  TdxBarEditControl::GetArrowParams(paintType, droppedDown, colorIndex, brush, selected);
  if (paintType == ptMenu && Flat() && !selected) brush = parent_->GetToolbarBrush();
}

void TCustomdxBarComboControl::SetDroppedDown(bool value) {
  TCustomdxBarCombo* combo = Combo();
  if (value == droppedDown_ || !combo || combo->ReadOnly()) return;
  std::shared_ptr<const bool> alive = Alive();
  if (value) {
    // The window system's notifications still waiting are handled before
    // the list shows: under Wine a late one of the form's own mapping
    // raises the form's X window above a list shown before it, which then
    // stays hidden though it is on top.
    MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0);
    if (!*alive || droppedDown_ || Combo() != combo) return;
  }
  droppedDown_ = value;
  Repaint();
  if (!*alive) return;
  if (!value) {
    combo->CloseUp();
    return;
  }
  TRect r = ItemLink() ? ItemLink()->ItemRect() : TRect();
  bool horizontal = dynamic_cast<TdxBarControl*>(parent_) && !IsToolbarControlVertical(parent_);
  TPoint p = horizontal ? TPoint(r.left + GetCaptionWidth(), r.bottom) : TPoint(r.right, r.top);
  if (parent_ && parent_->HandleAllocated()) p = parent_->ClientToScreen(p);
  combo->DropDown(p.x, p.y);
}

bool TCustomdxBarComboControl::InDropButton(TPoint p) {
  if (!window_ || !parent_ || !parent_->HandleAllocated()) return false;
  TRect b = dropButtonRect_;
  if (EditorHidden()) b.left = windowRect_.left;
  POINT origin{0, 0};
  MapWindowPoints(window_, parent_->Handle(), &origin, 1);
  return TRect(b.left - origin.x, b.top - origin.y, b.right - origin.x, b.bottom - origin.y).Contains(p);
}

void TCustomdxBarComboControl::WndProc(TMessage& msg) {
  std::shared_ptr<const bool> alive = Alive();
  switch (msg.Msg) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR: {
      if (msg.Msg == WM_KEYDOWN && msg.WParam == VK_F4) {
        SetDroppedDown(!droppedDown_);
        msg.Result = 0;
        return;
      }
      // Keys, not characters, go to the open list (a character's code may
      // equal an arrow key's).
      TCustomdxBarCombo* combo = Combo();
      HWND list = droppedDown_ ? GetDropDownWindow() : nullptr;
      if (list && combo && msg.Msg != WM_CHAR &&
          combo->CheckKeyForDropDownWindow(static_cast<WORD>(msg.WParam), KeyShift(msg.LParam))) {
        msg.Result = SendMessageA(list, msg.Msg, msg.WParam, msg.LParam);
        return;
      }
      break;
    }
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      if ((msg.WParam == VK_UP || msg.WParam == VK_DOWN) && (msg.LParam & 0x20000000)) {
        // The system's own Alt logic still hears the key, so releasing Alt
        // afterwards does not open the form's window menu.
        if (window_) DefWindowProcA(window_, msg.Msg, msg.WParam, msg.LParam);
        if (msg.Msg == WM_SYSKEYDOWN) SetDroppedDown(!droppedDown_);
        msg.Result = 0;
        return;
      }
      break;
    default:
      break;
  }
  UINT m = msg.Msg;
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  TdxBarEditControl::WndProc(msg);
  if (!*alive || !window_ || !IsWindowVisible(window_)) return;
  if (m == WM_LBUTTONDOWN || m == WM_LBUTTONDBLCLK) {
    bool wasOpen = droppedDown_;
    droppedAtMouseDown_ = wasOpen;
    if (m == WM_LBUTTONDOWN && !wasOpen && InDropButton(p)) SetDroppedDown(true);
  } else if (m == WM_LBUTTONUP) {
    if (droppedAtMouseDown_ && InDropButton(p)) SetDroppedDown(!droppedDown_);
    if (*alive) droppedAtMouseDown_ = false;
  }
}

void TCustomdxBarComboControl::Paint(const TRect& r, TdxBarPaintType paintType) {
  if (r.Empty()) return;
  bool selected = DrawSelected();
  bool enabled = GetEnabled();
  TRect inner = r;
  DrawCaption(inner, paintType, selected);
  DrawBorder(inner, paintType, selected);
  TRect field = inner;
  field.right -= parent_->ComboButtonWidth() + 1;
  if (enabled) windowRect_ = field;
  if (!enabled || !focused_ || EditorHidden())
    DrawTextField(field);
  if (focused_ && enabled) PlaceWindow();
  DrawDropButton(inner, paintType, selected);
}

void TCustomdxBarComboControl::DrawDropButton(TRect r, TdxBarPaintType paintType, bool selected) {
  HDC dc = CanvasHandle();
  bool flat = Flat();
  bool enabled = GetEnabled();
  TRect b(r.right - parent_->ComboButtonWidth(), r.top, r.right, r.bottom);
  dropButtonRect_ = b;
  int colorIndex = COLOR_BTNTEXT;
  HBRUSH brush = nullptr;
  GetArrowParams(paintType, droppedDown_, colorIndex, brush, selected);
  if (!brush) brush = BackgroundBrush();
  if (selected && flat) {
    FrameFlatSelRect(dc, TRect(b.left - 1, b.top - 1, b.right + 1, b.bottom + 1));
    Fill(dc, b, brush);
  } else {
    HBRUSH frame;
    if (selected && enabled) {
      RECT e = b;
      DrawEdge(dc, &e, droppedDown_ ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
      frame = BackgroundBrush();
    } else {
      frame = enabled ? GetSysColorBrush(COLOR_BTNHIGHLIGHT) : BackgroundBrush();
      FrameRect(dc, &b, frame);
    }
    Fill(dc, TRect(b.left - 1, b.top, b.left, b.bottom), frame);
    b = TRect(b.left + 1, b.top + 1, b.right - 1, b.bottom - 1);
    Fill(dc, b, brush);
  }
  if (droppedDown_) b = TRect(b.left + 1, b.top + 1, b.right + 1, b.bottom + 1);
  // A downward triangle, half the button wide, of odd width.
  int w = b.Width() / 2;
  if (w % 2 == 0) ++w;
  int x = (b.left + b.right - w) / 2;
  int y = (b.top + b.bottom - w / 2) / 2;
  auto triangle = [&](int dx, int dy, COLORREF color) {
    POINT pts[3] = {{x + dx, y + dy}, {x + w - 1 + dx, y + dy}, {x + w / 2 + dx, y + w / 2 + dy}};
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HBRUSH fill = CreateSolidBrush(color);
    HGDIOBJ oldPen = SelectObject(dc, pen), oldBrush = SelectObject(dc, fill);
    Polygon(dc, pts, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(fill);
  };
  if (enabled) {
    triangle(0, 0, dxBarSysColor(colorIndex));
  } else {
    if (!flat) triangle(1, 1, dxBarSysColor(COLOR_BTNHIGHLIGHT));
    triangle(0, 0, dxBarSysColor(COLOR_BTNSHADOW));
  }
}

// ---------------------------------------------------------------- combo control with entries

void TdxBarComboControl::SetFocused(bool value) {
  if (value && !focused_)
    if (TdxBarCustomCombo* combo = CustomCombo()) {
      bool setting = settingText_;
      settingText_ = true;
      localItemIndex_ = combo->ItemIndex();
      settingText_ = setting;
    }
  TCustomdxBarComboControl::SetFocused(value);
}

void TdxBarComboControl::SetLocalItemIndex(int index) {
  localItemIndex_ = index;
  TdxBarCustomCombo* combo = CustomCombo();
  if (!combo) return;
  bool entry = index >= 0 && index < combo->Items()->Count();
  SetTextQuietly(entry ? combo->Items()->Get(index) : combo->Text());
  if (window_) SendMessageA(window_, EM_SETSEL, 0, -1);
  if (EditorHidden()) Repaint();
}

void TdxBarComboControl::TypeToChoose(char c) {
  TdxBarCustomCombo* combo = CustomCombo();
  if (!combo) return;
  // A pause starts a new search, as in a list box.
  DWORD now = GetTickCount();
  if (now - typedAt_ > 1000) typed_.clear();
  typedAt_ = now;
  typed_ += c;
  TStrings* items = combo->Items();
  auto find = [&](const String& prefix) {
    for (int i = 0; i < items->Count(); ++i)
      if (items->Get(i).size() >= prefix.size() && SameText(items->Get(i).substr(0, prefix.size()), prefix)) return i;
    return -1;
  };
  int index = find(typed_);
  if (index < 0 && typed_.size() > 1) {
    // No entry goes on with the letters: the last one starts again.
    typed_ = String(1, c);
    index = find(typed_);
  }
  if (index < 0) return;
  if (index != combo->ItemIndex()) {
    std::shared_ptr<const bool> alive = Alive();
    combo->SetItemIndex(index);
    if (!*alive) return;
  }
  SetLocalItemIndex(index);
  if (droppedDown_) combo->CheckLocalPos();
}

void TdxBarComboControl::WndProc(TMessage& msg) {
  std::shared_ptr<const bool> alive = Alive();
  bool printable = msg.WParam >= ' ' && msg.WParam < 256 && msg.WParam != 127;
  if (msg.Msg == WM_CHAR && printable && EditorHidden()) {
    if (DoKeyPress(msg) && *alive) TypeToChoose(static_cast<char>(msg.WParam));
    msg.Result = 0;
    return;
  }
  if (msg.Msg == WM_KEYDOWN) {
    WORD key = static_cast<WORD>(msg.WParam);
    TdxBarCustomCombo* combo = CustomCombo();
    bool plain = !ShiftDown(VK_SHIFT) && !ShiftDown(VK_CONTROL) && !(msg.LParam & 0x20000000);
    if (combo && key != VK_RETURN && key != VK_TAB && !droppedDown_ && plain && (key == VK_UP || key == VK_DOWN)) {
      // Browsing without committing; the ends keep the key too.
      int count = combo->Items()->Count();
      if (key == VK_UP && localItemIndex_ >= 1) SetLocalItemIndex(localItemIndex_ - 1);
      if (key == VK_DOWN && localItemIndex_ < count - 1) SetLocalItemIndex(localItemIndex_ + 1);
      msg.Result = 0;
      return;
    }
    if (combo && (key == VK_RETURN || key == VK_TAB) && localItemIndex_ != -1 && localItemIndex_ < combo->Items()->Count() &&
        GetText() == combo->Items()->Get(localItemIndex_)) {
      combo->SetItemIndex(localItemIndex_);
      if (!*alive || !window_ || !IsWindowVisible(window_)) {
        msg.Result = 0;
        return;
      }
    }
  }
  TCustomdxBarComboControl::WndProc(msg);
}
