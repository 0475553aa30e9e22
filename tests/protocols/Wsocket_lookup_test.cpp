// Asynchronous forward and reverse lookups, cancelling, and lookups that
// outlive their component.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "protocols/Wsocket.h"
#include "support/Testutil.h"

namespace {

struct TSocketDeleter {
  void operator()(TWSocket* s) const { s->Free(); }
};
using TSocketPtr = std::unique_ptr<TWSocket, TSocketDeleter>;

// A socket that records its lookup results.
struct TLookup {
  TSocketPtr Socket{new TWSocket(nullptr)};
  std::vector<int> Done;
  TLookup() {
    Socket->OnDnsLookupDone = [this](TObject*, WORD e) { Done.push_back(e); };
  }
  bool Wait(DWORD ms = 20000) {
    return WaitFor([&] { return !Done.empty(); }, ms);
  }
};

bool AllHeapsValid() {
  HANDLE heaps[256];
  DWORD n = GetProcessHeaps(256, heaps);
  for (DWORD i = 0; i < n && i < 256; ++i)
    if (!HeapValidate(heaps[i], 0, nullptr)) return false;
  return true;
}

}  // namespace

TEST(WSocketLookup, DottedAddressAnswersInsideTheCall) {
  TLookup l;
  l.Socket->DnsLookup("10.0.0.1");
  EXPECT_EQ(l.Done, std::vector<int>{0});
  EXPECT_EQ(l.Socket->DnsResult(), "10.0.0.1");
  EXPECT_EQ(l.Socket->DnsResultList()->Count(), 0);
}

TEST(WSocketLookup, ForwardAndReverse) {
  struct Case {
    bool reverse;
    const char* query;
    int error;
  } cases[] = {
      {false, "localhost", 0},
      {false, "255.255.255.255", 0},  // not taken as a dotted address
      {false, "nembra-no-such-host.invalid", WSAHOST_NOT_FOUND},
      {true, "127.0.0.1", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    TLookup l;
    if (c.reverse)
      l.Socket->ReverseDnsLookup(c.query);
    else
      l.Socket->DnsLookup(c.query);
    EXPECT_TRUE(l.Done.empty());  // answered from the message loop
    ASSERT_TRUE(l.Wait());
    EXPECT_EQ(l.Done, std::vector<int>{c.error});
    TStrings* list = l.Socket->DnsResultList();
    if (c.error != 0) {
      EXPECT_EQ(l.Socket->DnsResult(), "");
      EXPECT_EQ(list->Count(), 0);
    } else if (c.reverse) {
      EXPECT_EQ(l.Socket->DnsResult(), "localhost");
      EXPECT_EQ(list->Text(), "localhost\r\n");
    } else {
      ASSERT_GT(list->Count(), 0);
      EXPECT_EQ(l.Socket->DnsResult(), list->Get(0));
      String want = String(c.query) == "localhost" ? "127.0.0.1" : c.query;
      EXPECT_GE(list->IndexOf(want), 0) << list->Text();
    }
  }
}

TEST(WSocketLookup, CancelAndRestart) {
  // A second lookup cancels the first without an event for it.
  TLookup l;
  l.Socket->DnsLookup("localhost");
  l.Socket->DnsLookup("localhost");
  ASSERT_TRUE(l.Wait());
  PumpFor(300);
  EXPECT_EQ(l.Done, std::vector<int>{0});
  EXPECT_EQ(l.Socket->DnsResult(), "127.0.0.1");

  // Cancelling reports 10004 at once, and the late reply is ignored.
  l.Done.clear();
  l.Socket->ReverseDnsLookup("127.0.0.1");
  l.Socket->CancelDnsLookup();
  EXPECT_EQ(l.Done, std::vector<int>{WSAEINTR});
  PumpFor(300);
  EXPECT_EQ(l.Done, std::vector<int>{WSAEINTR});
  EXPECT_EQ(l.Socket->DnsResult(), "");

  // Nothing pending: cancelling does nothing.
  l.Done.clear();
  l.Socket->CancelDnsLookup();
  EXPECT_TRUE(l.Done.empty());
}

// WinSock goes on with a cancelled lookup and writes its result into the
// lookup's buffer; neither a cancel nor the component's end may free that
// buffer before the reply comes.
TEST(WSocketLookup, CancelAndDestroyDuringLookupRepeated) {
  const int kRounds = 300;
  int answered = 0;
  for (int i = 0; i < kRounds; ++i) {
    {
      TLookup l;
      l.Socket->OnDnsLookupDone = [&](TObject*, WORD) { ++answered; };
      switch (i % 4) {
        case 0:  // destroyed while pending
          l.Socket->DnsLookup("localhost");
          break;
        case 1:  // cancelled, then destroyed at once
          l.Socket->DnsLookup("localhost");
          l.Socket->CancelDnsLookup();
          break;
        case 2:  // restarted twice, then destroyed
          l.Socket->DnsLookup("localhost");
          l.Socket->ReverseDnsLookup("127.0.0.1");
          l.Socket->DnsLookup("localhost");
          break;
        case 3:  // cancelled, then the replies reach the living component
          l.Socket->ReverseDnsLookup("127.0.0.1");
          l.Socket->CancelDnsLookup();
          l.Socket->DnsLookup("localhost");
          l.Socket->CancelDnsLookup();
          PumpFor(5);
          break;
      }
    }
    // Fresh allocations of the buffer size land in freed blocks first.
    std::vector<std::unique_ptr<char[]>> churn;
    for (int k = 0; k < 4; ++k) churn.emplace_back(new char[kDnsLookupBufSize]());
    if (i % 10 == 0) Application->ProcessMessages();
  }
  EXPECT_EQ(answered, kRounds / 4 * 3);  // only the cancels answered, with 10004
  // Every reply comes; the last one lets the library go.
  EXPECT_TRUE(WaitFor([] { return GetModuleHandleA("wsock32.dll") == nullptr; }, 15000));
  EXPECT_TRUE(AllHeapsValid());

  TLookup after;
  after.Socket->DnsLookup("localhost");
  ASSERT_TRUE(after.Wait());
  EXPECT_EQ(after.Done, std::vector<int>{0});
  EXPECT_EQ(after.Socket->DnsResult(), "127.0.0.1");
}
