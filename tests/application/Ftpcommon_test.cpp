#include <gtest/gtest.h>

#include <ostream>
#include <tuple>

#include "application/connections/Ftpcommon.h"

namespace {

struct Row {
  String name, size, marker, date, time, link;
  bool operator==(const Row& o) const {
    return std::tie(name, size, marker, date, time, link) ==
           std::tie(o.name, o.size, o.marker, o.date, o.time, o.link);
  }
};

void PrintTo(const Row& r, std::ostream* os) {
  *os << "{" << r.name << " | " << r.size << " | " << r.marker << " | " << r.date << " | " << r.time
      << " | " << r.link << "}";
}

const TFtpDate kToday{2024, 3, 15};

// Runs the TStrings form, as the listing parsers do, and returns the rows.
std::vector<Row> Convert(const std::vector<String>& lines, BYTE& flag, const TFtpDate& today = kToday) {
  TStringList names, sizes, markers, dates, times, links;
  for (const String& l : lines) names.Add(l);
  FTP_ConvertLines(&names, &sizes, &markers, &dates, &times, &links, flag, &today);
  const int n = names.Count();
  EXPECT_TRUE(sizes.Count() == n && markers.Count() == n && dates.Count() == n && times.Count() == n &&
              links.Count() == n);
  std::vector<Row> rows;
  for (int i = 0; i < n && i < sizes.Count() && i < markers.Count() && i < dates.Count() && i < times.Count() &&
                  i < links.Count();
       ++i)
    rows.push_back({names[i], sizes[i], markers[i], dates[i], times[i], links[i]});
  return rows;
}

std::vector<Row> Convert(const std::vector<String>& lines) {
  BYTE flag = lfNone;
  return Convert(lines, flag);
}

struct LineCase {
  const char* line;
  Row want;
};

void ExpectEachLine(const std::vector<LineCase>& cases, BYTE wantFlag) {
  for (const LineCase& c : cases) {
    BYTE flag = lfNone;
    std::vector<Row> rows = Convert({c.line}, flag);
    ASSERT_EQ(rows.size(), 1u) << c.line;
    EXPECT_EQ(rows[0], c.want) << c.line;
    EXPECT_EQ(flag, wantFlag) << c.line;
  }
}

void ExpectDropped(const std::vector<String>& lines) {
  for (const String& l : lines) EXPECT_TRUE(Convert({l}).empty()) << "[" << l << "]";
}

}  // namespace

// ---------------------------------------------------------------- helpers

TEST(Ftpcommon, MonthNamesMatchWholeWordsOnly) {
  struct {
    const char* word;
    int want;
  } cases[] = {
      {"JAN", 1},  {"jan", 1},   {"Feb", 2}, {"MAY", 5},     {"September", 9}, {"SEP", 9}, {"dec", 12},
      {"DECEMBER", 12}, {"", 0}, {"A", 0},   {"MA", 0},      {"BER", 0},       {"AN", 0},  {"R", 0},
      {"SEPT", 0}, {"JANU", 0},  {"MAYOR", 0}, {"march1", 0},
  };
  for (auto& c : cases) EXPECT_EQ(GetMonthIndex(c.word), c.want) << c.word;
}

TEST(Ftpcommon, NormalizeDateTable) {
  struct {
    const char* in;
    const char* want;
  } cases[] = {
      {"26-MAR-2003", "03/26/2003"}, {"1-APR-2003", "04/01/2003"}, {"2/Jan/2024", "01/02/2024"},
      {"12/Sep/1999", "09/12/1999"}, {"03/12/1999", "03/12/1999"}, {"3/12/1999", "03/12/1999"},
      {"2003", "2003"},              {"12-", "12-"},               {"", ""},
      {"5/XYZ/2003", "5/XYZ/2003"},  {"5/MA/2003", "5/MA/2003"},   {"-/-", "-/-"},
  };
  for (auto& c : cases) EXPECT_EQ(NormalizeDate(c.in), c.want) << c.in;
}

TEST(Ftpcommon, NormalizeTimeTable) {
  struct {
    const char* in;
    const char* want;
  } cases[] = {
      {"01:30PM", "13:30"}, {"12:05PM", "12:05"}, {"10:15AM", "10:15"}, {"12:30AM", "00:30"},
      {"12:00am", "00:00"}, {"11:59pm", "23:59"}, {"13:45:12", "13:45"}, {"13:45:12.50", "13:45"},
      {"09:15", "09:15"},   {"2003", "2003"},     {"1:30PM", "13:30"},   {"9:05", "09:05"},
      {"", ""},             {"PM", "PM"},
  };
  for (auto& c : cases) EXPECT_EQ(NormalizeTime(c.in), c.want) << c.in;
}

TEST(Ftpcommon, DosDateTable) {
  struct {
    const char* in;
    const char* want;
  } cases[] = {
      {"03-12-99", "03/12/1999"},   {"01-05-05", "01/05/2005"}, {"12-31-29", "12/31/2029"},
      {"12-31-30", "12/31/1930"},   {"07-04-2023", "07/04/2023"}, {"25/12/1998", "25/12/1998"},
      {"03/12/99", "03/12/1999"},   {"03-12-9", ""},            {"03-12-199", ""},
      {"03-12-99x", ""},            {"0a-12-99", ""},           {"03-12", ""},
      {"", ""},
  };
  for (auto& c : cases) EXPECT_EQ(DosDateToMDY(c.in), c.want) << c.in;
}

TEST(Ftpcommon, FirstParamAndVmsPath) {
  String text = "alpha   beta  gamma ";
  EXPECT_EQ(GetFirstParam(text), "alpha");
  EXPECT_EQ(text, "beta  gamma");
  EXPECT_EQ(GetFirstParam(text), "beta");
  EXPECT_EQ(GetFirstParam(text), "gamma");
  EXPECT_EQ(text, "");
  EXPECT_EQ(GetFirstParam(text), "");

  unsigned char flag = lfUnix;
  FTP_SetupVMS("DISK$USER:[SMITH.WORK]", flag);
  EXPECT_EQ(flag, lfVms);
  FTP_SetupVMS("/home/smith", flag);
  EXPECT_EQ(flag, lfNone);
}

TEST(Ftpcommon, TodayFollowsTheLocalClock) {
  const TFtpDate today = FTP_Today();
  int y = 0, m = 0, d = 0;
  DecodeDate(Date(), y, m, d);
  EXPECT_EQ(today.Year, y);
  EXPECT_EQ(today.Month, m);
  EXPECT_EQ(today.Day, d);
}

// ---------------------------------------------------------------- Unix

TEST(Ftpcommon, UnixLines) {
  ExpectEachLine(
      {
          {"drwxr-xr-x   2 ftp      ftp          512 Jan 12  2003 pub", {"pub", "512", "<DIR>", "01/12/2003", "00:00", ""}},
          {"-rw-r--r--   1 owner    group     1048576 Mar  2 09:15 readme.txt",
           {"readme.txt", "1048576", "", "03/02/2024", "09:15", ""}},
          {"-rw-r--r--   1 owner    group          10 Jan  2 10:00 My  Report   v2.doc",
           {"My  Report   v2.doc", "10", "", "01/02/2024", "10:00", ""}},
          // A link: the target is split off and the entry is no directory itself.
          {"lrwxrwxrwx   1 root     root            7 Jan 12  2003 lib -> usr/lib",
           {"lib", "7", "", "01/12/2003", "00:00", "usr/lib"}},
          {"lrwxrwxrwx   1 root     root           11 Feb  3 11:20 my  link -> ../a  b",
           {"my  link", "11", "", "02/03/2024", "11:20", "../a  b"}},
          // Arrows in the names of plain files stay in the name.
          {"-rw-r--r--   1 u        g               5 Jan 12  2003 a->b.txt", {"a->b.txt", "5", "", "01/12/2003", "00:00", ""}},
          {"-rw-r--r--   1 u        g               5 Jan 12  2003 x -> y", {"x -> y", "5", "", "01/12/2003", "00:00", ""}},
          // Set-id, sticky, access-list and attribute marks.
          {"drwxr-sr-x   3 www-data www-data     4096 Feb 10  2022 shared", {"shared", "4096", "<DIR>", "02/10/2022", "00:00", ""}},
          {"drwxrwxrwt  10 root     root         4096 Mar 14 08:00 tmp", {"tmp", "4096", "<DIR>", "03/14/2024", "08:00", ""}},
          {"-rwsr-xr-x   1 root     root        54096 Jan  5  2023 passwd", {"passwd", "54096", "", "01/05/2023", "00:00", ""}},
          {"-rw-r-Sr-T   1 u        g               1 Jan  5  2023 odd", {"odd", "1", "", "01/05/2023", "00:00", ""}},
          {"-rw-r-lr--   1 u        g               1 Jan  5  2023 locked", {"locked", "1", "", "01/05/2023", "00:00", ""}},
          {"-rw-r--r--+  1 u        g              12 Mar  1  2023 acl.txt", {"acl.txt", "12", "", "03/01/2023", "00:00", ""}},
          {"-rw-r--r--@  1 u        staff          12 Mar  1  2023 mac.txt", {"mac.txt", "12", "", "03/01/2023", "00:00", ""}},
          {"-rw-r--r--.  1 u        g              12 Mar  1  2023 ctx.txt", {"ctx.txt", "12", "", "03/01/2023", "00:00", ""}},
          // Devices, pipes, sockets, doors.
          {"brw-rw----   1 root     disk       8,   0 Mar  1  2023 sda", {"sda", "0", "", "03/01/2023", "00:00", ""}},
          {"crw-rw-rw-   1 root     root       1,   3 Mar  1  2023 null", {"null", "3", "", "03/01/2023", "00:00", ""}},
          {"prw-r--r--   1 u        g               0 Mar  1  2023 fifo", {"fifo", "0", "", "03/01/2023", "00:00", ""}},
          {"srwxrwxrwx   1 u        g               0 Mar  1  2023 sock", {"sock", "0", "", "03/01/2023", "00:00", ""}},
          {"Dr--r--r--   1 u        g               0 Mar  1  2023 door", {"door", "0", "", "03/01/2023", "00:00", ""}},
          // Owners and groups that are (parts of) month names do not shift the columns.
          {"-rw-r--r--   1 ber      ma           2048 Jun  3  2021 notes.txt", {"notes.txt", "2048", "", "06/03/2021", "00:00", ""}},
          {"-rw-r--r--   1 bob      dec          2048 Jun  3  2021 notes.txt", {"notes.txt", "2048", "", "06/03/2021", "00:00", ""}},
          {"-rw-r--r--   1 may      jan            12 Jun  3  2021 notes.txt", {"notes.txt", "12", "", "06/03/2021", "00:00", ""}},
          {"-rw-r--r--   1 march    april        4096 Oct 31 23:59 q4.txt", {"q4.txt", "4096", "", "10/31/2023", "23:59", ""}},
          // Without the group column, and without owner and group.
          {"-rw-r--r--   1 ftp        4096 Feb  1  2020 nogroup.bin", {"nogroup.bin", "4096", "", "02/01/2020", "00:00", ""}},
          {"-rw-r--r--   1     4096 Feb  1  2020 short.bin", {"short.bin", "4096", "", "02/01/2020", "00:00", ""}},
          // Full month names and a tab between columns.
          {"-rw-r--r--   1 u g 77 September 9 2019 long.txt", {"long.txt", "77", "", "09/09/2019", "00:00", ""}},
          {"-rw-r--r--\t1 u g 5 Mar 1 2023 tab.txt", {"tab.txt", "5", "", "03/01/2023", "00:00", ""}},
          // Names in an 8-bit code page are kept byte for byte.
          {"-rw-r--r--   1 u g 5 Mar 1 2023 caf\xe9 \xfc.txt", {"caf\xe9 \xfc.txt", "5", "", "03/01/2023", "00:00", ""}},
      },
      lfUnix);
}

TEST(Ftpcommon, UnixYearOfDatesWithATime) {
  struct {
    TFtpDate today;
    const char* date;
    const char* want;
  } cases[] = {
      {{2024, 1, 10}, "Dec 28 14:00", "12/28/2023"},  // listed in January
      {{2024, 1, 10}, "Jan 10 09:00", "01/10/2024"},
      {{2024, 1, 10}, "Jan 11 23:00", "01/11/2024"},  // a day ahead: another time zone
      {{2024, 1, 10}, "Jan 12 10:00", "01/12/2023"},
      {{2024, 12, 31}, "Jan  1 00:05", "01/01/2024"},
      {{2024, 12, 31}, "Dec 31 23:59", "12/31/2024"},
      {{2024, 3, 1}, "Feb 29 10:00", "02/29/2024"},
      {{2025, 1, 20}, "Feb 29 10:00", "02/29/2024"},
  };
  for (auto& c : cases) {
    BYTE flag = lfNone;
    const String line = String("-rw-r--r-- 1 u g 5 ") + c.date + " f";
    std::vector<Row> rows = Convert({line}, flag, c.today);
    ASSERT_EQ(rows.size(), 1u) << line;
    EXPECT_EQ(rows[0].date, c.want) << line << " on " << c.today.Year << "-" << c.today.Month << "-" << c.today.Day;
  }
}

TEST(Ftpcommon, UnixLinesWithoutADateOrNameAreDropped) {
  ExpectDropped({
      "total 42",
      "drwxr-xr-x",
      "-rw-r--r-- 1 u g 12 Mar 1",
      "-rw-r--r-- 1 u g 12 Mar 1 2023",
      "-rw-r--r-- 1 u g 12 2023-03-01 10:00",
      "-rw-r--r-- 1 u g 12 2023-3-01 10:00 short-iso.txt",
      "-rw-r--r-- 1 u g 12 13 14 15 16 17 18 19 20 Mar 1 2023 late",
      "-rw-r--r--x 1 u g 12 Mar 1 2023 elevenchars",
      "-rw-r--r 1 u g 12 Mar 1 2023 ninechars",
      "zrw-r--r-- 1 u g 12 Mar 1 2023 badtype",
      "-rw-r-qr-- 1 u g 12 Mar 1 2023 badmode",
  });
}

// Lines as real servers write them: ISO dates (ls --time-style=long-iso),
// names with outer blanks, a CR left at the line end.
TEST(Ftpcommon, UnixIsoDatesAndNamesAsListed) {
  ExpectEachLine(
      {
          {"-rw-r--r--    1 ftp      ftp          1234 2023-04-05 14:07 iso file.txt",
           {"iso file.txt", "1234", "", "04/05/2023", "14:07", ""}},
          {"drwxr-xr-x    2 ftp      ftp          4096 2021-12-31 23:59 isodir", {"isodir", "4096", "<DIR>", "12/31/2021", "23:59", ""}},
          {"lrwxrwxrwx    1 ftp      ftp             7 2022-01-02 03:04:05 isolink -> target",
           {"isolink", "7", "", "01/02/2022", "03:04", "target"}},
          {"-rw-r--r--    1 ftp          9 2020-02-29 00:00 nogroup-iso", {"nogroup-iso", "9", "", "02/29/2020", "00:00", ""}},
          {"-rw-r--r--   1 u g 5 Mar  1  2023  lead.txt", {" lead.txt", "5", "", "03/01/2023", "00:00", ""}},
          {"-rw-r--r--   1 u g 5 Mar  1  2023 trail.txt  ", {"trail.txt  ", "5", "", "03/01/2023", "00:00", ""}},
          {"-rw-r--r--   1 u g 5 Mar  1 10:00   both  ", {"  both  ", "5", "", "03/01/2024", "10:00", ""}},
          {"-rw-r--r--   1 u g 5 Mar  1  2023 crlf.txt\r", {"crlf.txt", "5", "", "03/01/2023", "00:00", ""}},
          {"lrwxrwxrwx   1 u g 5 Mar  1  2023  sp -> x ", {" sp", "5", "", "03/01/2023", "00:00", "x "}},
      },
      lfUnix);
}

// ---------------------------------------------------------------- DOS

TEST(Ftpcommon, DosLines) {
  ExpectEachLine(
      {
          {"03-12-99  01:30PM       <DIR>          pub", {"pub", "", "<DIR>", "03/12/1999", "13:30", ""}},
          {"07-04-2023  10:15AM              1234567 report 2023.pdf",
           {"report 2023.pdf", "1234567", "", "07/04/2023", "10:15", ""}},
          {"01-05-05  12:30AM                  512 a.txt", {"a.txt", "512", "", "01/05/2005", "00:30", ""}},
          {"12-31-30  12:05PM                   10 b", {"b", "10", "", "12/31/1930", "12:05", ""}},
          {"02-14-24  09:00AM                   77 two  blanks.txt", {"two  blanks.txt", "77", "", "02/14/2024", "09:00", ""}},
          {"02/14/24  17:45                     77 slashes.txt", {"slashes.txt", "77", "", "02/14/2024", "17:45", ""}},
          {"06-30-23  08:00PM       <JUNCTION>     Documents", {"Documents", "", "<JUNCTION>", "06/30/2023", "20:00", ""}},
          {"06-30-23  08:00PM       <DIR>          .", {".", "", "<DIR>", "06/30/2023", "20:00", ""}},
          // IIS with a blank before the marker.
          {"03-12-99  09:05 AM       <DIR>          pub", {"pub", "", "<DIR>", "03/12/1999", "09:05", ""}},
          {"03-12-99  01:30 pm                1024 a b.txt", {"a b.txt", "1024", "", "03/12/1999", "13:30", ""}},
          {"03-12-99  12:10 AM                  7 am", {"am", "7", "", "03/12/1999", "00:10", ""}},
      },
      lfDos);
  ExpectDropped({"03-12-9X  01:30PM  <DIR>  bad", "03-12-", "03-12-99  01:30PM  <DIR>", "12-34-", "ab-cd-ef x y z"});
}

// ---------------------------------------------------------------- AS/400

TEST(Ftpcommon, As400Lines) {
  ExpectEachLine(
      {
          {"QSYS           18944 10/23/00 02:10:37 *DIR       QDLS/", {"QDLS/", "18944", "<DIR>", "10/23/00", "02:10:37", ""}},
          {"QSYS         1234567 01/02/03 10:11:12 *LIB       QGPL.LIB", {"QGPL.LIB", "1234567", "<DIR>", "01/02/03", "10:11:12", ""}},
          {"QDOC            8192 01/02/03 10:11:12 *FLR       QDOC/FOLDER", {"QDOC/FOLDER", "8192", "<DIR>", "01/02/03", "10:11:12", ""}},
          {"QSYS            8192 01/02/03 10:11:12 *DDIR      /QOpenSys", {"/QOpenSys", "8192", "<DIR>", "01/02/03", "10:11:12", ""}},
          {"QPGMR                                  *MEM       QGPL/QCLSRC.FILE/TEST.MBR",
           {"QGPL/QCLSRC.FILE/TEST.MBR", "N/A", "", "N/A", "N/A", ""}},
          {"QPGMR        1234567 01/02/03 10:11:12 *FILE      QGPL/QCLSRC.FILE", {"QGPL/QCLSRC.FILE", "1234567", "", "01/02/03", "10:11:12", ""}},
          // Every object type is kept, save files and journals among them.
          {"QSECOFR     53477376 04/15/03 13:20:31 *SAVF      QGPL/BACKUP.SAVF",
           {"QGPL/BACKUP.SAVF", "53477376", "", "04/15/03", "13:20:31", ""}},
          {"QSYS           12288 01/02/03 10:11:12 *JRN       QSYS/QAUDJRN", {"QSYS/QAUDJRN", "12288", "", "01/02/03", "10:11:12", ""}},
          {"QUSER           4096 11/05/22 16:42:07 *STMF      /home/quser/my  file.txt",
           {"/home/quser/my  file.txt", "4096", "", "11/05/22", "16:42:07", ""}},
      },
      lfAs400);
  ExpectDropped({"OWNER * name", "QSYS 12 01/02/03 10:11:12 *", "QSYS 12 01/02/03 10:11:12 *FILE"});
}

// ---------------------------------------------------------------- VMS

TEST(Ftpcommon, VmsListingWithHeadingContinuationAndTotals) {
  BYTE flag = lfDos;  // the heading forces VMS whatever the caller passed
  std::vector<Row> rows = Convert(
      {
          "Directory DISK$USER:[SMITH]",
          "",
          "LOGIN.COM;5            2/3        22-MAR-2003 10:15:02.34  [SMITH]  (RWED,RWED,RE,)",
          "MAIL.DIR;1             1/3        12-JAN-2003 09:00:00.00  [GROUP,SMITH]  (RWE,RWE,RE,E)",
          "VERYLONGFILENAMEEXCEEDINGTHECOLUMN.TXT;1",
          "                      12/15       26-MAR-2003 13:45:12.50  [SMITH]  (RWED,RWED,RE,)",
          "MY.DIRECTORY.TXT;2     5           1-APR-2003 08:05:00.00  [SMITH]  (RWED,RWED,RE,)",
          "subdir.dir;1           1          14-FEB-2024 23:59:59.99  [SMITH]  (RWE,RWE,RE,E)",
          "BIG.DAT;1        9000000          14-FEB-2024 12:00:00.00  [SMITH]  (RWED,RWED,RE,)",
          "",
          "Total of 7 files, 9000024/9000040 blocks.",
      },
      flag);
  EXPECT_EQ(flag, lfVms);
  const std::vector<Row> want = {
      {"LOGIN.COM", "1024", "", "03/22/2003", "10:15", ""},
      {"MAIL", "512", "<DIR>", "01/12/2003", "09:00", ""},
      {"VERYLONGFILENAMEEXCEEDINGTHECOLUMN.TXT", "6144", "", "03/26/2003", "13:45", ""},
      {"MY.DIRECTORY.TXT", "2560", "", "04/01/2003", "08:05", ""},
      {"subdir", "512", "<DIR>", "02/14/2024", "23:59", ""},
      {"BIG.DAT", "4608000000", "", "02/14/2024", "12:00", ""},
  };
  EXPECT_EQ(rows, want);
}

TEST(Ftpcommon, VmsForcedByCallerAndLoneNames) {
  BYTE flag = lfVms;
  std::vector<Row> rows = Convert(
      {
          "DISK$USER:[SMITH]",
          "A.TXT;1      2  3-MAR-2003 10:00:00.00  [SMITH]  (RWED,RWED,RE,)",
          "LONELY.TXT;1",
          "B.TXT;1      3  4-MAR-2003 11:00:00.00  [SMITH]  (RWED,RWED,RE,)",
          "-rw-r--r-- 1 u g 5 Mar 1 2023 unix.txt",
          "LAST.TXT;9",
      },
      flag);
  EXPECT_EQ(flag, lfVms);
  const std::vector<Row> want = {
      {"A.TXT", "1024", "", "03/03/2003", "10:00", ""},
      {"LONELY.TXT", "", "", "", "", ""},
      {"B.TXT", "1536", "", "03/04/2003", "11:00", ""},
      {"LAST.TXT", "", "", "", "", ""},
  };
  EXPECT_EQ(rows, want);
}

// A file the server may not look at: its message stands in place of size
// and date; the file is listed without them.
TEST(Ftpcommon, VmsLineWithoutPrivilege) {
  BYTE flag = lfVms;
  std::vector<Row> rows = Convert(
      {
          "SECRET.TXT;1        %RMS-E-PRV, insufficient privilege or file protection violation",
          "HIDDEN.DIR;1        no privilege",
          "OPEN.TXT;2          4  3-MAR-2003 10:00:00.00  [SMITH]  (RWED,RWED,RE,)",
      },
      flag);
  const std::vector<Row> want = {
      {"SECRET.TXT", "", "", "", "", ""},
      {"HIDDEN", "", "<DIR>", "", "", ""},
      {"OPEN.TXT", "2048", "", "03/03/2003", "10:00", ""},
  };
  EXPECT_EQ(rows, want);
}

// ---------------------------------------------------------------- whole listings

TEST(Ftpcommon, EmptyAndBlankListings) {
  BYTE flag = lfDos;
  EXPECT_TRUE(Convert({}, flag).empty());
  EXPECT_EQ(flag, lfDos);
  EXPECT_TRUE(Convert({"", "   ", "\t", "\r"}, flag).empty());
  EXPECT_EQ(flag, lfDos);
}

TEST(Ftpcommon, MixedListingKeepsOrderAndReportsLastFormat) {
  BYTE flag = lfNone;
  std::vector<Row> rows = Convert(
      {
          "total 8",
          "drwxr-xr-x   2 ftp ftp 512 Jan 12  2003 pub",
          "garbage line here",
          "03-12-99  01:30PM       <DIR>          dos",
          "-rw-r--r--   1 ftp ftp 100 Mar  2 09:15 z.txt",
          "",
      },
      flag);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].name, "pub");
  EXPECT_EQ(rows[1].name, "dos");
  EXPECT_EQ(rows[2].name, "z.txt");
  EXPECT_EQ(flag, lfUnix);
}

TEST(Ftpcommon, ResultListsStartEmpty) {
  TStringList names, sizes, markers, dates, times, links;
  names.Add("-rw-r--r-- 1 u g 5 Mar 1 2023 f");
  for (TStrings* l : std::initializer_list<TStrings*>{&sizes, &markers, &dates, &times, &links}) l->Add("stale");
  BYTE flag = lfNone;
  FTP_ConvertLines(&names, &sizes, &markers, &dates, &times, &links, flag, &kToday);
  ASSERT_EQ(names.Count(), 1);
  EXPECT_EQ(sizes.Count(), 1);
  EXPECT_EQ(sizes[0], "5");
  EXPECT_EQ(links.Count(), 1);
  EXPECT_EQ(links[0], "");
}

TEST(Ftpcommon, ShortAndOddLinesAreDropped) {
  ExpectDropped({
      "d", "-", "--", "12-", "1/", "12-34", "*", "a *", "a b c d *", "a b c d e", ":[", "x:[y]",
      "-rw-r--r-- 1 a b c Jan", "lrwxrwxrwx 1 a b 3 Jan 1 2000", "\x01\x02\x03", "\xff\xfe\xfd",
  });
}
