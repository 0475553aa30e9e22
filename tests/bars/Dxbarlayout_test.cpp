// The layout of toolbars and dock rows over plain records: placing and
// wrapping items, extents, sizes with recent items, track sizes, resize
// snapping, the work-area clamp, mark and MDI button rectangles, the dock
// zones and the row layout.
#include <gtest/gtest.h>

#include "bars/Dxbarlayout.h"

namespace {

TdxBarLayoutItem Item(int w, int h, bool group = false, TdxBarItemAlign align = iaLeft, int minWidth = 1) {
  TdxBarLayoutItem i;
  i.Width = w;
  i.Height = h;
  i.BeginGroup = group;
  i.Align = align;
  i.MinWidth = minWidth;
  return i;
}

std::vector<TdxBarLayoutItem> Buttons(int n) { return std::vector<TdxBarLayoutItem>(static_cast<size_t>(n), Item(23, 22)); }

TdxBarLayout Layout(TdxBarDockingStyle style, int cw, int ch, std::vector<TdxBarLayoutItem> items,
                    TdxBarManagerStyle managerStyle = bmsEnhanced) {
  TdxBarLayout l;
  l.DockingStyle = style;
  l.Style = managerStyle;
  l.ClientWidth = cw;
  l.ClientHeight = ch;
  l.Items = std::move(items);
  return l;
}

std::string Rects(const TdxBarLayout& l) {
  std::string s;
  for (const TdxBarLayoutItem& i : l.Items) {
    if (!s.empty()) s += " ";
    if (i.Rect.Empty() && i.Rect.left == 0 && i.Rect.right == 0)
      s += "-";
    else
      s += "(" + std::to_string(i.Rect.left) + "," + std::to_string(i.Rect.top) + "," + std::to_string(i.Rect.right) +
           "," + std::to_string(i.Rect.bottom) + ")";
  }
  return s;
}

}  // namespace

TEST(BarsLayout, PlacingTheItems) {
  struct TCase {
    const char* Name;
    TdxBarLayout L;
    const char* Want;
  } cases[] = {
      {"one line, room kept for the mark", Layout(dsTop, 100, 22, Buttons(3)), "(0,0,23,22) (23,0,46,22) (46,0,69,22)"},
      {"a narrow line hides the rest", Layout(dsTop, 60, 22, Buttons(4)), "(0,0,23,22) (23,0,46,22) - -"},
      {"no mark in the standard style without hidden items", Layout(dsTop, 69, 22, Buttons(4), bmsStandard),
       "(0,0,23,22) (23,0,46,22) (46,0,69,22) -"},
      {"a group gap", Layout(dsTop, 100, 22, {Item(23, 22), Item(23, 22, true)}), "(0,0,23,22) (29,0,52,22)"},
      {"vertical: centred across", Layout(dsLeft, 30, 100, {Item(23, 22), Item(15, 22)}), "(3,0,26,22) (7,22,22,44)"},
      {"iaRight", Layout(dsTop, 200, 22, {Item(23, 22), Item(23, 22, false, iaRight)}), "(0,0,23,22) (166,0,189,22)"},
      {"iaCenter", Layout(dsTop, 200, 22, {Item(23, 22), Item(23, 22, false, iaCenter)}), "(0,0,23,22) (94,0,117,22)"},
      {"iaClient stretches to the end", Layout(dsTop, 200, 22, {Item(23, 22), Item(40, 22, false, iaClient, 40)}),
       "(0,0,23,22) (23,0,189,22)"},
      {"iaClient never below its minimum",
       Layout(dsLeft, 30, 71, {Item(23, 22), Item(23, 20, false, iaClient, 40)}), "(3,0,26,22) (3,22,26,62)"},
      {"vertical lines fill from the right", [] {
         TdxBarLayout l = Layout(dsLeft, 60, 50, Buttons(2));
         l.MultiLineBar = true;
         return l;
       }(),
       "(37,0,60,22) (14,0,37,22)"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.Name);
    c.L.CalcControlsPositions();
    EXPECT_EQ(Rects(c.L), c.Want);
  }
  // MDI buttons take their room at the end of a single line.
  TdxBarLayout mdi = Layout(dsTop, 100, 22, Buttons(4));
  mdi.MDIButtonsOnBar = true;
  mdi.MDIButtonWidth = 16;
  mdi.CalcControlsPositions();
  EXPECT_EQ(Rects(mdi), "(0,0,23,22) (23,0,46,22) (46,0,69,22) -");
  // A client-aligned item before the last hides what follows.
  TdxBarLayout client = Layout(dsTop, 200, 22, {Item(40, 22, false, iaClient, 40), Item(23, 22)});
  client.CalcControlsPositions();
  EXPECT_TRUE(client.HasHiddenItems);
}

TEST(BarsLayout, WrappedLinesAreCentredAcross) {
  TdxBarLayout l = Layout(dsNone, 50, 60, {Item(23, 22), Item(23, 30), Item(23, 22)});
  l.Items[2].LineBreak = true;
  l.CalcControlsPositions();
  EXPECT_EQ(Rects(l), "(0,4,23,26) (23,0,46,30) (0,30,23,52)");
  EXPECT_EQ(l.Items[0].LineCross, 30);
  EXPECT_EQ(l.Items[2].LineCross, 22);
  EXPECT_TRUE(l.Items[1].LastInLine);
  EXPECT_TRUE(l.Items[2].LastInLine);
  EXPECT_FALSE(l.Items[0].LastInLine);
}

TEST(BarsLayout, LineBreaking) {
  // A group that overflows starts the next line as a whole.
  TdxBarLayout g = Layout(dsNone, 80, 60, {Item(23, 22), Item(23, 22), Item(23, 22, true), Item(23, 22)});
  TPoint size(0, 0);
  g.GetMultiLineBarSize(dsNone, 80, size);
  EXPECT_EQ(size.x, 46);
  EXPECT_EQ(size.y, 22 + 6 + 22);
  EXPECT_TRUE(g.Items[2].LineBreak);
  EXPECT_FALSE(g.Items[3].LineBreak);
  EXPECT_EQ(Rects(g), "(0,0,23,22) (23,0,46,22) (0,28,23,50) (23,28,46,50)");

  // A line that broke inside a group ends at the next group start.
  TdxBarLayout f = Layout(dsNone, 60, 90, {Item(23, 22), Item(23, 22), Item(23, 22), Item(23, 22, true), Item(23, 22)});
  size = TPoint(0, 0);
  f.GetMultiLineBarSize(dsNone, 60, size);
  EXPECT_EQ(size.y, 22 + 22 + 6 + 22);
  EXPECT_TRUE(f.Items[2].LineBreak);
  EXPECT_TRUE(f.Items[3].LineBreak);
  EXPECT_FALSE(f.Items[4].LineBreak);

  // An item wider than the limit gets a line of its own and widens the bar.
  TdxBarLayout w = Layout(dsNone, 50, 90, {Item(23, 22), Item(100, 22), Item(23, 22)});
  size = TPoint(0, 0);
  w.GetMultiLineBarSize(dsNone, 50, size);
  EXPECT_EQ(size.x, 100);
  EXPECT_EQ(size.y, 66);
}

TEST(BarsLayout, MinimalAndMaximalExtents) {
  auto items = std::vector<TdxBarLayoutItem>{Item(30, 22), Item(23, 22, true), Item(23, 26)};
  TdxBarLayout l = Layout(dsTop, 100, 30, items);
  EXPECT_EQ(l.GetMinWidth(dsTop), 30 + 11);
  EXPECT_EQ(l.GetMinWidth(dsLeft), 30);
  EXPECT_EQ(l.GetMaxWidth(dsTop), 30 + 6 + 23 + 23 + 11);
  EXPECT_EQ(l.GetMaxWidth(dsLeft), 30);
  EXPECT_EQ(l.GetMinHeight(dsLeft), 22 + 11);
  EXPECT_EQ(l.GetMinHeight(dsTop), 26);
  EXPECT_EQ(l.GetMaxHeight(dsLeft), 22 + 6 + 22 + 26 + 11);
  EXPECT_EQ(l.GetMaxHeight(dsTop), 26);
  // With recent items the most recent one is the minimum.
  TdxBarLayout r = l;
  r.CanUseRecentItems = true;
  r.Items[0].RecentRank = 2;
  r.Items[1].RecentRank = 0;
  r.Items[2].RecentRank = 1;
  EXPECT_EQ(r.GetMinWidth(dsTop), 23 + 11);
  EXPECT_EQ(r.RecentItemCount, -1);
  // MDI buttons count; no item gives the manager's button size.
  TdxBarLayout m = l;
  m.MDIButtonsOnBar = true;
  m.MDIButtonWidth = 16;
  EXPECT_EQ(m.GetMinWidth(dsTop), 30 + 16 + 11);
  EXPECT_EQ(m.GetMaxWidth(dsTop), 82 + 16 + 11);
  TdxBarLayout none = Layout(dsTop, 100, 30, {});
  EXPECT_EQ(none.GetMinWidth(dsTop), 23 + 11);
  EXPECT_EQ(none.GetMinHeight(dsTop), 22);
}

TEST(BarsLayout, SizeForAWidthShowsTheRecentItemsThatFit) {
  TdxBarLayout l = Layout(dsTop, 100, 22, Buttons(4));
  l.CanUseRecentItems = true;
  int ranks[] = {3, 0, 2, 1};
  for (int i = 0; i < 4; ++i) l.Items[static_cast<size_t>(i)].RecentRank = ranks[i];
  TPoint s = l.GetSizeForWidth(dsTop, 80);
  EXPECT_EQ(s.x, 80);
  EXPECT_EQ(s.y, 22);
  EXPECT_EQ(l.RecentItemCount, 3);
  EXPECT_FALSE(l.Items[0].Visible);
  EXPECT_TRUE(l.Items[1].Visible && l.Items[2].Visible && l.Items[3].Visible);
  s = l.GetSizeForWidth(dsTop, 200);
  EXPECT_EQ(s.x, 92 + 11);
  EXPECT_EQ(l.RecentItemCount, -1);
  // Without recent items: as many as fit, all of them shown.
  l.CanUseRecentItems = false;
  s = l.GetSizeForWidth(dsTop, 80);
  EXPECT_EQ(s.x, 80);
  EXPECT_EQ(l.RecentItemCount, -1);
}

TEST(BarsLayout, TrackSizesPerStyle) {
  TdxBarLayout l = Layout(dsTop, 100, 22, Buttons(3));
  TdxBarLayout::TTrack docked;
  docked.NCSizeX = 10;
  docked.NCSizeY = 4;
  docked.DockClientWidth = 500;
  docked.DockClientHeight = 300;
  TPoint s = l.GetTrackSize(dsTop, docked);
  EXPECT_EQ(s.x, 69 + 11 + 10);
  EXPECT_EQ(s.y, 26);
  docked.WholeRow = true;
  s = l.GetTrackSize(dsTop, docked);
  EXPECT_EQ(s.x, 500);
  EXPECT_EQ(s.y, 26);
  TdxBarLayout::TTrack vertical;
  vertical.NCSizeX = 4;
  vertical.NCSizeY = 10;
  s = l.GetTrackSize(dsLeft, vertical);
  EXPECT_EQ(s.x, 23 + 4);
  EXPECT_EQ(s.y, 66 + 11 + 10);
  TdxBarLayout::TTrack floating;
  floating.NCSizeX = 16;
  floating.NCSizeY = 24;
  floating.FloatClientWidth = 50;
  s = l.GetTrackSize(dsNone, floating);
  EXPECT_EQ(s.x, 46 + 16);
  EXPECT_EQ(s.y, 44 + 24);
}

TEST(BarsLayout, DragPointKeepsItsRelativePlace) {
  EXPECT_EQ(dxBarDragPointOffset(TPoint(100, 40), 30, 60, 10, 20), TPoint(50, 20));
  EXPECT_EQ(dxBarDragPointOffset(TPoint(100, 40), 30, 0, 10, 0), TPoint(0, 0));
}

TEST(BarsLayout, AFloatingBarSnapsToLaidOutSizesAlongOneAxis) {
  TdxBarLayout l = Layout(dsNone, 92, 22, Buttons(4));
  TRect current(100, 100, 100 + 92 + 16, 100 + 22 + 24);
  struct TCase {
    const char* Name;
    int Edge;
    TRect Sizing;
    TRect Want;
  } cases[] = {
      {"right edge", WMSZ_RIGHT, TRect(100, 100, 176, 146), TRect(100, 100, 162, 168)},
      {"left edge", WMSZ_LEFT, TRect(100, 100, 176, 146), TRect(114, 100, 176, 168)},
      {"bottom edge", WMSZ_BOTTOM, TRect(100, 100, 208, 174), TRect(100, 100, 139, 212)},
      {"a corner keeps the bounds", WMSZ_TOPLEFT, TRect(90, 90, 208, 146), current},
      {"the top stays at -15 or lower", WMSZ_RIGHT, TRect(100, -40, 176, 6), TRect(100, -15, 162, 53)},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(l.SnapSizing(c.Edge, c.Sizing, current, 16, 24), c.Want);
  }
}

TEST(BarsLayout, AFloatingBarOffTheWorkAreaComesBack) {
  TRect area(0, 0, 1280, 1000);
  struct TCase {
    TRect Window, Want;
  } cases[] = {
      {TRect(-300, 100, -200, 150), TRect(0, 100, 100, 150)},
      {TRect(100, -80, 200, -30), TRect(100, 0, 200, 50)},
      {TRect(1300, 100, 1400, 150), TRect(1180, 100, 1280, 150)},
      {TRect(100, 1000, 200, 1050), TRect(100, 950, 200, 1000)},
      {TRect(-50, 100, 50, 150), TRect(-50, 100, 50, 150)},
  };
  for (auto& c : cases) EXPECT_EQ(dxBarClampToWorkArea(c.Window, area), c.Want);
}

TEST(BarsLayout, MarkAndMDIButtonRectangles) {
  TdxBarLayout top = Layout(dsTop, 100, 22, {});
  EXPECT_EQ(top.MarkRect(TRect(), 0), TRect(89, 0, 100, 22));
  top.Style = bmsStandard;
  EXPECT_EQ(top.MarkRect(TRect(), 0), TRect(89, 0, 100, 9));
  TdxBarLayout left = Layout(dsLeft, 22, 100, {});
  EXPECT_EQ(left.MarkRect(TRect(), 0), TRect(0, 89, 22, 100));
  left.Style = bmsStandard;
  EXPECT_EQ(left.MarkRect(TRect(), 0), TRect(13, 89, 22, 100));
  TdxBarLayout floating = Layout(dsNone, 100, 40, {});
  EXPECT_EQ(floating.MarkRect(TRect(-4, -16, 96, -2), 14), TRect(-4, -16, 9, -2));
  floating.Style = bmsFlat;
  EXPECT_EQ(floating.MarkRect(TRect(0, -14, 100, 0), 14), TRect(71, -14, 85, 0));

  TdxBarLayout h = Layout(dsTop, 200, 22, {});
  h.MDIButtonsOnBar = h.RealMDIButtonsOnBar = true;
  h.MDIButtonWidth = 16;
  h.MDIButtonHeight = 14;
  EXPECT_EQ(h.RectMDI(mdibMinimize), TRect(139, 4, 155, 18));
  EXPECT_EQ(h.RectMDI(mdibRestore), TRect(155, 4, 171, 18));
  EXPECT_EQ(h.RectMDI(mdibClose), TRect(173, 4, 189, 18));
  // A vertical bar: worked out along its height, then turned.
  TdxBarLayout v = Layout(dsLeft, 22, 200, {});
  v.MDIButtonsOnBar = v.RealMDIButtonsOnBar = true;
  v.MDIButtonWidth = 16;
  v.MDIButtonHeight = 14;
  EXPECT_EQ(v.RectMDI(mdibMinimize), TRect(3, 145, 19, 159));
  EXPECT_EQ(v.RectMDI(mdibClose), TRect(3, 175, 19, 189));
  TdxBarLayout closeOnly = h;
  closeOnly.RealMDIButtonsOnBar = false;
  EXPECT_EQ(closeOnly.RectMDI(mdibClose), TRect(173, 4, 189, 18));
}

// ---------------------------------------------------------------- dock sites

TEST(BarsDockZones, RowsOf26PixelsOnATopSite) {
  TdxDockZones z;
  z.Style = dsTop;
  z.RowSizes = {26, 26};
  z.SiteClientSize = 52;
  struct TCase {
    int C, Row;
    bool NewRow;
  } cases[] = {{-30, 0, true}, {-15, 0, true}, {-10, 0, true}, {-9, 0, false}, {-1, 0, false}, {0, 0, false},
               {8, 0, false},  {9, 1, true},   {13, 1, true},  {14, 1, false}, {25, 1, false}, {34, 1, false},
               {35, 2, true},  {40, 2, true},  {60, 2, true}};
  for (const auto& c : cases) {
    bool newRow = false;
    EXPECT_EQ(z.GetRowAtPos(c.C, newRow), c.Row) << c.C;
    EXPECT_EQ(newRow, c.NewRow) << c.C;
  }
  struct TPos {
    int Row;
    bool NewRow;
    int C;
  } positions[] = {{0, false, 0}, {1, false, 26}, {1, true, 11}, {2, false, 52}};
  for (const auto& p : positions) {
    int c = -100;
    z.GetPosForRow(p.Row, p.NewRow, c);
    EXPECT_EQ(c, p.C) << p.Row << (p.NewRow ? " new" : "");
  }
}

TEST(BarsDockZones, ARightSiteMeasuresFromItsFarEdgeWhileDragging) {
  TdxDockZones z;
  z.Style = dsRight;
  z.RowSizes = {26, 26};
  z.SiteClientSize = 80;
  z.Dragging = true;
  EXPECT_EQ(z.GetRectForRow(0), std::make_pair(28, 54));
  struct TCase {
    int C, Row;
    bool NewRow;
  } cases[] = {{10, 0, true}, {16, 0, true}, {20, 0, false}, {30, 0, false}, {42, 1, true},
               {50, 1, false}, {60, 1, false}, {70, 2, true}, {75, 2, true}};
  for (const auto& c : cases) {
    bool newRow = false;
    EXPECT_EQ(z.GetRowAtPos(c.C, newRow), c.Row) << c.C;
    EXPECT_EQ(newRow, c.NewRow) << c.C;
  }
  z.Dragging = false;
  EXPECT_EQ(z.GetRectForRow(0), std::make_pair(0, 26));
}

TEST(BarsDockZones, ARowWithoutBarsTakesNoDrop) {
  // A gap in saved row numbers leaves an empty row of no height.
  TdxDockZones z;
  z.Style = dsTop;
  z.RowSizes = {26, 0, 26};
  z.SiteClientSize = 52;
  bool newRow = false;
  // Were it tested, its 14-pixel zones would take a drop meant for row 2.
  EXPECT_EQ(z.GetRowAtPos(28, newRow), 1);
  z.RowHasBars = {true, false, true};
  EXPECT_EQ(z.GetRowAtPos(28, newRow), 2);
  EXPECT_FALSE(newRow);
  EXPECT_EQ(z.GetRowAtPos(5, newRow), 0);
}

namespace {

TdxDockRowBar RowBar(int pos, int min, int max) {
  TdxDockRowBar b;
  b.Pos = pos;
  b.MinLength = min;
  b.MaxLength = max;
  b.MaxCross = 22;
  b.NCAcross = 4;
  b.CrossFor = [](int) { return 22; };
  return b;
}

std::string Row(const std::vector<TdxDockRowBar>& bars) {
  std::string s;
  for (const TdxDockRowBar& b : bars) {
    if (!s.empty()) s += " ";
    s += std::to_string(b.Left) + "+" + std::to_string(b.Length) + (b.HasHiddenItems ? "h" : "");
  }
  return s;
}

}  // namespace

TEST(BarsDockRows, LayingOutARow) {
  struct TCase {
    const char* Name;
    std::vector<TdxDockRowBar> Bars;
    int Length;
    const char* Want;
  } cases[] = {
      {"too long: shrunk from the right, hiding items", {RowBar(0, 40, 100), RowBar(100, 40, 100), RowBar(200, 40, 100)},
       200, "0+100 100+60h 160+40h"},
      {"enough room", {RowBar(0, 40, 100), RowBar(100, 40, 100), RowBar(200, 40, 100)}, 400, "0+100 100+100 200+100"},
      {"a bar is pushed past the one before", {RowBar(0, 40, 100), RowBar(50, 40, 100)}, 400, "0+100 100+100"},
      {"never below the minimal length", {RowBar(0, 40, 100), RowBar(100, 40, 100)}, 50, "0+40h 40+40h"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.Name);
    dxDockLayoutRow(c.Bars, c.Length, 26);
    EXPECT_EQ(Row(c.Bars), c.Want);
    for (const TdxDockRowBar& b : c.Bars) {
      EXPECT_EQ(b.Top, 26);
      EXPECT_EQ(b.Cross, 26);
    }
  }
}

TEST(BarsDockRows, WholeRowRestSpaceAndTheDraggedBar) {
  std::vector<TdxDockRowBar> whole = {RowBar(30, 50, 300)};
  whole[0].WholeRow = true;
  dxDockLayoutRow(whole, 200, 0);
  EXPECT_EQ(Row(whole), "0+200h");
  dxDockLayoutRow(whole, 400, 0);
  EXPECT_EQ(Row(whole), "0+400");

  std::vector<TdxDockRowBar> rest = {RowBar(0, 40, 50), RowBar(60, 40, 50), RowBar(200, 40, 50)};
  rest[1].UseRestSpace = true;
  dxDockLayoutRow(rest, 300, 0);
  EXPECT_EQ(Row(rest), "0+50 50+150 200+50");

  // The bar after the dragged one is pulled along with it.
  std::vector<TdxDockRowBar> dragged = {RowBar(0, 40, 100), RowBar(20, 40, 50), RowBar(150, 40, 50)};
  dragged[1].Dragged = true;
  dxDockLayoutRow(dragged, 190, 0);
  EXPECT_EQ(dragged[2].Pos, 90);
  EXPECT_EQ(Row(dragged), "0+90h 90+50 140+50");
}
