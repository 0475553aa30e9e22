// Bars, the bar collection, its dock sites and the loop that moves a bar.
#include <algorithm>
#include <set>

#include "Dxbarcontrols.h"
#include "Dxbarstrs.h"

namespace {

UINT_PTR gDockingTimer = 0;
TdxBarManager* gDockingManager = nullptr;

void KillDockingTimer() {
  if (gDockingTimer) dxBarSystem()->KillTimer(gDockingTimer);
  gDockingTimer = 0;
}

void CALLBACK DockingTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  CallGuarded([&] {
    KillDockingTimer();
    TdxBarManager* m = gDockingManager;
    if (m && dxBarManagerList && dxBarManagerList->IndexOf(m) >= 0 && !m->IsDestroying())
      m->Bars()->DockingTimerElapsed();
  });
}

}  // namespace

bool dxBarFormIsActive(TCustomForm* form) {
  if (!form || !form->HandleAllocated()) return false;
  HWND active = GetActiveWindow();
  if (active == form->Handle()) return true;
  TCustomForm* main = Application->MainForm();
  if (form->FormStyle() == fsMDIChild && main && main->HandleAllocated() && active == main->Handle())
    return main->ActiveMDIChild() == form;
  return false;
}

// ---------------------------------------------------------------- TdxBar

TdxBar::TdxBar(TdxBars* bars) : bars_(bars) {
  TdxBarManager* m = bars->BarManager();
  font_.reset(new TFont);
  font_->Assign(m->Font());
  font_->OnChange = [this](TObject*) {
    // The manager's font given to the bar is not a font of its own; the
    // window takes either.
    if (!fontChanging_) {
      useOwnFont_ = true;
      CreateBarFontHandle(font_.get(), fontHandle_, false);
    }
    if (TdxBarControl* c = Control()) c->FontChanged();
  };
  itemLinks_ = new TdxBarItemLinks(m, this);
  bars->bars_.push_back(this);
  if (!m->IsLoading()) {
    if (m->OnBarAdd) m->OnBarAdd(m, this);
    DesignerModified();
  }
}

TdxBar::~TdxBar() {
  TdxBarManager* m = BarManager();
  if (!m->IsDestroying()) {
    DesignerModified();
    if (m->OnBarDelete) {
      CallGuarded([&] { m->OnBarDelete(m, this); });
    }
  }
  SetVisible(false);
  if (std::vector<TdxBar*>* restore = m->BarsToRestore())
    restore->erase(std::remove(restore->begin(), restore->end(), this), restore->end());
  while (!freeNotifications_.empty()) {
    TCustomdxBarSubItem* sub = freeNotifications_.back();
    freeNotifications_.pop_back();
    sub->BarRemoved(this);
  }
  if (m->MainMenuBar() == this) m->SetMainMenuBar(nullptr);
  delete itemLinks_;
  itemLinks_ = nullptr;
  font_.reset();
  if (fontHandle_) DeleteObject(fontHandle_);
  auto& v = bars_->bars_;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

int TdxBar::Index() const { return bars_->IndexOf(this); }
TdxBarManager* TdxBar::BarManager() const { return bars_->BarManager(); }
TdxBarControl* TdxBar::Control() const { return itemLinks_ ? dynamic_cast<TdxBarControl*>(itemLinks_->BarControl()) : nullptr; }

void TdxBar::DesignerModified() {
  if (!bars_->Restoring()) BarManager()->DesignerModified();
}

void TdxBar::DockingStyleChanged() { BarManager()->DoBarDockingStyleChanged(this); }

bool TdxBar::IsStatusBar() const { return borderStyle_ == bbsNone && DockingStyle() == dsBottom; }

bool TdxBar::HasSizeGrip() const {
  if (!IsStatusBar() || !sizeGrip_) return false;
  TCustomForm* form = BarManager()->MainForm();
  if (form && form->HandleAllocated() && IsZoomed(form->Handle())) return false;
  TdxBarControl* c = Control();
  if (!c || !c->HandleAllocated()) return true;
  // The window's bottom lies on its parent's client bottom, and so on up
  // to the top-level window.
  HWND wnd = c->Handle();
  for (int depth = 0; depth < 64 && (GetWindowLongA(wnd, GWL_STYLE) & WS_CHILD); ++depth) {
    HWND parent = GetParent(wnd);
    if (!parent) break;
    RECT r, client;
    GetWindowRect(wnd, &r);
    GetClientRect(parent, &client);
    MapWindowPoints(parent, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    if (r.bottom != client.bottom) return false;
    wnd = parent;
  }
  return true;
}

int TdxBar::BarNCSizeX(TdxBarDockingStyle style) const {
  TdxBarManager* m = BarManager();
  if (style == dsNone) return 2 * m->BorderSizeX() + (m->Flat() ? 0 : 8);
  if (borderStyle_ == bbsSingle)
    return (style == dsTop || style == dsBottom) ? 4 + m->GripSize() : 4;
  return HasSizeGrip() ? GetSystemMetrics(SM_CXHSCROLL) : 0;
}

int TdxBar::BarNCSizeY(TdxBarDockingStyle style) const {
  TdxBarManager* m = BarManager();
  if (style == dsNone) return 2 * m->BorderSizeY() + GetSmallCaptionHeight() + (m->Flat() ? 0 : 3);
  if (borderStyle_ == bbsSingle)
    return (style == dsLeft || style == dsRight) ? 4 + m->GripSize() : 4;
  return IsStatusBar() ? 2 : 0;
}

bool TdxBar::CanClose() const {
  return allowClose_ && !isMainMenu_ && (!Control() || Control()->AllowsClosing());
}

bool TdxBar::CanReset() const { return loaded_ && allowReset_; }

bool TdxBar::IsShortCut(TShortCut shortCut) { return itemLinks_->IsShortCut(shortCut); }

void TdxBar::AddFreeNotification(TCustomdxBarSubItem* subItem) {
  if (std::find(freeNotifications_.begin(), freeNotifications_.end(), subItem) == freeNotifications_.end())
    freeNotifications_.push_back(subItem);
}

void TdxBar::RemoveFreeNotification(TCustomdxBarSubItem* subItem) {
  freeNotifications_.erase(std::remove(freeNotifications_.begin(), freeNotifications_.end(), subItem),
                           freeNotifications_.end());
}

void TdxBar::SetAllowClose(bool value) {
  if (value == allowClose_) return;
  allowClose_ = value;
  if (Control() && DockingStyle() == dsNone) Control()->RepaintBar();
  UpdateCustomizingBars();
}

void TdxBar::SetAllowQuickCustomizing(bool value) {
  if (value == allowQuickCustomizing_) return;
  allowQuickCustomizing_ = value;
  if (Control() && BarManager()->Style() != bmsStandard) Control()->RepaintBar();
}

void TdxBar::SetBorderStyle(TdxBarBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  if (Control()) Control()->RebuildBar();
}

void TdxBar::SetCaption(const String& value) {
  if (value == caption_) return;
  TdxBarManager* m = BarManager();
  if (m->BarByCaption(value)) return;
  caption_ = value;
  if (Control()) Control()->CaptionChanged();
  if (name_.empty() && !m->IsLoading()) name_ = m->BarByName(value) ? bars_->GetUniqueToolbarName(value) : value;
  UpdateCustomizingBars();
  DesignerModified();
}

void TdxBar::SetDockControl(TdxBarDockControl* value) {
  TdxBarManager* m = BarManager();
  if (value && value->BarManager() != m) return;
  if (m->IsLoading()) {
    loadedDockControl_ = value;
    return;
  }
  if (value == dockControl_ && (!value || !Control() || Control()->DockControl() == value)) return;
  bool hidden = false;
  if (Control() && !internalDocking_ && visible_) {
    bool changes = value ? Control()->DockControl() != value : dockControl_ != nullptr;
    if (changes) {
      Hide();
      hidden = true;
    }
  }
  dockControl_ = value;
  itemLinks_->SetRecentItemCount(-1);
  if (!internalDocking_ && value) {
    auto guard = SetForScope(internalDocking_, true);
    SetDockingStyle(value->DockingStyle());
  }
  if (hidden) Show();
  if (Control()) Control()->SetDockControl(RealDockControl());
  if (!internalDocking_) DockingStyleChanged();
}

void TdxBar::SetDockedDockControl(TdxBarDockControl* value) {
  if (value && value->BarManager() != BarManager()) return;
  if (value == dockedDockControl_) return;
  dockedDockControl_ = value;
  DesignerModified();
}

TdxBarDockingStyle TdxBar::DockedDockingStyle() const {
  return dockedDockControl_ ? dockedDockControl_->DockingStyle() : dockedDockingStyle_;
}

void TdxBar::SetDockedDockingStyle(TdxBarDockingStyle value) {
  if (value == dockedDockingStyle_) return;
  dockedDockingStyle_ = value;
  DesignerModified();
}

void TdxBar::SetDockedLeft(int value) {
  if (value < 0) value = 0;
  if (value == dockedLeft_) return;
  dockedLeft_ = value;
  DesignerModified();
}

void TdxBar::SetDockedTop(int value) {
  if (value < 0) value = 0;
  if (value == dockedTop_) return;
  dockedTop_ = value;
  DesignerModified();
}

TdxBarDockingStyle TdxBar::DockingStyle() const { return dockControl_ ? dockControl_->DockingStyle() : dockingStyle_; }

void TdxBar::SetDockingStyle(TdxBarDockingStyle value) {
  TdxBarManager* m = BarManager();
  if (value == dockingStyle_) return;
  if (m->IsLoading()) {
    loadedDockingStyle_ = value;
    return;
  }
  bool internal = internalDocking_;
  bool hidden = false;
  if (!internal && Control() && Control()->DockingStyle() != value && visible_) {
    Hide();
    hidden = true;
  }
  dockingStyle_ = value;
  if (!internal) {
    auto guard = SetForScope(internalDocking_, true);
    SetDockControl(nullptr);
  }
  itemLinks_->SetRecentItemCount(-1);
  if (hidden) Show();
  if (Control()) Control()->SetDockingStyle(DockingStyle());
  if (!internal) DockingStyleChanged();
}

void TdxBar::ChangeDockingStyle(TdxBarDockingStyle style, TdxDockControl* dockControl) {
  if (dockControl && dockControl->Main()) dockControl = nullptr;
  auto* placed = dynamic_cast<TdxBarDockControl*>(dockControl);
  if (style != DockingStyle()) {
    if (placed && placed != dockControl_)
      SetDockControl(placed);
    else
      SetDockingStyle(style);
  } else {
    SetDockControl(placed);
  }
}

void TdxBar::SetFloatLeft(int value) {
  if (value == floatLeft_) return;
  floatLeft_ = value;
  DesignerModified();
}

void TdxBar::SetFloatTop(int value) {
  if (value == floatTop_) return;
  floatTop_ = value;
  DesignerModified();
}

void TdxBar::SetFloatClientWidth(int value) {
  if (value == floatClientWidth_) return;
  floatClientWidth_ = value;
  DesignerModified();
}

void TdxBar::SetFloatClientHeight(int value) {
  if (value == floatClientHeight_) return;
  floatClientHeight_ = value;
  DesignerModified();
}

void TdxBar::SetFont(TFont* value) { font_->Assign(value); }

void TdxBar::SetHidden(bool value) {
  if (value == hidden_) return;
  hidden_ = value;
  DesignerModified();
}

void TdxBar::SetIsMainMenu(bool value) {
  if (value == isMainMenu_) return;
  TdxBarManager* m = BarManager();
  bool locked = m->LockUpdate();
  m->SetLockUpdate(true);
  {
    TFinally guard([&] { m->SetLockUpdate(locked); });
    if (value && m->MainMenuBar() && m->MainMenuBar() != this) m->MainMenuBar()->SetIsMainMenu(false);
    isMainMenu_ = value;
    if (value) {
      m->SetMainMenuBar(this);
      SetWholeRow(true);
      SetMultiLine(true);
    } else {
      if (m->MainMenuBar() == this) m->SetMainMenuBar(nullptr);
      SetMultiLine(false);
      SetWholeRow(false);
    }
  }
  if (!m->IsLoading()) {
    if (Control() && DockingStyle() != dsNone) Control()->RepaintBar();
    UpdateCustomizingBars();
  }
}

void TdxBar::SetItemLinks(TdxBarItemLinks* value) { itemLinks_->Assign(value); }

void TdxBar::SetMultiLine(bool value) {
  if (value == multiLine_ || (!value && isMainMenu_)) return;
  multiLine_ = value;
  if (Control() && DockingStyle() != dsNone) Control()->RepaintBar();
}

void TdxBar::SetRotateWhenVertical(bool value) {
  if (value == rotateWhenVertical_) return;
  rotateWhenVertical_ = value;
  if (Control()) Control()->FontChanged();
}

void TdxBar::SetRow(int value) {
  if (value < 0) value = 0;
  row_ = value;
}

void TdxBar::SetShowMark(bool value) {
  if (value == showMark_) return;
  showMark_ = value;
  if (Control()) Control()->RepaintBar();
}

void TdxBar::SetSizeGrip(bool value) {
  if (value == sizeGrip_) return;
  sizeGrip_ = value;
  if (Control() && IsStatusBar()) Control()->RebuildBar();
}

void TdxBar::SetUseOwnFont(bool value) {
  if (value == useOwnFont_) return;
  {
    auto guard = SetForScope(fontChanging_, true);
    useOwnFont_ = value;
    if (!value) {
      font_->Assign(BarManager()->Font());
      if (fontHandle_) DeleteObject(fontHandle_);
      fontHandle_ = nullptr;
    } else {
      CreateBarFontHandle(font_.get(), fontHandle_, false);
    }
  }
  if (Control()) Control()->FontChanged();
}

void TdxBar::SetUseRecentItems(bool value) {
  if (value == useRecentItems_) return;
  useRecentItems_ = value;
  itemLinks_->SetUseRecentItems(value);
  if (Control()) Control()->RepaintBar();
}

void TdxBar::SetUseRestSpace(bool value) {
  if (value == useRestSpace_) return;
  useRestSpace_ = value;
  if (Control()) Control()->RepaintBar();
}

void TdxBar::SetWholeRow(bool value) {
  if (value == wholeRow_) return;
  wholeRow_ = value;
  if (Control() && DockingStyle() != dsNone && visible_) {
    Hide();
    Show();
  }
}

void TdxBar::SetLockUpdate(bool value) {
  if (value == lockUpdate_) return;
  lockUpdate_ = value;
  if (!value && Control()) Control()->RepaintBar();
}

TdxDockControl* TdxBar::RealDockControl() const {
  if (dockControl_) return dockControl_;
  return bars_->GetDockControl(dockingStyle_);
}

void TdxBar::SetVisible(bool value) {
  TdxBarManager* m = BarManager();
  if (value && m->IsDestroying()) return;
  if (m->IsLoading()) {
    loadedVisible_ = value;
    return;
  }
  if (value == visible_) return;
  closed_ = false;
  if (value) {
    visible_ = true;
    Show();
  } else {
    Hide();
    visible_ = false;
  }
  if (m->IsCustomizing() && !m->StyleChanging()) UpdateCustomizingBars();
  if (!m->IsDestroying() && m->OnBarVisibleChange) m->OnBarVisibleChange(m, this);
  if (!bars_->Restoring()) DesignerModified();
}

void TdxBar::Hide() {
  TdxBarControl* c = Control();
  if (!c) return;
  c->SavePos();
  itemLinks_->DestroyBarControl();
}

void TdxBar::Show() {
  if (Control()) return;
  // A copy of the form made from its definition has no windows.
  if (dxBarReadingFormCopy) return;
  TdxBarManager* m = BarManager();
  itemLinks_->CreateBarControl();
  TdxBarControl* c = Control();
  if (!c) return;
  TdxBarDockingStyle style = DockingStyle();
  if (style == dsNone) {
    c->BeginInternal();
    c->ChangeStyleWinTo(dsNone, nullptr);
    TPoint size = c->GetTrackSize(dsNone);
    c->SetBounds(floatLeft_, floatTop_, size.x, size.y);
    c->EndInternal();
    TCustomForm* form = m->MainForm();
    bool formVisible = form && form->HandleAllocated() && IsWindowVisible(form->Handle());
    bool wait = m->HideFloatingBarsWhenInactive() && !dxBarFormIsActive(form) && !m->IsCustomizing();
    // Otherwise it waits for the form to be shown or activated.
    if (formVisible && !wait) c->ShowNA();
  } else {
    TdxDockControl* dock = RealDockControl();
    everDocked_ = true;
    // Placed by program: the dock takes the bar's row.
    c->BeginInternal();
    c->ChangeStyleWinTo(style, dock);
    TPoint p = dock ? dock->ClientToScreen(TPoint(dockedLeft_, dockedTop_)) : TPoint(dockedLeft_, dockedTop_);
    bars_->RegInDock(style, dock, c, p);
    c->EndInternal();
    c->ShowNA();
  }
}

void TdxBar::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TdxBar*>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  SetAllowClose(src->allowClose_);
  allowCustomizing_ = src->allowCustomizing_;
  SetAllowQuickCustomizing(src->allowQuickCustomizing_);
  allowReset_ = src->allowReset_;
  SetCaption(src->caption_);
  TdxBarManager* m = BarManager();
  auto sameManager = [&](TdxBarDockControl* d) { return d && d->BarManager() == m ? d : nullptr; };
  SetDockedDockControl(sameManager(src->dockedDockControl_));
  dockedDockingStyle_ = src->DockedDockingStyle();
  SetDockedLeft(src->dockedLeft_);
  SetDockedTop(src->dockedTop_);
  SetFloatLeft(src->floatLeft_);
  SetFloatTop(src->floatTop_);
  SetFloatClientWidth(src->floatClientWidth_);
  SetFloatClientHeight(src->floatClientHeight_);
  SetHidden(src->hidden_);
  SetIsMainMenu(src->isMainMenu_);
  SetItemLinks(src->itemLinks_);
  notDocking_ = src->notDocking_;
  oneOnRow_ = src->oneOnRow_;
  SetRotateWhenVertical(src->rotateWhenVertical_);
  SetRow(src->row_);
  SetWholeRow(src->wholeRow_);
  ChangeDockingStyle(src->DockingStyle(), sameManager(src->dockControl_));
  SetUseRecentItems(src->useRecentItems_);
  SetUseRestSpace(src->useRestSpace_);
  SetFont(src->Font());
  SetUseOwnFont(src->useOwnFont_);
  SetVisible(src->visible_);
}

namespace {

// The sub items reached from links take their links and usage from the
// copy's items of the same name, down the menus.
void RestoreSubItems(TdxBarItemLinks* links, TCustomForm* copy, std::set<TCustomdxBarSubItem*>& done) {
  for (int i = 0; i < links->Count(); ++i) {
    auto* sub = dynamic_cast<TCustomdxBarSubItem*>(links->Items(i)->Item());
    if (!sub || done.count(sub)) continue;
    done.insert(sub);
    auto* source = dynamic_cast<TCustomdxBarSubItem*>(copy->FindComponent(sub->Name()));
    if (!source) continue;
    sub->ItemLinks()->Assign(source->ItemLinks());
    sub->ItemLinks()->AssignUsageData(source->ItemLinks());
    RestoreSubItems(sub->ItemLinks(), copy, done);
  }
}

}  // namespace

void TdxBar::Reset() {
  TdxBarManager* m = BarManager();
  TOwned<TCustomForm> copy(m->LoadMainFormFromBin());
  if (!copy) return;
  auto* other = dynamic_cast<TdxBarManager*>(copy->FindComponent(m->Name()));
  TdxBar* src = other ? other->Bars()->Items(Index()) : nullptr;
  if (!src) return;
  m->DoBarBeforeReset(this);
  {
    auto restoring = SetForScope(dxBarRestoringFromForm, true);
    std::set<TCustomdxBarSubItem*> done;
    if (m->UseFullReset()) {
      bool locked = m->LockUpdate();
      bool wasVisible = visible_;
      m->SetLockUpdate(true);
      {
        TFinally guard([&] { m->SetLockUpdate(locked); });
        SetVisible(false);
        Assign(src);
        itemLinks_->AssignUsageData(src->ItemLinks());
        RestoreSubItems(itemLinks_, copy.get(), done);
        SetVisible(wasVisible);
      }
    } else {
      bool locked = lockUpdate_;
      SetLockUpdate(true);
      TFinally cleanUp([&] { SetLockUpdate(locked); });
      itemLinks_->Assign(src->ItemLinks());
      itemLinks_->AssignUsageData(src->ItemLinks());
      RestoreSubItems(itemLinks_, copy.get(), done);
    }
  }
  m->DoBarAfterReset(this);
}

void TdxBar::ResetWithConfirmation() {
  String text = Format(dxBarLoadStr(dxSBAR_WANTTORESETTOOLBAR), caption_);
  if (Application->MessageBox(text, Application->Title, MB_OKCANCEL | MB_ICONWARNING) == IDOK) Reset();
}

void TdxBar::ResetToolbarClick(TObject*) { ResetWithConfirmation(); }

// ---------------------------------------------------------------- TdxBars

TdxBars::TdxBars(TdxBarManager* manager) : manager_(manager) {
  for (TdxBarDockingStyle s : {dsLeft, dsTop, dsRight, dsBottom}) {
    auto* dock = new TdxDockControl(nullptr, manager, s);
    dockControls_[s] = dock;
    manager->AddDockControl(dock);
  }
}

TdxBars::~TdxBars() {
  KillDockingTimer();
  if (gDockingManager == manager_) gDockingManager = nullptr;
  while (!bars_.empty()) bars_.back()->Free();
  for (TdxDockControl*& dock : dockControls_) {
    TdxDockControl* d = dock;
    dock = nullptr;
    if (d) d->Free();
  }
}

TdxBar* TdxBars::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return bars_[static_cast<size_t>(index)];
}

TdxBar* TdxBars::Add() { return new TdxBar(this); }

void TdxBars::Delete(int index) {
  if (TdxBar* bar = Items(index)) bar->Free();
}

int TdxBars::IndexOf(const TdxBar* bar) const {
  auto it = std::find(bars_.begin(), bars_.end(), bar);
  return it == bars_.end() ? -1 : static_cast<int>(it - bars_.begin());
}

void TdxBars::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TdxBars*>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  while (!bars_.empty()) bars_.back()->Free();
  for (int i = 0; i < src->Count(); ++i) Add()->Assign(src->Items(i));
}

TdxDockControl* TdxBars::GetDockControl(TdxBarDockingStyle style) const {
  return style == dsNone ? nullptr : dockControls_[style];
}

void TdxBars::ForgetDockControl(TdxDockControl* dockControl) {
  for (TdxDockControl*& d : dockControls_)
    if (d == dockControl) d = nullptr;
}

void TdxBars::RegInDock(TdxBarDockingStyle style, TdxDockControl* dockControl, TdxBarControl* barControl, TPoint p) {
  TdxDockControl* dock = dockControl ? dockControl : GetDockControl(style);
  if (dock) dock->AddBarControl(barControl, p, true);
}

void TdxBars::UnregFromDock(TdxBarDockingStyle style, TdxDockControl* dockControl, TdxBarControl* barControl) {
  TdxDockControl* dock = dockControl ? dockControl : GetDockControl(style);
  if (dock) dock->DeleteBarControl(barControl, true);
}

String TdxBars::GetUniqueToolbarName(const String& baseName) const {
  for (int n = 1;; ++n) {
    String name = baseName + IntToStr(n);
    if (!manager_->BarByName(name)) return name;
  }
}

bool TdxBars::GetDockingStyleAtPos(TdxBar* bar, TPoint p, TdxBarDockingStyle& style, TdxDockControl*& dockControl) {
  style = dsNone;
  dockControl = nullptr;
  if (moving_ && (dxBarSystem()->GetKeyState(VK_CONTROL) & 0x8000)) return false;
  auto tryAt = [&](TPoint q) {
    for (TdxBarDockingStyle s : {dsLeft, dsRight, dsTop, dsBottom})
      for (int i = 0; i < manager_->DockControlCount(); ++i) {
        TdxDockControl* dock = manager_->DockControls(i);
        if (dock->DockingStyle() != s || !dock->CanFocus() || !dock->GetDockZoneBounds().Contains(q)) continue;
        if (!manager_->DoDocking(bar, s, dock)) continue;
        style = s;
        dockControl = dock;
        return true;
      }
    return false;
  };
  if (tryAt(p)) return true;
  return moving_ && tryAt(TPoint(p.x - dragOffset_.x, p.y - dragOffset_.y));
}

void TdxBars::ChangeBarControlPos(TdxBarControl* barControl, TPoint p, bool fromTimer) {
  TdxBar* bar = barControl->Bar();
  TdxBarDockingStyle style;
  TdxDockControl* dock;
  GetDockingStyleAtPos(bar, p, style, dock);
  if (!manager_->DoDocking(bar, style, dock)) return;
  if (!fromTimer && barControl->DockingStyle() == dsNone && style != dsNone) {
    KillDockingTimer();
    gDockingManager = manager_;
    gDockingTimer = dxBarSystem()->SetTimer(static_cast<UINT>(manager_->WaitForDockingTime()), DockingTimerProc);
    style = dsNone;
    dock = nullptr;
  }
  if (style == dsNone) p = TPoint(p.x - dragOffset_.x, p.y - dragOffset_.y);
  if (style == barControl->DockingStyle() && (style == dsNone || dock == barControl->DockControl())) {
    if (style != dsNone) {
      dock->MoveBarControl(barControl, p);
    } else {
      TPoint off = barControl->GetDragPointOffset(dsNone);
      barControl->SetPos(p.x - off.x, p.y - off.y);
    }
    return;
  }
  barControl->HideWindow();
  if (barControl->DockingStyle() != dsNone) {
    UnregFromDock(barControl->DockingStyle(), barControl->DockControl(), barControl);
    if (barControl->ItemLinks()) barControl->ItemLinks()->SetRecentItemCount(-1);
  }
  barControl->BeginInternal();
  barControl->ChangeStyleWinTo(style, dock);
  if (style != dsNone) {
    RegInDock(style, dock, barControl, p);
  } else {
    TPoint size = barControl->GetTrackSize(dsNone);
    TPoint off = barControl->GetDragPointOffset(dsNone);
    barControl->SetBounds(p.x - off.x, p.y - off.y, size.x, size.y);
  }
  barControl->EndInternal();
  barControl->ShowNA();
}

void TdxBars::DockingTimerElapsed() {
  if (!moving_ || !movingBarControl_) return;
  auto guard = SetForScope(inTimer_, true);
  TPoint c = dxBarSystem()->GetCursorPos();
  ChangeBarControlPos(movingBarControl_, TPoint(c.x + dragOffset_.x, c.y + dragOffset_.y), true);
}

void TdxBars::Moving(TdxBarControl* barControl) {
  TdxBar* bar = barControl->Bar();
  if (bar->NotDocking().Includes({dsNone, dsLeft, dsTop, dsRight, dsBottom})) return;
  TdxBarControlRef ref(barControl);
  if (barControl->DockingStyle() != dsNone && barControl->DockControl()) barControl->DockControl()->AssignPositions();
  moving_ = true;
  barControl->SetMoving(true);
  TPoint cursor = dxBarSystem()->GetCursorPos();
  movingStartStyle_ = barControl->DockingStyle();
  dragOffset_ = TPoint();
  cursorOffset_ = TPoint();
  if (TdxDockControl* dock = barControl->DockingStyle() != dsNone ? barControl->DockControl() : nullptr) {
    TPoint p = dock->ClientToScreen(TPoint(barControl->Left(), barControl->Top()));
    dock->DeleteBarControl(barControl, false);
    dock->GetPosForRow(bar->Row(), bar->OneOnRow(), p);
    if (IsToolbarControlVertical(barControl))
      dragOffset_.x = p.x - cursor.x;
    else
      dragOffset_.y = p.y - cursor.y;
    dock->AddBarControl(barControl, p, true);
  }
  TRect screen = barControl->GetWindowRect();
  cursorOffset_ = TPoint(cursor.x - screen.left, cursor.y - screen.top);
  barControl->SetGrab(cursorOffset_.x, screen.Width(), cursorOffset_.y, screen.Height());

  ProcessPaintMessages();
  HWND capture = manager_->GetWindowForMouseCapturing();
  SetCapture(capture);
  TPoint last = cursor;
  bool ended = false;
  auto moveTo = [&](TPoint p) {
    if (!BarControlExists(ref)) {
      ended = true;
      return;
    }
    ChangeBarControlPos(barControl, TPoint(p.x + dragOffset_.x, p.y + dragOffset_.y));
    last = p;
  };
  auto finish = [&] {
    KillDockingTimer();
    gDockingManager = nullptr;
    if (GetCapture() == capture) ReleaseCapture();
    if (BarControlExists(ref)) {
      barControl->SetMoving(false);
      if (barControl->DockingStyle() != dsNone && barControl->DockControl()) barControl->DockControl()->AssignPositions();
    }
    moving_ = false;
  };
  TFinally guard([&] { finish(); });
  dxBarMessageLoop(
      [&](MSG& msg) {
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
          bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
          bool up = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP;
          if ((down || up) && msg.wParam == VK_CONTROL) {
            moveTo(dxBarSystem()->GetCursorPos());
          } else if (down && msg.wParam == VK_ESCAPE) {
            ended = true;
          }
          return true;
        }
        if (msg.message == WM_MOUSEMOVE) {
          TPoint p = dxBarSystem()->GetCursorPos();
          if (p != last) moveTo(p);
          return true;
        }
        if (msg.message == WM_LBUTTONUP) {
          ended = true;
          return true;
        }
        return false;
      },
      [&] { return ended || GetCapture() != capture; });
}
