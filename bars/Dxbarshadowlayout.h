// The arithmetic of the drop shadows over plain records: which strips a bar
// window and the item that opened it cast, and the alpha picture of one
// strip. The shadow windows fill and show what is worked out here.
#pragma once

#include <cstdint>
#include <vector>

#include "Dxbar.h"

enum TdxBarShadowCorner { scLeft, scRight, scTop };
using TdxBarShadowCorners = TSet<TdxBarShadowCorner>;
// spHorizontal: a strip below an edge; spVertical: a strip right of one.
enum TdxBarShadowPartKind { spHorizontal, spVertical };

// One strip: its kind, the ends that fade out and its screen rectangle.
struct TdxBarShadowPartRec {
  TdxBarShadowPartKind Kind = spHorizontal;
  TdxBarShadowCorners Corners;
  TRect Bounds;
};

// The strips of a window (owner) and the item that opened it (opener;
// empty when none) with strips size pixels wide. The two rectangles come
// back in the order the strips were worked out: the first is the upper one
// of a horizontal join (or the opener when there is none to swap), the
// left one of a vertical join.
struct TdxBarShadowLayout {
  bool HorizontalJoin = true;
  TRect First, Second;
  std::vector<TdxBarShadowPartRec> Parts;  // five at most
};
TdxBarShadowLayout dxBarShadowLayout(const TRect& opener, const TRect& owner, int size);

// Strips with fading ends are shown only when they hold the fades.
bool dxBarShadowPartCanShow(const TdxBarShadowPartRec& part, int size);

// The alpha values of a strip of width x height pixels, rows top down,
// darkest next to the edge it shades: 15 per pixel of distance from the
// far side, the fading ends scaled down towards the strip's end.
std::vector<uint8_t> dxBarShadowAlpha(TdxBarShadowPartKind kind, TdxBarShadowCorners corners, int width, int height,
                                      int size);
