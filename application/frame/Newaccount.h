// Connection profiles: the file accounts.dat in the program's folder, one
// INI section per profile, named after the profile. Every window that
// reads or writes profiles holds its own TMemIniFile copy of the file.
// The new-profile wizard lives here too.
#pragma once

#include "classlib/Comctrls.h"
#include "classlib/Inifiles.h"
#include "classlib/Stdctrls.h"

struct TProfile {
  String Name;  // the section name
  bool Proxy = false;
  bool Passive = false;
  String ProxyName;
  String HostName;
  String UserName;
  String PassWord;  // kept in plain text, as existing files have it
  String StartDir;  // empty: none
  int Port = 21;
  bool Anonymous = false;
  // The listing format 0..5; the profile manager also stores 6 (its blank
  // entry) and -1 (no selection).
  int ServerType = 0;
};

// Which window writes a profile; it decides the keys and their order.
enum TProfileWriter { pwProfileManager, pwWizard };

// The program's folder + "accounts.dat".
String ProfileFileName();

// The profile names in file order.
void ReadProfileNames(const TMemIniFile* ini, TStrings* names);
// A profile of the copy; a key that is absent, or not a number where a
// number belongs, gives the default of TProfile.
TProfile ReadProfile(const TMemIniFile* ini, const String& name);
// Sets the profile's keys in the copy. The profile manager writes Proxy,
// Passive, ProxyName, HostName, UserName, PassWord, StartDir, Port,
// Anonymous, ServerType; the wizard the same without StartDir and with Port
// 21. Keys of an existing section keep their place, other keys stay.
void WriteProfile(TMemIniFile* ini, const TProfile& profile, TProfileWriter writer);
// WriteProfile, then the whole copy to the file.
void SaveProfile(TMemIniFile* ini, const TProfile& profile, TProfileWriter writer);
// Erases the profile's section from the copy, then writes the copy to the
// file; the other sections keep their order.
void DeleteProfile(TMemIniFile* ini, const String& name);

// The password the anonymous boxes of the wizard and the profile manager
// put in: a placeholder e-mail address.
extern const char AnonymousPassword[];
// The server types in the order of their index.
extern const char* const ServerTypeNames[6];

// The wizard that creates one profile, page by page: name; host and server
// type; user and password; proxy and passive mode. The fields are checked
// when the user finishes; the profile is written with port 21 and no start
// directory, and the main window is told.
class TFormNewAccount : public TForm {
 public:
  explicit TFormNewAccount(TComponent* owner, const String& profilesPath = ProfileFileName());

  TPageControl* Page;
  TTabSheet* Tab1;
  TLabel* Label1;
  TLabel* Label2;
  TLabel* Label3;
  TEdit* Edit_Name;
  TTabSheet* Tab2;
  TLabel* Label4;
  TLabel* Label5;
  TEdit* Edit_Host;
  TLabel* Label6;
  TComboBox* ComboServer;
  TLabel* Label7;
  TTabSheet* TabSheet1;
  TLabel* Label8;
  TLabel* Label9;
  TEdit* Edit_User;
  TLabel* Label10;
  TEdit* Edit_Pass;
  TCheckBox* CheckAnon;
  TLabel* Label11;
  TTabSheet* TabSheet2;
  TLabel* Label12;
  TCheckBox* CheckProxy;
  TLabel* Label13;
  TEdit* Edit_Proxy;
  TCheckBox* CheckPassive;
  TButton* ButHelp;
  TButton* Button1;
  TButton* Button2;
  TButton* Button3;

  String ProfilesPath;
  TOwned<TMemIniFile> ProfileIni;
  // False once Finish has written the profile.
  bool WizardCancelled = true;

  void NextPage();
  void PreviousPage();
  // The buttons and the focus for the active page.
  void PageChange(TObject* sender);
  void FinishProfile();

  void Button1Click(TObject* sender);
  void Button2Click(TObject* sender);
  void Button3Click(TObject* sender);
  void ButHelpClick(TObject* sender);
  void CheckAnonClick(TObject* sender);
  void CheckProxyClick(TObject* sender);
  void FormShow(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);

 private:
  // Moves the focus while the window is on the screen.
  void FocusField(TWinControl* control);
};
