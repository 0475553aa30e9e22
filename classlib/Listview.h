// The list view: columns, items with sub-items and images, sorting, label
// editing and the application's drag, over the comctl32 list view.
//
// The items live in the object (TListItems) and are pushed to the window
// when it is made, so they survive RecreateWnd and exist before the window.
// The window holds every text and image as a callback (LPSTR_TEXTCALLBACK,
// I_IMAGECALLBACK) with the item object as lParam; LVN_GETDISPINFO answers
// from the items, so the window's order is always the items' order.
#pragma once

#include "Imglist.h"
#include "Viewtypes.h"

#include <vector>

class TCustomListView;
class TListItems;
class TListItem;

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TItemChange { ctText, ctImage, ctState };
enum TItemState { isNone, isCut, isDropHilited, isFocused, isSelected, isActivating };
using TItemStates = TSet<TItemState>;
enum TSearchDirection { sdLeft, sdRight, sdAbove, sdBelow, sdAll };
enum TDisplayCode { drBounds, drIcon, drLabel, drSelectBounds };

using TLVChangeEvent = TEvent<TObject*, TListItem*, TItemChange>;
using TLVChangingEvent = TEvent<TObject*, TListItem*, TItemChange, bool&>;
using TLVSelectItemEvent = TEvent<TObject*, TListItem*, bool>;
using TLVDeletedEvent = TEvent<TObject*, TListItem*>;
using TLVNotifyEvent = TEvent<TObject*, TListItem*>;
using TLVEditingEvent = TEvent<TObject*, TListItem*, bool&>;
using TLVEditedEvent = TEvent<TObject*, TListItem*, String&>;
class TListColumn;
using TLVColumnClickEvent = TEvent<TObject*, TListColumn*>;
using TLVCompareEvent = TEvent<TObject*, TListItem*, TListItem*, LPARAM, int&>;
// The text of a cell the window is about to show: text holds the stored
// caption (sub-item 0) or sub-item; the handler may give another.
using TLVDataEvent = TEvent<TObject*, TListItem*, int, String&>;

// ---------------------------------------------------------------- columns

class TListColumns;

class TListColumn : public TPersistent {
 public:
  const String& Caption() const { return caption_; }
  void SetCaption(const String& value);
  // The width in pixels; read from the window, where the user may have
  // dragged it. LVSCW_AUTOSIZE and LVSCW_AUTOSIZE_USEHEADER size it once.
  int Width() const;
  void SetWidth(int value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  // Auto-sized columns share the width the others leave free.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  int Index() const;
  TListColumns* Collection() const { return owner_; }

 private:
  friend class TListColumns;
  friend class TCustomListView;
  explicit TListColumn(TListColumns* owner) : owner_(owner) {}
  void Push(bool insert);
  TListColumns* owner_;
  String caption_;
  int width_ = 50;
  TAlignment alignment_ = taLeftJustify;
  bool autoSize_ = false;
};

class TListColumns : public TPersistent {
 public:
  explicit TListColumns(TCustomListView* owner) : owner_(owner) {}
  ~TListColumns() override;
  TListColumn* Add();
  int Count() const { return static_cast<int>(items_.size()); }
  // EListError "List index out of bounds (%d)" for an index out of range.
  TListColumn* Items(int index) const;
  TListColumn* operator[](int index) const { return Items(index); }
  void Delete(int index);
  void Clear();
  TCustomListView* Owner() const { return owner_; }

 private:
  friend class TListColumn;
  friend class TCustomListView;
  TCustomListView* owner_;
  std::vector<TListColumn*> items_;
};

// ---------------------------------------------------------------- items

// The sub-item texts of an item (columns 1 on); changes reach the window.
class TSubItems : public TStrings {
 public:
  int Count() const override { return static_cast<int>(items_.size()); }
  const String& Get(int index) const override;
  void Put(int index, const String& s) override;
  void Insert(int index, const String& s) override;
  void Delete(int index) override;
  void Clear() override;

 private:
  friend class TListItem;
  friend class TCustomListView;
  explicit TSubItems(TListItem* owner) : owner_(owner) {}
  void CheckIndex(int index) const;
  TListItem* owner_;
  std::vector<String> items_;
};

class TListItem : public TPersistent {
 public:
  ~TListItem() override;

  const String& Caption() const { return caption_; }
  void SetCaption(const String& value);
  TSubItems* SubItems() const { return subItems_; }
  // Index into the small and large image lists (0 by default). The window
  // asks for it on display (after OnGetImageIndex).
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  // Overlay image of the image list (-1: none).
  int OverlayIndex() const { return overlayIndex_; }
  void SetOverlayIndex(int value);
  // Index into the state images (-1: none).
  int StateIndex() const { return stateIndex_; }
  void SetStateIndex(int value);
  void* Data() const { return data_; }
  void SetData(void* value);

  bool Selected() const { return GetState(LVIS_SELECTED); }
  void SetSelected(bool value) { SetState(LVIS_SELECTED, value); }
  bool Focused() const { return GetState(LVIS_FOCUSED); }
  void SetFocused(bool value) { SetState(LVIS_FOCUSED, value); }
  // Drawn ghosted (a cut file, a hidden one).
  bool Cut() const { return GetState(LVIS_CUT); }
  void SetCut(bool value) { SetState(LVIS_CUT, value); }
  // Drawn as the target of a drag.
  bool DropTarget() const { return GetState(LVIS_DROPHILITED); }
  void SetDropTarget(bool value) { SetState(LVIS_DROPHILITED, value); }

  int Index() const { return index_; }
  TListItems* Owner() const { return owner_; }
  TCustomListView* ListView() const;
  // Removes the item from its list and frees it (OnDeletion first).
  void Delete();
  // Scrolls the item into view (wholly, unless partialOK).
  bool MakeVisible(bool partialOK = false);
  // Its rectangle in client coordinates (empty without a window).
  TRect DisplayRect(TDisplayCode code) const;
  // Opens the caption editor (the list gets the focus); false when refused.
  bool EditCaption();
  // Redraws the item.
  void Update();

 private:
  friend class TListItems;
  friend class TSubItems;
  friend class TCustomListView;
  explicit TListItem(TListItems* owner);
  bool GetState(UINT mask) const;
  void SetState(UINT mask, bool value);
  UINT StateBits() const;
  // The item's texts or images changed: the window redraws it, a sorted
  // list places it again.
  void Changed(bool textChanged, bool dataChanged);

  TListItems* owner_;
  String caption_;
  TSubItems* subItems_;
  int imageIndex_ = 0;
  int overlayIndex_ = -1;
  int stateIndex_ = -1;
  void* data_ = nullptr;
  UINT state_ = 0;  // LVIS_ bits, kept while there is no window
  int index_ = 0;
  bool deleting_ = false;
};

class TListItems : public TPersistent {
 public:
  explicit TListItems(TCustomListView* owner) : owner_(owner) {}
  ~TListItems() override;

  TListItem* Add();
  // Inserts before index (0..Count); EListError out of range.
  TListItem* Insert(int index);
  void Delete(int index);
  // Removes every item (OnDeletion once for each).
  void Clear();
  int Count() const { return static_cast<int>(items_.size()); }
  TListItem* Item(int index) const;
  TListItem* operator[](int index) const { return Item(index); }
  int IndexOf(const TListItem* item) const;
  // Changes between the two are not drawn, and a sorted list sorts once at
  // the end; the calls nest.
  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return updateCount_ > 0; }
  TCustomListView* Owner() const { return owner_; }

 private:
  friend class TListItem;
  friend class TCustomListView;
  void Renumber(int from);
  void Remove(TListItem* item);
  TCustomListView* owner_;
  std::vector<TListItem*> items_;
  int updateCount_ = 0;
};

// ---------------------------------------------------------------- the list view

class TCustomListView : public TWinControl {
 public:
  explicit TCustomListView(TComponent* owner);
  ~TCustomListView() override;
  void BeforeDestruction() override;

  TListColumns* Columns() const { return columns_; }
  TListItems* Items() const { return items_; }

  TViewStyle ViewStyle() const { return viewStyle_; }
  virtual void SetViewStyle(TViewStyle value);
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);
  // No label editing.
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  // The selection is not drawn while the list has no focus.
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool value);
  // The whole row of a report is selected.
  bool RowSelect() const { return rowSelect_; }
  void SetRowSelect(bool value);
  bool GridLines() const { return gridLines_; }
  void SetGridLines(bool value);
  // The column headers act as buttons (OnColumnClick).
  bool ColumnClick() const { return columnClick_; }
  void SetColumnClick(bool value);
  bool ShowColumnHeaders() const { return showColumnHeaders_; }
  void SetShowColumnHeaders(bool value);
  // Memory for that many items is allocated in advance (LVM_SETITEMCOUNT).
  int AllocBy() const { return allocBy_; }
  void SetAllocBy(int value);
  // The window keeps no items of its own (LVS_OWNERDATA): it asks for each
  // by its index, so that adding and clearing many items costs the window
  // next to nothing. It then keeps only the selection and focus, which
  // follow their items when items move; the other states are answered from
  // the items. AllocBy has no effect then.
  bool VirtualWindow() const { return virtualWindow_; }
  void SetVirtualWindow(bool value);

  // Image lists are never destroyed by the list (the window shares them);
  // their changes are followed.
  TCustomImageList* SmallImages() const { return smallImages_; }
  void SetSmallImages(TCustomImageList* value);
  TCustomImageList* LargeImages() const { return largeImages_; }
  void SetLargeImages(TCustomImageList* value);
  TCustomImageList* StateImages() const { return stateImages_; }
  void SetStateImages(TCustomImageList* value);

  TSortType SortType() const { return sortType_; }
  void SetSortType(TSortType value);
  // Sorts by OnCompare when assigned, else by caption.
  bool AlphaSort();
  // Sorts with compare (nullptr: as AlphaSort, with data handed to
  // OnCompare); equal items keep their order.
  bool CustomSort(TViewCompare compare, LPARAM data);

  // The first selected item (nullptr: none); setting it selects only it.
  TListItem* Selected() const;
  void SetSelected(TListItem* item);
  TListItem* ItemFocused() const;
  void SetItemFocused(TListItem* item);
  int SelCount() const;
  // The next item from start (nullptr: from the start) in a direction with
  // all the states asked for.
  TListItem* GetNextItem(TListItem* start, TSearchDirection direction, TItemStates states) const;
  virtual void SelectAll();
  void ClearSelection();
  // The item at a client point (on its icon, label or state icon).
  TListItem* GetItemAt(int x, int y) const;
  THitTests GetHitTestInfoAt(int x, int y) const;
  // The first item shown (report and list styles).
  TListItem* TopItem() const;
  // A caption is being edited.
  bool IsEditing() const;
  // The column header control (nullptr without a window or header).
  HWND HeaderHandle() const;

  TLVChangeEvent OnChange;
  TLVChangingEvent OnChanging;
  TLVSelectItemEvent OnSelectItem;
  TLVDeletedEvent OnDeletion;
  TLVNotifyEvent OnInsert;
  TLVEditingEvent OnEditing;
  TLVEditedEvent OnEdited;
  TLVColumnClickEvent OnColumnClick;
  TLVCompareEvent OnCompare;
  TLVNotifyEvent OnGetImageIndex;
  TLVDataEvent OnData;

 protected:
  friend class TListItem;
  friend class TListItems;
  friend class TListColumn;
  friend class TListColumns;
  friend class TSubItems;

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
  virtual bool CanChange(TListItem* item, TItemChange change);
  virtual void Change(TListItem* item, TItemChange change);
  virtual void DoSelectItem(TListItem* item, bool selected);
  virtual bool CanEdit(TListItem* item);
  // The end of a caption edit: item.pszText is nullptr when cancelled.
  virtual void Edit(const LVITEMA& item);
  virtual void ColClick(TListColumn* column);
  // Before an item goes (Delete, Clear, destruction).
  virtual void Delete(TListItem* item);
  // After an item was added.
  virtual void InsertItem(TListItem* item);
  virtual void GetImageIndex(TListItem* item);
  // The text the window shows for a cell (sub-item 0: the caption).
  virtual void GetItemText(TListItem* item, int subItem, String& text);
  virtual int DoCompare(TListItem* item1, TListItem* item2, LPARAM data);
  // A style bit of the window changed: recreates it.
  void StyleChanged();

  // The item of a window index or of an lParam from the window.
  TListItem* ItemOfIndex(int index) const;
  // Stores an item's caption without telling the window: for a text found
  // while the window asks for it (LVN_GETDISPINFO).
  static void SetCaptionQuietly(TListItem* item, const String& text) { item->caption_ = text; }
  // Hands the window the image list of LVSIL_NORMAL, LVSIL_SMALL or LVSIL_STATE.
  void PushImageList(int which);
  // Auto-sized columns take the width the others leave free.
  void UpdateAutoSizeColumns();

 private:
  void SetImageList(TCustomImageList*& slot, TCustomImageList* value, int which);
  void ImageListChange(TObject* sender);
  void PushItem(TListItem* item);
  void PushColumns();
  void SortNow(TViewCompare compare, LPARAM data);
  void SortAfterChange(TListItem* item, bool textChanged, bool dataChanged);
  void CNNotify(TMessage& msg);
  void ApplyColors();
  DWORD ExtendedStyle() const;
  void SaveWindowState();

  TListColumns* columns_;
  TListItems* items_;
  TViewStyle viewStyle_ = vsIcon;
  bool multiSelect_ = false;
  bool readOnly_ = false;
  bool hideSelection_ = true;
  bool rowSelect_ = false;
  bool gridLines_ = false;
  bool columnClick_ = true;
  bool showColumnHeaders_ = true;
  int allocBy_ = 0;
  TSortType sortType_ = stNone;
  bool sortPending_ = false;
  TCustomImageList* smallImages_ = nullptr;
  TCustomImageList* largeImages_ = nullptr;
  TCustomImageList* stateImages_ = nullptr;
  TChangeLink* smallLink_;
  TChangeLink* largeLink_;
  TChangeLink* stateLink_;
  // The list itself changes the window: its notifications and deletions are
  // not the user's.
  bool suppressEvents_ = false;
  int modelOp_ = 0;
  bool autoDragPending_ = false;
  bool sizingColumns_ = false;
  bool virtualWindow_ = false;

  // A virtual window's selected and focused items with those state bits,
  // read before items move, and given back at their new places after.
  struct TWindowState {
    TListItem* Item;
    UINT State;
  };
  std::vector<TWindowState> WindowStates() const;
  void RestoreWindowStates(const std::vector<TWindowState>& states);
  // A virtual window's item count follows the items (within an items update
  // only once it is needed, or at the update's end).
  void SetWindowCount();
  void SyncWindowCount() const;
  mutable bool countPending_ = false;
  // Answers a virtual window's type-ahead search; -1 when nothing matches.
  int FindCaption(const NMLVFINDITEMA& find) const;
};

class TListView : public TCustomListView {
 public:
  using TCustomListView::TCustomListView;
};
