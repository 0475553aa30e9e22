// Shortcut files: made, read back and resolved.
#include "Shelltest.h"

namespace {

String Target(const String& dir) {
  String target = dir + "\\target.txt";
  WriteFileBytes(target, "target");
  return target;
}

TEST(Shortcuts, RoundTripWithEveryOption) {
  String dir = MakeShellTestFolder("links\\all");
  TLinkData data;
  data.Path = Target(dir);
  data.Options = {ldoUseDesc, ldoUseArgs, ldoUseIcon, ldoUseWorkDir, ldoUseHotKey, ldoUseShowCmd};
  data.Description = "Caf\xe9 target";
  data.Arguments = "-a \"b c\"";
  data.IconPath = dir + "\\icons.dll";
  data.IconIndex = 3;
  data.WorkingDirectory = dir + "\\";
  data.HotKey = MAKEWORD('K', HOTKEYF_CONTROL | HOTKEYF_ALT);
  data.ShowCmd = SW_SHOWMAXIMIZED;
  String link = dir + "\\all.lnk";
  ASSERT_EQ(CreateShortcut(link, data), S_OK);

  TLinkData back;
  back.ResolveMode = 1;
  ASSERT_EQ(ResolveShortcut(link, back, true), S_OK);
  EXPECT_EQ(back.Path, data.Path);
  EXPECT_EQ(back.Description, data.Description);
  EXPECT_EQ(back.Arguments, data.Arguments);
  EXPECT_EQ(back.IconPath, data.IconPath);
  EXPECT_EQ(back.IconIndex, 3);
  EXPECT_EQ(back.WorkingDirectory, data.WorkingDirectory);
  EXPECT_EQ(back.HotKey, data.HotKey);
  // This Wine does not read the show command back from a link; the file
  // holds it (the header's ShowCommand, bytes 60-63).
  String bytes = ReadFileBytes(link);
  ASSERT_GE(bytes.size(), 64u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[60]), SW_SHOWMAXIMIZED);
  EXPECT_EQ(back.Options, data.Options);
  ASSERT_TRUE(back.IdList);
  EXPECT_EQ(ShellGetPathFromIdList(back.IdList.get()), data.Path);

  // Without the options only the target is stored.
  TLinkData bare;
  bare.Path = data.Path;
  bare.Description = "not stored";
  ASSERT_EQ(CreateShortcut(dir + "\\bare.lnk", bare), S_OK);
  TLinkData bareBack;
  ASSERT_EQ(ResolveShortcut(dir + "\\bare.lnk", bareBack, false), S_OK);
  EXPECT_EQ(bareBack.Path, data.Path);
  EXPECT_EQ(bareBack.Description, "");
  EXPECT_FALSE(bareBack.IdList);

  EXPECT_TRUE(FAILED(ResolveShortcut(dir + "\\missing.lnk", bareBack, false)));
  EXPECT_TRUE(FAILED(CreateShortcut("T:\\no such folder\\x.lnk", bare)));
}

TEST(Shortcuts, QuickShortcutKeepsTheBackslashOfItsFolder) {
  String dir = MakeShellTestFolder("links\\quick");
  String target = Target(dir);
  ASSERT_EQ(CreateQuickShortcut(dir + "\\quick.lnk", target), S_OK);
  TLinkData back;
  ASSERT_EQ(ResolveShortcut(dir + "\\quick.lnk", back, false), S_OK);
  EXPECT_EQ(back.Path, target);
  EXPECT_EQ(back.Description, target);
  EXPECT_EQ(back.WorkingDirectory, dir + "\\");
  EXPECT_EQ(back.Arguments, "");
}

int VisibleWindowsOfThisProcess() {
  struct TCount {
    int n = 0;
  } count;
  EnumWindows(
      [](HWND wnd, LPARAM param) -> BOOL {
        DWORD pid = 0;
        GetWindowThreadProcessId(wnd, &pid);
        if (pid == GetCurrentProcessId() && IsWindowVisible(wnd)) ++reinterpret_cast<TCount*>(param)->n;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count.n;
}

TEST(Shortcuts, QuickResolveOfAGoneTargetShowsNothingAndReturnsAtOnce) {
  String dir = MakeShellTestFolder("links\\gone");
  String target = Target(dir);
  ASSERT_EQ(CreateQuickShortcut(dir + "\\gone.lnk", target), S_OK);
  ASSERT_TRUE(DeleteFileStr(target));
  int before = VisibleWindowsOfThisProcess();
  TLinkData back;
  back.ResolveMode = 1;
  ULONGLONG start = GetTickCount64();
  HRESULT hr = ResolveShortcut(dir + "\\gone.lnk", back, false);
  ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_LT(elapsed, 1500u);
  EXPECT_EQ(VisibleWindowsOfThisProcess(), before);
  // This shell keeps no link tracking: it answers with the old target.
  if (SUCCEEDED(hr)) {
    EXPECT_EQ(back.Path, target);
  }
}

TEST(Shortcuts, ATextTheCodePageCannotHoldFailsTheCall) {
  String dir = MakeShellTestFolder("links\\wide");
  String target = Target(dir);
  TComPtr<IShellLinkW> link;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid()), S_OK);
  link->SetPath(StringToWide(target).c_str());
  link->SetDescription(L"\u4e2d\u6587");
  TComPtr<IPersistFile> file = link.As<IPersistFile>(IID_IPersistFile);
  ASSERT_TRUE(file);
  ASSERT_EQ(file->Save(StringToWide(dir + "\\wide.lnk").c_str(), TRUE), S_OK);
  TLinkData back;
  EXPECT_EQ(ResolveShortcut(dir + "\\wide.lnk", back, false), HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(back.Description, "");
}

}  // namespace
