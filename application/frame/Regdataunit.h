// The settings store: typed values in sections of the current user's
// registry key \Software\Quellmark\<application title>\, and the saving and
// restoring of window placements.
#pragma once

#include "classlib/Registry.h"

// The section of the program's named values.
extern const char SettingsSection[];

enum TPlacementState { psNormal, psMinimized, psMaximized };

// What the placement operations need of a window. The forms provide it;
// THandlePlacement does it for a plain top-level window.
class TPlacementWindow {
 public:
  virtual ~TPlacementWindow() = default;
  // The name of the window's key: its component name ("FormMain").
  virtual String PlacementName() const = 0;
  virtual TPlacementState PlacementState() const = 0;
  // Bounds of the window in its normal (restored) state, screen coordinates.
  virtual RECT NormalBounds() const = 0;
  // The window takes these normal bounds and keeps them when it is shown.
  virtual void SetNormalBounds(const RECT& bounds) = 0;
  // The window becomes maximised.
  virtual void Maximize() = 0;
};

// A plain top-level window under a key name. Maximize shows the window.
class THandlePlacement : public TPlacementWindow {
 public:
  THandlePlacement(HWND wnd, const String& name) : wnd_(wnd), name_(name) {}
  String PlacementName() const override { return name_; }
  TPlacementState PlacementState() const override;
  RECT NormalBounds() const override;
  void SetNormalBounds(const RECT& bounds) override;
  void Maximize() override;

 private:
  // Offset of workspace coordinates (those of WINDOWPLACEMENT) from screen
  // coordinates.
  POINT WorkspaceOffset() const;
  HWND wnd_;
  String name_;
};

// Every operation is self-contained (it opens and closes its own key) and
// may be called before the module exists. Reads never create a key; a value
// that is absent, or stored with another type or size, reads as the
// default (empty, 0, false). Writes create the key and replace any value of
// the name with one of the right type; a refused write raises
// ERegistryException.
class TReg : public TComponent {
 public:
  explicit TReg(TComponent* owner);

  // "\Software\Quellmark\" + application title + "\".
  static String GetKeyPath();
  static String ReadString(const String& section, const String& name);
  static void WriteString(const String& section, const String& name, const String& value);
  static int ReadInteger(const String& section, const String& name);
  static void WriteInteger(const String& section, const String& name, int value);
  // Stored as an integer 0 or 1; any non-zero integer reads as true.
  static bool ReadBool(const String& section, const String& name);
  static void WriteBool(const String& section, const String& name, bool value);

  // An integer of the section "Settings" with the default and limits that
  // its readers apply; stored values are left as they are:
  //   LocalListSize <= 0 -> 120, LocalDirSize <= 0 -> 160,
  //   RemoteDirSize <= 0 -> 160, Column1Size <= 0 -> 180,
  //   Column2Size, Column3Size, Column4Size <= 0 -> 80, StoSSize <= 0 -> 331,
  //   TimeOut <= 0 -> 30, Noop outside 1..300 -> 120,
  //   BufSize <= 0 -> 1514 and above 65536 -> 65536,
  //   ShareAccess outside 0..3 -> 0.
  // Other names (LastShortcut) read as ReadInteger does.
  static int ReadSettingInteger(const String& name);
  // A pane or column size (of a name above) that fits room: a value
  // outside 1..room takes the name's default, itself cut to room (never
  // below 1). ReadPaneSize does so with the stored value.
  static int FitPaneSize(const String& name, int value, int room);
  static int ReadPaneSize(const String& name, int room);

  // Restores the placement kept under the window's name: a stored
  // "MaxState" true maximises the window; false applies each stored "Left",
  // "Top", "Width", "Height" and centres the window when its rectangle
  // then meets no monitor. Without a stored placement "FormMain" is
  // maximised and any other window centred.
  static void LoadFormPlacement(TPlacementWindow& window);
  static void LoadFormPlacement(HWND wnd, const String& name);
  // Minimised: nothing is written; maximised: "MaxState" true only; normal:
  // "MaxState" false and the window's "Left", "Top", "Width", "Height".
  static void SaveFormPlacement(TPlacementWindow& window);
  static void SaveFormPlacement(HWND wnd, const String& name);
};

extern TReg* Reg;
