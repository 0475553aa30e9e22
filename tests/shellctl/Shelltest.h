// Shared by the shell test programs. They run in the shell tests' own Wine
// prefix (no Z:, drive T:, an empty desktop); Shelltest.cpp, in every such
// program, checks that prefix before the first test (and runs none when it
// is wrong) and initialises OLE for the run.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "shellctl/Uptshellutils.h"
#include "support/Testutil.h"

// What is wrong with the prefix for the shell tests; empty when nothing is.
String ShellPrefixProblems();
// The program's own folder on T: ("T:\<program>"), made on first use.
String ShellTestFolder();
// A new, empty folder in it.
String MakeShellTestFolder(const String& name);

// A PIDL made by hand from the data of its items; the bytes live in the
// string.
std::string PidlBytes(const std::vector<std::string>& items);
inline LPCITEMIDLIST AsPidl(const std::string& bytes) { return reinterpret_cast<LPCITEMIDLIST>(bytes.data()); }
std::string BytesOf(LPCITEMIDLIST pidl);

// An allocator over the task allocator that knows which of its blocks are
// still live; blocks it did not make go to the task allocator.
class TCountingMalloc : public IMalloc {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  void* STDMETHODCALLTYPE Alloc(SIZE_T size) override;
  void* STDMETHODCALLTYPE Realloc(void* p, SIZE_T size) override;
  void STDMETHODCALLTYPE Free(void* p) override;
  SIZE_T STDMETHODCALLTYPE GetSize(void* p) override;
  int STDMETHODCALLTYPE DidAlloc(void* p) override { return live_.count(p) ? 1 : 0; }
  void STDMETHODCALLTYPE HeapMinimize() override {}

  size_t Live() const { return live_.size(); }
  size_t Made = 0;  // blocks handed out in all
  // While set, Alloc fails.
  bool FailAlloc = false;

 private:
  std::set<void*> live_;
};

// The counting allocator in place of the shell allocator for a scope.
class TScopedShellMalloc {
 public:
  TScopedShellMalloc() { previous_ = SetShellIMalloc(&Malloc); }
  ~TScopedShellMalloc() { SetShellIMalloc(previous_); }
  TCountingMalloc Malloc;

 private:
  IMalloc* previous_;
};

// A folder whose methods answer E_NOTIMPL unless a test overrides them. It
// counts its references and never frees itself (it lives on the stack);
// Offers2 decides whether it answers IShellFolder2.
class TFakeShellFolder : public IShellFolder2 {
 public:
  virtual ~TFakeShellFolder() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs_); }
  HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_RELATIVE*, ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE EnumObjects(HWND, SHCONTF, IEnumIDList**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID, UINT*, void**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD, SHGDNF, STRRET*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF, PITEMID_CHILD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDefaultSearchGUID(GUID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumSearches(IEnumExtraSearch**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDefaultColumn(DWORD, ULONG*, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDefaultColumnState(UINT, SHCOLSTATEF*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDetailsEx(PCUITEMID_CHILD, const SHCOLUMNID*, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDetailsOf(PCUITEMID_CHILD, UINT, SHELLDETAILS*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE MapColumnToSCID(UINT, SHCOLUMNID*) override { return E_NOTIMPL; }

  int Refs() const { return refs_; }
  bool Offers2 = true;

 private:
  int refs_ = 0;
};

// HKEY_CLASSES_ROOT seen as HKCU\Software\Classes for a scope (this Wine
// does not merge the user's classes into it).
class TScopedUserClasses {
 public:
  TScopedUserClasses();
  ~TScopedUserClasses();

 private:
  HKEY classes_ = nullptr;
};

// The fake folder in place of the desktop for a scope.
class TScopedDesktop {
 public:
  explicit TScopedDesktop(IShellFolder* folder) { SetShellDesktopFolder(folder); }
  ~TScopedDesktop() { SetShellDesktopFolder(nullptr); }
};
