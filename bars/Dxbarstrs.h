// The command bars' texts: ids of the library's string table and their
// loader.
#pragma once

#include "classlib/Sysutils.h"

constexpr int dxSBAR_WANTTORESETTOOLBAR = 39001;
constexpr int dxSBAR_WANTTORESETUSAGEDATA = 39002;
constexpr int dxSBAR_BARMANAGERMORETHANONE = 39003;
constexpr int dxSBAR_BARMANAGERBADOWNER = 39004;
constexpr int dxSBAR_NOBARMANAGERS = 39005;
constexpr int dxSBAR_RECURSIVESUBITEMS = 39009;
constexpr int dxSBAR_RECURSIVEGROUPS = 39012;
constexpr int dxSBAR_DEFAULTCATEGORYNAME = 39101;
constexpr int dxSBAR_CUSTOMIZE = 39300;
constexpr int dxSBAR_DIALOGOK = 39453;
constexpr int dxSBAR_DIALOGCANCEL = 39454;
constexpr int dxSBAR_IMAGEDIALOGCAPTION = 39458;

// The text of a string-table entry of the program's own module; an entry
// that is missing gives "String <id>" so that a message never goes empty.
String dxBarLoadStr(int id);
