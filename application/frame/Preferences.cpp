#include "Preferences.h"

#include "Frameservices.h"
#include "Profilemgr.h"
#include "Regdataunit.h"

namespace {

TLabel* MakeLabel(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int left, int top,
                  int width) {
  TLabel* l = MakeControl<TLabel>(owner, parent, name, left, top, width, 13);
  l->SetAutoSize(false);
  l->SetCaption(caption);
  return l;
}

TGroupBox* MakeGroup(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int top,
                     int height) {
  TGroupBox* g = MakeControl<TGroupBox>(owner, parent, name, 8, top, 380, height);
  g->SetCaption(caption);
  return g;
}

TUpDown* MakeUpDown(TComponent* owner, TWinControl* parent, const char* name, TEdit* associate, int position) {
  auto* u = new TUpDown(owner);
  u->SetName(name);
  u->SetParent(parent);
  u->SetMin(1);
  u->SetMax(300);
  u->SetPosition(position);
  u->SetThousands(false);
  u->SetWrap(false);
  u->SetAssociate(associate);
  return u;
}

TButton* MakeButton(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int left) {
  TButton* b = MakeControl<TButton>(owner, parent, name, left, 266, 75, 25);
  b->SetCaption(caption);
  return b;
}

}  // namespace

TFormPref::TFormPref(TComponent* owner) : TForm(owner) {
  SetName("FormPref");
  SetCaption("Preferences");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu, biHelp});
  SetPosition(poMainFormCenter);
  SetClientWidth(420);
  SetClientHeight(299);
  OnClose = {this, &TFormPref::FormClose};

  PageControl1 = MakeControl<TPageControl>(this, this, "PageControl1", 8, 8, 404, 250);

  TabSheet1 = new TTabSheet(this);
  TabSheet1->SetName("TabSheet1");
  TabSheet1->SetPageControl(PageControl1);
  TabSheet1->SetCaption("Connection Settings");
  GroupBox1 = MakeGroup(this, TabSheet1, "GroupBox1", "Connection Type", 6, 62);
  Phone = MakeControl<TRadioButton>(this, GroupBox1, "Phone", 12, 18, 360, 17);
  Phone->SetCaption("I connect to the internet using my phoneline.");
  Phone->SetChecked(true);
  LAN = MakeControl<TRadioButton>(this, GroupBox1, "LAN", 12, 38, 360, 17);
  LAN->SetCaption("I connect to the internet using a LAN or \"always on\" DSL.");
  GroupBox2 = MakeGroup(this, TabSheet1, "GroupBox2", "Socket Buffer Size", 74, 78);
  EditBuffer = new TEdit(this);
  Label1 = MakeLabel(this, GroupBox2, "Label1", "Buffer Size:", 12, 26, 62);
  Label1->SetFocusControl(EditBuffer);
  EditBuffer->SetName("EditBuffer");
  EditBuffer->SetParent(GroupBox2);
  EditBuffer->SetBounds(76, 22, 60, 21);
  EditBuffer->SetText("1514");
  EditBuffer->OnKeyPress = {this, &TFormPref::EditBufferKeyPress};
  Label2 = MakeControl<TLabel>(this, GroupBox2, "Label2", 148, 16, 224, 56);
  Label2->SetAutoSize(false);
  Label2->SetWordWrap(true);
  Label2->SetCaption(
      "Setting a smaller buffer can increase performance sometimes. Max is 1514 for an ethernet connection, not "
      "recommended to go below 512.");
  GroupBox3 = MakeGroup(this, TabSheet1, "GroupBox3", "File Sharing", 158, 56);
  ComboShare = new TComboBox(this);
  Label3 = MakeLabel(this, GroupBox3, "Label3", "While transferring files :", 12, 26, 122);
  Label3->SetFocusControl(ComboShare);
  ComboShare->SetName("ComboShare");
  ComboShare->SetParent(GroupBox3);
  ComboShare->SetBounds(136, 22, 236, 21);
  ComboShare->SetStyle(csDropDownList);
  for (const char* s : {"Do not deny access from other applications", "Deny read access from other applications",
                        "Deny write access from other applications", "Deny all access from other applications"})
    ComboShare->Items()->Add(s);

  TabSheet2 = new TTabSheet(this);
  TabSheet2->SetName("TabSheet2");
  TabSheet2->SetPageControl(PageControl1);
  TabSheet2->SetCaption("Timeout Settings");
  GroupBox4 = MakeGroup(this, TabSheet2, "GroupBox4", "Timeout", 6, 80);
  Label4 = MakeLabel(this, GroupBox4, "Label4", "Set connection to timeout after", 12, 26, 156);
  Time = MakeControl<TEdit>(this, GroupBox4, "Time", 170, 22, 54, 21);
  Time->SetReadOnly(true);
  Time->SetText("30");
  Time->SetColor(clWindow);
  UpDown1 = MakeUpDown(this, GroupBox4, "UpDown1", Time, 30);
  Label5 = MakeLabel(this, GroupBox4, "Label5", "seconds with no activity.", 230, 26, 130);
  CheckTimeout = MakeControl<TCheckBox>(this, GroupBox4, "CheckTimeout", 12, 54, 200, 17);
  CheckTimeout->SetCaption("Disable Timeout setting");
  CheckTimeout->OnClick = {this, &TFormPref::CheckTimeoutClick};
  GroupBox5 = MakeGroup(this, TabSheet2, "GroupBox5", "Keep Alive", 94, 80);
  CheckAlive = MakeControl<TCheckBox>(this, GroupBox5, "CheckAlive", 12, 20, 200, 17);
  CheckAlive->SetCaption("Keep Connection Alive");
  CheckAlive->SetEnabled(false);
  Label6 = MakeLabel(this, GroupBox5, "Label6", "Send NOOP every", 12, 50, 90);
  Noop = MakeControl<TEdit>(this, GroupBox5, "Noop", 104, 46, 54, 21);
  Noop->SetReadOnly(true);
  Noop->SetText("120");
  Noop->SetEnabled(false);
  Noop->SetColor(clBtnFace);
  UpDown2 = MakeUpDown(this, GroupBox5, "UpDown2", Noop, 120);
  UpDown2->SetEnabled(false);
  Label7 = MakeLabel(this, GroupBox5, "Label7", "seconds when there is  no activity.", 164, 50, 200);

  ButHelp = MakeButton(this, this, "ButHelp", "&Help", 8);
  ButHelp->OnClick = {this, &TFormPref::ButHelpClick};
  Button1 = MakeButton(this, this, "Button1", "&OK", 253);
  Button1->SetDefault(true);
  Button1->OnClick = {this, &TFormPref::Button1Click};
  Button2 = MakeButton(this, this, "Button2", "&Cancel", 337);
  Button2->SetCancel(true);
  Button2->OnClick = {this, &TFormPref::Button2Click};
  PageControl1->SetActivePage(TabSheet1);
  EndLoading();

  LoadSettings();
}

void TFormPref::LoadSettings() {
  if (TReg::ReadBool(SettingsSection, "Lanline")) LAN->SetChecked(true);
  CheckTimeout->SetChecked(TReg::ReadBool(SettingsSection, "TimeOutDisable"));
  CheckAlive->SetChecked(TReg::ReadBool(SettingsSection, "KeepAlive"));
  CheckTimeoutClick(this);
  if (CheckTimeout->Checked()) {
    UpDown2->SetPosition(TReg::ReadInteger(SettingsSection, "Noop"));
  } else {
    int timeOut = TReg::ReadInteger(SettingsSection, "TimeOut");
    UpDown1->SetPosition(timeOut != 0 ? timeOut : 30);
  }
  int bufSize = TReg::ReadInteger(SettingsSection, "BufSize");
  EditBuffer->SetText(bufSize == 0 ? String("1514") : IntToStr(bufSize));
  ComboShare->SetItemIndex(TReg::ReadInteger(SettingsSection, "ShareAccess"));
}

void TFormPref::SaveSettings() {
  int bufSize = StrToInt(EditBuffer->Text());
  TReg::WriteBool(SettingsSection, "Lanline", LAN->Checked());
  TReg::WriteBool(SettingsSection, "TimeOutDisable", CheckTimeout->Checked());
  TReg::WriteBool(SettingsSection, "KeepAlive", CheckAlive->Checked());
  TReg::WriteInteger(SettingsSection, "Noop", UpDown2->Position());
  TReg::WriteInteger(SettingsSection, "TimeOut", UpDown1->Position());
  TReg::WriteInteger(SettingsSection, "BufSize", bufSize);
  TReg::WriteInteger(SettingsSection, "ShareAccess", ComboShare->ItemIndex());
}

void TFormPref::Button1Click(TObject*) {
  SaveSettings();
  Close();
}

void TFormPref::Button2Click(TObject*) { Close(); }

void TFormPref::ButHelpClick(TObject*) {
  Application->HelpFile = Frame().HelpPath();
  Application->HelpJump("IDH_app_pref");
}

void TFormPref::CheckTimeoutClick(TObject*) {
  bool disabled = CheckTimeout->Checked();
  UpDown1->SetEnabled(!disabled);
  Time->SetEnabled(!disabled);
  Time->SetColor(disabled ? clBtnFace : clWindow);
  Noop->SetEnabled(disabled);
  CheckAlive->SetEnabled(disabled);
  UpDown2->SetEnabled(disabled);
  Noop->SetColor(disabled ? clWindow : clBtnFace);
}

void TFormPref::EditBufferKeyPress(TObject*, char& key) { DigitFilterKeyPress(key); }

void TFormPref::FormClose(TObject*, TCloseAction&) { SetModalResult(mrCancel); }
