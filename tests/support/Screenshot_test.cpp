#include <gtest/gtest.h>

#include "support/Benchwin.h"
#include "support/Pixels.h"
#include "support/Png.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {
const COLORREF kBlue = RGB(20, 40, 200);
const COLORREF kRed = RGB(230, 20, 20);
const RECT kRedRect{10, 10, 60, 40};

// A window painted blue with a red rectangle at kRedRect of its client area.
class TPaintedWindow {
 public:
  explicit TPaintedWindow(const String& caption)
      : w_(caption, 200, 150, 300, 200, [this](HWND h, UINT m, WPARAM, LPARAM, LRESULT&) {
          if (m != WM_PAINT) return false;
          PAINTSTRUCT ps;
          HDC dc = BeginPaint(h, &ps);
          RECT r;
          GetClientRect(h, &r);
          HBRUSH blue = CreateSolidBrush(kBlue), red = CreateSolidBrush(kRed);
          FillRect(dc, &r, blue);
          FillRect(dc, &kRedRect, red);
          DeleteObject(blue);
          DeleteObject(red);
          EndPaint(h, &ps);
          ++paints_;
          return true;
        }) {
    w_.Show();
    WaitFor([&] { return paints_ > 0; });
    PumpFor(50);
  }
  HWND Handle() const { return w_.Handle(); }
  // The client origin in the window rectangle.
  POINT ClientOffset() const {
    RECT wr;
    GetWindowRect(Handle(), &wr);
    POINT p{0, 0};
    ClientToScreen(Handle(), &p);
    return {p.x - wr.left, p.y - wr.top};
  }

 private:
  int paints_ = 0;
  TPlainWindow w_;
};
}  // namespace

TEST(Pixels, ClientCaptureShowsWhatWasPainted) {
  TPaintedWindow w("Bench pixels");
  TDibSurface s = CaptureClient(w.Handle());
  ASSERT_FALSE(s.Empty());
  EXPECT_TRUE(ColorAt(s, 0, 0, kBlue));
  EXPECT_TRUE(ColorAt(s, 10, 10, kRed));
  EXPECT_TRUE(ColorAt(s, 60, 40, kBlue));
  EXPECT_EQ(CountColor(s, kRed), 50 * 30);
  EXPECT_EQ(CountColor(s, RECT{0, 0, 20, 20}, kRed), 10 * 10);
  RECT b = ColorBounds(s, kRed);
  EXPECT_TRUE(EqualRect(&b, &kRedRect)) << b.left << "," << b.top << "," << b.right << "," << b.bottom;
  RECT none = ColorBounds(s, RGB(1, 2, 3));
  EXPECT_TRUE(IsRectEmpty(&none));
  SaveScreenshot(w.Handle());
}

TEST(Screenshot, WindowPngReadsBackWithItsFrameAndPixels) {
  TPaintedWindow w("Bench screenshot");
  String path = SaveScreenshot(w.Handle());
  EXPECT_EQ(path, ScreenshotFolder() + "Screenshot_WindowPngReadsBackWithItsFrameAndPixels.png");
  TDibSurface raw = CaptureWindow(w.Handle());
  TDibSurface png = LoadPng(path);
  ASSERT_FALSE(png.Empty());
  RECT wr;
  GetWindowRect(w.Handle(), &wr);
  ASSERT_EQ(png.Width(), wr.right - wr.left);
  ASSERT_EQ(png.Height(), wr.bottom - wr.top);
  POINT o = w.ClientOffset();
  EXPECT_GT(o.y, 0);  // the caption is in the picture
  RECT red = ColorBounds(png, kRed);
  RECT want = kRedRect;
  OffsetRect(&want, o.x, o.y);
  EXPECT_TRUE(EqualRect(&red, &want)) << red.left << "," << red.top << " want " << want.left << "," << want.top;
  int differ = 0;
  for (int y = 0; y < png.Height(); ++y)
    for (int x = 0; x < png.Width(); ++x)
      if (png.Pixel(x, y) != raw.Pixel(x, y)) ++differ;
  EXPECT_EQ(differ, 0);
  // A second shot of the test does not overwrite the first.
  EXPECT_EQ(SaveScreenshot(w.Handle()), ScreenshotFolder() + "Screenshot_WindowPngReadsBackWithItsFrameAndPixels_2.png");
  EXPECT_EQ(SaveScreenshot(w.Handle(), "after click"),
            ScreenshotFolder() + "Screenshot_WindowPngReadsBackWithItsFrameAndPixels_after-click.png");
}

// A maximised window reaches past the desktop's edges with its frame; its
// shot still shows what is on the desktop.
TEST(Screenshot, MaximisedWindowShowsItsPixels) {
  TPaintedWindow w("Bench maximised");
  ShowWindow(w.Handle(), SW_MAXIMIZE);
  PumpFor(100);
  RECT wr;
  GetWindowRect(w.Handle(), &wr);
  ASSERT_LT(wr.left, 0) << "the frame lies outside the desktop";
  TDibSurface s = CaptureWindow(w.Handle());
  POINT o = w.ClientOffset();
  EXPECT_TRUE(ColorAt(s, o.x + kRedRect.left, o.y + kRedRect.top, kRed));
  EXPECT_TRUE(ColorAt(s, s.Width() / 2, s.Height() / 2, kBlue));
  SaveScreenshot(w.Handle());
}

TEST(Screenshot, WindowThatGoesAwayUnshotIsShotAutomatically) {
  String autoName = ScreenshotFolder() + "Screenshot_WindowThatGoesAwayUnshotIsShotAutomatically_Bench-auto.png";
  String keptName = ScreenshotFolder() + "Screenshot_WindowThatGoesAwayUnshotIsShotAutomatically_Bench-kept.png";
  DeleteFileA(autoName.c_str());
  DeleteFileA(keptName.c_str());
  {
    TPaintedWindow shown("Bench auto");
  }
  ASSERT_TRUE(FileExists(autoName));
  TDibSurface s = LoadPng(autoName);
  EXPECT_EQ(CountColor(s, kRed), 50 * 30);
  {
    TPaintedWindow kept("Bench kept");
    SaveScreenshot(kept.Handle(), "own");
  }
  EXPECT_FALSE(FileExists(keptName));  // the test shot it itself
}

TEST(Screenshot, DesktopAndDamagedFiles) {
  TPaintedWindow w("Bench desktop");
  String path = SaveDesktopScreenshot();
  TDibSurface s = LoadPng(path);
  EXPECT_EQ(s.Width(), 1280);
  EXPECT_EQ(s.Height(), 1024);
  EXPECT_EQ(CountColor(s, kRed), 50 * 30);
  String png = ReadFileBytes(path);
  ASSERT_GT(png.size(), 100u);
  png[png.size() / 2] ^= 0x55;  // inside the picture data: its checksum no longer matches
  EXPECT_TRUE(DecodePng(png).Empty());
  EXPECT_TRUE(DecodePng("not a png").Empty());
  SaveScreenshot(w.Handle());
}
