// The ping component: event relays and the asynchronous host lookup.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "support/Testutil.h"
#include "protocols/Ping.h"

namespace {

struct TLookupLog {
  struct Done {
    TObject* sender;
    WORD error;
    String result;
  };
  std::vector<Done> Calls;
  void Attach(TPing& ping) {
    ping.OnDnsLookupDone = [this, &ping](TObject* sender, WORD error) {
      Calls.push_back({sender, error, ping.DnsResult()});
    };
  }
};

// The ping windows of this thread, parked ones included.
int PingWindowCount() {
  int count = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND wnd, LPARAM data) -> BOOL {
        char name[64];
        if (GetClassNameA(wnd, name, sizeof name) && String(name) == "ICSPingWindowClass") ++*reinterpret_cast<int*>(data);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

const char kLongName[] =
    "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.invalid";

TEST(Ping, RelaysTheEchoEvents) {
  TPing ping(nullptr);
  std::vector<String> events;
  ping.OnEchoRequest = [&](TObject* sender, TICMP* icmp) {
    EXPECT_EQ(sender, &ping);
    ASSERT_NE(icmp, nullptr);
    events.push_back("request " + icmp->Address());
  };
  ping.OnEchoReply = [&](TObject* sender, TICMP* icmp, int error) {
    EXPECT_EQ(sender, &ping);
    events.push_back("reply " + IntToStr(error) + " " + IntToStr(icmp->Reply().DataSize));
  };
  ping.OnDisplay = [&](TObject* sender, TICMP*, String& msg) {
    EXPECT_EQ(sender, &ping);
    events.push_back("display " + msg);
  };
  EXPECT_EQ(ping.Size(), 56);
  EXPECT_EQ(ping.Timeout(), 4000);
  EXPECT_EQ(ping.TTL(), 64);
  EXPECT_EQ(ping.Flags(), 0);

  ping.SetAddress("127.0.0.1");
  ping.SetSize(20);
  EXPECT_EQ(ping.Ping(), 1);
  EXPECT_EQ(ping.GetReply().Status, IP_SUCCESS);
  EXPECT_EQ(ping.GetReply().DataSize, 20);
  EXPECT_EQ(ping.GetHostName(), "127.0.0.1");
  EXPECT_EQ(ping.GetHostIP(), "127.0.0.1");

  ping.SetAddress(kLongName);
  EXPECT_EQ(ping.Ping(), 0);
  EXPECT_EQ(ping.GetErrorCode(), 11018);
  EXPECT_EQ(ping.GetErrorString(), "Bad Destination");
  EXPECT_EQ(events, (std::vector<String>{"request 127.0.0.1", "reply 1 20",
                                         "display Unable to resolve " + String(kLongName),
                                         "display Invalid host address"}));

  EXPECT_THROW(ping.SetSize(65501), TICMPException);
  EXPECT_EQ(ping.Size(), 20);
}

TEST(Ping, DottedAddressIsDoneInsideTheCall) {
  TPing ping(nullptr);
  TLookupLog log;
  log.Attach(ping);
  for (const char* address : {"127.0.0.1", "10.1.2.3"}) {
    log.Calls.clear();
    ping.DnsLookup(address);
    ASSERT_EQ(log.Calls.size(), 1u) << address;
    EXPECT_EQ(log.Calls[0].sender, &ping);
    EXPECT_EQ(log.Calls[0].error, 0);
    EXPECT_EQ(log.Calls[0].result, address);
  }
  PumpFor(50);
  EXPECT_EQ(log.Calls.size(), 1u);
}

TEST(Ping, LooksNamesUpAsynchronously) {
  TPing ping(nullptr);
  TLookupLog log;
  log.Attach(ping);
  ping.DnsLookup("localhost");
  EXPECT_TRUE(log.Calls.empty());
  ASSERT_TRUE(WaitFor([&] { return !log.Calls.empty(); }, 5000));
  EXPECT_EQ(log.Calls[0].error, 0);
  EXPECT_EQ(log.Calls[0].result, "127.0.0.1");

  log.Calls.clear();
  ping.DnsLookup(kLongName);
  ASSERT_TRUE(WaitFor([&] { return !log.Calls.empty(); }, 5000));
  EXPECT_NE(log.Calls[0].error, 0);
  EXPECT_EQ(log.Calls[0].result, "");
}

TEST(Ping, CancelledLookupsStayQuiet) {
  TPing ping(nullptr);
  TLookupLog log;
  log.Attach(ping);

  // A second lookup replaces the first without an event for it.
  ping.DnsLookup("localhost");
  ping.DnsLookup("localhost");
  ASSERT_TRUE(WaitFor([&] { return !log.Calls.empty(); }, 5000));
  PumpFor(200);
  ASSERT_EQ(log.Calls.size(), 1u);
  EXPECT_EQ(log.Calls[0].error, 0);
  EXPECT_EQ(log.Calls[0].result, "127.0.0.1");

  // Cancelling tells 10004 once; the reply that may still come is dropped.
  log.Calls.clear();
  ping.DnsLookup("localhost");
  ping.CancelDnsLookup();
  ASSERT_EQ(log.Calls.size(), 1u);
  EXPECT_EQ(log.Calls[0].error, 10004);
  ping.CancelDnsLookup();
  PumpFor(300);
  EXPECT_EQ(log.Calls.size(), 1u);
  EXPECT_EQ(ping.DnsResult(), "");
}

TEST(Ping, DestroyingWithALookupPendingTellsCancelAndCleansUp) {
  const int before = PingWindowCount();
  TLookupLog log;
  {
    TPing ping(nullptr);
    log.Attach(ping);
    EXPECT_EQ(PingWindowCount(), before + 1);
    ping.DnsLookup("localhost");
  }
  ASSERT_EQ(log.Calls.size(), 1u);
  EXPECT_EQ(log.Calls[0].error, 10004);
  // The window stays for the reply that may still fill the lookup's buffer,
  // and goes once it came.
  EXPECT_TRUE(WaitFor([&] { return PingWindowCount() == before; }, 5000));
  EXPECT_EQ(log.Calls.size(), 1u);

  {
    TPing ping(nullptr);
    EXPECT_EQ(PingWindowCount(), before + 1);
  }
  EXPECT_EQ(PingWindowCount(), before);
}

TEST(Ping, WindowFindsAComponentAboveFourGigabytes) {
  // The window keeps the whole pointer: place the component high up.
  void* mem = VirtualAlloc(nullptr, sizeof(TPing), MEM_COMMIT | MEM_RESERVE | MEM_TOP_DOWN, PAGE_READWRITE);
  ASSERT_NE(mem, nullptr);
  ASSERT_GT(reinterpret_cast<uintptr_t>(mem), uintptr_t(0xFFFFFFFF));
  TPing* ping = new (mem) TPing(nullptr);
  TObject* sender = nullptr;
  WORD error = 1;
  ping->OnDnsLookupDone = [&](TObject* s, WORD e) {
    sender = s;
    error = e;
  };
  ping->DnsLookup("localhost");
  EXPECT_TRUE(WaitFor([&] { return sender != nullptr; }, 5000));
  EXPECT_EQ(sender, ping);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(ping->DnsResult(), "127.0.0.1");
  ping->~TPing();
  VirtualFree(mem, 0, MEM_RELEASE);
}

// A failing lookup handler reaches the application's hook once; the
// component looks the next name up as before.
TEST(Ping, FailingLookupHandlerReachesTheApplicationOnce) {
  TPing ping(nullptr);
  std::vector<String> app;
  Application->OnException = [&](TObject* sender, Exception& e) {
    EXPECT_EQ(sender, &ping);
    app.push_back(e.Message);
  };
  int calls = 0;
  ping.OnDnsLookupDone = [&](TObject*, WORD) {
    ++calls;
    throw Exception("lookup handler failed");
  };
  ping.DnsLookup("localhost");
  ASSERT_TRUE(WaitFor([&] { return !app.empty(); }, 5000));
  PumpFor(100);
  EXPECT_EQ(app, std::vector<String>{"lookup handler failed"});
  EXPECT_EQ(calls, 1);

  TLookupLog log;
  log.Attach(ping);
  ping.DnsLookup("localhost");
  ASSERT_TRUE(WaitFor([&] { return !log.Calls.empty(); }, 5000));
  EXPECT_EQ(log.Calls[0].error, 0);
  EXPECT_EQ(log.Calls[0].result, "127.0.0.1");
  EXPECT_EQ(app.size(), 1u);
}

}  // namespace
