// The drop shadow of a bar window: small top-level strip windows just
// outside its right and bottom edges (and along the item that opened it,
// so that both cast one shadow). With per-pixel alpha the strips are 4
// pixels wide and fade out; otherwise they are 2-pixel strips in the
// button-shadow colour. Mouse input passes through them.
#pragma once

#include <array>

#include "Dxbarshadowlayout.h"

class TdxBarShadow;

class TdxBarShadowPart : public TCustomControl {
 public:
  TdxBarShadowPart(TdxBarShadow* shadow, TdxBarShadowPartKind kind, TdxBarShadowCorners corners);
  ~TdxBarShadowPart() override;

  TdxBarShadowPartKind Kind() const { return kind_; }
  TdxBarShadowCorners Corners() const { return corners_; }
  // Strips too small for their fading ends never show.
  bool CanShow();
  // Takes the screen rectangle, makes its picture and shows when the
  // shadow does.
  void UpdateBounds(const TRect& r);
  void Show();
  void Hide();
  TWinControl* GetControl();
  int GetShadowSize();
  bool GetTransparent();

 protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& msg) override;
  void Paint() override;
  void UpdateImage();
  void FreeImage();

 private:
  TdxBarShadowCorners corners_;
  HBITMAP image_ = nullptr;
  TdxBarShadowPartKind kind_;
  TdxBarShadow* shadow_;
};

class TdxBarShadow {
 public:
  explicit TdxBarShadow(TWinControl* control) : control_(control) {}
  ~TdxBarShadow() { DestroyParts(); }
  TdxBarShadow(const TdxBarShadow&) = delete;
  TdxBarShadow& operator=(const TdxBarShadow&) = delete;

  // Layered windows with per-pixel alpha exist and the screen has more
  // than 256 colours.
  static bool GetTransparent();
  static int GetShadowSize() { return GetTransparent() ? 4 : 2; }

  TWinControl* Control() const { return control_; }
  // The item that opened the window (screen; empty: none) and the
  // window's bounds: the strips are made again for them.
  void SetOwnerBounds(const TRect& opener, const TRect& owner);
  bool HorizontalJoin() const { return horizontalJoin_; }
  const TRect& OpenerRect() const { return openerRect_; }
  const TRect& OwnerRect() const { return ownerRect_; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  void Refresh();
  void CreateParts();
  void DestroyParts();
  void Show();
  void Hide();
  // The strips made (none before the first SetOwnerBounds and after
  // DestroyParts).
  int PartCount() const;
  TdxBarShadowPart* Part(int index) const;

 private:
  bool horizontalJoin_ = true;
  TWinControl* control_;
  std::array<TdxBarShadowPart*, 5> parts_{};
  bool visible_ = false;
  TRect openerRect_;
  TRect ownerRect_;
};
