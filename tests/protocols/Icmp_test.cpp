// ICMP echo against the loopback address and the test hosts that
// tests/peers/netns.sh builds in network namespaces (needs root).
#include <gtest/gtest.h>

#include <winsock2.h>

#include <iphlpapi.h>

#include <vector>

#include "classlib/Forms.h"
#include "protocols/Icmp.h"
#include "support/Peers.h"

namespace {

String ReplyData(const TICMP& icmp) {
  const ICMP_ECHO_REPLY& r = icmp.Reply();
  if (!r.Data) return String();
  return String(static_cast<const char*>(r.Data), r.DataSize);
}

String ReplyAddress(const ICMP_ECHO_REPLY& r) {
  in_addr ia;
  ia.s_addr = r.Address;
  return inet_ntoa(ia);
}

struct TEchoLog {
  std::vector<String> Events;
  void Attach(TICMP& icmp) {
    icmp.OnDisplay = [this](TObject*, String& msg) { Events.push_back("display " + msg); };
    icmp.OnEchoRequest = [this](TObject*) { Events.push_back("request"); };
    icmp.OnEchoReply = [this](TObject*, int n) { Events.push_back("reply " + IntToStr(n)); };
  }
};

TEST(Icmp, EchoesLoopbackAtEverySizeWithThePayloadText) {
  TICMP icmp;
  TEchoLog log;
  log.Attach(icmp);
  icmp.SetAddress("127.0.0.1");
  EXPECT_EQ(icmp.Size(), 56);

  // The data starts with a fixed 45-character text and is padded with blanks.
  icmp.SetSize(TICMP::PayloadLength);
  ASSERT_EQ(icmp.Ping(), 1) << icmp.GetErrorString();
  const String text = ReplyData(icmp);
  ASSERT_EQ(text.size(), 45u);
  for (char c : text) EXPECT_TRUE(c >= ' ' && c < 127) << int(c);
  EXPECT_NE(text.back(), ' ');
  EXPECT_EQ(log.Events, (std::vector<String>{"request", "reply 1"}));
  EXPECT_EQ(icmp.HostName(), "127.0.0.1");
  EXPECT_EQ(icmp.HostIP(), "127.0.0.1");

  struct {
    int size;
    String data;
  } cases[] = {
      {0, ""},
      {10, text.substr(0, 10)},
      {56, text + String(11, ' ')},
      {1400, text + String(1355, ' ')},
      {65500, text + String(65455, ' ')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    icmp.SetSize(c.size);
    ASSERT_EQ(icmp.Ping(), 1) << icmp.GetErrorString();
    EXPECT_EQ(icmp.Reply().Status, IP_SUCCESS);
    EXPECT_EQ(ReplyAddress(icmp.Reply()), "127.0.0.1");
    EXPECT_EQ(icmp.Reply().DataSize, c.size);
    EXPECT_TRUE(ReplyData(icmp) == c.data);
    EXPECT_EQ(icmp.LastError(), 0);
  }
}

TEST(Icmp, RefusesSizesOneEchoCannotCarry) {
  TICMP icmp;
  icmp.SetSize(1400);
  for (int size : {-1, 65501, 1 << 20}) {
    SCOPED_TRACE(size);
    try {
      icmp.SetSize(size);
      ADD_FAILURE() << "accepted";
    } catch (const TICMPException& e) {
      EXPECT_NE(e.Message.find(IntToStr(size)), String::npos) << e.Message;
      EXPECT_NE(e.Message.find("0 to 65500"), String::npos) << e.Message;
    }
    EXPECT_EQ(icmp.Size(), 1400);
  }
  icmp.SetSize(65500);
  EXPECT_EQ(icmp.Size(), 65500);
}

TEST(Icmp, StatusTexts) {
  const struct {
    int code;
    const char* text;
  } table[] = {
      {0, "No error"},
      {11001, "Buffer too small"},
      {11002, "Destination network unreachable"},
      {11003, "Destination host unreachable"},
      {11004, "Destination protocol unreachable"},
      {11005, "Destination port unreachable"},
      {11006, "No resources"},
      {11007, "Bad option"},
      {11008, "Hardware error"},
      {11009, "Packet too big"},
      {11010, "Request timed out"},
      {11011, "Bad request"},
      {11012, "Bad route"},
      {11013, "TTL expired in transit"},
      {11014, "TTL expired in reassembly"},
      {11015, "Parameter problem"},
      {11016, "Source quench"},
      {11017, "Option too big"},
      {11018, "Bad Destination"},
      {11019, "Address deleted"},
      {11020, "Spec MTU change"},
      {11021, "MTU change"},
      {11050, "General failure"},
      {11255, "Pending"},
      {11022, "ICMP error #11022"},
      {10060, "ICMP error #10060"},
      {-1, "ICMP error #-1"},
  };
  for (const auto& row : table) EXPECT_EQ(TICMP::StatusText(row.code), row.text) << row.code;
}

TEST(Icmp, UnresolvableNameIsReportedNotRaised) {
  TICMP icmp;
  TEchoLog log;
  log.Attach(icmp);
  // A label longer than 63 characters fails in the resolver itself, without
  // a query on the network.
  const String name = String(70, 'a') + ".invalid";
  icmp.SetAddress(name);
  EXPECT_EQ(icmp.Ping(), 0);
  EXPECT_EQ(icmp.LastError(), 11018);
  EXPECT_EQ(icmp.GetErrorString(), "Bad Destination");
  EXPECT_EQ(log.Events, (std::vector<String>{"display Unable to resolve " + name, "display Invalid host address"}));

  // A new address is resolved again, here by name.
  log.Events.clear();
  icmp.SetAddress("localhost");
  EXPECT_EQ(icmp.Ping(), 1);
  EXPECT_EQ(icmp.HostName(), "localhost");
  EXPECT_EQ(icmp.HostIP(), "127.0.0.1");
  EXPECT_EQ(log.Events, (std::vector<String>{"request", "reply 1"}));
}

TEST(Icmp, TtlExpiredInTransitIsReadFromTheReply) {
  const TNetnsHosts hosts;
  ASSERT_TRUE(hosts.Ready());
  TICMP icmp;
  icmp.SetAddress(hosts.FarHost);
  ASSERT_EQ(icmp.Ping(), 1) << icmp.GetErrorString();
  EXPECT_EQ(ReplyAddress(icmp.Reply()), hosts.FarHost);
  EXPECT_EQ(icmp.LastError(), 0);

  // The router answers for the far host; the reply of size 0 and 56 must
  // fit the router's error message, which is larger than the echo.
  icmp.SetTTL(1);
  for (int size : {0, 56}) {
    SCOPED_TRACE(size);
    icmp.SetSize(size);
    EXPECT_EQ(icmp.Ping(), 1);
    EXPECT_EQ(icmp.LastError(), 11013);
    EXPECT_EQ(icmp.GetErrorString(), "TTL expired in transit");
    EXPECT_EQ(icmp.Reply().Status, 11013u);
    EXPECT_EQ(ReplyAddress(icmp.Reply()), hosts.Router);
  }
}

TEST(Icmp, SilentHostTimesOut) {
  const TNetnsHosts hosts;
  ASSERT_TRUE(hosts.Ready());
  TICMP icmp;
  icmp.SetAddress(hosts.Dropped);
  icmp.SetTimeOut(500);
  ULONGLONG start = GetTickCount64();
  EXPECT_EQ(icmp.Ping(), 0);
  ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_EQ(icmp.LastError(), 11010);
  EXPECT_EQ(icmp.GetErrorString(), "Request timed out");
  EXPECT_GE(elapsed, 400u);
  EXPECT_LT(elapsed, 3000u);
}

}  // namespace
