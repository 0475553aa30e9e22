// The date items without shown windows: texts of dates in three locales,
// the dates of typed texts, the navigator's measures and rectangles, the
// dialog's layout and the date combo's text.
#include <windows.h>

#include "Barstest.h"
#include "bars/extitems/Dxbarextitems.h"
#include "bars/extitems/Dxbardatetext.h"

namespace {

const LCID kEnUs = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
const LCID kDeDe = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
const LCID kSvSe = MAKELCID(MAKELANGID(LANG_SWEDISH, SUBLANG_SWEDISH), SORT_DEFAULT);

}  // namespace

TEST(BarsDateText, DatesWriteAsWeekdayAndShortDateInTheLocale) {
  double mar5 = EncodeDate(2024, 3, 5);  // a Tuesday
  struct { LCID locale; const char* name; String text; } cases[] = {
      {kEnUs, "en-US", "Tue 3/5/2024"},
      // Under Wine German weekdays end in a dot.
      {kDeDe, "de-DE", "Di. 5.3.2024"},
      {kSvSe, "sv-SE", "tis 2024-03-05"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    String text = dxBarDateText(mar5, c.locale);
    EXPECT_EQ(text, c.text);
    // Each reads back as its date, the time of day dropped.
    EXPECT_EQ(dxBarDateOfText(text, c.locale), mar5);
    EXPECT_EQ(dxBarDateText(mar5 + 0.75, c.locale), c.text);
  }
  // No date, and dates the locale cannot write, are empty.
  for (double d : {dxBarNoDate, EncodeDate(1500, 6, 1), EncodeDate(1600, 12, 31)})
    EXPECT_EQ(dxBarDateText(d, kEnUs), "") << d;
  EXPECT_EQ(dxBarDateText(EncodeDate(1601, 1, 1), kEnUs), "Mon 1/1/1601");
  EXPECT_EQ(dxBarDateText(EncodeDate(9999, 12, 31), kEnUs), "Fri 12/31/9999");
}

TEST(BarsDateText, TypedTextsAreReadWithTheirLocale) {
  struct { LCID locale; const char* text; double date; } cases[] = {
      // Only a weekday name of the locale goes before the date is read.
      {kEnUs, "3/5/2024", EncodeDate(2024, 3, 5)},
      {kEnUs, "Tue 3/5/2024", EncodeDate(2024, 3, 5)},
      {kEnUs, "tuesday 3/5/2024", EncodeDate(2024, 3, 5)},
      {kEnUs, "5 3 2024", EncodeDate(2024, 5, 3)},
      {kEnUs, "  3/5/2024", EncodeDate(2024, 3, 5)},
      {kEnUs, "xyz", dxBarNoDate},
      {kEnUs, "", dxBarNoDate},
      {kEnUs, "   ", dxBarNoDate},
      {kEnUs, "Tue", dxBarNoDate},
      // Dates that cannot be shown are none.
      {kEnUs, "1/1/1500", dxBarNoDate},
      // Dots are blanks: a German date with or without its weekday.
      {kDeDe, "05.03.2024", EncodeDate(2024, 3, 5)},
      {kDeDe, "Di. 05.03.2024", EncodeDate(2024, 3, 5)},
      {kDeDe, "Dienstag 5.3.2024", EncodeDate(2024, 3, 5)},
      // Swedish short dates with '-'.
      {kSvSe, "2024-03-05", EncodeDate(2024, 3, 5)},
      {kSvSe, "tis 2024-03-05", EncodeDate(2024, 3, 5)},
  };
  for (auto& c : cases) EXPECT_EQ(dxBarDateOfText(c.text, c.locale), c.date) << "\"" << c.text << "\"";
  // A typed '-' is text where the short date holds one.
  EXPECT_FALSE(dxBarDateMinusIsText(kEnUs));
  EXPECT_FALSE(dxBarDateMinusIsText(kDeDe));
  EXPECT_TRUE(dxBarDateMinusIsText(kSvSe));
}

TEST(BarsDateText, MonthNamesAndWeekdayLettersFollowTheLocaleAndTheFirstDay) {
  EXPECT_EQ(dxBarMonthYearText(2024, 3, kEnUs), "March 2024");
  EXPECT_EQ(dxBarMonthYearText(2024, 3, kDeDe), "M\xe4rz 2024");
  EXPECT_EQ(dxBarMonthYearText(2024, 12, kSvSe), "december 2024");
  String en, de;
  for (int day = 0; day < 7; ++day) {
    en += dxBarWeekDayLetter(day, kEnUs);
    de += dxBarWeekDayLetter(day, kDeDe);
  }
  EXPECT_EQ(en, "SMTWTFS");
  EXPECT_EQ(de, "SMDMDFS");
  // The columns start at the locale's first day: Sunday in en-US, Monday
  // in de-DE and sv-SE.
  EXPECT_EQ(dxBarLocaleFirstWeekDay(kEnUs), 0);
  EXPECT_EQ(dxBarLocaleFirstWeekDay(kDeDe), 1);
  EXPECT_EQ(dxBarLocaleFirstWeekDay(kSvSe), 1);
}

TEST(BarsDateNavigatorGeometry, MeasuresAndRectanglesFollowTheFont) {
  // "0" 7 x 13 pixels, an 8-point font, "Today" 30 and "Clear" 28 wide.
  TdxBarNavigatorMetrics m = dxBarNavigatorMetrics(TSize(7, 13), 8, true, 30, 28);
  EXPECT_EQ(m.ColumnWidth, 21);
  EXPECT_EQ(m.SideWidth, 14);
  EXPECT_EQ(m.RowHeight, 15);
  EXPECT_EQ(m.HeaderHeight, 18);
  EXPECT_EQ(m.DaysOfWeekHeight, 16);
  EXPECT_EQ(m.TodayButtonWidth, 51);
  EXPECT_EQ(m.ClearButtonWidth, 49);
  EXPECT_EQ(m.ButtonsTop, 4);
  EXPECT_EQ(m.ButtonsHeight, 20);
  EXPECT_EQ(m.ButtonsAreaHeight, 30);
  EXPECT_EQ(dxBarNavigatorMetrics(TSize(7, 13), 8, false, 30, 28).HeaderHeight, 17);
  // 9 points: 45 / 2 rounds up.
  EXPECT_EQ(dxBarNavigatorMetrics(TSize(7, 13), 9, true, 30, 28).ButtonsHeight, 23);

  struct { TSize frame; bool flat, buttons; TSize size; } sizes[] = {
      {TSize(2, 2), true, true, TSize(2 + 28 + 147, 2 + 18 + 16 + 90 + 1 + 30)},
      {TSize(2, 2), true, false, TSize(177, 127)},
      {TSize(4, 4), false, false, TSize(179, 130)},
  };
  for (auto& c : sizes) {
    TSize s = dxBarNavigatorSize(m, c.frame, c.flat, c.buttons);
    EXPECT_EQ(s.cx, c.size.cx);
    EXPECT_EQ(s.cy, c.size.cy);
  }

  TSize client(175, 155);
  TdxBarNavigatorLayout l = dxBarNavigatorLayout(m, client, csFlat, true, true);
  EXPECT_EQ(l.Header, TRect(0, 0, 175, 18));
  EXPECT_EQ(l.Inner, TRect(0, 18, 175, 18 + 16 + 90 + 1));
  EXPECT_EQ(l.LeftArrow, TRect(1, 1, 20, 17));
  EXPECT_EQ(l.RightArrow, TRect(154, 1, 174, 17));
  EXPECT_EQ(l.MonthName, TRect(21, 1, 154, 17));
  EXPECT_EQ(l.Grid, TRect(14, 34, 161, 124));
  // (175 - 51 - 49) div 3 = 25 on each side and between.
  EXPECT_EQ(l.TodayButton, TRect(25, 129, 76, 149));
  EXPECT_EQ(l.ClearButton, TRect(101, 129, 150, 149));
  TdxBarNavigatorLayout only = dxBarNavigatorLayout(m, client, csFlat, true, false);
  EXPECT_EQ(only.TodayButton.left, (175 - 51) / 2);
  EXPECT_TRUE(only.ClearButton.Empty());
  // cs3D: the header's rightmost column and the line below it.
  TdxBarNavigatorLayout l3 = dxBarNavigatorLayout(m, client, cs3D, false, false);
  EXPECT_EQ(l3.Inner.top, 19);
  EXPECT_EQ(l3.RightArrow.right, 173);
  EXPECT_TRUE(l3.TodayButton.Empty());

  // Every cell of the grid is a day; off it none.
  double first = EncodeDate(2024, 8, 25);
  struct { TPoint p; double date; } at[] = {
      {TPoint(14, 34), first},           {TPoint(34, 48), first},          {TPoint(35, 34), first + 1},
      {TPoint(160, 123), first + 41},    {TPoint(14, 49), first + 7},      {TPoint(13, 40), dxBarNoDate},
      {TPoint(161, 40), dxBarNoDate},    {TPoint(50, 33), dxBarNoDate},    {TPoint(50, 124), dxBarNoDate},
      {TPoint(-1, 40), dxBarNoDate},     {TPoint(50, 500), dxBarNoDate},
  };
  for (auto& c : at) EXPECT_EQ(dxBarNavigatorDateAt(m, l, client, first, c.p), c.date) << c.p.x << "," << c.p.y;
}

TEST(BarsDateNavigatorGeometry, TheDialogPutsItsButtonsBesideTheNavigator) {
  TdxBarNavigatorMetrics m = dxBarNavigatorMetrics(TSize(7, 13), 8, false, 30, 28);
  // bw = 51 x 3 / 2 = 77 (76.5 rounded), bh = 20 x 7 / 6 = 23, m = 5.
  TdxBarDateDialogLayout l = dxBarDateDialogLayout(m, TSize(179, 160), 21, true, true);
  EXPECT_EQ(l.Client.cx, 179 + 5 + 5 + 77 + 5);
  EXPECT_EQ(l.Client.cy, 21 + 5 + 5 + 160 + 5);
  EXPECT_EQ(l.Edit, TRect(5, 5, 184, 26));
  EXPECT_EQ(l.Navigator, TRect(5, 31, 184, 191));
  EXPECT_EQ(l.Ok, TRect(189, 5, 266, 28));
  EXPECT_EQ(l.Cancel, TRect(189, 33, 266, 56));
  EXPECT_EQ(l.Clear, TRect(189, 168, 266, 191));
  EXPECT_EQ(l.Today, TRect(189, 140, 266, 163));
  TdxBarDateDialogLayout none = dxBarDateDialogLayout(m, TSize(179, 160), 21, false, false);
  EXPECT_TRUE(none.Today.Empty());
  EXPECT_TRUE(none.Clear.Empty());
  EXPECT_EQ(none.Ok, l.Ok);
}

TEST(BarsDateCombo, TheTextIsAlwaysADatesAndTodayComesFromTheSystem) {
  TScopedBarSystem sys;
  sys.System.TodayDate = EncodeDate(2024, 3, 5);
  TBarsForm* form = new TBarsForm;
  auto* combo = new TdxBarDateCombo(form);
  int changes = 0;
  combo->OnChange = [&](TObject*) { ++changes; };
  EXPECT_EQ(combo->Text(), "Tue 3/5/2024");
  EXPECT_EQ(combo->Date(), EncodeDate(2024, 3, 5));
  EXPECT_TRUE(combo->ShowTodayButton());
  EXPECT_TRUE(combo->ShowClearButton());
  EXPECT_FALSE(combo->Glyph()->Empty());
  struct { const char* set; const char* text; } texts[] = {
      {"12/31/2024", "Tue 12/31/2024"}, {"Wed 1/1/2025", "Wed 1/1/2025"}, {"5 3 2024", "Fri 5/3/2024"},
      {"xyz", ""},                      {"1/1/1500", ""},                 {"Mon 3/4/2024", "Mon 3/4/2024"},
  };
  for (auto& c : texts) {
    combo->SetText(c.set);
    EXPECT_EQ(combo->Text(), c.text) << c.set;
  }
  EXPECT_EQ(changes, 5);
  combo->SetDate(dxBarNoDate);
  EXPECT_EQ(combo->Text(), "");
  EXPECT_EQ(combo->Date(), dxBarNoDate);
  // The navigator's month follows the selection.
  TdxBarDateNavigator* nav = combo->DateNavigator();
  ASSERT_NE(nav, nullptr);
  EXPECT_EQ(nav->FirstDate(), EncodeDate(2024, 3, 1));
  nav->SetSelStart(EncodeDate(2024, 5, 20));
  EXPECT_EQ(nav->FirstDate(), EncodeDate(2024, 5, 1));
  EXPECT_EQ(nav->GetSelStart(), EncodeDate(2024, 5, 20));
  EXPECT_EQ(nav->GetSelFinish(), EncodeDate(2024, 5, 20));
  // The arrows stop at the months a text can show.
  nav->SetFirstDate(EncodeDate(1601, 1, 15));
  EXPECT_EQ(nav->FirstDate(), EncodeDate(1601, 1, 1));
  nav->StepToPast();
  EXPECT_EQ(nav->FirstDate(), EncodeDate(1601, 1, 1));
  nav->SetFirstDate(EncodeDate(9999, 12, 31));
  nav->StepToFuture();
  EXPECT_EQ(nav->FirstDate(), EncodeDate(9999, 12, 1));
  nav->StepToPast();
  EXPECT_EQ(nav->FirstDate(), EncodeDate(9999, 11, 1));
  form->Free();
}
