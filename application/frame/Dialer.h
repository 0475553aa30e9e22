// The dial window: the connection manager through which the user dials a
// phonebook entry, watches the dial and hangs up. Made once, hidden between
// showings; TRasDialer does the dial-up work and writes the status and the
// button states.
#pragma once

#include "classlib/Buttons.h"
#include "classlib/Extctrls.h"
#include "classlib/Stdctrls.h"

class TFormDial : public TForm {
 public:
  explicit TFormDial(TComponent* owner);
  ~TFormDial() override;

  TButton* Dial;
  TGroupBox* GroupBox1;
  TImage* Image1;
  TLabel* Progress;
  TGroupBox* GroupBox2;
  TLabel* Label1;
  TComboBox* Account;
  TSpeedButton* Speed1;
  TSpeedButton* Speed2;
  TLabel* Label2;
  TEdit* Logon;
  TLabel* Label3;
  TEdit* Password;
  TButton* Button1;
  TButton* Button2;
  TButton* Hangup;
  TButton* Button3;

  // The entry the last connection check found connected.
  String ConnectedEntry;

  void FormShow(TObject* sender);
  void AccountChange(TObject* sender);
  void DialClick(TObject* sender);
  void HangupClick(TObject* sender);
  void Speed1Click(TObject* sender);
  void Speed2Click(TObject* sender);
  void Button1Click(TObject* sender);
  void Button2Click(TObject* sender);
  void Button3Click(TObject* sender);
  void HangupMouseMove(TObject* sender, TShiftState shift, int x, int y);

 protected:
  // The title bar keeps its help button; its close box does nothing.
  void CreateWnd() override;
  // A close from the system (Alt+F4, the system menu) acts as "&Close",
  // and does nothing while that is disabled.
  void Dispatch(TMessage& msg) override;
};

extern TFormDial* FormDial;
