// The command bars' texts: ids of the library's string table and their
// loader.
#pragma once

#include "classlib/Sysutils.h"

constexpr int dxSBAR_WANTTORESETTOOLBAR = 39001;
constexpr int dxSBAR_WANTTORESETUSAGEDATA = 39002;
constexpr int dxSBAR_BARMANAGERMORETHANONE = 39003;
constexpr int dxSBAR_BARMANAGERBADOWNER = 39004;
constexpr int dxSBAR_NOBARMANAGERS = 39005;
constexpr int dxSBAR_WANTTODELETETOOLBAR = 39006;
constexpr int dxSBAR_WANTTODELETECATEGORY = 39007;
constexpr int dxSBAR_WANTTOCLEARCOMMANDS = 39008;
constexpr int dxSBAR_RECURSIVESUBITEMS = 39009;
constexpr int dxSBAR_COMMANDNAMECANNOTBEBLANK = 39010;
constexpr int dxSBAR_TOOLBAREXISTS = 39011;
constexpr int dxSBAR_RECURSIVEGROUPS = 39012;
constexpr int dxSBAR_DEFAULTCATEGORYNAME = 39101;
constexpr int dxSBAR_CUSTOMIZE = 39300;
// The link customizing popup's entries, in their order (first + n).
constexpr int dxSBAR_CP_RESET = 39150;
// The Customize window and its name dialog.
constexpr int dxSBAR_ADD = 39202;
constexpr int dxSBAR_RENAME = 39206;
constexpr int dxSBAR_DELETE = 39207;
constexpr int dxSBAR_CLEAR = 39208;
constexpr int dxSBAR_VISIBLE = 39209;
constexpr int dxSBAR_OK = 39210;
constexpr int dxSBAR_CANCEL = 39211;
constexpr int dxSBAR_SUBMENUEDITOR = 39213;
constexpr int dxSBAR_INSERT = 39215;
constexpr int dxSBAR_MOVEUP = 39216;
constexpr int dxSBAR_MOVEDOWN = 39217;
constexpr int dxSBAR_TABSHEET1 = 39219;
constexpr int dxSBAR_TABSHEET2 = 39220;
constexpr int dxSBAR_TABSHEET3 = 39221;
constexpr int dxSBAR_TOOLBARS = 39222;
constexpr int dxSBAR_TNEW = 39223;
constexpr int dxSBAR_TRENAME = 39224;
constexpr int dxSBAR_TDELETE = 39225;
constexpr int dxSBAR_TRESET = 39226;
constexpr int dxSBAR_CLOSE = 39227;
constexpr int dxSBAR_CAPTION = 39228;
constexpr int dxSBAR_CATEGORIES = 39229;
constexpr int dxSBAR_COMMANDS = 39230;
constexpr int dxSBAR_DESCRIPTION = 39231;
constexpr int dxSBAR_ADDREMOVEBUTTONS = 39301;
constexpr int dxSBAR_RESETTOOLBAR = 39303;
constexpr int dxSBAR_ADDCATEGORYCAPTION = 39314;
constexpr int dxSBAR_INSERTCATEGORYCAPTION = 39315;
constexpr int dxSBAR_RENAMECATEGORYCAPTION = 39316;
constexpr int dxSBAR_NEWTOOLBARCAPTION = 39317;
constexpr int dxSBAR_RENAMETOOLBARCAPTION = 39318;
constexpr int dxSBAR_CATEGORYNAME = 39324;
constexpr int dxSBAR_TOOLBARNAME = 39325;
constexpr int dxSBAR_MODIFY = 39336;
// The Options page (first + n, through "Show s&hortcut keys in ToolTips"),
// then the menu animations' label and its four values.
constexpr int dxSBAR_PERSMENUSANDTOOLBARS = 39340;
constexpr int dxSBAR_MENUANIMATIONS = 39348;
constexpr int dxSBAR_MENUANIM1 = 39349;
// The colour combo: the sixteen colour names (first + n), the automatic
// and the custom entry.
constexpr int dxSBAR_COLORNAMES = 39400;
constexpr int dxSBAR_COLORAUTOTEXT = 39416;
constexpr int dxSBAR_COLORCUSTOMTEXT = 39417;
// The date navigator's buttons and the date dialog's caption.
constexpr int dxSBAR_DATETODAY = 39450;
constexpr int dxSBAR_DATECLEAR = 39451;
constexpr int dxSBAR_DATEDIALOGCAPTION = 39452;
constexpr int dxSBAR_DIALOGOK = 39453;
constexpr int dxSBAR_DIALOGCANCEL = 39454;
constexpr int dxSBAR_TREEVIEWDIALOGCAPTION = 39455;
constexpr int dxSBAR_IMAGEDIALOGCAPTION = 39458;
constexpr int dxSBAR_PLACEFORCONTROL = 39459;

// The text of a string-table entry of the program's own module; an entry
// that is missing gives "String <id>" so that a message never goes empty.
String dxBarLoadStr(int id);
