// The dialog that asks for the name of a toolbar or a category.
#pragma once

#include "bars/Dxbar.h"
#include "classlib/Stdctrls.h"

class TdxBarNameEd : public TForm {
 public:
  explicit TdxBarNameEd(TComponent* owner);

  TLabel* LName;
  TEdit* EName;
  TButton* BOK;
  TButton* BCancel;

  // 0: a toolbar; another value: a category.
  int NameKind = 0;
  // The toolbar being renamed (none for a new one).
  TdxBar* Bar = nullptr;
  TdxBarManager* BarManager = nullptr;

 private:
  void FormCloseQuery(TObject* sender, bool& canClose);
  void ENameChange(TObject* sender);
};

// Asks for a name. kind 0: a toolbar (mode 0 new, 1 rename); else a
// category (mode 0 add, 1 insert, 2 rename). True when confirmed, with the
// text in name. A toolbar name another bar than bar has is refused.
bool dxBarEditName(String& name, int kind, int mode, TdxBarManager* manager, TdxBar* bar);
