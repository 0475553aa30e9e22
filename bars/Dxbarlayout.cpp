// Layout of toolbars and dock rows over plain records.
#include "Dxbarlayout.h"

#include <algorithm>
#include <climits>
#include <tuple>

namespace {

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace

// ---------------------------------------------------------------- toolbar

bool TdxBarLayout::MarkExists() const {
  return ShowMark && (HasHiddenItems || (Style != bmsStandard && AllowQuickCustomizing));
}

int TdxBarLayout::GetMDIWidth() const {
  return RealMDIButtonsOnBar && Horizontal() ? 3 * MDIButtonWidth + 2 : MDIButtonWidth;
}

int TdxBarLayout::GetMDIHeight() const {
  return RealMDIButtonsOnBar && Vertical() ? 3 * MDIButtonHeight + 2 : MDIButtonHeight;
}

void TdxBarLayout::SetRecentItemCount(int k) {
  RecentItemCount = CanUseRecentItems ? (k < 0 ? -1 : k) : -1;
  for (TdxBarLayoutItem& item : Items)
    item.Visible = Designing || RecentItemCount == -1 || item.RecentRank < RecentItemCount;
}

std::vector<int> TdxBarLayout::VisibleIndexes() const {
  std::vector<int> v;
  for (size_t i = 0; i < Items.size(); ++i)
    if (Items[i].Visible) v.push_back(static_cast<int>(i));
  return v;
}

bool TdxBarLayout::VisibleBeginsGroup(const std::vector<int>& visible, size_t at) const {
  // The first shown item never begins a group; a mark of an item hidden
  // just before this one moves to it.
  if (at == 0) return false;
  for (int i = visible[at - 1] + 1; i <= visible[at]; ++i)
    if (Items[static_cast<size_t>(i)].BeginGroup) return true;
  return false;
}

void TdxBarLayout::CentreLine(const std::vector<int>& visible, size_t first, size_t last, int cross, bool vertical) {
  for (size_t k = first; k <= last && k < visible.size(); ++k) {
    TdxBarLayoutItem& item = Items[static_cast<size_t>(visible[k])];
    if (vertical) {
      int across = item.Rect.Width();
      int dx = (across - cross) / 2;
      item.Rect.left += dx;
      item.Rect.right += dx;
    } else {
      int across = item.Rect.Height();
      int dy = (cross - across) / 2;
      item.Rect.top += dy;
      item.Rect.bottom += dy;
    }
    item.LineCross = cross;
  }
}

void TdxBarLayout::CalcControlsPositions() {
  for (TdxBarLayoutItem& item : Items) item.Rect = TRect();
  bool vertical = Vertical();
  bool multi = MultiLine();
  int position = 0, lineOffset = 0;
  int length, cross;
  if (multi) {
    length = vertical ? ClientHeight : ClientWidth;
    if (DockingStyle != dsNone && MarkExists()) length -= dxBarMarkSize;
    cross = 0;
  } else {
    length = (vertical ? ClientHeight : ClientWidth) - (MarkExists() ? dxBarMarkSize : 0) -
             (MDIButtonsOnBar ? (vertical ? GetMDIHeight() : GetMDIWidth()) : 0);
    cross = vertical ? ClientWidth : ClientHeight;
  }
  std::vector<int> visible = VisibleIndexes();
  size_t first = 0;
  int lastPlaced = -1;
  for (size_t k = 0; k < visible.size(); ++k) {
    TdxBarLayoutItem& item = Items[static_cast<size_t>(visible[k])];
    item.LastInLine = false;
    int along = vertical ? item.Height : item.Width;
    int across = vertical ? item.Width : item.Height;
    int gap = VisibleBeginsGroup(visible, k) && position >= 1 ? BeginGroupSize() : 0;
    bool brk = (position > 0 && position + gap + along > length) || (multi && item.LineBreak);
    if (brk) {
      if (!multi) break;
      if (lastPlaced >= 0) Items[static_cast<size_t>(lastPlaced)].LastInLine = true;
      if (k > 0) CentreLine(visible, first, k - 1, cross, vertical);
      lineOffset += cross + gap;
      position = 0;
      gap = 0;
      cross = 0;
      first = k;
    }
    TRect r;
    if (multi && vertical)
      r = Bounds(ClientWidth - lineOffset - across, position + gap, across, along);
    else if (multi)
      r = Bounds(position + gap, lineOffset, along, across);
    else if (vertical)
      r = Bounds((cross - across) / 2, position + gap, across, along);
    else
      r = Bounds(position + gap, (cross - across) / 2, along, across);
    if (item.Align != iaLeft) {
      int farEdge = vertical ? r.bottom : r.right;
      int mdi = vertical ? GetMDIHeight() : GetMDIWidth();
      if (multi && MDIButtonsOnBar && farEdge + mdi <= length) length -= mdi;
      switch (item.Align) {
        case iaCenter:
        case iaRight: {
          int shift = item.Align == iaCenter ? (length - farEdge) / 2 : length - farEdge;
          if (vertical) {
            r.top += shift;
            r.bottom += shift;
          } else {
            r.left += shift;
            r.right += shift;
          }
          break;
        }
        case iaClient:
          if (vertical) {
            r.bottom = length;
            if (item.MinWidth > length - r.top) r.bottom = r.top + item.MinWidth;
          } else {
            r.right = length;
            if (item.MinWidth > length - r.left) r.right = r.left + item.MinWidth;
          }
          break;
        default:
          break;
      }
      position = length;
      if (k + 1 < visible.size()) HasHiddenItems = true;
    } else {
      position += gap + along;
    }
    item.Rect = r;
    item.LineCross = cross;
    cross = std::max(cross, across);
    lastPlaced = visible[k];
  }
  if (lastPlaced >= 0) {
    Items[static_cast<size_t>(lastPlaced)].LastInLine = true;
    if (multi) {
      size_t last = first;
      for (size_t k = first; k < visible.size(); ++k)
        if (visible[k] == lastPlaced) last = k;
      CentreLine(visible, first, last, cross, vertical);
    }
  }
}

void TdxBarLayout::GetMultiLineBarSize(TdxBarDockingStyle style, int length, TPoint& size) {
  bool vertical = dxBarIsVertical(style);
  int limit = std::max(length, static_cast<int>(vertical ? size.y : size.x));
  if (style != dsNone && MarkExists()) limit -= dxBarMarkSize;
  std::vector<int> visible = VisibleIndexes();
  int p = 0, c = 0, total = 0, longest = 0;
  int groupAt = -1, groupP = 0, groupC = 0;
  bool retry = false, lineAtGroup = true;
  // Each retry goes back to a group start that then breaks: the walk ends.
  size_t steps = 0, bound = 4 * visible.size() + 4;
  for (size_t k = 0; k < visible.size() && steps < bound; ++steps) {
    TdxBarLayoutItem& item = Items[static_cast<size_t>(visible[k])];
    int along = vertical ? item.Height : item.Width;
    int across = vertical ? item.Width : item.Height;
    int gap = 0;
    if (VisibleBeginsGroup(visible, k) && p >= 1) {
      gap = BeginGroupSize();
      groupAt = static_cast<int>(k);
      groupP = p;
      groupC = c;
    }
    bool fits = !(p > 0 && p + gap + along > limit) && !retry && (gap < 1 || lineAtGroup);
    if (fits) {
      item.LineBreak = false;
      p += gap + along;
      c = std::max(c, across);
      ++k;
      continue;
    }
    lineAtGroup = true;
    item.LineBreak = true;
    if (groupAt >= 0 && !retry) {
      k = static_cast<size_t>(groupAt);
      p = groupP;
      c = groupC;
      retry = true;
      continue;
    }
    if (groupAt >= 0) {
      groupAt = -1;
      retry = false;
    } else {
      lineAtGroup = false;
    }
    total += gap + c;
    c = 0;
    longest = std::max(longest, p);
    p = along;
    if (across > 0) c = across;
    ++k;
  }
  if (!visible.empty()) {
    if (vertical)
      size.x = total + c;
    else
      size.y = total + c;
  }
  if (MDIButtonsOnBar) {
    int along = vertical ? GetMDIHeight() : GetMDIWidth();
    if (along + p <= limit)
      p += along;
    else if (vertical)
      size.x += GetMDIWidth();
    else
      size.y += GetMDIHeight();
  }
  int len = std::max(p, longest);
  if (vertical)
    size.y = std::max(static_cast<int>(size.y), len);
  else
    size.x = std::max(static_cast<int>(size.x), len);
  CalcControlsPositions();
}

int TdxBarLayout::FirstRecentSize(bool width) {
  int saved = RecentItemCount;
  SetRecentItemCount(1);
  int result = -1;
  for (const TdxBarLayoutItem& item : Items)
    if (item.Visible) {
      result = width ? item.Width : item.Height;
      break;
    }
  SetRecentItemCount(saved);
  return result;
}

int TdxBarLayout::GreatestItemSize(bool width) const {
  int result = -1;
  for (const TdxBarLayoutItem& item : Items) result = std::max(result, width ? item.Width : item.Height);
  return result;
}

int TdxBarLayout::GetMinWidth(TdxBarDockingStyle style) {
  int w;
  if (!dxBarIsVertical(style) && !MultiLineFor(style)) {
    int first = FirstRecentSize(true);
    w = first >= 0 ? first : ButtonWidth;
    if (MDIButtonsOnBar) w += GetMDIWidth();
  } else {
    int most = GreatestItemSize(true);
    w = most >= 0 ? most : ButtonWidth;
    if (MDIButtonsOnBar) w = std::max(w, GetMDIWidth());
  }
  if (dxBarIsHorizontal(style) && MarkExists()) w += dxBarMarkSize;
  return w;
}

int TdxBarLayout::GetMinHeight(TdxBarDockingStyle style) {
  int h;
  if (!dxBarIsHorizontal(style) && !MultiLineFor(style)) {
    int first = FirstRecentSize(false);
    h = first >= 0 ? first : ButtonHeight;
    if (MDIButtonsOnBar) h += GetMDIHeight();
  } else {
    int most = GreatestItemSize(false);
    h = most >= 0 ? most : ButtonHeight;
    if (MDIButtonsOnBar) h = std::max(h, GetMDIHeight());
  }
  if (dxBarIsVertical(style) && MarkExists()) h += dxBarMarkSize;
  return h;
}

int TdxBarLayout::GetMaxWidth(TdxBarDockingStyle style) {
  if (dxBarIsVertical(style) && !MultiLineFor(style)) {
    int w = std::max(GetMinWidth(style), GreatestItemSize(true));
    if (MDIButtonsOnBar) w = std::max(w, GetMDIWidth());
    return w;
  }
  int saved = RecentItemCount;
  SetRecentItemCount(-1);
  std::vector<int> visible = VisibleIndexes();
  int sum = 0;
  for (size_t k = 0; k < visible.size(); ++k)
    sum += (VisibleBeginsGroup(visible, k) ? BeginGroupSize() : 0) + Items[static_cast<size_t>(visible[k])].Width;
  SetRecentItemCount(saved);
  if (MDIButtonsOnBar) sum += GetMDIWidth();
  if (dxBarIsHorizontal(style) && MarkExists()) sum += dxBarMarkSize;
  return std::max(sum, GetMinWidth(style));
}

int TdxBarLayout::GetMaxHeight(TdxBarDockingStyle style) {
  if (dxBarIsHorizontal(style) && !MultiLineFor(style)) {
    int h = std::max(GetMinHeight(style), GreatestItemSize(false));
    if (MDIButtonsOnBar) h = std::max(h, GetMDIHeight());
    return h;
  }
  int saved = RecentItemCount;
  SetRecentItemCount(-1);
  std::vector<int> visible = VisibleIndexes();
  int sum = 0;
  for (size_t k = 0; k < visible.size(); ++k)
    sum += (VisibleBeginsGroup(visible, k) ? BeginGroupSize() : 0) + Items[static_cast<size_t>(visible[k])].Height;
  SetRecentItemCount(saved);
  if (MDIButtonsOnBar) sum += GetMDIHeight();
  if (dxBarIsVertical(style) && MarkExists()) sum += dxBarMarkSize;
  return std::max(sum, GetMinHeight(style));
}

// One line along the bar: the items that fit in wanted (the first always
// counts), with recent items shown as far as all of them fit.
TPoint TdxBarLayout::SingleLineFit(TdxBarDockingStyle style, int wanted, bool alongWidth) {
  TPoint size(GetMinWidth(style), GetMinHeight(style));
  if (Items.empty()) return size;
  int minAlong = alongWidth ? size.x : size.y;
  int limit = std::max(wanted, minAlong) - (MDIButtonsOnBar ? (alongWidth ? GetMDIWidth() : GetMDIHeight()) : 0) -
              (MarkExists() ? dxBarMarkSize : 0);
  // Sums the shown items; false when one was left out.
  auto fit = [&](int& along, int& across) {
    std::vector<int> visible = VisibleIndexes();
    along = 0;
    across = 0;
    for (size_t k = 0; k < visible.size(); ++k) {
      const TdxBarLayoutItem& item = Items[static_cast<size_t>(visible[k])];
      int gap = VisibleBeginsGroup(visible, k) ? BeginGroupSize() : 0;
      int a = alongWidth ? item.Width : item.Height;
      if (k > 0 && along + gap + a > limit) return false;
      along += gap + a;
      across = std::max(across, alongWidth ? item.Height : item.Width);
    }
    return true;
  };
  int along = 0, across = 0;
  if (CanUseRecentItems && !Designing) {
    int chosen = -1;
    int n = static_cast<int>(Items.size());
    for (int k = 1; k <= n; ++k) {
      SetRecentItemCount(k);
      if (!fit(along, across)) {
        chosen = k - 1;
        break;
      }
    }
    SetRecentItemCount(chosen);
    fit(along, across);
  } else {
    fit(along, across);
  }
  if (MarkExists()) along += dxBarMarkSize;
  if (alongWidth) {
    size.x = std::max(static_cast<int>(size.x), along);
    size.y = across;
    if (MDIButtonsOnBar) {
      size.x += GetMDIWidth();
      size.y = std::max(static_cast<int>(size.y), GetMDIHeight());
    }
  } else {
    size.y = std::max(static_cast<int>(size.y), along);
    size.x = across;
    if (MDIButtonsOnBar) {
      size.y += GetMDIHeight();
      size.x = std::max(static_cast<int>(size.x), GetMDIWidth());
    }
  }
  return size;
}

TPoint TdxBarLayout::GetSizeForWidth(TdxBarDockingStyle style, int width) {
  SetRecentItemCount(-1);
  CalcControlsPositions();
  bool multi = MultiLineFor(style);
  if (!multi && dxBarIsVertical(style)) return TPoint(GetMinWidth(style), GetMaxHeight(style));
  if (!multi) return SingleLineFit(style, width, true);
  if (!dxBarIsVertical(style)) {
    TPoint size(GetMinWidth(style), GetMinHeight(style));
    GetMultiLineBarSize(style, width, size);
    return size;
  }
  TPoint s = GetSizeForHeight(style, GetMaxHeight(style));
  for (int guard = 0; s.x < width && guard < 100000; ++guard) {
    TPoint next = GetSizeForHeight(style, s.y - 1);
    if (next.y == s.y) break;
    s = next;
  }
  return s;
}

TPoint TdxBarLayout::GetSizeForHeight(TdxBarDockingStyle style, int height) {
  SetRecentItemCount(-1);
  CalcControlsPositions();
  bool multi = MultiLineFor(style);
  if (!multi && dxBarIsHorizontal(style)) return TPoint(GetMaxWidth(style), GetMinHeight(style));
  if (!multi) return SingleLineFit(style, height, false);
  if (dxBarIsVertical(style)) {
    TPoint size(GetMinWidth(style), GetMinHeight(style));
    GetMultiLineBarSize(style, height, size);
    return size;
  }
  // Wrapped lines across: narrower until the bar is as high as wanted.
  int minWidth = GetMinWidth(style);
  int w = GetMaxWidth(style);
  TPoint s = GetSizeForWidth(style, w);
  while (s.y < height && w > minWidth) {
    --w;
    s = GetSizeForWidth(style, w);
  }
  return s;
}

TPoint TdxBarLayout::GetTrackSize(TdxBarDockingStyle style, const TTrack& t) {
  int saved = RecentItemCount;
  TPoint size;
  if (style == dsNone) {
    TPoint s = GetSizeForWidth(dsNone, t.FloatClientWidth);
    size = TPoint(s.x + t.NCSizeX, s.y + t.NCSizeY);
  } else if (dxBarIsVertical(style)) {
    int h = t.WholeRow ? t.DockClientHeight - t.NCSizeY : GetMaxHeight(style);
    TPoint s = GetSizeForHeight(style, h);
    size = TPoint(s.x + t.NCSizeX, t.WholeRow ? t.DockClientHeight : s.y + t.NCSizeY);
  } else {
    int w = t.WholeRow ? t.DockClientWidth - t.NCSizeX : GetMaxWidth(style);
    TPoint s = GetSizeForWidth(style, w);
    size = TPoint(t.WholeRow ? t.DockClientWidth : s.x + t.NCSizeX, s.y + t.NCSizeY);
  }
  SetRecentItemCount(saved);
  CalcControlsPositions();
  return size;
}

TRect TdxBarLayout::MarkRect(const TRect& caption, int closeWidth) const {
  if (DockingStyle == dsNone) {
    if (Style != bmsFlat) return TRect(caption.left, caption.top, caption.left + 13, caption.bottom);
    int h = caption.Height();
    TRect r(caption.right - h, caption.top, caption.right, caption.bottom);
    if (closeWidth > 0) {
      r.left -= closeWidth + 1;
      r.right -= closeWidth + 1;
    }
    if (r.left < caption.left) {
      r.right += caption.left - r.left;
      r.left = caption.left;
    }
    return r;
  }
  if (Horizontal())
    return TRect(ClientWidth - dxBarMarkSize, 0, ClientWidth, Style == bmsStandard ? 9 : ClientHeight);
  return TRect(Style == bmsStandard ? ClientWidth - 9 : 0, ClientHeight - dxBarMarkSize, ClientWidth, ClientHeight);
}

TRect TdxBarLayout::RectMDI(TdxBarMDIButton button) const {
  bool vertical = Vertical();
  // Worked out as on a horizontal bar, then turned for a vertical one.
  int length = vertical ? ClientHeight : ClientWidth;
  int crossSize = vertical ? ClientWidth : ClientHeight;
  int bAlong = vertical ? MDIButtonHeight : MDIButtonWidth;
  int bAcross = vertical ? MDIButtonWidth : MDIButtonHeight;
  int mdiAlong = vertical ? GetMDIHeight() : GetMDIWidth();
  if (DockingStyle != dsNone && MarkExists()) length -= dxBarMarkSize;
  int across;
  if (!MultiLine()) {
    across = (crossSize - bAcross) / 2;
  } else {
    // The last line in the turned frame: its band across and its items.
    int bandTop = INT_MAX, bandBottom = INT_MIN, lineCross = 0;
    bool any = false;
    std::vector<TRect> rects;
    for (const TdxBarLayoutItem& item : Items) {
      if (!item.Visible || item.Rect.Empty()) continue;
      TRect r = vertical ? TRect(item.Rect.top, ClientWidth - item.Rect.right, item.Rect.bottom,
                                 ClientWidth - item.Rect.left)
                         : item.Rect;
      rects.push_back(r);
      any = true;
    }
    int lastTop = INT_MIN;
    for (const TRect& r : rects) lastTop = std::max(lastTop, static_cast<int>(r.top));
    for (size_t i = 0; i < rects.size(); ++i) {
      const TRect& r = rects[i];
      // Items of the last line overlap its top.
      if (r.bottom <= lastTop) continue;
      bandTop = std::min(bandTop, static_cast<int>(r.top));
      bandBottom = std::max(bandBottom, static_cast<int>(r.bottom));
    }
    lineCross = any ? bandBottom - bandTop : 0;
    int bottomAligned = crossSize - bAcross;
    if (!any || bandBottom <= bottomAligned)
      across = bottomAligned;
    else
      across = bandTop + (lineCross - bAcross) / 2;
  }
  int along;
  if (RealMDIButtonsOnBar) {
    along = length - mdiAlong + static_cast<int>(button) * bAlong;
    if (button == mdibClose) along += 2;
  } else {
    along = length - bAlong;
  }
  TRect r(along, across, along + bAlong, across + bAcross);
  if (!vertical) return r;
  return TRect(ClientWidth - r.bottom, r.left, ClientWidth - r.top, r.right);
}

TRect TdxBarLayout::SnapSizing(int edge, const TRect& sizing, const TRect& current, int ncX, int ncY) {
  TRect r = sizing;
  switch (edge) {
    case WMSZ_LEFT:
    case WMSZ_RIGHT: {
      TPoint s = GetSizeForWidth(dsNone, sizing.Width() - ncX);
      int w = s.x + ncX;
      if (edge == WMSZ_LEFT)
        r.left = r.right - w;
      else
        r.right = r.left + w;
      r.bottom = r.top + s.y + ncY;
      break;
    }
    case WMSZ_TOP:
    case WMSZ_BOTTOM: {
      TPoint s = GetSizeForHeight(dsNone, sizing.Height() - ncY);
      int h = s.y + ncY;
      if (edge == WMSZ_TOP)
        r.top = r.bottom - h;
      else
        r.bottom = r.top + h;
      r.right = r.left + s.x + ncX;
      break;
    }
    default:
      r = current;
      break;
  }
  if (r.top < -15) {
    int dy = -15 - r.top;
    r.top += dy;
    r.bottom += dy;
  }
  return r;
}

TPoint dxBarDragPointOffset(TPoint trackSize, int grabX, int grabWidth, int grabY, int grabHeight) {
  int x = grabWidth > 0 ? MulDiv(trackSize.x, grabX, grabWidth) : 0;
  int y = grabHeight > 0 ? MulDiv(trackSize.y, grabY, grabHeight) : 0;
  return TPoint(x, y);
}

TRect dxBarClampToWorkArea(const TRect& window, const TRect& area) {
  TRect r = window;
  int w = r.Width(), h = r.Height();
  if (r.right <= area.left) r.left = area.left;
  if (r.bottom <= area.top) r.top = area.top;
  if (r.left >= area.right) r.left = area.right - w;
  if (r.top >= area.bottom) r.top = area.bottom - h;
  r.right = r.left + w;
  r.bottom = r.top + h;
  return r;
}

// ---------------------------------------------------------------- dock zones

bool TdxDockZones::HasBars(int row) const {
  if (RowHasBars.empty()) return true;
  return row >= 0 && row < static_cast<int>(RowHasBars.size()) && RowHasBars[static_cast<size_t>(row)];
}

int TdxDockZones::GetClientSize() const {
  int s = 0;
  for (int v : RowSizes) s += v;
  return s;
}

std::pair<int, int> TdxDockZones::GetRectForRow(int row) const {
  int n = static_cast<int>(RowSizes.size());
  if (row < 0 || row >= n) return {0, 0};
  int offset = 0;
  if (!TopLeft() && Dragging) {
    offset = SiteClientSize;
    for (int r = row; r < n; ++r) offset -= RowSizes[static_cast<size_t>(r)];
  } else {
    for (int r = 0; r < row; ++r) offset += RowSizes[static_cast<size_t>(r)];
  }
  return {offset, offset + RowSizes[static_cast<size_t>(row)]};
}

void TdxDockZones::GetDockZoneMargins(int row, int zone, int& a, int& b) const {
  int n = static_cast<int>(RowSizes.size());
  int s, e;
  if (row == -1) {
    if (TopLeft()) {
      s = -Distance;
      e = 0;
    } else {
      e = SiteClientSize - GetClientSize();
      s = e - Distance;
    }
  } else if (row == n) {
    s = TopLeft() ? GetClientSize() : SiteClientSize;
    e = s + Distance;
  } else {
    std::tie(s, e) = GetRectForRow(row);
  }
  int m = TopLeft() ? s + (Distance - 5) / 2 : e - (Distance - 5) / 2 - 5;
  switch (zone) {
    case 0:
      b = s;
      a = m;
      break;
    case 1:
      b = m;
      a = m + 5;
      break;
    default:
      b = m + 5;
      a = e;
      break;
  }
}

int TdxDockZones::GetRowAtPos(int c, bool& newRow) const {
  int n = static_cast<int>(RowSizes.size());
  if (n == 0) {
    newRow = true;
    return 0;
  }
  int row = -2;
  newRow = false;
  for (int r = -1; r < n && row == -2; ++r) {
    if (r >= 0 && !HasBars(r)) continue;
    for (int zone = 0; zone < 3; ++zone) {
      int a, b;
      GetDockZoneMargins(r, zone, a, b);
      if (b <= c && c < a) {
        row = r + (zone >= 1 ? 1 : 0);
        newRow = zone == 1;
        break;
      }
    }
  }
  if (row == -2 || row == -1) {
    newRow = true;
    row = c < GetClientSize() ? 0 : n;
  }
  if (row == n) newRow = true;
  return row;
}

void TdxDockZones::GetPosForRow(int row, bool newRow, int& c) const {
  if (row == static_cast<int>(RowSizes.size())) newRow = false;
  if (!newRow) {
    int a1, b1, a2, b2;
    GetDockZoneMargins(row - 1, 2, a1, b1);
    GetDockZoneMargins(row, 0, a2, b2);
    if (b2 - b1 > a2 - b2) b1 = b2 - (a2 - b2);
    c = (b1 + a2) / 2;
  } else {
    int a, b;
    GetDockZoneMargins(row - 1, 1, a, b);
    c = (a + b) / 2;
  }
}

// ---------------------------------------------------------------- dock rows

void dxDockLayoutRow(std::vector<TdxDockRowBar>& bars, int siteLength, int origin) {
  if (bars.empty()) return;
  const int n = static_cast<int>(bars.size());
  int total = 0;
  for (const TdxDockRowBar& b : bars) total += b.MaxLength;
  // Sums of the minimal and maximal lengths of the bars before each one.
  std::vector<int> sumMin(static_cast<size_t>(n) + 1, 0), sumMax(static_cast<size_t>(n) + 1, 0);
  for (int i = 0; i < n; ++i) {
    sumMin[static_cast<size_t>(i) + 1] = sumMin[static_cast<size_t>(i)] + bars[static_cast<size_t>(i)].MinLength;
    sumMax[static_cast<size_t>(i) + 1] = sumMax[static_cast<size_t>(i)] + bars[static_cast<size_t>(i)].MaxLength;
  }
  auto crossFor = [](TdxDockRowBar& b, int length) { return b.CrossFor ? b.CrossFor(length - b.NCAlong) : b.MaxCross; };
  int rowCross = 0;
  if (bars[0].WholeRow) {
    TdxDockRowBar& b = bars[0];
    b.Left = 0;
    b.Top = origin;
    b.Length = std::max(siteLength, b.MinLength);
    b.HasHiddenItems = !b.MultiLine && b.Length < b.MaxLength;
    b.Cross = crossFor(b, b.Length) + b.NCAcross;
    rowCross = std::max(rowCross, b.Cross);
  } else if (siteLength < total) {
    int room = siteLength;
    for (int i = n - 1; i >= 0; --i) {
      TdxDockRowBar& b = bars[static_cast<size_t>(i)];
      size_t ui = static_cast<size_t>(i);
      int x = Clamp(b.Pos, sumMin[ui], sumMax[ui]);
      if (i > 0 && bars[ui - 1].Dragged) {
        const TdxDockRowBar& d = bars[ui - 1];
        int target = std::max(d.Pos, sumMin[ui - 1]) + d.MaxLength;
        if (target < x) {
          x = target;
          b.Pos = target;
        }
      }
      int space = room - x;
      int length, cross;
      if (b.MaxLength > space) {
        b.HasHiddenItems = !b.MultiLine && b.MinLength != b.MaxLength;
        length = std::max(b.MinLength, space);
        cross = crossFor(b, length);
      } else {
        length = b.MaxLength;
        cross = b.MultiLine ? crossFor(b, length) : b.MaxCross;
      }
      if (i == 0) length = std::max(length, room);
      b.Length = length;
      b.Left = Clamp(room - length, sumMin[ui], sumMax[ui]);
      b.Top = origin;
      b.Cross = cross + b.NCAcross;
      rowCross = std::max(rowCross, b.Cross);
      room -= length;
    }
  } else {
    int end = siteLength;
    for (int i = n - 1; i >= 0; --i) {
      TdxDockRowBar& b = bars[static_cast<size_t>(i)];
      b.Top = origin;
      b.Length = b.MaxLength;
      b.Cross = (b.MultiLine ? crossFor(b, b.Length) : b.MaxCross) + b.NCAcross;
      int x = b.Pos;
      if (x + b.Length > end) x = end - b.Length;
      x = std::max(x, sumMax[static_cast<size_t>(i)]);
      b.Left = x;
      end = x;
      rowCross = std::max(rowCross, b.Cross);
    }
  }
  for (int i = 0; i < n; ++i) {
    TdxDockRowBar& b = bars[static_cast<size_t>(i)];
    if (!b.UseRestSpace || b.WholeRow) continue;
    b.Left = i == 0 ? 0 : bars[static_cast<size_t>(i) - 1].Left + bars[static_cast<size_t>(i) - 1].Length;
    int next = i + 1 < n ? bars[static_cast<size_t>(i) + 1].Left : siteLength;
    b.Length = std::max(next - b.Left, b.MinLength);
  }
  TdxDockRowBar& last = bars.back();
  if (last.HasHiddenItems) last.Length = std::max(siteLength - last.Left, last.MinLength);
  for (TdxDockRowBar& b : bars) b.Cross = rowCross;
}
