// Shadow strips and their alpha pictures, over plain records.
#include "Dxbarshadowlayout.h"

#include <utility>

TdxBarShadowLayout dxBarShadowLayout(const TRect& opener, const TRect& owner, int size) {
  TdxBarShadowLayout l;
  TRect a = opener, b = owner;
  const int s = size;
  bool noOpener = a.Empty();
  l.HorizontalJoin = noOpener || a.bottom == b.top || a.top == b.bottom;
  // The first rectangle is the upper (horizontal) or left (vertical) one.
  if (!noOpener && ((l.HorizontalJoin && a.top == b.bottom) || (!l.HorizontalJoin && a.left == b.right)))
    std::swap(a, b);
  l.First = a;
  l.Second = b;
  auto add = [&](TdxBarShadowPartKind kind, TdxBarShadowCorners corners, int left, int top, int right, int bottom) {
    l.Parts.push_back({kind, corners, TRect(left, top, right, bottom)});
  };
  if (l.HorizontalJoin) {
    if (!noOpener) add(spVertical, {scTop}, a.right, a.top + s, a.right + s, a.bottom);
    add(spHorizontal, {scLeft, scRight}, b.left + s, b.bottom, b.right + s, b.bottom + s);
    if (!noOpener) {
      if (a.left + s < b.left) add(spHorizontal, {scLeft}, a.left + s, a.bottom, b.left, a.bottom + s);
      if (b.right < a.right) add(spHorizontal, {scRight}, b.right, a.bottom, a.right + s, a.bottom + s);
    }
    if (!noOpener && a.right >= b.right)
      add(spVertical, {}, b.right, b.top, b.right + s, b.bottom);
    else
      add(spVertical, {scTop}, b.right, b.top + s, b.right + s, b.bottom);
    return l;
  }
  add(spVertical, {scTop}, b.right, b.top + s, b.right + s, b.bottom);
  if (a.top + s < b.top) add(spVertical, {scTop}, a.right, a.top + s, a.right + s, b.top);
  if (a.bottom <= b.bottom) {
    add(spHorizontal, {scLeft}, a.left + s, a.bottom, a.right, a.bottom + s);
  } else {
    add(spHorizontal, {scLeft, scRight}, a.left + s, a.bottom, a.right + s, a.bottom + s);
    add(spVertical, {}, a.right, b.bottom, a.right + s, a.bottom);
  }
  if (b.bottom > a.bottom)
    add(spHorizontal, {scLeft, scRight}, b.left + s, b.bottom, b.right + s, b.bottom + s);
  else
    add(spHorizontal, {scRight}, b.left, b.bottom, b.right + s, b.bottom + s);
  return l;
}

bool dxBarShadowPartCanShow(const TdxBarShadowPartRec& part, int size) {
  if (part.Corners.Empty()) return true;
  return part.Bounds.Width() >= size && part.Bounds.Height() >= size;
}

std::vector<uint8_t> dxBarShadowAlpha(TdxBarShadowPartKind kind, TdxBarShadowCorners corners, int width, int height,
                                      int size) {
  if (width <= 0 || height <= 0) return {};
  std::vector<uint8_t> alpha(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  auto at = [&](int x, int y) -> uint8_t& { return alpha[static_cast<size_t>(y) * width + x]; };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      int v = kind == spVertical ? (width - x) * 15 : (height - y) * 15;
      at(x, y) = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
  // The ends fade: i counts from the strip's end, j runs across it.
  auto fade = [&](int x, int y, int i) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    at(x, y) = static_cast<uint8_t>(MulDiv(at(x, y), i + 1, size + 1));
  };
  for (int i = 0; i < size; ++i)
    for (int j = 0; j < size; ++j) {
      if (kind == spHorizontal && corners.Contains(scLeft)) fade(i, j, i);
      if (kind == spHorizontal && corners.Contains(scRight)) fade(width - 1 - i, j, i);
      if (kind == spVertical && corners.Contains(scTop)) fade(j, i, i);
    }
  return alpha;
}
