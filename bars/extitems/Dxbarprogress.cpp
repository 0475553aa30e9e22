// The progress item: a static item whose link ends in a progress bar, in
// blocks or smooth, and whose range and position change only its bar.
#include "Dxbarprogress.h"

#include <algorithm>

DX_BAR_ITEM_CLASS_IMPL(TdxBarProgressItem)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarProgressControl)

// ---------------------------------------------------------------- item

TdxBarProgressItem::TdxBarProgressItem(TComponent* owner) : TdxBarStatic(owner) { borderStyle_ = sbsLowered; }

void TdxBarProgressItem::SetParams(int64_t min, int64_t max) {
  if (min == range_.Min && max == range_.Max) return;
  if (IsLoading()) {
    // Loaded puts them in order: the order of the properties is not theirs.
    range_.Min = min;
    range_.Max = max;
    return;
  }
  // The position is clamped into the new range; the bars show either.
  range_.SetParams(min, max);
  UpdateBar();
}

void TdxBarProgressItem::SetMin(int64_t value) {
  if (value == range_.Min) return;
  SetParams(value, std::max(range_.Max, value));
}

void TdxBarProgressItem::SetMax(int64_t value) {
  if (value == range_.Max) return;
  SetParams(std::min(range_.Min, value), value);
}

void TdxBarProgressItem::SetPosition(int64_t value) {
  if (IsLoading()) {
    range_.Position = value;
    return;
  }
  if (range_.SetPosition(value)) UpdateBar();
}

void TdxBarProgressItem::SetSmooth(bool value) {
  if (value == smooth_) return;
  smooth_ = value;
  UpdateBar();
}

void TdxBarProgressItem::StepBy(int64_t delta) {
  if (range_.StepBy(delta)) UpdateBar();
}

void TdxBarProgressItem::StepIt() {
  if (range_.StepIt()) UpdateBar();
}

void TdxBarProgressItem::Loaded() {
  TdxBarStatic::Loaded();
  TdxBarProgressRange loaded = range_;
  range_ = TdxBarProgressRange();
  range_.Step = loaded.Step;
  range_.Position = loaded.Position;
  range_.SetParams(loaded.Min, loaded.Max);
  range_.SetPosition(loaded.Position);
  UpdateBar();
}

void TdxBarProgressItem::UpdateBar() {
  if (IsLoading()) return;
  for (int i = 0; i < LinkCount(); ++i)
    if (auto* c = dynamic_cast<TdxBarProgressControl*>(Links(i)->Control())) c->UpdateBar();
}

// ---------------------------------------------------------------- control

TdxBarProgressGeometry TdxBarProgressControl::Geometry() {
  TdxBarProgressGeometry g;
  TdxBarStatic* s = Static();
  g.Link = link_ ? link_->ItemRect() : TRect();
  g.InMenu = dynamic_cast<TdxBarSubMenuControl*>(parent_) != nullptr;
  g.Vertical = IsToolbarControlVertical(parent_);
  g.ShowCaption = !s || s->ShowCaption();
  g.ClientAligned = GetAlign() == iaClient;
  g.StaticWidth = GetSizeValue(3);
  g.AutoWidth = Sizes().AutoWidth();
  g.BorderWidth = GetBorderWidth();
  g.RightIndent = GetSizeValue(2);
  return g;
}

int TdxBarProgressControl::GetDefaultWidth() {
  TdxBarStatic* s = Static();
  return dxBarProgressDefaultWidth(TdxBarStaticControl::GetDefaultWidth(), GetSizeValue(3), !s || s->ShowCaption());
}

void TdxBarProgressControl::UpdateBar() {
  if (!parent_ || !parent_->HandleAllocated()) return;
  TRect r = BarRect();
  if (!r.Empty()) InvalidateRect(parent_->Handle(), &r, FALSE);
}

void TdxBarProgressControl::DrawInterior(HDC dc, const TRect& r, TdxBarPaintType paintType) {
  TdxBarProgressGeometry g = Geometry();
  TRect bar = g.BarRect();
  if (bar.Empty()) {
    TdxBarStaticControl::DrawInterior(dc, r, paintType);
    return;
  }
  // The static's glyph and caption around the bar, the clipping kept.
  HRGN saved = CreateRectRgn(0, 0, 0, 0);
  bool hadClip = GetClipRgn(dc, saved) == 1;
  ExcludeClipRect(dc, bar.left, bar.top, bar.right, bar.bottom);
  try {
    TdxBarStaticControl::DrawInterior(dc, r, paintType);
  } catch (...) {
    SelectClipRgn(dc, hadClip ? saved : nullptr);
    DeleteObject(saved);
    throw;
  }
  SelectClipRgn(dc, hadClip ? saved : nullptr);
  DeleteObject(saved);

  TdxBarProgressItem* p = Progress();
  int length = g.Vertical ? bar.Height() : bar.Width();
  int filled = p ? dxBarProgressFilled(length, p->Min(), p->Max(), p->Position()) : 0;
  HBRUSH background = BackgroundBrush();
  FillRect(dc, &bar, background);
  HBRUSH brush = BarBrush();
  for (const TRect& part : g.Fill(filled, p && p->Smooth())) FillRect(dc, &part, brush);
}
