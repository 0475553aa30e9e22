// The month calendar of the date combo: the navigator (one month with its
// header, weekday letters, 42 days and, dropped down, the Today and Clear
// buttons) and the month list a press on its month name opens. Its sizes
// and rectangles are plain records worked out from the font's measures.
#pragma once

#include "bars/extitems/Dxbardaterules.h"
#include "classlib/Controls.h"

class TdxBarDateCombo;
class TAMonthListBox;

// The navigator's measures, from the width and height of "0" in its font
// and the font's size in points.
struct TdxBarNavigatorMetrics {
  int ColumnWidth = 0;
  int SideWidth = 0;
  int RowHeight = 0;
  int HeaderHeight = 0;
  int DaysOfWeekHeight = 0;
  int TodayButtonWidth = 0;
  int ClearButtonWidth = 0;
  int ButtonsTop = 0;
  int ButtonsHeight = 0;
  int ButtonsAreaHeight = 0;
};
TdxBarNavigatorMetrics dxBarNavigatorMetrics(TSize zero, int fontSize, bool flat, int todayTextWidth,
                                             int clearTextWidth);

// The navigator's outer size for a frame of frame.cx x frame.cy pixels.
TSize dxBarNavigatorSize(const TdxBarNavigatorMetrics& m, TSize frame, bool flat, bool buttonsArea);

// The navigator's rectangles in a client area of size client.
struct TdxBarNavigatorLayout {
  TRect Header;
  TRect Inner;
  TRect LeftArrow;
  TRect RightArrow;
  TRect MonthName;
  // The 7 x 6 day cells.
  TRect Grid;
  TRect TodayButton;  // empty when not shown
  TRect ClearButton;
};
TdxBarNavigatorLayout dxBarNavigatorLayout(const TdxBarNavigatorMetrics& m, TSize client, TdxBarCalendarStyle style,
                                           bool showToday, bool showClear);
// The day under a client point of the grid (realFirst is its first cell),
// the no-date value off the grid or the client area.
double dxBarNavigatorDateAt(const TdxBarNavigatorMetrics& m, const TdxBarNavigatorLayout& l, TSize client,
                            double realFirst, TPoint p);

// A calendar window: the first date of the shown month, the selection and
// its style; the mouse selects dates.
class TdxBarCustomCalendar : public TCustomControl {
 public:
  explicit TdxBarCustomCalendar(TComponent* owner);

  virtual TdxBarCalendarStyle GetStyle() const { return style_; }
  bool GetFlat() const { return GetStyle() != cs3D; }
  bool GetUltraFlat() const { return GetStyle() == csUltraFlat; }
  // A changed style makes the window again.
  void SetStyle(TdxBarCalendarStyle value);

  double FirstDate() const { return firstDate_; }
  virtual double GetRealFirstDate() const { return firstDate_; }
  virtual double GetRealLastDate() const { return GetLastDate(); }
  virtual double GetLastDate() const = 0;
  // The earlier and the later end of the selection.
  virtual double GetSelStart() const;
  virtual double GetSelFinish() const;
  virtual void SetFirstDate(double value);
  virtual void SetSelStart(double value);
  virtual void SetSelFinish(double value);

  TNotifyEvent OnDateTimeChanged;

 protected:
  virtual void CheckFirstDate() = 0;
  virtual double PosToDateTime(TPoint p) = 0;
  // The press ends: a release far off the window.
  virtual void CancelAll();
  virtual void DoDateTimeChanged();
  void DoInternalSelectPeriod(double date);
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& msg) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;

  double anchorDate_ = dxBarNoDate;
  double firstDate_;
  double selStart_;
  double selFinish_;
  TdxBarCalendarStyle style_ = csFlat;
};

// One month: the drop-down of a date combo (popup) or the calendar of its
// "Select the date" dialog.
class TdxBarDateNavigator : public TdxBarCustomCalendar {
 public:
  TdxBarDateNavigator(TComponent* owner, TdxBarDateCombo* combo, bool popup);
  ~TdxBarDateNavigator() override;

  TdxBarDateCombo* Combo() const { return combo_; }
  bool Popup() const { return popup_; }
  TdxBarCalendarStyle GetStyle() const override;
  void SetFirstDate(double value) override;
  double GetLastDate() const override;
  double GetRealFirstDate() const override;
  double GetRealLastDate() const override { return GetRealFirstDate() + 41; }
  void SetSelFinish(double value) override;
  int ColOfDate(double date) const;

  bool ShowTodayButton() const { return showToday_; }
  void SetShowTodayButton(bool value);
  bool ShowClearButton() const { return showClear_; }
  void SetShowClearButton(bool value);

  const TdxBarNavigatorMetrics& Metrics() const { return metrics_; }
  TdxBarNavigatorLayout Layout();
  int GetWidth();
  int GetHeight();
  // The client rectangle of a day's cell (empty off the grid).
  TRect DayRect(double date);

  // Shows the month before or after; the selection stays.
  void StepToPast();
  void StepToFuture();
  // Stops the arrows' timer, the month list and the buttons' tracking.
  void DeactivateAll();
  // The font of the combo's bar edits, the measures and the size again.
  void UpdateFont();

  TAMonthListBox* MonthList() const { return monthList_; }
  bool ArrowTimerRunning() const { return arrowTimer_ != 0; }
  bool TodayPressed() const { return todayPressed_; }
  bool TodayHot() const { return todayHot_; }
  bool ClearPressed() const { return clearPressed_; }
  bool ClearHot() const { return clearHot_; }
  // One tick of the arrows' timer.
  void ArrowTick();

 protected:
  void CheckFirstDate() override;
  double PosToDateTime(TPoint p) override;
  void CancelAll() override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& msg) override;
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void DblClick() override;

 private:
  void FreeTimer();
  void StartArrowTimer(int id);
  void FreeMonthList();
  void OpenMonthList();
  void ComputeMetrics();
  void KeyDown(WORD key);
  TSize FrameSize();
  bool HasButtonsArea() const { return popup_ && (showToday_ || showClear_); }
  void PaintButton(HDC dc, const TRect& r, const String& caption, bool pressed);

  TdxBarDateCombo* combo_;
  bool popup_;
  TdxBarNavigatorMetrics metrics_;
  TAMonthListBox* monthList_ = nullptr;
  int monthPanelIndex_ = 0;
  UINT_PTR arrowTimer_ = 0;
  int arrowTimerId_ = 0;
  bool todayPressed_ = false, todayHot_ = false, clearPressed_ = false, clearHot_ = false;
  bool showToday_ = true, showClear_ = false;
  bool doubleClicked_ = false;
};

// The seven months shown while the button is held on the navigator's
// month name; beyond its top or bottom edge the months scroll on a timer,
// faster further away.
class TAMonthListBox : public TCustomControl {
 public:
  explicit TAMonthListBox(TdxBarDateNavigator* navigator);
  ~TAMonthListBox() override;

  double TopDate() const { return topDate_; }
  void SetTopDate(double value);
  int ItemHeight() const { return itemHeight_; }
  int SelectedIndex() const { return selectedIndex_; }
  // The 1st of the chosen month, the no-date value when none is chosen.
  double ChosenDate() const;
  // The scroll timer's id (0: none): 1..4 scroll up, 6..9 down.
  int TimerId() const { return timerId_; }
  // A move of the held pointer, in the list's client coordinates.
  void PointerMoved(TPoint p);
  void TimerTick();
  // Placed centred on the navigator's month name and shown.
  void Open();

 protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& msg) override;
  void Paint() override;

 private:
  void StopTimer();
  void SetSelectedIndex(int value);
  TdxBarDateNavigator* navigator_;
  double topDate_ = dxBarNoDate;
  int itemHeight_ = 0;
  int selectedIndex_ = -1;
  UINT_PTR timer_ = 0;
  int timerId_ = 0;
};
