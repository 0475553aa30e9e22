// The finger client against efingerd on 127.0.0.1:79, and its failures.
#include <gtest/gtest.h>

#include <memory>

#include "protocols/Fingcli.h"
#include "support/Peers.h"
#include "support/Testutil.h"

namespace {

// Gives the tests the owned socket.
class TFingerProbe : public TFingerCli {
 public:
  using TFingerCli::TFingerCli;
  TWSocket* Socket() const { return FWSocket; }
};

struct TFingerRun {
  String Answer;
  std::vector<int> Done;
  std::vector<int> Connected;
  void Attach(TFingerCli* f) {
    f->OnSessionConnected = [this](TObject*, WORD e) { Connected.push_back(e); };
    f->OnDataAvailable = [this, f](TObject* sender, WORD) {
      EXPECT_EQ(sender, f);
      char buf[100];
      int n = f->Receive(buf, sizeof buf);
      if (n > 0) Answer.append(buf, static_cast<size_t>(n));
    };
    f->OnQueryDone = [this, f](TObject* sender, WORD e) {
      EXPECT_EQ(sender, f);
      Done.push_back(e);
    };
  }
};

struct TFree {
  void operator()(TComponent* c) const { c->Free(); }
};

}  // namespace

TEST(FingerCli, QueriesAgainstEfingerd) {
  struct {
    const char* query;
    String want;
  } cases[] = {
      // No user: the list of users.
      {"@127.0.0.1",
       "Login         Name\r\nnembrafinger  Nembra Finger\r\nnembraftp     Nembra FTP test\r\n\r\n"},
      {"nembrafinger@127.0.0.1",
       "Nembra Finger\r\nLogin: nembrafinger\r\nName: Nembra Finger\r\nPlan: Testing Nembra's finger client.\r\n\r\n"},
      {"nosuchuser@127.0.0.1", "finger: nosuchuser: no such user.\r\n\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    std::unique_ptr<TFingerCli, TFree> f(new TFingerCli(nullptr));
    TFingerRun run;
    run.Attach(f.get());
    f->SetQuery(c.query);
    f->StartQuery();
    ASSERT_TRUE(WaitFor([&] { return !run.Done.empty(); }));
    PumpFor(50);
    EXPECT_EQ(run.Answer, c.want);
    EXPECT_EQ(run.Done, std::vector<int>{0});
    EXPECT_EQ(run.Connected, std::vector<int>{0});
  }
}

TEST(FingerCli, InvalidQueries) {
  std::unique_ptr<TFingerCli, TFree> f(new TFingerCli(nullptr));
  TFingerRun run;
  run.Attach(f.get());
  for (auto [query, text] : {std::pair<const char*, const char*>{"nembrafinger", "TFingerCli, Invalid Query: nembrafinger"},
                             {"", "TFingerCli, Invalid Query: "},
                             {"user@", "TFingerCli, Invalid Host in query: user@"}}) {
    f->SetQuery(query);
    try {
      f->StartQuery();
      ADD_FAILURE() << query;
    } catch (Exception& e) {
      EXPECT_EQ(e.Message, text);
    }
  }
  PumpFor(50);
  EXPECT_TRUE(run.Done.empty());
}

// A connect that fails inside the lookup handler still ends the query.
TEST(FingerCli, ConnectFailingAfterLookup) {
  std::unique_ptr<TFingerProbe, TFree> f(new TFingerProbe(nullptr));
  TFingerRun run;
  run.Attach(f.get());
  // Binding to an address this host does not have fails in Connect.
  f->Socket()->SetLocalAddr("192.0.2.1");
  f->SetQuery("nembrafinger@localhost");
  f->StartQuery();
  ASSERT_TRUE(WaitFor([&] { return !run.Done.empty(); }, 5000));
  PumpFor(100);
  ASSERT_EQ(run.Done.size(), 1u);
  EXPECT_NE(run.Done[0], 0);
  EXPECT_EQ(f->Socket()->State(), wsClosed);
  EXPECT_TRUE(run.Connected.empty());
}

// Abort during the lookup ends the query with 10004, once.
TEST(FingerCli, AbortDuringLookup) {
  std::unique_ptr<TFingerCli, TFree> f(new TFingerCli(nullptr));
  TFingerRun run;
  run.Attach(f.get());
  f->SetQuery("nembrafinger@localhost");
  f->StartQuery();
  f->Abort();
  PumpFor(300);
  EXPECT_EQ(run.Done, std::vector<int>{10004});
  EXPECT_TRUE(run.Connected.empty());

  // The next query starts afresh.
  f->SetQuery("@127.0.0.1");
  f->StartQuery();
  ASSERT_TRUE(WaitFor([&] { return run.Done.size() == 2; }));
  EXPECT_EQ(run.Done[1], 0);
  EXPECT_TRUE(StartsText("Login         Name\r\n", run.Answer)) << run.Answer;
}
