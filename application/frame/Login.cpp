#include "Login.h"

#include "Frameservices.h"
#include "Profilemgr.h"

namespace {

// A caption and the panel that shows the value, on one row of the group.
TPanel* MakeValue(TLogForm* form, TLabel*& label, const char* labelName, const char* caption, const char* name,
                  int row) {
  int top = 20 + row * 26;
  label = MakeControl<TLabel>(form, form->GroupBox1, labelName, 10, top + 4, 78, 13);
  label->SetAutoSize(false);
  label->SetCaption(caption);
  TPanel* panel = MakeControl<TPanel>(form, form->GroupBox1, name, 92, top, 140, 21);
  panel->SetBevelOuter(bvLowered);
  panel->SetAlignment(taLeftJustify);
  panel->SetCaption("");
  return panel;
}

TButton* MakeButton(TLogForm* form, const char* name, const char* caption, int left, int width) {
  TButton* b = MakeControl<TButton>(form, form, name, left, 304, width, 25);
  b->SetCaption(caption);
  return b;
}

String BoolText(bool value) { return value ? "True" : "False"; }

}  // namespace

TLogForm::TLogForm(TComponent* owner, const String& profilesPath) : TForm(owner) {
  SetName("LogForm");
  SetCaption("Login");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu, biHelp});
  SetPosition(poScreenCenter);
  SetClientWidth(417);
  SetClientHeight(337);
  OnClose = {this, &TLogForm::FormClose};

  PopupMenu1 = new TPopupMenu(this);
  PopupMenu1->SetName("PopupMenu1");
  EditProfile1 = new TMenuItem(this);
  EditProfile1->SetName("EditProfile1");
  EditProfile1->SetCaption("Edit Profile");
  EditProfile1->SetEnabled(false);
  EditProfile1->OnClick = {this, &TLogForm::EditProfileClick};
  PopupMenu1->Items()->Add(EditProfile1);

  List_Prof = MakeControl<TListView>(this, this, "List_Prof", 8, 8, 150, 288);
  List_Prof->SetViewStyle(vsList);
  List_Prof->SetReadOnly(true);
  List_Prof->SetRowSelect(true);
  List_Prof->SetHideSelection(false);
  List_Prof->OnCompare = &CompareProfileNames;
  List_Prof->SetSortType(stText);
  if (TFrameServices* f = FrameServices()) List_Prof->SetSmallImages(f->SmallImages());
  List_Prof->SetPopupMenu(PopupMenu1);
  List_Prof->OnClick = {this, &TLogForm::List_ProfClick};
  List_Prof->OnDblClick = {this, &TLogForm::List_ProfDblClick};
  List_Prof->OnSelectItem = {this, &TLogForm::List_ProfSelectItem};

  GroupBox1 = MakeControl<TGroupBox>(this, this, "GroupBox1", 166, 4, 243, 292);
  GroupBox1->SetCaption("Choose Profile");
  Name = MakeValue(this, Label1, "Label1", "Profile :", "Name", 0);
  Host = MakeValue(this, Label2, "Label2", "Host :", "Host", 1);
  User = MakeValue(this, Label3, "Label3", "Username :", "User", 2);
  Password = MakeValue(this, Label4, "Label4", "Password :", "Password", 3);
  ServerType = MakeValue(this, Label5, "Label5", "Server Type:", "ServerType", 4);
  Anonymous = MakeValue(this, Label6, "Label6", "Anonymous:", "Anonymous", 5);
  Proxy = MakeValue(this, Label7, "Label7", "Uses Proxy:", "Proxy", 6);
  ProxyName = MakeValue(this, Label8, "Label8", "Proxy Name:", "ProxyName", 7);
  Port = MakeValue(this, Label9, "Label9", "Port:", "Port", 8);
  Passive = MakeValue(this, Label10, "Label10", "Passive:", "Passive", 9);

  Button1 = MakeButton(this, "Button1", "C&onnect", 8, 70);
  Button1->SetDefault(true);
  Button1->OnClick = {this, &TLogForm::Button1Click};
  Button2 = MakeButton(this, "Button2", "&Cancel", 84, 70);
  Button2->SetCancel(true);
  Button2->OnClick = {this, &TLogForm::Button2Click};
  Button3 = MakeButton(this, "Button3", "&New Profile", 160, 84);
  Button3->OnClick = {this, &TLogForm::Button3Click};
  Button4 = MakeButton(this, "Button4", "&Edit Profile", 250, 84);
  Button4->SetEnabled(false);
  Button4->OnClick = {this, &TLogForm::EditProfileClick};
  ButHelp = MakeButton(this, "ButHelp", "&Help", 340, 69);
  ButHelp->OnClick = {this, &TLogForm::ButHelpClick};
  EndLoading();

  ProfileName = "";
  ProfilesPath = profilesPath;
  ProfileIni.reset(new TMemIniFile(ProfilesPath));
  Cancelled = true;
  LoadProfileList();
}

String TLogForm::MaskPassword(const String& text) { return String(text.size(), '*'); }

void TLogForm::ClearPanels() {
  for (TPanel* p : {Name, Proxy, Passive, ProxyName, Host, User, Password, Port, Anonymous, ServerType})
    p->SetCaption("");
}

void TLogForm::LoadProfileList() {
  FillProfileList(List_Prof, ProfileIni.get(), ProfilesPath);
  // A profile that is gone is not shown, so Connect cannot open it.
  if (!Name->Caption().empty() && !ProfileIni->SectionExists(Name->Caption())) ClearPanels();
  ShowProfile();
}

void TLogForm::ShowProfile() {
  TListItem* item = List_Prof->Selected();
  EditProfile1->SetEnabled(item != nullptr);
  Button4->SetEnabled(item != nullptr);
  if (!item) return;
  TProfile p = ReadProfile(ProfileIni.get(), item->Caption());
  Name->SetCaption(p.Name);
  Proxy->SetCaption(BoolText(p.Proxy));
  Passive->SetCaption(BoolText(p.Passive));
  ProxyName->SetCaption(p.ProxyName);
  Host->SetCaption(p.HostName);
  User->SetCaption(p.UserName);
  Password->SetCaption(MaskPassword(p.PassWord));
  Port->SetCaption(IntToStr(p.Port));
  Anonymous->SetCaption(BoolText(p.Anonymous));
  ServerType->SetCaption(ServerTypeNames[p.ServerType >= 0 && p.ServerType <= 5 ? p.ServerType : 0]);
}

void TLogForm::Choose() {
  ProfileName = Name->Caption();
  Cancelled = false;
  Close();
}

void TLogForm::EditProfile() {
  TOwned<TSettForm> manager(new TSettForm(this, ProfilesPath));
  TListItem* selected = List_Prof->Selected();
  int index = selected ? selected->Index() : 0;
  if (selected && index < manager->List_Prof->Items()->Count()) {
    // Selecting loads the profile into the still hidden window.
    manager->List_Prof->HandleNeeded();
    manager->List_Prof->Items()->Item(index)->SetSelected(true);
  }
  manager->ShowModal();
  if (!manager->ProfilesUnchanged) {
    LoadProfileList();
    if (index < List_Prof->Items()->Count()) {
      List_Prof->Items()->Item(index)->SetSelected(true);
      ShowProfile();
    }
  }
}

void TLogForm::Button1Click(TObject*) {
  if (Name->Caption().empty()) {
    Frame().InfoBox("You need to select an account!", "No Account");
    return;
  }
  Choose();
}

void TLogForm::Button2Click(TObject*) {
  Cancelled = true;
  ProfileName = "";
  Close();
}

void TLogForm::Button3Click(TObject*) {
  TOwned<TFormNewAccount> wizard(new TFormNewAccount(this, ProfilesPath));
  wizard->ShowModal();
  if (!wizard->WizardCancelled) LoadProfileList();
}

void TLogForm::ButHelpClick(TObject*) {
  Application->HelpFile = Frame().HelpPath();
  Application->HelpJump("IDH_login");
}

void TLogForm::EditProfileClick(TObject*) { EditProfile(); }

void TLogForm::List_ProfClick(TObject*) { ShowProfile(); }

void TLogForm::List_ProfDblClick(TObject*) {
  if (!List_Prof->Selected()) return;
  ShowProfile();
  Choose();
}

void TLogForm::List_ProfSelectItem(TObject*, TListItem*, bool) { ShowProfile(); }

void TLogForm::FormClose(TObject*, TCloseAction&) { SetModalResult(mrCancel); }
