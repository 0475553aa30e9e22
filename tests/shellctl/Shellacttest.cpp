#include "Shellacttest.h"

// ---------------------------------------------------------------- menu

HRESULT STDMETHODCALLTYPE TFakeMenu::QueryContextMenu(HMENU menu, UINT, UINT first, UINT, UINT) {
  for (size_t i = 0; i < verbs_.size(); ++i) {
    String text = verbs_[i].empty() ? "command " + IntToStr(static_cast<int>(i)) : verbs_[i];
    AppendMenuA(menu, MF_STRING, first + i, text.c_str());
  }
  if (default_ >= 0) SetMenuDefaultItem(menu, first + static_cast<UINT>(default_), FALSE);
  return MAKE_HRESULT(SEVERITY_SUCCESS, 0, verbs_.size());
}

HRESULT STDMETHODCALLTYPE TFakeMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) {
  if (!IS_INTRESOURCE(info->lpVerb)) return E_INVALIDARG;
  Invoked.push_back(LOWORD(reinterpret_cast<ULONG_PTR>(info->lpVerb)));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TFakeMenu::GetCommandString(UINT_PTR offset, UINT type, UINT*, LPSTR name, UINT size) {
  if (offset >= verbs_.size() || verbs_[offset].empty()) return E_INVALIDARG;
  if (type == GCS_VERBA) {
    lstrcpynA(name, verbs_[offset].c_str(), static_cast<int>(size));
    return S_OK;
  }
  if (type == GCS_VERBW) {
    lstrcpynW(reinterpret_cast<LPWSTR>(name), StringToWide(verbs_[offset]).c_str(), static_cast<int>(size));
    return S_OK;
  }
  return E_NOTIMPL;
}

// ---------------------------------------------------------------- drop target

HRESULT STDMETHODCALLTYPE TRecordingTarget::DragEnter(IDataObject*, DWORD keys, POINTL, DWORD* effect) {
  Calls.push_back({"enter", keys, *effect});
  *effect = Insist ? Effect : (*effect & Effect);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TRecordingTarget::DragOver(DWORD keys, POINTL, DWORD* effect) {
  Calls.push_back({"over", keys, *effect});
  *effect = Insist ? Effect : (*effect & Effect);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TRecordingTarget::DragLeave() {
  Calls.push_back({"leave", 0, 0});
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TRecordingTarget::Drop(IDataObject* data, DWORD keys, POINTL, DWORD* effect) {
  Calls.push_back({"drop", keys, *effect});
  ReadShellIDList(data, Dropped);
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (SUCCEEDED(data->GetData(&format, &medium))) {
    auto drop = static_cast<HDROP>(medium.hGlobal);
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      wchar_t path[MAX_PATH] = {};
      DragQueryFileW(drop, i, path, MAX_PATH);
      DroppedFiles.push_back(WideToString(path));
    }
    ReleaseStgMedium(&medium);
  }
  *effect = Insist ? Effect : (*effect & Effect);
  return S_OK;
}

std::vector<String> TRecordingTarget::Names() const {
  std::vector<String> out;
  for (const TCall& c : Calls) out.push_back(c.What);
  return out;
}

// ---------------------------------------------------------------- folder

TWrapFolder::TWrapFolder(const String& path) {
  Offers2 = false;
  EXPECT_EQ(ShellGetIdListFromPath(path, Pidl), S_OK) << path;
  TComPtr<IShellFolder> desktop;
  SHGetDesktopFolder(desktop.Put());
  EXPECT_EQ(desktop->BindToObject(Pidl.get(), nullptr, IID_IShellFolder, real_.PutVoid()), S_OK) << path;
}

HRESULT STDMETHODCALLTYPE TWrapFolder::BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx* bc, REFIID iid, void** out) {
  if (!SubFolders.empty()) {
    auto it = SubFolders.find(ShellGetFriendlyNameFromIdList(real_.Get(), pidl, ptfnInFolder));
    if (it != SubFolders.end()) return it->second->QueryInterface(iid, out);
  }
  return real_->BindToObject(pidl, bc, iid, out);
}

HRESULT STDMETHODCALLTYPE TWrapFolder::CreateViewObject(HWND owner, REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IContextMenu) && BackgroundMenu) return BackgroundMenu->QueryInterface(iid, out);
  if (IsEqualIID(iid, IID_IDropTarget) && FakeTargets) {
    TComPtr<TRecordingTarget> target(new TRecordingTarget);
    target->Effect = TargetEffect;
    target->Insist = TargetInsist;
    Targets.push_back(target);
    return target->QueryInterface(iid, out);
  }
  return real_->CreateViewObject(owner, iid, out);
}

HRESULT STDMETHODCALLTYPE TWrapFolder::GetUIObjectOf(HWND owner, UINT count, PCUITEMID_CHILD_ARRAY items, REFIID iid,
                                                     UINT* reserved, void** out) {
  if (IsEqualIID(iid, IID_IContextMenu) && Menu) return Menu->QueryInterface(iid, out);
  if (IsEqualIID(iid, IID_IDropTarget) && FakeTargets && count == 1) {
    TComPtr<TRecordingTarget> target(new TRecordingTarget);
    target->Item = ShellGetFriendlyNameFromIdList(real_.Get(), items[0], ptfnInFolder);
    target->Effect = TargetEffect;
    target->Insist = TargetInsist;
    Targets.push_back(target);
    return target->QueryInterface(iid, out);
  }
  return real_->GetUIObjectOf(owner, count, items, iid, reserved, out);
}

TRecordingTarget* TWrapFolder::TargetOf(const String& item) const {
  for (auto it = Targets.rbegin(); it != Targets.rend(); ++it)
    if ((*it)->Item == item) return it->Get();
  return nullptr;
}

// ---------------------------------------------------------------- tracker, Send To

TScopedTracker::TScopedTracker(std::function<UINT(HMENU)> choose) : choose_(std::move(choose)) {
  SetPTShMenuTracker([this](HMENU menu, UINT, int, int, HWND) {
    ++Calls;
    return choose_(menu);
  });
}

TScopedTracker::~TScopedTracker() { SetPTShMenuTracker(nullptr); }

UINT CommandOf(IContextMenu* menu, const String& verb) {
  int offset = ShellGetCommandOffset(menu, verb);
  return offset < 0 ? 0 : kFirstShellCommand + static_cast<UINT>(offset);
}

TScopedSendTo::TScopedSendTo(const String& entry) {
  String folder = ShellGetSpecialFolderPath(nullptr, csidlSendTo);
  EXPECT_TRUE(ForceDirectories(folder));
  path_ = IncludeTrailingBackslash(folder) + entry;
  WriteFileBytes(path_, "entry");
  PTShCollectSendTo();
  SetPTShSendToResolver([this](const String& name, TComPtr<IDropTarget>& target) {
    Resolved = name;
    target = TComPtr<IDropTarget>::Share(Target.Get());
    return S_OK;
  });
}

TScopedSendTo::~TScopedSendTo() {
  SetPTShSendToResolver(nullptr);
  DeleteFileStr(path_);
  PTShCollectSendTo();
}
