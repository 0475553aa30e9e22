#include "Barstest.h"

#include <algorithm>

#include "bars/extitems/Dxbarextitems.h"

UINT_PTR TFakeBarSystem::SetTimer(UINT elapse, TIMERPROC proc) {
  Timers.push_back({nextTimer_, elapse, proc, true});
  return nextTimer_++;
}

void TFakeBarSystem::KillTimer(UINT_PTR id) {
  for (auto& t : Timers)
    if (t.Id == id) t.Live = false;
}

void TFakeBarSystem::GetKeyboardState(BYTE state[256]) {
  for (int k = 0; k < 256; ++k) state[k] = Down(k) ? 0x80 : 0;
}

COLORREF TFakeBarSystem::GetSysColor(int index) {
  auto it = Colors.find(index);
  return it != Colors.end() ? it->second : ::GetSysColor(index);
}

HHOOK TFakeBarSystem::SetHook(int idHook, HOOKPROC) {
  HHOOK h = reinterpret_cast<HHOOK>(nextHook_++);
  hooks_[h] = idHook;
  HookCalls.push_back("set " + IntToStr(idHook));
  return h;
}

void TFakeBarSystem::RemoveHook(HHOOK hook) { HookCalls.push_back("remove " + IntToStr(hooks_[hook])); }

int TFakeBarSystem::LiveTimers(UINT elapse) const {
  return static_cast<int>(
      std::count_if(Timers.begin(), Timers.end(), [&](const TTimer& t) { return t.Live && t.Elapse == elapse; }));
}

bool TFakeBarSystem::Fire(UINT elapse) {
  for (size_t i = Timers.size(); i-- > 0;)
    if (Timers[i].Live && Timers[i].Elapse == elapse) {
      TTimer t = Timers[i];
      t.Proc(nullptr, WM_TIMER, t.Id, 0);
      return true;
    }
  return false;
}

TdxBarButton* TBarsForm::Button(const String& name, const String& caption) {
  auto* b = new TdxBarButton(this);
  b->SetName(name);
  if (!caption.empty()) b->SetCaption(caption);
  return b;
}

TdxBarSubItem* TBarsForm::SubItem(const String& name, const String& caption) {
  auto* s = new TdxBarSubItem(this);
  s->SetName(name);
  if (!caption.empty()) s->SetCaption(caption);
  return s;
}

TdxBar* TBarsForm::AddBar(const String& caption) {
  TdxBar* bar = Manager->Bars()->Add();
  bar->SetCaption(caption);
  return bar;
}

// ---------------------------------------------------------------- controls

DX_BAR_CONTROL_CLASS_IMPL(TCountingButtonControl)

int BarTextWidth(TCustomdxBarControl* bar, const String& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bar->Canvas()->Font()->Handle());
  SIZE s{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &s);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return s.cx;
}

std::map<String, int>& TCountingButtonControl::Counts() {
  static std::map<String, int> counts;
  return counts;
}

void TCountingButtonControl::CaptionChanged() {
  ++Counts()[Item()->Name() + " CaptionChanged"];
  TdxBarButtonControl::CaptionChanged();
}

void TCountingButtonControl::EnabledChanged() {
  ++Counts()[Item()->Name() + " EnabledChanged"];
  TdxBarButtonControl::EnabledChanged();
}

namespace {

// The bars unit and its extended items run for the whole program, as in
// the application.
class TBarsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    dxBarExtItemsInitialize();
    Application->Title = "Nembra";
  }
  void TearDown() override { dxBarExtItemsFinalize(); }
};

[[maybe_unused]] ::testing::Environment* const gEnvironment = ::testing::AddGlobalTestEnvironment(new TBarsEnvironment);

}  // namespace
