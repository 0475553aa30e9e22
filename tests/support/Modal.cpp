#include "Modal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "Testutil.h"
#include "Winwait.h"

namespace {
constexpr UINT kTickMs = 20;
// After input to another process, the next step waits this long for it to
// take effect (a thread of our own is handled before the next tick).
constexpr uint64_t kSettleMs = 150;
constexpr UINT kSendTimeoutMs = 2000;

std::map<UINT_PTR, TModalDriver*>& Timers() {
  static std::map<UINT_PTR, TModalDriver*> timers;
  return timers;
}

bool Usable(HWND w) { return w && IsWindow(w) && IsWindowVisible(w) && IsWindowEnabled(w); }

String Quoted(const String& s) { return "\"" + s + "\""; }
}  // namespace

String TModalDriver::TSeen::Text() const {
  String s;
  for (const String& t : Texts) s += (s.empty() ? "" : "\n") + t;
  return s;
}

TModalDriver::TModalDriver(DWORD stepTimeoutMs, TScope scope)
    : stepTimeoutMs_(stepTimeoutMs), scope_(scope), threadId_(GetCurrentThreadId()) {
  for (HWND w : Candidates()) armed_.insert(w);
  if (scope_ == msThisThread) {
    timer_ = SetTimer(nullptr, 0, kTickMs, TimerProc);
    Timers()[timer_] = this;
  } else {
    helper_ = std::thread([this] {
      while (!stop_) {
        Tick();
        Sleep(kTickMs);
      }
    });
  }
}

TModalDriver::~TModalDriver() {
  if (timer_) {
    KillTimer(nullptr, timer_);
    Timers().erase(timer_);
  }
  stop_ = true;
  if (helper_.joinable()) helper_.join();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!failed_ && next_ < steps_.size()) {
    Fail("the script did not end: step " + IntToStr(static_cast<int>(next_ + 1)) + " of " +
         IntToStr(static_cast<int>(steps_.size())) + " (" + steps_[next_].what + ") had not run");
    DismissNew();
  }
  Report();
}

void CALLBACK TModalDriver::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = Timers().find(id);
  if (it != Timers().end()) it->second->Tick();
}

std::vector<HWND> TModalDriver::Candidates() const {
  return scope_ == msThisThread ? ThreadWindows(threadId_) : TopWindows(true, true);
}

TModalDriver& TModalDriver::Add(const String& what, bool acts, std::function<bool(TModalDriver&, String&)> run) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  steps_.push_back({what, std::move(run), acts});
  return *this;
}

void TModalDriver::Tick() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  // A step's own SendMessage may dispatch this timer again.
  if (busy_) return;
  busy_ = true;
  if (failed_) {
    DismissNew();
  } else if (GetTickCount64() >= settleUntil_) {
    while (next_ < steps_.size()) {
      TStep& s = steps_[next_];
      if (!s.started) {
        s.started = true;
        s.start = GetTickCount64();
      }
      String why;
      if (s.run(*this, why)) {
        ++next_;
        Wake();
        if (s.acts) {
          if (scope_ == msAnyProcess) settleUntil_ = GetTickCount64() + kSettleMs;
          break;
        }
        continue;
      }
      if (GetTickCount64() - s.start >= stepTimeoutMs_) {
        Fail("step " + IntToStr(static_cast<int>(next_ + 1)) + " of " + IntToStr(static_cast<int>(steps_.size())) +
             " (" + s.what + ") timed out after " + IntToStr(static_cast<int>(stepTimeoutMs_)) + " ms: " + why);
        DismissNew();
      }
      break;
    }
  }
  busy_ = false;
}

void TModalDriver::Fail(const String& error) {
  failed_ = true;
  error_ = error;
  if (scope_ == msThisThread) Report();
  Wake();
}

void TModalDriver::Wake() {
  // The test's pump waits for messages; a helper thread's progress sends none.
  if (GetCurrentThreadId() != threadId_) PostThreadMessageA(threadId_, WM_NULL, 0, 0);
}

void TModalDriver::Report() {
  if (!failed_ || reported_ || GetCurrentThreadId() != threadId_) return;
  reported_ = true;
  ADD_FAILURE() << "modal driver: " << error_;
}

void TModalDriver::DismissNew() {
  for (HWND w : Candidates()) {
    if (armed_.count(w)) continue;
    bool dialog = WindowClass(w) == "#32770";
    if (dialog && GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId())
      EndDialog(w, IDCANCEL);
    else if (dialog)
      PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    else
      PostMessageA(w, WM_CLOSE, 0, 0);
  }
}

std::vector<TModalDriver::TSeen> TModalDriver::Seen() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return seen_;
}

bool TModalDriver::Done() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return !failed_ && next_ == steps_.size();
}

bool TModalDriver::Failed() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return failed_;
}

String TModalDriver::Error() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return error_;
}

bool TModalDriver::Finish(DWORD timeoutMs) {
  WaitUntil([&] { return Done() || Failed(); }, timeoutMs);
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!failed_ && next_ < steps_.size()) {
    Fail("the script did not end within " + IntToStr(static_cast<int>(timeoutMs)) + " ms: step " +
         IntToStr(static_cast<int>(next_ + 1)) + " (" + steps_[next_].what + ") was waiting");
    DismissNew();
  }
  Report();
  return !failed_;
}

// ---------------------------------------------------------------- steps

TModalDriver& TModalDriver::Window(const String& caption, const String& className) {
  String what = "window [" + caption + "]" + (className.empty() ? "" : " (" + className + ")");
  return Add(what, false, [caption, className](TModalDriver& d, String& why) {
    for (HWND w : d.Candidates()) {
      if (d.armed_.count(w) || !IsWindowEnabled(w)) continue;
      if (!className.empty() && WindowClass(w) != className) continue;
      if (!caption.empty() && !SameCaption(WindowText(w), caption)) continue;
      d.window_ = w;
      TSeen seen{WindowText(w), WindowClass(w), {}, {}};
      for (const String& t : ChildTexts(w, "Static"))
        if (!t.empty()) seen.Texts.push_back(t);
      for (HWND c : ChildWindows(w, true)) {
        LONG type = GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK;
        if (WindowKind(c) == "Button" && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW))
          seen.Buttons.push_back(WindowText(c));
      }
      d.seen_.push_back(seen);
      return true;
    }
    why = "windows that appeared since the driver was armed: ";
    std::vector<HWND> fresh;
    for (HWND w : d.Candidates())
      if (!d.armed_.count(w)) fresh.push_back(w);
    why += DescribeWindows(fresh);
    return false;
  });
}

bool TModalDriver::HaveWindow(String& why) const {
  if (Usable(window_)) return true;
  why = "no window to act on (a Window step comes first; the last one found is " + DescribeWindow(window_) + ")";
  return false;
}

HWND TModalDriver::Control(int id, String& why) const {
  if (!HaveWindow(why)) return nullptr;
  HWND c = FindChild(window_, id);
  if (!Usable(c)) {
    why = "no enabled, visible control " + IntToStr(id) + " in " + DescribeWindow(window_);
    return nullptr;
  }
  return c;
}

bool TModalDriver::SetText(HWND control, const String& text, String& why) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                      kSendTimeoutMs, &result);
  // Read back: the control of another process is asked, not its cached caption.
  String got(text.size() + 2, '\0');
  DWORD_PTR n = 0;
  SendMessageTimeoutA(control, WM_GETTEXT, got.size(), reinterpret_cast<LPARAM>(got.data()), SMTO_ABORTIFHUNG,
                      kSendTimeoutMs, &n);
  got.resize(std::min<size_t>(n, got.size()));
  if (got == text) return true;
  why = DescribeWindow(control) + " holds " + Quoted(got) + " after setting its text";
  return false;
}

TModalDriver& TModalDriver::SetEdit(int id, const String& text) {
  return Add("set control " + IntToStr(id) + " to " + Quoted(text), false, [id, text](TModalDriver& d, String& why) {
    HWND c = d.Control(id, why);
    return c && d.SetText(c, text, why);
  });
}

TModalDriver& TModalDriver::SetEditAfter(const String& label, const String& text) {
  return Add("set the edit after [" + label + "] to " + Quoted(text), false,
             [label, text](TModalDriver& d, String& why) {
               if (!d.HaveWindow(why)) return false;
               HWND c = ChildAfterLabel(d.window_, label);
               if (!Usable(c)) {
                 why = "no enabled control after a label [" + label + "] in " + DescribeWindow(d.window_) +
                       "; labels: ";
                 for (const String& t : ChildTexts(d.window_, "Static")) why += Quoted(t) + " ";
                 return false;
               }
               return d.SetText(c, text, why);
             });
}

TModalDriver& TModalDriver::SetEditAt(int index, const String& text) {
  return Add("set edit #" + IntToStr(index) + " to " + Quoted(text), false,
             [index, text](TModalDriver& d, String& why) {
               if (!d.HaveWindow(why)) return false;
               HWND c = FindChildByClass(d.window_, "Edit", index);
               if (!Usable(c)) {
                 why = "no enabled edit #" + IntToStr(index) + " in " + DescribeWindow(d.window_);
                 return false;
               }
               return d.SetText(c, text, why);
             });
}

TModalDriver& TModalDriver::Pick(int id, const String& item) {
  return Add("pick " + Quoted(item) + " in control " + IntToStr(id), false, [id, item](TModalDriver& d, String& why) {
    HWND c = d.Control(id, why);
    if (!c) return false;
    String cls = WindowKind(c);
    bool combo = cls == "ComboBox";
    if (!combo && cls != "ListBox") {
      why = DescribeWindow(c) + " is neither a combo box nor a list box";
      return false;
    }
    DWORD_PTR index = 0;
    LPARAM s = reinterpret_cast<LPARAM>(item.c_str());
    SendMessageTimeoutA(c, combo ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), s,
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &index);
    if (static_cast<LRESULT>(index) < 0) {
      why = "no entry " + Quoted(item) + " in " + DescribeWindow(c);
      return false;
    }
    DWORD_PTR r = 0;
    WORD notify;
    if (combo) {
      SendMessageTimeoutA(c, CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &r);
      notify = CBN_SELCHANGE;
    } else {
      bool multi = GetWindowLongA(c, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL);
      if (multi)
        SendMessageTimeoutA(c, LB_SETSEL, TRUE, static_cast<LPARAM>(index), SMTO_ABORTIFHUNG, kSendTimeoutMs, &r);
      else
        SendMessageTimeoutA(c, LB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &r);
      notify = LBN_SELCHANGE;
    }
    SendMessageTimeoutA(GetParent(c), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), notify), reinterpret_cast<LPARAM>(c),
                        SMTO_ABORTIFHUNG, kSendTimeoutMs, &r);
    return true;
  });
}

namespace {
bool CheckTo(HWND c, bool checked, bool& clicked, String& why) {
  DWORD_PTR state = 0;
  SendMessageTimeoutA(c, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state);
  if ((state == BST_CHECKED) == checked) return true;
  if (clicked) {
    why = DescribeWindow(c) + " keeps its state " + IntToStr(static_cast<int>(state)) + " after a click";
    return false;
  }
  PostMessageA(c, BM_CLICK, 0, 0);
  clicked = true;
  why = "clicked " + DescribeWindow(c);
  return false;
}
}  // namespace

TModalDriver& TModalDriver::Check(int id, bool checked) {
  auto clicked = std::make_shared<bool>(false);
  return Add(String(checked ? "check" : "uncheck") + " control " + IntToStr(id), false,
             [id, checked, clicked](TModalDriver& d, String& why) {
               HWND c = d.Control(id, why);
               return c && CheckTo(c, checked, *clicked, why);
             });
}

TModalDriver& TModalDriver::Check(const String& caption, bool checked) {
  auto clicked = std::make_shared<bool>(false);
  return Add(String(checked ? "check" : "uncheck") + " [" + caption + "]", false,
             [caption, checked, clicked](TModalDriver& d, String& why) {
               if (!d.HaveWindow(why)) return false;
               HWND c = FindChildByText(d.window_, caption, "Button");
               if (!Usable(c)) {
                 why = "no enabled check box [" + caption + "] in " + DescribeWindow(d.window_);
                 return false;
               }
               return CheckTo(c, checked, *clicked, why);
             });
}

TModalDriver& TModalDriver::Press(const String& caption) {
  return Add("press [" + caption + "]", true, [caption](TModalDriver& d, String& why) {
    if (!d.HaveWindow(why)) return false;
    HWND b = nullptr;
    for (HWND c : ChildWindows(d.window_))
      if (WindowKind(c) == "Button" && SameCaption(WindowText(c), caption) && Usable(c)) b = b ? b : c;
    if (!b) {
      why = "no enabled button [" + caption + "] in " + DescribeWindow(d.window_) + "; buttons: ";
      for (const String& t : ChildTexts(d.window_, "Button")) why += "[" + t + "] ";
      return false;
    }
    PostMessageA(b, BM_CLICK, 0, 0);
    return true;
  });
}

TModalDriver& TModalDriver::Press(int id) {
  return Add("press button " + IntToStr(id), true, [id](TModalDriver& d, String& why) {
    HWND b = d.Control(id, why);
    if (!b) return false;
    PostMessageA(b, BM_CLICK, 0, 0);
    return true;
  });
}

TModalDriver& TModalDriver::Key(WORD vk) {
  return Add("key " + IntToStr(vk), true, [vk](TModalDriver& d, String& why) {
    if (!d.HaveWindow(why)) return false;
    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    HWND target = d.window_;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(d.window_, nullptr), &gti) && gti.hwndFocus &&
        (gti.hwndFocus == d.window_ || IsChild(d.window_, gti.hwndFocus)))
      target = gti.hwndFocus;
    UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    PostMessageA(target, WM_KEYDOWN, vk, static_cast<LPARAM>(1 | (scan << 16)));
    PostMessageA(target, WM_KEYUP, vk, static_cast<LPARAM>(1 | (scan << 16) | (3u << 30)));
    return true;
  });
}

TModalDriver& TModalDriver::Do(const String& what, std::function<bool(HWND)> step) {
  return Add(what, true, [step](TModalDriver& d, String& why) {
    if (!d.HaveWindow(why)) return false;
    if (step(d.window_)) return true;
    why = "it did not succeed on " + DescribeWindow(d.window_);
    return false;
  });
}
