// The progress item, built on the static item.
#pragma once

#include "bars/extitems/Dxbarstatic.h"

// A static item that also draws a progress bar at the far end of its link,
// in blocks or smooth.
class TdxBarProgressItem : public TdxBarStatic {
 public:
  explicit TdxBarProgressItem(TComponent* owner);
  DX_BAR_ITEM_CLASS();

  int64_t Min() const { return range_.Min; }
  void SetMin(int64_t value);
  int64_t Max() const { return range_.Max; }
  void SetMax(int64_t value);
  void SetParams(int64_t min, int64_t max);
  // Always within Min..Max (stored as given while loading).
  int64_t Position() const { return range_.Position; }
  void SetPosition(int64_t value);
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool value);
  int64_t Step() const { return range_.Step; }
  void SetStep(int64_t value) { range_.Step = value; }
  void StepBy(int64_t delta);
  void StepIt();
  // Every link's control invalidates its bar (nothing while loading).
  void UpdateBar();

 protected:
  void Loaded() override;

 private:
  TdxBarProgressRange range_;
  bool smooth_ = false;
};

class TdxBarProgressControl : public TdxBarStaticControl {
 public:
  using TdxBarStaticControl::TdxBarStaticControl;
  DX_BAR_CONTROL_CLASS();

  TdxBarProgressItem* Progress() const { return dynamic_cast<TdxBarProgressItem*>(Item()); }
  virtual HBRUSH BarBrush() { return GetSysColorBrush(COLOR_HIGHLIGHT); }
  TdxBarProgressGeometry Geometry();
  int BarWidth() { return Geometry().BarWidth(); }
  int BarHeight() { return Geometry().BarHeight(); }
  TRect BarRect() { return Geometry().BarRect(); }
  // Invalidates the bar's rectangle, background kept.
  void UpdateBar();

  bool CanHaveZeroSize() override { return true; }
  TAlignment GetAlignment() override { return taLeftJustify; }
  int GetDefaultWidth() override;
  void DrawInterior(HDC dc, const TRect& r, TdxBarPaintType paintType) override;
};
