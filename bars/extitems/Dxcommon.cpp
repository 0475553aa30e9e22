// The sizeable drop-down's corner, strip height and size grip.
#include "Dxcommon.h"

#include <algorithm>

int dxDropDownNCHeight() {
  return std::max(GetSystemMetrics(SM_CYHSCROLL) + 2, GetSystemMetrics(SM_CYSIZE)) + 1;
}

TdxCorner GetCornerForRects(const TRect& ownerRect, const TRect& popupRect) {
  bool a = ownerRect.left < popupRect.right;
  bool b = ownerRect.bottom < popupRect.bottom;
  if (a) return b ? coBottomRight : coTopRight;
  return b ? coBottomLeft : coTopLeft;
}

int GetHitTestByCorner(TdxCorner corner) {
  static const int codes[] = {HTTOPLEFT, HTTOPRIGHT, HTBOTTOMLEFT, HTBOTTOMRIGHT};
  return codes[corner];
}

void DrawSizeGrip(HDC dc, TRect& r, TdxCorner corner) {
  int cx = GetSystemMetrics(SM_CXVSCROLL);
  int cy = GetSystemMetrics(SM_CYHSCROLL);
  bool left = dxCornerIsLeft(corner);
  bool top = dxCornerIsTop(corner);
  TRect g(left ? r.left : r.right - cx, top ? r.top : r.bottom - cy, 0, 0);
  g.right = g.left + cx;
  g.bottom = g.top + cy;
  // The margins on the outer sides.
  HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  TRect v = left ? TRect(g.left, g.top, g.left + 2, g.bottom) : TRect(g.right - 2, g.top, g.right, g.bottom);
  TRect h = top ? TRect(g.left, g.top, g.right, g.top + 2) : TRect(g.left, g.bottom - 2, g.right, g.bottom);
  FillRect(dc, &v, face);
  FillRect(dc, &h, face);
  TRect p = g;
  if (left) p.left += 2;
  else p.right -= 2;
  if (top) p.top += 2;
  else p.bottom -= 2;
  int w = p.Width(), ht = p.Height();
  if (w > 0 && ht > 0) {
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, w, ht);
    HGDIOBJ old = SelectObject(mem, bmp);
    RECT pic{0, 0, w, ht};
    FillRect(mem, &pic, face);
    DrawFrameControl(mem, &pic, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
    // The picture points to the lower right: mirrored for other corners.
    StretchBlt(dc, left ? p.right - 1 : p.left, top ? p.bottom - 1 : p.top, left ? -w : w, top ? -ht : ht, mem, 0, 0,
               w, ht, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
  }
  r = g;
}

void DrawCloseButton(HDC dc, TRect& r, bool hot, bool pressed, TdxCorner corner) {
  int cx = GetSystemMetrics(SM_CXSIZE);
  int cy = cx + 1;
  TRect b(dxCornerIsLeft(corner) ? r.right - cx : r.left, r.top + (r.Height() - cy) / 2, 0, 0);
  b.right = b.left + cx;
  b.bottom = b.top + cy;
  RECT e = b;
  if (hot) DrawEdge(dc, &e, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  else FrameRect(dc, &e, GetSysColorBrush(COLOR_BTNFACE));
  InflateRect(&e, -1, -1);
  DrawFrameControl(dc, &e, DFC_CAPTION, DFCS_CAPTIONCLOSE | DFCS_FLAT | (pressed ? DFCS_PUSHED : 0));
  r = b;
}
