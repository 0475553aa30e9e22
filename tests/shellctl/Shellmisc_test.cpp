// File-type classes, positional formatting, command-line splitting, the
// network drive test and the drive-cache flush.
#include "Shelltest.h"

#include "shellctl/Uptshconsts.h"

namespace {

const wchar_t kClasses[] = L"Software\\Classes";
const wchar_t kGuid1[] = L"{6E6D6272-0001-4000-8000-000000000001}";
const wchar_t kGuid2[] = L"{6E6D6272-0002-4000-8000-000000000002}";
const wchar_t kGuid3[] = L"{6E6D6272-0003-4000-8000-000000000003}";
const wchar_t kGuid4[] = L"{6E6D6272-0004-4000-8000-000000000004}";

// Test keys under HKCU\Software\Classes, seen as HKEY_CLASSES_ROOT and
// removed at the end of the scope.
class TTestClasses {
 public:
  TTestClasses() {
    HKEY key;
    clsidExisted_ = RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID", 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (clsidExisted_) RegCloseKey(key);
  }
  ~TTestClasses() {
    for (const auto& k : keys_) RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kClasses) + L"\\" + k).c_str());
    if (setClsidDefault_) {
      if (!clsidExisted_) {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID");
      } else if (HKEY key; RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID", 0, KEY_SET_VALUE, &key) ==
                           ERROR_SUCCESS) {
        RegDeleteValueW(key, nullptr);
        RegCloseKey(key);
      }
    }
  }
  // Sets the default value of a key (nullptr: the key without one).
  void Set(const std::wstring& path, const wchar_t* value) {
    std::wstring top = path.substr(0, path.find(L'\\'));
    if (top == L"CLSID")
      setClsidDefault_ = true;
    else if (std::find(keys_.begin(), keys_.end(), top) == keys_.end())
      keys_.push_back(top);
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kClasses) + L"\\" + path).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (value)
      RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                     static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }

 private:
  TScopedUserClasses view_;
  std::vector<std::wstring> keys_;
  bool clsidExisted_ = false;
  bool setClsidDefault_ = false;
};

String GuidText(const GUID& g) {
  wchar_t buf[40] = {};
  StringFromGUID2(g, buf, 40);
  return WideToString(buf);
}

TEST(FileTypeClasses, Lookup) {
  TTestClasses classes;
  // The default value names the class: no other key is looked at.
  classes.Set(L".nbt-direct", (std::wstring(L"CLSID\\") + kGuid1).c_str());
  classes.Set(L".nbt-direct\\CLSID", kGuid2);
  classes.Set(L".nbt-sub", L"Nembra.NoSuchClass");
  classes.Set(L".nbt-sub\\CLSID", kGuid2);
  classes.Set(L".nbt-class", L"Nembra.TestClass");
  classes.Set(L"Nembra.TestClass\\CLSID", kGuid3);
  classes.Set(L".nbt-empty", L"");
  classes.Set(L".nbt-none", nullptr);
  classes.Set(L".nbt-bad", L"clsid\\not a guid");
  classes.Set(L".nbt-emptyclsid", L"x");
  classes.Set(L".nbt-emptyclsid\\CLSID", L"");
  // A GUID as the default of the classes' own CLSID key, where a lookup
  // through an empty class name would end.
  classes.Set(L"CLSID", kGuid4);
  wchar_t root[64] = {};
  LONG size = sizeof root;
  ASSERT_EQ(RegQueryValueW(HKEY_CLASSES_ROOT, L"CLSID", root, &size), ERROR_SUCCESS);
  ASSERT_STREQ(root, kGuid4);

  const struct {
    const char* type;
    const wchar_t* want;  // nullptr: no class
  } cases[] = {
      {".nbt-direct", kGuid1}, {".NBT-DIRECT", kGuid1}, {".nbt-sub", kGuid2},  {".nbt-class", kGuid3},
      {".nbt-empty", nullptr}, {".nbt-none", nullptr},  {".nbt-bad", nullptr}, {".nbt-emptyclsid", nullptr},
      {".nbt-missing", nullptr}, {"", nullptr},
  };
  for (const auto& c : cases) {
    GUID got = GUID_NULL;
    bool found = PTClsidFromFileType(c.type, got);
    EXPECT_EQ(found, c.want != nullptr) << c.type;
    if (c.want && found) {
      EXPECT_EQ(GuidText(got), WideToString(c.want)) << c.type;
    }
    if (!found) {
      EXPECT_TRUE(IsEqualGUID(got, GUID_NULL)) << c.type;
    }
  }
}

TEST(FormatStrPos, Inserts) {
  String reason = SysErrorMessage(ERROR_ACCESS_DENIED);
  String path = "T:\\shellutils_tests\\New Folder";
  String text = FormatStrPos(PTLoadStr(SUnableToCreateFolder), {reason, path});
  EXPECT_EQ(text, "Unable to create the folder '" + path + "'\r\n\r\n" + reason);

  std::vector<String> fifty;
  for (int i = 1; i <= 50; ++i) fifty.push_back("i" + IntToStr(i));
  EXPECT_EQ(FormatStrPos("%1 %25 %50", fifty), "i1 i25 i50");
  fifty.push_back("i51");
  try {
    FormatStrPos("%1", fifty);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "FormatStrPos: Too many substitution strings");
  }

  EXPECT_EQ(FormatStrPos("%1-%2", {"%2", "x"}), "%2-x");  // inserts are not formatted again
  EXPECT_EQ(FormatStrPos("%1 and %3", {"a"}), "a and ");  // an insert not given is empty
  EXPECT_EQ(FormatStrPos("", {"a"}), "");
  EXPECT_EQ(FormatStrPos("no inserts", {}), "no inserts");
}

TEST(CommandLines, Split) {
  const struct {
    const char* line;
    UINT cp;
    std::vector<String> args;
  } cases[] = {
      {"one \"two three\" four", CP_ACP, {"one", "two three", "four"}},
      {"\"quoted\"letter", CP_ACP, {"quoted", "letter"}},
      {"word\"quoted\"", CP_ACP, {"word", "quoted"}},
      {"   \t  ", CP_ACP, {}},
      {"", CP_ACP, {}},
      {"a\tb \t c", CP_ACP, {"a", "b", "c"}},
      {"a \"unterminated  arg  ", CP_ACP, {"a", "unterminated  arg"}},
      {"a \"\" b", CP_ACP, {"a", "b"}},
      {"\"  lead and trail  \"", CP_ACP, {"  lead and trail"}},
      {"T:\\\x83\x5C \"\x83\x5C x\"", 932, {"T:\\\x83\x5C", "\x83\x5C x"}},
      // In 932 the quote after a lead byte is its trail byte.
      {"\"ab\x83\" c", 932, {"ab\x83\" c"}},
      {"\"ab\x83\" c", 1252, {"ab\x83", "c"}},
  };
  for (const auto& c : cases) {
    TStringList args;
    ParametizeCmdLineDB(c.line, &args, c.cp);
    std::vector<String> got;
    for (int i = 0; i < args.Count(); ++i) got.push_back(args[i]);
    EXPECT_EQ(got, c.args) << "[" << c.line << "] " << c.cp;
  }
  size_t index = 1;
  String token;
  CopyCharDB(index, "a\x83\x5C" "b", token, 932);
  EXPECT_EQ(token, "\x83\x5C");
  EXPECT_EQ(index, 3u);
  CopyCharDB(index, "a\x83\x5C" "b", token, 932);
  EXPECT_EQ(token, "\x83\x5C" "b");
  EXPECT_EQ(index, 4u);
}

HMODULE NoLibrary(const char*) { return nullptr; }
HMODULE WrongLibrary(const char*) { return LoadLibraryA("kernel32.dll"); }

TEST(NetworkDrives, ConnectedOnlyWhenTheLibrarySaysSo) {
  // This netapi32 answers "not supported" for every name.
  EXPECT_FALSE(IsNetworkDriveConnected('T'));
  EXPECT_FALSE(IsNetworkDriveConnected('X'));
  SetNetworkLibraryLoader(NoLibrary);
  EXPECT_TRUE(IsNetworkDriveConnected('X'));
  SetNetworkLibraryLoader(WrongLibrary);  // loads, but without the routines
  EXPECT_TRUE(IsNetworkDriveConnected('X'));
  SetNetworkLibraryLoader(nullptr);
  EXPECT_FALSE(IsNetworkDriveConnected('X'));
}

// Counts the binds of the drives folder and refuses them.
class TCountingDesktop : public TFakeShellFolder {
 public:
  HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void** out) override {
    *out = nullptr;
    ++Binds;
    return E_ACCESSDENIED;
  }
  int Binds = 0;
};

TEST(DriveInfoCache, FlushRaisesOnFailureAndTheLockNests) {
  FlushDriveInfoCache();  // the real My Computer
  TCountingDesktop desktop;
  {
    TScopedDesktop scoped(&desktop);
    try {
      FlushDriveInfoCache();
      ADD_FAILURE() << "no exception";
    } catch (const EOleSysError& e) {
      EXPECT_EQ(e.ErrorCode, E_ACCESSDENIED);
    }
    EXPECT_EQ(desktop.Binds, 1);
    LockFlushDriveInfoCache();
    LockFlushDriveInfoCache();
    FlushDriveInfoCache();
    UnlockFlushDriveInfoCache();
    FlushDriveInfoCache();
    EXPECT_EQ(desktop.Binds, 1);
    UnlockFlushDriveInfoCache();
    EXPECT_THROW(FlushDriveInfoCache(), EOleSysError);
    EXPECT_EQ(desktop.Binds, 2);
    UnlockFlushDriveInfoCache();  // not below zero
    LockFlushDriveInfoCache();
    FlushDriveInfoCache();
    EXPECT_EQ(desktop.Binds, 2);
    UnlockFlushDriveInfoCache();
  }
  EXPECT_EQ(desktop.Refs(), 0);
}

}  // namespace
