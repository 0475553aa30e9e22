// The ping and trace-route tool with real echoes: to 127.0.0.1 and to the
// hosts the test run makes in network namespaces (tests/peers/netns.sh:
// a router answering TTL 1, a far host behind it, a dropped address).
#include <winsock2.h>

#include <regex>

#include "Toolstest.h"
#include "application/tools/Pingunit.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Peers.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

const String kStars45(45, '*');

// The numbers of the lines that match a pattern with one number in it.
std::vector<int> Numbers(const std::vector<String>& lines, const std::regex& pattern) {
  std::vector<int> found;
  for (const String& l : lines) {
    std::smatch m;
    if (std::regex_match(l, m, pattern)) found.push_back(std::stoi(m[1].str()));
  }
  return found;
}

bool Has(const std::vector<String>& lines, const String& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class PingTool : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new TFormPing(Application);
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
  }
  void TearDown() override {
    if (form) form->Free();
  }

  void Fields(const String& address, const String& size = "64", const String& timeout = "3000",
              const String& hops = "32", bool trace = false) {
    form->EditAdd->SetText(address);
    form->EditSize->SetText(size);
    form->EditTime->SetText(timeout);
    form->EditTTL->SetText(hops);
    form->CheckTrace->SetChecked(trace);
  }

  // Clicks "&Ping" and waits until the run has ended.
  void Run() {
    form->Stat->SetCaption("");
    ASSERT_TRUE(Click(form->ButPing->Handle()));
    ASSERT_TRUE(WaitFor([&] { return form->ButPing->Enabled() && !form->Stat->Caption().empty(); }, 30000));
    EXPECT_TRUE(Idle());
  }

  bool Idle() const {
    return form->ButPing->Enabled() && !form->Button2->Enabled() && Screen->Cursor() == crDefault;
  }

  std::vector<String> Lines() const { return MemoLines(form->Memo1); }

  TFakeHost frame;
  TScopedDialogs dialogs;
  TFormPing* form = nullptr;
};

TEST_F(PingTool, ThreeEchoesToLoopbackAndTheirAverage) {
  Fields("127.0.0.1");
  Run();
  std::vector<String> lines = Lines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Host: 127.0.0.1 ");
  EXPECT_EQ(lines[1], kStars45);
  EXPECT_EQ(lines[2], "Sending packet 1 size: 64 bytes to 127.0.0.1 (127.0.0.1)");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Received the following..."), 3);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Returned Data: 64 bytes"), 3);
  EXPECT_TRUE(Has(lines, "Sending packet 3 size: 64 bytes to 127.0.0.1 (127.0.0.1)"));
  std::vector<int> times = Numbers(lines, std::regex("Return Time: (\\d+) milliseconds"));
  ASSERT_EQ(times.size(), 3u);
  std::vector<int> average = Numbers(lines, std::regex("Average return time: (\\d+) milliseconds"));
  ASSERT_EQ(average.size(), 1u);
  EXPECT_EQ(average[0], (times[0] + times[1] + times[2]) / 3);
  EXPECT_EQ(form->Stat->Caption(), "Ping Complete");
  SaveScreenshot(form->Handle());
}

TEST_F(PingTool, FailedEchoesGiveNoAverage) {
  const TNetnsHosts hosts;
  ASSERT_TRUE(hosts.Ready());
  const struct {
    String address, timeout, hops;
    std::regex packet;
    std::vector<String> messages;
  } cases[] = {
      {hosts.Dropped, "300", "32", std::regex("Packet [123] Request timed out in 300 milliseconds"), {}},
      // The router's "time exceeded" is a reply, but the packet failed.
      {hosts.FarHost, "3000", "1", std::regex("Packet [123] TTL expired in transit in \\d+ milliseconds"), {}},
      {"nembra.invalid", "3000", "32", std::regex("Packet .*"),
       {"Message: Unable to resolve nembra.invalid", "Message: Invalid host address"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    Fields(c.address, "64", c.timeout, c.hops);
    Run();
    std::vector<String> lines = Lines();
    int failed = 0;
    for (const String& l : lines) failed += std::regex_match(l, c.packet);
    EXPECT_EQ(failed, c.messages.empty() ? 3 : 0) << form->Memo1->Text();
    for (const String& m : c.messages) EXPECT_EQ(std::count(lines.begin(), lines.end(), m), 3) << m;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Received the following..."), 0);
    EXPECT_EQ(lines.back(), "One or more packets timed out, no average.");
    EXPECT_EQ(form->Stat->Caption(), "Ping Complete");
  }
}

TEST_F(PingTool, CancelStopsBeforeTheThirdEcho) {
  const TNetnsHosts hosts;
  ASSERT_TRUE(hosts.Ready());
  form->Hide();
  TModalDriver modal;
  modal.Window("Ping Utility").Do("cancel once packet 2 is sent", [&](HWND) {
    if (!Has(Lines(), "Sending packet 2 size: 64 bytes to " + hosts.Dropped + " (" + hosts.Dropped + ")")) return false;
    PostMessageA(form->Button2->Handle(), BM_CLICK, 0, 0);
    return true;
  });
  form->Show();
  Fields(hosts.Dropped, "64", "1000");
  Run();
  EXPECT_TRUE(modal.Finish());
  std::vector<String> lines = Lines();
  EXPECT_FALSE(Has(lines, "Sending packet 3 size: 64 bytes to " + hosts.Dropped + " (" + hosts.Dropped + ")"));
  EXPECT_EQ(lines.back(), "Ping Cancelled!");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Ping Cancelled!"), 1);
  EXPECT_EQ(form->Stat->Caption(), "Ping Cancelled!");
}

TEST_F(PingTool, TraceToLoopbackWithAndWithoutNames) {
  Fields("127.0.0.1", "64", "3000", "32", true);
  Run();
  std::vector<String> lines = Lines();
  ASSERT_EQ(lines.size(), 8u) << form->Memo1->Text();
  EXPECT_EQ(std::vector<String>(lines.begin(), lines.begin() + 6),
            (std::vector<String>{"Host: 127.0.0.1 ", kStars45, "", "Resolved: 127.0.0.1", kStars45, ""}));
  EXPECT_TRUE(std::regex_match(lines[6], std::regex("1\\)  127\\.0\\.0\\.1   - \\d+ ms"))) << lines[6];
  EXPECT_EQ(lines[7], "Trace Route Complete");
  EXPECT_EQ(form->Stat->Caption(), "Trace Complete");

  ASSERT_TRUE(Click(form->Check1->Handle()));
  ASSERT_TRUE(form->Check1->Checked());
  form->Memo1->Clear();
  Run();
  lines = Lines();
  ASSERT_EQ(lines.size(), 8u) << form->Memo1->Text();
  EXPECT_TRUE(std::regex_match(lines[6], std::regex("1\\)  127\\.0\\.0\\.1  localhost \\[127\\.0\\.0\\.1\\] - \\d+ ms")))
      << lines[6];
}

TEST_F(PingTool, TraceThroughTheRouter) {
  const TNetnsHosts hosts;
  ASSERT_TRUE(hosts.Ready());
  Fields(hosts.FarHost, "64", "3000", "32", true);
  Run();
  std::vector<String> hops = LinesFrom(form->Memo1, "Resolved: " + hosts.FarHost);
  ASSERT_EQ(hops.size(), 6u) << form->Memo1->Text();
  EXPECT_TRUE(std::regex_match(hops[3], std::regex("1\\)  " + hosts.Router + "   - \\d+ ms"))) << hops[3];
  EXPECT_TRUE(std::regex_match(hops[4], std::regex("2\\)  " + hosts.FarHost + "   - \\d+ ms"))) << hops[4];
  EXPECT_EQ(hops[5], "Trace Route Complete");
  SaveScreenshot(form->Handle());

  // A host that never answers: the trace stops at the hop limit.
  form->Memo1->Clear();
  Fields(hosts.Dropped, "64", "300", "3", true);
  Run();
  hops = LinesFrom(form->Memo1, "Resolved: " + hosts.Dropped);
  ASSERT_EQ(hops.size(), 7u) << form->Memo1->Text();
  EXPECT_TRUE(std::regex_match(hops[3], std::regex("1\\)  " + hosts.Router + "   - \\d+ ms"))) << hops[3];
  EXPECT_EQ(hops[4], "2)  Error: Request timed out");
  EXPECT_EQ(hops[5], "3)  Error: Request timed out");
  EXPECT_EQ(hops[6], "Max Hops reached, trace stopped.");
  EXPECT_EQ(form->Stat->Caption(), "Trace Stopped");
}

TEST_F(PingTool, TraceToAnUnknownName) {
  Fields("nembra.invalid", "64", "3000", "32", true);
  Run();
  EXPECT_EQ(Lines(), (std::vector<String>{"Host: nembra.invalid ", kStars45, "Dns Lookup Error: Host not found"}));
  EXPECT_EQ(form->Stat->Caption(), "Error: Host not found");

  // No name at all: the lookup refuses it, the application hears of it once
  // and the window is idle again.
  TExceptionLog log;
  Fields("", "64", "3000", "32", true);
  ASSERT_TRUE(Click(form->ButPing->Handle()));
  ASSERT_TRUE(WaitFor([&] { return !log.Seen.empty(); }));
  PumpFor(100);
  EXPECT_EQ(log.Seen, std::vector<String>{"ESocketException: DNS lookup: invalid host name."});
  EXPECT_TRUE(Idle());
}

TEST_F(PingTool, FieldsAreChecked) {
  form->Memo1->Lines()->Add("kept");
  const struct {
    const char *size, *timeout, *hops;
  } refused[] = {{"65501", "3000", "32"}, {"64", "0", "32"}, {"64", "3000", "0"}, {"64", "3000", "256"}};
  for (const auto& r : refused) {
    SCOPED_TRACE(String(r.size) + " " + r.timeout + " " + r.hops);
    frame.Boxes.clear();
    Fields("127.0.0.1", r.size, r.timeout, r.hops);
    ASSERT_TRUE(Click(form->ButPing->Handle()));
    EXPECT_EQ(frame.BoxTexts(),
              std::vector<String>{
                  "info: Invalid Value: Packet Size must be 0 to 65500, Timeout at least 1 and Max Hops 1 to 255."});
    EXPECT_EQ(Lines(), std::vector<String>{"kept"});
    EXPECT_TRUE(Idle());
  }

  // An empty number fails its conversion: the application hears of it once.
  frame.Boxes.clear();
  TExceptionLog log;
  Fields("127.0.0.1", "", "3000", "32");
  ASSERT_TRUE(Click(form->ButPing->Handle()));
  ASSERT_TRUE(WaitFor([&] { return !log.Seen.empty(); }));
  PumpFor(100);
  ASSERT_EQ(log.Seen.size(), 1u);
  EXPECT_TRUE(StartsText("EConvertError: ", log.Seen[0])) << log.Seen[0];
  EXPECT_EQ(Lines(), std::vector<String>{"kept"});
  EXPECT_TRUE(Idle());

  // Only digits can be typed into the number fields.
  form->EditSize->SetText("64");
  ASSERT_TRUE(TypeInto(form->EditSize->Handle(), "a"));
  EXPECT_EQ(frame.BoxTexts(), std::vector<String>{"info: Digits Only: You can enter digits only in this field!"});
  EXPECT_EQ(form->EditSize->Text(), "64");
  ASSERT_TRUE(TypeInto(form->EditTTL->Handle(), "7"));
  EXPECT_NE(Pos("7", form->EditTTL->Text()), 0);
  EXPECT_EQ(frame.Boxes.size(), 1u);
}

TEST_F(PingTool, RetrieveNameFollowsTraceRoute) {
  EXPECT_FALSE(form->Check1->Enabled());
  ASSERT_TRUE(Click(form->CheckTrace->Handle()));
  EXPECT_TRUE(form->CheckTrace->Checked());
  EXPECT_TRUE(form->Check1->Enabled());
  ASSERT_TRUE(Click(form->Check1->Handle()));
  EXPECT_TRUE(form->Check1->Checked());
  ASSERT_TRUE(Click(form->CheckTrace->Handle()));
  EXPECT_FALSE(form->Check1->Enabled());
  EXPECT_FALSE(form->Check1->Checked());
}

TEST_F(PingTool, HelpOpensItsTopic) {
  ASSERT_TRUE(Click(form->Button1->Handle()));
  EXPECT_EQ(dialogs.Dialogs.HelpCalls,
            std::vector<String>{"C:\\Nembra\\nembra3.hlp|" + IntToStr(HELP_COMMAND) + "|JI(`',`IDH_ping')"});
}

// Closing the modal window mid-trace cancels it after the current echo;
// the window's WinSock start-up is ended once.
TEST(PingToolClose, MidTraceCancelsAndCleansUpOnce) {
  const TNetnsHosts hosts;
  ASSERT_TRUE(hosts.Ready());
  TFakeHost frame;
  // A start-up of the test's own: a second clean-up of the window's would
  // end it.
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  const int before = WinsockStartups();
  ASSERT_GE(before, 1);
  TOwned<TFormPing> form(new TFormPing(Application));
  form->EditAdd->SetText(hosts.Dropped);
  form->EditTime->SetText("500");
  form->CheckTrace->SetChecked(true);
  TModalDriver modal;
  modal.Window("Ping Utility").Press("&Ping").Do("close after the first hop", [&](HWND w) {
    if (LinesFrom(form->Memo1, "Resolved: " + hosts.Dropped).size() < 4) return false;
    PostMessageA(w, WM_CLOSE, 0, 0);
    return true;
  });
  EXPECT_EQ(form->ShowModal(), mrCancel);
  EXPECT_TRUE(modal.Finish());
  std::vector<String> lines = MemoLines(form->Memo1);
  EXPECT_EQ(lines.back(), "Trace Cancelled!");
  EXPECT_LE(LinesFrom(form->Memo1, "Resolved: " + hosts.Dropped).size(), 7u) << "at most one more echo";
  EXPECT_EQ(Screen->Cursor(), crDefault);
  form.reset();
  EXPECT_EQ(WinsockStartups(), before);
  WSACleanup();
}

}  // namespace
