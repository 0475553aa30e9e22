#include "Listview.h"

#include <algorithm>

namespace {

void InitViewClasses() {
  static bool done = [] {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES;
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)done;
}

// Copies text into a window's buffer of size bytes, cut to fit.
void CopyText(const String& text, char* buffer, int size) {
  if (!buffer || size <= 0) return;
  size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

int CALLBACK ByIndex(LPARAM a, LPARAM b, LPARAM) {
  return reinterpret_cast<TListItem*>(a)->Index() - reinterpret_cast<TListItem*>(b)->Index();
}

// The list changes its own window: notifications that come back meanwhile
// are not the user's.
struct TFlagScope {
  bool& flag;
  bool saved;
  explicit TFlagScope(bool& f) : flag(f), saved(f) { flag = true; }
  ~TFlagScope() { flag = saved; }
};
struct TCountScope {
  int& count;
  explicit TCountScope(int& c) : count(c) { ++count; }
  ~TCountScope() { --count; }
};

// What a virtual window keeps of each item, and what it asks for.
constexpr UINT kWindowStates = LVIS_SELECTED | LVIS_FOCUSED;
constexpr UINT kCallbackStates = LVIS_CUT | LVIS_DROPHILITED | LVIS_OVERLAYMASK | LVIS_STATEIMAGEMASK;

}  // namespace

// ---------------------------------------------------------------- TListColumn

int TListColumn::Index() const {
  auto& v = owner_->items_;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

void TListColumn::SetCaption(const String& value) {
  if (value == caption_) return;
  caption_ = value;
  Push(false);
}

int TListColumn::Width() const {
  TCustomListView* lv = owner_->owner_;
  HWND header = lv->HeaderHandle();
  int i = Index();
  if (header && i >= 0 && i < static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0))) {
    HDITEMA hd{};
    hd.mask = HDI_WIDTH;
    if (SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&hd))) return hd.cxy;
  }
  return width_;
}

void TListColumn::SetWidth(int value) {
  if (value >= 0 && value == Width()) return;
  width_ = value;
  TCustomListView* lv = owner_->owner_;
  if (lv->HandleAllocated() && lv->ViewStyle() == vsReport) {
    SendMessageA(lv->Handle(), LVM_SETCOLUMNWIDTH, Index(), MAKELPARAM(value, 0));
    if (value < 0) width_ = Width();
  }
  lv->UpdateAutoSizeColumns();
}

void TListColumn::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Push(false);
}

void TListColumn::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  owner_->owner_->UpdateAutoSizeColumns();
}

// Inserts or updates the column in the window.
void TListColumn::Push(bool insert) {
  TCustomListView* lv = owner_->owner_;
  if (!lv->HandleAllocated()) return;
  int index = Index();
  LVCOLUMNA col{};
  col.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM;
  col.fmt = alignment_ == taRightJustify ? LVCFMT_RIGHT : alignment_ == taCenter ? LVCFMT_CENTER : LVCFMT_LEFT;
  col.pszText = const_cast<char*>(caption_.c_str());
  col.iSubItem = index;
  if (insert) {
    col.mask |= LVCF_WIDTH;
    col.cx = width_ >= 0 ? width_ : 50;
    SendMessageA(lv->handle_, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&col));
    if (width_ < 0 && lv->ViewStyle() == vsReport) {
      SendMessageA(lv->handle_, LVM_SETCOLUMNWIDTH, index, MAKELPARAM(width_, 0));
      width_ = Width();
    }
  } else {
    SendMessageA(lv->handle_, LVM_SETCOLUMNA, index, reinterpret_cast<LPARAM>(&col));
  }
}

// ---------------------------------------------------------------- TListColumns

TListColumns::~TListColumns() {
  for (TListColumn* c : items_) delete c;
}

TListColumn* TListColumns::Add() {
  auto* c = new TListColumn(this);
  items_.push_back(c);
  c->Push(true);
  owner_->UpdateAutoSizeColumns();
  return c;
}

TListColumn* TListColumns::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  return items_[static_cast<size_t>(index)];
}

void TListColumns::Delete(int index) {
  TListColumn* c = Items(index);
  if (owner_->HandleAllocated()) SendMessageA(owner_->handle_, LVM_DELETECOLUMN, index, 0);
  items_.erase(items_.begin() + index);
  delete c;
  // The columns after it show the sub-items of their new places.
  for (int i = index; i < Count(); ++i) items_[static_cast<size_t>(i)]->Push(false);
  owner_->UpdateAutoSizeColumns();
}

void TListColumns::Clear() {
  while (!items_.empty()) {
    int last = Count() - 1;
    if (owner_->HandleAllocated()) SendMessageA(owner_->handle_, LVM_DELETECOLUMN, last, 0);
    delete items_.back();
    items_.pop_back();
  }
}

// ---------------------------------------------------------------- TSubItems

void TSubItems::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EStringListError(Format("List index out of bounds (%d)", index));
}

const String& TSubItems::Get(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)];
}

namespace {
// Sets the window's text of one cell: the callback, or empty. A virtual
// window holds no texts: the cell is drawn again.
void SetCellText(TCustomListView* lv, int item, int subItem, bool callback) {
  if (lv->VirtualWindow()) {
    // Within an items update the whole window is drawn again at its end.
    if (!lv->Items()->Updating()) SendMessageA(lv->Handle(), LVM_UPDATE, item, 0);
    return;
  }
  LVITEMA it{};
  it.iSubItem = subItem;
  it.pszText = callback ? LPSTR_TEXTCALLBACKA : const_cast<char*>("");
  SendMessageA(lv->Handle(), LVM_SETITEMTEXTA, item, reinterpret_cast<LPARAM>(&it));
}
}  // namespace

void TSubItems::Put(int index, const String& s) {
  CheckIndex(index);
  if (items_[static_cast<size_t>(index)] == s) return;
  items_[static_cast<size_t>(index)] = s;
  owner_->Changed(false, false);
}

void TSubItems::Insert(int index, const String& s) {
  if (index < 0 || index > Count()) throw EStringListError(Format("List index out of bounds (%d)", index));
  items_.insert(items_.begin() + index, s);
  TCustomListView* lv = owner_->ListView();
  if (lv->HandleAllocated()) {
    SetCellText(lv, owner_->index_, Count(), true);
    if (index + 1 < Count()) owner_->Changed(false, false);
  }
}

void TSubItems::Delete(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
  TCustomListView* lv = owner_->ListView();
  if (lv->HandleAllocated()) {
    SetCellText(lv, owner_->index_, Count() + 1, false);
    owner_->Changed(false, false);
  }
}

void TSubItems::Clear() {
  if (items_.empty()) return;
  TCustomListView* lv = owner_->ListView();
  if (lv->HandleAllocated())
    for (int k = Count(); k >= 1; --k) SetCellText(lv, owner_->index_, k, false);
  items_.clear();
}

// ---------------------------------------------------------------- TListItem

TListItem::TListItem(TListItems* owner) : owner_(owner), subItems_(new TSubItems(this)) {}

TListItem::~TListItem() { delete subItems_; }

TCustomListView* TListItem::ListView() const { return owner_->owner_; }

void TListItem::Changed(bool textChanged, bool dataChanged) {
  TCustomListView* lv = ListView();
  if (lv->HandleAllocated() && !owner_->Updating()) SendMessageA(lv->handle_, LVM_UPDATE, index_, 0);
  lv->SortAfterChange(this, textChanged, dataChanged);
}

void TListItem::SetCaption(const String& value) {
  if (value == caption_) return;
  caption_ = value;
  Changed(true, false);
}

void TListItem::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  Changed(false, false);
}

void TListItem::SetData(void* value) {
  if (value == data_) return;
  data_ = value;
  TCustomListView* lv = ListView();
  lv->SortAfterChange(this, false, true);
}

UINT TListItem::StateBits() const {
  UINT s = state_ & (LVIS_SELECTED | LVIS_FOCUSED | LVIS_CUT | LVIS_DROPHILITED);
  if (overlayIndex_ >= 0) s |= INDEXTOOVERLAYMASK(overlayIndex_ + 1);
  if (stateIndex_ >= 0) s |= INDEXTOSTATEIMAGEMASK(stateIndex_ + 1);
  return s;
}

bool TListItem::GetState(UINT mask) const {
  TCustomListView* lv = ListView();
  lv->SyncWindowCount();
  if (lv->HandleAllocated() && !(lv->virtualWindow_ && (mask & kCallbackStates)))
    return (SendMessageA(lv->handle_, LVM_GETITEMSTATE, index_, mask) & mask) != 0;
  return (state_ & mask) != 0;
}

void TListItem::SetState(UINT mask, bool value) {
  if (value)
    state_ |= mask;
  else
    state_ &= ~mask;
  TCustomListView* lv = ListView();
  if (!lv->HandleAllocated()) return;
  lv->SyncWindowCount();
  if (lv->virtualWindow_ && (mask & kCallbackStates)) {
    SendMessageA(lv->handle_, LVM_UPDATE, index_, 0);
    return;
  }
  LVITEMA it{};
  it.stateMask = mask;
  it.state = value ? mask : 0;
  SendMessageA(lv->handle_, LVM_SETITEMSTATE, index_, reinterpret_cast<LPARAM>(&it));
}

void TListItem::SetOverlayIndex(int value) {
  if (value == overlayIndex_) return;
  overlayIndex_ = value;
  TCustomListView* lv = ListView();
  if (!lv->HandleAllocated()) return;
  if (lv->virtualWindow_) {
    SendMessageA(lv->handle_, LVM_UPDATE, index_, 0);
    return;
  }
  LVITEMA it{};
  it.stateMask = LVIS_OVERLAYMASK;
  it.state = value >= 0 ? INDEXTOOVERLAYMASK(value + 1) : 0;
  SendMessageA(lv->handle_, LVM_SETITEMSTATE, index_, reinterpret_cast<LPARAM>(&it));
}

void TListItem::SetStateIndex(int value) {
  if (value == stateIndex_) return;
  stateIndex_ = value;
  TCustomListView* lv = ListView();
  if (!lv->HandleAllocated()) return;
  if (lv->virtualWindow_) {
    SendMessageA(lv->handle_, LVM_UPDATE, index_, 0);
    return;
  }
  LVITEMA it{};
  it.stateMask = LVIS_STATEIMAGEMASK;
  it.state = value >= 0 ? INDEXTOSTATEIMAGEMASK(value + 1) : 0;
  SendMessageA(lv->handle_, LVM_SETITEMSTATE, index_, reinterpret_cast<LPARAM>(&it));
}

void TListItem::Delete() {
  if (deleting_) return;
  deleting_ = true;
  ListView()->Delete(this);
  owner_->Remove(this);
  delete this;
}

bool TListItem::MakeVisible(bool partialOK) {
  TCustomListView* lv = ListView();
  if (!lv->HandleAllocated()) return false;
  lv->SyncWindowCount();
  return SendMessageA(lv->handle_, LVM_ENSUREVISIBLE, index_, partialOK) != 0;
}

TRect TListItem::DisplayRect(TDisplayCode code) const {
  TCustomListView* lv = ListView();
  RECT r{};
  if (!lv->HandleAllocated()) return TRect();
  lv->SyncWindowCount();
  static const int codes[] = {LVIR_BOUNDS, LVIR_ICON, LVIR_LABEL, LVIR_SELECTBOUNDS};
  r.left = codes[code];
  if (!SendMessageA(lv->handle_, LVM_GETITEMRECT, index_, reinterpret_cast<LPARAM>(&r))) return TRect();
  return TRect(r);
}

bool TListItem::EditCaption() {
  TCustomListView* lv = ListView();
  if (!lv->HandleAllocated() && !lv->Parent()) return false;
  HWND h = lv->Handle();
  lv->SyncWindowCount();
  if (lv->CanFocus() && GetFocus() != h) lv->SetFocus();
  return SendMessageA(h, LVM_EDITLABELA, index_, 0) != 0;
}

void TListItem::Update() {
  TCustomListView* lv = ListView();
  if (lv->HandleAllocated()) SendMessageA(lv->handle_, LVM_UPDATE, index_, 0);
}

// ---------------------------------------------------------------- TListItems

TListItems::~TListItems() {
  for (TListItem* it : items_) delete it;
}

void TListItems::Renumber(int from) {
  for (size_t i = static_cast<size_t>(std::max(from, 0)); i < items_.size(); ++i) items_[i]->index_ = static_cast<int>(i);
}

TListItem* TListItems::Add() { return Insert(Count()); }

TListItem* TListItems::Insert(int index) {
  if (index < 0 || index > Count()) throw EListError(Format("List index out of bounds (%d)", index));
  // A virtual window's states stay at their indexes: they follow by hand.
  std::vector<TCustomListView::TWindowState> states;
  bool moving = owner_->virtualWindow_ && owner_->HandleAllocated() && index < Count();
  if (moving) states = owner_->WindowStates();
  auto* item = new TListItem(this);
  items_.insert(items_.begin() + index, item);
  Renumber(index);
  try {
    owner_->PushItem(item);
  } catch (...) {
    items_.erase(items_.begin() + index);
    Renumber(index);
    delete item;
    if (moving) {
      owner_->SetWindowCount();
      owner_->RestoreWindowStates(states);
    }
    throw;
  }
  if (moving) owner_->RestoreWindowStates(states);
  owner_->InsertItem(item);
  return item;
}

TListItem* TListItems::Item(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  return items_[static_cast<size_t>(index)];
}

int TListItems::IndexOf(const TListItem* item) const {
  if (!item || item->owner_ != this) return -1;
  int i = item->index_;
  return i >= 0 && i < Count() && items_[static_cast<size_t>(i)] == item ? i : -1;
}

void TListItems::Delete(int index) { Item(index)->Delete(); }

void TListItems::Remove(TListItem* item) {
  int index = IndexOf(item);
  if (index < 0) return;
  if (owner_->virtualWindow_ && owner_->HandleAllocated()) {
    std::vector<TCustomListView::TWindowState> states = owner_->WindowStates();
    std::erase_if(states, [item](const TCustomListView::TWindowState& s) { return s.Item == item; });
    items_.erase(items_.begin() + index);
    Renumber(index);
    owner_->SetWindowCount();
    owner_->RestoreWindowStates(states);
    return;
  }
  if (owner_->HandleAllocated()) {
    TCountScope op(owner_->modelOp_);
    SendMessageA(owner_->handle_, LVM_DELETEITEM, index, 0);
  }
  items_.erase(items_.begin() + index);
  Renumber(index);
}

void TListItems::Clear() {
  if (items_.empty()) return;
  std::vector<TListItem*> doomed = items_;
  for (TListItem* it : doomed) it->deleting_ = true;
  BeginUpdate();
  for (TListItem* it : doomed) owner_->Delete(it);
  if (owner_->HandleAllocated()) {
    TCountScope op(owner_->modelOp_);
    SendMessageA(owner_->handle_, LVM_DELETEALLITEMS, 0, 0);
  }
  items_.clear();
  for (TListItem* it : doomed) delete it;
  EndUpdate();
}

void TListItems::BeginUpdate() {
  if (updateCount_++ == 0 && owner_->HandleAllocated()) SendMessageA(owner_->handle_, WM_SETREDRAW, FALSE, 0);
}

void TListItems::EndUpdate() {
  if (updateCount_ == 0 || --updateCount_ > 0) return;
  owner_->SyncWindowCount();
  if (owner_->sortPending_) owner_->SortNow(nullptr, 0);
  if (owner_->HandleAllocated()) {
    SendMessageA(owner_->handle_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(owner_->handle_, nullptr, TRUE);
  }
}

// ---------------------------------------------------------------- TCustomListView

TCustomListView::TCustomListView(TComponent* owner) : TWinControl(owner) {
  columns_ = new TListColumns(this);
  items_ = new TListItems(this);
  smallLink_ = new TChangeLink;
  largeLink_ = new TChangeLink;
  stateLink_ = new TChangeLink;
  smallLink_->OnChange = {this, &TCustomListView::ImageListChange};
  largeLink_->OnChange = {this, &TCustomListView::ImageListChange};
  stateLink_->OnChange = {this, &TCustomListView::ImageListChange};
  color_ = clWindow;
  brush_->SetColor(color_);
  tabStop_ = true;
  // The window captures the mouse and reports clicks (NM_CLICK) itself.
  ControlStyle >> csCaptureMouse;
  ControlStyle >> csClickEvents;
  width_ = 250;
  height_ = 150;
}

TCustomListView::~TCustomListView() {
  Destroying();
  if (HandleAllocated()) DestroyHandle();
  delete items_;
  delete columns_;
  delete smallLink_;
  delete largeLink_;
  delete stateLink_;
}

void TCustomListView::BeforeDestruction() {
  // OnDeletion for every item while the list is whole.
  items_->Clear();
  TWinControl::BeforeDestruction();
}

void TCustomListView::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == smallImages_) SetSmallImages(nullptr);
  if (component == largeImages_) SetLargeImages(nullptr);
  if (component == stateImages_) SetStateImages(nullptr);
}

void TCustomListView::Loaded() {
  TWinControl::Loaded();
  if (sortType_ != stNone) AlphaSort();
}

// -------- window

void TCustomListView::CreateParams(TCreateParams& params) {
  InitViewClasses();
  TWinControl::CreateParams(params);
  params.WindowClass = &ControlSuperclass("TListView", WC_LISTVIEWA);
  static const DWORD views[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  params.Style |= views[viewStyle_] | LVS_SHAREIMAGELISTS;
  if (virtualWindow_) params.Style |= LVS_OWNERDATA;
  if (!multiSelect_) params.Style |= LVS_SINGLESEL;
  if (!readOnly_) params.Style |= LVS_EDITLABELS;
  if (!hideSelection_) params.Style |= LVS_SHOWSELALWAYS;
  if (!showColumnHeaders_) params.Style |= LVS_NOCOLUMNHEADER;
  if (!columnClick_) params.Style |= LVS_NOSORTHEADER;
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

DWORD TCustomListView::ExtendedStyle() const {
  DWORD s = 0;
  if (rowSelect_) s |= LVS_EX_FULLROWSELECT;
  if (gridLines_) s |= LVS_EX_GRIDLINES;
  return s;
}

void TCustomListView::ApplyColors() {
  if (!HandleAllocated()) return;
  COLORREF bk = ColorToRGB(color_);
  SendMessageA(handle_, LVM_SETBKCOLOR, 0, bk);
  SendMessageA(handle_, LVM_SETTEXTBKCOLOR, 0, bk);
  SendMessageA(handle_, LVM_SETTEXTCOLOR, 0, ColorToRGB(font_->Color()));
}

void TCustomListView::CreateWnd() {
  TWinControl::CreateWnd();
  TFlagScope quiet(suppressEvents_);
  SendMessageA(handle_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES, ExtendedStyle());
  ApplyColors();
  PushImageList(LVSIL_NORMAL);
  PushImageList(LVSIL_SMALL);
  PushImageList(LVSIL_STATE);
  PushColumns();
  int count = items_->Count();
  if (virtualWindow_) {
    SendMessageA(handle_, LVM_SETCALLBACKMASK, kCallbackStates, 0);
    SendMessageA(handle_, LVM_SETITEMCOUNT, count, LVSICF_NOSCROLL);
    countPending_ = false;
    for (TListItem* it : items_->items_)
      if (UINT state = it->state_ & kWindowStates) {
        LVITEMA lv{};
        lv.stateMask = kWindowStates;
        lv.state = state;
        SendMessageA(handle_, LVM_SETITEMSTATE, it->index_, reinterpret_cast<LPARAM>(&lv));
      }
    UpdateAutoSizeColumns();
    return;
  }
  if (count > 0 || allocBy_ > 0) SendMessageA(handle_, LVM_SETITEMCOUNT, std::max(count, allocBy_), 0);
  // Redrawn once at the end: a window that redraws adds each item in time
  // proportional to the items before it.
  SendMessageA(handle_, WM_SETREDRAW, FALSE, 0);
  for (TListItem* it : items_->items_) PushItem(it);
  // An update that began before the window goes on in it.
  if (!items_->Updating()) SendMessageA(handle_, WM_SETREDRAW, TRUE, 0);
  UpdateAutoSizeColumns();
}

void TCustomListView::PushColumns() {
  for (TListColumn* c : columns_->items_) c->Push(true);
}

void TCustomListView::PushItem(TListItem* item) {
  if (!HandleAllocated()) return;
  if (virtualWindow_) {
    // Within an items update the count goes to the window once, at its end.
    if (items_->Updating())
      countPending_ = true;
    else
      SetWindowCount();
    return;
  }
  LVITEMA lv{};
  lv.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  lv.iItem = item->index_;
  lv.pszText = LPSTR_TEXTCALLBACKA;
  lv.iImage = I_IMAGECALLBACK;
  lv.lParam = reinterpret_cast<LPARAM>(item);
  // A state given at insertion costs the window change notifications.
  if (UINT state = item->StateBits()) {
    lv.mask |= LVIF_STATE;
    lv.state = state;
    lv.stateMask = LVIS_SELECTED | LVIS_FOCUSED | LVIS_CUT | LVIS_DROPHILITED | LVIS_OVERLAYMASK | LVIS_STATEIMAGEMASK;
  }
  if (SendMessageA(handle_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lv)) != item->index_)
    throw EOutOfResources("Unable to insert an item");
  for (int k = 1; k <= item->subItems_->Count(); ++k) SetCellText(this, item->index_, k, true);
}

// The user's changes (selection, focus, column widths) go to the objects.
void TCustomListView::SaveWindowState() {
  if (!HandleAllocated()) return;
  for (TListColumn* c : columns_->items_)
    if (!c->autoSize_) c->width_ = c->Width();
  for (TListItem* it : items_->items_) it->state_ &= ~(LVIS_SELECTED | LVIS_FOCUSED);
  int n = items_->Count();
  for (int i = -1, guard = 0; guard < n; ++guard) {
    i = static_cast<int>(SendMessageA(handle_, LVM_GETNEXTITEM, i, LVNI_SELECTED));
    if (i < 0 || i >= n) break;
    items_->items_[static_cast<size_t>(i)]->state_ |= LVIS_SELECTED;
  }
  int f = static_cast<int>(SendMessageA(handle_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  if (f >= 0 && f < n) items_->items_[static_cast<size_t>(f)]->state_ |= LVIS_FOCUSED;
}

void TCustomListView::DestroyWnd() {
  if (!IsDestroying()) SaveWindowState();
  TWinControl::DestroyWnd();
}

void TCustomListView::StyleChanged() {
  if (HandleAllocated() && !IsLoading()) RecreateWnd();
}

HWND TCustomListView::HeaderHandle() const {
  if (!HandleAllocated()) return nullptr;
  return reinterpret_cast<HWND>(SendMessageA(handle_, LVM_GETHEADER, 0, 0));
}

// -------- properties

void TCustomListView::SetViewStyle(TViewStyle value) {
  if (value == viewStyle_) return;
  if (HandleAllocated() && viewStyle_ == vsReport)
    for (TListColumn* c : columns_->items_)
      if (!c->autoSize_) c->width_ = c->Width();
  viewStyle_ = value;
  if (!HandleAllocated() || IsLoading()) return;
  static const DWORD views[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  LONG_PTR style = GetWindowLongPtrA(handle_, GWL_STYLE);
  SetWindowLongPtrA(handle_, GWL_STYLE, (style & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | views[value]);
  if (value == vsReport) {
    for (TListColumn* c : columns_->items_)
      if (c->width_ >= 0) SendMessageA(handle_, LVM_SETCOLUMNWIDTH, c->Index(), MAKELPARAM(c->width_, 0));
    UpdateAutoSizeColumns();
  }
  Invalidate();
}

void TCustomListView::SetMultiSelect(bool value) {
  if (value == multiSelect_) return;
  multiSelect_ = value;
  StyleChanged();
}

void TCustomListView::SetReadOnly(bool value) {
  if (value == readOnly_) return;
  readOnly_ = value;
  StyleChanged();
}

void TCustomListView::SetHideSelection(bool value) {
  if (value == hideSelection_) return;
  hideSelection_ = value;
  StyleChanged();
}

void TCustomListView::SetShowColumnHeaders(bool value) {
  if (value == showColumnHeaders_) return;
  showColumnHeaders_ = value;
  StyleChanged();
}

void TCustomListView::SetColumnClick(bool value) {
  if (value == columnClick_) return;
  columnClick_ = value;
  StyleChanged();
}

void TCustomListView::SetRowSelect(bool value) {
  if (value == rowSelect_) return;
  rowSelect_ = value;
  if (HandleAllocated())
    SendMessageA(handle_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, ExtendedStyle());
}

void TCustomListView::SetGridLines(bool value) {
  if (value == gridLines_) return;
  gridLines_ = value;
  if (HandleAllocated()) SendMessageA(handle_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES, ExtendedStyle());
}

void TCustomListView::SetAllocBy(int value) {
  if (value < 0) value = 0;
  if (value == allocBy_) return;
  allocBy_ = value;
  if (HandleAllocated() && !virtualWindow_ && value > items_->Count()) SendMessageA(handle_, LVM_SETITEMCOUNT, value, 0);
}

void TCustomListView::SetVirtualWindow(bool value) {
  if (value == virtualWindow_) return;
  virtualWindow_ = value;
  StyleChanged();
}

void TCustomListView::SetWindowCount() {
  countPending_ = false;
  if (HandleAllocated() && virtualWindow_)
    SendMessageA(handle_, LVM_SETITEMCOUNT, items_->Count(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void TCustomListView::SyncWindowCount() const {
  if (countPending_) const_cast<TCustomListView*>(this)->SetWindowCount();
}

std::vector<TCustomListView::TWindowState> TCustomListView::WindowStates() const {
  std::vector<TWindowState> states;
  if (!HandleAllocated()) return states;
  SyncWindowCount();
  int focused = static_cast<int>(SendMessageA(handle_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  bool focusSeen = false;
  for (int i = -1; (i = static_cast<int>(SendMessageA(handle_, LVM_GETNEXTITEM, i, LVNI_SELECTED))) >= 0;) {
    TListItem* it = ItemOfIndex(i);
    if (!it) break;
    UINT state = LVIS_SELECTED;
    if (i == focused) {
      state |= LVIS_FOCUSED;
      focusSeen = true;
    }
    states.push_back({it, state});
  }
  if (!focusSeen)
    if (TListItem* it = ItemOfIndex(focused)) states.push_back({it, LVIS_FOCUSED});
  return states;
}

void TCustomListView::RestoreWindowStates(const std::vector<TWindowState>& states) {
  if (!HandleAllocated()) return;
  SyncWindowCount();
  TFlagScope quiet(suppressEvents_);
  LVITEMA none{};
  none.stateMask = kWindowStates;
  SendMessageA(handle_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
  for (const TWindowState& s : states) {
    if (items_->IndexOf(s.Item) < 0) continue;
    LVITEMA lv{};
    lv.stateMask = kWindowStates;
    lv.state = s.State;
    SendMessageA(handle_, LVM_SETITEMSTATE, s.Item->index_, reinterpret_cast<LPARAM>(&lv));
  }
  Invalidate();
}

int TCustomListView::FindCaption(const NMLVFINDITEMA& find) const {
  const LVFINDINFOA& fi = find.lvfi;
  int count = items_->Count();
  if (!(fi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !fi.psz || count == 0) return -1;
  String wanted = fi.psz;
  int start = find.iStart < 0 || find.iStart >= count ? 0 : find.iStart;
  for (int n = 0; n < count; ++n) {
    int i = start + n;
    if (i >= count) {
      if (!(fi.flags & LVFI_WRAP)) break;
      i -= count;
    }
    const String& caption = items_->items_[static_cast<size_t>(i)]->caption_;
    bool match = (fi.flags & LVFI_PARTIAL) ? caption.size() >= wanted.size() &&
                                                 AnsiSameText(caption.substr(0, wanted.size()), wanted)
                                           : AnsiSameText(caption, wanted);
    if (match) return i;
  }
  return -1;
}

void TCustomListView::ColorChanged() {
  TWinControl::ColorChanged();
  ApplyColors();
}

void TCustomListView::FontChanged() {
  TWinControl::FontChanged();
  ApplyColors();
}

// -------- image lists

void TCustomListView::SetImageList(TCustomImageList*& slot, TCustomImageList* value, int which) {
  if (slot == value) return;
  TChangeLink* link = which == LVSIL_NORMAL ? largeLink_ : which == LVSIL_SMALL ? smallLink_ : stateLink_;
  if (slot) {
    slot->UnRegisterChanges(link);
    slot->RemoveFreeNotification(this);
  }
  slot = value;
  if (value) {
    value->RegisterChanges(link);
    value->FreeNotification(this);
  }
  PushImageList(which);
}

void TCustomListView::SetSmallImages(TCustomImageList* value) { SetImageList(smallImages_, value, LVSIL_SMALL); }
void TCustomListView::SetLargeImages(TCustomImageList* value) { SetImageList(largeImages_, value, LVSIL_NORMAL); }
void TCustomListView::SetStateImages(TCustomImageList* value) { SetImageList(stateImages_, value, LVSIL_STATE); }

void TCustomListView::PushImageList(int which) {
  if (!HandleAllocated()) return;
  TCustomImageList* list = which == LVSIL_NORMAL ? largeImages_ : which == LVSIL_SMALL ? smallImages_ : stateImages_;
  HIMAGELIST h = list ? list->Handle() : nullptr;
  SendMessageA(handle_, LVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(h));
}

void TCustomListView::ImageListChange(TObject* sender) {
  if (!HandleAllocated()) return;
  if (sender == largeImages_) PushImageList(LVSIL_NORMAL);
  if (sender == smallImages_) PushImageList(LVSIL_SMALL);
  if (sender == stateImages_) PushImageList(LVSIL_STATE);
  Invalidate();
}

// -------- columns

void TCustomListView::UpdateAutoSizeColumns() {
  if (!HandleAllocated() || viewStyle_ != vsReport || sizingColumns_) return;
  int autoCount = 0, fixed = 0;
  for (TListColumn* c : columns_->items_) {
    if (c->autoSize_)
      ++autoCount;
    else
      fixed += c->Width();
  }
  if (autoCount == 0) return;
  TFlagScope sizing(sizingColumns_);
  RECT r;
  GetClientRect(handle_, &r);
  int share = std::max(static_cast<int>(r.right - r.left - fixed) / autoCount, 30);
  for (TListColumn* c : columns_->items_)
    if (c->autoSize_ && c->Width() != share) {
      SendMessageA(handle_, LVM_SETCOLUMNWIDTH, c->Index(), MAKELPARAM(share, 0));
      c->width_ = share;
    }
}

// -------- sorting

int TCustomListView::DoCompare(TListItem* item1, TListItem* item2, LPARAM data) {
  if (OnCompare) {
    int c = 0;
    OnCompare(this, item1, item2, data, c);
    return c;
  }
  return lstrcmpA(item1->caption_.c_str(), item2->caption_.c_str());
}

void TCustomListView::SortNow(TViewCompare compare, LPARAM data) {
  sortPending_ = false;
  auto& v = items_->items_;
  if (v.size() < 2) return;
  auto less = [&](TListItem* a, TListItem* b) {
    int c = compare ? compare(reinterpret_cast<LPARAM>(a), reinterpret_cast<LPARAM>(b), data) : DoCompare(a, b, data);
    return c < 0;
  };
  // Items already in order stay as they are (a stable sort keeps them so).
  if (std::is_sorted(v.begin(), v.end(), less)) return;
  // Sorted apart, so that a comparison that throws leaves the items whole.
  std::vector<TListItem*> sorted = v;
  std::stable_sort(sorted.begin(), sorted.end(), less);
  std::vector<TWindowState> states;
  if (virtualWindow_) states = WindowStates();
  v.swap(sorted);
  items_->Renumber(0);
  if (!HandleAllocated()) return;
  if (virtualWindow_)
    RestoreWindowStates(states);
  else
    SendMessageA(handle_, LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(&ByIndex));
}

void TCustomListView::SortAfterChange(TListItem* item, bool textChanged, bool dataChanged) {
  bool wanted = (textChanged && (sortType_ == stText || sortType_ == stBoth)) ||
                (dataChanged && (sortType_ == stData || sortType_ == stBoth));
  if (!wanted || IsLoading() || item->deleting_) return;
  if (items_->Updating()) {
    sortPending_ = true;
    return;
  }
  // Still in order beside its neighbours: the whole list is.
  auto& v = items_->items_;
  size_t i = static_cast<size_t>(item->index_);
  if ((i == 0 || DoCompare(v[i - 1], item, 0) <= 0) && (i + 1 >= v.size() || DoCompare(item, v[i + 1], 0) <= 0))
    return;
  SortNow(nullptr, 0);
}

void TCustomListView::SetSortType(TSortType value) {
  if (value == sortType_) return;
  sortType_ = value;
  if (value != stNone && !IsLoading()) AlphaSort();
}

bool TCustomListView::AlphaSort() { return CustomSort(nullptr, 0); }

bool TCustomListView::CustomSort(TViewCompare compare, LPARAM data) {
  if (items_->Updating() && !compare && data == 0) {
    sortPending_ = true;
    return true;
  }
  SortNow(compare, data);
  return true;
}

// -------- selection and hit tests

TListItem* TCustomListView::ItemOfIndex(int index) const {
  return index >= 0 && index < items_->Count() ? items_->items_[static_cast<size_t>(index)] : nullptr;
}

TListItem* TCustomListView::Selected() const { return GetNextItem(nullptr, sdAll, {isSelected}); }

void TCustomListView::SetSelected(TListItem* item) {
  ClearSelection();
  if (item) item->SetSelected(true);
}

TListItem* TCustomListView::ItemFocused() const { return GetNextItem(nullptr, sdAll, {isFocused}); }

void TCustomListView::SetItemFocused(TListItem* item) {
  if (item) {
    item->SetFocused(true);
  } else if (TListItem* f = ItemFocused()) {
    f->SetFocused(false);
  }
}

int TCustomListView::SelCount() const {
  SyncWindowCount();
  if (HandleAllocated()) return static_cast<int>(SendMessageA(handle_, LVM_GETSELECTEDCOUNT, 0, 0));
  int n = 0;
  for (TListItem* it : items_->items_)
    if (it->state_ & LVIS_SELECTED) ++n;
  return n;
}

TListItem* TCustomListView::GetNextItem(TListItem* start, TSearchDirection direction, TItemStates states) const {
  UINT mask = 0;
  if (states.Contains(isCut)) mask |= LVIS_CUT;
  if (states.Contains(isDropHilited)) mask |= LVIS_DROPHILITED;
  if (states.Contains(isFocused)) mask |= LVIS_FOCUSED;
  if (states.Contains(isSelected)) mask |= LVIS_SELECTED;
  int from = start ? items_->IndexOf(start) : -1;
  if (HandleAllocated()) {
    SyncWindowCount();
    static const UINT dirs[] = {LVNI_TOLEFT, LVNI_TORIGHT, LVNI_ABOVE, LVNI_BELOW, LVNI_ALL};
    UINT flags = dirs[direction];
    if (mask & LVIS_CUT) flags |= LVNI_CUT;
    if (mask & LVIS_DROPHILITED) flags |= LVNI_DROPHILITED;
    if (mask & LVIS_FOCUSED) flags |= LVNI_FOCUSED;
    if (mask & LVIS_SELECTED) flags |= LVNI_SELECTED;
    return ItemOfIndex(static_cast<int>(SendMessageA(handle_, LVM_GETNEXTITEM, static_cast<WPARAM>(from), flags)));
  }
  if (direction != sdAll && direction != sdBelow) return nullptr;
  for (int i = from + 1; i < items_->Count(); ++i) {
    TListItem* it = items_->items_[static_cast<size_t>(i)];
    if ((it->StateBits() & mask) == mask) return it;
  }
  return nullptr;
}

void TCustomListView::SelectAll() {
  if (!multiSelect_) return;
  for (TListItem* it : items_->items_) it->state_ |= LVIS_SELECTED;
  if (!HandleAllocated()) return;
  LVITEMA it{};
  it.stateMask = LVIS_SELECTED;
  it.state = LVIS_SELECTED;
  SendMessageA(handle_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&it));
}

void TCustomListView::ClearSelection() {
  for (TListItem* it : items_->items_) it->state_ &= ~LVIS_SELECTED;
  if (!HandleAllocated()) return;
  LVITEMA it{};
  it.stateMask = LVIS_SELECTED;
  SendMessageA(handle_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&it));
}

THitTests TCustomListView::GetHitTestInfoAt(int x, int y) const {
  THitTests result;
  if (!HandleAllocated()) return result;
  LVHITTESTINFO ht{};
  ht.pt = {x, y};
  SendMessageA(handle_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&ht));
  if (ht.flags & LVHT_ABOVE) result << htAbove;
  if (ht.flags & LVHT_BELOW) result << htBelow;
  if (ht.flags & LVHT_NOWHERE) result << htNowhere;
  if (ht.flags & LVHT_ONITEM) result << htOnItem;
  if (ht.flags & LVHT_ONITEMICON) result << htOnIcon;
  if (ht.flags & LVHT_ONITEMLABEL) result << htOnLabel;
  if (ht.flags & LVHT_ONITEMSTATEICON) result << htOnStateIcon;
  if (ht.flags & LVHT_TOLEFT) result << htToLeft;
  if (ht.flags & LVHT_TORIGHT) result << htToRight;
  return result;
}

TListItem* TCustomListView::GetItemAt(int x, int y) const {
  if (!HandleAllocated()) return nullptr;
  LVHITTESTINFO ht{};
  ht.pt = {x, y};
  int i = static_cast<int>(SendMessageA(handle_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&ht)));
  return (ht.flags & LVHT_ONITEM) ? ItemOfIndex(i) : nullptr;
}

TListItem* TCustomListView::TopItem() const {
  if (!HandleAllocated()) return nullptr;
  return ItemOfIndex(static_cast<int>(SendMessageA(handle_, LVM_GETTOPINDEX, 0, 0)));
}

bool TCustomListView::IsEditing() const {
  return HandleAllocated() && SendMessageA(handle_, LVM_GETEDITCONTROL, 0, 0) != 0;
}

// -------- events

bool TCustomListView::CanChange(TListItem* item, TItemChange change) {
  bool allow = true;
  if (OnChanging) OnChanging(this, item, change, allow);
  return allow;
}

void TCustomListView::Change(TListItem* item, TItemChange change) {
  if (OnChange) OnChange(this, item, change);
}

void TCustomListView::DoSelectItem(TListItem* item, bool selected) {
  if (OnSelectItem) OnSelectItem(this, item, selected);
}

bool TCustomListView::CanEdit(TListItem* item) {
  bool allow = !readOnly_;
  if (allow && OnEditing) OnEditing(this, item, allow);
  return allow;
}

void TCustomListView::Edit(const LVITEMA& item) {
  TListItem* it = ItemOfIndex(item.iItem);
  if (!it || !item.pszText) return;
  String s = item.pszText;
  if (OnEdited) OnEdited(this, it, s);
  it->SetCaption(s);
}

void TCustomListView::ColClick(TListColumn* column) {
  if (OnColumnClick) OnColumnClick(this, column);
}

void TCustomListView::Delete(TListItem* item) {
  if (OnDeletion) OnDeletion(this, item);
}

void TCustomListView::InsertItem(TListItem* item) {
  if (OnInsert) OnInsert(this, item);
}

void TCustomListView::GetImageIndex(TListItem* item) {
  if (OnGetImageIndex) OnGetImageIndex(this, item);
}

void TCustomListView::GetItemText(TListItem* item, int subItem, String& text) {
  if (OnData) OnData(this, item, subItem, text);
}

// -------- messages

namespace {
TItemChange ChangeOf(UINT changed) {
  if (changed & LVIF_TEXT) return ctText;
  if (changed & LVIF_IMAGE) return ctImage;
  return ctState;
}
}  // namespace

void TCustomListView::CNNotify(TMessage& msg) {
  auto* nm = reinterpret_cast<NMHDR*>(msg.LParam);
  msg.Result = 0;
  switch (nm->code) {
    case LVN_GETDISPINFOA: {
      auto* di = reinterpret_cast<NMLVDISPINFOA*>(nm);
      TListItem* it = ItemOfIndex(di->item.iItem);
      if (!it) return;
      int sub = di->item.iSubItem;
      if ((di->item.mask & LVIF_TEXT) && di->item.pszText && di->item.cchTextMax > 0) {
        const String* stored = &it->caption_;
        static const String empty;
        if (sub > 0) stored = sub - 1 < it->subItems_->Count() ? &it->subItems_->items_[static_cast<size_t>(sub - 1)] : &empty;
        if (OnData) {
          String text = *stored;
          GetItemText(it, sub, text);
          CopyText(text, di->item.pszText, di->item.cchTextMax);
        } else {
          CopyText(*stored, di->item.pszText, di->item.cchTextMax);
        }
      }
      if ((di->item.mask & LVIF_IMAGE) && sub == 0) {
        GetImageIndex(it);
        di->item.iImage = it->imageIndex_;
      }
      if ((di->item.mask & LVIF_STATE) && virtualWindow_) {
        UINT asked = di->item.stateMask & kCallbackStates;
        di->item.state = (di->item.state & ~asked) | (it->StateBits() & asked);
      }
      return;
    }
    case LVN_ODSTATECHANGED: {
      if (suppressEvents_) return;
      auto* od = reinterpret_cast<NMLVODSTATECHANGE*>(nm);
      Change(nullptr, ctState);
      if ((od->uOldState ^ od->uNewState) & LVIS_SELECTED)
        for (int i = od->iFrom; i <= od->iTo; ++i)
          if (TListItem* it = ItemOfIndex(i)) DoSelectItem(it, (od->uNewState & LVIS_SELECTED) != 0);
      return;
    }
    case LVN_ODFINDITEMA:
      msg.Result = FindCaption(*reinterpret_cast<NMLVFINDITEMA*>(nm));
      return;
    case LVN_ODFINDITEMW: {
      // The window may ask in UTF-16 whatever the parent's format.
      auto* fw = reinterpret_cast<NMLVFINDITEMW*>(nm);
      NMLVFINDITEMA fa{};
      fa.iStart = fw->iStart;
      fa.lvfi.flags = fw->lvfi.flags;
      String text;
      if (fw->lvfi.psz && TryWideToString(fw->lvfi.psz, -1, text)) fa.lvfi.psz = text.c_str();
      msg.Result = fa.lvfi.psz ? FindCaption(fa) : -1;
      return;
    }
    case LVN_ITEMCHANGING:
    case LVN_ITEMCHANGED: {
      if (suppressEvents_) return;
      auto* lv = reinterpret_cast<NMLISTVIEW*>(nm);
      TListItem* it = lv->iItem >= 0 ? ItemOfIndex(lv->iItem) : nullptr;
      if (lv->iItem >= 0 && (!it || it->deleting_)) return;
      TItemChange change = ChangeOf(lv->uChanged);
      if (nm->code == LVN_ITEMCHANGING) {
        msg.Result = CanChange(it, change) ? FALSE : TRUE;
        return;
      }
      Change(it, change);
      if (it && (lv->uChanged & LVIF_STATE) && ((lv->uOldState ^ lv->uNewState) & LVIS_SELECTED))
        DoSelectItem(it, (lv->uNewState & LVIS_SELECTED) != 0);
      return;
    }
    case LVN_BEGINLABELEDITA: {
      TListItem* it = ItemOfIndex(reinterpret_cast<NMLVDISPINFOA*>(nm)->item.iItem);
      msg.Result = it && CanEdit(it) ? FALSE : TRUE;
      return;
    }
    case LVN_ENDLABELEDITA:
      // The caption stays a callback: the window keeps no text of its own.
      Edit(reinterpret_cast<NMLVDISPINFOA*>(nm)->item);
      msg.Result = FALSE;
      return;
    case LVN_COLUMNCLICK: {
      int i = reinterpret_cast<NMLISTVIEW*>(nm)->iSubItem;
      if (i >= 0 && i < columns_->Count()) ColClick(columns_->items_[static_cast<size_t>(i)]);
      return;
    }
    case LVN_BEGINDRAG:
      if (DragMode() == dmAutomatic || autoDragPending_) BeginDrag(true);
      return;
    case LVN_DELETEALLITEMS:
      // The items were told already; no LVN_DELETEITEM for each.
      msg.Result = TRUE;
      return;
    case NM_CLICK:
      Click();
      return;
    default:
      TWinControl::Dispatch(msg);
  }
}

void TCustomListView::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_NOTIFY:
      CNNotify(msg);
      return;
    case WM_NOTIFY: {
      TWinControl::Dispatch(msg);
      auto* nm = reinterpret_cast<NMHDR*>(msg.LParam);
      if ((nm->code == HDN_ITEMCHANGEDA || nm->code == HDN_ITEMCHANGEDW) && nm->hwndFrom == HeaderHandle())
        UpdateAutoSizeColumns();
      return;
    }
    case WM_SIZE:
      TWinControl::Dispatch(msg);
      UpdateAutoSizeColumns();
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (dragMode_ == dmAutomatic) {
        // The window reports a drag of an item itself (LVN_BEGINDRAG); the
        // base must not start one on every press.
        struct TRestore {
          TCustomListView* lv;
          ~TRestore() {
            lv->dragMode_ = dmAutomatic;
            lv->autoDragPending_ = false;
          }
        } restore{this};
        dragMode_ = dmManual;
        autoDragPending_ = true;
        TWinControl::Dispatch(msg);
        return;
      }
      TWinControl::Dispatch(msg);
      return;
    case CM_WANTSPECIALKEY:
      // The caption editor takes Enter and Escape.
      msg.Result = IsEditing() ? 1 : 0;
      return;
    case LVM_DELETEITEM:
      if (!modelOp_) {
        TListItem* it = ItemOfIndex(static_cast<int>(msg.WParam));
        if (it) it->Delete();
        msg.Result = it != nullptr;
        return;
      }
      TWinControl::Dispatch(msg);
      return;
    case LVM_DELETEALLITEMS:
      if (!modelOp_) {
        items_->Clear();
        msg.Result = TRUE;
        return;
      }
      TWinControl::Dispatch(msg);
      return;
    default:
      TWinControl::Dispatch(msg);
  }
}
