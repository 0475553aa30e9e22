// The menu and input arithmetic over plain records: where a menu opens,
// how it lays out and scrolls, what a toolbar point hits, and how floating
// bars come back into the work area.
#include "Barstest.h"

namespace {

const TRect kArea(0, 0, 1280, 1000);

}  // namespace

TEST(BarsMenuPlacement, FlipsOnlyTowardsMoreRoomElsePushesIn) {
  const struct {
    const char* Name;
    int Left, Top, W, H, OwnerWidth, OwnerHeight, Horz, Vert;
    TRect Want;
    bool FlippedH, FlippedV;
  } cases[] = {
      // A submenu past the right edge opens left of its parent entry...
      {"right, more room left", 1200, 100, 150, 80, 100, 0, 1, 1, Bounds(950, 100, 150, 80), true, false},
      // ...unless there is less room there: pushed left to fit.
      {"right, less room left", 200, 100, 1200, 80, 150, 0, 1, 1, Bounds(80, 100, 1200, 80), false, false},
      {"popup past the right edge", 1250, 100, 150, 80, 0, 0, 1, 1, Bounds(1130, 100, 150, 80), false, false},
      {"popup left of the area", -20, 100, 150, 80, 0, 0, 1, 1, Bounds(0, 100, 150, 80), false, false},
      // Opening leftwards, a submenu flips right when there is more room.
      {"left, leftwards, flips", -50, 100, 100, 80, 80, 0, 0, 1, Bounds(130, 100, 100, 80), true, false},
      {"left, rightwards, pushed", -50, 100, 100, 80, 80, 0, 1, 1, Bounds(0, 100, 100, 80), false, false},
      // Below a toolbar button near the bottom: above the button when the
      // room is greater there, else cut at the bottom (it scrolls).
      {"bottom, flips up", 100, 900, 150, 300, 0, 22, 1, 1, Bounds(100, 578, 150, 300), false, true},
      {"bottom, cut", 100, 100, 150, 950, 0, 22, 1, 1, Bounds(100, 100, 150, 900), false, false},
      // A popup at a point near the bottom opens upward from the point when
      // it fits there.
      {"popup near the bottom", 100, 950, 150, 200, 0, 0, 1, 1, Bounds(100, 750, 150, 200), false, true},
      // Taller than the work area: cut to it.
      {"popup taller than the area", 100, 500, 150, 1200, 0, 0, 1, 1, Bounds(100, 0, 150, 1000), false, false},
      {"submenu near the bottom", 100, 900, 150, 300, 100, 0, 1, 1, Bounds(100, 700, 150, 300), false, false},
      {"flipped up past the top", 100, 700, 150, 900, 0, 22, 1, 1, Bounds(100, 0, 150, 678), false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TdxBarMenuPlacement p = dxBarPlaceMenu(c.Left, c.Top, c.W, c.H, c.OwnerWidth, c.OwnerHeight, c.Horz, c.Vert, kArea);
    EXPECT_EQ(p.Bounds, c.Want);
    EXPECT_EQ(p.FlippedH, c.FlippedH);
    EXPECT_EQ(p.FlippedV, c.FlippedV);
  }
}

namespace {

TdxBarMenuLayout Rows(int count, int height, bool flat = false) {
  TdxBarMenuLayout l;
  l.Flat = flat;
  l.TextSize = 19;
  for (int i = 0; i < count; ++i) {
    TdxBarMenuRow row;
    row.Width = 60 + i;
    row.Height = height;
    row.RecentIndex = i;
    l.Rows.push_back(row);
  }
  return l;
}

}  // namespace

TEST(BarsMenuLayout, AnEmptyMenuIsAHundredWideAndOneTextRowHigh) {
  for (bool flat : {false, true}) {
    SCOPED_TRACE(flat ? "flat" : "standard");
    TdxBarMenuLayout l = Rows(0, 19, flat);
    TPoint size = l.Calc(true);
    EXPECT_EQ(size.x, 100);
    // Frame and border around one text row.
    EXPECT_EQ(size.y, flat ? 1 + 19 + 1 + 2 : 2 + 19 + 1 + 3);
  }
}

TEST(BarsMenuLayout, RowsGroupGapsAndTheSideBar) {
  TdxBarMenuLayout l = Rows(4, 19);
  l.BarSize = 20;
  l.Rows[2].BeginGroup = true;
  l.Rows[0].BeginGroup = true;  // the first row has no gap
  TPoint size = l.Calc(true);
  EXPECT_EQ(size.x, 63 + 20 + 6);
  EXPECT_EQ(size.y, 2 + 19 + 19 + 10 + 19 + 19 + 1 + 3);
  l.ClientWidth = size.x;
  l.ClientHeight = size.y;
  l.Calc(false);
  EXPECT_EQ(l.Rows[0].Rect, TRect(22, 2, size.x - 2, 21));
  EXPECT_EQ(l.Rows[1].Rect.top, 21);
  EXPECT_TRUE(l.Rows[2].GroupGap);
  EXPECT_EQ(l.Rows[2].Rect.top, 50);
  EXPECT_FALSE(l.Rows[0].GroupGap);
  EXPECT_FALSE(l.UpArrowExists() || l.DownArrowExists());
  // The flat style: a 5-pixel gap and a thinner frame.
  TdxBarMenuLayout f = Rows(4, 21, true);
  f.Rows[2].BeginGroup = true;
  EXPECT_EQ(f.Calc(true), TPoint(63 + 4, 1 + 4 * 21 + 5 + 1 + 2));
}

TEST(BarsMenuLayout, AShortMenuScrollsWithArrowsInPlaceOfRows) {
  TdxBarMenuLayout l = Rows(50, 19);
  l.ClientWidth = 120;
  l.ClientHeight = 200;
  l.Calc(false);
  // Rows end at 21 + 19 k; the limit is the client height less 2.
  EXPECT_EQ(l.MaxVisibleCount(), 10);
  EXPECT_FALSE(l.UpArrowExists());
  EXPECT_TRUE(l.DownArrowExists());
  EXPECT_EQ(l.VisibleCount(), 9);
  EXPECT_EQ(l.DownArrowRect(), TRect(2, 173, 118, 198));
  EXPECT_TRUE(l.Rows[10].Rect.Empty());
  l.TopIndex = 5;
  l.Calc(false);
  EXPECT_TRUE(l.UpArrowExists());
  EXPECT_EQ(l.UpArrowRect(), l.Rows[5].Rect);
  EXPECT_EQ(l.VisibleCount(), 8);
  EXPECT_TRUE(l.Rows[4].Rect.Empty());
  // At the end no down arrow is left.
  l.TopIndex = 41;
  l.Calc(false);
  EXPECT_FALSE(l.DownArrowExists());
  EXPECT_EQ(l.MaxVisibleCount(), 9);
  // With the expand mark its row is kept free at the bottom.
  l.TopIndex = 0;
  l.MarkShows = true;
  l.Calc(false);
  EXPECT_EQ(l.MaxVisibleCount(), 9);
}

TEST(BarsMenuLayout, RareEntriesStartRunsOnePixelLower) {
  TdxBarMenuLayout l = Rows(4, 19);
  l.Extended = true;
  l.MostRecent = 2;
  l.Rows[1].RecentIndex = 3;
  l.Rows[2].RecentIndex = 1;
  l.Rows[3].RecentIndex = 4;
  TPoint size = l.Calc(true);
  std::vector<bool> rare, runs;
  for (const auto& r : l.Rows) {
    rare.push_back(r.Rare);
    runs.push_back(r.RunStart);
  }
  EXPECT_EQ(rare, std::vector<bool>({false, true, false, true}));
  EXPECT_EQ(runs, std::vector<bool>({false, true, true, true}));
  EXPECT_EQ(l.Rows[1].Rect.top, 2 + 19 + 1);
  EXPECT_EQ(size.y, 2 + 4 * 19 + 3 + 1 + 3);
  // Not extended: no entry is told apart.
  l.Extended = false;
  l.Calc(true);
  for (const auto& r : l.Rows) EXPECT_FALSE(r.Rare || r.RunStart);
}

TEST(BarsToolbarHitTest, WhatEachPartOfABarAnswers) {
  auto floating = [](int inherited) {
    TdxBarHitTestInput in;
    in.Floating = true;
    in.Inherited = inherited;
    in.BorderSizeY = 4;
    in.FromTop = in.FromBottom = 50;
    return in;
  };
  auto docked = [](int inherited) {
    TdxBarHitTestInput in;
    in.Inherited = inherited;
    return in;
  };
  struct TCase {
    const char* Name;
    TdxBarHitTestInput In;
    int Result, Last;
  };
  std::vector<TCase> cases;
  // The floating caption: the mark and the close button are the window's
  // own; the rest drags the bar.
  TdxBarHitTestInput in = floating(HTNOWHERE);
  cases.push_back({"caption", in, HTCLIENT, HTCAPTION});
  in.OverMark = true;
  cases.push_back({"caption mark", in, HTCLIENT, HTCLIENT});
  in.Customizing = true;
  cases.push_back({"caption mark customizing", in, HTCLIENT, HTCAPTION});
  in = floating(HTNOWHERE);
  in.OverClose = true;
  cases.push_back({"close, enhanced", in, HTCLOSE, HTCLIENT});
  in.Style = bmsStandard;
  cases.push_back({"close, standard", in, HTCLOSE, HTCLIENT});
  in.Style = bmsFlat;
  cases.push_back({"close, flat", in, HTCLIENT, HTCLOSE});
  in = floating(HTCLIENT);
  cases.push_back({"empty client space", in, HTCLIENT, HTCAPTION});
  in.OverWantMouseItem = true;
  cases.push_back({"item", in, HTCLIENT, HTCLIENT});
  in = floating(HTCLIENT);
  in.OverMDIButton = true;
  cases.push_back({"MDI button", in, HTCLIENT, HTCLIENT});
  // Corners size along one axis only.
  in = floating(HTTOPLEFT);
  in.FromTop = 2;
  cases.push_back({"top-left near the top", in, HTTOP, HTTOP});
  in.FromTop = 6;
  cases.push_back({"top-left below", in, HTLEFT, HTLEFT});
  in = floating(HTTOPRIGHT);
  cases.push_back({"top-right below", in, HTRIGHT, HTRIGHT});
  in = floating(HTBOTTOMRIGHT);
  in.FromBottom = 3;
  cases.push_back({"bottom-right near the bottom", in, HTBOTTOM, HTBOTTOM});
  in.FromBottom = 4;
  cases.push_back({"bottom-right above", in, HTRIGHT, HTRIGHT});
  in = floating(HTBOTTOMLEFT);
  cases.push_back({"bottom-left above", in, HTLEFT, HTLEFT});
  in = floating(HTRIGHT);
  cases.push_back({"right edge", in, HTRIGHT, HTRIGHT});
  // Docked: the gripper and empty space drag; items, the mark (not in the
  // standard style) and MDI buttons are the window's; the size grip sizes.
  in = docked(HTNOWHERE);
  cases.push_back({"gripper", in, HTCLIENT, HTCAPTION});
  in = docked(HTCLIENT);
  in.InClient = true;
  cases.push_back({"docked empty space", in, HTCLIENT, HTCAPTION});
  in.OverWantMouseItem = true;
  cases.push_back({"docked item", in, HTCLIENT, HTCLIENT});
  in = docked(HTCLIENT);
  in.InClient = in.OverMark = true;
  cases.push_back({"docked mark", in, HTCLIENT, HTCLIENT});
  in.Style = bmsStandard;
  cases.push_back({"docked mark, standard", in, HTCLIENT, HTCAPTION});
  in = docked(HTCLIENT);
  in.InClient = in.OverMDIButton = true;
  cases.push_back({"docked MDI button", in, HTCLIENT, HTCLIENT});
  in = docked(HTNOWHERE);
  in.InSizeGrip = true;
  cases.push_back({"size grip", in, HTBOTTOMRIGHT, HTBOTTOMRIGHT});
  in = docked(HTBORDER);
  cases.push_back({"docked other code", in, HTCLIENT, HTBORDER});
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TdxBarHitTest t = dxBarToolbarHitTest(c.In);
    EXPECT_EQ(t.Result, c.Result);
    EXPECT_EQ(t.Last, c.Last);
  }
}

TEST(BarsFloatingBars, ComeBackIntoTheWorkAreaTopLeftFirst) {
  const struct {
    const char* Name;
    TRect In, Want;
  } cases[] = {
      {"inside", Bounds(100, 100, 200, 50), Bounds(100, 100, 200, 50)},
      {"past the bottom right", Bounds(1200, 980, 200, 50), Bounds(1080, 950, 200, 50)},
      {"above and left", Bounds(-300, -40, 200, 50), Bounds(0, 0, 200, 50)},
      // Larger than the work area: its top-left corner stays visible.
      {"larger", Bounds(-10, -10, 1400, 1100), Bounds(0, 0, 1400, 1100)},
      {"larger, off the bottom right", Bounds(500, 600, 1400, 1100), Bounds(0, 0, 1400, 1100)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(dxBarMoveIntoWorkArea(c.In, kArea), c.Want);
  }
}
