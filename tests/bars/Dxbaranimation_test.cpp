// The menu opening animation on the menu fixture, with its frames held by
// the test: the window after frames, the finished menu, real input that
// ends it (and is then handled), a menu growing upward, closing, the
// interface thread staying responsive, random kinds and a long random run.
#include <algorithm>
#include <random>

#include "Heldframes.h"
#include "Menufixture.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

struct TAnimatedFrame : TShownMenuFrame {
  explicit TAnimatedFrame(TdxBarMenuAnimations kind = maUnfold, TRect bounds = Bounds(20, 20, 640, 420))
      : TShownMenuFrame(bounds) {
    Form->Bar1->SetMenuAnimations(kind);
  }
  TdxBarControl* MainMenu() const { return Form->MainMenu()->Control(); }
  // Opens a menu of the main menu bar as a click on its title does.
  TdxBarSubMenuControl* Open(const String& sub) {
    TdxBarControl* main = MainMenu();
    main->BarGetFocus(Title(sub));
    main->SetOpenMenu(true);
    Title(sub)->ControlClick(true);
    return Menu(sub);
  }
};

// The frames the menu's plan gives for its final window.
TdxBarAnimationPlan PlanFor(TdxBarSubMenuControl* menu, const TRect& final, bool fromBottom = false) {
  TdxBarAnimationInput in;
  in.Kind = maUnfold;
  in.FinalLeft = final.left;
  in.FinalTop = final.top;
  TRect c = menu->ClientRect();
  in.FinalClientWidth = final.Width();
  in.FinalClientHeight = final.Height() - (menu->GetWindowRect().Height() - c.Height());
  in.FrameHeight = final.Height() - in.FinalClientHeight;
  in.FromBottom = fromBottom;
  return dxBarAnimationPlan(in);
}

bool SamePixels(const TDibSurface& a, const TDibSurface& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
  return true;
}

// Down and up of keys in one go, so both wait in the queue together.
void SendKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> in;
  for (WORD k : keys)
    for (DWORD flags : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
      INPUT i{};
      i.type = INPUT_KEYBOARD;
      i.ki.wVk = k;
      i.ki.dwFlags = flags;
      in.push_back(i);
    }
  SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

}  // namespace

TEST(BarsAnimation, UnfoldsFrameByFrameAndEndsAsTheUnanimatedMenu) {
  TRect final;
  TDibSurface unanimated;
  {
    TAnimatedFrame f(maNone);
    ASSERT_TRUE(f.ClickAt(TMenuFrame::Centre(f.Title("File"))));
    ASSERT_TRUE(WaitUntil([&] { return f.MenuShown("File"); }, 2000));
    final = f.Menu("File")->GetWindowRect();
    unanimated = CaptureWindow(f.Menu("File")->Handle());
  }
  TAnimatedFrame f;
  THeldFrames frames(1);
  ASSERT_TRUE(f.ClickAt(TMenuFrame::Centre(f.Title("File"))));
  ASSERT_TRUE(WaitUntil([&] { return frames.HeldAt(1); }, 3000));
  TdxBarSubMenuControl* menu = f.Menu("File");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(AnimatedMenu(), menu);
  EXPECT_EQ(frames.Kinds, std::vector<TdxBarMenuAnimations>({maUnfold}));
  TdxBarAnimationPlan plan = PlanFor(menu, final);
  ASSERT_EQ(frames.Count, static_cast<int>(plan.Frames.size()));
  ASSERT_GE(frames.Count, 8);
  EXPECT_EQ(menu->GetWindowRect(), plan.Frames[0].Window);
  frames.HoldAfter(5);
  ASSERT_TRUE(WaitUntil([&] { return frames.HeldAt(5); }, 3000));
  EXPECT_EQ(menu->GetWindowRect(), plan.Frames[4].Window);
  int half = frames.Count / 2;
  frames.HoldAfter(half);
  ASSERT_TRUE(WaitUntil([&] { return frames.HeldAt(half); }, 3000));
  PumpFor(50);
  SaveScreenshot(f.Form->Handle(), "half_unfolded");
  frames.HoldAfter(frames.Count);
  ASSERT_TRUE(WaitUntil([&] { return frames.HeldAt(frames.Count); }, 3000));
  EXPECT_EQ(menu->GetWindowRect(), plan.Frames.back().Window);
  EXPECT_TRUE(menu->Animate());
  frames.Release();
  ASSERT_TRUE(WaitUntil([&] { return !dxBarMenuAnimating(); }, 3000));
  EXPECT_FALSE(menu->Animate());
  EXPECT_EQ(menu->GetWindowRect(), final);
  TDibSurface finished = CaptureWindow(menu->Handle());
  SaveScreenshot(f.Form->Handle(), "finished");
  EXPECT_TRUE(SamePixels(finished, unanimated));
  EXPECT_TRUE(WaitUntil([] { return !dxBarMenuAnimationThreadAlive(); }, 2000));
}

TEST(BarsAnimation, ARealMouseMoveEndsItAnUnchangedPositionDoesNot) {
  TAnimatedFrame f;
  THeldFrames frames(3);
  ASSERT_TRUE(f.ClickAt(TMenuFrame::Centre(f.Title("File"))));
  ASSERT_TRUE(WaitUntil([&] { return frames.HeldAt(3); }, 3000));
  TdxBarSubMenuControl* menu = f.Menu("File");
  // A move that changes nothing (a window appeared under the cursor).
  TPoint cursor = menu->ScreenToClient(TPoint(TMenuFrame::Centre(f.Title("File"))));
  SendMessageA(menu->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(cursor.x, cursor.y));
  EXPECT_TRUE(dxBarMenuAnimating());
  // A real one over the growing window.
  TRect w = menu->GetWindowRect();
  ASSERT_TRUE(Warp(POINT{w.left + w.Width() / 2, w.top + 10}));
  ASSERT_TRUE(WaitUntil([&] { return !dxBarMenuAnimating(); }, 1000));
  EXPECT_EQ(frames.Drawn(), 3);
  EXPECT_EQ(menu->GetWindowRect().Width(), PlanFor(menu, menu->GetWindowRect()).Final.Width());
  EXPECT_GT(menu->GetWindowRect().Height(), w.Height());
  // The move was then handled: the entry under the cursor is selected.
  EXPECT_TRUE(WaitUntil([&] { return menu->SelectedControl() == f.Form->MenuControl("File", "ButtonNew"); }, 1000));
  EXPECT_FALSE(dxBarMenuAnimationThreadAlive());
}

TEST(BarsAnimation, TwoQuickDownsSelectTheSecondEntry) {
  TAnimatedFrame f;
  THeldFrames frames(2);
  ASSERT_TRUE(f.ClickAt(TMenuFrame::Centre(f.Title("File"))));
  ASSERT_TRUE(WaitUntil([&] { return frames.HeldAt(2); }, 3000));
  TdxBarSubMenuControl* menu = f.Menu("File");
  EXPECT_EQ(menu->SelectedControl(), nullptr);
  SendKeys({VK_DOWN, VK_DOWN});
  WaitInputProcessed();
  EXPECT_FALSE(dxBarMenuAnimating());
  EXPECT_EQ(menu->SelectedControl(), f.Form->MenuControl("File", "ButtonOpen"));
}

TEST(BarsAnimation, AnEntryClickedWhileGrowingRunsOnce) {
  TAnimatedFrame f;
  THeldFrames frames(4);
  ASSERT_TRUE(f.ClickAt(TMenuFrame::Centre(f.Title("File"))));
  ASSERT_TRUE(WaitUntil([&] { return frames.HeldAt(4); }, 3000));
  TdxBarSubMenuControl* menu = f.Menu("File");
  // The first entry's place in the finished menu, inside the small window.
  TRect w = menu->GetWindowRect();
  POINT at{w.left + 12, w.top + 8};
  ASSERT_TRUE(f.ClickAt(at));
  ASSERT_TRUE(WaitUntil([&] { return !f.Form->Executed.empty(); }, 2000));
  PumpFor(200);
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ActionNew"}));
  EXPECT_FALSE(f.MenuShown("File"));
  EXPECT_FALSE(dxBarMenuAnimating());
}

TEST(BarsAnimation, AReleaseOutsideClosesNoGrowingMenu) {
  TAnimatedFrame f;
  THeldFrames frames(1);
  POINT title = TMenuFrame::Centre(f.Title("File"));
  ASSERT_TRUE(Warp(title));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(WaitUntil([&] { return frames.HeldAt(1); }, 3000));
  // Released where the menu will stand, beside the one-step window.
  TRect w = f.Menu("File")->GetWindowRect();
  ASSERT_TRUE(Warp(POINT{w.left + 60, w.top + 60}));
  EXPECT_TRUE(dxBarMenuAnimating());
  ASSERT_TRUE(MouseUp());
  WaitInputProcessed();
  EXPECT_TRUE(f.MenuShown("File"));
  frames.Release();
  ASSERT_TRUE(WaitUntil([&] { return !dxBarMenuAnimating(); }, 3000));
  PumpFor(100);
  EXPECT_TRUE(f.MenuShown("File"));
}

TEST(BarsAnimation, AMenuAboveItsTitleGrowsUpwardKeepingItsBottom) {
  TRect work = GetWorkArea(TPoint(0, 0));
  TAnimatedFrame f(maUnfold, Bounds(20, work.bottom - 120, 640, 120));
  THeldFrames frames(2);
  TRect title = TMenuFrame::ScreenRect(f.Title("File"));
  ASSERT_TRUE(f.ClickAt(TMenuFrame::Centre(f.Title("File"))));
  ASSERT_TRUE(WaitUntil([&] { return frames.HeldAt(2); }, 3000));
  TdxBarSubMenuControl* menu = f.Menu("File");
  EXPECT_EQ(menu->GetWindowRect().bottom, title.top);
  TRect small = menu->GetWindowRect();
  frames.HoldAfter(6);
  ASSERT_TRUE(WaitUntil([&] { return frames.HeldAt(6); }, 3000));
  TRect larger = menu->GetWindowRect();
  EXPECT_EQ(larger.bottom, title.top);
  EXPECT_LT(larger.top, small.top);
  SaveScreenshot(f.Form->Handle(), "upward");
  frames.Release();
  ASSERT_TRUE(WaitUntil([&] { return !dxBarMenuAnimating(); }, 3000));
  EXPECT_EQ(menu->GetWindowRect().bottom, title.top);
  EXPECT_EQ(menu->GetWindowRect(), PlanFor(menu, menu->GetWindowRect(), true).Final);
}

TEST(BarsAnimation, EscapeClosesItAndLeavesNoThread) {
  TAnimatedFrame f;
  THeldFrames frames(2);
  ASSERT_TRUE(f.ClickAt(TMenuFrame::Centre(f.Title("File"))));
  ASSERT_TRUE(WaitUntil([&] { return frames.HeldAt(2); }, 3000));
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  EXPECT_TRUE(WaitUntil([&] { return !f.MenuShown("File"); }, 2000));
  EXPECT_FALSE(dxBarMenuAnimating());
  EXPECT_FALSE(dxBarMenuAnimationThreadAlive());
  // Opened again and left to finish: its worker goes as well.
  frames.Release();
  ASSERT_TRUE(f.ClickAt(TMenuFrame::Centre(f.Title("File"))));
  ASSERT_TRUE(WaitUntil([&] { return f.MenuShown("File") && !dxBarMenuAnimating(); }, 3000));
  EXPECT_TRUE(WaitUntil([] { return !dxBarMenuAnimationThreadAlive(); }, 2000));
}

TEST(BarsAnimation, WithoutAWorkerTheMenuShowsAtOnce) {
  TAnimatedFrame f;
  THeldFrames frames(1);
  frames.NoWorker = true;
  TdxBarSubMenuControl* menu = f.Open("File");
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(IsWindowVisible(menu->Handle()));
  EXPECT_FALSE(menu->Animate());
  EXPECT_FALSE(dxBarMenuAnimating());
  TRect w = menu->GetWindowRect();
  EXPECT_EQ(w.top, TMenuFrame::ScreenRect(f.Title("File")).bottom);
  EXPECT_EQ(w, PlanFor(menu, w).Final);
  EXPECT_GT(w.Height(), 100);
}

namespace {

// Another thread posts a stamped message every 10 ms to a window of this
// one, which keeps the longest wait of each period.
class TStampedPoster {
 public:
  TStampedPoster() {
    target_ = AllocateHWnd([this](TMessage& m) {
      if (m.Msg == kStamp) {
        Worst.back() = std::max<DWORD>(Worst.back(), GetTickCount() - static_cast<DWORD>(m.WParam));
        ++Handled;
      }
      m.Result = 0;
    });
    thread_ = CreateThread(nullptr, 0, &TStampedPoster::Run, this, 0, nullptr);
  }
  ~TStampedPoster() {
    done_ = true;
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
    ProcessQueuedMessages();
    DeallocateHWnd(target_);
  }
  void NextPeriod() { Worst.push_back(0); }
  std::vector<DWORD> Worst{0};
  int Handled = 0;

 private:
  static constexpr UINT kStamp = WM_USER + 7;
  static DWORD WINAPI Run(LPVOID p) {
    auto* self = static_cast<TStampedPoster*>(p);
    while (!self->done_) {
      PostMessageA(self->target_, kStamp, GetTickCount(), 0);
      Sleep(10);
    }
    return 0;
  }
  HWND target_;
  HANDLE thread_;
  std::atomic<bool> done_{false};
};

}  // namespace

TEST(BarsAnimation, APostedMessageRunsWithin100MsWhileMenusGrow) {
  TAnimatedFrame f;
  THeldFrames frames;
  frames.FrameDelayMs = 15;
  TStampedPoster poster;
  // Each opening takes 270 ms and more; a thread that waited for the
  // frames would keep the stamps waiting that long in every one. One
  // stall of a loaded machine is forgiven.
  const int openings = 4;
  for (int i = 0; i < openings; ++i) {
    poster.NextPeriod();
    TdxBarSubMenuControl* menu = f.Open(i % 2 ? "Edit" : "File");
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !dxBarMenuAnimating(); }, 5000));
    menu->HideAll();
    PumpFor(20);
  }
  EXPECT_GT(poster.Handled, 4 * openings);
  int quick = 0;
  for (size_t i = 1; i < poster.Worst.size(); ++i) quick += poster.Worst[i] < 100;
  EXPECT_GE(quick, openings - 1) << ::testing::PrintToString(poster.Worst);
}

TEST(BarsAnimation, RandomUsesBothKinds) {
  TAnimatedFrame f(maRandom);
  THeldFrames frames;
  for (int i = 0; i < 50; ++i) {
    TdxBarSubMenuControl* menu = f.Open("File");
    ASSERT_NE(menu, nullptr);
    menu->HideAll();
  }
  ASSERT_EQ(frames.Kinds.size(), 50u);
  EXPECT_NE(std::count(frames.Kinds.begin(), frames.Kinds.end(), maSlide), 0);
  EXPECT_NE(std::count(frames.Kinds.begin(), frames.Kinds.end(), maUnfold), 0);
  EXPECT_EQ(std::count(frames.Kinds.begin(), frames.Kinds.end(), maRandom), 0);
  EXPECT_FALSE(dxBarMenuAnimating());
}

namespace {

// Ends the program with a code of its own when the scope lasts longer than
// the time given, instead of letting it run into the run's time-out.
class TWatchdog {
 public:
  explicit TWatchdog(DWORD ms) : ms_(ms) {
    finished_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &TWatchdog::Run, this, 0, nullptr);
  }
  ~TWatchdog() {
    SetEvent(finished_);
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
    CloseHandle(finished_);
  }

 private:
  static DWORD WINAPI Run(LPVOID p) {
    auto* self = static_cast<TWatchdog*>(p);
    if (WaitForSingleObject(self->finished_, self->ms_) == WAIT_TIMEOUT) {
      fprintf(stderr, "%s: hung\n", ::testing::UnitTest::GetInstance()->current_test_info()->name());
      fflush(stderr);
      TerminateProcess(GetCurrentProcess(), 0xA417);
    }
    return 0;
  }
  DWORD ms_;
  HANDLE finished_;
  HANDLE thread_;
};

}  // namespace

TEST(BarsAnimation, HundredRandomCyclesEndWithoutAHang) {
  TWatchdog watchdog(120000);
  TAnimatedFrame f(maRandom);
  THeldFrames frames;
  std::minstd_rand r(40);
  const char* titles[] = {"File", "Edit", "View", "Help"};
  for (int cycle = 0; cycle < 100; ++cycle) {
    frames.FrameDelayMs = static_cast<int>(r() % 3);
    TdxBarSubMenuControl* menu = f.Open(titles[r() % 4]);
    ASSERT_NE(menu, nullptr);
    TdxBarControlRef ref(menu);
    PumpFor(static_cast<DWORD>(r() % 20));
    for (int step = 0; step < 3 && BarControlExists(ref) && menu->HandleAllocated(); ++step) {
      TRect c = menu->ClientRect();
      switch (r() % 5) {
        case 0:
          SendMessageA(menu->Handle(), WM_KEYDOWN, VK_DOWN, 0);
          break;
        case 1:
          SendMessageA(menu->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(r() % std::max(1L, c.right), r() % std::max(1L, c.bottom)));
          break;
        case 2:
          SendMessageA(menu->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
          break;
        case 3:
          PumpFor(static_cast<DWORD>(r() % 30));
          break;
        default:
          StopMenuAnimation(menu);
          break;
      }
      PumpFor(static_cast<DWORD>(r() % 5));
    }
    if (TCustomdxBarControl* active = ActiveBarControl()) active->HideAll();
    ProcessQueuedMessages();
    ASSERT_FALSE(dxBarMenuAnimating()) << cycle;
  }
  EXPECT_TRUE(WaitUntil([] { return !dxBarMenuAnimationThreadAlive(); }, 2000));
}
