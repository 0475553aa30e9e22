// The tree-view combo: a combo whose drop-down is a tree in a sizeable
// pop-up with a grip-and-close strip; where the combo shows as a button,
// the "Select item" dialog holds a copy of the tree.
#pragma once

#include "Dxbarcommon.h"
#include "bars/Dxbarwinitems.h"
#include "classlib/Treeview.h"

class TdxBarTreeViewCombo;

using TdxBarCanSelectNodeEvent = TEvent<TObject*, TTreeNode*, bool&>;

// The first node in pre-order whose text equals s, case ignored under the
// user's locale; nullptr when none does.
TTreeNode* dxBarFindNode(TTreeNodes* nodes, const String& s);

// The tree of the combo: its drop-down (a top-most pop-up floating off its
// parent, with its own frame) or the dialog's tree.
class TdxBarTreeView : public TTreeView {
 public:
  TdxBarTreeView(TComponent* owner, TdxBarTreeViewCombo* combo, bool popup);
  ~TdxBarTreeView() override;
  TdxBarTreeViewCombo* Combo() const { return combo_; }
  bool PopupMode() const { return popup_; }
  TdxCorner Corner() const { return corner_; }
  // Screen rectangles set by the frame painting.
  const TRect& GripRect() const { return gripRect_; }
  const TRect& CloseButtonRect() const { return closeButtonRect_; }
  bool MouseAboveCloseButton() const { return mouseAboveClose_; }
  bool CloseButtonTracking() const { return closeTracking_; }

  TTreeNode* FindNode(const String& s) const { return dxBarFindNode(Items(), s); }
  // Accepts the selected node (unless refused).
  void SaveAndHide();
  // The pop-up closed: the close button's state goes.
  void ResetCloseButton();

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& msg) override;
  void Change(TTreeNode* node) override;
  void Delete(TTreeNode* node) override;

 private:
  bool AllowResizing() const;
  void RepaintFrame();
  void SetMouseAboveClose(bool value);
  bool InCloseButton(POINT screen) const;
  void NCHitTest(TMessage& msg);
  // A click (or double click) at a client point: chooses the node on
  // whose item, icon, label or state icon it lies.
  bool NodeClicked(POINT p);

  TdxBarTreeViewCombo* combo_;
  bool popup_;
  TdxCorner corner_ = coBottomRight;
  TRect gripRect_;
  TRect closeButtonRect_;
  bool mouseAboveClose_ = false;
  bool closeTracking_ = false;
};

class TdxBarTreeViewCombo : public TCustomdxBarCombo {
 public:
  explicit TdxBarTreeViewCombo(TComponent* owner);
  ~TdxBarTreeViewCombo() override;
  DX_BAR_ITEM_CLASS();

  // The drop-down tree (nullptr once it is gone).
  TdxBarTreeView* TreeView() const { return tree_; }
  bool AllowResizing() const { return allowResizing_; }
  void SetAllowResizing(bool value) { allowResizing_ = value; }
  bool ChooseByDblClick() const { return chooseByDblClick_; }
  void SetChooseByDblClick(bool value) { chooseByDblClick_ = value; }
  bool FullExpand() const { return fullExpand_; }
  void SetFullExpand(bool value) { fullExpand_ = value; }
  bool ShowImageInEdit() const { return showImageInEdit_; }
  void SetShowImageInEdit(bool value);
  // The tree's own properties.
  int DropDownHeight() const { return tree_ ? tree_->Height() : 0; }
  void SetDropDownHeight(int value);
  int DropDownWidth() const { return tree_ ? tree_->Width() : 0; }
  void SetDropDownWidth(int value);
  TCustomImageList* Images() const { return tree_ ? tree_->Images() : nullptr; }
  void SetImages(TCustomImageList* value);
  TCustomImageList* StateImages() const { return tree_ ? tree_->StateImages() : nullptr; }
  void SetStateImages(TCustomImageList* value);
  int Indent() const { return tree_ ? tree_->Indent() : 0; }
  void SetIndent(int value) { if (tree_) tree_->SetIndent(value); }
  TTreeNodes* Items() const { return tree_ ? tree_->Items() : nullptr; }
  bool ShowButtons() const { return tree_ && tree_->ShowButtons(); }
  void SetShowButtons(bool value) { if (tree_) tree_->SetShowButtons(value); }
  bool ShowLines() const { return tree_ && tree_->ShowLines(); }
  void SetShowLines(bool value) { if (tree_) tree_->SetShowLines(value); }
  bool ShowRoot() const { return tree_ && tree_->ShowRoot(); }
  void SetShowRoot(bool value) { if (tree_) tree_->SetShowRoot(value); }
  TSortType SortType() const { return tree_ ? tree_->SortType() : stNone; }
  void SetSortType(TSortType value) { if (tree_) tree_->SetSortType(value); }
  // The tree's events.
  TTVExpandedEvent& OnExpanded() { return tree_->OnExpanded; }
  TTVExpandingEvent& OnExpanding() { return tree_->OnExpanding; }
  TTVChangingEvent& OnChanging() { return tree_->OnChanging; }
  TTVExpandedEvent& OnCollapsed() { return tree_->OnCollapsed; }
  TTVCollapsingEvent& OnCollapsing() { return tree_->OnCollapsing; }
  TTVCompareEvent& OnCompare() { return tree_->OnCompare; }
  TTVExpandedEvent& OnGetImageIndex() { return tree_->OnGetImageIndex; }
  TTVExpandedEvent& OnGetSelectedIndex() { return tree_->OnGetSelectedIndex; }
  TTVChangedEvent& OnTreeViewChange() { return tree_->OnChange; }

  TTreeNode* SelectedNode() const { return selectedNode_; }
  void SetSelectedNode(TTreeNode* node);
  virtual void DoSelectedNodeChanged();
  // The handler may refuse node.
  bool DoCanSelectNode(TTreeNode* node);
  bool HasImageInEdit() const;
  TTreeNode* FindNode(const String& s) const { return tree_ ? tree_->FindNode(s) : nullptr; }

  void SetText(const String& value) override;
  bool CheckKeyForDropDownWindow(WORD key, TShiftState shift) override;
  HWND GetDropDownWindow() override;
  void DropDown(int x, int y) override;
  void CloseUp() override;
  void DrawInterior(TCanvas* canvas, const TRect& r, TdxBarItemLink* link) override;

  TdxBarCanSelectNodeEvent OnCanSelectNode;

 protected:
  friend class TdxBarTreeView;
  void DoClick() override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void ChooseInDialog();
  TdxBarTreeView* tree_ = nullptr;
  TTreeNode* selectedNode_ = nullptr;
  String loadedText_;
  bool changingText_ = false;
  bool allowResizing_ = true;
  bool chooseByDblClick_ = true;
  bool fullExpand_ = false;
  bool showImageInEdit_ = true;
};

class TdxBarTreeViewComboControl : public TCustomdxBarComboControl {
 public:
  using TCustomdxBarComboControl::TCustomdxBarComboControl;
  DX_BAR_CONTROL_CLASS();
  int GetHeight() override;
  void SetFocused(bool value) override;
};
