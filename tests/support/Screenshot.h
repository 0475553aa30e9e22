// Screenshots of the windows a test shows, as PNG files named after the
// running test: Suite_Test.png, Suite_Test_suffix.png.
//
// They go to NEMBRA_SCREENSHOTS, a Windows path that CTest sets to the build
// tree's screenshots folder (through Z:; a prefix without Z: maps a drive of
// its own there). Every window is recorded even when the test does not ask:
// a visible top-level window of the test's thread is shot as it is hidden or
// destroyed, and every one of the process still visible when the test ends
// is shot then (suffix: its caption, else its class), unless the test shot
// it itself. Those automatic shots only warn once on stderr when the folder
// cannot be written; SaveScreenshot fails the test.
#pragma once

#include <gtest/gtest.h>

#include "Pixels.h"

// The folder, with a trailing backslash; made when missing.
String ScreenshotFolder();
// The file for the running test and suffix ("" none); a name already used
// by this test gets "_2", "_3", ... added.
String ScreenshotPath(const String& suffix = "");

// Saves what the screen shows of the window (its window rectangle, frame
// included) after its pending painting, and marks it shot for this test.
// Returns the file's path; "" on failure, which also fails the test.
String SaveScreenshot(HWND wnd, const String& suffix = "");
// The whole virtual desktop.
String SaveDesktopScreenshot(const String& suffix = "");

// The listener that shoots unrecorded windows (installed by TestMain).
::testing::TestEventListener* NewScreenshotListener();
