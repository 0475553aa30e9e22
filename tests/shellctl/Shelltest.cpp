#include "Shelltest.h"

namespace {

// Before the first test: OLE, and the check of the prefix. A fatal failure
// here runs no test at all.
class TShellEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    String problems = ShellPrefixProblems();
    ASSERT_TRUE(problems.empty()) << "The shell tests run in their own Wine prefix (ctest with the fixture "
                                     "shellprefix, NEMBRA_WINE_PREFIX=shell):\n"
                                  << problems;
  }
  void TearDown() override { OleUninitialize(); }
};
const auto* shellEnvironment = ::testing::AddGlobalTestEnvironment(new TShellEnvironment);

IMalloc* Task() {
  static IMalloc* const malloc = [] {
    IMalloc* m = nullptr;
    CoGetMalloc(1, &m);
    return m;
  }();
  return malloc;
}

String ProgramName() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return ChangeFileExt(ExtractFileName(path), "");
}

}  // namespace

String ShellPrefixProblems() {
  String problems;
  if (GetDriveTypeA("Z:\\") != DRIVE_NO_ROOT_DIR) problems += "- drive Z: is mapped (the host's file system)\n";
  if (GetDriveTypeA("T:\\") != DRIVE_FIXED) problems += "- drive T: is not a fixed drive\n";
  // No file-system item on the desktop but the Documents folder.
  String documents = ExcludeTrailingBackslash(ShellGetSpecialFolderPath(nullptr, csidlPersonal));
  TComPtr<IShellFolder> desktop;
  TComPtr<IEnumIDList> items;
  if (FAILED(ShellGetDesktopFolder(desktop)) ||
      FAILED(desktop->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN,
                                  items.Put())) ||
      !items) {
    return problems + "- the desktop cannot be listed\n";
  }
  LPITEMIDLIST item = nullptr;
  ULONG fetched = 0;
  while (items->Next(1, &item, &fetched) == S_OK) {
    TPidl holder(item);
    SFGAOF attributes = SFGAO_FILESYSTEM;
    LPCITEMIDLIST one = item;
    desktop->GetAttributesOf(1, &one, &attributes);
    String name = ShellGetFriendlyNameFromIdList(desktop.Get(), item, ptfnForParsing);
    if ((attributes & SFGAO_FILESYSTEM) && !SameText(ExcludeTrailingBackslash(name), documents))
      problems += "- the desktop shows \"" + name + "\"\n";
  }
  return problems;
}

String ShellTestFolder() {
  static const String folder = [] {
    String dir = "T:\\" + ProgramName();
    ForceDirectories(dir);
    return dir;
  }();
  return folder;
}

String MakeShellTestFolder(const String& name) {
  String dir = ShellTestFolder() + "\\" + name;
  EXPECT_TRUE(ForceDirectories(dir)) << dir;
  return dir;
}

std::string PidlBytes(const std::vector<std::string>& items) {
  std::string bytes;
  for (const auto& data : items) {
    size_t cb = data.size() + 2;
    bytes += static_cast<char>(cb & 0xFF);
    bytes += static_cast<char>(cb >> 8);
    bytes += data;
  }
  bytes.append(2, '\0');
  return bytes;
}

std::string BytesOf(LPCITEMIDLIST pidl) {
  if (!pidl) return std::string();
  return std::string(reinterpret_cast<const char*>(pidl), IdListLen(pidl));
}

HRESULT STDMETHODCALLTYPE TCountingMalloc::QueryInterface(REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMalloc)) {
    *out = static_cast<IMalloc*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

void* STDMETHODCALLTYPE TCountingMalloc::Alloc(SIZE_T size) {
  if (FailAlloc) return nullptr;
  void* p = Task()->Alloc(size);
  if (p) {
    live_.insert(p);
    ++Made;
  }
  return p;
}

void* STDMETHODCALLTYPE TCountingMalloc::Realloc(void* p, SIZE_T size) {
  bool mine = live_.erase(p) > 0;
  void* q = Task()->Realloc(p, size);
  if (q && (mine || !p)) live_.insert(q);
  return q;
}

void STDMETHODCALLTYPE TCountingMalloc::Free(void* p) {
  live_.erase(p);
  Task()->Free(p);
}

SIZE_T STDMETHODCALLTYPE TCountingMalloc::GetSize(void* p) { return Task()->GetSize(p); }

HRESULT STDMETHODCALLTYPE TFakeShellFolder::QueryInterface(REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IShellFolder) ||
      (Offers2 && IsEqualIID(iid, IID_IShellFolder2))) {
    *out = static_cast<IShellFolder2*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

TScopedUserClasses::TScopedUserClasses() {
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &classes_,
                            nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_), ERROR_SUCCESS);
}

TScopedUserClasses::~TScopedUserClasses() {
  RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  if (classes_) RegCloseKey(classes_);
}
