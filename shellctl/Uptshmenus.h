// The shell's context menus for the shell controls: building one and
// running its commands by offset or verb, the menu messages routed to the
// shell or to the own Send To submenu, executing a Send To entry, the key
// table of the controls' default key handling, new-folder naming, small
// helpers, and the start-up and shut-down of the shell controls.
#pragma once

#include <functional>
#include <vector>

#include "classlib/Actnlist.h"
#include "classlib/Controls.h"
#include "shellctl/Uptshdragdrop.h"

// The shell's commands take the ids from kFirstShellCommand (offset = id -
// kFirstShellCommand); the own Send To entries are 1 .. n.
constexpr UINT kFirstShellCommand = 1000;
constexpr UINT kLastShellCommand = 32767;
// The offset of the shell's rename command.
constexpr UINT kShellRenameOffset = 18;

// ---------------------------------------------------------------- context menus

// The folder's IContextMenu of the items, filled into a new popup menu with
// ids from firstId. GetUIObjectOf's failure is returned with nothing made;
// a failing QueryContextMenu destroys the popup and raises EOleSysError.
HRESULT ShellGetContextMenu(HWND owner, IShellFolder* folder, UINT count, LPCITEMIDLIST* pidls, UINT firstId,
                            UINT flags, TComPtr<IContextMenu>& menu, HMENU& popup);
// The offset of the command whose verb is verb (without regard to case),
// from a scratch menu filled with CMF_EXPLORE; -1 when none has it.
int ShellGetCommandOffset(IContextMenu* menu, const String& verb);
// The verb of the command at offset (asked in UTF-16, then in ANSI); false
// when the menu gives none.
bool ShellGetCommandVerb(IContextMenu* menu, UINT offset, String& verb);
HRESULT ShellInvokeCommand(HWND owner, IContextMenu* menu, UINT offset);
// Invokes nothing and answers HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when no
// command has the verb.
HRESULT ShellInvokeVerb(HWND owner, IContextMenu* menu, const String& verb);

// TrackPopupMenu, or what a test put in its place (chooses the result).
using TPTMenuTracker = std::function<UINT(HMENU menu, UINT flags, int x, int y, HWND owner)>;
UINT PTShTrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner);
// nullptr: TrackPopupMenu again.
void SetPTShMenuTracker(TPTMenuTracker tracker);

// WM_INITMENUPOPUP, WM_DRAWITEM, WM_MEASUREITEM and WM_MENUCHAR while a
// shell context menu is up (the control calls it after its own default
// handling): the own Send To entries are measured, drawn and found by
// their first letter here; anything else goes to the menu's IContextMenu3
// or IContextMenu2, and when that fails or is not offered, a popup that
// holds only a grayed placeholder is filled with the Send To entries. True
// when handled (msg.Result set).
bool PTShMenuMessage(IContextMenu* menu, TMessage& msg);
// The help text of the shell command WM_MENUSELECT selects; empty for the
// own entries, popups, system-menu items and failures.
String PTShMenuSelectHint(IContextMenu* menu, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------- Send To

struct TPTSendToEntry {
  String Name;    // the file name in the Send To folder
  int Icon = -1;  // small system image list
};
// Sorted without regard to case, as last collected.
const std::vector<TPTSendToEntry>& PTShSendToList();
// Reads the Send To folder again: its files that are not hidden.
void PTShCollectSendTo();
// The popup last filled with the entries (nullptr when none).
HMENU PTShSendToPopup();

// Finds the drop target of a Send To entry; tests put their own in place.
using TPTSendToResolver = std::function<HRESULT(const String& entry, TComPtr<IDropTarget>& target)>;
// The entry parsed in the Send To folder, its IDropTarget from the folder.
HRESULT ResolveSendToTarget(const String& entry, TComPtr<IDropTarget>& target);
// nullptr: ResolveSendToTarget again.
void SetPTShSendToResolver(TPTSendToResolver resolver);
// Drops data on the entry as a copy with the left button: DragEnter and
// DragOver, then Drop with the hourglass cursor (restored however Drop
// ends). A target that answers no effect gets DragLeave and no Drop
// (S_FALSE). Raises EOleSysError when the entry's target cannot be had;
// otherwise Drop's result.
HRESULT PTShSendTo(const String& entry, IDataObject* data);

// ---------------------------------------------------------------- keys

enum TPTShKey { ptkSelectAll, ptkDelete, ptkCopy, ptkCut, ptkPaste, ptkRefresh, ptkEdit };
// The shortcut of a key of the table (its text through PTLoadStr); 0 when
// the text names no key.
TShortCut PTShKeyShortCut(TPTShKey key);
// "Shift+", "Ctrl+", "Alt+" in this order, then the key's name ("BkSp",
// "PgUp", "Del", "F5", "A", "#300" for keys without a name).
String PTShShortCutToText(TShortCut shortCut);
// The reverse: "Shift+", "Ctrl+" or "^", "Alt+" in any order, without
// regard to case; 0 for a text that names no key.
TShortCut PTShTextToShortCut(const String& text);

// ---------------------------------------------------------------- new folder

// Makes "New Folder", "New Folder (2)" ... (then "fldr", "fldr2" ...) in
// parentPath; true with its full path. An empty parentPath makes nothing.
// A failure other than an existing name shows one warning box with the
// system's reason and ends.
bool PTShCreateNewFolder(const String& parentPath, String& newPath);

// ---------------------------------------------------------------- helpers

// The window of the outermost parent when that is a form with a window.
HWND PTShTopFormWindow(TControl* control);
// Changes GWL_STYLE only when the value changes.
void PTShSetStyleBits(HWND wnd, LONG_PTR bits, bool on);
// Raises Exception with the system's text for the code.
[[noreturn]] void PTShRaiseSystemError(DWORD code);
// The hourglass for a pause of ms milliseconds.
void PTShBusyPause(DWORD ms);

// ---------------------------------------------------------------- start-up

// Counted: the first start-up initialises OLE on the calling thread; the
// last shut-down frees the Send To list and the device-change relay and
// releases OLE.
void PTShellControlsStartup();
void PTShellControlsShutdown();
