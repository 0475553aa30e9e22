// The login window: the user picks the profile to connect with, sees its
// values (the password masked), and may create a profile with the wizard
// or edit one in the profile manager first.
#pragma once

#include "Newaccount.h"
#include "classlib/Extctrls.h"
#include "classlib/Listview.h"

class TLogForm : public TForm {
 public:
  explicit TLogForm(TComponent* owner, const String& profilesPath = ProfileFileName());

  TGroupBox* GroupBox1;
  TLabel* Label1;
  TPanel* Name;
  TLabel* Label2;
  TPanel* Host;
  TLabel* Label3;
  TPanel* User;
  TLabel* Label4;
  TPanel* Password;
  TLabel* Label5;
  TPanel* ServerType;
  TLabel* Label6;
  TPanel* Anonymous;
  TLabel* Label7;
  TPanel* Proxy;
  TLabel* Label8;
  TPanel* ProxyName;
  TLabel* Label9;
  TPanel* Port;
  TLabel* Label10;
  TPanel* Passive;
  TListView* List_Prof;
  TPopupMenu* PopupMenu1;
  TMenuItem* EditProfile1;
  TButton* Button1;
  TButton* Button2;
  TButton* Button3;
  TButton* Button4;
  TButton* ButHelp;

  String ProfilesPath;
  TOwned<TMemIniFile> ProfileIni;
  // True until a profile is chosen.
  bool Cancelled = true;
  // The chosen profile's section name.
  String ProfileName;

  // Reads the profile file again and lists its names.
  void LoadProfileList();
  // The selected profile into the panels; with none selected, Edit is
  // disabled and the panels keep what they show.
  void ShowProfile();
  // One "*" for every character.
  static String MaskPassword(const String& text);
  // Opens the profile manager on the selected profile.
  void EditProfile();

  void Button1Click(TObject* sender);
  void Button2Click(TObject* sender);
  void Button3Click(TObject* sender);
  void ButHelpClick(TObject* sender);
  void EditProfileClick(TObject* sender);
  void List_ProfClick(TObject* sender);
  void List_ProfDblClick(TObject* sender);
  void List_ProfSelectItem(TObject* sender, TListItem* item, bool selected);
  void FormClose(TObject* sender, TCloseAction& action);

 private:
  void ClearPanels();
  void Choose();
};
