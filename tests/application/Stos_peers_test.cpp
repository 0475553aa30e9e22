// The server-to-server window between vsftpd and pure-ftpd on loopback,
// both ways, driven by clicks and keys: a random file copied byte for byte,
// a replaced file, and a source that went away after the listing.
#include <gtest/gtest.h>

#include "Childtest.h"
#include "application/connections/Stos.h"
#include "support/Input.h"
#include "support/Peers.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

struct TWay {
  const char* Sender;  // peer folders
  TPeerPort SenderPort;
  const char* Receiver;
  TPeerPort ReceiverPort;
};

std::ostream& operator<<(std::ostream& os, const TWay& w) { return os << w.Sender << " to " << w.Receiver; }

String RandomBytes(size_t n, unsigned seed) {
  String s(n, '\0');
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    s[i] = static_cast<char>(seed >> 16);
  }
  return s;
}

class StosPeers : public ChildTest, public ::testing::WithParamInterface<TWay> {
 protected:
  void TearDown() override {
    stos.reset();
    for (const String& f : made_) DeleteFileStr(f);
    ChildTest::TearDown();
  }
  String Upload(const char* peer) const { return PeerFolder(peer) + "root\\upload\\"; }
  // A file in a peer's upload folder, removed after the test.
  void Put(const char* peer, const String& name, const String& data) {
    WriteFileBytes(Upload(peer) + name, data);
    made_.push_back(Upload(peer) + name);
  }
  // A file a server will write, removed after the test.
  void Forget(const char* peer, const String& name) { made_.push_back(Upload(peer) + name); }
  void Open() {
    const TWay& w = GetParam();
    for (auto [name, port] : {std::pair<const char*, TPeerPort>{"Sender", w.SenderPort}, {"Receiver", w.ReceiverPort}})
      WriteProfile(name, {{"HostName", "127.0.0.1"},
                          {"Port", PeerPortStr(port)},
                          {"UserName", kFtpUser},
                          {"PassWord", kFtpPassword},
                          {"Passive", "1"},
                          {"ServerType", "0"}});
    OpenMain();
    stos.reset(new TFormStoS(Application, profiles));
    stos->Show();
    ASSERT_TRUE(WaitVisible(stos->Handle()));
    ASSERT_NO_FATAL_FAILURE(Side(stos->ComboAc1, stos->RBConnect, stos->ComboDir1, "Receiver"));
    ASSERT_NO_FATAL_FAILURE(Side(stos->ComboAc2, stos->SBConnect, stos->ComboDir2, "Sender"));
  }
  // The profile picked from the drop-down by keys, connected with a click,
  // then "/upload" typed into the directory combo and Enter.
  void Side(TComboBox* combo, TButton* connect, TComboBox* dir, const String& profile) {
    int index = combo->Items()->IndexOf(profile);
    ASSERT_GE(index, 0);
    ASSERT_TRUE(FocusWindow(combo->Handle()));
    ASSERT_TRUE(KeyChord({VK_HOME}));
    for (int i = 0; i < index; ++i) ASSERT_TRUE(KeyChord({VK_DOWN}));
    ASSERT_EQ(combo->Text(), profile);
    ASSERT_TRUE(Click(connect->Handle()));
    ASSERT_TRUE(Idle());
    ASSERT_TRUE(WaitUntil([&] { return !dir->Text().empty(); }));
    SendMessageA(dir->EditHandle(), EM_SETSEL, 0, -1);
    ASSERT_TRUE(TypeInto(dir->EditHandle(), "/upload"));
    ASSERT_TRUE(KeyChord({VK_RETURN}));
    ASSERT_TRUE(WaitUntil([&] { return dir->Text() == "/upload" && !Busy(); }, 20000)) << dir->Text();
    ASSERT_TRUE(Idle());
  }
  bool Busy() const { return stos->SideBusy(ssReceiving) || stos->SideBusy(ssSending); }
  bool Idle(DWORD ms = 30000) {
    return WaitUntil(
        [&] {
          return !Busy() && !stos->Transfer().Running() && stos->Ftp1->ClientState() == ftpReady &&
                 stos->Ftp2->ClientState() == ftpReady;
        },
        ms);
  }
  // Clicks the sending file list's row of name.
  void PickSending(const String& name) {
    HWND list = stos->SList2->Handle();
    int index = -1;
    for (int i = 0; i < stos->SList2->Items()->Count(); ++i)
      if (stos->SList2->Items()->Item(i)->Caption() == name) index = i;
    ASSERT_GE(index, 0) << name;
    ListView_EnsureVisible(list, index, FALSE);
    RECT row{};
    ListView_GetItemRect(list, index, &row, LVIR_LABEL);
    ASSERT_TRUE(Click(list, POINT{row.left + 8, (row.top + row.bottom) / 2}));
    ASSERT_TRUE(WaitUntil([&] { return stos->SList2->Selected() && stos->SList2->Selected()->Caption() == name; }));
  }
  // Transfer pressed; the last box that came (the boxes and both logs are
  // reported when the copy did not end as wanted).
  String Copy(bool wantComplete = true) {
    size_t before = dialogs.Dialogs.Boxes.size();
    EXPECT_TRUE(Click(stos->Button1->Handle()));
    EXPECT_TRUE(WaitUntil([&] { return dialogs.Dialogs.Boxes.size() > before; }, 60000));
    EXPECT_TRUE(Idle());
    PumpFor(200);
    String text = dialogs.Dialogs.Boxes.size() > before ? dialogs.Dialogs.Boxes.back().text : String();
    if ((text == "Transfer is complete!") != wantComplete) {
      for (const auto& b : dialogs.Dialogs.Boxes) ADD_FAILURE() << "box: " << b.text;
      for (TMemo* m : {stos->Memo1, stos->Memo2}) ADD_FAILURE() << m->Name() << ":\n" << m->Text();
    }
    return text;
  }

  TOwned<TFormStoS> stos;

 private:
  std::vector<String> made_;
};

}  // namespace

TEST_P(StosPeers, ARandomFileCopiesByteForByte) {
  const TWay& w = GetParam();
  String name = "stos-" + String(w.Sender) + "-" + IntToStr(GetCurrentProcessId()) + ".bin";
  String data = RandomBytes(5 * 1024 * 1024, 17u + static_cast<unsigned>(w.SenderPort));
  Put(w.Sender, name, data);
  Forget(w.Receiver, name);
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(PickSending(name));
  EXPECT_EQ(Copy(), "Transfer is complete!");
  EXPECT_EQ(FileSha256(Upload(w.Receiver) + name), Sha256Hex(data));
  // The receiving side lists the copy.
  bool listed = false;
  for (int i = 0; i < stos->RList2->Items()->Count(); ++i) listed |= stos->RList2->Items()->Item(i)->Caption() == name;
  EXPECT_TRUE(listed);
  PumpFor(300);
  SaveScreenshot(stos->Handle(), String(w.Sender) + "-copied");
}

TEST_P(StosPeers, ReplaceWithYesAndASourceGoneAfterTheListing) {
  const TWay& w = GetParam();
  String name = "stos-replace-" + String(w.Sender) + "-" + IntToStr(GetCurrentProcessId()) + ".txt";
  Put(w.Sender, name, "the first text\r\n");
  Forget(w.Receiver, name);
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(PickSending(name));
  EXPECT_EQ(Copy(), "Transfer is complete!");
  EXPECT_EQ(ReadFileBytes(Upload(w.Receiver) + name), "the first text\r\n");

  // A newer text replaces the receiver's copy once Yes is answered.
  WriteFileBytes(Upload(w.Sender) + name, "the sender's newer text, longer than the first\r\n");
  ASSERT_NO_FATAL_FAILURE(PickSending(name));
  dialogs.Dialogs.Answers = {IDYES};
  EXPECT_EQ(Copy(), "Transfer is complete!");
  ASSERT_GE(dialogs.Dialogs.Boxes.size(), 2u);
  EXPECT_NE(dialogs.Dialogs.Boxes[dialogs.Dialogs.Boxes.size() - 2].text.find("already exists"), String::npos);
  EXPECT_EQ(ReadFileBytes(Upload(w.Receiver) + name), "the sender's newer text, longer than the first\r\n");

  // Deleted on the sender's disk after it was listed: the receiver's copy
  // stays byte for byte.
  ASSERT_TRUE(DeleteFileStr(Upload(w.Sender) + name));
  ASSERT_NO_FATAL_FAILURE(PickSending(name));
  size_t before = dialogs.Dialogs.Boxes.size();
  dialogs.Dialogs.Answers = {IDYES};
  String text = Copy(false);
  EXPECT_NE(text.find("Sending Server Error: 550"), String::npos) << text;
  for (size_t i = before; i < dialogs.Dialogs.Boxes.size(); ++i)
    EXPECT_NE(dialogs.Dialogs.Boxes[i].text, "Transfer is complete!");
  EXPECT_EQ(ReadFileBytes(Upload(w.Receiver) + name), "the sender's newer text, longer than the first\r\n");
  // Nothing more comes later either.
  PumpFor(1000);
  for (size_t i = before; i < dialogs.Dialogs.Boxes.size(); ++i)
    EXPECT_NE(dialogs.Dialogs.Boxes[i].text, "Transfer is complete!");
}

INSTANTIATE_TEST_SUITE_P(Ways, StosPeers,
                         ::testing::Values(TWay{"vsftpd", ppVsftpd, "pureftpd", ppPureftpd},
                                           TWay{"pureftpd", ppPureftpd, "vsftpd", ppVsftpd}),
                         [](const ::testing::TestParamInfo<TWay>& info) {
                           return String(info.param.Sender) + "To" + info.param.Receiver;
                         });
