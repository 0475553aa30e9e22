// The menu window: layout in one column, placement beside the opener in the
// work area, scrolling, recently used entries first with the expand mark
// and its timers, the detach caption, container items expanded in place,
// keys, and painting in the three styles.
#include <algorithm>

#include "Dxbaranimation.h"
#include "Dxbarcontrols.h"

#include <windowsx.h>

namespace {

// The menus' thread timers: scrolling (kind 1) and expanding (kinds 2, 3).
struct TMenuTimer {
  UINT_PTR Id;
  TdxBarControlRef Menu;
  int Kind;
};
std::vector<TMenuTimer>* gMenuTimers = nullptr;

std::vector<TMenuTimer>& MenuTimers() {
  if (!gMenuTimers) gMenuTimers = new std::vector<TMenuTimer>;
  return *gMenuTimers;
}

void CALLBACK MenuTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  CallGuarded([&] {
    auto& timers = MenuTimers();
    auto it = std::find_if(timers.begin(), timers.end(), [&](const TMenuTimer& t) { return t.Id == id; });
    if (it == timers.end()) return;
    TMenuTimer t = *it;
    if (!BarControlExists(t.Menu)) {
      timers.erase(it);
      dxBarSystem()->KillTimer(id);
      return;
    }
    auto* menu = static_cast<TdxBarSubMenuControl*>(t.Menu.Control());
    if (t.Kind == 1)
      menu->ScrollTimerTick();
    else
      menu->ExpandMenuTimerTick();
  });
}

UINT_PTR StartMenuTimer(TdxBarSubMenuControl* menu, int kind, UINT elapse) {
  UINT_PTR id = dxBarSystem()->SetTimer(elapse, MenuTimerProc);
  if (id) MenuTimers().push_back({id, TdxBarControlRef(menu), kind});
  return id;
}

void StopMenuTimer(UINT_PTR& id) {
  if (!id) return;
  dxBarSystem()->KillTimer(id);
  auto& timers = MenuTimers();
  timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const TMenuTimer& t) { return t.Id == id; }),
               timers.end());
  id = 0;
}

TRect Offset(const TRect& r, int dx, int dy) { return TRect(r.left + dx, r.top + dy, r.right + dx, r.bottom + dy); }

void Fill(HDC dc, const TRect& r, HBRUSH b) { FillRect(dc, &r, b); }

void Triangle(HDC dc, POINT a, POINT b, POINT c, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, pen);
  POINT p[3] = {a, b, c};
  Polygon(dc, p, 3);
  SelectObject(dc, ob);
  SelectObject(dc, op);
  DeleteObject(brush);
  DeleteObject(pen);
}

bool IsKeyDown(int key) {
  return ((dxBarSystem()->GetAsyncKeyState(key) | dxBarSystem()->GetKeyState(key)) & 0x8000) != 0;
}

TCustomdxBarSubItem* OwnerSubItem(TdxBarItemLinks* links) {
  return links ? dynamic_cast<TCustomdxBarSubItem*>(links->Owner()) : nullptr;
}

TdxBarPopupMenu* OwnerPopupMenu(TdxBarItemLinks* links) {
  return links ? dynamic_cast<TdxBarPopupMenu*>(links->Owner()) : nullptr;
}

const char* const kExpandHint = "Expand (Ctrl-Down)";
const char* const kDetachHint = "Drag to make this menu float";

}  // namespace

// ---------------------------------------------------------------- life

TdxBarSubMenuControl::TdxBarSubMenuControl(TdxBarManager* manager) : TCustomdxBarControl(manager) { width_ = 0; }

void TdxBarSubMenuControl::BeforeDestruction() {
  // While customizing the sub item that opened the menu gets the
  // selection back.
  if (manager_ && manager_->IsCustomizing() && subItemControl_ && !manager_->IsDestroying()) {
    subItemControl_->ControlInactivate(true);
    manager_->SetSelectedItem(subItemControl_);
  }
  TCustomdxBarControl::BeforeDestruction();
}

TdxBarSubMenuControl::~TdxBarSubMenuControl() {
  if (TdxBarSubMenuControl* child = childBar_) {
    childBar_ = nullptr;
    if (child->ParentBar() == this) child->SetParentBar(nullptr);
    child->Hide();
  }
  if (HandleAllocated()) DestroyHandle();
  StopMenuTimer(scrollTimer_);
  KillExpandMenuTimer();
  FreeLightBrush();
  if (parentBar_ && parentBar_->ChildBar() == this) parentBar_->SetChildBar(nullptr);
}

void TdxBarSubMenuControl::CreateParams(TCreateParams& params) {
  TCustomdxBarControl::CreateParams(params);
  params.Style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  params.ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
  params.WindowClass = &ControlWindowClass("TdxBarSubMenuControl", 0x082B);
  TCustomForm* form = manager_ ? manager_->MainForm() : nullptr;
  params.WndParent = parentWnd_ ? parentWnd_ : (form && form->HandleAllocated() ? form->Handle() : nullptr);
}

void TdxBarSubMenuControl::CreateWnd() {
  CreateLightBrush();
  TCustomdxBarControl::CreateWnd();
  if (!HandleAllocated()) return;
  savedLeft_ = left_;
  savedTop_ = top_;
  TdxBarControlRef self(this);
  SetIsActive(true);
  if (!BarControlExists(self)) return;
  SetRecentItemCount();
  topIndex_ = -1;
  SetTopIndex(0);
  bool fh, fv;
  SetSizeAndCheckBounds(fh, fv);
  CalcControlsPositions(false);
  if (animate_) StartAnimation(fh, fv);
  if (!BarControlExists(self)) return;
  PlayMenuSound(0);
}

void TdxBarSubMenuControl::WindowDestroying() {
  StopMenuAnimation(this, false);
  StopMenuTimer(scrollTimer_);
  KillExpandMenuTimer();
  TCustomdxBarControl::WindowDestroying();
}

void TdxBarSubMenuControl::DestroyWnd() {
  StopMenuAnimation(this, false);
  StopMenuTimer(scrollTimer_);
  KillExpandMenuTimer();
  if (TdxBarSubMenuControl* child = childBar_) child->Hide();
  // The menu is not freed while its window goes (the owner's bar may ask
  // to hide it on the way).
  bool wasHiding = hiding_;
  hiding_ = true;
  if (!reopening_) {
    if (isActive_) SetIsActive(false);
    TdxBarItemControl* owner = ownerControl_;
    std::shared_ptr<const bool> ownerAlive = owner ? owner->Alive() : nullptr;
    TCustomdxBarControl* ownerBar = owner ? owner->Parent() : nullptr;
    if (owner && *ownerAlive && ownerBar && BarControlExists(TdxBarControlRef(ownerBar)) && ownerBar->HandleAllocated()) {
      auto* button = dynamic_cast<TdxBarButtonControl*>(owner);
      bool arrowPressed = button && button->ArrowPressed();
      if (button)
        button->DoCloseUp();
      else
        owner->Repaint();
      if (LeftButtonPressed()) {
        ownerBar->SetIgnoreMouseClick(arrowPressed);
        if (dynamic_cast<TdxBarControl*>(ownerBar)) ownerBar->HideAll();
      } else if (!IsKeyDown(VK_ESCAPE) && !IsKeyDown(VK_LEFT) && !IsKeyDown(VK_RIGHT)) {
        ownerBar->HideAll();
      }
    }
  }
  bool wasCreated = HandleAllocated();
  TCustomdxBarControl::DestroyWnd();
  hiding_ = wasHiding;
  if (wasCreated && !reopening_) DoCloseUp();
  FreeLightBrush();
}

void TdxBarSubMenuControl::WindowLost() {
  // The owner window went (the form is closing): the menu stops.
  StopMenuTimer(scrollTimer_);
  KillExpandMenuTimer();
  if (isActive_) SetIsActive(false);
}

void TdxBarSubMenuControl::Show() {
  TdxBarControlRef self(this);
  DoPopup();
  if (!BarControlExists(self)) return;
  TCustomdxBarControl* root = GetRootToolbarControl(this);
  TdxBarManager* m = root && root->BarManager() ? root->BarManager() : manager_;
  animationKind_ = m ? m->MenuAnimations() : maNone;
  // Animated only when the opener asked for it, the manager animates, an
  // entry can show and nobody customizes.
  bool customizing = (m && m->IsCustomizing()) || (manager_ && manager_->IsCustomizing());
  animate_ = animate_ && animationKind_ != maNone && HasVisibleLinks() && !customizing;
  visible_ = true;
  bool made = !HandleAllocated();
  HandleNeeded();
  if (!BarControlExists(self) || !HandleAllocated()) return;
  // Only a window made now grows; an animated menu shows through its
  // frames.
  if (!made && AnimatedMenu() != this) animate_ = false;
  SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (animate_ ? 0 : SWP_SHOWWINDOW));
  ProcessPaintMessages();
}

void TdxBarSubMenuControl::Hide() {
  if (hiding_ || controlsLocked_) return;
  hiding_ = true;
  controlsLocked_ = true;
  Free();
}

void TdxBarSubMenuControl::HideAll() {
  if (parentBar_) {
    TCustomdxBarControl::HideAll();
    return;
  }
  Hide();
  ProcessPaintMessages();
}

void TdxBarSubMenuControl::DoCloseUp() {
  if (OnCloseUp) OnCloseUp(this);
}

void TdxBarSubMenuControl::DoPopup() {
  if (OnPopup) OnPopup(this);
}

bool TdxBarSubMenuControl::GetIsContextMenu() {
  if (ownerWidth_ == 0 && ownerHeight_ == 0) return true;
  auto* parent = dynamic_cast<TdxBarSubMenuControl*>(parentBar_);
  return parent && parent->GetIsContextMenu();
}

int TdxBarSubMenuControl::BarSize() {
  if (TdxBarPopupMenu* popup = OwnerPopupMenu(itemLinks_)) return popup->BarSize();
  if (TCustomdxBarSubItem* sub = OwnerSubItem(itemLinks_)) return sub->BarSize();
  return 0;
}

// ---------------------------------------------------------------- the common window's interface

void TdxBarSubMenuControl::CalcDrawingConsts() {
  TCustomdxBarControl::CalcDrawingConsts();
  bool flat = Flat();
  if (flat) ++textSize_;
  subMenuArrowSize_ = textSize_ / 4 * 3 + 1;
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, Canvas()->Font()->Handle());
  SIZE zero{};
  GetTextExtentPoint32A(screen, "0", 1, &zero);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  // The mark: a double chevron in a row below the entries.
  markArrowSize_ = std::max(3, static_cast<int>(zero.cx) / 2);
  markHeight_ = 2 * markArrowSize_ + (flat ? 4 : 6);
  textOffset_ = 19 + (flat ? 1 : 0);
}

bool TdxBarSubMenuControl::CanCustomizing() {
  if (TCustomdxBarControl::CanCustomizing()) return true;
  if (auto* sub = dynamic_cast<TdxBarSubItem*>(OwnerSubItem(itemLinks_))) return sub->AllowCustomizing();
  return OwnerPopupMenu(itemLinks_) != nullptr;
}

HFONT TdxBarSubMenuControl::GetEditFontHandle() {
  if (parentBar_) return parentBar_->GetEditFontHandle();
  if (TdxBarPopupMenu* popup = OwnerPopupMenu(itemLinks_); popup && popup->UseOwnFont()) return popup->Font()->Handle();
  return TCustomdxBarControl::GetEditFontHandle();
}

bool TdxBarSubMenuControl::GetIsShadowVisible() { return !animate_ && TCustomdxBarControl::GetIsShadowVisible(); }

void TdxBarSubMenuControl::SetFont() {
  if (parentBar_) {
    Canvas()->Font()->Assign(parentBar_->Canvas()->Font());
    return;
  }
  if (TdxBarPopupMenu* popup = OwnerPopupMenu(itemLinks_); popup && popup->UseOwnFont()) {
    Canvas()->Font()->Assign(popup->Font());
    return;
  }
  if (manager_) Canvas()->Font()->Assign(manager_->Font());
}

void TdxBarSubMenuControl::SetIsActive(bool value) {
  bool was = isActive_;
  TdxBarControlRef self(this);
  TCustomdxBarControl::SetIsActive(value);
  if (!BarControlExists(self) || !value || was || activatedOnce_) return;
  activatedOnce_ = true;
  if (manager_ && manager_->ShowRecentItemsFirst() && !dxBarFullMenus && manager_->ShowFullMenusAfterDelay())
    StartExpandMenuTimer(3, 4000);
}

void TdxBarSubMenuControl::SetSelectedItem(TdxBarItemControl* control) {
  if (control == selectedControl_) return;
  TdxBarControlRef self(this);
  if (markState_ == msNone && manager_) {
    KillExpandMenuTimer();
    if (isActive_ && manager_->ShowRecentItemsFirst() && !dxBarFullMenus && manager_->ShowFullMenusAfterDelay())
      StartExpandMenuTimer(2, 4000);
  }
  TCustomdxBarControl::SetSelectedItem(control);
  if (BarControlExists(self) && control && keyboardMode_) MakeVisible(control);
}

void TdxBarSubMenuControl::SetRecentItemCount() {
  if (!itemLinks_) return;
  bool recent = manager_ && manager_->ShowRecentItemsFirst() && !dxBarFullMenus;
  itemLinks_->SetRecentItemCount(recent ? itemLinks_->GetMostRecentItemCount() : -1);
}

// ---------------------------------------------------------------- container items

void TdxBarSubMenuControl::CreateControls() {
  if (itemLinks_ && !GetIsCustomizing() && !containerItemsLock_ && containerItems_.empty()) {
    containerItemsLock_ = true;
    try {
      for (int i = 0; i < itemLinks_->Count(); ++i) {
        TdxBarItemLink* link = itemLinks_->Items(i);
        auto* container = dynamic_cast<TCustomdxBarContainerItem*>(link->Item());
        if (!container || !link->CanVisible()) continue;
        int before = itemLinks_->Count();
        TContainerEntry entry{link, container, false, link->RecentIndex()};
        container->AddListedItemLinks(itemLinks_, i + 1, true, link);
        if (container->HideWhenRun()) {
          link->SetVisible(false);
          entry.Hidden = true;
        }
        containerItems_.push_back(entry);
        i = itemLinks_->IndexOf(link) + (itemLinks_->Count() - before);
      }
    } catch (...) {
      containerItemsLock_ = false;
      throw;
    }
    containerItemsLock_ = false;
  }
  TCustomdxBarControl::CreateControls();
}

void TdxBarSubMenuControl::DestroyControls() {
  TCustomdxBarControl::DestroyControls();
  if (containerItems_.empty() || containerItemsLock_ || !itemLinks_) return;
  containerItemsLock_ = true;
  std::vector<TContainerEntry> entries;
  entries.swap(containerItems_);
  try {
    for (size_t k = entries.size(); k-- > 0;) {
      const TContainerEntry& e = entries[k];
      int index = itemLinks_->IndexOf(e.Link);
      if (index < 0) continue;
      e.Item->DeleteListedItemLinks(itemLinks_, index + 1);
      if (e.Hidden) {
        e.Link->SetVisible(true);
        e.Link->SetRecentIndex(e.RecentIndex);
      }
      // The generated entries are freed later: one whose click is running
      // stays alive until it returns.
      e.Item->NeedClearItemList();
    }
  } catch (...) {
    containerItemsLock_ = false;
    throw;
  }
  containerItemsLock_ = false;
}

TContainerItemSubMenuControl::~TContainerItemSubMenuControl() {
  if (HandleAllocated()) DestroyHandle();
  if (item_ && !item_->IsDestroying()) item_->NeedClearItemList();
}

void TContainerItemSubMenuControl::DoCloseUp() {
  if (item_ && itemLinks_) item_->DeleteListedItemLinks(itemLinks_, 0);
  TdxBarSubMenuControl::DoCloseUp();
}

// ---------------------------------------------------------------- layout

TdxBarMenuLayout TdxBarSubMenuControl::MakeLayout(bool measure) {
  TdxBarMenuLayout l;
  l.Flat = Flat();
  l.BarSize = BarSize();
  l.DetachCaption = Detachable();
  l.TextSize = textSize_;
  l.MarkShows = MarkExists();
  TRect client = ClientRect();
  l.ClientWidth = client.Width();
  l.ClientHeight = client.Height();
  // A growing window lays out as it will stand.
  if (animate_ && animationClient_.cx > 0) {
    l.ClientWidth = animationClient_.cx;
    l.ClientHeight = animationClient_.cy;
  }
  l.TopIndex = measure ? 0 : std::max(topIndex_, 0);
  l.Extended = ExtendedView();
  l.MostRecent = itemLinks_ && l.Extended ? itemLinks_->GetMostRecentItemCount() : -1;
  if (!itemLinks_) return l;
  bool pendingGroup = false;
  for (int i = 0; i < itemLinks_->CanVisibleItemCount(); ++i) {
    TdxBarItemLink* link = itemLinks_->CanVisibleItems(i);
    if (link->VisibleIndex() < 0) {
      pendingGroup = pendingGroup || link->BeginGroup();
      continue;
    }
    link->CreateControl();
    TdxBarMenuRow row;
    if (TdxBarItemControl* c = link->Control()) {
      row.Width = c->GetRealWidth();
      row.Height = c->GetRealHeight();
    }
    row.BeginGroup = link->BeginGroup() || pendingGroup;
    pendingGroup = false;
    row.RecentIndex = link->RecentIndex();
    l.Rows.push_back(row);
  }
  return l;
}

void TdxBarSubMenuControl::ApplyLayout(const TdxBarMenuLayout& l) {
  rows_ = l.Rows;
  laidOut_ = l.MaxVisibleCount();
  if (!itemLinks_) return;
  itemLinks_->EmptyItemRects();
  int n = std::min(itemLinks_->VisibleItemCount(), static_cast<int>(rows_.size()));
  int last = l.TopIndex + laidOut_ - 1;
  for (int i = 0; i < n; ++i) {
    const TdxBarMenuRow& row = rows_[static_cast<size_t>(i)];
    bool underArrow = (l.UpArrowExists() && i == l.TopIndex) || (l.DownArrowExists() && i == last);
    itemLinks_->VisibleItems(i)->SetItemRect(underArrow ? TRect() : row.Rect);
  }
}

TPoint TdxBarSubMenuControl::CalcControlsPositions(bool measure) {
  TdxBarMenuLayout l = MakeLayout(measure);
  TPoint size = l.Calc(measure);
  if (!measure) ApplyLayout(l);
  return size;
}

void TdxBarSubMenuControl::SetSizeAndCheckBounds(bool& flippedH, bool& flippedV) {
  TPoint size = CalcControlsPositions(true);
  int w = size.x, h = size.y + DetachCaptionAreaSize();
  TRect wa = GetWorkArea(TPoint(left_, top_));
  TdxBarMenuPlacement p = dxBarPlaceMenu(left_, top_, w, h, ownerWidth_, ownerHeight_, horzDirection_,
                                         vertDirection_, wa);
  flippedH = p.FlippedH;
  flippedV = p.FlippedV;
  SetBounds(p.Bounds.left, p.Bounds.top, p.Bounds.Width(), p.Bounds.Height());
}

void TdxBarSubMenuControl::SetTopIndex(int value) {
  int count = itemLinks_ ? itemLinks_->VisibleItemCount() : 0;
  if (value > count - 1) value = count - 1;
  if (value < 0) value = 0;
  if (value == topIndex_) return;
  topIndex_ = value;
  if (HandleAllocated()) InvalidateRect(handle_, nullptr, FALSE);
}

bool TdxBarSubMenuControl::DownArrowExists() {
  TdxBarMenuLayout l = MakeLayout(false);
  l.Calc(false);
  return l.DownArrowExists();
}

int TdxBarSubMenuControl::GetMaxVisibleCount() {
  TdxBarMenuLayout l = MakeLayout(false);
  l.Calc(false);
  return l.MaxVisibleCount();
}

int TdxBarSubMenuControl::VisibleCount() {
  TdxBarMenuLayout l = MakeLayout(false);
  l.Calc(false);
  return l.VisibleCount();
}

TRect TdxBarSubMenuControl::UpArrowRect() {
  TdxBarMenuLayout l = MakeLayout(false);
  l.Calc(false);
  return l.UpArrowRect();
}

TRect TdxBarSubMenuControl::DownArrowRect() {
  TdxBarMenuLayout l = MakeLayout(false);
  l.Calc(false);
  return l.DownArrowRect();
}

void TdxBarSubMenuControl::MakeVisible(TdxBarItemControl* control) {
  if (!HandleAllocated() || !itemLinks_ || !control) return;
  int index = itemLinks_->VisibleIndexOf(control->ItemLink());
  if (index < 0) return;
  int old = topIndex_;
  if (UpArrowExists() && index <= topIndex_) {
    SetTopIndex(index - 1);
  } else {
    // Raised one row at a time until the row lies above the down arrow.
    for (int n = 0; n < itemLinks_->VisibleItemCount(); ++n) {
      TdxBarMenuLayout l = MakeLayout(false);
      l.Calc(false);
      int firstWhole = topIndex_ + (l.UpArrowExists() ? 1 : 0);
      if (!l.DownArrowExists() || index < firstWhole + l.VisibleCount()) break;
      SetTopIndex(topIndex_ + 1);
    }
  }
  if (topIndex_ != old) {
    CalcControlsPositions(false);
    InvalidateRect(handle_, nullptr, FALSE);
  }
}

bool TdxBarSubMenuControl::IsRare(TdxBarItemControl* control) const {
  if (!control || !itemLinks_) return false;
  int i = itemLinks_->VisibleIndexOf(control->ItemLink());
  return i >= 0 && i < static_cast<int>(rows_.size()) && rows_[static_cast<size_t>(i)].Rare;
}

TRect TdxBarSubMenuControl::GetItemRectEx(TdxBarItemControl* control, bool withGroup) {
  TRect r = GetItemRect(control);
  if (r.Empty() || !itemLinks_) return r;
  int i = itemLinks_->VisibleIndexOf(control->ItemLink());
  if (i < 0 || i >= static_cast<int>(rows_.size())) return r;
  const TdxBarMenuRow& row = rows_[static_cast<size_t>(i)];
  if (row.RunStart && !Flat()) --r.top;
  if (withGroup && row.GroupGap) r.top -= GetBeginGroupSize();
  return r;
}

TdxBarItemControl* TdxBarSubMenuControl::ItemAtPosEx(TPoint p, bool& outsideItem, bool& vertical, bool& firstHalf) {
  outsideItem = false;
  vertical = true;
  firstHalf = false;
  if (UpArrowRect().Contains(p) || DownArrowRect().Contains(p) || (MarkExists() && MarkRect().Contains(p)))
    return nullptr;
  return TCustomdxBarControl::ItemAtPosEx(p, outsideItem, vertical, firstHalf);
}

// ---------------------------------------------------------------- recently used entries

bool TdxBarSubMenuControl::ExtendedView() { return manager_ && manager_->ShowRecentItemsFirst() && dxBarFullMenus; }

bool TdxBarSubMenuControl::MarkExists() {
  return manager_ && manager_->ShowRecentItemsFirst() && itemLinks_ &&
         itemLinks_->VisibleItemCount() < itemLinks_->CanVisibleItemCount();
}

TRect TdxBarSubMenuControl::MarkRect() {
  TRect c = ClientRect();
  int in = Flat() ? 1 : 2;
  return TRect(BarSize() + in, c.bottom - in - markHeight_, c.right - in, c.bottom - in);
}

void TdxBarSubMenuControl::KillExpandMenuTimer() {
  StopMenuTimer(expandTimer_);
  expandTimerKind_ = 0;
}

void TdxBarSubMenuControl::StartExpandMenuTimer(int kind, UINT elapse) {
  KillExpandMenuTimer();
  expandTimer_ = StartMenuTimer(this, kind, elapse);
  expandTimerKind_ = expandTimer_ ? kind : 0;
}

void TdxBarSubMenuControl::ExpandMenuTimerTick() {
  int kind = expandTimerKind_;
  KillExpandMenuTimer();
  if (kind == 3)
    SetMarkState(msPressed);
  else if (kind == 2 && !childBar_)
    SetMarkState(msSelected);
}

void TdxBarSubMenuControl::SetMarkState(TdxBarMarkState value) {
  if (GetIsCustomizing() || !manager_ || !manager_->ShowRecentItemsFirst()) return;
  if (value == msSelected && selectedControl_ && selectedControl_->HostedWindowFocused()) value = msNone;
  if (value == markState_) return;
  markState_ = value;
  if (value == msPressed) {
    ExpandMenu();
    return;
  }
  if (HandleAllocated()) {
    TRect r = MarkRect();
    InvalidateRect(handle_, &r, FALSE);
  }
  if (manager_->ShowFullMenusAfterDelay()) {
    KillExpandMenuTimer();
    bool onMark = HandleAllocated() && MarkRect().Contains(ScreenToClient(dxBarSystem()->GetCursorPos()));
    if (value == msSelected && onMark) StartExpandMenuTimer(3, 1000);
  } else {
    manager_->HintActivate(value == msSelected, value == msSelected ? String(kExpandHint) : String());
  }
}

void TdxBarSubMenuControl::ExpandMenu() {
  if (!MarkExists() || !HandleAllocated()) return;
  dxBarFullMenus = true;
  animate_ = true;
  TdxBarControlRef self(this);
  reopening_ = true;
  DestroyHandle();
  reopening_ = false;
  if (!BarControlExists(self)) return;
  markState_ = msNone;
  SetBounds(savedLeft_, savedTop_, width_, height_);
  Show();
}

// ---------------------------------------------------------------- scrolling

void TdxBarSubMenuControl::StartScroll(bool down) {
  TdxBarControlRef self(this);
  if (manager_) manager_->SetSelectedItem(nullptr);
  SetKeySelectedItem(nullptr);
  if (!BarControlExists(self)) return;
  scrollDown_ = down;
  StopMenuTimer(scrollTimer_);
  scrollTimer_ = StartMenuTimer(this, 1, 80);
}

void TdxBarSubMenuControl::StopScroll() { StopMenuTimer(scrollTimer_); }

void TdxBarSubMenuControl::ScrollTimerTick() {
  if (!HandleAllocated()) {
    StopScroll();
    return;
  }
  TPoint p = ScreenToClient(dxBarSystem()->GetCursorPos());
  TdxBarMenuLayout l = MakeLayout(false);
  l.Calc(false);
  TRect arrow = scrollDown_ ? l.DownArrowRect() : l.UpArrowRect();
  if (arrow.Empty() || !arrow.Contains(p)) {
    StopScroll();
    lastMousePos_ = TPoint(-1, -1);
    PostMessageA(handle_, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    return;
  }
  SetTopIndex(topIndex_ + (scrollDown_ ? 1 : -1));
  CalcControlsPositions(false);
  InvalidateRect(handle_, nullptr, FALSE);
}

// ---------------------------------------------------------------- detach caption

bool TdxBarSubMenuControl::Detachable() {
  TCustomdxBarSubItem* sub = OwnerSubItem(itemLinks_);
  return sub && sub->Detachable();
}

int TdxBarSubMenuControl::GetDetachCaptionSize() {
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, Canvas()->Font()->Handle());
  SIZE s{};
  GetTextExtentPoint32A(screen, "Qq", 2, &s);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  int size = s.cy / 2;
  if (size % 2 == 0) ++size;
  return size;
}

int TdxBarSubMenuControl::DetachCaptionAreaSize() {
  if (!Detachable()) return 0;
  return GetDetachCaptionSize() + 3 + (Flat() ? 1 : 0);
}

TRect TdxBarSubMenuControl::DetachCaptionRect() {
  if (!Detachable()) return TRect();
  TRect w = GetWindowRect();
  int b = Flat() ? 2 : 3;
  return TRect(b, b, w.Width() - b, b + GetDetachCaptionSize());
}

bool TdxBarSubMenuControl::CanDetach() {
  TCustomdxBarSubItem* sub = OwnerSubItem(itemLinks_);
  if (!sub || !sub->Detachable() || sub->DetachingBar() < 0 || !manager_) return false;
  TdxBar* bar = sub->BarManager() ? sub->BarManager()->Bars()->Items(sub->DetachingBar()) : nullptr;
  if (!bar) return false;
  TCustomdxBarControl* root = GetRootToolbarControl(this);
  return !root || root != bar->Control();
}

void TdxBarSubMenuControl::SetDetachCaptionSelected(bool value) {
  if (value == detachCaptionSelected_) return;
  detachCaptionSelected_ = value;
  if (value) {
    if (HandleAllocated()) BeginMouseTracking(handle_);
    SetCursor(crSizeAll);
    if (manager_) manager_->HintActivate(true, kDetachHint);
  } else {
    SetCursor(crDefault);
    if (manager_ && !selectedControl_) manager_->HintActivate(false, "");
  }
  if (HandleAllocated()) {
    HDC dc = GetWindowDC(handle_);
    NCPaint(dc);
    ReleaseDC(handle_, dc);
  }
}

void TdxBarSubMenuControl::DoDetachMenu() {
  TCustomdxBarSubItem* sub = OwnerSubItem(itemLinks_);
  if (!sub || !HandleAllocated()) return;
  TdxBarControlRef self(this);
  sub->DoDetaching();
  if (!BarControlExists(self) || !CanDetach()) return;
  TdxBarManager* m = sub->BarManager();
  TdxBar* bar = m->Bars()->Items(sub->DetachingBar());
  // Everything the loop needs: the menu itself closes on the way.
  TRect caption = DetachCaptionRect();
  TRect window = GetWindowRect();
  TRect hot = Offset(caption, window.left, window.top);
  InflateRect(&hot, 15, 15);
  TdxBarSubItemControl* opener = subItemControl_;
  std::shared_ptr<const bool> openerAlive = opener ? opener->Alive() : nullptr;
  TCustomdxBarControl* parent = parentBar_;
  HWND capture = parent && parent->HandleAllocated() ? parent->Handle() : handle_;
  auto reopen = [&] {
    if (opener && *openerAlive) opener->ControlActivate(true);
  };
  m->SetMenuDetaching(true);
  SetCapture(capture);
  bool out = false, ended = false, byButtonUp = false;
  int smallCaption = GetSmallCaptionHeight();
  auto finish = [&] {
    if (GetCapture() == capture) ReleaseCapture();
    if (byButtonUp) {
      m->HideAll();
    } else if (out) {
      bar->SetVisible(false);
    }
    m->SetMenuDetaching(false);
  };
  try {
    dxBarMessageLoop(
        [&](MSG& msg) {
          if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
            if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && msg.wParam == VK_ESCAPE) {
              if (out) {
                bar->SetVisible(false);
                out = false;
              }
              if (!BarControlExists(self)) reopen();
              ended = true;
            }
            return true;
          }
          if (msg.message == WM_MOUSEMOVE) {
            TPoint c = dxBarSystem()->GetCursorPos();
            if (!hot.Contains(c)) {
              if (!out) {
                out = true;
                if (opener && *openerAlive)
                  opener->ControlInactivate(true);
                else if (BarControlExists(self))
                  Hide();
                if (bar->DockingStyle() != dsNone) {
                  bar->SetVisible(false);
                  bar->SetDockingStyle(dsNone);
                }
                if (!bar->Visible()) {
                  bar->SetFloatLeft(c.x - 100);
                  bar->SetFloatTop(c.y - smallCaption / 2);
                  bar->SetVisible(true);
                }
              } else if (TdxBarControl* c2 = bar->Control(); c2 && c2->HandleAllocated()) {
                TRect w = c2->GetWindowRect();
                SetWindowPos(c2->Handle(), nullptr, c.x - w.Width() / 2, c.y - smallCaption / 2, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
              }
            } else if (out) {
              bar->SetVisible(false);
              out = false;
              reopen();
              ended = true;
            }
            return true;
          }
          if (msg.message == WM_LBUTTONUP) {
            byButtonUp = true;
            ended = true;
            return true;
          }
          return false;
        },
        [&] { return ended || GetCapture() != capture; });
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

// ---------------------------------------------------------------- light brush

void TdxBarSubMenuControl::CreateLightBrush() {
  FreeLightBrush();
  COLORREF face = dxBarSysColor(COLOR_BTNFACE);
  auto up = [](int c) { return std::min(c + dxBarNonrecentlyUsedItemsColorDelta, 255); };
  COLORREF light = RGB(up(GetRValue(face)), up(GetGValue(face)), up(GetBValue(face)));
  if (ScreenBitsPixel <= 8 && manager_ && manager_->ShowRecentItemsFirst()) {
    struct {
      WORD Version, Count;
      PALETTEENTRY Entry;
    } pal{0x300, 1, {GetRValue(light), GetGValue(light), GetBValue(light), 0}};
    lightPalette_ = CreatePalette(reinterpret_cast<LOGPALETTE*>(&pal));
    lightBrush_ = CreateSolidBrush(PALETTEINDEX(0));
  } else {
    lightBrush_ = CreateSolidBrush(light);
  }
}

void TdxBarSubMenuControl::FreeLightBrush() {
  if (lightBrush_) DeleteObject(lightBrush_);
  lightBrush_ = nullptr;
  if (lightPalette_) DeleteObject(lightPalette_);
  lightPalette_ = nullptr;
}

// ---------------------------------------------------------------- painting

namespace {

HBRUSH ItemsBrush(bool flat) { return GetSysColorBrush(flat ? COLOR_WINDOW : COLOR_BTNFACE); }

}  // namespace

void TdxBarSubMenuControl::PaintItem(TdxBarItemControl* control) {
  itemBrush_ = IsRare(control) && lightBrush_ ? lightBrush_ : ItemsBrush(Flat());
  // A growing menu is painted whole once it stands.
  if (!control || !HandleAllocated() || controlsLocked_ || animate_) return;
  TRect r = GetItemRect(control);
  if (r.Empty()) return;
  TCanvas* canvas = Canvas();
  HDC dc = canvas->Handle();
  HPALETTE oldPalette = nullptr;
  if (lightPalette_) {
    oldPalette = SelectPalette(dc, lightPalette_, FALSE);
    RealizePalette(dc);
  }
  canvas->SaveClip();
  canvas->ClipRect(r);
  control->Paint(r, ptMenu);
  DrawSelectedItem(control);
  canvas->RestoreClip();
  if (oldPalette) SelectPalette(dc, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
}

void TdxBarSubMenuControl::Paint() {
  if (controlsLocked_ || animate_ || !HandleAllocated() || !itemLinks_) return;
  CalcControlsPositions(false);
  HDC dc = Canvas()->Handle();
  bool flat = Flat();
  TRect client = ClientRect();
  HBRUSH bk = ItemsBrush(flat);
  Fill(dc, client, bk);
  int in = flat ? 1 : 2;
  int bs = BarSize();
  if (bs > 0) {
    TRect side(in, flat ? 1 : (Detachable() ? 0 : 2), in + bs, client.bottom - in);
    TCustomdxBarSubItem* sub = OwnerSubItem(itemLinks_);
    TdxBarPopupMenu* popup = OwnerPopupMenu(itemLinks_);
    if (manager_ && manager_->IsDesigning())
      DrawVerticalGradient(Canvas(), side, 0, 255, 0, 0, 0, 0);
    else if (sub)
      sub->DoPaintBar(Canvas(), side);
    else if (popup)
      popup->DoPaintBar(Canvas(), side);
  }
  PaintSeparators(dc);
  for (int i = 0; i < itemLinks_->VisibleItemCount(); ++i)
    if (TdxBarItemControl* c = itemLinks_->VisibleItems(i)->Control()) PaintItem(c);
  dc = Canvas()->Handle();
  PaintArrows(dc, nullptr);
  if (MarkExists()) PaintMark(dc);
  // The frame.
  if (flat) {
    if (manager_) FrameRect(dc, &client, manager_->FlatToolbarsBorderBrush());
    TRect strip;
    if (GetOwnerLinkBounds(true, strip)) Fill(dc, strip, GetBarControlOwnerBrush());
  } else {
    bool caption = Detachable();
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    Fill(dc, TRect(0, 0, 1, client.bottom), face);
    if (!caption) Fill(dc, TRect(0, 0, client.right, 1), face);
    TRect outer = client;
    DrawEdge(dc, &outer, BDR_RAISEDOUTER, BF_RIGHT | BF_BOTTOM);
    TRect inner(1, caption ? 0 : 1, client.right - 1, client.bottom - 1);
    DrawEdge(dc, &inner, BDR_RAISEDINNER, caption ? (BF_LEFT | BF_RIGHT | BF_BOTTOM) : BF_RECT);
  }
}

void TdxBarSubMenuControl::PaintSeparators(HDC dc) {
  if (!manager_) return;
  bool flat = Flat();
  int gs = GetBeginGroupSize();
  int indent = manager_->StyleIndent();
  for (int i = 0; i < static_cast<int>(rows_.size()) && i < itemLinks_->VisibleItemCount(); ++i) {
    const TdxBarMenuRow& row = rows_[static_cast<size_t>(i)];
    if (!row.GroupGap || row.Rect.Empty()) continue;
    int top = row.Rect.top - gs - (row.RunStart && !flat ? 1 : 0);
    TRect gap(row.Rect.left, top, row.Rect.right, top + gs);
    HBRUSH background = row.Rare && lightBrush_ ? lightBrush_ : ItemsBrush(flat);
    TdxBarItemControl* c = itemLinks_->VisibleItems(i)->Control();
    int textArea = c ? c->GetTextAreaOffset() : textSize_ + 3;
    if (flat) {
      if (row.Rare && row.RunStart) background = GetSysColorBrush(COLOR_WINDOW);
      Fill(dc, TRect(gap.left, gap.top, gap.left + textArea, gap.bottom), manager_->FlatToolbarsBrush());
      Fill(dc, TRect(gap.left + textArea, gap.top, gap.right, gap.bottom), background);
      int y = gap.top + gs / 2;
      Fill(dc, TRect(gap.left + textArea + indent, y, gap.right, y + 1), GetSysColorBrush(COLOR_BTNSHADOW));
    } else {
      Fill(dc, gap, background);
      TRect line(gap.left + indent, gap.top + 4, gap.right - indent, gap.top + 6);
      DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    }
  }
}

void TdxBarSubMenuControl::PaintArrows(HDC dc, HRGN) {
  TdxBarMenuLayout l = MakeLayout(false);
  l.Calc(false);
  TRect client = ClientRect();
  int s = std::max(textSize_ / 3 - 1, 2);
  int bs = BarSize();
  int cx = bs + (client.Width() - bs) / 2;
  COLORREF color = GetSysColor(COLOR_BTNTEXT);
  TRect up = l.UpArrowRect();
  if (!up.Empty()) {
    Fill(dc, up, ItemsBrush(Flat()));
    int cy = up.top + textSize_ / 2;
    Triangle(dc, {cx - s, cy + s / 2}, {cx + s, cy + s / 2}, {cx, cy - s / 2 - 1}, color);
  }
  TRect down = l.DownArrowRect();
  if (!down.Empty()) {
    Fill(dc, down, ItemsBrush(Flat()));
    int cy = down.top + textSize_ / 2;
    Triangle(dc, {cx - s, cy - s / 2}, {cx + s, cy - s / 2}, {cx, cy + s / 2 + 1}, color);
  }
}

void TdxBarSubMenuControl::PaintMark(HDC dc) {
  TRect r = MarkRect();
  bool flat = Flat();
  if (markState_ == msSelected) {
    if (flat) {
      FrameFlatSelRect(dc, r);
      TRect inner = r;
      InflateRect(&inner, -1, -1);
      Fill(dc, inner, GetToolbarSelBrush());
    } else {
      TRect e = r;
      DrawEdge(dc, &e, BDR_RAISEDINNER, BF_RECT);
      TRect inner = r;
      InflateRect(&inner, -1, -1);
      Fill(dc, inner, lightBrush_ ? lightBrush_ : ItemsBrush(false));
    }
  } else {
    Fill(dc, r, ItemsBrush(flat));
  }
  // Two chevrons pointing down.
  int s = markArrowSize_;
  int cx = (r.left + r.right) / 2, top = r.top + (r.Height() - (s + 3)) / 2;
  COLORREF color = GetSysColor(COLOR_BTNTEXT);
  for (int k = 0; k < 2; ++k) {
    int y = top + 3 * k;
    for (int j = 0; j < 2; ++j) {
      POINT p[3] = {{cx - s, y + j}, {cx, y + s + j}, {cx + s + 1, y - 1 + j}};
      HPEN pen = CreatePen(PS_SOLID, 1, color);
      HGDIOBJ old = SelectObject(dc, pen);
      Polyline(dc, p, 3);
      SelectObject(dc, old);
      DeleteObject(pen);
    }
  }
}

void TdxBarSubMenuControl::NCPaint(HDC dc) {
  if (!Detachable() || !HandleAllocated()) return;
  TRect w = GetWindowRect();
  int area = DetachCaptionAreaSize();
  TRect strip(0, 0, w.Width(), area);
  TRect cap = DetachCaptionRect();
  bool hot = detachCaptionSelected_;
  if (Flat()) {
    Fill(dc, strip, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HBRUSH border = manager_ ? manager_->FlatToolbarsBorderBrush() : GetSysColorBrush(COLOR_BTNSHADOW);
    Fill(dc, TRect(0, 0, w.Width(), 1), border);
    Fill(dc, TRect(0, 0, 1, area), border);
    Fill(dc, TRect(w.Width() - 1, 0, w.Width(), area), border);
    if (hot) {
      FrameFlatSelRect(dc, cap);
      TRect inner = cap;
      InflateRect(&inner, -1, -1);
      Fill(dc, inner, GetToolbarSelBrush());
    } else if (manager_) {
      Fill(dc, cap, manager_->FlatToolbarsBrush());
    }
    HBRUSH grip = GetSysColorBrush(hot ? COLOR_BTNTEXT : COLOR_BTNSHADOW);
    int left = (cap.left + cap.right - 33) / 2;
    for (int y = cap.top + 1; y < cap.bottom - 1; y += 2) Fill(dc, TRect(left, y, left + 33, y + 1), grip);
    return;
  }
  Fill(dc, strip, GetSysColorBrush(COLOR_BTNFACE));
  TRect edge(0, 0, w.Width(), area + 2);
  DrawEdge(dc, &edge, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT);
  Fill(dc, cap, GetSysColorBrush(hot ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
}

// ---------------------------------------------------------------- rebuilding

void TdxBarSubMenuControl::RepaintBar() {
  if (controlsLocked_ || containerItemsLock_ || !HandleAllocated()) return;
  TdxBarControlRef self(this);
  StopMenuAnimation(this);
  if (!BarControlExists(self) || !HandleAllocated()) return;
  TdxBarItemLink* keep = nullptr;
  if (GetIsCustomizing() && selectedControl_) {
    keep = selectedControl_->ItemLink();
    selectedControl_ = nullptr;
  }
  DestroyControls();
  CreateControls();
  SetRecentItemCount();
  bool visible = IsWindowVisible(handle_) != FALSE;
  bool moved = left_ != savedLeft_ || top_ != savedTop_;
  if (moved) {
    ShowWindow(handle_, SW_HIDE);
    SetBounds(savedLeft_, savedTop_, width_, height_);
  }
  bool fh, fv;
  SetSizeAndCheckBounds(fh, fv);
  CalcControlsPositions(false);
  int oldTop = topIndex_;
  if (UpArrowExists() && !DownArrowExists()) {
    while (topIndex_ > 0 && !DownArrowExists()) SetTopIndex(topIndex_ - 1);
    if (DownArrowExists()) SetTopIndex(topIndex_ + 1);
    CalcControlsPositions(false);
  }
  if (moved && visible)
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  (void)oldTop;
  InvalidateRect(handle_, nullptr, FALSE);
  if (keep && keep->Control() && BarControlExists(self)) SetKeySelectedItem(keep->Control());
}

// ---------------------------------------------------------------- mouse and keys

void TdxBarSubMenuControl::MouseMoveMenu(TMessage& msg) {
  if (controlsLocked_) {
    msg.Result = 0;
    return;
  }
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  TPoint screen = ClientToScreen(p);
  bool realMove = screen != lastMousePos_;
  TdxBarControlRef self(this);
  // While the menu grows only a real move counts, and it ends the growing.
  if (AnimatedMenu() == this) {
    if (!realMove) {
      msg.Result = 0;
      return;
    }
    StopMenuAnimation(this);
    if (!BarControlExists(self) || !HandleAllocated()) return;
  }
  if (subItemControl_ && parentBar_ && WantMouse() && parentBar_->SelectedControl() != subItemControl_ &&
      parentBar_->ItemExists(subItemControl_)) {
    parentBar_->SetMouseSelectedItem(subItemControl_);
    if (!BarControlExists(self)) return;
  }
  if (Detachable()) {
    TRect cap = DetachCaptionRect();
    int area = DetachCaptionAreaSize();
    bool on = Offset(cap, 0, -area).Contains(p);
    if (GetCapture() == nullptr || !on) SetDetachCaptionSelected(on);
    if (on) {
      msg.Result = 0;
      return;
    }
  }
  if (realMove && MarkExists()) {
    SetMarkState(MarkRect().Contains(p) ? msSelected : msNone);
    if (!BarControlExists(self) || !HandleAllocated()) return;
  }
  if (realMove) {
    TdxBarMenuLayout l = MakeLayout(false);
    l.Calc(false);
    bool onUp = l.UpArrowRect().Contains(p), onDown = l.DownArrowRect().Contains(p);
    if (scrollTimer_) {
      if (!(scrollDown_ ? onDown : onUp)) {
        StopScroll();
        lastMousePos_ = TPoint(-1, -1);
      }
    } else if (onUp || onDown) {
      lastMousePos_ = screen;
      StartScroll(onDown);
      msg.Result = 0;
      return;
    }
  }
  if (scrollTimer_) {
    msg.Result = 0;
    return;
  }
  MouseMoveMessage(msg);
}

void TdxBarSubMenuControl::LButtonDownMenu(TMessage& msg) {
  msg.Result = 0;
  if (scrollTimer_) return;
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  TdxBarControlRef self(this);
  bool ignore = ignoreMouseClick_;
  LButtonDownMessage(msg);
  if (!BarControlExists(self) || ignore || !HandleAllocated()) return;
  if (detachCaptionSelected_) {
    DoDetachMenu();
    return;
  }
  if (MarkExists() && MarkRect().Contains(p)) {
    if (markState_ == msNone) {
      SetKeySelectedItem(nullptr);
      if (BarControlExists(self)) SetMarkState(msSelected);
    } else {
      ExpandMenu();
    }
  }
}

void TdxBarSubMenuControl::KeyDownMenu(TMessage& msg) {
  msg.Result = 0;
  WORD key = static_cast<WORD>(msg.WParam);
  bool ctrl = IsKeyDown(VK_CONTROL), shift = IsKeyDown(VK_SHIFT), alt = IsKeyDown(VK_MENU);
  TdxBarControlRef self(this);
  StopMenuAnimation(this);
  if (!BarControlExists(self) || !HandleAllocated()) return;
  if (key == VK_DOWN && ctrl && MarkExists()) {
    ExpandMenu();
    return;
  }
  if ((key == VK_DOWN || key == VK_TAB) && !ctrl && !shift && !alt && MarkExists() && itemLinks_) {
    TdxBarItemLink* last = itemLinks_->Last();
    if (last && selectedControl_ && selectedControl_ == last->Control()) {
      TdxBarItemLink* link = last;
      ExpandMenu();
      if (!BarControlExists(self) || !HandleAllocated()) return;
      if (link->Control()) SetKeySelectedItem(link->Control());
      if (BarControlExists(self) && HandleAllocated()) SendMessageA(handle_, WM_KEYDOWN, key, msg.LParam);
      return;
    }
  }
  KeyDownMessage(msg);
  if (!BarControlExists(self) || !HandleAllocated()) return;
  if (SelectedItemWantsKey(key)) {
    selectedControl_->KeyDown(key);
    return;
  }
  switch (key) {
    case VK_RETURN:
      // The command runs once the key is done with: run inside the keyboard
      // hook, a modal window it opens would take the same Enter.
      if (selectedControl_ && HandleAllocated()) PostMessageA(handle_, WMClickKeySelected, 0, 0);
      return;
    case VK_ESCAPE: {
      if (parentBar_ && parentBar_->SelectedControl()) {
        TCustomdxBarControl* parent = parentBar_;
        if (auto* toolbar = dynamic_cast<TdxBarControl*>(parent)) toolbar->SetOpenMenu(false);
        parent->SelectedControl()->ControlInactivate(true);
      } else {
        Hide();
      }
      return;
    }
    case VK_LEFT: {
      TCustomdxBarControl* parent = parentBar_ ? parentBar_ : (ownerControl_ ? ownerControl_->Parent() : nullptr);
      if (!parent) return;
      if (dynamic_cast<TdxBarSubMenuControl*>(parent)) {
        if (parent->SelectedControl()) parent->SelectedControl()->ControlInactivate(true);
        return;
      }
      TCustomdxBarControl* root = GetRootToolbarControl(this);
      if (!root || !root->HandleAllocated()) return;
      if (IsToolbarControlVertical(root))
        SendMessageA(handle_, WM_KEYDOWN, VK_ESCAPE, 0);
      else
        SendMessageA(root->Handle(), WM_KEYDOWN, VK_LEFT, 0);
      return;
    }
    case VK_RIGHT: {
      TCustomdxBarControl* root = GetRootToolbarControl(this);
      if (root && root != this && root->HandleAllocated()) SendMessageA(root->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
      return;
    }
    default:
      return;
  }
}

void TdxBarSubMenuControl::WndProc(TMessage& msg) {
  switch (msg.Msg) {
    case WMClickKeySelected:
      if (selectedControl_) selectedControl_->Click(false);
      msg.Result = 0;
      return;
    case WMAnimationDone:
      AnimationDone();
      msg.Result = 0;
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      // A click ends the growing first, then is handled as usual.
      if (AnimatedMenu() == this) {
        TCustomdxBarControl* active = ActiveBarControl();
        if (!active || active == this || IsChildBar(active)) {
          TdxBarControlRef self(this);
          StopMenuAnimation(this);
          if (!BarControlExists(self) || !HandleAllocated()) return;
        }
      }
      break;
    default:
      break;
  }
  switch (msg.Msg) {
    case WM_NCCALCSIZE: {
      RECT* r = msg.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(msg.LParam)->rgrc[0]
                           : reinterpret_cast<RECT*>(msg.LParam);
      r->top += DetachCaptionAreaSize();
      if (r->bottom < r->top) r->bottom = r->top;
      msg.Result = 0;
      return;
    }
    case WM_NCPAINT:
      if (HandleAllocated()) {
        HDC dc = GetWindowDC(handle_);
        NCPaint(dc);
        ReleaseDC(handle_, dc);
      }
      msg.Result = 0;
      return;
    case WM_NCHITTEST: {
      TCustomdxBarControl::WndProc(msg);
      if (Detachable() && HandleAllocated()) {
        TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
        TRect w = GetWindowRect();
        if (Offset(DetachCaptionRect(), w.left, w.top).Contains(p)) msg.Result = HTCLIENT;
      }
      return;
    }
    case WM_ERASEBKGND:
      msg.Result = 1;
      return;
    case WM_GETDLGCODE:
      msg.Result = DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS;
      return;
    case WM_MOUSEMOVE: {
      TCustomdxBarControl* active = ActiveBarControl();
      if (active && active != this && !IsChildBar(active)) break;
      MouseMoveMenu(msg);
      return;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      TCustomdxBarControl* active = ActiveBarControl();
      if (active && active != this && !IsChildBar(active)) break;
      if (msg.Msg == WM_LBUTTONDBLCLK && WantsDoubleClicks()) break;
      LButtonDownMenu(msg);
      return;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: {
      TdxBarControlRef self(this);
      TCustomdxBarControl::WndProc(msg);
      if (!BarControlExists(self) || !HandleAllocated() || GetIsCustomizing() || !GetIsContextMenu()) return;
      if (msg.Msg == WM_RBUTTONDOWN) {
        TMessage down = msg;
        down.Msg = WM_LBUTTONDOWN;
        LButtonDownMenu(down);
      } else {
        SendMessageA(handle_, WM_LBUTTONUP, msg.WParam, msg.LParam);
      }
      return;
    }
    case WM_MOUSELEAVE: {
      SetDetachCaptionSelected(false);
      break;
    }
    case WM_KEYDOWN:
      KeyDownMenu(msg);
      return;
    default:
      break;
  }
  TCustomdxBarControl::WndProc(msg);
}
