// The permission editor is made by the connections side; the program's
// start installs it, and the main window's permission actions ask it.
#pragma once

#include "classlib/Sysutils.h"

// What the editor gave on OK.
struct TPermissionChoice {
  String ModeText;
  bool SendAsQuote = false;
};

// Shows the editor modally, starting from permissions (empty: its
// defaults); false when it was closed any other way than OK.
using TPermissionEditor = bool (*)(const String& permissions, TPermissionChoice& choice);
// The editor in use (nullptr: none); installing one returns the one it
// replaces.
TPermissionEditor PermissionEditor();
TPermissionEditor SetPermissionEditor(TPermissionEditor editor);
