// The change-notification thread and the device-change relay.
#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "Shelltest.h"
#include "shellctl/Uptshnotify.h"

namespace {

// Change handles as events the test signals; it counts what is open and
// which watches were closed. A bogus handle is one no wait accepts.
class TFakeChangeCalls : public TPTChangeNotifyCalls {
 public:
  ~TFakeChangeCalls() override {
    if (release_) CloseHandle(release_);
  }
  HANDLE FindFirst(const String& path, bool, DWORD) override {
    std::lock_guard<std::mutex> l(m_);
    ++Made;
    HANDLE h = BogusNext ? reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7FFF0 + 4 * Made))
                         : CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (BogusNext) bogus_.insert(h);
    open_[h] = path;
    return h;
  }
  bool FindNext(HANDLE) override {
    ++Nexts;
    if (HoldNext) {
      InNext = true;
      WaitForSingleObject(release_, 10000);
    }
    return !FailNext;
  }
  bool FindClose(HANDLE h) override {
    bool bogus;
    {
      std::lock_guard<std::mutex> l(m_);
      closed_.push_back(open_.count(h) ? open_[h] : "?");
      open_.erase(h);
      bogus = bogus_.count(h) > 0;
    }
    if (h == BlockOn) WaitForSingleObject(release_, 10000);
    if (!bogus) CloseHandle(h);
    return true;
  }

  size_t Open() {
    std::lock_guard<std::mutex> l(m_);
    return open_.size();
  }
  // Whether the watch of path was closed.
  bool Closed(const String& path) {
    std::lock_guard<std::mutex> l(m_);
    return std::count(closed_.begin(), closed_.end(), path) > 0;
  }
  size_t ClosedCount() {
    std::lock_guard<std::mutex> l(m_);
    return closed_.size();
  }
  // The open handle of path.
  HANDLE Of(const String& path) {
    std::lock_guard<std::mutex> l(m_);
    for (auto& [h, p] : open_)
      if (p == path) return h;
    return nullptr;
  }
  // FindClose of that handle waits until Release.
  void Block(HANDLE h) {
    release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    BlockOn = h;
  }
  // The next FindNext waits until Release.
  void HoldFindNext() {
    release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HoldNext = true;
  }
  // Closes the handle of path behind the worker's back: its waits fail.
  void Invalidate(const String& path) {
    std::lock_guard<std::mutex> l(m_);
    for (auto& [h, p] : open_)
      if (p == path) {
        CloseHandle(h);
        bogus_.insert(h);
      }
  }
  void Release() { SetEvent(release_); }

  std::atomic<int> Made{0};
  std::atomic<int> Nexts{0};
  std::atomic<bool> FailNext{false};
  bool BogusNext = false;
  HANDLE BlockOn = nullptr;
  std::atomic<bool> HoldNext{false};
  std::atomic<bool> InNext{false};

 private:
  std::mutex m_;
  std::map<HANDLE, String> open_;
  std::set<HANDLE> bogus_;
  std::vector<String> closed_;
  HANDLE release_ = nullptr;
};

// A hidden window that records the change messages it gets.
struct TChangeWindow {
  TChangeWindow() {
    auto got = slots;
    wnd = AllocateHWnd(TWndMethod([got](TMessage& msg) {
      if (msg.Msg == AM_CHANGENOTIFY) got->push_back(static_cast<int>(msg.WParam));
    }));
  }
  ~TChangeWindow() { DeallocateHWnd(wnd); }
  HWND wnd;
  std::shared_ptr<std::vector<int>> slots = std::make_shared<std::vector<int>>();
};

// Waits without pumping (the worker's side only).
bool Until(const std::function<bool()>& done, DWORD ms = 2000) {
  for (DWORD waited = 0; waited < ms; waited += 5) {
    if (done()) return true;
    Sleep(5);
  }
  return done();
}

TEST(ChangeThread, AFileMadeInAWatchedFolderIsReported) {
  String dir = MakeShellTestFolder("watched");
  TChangeWindow window;
  TChangeHandlerThread thread(window.wnd, AM_CHANGENOTIFY);
  int slot = -1;
  ASSERT_TRUE(thread.AddWatch(dir, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, slot, false));
  EXPECT_EQ(slot, 0);
  PumpFor(100);  // whatever arming reports
  window.slots->clear();
  WriteFileBytes(dir + "\\new.txt", "new");
  EXPECT_TRUE(WaitFor([&] { return !window.slots->empty(); }, 1000));
  for (int s : *window.slots) EXPECT_EQ(s, slot);
  EXPECT_FALSE(thread.AddWatch("", 3, slot, false));
  EXPECT_FALSE(thread.AddWatch(dir + "\\missing", 3, slot, false));
}

TEST(ChangeThread, SlotsFillUpAndComeFree) {
  TFakeChangeCalls calls;
  {
    TChangeHandlerThread thread(nullptr, AM_CHANGENOTIFY, &calls);
    std::set<int> slots;
    for (int i = 0; i < TChangeHandlerThread::kSlotCount; ++i) {
      int slot = -1;
      ASSERT_TRUE(thread.AddWatch("w" + IntToStr(i), 3, slot, false)) << i;
      slots.insert(slot);
    }
    EXPECT_EQ(slots.size(), 63u);
    EXPECT_EQ(*slots.begin(), 0);
    EXPECT_EQ(*slots.rbegin(), 62);
    int slot = -1;
    EXPECT_FALSE(thread.AddWatch("one too many", 3, slot, false));
    EXPECT_EQ(calls.Made, 64);
    EXPECT_EQ(calls.Open(), 63u);  // the 64th was closed
    EXPECT_TRUE(calls.Closed("one too many"));

    EXPECT_EQ(thread.RemoveAllWatches(), WAIT_OBJECT_0);
    EXPECT_EQ(calls.Open(), 0u);
    ASSERT_TRUE(thread.AddWatch("a", 3, slot, false));
    EXPECT_EQ(slot, 0);
    ASSERT_TRUE(thread.AddWatch("b", 3, slot, false));
    EXPECT_EQ(slot, 1);
    EXPECT_TRUE(thread.RemoveWatch(0));
    EXPECT_FALSE(thread.RemoveWatch(0));
    EXPECT_TRUE(calls.Closed("a"));

    // A watch that cannot be re-armed gives its slot back.
    calls.FailNext = true;
    SetEvent(calls.Of("b"));
    ASSERT_TRUE(Until([&] { return calls.Closed("b"); }));
    calls.FailNext = false;
    ASSERT_TRUE(thread.AddWatch("c", 3, slot, false));
    EXPECT_EQ(slot, 0);
    ASSERT_TRUE(thread.AddWatch("d", 3, slot, false));
    EXPECT_EQ(slot, 1);
    ASSERT_TRUE(thread.AddWatch("e", 3, slot, false));
  }
  // Destruction closes every handle, each once.
  EXPECT_EQ(calls.Open(), 0u);
  EXPECT_EQ(calls.ClosedCount(), static_cast<size_t>(calls.Made.load()));
}

TEST(ChangeThread, AnInvalidHandleIsDroppedWithoutSpinning) {
  TFakeChangeCalls calls;
  TChangeWindow window;
  TChangeHandlerThread thread(window.wnd, AM_CHANGENOTIFY, &calls);
  int good = -1, bad = -1;
  ASSERT_TRUE(thread.AddWatch("good", 3, good, false));
  calls.BogusNext = true;
  ASSERT_TRUE(thread.AddWatch("bad", 3, bad, false));
  calls.BogusNext = false;
  ASSERT_TRUE(Until([&] { return calls.Closed("bad"); }));

  FILETIME created, exited, kernel0, user0, kernel1, user1;
  ASSERT_TRUE(GetThreadTimes(thread.Handle(), &created, &exited, &kernel0, &user0));
  Sleep(300);
  ASSERT_TRUE(GetThreadTimes(thread.Handle(), &created, &exited, &kernel1, &user1));
  auto ticks = [](const FILETIME& f) { return uint64_t{f.dwHighDateTime} << 32 | f.dwLowDateTime; };
  uint64_t busy = ticks(kernel1) - ticks(kernel0) + ticks(user1) - ticks(user0);
  EXPECT_LT(busy, 1000000u) << "100 ns units of CPU in 300 ms";

  // The good watch still works, and the bad one's slot is free again.
  SetEvent(calls.Of("good"));
  EXPECT_TRUE(WaitFor([&] { return !window.slots->empty(); }, 1000));
  EXPECT_EQ(*window.slots, std::vector<int>{good});
  int again = -1;
  ASSERT_TRUE(thread.AddWatch("again", 3, again, false));
  EXPECT_EQ(again, bad);
}

TEST(ChangeThread, ACommandQueuedBeforeAFailedWaitIsRun) {
  TFakeChangeCalls calls;
  TChangeHandlerThread thread(nullptr, AM_CHANGENOTIFY, &calls);
  thread.AckTimeout = 1000;
  int fires = -1, victim = -1;
  ASSERT_TRUE(thread.AddWatch("fires", 3, fires, false));
  ASSERT_TRUE(thread.AddWatch("victim", 3, victim, false));
  // The worker stops while re-arming "fires".
  calls.HoldFindNext();
  SetEvent(calls.Of("fires"));
  ASSERT_TRUE(Until([&] { return calls.InNext.load(); }));
  // Made before the victim's handle goes, so that no new handle takes its value.
  std::atomic<bool> go{false};
  bool removed = false;
  std::thread remover([&] {
    while (!go) Sleep(1);
    removed = thread.RemoveWatch(fires);
  });
  calls.Invalidate("victim");
  go = true;
  Sleep(100);  // the command is queued and the control event set
  // The next wait fails on the victim while the command waits: it must run.
  calls.Release();
  remover.join();
  EXPECT_TRUE(removed);
  EXPECT_TRUE(Until([&] { return calls.Closed("victim"); }));
  EXPECT_TRUE(calls.Closed("fires"));
}

TEST(ChangeThread, ALateAnswerIsNotTakenByTheNextCommand) {
  TFakeChangeCalls calls;
  TChangeWindow window;
  TChangeHandlerThread thread(window.wnd, AM_CHANGENOTIFY, &calls);
  thread.AckTimeout = 300;
  int slot = -1;
  ASSERT_TRUE(thread.AddWatch("a", 3, slot, false));
  calls.Block(calls.Of("a"));
  // The worker hangs in closing "a": remove-all gets no answer in time.
  EXPECT_EQ(thread.RemoveAllWatches(), WAIT_TIMEOUT);
  // Meanwhile an add that times out before the worker takes it is never
  // run; its handle is closed, not left to land in a slot unseen.
  EXPECT_FALSE(thread.AddWatch("timed out", 3, slot, false));
  EXPECT_TRUE(calls.Closed("timed out"));

  // The worker comes free while the next add waits: that add gets its own
  // answer, not the late one of remove-all.
  thread.AckTimeout = 3000;
  std::thread releaser([&] {
    Sleep(150);
    calls.Release();
  });
  slot = -1;
  bool added = thread.AddWatch("b", 3, slot, false);
  releaser.join();
  ASSERT_TRUE(added);
  EXPECT_EQ(slot, 0);  // remove-all did run before it
  EXPECT_EQ(calls.Open(), 1u);
  SetEvent(calls.Of("b"));
  EXPECT_TRUE(WaitFor([&] { return !window.slots->empty(); }, 1000));
  EXPECT_EQ(*window.slots, std::vector<int>{0});
}

TEST(ChangeThread, ADestroyedWindowGetsNoQueuedChange) {
  TFakeChangeCalls calls;
  auto window = std::make_unique<TChangeWindow>();
  auto slots = window->slots;
  TChangeHandlerThread thread(window->wnd, AM_CHANGENOTIFY, &calls);
  int slot = -1;
  ASSERT_TRUE(thread.AddWatch("a", 3, slot, false));
  SetEvent(calls.Of("a"));
  ASSERT_TRUE(Until([&] { return calls.Nexts > 0; }));  // posted, not yet taken
  window.reset();
  PumpFor(100);
  EXPECT_TRUE(slots->empty());
}

// ---------------------------------------------------------------- device changes

struct THandlerLog {
  std::vector<String> lines;
};

class TDeviceHandler : public TObject {
 public:
  TDeviceHandler(const char* name, THandlerLog* log, TPTDeviceChangeHandler* relay)
      : name_(name), log_(log), relay_(relay) {}
  void Changed(TObject* sender, TMessage& msg) {
    log_->lines.push_back(Format("%s %d %x %x %s", name_, static_cast<int>(msg.Msg), static_cast<unsigned>(msg.WParam),
                                 static_cast<unsigned>(msg.LParam), sender == relay_ ? "relay" : "other"));
    if (OnChanged) OnChanged();
  }
  TPTDeviceChangeEvent Event() { return TPTDeviceChangeEvent(this, &TDeviceHandler::Changed); }
  std::function<void()> OnChanged;

 private:
  const char* name_;
  THandlerLog* log_;
  TPTDeviceChangeHandler* relay_;
};

TEST(DeviceChangeHandler, HandlersRunAfterTheBroadcastInOrder) {
  TPTDeviceChangeHandler relay;
  THandlerLog log;
  TDeviceHandler a("a", &log, &relay), b("b", &log, &relay), never("never", &log, &relay);
  relay.Add(a.Event());
  relay.Add(b.Event());
  relay.Remove(never.Event());  // never added: nothing happens
  EXPECT_EQ(relay.Count(), 2);
  // A hidden top-level window, so that broadcasts reach it.
  EXPECT_EQ(GetAncestor(relay.Handle(), GA_PARENT), GetDesktopWindow());
  EXPECT_FALSE(IsWindowVisible(relay.Handle()));

  SendMessageA(relay.Handle(), WM_DEVICECHANGE, 0x8000, 0x1234);
  EXPECT_TRUE(log.lines.empty());
  ProcessQueuedMessages();
  EXPECT_EQ(log.lines, (std::vector<String>{"a 1124 8000 1234 relay", "b 1124 8000 1234 relay"}));

  log.lines.clear();
  relay.SetEnabled(false);
  SendMessageA(relay.Handle(), WM_DEVICECHANGE, 7, 0);
  ProcessQueuedMessages();
  EXPECT_TRUE(log.lines.empty());
  relay.SetEnabled(true);
  relay.DeleteItem(0);
  relay.DeleteItem(5);
  SendMessageA(relay.Handle(), WM_DEVICECHANGE, 7, 0);
  ProcessQueuedMessages();
  EXPECT_EQ(log.lines, (std::vector<String>{"b 1124 7 0 relay"}));
}

TEST(DeviceChangeHandler, HandlersMayRemoveThemselvesAndOthers) {
  TPTDeviceChangeHandler relay;
  THandlerLog log;
  TDeviceHandler a("a", &log, &relay), b("b", &log, &relay), c("c", &log, &relay);
  a.OnChanged = [&] { relay.Remove(a.Event()); };
  b.OnChanged = [&] { relay.Remove(c.Event()); };
  relay.Add(a.Event());
  relay.Add(b.Event());
  relay.Add(c.Event());
  TMessage msg{AM_DEVICECHANGE, 1, 2, 0};
  relay.BroadcastToList(msg);
  EXPECT_EQ(log.lines, (std::vector<String>{"a 1124 1 2 relay", "b 1124 1 2 relay"}));
  log.lines.clear();
  relay.BroadcastToList(msg);
  EXPECT_EQ(log.lines, (std::vector<String>{"b 1124 1 2 relay"}));
}

TEST(DeviceChangeHandler, OneRelayForTheProcess) {
  TPTDeviceChangeHandler* relay = PTDeviceChangeHandler();
  EXPECT_EQ(PTDeviceChangeHandler(), relay);
  FreePTDeviceChangeHandler();
}

}  // namespace
