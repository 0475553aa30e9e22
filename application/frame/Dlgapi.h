// The one save-as dialog of the application. Each caller sets the owner,
// the filter and the initial folder, runs it, and on true writes its file
// to FileName.
#pragma once

#include "classlib/Forms.h"

class TDlgs : public TComponent {
 public:
  // The owner starts as the main form's window (none without a main form).
  explicit TDlgs(TComponent* owner);
  ~TDlgs() override;

  // The standard save dialog with the members below; true when a file was
  // chosen, with its path in FileName. A cancel or a failure (a name that
  // does not fit the dialog's 260 characters, for one) answers false and
  // leaves FileName as it was.
  bool ExecuteSaveDialog();

  HWND OwnerHandle = nullptr;
  String DialogTitle;
  String InitialDir;
  // Pairs of a description and a pattern, each ended by a NUL, the whole by
  // a second NUL ("Log Files (*.log)\0*.log\0"); the caller's text, never
  // copied or freed here.
  const char* Filter = nullptr;
  // The path chosen in the last successful dialog; not shown as a preset.
  String FileName;
  String DefaultExt;
};

extern TDlgs* Dlgs;
