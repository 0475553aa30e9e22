// Paths, special folders, names, icons and versions against the shell of
// the test prefix (drive T:).
#include "Shelltest.h"

namespace {

HIMAGELIST ListOf(UINT size) {
  SHFILEINFOW info{};
  return reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | size));
}

// The only caller of ShellGetSystemImageList in this program: its first call
// installs the overlays.
TEST(SystemImageLists, SameHandlesAndOverlaysAddedOnce) {
  ASSERT_TRUE(IsWinNT());
  ASSERT_GE(CommonControlsVersion().VersionMS, 0x40047u);
  HIMAGELIST small = ListOf(SHGFI_SMALLICON), large = ListOf(SHGFI_LARGEICON);
  ASSERT_TRUE(small && large);
  ASSERT_NE(small, large);
  int smallCount = ImageList_GetImageCount(small), largeCount = ImageList_GetImageCount(large);

  EXPECT_EQ(ShellGetSystemImageList(ptsizSmall), small);
  EXPECT_EQ(ImageList_GetImageCount(small), smallCount + 2);
  EXPECT_EQ(ImageList_GetImageCount(large), largeCount + 2);
  EXPECT_EQ(ShellGetSystemImageList(ptsizLarge), large);
  EXPECT_EQ(ShellGetSystemImageList(ptsizSmall), small);
  EXPECT_EQ(ImageList_GetImageCount(small), smallCount + 2);
  EXPECT_EQ(ImageList_GetImageCount(large), largeCount + 2);

  // The overlays went in through the shell's icon cache: an icon the shell
  // adds afterwards lies where the shell says, not on an overlay.
  int before = ImageList_GetImageCount(small);
  int fresh = ShellGetSpecialFolderIconIndex(csidlDrives, SHGFI_SMALLICON);
  ASSERT_EQ(ImageList_GetImageCount(small), before + 1) << "My Computer's icon was there already";
  EXPECT_EQ(fresh, before);
  EXPECT_EQ(ImageList_GetImageCount(large), before + 1);
}

TEST(Versions, TestsOverForcedRecords) {
  // The prefix's own: 6.1.7601 on the NT platform, comctl32 5.81.
  EXPECT_TRUE(IsWinNT());
  EXPECT_TRUE(IsWin2000());
  EXPECT_FALSE(IsWin95());
  EXPECT_EQ(CommonControlsVersion().VersionMS, 0x50051u);

  const struct {
    DWORD platform, major, build;
    bool win95, osr2, nt, win2000, win95Shell;
  } cases[] = {
      {VER_PLATFORM_WIN32_WINDOWS, 4, 0x040003B6, true, false, false, false, true},  // 95: build 950
      {VER_PLATFORM_WIN32_WINDOWS, 4, 0x04000457, true, true, false, false, true},   // OSR2: build 1111
      {VER_PLATFORM_WIN32_NT, 3, 1057, false, false, true, false, false},
      {VER_PLATFORM_WIN32_NT, 4, 1381, false, false, true, false, true},
      {VER_PLATFORM_WIN32_NT, 5, 2195, false, false, true, true, true},
      {VER_PLATFORM_WIN32s, 3, 0, false, false, false, false, false},
  };
  for (const auto& c : cases) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwPlatformId = c.platform;
    info.dwMajorVersion = c.major;
    info.dwBuildNumber = c.build;
    SetOSVersionInfoOverride(&info);
    EXPECT_EQ(IsWin95(), c.win95) << c.platform << "." << c.major;
    EXPECT_EQ(IsOSR2OrGreater(), c.osr2) << c.platform << "." << c.major;
    EXPECT_EQ(IsWinNT(), c.nt) << c.platform << "." << c.major;
    EXPECT_EQ(IsWin2000(), c.win2000) << c.platform << "." << c.major;
    EXPECT_EQ(HasWin95Shell(), c.win95Shell) << c.platform << "." << c.major;
  }
  SetOSVersionInfoOverride(nullptr);
  EXPECT_EQ(OSVersionInfo().dwMajorVersion, 6u);

  TPTModuleVersion v6{0, 0x60000};
  SetCommonControlsVersionOverride(&v6);
  EXPECT_EQ(CommonControlsVersion().VersionMS, 0x60000u);
  SetCommonControlsVersionOverride(nullptr);
  EXPECT_EQ(CommonControlsVersion().VersionMS, 0x50051u);

  TPTModuleVersion kept{1, 2};
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  EXPECT_FALSE(GetModuleVersion(self, kept));  // no version resource
  EXPECT_FALSE(GetModuleVersion("T:\\missing.dll", kept));
  EXPECT_EQ(kept.VersionLS, 1u);
  EXPECT_EQ(kept.VersionMS, 2u);
}

TEST(ShellPaths, PathToPidlAndBack) {
  String dir = MakeShellTestFolder("paths\\Sub");
  TPidl pidl;
  ASSERT_EQ(ShellGetIdListFromPath(dir, pidl), S_OK);
  ASSERT_TRUE(pidl);
  EXPECT_EQ(ShellGetPathFromIdList(pidl.get()), dir);
  // The canonical form: the folder's own case, no final backslash.
  String lower = "t:" + LowerCase(dir.substr(2)) + "\\";
  EXPECT_EQ(ShellGetDisplayPathName(lower), dir);
  EXPECT_EQ(ShellGetDisplayPathName(dir + "\\missing"), "");

  TPidl missing;
  HRESULT hr = ShellGetIdListFromPath(dir + "\\missing", missing);
  EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(missing);

  // The shell's folder of a PIDL, and the desktop for nil and empty.
  TComPtr<IShellFolder> folder;
  ASSERT_EQ(ShellGetFolderFromIdList(pidl.get(), folder), S_OK);
  ASSERT_TRUE(folder);
  TComPtr<IShellFolder> desktop, got;
  ShellGetDesktopFolder(desktop);
  EXPECT_EQ(ShellGetFolderFromIdList(nullptr, got), S_OK);
  EXPECT_EQ(ShellGetFriendlyNameFromIdList(got.Get(), nullptr, ptfnNormal), "Desktop");
}

TEST(ShellPaths, ALongerPathNeverResolvesToItsFirst260Characters) {
  String base = MakeShellTestFolder("long");
  String longPath = base + "\\" + String(320 - base.size() - 1, 'n');
  ASSERT_EQ(longPath.size(), 320u);
  // Folders named by the first 259 and 260 characters of the long path.
  for (size_t n : {259, 260}) {
    std::wstring name = L"\\\\?\\" + StringToWide(longPath.substr(0, n));
    ASSERT_TRUE(CreateDirectoryW(name.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) << n;
  }
  TPidl pidl;
  HRESULT hr = ShellGetIdListFromPath(longPath, pidl);
  EXPECT_TRUE(FAILED(hr)) << std::hex << hr << " " << ShellGetPathFromIdList(pidl.get());
  EXPECT_FALSE(pidl);
  // A path of 259 characters is still parsed.
  ASSERT_EQ(ShellGetIdListFromPath(longPath.substr(0, 259), pidl), S_OK);
  EXPECT_EQ(ShellGetPathFromIdList(pidl.get()), longPath.substr(0, 259));
}

TEST(ShellPaths, SpecialFolders) {
  TPidl desktop, documents, plain;
  ASSERT_EQ(ShellGetSpecialFolderIdList(nullptr, csidlDesktop, desktop), S_OK);
  EXPECT_EQ(IdListLen(desktop.get()), 2u);
  ASSERT_EQ(ShellGetSpecialFolderIdList(nullptr, csidlPersonal, documents), S_OK);
  ASSERT_EQ(ShellGetIdListFromPath(MakeShellTestFolder("special"), plain), S_OK);
  std::string empty = PidlBytes({});

  EXPECT_EQ(ShellFindCSIDLFromIdList(AsPidl(empty)), csidlDesktop);
  EXPECT_EQ(ShellFindCSIDLFromIdList(documents.get()), csidlPersonal);
  EXPECT_EQ(ShellFindCSIDLFromIdList(plain.get()), csidlNone);
  EXPECT_TRUE(ShellCSIDLEqualsIdList(documents.get(), csidlPersonal));
  EXPECT_FALSE(ShellCSIDLEqualsIdList(documents.get(), csidlDesktop));
  EXPECT_FALSE(ShellCSIDLEqualsIdList(plain.get(), csidl_None2));  // CSIDL 12 does not exist here

  TPidl none;
  EXPECT_EQ(ShellGetSpecialFolderIdList(nullptr, csidl_None2, none), E_INVALIDARG);
  EXPECT_FALSE(none);
  EXPECT_EQ(ExcludeTrailingBackslash(ShellGetSpecialFolderPath(nullptr, csidlPersonal)),
            ExcludeTrailingBackslash(ShellGetPathFromIdList(documents.get())));
  EXPECT_EQ(ShellGetSpecialFolderPath(nullptr, csidl_None2), "");
}

TEST(ShellPaths, CompareAbsIdLists) {
  TPidl a1, a2, b;
  String dirA = MakeShellTestFolder("compare\\a"), dirB = MakeShellTestFolder("compare\\b");
  ASSERT_EQ(ShellGetIdListFromPath(dirA, a1), S_OK);
  ASSERT_EQ(ShellGetIdListFromPath(dirA, a2), S_OK);
  ASSERT_EQ(ShellGetIdListFromPath(dirB, b), S_OK);
  std::string e1 = PidlBytes({}), e2 = PidlBytes({});
  LPCITEMIDLIST empty1 = AsPidl(e1), empty2 = AsPidl(e2);

  EXPECT_EQ(CompareAbsIdLists(nullptr, nullptr), 0);
  EXPECT_EQ(CompareAbsIdLists(nullptr, empty1), -1);
  EXPECT_EQ(CompareAbsIdLists(empty1, nullptr), -1);
  EXPECT_EQ(CompareAbsIdLists(empty1, empty2), 0);
  EXPECT_EQ(CompareAbsIdLists(empty1, a1.get()), -1);
  EXPECT_EQ(CompareAbsIdLists(a1.get(), empty1), -1);
  EXPECT_EQ(CompareAbsIdLists(a1.get(), a2.get()), 0);
  EXPECT_LT(CompareAbsIdLists(a1.get(), b.get()), 0);
  EXPECT_GT(CompareAbsIdLists(b.get(), a1.get()), 0);

  TFakeShellFolder failing;  // CompareIDs fails
  {
    TScopedDesktop scoped(&failing);
    EXPECT_EQ(CompareAbsIdLists(a1.get(), b.get()), kCompareFailed);
    EXPECT_EQ(CompareAbsIdLists(nullptr, nullptr), 0);  // decided without the shell
  }
  EXPECT_EQ(failing.Refs(), 0);
}

TEST(ShellNames, FriendlyNamesAndRefusedNames) {
  String dir = MakeShellTestFolder("names\\Child");
  TPidl pidl;
  ASSERT_EQ(ShellGetIdListFromPath(dir, pidl), S_OK);
  EXPECT_EQ(ShellGetFriendlyNameForLastIdListElement(pidl.get()), "Child");
  EXPECT_EQ(ShellGetFriendlyNameFromIdList(nullptr, pidl.get(), ptfnForParsing), dir);
  std::string empty = PidlBytes({});
  EXPECT_EQ(ShellGetFriendlyNameForLastIdListElement(AsPidl(empty)), "Desktop");
  TPidl drives;
  ASSERT_EQ(ShellGetSpecialFolderIdList(nullptr, csidlDrives, drives), S_OK);
  EXPECT_EQ(ShellGetFriendlyNameForLastIdListElement(drives.get()), "My Computer");

  // A name the code page (1252) cannot hold is refused, never shown with "?".
  std::wstring wide = StringToWide(ShellTestFolder() + "\\names\\") + L"\u4e2d\u6587";
  ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  TComPtr<IShellFolder> desktop;
  ASSERT_EQ(ShellGetDesktopFolder(desktop), S_OK);
  std::vector<wchar_t> buf(wide.begin(), wide.end());
  buf.push_back(0);
  LPITEMIDLIST raw = nullptr;
  ULONG eaten = 0;
  ASSERT_EQ(desktop->ParseDisplayName(nullptr, nullptr, buf.data(), &eaten, &raw, nullptr), S_OK);
  TPidl cjk(raw);
  EXPECT_EQ(ShellGetFriendlyNameForLastIdListElement(cjk.get()), "");
  EXPECT_EQ(ShellGetFriendlyNameFromIdList(nullptr, cjk.get(), ptfnForParsing), "");
  EXPECT_EQ(ShellGetPathFromIdList(cjk.get()), "");
}

TEST(ShellMemory, RoutinesFreeWhatTheyMake) {
  String dir = MakeShellTestFolder("memory\\Child");
  ASSERT_EQ(CreateQuickShortcut(dir + ".lnk", dir), S_OK);
  TScopedShellMalloc scoped;
  {
    TPidl pidl;
    ASSERT_EQ(ShellGetIdListFromPath(dir, pidl), S_OK);
    EXPECT_EQ(ShellGetFriendlyNameForLastIdListElement(pidl.get()), "Child");
    EXPECT_EQ(ShellFindCSIDLFromIdList(pidl.get()), csidlNone);
    TPTIdListArray array(pidl.get());
    EXPECT_TRUE(array.GoUp(1));
    EXPECT_TRUE(array.GetItem(0));
    TPTShellLocator locator;
    locator.SetIdList(pidl.get());
    locator.SetCSIDL(csidlPersonal);
    EXPECT_TRUE(locator.GetIdList());
    locator.SetPathName(dir);
    TStringStream out;
    locator.WriteData(&out);
    TPTShellLocator read;
    TStringStream in(out.DataString());
    read.ReadData(&in);
    EXPECT_TRUE(read.IsEqual(&locator));
    TLinkData link;
    ASSERT_EQ(ResolveShortcut(dir + ".lnk", link, true), S_OK);
    EXPECT_TRUE(link.IdList);
  }
  EXPECT_GT(scoped.Malloc.Made, 0u);
  EXPECT_EQ(scoped.Malloc.Live(), 0u);
}

TEST(ShellIcons, IndicesAgree) {
  String dir = MakeShellTestFolder("icons");
  TPidl pidl;
  ASSERT_EQ(ShellGetIdListFromPath(dir, pidl), S_OK);
  int byPidl = ShellGetIconIndex(pidl.get(), SHGFI_SMALLICON);
  EXPECT_GE(byPidl, 0);
  EXPECT_EQ(ShellGetIconIndexFromPath(dir, SHGFI_SMALLICON), byPidl);
  EXPECT_GE(ShellGetIconIndexFromExt(".nembra-none", SHGFI_SMALLICON), 0);
  EXPECT_GE(ShellGetSpecialFolderIconIndex(csidlDrives, SHGFI_SMALLICON), 0);
  EXPECT_EQ(ShellGetSpecialFolderIconIndex(csidl_None2, SHGFI_SMALLICON), -1);
}

}  // namespace
