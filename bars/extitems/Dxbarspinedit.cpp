// The spin edit: a number kept within its range with a prefix, stepped by
// the two buttons at the field's right end (repeating while one is held, on
// the bars' timers) and by Up and Down while it is edited.
#include "Dxbarspinedit.h"

#include <windowsx.h>

DX_BAR_ITEM_CLASS_IMPL(TdxBarSpinEdit)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarSpinEditControl)

// ---------------------------------------------------------------- item

TdxBarSpinEdit::TdxBarSpinEdit(TComponent* owner) : TdxBarEdit(owner) {
  text_.assign(1, '0');
  rules_.DecimalSeparator = FormatSettings.DecimalSeparator;
}

TdxBarSpinEditControl* TdxBarSpinEdit::FocusedSpinControl() const {
  TdxBarItemLink* link = FocusedItemLink();
  return link ? dynamic_cast<TdxBarSpinEditControl*>(link->Control()) : nullptr;
}

void TdxBarSpinEdit::SetText(const String& value) {
  long double v = 0;
  if (rules_.Convert(value, v)) TdxBarEdit::SetText(rules_.ValueToText(rules_.Checked(v)));
  // The field being edited shows what was committed (clamped, with the
  // prefix, or the old text for one that does not convert).
  if (TdxBarWinControl* c = WinControlOf(FocusedItemLink()))
    if (c->GetText() != Text()) c->SetText(Text());
}

void TdxBarSpinEdit::SetValue(long double value) {
  long double v = rules_.Checked(value);
  if (v != Value()) SetText(rules_.ValueToText(v));
}

void TdxBarSpinEdit::SetCurValue(long double value) {
  long double v = rules_.Checked(value);
  if (v != CurValue()) SetCurText(rules_.ValueToText(v));
}

void TdxBarSpinEdit::SetMinValue(long double value) {
  value = rules_.Prepare(value);
  if (value == rules_.MinValue) return;
  rules_.MinValue = value;
  if (rules_.MinValue > rules_.MaxValue) rules_.MaxValue = rules_.MinValue;
  SetValue(rules_.Checked(Value()));
  SetCurValue(rules_.Checked(CurValue()));
}

void TdxBarSpinEdit::SetMaxValue(long double value) {
  value = rules_.Prepare(value);
  if (value == rules_.MaxValue) return;
  rules_.MaxValue = value;
  if (rules_.MaxValue < rules_.MinValue) rules_.MinValue = rules_.MaxValue;
  SetValue(rules_.Checked(Value()));
  SetCurValue(rules_.Checked(CurValue()));
}

void TdxBarSpinEdit::SetPrefix(const String& value) {
  if (value == rules_.Prefix) return;
  long double old = Value();
  rules_.Prefix = value;
  SetText(rules_.ValueToText(old));
}

void TdxBarSpinEdit::SetPrefixPlace(TdxBarSpinEditPrefixPlace value) {
  if (value == rules_.PrefixPlace) return;
  long double old = Value();
  rules_.PrefixPlace = value;
  SetText(rules_.ValueToText(old));
}

void TdxBarSpinEdit::SetValueType(TdxBarSpinEditValueType value) {
  if (value == rules_.ValueType) return;
  long double v = Value(), cur = CurValue();
  rules_.ValueType = value;
  if (value != svtInteger) return;
  SetIncrement(rules_.Increment);
  SetMinValue(rules_.MinValue);
  SetMaxValue(rules_.MaxValue);
  SetValue(v);
  SetCurValue(cur);
}

void TdxBarSpinEdit::DoButtonClick(TdxBarSpinEditButton button) {
  if (button == sbUp) SetCurValue(CurValue() + rules_.Increment);
  if (button == sbDown) SetCurValue(CurValue() - rules_.Increment);
  if (OnButtonClick) OnButtonClick(this, button);
}

void TdxBarSpinEdit::KeyDown(WORD& key, TShiftState shift) {
  TdxBarEdit::KeyDown(key, shift);
  if (key != VK_UP && key != VK_DOWN) return;
  TdxBarSpinEditControl* c = FocusedSpinControl();
  if (!c || ReadOnly()) return;
  TdxBarSpinEditButton button = key == VK_UP ? sbUp : sbDown;
  key = 0;
  if (c->Repeating()) return;
  c->SetActiveButton(button);
  DoButtonClick(button);
}

void TdxBarSpinEdit::KeyUp(WORD& key, TShiftState shift) {
  TdxBarEdit::KeyUp(key, shift);
  if (key != VK_UP && key != VK_DOWN) return;
  if (TdxBarSpinEditControl* c = FocusedSpinControl(); c && !c->Repeating()) c->SetActiveButton(sbNone);
}

void TdxBarSpinEdit::KeyPress(char& key) {
  TdxBarEdit::KeyPress(key);
  rules_.DecimalSeparator = FormatSettings.DecimalSeparator;
  if (key != 0 && !rules_.AcceptsChar(key)) key = 0;
}

// ---------------------------------------------------------------- control: the repeat

namespace {

// The one held button of the program (a single mouse holds it).
TdxBarSpinEditControl* gRepeating = nullptr;

void CALLBACK RepeatTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  try {
    if (gRepeating) gRepeating->RepeatTick();
  } catch (...) {
    HandleExceptionLater(nullptr);
  }
}

}  // namespace

TdxBarSpinEditControl::~TdxBarSpinEditControl() { StopTimer(); }

void TdxBarSpinEditControl::StartTimer(UINT elapse, bool first) {
  StopTimer();
  timer_ = dxBarSystem()->SetTimer(elapse, RepeatTimerProc);
  if (!timer_) return;
  firstTimer_ = first;
  gRepeating = this;
}

void TdxBarSpinEditControl::StopTimer() {
  if (timer_) dxBarSystem()->KillTimer(timer_);
  timer_ = 0;
  if (gRepeating == this) gRepeating = nullptr;
}

void TdxBarSpinEditControl::RepeatTick() {
  if (!timer_) return;
  if (firstTimer_) StartTimer(dxBarSpinRepeat, false);
  TdxBarSpinEdit* edit = SpinEdit();
  if (edit && buttonPressed_ && activeButton_ != sbNone) edit->DoButtonClick(activeButton_);
}

void TdxBarSpinEditControl::BreakProcess() {
  StopTimer();
  SetActiveButton(sbNone);
  if (window_ && GetCapture() == window_) ReleaseCapture();
}

// ---------------------------------------------------------------- control: buttons

void TdxBarSpinEditControl::SetActiveButton(TdxBarSpinEditButton value) {
  if (value == activeButton_) return;
  activeButton_ = value;
  SetButtonPressed(value != sbNone);
}

void TdxBarSpinEditControl::SetButtonPressed(bool value) {
  if (value == buttonPressed_) return;
  buttonPressed_ = value;
  Repaint();
}

TdxBarSpinEditButton TdxBarSpinEditControl::ButtonFromPoint(TPoint p) {
  TdxBarSpinEdit* edit = SpinEdit();
  if (!edit || edit->ReadOnly() || !window_ || !parent_ || !parent_->HandleAllocated()) return sbNone;
  POINT q{p.x, p.y};
  MapWindowPoints(window_, parent_->Handle(), &q, 1);
  return buttons_.At(TPoint(q.x, q.y));
}

void TdxBarSpinEditControl::WndProc(TMessage& msg) {
  std::shared_ptr<const bool> alive = Alive();
  UINT m = msg.Msg;
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  if (m == WM_KILLFOCUS && activeButton_ != sbNone) BreakProcess();
  TdxBarEditControl::WndProc(msg);
  if (!*alive || !window_) return;
  switch (m) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (activeButton_ != sbNone) return;
      TdxBarSpinEditButton b = ButtonFromPoint(p);
      SetActiveButton(b);
      if (b == sbNone) return;
      SetCapture(window_);
      if (TdxBarSpinEdit* edit = SpinEdit()) edit->DoButtonClick(b);
      if (!*alive) return;
      StartTimer(dxBarSpinFirstRepeat(GetDoubleClickTime()), true);
      break;
    }
    case WM_MOUSEMOVE:
      if (timer_ && activeButton_ != sbNone) SetButtonPressed(ButtonFromPoint(p) == activeButton_);
      break;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (timer_) BreakProcess();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- control: painting

void TdxBarSpinEditControl::Paint(const TRect& r, TdxBarPaintType paintType) {
  buttons_ = TdxBarSpinButtons();
  if (r.Empty()) return;
  bool flat = Flat();
  TdxBarSpinButtons b = TdxBarSpinButtons::Calc(r, flat);
  if (!b.Shown) {
    TdxBarEditControl::Paint(r, paintType);
    return;
  }
  TdxBarEditControl::Paint(b.Field, paintType);
  buttons_ = b;
  HDC dc = CanvasHandle();
  HBRUSH toolbar = parent_->GetToolbarBrush();
  TRect left(b.Strip.left, b.Strip.top, b.Strip.left + 1, b.Strip.bottom);
  TRect right(b.Strip.right - 1, b.Strip.top, b.Strip.right, b.Strip.bottom);
  FillRect(dc, &left, toolbar);
  FillRect(dc, &right, toolbar);
  bool selected = DrawSelected();
  bool enabled = GetEnabled();
  for (TdxBarSpinEditButton button : {sbUp, sbDown}) {
    bool pressed = activeButton_ == button && buttonPressed_;
    TRect face = button == sbUp ? b.Up : b.Down;
    FrameAndFillRect(dc, face, pressed, selected);
    auto triangle = [&](int dx, int dy, COLORREF color) {
      POINT pts[3];
      b.Arrow(button, pressed, flat, pts);
      for (POINT& q : pts) q = POINT{q.x + dx, q.y + dy};
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
      triangle(0, 0, dxBarSysColor(COLOR_BTNTEXT));
    } else {
      if (!flat) triangle(1, 1, dxBarSysColor(COLOR_BTNHIGHLIGHT));
      triangle(0, 0, dxBarSysColor(COLOR_BTNSHADOW));
    }
  }
}
