// The FTP client against vsftpd, pure-ftpd and proftpd on loopback: the
// same expectations hold for all three, whatever their reply texts.
#include <gtest/gtest.h>

#include "Ftpscript.h"
#include "support/Peers.h"
#include "support/Testutil.h"

namespace {

struct TServer {
  const char* Name;
  TPeerPort Port;
};

void PrintTo(const TServer& s, std::ostream* os) { *os << s.Name; }

class FtpServers : public ::testing::TestWithParam<TServer> {
 protected:
  void SetUp() override {
    owner_ = new TComponent(nullptr);
    ftp = NewPeerFtpClient(owner_, PeerPort(GetParam().Port));
    rec.Attach(ftp);
  }
  void TearDown() override {
    owner_->Free();
    for (const auto& f : cleanup_) {
      DeleteFileA(f.c_str());
      RemoveDirectoryA(f.c_str());
    }
  }
  TFtpRecorder::TDone Run(void (TCustomFtpCli::*request)()) {
    size_t n = rec.Done.size();
    (ftp->*request)();
    if (!rec.WaitDone(n + 1)) return {ftpNone, 0xFFFF, -1, "(no report)", ""};
    return rec.Done[n];
  }
  void Login() {
    auto d = Run(&TCustomFtpCli::ConnectAsync);
    ASSERT_EQ(d.Error, 0) << d.ErrorMessage;
  }
  // A name of this test's own, in the server's root.
  String Unique(const String& what) {
    return "ftpcli-" + String(GetParam().Name) + "-" + IntToStr(GetCurrentProcessId()) + "-" + what;
  }
  // The server's root folder; paths made there are removed after the test.
  String Local(const String& rel) {
    String p = PeerFolder(GetParam().Name) + "root\\" + rel;
    cleanup_.push_back(p);
    return p;
  }

  TFtpClient* ftp = nullptr;
  TFtpRecorder rec;

 private:
  TComponent* owner_ = nullptr;
  std::vector<String> cleanup_;
};

}  // namespace

TEST_P(FtpServers, LoginAndDirectories) {
  Login();
  EXPECT_EQ(ftp->ReplyCode(), 230);
  EXPECT_EQ(Run(&TCustomFtpCli::SystAsync).ReplyCode, 215);
  EXPECT_EQ(Run(&TCustomFtpCli::PwdAsync).Error, 0);
  EXPECT_EQ(ftp->DirResult(), "/");

  ftp->SetHostDirName("quote\"dir");
  EXPECT_EQ(Run(&TCustomFtpCli::CwdAsync).Error, 0);
  EXPECT_EQ(Run(&TCustomFtpCli::PwdAsync).Error, 0);
  EXPECT_EQ(ftp->DirResult(), "/quote\"dir");
  EXPECT_EQ(Run(&TCustomFtpCli::CDupAsync).Error, 0);
  EXPECT_EQ(Run(&TCustomFtpCli::PwdAsync).Error, 0);
  EXPECT_EQ(ftp->DirResult(), "/");

  ftp->SetHostDirName("sub");
  EXPECT_EQ(Run(&TCustomFtpCli::CwdAsync).Error, 0);
  EXPECT_EQ(Run(&TCustomFtpCli::PwdAsync).Error, 0);
  EXPECT_EQ(ftp->DirResult(), "/sub");
  ftp->SetHostDirName("no-such-dir");
  auto d = Run(&TCustomFtpCli::CwdAsync);
  EXPECT_EQ(d.Error, 550);
  EXPECT_TRUE(StartsText("550", d.ErrorMessage)) << d.ErrorMessage;

  // A multi-line reply, then the next request gets its own reply.
  ftp->SetLocalFileName("HELP");
  d = Run(&TCustomFtpCli::QuoteAsync);
  EXPECT_EQ(d.Error, 0);
  EXPECT_EQ(d.ReplyCode, 214);
  ftp->SetLocalFileName("NOOP");
  EXPECT_EQ(Run(&TCustomFtpCli::QuoteAsync).ReplyCode, 200);

  d = Run(&TCustomFtpCli::QuitAsync);
  EXPECT_EQ(d.Error, 0);
  EXPECT_EQ(d.ReplyCode, 221);
  EXPECT_FALSE(ftp->Connected());
  EXPECT_EQ(rec.SessionConnected, 1);
  EXPECT_EQ(rec.SessionClosed, 1);
}

TEST_P(FtpServers, MakeRenameSizeDeleteRemove) {
  Login();
  String dir = Unique("dir");
  Local(dir);
  ftp->SetHostFileName(dir);
  EXPECT_EQ(Run(&TCustomFtpCli::MkdAsync).Error, 0);
  EXPECT_TRUE(EndsText(dir, ftp->DirResult())) << ftp->DirResult();
  EXPECT_TRUE(DirectoryExists(PeerFolder(GetParam().Name) + "root\\" + dir));
  EXPECT_GE(Run(&TCustomFtpCli::MkdAsync).Error, 500);  // exists already
  EXPECT_EQ(Run(&TCustomFtpCli::RmdAsync).Error, 0);
  EXPECT_FALSE(DirectoryExists(PeerFolder(GetParam().Name) + "root\\" + dir));

  String a = Unique("a.txt"), b = Unique("b.txt");
  WriteFileBytes(Local(a), "hello");
  String localB = Local(b);
  EXPECT_EQ(Run(&TCustomFtpCli::TypeBinaryAsync).Error, 0);
  ftp->SetHostFileName(a);
  EXPECT_EQ(Run(&TCustomFtpCli::SizeAsync).Error, 0);
  EXPECT_EQ(ftp->SizeReply(), 5);

  ftp->SetLocalFileName(b);
  auto d = Run(&TCustomFtpCli::RenAsync);
  EXPECT_EQ(d.Request, ftpRenAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_EQ(ReadFileBytes(localB), "hello");
  // RNFR of a missing file ends the sequence: no RNTO.
  size_t shown = rec.Shown.size();
  d = Run(&TCustomFtpCli::RenAsync);
  EXPECT_EQ(d.Error, 550);
  for (size_t i = shown; i < rec.Shown.size(); ++i) EXPECT_FALSE(StartsText("> RNTO", rec.Shown[i]));

  ftp->SetHostFileName(b);
  EXPECT_EQ(Run(&TCustomFtpCli::DeleAsync).Error, 0);
  EXPECT_FALSE(FileExists(localB));
  EXPECT_EQ(Run(&TCustomFtpCli::DeleAsync).Error, 550);
  ftp->SetHostFileName(a);
  EXPECT_EQ(Run(&TCustomFtpCli::SizeAsync).Error, 550);
  EXPECT_EQ(ftp->SizeReply(), 0);
}

TEST_P(FtpServers, SizeOfAFileBeyond4GiB) {
  Login();
  EXPECT_EQ(Run(&TCustomFtpCli::TypeBinaryAsync).Error, 0);
  ftp->SetHostFileName("sparse4g.bin");
  EXPECT_EQ(Run(&TCustomFtpCli::SizeAsync).Error, 0);
  EXPECT_EQ(ftp->SizeReply(), PeerManifest(GetParam().Name)["sparse4g.bin"].Size);
  EXPECT_EQ(ftp->SizeReply(), 4296015872LL);
}

// Sequences that connect, log in, work and disconnect in one request.
TEST_P(FtpServers, SequencesWithTheirOwnConnection) {
  auto d = Run(&TCustomFtpCli::SystemAsync);
  EXPECT_EQ(d.Request, ftpSystemAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_EQ(d.ReplyCode, 215);  // not QUIT's 221
  EXPECT_FALSE(ftp->Connected());

  String dir = Unique("seq");
  Local("upload\\" + dir);
  ftp->SetHostDirName("upload");
  ftp->SetHostFileName(dir);
  d = Run(&TCustomFtpCli::MkdirAsync);
  EXPECT_EQ(d.Request, ftpMkdirAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_TRUE(DirectoryExists(PeerFolder(GetParam().Name) + "root\\upload\\" + dir));
  EXPECT_EQ(Run(&TCustomFtpCli::RmdirAsync).Error, 0);
  EXPECT_FALSE(DirectoryExists(PeerFolder(GetParam().Name) + "root\\upload\\" + dir));

  String a = Unique("seq-a.txt"), b = Unique("seq-b.txt");
  WriteFileBytes(Local("upload\\" + a), "x");
  String localB = Local("upload\\" + b);
  ftp->SetHostFileName(a);
  ftp->SetLocalFileName(b);
  d = Run(&TCustomFtpCli::RenameAsync);
  EXPECT_EQ(d.Request, ftpRenameAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_TRUE(FileExists(localB));
  ftp->SetHostFileName(b);
  EXPECT_EQ(Run(&TCustomFtpCli::DeleteAsync).Error, 0);
  EXPECT_FALSE(FileExists(localB));

  ftp->SetHostDirName("sub");
  ftp->SetLocalFileName("NOOP");
  d = Run(&TCustomFtpCli::DoQuoteAsync);
  EXPECT_EQ(d.Request, ftpDoQuoteAsync);
  EXPECT_EQ(d.ReplyCode, 200);
  EXPECT_FALSE(ftp->Connected());
}

TEST_P(FtpServers, BlockingLayer) {
  ftp->SetHostName("localhost");  // looked up asynchronously
  ftp->SetTimeout(10);
  ASSERT_TRUE(ftp->Connect()) << ftp->ErrorMessage();
  EXPECT_TRUE(ftp->Syst());
  ftp->SetHostDirName("sub");
  EXPECT_TRUE(ftp->Cwd());
  EXPECT_TRUE(ftp->Pwd());
  EXPECT_EQ(ftp->DirResult(), "/sub");
  ftp->SetHostDirName("no-such-dir");
  EXPECT_FALSE(ftp->Cwd());
  EXPECT_TRUE(StartsText("550", ftp->ErrorMessage())) << ftp->ErrorMessage();
  EXPECT_TRUE(ftp->TypeBinary());
  ftp->SetHostFileName("hello.txt");
  EXPECT_FALSE(ftp->Size());  // hello.txt is in the root, not in /sub
  EXPECT_TRUE(ftp->CDup());
  EXPECT_TRUE(ftp->Size());
  EXPECT_EQ(ftp->SizeReply(), 37);
  EXPECT_TRUE(ftp->Quit());
  EXPECT_FALSE(ftp->Connected());
  EXPECT_EQ(ftp->ClientState(), ftpReady);
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpServers,
                         ::testing::Values(TServer{"vsftpd", ppVsftpd}, TServer{"pureftpd", ppPureftpd},
                                           TServer{"proftpd", ppProftpd}),
                         [](const auto& info) { return String(info.param.Name); });
