// The permission editor: nine boxes (read, write, execute for owner, group
// and others), the mode they give as digits, and whether the command goes
// as a quoted one. The caller gives the entry's permission text, shows the
// window modally and, unless it was cancelled, sends the mode.
#pragma once

#include <array>

#include "application/frame/Permissioneditor.h"
#include "classlib/Stdctrls.h"

// The boxes in order: owner r, w, x; group r, w, x; others r, w, x.
using TPermissionBoxes = std::array<bool, 9>;

// The mode of the boxes, leading zero digits left out: 644, 604, 44, 4, "".
String PermissionModeText(const TPermissionBoxes& boxes);
// The boxes of a listing's permission text: 10 characters ("drwxr-xr-x"),
// or 11 whose last is "+", "@" or "." (an access list or a security
// context). r and w tick their boxes in either case; x, s and t tick
// execute, S and T (the bit without execute) do not. False for any other
// text: the boxes stay as they are.
bool PermissionBoxesOf(const String& text, TPermissionBoxes& boxes);

class TFormMod : public TForm {
 public:
  explicit TFormMod(TComponent* owner);
  // The editor shown modally over permissions, owned by the application
  // and freed (the program's permission editor).
  static bool Edit(const String& permissions, TPermissionChoice& choice);

  TLabel* Label1;
  TGroupBox* GroupBox1;
  TCheckBox* CheckBox1;
  TCheckBox* CheckBox2;
  TCheckBox* CheckBox3;
  TGroupBox* GroupBox2;
  TCheckBox* CheckBox4;
  TCheckBox* CheckBox5;
  TCheckBox* CheckBox6;
  TGroupBox* GroupBox3;
  TCheckBox* CheckBox7;
  TCheckBox* CheckBox8;
  TCheckBox* CheckBox9;
  TLabel* Label2;
  TLabel* Label3;
  TCheckBox* CheckQuote;
  TButton* Button1;
  TButton* Button2;
  TButton* ButHelp;

  // The permissions to start from (set before showing).
  String Permissions;
  // Produced by OK.
  String ModeText;
  // True from the showing until OK: every other way out cancels.
  bool Cancelled = true;
  bool SendAsQuote = false;

  TPermissionBoxes Boxes() const;
  void SetBoxes(const TPermissionBoxes& boxes);

  void FormShow(TObject* sender);
  void Button1Click(TObject* sender);
  void Button2Click(TObject* sender);
  void ButHelpClick(TObject* sender);
  void CheckBoxClick(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);

 private:
  std::array<TCheckBox*, 9> boxes_{};
};
