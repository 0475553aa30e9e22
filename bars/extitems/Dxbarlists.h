// The list items of the extended items: the toolbars list (a sub item
// listing the manager's toolbars to show or hide), the MRU list (recently
// used texts, newest first) and the in-place sub item (a container that
// unfolds its links inside the menu that holds it).
#pragma once

#include "bars/Dxbarcontrols.h"

// ---------------------------------------------------------------- toolbars list

// Its menu is made anew at each opening from the manager's toolbars, so the
// check marks show the bars as they are; nothing opens while customizing.
class TdxBarToolbarsListItem : public TCustomdxBarSubItem {
 public:
  explicit TdxBarToolbarsListItem(TComponent* owner) : TCustomdxBarSubItem(owner) {}
  DX_BAR_ITEM_CLASS();
  bool HasDesignTimeLinks() const override { return false; }
};

class TdxBarToolbarsListItemControl : public TdxBarSubItemControl {
 public:
  using TdxBarSubItemControl::TdxBarSubItemControl;
  DX_BAR_CONTROL_CLASS();
  void CreateSubMenuControl() override;
};

// ---------------------------------------------------------------- MRU list

// The rules of the MRU list on a plain list of texts: an entry found by
// text (letter case ignored) moves to the top, a new one is put there; the
// list is then cut to max entries (0: no limit).
void dxBarMRUAdd(TStrings* items, const String& s, TObject* obj, int max);
void dxBarMRUCut(TStrings* items, int max);
// A text as the MRU list shows it: a path wider than 300 pixels on the
// screen is shortened with an ellipsis in its middle.
String dxBarMRUDisplayText(const String& s);

class TdxBarMRUListItem : public TdxBarListItem {
 public:
  explicit TdxBarMRUListItem(TComponent* owner) : TdxBarListItem(owner) {}
  DX_BAR_ITEM_CLASS();

  // 0: no limit; values below 0 are stored as 0.
  int MaxItemCount() const { return maxItemCount_; }
  void SetMaxItemCount(int value);
  // A clicked entry leaves the list once its OnClick has run.
  bool RemoveItemOnClick() const { return removeItemOnClick_; }
  void SetRemoveItemOnClick(bool value) { removeItemOnClick_ = value; }

  // S found by text (else by obj, when given) moves to the top; otherwise
  // it is put there and the list cut to MaxItemCount.
  void AddItem(const String& s, TObject* obj = nullptr);
  // Removes the entry of text s, or of obj when s is empty.
  void RemoveItem(const String& s, TObject* obj = nullptr);

  String GetDisplayText(const String& text) const override;
  void DirectClick() override;

 private:
  void CheckItemCount() { dxBarMRUCut(Items(), maxItemCount_); }
  int maxItemCount_ = 5;
  bool removeItemOnClick_ = false;
};

// ---------------------------------------------------------------- in-place sub item

class TdxBarInPlaceSubItem;
using TdxBarInPlaceSubItemEvent = TEvent<TdxBarInPlaceSubItem*, TdxBarItemLink*>;

// Inside a menu its links unfold below it (expanded) or are hidden
// (collapsed); a click, Right and Left toggle it. Elsewhere it is a
// container item.
class TdxBarInPlaceSubItem : public TdxBarContainerItem {
 public:
  explicit TdxBarInPlaceSubItem(TComponent* owner) : TdxBarContainerItem(owner) {}
  DX_BAR_ITEM_CLASS();

  bool Expanded() const { return expanded_; }
  // The menus that show the item are rebuilt with or without its links.
  void SetExpanded(bool value);
  // The link after the unfolded block begins a group while expanded.
  bool KeepBeginGroupWhileExpanded() const { return keepBeginGroupWhileExpanded_; }
  void SetKeepBeginGroupWhileExpanded(bool value) { keepBeginGroupWhileExpanded_ = value; }

  TdxBarInPlaceSubItemEvent OnAfterExpand;
  TdxBarInPlaceSubItemEvent OnBeforeCollapse;

  void AddListedItemLinks(TdxBarItemLinks* target, int index, bool first, TdxBarItemLink* ownLink) override;
  void DeleteListedItemLinks(TdxBarItemLinks* target, int index) override;
  bool HideWhenRun() const override { return false; }

 protected:
  virtual void DoAfterExpand(TdxBarItemLink* link);
  virtual void DoBeforeCollapse(TdxBarItemLink* link);

 private:
  void ChangeNextItemLinkBeginGroup(TdxBarItemLink* link, bool value);
  bool expanded_ = false;
  bool keepBeginGroupWhileExpanded_ = false;
  bool refreshing_ = false;
};

class TdxBarInPlaceSubItemControl : public TdxBarContainerItemControl {
 public:
  using TdxBarContainerItemControl::TdxBarContainerItemControl;
  DX_BAR_CONTROL_CLASS();
  TdxBarInPlaceSubItem* InPlaceSubItem() const { return dynamic_cast<TdxBarInPlaceSubItem*>(Item()); }
  bool HasSubMenu() override;
  bool IsExpandable() override;
  bool WantsKey(WORD key) override;
  void KeyDown(WORD key) override;
  void DblClick() override;
  int GetDefaultHeight() override;
  int GetDefaultWidth() override;
  void ControlClick(bool byMouse) override;
  void Paint(const TRect& r, TdxBarPaintType paintType) override;
};
