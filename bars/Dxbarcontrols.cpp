#include "Dxbarcontrols.h"

#include <algorithm>

namespace {
std::vector<String> gCalls;
uint64_t gNextSerial = 0;
}  // namespace

std::vector<String>& dxBarStandInCalls() { return gCalls; }

void dxBarRecordCall(const String& who, const String& call) {
  // Kept short: a long run records many calls, the tests look at few.
  if (gCalls.size() >= 100000) gCalls.erase(gCalls.begin(), gCalls.begin() + 50000);
  gCalls.push_back(who + ": " + call);
}

int dxBarCallCount(const String& who, const String& call) {
  String line = who + ": " + call;
  return static_cast<int>(std::count(gCalls.begin(), gCalls.end(), line));
}

// ---------------------------------------------------------------- TCustomdxBarControl

TCustomdxBarControl::TCustomdxBarControl(TdxBarManager* manager) : manager_(manager), serial_(++gNextSerial) {
  RegisterBarControl(this);
}

TCustomdxBarControl::~TCustomdxBarControl() {
  destroying_ = true;
  if (ActiveBarControl() == this) SetActiveBarControl(nullptr);
  if (manager_ && manager_->FocusedBarControl() == this) manager_->SetFocusedBarControl(nullptr);
  UnregisterBarControl(this);
}

void TCustomdxBarControl::SetIsActive(bool value) {
  if (value == isActive_) return;
  isActive_ = value;
  if (value)
    SetActiveBarControl(this);
  else if (ActiveBarControl() == this)
    SetActiveBarControl(nullptr);
}

void TCustomdxBarControl::SetDockingStyle(TdxBarDockingStyle value) { dockingStyle_ = value; }

TdxBarItemControl* TCustomdxBarControl::ItemAtPos(TPoint p) const {
  if (!itemLinks_) return nullptr;
  for (int i = 0; i < itemLinks_->VisibleItemCount(); ++i) {
    TdxBarItemLink* link = itemLinks_->VisibleItems(i);
    if (link->Control() && link->ItemRect().Contains(p)) return link->Control();
  }
  return nullptr;
}

TRect TCustomdxBarControl::GetItemScreenRect(TdxBarItemControl* control) const {
  if (!control) return TRect();
  TRect r = control->ItemLink()->ItemRect();
  TPoint a = ClientToScreen(r.TopLeft()), b = ClientToScreen(r.BottomRight());
  return TRect(a.x, a.y, b.x, b.y);
}

void TCustomdxBarControl::CreateControls() {
  if (!itemLinks_) return;
  for (int i = 0; i < itemLinks_->CanVisibleItemCount(); ++i) itemLinks_->CanVisibleItems(i)->CreateControl();
}

void TCustomdxBarControl::DestroyControls() {
  if (!itemLinks_) return;
  for (int i = 0; i < itemLinks_->Count(); ++i) itemLinks_->Items(i)->DestroyControl();
}

void TCustomdxBarControl::RepaintBar() { Record("RepaintBar"); }

void TCustomdxBarControl::HideAll() {
  Record("HideAll");
  SetIsActive(false);
}

void TCustomdxBarControl::PostRepaint() { Record("PostRepaint"); }

// ---------------------------------------------------------------- TdxBarControl

TdxBarControl::TdxBarControl(TdxBarManager* manager, TdxBar* bar) : TCustomdxBarControl(manager), bar_(bar) {
  Record("Create");
}

TdxBarControl::~TdxBarControl() {
  destroying_ = true;
  if (dockControl_) dockControl_->DeleteBarControl(this, false);
  DestroyControls();
  Record("Destroy");
}

String TdxBarControl::Who() const { return "Bar " + (bar_ ? bar_->Caption() : String()); }

void TdxBarControl::SetDockingStyle(TdxBarDockingStyle value) {
  if (value == dockingStyle_) return;
  TCustomdxBarControl::SetDockingStyle(value);
  Record("SetDockingStyle");
}

void TdxBarControl::SetPos(int left, int top) {
  left_ = left;
  top_ = top;
  TPoint origin = dockControl_ && dockingStyle_ != dsNone ? dockControl_->ClientToScreen(TPoint(left, top))
                                                          : TPoint(left, top);
  screenRect_ = Bounds(origin.x, origin.y, size_.cx, size_.cy);
}

void TdxBarControl::ShowNA() {
  visible_ = true;
  Record("ShowNA");
  // A window that was moved to another side tells its bar, as the toolbar
  // window does when its position changes.
  if (InternallyLocked() || !bar_ || destroying_) return;
  bool moved = bar_->DockingStyle() != dockingStyle_ || (dockingStyle_ != dsNone && bar_->RealDockControl() != dockControl_);
  if (moved) bar_->ChangeDockingStyle(dockingStyle_, dockControl_);
}

void TdxBarControl::HideWindow() {
  visible_ = false;
  Record("Hide");
}

void TdxBarControl::CaptionChanged() { Record("CaptionChanged"); }
void TdxBarControl::BarManagerStyleChanged() { Record("BarManagerStyleChanged"); }
void TdxBarControl::FrameChanged() { Record("FrameChanged"); }

void TdxBarControl::RebuildBar() {
  FrameChanged();
  RepaintBar();
}

void TdxBarControl::RepaintBar() {
  if (bar_ && bar_->LockUpdate()) return;
  Record("RepaintBar");
}

void TdxBarControl::FontChanged() { Record("FontChanged"); }

void TdxBarControl::ChangeStyleWinTo(TdxBarDockingStyle style, TdxDockControl* dockControl) {
  dockControl_ = style == dsNone ? nullptr : dockControl;
  SetDockingStyle(style);
  Record("ChangeStyleWinTo");
}

TSize TdxBarControl::GetTrackSize(TdxBarDockingStyle style) const {
  if (style == dsNone && bar_ && bar_->FloatClientWidth() > 0)
    return TSize(bar_->FloatClientWidth() + bar_->BarNCSizeX(dsNone),
                 bar_->FloatClientHeight() + bar_->BarNCSizeY(dsNone));
  return size_;
}

TPoint TdxBarControl::GetDragPointOffset(TdxBarDockingStyle style) const {
  if (manager_ && manager_->Bars()->MovingBarControl() == this && style == manager_->Bars()->MovingStartStyle())
    return manager_->Bars()->CursorOffset();
  return TPoint(0, 0);
}

void TdxBarControl::SetMoving(bool value) {
  moving_ = value;
  if (manager_) manager_->Bars()->SetMovingBarControl(value ? this : nullptr);
  Record(value ? "SetMoving True" : "SetMoving False");
  if (!value) SavePos();
}

void TdxBarControl::SavePos() {
  if (!bar_ || !bar_->Visible() || moving_ || !manager_ || manager_->IsDestroying()) return;
  if (dockingStyle_ != dsNone) {
    bar_->SetDockedDockingStyle(dockingStyle_);
    auto* placed = dynamic_cast<TdxBarDockControl*>(dockControl_);
    bar_->SetDockedDockControl(placed);
    bar_->SetDockedLeft(left_);
    bar_->SetDockedTop(top_);
  } else {
    bar_->SetFloatLeft(left_);
    bar_->SetFloatTop(top_);
    bar_->SetFloatClientWidth(size_.cx - bar_->BarNCSizeX(dsNone));
    bar_->SetFloatClientHeight(size_.cy - bar_->BarNCSizeY(dsNone));
  }
  Record("SavePos");
}

String TdxBarSubMenuControl::Who() const {
  auto* item = ItemLinks() ? dynamic_cast<TdxBarItem*>(ItemLinks()->Owner()) : nullptr;
  return "Menu " + (item ? item->Name() : String());
}

// ---------------------------------------------------------------- item controls

DX_BAR_CONTROL_CLASS_IMPL(TdxBarItemControl)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarButtonControl)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarSubItemControl)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarContainerItemControl)

TdxBarItemControl::TdxBarItemControl(TdxBarItemLink* link) : link_(link), parent_(link->BarControl()) {}

TdxBarItemControl::~TdxBarItemControl() {
  if (parent_ && parent_->SelectedControl() == this) parent_->SetSelectedControl(nullptr);
  if (TdxBarManager* m = BarManager()) m->ItemControlDestroyed(this);
}

TdxBarItem* TdxBarItemControl::Item() const { return link_ ? link_->Item() : nullptr; }
TdxBarManager* TdxBarItemControl::BarManager() const { return link_ ? link_->BarManager() : nullptr; }

String TdxBarItemControl::Who() const {
  TdxBarItem* item = Item();
  return "Control " + (item ? item->Name() : String());
}

void TdxBarItemControl::BeginGroupChanged() { Record("BeginGroupChanged"); }
void TdxBarItemControl::CaptionChanged() { Record("CaptionChanged"); }

void TdxBarItemControl::EnabledChanged() {
  if (!GetEnabled() && parent_ && parent_->SelectedControl() == this) parent_->SetSelectedControl(nullptr);
  Record("EnabledChanged");
}

void TdxBarItemControl::GlyphChanged() { Record("GlyphChanged"); }
void TdxBarItemControl::ShortCutChanged() { Record("ShortCutChanged"); }
void TdxBarItemControl::VisibleChanged() { Record("VisibleChanged"); }
void TdxBarItemControl::AlignChanged() { Record("AlignChanged"); }
bool TdxBarItemControl::GetEnabled() const { return Item() ? Item()->Enabled() : false; }
String TdxBarItemControl::GetHint() const { return Item() ? Item()->Hint() : String(); }
TShortCut TdxBarItemControl::GetShortCut() const { return Item() ? Item()->ShortCut() : 0; }
void TdxBarItemControl::Repaint() { Record("Repaint"); }

void TdxBarButtonControl::ButtonStyleChanged() { Record("ButtonStyleChanged"); }
void TdxBarButtonControl::DownChanged() { Record("DownChanged"); }
void TdxBarButtonControl::DropDownEnabledChanged() { Record("DropDownEnabledChanged"); }
void TdxBarButtonControl::PaintStyleChanged() { Record("PaintStyleChanged"); }
TdxBarPaintStyle TdxBarButtonControl::PaintStyle() const { return link_ ? link_->PaintStyle() : psStandard; }

// ---------------------------------------------------------------- dock sites

TdxDockControl::TdxDockControl(TComponent* owner) : TComponent(owner) {}

TdxDockControl::TdxDockControl(TComponent* owner, TdxBarManager* manager, TdxBarDockingStyle style)
    : TComponent(owner), manager_(manager), main_(true), style_(style) {}

TdxDockControl::~TdxDockControl() {
  while (!bars_.empty()) bars_.back()->SetDockControl(nullptr), bars_.pop_back();
  if (manager_) manager_->RemoveDockControl(this);
}

void TdxDockControl::SetBarManager(TdxBarManager* value) {
  if (value == manager_) return;
  if (manager_) manager_->RemoveDockControl(this);
  manager_ = value;
  if (manager_) manager_->AddDockControl(this);
  ColorChanged();
}

String TdxDockControl::Who() const {
  static const char* const names[] = {"None", "Left", "Top", "Right", "Bottom"};
  return main_ ? String("Dock ") + names[style_] : "Dock " + Name();
}

void TdxDockControl::AddBarControl(TdxBarControl* barControl, TPoint p, bool update) {
  if (std::find(bars_.begin(), bars_.end(), barControl) == bars_.end()) bars_.push_back(barControl);
  barControl->SetDockControl(this);
  TPoint c = ScreenToClient(p);
  barControl->SetPos(c.x, c.y);
  Record("AddBarControl");
  if (update) UpdateDock();
}

void TdxDockControl::DeleteBarControl(TdxBarControl* barControl, bool update) {
  auto it = std::find(bars_.begin(), bars_.end(), barControl);
  if (it == bars_.end()) return;
  bars_.erase(it);
  barControl->SetDockControl(nullptr);
  Record("DeleteBarControl");
  if (update) UpdateDock();
}

void TdxDockControl::MoveBarControl(TdxBarControl* barControl, TPoint p) {
  DeleteBarControl(barControl, false);
  AddBarControl(barControl, p, true);
}

void TdxDockControl::UpdateDock() {
  if (!manager_ || manager_->LockUpdate()) return;
  Record("UpdateDock");
}

void TdxDockControl::AssignPositions() { Record("AssignPositions"); }

void TdxDockControl::NCChanged() {
  Record("NCChanged");
  UpdateDock();
}

void TdxDockControl::ColorChanged() { Record("ColorChanged"); }
void TdxDockControl::SetRedraw(bool value) { Record(value ? "SetRedraw True" : "SetRedraw False"); }
void TdxDockControl::NCPaint() { Record("NCPaint"); }

void TdxBarDockControl::SetAlign(TdxBarDockAlign value) { align_ = value; }

TdxBarDockingStyle TdxBarDockControl::DockingStyle() const {
  switch (align_) {
    case dalLeft: return dsLeft;
    case dalRight: return dsRight;
    case dalBottom: return dsBottom;
    default: return dsTop;
  }
}
