#include "Uptshdragdrop.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

// Runs a COM method's body: an exception goes to the application after the
// call and the method answers failure.
template <class F>
HRESULT Guarded(TObject* sender, HRESULT failure, F&& body) {
  try {
    return body();
  } catch (...) {
    HandleExceptionLater(sender);
    return failure;
  }
}

HGLOBAL AllocBlock(size_t size) { return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size); }

// The text of a STRRET as UTF-16 (empty when it has none).
std::wstring StrretToWide(LPCITEMIDLIST pidl, const STRRET& strret) {
  switch (strret.uType) {
    case STRRET_WSTR:
      return strret.pOleStr ? std::wstring(strret.pOleStr) : std::wstring();
    case STRRET_CSTR: {
      String s(strret.cStr, strnlen(strret.cStr, sizeof strret.cStr));
      return StringToWide(s);
    }
    case STRRET_OFFSET:
      return StringToWide(StrretToString(pidl, strret));
    default:
      return std::wstring();
  }
}

std::wstring ParsingName(IShellFolder* folder, LPCITEMIDLIST child) {
  STRRET strret{};
  strret.uType = STRRET_CSTR;
  if (!folder || FAILED(folder->GetDisplayNameOf(child, SHGDN_FORPARSING, &strret))) return std::wstring();
  std::wstring name = StrretToWide(child, strret);
  StrretFree(strret);
  return name;
}

}  // namespace

UINT ShellIDListFormat() {
  static const UINT format = RegisterClipboardFormatW(L"Shell IDList Array");
  return format;
}

const TPTDragHover& DragHoverValues() {
  static const TPTDragHover values = [] {
    TPTDragHover v;
    UINT n = 0;
    if (SystemParametersInfoW(SPI_GETMOUSEHOVERTIME, 0, &n, 0)) v.Time = n;
    if (SystemParametersInfoW(SPI_GETMOUSEHOVERWIDTH, 0, &n, 0)) v.Width = n;
    if (SystemParametersInfoW(SPI_GETMOUSEHOVERHEIGHT, 0, &n, 0)) v.Height = n;
    return v;
  }();
  return values;
}

// ---------------------------------------------------------------- formats

FORMATETC CopyFormatEtc(const FORMATETC& format) {
  FORMATETC copy = format;
  copy.ptd = nullptr;
  if (format.ptd) {
    DWORD size = format.ptd->tdSize;
    if (size >= offsetof(DVTARGETDEVICE, tdData)) {
      copy.ptd = static_cast<DVTARGETDEVICE*>(CoTaskMemAlloc(size));
      if (copy.ptd) std::memcpy(copy.ptd, format.ptd, size);
    }
  }
  return copy;
}

void TPTFormatEtcList::AddFormats(const std::vector<CLIPFORMAT>& formats) {
  for (CLIPFORMAT f : formats) items_.push_back({f, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
}

void TPTFormatEtcList::Add(const FORMATETC& format) { items_.push_back(CopyFormatEtc(format)); }

void TPTFormatEtcList::Clear() {
  for (FORMATETC& f : items_)
    if (f.ptd) CoTaskMemFree(f.ptd);
  items_.clear();
}

HRESULT TPTFormatEtcList::Check(const FORMATETC& request) const {
  if (request.dwAspect != DVASPECT_CONTENT) return DV_E_FORMATETC;
  bool present = false;
  for (const FORMATETC& f : items_) {
    if (f.cfFormat != request.cfFormat) continue;
    if (f.tymed & request.tymed) return S_OK;
    present = true;
  }
  return present ? DV_E_TYMED : DV_E_FORMATETC;
}

TComPtr<IEnumFORMATETC> TPTFormatEtcList::CreateEnumerator(std::shared_ptr<const TPTFormatEtcList> list) {
  return TComPtr<IEnumFORMATETC>(new TPTFormatEtcList_IEnumFormatEtc(std::move(list), 0));
}

HRESULT STDMETHODCALLTYPE TPTFormatEtcList_IEnumFormatEtc::Next(ULONG count, FORMATETC* items, ULONG* fetched) {
  return Guarded(nullptr, E_UNEXPECTED, [&]() -> HRESULT {
    if (fetched) *fetched = 0;
    if (!items && count) return E_POINTER;
    ULONG n = 0;
    while (n < count && position_ < list_->Count()) items[n++] = CopyFormatEtc(list_->Item(position_++));
    if (fetched) *fetched = n;
    return n < count ? S_FALSE : S_OK;
  });
}

HRESULT STDMETHODCALLTYPE TPTFormatEtcList_IEnumFormatEtc::Skip(ULONG count) {
  int left = std::max(0, list_->Count() - position_);
  if (count > static_cast<ULONG>(left)) {
    position_ = list_->Count();
    return S_FALSE;
  }
  position_ += static_cast<int>(count);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TPTFormatEtcList_IEnumFormatEtc::Reset() {
  position_ = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TPTFormatEtcList_IEnumFormatEtc::Clone(IEnumFORMATETC** out) {
  return Guarded(nullptr, E_UNEXPECTED, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = new TPTFormatEtcList_IEnumFormatEtc(list_, position_);
    return S_OK;
  });
}

// ---------------------------------------------------------------- blocks

HGLOBAL MakeShellIDListBlock(LPCITEMIDLIST parent, const std::vector<LPCITEMIDLIST>& children) {
  static const USHORT kEmpty = 0;
  std::vector<LPCITEMIDLIST> lists;
  lists.push_back(parent ? parent : reinterpret_cast<LPCITEMIDLIST>(&kEmpty));
  for (LPCITEMIDLIST c : children) lists.push_back(c ? c : reinterpret_cast<LPCITEMIDLIST>(&kEmpty));
  size_t header = sizeof(UINT) * (lists.size() + 1);
  size_t size = header;
  for (LPCITEMIDLIST l : lists) size += IdListLen(l);
  HGLOBAL block = AllocBlock(size);
  if (!block) return nullptr;
  auto* p = static_cast<BYTE*>(GlobalLock(block));
  if (!p) {
    GlobalFree(block);
    return nullptr;
  }
  UINT cidl = static_cast<UINT>(children.size());
  std::memcpy(p, &cidl, sizeof cidl);
  size_t at = header;
  for (size_t i = 0; i < lists.size(); ++i) {
    UINT offset = static_cast<UINT>(at);
    std::memcpy(p + sizeof(UINT) * (i + 1), &offset, sizeof offset);
    UINT len = IdListLen(lists[i]);
    std::memcpy(p + at, lists[i], len);
    at += len;
  }
  GlobalUnlock(block);
  return block;
}

HGLOBAL MakeFileDropBlock(const std::vector<std::wstring>& paths) {
  size_t chars = 1;  // the closing NUL
  bool any = false;
  for (const auto& s : paths) {
    if (s.empty()) continue;
    chars += s.size() + 1;
    any = true;
  }
  if (!any) return nullptr;
  HGLOBAL block = AllocBlock(sizeof(DROPFILES) + chars * sizeof(wchar_t));
  if (!block) return nullptr;
  auto* p = static_cast<BYTE*>(GlobalLock(block));
  if (!p) {
    GlobalFree(block);
    return nullptr;
  }
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  std::memcpy(p, &header, sizeof header);
  auto* text = reinterpret_cast<wchar_t*>(p + sizeof(DROPFILES));
  for (const auto& s : paths) {
    if (s.empty()) continue;
    std::memcpy(text, s.c_str(), (s.size() + 1) * sizeof(wchar_t));
    text += s.size() + 1;
  }
  GlobalUnlock(block);
  return block;
}

HGLOBAL MakeFileDropBlock(const std::vector<String>& paths) {
  std::vector<std::wstring> wide;
  for (const String& s : paths) wide.push_back(StringToWide(s));
  return MakeFileDropBlock(wide);
}

HGLOBAL CopyGlobalBlock(HGLOBAL block) {
  if (!block) return nullptr;
  SIZE_T size = GlobalSize(block);
  const void* from = GlobalLock(block);
  if (!from) return nullptr;
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
  void* to = copy ? GlobalLock(copy) : nullptr;
  if (to) {
    std::memcpy(to, from, size);
    GlobalUnlock(copy);
  } else if (copy) {
    GlobalFree(copy);
    copy = nullptr;
  }
  GlobalUnlock(block);
  return copy;
}

namespace {

uint32_t ReadU32(const BYTE* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The length, terminator included, of the PIDL at offset when its chain
// ends inside size bytes; 0 when it does not.
uint64_t ChainLength(const BYTE* p, uint64_t size, uint64_t offset) {
  uint64_t pos = offset;
  for (;;) {
    if (pos + sizeof(USHORT) > size) return 0;
    USHORT cb;
    std::memcpy(&cb, p + pos, sizeof cb);
    if (cb == 0) return pos + sizeof(USHORT) - offset;
    if (cb < sizeof(USHORT)) return 0;
    pos += cb;
  }
}

}  // namespace

bool ReadShellIDListBlock(HGLOBAL block, TShellIDList& list) {
  list.Parent.reset();
  list.Children.clear();
  if (!block) return false;
  uint64_t size = GlobalSize(block);
  const auto* p = static_cast<const BYTE*>(GlobalLock(block));
  if (!p) return false;
  bool ok = false;
  [&] {
    if (size < sizeof(UINT)) return;
    uint64_t cidl = ReadU32(p);
    if ((cidl + 2) * sizeof(UINT) > size) return;
    std::vector<TPidl> lists;
    for (uint64_t i = 0; i <= cidl; ++i) {
      uint64_t offset = ReadU32(p + sizeof(UINT) * (i + 1));
      uint64_t len = ChainLength(p, size, offset);
      if (len == 0) return;
      TPidl pidl(static_cast<LPITEMIDLIST>(ShellMemAlloc(static_cast<size_t>(len))));
      if (!pidl) return;
      std::memcpy(pidl.get(), p + offset, static_cast<size_t>(len));
      lists.push_back(std::move(pidl));
    }
    list.Parent = std::move(lists[0]);
    for (size_t i = 1; i < lists.size(); ++i) list.Children.push_back(std::move(lists[i]));
    ok = true;
  }();
  GlobalUnlock(block);
  return ok;
}

bool ReadShellIDList(IDataObject* data, TShellIDList& list) {
  list.Parent.reset();
  list.Children.clear();
  if (!data) return false;
  FORMATETC format{static_cast<CLIPFORMAT>(ShellIDListFormat()), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  if (data->QueryGetData(&format) != S_OK) return false;
  STGMEDIUM medium{};
  if (FAILED(data->GetData(&format, &medium))) return false;
  bool ok = medium.tymed == TYMED_HGLOBAL && ReadShellIDListBlock(medium.hGlobal, list);
  ReleaseStgMedium(&medium);
  return ok;
}

DWORD PTShAllowedDropEffects(IDataObject* data) {
  const DWORD all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  try {
    TShellIDList list;
    if (!ReadShellIDList(data, list) || list.Children.empty()) return all;
    std::vector<LPCITEMIDLIST> items;
    for (const TPidl& c : list.Children) {
      // GetAttributesOf takes items of the folder itself.
      if (IdListCount(c.get()) != 1) return all;
      items.push_back(c.get());
    }
    TComPtr<IShellFolder> folder;
    if (FAILED(ShellGetFolderFromIdList(list.Parent.get(), folder)) || !folder) return all;
    SFGAOF attributes = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
    if (FAILED(folder->GetAttributesOf(static_cast<UINT>(items.size()), items.data(), &attributes))) return all;
    return all & attributes;
  } catch (...) {
    return all;
  }
}

// ---------------------------------------------------------------- drop source

TDropSource_shlvtv::TDropSource_shlvtv(TMouseButton button)
    : button_(button == mbRight    ? MK_RBUTTON
              : button == mbMiddle ? MK_MBUTTON
                                   : MK_LBUTTON) {}

HRESULT STDMETHODCALLTYPE TDropSource_shlvtv::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
  if (escapePressed) return DRAGDROP_S_CANCEL;
  DWORD others = (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON) & ~button_;
  if (keyState & others) return DRAGDROP_S_CANCEL;
  return (keyState & button_) ? S_OK : DRAGDROP_S_DROP;
}

HRESULT STDMETHODCALLTYPE TDropSource_shlvtv::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

// ---------------------------------------------------------------- data object

TPTShellDataObject::TPTShellDataObject(LPCITEMIDLIST parent, const std::vector<LPCITEMIDLIST>& children) {
  if (children.empty()) return;
  idList_ = MakeShellIDListBlock(parent, children);
  TComPtr<IShellFolder> folder;
  std::vector<std::wstring> paths;
  if (SUCCEEDED(ShellGetFolderFromIdList(parent, folder)) && folder)
    for (LPCITEMIDLIST c : children) paths.push_back(ParsingName(folder.Get(), c));
  fileDrop_ = MakeFileDropBlock(paths);
  std::vector<CLIPFORMAT> offered;
  if (idList_) offered.push_back(static_cast<CLIPFORMAT>(ShellIDListFormat()));
  if (fileDrop_) offered.push_back(CF_HDROP);
  formats_->AddFormats(offered);
}

TPTShellDataObject::~TPTShellDataObject() {
  if (idList_) GlobalFree(idList_);
  if (fileDrop_) GlobalFree(fileDrop_);
}

TComPtr<IDataObject> TPTShellDataObject::ForTreeData(TPTShTreeData* data) {
  if (!data) return TComPtr<IDataObject>(new TPTShellDataObject(nullptr, {}));
  if (TPTShTreeData* parent = data->ParentData())
    return TComPtr<IDataObject>(new TPTShellDataObject(parent->GetAbsPidl(), {data->RelPidl()}));
  TComPtr<IShellFolder> folder;
  TPidl parentPidl, item;
  if (FAILED(SplitAbsoluteIdList(data->GetAbsPidl(), folder, parentPidl, item)))
    return TComPtr<IDataObject>(new TPTShellDataObject(nullptr, {}));
  return TComPtr<IDataObject>(new TPTShellDataObject(parentPidl.get(), {item.get()}));
}

HRESULT STDMETHODCALLTYPE TPTShellDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
  return Guarded(nullptr, E_UNEXPECTED, [&]() -> HRESULT {
    if (!format || !medium) return E_INVALIDARG;
    HRESULT hr = formats_->Check(*format);
    if (FAILED(hr)) return hr;
    HGLOBAL source = nullptr;
    if (format->cfFormat == ShellIDListFormat())
      source = idList_;
    else if (format->cfFormat == CF_HDROP)
      source = fileDrop_;
    if (!source) return DV_E_FORMATETC;
    HGLOBAL copy = CopyGlobalBlock(source);
    if (!copy) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE TPTShellDataObject::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TPTShellDataObject::QueryGetData(FORMATETC* format) {
  return Guarded(nullptr, E_UNEXPECTED, [&]() -> HRESULT {
    if (!format) return E_INVALIDARG;
    return formats_->Check(*format);
  });
}

HRESULT STDMETHODCALLTYPE TPTShellDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
  if (out) out->ptd = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TPTShellDataObject::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TPTShellDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
  return Guarded(nullptr, E_UNEXPECTED, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    *out = TPTFormatEtcList::CreateEnumerator(formats_).Detach();
    return S_OK;
  });
}

HRESULT STDMETHODCALLTYPE TPTShellDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) {
  return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT STDMETHODCALLTYPE TPTShellDataObject::DUnadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }

HRESULT STDMETHODCALLTYPE TPTShellDataObject::EnumDAdvise(IEnumSTATDATA**) { return OLE_E_ADVISENOTSUPPORTED; }

// ---------------------------------------------------------------- drop target

namespace {

template <class F>
HRESULT GuardedDrop(TPTDropTargetHandler* handler, DWORD* effect, F&& body) {
  if (!handler) {
    if (effect) *effect = DROPEFFECT_NONE;
    return E_UNEXPECTED;
  }
  HRESULT hr = Guarded(dynamic_cast<TObject*>(handler), E_UNEXPECTED, body);
  if (hr == E_UNEXPECTED && effect) *effect = DROPEFFECT_NONE;
  return hr;
}

}  // namespace

HRESULT STDMETHODCALLTYPE TPTForwardingDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL pt,
                                                             DWORD* effect) {
  return GuardedDrop(handler_, effect, [&]() -> HRESULT {
    if (!effect) return E_INVALIDARG;
    return handler_->OnDropTarget_DragEnter(data, keyState, pt, *effect);
  });
}

HRESULT STDMETHODCALLTYPE TPTForwardingDropTarget::DragOver(DWORD keyState, POINTL pt, DWORD* effect) {
  return GuardedDrop(handler_, effect, [&]() -> HRESULT {
    if (!effect) return E_INVALIDARG;
    return handler_->OnDropTarget_DragOver(keyState, pt, *effect);
  });
}

HRESULT STDMETHODCALLTYPE TPTForwardingDropTarget::DragLeave() {
  return GuardedDrop(handler_, nullptr, [&]() -> HRESULT { return handler_->OnDropTarget_DragLeave(); });
}

HRESULT STDMETHODCALLTYPE TPTForwardingDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) {
  return GuardedDrop(handler_, effect, [&]() -> HRESULT {
    if (!effect) return E_INVALIDARG;
    return handler_->OnDropTarget_Drop(data, keyState, pt, *effect);
  });
}

// ---------------------------------------------------------------- scrolling

bool DragScrollStep(HWND wnd, int bar, WORD code) {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_ALL;
  if (!GetScrollInfo(wnd, bar, &si)) return false;
  if (si.nMax - si.nMin - static_cast<int>(si.nPage) <= 0) return false;
  SendMessageW(wnd, bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(code, 0), 0);
  return true;
}

void DragScroll(HWND wnd, int bar, WORD lineCode, WORD pageCode) {
  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  if (lines == WHEEL_PAGESCROLL) {
    DragScrollStep(wnd, bar, pageCode);
    return;
  }
  if (bar == SB_HORZ) lines = 1;
  // A page is the most that a line count can mean.
  lines = std::min<UINT>(lines, 100);
  for (UINT i = 0; i < lines; ++i)
    if (!DragScrollStep(wnd, bar, lineCode)) break;
}
