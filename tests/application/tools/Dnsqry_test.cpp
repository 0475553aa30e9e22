// The DNS query tool against dnsmasq (tests set the component's port) and
// a scripted UDP server.
#include "Toolstest.h"
#include "application/tools/Dnsqry.h"
#include "support/Dnsmessage.h"
#include "support/Input.h"
#include "support/Peers.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Udppeer.h"
#include "support/Winwait.h"

namespace {

const String kStars50(50, '*');

class DnsTool : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new TFormDns(Application);
    form->Dns->SetPort(PeerPortStr(ppDns));
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
  }
  void TearDown() override {
    if (form) form->Free();
  }

  // Asks as a person does and waits for the reply's last line (or a box).
  void Query(int type, const String& domain, const String& ip) {
    form->ComboBox1->SetItemIndex(type);
    form->Edit_Domain->SetText(domain);
    form->Edit_IP->SetText(ip);
    size_t boxes = frame.Boxes.size();
    ASSERT_TRUE(Click(form->Button4->Handle()));
    ASSERT_TRUE(WaitFor([&] {
      if (frame.Boxes.size() > boxes) return true;
      for (const String& l : MemoLines(form->Memo1))
        if (StartsText("Question Class", l)) return true;
      return false;
    }));
    PumpFor(100);
  }

  TFakeHost frame;
  TScopedDialogs dialogs;
  TFormDns* form = nullptr;
};

TEST_F(DnsTool, ALookupShowsTheWholeReply) {
  EXPECT_EQ(form->ComboBox1->ItemIndex(), 0);
  EXPECT_EQ(form->ComboBox1->Text(), "A Lookup");
  Query(0, "host.nembra.test", "127.0.0.1");
  std::vector<String> lines = MemoLines(form->Memo1);
  ASSERT_EQ(lines.size(), 22u) << form->Memo1->Text();
  EXPECT_EQ(lines[0], "Request #         : 1");
  EXPECT_EQ(lines[1], kStars50);
  EXPECT_EQ(lines[12].substr(0, 21), "Response Length    : ");
  lines[12] = "Response Length    : ?";
  EXPECT_EQ(std::vector<String>(lines.begin() + 2, lines.end()),
            (std::vector<String>{"Response ID        : 1", "Response Code      : 0", "Response OpCode    : 0",
                                 "Authoritative      : True", "Truncation         : False",
                                 "RecursionAvailable : True", "QDCount            : 1", "ANCount            : 1",
                                 "NSCount            : 0", "ARCount            : 0", "Response Length    : ?",
                                 "Question Name      : host.nembra.test", "Question Type      : 1",
                                 "Question Class     : 1", "Answer #           : 1",
                                 "  Answer Name      : host.nembra.test", "  AnswerType       : 1",
                                 "  AnswerClass      : 1", "  AnswerTTL        : 600",
                                 "  Address          : 192.0.2.10"}));
  EXPECT_EQ(StrToInt(form->Memo1->Lines()->Strings(12).substr(21)), form->Dns->ResponseLen());
}

TEST_F(DnsTool, MxAnswersComeInPairs) {
  Query(1, "nembra.test", "127.0.0.1");
  std::vector<String> mx;
  for (const String& l : MemoLines(form->Memo1))
    if (StartsText("  MX", l)) mx.push_back(l);
  EXPECT_EQ(mx, (std::vector<String>{"  MXPreference     : 10", "  MXExchange       : mx1.nembra.test",
                                     "  MXPreference     : 20", "  MXExchange       : mx2.nembra.test"}));
  SaveScreenshot(form->Handle());
}

TEST_F(DnsTool, UnknownNameAndReverseQuery) {
  Query(0, "none.nembra.test", "127.0.0.1");
  std::vector<String> lines = MemoLines(form->Memo1);
  ASSERT_GE(lines.size(), 16u);
  EXPECT_EQ(lines[3], "Response Code      : 3");
  EXPECT_EQ(lines[9], "ANCount            : 0");
  EXPECT_EQ(lines.size(), 16u) << "no answer lines";

  // PTR asks the server about its own address.
  Query(2, "ignored.nembra.test", "127.0.0.1");
  lines = MemoLines(form->Memo1);
  ASSERT_GE(lines.size(), 16u);
  EXPECT_EQ(lines[0], "Request #         : 2");
  EXPECT_EQ(lines[13], "Question Name      : 1.0.0.127.in-addr.arpa");
  EXPECT_EQ(lines[14], "Question Type      : 12");
}

TEST_F(DnsTool, GetIpAndTheEmptyAddress) {
  form->Memo1->Lines()->Add("old");
  form->Edit_Domain->SetText("localhost");
  ASSERT_TRUE(Click(form->Button2->Handle()));
  ASSERT_TRUE(WaitFor([&] { return form->Edit_IP->Text() == "127.0.0.1"; }));
  EXPECT_TRUE(MemoLines(form->Memo1).empty());

  // An unknown name leaves the address as it was.
  form->Edit_Domain->SetText("nembra.invalid");
  form->Button2->Click();
  PumpFor(500);
  EXPECT_EQ(form->Edit_IP->Text(), "127.0.0.1");

  form->Edit_IP->SetText("");
  form->Memo1->Lines()->Add("kept");
  ASSERT_TRUE(Click(form->Button4->Handle()));
  EXPECT_EQ(frame.BoxTexts(),
            std::vector<String>{"info: No IP Address: You must enter or obtain an IP address to query the server."});
  EXPECT_EQ(form->Dns->ID(), 0) << "no query sent";
  EXPECT_EQ(MemoLines(form->Memo1), std::vector<String>{"kept"});
  EXPECT_TRUE(WaitFor([&] { return form->Edit_IP->Focused(); }, 2000));
}

TEST_F(DnsTool, ScriptedReplies) {
  using namespace dnsmsg;
  const struct {
    const char* what;
    TUdpScript script;
    std::vector<String> tail;  // the lines after "Question Class"
    String box;
  } cases[] = {
      {"a CNAME and a PTR",
       [](const String& q) {
         return std::vector<TDatagram>{{Header(QueryId(q), 0x8180, 1, 2) + QuestionOf(q) +
                                        Record(Pointer(12), 5, Name("ptr.nembra.test")) +
                                        Record(Name("ptr.nembra.test"), 12, Name("target.nembra.test"))}};
       },
       {"Answer #           : 1", "  Answer Name      : host.nembra.test", "  AnswerType       : 5",
        "  AnswerClass      : 1", "  AnswerTTL        : 300", "Answer #           : 2",
        "  Answer Name      : ptr.nembra.test", "  AnswerType       : 12", "  AnswerClass      : 1",
        "  AnswerTTL        : 300", "  Hostname         : target.nembra.test"},
       ""},
      {"65535 answers announced",
       [](const String& q) {
         return std::vector<TDatagram>{{Header(QueryId(q), 0x8180, 1, 65535) + QuestionOf(q) +
                                        Record(Pointer(12), 1, Ipv4(192, 0, 2, 1))}};
       },
       {}, "error: DNS Query Error: DNS Query Error: #11003"},
      {"no reply", [](const String&) { return std::vector<TDatagram>{}; }, {},
       "error: DNS Query Error: DNS Query Error: #10060"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    frame.Boxes.clear();
    TUdpPeer peer(c.script);
    form->Dns->SetPort(peer.PortStr());
    form->Dns->SetTimeout(600);
    Query(0, "host.nembra.test", "127.0.0.1");
    if (!c.box.empty()) {
      EXPECT_EQ(frame.BoxTexts(), std::vector<String>{c.box});
      // The request lines stay; nothing of the reply is shown.
      EXPECT_EQ(MemoLines(form->Memo1).size(), 2u);
      continue;
    }
    EXPECT_TRUE(frame.Boxes.empty());
    EXPECT_EQ(LinesFrom(form->Memo1, "Answer #           : 1"), c.tail);
  }
}

// A query still waiting when the window closes shows nothing afterwards.
TEST_F(DnsTool, ClosingEndsTheWaitingQuery) {
  TUdpPeer silent([](const String&) { return std::vector<TDatagram>{}; });
  form->Dns->SetPort(silent.PortStr());
  form->Dns->SetTimeout(300);
  form->Edit_Domain->SetText("host.nembra.test");
  form->Edit_IP->SetText("127.0.0.1");
  ASSERT_TRUE(Click(form->Button4->Handle()));
  ASSERT_TRUE(Click(form->Button3->Handle()));
  EXPECT_FALSE(form->Visible());
  PumpFor(800);
  EXPECT_TRUE(frame.Boxes.empty());
  EXPECT_EQ(MemoLines(form->Memo1).size(), 2u);
}

TEST_F(DnsTool, SaveAsWritesTheLines) {
  Query(1, "nembra.test", "127.0.0.1");
  String folder = IncludeTrailingBackslash(MakeTempFolder("dnstool"));
  frame.SaveAnswers = {folder + "mx.txt"};
  ASSERT_TRUE(Click(form->Button1->Handle()));
  ASSERT_EQ(frame.Saves.size(), 1u);
  EXPECT_EQ(frame.Saves[0].Owner, form);
  EXPECT_EQ(frame.Saves[0].Filter, "Text Files (*.txt)|*.txt");
  String want;
  for (const String& l : MemoLines(form->Memo1)) want += l + "\r\n";
  EXPECT_EQ(ReadFileBytes(folder + "mx.txt"), want);

  // Cancelled: nothing is written.
  ASSERT_TRUE(Click(form->Button1->Handle()));
  EXPECT_EQ(frame.Saves.size(), 2u);
}

TEST_F(DnsTool, HelpOpensItsTopic) {
  ASSERT_TRUE(Click(form->Button5->Handle()));
  EXPECT_EQ(dialogs.Dialogs.HelpCalls,
            std::vector<String>{"C:\\Nembra\\nembra3.hlp|" + IntToStr(HELP_COMMAND) + "|JI(`',`IDH_dns_queries')"});
}

}  // namespace
