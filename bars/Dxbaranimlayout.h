// The frames of a menu's opening animation over plain records: where the
// window stands and how large its client area is after each frame, and
// which parts of the finished picture go where. The animation's worker
// applies them; nothing here touches a window.
#pragma once

#include <vector>

#include "Dxbar.h"

// What the animation starts from: the menu at its final place (window
// position, client size, the non-client frame) and how it grows.
struct TdxBarAnimationInput {
  TdxBarMenuAnimations Kind = maUnfold;  // maUnfold or maSlide
  int FinalLeft = 0, FinalTop = 0;
  int FinalClientWidth = 0, FinalClientHeight = 0;
  int FrameWidth = 0, FrameHeight = 0;  // window size less client size
  bool FromRight = false;               // grows to the left (its right edge stays)
  bool FromBottom = false;              // grows upward (its bottom edge stays)
};

// One copy into the client area from the finished picture.
struct TdxBarAnimationCopy {
  TRect Dest;      // client coordinates of the frame
  TPoint Source;   // the picture's pixel that goes to Dest's top-left
};

struct TdxBarAnimationFrame {
  TRect Window;                 // screen rectangle of the whole window
  int ClientWidth = 0, ClientHeight = 0;
  TPoint PictureOrigin;         // the picture's pixel at the client's top-left
  // The part already shown, where it goes now, then the band and the strip
  // that are new (empty ones left out).
  std::vector<TdxBarAnimationCopy> Copies;
};

struct TdxBarAnimationPlan {
  int Step = 0;      // pixels per frame: 8 unfolding, 17 sliding
  int Total = 0;     // the distance covered
  int Delta = 0;     // unfold: final client height less width
  TRect Shown;       // the client part taken as shown before frame 1
  std::vector<TdxBarAnimationFrame> Frames;  // Total div Step of them
  TRect Final;       // screen rectangle the window ends at
};
TdxBarAnimationPlan dxBarAnimationPlan(const TdxBarAnimationInput& in);
