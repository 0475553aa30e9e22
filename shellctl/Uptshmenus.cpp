#include "Uptshmenus.h"

#include <algorithm>
#include <cstring>

#include "classlib/Forms.h"
#include "classlib/Graphics.h"
#include "shellctl/Uptshconsts.h"
#include "shellctl/Uptshnotify.h"

// ---------------------------------------------------------------- context menus

HRESULT ShellGetContextMenu(HWND owner, IShellFolder* folder, UINT count, LPCITEMIDLIST* pidls, UINT firstId,
                            UINT flags, TComPtr<IContextMenu>& menu, HMENU& popup) {
  menu.Reset();
  popup = nullptr;
  if (!folder) return E_INVALIDARG;
  TComPtr<IContextMenu> cm;
  HRESULT hr = folder->GetUIObjectOf(owner, count, pidls, IID_IContextMenu, nullptr, cm.PutVoid());
  if (FAILED(hr)) return hr;
  if (!cm) return E_NOINTERFACE;
  HMENU m = CreatePopupMenu();
  if (!m) RaiseLastOSError();
  hr = cm->QueryContextMenu(m, 0, firstId, kLastShellCommand, flags);
  if (FAILED(hr)) {
    DestroyMenu(m);
    OleCheck(hr);
  }
  menu = std::move(cm);
  popup = m;
  return hr;
}

namespace {

// The verb of a command, asked in UTF-16 and then in ANSI.
bool CommandVerb(IContextMenu* menu, UINT offset, String& verb) {
  wchar_t wide[MAX_PATH + 1] = {};
  if (SUCCEEDED(menu->GetCommandString(offset, GCS_VERBW, nullptr, reinterpret_cast<LPSTR>(wide), MAX_PATH)) && wide[0])
    return TryWideToString(wide, -1, verb);
  char ansi[MAX_PATH + 1] = {};
  if (SUCCEEDED(menu->GetCommandString(offset, GCS_VERBA, nullptr, ansi, MAX_PATH)) && ansi[0]) {
    verb = ansi;
    return true;
  }
  return false;
}

class TMenuHandle {
 public:
  TMenuHandle() : menu_(CreatePopupMenu()) {}
  ~TMenuHandle() {
    if (menu_) DestroyMenu(menu_);
  }
  TMenuHandle(const TMenuHandle&) = delete;
  TMenuHandle& operator=(const TMenuHandle&) = delete;
  HMENU Get() const { return menu_; }

 private:
  HMENU menu_;
};

}  // namespace

int ShellGetCommandOffset(IContextMenu* menu, const String& verb) {
  if (!menu) return -1;
  TMenuHandle scratch;
  if (!scratch.Get() ||
      FAILED(menu->QueryContextMenu(scratch.Get(), 0, kFirstShellCommand, kLastShellCommand, CMF_EXPLORE)))
    return -1;
  int count = GetMenuItemCount(scratch.Get());
  for (int i = 0; i < count; ++i) {
    UINT id = GetMenuItemID(scratch.Get(), i);
    if (id == static_cast<UINT>(-1) || id < kFirstShellCommand || id > kLastShellCommand) continue;
    String found;
    if (CommandVerb(menu, id - kFirstShellCommand, found) && SameText(found, verb))
      return static_cast<int>(id - kFirstShellCommand);
  }
  return -1;
}

bool ShellGetCommandVerb(IContextMenu* menu, UINT offset, String& verb) {
  verb.clear();
  return menu && CommandVerb(menu, offset, verb);
}

HRESULT ShellInvokeCommand(HWND owner, IContextMenu* menu, UINT offset) {
  if (!menu) return E_INVALIDARG;
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof info;
  info.hwnd = owner;
  info.lpVerb = MAKEINTRESOURCEA(offset);
  info.nShow = SW_SHOWNORMAL;
  return menu->InvokeCommand(&info);
}

HRESULT ShellInvokeVerb(HWND owner, IContextMenu* menu, const String& verb) {
  int offset = ShellGetCommandOffset(menu, verb);
  if (offset < 0) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
  return ShellInvokeCommand(owner, menu, static_cast<UINT>(offset));
}

namespace {
TPTMenuTracker& MenuTracker() {
  static TPTMenuTracker tracker;
  return tracker;
}
}  // namespace

UINT PTShTrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) {
  if (MenuTracker()) return MenuTracker()(menu, flags, x, y, owner);
  return static_cast<UINT>(TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr));
}

void SetPTShMenuTracker(TPTMenuTracker tracker) { MenuTracker() = std::move(tracker); }

// ---------------------------------------------------------------- Send To list

namespace {

std::vector<TPTSendToEntry>& SendToList() {
  static std::vector<TPTSendToEntry> list;
  return list;
}

HMENU gSendToPopup = nullptr;

String EntryText(const TPTSendToEntry& e) { return ChangeFileExt(e.Name, ""); }

// The entry of an own item: its id is its index + 1.
const TPTSendToEntry* EntryOfId(UINT id) {
  const auto& list = SendToList();
  if (id < 1 || id > list.size() || id >= kFirstShellCommand) return nullptr;
  return &list[id - 1];
}

// Whether popup is the one filled with the entries and still holds them.
bool IsSendToPopup(HMENU popup) {
  if (!popup || popup != gSendToPopup || !IsMenu(popup)) return false;
  int count = GetMenuItemCount(popup);
  if (count != static_cast<int>(std::min<size_t>(SendToList().size(), kFirstShellCommand - 1))) return false;
  for (int i = 0; i < count; ++i)
    if (GetMenuItemID(popup, i) != static_cast<UINT>(i + 1)) return false;
  return true;
}

HFONT CreateMenuFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
  return CreateFontIndirectW(&metrics.lfMenuFont);
}

class TMenuFont {
 public:
  TMenuFont() : font_(CreateMenuFont()) {}
  ~TMenuFont() {
    if (font_) DeleteObject(font_);
  }
  TMenuFont(const TMenuFont&) = delete;
  TMenuFont& operator=(const TMenuFont&) = delete;
  HFONT Get() const { return font_; }

 private:
  HFONT font_;
};

bool FillSendToPopup(HMENU popup) {
  if (!popup || GetMenuItemCount(popup) != 1) return false;
  UINT state = GetMenuState(popup, 0, MF_BYPOSITION);
  if (state == static_cast<UINT>(-1) || !(state & MF_GRAYED)) return false;
  DeleteMenu(popup, 0, MF_BYPOSITION);
  PTShCollectSendTo();
  const auto& list = SendToList();
  gSendToPopup = popup;
  // The ids stay below the shell's.
  for (size_t i = 0; i < list.size() && i + 1 < kFirstShellCommand; ++i)
    AppendMenuW(popup, MF_OWNERDRAW, i + 1, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(i)));
  return true;
}

void MeasureEntry(MEASUREITEMSTRUCT& mis, const TPTSendToEntry& e) {
  TMenuFont font;
  HDC screen = GetDC(nullptr);
  {
    TCanvas canvas;
    canvas.SetHandle(screen);
    if (font.Get()) canvas.Font()->SetHandle(font.Get());
    mis.itemWidth = static_cast<UINT>(canvas.TextWidth(EntryText(e)) + 32);
    canvas.SetHandle(nullptr);
  }
  ReleaseDC(nullptr, screen);
  mis.itemHeight = static_cast<UINT>(GetSystemMetrics(SM_CYMENU) + 2);
}

void DrawEntry(const DRAWITEMSTRUCT& dis, const TPTSendToEntry& e) {
  TMenuFont font;
  TCanvas canvas;
  canvas.SetHandle(dis.hDC);
  if (font.Get()) canvas.Font()->SetHandle(font.Get());
  bool selected = (dis.itemState & ODS_SELECTED) != 0;
  canvas.Brush()->SetColor(selected ? clHighlight : clMenu);
  canvas.Font()->SetColor(selected ? clHighlightText : clMenuText);
  TRect r(dis.rcItem);
  canvas.FillRect(r);
  canvas.TextRect(r, r.left + 32, r.top + 2, EntryText(e));
  if (e.Icon >= 0)
    ImageList_Draw(ShellGetSystemImageList(ptsizSmall), e.Icon, canvas.Handle(), r.left + 8, r.top + 2,
                   ILD_TRANSPARENT);
  canvas.SetHandle(nullptr);
}

// The first letter's answer: the next entry after the highlighted item
// (from the first when none is), selected when more than one entry has
// that letter, executed when it is the only one.
LRESULT SendToMenuChar(HMENU popup, wchar_t typed) {
  wchar_t upper[2] = {typed, 0};
  CharUpperW(upper);
  const auto& list = SendToList();
  int count = GetMenuItemCount(popup);  // as many as the list (IsSendToPopup)
  int highlighted = -1;
  for (int i = 0; i < count && highlighted < 0; ++i)
    if (GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE) highlighted = i;
  auto begins = [&](int i) {
    std::wstring name = StringToWide(list[static_cast<size_t>(i)].Name);
    if (name.empty()) return false;
    wchar_t first[2] = {name[0], 0};
    CharUpperW(first);
    return first[0] == upper[0];
  };
  int matches = 0, found = -1;
  for (int n = 0; n < count; ++n) {
    int i = (highlighted + 1 + n) % count;
    if (!begins(i)) continue;
    ++matches;
    if (found < 0) found = i;
  }
  if (found < 0) return MAKELRESULT(0, MNC_CLOSE);
  return MAKELRESULT(found, matches > 1 ? MNC_SELECT : MNC_EXECUTE);
}

// The own entries' messages.
bool OwnEntryMessage(TMessage& msg) {
  switch (msg.Msg) {
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(msg.LParam);
      if (!mis || mis->CtlType != ODT_MENU || !gSendToPopup || mis->itemData != mis->itemID - 1) return false;
      const TPTSendToEntry* e = EntryOfId(mis->itemID);
      if (!e) return false;
      MeasureEntry(*mis, *e);
      msg.Result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(msg.LParam);
      if (!dis || dis->CtlType != ODT_MENU || !IsSendToPopup(reinterpret_cast<HMENU>(dis->hwndItem))) return false;
      const TPTSendToEntry* e = EntryOfId(dis->itemID);
      if (!e) return false;
      DrawEntry(*dis, *e);
      msg.Result = TRUE;
      return true;
    }
    case WM_MENUCHAR: {
      auto popup = reinterpret_cast<HMENU>(msg.LParam);
      if (!(HIWORD(msg.WParam) & MF_POPUP) || !IsSendToPopup(popup)) return false;
      msg.Result = SendToMenuChar(popup, static_cast<wchar_t>(LOWORD(msg.WParam)));
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

const std::vector<TPTSendToEntry>& PTShSendToList() { return SendToList(); }

HMENU PTShSendToPopup() { return gSendToPopup; }

void PTShCollectSendTo() {
  auto& list = SendToList();
  list.clear();
  String folder = ShellGetSpecialFolderPath(nullptr, csidlSendTo);
  if (folder.empty()) return;
  folder = IncludeTrailingBackslash(folder);
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(StringToWide(folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)) continue;
    TPTSendToEntry e;
    // A name the code page cannot hold could not be named again.
    if (!TryWideToString(found.cFileName, -1, e.Name)) continue;
    e.Icon = ShellGetIconIndexFromPath(folder + e.Name, SHGFI_SMALLICON);
    list.push_back(std::move(e));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::stable_sort(list.begin(), list.end(), [](const TPTSendToEntry& a, const TPTSendToEntry& b) {
    return AnsiCompareText(a.Name, b.Name) < 0;
  });
}

// ---------------------------------------------------------------- menu messages

bool PTShMenuMessage(IContextMenu* menu, TMessage& msg) {
  switch (msg.Msg) {
    case WM_INITMENUPOPUP:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_MENUCHAR:
      break;
    default:
      return false;
  }
  if (OwnEntryMessage(msg)) return true;
  if (menu) {
    TComPtr<IContextMenu> cm = TComPtr<IContextMenu>::Share(menu);
    if (auto cm3 = cm.As<IContextMenu3>(IID_IContextMenu3)) {
      LRESULT result = 0;
      if (SUCCEEDED(cm3->HandleMenuMsg2(msg.Msg, msg.WParam, msg.LParam, &result))) {
        msg.Result = result;
        return true;
      }
    } else if (auto cm2 = cm.As<IContextMenu2>(IID_IContextMenu2); cm2 && msg.Msg != WM_MENUCHAR) {
      if (SUCCEEDED(cm2->HandleMenuMsg(msg.Msg, msg.WParam, msg.LParam))) {
        msg.Result = msg.Msg == WM_INITMENUPOPUP ? 0 : TRUE;
        return true;
      }
    }
  }
  if (msg.Msg == WM_INITMENUPOPUP && FillSendToPopup(reinterpret_cast<HMENU>(msg.WParam))) {
    msg.Result = 0;
    return true;
  }
  return false;
}

String PTShMenuSelectHint(IContextMenu* menu, WPARAM wParam, LPARAM) {
  UINT id = LOWORD(wParam), flags = HIWORD(wParam);
  if (!menu || id < kFirstShellCommand || (flags & (MF_POPUP | MF_SYSMENU)) || flags == 0xFFFF) return String();
  UINT offset = id - kFirstShellCommand;
  // In UTF-16, else in ANSI (older extensions answer only that).
  wchar_t text[MAX_PATH + 1] = {};
  if (SUCCEEDED(menu->GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<LPSTR>(text), MAX_PATH))) {
    String hint;
    if (!TryWideToString(text, -1, hint)) return String();
    return hint;
  }
  char ansi[MAX_PATH + 1] = {};
  if (FAILED(menu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, ansi, MAX_PATH))) return String();
  return String(ansi, strnlen(ansi, MAX_PATH));
}

// ---------------------------------------------------------------- Send To

HRESULT ResolveSendToTarget(const String& entry, TComPtr<IDropTarget>& target) {
  target.Reset();
  TPidl folderPidl;
  HRESULT hr = ShellGetSpecialFolderIdList(nullptr, csidlSendTo, folderPidl);
  if (FAILED(hr)) return hr;
  TComPtr<IShellFolder> folder;
  hr = ShellGetFolderFromIdList(folderPidl.get(), folder);
  if (FAILED(hr)) return hr;
  if (!folder) return E_NOINTERFACE;
  std::wstring name = StringToWide(entry);
  LPITEMIDLIST parsed = nullptr;
  ULONG eaten = 0;
  hr = folder->ParseDisplayName(nullptr, nullptr, name.data(), &eaten, &parsed, nullptr);
  TPidl item(parsed);
  if (FAILED(hr)) return hr;
  if (!item) return E_FAIL;
  LPCITEMIDLIST items[] = {item.get()};
  return folder->GetUIObjectOf(nullptr, 1, items, IID_IDropTarget, nullptr, target.PutVoid());
}

namespace {
TPTSendToResolver& SendToResolver() {
  static TPTSendToResolver resolver;
  return resolver;
}
}  // namespace

void SetPTShSendToResolver(TPTSendToResolver resolver) { SendToResolver() = std::move(resolver); }

HRESULT PTShSendTo(const String& entry, IDataObject* data) {
  TComPtr<IDropTarget> target;
  OleCheck(SendToResolver() ? SendToResolver()(entry, target) : ResolveSendToTarget(entry, target));
  if (!target) OleCheck(E_NOINTERFACE);
  const POINTL origin{0, 0};
  DWORD effect = DROPEFFECT_COPY;
  HRESULT hr = target->DragEnter(data, MK_LBUTTON, origin, &effect);
  if (SUCCEEDED(hr) && effect != DROPEFFECT_NONE) {
    effect = DROPEFFECT_COPY;
    hr = target->DragOver(MK_LBUTTON, origin, &effect);
  }
  if (FAILED(hr) || effect == DROPEFFECT_NONE) {
    target->DragLeave();
    return S_FALSE;
  }
  TCursorGuard busy;
  effect = DROPEFFECT_COPY;
  return target->Drop(data, MK_LBUTTON, origin, &effect);
}

// ---------------------------------------------------------------- keys

namespace {

constexpr TShortCut kModifiers = scShift | scCtrl | scAlt;
constexpr WORD kFirstNamedKey = 8;
constexpr WORD kLastNamedKey = 597;

String KeyName(WORD key) {
  static const char* const kNavigation[] = {"Space", "PgUp", "PgDn", "End", "Home", "Left", "Up", "Right", "Down"};
  switch (key) {
    case 8:
      return "BkSp";
    case 9:
      return "Tab";
    case 13:
      return "Enter";
    case 27:
      return "Esc";
    case 45:
      return "Ins";
    case 46:
      return "Del";
    default:
      break;
  }
  if (key >= 32 && key <= 40) return kNavigation[key - 32];
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return String(1, static_cast<char>(key));
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return String(1, static_cast<char>('0' + key - VK_NUMPAD0));
  if (key >= VK_F1 && key <= VK_F24) return "F" + IntToStr(key - VK_F1 + 1);
  return "#" + IntToStr(key);
}

}  // namespace

String PTShShortCutToText(TShortCut shortCut) {
  WORD key = shortCut & static_cast<WORD>(~kModifiers);
  if (key == 0) return String();
  String s;
  if (shortCut & scShift) s += "Shift+";
  if (shortCut & scCtrl) s += "Ctrl+";
  if (shortCut & scAlt) s += "Alt+";
  return s + KeyName(key);
}

TShortCut PTShTextToShortCut(const String& text) {
  String rest = text;
  TShortCut modifiers = 0;
  for (;;) {
    if (StartsText("Shift+", rest)) {
      modifiers |= scShift;
      rest.erase(0, 6);
    } else if (StartsText("Ctrl+", rest)) {
      modifiers |= scCtrl;
      rest.erase(0, 5);
    } else if (StartsText("^", rest)) {
      modifiers |= scCtrl;
      rest.erase(0, 1);
    } else if (StartsText("Alt+", rest)) {
      modifiers |= scAlt;
      rest.erase(0, 4);
    } else {
      break;
    }
  }
  if (rest.empty()) return 0;
  for (WORD key = kFirstNamedKey; key <= kLastNamedKey; ++key)
    if (SameText(KeyName(key), rest)) return static_cast<TShortCut>(modifiers | key);
  return 0;
}

TShortCut PTShKeyShortCut(TPTShKey key) {
  static const TShortCut table[] = {
      PTShTextToShortCut(PTLoadStr(SShKey_SelectAll)), PTShTextToShortCut(PTLoadStr(SShKey_Delete)),
      PTShTextToShortCut(PTLoadStr(SShKey_Copy)),      PTShTextToShortCut(PTLoadStr(SShKey_Cut)),
      PTShTextToShortCut(PTLoadStr(SShKey_Paste)),     PTShTextToShortCut(PTLoadStr(SShKey_Refresh)),
      PTShTextToShortCut(PTLoadStr(SShKey_Edit)),
  };
  return table[key];
}

// ---------------------------------------------------------------- new folder

namespace {

void ShowFolderFailure(DWORD error, const String& path) {
  String text = FormatStrPos(PTLoadStr(SUnableToCreateFolder), {Trim(SysErrorMessage(error)), path});
  Application->MessageBox(text, PTLoadStr(SMsgDlgWarning), MB_OK | MB_ICONWARNING);
}

}  // namespace

bool PTShCreateNewFolder(const String& parentPath, String& newPath) {
  if (parentPath.empty()) return false;
  String parent = EnsureTrailingCharDB(parentPath, '\\');
  struct TPass {
    String base;
    const char* numbered;
  };
  const TPass passes[] = {{PTLoadStr(SNewFolder), " (%d)"}, {SNewFolderShort, "%d"}};
  for (const TPass& pass : passes) {
    for (int attempt = 1; attempt <= 50; ++attempt) {
      String path = parent + pass.base + (attempt == 1 ? String() : Format(pass.numbered, attempt));
      if (CreateDirectoryW(StringToWide(path).c_str(), nullptr)) {
        newPath = path;
        return true;
      }
      DWORD error = GetLastError();
      if (error == ERROR_ALREADY_EXISTS) continue;
      ShowFolderFailure(error, path);
      return false;
    }
  }
  ShowFolderFailure(ERROR_ALREADY_EXISTS, PTLoadStr(SNewFolder));
  return false;
}

// ---------------------------------------------------------------- helpers

HWND PTShTopFormWindow(TControl* control) {
  if (!control) return nullptr;
  TControl* top = control;
  while (top->Parent()) top = top->Parent();
  auto* form = dynamic_cast<TWinControl*>(top);
  if (!form || !form->IsFormControl() || !form->HandleAllocated()) return nullptr;
  return form->Handle();
}

void PTShSetStyleBits(HWND wnd, LONG_PTR bits, bool on) {
  LONG_PTR style = GetWindowLongPtrW(wnd, GWL_STYLE);
  LONG_PTR changed = on ? style | bits : style & ~bits;
  if (changed != style) SetWindowLongPtrW(wnd, GWL_STYLE, changed);
}

void PTShRaiseSystemError(DWORD code) { throw Exception(Trim(SysErrorMessage(code))); }

void PTShBusyPause(DWORD ms) {
  TCursorGuard busy;
  Sleep(ms);
}

// ---------------------------------------------------------------- start-up

namespace {
int gStartups = 0;
bool gOleInitialized = false;
}  // namespace

void PTShellControlsStartup() {
  if (gStartups++ > 0) return;
  gOleInitialized = SUCCEEDED(OleInitialize(nullptr));
  ShellIDListFormat();
  DragHoverValues();
}

void PTShellControlsShutdown() {
  if (gStartups == 0 || --gStartups > 0) return;
  SendToList().clear();
  gSendToPopup = nullptr;
  FreePTDeviceChangeHandler();
  if (gOleInitialized) OleUninitialize();
  gOleInitialized = false;
}
