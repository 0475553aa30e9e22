// Finding windows by caption, class and control id, and waiting (pumping
// this thread's messages) until a window appears or changes state.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "classlib/Sysutils.h"

#include <windows.h>

// Pumps until done() holds, checking it at least every 10 ms: WaitFor checks
// only when a message arrives, and the state of windows (z-order, other
// processes' windows, helper threads) changes without one.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

String WindowText(HWND wnd);
String WindowClass(HWND wnd);
// The system class a window behaves as: its class, or for a control of the
// class library the system class it superclasses ("Button" for a TButton,
// "Edit" for a TEdit); the class library's labels count as "Static". The
// searches below match class names this way.
String WindowKind(HWND wnd);
// "[caption] (class)", for failure messages.
String DescribeWindow(HWND wnd);
// "&Yes" -> "Yes"; "&&" stays one '&'.
String StripAmpersands(const String& s);
// Caption match as a person reads it: exact, or equal without the '&' marks.
bool SameCaption(const String& text, const String& wanted);

// Top-level windows, front first: this process's (anyProcess: every
// process's), visible ones only unless visibleOnly is false.
std::vector<HWND> TopWindows(bool visibleOnly = true, bool anyProcess = false);
// Top-level windows of one thread, front first.
std::vector<HWND> ThreadWindows(DWORD threadId, bool visibleOnly = true);
// "[a] (cls), [b] (cls)", for failure messages.
String DescribeWindows(const std::vector<HWND>& wnds);

// The front visible top-level window with this caption (SameCaption; ""
// matches any) and class ("" any); nullptr when none.
HWND FindTopWindow(const String& caption, const String& className = "", bool anyProcess = false);
// Pumps until FindTopWindow finds one; on time-out fails the test naming the
// windows there are, and returns nullptr.
HWND WaitForTopWindow(const String& caption, const String& className = "", DWORD timeoutMs = 5000,
                      bool anyProcess = false);

// Children, searched at every depth in creation order.
std::vector<HWND> ChildWindows(HWND parent, bool visibleOnly = false);
HWND FindChild(HWND parent, int id);
// By its text (SameCaption), optionally of one class.
HWND FindChildByText(HWND parent, const String& text, const String& className = "");
// The index-th (from 0) child of a class.
HWND FindChildByClass(HWND parent, const String& className, int index = 0);
// The control a label names: the first sibling after the static whose text
// is label (SameCaption) that is not itself a static or group box.
HWND ChildAfterLabel(HWND parent, const String& label);
// The texts of the visible children of a class, in creation order.
std::vector<String> ChildTexts(HWND parent, const String& className);

// Pumping waits for one window's state; the result names what was seen.
::testing::AssertionResult WaitVisible(HWND wnd, DWORD timeoutMs = 5000);
::testing::AssertionResult WaitEnabled(HWND wnd, DWORD timeoutMs = 5000);
::testing::AssertionResult WaitForeground(HWND wnd, DWORD timeoutMs = 5000);
// Until the window is hidden or destroyed.
::testing::AssertionResult WaitGone(HWND wnd, DWORD timeoutMs = 5000);
