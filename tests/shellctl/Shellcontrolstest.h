// Shared by the tests of the shell list and the shell tree: a clock the
// tests move by hand, forms with the controls, the folders they show and
// readers of what the windows show.
#pragma once

#include <functional>
#include <map>
#include <set>

#include "Shelltest.h"
#include "classlib/Forms.h"
#include "shellctl/Uptshellcontrols.h"

// A clock that moves only when told: Advance fires the timers that are due,
// in the order they fall due.
class TManualClock : public TPTShClock {
 public:
  DWORD TickCount() override { return now_; }
  void Start(TPTShTimer* timer, UINT ms) override { due_[timer] = now_ + ms; }
  void Stop(TPTShTimer* timer) override { due_.erase(timer); }
  void Advance(DWORD ms);
  bool Armed(TPTShTimer* timer) const { return due_.count(timer) > 0; }

 private:
  DWORD now_ = 100000;
  std::map<TPTShTimer*, DWORD> due_;
};

// The clock in place for a scope.
class TScopedClock {
 public:
  TScopedClock() { previous_ = SetPTShClock(&Clock); }
  ~TScopedClock() { SetPTShClock(previous_ == &Clock ? nullptr : previous_); }
  TManualClock Clock;

 private:
  TPTShClock* previous_;
};

// No details provider for any folder (the four default columns) for a scope.
class TScopedNoDetails {
 public:
  TScopedNoDetails() {
    SetPTShDetailsProvider([](IShellFolder*) { return TComPtr<IShellDetails>(); });
  }
  ~TScopedNoDetails() { SetPTShDetailsProvider(nullptr); }
};

// The registry value "DirectoryCols" for a scope (absent for an empty
// value), and the saved column state cleared at both ends.
class TScopedDirectoryCols {
 public:
  explicit TScopedDirectoryCols(const std::string& bytes = std::string());
  ~TScopedDirectoryCols();
};

// Counts the calls of the exception hook for a scope.
class TScopedExceptionHook {
 public:
  TScopedExceptionHook();
  ~TScopedExceptionHook();
  std::vector<String> Messages;

 private:
  TExceptionEvent previous_;
};

// An enumerator over copies of some PIDLs that then answers End.
class TFakeEnum : public IEnumIDList {
 public:
  TFakeEnum(std::vector<std::string> items, HRESULT end) : items_(std::move(items)), end_(end) {}
  virtual ~TFakeEnum() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE Next(ULONG count, LPITEMIDLIST* items, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumIDList**) override { return E_NOTIMPL; }

 private:
  LONG refs_ = 1;
  std::vector<std::string> items_;
  size_t next_ = 0;
  HRESULT end_;
};

// The real desktop, but for what a test changes: the items it lists (all
// when none are given), items whose attributes fail, and folders bound in
// place of some items. Lives on the stack; install it with TScopedDesktop.
class TDesktopWrapper : public TFakeShellFolder {
 public:
  TDesktopWrapper();
  HRESULT STDMETHODCALLTYPE EnumObjects(HWND owner, SHCONTF flags, IEnumIDList** out) override;
  HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx* bc, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM lParam, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) override {
    return real_->CompareIDs(lParam, a, b);
  }
  HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items, SFGAOF* attributes) override;
  HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD pidl, SHGDNF flags, STRRET* name) override {
    return real_->GetDisplayNameOf(pidl, flags, name);
  }
  HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND owner, IBindCtx* bc, LPWSTR name, ULONG* eaten,
                                             PIDLIST_RELATIVE* pidl, ULONG* attributes) override {
    return real_->ParseDisplayName(owner, bc, name, eaten, pidl, attributes);
  }
  HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND owner, UINT count, PCUITEMID_CHILD_ARRAY items, REFIID iid,
                                          UINT* reserved, void** out) override {
    return real_->GetUIObjectOf(owner, count, items, iid, reserved, out);
  }
  // The desktop's items (one-item PIDLs) with their display names.
  std::map<String, std::string> Children;
  // Listed instead of all children when not empty.
  std::vector<std::string> Listed;
  // Items whose attributes cannot be had.
  std::set<std::string> FailingAttributes;
  // Absolute PIDLs (or others of the same path) bound to these folders.
  std::map<std::string, IShellFolder*> Bound;

 private:
  TComPtr<IShellFolder> real_;
};

// A folder that lists what its enumerator gives (EnumObjects fails with
// EnumResult when that is a failure).
class TEnumFolder : public TFakeShellFolder {
 public:
  HRESULT STDMETHODCALLTYPE EnumObjects(HWND, SHCONTF, IEnumIDList** out) override;
  HRESULT EnumResult = S_OK;
  HRESULT End = S_FALSE;
  int Enumerations = 0;
};

// A form with a tree beside a report list (as the main window's local
// pane) or with one of them; the controls are made unlinked, with
// DynamicRefresh as asked.
class TShellForm : public TForm {
 public:
  enum TKind { kList, kTree, kPane };
  TShellForm(TKind kind, const String& caption, bool dynamicRefresh = false);
  TPTShellTree* Tree = nullptr;
  TPTShellList* List = nullptr;
  // Fires of OnFillStart of each.
  int ListFills = 0;
  int TreeFills = 0;

 private:
  void ListFill(TObject*) { ++ListFills; }
  void TreeFill(TObject*) { ++TreeFills; }
};

// What the list's window shows.
String ItemText(TPTCustomShellList* list, int item, int subItem);
// The text the list gives for a cell when asked with a buffer of that
// size (LVN_GETDISPINFO); nothing may be written past it.
String DispText(TPTCustomShellList* list, int item, int subItem, int bufferSize);
std::vector<String> Captions(TPTCustomShellList* list);
std::set<String> CaptionSet(TPTCustomShellList* list);
UINT ItemState(TPTCustomShellList* list, int item, UINT mask);
int IndexOfCaption(TPTCustomShellList* list, const String& caption);
// The texts of a node's children.
std::vector<String> ChildTexts(TTreeNode* node);
TTreeNode* ChildByText(TTreeNode* node, const String& text);
// The button of a node as the window has it.
bool HasButton(TPTCustomShellTree* tree, TTreeNode* node);

// A file with data, optionally hidden.
void MakeFile(const String& path, const String& data = "x", bool hidden = false);
