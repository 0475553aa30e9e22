#include "Screenshot.h"

#include <cstdio>
#include <cstdlib>
#include <set>

#include "Png.h"
#include "Winwait.h"

namespace {

std::set<String> gUsedNames;  // of the running test
std::set<HWND> gShot;         // windows shot during the running test
HHOOK gHook = nullptr;

String Sanitized(const String& s) {
  String out;
  for (char c : s) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    out += plain ? c : '-';
  }
  return out;
}

String TestBaseName() {
  const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!t) return "outside-tests";
  return Sanitized(t->test_suite_name()) + "_" + Sanitized(t->name());
}

// The caption without asking the window (it may be half destroyed).
String QuietCaption(HWND wnd) {
  wchar_t buf[256];
  int n = InternalGetWindowText(wnd, buf, 256);
  String s;
  if (n > 0 && TryWideToString(buf, n, s)) return s;
  return "";
}

bool Shootable(HWND wnd) {
  if (!IsWindowVisible(wnd) || gShot.count(wnd)) return false;
  if (GetAncestor(wnd, GA_PARENT) != GetDesktopWindow()) return false;
  String cls = WindowClass(wnd);
  // A bar's shadow strips show in the shots of what they shade.
  if (cls == "tooltips_class32" || cls == "IME" || cls == "TdxBarShadowPart") return false;
  RECT r{};
  GetWindowRect(wnd, &r);
  return r.right > r.left && r.bottom > r.top;
}

// Shoots without painting or sending anything to the window.
void AutoShot(HWND wnd) {
  gShot.insert(wnd);
  String caption = QuietCaption(wnd);
  String path = ScreenshotPath(caption.empty() ? WindowClass(wnd) : caption);
  RECT r{};
  GetWindowRect(wnd, &r);
  // A prefix whose drives do not reach the folder loses only these shots.
  static bool warned = false;
  if (!SavePng(CaptureScreen(r), path) && !warned) {
    warned = true;
    fprintf(stderr, "screenshots: could not write %s (NEMBRA_SCREENSHOTS names the folder)\n", path.c_str());
  }
}

LRESULT CALLBACK HideHook(int code, WPARAM w, LPARAM l) {
  if (code == HC_ACTION) {
    const CWPSTRUCT* m = reinterpret_cast<const CWPSTRUCT*>(l);
    if (m->message == WM_WINDOWPOSCHANGING) {
      const WINDOWPOS* wp = reinterpret_cast<const WINDOWPOS*>(m->lParam);
      if ((wp->flags & SWP_HIDEWINDOW) && Shootable(m->hwnd)) AutoShot(m->hwnd);
    }
  }
  return CallNextHookEx(gHook, code, w, l);
}

class TScreenshotListener : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    gUsedNames.clear();
    gShot.clear();
    gHook = SetWindowsHookExA(WH_CALLWNDPROC, HideHook, nullptr, GetCurrentThreadId());
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    if (gHook) UnhookWindowsHookEx(gHook);
    gHook = nullptr;
    for (HWND w : TopWindows(true, false))
      if (Shootable(w)) AutoShot(w);
  }
};

}  // namespace

String ScreenshotFolder() {
  String dir;
  if (const char* s = std::getenv("NEMBRA_SCREENSHOTS"); s && *s) {
    dir = s;
  } else if (const char* b = std::getenv("NEMBRA_BUILD"); b && *b) {
    dir = String("Z:") + b + "/screenshots";
  } else {
    dir = "screenshots";
  }
  for (char& c : dir)
    if (c == '/') c = '\\';
  dir = IncludeTrailingBackslash(dir);
  ForceDirectories(dir);
  return dir;
}

String ScreenshotPath(const String& suffix) {
  String base = TestBaseName() + (suffix.empty() ? "" : "_" + Sanitized(suffix));
  String name = base;
  for (int n = 2; gUsedNames.count(name); ++n) name = base + "_" + IntToStr(n);
  gUsedNames.insert(name);
  return ScreenshotFolder() + name + ".png";
}

String SaveScreenshot(HWND wnd, const String& suffix) {
  if (!wnd || !IsWindow(wnd)) {
    ADD_FAILURE() << "screenshot of " << DescribeWindow(wnd);
    return "";
  }
  gShot.insert(wnd);
  String path = ScreenshotPath(suffix);
  if (!SavePng(CaptureWindow(wnd), path)) {
    ADD_FAILURE() << "could not write the screenshot " << path;
    return "";
  }
  return path;
}

String SaveDesktopScreenshot(const String& suffix) {
  String path = ScreenshotPath(suffix.empty() ? "desktop" : suffix);
  if (!SavePng(CaptureDesktop(), path)) {
    ADD_FAILURE() << "could not write the screenshot " << path;
    return "";
  }
  return path;
}

::testing::TestEventListener* NewScreenshotListener() { return new TScreenshotListener; }
