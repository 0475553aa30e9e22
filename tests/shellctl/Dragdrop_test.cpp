// Drag and drop pieces: formats, blocks, the CIDA reader, allowed effects,
// the drop source, the data object and drag scrolling.
#include <stdexcept>

#include "Shelltest.h"
#include "shellctl/Uptshdragdrop.h"
#include "shellctl/Uptshmenus.h"

namespace {

std::string BlockBytes(HGLOBAL block) {
  SIZE_T size = GlobalSize(block);
  const char* p = static_cast<const char*>(GlobalLock(block));
  std::string bytes(p, size);
  GlobalUnlock(block);
  return bytes;
}

HGLOBAL BlockOf(const std::string& bytes) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  memcpy(GlobalLock(h), bytes.data(), bytes.size());
  GlobalUnlock(h);
  return h;
}

std::string U32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

std::vector<std::wstring> DroppedFiles(HGLOBAL block) {
  auto drop = static_cast<HDROP>(block);
  std::vector<std::wstring> files;
  UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < n; ++i) {
    UINT len = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring s(len + 1, L'\0');
    DragQueryFileW(drop, i, s.data(), len + 1);
    s.resize(len);
    files.push_back(s);
  }
  return files;
}

// A data object offering one format with fixed bytes.
class TBytesDataObject final : public TPTUnknown<IDataObject, IID_IDataObject> {
 public:
  TBytesDataObject(UINT format, std::string bytes)
      : format_(static_cast<CLIPFORMAT>(format)), bytes_(std::move(bytes)) {}
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* f, STGMEDIUM* m) override {
    if (f->cfFormat != format_) return DV_E_FORMATETC;
    m->tymed = TYMED_HGLOBAL;
    m->hGlobal = BlockOf(bytes_);
    m->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* f) override {
    return f->cfFormat == format_ ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

 private:
  CLIPFORMAT format_;
  std::string bytes_;
};

// The desktop for the allowed effects: it counts every call it gets.
class TAttributesDesktop : public TFakeShellFolder {
 public:
  HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY, SFGAOF* attributes) override {
    ++Calls;
    Count = count;
    if (Throw) throw std::runtime_error("the folder broke");
    if (Fail) return E_FAIL;
    *attributes &= Answer;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** out) override {
    ++Calls;
    *out = nullptr;
    return E_FAIL;
  }
  int Calls = 0;
  UINT Count = 0;
  SFGAOF Answer = SFGAO_CANCOPY;
  bool Fail = false;
  bool Throw = false;
};

// The items of a folder on T:.
struct TFolderItems {
  explicit TFolderItems(const String& name, const std::vector<String>& files) {
    dir = MakeShellTestFolder(name);
    EXPECT_EQ(ShellGetIdListFromPath(dir, pidl), S_OK);
    EXPECT_EQ(ShellGetFolderFromIdList(pidl.get(), folder), S_OK);
    for (const String& f : files) {
      WriteFileBytes(dir + "\\" + f, f);
      std::wstring wide = StringToWide(f);
      LPITEMIDLIST child = nullptr;
      ULONG eaten = 0;
      EXPECT_EQ(folder->ParseDisplayName(nullptr, nullptr, wide.data(), &eaten, &child, nullptr), S_OK);
      children.emplace_back(child);
      items.push_back(child);
    }
  }
  TComPtr<IDataObject> ShellData() {
    TComPtr<IDataObject> data;
    EXPECT_EQ(folder->GetUIObjectOf(nullptr, static_cast<UINT>(items.size()), items.data(), IID_IDataObject, nullptr,
                                    data.PutVoid()),
              S_OK);
    return data;
  }
  String dir;
  TPidl pidl;
  TComPtr<IShellFolder> folder;
  std::vector<TPidl> children;
  std::vector<LPCITEMIDLIST> items;
};

// ---------------------------------------------------------------- blocks

TEST(ShellIDListBlock, GoldenBytes) {
  std::string ab = PidlBytes({"ab"});
  HGLOBAL one = MakeShellIDListBlock(nullptr, {AsPidl(ab)});
  ASSERT_NE(one, nullptr);
  // cidl 1, parent at 12 (two zero bytes: the desktop), the child at 14.
  EXPECT_EQ(BlockBytes(one), U32(1) + U32(12) + U32(14) + std::string(2, '\0') + ab);
  GlobalFree(one);

  std::string parent = PidlBytes({"P", "QR"});
  std::string c1 = PidlBytes({"x"}), c2 = PidlBytes({"yyy"}), c3 = PidlBytes({"zz"});
  HGLOBAL three = MakeShellIDListBlock(AsPidl(parent), {AsPidl(c1), AsPidl(c2), AsPidl(c3)});
  uint32_t at = 20;
  std::string expected = U32(3) + U32(at) + U32(at + 9) + U32(at + 9 + 5) + U32(at + 9 + 5 + 7);
  expected += parent + c1 + c2 + c3;
  EXPECT_EQ(BlockBytes(three), expected);

  // Our reader gives back what went in.
  TShellIDList list;
  ASSERT_TRUE(ReadShellIDListBlock(three, list));
  EXPECT_EQ(BytesOf(list.Parent.get()), parent);
  ASSERT_EQ(list.Children.size(), 3u);
  EXPECT_EQ(BytesOf(list.Children[1].get()), c2);
  GlobalFree(three);
}

TEST(ShellIDListBlock, MalformedBlocksAreRefusedBeforeAnyShellCall) {
  std::string empty(2, '\0'), child = PidlBytes({"ab"});
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"shorter than the count", std::string(3, '\0')},
      {"huge cidl", U32(0xFFFFFFFF) + U32(12) + U32(14) + empty + child},
      {"offsets past the block", U32(3) + U32(12) + U32(14)},
      {"offset past GlobalSize", U32(1) + U32(12) + U32(1000) + empty + child},
      {"chain past the block", U32(1) + U32(12) + U32(14) + empty + std::string("\x50\x00xy", 4)},
      {"no terminator", U32(1) + U32(12) + U32(14) + empty +
                            std::string("\x04\x00"
                                        "ab",
                                        4)},
      {"an item of one byte", U32(1) + U32(12) + U32(14) + empty + std::string("\x01\x00\x00\x00", 4)},
  };
  TAttributesDesktop desktop;
  TScopedDesktop scope(&desktop);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HGLOBAL block = BlockOf(c.bytes);
    TShellIDList list;
    EXPECT_FALSE(ReadShellIDListBlock(block, list));
    GlobalFree(block);
    TComPtr<IDataObject> data(new TBytesDataObject(ShellIDListFormat(), c.bytes));
    EXPECT_EQ(PTShAllowedDropEffects(data.Get()), 7u);
  }
  EXPECT_EQ(desktop.Calls, 0);

  // The sound block of the same shape does reach the folder.
  TComPtr<IDataObject> data(new TBytesDataObject(ShellIDListFormat(), U32(1) + U32(12) + U32(14) + empty + child));
  EXPECT_EQ(PTShAllowedDropEffects(data.Get()), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(desktop.Calls, 1);
}

TEST(ShellIDListBlock, TheReaderOnTheShellsDataObjectAndOurs) {
  TFolderItems f("cida", {"one.txt", "two.txt"});
  TComPtr<IDataObject> shell = f.ShellData();
  TComPtr<IDataObject> ours(new TPTShellDataObject(f.pidl.get(), f.items));
  for (IDataObject* data : {shell.Get(), ours.Get()}) {
    SCOPED_TRACE(data == ours.Get() ? "ours" : "the shell's");
    TShellIDList list;
    ASSERT_TRUE(ReadShellIDList(data, list));
    ASSERT_EQ(list.Children.size(), 2u);
    EXPECT_EQ(ShellGetPathFromIdList(list.Parent.get()), f.dir);
    TPidl second = ConcatIdLists(nullptr, list.Parent.get(), list.Children[1].get());
    EXPECT_EQ(ShellGetPathFromIdList(second.get()), f.dir + "\\two.txt");
    DWORD effects = PTShAllowedDropEffects(data);
    EXPECT_TRUE(effects & DROPEFFECT_COPY) << effects;
    EXPECT_EQ(effects & ~7u, 0u);
  }
  EXPECT_EQ(PTShAllowedDropEffects(nullptr), 7u);
}

TEST(FileDropBlock, LayoutAndPaths) {
  HGLOBAL root = MakeFileDropBlock(std::vector<String>{"C:\\"});
  ASSERT_NE(root, nullptr);
  std::string bytes = BlockBytes(root);
  // The header, "C:\" in UTF-16 with its NUL, and the closing NUL.
  ASSERT_EQ(bytes.size(), sizeof(DROPFILES) + 4 * 2 + 2);
  DROPFILES header;
  memcpy(&header, bytes.data(), sizeof header);
  EXPECT_EQ(header.pFiles, sizeof(DROPFILES));
  EXPECT_EQ(header.pt.x, 0);
  EXPECT_EQ(header.fNC, FALSE);
  EXPECT_EQ(header.fWide, TRUE);
  EXPECT_EQ(bytes.substr(sizeof(DROPFILES)), std::string("C\0:\0\\\0\0\0\0\0", 10));
  EXPECT_EQ(DroppedFiles(root), std::vector<std::wstring>{L"C:\\"});
  GlobalFree(root);

  String longPath = "T:\\" + String(296, 'x') + ".txt";
  ASSERT_EQ(longPath.size(), 303u);
  std::vector<String> paths{"T:\\a.txt", longPath, "", "T:\\b"};
  HGLOBAL several = MakeFileDropBlock(paths);
  EXPECT_EQ(GlobalSize(several), sizeof(DROPFILES) + (9 + 304 + 5 + 1) * 2);
  EXPECT_EQ(DroppedFiles(several), (std::vector<std::wstring>{L"T:\\a.txt", StringToWide(longPath), L"T:\\b"}));
  GlobalFree(several);

  EXPECT_EQ(MakeFileDropBlock(std::vector<String>{}), nullptr);
  EXPECT_EQ(MakeFileDropBlock(std::vector<String>{""}), nullptr);
}

// ---------------------------------------------------------------- formats

TEST(FormatEtcList, RequestCheck) {
  TPTFormatEtcList list;
  UINT idList = ShellIDListFormat();
  list.AddFormats({static_cast<CLIPFORMAT>(idList), CF_HDROP});
  struct Case {
    UINT format;
    DWORD aspect;
    DWORD tymed;
    HRESULT expected;
  };
  const Case cases[] = {
      {CF_HDROP, DVASPECT_CONTENT, TYMED_HGLOBAL, S_OK},
      {CF_HDROP, DVASPECT_CONTENT, TYMED_HGLOBAL | TYMED_ISTREAM, S_OK},
      {idList, DVASPECT_CONTENT, TYMED_HGLOBAL, S_OK},
      {CF_HDROP, DVASPECT_CONTENT, TYMED_ISTREAM, DV_E_TYMED},
      {CF_TEXT, DVASPECT_CONTENT, TYMED_HGLOBAL, DV_E_FORMATETC},
      {CF_HDROP, DVASPECT_ICON, TYMED_HGLOBAL, DV_E_FORMATETC},
  };
  for (const Case& c : cases) {
    FORMATETC request{static_cast<CLIPFORMAT>(c.format), nullptr, c.aspect, -1, c.tymed};
    EXPECT_EQ(list.Check(request), c.expected) << c.format << " " << c.aspect << " " << c.tymed;
  }
}

TEST(FormatEtcList, Enumerator) {
  auto list = std::make_shared<TPTFormatEtcList>();
  list->AddFormats({CF_HDROP, CF_TEXT});
  // A record with a target device: every copy handed out has its own.
  std::vector<BYTE> device(sizeof(DVTARGETDEVICE) + 8, 0x5A);
  auto* ptd = reinterpret_cast<DVTARGETDEVICE*>(device.data());
  ptd->tdSize = static_cast<DWORD>(device.size());
  list->Add({CF_UNICODETEXT, ptd, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
  EXPECT_NE(list->Item(2).ptd, ptd);

  TComPtr<IEnumFORMATETC> e = TPTFormatEtcList::CreateEnumerator(list);
  list.reset();  // the enumerator holds it
  FORMATETC got[4] = {};
  ULONG fetched = 9;
  EXPECT_EQ(e->Next(2, got, &fetched), S_OK);
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(got[0].cfFormat, CF_HDROP);
  EXPECT_EQ(got[1].cfFormat, CF_TEXT);
  EXPECT_EQ(got[0].lindex, -1);
  EXPECT_EQ(got[0].tymed, static_cast<DWORD>(TYMED_HGLOBAL));

  TComPtr<IEnumFORMATETC> clone;
  ASSERT_EQ(e->Clone(clone.Put()), S_OK);
  EXPECT_EQ(e->Next(4, got, &fetched), S_FALSE);  // past the end
  EXPECT_EQ(fetched, 1u);
  ASSERT_NE(got[0].ptd, nullptr);
  EXPECT_EQ(memcmp(got[0].ptd, device.data(), device.size()), 0);
  CoTaskMemFree(got[0].ptd);  // the caller's copy
  EXPECT_EQ(e->Next(1, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);

  // The clone stayed where it was made.
  EXPECT_EQ(clone->Next(1, got, nullptr), S_OK);
  ASSERT_NE(got[0].ptd, nullptr);
  CoTaskMemFree(got[0].ptd);
  EXPECT_EQ(clone->Skip(1), S_FALSE);
  EXPECT_EQ(clone->Reset(), S_OK);
  EXPECT_EQ(clone->Skip(3), S_OK);
  EXPECT_EQ(clone->Next(1, got, &fetched), S_FALSE);
  EXPECT_EQ(clone->Reset(), S_OK);
  EXPECT_EQ(clone->Skip(1), S_OK);
  EXPECT_EQ(clone->Next(1, got, nullptr), S_OK);
  EXPECT_EQ(got[0].cfFormat, CF_TEXT);

  void* out = nullptr;
  EXPECT_EQ(e->QueryInterface(IID_IDataObject, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(e->QueryInterface(IID_IEnumFORMATETC, &out), S_OK);
  static_cast<IUnknown*>(out)->Release();
}

// ---------------------------------------------------------------- data object

TEST(ShellDataObject, FormatsAndCopies) {
  TFolderItems f("dataobject", {"a.txt", "b.txt"});
  TComPtr<IDataObject> data(new TPTShellDataObject(f.pidl.get(), f.items));
  FORMATETC hdrop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM m1{}, m2{};
  ASSERT_EQ(data->GetData(&hdrop, &m1), S_OK);
  ASSERT_EQ(data->GetData(&hdrop, &m2), S_OK);
  EXPECT_NE(m1.hGlobal, m2.hGlobal);  // a new block each time, the caller's
  EXPECT_EQ(m1.pUnkForRelease, nullptr);
  EXPECT_EQ(DroppedFiles(m1.hGlobal),
            (std::vector<std::wstring>{StringToWide(f.dir + "\\a.txt"), StringToWide(f.dir + "\\b.txt")}));
  ReleaseStgMedium(&m1);
  ReleaseStgMedium(&m2);

  FORMATETC stream{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
  EXPECT_EQ(data->QueryGetData(&stream), DV_E_TYMED);
  FORMATETC text{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM m{};
  EXPECT_EQ(data->GetData(&text, &m), DV_E_FORMATETC);
  EXPECT_EQ(data->GetDataHere(&hdrop, &m), E_NOTIMPL);
  EXPECT_EQ(data->SetData(&hdrop, &m, FALSE), E_NOTIMPL);
  FORMATETC canonical{};
  canonical.ptd = reinterpret_cast<DVTARGETDEVICE*>(1);
  EXPECT_EQ(data->GetCanonicalFormatEtc(&hdrop, &canonical), E_NOTIMPL);
  EXPECT_EQ(canonical.ptd, nullptr);
  DWORD connection = 0;
  EXPECT_EQ(data->DAdvise(&hdrop, 0, nullptr, &connection), OLE_E_ADVISENOTSUPPORTED);
  EXPECT_EQ(data->DUnadvise(0), OLE_E_ADVISENOTSUPPORTED);
  EXPECT_EQ(data->EnumDAdvise(nullptr), OLE_E_ADVISENOTSUPPORTED);

  IEnumFORMATETC* none = reinterpret_cast<IEnumFORMATETC*>(1);
  EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &none), E_NOTIMPL);
  EXPECT_EQ(none, nullptr);
  TComPtr<IEnumFORMATETC> e;
  ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, e.Put()), S_OK);
  data.Reset();  // the enumerator outlives its data object
  FORMATETC got[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(e->Next(3, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(got[0].cfFormat, ShellIDListFormat());
  EXPECT_EQ(got[1].cfFormat, CF_HDROP);

  // Nothing to carry: no formats at all.
  TComPtr<IDataObject> empty(new TPTShellDataObject(f.pidl.get(), {}));
  EXPECT_EQ(empty->QueryGetData(&hdrop), DV_E_FORMATETC);
}

TEST(ShellDataObject, OfATreeNode) {
  TFolderItems f("treenode", {});
  ASSERT_TRUE(ForceDirectories(f.dir + "\\node"));
  TPTShTreeData root(nullptr);
  root.SetData(nullptr, f.pidl.get());
  TPTShTreeData node(nullptr);
  LPITEMIDLIST child = nullptr;
  ULONG eaten = 0;
  wchar_t name[] = L"node";
  ASSERT_EQ(f.folder->ParseDisplayName(nullptr, nullptr, name, &eaten, &child, nullptr), S_OK);
  TPidl holder(child);
  node.SetData(&root, child);

  for (TPTShTreeData* d : {&node, &root}) {
    TComPtr<IDataObject> data = TPTShellDataObject::ForTreeData(d);
    TShellIDList list;
    ASSERT_TRUE(ReadShellIDList(data.Get(), list));
    ASSERT_EQ(list.Children.size(), 1u);
    TPidl whole = ConcatIdLists(nullptr, list.Parent.get(), list.Children[0].get());
    EXPECT_EQ(ShellGetPathFromIdList(whole.get()), d->GetPathName());
    FORMATETC hdrop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m{};
    ASSERT_EQ(data->GetData(&hdrop, &m), S_OK);
    EXPECT_EQ(DroppedFiles(m.hGlobal), std::vector<std::wstring>{StringToWide(d->GetPathName())});
    ReleaseStgMedium(&m);
  }

  // The desktop's root node is dragged and dropped on as the desktop
  // directory.
  TPTShTreeData desktop(nullptr);
  desktop.SetData(nullptr, nullptr);
  String desktopDir = ExcludeTrailingBackslash(ShellGetSpecialFolderPath(nullptr, csidlDesktop));
  ASSERT_NE(desktopDir, "");
  TComPtr<IDataObject> data = TPTShellDataObject::ForTreeData(&desktop);
  TShellIDList list;
  ASSERT_TRUE(ReadShellIDList(data.Get(), list));
  ASSERT_EQ(list.Children.size(), 1u);
  TPidl whole = ConcatIdLists(nullptr, list.Parent.get(), list.Children[0].get());
  EXPECT_EQ(ShellGetPathFromIdList(whole.get()), desktopDir);
  FORMATETC hdrop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM m{};
  ASSERT_EQ(data->GetData(&hdrop, &m), S_OK);
  EXPECT_EQ(DroppedFiles(m.hGlobal), std::vector<std::wstring>{StringToWide(desktopDir)});
  ReleaseStgMedium(&m);
  TComPtr<IDropTarget> target;
  EXPECT_EQ(desktop.GetIDropTarget(nullptr, target), S_OK);
  EXPECT_TRUE(target);
}

TEST(AllowedDropEffects, WithoutAShellIDListAndWithAFailingFolder) {
  HGLOBAL files = MakeFileDropBlock(std::vector<String>{"T:\\x"});
  TComPtr<IDataObject> onlyFiles(new TBytesDataObject(CF_HDROP, BlockBytes(files)));
  GlobalFree(files);
  EXPECT_EQ(PTShAllowedDropEffects(onlyFiles.Get()), 7u);

  std::string child = PidlBytes({"ab"}), other = PidlBytes({"cd"});
  HGLOBAL block = MakeShellIDListBlock(nullptr, {AsPidl(child), AsPidl(other)});
  TComPtr<IDataObject> data(new TBytesDataObject(ShellIDListFormat(), BlockBytes(block)));
  GlobalFree(block);
  TAttributesDesktop desktop;
  TScopedDesktop scope(&desktop);
  desktop.Answer = SFGAO_CANCOPY | SFGAO_CANLINK | SFGAO_FOLDER;
  EXPECT_EQ(PTShAllowedDropEffects(data.Get()), static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_LINK));
  EXPECT_EQ(desktop.Count, 2u);
  desktop.Fail = true;
  EXPECT_EQ(PTShAllowedDropEffects(data.Get()), 7u);
  desktop.Fail = false;
  desktop.Throw = true;
  EXPECT_EQ(PTShAllowedDropEffects(data.Get()), 7u);  // and nothing escapes
}

// ---------------------------------------------------------------- drop source

TEST(DropSource, QueryContinueDrag) {
  struct Case {
    TMouseButton button;
    BOOL escape;
    DWORD keys;
    HRESULT expected;
  };
  const Case cases[] = {
      {mbLeft, FALSE, MK_LBUTTON, S_OK},
      {mbLeft, FALSE, MK_LBUTTON | MK_CONTROL | MK_SHIFT, S_OK},
      {mbLeft, FALSE, 0, DRAGDROP_S_DROP},
      {mbLeft, TRUE, MK_LBUTTON, DRAGDROP_S_CANCEL},
      {mbLeft, FALSE, MK_LBUTTON | MK_RBUTTON, DRAGDROP_S_CANCEL},
      {mbLeft, FALSE, MK_MBUTTON, DRAGDROP_S_CANCEL},
      {mbRight, FALSE, MK_RBUTTON, S_OK},
      {mbRight, FALSE, MK_CONTROL, DRAGDROP_S_DROP},
      {mbRight, FALSE, MK_RBUTTON | MK_LBUTTON, DRAGDROP_S_CANCEL},
      {mbMiddle, FALSE, MK_MBUTTON, S_OK},
      {mbMiddle, FALSE, MK_MBUTTON | MK_LBUTTON, DRAGDROP_S_CANCEL},
  };
  for (const Case& c : cases) {
    TComPtr<IDropSource> source(new TDropSource_shlvtv(c.button));
    EXPECT_EQ(source->QueryContinueDrag(c.escape, c.keys), c.expected) << c.button << " " << c.keys;
    EXPECT_EQ(source->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
  }
}

// ---------------------------------------------------------------- drop target

// Forwards to its control; the control's exception goes to the
// application and the call answers no effect.
class TThrowingHandler : public TObject, public TPTDropTargetHandler {
 public:
  HRESULT OnDropTarget_DragEnter(IDataObject*, DWORD keys, POINTL pt, DWORD& effect) override {
    Log.push_back(Format("enter %d %d,%d %d", keys, pt.x, pt.y, effect));
    effect = DROPEFFECT_LINK;
    return S_OK;
  }
  HRESULT OnDropTarget_DragOver(DWORD, POINTL, DWORD&) override { throw Exception("handler failed"); }
  HRESULT OnDropTarget_DragLeave() override {
    Log.push_back("leave");
    return S_FALSE;
  }
  HRESULT OnDropTarget_Drop(IDataObject*, DWORD, POINTL, DWORD&) override { return E_FAIL; }
  std::vector<String> Log;
};

TEST(ForwardingDropTarget, CallsItsControlAndGuardsIt) {
  TThrowingHandler handler;
  std::vector<String> seen;
  TObject* sender = nullptr;
  Application->OnException = [&](TObject* s, Exception& e) {
    sender = s;
    seen.push_back(e.Message);
  };
  TComPtr<TPTForwardingDropTarget> target(new TPTForwardingDropTarget(&handler));
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->DragEnter(nullptr, MK_LBUTTON, POINTL{3, 4}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_LINK));
  EXPECT_EQ(target->DragLeave(), S_FALSE);
  EXPECT_EQ(handler.Log, (std::vector<String>{"enter 1 3,4 1", "leave"}));
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->DragOver(0, POINTL{0, 0}, &effect), E_UNEXPECTED);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_TRUE(seen.empty());  // handed on after the call
  ASSERT_TRUE(WaitFor([&] { return !seen.empty(); }, 2000));
  EXPECT_EQ(seen, std::vector<String>{"handler failed"});
  EXPECT_EQ(sender, &handler);
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->Drop(nullptr, 0, POINTL{0, 0}, &effect), E_FAIL);

  // Once the control is gone the target answers nothing.
  target->ClearHandler();
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->DragEnter(nullptr, 0, POINTL{0, 0}, &effect), E_UNEXPECTED);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(handler.Log.size(), 2u);
  void* out = nullptr;
  EXPECT_EQ(target->QueryInterface(IID_IDropTarget, &out), S_OK);
  EXPECT_EQ(target->Release(), 1u);
}

// ---------------------------------------------------------------- scrolling

TEST(DragScroll, StepsOnlyWithARange) {
  auto codes = std::make_shared<std::vector<String>>();
  HWND wnd = nullptr;
  wnd = AllocateHWnd(TWndMethod([codes, &wnd](TMessage& msg) {
    if (msg.Msg == WM_VSCROLL || msg.Msg == WM_HSCROLL)
      codes->push_back((msg.Msg == WM_VSCROLL ? "v" : "h") + IntToStr(LOWORD(msg.WParam)));
    else
      msg.Result = DefWindowProcA(wnd, msg.Msg, msg.WParam, msg.LParam);
  }));
  PTShSetStyleBits(wnd, WS_VSCROLL | WS_HSCROLL, true);
  EXPECT_TRUE(GetWindowLongPtrW(wnd, GWL_STYLE) & WS_VSCROLL);
  SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE, 0, 100, 10, 0, 0};
  SetScrollInfo(wnd, SB_VERT, &si, FALSE);
  si.nMax = 9;  // all of it fits the page
  SetScrollInfo(wnd, SB_HORZ, &si, FALSE);

  EXPECT_TRUE(DragScrollStep(wnd, SB_VERT, SB_LINEDOWN));
  EXPECT_FALSE(DragScrollStep(wnd, SB_HORZ, SB_LINERIGHT));
  EXPECT_EQ(*codes, std::vector<String>{"v1"});

  codes->clear();
  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  DragScroll(wnd, SB_VERT, SB_LINEUP, SB_PAGEUP);
  std::vector<String> expected =
      lines == WHEEL_PAGESCROLL ? std::vector<String>{"v2"} : std::vector<String>(std::min<UINT>(lines, 100), "v0");
  EXPECT_EQ(*codes, expected);
  si.nMax = 100;
  SetScrollInfo(wnd, SB_HORZ, &si, FALSE);
  codes->clear();
  DragScroll(wnd, SB_HORZ, SB_LINERIGHT, SB_PAGERIGHT);
  EXPECT_EQ(*codes, std::vector<String>{lines == WHEEL_PAGESCROLL ? "h3" : "h1"});
  DeallocateHWnd(wnd);
}

}  // namespace
