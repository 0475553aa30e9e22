#include <gtest/gtest.h>

#include <vector>

#include "support/Benchwin.h"
#include "support/Input.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {
int gHookMouse = 0, gHookKeys = 0;
LRESULT CALLBACK MouseHook(int code, WPARAM w, LPARAM l) {
  if (code == HC_ACTION) ++gHookMouse;
  return CallNextHookEx(nullptr, code, w, l);
}
LRESULT CALLBACK KeyHook(int code, WPARAM w, LPARAM l) {
  if (code == HC_ACTION) ++gHookKeys;
  return CallNextHookEx(nullptr, code, w, l);
}

// Index of wnd among the visible top-level windows, front first.
int ZOrderOf(HWND wnd) {
  std::vector<HWND> all = TopWindows();
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i] == wnd) return static_cast<int>(i);
  return -1;
}
}  // namespace

TEST(Desktop, ActivationAndStackingFollowTheInput) {
  EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), 1280);
  EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN), 1024);
  TPlainWindow a("Bench A", 100, 100, 400, 300), b("Bench B", 300, 200, 400, 300);
  a.Show();
  b.Show();
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(BringToFront(a.Handle()));
    EXPECT_EQ(GetActiveWindow(), a.Handle());
    EXPECT_LT(ZOrderOf(a.Handle()), ZOrderOf(b.Handle()));
    // B's part that A does not cover: a click there activates and raises B.
    ASSERT_TRUE(Click(b.Handle(), POINT{350, 250}));
    EXPECT_EQ(GetForegroundWindow(), b.Handle());
    EXPECT_EQ(GetActiveWindow(), b.Handle());
    EXPECT_LT(ZOrderOf(b.Handle()), ZOrderOf(a.Handle()));
  }
}

TEST(Input, TypingLandsInTheEditAndAClickReachesItsButton) {
  int clicked[2] = {0, 0};
  TPlainWindow w("Bench input", 150, 150, 420, 200, [&](HWND, UINT m, WPARAM wp, LPARAM, LRESULT&) {
    if (m == WM_COMMAND && HIWORD(wp) == BN_CLICKED && (LOWORD(wp) == 101 || LOWORD(wp) == 102))
      ++clicked[LOWORD(wp) - 101];
    return false;
  });
  HWND edit = w.AddControl("EDIT", "", WS_BORDER | ES_AUTOHSCROLL, 10, 10, 380, 24, 100);
  HWND one = w.AddControl("BUTTON", "One", BS_PUSHBUTTON, 10, 50, 90, 28, 101);
  HWND two = w.AddControl("BUTTON", "Two", BS_PUSHBUTTON, 110, 50, 90, 28, 102);
  w.Show();
  HHOOK mh = SetWindowsHookExA(WH_MOUSE, MouseHook, nullptr, GetCurrentThreadId());
  HHOOK kh = SetWindowsHookExA(WH_KEYBOARD, KeyHook, nullptr, GetCurrentThreadId());
  gHookMouse = gHookKeys = 0;

  ASSERT_TRUE(Click(edit));
  EXPECT_EQ(GetFocus(), edit);
  // Capitals and symbols need Shift; e-acute has no key here (Unicode).
  const String text = "Hello, World! (1+1=2) ~_\"x\" \xE9";
  ASSERT_TRUE(TypeText(text));
  EXPECT_EQ(WindowText(edit), text);
  ASSERT_TRUE(Click(two));
  ASSERT_TRUE(Click(two));
  EXPECT_EQ(clicked[0], 0);
  EXPECT_EQ(clicked[1], 2);
  ASSERT_TRUE(TypeInto(edit, "!"));
  EXPECT_EQ(WindowText(edit), text + "!");
  // Real input passes the thread's hooks (posted messages would not).
  EXPECT_GT(gHookMouse, 0);
  EXPECT_GT(gHookKeys, 0);
  UnhookWindowsHookEx(mh);
  UnhookWindowsHookEx(kh);
  (void)one;
}

TEST(Input, KeyChordsArriveWithTheirModifiers) {
  struct TKey {
    UINT msg;
    WPARAM vk;
    bool ctrl, shift, alt;
  };
  std::vector<TKey> keys;
  int contextMenus = 0;
  TPlainWindow w("Bench keys", 200, 200, 300, 200, [&](HWND, UINT m, WPARAM wp, LPARAM, LRESULT& r) {
    auto down = [](int vk) { return (GetKeyState(vk) & 0x8000) != 0; };
    switch (m) {
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        if (wp != VK_CONTROL && wp != VK_SHIFT && wp != VK_MENU)
          keys.push_back({m, wp, down(VK_CONTROL), down(VK_SHIFT), down(VK_MENU)});
        [[fallthrough]];
      case WM_SYSKEYUP:
      case WM_SYSCHAR:
        // No menu mode for Alt and F10.
        if (m != WM_KEYDOWN) {
          r = 0;
          return true;
        }
        return false;
      case WM_CONTEXTMENU:
        ++contextMenus;
        return true;
    }
    return false;
  });
  w.Show();
  ASSERT_TRUE(FocusWindow(w.Handle()));
  ASSERT_TRUE(KeyChord({VK_CONTROL, VK_SHIFT, VK_F10}));
  ASSERT_TRUE(KeyChord({VK_MENU, 'F'}));
  ASSERT_TRUE(KeyChord({VK_APPS}));
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].vk, WPARAM(VK_F10));
  EXPECT_TRUE(keys[0].ctrl && keys[0].shift && !keys[0].alt);
  EXPECT_EQ(keys[1].msg, UINT(WM_SYSKEYDOWN));
  EXPECT_EQ(keys[1].vk, WPARAM('F'));
  EXPECT_TRUE(keys[1].alt && !keys[1].ctrl);
  EXPECT_EQ(keys[2].vk, WPARAM(VK_APPS));
  EXPECT_GE(contextMenus, 1);
}

TEST(Input, ClicksStayApartAndDoubleClicksPair) {
  std::vector<UINT> seen;
  TPlainWindow w("Bench clicks", 150, 150, 300, 200, [&](HWND, UINT m, WPARAM, LPARAM, LRESULT&) {
    if (m == WM_LBUTTONDOWN || m == WM_LBUTTONDBLCLK || m == WM_RBUTTONUP || m == WM_CONTEXTMENU) seen.push_back(m);
    return false;
  });
  w.Show();
  ASSERT_TRUE(Click(w.Handle(), POINT{50, 50}));
  ASSERT_TRUE(Click(w.Handle(), POINT{50, 50}));
  EXPECT_EQ(seen, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDOWN}));
  seen.clear();
  ASSERT_TRUE(DoubleClick(w.Handle(), POINT{60, 60}));
  EXPECT_EQ(seen, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}));
  seen.clear();
  ASSERT_TRUE(RightClick(w.Handle(), POINT{70, 70}));
  EXPECT_EQ(seen, (std::vector<UINT>{WM_RBUTTONUP, WM_CONTEXTMENU}));
}

TEST(Input, DragIsSeenByTheWindowThatCapturesTheMouse) {
  std::vector<POINT> moves;
  POINT down{-1, -1}, up{-1, -1};
  TPlainWindow w("Bench drag", 100, 100, 400, 300, [&](HWND h, UINT m, WPARAM, LPARAM l, LRESULT&) {
    POINT p{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
    if (m == WM_LBUTTONDOWN) {
      down = p;
      SetCapture(h);
    } else if (m == WM_MOUSEMOVE && GetCapture() == h) {
      moves.push_back(p);
    } else if (m == WM_LBUTTONUP && GetCapture() == h) {
      up = p;
      ReleaseCapture();
    }
    return false;
  });
  w.Show();
  // Ends outside the window: only the capture brings those moves.
  ASSERT_TRUE(Drag(w.Handle(), POINT{20, 30}, POINT{520, 130}, 10));
  EXPECT_EQ(down.x, 20);
  EXPECT_EQ(down.y, 30);
  EXPECT_EQ(up.x, 520);
  EXPECT_EQ(up.y, 130);
  ASSERT_GE(moves.size(), 10u);
  EXPECT_EQ(moves.back().x, 520);
  for (size_t i = 1; i < moves.size(); ++i) EXPECT_GE(moves[i].x, moves[i - 1].x) << "move " << i << " went back";
  EXPECT_EQ(GetCapture(), nullptr);
}
