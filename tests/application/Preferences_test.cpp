// The preferences window as a person meets it: what it shows of the stored
// settings, what OK writes (read back by the system's reg tool), the ways
// out that write nothing, the two groups that take turns, and the buffer
// field's checks.
#include "application/frame/Preferences.h"

#include "Profilestest.h"
#include "application/frame/Regdataunit.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

class PrefTest : public ProfilesTest {
 protected:
  void SetUp() override {
    ProfilesTest::SetUp();
    savedTitle_ = Application->Title;
    Application->Title = "NembraTest-prefs-" + IntToStr(GetCurrentProcessId());
    DropKey();
  }
  void TearDown() override {
    form.reset();
    DropKey();
    Application->Title = savedTitle_;
    ProfilesTest::TearDown();
  }
  static void DropKey() {
    TRegistry r;
    r.DeleteKey(TReg::GetKeyPath());
  }
  void Store(std::initializer_list<std::pair<const char*, int>> values) {
    DropKey();
    for (auto& v : values) TReg::WriteInteger(SettingsSection, v.first, v.second);
  }
  void Open() {
    form.reset();
    form.reset(new TFormPref(Application));
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
  }
  // "name TYPE data" for each value of the section, as the reg tool lists
  // them.
  static std::vector<String> RegQuery() {
    String key = "HKCU" + TReg::GetKeyPath() + SettingsSection;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return {"(no pipe)"};
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    String cmd = "reg.exe query \"" + key + "\"";
    BOOL started = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                  &si, &pi);
    CloseHandle(writeEnd);
    String out;
    if (started) {
      char buf[4096];
      DWORD n;
      while (ReadFile(readEnd, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
      WaitForSingleObject(pi.hProcess, 10000);
      CloseHandle(pi.hProcess);
      CloseHandle(pi.hThread);
    }
    CloseHandle(readEnd);
    std::vector<String> values;
    TStringList lines;
    lines.SetText(out);
    for (int i = 0; i < lines.Count(); ++i) {
      const String& line = lines[i];
      if (line.rfind("    ", 0) != 0) continue;
      // Name, type and data, apart by runs of blanks.
      String v;
      bool blank = true;
      for (char c : Trim(line)) {
        if (c == ' ' || c == '\t') {
          blank = true;
          continue;
        }
        if (blank && !v.empty()) v += ' ';
        blank = false;
        v += c;
      }
      values.push_back(v);
    }
    return values;
  }
  // What the window shows: connection type, the time-out box, the time-out
  // and NOOP edits ("+" enabled, "-" disabled), the keep-alive box, the
  // buffer and the sharing entry.
  String Shown() const {
    TFormPref* f = form.get();
    auto edit = [](TEdit* e) { return e->Text() + (e->Enabled() ? "+" : "-"); };
    return String(f->LAN->Checked() ? "LAN" : "phone") + "|" + (f->CheckTimeout->Checked() ? "disabled" : "timeout") +
           "|" + edit(f->Time) + "|" + edit(f->Noop) + "|" + (f->CheckAlive->Checked() ? "alive" : "") +
           (f->CheckAlive->Enabled() ? "+" : "-") + "|" + f->EditBuffer->Text() + "|" +
           IntToStr(f->ComboShare->ItemIndex());
  }
  // The seven values as stored, in the order OK writes them.
  static String Written() {
    String s;
    for (const char* n : {"Lanline", "TimeOutDisable", "KeepAlive", "Noop", "TimeOut", "BufSize", "ShareAccess"})
      s += (s.empty() ? "" : " ") + IntToStr(TReg::ReadInteger(SettingsSection, n));
    return s;
  }
  ::testing::AssertionResult ShowPage(int index) {
    RECT r;
    TabCtrl_GetItemRect(form->PageControl1->Handle(), index, &r);
    return Click(form->PageControl1->Handle(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }

  TOwned<TFormPref> form;

 private:
  String savedTitle_;
};

}  // namespace

TEST_F(PrefTest, ShowsTheStoredSettingsAndOkWritesWhatItShows) {
  struct TRow {
    const char* what;
    std::initializer_list<std::pair<const char*, int>> stored;
    const char* shown;
    const char* written;
  };
  const TRow rows[] = {
      {"nothing stored", {}, "phone|timeout|30+|120-|-|1514|0", "0 0 0 120 30 1514 0"},
      {"time-out disabled",
       {{"Lanline", 1}, {"TimeOutDisable", 1}, {"KeepAlive", 1}, {"Noop", 45}, {"TimeOut", 90}, {"BufSize", 512},
        {"ShareAccess", 2}},
       "LAN|disabled|30-|45+|alive+|512|2",
       "1 1 1 45 30 512 2"},
      {"time-out 0, buffer 0", {{"TimeOut", 0}, {"BufSize", 0}, {"Noop", 45}}, "phone|timeout|30+|120-|-|1514|0",
       "0 0 0 120 30 1514 0"},
      {"time-out 200", {{"TimeOut", 200}, {"KeepAlive", 1}}, "phone|timeout|200+|120-|alive-|1514|0",
       "0 0 1 120 200 1514 0"},
      {"NOOP 0", {{"TimeOutDisable", 1}, {"Noop", 0}}, "phone|disabled|30-|1+|+|1514|0", "0 1 0 1 30 1514 0"},
      {"NOOP 500", {{"TimeOutDisable", 1}, {"Noop", 500}}, "phone|disabled|30-|300+|+|1514|0", "0 1 0 300 30 1514 0"},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.what);
    Store(row.stored);
    Open();
    if (&row == &rows[0]) SaveScreenshot(form->Handle(), "connection");
    ASSERT_TRUE(ShowPage(1));
    ASSERT_TRUE(WaitVisible(form->Noop->Handle()));
    EXPECT_EQ(Shown(), row.shown);
    EXPECT_EQ(form->Time->Color(), form->Time->Enabled() ? clWindow : clBtnFace);
    EXPECT_EQ(form->Noop->Color(), form->Noop->Enabled() ? clWindow : clBtnFace);
    EXPECT_EQ(form->UpDown1->Enabled(), form->Time->Enabled());
    EXPECT_EQ(form->UpDown2->Enabled(), form->Noop->Enabled());
    ASSERT_TRUE(Click(form->Button1->Handle()));
    ASSERT_TRUE(WaitGone(form->Handle()));
    EXPECT_EQ(Written(), row.written);
  }
  EXPECT_TRUE(frame.Boxes.empty());
}

TEST_F(PrefTest, OkWritesWhatWasChosenAsNumbers) {
  Open();
  ASSERT_TRUE(Click(form->LAN->Handle()));
  HWND buffer = form->EditBuffer->Handle();
  ASSERT_TRUE(FocusWindow(buffer));
  SendMessageA(buffer, EM_SETSEL, 0, -1);
  ASSERT_TRUE(TypeText("4096"));
  ASSERT_TRUE(FocusWindow(form->ComboShare->Handle()));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(ShowPage(1));
  ASSERT_TRUE(WaitVisible(form->CheckTimeout->Handle()));
  HWND up1 = form->UpDown1->Handle();
  RECT r;
  GetClientRect(up1, &r);
  ASSERT_TRUE(Click(up1, POINT{r.right / 2, r.bottom - 3}));  // down: 29
  ASSERT_TRUE(Click(form->CheckTimeout->Handle()));
  ASSERT_TRUE(Click(form->CheckAlive->Handle()));
  HWND up2 = form->UpDown2->Handle();
  GetClientRect(up2, &r);
  ASSERT_TRUE(Click(up2, POINT{r.right / 2, 3}));  // up: 121
  ASSERT_TRUE(Click(up2, POINT{r.right / 2, 3}));  // 122
  EXPECT_EQ(Shown(), "LAN|disabled|29-|122+|alive+|4096|3");
  SaveScreenshot(form->Handle(), "timeout");
  ASSERT_TRUE(Click(form->Button1->Handle()));
  ASSERT_TRUE(WaitGone(form->Handle()));
  // The reg tool lists them by name.
  EXPECT_EQ(RegQuery(), (std::vector<String>{"BufSize REG_DWORD 0x1000", "KeepAlive REG_DWORD 0x1",
                                             "Lanline REG_DWORD 0x1", "Noop REG_DWORD 0x7a",
                                             "ShareAccess REG_DWORD 0x3", "TimeOut REG_DWORD 0x1d",
                                             "TimeOutDisable REG_DWORD 0x1"}));
  EXPECT_TRUE(frame.Boxes.empty());
}

TEST_F(PrefTest, EveryWayOutButOkWritesNothing) {
  Store({{"TimeOut", 45}, {"BufSize", 2048}});
  std::vector<String> before = RegQuery();
  ASSERT_EQ(before.size(), 2u);
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
    form.reset();
    form.reset(new TFormPref(Application));
    form->LAN->SetChecked(true);
    form->CheckTimeout->SetChecked(true);
    form->EditBuffer->SetText("99");
    TModalDriver modal;
    way.close(modal.Window("Preferences").Press("&Help"));
    EXPECT_EQ(form->ShowModal(), mrCancel);
    EXPECT_TRUE(modal.Finish());
    EXPECT_EQ(RegQuery(), before);
  }
  EXPECT_EQ(Helps(), std::vector<String>(3, "C:\\Nembra\\nembra3.hlp|258|JI(`',`IDH_app_pref')"));
}

TEST_F(PrefTest, TheTimeOutBoxSwapsTheGroupsAndKeepsKeepAlive) {
  Store({{"KeepAlive", 1}});
  Open();
  ASSERT_TRUE(ShowPage(1));
  ASSERT_TRUE(WaitVisible(form->CheckTimeout->Handle()));
  EXPECT_EQ(Shown(), "phone|timeout|30+|120-|alive-|1514|0");
  ASSERT_TRUE(Click(form->CheckTimeout->Handle()));
  EXPECT_EQ(Shown(), "phone|disabled|30-|120+|alive+|1514|0");
  EXPECT_EQ(form->Time->Color(), clBtnFace);
  EXPECT_EQ(form->Noop->Color(), clWindow);
  EXPECT_FALSE(IsWindowEnabled(form->UpDown1->Handle()));
  EXPECT_TRUE(IsWindowEnabled(form->UpDown2->Handle()));
  ASSERT_TRUE(Click(form->CheckAlive->Handle()));
  ASSERT_TRUE(Click(form->CheckAlive->Handle()));
  ASSERT_TRUE(Click(form->CheckTimeout->Handle()));
  EXPECT_EQ(Shown(), "phone|timeout|30+|120-|alive-|1514|0");
  EXPECT_EQ(form->Time->Color(), clWindow);
  EXPECT_EQ(form->Noop->Color(), clBtnFace);
  EXPECT_TRUE(IsWindowEnabled(form->UpDown1->Handle()));
  EXPECT_FALSE(IsWindowEnabled(form->UpDown2->Handle()));
  ASSERT_TRUE(Click(form->Button1->Handle()));
  ASSERT_TRUE(WaitGone(form->Handle()));
  EXPECT_TRUE(TReg::ReadBool(SettingsSection, "KeepAlive"));
}

TEST_F(PrefTest, TheBufferTakesDigitsOnlyAndABadOneWritesNothing) {
  Open();
  HWND buffer = form->EditBuffer->Handle();
  ASSERT_TRUE(FocusWindow(buffer));
  SendMessageA(buffer, EM_SETSEL, 4, 4);
  ASSERT_TRUE(TypeText("a"));
  EXPECT_EQ(frame.BoxLines(), std::vector<String>{"Digits Only: You can enter digits only in this field!"});
  EXPECT_EQ(form->EditBuffer->Text(), "1514");
  ASSERT_TRUE(KeyChord({VK_BACK}));
  EXPECT_EQ(form->EditBuffer->Text(), "151");
  // Enter presses OK; it types nothing.
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_TRUE(WaitGone(form->Handle()));
  EXPECT_EQ(TReg::ReadInteger(SettingsSection, "BufSize"), 151);
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));

  RecordErrors();
  for (const char* text : {"", "99999999999"}) {
    SCOPED_TRACE(text);
    Errors.clear();
    form->LAN->SetChecked(true);
    form->EditBuffer->SetText(text);
    std::vector<String> before = RegQuery();
    ASSERT_TRUE(Click(form->Button1->Handle()));
    ASSERT_TRUE(WaitErrors(1));
    EXPECT_EQ(Errors[0], String("EConvertError: '") + text + "' is not a valid integer value");
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    EXPECT_EQ(RegQuery(), before);
    EXPECT_FALSE(TReg::ReadBool(SettingsSection, "Lanline"));
  }
  EXPECT_EQ(frame.Boxes.size(), 1u);
}
