// The splash window as start-up shows it: borderless, centred, the two
// pictures in place on the program's blue, the maker's notice.
#include <gtest/gtest.h>

#include "application/frame/Splash.h"
#include "classlib/Jpeg.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// The picture of image is drawn unscaled at its place: screen pixels of the
// form's client area against the decoded picture.
::testing::AssertionResult PictureShown(const TDibSurface& client, HWND form, TImage* image) {
  auto* jpeg = dynamic_cast<TJPEGImage*>(image->Picture()->Graphic());
  if (!jpeg) return ::testing::AssertionFailure() << image->Name() << " holds no JPEG";
  POINT at{0, 0};
  MapWindowPoints(image->Handle(), form, &at, 1);
  int bad = 0, checked = 0;
  for (int y = 0; y < jpeg->Height(); y += 7)
    for (int x = 0; x < jpeg->Width(); x += 7, ++checked)
      if (!SameColor(client.Pixel(at.x + x, at.y + y), jpeg->Pixel(x, y), 3)) ++bad;
  if (bad) return ::testing::AssertionFailure() << image->Name() << ": " << bad << " of " << checked << " differ";
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST(Splash, ShowsBothPicturesOnTheBlue) {
  TOwned<TFormSplash> splash(new TFormSplash(Application));
  // As start-up shows it: painted at once, before any message is handled.
  splash->Show();
  splash->Update();
  HWND wnd = splash->Handle();
  GdiFlush();
  MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0);  // Wine shows what was painted
  RECT screen;
  GetClientRect(wnd, &screen);
  MapWindowPoints(wnd, nullptr, reinterpret_cast<POINT*>(&screen), 2);
  TDibSurface early = CaptureScreen(screen);
  EXPECT_TRUE(PictureShown(early, wnd, splash->Image1));
  EXPECT_TRUE(PictureShown(early, wnd, splash->Image2));
  EXPECT_GT(CountColor(early, RECT{100, 229, 402, 241}, RGB(255, 255, 255)), 20);
  ASSERT_TRUE(WaitVisible(wnd));
  SaveScreenshot(wnd);

  LONG_PTR style = GetWindowLongPtrA(wnd, GWL_STYLE);
  EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER));
  RECT r;
  GetClientRect(wnd, &r);
  EXPECT_EQ(r.right, 406);
  EXPECT_EQ(r.bottom, 243);
  GetWindowRect(wnd, &r);
  EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((r.top + r.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

  EXPECT_EQ(splash->Image1->Picture()->Width(), 310);
  EXPECT_EQ(splash->Image1->Picture()->Height(), 80);
  EXPECT_EQ(splash->Image2->Picture()->Width(), 320);
  EXPECT_EQ(splash->Image2->Picture()->Height(), 140);
  EXPECT_EQ(splash->Label1->Caption(), MakerNotice);

  TDibSurface client = CaptureClient(wnd);
  EXPECT_TRUE(PictureShown(client, wnd, splash->Image1));
  EXPECT_TRUE(PictureShown(client, wnd, splash->Image2));
  // The blue between and beside the pictures; the notice in white below.
  EXPECT_TRUE(ColorAt(client, 10, 120, RGB(0, 64, 128)));
  EXPECT_TRUE(ColorAt(client, 200, 87, RGB(0, 64, 128)));
  EXPECT_GT(CountColor(client, RECT{100, 229, 402, 241}, RGB(255, 255, 255)), 20);
}
