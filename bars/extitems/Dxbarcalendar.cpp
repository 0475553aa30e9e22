// The date navigator, its month list and their measures.
#include "bars/extitems/Dxbarcalendar.h"

#include <algorithm>

#include "bars/Dxbarcontrols.h"
#include "bars/extitems/Dxbardatecombo.h"
#include "bars/extitems/Dxbardatetext.h"
#include "bars/extitems/Dxbarextitems.h"
#include "classlib/Forms.h"

// ---------------------------------------------------------------- measures

TdxBarNavigatorMetrics dxBarNavigatorMetrics(TSize zero, int fontSize, bool flat, int todayTextWidth,
                                             int clearTextWidth) {
  TdxBarNavigatorMetrics m;
  m.ColumnWidth = 3 * zero.cx;
  m.SideWidth = 2 * zero.cx;
  m.RowHeight = zero.cy + 2;
  m.HeaderHeight = zero.cy + 4 + (flat ? 1 : 0);
  m.DaysOfWeekHeight = m.RowHeight + 1;
  m.TodayButtonWidth = todayTextWidth + m.ColumnWidth;
  m.ClearButtonWidth = clearTextWidth + m.ColumnWidth;
  m.ButtonsTop = fontSize / 2;
  m.ButtonsHeight = MulDiv(fontSize, 5, 2);
  m.ButtonsAreaHeight = fontSize * 3 / 4 + m.ButtonsTop + m.ButtonsHeight;
  return m;
}

TSize dxBarNavigatorSize(const TdxBarNavigatorMetrics& m, TSize frame, bool flat, bool buttonsArea) {
  int w = frame.cx + 2 * m.SideWidth + 7 * m.ColumnWidth;
  int h = frame.cy + (flat ? 0 : 1) + m.HeaderHeight + m.DaysOfWeekHeight + 6 * m.RowHeight + 1;
  if (buttonsArea) h += m.ButtonsAreaHeight;
  return TSize(w, h);
}

TdxBarNavigatorLayout dxBarNavigatorLayout(const TdxBarNavigatorMetrics& m, TSize client, TdxBarCalendarStyle style,
                                           bool showToday, bool showClear) {
  int w = client.cx, h = client.cy;
  int f = style == cs3D ? 1 : 0;
  TdxBarNavigatorLayout l;
  l.Header = TRect(0, 0, w, m.HeaderHeight);
  int innerTop = m.HeaderHeight + f;
  l.Inner = TRect(0, innerTop, w, innerTop + m.DaysOfWeekHeight + 6 * m.RowHeight + 1);
  l.LeftArrow = TRect(1, 1, m.ColumnWidth - 1, m.HeaderHeight - 1);
  l.RightArrow = TRect(w - m.ColumnWidth, 1, w - 1 - f, m.HeaderHeight - 1);
  l.MonthName = TRect(m.ColumnWidth, 1, w - m.ColumnWidth - f, m.HeaderHeight - 1);
  int gridTop = l.Inner.top + m.DaysOfWeekHeight;
  l.Grid = TRect(m.SideWidth, gridTop, m.SideWidth + 7 * m.ColumnWidth, gridTop + 6 * m.RowHeight);
  int top = h - m.ButtonsAreaHeight + m.ButtonsTop;
  if (showToday) {
    int left = showClear ? (w - m.TodayButtonWidth - m.ClearButtonWidth) / 3 : (w - m.TodayButtonWidth) / 2;
    l.TodayButton = TRect(left, top, left + m.TodayButtonWidth, top + m.ButtonsHeight);
  }
  if (showClear) {
    int gap = showToday ? (w - m.TodayButtonWidth - m.ClearButtonWidth) / 3 : (w - m.ClearButtonWidth) / 2;
    int left = w - m.ClearButtonWidth - gap;
    l.ClearButton = TRect(left, top, left + m.ClearButtonWidth, top + m.ButtonsHeight);
  }
  return l;
}

double dxBarNavigatorDateAt(const TdxBarNavigatorMetrics& m, const TdxBarNavigatorLayout& l, TSize client,
                            double realFirst, TPoint p) {
  if (p.x < 0 || p.y < 0 || p.x >= client.cx || p.y >= client.cy) return dxBarNoDate;
  if (!l.Grid.Contains(p) || m.ColumnWidth <= 0 || m.RowHeight <= 0) return dxBarNoDate;
  int c = (p.x - l.Grid.left) / m.ColumnWidth;
  int r = (p.y - l.Grid.top) / m.RowHeight;
  return realFirst + 7 * r + c;
}

namespace {

// The one navigator whose arrow is held, and the one month list that
// scrolls (a single mouse holds them).
TdxBarDateNavigator* gArrowNavigator = nullptr;
TAMonthListBox* gScrollingList = nullptr;

void CALLBACK ArrowTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  try {
    if (gArrowNavigator) gArrowNavigator->ArrowTick();
  } catch (...) {
    HandleExceptionLater(nullptr);
  }
}

void CALLBACK MonthListTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  try {
    if (gScrollingList) gScrollingList->TimerTick();
  } catch (...) {
    HandleExceptionLater(nullptr);
  }
}

void Fill(HDC dc, const TRect& r, COLORREF color) {
  if (r.Empty()) return;
  HBRUSH b = CreateSolidBrush(color);
  RECT rr = r;
  FillRect(dc, &rr, b);
  DeleteObject(b);
}

void Frame(HDC dc, const TRect& r, COLORREF color) {
  HBRUSH b = CreateSolidBrush(color);
  RECT rr = r;
  FrameRect(dc, &rr, b);
  DeleteObject(b);
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF color) {
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void PaintText(HDC dc, const String& s, TRect r, UINT format, COLORREF color) {
  SetTextColor(dc, color);
  SetBkMode(dc, TRANSPARENT);
  RECT rr = r;
  DrawTextA(dc, s.c_str(), static_cast<int>(s.size()), &rr, format | DT_SINGLELINE | DT_NOPREFIX);
}

// The parts of the user's dates.
constexpr LCID kUserLocale = LOCALE_USER_DEFAULT;

TSize ZeroSize(HFONT font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE s{};
  GetTextExtentPoint32A(dc, "0", 1, &s);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return TSize(s.cx, s.cy);
}

int TextWidthIn(HFONT font, const String& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE s{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &s);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return s.cx;
}

}  // namespace

// ---------------------------------------------------------------- calendar

TdxBarCustomCalendar::TdxBarCustomCalendar(TComponent* owner) : TCustomControl(owner) {
  double today = dxBarSystem()->Today();
  firstDate_ = selStart_ = selFinish_ = dxBarDateOf(today);
}

void TdxBarCustomCalendar::SetStyle(TdxBarCalendarStyle value) {
  if (value == style_) return;
  style_ = value;
  if (HandleAllocated()) RecreateWnd();
}

double TdxBarCustomCalendar::GetSelStart() const {
  if (selFinish_ != dxBarNoDate && selStart_ >= selFinish_) return selFinish_;
  return selStart_;
}

double TdxBarCustomCalendar::GetSelFinish() const {
  if (selFinish_ == dxBarNoDate) return selStart_;
  return std::max(selStart_, selFinish_);
}

void TdxBarCustomCalendar::SetFirstDate(double value) { firstDate_ = value; }

void TdxBarCustomCalendar::SetSelStart(double value) {
  selStart_ = value;
  selFinish_ = dxBarNoDate;
  SetSelFinish(value);
}

void TdxBarCustomCalendar::SetSelFinish(double value) {
  if (value == selFinish_) return;
  CheckFirstDate();
  selFinish_ = value;
  CheckFirstDate();
  Repaint();
}

void TdxBarCustomCalendar::DoInternalSelectPeriod(double date) {
  if (date == GetSelFinish() || date == dxBarNoDate) return;
  double old = selFinish_;
  SetSelFinish(date);
  if (selFinish_ == old) Repaint();
}

void TdxBarCustomCalendar::DoDateTimeChanged() {
  if (OnDateTimeChanged) OnDateTimeChanged(this);
}

void TdxBarCustomCalendar::CancelAll() {
  if (HandleAllocated()) SendMessageA(Handle(), WM_LBUTTONUP, 0, MAKELPARAM(-1, -1));
}

void TdxBarCustomCalendar::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style |= WS_CLIPCHILDREN;
}

void TdxBarCustomCalendar::CreateWnd() {
  TCustomControl::CreateWnd();
  Perform(CM_FONTCHANGED);
}

void TdxBarCustomCalendar::WndProc(TMessage& msg) {
  switch (msg.Msg) {
    case WM_ERASEBKGND:
      msg.Result = 1;
      return;
    case WM_CANCELMODE:
      TCustomControl::WndProc(msg);
      CancelAll();
      return;
    case WM_CAPTURECHANGED: {
      HWND to = reinterpret_cast<HWND>(msg.LParam);
      TCustomControl::WndProc(msg);
      if (to && to != (HandleAllocated() ? Handle() : nullptr)) CancelAll();
      return;
    }
    default:
      break;
  }
  TCustomControl::WndProc(msg);
}

void TdxBarCustomCalendar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (shift.Contains(ssDouble)) return;
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  anchorDate_ = GetSelStart();
  double d = PosToDateTime(TPoint(x, y));
  if (d != dxBarNoDate) SetSelStart(d);
}

void TdxBarCustomCalendar::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (!HandleAllocated() || GetCapture() != Handle() || !shift.Contains(ssLeft)) return;
  TPoint p(x, y);
  double d = PosToDateTime(p);
  if (d != dxBarNoDate) {
    SetSelFinish(d);
  } else if (!ClientRect().Contains(p)) {
    DoInternalSelectPeriod(anchorDate_);
  }
  Update();
}

// ---------------------------------------------------------------- navigator

TdxBarDateNavigator::TdxBarDateNavigator(TComponent* owner, TdxBarDateCombo* combo, bool popup)
    : TdxBarCustomCalendar(owner), combo_(combo), popup_(popup) {
  visible_ = false;
  tabStop_ = false;
  SetFirstDate(firstDate_);
  SetBounds(0, 0, 20, 20);
  ComputeMetrics();
}

TdxBarDateNavigator::~TdxBarDateNavigator() {
  FreeTimer();
  FreeMonthList();
}

TdxBarCalendarStyle TdxBarDateNavigator::GetStyle() const {
  if (style_ == csFlat && combo_ && combo_->Flat()) return csUltraFlat;
  return style_;
}

void TdxBarDateNavigator::SetFirstDate(double value) {
  if (value == dxBarNoDate) return;
  TdxBarCustomCalendar::SetFirstDate(dxBarFirstOfMonth(value));
}

double TdxBarDateNavigator::GetLastDate() const { return dxBarLastOfMonth(firstDate_); }

double TdxBarDateNavigator::GetRealFirstDate() const { return dxBarRealFirstDate(firstDate_, dxBarFirstWeekDay()); }

int TdxBarDateNavigator::ColOfDate(double date) const { return dxBarColOfDate(date, dxBarFirstWeekDay()); }

void TdxBarDateNavigator::SetSelFinish(double value) {
  if (value != selFinish_) selStart_ = value;
  TdxBarCustomCalendar::SetSelFinish(value);
}

void TdxBarDateNavigator::SetShowTodayButton(bool value) {
  if (value == showToday_) return;
  showToday_ = value;
  Perform(CM_FONTCHANGED);
}

void TdxBarDateNavigator::SetShowClearButton(bool value) {
  if (value == showClear_) return;
  showClear_ = value;
  Perform(CM_FONTCHANGED);
}

void TdxBarDateNavigator::CheckFirstDate() {
  double first = dxBarCheckFirstDate(firstDate_, selStart_, dxBarFirstWeekDay());
  if (first != firstDate_) SetFirstDate(first);
}

TSize TdxBarDateNavigator::FrameSize() {
  if (!HandleAllocated()) {
    // The frame the window will take.
    if (GetFlat()) return TSize(2, 2);
    int w = 2 * GetSystemMetrics(SM_CXEDGE), h = 2 * GetSystemMetrics(SM_CYEDGE);
    if (popup_) {
      w += 2 * GetSystemMetrics(SM_CXDLGFRAME);
      h += 2 * GetSystemMetrics(SM_CYDLGFRAME);
    }
    return TSize(w, h);
  }
  RECT w, c;
  ::GetWindowRect(Handle(), &w);
  ::GetClientRect(Handle(), &c);
  return TSize((w.right - w.left) - c.right, (w.bottom - w.top) - c.bottom);
}

int TdxBarDateNavigator::GetWidth() { return dxBarNavigatorSize(metrics_, FrameSize(), GetFlat(), HasButtonsArea()).cx; }

int TdxBarDateNavigator::GetHeight() { return dxBarNavigatorSize(metrics_, FrameSize(), GetFlat(), HasButtonsArea()).cy; }

TdxBarNavigatorLayout TdxBarDateNavigator::Layout() {
  TRect c = ClientRect();
  return dxBarNavigatorLayout(metrics_, TSize(c.Width(), c.Height()), GetStyle(), HasButtonsArea() && showToday_,
                              HasButtonsArea() && showClear_);
}

double TdxBarDateNavigator::PosToDateTime(TPoint p) {
  TRect c = ClientRect();
  return dxBarNavigatorDateAt(metrics_, Layout(), TSize(c.Width(), c.Height()), GetRealFirstDate(), p);
}

TRect TdxBarDateNavigator::DayRect(double date) {
  int index = static_cast<int>(dxBarDateOf(date) - GetRealFirstDate());
  if (index < 0 || index > 41) return TRect();
  TRect g = Layout().Grid;
  int x = g.left + (index % 7) * metrics_.ColumnWidth, y = g.top + (index / 7) * metrics_.RowHeight;
  return TRect(x, y, x + metrics_.ColumnWidth, y + metrics_.RowHeight);
}

void TdxBarDateNavigator::ComputeMetrics() {
  HFONT font = Font()->Handle();
  metrics_ = dxBarNavigatorMetrics(ZeroSize(font), Font()->Size(), GetFlat(), TextWidthIn(font, dxBarTodayCaption()),
                                   TextWidthIn(font, dxBarClearCaption()));
}

void TdxBarDateNavigator::UpdateFont() {
  TdxBarItemLink* link = combo_ ? combo_->CurItemLink() : nullptr;
  TCustomdxBarControl* bar = link ? link->BarControl() : nullptr;
  TFont copy;
  if (HFONT edit = bar ? bar->GetEditFontHandle() : nullptr)
    copy.SetHandle(edit);
  else if (combo_ && combo_->BarManager())
    copy.Assign(combo_->BarManager()->Font());
  else
    copy.Assign(Font());
  copy.SetColor(clWindowText);
  Font()->Assign(&copy);
  Perform(CM_FONTCHANGED);
}

void TdxBarDateNavigator::StepToPast() {
  int y, m, d;
  DecodeDate(firstDate_, y, m, d);
  dxBarPrevMonth(y, m);
  if (y < 1601) return;
  SetFirstDate(EncodeDate(y, m, 1));
  Repaint();
}

void TdxBarDateNavigator::StepToFuture() {
  int y, m, d;
  DecodeDate(firstDate_, y, m, d);
  dxBarNextMonth(y, m);
  if (y > 9999) return;
  SetFirstDate(EncodeDate(y, m, 1));
  Repaint();
}

void TdxBarDateNavigator::FreeTimer() {
  if (arrowTimer_) dxBarSystem()->KillTimer(arrowTimer_);
  arrowTimer_ = 0;
  arrowTimerId_ = 0;
  if (gArrowNavigator == this) gArrowNavigator = nullptr;
}

void TdxBarDateNavigator::StartArrowTimer(int id) {
  if (arrowTimer_) return;
  arrowTimer_ = dxBarSystem()->SetTimer(170, ArrowTimerProc);
  if (!arrowTimer_) return;
  arrowTimerId_ = id;
  gArrowNavigator = this;
}

void TdxBarDateNavigator::ArrowTick() {
  if (!arrowTimer_ || !HandleAllocated()) return;
  TPoint p = dxBarSystem()->GetCursorPos();
  POINT c{p.x, p.y};
  ::ScreenToClient(Handle(), &c);
  TdxBarNavigatorLayout l = Layout();
  if (arrowTimerId_ == 1 && l.LeftArrow.Contains(TPoint(c.x, c.y))) StepToPast();
  if (arrowTimerId_ == 2 && l.RightArrow.Contains(TPoint(c.x, c.y))) StepToFuture();
}

void TdxBarDateNavigator::FreeMonthList() {
  if (!monthList_) return;
  TAMonthListBox* list = monthList_;
  monthList_ = nullptr;
  list->Free();
}

void TdxBarDateNavigator::OpenMonthList() {
  FreeMonthList();
  monthPanelIndex_ = 0;
  monthList_ = new TAMonthListBox(this);
  monthList_->Open();
}

void TdxBarDateNavigator::DeactivateAll() {
  FreeTimer();
  FreeMonthList();
  todayPressed_ = todayHot_ = clearPressed_ = clearHot_ = false;
}

void TdxBarDateNavigator::CancelAll() {
  TdxBarCustomCalendar::CancelAll();
  DeactivateAll();
}

void TdxBarDateNavigator::CreateParams(TCreateParams& p) {
  TdxBarCustomCalendar::CreateParams(p);
  if (popup_) {
    p.WindowClass = &ControlWindowClass("TdxBarDateNavigator", CS_DBLCLKS | CS_SAVEBITS);
    p.Style = WS_CHILD | WS_CLIPCHILDREN | (GetStyle() == csUltraFlat ? 0 : WS_DLGFRAME);
    p.ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
  }
  if (!GetFlat()) p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TdxBarDateNavigator::CreateWnd() {
  TdxBarCustomCalendar::CreateWnd();
  Canvas()->Font()->Assign(Font());
  if (!popup_) return;
  // Off its parent, above everything; a child of the desktop never takes
  // the focus, so the combo's edit keeps the keyboard.
  ::SetParent(handle_, nullptr);
  SetWindowPos(handle_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  TMessage focus{WM_SETFOCUS, 0, 0, 0};
  DefaultHandler(focus);
}

void TdxBarDateNavigator::WndProc(TMessage& msg) {
  switch (msg.Msg) {
    case WM_NCCALCSIZE:
      if (GetFlat()) {
        RECT* r = msg.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(msg.LParam)->rgrc[0]
                             : reinterpret_cast<RECT*>(msg.LParam);
        InflateRect(r, -1, -1);
        msg.Result = 0;
        return;
      }
      break;
    case WM_NCPAINT:
      if (GetFlat()) {
        HDC dc = GetWindowDC(handle_);
        RECT w;
        ::GetWindowRect(handle_, &w);
        OffsetRect(&w, -w.left, -w.top);
        if (GetUltraFlat()) {
          Frame(dc, w, dxBarSysColor(COLOR_BTNSHADOW));
        } else {
          DrawEdge(dc, &w, BDR_SUNKENOUTER, BF_RECT);
        }
        ReleaseDC(handle_, dc);
        msg.Result = 0;
        return;
      }
      break;
    case WM_MOUSEACTIVATE:
      if (popup_) {
        msg.Result = MA_NOACTIVATE;
        return;
      }
      break;
    case WM_SIZE: {
      TdxBarCustomCalendar::WndProc(msg);
      int w = GetWidth(), h = GetHeight();
      if (Width() != w || Height() != h) SetBounds(Left(), Top(), w, h);
      return;
    }
    case CM_FONTCHANGED:
      TdxBarCustomCalendar::WndProc(msg);
      if (HandleAllocated()) Canvas()->Font()->Assign(Font());
      ComputeMetrics();
      if (HandleAllocated()) {
        SendMessageA(handle_, WM_SIZE, SIZE_RESTORED, 0);
        Invalidate();
      } else {
        SetBounds(Left(), Top(), GetWidth(), GetHeight());
      }
      return;
    case WM_KEYDOWN:
      if (popup_) {
        KeyDown(static_cast<WORD>(msg.WParam));
        msg.Result = 0;
        return;
      }
      break;
    case WM_DESTROY:
      FreeTimer();
      break;
    default:
      break;
  }
  TdxBarCustomCalendar::WndProc(msg);
}

void TdxBarDateNavigator::KeyDown(WORD key) {
  if (key == VK_RETURN) {
    if (!monthList_) DoDateTimeChanged();
    return;
  }
  TdxBarSystem* sys = dxBarSystem();
  auto down = [&](int k) { return (sys->GetKeyState(k) & 0x8000) != 0; };
  bool ctrl = down(VK_CONTROL) && !down(VK_SHIFT) && !down(VK_MENU);
  double s = GetSelStart();
  double to = dxBarNavigatorKey(s, key, ctrl, dxBarFirstWeekDay());
  if (to != s) SetSelStart(to);
}

void TdxBarDateNavigator::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  doubleClicked_ = shift.Contains(ssDouble);
  TPoint p(x, y);
  if (button == mbLeft && HasButtonsArea()) {
    TdxBarNavigatorLayout l = Layout();
    // A second quick press on a button is a press of its own.
    if (showToday_ && l.TodayButton.Contains(p)) {
      doubleClicked_ = false;
      todayPressed_ = todayHot_ = true;
      InvalidateRect(handle_, nullptr, FALSE);
      return;
    }
    if (showClear_ && l.ClearButton.Contains(p)) {
      doubleClicked_ = false;
      clearPressed_ = clearHot_ = true;
      InvalidateRect(handle_, nullptr, FALSE);
      return;
    }
    if (y >= ClientRect().Height() - metrics_.ButtonsAreaHeight) return;
  }
  TdxBarCustomCalendar::MouseDown(button, shift, x, y);
  if (button != mbLeft || doubleClicked_) return;
  TdxBarNavigatorLayout l = Layout();
  if (l.MonthName.Contains(p)) {
    OpenMonthList();
  } else if (l.LeftArrow.Contains(p)) {
    StepToPast();
    StartArrowTimer(1);
  } else if (l.RightArrow.Contains(p)) {
    StepToFuture();
    StartArrowTimer(2);
  }
}

void TdxBarDateNavigator::MouseMove(TShiftState shift, int x, int y) {
  if (arrowTimer_) return;
  if (monthList_) {
    POINT s{x, y};
    ::ClientToScreen(handle_, &s);
    if (monthList_->HandleAllocated()) ::ScreenToClient(monthList_->Handle(), &s);
    monthList_->PointerMoved(TPoint(s.x, s.y));
    return;
  }
  TdxBarNavigatorLayout l = Layout();
  TPoint p(x, y);
  if (todayPressed_) {
    bool hot = l.TodayButton.Contains(p);
    if (hot != todayHot_) {
      todayHot_ = hot;
      InvalidateRect(handle_, nullptr, FALSE);
    }
    return;
  }
  if (clearPressed_) {
    bool hot = l.ClearButton.Contains(p);
    if (hot != clearHot_) {
      clearHot_ = hot;
      InvalidateRect(handle_, nullptr, FALSE);
    }
    return;
  }
  TdxBarCustomCalendar::MouseMove(shift, x, y);
}

void TdxBarDateNavigator::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button != mbLeft) {
    TdxBarCustomCalendar::MouseUp(button, shift, x, y);
    return;
  }
  if (arrowTimer_) {
    FreeTimer();
    return;
  }
  if (monthList_) {
    // Picking a month ends the press: the drop-down stays open at it.
    double chosen = monthList_->ChosenDate();
    FreeMonthList();
    if (chosen != dxBarNoDate) {
      int yy, mm, dd;
      DecodeDate(chosen, yy, mm, dd);
      dxBarShiftMonth(yy, mm, -monthPanelIndex_);
      SetFirstDate(EncodeDate(yy, mm, 1));
      Repaint();
    }
    return;
  }
  TPoint p(x, y);
  TdxBarNavigatorLayout l = Layout();
  if (todayPressed_) {
    todayPressed_ = false;
    if (!todayHot_) {
      InvalidateRect(handle_, nullptr, FALSE);
      return;
    }
    todayHot_ = false;
    SetSelStart(dxBarDateOf(dxBarSystem()->Today()));
  } else if (clearPressed_) {
    clearPressed_ = false;
    if (!clearHot_) {
      InvalidateRect(handle_, nullptr, FALSE);
      return;
    }
    clearHot_ = false;
    SetSelStart(dxBarNoDate);
  }
  TdxBarCustomCalendar::MouseUp(button, shift, x, y);
  if (doubleClicked_) {
    doubleClicked_ = false;
    return;
  }
  bool overButton = HasButtonsArea() && ((showToday_ && l.TodayButton.Contains(p)) || (showClear_ && l.ClearButton.Contains(p)));
  if (ClientRect().Contains(p) && (PosToDateTime(p) != dxBarNoDate || overButton))
    DoDateTimeChanged();
  else
    DoInternalSelectPeriod(anchorDate_);
}

void TdxBarDateNavigator::DblClick() {
  TdxBarCustomCalendar::DblClick();
  if (popup_ || !HandleAllocated()) return;
  TPoint s = dxBarSystem()->GetCursorPos();
  POINT c{s.x, s.y};
  ::ScreenToClient(handle_, &c);
  if (PosToDateTime(TPoint(c.x, c.y)) == dxBarNoDate) return;
  if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(mrOk);
}

void TdxBarDateNavigator::PaintButton(HDC dc, const TRect& r, const String& caption, bool pressed) {
  TRect inner = r;
  if (GetUltraFlat()) {
    Frame(dc, r, dxBarSysColor(COLOR_BTNSHADOW));
    inner = TRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
  } else if (pressed) {
    RECT rr = r;
    DrawFrameControl(dc, &rr, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED);
    inner = TRect(r.left + 2, r.top + 2, r.right - 2, r.bottom - 2);
  } else {
    COLORREF text = dxBarSysColor(COLOR_BTNTEXT), face = dxBarSysColor(COLOR_BTNFACE);
    COLORREF shadow = dxBarSysColor(COLOR_BTNSHADOW), light = dxBarSysColor(COLOR_BTNHIGHLIGHT);
    int l = r.left, t = r.top, rr = r.right - 1, b = r.bottom - 1;
    Line(dc, l, b, rr + 1, b, text);
    Line(dc, rr, t, rr, b, text);
    Line(dc, l, t, rr, t, face);
    Line(dc, l, t, l, b, face);
    Line(dc, l + 1, b - 1, rr, b - 1, shadow);
    Line(dc, rr - 1, t + 1, rr - 1, b - 1, shadow);
    Line(dc, l + 1, t + 1, rr - 1, t + 1, light);
    Line(dc, l + 1, t + 1, l + 1, b - 1, light);
    SetPixel(dc, rr - 1, t + 1, face);
    inner = TRect(l + 2, t + 2, rr - 1, b - 1);
  }
  Fill(dc, inner, dxBarSysColor(COLOR_BTNFACE));
  TRect t = r;
  if (pressed) t = TRect(r.left + 1, r.top + 1, r.right + 1, r.bottom + 1);
  PaintText(dc, caption, t, DT_CENTER | DT_VCENTER, dxBarSysColor(COLOR_BTNTEXT));
}

void TdxBarDateNavigator::Paint() {
  HDC dc = Canvas()->Handle();
  TRect client = ClientRect();
  TdxBarNavigatorLayout l = Layout();
  TdxBarNavigatorMetrics& m = metrics_;
  double today = dxBarDateOf(dxBarSystem()->Today());
  double last = GetLastDate();
  HGDIOBJ oldFont = SelectObject(dc, Font()->Handle());
  // What the steps leave is filled at the end.
  HRGN rest = CreateRectRgn(client.left, client.top, client.right, client.bottom);
  auto covered = [&](const TRect& r) {
    HRGN part = CreateRectRgn(r.left, r.top, r.right, r.bottom);
    CombineRgn(rest, rest, part, RGN_DIFF);
    DeleteObject(part);
  };
  COLORREF btnText = dxBarSysColor(COLOR_BTNTEXT), btnFace = dxBarSysColor(COLOR_BTNFACE);
  COLORREF shadow = dxBarSysColor(COLOR_BTNSHADOW), window = dxBarSysColor(COLOR_WINDOW);

  // Header.
  TRect header = l.Header;
  covered(header);
  TdxBarCalendarStyle style = GetStyle();
  if (style == cs3D) {
    Line(dc, header.left, header.bottom, header.right, header.bottom, btnText);
    Line(dc, header.right - 1, header.top, header.right - 1, header.bottom + 1, btnText);
    covered(TRect(header.left, header.bottom, header.right, header.bottom + 1));
    header.right -= 1;
  }
  if (style == csUltraFlat) {
    Line(dc, header.left, header.bottom - 1, header.right, header.bottom - 1, shadow);
    header.bottom -= 1;
  } else {
    RECT e = header;
    DrawEdge(dc, &e, BDR_RAISEDINNER, BF_RECT);
    header = TRect(header.left + 1, header.top + 1, header.right - 1, header.bottom - 1);
  }
  int a = m.HeaderHeight / 2;
  if (a % 2 == 0) ++a;
  int cy = (header.top + header.bottom) / 2;
  HBRUSH arrowBrush = CreateSolidBrush(btnText);
  HPEN arrowPen = CreatePen(PS_SOLID, 1, btnText);
  HGDIOBJ oldBrush = SelectObject(dc, arrowBrush), oldPen = SelectObject(dc, arrowPen);
  int lx = header.left - 1 + (m.SideWidth - 1);
  POINT left[3] = {{lx, cy - a / 2}, {lx, cy + a / 2}, {lx - a / 2, cy}};
  int rx = header.right - (m.SideWidth - 1);
  POINT right[3] = {{rx, cy - a / 2}, {rx, cy + a / 2}, {rx + a / 2, cy}};
  Fill(dc, header, btnFace);
  Polygon(dc, left, 3);
  Polygon(dc, right, 3);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(arrowBrush);
  DeleteObject(arrowPen);
  int fy, fm, fd;
  DecodeDate(firstDate_, fy, fm, fd);
  PaintText(dc, dxBarMonthYearText(fy, fm, kUserLocale), l.MonthName, DT_CENTER | DT_VCENTER, btnText);

  // Weekday letters.
  TRect week(m.SideWidth, l.Inner.top, client.right - m.SideWidth, l.Inner.top + m.DaysOfWeekHeight - 2);
  Fill(dc, week, window);
  covered(TRect(week.left, week.top, week.right, week.bottom + 2));
  Line(dc, week.left, week.bottom, week.right, week.bottom, shadow);
  Line(dc, week.left, week.bottom + 1, week.right, week.bottom + 1, window);
  for (int c = 0; c < 7; ++c) {
    TRect cell(m.SideWidth + c * m.ColumnWidth, week.top, m.SideWidth + (c + 1) * m.ColumnWidth - 3, week.bottom);
    PaintText(dc, dxBarWeekDayLetter((dxBarFirstWeekDay() + c) % 7, kUserLocale), cell, DT_RIGHT | DT_VCENTER, btnText);
  }

  // Days.
  double realFirst = GetRealFirstDate();
  double selStart = GetSelStart(), selFinish = GetSelFinish();
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 7; ++x) {
      double d = realFirst + 7 * y + x;
      TRect cell(m.SideWidth + x * m.ColumnWidth, l.Grid.top + y * m.RowHeight, m.SideWidth + (x + 1) * m.ColumnWidth,
                 l.Grid.top + (y + 1) * m.RowHeight);
      covered(cell);
      if (d == today) {
        Frame(dc, cell, RGB(128, 0, 0));
        cell = TRect(cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 1);
      }
      bool selected = selStart != dxBarNoDate && d >= selStart && d <= selFinish;
      COLORREF back = window, text = dxBarSysColor(COLOR_WINDOWTEXT);
      if (selected) {
        if (style == csUltraFlat)
          back = combo_ && combo_->BarManager() ? combo_->BarManager()->FlatToolbarsSelColor() : dxBarSysColor(COLOR_HIGHLIGHT);
        else
          back = dxBarSysColor(style == cs3D ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
      }
      // On the flat style's button face the highlight text may not show.
      if (selected && style == cs3D)
        text = dxBarSysColor(COLOR_HIGHLIGHTTEXT);
      else if (selected && style == csFlat)
        text = dxBarSysColor(COLOR_BTNTEXT);
      else if (d < firstDate_ || d > last)
        text = dxBarSysColor(COLOR_GRAYTEXT);
      Fill(dc, cell, back);
      int yy, mm, dd;
      DecodeDate(d, yy, mm, dd);
      TRect t(cell.left, cell.top, cell.right - 3, cell.bottom);
      PaintText(dc, IntToStr(dd), t, DT_RIGHT | DT_VCENTER, text);
    }

  // Buttons.
  if (HasButtonsArea()) {
    int top = client.bottom - m.ButtonsAreaHeight;
    Line(dc, l.Grid.left, top - 1, l.Grid.right, top - 1, shadow);
    covered(TRect(l.Grid.left, top - 1, l.Grid.right, top));
    if (showToday_) {
      PaintButton(dc, l.TodayButton, dxBarTodayCaption(), todayPressed_ && todayHot_);
      covered(l.TodayButton);
    }
    if (showClear_) {
      PaintButton(dc, l.ClearButton, dxBarClearCaption(), clearPressed_ && clearHot_);
      covered(l.ClearButton);
    }
  }

  HBRUSH windowBrush = CreateSolidBrush(window);
  FillRgn(dc, rest, windowBrush);
  DeleteObject(windowBrush);
  DeleteObject(rest);
  SelectObject(dc, oldFont);
}

// ---------------------------------------------------------------- month list

TAMonthListBox::TAMonthListBox(TdxBarDateNavigator* navigator) : TCustomControl(navigator), navigator_(navigator) {
  visible_ = false;
  tabStop_ = false;
  int y, m, d;
  DecodeDate(navigator->FirstDate(), y, m, d);
  dxBarShiftMonth(y, m, -3);
  topDate_ = y >= 1601 ? EncodeDate(y, m, 1) : dxBarFirstShowableDate();
  Font()->Assign(navigator->Font());
  itemHeight_ = navigator->Metrics().HeaderHeight - 2;
  if (navigator->HandleAllocated()) SetParentWindow(navigator->Handle());
}

TAMonthListBox::~TAMonthListBox() { StopTimer(); }

void TAMonthListBox::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.WindowClass = &ControlWindowClass("TAMonthListBox", CS_SAVEBITS);
  p.Style = WS_POPUP | WS_BORDER;
  p.ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
}

void TAMonthListBox::Open() {
  int bw = GetSystemMetrics(SM_CXBORDER), bh = GetSystemMetrics(SM_CYBORDER);
  int w = 2 * bw + 6 * navigator_->Metrics().ColumnWidth;
  int h = 2 * bh + 7 * itemHeight_;
  TRect name = navigator_->Layout().MonthName;
  POINT c{(name.left + name.right) / 2, (name.top + name.bottom) / 2};
  if (navigator_->HandleAllocated()) ::ClientToScreen(navigator_->Handle(), &c);
  HandleNeeded();
  SetWindowPos(Handle(), HWND_TOPMOST, c.x - w / 2, c.y - h / 2, w, h, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  visible_ = true;
}

void TAMonthListBox::SetTopDate(double value) {
  if (value == topDate_) return;
  topDate_ = value;
  if (HandleAllocated()) InvalidateRect(Handle(), nullptr, FALSE);
}

double TAMonthListBox::ChosenDate() const {
  if (selectedIndex_ < 0 || topDate_ == dxBarNoDate) return dxBarNoDate;
  int y, m, d;
  DecodeDate(topDate_, y, m, d);
  dxBarShiftMonth(y, m, selectedIndex_);
  if (y < 1601 || y > 9999) return dxBarNoDate;
  return EncodeDate(y, m, 1);
}

void TAMonthListBox::SetSelectedIndex(int value) {
  if (value == selectedIndex_) return;
  selectedIndex_ = value;
  if (HandleAllocated()) InvalidateRect(Handle(), nullptr, FALSE);
}

void TAMonthListBox::StopTimer() {
  if (timer_) dxBarSystem()->KillTimer(timer_);
  timer_ = 0;
  timerId_ = 0;
  if (gScrollingList == this) gScrollingList = nullptr;
}

void TAMonthListBox::PointerMoved(TPoint p) {
  TRect c = ClientRect();
  if (c.Contains(p)) {
    StopTimer();
    SetSelectedIndex(itemHeight_ > 0 ? std::min(static_cast<int>(p.y) / itemHeight_, 6) : -1);
    return;
  }
  SetSelectedIndex(-1);
  int id = dxBarMonthListTimerId(p.y, c.Height());
  if (id == 0 || id == timerId_) return;
  StopTimer();
  timer_ = dxBarSystem()->SetTimer(static_cast<UINT>(dxBarMonthListInterval(id)), MonthListTimerProc);
  if (!timer_) return;
  timerId_ = id;
  gScrollingList = this;
}

void TAMonthListBox::TimerTick() {
  if (!timer_ || topDate_ == dxBarNoDate) return;
  int y, m, d;
  DecodeDate(topDate_, y, m, d);
  if (timerId_ <= 5) dxBarPrevMonth(y, m); else dxBarNextMonth(y, m);
  // The list stays within the dates a text can show.
  int ly = y, lm = m;
  dxBarShiftMonth(ly, lm, 6);
  if (y < 1601 || ly > 9999) return;
  SetTopDate(EncodeDate(y, m, 1));
}

void TAMonthListBox::WndProc(TMessage& msg) {
  switch (msg.Msg) {
    case WM_ERASEBKGND:
      msg.Result = 1;
      return;
    case WM_MOUSEACTIVATE:
      msg.Result = MA_NOACTIVATE;
      return;
    case WM_DESTROY:
      StopTimer();
      break;
    default:
      break;
  }
  TCustomControl::WndProc(msg);
}

void TAMonthListBox::Paint() {
  HDC dc = Canvas()->Handle();
  TRect c = ClientRect();
  HGDIOBJ oldFont = SelectObject(dc, Font()->Handle());
  COLORREF window = dxBarSysColor(COLOR_WINDOW), text = dxBarSysColor(COLOR_WINDOWTEXT);
  int y, m, d;
  DecodeDate(topDate_ == dxBarNoDate ? dxBarFirstShowableDate() : topDate_, y, m, d);
  for (int i = 0; i < 7; ++i) {
    TRect r(0, i * itemHeight_, c.right, (i + 1) * itemHeight_);
    bool selected = i == selectedIndex_;
    Fill(dc, r, selected ? text : window);
    PaintText(dc, dxBarMonthYearText(y, m, kUserLocale), r, DT_CENTER | DT_VCENTER | DT_NOCLIP, selected ? window : text);
    dxBarNextMonth(y, m);
  }
  if (c.bottom > 7 * itemHeight_) Fill(dc, TRect(0, 7 * itemHeight_, c.right, c.bottom), window);
  SelectObject(dc, oldFont);
}
