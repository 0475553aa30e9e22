// The profile manager: lists, edits, saves, deletes and creates connection
// profiles through its own copy of the profile file.
#pragma once

#include "Newaccount.h"
#include <functional>

#include "classlib/Listview.h"

// The filter of number fields: digits, backspace and the edit's clipboard
// and undo keys pass; any other printable character is dropped (key := 0)
// with "You can enter digits only in this field!" / "Digits Only", other
// control characters (Enter, Escape) silently. Text pasted in is not
// filtered.
void DigitFilterKeyPress(char& key);

// Sorts a list of profile names: case-blind, by the user's locale.
void CompareProfileNames(TObject* sender, TListItem* item1, TListItem* item2, LPARAM data, int& compare);

// Re-reads the profile file at path into ini and fills a profile list with
// its sections, each showing the profile image.
void FillProfileList(TListView* list, TMemIniFile* ini, const String& path);

class TSettForm : public TForm {
 public:
  explicit TSettForm(TComponent* owner, const String& profilesPath = ProfileFileName());

  TLabel* Label1;
  TEdit* Edit_Name;
  TLabel* Label2;
  TEdit* Edit_User;
  TLabel* Label3;
  TEdit* Edit_Pass;
  TLabel* Label4;
  TEdit* Edit_Host;
  TLabel* Label5;
  TComboBox* ComboServer;
  TLabel* Label6;
  TEdit* Port_Edit;
  TLabel* Label7;
  TEdit* EditStart;
  TCheckBox* CheckPassive;
  TCheckBox* AnonBox;
  TCheckBox* CheckProxy;
  TLabel* Label8;
  TEdit* Proxy_Edit;
  TGroupBox* GroupBox1;
  TListView* List_Prof;
  TButton* Button1;
  TButton* ButSave;
  TButton* ButDel;
  TButton* ButHelp;
  TButton* ButCancel;

  String ProfilesPath;
  TOwned<TMemIniFile> ProfileIni;
  // False once the window has saved, deleted or created a profile.
  bool ProfilesUnchanged = true;

  // Reads the copy again from the file and lists its profiles.
  void LoadProfileList();
  // Empties the fields (port "21", server type 0, boxes clear).
  void ClearEntries();
  // The proxy field and the passive box follow the proxy box.
  void SetProxy();

  void ButSaveClick(TObject* sender);
  void ButDelClick(TObject* sender);
  void ButNewClick(TObject* sender);
  void ButCancelClick(TObject* sender);
  void ButHelpClick(TObject* sender);
  void AnonBoxClick(TObject* sender);
  void CheckProxyClick(TObject* sender);
  void Port_EditKeyPress(TObject* sender, char& key);
  void List_ProfClick(TObject* sender);
  void List_ProfSelectItem(TObject* sender, TListItem* item, bool selected);
  void FormClose(TObject* sender, TCloseAction& action);

 private:
  // The selected profile into the fields (nothing while none is selected).
  void LoadSelected();
  void FocusField(TWinControl* control);
  void MaskPassword(bool anonymous);
  // Writes the copy; when that fails the copy is the file's again, so no
  // later write carries what failed.
  void UpdateProfiles(const std::function<void()>& change);
  bool loadingProfile_ = false;
};
