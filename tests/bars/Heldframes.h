// The menu animation's frames as the tests pace them: installed for the
// scope, it records each animation's kind and frame count and holds the
// worker after a given frame until the test lets it go on.
#pragma once

#include <atomic>
#include <climits>
#include <vector>

#include "bars/Dxbaranimation.h"

class THeldFrames : public TdxBarAnimationPacer {
 public:
  // holdAfter: the first frame the worker waits after (INT_MAX: none).
  explicit THeldFrames(int holdAfter = INT_MAX) : limit_(holdAfter) { previous_ = dxBarSetAnimationPacer(this); }
  ~THeldFrames() override {
    dxBarStopMenuAnimations();
    dxBarSetAnimationPacer(previous_);
  }
  THeldFrames(const THeldFrames&) = delete;
  THeldFrames& operator=(const THeldFrames&) = delete;

  HANDLE CreateWorker(LPTHREAD_START_ROUTINE proc) override {
    return NoWorker ? nullptr : TdxBarAnimationPacer::CreateWorker(proc);
  }
  void Started(TdxBarMenuAnimations kind, int count) override {
    Kinds.push_back(kind);
    Count = count;
    drawn_ = 0;
  }
  void FrameDrawn(int frame, DWORD tick, const std::atomic<bool>& stop) override {
    drawn_ = frame;
    while (!stop && frame >= limit_) Sleep(1);
    if (FrameDelayMs > 0 && !stop) Sleep(static_cast<DWORD>(FrameDelayMs));
    if (!stop && limit_ == INT_MAX && FrameDelayMs == 0) TdxBarAnimationPacer::FrameDrawn(frame, tick, stop);
  }
  // The worker goes on and waits after this frame (INT_MAX: to the end).
  void HoldAfter(int frame) { limit_ = frame; }
  void Release() { limit_ = INT_MAX; }
  // The last frame drawn by the running animation (0: none yet).
  int Drawn() const { return drawn_; }
  // The worker waits after frame.
  bool HeldAt(int frame) const { return drawn_ == frame && limit_ <= frame; }

  // Recorded on the interface thread.
  std::vector<TdxBarMenuAnimations> Kinds;
  int Count = 0;
  // No worker can be made.
  bool NoWorker = false;
  // Each frame lasts this long at least.
  std::atomic<int> FrameDelayMs{0};

 private:
  std::atomic<int> limit_;
  std::atomic<int> drawn_{0};
  TdxBarAnimationPacer* previous_ = nullptr;
};
