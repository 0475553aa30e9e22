// The Windows side of the peers: their files reached through Wine's Z: drive.
#include <gtest/gtest.h>

#include "support/Peers.h"
#include "support/Testutil.h"

TEST(Sha256, KnownVectors) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(FileSha256(PeerFolder("vsftpd") + "no-such-file"), "");
}

class FtpPeerFiles : public testing::TestWithParam<const char*> {};

TEST_P(FtpPeerFiles, ManifestMatchesTheRootFolder) {
  auto files = PeerManifest(GetParam());
  const std::map<String, int64_t> sizes = {
      {"hello.txt", 37},          {"size0.bin", 0},           {"size1.bin", 1},
      {"size1459.bin", 1459},     {"size1460.bin", 1460},     {"size1461.bin", 1461},
      {"size10m.bin", 10485760},  {"sparse4g.bin", 4296015872LL}, {"sub/nested.txt", 12},
      // The regular files of listing/ (its links and pipe are left out).
      {"listing/plain.txt", 1},   {"listing/two  blanks.txt", 1}, {"listing/ lead.txt", 1},
      {"listing/a->b.txt", 1},
  };
  ASSERT_EQ(files.size(), sizes.size());
  for (const auto& [path, size] : sizes) {
    ASSERT_TRUE(files.count(path)) << path;
    EXPECT_EQ(files[path].Size, size) << path;
  }
  String root = PeerFolder(GetParam()) + "root\\";
  EXPECT_EQ(FileSha256(root + "size1461.bin"), files["size1461.bin"].Sha256);
  EXPECT_EQ(FileSha256(root + "size10m.bin"), files["size10m.bin"].Sha256);
  EXPECT_EQ(ReadFileBytes(root + "sub\\nested.txt"), "nested file\n");
}

INSTANTIATE_TEST_SUITE_P(Peers, FtpPeerFiles, testing::Values("vsftpd", "pureftpd", "proftpd"));

TEST(HttpPeerFiles, LargeBodyHashBesideIt) {
  String www = PeerFolder("nginx") + "www\\";
  String line = ReadFileBytes(www + "large.bin.sha256");
  ASSERT_GE(line.size(), 64u);
  EXPECT_EQ(FileSha256(www + "large.bin"), line.substr(0, 64));
}

TEST(HostCommand, OutputStatusAndAFileOfTheHost) {
  THostRun failed = RunHostCommand("echo no; exit 3");
  EXPECT_EQ(failed.Status, 3);
  EXPECT_EQ(failed.Out, "no\n");
  THostRun made = RunHostCommand("d=$(mktemp -d) && mkdir \"$d/sub\" && chmod 750 \"$d/sub\" && stat -c %a \"$d/sub\" "
                                 "&& rm -r \"$d\"");
  EXPECT_EQ(made.Status, 0) << made.Out;
  EXPECT_EQ(made.Out, "750\n");
  String peer = PeerFolder("vsftpd") + "root\\hello.txt";
  THostRun stat = RunHostCommand("stat -c %U " + ShellQuote(HostPath(peer)));
  EXPECT_EQ(stat.Status, 0) << stat.Out;
  EXPECT_EQ(stat.Out, String(kFtpUser) + "\n");
  EXPECT_EQ(HostPath("Z:\\tmp\\a b"), "/tmp/a b");
  EXPECT_EQ(HostPath("C:\\tmp"), "");
  EXPECT_EQ(ShellQuote("it's"), "'it'\\''s'");
}
