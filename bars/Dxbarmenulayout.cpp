// Menu rows, menu placement, toolbar hit tests and the work-area check of
// floating bars, over plain records.
#include "Dxbarmenulayout.h"

#include <algorithm>
#include <climits>

// ---------------------------------------------------------------- menu rows

TPoint TdxBarMenuLayout::Calc(bool measure) {
  for (TdxBarMenuRow& row : Rows) {
    row.Rect = TRect();
    row.Rare = row.RunStart = row.GroupGap = false;
  }
  int n = static_cast<int>(Rows.size());
  if (TopIndex < 0) TopIndex = 0;
  int left = RowLeft(), right = RowRight();
  int top = FirstTop();
  int limit = measure ? INT_MAX : ClientHeight - 1 - (Flat ? 0 : 1) - (MarkShows ? TextSize : 0);
  int widest = 0;
  bool previousRare = false;
  laidOut_ = 0;
  for (int i = TopIndex; i < n; ++i) {
    TdxBarMenuRow& row = Rows[static_cast<size_t>(i)];
    bool first = i == TopIndex;
    bool rare = Extended && MostRecent >= 0 && row.RecentIndex >= MostRecent;
    bool runStart = Extended && rare != previousRare && !(first && !DetachCaption);
    int y = top;
    if (runStart && !Flat) ++y;
    bool gap = row.BeginGroup && !first && !(UpArrowExists() && i == TopIndex + 1);
    if (gap) y += BeginGroupSize();
    if (y + row.Height > limit) break;
    row.Rect = TRect(left, y, right, y + row.Height);
    row.Rare = rare;
    row.RunStart = runStart;
    row.GroupGap = gap;
    top = y + row.Height;
    widest = std::max(widest, row.Width);
    previousRare = rare;
    ++laidOut_;
  }
  if (!measure) return TPoint(ClientWidth, ClientHeight);
  TPoint size;
  size.x = laidOut_ == 0 ? 100 : widest + BarSize + (Flat ? 4 : 6);
  size.y = top + (laidOut_ == 0 || MarkShows ? TextSize : 0) + 1 + (Flat ? 2 : 3);
  return size;
}

TRect TdxBarMenuLayout::UpArrowRect() const {
  if (!UpArrowExists() || laidOut_ == 0) return TRect();
  return Rows[static_cast<size_t>(TopIndex)].Rect;
}

TRect TdxBarMenuLayout::DownArrowRect() const {
  if (!DownArrowExists() || laidOut_ == 0) return TRect();
  TRect r = Rows[static_cast<size_t>(TopIndex + laidOut_ - 1)].Rect;
  r.bottom = ClientHeight - 2 - (MarkShows ? TextSize : 0);
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

// ---------------------------------------------------------------- placement

TdxBarMenuPlacement dxBarPlaceMenu(int left, int top, int w, int h, int ownerWidth, int ownerHeight,
                                   int horzDirection, int vertDirection, const TRect& wa) {
  TdxBarMenuPlacement p;
  if (left + w > wa.right) {
    if (ownerWidth == 0) {
      left = wa.right - w;
    } else if (left - ownerWidth - wa.left > wa.right - left) {
      left = left - ownerWidth - w;
      p.FlippedH = true;
    }
  }
  if (left < wa.left) {
    if (ownerWidth == 0) {
      left = wa.left;
    } else if (horzDirection == 0 && wa.right - (left + w + ownerWidth) > left + w - wa.left) {
      left = left + w + ownerWidth;
      p.FlippedH = true;
    }
  }
  if (left + w > wa.right) left = wa.right - w;
  if (left < wa.left) left = wa.left;
  if (top + h > wa.bottom) {
    if (ownerHeight != 0) {
      if (top - ownerHeight - wa.top > wa.bottom - top) {
        top = top - ownerHeight - h;
        p.FlippedV = true;
      } else {
        h = wa.bottom - top;
      }
    } else if (ownerWidth == 0 && top - h >= wa.top) {
      top -= h;
      p.FlippedV = true;
    } else {
      top = wa.bottom - h;
    }
  }
  if (top < wa.top) {
    if (vertDirection == 1) {
      if (p.FlippedV && ownerHeight != 0) {
        h -= wa.top - top;
        top = wa.top;
      } else {
        top = wa.top;
        if (top + h > wa.bottom) h = wa.bottom - top;
      }
    } else if (ownerHeight != 0 && wa.bottom - (top + h + ownerHeight) > top + h - wa.top) {
      top = top + h + ownerHeight;
      if (top + h > wa.bottom) h = wa.bottom - top;
      p.FlippedV = true;
    }
  }
  p.Bounds = Bounds(left, top, w, h);
  return p;
}

// ---------------------------------------------------------------- toolbar hit tests

TdxBarHitTest dxBarToolbarHitTest(const TdxBarHitTestInput& in) {
  TdxBarHitTest t;
  int h = in.Inherited;
  if (in.Floating) {
    switch (h) {
      case HTNOWHERE:
        if (in.OverMark && !in.Customizing) {
          t.Last = t.Result = HTCLIENT;
        } else if (in.OverClose) {
          if (in.Style == bmsFlat) {
            t.Last = HTCLOSE;
            t.Result = HTCLIENT;
          } else {
            t.Last = HTCLIENT;
            t.Result = HTCLOSE;
          }
        } else {
          t.Last = HTCAPTION;
          t.Result = HTCLIENT;
        }
        return t;
      case HTCLIENT:
        if (in.OverWantMouseItem || in.Customizing || in.OverMDIButton) {
          t.Last = t.Result = HTCLIENT;
        } else {
          t.Last = HTCAPTION;
          t.Result = HTCLIENT;
        }
        return t;
      case HTTOPLEFT:
      case HTTOPRIGHT:
        t.Result = in.FromTop < in.BorderSizeY ? HTTOP : (h == HTTOPLEFT ? HTLEFT : HTRIGHT);
        t.Last = t.Result;
        return t;
      case HTBOTTOMLEFT:
      case HTBOTTOMRIGHT:
        t.Result = in.FromBottom < in.BorderSizeY ? HTBOTTOM : (h == HTBOTTOMLEFT ? HTLEFT : HTRIGHT);
        t.Last = t.Result;
        return t;
      default:
        t.Last = t.Result = h;
        return t;
    }
  }
  if ((h == HTCLIENT && (in.OverWantMouseItem || in.Customizing)) || (h != HTNOWHERE && h != HTCLIENT)) {
    t.Last = h;
    t.Result = HTCLIENT;
    return t;
  }
  if (in.InClient && (in.OverMDIButton || (in.Style != bmsStandard && in.OverMark))) {
    t.Last = t.Result = h;
    return t;
  }
  if (in.InSizeGrip) {
    t.Last = t.Result = HTBOTTOMRIGHT;
    return t;
  }
  t.Last = HTCAPTION;
  t.Result = HTCLIENT;
  return t;
}

// ---------------------------------------------------------------- floating bars in the work area

TRect dxBarMoveIntoWorkArea(TRect r, const TRect& wa) {
  auto shift = [&](int dx, int dy) { r = TRect(r.left + dx, r.top + dy, r.right + dx, r.bottom + dy); };
  if (r.bottom > wa.bottom) shift(0, wa.bottom - r.bottom);
  if (r.top < wa.top) shift(0, wa.top - r.top);
  if (r.right > wa.right) shift(wa.right - r.right, 0);
  if (r.left < wa.left) shift(wa.left - r.left, 0);
  return r;
}
