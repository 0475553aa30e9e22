// The frame of the bars' sizeable pop-ups: a one-pixel border and, when
// resizing is allowed, a strip with the size grip and the close button at
// the side of the pop-up away from its item.
#pragma once

#include "Dxcommon.h"

class TdxBarItem;

// Draws the close button in r; r becomes its rectangle.
void DrawCloseButton(HDC dc, TRect& r, bool hot, bool pressed, bool flat, TdxCorner corner);
// Answers the pop-up's WM_NCCALCSIZE: r (the window rectangle) becomes the
// client's; corner follows where the pop-up lies beside the item's control.
void dxBarPopupNCCalcSize(HWND wnd, TRect& r, TdxCorner& corner, TdxBarItem* item, bool allowResizing);
// Paints the frame; the close-button and grip rectangles come back in
// screen coordinates (empty without resizing).
void dxBarPopupNCPaint(HWND wnd, bool allowResizing, bool flat, bool mouseAboveClose, bool closeTracking,
                       TRect& closeRect, TRect& gripRect, TdxCorner corner);
