// Shared by the tests of what the user does with the shell list, the shell
// tree and the shell combo: a real folder with fake context menus and drop
// targets in its place, the menu tracker, the Send To target and a
// recording drop target.
#pragma once

#include <functional>

#include "Shellcontrolstest.h"
#include "shellctl/Uptshmenus.h"

// A context menu with fixed verbs ("" gives a command without a verb) that
// records the offsets it is asked to run.
class TFakeMenu final : public TPTUnknown<IContextMenu, IID_IContextMenu> {
 public:
  explicit TFakeMenu(std::vector<String> verbs, int defaultIndex = -1)
      : verbs_(std::move(verbs)), default_(defaultIndex) {}
  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT index, UINT first, UINT last, UINT flags) override;
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR offset, UINT type, UINT*, LPSTR name, UINT size) override;
  std::vector<UINT> Invoked;

 private:
  std::vector<String> verbs_;
  int default_;
};

// Records the calls it gets (with the key state), answers Effect and keeps
// what was dropped.
class TRecordingTarget final : public TPTUnknown<IDropTarget, IID_IDropTarget> {
 public:
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;
  struct TCall {
    String What;
    DWORD Keys = 0;
    DWORD Effect = 0;  // as offered
  };
  std::vector<TCall> Calls;
  std::vector<String> Names() const;
  DWORD Effect = DROPEFFECT_COPY;
  // Answers Effect whatever was offered (as some shell targets do).
  bool Insist = false;
  TShellIDList Dropped;
  std::vector<String> DroppedFiles;  // CF_HDROP
  // The item the target was made for (its name in the folder).
  String Item;
};

// A real folder in whose place fake menus and drop targets are handed out;
// everything else goes to the folder. Bind it through a TDesktopWrapper.
class TWrapFolder : public TFakeShellFolder {
 public:
  explicit TWrapFolder(const String& path);
  HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND owner, IBindCtx* bc, LPWSTR name, ULONG* eaten,
                                             PIDLIST_RELATIVE* pidl, ULONG* attributes) override {
    return real_->ParseDisplayName(owner, bc, name, eaten, pidl, attributes);
  }
  HRESULT STDMETHODCALLTYPE EnumObjects(HWND owner, SHCONTF flags, IEnumIDList** out) override {
    EnumOwners.push_back(owner);
    return real_->EnumObjects(owner, flags, out);
  }
  HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx* bc, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM lParam, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) override {
    return real_->CompareIDs(lParam, a, b);
  }
  HRESULT STDMETHODCALLTYPE CreateViewObject(HWND owner, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items, SFGAOF* attributes) override {
    return real_->GetAttributesOf(count, items, attributes);
  }
  HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND owner, UINT count, PCUITEMID_CHILD_ARRAY items, REFIID iid,
                                          UINT* reserved, void** out) override;
  HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD pidl, SHGDNF flags, STRRET* name) override {
    return real_->GetDisplayNameOf(pidl, flags, name);
  }
  HRESULT STDMETHODCALLTYPE SetNameOf(HWND owner, PCUITEMID_CHILD pidl, LPCWSTR name, SHGDNF flags,
                                      PITEMID_CHILD* out) override {
    return real_->SetNameOf(owner, pidl, name, flags, out);
  }
  // Handed out for IContextMenu when set: of items, of the folder itself.
  IContextMenu* Menu = nullptr;
  IContextMenu* BackgroundMenu = nullptr;
  // With drop targets: one recording target per item asked for (the
  // folder's own has the item ""), kept here; Effect is theirs.
  bool FakeTargets = false;
  DWORD TargetEffect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  bool TargetInsist = false;
  std::vector<TComPtr<TRecordingTarget>> Targets;
  TRecordingTarget* TargetOf(const String& item) const;
  // Bound in place of the items of these names.
  std::map<String, IShellFolder*> SubFolders;
  // The owner windows EnumObjects was given.
  std::vector<HWND> EnumOwners;
  TPidl Pidl;

 private:
  TComPtr<IShellFolder> real_;
};

// A drop source that asks the test's function what to do on each
// QueryContinueDrag (S_OK, DRAGDROP_S_DROP, DRAGDROP_S_CANCEL).
class TScriptedSource final : public TPTUnknown<IDropSource, IID_IDropSource> {
 public:
  explicit TScriptedSource(std::function<HRESULT(int call)> step) : step_(std::move(step)) {}
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override { return step_(++Calls); }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
  int Calls = 0;

 private:
  std::function<HRESULT(int)> step_;
};

// The menu tracker in place for a scope; the test's function chooses.
class TScopedTracker {
 public:
  explicit TScopedTracker(std::function<UINT(HMENU)> choose);
  ~TScopedTracker();
  int Calls = 0;

 private:
  std::function<UINT(HMENU)> choose_;
};

// The first command id of a verb in the menu that is up (0 for none).
UINT CommandOf(IContextMenu* menu, const String& verb);

// An entry file in the Send To folder, the list of entries read again,
// and every entry's drop target resolved to Target for a scope.
class TScopedSendTo {
 public:
  explicit TScopedSendTo(const String& entry);
  ~TScopedSendTo();
  TComPtr<TRecordingTarget> Target{new TRecordingTarget};
  String Resolved;  // the entry last resolved

 private:
  String path_;
};
