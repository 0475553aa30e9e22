// Conversion of remote directory listings into parallel field lists.
#include "Ftpcommon.h"

#include <cstdint>
#include <ctime>
#include <limits>

namespace {

const char* const MONTHS[12] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                                "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char UpChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperText(std::string s) {
  for (char& c : s) c = UpChar(c);
  return s;
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < 28; }

void ControlsToBlanks(std::string& s) {
  for (char& c : s)
    if (IsControl(c)) c = ' ';
}

std::string TrimBlanks(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return std::string();
  const size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

// Empty once control characters and blanks are left out.
bool IsBlankLine(const std::string& s) {
  for (char c : s)
    if (c != ' ' && !IsControl(c)) return false;
  return true;
}

// The number the text starts with (after blanks and a sign); 0 when there
// is none. Values beyond 64 bits stop at the largest one.
int64_t StrToIntVal(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t v = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    const int d = s[i] - '0';
    v = v > (kMax - d) / 10 ? kMax : v * 10 + d;
  }
  return negative ? -v : v;
}

std::string IntToStr2(int64_t v) {
  std::string s = std::to_string(v);
  if (s.size() < 2) s.insert(0, "0");
  return s;
}

// The n-th word (1-based) of a copy of text, "-" when there is none.
std::string GetNthWord(const std::string& text, int n) {
  std::string rest = text;
  std::string word;
  for (int i = 0; i < n; ++i) word = GetFirstParam(rest);
  return word.empty() ? "-" : word;
}

std::string StripExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

// Days since 1 January 1970 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct TRow {
  std::string Name, Size, Marker, Date, Time, Link;
};

// ---------------------------------------------------------------- Unix

bool IsUnixType(char c) {
  switch (c) {
    case '-': case 'd': case 'l': case 'c': case 'b': case 'p': case 's': case 'D':
      return true;
    default:
      return false;
  }
}

// 'l' is the mandatory-locking mark some servers write in the group
// execute position.
bool IsUnixMode(char c) {
  switch (c) {
    case 'r': case 'w': case 'x': case 's': case 'S': case 't': case 'T': case 'l': case '-':
      return true;
    default:
      return false;
  }
}

// A type character, nine mode characters and an optional '+', '@' or '.'
// (access list, extended attributes, security context) make the first word.
bool IsUnixLine(const std::string& w) {
  if (w.size() < 10 || !IsUnixType(w[0])) return false;
  for (size_t i = 1; i < 10; ++i)
    if (!IsUnixMode(w[i])) return false;
  size_t end = 10;
  if (end < w.size() && (w[end] == '+' || w[end] == '@' || w[end] == '.')) ++end;
  return end == w.size() || w[end] == ' ';
}

struct TSpan {
  size_t Begin, End;
};

bool IsDayWord(const std::string& w, const TSpan& s) {
  const size_t n = s.End - s.Begin;
  if (n < 1 || n > 2) return false;
  for (size_t i = s.Begin; i < s.End; ++i)
    if (!IsDigit(w[i])) return false;
  return true;
}

// "2003", "9:05" or "12:30".
bool IsTimeOrYearWord(const std::string& w, const TSpan& s) {
  bool colon = false, allDigits = true;
  for (size_t i = s.Begin; i < s.End; ++i) {
    if (w[i] == ':')
      colon = true;
    else if (!IsDigit(w[i]))
      allDigits = false;
  }
  if (!allDigits || !IsDigit(w[s.Begin])) return false;
  return colon || s.End - s.Begin == 4;
}

// "2003-01-12".
bool IsIsoDateWord(const std::string& w, const TSpan& s) {
  if (s.End - s.Begin != 10 || w[s.Begin + 4] != '-' || w[s.Begin + 7] != '-') return false;
  for (size_t i = s.Begin; i < s.End; ++i)
    if (i != s.Begin + 4 && i != s.Begin + 7 && !IsDigit(w[i])) return false;
  return true;
}

// "12:30", "12:30:59", "12:30:59.123".
bool IsIsoTimeWord(const std::string& w, const TSpan& s) {
  const size_t n = s.End - s.Begin;
  return n >= 5 && IsDigit(w[s.Begin]) && IsDigit(w[s.Begin + 1]) && w[s.Begin + 2] == ':' &&
         IsDigit(w[s.Begin + 3]) && IsDigit(w[s.Begin + 4]) && (n == 5 || w[s.Begin + 5] == ':');
}

// The name as listed: what follows the one blank after the date's last word
// (line: the listing line without its line end; lead: where w starts in it).
std::string NameAfter(const std::string& line, size_t lead, const TSpan& last) {
  const size_t from = lead + last.End + 1;
  return from < line.size() ? line.substr(from) : std::string();
}

void SplitLink(const std::string& perms, TRow& row) {
  if (perms[0] != 'l') return;
  const size_t arrow = row.Name.find(" -> ");
  if (arrow == std::string::npos) return;
  row.Link = row.Name.substr(arrow + 4);
  row.Name = row.Name.substr(0, arrow);
}

// perms links owner [group] size date name, the date as YYYY-MM-DD HH:MM.
bool ConvertUnixIso(const std::string& w, const std::string& line, size_t lead, const TSpan* words, int count,
                    TRow& row) {
  for (int k = 3; k <= 8 && k + 2 < count; ++k) {
    if (!IsIsoDateWord(w, words[k]) || !IsIsoTimeWord(w, words[k + 1])) continue;
    const std::string date = w.substr(words[k].Begin, 10);
    row.Size = w.substr(words[k - 1].Begin, words[k - 1].End - words[k - 1].Begin);
    row.Date = date.substr(5, 2) + "/" + date.substr(8, 2) + "/" + date.substr(0, 4);
    row.Time = NormalizeTime(w.substr(words[k + 1].Begin, words[k + 1].End - words[k + 1].Begin));
    row.Name = NameAfter(line, lead, words[k + 1]);
    return true;
  }
  return false;
}

// perms links owner [group] size month day time-or-year name...
void ConvertUnix(const std::string& w, const std::string& line, size_t lead, const TFtpDate& today, TRow& row) {
  constexpr int kWords = 12;
  TSpan words[kWords];
  int count = 0;
  for (size_t i = 0; count < kWords && i < w.size();) {
    while (i < w.size() && w[i] == ' ') ++i;
    if (i >= w.size()) break;
    const size_t b = i;
    while (i < w.size() && w[i] != ' ') ++i;
    words[count++] = {b, i};
  }
  auto word = [&](int k) { return w.substr(words[k].Begin, words[k].End - words[k].Begin); };

  // The month is looked for from the fourth word to the ninth and must be
  // followed by a day, a time or year and a name. An owner or group that is
  // itself a month name is passed over because of what follows it; failing
  // the full pattern, the first month word with three words after it counts.
  int month = -1, loose = -1;
  for (int k = 3; k <= 8 && k + 3 < count; ++k) {
    if (GetMonthIndex(word(k)) == 0) continue;
    if (loose < 0) loose = k;
    if (IsDayWord(w, words[k + 1]) && IsTimeOrYearWord(w, words[k + 2])) {
      month = k;
      break;
    }
  }
  if (month < 0) month = loose;
  const std::string perms = word(0);
  if (month < 0) {
    // No month name: a date in ISO form, else the line is dropped.
    if (ConvertUnixIso(w, line, lead, words, count, row)) {
      SplitLink(perms, row);
      if (perms[0] == 'd') row.Marker = "<DIR>";
    }
    return;
  }

  const std::string monthWord = word(month);
  const std::string day = word(month + 1);
  const std::string timeWord = word(month + 2);
  row.Size = word(month - 1);  // the third word when the line has neither group nor links
  row.Time = NormalizeTime(timeWord);
  if (row.Time.find(':') == std::string::npos) {
    row.Date = NormalizeDate(day + "/" + monthWord + "/" + timeWord);
    row.Time = "00:00";
  } else {
    // A time instead of a year means within the last months: the date lies
    // in this year unless that puts it ahead (a December file in January).
    int64_t year = today.Year;
    int64_t dayValue = StrToIntVal(day);
    if (dayValue < 0 || dayValue > 31) dayValue = 0;  // only a loose match has no day here
    const int64_t listed = DaysFromCivil(year, GetMonthIndex(monthWord), dayValue);
    if (listed > DaysFromCivil(today.Year, today.Month, today.Day) + 1) --year;
    row.Date = NormalizeDate(day + "/" + monthWord + "/" + std::to_string(year));
  }
  row.Date = NormalizeDate(row.Date);

  // The name is cut from the line as listed, blank runs and outer blanks
  // included.
  row.Name = NameAfter(line, lead, words[month + 2]);
  SplitLink(perms, row);
  if (perms[0] == 'd') row.Marker = "<DIR>";
}

// ---------------------------------------------------------------- DOS

bool IsDosLine(const std::string& w) {
  return w.size() >= 6 && ((w[2] == '-' && w[5] == '-') || (w[2] == '/' && w[5] == '/'));
}

// date time size-or-<DIR> name...
void ConvertDos(const std::string& w, TRow& row) {
  std::string rest = w;
  row.Date = DosDateToMDY(GetFirstParam(rest));
  if (row.Date.empty()) return;  // not a date: the line is dropped
  std::string time = GetFirstParam(rest);
  // "09:05 AM": the marker as a word of its own.
  std::string probe = rest;
  const std::string marker = UpperText(GetFirstParam(probe));
  if (marker == "AM" || marker == "PM") {
    time += marker;
    rest = probe;
  }
  row.Time = NormalizeTime(time);
  const std::string third = GetFirstParam(rest);
  if (!third.empty() && third[0] != '<')
    row.Size = third;
  else
    row.Marker = third;
  row.Name = rest;
}

// ---------------------------------------------------------------- AS/400

bool IsAs400Line(const std::string& w) {
  return GetNthWord(w, 5)[0] == '*' || GetNthWord(w, 2)[0] == '*';
}

// owner size date time *TYPE name...   or   owner *MEM name...
void ConvertAs400(const std::string& w, TRow& row) {
  std::string rest = w;
  GetFirstParam(rest);  // owner
  const std::string second = GetFirstParam(rest);
  std::string type;
  if (second == "*MEM") {
    row.Size = row.Date = row.Time = "N/A";
    type = second;
  } else {
    row.Size = second;
    row.Date = GetFirstParam(rest);
    row.Time = GetFirstParam(rest);
    type = GetFirstParam(rest);
  }
  if (type.size() < 2 || type[0] != '*') return;  // no object type: dropped
  row.Name = rest;
  if (type == "*DIR" || type == "*DDIR" || type == "*LIB" || type == "*FLR") row.Marker = "<DIR>";
}

// ---------------------------------------------------------------- VMS

// NAME.EXT;VERSION blocks date time [owner] (protection); a long name may
// stand alone on its line with the rest on the next.
void ConvertVms(std::vector<std::string>& names, size_t i, const std::string& w, TRow& row) {
  std::string rest = w;
  const std::string first = GetFirstParam(rest);
  const size_t semi = first.find(';');
  if (semi == std::string::npos) return;  // headings, totals: dropped
  if (rest.empty() && i + 1 < names.size()) {
    std::string next = TrimBlanks(names[i + 1]);
    std::string probe = next;
    if (GetFirstParam(probe).find(';') == std::string::npos) {  // not an entry of its own
      rest = next;
      names[i + 1].clear();
    }
  }
  // A message in place of size and date ("%RMS-E-PRV, insufficient
  // privilege ..."): the file stays, with neither.
  if (!rest.empty() && IsDigit(rest[0])) {
    constexpr int64_t kBlock = 512;
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max() / kBlock;
    int64_t blocks = StrToIntVal(GetFirstParam(rest));
    if (blocks > kMax) blocks = kMax;
    if (blocks < -kMax) blocks = -kMax;
    row.Size = std::to_string(blocks * kBlock);
    const std::string date = GetFirstParam(rest);
    row.Time = NormalizeTime(GetFirstParam(rest));
    row.Date = NormalizeDate(date);
  }

  const std::string base = first.substr(0, semi);
  if (base.size() >= 4 && UpperText(base.substr(base.size() - 4)) == ".DIR") {
    row.Marker = "<DIR>";
    row.Name = StripExtension(base);
  } else {
    row.Name = base;
  }
}

bool LooksLikeVmsHeading(const std::vector<std::string>& names) {
  for (const std::string& line : names) {
    if (line.empty()) continue;
    const std::string t = TrimBlanks(line);
    if (t.empty()) return false;
    const size_t colon = t.find(':');
    const size_t at = colon == std::string::npos ? 0 : colon + 1;
    return at < t.size() && t[at] == '[' && t.back() == ']';
  }
  return false;
}

}  // namespace

TFtpDate FTP_Today() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &now);
#else
  localtime_r(&now, &tm);
#endif
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

std::string GetFirstParam(std::string& text) {
  if (text.empty()) return std::string();
  const size_t blank = text.find(' ');
  if (blank == std::string::npos) {
    std::string word;
    word.swap(text);
    return word;
  }
  std::string word = text.substr(0, blank);
  text = TrimBlanks(text.substr(blank));
  return word;
}

void FTP_SetupVMS(const std::string& path, unsigned char& flag) {
  flag = path.find(":[") != std::string::npos ? lfVms : lfNone;
}

int GetMonthIndex(const std::string& word) {
  if (word.size() < 3) return 0;
  const std::string up = UpperText(word);
  for (int m = 0; m < 12; ++m) {
    const std::string full = MONTHS[m];
    if (up == full || (up.size() == 3 && full.compare(0, 3, up) == 0)) return m + 1;
  }
  return 0;
}

std::string NormalizeDate(const std::string& text) {
  auto separator = [&](size_t from) {
    const size_t dash = text.find('-', from);
    return dash != std::string::npos ? dash : text.find('/', from);
  };
  const size_t first = separator(0);
  if (first == std::string::npos) return text;
  const std::string a = IntToStr2(StrToIntVal(text.substr(0, first)));
  const size_t second = separator(first + 1);
  if (second == std::string::npos) return text;
  std::string b = UpperText(text.substr(first + 1, second - first - 1));
  const std::string c = text.substr(second + 1);
  if (!b.empty() && IsDigit(b[0])) return a + "/" + b + "/" + c;
  const int month = GetMonthIndex(b);
  if (month > 0) return IntToStr2(month) + "/" + a + "/" + c;
  return text;
}

std::string NormalizeTime(const std::string& text) {
  std::string t = UpperText(text);
  if (t.size() >= 2 && IsDigit(t[0]) && t[1] == ':') t.insert(0, "0");  // one-digit hour
  if (t.size() <= 5) return t;
  const bool pm = t.find("PM") != std::string::npos;
  const bool am = !pm && t.find("AM") != std::string::npos;
  int64_t hour = StrToIntVal(t.substr(0, 2));
  if (pm) {
    if (hour < 12) hour += 12;
    return IntToStr2(hour) + t.substr(2, 3);
  }
  if (am && hour == 12) return "00" + t.substr(2, 3);
  return t.substr(0, 5);
}

std::string DosDateToMDY(const std::string& text) {
  std::string t = text;
  for (char& c : t)
    if (c == '-') c = '/';
  if (t.size() != 8 && t.size() != 10) return std::string();
  for (size_t i = 0; i < t.size(); ++i) {
    const bool separator = i == 2 || i == 5;
    if (separator ? t[i] != '/' : !IsDigit(t[i])) return std::string();
  }
  if (t.size() == 10) return t;
  int year = (t[6] - '0') * 10 + (t[7] - '0');
  year += year < 30 ? 2000 : 1900;
  return t.substr(0, 6) + std::to_string(year);
}

void FTP_ConvertLines(std::vector<std::string>& names, std::vector<std::string>& sizes,
                      std::vector<std::string>& markers, std::vector<std::string>& dates,
                      std::vector<std::string>& times, std::vector<std::string>& links,
                      unsigned char& flag, const TFtpDate* today) {
  sizes.clear();
  markers.clear();
  dates.clear();
  times.clear();
  links.clear();
  if (names.empty()) return;

  if (LooksLikeVmsHeading(names)) flag = lfVms;
  const bool vms = flag == lfVms;
  const TFtpDate now = today ? *today : FTP_Today();

  const size_t count = names.size();
  sizes.resize(count);
  markers.resize(count);
  dates.resize(count);
  times.resize(count);
  links.resize(count);

  for (size_t i = 0; i < count; ++i) {
    std::string line = names[i];
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string w = line;
    ControlsToBlanks(w);
    const size_t lead = w.find_first_not_of(' ');
    w = TrimBlanks(w);
    if (w.empty()) continue;
    TRow row;
    if (vms) {
      ConvertVms(names, i, w, row);
    } else if (IsUnixLine(w)) {
      flag = lfUnix;
      ConvertUnix(w, line, lead, now, row);
    } else if (IsDosLine(w)) {
      flag = lfDos;
      ConvertDos(w, row);
    } else if (IsAs400Line(w)) {
      flag = lfAs400;
      ConvertAs400(w, row);
    }
    if (row.Name.empty()) {
      names[i].clear();
      continue;
    }
    names[i] = std::move(row.Name);
    sizes[i] = std::move(row.Size);
    markers[i] = std::move(row.Marker);
    dates[i] = std::move(row.Date);
    times[i] = std::move(row.Time);
    links[i] = std::move(row.Link);
  }

  // Drop the rows that kept no name, in one pass.
  size_t kept = 0;
  for (size_t i = 0; i < count; ++i) {
    if (IsBlankLine(names[i])) continue;
    if (kept != i) {
      names[kept] = std::move(names[i]);
      sizes[kept] = std::move(sizes[i]);
      markers[kept] = std::move(markers[i]);
      dates[kept] = std::move(dates[i]);
      times[kept] = std::move(times[i]);
      links[kept] = std::move(links[i]);
    }
    ++kept;
  }
  names.resize(kept);
  sizes.resize(kept);
  markers.resize(kept);
  dates.resize(kept);
  times.resize(kept);
  links.resize(kept);
}

#ifndef NEMBRA_FTPCOMMON_CORE

namespace {

void Fill(TStrings* list, std::vector<std::string>& items) {
  list->BeginUpdate();
  list->Clear();
  for (std::string& s : items) list->Add(s);
  list->EndUpdate();
}

}  // namespace

void FTP_ConvertLines(TStrings* names, TStrings* sizes, TStrings* markers, TStrings* dates,
                      TStrings* times, TStrings* links, BYTE& flag, const TFtpDate* today) {
  if (!names || !sizes || !markers || !dates || !times || !links) return;
  std::vector<std::string> n, s, m, d, t, l;
  n.reserve(names->Count());
  for (int i = 0; i < names->Count(); ++i) n.push_back(names->Get(i));
  unsigned char f = flag;
  FTP_ConvertLines(n, s, m, d, t, l, f, today);
  flag = f;
  Fill(names, n);
  Fill(sizes, s);
  Fill(markers, m);
  Fill(dates, d);
  Fill(times, t);
  Fill(links, l);
}

#endif
