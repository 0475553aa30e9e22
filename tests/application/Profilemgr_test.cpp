// The profile manager as a person meets it: a profile loaded into the
// fields, the checks of Save, what Save and Delete write, the boxes that
// switch fields, the digit filter, a selection made while hidden, the
// wizard opened from it and the ways out.
#include "application/frame/Profilemgr.h"

#include "Profilestest.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

class ManagerTest : public ProfilesTest {
 protected:
  void TearDown() override {
    manager.reset();
    ProfilesTest::TearDown();
  }
  void Make() {
    manager.reset();
    manager.reset(new TSettForm(Application, path));
  }
  void Open() {
    Make();
    manager->Show();
    ASSERT_TRUE(WaitVisible(manager->Handle()));
  }
  int IndexOf(const String& name) const {
    TListItems* items = manager->List_Prof->Items();
    for (int i = 0; i < items->Count(); ++i)
      if (items->Item(i)->Caption() == name) return i;
    return -1;
  }
  ::testing::AssertionResult ClickProfile(const String& name) {
    int index = IndexOf(name);
    if (index < 0) return ::testing::AssertionFailure() << "no profile " << name;
    TRect r = manager->List_Prof->Items()->Item(index)->DisplayRect(drLabel);
    auto clicked = Click(manager->List_Prof->Handle(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    if (!clicked) return clicked;
    if (!WaitFor([&] { return manager->Edit_Name->Text() == name; }, 2000))
      return ::testing::AssertionFailure() << name << " was not loaded";
    return ::testing::AssertionSuccess();
  }
  // Name, user, password, host, server type, port, start directory, proxy
  // name, and the boxes passive, anonymous, proxy as "P", "A", "X".
  String Fields() const {
    TSettForm* m = manager.get();
    return m->Edit_Name->Text() + "|" + m->Edit_User->Text() + "|" + m->Edit_Pass->Text() + "|" +
           m->Edit_Host->Text() + "|" + IntToStr(m->ComboServer->ItemIndex()) + "|" + m->Port_Edit->Text() + "|" +
           m->EditStart->Text() + "|" + m->Proxy_Edit->Text() + "|" + (m->CheckPassive->Checked() ? "P" : "") +
           (m->AnonBox->Checked() ? "A" : "") + (m->CheckProxy->Checked() ? "X" : "");
  }
  char PasswordChar() { return static_cast<char>(SendMessageA(manager->Edit_Pass->Handle(), EM_GETPASSWORDCHAR, 0, 0)); }
  // A complete profile in the fields, proxy clear.
  void FillValid(const String& name) {
    manager->Edit_Name->SetText(name);
    manager->Edit_User->SetText("zed");
    manager->Edit_Pass->SetText("pw");
    manager->Edit_Host->SetText("ftp.zed.example");
    manager->Port_Edit->SetText("21");
    manager->Proxy_Edit->SetText("");
    manager->CheckProxy->SetChecked(false);
  }
  ::testing::AssertionResult Save() { return Click(manager->ButSave->Handle()); }

  TOwned<TSettForm> manager;
};

const String kFourProfiles = String(kThreeProfiles) + "[Six]\r\nHostName=six.example\r\nServerType=6\r\n\r\n";
const char kCleared[] = "||||0|21|||";

}  // namespace

TEST_F(ManagerTest, SelectingAProfileLoadsEveryField) {
  WriteProfiles(kFourProfiles);
  Open();
  EXPECT_EQ(WindowText(manager->Handle()), "Profile Manager");
  EXPECT_TRUE(GetWindowLongPtrA(manager->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  std::vector<String> names;
  for (int i = 0; i < manager->List_Prof->Items()->Count(); ++i) {
    names.push_back(manager->List_Prof->Items()->Item(i)->Caption());
    EXPECT_EQ(manager->List_Prof->Items()->Item(i)->ImageIndex(), 5);
  }
  EXPECT_EQ(names, (std::vector<String>{"Alpha", "bravo", "Charlie", "Six"}));
  EXPECT_EQ(Fields(), kCleared);
  EXPECT_EQ(manager->ComboServer->Items()->Count(), 7);
  EXPECT_EQ(manager->ComboServer->Items()->Get(6), " ");

  // Anonymous: shown in clear, as stored; Proxy "x" reads false; type 9
  // selects nothing.
  ASSERT_TRUE(ClickProfile("bravo"));
  EXPECT_EQ(Fields(), "bravo|anonymous|guest@example.com|ftp.bravo.example|-1|21|||A");
  EXPECT_EQ(PasswordChar(), 0);
  // Then a plain profile: its own user and password, masked. The proxy box
  // ticks passive; the stored Passive=0 wins.
  ASSERT_TRUE(ClickProfile("Alpha"));
  EXPECT_EQ(Fields(), "Alpha|ann|abcdefgh|ftp.alpha.example|5|2121|/pub|proxy.local|X");
  EXPECT_EQ(PasswordChar(), '*');
  EXPECT_TRUE(IsWindowEnabled(manager->Proxy_Edit->Handle()));
  EXPECT_EQ(manager->Proxy_Edit->Color(), clWhite);
  SaveScreenshot(manager->Handle(), "proxy");
  ASSERT_TRUE(ClickProfile("Six"));
  EXPECT_EQ(Fields(), "Six|||six.example|6|21|||");
  EXPECT_FALSE(IsWindowEnabled(manager->Proxy_Edit->Handle()));
  EXPECT_EQ(manager->Proxy_Edit->Color(), clSilver);

  // Saved as loaded: no selection stores -1; keys already there keep their
  // place, the others follow.
  ASSERT_TRUE(ClickProfile("bravo"));
  ASSERT_TRUE(Save());
  EXPECT_TRUE(frame.Boxes.empty());
  String bytes = Profiles();
  EXPECT_NE(bytes.find("[bravo]\r\nProxy=0\r\nHostName=ftp.bravo.example\r\nUserName=anonymous\r\n"
                       "PassWord=guest@example.com\r\nPort=21\r\nAnonymous=1\r\nServerType=-1\r\nPassive=0\r\n"
                       "ProxyName=\r\nStartDir=\r\n\r\n"),
            String::npos)
      << bytes;
}

TEST_F(ManagerTest, SaveRefusesMissingFieldsAndABadPortWithoutTouchingAnything) {
  WriteProfiles(kThreeProfiles);
  Open();
  struct TRow {
    const char* what;
    std::function<void(TSettForm*)> change;
    const char* box;  // "" when the error goes to the hook
  };
  const char kAccount[] = "Account Error: You must provide a profile name, username, password and host address";
  const char kProxy[] =
      "Proxy Account Error: You must provide a proxy name and port number to set up a Proxy account";
  const TRow rows[] = {
      {"no name", [](TSettForm* m) { m->Edit_Name->SetText(""); }, kAccount},
      {"a name of blanks", [](TSettForm* m) { m->Edit_Name->SetText("   "); }, kAccount},
      {"no host", [](TSettForm* m) { m->Edit_Host->SetText(""); }, kAccount},
      {"no user", [](TSettForm* m) { m->Edit_User->SetText(""); }, kAccount},
      {"no password", [](TSettForm* m) { m->Edit_Pass->SetText(""); }, kAccount},
      {"proxy without a name",
       [](TSettForm* m) {
         m->CheckProxy->SetChecked(true);
         m->Proxy_Edit->SetText("");
       },
       kProxy},
      {"proxy without a port",
       [](TSettForm* m) {
         m->CheckProxy->SetChecked(true);
         m->Proxy_Edit->SetText("proxy.local");
         m->Port_Edit->SetText("");
       },
       kProxy},
      {"no port", [](TSettForm* m) { m->Port_Edit->SetText(""); }, ""},
      {"a port too large", [](TSettForm* m) { m->Port_Edit->SetText("99999999999"); }, ""},
  };
  RecordErrors();
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.what);
    FillValid("Zed");
    row.change(manager.get());
    String before = Fields();
    frame.Boxes.clear();
    Errors.clear();
    ASSERT_TRUE(Save());
    if (*row.box) {
      EXPECT_EQ(frame.BoxLines(), std::vector<String>{row.box});
    } else {
      ASSERT_TRUE(WaitErrors(1));
      EXPECT_EQ(Errors[0], "EConvertError: '" + manager->Port_Edit->Text() + "' is not a valid integer value");
      EXPECT_TRUE(frame.Boxes.empty());
    }
    EXPECT_EQ(Fields(), before);
    EXPECT_FALSE(manager->ProfileIni->SectionExists("Zed"));
  }
  EXPECT_EQ(Profiles(), kThreeProfiles);
  EXPECT_EQ(frame.Refreshes, 0);
  EXPECT_TRUE(manager->ProfilesUnchanged);

  // The next write carries nothing of the refused profile.
  ASSERT_TRUE(ClickProfile("Charlie"));
  ASSERT_TRUE(Click(manager->ButDel->Handle()));
  String bytes = Profiles();
  EXPECT_EQ(bytes.find("Zed"), String::npos) << bytes;
  EXPECT_EQ(frame.Refreshes, 1);
}

TEST_F(ManagerTest, AWriteThatFailsLeavesNoTraceInTheNextOne) {
  WriteProfiles(kThreeProfiles);
  Open();
  RecordErrors();
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  FillValid("Zed");
  ASSERT_TRUE(Save());
  ASSERT_TRUE(WaitErrors(1));
  EXPECT_EQ(Errors[0].substr(0, 14), "EFCreateError:");
  EXPECT_EQ(manager->Edit_Name->Text(), "Zed");  // the fields keep what was typed
  ASSERT_TRUE(ClickProfile("Alpha"));
  ASSERT_TRUE(Click(manager->ButDel->Handle()));
  ASSERT_TRUE(WaitErrors(2));
  EXPECT_EQ(Profiles(), kThreeProfiles);
  EXPECT_EQ(frame.Refreshes, 0);
  EXPECT_TRUE(manager->ProfilesUnchanged);

  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(ClickProfile("Charlie"));
  ASSERT_TRUE(Click(manager->ButDel->Handle()));
  const char kLeft[] =
      "[Alpha]\r\nProxy=1\r\nPassive=0\r\nProxyName=proxy.local\r\nHostName=ftp.alpha.example\r\nUserName=ann\r\n"
      "PassWord=abcdefgh\r\nStartDir=/pub\r\nPort=2121\r\nAnonymous=0\r\nServerType=5\r\n\r\n"
      "[bravo]\r\nProxy=x\r\nHostName=ftp.bravo.example\r\nUserName=anonymous\r\nPassWord=guest@example.com\r\n"
      "Port=21\r\nAnonymous=1\r\nServerType=9\r\n\r\n";
  EXPECT_EQ(Profiles(), kLeft);
}

TEST_F(ManagerTest, SaveWritesNewAndExistingProfilesAndClearsTheFields) {
  WriteProfiles(kThreeProfiles);
  Open();
  // A new profile goes last, its keys in the manager's order.
  ASSERT_TRUE(TypeInto(manager->Edit_Name->Handle(), "Delta"));
  ASSERT_TRUE(TypeInto(manager->Edit_User->Handle(), "dee"));
  ASSERT_TRUE(TypeInto(manager->Edit_Pass->Handle(), "se=cret"));
  ASSERT_TRUE(TypeInto(manager->Edit_Host->Handle(), "ftp.delta.example"));
  ASSERT_TRUE(Click(manager->CheckProxy->Handle()));
  ASSERT_TRUE(TypeInto(manager->Proxy_Edit->Handle(), "proxy.delta"));
  manager->Port_Edit->SetText("990");
  manager->EditStart->SetText("/in");
  manager->ComboServer->SetItemIndex(3);
  ASSERT_TRUE(Save());
  const String delta =
      "[Delta]\r\nProxy=1\r\nPassive=1\r\nProxyName=proxy.delta\r\nHostName=ftp.delta.example\r\nUserName=dee\r\n"
      "PassWord=se=cret\r\nStartDir=/in\r\nPort=990\r\nAnonymous=0\r\nServerType=3\r\n\r\n";
  EXPECT_EQ(Profiles(), kThreeProfiles + delta);
  EXPECT_EQ(Fields(), kCleared);
  EXPECT_EQ(PasswordChar(), '*');
  EXPECT_FALSE(IsWindowEnabled(manager->Proxy_Edit->Handle()));
  EXPECT_EQ(GetFocus(), manager->Edit_Name->Handle());
  EXPECT_EQ(manager->List_Prof->Items()->Count(), 4);
  EXPECT_FALSE(manager->ProfilesUnchanged);
  EXPECT_EQ(frame.Refreshes, 1);

  // An existing one: its keys replaced in place.
  ASSERT_TRUE(ClickProfile("Charlie"));
  manager->Edit_Pass->SetText("carlpw");
  manager->EditStart->SetText("");
  ASSERT_TRUE(Save());
  String bytes = Profiles();
  EXPECT_EQ(bytes.substr(0, bytes.find("[Alpha]")),
            "[Charlie]\r\nProxy=0\r\nPassive=1\r\nProxyName=\r\nHostName=ftp.charlie.example\r\nUserName=carl\r\n"
            "PassWord=carlpw\r\nStartDir=\r\nAnonymous=0\r\nServerType=2\r\nPort=21\r\n\r\n");

  // Another name makes a copy; the old profile stays.
  ASSERT_TRUE(ClickProfile("Alpha"));
  manager->Edit_Name->SetText("Alpha Two");
  ASSERT_TRUE(Save());
  TMemIniFile ini(path);
  TStringList sections;
  ini.ReadSections(&sections);
  EXPECT_EQ(sections.CommaText(), "Charlie,Alpha,bravo,Delta,\"Alpha Two\"");
  EXPECT_EQ(ini.ReadString("Alpha Two", "HostName", ""), "ftp.alpha.example");
  EXPECT_EQ(frame.Refreshes, 3);
  EXPECT_TRUE(frame.Boxes.empty());
}

TEST_F(ManagerTest, DeleteNeedsASelectionAndKeepsTheOthersInOrder) {
  WriteProfiles(kThreeProfiles);
  Open();
  ASSERT_TRUE(Click(manager->ButDel->Handle()));
  EXPECT_EQ(frame.BoxLines(), std::vector<String>{"Delete Error: You need to select a profile to delete!"});
  EXPECT_EQ(Profiles(), kThreeProfiles);

  ASSERT_TRUE(ClickProfile("Alpha"));
  ASSERT_TRUE(Click(manager->ButDel->Handle()));
  EXPECT_EQ(Profiles(),
            "[Charlie]\r\nProxy=0\r\nPassive=1\r\nProxyName=\r\nHostName=ftp.charlie.example\r\nUserName=carl\r\n"
            "PassWord=\r\nStartDir=/home/carl\r\nAnonymous=0\r\nServerType=2\r\n\r\n"
            "[bravo]\r\nProxy=x\r\nHostName=ftp.bravo.example\r\nUserName=anonymous\r\nPassWord=guest@example.com\r\n"
            "Port=21\r\nAnonymous=1\r\nServerType=9\r\n\r\n");
  EXPECT_EQ(Fields(), kCleared);
  EXPECT_EQ(manager->List_Prof->Items()->Count(), 2);
  EXPECT_EQ(manager->List_Prof->Selected(), nullptr);
  EXPECT_FALSE(manager->ProfilesUnchanged);
  EXPECT_EQ(frame.Refreshes, 1);
  EXPECT_EQ(frame.Boxes.size(), 1u);
}

TEST_F(ManagerTest, TheBoxesSwitchTheirFieldsAndThePortTakesDigitsOnly) {
  Open();
  // Use Proxy ticks Passive and opens the proxy field.
  ASSERT_TRUE(Click(manager->CheckProxy->Handle()));
  EXPECT_TRUE(manager->CheckPassive->Checked());
  EXPECT_TRUE(IsWindowEnabled(manager->Proxy_Edit->Handle()));
  EXPECT_EQ(manager->Proxy_Edit->Color(), clWhite);
  EXPECT_EQ(GetFocus(), manager->Proxy_Edit->Handle());
  ASSERT_TRUE(Click(manager->CheckProxy->Handle()));
  EXPECT_FALSE(manager->CheckPassive->Checked());
  EXPECT_FALSE(IsWindowEnabled(manager->Proxy_Edit->Handle()));
  EXPECT_EQ(manager->Proxy_Edit->Color(), clSilver);

  // Anonymous fills user and password in clear; cleared, the password goes.
  ASSERT_TRUE(TypeInto(manager->Edit_User->Handle(), "joe"));
  ASSERT_TRUE(Click(manager->AnonBox->Handle()));
  EXPECT_EQ(manager->Edit_User->Text(), "anonymous");
  EXPECT_EQ(manager->Edit_Pass->Text(), AnonymousPassword);
  EXPECT_EQ(PasswordChar(), 0);
  EXPECT_EQ(GetFocus(), manager->Edit_Pass->Handle());
  ASSERT_TRUE(Click(manager->AnonBox->Handle()));
  EXPECT_EQ(manager->Edit_User->Text(), "anonymous");
  EXPECT_EQ(manager->Edit_Pass->Text(), "");
  EXPECT_EQ(PasswordChar(), '*');

  // The port: a letter is refused with a box, digits and backspace pass,
  // and so does pasted text.
  HWND port = manager->Port_Edit->Handle();
  ASSERT_TRUE(FocusWindow(port));
  SendMessageA(port, EM_SETSEL, 2, 2);
  ASSERT_TRUE(TypeText("a"));
  EXPECT_EQ(frame.BoxLines(), std::vector<String>{"Digits Only: You can enter digits only in this field!"});
  EXPECT_EQ(manager->Port_Edit->Text(), "21");
  ASSERT_TRUE(TypeText("7"));
  EXPECT_EQ(manager->Port_Edit->Text(), "217");
  ASSERT_TRUE(KeyChord({VK_BACK}));
  EXPECT_EQ(manager->Port_Edit->Text(), "21");
  ASSERT_TRUE(OpenClipboard(manager->Handle()));
  EmptyClipboard();
  HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 3);
  memcpy(GlobalLock(text), "x9", 3);
  GlobalUnlock(text);
  SetClipboardData(CF_TEXT, text);
  CloseClipboard();
  ASSERT_TRUE(KeyChord({VK_CONTROL, 'V'}));
  EXPECT_EQ(manager->Port_Edit->Text(), "21x9");
  // Enter (there is no default button here) types nothing: no box.
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(manager->Port_Edit->Text(), "21x9");
  EXPECT_EQ(frame.Boxes.size(), 1u);
}

TEST_F(ManagerTest, AProfileSelectedWhileHiddenIsLoadedWithoutMovingTheFocus) {
  WriteProfiles(kThreeProfiles);
  Make();
  manager->List_Prof->HandleNeeded();
  manager->List_Prof->Items()->Item(0)->SetSelected(true);
  EXPECT_FALSE(IsWindowVisible(manager->Handle()));
  EXPECT_EQ(Fields(), "Alpha|ann|abcdefgh|ftp.alpha.example|5|2121|/pub|proxy.local|X");
  EXPECT_TRUE(manager->Proxy_Edit->Enabled());
  EXPECT_EQ(manager->ActiveControl(), nullptr);
  manager->Show();
  ASSERT_TRUE(WaitVisible(manager->Handle()));
  EXPECT_NE(GetFocus(), manager->Proxy_Edit->Handle());
  EXPECT_EQ(Fields(), "Alpha|ann|abcdefgh|ftp.alpha.example|5|2121|/pub|proxy.local|X");
}

TEST_F(ManagerTest, NewOpensTheWizardAboveTheManager) {
  WriteProfiles(kThreeProfiles);
  Open();
  ASSERT_TRUE(ClickProfile("Alpha"));
  {
    TModalDriver modal;
    modal.Window("Create a New Profile").Press("Cancel");
    ASSERT_TRUE(Click(manager->Button1->Handle()));
    EXPECT_TRUE(modal.Finish());
  }
  EXPECT_EQ(manager->Edit_Name->Text(), "Alpha");
  EXPECT_TRUE(manager->ProfilesUnchanged);
  EXPECT_EQ(frame.Refreshes, 0);

  HWND owner = nullptr;
  {
    TModalDriver modal;
    modal.Window("Create a New Profile").Do("fill in and finish", [&](HWND w) {
      auto* wizard = dynamic_cast<TFormNewAccount*>(TControl::FindControl(w));
      if (!wizard) return false;
      owner = GetWindow(w, GW_OWNER);
      SaveDesktopScreenshot("wizard over the manager");
      wizard->Edit_Name->SetText("Echo");
      wizard->Edit_Host->SetText("ftp.echo.example");
      wizard->Edit_User->SetText("eve");
      wizard->Edit_Pass->SetText("pw");
      wizard->Page->SetActivePage(wizard->TabSheet2);
      wizard->PageChange(wizard);
      PostMessageA(wizard->Button2->Handle(), BM_CLICK, 0, 0);
      return true;
    });
    ASSERT_TRUE(Click(manager->Button1->Handle()));
    EXPECT_TRUE(modal.Finish());
  }
  EXPECT_EQ(owner, manager->Handle());
  EXPECT_EQ(Fields(), kCleared);
  EXPECT_EQ(manager->List_Prof->Items()->Count(), 4);
  EXPECT_GE(IndexOf("Echo"), 0);
  EXPECT_FALSE(manager->ProfilesUnchanged);
  EXPECT_EQ(frame.Refreshes, 2);  // the wizard's and the manager's
  PumpFor(200);
  SaveScreenshot(manager->Handle(), "after");
}

TEST_F(ManagerTest, EveryWayOutIsCancel) {
  WriteProfiles(kThreeProfiles);
  struct TWay {
    const char* name;
    std::function<void(TModalDriver&)> close;
  };
  const TWay ways[] = {
      {"Close", [](TModalDriver& m) { m.Press("&Close"); }},
      {"Escape", [](TModalDriver& m) { m.Key(VK_ESCAPE); }},
      {"title bar",
       [](TModalDriver& m) {
         m.Do("close box", [](HWND w) { return PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0) != 0; });
       }},
  };
  for (const TWay& way : ways) {
    SCOPED_TRACE(way.name);
    Make();
    manager->Edit_Name->SetText("Typed");
    TModalDriver modal;
    way.close(modal.Window("Profile Manager").Press("&Help"));
    EXPECT_EQ(manager->ShowModal(), mrCancel);
    EXPECT_TRUE(modal.Finish());
    EXPECT_TRUE(manager->ProfilesUnchanged);
  }
  EXPECT_EQ(Profiles(), kThreeProfiles);
  EXPECT_EQ(Helps(), std::vector<String>(3, "C:\\Nembra\\nembra3.hlp|258|JI(`',`IDH_profiles')"));
}
