// The arithmetic of the static item, the large button, the spin edit and
// the progress item over plain records: their sizes, where the large
// button's glyph and caption go, the spin edit's numbers, text and
// buttons, and the progress bar's range and geometry. The items and their
// controls fill the records and apply the results; nothing here touches a
// window.
#pragma once

#include <cstdint>
#include <vector>

#include "bars/Dxbar.h"

// ---------------------------------------------------------------- static item

enum TdxBarStaticBorderStyle { sbsNone, sbsLowered, sbsRaised, sbsEtched, sbsBump };

// The pixels a border style takes on each side.
int dxBarStaticBorderWidth(TdxBarStaticBorderStyle style);

// What a static control measures with.
struct TdxBarStaticSize {
  bool OnToolbar = true;      // else in a menu
  bool Vertical = false;      // a toolbar docked at the left or right
  bool ShowCaption = true;
  int CaptionWidth = 0;       // the caption without accelerator marks
  bool ImageExists = false;
  bool CanHaveZeroSize = false;
  int ButtonWidth = 0, ButtonHeight = 0;
  int TextSize = 0;           // the bar window's
  int LeftIndent = 0, RightIndent = 0;
  int BorderWidth = 0;
  int Width = 0, Height = 0;  // fixed sizes; 0: automatic

  int AutoWidth() const;
  int DefaultWidth() const { return Width != 0 ? Width : AutoWidth(); }
  int DefaultHeight() const;
  // The control's extents: a vertical bar swaps the two.
  int ControlWidth() const { return Vertical ? DefaultHeight() : DefaultWidth(); }
  int ControlHeight() const { return Vertical ? DefaultWidth() : DefaultHeight(); }
};

// ---------------------------------------------------------------- large button

enum TdxBarGlyphLayout { glLeft, glRight, glTop, glBottom };

// Where the large button's picture comes from.
enum TdxBarLargeImageSource { lisNone, lisHotGlyph, lisHotImages, lisLargeGlyph, lisLargeImages };
// Hot asked: the hot glyph, the hot list, then the large glyph and list;
// otherwise the large ones first.
TdxBarLargeImageSource dxBarLargeButtonImage(bool hot, bool hotGlyph, bool hotLinked, bool largeGlyph,
                                             bool largeLinked);
// An index names an image of a list of count images.
inline bool dxBarImageLinked(bool hasList, int count, int index) { return hasList && index >= 0 && index < count; }

// What a large button on a toolbar measures and places with.
struct TdxBarLargeButtonSize {
  bool Vertical = false;
  bool ShowCaption = true;
  TdxBarGlyphLayout Layout = glTop;
  bool HasImage = false;      // a picture or at least an image list
  int ImageWidth = 0, ImageHeight = 0;
  int TextHeight = 0;         // of "Qq"
  int TextWidth = 0;          // the caption without accelerator marks
  int Width = 0, Height = 0;  // fixed sizes; 0: automatic
  bool Lowered = false;
  bool DropDown = false;
  int ArrowWidth = 0;

  int DefaultWidth() const;
  int DefaultHeight() const;
  int ControlWidth() const;
  int ControlHeight() const;
  // The glyph of size glyph inside the inner rectangle ir, and the text
  // rectangle beside it with its DrawItemText format (0 left, 1 centre, 2
  // right).
  TRect GlyphRect(const TRect& ir, TSize glyph) const;
  TRect TextRect(const TRect& ir, const TRect& glyph, UINT& format) const;
};

// ---------------------------------------------------------------- spin edit

enum TdxBarSpinEditValueType { svtInteger, svtFloat };
enum TdxBarSpinEditPrefixPlace { ppStart, ppEnd };
enum TdxBarSpinEditButton { sbNone, sbUp, sbDown };

// The numbers of a spin edit: range, increment, prefix and how values and
// texts turn into each other. Integers convert as 64-bit numbers; values
// are kept as extended floats, which hold every 64-bit integer exactly.
struct TdxBarSpinRules {
  TdxBarSpinEditValueType ValueType = svtInteger;
  long double Increment = 1;
  long double MinValue = 0, MaxValue = 0;
  String Prefix;
  TdxBarSpinEditPrefixPlace PrefixPlace = ppEnd;
  char DecimalSeparator = '.';

  // Integers are truncated toward zero.
  long double Prepare(long double v) const;
  // The range is in force unless both bounds are 0.
  bool CheckRange() const { return !(MinValue == 0 && MaxValue == 0); }
  long double Checked(long double v) const;
  String AddPrefix(const String& s) const;
  String RemovePrefix(const String& s) const;
  String ValueToText(long double v) const;
  // The text without the prefix converts under the value type.
  bool Convert(const String& s, long double& v) const;
  // MinValue for a text that does not convert.
  long double TextToValue(const String& s) const;
  // The increment kept: below 1 for integers, not above 0 for floats, 1.
  long double CheckedIncrement(long double v) const;
  // A typed character the field takes: digits, backspace, the clipboard's
  // and undo's control characters, a minus while negative values are in
  // range and the decimal separator for floats.
  bool AcceptsChar(char c) const;
};

// A value truncated to a 64-bit integer, held at the ends of its range.
int64_t dxBarSpinTruncate(long double v);

// The delay of a held spin button's second step: the double-click time
// less 100 ms, at least 10 ms; then every 100 ms.
UINT dxBarSpinFirstRepeat(UINT doubleClickTime);
constexpr UINT dxBarSpinRepeat = 100;

// The two buttons at the right end of a spin edit's rectangle r.
struct TdxBarSpinButtons {
  TRect Field;            // what the edit paints (r less the buttons)
  bool Shown = false;     // no buttons on a narrow control
  TRect Strip;            // the buttons and the columns beside them
  TRect Buttons;          // the strip less those columns
  TRect Up, Down;
  int A = 0, ArrowWidth = 0, ButtonWidth = 0;
  static TdxBarSpinButtons Calc(const TRect& r, bool flat);
  // The button under a point of the bar window.
  TdxBarSpinEditButton At(TPoint p) const;
  // The corners of a button's arrow (shifted when shown pressed and not
  // flat).
  void Arrow(TdxBarSpinEditButton button, bool pressed, bool flat, POINT points[3]) const;
};

// ---------------------------------------------------------------- progress item

// The range and position of a progress item; 64-bit throughout.
struct TdxBarProgressRange {
  int64_t Min = 0, Max = 100, Position = 0, Step = 10;
  // Both bounds: Min above Max becomes Max, Position clamped into them.
  void SetParams(int64_t min, int64_t max);
  void SetMin(int64_t v) { SetParams(v, Max > v ? Max : v); }
  void SetMax(int64_t v) { SetParams(Min < v ? Min : v, v); }
  // Clamped into Min..Max; true when it changed.
  bool SetPosition(int64_t v);
  // One step, wrapping past either end: past Max to Min + (N - Max), below
  // Min to Max - (Min - N), then clamped.
  bool StepIt();
  bool StepBy(int64_t d);
};

// The length of the filled part of a bar of length pixels: 0 when the range
// is empty, the whole bar at Max; never overflowing.
int dxBarProgressFilled(int length, int64_t min, int64_t max, int64_t position);

// The bar of a progress control in its link's rectangle.
struct TdxBarProgressGeometry {
  TRect Link;
  bool InMenu = false;
  bool Vertical = false;       // a vertical bar window measures along its height
  bool ShowCaption = true;
  bool ClientAligned = false;  // iaClient
  int StaticWidth = 0;         // the static's Width
  int AutoWidth = 0;           // the static's automatic width
  int BorderWidth = 0;
  int RightIndent = 0;

  int Margin() const { return ShowCaption ? 1 : 2; }
  int BarWidth() const;   // the length
  int BarHeight() const;  // the thickness
  TRect BarRect() const;
  // The rectangles to fill with the bar's brush: the filled part, whole or
  // in blocks of two thirds of the thickness with gaps of 2 pixels.
  std::vector<TRect> Fill(int filled, bool smooth) const;
};
// The width a progress control asks for: the static's, plus 150 and both
// margins when the static's Width is 0.
int dxBarProgressDefaultWidth(int staticDefaultWidth, int staticWidth, bool showCaption);
