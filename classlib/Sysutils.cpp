#include "Sysutils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

TFormatSettings FormatSettings;

void Abort() { throw EAbort("Operation aborted"); }

String SysErrorMessage(DWORD code) {
  char* buf = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                               FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           nullptr, code, 0, reinterpret_cast<LPSTR>(&buf), 0, nullptr);
  String s;
  if (n && buf) s.assign(buf, n);
  if (buf) LocalFree(buf);
  while (!s.empty() && (s.back() <= ' ' || s.back() == '.')) s.pop_back();
  return s;
}

void RaiseLastOSError(DWORD code) {
  if (code == 0) code = GetLastError();
  if (code != 0)
    throw EOSError(Format("System Error.  Code: %d.\r\n%s", static_cast<int>(code), SysErrorMessage(code)));
  throw EOSError("A call to an OS function failed");
}

// ---------------------------------------------------------------- Format

namespace {

String FloatFixed(double v, int prec, bool thousands) {
  if (prec < 0) prec = 2;
  if (prec > 18) prec = 18;
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.*f", prec, v);
  String s(buf);
  if (FormatSettings.DecimalSeparator != '.') {
    auto p = s.find('.');
    if (p != String::npos) s[p] = FormatSettings.DecimalSeparator;
  }
  if (thousands) {
    size_t start = (s[0] == '-') ? 1 : 0;
    size_t end = s.find(FormatSettings.DecimalSeparator, start);
    if (end == String::npos) end = s.size();
    String out = s.substr(0, start);
    for (size_t i = start; i < end; ++i) {
      out += s[i];
      size_t left = end - i - 1;
      if (left > 0 && left % 3 == 0) out += FormatSettings.ThousandSeparator;
    }
    out += s.substr(end);
    s = out;
  }
  return s;
}

// Exponent written as the platform does: sign and at least `minDigits` digits.
String FixExponent(String s, int minDigits, bool plusSign) {
  auto e = s.find_first_of("eE");
  if (e == String::npos) return s;
  String mant = s.substr(0, e);
  String ex = s.substr(e + 1);
  char sign = '+';
  if (!ex.empty() && (ex[0] == '+' || ex[0] == '-')) {
    sign = ex[0];
    ex.erase(0, 1);
  }
  while (ex.size() > 1 && ex[0] == '0') ex.erase(0, 1);
  while (static_cast<int>(ex.size()) < minDigits) ex.insert(0, "0");
  String out = mant + "E";
  if (sign == '-' || plusSign) out += sign;
  return out + ex;
}

String FloatExp(double v, int prec) {
  if (prec < 0 || prec > 18) prec = 15;
  if (prec < 1) prec = 1;
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.*E", prec - 1, v);
  String s = FixExponent(buf, 3, true);
  if (FormatSettings.DecimalSeparator != '.') {
    auto p = s.find('.');
    if (p != String::npos) s[p] = FormatSettings.DecimalSeparator;
  }
  return s;
}

String FloatGeneral(double v, int prec) {
  if (prec <= 0 || prec > 18) prec = 15;
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.*G", prec, v);
  String s = FixExponent(buf, 1, false);
  if (FormatSettings.DecimalSeparator != '.') {
    auto p = s.find('.');
    if (p != String::npos) s[p] = FormatSettings.DecimalSeparator;
  }
  return s;
}

String HexOf(uint64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v));
  return buf;
}

}  // namespace

String FormatArgs(const String& fmt, const TVarRec* args, size_t count) {
  String out;
  size_t argIndex = 0;
  auto bad = [&]() -> EConvertError { return EConvertError("Format '" + fmt + "' invalid or incompatible with argument"); };
  auto next = [&]() -> const TVarRec& {
    if (argIndex >= count) throw EConvertError("No argument for format '" + fmt + "'");
    return args[argIndex++];
  };
  size_t i = 0;
  const size_t n = fmt.size();
  while (i < n) {
    char c = fmt[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    ++i;
    if (i < n && fmt[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    auto readNum = [&](int& value) -> bool {
      if (i < n && fmt[i] == '*') {
        const TVarRec& a = next();
        if (a.Kind != TVarRec::vtInteger) throw bad();
        value = static_cast<int>(a.Int);
        ++i;
        return true;
      }
      if (i < n && fmt[i] >= '0' && fmt[i] <= '9') {
        value = 0;
        while (i < n && fmt[i] >= '0' && fmt[i] <= '9') value = value * 10 + (fmt[i++] - '0');
        return true;
      }
      return false;
    };
    bool left = false;
    int width = -1, prec = -1;
    int first = -1;
    bool haveFirst = readNum(first);
    if (haveFirst && i < n && fmt[i] == ':') {
      argIndex = static_cast<size_t>(first);
      ++i;
      haveFirst = false;
    }
    if (!haveFirst) {
      if (i < n && fmt[i] == '-') {
        left = true;
        ++i;
      }
      readNum(width);
    } else {
      width = first;
    }
    if (i < n && fmt[i] == '.') {
      ++i;
      if (!readNum(prec)) prec = 0;
    }
    if (i >= n) throw bad();
    char type = static_cast<char>(std::toupper(static_cast<unsigned char>(fmt[i++])));
    const TVarRec& a = next();
    String s;
    switch (type) {
      case 'D':
      case 'U': {
        if (a.Kind != TVarRec::vtInteger) throw bad();
        int64_t v = a.Int;
        String digits;
        bool neg = false;
        if (type == 'U') {
          digits = std::to_string(static_cast<uint64_t>(v < 0 && v >= INT32_MIN ? static_cast<uint32_t>(v) : v));
        } else {
          neg = v < 0;
          digits = neg ? std::to_string(-(static_cast<uint64_t>(v))) : std::to_string(v);
        }
        if (prec > 0 && static_cast<int>(digits.size()) < prec) digits.insert(0, prec - digits.size(), '0');
        s = (neg ? "-" : "") + digits;
        break;
      }
      case 'X': {
        if (a.Kind != TVarRec::vtInteger) throw bad();
        uint64_t v = static_cast<uint64_t>(a.Int);
        if (a.Int < 0 && a.Int >= INT32_MIN) v &= 0xFFFFFFFFu;
        s = HexOf(v);
        if (prec > 0 && static_cast<int>(s.size()) < prec) s.insert(0, prec - s.size(), '0');
        break;
      }
      case 'E':
      case 'F':
      case 'G':
      case 'N':
      case 'M': {
        double v;
        if (a.Kind == TVarRec::vtFloat)
          v = a.Float;
        else
          throw bad();
        if (type == 'E')
          s = FloatExp(v, prec);
        else if (type == 'F')
          s = FloatFixed(v, prec, false);
        else if (type == 'G')
          s = FloatGeneral(v, prec);
        else
          s = FloatFixed(v, prec, true);
        break;
      }
      case 'S': {
        if (a.Kind == TVarRec::vtString || a.Kind == TVarRec::vtChar)
          s = a.Str;
        else
          throw bad();
        if (prec >= 0 && static_cast<int>(s.size()) > prec) s.resize(prec);
        break;
      }
      case 'P': {
        if (a.Kind != TVarRec::vtPointer) throw bad();
        s = HexOf(reinterpret_cast<uintptr_t>(a.Ptr));
        s.insert(0, sizeof(void*) * 2 - s.size(), '0');
        break;
      }
      default:
        throw bad();
    }
    if (width > 0 && static_cast<int>(s.size()) < width) {
      if (left)
        s.append(width - s.size(), ' ');
      else
        s.insert(0, width - s.size(), ' ');
    }
    out += s;
  }
  return out;
}

// ---------------------------------------------------------------- numbers

String IntToStr(int64_t value) { return std::to_string(value); }

String IntToHex(uint64_t value, int digits) {
  String s = HexOf(value);
  if (static_cast<int>(s.size()) < digits) s.insert(0, digits - s.size(), '0');
  return s;
}

bool TryStrToInt64(const String& s, int64_t& value) {
  size_t i = 0, n = s.size();
  while (i < n && s[i] == ' ') ++i;
  bool neg = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    neg = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i < n && (s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return false;
  uint64_t acc = 0;
  const uint64_t limit = neg ? static_cast<uint64_t>(INT64_MAX) + 1 : static_cast<uint64_t>(INT64_MAX);
  for (; i < n; ++i) {
    int d;
    char c = s[i];
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    uint64_t base = hex ? 16 : 10;
    if (acc > (limit - d) / base) {
      // Hex texts may give the full unsigned range, as the platform allows.
      if (!(hex && !neg && acc <= (UINT64_MAX - d) / base)) return false;
    }
    acc = acc * base + d;
  }
  value = neg ? static_cast<int64_t>(0 - acc) : static_cast<int64_t>(acc);
  return true;
}

bool TryStrToInt(const String& s, int& value) {
  int64_t v;
  if (!TryStrToInt64(s, v)) return false;
  if (v < INT32_MIN || v > static_cast<int64_t>(UINT32_MAX)) return false;
  if (v > INT32_MAX) {
    // Only hex texts may name the upper half (as bit patterns).
    if (s.find_first_of("$xX") == String::npos) return false;
  }
  value = static_cast<int>(static_cast<uint32_t>(v));
  return true;
}

int StrToInt(const String& s) {
  int v;
  if (!TryStrToInt(s, v)) throw EConvertError(Format("'%s' is not a valid integer value", s));
  return v;
}

int64_t StrToInt64(const String& s) {
  int64_t v;
  if (!TryStrToInt64(s, v)) throw EConvertError(Format("'%s' is not a valid integer value", s));
  return v;
}

int StrToIntDef(const String& s, int def) {
  int v;
  return TryStrToInt(s, v) ? v : def;
}

int64_t StrToInt64Def(const String& s, int64_t def) {
  int64_t v;
  return TryStrToInt64(s, v) ? v : def;
}

String FloatToStr(double value) { return FloatGeneral(value, 15); }

bool TryStrToFloat(const String& s, double& value) {
  String t = Trim(s);
  if (t.empty()) return false;
  if (FormatSettings.DecimalSeparator != '.') {
    if (t.find('.') != String::npos) return false;
    std::replace(t.begin(), t.end(), FormatSettings.DecimalSeparator, '.');
  }
  for (char c : t)
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
      return false;
  char* end = nullptr;
  double v = std::strtod(t.c_str(), &end);
  if (!end || *end) return false;
  value = v;
  return true;
}

double StrToFloat(const String& s) {
  double v;
  if (!TryStrToFloat(s, v)) throw EConvertError(Format("'%s' is not a valid floating point value", s));
  return v;
}

String FormatFloat(const String& format, double value) {
  // Sections separated by ';' choose the positive, negative and zero forms.
  std::vector<String> sections;
  {
    String cur;
    char quote = 0;
    for (char c : format) {
      if (quote) {
        if (c == quote) quote = 0;
        cur += c;
      } else if (c == '\'' || c == '"') {
        quote = c;
        cur += c;
      } else if (c == ';') {
        sections.push_back(cur);
        cur.clear();
      } else {
        cur += c;
      }
    }
    sections.push_back(cur);
  }
  String pic = sections[0];
  bool negSection = false;
  if (value < 0 && sections.size() > 1 && !sections[1].empty()) {
    pic = sections[1];
    negSection = true;
  } else if (value == 0 && sections.size() > 2 && !sections[2].empty()) {
    pic = sections[2];
  }
  if (pic.empty()) return FloatToStr(value);
  // Count the digit places of the picture.
  int intZeros = 0, fracZeros = 0, fracHashes = 0;
  bool inFrac = false, thousands = false, seenDigit = false;
  int firstZeroPos = -1;
  {
    char quote = 0;
    for (char c : pic) {
      if (quote) {
        if (c == quote) quote = 0;
        continue;
      }
      if (c == '\'' || c == '"') {
        quote = c;
      } else if (c == '.') {
        inFrac = true;
      } else if (c == ',') {
        thousands = true;
      } else if (c == '0') {
        if (inFrac)
          ++fracZeros;
        else {
          if (firstZeroPos < 0) firstZeroPos = intZeros;
          ++intZeros;
        }
        seenDigit = true;
      } else if (c == '#') {
        if (inFrac) ++fracHashes;
        seenDigit = true;
      }
    }
  }
  (void)firstZeroPos;
  if (!seenDigit) return pic;
  double av = std::fabs(value);
  int decimals = fracZeros + fracHashes;
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, av);
  String num(buf);
  String ip = num, fp;
  auto dot = num.find('.');
  if (dot != String::npos) {
    ip = num.substr(0, dot);
    fp = num.substr(dot + 1);
  }
  if (ip == "0" && intZeros == 0) ip.clear();
  while (static_cast<int>(ip.size()) < intZeros) ip.insert(0, "0");
  while (static_cast<int>(fp.size()) > fracZeros && !fp.empty() && fp.back() == '0') fp.pop_back();
  if (thousands && ip.size() > 3) {
    String t;
    for (size_t k = 0; k < ip.size(); ++k) {
      t += ip[k];
      size_t left = ip.size() - k - 1;
      if (left > 0 && left % 3 == 0) t += FormatSettings.ThousandSeparator;
    }
    ip = t;
  }
  String digits = ip;
  if (!fp.empty()) digits += FormatSettings.DecimalSeparator + fp;
  // Rebuild: literal text before the first placeholder, then the number, then the rest.
  String prefix, suffix;
  {
    char quote = 0;
    bool before = true;
    bool numberDone = false;
    for (char c : pic) {
      if (quote) {
        if (c == quote)
          quote = 0;
        else
          (before ? prefix : suffix) += c;
        continue;
      }
      if (c == '\'' || c == '"') {
        quote = c;
        continue;
      }
      if (c == '0' || c == '#' || c == '.' || c == ',') {
        before = false;
        numberDone = true;
        continue;
      }
      (before ? prefix : suffix) += c;
    }
    (void)numberDone;
  }
  bool showMinus = value < 0 && !negSection;
  // No minus for a value that rounds to zero.
  if (showMinus && digits.find_first_not_of("0.,") == String::npos) showMinus = false;
  return prefix + (showMinus ? "-" : "") + digits + suffix;
}

// ---------------------------------------------------------------- text

String Trim(const String& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

String TrimLeft(const String& s) {
  size_t b = 0;
  while (b < s.size() && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  return s.substr(b);
}

String TrimRight(const String& s) {
  size_t e = s.size();
  while (e > 0 && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(0, e);
}

String UpperCase(const String& s) {
  String r = s;
  for (auto& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

String LowerCase(const String& s) {
  String r = s;
  for (auto& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

String AnsiUpperCase(const String& s) {
  String r = s;
  if (!r.empty()) CharUpperBuffA(r.data(), static_cast<DWORD>(r.size()));
  return r;
}

String AnsiLowerCase(const String& s) {
  String r = s;
  if (!r.empty()) CharLowerBuffA(r.data(), static_cast<DWORD>(r.size()));
  return r;
}

int CompareStr(const String& a, const String& b) {
  int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c) return c;
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

int CompareText(const String& a, const String& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return x - y;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

bool SameText(const String& a, const String& b) { return a.size() == b.size() && CompareText(a, b) == 0; }

static int LocaleCompare(const String& a, const String& b, DWORD flags) {
  int r = CompareStringA(LOCALE_USER_DEFAULT, flags, a.data(), static_cast<int>(a.size()), b.data(),
                         static_cast<int>(b.size()));
  return r == 0 ? CompareStr(a, b) : r - 2;
}

int AnsiCompareStr(const String& a, const String& b) { return LocaleCompare(a, b, 0); }
int AnsiCompareText(const String& a, const String& b) { return LocaleCompare(a, b, NORM_IGNORECASE); }
bool AnsiSameText(const String& a, const String& b) { return AnsiCompareText(a, b) == 0; }

int Pos(const String& sub, const String& s) {
  if (sub.empty()) return 0;
  auto p = s.find(sub);
  return p == String::npos ? 0 : static_cast<int>(p) + 1;
}

String Copy(const String& s, int index, int count) {
  if (index < 1) index = 1;
  if (count <= 0 || static_cast<size_t>(index) > s.size()) return String();
  return s.substr(index - 1, count);
}

String StringReplaceAll(const String& s, const String& from, const String& to, bool ignoreCase) {
  if (from.empty()) return s;
  String hay = ignoreCase ? AnsiUpperCase(s) : s;
  String pat = ignoreCase ? AnsiUpperCase(from) : from;
  String out;
  size_t pos = 0;
  for (;;) {
    size_t p = hay.find(pat, pos);
    if (p == String::npos) break;
    out.append(s, pos, p - pos);
    out += to;
    pos = p + from.size();
  }
  out.append(s, pos, String::npos);
  return out;
}

String StringOfChar(char c, int count) { return count > 0 ? String(count, c) : String(); }

String AnsiQuotedStr(const String& s, char quote) {
  String r(1, quote);
  for (char c : s) {
    r += c;
    if (c == quote) r += c;
  }
  r += quote;
  return r;
}

String QuotedStr(const String& s) { return AnsiQuotedStr(s, '\''); }

String AnsiExtractQuotedStr(const String& s, size_t& pos, char quote) {
  if (pos >= s.size() || s[pos] != quote) return String();
  String r;
  ++pos;
  while (pos < s.size()) {
    if (s[pos] == quote) {
      if (pos + 1 < s.size() && s[pos + 1] == quote) {
        r += quote;
        pos += 2;
        continue;
      }
      ++pos;
      return r;
    }
    r += s[pos++];
  }
  return r;
}

bool StartsText(const String& prefix, const String& s) {
  return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

bool EndsText(const String& suffix, const String& s) {
  return s.size() >= suffix.size() && SameText(s.substr(s.size() - suffix.size()), suffix);
}

// ---------------------------------------------------------------- file names

static size_t LastDelimiter(const String& delims, const String& s) {
  auto p = s.find_last_of(delims);
  return p;
}

String ExtractFilePath(const String& name) {
  auto p = LastDelimiter("\\:", name);
  return p == String::npos ? String() : name.substr(0, p + 1);
}

String ExtractFileDir(const String& name) {
  auto p = LastDelimiter("\\:", name);
  if (p == String::npos) return String();
  if (p > 0 && name[p] == '\\' && name[p - 1] != '\\' && name[p - 1] != ':') return name.substr(0, p);
  return name.substr(0, p + 1);
}

String ExtractFileName(const String& name) {
  auto p = LastDelimiter("\\:", name);
  return p == String::npos ? name : name.substr(p + 1);
}

String ExtractFileExt(const String& name) {
  auto p = LastDelimiter(".\\:", name);
  if (p != String::npos && name[p] == '.') return name.substr(p);
  return String();
}

String ExtractFileDrive(const String& name) {
  if (name.size() >= 2 && name[1] == ':') return name.substr(0, 2);
  if (name.size() >= 2 && name[0] == '\\' && name[1] == '\\') {
    // \\server\share
    size_t n = 0, i = 2;
    while (i < name.size()) {
      if (name[i] == '\\' && ++n == 2) break;
      ++i;
    }
    return name.substr(0, i);
  }
  return String();
}

String ChangeFileExt(const String& name, const String& ext) {
  auto p = LastDelimiter(".\\:", name);
  if (p == String::npos || name[p] != '.') return name + ext;
  return name.substr(0, p) + ext;
}

String ExpandFileName(const String& name) {
  char buf[MAX_PATH * 4];
  char* filePart = nullptr;
  DWORD n = GetFullPathNameA(name.c_str(), sizeof buf, buf, &filePart);
  if (n == 0 || n >= sizeof buf) return name;
  return String(buf, n);
}

String IncludeTrailingBackslash(const String& s) {
  if (!s.empty() && s.back() == '\\') return s;
  return s + "\\";
}

String ExcludeTrailingBackslash(const String& s) {
  if (!s.empty() && s.back() == '\\') return s.substr(0, s.size() - 1);
  return s;
}

bool IsPathDelimiter(const String& s, int index) {
  return index >= 1 && static_cast<size_t>(index) <= s.size() && s[index - 1] == '\\';
}

bool FileExists(const String& name) {
  DWORD a = GetFileAttributesA(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const String& name) {
  DWORD a = GetFileAttributesA(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(const String& dir) { return CreateDirectoryA(dir.c_str(), nullptr) != 0; }
bool RemoveDir(const String& dir) { return RemoveDirectoryA(dir.c_str()) != 0; }

bool ForceDirectories(const String& dir) {
  String d = ExcludeTrailingBackslash(dir);
  if (d.empty()) return false;
  if (d.size() < 3 || DirectoryExists(d) || ExtractFilePath(d) == d) return true;
  return ForceDirectories(ExtractFilePath(d)) && (CreateDir(d) || DirectoryExists(d));
}

bool DeleteFileStr(const String& name) { return DeleteFileA(name.c_str()) != 0; }
bool RenameFileStr(const String& from, const String& to) { return MoveFileA(from.c_str(), to.c_str()) != 0; }

String GetCurrentDirStr() {
  char buf[MAX_PATH * 4];
  DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
  return n && n < sizeof buf ? String(buf, n) : String();
}

int64_t FileSizeOf(const String& name) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &d)) return -1;
  return (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

void ReplaceFileContents(const String& fileName, const String& data) {
  String target = ExpandFileName(fileName);
  auto fail = [&](DWORD code) {
    throw EFCreateError(Format("Cannot create file %s. %s", target, SysErrorMessage(code)));
  };
  String dir = ExtractFilePath(target);
  char temp[MAX_PATH];
  if (!GetTempFileNameA(dir.c_str(), "~nb", 0, temp)) fail(GetLastError());
  HANDLE h = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    DeleteFileA(temp);
    fail(code);
  }
  DWORD code = ERROR_SUCCESS;
  size_t done = 0;
  while (done < data.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(h, data.data() + done, chunk, &written, nullptr) || written == 0) {
      code = GetLastError();
      if (code == ERROR_SUCCESS) code = ERROR_HANDLE_DISK_FULL;
      break;
    }
    done += written;
  }
  if (code == ERROR_SUCCESS && !FlushFileBuffers(h)) code = GetLastError();
  if (!CloseHandle(h) && code == ERROR_SUCCESS) code = GetLastError();
  if (code == ERROR_SUCCESS) {
    bool ok;
    if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
      // ReplaceFile keeps the old file's attributes and security.
      ok = ReplaceFileA(target.c_str(), temp, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
      if (!ok) {
        code = GetLastError();
        // The old file is gone already: the new one must take its name.
        if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
          if (MoveFileExA(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return;
          // Keep the only copy of the data where it is.
          throw EFCreateError(Format("Cannot create file %s. %s. The data was kept in %s", target,
                                     SysErrorMessage(code), String(temp)));
        }
      }
    } else {
      ok = MoveFileExA(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
      if (!ok) code = GetLastError();
    }
    if (ok) return;
  }
  DeleteFileA(temp);
  fail(code);
}

// ---------------------------------------------------------------- dates

namespace {
constexpr int kDateDelta = 693594;  // days from 0001-01-01 to 1899-12-30
constexpr double kMSecsPerDay = 86400000.0;
const int kMonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                               {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};
}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  if (month < 1 || month > 12) return 0;
  return kMonthDays[IsLeapYear(year)][month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& dt) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  int d = day;
  for (int m = 1; m < month; ++m) d += DaysInMonth(year, m);
  int y = year - 1;
  dt = static_cast<double>(y * 365 + y / 4 - y / 100 + y / 400 + d - kDateDelta);
  return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& dt) {
  if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 || msec >= 1000) return false;
  dt = (hour * 3600000.0 + min * 60000.0 + sec * 1000.0 + msec) / kMSecsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime dt;
  if (!TryEncodeDate(year, month, day, dt)) throw EConvertError("Invalid argument to date encode");
  return dt;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime dt;
  if (!TryEncodeTime(hour, min, sec, msec, dt)) throw EConvertError("Invalid argument to time encode");
  return dt;
}

namespace {
// Splits into whole days since 0001-01-01 (1-based) and milliseconds of the day.
void SplitStamp(TDateTime dt, int64_t& days, int64_t& ms) {
  double whole = std::trunc(dt);
  ms = static_cast<int64_t>(std::llround(std::fabs(dt - whole) * kMSecsPerDay));
  days = static_cast<int64_t>(whole) + kDateDelta;
  if (ms >= 86400000) {
    ms -= 86400000;
    days += dt >= 0 ? 1 : -1;
  }
}
}  // namespace

void DecodeDate(TDateTime dt, int& year, int& month, int& day) {
  int64_t days, ms;
  SplitStamp(dt, days, ms);
  if (days <= 0) {
    year = month = day = 0;
    return;
  }
  int64_t t = days - 1;
  int y = 1;
  int64_t n400 = t / 146097;
  t %= 146097;
  y += static_cast<int>(n400 * 400);
  int64_t n100 = t / 36524;
  if (n100 == 4) n100 = 3;
  t -= n100 * 36524;
  y += static_cast<int>(n100 * 100);
  int64_t n4 = t / 1461;
  t %= 1461;
  y += static_cast<int>(n4 * 4);
  int64_t n1 = t / 365;
  if (n1 == 4) n1 = 3;
  t -= n1 * 365;
  y += static_cast<int>(n1);
  int m = 1;
  while (t >= DaysInMonth(y, m)) {
    t -= DaysInMonth(y, m);
    ++m;
  }
  year = y;
  month = m;
  day = static_cast<int>(t) + 1;
}

void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec) {
  int64_t days, ms;
  SplitStamp(dt, days, ms);
  hour = static_cast<int>(ms / 3600000);
  min = static_cast<int>(ms / 60000 % 60);
  sec = static_cast<int>(ms / 1000 % 60);
  msec = static_cast<int>(ms % 1000);
}

int DayOfWeek(TDateTime dt) {
  int64_t days, ms;
  SplitStamp(dt, days, ms);
  return static_cast<int>(days % 7) + 1;
}

TDateTime SystemTimeToDateTime(const SYSTEMTIME& st) {
  TDateTime d = 0, t = 0;
  TryEncodeDate(st.wYear, st.wMonth, st.wDay, d);
  TryEncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, t);
  return d >= 0 ? d + t : d - t;
}

void DateTimeToSystemTime(TDateTime dt, SYSTEMTIME& st) {
  int y, m, d, h, n, s, ms;
  DecodeDate(dt, y, m, d);
  DecodeTime(dt, h, n, s, ms);
  st.wYear = static_cast<WORD>(y);
  st.wMonth = static_cast<WORD>(m);
  st.wDay = static_cast<WORD>(d);
  st.wDayOfWeek = static_cast<WORD>(DayOfWeek(dt) - 1);
  st.wHour = static_cast<WORD>(h);
  st.wMinute = static_cast<WORD>(n);
  st.wSecond = static_cast<WORD>(s);
  st.wMilliseconds = static_cast<WORD>(ms);
}

TDateTime FileTimeToDateTime(const FILETIME& ft) {
  SYSTEMTIME st;
  if (!FileTimeToSystemTime(&ft, &st)) return 0;
  return SystemTimeToDateTime(st);
}

TDateTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return SystemTimeToDateTime(st);
}

TDateTime Date() { return std::trunc(Now()); }
TDateTime Time() {
  TDateTime n = Now();
  return n - std::trunc(n);
}

namespace {

void FormatDateTimeInto(String& out, const String& format, TDateTime dt, int depth);

String Pad2(int v) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

bool HasAmPm(const String& f, size_t from) {
  char quote = 0;
  for (size_t i = from; i < f.size(); ++i) {
    char c = f[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      continue;
    }
    if ((c == 'a' || c == 'A') &&
        (StartsText("am/pm", f.substr(i)) || StartsText("a/p", f.substr(i)) || StartsText("ampm", f.substr(i))))
      return true;
  }
  return false;
}

void FormatDateTimeInto(String& out, const String& format, TDateTime dt, int depth) {
  if (depth > 2) return;
  int y, mo, d, h, mi, s, ms;
  DecodeDate(dt, y, mo, d);
  DecodeTime(dt, h, mi, s, ms);
  const auto& fs = FormatSettings;
  bool lastWasHour = false;
  size_t i = 0;
  const size_t n = format.size();
  auto count = [&](char c) {
    size_t k = i;
    while (k < n && std::toupper(static_cast<unsigned char>(format[k])) == c) ++k;
    return k - i;
  };
  while (i < n) {
    char c = format[i];
    char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c == '\'' || c == '"') {
      size_t e = format.find(c, i + 1);
      if (e == String::npos) e = n;
      out.append(format, i + 1, e - i - 1);
      i = e < n ? e + 1 : n;
      continue;
    }
    switch (u) {
      case 'Y': {
        size_t k = count('Y');
        if (k <= 2)
          out += Pad2(y % 100);
        else
          out += std::to_string(y);
        i += k;
        lastWasHour = false;
        break;
      }
      case 'M': {
        size_t k = count('M');
        if (lastWasHour && k <= 2) {
          out += k == 1 ? std::to_string(mi) : Pad2(mi);
        } else if (k == 1) {
          out += std::to_string(mo);
        } else if (k == 2) {
          out += Pad2(mo);
        } else if (k == 3) {
          out += fs.ShortMonthNames[mo - 1 < 0 ? 0 : mo - 1];
        } else {
          out += fs.LongMonthNames[mo - 1 < 0 ? 0 : mo - 1];
        }
        i += k;
        lastWasHour = false;
        break;
      }
      case 'D': {
        size_t k = count('D');
        int wd = DayOfWeek(dt) - 1;
        if (k == 1)
          out += std::to_string(d);
        else if (k == 2)
          out += Pad2(d);
        else if (k == 3)
          out += fs.ShortDayNames[wd];
        else if (k == 4)
          out += fs.LongDayNames[wd];
        else if (k == 5)
          FormatDateTimeInto(out, fs.ShortDateFormat, dt, depth + 1);
        else
          FormatDateTimeInto(out, fs.LongDateFormat, dt, depth + 1);
        i += k;
        lastWasHour = false;
        break;
      }
      case 'H': {
        size_t k = count('H');
        int hh = h;
        if (HasAmPm(format, i)) {
          hh = h % 12;
          if (hh == 0) hh = 12;
        }
        out += k == 1 ? std::to_string(hh) : Pad2(hh);
        i += k;
        lastWasHour = true;
        break;
      }
      case 'N': {
        size_t k = count('N');
        out += k == 1 ? std::to_string(mi) : Pad2(mi);
        i += k;
        lastWasHour = false;
        break;
      }
      case 'S': {
        size_t k = count('S');
        out += k == 1 ? std::to_string(s) : Pad2(s);
        i += k;
        lastWasHour = false;
        break;
      }
      case 'Z': {
        size_t k = count('Z');
        char b[16];
        std::snprintf(b, sizeof b, k >= 3 ? "%03d" : "%d", ms);
        out += b;
        i += k;
        break;
      }
      case 'T': {
        size_t k = count('T');
        FormatDateTimeInto(out, k == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, dt, depth + 1);
        i += k;
        break;
      }
      case 'C': {
        FormatDateTimeInto(out, fs.ShortDateFormat, dt, depth + 1);
        if (dt != std::trunc(dt)) {
          out += ' ';
          FormatDateTimeInto(out, fs.LongTimeFormat, dt, depth + 1);
        }
        ++i;
        break;
      }
      case 'A': {
        String rest = format.substr(i);
        if (StartsText("am/pm", rest)) {
          String t = h < 12 ? "am" : "pm";
          bool upper = rest[0] == 'A';
          out += upper ? UpperCase(t) : t;
          i += 5;
        } else if (StartsText("a/p", rest)) {
          char t = h < 12 ? 'a' : 'p';
          out += rest[0] == 'A' ? static_cast<char>(std::toupper(t)) : t;
          i += 3;
        } else if (StartsText("ampm", rest)) {
          out += h < 12 ? fs.TimeAMString : fs.TimePMString;
          i += 4;
        } else {
          out += c;
          ++i;
        }
        break;
      }
      case '/':
        out += fs.DateSeparator;
        ++i;
        break;
      case ':':
        out += fs.TimeSeparator;
        ++i;
        break;
      default:
        out += c;
        ++i;
        break;
    }
  }
}

}  // namespace

String FormatDateTime(const String& format, TDateTime dt) {
  String out;
  if (format.empty())
    FormatDateTimeInto(out, "c", dt, 0);
  else
    FormatDateTimeInto(out, format, dt, 0);
  return out;
}

String DateToStr(TDateTime dt) { return FormatDateTime("ddddd", dt); }
String TimeToStr(TDateTime dt) { return FormatDateTime("tt", dt); }
String DateTimeToStr(TDateTime dt) { return FormatDateTime("c", dt); }

// ---------------------------------------------------------------- code page

bool TryWideToString(const wchar_t* s, int length, String& out) {
  out.clear();
  if (!s) return true;
  if (length < 0) length = static_cast<int>(wcslen(s));
  if (length == 0) return true;
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, s, length, nullptr, 0, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return false;
  out.resize(static_cast<size_t>(n));
  usedDefault = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, s, length, out.data(), n, nullptr, &usedDefault);
  if (usedDefault) {
    out.clear();
    return false;
  }
  // A round trip must give the same characters (no best-fit mapping).
  return StringToWide(out) == std::wstring(s, static_cast<size_t>(length));
}

String WideToString(const std::wstring& s) {
  String out;
  if (TryWideToString(s.c_str(), static_cast<int>(s.size()), out)) return out;
  String shown;
  int n = WideCharToMultiByte(CP_ACP, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, "?", nullptr);
  if (n > 0) {
    shown.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_ACP, 0, s.c_str(), static_cast<int>(s.size()), shown.data(), n, "?", nullptr);
  }
  throw EConvertError(Format("The name \"%s\" cannot be represented in the system code page", shown));
}

std::wstring StringToWide(const String& s) {
  if (s.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(std::max(n, 0)), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}
