// The manager and its form: the layout saved when the form goes, floating
// bars following the form's activation, system changes, F1 help on bar
// items, and an MDI frame's main menu bar taking in the active child's main
// menu, its system menu (the child's icon) and its buttons.
#include <algorithm>

#include "Dxbarcontrols.h"
#include "customize/Dxbarcustform.h"

DX_BAR_ITEM_CLASS_IMPL(TSystemMenuSubItem)
DX_BAR_CONTROL_CLASS_IMPL(TSystemMenuSubItemControl)

namespace {

// The bars of the manager that float and have a window.
template <class F>
void ForFloatingBars(TdxBarManager* m, F f) {
  for (int i = 0; i < m->Bars()->Count(); ++i) {
    TdxBar* bar = m->Bars()->Items(i);
    if (!bar || bar->DockingStyle() != dsNone) continue;
    if (TdxBarControl* c = bar->Control(); c && c->HandleAllocated()) f(bar, c);
  }
}

bool SameProcess(HWND a, HWND b) {
  DWORD pa = 0, pb = 0;
  GetWindowThreadProcessId(a, &pa);
  GetWindowThreadProcessId(b, &pb);
  return pa != 0 && pa == pb;
}

}  // namespace

// ---------------------------------------------------------------- the form's messages

void TdxBarManager::MainFormWndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  TCustomForm* form = mainForm_;
  if (!form) return;
  TdxBarCustomizingForm* customizingForm = dxBarCustomizingForm();
  if (form->IsDestroying() || static_cast<TCustomForm*>(customizingForm) == form) {
    // The layout is saved once, as the form's window goes for good; a
    // window made again saves nothing.
    if (msg == WM_DESTROY && !designing_) {
      if (storeInRegistry_) SaveToRegistry(registryPath_);
      if (storeInIniFile_) SaveToIniFile(iniFileName_);
    }
    return;
  }
  switch (msg) {
    case WM_CREATE:
      if (std::vector<TdxBar*>* restore = barsToRestore_.get()) {
        std::vector<TdxBar*> bars(*restore);
        for (TdxDockControl* dock : std::vector<TdxDockControl*>(dockControls_))
          if (dock->Parent() || dock->ParentWindow()) dock->HandleNeeded();
        for (size_t i = bars.size(); i-- > 0;)
          if (bars_->IndexOf(bars[i]) >= 0) bars[i]->SetVisible(true);
        FreeBarsToRestore();
      }
      break;
    case WM_ACTIVATE: {
      bool active = LOWORD(wParam) != WA_INACTIVE;
      auto other = reinterpret_cast<HWND>(lParam);
      if (!active && other) {
        auto* bar = dynamic_cast<TCustomdxBarControl*>(TControl::FindControl(other));
        if (bar && bar->BarManager() == this) break;
      }
      formActive_ = active;
      ShowToolbars(active, false, other);
      // A form disabled by the Customize window hands the activation on to it.
      if (!showToolbarsBusy_ && active && customizing_ && form->HandleAllocated() && !IsWindowEnabled(form->Handle()))
        if (TdxBarCustomizingForm* f = dxBarCustomizingForm(); f && f->HandleAllocated())
          SendMessageA(f->Handle(), WM_ACTIVATE, wParam, reinterpret_cast<LPARAM>(form->Handle()));
      break;
    }
    case WM_WINDOWPOSCHANGED:
      if (customizing_ && customizingForm && lParam) customizingForm->UpdateVisibility(*reinterpret_cast<const WINDOWPOS*>(lParam));
      break;
    case WM_ACTIVATEAPP:
      if (wParam == 0) {
        formActive_ = false;
        ShowToolbars(false, false, nullptr);
        // Only a bar window that still exists hears it.
        if (TdxBarItemControl* tracked = mouseTrackedItem_) {
          TCustomdxBarControl* bar = tracked->Parent();
          if (bar && BarControlExists(TdxBarControlRef(bar)) && bar->HandleAllocated())
            SendMessageA(bar->Handle(), WM_MOUSELEAVE, 0, 0);
        }
        SetSelectedItem(nullptr);
      }
      break;
    case WM_SYSCOLORCHANGE: {
      HDC dc = GetDC(nullptr);
      ScreenBitsPixel = GetDeviceCaps(dc, BITSPIXEL);
      ReleaseDC(nullptr, dc);
      dxBarSysColorChanged();
      CreateFlatToolbarsBrushes();
      ForFloatingBars(this, [](TdxBar*, TdxBarControl* c) { c->RefreshShadow(); });
      if (form->FormStyle() == fsMDIForm && dxBarManagerList)
        for (int i = 0; i < dxBarManagerList->Count(); ++i) {
          TdxBarManager* m = dxBarManagerList->GetBarManager(i);
          if (m != this && m->MainForm() && m->MainForm()->FormStyle() == fsMDIChild)
            m->MainFormWndProc(msg, wParam, lParam);
        }
      break;
    }
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETNONCLIENTMETRICS) AssignFont();
      if (wParam == SPI_SETWORKAREA) CheckToolbarsVisibility();
      break;
    case WM_DISPLAYCHANGE:
      CheckToolbarsVisibility();
      break;
    case WM_WINDOWPOSCHANGING:
      if (lParam && (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_HIDEWINDOW)) {
        formActive_ = false;
        ShowToolbars(false, true, nullptr);
      }
      break;
    case WM_HELP:
      ShowHelp(reinterpret_cast<HWND>(wParam), reinterpret_cast<const HELPINFO*>(lParam));
      break;
    case WM_SYSCOMMAND: {
      UINT command = static_cast<UINT>(wParam) & 0xFFF0;
      if (designing_ && command == SC_CLOSE)
        if (TCustomdxBarControl* active = ActiveBarControl(); active && active->BarManager() == this) active->HideAll();
      if (command == SC_MINIMIZE || command == SC_CLOSE) {
        ForFloatingBars(this, [](TdxBar* bar, TdxBarControl* c) {
          if (bar->Visible() && IsWindowVisible(c->Handle())) ShowWindow(c->Handle(), SW_HIDE);
        });
      } else if (command == SC_MAXIMIZE || command == SC_RESTORE) {
        ForFloatingBars(this, [](TdxBar* bar, TdxBarControl* c) {
          if (!bar->Visible()) return;
          ShowWindow(c->Handle(), SW_SHOWNOACTIVATE);
          UpdateWindow(c->Handle());
        });
      }
      break;
    }
    case WM_MDIACTIVATE:
      if (form->FormStyle() == fsMDIChild && form->HandleAllocated()) {
        bool active = reinterpret_cast<HWND>(lParam) == form->Handle();
        formActive_ = active;
        ShowToolbars(active, false, nullptr);
      }
      break;
    default:
      break;
  }
}

void TdxBarManager::ShowToolbars(bool show, bool force, HWND activatedWnd) {
  if (showToolbarsBusy_ || !bars_) return;
  showToolbarsBusy_ = true;
  TFinally busy([&] { showToolbarsBusy_ = false; });
  bool hideMode = hideFloatingBarsWhenInactive_ || force;
  if (!hideMode) ForFloatingBars(this, [](TdxBar*, TdxBarControl* c) { c->FrameChanged(); });
  TCustomForm* form = mainForm_;
  if (show) {
    if (form && form->HandleAllocated() && IsIconic(form->Handle())) return;
    if (form && form->HandleAllocated() && !IsWindowVisible(form->Handle())) return;
    ForFloatingBars(this, [](TdxBar* bar, TdxBarControl* c) {
      if (bar->Visible()) c->ShowNA();
    });
    return;
  }
  if (!hideMode) return;
  if (TCustomdxBarControl* active = ActiveBarControl()) {
    TdxBarManager* customizing = dxBarManagerList ? dxBarManagerList->CustomizingBarManager() : nullptr;
    if (active->BarManager() == this || (IsCustomizing() && customizing && active->BarManager() == customizing))
      active->HideAll();
  }
  // A window of this process that is no form keeps the bars (a message
  // box, a common dialog), as does the Customize window while customizing.
  if (activatedWnd && form && form->HandleAllocated() && SameProcess(activatedWnd, form->Handle()) &&
      activatedWnd != (Application ? Application->Handle() : nullptr) &&
      !dynamic_cast<TCustomForm*>(TControl::FindControl(activatedWnd)))
    return;
  if (activatedWnd && IsCustomizing() && dxBarCustomizingForm() && dxBarCustomizingForm()->HandleAllocated() &&
      activatedWnd == dxBarCustomizingForm()->Handle())
    return;
  ForFloatingBars(this, [](TdxBar*, TdxBarControl* c) { c->HideNA(); });
  if (form && form->HandleAllocated()) SendMessageA(form->Handle(), WM_NCACTIVATE, 0, 0);
}

void TdxBarManager::CheckToolbarsVisibility() {
  TCustomForm* form = mainForm_;
  if (!form || !bars_) return;
  TRect fr = form->BoundsRect();
  if (form->HandleAllocated()) {
    RECT r;
    GetWindowRect(form->Handle(), &r);
    fr = TRect(r);
  }
  TRect wa = GetWorkArea(TPoint(fr.left + fr.Width() / 2, fr.top + fr.Height() / 2));
  for (int i = 0; i < bars_->Count(); ++i) {
    TdxBar* bar = bars_->Items(i);
    if (!bar || bar->DockingStyle() != dsNone) continue;
    TdxBarControl* c = bar->Control();
    bool window = c && c->HandleAllocated();
    TRect r = window ? c->GetWindowRect()
                     : Bounds(bar->FloatLeft(), bar->FloatTop(), bar->FloatClientWidth() + bar->BarNCSizeX(dsNone),
                              bar->FloatClientHeight() + bar->BarNCSizeY(dsNone));
    r = dxBarMoveIntoWorkArea(r, wa);
    if (window) {
      c->SetBounds(r.left, r.top, r.Width(), r.Height());
    } else {
      bar->SetFloatLeft(r.left);
      bar->SetFloatTop(r.top);
    }
  }
}

// ---------------------------------------------------------------- help

void TdxBarManager::ShowHelp(HWND, const HELPINFO* info) {
  if (designing_ || !info || info->iContextType != HELPINFO_WINDOW) return;
  bool popup = mainForm_ && mainForm_->BorderIcons().Contains(biHelp);
  auto show = [&](int context) {
    if (popup)
      Application->HelpCommand(HELP_CONTEXTPOPUP, static_cast<ULONG_PTR>(context));
    else
      Application->HelpContext(context);
  };
  TdxBarItemControl* control = nullptr;
  if (TCustomdxBarControl* active = ActiveBarControl()) {
    TdxBarItemControl* selected = active->SelectedControl();
    if (selected && selected->Item() && selected->Item()->HelpContext() != 0) {
      control = selected;
    } else {
      // Up the chain: the control that opened each menu.
      TCustomdxBarControl* bar = active;
      for (int depth = 0; bar && depth < 64 && !control; ++depth) {
        auto* menu = dynamic_cast<TdxBarSubMenuControl*>(bar);
        TdxBarItemControl* opener = nullptr;
        if (menu) opener = menu->SubItemControl() ? menu->SubItemControl() : menu->OwnerControl();
        if (!opener) break;
        if (opener->Item() && opener->Item()->HelpContext() != 0)
          control = opener;
        else
          bar = opener->Parent();
      }
      if (!control) {
        int context = bar ? bar->HelpContext() : 0;
        HideAll();
        if (context != 0) show(context);
        return;
      }
    }
  } else if (auto* bar = dynamic_cast<TCustomdxBarControl*>(TControl::FindControl(static_cast<HWND>(info->hItemHandle)));
             bar && bar->HandleAllocated()) {
    control = bar->ItemAtPos(bar->ScreenToClient(TPoint(info->MousePos)));
  }
  if (!control || !control->Parent()) return;
  TCustomdxBarControl* bar = control->Parent();
  TRect r = bar->GetItemRect(control);
  TPoint p = bar->ClientToScreen(TPoint((r.left + r.right) / 2, r.bottom));
  int context = control->Item() ? control->Item()->HelpContext() : 0;
  HideAll();
  if (context == 0) return;
  if (popup) Application->HelpCommand(HELP_SETPOPUP_POS, MAKELONG(p.x, p.y));
  show(context);
}

// ---------------------------------------------------------------- MDI

HWND TdxBarManager::ActiveMDIChild() {
  TCustomForm* form = mainForm_;
  if (!form || form->FormStyle() != fsMDIForm || !form->ClientHandle()) return nullptr;
  return reinterpret_cast<HWND>(SendMessageA(form->ClientHandle(), WM_MDIGETACTIVE, 0, 0));
}

void TdxBarManager::MainFormClientWndProc(UINT, WPARAM, LPARAM) {
  HWND child = ActiveMDIChild();
  bool wasMaximized = mdiChildMaximized_;
  mdiChildMaximized_ = child && IsZoomed(child);
  TdxBar* mainMenu = mainMenuBar_;
  bool lock = mainMenu ? mainMenu->LockUpdate() : false;
  {
    TFinally guard([&] { if (mainMenuBar_ && mainMenuBar_ == mainMenu) mainMenu->SetLockUpdate(lock); });
    if (child != lastActiveMDIChild_) {
      Merge(lastActiveMDIChild_, false, false, true);
      Merge(child, true, false, false);
    } else if (wasMaximized != mdiChildMaximized_) {
      Merge(child, mdiChildMaximized_, alwaysMerge_, false);
    }
  }
  if (wasMaximized != mdiChildMaximized_)
    if (TdxBarControl* c = MainMenuControl()) c->RepaintBar();
  lastActiveMDIChild_ = child;
}

void TdxBarManager::SetChildBarVisible(TdxBar* childBar, bool visible) {
  // Hiding the child's main menu bar leaves the frame where it is.
  childBar->SetVisible(visible);
}

void TdxBarManager::Merge(HWND wnd, bool activate, bool skipMerge, bool keepLocked) {
  if (!mainMenuBar_ || !wnd || !IsWindow(wnd)) return;
  auto* childForm = dynamic_cast<TCustomForm*>(TControl::FindControl(wnd));
  if (!childForm) return;
  TdxBarItemLinks* links = mainMenuBar_->ItemLinks();
  bool remembered = mainMenuBar_->LockUpdate();
  bool maximized = IsZoomed(wnd) != FALSE;
  if (activate && maximized) {
    if (GetWindowLongA(wnd, GWL_STYLE) & WS_SYSMENU) {
      mainMenuBar_->SetLockUpdate(true);
      ClearInternalItemList();
      auto* item = new TSystemMenuSubItem(mainForm_);
      AddInternalItem(item);
      item->SetWnd(wnd);
      TdxBarItemLink* link = links->Add();
      link->SetItem(item);
      link->SetIndex(0);
    }
  } else if (!activate) {
    TdxBarItemLink* first = links->Items(0);
    if (first && dynamic_cast<TSystemMenuSubItem*>(first->Item())) {
      mainMenuBar_->SetLockUpdate(true);
      first->Free();
      ClearInternalItemList();
    }
  }
  if (skipMerge) return;
  TdxBarManager* childManager = GetBarManagerByForm(childForm);
  if (!childManager || childManager == this || !childManager->MainMenuBar()) return;
  TdxBar* childBar = childManager->MainMenuBar();
  if (activate) {
    if (!alwaysMerge_ && !maximized) return;
    childBarVisible_ = childBar->Visible();
    if (OnMenuMerge) {
      OnMenuMerge(this, childManager, true);
    } else {
      bool lock = mainMenuBar_->LockUpdate();
      mainMenuBar_->SetLockUpdate(true);
      TFinally guard([&] { mainMenuBar_->SetLockUpdate(lock); });
      TdxBarItemLinks* source = childBar->ItemLinks();
      for (int i = 0; i < source->CanVisibleItemCount(); ++i) links->Add()->Assign(source->CanVisibleItems(i));
    }
    SetChildBarVisible(childBar, false);
    return;
  }
  mainMenuBar_->SetLockUpdate(true);
  for (int i = links->Count() - 1; i >= 0; --i) {
    TdxBarItemLink* link = links->Items(i);
    if (link && link->Item() && link->Item()->BarManager() == childManager) link->Free();
  }
  if (!keepLocked) mainMenuBar_->SetLockUpdate(remembered);
  if (OnMenuMerge) OnMenuMerge(this, childManager, false);
  if (!alwaysMerge_ && !childBar->Visible()) SetChildBarVisible(childBar, childBarVisible_);
}

// ---------------------------------------------------------------- the child's system menu

void TSystemMenuSubItem::DirectClick() {
  Rebuild();
  TCustomdxBarSubItem::DirectClick();
}

void TSystemMenuSubItem::Rebuild() {
  ClearInternalItemList();
  itemLinks_->Clear();
  if (!wnd_ || !IsWindow(wnd_)) return;
  if (HMENU menu = GetSystemMenu(wnd_, FALSE)) Fill(itemLinks_, menu, 0);
}

void TSystemMenuSubItem::Fill(TdxBarItemLinks* links, HMENU menu, int depth) {
  if (depth > 8) return;
  int count = GetMenuItemCount(menu);
  bool group = false;
  for (int i = 0; i < count; ++i) {
    char text[1024] = {};
    MENUITEMINFOA mii{};
    // The structure's own size, with the item bitmap field.
    mii.cbSize = sizeof(MENUITEMINFOA);
    mii.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_CHECKMARKS | MIIM_FTYPE | MIIM_STRING | MIIM_BITMAP;
    mii.dwTypeData = text;
    mii.cch = sizeof text - 1;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &mii)) continue;
    if (mii.fType & MFT_SEPARATOR) {
      group = true;
      continue;
    }
    String caption;
    if (mii.fType & MFT_BITMAP) {
      char label[1024] = {};
      GetMenuStringA(menu, static_cast<UINT>(i), label, sizeof label - 1, MF_BYPOSITION);
      caption = label;
    } else if (mii.cch != 0) {
      caption = text;
    }
    String shortCut;
    size_t tab = caption.find('\t');
    if (tab != String::npos) {
      shortCut = caption.substr(tab + 1);
      caption = caption.substr(0, tab);
    }
    TdxBarItem* item;
    if (mii.hSubMenu) {
      auto* sub = new TdxBarSubItem(Owner());
      AddInternalItem(sub);
      Fill(sub->ItemLinks(), mii.hSubMenu, depth + 1);
      item = sub;
    } else {
      auto* button = new TdxBarButton(Owner());
      AddInternalItem(button);
      button->SetButtonStyle(bsChecked);
      button->SetDown((mii.fState & MFS_CHECKED) != 0);
      button->Tag = static_cast<intptr_t>(mii.wID);
      button->OnClick = {this, &TSystemMenuSubItem::EntryClick};
      item = button;
    }
    item->SetCaption(caption);
    item->SetEnabled(!(mii.fState & (MFS_GRAYED | MFS_DISABLED)));
    // The popup item bitmaps of a system menu have glyphs of their own.
    HBITMAP own = nullptr;
    auto kind = reinterpret_cast<UINT_PTR>(mii.hbmpItem);
    const char* glyphName = nullptr;
    if (mii.hbmpItem == HBMMENU_POPUP_CLOSE) glyphName = "DXBARCLOSE";
    if (mii.hbmpItem == HBMMENU_POPUP_RESTORE) glyphName = "DXBARRESTORE";
    if (mii.hbmpItem == HBMMENU_POPUP_MAXIMIZE) glyphName = "DXBARMAXIMIZE";
    if (mii.hbmpItem == HBMMENU_POPUP_MINIMIZE) glyphName = "DXBARMINIMIZE";
    if (glyphName) own = LoadBitmapA(GetModuleHandleA(nullptr), glyphName);
    if (!own) {
      HBITMAP mark = (mii.fState & MFS_CHECKED) ? mii.hbmpChecked : mii.hbmpUnchecked;
      if (!mark && (mii.fType & MFT_BITMAP) && kind > 11) mark = mii.hbmpItem;
      if (mark) own = static_cast<HBITMAP>(CopyImage(mark, IMAGE_BITMAP, 0, 0, 0));
    }
    if (own) {
      TBitmap glyph;
      glyph.SetHandle(own);
      item->SetGlyph(&glyph);
    }
    item->SetShortCut(TextToShortCut(shortCut));
    TdxBarItemLink* link = links->Add();
    link->SetItem(item);
    link->SetBeginGroup(group);
    group = false;
  }
}

void TSystemMenuSubItem::EntryClick(TObject* sender) {
  auto* button = dynamic_cast<TdxBarButton*>(sender);
  if (button && wnd_ && IsWindow(wnd_)) SendMessageA(wnd_, WM_SYSCOMMAND, static_cast<WPARAM>(button->Tag), 0);
}

bool TSystemMenuSubItemControl::CanSelect() {
  TdxBarManager* m = BarManager();
  return !(m && m->IsCustomizing());
}

void TSystemMenuSubItemControl::Paint(const TRect& r, TdxBarPaintType) {
  if (r.Empty()) return;
  HDC dc = CanvasHandle();
  HBRUSH background = parent_->GetToolbarBrush();
  auto* item = dynamic_cast<TSystemMenuSubItem*>(Item());
  HWND wnd = item ? item->Wnd() : nullptr;
  HICON icon = nullptr;
  if (wnd && IsWindow(wnd)) {
    icon = reinterpret_cast<HICON>(SendMessageA(wnd, WM_GETICON, ICON_SMALL, 0));
    if (!icon) icon = reinterpret_cast<HICON>(SendMessageA(wnd, WM_GETICON, ICON_BIG, 0));
  }
  if (!icon) {
    FillRect(dc, &r, background);
    return;
  }
  auto copy = static_cast<HICON>(CopyImage(icon, IMAGE_ICON, 16, 16, LR_COPYFROMRESOURCE));
  DrawIconEx(dc, r.left, r.top, copy ? copy : icon, r.Width(), r.Height(), 0, background, DI_NORMAL);
  if (copy) DestroyIcon(copy);
}

void TSystemMenuSubItemControl::DblClick() {
  auto* item = dynamic_cast<TSystemMenuSubItem*>(Item());
  HWND wnd = item ? item->Wnd() : nullptr;
  TdxBarSubItemControl::DblClick();
  if (parent_) parent_->HideAll();
  if (!wnd || !IsWindow(wnd)) return;
  UINT command = GetMenuDefaultItem(GetSystemMenu(wnd, FALSE), FALSE, 0);
  // A system menu without default item closes on a double click.
  if (command == static_cast<UINT>(-1)) command = SC_CLOSE;
  SendMessageA(wnd, WM_SYSCOMMAND, command, 0);
}
