// The texts of the shell controls, reached through PTLoadStr.
#pragma once

#include "classlib/Sysutils.h"

// The hook for translated texts: today the text itself.
String PTLoadStr(const String& text);

// Key names of the shell key table.
inline constexpr char SShKey_SelectAll[] = "Ctrl+A";
inline constexpr char SShKey_Delete[] = "Del";
inline constexpr char SShKey_Copy[] = "Ctrl+C";
inline constexpr char SShKey_Cut[] = "Ctrl+X";
inline constexpr char SShKey_Paste[] = "Ctrl+V";
inline constexpr char SShKey_Refresh[] = "F5";
inline constexpr char SShKey_Edit[] = "F2";

// Type column of items outside the file system.
inline constexpr char SSystemFolder[] = "System Folder";
// New-folder naming and its failure (%1: the system's reason, %2: the path;
// FormatStrPos).
inline constexpr char SNewFolder[] = "New Folder";
inline constexpr char SUnableToCreateFolder[] = "Unable to create the folder '%2'\n\n%1";
// Caption of warning boxes.
inline constexpr char SMsgDlgWarning[] = "Warning";
// Short names of new folders ("fldr", "fldr2", ...).
inline constexpr char SNewFolderShort[] = "fldr";

// Default list columns and the size column's format.
inline constexpr char SColumnName[] = "Name";
inline constexpr char SColumnSize[] = "Size";
inline constexpr char SColumnType[] = "Type";
inline constexpr char SColumnModified[] = "Modified";
inline constexpr char SFilesizeKB[] = "%sKB";
