// OLE drag and drop of the shell controls: the format list and its
// enumerator, the shell ID list (CIDA) and file drop (CF_HDROP) blocks and a
// checked CIDA reader, the drop source, the data object of shell items that
// the tree, the list and Send To hand out, the drop target that forwards to
// a control, the allowed effects of dragged shell items and scrolling while
// dragging.
//
// Every COM method here runs inside a guard: an exception goes to the
// application once the call has returned (HandleExceptionLater) and the
// method answers E_UNEXPECTED (a drop target also DROPEFFECT_NONE).
#pragma once

#include <ole2.h>

#include <memory>
#include <vector>

#include "classlib/Controls.h"
#include "shellctl/Uptshitemdata.h"

// The registered clipboard format "Shell IDList Array".
UINT ShellIDListFormat();

// Hover time and rectangle for drag scrolling and expansion, read once
// (400 ms, 2 x 2 pixels when the system cannot tell).
struct TPTDragHover {
  UINT Time = 400;
  UINT Width = 2;
  UINT Height = 2;
};
const TPTDragHover& DragHoverValues();

// Base of the COM objects here: IUnknown for one interface. A new object
// holds one reference, its creator's.
template <class I, const IID& Iid>
class TPTUnknown : public I {
 public:
  TPTUnknown(const TPTUnknown&) = delete;
  TPTUnknown& operator=(const TPTUnknown&) = delete;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, Iid)) {
      *out = static_cast<I*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

 protected:
  TPTUnknown() = default;
  virtual ~TPTUnknown() = default;

 private:
  LONG refs_ = 1;
};

// ---------------------------------------------------------------- formats

// Owned copies of FORMATETC records; a target device is copied too.
class TPTFormatEtcList : public TObject {
 public:
  TPTFormatEtcList() = default;
  ~TPTFormatEtcList() override { Clear(); }

  // Each as { format, no device, DVASPECT_CONTENT, -1, TYMED_HGLOBAL }.
  void AddFormats(const std::vector<CLIPFORMAT>& formats);
  void Add(const FORMATETC& format);
  int Count() const { return static_cast<int>(items_.size()); }
  const FORMATETC& Item(int index) const { return items_[static_cast<size_t>(index)]; }
  void Clear();
  // S_OK; DV_E_FORMATETC for another aspect or an absent format; DV_E_TYMED
  // when the format is there on other media only.
  HRESULT Check(const FORMATETC& request) const;
  // An enumerator at position 0 that holds the list.
  static TComPtr<IEnumFORMATETC> CreateEnumerator(std::shared_ptr<const TPTFormatEtcList> list);

 private:
  std::vector<FORMATETC> items_;
};

// A copy of a FORMATETC whose target device is a new CoTaskMemAlloc block
// (the receiver frees it with CoTaskMemFree).
FORMATETC CopyFormatEtc(const FORMATETC& format);

class TPTFormatEtcList_IEnumFormatEtc final : public TPTUnknown<IEnumFORMATETC, IID_IEnumFORMATETC> {
 public:
  TPTFormatEtcList_IEnumFormatEtc(std::shared_ptr<const TPTFormatEtcList> list, int position)
      : list_(std::move(list)), position_(position) {}
  // Copies, target devices included, the caller's to free.
  HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* items, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** out) override;

 private:
  std::shared_ptr<const TPTFormatEtcList> list_;
  int position_;
};

// ---------------------------------------------------------------- blocks

// A moveable block: cidl, the n + 1 offsets, the parent's PIDL (nullptr:
// the empty list) and each child's, packed. nullptr when it cannot be made.
HGLOBAL MakeShellIDListBlock(LPCITEMIDLIST parent, const std::vector<LPCITEMIDLIST>& children);
// A moveable DROPFILES block of UTF-16 paths (fWide), sized to them; empty
// paths are left out. nullptr for no path or when it cannot be made.
HGLOBAL MakeFileDropBlock(const std::vector<std::wstring>& paths);
HGLOBAL MakeFileDropBlock(const std::vector<String>& paths);
// A new moveable block with the same bytes; nullptr on failure.
HGLOBAL CopyGlobalBlock(HGLOBAL block);

// What a CIDA names, copied out.
struct TShellIDList {
  TPidl Parent;  // absolute; the empty list for the desktop
  std::vector<TPidl> Children;
};
// False for a block that is not whole and sound: the count and offsets fit
// the block and each PIDL's chain ends inside it (nothing is read outside).
bool ReadShellIDListBlock(HGLOBAL block, TShellIDList& list);
// The data object's "Shell IDList Array", read as above.
bool ReadShellIDList(IDataObject* data, TShellIDList& list);

// The effects (DROPEFFECT_COPY, MOVE, LINK) the dragged shell items allow:
// 7 when they cannot be had (no or no sound CIDA, a folder or an
// attribute request that fails or raises); never raises.
DWORD PTShAllowedDropEffects(IDataObject* data);

// ---------------------------------------------------------------- drop source

// Drags with one mouse button; another button or Escape cancels.
class TDropSource_shlvtv final : public TPTUnknown<IDropSource, IID_IDropSource> {
 public:
  explicit TDropSource_shlvtv(TMouseButton button);
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;
  DWORD ButtonMask() const { return button_; }

 private:
  DWORD button_;
};

// ---------------------------------------------------------------- data object

// Shell items of one folder as "Shell IDList Array" and CF_HDROP (their
// parsing names). Made by the tree for a node, by the list for its
// selection and for Send To.
class TPTShellDataObject final : public TPTUnknown<IDataObject, IID_IDataObject> {
 public:
  // parent: absolute (nullptr: the desktop); children relative to it.
  TPTShellDataObject(LPCITEMIDLIST parent, const std::vector<LPCITEMIDLIST>& children);
  // The node of the data (the desktop node: the desktop directory).
  static TComPtr<IDataObject> ForTreeData(TPTShTreeData* data);

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** out) override;

 private:
  ~TPTShellDataObject() override;
  HGLOBAL idList_ = nullptr;
  HGLOBAL fileDrop_ = nullptr;
  std::shared_ptr<TPTFormatEtcList> formats_ = std::make_shared<TPTFormatEtcList>();
};
using TDataObject_shtv = TPTShellDataObject;
using TDataObject_shlv = TPTShellDataObject;

// ---------------------------------------------------------------- drop target

// What a control does with the calls of its drop target.
class TPTDropTargetHandler {
 public:
  virtual HRESULT OnDropTarget_DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD& effect) = 0;
  virtual HRESULT OnDropTarget_DragOver(DWORD keyState, POINTL pt, DWORD& effect) = 0;
  virtual HRESULT OnDropTarget_DragLeave() = 0;
  virtual HRESULT OnDropTarget_Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD& effect) = 0;

 protected:
  ~TPTDropTargetHandler() = default;
};

// Forwards to its control (not counted). The control clears it when it
// goes; calls after that answer E_UNEXPECTED with no effect.
class TPTForwardingDropTarget final : public TPTUnknown<IDropTarget, IID_IDropTarget> {
 public:
  explicit TPTForwardingDropTarget(TPTDropTargetHandler* handler) : handler_(handler) {}
  void ClearHandler() { handler_ = nullptr; }

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL pt, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) override;

 private:
  TPTDropTargetHandler* handler_;
};
using TDropTarget_shtv = TPTForwardingDropTarget;
using TDropTarget_shlv = TPTForwardingDropTarget;

// ---------------------------------------------------------------- scrolling

// One step on a bar (SB_HORZ, SB_VERT): WM_HSCROLL or WM_VSCROLL with code,
// only when the range exceeds the page. True when it was sent.
bool DragScrollStep(HWND wnd, int bar, WORD code);
// The system's wheel lines of steps with lineCode (one on the horizontal
// bar), or one step with pageCode when the wheel scrolls by pages.
void DragScroll(HWND wnd, int bar, WORD lineCode, WORD pageCode);
