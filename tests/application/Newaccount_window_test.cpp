// The new-profile wizard as a person meets it: the pages and their
// buttons, the fields checked at Finish, the profile written, the boxes
// that fill or free fields, a name that exists, and the ways out.
#include "Profilestest.h"
#include "application/frame/Newaccount.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

class WizardTest : public ProfilesTest {
 protected:
  void TearDown() override {
    wizard.reset();
    ProfilesTest::TearDown();
  }
  void Open() {
    wizard.reset();
    wizard.reset(new TFormNewAccount(Application, path));
    wizard->Show();
    ASSERT_TRUE(WaitVisible(wizard->Handle()));
    ASSERT_TRUE(WaitFor([&] { return GetFocus() == wizard->Edit_Name->Handle(); }, 2000));
  }
  ::testing::AssertionResult Next() { return Click(wizard->Button2->Handle()); }
  // Straight to the last page, as Next does.
  void ToLastPage() {
    wizard->Page->SetActivePage(wizard->TabSheet2);
    wizard->PageChange(wizard.get());
  }
  void Fill(const String& name, const String& host, const String& user, const String& pass) {
    wizard->Edit_Name->SetText(name);
    wizard->Edit_Host->SetText(host);
    wizard->Edit_User->SetText(user);
    wizard->Edit_Pass->SetText(pass);
  }
  char PasswordChar(TEdit* edit) { return static_cast<char>(SendMessageA(edit->Handle(), EM_GETPASSWORDCHAR, 0, 0)); }

  TOwned<TFormNewAccount> wizard;
};

const char kAlphaBravo[] =
    "[Alpha]\r\nProxy=1\r\nPassive=0\r\nProxyName=proxy.local\r\nHostName=ftp.alpha.example\r\nUserName=ann\r\n"
    "PassWord=pw\r\nStartDir=/pub\r\nPort=2121\r\nAnonymous=0\r\nServerType=2\r\n\r\n"
    "[Bravo]\r\nHostName=ftp.bravo.example\r\n\r\n";

}  // namespace

TEST_F(WizardTest, NextWalksThePagesWithoutChecksAndFinishAsksForTheName) {
  Open();
  EXPECT_EQ(WindowText(wizard->Handle()), "Create a New Profile");
  EXPECT_EQ(TabCtrl_GetItemCount(wizard->Page->Handle()), 0);
  for (int i = 0; i < wizard->Page->PageCount(); ++i) EXPECT_FALSE(wizard->Page->Pages(i)->TabVisible());
  EXPECT_EQ(wizard->ComboServer->ItemIndex(), 0);

  struct TPageRow {
    bool back;
    const char* next;
    TWinControl* focus;
  };
  const TPageRow pages[] = {
      {false, "Next >", wizard->Edit_Name},
      {true, "Next >", wizard->Edit_Host},
      {true, "Next >", wizard->Edit_User},
      {true, "Finish", wizard->CheckProxy},
  };
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    if (i > 0) ASSERT_TRUE(Next());
    EXPECT_EQ(wizard->Page->ActivePageIndex(), i);
    EXPECT_EQ(wizard->Button1->Enabled(), pages[i].back);
    EXPECT_EQ(WindowText(wizard->Button2->Handle()), pages[i].next);
    EXPECT_EQ(GetFocus(), pages[i].focus->Handle());
    SaveScreenshot(wizard->Handle(), "page" + IntToStr(i));
  }
  EXPECT_TRUE(frame.Boxes.empty());

  // With the proxy box ticked, page 3 puts the focus on the proxy name.
  ASSERT_TRUE(Click(wizard->CheckProxy->Handle()));
  ASSERT_TRUE(Click(wizard->Button1->Handle()));
  EXPECT_EQ(wizard->Page->ActivePageIndex(), 2);
  ASSERT_TRUE(Next());
  EXPECT_EQ(GetFocus(), wizard->Edit_Proxy->Handle());
  ASSERT_TRUE(Click(wizard->CheckProxy->Handle()));

  ASSERT_TRUE(Next());  // Finish
  EXPECT_EQ(frame.BoxLines(), std::vector<String>{"Missing Field: You must enter a name for this profile"});
  EXPECT_EQ(wizard->Page->ActivePageIndex(), 0);
  EXPECT_FALSE(wizard->Button1->Enabled());
  EXPECT_EQ(WindowText(wizard->Button2->Handle()), "Next >");
  EXPECT_EQ(GetFocus(), wizard->Edit_Name->Handle());
  EXPECT_TRUE(wizard->Visible());
  EXPECT_TRUE(wizard->WizardCancelled);
  EXPECT_FALSE(FileExists(path));
}

TEST_F(WizardTest, FinishGoesToTheFirstMissingField) {
  struct TRow {
    const char* name;
    const char* host;
    const char* user;
    const char* pass;
    bool proxy;
    const char* message;
    int page;
    TEdit* TFormNewAccount::*focus;
  };
  const TRow rows[] = {
      {"", "", "", "", false, "You must enter a name for this profile", 0, &TFormNewAccount::Edit_Name},
      {"   ", "h", "u", "p", false, "You must enter a name for this profile", 0, &TFormNewAccount::Edit_Name},
      {"n", "", "", "", false, "You must enter a host address for this profile", 1, &TFormNewAccount::Edit_Host},
      {"n", "h", "", "", false, "You must enter a user name for this profile", 2, &TFormNewAccount::Edit_User},
      {"n", "h", "u", "", false, "You must enter a password for this profile", 2, &TFormNewAccount::Edit_Pass},
      {"n", "h", "u", "p", true, "You must enter a proxy name for this profile", 3, &TFormNewAccount::Edit_Proxy},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.message);
    Open();
    Fill(row.name, row.host, row.user, row.pass);
    wizard->CheckProxy->SetChecked(row.proxy);
    ToLastPage();
    frame.Boxes.clear();
    ASSERT_TRUE(Next());
    EXPECT_EQ(frame.BoxLines(), std::vector<String>{String("Missing Field: ") + row.message});
    EXPECT_EQ(wizard->Page->ActivePageIndex(), row.page);
    EXPECT_EQ(GetFocus(), (wizard.get()->*row.focus)->Handle()) << "focus on " << DescribeWindow(GetFocus());
    EXPECT_TRUE(wizard->WizardCancelled);
  }
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(frame.Refreshes, 0);
}

TEST_F(WizardTest, FinishWritesTheProfileLastWithPort21AndNoStartDirectory) {
  for (bool beside : {false, true}) {
    SCOPED_TRACE(beside ? "beside two profiles" : "into a missing file");
    if (beside) WriteProfiles(kAlphaBravo);
    frame.Refreshes = 0;
    Open();
    ASSERT_TRUE(TypeInto(wizard->Edit_Name->Handle(), "Delta"));
    ASSERT_TRUE(Next());
    ASSERT_TRUE(TypeInto(wizard->Edit_Host->Handle(), "ftp.delta.example"));
    ASSERT_TRUE(FocusWindow(wizard->ComboServer->Handle()));
    ASSERT_TRUE(KeyChord({VK_DOWN}));
    ASSERT_TRUE(KeyChord({VK_DOWN}));
    ASSERT_TRUE(Next());
    ASSERT_TRUE(TypeInto(wizard->Edit_User->Handle(), "dee"));
    ASSERT_TRUE(TypeInto(wizard->Edit_Pass->Handle(), "se=cret"));
    ASSERT_TRUE(Next());
    ASSERT_TRUE(Click(wizard->CheckPassive->Handle()));
    ASSERT_TRUE(Next());
    ASSERT_TRUE(WaitGone(wizard->Handle()));
    EXPECT_FALSE(wizard->WizardCancelled);
    EXPECT_EQ(frame.Refreshes, 1);
    EXPECT_EQ(Profiles(), String(beside ? kAlphaBravo : "") +
                              "[Delta]\r\nProxy=0\r\nPassive=1\r\nProxyName=\r\nHostName=ftp.delta.example\r\n"
                              "UserName=dee\r\nPassWord=se=cret\r\nPort=21\r\nAnonymous=0\r\nServerType=2\r\n\r\n");
    EXPECT_TRUE(frame.Boxes.empty());
  }
}

TEST_F(WizardTest, TheAnonymousBoxFillsAndEmptiesThePassword) {
  Open();
  ASSERT_TRUE(Next());
  ASSERT_TRUE(Next());
  ASSERT_TRUE(TypeInto(wizard->Edit_User->Handle(), "joe"));
  ASSERT_TRUE(TypeInto(wizard->Edit_Pass->Handle(), "typed"));
  EXPECT_EQ(PasswordChar(wizard->Edit_Pass), '*');

  ASSERT_TRUE(Click(wizard->CheckAnon->Handle()));
  EXPECT_EQ(wizard->Edit_User->Text(), "anonymous");
  EXPECT_EQ(wizard->Edit_Pass->Text(), AnonymousPassword);
  EXPECT_EQ(PasswordChar(wizard->Edit_Pass), 0);
  EXPECT_EQ(GetFocus(), wizard->Edit_Pass->Handle());
  SaveScreenshot(wizard->Handle(), "anonymous");

  ASSERT_TRUE(Click(wizard->CheckAnon->Handle()));
  EXPECT_EQ(wizard->Edit_User->Text(), "anonymous");
  EXPECT_EQ(wizard->Edit_Pass->Text(), "");
  EXPECT_EQ(PasswordChar(wizard->Edit_Pass), '*');
  EXPECT_EQ(GetFocus(), wizard->Edit_Pass->Handle());
  // The placeholder is an address: a user part, "@" and a dotted domain.
  String a = AnonymousPassword;
  size_t at = a.find('@');
  ASSERT_NE(at, String::npos);
  EXPECT_GT(at, 0u);
  EXPECT_NE(a.find('.', at), String::npos);
  EXPECT_EQ(a.find_first_of(" \t;,<>"), String::npos);
}

TEST_F(WizardTest, AProxyNameIsWrittenEvenWhenTheBoxIsCleared) {
  Open();
  Fill("Proxied", "ftp.example", "u", "p");
  ToLastPage();
  EXPECT_FALSE(IsWindowEnabled(wizard->Edit_Proxy->Handle()));
  EXPECT_EQ(wizard->Edit_Proxy->Color(), clBtnFace);
  ASSERT_TRUE(Click(wizard->CheckProxy->Handle()));
  EXPECT_TRUE(IsWindowEnabled(wizard->Edit_Proxy->Handle()));
  EXPECT_EQ(wizard->Edit_Proxy->Color(), clWindow);
  EXPECT_FALSE(wizard->CheckPassive->Checked());  // not the manager's rule
  ASSERT_TRUE(TypeInto(wizard->Edit_Proxy->Handle(), "proxy.example"));
  EXPECT_EQ(PasswordChar(wizard->Edit_Proxy), '*');
  SaveScreenshot(wizard->Handle(), "proxy");
  ASSERT_TRUE(Click(wizard->CheckProxy->Handle()));
  EXPECT_FALSE(IsWindowEnabled(wizard->Edit_Proxy->Handle()));
  EXPECT_EQ(wizard->Edit_Proxy->Color(), clBtnFace);
  ASSERT_TRUE(Next());
  ASSERT_TRUE(WaitGone(wizard->Handle()));
  EXPECT_EQ(Profiles(),
            "[Proxied]\r\nProxy=0\r\nPassive=0\r\nProxyName=proxy.example\r\nHostName=ftp.example\r\nUserName=u\r\n"
            "PassWord=p\r\nPort=21\r\nAnonymous=0\r\nServerType=0\r\n\r\n");
}

TEST_F(WizardTest, AnExistingNameIsOverwrittenOnlyWhenTheUserAgrees) {
  WriteProfiles(kAlphaBravo);
  Open();
  Fill(" alpha ", "ftp.new.example", "nat", "new");
  ToLastPage();
  frame.Answers = {false};
  ASSERT_TRUE(Next());
  EXPECT_EQ(frame.BoxLines(),
            std::vector<String>{"Profile Exists? A profile named \"alpha\" already exists. Do you want to overwrite it?"});
  EXPECT_EQ(Profiles(), kAlphaBravo);
  EXPECT_EQ(wizard->Page->ActivePageIndex(), 0);
  EXPECT_EQ(GetFocus(), wizard->Edit_Name->Handle());
  EXPECT_TRUE(wizard->Visible());
  EXPECT_TRUE(wizard->WizardCancelled);
  EXPECT_EQ(frame.Refreshes, 0);

  ToLastPage();
  frame.Answers = {true};
  ASSERT_TRUE(Next());
  ASSERT_TRUE(WaitGone(wizard->Handle()));
  EXPECT_EQ(frame.Boxes.size(), 2u);
  EXPECT_FALSE(wizard->WizardCancelled);
  EXPECT_EQ(Profiles(),
            "[Alpha]\r\nProxy=0\r\nPassive=0\r\nProxyName=\r\nHostName=ftp.new.example\r\nUserName=nat\r\n"
            "PassWord=new\r\nStartDir=/pub\r\nPort=21\r\nAnonymous=0\r\nServerType=0\r\n\r\n"
            "[Bravo]\r\nHostName=ftp.bravo.example\r\n\r\n");
}

TEST_F(WizardTest, EveryWayOutButFinishWritesNothing) {
  WriteProfiles(kAlphaBravo);
  struct TWay {
    const char* name;
    std::function<void(TModalDriver&)> close;
  };
  const TWay ways[] = {
      {"Cancel", [](TModalDriver& m) { m.Press("Cancel"); }},
      {"Escape", [](TModalDriver& m) { m.Key(VK_ESCAPE); }},
      {"title bar",
       [](TModalDriver& m) {
         m.Do("close box", [](HWND w) { return PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0) != 0; });
       }},
  };
  for (const TWay& way : ways) {
    SCOPED_TRACE(way.name);
    TOwned<TFormNewAccount> form(new TFormNewAccount(Application, path));
    form->Edit_Name->SetText("Charlie");
    form->Edit_Host->SetText("h");
    form->Edit_User->SetText("u");
    form->Edit_Pass->SetText("p");
    TModalDriver modal;
    way.close(modal.Window("Create a New Profile").Press("&Help"));
    EXPECT_EQ(form->ShowModal(), mrCancel);
    EXPECT_TRUE(modal.Finish());
    EXPECT_TRUE(form->WizardCancelled);
  }
  EXPECT_EQ(Profiles(), kAlphaBravo);
  EXPECT_EQ(Helps(), std::vector<String>(3, "C:\\Nembra\\nembra3.hlp|258|JI(`',`IDH_profilewiz')"));
  EXPECT_EQ(frame.Refreshes, 0);

  // A file that cannot be written: the error reaches the hook, the file
  // keeps its bytes and the wizard stays open, still cancelled.
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  RecordErrors();
  Open();
  Fill("Charlie", "h", "u", "p");
  ToLastPage();
  ASSERT_TRUE(Next());
  ASSERT_TRUE(WaitErrors(1));
  EXPECT_EQ(Errors[0].substr(0, 14), "EFCreateError:");
  EXPECT_EQ(Profiles(), kAlphaBravo);
  EXPECT_TRUE(wizard->WizardCancelled);
  EXPECT_TRUE(wizard->Visible());
  EXPECT_EQ(frame.Refreshes, 0);
}
