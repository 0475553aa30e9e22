// The network tools' windows are made by the tools side; the program's start
// installs their opener, and the main window's Utilities actions ask it.
#pragma once

enum class TToolWindow { Dns, Ping, UrlInfo, Finger, Lookup };

// Opens one tool's window (each checks the connection first).
using TToolWindowOpener = void (*)(TToolWindow tool);
// The opener in use (nullptr: none, and the actions do nothing); installing
// one returns the one it replaces.
TToolWindowOpener ToolWindowOpener();
TToolWindowOpener SetToolWindowOpener(TToolWindowOpener opener);
