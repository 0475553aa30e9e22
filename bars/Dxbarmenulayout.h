// The arithmetic of the menu windows and of toolbar input over plain
// records: how a menu lays out its rows, scrolls and measures itself, where
// it opens beside its opener inside the work area, which part of a toolbar
// window a point hits, and how floating bars come back into the work area.
// The windows fill the records and apply the results; nothing here touches
// a window.
#pragma once

#include <vector>

#include "Dxbar.h"

// One visible link of a menu, as its control measures it.
struct TdxBarMenuRow {
  int Width = 0;          // GetRealWidth
  int Height = 0;         // GetRealHeight
  bool BeginGroup = false;
  int RecentIndex = 0;    // the link's place in the recent list
  // Written by the layout.
  TRect Rect;             // empty when not laid out
  bool Rare = false;      // a rarely used entry (shown on the light brush)
  bool RunStart = false;  // the first of a run of rare or of recent entries
  bool GroupGap = false;  // the begin-group gap lies above it
};

class TdxBarMenuLayout {
 public:
  bool Flat = false;
  int BarSize = 0;              // the side bar's width
  bool DetachCaption = false;   // the menu has a detach caption
  int TextSize = 0;
  int BeginGroupSize() const { return Flat ? 5 : 10; }
  bool MarkShows = false;       // the expand mark row is there
  int ClientWidth = 0, ClientHeight = 0;
  int TopIndex = 0;
  bool Extended = false;        // rare entries are told apart
  int MostRecent = -1;          // recent entries: RecentIndex below it
  std::vector<TdxBarMenuRow> Rows;

  // Lays the rows out from TopIndex; measuring: with no height limit, and
  // the size the menu's client area needs is returned.
  TPoint Calc(bool measure);
  // Rows laid out from TopIndex by the last Calc.
  int MaxVisibleCount() const { return laidOut_; }
  bool UpArrowExists() const { return TopIndex >= 1; }
  bool DownArrowExists() const { return static_cast<int>(Rows.size()) - TopIndex > laidOut_; }
  // Rows shown whole: the laid-out ones less those under the arrows.
  int VisibleCount() const { return laidOut_ - (UpArrowExists() ? 1 : 0) - (DownArrowExists() ? 1 : 0); }
  // Client rectangles of the scroll arrows (empty when none).
  TRect UpArrowRect() const;
  TRect DownArrowRect() const;
  int RowLeft() const { return BarSize + (Flat ? 1 : 2); }
  int RowRight() const { return ClientWidth - (Flat ? 1 : 2); }
  int FirstTop() const { return Flat ? 1 : (DetachCaption ? 0 : 2); }

 private:
  int laidOut_ = 0;
};

// Where a menu of size w x h asked for at (left, top) opens: a flip to the
// other side of its opener happens only towards more room; without room
// it is pushed in, and one taller than the work area is cut (it scrolls).
struct TdxBarMenuPlacement {
  TRect Bounds;
  bool FlippedH = false, FlippedV = false;
};
TdxBarMenuPlacement dxBarPlaceMenu(int left, int top, int w, int h, int ownerWidth, int ownerHeight,
                                   int horzDirection, int vertDirection, const TRect& workArea);

// What a toolbar window knows of a point for WM_NCHITTEST.
struct TdxBarHitTestInput {
  bool Floating = false;
  int Inherited = HTNOWHERE;  // the default window procedure's answer
  TdxBarManagerStyle Style = bmsEnhanced;
  bool Customizing = false;
  bool InClient = false;       // the point lies in the client area
  bool OverMark = false;       // on the More Buttons mark (and it exists)
  bool OverClose = false;      // on the caption's close button (and the bar may close)
  bool OverWantMouseItem = false;
  bool OverMDIButton = false;
  bool InSizeGrip = false;
  int FromTop = 0, FromBottom = 0;  // distance to the window's top and bottom edges
  int BorderSizeY = 0;
};
struct TdxBarHitTest {
  int Result = HTNOWHERE;  // what the window answers
  int Last = 0;            // what it remembers for its own mouse handling
};
TdxBarHitTest dxBarToolbarHitTest(const TdxBarHitTestInput& in);

// A floating bar's rectangle moved into the work area: bottom, top, right,
// then left, so top and left win for a bar larger than the area.
TRect dxBarMoveIntoWorkArea(TRect r, const TRect& workArea);
