// The server-to-server window is made by the connections side; the
// program's start installs its maker, and the main window's action asks it.
#pragma once

#include "classlib/Forms.h"

// Makes the window, owned by owner, over the profile file profilesPath.
using TStoSWindowFactory = TCustomForm* (*)(TComponent* owner, const String& profilesPath);
// The maker in use (nullptr: none); installing one returns the one it
// replaces.
TStoSWindowFactory StoSWindowFactory();
TStoSWindowFactory SetStoSWindowFactory(TStoSWindowFactory factory);
