// The calendar's date arithmetic without windows: months, the grid, the
// shown month, the navigator's keys and the month list's timers.
#include <windows.h>

#include "Barstest.h"
#include "bars/extitems/Dxbardaterules.h"

TEST(BarsDateRules, MonthsAndYears) {
  EXPECT_TRUE(dxBarIsLeapYear(2024));
  EXPECT_TRUE(dxBarIsLeapYear(2000));
  EXPECT_FALSE(dxBarIsLeapYear(1900));
  EXPECT_FALSE(dxBarIsLeapYear(2023));
  EXPECT_EQ(dxBarDaysPerMonth(2024, 2), 29);
  EXPECT_EQ(dxBarDaysPerMonth(2023, 2), 28);
  EXPECT_EQ(dxBarDaysPerMonth(2023, 4), 30);
  EXPECT_EQ(dxBarDaysPerMonth(2023, 12), 31);
  EXPECT_EQ(dxBarCheckDay(2023, 2, 31), 28);
  EXPECT_EQ(dxBarCheckDay(2023, 2, 0), 1);
  struct { int y, m, n, y2, m2; } shifts[] = {
      {2024, 1, -1, 2023, 12}, {2024, 12, 1, 2025, 1}, {2024, 5, 12, 2025, 5}, {2024, 5, -12, 2023, 5},
      {2024, 12, 13, 2026, 1}, {2024, 1, -13, 2022, 12}, {2024, 1, -25, 2021, 12}, {2024, 3, 0, 2024, 3},
  };
  for (auto& c : shifts) {
    int y = c.y, m = c.m;
    dxBarShiftMonth(y, m, c.n);
    EXPECT_EQ(y, c.y2) << c.y << "-" << c.m << " by " << c.n;
    EXPECT_EQ(m, c.m2) << c.y << "-" << c.m << " by " << c.n;
  }
  int y = 2024, m = 1;
  dxBarPrevMonth(y, m);
  EXPECT_EQ(y * 100 + m, 202312);
  dxBarNextMonth(y, m);
  EXPECT_EQ(y * 100 + m, 202401);
  // A time just short of midnight by rounding still counts as the next day.
  EXPECT_EQ(dxBarDateOf(EncodeDate(2024, 3, 5) + 0.75), EncodeDate(2024, 3, 5));
  EXPECT_EQ(dxBarDateOf(EncodeDate(2024, 3, 6) - 1e-12), EncodeDate(2024, 3, 6));
  // Whole days before 1899-12-30 keep their day; their times stay in it.
  EXPECT_EQ(dxBarDateOf(EncodeDate(1700, 5, 1)), EncodeDate(1700, 5, 1));
  EXPECT_EQ(dxBarDateOf(-1.25), -1.0);
}

TEST(BarsDateRules, TheGridCoversSixWeeksFromTheFirstDay) {
  // 2024-09-01 is a Sunday.
  double sep1 = EncodeDate(2024, 9, 1);
  EXPECT_EQ(dxBarColOfDate(sep1, 0), 0);
  EXPECT_EQ(dxBarColOfDate(sep1, 1), 6);
  EXPECT_EQ(dxBarColOfDate(sep1, 6), 1);
  // A month starting in the first column shows the whole week before it.
  EXPECT_EQ(dxBarRealFirstDate(sep1, 0), sep1 - 7);
  EXPECT_EQ(dxBarRealLastDate(sep1, 0), sep1 - 7 + 41);
  EXPECT_EQ(dxBarRealFirstDate(sep1, 1), sep1 - 6);
  EXPECT_EQ(dxBarRealFirstDate(sep1, 6), sep1 - 1);
  // The shown month follows a selection off the grid only.
  EXPECT_EQ(dxBarCheckFirstDate(sep1, EncodeDate(2024, 9, 20), 0), sep1);
  EXPECT_EQ(dxBarCheckFirstDate(sep1, EncodeDate(2024, 8, 26), 0), sep1);
  EXPECT_EQ(dxBarCheckFirstDate(sep1, EncodeDate(2024, 8, 24), 0), EncodeDate(2024, 8, 1));
  EXPECT_EQ(dxBarCheckFirstDate(sep1, EncodeDate(2024, 10, 10), 0), EncodeDate(2024, 10, 1));
  EXPECT_EQ(dxBarCheckFirstDate(sep1, dxBarNoDate, 0), sep1);
}

TEST(BarsDateRules, NavigatorKeys) {
  struct { double from; unsigned key; bool ctrl; double to; } keys[] = {
      {EncodeDate(2024, 1, 31), VK_NEXT, false, EncodeDate(2024, 2, 29)},
      {EncodeDate(2023, 1, 31), VK_NEXT, false, EncodeDate(2023, 2, 28)},
      {EncodeDate(2024, 3, 31), VK_PRIOR, false, EncodeDate(2024, 2, 29)},
      {EncodeDate(2024, 9, 4), VK_LEFT, false, EncodeDate(2024, 9, 3)},
      {EncodeDate(2024, 9, 4), VK_RIGHT, false, EncodeDate(2024, 9, 5)},
      {EncodeDate(2024, 9, 4), VK_UP, false, EncodeDate(2024, 8, 28)},
      {EncodeDate(2024, 9, 4), VK_DOWN, false, EncodeDate(2024, 9, 11)},
      {EncodeDate(2024, 9, 4), VK_HOME, false, EncodeDate(2024, 9, 1)},   // a Wednesday
      {EncodeDate(2024, 9, 4), VK_END, false, EncodeDate(2024, 9, 7)},
      {EncodeDate(2024, 9, 4), VK_END, true, EncodeDate(2024, 9, 30)},
      // Ctrl+Home on a leading day of August: August 1st.
      {EncodeDate(2024, 8, 28), VK_HOME, true, EncodeDate(2024, 8, 1)},
      {EncodeDate(2024, 9, 4), 'A', false, EncodeDate(2024, 9, 4)},
      // Stepping stops at the dates a text can show.
      {EncodeDate(1601, 1, 1), VK_LEFT, false, EncodeDate(1601, 1, 1)},
      {EncodeDate(1601, 1, 15), VK_PRIOR, false, EncodeDate(1601, 1, 15)},
      {EncodeDate(9999, 12, 31), VK_DOWN, false, EncodeDate(9999, 12, 31)},
      {EncodeDate(9999, 12, 5), VK_NEXT, false, EncodeDate(9999, 12, 5)},
  };
  for (auto& c : keys) EXPECT_EQ(dxBarNavigatorKey(c.from, c.key, c.ctrl, 0), c.to) << c.from << " key " << c.key;
  // Ctrl+Home there shows July, with the selection among its trailing days.
  double aug1 = EncodeDate(2024, 8, 1);
  EXPECT_EQ(dxBarCheckFirstDate(EncodeDate(2024, 9, 1), aug1, 0), EncodeDate(2024, 7, 1));
  EXPECT_EQ(dxBarStepDate(EncodeDate(2024, 12, 31), 1), EncodeDate(2025, 1, 1));
  EXPECT_EQ(dxBarStepDate(dxBarNoDate, 1), dxBarNoDate);
  EXPECT_FALSE(dxBarDateShowable(EncodeDate(1500, 1, 1)));
}

TEST(BarsDateRules, MonthListScrollsFasterFurtherAway) {
  struct { int y, id, interval; } cases[] = {
      {0, 0, 0}, {69, 0, 0}, {-5, 4, 500}, {-11, 4, 500}, {-12, 3, 250}, {-60, 1, 50},
      {70, 6, 500}, {80, 6, 500}, {81, 7, 250}, {99, 8, 100}, {500, 9, 50},
  };
  for (auto& c : cases) {
    EXPECT_EQ(dxBarMonthListTimerId(c.y, 70), c.id) << c.y;
    EXPECT_EQ(dxBarMonthListInterval(c.id), c.interval) << c.y;
  }
}
