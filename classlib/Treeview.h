// The tree view: nodes with texts, images, data and lazy children, sorting,
// label editing and the application's drag, over the comctl32 tree view.
//
// The nodes live in the object (TTreeNodes) and are pushed to the window
// when it is made, so they survive RecreateWnd with their expansion and the
// selection. The window keeps each node's text; images are callbacks
// (I_IMAGECALLBACK) answered on TVN_GETDISPINFO after OnGetImageIndex and
// OnGetSelectedIndex; the node object is the item's lParam.
#pragma once

#include "Imglist.h"
#include "Viewtypes.h"

#include <vector>

class TCustomTreeView;
class TTreeNodes;

// The node state bit of the keyboard focus (TVIS_FOCUSED).
constexpr UINT kFocusedState = 0x0001;
class TTreeNode;

// Where MoveTo and the Add family put a node: after the last sibling of
// the destination, before its first, as its last or first child, or
// before it.
enum TNodeAttachMode { naAdd, naAddFirst, naAddChild, naAddChildFirst, naInsert };

using TTVChangedEvent = TEvent<TObject*, TTreeNode*>;
using TTVChangingEvent = TEvent<TObject*, TTreeNode*, bool&>;
using TTVExpandingEvent = TEvent<TObject*, TTreeNode*, bool&>;
using TTVCollapsingEvent = TEvent<TObject*, TTreeNode*, bool&>;
using TTVExpandedEvent = TEvent<TObject*, TTreeNode*>;
using TTVEditingEvent = TEvent<TObject*, TTreeNode*, bool&>;
using TTVEditedEvent = TEvent<TObject*, TTreeNode*, String&>;
using TTVCompareEvent = TEvent<TObject*, TTreeNode*, TTreeNode*, LPARAM, int&>;

class TTreeNode : public TPersistent {
 public:
  ~TTreeNode() override;

  const String& Text() const { return text_; }
  void SetText(const String& value);
  // Images shown normally and while the node is selected (0 by default);
  // the window asks for them on display.
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  int SelectedIndex() const { return selectedIndex_; }
  void SetSelectedIndex(int value);
  // Overlay image of the image list (-1: none).
  int OverlayIndex() const { return overlayIndex_; }
  void SetOverlayIndex(int value);
  // Index into the state images (-1: none).
  int StateIndex() const { return stateIndex_; }
  void SetStateIndex(int value);
  void* Data() const { return data_; }
  void SetData(void* value);
  // The expand button, with or without children yet (for filling on
  // expansion). Adding a child sets it; deleting the last one clears it.
  bool HasChildren() const { return hasChildren_; }
  void SetHasChildren(bool value);

  bool Expanded() const;
  void SetExpanded(bool value);
  void Expand(bool recurse);
  void Collapse(bool recurse);
  bool Selected() const;
  void SetSelected(bool value);
  bool Focused() const { return GetState(kFocusedState); }
  void SetFocused(bool value) { SetState(kFocusedState, value); }
  // Drawn ghosted.
  bool Cut() const { return GetState(TVIS_CUT); }
  void SetCut(bool value) { SetState(TVIS_CUT, value); }
  // Drawn as the target of a drag.
  bool DropTarget() const { return GetState(TVIS_DROPHILITED); }
  void SetDropTarget(bool value) { SetState(TVIS_DROPHILITED, value); }

  TTreeNode* Parent() const { return parent_; }
  int Count() const { return static_cast<int>(children_.size()); }
  // EListError "List index out of bounds (%d)" out of range.
  TTreeNode* Item(int index) const;
  TTreeNode* operator[](int index) const { return Item(index); }
  TTreeNode* GetFirstChild() const { return children_.empty() ? nullptr : children_.front(); }
  TTreeNode* GetLastChild() const { return children_.empty() ? nullptr : children_.back(); }
  TTreeNode* GetNextSibling() const;
  TTreeNode* GetPrevSibling() const;
  // The next and previous node in the whole tree (each node before its
  // children).
  TTreeNode* GetNext() const;
  TTreeNode* GetPrev() const;
  int Level() const;
  // Position among the siblings, and in the whole tree.
  int Index() const;
  int AbsoluteIndex() const;
  bool HasAsParent(const TTreeNode* node) const;
  TTreeNodes* Owner() const { return owner_; }
  TCustomTreeView* TreeView() const;
  // The window's item (nullptr without a window).
  HTREEITEM ItemId() const { return handle_; }

  // Moves the node (with its children) relative to destination;
  // EInvalidOperation when destination lies in its own subtree.
  void MoveTo(TTreeNode* destination, TNodeAttachMode mode);
  // Removes the node and its children (OnDeletion for each, children
  // first) and frees them.
  void Delete();
  void DeleteChildren();
  // Its rectangle in client coordinates (empty without a window or when
  // not shown).
  TRect DisplayRect(bool textOnly) const;
  // Opens the text editor (the tree gets the focus); false when refused.
  bool EditText();
  void MakeVisible();
  // Sorts the children (and theirs with recurse); equal nodes keep their
  // order. compare nullptr: OnCompare, else the texts.
  bool CustomSort(TViewCompare compare, LPARAM data, bool recurse = false);
  bool AlphaSort(bool recurse = false) { return CustomSort(nullptr, 0, recurse); }

 private:
  friend class TTreeNodes;
  friend class TCustomTreeView;
  explicit TTreeNode(TTreeNodes* owner) : owner_(owner) {}
  bool GetState(UINT mask) const;
  void SetState(UINT mask, bool value);
  UINT StateBits() const;
  void Redraw();
  void PushChildrenFlag();

  TTreeNodes* owner_;
  TTreeNode* parent_ = nullptr;
  std::vector<TTreeNode*> children_;
  HTREEITEM handle_ = nullptr;
  String text_;
  int imageIndex_ = 0;
  int selectedIndex_ = 0;
  int overlayIndex_ = -1;
  int stateIndex_ = -1;
  void* data_ = nullptr;
  bool hasChildren_ = false;
  bool expanded_ = false;
  UINT state_ = 0;  // TVIS_ bits kept while there is no window
  int rank_ = 0;    // place among the siblings while the window sorts
  bool deleting_ = false;
};

class TTreeNodes : public TPersistent {
 public:
  explicit TTreeNodes(TCustomTreeView* owner) : owner_(owner) {}
  ~TTreeNodes() override;

  // After the last sibling of sibling (nullptr: at the top level).
  TTreeNode* Add(TTreeNode* sibling, const String& text) { return AddObject(sibling, text, nullptr); }
  TTreeNode* AddObject(TTreeNode* sibling, const String& text, void* data);
  // Before the first sibling of sibling.
  TTreeNode* AddFirst(TTreeNode* sibling, const String& text) { return AddObjectFirst(sibling, text, nullptr); }
  TTreeNode* AddObjectFirst(TTreeNode* sibling, const String& text, void* data);
  // The last (first) child of parent (nullptr: the top level).
  TTreeNode* AddChild(TTreeNode* parent, const String& text) { return AddChildObject(parent, text, nullptr); }
  TTreeNode* AddChildObject(TTreeNode* parent, const String& text, void* data);
  TTreeNode* AddChildFirst(TTreeNode* parent, const String& text) { return AddChildObjectFirst(parent, text, nullptr); }
  TTreeNode* AddChildObjectFirst(TTreeNode* parent, const String& text, void* data);
  // Before sibling (nullptr: last at the top level).
  TTreeNode* Insert(TTreeNode* sibling, const String& text) { return InsertObject(sibling, text, nullptr); }
  TTreeNode* InsertObject(TTreeNode* sibling, const String& text, void* data);
  void Delete(TTreeNode* node);
  // Removes every node (OnDeletion once for each).
  void Clear();
  // Every node, at every level.
  int Count() const { return count_; }
  // The node at an absolute index (each node before its children).
  TTreeNode* Item(int index) const;
  TTreeNode* operator[](int index) const { return Item(index); }
  TTreeNode* GetFirstNode() const { return roots_.empty() ? nullptr : roots_.front(); }
  // The node of a window item (nullptr when none).
  TTreeNode* GetNode(HTREEITEM item) const;
  // Changes between the two are not drawn, and a sorted tree sorts once at
  // the end; the calls nest.
  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return updateCount_ > 0; }
  // Copies the nodes of another tree (texts, images, data, buttons).
  void Assign(TPersistent* source) override;
  TCustomTreeView* Owner() const { return owner_; }

 private:
  friend class TTreeNode;
  friend class TCustomTreeView;
  // Puts a new node into siblings (parent nullptr: the top level) at pos.
  TTreeNode* InsertNode(TTreeNode* parent, int pos, const String& text, void* data);
  std::vector<TTreeNode*>& Siblings(TTreeNode* parent) { return parent ? parent->children_ : roots_; }
  // Frees a subtree's objects (the window forgot its items already).
  void FreeTree(TTreeNode* node);
  TCustomTreeView* owner_;
  std::vector<TTreeNode*> roots_;
  int count_ = 0;
  int updateCount_ = 0;
};

class TCustomTreeView : public TWinControl {
 public:
  explicit TCustomTreeView(TComponent* owner);
  ~TCustomTreeView() override;
  void BeforeDestruction() override;

  TTreeNodes* Items() const { return items_; }
  TTreeNode* Selected() const;
  void SetSelected(TTreeNode* node);
  // The first node shown.
  TTreeNode* TopItem() const;
  void SetTopItem(TTreeNode* node);
  // The node at a client point (on its icon, label or state icon).
  TTreeNode* GetNodeAt(int x, int y) const;
  THitTests GetHitTestInfoAt(int x, int y) const;
  // The node of the last drag the window reported (nullptr once it goes).
  TTreeNode* DraggedNode() const { return draggedNode_; }
  bool IsEditing() const;
  void FullExpand();
  void FullCollapse();

  TSortType SortType() const { return sortType_; }
  void SetSortType(TSortType value);
  // Sorts the top level (and below with recurse).
  bool CustomSort(TViewCompare compare, LPARAM data, bool recurse = false);
  bool AlphaSort(bool recurse = false) { return CustomSort(nullptr, 0, recurse); }

  // No label editing.
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool value);
  // The whole row of the selected node is highlighted (without lines).
  bool RowSelect() const { return rowSelect_; }
  void SetRowSelect(bool value);
  bool ShowButtons() const { return showButtons_; }
  void SetShowButtons(bool value);
  bool ShowLines() const { return showLines_; }
  void SetShowLines(bool value);
  bool ShowRoot() const { return showRoot_; }
  void SetShowRoot(bool value);
  // A right click selects the node under the mouse.
  bool RightClickSelect() const { return rightClickSelect_; }
  void SetRightClickSelect(bool value) { rightClickSelect_ = value; }
  // Pixels a level is indented by (0: the window's default).
  int Indent() const;
  void SetIndent(int value);

  // Image lists are never destroyed by the tree; their changes are followed.
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* value);
  TCustomImageList* StateImages() const { return stateImages_; }
  void SetStateImages(TCustomImageList* value);

  TTVChangedEvent OnChange;
  TTVChangingEvent OnChanging;
  TTVExpandingEvent OnExpanding;
  TTVExpandedEvent OnExpanded;
  TTVCollapsingEvent OnCollapsing;
  TTVExpandedEvent OnCollapsed;
  TTVExpandedEvent OnDeletion;
  TTVEditingEvent OnEditing;
  TTVEditedEvent OnEdited;
  TTVExpandedEvent OnGetImageIndex;
  TTVExpandedEvent OnGetSelectedIndex;
  TTVCompareEvent OnCompare;

 protected:
  friend class TTreeNode;
  friend class TTreeNodes;

  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& msg) override;
  void ColorChanged() override;
  void FontChanged() override;
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;

  // Handlers of the window's notifications (CN_NOTIFY); a descendant may
  // take a notification before them in its Dispatch.
  virtual bool CanChange(TTreeNode* node);
  virtual void Change(TTreeNode* node);
  virtual bool CanExpand(TTreeNode* node);
  virtual void Expand(TTreeNode* node);
  virtual bool CanCollapse(TTreeNode* node);
  virtual void Collapse(TTreeNode* node);
  virtual bool CanEdit(TTreeNode* node);
  // The end of a text edit: item.pszText is nullptr when cancelled.
  virtual void Edit(const TVITEMA& item);
  // Before a node goes (Delete, Clear, destruction).
  virtual void Delete(TTreeNode* node);
  // Fire OnGetImageIndex / OnGetSelectedIndex; the window is then answered
  // with the node's ImageIndex / SelectedIndex.
  virtual void GetImageIndex(TTreeNode* node);
  virtual void GetSelectedIndex(TTreeNode* node);
  virtual int DoCompare(TTreeNode* node1, TTreeNode* node2, LPARAM data);
  // A style bit changed: recreates the window.
  void StyleChanged();

 private:
  void SetImageList(TCustomImageList*& slot, TCustomImageList* value, int which);
  void ImageListChange(TObject* sender);
  void PushImageList(int which);
  void PushNode(TTreeNode* node);
  void PushTree(TTreeNode* node);
  void ForgetHandles(TTreeNode* node);
  void SaveExpansion(TTreeNode* node);
  void ApplyExpansion(TTreeNode* node);
  void SortSiblings(TTreeNode* parent, TViewCompare compare, LPARAM data, bool recurse);
  void SortAfterChange(TTreeNode* node, bool textChanged, bool dataChanged);
  void CNNotify(TMessage& msg);
  void ApplyColors();
  void PushStyle(DWORD bit, bool on);

  TTreeNodes* items_;
  TSortType sortType_ = stNone;
  bool sortPending_ = false;
  bool readOnly_ = false;
  bool hideSelection_ = true;
  bool rowSelect_ = false;
  bool showButtons_ = true;
  bool showLines_ = true;
  bool showRoot_ = true;
  bool rightClickSelect_ = false;
  int indent_ = 0;
  TCustomImageList* images_ = nullptr;
  TCustomImageList* stateImages_ = nullptr;
  TChangeLink* imageLink_;
  TChangeLink* stateLink_;
  TTreeNode* savedSelection_ = nullptr;
  // The tree itself changes the window: its notifications and deletions
  // are not the user's.
  bool suppressEvents_ = false;
  int modelOp_ = 0;
  bool autoDragPending_ = false;
  TTreeNode* draggedNode_ = nullptr;
};

class TTreeView : public TCustomTreeView {
 public:
  using TCustomTreeView::TCustomTreeView;
};
