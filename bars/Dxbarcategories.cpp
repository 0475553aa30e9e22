// Categories, groups and the hint window.
#include "Dxbarcontrols.h"
#include "Dxbarstrs.h"

// ---------------------------------------------------------------- categories

TdxBarManagerCategories::TdxBarManagerCategories(TdxBarManager* manager) : manager_(manager) {
  if (!manager_->IsLoading()) Add(dxBarLoadStr(dxSBAR_DEFAULTCATEGORYNAME));
}

TdxBarManagerCategories::~TdxBarManagerCategories() {
  for (int i = 0; i < Count(); ++i) FreeData(i);
}

void TdxBarManagerCategories::FreeData(int index) {
  delete GetObject(index);
  PutObject(index, nullptr);
}

TdxBarCategoryData* TdxBarManagerCategories::Data(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return static_cast<TdxBarCategoryData*>(GetObject(index));
}

TdxBarCategoryData* TdxBarManagerCategories::NeedData(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  if (!Data(index)) PutObject(index, new TdxBarCategoryData);
  return Data(index);
}

void TdxBarManagerCategories::Changed() {
  TStringList::Changed();
  if (updateCount_ == 0) manager_->DesignerModified();
}

void TdxBarManagerCategories::Insert(int index, const String& s) {
  if (!moving_ && index >= 0 && index < Count()) {
    for (int j = Count() - 1; j >= index; --j)
      for (int k = 0; k < manager_->ItemCount(); ++k) {
        TdxBarItem* item = manager_->Items(k);
        if (item->category_ == j) item->category_ = j + 1;
      }
  }
  TStringList::Insert(index, s);
}

void TdxBarManagerCategories::Delete(int index) {
  if (moving_) {
    TStringList::Delete(index);
    return;
  }
  if (index >= 0 && index < Count()) {
    std::vector<TdxBarItem*> items;
    manager_->GetAllItemsByCategory(index, items);
    for (TdxBarItem* item : items) item->Free();
    for (int j = index + 1; j < Count(); ++j)
      for (int k = 0; k < manager_->ItemCount(); ++k) {
        TdxBarItem* item = manager_->Items(k);
        if (item->category_ == j) item->category_ = j - 1;
      }
    FreeData(index);
    TStringList::Delete(index);
  }
  if (Count() == 0) Add(dxBarLoadStr(dxSBAR_DEFAULTCATEGORYNAME));
}

void TdxBarManagerCategories::Exchange(int a, int b) {
  if (a < 0 || a >= Count() || b < 0 || b >= Count()) return;
  std::vector<TdxBarItem*> ofA, ofB;
  manager_->GetAllItemsByCategory(a, ofA);
  manager_->GetAllItemsByCategory(b, ofB);
  for (TdxBarItem* item : ofA) item->SetCategory(b);
  for (TdxBarItem* item : ofB) item->SetCategory(a);
  TStringList::Exchange(a, b);
}

void TdxBarManagerCategories::Move(int from, int to) {
  if (from == to || from < 0 || from >= Count() || to < 0 || to >= Count()) return;
  std::vector<TdxBarItem*> moved;
  manager_->GetAllItemsByCategory(from, moved);
  for (TdxBarItem* item : moved) item->category_ = -1000;
  auto shift = [&](int category, int by) {
    for (int k = 0; k < manager_->ItemCount(); ++k) {
      TdxBarItem* item = manager_->Items(k);
      if (item->category_ == category) item->category_ = category + by;
    }
  };
  if (from > to)
    for (int j = from - 1; j >= to; --j) shift(j, 1);
  else
    for (int j = from + 1; j <= to; ++j) shift(j, -1);
  for (TdxBarItem* item : moved) item->category_ = to;
  moving_ = true;
  TFinally guard([&] { moving_ = false; });
  TStrings::Move(from, to);
}

void TdxBarManagerCategories::Clear() {
  for (int i = 0; i < Count(); ++i) FreeData(i);
  TStringList::Clear();
}

std::vector<bool> TdxBarManagerCategories::Visibles() const {
  std::vector<bool> v;
  for (int i = 0; i < Count(); ++i) v.push_back(manager_->CategoryVisible(i));
  return v;
}

void TdxBarManagerCategories::SetVisibles(const std::vector<bool>& values) {
  BeginUpdate();
  for (int i = 0; i < Count() && i < static_cast<int>(values.size()); ++i) manager_->SetCategoryVisible(i, values[i]);
  EndUpdate();
}

std::vector<int> TdxBarManagerCategories::ItemsVisibles() const {
  std::vector<int> v;
  for (int i = 0; i < Count(); ++i) v.push_back(manager_->CategoryItemsVisible(i));
  return v;
}

void TdxBarManagerCategories::SetItemsVisibles(const std::vector<int>& values) {
  BeginUpdate();
  for (int i = 0; i < Count() && i < static_cast<int>(values.size()); ++i)
    if (values[i] >= ivNever && values[i] <= ivAlways)
      manager_->SetCategoryItemsVisible(i, static_cast<TdxBarItemVisible>(values[i]));
  EndUpdate();
}

// ---------------------------------------------------------------- groups

TdxBarGroup::TdxBarGroup(TComponent* owner) : TComponent(owner) {}

TdxBarGroup::~TdxBarGroup() {
  if (manager_) manager_->RemoveGroup(this);
}

TComponent* TdxBarGroup::GetParentComponent() const { return manager_; }

void TdxBarGroup::SetParentComponent(TComponent* value) {
  if (auto* m = dynamic_cast<TdxBarManager*>(value)) m->AddGroup(this);
}

TComponent* TdxBarGroup::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<size_t>(index)];
}

bool TdxBarGroup::Contains(const TdxBarGroup* group) const {
  for (TComponent* c : items_) {
    auto* g = dynamic_cast<TdxBarGroup*>(c);
    if (g && (g == group || g->Contains(group))) return true;
  }
  return false;
}

void TdxBarGroup::Add(TComponent* component) {
  if (!component || IndexOf(component) >= 0) return;
  auto* group = dynamic_cast<TdxBarGroup*>(component);
  if (!group && !dynamic_cast<TdxBarItem*>(component)) return;
  if (group && (group == this || group->Contains(this))) throw Exception(dxBarLoadStr(dxSBAR_RECURSIVEGROUPS));
  items_.push_back(component);
  component->FreeNotification(this);
}

void TdxBarGroup::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
}

int TdxBarGroup::IndexOf(TComponent* component) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<size_t>(i)] == component) return i;
  return -1;
}

void TdxBarGroup::Move(int from, int to) {
  if (from < 0 || from >= Count() || to < 0 || to >= Count() || from == to) return;
  TComponent* c = items_[static_cast<size_t>(from)];
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, c);
}

void TdxBarGroup::Remove(TComponent* component) { Delete(IndexOf(component)); }

namespace {

// Applies f to every member with the manager's updates locked.
template <class F>
void ForMembers(TdxBarGroup* group, TdxBarManager* manager, const std::vector<TComponent*>& items, F f) {
  bool locked = manager ? manager->LockUpdate() : false;
  if (manager) manager->SetLockUpdate(true);
  TFinally guard([&] { if (manager) manager->SetLockUpdate(locked); });
  for (TComponent* c : std::vector<TComponent*>(items)) f(c);
}

}  // namespace

void TdxBarGroup::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  if (IsLoading() || IsDestroying()) return;
  ForMembers(this, manager_, items_, [&](TComponent* c) {
    if (auto* item = dynamic_cast<TdxBarItem*>(c)) item->SetEnabled(value);
    if (auto* g = dynamic_cast<TdxBarGroup*>(c)) g->SetEnabled(value);
  });
}

void TdxBarGroup::SetVisible(TdxBarItemVisible value) {
  if (value == visible_) return;
  visible_ = value;
  if (IsLoading() || IsDestroying()) return;
  ForMembers(this, manager_, items_, [&](TComponent* c) {
    if (auto* item = dynamic_cast<TdxBarItem*>(c)) item->SetVisible(value);
    if (auto* g = dynamic_cast<TdxBarGroup*>(c)) g->SetVisible(value);
  });
}

int TdxBarGroup::Index() const { return manager_ ? manager_->IndexOfGroup(this) : -1; }

void TdxBarGroup::SetIndex(int value) {
  if (manager_) manager_->MoveGroup(Index(), value);
}

void TdxBarGroup::SetName(const String& name) {
  TComponent::SetName(name);
  UpdateGroups();
}

void TdxBarGroup::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component != this) Remove(component);
}

// ---------------------------------------------------------------- hint window

namespace {
TdxBarHintWindow* NewHintWindow() { return new TdxBarHintWindow(nullptr); }
}  // namespace

TdxBarHintWindowClass dxBarHintWindowClass = NewHintWindow;

TdxBarHintWindow::TdxBarHintWindow(TComponent* owner) : TCustomControl(owner) {
  visible_ = false;
  color_ = clInfoBk;
  // The background is erased in the info colour; the text goes on it
  // with a clear brush (Paint).
  brush_->SetColor(color_);
  parentFont_ = false;
}

void TdxBarHintWindow::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style = WS_POPUP | WS_DISABLED;
  p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  p.WndParent = Application->Handle();
  p.WindowClass = &ControlWindowClass("TdxBarHintWindow", CS_SAVEBITS);
}

void TdxBarHintWindow::ActivateHint(TPoint point, const String& text, TdxBarManager* manager) {
  SetCaption(text);
  if (manager && manager->UseSystemFont()) {
    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof ncm;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) {
      font_->SetName(ncm.lfStatusFont.lfFaceName);
      font_->SetHeight(ncm.lfStatusFont.lfHeight);
    } else {
      font_->SetSize(8);
    }
  } else if (manager) {
    font_->Assign(manager->Font());
  }
  font_->SetColor(clInfoText);

  TRect area = GetWorkArea(point);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font_->Handle());
  RECT r{0, 0, area.Width(), 0};
  ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  int w = r.right - r.left + 6;
  int h = r.bottom - r.top + 6;

  int x = point.x, y = point.y;
  if (x + w > area.right) x = area.right - w;
  if (y + h > area.bottom) {
    y = point.y - 50;
    // A tall hint would still run past the bottom.
    if (y > area.bottom - h) y = area.bottom - h;
  }
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;

  HWND wnd = Handle();
  left_ = x;
  top_ = y;
  width_ = w;
  height_ = h;
  InvalidateRect(wnd, nullptr, TRUE);
  SetWindowPos(wnd, HWND_TOPMOST, x, y, w, h, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  visible_ = true;
}

void TdxBarHintWindow::HideHint() {
  if (HandleAllocated()) ShowWindow(handle_, SW_HIDE);
  visible_ = false;
}

bool TdxBarHintWindow::IsShown() const { return handle_ && IsWindowVisible(handle_); }

void TdxBarHintWindow::Paint() {
  TRect r = ClientRect();
  DrawEdge(canvas_->Handle(), &r, BDR_RAISEDOUTER, BF_RECT);
  InflateRect(&r, -1, -1);
  r.left += 2;
  r.top += 2;
  canvas_->Font()->Assign(font_);
  canvas_->Brush()->SetStyle(bsClear);
  String t = Text();
  canvas_->DrawText(t, r, DT_WORDBREAK | DT_NOPREFIX | DT_NOCLIP);
}

void TdxBarHintWindow::Dispatch(TMessage& msg) {
  if (msg.Msg == WM_MOUSEACTIVATE) {
    msg.Result = MA_NOACTIVATE;
    return;
  }
  TCustomControl::Dispatch(msg);
}
