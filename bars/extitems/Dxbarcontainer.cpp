// The control container item: a control of the form shown on a bar or in a
// menu through the item's place, which sits in the bar window at the link
// placed last and waits under the bars' parking window otherwise; without a
// control, a hatched placeholder.
#include "Dxbarcontainer.h"
#include "Dxbarstatic.h"

#include <algorithm>

#include "bars/Dxbarstrs.h"

DX_BAR_ITEM_CLASS_IMPL(TdxBarControlContainerItem)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarControlContainerControl)

namespace {

// The place: a borderless form that is a child of the window it is put in.
class TdxBarControlContainerPlace : public TForm {
 public:
  TdxBarControlContainerPlace() : TForm(nullptr) {
    SetBorderStyle(bsNone);
    SetVisible(false);
    EndLoading();
  }

 protected:
  void CreateParams(TCreateParams& params) override {
    TForm::CreateParams(params);
    params.Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    params.ExStyle = 0;
  }
};

COLORREF BrushColor(HBRUSH brush) {
  LOGBRUSH lb{};
  if (!brush || !GetObjectA(brush, sizeof lb, &lb)) return GetSysColor(COLOR_BTNFACE);
  return lb.lbColor;
}

// Where a hidden place waits: its manager's parking window.
HWND ParkingWindowOf(TdxBarItem* item) {
  TdxBarManager* m = item ? item->BarManager() : nullptr;
  return m ? m->ParkingWindow() : nullptr;
}

}  // namespace

// ---------------------------------------------------------------- item

TdxBarControlContainerItem::TdxBarControlContainerItem(TComponent* owner) : TdxBarItem(owner) {
  place_ = new TdxBarControlContainerPlace;
}

TdxBarControlContainerItem::~TdxBarControlContainerItem() {
  SetControl(nullptr);
  for (int i = 0; i < LinkCount(); ++i)
    if (TdxBarItemControl* c = Links(i)->Control()) HideControl(c);
  TForm* place = place_;
  place_ = nullptr;
  place->Free();
}

bool TdxBarControlContainerItem::IsControlAssigned(TControl* control) const {
  TdxBarManager* m = BarManager();
  if (!m || !control) return false;
  for (int i = 0; i < m->ItemCount(); ++i) {
    auto* other = dynamic_cast<TdxBarControlContainerItem*>(m->Items(i));
    if (other && other != this && other->Control() == control) return true;
  }
  return false;
}

void TdxBarControlContainerItem::SetControl(TControl* value) {
  if (value && IsControlAssigned(value))
    throw Exception("You cannot assign the same control to more than one TdxBarControlContainerItem.");
  if (value == control_) return;
  ReleaseControl();
  control_ = value;
  if (control_) {
    control_->FreeNotification(this);
    savedWndProc_ = control_->WindowProc;
    control_->WindowProc = {this, &TdxBarControlContainerItem::ControlWndProc};
    SaveControlSize();
  }
  if (!IsDestroying()) UpdateEx();
}

void TdxBarControlContainerItem::ReleaseControl() {
  TControl* old = control_;
  if (!old) return;
  control_ = nullptr;
  // A control being freed is told nothing: its own members may be gone.
  if (!old->IsDestroying()) {
    // Its own procedure back, unless another object replaced ours meanwhile.
    if (old->WindowProc == TWndMethod(this, &TdxBarControlContainerItem::ControlWndProc)) old->WindowProc = savedWndProc_;
    old->RemoveFreeNotification(this);
    TdxBarManager* m = BarManager();
    if (!(m && m->IsDesigning())) old->SetParent(nullptr);
  }
  savedWndProc_ = nullptr;
  if (place_) {
    place_->SetVisible(false);
    place_->SetParentWindow(ParkingWindowOf(this));
  }
}

void TdxBarControlContainerItem::SaveControlSize() {
  if (!control_) return;
  savedWidth_ = control_->Width();
  savedHeight_ = control_->Height();
}

void TdxBarControlContainerItem::ControlWndProc(TMessage& msg) {
  TControl* control = control_;
  if (savedWndProc_) {
    TWndMethod saved = savedWndProc_;
    saved(msg);
  }
  // Resized while no link shows it in place: the bars measure again.
  if (control != control_ || !control_ || control_->IsDestroying() || GetInPlaceControl()) return;
  bool sized = msg.Msg == WM_SIZE || (msg.Msg == WM_WINDOWPOSCHANGED && msg.LParam == 0);
  if (!sized || (control_->Width() == savedWidth_ && control_->Height() == savedHeight_)) return;
  SaveControlSize();
  UpdateEx();
}

bool TdxBarControlContainerItem::GetInPlaceControl() const {
  for (int i = 0; i < LinkCount(); ++i)
    if (auto* c = dynamic_cast<TdxBarControlContainerControl*>(Links(i)->Control()); c && c->Placing()) return true;
  return false;
}

bool TdxBarControlContainerItem::HasAccel(TdxBarItemLink* link) const {
  auto* c = link ? dynamic_cast<TdxBarControlContainerControl*>(link->Control()) : nullptr;
  return c && c->ParentIsQuickCustControl() && TdxBarItem::HasAccel(link);
}

void TdxBarControlContainerItem::HideControl(TdxBarItemControl* control) {
  auto* c = dynamic_cast<TdxBarControlContainerControl*>(control);
  if (!c || !place_ || !c->IsShowingControl()) return;
  place_->SetVisible(false);
  place_->SetParentWindow(ParkingWindowOf(this));
}

void TdxBarControlContainerItem::Notification(TComponent* component, TOperation operation) {
  TdxBarItem::Notification(component, operation);
  if (operation == opRemove && component && component == control_) SetControl(nullptr);
}

void TdxBarControlContainerItem::SetName(const String& name) {
  TdxBarItem::SetName(name);
  if (!control_ && !IsLoading()) UpdateEx();
}

// ---------------------------------------------------------------- control

TdxBarControlContainerControl::~TdxBarControlContainerControl() {
  if (TdxBarControlContainerItem* item = Container()) item->HideControl(this);
}

bool TdxBarControlContainerControl::ShowsControl() {
  TdxBarControlContainerItem* item = Container();
  TdxBarManager* m = BarManager();
  return !ParentIsQuickCustControl() && item && item->Control() && !(m && m->IsDesigning());
}

bool TdxBarControlContainerControl::IsShowingControl() {
  TdxBarControlContainerItem* item = Container();
  return item && item->Control() && item->Place() && parent_ && parent_->HandleAllocated() &&
         item->Place()->ParentWindow() == parent_->Handle();
}

bool TdxBarControlContainerControl::CanSelect() {
  TdxBarManager* m = BarManager();
  return ParentIsQuickCustControl() || (m && m->IsDesigning());
}

void TdxBarControlContainerControl::BeforeDestroyParentHandle() {
  TdxBarItemControl::BeforeDestroyParentHandle();
  // The place and the control keep their windows under the parking window
  // (a list box keeps its entries and its selection there).
  TdxBarControlContainerItem* item = Container();
  if (!item || !IsShowingControl()) return;
  item->Place()->SetVisible(false);
  item->Place()->SetParentWindow(ParkingWindowOf(item));
  // Another link shown takes the control back.
  for (int i = 0; i < item->LinkCount(); ++i) {
    TdxBarItemLink* link = item->Links(i);
    TdxBarItemControl* c = link->Control();
    if (!c || c == this || !c->Parent() || c->Parent() == parent_ || !c->Parent()->HandleAllocated()) continue;
    TRect r = link->ItemRect();
    if (!r.Empty()) InvalidateRect(c->Parent()->Handle(), &r, FALSE);
  }
}

int TdxBarControlContainerControl::GetHeight() {
  TdxBarControlContainerItem* item = Container();
  if (item && item->Control() && !ParentIsQuickCustControl()) return item->Control()->Height();
  if (!parent_) return 0;
  int h = parent_->TextSize();
  TdxBarManager* m = BarManager();
  if (dynamic_cast<TdxBarControl*>(parent_) && m) h = std::max(h, m->ButtonHeight());
  return h;
}

int TdxBarControlContainerControl::GetWidth() {
  TdxBarControlContainerItem* item = Container();
  if (item && item->Control()) return item->Control()->Width();
  if (!parent_ || !item) return 0;
  int w = dxBarExtTextWidth(parent_, item->Name());
  if (dynamic_cast<TdxBarSubMenuControl*>(parent_)) return w + 2 * parent_->TextSize() + (Flat() ? 15 : 6);
  return w + parent_->Canvas()->Font()->Size();
}

bool TdxBarControlContainerControl::PlaceTaken() {
  TdxBarControlContainerItem* item = Container();
  TForm* place = item ? item->Place() : nullptr;
  HWND holder = place ? place->ParentWindow() : nullptr;
  if (!holder || !parent_ || holder == parent_->Handle() || !IsWindow(holder) || !IsWindowVisible(holder)) return false;
  // A link that shows the control elsewhere keeps it, except from an open
  // menu: taking it back on every exposure would move it to and fro.
  auto* other = dynamic_cast<TCustomdxBarControl*>(TObjectWindowClass::ObjectOf(holder));
  if (!other) return false;
  bool menuHere = dynamic_cast<TdxBarSubMenuControl*>(parent_) != nullptr;
  bool menuThere = dynamic_cast<TdxBarSubMenuControl*>(other) != nullptr;
  return !(menuHere && !menuThere);
}

void TdxBarControlContainerControl::PlaceControl() {
  TdxBarControlContainerItem* item = Container();
  TForm* place = item ? item->Place() : nullptr;
  TControl* control = item ? item->Control() : nullptr;
  if (!place || !control || !parent_ || !parent_->HandleAllocated() || !link_) return;
  placing_ = true;
  try {
    TRect r = link_->ItemRect();
    bool shown = !r.Empty();
    if (shown || item->LinkCount() == 1) place->SetParentWindow(parent_->Handle());
    if (shown || place->ParentWindow() == parent_->Handle()) place->SetBoundsRect(r);
    auto* windowed = dynamic_cast<TWinControl*>(control);
    if (control->Parent() != place) control->SetParent(place);
    if (shown) {
      // In a menu the row is as wide as the menu: the control keeps its
      // own width there, so its toolbar's layout does not change with it.
      TRect c = place->ClientRect();
      if (dynamic_cast<TdxBarSubMenuControl*>(parent_)) c.right = c.left + std::min(c.Width(), control->Width());
      control->SetBoundsRect(c);
      control->SetVisible(true);
    }
    HBRUSH brush = parent_->ItemBrush() ? parent_->ItemBrush() : parent_->GetToolbarBrush();
    place->SetColor(static_cast<TColor>(BrushColor(brush)));
    place->SetVisible(true);
    if (windowed && place->HandleAllocated() && shown)
      SetWindowPos(place->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  } catch (...) {
    placing_ = false;
    throw;
  }
  placing_ = false;
}

void TdxBarControlContainerControl::Paint(const TRect& r, TdxBarPaintType paintType) {
  if (ShowsControl()) {
    if (PlaceTaken()) {
      HBRUSH background = parent_->ItemBrush() ? parent_->ItemBrush() : parent_->GetToolbarBrush();
      if (!r.Empty()) FillRect(CanvasHandle(), &r, background);
    } else if (!placing_) {
      PlaceControl();
    }
    return;
  }
  PaintPlaceholder(r, paintType);
}

void TdxBarControlContainerControl::PaintPlaceholder(const TRect& rect, TdxBarPaintType paintType) {
  if (rect.Empty() || !parent_) return;
  HDC dc = CanvasHandle();
  TRect r = rect;
  COLORREF shadow = dxBarSysColor(COLOR_BTNSHADOW);
  HBRUSH frame = CreateSolidBrush(shadow);
  FrameRect(dc, &r, frame);
  DeleteObject(frame);
  InflateRect(&r, -1, -1);
  HBRUSH background = parent_->ItemBrush() ? parent_->ItemBrush() : parent_->GetToolbarBrush();
  HBRUSH hatch = CreateHatchBrush(HS_BDIAGONAL, shadow);
  COLORREF oldBk = SetBkColor(dc, BrushColor(background));
  int oldMode = SetBkMode(dc, OPAQUE);
  FillRect(dc, &r, hatch);
  SetBkMode(dc, oldMode);
  SetBkColor(dc, oldBk);
  DeleteObject(hatch);
  TdxBarControlContainerItem* item = Container();
  String name = item ? (item->Control() ? item->Control()->Name() : item->Name()) : String();
  DrawItemText(dc, dxBarLoadStr(dxSBAR_PLACEFORCONTROL) + name, r, 1, true, false, paintType == ptVert, true,
               Flat());
}
