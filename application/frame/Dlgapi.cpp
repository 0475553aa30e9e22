#include "Dlgapi.h"

#include <commdlg.h>

TDlgs* Dlgs = nullptr;

TDlgs::TDlgs(TComponent* owner) : TComponent(owner) {
  SetName("Dlgs");
  if (TCustomForm* main = Application->MainForm()) OwnerHandle = main->Handle();
}

TDlgs::~TDlgs() {
  if (Dlgs == this) Dlgs = nullptr;
}

bool TDlgs::ExecuteSaveDialog() {
  char file[MAX_PATH] = {};
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = OwnerHandle;
  ofn.lpstrFilter = Filter;
  ofn.nFilterIndex = 0;
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrInitialDir = InitialDir.c_str();
  ofn.lpstrTitle = DialogTitle.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
  ofn.lpstrDefExt = DefaultExt.c_str();
  if (!SystemDialogs()->GetSaveFileName(ofn)) return false;
  FileName = file;
  return true;
}
