// The menu opening animation: its start on the interface thread, the
// worker that moves the window and copies the picture in, and the stop.
//
// The worker only reads what the start wrote before it made the thread
// (the frames, the window, the picture) and the stop flag; it moves and
// draws the window through handles. Everything else, the final placement
// too, runs on the interface thread: the worker ends by sending the menu
// a message, served by the message loop or by the stop's wait.
#include "Dxbaranimation.h"

#include <random>

#include "Dxbarcontrols.h"

namespace {

struct TAnimation {
  // Interface thread.
  TdxBarControlRef Menu;
  TdxBarSubMenuControl* Control = nullptr;
  HANDLE Thread = nullptr;
  bool Active = false;    // from the start to the finish
  bool Stopping = false;  // a stop waits for the worker
  bool Place = true;      // the finish places and paints the menu
  HBITMAP Bitmap = nullptr;
  HGDIOBJ OldBitmap = nullptr;
  // Written before the worker starts, read by it.
  HWND Wnd = nullptr;
  TdxBarAnimationPlan Plan;
  HDC DC = nullptr;
  HPALETTE Palette = nullptr;
  TdxBarAnimationPacer* Pacer = nullptr;
  // Both threads.
  std::atomic<bool> Stop{false};
  std::atomic<bool> Ended{false};  // the worker has drawn its last frame
};

TAnimation gAnimation;
TdxBarAnimationPacer gSystemPacer;
TdxBarAnimationPacer* gPacer = nullptr;

std::minstd_rand& Random() {
  static std::minstd_rand r(GetTickCount());
  return r;
}

// One frame, on the worker: the window grows, the picture goes in.
void DrawMenuAnimationFrame(int frame) {
  TAnimation& a = gAnimation;
  const TdxBarAnimationFrame& f = a.Plan.Frames[static_cast<size_t>(frame - 1)];
  SetWindowPos(a.Wnd, nullptr, f.Window.left, f.Window.top, f.Window.Width(), f.Window.Height(),
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  // A DC of the worker's own (the menu's own DC belongs to its thread).
  HDC dc = GetDCEx(a.Wnd, nullptr, DCX_CACHE);
  if (!dc) return;
  HPALETTE old = nullptr;
  if (a.Palette) {
    old = SelectPalette(dc, a.Palette, FALSE);
    RealizePalette(dc);
  }
  for (const TdxBarAnimationCopy& c : f.Copies)
    BitBlt(dc, c.Dest.left, c.Dest.top, c.Dest.Width(), c.Dest.Height(), a.DC, c.Source.x, c.Source.y, SRCCOPY);
  if (old) {
    SelectPalette(dc, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
    UpdateColors(dc);
  }
  ReleaseDC(a.Wnd, dc);
}

DWORD WINAPI dxBarMenuAnimationThreadProc(LPVOID) {
  TAnimation& a = gAnimation;
  const int count = static_cast<int>(a.Plan.Frames.size());
  for (int frame = 1; frame <= count; ++frame) {
    if (a.Stop) break;
    DWORD tick = GetTickCount();
    DrawMenuAnimationFrame(frame);
    a.Pacer->FrameDrawn(frame, tick, a.Stop);
  }
  a.Ended = true;
  SendMessageA(a.Wnd, TdxBarSubMenuControl::WMAnimationDone, 0, 0);
  return 0;
}

void FreePicture() {
  TAnimation& a = gAnimation;
  if (a.DC) {
    if (a.OldBitmap) SelectObject(a.DC, a.OldBitmap);
    DeleteDC(a.DC);
  }
  if (a.Bitmap) DeleteObject(a.Bitmap);
  a.DC = nullptr;
  a.Bitmap = nullptr;
  a.OldBitmap = nullptr;
  a.Palette = nullptr;
}

// Interface thread: the frames are done or stopped; the menu stands
// finished.
void FinishAnimation() {
  TAnimation& a = gAnimation;
  if (!a.Active) return;
  a.Active = false;
  FreePicture();
  TdxBarSubMenuControl* menu = BarControlExists(a.Menu) ? a.Control : nullptr;
  a.Menu = TdxBarControlRef();
  a.Control = nullptr;
  TRect final = a.Plan.Final;
  bool place = a.Place;
  a.Stop = false;
  if (menu) menu->AnimationFinished(place, final);
}

// A worker that has ended is let go.
void ReapWorker() {
  TAnimation& a = gAnimation;
  if (!a.Thread || a.Active) return;
  WaitForSingleObject(a.Thread, INFINITE);
  CloseHandle(a.Thread);
  a.Thread = nullptr;
}

void StopAnimation(bool place) {
  TAnimation& a = gAnimation;
  if (!a.Active || a.Stopping) return;
  a.Stopping = true;
  a.Place = place;
  a.Stop = true;
  if (a.Thread) {
    // Only sent messages are served (the worker's SetWindowPos waits for
    // them); nothing is taken from the queue.
    for (;;) {
      DWORD r = MsgWaitForMultipleObjects(1, &a.Thread, FALSE, INFINITE, QS_SENDMESSAGE);
      if (r != WAIT_OBJECT_0 + 1) break;
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(a.Thread);
    a.Thread = nullptr;
  }
  FinishAnimation();
  a.Stopping = false;
  ProcessPaintMessages();
}

}  // namespace

// ---------------------------------------------------------------- the pace

HANDLE TdxBarAnimationPacer::CreateWorker(LPTHREAD_START_ROUTINE proc) {
  return CreateThread(nullptr, 0, proc, nullptr, 0, nullptr);
}

void TdxBarAnimationPacer::FrameDrawn(int, DWORD tick, const std::atomic<bool>& stop) {
  // One tick of the system clock per frame.
  Sleep(1);
  while (GetTickCount() == tick && !stop) Sleep(0);
}

TdxBarAnimationPacer* dxBarAnimationPacer() { return gPacer ? gPacer : &gSystemPacer; }

TdxBarAnimationPacer* dxBarSetAnimationPacer(TdxBarAnimationPacer* p) {
  TdxBarAnimationPacer* old = dxBarAnimationPacer();
  gPacer = p;
  return old == &gSystemPacer ? nullptr : old;
}

// ---------------------------------------------------------------- state

TdxBarSubMenuControl* AnimatedMenu() {
  const TAnimation& a = gAnimation;
  return a.Active && BarControlExists(a.Menu) ? a.Control : nullptr;
}

bool dxBarMenuAnimating() { return AnimatedMenu() != nullptr; }

bool dxBarMenuAnimationThreadAlive() {
  TAnimation& a = gAnimation;
  if (!a.Thread) return false;
  if (!a.Active && WaitForSingleObject(a.Thread, 0) == WAIT_OBJECT_0) {
    ReapWorker();
    return false;
  }
  return true;
}

void StopMenuAnimation(TdxBarSubMenuControl* menu, bool place) {
  TAnimation& a = gAnimation;
  if (!menu || !a.Active || a.Control != menu) return;
  StopAnimation(place);
}

void dxBarStopMenuAnimations() {
  StopAnimation(true);
  ReapWorker();
}

// ---------------------------------------------------------------- the menu's side

void TdxBarSubMenuControl::StartAnimation(bool flippedH, bool flippedV) {
  TdxBarControlRef self(this);
  // One animation at a time.
  dxBarStopMenuAnimations();
  if (!BarControlExists(self) || !HandleAllocated()) return;
  TAnimation& a = gAnimation;
  TRect w = GetWindowRect();
  RECT c{};
  GetClientRect(handle_, &c);
  TdxBarAnimationInput in;
  in.FinalLeft = w.left;
  in.FinalTop = w.top;
  in.FinalClientWidth = c.right - c.left;
  in.FinalClientHeight = c.bottom - c.top;
  in.FrameWidth = w.Width() - in.FinalClientWidth;
  in.FrameHeight = w.Height() - in.FinalClientHeight;
  in.FromRight = (horzDirection_ == 0 && !flippedH) || (horzDirection_ == 1 && flippedH);
  in.FromBottom = (vertDirection_ == 0 && !flippedV) || (vertDirection_ == 1 && flippedV);
  TdxBarMenuAnimations kind = animationKind_;
  if (kind == maRandom) kind = Random()() % 100 >= 50 ? maSlide : maUnfold;
  in.Kind = kind;
  a.Plan = dxBarAnimationPlan(in);
  // The finished menu, painted into memory.
  if (in.FinalClientWidth > 0 && in.FinalClientHeight > 0) {
    HDC wdc = GetDC(handle_);
    a.DC = CreateCompatibleDC(wdc);
    a.Bitmap = CreateCompatibleBitmap(wdc, in.FinalClientWidth, in.FinalClientHeight);
    ReleaseDC(handle_, wdc);
  }
  if (!a.DC || !a.Bitmap) {
    FreePicture();
    animate_ = false;
    return;
  }
  a.OldBitmap = SelectObject(a.DC, a.Bitmap);
  animate_ = false;
  try {
    PaintWindow(a.DC);
  } catch (...) {
    FreePicture();
    throw;
  }
  if (!BarControlExists(self) || !HandleAllocated()) {
    FreePicture();
    return;
  }
  animate_ = true;
  CreateLightBrush();
  animationClient_ = TSize(in.FinalClientWidth, in.FinalClientHeight);
  // Only moves from here on are real ones (a window appearing under the
  // cursor makes the system send one).
  lastMousePos_ = dxBarSystem()->GetCursorPos();
  a.Menu = self;
  a.Control = this;
  a.Wnd = handle_;
  a.Palette = lightPalette_;
  a.Pacer = dxBarAnimationPacer();
  a.Stop = false;
  a.Ended = false;
  a.Place = true;
  a.Active = true;
  a.Pacer->Started(kind, static_cast<int>(a.Plan.Frames.size()));
  a.Thread = a.Pacer->CreateWorker(dxBarMenuAnimationThreadProc);
  // Without a worker the menu shows at once at its place.
  if (!a.Thread) FinishAnimation();
}

void TdxBarSubMenuControl::AnimationFinished(bool place, const TRect& final) {
  animate_ = false;
  animationClient_ = TSize();
  if (!place || controlsLocked_ || !HandleAllocated()) return;
  SetWindowPos(handle_, nullptr, final.left, final.top, final.Width(), final.Height(),
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  if (HandleAllocated())
    RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void TdxBarSubMenuControl::AnimationDone() {
  TAnimation& a = gAnimation;
  if (a.Active && a.Control == this && a.Ended) FinishAnimation();
}
