#include "Newaccount.h"

#include "Frameservices.h"
#include "classlib/Forms.h"

const char AnonymousPassword[] = "guest@example.com";
const char* const ServerTypeNames[6] = {"Standard Unix Type", "Apple Unix Type", "DOS Type",
                                        "MVS Multi-Net Type", "AS400 Type",      "Other (Unknown Type)"};

String ProfileFileName() { return ExtractFilePath(Application->ExeName()) + "accounts.dat"; }

void ReadProfileNames(const TMemIniFile* ini, TStrings* names) { ini->ReadSections(names); }

TProfile ReadProfile(const TMemIniFile* ini, const String& name) {
  TProfile p;
  p.Name = name;
  p.Proxy = ini->ReadBool(name, "Proxy", p.Proxy);
  p.Passive = ini->ReadBool(name, "Passive", p.Passive);
  p.ProxyName = ini->ReadString(name, "ProxyName", p.ProxyName);
  p.HostName = ini->ReadString(name, "HostName", p.HostName);
  p.UserName = ini->ReadString(name, "UserName", p.UserName);
  p.PassWord = ini->ReadString(name, "PassWord", p.PassWord);
  p.StartDir = ini->ReadString(name, "StartDir", p.StartDir);
  p.Port = ini->ReadInteger(name, "Port", p.Port);
  p.Anonymous = ini->ReadBool(name, "Anonymous", p.Anonymous);
  p.ServerType = ini->ReadInteger(name, "ServerType", p.ServerType);
  return p;
}

void WriteProfile(TMemIniFile* ini, const TProfile& profile, TProfileWriter writer) {
  const String& s = profile.Name;
  ini->WriteBool(s, "Proxy", profile.Proxy);
  ini->WriteBool(s, "Passive", profile.Passive);
  ini->WriteString(s, "ProxyName", profile.ProxyName);
  ini->WriteString(s, "HostName", profile.HostName);
  ini->WriteString(s, "UserName", profile.UserName);
  ini->WriteString(s, "PassWord", profile.PassWord);
  if (writer == pwProfileManager) ini->WriteString(s, "StartDir", profile.StartDir);
  ini->WriteInteger(s, "Port", writer == pwWizard ? 21 : profile.Port);
  ini->WriteBool(s, "Anonymous", profile.Anonymous);
  ini->WriteInteger(s, "ServerType", profile.ServerType);
}

void SaveProfile(TMemIniFile* ini, const TProfile& profile, TProfileWriter writer) {
  WriteProfile(ini, profile, writer);
  ini->UpdateFile();
}

void DeleteProfile(TMemIniFile* ini, const String& name) {
  ini->EraseSection(name);
  ini->UpdateFile();
}

// ---------------------------------------------------------------- the wizard

namespace {

TLabel* MakeText(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int top,
                 int height) {
  TLabel* l = MakeControl<TLabel>(owner, parent, name, 12, top, 370, height);
  l->SetAutoSize(false);
  l->SetWordWrap(true);
  l->SetCaption(caption);
  return l;
}

TLabel* MakeLabel(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int top,
                  TWinControl* focus) {
  TLabel* l = MakeControl<TLabel>(owner, parent, name, 12, top + 4, 84, 13);
  l->SetAutoSize(false);
  l->SetCaption(caption);
  l->SetFocusControl(focus);
  return l;
}

TTabSheet* MakePage(TComponent* owner, TPageControl* page, const char* name) {
  auto* sheet = new TTabSheet(owner);
  sheet->SetName(name);
  sheet->SetPageControl(page);
  // The pages change only through the buttons.
  sheet->SetTabVisible(false);
  return sheet;
}

TButton* MakeButton(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int left) {
  TButton* b = MakeControl<TButton>(owner, parent, name, left, 258, 75, 25);
  b->SetCaption(caption);
  return b;
}

const char kContinue[] = "Please click Next to continue or Back to make changes.";

}  // namespace

TFormNewAccount::TFormNewAccount(TComponent* owner, const String& profilesPath) : TForm(owner) {
  SetName("FormNewAccount");
  SetCaption("Create a New Profile");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu, biHelp});
  SetPosition(poMainFormCenter);
  SetClientWidth(420);
  SetClientHeight(292);
  OnShow = {this, &TFormNewAccount::FormShow};
  OnClose = {this, &TFormNewAccount::FormClose};

  Page = MakeControl<TPageControl>(this, this, "Page", 8, 8, 404, 238);
  Page->OnChange = {this, &TFormNewAccount::PageChange};

  Tab1 = MakePage(this, Page, "Tab1");
  Label1 = MakeText(this, Tab1, "Label1",
                    "This Wizard will help you set up a new profile. A profile is a container for information "
                    "about how to connect to a particular server. You can have as many different profiles as you "
                    "like. Please enter a friendly name for this profile.",
                    12, 70);
  Edit_Name = new TEdit(this);
  Label2 = MakeLabel(this, Tab1, "Label2", "Profile Name:", 96, Edit_Name);
  Edit_Name->SetName("Edit_Name");
  Edit_Name->SetParent(Tab1);
  Edit_Name->SetBounds(100, 96, 270, 21);
  Label3 = MakeText(this, Tab1, "Label3", "Please click Next to continue.", 196, 16);

  Tab2 = MakePage(this, Page, "Tab2");
  Label4 = MakeText(this, Tab2, "Label4",
                    "Please enter the host address and choose the type of server the host is. If you are not sure "
                    "of the server type, choose other. You can make changes to profiles using the Profile Manager.",
                    12, 56);
  Edit_Host = new TEdit(this);
  Label5 = MakeLabel(this, Tab2, "Label5", "Host Address:", 96, Edit_Host);
  Edit_Host->SetName("Edit_Host");
  Edit_Host->SetParent(Tab2);
  Edit_Host->SetBounds(100, 96, 270, 21);
  ComboServer = new TComboBox(this);
  Label6 = MakeLabel(this, Tab2, "Label6", "Server Type:", 128, ComboServer);
  ComboServer->SetName("ComboServer");
  ComboServer->SetParent(Tab2);
  ComboServer->SetBounds(100, 128, 170, 21);
  ComboServer->SetStyle(csDropDownList);
  for (const char* s : ServerTypeNames) ComboServer->Items()->Add(s);
  Label7 = MakeText(this, Tab2, "Label7", kContinue, 196, 16);

  TabSheet1 = MakePage(this, Page, "TabSheet1");
  Label8 = MakeText(this, TabSheet1, "Label8",
                    "Please enter your user name and password. If you want to logon to a server anonymously, check "
                    "the anonymous box and use your email address as the password.",
                    12, 56);
  Edit_User = new TEdit(this);
  Label9 = MakeLabel(this, TabSheet1, "Label9", "User Name:", 96, Edit_User);
  Edit_User->SetName("Edit_User");
  Edit_User->SetParent(TabSheet1);
  Edit_User->SetBounds(100, 96, 270, 21);
  Edit_Pass = new TEdit(this);
  Label10 = MakeLabel(this, TabSheet1, "Label10", "Password:", 128, Edit_Pass);
  Edit_Pass->SetName("Edit_Pass");
  Edit_Pass->SetParent(TabSheet1);
  Edit_Pass->SetBounds(100, 128, 270, 21);
  Edit_Pass->SetPasswordChar('*');
  CheckAnon = MakeControl<TCheckBox>(this, TabSheet1, "CheckAnon", 100, 160, 150, 17);
  CheckAnon->SetCaption("Anonymous");
  CheckAnon->OnClick = {this, &TFormNewAccount::CheckAnonClick};
  Label11 = MakeText(this, TabSheet1, "Label11", kContinue, 196, 16);

  TabSheet2 = MakePage(this, Page, "TabSheet2");
  Label12 = MakeText(this, TabSheet2, "Label12",
                     "Check the \"Use Passive Mode\" box if you would like this account to be passive. If the server "
                     "requires a proxy, please check the proxy box and enter the name for the proxy. If there is no "
                     "proxy, leave blank. Click Finish to create the profile.",
                     12, 70);
  CheckProxy = MakeControl<TCheckBox>(this, TabSheet2, "CheckProxy", 100, 98, 150, 17);
  CheckProxy->SetCaption("Uses Proxy");
  CheckProxy->OnClick = {this, &TFormNewAccount::CheckProxyClick};
  Edit_Proxy = new TEdit(this);
  Label13 = MakeLabel(this, TabSheet2, "Label13", "Proxy Name:", 124, Edit_Proxy);
  Edit_Proxy->SetName("Edit_Proxy");
  Edit_Proxy->SetParent(TabSheet2);
  Edit_Proxy->SetBounds(100, 124, 270, 21);
  Edit_Proxy->SetPasswordChar('*');
  Edit_Proxy->SetEnabled(false);
  Edit_Proxy->SetColor(clBtnFace);
  CheckPassive = MakeControl<TCheckBox>(this, TabSheet2, "CheckPassive", 100, 158, 150, 17);
  CheckPassive->SetCaption("Use Passive Mode");

  ButHelp = MakeButton(this, this, "ButHelp", "&Help", 8);
  ButHelp->OnClick = {this, &TFormNewAccount::ButHelpClick};
  Button1 = MakeButton(this, this, "Button1", "< Back", 170);
  Button1->SetEnabled(false);
  Button1->OnClick = {this, &TFormNewAccount::Button1Click};
  Button2 = MakeButton(this, this, "Button2", "Next >", 251);
  Button2->SetDefault(true);
  Button2->OnClick = {this, &TFormNewAccount::Button2Click};
  Button3 = MakeButton(this, this, "Button3", "Cancel", 337);
  Button3->SetCancel(true);
  Button3->OnClick = {this, &TFormNewAccount::Button3Click};
  Page->SetActivePage(Tab1);
  EndLoading();

  ProfilesPath = profilesPath;
  ProfileIni.reset(new TMemIniFile(ProfilesPath));
  WizardCancelled = true;
  ComboServer->SetItemIndex(0);
}

void TFormNewAccount::FocusField(TWinControl* control) {
  if (Showing()) FocusControl(control);
}

void TFormNewAccount::NextPage() {
  int index = Page->ActivePageIndex();
  if (index >= 3) {
    FinishProfile();
    return;
  }
  Page->SetActivePageIndex(index + 1);
  PageChange(this);
}

void TFormNewAccount::PreviousPage() {
  int index = Page->ActivePageIndex();
  if (index < 1) return;
  Page->SetActivePageIndex(index - 1);
  PageChange(this);
}

void TFormNewAccount::PageChange(TObject*) {
  int index = Page->ActivePageIndex();
  Button1->SetEnabled(index > 0);
  Button2->SetCaption(index >= 3 ? "Finish" : "Next >");
  switch (index) {
    case 0:
      FocusField(Edit_Name);
      break;
    case 1:
      FocusField(Edit_Host);
      break;
    case 2:
      FocusField(Edit_User);
      break;
    default:
      FocusField(CheckProxy->Checked() ? static_cast<TWinControl*>(Edit_Proxy) : CheckProxy);
      break;
  }
}

void TFormNewAccount::FinishProfile() {
  struct TRequired {
    bool missing;
    const char* message;
    TTabSheet* page;
    TEdit* field;
  };
  // A name of blanks only reads back as an empty section name: no name.
  const TRequired required[] = {
      {Trim(Edit_Name->Text()).empty(), "You must enter a name for this profile", Tab1, Edit_Name},
      {Edit_Host->Text().empty(), "You must enter a host address for this profile", Tab2, Edit_Host},
      {Edit_User->Text().empty(), "You must enter a user name for this profile", TabSheet1, Edit_User},
      {Edit_Pass->Text().empty(), "You must enter a password for this profile", TabSheet1, Edit_Pass},
      {CheckProxy->Checked() && Edit_Proxy->Text().empty(), "You must enter a proxy name for this profile",
       TabSheet2, Edit_Proxy},
  };
  for (const TRequired& r : required) {
    if (!r.missing) continue;
    Frame().InfoBox(r.message, "Missing Field");
    Page->SetActivePage(r.page);
    PageChange(this);
    FocusField(r.field);
    return;
  }

  TProfile p;
  p.Name = Edit_Name->Text();
  if (ProfileIni->SectionExists(p.Name) &&
      !Frame().AskYesNo(Format("A profile named \"%s\" already exists. Do you want to overwrite it?", Trim(p.Name)),
                        "Profile Exists")) {
    Page->SetActivePage(Tab1);
    PageChange(this);
    return;
  }
  p.Proxy = CheckProxy->Checked();
  p.Passive = CheckPassive->Checked();
  p.ProxyName = Edit_Proxy->Text();
  p.HostName = Edit_Host->Text();
  p.UserName = Edit_User->Text();
  p.PassWord = Edit_Pass->Text();
  p.Anonymous = CheckAnon->Checked();
  p.ServerType = ComboServer->ItemIndex();
  SaveProfile(ProfileIni.get(), p, pwWizard);
  WizardCancelled = false;
  Frame().RefreshProfileList();
  Close();
}

void TFormNewAccount::Button1Click(TObject*) { PreviousPage(); }

void TFormNewAccount::Button2Click(TObject*) { NextPage(); }

void TFormNewAccount::Button3Click(TObject*) {
  WizardCancelled = true;
  Close();
}

void TFormNewAccount::ButHelpClick(TObject*) {
  Application->HelpFile = Frame().HelpPath();
  Application->HelpJump("IDH_profilewiz");
}

void TFormNewAccount::CheckAnonClick(TObject*) {
  if (CheckAnon->Checked()) {
    Edit_Pass->SetPasswordChar(0);
    Edit_User->SetText("anonymous");
    Edit_Pass->SetText(AnonymousPassword);
  } else {
    Edit_Pass->SetPasswordChar('*');
    Edit_Pass->SetText("");
  }
  FocusField(Edit_Pass);
}

void TFormNewAccount::CheckProxyClick(TObject*) {
  bool on = CheckProxy->Checked();
  Edit_Proxy->SetEnabled(on);
  Edit_Proxy->SetColor(on ? clWindow : clBtnFace);
}

void TFormNewAccount::FormShow(TObject*) {
  // The focus goes to the name field once the window is up.
  SetActiveControl(Edit_Name);
}

void TFormNewAccount::FormClose(TObject*, TCloseAction&) { SetModalResult(mrCancel); }
