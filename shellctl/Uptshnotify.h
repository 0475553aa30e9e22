// Change notification of the shell controls: a worker thread per control
// that waits on directory change handles and posts AM_CHANGENOTIFY to the
// control, and the process-wide relay of WM_DEVICECHANGE to every control.
#pragma once

#include <memory>
#include <vector>

#include "classlib/Wndclass.h"

// The shell controls' messages (per window class).
constexpr UINT AM_DEVICECHANGE = WM_USER + 100;  // 1124: relayed WM_DEVICECHANGE, same wParam and lParam
constexpr UINT AM_CHANGENOTIFY = WM_USER + 101;  // 1125: wParam = the slot of the watch that fired

// The directory change calls of the worker; tests put their own in place.
class TPTChangeNotifyCalls {
 public:
  virtual ~TPTChangeNotifyCalls() = default;
  // INVALID_HANDLE_VALUE on failure.
  virtual HANDLE FindFirst(const String& path, bool subtree, DWORD filter);
  virtual bool FindNext(HANDLE handle);
  virtual bool FindClose(HANDLE handle);
};
// FindFirstChangeNotification and its companions.
TPTChangeNotifyCalls* SystemChangeNotifyCalls();

// Waits on up to 63 change handles; each fired one posts (message, slot, 0)
// to the target window and is re-armed, or dropped when it cannot be. The
// caller's commands go to the worker through a numbered queue and wait for
// their own answer; a command whose caller gave up is undone or never run.
// Each handle has one owner: the thread from the moment it is queued.
class TChangeHandlerThread : public TObject {
 public:
  static constexpr int kSlotCount = 63;

  // calls: nullptr for the system's; it must outlive the thread.
  TChangeHandlerThread(HWND target, UINT message, TPTChangeNotifyCalls* calls = nullptr);
  // Ends the worker (waiting up to 30 s); every handle is closed.
  ~TChangeHandlerThread() override;

  // A watch of path; true with its slot when it is in place. False for an
  // empty path, a handle that cannot be made, a full table or no answer in
  // AckTimeout (the handle is then closed, never left in a slot unseen).
  bool AddWatch(const String& path, DWORD filter, int& slot, bool subtree);
  // Closes the watch of a slot; false without an answer.
  bool RemoveWatch(int slot);
  // Closes every watch: WAIT_OBJECT_0 when the worker answered, else
  // WAIT_TIMEOUT.
  DWORD RemoveAllWatches();

  // How long a command waits for the worker's answer, in milliseconds.
  DWORD AckTimeout = 2000;
  // The worker thread (for waiting on it).
  HANDLE Handle() const { return thread_; }

  struct TState;

 private:
  std::shared_ptr<TState> state_;
  HANDLE thread_ = nullptr;
};

// ---------------------------------------------------------------- device changes

using TPTDeviceChangeEvent = TEvent<TObject*, TMessage&>;

// A hidden top-level window (so broadcasts reach it) that answers
// WM_DEVICECHANGE and, once that call has returned, hands AM_DEVICECHANGE
// with its wParam and lParam to every handler in order.
class TPTDeviceChangeHandler : public TObject {
 public:
  TPTDeviceChangeHandler();
  ~TPTDeviceChangeHandler() override;

  void Add(TPTDeviceChangeEvent handler);
  // The first entry bound to the same object and method; nothing when none.
  void Remove(const TPTDeviceChangeEvent& handler);
  void DeleteItem(int index);
  int Count() const { return static_cast<int>(entries_.size()); }
  // Calls the handlers registered now, in order, skipping any removed
  // while the broadcast runs (a handler may remove itself or others).
  void BroadcastToList(TMessage& msg);
  void WndProc(TMessage& msg);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { enabled_ = value; }
  HWND Handle() const { return wnd_; }

 private:
  struct TEntry {
    TPTDeviceChangeEvent handler;
    bool removed = false;
  };
  bool enabled_ = true;
  HWND wnd_ = nullptr;
  std::vector<std::shared_ptr<TEntry>> entries_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The process's handler, made on first use.
TPTDeviceChangeHandler* PTDeviceChangeHandler();
// Frees it (the shell controls' shut-down).
void FreePTDeviceChangeHandler();
