// The opening animation of menus: the finished menu is painted into a
// memory bitmap and a worker thread grows the window frame by frame,
// copying the picture in, until it stands at its final place and size. One
// menu animates at a time; real input to it, its closing or the unit's end
// stops the animation at once, the menu then standing finished.
#pragma once

#include <atomic>

#include "Dxbaranimlayout.h"

class TdxBarSubMenuControl;

// How the worker is made and paces its frames; tests hold frames with one
// of their own (dxBarSetAnimationPacer).
class TdxBarAnimationPacer {
 public:
  virtual ~TdxBarAnimationPacer() = default;
  // The worker thread; null when none can be made (the menu then shows at
  // once).
  virtual HANDLE CreateWorker(LPTHREAD_START_ROUTINE proc);
  // Interface thread: an animation of the kind with count frames starts.
  virtual void Started(TdxBarMenuAnimations kind, int count) {}
  // Worker: frame (from 1) is on the screen, begun at tick; returns when
  // the next may come (the system tick moved on), at once when stop is set.
  virtual void FrameDrawn(int frame, DWORD tick, const std::atomic<bool>& stop);
};
TdxBarAnimationPacer* dxBarAnimationPacer();
// Installs p (null: the system's pace) and returns the one it replaces.
TdxBarAnimationPacer* dxBarSetAnimationPacer(TdxBarAnimationPacer* p);

// The menu being animated (null: none).
TdxBarSubMenuControl* AnimatedMenu();
bool dxBarMenuAnimating();
// A worker thread exists that has not ended yet.
bool dxBarMenuAnimationThreadAlive();
// Stops the menu's animation if it runs and waits for the worker, serving
// only the messages other threads send meanwhile (input stays queued in
// order); the menu then stands at its final place, painted, unless place
// is false (the window is going).
void StopMenuAnimation(TdxBarSubMenuControl* menu, bool place = true);
// The unit's end: whatever animates stops.
void dxBarStopMenuAnimations();
