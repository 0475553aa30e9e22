#include "Winwait.h"

#include <algorithm>

#include "Testutil.h"
#include "classlib/Stdctrls.h"

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  uint64_t deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    uint64_t now = GetTickCount64();
    DWORD slice = now >= deadline ? 0 : static_cast<DWORD>(std::min<uint64_t>(10, deadline - now));
    if (WaitFor(done, slice)) return true;
    if (GetTickCount64() >= deadline) return false;
  }
}

String WindowText(HWND wnd) {
  int n = GetWindowTextLengthA(wnd);
  String s(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
  int got = GetWindowTextA(wnd, s.data(), static_cast<int>(s.size()));
  s.resize(static_cast<size_t>(got > 0 ? got : 0));
  return s;
}

String WindowClass(HWND wnd) {
  char buf[256];
  int n = GetClassNameA(wnd, buf, sizeof buf);
  return String(buf, static_cast<size_t>(n > 0 ? n : 0));
}

String WindowKind(HWND wnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  if (pid == GetCurrentProcessId()) {
    auto* w = dynamic_cast<TWinControl*>(TObjectWindowClass::ObjectOf(wnd));
    if (w && w->HandleAllocated() && w->Handle() == wnd) {
      if (dynamic_cast<TCustomLabel*>(w)) return "Static";
      for (const char* kind : {"Button", "Edit", "ComboBox", "ListBox", "Static"}) {
        WNDCLASSA wc{};
        if (GetClassInfoA(nullptr, kind, &wc) && wc.lpfnWndProc == w->DefWndProc()) return kind;
      }
    }
  }
  return WindowClass(wnd);
}

String DescribeWindow(HWND wnd) {
  if (!wnd) return "(no window)";
  if (!IsWindow(wnd)) return "(destroyed window)";
  return "[" + WindowText(wnd) + "] (" + WindowClass(wnd) + ")";
}

String StripAmpersands(const String& s) {
  String out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&') {
      if (i + 1 < s.size() && s[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += s[i];
  }
  return out;
}

bool SameCaption(const String& text, const String& wanted) {
  return text == wanted || StripAmpersands(text) == StripAmpersands(wanted);
}

namespace {
struct TEnumTop {
  std::vector<HWND> found;
  bool visibleOnly;
  bool anyProcess;
};

BOOL CALLBACK CollectTop(HWND wnd, LPARAM p) {
  auto* e = reinterpret_cast<TEnumTop*>(p);
  if (e->visibleOnly && !IsWindowVisible(wnd)) return TRUE;
  if (!e->anyProcess) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid != GetCurrentProcessId()) return TRUE;
  }
  e->found.push_back(wnd);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND wnd, LPARAM p) {
  auto* e = reinterpret_cast<TEnumTop*>(p);
  if (!e->visibleOnly || IsWindowVisible(wnd)) e->found.push_back(wnd);
  return TRUE;
}
}  // namespace

std::vector<HWND> TopWindows(bool visibleOnly, bool anyProcess) {
  TEnumTop e{{}, visibleOnly, anyProcess};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&e));
  return e.found;
}

std::vector<HWND> ThreadWindows(DWORD threadId, bool visibleOnly) {
  TEnumTop e{{}, visibleOnly, true};
  EnumThreadWindows(threadId, CollectTop, reinterpret_cast<LPARAM>(&e));
  return e.found;
}

String DescribeWindows(const std::vector<HWND>& wnds) {
  if (wnds.empty()) return "none";
  String s;
  for (HWND w : wnds) s += (s.empty() ? "" : ", ") + DescribeWindow(w);
  return s;
}

HWND FindTopWindow(const String& caption, const String& className, bool anyProcess) {
  for (HWND w : TopWindows(true, anyProcess)) {
    if (!className.empty() && WindowClass(w) != className) continue;
    if (!caption.empty() && !SameCaption(WindowText(w), caption)) continue;
    return w;
  }
  return nullptr;
}

HWND WaitForTopWindow(const String& caption, const String& className, DWORD timeoutMs, bool anyProcess) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindTopWindow(caption, className, anyProcess)) != nullptr; }, timeoutMs);
  if (!found)
    ADD_FAILURE() << "no window [" << caption << "]" << (className.empty() ? "" : " (" + className + ")")
                  << " within " << timeoutMs << " ms; visible windows: " << DescribeWindows(TopWindows(true, anyProcess));
  return found;
}

std::vector<HWND> ChildWindows(HWND parent, bool visibleOnly) {
  TEnumTop e{{}, visibleOnly, true};
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&e));
  return e.found;
}

HWND FindChild(HWND parent, int id) {
  for (HWND w : ChildWindows(parent))
    if (GetDlgCtrlID(w) == id) return w;
  return nullptr;
}

HWND FindChildByText(HWND parent, const String& text, const String& className) {
  for (HWND w : ChildWindows(parent)) {
    if (!className.empty() && WindowKind(w) != className) continue;
    if (SameCaption(WindowText(w), text)) return w;
  }
  return nullptr;
}

HWND FindChildByClass(HWND parent, const String& className, int index) {
  for (HWND w : ChildWindows(parent))
    if (WindowKind(w) == className && index-- == 0) return w;
  return nullptr;
}

namespace {
bool IsLabelLike(HWND w) {
  String c = WindowKind(w);
  if (c == "Static") return true;
  return c == "Button" && (GetWindowLongA(w, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}
}  // namespace

HWND ChildAfterLabel(HWND parent, const String& label) {
  for (HWND w : ChildWindows(parent)) {
    if (!IsLabelLike(w) || !SameCaption(WindowText(w), label)) continue;
    for (HWND n = GetWindow(w, GW_HWNDNEXT); n; n = GetWindow(n, GW_HWNDNEXT))
      if (!IsLabelLike(n)) return n;
  }
  return nullptr;
}

std::vector<String> ChildTexts(HWND parent, const String& className) {
  std::vector<String> texts;
  for (HWND w : ChildWindows(parent, true))
    if (WindowKind(w) == className) texts.push_back(WindowText(w));
  return texts;
}

namespace {
::testing::AssertionResult WaitState(HWND wnd, DWORD timeoutMs, const char* what, bool (*holds)(HWND)) {
  if (WaitUntil([&] { return holds(wnd); }, timeoutMs)) return ::testing::AssertionSuccess();
  HWND fg = GetForegroundWindow();
  return ::testing::AssertionFailure() << DescribeWindow(wnd) << " did not become " << what << " within "
                                       << timeoutMs << " ms (visible " << (IsWindowVisible(wnd) ? 1 : 0)
                                       << ", enabled " << (IsWindowEnabled(wnd) ? 1 : 0) << "; foreground "
                                       << DescribeWindow(fg) << ")";
}
}  // namespace

::testing::AssertionResult WaitVisible(HWND wnd, DWORD timeoutMs) {
  return WaitState(wnd, timeoutMs, "visible", [](HWND w) { return IsWindowVisible(w) != 0; });
}

::testing::AssertionResult WaitEnabled(HWND wnd, DWORD timeoutMs) {
  return WaitState(wnd, timeoutMs, "enabled", [](HWND w) { return IsWindowEnabled(w) != 0; });
}

::testing::AssertionResult WaitForeground(HWND wnd, DWORD timeoutMs) {
  return WaitState(wnd, timeoutMs, "the foreground window",
                   [](HWND w) { return GetForegroundWindow() == GetAncestor(w, GA_ROOT) && w; });
}

::testing::AssertionResult WaitGone(HWND wnd, DWORD timeoutMs) {
  return WaitState(wnd, timeoutMs, "hidden or destroyed", [](HWND w) { return !IsWindow(w) || !IsWindowVisible(w); });
}
