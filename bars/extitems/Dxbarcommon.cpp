// The sizeable pop-ups' frame: size calculation, painting and the close
// button.
#include "Dxbarcommon.h"

#include "bars/Dxbarcontrols.h"

void DrawCloseButton(HDC dc, TRect& r, bool hot, bool pressed, bool flat, TdxCorner corner) {
  int cx = GetSystemMetrics(SM_CXSIZE);
  int cy = cx + 1;
  TRect b(dxCornerIsLeft(corner) ? r.right - cx : r.left, r.top + (r.Height() - cy) / 2, 0, 0);
  if (!dxCornerIsTop(corner)) ++b.top;
  b.right = b.left + cx;
  b.bottom = b.top + cy;
  TRect result = b;
  RECT e{b.left + 1, b.top + 2, b.right - 1, b.bottom - 2};
  HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  if (hot && !flat) DrawEdge(dc, &e, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  else FrameRect(dc, &e, face);
  InflateRect(&e, -1, -1);
  FrameRect(dc, &e, face);
  // The glyph, clipped inside the frames.
  HRGN saved = CreateRectRgn(0, 0, 0, 0);
  bool hadClip = GetClipRgn(dc, saved) == 1;
  IntersectClipRect(dc, e.left + 1, e.top + 1, e.right - 1, e.bottom - 1);
  RECT g = e;
  if (cx != 22) ++g.top;
  DrawFrameControl(dc, &g, DFC_CAPTION, DFCS_CAPTIONCLOSE | DFCS_FLAT | (pressed && !flat ? DFCS_PUSHED : 0));
  SelectClipRgn(dc, hadClip ? saved : nullptr);
  DeleteObject(saved);
  r = result;
}

void dxBarPopupNCCalcSize(HWND wnd, TRect& r, TdxCorner& corner, TdxBarItem* item, bool allowResizing) {
  r = TRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
  if (!allowResizing || !item) return;
  TdxBarItemLink* link = item->CurItemLink();
  TCustomdxBarControl* bar = link ? link->BarControl() : nullptr;
  if (!link || !link->Control() || !bar || !bar->HandleAllocated()) return;
  RECT w{};
  GetWindowRect(wnd, &w);
  MapWindowPoints(nullptr, bar->Handle(), reinterpret_cast<POINT*>(&w), 2);
  corner = GetCornerForRects(link->ItemRect(), TRect(w));
  if (dxCornerIsTop(corner)) r.top += dxDropDownNCHeight();
  else r.bottom -= dxDropDownNCHeight();
}

namespace {

TRect ToScreen(HWND wnd, TRect r) {
  RECT w{};
  GetWindowRect(wnd, &w);
  return TRect(r.left + w.left, r.top + w.top, r.right + w.left, r.bottom + w.top);
}

void Fill(HDC dc, const TRect& r, int color) {
  RECT e = r;
  FillRect(dc, &e, GetSysColorBrush(color));
}

}  // namespace

void dxBarPopupNCPaint(HWND wnd, bool allowResizing, bool flat, bool mouseAboveClose, bool closeTracking,
                       TRect& closeRect, TRect& gripRect, TdxCorner corner) {
  closeRect = TRect();
  gripRect = TRect();
  RECT wr{};
  GetWindowRect(wnd, &wr);
  TRect w(0, 0, wr.right - wr.left, wr.bottom - wr.top);
  HDC dc = GetWindowDC(wnd);
  HBRUSH frame = GetSysColorBrush(flat ? COLOR_BTNSHADOW : COLOR_WINDOWFRAME);
  RECT fr = w;
  FrameRect(dc, &fr, frame);
  if (allowResizing) {
    w = TRect(w.left + 1, w.top + 1, w.right - 1, w.bottom - 1);
    int h = dxDropDownNCHeight();
    TRect strip, line;
    if (dxCornerIsTop(corner)) {
      strip = TRect(w.left, w.top, w.right, w.top + h - 1);
      line = TRect(w.left, strip.bottom, w.right, strip.bottom + 1);
    } else {
      strip = TRect(w.left, w.bottom - h + 1, w.right, w.bottom);
      line = TRect(w.left, strip.top - 1, w.right, strip.top);
    }
    RECT lr = line;
    FillRect(dc, &lr, frame);
    TRect grip = strip;
    DrawSizeGrip(dc, grip, corner);
    ExcludeClipRect(dc, grip.left, grip.top, grip.right, grip.bottom);
    gripRect = ToScreen(wnd, TRect(grip.left - 2, std::max(grip.top - 2, strip.top), grip.right + 2,
                                   std::min(grip.bottom + 2, strip.bottom)));
    TRect close = strip;
    bool hot = mouseAboveClose || closeTracking;
    DrawCloseButton(dc, close, hot, mouseAboveClose && closeTracking, flat, corner);
    ExcludeClipRect(dc, close.left, close.top, close.right, close.bottom);
    closeRect = ToScreen(wnd, close);
    Fill(dc, strip, COLOR_BTNFACE);
    DWORD style = static_cast<DWORD>(GetWindowLongA(wnd, GWL_STYLE));
    if (!dxCornerIsTop(corner) && (style & WS_VSCROLL) && (style & WS_HSCROLL)) {
      int cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL);
      SelectClipRgn(dc, nullptr);
      Fill(dc, TRect(w.right - cx, line.top - cy, w.right, line.top), COLOR_BTNFACE);
    }
  }
  ReleaseDC(wnd, dc);
}
