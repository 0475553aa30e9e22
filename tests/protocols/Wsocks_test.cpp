// The SOCKS layer: real SOCKS servers (dante, ssh -D) in front of nginx, and
// scripted SOCKS servers for exact exchanges, failures and split replies.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/Scriptedpeer.h"
#include "protocols/Wsocket.h"
#include "support/Peers.h"
#include "support/Testutil.h"

namespace {

// Shows the bound address and port of the last SOCKS 5 reply.
class TSocksProbe : public TWSocket {
 public:
  using TWSocket::TWSocket;
  const String& BoundAddr() const { return FBoundAddr; }
  const String& BoundPort() const { return FBoundPort; }
};

// Records the events of a socket in order, and the data it received.
struct TSocksLog {
  std::vector<String> Items;
  String Data;
  bool Closed = false;
  void Attach(TWSocket* s) {
    s->OnSocksConnected = [this](TObject*, WORD e) { Items.push_back("socks " + IntToStr(e)); };
    s->OnSocksError = [this](TObject*, int e, String m) { Items.push_back("error " + IntToStr(e) + " " + m); };
    s->OnSocksAuthState = [this](TObject*, TSocksAuthState a) { Items.push_back("auth " + IntToStr(a)); };
    s->OnSessionConnected = [this](TObject*, WORD e) { Items.push_back("connected " + IntToStr(e)); };
    s->OnSessionClosed = [this](TObject*, WORD e) {
      Items.push_back("closed " + IntToStr(e));
      Closed = true;
    };
    s->OnDataAvailable = [this, s](TObject*, WORD) { Data += s->ReceiveStr(); };
  }
  String Text() const {
    String t;
    for (const auto& i : Items) t += (t.empty() ? "" : "|") + i;
    return t;
  }
};

// What a scripted SOCKS server received and what it answers. The server
// reads each message of the client whole, then sends the answer given
// for it; an empty answer closes the connection instead.
struct TSocksExchange {
  String MethodReply;           // SOCKS 5, after the greeting
  String AuthReply;             // after the user/password message
  std::vector<String> Reply;    // the connect reply, piece by piece (30 ms apart)
  bool Auth = false;            // the client is expected to authenticate
  // Received:
  String Greeting, AuthMsg, Request, After;
};

void NoDelay(SOCKET c) {
  BOOL on = TRUE;
  setsockopt(c, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

String RecvUntilNul(SOCKET c) {
  String s;
  for (;;) {
    String b = RecvBytes(c, 1);
    if (b.empty()) break;
    s += b;
    if (b[0] == '\0') break;
  }
  return s;
}

String ReadSocks4Request(SOCKET c) {
  String r = RecvBytes(c, 8);
  if (r.size() < 8) return r;
  r += RecvUntilNul(c);
  if (r[4] == 0 && r[5] == 0 && r[6] == 0 && r[7] != 0) r += RecvUntilNul(c);
  return r;
}

String ReadSocks5Request(SOCKET c) {
  String r = RecvBytes(c, 4);
  if (r.size() < 4) return r;
  if (r[3] == 3) {
    String n = RecvBytes(c, 1);
    r += n;
    if (n.empty()) return r;
    r += RecvBytes(c, static_cast<unsigned char>(n[0]));
  } else {
    r += RecvBytes(c, r[3] == 4 ? 16 : 4);
  }
  return r + RecvBytes(c, 2);
}

// A scripted server for SOCKS level 4/4A ("4") or 5.
std::unique_ptr<TScriptedPeer> SocksServer(const String& level, std::shared_ptr<TSocksExchange> x) {
  return std::make_unique<TScriptedPeer>([level, x](SOCKET c) {
    NoDelay(c);
    if (level == "5") {
      x->Greeting = RecvBytes(c, 2);
      if (x->Greeting.size() < 2) return;
      x->Greeting += RecvBytes(c, static_cast<unsigned char>(x->Greeting[1]));
      if (x->MethodReply.empty() || !SendBytes(c, x->MethodReply)) return;
      if (x->Auth) {
        String m = RecvBytes(c, 2);
        if (m.size() == 2) {
          m += RecvBytes(c, static_cast<unsigned char>(m[1]));
          String p = RecvBytes(c, 1);
          m += p;
          if (!p.empty()) m += RecvBytes(c, static_cast<unsigned char>(p[0]));
        }
        x->AuthMsg = m;
        if (x->AuthReply.empty() || !SendBytes(c, x->AuthReply)) return;
      }
      x->Request = ReadSocks5Request(c);
    } else {
      x->Request = ReadSocks4Request(c);
    }
    if (x->Reply.empty()) return;
    for (size_t i = 0; i < x->Reply.size(); ++i) {
      if (i > 0) Sleep(30);
      if (!SendBytes(c, x->Reply[i])) return;
    }
    x->After = RecvUntilClosed(c, 1 << 16);
  });
}

String Bytes(std::initializer_list<int> b) {
  String s;
  for (int v : b) s += static_cast<char>(v);
  return s;
}

// A SOCKS 5 reply with an IPv4 bound address 127.0.0.1:1080.
String Reply5(int code = 0) { return Bytes({5, code, 0, 1, 127, 0, 0, 1, 0x04, 0x38}); }
String Reply4(int code) { return Bytes({0, code, 0, 0, 0, 0, 0, 0}); }

class WSocks : public ::testing::Test {
 protected:
  void SetUp() override { StartTestWinsock(); }
  void TearDown() override { owner_.reset(); }
  template <class T = TWSocket>
  T* New() {
    return new T(owner_.get());
  }
  // Connects s to Addr:Port through the SOCKS server at SocksPort.
  static void Start(TWSocket* s, const String& level, int socksPort, const String& addr = "127.0.0.1",
                    const String& port = "4321") {
    s->SetSocksServer("127.0.0.1");
    s->SetSocksPort(IntToStr(socksPort));
    s->SetSocksLevel(level);
    s->SetAddr(addr);
    s->SetPort(port);
    s->Connect();
  }
  // Runs a scripted exchange to its end; returns the events.
  String Run(TWSocket* s, TSocksLog& log, const String& level, const std::shared_ptr<TSocksExchange>& x,
             const String& addr = "127.0.0.1") {
    auto peer = SocksServer(level == "5" ? "5" : "4", x);
    log.Attach(s);
    Start(s, level, peer->Port(), addr);
    // A failure closes the socket; a granted request leaves it connected.
    auto granted = [&] {
      for (const auto& i : log.Items)
        if (i == "connected 0") return true;
      return false;
    };
    EXPECT_TRUE(WaitFor([&] { return log.Closed || granted(); }));
    if (!log.Closed) s->Close();
    peer->Join();
    PumpFor(20);
    return log.Text();
  }

 private:
  struct TFree {
    void operator()(TComponent* c) const { c->Free(); }
  };
  std::unique_ptr<TComponent, TFree> owner_{new TComponent(nullptr)};
};

String HttpGet() { return "GET /index.html HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"; }

}  // namespace

// ---------------------------------------------------------------- properties

TEST_F(WSocks, PropertiesAndRefusals) {
  auto* s = New();
  EXPECT_EQ(s->SocksLevel(), "5");
  s->SetSocksLevel("4a");
  EXPECT_EQ(s->SocksLevel(), "4A");
  for (const char* bad : {"6", "", "4b", "45"}) {
    try {
      s->SetSocksLevel(bad);
      ADD_FAILURE() << bad;
    } catch (ESocketException& e) {
      EXPECT_EQ(e.Message, "Invalid socks level. Must be 4, 4A or 5.");
    }
  }
  EXPECT_EQ(s->SocksLevel(), "4A");
  s->SetSocksServer("  127.0.0.1 ");
  EXPECT_EQ(s->SocksServer(), "127.0.0.1");

  // Only TCP, and no listening, through a SOCKS server.
  s->SetProto("udp");
  s->SetAddr("127.0.0.1");
  s->SetPort("53");
  try {
    s->Connect();
    ADD_FAILURE();
  } catch (ESocketException& e) {
    EXPECT_EQ(e.Message, "tcp is the only protocol supported thru socks server");
  }
  s->SetProto("tcp");
  try {
    s->Listen();
    ADD_FAILURE();
  } catch (ESocketException& e) {
    EXPECT_EQ(e.Message, "Listening is not supported thru socks server");
  }
  EXPECT_EQ(s->State(), wsClosed);
}

TEST_F(WSocks, ChangesRefusedWhileOpenAndDefaultsAfterClose) {
  auto x = std::make_shared<TSocksExchange>();
  x->MethodReply = Bytes({5, 0});
  x->Reply = {Reply5()};
  auto peer = SocksServer("5", x);
  auto* s = New();
  TSocksLog log;
  log.Attach(s);
  s->SetSocksUsercode("keep");
  s->SetSocksPassword("kept");
  s->SetSocksAuthentication(socksAuthenticateUsercode);
  Start(s, "5", peer->Port());
  for (auto [set, text] : std::vector<std::pair<std::function<void()>, String>>{
           {[&] { s->SetSocksLevel("4"); }, "Can't change socks level if not closed"},
           {[&] { s->SetSocksServer("10.0.0.1"); }, "Can't change socks server if not closed"},
           {[&] { s->SetSocksPort("1080"); }, "Can't change socks port if not closed"}}) {
    try {
      set();
      ADD_FAILURE() << text;
    } catch (ESocketException& e) {
      EXPECT_EQ(e.Message, text);
    }
  }
  ASSERT_TRUE(WaitFor([&] { return s->State() == wsConnected && log.Items.size() >= 2; }));
  s->Close();
  peer->Join();
  EXPECT_EQ(s->SocksLevel(), "5");
  EXPECT_EQ(s->SocksServer(), "");
  EXPECT_EQ(s->SocksPort(), "");
  EXPECT_EQ(s->SocksUsercode(), "keep");
  EXPECT_EQ(s->SocksPassword(), "kept");
  EXPECT_EQ(s->SocksAuthentication(), socksAuthenticateUsercode);
}

// ---------------------------------------------------------------- real servers

struct TRealCase {
  const char* name;
  TPeerPort server;
  const char* level;
  const char* addr;
  const char* user;
  const char* password;
  const char* events;  // before the close
};

TEST_F(WSocks, RealServersReachNginx) {
  const TRealCase cases[] = {
      {"dante 4", ppSocks, "4", "127.0.0.1", "", "", "socks 0|connected 0"},
      {"dante 5", ppSocks, "5", "127.0.0.1", "", "", "socks 0|connected 0"},
      {"dante 5 user", ppSocksAuth, "5", "127.0.0.1", kSocksUser, kSocksPassword,
       "socks 0|auth 0|auth 1|connected 0"},
      {"ssh 4", ppSshSocks, "4", "127.0.0.1", "", "", "socks 0|connected 0"},
      {"ssh 4A", ppSshSocks, "4A", "localhost", "nembra", "", "socks 0|connected 0"},
      {"ssh 5", ppSshSocks, "5", "localhost", "", "", "socks 0|connected 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto* s = New();
    TSocksLog log;
    log.Attach(s);
    s->OnSessionConnected = [&](TObject*, WORD e) {
      log.Items.push_back("connected " + IntToStr(e));
      if (e == 0) s->SendStr(HttpGet());
    };
    s->SetSocksUsercode(c.user);
    s->SetSocksPassword(c.password);
    s->SetSocksAuthentication(*c.user && *c.password ? socksAuthenticateUsercode : socksNoAuthentication);
    Start(s, c.level, PeerPort(c.server), c.addr, PeerPortStr(ppHttp));
    ASSERT_TRUE(WaitFor([&] { return log.Closed; }));
    EXPECT_EQ(log.Text(), String(c.events) + "|closed 0");
    EXPECT_TRUE(StartsText("HTTP/1.1 200", log.Data)) << log.Data;
    EXPECT_TRUE(EndsText("\r\n\r\nHello from nginx\n", log.Data)) << log.Data;
  }
}

// Line mode on a SOCKS connection: the lines start after the exchange.
TEST_F(WSocks, LineModeThroughDante) {
  auto* s = New();
  std::vector<String> lines;
  bool closed = false;
  s->SetLineMode(true);
  s->OnSessionConnected = [&](TObject*, WORD e) {
    if (e == 0) s->SendStr(HttpGet());
  };
  s->OnDataAvailable = [&](TObject*, WORD) { lines.push_back(s->ReceiveStr()); };
  s->OnSessionClosed = [&](TObject*, WORD) { closed = true; };
  Start(s, "5", PeerPort(ppSocks), "127.0.0.1", PeerPortStr(ppHttp));
  ASSERT_TRUE(WaitFor([&] { return closed; }));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(lines.back(), "Hello from nginx\n");  // the last line, at the close
  EXPECT_EQ(lines[lines.size() - 2], "\r\n");
}

TEST_F(WSocks, DanteRefusals) {
  struct {
    const char* name;
    const char* user;
    const char* password;
    const char* events;
  } cases[] = {
      {"wrong password", kSocksUser, "wrong", "socks 0|auth 0|auth 2|error 20015 socks authentication failed|"
                                              "connected 20015|closed 20015"},
      // Without a user code only "no authentication" is offered.
      {"no user", "", "", "socks 0|error 20003 authentification method not acceptable|connected 20003|closed 20003"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto* s = New();
    TSocksLog log;
    log.Attach(s);
    s->SetSocksUsercode(c.user);
    s->SetSocksPassword(c.password);
    s->SetSocksAuthentication(socksAuthenticateUsercode);
    Start(s, "5", PeerPort(ppSocksAuth), "127.0.0.1", PeerPortStr(ppHttp));
    ASSERT_TRUE(WaitFor([&] { return log.Closed; }));
    EXPECT_EQ(log.Text(), c.events);
    EXPECT_EQ(s->State(), wsClosed);
  }
}

// ---------------------------------------------------------------- scripted exchanges

// What the client sends, byte for byte.
TEST_F(WSocks, RequestsOnTheWire) {
  String port = Bytes({0x10, 0xE1});  // 4321
  {
    SCOPED_TRACE("SOCKS 5 without user: no authentication alone; dotted address sent as a name");
    auto x = std::make_shared<TSocksExchange>();
    x->MethodReply = Bytes({5, 0});
    x->Reply = {Reply5()};
    auto* s = New();
    TSocksLog log;
    s->SetSocksAuthentication(socksAuthenticateUsercode);
    Run(s, log, "5", x);
    EXPECT_EQ(x->Greeting, Bytes({5, 1, 0}));
    EXPECT_EQ(x->Request, Bytes({5, 1, 0, 3, 9}) + "127.0.0.1" + port);
    EXPECT_EQ(log.Text(), "socks 0|connected 0|closed 0");
  }
  {
    SCOPED_TRACE("SOCKS 5 with user: both methods; a server without authentication");
    auto x = std::make_shared<TSocksExchange>();
    x->MethodReply = Bytes({5, 0});
    x->Reply = {Reply5()};
    auto* s = New();
    TSocksLog log;
    s->SetSocksUsercode("u");
    s->SetSocksPassword("p");
    s->SetSocksAuthentication(socksAuthenticateUsercode);
    Run(s, log, "5", x);
    EXPECT_EQ(x->Greeting, Bytes({5, 2, 0, 2}));
    EXPECT_EQ(log.Text(), "socks 0|auth 3|connected 0|closed 0");
  }
  {
    SCOPED_TRACE("SOCKS 5 with user but no authentication asked for");
    auto x = std::make_shared<TSocksExchange>();
    x->MethodReply = Bytes({5, 0});
    x->Reply = {Reply5()};
    auto* s = New();
    TSocksLog log;
    s->SetSocksUsercode("u");
    Run(s, log, "5", x);
    EXPECT_EQ(x->Greeting, Bytes({5, 1, 0}));
    EXPECT_EQ(log.Text(), "socks 0|connected 0|closed 0");
  }
  {
    SCOPED_TRACE("SOCKS 5 user and password of 255 bytes, host name of 200: built to size");
    auto x = std::make_shared<TSocksExchange>();
    x->MethodReply = Bytes({5, 2});
    x->Auth = true;
    x->AuthReply = Bytes({1, 0});
    x->Reply = {Reply5()};
    auto* s = New();
    TSocksLog log;
    String user(255, 'u'), pass(255, 'p'), host(200, 'h');
    s->SetSocksUsercode(user);
    s->SetSocksPassword(pass);
    s->SetSocksAuthentication(socksAuthenticateUsercode);
    Run(s, log, "5", x, host);
    EXPECT_EQ(x->AuthMsg, Bytes({1, 255}) + user + Bytes({255}) + pass);
    EXPECT_EQ(x->Request, Bytes({5, 1, 0, 3, 200}) + host + port);
    EXPECT_EQ(log.Text(), "socks 0|auth 0|auth 1|connected 0|closed 0");
  }
  {
    SCOPED_TRACE("SOCKS 4A: address 0.0.0.1, user id, host name");
    auto x = std::make_shared<TSocksExchange>();
    x->Reply = {Reply4(90)};
    auto* s = New();
    TSocksLog log;
    s->SetSocksUsercode("someone");
    Run(s, log, "4A", x, "host.example");
    EXPECT_EQ(x->Request, Bytes({4, 1}) + port + Bytes({0, 0, 0, 1}) + "someone" + Bytes({0}) + "host.example" +
                              Bytes({0}));
    EXPECT_EQ(log.Text(), "socks 0|connected 0|closed 0");
  }
  {
    SCOPED_TRACE("SOCKS 4: the address resolved here, no user id");
    auto x = std::make_shared<TSocksExchange>();
    x->Reply = {Reply4(90)};
    auto* s = New();
    TSocksLog log;
    Run(s, log, "4", x, "127.0.0.2");
    EXPECT_EQ(x->Request, Bytes({4, 1}) + port + Bytes({127, 0, 0, 2, 0}));
  }
}

struct TFailCase {
  const char* name;
  const char* level;
  String methodReply;
  String reply;
  const char* events;
};

TEST_F(WSocks, ServerFailures) {
  const char* s5 = "5";
  const TFailCase cases[] = {
      {"5 code 1", s5, Bytes({5, 0}), Reply5(1),
       "socks 0|error 20004 general SOCKS server failure|connected 20004|closed 20004"},
      {"5 code 2", s5, Bytes({5, 0}), Reply5(2), "socks 0|error 20005 connection not allowed by ruleset|connected 20005|closed 20005"},
      {"5 code 3", s5, Bytes({5, 0}), Reply5(3), "socks 0|error 20006 network unreachable|connected 20006|closed 20006"},
      {"5 code 4", s5, Bytes({5, 0}), Reply5(4), "socks 0|error 20007 host unreachable|connected 20007|closed 20007"},
      {"5 code 5", s5, Bytes({5, 0}), Reply5(5), "socks 0|error 20008 connection refused|connected 20008|closed 20008"},
      {"5 code 6", s5, Bytes({5, 0}), Reply5(6), "socks 0|error 20009 time to live expired|connected 20009|closed 20009"},
      {"5 code 7", s5, Bytes({5, 0}), Reply5(7), "socks 0|error 20010 command not supported|connected 20010|closed 20010"},
      {"5 code 8", s5, Bytes({5, 0}), Reply5(8), "socks 0|error 20011 address type not supported|connected 20011|closed 20011"},
      {"5 code 9", s5, Bytes({5, 0}), Reply5(9), "socks 0|error 20012 unassigned error #9|connected 20012|closed 20012"},
      {"5 address type 7", s5, Bytes({5, 0}), Bytes({5, 0, 0, 7, 1, 2, 3, 4, 5, 6}),
       "socks 0|error 20011 address type not supported|connected 20011|closed 20011"},
      {"5 reply version", s5, Bytes({5, 0}), Bytes({4, 0, 0, 1}), "socks 0|error 20002 socks version error|connected 20002|closed 20002"},
      {"5 method version", s5, Bytes({4, 0}), "", "socks 0|error 20002 socks version error|connected 20002|closed 20002"},
      {"5 no acceptable method", s5, Bytes({5, 0xFF}), "",
       "socks 0|error 20003 authentification method not acceptable|connected 20003|closed 20003"},
      // The user/password method was not offered.
      {"5 method not offered", s5, Bytes({5, 2}), "",
       "socks 0|error 20003 authentification method not acceptable|connected 20003|closed 20003"},
      {"4 code 91", "4", "", Reply4(91), "socks 0|error 20016 request rejected or failed|connected 20016|closed 20016"},
      {"4 code 92", "4", "", Reply4(92), "socks 0|error 20008 connection refused|connected 20008|closed 20008"},
      {"4 code 93", "4", "", Reply4(93), "socks 0|error 20015 authentification failed|connected 20015|closed 20015"},
      {"4 code 95", "4A", "", Reply4(95), "socks 0|error 20012 unassigned error #95|connected 20012|closed 20012"},
      {"4 version", "4", "", Bytes({4, 90, 0, 0}), "socks 0|error 20002 socks version error|connected 20002|closed 20002"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto x = std::make_shared<TSocksExchange>();
    x->MethodReply = c.methodReply;
    if (!c.reply.empty()) x->Reply = {c.reply};
    if (String(c.level) == "5" && c.reply.empty()) x->Reply = {Reply5()};  // never reached
    auto* s = New();
    TSocksLog log;
    EXPECT_EQ(Run(s, log, c.level, x), c.events);
    EXPECT_EQ(s->State(), wsClosed);
    EXPECT_EQ(s->SocksServer(), "");
  }
}

TEST_F(WSocks, Authentication) {
  auto setUser = [](TWSocket* s) {
    s->SetSocksUsercode("nembra");
    s->SetSocksPassword("secret");
    s->SetSocksAuthentication(socksAuthenticateUsercode);
  };
  struct {
    const char* name;
    String authReply;  // empty: the server closes
    const char* events;
  } cases[] = {
      {"refused", Bytes({1, 1}), "socks 0|auth 0|auth 2|error 20015 socks authentication failed|connected 20015|closed 20015"},
      {"version", Bytes({5, 0}), "socks 0|auth 0|error 20002 socks version error|connected 20002|closed 20002"},
      {"too much", Bytes({1, 0, 0}), "socks 0|auth 0|error 20001 too much data availaible|connected 20001|closed 20001"},
      // The server closes during the authentication: the owner still learns
      // that the connection failed, after socksAuthFailure.
      {"closed", "", "socks 0|auth 0|auth 2|error 10054 data receive error|connected 10054|closed 10054"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto x = std::make_shared<TSocksExchange>();
    x->MethodReply = Bytes({5, 2});
    x->Auth = true;
    x->AuthReply = c.authReply;
    x->Reply = {Reply5()};
    auto* s = New();
    setUser(s);
    TSocksLog log;
    EXPECT_EQ(Run(s, log, "5", x), c.events);
    EXPECT_EQ(x->AuthMsg, Bytes({1, 6}) + "nembra" + Bytes({6}) + "secret");
  }
}

// Replies in pieces, replies of every address type and data right behind
// the reply.
TEST_F(WSocks, RepliesSplitAndFollowedByData) {
  String name10 = "bound.host";
  String name255(255, 'n');
  String ip6 = Bytes({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10});
  struct {
    const char* name;
    const char* level;
    std::vector<String> pieces;
    const char* bound;  // SOCKS 5: address and port
  } cases[] = {
      {"5 name of 10 in pieces", "5",
       {Bytes({5}), Bytes({0, 0, 3, 10}), "bound.ho", String("st") + Bytes({0, 21}), "hello"}, "bound.host:21"},
      {"5 name of 10 and data in one piece", "5", {Bytes({5, 0, 0, 3, 10}) + name10 + Bytes({0x1F, 0x90}) + "hello"},
       "bound.host:8080"},
      {"5 name of 255 and data", "5", {Bytes({5, 0, 0, 3, 255}) + name255 + Bytes({0, 80}) + "hello"}, ""},
      {"5 IPv6 in pieces", "5", {Bytes({5, 0, 0, 4}) + ip6.substr(0, 5), ip6.substr(5) + Bytes({4, 0}) + "hel", "lo"},
       "2001:db8::10:1024"},
      {"5 IPv4", "5", {Reply5() + "hello"}, "127.0.0.1:1080"},
      {"4 in pieces", "4", {Reply4(90).substr(0, 3), Reply4(90).substr(3) + "he", "llo"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto x = std::make_shared<TSocksExchange>();
    x->MethodReply = Bytes({5, 0});
    x->Reply = c.pieces;
    auto* s = New<TSocksProbe>();
    TSocksLog log;
    log.Attach(s);
    // The data is the peer's: the session is connected before it comes.
    String dataAtConnect = "-";
    s->OnSessionConnected = [&](TObject*, WORD e) {
      log.Items.push_back("connected " + IntToStr(e));
      dataAtConnect = log.Data;
    };
    auto peer = SocksServer(c.level, x);
    Start(s, c.level, peer->Port());
    ASSERT_TRUE(WaitFor([&] { return log.Data == "hello"; })) << log.Data;
    EXPECT_EQ(dataAtConnect, "");
    EXPECT_EQ(log.Text(), "socks 0|connected 0");
    if (*c.bound) {
      EXPECT_EQ(s->BoundAddr() + ":" + s->BoundPort(), c.bound);
    } else if (c.level[0] == '5') {
      EXPECT_EQ(s->BoundAddr() + ":" + s->BoundPort(), name255 + ":80");
    }
    s->Close();
    peer->Join();
  }
}

// Names and credentials the requests cannot carry end the connection
// through the SOCKS failure path before anything is sent.
TEST_F(WSocks, OverlongFieldsRefusedBeforeSending) {
  String long256(256, 'x');
  struct {
    const char* name;
    const char* level;
    String addr, user, password;
    const char* events;
  } cases[] = {
      {"5 host", "5", long256, "", "", "socks 0|error 20014 host name too long|connected 20014|closed 20014"},
      {"5 user", "5", "127.0.0.1", long256, "p", "socks 0|error 20014 usercode too long|connected 20014|closed 20014"},
      {"5 password", "5", "127.0.0.1", "u", long256, "socks 0|error 20014 password too long|connected 20014|closed 20014"},
      {"4A host", "4A", long256, "", "", "socks 0|error 20014 host name too long|connected 20014|closed 20014"},
      {"4 user id", "4", "127.0.0.1", long256, "", "socks 0|error 20014 usercode too long|connected 20014|closed 20014"},
      // SOCKS 4 resolves the host itself; a name it cannot resolve fails here.
      {"4 host", "4", String(300, 'x'), "", "",
       "socks 0|error 20017 ESocketException WSocketResolveHost: '"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    String received = "-";
    TScriptedPeer peer([&](SOCKET sock) { received = RecvUntilClosed(sock, 1 << 16); });
    auto* s = New();
    TSocksLog log;
    log.Attach(s);
    s->SetSocksUsercode(c.user);
    s->SetSocksPassword(c.password);
    s->SetSocksAuthentication(socksAuthenticateUsercode);
    Start(s, c.level, peer.Port(), c.addr);
    ASSERT_TRUE(WaitFor([&] { return log.Closed; }));
    peer.Join();
    EXPECT_EQ(received, "");
    EXPECT_TRUE(StartsText(c.events, log.Text())) << log.Text();
    if (String(c.level) == "4" && c.addr.size() > 255) {
      EXPECT_TRUE(EndsText("' Invalid Hostname.|connected 20017|closed 20017", log.Text())) << log.Text();
    }
  }
}

// A refused connection to the SOCKS server itself is the owner's connect
// error, once.
TEST_F(WSocks, SocksServerUnreachable) {
  auto* s = New();
  TSocksLog log;
  log.Attach(s);
  Start(s, "5", FreePort());
  ASSERT_TRUE(WaitFor([&] { return log.Closed; }));
  PumpFor(50);
  EXPECT_EQ(log.Text(), "socks 10061|connected 10061|closed 0");
}
