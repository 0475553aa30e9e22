// The connection window against vsftpd, pure-ftpd and proftpd on loopback,
// in passive and active mode: a profile from accounts.dat logs in and lists
// the seeded root; files download with the manifest's hashes (one in ASCII
// mode); a large random file and a name with blanks upload into upload/.
#include <gtest/gtest.h>

#include <algorithm>

#include "Childtest.h"
#include "support/Peers.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

struct TPeerCase {
  const char* Name;  // the peer's folder
  TPeerPort Port;
  bool Passive;
};

std::ostream& operator<<(std::ostream& os, const TPeerCase& c) {
  return os << c.Name << (c.Passive ? " passive" : " active");
}

String RandomBytes(size_t n, unsigned seed) {
  String s(n, '\0');
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    s[i] = static_cast<char>(seed >> 16);
  }
  return s;
}

class ChildPeers : public ChildTest, public ::testing::WithParamInterface<TPeerCase> {
 protected:
  void PeerProfile(const String& name, const String& startDir) {
    const TPeerCase& c = GetParam();
    WriteProfile(name, {{"HostName", "127.0.0.1"},
                        {"Port", PeerPortStr(c.Port)},
                        {"UserName", kFtpUser},
                        {"PassWord", kFtpPassword},
                        {"Passive", c.Passive ? "1" : "0"},
                        {"ServerType", "0"},
                        {"StartDir", startDir}});
  }
  String Tag() const { return String(GetParam().Name) + (GetParam().Passive ? "-pasv" : "-port"); }
};

}  // namespace

TEST_P(ChildPeers, ListsDownloadsAndUploads) {
  const TPeerCase& c = GetParam();
  std::map<String, TPeerFile> manifest = PeerManifest(c.Name);
  ASSERT_FALSE(manifest.empty());
  PeerProfile("Peer", "");
  TFormMdi* child = Open("Peer");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child, 30000));
  ASSERT_TRUE(child->Connected()) << child->LogLines->Text();

  // The rows are the seeded root: its folders, and its files in name order.
  std::vector<String> dirs = Captions(child->RemoteDirs);
  ASSERT_FALSE(dirs.empty());
  EXPECT_EQ(dirs[0], "..");
  std::sort(dirs.begin() + 1, dirs.end());
  EXPECT_EQ(dirs, (std::vector<String>{"..", "listing", "quote\"dir", "sub", "upload"}));
  std::vector<String> files;
  for (const auto& [path, file] : manifest)
    if (path.find('/') == String::npos) files.push_back(path);
  std::sort(files.begin(), files.end(), [](const String& a, const String& b) { return CompareRemoteNames(a, b) < 0; });
  EXPECT_EQ(Captions(child->RemoteFiles), files);
  for (int i = 0; i < child->RemoteFiles->Items()->Count(); ++i) {
    TListItem* it = child->RemoteFiles->Items()->Item(i);
    EXPECT_EQ(it->SubItems()->Get(0), IntToStr(manifest[it->Caption()].Size)) << it->Caption();
  }
  SaveScreenshot(frame->Handle(), "listing");

  // Downloads in binary mode.
  String into = MakeTempFolder("peer-" + Tag());
  host.Folder = into;
  SelectFiles(child, {"size0.bin", "size1.bin", "size1461.bin", "size10m.bin"});
  child->DownloadSelected();
  ASSERT_TRUE(WaitIdle(child, 60000));
  for (const char* name : {"size0.bin", "size1.bin", "size1461.bin", "size10m.bin"})
    EXPECT_EQ(FileSha256(into + "\\" + name), manifest[name].Sha256) << name;
  // And a text file in ASCII mode.
  child->ComboMode->SetItemIndex(1);
  SelectFiles(child, {"hello.txt"});
  child->DownloadSelected();
  ASSERT_TRUE(WaitIdle(child, 30000));
  // The server makes the line ends (pure-ftpd puts a CR before every LF,
  // also after the file's own CR): the text is the same.
  String text = ReadFileBytes(into + "\\hello.txt");
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  EXPECT_EQ(text, "Hello from Nembra's test FTP server\n");
  EXPECT_TRUE(LogHas(child, "-->  TYPE A"));
  EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty()) << child->LogLines->Text();
  CloseChildren();

  // Uploads into the start directory of another profile.
  PeerProfile("Upload", "/upload");
  String big = into + "\\up-" + Tag() + ".bin";
  String blanks = into + "\\name with blanks " + Tag() + ".txt";
  WriteFileBytes(big, RandomBytes(10 << 20, static_cast<unsigned>(c.Port) * 2 + c.Passive));
  WriteFileBytes(blanks, "blanks\r\n");
  child = Open("Upload");
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(WaitIdle(child, 30000));
  EXPECT_EQ(child->CurrentDir, "/upload");
  TStringList paths;
  paths.Add(big);
  paths.Add(blanks);
  child->UploadFiles(&paths);
  ASSERT_TRUE(WaitIdle(child, 60000));
  String remote = PeerFolder(c.Name) + "root\\upload\\";
  for (const String& p : {big, blanks}) EXPECT_EQ(FileSha256(remote + ExtractFileName(p)), FileSha256(p)) << p;
  // The listing after the upload shows both.
  std::vector<String> shown = Captions(child->RemoteFiles);
  for (const String& p : {big, blanks})
    EXPECT_NE(std::find(shown.begin(), shown.end(), ExtractFileName(p)), shown.end()) << p;
  EXPECT_TRUE(LogLinesStarting(child, "Error: ").empty()) << child->LogLines->Text();
  EXPECT_TRUE(host.Boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Servers, ChildPeers,
                         ::testing::Values(TPeerCase{"vsftpd", ppVsftpd, true}, TPeerCase{"vsftpd", ppVsftpd, false},
                                           TPeerCase{"pureftpd", ppPureftpd, true},
                                           TPeerCase{"pureftpd", ppPureftpd, false},
                                           TPeerCase{"proftpd", ppProftpd, true},
                                           TPeerCase{"proftpd", ppProftpd, false}),
                         [](const auto& info) {
                           return String(info.param.Name) + (info.param.Passive ? "Passive" : "Active");
                         });
