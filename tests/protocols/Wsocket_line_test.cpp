// Line mode against a peer that sends its bytes in pieces, and the waits
// (ReadLine, WaitUntilReady) against measured time.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "support/Scriptedpeer.h"
#include "classlib/Extctrls.h"
#include "protocols/Wsocket.h"
#include "support/Testutil.h"

namespace {

// A peer that waits 150 ms (for the client's handlers), sends the pieces
// 40 ms apart, then closes at once
// (closes = true) or reads what the client sends until the client closes.
struct TChunkPeer {
  std::shared_ptr<String> Received = std::make_shared<String>();
  std::unique_ptr<TScriptedPeer> Peer;
  TChunkPeer(std::vector<String> pieces, bool closes) {
    auto received = Received;
    Peer = std::make_unique<TScriptedPeer>([pieces, closes, received](SOCKET c) {
      BOOL on = TRUE;
      setsockopt(c, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
      Sleep(150);
      for (const auto& p : pieces) {
        if (!SendBytes(c, p)) return;
        Sleep(40);
      }
      if (!closes) *received = RecvUntilClosed(c, 1 << 16);
    });
  }
};

struct TSocketDeleter {
  void operator()(TWSocket* s) const {
    if (s) s->Free();
  }
};
using TSocketPtr = std::unique_ptr<TWSocket, TSocketDeleter>;

// Connects s to the peer and pumps until it is connected.
void ConnectTo(TWSocket* s, const TScriptedPeer& peer) {
  bool connected = false;
  auto previous = s->OnSessionConnected;
  s->OnSessionConnected = [&](TObject*, WORD e) { connected = e == 0; };
  s->SetAddr("127.0.0.1");
  s->SetPort(peer.PortStr());
  s->Connect();
  ASSERT_TRUE(WaitFor([&] { return connected; }));
  s->OnSessionConnected = previous;
}

// Makes the time-out of the waits visible and settable.
class TWaitProbe : public TWSocket {
 public:
  using TWSocket::TWSocket;
  void SetWaitTimeout(int64_t ms) { FTimeout = ms; }
  int64_t WaitTimeout() const { return FTimeout; }
  // With Shortcut the wait returns at once as a time-out.
  bool Shortcut = false;
  int WaitUntilReady(bool& DoneFlag) override {
    if (Shortcut) return kWSocketWaitTimeout;
    return TWSocket::WaitUntilReady(DoneFlag);
  }
};

uint64_t ElapsedSince(uint64_t start) { return GetTickCount64() - start; }

// Processor time of the calling thread so far, in milliseconds.
uint64_t ThreadCpuMs() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) { return ((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000; };
  return ms(kernel) + ms(user);
}

}  // namespace

// ---------------------------------------------------------------- line mode

struct TLineCase {
  const char* name;
  std::vector<String> pieces;
  bool peerCloses;
  int readSize;  // 0: ReceiveStr
  std::function<void(TWSocket*)> setup;
  std::vector<String> want;  // what each OnDataAvailable took; "<closed>", "<limit N>"
  String echo;               // what the peer got back
};

TEST(WSocketLine, PiecesToLines) {
  StartTestWinsock();
  String twoByTwo = "first line\r\nsecond\r\n";
  std::vector<String> pairs;
  for (size_t i = 0; i < twoByTwo.size(); i += 2) pairs.push_back(twoByTwo.substr(i, 2));
  auto none = [](TWSocket*) {};
  const TLineCase cases[] = {
      {"split CR LF, two lines at once, last line at close",
       {"abc\r", "\n", "one\r\ntwo\r\n", "tail"}, true, 0, none,
       {"abc\r\n", "one\r\n", "two\r\n", "tail", "<closed>"}, ""},
      {"two-byte pieces", pairs, true, 0, none, {"first line\r\n", "second\r\n", "<closed>"}, ""},
      {"two-byte reads", {"abc\r\nde\r\n"}, true, 2, none, {"ab", "c\r", "\n", "de", "\r\n", "<closed>"}, ""},
      {"own terminator", {"a\nb", "\n"}, true, 0, [](TWSocket* s) { s->SetLineEnd("\n"); }, {"a\n", "b\n", "<closed>"},
       ""},
      {"empty terminator delivers raw data", {"no end"}, false, 0, [](TWSocket* s) { s->SetLineEnd(""); }, {"no end"},
       ""},
      {"editing", {"ab\bc\td\r\n"}, false, 0, [](TWSocket* s) { s->SetLineEdit(true); }, {"ac      d\r\n"}, ""},
      {"editing with echo", {"ab\bc\td\r\n"}, false, 0,
       [](TWSocket* s) {
         s->SetLineEdit(true);
         s->SetLineEcho(true);
       },
       {"ac      d\r\n"}, "ab\b \bc      d\r\n"},
      {"backspaces over an earlier piece", {"abc", "\b\bX\r\n"}, false, 0, [](TWSocket* s) { s->SetLineEdit(true); },
       {"aX\r\n"}, ""},
      {"backspaces at the start", {"\b\bz\r\n"}, false, 0, [](TWSocket* s) { s->SetLineEdit(true); }, {"z\r\n"}, ""},
      {"echo without editing", {"hi\r\n"}, false, 0, [](TWSocket* s) { s->SetLineEcho(true); }, {"hi\r\n"}, "hi\r\n"},
      {"line limit clears", {"0123456789", "ab\r\n"}, false, 0, [](TWSocket* s) { s->SetLineLimit(8); },
       {"<limit 10>", "ab\r\n"}, ""},
      {"line limit kept",
       {"0123456789", "ab\r\n"},
       false,
       0,
       [](TWSocket* s) {
         s->SetLineLimit(8);
         s->OnLineLimitExceeded = [](TObject*, int, bool& clear) { clear = false; };
       },
       {"0123456789ab\r\n"},
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TChunkPeer peer(c.pieces, c.peerCloses);
    TSocketPtr s(new TWSocket(nullptr));
    std::vector<String> got;
    s->SetLineMode(true);
    s->OnLineLimitExceeded = [&](TObject*, int n, bool&) { got.push_back("<limit " + IntToStr(n) + ">"); };
    c.setup(s.get());
    s->OnDataAvailable = [&](TObject*, WORD) {
      if (c.readSize == 0) {
        got.push_back(s->ReceiveStr());
      } else {
        char buf[16];
        int n = s->Receive(buf, c.readSize);
        if (n > 0) got.push_back(String(buf, static_cast<size_t>(n)));
      }
    };
    s->OnSessionClosed = [&](TObject*, WORD) { got.push_back("<closed>"); };
    ConnectTo(s.get(), *peer.Peer);
    ASSERT_TRUE(WaitFor([&] { return got.size() >= c.want.size(); }, 5000));
    PumpFor(c.peerCloses ? 20 : 100);
    EXPECT_EQ(got, c.want);
    s->Close();
    peer.Peer->Join();
    EXPECT_EQ(*peer.Received, c.echo);
  }
}

// A handler that leaves a line untaken is not called again and again; the
// line waits, and every line comes out separately once the handler reads.
TEST(WSocketLine, HandlerThatTakesNothing) {
  StartTestWinsock();
  TChunkPeer peer({"a\r\nb\r\n", "c\r\n"}, false);
  TSocketPtr s(new TWSocket(nullptr));
  int calls = 0;
  std::vector<String> got;
  s->SetLineMode(true);
  s->OnDataAvailable = [&](TObject*, WORD) {
    if (++calls == 1) return;  // the first call takes nothing
    got.push_back(s->ReceiveStr());
  };
  ConnectTo(s.get(), *peer.Peer);
  ASSERT_TRUE(WaitFor([&] { return got.size() >= 3; }, 5000));
  std::vector<String> want = {"a\r\n", "b\r\n", "c\r\n"};
  EXPECT_EQ(got, want);
  EXPECT_EQ(calls, 4);
  s->Close();
}

// Line mode switched off inside a handler: the rest of the data, buffered
// or not, comes as ordinary data in order.
TEST(WSocketLine, LineModeOffInHandler) {
  StartTestWinsock();
  TChunkPeer peer({"l1\r\nrest", "-more\r\n"}, true);
  TSocketPtr s(new TWSocket(nullptr));
  String first, raw;
  bool closed = false;
  s->SetLineMode(true);
  s->OnDataAvailable = [&](TObject*, WORD) {
    if (first.empty()) {
      first = s->ReceiveStr();
      s->SetLineMode(false);
    } else {
      raw += s->ReceiveStr();
    }
  };
  s->OnSessionClosed = [&](TObject*, WORD) { closed = true; };
  ConnectTo(s.get(), *peer.Peer);
  ASSERT_TRUE(WaitFor([&] { return closed; }, 5000));
  EXPECT_EQ(first, "l1\r\n");
  EXPECT_EQ(raw, "rest-more\r\n");
}

// ---------------------------------------------------------------- ReadLine

TEST(WSocketReadLine, LinesIncompleteLineAndTimeOut) {
  StartTestWinsock();
  TChunkPeer peer({"one\r\ntwo\r\npart"}, false);
  TSocketPtr s(new TWSocket(nullptr));
  String ownData;
  s->OnDataAvailable = [&](TObject*, WORD) { ownData += s->ReceiveStr(); };
  ConnectTo(s.get(), *peer.Peer);
  String line;
  s->ReadLine(-3000, line);
  EXPECT_EQ(line, "one\r\n");
  // Two lines came at once: the second waits for the next ReadLine.
  s->ReadLine(-3000, line);
  EXPECT_EQ(line, "two\r\n");

  // -500: half a second, then the incomplete line.
  uint64_t start = GetTickCount64();
  s->ReadLine(-500, line);
  uint64_t ms = ElapsedSince(start);
  EXPECT_EQ(line, "part");
  EXPECT_GE(ms, 490u);
  EXPECT_LT(ms, 1500u);

  // 1: one second.
  start = GetTickCount64();
  s->ReadLine(1, line);
  ms = ElapsedSince(start);
  EXPECT_EQ(line, "");
  EXPECT_GE(ms, 990u);
  EXPECT_LT(ms, 2500u);

  // The owner's handler and mode are back.
  EXPECT_FALSE(s->LineMode());
  s->SendStr("x");
  s->Close();
  peer.Peer->Join();
  EXPECT_EQ(ownData, "");
  EXPECT_EQ(*peer.Received, "x");
}

TEST(WSocketReadLine, TimeOutCodings) {
  StartTestWinsock();
  TChunkPeer peer({}, false);
  TWaitProbe* p = new TWaitProbe(nullptr);
  TSocketPtr s(p);
  ConnectTo(s.get(), *peer.Peer);
  p->Shortcut = true;
  const std::pair<int, int64_t> cases[] = {{0, 60000}, {3, 3000}, {-250, 250}, {-1, 1}};
  for (auto [timeout, ms] : cases) {
    String line = "old";
    s->ReadLine(timeout, line);
    EXPECT_EQ(p->WaitTimeout(), ms) << timeout;
    EXPECT_EQ(line, "");
  }
  s->Close();
}

TEST(WSocketReadLine, LastLineAtCloseAndNotConnected) {
  StartTestWinsock();
  TChunkPeer peer({"last"}, true);
  TSocketPtr s(new TWSocket(nullptr));
  ConnectTo(s.get(), *peer.Peer);
  String line;
  uint64_t start = GetTickCount64();
  s->ReadLine(-5000, line);
  EXPECT_EQ(line, "last");
  EXPECT_LT(ElapsedSince(start), 2000u);
  WaitFor([&] { return s->State() == wsClosed; }, 2000);
  try {
    s->ReadLine(-100, line);
    ADD_FAILURE();
  } catch (ESocketException& e) {
    EXPECT_EQ(e.Message, "ReadLine failed: not connected");
  }
}

// The socket freed by a handler while ReadLine or WaitUntilReady waits:
// the wait ends and touches nothing of it.
TEST(WSocketReadLine, FreedWhileWaiting) {
  StartTestWinsock();
  for (bool multiThreaded : {false, true}) {
    for (bool readLine : {true, false}) {
      SCOPED_TRACE(String(readLine ? "ReadLine" : "WaitUntilReady") + (multiThreaded ? " multi-threaded" : ""));
      TChunkPeer peer({"no end"}, false);
      TWaitProbe* s = new TWaitProbe(nullptr);
      ConnectTo(s, *peer.Peer);
      s->SetMultiThreaded(multiThreaded);
      TTimer timer(nullptr);
      timer.SetInterval(100);
      timer.SetOnTimer([&](TObject*) {
        timer.SetEnabled(false);
        s->Free();
        s = nullptr;
      });
      uint64_t start = GetTickCount64();
      if (readLine) {
        String line = "old";
        s->ReadLine(-5000, line);
        EXPECT_EQ(line, "");
      } else {
        bool done = false;
        s->SetWaitTimeout(5000);
        EXPECT_EQ(s->WaitUntilReady(done), kWSocketWaitTimeout);
      }
      EXPECT_LT(ElapsedSince(start), 2000u);
      EXPECT_EQ(s, nullptr);
      peer.Peer->Join();
    }
  }
}

// WaitUntilReady sleeps until a message comes instead of spinning.
TEST(WSocketReadLine, WaitUntilReadyDoesNotSpin) {
  StartTestWinsock();
  TWaitProbe* p = new TWaitProbe(nullptr);
  TSocketPtr s(p);
  bool done = false;
  p->SetWaitTimeout(300);
  uint64_t start = GetTickCount64();
  uint64_t cpu = ThreadCpuMs();
  EXPECT_EQ(p->WaitUntilReady(done), kWSocketWaitTimeout);
  uint64_t ms = ElapsedSince(start);
  EXPECT_GE(ms, 295u);
  EXPECT_LT(ms, 1500u);
  EXPECT_LT(ThreadCpuMs() - cpu, 50u);

  // A flag set by a handler ends the wait.
  TTimer timer(nullptr);
  timer.SetInterval(100);
  timer.SetOnTimer([&](TObject*) {
    timer.SetEnabled(false);
    done = true;
  });
  p->SetWaitTimeout(0);
  start = GetTickCount64();
  EXPECT_EQ(p->Synchronize(nullptr, done), 0);
  EXPECT_LT(ElapsedSince(start), 1500u);
  EXPECT_TRUE(done);
}
