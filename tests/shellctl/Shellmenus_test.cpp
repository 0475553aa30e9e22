// Shell context menus, the own Send To entries, the key table and new
// folders.
#include "Shelltest.h"
#include "classlib/Extctrls.h"
#include "classlib/Forms.h"
#include "shellctl/Uptshconsts.h"
#include "shellctl/Uptshmenus.h"
#include "shellctl/Uptshnotify.h"

namespace {

// A context menu with fixed verbs that records what it is asked to run.
class TFakeContextMenu final : public TPTUnknown<IContextMenu, IID_IContextMenu> {
 public:
  explicit TFakeContextMenu(std::vector<String> verbs) : verbs_(std::move(verbs)) {}
  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT, UINT first, UINT, UINT) override {
    Menus.push_back(menu);
    if (FailQuery) return E_FAIL;
    for (size_t i = 0; i < verbs_.size(); ++i) AppendMenuA(menu, MF_STRING, first + i, verbs_[i].c_str());
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, verbs_.size());
  }
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* info) override {
    Invoked.push_back(*info);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR offset, UINT type, UINT*, LPSTR name, UINT size) override {
    if (offset >= verbs_.size()) return E_INVALIDARG;
    String help = "Help for " + verbs_[offset];
    if (type == GCS_HELPTEXTW && !AnsiOnly) {
      lstrcpynW(reinterpret_cast<LPWSTR>(name), StringToWide(help).c_str(), static_cast<int>(size));
      return S_OK;
    }
    if (type == GCS_HELPTEXTA) {
      lstrcpynA(name, help.c_str(), static_cast<int>(size));
      return S_OK;
    }
    if (type != GCS_VERBA) return E_NOTIMPL;  // verbs in ANSI only, like an old extension
    lstrcpynA(name, verbs_[offset].c_str(), static_cast<int>(size));
    return S_OK;
  }
  std::vector<HMENU> Menus;
  std::vector<CMINVOKECOMMANDINFO> Invoked;
  bool FailQuery = false;
  bool AnsiOnly = false;  // help texts in ANSI only

 private:
  std::vector<String> verbs_;
};

// Offers IContextMenu2, whose HandleMenuMsg fails.
class TFailingMenu2 final : public TPTUnknown<IContextMenu2, IID_IContextMenu2> {
 public:
  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU, UINT, UINT, UINT, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR, UINT, UINT*, LPSTR, UINT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE HandleMenuMsg(UINT, WPARAM, LPARAM) override {
    ++Calls;
    return E_FAIL;
  }
  int Calls = 0;
};

// A folder handing out one context menu.
class TMenuFolder : public TFakeShellFolder {
 public:
  HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID iid, UINT*, void** out) override {
    return Menu->QueryInterface(iid, out);
  }
  IContextMenu* Menu = nullptr;
};

// The context menu of one file on T:.
struct TFileMenu {
  explicit TFileMenu(const String& name) {
    dir = MakeShellTestFolder(name);
    path = dir + "\\file.txt";
    WriteFileBytes(path, "menu");
    EXPECT_EQ(ShellGetIdListFromPath(dir, pidl), S_OK);
    EXPECT_EQ(ShellGetFolderFromIdList(pidl.get(), folder), S_OK);
    wchar_t file[] = L"file.txt";
    LPITEMIDLIST child = nullptr;
    ULONG eaten = 0;
    EXPECT_EQ(folder->ParseDisplayName(nullptr, nullptr, file, &eaten, &child, nullptr), S_OK);
    item.reset(child);
    LPCITEMIDLIST items[] = {child};
    EXPECT_TRUE(
        SUCCEEDED(ShellGetContextMenu(nullptr, folder.Get(), 1, items, kFirstShellCommand, CMF_EXPLORE, menu, popup)));
  }
  ~TFileMenu() {
    if (popup) DestroyMenu(popup);
  }
  String dir, path;
  TPidl pidl, item;
  TComPtr<IShellFolder> folder;
  TComPtr<IContextMenu> menu;
  HMENU popup = nullptr;
};

TEST(ShellContextMenu, VerbsOfAFile) {
  TFileMenu f("menu");
  ASSERT_TRUE(f.menu);
  ASSERT_NE(f.popup, nullptr);
  EXPECT_GT(GetMenuItemCount(f.popup), 0);
  for (const char* verb : {"copy", "delete", "open", "COPY"})
    EXPECT_GE(ShellGetCommandOffset(f.menu.Get(), verb), 0) << verb;
  EXPECT_EQ(ShellGetCommandOffset(f.menu.Get(), "paste"), -1);
  EXPECT_EQ(ShellGetCommandOffset(nullptr, "copy"), -1);
}

TEST(ShellContextMenu, AVerbWithoutACommandInvokesNothing) {
  TComPtr<TFakeContextMenu> menu(new TFakeContextMenu({"open", "copy"}));
  EXPECT_EQ(ShellInvokeVerb(nullptr, menu.Get(), "delete"), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
  EXPECT_TRUE(menu->Invoked.empty());
  for (HMENU m : menu->Menus) EXPECT_FALSE(IsMenu(m));  // the scratch menus are gone

  HWND owner = reinterpret_cast<HWND>(0x1234);
  EXPECT_EQ(ShellInvokeVerb(owner, menu.Get(), "Copy"), S_OK);
  ASSERT_EQ(menu->Invoked.size(), 1u);
  const CMINVOKECOMMANDINFO& info = menu->Invoked[0];
  EXPECT_EQ(info.cbSize, sizeof(CMINVOKECOMMANDINFO));
  EXPECT_EQ(info.fMask, 0u);
  EXPECT_EQ(info.hwnd, owner);
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(info.lpVerb), 1u);
  EXPECT_EQ(info.lpParameters, nullptr);
  EXPECT_EQ(info.lpDirectory, nullptr);
  EXPECT_EQ(info.nShow, SW_SHOWNORMAL);
}

TEST(ShellContextMenu, MenuSelectHints) {
  TComPtr<TFakeContextMenu> menu(new TFakeContextMenu({"open", "copy"}));
  HMENU popup = CreatePopupMenu();
  auto hint = [&](UINT id, UINT flags) {
    return PTShMenuSelectHint(menu.Get(), MAKEWPARAM(id, flags), reinterpret_cast<LPARAM>(popup));
  };
  EXPECT_EQ(hint(1001, MF_STRING), "Help for copy");
  EXPECT_EQ(hint(1, MF_OWNERDRAW), "");  // an own Send To entry
  EXPECT_EQ(hint(1000, MF_POPUP), "");
  EXPECT_EQ(hint(1000, MF_SYSMENU), "");
  EXPECT_EQ(hint(1009, MF_STRING), "");  // the menu has no such command
  EXPECT_EQ(PTShMenuSelectHint(nullptr, MAKEWPARAM(1001, 0), 0), "");
  menu->AnsiOnly = true;  // an old extension
  EXPECT_EQ(hint(1000, MF_STRING), "Help for open");
  DestroyMenu(popup);
}

TEST(ShellContextMenu, AFailedQueryDestroysThePopup) {
  TComPtr<TFakeContextMenu> menu(new TFakeContextMenu({"open"}));
  menu->FailQuery = true;
  TMenuFolder folder;
  folder.Menu = menu.Get();
  std::string item = PidlBytes({"x"});
  LPCITEMIDLIST items[] = {AsPidl(item)};
  TComPtr<IContextMenu> got;
  HMENU popup = reinterpret_cast<HMENU>(1);
  EXPECT_THROW(ShellGetContextMenu(nullptr, &folder, 1, items, kFirstShellCommand, 0, got, popup), EOleSysError);
  EXPECT_EQ(popup, nullptr);
  EXPECT_FALSE(got);
  ASSERT_EQ(menu->Menus.size(), 1u);
  EXPECT_FALSE(IsMenu(menu->Menus[0]));
  // GetUIObjectOf failing: its result, nothing made.
  TFakeShellFolder none;
  EXPECT_EQ(ShellGetContextMenu(nullptr, &none, 1, items, kFirstShellCommand, 0, got, popup), E_NOTIMPL);
  EXPECT_EQ(popup, nullptr);
}

TEST(ShellContextMenu, TheTrackerSeam) {
  HMENU menu = CreatePopupMenu();
  std::vector<UINT> flags;
  SetPTShMenuTracker([&](HMENU m, UINT f, int, int, HWND) -> UINT {
    EXPECT_EQ(m, menu);
    flags.push_back(f);
    return 1005;
  });
  EXPECT_EQ(PTShTrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, 10, 20, nullptr), 1005u);
  SetPTShMenuTracker(nullptr);
  EXPECT_EQ(flags, std::vector<UINT>{TPM_RETURNCMD | TPM_RIGHTBUTTON});
  DestroyMenu(menu);
}

// ---------------------------------------------------------------- Send To

// The Send To folder with "Alpha", "Apple" and "Beta" shortcuts, a hidden
// file and a folder.
class SendToTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = ShellGetSpecialFolderPath(nullptr, csidlSendTo);
    ASSERT_NE(folder_, "");
    ASSERT_TRUE(ForceDirectories(folder_));
    Empty();
    String target = MakeShellTestFolder("sendto-target");
    for (const char* name : {"Beta", "Apple", "Alpha"})
      ASSERT_EQ(CreateQuickShortcut(folder_ + "\\" + name + ".lnk", target), S_OK);
    WriteFileBytes(folder_ + "\\Hidden.txt", "hidden");
    SetFileAttributesW(StringToWide(folder_ + "\\Hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(ForceDirectories(folder_ + "\\Folder"));
  }
  void TearDown() override { Empty(); }
  void Empty() {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(StringToWide(folder_ + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
      std::wstring p = StringToWide(folder_ + "\\") + found.cFileName;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L"..")) RemoveDirectoryW(p.c_str());
      } else {
        SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(p.c_str());
      }
    } while (FindNextFileW(h, &found));
    FindClose(h);
  }
  // A popup holding only the grayed placeholder.
  static HMENU Placeholder() {
    HMENU m = CreatePopupMenu();
    AppendMenuA(m, MF_STRING | MF_GRAYED, 0, "(empty)");
    return m;
  }
  static TMessage Msg(UINT m, WPARAM w, LPARAM l) { return TMessage{m, w, l, 0}; }
  String folder_;
};

TEST_F(SendToTest, ThePlaceholderBecomesTheEntries) {
  TFileMenu f("sendto-menu");
  TComPtr<TFailingMenu2> failing2(new TFailingMenu2);
  // Wine's item menu (IContextMenu3 whose HandleMenuMsg fails), a menu
  // with a failing IContextMenu2, and none at all.
  for (IContextMenu* menu :
       {f.menu.Get(), static_cast<IContextMenu*>(failing2.Get()), static_cast<IContextMenu*>(nullptr)}) {
    HMENU popup = Placeholder();
    TMessage msg = Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 2);
    EXPECT_TRUE(PTShMenuMessage(menu, msg));
    ASSERT_EQ(GetMenuItemCount(popup), 3);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(GetMenuItemID(popup, i), static_cast<UINT>(i + 1));
      MENUITEMINFOW mii{sizeof mii, MIIM_FTYPE | MIIM_DATA};
      ASSERT_TRUE(GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &mii));
      EXPECT_TRUE(mii.fType & MFT_OWNERDRAW);
      EXPECT_EQ(mii.dwItemData, static_cast<ULONG_PTR>(i));
    }
    EXPECT_EQ(PTShSendToPopup(), popup);
    DestroyMenu(popup);
  }
  EXPECT_EQ(failing2->Calls, 1);
  const auto& list = PTShSendToList();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].Name, "Alpha.lnk");
  EXPECT_EQ(list[1].Name, "Apple.lnk");
  EXPECT_EQ(list[2].Name, "Beta.lnk");
  EXPECT_GE(list[0].Icon, 0);

  // A popup that is no placeholder is left alone.
  HMENU other = CreatePopupMenu();
  AppendMenuA(other, MF_STRING | MF_GRAYED, 0, "one");
  AppendMenuA(other, MF_STRING, 5, "two");
  TMessage msg = Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(other), 0);
  EXPECT_FALSE(PTShMenuMessage(nullptr, msg));
  EXPECT_EQ(GetMenuItemCount(other), 2);
  DestroyMenu(other);
}

TEST_F(SendToTest, MeasureAndFirstLetters) {
  HMENU popup = Placeholder();
  TMessage init = Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
  ASSERT_TRUE(PTShMenuMessage(nullptr, init));

  MEASUREITEMSTRUCT mis{ODT_MENU, 0, 2, 0, 0, 1};
  TMessage measure = Msg(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis));
  ASSERT_TRUE(PTShMenuMessage(nullptr, measure));
  EXPECT_EQ(measure.Result, TRUE);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  HFONT font = CreateFontIndirectW(&metrics.lfMenuFont);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE text{};
  GetTextExtentPoint32A(dc, "Apple", 5, &text);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
  EXPECT_EQ(mis.itemWidth, static_cast<UINT>(text.cx + 32));
  EXPECT_EQ(mis.itemHeight, static_cast<UINT>(GetSystemMetrics(SM_CYMENU) + 2));
  // A shell command's item is not ours.
  MEASUREITEMSTRUCT shell{ODT_MENU, 0, 1003, 0, 0, 0};
  TMessage notOurs = Msg(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&shell));
  EXPECT_FALSE(PTShMenuMessage(nullptr, notOurs));

  auto hilite = [&](int pos) {
    for (int i = 0; i < 3; ++i) {
      MENUITEMINFOW mii{sizeof mii, MIIM_STATE};
      mii.fState = i == pos ? MFS_HILITE : 0;
      SetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &mii);
    }
  };
  struct Case {
    wchar_t typed;
    int highlighted;
    LRESULT expected;
  };
  const Case cases[] = {
      {L'a', -1, MAKELRESULT(0, MNC_SELECT)},  // two entries begin with it: selected, not run
      {L'A', 0, MAKELRESULT(1, MNC_SELECT)},   // the next one after the highlighted item
      {L'a', 1, MAKELRESULT(0, MNC_SELECT)},   // round to the start
      {L'b', 0, MAKELRESULT(2, MNC_EXECUTE)},  // the only one: run
      {L'b', 2, MAKELRESULT(2, MNC_EXECUTE)}, {L'z', -1, MAKELRESULT(0, MNC_CLOSE)},
  };
  for (const Case& c : cases) {
    hilite(c.highlighted);
    TMessage menuChar = Msg(WM_MENUCHAR, MAKEWPARAM(c.typed, MF_POPUP), reinterpret_cast<LPARAM>(popup));
    ASSERT_TRUE(PTShMenuMessage(nullptr, menuChar)) << static_cast<char>(c.typed);
    EXPECT_EQ(menuChar.Result, c.expected) << static_cast<char>(c.typed) << " after " << c.highlighted;
  }
  // Another popup's letters are not answered.
  HMENU other = CreatePopupMenu();
  TMessage foreign = Msg(WM_MENUCHAR, MAKEWPARAM(L'a', MF_POPUP), reinterpret_cast<LPARAM>(other));
  EXPECT_FALSE(PTShMenuMessage(nullptr, foreign));
  DestroyMenu(other);
  DestroyMenu(popup);
}

// A drop target that records its calls and answers the effects it is given.
class TFakeDropTarget final : public TPTUnknown<IDropTarget, IID_IDropTarget> {
 public:
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
    Log.push_back(Format("enter %d %d %d,%d", keys, *effect, pt.x, pt.y));
    Data = data;
    *effect = EnterEffect;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override {
    Log.push_back(Format("over %d %d", keys, *effect));
    *effect = OverEffect;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override {
    Log.push_back("leave");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD keys, POINTL, DWORD* effect) override {
    Log.push_back(Format("drop %d %d %s", keys, *effect, ScreenCursor() == crHourGlass ? "busy" : "idle"));
    return DropResult;
  }
  std::vector<String> Log;
  IDataObject* Data = nullptr;
  DWORD EnterEffect = DROPEFFECT_COPY, OverEffect = DROPEFFECT_COPY;
  HRESULT DropResult = S_OK;
};

TEST_F(SendToTest, ExecutionOnAFakeTarget) {
  TComPtr<TFakeDropTarget> target(new TFakeDropTarget);
  std::vector<String> asked;
  SetPTShSendToResolver([&](const String& entry, TComPtr<IDropTarget>& t) {
    asked.push_back(entry);
    t = TComPtr<IDropTarget>::Share(target.Get());
    return S_OK;
  });
  TComPtr<IDataObject> data(new TPTShellDataObject(nullptr, {}));
  TCursor before = ScreenCursor();

  EXPECT_EQ(PTShSendTo("Alpha.lnk", data.Get()), S_OK);
  EXPECT_EQ(target->Log, (std::vector<String>{"enter 1 1 0,0", "over 1 1", "drop 1 1 busy"}));
  EXPECT_EQ(target->Data, data.Get());
  EXPECT_EQ(asked, std::vector<String>{"Alpha.lnk"});

  // No effect: DragLeave, no Drop.
  target->Log.clear();
  target->EnterEffect = DROPEFFECT_NONE;
  EXPECT_EQ(PTShSendTo("Alpha.lnk", data.Get()), S_FALSE);
  EXPECT_EQ(target->Log, (std::vector<String>{"enter 1 1 0,0", "leave"}));
  target->Log.clear();
  target->EnterEffect = DROPEFFECT_COPY;
  target->OverEffect = DROPEFFECT_NONE;
  EXPECT_EQ(PTShSendTo("Alpha.lnk", data.Get()), S_FALSE);
  EXPECT_EQ(target->Log, (std::vector<String>{"enter 1 1 0,0", "over 1 1", "leave"}));

  // A failing Drop: its result, the cursor back as it was.
  target->Log.clear();
  target->OverEffect = DROPEFFECT_COPY;
  target->DropResult = E_FAIL;
  EXPECT_EQ(PTShSendTo("Alpha.lnk", data.Get()), E_FAIL);
  EXPECT_EQ(target->Log.back(), "drop 1 1 busy");
  EXPECT_EQ(ScreenCursor(), before);

  SetPTShSendToResolver([](const String&, TComPtr<IDropTarget>&) { return E_ACCESSDENIED; });
  EXPECT_THROW(PTShSendTo("Alpha.lnk", data.Get()), EOleSysError);
  SetPTShSendToResolver(nullptr);

  // The shell's own target of an entry.
  TComPtr<IDropTarget> real;
  EXPECT_EQ(ResolveSendToTarget("Alpha.lnk", real), S_OK);
  EXPECT_TRUE(real);
  EXPECT_TRUE(FAILED(ResolveSendToTarget("Missing.lnk", real)));
}

// ---------------------------------------------------------------- keys

TEST(ShellKeys, TextsAndShortcuts) {
  struct Case {
    const char* text;
    TShortCut shortCut;
    const char* back;  // nullptr: the text itself
  };
  const Case cases[] = {
      {"Ctrl+A", scCtrl | 'A', nullptr},
      {"ctrl+a", scCtrl | 'A', "Ctrl+A"},
      {"^A", scCtrl | 'A', "Ctrl+A"},
      {"Alt+Ctrl+shift+F10", scShift | scCtrl | scAlt | VK_F10, "Shift+Ctrl+Alt+F10"},
      {"Shift+Del", scShift | VK_DELETE, nullptr},
      {"Del", VK_DELETE, nullptr},
      {"BkSp", VK_BACK, nullptr},
      {"Enter", VK_RETURN, nullptr},
      {"pgdn", VK_NEXT, "PgDn"},
      {"F24", VK_F24, nullptr},
      {"5", '5', nullptr},
      {"#300", 300, nullptr},
      {"#12", 12, nullptr},
      {"Nothing", 0, ""},
      {"Ctrl+", 0, ""},
      {"", 0, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PTShTextToShortCut(c.text), c.shortCut) << c.text;
    EXPECT_EQ(PTShShortCutToText(c.shortCut), c.back ? c.back : c.text) << c.text;
  }
  EXPECT_EQ(PTShShortCutToText(VK_NUMPAD7), "7");
  EXPECT_EQ(PTShKeyShortCut(ptkSelectAll), scCtrl | 'A');
  EXPECT_EQ(PTShKeyShortCut(ptkDelete), VK_DELETE);
  EXPECT_EQ(PTShKeyShortCut(ptkPaste), scCtrl | 'V');
  EXPECT_EQ(PTShKeyShortCut(ptkRefresh), VK_F5);
  EXPECT_EQ(PTShKeyShortCut(ptkEdit), VK_F2);
}

// ---------------------------------------------------------------- helpers

TEST(ShellHelpers, TopFormWindow) {
  TOwned<TForm> form(new TForm(Application));
  auto* outer = new TPanel(form.get());
  outer->SetParent(form.get());
  auto* inner = new TPanel(form.get());
  inner->SetParent(outer);
  form->EndLoading();
  EXPECT_EQ(PTShTopFormWindow(inner), nullptr);  // the form has no window yet
  HWND wnd = form->Handle();
  EXPECT_EQ(PTShTopFormWindow(inner), wnd);
  EXPECT_EQ(PTShTopFormWindow(form.get()), wnd);
  TOwned<TPanel> loose(new TPanel(nullptr));
  EXPECT_EQ(PTShTopFormWindow(loose.get()), nullptr);
  EXPECT_EQ(PTShTopFormWindow(nullptr), nullptr);
}

TEST(ShellHelpers, TheLastShutdownFreesTheSharedState) {
  PTShellControlsStartup();
  PTShellControlsStartup();
  HWND relay = PTDeviceChangeHandler()->Handle();
  PTShellControlsShutdown();
  EXPECT_TRUE(IsWindow(relay));
  EXPECT_EQ(PTDeviceChangeHandler()->Handle(), relay);
  PTShellControlsShutdown();
  EXPECT_FALSE(IsWindow(relay));
  EXPECT_TRUE(PTShSendToList().empty());
  EXPECT_EQ(PTShSendToPopup(), nullptr);
  PTShellControlsShutdown();  // one too many: nothing happens
  // OLE stays as the program had it.
  TComPtr<IDataObject> clip;
  EXPECT_EQ(OleGetClipboard(clip.Put()), S_OK);
}

// ---------------------------------------------------------------- new folder

TEST(NewFolder, TheNextFreeName) {
  TScopedDialogs dialogs;
  String dir = MakeShellTestFolder("newfolder");
  ASSERT_TRUE(ForceDirectories(dir + "\\New Folder"));
  ASSERT_TRUE(ForceDirectories(dir + "\\New Folder (2)"));
  String made;
  ASSERT_TRUE(PTShCreateNewFolder(dir, made));
  EXPECT_EQ(made, dir + "\\New Folder (3)");
  EXPECT_TRUE(DirectoryExists(made));
  ASSERT_TRUE(PTShCreateNewFolder(dir + "\\", made));  // a trailing backslash as well
  EXPECT_EQ(made, dir + "\\New Folder (4)");
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
}

TEST(NewFolder, AFailureShowsOneBoxWithItsReason) {
  TScopedDialogs dialogs;
  String dir = MakeShellTestFolder("newfolder-file");
  String file = dir + "\\plain.txt";
  WriteFileBytes(file, "not a folder");
  String made = "unchanged";
  EXPECT_FALSE(PTShCreateNewFolder(file, made));
  EXPECT_EQ(made, "unchanged");
  ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
  const auto& box = dialogs.Dialogs.Boxes[0];
  EXPECT_EQ(box.caption, "Warning");
  EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK | MB_ICONWARNING));
  String attempted = file + "\\New Folder";
  EXPECT_EQ(box.text.rfind("Unable to create the folder '" + attempted + "'", 0), 0u) << box.text;
  CreateDirectoryW(StringToWide(attempted).c_str(), nullptr);
  String reason = Trim(SysErrorMessage(GetLastError()));
  EXPECT_NE(reason, Trim(SysErrorMessage(ERROR_ALREADY_EXISTS)));
  EXPECT_EQ(box.text, FormatStrPos(SUnableToCreateFolder, {reason, attempted}));
}

TEST(NewFolder, AnEmptyParentMakesNothing) {
  TScopedDialogs dialogs;
  String dir = MakeShellTestFolder("newfolder-cwd");
  String old = GetCurrentDirStr();
  ASSERT_TRUE(SetCurrentDirectoryW(StringToWide(dir).c_str()));
  String made;
  EXPECT_FALSE(PTShCreateNewFolder("", made));
  SetCurrentDirectoryW(StringToWide(old).c_str());
  EXPECT_FALSE(DirectoryExists(dir + "\\New Folder"));
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
}

}  // namespace
