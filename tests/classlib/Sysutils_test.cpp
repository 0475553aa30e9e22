#include <gtest/gtest.h>

#include "classlib/Sysutils.h"
#include "support/Testutil.h"

TEST(Sysutils, FormatTable) {
  struct Case {
    String got, want;
  } cases[] = {
      {Format("%d items", 42), "42 items"},
      {Format("%5d|%-5d|", 7, 7), "    7|7    |"},
      {Format("%.4d", 7), "0007"},
      {Format("%d", -12), "-12"},
      {Format("%d", int64_t(5000000000LL)), "5000000000"},
      {Format("%x %.4X", 255, 255), "FF 00FF"},
      {Format("%s and %s", "a", String("b")), "a and b"},
      {Format("%.2s", "abcdef"), "ab"},
      {Format("%1:s %0:s", "x", "y"), "y x"},
      {Format("%*d", 4, 3), "   3"},
      {Format("%.2f", 3.14159), "3.14"},
      {Format("%n", 1234567.891), "1,234,567.89"},
      {Format("100%%"), "100%"},
      {Format("%g", 0.5), "0.5"},
      {Format("%e", 1234.5), "1.23450000000000E+003"},
  };
  for (auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Sysutils, FormatMismatchRaises) {
  EXPECT_THROW(Format("%d", "text"), EConvertError);
  EXPECT_THROW(Format("%s %s", "one"), EConvertError);
  EXPECT_THROW(Format("%q", 1), EConvertError);
}

TEST(Sysutils, StrToIntRules) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  } cases[] = {
      {"42", true, 42},   {"  42", true, 42},    {"-7", true, -7},     {"+7", true, 7},
      {"$FF", true, 255}, {"0x10", true, 16},    {"", false, 0},       {"42 ", false, 0},
      {"4a", false, 0},   {"2147483648", false, 0}, {"-2147483648", true, INT32_MIN}, {"$FFFFFFFF", true, -1},
  };
  for (auto& c : cases) {
    int v = 0;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
    EXPECT_EQ(StrToIntDef(c.text, -99), c.ok ? c.value : -99) << c.text;
  }
  try {
    StrToInt("abc");
    FAIL();
  } catch (EConvertError& e) {
    EXPECT_EQ(e.Message, "'abc' is not a valid integer value");
  }
  EXPECT_EQ(StrToInt64("6000000000"), 6000000000LL);
}

TEST(Sysutils, TextHelpers) {
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
  EXPECT_EQ(UpperCase("abc-Z"), "ABC-Z");
  EXPECT_EQ(Pos("lo", "hello"), 4);
  EXPECT_EQ(Pos("x", "hello"), 0);
  EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
  EXPECT_EQ(Copy("abc", 3, 10), "c");
  EXPECT_EQ(Copy("abc", 4, 1), "");
  EXPECT_TRUE(SameText("ABC", "abc"));
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  String q = "\"a\"\"b\",rest";
  size_t p = 0;
  EXPECT_EQ(AnsiExtractQuotedStr(q, p, '"'), "a\"b");
  EXPECT_EQ(q[p], ',');
}

TEST(Sysutils, FileNameHelpers) {
  EXPECT_EQ(ExtractFilePath("C:\\dir\\file.txt"), "C:\\dir\\");
  EXPECT_EQ(ExtractFileDir("C:\\dir\\file.txt"), "C:\\dir");
  EXPECT_EQ(ExtractFileDir("C:\\file.txt"), "C:\\");
  EXPECT_EQ(ExtractFileName("C:\\dir\\file.txt"), "file.txt");
  EXPECT_EQ(ExtractFileExt("C:\\d.ir\\file.tar.gz"), ".gz");
  EXPECT_EQ(ExtractFileExt("C:\\d.ir\\file"), "");
  EXPECT_EQ(ChangeFileExt("a\\b.txt", ".log"), "a\\b.log");
  EXPECT_EQ(ChangeFileExt("a.d\\b", ".log"), "a.d\\b.log");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\x"), "C:\\x\\");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\x\\"), "C:\\x");
  EXPECT_EQ(ExtractFileDrive("C:\\x"), "C:");
  EXPECT_EQ(ExtractFileDrive("\\\\srv\\share\\x"), "\\\\srv\\share");
}

TEST(Sysutils, ReplaceFileContentsNeverLeavesAPartFile) {
  String dir = MakeTempFolder("replace");
  String file = dir + "\\data.txt";
  ReplaceFileContents(file, "first");
  EXPECT_EQ(ReadFileBytes(file), "first");
  ReplaceFileContents(file, String(3 << 20, 'x'));
  EXPECT_EQ(FileSizeOf(file), 3 << 20);
  ReplaceFileContents(file, "");
  EXPECT_EQ(ReadFileBytes(file), "");

  ReplaceFileContents(file, "kept");
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
  try {
    ReplaceFileContents(file, "lost");
    ADD_FAILURE() << "a read-only file was replaced";
  } catch (EFCreateError& e) {
    EXPECT_EQ(e.Message.rfind("Cannot create file " + file + ". ", 0), 0u) << e.Message;
  }
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFileBytes(file), "kept");
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*.tmp").c_str(), &fd);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "left behind: " << fd.cFileName;
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST(Sysutils, DatesRoundTrip) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 3, 1), 36586.0);
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  for (int y : {1, 1600, 1899, 1900, 2000, 2024, 2100, 9999})
    for (int m : {1, 2, 12}) {
      int d = DaysInMonth(y, m);
      int yy, mm, dd;
      DecodeDate(EncodeDate(y, m, d), yy, mm, dd);
      EXPECT_EQ(yy * 10000 + mm * 100 + dd, y * 10000 + m * 100 + d);
    }
  TDateTime t = EncodeDate(2024, 7, 4) + EncodeTime(13, 5, 9, 250);
  int h, n, s, ms;
  DecodeTime(t, h, n, s, ms);
  EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + ms, 130509250);
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 7, 4)), 5);  // Thursday
  EXPECT_EQ(FormatDateTime("mm/dd/yyyy hh:nn", t), "07/04/2024 13:05");
  EXPECT_EQ(FormatDateTime("h:mm am/pm", t), "1:05 pm");
  EXPECT_EQ(FormatDateTime("dddd d mmmm yy", t), "Thursday 4 July 24");
  EXPECT_EQ(DateTimeToStr(t), "7/4/2024 1:05:09 PM");
  EXPECT_EQ(DateToStr(t), "7/4/2024");
}

TEST(Sysutils, FormatFloatPictures) {
  EXPECT_EQ(FormatFloat("0.00", 3.14159), "3.14");
  EXPECT_EQ(FormatFloat("#,##0", 1234567.0), "1,234,567");
  EXPECT_EQ(FormatFloat("0.0 KB/s", 12.34), "12.3 KB/s");
  EXPECT_EQ(FormatFloat("0.##", 2.5), "2.5");
  EXPECT_EQ(FormatFloat("0", -3.0), "-3");
}

TEST(Sysutils, WideNamesOutsideTheCodePageAreRefused) {
  String out;
  EXPECT_TRUE(TryWideToString(L"Quellmark \u00ae caf\u00e9", -1, out));
  EXPECT_EQ(out, "Quellmark \xae caf\xe9");
  EXPECT_EQ(StringToWide(out), L"Quellmark \u00ae caf\u00e9");
  // No "?" and no best-fit look-alike ("a" for a-macron) ever stands in.
  for (const wchar_t* name : {L"\u0416.txt", L"\u0101bc", L"\u4e2d"}) {
    EXPECT_FALSE(TryWideToString(name, -1, out));
    EXPECT_EQ(out, "");
  }
  try {
    WideToString(L"x\u0416y");
    FAIL() << "no exception";
  } catch (EConvertError& e) {
    EXPECT_EQ(e.Message, "The name \"x?y\" cannot be represented in the system code page");
  }
}
