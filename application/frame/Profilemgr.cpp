#include "Profilemgr.h"

#include "Frameservices.h"

void FillProfileList(TListView* list, TMemIniFile* ini, const String& path) {
  ini->Rename(path, true);
  TStringList names;
  ReadProfileNames(ini, &names);
  TListItems* items = list->Items();
  items->BeginUpdate();
  try {
    items->Clear();
    for (int i = 0; i < names.Count(); ++i) {
      TListItem* item = items->Add();
      item->SetCaption(names[i]);
      item->SetImageIndex(5);
    }
  } catch (...) {
    items->EndUpdate();
    throw;
  }
  items->EndUpdate();
}

namespace {

// A label and the field it names, on one row of the left column.
template <class T>
T* MakeField(TSettForm* form, TLabel*& label, const char* labelName, const char* caption, const char* name, int top,
             int width = 150) {
  label = MakeControl<TLabel>(form, form, labelName, 8, top + 4, 88, 13);
  label->SetAutoSize(false);
  label->SetCaption(caption);
  T* field = MakeControl<T>(form, form, name, 100, top, width, 21);
  label->SetFocusControl(field);
  return field;
}

TButton* MakeButton(TSettForm* form, const char* name, const char* caption, int left, int top) {
  TButton* b = MakeControl<TButton>(form, form, name, left, top, 96, 25);
  b->SetCaption(caption);
  return b;
}

// Set for the life of the object.
struct TFlag {
  explicit TFlag(bool& flag) : flag_(flag), old_(flag) { flag = true; }
  ~TFlag() { flag_ = old_; }
  bool& flag_;
  bool old_;
};

}  // namespace

void DigitFilterKeyPress(char& key) {
  switch (key) {
    case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': case '8': case '9':
    case 8:     // backspace
    case 0x01:  // Ctrl+A
    case 0x03:  // Ctrl+C
    case 0x16:  // Ctrl+V: pasted text is not filtered
    case 0x18:  // Ctrl+X
    case 0x1A:  // Ctrl+Z
      return;
    default:
      // Other control characters (Enter, Escape, Ctrl chords) type nothing:
      // dropped without a word.
      bool typed = static_cast<unsigned char>(key) >= 0x20;
      key = 0;
      if (typed) Frame().InfoBox("You can enter digits only in this field!", "Digits Only");
  }
}

void CompareProfileNames(TObject*, TListItem* item1, TListItem* item2, LPARAM, int& compare) {
  compare = AnsiCompareText(item1->Caption(), item2->Caption());
}

TSettForm::TSettForm(TComponent* owner, const String& profilesPath) : TForm(owner) {
  SetName("SettForm");
  SetCaption("Profile Manager");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu, biHelp});
  SetFormStyle(fsStayOnTop);
  SetPosition(poMainFormCenter);
  SetClientWidth(470);
  SetClientHeight(322);
  OnClose = {this, &TSettForm::FormClose};

  Edit_Name = MakeField<TEdit>(this, Label1, "Label1", "Profile Name:", "Edit_Name", 8);
  Edit_User = MakeField<TEdit>(this, Label2, "Label2", "User Name:", "Edit_User", 36);
  Edit_Pass = MakeField<TEdit>(this, Label3, "Label3", "Password:", "Edit_Pass", 64);
  Edit_Pass->SetPasswordChar('*');
  Edit_Host = MakeField<TEdit>(this, Label4, "Label4", "Host Address:", "Edit_Host", 92);
  ComboServer = MakeField<TComboBox>(this, Label5, "Label5", "Server Type:", "ComboServer", 120);
  ComboServer->SetStyle(csDropDownList);
  for (const char* s : ServerTypeNames) ComboServer->Items()->Add(s);
  ComboServer->Items()->Add(" ");
  Port_Edit = MakeField<TEdit>(this, Label6, "Label6", "Port:", "Port_Edit", 148, 60);
  Port_Edit->SetText("21");
  Port_Edit->SetColor(clWhite);
  Port_Edit->OnKeyPress = {this, &TSettForm::Port_EditKeyPress};
  EditStart = MakeField<TEdit>(this, Label7, "Label7", "Start Directory:", "EditStart", 176);
  CheckPassive = MakeControl<TCheckBox>(this, this, "CheckPassive", 100, 206, 150, 17);
  CheckPassive->SetCaption("Passive Mode");
  AnonBox = MakeControl<TCheckBox>(this, this, "AnonBox", 100, 228, 150, 17);
  AnonBox->SetCaption("Anonymous Login");
  AnonBox->OnClick = {this, &TSettForm::AnonBoxClick};
  CheckProxy = MakeControl<TCheckBox>(this, this, "CheckProxy", 100, 250, 150, 17);
  CheckProxy->SetCaption("Use Proxy");
  CheckProxy->OnClick = {this, &TSettForm::CheckProxyClick};
  Proxy_Edit = MakeField<TEdit>(this, Label8, "Label8", "Proxy:", "Proxy_Edit", 274);
  Proxy_Edit->SetEnabled(false);
  Proxy_Edit->SetColor(clSilver);

  GroupBox1 = MakeControl<TGroupBox>(this, this, "GroupBox1", 264, 4, 198, 212);
  GroupBox1->SetCaption("Current Profiles");
  List_Prof = MakeControl<TListView>(this, GroupBox1, "List_Prof", 8, 18, 182, 186);
  List_Prof->SetViewStyle(vsList);
  List_Prof->SetReadOnly(true);
  List_Prof->SetRowSelect(true);
  List_Prof->SetHideSelection(false);
  List_Prof->OnCompare = TLVCompareEvent(&CompareProfileNames);
  List_Prof->SetSortType(stText);
  if (TFrameServices* f = FrameServices()) List_Prof->SetSmallImages(f->SmallImages());
  List_Prof->OnClick = {this, &TSettForm::List_ProfClick};
  List_Prof->OnSelectItem = {this, &TSettForm::List_ProfSelectItem};

  Button1 = MakeButton(this, "Button1", "&New", 264, 226);
  Button1->OnClick = {this, &TSettForm::ButNewClick};
  ButSave = MakeButton(this, "ButSave", "&Save", 366, 226);
  ButSave->OnClick = {this, &TSettForm::ButSaveClick};
  ButDel = MakeButton(this, "ButDel", "&Delete", 264, 256);
  ButDel->OnClick = {this, &TSettForm::ButDelClick};
  ButHelp = MakeButton(this, "ButHelp", "&Help", 366, 256);
  ButHelp->OnClick = {this, &TSettForm::ButHelpClick};
  ButCancel = MakeButton(this, "ButCancel", "&Close", 366, 290);
  ButCancel->SetCancel(true);
  ButCancel->OnClick = {this, &TSettForm::ButCancelClick};
  EndLoading();

  ProfilesPath = profilesPath;
  ProfileIni.reset(new TMemIniFile(ProfilesPath));
  ProfilesUnchanged = true;
  LoadProfileList();
  ComboServer->SetItemIndex(0);
}

void TSettForm::FocusField(TWinControl* control) {
  if (Showing()) FocusControl(control);
}

void TSettForm::MaskPassword(bool anonymous) { Edit_Pass->SetPasswordChar(anonymous ? 0 : '*'); }

void TSettForm::LoadProfileList() {
  FillProfileList(List_Prof, ProfileIni.get(), ProfilesPath);
}

void TSettForm::LoadSelected() {
  TListItem* item = List_Prof->Selected();
  if (!item) return;
  String name = item->Caption();
  TProfile p = ReadProfile(ProfileIni.get(), name);
  Edit_Name->SetText(name);
  CheckProxy->SetChecked(p.Proxy);  // runs SetProxy when it changes; the stored Passive comes after
  CheckPassive->SetChecked(p.Passive);
  Proxy_Edit->SetText(p.ProxyName);
  Edit_Host->SetText(p.HostName);
  Edit_User->SetText(p.UserName);
  Edit_Pass->SetText(p.PassWord);
  EditStart->SetText(p.StartDir);
  Port_Edit->SetText(IntToStr(p.Port));
  {
    // The box shows the stored state; the user and password loaded stay.
    TFlag loading(loadingProfile_);
    AnonBox->SetChecked(p.Anonymous);
  }
  MaskPassword(p.Anonymous);
  ComboServer->SetItemIndex(p.ServerType);
}

void TSettForm::ClearEntries() {
  Edit_Name->SetText("");
  Edit_User->SetText("");
  Edit_Pass->SetText("");
  Edit_Host->SetText("");
  Proxy_Edit->SetText("");
  EditStart->SetText("");
  Port_Edit->SetText("21");
  CheckProxy->SetChecked(false);
  SetProxy();
  {
    TFlag loading(loadingProfile_);
    AnonBox->SetChecked(false);
  }
  MaskPassword(false);
  FocusField(Edit_Name);
  ComboServer->SetItemIndex(0);
}

void TSettForm::SetProxy() {
  bool on = CheckProxy->Checked();
  Proxy_Edit->SetEnabled(on);
  CheckPassive->SetChecked(on);
  Proxy_Edit->SetColor(on ? clWhite : clSilver);
  if (on) FocusField(Proxy_Edit);
}

void TSettForm::UpdateProfiles(const std::function<void()>& change) {
  TStringList before;
  ProfileIni->GetStrings(&before);
  try {
    change();
  } catch (...) {
    ProfileIni->SetStrings(&before);
    throw;
  }
}

void TSettForm::ButSaveClick(TObject*) {
  TProfile p;
  p.Name = Edit_Name->Text();
  p.ProxyName = Proxy_Edit->Text();
  p.HostName = Edit_Host->Text();
  p.UserName = Edit_User->Text();
  p.PassWord = Edit_Pass->Text();
  p.StartDir = EditStart->Text();
  String port = Port_Edit->Text();
  p.Proxy = CheckProxy->Checked();
  p.Passive = CheckPassive->Checked();
  p.Anonymous = AnonBox->Checked();
  p.ServerType = ComboServer->ItemIndex();
  // A name of blanks only reads back as an empty section name: no name.
  if (Trim(p.Name).empty() || p.HostName.empty() || p.UserName.empty() || p.PassWord.empty()) {
    Frame().InfoBox("You must provide a profile name, username, password and host address", "Account Error");
    return;
  }
  if (p.Proxy && (p.ProxyName.empty() || port.empty())) {
    Frame().InfoBox("You must provide a proxy name and port number to set up a Proxy account", "Proxy Account Error");
    return;
  }
  // Converted before the copy is touched: a port that fails leaves no half
  // profile behind.
  p.Port = StrToInt(port);
  UpdateProfiles([&] { SaveProfile(ProfileIni.get(), p, pwProfileManager); });
  ClearEntries();
  LoadProfileList();
  Frame().RefreshProfileList();
  ProfilesUnchanged = false;
}

void TSettForm::ButDelClick(TObject*) {
  TListItem* item = List_Prof->Selected();
  String name = item ? item->Caption() : String();
  if (name.empty()) {
    Frame().InfoBox("You need to select a profile to delete!", "Delete Error");
    return;
  }
  UpdateProfiles([&] { DeleteProfile(ProfileIni.get(), name); });
  ClearEntries();
  LoadProfileList();
  Frame().RefreshProfileList();
  ProfilesUnchanged = false;
}

void TSettForm::ButNewClick(TObject*) {
  TOwned<TFormNewAccount> wizard(new TFormNewAccount(this, ProfilesPath));
  // Owned by this window, so it shows above it.
  wizard->SetParentWindow(Handle());
  wizard->ShowModal();
  if (wizard->WizardCancelled) return;
  ClearEntries();
  LoadProfileList();
  Frame().RefreshProfileList();
  ProfilesUnchanged = false;
}

void TSettForm::ButCancelClick(TObject*) { Close(); }

void TSettForm::ButHelpClick(TObject*) {
  Application->HelpFile = Frame().HelpPath();
  Application->HelpJump("IDH_profiles");
}

void TSettForm::AnonBoxClick(TObject*) {
  if (loadingProfile_) return;
  if (AnonBox->Checked()) {
    MaskPassword(true);
    Edit_User->SetText("anonymous");
    Edit_Pass->SetText(AnonymousPassword);
  } else {
    MaskPassword(false);
    Edit_Pass->SetText("");
  }
  FocusField(Edit_Pass);
}

void TSettForm::CheckProxyClick(TObject*) { SetProxy(); }

void TSettForm::Port_EditKeyPress(TObject*, char& key) { DigitFilterKeyPress(key); }

void TSettForm::List_ProfClick(TObject*) { LoadSelected(); }

void TSettForm::List_ProfSelectItem(TObject*, TListItem*, bool) { LoadSelected(); }

void TSettForm::FormClose(TObject*, TCloseAction&) { SetModalResult(mrCancel); }
