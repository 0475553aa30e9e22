#include "Uptshitemdata.h"

#include <cstring>

#include "shellctl/Uptshconsts.h"

namespace {

bool IsEmptyIdList(LPCITEMIDLIST pidl) { return !pidl || pidl->mkid.cb == 0; }

// The error mode with SEM_FAILCRITICALERRORS for a scope (no "insert a disk"
// box from the system).
class TCriticalErrorsOff {
 public:
  explicit TCriticalErrorsOff(bool add) : old_(SetErrorMode(0)) {
    SetErrorMode(add ? old_ | SEM_FAILCRITICALERRORS : SEM_FAILCRITICALERRORS);
  }
  ~TCriticalErrorsOff() { SetErrorMode(old_); }
  TCriticalErrorsOff(const TCriticalErrorsOff&) = delete;
  TCriticalErrorsOff& operator=(const TCriticalErrorsOff&) = delete;

 private:
  UINT old_;
};

SFGAOF AskAttributes(IShellFolder* folder, LPCITEMIDLIST item, SFGAOF request) {
  if (!folder || !item) return 0;
  SFGAOF attributes = request;
  if (FAILED(folder->GetAttributesOf(1, &item, &attributes))) return 0;
  return attributes;
}

HRESULT DesktopDirectoryIdList(TPidl& pidl) {
  return ShellGetIdListFromPath(ShellGetSpecialFolderPath(nullptr, csidlDesktop), pidl);
}

}  // namespace

HRESULT SplitAbsoluteIdList(LPCITEMIDLIST pidl, TComPtr<IShellFolder>& parentFolder, TPidl& parentPidl,
                            TPidl& lastItem) {
  parentFolder.Reset();
  parentPidl.reset();
  lastItem.reset();
  TPidl desktopDir;
  if (IsEmptyIdList(pidl)) {
    HRESULT hr = DesktopDirectoryIdList(desktopDir);
    if (FAILED(hr)) return hr;
    pidl = desktopDir.get();
  }
  TPTIdListArray items(pidl);
  int count = items.GetCount();
  lastItem = CopyIdList(nullptr, items.GetItem(count - 1));
  if (!lastItem) return E_OUTOFMEMORY;
  if (count == 1) return ShellGetDesktopFolder(parentFolder);
  parentPidl = CopyIdList(nullptr, items.GoUp(1));
  if (!parentPidl) return E_OUTOFMEMORY;
  return ShellGetFolderFromIdList(parentPidl.get(), parentFolder);
}

SFGAOF AttributeRequestFor(const String& path, SFGAOF mask) {
  if (path.size() <= 3) return mask;
  if (IsDBCSLeadByte(static_cast<BYTE>(path[0])) && path[1] == ':') return mask;
  String root = IncludeTrailingBackslash(ExtractFileDrive(path));
  if (GetDriveTypeW(StringToWide(root).c_str()) == DRIVE_REMOVABLE) mask &= ~SFGAO_READONLY;
  return mask;
}

// ---------------------------------------------------------------- tree

void TPTShTreeData::SetData(TPTShTreeData* parent, LPCITEMIDLIST pidl) {
  parent_ = parent;
  thisFolder_.Reset();
  parentFolder_.Reset();
  rootItem_.reset();
  absPidl_.reset();
  absMade_ = false;
  if (parent) {
    relPidl_ = CopyIdList(nullptr, pidl);
    return;
  }
  TPTIdListArray items(pidl);
  int count = items.GetCount();
  relPidl_ = CopyIdList(nullptr, count > 0 ? items.GetItem(count - 1) : pidl);
  absPidl_ = CopyIdList(nullptr, pidl);
  absMade_ = true;
}

void TPTShTreeData::SetRelPidl(LPCITEMIDLIST pidl) {
  thisFolder_.Reset();
  parentFolder_.Reset();
  rootItem_.reset();
  relPidl_ = CopyIdList(nullptr, pidl);
  if (!parent_) {
    // A root's new last item takes the place of the old one.
    TPTIdListArray items(absPidl_.get());
    LPCITEMIDLIST above = items.GetCount() > 1 ? items.GoUp(1) : nullptr;
    absPidl_ = ConcatIdLists(nullptr, above, pidl);
    absMade_ = true;
    return;
  }
  absPidl_.reset();
  absMade_ = false;
  GetAbsPidl();
}

void TPTShTreeData::Flush() {
  // A root's PIDL is its own: only a child's is remade from its parent.
  if (parent_) {
    absPidl_.reset();
    absMade_ = false;
  }
  thisFolder_.Reset();
}

void TPTShTreeData::SetThisIShf(IShellFolder* folder) { thisFolder_ = TComPtr<IShellFolder>::Share(folder); }

LPCITEMIDLIST TPTShTreeData::GetAbsPidl() {
  if (absMade_) return absPidl_.get();
  if (parent_)
    absPidl_ = ConcatIdLists(nullptr, parent_->GetAbsPidl(), relPidl_.get());
  else
    absPidl_ = CopyIdList(nullptr, relPidl_.get());
  absMade_ = absPidl_ != nullptr || !relPidl_;
  return absPidl_.get();
}

String TPTShTreeData::GetPathName() {
  LPCITEMIDLIST abs = GetAbsPidl();
  return abs ? ShellGetPathFromIdList(abs) : String();
}

IShellFolder* TPTShTreeData::GetParentIShf() {
  if (parent_) return parent_->GetThisIShf();
  if (!parentFolder_) {
    TPidl parentPidl;
    if (FAILED(SplitAbsoluteIdList(GetAbsPidl(), parentFolder_, parentPidl, rootItem_))) {
      parentFolder_.Reset();
      rootItem_.reset();
    }
  }
  return parentFolder_.Get();
}

IShellFolder* TPTShTreeData::GetThisIShf() {
  if (thisFolder_) return thisFolder_.Get();
  LPCITEMIDLIST abs = GetAbsPidl();
  if (IsEmptyIdList(abs)) {
    if (FAILED(ShellGetDesktopFolder(thisFolder_))) thisFolder_.Reset();
    return thisFolder_.Get();
  }
  LPCITEMIDLIST item = nullptr;
  IShellFolder* parent = ItemFolder(item);
  if (parent && item && FAILED(parent->BindToObject(item, nullptr, IID_IShellFolder, thisFolder_.PutVoid())))
    thisFolder_.Reset();
  return thisFolder_.Get();
}

IShellFolder* TPTShTreeData::ItemFolder(LPCITEMIDLIST& item) {
  IShellFolder* folder = GetParentIShf();
  item = parent_ ? relPidl_.get() : rootItem_.get();
  return folder;
}

SFGAOF TPTShTreeData::GetAttributes() {
  LPCITEMIDLIST item = nullptr;
  IShellFolder* folder = ItemFolder(item);
  return AskAttributes(folder, item, AttributeRequestFor(GetPathName(), kTreeAttributeMask));
}

bool TPTShTreeData::GetEditable() {
  if (!parent_ || IsEmptyIdList(GetAbsPidl())) return false;
  LPCITEMIDLIST item = nullptr;
  IShellFolder* folder = ItemFolder(item);
  return (AskAttributes(folder, item, kTreeEditableMask) & SFGAO_CANRENAME) != 0;
}

HRESULT TPTShTreeData::GetIDropTarget(HWND owner, TComPtr<IDropTarget>& target) {
  target.Reset();
  LPCITEMIDLIST item = nullptr;
  IShellFolder* folder = ItemFolder(item);
  if (!folder || !item) return E_FAIL;
  return folder->GetUIObjectOf(owner, 1, &item, IID_IDropTarget, nullptr, target.PutVoid());
}

bool TPTShTreeData::IsRootDir() {
  String path = GetPathName();
  return (path.size() == 2 || path.size() == 3) && !IsDBCSLeadByte(static_cast<BYTE>(path[0])) && path[1] == ':';
}

// ---------------------------------------------------------------- list

void TPTShListData::SetData(TPidl relPidl) {
  relPidl_ = std::move(relPidl);
  Flush();
}

void TPTShListData::Flush() {
  absPidl_.reset();
  displayName_.clear();
  displayNameMade_ = false;
  extraLoaded_ = false;
}

LPCITEMIDLIST TPTShListData::GetAbsoluteIdList() {
  if (!absPidl_) absPidl_ = ConcatIdLists(nullptr, owner_->FolderIdList(), relPidl_.get());
  return absPidl_.get();
}

SFGAOF TPTShListData::GetAttributes() {
  return AskAttributes(owner_->FolderShf(), relPidl_.get(), AttributeRequestFor(GetPathName(), kListAttributeMask));
}

bool TPTShListData::IsValid() {
  IShellFolder* folder = owner_->FolderShf();
  LPCITEMIDLIST item = relPidl_.get();
  if (!folder || !item) return false;
  SFGAOF attributes = SFGAO_VALIDATE;
  return SUCCEEDED(folder->GetAttributesOf(1, &item, &attributes));
}

bool TPTShListData::IsLnkShortcut() { return SameText(ExtractFileExt(GetPathName()), ".lnk"); }

String TPTShListData::GetDisplayName() {
  if (displayNameMade_) return displayName_;
  LPCITEMIDLIST abs = GetAbsoluteIdList();
  if (!abs) return String();
  SHFILEINFOW info{};
  displayName_.clear();
  if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(abs), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_DISPLAYNAME) &&
      !TryWideToString(info.szDisplayName, -1, displayName_))
    displayName_.clear();
  displayNameMade_ = true;
  return displayName_;
}

String TPTShListData::GetFilename() { return ExtractFileName(GetPathName()); }

String TPTShListData::GetPathName() { return ShellGetPathFromIdList(GetAbsoluteIdList()); }

String TPTShListData::GetColText(int column) {
  if (column == 0) return String();
  if (IShellDetails* details = owner_->FolderDetails()) {
    SHELLDETAILS sd{};
    HRESULT hr;
    {
      TCriticalErrorsOff guard(false);
      hr = details->GetDetailsOf(relPidl_.get(), static_cast<UINT>(column), &sd);
    }
    if (FAILED(hr)) return String();
    String text = StrretToString(relPidl_.get(), sd.str);
    StrretFree(sd.str);
    return text;
  }
  switch (column) {
    case 1:
      return GetSize();
    case 2:
      return GetFileType();
    case 3:
      return GetModified();
    default:
      return String();
  }
}

String FormatKBSize(uint64_t bytes) {
  uint64_t kb = bytes / 1024 + (bytes % 1024 ? 1 : 0);
  return Format(PTLoadStr(SFilesizeKB), Format("%.0n", static_cast<double>(kb)));
}

void TPTShListData::GetExtraData() {
  if (extraLoaded_) return;
  size_.clear();
  type_.clear();
  modified_.clear();
  String path = GetPathName();
  if (path.size() > 3) {
    TCriticalErrorsOff guard(true);
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(StringToWide(path).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        size_ = FormatKBSize(uint64_t{found.nFileSizeHigh} << 32 | found.nFileSizeLow);
      FILETIME written = found.ftLastWriteTime;
      if (written.dwLowDateTime == 0 && written.dwHighDateTime == 0) written = found.ftCreationTime;
      FILETIME local{};
      SYSTEMTIME st{};
      if (FileTimeToLocalFileTime(&written, &local) && FileTimeToSystemTime(&local, &st))
        modified_ = FormatDateTime("ddddd t", SystemTimeToDateTime(st));
      FindClose(search);
    }
  }
  if (GetAttributes() & SFGAO_FILESYSTEM) {
    SHFILEINFOW info{};
    LPCITEMIDLIST abs = GetAbsoluteIdList();
    if (abs && SHGetFileInfoW(reinterpret_cast<LPCWSTR>(abs), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_TYPENAME) &&
        !TryWideToString(info.szTypeName, -1, type_))
      type_.clear();
  } else {
    type_ = PTLoadStr(SSystemFolder);
  }
  extraLoaded_ = true;
}

String TPTShListData::GetSize() {
  GetExtraData();
  return size_;
}

String TPTShListData::GetFileType() {
  GetExtraData();
  return type_;
}

String TPTShListData::GetModified() {
  GetExtraData();
  return modified_;
}

// ---------------------------------------------------------------- combo

void TPTShComboData::SetData(IShellFolder* parentFolder, LPCITEMIDLIST parentAbsPidl, LPCITEMIDLIST relPidl) {
  parentFolder_ = TComPtr<IShellFolder>::Share(parentFolder);
  parentAbsPidl_ = CopyIdList(nullptr, parentAbsPidl);
  relPidl_ = CopyIdList(nullptr, relPidl);
  absPidl_ = ConcatIdLists(nullptr, parentAbsPidl, relPidl);
  thisFolder_.Reset();
}

IShellFolder* TPTShComboData::GetThisIShf() {
  if (thisFolder_) return thisFolder_.Get();
  TComPtr<IShellFolder> folder;
  if (parentFolder_ && !IsEmptyIdList(relPidl_.get()))
    OleCheck(parentFolder_->BindToObject(relPidl_.get(), nullptr, IID_IShellFolder, folder.PutVoid()));
  else
    OleCheck(ShellGetFolderFromIdList(absPidl_.get(), folder));  // the desktop for none
  if (!folder) OleCheck(E_NOINTERFACE);
  thisFolder_ = std::move(folder);
  return thisFolder_.Get();
}
