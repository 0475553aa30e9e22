// The frames of the menu opening animation over plain records: how many,
// the window after each, the edges that stay, and the picture's parts
// copied in.
#include "Barstest.h"
#include "bars/Dxbaranimlayout.h"

namespace {

TdxBarAnimationInput Menu(TdxBarMenuAnimations kind, int w, int h, bool fromRight = false, bool fromBottom = false) {
  TdxBarAnimationInput in;
  in.Kind = kind;
  in.FinalLeft = 300;
  in.FinalTop = 200;
  in.FinalClientWidth = w;
  in.FinalClientHeight = h;
  in.FrameWidth = 0;
  in.FrameHeight = 6;  // a detach caption above the client area
  in.FromRight = fromRight;
  in.FromBottom = fromBottom;
  return in;
}

TSize Client(const TdxBarAnimationFrame& f) { return TSize(f.ClientWidth, f.ClientHeight); }

bool operator==(const TSize& a, const TSize& b) { return a.cx == b.cx && a.cy == b.cy; }

}  // namespace

TEST(BarsAnimationFrames, CountsAndSizes) {
  // Sliding 340 pixels: 20 frames of 17, the width final from the first.
  TdxBarAnimationPlan slide = dxBarAnimationPlan(Menu(maSlide, 120, 340));
  ASSERT_EQ(slide.Frames.size(), 20u);
  EXPECT_EQ(slide.Step, 17);
  EXPECT_TRUE(Client(slide.Frames[0]) == TSize(120, 17));
  EXPECT_TRUE(Client(slide.Frames[19]) == TSize(120, 340));
  // Unfolding 150 x 400: 18 frames of 8, both sides reaching the end
  // together; the last is 144 x 394 and the final placement 150 x 400.
  TdxBarAnimationPlan unfold = dxBarAnimationPlan(Menu(maUnfold, 150, 400));
  ASSERT_EQ(unfold.Frames.size(), 18u);
  EXPECT_EQ(unfold.Delta, 250);
  EXPECT_EQ(unfold.Shown, TRect(0, 0, 0, 250));
  EXPECT_TRUE(Client(unfold.Frames[0]) == TSize(8, 258));
  EXPECT_TRUE(Client(unfold.Frames[4]) == TSize(40, 290));
  EXPECT_TRUE(Client(unfold.Frames[17]) == TSize(144, 394));
  EXPECT_EQ(unfold.Frames[17].Window, TRect(300, 200, 444, 600));
  EXPECT_EQ(unfold.Final, TRect(300, 200, 450, 606));
  // Wider than tall: the height is the distance.
  TdxBarAnimationPlan wide = dxBarAnimationPlan(Menu(maUnfold, 300, 100));
  ASSERT_EQ(wide.Frames.size(), 12u);
  EXPECT_EQ(wide.Shown, TRect(0, 0, 200, 0));
  EXPECT_TRUE(Client(wide.Frames[0]) == TSize(208, 8));
  EXPECT_TRUE(Client(wide.Frames[11]) == TSize(296, 96));
  // Below one step: no frame, the final placement at once.
  EXPECT_TRUE(dxBarAnimationPlan(Menu(maSlide, 120, 16)).Frames.empty());
  EXPECT_EQ(dxBarAnimationPlan(Menu(maSlide, 120, 17)).Frames.size(), 1u);
  EXPECT_TRUE(dxBarAnimationPlan(Menu(maUnfold, 7, 300)).Frames.empty());
  EXPECT_TRUE(dxBarAnimationPlan(Menu(maUnfold, 0, 0)).Frames.empty());
}

TEST(BarsAnimationFrames, EdgesThatStay) {
  const struct {
    const char* Name;
    bool FromRight, FromBottom;
  } cases[] = {{"right and down", false, false}, {"leftward", true, false}, {"upward", false, true},
               {"up and left", true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TdxBarAnimationPlan plan = dxBarAnimationPlan(Menu(maUnfold, 150, 400, c.FromRight, c.FromBottom));
    for (const TdxBarAnimationFrame& f : plan.Frames) {
      EXPECT_EQ(f.Window.Width(), f.ClientWidth);
      EXPECT_EQ(f.Window.Height(), f.ClientHeight + 6);
      if (c.FromRight)
        EXPECT_EQ(f.Window.right, plan.Final.right);
      else
        EXPECT_EQ(f.Window.left, plan.Final.left);
      if (c.FromBottom)
        EXPECT_EQ(f.Window.bottom, plan.Final.bottom);
      else
        EXPECT_EQ(f.Window.top, plan.Final.top);
    }
  }
}

TEST(BarsAnimationFrames, CopiedRectangles) {
  // Frame 2 of an unfold growing right and down: the shown part moves down
  // with the bottom edge; the band above it and the strip right of it are
  // new; the picture's bottom-left part shows.
  TdxBarAnimationPlan down = dxBarAnimationPlan(Menu(maUnfold, 150, 400));
  const TdxBarAnimationFrame& f = down.Frames[1];
  EXPECT_EQ(f.PictureOrigin, TPoint(0, 134));
  ASSERT_EQ(f.Copies.size(), 3u);
  EXPECT_EQ(f.Copies[0].Dest, TRect(0, 8, 8, 266));
  EXPECT_EQ(f.Copies[1].Dest, TRect(0, 0, 16, 8));
  EXPECT_EQ(f.Copies[2].Dest, TRect(8, 8, 16, 266));
  // Growing upward the picture's top-left part shows: the shown part stays,
  // a band below and a strip right of it.
  TdxBarAnimationPlan up = dxBarAnimationPlan(Menu(maUnfold, 150, 400, false, true));
  EXPECT_EQ(up.Frames[1].PictureOrigin, TPoint(0, 0));
  ASSERT_EQ(up.Frames[1].Copies.size(), 3u);
  EXPECT_EQ(up.Frames[1].Copies[0].Dest, TRect(0, 0, 8, 258));
  EXPECT_EQ(up.Frames[1].Copies[1].Dest, TRect(0, 258, 16, 266));
  EXPECT_EQ(up.Frames[1].Copies[2].Dest, TRect(8, 0, 16, 258));
  // Growing leftward its bottom-right part: the shown part moves right and
  // down, a band above and a strip left of it.
  TdxBarAnimationPlan left = dxBarAnimationPlan(Menu(maUnfold, 150, 400, true, false));
  EXPECT_EQ(left.Frames[1].PictureOrigin, TPoint(134, 134));
  ASSERT_EQ(left.Frames[1].Copies.size(), 3u);
  EXPECT_EQ(left.Frames[1].Copies[0].Dest, TRect(8, 8, 16, 266));
  EXPECT_EQ(left.Frames[1].Copies[1].Dest, TRect(0, 0, 16, 8));
  EXPECT_EQ(left.Frames[1].Copies[2].Dest, TRect(0, 8, 8, 266));
  // In every frame of every kind the copies tile the client area, each from
  // the picture's part at the frame's origin.
  for (const TdxBarAnimationPlan& plan : {down, up, left, dxBarAnimationPlan(Menu(maSlide, 120, 340, true, true)),
                                          dxBarAnimationPlan(Menu(maUnfold, 300, 100, true, false))})
    for (const TdxBarAnimationFrame& fr : plan.Frames) {
      int area = 0;
      for (const TdxBarAnimationCopy& c : fr.Copies) {
        area += c.Dest.Width() * c.Dest.Height();
        EXPECT_GE(c.Dest.left, 0);
        EXPECT_GE(c.Dest.top, 0);
        EXPECT_LE(c.Dest.right, fr.ClientWidth);
        EXPECT_LE(c.Dest.bottom, fr.ClientHeight);
        EXPECT_EQ(c.Source, TPoint(fr.PictureOrigin.x + c.Dest.left, fr.PictureOrigin.y + c.Dest.top));
      }
      EXPECT_EQ(area, fr.ClientWidth * fr.ClientHeight);
    }
}
