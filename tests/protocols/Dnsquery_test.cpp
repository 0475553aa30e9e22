// The DNS query component: queries on the wire, replies from dnsmasq, and
// malformed or missing replies from a scripted UDP server.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include "support/Dnsmessage.h"
#include "support/Udppeer.h"
#include "protocols/Dnsquery.h"
#include "support/Peers.h"
#include "support/Testutil.h"

namespace {

using namespace dnsmsg;

const int kReplyFlags = 0x8180;  // reply, recursion desired and available

// A sound reply with one A record named by a pointer to the question.
String GoodReply(const String& q, const String& addr) {
  return Header(QueryId(q), kReplyFlags, 1, 1) + QuestionOf(q) + Record(Pointer(12), 1, addr);
}

// ---------------------------------------------------------------- running a query

struct TDoneLog {
  std::vector<WORD> Errors;
  void Attach(TDnsQuery& dns) {
    dns.OnRequestDone = [this, &dns](TObject* sender, WORD error) {
      EXPECT_EQ(sender, &dns);
      Errors.push_back(error);
    };
  }
  bool Wait(DWORD ms = 10000) {
    size_t before = Errors.size();
    return WaitFor([&] { return Errors.size() > before; }, ms);
  }
};

// ---------------------------------------------------------------- unit routines

TEST(DnsQueryUnit, ReverseIP) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"1.2.3.4", "4.3.2.1"}, {"10.0.0.1", "1.0.0.10"}, {"192.0.2.50", "50.2.0.192"}, {"7", "7"}, {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(ReverseIP(c.in), c.out) << c.in;
}

TDnsLocRecord LocFromHex(const char* hex) {
  TDnsLocRecord loc{};
  for (size_t i = 0; i < loc.size(); ++i) loc[i] = static_cast<uint8_t>(std::stoi(String(hex + 2 * i, 2), nullptr, 16));
  return loc;
}

// Size and precision are mantissa (high 4 bits) times ten to the exponent
// (low 4 bits), in centimetres.
TEST(DnsQueryUnit, Loc2Geo) {
  const struct {
    const char* hex;
    int version;
    int64_t size, horiz, vert;
    const char *lat, *lon;
    int64_t alt;
  } cases[] = {
      // 42 21 54 N 71 06 18 W -24m 30m 2000m 50m
      {"0033255389172dd070be15f000988d20", 0, 3000, 200000, 5000, "42 21 54.000 N", "71 06 18.000 W", -24},
      // the equator and the prime meridian count as south and west
      {"00121613800000008000000000989680", 0, 100, 1000000, 1000, "0 00 00.000 S", "0 00 00.000 W", 0},
      // one thousandth of a second either side; the largest mantissa and exponent
      {"01990000800000017fffffff00000000", 1, 9000000000LL, 0, 0, "0 00 00.001 N", "0 00 00.001 W", -100000},
      // the pole; 1.5 m rounds to 2
      {"00000000934fd9007d4cd36b00989716", 0, 0, 0, 0, "90 00 00.000 N", "12 34 56.789 W", 2},
  };
  for (const auto& c : cases) {
    TLOCInfo info = Loc2Geo(LocFromHex(c.hex));
    EXPECT_EQ(info.Version, c.version) << c.hex;
    EXPECT_EQ(info.Size, c.size) << c.hex;
    EXPECT_EQ(info.HorizPre, c.horiz) << c.hex;
    EXPECT_EQ(info.VertPre, c.vert) << c.hex;
    EXPECT_EQ(info.Latitude, c.lat) << c.hex;
    EXPECT_EQ(info.Longitude, c.lon) << c.hex;
    EXPECT_EQ(info.Altitude, c.alt) << c.hex;
  }
  EXPECT_EQ(LongLatToDMS(0xa69fb200u, "EW"), "180 00 00.000 E");
}

// ---------------------------------------------------------------- queries on the wire

class DnsQueryWire : public ::testing::Test {
 protected:
  void SetUp() override { log.Attach(dns); }
  TDnsQuery dns{nullptr};
  TDoneLog log;
};

TEST_F(DnsQueryWire, QueriesAsSent) {
  const String max63(63, 'a');
  const String longest = max63 + "." + max63 + "." + max63 + "." + String(61, 'b');  // 255 bytes on the wire
  const struct {
    std::function<int(TDnsQuery&)> call;
    String name;  // as labels
    int type;
  } cases[] = {
      {[](TDnsQuery& d) { return d.ALookup("host.nembra.test"); }, Name("host.nembra.test"), 1},
      {[](TDnsQuery& d) { return d.ALookup("host.nembra.test."); }, Name("host.nembra.test"), 1},
      {[](TDnsQuery& d) { return d.MXLookup("nembra.test"); }, Name("nembra.test"), 15},
      {[](TDnsQuery& d) { return d.PTRLookup("10.0.0.1"); }, Name("1.0.0.10.in-addr.arpa"), 12},
      {[](TDnsQuery& d) { return d.QueryAny("loc.nembra.test", 29); }, Name("loc.nembra.test"), 29},
      {[](TDnsQuery& d) { return d.QueryAny(".", 2); }, String(1, '\0'), 2},
      {[&](TDnsQuery& d) { return d.ALookup(longest); }, Name(longest), 1},
  };
  const int count = static_cast<int>(std::size(cases));
  // Each query gets a reply of a bare header.
  TUdpPeer peer([](const String& q) { return std::vector<TDatagram>{{Header(QueryId(q), kReplyFlags, 0, 0)}}; },
                count);
  dns.SetAddr("127.0.0.1");
  dns.SetPort(peer.PortStr());
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(cases[i].call(dns), i + 1);
    EXPECT_EQ(dns.ResponseLen(), -1);
    ASSERT_TRUE(log.Wait()) << i;
    EXPECT_EQ(log.Errors.back(), 0);
    EXPECT_EQ(dns.ResponseID(), i + 1);
    EXPECT_EQ(dns.ResponseLen(), 12);
  }
  peer.Join();
  auto queries = peer.Queries();
  ASSERT_EQ(static_cast<int>(queries.size()), count);
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(queries[i], Header(i + 1, 0x0100, 1, 0) + cases[i].name + Be16(cases[i].type) + Be16(1)) << i;
  }
}

TEST_F(DnsQueryWire, InvalidNamesAreRefusedBeforeSending) {
  const String max63(63, 'a');
  const String names[] = {
      "a..b", ".a", "a.b..", String(64, 'a') + ".test",
      max63 + "." + max63 + "." + max63 + "." + String(62, 'b'),  // 256 bytes on the wire
  };
  dns.SetAddr("127.0.0.1");
  dns.SetPort("9");
  for (const String& n : names) {
    EXPECT_THROW(dns.ALookup(n), EDnsException) << n;
    EXPECT_EQ(dns.ID(), 0) << n;
  }
  EXPECT_THROW(dns.QueryAny("host.nembra.test", 65536), EDnsException);
  EXPECT_EQ(dns.ID(), 0);
  PumpFor(50);
  EXPECT_TRUE(log.Errors.empty());
}

// ---------------------------------------------------------------- malformed and missing replies

struct TReplyCase {
  const char* what;
  TUdpScript script;
  WORD error;
  std::function<void(TDnsQuery&)> check;
  unsigned timeout = 5000;
};

void CheckAddress(TDnsQuery& dns, uint32_t addr) {
  EXPECT_EQ(dns.ResponseANCount(), 1);
  EXPECT_EQ(dns.ARecordCount(), 1);
  EXPECT_EQ(dns.GetAnswerTag(0), 0);
  EXPECT_EQ(dns.GetAddress(0), addr);
}

std::vector<TDatagram> One(const String& data) { return {{data}}; }

TEST(DnsQueryReplies, ScriptedServer) {
  const uint32_t good = NetAddr(192, 0, 2, 1);
  auto goodReply = [](const String& q) { return GoodReply(q, Ipv4(192, 0, 2, 1)); };
  // The first answer starts after the header and the question.
  auto answerAt = [](const String& q) { return 12 + static_cast<int>(QuestionOf(q).size()); };
  auto malformed = [](TDnsQuery& dns) {
    EXPECT_EQ(dns.ResponseANCount(), 1);
    EXPECT_EQ(dns.QuestionName(), "");
    EXPECT_EQ(dns.ARecordCount(), 0);
    EXPECT_EQ(dns.GetAnswerName(0), "");
  };

  const TReplyCase cases[] = {
      {"answer name pointing at itself",
       [=](const String& q) {
         return One(Header(QueryId(q), kReplyFlags, 1, 1) + QuestionOf(q) + Record(Pointer(answerAt(q)), 1, Ipv4(1, 2, 3, 4)));
       },
       kDnsErrorMalformed, malformed},
      {"two pointers pointing at each other",
       [=](const String& q) {
         return One(Header(QueryId(q), kReplyFlags, 1, 1) + QuestionOf(q) +
                    Record(Pointer(answerAt(q) + 16), 1, Ipv4(1, 2, 3, 4)) + Pointer(answerAt(q)));
       },
       kDnsErrorMalformed, malformed},
      {"a label and a pointer back to it",
       [=](const String& q) {
         return One(Header(QueryId(q), kReplyFlags, 1, 1) + QuestionOf(q) +
                    Record("\x03www" + Pointer(answerAt(q)), 1, Ipv4(1, 2, 3, 4)));
       },
       kDnsErrorMalformed, malformed},
      {"pointer past the end",
       [=](const String& q) {
         return One(Header(QueryId(q), kReplyFlags, 1, 1) + QuestionOf(q) + Record(Pointer(400), 1, Ipv4(1, 2, 3, 4)));
       },
       kDnsErrorMalformed, malformed},
      {"label past the end",
       [=](const String& q) { return One(Header(QueryId(q), kReplyFlags, 1, 1) + QuestionOf(q) + "\x28short"); },
       kDnsErrorMalformed, malformed},
      {"record length past the end",
       [=](const String& q) {
         String rr = Record(Pointer(12), 1, Ipv4(1, 2, 3, 4));
         rr[rr.size() - 5] = 100;  // RDLENGTH 100, 4 bytes follow
         return One(Header(QueryId(q), kReplyFlags, 1, 1) + QuestionOf(q) + rr);
       },
       kDnsErrorMalformed, malformed},
      {"more answers announced than sent",
       [=](const String& q) {
         return One(Header(QueryId(q), kReplyFlags, 1, 3) + QuestionOf(q) + Record(Pointer(12), 1, Ipv4(1, 2, 3, 4)));
       },
       kDnsErrorMalformed,
       [](TDnsQuery& dns) {
         EXPECT_EQ(dns.ResponseANCount(), 3);
         EXPECT_EQ(dns.ARecordCount(), 0);
       }},
      {"MX exchange running past its record",
       [=](const String& q) {
         String rr = Record(Pointer(12), 15, Be16(10) + Name("mx1.nembra.test"));
         rr[rr.size() - 20] = 4;  // RDLENGTH 4 of 19
         return One(Header(QueryId(q), kReplyFlags, 1, 1) + QuestionOf(q) + rr);
       },
       kDnsErrorMalformed, malformed},
      {"question cut short",
       [=](const String& q) {
         return One(Header(QueryId(q), kReplyFlags, 1, 0) + QuestionOf(q).substr(0, QuestionOf(q).size() - 2));
       },
       kDnsErrorMalformed,
       [](TDnsQuery& dns) {
         EXPECT_EQ(dns.ResponseQDCount(), 1);
         EXPECT_EQ(dns.QuestionName(), "");
       }},
      {"two questions; the answer names the second",
       [=](const String& q) {
         int second = answerAt(q);
         return One(Header(QueryId(q), kReplyFlags, 2, 1) + QuestionOf(q) + Name("other.test") + Be16(1) + Be16(1) +
                    Record("\x03www" + Pointer(second), 1, Ipv4(192, 0, 2, 1)));
       },
       0,
       [=](TDnsQuery& dns) {
         EXPECT_EQ(dns.ResponseQDCount(), 2);
         EXPECT_EQ(dns.QuestionName(), "host.nembra.test");
         EXPECT_EQ(dns.QuestionType(), 1);
         EXPECT_EQ(dns.QuestionClass(), 1);
         EXPECT_EQ(dns.GetAnswerName(0), "www.other.test");
         EXPECT_EQ(dns.GetAnswerTTL(0), 300u);
         CheckAddress(dns, good);
       }},
      {"short datagram, then the reply",
       [=](const String& q) {
         return std::vector<TDatagram>{{goodReply(q).substr(0, 11)}, {goodReply(q)}};
       },
       0, [=](TDnsQuery& dns) { CheckAddress(dns, good); }},
      {"reply bit clear, then the reply",
       [=](const String& q) { return std::vector<TDatagram>{{q}, {goodReply(q)}}; }, 0,
       [=](TDnsQuery& dns) { CheckAddress(dns, good); }},
      {"wrong ID, then the reply",
       [=](const String& q) {
         String other = GoodReply(q, Ipv4(10, 9, 9, 9));
         other[1] = static_cast<char>(other[1] + 1);
         return std::vector<TDatagram>{{other}, {goodReply(q)}};
       },
       0,
       [=](TDnsQuery& dns) {
         EXPECT_EQ(dns.ResponseID(), dns.ID());
         CheckAddress(dns, good);
       }},
      {"a bare header",
       [=](const String& q) { return One(Header(QueryId(q), 0x8183, 0, 0)); }, 0,
       [](TDnsQuery& dns) {
         EXPECT_EQ(dns.ResponseCode(), 3);
         EXPECT_EQ(dns.QuestionName(), "");
         EXPECT_EQ(dns.QuestionType(), 0);
         EXPECT_EQ(dns.ResponseANCount(), 0);
       }},
      {"a reply over 512 bytes",
       [=](const String& q) {
         String big = Header(QueryId(q), kReplyFlags, 1, 1) + QuestionOf(q) +
                      Record(Pointer(12), 16, String(1, static_cast<char>(255)) + String(255, 't'));
         big += Record(Pointer(12), 16, String(1, static_cast<char>(255)) + String(255, 'u'));
         return One(big);
       },
       kDnsErrorTooLong, nullptr},
      {"no reply at all", [](const String&) { return std::vector<TDatagram>{}; }, kDnsErrorTimeout,
       [](TDnsQuery& dns) { EXPECT_EQ(dns.ResponseLen(), -1); }, 600},
      {"the reply after the time-out",
       [=](const String& q) { return std::vector<TDatagram>{{goodReply(q), 1000}}; }, kDnsErrorTimeout,
       [](TDnsQuery& dns) { EXPECT_EQ(dns.ResponseLen(), -1); }, 600},
  };

  for (const TReplyCase& c : cases) {
    SCOPED_TRACE(c.what);
    TDnsQuery dns(nullptr);
    TDoneLog log;
    log.Attach(dns);
    TUdpPeer peer(c.script);
    dns.SetAddr("127.0.0.1");
    dns.SetPort(peer.PortStr());
    dns.SetTimeout(c.timeout);
    ULONGLONG start = GetTickCount64();
    dns.ALookup("host.nembra.test");
    ASSERT_TRUE(log.Wait());
    ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_EQ(log.Errors[0], c.error);
    if (c.error == kDnsErrorTimeout) {
      EXPECT_GE(elapsed, c.timeout - 50);
      EXPECT_LT(elapsed, c.timeout + 2000);
    }
    if (c.check) c.check(dns);
    // Whatever else the server sends changes nothing.
    WaitFor([&] { return peer.Done(); });
    PumpFor(100);
    EXPECT_EQ(log.Errors.size(), 1u);
  }
}

// ---------------------------------------------------------------- dnsmasq

struct TServerCase {
  const char* what;
  std::function<int(TDnsQuery&)> call;
  std::function<void(TDnsQuery&)> check;
};

TEST(DnsQueryServer, Dnsmasq) {
  auto common = [](TDnsQuery& dns, const char* question, int type, int answers) {
    EXPECT_EQ(dns.ResponseID(), dns.ID());
    EXPECT_EQ(dns.ResponseCode(), 0);
    EXPECT_EQ(dns.ResponseOpCode(), 0);
    EXPECT_TRUE(dns.ResponseAuthoritative());
    EXPECT_FALSE(dns.ResponseTruncated());
    EXPECT_EQ(dns.ResponseQDCount(), 1);
    EXPECT_EQ(dns.ResponseANCount(), answers);
    EXPECT_EQ(dns.QuestionName(), question);
    EXPECT_EQ(dns.QuestionType(), type);
    EXPECT_EQ(dns.QuestionClass(), 1);
    EXPECT_GT(dns.ResponseLen(), 12);
    for (int i = 0; i < answers; ++i) {
      EXPECT_EQ(dns.GetAnswerType(i), type) << i;
      EXPECT_EQ(dns.GetAnswerClass(i), 1) << i;
      EXPECT_EQ(dns.GetAnswerTTL(i), 600u) << i;
    }
  };
  const TServerCase cases[] = {
      {"A", [](TDnsQuery& d) { return d.ALookup("host.nembra.test"); },
       [&](TDnsQuery& d) {
         common(d, "host.nembra.test", 1, 1);
         EXPECT_EQ(d.GetAnswerName(0), "host.nembra.test");
         EXPECT_EQ(d.ARecordCount(), 1);
         EXPECT_EQ(d.GetAnswerTag(0), 0);
         EXPECT_EQ(d.GetAddress(0), NetAddr(192, 0, 2, 10));
       }},
      {"three A", [](TDnsQuery& d) { return d.ALookup("multi.nembra.test"); },
       [&](TDnsQuery& d) {
         common(d, "multi.nembra.test", 1, 3);
         ASSERT_EQ(d.ARecordCount(), 3);
         std::vector<uint32_t> got;
         for (int i = 0; i < 3; ++i) {
           EXPECT_EQ(d.GetAnswerTag(i), i);
           got.push_back(d.GetAddress(i));
         }
         EXPECT_EQ(got, (std::vector<uint32_t>{NetAddr(192, 0, 2, 21), NetAddr(192, 0, 2, 22), NetAddr(192, 0, 2, 23)}));
       }},
      {"MX", [](TDnsQuery& d) { return d.MXLookup("nembra.test"); },
       [&](TDnsQuery& d) {
         common(d, "nembra.test", 15, 2);
         ASSERT_EQ(d.MXRecordCount(), 2);
         EXPECT_EQ(d.GetAnswerName(1), "nembra.test");
         EXPECT_EQ(d.GetMXPreference(0), 10);
         EXPECT_EQ(d.GetMXExchange(0), "mx1.nembra.test");
         EXPECT_EQ(d.GetMXPreference(1), 20);
         EXPECT_EQ(d.GetMXExchange(1), "mx2.nembra.test");
         EXPECT_EQ(d.ARecordCount(), 0);  // the additional section is not read
       }},
      {"eleven PTR", [](TDnsQuery& d) { return d.PTRLookup("192.0.2.50"); },
       [&](TDnsQuery& d) {
         common(d, "50.2.0.192.in-addr.arpa", 12, 11);
         EXPECT_EQ(d.PTRRecordCount(), 10);
         for (int i = 0; i < 10; ++i) {
           EXPECT_EQ(d.GetAnswerTag(i), i);
           EXPECT_EQ(d.GetHostname(i), Format("ptr%.2d.nembra.test", i + 1));
         }
         EXPECT_EQ(d.GetAnswerName(10), "50.2.0.192.in-addr.arpa");
         EXPECT_EQ(d.GetAnswerTag(10), -1);
         EXPECT_EQ(d.GetHostname(10), "");
       }},
      {"LOC", [](TDnsQuery& d) { return d.QueryAny("loc.nembra.test", DnsQueryLOC); },
       [&](TDnsQuery& d) {
         common(d, "loc.nembra.test", 29, 1);
         EXPECT_EQ(d.GetAnswerTag(0), -1);
         EXPECT_EQ(d.LocRecord(), LocFromHex("0033255389172dd070be15f000988d20"));
         TLOCInfo loc = Loc2Geo(d.LocRecord());
         EXPECT_EQ(loc.Latitude, "42 21 54.000 N");
         EXPECT_EQ(loc.Longitude, "71 06 18.000 W");
         EXPECT_EQ(loc.Altitude, -24);
         EXPECT_EQ(loc.Size, 3000);
       }},
      {"TXT", [](TDnsQuery& d) { return d.QueryAny("txt.nembra.test", 16); },
       [&](TDnsQuery& d) {
         common(d, "txt.nembra.test", 16, 1);
         EXPECT_EQ(d.GetAnswerTag(0), -1);
         EXPECT_EQ(d.ARecordCount() + d.MXRecordCount() + d.PTRRecordCount(), 0);
       }},
      {"no such name", [](TDnsQuery& d) { return d.ALookup("none.nembra.test"); },
       [&](TDnsQuery& d) {
         EXPECT_EQ(d.ResponseCode(), 3);
         EXPECT_EQ(d.QuestionName(), "none.nembra.test");
         EXPECT_EQ(d.ResponseANCount(), 0);
         EXPECT_EQ(d.ARecordCount() + d.MXRecordCount() + d.PTRRecordCount(), 0);
       }},
  };

  // One component for every query: the socket is set up anew each time.
  TDnsQuery dns(nullptr);
  TDoneLog log;
  log.Attach(dns);
  dns.SetAddr("127.0.0.1");
  dns.SetPort(PeerPortStr(ppDns));
  for (const TServerCase& c : cases) {
    SCOPED_TRACE(c.what);
    log.Errors.clear();
    int id = c.call(dns);
    EXPECT_EQ(id, dns.ID());
    ASSERT_TRUE(log.Wait());
    ASSERT_EQ(log.Errors, std::vector<WORD>{0});
    c.check(dns);
  }
}

// A new query replaces one still waiting: only the new one ends.
TEST(DnsQueryServer, NewQueryReplacesTheWaitingOne) {
  TUdpPeer silent([](const String&) { return std::vector<TDatagram>{}; });
  TDnsQuery dns(nullptr);
  TDoneLog log;
  log.Attach(dns);
  dns.SetTimeout(1000);
  dns.SetAddr("127.0.0.1");
  dns.SetPort(silent.PortStr());
  dns.ALookup("host.nembra.test");
  dns.SetPort(PeerPortStr(ppDns));
  int id = dns.ALookup("host.nembra.test");
  ASSERT_TRUE(log.Wait());
  PumpFor(1300);
  EXPECT_EQ(log.Errors, std::vector<WORD>{0});
  EXPECT_EQ(dns.ResponseID(), id);
  EXPECT_EQ(dns.GetAddress(0), NetAddr(192, 0, 2, 10));
}

// A failing OnRequestDone reaches the application's hook once, after the
// message that ran it; the component answers the next query as before.
TEST(DnsQueryServer, FailingRequestDoneReachesTheApplicationOnce) {
  TUdpPeer peer([](const String& q) { return One(GoodReply(q, Ipv4(192, 0, 2, 1))); }, 2);
  TDnsQuery dns(nullptr);
  dns.SetTimeout(5000);
  dns.SetAddr("127.0.0.1");
  dns.SetPort(peer.PortStr());
  std::vector<String> app;
  Application->OnException = [&](TObject* sender, Exception& e) {
    EXPECT_EQ(sender, &dns);
    app.push_back(e.Message);
  };
  int calls = 0;
  dns.OnRequestDone = [&](TObject*, WORD) {
    ++calls;
    EXPECT_TRUE(app.empty());
    throw EDnsException("done handler failed");
  };
  dns.ALookup("host.nembra.test");
  ASSERT_TRUE(WaitFor([&] { return !app.empty(); }));
  PumpFor(100);
  EXPECT_EQ(app, std::vector<String>{"done handler failed"});
  EXPECT_EQ(calls, 1);

  TDoneLog log;
  log.Attach(dns);
  dns.ALookup("host.nembra.test");
  ASSERT_TRUE(log.Wait());
  EXPECT_EQ(log.Errors, std::vector<WORD>{0});
  EXPECT_EQ(dns.GetAddress(0), NetAddr(192, 0, 2, 1));
  EXPECT_EQ(app.size(), 1u);
}

}  // namespace
