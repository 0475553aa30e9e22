// Sizes of static items and large buttons, the spin edit's numbers and
// buttons, and the progress bar's range and geometry, over plain records.
#include "Dxbarextlayout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

// ---------------------------------------------------------------- static item

int dxBarStaticBorderWidth(TdxBarStaticBorderStyle style) {
  switch (style) {
    case sbsLowered:
    case sbsRaised:
      return 1;
    case sbsEtched:
    case sbsBump:
      return 2;
    default:
      return 0;
  }
}

int TdxBarStaticSize::AutoWidth() const {
  int w = ShowCaption ? CaptionWidth : 0;
  bool caption = ShowCaption;
  if (ImageExists || (!caption && !CanHaveZeroSize)) {
    w += Vertical ? ButtonHeight : ButtonWidth;
    if (ShowCaption) w += 4;
  } else if (ShowCaption) {
    w += TextSize / 2;
  }
  return w + LeftIndent + RightIndent + 2 * BorderWidth;
}

int TdxBarStaticSize::DefaultHeight() const {
  if (Height != 0) return Height;
  int h;
  if (OnToolbar) {
    h = 0;
    if (ImageExists || (!ShowCaption && !CanHaveZeroSize)) h = Vertical ? ButtonWidth : ButtonHeight;
    if (h == 0)
      h = TextSize - 3;
    else if (ShowCaption)
      h = std::max(h, TextSize - 3);
  } else {
    h = TextSize;
  }
  return h + 2 * BorderWidth;
}

// ---------------------------------------------------------------- large button

TdxBarLargeImageSource dxBarLargeButtonImage(bool hot, bool hotGlyph, bool hotLinked, bool largeGlyph,
                                             bool largeLinked) {
  auto hotLookup = [&] { return hotGlyph ? lisHotGlyph : hotLinked ? lisHotImages : lisNone; };
  auto largeLookup = [&] { return largeGlyph ? lisLargeGlyph : largeLinked ? lisLargeImages : lisNone; };
  TdxBarLargeImageSource first = hot ? hotLookup() : largeLookup();
  if (first != lisNone) return first;
  return hot ? largeLookup() : hotLookup();
}

int TdxBarLargeButtonSize::DefaultHeight() const {
  int h;
  if (Height != 0) {
    h = Height;
  } else {
    if (HasImage)
      h = 6 + (Vertical && ShowCaption ? ImageWidth : ImageHeight);
    else
      h = 26;
    if (ShowCaption) {
      if (Layout == glTop || Layout == glBottom)
        h += TextHeight + 1;
      else
        h = std::max(h, TextHeight + 6);
    }
  }
  return h + (Lowered ? 2 : 0);
}

int TdxBarLargeButtonSize::DefaultWidth() const {
  int w;
  if (Width != 0) {
    w = Width;
  } else {
    if (HasImage)
      w = 10 + (Vertical && ShowCaption ? ImageHeight : ImageWidth);
    else
      w = 30;
    if (ShowCaption) {
      int tw = TextWidth + 6;
      if (Layout == glTop || Layout == glBottom)
        w = std::max(w, tw + 10);
      else
        w += tw;
    }
  }
  return w + (Lowered ? 2 : 0);
}

int TdxBarLargeButtonSize::ControlHeight() const {
  return Vertical && ShowCaption ? DefaultWidth() : DefaultHeight();
}

int TdxBarLargeButtonSize::ControlWidth() const {
  int w = Vertical && ShowCaption ? DefaultHeight() : DefaultWidth();
  return w + (DropDown ? ArrowWidth : 0);
}

TRect TdxBarLargeButtonSize::GlyphRect(const TRect& ir, TSize g) const {
  int left, top;
  if (!ShowCaption) {
    left = ir.left + 4;
    top = ir.top + 2;
  } else if (!Vertical) {
    if (Layout == glLeft || Layout == glRight) {
      top = ir.top + (ir.Height() - g.cy) / 2;
      left = Layout == glLeft ? ir.left + 4 : ir.right - 4 - g.cx;
    } else {
      left = ir.left + (ir.Width() - g.cx) / 2;
      top = Layout == glTop ? ir.top + 2 : ir.bottom - 2 - g.cy;
    }
  } else if (Layout == glLeft || Layout == glRight) {
    left = ir.left + (ir.Width() - g.cx) / 2;
    top = Layout == glLeft ? ir.top + 4 : ir.bottom - 4 - g.cy;
  } else {
    top = ir.top + (ir.Height() - g.cy) / 2;
    left = Layout == glTop ? ir.right - 2 - g.cx : ir.left + 2;
  }
  return Bounds(left, top, g.cx, g.cy);
}

TRect TdxBarLargeButtonSize::TextRect(const TRect& ir, const TRect& g, UINT& format) const {
  TRect t = ir;
  format = 1;
  switch (Layout) {
    case glLeft:
      format = 0;
      if (Vertical)
        t.top = g.bottom + 3;
      else
        t.left = g.right + 3;
      break;
    case glRight:
      format = 2;
      if (Vertical)
        t.bottom = g.top - 3;
      else
        t.right = g.left - 3;
      break;
    case glTop:
      if (Vertical)
        t.right = g.left;
      else
        t.top = g.bottom;
      break;
    case glBottom:
      if (Vertical)
        t.left = g.right;
      else
        t.bottom = g.top;
      break;
  }
  return t;
}

// ---------------------------------------------------------------- spin edit

namespace {

constexpr long double kInt64Max = 9223372036854775807.0L;
constexpr long double kInt64Min = -9223372036854775807.0L - 1.0L;

}  // namespace

int64_t dxBarSpinTruncate(long double v) {
  if (std::isnan(v)) return 0;
  v = std::trunc(v);
  if (v >= kInt64Max) return std::numeric_limits<int64_t>::max();
  if (v <= kInt64Min) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

long double TdxBarSpinRules::Prepare(long double v) const {
  return ValueType == svtInteger ? std::trunc(v) : v;
}

long double TdxBarSpinRules::Checked(long double v) const {
  v = Prepare(v);
  if (CheckRange()) {
    if (v < MinValue) v = MinValue;
    if (v > MaxValue) v = MaxValue;
  }
  return v;
}

String TdxBarSpinRules::AddPrefix(const String& s) const { return PrefixPlace == ppStart ? Prefix + s : s + Prefix; }

String TdxBarSpinRules::RemovePrefix(const String& s) const {
  String r = s;
  if (Prefix.empty()) return r;
  size_t at = r.find(Prefix);
  if (at != String::npos) r.erase(at, Prefix.size());
  return r;
}

String TdxBarSpinRules::ValueToText(long double v) const {
  String s;
  if (ValueType == svtInteger) {
    long double t = std::trunc(v);
    if (t >= kInt64Min && t <= kInt64Max) {
      s = IntToStr(static_cast<int64_t>(t));
    } else {
      // Past 64 bits: the nearest double's digits.
      char buffer[400];
      std::snprintf(buffer, sizeof buffer, "%.0f", static_cast<double>(t));
      s = buffer;
    }
  } else {
    s = FloatToStr(static_cast<double>(v));
  }
  return AddPrefix(s);
}

bool TdxBarSpinRules::Convert(const String& s, long double& v) const {
  String t = RemovePrefix(s);
  if (ValueType == svtInteger) {
    int64_t i = 0;
    if (!TryStrToInt64(t, i)) return false;
    v = static_cast<long double>(i);
    return true;
  }
  double d = 0;
  if (!TryStrToFloat(t, d) || !std::isfinite(d)) return false;
  v = d;
  return true;
}

long double TdxBarSpinRules::TextToValue(const String& s) const {
  long double v = 0;
  return Convert(s, v) ? v : MinValue;
}

long double TdxBarSpinRules::CheckedIncrement(long double v) const {
  v = Prepare(v);
  if (ValueType == svtInteger ? v < 1 : v <= 0) v = 1;
  return v;
}

bool TdxBarSpinRules::AcceptsChar(char c) const {
  if (c >= '0' && c <= '9') return true;
  // Backspace, and Ctrl+C, Ctrl+V, Ctrl+X and Ctrl+Z: a pasted text is
  // judged when it is committed.
  if (c == 8 || c == 3 || c == 0x16 || c == 0x18 || c == 0x1A) return true;
  if (c == '-' && MinValue < 0) return true;
  return ValueType == svtFloat && c == DecimalSeparator;
}

UINT dxBarSpinFirstRepeat(UINT doubleClickTime) { return doubleClickTime > 110 ? doubleClickTime - 100 : 10; }

TdxBarSpinButtons TdxBarSpinButtons::Calc(const TRect& r, bool flat) {
  TdxBarSpinButtons b;
  b.Field = r;
  int h = r.Height() / 2;
  b.A = (h - 2) / 2;
  b.ArrowWidth = 2 * b.A - 1;
  b.ButtonWidth = 4 * b.A + 3;
  if (b.ButtonWidth >= r.Width() / 2 || b.A < 1) {
    b.ButtonWidth = 0;
    return b;
  }
  b.Shown = true;
  b.Field.right -= b.ButtonWidth;
  b.Strip = TRect(b.Field.right, r.top, r.right, r.bottom);
  b.Buttons = TRect(b.Strip.left + 1, b.Strip.top, b.Strip.right - 1, b.Strip.bottom);
  int half = b.Buttons.Height() / 2 + (flat ? 1 : 0);
  b.Up = TRect(b.Buttons.left, b.Buttons.top, b.Buttons.right, b.Buttons.top + half);
  b.Down = TRect(b.Buttons.left, b.Up.bottom, b.Buttons.right, b.Buttons.bottom);
  return b;
}

TdxBarSpinEditButton TdxBarSpinButtons::At(TPoint p) const {
  if (!Shown || !Buttons.Contains(p)) return sbNone;
  return p.y < (Buttons.top + Buttons.bottom) / 2 ? sbUp : sbDown;
}

void TdxBarSpinButtons::Arrow(TdxBarSpinEditButton button, bool pressed, bool flat, POINT points[3]) const {
  const TRect& r = button == sbUp ? Up : Down;
  int x = r.left + A;
  int y = (r.top + r.bottom - A) / 2;
  if (button == sbUp) y += A - 1;
  if (pressed && !flat) {
    ++x;
    ++y;
  }
  int w = ArrowWidth;
  int dy = button == sbUp ? -(w / 2) : w / 2;
  points[0] = POINT{x, y};
  points[1] = POINT{x + w - 1, y};
  points[2] = POINT{x + w / 2, y + dy};
}

// ---------------------------------------------------------------- progress item

void TdxBarProgressRange::SetParams(int64_t min, int64_t max) {
  if (min == Min && max == Max) return;
  Min = min;
  Max = max;
  if (Min > Max) Min = Max;
  SetPosition(Position);
}

bool TdxBarProgressRange::SetPosition(int64_t v) {
  if (v < Min) v = Min;
  if (v > Max) v = Max;
  if (v == Position) return false;
  Position = v;
  return true;
}

bool TdxBarProgressRange::StepIt() {
  // Worked out wide, so no end of the 64-bit range overflows.
  __int128 n = static_cast<__int128>(Position) + Step;
  __int128 p = n;
  if (n > Max)
    p = static_cast<__int128>(Min) + (n - Max);
  else if (n < Min)
    p = static_cast<__int128>(Max) - (static_cast<__int128>(Min) - n);
  if (p < Min) p = Min;
  if (p > Max) p = Max;
  return SetPosition(static_cast<int64_t>(p));
}

bool TdxBarProgressRange::StepBy(int64_t d) {
  __int128 n = static_cast<__int128>(Position) + d;
  if (n < Min) n = Min;
  if (n > Max) n = Max;
  return SetPosition(static_cast<int64_t>(n));
}

namespace {

// a * b / c rounded half away from zero; c > 0, a >= 0, b >= 0.
int64_t MulDivRound(__int128 a, __int128 b, __int128 c) { return static_cast<int64_t>((2 * a * b + c) / (2 * c)); }

}  // namespace

int dxBarProgressFilled(int length, int64_t min, int64_t max, int64_t position) {
  if (length <= 0 || max <= min) return 0;
  if (position <= min) return 0;
  if (position >= max) return length;
  __int128 range = static_cast<__int128>(max) - min;
  __int128 done = static_cast<__int128>(position) - min;
  // The range may exceed 64 bits: scaled down first, keeping the ratio.
  while (range > (static_cast<__int128>(1) << 62)) {
    range >>= 1;
    done >>= 1;
  }
  return static_cast<int>(MulDivRound(length, done, range));
}

int TdxBarProgressGeometry::BarWidth() const {
  if (StaticWidth == 0 && !ClientAligned) return 150;
  int available;
  if (InMenu)
    available = Link.Width();
  else if (!ClientAligned)
    available = StaticWidth;
  else
    available = Vertical ? Link.Height() : Link.Width();
  return std::max(0, available - AutoWidth - 2 * Margin());
}

int TdxBarProgressGeometry::BarHeight() const {
  int thick = Vertical ? Link.Width() : Link.Height();
  int inner = std::max(0, thick - 2 * BorderWidth);
  int h = static_cast<int>(MulDivRound(inner, 2, 3));
  if ((h % 2) != (thick % 2)) ++h;
  return h;
}

TRect TdxBarProgressGeometry::BarRect() const {
  int length = BarWidth(), thick = BarHeight();
  int offset = length + 2 + BorderWidth + RightIndent;
  if (!Vertical) {
    int top = Link.top + (Link.Height() - thick) / 2;
    return Bounds(Link.right - offset, top, length, thick);
  }
  int left = Link.left + (Link.Width() - thick) / 2;
  return Bounds(left, Link.bottom - offset, thick, length);
}

std::vector<TRect> TdxBarProgressGeometry::Fill(int filled, bool smooth) const {
  std::vector<TRect> parts;
  TRect bar = BarRect();
  if (bar.Empty() || filled <= 0) return parts;
  auto along = [&](int from, int to) {
    return Vertical ? TRect(bar.left, bar.top + from, bar.right, bar.top + to)
                    : TRect(bar.left + from, bar.top, bar.left + to, bar.bottom);
  };
  if (smooth) {
    parts.push_back(along(0, filled));
    return parts;
  }
  int thick = Vertical ? bar.Width() : bar.Height();
  int block = std::max(1, static_cast<int>(MulDivRound(thick, 2, 3)));
  for (int at = 0; at < filled; at += block + 2) parts.push_back(along(at, std::min(at + block, filled)));
  return parts;
}

int dxBarProgressDefaultWidth(int staticDefaultWidth, int staticWidth, bool showCaption) {
  return staticDefaultWidth + (staticWidth == 0 ? 150 + 2 * (showCaption ? 1 : 2) : 0);
}
