#include "Uptshellutils.h"

#include "classlib/Controls.h"

#include <lmcons.h>
#include <lmuse.h>
#include <shlguid.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "classlib/Wndclass.h"

namespace {

// The empty list (the desktop), for routines that take nullptr as it.
const USHORT kEmptyIdList = 0;
LPCITEMIDLIST EmptyIdList() { return reinterpret_cast<LPCITEMIDLIST>(&kEmptyIdList); }
LPCITEMIDLIST OrEmpty(LPCITEMIDLIST pidl) { return pidl ? pidl : EmptyIdList(); }

USHORT ItemSize(const BYTE* p) {
  USHORT cb;
  std::memcpy(&cb, p, sizeof cb);
  return cb;
}

const BYTE* Bytes(LPCITEMIDLIST pidl) { return reinterpret_cast<const BYTE*>(pidl); }

// The byte length of the first count items (without the terminator).
UINT ItemsLength(LPCITEMIDLIST pidl, int count) {
  const BYTE* p = Bytes(pidl);
  UINT n = 0;
  for (int i = 0; i < count; ++i) {
    USHORT cb = ItemSize(p + n);
    if (cb == 0) break;
    n += cb;
  }
  return n;
}

// A new list made of len bytes of items and a terminator.
LPITEMIDLIST MakeIdList(IMalloc* malloc, const BYTE* items, UINT len) {
  size_t size = size_t{len} + sizeof(USHORT);
  void* p = malloc ? malloc->Alloc(size) : ShellMemAlloc(size);
  if (!p) return nullptr;
  std::memset(p, 0, size);
  if (len) std::memcpy(p, items, len);
  return static_cast<LPITEMIDLIST>(p);
}

const HRESULT kNoTranslation = HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);

}  // namespace

void OleCheck(HRESULT hr) {
  if (SUCCEEDED(hr)) return;
  String msg = Trim(SysErrorMessage(static_cast<DWORD>(hr)));
  if (msg.empty()) msg = Format("OLE error %.8X", static_cast<unsigned>(hr));
  throw EOleSysError(msg, hr);
}

// ---------------------------------------------------------------- versions

namespace {

std::optional<OSVERSIONINFOA> osOverride;

const OSVERSIONINFOA& SystemOSVersion() {
  static const OSVERSIONINFOA info = [] {
    OSVERSIONINFOA i{};
    i.dwOSVersionInfoSize = sizeof i;
    GetVersionExA(&i);
    return i;
  }();
  return info;
}

}  // namespace

const OSVERSIONINFOA& OSVersionInfo() { return osOverride ? *osOverride : SystemOSVersion(); }

// One value with the class library's version seam.
const TPTModuleVersion& CommonControlsVersion() {
  static TPTModuleVersion record;
  TComCtlVersion v = ComCtlVersion();
  record.VersionMS = MAKELONG(v.Minor, v.Major);
  record.VersionLS = v.VersionLS;
  return record;
}

void SetOSVersionInfoOverride(const OSVERSIONINFOA* info) {
  if (info)
    osOverride = *info;
  else
    osOverride.reset();
}

void SetCommonControlsVersionOverride(const TPTModuleVersion* version) {
  if (!version) {
    ForceComCtlVersion(nullptr);
    return;
  }
  TComCtlVersion v{HIWORD(version->VersionMS), LOWORD(version->VersionMS), version->VersionLS};
  ForceComCtlVersion(&v);
}

bool IsWin95() { return OSVersionInfo().dwPlatformId == VER_PLATFORM_WIN32_WINDOWS; }

// On the Windows 95 family the build number is the low word.
bool IsOSR2OrGreater() { return IsWin95() && LOWORD(OSVersionInfo().dwBuildNumber) > 1000; }

bool IsWinNT() { return OSVersionInfo().dwPlatformId == VER_PLATFORM_WIN32_NT; }

bool IsWin2000() { return IsWinNT() && OSVersionInfo().dwMajorVersion >= 5; }

bool HasWin95Shell() { return IsWin95() || (IsWinNT() && OSVersionInfo().dwMajorVersion >= 4); }

bool GetModuleVersion(const String& fileName, TPTModuleVersion& version) {
  std::wstring name = StringToWide(fileName);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(name.c_str(), &handle);
  if (size == 0) return false;
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(name.c_str(), 0, size, data.data())) return false;
  void* block = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(data.data(), L"\\", &block, &len) || !block || len < sizeof(VS_FIXEDFILEINFO)) return false;
  const auto* info = static_cast<const VS_FIXEDFILEINFO*>(block);
  version.VersionLS = info->dwFileVersionLS;
  version.VersionMS = info->dwFileVersionMS;
  return true;
}

// ---------------------------------------------------------------- memory

namespace {

IMalloc* mallocOverride = nullptr;

IMalloc* TaskAllocator() {
  static IMalloc* const malloc = [] {
    IMalloc* m = nullptr;
    if (FAILED(SHGetMalloc(&m)) || !m) CoGetMalloc(1, &m);
    return m;
  }();
  return malloc;
}

}  // namespace

IMalloc* ShellIMalloc() { return mallocOverride ? mallocOverride : TaskAllocator(); }

IMalloc* SetShellIMalloc(IMalloc* malloc) {
  IMalloc* previous = mallocOverride;
  mallocOverride = malloc;
  return previous;
}

void* ShellMemAlloc(size_t size) { return ShellIMalloc()->Alloc(size); }

void* ShellMemRealloc(void* p, size_t size) { return p ? ShellIMalloc()->Realloc(p, size) : nullptr; }

void ShellMemFree(void* p) {
  if (p) ShellIMalloc()->Free(p);
}

void TPidlDeleter::operator()(ITEMIDLIST* pidl) const {
  if (!pidl) return;
  if (Malloc)
    Malloc->Free(pidl);
  else
    ShellMemFree(pidl);
}

// ---------------------------------------------------------------- PIDL routines

UINT IdListLen(LPCITEMIDLIST pidl) {
  if (!pidl) return 0;
  UINT n = 0;
  const BYTE* p = Bytes(pidl);
  while (USHORT cb = ItemSize(p + n)) n += cb;
  return n + sizeof(USHORT);
}

int IdListCount(LPCITEMIDLIST pidl) {
  if (!pidl) return 0;
  int count = 0;
  const BYTE* p = Bytes(pidl);
  while (USHORT cb = ItemSize(p)) {
    ++count;
    p += cb;
  }
  return count;
}

int CompareAbsIdLists(LPCITEMIDLIST a, LPCITEMIDLIST b) {
  if (!a && !b) return 0;
  if (!a || !b) return -1;
  bool emptyA = a->mkid.cb == 0, emptyB = b->mkid.cb == 0;
  if (emptyA && emptyB) return 0;
  if (emptyA || emptyB) return -1;
  TComPtr<IShellFolder> desktop;
  if (FAILED(ShellGetDesktopFolder(desktop)) || !desktop) return kCompareFailed;
  HRESULT hr = desktop->CompareIDs(0, a, b);
  if (FAILED(hr)) return kCompareFailed;
  return static_cast<short>(HRESULT_CODE(hr));
}

TPidl ConcatIdLists(IMalloc* malloc, LPCITEMIDLIST a, LPCITEMIDLIST b) {
  UINT lenA = a ? IdListLen(a) - sizeof(USHORT) : 0;
  UINT lenB = b ? IdListLen(b) - sizeof(USHORT) : 0;
  size_t size = size_t{lenA} + lenB + sizeof(USHORT);
  void* p = malloc ? malloc->Alloc(size) : ShellMemAlloc(size);
  if (!p) return TPidl(nullptr, TPidlDeleter{malloc});
  auto* bytes = static_cast<BYTE*>(p);
  if (lenA) std::memcpy(bytes, a, lenA);
  if (lenB) std::memcpy(bytes + lenA, b, lenB);
  std::memset(bytes + lenA + lenB, 0, sizeof(USHORT));
  return TPidl(static_cast<LPITEMIDLIST>(p), TPidlDeleter{malloc});
}

TPidl CopyIdList(IMalloc* malloc, LPCITEMIDLIST pidl) {
  if (!pidl) return TPidl(nullptr, TPidlDeleter{malloc});
  return ConcatIdLists(malloc, pidl, nullptr);
}

// ---------------------------------------------------------------- folders, paths

namespace {

TComPtr<IShellFolder>& DesktopOverride() {
  static TComPtr<IShellFolder> folder;
  return folder;
}

// Whether the file-system path of pidl is path (without regard to case or
// a final backslash).
bool NamesPath(LPCITEMIDLIST pidl, const std::wstring& path) {
  std::vector<wchar_t> buf(32768);
  if (!SHGetPathFromIDListEx(pidl, buf.data(), static_cast<DWORD>(buf.size()), GPFIDL_DEFAULT)) return false;
  std::wstring got(buf.data());
  std::wstring want = path;
  while (!got.empty() && got.back() == L'\\') got.pop_back();
  while (!want.empty() && want.back() == L'\\') want.pop_back();
  return CompareStringOrdinal(got.c_str(), static_cast<int>(got.size()), want.c_str(),
                              static_cast<int>(want.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

HRESULT ShellGetDesktopFolder(TComPtr<IShellFolder>& folder) {
  if (DesktopOverride()) {
    folder = DesktopOverride();
    return S_OK;
  }
  return SHGetDesktopFolder(folder.Put());
}

void SetShellDesktopFolder(IShellFolder* folder) { DesktopOverride() = TComPtr<IShellFolder>::Share(folder); }

HRESULT ShellGetFolderFromIdList(LPCITEMIDLIST pidl, TComPtr<IShellFolder>& folder) {
  folder.Reset();
  TComPtr<IShellFolder> desktop;
  HRESULT hr = ShellGetDesktopFolder(desktop);
  if (FAILED(hr)) return hr;
  if (!desktop) return E_FAIL;
  if (!pidl || pidl->mkid.cb == 0) {
    folder = std::move(desktop);
    return S_OK;
  }
  return desktop->BindToObject(pidl, nullptr, IID_IShellFolder, folder.PutVoid());
}

HRESULT ShellGetIdListFromPath(const String& path, TPidl& pidl) {
  pidl.reset();
  try {
    TComPtr<IShellFolder> desktop;
    HRESULT hr = ShellGetDesktopFolder(desktop);
    if (FAILED(hr)) return hr;
    if (!desktop) return E_FAIL;
    std::wstring wide = StringToWide(path);
    std::vector<wchar_t> name(wide.begin(), wide.end());
    name.push_back(L'\0');
    LPITEMIDLIST parsed = nullptr;
    ULONG eaten = 0;
    hr = desktop->ParseDisplayName(nullptr, nullptr, name.data(), &eaten, &parsed, nullptr);
    TPidl result(parsed);
    if (FAILED(hr)) return hr;
    if (!result) return E_FAIL;
    // The shell parses only MAX_PATH characters of a path and may name an
    // item by the first of them: a longer path must come back whole.
    if (wide.size() >= MAX_PATH && !NamesPath(result.get(), wide))
      return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    pidl = std::move(result);
    return hr;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

String ShellGetPathFromIdList(LPCITEMIDLIST pidl) {
  wchar_t buf[MAX_PATH + 1] = {};
  if (!SHGetPathFromIDListW(OrEmpty(pidl), buf)) return String();
  String path;
  if (!TryWideToString(buf, -1, path)) return String();
  return path;
}

String ShellGetDisplayPathName(const String& path) {
  TPidl pidl;
  if (FAILED(ShellGetIdListFromPath(path, pidl))) return String();
  return ShellGetPathFromIdList(pidl.get());
}

String ShellGetSpecialFolderPath(HWND owner, TCSIDL csidl) {
  wchar_t buf[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathW(owner, buf, csidl, FALSE)) return String();
  String path;
  if (!TryWideToString(buf, -1, path)) return String();
  return path;
}

HRESULT ShellGetSpecialFolderIdList(HWND owner, TCSIDL csidl, TPidl& pidl) {
  pidl.reset();
  LPITEMIDLIST out = nullptr;
  HRESULT hr = SHGetSpecialFolderLocation(owner, csidl, &out);
  TPidl result(out);
  if (SUCCEEDED(hr)) pidl = std::move(result);
  return hr;
}

TCSIDL ShellFindCSIDLFromIdList(LPCITEMIDLIST pidl) {
  for (int c = csidlDesktop; c < csidlNone; ++c)
    if (ShellCSIDLEqualsIdList(pidl, static_cast<TCSIDL>(c))) return static_cast<TCSIDL>(c);
  return csidlNone;
}

bool ShellCSIDLEqualsIdList(LPCITEMIDLIST pidl, TCSIDL csidl) {
  TPidl special;
  if (FAILED(ShellGetSpecialFolderIdList(nullptr, csidl, special)) || !special) return false;
  return CompareAbsIdLists(special.get(), pidl) == 0;
}

// ---------------------------------------------------------------- icons

namespace {

int IconIndexOf(const wchar_t* path, DWORD attributes, UINT flags) {
  SHFILEINFOW info{};
  SHGetFileInfoW(path, attributes, &info, sizeof info, flags);
  return info.iIcon;
}

bool overlaysInstalled = false;

HIMAGELIST SystemImageList(UINT sizeFlag) {
  SHFILEINFOW info{};
  return reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | sizeFlag));
}

// shell32's shortcut and share overlays (icons 29 and 30) as overlays 1 and 2
// of both system image lists. They go in through the shell's own icon
// cache: an icon added to the lists behind its back takes a place the
// cache hands out again, and items then show the overlay as their icon.
void InstallOverlays() {
  HIMAGELIST lists[] = {SystemImageList(SHGFI_SMALLICON), SystemImageList(SHGFI_LARGEICON)};
  // Shell_GetCachedImageIndex is exported by ordinal only (72); on the NT
  // platform it takes a wide path.
  using TGetCachedIndex = int(WINAPI*)(const wchar_t* path, int index, UINT flags);
  HMODULE shell = GetModuleHandleW(L"shell32.dll");
  auto getCachedIndex =
      shell ? reinterpret_cast<TGetCachedIndex>(reinterpret_cast<void*>(GetProcAddress(shell, MAKEINTRESOURCEA(72))))
            : nullptr;
  if (!getCachedIndex) return;
  const struct {
    int icon;
    int overlay;
  } overlays[] = {{29, 1}, {30, 2}};
  for (const auto& o : overlays) {
    int index = getCachedIndex(L"shell32.dll", -o.icon, 0);
    if (index < 0) continue;
    for (HIMAGELIST list : lists)
      if (list) ImageList_SetOverlayImage(list, index, o.overlay);
  }
}

}  // namespace

int ShellGetIconIndex(LPCITEMIDLIST pidl, UINT flags) {
  return IconIndexOf(reinterpret_cast<const wchar_t*>(OrEmpty(pidl)), 0, flags | SHGFI_PIDL | SHGFI_SYSICONINDEX);
}

int ShellGetIconIndexFromPath(const String& path, UINT flags) {
  return IconIndexOf(StringToWide(path).c_str(), 0, flags | SHGFI_SYSICONINDEX);
}

int ShellGetIconIndexFromExt(const String& ext, UINT flags) {
  return IconIndexOf(StringToWide(ext).c_str(), FILE_ATTRIBUTE_NORMAL,
                     flags | SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES);
}

int ShellGetSpecialFolderIconIndex(TCSIDL csidl, UINT flags) {
  TPidl pidl;
  if (FAILED(ShellGetSpecialFolderIdList(nullptr, csidl, pidl)) || !pidl) return -1;
  return ShellGetIconIndex(pidl.get(), flags);
}

HIMAGELIST ShellGetSystemImageList(TPTShellIconSize size) {
  if (!overlaysInstalled && IsWinNT() && CommonControlsVersion().VersionMS >= 0x40047) {
    InstallOverlays();
    overlaysInstalled = true;
  }
  return SystemImageList(size);
}

// ---------------------------------------------------------------- names

String ShellGetFriendlyNameFromIdList(IShellFolder* folder, LPCITEMIDLIST pidl, TPTFriendlyNameFlags flags) {
  TComPtr<IShellFolder> f = TComPtr<IShellFolder>::Share(folder);
  if (!f && (FAILED(ShellGetDesktopFolder(f)) || !f)) return String();
  LPCITEMIDLIST item = OrEmpty(pidl);
  STRRET strret{};
  strret.uType = STRRET_CSTR;
  if (FAILED(f->GetDisplayNameOf(item, flags, &strret))) return String();
  String name = StrretToString(item, strret);
  StrretFree(strret);
  return name;
}

String ShellGetFriendlyNameForLastIdListElement(LPCITEMIDLIST pidl) {
  int count = IdListCount(pidl);
  if (count <= 1) return ShellGetFriendlyNameFromIdList(nullptr, pidl, ptfnInFolder);
  UINT parentLen = ItemsLength(pidl, count - 1);
  LPITEMIDLIST parent = MakeIdList(nullptr, Bytes(pidl), parentLen);
  TPidl parentHolder(parent);
  if (!parent) return String();
  TComPtr<IShellFolder> folder;
  if (FAILED(ShellGetFolderFromIdList(parent, folder)) || !folder) return String();
  auto last = reinterpret_cast<LPCITEMIDLIST>(Bytes(pidl) + parentLen);
  return ShellGetFriendlyNameFromIdList(folder.Get(), last, ptfnInFolder);
}

String StrretToString(LPCITEMIDLIST pidl, const STRRET& strret) {
  switch (strret.uType) {
    case STRRET_WSTR: {
      String s;
      if (!strret.pOleStr || !TryWideToString(strret.pOleStr, -1, s)) return String();
      return s;
    }
    case STRRET_OFFSET: {
      if (!pidl) return String();
      const BYTE* p = Bytes(pidl);
      UINT start = 0;
      while (USHORT cb = ItemSize(p + start)) {
        if (strret.uOffset >= start && strret.uOffset < start + cb) {
          const char* text = reinterpret_cast<const char*>(p + strret.uOffset);
          size_t room = start + cb - strret.uOffset;
          return String(text, strnlen(text, room));
        }
        start += cb;
      }
      return String();
    }
    case STRRET_CSTR:
      return String(strret.cStr, strnlen(strret.cStr, sizeof strret.cStr));
    default:
      return String();
  }
}

void StrretFree(const STRRET& strret) {
  if (strret.uType == STRRET_WSTR && strret.pOleStr) CoTaskMemFree(strret.pOleStr);
}

// ---------------------------------------------------------------- double-byte text

namespace {

bool IsLead(UINT codePage, char c) { return IsDBCSLeadByteEx(codePage, static_cast<BYTE>(c)) != 0; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

String EnsureTrailingCharDB(const String& s, char c, UINT codePage) {
  if (s.empty()) return s;
  // Walk the characters: the last one is either double-byte or single.
  size_t i = 0;
  bool lastDouble = false;
  while (i < s.size()) {
    if (IsLead(codePage, s[i]) && i + 1 < s.size()) {
      lastDouble = true;
      i += 2;
    } else {
      lastDouble = false;
      ++i;
    }
  }
  if (!lastDouble && s.back() == c) return s;
  return s + c;
}

String TrimRightDB(const String& s, UINT codePage) {
  size_t i = 0, end = 0;
  while (i < s.size()) {
    if (IsLead(codePage, s[i]) && i + 1 < s.size()) {
      i += 2;
      end = i;
    } else {
      if (!IsBlank(s[i])) end = i + 1;
      ++i;
    }
  }
  return s.substr(0, end);
}

void CopyCharDB(size_t& index, const String& text, String& token, UINT codePage) {
  if (index >= text.size()) return;
  if (IsLead(codePage, text[index]) && index + 1 < text.size()) {
    token.append(text, index, 2);
    index += 2;
  } else {
    token += text[index];
    ++index;
  }
}

void ParametizeCmdLineDB(const String& cmdLine, TStrings* args, UINT codePage) {
  enum { stBetween, stUnquoted, stQuoted } state = stBetween;
  String token;
  auto add = [&] {
    String arg = TrimRightDB(token, codePage);
    if (!arg.empty()) args->Add(arg);
    token.clear();
  };
  size_t i = 0;
  while (i < cmdLine.size()) {
    char c = cmdLine[i];
    bool lead = IsLead(codePage, c);
    switch (state) {
      case stBetween:
        if (!lead && c == '"') {
          state = stQuoted;
          ++i;
        } else if (!lead && IsBlank(c)) {
          ++i;
        } else {
          state = stUnquoted;
          CopyCharDB(i, cmdLine, token, codePage);
        }
        break;
      case stUnquoted:
        if (!lead && (c == '"' || IsBlank(c))) {
          add();
          state = c == '"' ? stQuoted : stBetween;
          ++i;
        } else {
          CopyCharDB(i, cmdLine, token, codePage);
        }
        break;
      case stQuoted:
        if (!lead && c == '"') {
          add();
          state = stBetween;
          ++i;
        } else {
          CopyCharDB(i, cmdLine, token, codePage);
        }
        break;
    }
  }
  add();
}

// ---------------------------------------------------------------- TPTIdListArray

TPTIdListArray::TPTIdListArray(LPCITEMIDLIST pidl) : pidl_(pidl) {}

TPTIdListArray::~TPTIdListArray() { SetResult(nullptr); }

void TPTIdListArray::SetResult(LPITEMIDLIST pidl) {
  ShellMemFree(result_);
  result_ = pidl;
}

int TPTIdListArray::GetCount() const { return IdListCount(pidl_); }

LPCITEMIDLIST TPTIdListArray::GetItem(int index) {
  if (!pidl_ || index < 0) return nullptr;
  int count = GetCount();
  if (count == 0) {
    if (index != 0) return nullptr;
    SetResult(MakeIdList(nullptr, nullptr, 0));
    return result_;
  }
  if (index >= count) return nullptr;
  UINT offset = ItemsLength(pidl_, index);
  const BYTE* item = Bytes(pidl_) + offset;
  SetResult(MakeIdList(nullptr, item, ItemSize(item)));
  return result_;
}

LPCITEMIDLIST TPTIdListArray::GoUp(int levels) {
  int keep = GetCount() - levels;
  if (levels < 0 || keep < 0) return nullptr;
  SetResult(MakeIdList(nullptr, pidl_ ? Bytes(pidl_) : nullptr, pidl_ ? ItemsLength(pidl_, keep) : 0));
  return result_;
}

// ---------------------------------------------------------------- TPTPidlList

int ComparePidlBytes(LPCITEMIDLIST a, LPCITEMIDLIST b) {
  UINT lenA = IdListLen(a), lenB = IdListLen(b);
  UINT n = std::min(lenA, lenB);
  const BYTE* pa = Bytes(a);
  const BYTE* pb = Bytes(b);
  for (UINT i = 0; i < n; ++i)
    if (pa[i] != pb[i]) return int{pa[i]} - int{pb[i]};
  return static_cast<int>(lenA) - static_cast<int>(lenB);
}

TPTPidlList::~TPTPidlList() { Clear(); }

int TPTPidlList::Compare(LPCITEMIDLIST a, LPCITEMIDLIST b) const {
  if (folder_) return static_cast<short>(HRESULT_CODE(folder_->CompareIDs(0, a, b)));
  return ComparePidlBytes(a, b);
}

bool TPTPidlList::BinarySearch(LPCITEMIDLIST pidl, int& index) const {
  bool found = false;
  int low = 0, high = Count() - 1;
  while (low <= high) {
    int middle = (low + high) >> 1;
    int c = Compare(items_[middle].pidl, pidl);
    if (c < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (c == 0) {
        found = true;
        if (Duplicates != dupAccept) low = middle;
      }
    }
  }
  index = low;
  return found;
}

int TPTPidlList::LinearSearch(LPCITEMIDLIST pidl) const {
  for (int i = 0; i < Count(); ++i)
    if (Compare(items_[i].pidl, pidl) == 0) return i;
  return -1;
}

int TPTPidlList::IndexOf(LPCITEMIDLIST pidl) const {
  if (!sorted_) return LinearSearch(pidl);
  int index;
  return BinarySearch(pidl, index) ? index : -1;
}

int TPTPidlList::AddObject(LPITEMIDLIST pidl, TObject* obj) {
  if (!sorted_) {
    items_.push_back({pidl, obj});
    return Count() - 1;
  }
  int index;
  if (BinarySearch(pidl, index)) {
    if (Duplicates == dupIgnore) return index;
    if (Duplicates == dupError) throw Exception("TPTPidlList: Duplicate PIDL");
  }
  items_.insert(items_.begin() + index, TEntry{pidl, obj});
  return index;
}

void TPTPidlList::InsertObject(int index, LPITEMIDLIST pidl, TObject* obj) {
  if (index < 0 || index > Count()) return;
  items_.insert(items_.begin() + index, TEntry{pidl, obj});
}

void TPTPidlList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  if (Malloc && items_[index].pidl) Malloc->Free(items_[index].pidl);
  items_.erase(items_.begin() + index);
}

void TPTPidlList::Clear() {
  if (Malloc)
    for (auto& e : items_)
      if (e.pidl) Malloc->Free(e.pidl);
  items_.clear();
}

void TPTPidlList::Sort() {
  // A merge sort: stable, and bounded whatever the folder's comparison says.
  std::vector<TEntry> buf(items_.size());
  for (size_t width = 1; width < items_.size(); width *= 2) {
    for (size_t lo = 0; lo < items_.size(); lo += 2 * width) {
      size_t mid = std::min(lo + width, items_.size()), hi = std::min(lo + 2 * width, items_.size());
      size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) buf[k++] = Compare(items_[j].pidl, items_[i].pidl) < 0 ? items_[j++] : items_[i++];
      while (i < mid) buf[k++] = items_[i++];
      while (j < hi) buf[k++] = items_[j++];
    }
    items_.swap(buf);
  }
}

LPITEMIDLIST TPTPidlList::PIDL(int index) const {
  return index >= 0 && index < Count() ? items_[index].pidl : nullptr;
}

TObject* TPTPidlList::Objects(int index) const { return index >= 0 && index < Count() ? items_[index].obj : nullptr; }

void TPTPidlList::SetCapacity(int capacity) {
  if (capacity > Capacity()) items_.reserve(static_cast<size_t>(capacity));
}

void TPTPidlList::SetSorted(bool sorted) {
  if (sorted_ == sorted) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

// ---------------------------------------------------------------- TPTShellLocator

LPCITEMIDLIST TPTShellLocator::GetIdList() {
  if (kind_ == kByPidl) return pidl_.get();
  if (kind_ == kByCSIDL && !pidl_) {
    TPidl special;
    if (SUCCEEDED(ShellGetSpecialFolderIdList(nullptr, csidl_, special))) pidl_ = std::move(special);
  }
  return pidl_.get();
}

void TPTShellLocator::SetIdList(LPCITEMIDLIST pidl) {
  TPidl copy;
  if (pidl && IdListLen(pidl) > sizeof(USHORT)) copy = CopyIdList(nullptr, pidl);
  bool changed;
  if (kind_ == kByCSIDL)
    changed = true;
  else if (!pidl_)
    changed = copy != nullptr;
  else
    changed = CompareAbsIdLists(pidl_.get(), copy.get()) != 0;  // kCompareFailed included
  kind_ = kByPidl;
  pidl_ = std::move(copy);
  csidl_ = csidlNone;
  if (changed) Changed();
}

void TPTShellLocator::SetCSIDL(TCSIDL csidl) {
  bool changed = !(kind_ == kByCSIDL && csidl_ == csidl);
  pidl_.reset();
  kind_ = kByCSIDL;
  csidl_ = csidl;
  if (changed) Changed();
}

String TPTShellLocator::GetPathName() { return ShellGetPathFromIdList(GetIdList()); }

void TPTShellLocator::SetPathName(const String& path) {
  TPidl pidl;
  if (FAILED(ShellGetIdListFromPath(path, pidl))) pidl.reset();
  SetIdList(pidl.get());
}

bool TPTShellLocator::IsEqual(TPTShellLocator* other) {
  if (!other || other->kind_ != kind_) return false;
  if (other == this) return true;
  if (kind_ == kByCSIDL) return csidl_ == other->csidl_;
  return CompareAbsIdLists(pidl_.get(), other->pidl_.get()) == 0;
}

void TPTShellLocator::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TPTShellLocator*>(source)) {
    if (IsEqual(other)) return;
    pidl_.reset();
    kind_ = other->kind_;
    if (kind_ == kByCSIDL) {
      csidl_ = other->csidl_;
    } else {
      csidl_ = csidlNone;
      pidl_ = CopyIdList(nullptr, other->pidl_.get());
    }
    Changed();
    return;
  }
  if (!source) {
    // A special folder counts as a PIDL here: it may not be the desktop.
    bool changed = pidl_ != nullptr || kind_ == kByCSIDL;
    pidl_.reset();
    kind_ = kByPidl;
    csidl_ = csidlNone;
    if (changed) Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TPTShellLocator::Changed() {
  if (OnChange) OnChange(this);
}

void TPTShellLocator::SetDesktopByCSIDL() {
  pidl_.reset();
  kind_ = kByCSIDL;
  csidl_ = csidlDesktop;
}

void TPTShellLocator::ReadData(TStream* stream) {
  int64_t left = stream->Size() - stream->Position();
  BYTE kind = 0;
  if (left < 1 || stream->Read(&kind, 1) != 1) return SetDesktopByCSIDL();
  --left;
  if (kind == kByCSIDL) {
    BYTE csidl = 0;
    if (left < 1 || stream->Read(&csidl, 1) != 1 || csidl > csidlNone) return SetDesktopByCSIDL();
    pidl_.reset();
    kind_ = kByCSIDL;
    csidl_ = static_cast<TCSIDL>(csidl);
    return;
  }
  if (kind != kByPidl || left < 4) return SetDesktopByCSIDL();
  BYTE len[4];
  if (stream->Read(len, 4) != 4) return SetDesktopByCSIDL();
  left -= 4;
  uint32_t n = uint32_t{len[0]} | uint32_t{len[1]} << 8 | uint32_t{len[2]} << 16 | uint32_t{len[3]} << 24;
  if (n < sizeof(USHORT) || n > left) return SetDesktopByCSIDL();
  std::vector<BYTE> data(n);
  if (stream->Read(data.data(), n) != static_cast<int64_t>(n)) return SetDesktopByCSIDL();
  // The item chain must end, terminator included, inside the record.
  uint32_t pos = 0;
  for (;;) {
    if (pos + sizeof(USHORT) > n) return SetDesktopByCSIDL();
    USHORT cb = ItemSize(data.data() + pos);
    if (cb == 0) break;
    if (cb < sizeof(USHORT)) return SetDesktopByCSIDL();
    pos += cb;
  }
  TPidl pidl;
  if (pos > 0) {
    pidl.reset(MakeIdList(nullptr, data.data(), pos));
    if (!pidl) return SetDesktopByCSIDL();
  }
  kind_ = kByPidl;
  pidl_ = std::move(pidl);
  csidl_ = csidlNone;
}

void TPTShellLocator::WriteData(TStream* stream) {
  if (kind_ == kByCSIDL) {
    const BYTE record[2] = {kByCSIDL, csidl_};
    stream->WriteBuffer(record, sizeof record);
    return;
  }
  uint32_t n = IdListLen(pidl_.get());
  const BYTE record[5] = {kByPidl, static_cast<BYTE>(n), static_cast<BYTE>(n >> 8), static_cast<BYTE>(n >> 16),
                          static_cast<BYTE>(n >> 24)};
  stream->WriteBuffer(record, sizeof record);
  if (n) stream->WriteBuffer(pidl_.get(), n);
}

// ---------------------------------------------------------------- details

TShellFolder2ToShellDetailsAdapter::TShellFolder2ToShellDetailsAdapter(IShellFolder2* folder) : folder_(folder) {
  folder_->AddRef();
}

TShellFolder2ToShellDetailsAdapter::~TShellFolder2ToShellDetailsAdapter() { folder_->Release(); }

HRESULT STDMETHODCALLTYPE TShellFolder2ToShellDetailsAdapter::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IShellDetails)) {
    *out = static_cast<IShellDetails*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TShellFolder2ToShellDetailsAdapter::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE TShellFolder2ToShellDetailsAdapter::Release() {
  LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

HRESULT STDMETHODCALLTYPE TShellFolder2ToShellDetailsAdapter::GetDetailsOf(PCUITEMID_CHILD pidl, UINT column,
                                                                          SHELLDETAILS* details) {
  // No exception leaves a COM method: it goes to the application after the call.
  try {
    SHCOLSTATEF state = 0;
    if (SUCCEEDED(folder_->GetDefaultColumnState(column, &state)) && !(state & SHCOLSTATE_ONBYDEFAULT))
      return E_INVALIDARG;
    return folder_->GetDetailsOf(pidl, column, details);
  } catch (...) {
    HandleExceptionLater(nullptr);
    return E_UNEXPECTED;
  }
}

HRESULT STDMETHODCALLTYPE TShellFolder2ToShellDetailsAdapter::ColumnClick(UINT) { return E_NOTIMPL; }

TComPtr<IShellDetails> ShellGetFolderDetails(IShellFolder* folder) {
  if (!folder) return nullptr;
  TComPtr<IShellFolder2> folder2 = TComPtr<IShellFolder>::Share(folder).As<IShellFolder2>(IID_IShellFolder2);
  if (folder2) {
    SHELLDETAILS header{};
    if (SUCCEEDED(folder2->GetDetailsOf(nullptr, 0, &header))) {
      StrretFree(header.str);
      return TComPtr<IShellDetails>(new TShellFolder2ToShellDetailsAdapter(folder2.Get()));
    }
    TComPtr<IShellDetails> own = folder2.As<IShellDetails>(IID_IShellDetails);
    if (own) return own;
  }
  TComPtr<IShellDetails> view;
  if (SUCCEEDED(folder->CreateViewObject(nullptr, IID_IShellDetails, view.PutVoid())) && view) return view;
  return nullptr;
}

// ---------------------------------------------------------------- shortcuts

namespace {

// Resolve with SLR_NO_UI gives up after this many milliseconds (high word).
constexpr DWORD kQuickResolveTimeoutMs = 1;

HRESULT MakeLink(TComPtr<IShellLinkW>& link, TComPtr<IPersistFile>& file) {
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid());
  if (FAILED(hr)) return hr;
  return link->QueryInterface(IID_IPersistFile, file.PutVoid());
}

HRESULT ToText(const wchar_t* s, String& out) { return TryWideToString(s, -1, out) ? S_OK : kNoTranslation; }

}  // namespace

HRESULT CreateShortcut(const String& linkFile, const TLinkData& data) {
  TComPtr<IShellLinkW> link;
  TComPtr<IPersistFile> file;
  HRESULT hr = MakeLink(link, file);
  if (FAILED(hr)) return hr;
  if (FAILED(hr = link->SetPath(StringToWide(data.Path).c_str()))) return hr;
  const TLinkDataOptions& o = data.Options;
  if (o.Contains(ldoUseDesc) && FAILED(hr = link->SetDescription(StringToWide(data.Description).c_str())))
    return hr;
  if (o.Contains(ldoUseArgs) && FAILED(hr = link->SetArguments(StringToWide(data.Arguments).c_str()))) return hr;
  if (o.Contains(ldoUseIcon) &&
      FAILED(hr = link->SetIconLocation(StringToWide(data.IconPath).c_str(), data.IconIndex)))
    return hr;
  if (o.Contains(ldoUseWorkDir) &&
      FAILED(hr = link->SetWorkingDirectory(StringToWide(data.WorkingDirectory).c_str())))
    return hr;
  if (o.Contains(ldoUseHotKey) && FAILED(hr = link->SetHotkey(data.HotKey))) return hr;
  if (o.Contains(ldoUseShowCmd) && FAILED(hr = link->SetShowCmd(data.ShowCmd))) return hr;
  return file->Save(StringToWide(linkFile).c_str(), TRUE);
}

HRESULT CreateQuickShortcut(const String& linkFile, const String& target) {
  TLinkData data;
  data.Path = target;
  data.Description = target;
  data.WorkingDirectory = ExtractFilePath(target);
  data.Options = {ldoUseDesc, ldoUseWorkDir};
  return CreateShortcut(linkFile, data);
}

HRESULT ResolveShortcut(const String& linkFile, TLinkData& data, bool wantIdList) {
  TComPtr<IShellLinkW> link;
  TComPtr<IPersistFile> file;
  HRESULT hr = MakeLink(link, file);
  if (FAILED(hr)) return hr;
  if (FAILED(hr = file->Load(StringToWide(linkFile).c_str(), STGM_READ))) return hr;
  // Mode 1 never shows the shell's search window and gives up at once.
  if (data.ResolveMode == 1)
    hr = link->Resolve(nullptr, SLR_NO_UI | (kQuickResolveTimeoutMs << 16));
  else
    hr = link->Resolve(nullptr, 0);
  if (FAILED(hr)) return hr;

  std::vector<wchar_t> buf(INFOTIPSIZE + 1);
  auto clear = [&] { std::fill(buf.begin(), buf.end(), L'\0'); };
  const int pathSize = MAX_PATH + 1;
  clear();
  WIN32_FIND_DATAW findData{};
  if (FAILED(hr = link->GetPath(buf.data(), pathSize, &findData, 0))) return hr;
  if (FAILED(hr = ToText(buf.data(), data.Path))) return hr;
  data.FindData = findData;
  clear();
  if (FAILED(hr = link->GetDescription(buf.data(), INFOTIPSIZE))) return hr;
  if (FAILED(hr = ToText(buf.data(), data.Description))) return hr;
  clear();
  if (FAILED(hr = link->GetArguments(buf.data(), INFOTIPSIZE))) return hr;
  if (FAILED(hr = ToText(buf.data(), data.Arguments))) return hr;
  clear();
  int iconIndex = 0;
  if (FAILED(hr = link->GetIconLocation(buf.data(), pathSize, &iconIndex))) return hr;
  if (FAILED(hr = ToText(buf.data(), data.IconPath))) return hr;
  data.IconIndex = iconIndex;
  clear();
  if (FAILED(hr = link->GetWorkingDirectory(buf.data(), pathSize))) return hr;
  if (FAILED(hr = ToText(buf.data(), data.WorkingDirectory))) return hr;
  int showCmd = 0;
  if (FAILED(hr = link->GetShowCmd(&showCmd))) return hr;
  data.ShowCmd = showCmd;
  WORD hotKey = 0;
  if (FAILED(hr = link->GetHotkey(&hotKey))) return hr;
  data.HotKey = hotKey;
  data.Options = {ldoUseDesc, ldoUseArgs, ldoUseIcon, ldoUseWorkDir, ldoUseHotKey, ldoUseShowCmd};
  if (wantIdList) {
    LPITEMIDLIST target = nullptr;
    hr = link->GetIDList(&target);
    TPidl holder(target);
    if (FAILED(hr)) return hr;
    data.IdList = std::move(holder);
  }
  return S_OK;
}

// ---------------------------------------------------------------- file-type classes

namespace {

// The default value of key (a text); false when there is none.
bool ReadDefaultValue(HKEY key, std::wstring& value) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  std::vector<wchar_t> buf(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got) != ERROR_SUCCESS)
    return false;
  value.assign(buf.data());
  return true;
}

class TRegKey {
 public:
  TRegKey(HKEY parent, const wchar_t* name) {
    if (RegOpenKeyExW(parent, name, 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~TRegKey() {
    if (key_) RegCloseKey(key_);
  }
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

bool PTClsidFromFileType(const String& fileType, GUID& clsid) {
  // An empty name would open the root of the classes itself.
  if (fileType.empty()) return false;
  TRegKey key(HKEY_CLASSES_ROOT, StringToWide(fileType).c_str());
  if (!key.Get()) return false;
  std::wstring value;
  ReadDefaultValue(key.Get(), value);
  std::wstring text;
  static const wchar_t kPrefix[] = L"clsid\\";
  const int prefixLen = 6;
  if (value.size() >= prefixLen &&
      CompareStringOrdinal(value.c_str(), prefixLen, kPrefix, prefixLen, TRUE) == CSTR_EQUAL) {
    text = value.substr(prefixLen);
  } else {
    TRegKey sub(key.Get(), L"CLSID");
    if (sub.Get()) {
      ReadDefaultValue(sub.Get(), text);
    } else {
      // The class the type names; without a name there is none.
      if (value.empty()) return false;
      TRegKey cls(HKEY_CLASSES_ROOT, value.c_str());
      if (!cls.Get()) return false;
      TRegKey clsSub(cls.Get(), L"CLSID");
      if (!clsSub.Get()) return false;
      ReadDefaultValue(clsSub.Get(), text);
    }
  }
  if (text.empty()) return false;
  GUID id;
  if (FAILED(CLSIDFromString(text.c_str(), &id))) return false;
  clsid = id;
  return true;
}

// ---------------------------------------------------------------- drive cache

namespace {
int flushLock = 0;
}

void FlushDriveInfoCache() {
  if (flushLock > 0) return;
  TPidl drives;
  OleCheck(ShellGetSpecialFolderIdList(nullptr, csidlDrives, drives));
  TComPtr<IShellFolder> folder;
  OleCheck(ShellGetFolderFromIdList(drives.get(), folder));
  if (!folder) OleCheck(E_NOINTERFACE);
  SFGAOF attributes = SFGAO_VALIDATE;
  folder->GetAttributesOf(0, nullptr, &attributes);
}

void LockFlushDriveInfoCache() { ++flushLock; }

void UnlockFlushDriveInfoCache() {
  if (flushLock > 0) --flushLock;
}

// ---------------------------------------------------------------- FormatStrPos

String FormatStrPos(const String& format, const std::vector<String>& inserts) {
  if (format.empty()) return String();
  if (inserts.size() > 50) throw Exception("FormatStrPos: Too many substitution strings");
  // Every insert number the format may name (1-99) points at a text.
  static const char kNone[] = "";
  std::vector<DWORD_PTR> args(99, reinterpret_cast<DWORD_PTR>(kNone));
  for (size_t i = 0; i < inserts.size(); ++i) args[i] = reinterpret_cast<DWORD_PTR>(inserts[i].c_str());
  char* buf = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           format.c_str(), 0, 0, reinterpret_cast<char*>(&buf), 256,
                           reinterpret_cast<va_list*>(args.data()));
  String result;
  if (n && buf) result.assign(buf, n);
  if (buf) LocalFree(buf);
  return result;
}

// ---------------------------------------------------------------- network drives

namespace {

using TNetUseGetInfo = DWORD(WINAPI*)(LPWSTR server, LPWSTR useName, DWORD level, LPBYTE* buf);
using TNetApiBufferFree = DWORD(WINAPI*)(LPVOID buf);

HMODULE LoadSystemLibrary(const char* name) { return LoadLibraryA(name); }

struct TNetApi {
  TLibraryLoader loader = LoadSystemLibrary;
  bool tried = false;
  HMODULE lib = nullptr;
  TNetUseGetInfo getInfo = nullptr;
  TNetApiBufferFree bufferFree = nullptr;
  void Unload() {
    if (lib) FreeLibrary(lib);
    lib = nullptr;
    getInfo = nullptr;
    bufferFree = nullptr;
    tried = false;
  }
  ~TNetApi() { Unload(); }
};

TNetApi& NetApi() {
  static TNetApi api;
  return api;
}

}  // namespace

void SetNetworkLibraryLoader(TLibraryLoader loader) {
  TNetApi& api = NetApi();
  api.Unload();
  api.loader = loader ? loader : LoadSystemLibrary;
}

bool IsNetworkDriveConnected(char drive) {
  TNetApi& api = NetApi();
  if (!api.tried) {
    api.tried = true;
    api.lib = api.loader("netapi32.dll");
    if (api.lib) {
      api.getInfo = reinterpret_cast<TNetUseGetInfo>(reinterpret_cast<void*>(GetProcAddress(api.lib, "NetUseGetInfo")));
      api.bufferFree =
          reinterpret_cast<TNetApiBufferFree>(reinterpret_cast<void*>(GetProcAddress(api.lib, "NetApiBufferFree")));
    }
  }
  if (!api.getInfo || !api.bufferFree) return true;
  wchar_t name[3] = {static_cast<wchar_t>(static_cast<unsigned char>(drive)), L':', L'\0'};
  LPBYTE buf = nullptr;
  DWORD status = api.getInfo(nullptr, name, 1, &buf);
  bool connected = status == 0 && buf && reinterpret_cast<USE_INFO_1*>(buf)->ui1_status == USE_OK;
  if (buf) api.bufferFree(buf);
  return connected;
}
