// The saved layout of a manager's bars: the options the user changes while
// customizing, each bar's caption, place and visibility, the links of the
// bars and of the named sub items with the user's overrides and the usage
// data, kept in the registry under HKEY_CURRENT_USER or in an INI file.
#pragma once

#include "Dxbar.h"

// The layout store of the program (the default store keeps nothing):
// dxBarSetLayoutStore(dxBarStandardLayoutStore()).
class TdxBarStandardLayoutStore : public TdxBarLayoutStore {
 public:
  // An empty or root path does nothing. A value of the key itself that
  // cannot be read ("BarCount" of another type) ends the loading with an
  // error once the update lock is back; a bad value of a bar or a link ends
  // only that bar (shown) or that link.
  void LoadFromRegistry(TdxBarManager* manager, const String& registryPath) override;
  // Replaces the Bar and SubItem_ keys under the path; other keys stay.
  void SaveToRegistry(TdxBarManager* manager, const String& registryPath) override;
  // Absent and bad values take their defaults.
  void LoadFromIniFile(TdxBarManager* manager, const String& fileName) override;
  // Replaces the sections of the manager's prefix ("Form.Manager."); the
  // file is written back also when writing fails.
  void SaveToIniFile(TdxBarManager* manager, const String& fileName) override;
};

TdxBarLayoutStore* dxBarStandardLayoutStore();

// The key a registry path names below HKEY_CURRENT_USER: "\" in front, one
// trailing "\" dropped; empty when the path names no key below the root.
String dxBarLayoutKey(const String& registryPath);
// The name of a component preceded by the names of its named owners, each
// followed by "." ("FormB.DockA").
String dxBarQualifiedName(const TComponent* component);
