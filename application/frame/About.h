// The about window: the pictures, the maker's notice, the program's
// version read from its own executable, and the maker's web address.
#pragma once

#include "classlib/Buttons.h"
#include "classlib/Extctrls.h"
#include "classlib/Stdctrls.h"

// The maker's web site.
extern const char* const MakerWebAddress;

// "A.B.C.D" in decimal: A and B the high and low words of the file
// version's most significant double word, C and D of its least.
String VersionText(DWORD versionMS, DWORD versionLS);
// The file version of fileName as VersionText; "" when the file has no
// readable version information.
String FileVersionText(const String& fileName);

class TFormAbout : public TForm {
 public:
  explicit TFormAbout(TComponent* owner);

  TPanel* Panel1;
  TImage* Image1;
  TImage* Image2;
  TLabel* LabelC;
  TLabel* Label1;
  TLabel* LabelV;
  TLabel* Label3;
  TLabel* Label4;
  TButton* Button1;

  // Opens the web address with the shell's "open" verb.
  void Label4Click(TObject* sender);
  // The address turns red under the mouse, blue again over the rest of
  // the window.
  void Label4MouseMove(TObject* sender, TShiftState shift, int x, int y);
  void FormMouseMove(TObject* sender, TShiftState shift, int x, int y);
  void Button1Click(TObject* sender);
  // Closing frees the window, unless it is shown modally: its caller
  // frees it then.
  void FormClose(TObject* sender, TCloseAction& action);
};
