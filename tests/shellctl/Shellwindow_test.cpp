// What needs the desktop: an OLE drag onto the forwarding drop target, the
// clipboard after the shell's "copy", and the own Send To submenu on screen.
#include <functional>

#include "Shelltest.h"
#include "shellctl/Uptshmenus.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

// One file on T: with its folder and its shell context menu.
struct TShellFile {
  explicit TShellFile(const String& name) {
    dir = MakeShellTestFolder(name);
    path = dir + "\\file.txt";
    WriteFileBytes(path, "file");
    EXPECT_EQ(ShellGetIdListFromPath(dir, pidl), S_OK);
    EXPECT_EQ(ShellGetFolderFromIdList(pidl.get(), folder), S_OK);
    wchar_t file[] = L"file.txt";
    LPITEMIDLIST child = nullptr;
    ULONG eaten = 0;
    EXPECT_EQ(folder->ParseDisplayName(nullptr, nullptr, file, &eaten, &child, nullptr), S_OK);
    item.reset(child);
  }
  void MakeMenu() {
    LPCITEMIDLIST items[] = {item.get()};
    EXPECT_TRUE(
        SUCCEEDED(ShellGetContextMenu(nullptr, folder.Get(), 1, items, kFirstShellCommand, CMF_EXPLORE, menu, popup)));
  }
  ~TShellFile() {
    if (popup) DestroyMenu(popup);
  }
  String dir, path;
  TPidl pidl, item;
  TComPtr<IShellFolder> folder;
  TComPtr<IContextMenu> menu;
  HMENU popup = nullptr;
};

// ---------------------------------------------------------------- DoDragDrop

class TRecordingHandler : public TPTDropTargetHandler {
 public:
  HRESULT OnDropTarget_DragEnter(IDataObject* data, DWORD, POINTL, DWORD& effect) override {
    Note("enter");
    Allowed = effect;
    effect = DROPEFFECT_COPY;
    Data = data;
    return S_OK;
  }
  HRESULT OnDropTarget_DragOver(DWORD, POINTL, DWORD& effect) override {
    Note("over");
    effect = DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT OnDropTarget_DragLeave() override {
    Note("leave");
    return S_OK;
  }
  HRESULT OnDropTarget_Drop(IDataObject* data, DWORD, POINTL pt, DWORD& effect) override {
    Note("drop");
    DropPoint = pt;
    ReadShellIDList(data, Dropped);
    effect = DROPEFFECT_COPY;
    return S_OK;
  }
  // Repeats count once.
  void Note(const char* what) {
    if (Log.empty() || Log.back() != what) Log.push_back(what);
  }
  std::vector<String> Log;
  DWORD Allowed = 0;
  IDataObject* Data = nullptr;
  POINTL DropPoint{};
  TShellIDList Dropped;
};

// Holds the button for a few rounds, then lets go.
class TScriptedSource final : public TPTUnknown<IDropSource, IID_IDropSource> {
 public:
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
    if (escape || ++Rounds > 200) return DRAGDROP_S_CANCEL;
    return Rounds < 5 ? S_OK : DRAGDROP_S_DROP;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
  int Rounds = 0;
};

// A plain window to drop on (a static control lets the mouse through).
class TDropWindow {
 public:
  TDropWindow() {
    static const ATOM atom = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
      wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
      wc.lpszClassName = L"NembraDropWindow";
      return RegisterClassW(&wc);
    }();
    wnd_ = CreateWindowExW(WS_EX_TOPMOST, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)), L"Drop here",
                           WS_POPUP | WS_VISIBLE | WS_BORDER, 200, 200, 300, 200, nullptr, nullptr, nullptr, nullptr);
  }
  ~TDropWindow() {
    if (registered_) RevokeDragDrop(wnd_);
    DestroyWindow(wnd_);
  }
  TDropWindow(const TDropWindow&) = delete;
  TDropWindow& operator=(const TDropWindow&) = delete;
  HWND Handle() const { return wnd_; }
  HRESULT Register(IDropTarget* target) {
    HRESULT hr = RegisterDragDrop(wnd_, target);
    registered_ = SUCCEEDED(hr);
    return hr;
  }

 private:
  HWND wnd_;
  bool registered_ = false;
};

TEST(OleDrag, InProcessOntoTheForwardingTarget) {
  TShellFile f("dragged");
  TDropWindow window;
  ASSERT_NE(window.Handle(), nullptr);
  ASSERT_TRUE(WaitVisible(window.Handle()));
  TRecordingHandler handler;
  TComPtr<TPTForwardingDropTarget> target(new TPTForwardingDropTarget(&handler));
  ASSERT_EQ(window.Register(target.Get()), S_OK);
  SetCursorPos(350, 300);
  ASSERT_EQ(WindowFromPoint(POINT{350, 300}), window.Handle());

  TComPtr<IDataObject> data(new TPTShellDataObject(f.pidl.get(), {f.item.get()}));
  TComPtr<TScriptedSource> source(new TScriptedSource);
  DWORD effect = DROPEFFECT_NONE;
  HRESULT hr = DoDragDrop(data.Get(), source.Get(), DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
  EXPECT_EQ(hr, DRAGDROP_S_DROP);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  ASSERT_FALSE(handler.Log.empty());
  EXPECT_EQ(handler.Log.front(), "enter");
  EXPECT_EQ(handler.Log.back(), "drop");
  EXPECT_EQ(handler.Allowed, static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_MOVE));
  EXPECT_EQ(handler.DropPoint.x, 350);
  EXPECT_EQ(handler.DropPoint.y, 300);
  ASSERT_EQ(handler.Dropped.Children.size(), 1u);
  TPidl whole = ConcatIdLists(nullptr, handler.Dropped.Parent.get(), handler.Dropped.Children[0].get());
  EXPECT_EQ(ShellGetPathFromIdList(whole.get()), f.path);

  // Once the control is gone the target answers nothing.
  target->ClearHandler();
  DWORD late = DROPEFFECT_COPY;
  EXPECT_EQ(target->DragOver(0, POINTL{0, 0}, &late), E_UNEXPECTED);
  EXPECT_EQ(late, static_cast<DWORD>(DROPEFFECT_NONE));
}

// ---------------------------------------------------------------- clipboard

TEST(ShellVerbs, CopyFillsTheClipboard) {
  TShellFile f("copied");
  f.MakeMenu();
  ASSERT_TRUE(f.menu);
  ASSERT_EQ(ShellInvokeVerb(nullptr, f.menu.Get(), "copy"), S_OK);
  TComPtr<IDataObject> clip;
  ASSERT_EQ(OleGetClipboard(clip.Put()), S_OK);
  TShellIDList list;
  ASSERT_TRUE(ReadShellIDList(clip.Get(), list));
  ASSERT_EQ(list.Children.size(), 1u);
  TPidl whole = ConcatIdLists(nullptr, list.Parent.get(), list.Children[0].get());
  EXPECT_EQ(ShellGetPathFromIdList(whole.get()), f.path);
  FORMATETC hdrop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM m{};
  ASSERT_EQ(clip->GetData(&hdrop, &m), S_OK);
  wchar_t name[MAX_PATH] = {};
  DragQueryFileW(static_cast<HDROP>(m.hGlobal), 0, name, MAX_PATH);
  EXPECT_EQ(String(WideToString(name)), f.path);
  ReleaseStgMedium(&m);
  clip.Reset();
  OleSetClipboard(nullptr);
}

// ---------------------------------------------------------------- Send To on screen

// Thread timers run inside a menu's loop.
std::vector<std::function<void()>>& Timed() {
  static std::vector<std::function<void()>> actions;
  return actions;
}

void After(UINT ms, std::function<void()> action) {
  Timed().push_back(std::move(action));
  SetTimer(nullptr, 0, ms, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (Timed().empty()) return;
    auto action = Timed().front();
    Timed().erase(Timed().begin());
    action();
  });
}

HWND MenuWindowOf(HMENU menu) {
  for (HWND w = FindWindowExA(nullptr, nullptr, "#32768", nullptr); w; w = FindWindowExA(nullptr, w, "#32768", nullptr))
    if (IsWindowVisible(w) && reinterpret_cast<HMENU>(SendMessageA(w, MN_GETHMENU, 0, 0)) == menu) return w;
  return nullptr;
}

void PostKey(HWND wnd, WORD key) {
  auto data = static_cast<LPARAM>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC) << 16 | 1);
  PostMessageA(wnd, WM_KEYDOWN, key, data);
  PostMessageA(wnd, WM_KEYUP, key, data | 0xC0000000);
}

TEST(SendToMenu, TheOwnSubmenuOnScreen) {
  String sendTo = ShellGetSpecialFolderPath(nullptr, csidlSendTo);
  ASSERT_TRUE(ForceDirectories(sendTo));
  String target = MakeShellTestFolder("sendto-shown");
  std::vector<String> made;
  for (const char* name : {"Alpha.lnk", "Apple.lnk"}) {
    made.push_back(sendTo + "\\" + name);
    ASSERT_EQ(CreateQuickShortcut(made.back(), target), S_OK);
  }
  made.push_back(sendTo + "\\Hidden.txt");
  WriteFileBytes(made.back(), "hidden");
  SetFileAttributesW(StringToWide(made.back()).c_str(), FILE_ATTRIBUTE_HIDDEN);

  TShellFile f("sendto-file");
  f.MakeMenu();
  ASSERT_NE(f.popup, nullptr);
  HMENU placeholder = CreatePopupMenu();
  AppendMenuA(placeholder, MF_STRING | MF_GRAYED, 0, "(empty)");
  AppendMenuA(f.popup, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(f.popup, MF_POPUP, reinterpret_cast<UINT_PTR>(placeholder), "Se&nd To");

  IContextMenu* menu = f.menu.Get();
  HWND owner = nullptr;
  owner = AllocateHWnd(TWndMethod([menu, &owner](TMessage& msg) {
    if (!PTShMenuMessage(menu, msg)) msg.Result = DefWindowProcA(owner, msg.Msg, msg.WParam, msg.LParam);
  }));
  String shot;
  int width = 0;
  Timed().clear();
  After(100, [&] {
    PostKey(owner, VK_UP);  // from nothing to the last item
    PostKey(owner, VK_RIGHT);
  });
  // Looks for the open submenu until it shows (or the watchdog ends it all).
  std::function<void()> poll = [&] {
    if (HWND sub = MenuWindowOf(placeholder)) {
      RECT r;
      GetWindowRect(sub, &r);
      width = r.right - r.left;
      shot = SaveScreenshot(sub, "sendto-menu");
      EndMenu();
      return;
    }
    After(50, poll);
  };
  After(150, poll);
  UINT_PTR watchdog = SetTimer(nullptr, 0, 4000, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    ADD_FAILURE() << "the menu was still open";
    EndMenu();
  });
  SetForegroundWindow(owner);
  UINT chosen = static_cast<UINT>(TrackPopupMenu(f.popup, TPM_RETURNCMD, 100, 100, 0, owner, nullptr));
  KillTimer(nullptr, watchdog);
  Timed().clear();
  EXPECT_EQ(chosen, 0u);
  EXPECT_NE(shot, "") << "the Send To submenu did not open";
  EXPECT_EQ(PTShSendToPopup(), placeholder);
  EXPECT_EQ(GetMenuItemCount(placeholder), 2);
  // As wide as the longer entry with its icon room.
  MEASUREITEMSTRUCT mis{ODT_MENU, 0, 1, 0, 0, 0};
  TMessage measure{WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis), 0};
  ASSERT_TRUE(PTShMenuMessage(nullptr, measure));
  EXPECT_GE(width, static_cast<int>(mis.itemWidth));
  DeallocateHWnd(owner);
  for (const String& m : made) {
    SetFileAttributesW(StringToWide(m).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileStr(m);
  }
}

}  // namespace
