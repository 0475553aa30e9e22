#include "Uptshnotify.h"

#include <algorithm>
#include <deque>
#include <map>
#include <set>

// ---------------------------------------------------------------- system calls

HANDLE TPTChangeNotifyCalls::FindFirst(const String& path, bool subtree, DWORD filter) {
  return FindFirstChangeNotificationW(StringToWide(path).c_str(), subtree ? TRUE : FALSE, filter);
}

bool TPTChangeNotifyCalls::FindNext(HANDLE handle) { return FindNextChangeNotification(handle) != FALSE; }

bool TPTChangeNotifyCalls::FindClose(HANDLE handle) { return FindCloseChangeNotification(handle) != FALSE; }

TPTChangeNotifyCalls* SystemChangeNotifyCalls() {
  static TPTChangeNotifyCalls calls;
  return &calls;
}

// ---------------------------------------------------------------- the worker's state

namespace {

enum TCommandKind : uint8_t { cmdAdd, cmdRemove, cmdRemoveAll, cmdQuit };

struct TCommand {
  uint64_t id;
  TCommandKind kind;
  HANDLE handle;  // cmdAdd: the handle to place
  int slot;       // cmdRemove: the slot to close
};

class TLock {
 public:
  explicit TLock(CRITICAL_SECTION& cs) : cs_(cs) { EnterCriticalSection(&cs_); }
  ~TLock() { LeaveCriticalSection(&cs_); }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;

 private:
  CRITICAL_SECTION& cs_;
};

}  // namespace

// Shared by the caller and the worker, so that a worker that outlives its
// object (its end was not awaited) still has what it touches.
struct TChangeHandlerThread::TState {
  TState(HWND t, UINT m, TPTChangeNotifyCalls* c) : target(t), message(m), calls(c) {
    InitializeCriticalSection(&lock);
    InitializeConditionVariable(&answered);
    control = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::fill(std::begin(slots), std::end(slots), INVALID_HANDLE_VALUE);
  }
  ~TState() {
    CloseAll();
    for (const TCommand& c : queue)
      if (c.kind == cmdAdd && c.handle != INVALID_HANDLE_VALUE) calls->FindClose(c.handle);
    if (control) CloseHandle(control);
    DeleteCriticalSection(&lock);
  }
  TState(const TState&) = delete;
  TState& operator=(const TState&) = delete;

  // ---- worker side (slots are the worker's alone)
  void Execute();
  // false once the quit command was taken.
  bool RunCommands();
  int Run(const TCommand& c);
  void Fire(int slot);
  void Drop(int slot) {
    calls->FindClose(slots[slot]);
    slots[slot] = INVALID_HANDLE_VALUE;
  }
  void CloseAll() {
    for (int i = 0; i < kSlotCount; ++i)
      if (slots[i] != INVALID_HANDLE_VALUE) Drop(i);
  }

  // ---- caller side: queues the command and waits for its own answer;
  // answered false when none came in time.
  int Submit(TCommandKind kind, HANDLE handle, int slot, DWORD timeout, bool& answered);

  CRITICAL_SECTION lock;
  CONDITION_VARIABLE answered;
  HANDLE control = nullptr;  // auto-reset: the queue has something
  std::deque<TCommand> queue;
  std::map<uint64_t, int> answers;
  std::set<uint64_t> abandoned;  // taken by the worker after their caller gave up
  uint64_t nextId = 0;

  HANDLE slots[kSlotCount];
  HWND target;
  UINT message;
  TPTChangeNotifyCalls* calls;
};

void TChangeHandlerThread::TState::Execute() {
  for (;;) {
    HANDLE wait[kSlotCount + 1];
    int slotAt[kSlotCount + 1];
    DWORD count = 0;
    wait[count] = control;
    slotAt[count++] = -1;
    for (int i = 0; i < kSlotCount; ++i) {
      if (slots[i] == INVALID_HANDLE_VALUE) continue;
      wait[count] = slots[i];
      slotAt[count++] = i;
    }
    DWORD r = WaitForMultipleObjects(count, wait, FALSE, INFINITE);
    if (r == WAIT_OBJECT_0) {
      if (!RunCommands()) return;
    } else if (r > WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + count) {
      Fire(slotAt[r - WAIT_OBJECT_0]);
    } else if (r >= WAIT_ABANDONED_0 && r < WAIT_ABANDONED_0 + count) {
      if (r > WAIT_ABANDONED_0) Drop(slotAt[r - WAIT_ABANDONED_0]);
    } else {
      // A handle went bad under the wait: probe each change handle and drop
      // what fails, so the next round can wait again. The control event is
      // not probed by waiting: that would take its signal, and a command
      // queued meanwhile would never be run.
      DWORD flags = 0;
      if (!GetHandleInformation(control, &flags)) return;  // nothing can reach the worker any more
      bool dropped = false;
      for (DWORD p = 1; p < count; ++p) {
        DWORD probe = WaitForSingleObject(wait[p], 0);
        if (probe == WAIT_FAILED) {
          Drop(slotAt[p]);
          dropped = true;
        } else if (probe == WAIT_OBJECT_0) {
          Fire(slotAt[p]);
        }
      }
      if (!dropped) Sleep(50);  // not one handle to blame: do not spin
    }
  }
}

void TChangeHandlerThread::TState::Fire(int slot) {
  if (target) PostMessageW(target, message, static_cast<WPARAM>(slot), 0);
  if (!calls->FindNext(slots[slot])) Drop(slot);
}

int TChangeHandlerThread::TState::Run(const TCommand& c) {
  switch (c.kind) {
    case cmdAdd:
      for (int i = 0; i < kSlotCount; ++i) {
        if (slots[i] == INVALID_HANDLE_VALUE) {
          slots[i] = c.handle;
          return i;
        }
      }
      calls->FindClose(c.handle);  // no room: nobody else holds it
      return -1;
    case cmdRemove:
      if (c.slot < 0 || c.slot >= kSlotCount || slots[c.slot] == INVALID_HANDLE_VALUE) return -1;
      Drop(c.slot);
      return 0;
    case cmdRemoveAll:
      CloseAll();
      return 0;
    case cmdQuit:
      break;
  }
  return -1;
}

bool TChangeHandlerThread::TState::RunCommands() {
  for (;;) {
    TCommand c;
    {
      TLock l(lock);
      if (queue.empty()) return true;
      c = queue.front();
      queue.pop_front();
    }
    if (c.kind == cmdQuit) {
      CloseAll();
      return false;
    }
    int result = Run(c);
    bool undo = false;
    {
      TLock l(lock);
      if (abandoned.erase(c.id)) {
        // Its caller reported a failure: a watch placed now would be unseen.
        undo = c.kind == cmdAdd && result >= 0;
      } else {
        answers[c.id] = result;
        WakeAllConditionVariable(&answered);
      }
    }
    if (undo) Drop(result);
  }
}

int TChangeHandlerThread::TState::Submit(TCommandKind kind, HANDLE handle, int slot, DWORD timeout, bool& gotAnswer) {
  gotAnswer = false;
  uint64_t id;
  {
    TLock l(lock);
    id = ++nextId;
    queue.push_back({id, kind, handle, slot});
  }
  SetEvent(control);
  uint64_t deadline = GetTickCount64() + timeout;
  HANDLE giveBack = INVALID_HANDLE_VALUE;
  {
    TLock l(lock);
    for (;;) {
      auto it = answers.find(id);
      if (it != answers.end()) {
        int result = it->second;
        answers.erase(it);
        gotAnswer = true;
        return result;
      }
      uint64_t now = GetTickCount64();
      if (now >= deadline) break;
      SleepConditionVariableCS(&answered, &lock, static_cast<DWORD>(deadline - now));
    }
    auto q = std::find_if(queue.begin(), queue.end(), [&](const TCommand& c) { return c.id == id; });
    if (q != queue.end()) {
      // Never taken: it goes back to the caller, handle and all.
      if (kind == cmdAdd) giveBack = q->handle;
      queue.erase(q);
    } else {
      abandoned.insert(id);
    }
  }
  if (giveBack != INVALID_HANDLE_VALUE) calls->FindClose(giveBack);
  return -1;
}

// ---------------------------------------------------------------- TChangeHandlerThread

namespace {

DWORD WINAPI ChangeThreadProc(void* param) {
  auto* holder = static_cast<std::shared_ptr<TChangeHandlerThread::TState>*>(param);
  std::shared_ptr<TChangeHandlerThread::TState> state = std::move(*holder);
  delete holder;
  state->Execute();
  return 0;
}

}  // namespace

TChangeHandlerThread::TChangeHandlerThread(HWND target, UINT message, TPTChangeNotifyCalls* calls)
    : state_(std::make_shared<TState>(target, message, calls ? calls : SystemChangeNotifyCalls())) {
  if (!state_->control) RaiseLastOSError();
  auto* holder = new std::shared_ptr<TState>(state_);
  thread_ = CreateThread(nullptr, 0, ChangeThreadProc, holder, 0, nullptr);
  if (!thread_) {
    delete holder;
    RaiseLastOSError();
  }
}

TChangeHandlerThread::~TChangeHandlerThread() {
  {
    TLock l(state_->lock);
    state_->queue.push_back({++state_->nextId, cmdQuit, INVALID_HANDLE_VALUE, -1});
  }
  SetEvent(state_->control);
  // A worker that does not end in time keeps the state and closes the
  // handles itself when it gets there.
  WaitForSingleObject(thread_, 30000);
  CloseHandle(thread_);
}

bool TChangeHandlerThread::AddWatch(const String& path, DWORD filter, int& slot, bool subtree) {
  if (path.empty()) return false;
  HANDLE handle = state_->calls->FindFirst(path, subtree, filter);
  if (handle == INVALID_HANDLE_VALUE || !handle) return false;
  bool answered = false;
  int result = state_->Submit(cmdAdd, handle, -1, AckTimeout, answered);
  if (!answered || result < 0) return false;
  slot = result;
  return true;
}

bool TChangeHandlerThread::RemoveWatch(int slot) {
  bool answered = false;
  int result = state_->Submit(cmdRemove, INVALID_HANDLE_VALUE, slot, AckTimeout, answered);
  return answered && result == 0;
}

DWORD TChangeHandlerThread::RemoveAllWatches() {
  bool answered = false;
  state_->Submit(cmdRemoveAll, INVALID_HANDLE_VALUE, -1, AckTimeout, answered);
  return answered ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

// ---------------------------------------------------------------- TPTDeviceChangeHandler

TPTDeviceChangeHandler::TPTDeviceChangeHandler() {
  wnd_ = AllocateHWnd(TWndMethod(this, &TPTDeviceChangeHandler::WndProc));
  if (!wnd_) throw EOutOfResources("Cannot create the device change window");
}

TPTDeviceChangeHandler::~TPTDeviceChangeHandler() {
  for (auto& e : entries_) e->removed = true;
  *alive_ = false;
  DeallocateHWnd(wnd_);
}

void TPTDeviceChangeHandler::Add(TPTDeviceChangeEvent handler) {
  auto e = std::make_shared<TEntry>();
  e->handler = std::move(handler);
  entries_.push_back(std::move(e));
}

void TPTDeviceChangeHandler::Remove(const TPTDeviceChangeEvent& handler) {
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e->handler == handler; });
  if (it == entries_.end()) return;
  (*it)->removed = true;
  entries_.erase(it);
}

void TPTDeviceChangeHandler::DeleteItem(int index) {
  if (index < 0 || index >= Count()) return;
  entries_[static_cast<size_t>(index)]->removed = true;
  entries_.erase(entries_.begin() + index);
}

void TPTDeviceChangeHandler::BroadcastToList(TMessage& msg) {
  std::vector<std::shared_ptr<TEntry>> snapshot = entries_;
  std::shared_ptr<bool> alive = alive_;
  for (const auto& e : snapshot) {
    if (!*alive) return;  // a handler freed the relay
    if (!e->removed) e->handler(this, msg);
  }
}

void TPTDeviceChangeHandler::WndProc(TMessage& msg) {
  switch (msg.Msg) {
    case WM_DEVICECHANGE:
      // The handlers run once the system's call has returned.
      PostMessageA(wnd_, AM_DEVICECHANGE, msg.WParam, msg.LParam);
      msg.Result = DefWindowProcA(wnd_, msg.Msg, msg.WParam, msg.LParam);
      return;
    case AM_DEVICECHANGE:
      if (enabled_) {
        TMessage relayed{AM_DEVICECHANGE, msg.WParam, msg.LParam, 0};
        BroadcastToList(relayed);
      }
      return;
    default:
      msg.Result = DefWindowProcA(wnd_, msg.Msg, msg.WParam, msg.LParam);
  }
}

namespace {
TOwned<TPTDeviceChangeHandler>& DeviceChangeHandlerHolder() {
  static TOwned<TPTDeviceChangeHandler> holder;
  return holder;
}
}  // namespace

TPTDeviceChangeHandler* PTDeviceChangeHandler() {
  auto& h = DeviceChangeHandlerHolder();
  if (!h) h.reset(new TPTDeviceChangeHandler);
  return h.get();
}

void FreePTDeviceChangeHandler() { DeviceChangeHandlerHolder().reset(); }
