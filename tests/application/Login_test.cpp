// The login window as a person meets it: the profiles listed and shown,
// Connect, Cancel and the title bar, and the wizard and the manager opened
// from it.
#include "application/frame/Login.h"

#include "Profilestest.h"
#include "application/frame/Profilemgr.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

class LoginTest : public ProfilesTest {
 protected:
  void TearDown() override {
    login.reset();
    ProfilesTest::TearDown();
  }
  void Open() {
    login.reset();
    login.reset(new TLogForm(Application, path));
    login->Show();
    ASSERT_TRUE(WaitVisible(login->Handle()));
  }
  std::vector<String> Names() const {
    std::vector<String> n;
    TListItems* items = login->List_Prof->Items();
    for (int i = 0; i < items->Count(); ++i) n.push_back(items->Item(i)->Caption());
    return n;
  }
  // Name, host, user, password, server type, anonymous, proxy, proxy name,
  // port, passive.
  std::vector<String> Panels() const {
    std::vector<String> p;
    for (TPanel* panel : {login->Name, login->Host, login->User, login->Password, login->ServerType,
                          login->Anonymous, login->Proxy, login->ProxyName, login->Port, login->Passive})
      p.push_back(panel->Caption());
    return p;
  }
  ::testing::AssertionResult ClickItem(int index) {
    TRect r = login->List_Prof->Items()->Item(index)->DisplayRect(drLabel);
    return Click(login->List_Prof->Handle(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }
  bool EditEnabled() const { return login->Button4->Enabled() && login->EditProfile1->Enabled(); }

  TOwned<TLogForm> login;
};

const std::vector<String> kNoPanels(10, "");

}  // namespace

TEST_F(LoginTest, ListsTheProfilesSortedAndShowsTheChosenOne) {
  WriteProfiles(String(kThreeProfiles) + "[delta]\r\nHostName=d\r\nServerType=-1\r\nProxy=0\r\n\r\n");
  Open();
  EXPECT_EQ(WindowText(login->Handle()), "Login");
  EXPECT_EQ(login->ClientWidth(), 417);
  EXPECT_EQ(login->ClientHeight(), 337);
  EXPECT_EQ(Names(), (std::vector<String>{"Alpha", "bravo", "Charlie", "delta"}));
  EXPECT_FALSE(login->Button4->Enabled());
  EXPECT_FALSE(login->EditProfile1->Enabled());
  EXPECT_EQ(Panels(), kNoPanels);

  struct TRow {
    const char* name;
    std::vector<String> panels;
  };
  const TRow rows[] = {
      {"Charlie", {"Charlie", "ftp.charlie.example", "carl", "", "DOS Type", "False", "False", "", "21", "True"}},
      {"bravo",
       {"bravo", "ftp.bravo.example", "anonymous", "*****************", "Standard Unix Type", "True", "False", "",
        "21", "False"}},
      {"delta", {"delta", "d", "", "", "Standard Unix Type", "False", "False", "", "21", "False"}},
      {"Alpha",
       {"Alpha", "ftp.alpha.example", "ann", "********", "Other (Unknown Type)", "False", "True", "proxy.local",
        "2121", "False"}},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.name);
    int index = 0;
    while (Names()[static_cast<size_t>(index)] != row.name) ++index;
    ASSERT_TRUE(ClickItem(index));
    ASSERT_TRUE(WaitFor([&] { return login->Name->Caption() == row.name; }, 2000));
    EXPECT_EQ(Panels(), row.panels);
    EXPECT_TRUE(EditEnabled());
  }
  // The list shows the profile image.
  TDibSurface list = CaptureClient(login->List_Prof->Handle());
  EXPECT_GE(CountColor(list, ColorToRGB(kProfileImageColor)), 3 * 16 * 16);  // the selected one is blended
  SaveScreenshot(login->Handle());
  EXPECT_TRUE(frame.Boxes.empty());
}

TEST_F(LoginTest, ConnectAsksForAProfileUntilOneIsShown) {
  WriteProfiles(kThreeProfiles);
  Open();
  ASSERT_TRUE(Click(login->Button1->Handle()));
  EXPECT_EQ(frame.BoxLines(), std::vector<String>{"No Account: You need to select an account!"});
  EXPECT_TRUE(login->Visible());
  EXPECT_TRUE(login->Cancelled);

  // A double click chooses at once.
  TRect r = login->List_Prof->Items()->Item(1)->DisplayRect(drLabel);
  ASSERT_TRUE(DoubleClick(login->List_Prof->Handle(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
  ASSERT_TRUE(WaitGone(login->Handle()));
  EXPECT_FALSE(login->Cancelled);
  EXPECT_EQ(login->ProfileName, "bravo");
  EXPECT_EQ(frame.Boxes.size(), 1u);
}

TEST_F(LoginTest, AClickBesideTheItemsKeepsTheShownProfileForConnect) {
  WriteProfiles(kThreeProfiles);
  Open();
  ASSERT_TRUE(ClickItem(0));
  ASSERT_TRUE(WaitFor([&] { return EditEnabled(); }, 2000));
  std::vector<String> shown = Panels();
  HWND list = login->List_Prof->Handle();
  RECT client;
  GetClientRect(list, &client);
  ASSERT_TRUE(Click(list, POINT{client.right / 2, client.bottom - 10}));
  ASSERT_TRUE(WaitFor([&] { return !EditEnabled(); }, 2000));
  EXPECT_EQ(login->List_Prof->Selected(), nullptr);
  EXPECT_EQ(Panels(), shown);

  ASSERT_TRUE(Click(login->Button1->Handle()));
  ASSERT_TRUE(WaitGone(login->Handle()));
  EXPECT_FALSE(login->Cancelled);
  EXPECT_EQ(login->ProfileName, "Alpha");
  EXPECT_TRUE(frame.Boxes.empty());
}

TEST_F(LoginTest, CancelEscapeAndTheTitleBarEndTheRunCancelled) {
  WriteProfiles(kThreeProfiles);
  struct TWay {
    const char* name;
    std::function<void(TModalDriver&)> close;
  };
  const TWay ways[] = {
      {"Cancel", [](TModalDriver& m) { m.Press("&Cancel"); }},
      {"Escape", [](TModalDriver& m) { m.Key(VK_ESCAPE); }},
      {"title bar",
       [](TModalDriver& m) {
         m.Do("close box", [](HWND w) { return PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0) != 0; });
       }},
  };
  for (const TWay& way : ways) {
    SCOPED_TRACE(way.name);
    TOwned<TLogForm> form(new TLogForm(Application, path));
    form->ProfileName = "left over";
    TModalDriver modal;
    way.close(modal.Window("Login"));
    EXPECT_EQ(form->ShowModal(), mrCancel);
    EXPECT_TRUE(modal.Finish());
    EXPECT_TRUE(form->Cancelled);
  }
  // Only Cancel empties the name; help opens the login topic first.
  TOwned<TLogForm> form(new TLogForm(Application, path));
  TModalDriver modal;
  modal.Window("Login").Press("&Help").Press("&Cancel");
  form->ShowModal();
  EXPECT_TRUE(modal.Finish());
  EXPECT_EQ(form->ProfileName, "");
  EXPECT_EQ(Helps(), std::vector<String>{"C:\\Nembra\\nembra3.hlp|258|JI(`',`IDH_login')"});
  EXPECT_TRUE(frame.Boxes.empty());
}

TEST_F(LoginTest, ACancelledWizardLeavesTheListAFinishedOneAddsTheProfile) {
  WriteProfiles(kThreeProfiles);
  Open();
  {
    TModalDriver modal;
    modal.Window("Create a New Profile").Press("Cancel");
    ASSERT_TRUE(Click(login->Button3->Handle()));
    EXPECT_TRUE(modal.Finish());
  }
  EXPECT_EQ(Names(), (std::vector<String>{"Alpha", "bravo", "Charlie"}));
  EXPECT_EQ(Profiles(), kThreeProfiles);
  EXPECT_EQ(frame.Refreshes, 0);

  {
    TModalDriver modal;
    modal.Window("Create a New Profile").Do("fill in and finish", [](HWND w) {
      auto* wizard = dynamic_cast<TFormNewAccount*>(TControl::FindControl(w));
      if (!wizard) return false;
      wizard->Edit_Name->SetText("Able");
      wizard->Edit_Host->SetText("ftp.able.example");
      wizard->Edit_User->SetText("abe");
      wizard->Edit_Pass->SetText("pw");
      wizard->Page->SetActivePage(wizard->TabSheet2);
      wizard->PageChange(wizard);
      PostMessageA(wizard->Button2->Handle(), BM_CLICK, 0, 0);
      return true;
    });
    ASSERT_TRUE(Click(login->Button3->Handle()));
    EXPECT_TRUE(modal.Finish());
  }
  EXPECT_EQ(Names(), (std::vector<String>{"Able", "Alpha", "bravo", "Charlie"}));
  EXPECT_EQ(frame.Refreshes, 1);
}

TEST_F(LoginTest, EditProfileOpensTheManagerOnTheShownProfile) {
  WriteProfiles(kThreeProfiles);
  Open();
  ASSERT_TRUE(ClickItem(0));
  ASSERT_TRUE(WaitFor([&] { return EditEnabled(); }, 2000));
  {
    // The manager comes up with Alpha loaded; its host changed and saved.
    TModalDriver modal;
    modal.Window("Profile Manager")
        .Do("Alpha is loaded",
            [](HWND w) {
              auto* m = dynamic_cast<TSettForm*>(TControl::FindControl(w));
              EXPECT_TRUE(m && m->List_Prof->Selected() && m->List_Prof->Selected()->Index() == 0);
              EXPECT_EQ(m ? m->Edit_Name->Text() : "", "Alpha");
              EXPECT_EQ(m ? m->Edit_Host->Text() : "", "ftp.alpha.example");
              EXPECT_EQ(m ? m->Proxy_Edit->Text() : "", "proxy.local");
              // Loaded while hidden: the proxy box did not pull the focus.
              EXPECT_NE(m ? m->ActiveControl() : nullptr, m ? m->Proxy_Edit : nullptr);
              return m != nullptr;
            })
        .SetEditAfter("Host Address:", "ftp.new.example")
        .Press("&Save")
        .Press("&Close");
    ASSERT_TRUE(Click(login->Button4->Handle()));
    EXPECT_TRUE(modal.Finish());
  }
  ASSERT_NE(login->List_Prof->Selected(), nullptr);
  EXPECT_EQ(login->List_Prof->Selected()->Index(), 0);
  EXPECT_EQ(login->Host->Caption(), "ftp.new.example");
  EXPECT_TRUE(EditEnabled());

  // The shown profile deleted in the manager: nothing shown, Connect asks.
  ASSERT_TRUE(ClickItem(2));
  ASSERT_TRUE(WaitFor([&] { return login->Name->Caption() == "Charlie"; }, 2000));
  {
    TModalDriver modal;
    modal.Window("Profile Manager").Press("&Delete").Press("&Close");
    ASSERT_TRUE(Click(login->Button4->Handle()));
    EXPECT_TRUE(modal.Finish());
  }
  EXPECT_EQ(Names(), (std::vector<String>{"Alpha", "bravo"}));
  EXPECT_EQ(Panels(), kNoPanels);
  EXPECT_FALSE(EditEnabled());
  ASSERT_TRUE(Click(login->Button1->Handle()));
  EXPECT_EQ(frame.BoxLines(), std::vector<String>{"No Account: You need to select an account!"});
  EXPECT_TRUE(login->Visible());
  EXPECT_EQ(frame.Refreshes, 2);
  PumpFor(200);
  SaveScreenshot(login->Handle(), "after delete");
}
