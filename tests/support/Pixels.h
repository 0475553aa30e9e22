// Pixels of the screen for checks: a 32-bit top-down DIB surface, filled by
// BitBlt from the screen DC (what is on the virtual desktop; PrintWindow and
// WM_PRINT give only the class background under Wine), and small checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "classlib/Sysutils.h"

#include <windows.h>

class TDibSurface {
 public:
  TDibSurface() = default;
  TDibSurface(int width, int height);  // filled with black
  ~TDibSurface();
  TDibSurface(TDibSurface&& other) noexcept;
  TDibSurface& operator=(TDibSurface&& other) noexcept;
  TDibSurface(const TDibSurface&) = delete;
  TDibSurface& operator=(const TDibSurface&) = delete;

  // A memory DC with the surface selected, for GDI drawing into it (GdiFlush
  // before reading pixels back; the checks below flush themselves).
  HDC Dc() const { return dc_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return !bits_; }
  // The colour as RGB() makes it; CLR_INVALID outside the surface.
  COLORREF Pixel(int x, int y) const;
  void SetPixel(int x, int y, COLORREF c);
  // Rows top first, each pixel 0x00RRGGBB.
  const uint32_t* Bits() const { return bits_; }

 private:
  void Release();
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
  int width_ = 0, height_ = 0;
};

// What the screen shows in r (virtual-desktop coordinates), as it is now.
TDibSurface CaptureScreen(const RECT& r);
// A window with its frame (its window rectangle), or its client area; the
// window's pending painting is done first and put on the screen.
TDibSurface CaptureWindow(HWND wnd);
TDibSurface CaptureClient(HWND wnd);
// The whole virtual desktop.
TDibSurface CaptureDesktop();

// Colours match when no channel differs by more than tolerance.
bool SameColor(COLORREF a, COLORREF b, int tolerance = 0);
// "#RRGGBB"
String ColorText(COLORREF c);

::testing::AssertionResult ColorAt(const TDibSurface& s, int x, int y, COLORREF want, int tolerance = 0);
// Pixels of the colour in r (clipped to the surface), or in the whole surface.
int CountColor(const TDibSurface& s, const RECT& r, COLORREF c, int tolerance = 0);
int CountColor(const TDibSurface& s, COLORREF c, int tolerance = 0);
// The smallest rectangle (right and bottom exclusive) holding every pixel of
// the colour; empty (all 0) when there is none.
RECT ColorBounds(const TDibSurface& s, COLORREF c, int tolerance = 0);
