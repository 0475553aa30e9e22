// The server-to-server window: the copy as a table of events, the PASV
// replies, the profile copied into a client, and the window itself driven
// by clicks against two scripted FTP servers.
#include "application/connections/Stos.h"

#include <gtest/gtest.h>

#include "Childtest.h"
#include "application/frame/Regdataunit.h"
#include "support/Input.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

const char* SideLetter(TStoSSide side) { return side == ssReceiving ? "R" : "S"; }

// Every request of the copy, recorded: "R: PASV ", "S: TYPE I",
// "S: end connection", "complete", "failed", "R: settled".
class TRecordingPort : public TStoSPort {
 public:
  bool SendQuote(TStoSSide side, const String& command) override {
    Log.push_back(String(SideLetter(side)) + ": " + command);
    return !Refuse;
  }
  bool SendTypeBinary(TStoSSide side) override {
    Log.push_back(String(SideLetter(side)) + ": TYPE I");
    return !Refuse;
  }
  void EndConnection(TStoSSide side) override { Log.push_back(String(SideLetter(side)) + ": end connection"); }
  void TransferEnded(bool complete, const String& text) override {
    Log.push_back(complete ? "complete" : "failed");
    Text = text;
  }
  void SideSettled(TStoSSide side) override { Log.push_back(String(SideLetter(side)) + ": settled"); }
  std::vector<String> Log;
  String Text;
  bool Refuse = false;
};

// One event of the copy: a request end ('d': code, the reply), a reply
// line ('l'), a close ('c').
struct TEv {
  char Kind;
  TStoSSide Side;
  String Line;
};

void Play(TStoSTransfer& t, const TEv& e) {
  switch (e.Kind) {
    case 'd': {
      int code = std::atoi(e.Line.c_str());
      WORD error = code >= 400 ? static_cast<WORD>(code) : 0;
      t.RequestDone(e.Side, error, code, e.Line, error ? e.Line : String());
      break;
    }
    case 'l':
      t.ReplyLine(e.Side, e.Line);
      break;
    case 'c':
      t.Closed(e.Side);
      break;
  }
}

const TStoSSide R = ssReceiving, S = ssSending;

// PASV, PORT and both TYPEs accepted: RETR is out.
const std::vector<TEv> kToRetr = {{'d', R, "227 Entering Passive Mode (127,0,0,1,4,1)."},
                                  {'d', S, "200 PORT ok"},
                                  {'d', R, "200 Type set"},
                                  {'d', S, "200 Type set"}};
const std::vector<String> kRetrLog = {"R: PASV ", "S: PORT 127,0,0,1,4,1", "R: TYPE I", "S: TYPE I", "S: RETR a b.bin"};

}  // namespace

TEST(StosTexts, PasvRepliesGiveThePortArgumentOrARefusal) {
  struct {
    const char* Reply;
    const char* Argument;  // nullptr: refused
  } cases[] = {
      {"227 Entering Passive Mode (192,168,0,10,19,137).", "192,168,0,10,19,137"},
      // Text after ")" adds no digits.
      {"227 Entering Passive Mode (127,0,0,1,4,1). 1999 bytes", "127,0,0,1,4,1"},
      // No "(": the numbers after the code.
      {"227 Entering Passive Mode 10,0,0,7,200,10", "10,0,0,7,200,10"},
      {"227 Entering Passive Mode (256,0,0,1,4,1)", nullptr},
      {"227 Entering Passive Mode (127,0,0,1,4)", nullptr},
      {"227 Entering Passive Mode (127,0,0,1,0,0)", nullptr},
      {"227 Entering Passive Mode", nullptr},
  };
  for (const auto& c : cases) {
    String argument = "untouched";
    bool ok = PortArgumentOf(c.Reply, argument);
    EXPECT_EQ(ok, c.Argument != nullptr) << c.Reply;
    if (c.Argument) {
      EXPECT_EQ(argument, c.Argument) << c.Reply;
    }
  }
}

TEST(StosTexts, NamesThatCannotBeSentAndReplyEnds) {
  for (const char* bad : {"", ".", "..", "a/b", "..\\x", "a\rb", "tab\there", "del\x7F"})
    EXPECT_NE(UnsafeTransferNameReason(bad), "") << bad;
  for (const char* good : {"a b.bin", "-rf", "...", "PASSWORDS.txt", "caf\xe9"})
    EXPECT_EQ(UnsafeTransferNameReason(good), "") << good;

  // Only the line that ends a reply counts.
  TReplyLines lines;
  std::vector<int> codes;
  for (const char* l : {"150 Opening", "226-Stats:", " 226 inside", "226-more", "226 Done", "2260 no", "226", "abc"})
    codes.push_back(lines.Final(l));
  EXPECT_EQ(codes, (std::vector<int>{150, 0, 0, 0, 226, 0, 226, 0}));
}

TEST(StosTransfer, EventsGiveCommandsAndOutcome) {
  struct TCase {
    const char* Name;
    bool ToRetr;  // kToRetr first
    std::vector<TEv> Events;
    std::vector<String> Log;  // after kRetrLog when ToRetr
    const char* TextHas;      // in the box text ("": none)
    bool Incomplete = false;  // the box warns of a partial copy
  };
  const String incomplete = "The copy on the receiving server may be incomplete.";
  const TCase cases[] = {
      {"success, the sender's final first",
       true,
       {{'l', S, "150 Opening"}, {'d', S, "150 Opening"}, {'l', R, "150 Ok"}, {'d', R, "150 Ok"},
        {'l', S, "226 Sent"}, {'l', R, "226 Stored"}},
       {"R: STOR a b.bin", "complete"},
       ""},
      {"success, the receiver's final first",
       true,
       {{'l', S, "150 Opening"}, {'l', R, "150 Ok"}, {'l', R, "226 Stored"}, {'l', S, "226 Sent"}},
       {"R: STOR a b.bin", "complete"},
       ""},
      {"finals read with their 1xx, before the request ends",
       true,
       {{'l', S, "150 Opening"}, {'l', S, "226 Sent"}, {'d', S, "150 Opening"}, {'l', R, "150 Ok"},
        {'l', R, "226 Stored"}, {'d', R, "150 Ok"}},
       {"R: STOR a b.bin", "complete"},
       ""},
      {"a 226 at once to STOR",
       true,
       {{'l', S, "150 Opening"}, {'l', R, "226 Done at once"}, {'l', S, "226 Sent"}},
       {"R: STOR a b.bin", "complete"},
       ""},
      {"226- is no final",
       true,
       {{'l', S, "150 Opening"}, {'l', R, "150 Ok"}, {'l', S, "226-Stats follow"}, {'l', R, "226 Stored"},
        {'l', S, " 1999 bytes"}, {'l', S, "226 Sent"}},
       {"R: STOR a b.bin", "complete"},
       ""},
      {"RETR 550: the receiver is told nothing",
       true,
       {{'l', S, "550 No such file"}, {'d', S, "550 No such file"}, {'l', R, "226 listing"}},
       {"failed"},
       "Sending Server Error: 550 No such file"},
      {"STOR 553: the sender's connection ends",
       true,
       {{'l', S, "150 Opening"}, {'l', R, "553 Could not create file."}},
       {"R: STOR a b.bin", "S: end connection", "failed"},
       "Receiving Server Error: 553 Could not create file."},
      {"a sender's 426 with the receiver's 226",
       true,
       {{'l', S, "150 Opening"}, {'l', R, "150 Ok"}, {'l', S, "426 Transfer aborted"}, {'l', R, "226 Stored"}},
       {"R: STOR a b.bin", "failed"},
       "Sending Server: 426 Transfer aborted\nReceiving Server: 226 Stored", true},
      {"the receiver's 226 with a sender's 426",
       true,
       {{'l', S, "150 Opening"}, {'l', R, "150 Ok"}, {'l', R, "226 Stored"}, {'l', S, "426 Transfer aborted"}},
       {"R: STOR a b.bin", "failed"},
       "Receiving Server: 226 Stored", true},
      {"a receiver's 451",
       true,
       {{'l', S, "150 Opening"}, {'l', R, "150 Ok"}, {'l', R, "451 Disk full"}, {'l', S, "426 Broken pipe"}},
       {"R: STOR a b.bin", "failed"},
       "Receiving Server: 451 Disk full", true},
      {"STOR not sent: the connection was gone",
       true,
       {{'l', S, "150 Opening"}, {'d', R, "500 Control connection not open."}},
       {"R: STOR a b.bin", "S: end connection", "failed"},
       "Receiving Server Error: 500 Control connection not open."},
      {"the sender closes before its final; the receiver settles later",
       true,
       {{'l', S, "150 Opening"}, {'l', R, "150 Ok"}, {'c', S, ""}, {'l', R, "426 Broken"}},
       {"R: STOR a b.bin", "failed", "R: settled"},
       "Sending Server Error: the connection closed.", true},
      {"PASV answered 200",
       false,
       {{'d', R, "200 OK"}},
       {"R: PASV ", "failed"},
       "Receiving Server Error: 200 OK"},
      {"PASV refused",
       false,
       {{'d', R, "502 No"}},
       {"R: PASV ", "failed"},
       "Receiving Server Error: 502 No"},
      {"a 227 with no valid address",
       false,
       {{'d', R, "227 Entering Passive Mode (1,2,3)"}},
       {"R: PASV ", "failed"},
       "no valid data address"},
      {"PORT answered 250",
       false,
       {{'d', R, "227 Entering Passive Mode (127,0,0,1,4,1)."}, {'d', S, "250 Fine"}},
       {"R: PASV ", "S: PORT 127,0,0,1,4,1", "failed"},
       "Sending Server Error: 250 Fine"},
      {"TYPE refused on the sender",
       false,
       {{'d', R, "227 Entering Passive Mode (127,0,0,1,4,1)."}, {'d', S, "200 PORT ok"}, {'d', R, "200 Type set"},
        {'d', S, "504 No binary"}},
       {"R: PASV ", "S: PORT 127,0,0,1,4,1", "R: TYPE I", "S: TYPE I", "failed"},
       "Sending Server Error: 504 No binary"},
  };
  for (const TCase& c : cases) {
    TRecordingPort port;
    TStoSTransfer t(&port);
    t.Start("a b.bin");
    if (c.ToRetr) {
      for (const TEv& e : kToRetr) Play(t, e);
      EXPECT_TRUE(t.TransferActive()) << c.Name;
    }
    for (const TEv& e : c.Events) Play(t, e);
    std::vector<String> want = c.ToRetr ? kRetrLog : std::vector<String>{};
    want.insert(want.end(), c.Log.begin(), c.Log.end());
    EXPECT_EQ(port.Log, want) << c.Name;
    EXPECT_FALSE(t.Running()) << c.Name;
    EXPECT_FALSE(t.TransferActive()) << c.Name;
    if (*c.TextHas) {
      EXPECT_NE(port.Text.find(c.TextHas), String::npos) << c.Name << ": " << port.Text;
      EXPECT_EQ(port.Text.find(incomplete) != String::npos, c.Incomplete) << c.Name << ": " << port.Text;
    }
  }
}

TEST(StosTransfer, CancelAndCommandsThatCannotStart) {
  // Cancelled while the finals are awaited: nothing more is asked.
  TRecordingPort port;
  TStoSTransfer t(&port);
  t.Start("f");
  for (const TEv& e : kToRetr) Play(t, e);
  Play(t, {'l', S, "150 Opening"});
  Play(t, {'l', R, "150 Ok"});
  size_t asked = port.Log.size();
  t.Cancel();
  EXPECT_FALSE(t.Running());
  EXPECT_FALSE(t.TransferActive());
  Play(t, {'l', S, "226 Sent"});
  Play(t, {'l', R, "226 Stored"});
  Play(t, {'c', S, ""});
  EXPECT_EQ(port.Log.size(), asked);

  // A first command that cannot start ends the copy at once.
  TRecordingPort refusing;
  refusing.Refuse = true;
  TStoSTransfer u(&refusing);
  u.Start("f");
  EXPECT_EQ(refusing.Log, (std::vector<String>{"R: PASV ", "failed"}));
  EXPECT_FALSE(u.Running());
}

// ---------------------------------------------------------------- the window

namespace {

class StosTest : public ChildTest {
 protected:
  void TearDown() override {
    if (stos) stos.reset();
    ChildTest::TearDown();
  }
  // Profiles "Receiver" and "Sender" for the two servers, the main window,
  // and the window shown.
  void OpenStoS(int receiverPort, int senderPort) {
    for (auto [name, port] : {std::pair<const char*, int>{"Receiver", receiverPort}, {"Sender", senderPort}})
      WriteProfile(name, {{"HostName", "127.0.0.1"},
                          {"UserName", "nembraftp"},
                          {"PassWord", "secret"},
                          {"Port", IntToStr(port)},
                          {"Passive", "1"},
                          {"ServerType", "0"}});
    OpenMain();
    stos.reset(new TFormStoS(Application, profiles));
    stos->Show();
    ASSERT_TRUE(WaitVisible(stos->Handle()));
  }
  // A profile chosen in a side's combo, as a person does.
  void Choose(TComboBox* combo, const String& name) {
    int i = combo->Items()->IndexOf(name);
    ASSERT_GE(i, 0) << name;
    SendMessageA(combo->Handle(), CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    SendMessageA(GetParent(combo->Handle()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo->Handle()), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo->Handle()));
  }
  bool Idle(DWORD ms = 15000) {
    return WaitUntil(
        [&] {
          return !stos->SideBusy(ssReceiving) && !stos->SideBusy(ssSending) && !stos->Transfer().Running() &&
                 stos->Ftp1->ClientState() == ftpReady && stos->Ftp2->ClientState() == ftpReady;
        },
        ms);
  }
  // Both sides chosen, connected and listed.
  void ConnectBoth() {
    Choose(stos->ComboAc1, "Receiver");
    Choose(stos->ComboAc2, "Sender");
    ASSERT_TRUE(Click(stos->RBConnect->Handle()));
    ASSERT_TRUE(Click(stos->SBConnect->Handle()));
    ASSERT_TRUE(Idle());
    ASSERT_TRUE(stos->Ftp1->GetConnected());
    ASSERT_TRUE(stos->Ftp2->GetConnected());
  }
  void SelectSending(const String& caption) {
    TListItems* items = stos->SList2->Items();
    for (int i = 0; i < items->Count(); ++i) items->Item(i)->SetSelected(items->Item(i)->Caption() == caption);
  }
  std::vector<String> Lines(TMemo* memo) const {
    std::vector<String> v;
    for (int i = 0; i < memo->Lines()->Count(); ++i) v.push_back(memo->Lines()->Get(i));
    return v;
  }
  bool Has(TMemo* memo, const String& line) const {
    auto l = Lines(memo);
    return std::find(l.begin(), l.end(), line) != l.end();
  }
  // The commands of a server from the first one whose verb is verb.
  std::vector<String> From(const TFtpScriptServer& server, const String& verb) const {
    std::vector<String> c = server.Commands(), out;
    bool on = false;
    for (const String& x : c) {
      if (x.rfind(verb, 0) == 0) on = true;
      if (on) out.push_back(x);
    }
    return out;
  }
  std::vector<String> BoxTexts() const {
    std::vector<String> t;
    for (const auto& b : dialogs.Dialogs.Boxes) t.push_back("[" + b.caption + "] " + b.text);
    return t;
  }

  TOwned<TFormStoS> stos;
};

const char kData[] = "server to server, byte for byte\r\n\x01\x02\xff";

TFtpScript SenderScript() {
  TFtpScript s;
  s.Files["a b.bin"] = String(kData, sizeof kData - 1);
  s.Listing = UnixLine("a b.bin", sizeof kData - 1) + UnixLine("sub", 0, true) +
              "lrwxrwxrwx    1 ftp      ftp      4 Jan 12  2020 up -> /top\r\n";
  s.Connections = 1;
  return s;
}

TFtpScript ReceiverScript() {
  TFtpScript s;
  s.Listing = UnixLine("old.txt", 3);
  return s;
}

}  // namespace

TEST_F(StosTest, FormAsDesignedAndConnectListsBothSides) {
  TReg::WriteInteger(SettingsSection, "StoSSize", 0);
  TFtpScriptServer& receiver = StartServer(ReceiverScript());
  TFtpScriptServer& sender = StartServer(SenderScript());
  OpenStoS(receiver.Port(), sender.Port());
  EXPECT_EQ(stos->Caption(), "Server to Server Transfers");
  EXPECT_EQ(stos->Panel2->Width(), 331);  // a stored 0
  EXPECT_EQ(stos->ComboAc1->Items()->Count(), 2);
  EXPECT_EQ(stos->Button1->Hint(), "Transfer File");
  EXPECT_EQ(stos->Button4->Hint(), "Help on Server to Server Transfers");
  RECT panel{}, sending{};
  GetWindowRect(stos->Panel2->Handle(), &panel);
  GetWindowRect(stos->Panel3->Handle(), &sending);
  EXPECT_LT(panel.right, sending.left);  // the receiving half on the left

  // Choosing a profile connects nothing.
  Choose(stos->ComboAc1, "Receiver");
  Choose(stos->ComboAc2, "Sender");
  PumpFor(100);
  EXPECT_TRUE(receiver.Commands().empty());
  EXPECT_EQ(stos->Ftp1->Port(), IntToStr(receiver.Port()));
  ConnectBoth();
  EXPECT_EQ(sender.Commands(), (std::vector<String>{"USER nembraftp", "PASS secret", "PWD", "PASV", "LIST"}));
  EXPECT_FALSE(stos->RBConnect->Enabled());
  EXPECT_EQ(stos->ComboDir2->Text(), "/home");
  EXPECT_TRUE(Has(stos->Memo2, "--> PASS (Password hidden)"));
  EXPECT_TRUE(Has(stos->Memo2, "<-- 257 \"/home\" is the current directory"));
  ASSERT_EQ(stos->SList2->Items()->Count(), 1);
  EXPECT_EQ(stos->SList2->Items()->Item(0)->Caption(), "a b.bin");
  std::vector<String> dirs;
  for (int i = 0; i < stos->SList1->Items()->Count(); ++i) dirs.push_back(stos->SList1->Items()->Item(i)->Caption());
  EXPECT_EQ(dirs, (std::vector<String>{"..", "sub", "up -> /top"}));
  SaveScreenshot(stos->Handle(), "connected");

  // A link row changes to its target.
  stos->SList1->Items()->Item(2)->SetSelected(true);
  stos->SList1->Items()->Item(2)->SetFocused(true);
  ListView_EnsureVisible(stos->SList1->Handle(), 2, FALSE);
  RECT row{};
  ListView_GetItemRect(stos->SList1->Handle(), 2, &row, LVIR_LABEL);
  ASSERT_TRUE(DoubleClick(stos->SList1->Handle(), POINT{row.left + 5, (row.top + row.bottom) / 2}));
  ASSERT_TRUE(WaitUntil([&] { return sender.Count("CWD") == 1; }));
  ASSERT_TRUE(Idle());
  EXPECT_EQ(From(sender, "CWD"), (std::vector<String>{"CWD /top", "PWD", "PASV", "LIST"}));
}

TEST_F(StosTest, CopyBetweenTwoServers) {
  TFtpScriptServer& receiver = StartServer(ReceiverScript());
  TFtpScriptServer& sender = StartServer(SenderScript());
  OpenStoS(receiver.Port(), sender.Port());
  ConnectBoth();
  // Nothing selected: nothing happens.
  ASSERT_TRUE(Click(stos->Button1->Handle()));
  PumpFor(100);
  EXPECT_EQ(sender.Count("PORT"), 0);
  SelectSending("a b.bin");
  ASSERT_TRUE(Click(stos->Button1->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return !dialogs.Dialogs.Boxes.empty(); }, 15000))
      << ::testing::PrintToString(Lines(stos->Memo1)) << ::testing::PrintToString(Lines(stos->Memo2));
  ASSERT_TRUE(Idle());
  EXPECT_EQ(BoxTexts(), (std::vector<String>{"[Status...] Transfer is complete!"}));
  EXPECT_EQ(receiver.Stored()["a b.bin"], String(kData, sizeof kData - 1));
  std::vector<String> rc = From(receiver, "PASV ");
  ASSERT_GE(rc.size(), 3u);
  EXPECT_EQ(std::vector<String>(rc.begin(), rc.begin() + 3), (std::vector<String>{"PASV ", "TYPE I", "STOR a b.bin"}));
  // ... and the receiving side lists again.
  EXPECT_EQ(std::vector<String>(rc.begin() + 3, rc.end()), (std::vector<String>{"PWD", "PASV", "LIST"}));
  std::vector<String> sc = From(sender, "PORT");
  ASSERT_EQ(sc.size(), 3u);
  EXPECT_EQ(sc[0].substr(0, 15), "PORT 127,0,0,1,");
  EXPECT_EQ(sc[1], "TYPE I");
  EXPECT_EQ(sc[2], "RETR a b.bin");
  // STOR only after the sender's 150: the receiver's log has it after it
  // and the sender's log has the 150 before the receiver's STOR went out.
  EXPECT_TRUE(Has(stos->Memo1, "-->  STOR a b.bin"));
  EXPECT_TRUE(Has(stos->Memo2, "<-- 150 Opening data connection"));
  EXPECT_TRUE(Has(stos->Memo1, "Transfer Complete"));
  EXPECT_FALSE(stos->TransferActive());
  SaveScreenshot(stos->Handle(), "copied");
}

TEST_F(StosTest, EndsWithOneBoxAndBothSidesIdle) {
  struct TCase {
    const char* Name;
    std::map<String, std::vector<String>> ReceiverReplies, SenderReplies;
    bool MissingSource = false;
    int CutAfter = -1;
    const char* BoxHas;
    bool Stor;  // the receiver saw STOR
  } cases[] = {
      {"a 226 at once to STOR", {{"STOR", {"226 Stored at once\r\n"}}}, {}, false, -1, "Transfer is complete!", true},
      {"RETR 550", {}, {}, true, -1, "Sending Server Error: 550 No such file", false},
      {"STOR 553", {{"STOR", {"553 Could not create file.\r\n"}}}, {}, false, -1,
       "Receiving Server Error: 553 Could not create file.", true},
      {"a sender's 426, a receiver's 226", {}, {}, false, 5, "Sending Server: 426 Connection closed", true},
      {"PASV 200", {{"PASV", {"", "200 OK\r\n"}}}, {}, false, -1, "Receiving Server Error: 200 OK", false},
      {"PORT 250", {}, {{"PORT", {"250 Fine\r\n"}}}, false, -1, "Sending Server Error: 250 Fine", false},
      {"a bad 227", {{"PASV", {"", "227 Entering Passive Mode (1,2,3)\r\n"}}}, {}, false, -1, "no valid data address",
       false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFtpScript rs = ReceiverScript();
    rs.Replies = c.ReceiverReplies;
    TFtpScript ss = SenderScript();
    ss.Replies = c.SenderReplies;
    if (c.MissingSource) ss.Files.clear();
    ss.RetrCutAfter = c.CutAfter;
    TFtpScriptServer& receiver = StartServer(rs);
    TFtpScriptServer& sender = StartServer(ss);
    OpenStoS(receiver.Port(), sender.Port());
    ConnectBoth();
    SelectSending("a b.bin");
    dialogs.Dialogs.Boxes.clear();
    ASSERT_TRUE(Click(stos->Button1->Handle()));
    ASSERT_TRUE(WaitUntil([&] { return !dialogs.Dialogs.Boxes.empty(); }, 15000));
    ASSERT_TRUE(Idle());
    PumpFor(200);
    ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u) << ::testing::PrintToString(BoxTexts());
    bool complete = String(c.BoxHas) == "Transfer is complete!";
    EXPECT_EQ(dialogs.Dialogs.Boxes[0].caption, complete ? "Status..." : "Server Error");
    EXPECT_NE(dialogs.Dialogs.Boxes[0].text.find(c.BoxHas), String::npos) << dialogs.Dialogs.Boxes[0].text;
    EXPECT_EQ(receiver.Count("STOR"), c.Stor ? 1 : 0);
    EXPECT_FALSE(stos->TransferActive());
    // The next listing brings no "complete" box.
    SendMessageA(stos->ComboDir1->EditHandle(), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(WaitUntil([&] { return receiver.Count("CWD") == 1; }));
    ASSERT_TRUE(Idle());
    EXPECT_EQ(dialogs.Dialogs.Boxes.size(), 1u) << ::testing::PrintToString(BoxTexts());
    if (c.CutAfter >= 0) {
      // Both lines, and the warning.
      EXPECT_NE(dialogs.Dialogs.Boxes[0].text.find("Receiving Server: 226"), String::npos);
      EXPECT_NE(dialogs.Dialogs.Boxes[0].text.find("may be incomplete"), String::npos);
    }
    stos.reset();
    form->CloseAllChildren();
    form.reset();
  }
}

TEST_F(StosTest, OverwritePromptAndHostileNames) {
  TFtpScript rs = ReceiverScript();
  rs.Listing = UnixLine("a b.bin", 1);
  TFtpScript ss = SenderScript();
  ss.Files["evil/name"] = "x";
  ss.Listing += UnixLine("evil/name", 1);
  TFtpScriptServer& receiver = StartServer(rs);
  TFtpScriptServer& sender = StartServer(ss);
  OpenStoS(receiver.Port(), sender.Port());
  ConnectBoth();
  SelectSending("a b.bin");
  dialogs.Dialogs.Answers = {IDNO};
  ASSERT_TRUE(Click(stos->Button1->Handle()));
  ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].text,
            "The file a b.bin already exists on the receiving server. Do you want to replace it?");
  PumpFor(100);
  EXPECT_EQ(receiver.Count("PASV"), 1);  // the listing's only
  dialogs.Dialogs.Answers = {IDYES};
  ASSERT_TRUE(Click(stos->Button1->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return dialogs.Dialogs.Boxes.size() == 3; }, 15000))
      << ::testing::PrintToString(BoxTexts());
  EXPECT_EQ(dialogs.Dialogs.Boxes[2].text, "Transfer is complete!");
  ASSERT_TRUE(Idle());
  EXPECT_EQ(receiver.Stored()["a b.bin"], String(kData, sizeof kData - 1));

  // A name with a path separator is refused before anything is sent.
  SelectSending("evil/name");
  int pasv = receiver.Count("PASV");
  ASSERT_TRUE(Click(stos->Button1->Handle()));
  ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 4u);
  EXPECT_NE(dialogs.Dialogs.Boxes[3].text.find("cannot be copied"), String::npos);
  PumpFor(100);
  EXPECT_EQ(receiver.Count("PASV"), pasv);
  EXPECT_EQ(sender.Count("RETR"), 1);
}

TEST_F(StosTest, AbortWhileTheFinalsAreAwaitedShowsNoBox) {
  TFtpScript ss = SenderScript();
  ss.Files["big.bin"] = String(200000, 'z');
  ss.Listing = UnixLine("big.bin", 200000);
  ss.PaceBytes = 1000;
  ss.PaceMs = 20;
  TFtpScriptServer& receiver = StartServer(ReceiverScript());
  TFtpScriptServer& sender = StartServer(ss);
  OpenStoS(receiver.Port(), sender.Port());
  ConnectBoth();
  SelectSending("big.bin");
  ASSERT_TRUE(Click(stos->Button1->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return Has(stos->Memo1, "<-- 150 Ok to send data"); }, 15000));
  EXPECT_TRUE(stos->TransferActive());
  // Both sides stay busy: a directory change waits.
  SendMessageA(stos->ComboDir2->EditHandle(), WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].text, "You must wait for the current operation to finish.");
  ASSERT_TRUE(Click(stos->Button2->Handle()));
  ASSERT_TRUE(Idle());
  PumpFor(300);
  EXPECT_EQ(dialogs.Dialogs.Boxes.size(), 1u) << ::testing::PrintToString(BoxTexts());
  EXPECT_TRUE(Has(stos->Memo1, "Receiving Server Aborted Command"));
  EXPECT_TRUE(Has(stos->Memo1, "Sending Server Aborted Command"));
  EXPECT_FALSE(stos->TransferActive());
  EXPECT_FALSE(stos->Ftp1->GetConnected());
  EXPECT_TRUE(stos->RBConnect->Enabled());
}

TEST_F(StosTest, AnUnconnectedSenderAndClosingDuringAHeldListing) {
  TFtpScript rs = ReceiverScript();
  rs.HoldList = true;
  TFtpScriptServer& receiver = StartServer(rs);
  OpenStoS(receiver.Port(), receiver.Port());
  Choose(stos->ComboAc1, "Receiver");
  ASSERT_TRUE(Click(stos->RBConnect->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return receiver.Count("LIST") == 1; }));
  // A row of the sending side that has no connection.
  stos->SList2->Items()->Add()->SetCaption("x");
  SelectSending("x");
  ASSERT_TRUE(Click(stos->Button1->Handle()));
  ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].text, "You must wait for the current operation to finish.");
  String files[] = {stos->ListingFile1, stos->ListingFile2};
  for (const String& f : files) EXPECT_TRUE(FileExists(f)) << f;
  // Closed outside a modal run, the window frees itself.
  TFormStoS* w = stos.release();
  HWND wnd = w->Handle();
  ASSERT_TRUE(Click(w->Button3->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(wnd); }));
  for (const String& f : files) EXPECT_FALSE(FileExists(f)) << f;
  EXPECT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
}

TEST_F(StosTest, ASenderWithoutAConnection) {
  TFtpScriptServer& receiver = StartServer(ReceiverScript());
  OpenStoS(receiver.Port(), receiver.Port());
  Choose(stos->ComboAc1, "Receiver");
  ASSERT_TRUE(Click(stos->RBConnect->Handle()));
  ASSERT_TRUE(Idle());
  stos->SList2->Items()->Add()->SetCaption("x");
  SelectSending("x");
  ASSERT_TRUE(Click(stos->Button1->Handle()));
  ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].text,
            "You must establish a connection with the server before performing any operations.");
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].caption, "No Connection");
  EXPECT_EQ(receiver.Count("PASV"), 1);
  // Help answers from the main window's help file.
  ASSERT_TRUE(Click(stos->Button4->Handle()));
  ASSERT_EQ(dialogs.Dialogs.HelpCalls.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.HelpCalls[0], form->HelpPath() + "|" + IntToStr(HELP_COMMAND) + "|JI(`',`IDH_stos')");
}

TEST_F(StosTest, ConnectClientCopiesTheProfile) {
  WriteProfile("P", {{"HostName", "h.example"}, {"UserName", "u"}, {"PassWord", "p"}, {"Passive", "1"},
                     {"Proxy", "1"}, {"ProxyName", "proxy.example"}});
  OpenMain();
  TOwned<TFormStoS> w(new TFormStoS(Application, profiles));
  struct {
    int TimeOut, Share;
    TFtpShareMode Mode;
    int Timeout;
  } settings[] = {{0, 0, ftpShareDenyNone, 30},   {45, 1, ftpShareDenyRead, 45}, {0, 2, ftpShareDenyWrite, 30},
                  {0, 3, ftpShareExclusive, 30}, {0, 7, ftpShareDenyNone, 30}};
  for (const auto& s : settings) {
    TReg::WriteInteger(SettingsSection, "TimeOut", s.TimeOut);
    TReg::WriteInteger(SettingsSection, "ShareAccess", s.Share);
    TFtpClient ftp(nullptr);
    int type = -1;
    w->ConnectClient("P", &ftp, type);
    EXPECT_EQ(ftp.Timeout(), s.Timeout) << s.TimeOut;
    EXPECT_EQ(ftp.ShareMode(), s.Mode) << s.Share;
    EXPECT_EQ(ftp.Port(), "21");
    EXPECT_EQ(ftp.HostName(), "h.example");
    EXPECT_EQ(ftp.ProxyServer(), "proxy.example");
    EXPECT_EQ(ftp.ConnectionType(), ftpProxy);
    EXPECT_TRUE(ftp.Passive());
    EXPECT_EQ(type, 0);
  }
  // The server type chooses the parser as in the connection window.
  const TDirParserKind kinds[] = {dpUnix, dpApple, dpDos, dpMultiNet, dpAS400, dpOther};
  for (int t : {0, 1, 2, 3, 4, 5, 9}) {
    WriteProfile("P", {{"ServerType", IntToStr(t)}});
    w->ProfileIni.reset(new TMemIniFile(profiles));
    TFtpClient ftp(nullptr);
    int type = -1;
    w->ConnectClient("P", &ftp, type);
    EXPECT_EQ(type, t);
    EXPECT_EQ(ConnectionParserKind(type), t <= 5 ? kinds[t] : dpUnix);
  }
}
