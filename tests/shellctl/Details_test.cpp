// IShellDetails for a folder: the adapter over IShellFolder2 and the choice
// between it and the folder's own interfaces.
#include "Shelltest.h"

namespace {

// Column states: 0, 1 and 2 shown by default, 3 not, 4 unknown (fails).
class TColumnsFolder : public TFakeShellFolder {
 public:
  HRESULT STDMETHODCALLTYPE GetDefaultColumnState(UINT column, SHCOLSTATEF* flags) override {
    if (column == 4) return E_FAIL;
    *flags = SHCOLSTATE_TYPE_STR | (column == 3 ? 0 : SHCOLSTATE_ONBYDEFAULT);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDetailsOf(PCUITEMID_CHILD, UINT column, SHELLDETAILS* details) override {
    Asked.push_back(static_cast<int>(column));
    if (column == 2) return E_UNEXPECTED;  // the folder's own failure
    if (column == 6) throw Exception("the folder broke");
    details->fmt = LVCFMT_LEFT;
    details->cxChar = 10 + static_cast<int>(column);
    details->str.uType = STRRET_CSTR;
    strcpy(details->str.cStr, "column");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID iid, void** out) override {
    *out = nullptr;
    if (View && IsEqualIID(iid, IID_IShellDetails)) {
      View->AddRef();
      *out = View;
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  std::vector<int> Asked;
  IShellDetails* View = nullptr;
};

// A folder whose IShellFolder2 cannot answer the header of column 0.
class TNoHeaderFolder : public TColumnsFolder {
 public:
  HRESULT STDMETHODCALLTYPE GetDetailsOf(PCUITEMID_CHILD, UINT, SHELLDETAILS*) override { return E_FAIL; }
};

class TViewDetails : public IShellDetails {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++Refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--Refs); }
  HRESULT STDMETHODCALLTYPE GetDetailsOf(PCUITEMID_CHILD, UINT, SHELLDETAILS*) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE ColumnClick(UINT) override { return S_OK; }
  int Refs = 0;
};

TEST(ShellDetailsAdapter, AnswersOnlyTheColumnsShownByDefault) {
  TColumnsFolder folder;
  auto* adapter = new TShellFolder2ToShellDetailsAdapter(&folder);
  EXPECT_EQ(folder.Refs(), 1);
  SHELLDETAILS details{};
  EXPECT_EQ(adapter->GetDetailsOf(nullptr, 0, &details), S_OK);
  EXPECT_EQ(details.cxChar, 10);
  EXPECT_EQ(adapter->GetDetailsOf(nullptr, 3, &details), E_INVALIDARG);
  EXPECT_EQ(adapter->GetDetailsOf(nullptr, 2, &details), E_UNEXPECTED);
  EXPECT_EQ(adapter->GetDetailsOf(nullptr, 4, &details), S_OK);  // state unknown: the folder answers
  EXPECT_EQ(details.cxChar, 14);
  // An exception stays inside: the application gets it after the call.
  std::vector<String> seen;
  Application->OnException = [&](TObject*, Exception& e) { seen.push_back(e.Message); };
  EXPECT_EQ(adapter->GetDetailsOf(nullptr, 6, &details), E_UNEXPECTED);
  EXPECT_TRUE(WaitFor([&] { return !seen.empty(); }, 2000));
  EXPECT_EQ(seen, std::vector<String>{"the folder broke"});
  EXPECT_EQ(folder.Asked, (std::vector<int>{0, 2, 4, 6}));
  EXPECT_EQ(adapter->ColumnClick(0), E_NOTIMPL);

  void* out = nullptr;
  EXPECT_EQ(adapter->QueryInterface(IID_IShellFolder, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  ASSERT_EQ(adapter->QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(out, static_cast<IShellDetails*>(adapter));
  ASSERT_EQ(adapter->QueryInterface(IID_IShellDetails, &out), S_OK);
  EXPECT_EQ(adapter->Release(), 2u);
  EXPECT_EQ(adapter->Release(), 1u);
  EXPECT_EQ(folder.Refs(), 1);
  EXPECT_EQ(adapter->Release(), 0u);  // the last one frees it and lets the folder go
  EXPECT_EQ(folder.Refs(), 0);
}

TEST(ShellDetailsAdapter, ChoiceOfTheInterface) {
  TViewDetails view;
  {
    TColumnsFolder folder;  // IShellFolder2 answers: the adapter
    folder.View = &view;
    TComPtr<IShellDetails> details = ShellGetFolderDetails(&folder);
    ASSERT_TRUE(details);
    SHELLDETAILS sd{};
    EXPECT_EQ(details->GetDetailsOf(nullptr, 3, &sd), E_INVALIDARG);
    EXPECT_EQ(view.Refs, 0);
    details.Reset();
    EXPECT_EQ(folder.Refs(), 0);
  }
  for (bool offers2 : {true, false}) {
    SCOPED_TRACE(offers2 ? "header fails" : "no IShellFolder2");
    TNoHeaderFolder folder;  // the view object's
    folder.Offers2 = offers2;
    folder.View = &view;
    TComPtr<IShellDetails> details = ShellGetFolderDetails(&folder);
    EXPECT_EQ(details.Get(), &view);
    details.Reset();
    EXPECT_EQ(view.Refs, 0);
    folder.View = nullptr;  // none at all
    EXPECT_FALSE(ShellGetFolderDetails(&folder));
    EXPECT_EQ(folder.Refs(), 0);
  }
  EXPECT_FALSE(ShellGetFolderDetails(nullptr));
}

TEST(ShellDetailsAdapter, AFileSystemFolderGetsTheAdapter) {
  TPidl pidl;
  String dir = MakeShellTestFolder("details");
  WriteFileBytes(dir + "\\a.txt", "abc");
  ASSERT_EQ(ShellGetIdListFromPath(dir, pidl), S_OK);
  TComPtr<IShellFolder> folder;
  ASSERT_EQ(ShellGetFolderFromIdList(pidl.get(), folder), S_OK);
  TComPtr<IShellDetails> details = ShellGetFolderDetails(folder.Get());
  ASSERT_TRUE(details);
  // The folder offers no IShellDetails of its own.
  EXPECT_FALSE(folder.As<IShellDetails>(IID_IShellDetails));
  void* out = nullptr;
  EXPECT_EQ(details->QueryInterface(IID_IShellFolder, &out), E_NOINTERFACE);
  // Every column of the folder is shown by default: all five answer.
  for (UINT column = 0; column < 5; ++column) {
    SHELLDETAILS sd{};
    ASSERT_EQ(details->GetDetailsOf(nullptr, column, &sd), S_OK) << column;
    EXPECT_NE(StrretToString(nullptr, sd.str), "") << column;
    StrretFree(sd.str);
  }
  SHELLDETAILS sd{};
  EXPECT_TRUE(FAILED(details->GetDetailsOf(nullptr, 5, &sd)));
}

}  // namespace
