// Times the opening animation of a popup menu of 150 x 400 pixels that
// unfolds at the system's pace: from the opening to the menu standing
// finished, with the frames counted. Prints each round, then the best and
// the median.
//   menuanim_bench [ROUNDS]   (default 20)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bars/Dxbaranimation.h"
#include "bars/Dxbarcontrols.h"

namespace {

double Seconds() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// One entry that makes the menu 150 x 400: its 144 x 394 and the borders.
class TTallControl : public TdxBarButtonControl {
 public:
  using TdxBarButtonControl::TdxBarButtonControl;
  DX_BAR_CONTROL_CLASS();
  int GetWidth() override { return 144; }
  int GetHeight() override { return 394; }
};
DX_BAR_CONTROL_CLASS_IMPL(TTallControl)

// The system's pace, with the frames counted.
class TCountingPacer : public TdxBarAnimationPacer {
 public:
  void Started(TdxBarMenuAnimations, int count) override { Count = count; }
  void FrameDrawn(int frame, DWORD tick, const std::atomic<bool>& stop) override {
    Drawn = frame;
    TdxBarAnimationPacer::FrameDrawn(frame, tick, stop);
  }
  int Count = 0;
  std::atomic<int> Drawn{0};
};

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  Application->Initialize();
  TdxBarUnit bars;
  TCountingPacer pacer;
  dxBarSetAnimationPacer(&pacer);
  TdxBarItemControlClass old = dxBarReplaceItemControl(TdxBarButton::Class(), TTallControl::Class());
  auto* form = new TForm(Application);
  form->EndLoading();
  form->SetCaption("Menu animation bench");
  form->SetBounds(20, 20, 400, 300);
  auto* manager = new TdxBarManager(form);
  manager->SetMenuAnimations(maUnfold);
  auto* button = new TdxBarButton(form);
  button->SetCaption("Tall");
  auto* popup = new TdxBarPopupMenu(form);
  popup->ItemLinks()->Add()->SetItem(button);
  form->Show();
  ProcessQueuedMessages();
  std::vector<double> times;
  int failed = 0;
  for (int i = 0; i < rounds; ++i) {
    pacer.Count = 0;
    pacer.Drawn = 0;
    popup->SetDropDownMode(true);
    double t = Seconds();
    popup->Popup(100, 100);
    popup->SetDropDownMode(false);
    TdxBarSubMenuControl* menu = popup->SubMenuControl();
    while (dxBarMenuAnimating() && Seconds() - t < 10) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      ProcessQueuedMessages();
    }
    double seconds = Seconds() - t;
    TRect w = menu ? menu->GetWindowRect() : TRect();
    bool ok = menu && w.Width() == 150 && w.Height() == 400 && pacer.Count == 18 && pacer.Drawn == 18;
    if (!ok) ++failed;
    std::printf("round %2d: %d of %d frames, %dx%d, %.1f ms\n", i + 1, pacer.Drawn.load(), pacer.Count, w.Width(),
                w.Height(), seconds * 1000);
    times.push_back(seconds);
    if (menu) menu->HideAll();
    ProcessQueuedMessages();
  }
  std::sort(times.begin(), times.end());
  std::printf("unfold of 150 x 400, %d rounds: best %.1f ms, median %.1f ms\n", rounds, times.front() * 1000,
              times[times.size() / 2] * 1000);
  form->Free();
  dxBarReplaceItemControl(TdxBarButton::Class(), old);
  dxBarSetAnimationPacer(nullptr);
  return failed ? 1 : 0;
}
