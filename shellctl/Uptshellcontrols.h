// The shell list and the shell tree: a list view of one shell folder's
// contents and a tree view of the shell namespace below a base folder, kept
// up to date through change notifications and device changes, and in step
// with each other (and with a linked shell combo).
//
// The list fills from the folder's enumeration, takes its columns from the
// folder's details provider (or four default columns), sorts with the
// folder's own comparison, filters files by wildcard patterns and refreshes
// only what appeared or vanished. The tree fills each node when it is first
// expanded, watches every local drive and follows the list's folder.
//
// Their one-shot timers run on a clock that tests replace (SetPTShClock).
#pragma once

#include <functional>
#include <memory>
#include <unordered_set>

#include "classlib/Forms.h"
#include "shellctl/Uptshdragdrop.h"
#include "shellctl/Uptshnotify.h"
#include "shellctl/Upttreelist.h"

class TPTCustomShellList;
class TPTCustomShellTree;

// The shell controls' own messages besides AM_CHANGENOTIFY (1125).
constexpr UINT AM_DEFERREDEDIT = WM_USER + 102;  // 1126: edit the caption of a new folder
constexpr UINT AM_DEFERREDFILL = WM_USER + 103;  // 1127: the first fill, once the window is up
// Asks the list for the IShellBrowser of the process's shell (0: none).
constexpr UINT WM_GETISHELLBROWSER = WM_USER + 7;  // 1031

// The longest name a rename hands to the shell, in characters.
constexpr int kPTShMaxNameLength = MAX_PATH;

// ---------------------------------------------------------------- timers

class TPTShTimer;

// Time for the shell controls: the tick count and one-shot timers. The
// system's runs the timers on a hidden window's WM_TIMER.
class TPTShClock {
 public:
  virtual ~TPTShClock() = default;
  virtual DWORD TickCount();
  // Arms timer to fire once after ms (again from now when it is armed).
  virtual void Start(TPTShTimer* timer, UINT ms);
  virtual void Stop(TPTShTimer* timer);
};
TPTShClock* PTShClock();
// Installs clock (nullptr: the system's) and returns the one it replaces.
// Timers armed before keep their clock until they stop.
TPTShClock* SetPTShClock(TPTShClock* clock);

// A one-shot timer; Tag tells its owner what is due.
class TPTShTimer : public TObject {
 public:
  TPTShTimer() = default;
  ~TPTShTimer() override;
  // Arms the timer through the clock in use now.
  void Start(UINT ms);
  void Stop();
  bool Enabled() const { return clock_ != nullptr; }
  // The time of the last Start.
  UINT Interval() const { return interval_; }
  intptr_t Tag = 0;
  TNotifyEvent OnTimer;
  // The clock's call when the time is up: disarms, then OnTimer.
  void Fire();

 private:
  TPTShClock* clock_ = nullptr;
  UINT interval_ = 0;
};

// ---------------------------------------------------------------- the details provider

// Where the list gets a folder's details provider (ShellGetFolderDetails by
// default); a provider that answers none gives the four default columns.
using TPTShDetailsProvider = std::function<TComPtr<IShellDetails>(IShellFolder* folder)>;
// nullptr: ShellGetFolderDetails again.
void SetPTShDetailsProvider(TPTShDetailsProvider provider);
TComPtr<IShellDetails> PTShFolderDetails(IShellFolder* folder);

// The column widths every shell list saves and restores (a 4-byte count,
// then one 4-byte width per column, little-endian), process-wide.
TMemoryStream* PTShColumnStateStream();
// The registry value that gives the widths of the default columns, and the
// built-in value used without it (200, 60, 100, 120, 50).
constexpr char kDirectoryColsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
constexpr char kDirectoryColsValue[] = "DirectoryCols";

// ---------------------------------------------------------------- the combo link

// What the list and the tree ask of a linked shell combo (the combo
// implements it).
class TPTShellComboLink {
 public:
  // The combo as a component, for the free notifications.
  virtual TComponent* ComboComponent() = 0;
  virtual TPTShellLocator* GetSelectedFolder() = 0;
  virtual void GoUp(int levels) = 0;
  virtual void Synchronize(bool all) = 0;
  // The linked tree's selection changed to node.
  virtual void TreeChanged(TTreeNode* node) = 0;

 protected:
  ~TPTShellComboLink() = default;
};

// ---------------------------------------------------------------- events

// May veto an item or node: clear allowAdd.
using TPTShAddItemEvent =
    TEvent<TObject*, IShellFolder* /*parent*/, LPCITEMIDLIST /*parentAbs*/, LPCITEMIDLIST /*itemRel*/, SFGAOF, bool&>;
using TPTShListDeleteItemEvent = TEvent<TObject*, TListItem*, TPTShListData*>;
using TPTShTreeDeleteItemEvent = TEvent<TObject*, TTreeNode*, TPTShTreeData*>;
using TPTShTreeInsertItemEvent = TEvent<TObject*, TTreeNode*>;
using TPTShPopupHintEvent = TEvent<TObject*, const String&>;
using TPTShDblClickOpenEvent = TEvent<TObject*, bool&>;
using TPTShLvCustomDrawEvent = TEvent<TObject*, TPTCustomDraw*, TListItem*, TPTShListData*>;
using TPTShTvCustomDrawEvent = TEvent<TObject*, TPTCustomDraw*, TTreeNode*, TPTShTreeData*>;

// ---------------------------------------------------------------- the list

enum TPTShellListOption {
  ptsloAutoFill, ptsloNonFilesystemAncestors, ptsloDesignInteractive, ptsloDefaultKeyHandling,
  ptsloContextMenus, ptsloDontChangeFolder, ptsloDontGoBelowBase, ptsloDynamicRefresh,
  ptsloHideFoldersWhenLinkedToTree, ptsloOleDrag, ptsloOleDrop, ptsloFolderContextMenu, ptsloShowHidden,
};
using TPTShellListOptions = TSet<TPTShellListOption>;
inline const TPTShellListOptions kPTShellListDefaultOptions = {
    ptsloAutoFill,     ptsloNonFilesystemAncestors, ptsloDefaultKeyHandling, ptsloContextMenus, ptsloDynamicRefresh,
    ptsloOleDrag,      ptsloOleDrop,                ptsloFolderContextMenu,  ptsloShowHidden};

class TPTCustomShellList : public TPTCustomListView, public TPTShListOwner, public TPTDropTargetHandler {
 public:
  explicit TPTCustomShellList(TComponent* owner);
  ~TPTCustomShellList() override;

  TPTShellListOptions Options() const { return options_; }
  void SetOptions(TPTShellListOptions value);
  // The folder shown; its change refills the list.
  TPTShellLocator* Folder() const { return folder_.get(); }
  // Wildcard patterns separated by ";" ("" or "*" or "*.*": every file).
  const String& FileFilter() const { return fileFilter_; }
  void SetFileFilter(const String& value);
  TPTCustomShellTree* ShellTree() const { return shellTree_; }
  void SetShellTree(TPTCustomShellTree* tree);
  TPTShellComboLink* ShellCombo() const { return shellCombo_; }
  void SetShellCombo(TPTShellComboLink* combo);
  // 0 unsorted (caption order), +n ascending by column n (from 1), -n
  // descending.
  int SortColumn() const { return sortColumn_; }
  void SetSortColumn(int value);

  // Re-reads the folder keeping the items that are still there (a full
  // fill without items); only marks itself pending while busy or editing.
  void RefreshItems();
  void FillItems();
  // The data of item index; EInvalidCast for an item without shell data.
  TPTShListData* GetShListData(int index);
  // The item's shell data; nullptr for none.
  TPTShListData* ItemData(TListItem* item) const;
  void SelectAll() override;
  TPTShListData* GetSelectedItem();
  // Selected items that carry shell data.
  int ShellSelCount();
  void Synchronize(bool all);
  // The linked tree's selection changed.
  void TreeChanged(TTreeNode* node);
  bool IsFolderNetworkShare();
  // The selected items with shell data, in selection order, as "Shell
  // IDList Array" and CF_HDROP (no formats when there are none).
  TComPtr<IDataObject> CreateDataObject();

  // ---- what the user does with the items
  // Makes "New Folder" (or the next free name) in the folder shown, with
  // its caption opened for editing when edit is set. False, with nothing
  // made, in a folder without a file-system path or when it cannot be made.
  bool CreateNewFolder(bool edit);
  // The folder levels up: through the linked tree, else the linked combo,
  // else Folder itself.
  void GoUp(int levels);
  // A folder (or a shortcut to one) is shown; anything else goes to
  // OnDblClickOpen, then to the default entry of its shell menu.
  void OpenItem(TListItem* item);
  void OpenSelectedItems();
  // The shell's context menu of the item, or of the selection, at a screen
  // point; the list is busy while it is up.
  void ProcessMenu(TListItem* item, const TPoint& screenPos);
  void ProcessMenuForAllSelected(const TPoint& screenPos);
  // Drops the selection on entry index of the Send To list.
  void ProcessSendTo(int index);
  // Runs a shell verb ("copy", "delete") on one item or on the selection.
  void DoCommandForItem(TListItem* item, const String& verb);
  void DoCommandForAllSelected(const String& verb);
  // Runs a verb ("paste") on the folder shown, through its background menu;
  // a verb the menu lacks does nothing. Raises when there is no menu.
  void DoCommandForFolder(const String& verb);
  // The folder's GetUIObjectOf over the item (E_INVALIDARG without data)
  // or the selected items with data (E_FAIL for none).
  HRESULT GetUIObjectForItem(TListItem* item, REFIID iid, void** out);
  HRESULT GetUIObjectForAllSelected(REFIID iid, void** out);
  // DROPEFFECT_COPY, MOVE and LINK the items allow (0 for none).
  DWORD GetDragDropAttributesForItem(TListItem* item);
  DWORD GetDragDropAttributesForAllSelected();
  // The context menu that is up (nullptr: none).
  IContextMenu* MenuHandler() const { return menuHandler_.Get(); }
  // The name of a new folder whose caption is to be edited.
  const String& PendingEditName() const { return pendingEditName_; }

  // TPTShListOwner: the folder shown.
  LPCITEMIDLIST FolderIdList() override { return folderIdList_.get(); }
  IShellFolder* FolderShf() override { return folderShf_.Get(); }
  IShellDetails* FolderDetails() override;

  // State the interaction and the tests read.
  bool Busy() const { return busy_; }
  void SetBusy(bool value) { busy_ = value; }
  bool RefreshPending() const { return refreshPending_; }
  void SetRefreshPending(bool value) { refreshPending_ = value; }
  bool SkipNextChange() const { return skipNextChange_; }
  void SetSkipNextChange(bool value) { skipNextChange_ = value; }
  // 0 none yet, 1 from the details provider, 2 the four defaults.
  int ColumnSource() const { return columnSource_; }
  bool FileSystemColumns() const { return fileSystemColumns_; }
  TPTShTimer* RefreshTimer() const { return refreshTimer_.get(); }
  TChangeHandlerThread* ChangeThread() const { return changeThread_; }
  // The registered drop target (nullptr when none).
  TPTForwardingDropTarget* DropTarget() const { return dropTarget_; }

  TPTShAddItemEvent OnAddItem;
  TPTShListDeleteItemEvent OnDeleteItem;
  TPTShPopupHintEvent OnPopupHint;
  TPTShDblClickOpenEvent OnDblClickOpen;
  TPTShLvCustomDrawEvent OnCustomDrawSh;
  TPTShLvCustomDrawEvent OnCustomDrawShEx;
  TNotifyEvent OnFillStart;
  TNotifyEvent OnFillComplete;
  TNotifyEvent OnFolderChanged;

  // TPTDropTargetHandler: drops go to the shell's drop target of the item
  // under the point, else of the folder shown.
  HRESULT OnDropTarget_DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD& effect) override;
  HRESULT OnDropTarget_DragOver(DWORD keyState, POINTL pt, DWORD& effect) override;
  HRESULT OnDropTarget_DragLeave() override;
  HRESULT OnDropTarget_Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD& effect) override;
  // The item highlighted under a drag (nullptr: none).
  TListItem* DropItem() const { return dropItem_; }
  // The selection is being dragged out of the list.
  bool Dragging() const { return dragging_; }

 protected:
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& msg) override;
  TPTCustomDraw* PTCustomDraw(const NMCUSTOMDRAW& record, LRESULT& result) override;
  void Delete(TListItem* item) override;
  void ColClick(TListColumn* column) override;
  void InsertItem(TListItem* item) override;
  // A shell item's caption is edited as its name for editing, and the end
  // of the edit renames it.
  bool CanEdit(TListItem* item) override;
  void Edit(const LVITEMA& item) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  bool DoMouseWheel(TShiftState shift, int delta, TPoint mousePos) override;
  void ItemContextMenu(TListItem* item, TPoint& pos, TPopupMenu*& menu) override;
  // OnDblClickOpen; true when opening goes on.
  virtual bool DblClickOpen();

  virtual bool CanAdd(IShellFolder* folder, LPCITEMIDLIST parentAbs, SFGAOF attributes, LPCITEMIDLIST itemRel);
  virtual void DeviceChangeDetected(TObject* sender, TMessage& msg);
  virtual void FillList(IShellFolder* folder, LPCITEMIDLIST idList);
  virtual void FilterPreApply();
  virtual bool FilterApply(const String& name, SFGAOF attributes);
  virtual void FilterPostApply();
  virtual void FillStart();
  virtual void FillComplete();
  virtual void FolderChanged();
  virtual void InstallChangeHandler();
  virtual void PTCustomDrawSh(TPTCustomDraw* cd, TListItem* item, TPTShListData* data);
  // The attributes asked (0 when the folder cannot answer) and whether the
  // item is listed.
  virtual bool ShouldInclude(LPCITEMIDLIST parentIdList, LPCITEMIDLIST itemRel, SFGAOF& attributes);
  // Drags the selection out with button; the list is busy meanwhile and
  // a change seen during the drag is refreshed once it ends.
  virtual void OleBeginDrag(TMouseButton button);
  virtual TComPtr<IDropSource> CreateIDropSource(TMouseButton button, IDataObject* data);
  void InitColumns(IShellDetails* details);
  void SortList();

 private:
  friend class TPTCustomShellTree;
  void HandleOnFolderChanged(TObject* sender);
  void RefreshTimerElapsed(TObject* sender);
  void AMChangeNotify();
  void DisplayInfo(NMLVDISPINFOA& info);
  // Adds one list item for an enumerated item (the data takes relPidl), or
  // frees it when it is not listed.
  void AddNewShellItem(TPidl relPidl);
  void AddFetched(TPTShListData* data);
  // The enumeration flags of fills and refreshes.
  SHCONTF EnumFlags() const;
  void SaveColumnWidths();
  bool RestoreColumnWidths();
  void RegisterDropTarget();
  void RevokeDropTarget();
  // The window goes: widths saved, the change thread freed, the drop
  // target revoked and detached.
  void WindowGoing();
  void DefaultColumns();
  // Rebuilding the columns: the one at index when there is one, else a new
  // one; then the ones from count on go.
  TListColumn* ReuseColumn(int index);
  void DropColumnsFrom(int count);
  // Interaction.
  std::vector<TPTShListData*> SelectedData();
  // A refresh or fill must wait: busy, or a caption edit still open.
  bool MustWait() const;
  void AMDeferredEdit();
  // Shows pidl: through the linked tree, else the combo, else Folder.
  void ChangeFolder(LPCITEMIDLIST pidl);
  // The menu up at screenPos; renameItem is edited for its rename command.
  void RunMenu(IContextMenu* menu, HMENU popup, const TPoint& screenPos, TListItem* renameItem);
  void InvokeDefault(const std::vector<TPTShListData*>& items);
  void MenuMessage(TMessage& msg);
  void ScrollByWheel(int delta);
  // The drop target of the folder shown (nullptr: none).
  TComPtr<IDropTarget> FolderDropTarget();
  struct TDropAt {
    TComPtr<IDropTarget> Target;
    TListItem* Item = nullptr;  // highlighted for the target
    bool Fixed = false;         // no target: Effect holds
    DWORD Effect = DROPEFFECT_NONE;
    bool OwnEmptyArea = false;  // the empty area while this list drags
  };
  TDropAt DropAt(POINTL pt, DWORD keyState);
  // The effect the drop target at pt offers for the remembered data.
  DWORD AskDropEffect(TDropAt& at, DWORD keyState, POINTL pt, DWORD allowed, bool over);
  void SetDropItem(TListItem* item);
  void DropScroll(POINTL pt);
  void DropDone();

  TPTShellListOptions options_ = kPTShellListDefaultOptions;
  std::unique_ptr<TPTShellLocator> folder_;
  String fileFilter_;
  std::unique_ptr<TStringList> patterns_;
  std::unique_ptr<TStringList> matchSet_;
  TPTCustomShellTree* shellTree_ = nullptr;
  TPTShellComboLink* shellCombo_ = nullptr;
  TComPtr<IShellFolder> folderShf_;
  TPidl folderIdList_;
  bool detailsQueried_ = false;
  TComPtr<IShellDetails> details_;
  int columnSource_ = 0;
  bool fileSystemColumns_ = false;
  int sortColumn_ = 1;
  bool sortColumnSetInClick_ = false;
  std::unique_ptr<TPTShTimer> refreshTimer_;
  TChangeHandlerThread* changeThread_ = nullptr;
  int syncDepth_ = 0;
  bool skipNextChange_ = false;
  bool busy_ = false;
  bool refreshPending_ = false;
  // The hand-over from the fill to InsertItem.
  TPTShListData* pendingData_ = nullptr;
  SFGAOF pendingAttribs_ = 0;
  IShellDetails* pendingDetails_ = nullptr;
  std::unordered_set<TPTShListData*> data_;
  TPTForwardingDropTarget* dropTarget_ = nullptr;
  TOwned<TImageList> smallImages_;
  TOwned<TImageList> largeImages_;
  bool inCreateWnd_ = false;
  bool inDestroyWnd_ = false;
  bool loaded_ = false;
  // Interaction.
  String pendingEditName_;
  TComPtr<IContextMenu> menuHandler_;
  // The caption edit is ending (its notification runs).
  bool endingEdit_ = false;
  // Drag and drop.
  bool dragging_ = false;
  // Set while a drag out runs: the right button's release gets the window's
  // own handling, not the item menu.
  bool rightDragMark_ = false;
  TComPtr<IDataObject> dropData_;
  DWORD dropKeys_ = 0;
  TListItem* dropItem_ = nullptr;
  DWORD scrollTime_ = 0;
};

class TPTShellList : public TPTCustomShellList {
 public:
  using TPTCustomShellList::TPTCustomShellList;
};

// ---------------------------------------------------------------- the tree

enum TPTShellTreeOption {
  ptstoAutoFill, ptstoVirtualFolders, ptstoDesignInteractive, ptstoDefaultKeyHandling, ptstoContextMenus,
  ptstoDynamicRefresh, ptstoIncludeNonFolders, ptstoOleDrag, ptstoOleDrop, ptstoShowHidden,
};
using TPTShellTreeOptions = TSet<TPTShellTreeOption>;
inline const TPTShellTreeOptions kPTShellTreeDefaultOptions = {
    ptstoAutoFill,       ptstoVirtualFolders, ptstoDefaultKeyHandling, ptstoContextMenus,
    ptstoDynamicRefresh, ptstoOleDrag,        ptstoOleDrop,            ptstoShowHidden};

class TPTCustomShellTree : public TPTCustomTreeView, public TPTDropTargetHandler {
 public:
  explicit TPTCustomShellTree(TComponent* owner);
  ~TPTCustomShellTree() override;

  TPTShellTreeOptions Options() const { return options_; }
  void SetOptions(TPTShellTreeOptions value);
  // The root (no PIDL: the desktop); its change refills the tree.
  TPTShellLocator* BaseFolder() const { return baseFolder_.get(); }
  void SetBaseFolder(TPTShellLocator* value);
  // The folder of the selected node; its change selects that folder.
  TPTShellLocator* SelectedFolder() const { return selectedFolder_.get(); }
  void SetSelectedFolder(TPTShellLocator* value);
  TPTCustomShellList* ShellList() const { return shellList_; }
  void SetShellList(TPTCustomShellList* list);
  TPTShellComboLink* ShellCombo() const { return shellCombo_; }
  void SetShellCombo(TPTShellComboLink* combo);

  // The file-system path of the selected node ("" for none).
  String GetSelectedPathName();
  // Selects the folder of path, expanding the way there.
  void SetSelectedPathName(const String& path);
  void RefreshNodes();
  void FillItems();
  // Up to levels parents of the selected node (stopping at the top).
  void GoUp(int levels);
  TPTShTreeData* GetSelectedItem();
  // The data of the node at absolute index (nullptr without shell data).
  TPTShTreeData* GetShTreeData(int index);
  TPTShTreeData* NodeData(TTreeNode* node) const;
  TTreeNode* GetFirstRootLevelShellNode();
  // parent nullptr: the first top-level node with data; otherwise parent's
  // child whose relative PIDL its folder compares equal to rel.
  TTreeNode* FindNodeWithIdList(TTreeNode* parent, LPCITEMIDLIST rel);
  void DoSetSelectedIdList(LPCITEMIDLIST idList);
  void Synchronize(bool all);
  // The top-level form's window; none while shell calls must show no UI.
  HWND GetParentHWND();
  // Sorts node's children (the top level for nullptr) by their folder.
  void SortNode(TTreeNode* node);

  // ---- what the user does with the nodes
  // Makes "New Folder" (or the next free name) in the selected folder and
  // shows it below the selected node, its text opened for editing when
  // edit is set. False, with nothing made, for a folder without a
  // file-system path or when it cannot be made.
  bool CreateNewFolder(bool edit);
  // Runs a shell verb on the node in its parent folder (not the top node),
  // then RefreshNodes; raises when the node's menu cannot be had.
  void DoCommandForNode(TTreeNode* node, const String& verb);
  // The shell's context menu of the node at a screen point (not for the
  // top node of the desktop); the tree is busy while it is up.
  void ProcessMenu(TTreeNode* node, const TPoint& screenPos);
  // Drops the node on entry index of the Send To list.
  void ProcessSendTo(TTreeNode* node, int index);
  // DROPEFFECT_COPY, MOVE and LINK the node allows (7 when it cannot be
  // asked).
  DWORD GetDragDropAttributesForNode(TTreeNode* node);
  IContextMenu* MenuHandler() const { return menuHandler_.Get(); }

  bool Busy() const { return busy_; }
  void SetBusy(bool value) { busy_ = value; }
  bool RefreshPending() const { return refreshPending_; }
  void SetRefreshPending(bool value) { refreshPending_ = value; }
  bool SkipNextChange() const { return skipNextChange_; }
  void SetSkipNextChange(bool value) { skipNextChange_ = value; }
  // Tag 1: the linked controls follow the selection; Tag 2: RefreshNodes.
  TPTShTimer* RefreshTimer() const { return refreshTimer_.get(); }
  TChangeHandlerThread* ChangeThread() const { return changeThread_; }
  TPTForwardingDropTarget* DropTarget() const { return dropTarget_; }
  TTreeNode* LastInsertedNode() const { return lastInsertedNode_; }

  TPTShAddItemEvent OnAddItem;
  TPTShTreeDeleteItemEvent OnDeleteItem;
  TPTShTreeInsertItemEvent OnInsertItem;
  TPTShPopupHintEvent OnPopupHint;
  TPTShTvCustomDrawEvent OnCustomDrawSh;
  TPTShTvCustomDrawEvent OnCustomDrawShEx;
  TNotifyEvent OnFillStart;
  TNotifyEvent OnFillComplete;

  // Drops go to the shell's drop target of the node under the point; a
  // drag resting on a node expands it.
  HRESULT OnDropTarget_DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD& effect) override;
  HRESULT OnDropTarget_DragOver(DWORD keyState, POINTL pt, DWORD& effect) override;
  HRESULT OnDropTarget_DragLeave() override;
  HRESULT OnDropTarget_Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD& effect) override;
  // The node highlighted under a drag (nullptr: none); the node dragged out.
  TTreeNode* DropNode() const { return dropNode_; }
  TTreeNode* DragNode() const { return dragNode_; }

 protected:
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& msg) override;
  TPTCustomDraw* PTCustomDraw(const NMCUSTOMDRAW& record, LRESULT& result) override;
  void GetImageIndex(TTreeNode* node) override;
  void GetSelectedIndex(TTreeNode* node) override;
  bool CanExpand(TTreeNode* node) override;
  // A shell node's text is edited as its name for editing, and the end of
  // the edit renames the folder.
  bool CanEdit(TTreeNode* node) override;
  void Edit(const TVITEMA& item) override;
  void Change(TTreeNode* node) override;
  void Delete(TTreeNode* node) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  bool DoMouseWheel(TShiftState shift, int delta, TPoint mousePos) override;
  void NodeContextMenu(TTreeNode* node, TPoint& pos, TPopupMenu*& menu) override;

  // Adds the item rel of folder under parentNode; the folder's failure
  // to give its attributes is returned.
  virtual HRESULT AddNewShellNode(IShellFolder* folder, LPCITEMIDLIST parentAbs, TTreeNode* parentNode,
                                  LPCITEMIDLIST rel);
  virtual bool CanAdd(IShellFolder* folder, LPCITEMIDLIST parentAbs, SFGAOF attributes, LPCITEMIDLIST itemRel);
  virtual void DeviceChangeDetected(TObject* sender, TMessage& msg);
  // Fills parentNode's children from folder (nullptr: makes the top node).
  virtual void FillTree(IShellFolder* folder, TTreeNode* parentNode);
  virtual void PTCustomDrawSh(TPTCustomDraw* cd, TTreeNode* node, TPTShTreeData* data);
  virtual void DoOnInsertItem(TTreeNode* node);
  virtual void ExpandNode(TTreeNode* node);
  virtual void FillStart();
  virtual void FillComplete();
  // Watches the drive of path (its whole subtree); "" removes every watch.
  virtual void InstallChangeHandler(const String& path);
  void InstallChangeHandlersForAllLocalDrives();
  // Drags node out with button; the tree is busy meanwhile.
  virtual void OleBeginDrag(TTreeNode* node, TMouseButton button);
  virtual TComPtr<IDropSource> CreateIDropSource(TMouseButton button, IDataObject* data);
  // Scrolls near the edges, at most every 100 ms, and expands the node
  // under a drag that rests longer than the hover time.
  void DoDropTargetAutoscroll(POINTL pt);

 private:
  friend class TPTCustomShellList;
  void BaseFolderChanged(TObject* sender);
  void SelectedFolderChanged(TObject* sender);
  void TimerElapsed(TObject* sender);
  void AMChangeNotify();
  // SelectedFolder, the list and the combo follow node.
  void UpdateLinked(TTreeNode* node);
  void RefreshNode(TTreeNode* node, TTreeNode*& reselect, TTreeNode*& remembered);
  SHCONTF EnumFlags() const;
  void RegisterDropTarget();
  void RevokeDropTarget();
  void WindowGoing();
  bool DisableDragDropStyle() const;
  // Interaction.
  bool MustWait() const;
  void MenuMessage(TMessage& msg);
  void ScrollByWheel(int delta);
  // The node with data at a screen point (nullptr: none).
  TTreeNode* DropNodeAt(POINTL pt);
  // The drop target of node, kept while the drag stays on it.
  IDropTarget* NodeDropTarget(TTreeNode* node);
  void SetDropNode(TTreeNode* node);
  void DropDone();

  TPTShellTreeOptions options_ = kPTShellTreeDefaultOptions;
  std::unique_ptr<TPTShellLocator> baseFolder_;
  std::unique_ptr<TPTShellLocator> selectedFolder_;
  TPTCustomShellList* shellList_ = nullptr;
  TPTShellComboLink* shellCombo_ = nullptr;
  std::unique_ptr<TPTShTimer> refreshTimer_;
  TChangeHandlerThread* changeThread_ = nullptr;
  int syncDepth_ = 0;
  bool syncNow_ = false;
  int noOwnerWindow_ = 0;
  bool inLoaded_ = false;
  bool skipNextChange_ = false;
  bool busy_ = false;
  bool refreshPending_ = false;
  TTreeNode* lastInsertedNode_ = nullptr;
  std::unordered_set<TPTShTreeData*> data_;
  TPTForwardingDropTarget* dropTarget_ = nullptr;
  TOwned<TImageList> images_;
  bool loaded_ = false;
  bool inDestroyWnd_ = false;
  // Interaction.
  TComPtr<IContextMenu> menuHandler_;
  bool endingEdit_ = false;
  // Drag and drop.
  TTreeNode* dragNode_ = nullptr;
  TTreeNode* dropNode_ = nullptr;
  TTreeNode* targetNode_ = nullptr;  // the node whose target is kept
  TComPtr<IDropTarget> nodeTarget_;
  TComPtr<IDataObject> dropData_;
  DWORD dropKeys_ = 0;
  DWORD scrollTime_ = 0;
  POINT hoverPoint_{};
  DWORD hoverTime_ = 0;
};

class TPTShellTree : public TPTCustomShellTree {
 public:
  using TPTCustomShellTree::TPTCustomShellTree;
};
