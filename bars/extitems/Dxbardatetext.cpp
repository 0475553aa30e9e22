#include "bars/extitems/Dxbardatetext.h"

#include <oleauto.h>

#include <vector>

#include "bars/extitems/Dxbardaterules.h"

namespace {

String LocaleText(LCID locale, LCTYPE type) {
  char buffer[100] = {};
  if (GetLocaleInfoA(locale, type, buffer, sizeof buffer) == 0) return String();
  return String(buffer);
}

// A date the locale writes with the picture (nullptr: its short date).
bool FormatDate(LCID locale, const SYSTEMTIME& st, const char* picture, String& out) {
  char buffer[100] = {};
  int n = GetDateFormatA(locale, 0, &st, picture, buffer, sizeof buffer);
  if (n <= 0) return false;
  out = String(buffer);
  return true;
}

bool IsWeekDayName(const String& word, LCID locale) {
  if (word.empty()) return false;
  for (int i = 0; i < 7; ++i)
    for (LCTYPE type : {LCTYPE(LOCALE_SABBREVDAYNAME1 + i), LCTYPE(LOCALE_SDAYNAME1 + i)}) {
      String name = LocaleText(locale, type);
      if (!name.empty() &&
          CompareStringA(locale, NORM_IGNORECASE, name.c_str(), -1, word.c_str(), -1) == CSTR_EQUAL)
        return true;
    }
  return false;
}

}  // namespace

String dxBarDateText(double date, LCID locale) {
  if (date == dxBarNoDate || !dxBarDateShowable(date)) return String();
  SYSTEMTIME st{};
  DateTimeToSystemTime(dxBarDateOf(date), st);
  String day, shortDate;
  if (!FormatDate(locale, st, "ddd ", day) || !FormatDate(locale, st, nullptr, shortDate)) return String();
  return day + shortDate;
}

double dxBarDateOfText(const String& text, LCID locale) {
  String s = text;
  size_t start = s.find_first_not_of(' ');
  if (start == String::npos) return dxBarNoDate;
  s = s.substr(start);
  size_t blank = s.find(' ');
  if (blank != String::npos && IsWeekDayName(s.substr(0, blank), locale)) s = s.substr(blank + 1);
  for (char& c : s)
    if (c == '.') c = ' ';
  int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
  if (n <= 0) return dxBarNoDate;
  std::vector<wchar_t> wide(static_cast<size_t>(n));
  MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, wide.data(), n);
  DATE d = 0;
  if (FAILED(VarDateFromStr(wide.data(), locale, 0, &d))) return dxBarNoDate;
  if (!dxBarDateShowable(d)) return dxBarNoDate;
  return d;
}

bool dxBarDateMinusIsText(LCID locale) { return LocaleText(locale, LOCALE_SSHORTDATE).find('-') != String::npos; }

String dxBarMonthYearText(int year, int month, LCID locale) {
  String name = LocaleText(locale, LOCALE_SMONTHNAME1 + (month - 1));
  if (name.empty()) name = FormatSettings.LongMonthNames[month - 1];
  return name + " " + IntToStr(year);
}

String dxBarWeekDayLetter(int day, LCID locale) {
  // The locale counts its short day names from Monday.
  LCTYPE type = LOCALE_SABBREVDAYNAME1 + (day + 6) % 7;
  wchar_t name[100] = {};
  if (GetLocaleInfoW(locale, type, name, 100) == 0 || name[0] == 0)
    return FormatSettings.ShortDayNames[day].substr(0, 1);
  char letter[8] = {};
  int n = WideCharToMultiByte(CP_ACP, 0, name, 1, letter, sizeof letter, nullptr, nullptr);
  return n > 0 ? String(letter, static_cast<size_t>(n)) : String();
}
