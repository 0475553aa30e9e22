// The arithmetic of the bar windows over plain records: how a toolbar
// places, wraps and sizes its items, where its mark and MDI buttons sit, how
// a floating bar snaps while it is resized and comes back into the work
// area, and how a dock site lays out its rows and finds the row under a
// point. The windows fill the records from their controls and apply the
// results; nothing here touches a window.
#pragma once

#include <functional>
#include <vector>

#include "Dxbar.h"

enum TdxBarMDIButton { mdibMinimize, mdibRestore, mdibClose };

// Room a toolbar keeps for its More Buttons mark along the bar.
constexpr int dxBarMarkSize = 11;
// How far outside a dock site a bar still docks, and the zone split.
constexpr int dxBarDockDistance = 23;

inline bool dxBarIsHorizontal(TdxBarDockingStyle s) { return s == dsTop || s == dsBottom; }
inline bool dxBarIsVertical(TdxBarDockingStyle s) { return s == dsLeft || s == dsRight; }

// One link that can be visible on the bar, as its control measures it.
struct TdxBarLayoutItem {
  int Width = 0;                   // GetRealWidth
  int Height = 0;                  // GetRealHeight
  int MinWidth = 1;                // GetMinWidth (a client-aligned item never gets narrower)
  bool BeginGroup = false;         // its own mark, or one of a hidden link just before it
  TdxBarItemAlign Align = iaLeft;  // GetAlign (iaLeft unless the bar lets it align)
  int RecentRank = 0;              // its place among these items in the recent-use list
  // Written by the layout.
  bool Visible = true;             // shown with the recent count in force
  bool LineBreak = false;          // begins a line (GetMultiLineBarSize)
  bool LastInLine = false;         // ends a line (CalcControlsPositions)
  TRect Rect;                      // empty when not placed
  int LineCross = 0;               // cross size of its line
};

// What a toolbar's layout reads and writes.
class TdxBarLayout {
 public:
  TdxBarDockingStyle DockingStyle = dsTop;  // of the window
  bool MultiLineBar = false;                // TdxBar::MultiLine
  TdxBarManagerStyle Style = bmsEnhanced;
  bool ShowMark = true;
  bool AllowQuickCustomizing = true;
  bool HasHiddenItems = false;
  bool MDIButtonsOnBar = false;
  bool RealMDIButtonsOnBar = false;
  int MDIButtonWidth = 0, MDIButtonHeight = 0;
  int ButtonWidth = 23, ButtonHeight = 22;  // the manager's
  int ClientWidth = 0, ClientHeight = 0;
  bool CanUseRecentItems = false;
  bool Designing = false;
  std::vector<TdxBarLayoutItem> Items;
  // The recent count in force: -1 all items, k >= 1 the first k recent.
  int RecentItemCount = -1;

  bool Horizontal() const { return dxBarIsHorizontal(DockingStyle); }
  bool Vertical() const { return dxBarIsVertical(DockingStyle); }
  bool MultiLine() const { return MultiLineFor(DockingStyle); }
  bool MultiLineFor(TdxBarDockingStyle style) const { return style == dsNone || MultiLineBar; }
  bool MarkExists() const;
  int BeginGroupSize() const { return Style == bmsFlat ? 5 : 6; }
  int GetMDIWidth() const;
  int GetMDIHeight() const;
  // Shows the first k recent items (k < 0: all); without recent items all.
  void SetRecentItemCount(int k);
  // The shown items in order, and whether each begins a group there.
  std::vector<int> VisibleIndexes() const;
  bool VisibleBeginsGroup(const std::vector<int>& visible, size_t at) const;

  void CalcControlsPositions();
  void GetMultiLineBarSize(TdxBarDockingStyle style, int length, TPoint& size);
  int GetMinWidth(TdxBarDockingStyle style);
  int GetMinHeight(TdxBarDockingStyle style);
  int GetMaxWidth(TdxBarDockingStyle style);
  int GetMaxHeight(TdxBarDockingStyle style);
  TPoint GetSizeForWidth(TdxBarDockingStyle style, int width);
  TPoint GetSizeForHeight(TdxBarDockingStyle style, int height);

  // The whole window's size for a style.
  struct TTrack {
    int NCSizeX = 0, NCSizeY = 0;            // TdxBar::BarNCSizeX/Y of the style
    int DockClientWidth = 0, DockClientHeight = 0;
    bool WholeRow = false;
    int FloatClientWidth = 0;
  };
  TPoint GetTrackSize(TdxBarDockingStyle style, const TTrack& track);

  // The mark in client coordinates; caption: the floating caption in client
  // coordinates; closeWidth: its close button's width (0 when it has none).
  TRect MarkRect(const TRect& caption, int closeWidth) const;
  // An MDI button's rectangle in client coordinates.
  TRect RectMDI(TdxBarMDIButton button) const;

  // The sizing rectangle of a floating bar dragged by an edge (WMSZ_*),
  // snapped to laid-out sizes; corners keep current. A top above -15 comes
  // down to -15.
  TRect SnapSizing(int edge, const TRect& sizing, const TRect& current, int ncSizeX, int ncSizeY);

 private:
  int FirstRecentSize(bool width);
  int GreatestItemSize(bool width) const;
  TPoint SingleLineFit(TdxBarDockingStyle style, int wanted, bool alongWidth);
  void CentreLine(const std::vector<int>& visible, size_t first, size_t last, int cross, bool vertical);
};

// Where a cursor offset lands in a window of another size: the grab point
// keeps its relative place.
TPoint dxBarDragPointOffset(TPoint trackSize, int grabX, int grabWidth, int grabY, int grabHeight);

// A floating window wholly off the work area comes back to its edge.
TRect dxBarClampToWorkArea(const TRect& window, const TRect& area);

// ---------------------------------------------------------------- dock sites

// The rows of a dock site as their sizes across the site; a row without
// bars has size 0 and takes no drop.
class TdxDockZones {
 public:
  TdxBarDockingStyle Style = dsTop;
  std::vector<int> RowSizes;
  std::vector<bool> RowHasBars;  // none: every row has bars
  int SiteClientSize = 0;        // client height (horizontal) or width (vertical)
  bool Dragging = false;         // a bar is being dragged
  int Distance = dxBarDockDistance;

  bool TopLeft() const { return Style == dsLeft || Style == dsTop; }
  int GetClientSize() const;
  // The row's band across the site: [first, second).
  std::pair<int, int> GetRectForRow(int row) const;
  // Zone 0, 1 or 2 of a row (-1: before the first, row count: after the
  // last) as [b, a).
  void GetDockZoneMargins(int row, int zone, int& a, int& b) const;
  int GetRowAtPos(int c, bool& newRow) const;
  // Moves c across the site to where a bar dropped on that row would sit.
  void GetPosForRow(int row, bool newRow, int& c) const;

 private:
  bool HasBars(int row) const;
};

// One bar of a dock row, lengths along the row and sizes across it.
struct TdxDockRowBar {
  int Pos = 0;                 // where its column asks to be along the row
  int MinLength = 0, MaxLength = 0;  // with the non-client size along
  int MaxCross = 0;            // client cross size of the whole bar (GetMaxHeight / GetMaxWidth)
  int NCAlong = 0, NCAcross = 0;
  bool MultiLine = false, WholeRow = false, UseRestSpace = false;
  bool Dragged = false;        // the bar being dragged
  // The laid-out client cross size for a client length.
  std::function<int(int clientLength)> CrossFor;
  // Written by the layout.
  bool HasHiddenItems = false;
  int Left = 0, Top = 0, Length = 0, Cross = 0;
};

// Lays out one row of bars along a site of length siteLength; origin: the
// row's offset across the site. Columns may get a new position (a bar
// pushed along by the dragged bar before it).
void dxDockLayoutRow(std::vector<TdxDockRowBar>& bars, int siteLength, int origin);
