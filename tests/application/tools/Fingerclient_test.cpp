// The finger tool against efingerd (127.0.0.1:79), a port nobody listens on
// (127.0.0.2:79) and scripted servers on 127.0.0.3:79.
#include <atomic>

#include "Toolstest.h"
#include "application/tools/Fingerclient.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Scriptedpeer.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

const char kScriptedHost[] = "127.0.0.3";

class FingerTool : public ::testing::Test {
 protected:
  void SetUp() override { form = new TFormFinger(Application); }
  void TearDown() override {
    if (form) form->Free();
  }

  void ShowForm() {
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
  }

  // Types the query and sends it as a person does; waits for "Done.".
  void Query(const String& query) {
    form->EditQuery->SetText(query);
    ASSERT_TRUE(Click(form->Button1->Handle()));
    ASSERT_TRUE(WaitForLine(form->Memo1, "Done.", 15000));
  }

  bool Idle() const {
    return form->Button1->Enabled() && !form->Button2->Enabled() && Screen->Cursor() == crDefault;
  }

  TFakeHost frame;
  TScopedDialogs dialogs;
  TFormFinger* form = nullptr;
};

TEST_F(FingerTool, AddTextTurnsEachCrAndLfIntoALineBreak) {
  const struct {
    const char* text;
    std::vector<String> lines;
  } cases[] = {
      {"one", {"one"}},
      {"one\r\ntwo", {"one", "", "two"}},
      {"one\ntwo\rthree", {"one", "two", "three"}},
      {"\n", {"", ""}},
      {"", {""}},
  };
  for (const auto& c : cases) {
    form->Memo1->Clear();
    form->AddText(c.text);
    EXPECT_EQ(MemoLines(form->Memo1), c.lines) << c.text;
  }
}

TEST_F(FingerTool, AnswerOfEfingerd) {
  ShowForm();
  Query("nembrafinger@127.0.0.1");
  EXPECT_EQ(MemoLines(form->Memo1),
            (std::vector<String>{"Started...", "Connected to host...", "Nembra Finger", "", "Login: nembrafinger", "",
                                 "Name: Nembra Finger", "", "Plan: Testing Nembra's finger client.", "", "", "", "",
                                 "Done."}));
  EXPECT_TRUE(Idle());
  SaveScreenshot(form->Handle());
}

TEST_F(FingerTool, FailuresAreTold) {
  ShowForm();
  const struct {
    const char* query;
    const char* text;
  } cases[] = {
      {"@127.0.0.2", "No finger service available."},
      {"someone@nembra.invalid", "Host not found."},
      // Refused inside the call that starts the query.
      {"someone@224.0.0.1", "Error #10051"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    Query(c.query);
    EXPECT_EQ(MemoLines(form->Memo1), (std::vector<String>{"Started...", c.text, "Done."}));
    EXPECT_TRUE(Idle());
  }
}

TEST_F(FingerTool, QueryWithoutHostGoesToTheApplicationOnce) {
  ShowForm();
  form->AddText("kept");
  TExceptionLog log;
  form->EditQuery->SetText("alice");
  ASSERT_TRUE(Click(form->Button1->Handle()));
  ASSERT_TRUE(WaitFor([&] { return !log.Seen.empty(); }));
  PumpFor(100);
  EXPECT_EQ(log.Seen, std::vector<String>{"Exception: TFingerCli, Invalid Query: alice"});
  EXPECT_EQ(MemoLines(form->Memo1), std::vector<String>{"kept"});
  EXPECT_TRUE(Idle());
}

// Two writes 200 ms apart give one line; a NUL shows as ".".
TEST_F(FingerTool, ReadsContinueTheLine) {
  String request;
  TScriptedPeer peer(
      [&](SOCKET s) {
        request = RecvBytes(s, 7);
        SendBytes(s, "split li");
        Sleep(200);
        SendBytes(s, String("ne with a\0NUL\r\n", 15));
      },
      kScriptedHost, 79);
  ShowForm();
  Query(String("alice@") + kScriptedHost);
  peer.Join();
  EXPECT_EQ(request, "alice\r\n");
  EXPECT_EQ(MemoLines(form->Memo1), (std::vector<String>{"Started...", "Connected to host...",
                                                         "split line with a.NUL", "", "", "Done."}));
}

// A server that answers nothing: Abort ends the query; closing the window
// mid-query ends it too. The server sees the connection go both times.
TEST_F(FingerTool, SilentServerAbortedThenClosedMidQuery) {
  std::atomic<bool> dropped{false};
  auto silent = [&](SOCKET s) {
    RecvBytes(s, 7);
    dropped = RecvUntilClosed(s).empty();
  };
  {
    TScriptedPeer peer(silent, kScriptedHost, 79);
    ShowForm();
    form->EditQuery->SetText(String("alice@") + kScriptedHost);
    ASSERT_TRUE(Click(form->Button1->Handle()));
    ASSERT_TRUE(WaitForLine(form->Memo1, "Connected to host..."));
    EXPECT_FALSE(form->Button1->Enabled());
    EXPECT_TRUE(form->Button2->Enabled());
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    ASSERT_TRUE(Click(form->Button2->Handle()));
    ASSERT_TRUE(WaitForLine(form->Memo1, "Done."));
    EXPECT_TRUE(Idle());
    peer.Join();
    EXPECT_TRUE(dropped);
  }
  form->Hide();

  dropped = false;
  TScriptedPeer peer(silent, kScriptedHost, 79);
  TModalDriver modal;
  modal.Window("Finger Query")
      .SetEditAt(0, String("alice@") + kScriptedHost)
      .Press("Send Query")
      .Do("close once connected",
          [&](HWND w) {
            std::vector<String> lines = MemoLines(form->Memo1);
            if (std::find(lines.begin(), lines.end(), "Connected to host...") == lines.end()) return false;
            PostMessageA(w, WM_CLOSE, 0, 0);
            return true;
          });
  EXPECT_EQ(form->ShowModal(), mrCancel);
  EXPECT_TRUE(modal.Finish());
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(Screen->Cursor(), crDefault);
  form->Free();
  form = nullptr;
  peer.Join();
  EXPECT_TRUE(dropped);
}

TEST_F(FingerTool, HelpOpensItsTopic) {
  form->Button4->Click();
  EXPECT_EQ(dialogs.Dialogs.HelpCalls,
            std::vector<String>{"C:\\Nembra\\nembra3.hlp|" + IntToStr(HELP_COMMAND) + "|JI(`',`IDH_finger')"});
}

}  // namespace
