// Windows owned by objects, and the thread's message pump.
//
// Every window of the program whose messages go to a C++ object is made
// through TObjectWindowClass: the class keeps the object in a named slot of
// the window (the user-data word or an offset in the extra bytes), one
// shared procedure dispatches to it, catches every exception (handed to the
// exception sink once the message has returned) and notices an object freed
// inside its own handler. PumpUntil is the one loop that waits while
// dispatching messages.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "Classes.h"
#include "Messages.h"

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

// An object that receives the messages of its windows.
class TWindowObject {
 public:
  TWindowObject() = default;
  TWindowObject(const TWindowObject&) = delete;
  TWindowObject& operator=(const TWindowObject&) = delete;
  // Tells every dispatch still running for this object that it is gone.
  virtual ~TWindowObject();
  // One message of one of the object's windows; a message it does not
  // handle it passes to the default procedure itself (DefaultProc).
  virtual void WindowMessage(HWND wnd, TMessage& msg) = 0;
  // A message of one of the object's windows is being handled right now
  // (the object's code is somewhere on the stack).
  bool Dispatching() const { return frames_ != nullptr; }
  // How many of its messages are being handled (nested).
  int DispatchCount() const;

 private:
  friend class TObjectWindowClass;
  struct TDispatchFrame* frames_ = nullptr;  // innermost dispatch first
};

// Where a window of a class keeps its object.
constexpr int kSlotUserData = GWLP_USERDATA;
// A byte offset in the window's extra bytes.
constexpr int SlotExtra(int offset) { return offset; }

class TObjectWindowClass {
 public:
  // A class of its own. slot: kSlotUserData or SlotExtra(n); extraBytes must
  // then hold the slot.
  TObjectWindowClass(const char* name, int slot = kSlotUserData, UINT style = 0, int extraBytes = 0,
                     HBRUSH background = nullptr, HCURSOR cursor = nullptr);
  TObjectWindowClass(const TObjectWindowClass&) = default;
  // The class stays registered; its windows no longer reach objects.
  ~TObjectWindowClass();
  // A class that behaves like baseClass (a system or common-control class)
  // under its own name; the object sits in the user-data word.
  static TObjectWindowClass Superclass(const char* name, const char* baseClass);

  const char* Name() const { return name_; }
  // Registers the class once; raises EOutOfResources on failure.
  void Register();
  // Unregisters the class once no window of it is left (else nothing
  // changes); the next Create registers it again.
  void Unregister();
  // Makes a window whose messages go to obj, from the very first one.
  // Returns nullptr when the window could not be made.
  HWND Create(TWindowObject* obj, DWORD exStyle, const char* caption, DWORD style, int x, int y, int w, int h,
              HWND parent, HMENU menu, void* param = nullptr);
  // The procedure behind the objects: DefWindowProcA, or the base class's.
  WNDPROC BaseProc() const { return baseProc_; }

  // The object of a window made by any object class or subclassed by
  // Subclass; nullptr for every other window.
  static TWindowObject* ObjectOf(HWND wnd);
  // Binds a window of this class, made without an object, to obj.
  void Attach(HWND wnd, TWindowObject* obj) const { SetSlot(wnd, obj); }
  // The window forgets its object: its messages go to the default procedure.
  static void Detach(HWND wnd);
  // Sends the messages of a window of another class to obj; returns the
  // window's previous procedure, which obj calls for the default handling.
  static WNDPROC Subclass(HWND wnd, TWindowObject* obj);
  // Gives the window its previous procedure back.
  static void Unsubclass(HWND wnd);
  // The previous procedure of a subclassed window (nullptr when not).
  static WNDPROC SubclassedProc(HWND wnd);
  // Default handling of a message: the previous procedure of a subclassed
  // window, the base class's of a superclass, else DefWindowProcA.
  static LRESULT DefaultProc(HWND wnd, TMessage& msg);

 private:
  TObjectWindowClass() = default;
  static LRESULT CALLBACK ClassProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT Dispatch(TWindowObject* obj, HWND h, UINT m, WPARAM w, LPARAM l);
  static TObjectWindowClass* ClassOf(HWND wnd);
  TWindowObject* Slot(HWND wnd) const;
  void SetSlot(HWND wnd, TWindowObject* obj) const;

  const char* name_ = "";
  const char* base_ = nullptr;
  int slot_ = kSlotUserData;
  UINT style_ = 0;
  int extraBytes_ = 0;
  HBRUSH background_ = nullptr;
  HCURSOR cursor_ = nullptr;
  WNDPROC baseProc_ = DefWindowProcA;
  ATOM atom_ = 0;
};

inline LRESULT DefaultProc(HWND wnd, TMessage& msg) { return TObjectWindowClass::DefaultProc(wnd, msg); }

// How many object dispatches are running on this thread (0 outside any
// message handler): what a deferred free compares with.
int DispatchDepth();

// ---------------------------------------------------------------- utility windows

// A window procedure bound to an object; it must call DefWindowProc for the
// messages it does not handle.
using TWndMethod = TEvent<TMessage&>;

// Creates a hidden window (class "TPUtilWindow") whose messages go to method.
HWND AllocateHWnd(TWndMethod method);
// The same for an object: its messages after the window exists go to obj,
// which stays its owner's.
HWND AllocateHWnd(TWindowObject* obj);
// Destroys the window; safe to call from inside its own method.
void DeallocateHWnd(HWND wnd);

// ---------------------------------------------------------------- exceptions

// Called inside a catch block of a window procedure, hook, timer or COM
// method: the exception is kept and handed to the sink once the current
// message has returned (through a posted message), so nothing is shown from
// inside the code that failed.
void HandleExceptionLater(TObject* sender);
// The application installs where those exceptions go; the sink is called
// with the exception rethrown (inside a catch block).
using TExceptionSink = void (*)(TObject* sender);
void SetExceptionSink(TExceptionSink sink);
// Hands every exception kept so far to the sink now.
void DeliverPendingExceptions();

// The guard of a window procedure, hook, timer or COM method: runs body and
// hands an exception it raises on with HandleExceptionLater(sender). False
// when one was raised.
template <class F>
bool CallGuarded(F&& body, TObject* sender = nullptr) {
  try {
    body();
    return true;
  } catch (...) {
    HandleExceptionLater(sender);
    return false;
  }
}

// Called inside a catch block where the program deliberately goes on
// without what failed (a damaged stored layout): the exception's text goes
// to the log, not to the user. The log is the debugger's output unless the
// program installs one.
void LogException(TObject* sender);
using TErrorLog = void (*)(TObject* sender, const String& message);
// Installs the log (null: the debugger's output) and returns the one it
// replaces.
TErrorLog SetExceptionLog(TErrorLog log);

// ---------------------------------------------------------------- the pump

enum TPumpResult {
  prDone,        // the condition holds
  prTimeout,     // the deadline passed (or the queue was empty, deadline kPumpQueued)
  prQuit,        // WM_QUIT arrived; it was posted again for the outer loops
  prCallerGone,  // the caller's liveness flag went false
};

constexpr uint64_t kPumpForever = UINT64_MAX;
constexpr uint64_t kPumpQueued = 0;  // handle what is queued, then return
// A deadline ms milliseconds from now.
uint64_t DeadlineAfter(uint64_t ms);

// Dispatches the thread's messages until done() holds (checked before the
// first message and after every one), the deadline (a GetTickCount64 value)
// passes, WM_QUIT arrives or *alive turns false. With onlyWindow set, only
// that window's messages are taken (a component pumping for itself).
// Every message passes the message filter first.
TPumpResult PumpUntil(const std::function<bool()>& done, uint64_t deadline = kPumpForever,
                      const std::shared_ptr<bool>& alive = nullptr, HWND onlyWindow = nullptr);
// Which messages a pump takes, and who sees them before the filter.
struct TPumpFilter {
  HWND OnlyWindow = nullptr;
  // A range of messages (First..Last); 0, 0 takes every message.
  UINT First = 0, Last = 0;
  // A mode of its own (a menu, a drag, a pressed button) sees every message
  // first: true when it handled it; the rest pass the filter.
  std::function<bool(MSG&)> Take;
};
TPumpResult PumpUntil(const std::function<bool()>& done, uint64_t deadline, const std::shared_ptr<bool>& alive,
                      const TPumpFilter& which);
// Handles what is queued now.
inline void ProcessQueuedMessages() { PumpUntil(nullptr, kPumpQueued); }

// WM_QUIT was taken by a pump of this thread (the application's Terminated).
bool QuitReceived();
void ResetQuitReceived();

// Looks at every message before it is dispatched; true when it was handled
// (keyboard interface of forms, hints, shortcuts). Installed by the
// application.
using TMessageFilter = bool (*)(MSG& msg);
void SetMessageFilter(TMessageFilter filter);
// Called once each time a pump finds the queue empty, before it waits
// (idle-time updates).
using TIdleHandler = void (*)();
void SetIdleHandler(TIdleHandler handler);
// Takes and dispatches one message through the filter; false when the queue
// held none. WM_QUIT is posted again and reported through quit.
bool DispatchOneMessage(bool& quit, HWND onlyWindow = nullptr);
bool DispatchOneMessage(bool& quit, const TPumpFilter& which);
