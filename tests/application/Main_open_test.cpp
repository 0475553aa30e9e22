// The main window as a new user meets it: a connection opened with a click
// on Quick Connect, filmed from a second thread while it opens; the
// maximised connection window's icon on the menu bar.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Childtest.h"
#include "bars/Dxbar.h"
#include "bars/Dxbarcontrols.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Png.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

// Shots of a screen rectangle taken every few milliseconds on a thread of
// its own, so that they show what the screen shows while the interface
// thread is busy.
class TFilm {
 public:
  explicit TFilm(const RECT& r) : rect_(r) {
    thread_ = std::thread([this] {
      DWORD start = GetTickCount();
      while (!stop_ && GetTickCount() - start < 4000 && frames_.size() < 80) {
        frames_.push_back({GetTickCount() - start, CaptureScreen(rect_)});
        Sleep(25);
      }
    });
  }
  ~TFilm() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  struct TFrame {
    DWORD Ms;
    TDibSurface Shot;
  };
  std::vector<TFrame>& Frames() { return frames_; }

 private:
  RECT rect_;
  std::atomic<bool> stop_{false};
  std::vector<TFrame> frames_;
  std::thread thread_;
};

RECT ScreenRect(HWND wnd) {
  RECT r{};
  GetWindowRect(wnd, &r);
  return r;
}

// r (screen) as a rectangle of a shot of outer (screen).
RECT Within(const RECT& r, const RECT& outer) {
  return RECT{r.left - outer.left, r.top - outer.top, r.right - outer.left, r.bottom - outer.top};
}

// The pixels of r that differ between two shots of the same rectangle, in
// per cent of r.
int DifferingPercent(const TDibSurface& a, const TDibSurface& b, const RECT& r) {
  int all = (r.right - r.left) * (r.bottom - r.top), differ = 0;
  if (all <= 0) return 100;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y)) ++differ;
  return 100 * differ / all;
}

// The bar window of a toolbar by its caption.
HWND BarWindow(TFormMain* form, const String& caption) {
  TdxBar* bar = form->Bar1->BarByCaption(caption);
  return bar && bar->Control() ? bar->Control()->Handle() : nullptr;
}

}  // namespace

// A click on Quick Connect: from the click until the listing, every shot of
// the screen shows the toolbars and the local pane as they were; the
// connection window comes maximised.
TEST_F(ChildTest, QuickConnectKeepsTheFramePaintedWhileTheWindowOpens) {
  TFtpScript script;
  script.Listing = UnixLine("pub", 0, true) + UnixLine("readme.txt", 120);
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  for (int i = 0; i < 6; ++i) WriteFileBytes(local + "\\local-" + IntToStr(i) + ".txt", "x");
  OpenMain();
  form->SetQuickConnectIndex(0);
  ASSERT_TRUE(WaitUntil([&] { return form->LocList->Items()->Count() == 6; }, 10000));
  TdxBar* quickBar = form->Bar1->BarByCaption("Quick Connect");
  ASSERT_TRUE(quickBar && quickBar->Control());
  TdxBarItemControl* button = quickBar->ItemLinks()->Items(1)->Control();
  ASSERT_NE(button, nullptr);
  TRect b = quickBar->Control()->GetItemRect(button);
  HWND main = form->Handle();
  PumpFor(300);
  SaveScreenshot(main, "before");
  RECT whole = ScreenRect(main);
  // What does not change with a connection: the View bar (its buttons are
  // always enabled) and the local folder's list.
  HWND viewBar = BarWindow(form.get(), "View");
  ASSERT_NE(viewBar, nullptr);
  RECT view = Within(ScreenRect(viewBar), whole);
  RECT list = Within(ScreenRect(form->LocList->Handle()), whole);
  TDibSurface before = CaptureWindow(main);

  DWORD clicked = 0, shown = 0;
  TFilm film(whole);
  Sleep(50);
  clicked = GetTickCount();
  ASSERT_TRUE(Click(quickBar->Control()->Handle(), POINT{(b.left + b.right) / 2, (b.top + b.bottom) / 2}));
  ASSERT_TRUE(WaitUntil([&] {
    HWND child = FindChildByClass(main, "TFormMdi");
    if (child && IsWindowVisible(child) && !shown) shown = GetTickCount();
    return shown != 0;
  }, 10000));
  auto* child = dynamic_cast<TFormMdi*>(FormMdi);
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(WaitIdle(child));
  film.Stop();
  std::printf("the connection window was shown %lu ms after the click\n", shown - clicked);
  EXPECT_TRUE(IsZoomed(child->Handle()));
  ASSERT_GT(film.Frames().size(), 5u);
  for (auto& f : film.Frames()) {
    int bars = DifferingPercent(before, f.Shot, view), pane = DifferingPercent(before, f.Shot, list);
    if (bars > 1 || pane > 1) {
      SavePng(f.Shot, ScreenshotPath("at" + IntToStr(f.Ms)));
      ADD_FAILURE() << f.Ms << " ms into the film: " << bars << "% of the View bar and " << pane
                    << "% of the local list changed";
    }
  }
  // One shot of the opening, saved in any case.
  const TFilm::TFrame& middle = film.Frames()[film.Frames().size() / 2];
  SavePng(middle.Shot, ScreenshotPath("opening" + IntToStr(middle.Ms)));
  SaveScreenshot(main, "listed");
}

// The maximised connection window's icon in the first place of the menu
// bar, drawn as its 16 x 16 picture on the bar's background.
TEST_F(ChildTest, TheMaximisedWindowsIconLeadsTheMenuBar) {
  TFtpScript script;
  TFtpScriptServer& server = StartServer(script);
  ScriptedProfile(server.Port());
  OpenMain();
  TFormMdi* child = Open("Scripted");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child));
  ASSERT_TRUE(IsZoomed(child->Handle()));
  TdxBar* menu = form->Bar1->MainMenuBar();
  ASSERT_TRUE(menu && menu->Control());
  TdxBarItemLink* first = menu->ItemLinks()->Items(0);
  ASSERT_TRUE(first && dynamic_cast<TSystemMenuSubItem*>(first->Item()));
  ASSERT_NE(first->Control(), nullptr);
  TRect r = menu->Control()->GetItemRect(first->Control());
  EXPECT_EQ(r.Width(), GetSystemMetrics(SM_CXSMICON));
  HWND bar = menu->Control()->Handle();
  SaveScreenshot(form->Handle(), "menubar");
  TDibSurface shot = CaptureClient(bar);
  // The same picture drawn here on the colour beside it.
  COLORREF background = shot.Pixel(r.left - 1 >= 0 ? r.left - 1 : r.right, r.top);
  TDibSurface expected(r.Width(), r.Height());
  HBRUSH brush = CreateSolidBrush(background);
  RECT all{0, 0, r.Width(), r.Height()};
  FillRect(expected.Dc(), &all, brush);
  auto icon = static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), "NEMBRACONNECTION", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  ASSERT_NE(icon, nullptr);
  DrawIconEx(expected.Dc(), 0, 0, icon, r.Width(), r.Height(), 0, brush, DI_NORMAL);
  DestroyIcon(icon);
  DeleteObject(brush);
  GdiFlush();
  int same = 0, coloured = 0;
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x) {
      COLORREF e = expected.Pixel(x, y);
      if (SameColor(e, shot.Pixel(r.left + x, r.top + y), 8)) ++same;
      if (e != background) ++coloured;
    }
  EXPECT_GT(coloured, r.Width() * r.Height() / 4) << "the picture is mostly background";
  EXPECT_GE(same, r.Width() * r.Height() * 95 / 100);
  // Restored, the window leaves the menu bar without its icon.
  ShowWindow(child->Handle(), SW_RESTORE);
  ASSERT_TRUE(WaitUntil([&] {
    TdxBarItemLink* l = menu->ItemLinks()->Items(0);
    return l && !dynamic_cast<TSystemMenuSubItem*>(l->Item());
  }));
}
