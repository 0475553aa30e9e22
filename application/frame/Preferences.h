// The preferences window: the connection type, the time-out and keep-alive,
// the socket buffer size and the file sharing during transfers, kept in
// the section Settings of the settings store.
#pragma once

#include "classlib/Comctrls.h"
#include "classlib/Stdctrls.h"

class TFormPref : public TForm {
 public:
  explicit TFormPref(TComponent* owner);

  TPageControl* PageControl1;
  TTabSheet* TabSheet1;
  TGroupBox* GroupBox1;
  TRadioButton* Phone;
  TRadioButton* LAN;
  TGroupBox* GroupBox2;
  TLabel* Label1;
  TEdit* EditBuffer;
  TLabel* Label2;
  TGroupBox* GroupBox3;
  TLabel* Label3;
  TComboBox* ComboShare;
  TTabSheet* TabSheet2;
  TGroupBox* GroupBox4;
  TLabel* Label4;
  TEdit* Time;
  TUpDown* UpDown1;
  TLabel* Label5;
  TCheckBox* CheckTimeout;
  TGroupBox* GroupBox5;
  TCheckBox* CheckAlive;
  TLabel* Label6;
  TEdit* Noop;
  TUpDown* UpDown2;
  TLabel* Label7;
  TButton* ButHelp;
  TButton* Button1;
  TButton* Button2;

  void LoadSettings();
  // Writes the seven values; the buffer text is converted first, so a text
  // that is no number writes nothing.
  void SaveSettings();

  void Button1Click(TObject* sender);
  void Button2Click(TObject* sender);
  void ButHelpClick(TObject* sender);
  // Time-out disabled: the keep-alive controls are editable, else the
  // time-out controls.
  void CheckTimeoutClick(TObject* sender);
  void EditBufferKeyPress(TObject* sender, char& key);
  void FormClose(TObject* sender, TCloseAction& action);
};
