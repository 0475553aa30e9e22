// Real input through SendInput, as a person gives it: the hooks, focus,
// capture and activation rules all apply. Coordinates are absolute on the
// virtual desktop. Each call brings the target's top-level window to the
// foreground first and returns once the input was processed (this thread's
// queue holds no input and the cursor rests where it was sent); the result
// names what went wrong.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>

#include "classlib/Controls.h"

#include <windows.h>

// Activates the top-level window of wnd and waits until it is the foreground
// window.
::testing::AssertionResult BringToFront(HWND wnd);
// BringToFront, then the keyboard focus to wnd (a window of this thread).
::testing::AssertionResult FocusWindow(HWND wnd);

// Screen point of a client point of wnd, and of the centre of its client area.
POINT ClientPoint(HWND wnd, int x, int y);
POINT CentreOf(HWND wnd);

// Moves the cursor and waits until it rests there. Wine echoes cursor moves
// back from the X server late, so the position is checked, not assumed.
::testing::AssertionResult MoveTo(POINT screen);

// The class library's TMouseButton (mbLeft, mbRight, mbMiddle).
::testing::AssertionResult MouseDown(TMouseButton button = mbLeft);
::testing::AssertionResult MouseUp(TMouseButton button = mbLeft);

// Click at a client point of wnd, or at the centre of a control. A click at
// the place of the previous one waits out the double-click time first, so
// two clicks stay two clicks.
::testing::AssertionResult Click(HWND wnd, POINT client, TMouseButton button = mbLeft);
::testing::AssertionResult Click(HWND wnd, TMouseButton button = mbLeft);
::testing::AssertionResult RightClick(HWND wnd, POINT client);
::testing::AssertionResult RightClick(HWND wnd);
::testing::AssertionResult DoubleClick(HWND wnd, POINT client);
::testing::AssertionResult DoubleClick(HWND wnd);

// Presses the button at from (client point of wnd), moves in steps (at least
// 1) of equal size to to (client point of wnd, may lie outside it), waiting
// for each move, and releases it there.
::testing::AssertionResult Drag(HWND wnd, POINT from, POINT to, int steps = 8, TMouseButton button = mbLeft);

// One step of a gesture given in one go: a move to a client point of the
// window (waits until the cursor rests there), a button or a key going down
// or up.
struct TGestureStep {
  enum TKind { Move, ButtonDown, ButtonUp, KeyDown, KeyUp };
  TKind Kind;
  POINT At{};
  WORD Key = 0;
  TMouseButton Button = mbLeft;
};
// Brings wnd to the front and sends the steps in order from another thread
// while this one pumps, so a modal loop entered on the way (a drag) gets
// the rest; a key step is followed by a short pause for it to be handled.
// A button left down is released at the end.
::testing::AssertionResult Gesture(HWND wnd, const std::vector<TGestureStep>& steps);

// Types text into the focused window of the foreground window: each
// character through its virtual key (with Shift, Ctrl, Alt as the layout
// needs), or as KEYEVENTF_UNICODE when the layout has no key for it.
::testing::AssertionResult TypeText(const String& text);
// FocusWindow(wnd), then TypeText.
::testing::AssertionResult TypeInto(HWND wnd, const String& text);
// Presses the keys in order and releases them in reverse:
// KeyChord({VK_CONTROL, VK_SHIFT, VK_F10}), KeyChord({VK_MENU, 'F'}),
// KeyChord({VK_APPS}), KeyChord({VK_RETURN}).
::testing::AssertionResult KeyChord(std::initializer_list<WORD> keys);

// Pumps until this thread's queue holds no input message (and at least once).
void WaitInputProcessed(DWORD timeoutMs = 2000);
