// The FTP control connection through SOCKS servers (dante, ssh -D) to
// vsftpd, for every SOCKS connection type, on two connections in a row.
#include <gtest/gtest.h>

#include "Ftpscript.h"
#include "support/Peers.h"
#include "support/Testutil.h"

namespace {

struct TSocksCase {
  const char* Name;
  TFtpConnectionType Type;
  TPeerPort Socks;
  const char* User;
  const char* Password;
};

void PrintTo(const TSocksCase& c, std::ostream* os) { *os << c.Name; }

class FtpThroughSocks : public ::testing::TestWithParam<TSocksCase> {
 protected:
  void SetUp() override {
    owner_ = new TComponent(nullptr);
    ftp = NewPeerFtpClient(owner_, PeerPort(ppVsftpd));
    ftp->SetConnectionType(GetParam().Type);
    ftp->SetSocksServer("127.0.0.1");
    ftp->SetSocksPort(PeerPortStr(GetParam().Socks));
    ftp->SetSocksUserCode(GetParam().User);
    ftp->SetSocksPassword(GetParam().Password);
    rec.Attach(ftp);
  }
  void TearDown() override { owner_->Free(); }
  TFtpRecorder::TDone Run(void (TCustomFtpCli::*request)()) {
    size_t n = rec.Done.size();
    (ftp->*request)();
    if (!rec.WaitDone(n + 1)) return {ftpNone, 0xFFFF, -1, "(no report)", ""};
    return rec.Done[n];
  }

  TFtpClient* ftp = nullptr;
  TFtpRecorder rec;

 private:
  TComponent* owner_ = nullptr;
};

}  // namespace

TEST_P(FtpThroughSocks, EveryConnectionGoesThroughTheSocksServer) {
  EXPECT_TRUE(ftp->Passive());
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    auto d = Run(&TCustomFtpCli::ConnectAsync);
    ASSERT_EQ(d.Error, 0) << d.ErrorMessage;
    // The control socket's peer is the SOCKS server, not vsftpd.
    EXPECT_EQ(ftp->CommandSocket()->PeerPort(), PeerPortStr(GetParam().Socks));
    EXPECT_EQ(Run(&TCustomFtpCli::PwdAsync).Error, 0);
    EXPECT_EQ(ftp->DirResult(), "/");
    EXPECT_EQ(Run(&TCustomFtpCli::QuitAsync).Error, 0);
    EXPECT_FALSE(ftp->Connected());
  }
  EXPECT_EQ(ftp->SocksServer(), "127.0.0.1");
  EXPECT_EQ(ftp->SocksPort(), PeerPortStr(GetParam().Socks));
}

INSTANTIATE_TEST_SUITE_P(
    Types, FtpThroughSocks,
    ::testing::Values(TSocksCase{"Socks5", ftpSocks5, ppSocks, "", ""},
                      TSocksCase{"Socks5Account", ftpSocks5, ppSocksAuth, kSocksUser, kSocksPassword},
                      TSocksCase{"Socks4", ftpSocks4, ppSocks, "", ""},
                      TSocksCase{"Socks4A", ftpSocks4A, ppSshSocks, "", ""}),
    [](const auto& info) { return String(info.param.Name); });

TEST(FtpSocks, RefusedAccountEndsTheConnectWithTheSocksCode) {
  TComponent owner(nullptr);
  auto* ftp = NewPeerFtpClient(&owner, PeerPort(ppVsftpd));
  TFtpRecorder rec;
  rec.Attach(ftp);
  ftp->SetConnectionType(ftpSocks5);
  ftp->SetSocksServer("127.0.0.1");
  ftp->SetSocksPort(PeerPortStr(ppSocksAuth));
  ftp->SetSocksUserCode(kSocksUser);
  ftp->SetSocksPassword("wrong");
  ftp->ConnectAsync();
  ASSERT_TRUE(rec.WaitDone());
  EXPECT_EQ(rec.Done[0].Request, ftpConnectAsync);
  EXPECT_EQ(rec.Done[0].Error, 20015);
  EXPECT_EQ(rec.Done[0].ReplyCode, 500);
  EXPECT_TRUE(StartsText("500 ", rec.Done[0].ErrorMessage)) << rec.Done[0].ErrorMessage;
  EXPECT_EQ(rec.SessionConnected, 0);
  EXPECT_FALSE(ftp->Connected());
  EXPECT_EQ(ftp->ClientState(), ftpReady);
}
