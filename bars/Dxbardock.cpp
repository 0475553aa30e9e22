// Dock sites: the four built-in sites of a manager and the placed ones,
// their rows and columns, where a dropped bar goes, the layout of each row
// and the size of the site.
#include <algorithm>

#include "Dxbarcontrols.h"
#include "Dxbarquickcust.h"

#include <windowsx.h>

namespace {

TAlign AlignOf(TdxBarDockingStyle style) {
  switch (style) {
    case dsLeft: return alLeft;
    case dsRight: return alRight;
    case dsBottom: return alBottom;
    default: return alTop;
  }
}

}  // namespace

// ---------------------------------------------------------------- rows and columns

void TdxDockCol::AssignPosition() {
  if (BarControl) Pos = TPoint(BarControl->Left(), BarControl->Top());
}

TdxDockRow::~TdxDockRow() {
  for (TdxDockCol* c : Cols) delete c;
  Cols.clear();
}

TdxDockCol* TdxDockRow::GetCol(int index) const {
  if (index < 0 || index >= GetColCount()) return nullptr;
  return Cols[static_cast<size_t>(index)];
}

int TdxDockRow::IndexOf(const TdxDockCol* col) const {
  auto it = std::find(Cols.begin(), Cols.end(), col);
  return it == Cols.end() ? -1 : static_cast<int>(it - Cols.begin());
}

// ---------------------------------------------------------------- construction

TdxDockControl::TdxDockControl(TComponent* owner) : TCustomControl(owner) {
  color_ = clBtnFace;
  brush_->SetColor(color_);
}

TdxDockControl::TdxDockControl(TComponent* owner, TdxBarManager* manager, TdxBarDockingStyle style)
    : TCustomControl(owner), manager_(manager), main_(true) {
  width_ = 0;
  height_ = 0;
  SetAlign(AlignOf(style));
  if (manager && manager->MainForm()) SetParent(manager->MainForm());
  ColorChanged();
}

TdxDockControl::~TdxDockControl() {
  Destroying();
  if (manager_) manager_->RemoveDockControl(this);
  // Bars left in the rows (their form goes) forget the site.
  for (TdxDockRow* row : rows_)
    for (TdxDockCol* col : row->Cols)
      if (col->BarControl && col->BarControl->DockControl() == this) col->BarControl->SetDockControl(nullptr);
  if (HandleAllocated()) DestroyHandle();
  for (TdxDockRow* row : rows_) delete row;
  rows_.clear();
}

void TdxDockControl::SetBarManager(TdxBarManager* value) {
  if (value == manager_) return;
  if (manager_) manager_->RemoveDockControl(this);
  manager_ = value;
  if (manager_) manager_->AddDockControl(this);
  ColorChanged();
  BarManagerChanged();
}

TdxBarDockingStyle TdxDockControl::DockingStyle() const {
  switch (align_) {
    case alLeft: return dsLeft;
    case alRight: return dsRight;
    case alBottom: return dsBottom;
    default: return dsTop;
  }
}

void TdxDockControl::ColorChanged() {
  if (!colorApplying_) {
    colorApplying_ = true;
    auto* placed = dynamic_cast<TdxBarDockControl*>(this);
    if (!placed || !placed->UseOwnColor()) {
      if (!manager_ || manager_->AutoDockColor()) {
        parentColor_ = true;
        color_ = parent_ ? parent_->Color() : clBtnFace;
      } else {
        parentColor_ = false;
        color_ = manager_->DockColor();
      }
    }
    colorApplying_ = false;
  }
  TCustomControl::ColorChanged();
}

bool TdxDockControl::GetSunkenBorder() { return manager_ && manager_->SunkenBorder(); }

// ---------------------------------------------------------------- rows

TdxDockRow* TdxDockControl::GetRow(int index) const {
  if (index < 0 || index >= GetRowCount()) return nullptr;
  return rows_[static_cast<size_t>(index)];
}

int TdxDockControl::BarCount() const {
  int n = 0;
  for (TdxDockRow* r : rows_) n += r->GetColCount();
  return n;
}

TdxBarControl* TdxDockControl::BarControls(int index) const {
  for (TdxDockRow* r : rows_)
    for (TdxDockCol* c : r->Cols)
      if (index-- == 0) return c->BarControl;
  return nullptr;
}

TdxDockCol* TdxDockControl::FindCol(TdxBarControl* barControl) const {
  for (TdxDockRow* r : rows_)
    for (TdxDockCol* c : r->Cols)
      if (c->BarControl == barControl) return c;
  return nullptr;
}

int TdxDockControl::GetClientSize() {
  int sum = 0;
  for (TdxDockRow* r : rows_) {
    int size = 0;
    for (TdxDockCol* c : r->Cols)
      if (c->BarControl) size = std::max(size, Horizontal() ? c->BarControl->Height() : c->BarControl->Width());
    sum += size;
  }
  return sum;
}

int TdxDockControl::GetSize() {
  int s = GetClientSize();
  return s + (GetSunkenBorder() && s >= 1 ? 2 : 0);
}

bool TdxDockControl::Dragging() const { return manager_ && manager_->Bars() && manager_->Bars()->IsMoving(); }

TdxBarControl* TdxDockControl::DraggedBar() const {
  return manager_ && manager_->Bars() ? manager_->Bars()->MovingBarControl() : nullptr;
}

TdxDockZones TdxDockControl::Zones() {
  TdxDockZones z;
  z.Style = DockingStyle();
  for (TdxDockRow* r : rows_) {
    int size = 0;
    for (TdxDockCol* c : r->Cols)
      if (c->BarControl) size = std::max(size, Horizontal() ? c->BarControl->Height() : c->BarControl->Width());
    z.RowSizes.push_back(size);
    z.RowHasBars.push_back(!r->Cols.empty());
  }
  TRect client = ClientRect();
  z.SiteClientSize = Horizontal() ? client.Height() : client.Width();
  z.Dragging = Dragging();
  return z;
}

TRect TdxDockControl::GetRectForRow(int row) {
  TdxDockZones z = Zones();
  std::pair<int, int> band = z.GetRectForRow(row);
  if (row < 0 || row >= GetRowCount()) return TRect();
  TRect client = ClientRect();
  if (Horizontal()) return TRect(0, band.first, client.Width(), band.second);
  return TRect(band.first, 0, band.second, client.Height());
}

int TdxDockControl::GetRowAtPos(TPoint p, bool& newRow) {
  TPoint c = ScreenToClient(p);
  return Zones().GetRowAtPos(Horizontal() ? c.y : c.x, newRow);
}

void TdxDockControl::GetPosForRow(int row, bool newRow, TPoint& p) {
  TPoint c = ScreenToClient(p);
  int across = Horizontal() ? c.y : c.x;
  Zones().GetPosForRow(row, newRow, across);
  if (Horizontal())
    c.y = across;
  else
    c.x = across;
  p = ClientToScreen(c);
}

int TdxDockControl::GetColAtPos(int row, TPoint p) {
  TdxDockRow* r = GetRow(row);
  if (!r || r->Cols.empty()) return 0;
  int along = Horizontal() ? p.x : p.y;
  TdxBarControl* dragged = DraggedBar();
  if (dragged && !dragged->InternallyLocked()) {
    TPoint offset = dragged->GetDragPointOffset(DockingStyle());
    along -= Horizontal() ? offset.x : offset.y;
  }
  for (int i = 0; i < r->GetColCount(); ++i) {
    TdxBarControl* bc = r->Cols[static_cast<size_t>(i)]->BarControl;
    if (!bc || bc == dragged) continue;
    int pos = Horizontal() ? bc->Left() : bc->Top();
    if (pos >= along) return i;
  }
  return r->GetColCount();
}

TRect TdxDockControl::GetDockZoneBounds() {
  TRect r;
  if (HandleAllocated()) {
    RECT w;
    ::GetWindowRect(handle_, &w);
    r = TRect(w);
  } else {
    TPoint o = ClientOrigin();
    r = Bounds(o.x, o.y, width_, height_);
  }
  int d = dxBarDockDistance;
  if (Horizontal())
    InflateRect(&r, d, d);
  else
    InflateRect(&r, d, 0);
  return r;
}

// ---------------------------------------------------------------- adding and removing bars

void TdxDockControl::AddBarControl(TdxBarControl* barControl, TPoint p, bool update) {
  if (!manager_ || !barControl) return;
  TdxBar* bar = barControl->Bar();
  TdxBars* bars = manager_->Bars();
  bool byHand = !barControl->InternallyLocked();
  bool loading = bars->Restoring();
  int row;
  bool newRow;
  if (byHand) {
    row = GetRowAtPos(p, newRow);
  } else {
    row = bar ? bar->Row() : 0;
    newRow = bar && bar->OneOnRow();
  }
  if (bar && bar->WholeRow()) newRow = true;
  int count = GetRowCount();
  if (loading && !byHand) {
    // Saved row numbers keep their meaning: empty rows up to the index.
    while (GetRowCount() <= row) rows_.push_back(new TdxDockRow(this));
    count = GetRowCount();
  } else {
    if (row > count - 1 + (newRow ? 1 : 0)) row = count - (newRow ? 0 : 1);
    if (row < 0) row = 0;
  }
  if (row >= count) newRow = true;
  if (!newRow)
    for (TdxDockCol* c : rows_[static_cast<size_t>(row)]->Cols)
      if (c->BarControl && c->BarControl != barControl && c->BarControl->Bar() && c->BarControl->Bar()->WholeRow())
        newRow = true;
  TPoint clientP = ScreenToClient(p);
  TdxDockCol* col;
  if (newRow) {
    TdxDockRow* r;
    if (loading && row < GetRowCount() && rows_[static_cast<size_t>(row)]->Cols.empty()) {
      r = rows_[static_cast<size_t>(row)];
    } else {
      r = new TdxDockRow(this);
      rows_.insert(rows_.begin() + std::min(row, GetRowCount()), r);
    }
    col = new TdxDockCol(r, barControl);
    r->Cols.push_back(col);
  } else {
    TdxDockRow* r = rows_[static_cast<size_t>(row)];
    int at = GetColAtPos(row, clientP);
    col = new TdxDockCol(r, barControl);
    r->Cols.insert(r->Cols.begin() + std::min(at, r->GetColCount()), col);
  }
  TPoint q = p;
  if (byHand) {
    TPoint offset = barControl->GetDragPointOffset(DockingStyle());
    q = TPoint(q.x - offset.x, q.y - offset.y);
    if (bars->IsMoving()) q = TPoint(q.x - bars->DragOffset().x, q.y - bars->DragOffset().y);
  }
  q = ScreenToClient(q);
  if (Horizontal() && q.x < 0) q.x = 0;
  if (Vertical() && q.y < 0) q.y = 0;
  col->Pos = q;
  barControl->SetDockControl(this);
  if (!update) return;
  if (!barControl->Moving()) barControl->SetPos(q.x, q.y);
  UpdateDock();
  if (!loading) col->AssignPosition();
}

void TdxDockControl::DeleteBarControl(TdxBarControl* barControl, TdxDockCol* col, bool update) {
  if (!col) col = FindCol(barControl);
  if (!col) return;
  TdxDockRow* row = col->Row;
  row->Cols.erase(std::remove(row->Cols.begin(), row->Cols.end(), col), row->Cols.end());
  delete col;
  if (row->Cols.empty()) {
    rows_.erase(std::remove(rows_.begin(), rows_.end(), row), rows_.end());
    delete row;
  }
  if (barControl && barControl->DockControl() == this) barControl->SetDockControl(nullptr);
  if (update) UpdateDock();
}

void TdxDockControl::MoveBarControl(TdxBarControl* barControl, TPoint p) {
  DeleteBarControl(barControl, nullptr, false);
  AddBarControl(barControl, p, true);
}

void TdxDockControl::AssignPositions() {
  for (TdxDockRow* r : rows_)
    for (TdxDockCol* c : r->Cols) c->AssignPosition();
}

// ---------------------------------------------------------------- layout

void TdxDockControl::UpdateDock() {
  if (!manager_ || laying_ || IsDestroying() || ControlState.Contains(csDestroyingHandle)) return;
  TCustomForm* form = manager_->MainForm();
  if ((form && form->IsDestroying()) || manager_->LockUpdate()) return;
  laying_ = true;
  TFinally guard([&] { laying_ = false; });
  PaintBarControls();
  SetSize();
}

void TdxDockControl::PaintBarControls() {
  if (rows_.empty() || !manager_ || manager_->Bars()->Restoring()) return;
  TCustomForm* form = manager_->MainForm();
  if (form && form->IsDestroying()) return;
  if (!manager_->IsDesigning() && HandleAllocated())
    SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  DisableAlign();
  TdxBarDockingStyle style = DockingStyle();
  bool vertical = Vertical();
  TRect client = ClientRect();
  int length = vertical ? client.Height() : client.Width();
  TdxBarControl* dragged = DraggedBar();
  for (int ri = 0; ri < GetRowCount(); ++ri) {
    TdxDockRow* row = rows_[static_cast<size_t>(ri)];
    if (row->Cols.empty()) continue;
    std::vector<TdxDockRowBar> bars;
    for (TdxDockCol* col : row->Cols) {
      TdxBarControl* bc = col->BarControl;
      TdxBar* bar = bc->Bar();
      bc->SetHasHiddenItems(false);
      if (bc->ItemLinks()) bc->ItemLinks()->SetRecentItemCount(-1);
      TdxDockRowBar rb;
      rb.NCAlong = vertical ? bar->BarNCSizeY(style) : bar->BarNCSizeX(style);
      rb.NCAcross = vertical ? bar->BarNCSizeX(style) : bar->BarNCSizeY(style);
      rb.MinLength = (vertical ? bc->GetMinHeight(style) : bc->GetMinWidth(style)) + rb.NCAlong;
      rb.MaxLength = (vertical ? bc->GetMaxHeight(style) : bc->GetMaxWidth(style)) + rb.NCAlong;
      if (!bc->MarkExists() && rb.MinLength != rb.MaxLength) rb.MinLength += dxBarMarkSize;
      bc->MinLength = rb.MinLength;
      bc->MaxLength = rb.MaxLength;
      rb.MaxCross = vertical ? bc->GetMaxWidth(style) : bc->GetMaxHeight(style);
      rb.Pos = vertical ? col->Pos.y : col->Pos.x;
      rb.MultiLine = bc->MultiLine();
      rb.WholeRow = bar->WholeRow();
      rb.UseRestSpace = bar->UseRestSpace();
      rb.Dragged = bc == dragged;
      rb.CrossFor = [bc, vertical, style](int clientLength) {
        TPoint s = vertical ? bc->GetSizeForHeight(style, clientLength) : bc->GetSizeForWidth(style, clientLength);
        return static_cast<int>(vertical ? s.x : s.y);
      };
      bars.push_back(rb);
    }
    TRect band = GetRectForRow(ri);
    dxDockLayoutRow(bars, length, vertical ? band.left : band.top);
    bool standard = manager_->Style() == bmsStandard;
    for (size_t i = 0; i < bars.size(); ++i) {
      TdxDockCol* col = row->Cols[i];
      TdxBarControl* bc = col->BarControl;
      const TdxDockRowBar& rb = bars[i];
      if (vertical)
        col->Pos.y = rb.Pos;
      else
        col->Pos.x = rb.Pos;
      bc->SetHasHiddenItems(rb.HasHiddenItems);
      int clientLength = rb.Length - rb.NCAlong - (rb.HasHiddenItems && standard ? dxBarMarkSize : 0);
      if (vertical)
        bc->GetSizeForHeight(style, clientLength);
      else
        bc->GetSizeForWidth(style, clientLength);
      TRect bounds = vertical ? Bounds(rb.Top, rb.Left, rb.Cross, rb.Length) : Bounds(rb.Left, rb.Top, rb.Length, rb.Cross);
      if (bounds != bc->BoundsRect()) bc->SetBounds(bounds.left, bounds.top, bounds.Width(), bounds.Height());
      bc->CalcControlsPositions();
      if (bc->HandleAllocated()) InvalidateRect(bc->Handle(), nullptr, FALSE);
    }
  }
  EnableAlign();
  Invalidate();
}

void TdxDockControl::SetSize() {
  if (!manager_ || IsDestroying()) return;
  int size = GetSize();
  bool changed = false;
  TdxBarDockingStyle style = DockingStyle();
  if (Vertical()) {
    if (width_ != size) {
      changed = true;
      if (style == dsRight && parent_) {
        parent_->DisableAlign();
        SetBounds(left_ + width_ - size, top_, size, height_);
        parent_->EnableAlign();
      } else {
        SetWidth(size);
      }
    }
  } else if (height_ != size) {
    changed = true;
    if (style == dsBottom && parent_) {
      parent_->DisableAlign();
      SetBounds(left_, top_ + height_ - size, width_, size);
      parent_->EnableAlign();
    } else {
      SetHeight(size);
    }
  }
  if (!changed) return;
  TCustomdxBarControl* active = ActiveBarControl();
  if (active && active->HandleAllocated() && GetCapture() != active->Handle()) active->HideAll();
}

void TdxDockControl::InitiateAction() {
  for (TdxDockRow* r : rows_)
    for (TdxDockCol* c : r->Cols)
      if (c->BarControl && c->BarControl->Bar() && c->BarControl->Bar()->Visible() && c->BarControl->ItemLinks())
        c->BarControl->ItemLinks()->InitiateActions();
}

void TdxDockControl::NCChanged() {
  if (HandleAllocated())
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
  for (TdxDockRow* r : rows_)
    for (TdxDockCol* c : r->Cols)
      if (c->BarControl) c->BarControl->FrameChanged();
  UpdateDock();
}

void TdxDockControl::SetRedraw(bool value) {
  if (HandleAllocated()) SendMessageA(handle_, WM_SETREDRAW, value ? TRUE : FALSE, 0);
}

void TdxDockControl::NCPaint() {
  if (HandleAllocated())
    RedrawWindow(handle_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// ---------------------------------------------------------------- window

void TdxDockControl::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  params.WindowClass = &ControlWindowClass(ClassName().c_str(), CS_DBLCLKS);
}

void TdxDockControl::CreateWnd() {
  TCustomControl::CreateWnd();
  RestoreBars();
}

void TdxDockControl::RestoreBars() {
  std::vector<TdxBar*>* list = manager_ ? manager_->BarsToRestore() : nullptr;
  if (!list) return;
  // Last hidden first: each comes back to the row it left.
  for (size_t i = list->size(); i-- > 0;) {
    if (i >= list->size()) continue;
    TdxBar* bar = (*list)[i];
    if (bar->DockingStyle() == dsNone || bar->RealDockControl() != this) continue;
    list->erase(list->begin() + static_cast<std::ptrdiff_t>(i));
    bar->SetVisible(true);
  }
}

void TdxDockControl::DestroyWnd() {
  // The bars in the site hide with its window and come back with the next.
  TCustomForm* form = manager_ ? manager_->MainForm() : nullptr;
  if (manager_ && !IsDestroying() && !manager_->IsDestroying() && form && !form->IsDestroying())
    manager_->CreateBarsToRestore();
  TCustomControl::DestroyWnd();
}

void TdxDockControl::AlignControls(TControl* control, TRect& rect) {
  TCustomControl::AlignControls(control, rect);
  if (manager_ && !manager_->IsLoading()) UpdateDock();
}

void TdxDockControl::Loaded() { TCustomControl::Loaded(); }

void TdxDockControl::WndProc(TMessage& msg) {
  switch (msg.Msg) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(handle_, &r);
      FillRect(reinterpret_cast<HDC>(msg.WParam), &r, brush_->Handle());
      msg.Result = 1;
      return;
    }
    case WM_NCCALCSIZE:
      if (GetSunkenBorder()) {
        RECT* r = msg.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(msg.LParam)->rgrc[0]
                             : reinterpret_cast<RECT*>(msg.LParam);
        InflateRect(r, -1, -1);
      }
      msg.Result = 0;
      return;
    case WM_NCPAINT:
      if (GetSunkenBorder()) {
        HDC dc = GetWindowDC(handle_);
        RECT w;
        ::GetWindowRect(handle_, &w);
        RECT r{0, 0, w.right - w.left, w.bottom - w.top};
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
        ReleaseDC(handle_, dc);
      }
      msg.Result = 0;
      return;
    case WM_MOUSEACTIVATE: {
      msg.Result = MA_NOACTIVATE;
      TCustomForm* form = manager_ ? manager_->MainForm() : nullptr;
      if (form && form->HandleAllocated())
        SetWindowPos(form->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      return;
    }
    case WM_RBUTTONDOWN:
      if (manager_ && !manager_->IsCustomizing()) {
        POINT p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
        ::ClientToScreen(handle_, &p);
        dxBarShowToolbarsPopup(manager_, TPoint(p));
      }
      msg.Result = 0;
      return;
    case WM_LBUTTONDBLCLK:
      if (manager_ && manager_->CanCustomize()) manager_->Customizing(true);
      msg.Result = 0;
      return;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(msg.LParam);
      TCustomControl::WndProc(msg);
      bool changed = !(pos->flags & SWP_NOMOVE) || !(pos->flags & SWP_NOSIZE);
      if (changed && DockingStyle() == dsBottom)
        for (TdxDockRow* r : rows_)
          for (TdxDockCol* c : r->Cols)
            if (c->BarControl && c->BarControl->Bar() && c->BarControl->Bar()->IsStatusBar()) c->BarControl->RebuildBar();
      return;
    }
    case WM_DESTROY:
      if (manager_ && !IsDestroying() && !manager_->IsDestroying()) manager_->CreateBarsToRestore();
      break;
    default:
      break;
  }
  TCustomControl::WndProc(msg);
}

// ---------------------------------------------------------------- placed site

TdxBarDockControl::TdxBarDockControl(TComponent* owner) : TdxDockControl(owner) {
  TControl::align_ = alTop;
  height_ = 0;
}

void TdxBarDockControl::SetAlign(TdxBarDockAlign value) {
  if (value == dockAlign_) return;
  dockAlign_ = value;
  TAlign a = value == dalLeft ? alLeft : value == dalRight ? alRight : value == dalBottom ? alBottom
                                                                                        : value == dalTop ? alTop : alNone;
  TdxBarManager* m = manager_;
  bool locked = m ? m->LockUpdate() : false;
  if (m) m->SetLockUpdate(true);
  TControl::SetAlign(a);
  TdxBarDockingStyle style = DockingStyle();
  for (TdxDockRow* r : rows_)
    for (TdxDockCol* c : r->Cols)
      if (c->BarControl) c->BarControl->SetDockingStyle(style);
  if (m) m->SetLockUpdate(locked);
  for (TdxDockRow* r : rows_)
    for (TdxDockCol* c : r->Cols)
      if (c->BarControl) c->BarControl->RepaintBar();
  if (parent_) parent_->Realign();
}

bool TdxBarDockControl::CanDocking(TdxBar* bar) {
  if (!TdxDockControl::CanDocking(bar)) return false;
  TdxBarControl* c = bar ? bar->Control() : nullptr;
  if (c && c->HandleAllocated() && HandleAllocated() && IsWindowInside(Handle(), c->Handle())) return false;
  return true;
}

bool TdxBarDockControl::GetSunkenBorder() { return useOwnSunkenBorder_ ? sunkenBorder_ : TdxDockControl::GetSunkenBorder(); }

void TdxBarDockControl::SetSunkenBorder(bool value) {
  useOwnSunkenBorder_ = true;
  if (value == sunkenBorder_) return;
  sunkenBorder_ = value;
  NCChanged();
}

void TdxBarDockControl::SetUseOwnSunkenBorder(bool value) {
  if (value == useOwnSunkenBorder_) return;
  useOwnSunkenBorder_ = value;
  NCChanged();
}

void TdxBarDockControl::SetUseOwnColor(bool value) {
  if (value == useOwnColor_) return;
  useOwnColor_ = value;
  if (!value) ColorChanged();
}

void TdxBarDockControl::SetColor(TColor value) {
  if (!IsLoading()) useOwnColor_ = true;
  TControl::SetColor(value);
}

void TdxBarDockControl::SetParentColor(bool value) {
  if (!IsLoading()) useOwnColor_ = true;
  TControl::SetParentColor(value);
}

int TdxBarDockControl::GetMinSize() {
  if (!IsDesigning()) return 0;
  return allowZeroSizeInDesignTime_ ? 0 : 3;
}

int TdxBarDockControl::GetClientSize() {
  if (IsLoading()) {
    TRect c = ClientRect();
    return Horizontal() ? c.Height() : c.Width();
  }
  return rows_.empty() ? GetMinSize() : TdxDockControl::GetClientSize();
}

void TdxBarDockControl::BarManagerChanged() {
  if (IsDestroying()) return;
  ColorChanged();
  NCChanged();
}

void TdxBarDockControl::WndProc(TMessage& msg) {
  TdxDockControl::WndProc(msg);
  if (msg.Msg == WM_SIZE && !IsLoading() && rows_.empty()) {
    // An empty placed site keeps its minimal size.
    int min = GetMinSize();
    if (Horizontal() && height_ != min) SetHeight(min);
    if (Vertical() && width_ != min) SetWidth(min);
  }
}
