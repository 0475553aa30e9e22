// The date items' texts in a locale: a date as "ddd " and the short date,
// the date of a typed text, and the month and weekday names the calendar
// shows. The items pass the user's locale.
#pragma once

#include <windows.h>

#include "classlib/Sysutils.h"

// The abbreviated weekday, a blank and the short date; empty for the
// no-date value and for a date the locale cannot write.
String dxBarDateText(double date, LCID locale);
// The date of a text: a leading weekday name of the locale goes, dots
// become blanks, and the rest is read as a date of the locale; the
// no-date value when it is none or cannot be shown.
double dxBarDateOfText(const String& text, LCID locale);
// The locale's short dates hold '-', so a typed '-' is text, not a step.
bool dxBarDateMinusIsText(LCID locale);
// "March 2024": the long month name, a blank and the year.
String dxBarMonthYearText(int year, int month, LCID locale);
// The first character of the short name of a day (0 Sunday .. 6 Saturday).
String dxBarWeekDayLetter(int day, LCID locale);
