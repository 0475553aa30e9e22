#include "application/frame/Newaccount.h"

#include <gtest/gtest.h>

#include "classlib/Forms.h"
#include "support/Testutil.h"

namespace {
struct ProfileFileTest : ::testing::Test {
  void SetUp() override {
    dir = MakeTempFolder("profiles");
    path = dir + "\\accounts.dat";
  }
  void TearDown() override { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); }

  String Names(const TMemIniFile& ini) const {
    TStringList names;
    ReadProfileNames(&ini, &names);
    return names.CommaText();
  }
  // The names of the files in the folder.
  String Files() const {
    TStringList names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.Add(fd.cFileName);
      while (FindNextFileA(h, &fd));
      FindClose(h);
    }
    return names.CommaText();
  }

  String dir, path;
};

TProfile Alpha() {
  TProfile p;
  p.Name = "Alpha";
  p.Proxy = true;
  p.ProxyName = "proxy.local";
  p.HostName = "ftp.alpha.example";
  p.UserName = "ann";
  p.PassWord = "se=cret ";
  p.StartDir = "/pub";
  p.Port = 2121;
  p.ServerType = 2;
  return p;
}

const char kAlphaBytes[] =
    "[Alpha]\r\nProxy=1\r\nPassive=0\r\nProxyName=proxy.local\r\nHostName=ftp.alpha.example\r\nUserName=ann\r\n"
    "PassWord=se=cret \r\nStartDir=/pub\r\nPort=2121\r\nAnonymous=0\r\nServerType=2\r\n\r\n";
}  // namespace

TEST(ProfileFile, LivesBesideTheProgram) {
  EXPECT_EQ(ProfileFileName(), ExtractFilePath(Application->ExeName()) + "accounts.dat");
}

TEST_F(ProfileFileTest, MissingFileAndMissingKeysGiveTheDefaults) {
  TMemIniFile none(path);
  EXPECT_EQ(Names(none), "");
  EXPECT_FALSE(FileExists(path));

  WriteFileBytes(path, "[Bare]\r\n[Junk]\r\nPort=twenty-one\r\nServerType=\r\nPassive=yes\r\n");
  TMemIniFile ini(path);
  for (const char* name : {"Bare", "Junk", "Absent"}) {
    SCOPED_TRACE(name);
    TProfile p = ReadProfile(&ini, name);
    EXPECT_EQ(p.Name, name);
    EXPECT_EQ(p.Port, 21);
    EXPECT_EQ(p.ServerType, 0);
    EXPECT_FALSE(p.Proxy);
    EXPECT_FALSE(p.Passive);
    EXPECT_FALSE(p.Anonymous);
    EXPECT_EQ(p.HostName + p.UserName + p.PassWord + p.ProxyName + p.StartDir, "");
  }
}

TEST_F(ProfileFileTest, ParsingRules) {
  WriteFileBytes(path,
                 "; written by hand\r\n"
                 "HostName=before any section\r\n"
                 "  [ Home Server ]  \r\n"
                 "  HostName =  ftp.example.com  \r\n"
                 "PassWord=a=b = c\r\n"
                 "a line without an equals sign\r\n"
                 "   ; Port=99\r\n"
                 "=no key\r\n"
                 "\r\n"
                 "[Work]\n"
                 "hostname=work.example\n"
                 "Port=2121\n"
                 "Passive=5\n"
                 "ServerType=3\n"
                 "Port=9999\n"
                 "[home server]\r\n"
                 "HostName=second copy\r\n"
                 "UserName=joe\r\n");
  TMemIniFile ini(path);
  // A section that comes again merges into the first; of a key that comes
  // again the first value holds.
  EXPECT_EQ(Names(ini), "\"Home Server\",Work");
  TProfile home = ReadProfile(&ini, "Home Server");
  EXPECT_EQ(home.HostName, "ftp.example.com");
  EXPECT_EQ(home.PassWord, "a=b = c");
  EXPECT_EQ(home.UserName, "joe");
  EXPECT_EQ(home.Port, 21);
  TProfile work = ReadProfile(&ini, "WORK");
  EXPECT_EQ(work.HostName, "work.example");
  EXPECT_EQ(work.Port, 2121);
  EXPECT_TRUE(work.Passive);
  EXPECT_EQ(work.ServerType, 3);

  // The next write keeps what was read, in the file's layout.
  DeleteProfile(&ini, "Nobody");
  EXPECT_EQ(ReadFileBytes(path),
            "[Home Server]\r\nHostName=ftp.example.com\r\nPassWord=a=b = c\r\nUserName=joe\r\n\r\n"
            "[Work]\r\nhostname=work.example\r\nPort=2121\r\nPassive=5\r\nServerType=3\r\n\r\n");
}

TEST_F(ProfileFileTest, BothWritersPutTheirKeysInTheirOrder) {
  TMemIniFile ini(path);
  SaveProfile(&ini, Alpha(), pwProfileManager);
  EXPECT_EQ(ReadFileBytes(path), kAlphaBytes);

  // The wizard writes no start directory and always port 21; a name with
  // blanks around it is written as typed.
  TProfile beta;
  beta.Name = "  Beta  ";
  beta.Passive = true;
  beta.HostName = "ftp.beta.example";
  beta.UserName = "anonymous";
  beta.PassWord = "guest@example.com";
  beta.StartDir = "/ignored";
  beta.Port = 99;
  beta.Anonymous = true;
  beta.ServerType = 5;
  SaveProfile(&ini, beta, pwWizard);
  const String betaBytes =
      "[  Beta  ]\r\nProxy=0\r\nPassive=1\r\nProxyName=\r\nHostName=ftp.beta.example\r\nUserName=anonymous\r\n"
      "PassWord=guest@example.com\r\nPort=21\r\nAnonymous=1\r\nServerType=5\r\n\r\n";
  EXPECT_EQ(ReadFileBytes(path), kAlphaBytes + betaBytes);

  // Read back: the name comes trimmed, every value as written.
  TMemIniFile again(path);
  EXPECT_EQ(Names(again), "Alpha,Beta");
  TProfile b = ReadProfile(&again, "Beta");
  EXPECT_EQ(b.Port, 21);
  EXPECT_EQ(b.StartDir, "");
  EXPECT_FALSE(again.ValueExists("Beta", "StartDir"));
  EXPECT_TRUE(b.Anonymous);
  TProfile a = ReadProfile(&again, "Alpha");
  EXPECT_EQ(a.PassWord, "se=cret");  // values read trimmed
  EXPECT_EQ(a.ProxyName, "proxy.local");
  EXPECT_TRUE(a.Proxy);

  // Saving over an existing profile replaces its keys in place and keeps
  // the keys the writer leaves out.
  TProfile over = Alpha();
  over.HostName = "ftp.new.example";
  SaveProfile(&again, over, pwWizard);
  String bytes = ReadFileBytes(path);
  EXPECT_EQ(bytes.substr(0, bytes.find("[Beta]")),
            "[Alpha]\r\nProxy=1\r\nPassive=0\r\nProxyName=proxy.local\r\nHostName=ftp.new.example\r\nUserName=ann\r\n"
            "PassWord=se=cret \r\nStartDir=/pub\r\nPort=21\r\nAnonymous=0\r\nServerType=2\r\n\r\n");
}

TEST_F(ProfileFileTest, DeletingKeepsTheOrderOfTheOthers) {
  TMemIniFile ini(path);
  for (const char* name : {"Charlie", "alpha", "Bravo", "Delta"}) {
    TProfile p = Alpha();
    p.Name = name;
    WriteProfile(&ini, p, pwProfileManager);
  }
  ini.UpdateFile();
  DeleteProfile(&ini, "ALPHA");
  EXPECT_EQ(Names(ini), "Charlie,Bravo,Delta");
  TMemIniFile again(path);
  EXPECT_EQ(Names(again), "Charlie,Bravo,Delta");
  EXPECT_EQ(ReadFileBytes(path).find("[alpha]"), String::npos);
  EXPECT_EQ(ReadProfile(&again, "Bravo").Port, 2121);
}

TEST_F(ProfileFileTest, AFailedWriteLeavesTheOldFileWhole) {
  {
    TMemIniFile ini(path);
    SaveProfile(&ini, Alpha(), pwProfileManager);
  }
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  TMemIniFile ini(path);
  TProfile other = Alpha();
  other.Name = "Other";
  EXPECT_THROW(SaveProfile(&ini, other, pwWizard), EFCreateError);
  EXPECT_THROW(DeleteProfile(&ini, "Alpha"), EFCreateError);
  EXPECT_EQ(ReadFileBytes(path), kAlphaBytes);
  EXPECT_EQ(Files(), "accounts.dat");  // no new file left behind

  // Once the file may be written again, the copy goes out whole.
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  SaveProfile(&ini, other, pwWizard);
  TMemIniFile again(path);
  EXPECT_EQ(Names(again), "Other");
  EXPECT_EQ(Files(), "accounts.dat");

  // A folder that is gone: an error, and nothing made.
  TMemIniFile lost(dir + "\\gone\\accounts.dat");
  EXPECT_THROW(SaveProfile(&lost, other, pwWizard), EFCreateError);
  EXPECT_FALSE(DirectoryExists(dir + "\\gone"));
}
