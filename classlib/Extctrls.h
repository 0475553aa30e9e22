// Non-visual controls: the timer.
#pragma once

#include "Forms.h"

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned value);
  // Setting the event (re)starts the timer when it is enabled.
  void SetOnTimer(TNotifyEvent handler);
  const TNotifyEvent& OnTimer() const { return onTimer_; }

 protected:
  virtual void Timer();

 private:
  void UpdateTimer();
  void WndProc(TMessage& msg);
  HWND window_ = nullptr;
  bool enabled_ = true;
  unsigned interval_ = 1000;
  TNotifyEvent onTimer_;
};
