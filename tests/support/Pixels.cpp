#include "Pixels.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

TDibSurface::TDibSurface(int width, int height) {
  if (width <= 0 || height <= 0) return;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dc_ || !bitmap_ || !bits) {
    Release();
    return;
  }
  old_ = SelectObject(dc_, bitmap_);
  bits_ = static_cast<uint32_t*>(bits);
  width_ = width;
  height_ = height;
  std::fill(bits_, bits_ + static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
}

TDibSurface::~TDibSurface() { Release(); }

TDibSurface::TDibSurface(TDibSurface&& o) noexcept { *this = std::move(o); }

TDibSurface& TDibSurface::operator=(TDibSurface&& o) noexcept {
  if (this != &o) {
    Release();
    std::swap(dc_, o.dc_);
    std::swap(bitmap_, o.bitmap_);
    std::swap(old_, o.old_);
    std::swap(bits_, o.bits_);
    std::swap(width_, o.width_);
    std::swap(height_, o.height_);
  }
  return *this;
}

void TDibSurface::Release() {
  if (dc_ && old_) SelectObject(dc_, old_);
  if (bitmap_) DeleteObject(bitmap_);
  if (dc_) DeleteDC(dc_);
  dc_ = nullptr;
  bitmap_ = nullptr;
  old_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = 0;
}

COLORREF TDibSurface::Pixel(int x, int y) const {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
  uint32_t v = bits_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

void TDibSurface::SetPixel(int x, int y, COLORREF c) {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return;
  bits_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] =
      (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}

TDibSurface CaptureScreen(const RECT& r) {
  TDibSurface s(r.right - r.left, r.bottom - r.top);
  if (s.Empty()) return s;
  // Only the part on the desktop: Wine copies nothing at all when the source
  // reaches past its edge (a maximised window's frame does).
  int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
  RECT desk{vx, vy, vx + GetSystemMetrics(SM_CXVIRTUALSCREEN), vy + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  RECT on{};
  if (!IntersectRect(&on, &r, &desk)) return s;
  HDC screen = GetDC(nullptr);
  BitBlt(s.Dc(), on.left - r.left, on.top - r.top, on.right - on.left, on.bottom - on.top, screen, on.left, on.top,
         SRCCOPY | CAPTUREBLT);
  ReleaseDC(nullptr, screen);
  GdiFlush();
  return s;
}

namespace {
void PaintNow(HWND wnd) {
  RedrawWindow(wnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  GdiFlush();
  // Wine shows what was painted when the thread next waits for messages.
  MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0);
}
}  // namespace

TDibSurface CaptureWindow(HWND wnd) {
  PaintNow(wnd);
  RECT r{};
  GetWindowRect(wnd, &r);
  return CaptureScreen(r);
}

TDibSurface CaptureClient(HWND wnd) {
  PaintNow(wnd);
  RECT r{};
  GetClientRect(wnd, &r);
  MapWindowPoints(wnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return CaptureScreen(r);
}

TDibSurface CaptureDesktop() {
  MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0);
  int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  RECT r{x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  return CaptureScreen(r);
}

bool SameColor(COLORREF a, COLORREF b, int tolerance) {
  if (a == CLR_INVALID || b == CLR_INVALID) return a == b;
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

String ColorText(COLORREF c) {
  if (c == CLR_INVALID) return "(outside)";
  char buf[16];
  snprintf(buf, sizeof buf, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return buf;
}

::testing::AssertionResult ColorAt(const TDibSurface& s, int x, int y, COLORREF want, int tolerance) {
  GdiFlush();
  COLORREF got = s.Pixel(x, y);
  if (SameColor(got, want, tolerance)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") of " << s.Width() << "x" << s.Height()
                                       << " is " << ColorText(got) << ", not " << ColorText(want);
}

int CountColor(const TDibSurface& s, const RECT& r, COLORREF c, int tolerance) {
  GdiFlush();
  int n = 0;
  for (int y = std::max<int>(0, r.top); y < std::min<int>(s.Height(), r.bottom); ++y)
    for (int x = std::max<int>(0, r.left); x < std::min<int>(s.Width(), r.right); ++x)
      if (SameColor(s.Pixel(x, y), c, tolerance)) ++n;
  return n;
}

int CountColor(const TDibSurface& s, COLORREF c, int tolerance) {
  return CountColor(s, RECT{0, 0, s.Width(), s.Height()}, c, tolerance);
}

RECT ColorBounds(const TDibSurface& s, COLORREF c, int tolerance) {
  GdiFlush();
  RECT b{s.Width(), s.Height(), 0, 0};
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (SameColor(s.Pixel(x, y), c, tolerance)) {
        b.left = std::min<LONG>(b.left, x);
        b.top = std::min<LONG>(b.top, y);
        b.right = std::max<LONG>(b.right, x + 1);
        b.bottom = std::max<LONG>(b.bottom, y + 1);
      }
  if (b.right == 0) return RECT{0, 0, 0, 0};
  return b;
}
