// Buttons with pictures: the bitmap button (a push button drawing a glyph
// beside its caption) and the speed button (a painted button for tool
// bars; grouped speed buttons stay down like radio buttons).
#pragma once

#include "Extctrls.h"

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };
// The glyph bitmap holds 1 to 4 images side by side, for the states in
// TButtonState's order; a missing disabled image is made from the first.
using TNumGlyphs = int;

class TButtonGlyph;

class TBitBtn : public TButton {
 public:
  explicit TBitBtn(TComponent* owner);
  ~TBitBtn() override;
  // Transparent where it has the colour of its bottom-left pixel.
  TBitmap* Glyph() const;
  void SetGlyph(TBitmap* value);
  TNumGlyphs NumGlyphs() const;
  void SetNumGlyphs(TNumGlyphs value);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  // Pixels from the edge to the glyph; -1 centres glyph and caption.
  int Margin() const { return margin_; }
  void SetMargin(int value);
  // Pixels between glyph and caption; -1 spreads them evenly.
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);

 protected:
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& msg) override;
  void SetButtonStyle(bool isDefault) override;
  void EnabledChanged() override;

 private:
  void DrawItem(const DRAWITEMSTRUCT& d);
  void GlyphChanged(TObject* sender);
  TOwned<TButtonGlyph> glyph_;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
};

class TSpeedButton : public TGraphicControl {
 public:
  explicit TSpeedButton(TComponent* owner);
  ~TSpeedButton() override;

  TBitmap* Glyph() const;
  void SetGlyph(TBitmap* value);
  TNumGlyphs NumGlyphs() const;
  void SetNumGlyphs(TNumGlyphs value);
  // No frame until the mouse is over it (or it is down).
  bool Flat() const { return flat_; }
  void SetFlat(bool value);
  // Buttons of one parent with the same index (not 0) stay down one at a
  // time.
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value);
  // Only grouped buttons go down; a down button of a group without
  // AllowAllUp stays down until another of the group goes down.
  bool Down() const { return down_; }
  void SetDown(bool value);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool value);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  int Margin() const { return margin_; }
  void SetMargin(int value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);
  // What the button shows now.
  TButtonState State() const { return state_; }

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Dispatch(TMessage& msg) override;
  void EnabledChanged() override;
  void TextChanged() override;
  TControlActionLink* CreateActionLink() override;
  void ActionChange(TObject* sender, bool checkDefaults) override;

 private:
  friend class TSpeedButtonActionLink;
  // Down as the action says, whatever AllowAllUp.
  void ShowDown(bool value);
  void UpdateExclusive();
  void GlyphChanged(TObject* sender);
  TOwned<TButtonGlyph> glyph_;
  TButtonState state_ = bsUp;
  bool flat_ = false;
  int groupIndex_ = 0;
  bool down_ = false;
  bool allowAllUp_ = false;
  bool dragging_ = false;
  bool mouseInControl_ = false;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
};
