// The socket unit's routines, the send-queue block, defaults and refusals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "protocols/Wsocket.h"
#include "support/Testutil.h"

namespace {

// Runs fn and returns the message of the ESocketException it raises ("" when none).
String SocketExceptionText(const std::function<void()>& fn) {
  try {
    fn();
  } catch (ESocketException& e) {
    return e.Message;
  }
  return String();
}

struct TSocketDeleter {
  void operator()(TWSocket* s) const { s->Free(); }
};
using TSocketPtr = std::unique_ptr<TWSocket, TSocketDeleter>;
TSocketPtr NewSocket() { return TSocketPtr(new TWSocket(nullptr)); }

}  // namespace

// ---------------------------------------------------------------- TBuffer

TEST(TBufferTest, WriteReadPeekRemove) {
  TBuffer b(8);
  EXPECT_EQ(b.BufSize(), 8);
  EXPECT_EQ(b.Write("abcdefghij", 10), 8);  // only what fits
  EXPECT_EQ(b.Write("x", 1), 0);            // full
  int len = 0;
  const char* p = b.Peek(len);
  ASSERT_EQ(len, 8);
  EXPECT_EQ(String(p, len), "abcdefgh");
  EXPECT_EQ(b.Remove(3), 3);
  char out[16] = {};
  EXPECT_EQ(b.Read(out, 2), 2);
  EXPECT_EQ(String(out, 2), "de");
  EXPECT_EQ(b.Remove(100), 3);  // only what is pending
  EXPECT_EQ(b.Peek(len), nullptr);
  EXPECT_EQ(len, 0);
  // Everything taken: the block is empty again and takes a full load.
  EXPECT_EQ(b.Write("12345678", 8), 8);

  TBuffer d(0);
  EXPECT_EQ(d.BufSize(), 1514);
  // Growing keeps what is stored; shrinking never writes past the new end.
  d.Write("hello", 5);
  d.SetBufSize(3000);
  p = d.Peek(len);
  EXPECT_EQ(String(p, len), "hello");
  d.SetBufSize(2);
  p = d.Peek(len);
  EXPECT_EQ(String(p, len), "he");
}

// ---------------------------------------------------------------- unit routines

TEST(WSocketUnit, IsDottedIP) {
  struct Case {
    const char* text;
    bool dotted;
  } cases[] = {
      {"1.2.3.4", true},          {"  1.2.3.4  ", true},   {"0.0.0.0", true},      {"255.255.255.255", true},
      {"1.2.3.4.", false},        {".1.2.3", false},       {"1.2.3", false},       {"1.2.3.256", false},
      {"300.1.1.1", false},       {"1..2.3", false},       {"1.2.3.4.5", false},   {"", false},
      {"1.2.3.4x", false},        {"1.2.3.4 x", false},    {"a.b.c.d", false},     {"1.2.3.99999999999", false},
      {"localhost", false},       {"1.2.3.", false},
  };
  for (const auto& c : cases) EXPECT_EQ(WSocketIsDottedIP(c.text), c.dotted) << "'" << c.text << "'";
}

TEST(WSocketUnit, ErrorDesc) {
  struct Case {
    int code;
    const char* text;
  } cases[] = {
      {0, "No Error"},
      {10004, "Interrupted system call"},
      {10035, "Operation would block"},
      {10047, "Address family not supported by protocol family"},
      {10053, "Connection aborted"},
      {10054, "Connection reset by peer"},
      {10057, "Socket is not connected"},
      {10058, "Can't send after socket shutdown"},
      {10059, "Too many references: can't splice"},
      {10061, "Connection refused"},
      {10069, "Disc quota exceeded"},
      {10071, "Too many levels of remote in path"},
      {10091, "Network sub-system is unusable"},
      {10092, "WinSock DLL cannot support this application"},
      {10093, "WinSock not initialized"},
      {11001, "Host not found"},
      {11002, "Non-authoritative host not found"},
      {11003, "Non-recoverable error"},
      {11004, "No Data"},
      {1, "Not a WinSock error"},
      {10000, "Not a WinSock error"},
      {10072, "Not a WinSock error"},
      {11005, "Not a WinSock error"},
  };
  for (const auto& c : cases) EXPECT_EQ(WSocketErrorDesc(c.code), c.text) << c.code;
}

TEST(WSocketUnit, ResolverRefusals) {
  const String longName(257, 'a');
  struct Case {
    std::function<void()> call;
    const char* text;
  } cases[] = {
      {[] { WSocketResolveHost(""); }, "WSocketResolveHost: '' Invalid Hostname."},
      {[&] { WSocketResolveHost(longName); }, nullptr},  // checked below
      {[] { WSocketResolveHost("300.1.1.1"); }, "WSocketResolveHost: Cannot convert host address '300.1.1.1', Error #11001"},
      {[] { WSocketResolvePort("", "tcp"); }, "WSocketResolvePort: Invalid Port."},
      {[] { WSocketResolvePort(String(32, '1'), "tcp"); }, "WSocketResolvePort: Invalid Port."},
      {[] { WSocketResolvePort("65536", "tcp"); }, "WSocketResolvePort: Invalid Port."},
      {[] { WSocketResolvePort("21", ""); }, "WSocketResolvePort: Invalid Proto."},
      {[] { WSocketResolvePort("no-such-service", "tcp"); }, "WSocketResolvePort: Cannot convert port 'no-such-service', Error #"},
      {[] { WSocketResolveProto(""); }, "WSocketResolveProto: Invalid Protocol."},
      {[] { WSocketResolveProto("no-such-proto"); }, "WSocketResolveProto: Cannot convert protocol 'no-such-proto', Error #"},
      {[] { WSocketGetHostByAddr(""); }, "WSocketGetHostByAddr: Invalid address."},
      {[] { WSocketGetHostByName(""); }, "WSocketGetHostByName: Invalid Hostname."},
  };
  for (const auto& c : cases) {
    String got = SocketExceptionText(c.call);
    if (!c.text) {
      EXPECT_EQ(got, "WSocketResolveHost: '" + longName + "' Invalid Hostname.");
      continue;
    }
    // Texts that end in "Error #" carry the WinSock code behind it.
    String want = c.text;
    if (EndsText("#", want))
      EXPECT_TRUE(StartsText(want, got)) << got;
    else
      EXPECT_EQ(got, want);
  }
}

TEST(WSocketUnit, ResolversConvert) {
  EXPECT_EQ(WSocketResolveHost(" 127.0.0.1 "), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(WSocketResolveHost("255.255.255.255"), INADDR_BROADCAST);
  EXPECT_EQ(WSocketResolveHost("localhost"), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(WSocketResolvePort("21", "tcp"), 21);
  EXPECT_EQ(WSocketResolvePort("8080x", "tcp"), 8080);  // digits up to the first other character
  EXPECT_EQ(WSocketResolvePort("ftp", "tcp"), 21);
  EXPECT_EQ(WSocketResolvePort(" http ", "tcp"), 80);
  EXPECT_EQ(WSocketResolveProto("tcp"), IPPROTO_TCP);
  EXPECT_EQ(WSocketResolveProto("udp"), IPPROTO_UDP);
  EXPECT_EQ(WSocketResolveProto("17"), 17);
  EXPECT_EQ(WSocketResolveIp("127.0.0.1").empty(), false);
}

// Protocol and service names (per protocol) reach the library once per
// process: a second resolution gives the same answer, failures included,
// without calling it again.
TEST(WSocketUnit, NamesReachTheLibraryOnce) {
  static int servCalls, protoCalls;
  servCalls = protoCalls = 0;
  WSocketSetNameLookups(
      [](const char* name, const char* proto) {
        ++servCalls;
        return WSocket_getservbyname(name, proto);
      },
      [](const char* name) {
        ++protoCalls;
        return WSocket_getprotobyname(name);
      });
  struct TRestore {
    ~TRestore() { WSocketSetNameLookups(nullptr, nullptr); }
  } restore;

  std::vector<String> first;
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    std::vector<String> got = {
        IntToStr(WSocketResolvePort("ftp", "tcp")),
        IntToStr(WSocketResolvePort(" ftp ", "tcp ")),  // the same names once trimmed
        IntToStr(WSocketResolvePort("domain", "udp")),
        IntToStr(WSocketResolvePort("domain", "tcp")),
        IntToStr(WSocketResolvePort("21", "tcp")),  // numbers never reach the library
        IntToStr(WSocketResolveProto("udp")),
        IntToStr(WSocketResolveProto("tcp")),
        SocketExceptionText([] { WSocketResolvePort("no-such-service", "tcp"); }),
        IntToStr(WSocket_WSAGetLastError()),
        SocketExceptionText([] { WSocketResolveProto("no-such-proto"); }),
        IntToStr(WSocket_WSAGetLastError()),
    };
    if (round == 0) {
      first = got;
      EXPECT_EQ(got[0], "21");
      EXPECT_EQ(got[2], "53");
      EXPECT_EQ(got[5], IntToStr(IPPROTO_UDP));
      EXPECT_TRUE(EndsText("Error #" + got[8], got[7])) << got[7];
      EXPECT_TRUE(EndsText("Error #" + got[10], got[9])) << got[9];
    } else {
      EXPECT_EQ(got, first);
    }
    EXPECT_EQ(servCalls, 4);  // ftp/tcp, domain/udp, domain/tcp, no-such-service/tcp
    EXPECT_EQ(protoCalls, 3);  // udp, tcp, no-such-proto
  }

  // Every connect resolves the protocol and port again: from the cache.
  auto s = NewSocket();
  for (int i = 0; i < 2; ++i) {
    s->SetProto("udp");
    s->SetAddr("127.0.0.1");
    s->SetPort("domain");
    s->Connect();
    EXPECT_EQ(s->State(), wsConnected);
    s->Close();
  }
  EXPECT_EQ(servCalls, 4);
  EXPECT_EQ(protoCalls, 3);
}

TEST(WSocketUnit, WinsockInfoLoadsForTheCallOnly) {
  // Lookups that earlier tests left running hold the library until they end.
  WinsockInfo();
  ASSERT_TRUE(WaitFor([] { return GetModuleHandleA("wsock32.dll") == nullptr; }, 5000));
  WSADATA info = WinsockInfo();
  EXPECT_EQ(sizeof info, 408u);
  EXPECT_EQ(info.wVersion, MAKEWORD(1, 1));
  // No socket holds the library: it is unloaded again.
  EXPECT_EQ(GetModuleHandleA("wsock32.dll"), nullptr);
  WSocketForceLoadWinsock();
  EXPECT_NE(GetModuleHandleA("wsock32.dll"), nullptr);
  { auto s = NewSocket(); }
  EXPECT_NE(GetModuleHandleA("wsock32.dll"), nullptr);  // the forced load holds it
  WSocketCancelForceLoadWinsock();
  EXPECT_EQ(GetModuleHandleA("wsock32.dll"), nullptr);
}

TEST(WSocketUnit, LocalHostNameAndAddresses) {
  char name[256] = {};
  ASSERT_EQ(gethostname(name, sizeof name), 0);
  EXPECT_EQ(LocalHostName(), name);
  TStrings* ips = LocalIPList();
  ASSERT_GT(ips->Count(), 0);
  for (int i = 0; i < ips->Count(); ++i) EXPECT_TRUE(WSocketIsDottedIP(ips->Get(i))) << ips->Get(i);
}

// Run by the wsocket_long_hostname test, under a host name of 64 characters.
TEST(WSocketUnit, LongHostName) {
  const char* want = std::getenv("NEMBRA_TEST_HOSTNAME");
  if (!want) GTEST_SKIP() << "runs under its own host name only";
  EXPECT_EQ(std::strlen(want), 64u);
  EXPECT_EQ(LocalHostName(), want);
}

// ---------------------------------------------------------------- defaults and refusals

TEST(WSocketProps, DefaultsAfterConstruction) {
  auto s = NewSocket();
  EXPECT_EQ(s->State(), wsClosed);
  EXPECT_EQ(s->Proto(), "tcp");
  EXPECT_EQ(s->LocalAddr(), "0.0.0.0");
  EXPECT_EQ(s->LocalPort(), "0");
  EXPECT_EQ(s->SendBlockSize(), 1460);
  EXPECT_EQ(s->MultiCastIpTTL(), 1);
  EXPECT_EQ(s->FlushTimeout(), 60);
  EXPECT_EQ(s->LingerOnOff(), wsLingerOn);
  EXPECT_EQ(s->LingerTimeout(), 0);
  EXPECT_EQ(s->SendFlags(), wsSendNormal);
  EXPECT_TRUE(s->ComponentOptions().Empty());
  EXPECT_EQ(s->HSocket(), INVALID_SOCKET);
  EXPECT_NE(s->Handle(), nullptr);
  EXPECT_EQ(s->PeerAddr(), "error");
  EXPECT_EQ(s->PeerPort(), "error");
  EXPECT_EQ(s->GetXPort(), "error");
  EXPECT_EQ(s->GetXAddr(), "error");
  // The component lives in the window's extra bytes, as a whole pointer.
  EXPECT_EQ(GetWindowLongPtrA(s->Handle(), 0), reinterpret_cast<LONG_PTR>(static_cast<TWindowObject*>(s.get())));
  EXPECT_EQ(TObjectWindowClass::ObjectOf(s->Handle()), s.get());
  char cls[64] = {};
  GetClassNameA(s->Handle(), cls, sizeof cls);
  EXPECT_STREQ(cls, "XSocketWindowClass");

  s->SetAddr("  example.org ");
  s->SetLocalAddr("");
  s->SetSendFlags(wsSendUrgent);
  EXPECT_EQ(s->Addr(), "example.org");
  EXPECT_EQ(s->LocalAddr(), "0.0.0.0");
  EXPECT_EQ(s->SendFlags(), wsSendUrgent);
  EXPECT_EQ(SocketExceptionText([&] { s->SetSendFlags(static_cast<TSocketSendFlags>(7)); }), "Invalid SendFlags");
}

// Every refusal, in the order the checks are made.
TEST(WSocketProps, RefusalTexts) {
  auto s = NewSocket();
  auto refusal = [&](const std::function<void()>& fn) { return SocketExceptionText(fn); };

  s->SetProto("");
  EXPECT_EQ(refusal([&] { s->Connect(); }), "Connect: No Port Specified");
  s->SetPort("80");
  EXPECT_EQ(refusal([&] { s->Connect(); }), "Connect: No IP Address Specified");
  s->SetAddr("127.0.0.1");
  EXPECT_EQ(refusal([&] { s->Connect(); }), "Connect: No Protocol Specified");
  s->SetProto("tcp");
  s->SetAddr("300.1.1.1");
  EXPECT_TRUE(StartsText("connect: WSocketResolveHost: Cannot convert host address '300.1.1.1'",
                         refusal([&] { s->Connect(); })));
  s->SetAddr("127.0.0.1");
  s->SetPort("no-such-service");
  EXPECT_TRUE(StartsText("connect: WSocketResolvePort: Cannot convert port", refusal([&] { s->Connect(); })));

  auto l = NewSocket();
  EXPECT_EQ(refusal([&] { l->Listen(); }), "Error 10022 in function listen: port not assigned\r\nInvalid argument");
  l->SetPort("0");
  l->SetProto("");
  EXPECT_EQ(refusal([&] { l->Listen(); }), "Error 10022 in function listen: protocol not assigned\r\nInvalid argument");
  l->SetProto("tcp");
  EXPECT_EQ(refusal([&] { l->Listen(); }), "Error 10022 in function listen: address not assigned\r\nInvalid argument");
  l->SetAddr("300.1.1.1");
  EXPECT_TRUE(StartsText("listen: WSocketResolveHost:", refusal([&] { l->Listen(); })));
  EXPECT_EQ(refusal([&] { l->Accept(); }), "Error 10022 in function not a listening socket\r\nInvalid argument");
  EXPECT_EQ(refusal([&] { l->Dup(INVALID_SOCKET); }), "Error 10022 in function Dup\r\nInvalid argument");
  EXPECT_EQ(refusal([&] { l->Dup(0); }), "Error 10022 in function Dup\r\nInvalid argument");
  EXPECT_EQ(refusal([&] { l->DnsLookup(""); }), "DNS lookup: invalid host name.");
  EXPECT_EQ(refusal([&] { l->ReverseDnsLookup(""); }), "ReverseDnsLookup: Invalid host name.");
  EXPECT_EQ(refusal([&] { l->SetLingerOption(); }), "Cannot set linger option at this time");
  EXPECT_EQ(refusal([&] { l->ThreadAttach(); }), "Cannot attach when not detached");
  String detach;
  std::thread([&] { detach = refusal([&] { l->ThreadDetach(); }); }).join();
  EXPECT_EQ(detach, "Cannot detach from other thread");
  l->ThreadDetach();
  EXPECT_EQ(l->Handle(), nullptr);
  l->ThreadAttach();
  EXPECT_NE(l->Handle(), nullptr);
  EXPECT_EQ(refusal([&] { l->Send("x", 1); }), "Error 10057 in function Send\r\nSocket is not connected");

  // A listening socket refuses changes and a second start.
  l->SetAddr("127.0.0.1");
  l->Listen();
  ASSERT_EQ(l->State(), wsListening);
  EXPECT_EQ(refusal([&] { l->SetAddr("x"); }), "Cannot change Addr if not closed");
  EXPECT_EQ(refusal([&] { l->SetPort("1"); }), "Cannot change Port if not closed");
  EXPECT_EQ(refusal([&] { l->SetProto("udp"); }), "Cannot change Proto if not closed");
  EXPECT_EQ(refusal([&] { l->SetLocalAddr("127.0.0.1"); }), "Cannot change LocalAddr if not closed");
  EXPECT_EQ(refusal([&] { l->SetLocalPort("1"); }), "Cannot change LocalPort if not closed");
  EXPECT_EQ(refusal([&] { l->Connect(); }), "Connect: Socket already in use");

  // After a close, Addr and Port must be set again (the same text will do).
  l->Close();
  EXPECT_EQ(l->State(), wsClosed);
  EXPECT_EQ(l->Addr(), "127.0.0.1");
  EXPECT_EQ(refusal([&] { l->Connect(); }), "Connect: No Port Specified");
  l->SetPort("0");
  EXPECT_EQ(refusal([&] { l->Connect(); }), "Connect: No IP Address Specified");

  // With OnError assigned the refusals fire it and return.
  int errors = 0;
  int lookupDone = -1;
  l->OnError = [&](TObject*) { ++errors; };
  l->OnDnsLookupDone = [&](TObject*, WORD e) { lookupDone = e; };
  EXPECT_EQ(refusal([&] { l->Connect(); }), "");
  l->DnsLookup("");
  EXPECT_EQ(errors, 2);
  EXPECT_EQ(lookupDone, WSAEINVAL);
}

// A bind that fails leaves no socket behind.
TEST(WSocketProps, FailedListenBindClosesItsSocket) {
  auto a = NewSocket();
  a->SetAddr("127.0.0.1");
  a->SetPort("0");
  a->Listen();
  ASSERT_EQ(a->State(), wsListening);
  auto b = NewSocket();
  b->SetAddr("127.0.0.1");
  b->SetPort(a->GetXPort());
  String text = SocketExceptionText([&] { b->Listen(); });
  EXPECT_EQ(text, "Error 10048 in function Bind\r\nAddress already in use");
  EXPECT_EQ(b->HSocket(), INVALID_SOCKET);
  EXPECT_EQ(b->State(), wsClosed);
}
