// Basic run-time services: text, numbers, exceptions, file names, dates.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

using String = std::string;
using AnsiString = std::string;

// ---------------------------------------------------------------- exceptions

class Exception : public std::exception {
 public:
  Exception() = default;
  explicit Exception(String msg) : Message(std::move(msg)) {}
  virtual ~Exception() = default;
  const char* what() const noexcept override { return Message.c_str(); }
  virtual String ClassName() const { return "Exception"; }
  String Message;
  int HelpContext = 0;
};

#define NEMBRA_EXCEPTION(Name, Base)                                  \
  class Name : public Base {                                          \
   public:                                                            \
    using Base::Base;                                                 \
    String ClassName() const override { return #Name; }               \
  }

// Silent exception: the exception hook ignores it.
NEMBRA_EXCEPTION(EAbort, Exception);
NEMBRA_EXCEPTION(EConvertError, Exception);
NEMBRA_EXCEPTION(EInOutError, Exception);
NEMBRA_EXCEPTION(EOutOfResources, Exception);
NEMBRA_EXCEPTION(EListError, Exception);
NEMBRA_EXCEPTION(EStringListError, Exception);
NEMBRA_EXCEPTION(EStreamError, Exception);
NEMBRA_EXCEPTION(EFCreateError, EStreamError);
NEMBRA_EXCEPTION(EFOpenError, EStreamError);
NEMBRA_EXCEPTION(EReadError, EStreamError);
NEMBRA_EXCEPTION(EWriteError, EStreamError);
NEMBRA_EXCEPTION(EComponentError, Exception);
NEMBRA_EXCEPTION(EOSError, Exception);
// An object is not of the class it was taken for.
NEMBRA_EXCEPTION(EInvalidCast, Exception);

[[noreturn]] void Abort();  // raises EAbort

// Call inside a catch block: passes the exception being handled to handler
// as an Exception (other C++ exceptions are wrapped, keeping their text).
template <class Handler>
void DispatchCurrentException(Handler&& handler) {
  try {
    throw;
  } catch (Exception& e) {
    handler(e);
  } catch (std::exception& e) {
    Exception wrapped(e.what());
    handler(wrapped);
  } catch (...) {
    Exception wrapped("Unknown exception");
    handler(wrapped);
  }
}
// Raises EOSError for GetLastError() (or the given code).
[[noreturn]] void RaiseLastOSError(DWORD code = 0);
String SysErrorMessage(DWORD code);

// ---------------------------------------------------------------- Format

// One argument of Format, made implicitly from numbers, texts and pointers.
struct TVarRec {
  enum Kind { vtInteger, vtFloat, vtString, vtPointer, vtChar } Kind;
  int64_t Int = 0;
  double Float = 0;
  String Str;
  const void* Ptr = nullptr;
  TVarRec(int v) : Kind(vtInteger), Int(v) {}
  TVarRec(unsigned v) : Kind(vtInteger), Int(v) {}
  TVarRec(long v) : Kind(vtInteger), Int(v) {}
  TVarRec(unsigned long v) : Kind(vtInteger), Int(static_cast<int64_t>(v)) {}
  TVarRec(long long v) : Kind(vtInteger), Int(v) {}
  TVarRec(unsigned long long v) : Kind(vtInteger), Int(static_cast<int64_t>(v)) {}
  TVarRec(short v) : Kind(vtInteger), Int(v) {}
  TVarRec(unsigned short v) : Kind(vtInteger), Int(v) {}
  TVarRec(unsigned char v) : Kind(vtInteger), Int(v) {}
  TVarRec(bool v) : Kind(vtInteger), Int(v) {}
  TVarRec(char v) : Kind(vtChar), Str(1, v) {}
  TVarRec(double v) : Kind(vtFloat), Float(v) {}
  TVarRec(float v) : Kind(vtFloat), Float(v) {}
  TVarRec(const char* v) : Kind(vtString), Str(v ? v : "") {}
  TVarRec(const String& v) : Kind(vtString), Str(v) {}
  TVarRec(std::string_view v) : Kind(vtString), Str(v) {}
  TVarRec(const void* v) : Kind(vtPointer), Ptr(v) {}
};

// The platform's Format: %[index:][-][width][.prec]type with type one of
// d u x e f g n m s p (upper or lower case), "*" for width or precision,
// "%%" for a percent sign. A mismatch raises EConvertError.
String FormatArgs(const String& fmt, const TVarRec* args, size_t count);
template <typename... A>
String Format(const String& fmt, const A&... args) {
  if constexpr (sizeof...(A) == 0) {
    return FormatArgs(fmt, nullptr, 0);
  } else {
    const TVarRec recs[] = {TVarRec(args)...};
    return FormatArgs(fmt, recs, sizeof...(A));
  }
}

// ---------------------------------------------------------------- numbers

String IntToStr(int64_t value);
String IntToHex(uint64_t value, int digits);
// Accepts blanks before the number, a sign, decimal digits or "$"/"0x" hex.
// Failure raises EConvertError "'%s' is not a valid integer value".
int StrToInt(const String& s);
int64_t StrToInt64(const String& s);
int StrToIntDef(const String& s, int def);
int64_t StrToInt64Def(const String& s, int64_t def);
bool TryStrToInt(const String& s, int& value);
bool TryStrToInt64(const String& s, int64_t& value);
String FloatToStr(double value);
double StrToFloat(const String& s);  // EConvertError "'%s' is not a valid floating point value"
bool TryStrToFloat(const String& s, double& value);
// Delphi-style picture: "0", "#", ".", ",", literal text in quotes.
String FormatFloat(const String& format, double value);

// ---------------------------------------------------------------- text

String Trim(const String& s);       // removes control characters and blanks (<= ' ')
String TrimLeft(const String& s);
String TrimRight(const String& s);
String UpperCase(const String& s);  // ASCII only
String LowerCase(const String& s);
String AnsiUpperCase(const String& s);  // by the user's locale
String AnsiLowerCase(const String& s);
int CompareStr(const String& a, const String& b);   // ordinal, case-sensitive
int CompareText(const String& a, const String& b);  // ASCII case-insensitive
bool SameText(const String& a, const String& b);
int AnsiCompareStr(const String& a, const String& b);   // by the user's locale
int AnsiCompareText(const String& a, const String& b);  // by the user's locale, without case
bool AnsiSameText(const String& a, const String& b);
// 1-based like the platform: 0 when not found.
int Pos(const String& sub, const String& s);
// 1-based, clamped: Copy("abc", 2, 10) == "bc".
String Copy(const String& s, int index, int count);
String StringReplaceAll(const String& s, const String& from, const String& to, bool ignoreCase = false);
String StringOfChar(char c, int count);
String QuotedStr(const String& s);  // 'it''s'
String AnsiQuotedStr(const String& s, char quote);
// Reads a quoted text starting at s[pos] (which must be the quote) and
// moves pos behind it; doubled quotes stand for one.
String AnsiExtractQuotedStr(const String& s, size_t& pos, char quote);
bool StartsText(const String& prefix, const String& s);
bool EndsText(const String& suffix, const String& s);

// ---------------------------------------------------------------- code page

// String holds text in the system's ANSI code page (the test run pins it to
// 1252). Text from UTF-16 sources (the shell, file searches) that the code
// page cannot hold is refused, never replaced by a look-alike or "?".
// False when a character has no exact form in the code page.
bool TryWideToString(const wchar_t* s, int length, String& out);  // length -1: up to the NUL
// Raises EConvertError "The name \"%s\" cannot be represented in the
// system code page" (the name shown with "?" for what it cannot hold).
String WideToString(const std::wstring& s);
std::wstring StringToWide(const String& s);

// ---------------------------------------------------------------- file names

String ExtractFilePath(const String& name);  // with the trailing '\' or ':'
String ExtractFileDir(const String& name);   // without the trailing '\'
String ExtractFileName(const String& name);
String ExtractFileExt(const String& name);   // with the dot
String ExtractFileDrive(const String& name);
String ChangeFileExt(const String& name, const String& ext);
String ExpandFileName(const String& name);
String IncludeTrailingBackslash(const String& s);
String ExcludeTrailingBackslash(const String& s);
bool IsPathDelimiter(const String& s, int index);  // 1-based
bool FileExists(const String& name);
bool DirectoryExists(const String& name);
bool ForceDirectories(const String& dir);
bool CreateDir(const String& dir);
bool RemoveDir(const String& dir);
// DeleteFile and RenameFile are also Win32 macros; these forms take Strings.
bool DeleteFileStr(const String& name);
bool RenameFileStr(const String& from, const String& to);
String GetCurrentDirStr();
// Size of a file in bytes, -1 when it cannot be opened.
int64_t FileSizeOf(const String& name);
// Puts data in place of the file's contents without ever leaving a partly
// written file: the data goes to a new file in the same folder, which then
// replaces the old file. On failure the old file stays as it was, the new
// one is removed and EFCreateError "Cannot create file %s. <reason>" is
// raised.
void ReplaceFileContents(const String& fileName, const String& data);

// ---------------------------------------------------------------- dates

// Days since 30 December 1899; the fraction is the time of day.
using TDateTime = double;

struct TFormatSettings {
  char DateSeparator = '/';
  char TimeSeparator = ':';
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  String ShortDateFormat = "m/d/yyyy";
  String LongDateFormat = "dddd, mmmm d, yyyy";
  String ShortTimeFormat = "h:nn AMPM";
  String LongTimeFormat = "h:nn:ss AMPM";
  String TimeAMString = "AM";
  String TimePMString = "PM";
  String ShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  String LongMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
  String ShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  String LongDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
};
extern TFormatSettings FormatSettings;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// EConvertError "Invalid argument to date encode" / "... time encode".
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& dt);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& dt);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec);
int DayOfWeek(TDateTime dt);  // 1 = Sunday
TDateTime Now();
TDateTime Date();
TDateTime Time();
TDateTime SystemTimeToDateTime(const SYSTEMTIME& st);
void DateTimeToSystemTime(TDateTime dt, SYSTEMTIME& st);
TDateTime FileTimeToDateTime(const FILETIME& ft);  // no time-zone change
// The platform's picture letters: c d dd ddd dddd ddddd m mm mmm mmmm yy yyyy
// h hh n nn s ss z zzz t tt am/pm a/p ampm / : 'text' "text".
String FormatDateTime(const String& format, TDateTime dt);
String DateToStr(TDateTime dt);
String TimeToStr(TDateTime dt);
String DateTimeToStr(TDateTime dt);
