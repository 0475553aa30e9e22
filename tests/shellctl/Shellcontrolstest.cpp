#include "Shellcontrolstest.h"

void TManualClock::Advance(DWORD ms) {
  DWORD end = now_ + ms;
  for (;;) {
    TPTShTimer* next = nullptr;
    DWORD when = end;
    for (const auto& [timer, due] : due_)
      if (due <= when) {
        next = timer;
        when = due;
      }
    if (!next) break;
    now_ = when;
    due_.erase(next);
    next->Fire();
  }
  now_ = end;
}

TScopedDirectoryCols::TScopedDirectoryCols(const std::string& bytes) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kDirectoryColsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  if (bytes.empty())
    RegDeleteValueA(key, kDirectoryColsValue);
  else
    RegSetValueExA(key, kDirectoryColsValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  PTShColumnStateStream()->Clear();
}

TScopedDirectoryCols::~TScopedDirectoryCols() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kDirectoryColsKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, kDirectoryColsValue);
    RegCloseKey(key);
  }
  PTShColumnStateStream()->Clear();
}

TScopedExceptionHook::TScopedExceptionHook() {
  previous_ = Application->OnException;
  Application->OnException = [this](TObject*, Exception& e) { Messages.push_back(e.Message); };
}

TScopedExceptionHook::~TScopedExceptionHook() { Application->OnException = previous_; }

TShellForm::TShellForm(TKind kind, const String& caption, bool dynamicRefresh) : TForm(Application) {
  SetCaption(caption);
  SetBounds(60, 40, 720, 420);
  if (kind != kList) {
    Tree = new TPTShellTree(this);
    Tree->SetParent(this);
    Tree->SetBounds(0, 0, 160, 380);
    if (kind == kPane) Tree->SetAlign(alLeft);
    Tree->SetHideSelection(false);
    TPTShellTreeOptions o = Tree->Options();
    if (!dynamicRefresh) o >> ptstoDynamicRefresh;
    Tree->SetOptions(o);
    Tree->OnFillStart = {this, &TShellForm::TreeFill};
  }
  if (kind != kTree) {
    List = new TPTShellList(this);
    List->SetParent(this);
    List->SetBounds(kind == kPane ? 163 : 0, 0, 540, 380);
    if (kind == kPane) List->SetAlign(alClient);
    List->SetViewStyle(vsReport);
    List->SetMultiSelect(true);
    List->SetHideSelection(false);
    TPTShellListOptions o = List->Options();
    if (!dynamicRefresh) o >> ptsloDynamicRefresh;
    List->SetOptions(o);
    List->OnFillStart = {this, &TShellForm::ListFill};
  }
  EndLoading();
}

String ItemText(TPTCustomShellList* list, int item, int subItem) {
  char buffer[520] = {};
  LVITEMA it{};
  it.iSubItem = subItem;
  it.pszText = buffer;
  it.cchTextMax = sizeof buffer;
  SendMessageA(list->Handle(), LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&it));
  return String(it.pszText);
}

String DispText(TPTCustomShellList* list, int item, int subItem, int bufferSize) {
  std::string buffer(static_cast<size_t>(bufferSize) + 16, '\x7F');
  NMLVDISPINFOA info{};
  info.hdr.hwndFrom = list->Handle();
  info.hdr.code = LVN_GETDISPINFOA;
  info.item.mask = LVIF_TEXT;
  info.item.iItem = item;
  info.item.iSubItem = subItem;
  info.item.pszText = buffer.data();
  info.item.cchTextMax = bufferSize;
  list->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  for (size_t i = static_cast<size_t>(bufferSize); i < buffer.size(); ++i)
    EXPECT_EQ(buffer[i], '\x7F') << "written past the buffer of " << bufferSize << " at " << i;
  return bufferSize > 0 ? String(buffer.c_str()) : String();
}

std::vector<String> Captions(TPTCustomShellList* list) {
  std::vector<String> out;
  int n = static_cast<int>(SendMessageA(list->Handle(), LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) out.push_back(ItemText(list, i, 0));
  return out;
}

std::set<String> CaptionSet(TPTCustomShellList* list) {
  auto v = Captions(list);
  return std::set<String>(v.begin(), v.end());
}

UINT ItemState(TPTCustomShellList* list, int item, UINT mask) {
  return static_cast<UINT>(SendMessageA(list->Handle(), LVM_GETITEMSTATE, item, mask));
}

int IndexOfCaption(TPTCustomShellList* list, const String& caption) {
  auto v = Captions(list);
  for (size_t i = 0; i < v.size(); ++i)
    if (v[i] == caption) return static_cast<int>(i);
  return -1;
}

std::vector<String> ChildTexts(TTreeNode* node) {
  std::vector<String> out;
  for (int i = 0; node && i < node->Count(); ++i) out.push_back(node->Item(i)->Text());
  return out;
}

TTreeNode* ChildByText(TTreeNode* node, const String& text) {
  for (int i = 0; node && i < node->Count(); ++i)
    if (SameText(node->Item(i)->Text(), text)) return node->Item(i);
  return nullptr;
}

bool HasButton(TPTCustomShellTree* tree, TTreeNode* node) {
  TVITEMA it{};
  it.mask = TVIF_CHILDREN | TVIF_HANDLE;
  it.hItem = node->ItemId();
  SendMessageA(tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  return it.cChildren != 0;
}

void MakeFile(const String& path, const String& data, bool hidden) {
  WriteFileBytes(path, data);
  if (hidden) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
}


HRESULT STDMETHODCALLTYPE TFakeEnum::QueryInterface(REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumIDList)) {
    *out = static_cast<IEnumIDList*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TFakeEnum::Release() {
  LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

HRESULT STDMETHODCALLTYPE TFakeEnum::Next(ULONG count, LPITEMIDLIST* items, ULONG* fetched) {
  if (fetched) *fetched = 0;
  if (count == 0) return S_OK;
  if (next_ >= items_.size()) return end_;
  const std::string& bytes = items_[next_++];
  items[0] = static_cast<LPITEMIDLIST>(ShellMemAlloc(bytes.size()));
  std::memcpy(items[0], bytes.data(), bytes.size());
  if (fetched) *fetched = 1;
  return S_OK;
}

TDesktopWrapper::TDesktopWrapper() {
  SHGetDesktopFolder(real_.Put());
  TComPtr<IEnumIDList> items;
  if (FAILED(real_->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, items.Put())) ||
      !items)
    return;
  LPITEMIDLIST item = nullptr;
  ULONG n = 0;
  while (items->Next(1, &item, &n) == S_OK && n == 1) {
    TPidl holder(item);
    Children[ShellGetFriendlyNameFromIdList(real_.Get(), item, ptfnInFolder)] = BytesOf(item);
  }
}

HRESULT STDMETHODCALLTYPE TDesktopWrapper::EnumObjects(HWND owner, SHCONTF flags, IEnumIDList** out) {
  if (Listed.empty()) return real_->EnumObjects(owner, flags, out);
  *out = new TFakeEnum(Listed, S_FALSE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TDesktopWrapper::BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx* bc, REFIID iid,
                                                        void** out) {
  auto it = Bound.find(BytesOf(pidl));
  if (it != Bound.end()) return it->second->QueryInterface(iid, out);
  // A file-system folder's list carries its times: the same path counts.
  String path = ShellGetPathFromIdList(pidl);
  for (const auto& [bytes, folder] : Bound)
    if (!path.empty() && SameText(ShellGetPathFromIdList(AsPidl(bytes)), path)) return folder->QueryInterface(iid, out);
  return real_->BindToObject(pidl, bc, iid, out);
}

HRESULT STDMETHODCALLTYPE TDesktopWrapper::GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items,
                                                           SFGAOF* attributes) {
  for (UINT i = 0; i < count; ++i)
    if (FailingAttributes.count(BytesOf(items[i]))) return E_FAIL;
  return real_->GetAttributesOf(count, items, attributes);
}

HRESULT STDMETHODCALLTYPE TEnumFolder::EnumObjects(HWND, SHCONTF, IEnumIDList** out) {
  ++Enumerations;
  *out = nullptr;
  if (FAILED(EnumResult)) return EnumResult;
  *out = new TFakeEnum({}, End);
  return S_OK;
}
