// The shell list and the shell tree.
#include "shellctl/Uptshellcontrols.h"

#include <dbt.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "classlib/Registry.h"
#include "shellctl/Uptshconsts.h"
#include "shellctl/Uptshmenus.h"

namespace {

// ---------------------------------------------------------------- small scopes

// Busy for a scope (a menu or a drag is up); the refresh asked for
// meanwhile is the caller's to run afterwards.
auto BusyForScope(bool& busy, bool& pending) {
  busy = true;
  pending = false;
  return TFinally([&busy] { busy = false; });
}

// No "insert a disk" box from the system for a scope.
auto CriticalErrorsOff() {
  UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
  SetErrorMode(old | SEM_FAILCRITICALERRORS);
  return TFinally([old] { SetErrorMode(old); });
}

// An items update of a list or tree for a scope.
template <class Items>
auto ItemsUpdate(Items* items) {
  items->BeginUpdate();
  return TFinally([items] { items->EndUpdate(); });
}

// The "no more items" end of an enumeration (besides S_FALSE).
constexpr HRESULT kNoMoreItems = HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);

// The low 16 bits of a comparison's result, signed; 0 when it failed.
int CompareResult(HRESULT hr) { return SUCCEEDED(hr) ? static_cast<short>(HRESULT_CODE(hr)) : 0; }

bool IsEmptyPidl(LPCITEMIDLIST pidl) { return !pidl || pidl->mkid.cb == 0; }

// The file name of a parsing name: after the last "\" or ":".
String FileNamePart(const String& name) {
  size_t cut = 0;
  for (size_t i = 0; i < name.size();) {
    char c = name[i];
    if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < name.size()) {
      i += 2;
      continue;
    }
    if (c == '\\' || c == ':') cut = i + 1;
    ++i;
  }
  return name.substr(cut);
}

// The entries of a ";"-separated list, without empty ones; a double-byte
// character is never split.
std::vector<String> SplitPatterns(const String& filter) {
  std::vector<String> out;
  String token;
  for (size_t i = 0; i < filter.size();) {
    char c = filter[i];
    if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < filter.size()) {
      token += filter.substr(i, 2);
      i += 2;
      continue;
    }
    if (c == ';') {
      if (!token.empty()) out.push_back(token);
      token.clear();
    } else {
      token += c;
    }
    ++i;
  }
  if (!token.empty()) out.push_back(token);
  return out;
}

TAlignment AlignmentOf(int fmt) {
  switch (fmt & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_RIGHT:
      return taRightJustify;
    case LVCFMT_CENTER:
      return taCenter;
    default:
      return taLeftJustify;
  }
}

// ---------------------------------------------------------------- the system clock

class TSystemClock : public TPTShClock {
 public:
  ~TSystemClock() override {
    if (wnd_) DeallocateHWnd(wnd_);
  }
  void Start(TPTShTimer* timer, UINT ms) override {
    if (!wnd_) wnd_ = AllocateHWnd(TWndMethod{this, &TSystemClock::WndProc});
    armed_.insert(timer);
    if (!SetTimer(wnd_, reinterpret_cast<UINT_PTR>(timer), ms, nullptr)) {
      armed_.erase(timer);
      throw EOutOfResources("Not enough timers available");
    }
  }
  void Stop(TPTShTimer* timer) override {
    if (armed_.erase(timer) && wnd_) KillTimer(wnd_, reinterpret_cast<UINT_PTR>(timer));
  }

 private:
  void WndProc(TMessage& msg) {
    if (msg.Msg == WM_TIMER) {
      auto* timer = reinterpret_cast<TPTShTimer*>(msg.WParam);
      KillTimer(wnd_, msg.WParam);
      // A timer stopped (or freed) meanwhile is not called.
      if (armed_.erase(timer)) timer->Fire();
      return;
    }
    msg.Result = DefWindowProcA(wnd_, msg.Msg, msg.WParam, msg.LParam);
  }
  HWND wnd_ = nullptr;
  std::unordered_set<TPTShTimer*> armed_;
};

TPTShClock*& ClockSlot() {
  static TPTShClock* clock = nullptr;
  return clock;
}

TPTShClock* SystemClock() {
  static TSystemClock* clock = new TSystemClock;  // lives for the process
  return clock;
}

// ---------------------------------------------------------------- details and column state

TPTShDetailsProvider& DetailsProvider() {
  static TPTShDetailsProvider provider;
  return provider;
}

// The last value of "DirectoryCols" used (registry or built-in).
struct TDirectoryCols {
  bool read = false;
  std::vector<BYTE> bytes;
};
TDirectoryCols& LastDirectoryCols() {
  static TDirectoryCols last;
  return last;
}

const std::vector<BYTE>& BuiltInDirectoryCols() {
  // 200, 60, 100, 120, 50 as little-endian words.
  static const std::vector<BYTE> bytes = {200, 0, 60, 0, 100, 0, 120, 0, 50, 0};
  return bytes;
}

// The registry's value when it holds four widths (8 to 22 bytes), else the
// built-in one.
std::vector<BYTE> ReadDirectoryCols() {
  HKEY key = nullptr;
  std::vector<BYTE> bytes;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kDirectoryColsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, kDirectoryColsValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size >= 8 &&
        size <= 22) {
      bytes.resize(size);
      if (RegQueryValueExA(key, kDirectoryColsValue, nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS ||
          size < 8 || size > 22)
        bytes.clear();
      else
        bytes.resize(size);
    }
    RegCloseKey(key);
  }
  if (bytes.empty()) bytes = BuiltInDirectoryCols();
  return bytes;
}

}  // namespace

// ---------------------------------------------------------------- timers

DWORD TPTShClock::TickCount() { return GetTickCount(); }
void TPTShClock::Start(TPTShTimer* timer, UINT ms) { SystemClock()->Start(timer, ms); }
void TPTShClock::Stop(TPTShTimer* timer) { SystemClock()->Stop(timer); }

TPTShClock* PTShClock() { return ClockSlot() ? ClockSlot() : SystemClock(); }

TPTShClock* SetPTShClock(TPTShClock* clock) {
  TPTShClock* previous = PTShClock();
  ClockSlot() = clock;
  return previous;
}

TPTShTimer::~TPTShTimer() { Stop(); }

void TPTShTimer::Start(UINT ms) {
  Stop();
  interval_ = ms;
  TPTShClock* clock = PTShClock();
  clock->Start(this, ms);
  clock_ = clock;
}

void TPTShTimer::Stop() {
  if (!clock_) return;
  TPTShClock* clock = clock_;
  clock_ = nullptr;
  clock->Stop(this);
}

void TPTShTimer::Fire() {
  clock_ = nullptr;
  if (OnTimer) OnTimer(this);
}

// ---------------------------------------------------------------- details

void SetPTShDetailsProvider(TPTShDetailsProvider provider) { DetailsProvider() = std::move(provider); }

TComPtr<IShellDetails> PTShFolderDetails(IShellFolder* folder) {
  if (DetailsProvider()) return DetailsProvider()(folder);
  return ShellGetFolderDetails(folder);
}

TMemoryStream* PTShColumnStateStream() {
  static TMemoryStream* stream = new TMemoryStream;  // lives for the process
  return stream;
}

// ================================================================ the list

TPTCustomShellList::TPTCustomShellList(TComponent* owner) : TPTCustomListView(owner) {
  PTShellControlsStartup();
  folder_ = std::make_unique<TPTShellLocator>();
  folder_->OnChange = {this, &TPTCustomShellList::HandleOnFolderChanged};
  refreshTimer_ = std::make_unique<TPTShTimer>();
  refreshTimer_->OnTimer = {this, &TPTCustomShellList::RefreshTimerElapsed};
  smallImages_.reset(new TImageList(nullptr));
  smallImages_->SetShareImages(true);
  smallImages_->SetHandle(ShellGetSystemImageList(ptsizSmall));
  largeImages_.reset(new TImageList(nullptr));
  largeImages_->SetShareImages(true);
  largeImages_->SetHandle(ShellGetSystemImageList(ptsizLarge));
  SetSmallImages(smallImages_.get());
  SetLargeImages(largeImages_.get());
  SetAllocBy(256);
  PTDeviceChangeHandler()->Add({this, &TPTCustomShellList::DeviceChangeDetected});
}

TPTCustomShellList::~TPTCustomShellList() {
  PTDeviceChangeHandler()->Remove({this, &TPTCustomShellList::DeviceChangeDetected});
  refreshTimer_->Stop();
  // The tree forgets the list at once, not only when the component goes.
  if (shellTree_ && shellTree_->shellList_ == this) shellTree_->shellList_ = nullptr;
  if (HandleAllocated()) WindowGoing();
  if (dropTarget_) {
    dropTarget_->ClearHandler();
    dropTarget_->Release();
    dropTarget_ = nullptr;
  }
  delete changeThread_;
  changeThread_ = nullptr;
  // The items (and their data) go while the list is whole.
  Items()->Clear();
  if (HandleAllocated()) DestroyHandle();
  SetSmallImages(nullptr);
  SetLargeImages(nullptr);
  smallImages_.reset();
  largeImages_.reset();
  folder_->OnChange = nullptr;
  PTShellControlsShutdown();
}

// -------- links and options

void TPTCustomShellList::SetOptions(TPTShellListOptions value) {
  TPTShellListOptions old = options_;
  options_ = value;
  if (IsLoading() || !HandleAllocated()) return;
  if (old.Contains(ptsloOleDrop) != value.Contains(ptsloOleDrop)) {
    if (value.Contains(ptsloOleDrop))
      RegisterDropTarget();
    else
      RevokeDropTarget();
  }
  if (old.Contains(ptsloDynamicRefresh) != value.Contains(ptsloDynamicRefresh) && !IsDesigning()) {
    if (value.Contains(ptsloDynamicRefresh))
      InstallChangeHandler();
    else if (changeThread_)
      changeThread_->RemoveAllWatches();
  }
  // Folders kept by a refresh are not looked at again: hiding them needs a
  // fill.
  if (!old.Contains(ptsloHideFoldersWhenLinkedToTree) && value.Contains(ptsloHideFoldersWhenLinkedToTree))
    FillItems();
  else if (old.Contains(ptsloShowHidden) != value.Contains(ptsloShowHidden) ||
           old.Contains(ptsloHideFoldersWhenLinkedToTree) != value.Contains(ptsloHideFoldersWhenLinkedToTree))
    RefreshItems();
}

void TPTCustomShellList::SetShellTree(TPTCustomShellTree* tree) {
  if (tree == shellTree_) return;
  if (shellTree_) RemoveFreeNotification(shellTree_);
  shellTree_ = tree;
  if (tree) FreeNotification(tree);
}

void TPTCustomShellList::SetShellCombo(TPTShellComboLink* combo) {
  if (combo == shellCombo_) return;
  if (shellCombo_) RemoveFreeNotification(shellCombo_->ComboComponent());
  shellCombo_ = combo;
  if (combo) FreeNotification(combo->ComboComponent());
}

void TPTCustomShellList::Notification(TComponent* component, TOperation operation) {
  TPTCustomListView::Notification(component, operation);
  if (operation != opRemove) return;
  if (shellTree_ && component == shellTree_) shellTree_ = nullptr;
  if (shellCombo_ && component == shellCombo_->ComboComponent()) shellCombo_ = nullptr;
}

void TPTCustomShellList::SetFileFilter(const String& value) {
  if (value == fileFilter_) {
    if (value.empty()) patterns_.reset();
    return;
  }
  fileFilter_ = value;
  if (!patterns_) patterns_ = std::make_unique<TStringList>();
  patterns_->Clear();
  for (const String& p : SplitPatterns(value)) patterns_->Add(p);
  if (!IsLoading() && options_.Contains(ptsloAutoFill)) FillItems();
}

IShellDetails* TPTCustomShellList::FolderDetails() {
  if (!detailsQueried_) {
    detailsQueried_ = true;
    details_ = folderShf_ ? PTShFolderDetails(folderShf_.Get()) : TComPtr<IShellDetails>();
  }
  return details_.Get();
}

// -------- window

void TPTCustomShellList::CreateParams(TCreateParams& params) {
  TPTCustomListView::CreateParams(params);
  params.Style |= LVS_AUTOARRANGE;
}

void TPTCustomShellList::CreateWnd() {
  auto creating = SetForScope(inCreateWnd_, true);
  TPTCustomListView::CreateWnd();
  if (!IsDesigning() && options_.Contains(ptsloOleDrop)) RegisterDropTarget();
  if (options_.Contains(ptsloAutoFill) && Items()->Count() == 0) PostMessageA(handle_, AM_DEFERREDFILL, 0, 0);
}

void TPTCustomShellList::DestroyWnd() {
  auto destroying = SetForScope(inDestroyWnd_, true);
  ClearSelection();
  {
    auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
    ClearSelection();
  }
  {
    auto update = ItemsUpdate(Items());
    Items()->Clear();
  }
  WindowGoing();
  TPTCustomListView::DestroyWnd();
}

void TPTCustomShellList::WindowGoing() {
  if (fileSystemColumns_ && Columns()->Count() > 0) SaveColumnWidths();
  refreshTimer_->Stop();
  delete changeThread_;
  changeThread_ = nullptr;
  RevokeDropTarget();
}

void TPTCustomShellList::RegisterDropTarget() {
  if (dropTarget_ || !HandleAllocated()) return;
  dropTarget_ = new TPTForwardingDropTarget(this);
  if (FAILED(RegisterDragDrop(handle_, dropTarget_))) {
    dropTarget_->ClearHandler();
    dropTarget_->Release();
    dropTarget_ = nullptr;
  }
}

void TPTCustomShellList::RevokeDropTarget() {
  if (!dropTarget_) return;
  if (HandleAllocated()) RevokeDragDrop(handle_);
  // A target someone still holds answers nothing from now on.
  dropTarget_->ClearHandler();
  dropTarget_->Release();
  dropTarget_ = nullptr;
}

void TPTCustomShellList::Loaded() {
  TPTCustomListView::Loaded();
  if (!inCreateWnd_ && HandleAllocated() && options_.Contains(ptsloAutoFill) && Items()->Count() == 0)
    PostMessageA(handle_, AM_DEFERREDFILL, 0, 0);
  loaded_ = true;
}

// -------- filling

SHCONTF TPTCustomShellList::EnumFlags() const {
  SHCONTF flags = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS;
  if (options_.Contains(ptsloShowHidden)) flags |= SHCONTF_INCLUDEHIDDEN;
  return flags;
}

void TPTCustomShellList::FillItems() {
  if (!HandleAllocated()) return;
  if (MustWait()) {
    refreshPending_ = true;
    return;
  }
  {
    TCursorGuard busy;
    ClearSelection();
    Items()->Clear();
    auto update = ItemsUpdate(Items());
    TComPtr<IShellFolder> folder;
    LPCITEMIDLIST idList = folder_->GetIdList();
    OleCheck(ShellGetFolderFromIdList(idList, folder));
    if (!folder) OleCheck(E_NOINTERFACE);
    FilterPreApply();
    TFinally guard([&] { FilterPostApply(); });
    FillList(folder.Get(), idList);
  }
  SortList();
  if (Items()->Count() > 0) Items()->Item(0)->SetFocused(true);
  if (ViewStyle() == vsIcon || ViewStyle() == vsSmallIcon) {
    SendMessageA(handle_, WM_VSCROLL, SB_TOP, 0);
    SendMessageA(handle_, WM_HSCROLL, SB_TOP, 0);
  }
  if (options_.Contains(ptsloDynamicRefresh) && !IsDesigning()) InstallChangeHandler();
}

void TPTCustomShellList::FillList(IShellFolder* folder, LPCITEMIDLIST idList) {
  auto update = ItemsUpdate(Items());
  auto quiet = CriticalErrorsOff();
  FillStart();
  TFinally complete([this] { FillComplete(); });

  // The folder shown before, put back when the fill fails.
  TPidl previousIdList = std::move(folderIdList_);
  TComPtr<IShellFolder> previousShf = std::move(folderShf_);
  TComPtr<IShellDetails> previousDetails = std::move(details_);
  bool previousQueried = detailsQueried_;
  folderIdList_ = CopyIdList(nullptr, idList);
  folderShf_ = TComPtr<IShellFolder>::Share(folder);
  detailsQueried_ = false;

  std::vector<TPTShListData*> fetched;
  try {
    InitColumns(FolderDetails());
    TComPtr<IEnumIDList> items;
    if (FAILED(folder->EnumObjects(PTShTopFormWindow(this), EnumFlags(), items.Put())) || !items) return;
    fetched.reserve(500);
    HRESULT hr;
    for (;;) {
      LPITEMIDLIST item = nullptr;
      ULONG count = 0;
      hr = items->Next(1, &item, &count);
      if (hr != S_OK || count == 0) {
        if (item) ShellMemFree(item);
        break;
      }
      if (fetched.size() == fetched.capacity()) fetched.reserve(fetched.size() + 500);
      auto* data = new TPTShListData(this);
      fetched.push_back(data);
      data->SetData(TPidl(item));
    }
    if (hr == E_FAIL) {
      for (TPTShListData* d : fetched) delete d;
      fetched.clear();
    } else if (hr != S_OK && hr != S_FALSE && hr != kNoMoreItems) {
      OleCheck(hr);
    }
    SetAllocBy(static_cast<int>(fetched.size()));
    for (size_t i = 0; i < fetched.size(); ++i) {
      TPTShListData* data = fetched[i];
      fetched[i] = nullptr;
      AddFetched(data);
    }
    fetched.clear();
  } catch (...) {
    for (TPTShListData* d : fetched) delete d;
    folderIdList_ = std::move(previousIdList);
    folderShf_ = std::move(previousShf);
    details_ = std::move(previousDetails);
    detailsQueried_ = previousQueried;
    throw;
  }
}

void TPTCustomShellList::AddFetched(TPTShListData* data) {
  std::unique_ptr<TPTShListData> holder(data);
  SFGAOF attributes = 0;
  if (!ShouldInclude(folderIdList_.get(), data->RelPidl(), attributes)) return;
  pendingData_ = holder.release();
  pendingAttribs_ = attributes;
  pendingDetails_ = FolderDetails();
  try {
    Items()->Add();
  } catch (...) {
    delete pendingData_;
    pendingData_ = nullptr;
    throw;
  }
  if (pendingData_) {
    // No item took it.
    delete pendingData_;
    pendingData_ = nullptr;
  }
}

void TPTCustomShellList::AddNewShellItem(TPidl relPidl) {
  auto* data = new TPTShListData(this);
  data->SetData(std::move(relPidl));
  AddFetched(data);
}

bool TPTCustomShellList::ShouldInclude(LPCITEMIDLIST parentIdList, LPCITEMIDLIST itemRel, SFGAOF& attributes) {
  attributes = 0x720B0000;
  if (!folderShf_ || !itemRel || FAILED(folderShf_->GetAttributesOf(1, &itemRel, &attributes))) attributes = 0;
  if (!options_.Contains(ptsloNonFilesystemAncestors) && !(attributes & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR)))
    return false;
  if (options_.Contains(ptsloHideFoldersWhenLinkedToTree) && shellTree_ &&
      (attributes & (SFGAO_FOLDER | SFGAO_FILESYSTEM)) == (SFGAO_FOLDER | SFGAO_FILESYSTEM))
    return false;
  return CanAdd(folderShf_.Get(), parentIdList, attributes, itemRel);
}

bool TPTCustomShellList::CanAdd(IShellFolder* folder, LPCITEMIDLIST parentAbs, SFGAOF attributes,
                                LPCITEMIDLIST itemRel) {
  bool allow = true;
  if (matchSet_ && !(attributes & SFGAO_FOLDER))
    allow = FilterApply(FileNamePart(ShellGetFriendlyNameFromIdList(folder, itemRel, ptfnForParsing)), attributes);
  if (allow && OnAddItem) OnAddItem(this, folder, parentAbs, itemRel, attributes, allow);
  return allow;
}

void TPTCustomShellList::InsertItem(TListItem* item) {
  if (TPTShListData* data = pendingData_) {
    pendingData_ = nullptr;
    data_.insert(data);
    item->SetData(data);
    if (pendingAttribs_ & SFGAO_SHARE)
      item->SetOverlayIndex(0);
    else if (pendingAttribs_ & SFGAO_LINK)
      item->SetOverlayIndex(1);
    if (pendingAttribs_ & SFGAO_HIDDEN) item->SetCut(true);
    int subItems = pendingDetails_ ? Columns()->Count() - 1 : 3;
    for (int i = 0; i < subItems; ++i) item->SubItems()->Add(String());
  }
  TPTCustomListView::InsertItem(item);
}

void TPTCustomShellList::Delete(TListItem* item) {
  TPTShListData* data = ItemData(item);
  if (data) {
    if (OnDeleteItem) OnDeleteItem(this, item, data);
    item->SetData(nullptr);
    data_.erase(data);
    delete data;
  }
  if (item == dropItem_) dropItem_ = nullptr;
  TPTCustomListView::Delete(item);
}

TPTShListData* TPTCustomShellList::ItemData(TListItem* item) const {
  if (!item) return nullptr;
  auto* data = static_cast<TPTShListData*>(item->Data());
  return data && data_.count(data) ? data : nullptr;
}

TPTShListData* TPTCustomShellList::GetShListData(int index) {
  TPTShListData* data = ItemData(Items()->Item(index));
  if (!data) throw EInvalidCast("Invalid class typecast");
  return data;
}

void TPTCustomShellList::SelectAll() {
  auto update = ItemsUpdate(Items());
  TPTCustomListView::SelectAll();
}

TPTShListData* TPTCustomShellList::GetSelectedItem() { return ItemData(Selected()); }

int TPTCustomShellList::ShellSelCount() {
  int n = 0;
  for (TListItem* it = GetNextItem(nullptr, sdAll, {isSelected}); it; it = GetNextItem(it, sdAll, {isSelected}))
    if (ItemData(it)) ++n;
  return n;
}

bool TPTCustomShellList::IsFolderNetworkShare() {
  String path = ShellGetPathFromIdList(folderIdList_.get());
  return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

void TPTCustomShellList::FillStart() {
  if (OnFillStart) OnFillStart(this);
}

void TPTCustomShellList::FillComplete() {
  if (OnFillComplete) OnFillComplete(this);
}

// -------- the file filter

void TPTCustomShellList::FilterPreApply() {
  matchSet_.reset();
  if (fileFilter_.empty() || fileFilter_ == "*" || fileFilter_ == "*.*" || !patterns_) return;
  String path = ShellGetPathFromIdList(folder_->GetIdList());
  if (path.empty()) return;
  auto set = std::make_unique<TStringList>();
  set->SetSorted(true);
  set->Duplicates = dupIgnore;
  auto quiet = CriticalErrorsOff();
  String dir = EnsureTrailingCharDB(path, '\\');
  for (int i = 0; i < patterns_->Count(); ++i) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(StringToWide(dir + patterns_->Get(i)).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND) continue;
      break;
    }
    do {
      String name;
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && TryWideToString(found.cFileName, -1, name))
        set->Add(AnsiUpperCase(name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  matchSet_ = std::move(set);
}

bool TPTCustomShellList::FilterApply(const String& name, SFGAOF attributes) {
  if (attributes & SFGAO_FOLDER) return true;
  int index = 0;
  return matchSet_ && matchSet_->Find(AnsiUpperCase(name), index);
}

void TPTCustomShellList::FilterPostApply() { matchSet_.reset(); }

// -------- columns

void TPTCustomShellList::SaveColumnWidths() {
  TMemoryStream* s = PTShColumnStateStream();
  s->Clear();
  int32_t n = Columns()->Count();
  s->WriteBuffer(&n, 4);
  for (int i = 0; i < n; ++i) {
    int32_t w = Columns()->Items(i)->Width();
    s->WriteBuffer(&w, 4);
  }
}

bool TPTCustomShellList::RestoreColumnWidths() {
  TMemoryStream* s = PTShColumnStateStream();
  if (s->Size() < 4) return false;
  s->SetPosition(0);
  int32_t n = 0;
  if (s->Read(&n, 4) != 4) return false;
  int count = std::min<int>(std::max<int32_t>(n, 0), Columns()->Count());
  for (int i = 0; i < count; ++i) {
    int32_t w = 0;
    if (s->Read(&w, 4) != 4) break;
    Columns()->Items(i)->SetWidth(w);
  }
  return true;
}

TListColumn* TPTCustomShellList::ReuseColumn(int index) {
  return index < Columns()->Count() ? Columns()->Items(index) : Columns()->Add();
}

void TPTCustomShellList::DropColumnsFrom(int count) {
  while (Columns()->Count() > count) Columns()->Delete(Columns()->Count() - 1);
}

void TPTCustomShellList::DefaultColumns() {
  struct TDef {
    const char* caption;
    TAlignment alignment;
  } defs[] = {{SColumnName, taLeftJustify},
              {SColumnSize, taRightJustify},
              {SColumnType, taLeftJustify},
              {SColumnModified, taLeftJustify}};
  int k = 0;
  for (const TDef& d : defs) {
    TListColumn* c = ReuseColumn(k++);
    c->SetCaption(PTLoadStr(d.caption));
    c->SetAlignment(d.alignment);
  }
  DropColumnsFrom(k);
  std::vector<BYTE> value = ReadDirectoryCols();
  TDirectoryCols& last = LastDirectoryCols();
  bool same = last.read && last.bytes == value;
  last.read = true;
  last.bytes = value;
  if (same && PTShColumnStateStream()->Size() >= 4 && RestoreColumnWidths()) return;
  for (int i = 0; i < 4; ++i) Columns()->Items(i)->SetWidth(value[2 * i] | value[2 * i + 1] << 8);
}

void TPTCustomShellList::InitColumns(IShellDetails* details) {
  if (Columns()->Count() > 0 && fileSystemColumns_) SaveColumnWidths();
  // The columns there are reused: taking them all down and putting them up
  // again makes the list window lay itself out anew for each one.
  if (details) {
    fileSystemColumns_ = !ShellGetPathFromIdList(folderIdList_.get()).empty();
    // A provider that never ends is cut at a sane number of columns.
    int k = 0;
    for (; k < 64; ++k) {
      SHELLDETAILS sd{};
      if (FAILED(details->GetDetailsOf(nullptr, static_cast<UINT>(k), &sd))) break;
      String caption = StrretToString(nullptr, sd.str);
      StrretFree(sd.str);
      TListColumn* c = ReuseColumn(k);
      c->SetCaption(caption);
      c->SetAlignment(AlignmentOf(sd.fmt));
      c->SetWidth(7 * sd.cxChar);
    }
    DropColumnsFrom(k);
    if (fileSystemColumns_) RestoreColumnWidths();
    columnSource_ = 1;
  } else {
    DefaultColumns();
    fileSystemColumns_ = true;
    columnSource_ = 2;
  }
  SetHeaderODStyle();
  SetSortColumn(std::abs(sortColumn_) > Columns()->Count() ? 1 : sortColumn_);
}

// -------- sorting

void TPTCustomShellList::SetSortColumn(int value) {
  SetHeaderSortColumn(std::abs(value) - 1);
  SetHeaderSortDirection(value >= 0 ? ptsdDesc : ptsdAsc);
  sortColumnSetInClick_ = true;
  if (value != sortColumn_) {
    sortColumn_ = value;
    SortList();
  }
}

void TPTCustomShellList::SortList() {
  if (sortColumn_ == 0) {
    // Captions are filled on display: the unseen ones first.
    for (int i = 0; i < Items()->Count(); ++i) {
      TListItem* it = Items()->Item(i);
      if (it->Caption().empty())
        if (TPTShListData* data = ItemData(it)) SetCaptionQuietly(it, data->GetDisplayName());
    }
    AlphaSort();
    return;
  }
  CustomSort(
      [](LPARAM a, LPARAM b, LPARAM self) -> int {
        auto* list = reinterpret_cast<TPTCustomShellList*>(self);
        TPTShListData* da = list->ItemData(reinterpret_cast<TListItem*>(a));
        TPTShListData* db = list->ItemData(reinterpret_cast<TListItem*>(b));
        if (!da || !db || !list->folderShf_) return 0;
        int column = std::abs(list->sortColumn_) - 1;
        int c = CompareResult(list->folderShf_->CompareIDs(column, da->RelPidl(), db->RelPidl()));
        return list->sortColumn_ < 0 ? -c : c;
      },
      reinterpret_cast<LPARAM>(this));
}

void TPTCustomShellList::ColClick(TListColumn* column) {
  sortColumnSetInClick_ = false;
  TPTCustomListView::ColClick(column);
  if (sortColumnSetInClick_) return;
  int index = column->Index() + 1;
  SetSortColumn(std::abs(sortColumn_) == index ? -sortColumn_ : index);
}

// -------- refresh

void TPTCustomShellList::RefreshItems() {
  if (MustWait()) {
    refreshPending_ = true;
    return;
  }
  if (Items()->Count() == 0) {
    FillItems();
    return;
  }
  if (!folderShf_) return;
  TCursorGuard cursor;
  FillStart();
  TFinally end([this] {
    FilterPostApply();
    FillComplete();
    SetAllocBy(256);
  });
  FilterPreApply();

  // A: the items there; B: what the folder holds now.
  TPTPidlList present;
  present.Duplicates = dupAccept;
  if (ShellGetPathFromIdList(folderIdList_.get()).empty()) present.SetShellFolder(folderShf_.Get());
  for (int i = 0; i < Items()->Count(); ++i) {
    TListItem* it = Items()->Item(i);
    if (TPTShListData* data = ItemData(it)) present.AddObject(const_cast<LPITEMIDLIST>(data->RelPidl()), it);
  }
  present.SetSorted(true);
  TPTPidlList now;
  now.Malloc = ShellIMalloc();
  now.Duplicates = dupAccept;
  {
    auto quiet = CriticalErrorsOff();
    TComPtr<IEnumIDList> items;
    if (SUCCEEDED(folderShf_->EnumObjects(PTShTopFormWindow(this), EnumFlags(), items.Put())) && items) {
      for (;;) {
        LPITEMIDLIST item = nullptr;
        ULONG count = 0;
        if (items->Next(1, &item, &count) != S_OK || count == 0) {
          if (item) ShellMemFree(item);
          break;
        }
        now.Add(item);
      }
    }
  }
  for (int i = now.Count() - 1; i >= 0; --i) {
    int at = 0;
    if (present.BinarySearch(now.PIDL(i), at)) {
      present.Delete(at);
      now.Delete(i);
    }
  }
  auto update = ItemsUpdate(Items());
  for (int i = 0; i < present.Count(); ++i) static_cast<TListItem*>(present.Objects(i))->Delete();
  SetAllocBy(now.Count());
  for (int i = 0; i < now.Count(); ++i) AddNewShellItem(CopyIdList(nullptr, now.PIDL(i)));
  // New items go where the list's sort puts them, not at the end.
  if (now.Count() > 0) SortList();
}

// -------- change reaction

void TPTCustomShellList::InstallChangeHandler() {
  refreshTimer_->Stop();
  // A change to skip was one of the folder watched before.
  skipNextChange_ = false;
  if (!HandleAllocated()) return;
  if (!changeThread_)
    changeThread_ = new TChangeHandlerThread(handle_, AM_CHANGENOTIFY);
  else
    changeThread_->RemoveAllWatches();
  String path = ShellGetPathFromIdList(folderIdList_.get());
  int slot = -1;
  if (!path.empty())
    changeThread_->AddWatch(path, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, slot, false);
}

void TPTCustomShellList::AMChangeNotify() {
  if (skipNextChange_) {
    skipNextChange_ = false;
    return;
  }
  // A change while a menu or a drag is up is refreshed once that ends.
  if (busy_) {
    refreshPending_ = true;
    return;
  }
  refreshTimer_->Start(Focused() ? 400 : 2000);
}

void TPTCustomShellList::RefreshTimerElapsed(TObject*) {
  refreshTimer_->Stop();
  {
    auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
    Synchronize(true);
  }
  RefreshItems();
}

void TPTCustomShellList::Synchronize(bool all) {
  if (all) {
    if (shellCombo_) shellCombo_->Synchronize(false);
    if (shellTree_) shellTree_->Synchronize(false);
  }
  if (refreshTimer_->Enabled()) RefreshTimerElapsed(refreshTimer_.get());
}

// -------- device changes

void TPTCustomShellList::DeviceChangeDetected(TObject*, TMessage& msg) {
  if (msg.WParam != DBT_DEVICEARRIVAL && msg.WParam != DBT_DEVICEREMOVECOMPLETE) return;
  FlushDriveInfoCache();
  LockFlushDriveInfoCache();
  TFinally unlock([] { UnlockFlushDriveInfoCache(); });
  if (ShellCSIDLEqualsIdList(folderIdList_.get(), csidlDrives)) FillItems();
}

// -------- in step with the tree and the combo

void TPTCustomShellList::HandleOnFolderChanged(TObject*) {
  if (syncDepth_ < 1) {
    auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
    if (shellTree_)
      shellTree_->DoSetSelectedIdList(folder_->GetIdList());
    else if (shellCombo_)
      shellCombo_->GetSelectedFolder()->SetIdList(folder_->GetIdList());
  }
  FillItems();
  FolderChanged();
}

void TPTCustomShellList::FolderChanged() {
  if (OnFolderChanged) OnFolderChanged(this);
}

void TPTCustomShellList::TreeChanged(TTreeNode* node) {
  if (!node || !node->Selected() || IsLoading()) return;
  auto* tree = dynamic_cast<TPTCustomShellTree*>(node->TreeView());
  TPTShTreeData* data = tree ? tree->NodeData(node) : nullptr;
  if (data) folder_->SetIdList(data->GetAbsPidl());
}

// -------- drag and drop

TComPtr<IDataObject> TPTCustomShellList::CreateDataObject() {
  std::vector<LPCITEMIDLIST> children;
  for (TListItem* it = GetNextItem(nullptr, sdAll, {isSelected}); it; it = GetNextItem(it, sdAll, {isSelected}))
    if (TPTShListData* data = ItemData(it)) children.push_back(data->RelPidl());
  return TComPtr<IDataObject>(new TDataObject_shlv(folderIdList_.get(), children));
}

// -------- drag and drop

namespace {

constexpr DWORD kDropScrollInterval = 100;
constexpr int kDropScrollSide = 26;  // pixels from the left and right edges
constexpr int kDropScrollEnd = 20;   // pixels from the top and bottom edges
constexpr DWORD kMouseButtons = MK_LBUTTON | MK_RBUTTON;

// One line towards the edge pt is near, if any; true when it scrolled.
bool ScrollTowardsEdge(HWND wnd, const TPoint& pt) {
  RECT r;
  if (!GetClientRect(wnd, &r)) return false;
  bool scrolled = false;
  if (pt.x < kDropScrollSide)
    scrolled |= DragScrollStep(wnd, SB_HORZ, SB_LINELEFT);
  else if (pt.x >= r.right - kDropScrollSide)
    scrolled |= DragScrollStep(wnd, SB_HORZ, SB_LINERIGHT);
  if (pt.y < kDropScrollEnd)
    scrolled |= DragScrollStep(wnd, SB_VERT, SB_LINEUP);
  else if (pt.y >= r.bottom - kDropScrollEnd)
    scrolled |= DragScrollStep(wnd, SB_VERT, SB_LINEDOWN);
  return scrolled;
}

}  // namespace

TComPtr<IDropSource> TPTCustomShellList::CreateIDropSource(TMouseButton button, IDataObject*) {
  return TComPtr<IDropSource>(new TDropSource_shlvtv(button));
}

void TPTCustomShellList::OleBeginDrag(TMouseButton button) {
  // A drag that meets a menu or another drag is dropped.
  if (busy_ || dragging_) return;
  {
    auto busy = BusyForScope(busy_, refreshPending_);
    auto dragging = SetForScope(dragging_, true);
    auto mark = SetForScope(rightDragMark_, true);
    TComPtr<IDataObject> data = CreateDataObject();
    DWORD allowed = GetDragDropAttributesForAllSelected();
    TComPtr<IDropSource> source = CreateIDropSource(button, data.Get());
    DWORD effect = DROPEFFECT_NONE;
    if (data && source) DoDragDrop(data.Get(), source.Get(), allowed, &effect);
  }
  // What changed meanwhile (items moved away) is shown now.
  if (refreshPending_) {
    refreshPending_ = false;
    RefreshItems();
  }
}

TComPtr<IDropTarget> TPTCustomShellList::FolderDropTarget() {
  TComPtr<IDropTarget> target;
  if (folderShf_ &&
      FAILED(folderShf_->CreateViewObject(PTShTopFormWindow(this), IID_IDropTarget, target.PutVoid())))
    target.Reset();
  return target;
}

TPTCustomShellList::TDropAt TPTCustomShellList::DropAt(POINTL pt, DWORD) {
  TDropAt at;
  TPoint client = ScreenToClient(TPoint(pt.x, pt.y));
  TListItem* item = GetItemAt(client.x, client.y);
  if (item) {
    if (!ItemData(item)) {
      at.Fixed = true;
      at.Effect = DROPEFFECT_COPY;
      return at;
    }
    if (SUCCEEDED(GetUIObjectForItem(item, IID_IDropTarget, at.Target.PutVoid())) && at.Target) {
      at.Item = item;
      return at;
    }
    at.Target = FolderDropTarget();
    return at;
  }
  if (dragging_) {
    at.OwnEmptyArea = true;
    at.Fixed = true;
    at.Effect = (dropKeys_ & MK_RBUTTON) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return at;
  }
  at.Target = FolderDropTarget();
  return at;
}

DWORD TPTCustomShellList::AskDropEffect(TDropAt& at, DWORD keyState, POINTL pt, DWORD allowed, bool over) {
  if (at.Fixed) return at.Effect & allowed;
  if (!at.Target || !dropData_) return DROPEFFECT_NONE;
  DWORD effect = allowed;
  if (FAILED(at.Target->DragEnter(dropData_.Get(), keyState, pt, &effect))) effect = DROPEFFECT_NONE;
  if (over) {
    DWORD next = allowed;
    effect = SUCCEEDED(at.Target->DragOver(keyState, pt, &next)) ? next : DROPEFFECT_NONE;
  }
  at.Target->DragLeave();
  return effect & allowed;
}

void TPTCustomShellList::SetDropItem(TListItem* item) {
  if (item == dropItem_) return;
  if (dropItem_) dropItem_->SetDropTarget(false);
  dropItem_ = item;
  if (dropItem_) dropItem_->SetDropTarget(true);
}

void TPTCustomShellList::DropScroll(POINTL pt) {
  DWORD now = PTShClock()->TickCount();
  if (now - scrollTime_ < kDropScrollInterval || !HandleAllocated()) return;
  if (ScrollTowardsEdge(handle_, ScreenToClient(TPoint(pt.x, pt.y)))) scrollTime_ = now;
}

void TPTCustomShellList::DropDone() {
  SetDropItem(nullptr);
  dropData_.Reset();
}

HRESULT TPTCustomShellList::OnDropTarget_DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD& effect) {
  dropData_ = TComPtr<IDataObject>::Share(data);
  dropKeys_ = keyState;
  scrollTime_ = PTShClock()->TickCount();
  TDropAt at = DropAt(pt, keyState);
  effect = AskDropEffect(at, keyState, pt, effect, false);
  SetDropItem(effect != DROPEFFECT_NONE ? at.Item : nullptr);
  return S_OK;
}

HRESULT TPTCustomShellList::OnDropTarget_DragOver(DWORD keyState, POINTL pt, DWORD& effect) {
  dropKeys_ = keyState;
  TDropAt at = DropAt(pt, keyState);
  effect = AskDropEffect(at, keyState, pt, effect, true);
  TListItem* was = dropItem_;
  SetDropItem(effect != DROPEFFECT_NONE ? at.Item : nullptr);
  DropScroll(pt);
  effect |= DROPEFFECT_SCROLL;
  if (dropItem_ != was && HandleAllocated()) UpdateWindow(handle_);
  return S_OK;
}

HRESULT TPTCustomShellList::OnDropTarget_DragLeave() {
  DropDone();
  return S_OK;
}

HRESULT TPTCustomShellList::OnDropTarget_Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD& effect) {
  TFinally done([this] { DropDone(); });
  DWORD allowed = effect;
  effect = DROPEFFECT_NONE;
  keyState |= dropKeys_ & kMouseButtons;
  TDropAt at = DropAt(pt, keyState);
  if (at.OwnEmptyArea) {
    // Into the folder the items came from: only a copy, and only with the
    // right button.
    if (!(keyState & MK_RBUTTON)) return E_FAIL;
    allowed &= ~static_cast<DWORD>(DROPEFFECT_MOVE);
    at = TDropAt();
    at.Target = FolderDropTarget();
  }
  if (!at.Target || !data) return S_OK;
  DWORD chosen = allowed;
  if (FAILED(at.Target->DragEnter(data, keyState, pt, &chosen))) chosen = DROPEFFECT_NONE;
  chosen = allowed;
  if (FAILED(at.Target->DragOver(keyState, pt, &chosen))) chosen = DROPEFFECT_NONE;
  chosen &= allowed & PTShAllowedDropEffects(data);
  {
    TCursorGuard cursor;
    if (chosen == DROPEFFECT_NONE) {
      at.Target->DragLeave();
    } else {
      effect = chosen;
      if (FAILED(at.Target->Drop(data, keyState, pt, &effect))) effect = DROPEFFECT_NONE;
      effect &= chosen;
    }
  }
  RefreshItems();
  return S_OK;
}

// -------- interaction

namespace {

// The popup of a shell menu goes with the scope.
auto PopupForScope(HMENU menu) {
  return TFinally([menu] {
    if (menu) DestroyMenu(menu);
  });
}

// The rename command of a shell menu: by its verb, by the usual offset
// only when the menu names no verb.
bool IsRenameCommand(IContextMenu* menu, UINT offset) {
  String verb;
  if (ShellGetCommandVerb(menu, offset, verb)) return SameText(verb, "rename");
  return offset == kShellRenameOffset;
}

// A verb of the folder's own (background) menu: "paste" into the folder.
// A verb the menu lacks does nothing; a menu that cannot be had raises.
void InvokeBackgroundVerb(HWND owner, IShellFolder* folder, const String& verb) {
  if (!folder) OleCheck(E_NOINTERFACE);
  TComPtr<IContextMenu> menu;
  OleCheck(folder->CreateViewObject(owner, IID_IContextMenu, menu.PutVoid()));
  if (!menu) OleCheck(E_NOINTERFACE);
  ShellInvokeVerb(owner, menu.Get(), verb);
}

// The name's wide form when the shell may take it: not longer than the
// longest name a rename hands on.
bool NameForShell(const String& name, std::wstring& wide) {
  wide = StringToWide(name);
  return wide.size() <= static_cast<size_t>(kPTShMaxNameLength);
}

void ShowNameTooLong() {
  Application->MessageBox(Trim(SysErrorMessage(ERROR_FILENAME_EXCED_RANGE)), PTLoadStr(SMsgDlgWarning),
                          MB_OK | MB_ICONWARNING);
}

}  // namespace

bool TPTCustomShellList::MustWait() const { return busy_ || (!endingEdit_ && IsEditing()); }

std::vector<TPTShListData*> TPTCustomShellList::SelectedData() {
  std::vector<TPTShListData*> out;
  for (TListItem* it = GetNextItem(nullptr, sdAll, {isSelected}); it; it = GetNextItem(it, sdAll, {isSelected}))
    if (TPTShListData* data = ItemData(it)) out.push_back(data);
  return out;
}

HRESULT TPTCustomShellList::GetUIObjectForItem(TListItem* item, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  TPTShListData* data = ItemData(item);
  if (!data || !folderShf_) return E_INVALIDARG;
  LPCITEMIDLIST rel = data->RelPidl();
  return folderShf_->GetUIObjectOf(PTShTopFormWindow(this), 1, &rel, iid, nullptr, out);
}

HRESULT TPTCustomShellList::GetUIObjectForAllSelected(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  std::vector<LPCITEMIDLIST> rels;
  for (TPTShListData* data : SelectedData()) rels.push_back(data->RelPidl());
  if (rels.empty() || !folderShf_) return E_FAIL;
  return folderShf_->GetUIObjectOf(PTShTopFormWindow(this), static_cast<UINT>(rels.size()), rels.data(), iid, nullptr,
                                   out);
}

DWORD TPTCustomShellList::GetDragDropAttributesForItem(TListItem* item) {
  TPTShListData* data = ItemData(item);
  if (!data || !folderShf_) return 0;
  LPCITEMIDLIST rel = data->RelPidl();
  SFGAOF attributes = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
  if (FAILED(folderShf_->GetAttributesOf(1, &rel, &attributes))) return 0;
  return attributes & (DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK);
}

DWORD TPTCustomShellList::GetDragDropAttributesForAllSelected() {
  std::vector<LPCITEMIDLIST> rels;
  for (TPTShListData* data : SelectedData()) rels.push_back(data->RelPidl());
  if (rels.empty() || !folderShf_) return 0;
  SFGAOF attributes = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
  if (FAILED(folderShf_->GetAttributesOf(static_cast<UINT>(rels.size()), rels.data(), &attributes))) return 0;
  return attributes & (DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK);
}

// -------- opening

bool TPTCustomShellList::DblClickOpen() {
  bool handled = false;
  if (OnDblClickOpen) OnDblClickOpen(this, handled);
  return !handled;
}

void TPTCustomShellList::ChangeFolder(LPCITEMIDLIST pidl) {
  if (options_.Contains(ptsloDontChangeFolder)) return;
  // The folder shown already: read again.
  if (CompareAbsIdLists(pidl, folderIdList_.get()) == 0 && folderIdList_) {
    FillItems();
    return;
  }
  ClearSelection();
  Items()->Clear();
  if (shellTree_)
    shellTree_->SelectedFolder()->SetIdList(pidl);
  else if (shellCombo_)
    shellCombo_->GetSelectedFolder()->SetIdList(pidl);
  else
    folder_->SetIdList(pidl);
}

void TPTCustomShellList::InvokeDefault(const std::vector<TPTShListData*>& items) {
  if (items.empty() || !folderShf_) return;
  std::vector<LPCITEMIDLIST> rels;
  for (TPTShListData* data : items) rels.push_back(data->RelPidl());
  HWND owner = PTShTopFormWindow(this);
  TComPtr<IContextMenu> menu;
  HMENU popup = nullptr;
  UINT flags = CMF_EXPLORE | (ReadOnly() ? 0 : CMF_CANRENAME);
  if (FAILED(ShellGetContextMenu(owner, folderShf_.Get(), static_cast<UINT>(rels.size()), rels.data(),
                                 kFirstShellCommand, flags, menu, popup)))
    return;
  auto guard = PopupForScope(popup);
  // A menu without a default entry opens nothing.
  UINT id = GetMenuDefaultItem(popup, FALSE, 0);
  if (id == static_cast<UINT>(-1) || id < kFirstShellCommand) return;
  ShellInvokeCommand(owner, menu.Get(), id - kFirstShellCommand);
}

void TPTCustomShellList::OpenItem(TListItem* item) {
  if (!item) return;
  Synchronize(true);
  TPTShListData* data = ItemData(item);
  if (!data) {
    DblClickOpen();
    return;
  }
  TCursorGuard cursor;
  if (data->IsFolder()) {
    TPidl target = CopyIdList(nullptr, data->GetAbsoluteIdList());
    ChangeFolder(target.get());
    return;
  }
  if (data->IsLnkShortcut()) {
    TLinkData link;
    link.ResolveMode = 1;
    if (SUCCEEDED(ResolveShortcut(data->GetPathName(), link, true)) && !link.Path.empty()) {
      DWORD attributes = GetFileAttributesW(StringToWide(link.Path).c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // The target's path parsed now: the link's own list may not bind.
        TPidl target;
        if (FAILED(ShellGetIdListFromPath(link.Path, target))) target = std::move(link.IdList);
        if (target) {
          ChangeFolder(target.get());
          return;
        }
      }
    }
  }
  if (DblClickOpen()) InvokeDefault({data});
}

void TPTCustomShellList::OpenSelectedItems() {
  std::vector<TPTShListData*> items = SelectedData();
  if (items.size() >= 2) {
    if (DblClickOpen()) InvokeDefault(items);
    return;
  }
  if (TListItem* item = Selected()) OpenItem(item);
}

void TPTCustomShellList::GoUp(int levels) {
  if (options_.Contains(ptsloDontChangeFolder)) return;
  if (shellTree_) {
    shellTree_->GoUp(levels);
    return;
  }
  if (shellCombo_) {
    shellCombo_->GoUp(levels);
    return;
  }
  TPTIdListArray chain(folder_->GetIdList());
  int count = chain.GetCount();
  if (count < 1 || levels < 1) return;
  TPidl up = CopyIdList(nullptr, chain.GoUp(std::min(levels, count)));
  folder_->SetIdList(up.get());
}

// -------- menus and verbs

void TPTCustomShellList::RunMenu(IContextMenu* menu, HMENU popup, const TPoint& screenPos, TListItem* renameItem) {
  auto guard = PopupForScope(popup);
  {
    auto busy = BusyForScope(busy_, refreshPending_);
    TFinally drop([this] { menuHandler_.Reset(); });
    menuHandler_ = TComPtr<IContextMenu>::Share(menu);
    UINT chosen = PTShTrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, screenPos.x, screenPos.y,
                                     HandleAllocated() ? handle_ : nullptr);
    if (chosen >= 1 && chosen < kFirstShellCommand) {
      ProcessSendTo(static_cast<int>(chosen) - 1);
    } else if (chosen >= kFirstShellCommand) {
      UINT offset = chosen - kFirstShellCommand;
      if (IsRenameCommand(menu, offset)) {
        if (renameItem && Items()->IndexOf(renameItem) >= 0) renameItem->EditCaption();
      } else {
        ShellInvokeCommand(PTShTopFormWindow(this), menu, offset);
        if (IsFolderNetworkShare()) RefreshItems();
      }
    }
  }
  if (refreshPending_) {
    refreshPending_ = false;
    RefreshItems();
  }
}

void TPTCustomShellList::ProcessMenu(TListItem* item, const TPoint& screenPos) {
  TPTShListData* data = ItemData(item);
  if (!data || !folderShf_) return;
  LPCITEMIDLIST rel = data->RelPidl();
  UINT flags = CMF_EXPLORE;
  if (!data->GetPathName().empty() && !ReadOnly()) flags |= CMF_CANRENAME;
  TComPtr<IContextMenu> menu;
  HMENU popup = nullptr;
  if (FAILED(ShellGetContextMenu(PTShTopFormWindow(this), folderShf_.Get(), 1, &rel, kFirstShellCommand, flags, menu,
                                 popup)))
    return;
  RunMenu(menu.Get(), popup, screenPos, item);
}

void TPTCustomShellList::ProcessMenuForAllSelected(const TPoint& screenPos) {
  std::vector<TPTShListData*> items = SelectedData();
  if (items.empty() || !folderShf_) return;
  // Copies: the items may go while the menu is up.
  std::vector<TPidl> copies;
  std::vector<LPCITEMIDLIST> rels;
  for (TPTShListData* data : items) {
    copies.push_back(CopyIdList(nullptr, data->RelPidl()));
    rels.push_back(copies.back().get());
  }
  UINT flags = CMF_EXPLORE;
  TPTShListData* selected = GetSelectedItem();
  if (selected && !selected->GetPathName().empty() && !ReadOnly()) flags |= CMF_CANRENAME;
  TComPtr<IContextMenu> menu;
  HMENU popup = nullptr;
  if (FAILED(ShellGetContextMenu(PTShTopFormWindow(this), folderShf_.Get(), static_cast<UINT>(rels.size()),
                                 rels.data(), kFirstShellCommand, flags, menu, popup)))
    return;
  RunMenu(menu.Get(), popup, screenPos, Selected());
}

void TPTCustomShellList::ProcessSendTo(int index) {
  const std::vector<TPTSendToEntry>& entries = PTShSendToList();
  if (index < 0 || static_cast<size_t>(index) >= entries.size()) return;
  String entry = entries[static_cast<size_t>(index)].Name;
  TComPtr<IDataObject> data = CreateDataObject();
  PTShSendTo(entry, data.Get());
}

void TPTCustomShellList::DoCommandForItem(TListItem* item, const String& verb) {
  TComPtr<IContextMenu> menu;
  if (FAILED(GetUIObjectForItem(item, IID_IContextMenu, menu.PutVoid())) || !menu) return;
  ShellInvokeVerb(PTShTopFormWindow(this), menu.Get(), verb);
  if (IsFolderNetworkShare()) RefreshItems();
}

void TPTCustomShellList::DoCommandForAllSelected(const String& verb) {
  TComPtr<IContextMenu> menu;
  if (FAILED(GetUIObjectForAllSelected(IID_IContextMenu, menu.PutVoid())) || !menu) return;
  ShellInvokeVerb(PTShTopFormWindow(this), menu.Get(), verb);
  if (IsFolderNetworkShare()) RefreshItems();
}

void TPTCustomShellList::DoCommandForFolder(const String& verb) {
  InvokeBackgroundVerb(PTShTopFormWindow(this), folderShf_.Get(), verb);
}

void TPTCustomShellList::ItemContextMenu(TListItem* item, TPoint& pos, TPopupMenu*& menu) {
  TPTCustomListView::ItemContextMenu(item, pos, menu);
  if (!options_.Contains(ptsloContextMenus) || IsDesigning() || busy_) return;
  menu = nullptr;
  ProcessMenuForAllSelected(ClientToScreen(pos));
}

void TPTCustomShellList::MenuMessage(TMessage& msg) {
  TPTCustomListView::Dispatch(msg);
  if (!menuHandler_) return;
  if (msg.Msg == WM_MENUSELECT) {
    if (OnPopupHint) OnPopupHint(this, PTShMenuSelectHint(menuHandler_.Get(), msg.WParam, msg.LParam));
    return;
  }
  if (msg.Msg == WM_DRAWITEM && reinterpret_cast<DRAWITEMSTRUCT*>(msg.LParam)->CtlType != ODT_MENU) return;
  if (msg.Msg == WM_MEASUREITEM && reinterpret_cast<MEASUREITEMSTRUCT*>(msg.LParam)->CtlType != ODT_MENU) return;
  PTShMenuMessage(menuHandler_.Get(), msg);
}

// -------- keys and mouse

void TPTCustomShellList::KeyDown(WORD& key, TShiftState shift) {
  TPTCustomListView::KeyDown(key, shift);
  if (!key || !options_.Contains(ptsloDefaultKeyHandling) || IsEditing() || IsDesigning()) return;
  TShortCut pressed = ShortCut(key, shift);
  WORD given = key;
  key = 0;
  if (pressed == PTShKeyShortCut(ptkSelectAll)) {
    SelectAll();
  } else if (pressed == PTShKeyShortCut(ptkRefresh)) {
    FillItems();
  } else if (pressed == PTShKeyShortCut(ptkCopy)) {
    DoCommandForAllSelected("copy");
  } else if (pressed == PTShKeyShortCut(ptkCut)) {
    DoCommandForAllSelected("cut");
  } else if (pressed == PTShKeyShortCut(ptkPaste)) {
    DoCommandForFolder("paste");
    RefreshItems();
  } else if (pressed == PTShKeyShortCut(ptkEdit)) {
    if (TListItem* item = Selected()) item->EditCaption();
  } else if (pressed == PTShKeyShortCut(ptkDelete) || pressed == (PTShKeyShortCut(ptkDelete) | scShift)) {
    DoCommandForAllSelected("delete");
    RefreshItems();
  } else {
    key = given;
  }
}

void TPTCustomShellList::KeyPress(char& key) {
  TPTCustomListView::KeyPress(key);
  if (!key || !options_.Contains(ptsloDefaultKeyHandling) || IsEditing() || IsDesigning()) return;
  if (key == '\b') {
    key = 0;
    GoUp(1);
  } else if (key == '\r') {
    key = 0;
    OpenSelectedItems();
  }
}

void TPTCustomShellList::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TPTCustomListView::MouseDown(button, shift, x, y);
  if (button == mbLeft && shift.Contains(ssDouble) && !IsDesigning()) OpenSelectedItems();
}

void TPTCustomShellList::ScrollByWheel(int delta) {
  if (!HandleAllocated() || delta == 0) return;
  bool down = delta < 0;
  DragScroll(handle_, ViewStyle() == vsList ? SB_HORZ : SB_VERT, down ? SB_LINEDOWN : SB_LINEUP,
             down ? SB_PAGEDOWN : SB_PAGEUP);
}

bool TPTCustomShellList::DoMouseWheel(TShiftState shift, int delta, TPoint mousePos) {
  if (TPTCustomListView::DoMouseWheel(shift, delta, mousePos)) return true;
  TControl* under = TControl::FindControl(WindowFromPoint(POINT{mousePos.x, mousePos.y}));
  if (under && under != this) {
    if (auto* list = dynamic_cast<TPTCustomShellList*>(under)) return list->DoMouseWheel(shift, delta, mousePos);
    if (auto* tree = dynamic_cast<TPTCustomShellTree*>(under)) return tree->DoMouseWheel(shift, delta, mousePos);
  }
  ScrollByWheel(delta);
  return true;
}

// -------- rename and new folders

bool TPTCustomShellList::CanEdit(TListItem* item) {
  TPTShListData* data = ItemData(item);
  if (!data) return TPTCustomListView::CanEdit(item);
  if (IsDesigning() || !data->GetEditable() || !TPTCustomListView::CanEdit(item)) return false;
  // The editor shows the name to edit, not the display name.
  if (HWND edit = reinterpret_cast<HWND>(SendMessageA(handle_, LVM_GETEDITCONTROL, 0, 0))) {
    String name = ShellGetFriendlyNameFromIdList(folderShf_.Get(), data->RelPidl(), ptfnForEditing);
    if (!name.empty()) SetWindowTextA(edit, name.c_str());
  }
  return true;
}

void TPTCustomShellList::Edit(const LVITEMA& lvItem) {
  TListItem* item = ItemOfIndex(lvItem.iItem);
  TPTShListData* data = ItemData(item);
  if (!data) {
    TPTCustomListView::Edit(lvItem);
    return;
  }
  {
    auto ending = SetForScope(endingEdit_, true);
    if (lvItem.pszText) {
      String text = lvItem.pszText;
      if (OnEdited) OnEdited(this, item, text);
      TCursorGuard cursor;
      LPCITEMIDLIST rel = data->RelPidl();
      std::wstring wide;
      LPITEMIDLIST renamed = nullptr;
      HRESULT hr = E_FAIL;
      if (!NameForShell(text, wide)) {
        ShowNameTooLong();
      } else if (folderShf_) {
        // The change notice of the rename itself is not a refresh.
        bool watching = changeThread_ != nullptr;
        if (watching) skipNextChange_ = true;
        hr = folderShf_->SetNameOf(PTShTopFormWindow(this), rel, wide.c_str(), SHGDN_INFOLDER | SHGDN_FOREDITING,
                                   &renamed);
        if (FAILED(hr) && watching) skipNextChange_ = false;
      }
      if (SUCCEEDED(hr) && renamed) {
        item->SetCaption(ShellGetFriendlyNameFromIdList(folderShf_.Get(), renamed, ptfnInFolder));
        data->SetData(TPidl(renamed));
      } else {
        if (renamed) ShellMemFree(renamed);
        // Refused or kept: the old name again.
        data->Flush();
        item->SetCaption(ShellGetFriendlyNameFromIdList(folderShf_.Get(), data->RelPidl(), ptfnInFolder));
      }
    }
    // The refresh asked for while the editor was open (the editor is still
    // up during this notification, so it runs before the flag goes).
    if (refreshPending_ && !busy_) {
      refreshPending_ = false;
      RefreshItems();
    }
  }
}

bool TPTCustomShellList::CreateNewFolder(bool edit) {
  String path = ShellGetPathFromIdList(folder_->GetIdList());
  if (path.empty()) return false;
  String made;
  if (!PTShCreateNewFolder(path, made)) return false;
  // The change notice of the new folder is not a refresh of its own.
  if (changeThread_) skipNextChange_ = true;
  if (IsEmptyPidl(folderIdList_.get())) PTShBusyPause(2100);
  RefreshItems();
  if (edit) {
    pendingEditName_ = ExtractFileName(made);
    if (HandleAllocated()) PostMessageA(handle_, AM_DEFERREDEDIT, 0, 0);
  }
  return true;
}

void TPTCustomShellList::AMDeferredEdit() {
  String name = pendingEditName_;
  pendingEditName_.clear();
  if (name.empty()) return;
  for (int i = 0; i < Items()->Count(); ++i) {
    TListItem* item = Items()->Item(i);
    TPTShListData* data = ItemData(item);
    if (!data || data->GetDisplayName() != name) continue;
    if (CanFocus()) SetFocus();
    item->MakeVisible();
    item->EditCaption();
    return;
  }
}

// -------- drawing and messages

TPTCustomDraw* TPTCustomShellList::PTCustomDraw(const NMCUSTOMDRAW& record, LRESULT& result) {
  bool isItem = (record.dwDrawStage & CDDS_ITEM) != 0;
  bool itemPrePaint = record.dwDrawStage == CDDS_ITEMPREPAINT;
  if (itemPrePaint && dropItem_ && record.dwItemSpec == static_cast<DWORD_PTR>(Items()->IndexOf(dropItem_))) {
    // The drop highlight in the selection's colours: not every list view
    // draws LVIS_DROPHILITED itself.
    auto& lv = const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(record));
    lv.clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    lv.clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
  }
  // The rows' stages are asked for while a drop highlight is to be drawn.
  if (record.dwDrawStage == CDDS_PREPAINT && dropItem_) result |= CDRF_NOTIFYITEMDRAW;
  if (!OnPTCustomDraw && !(OnPTCustomDrawEx && itemPrePaint) && !OnCustomDrawShEx && !(OnCustomDrawSh && itemPrePaint))
    return nullptr;
  TListItem* item = nullptr;
  if (isItem && record.dwItemSpec < static_cast<DWORD_PTR>(Items()->Count()))
    item = Items()->Item(static_cast<int>(record.dwItemSpec));
  TPTCustomDraw* cd = CreateCustomDraw(record, result);
  if (OnPTCustomDraw) OnPTCustomDraw(this, cd, item);
  if (OnPTCustomDrawEx && itemPrePaint) OnPTCustomDrawEx(this, cd, item);
  PTCustomDrawSh(cd, item, ItemData(item));
  cd->Apply();
  if (record.dwDrawStage & CDDS_PREPAINT) result |= CDRF_NOTIFYITEMDRAW;
  return cd;
}

void TPTCustomShellList::PTCustomDrawSh(TPTCustomDraw* cd, TListItem* item, TPTShListData* data) {
  if (OnCustomDrawShEx) OnCustomDrawShEx(this, cd, item, data);
  if (OnCustomDrawSh && cd->RawDrawStage() == CDDS_ITEMPREPAINT) OnCustomDrawSh(this, cd, item, data);
}

namespace {
void CopyCut(const String& text, char* buffer, int size) {
  if (!buffer || size <= 0) return;
  size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}
}  // namespace

void TPTCustomShellList::DisplayInfo(NMLVDISPINFOA& info) {
  LVITEMA& lv = info.item;
  TListItem* item = (lv.mask & LVIF_PARAM) && lv.lParam ? reinterpret_cast<TListItem*>(lv.lParam)
                                                         : ItemOfIndex(lv.iItem);
  if (item && Items()->IndexOf(item) < 0) item = nullptr;
  if (!item) return;
  TPTShListData* data = ItemData(item);
  if ((lv.mask & LVIF_TEXT) && lv.pszText && lv.cchTextMax > 0) {
    int sub = lv.iSubItem;
    if (sub == 0) {
      if (item->Caption().empty() && data) SetCaptionQuietly(item, data->GetDisplayName());
      CopyCut(item->Caption(), lv.pszText, lv.cchTextMax);
    } else if (sub > item->SubItems()->Count()) {
      CopyCut(String(), lv.pszText, lv.cchTextMax);
    } else {
      String text = item->SubItems()->Get(sub - 1);
      if (text.empty() && data) text = data->GetColText(sub);
      CopyCut(text, lv.pszText, lv.cchTextMax);
    }
  }
  if ((lv.mask & LVIF_IMAGE) && lv.iSubItem == 0) {
    GetImageIndex(item);
    if (item->ImageIndex() < 1 && data)
      lv.iImage = ShellGetIconIndex(data->GetAbsoluteIdList(), SHGFI_SMALLICON);
    else
      lv.iImage = item->ImageIndex();
  }
}

void TPTCustomShellList::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_NOTIFY: {
      auto* nm = reinterpret_cast<NMHDR*>(msg.LParam);
      switch (nm->code) {
        case LVN_GETDISPINFOA:
          msg.Result = 0;
          DisplayInfo(*reinterpret_cast<NMLVDISPINFOA*>(nm));
          return;
        case LVN_BEGINDRAG:
        case LVN_BEGINRDRAG:
          if (options_.Contains(ptsloOleDrag)) {
            SetBeginDragFlag(true);
            msg.Result = 0;
            OleBeginDrag(nm->code == LVN_BEGINDRAG ? mbLeft : mbRight);
            return;
          }
          TPTCustomListView::Dispatch(msg);
          return;
        default:
          TPTCustomListView::Dispatch(msg);
          return;
      }
    }
    case AM_CHANGENOTIFY:
      AMChangeNotify();
      return;
    case AM_DEFERREDFILL:
      if (Items()->Count() == 0) FillItems();
      return;
    case AM_DEFERREDEDIT:
      AMDeferredEdit();
      return;
    case WM_GETISHELLBROWSER: {
      // The process's shell instance, borrowed; none under Wine.
      msg.Result = 0;
      TComPtr<IUnknown> explorer;
      if (SUCCEEDED(SHGetInstanceExplorer(explorer.Put())) && explorer)
        if (auto browser = explorer.As<IShellBrowser>(IID_IShellBrowser)) msg.Result = reinterpret_cast<LRESULT>(browser.Get());
      return;
    }
    case WM_INITMENUPOPUP:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_MENUCHAR:
    case WM_MENUSELECT:
      MenuMessage(msg);
      return;
    case WM_RBUTTONUP:
      if (rightDragMark_) {
        DefaultHandler(msg);
        return;
      }
      TPTCustomListView::Dispatch(msg);
      return;
    case CM_WANTSPECIALKEY:
      if (IsEditing()) {
        msg.Result = 1;
        return;
      }
      if (msg.WParam == VK_RETURN) {
        TPTShListData* data = GetSelectedItem();
        msg.Result = data && data->IsFolder() ? 1 : 0;
        return;
      }
      msg.Result = 0;
      return;
    case WM_DESTROY:
      // A window destroyed from outside the control.
      WindowGoing();
      TPTCustomListView::Dispatch(msg);
      return;
    default:
      TPTCustomListView::Dispatch(msg);
  }
}

// ================================================================ the tree

TPTCustomShellTree::TPTCustomShellTree(TComponent* owner) : TPTCustomTreeView(owner) {
  PTShellControlsStartup();
  refreshTimer_ = std::make_unique<TPTShTimer>();
  refreshTimer_->OnTimer = {this, &TPTCustomShellTree::TimerElapsed};
  baseFolder_ = std::make_unique<TPTShellLocator>();
  baseFolder_->OnChange = {this, &TPTCustomShellTree::BaseFolderChanged};
  selectedFolder_ = std::make_unique<TPTShellLocator>();
  selectedFolder_->OnChange = {this, &TPTCustomShellTree::SelectedFolderChanged};
  SetShowRoot(false);
  images_.reset(new TImageList(nullptr));
  images_->SetShareImages(true);
  images_->SetHandle(ShellGetSystemImageList(ptsizSmall));
  SetImages(images_.get());
  PTDeviceChangeHandler()->Add({this, &TPTCustomShellTree::DeviceChangeDetected});
}

TPTCustomShellTree::~TPTCustomShellTree() {
  PTDeviceChangeHandler()->Remove({this, &TPTCustomShellTree::DeviceChangeDetected});
  refreshTimer_->Stop();
  if (HandleAllocated()) WindowGoing();
  if (dropTarget_) {
    dropTarget_->ClearHandler();
    dropTarget_->Release();
    dropTarget_ = nullptr;
  }
  delete changeThread_;
  changeThread_ = nullptr;
  if (shellList_ && shellList_->ShellTree() == this) shellList_->SetShellTree(nullptr);
  {
    auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
    Items()->Clear();
  }
  if (HandleAllocated()) DestroyHandle();
  SetImages(nullptr);
  images_.reset();
  baseFolder_->OnChange = nullptr;
  selectedFolder_->OnChange = nullptr;
  PTShellControlsShutdown();
}

// -------- links and options

bool TPTCustomShellTree::DisableDragDropStyle() const {
  return !options_.Contains(ptstoOleDrag) && DragMode() != dmAutomatic;
}

void TPTCustomShellTree::SetOptions(TPTShellTreeOptions value) {
  TPTShellTreeOptions old = options_;
  options_ = value;
  if (IsLoading() || !HandleAllocated()) return;
  if (old.Contains(ptstoOleDrop) != value.Contains(ptstoOleDrop)) {
    if (value.Contains(ptstoOleDrop))
      RegisterDropTarget();
    else
      RevokeDropTarget();
  }
  PTShSetStyleBits(handle_, TVS_DISABLEDRAGDROP, DisableDragDropStyle());
  if (old.Contains(ptstoDynamicRefresh) != value.Contains(ptstoDynamicRefresh) && !IsDesigning()) {
    if (value.Contains(ptstoDynamicRefresh))
      InstallChangeHandlersForAllLocalDrives();
    else if (changeThread_)
      changeThread_->RemoveAllWatches();
  }
}

void TPTCustomShellTree::SetShellList(TPTCustomShellList* list) {
  if (list == shellList_) return;
  if (shellList_) {
    if (shellList_->ShellTree() == this) shellList_->SetShellTree(nullptr);
    RemoveFreeNotification(shellList_);
  }
  shellList_ = list;
  if (!list) return;
  list->SetShellTree(this);
  FreeNotification(list);
  list->Folder()->Assign(selectedFolder_.get());
}

void TPTCustomShellTree::SetShellCombo(TPTShellComboLink* combo) {
  if (combo == shellCombo_) return;
  if (shellCombo_) RemoveFreeNotification(shellCombo_->ComboComponent());
  shellCombo_ = combo;
  if (combo) FreeNotification(combo->ComboComponent());
}

void TPTCustomShellTree::Notification(TComponent* component, TOperation operation) {
  TPTCustomTreeView::Notification(component, operation);
  if (operation != opRemove) return;
  if (shellList_ && component == shellList_) shellList_ = nullptr;
  if (shellCombo_ && component == shellCombo_->ComboComponent()) shellCombo_ = nullptr;
}

void TPTCustomShellTree::SetBaseFolder(TPTShellLocator* value) { baseFolder_->Assign(value); }

void TPTCustomShellTree::SetSelectedFolder(TPTShellLocator* value) {
  if ((IsLoading() || syncDepth_ > 0) && shellList_)
    shellList_->Folder()->Assign(value);
  else
    selectedFolder_->Assign(value);
}

void TPTCustomShellTree::BaseFolderChanged(TObject*) {
  if (IsLoading()) return;
  {
    auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
    selectedFolder_->Clear();
  }
  if (options_.Contains(ptstoAutoFill)) {
    syncNow_ = true;
    FillItems();
  }
}

void TPTCustomShellTree::SelectedFolderChanged(TObject*) {
  if (Items()->Count() > 0) DoSetSelectedIdList(selectedFolder_->GetIdList());
}

// -------- window

void TPTCustomShellTree::CreateParams(TCreateParams& params) {
  TPTCustomTreeView::CreateParams(params);
  if (DisableDragDropStyle()) params.Style |= TVS_DISABLEDRAGDROP;
}

void TPTCustomShellTree::CreateWnd() {
  TPTCustomTreeView::CreateWnd();
  if (!IsDesigning() && options_.Contains(ptstoOleDrop)) RegisterDropTarget();
  if (!IsLoading() && options_.Contains(ptstoAutoFill) && Items()->Count() == 0)
    PostMessageA(handle_, AM_DEFERREDFILL, 0, 0);
  // Nodes filled before the window: their drives are watched from now on.
  if (Items()->Count() > 0 && options_.Contains(ptstoDynamicRefresh) && !IsDesigning())
    InstallChangeHandlersForAllLocalDrives();
}

void TPTCustomShellTree::DestroyWnd() {
  auto destroying = SetForScope(inDestroyWnd_, true);
  {
    auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
    SetSelected(nullptr);
    auto update = ItemsUpdate(Items());
    Items()->Clear();
  }
  WindowGoing();
  TPTCustomTreeView::DestroyWnd();
}

void TPTCustomShellTree::WindowGoing() {
  refreshTimer_->Stop();
  RevokeDropTarget();
  auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
  delete changeThread_;
  changeThread_ = nullptr;
}

void TPTCustomShellTree::RegisterDropTarget() {
  if (dropTarget_ || !HandleAllocated()) return;
  dropTarget_ = new TPTForwardingDropTarget(this);
  if (FAILED(RegisterDragDrop(handle_, dropTarget_))) {
    dropTarget_->ClearHandler();
    dropTarget_->Release();
    dropTarget_ = nullptr;
  }
}

void TPTCustomShellTree::RevokeDropTarget() {
  if (!dropTarget_) return;
  if (HandleAllocated()) RevokeDragDrop(handle_);
  dropTarget_->ClearHandler();
  dropTarget_->Release();
  dropTarget_ = nullptr;
}

void TPTCustomShellTree::Loaded() {
  if (options_.Contains(ptstoAutoFill) && !shellCombo_) {
    if (Items()->Count() == 0) FillItems();
    if (shellList_) shellList_->Folder()->Assign(selectedFolder_.get());
  }
  loaded_ = true;
  auto loading = SetForScope(inLoaded_, true);
  TPTCustomTreeView::Loaded();
}

// -------- filling

SHCONTF TPTCustomShellTree::EnumFlags() const {
  SHCONTF flags = SHCONTF_FOLDERS;
  if (options_.Contains(ptstoIncludeNonFolders)) flags |= SHCONTF_NONFOLDERS;
  if (options_.Contains(ptstoShowHidden)) flags |= SHCONTF_INCLUDEHIDDEN;
  return flags;
}

void TPTCustomShellTree::FillItems() {
  if (MustWait()) {
    refreshPending_ = true;
    return;
  }
  {
    TCursorGuard cursor;
    {
      auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
      SetSelected(nullptr);
      Items()->Clear();
    }
    TComPtr<IShellFolder> root;
    OleCheck(ShellGetFolderFromIdList(baseFolder_->GetIdList(), root));
    if (!root) OleCheck(E_NOINTERFACE);
    FillTree(root.Get(), nullptr);
    if (IsEmptyPidl(selectedFolder_->GetIdList())) {
      if (TTreeNode* first = Items()->GetFirstNode()) {
        SetSelected(first);
        // Without a window no selection change is reported.
        if (!HandleAllocated() && syncNow_) UpdateLinked(first);
      }
    } else {
      DoSetSelectedIdList(selectedFolder_->GetIdList());
    }
    Synchronize(false);
  }
  if (options_.Contains(ptstoDynamicRefresh) && !IsDesigning()) InstallChangeHandlersForAllLocalDrives();
}

void TPTCustomShellTree::FillTree(IShellFolder* folder, TTreeNode* parentNode) {
  FillStart();
  auto quiet = CriticalErrorsOff();
  TFinally complete([this] { FillComplete(); });

  TTreeNode* node = parentNode;
  bool freshTop = false;
  if (!parentNode) {
    LPCITEMIDLIST base = baseFolder_->GetIdList();
    TPidl pidl = CopyIdList(nullptr, base);
    auto* data = new TPTShTreeData(this);
    data->SetData(nullptr, IsEmptyPidl(base) ? nullptr : pidl.get());
    data->SetThisIShf(folder);
    data_.insert(data);
    String text = ShellGetFriendlyNameForLastIdListElement(pidl.get());
    try {
      node = Items()->AddObject(nullptr, text, data);
    } catch (...) {
      data_.erase(data);
      delete data;
      throw;
    }
    node->SetImageIndex(ShellGetIconIndex(pidl.get(), SHGFI_SMALLICON));
    node->SetSelectedIndex(ShellGetIconIndex(pidl.get(), SHGFI_SMALLICON | SHGFI_OPENICON));
    DoOnInsertItem(node);
    freshTop = true;
  }
  TPTShTreeData* nodeData = NodeData(node);
  LPCITEMIDLIST parentAbs = nodeData ? nodeData->GetAbsPidl() : nullptr;

  TComPtr<IEnumIDList> items;
  if (FAILED(folder->EnumObjects(GetParentHWND(), EnumFlags(), items.Put())) || !items) {
    // Tried again at the next expansion (a drive without a medium).
    node->SetHasChildren(true);
    return;
  }
  HRESULT hr;
  for (;;) {
    LPITEMIDLIST item = nullptr;
    ULONG count = 0;
    hr = items->Next(1, &item, &count);
    if (hr != S_OK || count == 0) {
      if (item) ShellMemFree(item);
      break;
    }
    TPidl holder(item);
    // A child that cannot be asked about is left out; its siblings stay.
    AddNewShellNode(folder, parentAbs, node, item);
  }
  if (node->Count() == 0) node->SetHasChildren(false);
  if (hr != S_OK && hr != S_FALSE && hr != kNoMoreItems && hr != E_FAIL) OleCheck(hr);
  SortNode(node);
  if (freshTop) node->Expand(false);
}

HRESULT TPTCustomShellTree::AddNewShellNode(IShellFolder* folder, LPCITEMIDLIST parentAbs, TTreeNode* parentNode,
                                            LPCITEMIDLIST rel) {
  if (!rel) return S_OK;
  SFGAOF attributes = 0xF20B0000;
  HRESULT hr = folder->GetAttributesOf(1, &rel, &attributes);
  if (FAILED(hr)) return hr;
  if (!options_.Contains(ptstoVirtualFolders) && !(attributes & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR)))
    return S_OK;
  if (!CanAdd(folder, parentAbs, attributes, rel)) return S_OK;
  String text = ShellGetFriendlyNameFromIdList(folder, rel, ptfnInFolder);
  auto* data = new TPTShTreeData(this);
  data->SetData(NodeData(parentNode), rel);
  data_.insert(data);
  TTreeNode* node;
  try {
    node = Items()->AddChildObject(parentNode, text, data);
  } catch (...) {
    data_.erase(data);
    delete data;
    throw;
  }
  bool button = options_.Contains(ptstoIncludeNonFolders)
                    ? (attributes & (SFGAO_FOLDER | SFGAO_HASSUBFOLDER)) != 0
                    : (attributes & (SFGAO_FOLDER | SFGAO_HASSUBFOLDER)) == (SFGAO_FOLDER | SFGAO_HASSUBFOLDER);
  node->SetHasChildren(button);
  if (attributes & SFGAO_SHARE)
    node->SetOverlayIndex(0);
  else if (attributes & SFGAO_LINK)
    node->SetOverlayIndex(1);
  if (attributes & SFGAO_HIDDEN) node->SetCut(true);
  DoOnInsertItem(node);
  return S_OK;
}

bool TPTCustomShellTree::CanAdd(IShellFolder* folder, LPCITEMIDLIST parentAbs, SFGAOF attributes,
                                LPCITEMIDLIST itemRel) {
  bool allow = true;
  if (OnAddItem) OnAddItem(this, folder, parentAbs, itemRel, attributes, allow);
  return allow;
}

void TPTCustomShellTree::DoOnInsertItem(TTreeNode* node) {
  lastInsertedNode_ = node;
  if (OnInsertItem) OnInsertItem(this, node);
}

void TPTCustomShellTree::Delete(TTreeNode* node) {
  if (TPTShTreeData* data = NodeData(node)) {
    if (OnDeleteItem) OnDeleteItem(this, node, data);
    node->SetData(nullptr);
    data_.erase(data);
    delete data;
  }
  if (node == lastInsertedNode_) lastInsertedNode_ = nullptr;
  if (node == dropNode_) dropNode_ = nullptr;
  if (node == dragNode_) dragNode_ = nullptr;
  if (node == targetNode_) {
    targetNode_ = nullptr;
    nodeTarget_.Reset();
  }
  TPTCustomTreeView::Delete(node);
}

void TPTCustomShellTree::FillStart() {
  if (OnFillStart) OnFillStart(this);
}

void TPTCustomShellTree::FillComplete() {
  if (OnFillComplete) OnFillComplete(this);
}

// -------- nodes

TPTShTreeData* TPTCustomShellTree::NodeData(TTreeNode* node) const {
  if (!node) return nullptr;
  auto* data = static_cast<TPTShTreeData*>(node->Data());
  return data && data_.count(data) ? data : nullptr;
}

TPTShTreeData* TPTCustomShellTree::GetSelectedItem() { return NodeData(Selected()); }

TPTShTreeData* TPTCustomShellTree::GetShTreeData(int index) { return NodeData(Items()->Item(index)); }

TTreeNode* TPTCustomShellTree::GetFirstRootLevelShellNode() {
  for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->GetNextSibling())
    if (NodeData(n)) return n;
  return nullptr;
}

TTreeNode* TPTCustomShellTree::FindNodeWithIdList(TTreeNode* parent, LPCITEMIDLIST rel) {
  if (!parent) return GetFirstRootLevelShellNode();
  TPTShTreeData* parentData = NodeData(parent);
  IShellFolder* folder = parentData ? parentData->GetThisIShf() : nullptr;
  if (!folder || !rel) return nullptr;
  for (int i = 0; i < parent->Count(); ++i) {
    TTreeNode* child = parent->Item(i);
    TPTShTreeData* data = NodeData(child);
    if (!data || !data->RelPidl()) continue;
    HRESULT hr = folder->CompareIDs(0, data->RelPidl(), rel);
    if (SUCCEEDED(hr) && CompareResult(hr) == 0) return child;
  }
  return nullptr;
}

void TPTCustomShellTree::SortNode(TTreeNode* node) {
  TViewCompare compare = [](LPARAM a, LPARAM b, LPARAM self) -> int {
    auto* tree = reinterpret_cast<TPTCustomShellTree*>(self);
    TPTShTreeData* da = tree->NodeData(reinterpret_cast<TTreeNode*>(a));
    TPTShTreeData* db = tree->NodeData(reinterpret_cast<TTreeNode*>(b));
    if (!da || !db) return 0;
    IShellFolder* folder = da->GetParentIShf();
    if (!folder || !da->RelPidl() || !db->RelPidl()) return 0;
    return CompareResult(folder->CompareIDs(0, da->RelPidl(), db->RelPidl()));
  };
  if (node)
    node->CustomSort(compare, reinterpret_cast<LPARAM>(this));
  else
    CustomSort(compare, reinterpret_cast<LPARAM>(this));
}

void TPTCustomShellTree::GetImageIndex(TTreeNode* node) {
  if (TPTShTreeData* data = NodeData(node); data && node->ImageIndex() == 0)
    node->SetImageIndex(ShellGetIconIndex(data->GetAbsPidl(), SHGFI_SMALLICON));
  TPTCustomTreeView::GetImageIndex(node);
}

void TPTCustomShellTree::GetSelectedIndex(TTreeNode* node) {
  if (TPTShTreeData* data = NodeData(node); data && node->SelectedIndex() == 0)
    node->SetSelectedIndex(ShellGetIconIndex(data->GetAbsPidl(), SHGFI_SMALLICON | SHGFI_OPENICON));
  TPTCustomTreeView::GetSelectedIndex(node);
}

bool TPTCustomShellTree::CanExpand(TTreeNode* node) {
  if (inLoaded_) return false;
  if (!TPTCustomTreeView::CanExpand(node)) return false;
  ExpandNode(node);
  return true;
}

void TPTCustomShellTree::ExpandNode(TTreeNode* node) {
  TPTShTreeData* data = NodeData(node);
  if (!data || !node->HasChildren() || node->Count() > 0) return;
  IShellFolder* folder = data->GetThisIShf();
  if (!folder) return;
  TCursorGuard cursor;
  FillTree(folder, node);
}

// -------- in step

HWND TPTCustomShellTree::GetParentHWND() { return noOwnerWindow_ > 0 ? nullptr : PTShTopFormWindow(this); }

String TPTCustomShellTree::GetSelectedPathName() {
  TPTShTreeData* data = GetSelectedItem();
  return data ? data->GetPathName() : String();
}

void TPTCustomShellTree::SetSelectedPathName(const String& path) {
  if (syncDepth_ < 1) selectedFolder_->SetPathName(path);
}

void TPTCustomShellTree::UpdateLinked(TTreeNode* node) {
  TPTShTreeData* data = NodeData(node);
  if (!data) return;
  auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
  selectedFolder_->SetIdList(data->GetAbsPidl());
  if (shellList_) shellList_->TreeChanged(node);
  if (shellCombo_) shellCombo_->TreeChanged(node);
  syncNow_ = false;
}

void TPTCustomShellTree::Change(TTreeNode* node) {
  if (syncDepth_ >= 1 || IsLoading()) {
    if (TPTShTreeData* data = NodeData(node)) {
      auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
      selectedFolder_->SetIdList(data->GetAbsPidl());
    }
    return;
  }
  TPTCustomTreeView::Change(node);
  if (!NodeData(node)) return;
  if (!syncNow_ && shellList_) {
    refreshTimer_->Tag = 1;
    refreshTimer_->Start(500);
    return;
  }
  UpdateLinked(node);
}

void TPTCustomShellTree::TimerElapsed(TObject*) {
  refreshTimer_->Stop();
  intptr_t tag = refreshTimer_->Tag;
  refreshTimer_->Tag = 0;
  if (tag == 1)
    UpdateLinked(Selected());
  else if (tag == 2)
    RefreshNodes();
}

void TPTCustomShellTree::Synchronize(bool all) {
  if (all) {
    if (shellList_) shellList_->Synchronize(false);
    if (shellCombo_) shellCombo_->Synchronize(false);
  }
  if (refreshTimer_->Enabled()) TimerElapsed(refreshTimer_.get());
}

void TPTCustomShellTree::GoUp(int levels) {
  TTreeNode* node = Selected();
  if (!node) return;
  for (int i = 0; i < levels && node->Parent(); ++i) node = node->Parent();
  syncNow_ = true;
  SetSelected(node);
  if (!HandleAllocated()) UpdateLinked(node);
}

void TPTCustomShellTree::DoSetSelectedIdList(LPCITEMIDLIST idList) {
  if (syncDepth_ > 0) return;
  syncNow_ = true;
  TTreeNode* last = nullptr;
  {
    auto update = ItemsUpdate(Items());
    TTreeNode* top = GetFirstRootLevelShellNode();
    if (!top) return;
    TPTIdListArray baseChain(baseFolder_->GetIdList());
    TPTIdListArray chain(idList);
    int baseCount = baseChain.GetCount();
    int count = chain.GetCount();
    if (IsEmptyPidl(idList)) {
      last = top;
    } else if (count <= baseCount) {
      last = top;
      ExpandNode(top);
      top->Expand(false);
    } else {
      bool expandLast = shellList_ && shellList_->Options().Contains(ptsloHideFoldersWhenLinkedToTree);
      TTreeNode* node = top;
      ExpandNode(node);
      node->Expand(false);
      for (int level = baseCount; level < count; ++level) {
        LPCITEMIDLIST rel = chain.GetItem(level);
        TTreeNode* child = FindNodeWithIdList(node, rel);
        if (!child) {
          TPTShTreeData* data = NodeData(node);
          IShellFolder* folder = data ? data->GetThisIShf() : nullptr;
          lastInsertedNode_ = nullptr;
          HRESULT hr = folder ? AddNewShellNode(folder, data->GetAbsPidl(), node, rel) : E_FAIL;
          if (FAILED(hr) || !lastInsertedNode_ || lastInsertedNode_->Parent() != node) {
            MessageBeep(static_cast<UINT>(-1));
            break;
          }
          child = lastInsertedNode_;
        }
        node = child;
        if (level < count - 1 || expandLast) {
          ExpandNode(node);
          node->Expand(false);
        }
      }
      last = node;
    }
    SetSelected(last);
  }
  if (!last) return;
  if (syncNow_) {
    // No selection change was reported: without a window the linked
    // controls follow here; with one the node was selected already.
    if (!HandleAllocated())
      UpdateLinked(last);
    else
      syncNow_ = false;
  }
  last->MakeVisible();
}

// -------- refresh

void TPTCustomShellTree::RefreshNode(TTreeNode* node, TTreeNode*& reselect, TTreeNode*& remembered) {
  if (node->HasChildren() && node->Count() == 0) return;
  TPTShTreeData* data = NodeData(node);
  IShellFolder* folder = data ? data->GetThisIShf() : nullptr;
  if (!folder) return;
  TPTPidlList present;
  present.Duplicates = dupAccept;
  present.SetShellFolder(folder);
  for (int i = 0; i < node->Count(); ++i)
    if (TPTShTreeData* d = NodeData(node->Item(i)); d && d->RelPidl())
      present.AddObject(const_cast<LPITEMIDLIST>(d->RelPidl()), node->Item(i));
  present.SetSorted(true);
  TPTPidlList now;
  now.Malloc = ShellIMalloc();
  now.Duplicates = dupAccept;
  {
    auto quiet = CriticalErrorsOff();
    TComPtr<IEnumIDList> items;
    if (FAILED(folder->EnumObjects(nullptr, EnumFlags(), items.Put())) || !items) return;
    for (;;) {
      LPITEMIDLIST item = nullptr;
      ULONG count = 0;
      if (items->Next(1, &item, &count) != S_OK || count == 0) {
        if (item) ShellMemFree(item);
        break;
      }
      now.Add(item);
    }
  }
  for (int i = now.Count() - 1; i >= 0; --i) {
    int at = 0;
    if (present.BinarySearch(now.PIDL(i), at)) {
      present.Delete(at);
      now.Delete(i);
    }
  }
  for (int i = 0; i < present.Count(); ++i) {
    auto* child = static_cast<TTreeNode*>(present.Objects(i));
    if (remembered && (remembered == child || remembered->HasAsParent(child))) {
      // The selection goes with the child: its parent takes it.
      remembered = nullptr;
      reselect = node;
    }
    child->Delete();
  }
  bool added = false;
  for (int i = 0; i < now.Count(); ++i) {
    int before = node->Count();
    if (SUCCEEDED(AddNewShellNode(folder, data->GetAbsPidl(), node, now.PIDL(i))) && node->Count() > before)
      added = true;
  }
  if (added) SortNode(node);
  for (int i = 0; i < node->Count(); ++i) RefreshNode(node->Item(i), reselect, remembered);
}

void TPTCustomShellTree::RefreshNodes() {
  if (MustWait()) {
    refreshPending_ = true;
    return;
  }
  if (Items()->Count() == 0) {
    FillItems();
    return;
  }
  TCursorGuard cursor;
  FillStart();
  TFinally complete([this] { FillComplete(); });
  TTreeNode* remembered = Selected();
  TTreeNode* reselect = remembered;
  {
    auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
    SetSelected(nullptr);
    auto update = ItemsUpdate(Items());
    for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->GetNextSibling()) RefreshNode(n, reselect, remembered);
  }
  if (reselect) {
    syncNow_ = true;
    SetSelected(reselect);
    if (!HandleAllocated()) UpdateLinked(reselect);
  }
}

// -------- change watching

void TPTCustomShellTree::InstallChangeHandlersForAllLocalDrives() {
  if (!HandleAllocated()) return;
  if (!changeThread_)
    changeThread_ = new TChangeHandlerThread(handle_, AM_CHANGENOTIFY);
  else
    changeThread_->RemoveAllWatches();
  DWORD drives = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(drives & (1u << i))) continue;
    char letter = static_cast<char>('A' + i);
    String root = String(1, letter) + ":\\";
    UINT type = GetDriveTypeA(root.c_str());
    if (type == DRIVE_FIXED || type == DRIVE_RAMDISK || (type == DRIVE_REMOTE && IsNetworkDriveConnected(letter)))
      InstallChangeHandler(root);
  }
}

void TPTCustomShellTree::InstallChangeHandler(const String& path) {
  if (!HandleAllocated()) return;
  if (!changeThread_) changeThread_ = new TChangeHandlerThread(handle_, AM_CHANGENOTIFY);
  if (path.empty()) {
    changeThread_->RemoveAllWatches();
    return;
  }
  String drive = ExtractFileDrive(path);
  if (drive.empty()) return;
  DWORD filter = FILE_NOTIFY_CHANGE_DIR_NAME;
  if (options_.Contains(ptstoIncludeNonFolders)) filter |= FILE_NOTIFY_CHANGE_FILE_NAME;
  int slot = -1;
  changeThread_->AddWatch(EnsureTrailingCharDB(drive, '\\'), filter, slot, true);
}

void TPTCustomShellTree::AMChangeNotify() {
  if (skipNextChange_) {
    skipNextChange_ = false;
    return;
  }
  // A change while a menu or a drag is up is refreshed once that ends.
  if (busy_) {
    refreshPending_ = true;
    return;
  }
  refreshTimer_->Tag = 2;
  refreshTimer_->Start(Focused() ? 400 : 2000);
}

void TPTCustomShellTree::DeviceChangeDetected(TObject*, TMessage& msg) {
  if (msg.WParam != DBT_DEVICEARRIVAL && msg.WParam != DBT_DEVICEREMOVECOMPLETE) return;
  FlushDriveInfoCache();
  {
    LockFlushDriveInfoCache();
    TFinally unlock([] { UnlockFlushDriveInfoCache(); });
    RefreshNodes();
  }
  // A drive that arrived is watched too.
  if (msg.WParam == DBT_DEVICEARRIVAL && options_.Contains(ptstoDynamicRefresh) && !IsDesigning())
    InstallChangeHandlersForAllLocalDrives();
}

// -------- drag and drop

// -------- drag and drop

TComPtr<IDropSource> TPTCustomShellTree::CreateIDropSource(TMouseButton button, IDataObject*) {
  return TComPtr<IDropSource>(new TDropSource_shlvtv(button));
}

void TPTCustomShellTree::OleBeginDrag(TTreeNode* node, TMouseButton button) {
  if (busy_ || dragNode_ || !node) return;
  dragNode_ = node;
  SetDropNode(node);
  TPTShTreeData* data = NodeData(node);
  // The top node cannot be dragged.
  if (data && node->Parent()) {
    {
      auto busy = BusyForScope(busy_, refreshPending_);
      TComPtr<IDataObject> object = TPTShellDataObject::ForTreeData(data);
      DWORD allowed = GetDragDropAttributesForNode(node);
      TComPtr<IDropSource> source = CreateIDropSource(button, object.Get());
      DWORD effect = DROPEFFECT_NONE;
      if (object && source) DoDragDrop(object.Get(), source.Get(), allowed, &effect);
    }
    // A folder moved away meanwhile goes now.
    if (refreshPending_) {
      refreshPending_ = false;
      RefreshNodes();
    }
  }
  dragNode_ = nullptr;
  SetDropNode(nullptr);
}

TTreeNode* TPTCustomShellTree::DropNodeAt(POINTL pt) {
  TPoint client = ScreenToClient(TPoint(pt.x, pt.y));
  TTreeNode* node = GetNodeAt(client.x, client.y);
  return NodeData(node) ? node : nullptr;
}

IDropTarget* TPTCustomShellTree::NodeDropTarget(TTreeNode* node) {
  if (node != targetNode_) {
    nodeTarget_.Reset();
    targetNode_ = node;
    if (TPTShTreeData* data = NodeData(node))
      if (FAILED(data->GetIDropTarget(GetParentHWND(), nodeTarget_))) nodeTarget_.Reset();
  }
  return nodeTarget_.Get();
}

void TPTCustomShellTree::SetDropNode(TTreeNode* node) {
  if (node == dropNode_ || !HandleAllocated()) return;
  dropNode_ = node;
  SendMessageA(handle_, TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(node ? node->ItemId() : nullptr));
}

void TPTCustomShellTree::DropDone() {
  SetDropNode(dragNode_);
  dropData_.Reset();
  nodeTarget_.Reset();
  targetNode_ = nullptr;
}

void TPTCustomShellTree::DoDropTargetAutoscroll(POINTL pt) {
  if (!HandleAllocated()) return;
  DWORD now = PTShClock()->TickCount();
  TPoint client = ScreenToClient(TPoint(pt.x, pt.y));
  if (now - scrollTime_ >= kDropScrollInterval && ScrollTowardsEdge(handle_, client)) {
    scrollTime_ = now;
    hoverTime_ = now;
  }
  const TPTDragHover& hover = DragHoverValues();
  bool inside = std::abs(pt.x - hoverPoint_.x) <= static_cast<LONG>(hover.Width / 2) &&
                std::abs(pt.y - hoverPoint_.y) <= static_cast<LONG>(hover.Height / 2);
  if (!inside) {
    hoverPoint_ = POINT{pt.x, pt.y};
    hoverTime_ = now;
    return;
  }
  if (now - hoverTime_ <= hover.Time) return;
  TPoint at = ScreenToClient(TPoint(hoverPoint_.x, hoverPoint_.y));
  if (TTreeNode* node = GetNodeAt(at.x, at.y)) {
    // No shell box may come up in the middle of a drag.
    auto quiet = SetForScope(noOwnerWindow_, noOwnerWindow_ + 1);
    ExpandNode(node);
    node->Expand(false);
  }
  hoverPoint_ = POINT{pt.x, pt.y};
  hoverTime_ = now;
}

HRESULT TPTCustomShellTree::OnDropTarget_DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD& effect) {
  DWORD allowed = effect;
  effect = DROPEFFECT_NONE;
  dropData_ = TComPtr<IDataObject>::Share(data);
  dropKeys_ = keyState;
  scrollTime_ = hoverTime_ = PTShClock()->TickCount();
  hoverPoint_ = POINT{pt.x, pt.y};
  TTreeNode* node = DropNodeAt(pt);
  SetDropNode(node);
  if (IDropTarget* target = NodeDropTarget(node)) {
    DWORD asked = allowed;
    if (SUCCEEDED(target->DragEnter(data, keyState, pt, &asked))) effect = asked & allowed;
    target->DragLeave();
  }
  return S_OK;
}

HRESULT TPTCustomShellTree::OnDropTarget_DragOver(DWORD keyState, POINTL pt, DWORD& effect) {
  DWORD allowed = effect;
  effect = DROPEFFECT_NONE;
  dropKeys_ = keyState;
  TTreeNode* was = dropNode_;
  TTreeNode* node = DropNodeAt(pt);
  SetDropNode(node);
  if (IDropTarget* target = NodeDropTarget(node); target && dropData_) {
    DWORD asked = allowed;
    if (SUCCEEDED(target->DragEnter(dropData_.Get(), keyState, pt, &asked))) {
      asked = allowed;
      if (SUCCEEDED(target->DragOver(keyState, pt, &asked))) effect = asked & allowed;
    }
    target->DragLeave();
  }
  DoDropTargetAutoscroll(pt);
  effect |= DROPEFFECT_SCROLL;
  if (dropNode_ != was && HandleAllocated()) UpdateWindow(handle_);
  return S_OK;
}

HRESULT TPTCustomShellTree::OnDropTarget_DragLeave() {
  DropDone();
  return S_OK;
}

HRESULT TPTCustomShellTree::OnDropTarget_Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD& effect) {
  TFinally done([this] { DropDone(); });
  DWORD allowed = effect;
  effect = DROPEFFECT_NONE;
  IDropTarget* target = NodeDropTarget(DropNodeAt(pt));
  if (!target || !data) return S_OK;
  TComPtr<IDropTarget> hold = TComPtr<IDropTarget>::Share(target);
  keyState |= dropKeys_ & kMouseButtons;
  DWORD chosen = allowed;
  if (FAILED(target->DragEnter(data, keyState, pt, &chosen))) chosen = DROPEFFECT_NONE;
  chosen = allowed;
  if (FAILED(target->DragOver(keyState, pt, &chosen))) chosen = DROPEFFECT_NONE;
  chosen &= allowed & PTShAllowedDropEffects(data);
  TCursorGuard cursor;
  if (chosen == DROPEFFECT_NONE) {
    target->DragLeave();
    return S_OK;
  }
  effect = chosen;
  if (FAILED(target->Drop(data, keyState, pt, &effect))) effect = DROPEFFECT_NONE;
  effect &= chosen;
  return S_OK;
}

// -------- interaction

bool TPTCustomShellTree::MustWait() const { return busy_ || (!endingEdit_ && IsEditing()); }

DWORD TPTCustomShellTree::GetDragDropAttributesForNode(TTreeNode* node) {
  const DWORD all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  TPTShTreeData* data = NodeData(node);
  LPCITEMIDLIST item = nullptr;
  IShellFolder* folder = data ? data->ItemFolder(item) : nullptr;
  if (!folder || !item) return all;
  SFGAOF attributes = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
  if (FAILED(folder->GetAttributesOf(1, &item, &attributes))) return all;
  return attributes & all;
}

void TPTCustomShellTree::DoCommandForNode(TTreeNode* node, const String& verb) {
  TPTShTreeData* data = NodeData(node);
  if (!data || !node->Parent()) return;
  LPCITEMIDLIST item = nullptr;
  IShellFolder* folder = data->ItemFolder(item);
  if (!folder || !item) OleCheck(E_FAIL);
  TComPtr<IContextMenu> menu;
  OleCheck(folder->GetUIObjectOf(GetParentHWND(), 1, &item, IID_IContextMenu, nullptr, menu.PutVoid()));
  if (!menu) OleCheck(E_NOINTERFACE);
  ShellInvokeVerb(GetParentHWND(), menu.Get(), verb);
  RefreshNodes();
}

void TPTCustomShellTree::ProcessSendTo(TTreeNode* node, int index) {
  const std::vector<TPTSendToEntry>& entries = PTShSendToList();
  TPTShTreeData* data = NodeData(node);
  if (!data || index < 0 || static_cast<size_t>(index) >= entries.size()) return;
  String entry = entries[static_cast<size_t>(index)].Name;
  TComPtr<IDataObject> object = TPTShellDataObject::ForTreeData(data);
  PTShSendTo(entry, object.Get());
}

void TPTCustomShellTree::ProcessMenu(TTreeNode* node, const TPoint& screenPos) {
  TPTShTreeData* data = NodeData(node);
  // Not for the desktop's top node.
  if (!data || IsEmptyPidl(data->GetAbsPidl())) return;
  LPCITEMIDLIST item = nullptr;
  IShellFolder* folder = data->ItemFolder(item);
  if (!folder || !item) return;
  UINT flags = CMF_EXPLORE | (ReadOnly() ? 0 : CMF_CANRENAME);
  TComPtr<IContextMenu> menu;
  HMENU popup = nullptr;
  if (FAILED(ShellGetContextMenu(GetParentHWND(), folder, 1, &item, kFirstShellCommand, flags, menu, popup))) return;
  auto guard = PopupForScope(popup);
  {
    auto busy = BusyForScope(busy_, refreshPending_);
    TFinally drop([this] { menuHandler_.Reset(); });
    menuHandler_ = menu;
    UINT chosen = PTShTrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, screenPos.x, screenPos.y,
                                     HandleAllocated() ? handle_ : nullptr);
    if (chosen >= 1 && chosen < kFirstShellCommand) {
      ProcessSendTo(node, static_cast<int>(chosen) - 1);
    } else if (chosen >= kFirstShellCommand) {
      UINT offset = chosen - kFirstShellCommand;
      if (IsRenameCommand(menu.Get(), offset)) {
        node->EditText();
      } else {
        ShellInvokeCommand(GetParentHWND(), menu.Get(), offset);
        RefreshNodes();
      }
    }
  }
  if (refreshPending_) {
    refreshPending_ = false;
    RefreshNodes();
  }
}

void TPTCustomShellTree::NodeContextMenu(TTreeNode* node, TPoint& pos, TPopupMenu*& menu) {
  TPTCustomTreeView::NodeContextMenu(node, pos, menu);
  if (!options_.Contains(ptstoContextMenus) || IsDesigning() || !node) return;
  menu = nullptr;
  ProcessMenu(node, ClientToScreen(pos));
}

void TPTCustomShellTree::MenuMessage(TMessage& msg) {
  TPTCustomTreeView::Dispatch(msg);
  if (!menuHandler_) return;
  if (msg.Msg == WM_MENUSELECT) {
    if (OnPopupHint) OnPopupHint(this, PTShMenuSelectHint(menuHandler_.Get(), msg.WParam, msg.LParam));
    return;
  }
  if (msg.Msg == WM_DRAWITEM && reinterpret_cast<DRAWITEMSTRUCT*>(msg.LParam)->CtlType != ODT_MENU) return;
  if (msg.Msg == WM_MEASUREITEM && reinterpret_cast<MEASUREITEMSTRUCT*>(msg.LParam)->CtlType != ODT_MENU) return;
  PTShMenuMessage(menuHandler_.Get(), msg);
}

void TPTCustomShellTree::KeyDown(WORD& key, TShiftState shift) {
  if (key && options_.Contains(ptstoDefaultKeyHandling) && !IsEditing() && !IsDesigning()) {
    TShortCut pressed = ShortCut(key, shift);
    WORD given = key;
    key = 0;
    TTreeNode* selected = Selected();
    if (pressed == PTShKeyShortCut(ptkEdit)) {
      if (selected) selected->EditText();
    } else if (pressed == PTShKeyShortCut(ptkRefresh)) {
      RefreshNodes();
    } else if (pressed == PTShKeyShortCut(ptkCut)) {
      DoCommandForNode(selected, "cut");
    } else if (pressed == PTShKeyShortCut(ptkCopy)) {
      DoCommandForNode(selected, "copy");
    } else if (pressed == PTShKeyShortCut(ptkPaste)) {
      // Into the node's folder, through that folder's own menu.
      if (TPTShTreeData* data = NodeData(selected)) {
        InvokeBackgroundVerb(GetParentHWND(), data->GetThisIShf(), "paste");
        RefreshNodes();
      }
    } else if (pressed == PTShKeyShortCut(ptkDelete) || pressed == (PTShKeyShortCut(ptkDelete) | scShift)) {
      DoCommandForNode(selected, "delete");
    } else {
      key = given;
    }
  }
  if (key) TPTCustomTreeView::KeyDown(key, shift);
}

void TPTCustomShellTree::ScrollByWheel(int delta) {
  if (!HandleAllocated() || delta == 0) return;
  bool down = delta < 0;
  DragScroll(handle_, SB_VERT, down ? SB_LINEDOWN : SB_LINEUP, down ? SB_PAGEDOWN : SB_PAGEUP);
}

bool TPTCustomShellTree::DoMouseWheel(TShiftState shift, int delta, TPoint mousePos) {
  if (TPTCustomTreeView::DoMouseWheel(shift, delta, mousePos)) return true;
  TControl* under = TControl::FindControl(WindowFromPoint(POINT{mousePos.x, mousePos.y}));
  if (under && under != this) {
    if (auto* list = dynamic_cast<TPTCustomShellList*>(under)) return list->DoMouseWheel(shift, delta, mousePos);
    if (auto* tree = dynamic_cast<TPTCustomShellTree*>(under)) return tree->DoMouseWheel(shift, delta, mousePos);
  }
  ScrollByWheel(delta);
  return true;
}

// -------- rename and new folders

bool TPTCustomShellTree::CanEdit(TTreeNode* node) {
  TPTShTreeData* data = NodeData(node);
  if (!data) return TPTCustomTreeView::CanEdit(node);
  if (IsDesigning() || !data->GetEditable() || !TPTCustomTreeView::CanEdit(node)) return false;
  if (HWND edit = reinterpret_cast<HWND>(SendMessageA(handle_, TVM_GETEDITCONTROL, 0, 0))) {
    LPCITEMIDLIST item = nullptr;
    IShellFolder* folder = data->ItemFolder(item);
    String name = folder && item ? ShellGetFriendlyNameFromIdList(folder, item, ptfnForEditing) : String();
    if (!name.empty()) SetWindowTextA(edit, name.c_str());
  }
  return true;
}

void TPTCustomShellTree::Edit(const TVITEMA& tvItem) {
  TTreeNode* node = tvItem.lParam ? reinterpret_cast<TTreeNode*>(tvItem.lParam) : Items()->GetNode(tvItem.hItem);
  TPTShTreeData* data = NodeData(node);
  if (!data) {
    TPTCustomTreeView::Edit(tvItem);
    return;
  }
  {
    auto ending = SetForScope(endingEdit_, true);
    if (tvItem.pszText) {
      String text = tvItem.pszText;
      if (OnEdited) OnEdited(this, node, text);
      TCursorGuard cursor;
      LPCITEMIDLIST rel = nullptr;
      IShellFolder* folder = data->ItemFolder(rel);
      TComPtr<IShellFolder> parent = TComPtr<IShellFolder>::Share(folder);
      std::wstring wide;
      TPidl renamed;
      HRESULT hr = E_FAIL;
      if (!NameForShell(text, wide)) {
        ShowNameTooLong();
      } else if (parent && rel) {
        bool watching = changeThread_ != nullptr;
        if (watching) skipNextChange_ = true;
        LPITEMIDLIST made = nullptr;
        {
          auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
          hr = parent->SetNameOf(GetParentHWND(), rel, wide.c_str(), SHGDN_INFOLDER | SHGDN_FOREDITING, &made);
        }
        renamed.reset(made);
        if (FAILED(hr) && watching) skipNextChange_ = false;
      }
      if (SUCCEEDED(hr) && renamed) {
        String name = ShellGetFriendlyNameFromIdList(parent.Get(), renamed.get(), ptfnInFolder);
        // The folders below take their new place when next asked.
        for (TTreeNode* n = node->GetNext(); n && n->HasAsParent(node); n = n->GetNext())
          if (TPTShTreeData* d = NodeData(n)) d->Flush();
        data->SetRelPidl(renamed.get());
        node->SetText(name);
        SortNode(node->Parent());
        // The folder shown moved when it is this one or lies below it.
        TTreeNode* selected = Selected();
        TPTShTreeData* shown = NodeData(selected);
        if (shown && (selected == node || selected->HasAsParent(node))) {
          TPidl abs = CopyIdList(nullptr, shown->GetAbsPidl());
          auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
          selectedFolder_->SetIdList(abs.get());
          if (shellList_) shellList_->Folder()->SetIdList(abs.get());
          if (shellCombo_) shellCombo_->GetSelectedFolder()->SetIdList(abs.get());
        }
      } else if (parent && rel) {
        // Refused or kept: the old name again.
        node->SetText(ShellGetFriendlyNameFromIdList(parent.Get(), rel, ptfnInFolder));
      }
    }
    // The refresh asked for while the editor was open.
    if (refreshPending_ && !busy_) {
      refreshPending_ = false;
      RefreshNodes();
    }
  }
}

bool TPTCustomShellTree::CreateNewFolder(bool edit) {
  TTreeNode* node = Selected();
  TPTShTreeData* data = NodeData(node);
  String path = data ? data->GetPathName() : String();
  if (path.empty()) return false;
  String made;
  if (!PTShCreateNewFolder(path, made)) return false;
  // The change notice of the new folder is not a refresh of its own.
  if (changeThread_) skipNextChange_ = true;
  PTShBusyPause(IsEmptyPidl(selectedFolder_->GetIdList()) ? 2100 : 1000);
  RefreshNodes();
  node = Selected();
  if (!node) return true;
  ExpandNode(node);
  node->Expand(false);
  if (edit) {
    String name = ExtractFileName(made);
    for (int i = 0; i < node->Count(); ++i)
      if (node->Item(i)->Text() == name) {
        node->Item(i)->MakeVisible();
        node->Item(i)->EditText();
        break;
      }
  }
  return true;
}

// -------- drawing and messages

TPTCustomDraw* TPTCustomShellTree::PTCustomDraw(const NMCUSTOMDRAW& record, LRESULT& result) {
  bool isItem = (record.dwDrawStage & CDDS_ITEM) != 0;
  bool itemPrePaint = record.dwDrawStage == CDDS_ITEMPREPAINT;
  if (record.dwDrawStage & CDDS_PREPAINT) result |= CDRF_NOTIFYITEMDRAW;
  if (!OnPTCustomDraw && !(OnPTCustomDrawEx && itemPrePaint) && !OnCustomDrawShEx && !(OnCustomDrawSh && itemPrePaint))
    return nullptr;
  TTreeNode* node = isItem ? Items()->GetNode(reinterpret_cast<HTREEITEM>(record.dwItemSpec)) : nullptr;
  TPTCustomDraw* cd = CreateCustomDraw(record, result);
  if (OnPTCustomDraw) OnPTCustomDraw(this, cd, node);
  if (OnPTCustomDrawEx && itemPrePaint) OnPTCustomDrawEx(this, cd, node);
  PTCustomDrawSh(cd, node, NodeData(node));
  cd->Apply();
  if (record.dwDrawStage & CDDS_PREPAINT) result |= CDRF_NOTIFYITEMDRAW;
  return cd;
}

void TPTCustomShellTree::PTCustomDrawSh(TPTCustomDraw* cd, TTreeNode* node, TPTShTreeData* data) {
  if (OnCustomDrawShEx) OnCustomDrawShEx(this, cd, node, data);
  if (OnCustomDrawSh && cd->RawDrawStage() == CDDS_ITEMPREPAINT) OnCustomDrawSh(this, cd, node, data);
}

void TPTCustomShellTree::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_NOTIFY: {
      auto* nm = reinterpret_cast<NMHDR*>(msg.LParam);
      if (nm->code == NM_CLICK) syncNow_ = true;
      bool drag = nm->code == TVN_BEGINDRAGA || nm->code == TVN_BEGINDRAGW;
      bool rdrag = nm->code == TVN_BEGINRDRAGA || nm->code == TVN_BEGINRDRAGW;
      if ((drag || rdrag) && options_.Contains(ptstoOleDrag)) {
        // The item's handle lies at the same place in both forms.
        HTREEITEM item = reinterpret_cast<NMTREEVIEWA*>(nm)->itemNew.hItem;
        msg.Result = 0;
        OleBeginDrag(Items()->GetNode(item), drag ? mbLeft : mbRight);
        return;
      }
      TPTCustomTreeView::Dispatch(msg);
      return;
    }
    case AM_CHANGENOTIFY:
      AMChangeNotify();
      return;
    case AM_DEFERREDFILL:
      if (Items()->Count() == 0) FillItems();
      return;
    case TVM_DELETEITEM:
      if (!msg.LParam || reinterpret_cast<HTREEITEM>(msg.LParam) == TVI_ROOT) {
        auto sync = SetForScope(syncDepth_, syncDepth_ + 1);
        TPTCustomTreeView::Dispatch(msg);
        return;
      }
      TPTCustomTreeView::Dispatch(msg);
      return;
    case WM_PAINT: {
      if (inDestroyWnd_) {
        TPTCustomTreeView::Dispatch(msg);
        return;
      }
      // The images are drawn on the tree's own colour.
      COLORREF colour = ColorToRGB(Color());
      HIMAGELIST normal = Images() ? Images()->Handle() : nullptr;
      HIMAGELIST state = StateImages() ? StateImages()->Handle() : nullptr;
      COLORREF oldNormal = normal ? ImageList_SetBkColor(normal, colour) : CLR_NONE;
      COLORREF oldState = state ? ImageList_SetBkColor(state, colour) : CLR_NONE;
      TFinally restore([=] {
        if (normal) ImageList_SetBkColor(normal, oldNormal);
        if (state) ImageList_SetBkColor(state, oldState);
      });
      TPTCustomTreeView::Dispatch(msg);
      return;
    }
    case WM_INITMENUPOPUP:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_MENUCHAR:
    case WM_MENUSELECT:
      MenuMessage(msg);
      return;
    case WM_DESTROY:
      WindowGoing();
      TPTCustomTreeView::Dispatch(msg);
      return;
    default:
      TPTCustomTreeView::Dispatch(msg);
  }
}
