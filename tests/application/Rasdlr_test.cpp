// The dial-up module over the fake rasapi32: the connection check, the
// phonebook and its file, dialling, the notifications from the dial
// service's thread, the dial errors and the hang-up.
#include <optional>

#include "Dialtest.h"
#include "classlib/Extctrls.h"

using namespace ras;

namespace {

HRASCONN H(uintptr_t n) { return reinterpret_cast<HRASCONN>(n); }

String Field(const CHAR* field, size_t size) { return String(field, strnlen(field, size)); }
#define FIELD(f) Field(f, sizeof f)

std::vector<String> Strings(TStrings* s) {
  std::vector<String> v;
  for (int i = 0; i < s->Count(); ++i) v.push_back((*s)[i]);
  return v;
}

// Consecutive equal texts show as one change of the label.
std::vector<String> Collapsed(const std::vector<String>& texts) {
  std::vector<String> v;
  for (const String& t : texts)
    if (v.empty() || v.back() != t) v.push_back(t);
  return v;
}

}  // namespace

// ---------------------------------------------------------------- the library

TEST_F(DialTest, MissingLibraryOrFunctionsFailLikePlatformErrors) {
  char dir[MAX_PATH];
  GetSystemDirectoryA(dir, MAX_PATH);
  struct TCase {
    const char* what;
    String path;
    DWORD code;
  } cases[] = {
      {"no library", "C:\\nowhere\\rasapi32.dll", ERROR_MOD_NOT_FOUND},
      {"a library without the functions", String(dir) + "\\version.dll", ERROR_PROC_NOT_FOUND},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    const TRasApi api = LoadRasApi(c.path);
    const TRasApi* previous = SetRasApi(&api);
    dialogs.Dialogs.Boxes.clear();
    EXPECT_FALSE(RasDialer->FindActiveConnection());
    EXPECT_EQ(FormDial->Progress->Caption(), "Could not determine connection settings...");
    RasDialer->LoadPhonebook();
    EXPECT_EQ(RasDialer->PhonebookErrorText, IntToStr(c.code) + " - ");
    EXPECT_FALSE(RasDialer->Dial("Office", "", ""));
    EXPECT_EQ(RasDialer->LastDialError, static_cast<int>(c.code));
    RasDialer->HangUp();
    RasDialer->EditEntry("Office");
    RasDialer->NewEntry();
    EXPECT_EQ(BoxTexts(), (std::vector<String>{"Phonebook Error: " + IntToStr(c.code) + " - ",
                                               "Dialing Error: Unspecified Error!",
                                               "Phonebook Error: Could not access the this entry in the phonebook",
                                               "Phonebook Error: Could not access the default phonebook"}));
    ras::RASCONNSTATUS status{};
    EXPECT_EQ(api.RasGetConnectStatusA(nullptr, &status), c.code);
    SetRasApi(previous);
  }
}

// ---------------------------------------------------------------- the connection check

TEST_F(DialTest, ConnectionCheck) {
  struct TCase {
    const char* what;
    std::vector<TFakeConnection> connections;
    DWORD enumResult;
    bool up;
    std::optional<String> label;  // none: the label as it was
    std::vector<String> enumCalls;
    std::optional<bool> hangup, dial;  // none: as they were
  };
  const String one = "RasEnumConnectionsA size=424 bytes=424";
  const std::vector<TCase> cases = {
      {"none up", {}, 0, false, std::nullopt, {one}, std::nullopt, std::nullopt},
      {"one connected", {{H(0x11), "Office"}}, 0, true, "Connected to: Office", {one}, true, false},
      {"one still dialling", {{H(0x11), "Office", RASCS_Authenticate}}, 0, false, std::nullopt, {one},
       std::nullopt, std::nullopt},
      {"the listing fails", {}, 610, false, "Could not determine connection settings...", {one}, std::nullopt,
       std::nullopt},
      {"the status fails", {{H(0x11), "Office", RASCS_Connected, 6}}, 0, false,
       "Could not determine connection status...", {one}, false, true},
      // More than one up: the platform asks for room for both.
      {"two up, the second connected",
       {{H(0x11), "First", RASCS_Authenticate}, {H(0x12), "Second"}},
       0,
       true,
       "Connected to: Second",
       {one, "RasEnumConnectionsA size=424 bytes=848"},
       true,
       false},
      {"two up, both connected", {{H(0x11), "First"}, {H(0x12), "Second"}}, 0, true, "Connected to: First",
       {one, "RasEnumConnectionsA size=424 bytes=848"}, true, false},
      // A status that cannot be read does not hide the connection after it.
      {"two up, the first's status fails",
       {{H(0x11), "First", RASCS_Connected, 6}, {H(0x12), "Second"}},
       0,
       true,
       "Connected to: Second",
       {one, "RasEnumConnectionsA size=424 bytes=848"},
       true,
       false},
      {"two up, one status fails, the other still dialling",
       {{H(0x11), "First", RASCS_Authenticate}, {H(0x12), "Second", RASCS_Connected, 6}},
       0,
       false,
       "Could not determine connection status...",
       {one, "RasEnumConnectionsA size=424 bytes=848"},
       false,
       true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    fake->Calls.clear();
    fake->Connections = c.connections;
    fake->EnumConnectionsResult = c.enumResult;
    FormDial->Progress->SetCaption("untouched");
    FormDial->ConnectedEntry = "";
    // The buttons start the other way round from what the check should set.
    FormDial->Hangup->SetEnabled(c.hangup ? !*c.hangup : false);
    FormDial->Dial->SetEnabled(c.dial ? !*c.dial : true);

    EXPECT_EQ(RasDialer->FindActiveConnection(), c.up);
    EXPECT_EQ(FormDial->Progress->Caption(), c.label.value_or("untouched"));
    EXPECT_EQ(FormDial->Hangup->Enabled(), c.hangup.value_or(false));
    EXPECT_EQ(FormDial->Dial->Enabled(), c.dial.value_or(true));
    std::vector<String> enumCalls;
    for (const String& call : fake->Calls)
      if (call.rfind("RasEnumConnectionsA", 0) == 0) enumCalls.push_back(call);
    EXPECT_EQ(enumCalls, c.enumCalls);
    if (c.up) {
      EXPECT_EQ(FormDial->ConnectedEntry, c.label->substr(String("Connected to: ").size()));
      EXPECT_EQ(fake->Calls.back().substr(fake->Calls.back().size() - 8), "size=160");
    } else {
      EXPECT_EQ(FormDial->ConnectedEntry, "");
    }
  }
  // A listed connection that is not up stays the module's handle.
  fake->Connections = {{H(0x21), "Office", RASCS_Authenticate}};
  EXPECT_FALSE(RasDialer->FindActiveConnection());
  EXPECT_EQ(RasDialer->ConnHandle, H(0x21));
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
}

// ---------------------------------------------------------------- the phonebook

TEST_F(DialTest, PhonebookListsTheReadableEntriesAndWritesTheirSections) {
  fake->Entries = {
      {"Office", "555-0100", "555-0199", "alice", "s3cret", "WORK"},
      {"Broken", "555-0300", "", "carol", "pw", "", 623},
      {"Home", "555 0200", "", "bob", "", ""},
  };
  FormDial->Account->Items()->Add("stale");
  RasDialer->LoadPhonebook();

  // Room for one entry first, then for the three the platform asked for.
  std::vector<String> enumCalls;
  for (const String& call : fake->Calls)
    if (call.rfind("RasEnumEntriesA", 0) == 0) enumCalls.push_back(call);
  EXPECT_EQ(enumCalls, (std::vector<String>{"RasEnumEntriesA size=264 bytes=264", "RasEnumEntriesA size=264 bytes=792"}));
  EXPECT_EQ(fake->CountCalls("RasGetEntryDialParamsA"), 3);
  EXPECT_NE(std::find(fake->Calls.begin(), fake->Calls.end(), "RasGetEntryDialParamsA Broken size=1052"),
            fake->Calls.end());

  EXPECT_EQ(Strings(FormDial->Account->Items()), (std::vector<String>{"Office", "Home"}));
  EXPECT_EQ(ReadFileBytes(TRasDialer::PhonebookFileName()),
            "[Office]\r\n"
            "EntryName=Office\r\n"
            "PhoneNumber=555-0100\r\n"
            "CallBackID=555-0199\r\n"
            "UserName=alice\r\n"
            "Password=s3cret\r\n"
            "Domain=WORK\r\n"
            "[Home]\r\n"
            "EntryName=Home\r\n"
            "PhoneNumber=555 0200\r\n"
            "CallBackID=\r\n"
            "UserName=bob\r\n"
            "Password=\r\n"
            "Domain=\r\n");
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());

  // One entry fits the first room; the listing is still asked for twice.
  fake->Calls.clear();
  fake->Entries = {{"Office", "555-0100"}};
  RasDialer->LoadPhonebook();
  EXPECT_EQ(fake->CountCalls("RasEnumEntriesA"), 2);
  EXPECT_EQ(Strings(FormDial->Account->Items()), std::vector<String>{"Office"});
}

TEST_F(DialTest, PhonebookListingFailureIsReportedWithCodeAndText) {
  fake->EnumEntriesResult = 610;
  fake->ErrorTexts = {{610, "The buffer is invalid."}};
  FormDial->Account->Items()->Add("Office");
  RasDialer->LoadPhonebook();
  EXPECT_EQ(RasDialer->PhonebookErrorText, "610 - The buffer is invalid.");
  EXPECT_EQ(FormDial->Progress->Caption(), "610 - The buffer is invalid.");
  ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(BoxTexts()[0], "Phonebook Error: 610 - The buffer is invalid.");
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].owner, Application->Handle());
  EXPECT_EQ(Strings(FormDial->Account->Items()), std::vector<String>{"Office"}) << "the list stays";
  EXPECT_FALSE(FileExists(TRasDialer::PhonebookFileName()));
}

// ---------------------------------------------------------------- dialling

TEST_F(DialTest, DialUsesTheChosenEntrysOwnNumbers) {
  fake->Entries = {
      {"Office", "555-0100", "555-0199", "alice", "s3cret", "WORK"},
      {"Home", "555-0200", "555-0299", "bob", "pw", "HOME"},
  };
  ShowDial();
  ASSERT_EQ(FormDial->Account->Text(), "Office");
  // The last entry read was Home; the user empties both fields.
  FormDial->Logon->SetText("");
  FormDial->Password->SetText("");
  fake->Calls.clear();
  FormDial->Dial->Click();

  ASSERT_EQ(fake->Dialled.size(), 1u);
  const RASDIALPARAMS& p = fake->Dialled[0];
  EXPECT_EQ(p.dwSize, 1052u);
  EXPECT_EQ(FIELD(p.szEntryName), "Office");
  EXPECT_EQ(FIELD(p.szPhoneNumber), "555-0100");
  EXPECT_EQ(FIELD(p.szCallbackNumber), "555-0199");
  EXPECT_EQ(FIELD(p.szUserName), "");
  EXPECT_EQ(FIELD(p.szPassword), "");
  EXPECT_EQ(FIELD(p.szDomain), "*");
  EXPECT_EQ(fake->Calls, (std::vector<String>{"RasGetEntryDialParamsA Office size=1052", "RasDialA size=1052 notifier=1"}));
  EXPECT_EQ(RasDialer->ConnHandle, fake->DialHandle);
  // Dialling: "Connect" and "&Close" off, "Cancel" on, the hourglass.
  EXPECT_FALSE(FormDial->Dial->Enabled());
  EXPECT_FALSE(FormDial->Button1->Enabled());
  EXPECT_TRUE(FormDial->Hangup->Enabled());
  EXPECT_EQ(FormDial->Hangup->Caption(), "Cancel");

  // An entry whose parameters cannot be read is dialled with no numbers.
  fake->Entries[1].ParamsResult = 623;
  FormDial->Account->SetItemIndex(1);
  FormDial->Logon->SetText("bob");
  FormDial->Password->SetText("pa ss");
  FormDial->DialClick(FormDial->Dial);
  ASSERT_EQ(fake->Dialled.size(), 2u);
  const RASDIALPARAMS& q = fake->Dialled[1];
  EXPECT_EQ(FIELD(q.szEntryName), "Home");
  EXPECT_EQ(FIELD(q.szPhoneNumber), "");
  EXPECT_EQ(FIELD(q.szCallbackNumber), "");
  EXPECT_EQ(FIELD(q.szUserName), "bob");
  EXPECT_EQ(FIELD(q.szPassword), "pa ss");
  EXPECT_EQ(FIELD(q.szDomain), "*");
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
}

TEST_F(DialTest, DialRefusedAtOnce) {
  fake->Entries = {{"Office", "555-0100"}};
  fake->DialResult = 623;
  fake->ErrorTexts = {{623, "The phonebook entry does not exist."}};
  ShowDial();
  TRecordingLabel* progress = RecordProgress();
  FormDial->Dial->Click();
  EXPECT_EQ(progress->Texts(), (std::vector<String>{"Dialing failed - 623 - The phonebook entry does not exist.",
                                                     "Can not find phonebook entry"}));
  ASSERT_EQ(BoxTexts(), std::vector<String>{"Dialing Error: Can not find phonebook entry"});
  EXPECT_EQ(dialogs.Dialogs.Boxes[0].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_TRUE(FormDial->Dial->Enabled());
  EXPECT_FALSE(FormDial->Hangup->Enabled());
  EXPECT_TRUE(FormDial->Button1->Enabled());
  EXPECT_EQ(FormDial->Cursor(), crDefault);
  EXPECT_TRUE(fake->HangUps.empty());

  // Without a platform text the label shows none (never stale bytes).
  fake->ErrorTexts.clear();
  progress->Changes.clear();
  FormDial->Dial->Click();
  EXPECT_EQ(progress->Texts(), (std::vector<String>{"Dialing failed - 623 - ", "Can not find phonebook entry"}));

  // A refusal that has no text of its own (619) still lets the window be
  // left, and a handle the platform handed out is given back.
  fake->DialResult = 619;
  fake->RefusedHandle = H(0x77);
  progress->Changes.clear();
  dialogs.Dialogs.Boxes.clear();
  FormDial->Dial->Click();
  EXPECT_EQ(progress->Texts(), std::vector<String>{"Dialing failed - 619 - "});
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
  EXPECT_EQ(fake->HangUps, std::vector<HRASCONN>{H(0x77)});
  EXPECT_EQ(RasDialer->ConnHandle, nullptr);
  EXPECT_TRUE(FormDial->Button1->Enabled());
  EXPECT_TRUE(FormDial->Dial->Enabled());
  EXPECT_EQ(FormDial->Logon->Cursor(), crDefault);
}

TEST_F(DialTest, OverlongFieldsAreRefusedBeforeDialling) {
  fake->Entries = {{"Office", "555-0100"}};
  ShowDial();
  const String n256(256, 'n'), n257(257, 'n');
  struct TCase {
    const char* what;
    String entry, user, password;
    bool dials;
  } cases[] = {
      {"every field full", n256, n256, n256, true},
      {"entry name", n257, "u", "p", false},
      {"user name", "Office", n257, "p", false},
      {"password", "Office", "u", String(300, 'p'), false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    fake->Dialled.clear();
    dialogs.Dialogs.Boxes.clear();
    FormDial->Button1->SetEnabled(false);
    EXPECT_EQ(RasDialer->Dial(c.entry, c.user, c.password), c.dials);
    if (c.dials) {
      ASSERT_EQ(fake->Dialled.size(), 1u);
      EXPECT_EQ(FIELD(fake->Dialled[0].szEntryName), c.entry);
      EXPECT_EQ(FIELD(fake->Dialled[0].szUserName), c.user);
      EXPECT_EQ(FIELD(fake->Dialled[0].szPassword), c.password);
      EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
    } else {
      EXPECT_TRUE(fake->Dialled.empty());
      EXPECT_EQ(BoxTexts(), std::vector<String>{"Dialing Error: The entry name, user name or password is too long."});
      EXPECT_EQ(FormDial->Progress->Caption(), "The entry name, user name or password is too long.");
      EXPECT_TRUE(FormDial->Button1->Enabled());
    }
  }
  // Through the window: nothing dialled, the window stays idle.
  fake->Dialled.clear();
  FormDial->Password->SetText(String(300, 'p'));
  FormDial->Dial->Click();
  EXPECT_TRUE(fake->Dialled.empty());
  EXPECT_TRUE(FormDial->Dial->Enabled());
  EXPECT_FALSE(FormDial->Hangup->Enabled());
  EXPECT_TRUE(FormDial->Button1->Enabled());
  EXPECT_EQ(FormDial->Password->Cursor(), crDefault);
}

// ---------------------------------------------------------------- notifications

TEST_F(DialTest, ProgressArrivesFromTheDialThreadAndIsShownOnTheGuiThread) {
  const std::vector<std::pair<int, const char*>> states = {
      {0, "Opening Port..."},
      {1, "Port Opened..."},
      {2, "Connecting Device..."},
      {3, "Device Connected..."},
      {4, "All Devices Connected..."},
      {5, "Verifying User Name and Password..."},
      {6, "Verifying User Name and Password..."},
      {7, "Authentication Retry..."},
      {8, "Callback Requested..."},
      {9, "Change Password Requested..."},
      {10, "Projection Phase Started..."},
      {11, "Calculating Link Speed..."},
      {12, "Authentication Acknowledged..."},
      {13, "Staring Reauthentication..."},
      {14, "Authentication Complete..."},
      {15, "Connecting Device..."},
      {1, "Port Opened..."},
      {16, "Connecting Device..."},
      {1, "Port Opened..."},
      {17, "Connecting Device..."},
      {1, "Port Opened..."},
      {18, "Connecting Device..."},
      {19, "Verifying User Name and Password..."},
      {21, "Logging In..."},
      {20, "Verifying User Name and Password..."},
      {22, "Connecting Device..."},
      {1, "Port Opened..."},
      {0x1000, "Connecting Device..."},
      {1, "Port Opened..."},
      {0x1003, "Connecting Device..."},
  };
  std::vector<String> texts;
  for (auto [state, text] : states) {
    fake->Notes.push_back({static_cast<RASCONNSTATE>(state), 0});
    texts.push_back(text);
  }
  fake->Entries = {{"Office", "555-0100"}};
  ShowDial();
  TRecordingLabel* progress = RecordProgress();
  FormDial->Dial->Click();
  WaitNotes();

  EXPECT_EQ(progress->Texts(), Collapsed(texts));
  for (const auto& change : progress->Changes) EXPECT_EQ(change.Thread, GetCurrentThreadId()) << change.Text;
  ASSERT_EQ(fake->NotifierThreads.size(), states.size());
  for (DWORD t : fake->NotifierThreads) EXPECT_NE(t, GetCurrentThreadId());
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
  // Still dialling.
  EXPECT_FALSE(FormDial->Button1->Enabled());
  EXPECT_EQ(FormDial->Hangup->Caption(), "Cancel");
}

TEST_F(DialTest, DialErrorsFromTheDialThread) {
  struct TCase {
    int state;
    DWORD error;
    const char* text;  // "" none
  } cases[] = {
      {RASCS_ConnectDevice, 602, "Modem In Use"},
      {RASCS_ConnectDevice, 623, "Can not find phonebook entry"},
      {RASCS_ConnectDevice, 676, "Line is Busy"},
      {RASCS_ConnectDevice, 678, "No Answer"},
      {RASCS_OpenPort, 680, "No dialtone"},
      {RASCS_Authenticate, 718, "The connection timed out waiting for a response from the server."},
      {RASCS_Authenticate, 719, "Connection terminated by host"},
      {RASCS_AuthProject, 721, "No response from the server."},
      {RASCS_OpenPort, 797, "Device not found! The specified modem device not found."},
      {RASCS_AuthAck, 691, "Unspecified Error!"},
      {RASCS_Disconnected, 0, "Unspecified Error!"},
      {RASCS_Disconnected, 678, "No Answer"},
      {RASCS_ConnectDevice, 619, ""},
      {RASCS_ConnectDevice, 631, ""},
      {RASCS_Disconnected, 619, ""},
      {RASCS_Disconnected, 631, ""},
  };
  fake->Entries = {{"Office", "555-0100"}};
  ShowDial();
  for (const TCase& c : cases) {
    SCOPED_TRACE(String("error ") + IntToStr(c.error) + " in state " + IntToStr(c.state));
    dialogs.Dialogs.Boxes.clear();
    fake->Notes = {{RASCS_OpenPort, 0}, {static_cast<RASCONNSTATE>(c.state), c.error}};
    FormDial->DialClick(FormDial->Dial);
    WaitNotes();
    if (*c.text) {
      EXPECT_EQ(BoxTexts(), std::vector<String>{String("Dialing Error: ") + c.text});
      EXPECT_EQ(FormDial->Progress->Caption(), c.text);
      EXPECT_TRUE(FormDial->Button1->Enabled());
      EXPECT_EQ(FormDial->Account->Cursor(), crDefault);
    } else {
      // Nothing at all: the dial's own state stays.
      EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
      EXPECT_EQ(FormDial->Progress->Caption(), "Opening Port...");
      EXPECT_FALSE(FormDial->Button1->Enabled());
      EXPECT_EQ(FormDial->Account->Cursor(), crHourGlass);
    }
    EXPECT_EQ(RasDialer->LastDialError, static_cast<int>(c.error));
    // A dial error leaves "Cancel" and "Connect" as they were.
    EXPECT_TRUE(FormDial->Hangup->Enabled());
    EXPECT_FALSE(FormDial->Dial->Enabled());
  }
}

TEST_F(DialTest, ConnectedEndClosesTheModalWindow) {
  fake->Entries = {{"Office", "555-0100"}};
  fake->Notes = {{RASCS_OpenPort, 0}, {RASCS_Authenticate, 0}, {RASCS_Connected, 0}};
  TTimer* press = new TTimer(FormDial);
  press->SetInterval(50);
  press->SetOnTimer([&](TObject*) {
    press->SetEnabled(false);
    FormDial->Dial->Click();
  });
  // The showing must end by itself; after 10 s the test ends it.
  bool timedOut = false;
  TTimer* guard = new TTimer(FormDial);
  guard->SetInterval(10000);
  guard->SetOnTimer([&](TObject*) {
    guard->SetEnabled(false);
    timedOut = true;
    FormDial->SetModalResult(mrAbort);
  });
  FormDial->ShowModal();
  guard->SetEnabled(false);
  EXPECT_FALSE(timedOut);
  EXPECT_FALSE(FormDial->Visible());
  EXPECT_EQ(FormDial->Progress->Caption(), "Connected to: Office");
  EXPECT_EQ(FormDial->Hangup->Caption(), "Disconnect");
  EXPECT_TRUE(FormDial->Hangup->Enabled());
  EXPECT_TRUE(FormDial->Button1->Enabled());
  EXPECT_FALSE(FormDial->Dial->Enabled());
  EXPECT_EQ(FormDial->Cursor(), crDefault);
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());

  // Notifications for a window that is no longer shown are dropped.
  RasDialCallback(fake->DialHandle, 0, RASCS_Disconnected, 678, 0);
  PumpFor(50);
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
  EXPECT_EQ(FormDial->Progress->Caption(), "Connected to: Office");
}

TEST_F(DialTest, NotificationsAfterTheModuleIsGoneAreDropped) {
  fake->Entries = {{"Office", "555-0100"}};
  fake->Notes = {{RASCS_OpenPort, 0}, {RASCS_Disconnected, 678}};
  fake->HoldBefore = 1;
  ShowDial();
  FormDial->Dial->Click();
  ASSERT_TRUE(WaitFor([] { return FormDial->Progress->Caption() == "Opening Port..."; }));
  RasDialer->Free();
  RasDialer = nullptr;
  fake->Release();
  WaitNotes();
  PumpFor(50);
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
  EXPECT_EQ(FormDial->Progress->Caption(), "Opening Port...");
}

// ---------------------------------------------------------------- hanging up

TEST_F(DialTest, HangUpGoesBackToIdleAfterAPause) {
  fake->Entries = {{"Office", "555-0100"}};
  fake->Notes = {{RASCS_OpenPort, 0}, {RASCS_Disconnected, 631}};
  fake->HoldBefore = 1;
  ShowDial();
  FormDial->Dial->Click();
  ASSERT_TRUE(WaitFor([] { return FormDial->Progress->Caption() == "Opening Port..."; }));
  ASSERT_EQ(FormDial->Hangup->Caption(), "Cancel");

  uint64_t start = GetTickCount64();
  FormDial->Hangup->Click();
  uint64_t elapsed = GetTickCount64() - start;
  EXPECT_GE(elapsed, 3000u);
  EXPECT_EQ(fake->HangUps, std::vector<HRASCONN>{fake->DialHandle});
  EXPECT_EQ(FormDial->Progress->Caption(), "No Connection");
  EXPECT_TRUE(FormDial->Dial->Enabled());
  EXPECT_TRUE(FormDial->Button1->Enabled());
  EXPECT_FALSE(FormDial->Hangup->Enabled());
  EXPECT_EQ(FormDial->Hangup->Caption(), "Cancel") << "the caption stays until a connected end";
  EXPECT_EQ(RasDialer->ConnHandle, nullptr);
  EXPECT_EQ(FormDial->Logon->Cursor(), crDefault);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  // The user's own disconnection (631) that follows reports nothing.
  WaitNotes();
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
  EXPECT_EQ(FormDial->Progress->Caption(), "No Connection");
}

TEST_F(DialTest, FailedHangUpLeavesLabelAndConnect) {
  fake->Entries = {{"Office", "555-0100"}};
  fake->Notes = {{RASCS_OpenPort, 0}};
  fake->HangUpResult = 6;
  ShowDial();
  FormDial->Dial->Click();
  WaitNotes();
  uint64_t start = GetTickCount64();
  FormDial->Hangup->Click();
  EXPECT_LT(GetTickCount64() - start, 3000u);
  EXPECT_EQ(fake->HangUps.size(), 1u);
  EXPECT_EQ(FormDial->Progress->Caption(), "Opening Port...");
  EXPECT_FALSE(FormDial->Dial->Enabled());
  EXPECT_FALSE(FormDial->Hangup->Enabled());
  EXPECT_TRUE(FormDial->Button1->Enabled());
  EXPECT_EQ(RasDialer->ConnHandle, nullptr);
  EXPECT_EQ(FormDial->GroupBox1->Cursor(), crDefault);
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
}
