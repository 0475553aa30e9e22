#include "bars/extitems/Dxbardaterules.h"

#include <cmath>
#include <windows.h>

double dxBarFirstShowableDate() { return EncodeDate(1601, 1, 1); }
double dxBarLastShowableDate() { return EncodeDate(9999, 12, 31); }

double dxBarStepDate(double d, int days) {
  if (d == dxBarNoDate) return d;
  double r = dxBarDateOf(d) + days;
  if (r < dxBarFirstShowableDate()) return dxBarFirstShowableDate();
  if (r > dxBarLastShowableDate()) return dxBarLastShowableDate();
  return r;
}

bool dxBarIsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int dxBarDaysPerMonth(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return days[month - 1] + (month == 2 && dxBarIsLeapYear(year) ? 1 : 0);
}

int dxBarCheckDay(int year, int month, int day) {
  if (day < 1) return 1;
  int last = dxBarDaysPerMonth(year, month);
  return day > last ? last : day;
}

void dxBarPrevMonth(int& year, int& month) {
  if (--month < 1) {
    month = 12;
    --year;
  }
}

void dxBarNextMonth(int& year, int& month) {
  if (++month > 12) {
    month = 1;
    ++year;
  }
}

void dxBarShiftMonth(int& year, int& month, int n) {
  year += n / 12;
  month += n % 12;
  if (month < 1) {
    month += 12;
    --year;
  } else if (month > 12) {
    month -= 12;
    ++year;
  }
}

// Negative dates count their time from the day's start too, so the rounding
// goes away from zero: a whole day before 1899-12-30 stays that day.
double dxBarDateOf(double d) { return std::trunc(d < 0 ? d - 1e-11 : d + 1e-11); }

double dxBarFirstOfMonth(double d) {
  int y, m, day;
  DecodeDate(dxBarDateOf(d), y, m, day);
  return dxBarDateOf(d) + 1 - day;
}

double dxBarLastOfMonth(double d) {
  int y, m, day;
  DecodeDate(dxBarDateOf(d), y, m, day);
  return dxBarDateOf(d) + dxBarDaysPerMonth(y, m) - day;
}

int dxBarColOfDate(double d, int firstWeekDay) {
  int c = DayOfWeek(dxBarDateOf(d)) - firstWeekDay - 1;
  return c < 0 ? c + 7 : c;
}

double dxBarRealFirstDate(double firstDate, int firstWeekDay) {
  int c = dxBarColOfDate(firstDate, firstWeekDay);
  return firstDate - (c == 0 ? 7 : c);
}

double dxBarCheckFirstDate(double firstDate, double sel, int firstWeekDay) {
  if (sel == dxBarNoDate) return firstDate;
  if (dxBarRealFirstDate(firstDate, firstWeekDay) > sel) {
    int y, m, d;
    DecodeDate(dxBarDateOf(sel), y, m, d);
    dxBarPrevMonth(y, m);
    firstDate = EncodeDate(y, m, 1);
  }
  if (dxBarRealLastDate(firstDate, firstWeekDay) < sel) firstDate = dxBarFirstOfMonth(sel);
  return firstDate;
}

double dxBarNavigatorKey(double sel, unsigned key, bool ctrl, int firstWeekDay) {
  if (sel == dxBarNoDate) return sel;
  double s = dxBarDateOf(sel);
  double r = s;
  switch (key) {
    case VK_LEFT: r = s - 1; break;
    case VK_RIGHT: r = s + 1; break;
    case VK_UP: r = s - 7; break;
    case VK_DOWN: r = s + 7; break;
    case VK_HOME: r = ctrl ? dxBarFirstOfMonth(s) : s - dxBarColOfDate(s, firstWeekDay); break;
    case VK_END: r = ctrl ? dxBarLastOfMonth(s) : s + 6 - dxBarColOfDate(s, firstWeekDay); break;
    case VK_PRIOR:
    case VK_NEXT: {
      int y, m, d;
      DecodeDate(s, y, m, d);
      if (key == VK_PRIOR) dxBarPrevMonth(y, m); else dxBarNextMonth(y, m);
      if (y < 1601 || y > 9999) return s;
      r = EncodeDate(y, m, dxBarCheckDay(y, m, d));
      break;
    }
    default: return sel;
  }
  return dxBarStepDate(r, 0);
}

int dxBarMonthListTimerId(int y, int height) {
  if (y >= 0 && y < height) return 0;
  int d = y < 0 ? y : y + 1 - height;
  int v = d / 12 + (d < 0 ? -1 : 1);
  if (v < -4) v = -4;
  if (v > 4) v = 4;
  return v + 5;
}

int dxBarMonthListInterval(int timerId) {
  static const int intervals[4] = {500, 250, 100, 50};
  if (timerId < 1 || timerId > 9 || timerId == 5) return 0;
  int v = timerId - 5;
  return intervals[(v < 0 ? -v : v) - 1];
}
