// The lookup tool over Wine's resolver (localhost <-> 127.0.0.1, *.invalid
// unknown), and the openers of the five tools.
#include "Toolstest.h"
#include "application/frame/Regdataunit.h"
#include "application/tools/Dnsqry.h"
#include "application/tools/Fingerclient.h"
#include "application/tools/Lookup.h"
#include "application/tools/Pingunit.h"
#include "application/tools/Validurl.h"
#include "classlib/Registry.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

class LookupTool : public ::testing::Test {
 protected:
  void SetUp() override {
    form = new TFormLookup(Application);
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
  }
  void TearDown() override {
    if (form) form->Free();
  }

  void Lookup(TButton* button, const String& text, const String& last) {
    form->EditQuery->SetText(text);
    ASSERT_TRUE(Click(button->Handle()));
    ASSERT_TRUE(WaitFor([&] { return !MemoLines(form->Memo1).empty() && MemoLines(form->Memo1).back() == last; }))
        << "last line wanted: " << last << "; the memo: " << form->Memo1->Text();
    EXPECT_EQ(Screen->Cursor(), crDefault);
  }

  TFakeHost frame;
  TScopedDialogs dialogs;
  TFormLookup* form = nullptr;
};

TEST_F(LookupTool, ForwardLookup) {
  Lookup(form->Button1, "localhost", "Result: 127.0.0.1");
  EXPECT_EQ(MemoLines(form->Memo1),
            (std::vector<String>{"", "Sending Lookup Query for: localhost", "Finished", "Result: 127.0.0.1"}));
  SaveScreenshot(form->Handle());
}

TEST_F(LookupTool, ReverseUnknownAndEmpty) {
  const struct {
    bool reverse;
    const char* text;
    const char* request;
    const char* last;
  } cases[] = {
      {true, "127.0.0.1", "Sending Reverse Lookup Query for: 127.0.0.1", "Result: localhost"},
      {false, "nembra.invalid", "Sending Lookup Query for: nembra.invalid", "Error: #11001"},
      // The socket refuses the empty name: its error event, then the end.
      {false, "", "Sending Lookup Query for: ", "Error: #10022"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    form->Memo1->Clear();
    Lookup(c.reverse ? form->Button4 : form->Button1, c.text, c.last);
    std::vector<String> lines = MemoLines(form->Memo1);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], c.request);
  }
}

// The lookup is still pending when the window closes: nothing more is
// written and the pointer is back.
TEST_F(LookupTool, ClosingCancelsAPendingLookup) {
  form->Hide();
  TModalDriver modal;
  modal.Window("DNS Lookup").SetEditAt(0, "localhost").Do("look up, then close at once", [&](HWND w) {
    PostMessageA(form->Button1->Handle(), BM_CLICK, 0, 0);
    PostMessageA(w, WM_CLOSE, 0, 0);
    return true;
  });
  EXPECT_EQ(form->ShowModal(), mrCancel);
  EXPECT_TRUE(modal.Finish());
  PumpFor(300);
  EXPECT_EQ(MemoLines(form->Memo1), (std::vector<String>{"", "Sending Lookup Query for: localhost"}));
  EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(LookupTool, HelpOpensItsTopic) {
  ASSERT_TRUE(Click(form->Button2->Handle()));
  EXPECT_EQ(dialogs.Dialogs.HelpCalls,
            std::vector<String>{"C:\\Nembra\\nembra3.hlp|" + IntToStr(HELP_COMMAND) + "|JI(`',`IDH_lookup')"});
}

// Each opener asks the frame first; with its consent the window is shown
// modally and freed when it closes.
TEST(ToolOpeners, ShowModallyOnlyWithAConnection) {
  String savedTitle = Application->Title;
  Application->Title = "NembraTest-openers-" + IntToStr(GetCurrentProcessId());
  const struct {
    void (*open)();
    const char* caption;
  } tools[] = {
      {ShowFingerTool, "Finger Query"}, {ShowLookupTool, "DNS Lookup"}, {ShowDnsTool, "DNS Queries"},
      {ShowPingTool, "Ping Utility"},   {ShowUrlTool, "URL Retrieval"},
  };
  TFakeHost frame;
  const int forms = Screen->FormCount();
  for (const auto& t : tools) {
    SCOPED_TRACE(t.caption);
    frame.Connected = false;
    frame.Checks = 0;
    t.open();
    EXPECT_EQ(frame.Checks, 1);
    EXPECT_EQ(Screen->FormCount(), forms);

    frame.Connected = true;
    TModalDriver modal;
    modal.Window(t.caption).Do("close", [](HWND w) {
      PostMessageA(w, WM_CLOSE, 0, 0);
      return true;
    });
    t.open();
    EXPECT_TRUE(modal.Finish());
    EXPECT_EQ(Screen->FormCount(), forms);
  }
  // The URL tool made its folder beside the program and kept its placement.
  String temp = ExtractFilePath(Application->ExeName()) + "HttpTemp";
  EXPECT_TRUE(DirectoryExists(temp));
  RemoveDir(temp);
  TRegistry r;
  r.DeleteKey(TReg::GetKeyPath());
  Application->Title = savedTitle;
}

}  // namespace
