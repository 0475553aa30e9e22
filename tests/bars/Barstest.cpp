#include "Barstest.h"

#include <algorithm>

UINT_PTR TFakeBarSystem::SetTimer(UINT elapse, TIMERPROC proc) {
  Timers.push_back({nextTimer_, elapse, proc, true});
  return nextTimer_++;
}

void TFakeBarSystem::KillTimer(UINT_PTR id) {
  for (auto& t : Timers)
    if (t.Id == id) t.Live = false;
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

// ---------------------------------------------------------------- stand-in controls

DX_BAR_CONTROL_CLASS_IMPL(TStandInButtonControl)
DX_BAR_CONTROL_CLASS_IMPL(TStandInSubItemControl)
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

namespace {

bool InMenu(TdxBarItemControl* c) { return dynamic_cast<TdxBarSubMenuControl*>(c->Parent()) != nullptr; }
bool OnVerticalBar(TdxBarItemControl* c) { return IsToolbarControlVertical(c->Parent()); }

}  // namespace

TdxBarPaintStyle TStandInButtonControl::EffectivePaintStyle() {
  TdxBarPaintStyle ps = PaintStyle();
  if ((ps == psStandard || ps == psCaptionInMenu) && !ImageExists()) return psCaption;
  return ps;
}

int TStandInButtonControl::DefaultWidth() {
  TdxBarManager* m = BarManager();
  int caption = BarTextWidth(parent_, GetTextOf(GetCaption()));
  int w;
  if (InMenu(this)) {
    int ts = parent_->TextSize();
    w = caption + 2 * ts + 3 + 3 + (Flat() ? 9 : 0);
  } else {
    switch (EffectivePaintStyle()) {
      case psCaption: w = caption + parent_->Canvas()->Font()->Size(); break;
      case psCaptionGlyph: w = caption + (OnVerticalBar(this) ? m->ButtonHeight() : m->ButtonWidth()) + 4; break;
      default: w = m->ButtonWidth(); break;
    }
  }
  auto* b = dynamic_cast<TdxBarButton*>(Item());
  return w + (b && b->Lowered() ? 2 : 0);
}

int TStandInButtonControl::DefaultHeight() {
  TdxBarManager* m = BarManager();
  int h;
  if (InMenu(this)) {
    h = parent_->TextSize() + (Flat() ? 2 : 0);
  } else {
    switch (EffectivePaintStyle()) {
      case psCaption:
      case psCaptionGlyph:
        h = std::max(parent_->TextSize(), OnVerticalBar(this) ? m->ButtonWidth() : m->ButtonHeight());
        break;
      default: h = m->ButtonHeight(); break;
    }
  }
  auto* b = dynamic_cast<TdxBarButton*>(Item());
  return h + (b && b->Lowered() ? 2 : 0);
}

int TStandInButtonControl::GetWidth() {
  TdxBarPaintStyle ps = EffectivePaintStyle();
  bool swap = OnVerticalBar(this) && (ps == psCaption || ps == psCaptionGlyph);
  int w = swap ? DefaultHeight() : DefaultWidth();
  auto* b = dynamic_cast<TdxBarButton*>(Item());
  if (!InMenu(this) && b && b->ButtonStyle() == bsDropDown) w += BarManager()->RealButtonArrowWidth();
  return w;
}

int TStandInButtonControl::GetHeight() {
  TdxBarPaintStyle ps = EffectivePaintStyle();
  bool swap = OnVerticalBar(this) && (ps == psCaption || ps == psCaptionGlyph);
  return swap ? DefaultWidth() : DefaultHeight();
}

void TStandInButtonControl::Paint(const TRect& r, TdxBarPaintType paintType) {
  if (r.Empty()) return;
  auto* b = dynamic_cast<TdxBarButton*>(Item());
  bool down = b && b->Down();
  HDC dc = CanvasHandle();
  if (paintType == ptMenu) {
    DrawGlyphAndTextInSubMenu(dc, r, DrawSelected(), true, down);
    return;
  }
  bool selected = DrawSelected();
  bool pressedLook = (selected && parent_->IsActive() && MousePressed()) || (Pressed() && b && b->ButtonStyle() != bsChecked);
  TdxBarPaintStyle ps = EffectivePaintStyle();
  DrawGlyph(r, nullptr, paintType, ps == psCaption, selected, down, pressedLook, false, false, false);
  if (ps != psCaption && ps != psCaptionGlyph) return;
  TdxBarManager* m = BarManager();
  int points = parent_->Canvas()->Font()->Size();
  TRect text = r;
  if (paintType == ptVert)
    text.top += ps == psCaption ? points / 2 : m->ButtonHeight();
  else
    text.left += ps == psCaption ? points / 2 : m->ButtonWidth();
  if (!Flat()) {
    int shift = (down ? 1 : 0) + (pressedLook ? 1 : 0);
    text = TRect(text.left + shift, text.top + shift, text.right + shift, text.bottom + shift);
  }
  bool flatSelected = Flat() && (pressedLook || (down && selected));
  DrawItemText(dc, GetCaption(), text, 0, GetEnabled(), flatSelected || (!Flat() && false), paintType == ptVert, false,
               Flat() && !flatSelected);
}

int TStandInSubItemControl::CaptionOffset() {
  auto* bar = dynamic_cast<TdxBarControl*>(parent_);
  if (Flat() && bar && bar->Bar() && bar->Bar()->IsMainMenu()) return 8;
  return -parent_->Canvas()->Font()->Height() / 2;
}

int TStandInSubItemControl::GetWidth() {
  if (InMenu(this)) {
    int ts = parent_->TextSize();
    return BarTextWidth(parent_, GetTextOf(GetCaption())) + 2 * ts + 3 + (Flat() ? 9 : 0);
  }
  if (OnVerticalBar(this)) return parent_->TextSize();
  auto* bar = dynamic_cast<TdxBarControl*>(parent_);
  int w = BarTextWidth(parent_, GetTextOf(GetCaption())) + 2 * CaptionOffset();
  if (!(bar && bar->Bar() && bar->Bar()->IsMainMenu())) w += parent_->TextSize() / 2;
  return w;
}

int TStandInSubItemControl::GetHeight() {
  if (InMenu(this)) return parent_->TextSize() + (Flat() ? 2 : 0);
  if (OnVerticalBar(this)) {
    auto* bar = dynamic_cast<TdxBarControl*>(parent_);
    int w = BarTextWidth(parent_, GetTextOf(GetCaption())) + 2 * CaptionOffset();
    if (!(bar && bar->Bar() && bar->Bar()->IsMainMenu())) w += parent_->TextSize() / 2;
    return w;
  }
  return parent_->TextSize();
}

void TStandInSubItemControl::Paint(const TRect& r, TdxBarPaintType paintType) {
  if (r.Empty()) return;
  HDC dc = CanvasHandle();
  bool selected = DrawSelected();
  if (paintType == ptMenu) {
    DrawGlyphAndTextInSubMenu(dc, r, selected, true, false);
    return;
  }
  DrawGlyph(r, nullptr, paintType, true, selected, false, false, false, false, true);
  TRect text = r;
  if (paintType == ptVert)
    text.top += CaptionOffset();
  else
    text.left += CaptionOffset();
  DrawItemText(dc, GetCaption(), text, 0, GetEnabled(), selected && !Flat(), paintType == ptVert, false, Flat());
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

// The bars unit runs for the whole program, as in the application.
class TBarsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    dxBarInitialize();
    Application->Title = "Nembra";
  }
  void TearDown() override { dxBarFinalize(); }
};

[[maybe_unused]] ::testing::Environment* const gEnvironment = ::testing::AddGlobalTestEnvironment(new TBarsEnvironment);

}  // namespace
