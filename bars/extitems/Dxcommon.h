// The frame of a sizeable drop-down: the corner its size grip sits at, the
// height of its grip-and-close strip, and the grip's drawing.
#pragma once

#include <windows.h>

#include "classlib/Graphics.h"

// Top corners put the strip at the top, bottom corners at the bottom; left
// corners put the grip at the left end of the strip, right corners at the
// right.
enum TdxCorner { coTopLeft, coTopRight, coBottomLeft, coBottomRight };

inline bool dxCornerIsTop(TdxCorner corner) { return corner == coTopLeft || corner == coTopRight; }
inline bool dxCornerIsLeft(TdxCorner corner) { return corner == coTopLeft || corner == coBottomLeft; }

// Height of the strip, its one-pixel line included.
int dxDropDownNCHeight();
// The grip's corner of a pop-up opened from the owner's rectangle (both
// in the same coordinates).
TdxCorner GetCornerForRects(const TRect& ownerRect, const TRect& popupRect);
// The sizing hit code of the corner.
int GetHitTestByCorner(TdxCorner corner);
// Draws the size grip in the corner of r; r becomes the grip's rectangle.
void DrawSizeGrip(HDC dc, TRect& r, TdxCorner corner);
// The earlier close button: an edge when hot, pushed when pressed.
void DrawCloseButton(HDC dc, TRect& r, bool hot, bool pressed, TdxCorner corner);
