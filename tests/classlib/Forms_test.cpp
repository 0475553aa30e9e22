#include <gtest/gtest.h>

#include "classlib/Extctrls.h"
#include "support/Testutil.h"

namespace {
class TWindowOwner : public TObject {
 public:
  TWindowOwner() { wnd = AllocateHWnd({this, &TWindowOwner::WndProc}); }
  ~TWindowOwner() override { DeallocateHWnd(wnd); }
  void WndProc(TMessage& m) {
    if (m.Msg == WM_USER + 7) {
      received.push_back(static_cast<int>(m.WParam));
      m.Result = 99;
      return;
    }
    if (m.Msg == WM_USER + 8) throw Exception("boom in handler");
    if (m.Msg == WM_USER + 9) {
      Free();  // destroys the window from inside its own procedure
      return;
    }
    m.Result = DefWindowProcA(wnd, m.Msg, m.WParam, m.LParam);
  }
  HWND wnd;
  std::vector<int> received;
};
}  // namespace

TEST(HiddenWindow, PostedAndSentMessagesReachTheMethod) {
  TWindowOwner o;
  ASSERT_NE(o.wnd, nullptr);
  PostMessageA(o.wnd, WM_USER + 7, 1, 0);
  PostMessageA(o.wnd, WM_USER + 7, 2, 0);
  EXPECT_TRUE(o.received.empty());  // posted: only from the message loop
  EXPECT_TRUE(WaitFor([&] { return o.received.size() == 2; }));
  EXPECT_EQ(SendMessageA(o.wnd, WM_USER + 7, 3, 0), 99);
  EXPECT_EQ(o.received, (std::vector<int>{1, 2, 3}));
}

TEST(HiddenWindow, ExceptionGoesToTheApplicationHook) {
  TWindowOwner o;
  std::vector<String> seen;
  Application->OnException = [&](TObject*, Exception& e) { seen.push_back(e.Message); };
  PostMessageA(o.wnd, WM_USER + 8, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !seen.empty(); }));
  EXPECT_EQ(seen, std::vector<String>{"boom in handler"});
}

TEST(HiddenWindow, OwnerFreedInsideItsHandler) {
  auto* o = new TWindowOwner;
  HWND w = o->wnd;
  PostMessageA(w, WM_USER + 9, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(w); }));
}

namespace {
struct TCountingObject : TWindowObject {
  std::vector<int> received;
  void WindowMessage(HWND wnd, TMessage& m) override {
    if (m.Msg == WM_USER + 7)
      received.push_back(static_cast<int>(m.WParam));
    else
      DefaultProc(wnd, m);
  }
};
}  // namespace

// A hidden window for an object: the object hears its messages and stays its
// owner's when the window goes.
TEST(HiddenWindow, ObjectWindowLeavesTheObjectToItsOwner) {
  TCountingObject obj;
  HWND w = AllocateHWnd(&obj);
  ASSERT_NE(w, nullptr);
  PostMessageA(w, WM_USER + 7, 1, 0);
  EXPECT_TRUE(WaitFor([&] { return !obj.received.empty(); }));
  DeallocateHWnd(w);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(obj.received, std::vector<int>{1});
}

// A class unregisters only once no window of it is left, and registers again
// for the next window.
TEST(HiddenWindow, ClassUnregistersWhenItsWindowsAreGone) {
  TObjectWindowClass cls("NembraUnregisterTest");
  TCountingObject obj;
  auto make = [&] { return cls.Create(&obj, 0, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr); };
  WNDCLASSA wc;
  HWND a = make();
  ASSERT_NE(a, nullptr);
  cls.Unregister();
  SendMessageA(a, WM_USER + 7, 1, 0);
  DestroyWindow(a);
  cls.Unregister();
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), "NembraUnregisterTest", &wc));
  HWND b = make();
  ASSERT_NE(b, nullptr);
  SendMessageA(b, WM_USER + 7, 2, 0);
  DestroyWindow(b);
  cls.Unregister();
  EXPECT_EQ(obj.received, (std::vector<int>{1, 2}));
}

// A class object that goes before its windows (statics at the end of the
// program) leaves them to the default procedure, never to a freed object.
TEST(HiddenWindow, WindowOutlivingItsClassObjectGetsTheDefaultProcedure) {
  TCountingObject obj;
  HWND w;
  {
    TObjectWindowClass cls("NembraShortLivedTest");
    w = cls.Create(&obj, 0, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    SendMessageA(w, WM_USER + 7, 1, 0);
  }
  EXPECT_EQ(TObjectWindowClass::ObjectOf(w), nullptr);
  SendMessageA(w, WM_USER + 7, 2, 0);
  EXPECT_TRUE(DestroyWindow(w));
  EXPECT_EQ(obj.received, std::vector<int>{1});
  UnregisterClassA("NembraShortLivedTest", GetModuleHandleA(nullptr));
}

TEST(Application, NestedPumpKeepsQuitForTheOuterLoop) {
  PostQuitMessage(3);
  Application->ProcessMessages();
  EXPECT_TRUE(Application->Terminated());
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
  Application->ResetTerminated();
}

// A pump for a range takes only those messages; a mode's own look sees
// each message first, and what it took is not dispatched.
TEST(Application, APumpsRangeAndItsModesLook) {
  TCountingObject obj;
  HWND w = AllocateHWnd(&obj);
  ASSERT_NE(w, nullptr);
  PostMessageA(w, WM_USER + 6, 0, 0);
  for (int k = 1; k <= 3; ++k) PostMessageA(w, WM_USER + 7, k, 0);
  TPumpFilter range;
  range.First = range.Last = WM_USER + 7;
  std::vector<int> taken;
  range.Take = [&](MSG& msg) {
    taken.push_back(static_cast<int>(msg.wParam));
    return msg.wParam == 2;
  };
  EXPECT_EQ(PumpUntil(nullptr, kPumpQueued, nullptr, range), prTimeout);
  EXPECT_EQ(taken, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(obj.received, (std::vector<int>{1, 3}));
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, w, WM_USER + 6, WM_USER + 6, PM_REMOVE));
  DeallocateHWnd(w);
}

TEST(Application, ExceptionHookAndErrorBox) {
  TScopedDialogs d;
  Application->OnException = nullptr;
  Application->Title = "Nembra";
  try {
    throw Exception("Disk full");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  try {
    Abort();
  } catch (...) {
    Application->HandleException(nullptr);  // silent
  }
  ASSERT_EQ(d.Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(d.Dialogs.Boxes[0].text, "Disk full.");
  EXPECT_EQ(d.Dialogs.Boxes[0].caption, "Nembra");
  EXPECT_EQ(d.Dialogs.Boxes[0].flags, UINT(MB_OK | MB_ICONSTOP));
}

TEST(Timer, FiresWhileEnabledAndStops) {
  TTimer t(nullptr);
  int ticks = 0;
  t.SetInterval(20);
  t.SetOnTimer([&](TObject*) { ++ticks; });
  EXPECT_TRUE(WaitFor([&] { return ticks >= 3; }, 5000));
  t.SetEnabled(false);
  int at = ticks;
  PumpFor(150);
  EXPECT_EQ(ticks, at);
}
