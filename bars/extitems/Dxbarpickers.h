// The colour and font-name combos of the extended items: a colour picked
// from sixteen named colours (or the shared colour dialog), and a font
// family picked from the installed ones (or the shared font dialog).
#pragma once

#include <vector>

#include "bars/Dxbarwinitems.h"

// The sixteen colours of the colour combo, in their list order.
constexpr int dxBarColorCount = 16;
TColor dxBarColorComboColor(int index);

// Width of the colour combo's dots button for a control of this size: 0
// when it does not fit (it takes less than half the width).
int dxBarColorDotsButtonWidth(int width, int height);

// ---------------------------------------------------------------- colour combo

// A combo of named colours with a swatch before each name, optionally
// headed by an automatic colour. Colours outside the list show as
// CustomColorText; the dots button, Ctrl+Enter and a click where the combo
// shows as a button open the shared colour dialog.
class TdxBarColorCombo : public TdxBarCustomCombo {
 public:
  explicit TdxBarColorCombo(TComponent* owner);
  DX_BAR_ITEM_CLASS();

  TColor AutoColor() const { return autoColor_; }
  void SetAutoColor(TColor value);
  const String& AutoColorText() const { return autoColorText_; }
  void SetAutoColorText(const String& value);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  const String& CustomColorText() const { return customColorText_; }
  void SetCustomColorText(const String& value);
  bool ShowAutoColor() const { return showAutoColor_; }
  void SetShowAutoColor(bool value);
  bool ShowCustomColorButton() const { return showCustomColorButton_; }
  void SetShowCustomColorButton(bool value);
  // Whether a form would store these (they differ from their defaults).
  bool AutoColorTextStored() const;
  bool CustomColorTextStored() const;
  bool DropDownCountStored() const;

  // The colour of entry index (AutoColor for the automatic entry); any
  // other index gives Color.
  TColor GetColorByIndex(int index) const;
  // The automatic entry for exactly AutoColor, else the first entry of the
  // same RGB value; -1 when none.
  int GetIndexOfColor(TColor color) const;
  // The colour of the entry being browsed.
  TColor CurColor() const { return GetColorByIndex(CurItemIndex()); }
  void SetCurColor(TColor value);
  // The next dialog was asked for by the dots button or Ctrl+Enter and
  // starts at value.
  void SetDialogColor(TColor value) {
    dialogColor_ = value;
    fromButton_ = true;
  }

  void Change() override;
  void DrawItem(int index, const TRect& r, TOwnerDrawState state) override;
  void MeasureItem(int index, int& height) override;
  void MeasureItemWidth(int index, int& width) override;

 protected:
  // After the item's own click, without OnClick and unless read-only: the
  // shared colour dialog.
  void DoClick() override;

 private:
  void CreateItemsList();
  int AutoOffset() const { return showAutoColor_ ? 1 : 0; }
  TColor autoColor_;
  String autoColorText_;
  TColor color_ = clBlack;
  String customColorText_;
  TColor dialogColor_ = clBlack;
  bool fromButton_ = false;
  bool updating_ = false;
  bool showAutoColor_ = false;
  bool showCustomColorButton_ = false;
};

// The colour combo's control: the dots button inside the combo.
class TdxBarColorComboControl : public TdxBarComboControl {
 public:
  using TdxBarComboControl::TdxBarComboControl;
  DX_BAR_CONTROL_CLASS();
  TdxBarColorCombo* ColorCombo() const { return dynamic_cast<TdxBarColorCombo*>(Item()); }
  // The dots button in bar coordinates (empty: none drawn).
  const TRect& DotsButtonRect() const { return dotsButtonRect_; }
  bool DrawSelected() override;
  void PressedChanged() override;
  void Paint(const TRect& r, TdxBarPaintType paintType) override;

 protected:
  void WndProc(TMessage& msg) override;

 private:
  // Opens the dialog at the browsed entry's colour.
  void OpenDialog();
  void DrawDots(const TRect& b);
  TRect dotsButtonRect_;
};

// ---------------------------------------------------------------- font-name combo

// One font family as the font-name combo lists it.
struct TdxBarFontFamily {
  String Name;
  bool TrueType;
};
// The families of a device, each once; names the code page cannot hold are
// left out.
std::vector<TdxBarFontFamily> dxBarEnumFontFamilies(HDC dc);

// A sorted combo of the installed font families, each with a TrueType or
// other mark; a typed prefix is completed to its family on commit, a name
// matching nothing keeps the previous text. A click where the combo shows
// as a button opens the shared font dialog.
class TdxBarFontNameCombo : public TdxBarCustomCombo {
 public:
  explicit TdxBarFontNameCombo(TComponent* owner);
  DX_BAR_ITEM_CLASS();

  // The default printer's families, else (or when that fails) the screen's.
  void LoadFontNames();
  // The entry is a TrueType family.
  bool IsTrueType(int index) const;
  void SetText(const String& value) override;
  void DrawItem(int index, const TRect& r, TOwnerDrawState state) override;
  void MeasureItemWidth(int index, int& width) override;

 protected:
  void DoClick() override;
};
