// Popup menus: a menu window opened at a point that runs until it closes,
// the drop-down menus of split buttons, and the links that bind a popup
// menu to a control of the manager's form.
#include "Dxbarcontrols.h"
#include "Dxbarstrs.h"

// ---------------------------------------------------------------- popup menu

TdxBarPopupMenu::TdxBarPopupMenu(TComponent* owner) : TComponent(owner) {
  if (!dxBarManagerList || dxBarManagerList->Count() == 0) throw Exception(dxBarLoadStr(dxSBAR_NOBARMANAGERS));
  TdxBarManager* m = nullptr;
  if (auto* form = dynamic_cast<TCustomForm*>(owner)) m = GetBarManagerByForm(form);
  if (!m) m = dxBarManagerList->GetBarManager(0);
  font_.reset(new TFont);
  font_->Assign(m->Font());
  font_->OnChange = {this, &TdxBarPopupMenu::FontChanged};
  itemLinks_ = new TdxBarItemLinks(m, this);
  itemLinks_->SetUseRecentItems(false);
  SetBarManager(m);
}

TdxBarPopupMenu::~TdxBarPopupMenu() {
  Destroying();
  delete itemLinks_;
  itemLinks_ = nullptr;
  font_.reset();
  if (fontHandle_) DeleteObject(fontHandle_);
  fontHandle_ = nullptr;
  SetBarManager(nullptr);
}

void TdxBarPopupMenu::SetBarManager(TdxBarManager* value) {
  if (value == manager_ || (!value && !IsDestroying())) return;
  if (manager_) manager_->RemovePopupMenu(this);
  manager_ = value;
  if (itemLinks_) itemLinks_->SetBarManager(value);
  if (manager_) manager_->AddPopupMenu(this);
}

void TdxBarPopupMenu::SetUseRecentItems(bool value) {
  useRecentItems_ = value;
  itemLinks_->SetUseRecentItems(value);
}

void TdxBarPopupMenu::SetUseOwnFont(bool value) {
  if (value == useOwnFont_) return;
  fontChanging_ = true;
  useOwnFont_ = value;
  TFinally guard([&] { fontChanging_ = false; });
  if (!value) {
    if (manager_) font_->Assign(manager_->Font());
    if (fontHandle_) DeleteObject(fontHandle_);
    fontHandle_ = nullptr;
  } else {
    CreateBarFontHandle(font_.get(), fontHandle_, false);
  }
}

void TdxBarPopupMenu::ManagerFontChanged() {
  fontChanging_ = true;
  TFinally guard([&] { fontChanging_ = false; });
  if (useOwnFont_)
    CreateBarFontHandle(font_.get(), fontHandle_, false);
  else if (manager_)
    font_->Assign(manager_->Font());
}

void TdxBarPopupMenu::FontChanged(TObject*) {
  if (fontChanging_) return;
  useOwnFont_ = true;
  CreateBarFontHandle(font_.get(), fontHandle_, false);
}

TdxBarSubMenuControl* TdxBarPopupMenu::SubMenuControl() const {
  return dynamic_cast<TdxBarSubMenuControl*>(itemLinks_->BarControl());
}

void TdxBarPopupMenu::Loaded() {
  TComponent::Loaded();
  itemLinks_->Loaded(true);
}

void TdxBarPopupMenu::DoPaintBar(TCanvas* canvas, const TRect& r) {
  if (OnPaintBar) OnPaintBar(this, canvas, r);
}

bool TdxBarPopupMenu::IsShortCut(TShortCut shortCut) { return itemLinks_->IsShortCut(shortCut); }

void TdxBarPopupMenu::MenuPopup(TObject*) {
  shown_ = true;
  if (OnPopup) OnPopup(this);
}

void TdxBarPopupMenu::MenuCloseUp(TObject*) {
  shown_ = false;
  if (OnCloseUp) OnCloseUp(this);
}

void TdxBarPopupMenu::Popup(int x, int y) {
  if (SubMenuControl() || !manager_) return;
  // Whatever runs a mode of its own (a drag, a pressed button) stops.
  TCustomForm* form = dynamic_cast<TCustomForm*>(Owner());
  if (!form) form = manager_->MainForm();
  if (form) form->Perform(CM_CANCELMODE);
  if (HWND capture = GetCapture()) {
    SendMessageA(capture, WM_CANCELMODE, 0, 0);
    ReleaseCapture();
  }
  itemLinks_->CreateBarControl();
  TdxBarSubMenuControl* menu = SubMenuControl();
  if (!menu) return;
  menu->SetBounds(x, y, menu->Width(), menu->Height());
  if (hasExclusion_) menu->SetExclusionRect(exclusion_);
  menu->SetOwnerWidth(ownerWidth_);
  menu->SetOwnerHeight(ownerHeight_);
  if (auto* owner = dynamic_cast<TWinControl*>(Owner()); owner && owner->HandleAllocated())
    menu->SetParentWnd(owner->Handle());
  menu->SetAnimate(animate_);
  menu->OnPopup = {this, &TdxBarPopupMenu::MenuPopup};
  menu->OnCloseUp = {this, &TdxBarPopupMenu::MenuCloseUp};
  TdxBarControlRef ref(menu);
  menu->Show();
  if (dropDown_) return;
  // Commands wait until the menu has closed; a WM_QUIT ends the loop (and
  // the menu) and is posted again.
  TPumpResult r = dxBarMessageLoop([](MSG& msg) { return msg.message == WM_COMMAND; },
                                   [&] { return !shown_ || !BarControlExists(ref); });
  if (r == prQuit && BarControlExists(ref)) static_cast<TdxBarSubMenuControl*>(ref.Control())->HideAll();
}

void TdxBarPopupMenu::PopupEx(int x, int y, int ownerWidth, int ownerHeight, bool animate, const TRect* exclusion) {
  ownerWidth_ = ownerWidth;
  ownerHeight_ = ownerHeight;
  animate_ = animate;
  hasExclusion_ = exclusion != nullptr;
  if (exclusion) exclusion_ = *exclusion;
  TFinally guard([&] {
    ownerWidth_ = ownerHeight_ = 0;
    animate_ = true;
    hasExclusion_ = false;
  });
  Popup(x, y);
}

void TdxBarPopupMenu::PopupFromCursorPos() {
  TPoint p = dxBarSystem()->GetCursorPos();
  Popup(p.x, p.y);
}

// ---------------------------------------------------------------- drop-down buttons

void TdxBarButton::DoDropDown(TdxBarItemControl* control, int x, int y, bool byMouse) {
  if (!dropDownMenu_ || !control || !control->Parent()) return;
  TCustomdxBarControl* bar = control->Parent();
  TRect screen = bar->GetItemScreenRect(control);
  TRect r = bar->GetItemRect(control);
  bool horizontal = dynamic_cast<TdxBarControl*>(bar) && !IsToolbarControlVertical(bar);
  TdxBarPopupMenu* menu = dropDownMenu_;
  menu->SetDropDownMode(true);
  {
    TFinally guard([&] { menu->SetDropDownMode(false); });
    menu->PopupEx(x, y, horizontal ? 0 : r.Width(), horizontal ? r.Height() : 0, true,
                  control->HasShadow() ? &screen : nullptr);
  }
  TdxBarSubMenuControl* window = menu->SubMenuControl();
  if (!window) return;
  window->SetOwnerControl(control);
  window->SetOwnerLinkBounds(screen);
  // The shadow joins the button now that the menu knows it.
  window->ResizeShadow();
  if (window->HandleAllocated()) InvalidateRect(window->Handle(), nullptr, FALSE);
  if (!byMouse && window->ItemLinks())
    if (TdxBarItemLink* first = window->ItemLinks()->First()) window->SetKeySelectedItem(first->Control());
}

// ---------------------------------------------------------------- popup-menu links

void TdxBarPopupMenuLink::SetControl(TWinControl* value) {
  if (value == control_) return;
  if (value && GetParentForm(value) != manager_->MainForm()) value = nullptr;
  control_ = value;
  if (value) value->FreeNotification(manager_);
}

void TdxBarPopupMenuLink::SetPopupMenu(TdxBarPopupMenu* value) {
  if (value == popupMenu_) return;
  popupMenu_ = value;
  if (value) value->FreeNotification(manager_);
}

void TdxBarPopupMenuLink::Assign(TdxBarPopupMenuLink* source) {
  if (!source) return;
  SetControl(source->Control());
  SetPopupMenu(source->PopupMenu());
}

bool TdxBarPopupMenuLink::IsShortCut(TShortCut shortCut) {
  bool allow = popupMenu_ != nullptr;
  if (OnAction) {
    int x = -1, y = -1;
    OnAction(this, x, y, false, allow);
  }
  return allow && popupMenu_ && popupMenu_->IsShortCut(shortCut);
}

bool TdxBarPopupMenuLink::DoAction(HWND wnd, TPoint pos) {
  if (!control_ || !wnd) return false;
  MSG pending;
  PeekMessageA(&pending, wnd, WM_CONTEXTMENU, WM_CONTEXTMENU, PM_REMOVE);
  bool byMouse = pos.x != -1;
  HWND controlWnd = control_->HandleAllocated() ? control_->Handle() : wnd;
  POINT p{0, 0};
  POINT controlPos{-1, -1};
  if (byMouse) {
    p = pos;
    ScreenToClient(wnd, &p);
    controlPos = p;
    MapWindowPoints(wnd, controlWnd, &controlPos, 1);
  } else if (HideCaret(wnd)) {
    ShowCaret(wnd);
    GetCaretPos(&p);
  }
  bool handled = false;
  if (control_->OnContextPopup) control_->OnContextPopup(control_, TPoint(controlPos), handled);
  if (handled) return true;
  bool result = popupMenu_ != nullptr;
  if (OnAction) {
    POINT q = p;
    MapWindowPoints(wnd, controlWnd, &q, 1);
    int x = q.x, y = q.y;
    OnAction(this, x, y, byMouse, result);
    q = {x, y};
    MapWindowPoints(controlWnd, wnd, &q, 1);
    p = q;
  }
  if (result && popupMenu_) {
    if (IsWindowEnabled(wnd)) SetFocus(wnd);
    ClientToScreen(wnd, &p);
    popupMenu_->Popup(p.x, p.y);
  }
  return result;
}

TdxBarPopupMenuLinks::~TdxBarPopupMenuLinks() { Clear(); }

TdxBarPopupMenuLink* TdxBarPopupMenuLinks::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return links_[static_cast<size_t>(index)];
}

TdxBarPopupMenuLink* TdxBarPopupMenuLinks::Add() {
  links_.push_back(new TdxBarPopupMenuLink(manager_));
  return links_.back();
}

void TdxBarPopupMenuLinks::Clear() {
  for (TdxBarPopupMenuLink* l : links_) delete l;
  links_.clear();
}

bool TdxBarPopupMenuLinks::IsShortCut(TWinControl* control, TShortCut shortCut) {
  if (!control) return false;
  for (size_t i = 0; i < links_.size(); ++i)
    if (links_[i]->Control() == control && links_[i]->IsShortCut(shortCut)) return true;
  return false;
}

bool TdxBarPopupMenuLinks::DoAction(TWinControl* control, HWND wnd, TPoint pos) {
  if (!control || (manager_ && manager_->IsDesigning())) return false;
  for (size_t i = 0; i < links_.size(); ++i)
    if (links_[i]->Control() == control && links_[i]->DoAction(wnd, pos)) return true;
  return false;
}
