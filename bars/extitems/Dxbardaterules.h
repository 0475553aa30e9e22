// The calendar's date arithmetic without windows: the no-date value, month
// steps, month lengths, the grid's first cell and columns, the keys a
// dropped-down navigator takes and the month list's scroll timers. The
// navigator and the date combo apply the results.
#pragma once

#include "classlib/Sysutils.h"

// The date items' value for "no date"; it shows as empty text.
constexpr double dxBarNoDate = -700000.0;
// The dates a text can show: stepping stops at either end.
double dxBarFirstShowableDate();  // 1601-01-01
double dxBarLastShowableDate();   // 9999-12-31
inline bool dxBarDateShowable(double d) { return d >= dxBarFirstShowableDate() && d < dxBarLastShowableDate() + 1; }
// d moved by days, kept within the showable dates.
double dxBarStepDate(double d, int days);

enum TDay { dSunday, dMonday, dTuesday, dWednesday, dThursday, dFriday, dSaturday };
enum TdxBarCalendarStyle { cs3D, csFlat, csUltraFlat };

bool dxBarIsLeapYear(int year);
int dxBarDaysPerMonth(int year, int month);
// A day below 1 becomes 1, one beyond the month's length its last day.
int dxBarCheckDay(int year, int month, int day);
void dxBarPrevMonth(int& year, int& month);
void dxBarNextMonth(int& year, int& month);
void dxBarShiftMonth(int& year, int& month, int n);
// The whole-day number of a date.
double dxBarDateOf(double d);
// The 1st and the last day of d's month.
double dxBarFirstOfMonth(double d);
double dxBarLastOfMonth(double d);
// The column 0..6 of d for a first day of the week 0 = Sunday .. 6 = Saturday.
int dxBarColOfDate(double d, int firstWeekDay);
// The grid's first cell for a month whose 1st is firstDate: a month that
// starts in the first column shows the whole week before it.
double dxBarRealFirstDate(double firstDate, int firstWeekDay);
inline double dxBarRealLastDate(double firstDate, int firstWeekDay) {
  return dxBarRealFirstDate(firstDate, firstWeekDay) + 41;
}
// The shown month's 1st after the selection sel moved: a selection inside the
// grid keeps the month, one before it shows the month before sel's, one after
// it sel's month.
double dxBarCheckFirstDate(double firstDate, double sel, int firstWeekDay);

// The selection after a key in a dropped-down navigator (virtual key, Ctrl
// held alone); keys it does not take leave it as is.
double dxBarNavigatorKey(double sel, unsigned key, bool ctrl, int firstWeekDay);

// The month list's scroll timer for a pointer at y (client coordinates) of a
// list height high: 0 inside or beside it, else 1..4 upward and 6..9
// downward, and its interval.
int dxBarMonthListTimerId(int y, int height);
int dxBarMonthListInterval(int timerId);
