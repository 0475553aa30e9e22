#include "Input.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "Testutil.h"
#include "Winwait.h"

namespace {

using TResult = ::testing::AssertionResult;

constexpr DWORD kMoveTimeoutMs = 2000;
constexpr DWORD kResendMs = 300;
constexpr DWORD kSequenceTimeoutMs = 30000;

TResult Sent(UINT sent, UINT wanted, const char* what) {
  if (sent == wanted) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "SendInput (" << what << ") took " << sent << " of " << wanted
                                       << " events, error " << GetLastError();
}

// Marks our own mouse events for the echo filter.
constexpr ULONG_PTR kOwnInput = 0x4E42454E;

INPUT MouseInput(DWORD flags, DWORD data = 0) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  in.mi.mouseData = data;
  in.mi.dwExtraInfo = kOwnInput;
  return in;
}

// Every cursor move makes Wine warp the X pointer, and the virtual desktop
// (another process) sends that position back as a move of its own, at times
// tens of milliseconds later, after newer moves: the cursor would jump back.
// A low-level hook of the test's thread drops every move that is not ours.
HHOOK gEchoFilter = nullptr;

LRESULT CALLBACK EchoFilter(int code, WPARAM w, LPARAM l) {
  if (code == HC_ACTION && w == WM_MOUSEMOVE && reinterpret_cast<const MSLLHOOKSTRUCT*>(l)->dwExtraInfo != kOwnInput)
    return 1;
  return CallNextHookEx(gEchoFilter, code, w, l);
}

// Installed once, on the thread that pumps while the input is sent.
void EnsureEchoFilter() {
  if (!gEchoFilter) gEchoFilter = SetWindowsHookExA(WH_MOUSE_LL, EchoFilter, GetModuleHandleA(nullptr), 0);
}

// Absolute coordinates: 0..65535 over the virtual desktop, rounded up so
// that Wine's (n * size) >> 16 lands on the pixel itself.
INPUT AbsoluteMove(POINT p) {
  int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
  int vw = GetSystemMetrics(SM_CXVIRTUALSCREEN), vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  INPUT in = MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK);
  in.mi.dx = static_cast<LONG>((static_cast<int64_t>(p.x - vx) * 65536 + vw - 1) / vw);
  in.mi.dy = static_cast<LONG>((static_cast<int64_t>(p.y - vy) * 65536 + vh - 1) / vh);
  return in;
}

DWORD DownFlag(TMouseButton b) {
  return b == mbLeft ? MOUSEEVENTF_LEFTDOWN : b == mbRight ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_MIDDLEDOWN;
}
DWORD UpFlag(TMouseButton b) {
  return b == mbLeft ? MOUSEEVENTF_LEFTUP : b == mbRight ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_MIDDLEUP;
}

bool IsExtendedKey(WORD vk) {
  switch (vk) {
    case VK_RCONTROL: case VK_RMENU: case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END:
    case VK_PRIOR: case VK_NEXT: case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
    case VK_APPS: case VK_LWIN: case VK_RWIN: case VK_DIVIDE: case VK_NUMLOCK: case VK_SNAPSHOT:
      return true;
    default:
      return false;
  }
}

INPUT KeyInput(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
  return in;
}

INPUT UnicodeInput(wchar_t c, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wScan = c;
  in.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
  return in;
}

TResult SendEvents(std::vector<INPUT> events, const char* what) {
  if (events.empty()) return ::testing::AssertionSuccess();
  UINT n = SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
  return Sent(n, static_cast<UINT>(events.size()), what);
}

bool CursorAt(POINT p) {
  POINT c;
  return GetCursorPos(&c) && c.x == p.x && c.y == p.y;
}

// On the input thread: move, then wait until the cursor rests at p (two
// reads in a row), sending the move again when an echo carried it away.
TResult MoveAndSettle(POINT p) {
  if (TResult r = SendEvents({AbsoluteMove(p)}, "move"); !r) return r;
  DWORD start = GetTickCount(), sent = start;
  int stable = 0;
  while (GetTickCount() - start < kMoveTimeoutMs) {
    Sleep(5);
    stable = CursorAt(p) ? stable + 1 : 0;
    if (stable >= 2) return ::testing::AssertionSuccess();
    if (stable == 0 && GetTickCount() - sent >= kResendMs) {
      SendEvents({AbsoluteMove(p)}, "move");
      sent = GetTickCount();
    }
  }
  POINT c{};
  GetCursorPos(&c);
  return ::testing::AssertionFailure() << "the cursor did not rest at (" << p.x << "," << p.y << ") within "
                                       << kMoveTimeoutMs << " ms; it is at (" << c.x << "," << c.y << ")";
}

// Runs the sequence on a thread of its own while this thread pumps, so that
// a modal loop entered on a button press or a move (menus, drag and drop)
// still gets the rest of the input; then waits until it was processed.
TResult RunSequence(const std::function<TResult()>& sequence) {
  EnsureEchoFilter();
  std::atomic<bool> done{false};
  TResult result = ::testing::AssertionSuccess();
  DWORD pumping = GetCurrentThreadId();
  std::thread worker([&] {
    result = sequence();
    done = true;
    PostThreadMessageA(pumping, WM_NULL, 0, 0);  // the pump may be waiting for a message
  });
  bool finished = WaitUntil([&] { return done.load(); }, kSequenceTimeoutMs);
  worker.join();
  if (!finished) return ::testing::AssertionFailure() << "input sequence did not end within " << kSequenceTimeoutMs << " ms";
  WaitInputProcessed();
  return result;
}

struct TLastClick {
  POINT at{-100000, -100000};
  DWORD tick = 0;
  TMouseButton button = mbLeft;
} gLastClick;

// Waits out the double-click time when this click would pair with the last.
void KeepClicksApart(POINT p, TMouseButton button) {
  const TLastClick& l = gLastClick;
  if (l.button != button) return;
  if (std::abs(l.at.x - p.x) > GetSystemMetrics(SM_CXDOUBLECLK) ||
      std::abs(l.at.y - p.y) > GetSystemMetrics(SM_CYDOUBLECLK))
    return;
  DWORD elapsed = GetTickCount() - l.tick, wait = GetDoubleClickTime() + 50;
  if (elapsed < wait) PumpFor(wait - elapsed);
}

void RememberClick(POINT p, TMouseButton button) { gLastClick = {p, GetTickCount(), button}; }

TResult ClickAt(HWND wnd, POINT client, TMouseButton button, int clicks) {
  if (TResult r = BringToFront(wnd); !r) return r;
  POINT p = ClientPoint(wnd, client.x, client.y);
  KeepClicksApart(p, button);
  TResult r = RunSequence([&] {
    if (TResult m = MoveAndSettle(p); !m) return m;
    std::vector<INPUT> ev;
    for (int i = 0; i < clicks; ++i) {
      ev.push_back(MouseInput(DownFlag(button)));
      ev.push_back(MouseInput(UpFlag(button)));
    }
    return SendEvents(ev, "click");
  });
  RememberClick(p, button);
  return r;
}

POINT ClientCentre(HWND wnd) {
  RECT r{};
  GetClientRect(wnd, &r);
  return {(r.right - r.left) / 2, (r.bottom - r.top) / 2};
}

// No other window above root but topmost ones and root's own popups.
bool OnTop(HWND root) {
  for (HWND w : TopWindows(true, true)) {
    if (w == root) return true;
    if (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) continue;
    HWND owner = w;
    while (owner && owner != root) owner = GetWindow(owner, GW_OWNER);
    if (!owner) return false;
  }
  return false;
}

}  // namespace

::testing::AssertionResult BringToFront(HWND wnd) {
  HWND root = GetAncestor(wnd, GA_ROOT);
  if (!root || !IsWindow(root)) return ::testing::AssertionFailure() << "no window to bring to the front";
  if (IsIconic(root)) ShowWindow(root, SW_RESTORE);
  if (GetForegroundWindow() != root || !OnTop(root)) SetForegroundWindow(root);
  // Wine raises the window a little after it reports it in the foreground.
  if (!WaitUntil([&] { return GetForegroundWindow() == root && OnTop(root); }, 2000))
    return ::testing::AssertionFailure() << DescribeWindow(root) << " did not come to the foreground and the top; "
                                         << "the foreground is " << DescribeWindow(GetForegroundWindow())
                                         << ", the windows front first " << DescribeWindows(TopWindows(true, true));
  ProcessQueuedMessages();
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult FocusWindow(HWND wnd) {
  if (TResult r = BringToFront(wnd); !r) return r;
  SetFocus(wnd);
  if (!WaitUntil([&] { return GetFocus() == wnd; }, 2000))
    return ::testing::AssertionFailure() << DescribeWindow(wnd) << " did not take the focus; it is at "
                                         << DescribeWindow(GetFocus());
  return ::testing::AssertionSuccess();
}

POINT ClientPoint(HWND wnd, int x, int y) {
  POINT p{x, y};
  ClientToScreen(wnd, &p);
  return p;
}

POINT CentreOf(HWND wnd) {
  POINT c = ClientCentre(wnd);
  return ClientPoint(wnd, c.x, c.y);
}

::testing::AssertionResult MoveTo(POINT screen) {
  return RunSequence([&] { return MoveAndSettle(screen); });
}

::testing::AssertionResult MouseDown(TMouseButton button) {
  return RunSequence([&] { return SendEvents({MouseInput(DownFlag(button))}, "button down"); });
}

::testing::AssertionResult MouseUp(TMouseButton button) {
  return RunSequence([&] { return SendEvents({MouseInput(UpFlag(button))}, "button up"); });
}

::testing::AssertionResult Click(HWND wnd, POINT client, TMouseButton button) {
  return ClickAt(wnd, client, button, 1);
}
::testing::AssertionResult Click(HWND wnd, TMouseButton button) { return ClickAt(wnd, ClientCentre(wnd), button, 1); }
::testing::AssertionResult RightClick(HWND wnd, POINT client) { return ClickAt(wnd, client, mbRight, 1); }
::testing::AssertionResult RightClick(HWND wnd) { return ClickAt(wnd, ClientCentre(wnd), mbRight, 1); }
::testing::AssertionResult DoubleClick(HWND wnd, POINT client) { return ClickAt(wnd, client, mbLeft, 2); }
::testing::AssertionResult DoubleClick(HWND wnd) { return ClickAt(wnd, ClientCentre(wnd), mbLeft, 2); }

::testing::AssertionResult Drag(HWND wnd, POINT from, POINT to, int steps, TMouseButton button) {
  if (TResult r = BringToFront(wnd); !r) return r;
  if (steps < 1) steps = 1;
  POINT a = ClientPoint(wnd, from.x, from.y), b = ClientPoint(wnd, to.x, to.y);
  KeepClicksApart(a, button);
  TResult r = RunSequence([&] {
    if (TResult m = MoveAndSettle(a); !m) return m;
    if (TResult d = SendEvents({MouseInput(DownFlag(button))}, "button down"); !d) return d;
    TResult moved = ::testing::AssertionSuccess();
    for (int i = 1; i <= steps && moved; ++i) {
      POINT p{a.x + (b.x - a.x) * i / steps, a.y + (b.y - a.y) * i / steps};
      moved = MoveAndSettle(p);
    }
    // The button comes up even when a move failed, so nothing stays pressed.
    TResult up = SendEvents({MouseInput(UpFlag(button))}, "button up");
    return !moved ? moved : up;
  });
  gLastClick = {};
  return r;
}

::testing::AssertionResult Gesture(HWND wnd, const std::vector<TGestureStep>& steps) {
  if (TResult r = BringToFront(wnd); !r) return r;
  TResult r = RunSequence([&] {
    TResult result = ::testing::AssertionSuccess();
    std::vector<TMouseButton> held;
    for (const TGestureStep& s : steps) {
      switch (s.Kind) {
        case TGestureStep::Move:
          result = MoveAndSettle(ClientPoint(wnd, s.At.x, s.At.y));
          break;
        case TGestureStep::ButtonDown:
          result = SendEvents({MouseInput(DownFlag(s.Button))}, "button down");
          held.push_back(s.Button);
          break;
        case TGestureStep::ButtonUp:
          result = SendEvents({MouseInput(UpFlag(s.Button))}, "button up");
          held.erase(std::remove(held.begin(), held.end(), s.Button), held.end());
          break;
        case TGestureStep::KeyDown:
        case TGestureStep::KeyUp:
          result = SendEvents({KeyInput(s.Key, s.Kind == TGestureStep::KeyUp)}, "key");
          Sleep(60);
          break;
      }
      if (!result) break;
    }
    for (TMouseButton b : held) SendEvents({MouseInput(UpFlag(b))}, "button up");
    return result;
  });
  gLastClick = {};
  return r;
}

::testing::AssertionResult TypeText(const String& text) {
  std::wstring wide = StringToWide(text);
  std::vector<INPUT> ev;
  for (wchar_t c : wide) {
    SHORT scan = c == L'\n' ? SHORT(VK_RETURN) : VkKeyScanW(c);
    if (scan == -1 || (scan & 0xFF) == 0xFF) {
      ev.push_back(UnicodeInput(c, false));
      ev.push_back(UnicodeInput(c, true));
      continue;
    }
    WORD vk = static_cast<WORD>(scan & 0xFF);
    int shifts = (scan >> 8) & 7;
    std::vector<WORD> mods;
    if (shifts & 1) mods.push_back(VK_SHIFT);
    if (shifts & 2) mods.push_back(VK_CONTROL);
    if (shifts & 4) mods.push_back(VK_MENU);
    for (WORD m : mods) ev.push_back(KeyInput(m, false));
    ev.push_back(KeyInput(vk, false));
    ev.push_back(KeyInput(vk, true));
    for (auto it = mods.rbegin(); it != mods.rend(); ++it) ev.push_back(KeyInput(*it, true));
  }
  return RunSequence([&] { return SendEvents(ev, "typing"); });
}

::testing::AssertionResult TypeInto(HWND wnd, const String& text) {
  if (TResult r = FocusWindow(wnd); !r) return r;
  return TypeText(text);
}

::testing::AssertionResult KeyChord(std::initializer_list<WORD> keys) {
  std::vector<INPUT> ev;
  for (WORD k : keys) ev.push_back(KeyInput(k, false));
  for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) ev.push_back(KeyInput(*it, true));
  return RunSequence([&] { return SendEvents(ev, "keys"); });
}

void WaitInputProcessed(DWORD timeoutMs) {
  int quiet = 0;
  uint64_t deadline = GetTickCount64() + timeoutMs;
  do {
    ProcessQueuedMessages();
    quiet = HIWORD(GetQueueStatus(QS_INPUT)) == 0 ? quiet + 1 : 0;
    if (quiet < 2) PumpFor(5);
  } while (quiet < 2 && GetTickCount64() < deadline);
}
