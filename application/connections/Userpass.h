// The window that asks for another user name and password when the server
// refused the login.
#pragma once

#include "classlib/Stdctrls.h"

class TFormUserPass : public TForm {
 public:
  explicit TFormUserPass(TComponent* owner);

  TLabel* Label1;
  TLabel* Label2;
  TLabel* Label3;
  TEdit* EditUser;
  TEdit* EditPass;
  TButton* Button1;
  TButton* Button2;

  // What OK took; empty until then.
  String UserName;
  String Password;
  // True until OK took both.
  bool Cancelled = true;

  // OK: both fields must hold text; an empty one is told and takes the focus.
  void Button1Click(TObject* sender);
  void Button2Click(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);
};
