// The directory information window: the raw text of a directory listing as
// the server sent it, which can be saved as a text file.
#pragma once

#include "classlib/Stdctrls.h"

class TFrameServices;

class TFormDir : public TForm {
 public:
  // services gives the save dialog and the help file (may be nullptr:
  // Save As then does nothing).
  TFormDir(TComponent* owner, TFrameServices* services);

  TMemo* Memo1;
  TButton* Button1;
  TButton* Button2;
  TButton* Button3;

  void Button1Click(TObject* sender);
  void Button2Click(TObject* sender);
  void Button3Click(TObject* sender);

 private:
  TFrameServices* services_;
};
