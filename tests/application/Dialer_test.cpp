// The dial window as a person meets it: what a showing sets up, the title
// bar and the keys that close it, the pointers during a dial, the boxes
// and help; and one run over the real rasapi32.
#include "Dialtest.h"
#include "application/frame/Frameservices.h"
#include "support/Fakehost.h"
#include "support/Input.h"
#include "support/Screenshot.h"

using namespace ras;

namespace {

HRASCONN H(uintptr_t n) { return reinterpret_cast<HRASCONN>(n); }


}  // namespace

TEST_F(DialTest, EmptyPhonebook) {
  FormDial->Logon->SetText("left over");
  FormDial->Password->SetText("left over");
  FormDial->Progress->SetCaption("left over");
  ShowDial();
  SaveScreenshot(FormDial->Handle());
  EXPECT_EQ(FormDial->Progress->Caption(), "No Connection");
  EXPECT_EQ(FormDial->Account->Items()->Count(), 0);
  EXPECT_EQ(FormDial->Account->ItemIndex(), -1);
  EXPECT_EQ(FormDial->Logon->Text(), "");
  EXPECT_EQ(FormDial->Password->Text(), "");
  EXPECT_FALSE(FormDial->Speed1->Enabled());
  EXPECT_TRUE(FormDial->Speed2->Enabled());
  EXPECT_TRUE(FormDial->Dial->Enabled());
  EXPECT_FALSE(FormDial->Hangup->Enabled());
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
}

TEST_F(DialTest, ShowingSelectsTheConnectedEntry) {
  fake->Entries = {
      {"Home", "555-0200", "", "bob", "bobpw", ""},
      {"Office", "555-0100", "", "alice", "s3cret", "WORK"},
  };
  fake->Connections = {{H(0x31), "Office"}};
  ShowDial();
  EXPECT_EQ(FormDial->Progress->Caption(), "Connected to: Office");
  EXPECT_EQ(FormDial->Account->ItemIndex(), 1);
  EXPECT_EQ(FormDial->Logon->Text(), "alice");
  EXPECT_EQ(FormDial->Password->Text(), "s3cret");
  EXPECT_TRUE(FormDial->Speed1->Enabled());
  EXPECT_FALSE(FormDial->Dial->Enabled());
  EXPECT_TRUE(FormDial->Hangup->Enabled());

  // Choosing another entry shows its logon from the file.
  FormDial->Account->SetItemIndex(0);
  FormDial->AccountChange(FormDial->Account);
  EXPECT_EQ(FormDial->Logon->Text(), "bob");
  EXPECT_EQ(FormDial->Password->Text(), "bobpw");
  FormDial->Hide();

  // An entry up that the list does not have: no selection is made.
  fake->Connections = {{H(0x32), "Gone"}};
  FormDial->Logon->SetText("kept");
  ShowDial();
  EXPECT_EQ(FormDial->Progress->Caption(), "Connected to: Gone");
  EXPECT_EQ(FormDial->ConnectedEntry, "Gone");
  EXPECT_EQ(FormDial->Account->ItemIndex(), -1);
  EXPECT_EQ(FormDial->Logon->Text(), "kept");
  EXPECT_FALSE(FormDial->Speed1->Enabled());
  EXPECT_FALSE(FormDial->Dial->Enabled());
}

TEST_F(DialTest, TitleBarHasHelpButNoWorkingClose) {
  ShowDial();
  HWND wnd = FormDial->Handle();
  EXPECT_EQ(WindowText(wnd), "Palvane - RAS Dialer Utility");
  LONG_PTR style = GetWindowLongPtrA(wnd, GWL_STYLE), ex = GetWindowLongPtrA(wnd, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_CONTEXTHELP);
  EXPECT_TRUE(ex & WS_EX_DLGMODALFRAME);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_EQ(GetMenuState(GetSystemMenu(wnd, FALSE), SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
  RECT r;
  GetWindowRect(wnd, &r);
  EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
  EXPECT_NEAR((r.top + r.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 2);
  SaveScreenshot(wnd);

  // A close from the system while "&Close" is disabled does nothing.
  FormDial->Button1->SetEnabled(false);
  SendMessageA(wnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  SendMessageA(wnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindowVisible(wnd));
  FormDial->Button1->SetEnabled(true);
  SendMessageA(wnd, WM_CLOSE, 0, 0);
  EXPECT_FALSE(FormDial->Visible());
}

TEST_F(DialTest, EscapeAndAltF4CloseExceptDuringADial) {
  fake->Entries = {{"Office", "555-0100", "", "alice", "pw", ""}};
  fake->Notes = {{RASCS_OpenPort, 0}, {RASCS_ConnectDevice, 678}};
  fake->HoldBefore = 1;
  ShowDial();
  HWND wnd = FormDial->Handle();
  ASSERT_TRUE(Click(FormDial->Dial->Handle()));
  ASSERT_TRUE(WaitFor([] { return FormDial->Progress->Caption() == "Opening Port..."; }));
  // The disabled "Connect" took the focus with it; then in a field.
  for (HWND focus : {static_cast<HWND>(nullptr), FormDial->Logon->Handle()}) {
    SCOPED_TRACE(focus ? "focus in a field" : "no focus");
    if (focus) {
      ASSERT_TRUE(FocusWindow(focus));
    }
    ASSERT_TRUE(KeyChord({VK_ESCAPE}));
    ASSERT_TRUE(KeyChord({VK_MENU, VK_F4}));
    PumpFor(200);
    EXPECT_TRUE(IsWindowVisible(wnd));
    EXPECT_TRUE(FormDial->Visible());
  }

  // The error ends the dial; then Escape closes.
  fake->Release();
  WaitNotes();
  ASSERT_EQ(BoxTexts(), std::vector<String>{"Dialing Error: No Answer"});
  ASSERT_TRUE(BringToFront(wnd));
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  EXPECT_TRUE(WaitGone(wnd));
  EXPECT_FALSE(FormDial->Visible());

  // Shown again, Alt+F4 closes.
  ShowDial();
  ASSERT_TRUE(BringToFront(wnd));
  ASSERT_TRUE(KeyChord({VK_MENU, VK_F4}));
  EXPECT_TRUE(WaitGone(wnd));
  EXPECT_FALSE(FormDial->Visible());
}

TEST_F(DialTest, HourglassDuringADialButNotOnTheButtons) {
  fake->Entries = {{"Office", "555-0100", "", "alice", "pw", ""}};
  fake->Notes = {{RASCS_OpenPort, 0}, {RASCS_Authenticate, 0}, {RASCS_ConnectDevice, 676}};
  fake->HoldBefore = 2;
  ShowDial();
  FormDial->Dial->Click();
  ASSERT_TRUE(WaitFor([] { return FormDial->Progress->Caption() == "Verifying User Name and Password..."; }));
  SaveScreenshot(FormDial->Handle(), "verifying");
  std::vector<TControl*> busy = {FormDial,          FormDial->GroupBox1, FormDial->GroupBox2,
                                 FormDial->Account, FormDial->Logon,     FormDial->Password};
  std::vector<TControl*> buttons = {FormDial->Dial,    FormDial->Button1, FormDial->Button2,
                                    FormDial->Hangup,  FormDial->Button3, FormDial->Speed1,
                                    FormDial->Speed2};
  for (TControl* c : busy) EXPECT_EQ(c->Cursor(), crHourGlass) << c->Name();
  for (TControl* c : buttons) EXPECT_EQ(c->Cursor(), crDefault) << c->Name();
  EXPECT_EQ(Screen->Cursor(), crDefault);

  // Over a field the hourglass shows, over "Cancel" the arrow.
  ASSERT_TRUE(MoveTo(CentreOf(FormDial->Logon->Handle())));
  ASSERT_TRUE(WaitUntil([] { return GetCursor() == LoadCursor(nullptr, IDC_WAIT); }, 2000));
  ASSERT_TRUE(MoveTo(CentreOf(FormDial->Hangup->Handle())));
  ASSERT_TRUE(WaitUntil([] { return GetCursor() == LoadCursor(nullptr, IDC_ARROW); }, 2000));

  fake->Release();
  WaitNotes();
  EXPECT_EQ(BoxTexts(), std::vector<String>{"Dialing Error: Line is Busy"});
  for (TControl* c : busy) EXPECT_EQ(c->Cursor(), crDefault) << c->Name();
}

TEST_F(DialTest, AboutHelpAndThePhonebookDialogs) {
  fake->Entries = {{"Office", "555-0100"}};
  ShowDial();
  int listings = fake->CountCalls("RasEnumEntriesA");

  FormDial->Button2->Click();
  ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
  const auto& about = dialogs.Dialogs.Boxes[0];
  EXPECT_EQ(about.caption, "About Palvane");
  EXPECT_EQ(about.text.rfind("Palvane is a simple connection manager for dialup connections.\n\n", 0), 0u) << about.text;
  EXPECT_EQ(std::count(about.text.begin(), about.text.end(), '\n'), 4) << "three paragraphs";
  EXPECT_EQ(about.flags & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));
  EXPECT_EQ(about.owner, Application->Handle());

  // Help: the program folder's help file, or the main window's once it runs.
  ASSERT_EQ(FrameServices(), nullptr);
  const String ownHelp = ExtractFilePath(Application->ExeName()) + "nembra3.hlp";
  FormDial->Button3->Click();
  EXPECT_EQ(dialogs.Dialogs.HelpCalls,
            std::vector<String>{ownHelp + "|" + IntToStr(HELP_COMMAND) + "|JI(`',`IDH_dialer')"});
  EXPECT_EQ(Application->HelpFile, ownHelp);
  dialogs.Dialogs.HelpCalls.clear();
  {
    TFakeHost frame;
    FormDial->Button3->Click();
  }
  EXPECT_EQ(dialogs.Dialogs.HelpCalls,
            std::vector<String>{"C:\\Nembra\\nembra3.hlp|" + IntToStr(HELP_COMMAND) + "|JI(`',`IDH_dialer')"});
  EXPECT_EQ(Application->HelpFile, "C:\\Nembra\\nembra3.hlp");

  // The system's entry dialogs; their refusals are told.
  dialogs.Dialogs.Boxes.clear();
  FormDial->Speed1->Click();
  FormDial->Speed2->Click();
  EXPECT_EQ(fake->Edited, std::vector<String>{"Office"});
  EXPECT_EQ(fake->Created, 1);
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
  fake->EditResult = 5;
  fake->CreateResult = 5;
  FormDial->Speed1->Click();
  FormDial->Speed2->Click();
  EXPECT_EQ(BoxTexts(), (std::vector<String>{"Phonebook Error: Could not access the this entry in the phonebook",
                                             "Phonebook Error: Could not access the default phonebook"}));
  for (const auto& b : dialogs.Dialogs.Boxes) EXPECT_EQ(b.flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  RasDialer->EditEntry("");
  EXPECT_EQ(fake->Edited.size(), 2u) << "no dialog for an empty name";
  EXPECT_EQ(fake->CountCalls("RasEnumEntriesA"), listings) << "the list is not read again";
}

// The real library: under Wine it knows no connection and no entry, and
// refuses every dial with a code that has no text of its own.
TEST(DialSmoke, RealRasapi32) {
  TScopedDialogs dialogs;
  DeleteFileA(TRasDialer::PhonebookFileName().c_str());
  RasDialer = new TRasDialer(Application);
  FormDial = new TFormDial(Application);
  FormDial->Show();
  ASSERT_TRUE(WaitVisible(FormDial->Handle()));
  EXPECT_FALSE(RasDialer->FindActiveConnection());
  EXPECT_EQ(FormDial->Progress->Caption(), "No Connection");
  EXPECT_EQ(FormDial->Account->Items()->Count(), 0);
  FormDial->Dial->Click();
  ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].caption, "Dialing Error");
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].text, "Unspecified Error!");
  EXPECT_EQ(FormDial->Progress->Caption(), "Unspecified Error!");
  EXPECT_TRUE(FormDial->Dial->Enabled());
  EXPECT_TRUE(FormDial->Button1->Enabled());
  FormDial->Free();
  RasDialer->Free();
  EXPECT_EQ(FormDial, nullptr);
  EXPECT_EQ(RasDialer, nullptr);
  DeleteFileA(TRasDialer::PhonebookFileName().c_str());
}
