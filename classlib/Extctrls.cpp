#include "Extctrls.h"

TTimer::TTimer(TComponent* owner) : TComponent(owner) { window_ = AllocateHWnd({this, &TTimer::WndProc}); }

TTimer::~TTimer() {
  enabled_ = false;
  UpdateTimer();
  DeallocateHWnd(window_);
}

void TTimer::UpdateTimer() {
  KillTimer(window_, 1);
  if (interval_ != 0 && enabled_ && onTimer_) {
    if (!SetTimer(window_, 1, interval_, nullptr)) throw EOutOfResources("Not enough timers available");
  }
}

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned value) {
  if (value == interval_) return;
  interval_ = value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  onTimer_ = std::move(handler);
  UpdateTimer();
}

void TTimer::Timer() {
  if (onTimer_) onTimer_(this);
}

void TTimer::WndProc(TMessage& msg) {
  if (msg.Msg == WM_TIMER) {
    Timer();  // an exception leaves through the window class's catch
    return;
  }
  msg.Result = DefWindowProcA(window_, msg.Msg, msg.WParam, msg.LParam);
}
