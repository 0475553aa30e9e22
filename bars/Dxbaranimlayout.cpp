// The frames of the menu opening animation, over plain records.
#include "Dxbaranimlayout.h"

#include <cstdlib>

TdxBarAnimationPlan dxBarAnimationPlan(const TdxBarAnimationInput& in) {
  TdxBarAnimationPlan plan;
  const int fw = in.FinalClientWidth, fh = in.FinalClientHeight;
  plan.Final = TRect(in.FinalLeft, in.FinalTop, in.FinalLeft + fw + in.FrameWidth, in.FinalTop + fh + in.FrameHeight);
  bool slide = in.Kind == maSlide;
  if (slide) {
    plan.Delta = 0;
    plan.Shown = TRect(0, 0, fw, 0);
    plan.Total = fh;
    plan.Step = 17;
  } else {
    plan.Delta = fh - fw;
    if (plan.Delta < 1) {
      plan.Shown = TRect(0, 0, fw - fh, 0);
      plan.Total = fh;
    } else {
      plan.Shown = TRect(0, 0, 0, fh - fw);
      plan.Total = fw;
    }
    plan.Step = 8;
  }
  int count = plan.Total > 0 ? plan.Total / plan.Step : 0;
  TRect p = plan.Shown;
  for (int k = 1; k <= count; ++k) {
    TdxBarAnimationFrame f;
    int w, h;
    if (slide) {
      w = fw;
      h = k * plan.Step;
    } else if (plan.Delta >= 0) {
      w = k * plan.Step;
      h = plan.Delta + k * plan.Step;
    } else {
      w = std::abs(plan.Delta) + k * plan.Step;
      h = k * plan.Step;
    }
    // The edges that stay put: the right one growing leftward, the bottom
    // one growing upward.
    int left = in.FromRight ? in.FinalLeft + fw - w : in.FinalLeft;
    int top = in.FromBottom ? in.FinalTop + fh - h : in.FinalTop;
    f.Window = TRect(left, top, left + w + in.FrameWidth, top + h + in.FrameHeight);
    f.ClientWidth = w;
    f.ClientHeight = h;
    // The content slides with the moving edge vertically.
    TRect moved, band, strip;
    int pw = p.Width(), ph = p.Height();
    if (in.FromBottom) {
      f.PictureOrigin = TPoint(0, 0);
      moved = TRect(0, 0, pw, ph);
      band = TRect(0, ph, w, h);
      strip = TRect(pw, 0, w, ph);
    } else if (in.FromRight) {
      f.PictureOrigin = TPoint(fw - w, fh - h);
      moved = TRect(w - pw, h - ph, w, h);
      band = TRect(0, 0, w, h - ph);
      strip = TRect(0, h - ph, w - pw, h);
    } else {
      f.PictureOrigin = TPoint(0, fh - h);
      moved = TRect(0, h - ph, pw, h);
      band = TRect(0, 0, w, h - ph);
      strip = TRect(pw, h - ph, w, h);
    }
    for (const TRect& r : {moved, band, strip})
      if (!r.Empty())
        f.Copies.push_back({r, TPoint(f.PictureOrigin.x + r.left, f.PictureOrigin.y + r.top)});
    plan.Frames.push_back(f);
    p = TRect(0, 0, w, h);
  }
  return plan;
}
