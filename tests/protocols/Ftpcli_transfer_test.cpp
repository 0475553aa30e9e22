// Transfers against vsftpd, pure-ftpd and proftpd on loopback, in passive and
// active mode: downloads, uploads, appends and listings checked against the
// servers' files, resume after a dropped connection, the file beyond 4 GiB
// and a local disk that fills up.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "Ftpscript.h"
#include "support/Peers.h"
#include "support/Testutil.h"

namespace {

struct TMode {
  const char* Name;
  TPeerPort Port;
  bool Passive;
};

void PrintTo(const TMode& m, std::ostream* os) { *os << m.Name << (m.Passive ? " passive" : " active"); }

class FtpTransfers : public ::testing::TestWithParam<TMode> {
 protected:
  void SetUp() override {
    owner_ = new TComponent(nullptr);
    ftp = NewPeerFtpClient(owner_, PeerPort(GetParam().Port));
    ftp->SetPassive(GetParam().Passive);
    // Uploads read the server's own files, which other test programs read at the same time.
    ftp->SetShareMode(ftpShareDenyWrite);
    rec.Attach(ftp);
    tmp = MakeTempFolder("ftpcli_transfer");
    manifest = PeerManifest(GetParam().Name);
    ASSERT_FALSE(manifest.empty());
  }
  void TearDown() override {
    owner_->Free();
    for (const auto& f : cleanup_) DeleteFileA(f.c_str());
    RemoveTree(tmp);
  }
  TFtpRecorder::TDone Run(void (TCustomFtpCli::*request)(), DWORD ms = 30000) {
    size_t n = rec.Done.size();
    (ftp->*request)();
    if (!rec.WaitDone(n + 1, ms)) return {ftpNone, 0xFFFF, -1, "(no report)", ""};
    return rec.Done[n];
  }
  void Login() {
    auto d = Run(&TCustomFtpCli::ConnectAsync);
    ASSERT_EQ(d.Error, 0) << d.ErrorMessage;
    ASSERT_EQ(Run(&TCustomFtpCli::TypeBinaryAsync).Error, 0);
  }
  // The server's copy of a file through Z:.
  String ServerPath(const String& rel) { return PeerFolder(GetParam().Name) + "root\\" + rel; }
  // A name in upload/ of this test's own, removed afterwards.
  String Upload(const String& what) {
    String name = "xfer-" + String(GetParam().Passive ? "p-" : "a-") + IntToStr(GetCurrentProcessId()) + "-" + what;
    cleanup_.push_back(ServerPath("upload\\" + name));
    return name;
  }
  static void RemoveTree(const String& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((dir + "\\" + fd.cFileName).c_str());
      } while (FindNextFileA(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
  }

  TFtpClient* ftp = nullptr;
  TFtpRecorder rec;
  String tmp;
  std::map<String, TPeerFile> manifest;

 private:
  TComponent* owner_ = nullptr;
  std::vector<String> cleanup_;
};

// The SHA-256 of a file's bytes from `from` to its end.
String TailSha256(const String& path, int64_t from) {
  TFileStream f(path, fmOpenRead | fmShareDenyNone);
  f.Seek(from, soBeginning);
  TSha256Sum sha;
  std::vector<char> buf(1 << 16);
  int64_t n;
  while ((n = f.Read(buf.data(), static_cast<int64_t>(buf.size()))) > 0) sha.Update(buf.data(), static_cast<size_t>(n));
  return sha.Hex();
}

const char* const kSizes[] = {"size0.bin", "size1.bin", "size1459.bin", "size1460.bin", "size1461.bin", "size10m.bin"};

}  // namespace

TEST_P(FtpTransfers, DownloadsMatchTheServersFiles) {
  Login();
  // An older, longer local copy is replaced.
  WriteFileBytes(tmp + "\\size1.bin", String(5000, 'x'));
  for (const char* name : kSizes) {
    SCOPED_TRACE(name);
    ftp->SetHostFileName(name);
    ftp->SetLocalFileName(tmp + "\\" + name);
    auto d = Run(&TCustomFtpCli::GetAsync);
    EXPECT_EQ(d.Request, ftpGetAsync);
    EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
    EXPECT_TRUE(d.ReplyCode == 226 || d.ReplyCode == 250) << d.LastResponse;
    EXPECT_EQ(ftp->ByteCount(), manifest[name].Size);
    EXPECT_EQ(FileSha256(tmp + "\\" + name), manifest[name].Sha256);
  }
  EXPECT_EQ(ftp->ClientState(), ftpReady);
}

TEST_P(FtpTransfers, UploadsAndAppendsMatchTheLocalFiles) {
  Login();
  for (const char* name : kSizes) {
    SCOPED_TRACE(name);
    String remote = Upload(name);
    ftp->SetHostDirName("upload");
    ftp->SetHostFileName("upload/" + remote);
    ftp->SetLocalFileName(ServerPath(name));
    auto d = Run(&TCustomFtpCli::PutAsync);
    EXPECT_EQ(d.Request, ftpPutAsync);
    EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
    EXPECT_EQ(ftp->ByteCount(), manifest[name].Size);
    EXPECT_EQ(FileSha256(ServerPath("upload\\" + remote)), manifest[name].Sha256);
  }
  // APPE adds to the end of an existing file.
  String remote = Upload("appended");
  ftp->SetHostFileName("upload/" + remote);
  ftp->SetLocalFileName(ServerPath("size1459.bin"));
  ASSERT_EQ(Run(&TCustomFtpCli::PutAsync).Error, 0);
  ftp->SetLocalFileName(ServerPath("size1461.bin"));
  auto d = Run(&TCustomFtpCli::AppendAsync);
  EXPECT_EQ(d.Request, ftpAppendAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_EQ(ReadFileBytes(ServerPath("upload\\" + remote)),
            ReadFileBytes(ServerPath("size1459.bin")) + ReadFileBytes(ServerPath("size1461.bin")));
}

TEST_P(FtpTransfers, ListingsIntoAFileAndToOnDisplayFile) {
  Login();
  String list = tmp + "\\listing.txt";
  WriteFileBytes(list, String(100000, 'z'));  // replaced, not overwritten in part
  ftp->SetLocalFileName(list);
  auto d = Run(&TCustomFtpCli::DirAsync);
  EXPECT_EQ(d.Request, ftpDirAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  String text = ReadFileBytes(list);
  EXPECT_EQ(text.find("zzzz"), String::npos);
  EXPECT_LT(text.size(), 100000u);
  for (const char* name : {"hello.txt", "size10m.bin", "sparse4g.bin", "quote\"dir", "upload"})
    EXPECT_NE(text.find(name), String::npos) << name;
  EXPECT_NE(text.find("4296015872"), String::npos);  // sizes beyond 4 GiB listed as they are

  ftp->SetHostFileName("sub");
  d = Run(&TCustomFtpCli::DirAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_NE(ReadFileBytes(list).find("nested.txt"), String::npos);

  // NLST line by line to OnDisplayFile: one event per name.
  std::vector<String> lines;
  ftp->OnDisplayFile = [&](TObject*, String& line) { lines.push_back(line); };
  ftp->SetDisplayFileFlag(true);
  ftp->SetHostFileName("");
  d = Run(&TCustomFtpCli::LsAsync);
  EXPECT_EQ(d.Request, ftpLsAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  std::set<String> names;
  for (auto l : lines) {
    if (StartsText("./", l)) l = l.substr(2);
    if (StartsText("/", l)) l = l.substr(1);
    names.insert(l);
  }
  for (const char* name : {"hello.txt", "size0.bin", "size1461.bin", "size10m.bin", "sparse4g.bin", "sub", "upload"})
    EXPECT_EQ(names.count(name), 1u) << name;
}

// The sequences that connect, log in, transfer and quit in one request.
TEST_P(FtpTransfers, SequencesWithTheirOwnConnection) {
  const String a = ReadFileBytes(ServerPath("size1461.bin")), b = ReadFileBytes(ServerPath("size1459.bin"));
  struct TStep {
    void (TCustomFtpCli::*Request)();
    TFtpRequest Reported;
    const char* Dir;
    String Remote, Local;
    int64_t Restart;
  };
  const String r = Upload("seq.bin"), rp = Upload("seq-rp.bin");
  WriteFileBytes(tmp + "\\part.bin", a.substr(0, 1000));
  WriteFileBytes(tmp + "\\rg.bin", a.substr(0, 700));
  const TStep steps[] = {
      {&TCustomFtpCli::ReceiveAsync, ftpReceiveAsync, "sub", "nested.txt", tmp + "\\nested.txt", 0},
      {&TCustomFtpCli::TransmitAsync, ftpPutAsync, "upload", r, ServerPath("size1461.bin"), 0},
      {&TCustomFtpCli::AppendFileAsync, ftpAppendAsync, "upload", r, ServerPath("size1459.bin"), 0},
      {&TCustomFtpCli::TransmitAsync, ftpPutAsync, "upload", rp, tmp + "\\part.bin", 0},
      {&TCustomFtpCli::RestartPutAsync, ftpPutAsync, "upload", rp, ServerPath("size1461.bin"), 1000},
      {&TCustomFtpCli::RestartGetAsync, ftpRestartGetAsync, "", "size1461.bin", tmp + "\\rg.bin", 0},
      {&TCustomFtpCli::DirectoryAsync, ftpDirectoryAsync, "sub", "", tmp + "\\dir.txt", 0},
      {&TCustomFtpCli::ListAsync, ftpListAsync, "sub", "", tmp + "\\ls.txt", 0},
  };
  for (const auto& st : steps) {
    SCOPED_TRACE(st.Reported);
    ftp->SetHostDirName(st.Dir);
    ftp->SetHostFileName(st.Remote);
    ftp->SetLocalFileName(st.Local);
    ftp->SetRestartOffset(st.Restart);
    auto d = Run(st.Request);
    EXPECT_EQ(d.Request, st.Reported);
    EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
    EXPECT_TRUE(d.ReplyCode == 226 || d.ReplyCode == 250) << d.LastResponse;  // not QUIT's 221
    EXPECT_FALSE(ftp->Connected());
  }
  EXPECT_EQ(ReadFileBytes(tmp + "\\nested.txt"), "nested file\n");
  EXPECT_EQ(ReadFileBytes(ServerPath("upload\\" + r)), a + b);
  EXPECT_EQ(ReadFileBytes(ServerPath("upload\\" + rp)), a);
  EXPECT_EQ(ReadFileBytes(tmp + "\\rg.bin"), a);
  EXPECT_NE(ReadFileBytes(tmp + "\\dir.txt").find("nested.txt"), String::npos);
  EXPECT_NE(ReadFileBytes(tmp + "\\ls.txt").find("nested.txt"), String::npos);
}

// The connection drops in the middle of a transfer (both connections close
// at once); a new session resumes from what arrived.
TEST_P(FtpTransfers, ResumeGetAndPutAfterADrop) {
  const int64_t size = manifest["size10m.bin"].Size;
  Login();
  String local = tmp + "\\size10m.bin";
  ftp->SetHostFileName("size10m.bin");
  ftp->SetLocalFileName(local);
  ftp->OnProgress = [&](TObject*, int64_t count, bool&) {
    if (count >= 3 << 20 && ftp->Connected()) ftp->AbortAsync();
  };
  auto d = Run(&TCustomFtpCli::GetAsync);
  EXPECT_EQ(d.Error, 426);
  int64_t got = static_cast<int64_t>(ReadFileBytes(local).size());
  EXPECT_GE(got, 3 << 20);
  EXPECT_LT(got, size);
  ftp->OnProgress = nullptr;

  Login();
  d = Run(&TCustomFtpCli::RestGetAsync);
  EXPECT_EQ(d.Request, ftpRestGetAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_EQ(ftp->ByteCount(), size - got);
  EXPECT_EQ(FileSha256(local), manifest["size10m.bin"].Sha256);

  String remote = Upload("resumed");
  ftp->SetHostFileName("upload/" + remote);
  ftp->OnProgress = [&](TObject*, int64_t count, bool&) {
    if (count >= 3 << 20 && ftp->Connected()) ftp->AbortAsync();
  };
  d = Run(&TCustomFtpCli::PutAsync);
  EXPECT_EQ(d.Error, 426);
  ftp->OnProgress = nullptr;

  Login();
  ASSERT_EQ(Run(&TCustomFtpCli::SizeAsync).Error, 0);
  int64_t there = ftp->SizeReply();
  EXPECT_GT(there, 0);
  EXPECT_LT(there, size);
  ftp->SetRestartOffset(there);
  d = Run(&TCustomFtpCli::RestPutAsync);
  EXPECT_EQ(d.Request, ftpPutAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_EQ(ftp->ByteCount(), size - there);
  EXPECT_EQ(FileSha256(ServerPath("upload\\" + remote)), manifest["size10m.bin"].Sha256);
}

// The file of more than 4 GiB, resumed 32 KiB below 4 GiB so that the offset,
// the byte counts and the progress count all cross 2^32: the local file gets
// the server's size and, from the resume point on, the server's bytes.
TEST_P(FtpTransfers, ResumedDownloadBeyond4GiB) {
  const int64_t size = manifest["sparse4g.bin"].Size;
  const int64_t from = (int64_t{1} << 32) - 32768;
  String local = tmp + "\\sparse4g.bin";
  {
    TFileStream out(local, fmCreate);
    out.SetSize(from);  // sparse
  }
  Login();
  int64_t highest = 0;
  ftp->OnProgress = [&](TObject*, int64_t count, bool&) { highest = std::max(highest, count); };
  ftp->SetHostFileName("sparse4g.bin");
  ftp->SetLocalFileName(local);
  auto d = Run(&TCustomFtpCli::RestGetAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_EQ(ftp->ByteCount(), size - from);
  EXPECT_GT(highest, int64_t{1} << 32);
  EXPECT_EQ(TFileStream(local, fmOpenRead | fmShareDenyNone).Size(), size);
  EXPECT_EQ(TailSha256(local, from), TailSha256(ServerPath("sparse4g.bin"), from));
}

// A local disk that fills up (a 1 MiB tmpfs) ends the download with 550,
// once the server has answered.
TEST(FtpLocalDisk, FullDiskIsAnError) {
  TComponent owner(nullptr);
  auto* ftp = NewPeerFtpClient(&owner, PeerPort(ppVsftpd));
  TFtpRecorder rec;
  rec.Attach(ftp);
  ftp->SetPassive(true);
  ftp->SetTimeout(30);
  ASSERT_TRUE(ftp->Connect()) << ftp->ErrorMessage();
  ASSERT_TRUE(ftp->TypeBinary());
  String local = PeerFolder("smalldisk-" + PeerPortStr(ppHttp)) + "size10m.bin";
  ftp->SetHostFileName("size10m.bin");
  ftp->SetLocalFileName(local);
  EXPECT_FALSE(ftp->Get());
  ASSERT_EQ(rec.Done.size(), 3u);
  EXPECT_EQ(rec.Done[2].Error, 550);
  EXPECT_EQ(ftp->ErrorMessage(), "Error writing local file");
  EXPECT_EQ(ftp->ReplyCode(), 550);
  EXPECT_LE(ReadFileBytes(local).size(), 1u << 20);
  DeleteFileA(local.c_str());
  ftp->SetLocalFileName("NOOP");
  EXPECT_TRUE(ftp->Quote());
  EXPECT_EQ(ftp->ReplyCode(), 200);
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpTransfers,
                         ::testing::Values(TMode{"vsftpd", ppVsftpd, true}, TMode{"vsftpd", ppVsftpd, false},
                                           TMode{"pureftpd", ppPureftpd, true}, TMode{"pureftpd", ppPureftpd, false},
                                           TMode{"proftpd", ppProftpd, true}, TMode{"proftpd", ppProftpd, false}),
                         [](const auto& info) {
                           return String(info.param.Name) + (info.param.Passive ? "Passive" : "Active");
                         });
