#include "Profilestest.h"

#include "classlib/Forms.h"

const char kThreeProfiles[] =
    "[Charlie]\r\nProxy=0\r\nPassive=1\r\nProxyName=\r\nHostName=ftp.charlie.example\r\nUserName=carl\r\n"
    "PassWord=\r\nStartDir=/home/carl\r\nAnonymous=0\r\nServerType=2\r\n\r\n"
    "[Alpha]\r\nProxy=1\r\nPassive=0\r\nProxyName=proxy.local\r\nHostName=ftp.alpha.example\r\nUserName=ann\r\n"
    "PassWord=abcdefgh\r\nStartDir=/pub\r\nPort=2121\r\nAnonymous=0\r\nServerType=5\r\n\r\n"
    "[bravo]\r\nProxy=x\r\nHostName=ftp.bravo.example\r\nUserName=anonymous\r\nPassWord=guest@example.com\r\n"
    "Port=21\r\nAnonymous=1\r\nServerType=9\r\n\r\n";

void ProfilesTest::SetUp() {
  dir = MakeTempFolder("profiles");
  path = dir + "\\accounts.dat";
  frame.FailOnError = frame.FailOnSave = true;
}

void ProfilesTest::TearDown() {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty()) << "a message box bypassed the main window";
}

void ProfilesTest::RecordErrors() {
  Application->OnException = [this](TObject*, Exception& e) { Errors.push_back(e.ClassName() + ": " + e.Message); };
}

bool ProfilesTest::WaitErrors(size_t n) {
  return WaitFor([&] { return Errors.size() >= n; }, 5000);
}
