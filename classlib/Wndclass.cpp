#include "Wndclass.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <vector>

struct TDispatchFrame {
  TDispatchFrame* next;
  bool gone;
};

TWindowObject::~TWindowObject() {
  for (TDispatchFrame* f = frames_; f; f = f->next) f->gone = true;
}

int TWindowObject::DispatchCount() const {
  int n = 0;
  for (TDispatchFrame* f = frames_; f; f = f->next) ++n;
  return n;
}

namespace {

const char kObjectProp[] = "NembraObject";
const char kOldProcProp[] = "NembraOldProc";

// The classes registered by this module, found by atom. It is never freed:
// windows still get messages while the program's statics are destroyed.
std::vector<TObjectWindowClass*>& Registered() {
  static auto* v = new std::vector<TObjectWindowClass*>;
  return *v;
}

// The object whose window is being made on this thread; its first message
// binds it.
thread_local TWindowObject* gCreating = nullptr;

}  // namespace

// ---------------------------------------------------------------- classes

TObjectWindowClass::TObjectWindowClass(const char* name, int slot, UINT style, int extraBytes, HBRUSH background,
                                       HCURSOR cursor)
    : name_(name), slot_(slot), style_(style), extraBytes_(extraBytes), background_(background), cursor_(cursor) {}

TObjectWindowClass::~TObjectWindowClass() {
  // Windows of a class whose object is gone get the default procedure.
  auto& reg = Registered();
  reg.erase(std::remove(reg.begin(), reg.end(), this), reg.end());
}

TObjectWindowClass TObjectWindowClass::Superclass(const char* name, const char* baseClass) {
  TObjectWindowClass c;
  c.name_ = name;
  c.base_ = baseClass;
  return c;
}

void TObjectWindowClass::Register() {
  if (atom_) return;
  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  if (base_) {
    if (!GetClassInfoA(nullptr, base_, &wc) && !GetClassInfoA(inst, base_, &wc))
      throw EOutOfResources(Format("Window class %s is not available", base_));
    baseProc_ = wc.lpfnWndProc;
    wc.style &= ~CS_GLOBALCLASS;
  } else {
    wc.style = style_;
    wc.cbWndExtra = extraBytes_;
    wc.hbrBackground = background_;
    wc.hCursor = cursor_ ? cursor_ : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    baseProc_ = DefWindowProcA;
  }
  wc.lpfnWndProc = ClassProc;
  wc.hInstance = inst;
  wc.lpszClassName = name_;
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  if (ATOM a = static_cast<ATOM>(GetClassInfoExA(inst, name_, &existing))) {
    // Another object of the same class registered it first.
    atom_ = a;
  } else {
    atom_ = RegisterClassA(&wc);
    if (!atom_) throw EOutOfResources(Format("Cannot register window class %s (error %d)", name_, GetLastError()));
  }
  auto& reg = Registered();
  reg.erase(std::remove_if(reg.begin(), reg.end(), [&](TObjectWindowClass* c) { return c->atom_ == atom_; }),
            reg.end());
  reg.push_back(this);
}

void TObjectWindowClass::Unregister() {
  if (!atom_ || !UnregisterClassA(name_, GetModuleHandleA(nullptr))) return;
  auto& reg = Registered();
  reg.erase(std::remove(reg.begin(), reg.end(), this), reg.end());
  atom_ = 0;
}

HWND TObjectWindowClass::Create(TWindowObject* obj, DWORD exStyle, const char* caption, DWORD style, int x, int y,
                                int w, int h, HWND parent, HMENU menu, void* param) {
  Register();
  TWindowObject* saved = gCreating;
  gCreating = obj;
  HWND wnd = CreateWindowExA(exStyle, name_, caption ? caption : "", style, x, y, w, h, parent, menu,
                             GetModuleHandleA(nullptr), param);
  gCreating = saved;
  if (wnd && obj && Slot(wnd) != obj) SetSlot(wnd, obj);
  return wnd;
}

TObjectWindowClass* TObjectWindowClass::ClassOf(HWND wnd) {
  ATOM atom = static_cast<ATOM>(GetClassWord(wnd, GCW_ATOM));
  if (!atom) return nullptr;
  for (TObjectWindowClass* c : Registered())
    if (c->atom_ == atom) return c;
  return nullptr;
}

TWindowObject* TObjectWindowClass::Slot(HWND wnd) const {
  return reinterpret_cast<TWindowObject*>(GetWindowLongPtrA(wnd, slot_));
}

void TObjectWindowClass::SetSlot(HWND wnd, TWindowObject* obj) const {
  SetWindowLongPtrA(wnd, slot_, reinterpret_cast<LONG_PTR>(obj));
}

TWindowObject* TObjectWindowClass::ObjectOf(HWND wnd) {
  if (!wnd) return nullptr;
  // A window of another process (another copy of the program, its words
  // alike) has no object here.
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  if (pid != GetCurrentProcessId()) return nullptr;
  TObjectWindowClass* c = ClassOf(wnd);
  // A window of an object class that nobody subclassed answers from its slot:
  // a property look-up costs a server round trip under Wine, on every
  // notification reflected to a control.
  if (c && GetWindowLongPtrA(wnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(ClassProc)) return c->Slot(wnd);
  if (auto* p = static_cast<TWindowObject*>(GetPropA(wnd, kObjectProp))) return p;
  if (c) return c->Slot(wnd);
  return nullptr;
}

void TObjectWindowClass::Detach(HWND wnd) {
  if (!wnd) return;
  if (GetPropA(wnd, kObjectProp)) {
    Unsubclass(wnd);
    return;
  }
  if (TObjectWindowClass* c = ClassOf(wnd)) c->SetSlot(wnd, nullptr);
}

WNDPROC TObjectWindowClass::Subclass(HWND wnd, TWindowObject* obj) {
  if (WNDPROC old = SubclassedProc(wnd)) {
    SetPropA(wnd, kObjectProp, obj);
    return old;
  }
  auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC));
  SetPropA(wnd, kOldProcProp, reinterpret_cast<HANDLE>(old));
  SetPropA(wnd, kObjectProp, obj);
  SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc));
  return old;
}

void TObjectWindowClass::Unsubclass(HWND wnd) {
  WNDPROC old = SubclassedProc(wnd);
  if (!old) return;
  SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
  RemovePropA(wnd, kObjectProp);
  RemovePropA(wnd, kOldProcProp);
}

WNDPROC TObjectWindowClass::SubclassedProc(HWND wnd) {
  return reinterpret_cast<WNDPROC>(GetPropA(wnd, kOldProcProp));
}

namespace {
thread_local int gDispatchDepth = 0;
}

int DispatchDepth() { return gDispatchDepth; }

LRESULT TObjectWindowClass::Dispatch(TWindowObject* obj, HWND h, UINT m, WPARAM w, LPARAM l) {
  TMessage msg{m, w, l, 0};
  TDispatchFrame frame{obj->frames_, false};
  obj->frames_ = &frame;
  ++gDispatchDepth;
  try {
    obj->WindowMessage(h, msg);
  } catch (...) {
    HandleExceptionLater(frame.gone ? nullptr : dynamic_cast<TObject*>(obj));
  }
  --gDispatchDepth;
  if (!frame.gone) obj->frames_ = frame.next;
  return msg.Result;
}

LRESULT CALLBACK TObjectWindowClass::ClassProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  TObjectWindowClass* cls = ClassOf(h);
  if (!cls) return DefWindowProcA(h, m, w, l);
  TWindowObject* obj = cls->Slot(h);
  if (!obj && gCreating && (m == WM_GETMINMAXINFO || m == WM_NCCREATE)) {
    obj = gCreating;
    gCreating = nullptr;
    cls->SetSlot(h, obj);
  }
  if (!obj) return CallWindowProcA(cls->baseProc_, h, m, w, l);
  LRESULT r = Dispatch(obj, h, m, w, l);
  if (m == WM_NCDESTROY && cls->Slot(h) == obj) cls->SetSlot(h, nullptr);
  return r;
}

LRESULT CALLBACK TObjectWindowClass::SubclassProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  auto* obj = static_cast<TWindowObject*>(GetPropA(h, kObjectProp));
  WNDPROC old = SubclassedProc(h);
  if (!obj) return old ? CallWindowProcA(old, h, m, w, l) : DefWindowProcA(h, m, w, l);
  LRESULT r = Dispatch(obj, h, m, w, l);
  if (m == WM_NCDESTROY) Unsubclass(h);
  return r;
}

LRESULT TObjectWindowClass::DefaultProc(HWND wnd, TMessage& msg) {
  WNDPROC proc = SubclassedProc(wnd);
  if (!proc) {
    TObjectWindowClass* cls = ClassOf(wnd);
    proc = cls ? cls->baseProc_ : DefWindowProcA;
  }
  msg.Result = CallWindowProcA(proc, wnd, msg.Msg, msg.WParam, msg.LParam);
  return msg.Result;
}

// ---------------------------------------------------------------- utility windows

namespace {

class TUtilWindow : public TWindowObject {
 public:
  explicit TUtilWindow(TWndMethod m) : method(std::move(m)) {}
  void WindowMessage(HWND wnd, TMessage& msg) override {
    if (method)
      method(msg);
    else
      DefaultProc(wnd, msg);
  }
  TWndMethod method;
};

// Kept to the end of the process: the application's window goes last.
TObjectWindowClass& UtilClass() {
  static auto* c = new TObjectWindowClass("TPUtilWindow");
  return *c;
}

}  // namespace

HWND AllocateHWnd(TWndMethod method) {
  // The method hears only of messages after the window exists.
  HWND h = UtilClass().Create(nullptr, WS_EX_TOOLWINDOW, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr);
  if (h) UtilClass().Attach(h, new TUtilWindow(std::move(method)));
  return h;
}

HWND AllocateHWnd(TWindowObject* obj) {
  HWND h = UtilClass().Create(nullptr, WS_EX_TOOLWINDOW, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr);
  if (h) UtilClass().Attach(h, obj);
  return h;
}

void DeallocateHWnd(HWND wnd) {
  if (!wnd) return;
  auto* obj = dynamic_cast<TUtilWindow*>(TObjectWindowClass::ObjectOf(wnd));
  TObjectWindowClass::Detach(wnd);
  DestroyWindow(wnd);
  delete obj;  // a dispatch still running for it sees that it is gone
}

// ---------------------------------------------------------------- exceptions

namespace {

struct TPendingException {
  TObject* sender;
  std::exception_ptr error;
};

std::deque<TPendingException>& Pending() {
  static auto* q = new std::deque<TPendingException>;
  return *q;
}
TExceptionSink gSink = nullptr;
HWND gDeliveryWindow = nullptr;

void DeliveryMessage(TMessage& msg) {
  if (msg.Msg == WM_APP_HANDLEEXCEPTION) {
    DeliverPendingExceptions();
    return;
  }
  msg.Result = DefWindowProcA(gDeliveryWindow, msg.Msg, msg.WParam, msg.LParam);
}

}  // namespace

void SetExceptionSink(TExceptionSink sink) { gSink = sink; }

void HandleExceptionLater(TObject* sender) {
  Pending().push_back({sender, std::current_exception()});
  if (!gDeliveryWindow) gDeliveryWindow = AllocateHWnd(TWndMethod(DeliveryMessage));
  if (!gDeliveryWindow || !PostMessageA(gDeliveryWindow, WM_APP_HANDLEEXCEPTION, 0, 0)) DeliverPendingExceptions();
}

void DeliverPendingExceptions() {
  auto& q = Pending();
  while (!q.empty()) {
    TPendingException p = q.front();
    q.pop_front();
    try {
      std::rethrow_exception(p.error);
    } catch (...) {
      if (gSink) gSink(p.sender);
    }
  }
}

namespace {
TErrorLog gLog = nullptr;
}  // namespace

TErrorLog SetExceptionLog(TErrorLog log) {
  TErrorLog old = gLog;
  gLog = log;
  return old;
}

void LogException(TObject* sender) {
  DispatchCurrentException([&](Exception& e) {
    if (gLog) {
      gLog(sender, e.Message);
      return;
    }
    String line = (sender ? sender->ClassName() + ": " : String()) + e.Message + "\n";
    OutputDebugStringA(line.c_str());
  });
}

// ---------------------------------------------------------------- the pump

namespace {
bool gQuit = false;
TMessageFilter gFilter = nullptr;
TIdleHandler gIdle = nullptr;
}  // namespace

bool QuitReceived() { return gQuit; }
void ResetQuitReceived() { gQuit = false; }
void SetMessageFilter(TMessageFilter filter) { gFilter = filter; }
void SetIdleHandler(TIdleHandler handler) { gIdle = handler; }

uint64_t DeadlineAfter(uint64_t ms) {
  uint64_t now = GetTickCount64();
  return ms >= kPumpForever - now ? kPumpForever : now + ms;
}

bool DispatchOneMessage(bool& quit, HWND onlyWindow) {
  TPumpFilter which;
  which.OnlyWindow = onlyWindow;
  return DispatchOneMessage(quit, which);
}

bool DispatchOneMessage(bool& quit, const TPumpFilter& which) {
  quit = false;
  HWND onlyWindow = which.OnlyWindow;
  MSG msg;
  if (!PeekMessageA(&msg, onlyWindow, which.First, which.Last, PM_REMOVE)) {
    // A component pumping for itself still ends with the application.
    if (onlyWindow && PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
      gQuit = true;
      quit = true;
      PostQuitMessage(static_cast<int>(msg.wParam));
    }
    return false;
  }
  if (msg.message == WM_QUIT) {
    gQuit = true;
    quit = true;
    PostQuitMessage(static_cast<int>(msg.wParam));
    return false;
  }
  if (which.Take && which.Take(msg)) return true;
  try {
    if (gFilter && gFilter(msg)) return true;
  } catch (...) {
    HandleExceptionLater(nullptr);
    return true;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

TPumpResult PumpUntil(const std::function<bool()>& done, uint64_t deadline, const std::shared_ptr<bool>& alive,
                      HWND onlyWindow) {
  TPumpFilter which;
  which.OnlyWindow = onlyWindow;
  return PumpUntil(done, deadline, alive, which);
}

TPumpResult PumpUntil(const std::function<bool()>& done, uint64_t deadline, const std::shared_ptr<bool>& alive,
                      const TPumpFilter& which) {
  // Pumping for one window or a range, the other messages stay queued.
  bool narrowed = which.OnlyWindow || which.First || which.Last;
  auto gone = [&] { return alive && !*alive; };
  for (;;) {
    if (gone()) return prCallerGone;
    if (done && done()) return prDone;
    bool quit = false;
    if (DispatchOneMessage(quit, which)) {
      if (deadline != kPumpQueued && deadline != kPumpForever && GetTickCount64() >= deadline) {
        if (gone()) return prCallerGone;
        return done && done() ? prDone : prTimeout;
      }
      continue;
    }
    if (quit) return prQuit;
    // The queue is empty.
    if (deadline == kPumpQueued) return prTimeout;
    if (gIdle && !narrowed) {
      gIdle();
      if (gone()) return prCallerGone;
      if (done && done()) return prDone;
    }
    DWORD wait = INFINITE;
    if (deadline != kPumpForever) {
      uint64_t now = GetTickCount64();
      if (now >= deadline) return prTimeout;
      wait = static_cast<DWORD>(std::min<uint64_t>(deadline - now, INFINITE - 1));
    }
    // Narrowed, what stays queued must not wake it: wait for new messages.
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, narrowed ? 0 : MWMO_INPUTAVAILABLE);
  }
}
