// Free routines of the shell controls over the Windows shell namespace:
// item identifier lists (PIDLs) and their memory, paths, special folders,
// system image lists, display names, PIDL containers, version tests, the
// folder locator, the details adapter, shortcuts, file-type classes,
// positional formatting, command-line splitting and the network drive test.
//
// The shell is reached through its wide interfaces; String (system code
// page) appears only at the edges, and a name the code page cannot hold
// makes the call fail rather than yield a substituted name.
//
// Every PIDL a routine returns is the caller's. TPidl holds one and frees it
// through the allocator that made it (the shell's task allocator unless a
// routine was given another).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Sets.h"

// ---------------------------------------------------------------- COM pointer

// Holds one reference of a COM interface.
template <class T>
class TComPtr {
 public:
  TComPtr() = default;
  TComPtr(std::nullptr_t) {}
  // Takes over the reference of p (no AddRef).
  explicit TComPtr(T* p) : p_(p) {}
  TComPtr(const TComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  TComPtr(TComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  ~TComPtr() { Reset(); }
  TComPtr& operator=(const TComPtr& o) {
    if (o.p_) o.p_->AddRef();
    Reset();
    p_ = o.p_;
    return *this;
  }
  TComPtr& operator=(TComPtr&& o) noexcept {
    if (this != &o) {
      Reset();
      p_ = o.p_;
      o.p_ = nullptr;
    }
    return *this;
  }
  // Adds a reference of p.
  static TComPtr Share(T* p) {
    if (p) p->AddRef();
    return TComPtr(p);
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Releases what is held and gives the slot for an out parameter.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  T* Detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  void Reset() {
    if (p_) {
      T* p = p_;
      p_ = nullptr;
      p->Release();
    }
  }
  // QueryInterface for another interface; empty when it is not offered.
  template <class U>
  TComPtr<U> As(REFIID iid) const {
    TComPtr<U> r;
    if (p_) p_->QueryInterface(iid, r.PutVoid());
    return r;
  }

 private:
  T* p_ = nullptr;
};

// The platform's OLE error: a failing HRESULT raised as an exception.
class EOleSysError : public Exception {
 public:
  EOleSysError(const String& msg, HRESULT code) : Exception(msg), ErrorCode(code) {}
  String ClassName() const override { return "EOleSysError"; }
  HRESULT ErrorCode;
};
// Raises EOleSysError with the system's text for a failing code.
void OleCheck(HRESULT hr);

// ---------------------------------------------------------------- versions

// A file version: the least significant word (build << 16 | revision),
// then the most significant word (major << 16 | minor). Tests compare
// VersionMS: 0x60000 is 6.0, 0x40048 4.72, 0x40047 4.71, 0x40046 4.70.
struct TPTModuleVersion {
  DWORD VersionLS = 0;
  DWORD VersionMS = 0;
};

// The system's version record, read once.
const OSVERSIONINFOA& OSVersionInfo();
// The version of "comctl32.dll", read once (zero when it cannot be read).
const TPTModuleVersion& CommonControlsVersion();
// Tests put records of their own in place of the system's (nullptr: the
// system's again).
void SetOSVersionInfoOverride(const OSVERSIONINFOA* info);
void SetCommonControlsVersionOverride(const TPTModuleVersion* version);

bool IsWin95();
bool IsOSR2OrGreater();
bool IsWinNT();
bool IsWin2000();
bool HasWin95Shell();
// True when the file's fixed version information could be read; on failure
// version is left as it was.
bool GetModuleVersion(const String& fileName, TPTModuleVersion& version);

// ---------------------------------------------------------------- memory, PIDLs

// The shell's task allocator (borrowed, never nullptr).
IMalloc* ShellIMalloc();
// Tests put an allocator of their own in place of the shell's (nullptr: the
// shell's again); returns the one it replaces. It must free what the shell
// allocated as well, so a test allocator hands unknown blocks to the task
// allocator.
IMalloc* SetShellIMalloc(IMalloc* malloc);
void* ShellMemAlloc(size_t size);
void* ShellMemRealloc(void* p, size_t size);  // nullptr for a nullptr p
void ShellMemFree(void* p);                   // nothing for nullptr

struct TPidlDeleter {
  IMalloc* Malloc = nullptr;  // nullptr: the shell allocator
  void operator()(ITEMIDLIST* pidl) const;
};
using TPidl = std::unique_ptr<ITEMIDLIST, TPidlDeleter>;

// Total length including the 2-byte terminator; 0 for nullptr.
UINT IdListLen(LPCITEMIDLIST pidl);
// Number of items (0 for nullptr and the empty list).
int IdListCount(LPCITEMIDLIST pidl);

// 0 when both are nullptr or both empty; -1 when exactly one is nullptr or
// exactly one is empty; otherwise the desktop's CompareIDs (negative, 0 or
// positive). kCompareFailed when the desktop cannot be had or the
// comparison fails.
constexpr int kCompareFailed = 0x7FFFFFFF;
int CompareAbsIdLists(LPCITEMIDLIST a, LPCITEMIDLIST b);
// The items of a followed by those of b (nullptr counts as empty), made
// with malloc (nullptr: the shell allocator); empty when allocation fails.
TPidl ConcatIdLists(IMalloc* malloc, LPCITEMIDLIST a, LPCITEMIDLIST b);
TPidl CopyIdList(IMalloc* malloc, LPCITEMIDLIST pidl);

// ---------------------------------------------------------------- folders, paths

// Special folders by CSIDL (0-49, the platform's numbers); csidlNone: none.
enum TCSIDL : uint8_t {
  csidlDesktop, csidl_None1, csidlPrograms, csidlControls, csidlPrinters, csidlPersonal, csidlFavorites,
  csidlStartup, csidlRecent, csidlSendTo, csidlBitBucket, csidlStartMenu, csidl_None2, csidl_None3,
  csidl_None4, csidl_None5, csidlDesktopDirectory, csidlDrives, csidlNetwork, csidlNethood, csidlFonts,
  csidlTemplates, csidlCommonStartMenu, csidlCommonPrograms, csidlCommonStartup,
  csidlCommonDesktopDirectory, csidlAppData, csidlPrintHood, csidlLocalAppData, csidlAltStartup,
  csidlCommonAltStartup, csidlCommonFavorites, csidlInternetCache, csidlCookies, csidlHistory,
  csidlCommonAppData, csidlWindows, csidlSystem, csidlProgramFiles, csidlMyPictures, csidlProfile,
  csidlSystemX86, csidlProgramFilesX86, csidlProgramFilesCommon, csidlProgramFilesCommonX86,
  csidlCommonTemplates, csidlCommonDocuments, csidlCommonAdminTools, csidlAdminTools, csidlConnections,
  csidlNone
};

// SHGetDesktopFolder, or the folder a test put in its place.
HRESULT ShellGetDesktopFolder(TComPtr<IShellFolder>& folder);
// Tests put a folder of their own in place of the desktop (nullptr: the
// shell's again). Every routine here reaches the desktop through it.
void SetShellDesktopFolder(IShellFolder* folder);
// The desktop itself for nullptr or the empty list.
HRESULT ShellGetFolderFromIdList(LPCITEMIDLIST pidl, TComPtr<IShellFolder>& folder);
// The whole path parsed by the desktop. A path the shell would only resolve
// cut at MAX_PATH fails with HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE).
HRESULT ShellGetIdListFromPath(const String& path, TPidl& pidl);
// The file-system path; empty when there is none (nullptr: the desktop).
String ShellGetPathFromIdList(LPCITEMIDLIST pidl);
// The path through a PIDL and back: its canonical form; empty on failure.
String ShellGetDisplayPathName(const String& path);
String ShellGetSpecialFolderPath(HWND owner, TCSIDL csidl);
HRESULT ShellGetSpecialFolderIdList(HWND owner, TCSIDL csidl, TPidl& pidl);
// The first CSIDL whose folder compares equal to pidl; csidlNone otherwise.
TCSIDL ShellFindCSIDLFromIdList(LPCITEMIDLIST pidl);
bool ShellCSIDLEqualsIdList(LPCITEMIDLIST pidl, TCSIDL csidl);

// ---------------------------------------------------------------- icons

enum TPTShellIconSize : UINT { ptsizSmall = SHGFI_SMALLICON, ptsizLarge = SHGFI_LARGEICON };

// Indices in the system image list (flags: SHGFI_ size and state flags).
int ShellGetIconIndex(LPCITEMIDLIST pidl, UINT flags);
int ShellGetIconIndexFromPath(const String& path, UINT flags);
// The file need not exist: an extension (".txt") or a name.
int ShellGetIconIndexFromExt(const String& ext, UINT flags);
int ShellGetSpecialFolderIconIndex(TCSIDL csidl, UINT flags);
// The system image list of that size. The first call on an NT system with
// common controls 4.71 or later adds shell32's overlay icons 29 and 30 to
// both lists as overlays 1 and 2.
HIMAGELIST ShellGetSystemImageList(TPTShellIconSize size);

// ---------------------------------------------------------------- names

enum TPTFriendlyNameFlags : DWORD {
  ptfnNormal = SHGDN_NORMAL,
  ptfnInFolder = SHGDN_INFOLDER,
  ptfnForParsing = SHGDN_FORPARSING,
  ptfnForEditing = SHGDN_FOREDITING | SHGDN_INFOLDER,
};

// folder nullptr: the desktop. Empty on failure.
String ShellGetFriendlyNameFromIdList(IShellFolder* folder, LPCITEMIDLIST pidl, TPTFriendlyNameFlags flags);
// The in-folder name of the last item, asked of its parent folder.
String ShellGetFriendlyNameForLastIdListElement(LPCITEMIDLIST pidl);
// The text of a STRRET: the wide kind converted (empty when the code page
// cannot hold it); the C-string kind up to its NUL within its buffer; the
// offset kind up to a NUL within the item of pidl that holds the offset
// (empty when no item holds it).
String StrretToString(LPCITEMIDLIST pidl, const STRRET& strret);
void StrretFree(const STRRET& strret);

// ---------------------------------------------------------------- double-byte text

// s with c appended, unless s is empty or already ends in the character c
// (a trail byte equal to c does not count). codePage: CP_ACP or another.
String EnsureTrailingCharDB(const String& s, char c, UINT codePage = CP_ACP);
// Without trailing blanks and tabs; no double-byte character is split.
String TrimRightDB(const String& s, UINT codePage = CP_ACP);
// Appends the character at index (both bytes of a double-byte one) to token
// and moves index past it.
void CopyCharDB(size_t& index, const String& text, String& token, UINT codePage = CP_ACP);
// Appends each argument of a command line (blanks separate, double quotes
// group, empty arguments are dropped).
void ParametizeCmdLineDB(const String& cmdLine, TStrings* args, UINT codePage = CP_ACP);

// ---------------------------------------------------------------- PIDL containers

// The ancestors and items of an absolute PIDL (not owned). Each result is
// kept by the object until the next one is made.
class TPTIdListArray : public TObject {
 public:
  explicit TPTIdListArray(LPCITEMIDLIST pidl);
  ~TPTIdListArray() override;
  int GetCount() const;
  // A one-item PIDL of item index; nullptr for a nullptr PIDL, a negative
  // index or one past the items. Item 0 of the empty PIDL is empty.
  LPCITEMIDLIST GetItem(int index);
  // The ancestor levels up (the first GetCount() - levels items); nullptr
  // when there are not that many.
  LPCITEMIDLIST GoUp(int levels);

 private:
  void SetResult(LPITEMIDLIST pidl);
  LPCITEMIDLIST pidl_;
  LPITEMIDLIST result_ = nullptr;
};

// Pairs of (PIDL, object), optionally sorted by the bytes of the PIDLs or by
// a folder's comparison.
class TPTPidlList : public TObject {
 public:
  TPTPidlList() = default;
  ~TPTPidlList() override;

  int Add(LPITEMIDLIST pidl) { return AddObject(pidl, nullptr); }
  // The index of the entry. Sorted: a duplicate is dropped (dupIgnore,
  // returning the index of the one there), raises Exception "TPTPidlList:
  // Duplicate PIDL" (dupError) or is inserted (dupAccept).
  virtual int AddObject(LPITEMIDLIST pidl, TObject* obj);
  // An index outside 0..Count() is ignored.
  void Insert(int index, LPITEMIDLIST pidl) { InsertObject(index, pidl, nullptr); }
  void InsertObject(int index, LPITEMIDLIST pidl, TObject* obj);
  int IndexOf(LPCITEMIDLIST pidl) const;  // -1 when absent
  // Frees the entry's PIDL through Malloc when that is set; an index out of
  // range is ignored.
  void Delete(int index);
  void Clear();
  void Sort();

  LPITEMIDLIST PIDL(int index) const;   // nullptr out of range
  TObject* Objects(int index) const;    // nullptr out of range
  int Count() const { return static_cast<int>(items_.size()); }
  int Capacity() const { return static_cast<int>(items_.capacity()); }
  void SetCapacity(int capacity);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);  // true sorts at once

  // Compares with its CompareIDs when set (held), else by bytes.
  IShellFolder* ShellFolder() const { return folder_.Get(); }
  void SetShellFolder(IShellFolder* folder) { folder_ = TComPtr<IShellFolder>::Share(folder); }
  // When set, Delete and Clear free the PIDLs with it; else they stay the
  // caller's. Borrowed: it must outlive the list's entries.
  IMalloc* Malloc = nullptr;
  TDuplicates Duplicates = dupError;

  // Where pidl is or would go in a sorted list (the first of equal entries
  // under dupAccept); true when an equal entry is there.
  bool BinarySearch(LPCITEMIDLIST pidl, int& index) const;
  int LinearSearch(LPCITEMIDLIST pidl) const;

 private:
  struct TEntry {
    LPITEMIDLIST pidl;
    TObject* obj;
  };
  int Compare(LPCITEMIDLIST a, LPCITEMIDLIST b) const;
  std::vector<TEntry> items_;
  TComPtr<IShellFolder> folder_;
  bool sorted_ = false;
};

// Byte order of two PIDLs: the first differing byte (a - b), else the
// difference of the lengths.
int ComparePidlBytes(LPCITEMIDLIST a, LPCITEMIDLIST b);

// ---------------------------------------------------------------- the folder locator

// Names a shell folder by PIDL (kind 0) or by special-folder number (kind 1)
// and streams itself as the binary property "Pidl".
class TPTShellLocator : public TPersistent {
 public:
  TPTShellLocator() = default;
  ~TPTShellLocator() override = default;

  // Kind 0: the PIDL (nullptr: the desktop); kind 1: the special folder's
  // PIDL, fetched once. Owned by the locator.
  LPCITEMIDLIST GetIdList();
  // Becomes kind 0 with a copy of pidl (nullptr for nullptr or the empty
  // list). A change is reported when the kind was 1, when the folder was the
  // desktop and pidl is not, or when the two differ (a failed comparison
  // counts as a difference).
  void SetIdList(LPCITEMIDLIST pidl);
  TCSIDL GetCSIDL() const { return kind_ == kByCSIDL ? csidl_ : csidlNone; }
  void SetCSIDL(TCSIDL csidl);
  String GetPathName();
  // An unparsable path sets the desktop.
  void SetPathName(const String& path);
  void Clear() { SetIdList(nullptr); }
  bool IsEqual(TPTShellLocator* other);
  void Assign(TPersistent* source) override;
  void Changed();

  // Whether the property "Pidl" is written (a PIDL or kind 1).
  bool HasData() const { return kind_ == kByCSIDL || pidl_ != nullptr; }
  // The property's record: kind byte, then the CSIDL byte (kind 1) or the
  // PIDL's 32-bit little-endian length (0: none) and its bytes (kind 0). A
  // record that is not whole and sound reads as the desktop; the stream is
  // never read past its end.
  void ReadData(TStream* stream);
  void WriteData(TStream* stream);

  TNotifyEvent OnChange;

 private:
  static constexpr uint8_t kByPidl = 0;
  static constexpr uint8_t kByCSIDL = 1;
  void SetDesktopByCSIDL();
  uint8_t kind_ = kByPidl;
  TPidl pidl_;
  TCSIDL csidl_ = csidlNone;
};

// ---------------------------------------------------------------- details

// IShellDetails over a folder that only offers IShellFolder2: answers only
// the columns the folder shows by default.
class TShellFolder2ToShellDetailsAdapter final : public IShellDetails {
 public:
  // Holds one reference of folder; starts with one reference of its own.
  explicit TShellFolder2ToShellDetailsAdapter(IShellFolder2* folder);
  TShellFolder2ToShellDetailsAdapter(const TShellFolder2ToShellDetailsAdapter&) = delete;
  TShellFolder2ToShellDetailsAdapter& operator=(const TShellFolder2ToShellDetailsAdapter&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetDetailsOf(PCUITEMID_CHILD pidl, UINT column, SHELLDETAILS* details) override;
  HRESULT STDMETHODCALLTYPE ColumnClick(UINT column) override;

 private:
  ~TShellFolder2ToShellDetailsAdapter();
  LONG refs_ = 1;
  IShellFolder2* folder_;
};

// The IShellDetails of a folder: the adapter when IShellFolder2 answers the
// header of column 0, else the folder's own or its view object's; empty
// when there is none.
TComPtr<IShellDetails> ShellGetFolderDetails(IShellFolder* folder);

// ---------------------------------------------------------------- shortcuts

enum TLinkDataOption { ldoUseDesc, ldoUseArgs, ldoUseIcon, ldoUseWorkDir, ldoUseHotKey, ldoUseShowCmd };
using TLinkDataOptions = TSet<TLinkDataOption>;

struct TLinkData {
  String Path;
  TLinkDataOptions Options;
  String Description;
  String Arguments;
  String IconPath;
  int IconIndex = 0;
  String WorkingDirectory;
  int ShowCmd = 0;
  WORD HotKey = 0;
  // 0: Resolve may ask the user; 1: never, and gives up at once.
  uint8_t ResolveMode = 0;
  TPidl IdList;               // the target, when asked for
  WIN32_FIND_DATAW FindData{};  // the target, as Resolve found it
};

// The shortcut routines need COM on the calling thread. They return the
// first failing HRESULT; a text the code page cannot hold fails with
// HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION).
HRESULT CreateShortcut(const String& linkFile, const TLinkData& data);
// Path and description = target, working directory = the target's folder
// with its backslash.
HRESULT CreateQuickShortcut(const String& linkFile, const String& target);
// Loads and resolves the link and reads every field (Options becomes all
// six); IdList only with wantIdList.
HRESULT ResolveShortcut(const String& linkFile, TLinkData& data, bool wantIdList);

// ---------------------------------------------------------------- other routines

// The COM class registered for a file type (".txt" or a class name) under
// HKEY_CLASSES_ROOT: a default value "clsid\{...}", else the key's CLSID
// subkey, else the CLSID subkey of the class its default value names.
bool PTClsidFromFileType(const String& fileType, GUID& clsid);

// Makes the shell drop its cached drive information (raises EOleSysError
// when My Computer cannot be bound), unless locked. Locks nest.
void FlushDriveInfoCache();
void LockFlushDriveInfoCache();
void UnlockFlushDriveInfoCache();

// The platform's positional formatting: %1, %2 ... replaced by the inserts
// (an insert the format names but the caller did not give is empty); an
// empty format or a failed one gives "". More than 50 inserts raise
// Exception "FormatStrPos: Too many substitution strings".
String FormatStrPos(const String& format, const std::vector<String>& inserts);

// Whether the drive letter is a connected network drive. Without the
// network library's routines every drive counts as connected.
bool IsNetworkDriveConnected(char drive);
// Tests put a loader of their own in place of LoadLibraryA (nullptr:
// LoadLibraryA again); the library is loaded anew at the next test.
using TLibraryLoader = HMODULE (*)(const char* name);
void SetNetworkLibraryLoader(TLibraryLoader loader);
