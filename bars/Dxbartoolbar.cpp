// The toolbar window: the layout of its items, its sizes per docking
// style, its geometry, and its window handles (docked, floating, and both
// kept while the bar is dragged).
#include <algorithm>
#include <map>

#include "Dxbarcontrols.h"
#include "Dxbarquickcust.h"
#include "Dxbarshadow.h"
#include "Dxbarwinitems.h"

#include <windowsx.h>

namespace {

// Where the kept docked handle of a dragged bar waits: its manager's
// parking window.
HWND ParkingWindow(TdxBarManager* m) { return m ? m->ParkingWindow() : nullptr; }

// A window that no object hears any more, destroyed.
void DestroyKeptWindow(HWND wnd) {
  if (!wnd || !IsWindow(wnd)) return;
  SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA));
  DestroyWindow(wnd);
}

int SmallCaptionMetric() {
  NONCLIENTMETRICSA ncm{};
  ncm.cbSize = sizeof ncm;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) return GetSmallCaptionHeight();
  return ncm.iSmCaptionHeight;
}

bool IsTrueTypeFont(HFONT font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return (tm.tmPitchAndFamily & TMPF_TRUETYPE) != 0;
}

}  // namespace

// ---------------------------------------------------------------- construction

TdxBarControl::TdxBarControl(TdxBarManager* manager, TdxBar* bar) : TCustomdxBarControl(manager), bar_(bar) {
  itemLinks_ = bar ? bar->ItemLinks() : nullptr;
  hasCaption_ = true;
}

TdxBarControl::~TdxBarControl() {
  if (dockControl_ && manager_) manager_->Bars()->UnregFromDock(dockingStyle_, dockControl_, this);
  if (dockControl_) dockControl_->DeleteBarControl(this, false);
  HWND docked = dockedHandle_, floating = floatingHandle_;
  dockedHandle_ = floatingHandle_ = nullptr;
  if (HandleAllocated())
    DestroyHandle();
  else
    DestroyControls();
  if (docked != handle_) DestroyKeptWindow(docked);
  if (floating != handle_) DestroyKeptWindow(floating);
  if (manager_ && manager_->Bars() && manager_->Bars()->MovingBarControl() == this)
    manager_->Bars()->SetMovingBarControl(nullptr);
  ReleaseRotatedFont();
}

bool TdxBarControl::MultiLine() const { return dockingStyle_ == dsNone || (bar_ && bar_->MultiLine()); }

void TdxBarControl::SetGrab(int offsetX, int width, int offsetY, int height) {
  grabOffsetX_ = offsetX;
  grabWidth_ = width;
  grabOffsetY_ = offsetY;
  grabHeight_ = height;
}

// ---------------------------------------------------------------- layout

TdxBarLayout TdxBarControl::MakeLayout(std::vector<TdxBarItemLink*>& links) {
  TdxBarLayout l;
  links.clear();
  l.DockingStyle = dockingStyle_;
  l.MultiLineBar = bar_ && bar_->MultiLine();
  l.Style = manager_ ? manager_->Style() : bmsEnhanced;
  l.ShowMark = bar_ && bar_->ShowMark();
  l.AllowQuickCustomizing = bar_ && bar_->AllowQuickCustomizing();
  l.HasHiddenItems = hasHiddenItems_;
  l.MDIButtonsOnBar = MDIButtonsOnBar();
  l.RealMDIButtonsOnBar = RealMDIButtonsOnBar();
  l.MDIButtonWidth = mdiButtonWidth_;
  l.MDIButtonHeight = mdiButtonHeight_;
  if (manager_) {
    l.ButtonWidth = manager_->ButtonWidth();
    l.ButtonHeight = manager_->ButtonHeight();
    l.Designing = manager_->IsDesigning();
  }
  TRect c = ClientRect();
  l.ClientWidth = c.Width();
  l.ClientHeight = c.Height();
  if (!itemLinks_) return l;
  l.CanUseRecentItems = itemLinks_->CanUseRecentItems();
  l.RecentItemCount = l.CanUseRecentItems ? itemLinks_->RecentItemCount() : -1;
  std::map<const TdxBarItemLink*, int> rank;
  for (int i = 0, r = 0; i < itemLinks_->RecentItemCountInList(); ++i) {
    TdxBarItemLink* link = itemLinks_->RecentItems(i);
    if (itemLinks_->CanVisibleIndexOf(link) >= 0) rank[link] = r++;
  }
  // A group mark of a link that is not shown at all moves to the next one.
  bool pendingGroup = false;
  for (int i = 0; i < itemLinks_->AvailableItemCount(); ++i) {
    TdxBarItemLink* link = itemLinks_->AvailableItems(i);
    if (link->CanVisibleIndex() < 0) {
      pendingGroup = pendingGroup || link->StoredBeginGroup();
      continue;
    }
    link->CreateControl();
    TdxBarLayoutItem item;
    if (TdxBarItemControl* control = link->Control()) {
      item.Width = control->GetRealWidth();
      item.Height = control->GetRealHeight();
      item.MinWidth = control->GetMinWidth();
      item.Align = control->GetAlign();
      item.LineBreak = control->LineBreak();
      item.LastInLine = control->LastInLine();
    }
    item.BeginGroup = link->StoredBeginGroup() || pendingGroup;
    pendingGroup = false;
    item.RecentRank = rank.count(link) ? rank[link] : static_cast<int>(rank.size());
    item.Visible = link->VisibleIndex() >= 0;
    item.Rect = link->ItemRect();
    item.LineCross = link->LineCrossSize();
    l.Items.push_back(item);
    links.push_back(link);
  }
  return l;
}

void TdxBarControl::ApplyLayout(const TdxBarLayout& l, const std::vector<TdxBarItemLink*>& links, bool recentCount) {
  hasHiddenItems_ = l.HasHiddenItems;
  if (!itemLinks_) return;
  if (recentCount && l.RecentItemCount != itemLinks_->RecentItemCount()) itemLinks_->SetRecentItemCount(l.RecentItemCount);
  itemLinks_->EmptyItemRects();
  for (size_t i = 0; i < links.size() && i < l.Items.size(); ++i) {
    TdxBarItemLink* link = links[i];
    const TdxBarLayoutItem& item = l.Items[i];
    if (item.Visible) {
      link->SetItemRect(item.Rect);
      link->SetLineCrossSize(item.LineCross);
    }
    if (TdxBarItemControl* control = link->Control()) {
      control->SetLineBreak(item.LineBreak);
      control->SetLastInLine(item.LastInLine);
    }
  }
}

void TdxBarControl::CalcControlsPositions() {
  std::vector<TdxBarItemLink*> links;
  TdxBarLayout l = MakeLayout(links);
  l.CalcControlsPositions();
  ApplyLayout(l, links, false);
}

int TdxBarControl::GetMinWidth(TdxBarDockingStyle style) {
  std::vector<TdxBarItemLink*> links;
  return MakeLayout(links).GetMinWidth(style);
}

int TdxBarControl::GetMinHeight(TdxBarDockingStyle style) {
  std::vector<TdxBarItemLink*> links;
  return MakeLayout(links).GetMinHeight(style);
}

int TdxBarControl::GetMaxWidth(TdxBarDockingStyle style) {
  std::vector<TdxBarItemLink*> links;
  return MakeLayout(links).GetMaxWidth(style);
}

int TdxBarControl::GetMaxHeight(TdxBarDockingStyle style) {
  std::vector<TdxBarItemLink*> links;
  return MakeLayout(links).GetMaxHeight(style);
}

TPoint TdxBarControl::GetSizeForWidth(TdxBarDockingStyle style, int width) {
  std::vector<TdxBarItemLink*> links;
  TdxBarLayout l = MakeLayout(links);
  TPoint s = l.GetSizeForWidth(style, width);
  ApplyLayout(l, links, true);
  return s;
}

TPoint TdxBarControl::GetSizeForHeight(TdxBarDockingStyle style, int height) {
  std::vector<TdxBarItemLink*> links;
  TdxBarLayout l = MakeLayout(links);
  TPoint s = l.GetSizeForHeight(style, height);
  ApplyLayout(l, links, true);
  return s;
}

void TdxBarControl::GetMultiLineBarSize(TdxBarDockingStyle style, int length, TPoint& size) {
  std::vector<TdxBarItemLink*> links;
  TdxBarLayout l = MakeLayout(links);
  l.GetMultiLineBarSize(style, length, size);
  ApplyLayout(l, links, false);
}

TdxBarLayout::TTrack TdxBarControl::Track(TdxBarDockingStyle style) {
  TdxBarLayout::TTrack t;
  if (!bar_ || !manager_) return t;
  t.NCSizeX = bar_->BarNCSizeX(style);
  t.NCSizeY = bar_->BarNCSizeY(style);
  TdxDockControl* dock = nullptr;
  if (style != dsNone)
    dock = style == dockingStyle_ && dockControl_ ? dockControl_ : manager_->Bars()->GetDockControl(style);
  if (dock) {
    TRect c = dock->ClientRect();
    t.DockClientWidth = c.Width();
    t.DockClientHeight = c.Height();
  }
  t.WholeRow = bar_->WholeRow();
  t.FloatClientWidth = bar_->FloatClientWidth();
  // A bar never floated floats as one line.
  if (t.FloatClientWidth <= 0) t.FloatClientWidth = GetMaxWidth(dsNone);
  return t;
}

TPoint TdxBarControl::GetTrackSize(TdxBarDockingStyle style) {
  TdxBarLayout::TTrack t = Track(style);
  std::vector<TdxBarItemLink*> links;
  TdxBarLayout l = MakeLayout(links);
  TPoint s = l.GetTrackSize(style, t);
  ApplyLayout(l, links, true);
  return s;
}

TPoint TdxBarControl::GetDragPointOffset(TdxBarDockingStyle style) {
  if (manager_) {
    TdxBars* bars = manager_->Bars();
    if (bars->MovingBarControl() == this && style == bars->MovingStartStyle()) return bars->CursorOffset();
  }
  return dxBarDragPointOffset(GetTrackSize(style), grabOffsetX_, grabWidth_, grabOffsetY_, grabHeight_);
}

// ---------------------------------------------------------------- geometry

TRect TdxBarControl::ClientInWindow() {
  if (!HandleAllocated()) return ClientRect();
  RECT w, c;
  ::GetWindowRect(handle_, &w);
  GetClientRect(handle_, &c);
  POINT o{0, 0};
  ::ClientToScreen(handle_, &o);
  return Bounds(o.x - w.left, o.y - w.top, c.right, c.bottom);
}

TRect TdxBarControl::GetCaptionNCRect() {
  TRect w = GetWindowRect();
  int bx = manager_ ? manager_->BorderSizeX() : 0, by = manager_ ? manager_->BorderSizeY() : 0;
  return TRect(bx, by, w.Width() - bx, by + SmallCaptionMetric());
}

TRect TdxBarControl::GetCaptionRect() {
  TRect r = GetCaptionNCRect();
  TRect c = ClientInWindow();
  return TRect(r.left - c.left, r.top - c.top, r.right - c.left, r.bottom - c.top);
}

TRect TdxBarControl::CloseButtonRectNC() {
  TRect r = GetCaptionNCRect();
  r.left = r.right - SmallCaptionMetric();
  return r;
}

TRect TdxBarControl::CloseButtonRect() {
  TRect r = CloseButtonRectNC();
  TRect c = ClientInWindow();
  return TRect(r.left - c.left, r.top - c.top, r.right - c.left, r.bottom - c.top);
}

TRect TdxBarControl::MarkRect() {
  std::vector<TdxBarItemLink*> links;
  TdxBarLayout l = MakeLayout(links);
  int close = dockingStyle_ == dsNone && bar_ && bar_->CanClose() ? CloseButtonRect().Width() : 0;
  return l.MarkRect(dockingStyle_ == dsNone ? GetCaptionRect() : TRect(), close);
}

TRect TdxBarControl::MarkNCRect() {
  TRect r = MarkRect();
  TRect c = ClientInWindow();
  return TRect(r.left + c.left, r.top + c.top, r.right + c.left, r.bottom + c.top);
}

TRect TdxBarControl::MarkScreenRect() {
  TRect r = MarkNCRect();
  TRect w = GetWindowRect();
  return TRect(r.left + w.left, r.top + w.top, r.right + w.left, r.bottom + w.top);
}

TRect TdxBarControl::SizeGripRect() {
  TRect c = ClientRect();
  return TRect(c.right, c.bottom - GetSystemMetrics(SM_CYHSCROLL), c.right + GetSystemMetrics(SM_CXHSCROLL), c.bottom);
}

TRect TdxBarControl::RectMDI(TdxBarMDIButton button) {
  std::vector<TdxBarItemLink*> links;
  return MakeLayout(links).RectMDI(button);
}

int TdxBarControl::GetMDIWidth() {
  return RealMDIButtonsOnBar() && Horizontal() ? 3 * mdiButtonWidth_ + 2 : mdiButtonWidth_;
}

int TdxBarControl::GetMDIHeight() {
  return RealMDIButtonsOnBar() && Vertical() ? 3 * mdiButtonHeight_ + 2 : mdiButtonHeight_;
}

HWND TdxBarControl::ActiveMDIChildHandle() {
  TCustomForm* form = manager_ ? manager_->MainForm() : nullptr;
  if (!form || form->FormStyle() != fsMDIForm) return nullptr;
  TCustomForm* child = form->ActiveMDIChild();
  return child && child->HandleAllocated() ? child->Handle() : nullptr;
}

bool TdxBarControl::RealMDIButtonsOnBar() {
  if (!bar_ || !bar_->IsMainMenu()) return false;
  HWND child = ActiveMDIChildHandle();
  return child && IsZoomed(child) && (GetWindowLongA(child, GWL_STYLE) & WS_SYSMENU);
}

bool TdxBarControl::MDIButtonsOnBar() {
  return RealMDIButtonsOnBar() || (bar_ && bar_->IsMainMenu() && manager_ && manager_->ShowCloseButton());
}

bool TdxBarControl::MDIButtonEnabled(TdxBarMDIButton button, UINT flags) {
  if (button == mdibRestore) return true;
  if (!RealMDIButtonsOnBar()) return button == mdibClose;
  HMENU menu = GetSystemMenu(ActiveMDIChildHandle(), FALSE);
  if (!menu) return true;
  UINT command = button == mdibMinimize ? SC_MINIMIZE : SC_CLOSE;
  UINT state = GetMenuState(menu, command, MF_BYCOMMAND);
  return state == static_cast<UINT>(-1) || (state & flags) == 0;
}

TdxDockCol* TdxBarControl::GetDockCol() { return dockingStyle_ != dsNone && dockControl_ ? dockControl_->FindCol(this) : nullptr; }

int TdxBarControl::GetRow() {
  TdxDockCol* col = GetDockCol();
  if (!col) return 0;
  for (int i = 0; i < dockControl_->GetRowCount(); ++i)
    if (dockControl_->GetRow(i) == col->Row) return i;
  return 0;
}

int TdxBarControl::GetCol() {
  TdxDockCol* col = GetDockCol();
  return col ? std::max(col->Row->IndexOf(col), 0) : 0;
}

// ---------------------------------------------------------------- the common window's interface

void TdxBarControl::CalcDrawingConsts() {
  TCustomdxBarControl::CalcDrawingConsts();
  mdiButtonWidth_ = GetSystemMetrics(SM_CXMENUSIZE) - 2;
  mdiButtonHeight_ = GetSystemMetrics(SM_CYMENUSIZE) - 4;
}

bool TdxBarControl::CanAlignControl(TdxBarItemControl* control) {
  if (!itemLinks_ || itemLinks_->CanVisibleItemCount() == 0) return false;
  return itemLinks_->CanVisibleItems(itemLinks_->CanVisibleItemCount() - 1)->Control() == control;
}

bool TdxBarControl::CanCustomizing() { return TCustomdxBarControl::CanCustomizing() || (bar_ && bar_->AllowCustomizing()); }

HFONT TdxBarControl::GetEditFontHandle() {
  if (bar_ && bar_->UseOwnFont()) return bar_->Font()->Handle();
  return TCustomdxBarControl::GetEditFontHandle();
}

TRect TdxBarControl::GetFullItemRect(TdxBarItemControl* control) {
  TRect r = GetItemRect(control);
  if (!control || r.Empty()) return r;
  int cross = control->ItemLink()->LineCrossSize();
  if (Vertical()) {
    if (cross > r.Width()) {
      r.left -= (cross - r.Width()) / 2;
      r.right = r.left + cross;
    }
  } else if (cross > r.Height()) {
    r.top -= (cross - r.Height()) / 2;
    r.bottom = r.top + cross;
  }
  return r;
}

HRGN TdxBarControl::GetItemRegion(TdxBarItemControl* control) {
  TRect r = GetFullItemRect(control);
  HRGN rgn = CreateRectRgn(r.left, r.top, r.right, r.bottom);
  if (control && !control->SeparatorRect().Empty()) {
    const TRect& s = control->SeparatorRect();
    HRGN sep = CreateRectRgn(s.left, s.top, s.right, s.bottom);
    CombineRgn(rgn, rgn, sep, RGN_OR);
    DeleteObject(sep);
  }
  return rgn;
}

HBRUSH TdxBarControl::GetToolbarBrush() {
  if (Flat() && bar_ && (bar_->IsMainMenu() || bar_->IsStatusBar())) return GetSysColorBrush(COLOR_BTNFACE);
  return TCustomdxBarControl::GetToolbarBrush();
}

TdxBarItemControl* TdxBarControl::ItemAtPosEx(TPoint p, bool& outsideItem, bool& vertical, bool& firstHalf) {
  TdxBarItemControl* found = TCustomdxBarControl::ItemAtPosEx(p, outsideItem, vertical, firstHalf);
  if (found || !itemLinks_) return found;
  // Beside the last control of a line: that control, before or after it
  // by the point.
  for (int i = 0; i < itemLinks_->VisibleItemCount(); ++i) {
    TdxBarItemControl* c = itemLinks_->VisibleItems(i)->Control();
    if (!c || !c->LastInLine() || !c->CanCustomize()) continue;
    TRect f = GetFullItemRect(c);
    bool beside = Vertical() ? (p.x >= f.left && p.x < f.right && p.y >= f.bottom)
                             : (p.y >= f.top && p.y < f.bottom && p.x >= f.right);
    if (!beside) continue;
    TRect r = GetItemRect(c);
    // A drop here goes before or after the control, not into a group gap.
    outsideItem = false;
    vertical = IsToolbarControlVertical(this);
    firstHalf = vertical ? (p.y - r.top < r.bottom - p.y) : (p.x - r.left < r.right - p.x);
    return c;
  }
  return nullptr;
}

bool TdxBarControl::MarkExists() {
  if (!bar_ || !bar_->ShowMark()) return false;
  return hasHiddenItems_ || (manager_ && manager_->Style() != bmsStandard && bar_->AllowQuickCustomizing());
}

void TdxBarControl::SetDockingStyle(TdxBarDockingStyle value) {
  if (value != dockingStyle_) hasHiddenItems_ = false;
  bool turns = dxBarIsVertical(value) != dxBarIsVertical(dockingStyle_);
  TCustomdxBarControl::SetDockingStyle(value);
  // Edit and combo items show as buttons on a vertical bar: their controls
  // are made again for the new orientation.
  if (turns && itemLinks_)
    for (int i = 0; i < itemLinks_->Count(); ++i) {
      TdxBarItemLink* link = itemLinks_->Items(i);
      if (link->Control() && dynamic_cast<TdxBarWindowItem*>(link->Item())) link->DestroyControl();
    }
}

void TdxBarControl::ReleaseRotatedFont() {
  if (rotatedFont_) DeleteObject(rotatedFont_);
  rotatedFont_ = nullptr;
}

void TdxBarControl::SetFont() {
  TFont* font = bar_ ? bar_->Font() : (manager_ ? manager_->Font() : nullptr);
  if (!font) return;
  HFONT old = rotatedFont_;
  rotatedFont_ = nullptr;
  Canvas()->Font()->Assign(font);
  if (IsVertical(this) && IsTrueTypeFont(font->Handle())) {
    // Vertical bars write downwards: the font turned by 270 degrees.
    LOGFONTA lf{};
    GetObjectA(font->Handle(), sizeof lf, &lf);
    lf.lfEscapement = -900;
    lf.lfOrientation = -900;
    rotatedFont_ = CreateFontIndirectA(&lf);
    Canvas()->Font()->SetHandle(rotatedFont_);
  }
  if (old) DeleteObject(old);
}

void TdxBarControl::FontChanged() {
  if (fontGuard_) return;
  fontGuard_ = true;
  SetFont();
  fontGuard_ = false;
  CalcDrawingConsts();
  if (InternallyLocked()) return;
  TdxBarControlRef self(this);
  SetMouseSelectedItem(nullptr);
  if (BarControlExists(self)) RepaintBar();
}

TRect TdxBarControl::GetSizeAllCursorBounds() {
  if (dockingStyle_ == dsNone || !bar_ || bar_->BorderStyle() == bbsNone) return TRect();
  return Horizontal() ? TRect(-100, -100, 0, 100) : TRect(-100, -100, 100, 0);
}

void TdxBarControl::CaptionChanged() {
  if (!HandleAllocated() || !bar_) return;
  SetWindowTextA(handle_, bar_->Caption().c_str());
  RedrawWindow(handle_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void TdxBarControl::RepaintBar() {
  if (!bar_ || bar_->LockUpdate() || !HandleAllocated() || Destroying()) return;
  TdxBarControlRef self(this);
  TdxBarItemLink* keep = nullptr;
  if (GetIsCustomizing() && manager_ && manager_->SelectedItem() && manager_->SelectedItem()->Parent() == this) {
    keep = manager_->SelectedItem()->ItemLink();
    selectedControl_ = nullptr;
  }
  DestroyControls();
  CreateControls();
  if (keep && keep->Control()) {
    manager_->SetSelectedItem(keep->Control());
    selectedControl_ = keep->Control();
  }
  if (dockingStyle_ != dsNone) {
    if (dockControl_) dockControl_->UpdateDock();
  } else {
    TPoint s = GetSizeForWidth(dsNone, ClientWidth());
    SetBounds(left_, top_, s.x + bar_->BarNCSizeX(dsNone), s.y + bar_->BarNCSizeY(dsNone));
  }
  if (!BarControlExists(self) || !HandleAllocated()) return;
  CalcControlsPositions();
  Invalidate();
}

void TdxBarControl::FrameChanged() {
  if (HandleAllocated())
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
}

void TdxBarControl::RebuildBar() {
  FrameChanged();
  RepaintBar();
}

void TdxBarControl::RefreshShadow() {
  if (!Shadow()) return;
  if (!HasShadow() || !GetIsShadowVisible()) {
    Shadow()->SetVisible(false);
    Shadow()->DestroyParts();
    return;
  }
  ResizeShadow();
  Shadow()->SetVisible(true);
}

void TdxBarControl::BarManagerStyleChanged() {
  UpdateControlStyle();
  CalcDrawingConsts();
  if (dockingStyle_ != dsNone) {
    RebuildBar();
    return;
  }
  // The floating window is made again; this one goes with the old look.
  TdxBar* bar = bar_;
  bar->Hide();
  bar->Show();
}

// ---------------------------------------------------------------- window handles

void TdxBarControl::CreateParams(TCreateParams& params) {
  TCustomdxBarControl::CreateParams(params);
  params.Caption = bar_ ? bar_->Caption() : String();
  params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  params.ExStyle = 0;
  if (dockingStyle_ != dsNone) {
    params.Style |= WS_CHILD;
  } else {
    params.Style |= WS_POPUP | WS_BORDER | WS_SYSMENU | WS_THICKFRAME;
    TCustomForm* form = manager_ ? manager_->MainForm() : nullptr;
    params.WndParent = form ? form->Handle() : nullptr;
  }
}

void TdxBarControl::CreateWnd() {
  bool docked = dockingStyle_ != dsNone;
  if (docked && !dockControl_ && manager_) dockControl_ = manager_->Bars()->GetDockControl(dockingStyle_);
  parentWindow_ = docked && dockControl_ ? dockControl_->Handle() : nullptr;
  HWND kept = moving_ && InternallyLocked() ? (docked ? dockedHandle_ : floatingHandle_) : nullptr;
  if (kept && IsWindow(kept)) {
    // The window of this kind kept for the drag comes back.
    if (docked) ::SetParent(kept, parentWindow_);
    AttachHandle(kept);
    destroyed_ = false;
    CreateControls();
    SetFont();
    CalcDrawingConsts();
    FrameChanged();
  } else {
    TCustomdxBarControl::CreateWnd();
  }
  if (!HandleAllocated()) return;
  lostHandle_ = false;
  if (bar_) SetWindowTextA(handle_, bar_->Caption().c_str());
  SendMessageA(handle_, WM_NCACTIVATE, 1, 0);
}

void TdxBarControl::DestroyWnd() { TCustomdxBarControl::DestroyWnd(); }

HWND TdxBarControl::CreateKeptWindow(TdxBarDockingStyle style, TdxDockControl* dock) {
  TdxBarDockingStyle savedStyle = dockingStyle_;
  TdxDockControl* savedDock = dockControl_;
  dockingStyle_ = style;
  dockControl_ = dock;
  TCreateParams p;
  CreateParams(p);
  dockingStyle_ = savedStyle;
  dockControl_ = savedDock;
  HWND parent = style != dsNone ? (dock ? dock->Handle() : ParkingWindow(manager_)) : p.WndParent;
  HMENU id = style != dsNone ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id_)) : nullptr;
  HWND wnd = p.WindowClass->Create(nullptr, p.ExStyle, p.Caption.c_str(), p.Style & ~WS_VISIBLE, left_, top_,
                                   std::max(width_, 1), std::max(height_, 1), parent, id);
  if (wnd && style != dsNone) ::SetParent(wnd, ParkingWindow(manager_));
  return wnd;
}

HWND TdxBarControl::KeptHandle() const {
  if (!moving_) return nullptr;
  return dockingStyle_ != dsNone ? floatingHandle_ : dockedHandle_;
}

void TdxBarControl::SetMoving(bool value) {
  if (value == moving_) return;
  TdxBars* bars = manager_ ? manager_->Bars() : nullptr;
  if (value) {
    moving_ = true;
    if (bars) bars->SetMovingBarControl(this);
    if (HandleAllocated()) {
      bool docked = dockingStyle_ != dsNone;
      HWND current = handle_;
      DestroyControls();
      DetachHandle();
      if (docked) {
        dockedHandle_ = current;
        floatingHandle_ = CreateKeptWindow(dsNone, nullptr);
      } else {
        floatingHandle_ = current;
        dockedHandle_ = CreateKeptWindow(dsLeft, manager_ ? manager_->Bars()->GetDockControl(dsLeft) : nullptr);
      }
      BeginInternal();
      HandleNeeded();
      EndInternal();
    }
  } else {
    moving_ = false;
    HWND unused = dockingStyle_ != dsNone ? floatingHandle_ : dockedHandle_;
    dockedHandle_ = floatingHandle_ = nullptr;
    if (unused != handle_) DestroyKeptWindow(unused);
    if (bars && bars->MovingBarControl() == this) bars->SetMovingBarControl(nullptr);
    SavePos();
  }
  if (HandleAllocated()) SendMessageA(handle_, WM_SIZE, 0, 0);
  RepaintBar();
}

void TdxBarControl::ChangeStyleWinTo(TdxBarDockingStyle style, TdxDockControl* dockControl) {
  // The window going out of use takes its strips with it.
  if (Shadow()) {
    Shadow()->SetVisible(false);
    Shadow()->DestroyParts();
  }
  BeginInternal();
  TdxDockControl* dock = style == dsNone ? nullptr : dockControl;
  if (style != dsNone && !dock && manager_) dock = manager_->Bars()->GetDockControl(style);
  if (moving_) {
    if (HandleAllocated()) {
      bool docked = dockingStyle_ != dsNone;
      HWND current = handle_;
      DestroyControls();
      DetachHandle();
      // The window of the kind not in use waits, out of sight.
      if (docked) {
        dockedHandle_ = current;
        ::SetParent(current, ParkingWindow(manager_));
      } else {
        floatingHandle_ = current;
        ShowWindow(current, SW_HIDE);
      }
    }
    dockControl_ = dock;
    SetDockingStyle(style);
    HandleNeeded();
  } else {
    if (HandleAllocated()) DestroyHandle();
    dockControl_ = dock;
    SetDockingStyle(style);
    HandleNeeded();
    FrameChanged();
  }
  EndInternal();
}

void TdxBarControl::WindowDestroying() { TCustomdxBarControl::WindowDestroying(); }

void TdxBarControl::WindowLost() {
  // The parent's window went: the bar hides until that window is made
  // again, unless the whole form goes.
  TCustomForm* form = manager_ ? manager_->MainForm() : nullptr;
  lostHandle_ = true;
  if (InternallyLocked() || !bar_ || !manager_ || manager_->IsDestroying() || !form || form->IsDestroying()) return;
  if (std::vector<TdxBar*>* restore = manager_->BarsToRestore())
    if (std::find(restore->begin(), restore->end(), bar_) == restore->end()) restore->push_back(bar_);
  bar_->SetVisible(false);
}

// ---------------------------------------------------------------- placement

void TdxBarControl::SetPos(int left, int top) { SetBounds(left, top, width_, height_); }

void TdxBarControl::SetSize(TPoint size) { SetBounds(left_, top_, size.x, size.y); }

void TdxBarControl::ShowNA() {
  visible_ = true;
  HandleNeeded();
  if (HandleAllocated()) ShowWindow(handle_, SW_SHOWNA);
}

void TdxBarControl::HideNA() {
  visible_ = false;
  if (HandleAllocated())
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
}

void TdxBarControl::HideWindow() {
  visible_ = false;
  if (HandleAllocated()) ShowWindow(handle_, SW_HIDE);
}

void TdxBarControl::SavePos() {
  if (!bar_ || !bar_->Visible() || moving_ || !manager_ || manager_->IsDestroying()) return;
  if (dockingStyle_ != dsNone) {
    bar_->SetDockedDockingStyle(dockingStyle_);
    bar_->SetDockedDockControl(dynamic_cast<TdxBarDockControl*>(dockControl_));
    bar_->SetRow(GetRow());
    TdxDockCol* col = GetDockCol();
    bar_->SetOneOnRow(col && col->Row->GetColCount() == 1);
    bar_->SetDockedLeft(left_);
    bar_->SetDockedTop(top_);
  } else {
    bar_->SetFloatLeft(left_);
    bar_->SetFloatTop(top_);
    TRect c = ClientRect();
    bar_->SetFloatClientWidth(c.Width());
    bar_->SetFloatClientHeight(c.Height());
  }
}

// ---------------------------------------------------------------- messages

void TdxBarControl::NCCalcSize(TMessage& msg) {
  RECT* r = msg.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(msg.LParam)->rgrc[0]
                       : reinterpret_cast<RECT*>(msg.LParam);
  msg.Result = 0;
  if (!bar_ || !manager_) return;
  if (dockingStyle_ != dsNone) {
    hasSizeGrip_ = false;
    if (bar_->BorderStyle() == bbsSingle) {
      InflateRect(r, -2, -2);
      if (Horizontal())
        r->left += manager_->GripSize();
      else
        r->top += manager_->GripSize();
    } else if (bar_->IsStatusBar()) {
      r->top += 2;
      hasSizeGrip_ = bar_->HasSizeGrip();
      if (hasSizeGrip_) r->right -= GetSystemMetrics(SM_CXHSCROLL);
    }
  } else {
    // The frame is the manager's border size on every side (what the
    // thick frame gives), then the caption row.
    InflateRect(r, -manager_->BorderSizeX(), -manager_->BorderSizeY());
    if (hasCaption_) {
      r->top += GetSmallCaptionHeight();
      if (!Flat()) {
        r->left += 4;
        r->right -= 4;
        r->top += 2;
        r->bottom -= 1;
      }
    }
  }
  if (r->right < r->left) r->right = r->left;
  if (r->bottom < r->top) r->bottom = r->top;
}

void TdxBarControl::Sizing(int edge, RECT* r) {
  if (!bar_) return;
  std::vector<TdxBarItemLink*> links;
  TdxBarLayout l = MakeLayout(links);
  TRect current = GetWindowRect();
  *r = l.SnapSizing(edge, TRect(*r), current, bar_->BarNCSizeX(dsNone), bar_->BarNCSizeY(dsNone));
}

void TdxBarControl::WindowPosChanging(WINDOWPOS* pos) {
  if (dockingStyle_ != dsNone || ((pos->flags & SWP_NOMOVE) && (pos->flags & SWP_NOSIZE))) return;
  TRect current = GetWindowRect();
  int x = (pos->flags & SWP_NOMOVE) ? current.left : pos->x;
  int y = (pos->flags & SWP_NOMOVE) ? current.top : pos->y;
  int w = (pos->flags & SWP_NOSIZE) ? current.Width() : pos->cx;
  int h = (pos->flags & SWP_NOSIZE) ? current.Height() : pos->cy;
  TRect r = dxBarClampToWorkArea(Bounds(x, y, w, h), GetWorkArea(dxBarSystem()->GetCursorPos()));
  if (r.left != x || r.top != y) {
    pos->x = r.left;
    pos->y = r.top;
    pos->flags &= ~SWP_NOMOVE;
  }
}

void TdxBarControl::WindowPosChanged(WINDOWPOS* pos) {
  // The place the window took (a floating one may have been moved into the
  // work area on its way).
  if (HandleAllocated()) {
    RECT r;
    ::GetWindowRect(handle_, &r);
    if (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD)
      if (HWND parent = GetParent(handle_)) MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    left_ = r.left;
    top_ = r.top;
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
  }
  if (InternallyLocked() || Destroying() || !bar_) return;
  TdxBarControlRef self(this);
  bar_->ChangeDockingStyle(dockingStyle_, dockControl_);
  if (!BarControlExists(self)) return;
  SavePos();
}

void TdxBarControl::WndProc(TMessage& msg) {
  switch (msg.Msg) {
    case WM_NCCALCSIZE:
      NCCalcSize(msg);
      return;
    case WM_NCPAINT:
      if (HandleAllocated()) {
        HDC dc = GetWindowDC(handle_);
        NCPaint(dc);
        ReleaseDC(handle_, dc);
      }
      msg.Result = 0;
      return;
    case WM_NCACTIVATE:
      if (msg.WParam && manager_ && !manager_->IsCustomizing() && HandleAllocated())
        if (HWND parent = GetParent(handle_)) SendMessageA(parent, WM_NCACTIVATE, 1, 0);
      // The caption always looks active: the frame is ours.
      if (HandleAllocated()) {
        HDC dc = GetWindowDC(handle_);
        NCPaint(dc);
        ReleaseDC(handle_, dc);
      }
      msg.Result = TRUE;
      return;
    case WM_SIZING:
      if (dockingStyle_ == dsNone) Sizing(static_cast<int>(msg.WParam), reinterpret_cast<RECT*>(msg.LParam));
      msg.Result = TRUE;
      return;
    case WM_GETMINMAXINFO: {
      auto* mmi = reinterpret_cast<MINMAXINFO*>(msg.LParam);
      mmi->ptMinTrackSize = {10, 10};
      mmi->ptMaxSize = {30000, 30000};
      mmi->ptMaxPosition = {30000, 30000};
      mmi->ptMaxTrackSize = {30000, 30000};
      msg.Result = 0;
      return;
    }
    case WM_WINDOWPOSCHANGING:
      WindowPosChanging(reinterpret_cast<WINDOWPOS*>(msg.LParam));
      TCustomdxBarControl::WndProc(msg);
      return;
    case WM_WINDOWPOSCHANGED: {
      TdxBarControlRef self(this);
      auto* pos = reinterpret_cast<WINDOWPOS*>(msg.LParam);
      TCustomdxBarControl::WndProc(msg);
      if (BarControlExists(self)) WindowPosChanged(pos);
      // The More Buttons window stays joined to the mark.
      TdxBarQuickControl* quick = dxBarQuickControl();
      if (quick && quick->OwnerBar() == this && BarControlExists(self) &&
          (!(pos->flags & SWP_NOMOVE) || !(pos->flags & SWP_NOSIZE)))
        quick->OwnerMoved();
      return;
    }
    case WM_NCHITTEST:
      NCHitTest(msg);
      return;
    case WM_SETCURSOR:
      if (SetCursorToolbar(msg)) return;
      break;
    case WM_LBUTTONDOWN:
      if (DropsMouse()) break;
      LButtonDownToolbar(msg);
      return;
    case WM_LBUTTONDBLCLK:
      if (DropsMouse()) break;
      LButtonDblClkToolbar(msg);
      return;
    case WM_LBUTTONUP:
      if (DropsMouse()) break;
      LButtonUpToolbar(msg);
      return;
    case WM_MOUSEMOVE:
      if (DropsMouse()) break;
      MouseMoveToolbar(msg);
      return;
    case WM_MOUSELEAVE:
      MouseLeaveToolbar(msg);
      return;
    case WM_RBUTTONDOWN:
      if (DropsMouse()) break;
      RButtonDownToolbar(msg);
      return;
    case WM_NCLBUTTONDOWN:
      NCLButtonDownToolbar(msg);
      return;
    case WM_CAPTURECHANGED:
      CaptureChangedToolbar(msg);
      return;
    case WM_CANCELMODE:
      CancelModeToolbar();
      TCustomdxBarControl::WndProc(msg);
      return;
    case WM_MOUSEACTIVATE:
      if (dockingStyle_ == dsNone && !isActive_ && HandleAllocated())
        SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      msg.Result = MA_NOACTIVATE;
      return;
    case WM_GETDLGCODE:
      msg.Result = DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS;
      return;
    case WM_DESTROY:
      FinishMoreButtonsHintTimer();
      break;
    case WM_KEYDOWN: {
      TdxBarControlRef self(this);
      WORD key = static_cast<WORD>(msg.WParam);
      TCustomdxBarControl::WndProc(msg);
      if (BarControlExists(self)) KeyDownToolbar(key);
      return;
    }
    case WM_SIZE:
      TCustomdxBarControl::WndProc(msg);
      if (HandleAllocated()) InvalidateRect(handle_, nullptr, FALSE);
      return;
    default:
      break;
  }
  TCustomdxBarControl::WndProc(msg);
}
