#include "Treeview.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

void InitTreeClass() {
  static bool done = [] {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_TREEVIEW_CLASSES;
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)done;
}

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

void ForEach(TTreeNode* node, const std::function<void(TTreeNode*)>& f) {
  for (int i = 0; i < node->Count(); ++i) ForEach(node->Item(i), f);
  f(node);
}

}  // namespace

// ---------------------------------------------------------------- TTreeNode

TTreeNode::~TTreeNode() = default;

TCustomTreeView* TTreeNode::TreeView() const { return owner_->owner_; }

UINT TTreeNode::StateBits() const {
  UINT s = state_ & (TVIS_CUT | TVIS_DROPHILITED | kFocusedState);
  if (overlayIndex_ >= 0) s |= INDEXTOOVERLAYMASK(overlayIndex_ + 1);
  if (stateIndex_ >= 0) s |= INDEXTOSTATEIMAGEMASK(stateIndex_ + 1);
  return s;
}

bool TTreeNode::GetState(UINT mask) const {
  TCustomTreeView* tv = TreeView();
  if (handle_ && tv->HandleAllocated())
    return (SendMessageA(tv->handle_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(handle_), mask) & mask) != 0;
  return (state_ & mask) != 0;
}

namespace {
void SetItemState(TCustomTreeView* tv, HTREEITEM item, UINT mask, UINT state) {
  TVITEMA it{};
  it.mask = TVIF_STATE | TVIF_HANDLE;
  it.hItem = item;
  it.stateMask = mask;
  it.state = state;
  SendMessageA(tv->Handle(), TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
}
}  // namespace

void TTreeNode::SetState(UINT mask, bool value) {
  if (value)
    state_ |= mask;
  else
    state_ &= ~mask;
  TCustomTreeView* tv = TreeView();
  if (handle_ && tv->HandleAllocated()) SetItemState(tv, handle_, mask, value ? mask : 0);
}

void TTreeNode::Redraw() {
  TCustomTreeView* tv = TreeView();
  if (!handle_ || !tv->HandleAllocated() || owner_->Updating()) return;
  RECT r{};
  std::memcpy(&r, &handle_, sizeof handle_);
  if (SendMessageA(tv->handle_, TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&r)))
    InvalidateRect(tv->handle_, &r, TRUE);
}

void TTreeNode::SetText(const String& value) {
  if (value == text_) return;
  text_ = value;
  TCustomTreeView* tv = TreeView();
  if (handle_ && tv->HandleAllocated()) {
    TVITEMA it{};
    it.mask = TVIF_TEXT | TVIF_HANDLE;
    it.hItem = handle_;
    it.pszText = const_cast<char*>(text_.c_str());
    SendMessageA(tv->handle_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  }
  tv->SortAfterChange(this, true, false);
}

void TTreeNode::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  Redraw();
}

void TTreeNode::SetSelectedIndex(int value) {
  if (value == selectedIndex_) return;
  selectedIndex_ = value;
  Redraw();
}

void TTreeNode::SetOverlayIndex(int value) {
  if (value == overlayIndex_) return;
  overlayIndex_ = value;
  TCustomTreeView* tv = TreeView();
  if (handle_ && tv->HandleAllocated())
    SetItemState(tv, handle_, TVIS_OVERLAYMASK, value >= 0 ? INDEXTOOVERLAYMASK(value + 1) : 0);
}

void TTreeNode::SetStateIndex(int value) {
  if (value == stateIndex_) return;
  stateIndex_ = value;
  TCustomTreeView* tv = TreeView();
  if (handle_ && tv->HandleAllocated())
    SetItemState(tv, handle_, TVIS_STATEIMAGEMASK, value >= 0 ? INDEXTOSTATEIMAGEMASK(value + 1) : 0);
}

void TTreeNode::SetData(void* value) {
  if (value == data_) return;
  data_ = value;
  TreeView()->SortAfterChange(this, false, true);
}

void TTreeNode::PushChildrenFlag() {
  TCustomTreeView* tv = TreeView();
  if (!handle_ || !tv->HandleAllocated()) return;
  TVITEMA it{};
  it.mask = TVIF_CHILDREN | TVIF_HANDLE;
  it.hItem = handle_;
  it.cChildren = hasChildren_ ? 1 : 0;
  SendMessageA(tv->handle_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
}

void TTreeNode::SetHasChildren(bool value) {
  if (value == hasChildren_) return;
  hasChildren_ = value;
  PushChildrenFlag();
}

bool TTreeNode::Expanded() const {
  TCustomTreeView* tv = TreeView();
  if (handle_ && tv->HandleAllocated()) return GetState(TVIS_EXPANDED);
  return expanded_;
}

void TTreeNode::SetExpanded(bool value) {
  if (value)
    Expand(false);
  else
    Collapse(false);
}

void TTreeNode::Expand(bool recurse) {
  TCustomTreeView* tv = TreeView();
  if (handle_ && tv->HandleAllocated()) {
    SendMessageA(tv->handle_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(handle_));
    expanded_ = GetState(TVIS_EXPANDED);
  } else {
    expanded_ = true;
  }
  if (recurse)
    for (size_t i = 0; i < children_.size(); ++i) children_[i]->Expand(true);
}

void TTreeNode::Collapse(bool recurse) {
  if (recurse)
    for (TTreeNode* c : children_) c->Collapse(true);
  TCustomTreeView* tv = TreeView();
  if (handle_ && tv->HandleAllocated())
    SendMessageA(tv->handle_, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(handle_));
  expanded_ = false;
}

bool TTreeNode::Selected() const { return TreeView()->Selected() == this; }

void TTreeNode::SetSelected(bool value) {
  TCustomTreeView* tv = TreeView();
  if (value)
    tv->SetSelected(this);
  else if (Selected())
    tv->SetSelected(nullptr);
}

TTreeNode* TTreeNode::Item(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  return children_[static_cast<size_t>(index)];
}

int TTreeNode::Index() const {
  auto& sib = owner_->Siblings(parent_);
  auto it = std::find(sib.begin(), sib.end(), this);
  return it == sib.end() ? -1 : static_cast<int>(it - sib.begin());
}

TTreeNode* TTreeNode::GetNextSibling() const {
  auto& sib = owner_->Siblings(parent_);
  int i = Index();
  return i >= 0 && i + 1 < static_cast<int>(sib.size()) ? sib[static_cast<size_t>(i + 1)] : nullptr;
}

TTreeNode* TTreeNode::GetPrevSibling() const {
  auto& sib = owner_->Siblings(parent_);
  int i = Index();
  return i > 0 ? sib[static_cast<size_t>(i - 1)] : nullptr;
}

TTreeNode* TTreeNode::GetNext() const {
  if (!children_.empty()) return children_.front();
  for (const TTreeNode* n = this; n; n = n->parent_)
    if (TTreeNode* s = n->GetNextSibling()) return s;
  return nullptr;
}

TTreeNode* TTreeNode::GetPrev() const {
  TTreeNode* p = GetPrevSibling();
  if (!p) return parent_;
  while (!p->children_.empty()) p = p->children_.back();
  return p;
}

int TTreeNode::Level() const {
  int n = 0;
  for (TTreeNode* p = parent_; p; p = p->parent_) ++n;
  return n;
}

int TTreeNode::AbsoluteIndex() const {
  int n = 0;
  for (TTreeNode* p = GetPrev(); p; p = p->GetPrev()) ++n;
  return n;
}

bool TTreeNode::HasAsParent(const TTreeNode* node) const {
  if (!node) return true;
  for (TTreeNode* p = parent_; p; p = p->parent_)
    if (p == node) return true;
  return false;
}

void TTreeNode::Delete() {
  if (deleting_) return;
  TCustomTreeView* tv = TreeView();
  ForEach(this, [](TTreeNode* n) { n->deleting_ = true; });
  // Children first, while the whole subtree is still there.
  ForEach(this, [tv](TTreeNode* n) { tv->Delete(n); });
  if (handle_ && tv->HandleAllocated()) {
    TCountScope op(tv->modelOp_);
    SendMessageA(tv->handle_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(handle_));
  }
  auto& sib = owner_->Siblings(parent_);
  sib.erase(std::remove(sib.begin(), sib.end(), this), sib.end());
  if (parent_ && parent_->children_.empty() && !parent_->deleting_) {
    parent_->hasChildren_ = false;
    parent_->PushChildrenFlag();
  }
  owner_->FreeTree(this);
}

void TTreeNode::DeleteChildren() {
  std::vector<TTreeNode*> kids = children_;
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) (*it)->Delete();
}

TRect TTreeNode::DisplayRect(bool textOnly) const {
  TCustomTreeView* tv = TreeView();
  if (!handle_ || !tv->HandleAllocated()) return TRect();
  RECT r{};
  std::memcpy(&r, &handle_, sizeof handle_);
  if (!SendMessageA(tv->handle_, TVM_GETITEMRECT, textOnly, reinterpret_cast<LPARAM>(&r))) return TRect();
  return TRect(r);
}

bool TTreeNode::EditText() {
  TCustomTreeView* tv = TreeView();
  if (!handle_ || !tv->HandleAllocated()) return false;
  if (tv->CanFocus() && GetFocus() != tv->handle_) tv->SetFocus();
  return SendMessageA(tv->handle_, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(handle_)) != 0;
}

void TTreeNode::MakeVisible() {
  TCustomTreeView* tv = TreeView();
  if (handle_ && tv->HandleAllocated())
    SendMessageA(tv->handle_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(handle_));
}

bool TTreeNode::CustomSort(TViewCompare compare, LPARAM data, bool recurse) {
  TreeView()->SortSiblings(this, compare, data, recurse);
  return true;
}

void TTreeNode::MoveTo(TTreeNode* destination, TNodeAttachMode mode) {
  bool asChild = mode == naAddChild || mode == naAddChildFirst;
  TTreeNode* newParent = asChild ? destination : destination ? destination->parent_ : nullptr;
  if (destination == this || (newParent && (newParent == this || newParent->HasAsParent(this))) ||
      (destination && destination->HasAsParent(this)))
    throw EInvalidOperation("Cannot move a node into its own subtree");
  if (destination && destination->owner_ != owner_) throw EInvalidOperation("Cannot move a node to another tree");
  TCustomTreeView* tv = TreeView();
  bool window = handle_ && tv->HandleAllocated();
  TTreeNode* selected = nullptr;
  if (window) {
    TFlagScope quiet(tv->suppressEvents_);
    TTreeNode* sel = tv->Selected();
    if (sel && (sel == this || sel->HasAsParent(this))) selected = sel;
    tv->SaveExpansion(this);
    TCountScope op(tv->modelOp_);
    SendMessageA(tv->handle_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(handle_));
    tv->ForgetHandles(this);
  }
  TTreeNode* oldParent = parent_;
  auto& from = owner_->Siblings(oldParent);
  from.erase(std::remove(from.begin(), from.end(), this), from.end());
  if (oldParent && oldParent->children_.empty()) {
    oldParent->hasChildren_ = false;
    oldParent->PushChildrenFlag();
  }
  auto& to = owner_->Siblings(newParent);
  size_t pos = to.size();
  if (mode == naAddFirst || mode == naAddChildFirst) pos = 0;
  if (mode == naInsert && destination) pos = static_cast<size_t>(destination->Index());
  to.insert(to.begin() + static_cast<std::ptrdiff_t>(pos), this);
  parent_ = newParent;
  if (newParent && !newParent->hasChildren_) {
    newParent->hasChildren_ = true;
    newParent->PushChildrenFlag();
  }
  if (window) {
    TFlagScope quiet(tv->suppressEvents_);
    tv->PushTree(this);
    tv->ApplyExpansion(this);
    if (selected) SendMessageA(tv->handle_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(selected->handle_));
  }
}

// ---------------------------------------------------------------- TTreeNodes

TTreeNodes::~TTreeNodes() {
  std::vector<TTreeNode*> roots;
  roots.swap(roots_);
  for (TTreeNode* n : roots) FreeTree(n);
}

void TTreeNodes::FreeTree(TTreeNode* node) {
  for (TTreeNode* c : node->children_) FreeTree(c);
  node->children_.clear();
  if (owner_->savedSelection_ == node) owner_->savedSelection_ = nullptr;
  if (owner_->draggedNode_ == node) owner_->draggedNode_ = nullptr;
  --count_;
  delete node;
}

TTreeNode* TTreeNodes::InsertNode(TTreeNode* parent, int pos, const String& text, void* data) {
  if (parent && parent->owner_ != this) throw EInvalidOperation("The node belongs to another tree");
  auto* node = new TTreeNode(this);
  node->text_ = text;
  node->data_ = data;
  node->parent_ = parent;
  auto& sib = Siblings(parent);
  if (pos < 0 || pos > static_cast<int>(sib.size())) pos = static_cast<int>(sib.size());
  if (owner_->sortType_ != stNone && !owner_->IsLoading()) {
    if (Updating()) {
      owner_->sortPending_ = true;
    } else {
      auto at = std::upper_bound(sib.begin(), sib.end(), node,
                                 [this](TTreeNode* a, TTreeNode* b) { return owner_->DoCompare(a, b, 0) < 0; });
      pos = static_cast<int>(at - sib.begin());
    }
  }
  sib.insert(sib.begin() + pos, node);
  ++count_;
  try {
    if (parent && !parent->hasChildren_) {
      parent->hasChildren_ = true;
      parent->PushChildrenFlag();
    }
    owner_->PushNode(node);
  } catch (...) {
    sib.erase(std::remove(sib.begin(), sib.end(), node), sib.end());
    --count_;
    delete node;
    throw;
  }
  return node;
}

TTreeNode* TTreeNodes::AddObject(TTreeNode* sibling, const String& text, void* data) {
  return InsertNode(sibling ? sibling->parent_ : nullptr, -1, text, data);
}

TTreeNode* TTreeNodes::AddObjectFirst(TTreeNode* sibling, const String& text, void* data) {
  return InsertNode(sibling ? sibling->parent_ : nullptr, 0, text, data);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, const String& text, void* data) {
  return InsertNode(parent, -1, text, data);
}

TTreeNode* TTreeNodes::AddChildObjectFirst(TTreeNode* parent, const String& text, void* data) {
  return InsertNode(parent, 0, text, data);
}

TTreeNode* TTreeNodes::InsertObject(TTreeNode* sibling, const String& text, void* data) {
  if (!sibling) return InsertNode(nullptr, -1, text, data);
  return InsertNode(sibling->parent_, sibling->Index(), text, data);
}

void TTreeNodes::Delete(TTreeNode* node) {
  if (node) node->Delete();
}

void TTreeNodes::Clear() {
  if (roots_.empty()) return;
  std::vector<TTreeNode*> roots = roots_;
  for (TTreeNode* n : roots) ForEach(n, [](TTreeNode* x) { x->deleting_ = true; });
  BeginUpdate();
  for (TTreeNode* n : roots) ForEach(n, [this](TTreeNode* x) { owner_->Delete(x); });
  if (owner_->HandleAllocated()) {
    TFlagScope quiet(owner_->suppressEvents_);
    TCountScope op(owner_->modelOp_);
    SendMessageA(owner_->handle_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  }
  roots_.clear();
  for (TTreeNode* n : roots) FreeTree(n);
  EndUpdate();
}

TTreeNode* TTreeNodes::Item(int index) const {
  if (index < 0 || index >= count_) throw EListError(Format("List index out of bounds (%d)", index));
  TTreeNode* n = GetFirstNode();
  for (int i = 0; i < index && n; ++i) n = n->GetNext();
  return n;
}

TTreeNode* TTreeNodes::GetNode(HTREEITEM item) const {
  if (!item || !owner_->HandleAllocated()) return nullptr;
  TVITEMA it{};
  it.mask = TVIF_PARAM | TVIF_HANDLE;
  it.hItem = item;
  if (!SendMessageA(owner_->handle_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it))) return nullptr;
  return reinterpret_cast<TTreeNode*>(it.lParam);
}

void TTreeNodes::BeginUpdate() {
  if (updateCount_++ == 0 && owner_->HandleAllocated()) SendMessageA(owner_->handle_, WM_SETREDRAW, FALSE, 0);
}

void TTreeNodes::EndUpdate() {
  if (updateCount_ == 0 || --updateCount_ > 0) return;
  if (owner_->sortPending_) owner_->SortSiblings(nullptr, nullptr, 0, true);
  if (owner_->HandleAllocated()) {
    SendMessageA(owner_->handle_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(owner_->handle_, nullptr, TRUE);
  }
}

void TTreeNodes::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TTreeNodes*>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  if (src == this) return;
  BeginUpdate();
  Clear();
  std::function<void(TTreeNode*, TTreeNode*)> copy = [&](TTreeNode* from, TTreeNode* parent) {
    TTreeNode* n = AddChildObject(parent, from->text_, from->data_);
    n->imageIndex_ = from->imageIndex_;
    n->selectedIndex_ = from->selectedIndex_;
    n->SetOverlayIndex(from->overlayIndex_);
    n->SetStateIndex(from->stateIndex_);
    for (TTreeNode* c : from->children_) copy(c, n);
    n->SetHasChildren(from->hasChildren_);
  };
  for (TTreeNode* r : src->roots_) copy(r, nullptr);
  EndUpdate();
}

// ---------------------------------------------------------------- TCustomTreeView

TCustomTreeView::TCustomTreeView(TComponent* owner) : TWinControl(owner) {
  items_ = new TTreeNodes(this);
  imageLink_ = new TChangeLink;
  stateLink_ = new TChangeLink;
  imageLink_->OnChange = {this, &TCustomTreeView::ImageListChange};
  stateLink_->OnChange = {this, &TCustomTreeView::ImageListChange};
  color_ = clWindow;
  brush_->SetColor(color_);
  tabStop_ = true;
  // The window captures the mouse and reports clicks (NM_CLICK) itself.
  ControlStyle >> csCaptureMouse;
  ControlStyle >> csClickEvents;
  width_ = 120;
  height_ = 150;
}

TCustomTreeView::~TCustomTreeView() {
  Destroying();
  if (HandleAllocated()) DestroyHandle();
  delete items_;
  delete imageLink_;
  delete stateLink_;
}

void TCustomTreeView::BeforeDestruction() {
  // OnDeletion for every node while the tree is whole.
  items_->Clear();
  TWinControl::BeforeDestruction();
}

void TCustomTreeView::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == images_) SetImages(nullptr);
  if (component == stateImages_) SetStateImages(nullptr);
}

void TCustomTreeView::Loaded() {
  TWinControl::Loaded();
  if (sortType_ != stNone) AlphaSort(true);
}

// -------- window

void TCustomTreeView::CreateParams(TCreateParams& params) {
  InitTreeClass();
  TWinControl::CreateParams(params);
  params.WindowClass = &ControlSuperclass("TTreeView", WC_TREEVIEWA);
  if (showButtons_) params.Style |= TVS_HASBUTTONS;
  if (showLines_) params.Style |= TVS_HASLINES;
  if (showRoot_) params.Style |= TVS_LINESATROOT;
  if (!readOnly_) params.Style |= TVS_EDITLABELS;
  if (!hideSelection_) params.Style |= TVS_SHOWSELALWAYS;
  if (rowSelect_) params.Style |= TVS_FULLROWSELECT;
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomTreeView::ApplyColors() {
  if (!HandleAllocated()) return;
  SendMessageA(handle_, TVM_SETBKCOLOR, 0, ColorToRGB(color_));
  SendMessageA(handle_, TVM_SETTEXTCOLOR, 0, ColorToRGB(font_->Color()));
}

void TCustomTreeView::CreateWnd() {
  TWinControl::CreateWnd();
  TFlagScope quiet(suppressEvents_);
  ApplyColors();
  PushImageList(TVSIL_NORMAL);
  PushImageList(TVSIL_STATE);
  if (indent_ > 0) SendMessageA(handle_, TVM_SETINDENT, indent_, 0);
  SendMessageA(handle_, WM_SETREDRAW, FALSE, 0);
  for (TTreeNode* n : items_->roots_) PushTree(n);
  for (TTreeNode* n : items_->roots_) ApplyExpansion(n);
  if (savedSelection_ && savedSelection_->handle_)
    SendMessageA(handle_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(savedSelection_->handle_));
  savedSelection_ = nullptr;
  // An update that began before the window goes on in it.
  if (!items_->Updating()) SendMessageA(handle_, WM_SETREDRAW, TRUE, 0);
}

void TCustomTreeView::PushNode(TTreeNode* node) {
  if (!HandleAllocated()) return;
  HTREEITEM parent = TVI_ROOT;
  if (node->parent_) {
    parent = node->parent_->handle_;
    if (!parent) return;
  }
  auto& sib = items_->Siblings(node->parent_);
  int i = node->Index();
  TVINSERTSTRUCTA ins{};
  ins.hParent = parent;
  ins.hInsertAfter = i <= 0 ? TVI_FIRST : sib[static_cast<size_t>(i - 1)]->handle_;
  ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE | TVIF_CHILDREN;
  ins.item.pszText = const_cast<char*>(node->text_.c_str());
  ins.item.iImage = I_IMAGECALLBACK;
  ins.item.iSelectedImage = I_IMAGECALLBACK;
  ins.item.lParam = reinterpret_cast<LPARAM>(node);
  ins.item.state = node->StateBits();
  ins.item.stateMask = TVIS_CUT | TVIS_DROPHILITED | TVIS_OVERLAYMASK | TVIS_STATEIMAGEMASK;
  ins.item.cChildren = node->hasChildren_ ? 1 : 0;
  node->handle_ = reinterpret_cast<HTREEITEM>(SendMessageA(handle_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
  if (!node->handle_) throw EOutOfResources("Unable to insert a node");
}

void TCustomTreeView::PushTree(TTreeNode* node) {
  PushNode(node);
  for (TTreeNode* c : node->children_) PushTree(c);
}

void TCustomTreeView::ForgetHandles(TTreeNode* node) {
  node->handle_ = nullptr;
  for (TTreeNode* c : node->children_) ForgetHandles(c);
}

void TCustomTreeView::SaveExpansion(TTreeNode* node) {
  if (node->handle_) node->expanded_ = node->GetState(TVIS_EXPANDED);
  for (TTreeNode* c : node->children_) SaveExpansion(c);
}

void TCustomTreeView::ApplyExpansion(TTreeNode* node) {
  if (node->expanded_ && node->handle_ && !node->children_.empty()) {
    TFlagScope quiet(suppressEvents_);
    SendMessageA(handle_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node->handle_));
  }
  for (TTreeNode* c : node->children_) ApplyExpansion(c);
}

void TCustomTreeView::DestroyWnd() {
  if (HandleAllocated() && !IsDestroying()) {
    for (TTreeNode* n : items_->roots_) SaveExpansion(n);
    savedSelection_ = Selected();
  }
  TWinControl::DestroyWnd();
  for (TTreeNode* n : items_->roots_) ForgetHandles(n);
}

void TCustomTreeView::StyleChanged() {
  if (HandleAllocated() && !IsLoading()) RecreateWnd();
}

void TCustomTreeView::PushStyle(DWORD bit, bool on) {
  if (!HandleAllocated()) return;
  LONG_PTR style = GetWindowLongPtrA(handle_, GWL_STYLE);
  LONG_PTR next = on ? (style | static_cast<LONG_PTR>(bit)) : (style & ~static_cast<LONG_PTR>(bit));
  if (next != style) SetWindowLongPtrA(handle_, GWL_STYLE, next);
  Invalidate();
}

// -------- properties

void TCustomTreeView::SetReadOnly(bool value) {
  if (value == readOnly_) return;
  readOnly_ = value;
  PushStyle(TVS_EDITLABELS, !value);
}

void TCustomTreeView::SetHideSelection(bool value) {
  if (value == hideSelection_) return;
  hideSelection_ = value;
  PushStyle(TVS_SHOWSELALWAYS, !value);
}

void TCustomTreeView::SetRowSelect(bool value) {
  if (value == rowSelect_) return;
  rowSelect_ = value;
  PushStyle(TVS_FULLROWSELECT, value);
}

void TCustomTreeView::SetShowButtons(bool value) {
  if (value == showButtons_) return;
  showButtons_ = value;
  PushStyle(TVS_HASBUTTONS, value);
}

void TCustomTreeView::SetShowLines(bool value) {
  if (value == showLines_) return;
  showLines_ = value;
  PushStyle(TVS_HASLINES, value);
}

void TCustomTreeView::SetShowRoot(bool value) {
  if (value == showRoot_) return;
  showRoot_ = value;
  PushStyle(TVS_LINESATROOT, value);
}

int TCustomTreeView::Indent() const {
  if (HandleAllocated()) return static_cast<int>(SendMessageA(handle_, TVM_GETINDENT, 0, 0));
  return indent_;
}

void TCustomTreeView::SetIndent(int value) {
  if (value < 0) value = 0;
  if (value == indent_) return;
  indent_ = value;
  if (HandleAllocated() && value > 0) SendMessageA(handle_, TVM_SETINDENT, value, 0);
}

void TCustomTreeView::ColorChanged() {
  TWinControl::ColorChanged();
  ApplyColors();
}

void TCustomTreeView::FontChanged() {
  TWinControl::FontChanged();
  ApplyColors();
}

// -------- image lists

void TCustomTreeView::SetImageList(TCustomImageList*& slot, TCustomImageList* value, int which) {
  if (slot == value) return;
  TChangeLink* link = which == TVSIL_NORMAL ? imageLink_ : stateLink_;
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

void TCustomTreeView::SetImages(TCustomImageList* value) { SetImageList(images_, value, TVSIL_NORMAL); }
void TCustomTreeView::SetStateImages(TCustomImageList* value) { SetImageList(stateImages_, value, TVSIL_STATE); }

void TCustomTreeView::PushImageList(int which) {
  if (!HandleAllocated()) return;
  TCustomImageList* list = which == TVSIL_NORMAL ? images_ : stateImages_;
  SendMessageA(handle_, TVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(list ? list->Handle() : nullptr));
}

void TCustomTreeView::ImageListChange(TObject* sender) {
  if (!HandleAllocated()) return;
  if (sender == images_) PushImageList(TVSIL_NORMAL);
  if (sender == stateImages_) PushImageList(TVSIL_STATE);
  Invalidate();
}

// -------- sorting

int TCustomTreeView::DoCompare(TTreeNode* node1, TTreeNode* node2, LPARAM data) {
  if (OnCompare) {
    int c = 0;
    OnCompare(this, node1, node2, data, c);
    return c;
  }
  return lstrcmpA(node1->text_.c_str(), node2->text_.c_str());
}

void TCustomTreeView::SortSiblings(TTreeNode* parent, TViewCompare compare, LPARAM data, bool recurse) {
  if (!parent) sortPending_ = false;
  auto& sib = items_->Siblings(parent);
  if (sib.size() > 1) {
    // Sorted apart, so that a comparison that throws leaves the nodes whole.
    std::vector<TTreeNode*> sorted = sib;
    std::stable_sort(sorted.begin(), sorted.end(), [&](TTreeNode* a, TTreeNode* b) {
      int c = compare ? compare(reinterpret_cast<LPARAM>(a), reinterpret_cast<LPARAM>(b), data) : DoCompare(a, b, data);
      return c < 0;
    });
    sib.swap(sorted);
    if (HandleAllocated() && (!parent || parent->handle_)) {
      for (size_t i = 0; i < sib.size(); ++i) sib[i]->rank_ = static_cast<int>(i);
      TVSORTCB cb{};
      cb.hParent = parent ? parent->handle_ : TVI_ROOT;
      cb.lpfnCompare = +[](LPARAM a, LPARAM b, LPARAM) -> int {
        return reinterpret_cast<TTreeNode*>(a)->rank_ - reinterpret_cast<TTreeNode*>(b)->rank_;
      };
      SendMessageA(handle_, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&cb));
    }
  }
  if (recurse)
    for (size_t i = 0; i < sib.size(); ++i) SortSiblings(sib[i], compare, data, true);
}

void TCustomTreeView::SortAfterChange(TTreeNode* node, bool textChanged, bool dataChanged) {
  bool wanted = (textChanged && (sortType_ == stText || sortType_ == stBoth)) ||
                (dataChanged && (sortType_ == stData || sortType_ == stBoth));
  if (!wanted || IsLoading() || node->deleting_) return;
  if (items_->Updating()) {
    sortPending_ = true;
    return;
  }
  TTreeNode* prev = node->GetPrevSibling();
  TTreeNode* next = node->GetNextSibling();
  if ((!prev || DoCompare(prev, node, 0) <= 0) && (!next || DoCompare(node, next, 0) <= 0)) return;
  SortSiblings(node->parent_, nullptr, 0, false);
}

void TCustomTreeView::SetSortType(TSortType value) {
  if (value == sortType_) return;
  sortType_ = value;
  if (value != stNone && !IsLoading()) AlphaSort(true);
}

bool TCustomTreeView::CustomSort(TViewCompare compare, LPARAM data, bool recurse) {
  SortSiblings(nullptr, compare, data, recurse);
  return true;
}

// -------- selection and hit tests

TTreeNode* TCustomTreeView::Selected() const {
  if (!HandleAllocated()) return savedSelection_;
  auto item = reinterpret_cast<HTREEITEM>(SendMessageA(handle_, TVM_GETNEXTITEM, TVGN_CARET, 0));
  return items_->GetNode(item);
}

void TCustomTreeView::SetSelected(TTreeNode* node) {
  if (!HandleAllocated()) {
    savedSelection_ = node;
    return;
  }
  SendMessageA(handle_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node ? node->handle_ : nullptr));
}

TTreeNode* TCustomTreeView::TopItem() const {
  if (!HandleAllocated()) return items_->GetFirstNode();
  return items_->GetNode(reinterpret_cast<HTREEITEM>(SendMessageA(handle_, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0)));
}

void TCustomTreeView::SetTopItem(TTreeNode* node) {
  if (HandleAllocated() && node && node->handle_)
    SendMessageA(handle_, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(node->handle_));
}

THitTests TCustomTreeView::GetHitTestInfoAt(int x, int y) const {
  THitTests result;
  if (!HandleAllocated()) return result;
  TVHITTESTINFO ht{};
  ht.pt = {x, y};
  SendMessageA(handle_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&ht));
  if (ht.flags & TVHT_ABOVE) result << htAbove;
  if (ht.flags & TVHT_BELOW) result << htBelow;
  if (ht.flags & TVHT_NOWHERE) result << htNowhere;
  if (ht.flags & TVHT_ONITEM) result << htOnItem;
  if (ht.flags & TVHT_ONITEMBUTTON) result << htOnButton;
  if (ht.flags & TVHT_ONITEMICON) result << htOnIcon;
  if (ht.flags & TVHT_ONITEMINDENT) result << htOnIndent;
  if (ht.flags & TVHT_ONITEMLABEL) result << htOnLabel;
  if (ht.flags & TVHT_ONITEMRIGHT) result << htOnRight;
  if (ht.flags & TVHT_ONITEMSTATEICON) result << htOnStateIcon;
  if (ht.flags & TVHT_TOLEFT) result << htToLeft;
  if (ht.flags & TVHT_TORIGHT) result << htToRight;
  return result;
}

TTreeNode* TCustomTreeView::GetNodeAt(int x, int y) const {
  if (!HandleAllocated()) return nullptr;
  TVHITTESTINFO ht{};
  ht.pt = {x, y};
  SendMessageA(handle_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&ht));
  return (ht.flags & TVHT_ONITEM) ? items_->GetNode(ht.hItem) : nullptr;
}

bool TCustomTreeView::IsEditing() const {
  return HandleAllocated() && SendMessageA(handle_, TVM_GETEDITCONTROL, 0, 0) != 0;
}

void TCustomTreeView::FullExpand() {
  for (size_t i = 0; i < items_->roots_.size(); ++i) items_->roots_[i]->Expand(true);
}

void TCustomTreeView::FullCollapse() {
  for (TTreeNode* n : items_->roots_) n->Collapse(true);
}

// -------- events

bool TCustomTreeView::CanChange(TTreeNode* node) {
  bool allow = true;
  if (OnChanging) OnChanging(this, node, allow);
  return allow;
}

void TCustomTreeView::Change(TTreeNode* node) {
  if (OnChange) OnChange(this, node);
}

bool TCustomTreeView::CanExpand(TTreeNode* node) {
  bool allow = true;
  if (OnExpanding) OnExpanding(this, node, allow);
  return allow;
}

void TCustomTreeView::Expand(TTreeNode* node) {
  if (OnExpanded) OnExpanded(this, node);
}

bool TCustomTreeView::CanCollapse(TTreeNode* node) {
  bool allow = true;
  if (OnCollapsing) OnCollapsing(this, node, allow);
  return allow;
}

void TCustomTreeView::Collapse(TTreeNode* node) {
  if (OnCollapsed) OnCollapsed(this, node);
}

bool TCustomTreeView::CanEdit(TTreeNode* node) {
  bool allow = !readOnly_;
  if (allow && OnEditing) OnEditing(this, node, allow);
  return allow;
}

void TCustomTreeView::Edit(const TVITEMA& item) {
  TTreeNode* node = item.lParam ? reinterpret_cast<TTreeNode*>(item.lParam) : items_->GetNode(item.hItem);
  if (!node || !item.pszText) return;
  String s = item.pszText;
  if (OnEdited) OnEdited(this, node, s);
  node->SetText(s);
}

void TCustomTreeView::Delete(TTreeNode* node) {
  if (OnDeletion) OnDeletion(this, node);
}

void TCustomTreeView::GetImageIndex(TTreeNode* node) {
  if (OnGetImageIndex) OnGetImageIndex(this, node);
}

void TCustomTreeView::GetSelectedIndex(TTreeNode* node) {
  if (OnGetSelectedIndex) OnGetSelectedIndex(this, node);
}

// -------- messages

void TCustomTreeView::CNNotify(TMessage& msg) {
  auto* nm = reinterpret_cast<NMHDR*>(msg.LParam);
  msg.Result = 0;
  auto* tv = reinterpret_cast<NMTREEVIEWA*>(nm);
  auto nodeOf = [](LPARAM p) { return reinterpret_cast<TTreeNode*>(p); };
  switch (nm->code) {
    case TVN_GETDISPINFOA:
    case TVN_GETDISPINFOW: {
      auto* di = reinterpret_cast<NMTVDISPINFOA*>(nm);
      TTreeNode* node = nodeOf(di->item.lParam);
      if (!node) return;
      if (di->item.mask & TVIF_IMAGE) {
        GetImageIndex(node);
        di->item.iImage = node->imageIndex_;
      }
      if (di->item.mask & TVIF_SELECTEDIMAGE) {
        GetSelectedIndex(node);
        di->item.iSelectedImage = node->selectedIndex_;
      }
      return;
    }
    case TVN_SELCHANGINGA:
    case TVN_SELCHANGINGW: {
      TTreeNode* node = nodeOf(tv->itemNew.lParam);
      if (suppressEvents_ || (node && node->deleting_)) return;
      msg.Result = CanChange(node) ? FALSE : TRUE;
      return;
    }
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW: {
      TTreeNode* node = nodeOf(tv->itemNew.lParam);
      if (suppressEvents_ || (node && node->deleting_)) return;
      Change(node);
      return;
    }
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW: {
      TTreeNode* node = nodeOf(tv->itemNew.lParam);
      if (suppressEvents_ || !node || node->deleting_) return;
      bool allow = (tv->action & 0x0003) == TVE_COLLAPSE ? CanCollapse(node) : CanExpand(node);
      msg.Result = allow ? FALSE : TRUE;
      return;
    }
    case TVN_ITEMEXPANDEDA:
    case TVN_ITEMEXPANDEDW: {
      TTreeNode* node = nodeOf(tv->itemNew.lParam);
      if (!node || node->deleting_) return;
      node->expanded_ = (tv->itemNew.state & TVIS_EXPANDED) != 0;
      if (suppressEvents_) return;
      if ((tv->action & 0x0003) == TVE_COLLAPSE)
        Collapse(node);
      else
        Expand(node);
      return;
    }
    case TVN_BEGINLABELEDITA: {
      TTreeNode* node = nodeOf(reinterpret_cast<NMTVDISPINFOA*>(nm)->item.lParam);
      msg.Result = node && CanEdit(node) ? FALSE : TRUE;
      return;
    }
    case TVN_ENDLABELEDITA:
      // The new text is set by Edit; the window does not take it again.
      Edit(reinterpret_cast<NMTVDISPINFOA*>(nm)->item);
      msg.Result = FALSE;
      return;
    case TVN_BEGINDRAGA:
    case TVN_BEGINDRAGW:
      // The item's handle lies at the same place in both forms.
      draggedNode_ = Items()->GetNode(tv->itemNew.hItem);
      if (DragMode() == dmAutomatic || autoDragPending_) BeginDrag(true);
      return;
    case TVN_DELETEITEMA:
    case TVN_DELETEITEMW:
      // The nodes go through their own Delete; the window follows.
      return;
    case NM_CLICK:
      Click();
      return;
    case NM_RCLICK:
      if (rightClickSelect_) {
        POINT p;
        GetCursorPos(&p);
        ::ScreenToClient(handle_, &p);
        if (TTreeNode* node = GetNodeAt(p.x, p.y)) SetSelected(node);
      }
      return;
    default:
      TWinControl::Dispatch(msg);
  }
}

void TCustomTreeView::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_NOTIFY:
      CNNotify(msg);
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (dragMode_ == dmAutomatic) {
        // The window reports a drag of a node itself (TVN_BEGINDRAG); the
        // base must not start one on every press.
        struct TRestore {
          TCustomTreeView* tv;
          ~TRestore() {
            tv->dragMode_ = dmAutomatic;
            tv->autoDragPending_ = false;
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
      // The text editor takes Enter and Escape.
      msg.Result = IsEditing() ? 1 : 0;
      return;
    case TVM_DELETEITEM:
      if (!modelOp_) {
        auto item = reinterpret_cast<HTREEITEM>(msg.LParam);
        if (!item || item == TVI_ROOT) {
          items_->Clear();
          msg.Result = TRUE;
        } else {
          TTreeNode* node = items_->GetNode(item);
          if (node) node->Delete();
          msg.Result = node != nullptr;
        }
        return;
      }
      TWinControl::Dispatch(msg);
      return;
    default:
      TWinControl::Dispatch(msg);
  }
}
