// The saved bar layout in the registry and in INI files.
//
// Registry: the key K holds the options and "BarCount"; K\Bar<i> a bar's
// values and "ItemLinkCount", K\Bar<i>\ItemLink<j> a link's; K\SubItem_<name>
// the links of a named sub item. INI: the same values in the sections
// P + "Main", P + "Bar<i>", P + "Bar<i>.ItemLink<j>", P + "SubItem_<name>"
// and P + "SubItem_<name>.ItemLink<j>", P being "Form.Manager.".
#include "Dxbarstore.h"

#include "Dxbarcontrols.h"

#include <algorithm>
#include <optional>
#include <set>

#include "classlib/Inifiles.h"
#include "classlib/Registry.h"

namespace {

NEMBRA_EXCEPTION(EdxBarLayoutValue, Exception);

// An enumeration's stored ordinal; one outside 0..last is a failed read.
int Ordinal(int value, int last, const String& name) {
  if (value < 0 || value > last) throw EdxBarLayoutValue(Format("Value out of range for '%s'", name));
  return value;
}

// name is prefix followed by decimal digits only (the prefix's letter case
// ignored); number is their value when it fits.
bool NumberedName(const String& name, const String& prefix, int& number) {
  if (name.size() <= prefix.size() || !SameText(name.substr(0, prefix.size()), prefix)) return false;
  String digits = name.substr(prefix.size());
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  number = digits.size() <= 9 ? std::stoi(digits) : -1;
  return true;
}

// The number of entries worth probing: a stored count, cut after the last
// numbered name present, so a damaged count never makes a long walk.
int ProbeCount(int count, const TStrings& names, const String& prefix) {
  int highest = -1;
  for (int i = 0; i < names.Count(); ++i) {
    int n;
    if (NumberedName(names.Get(i), prefix, n)) highest = std::max(highest, n);
  }
  return std::min(count, highest + 1);
}

bool StartsWithText(const String& s, const String& prefix) {
  return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

// The bars the layout keeps, in collection order.
std::vector<TdxBar*> SavedBars(TdxBarManager* m) {
  std::vector<TdxBar*> bars;
  for (int i = 0; i < m->Bars()->Count(); ++i)
    if (!m->Bars()->Items(i)->Internal()) bars.push_back(m->Bars()->Items(i));
  return bars;
}

std::vector<TCustomdxBarSubItem*> NamedSubItems(TdxBarManager* m) {
  std::vector<TCustomdxBarSubItem*> subs;
  for (int i = 0; i < m->ItemCount(); ++i)
    if (auto* s = dynamic_cast<TCustomdxBarSubItem*>(m->Items(i)); s && !s->Name().empty()) subs.push_back(s);
  return subs;
}

bool KeepsUsage(TdxBarManager* m, TdxBarItemLinks* links) { return m->Style() != bmsStandard && links->UseRecentItems(); }

// A stored dock-control name: none for an empty name and for a component
// of another kind.
TdxBarDockControl* FindDock(TdxBarManager* m, const String& name) {
  if (name.empty()) return nullptr;
  try {
    return m->FindDockControl(name);
  } catch (const EConvertError&) {
    return nullptr;
  }
}

TdxBarItem* ItemNamed(TdxBarManager* m, const String& name) { return name.empty() ? nullptr : m->GetItemByName(name); }

// Sets the link's item; a link whose item cannot be set is freed.
bool PlaceItem(TdxBarItemLink* link, TdxBarItem* item) {
  if (item) {
    try {
      link->SetItem(item);
    } catch (const Exception&) {
      if (link->Item() != item) item = nullptr;
    }
  }
  if (!item) link->Free();
  return item != nullptr;
}

void DropGlyph(TdxBarItemLink* link) {
  TdxBarUserDefines defines = link->UserDefine();
  defines >> udGlyph;
  link->SetUserDefine(defines);
}

// Runs body with the manager's update lock set, putting the lock back
// also when body fails.
template <class F>
void WithManagerLock(TdxBarManager* m, F body) {
  bool locked = m->LockUpdate();
  m->SetLockUpdate(true);
  TFinally guard([&] { m->SetLockUpdate(locked); });
  body();
}

// Reads one bar: a failed read leaves the values read so far and shows
// the bar.
template <class F>
void ReadBar(TdxBar* bar, F body) {
  TdxBars* bars = bar->Bars();
  auto show = [&](bool visible) {
    bool restoring = bars->Restoring();
    bars->SetRestoring(true);
    {
      TFinally guard([&] { bars->SetRestoring(restoring); });
      bar->SetVisible(visible);
    }
  };
  bool locked = bar->LockUpdate();
  bar->SetLockUpdate(true);
  TFinally cleanUp([&] { bar->SetLockUpdate(locked); });
  try {
    show(body());
  } catch (const Exception&) {
    show(true);
  }
}

// Hides the kept bars, reads the present bar entries into bar i or, past
// the last bar, into a new one, and shows a bar that cannot be closed when
// no entry was read for it.
template <class Present, class Read>
void ReadBars(TdxBarManager* m, int count, Present present, Read read) {
  std::vector<TdxBar*> bars = SavedBars(m);
  for (TdxBar* bar : bars) bar->SetVisible(false);
  std::set<TdxBar*> loaded;
  for (int i = 0; i < count; ++i) {
    if (!present(i)) continue;
    TdxBar* bar;
    if (i < static_cast<int>(bars.size())) {
      bar = bars[static_cast<size_t>(i)];
    } else {
      bar = m->Bars()->Add();
      bars.push_back(bar);
    }
    loaded.insert(bar);
    ReadBar(bar, [&] { return read(bar, i); });
  }
  for (TdxBar* bar : SavedBars(m))
    if (!loaded.count(bar) && !bar->CanClose()) bar->SetVisible(true);
}

// ---------------------------------------------------------------- registry

String LinkKey(const String& listKey, int j) { return listKey + "\\ItemLink" + IntToStr(j); }

void SaveRegistryLinks(TdxBarManager* m, TdxBarItemLinks* links, const String& key, TRegistry& list, bool barList) {
  list.WriteInteger("ItemLinkCount", links->Count());
  for (int j = 0; j < links->Count(); ++j) {
    TdxBarItemLink* link = links->Items(j);
    if (!link->Item() || link->Item()->Name().empty()) continue;
    TRegistry r;
    if (!r.OpenKey(LinkKey(key, j), true)) continue;
    r.WriteString("ItemName", link->Item()->Name());
    r.WriteBool("BeginGroup", link->StoredBeginGroup());
    BYTE defines = static_cast<BYTE>(link->UserDefine().Bits() & 0x0F);
    r.WriteBinaryData("UserDefine", &defines, 1);
    if (link->UserDefine().Contains(udCaption)) r.WriteString("UserCaption", link->UserCaption());
    if (link->UserDefine().Contains(udGlyph)) {
      TStringStream image;
      link->UserGlyph()->SaveToStream(&image);
      const String& data = image.DataString();
      r.WriteBinaryData("UserGlyph", data.data(), static_cast<int>(data.size()));
    }
    if (link->UserDefine().Contains(udPaintStyle)) r.WriteInteger("UserPaintStyle", link->UserPaintStyle());
    if (link->UserDefine().Contains(udWidth)) r.WriteInteger("UserWidth", link->UserWidth());
    if (barList) r.WriteBool("Visible", link->Visible());
    if (KeepsUsage(m, links)) {
      r.WriteInteger("UseCount", link->UseCount());
      r.WriteInteger("RecentIndex", link->RecentIndex());
    }
  }
}

void ReadRegistryLink(TdxBarManager* m, TdxBarItemLinks* links, const String& key, bool barList) {
  TRegistry r;
  if (!r.OpenKeyReadOnly(key)) return;
  TdxBarItemLink* link = links->Add();
  bool glyphPending = false;
  try {
    if (!PlaceItem(link, ItemNamed(m, r.ReadString("ItemName")))) return;
    link->SetBeginGroup(r.ReadBool("BeginGroup"));
    if (r.ValueExists("UserDefine")) {
      BYTE defines = 0;
      r.ReadBinaryData("UserDefine", &defines, 1);
      link->SetUserDefine(TdxBarUserDefines::FromBits(defines & 0x0F));
    }
    TdxBarUserDefines defines = link->UserDefine();
    if (defines.Contains(udCaption)) link->SetUserCaption(r.ReadString("UserCaption"));
    if (defines.Contains(udGlyph)) {
      glyphPending = true;
      int size = std::max(r.GetDataSize("UserGlyph"), 0);
      String data(static_cast<size_t>(size), '\0');
      r.ReadBinaryData("UserGlyph", data.data(), size);
      TStringStream image(data);
      TBitmap glyph;
      glyph.LoadFromStream(&image);
      link->SetUserGlyph(&glyph);
      glyphPending = false;
    }
    if (defines.Contains(udPaintStyle))
      link->SetUserPaintStyle(
          static_cast<TdxBarPaintStyle>(Ordinal(r.ReadInteger("UserPaintStyle"), psCaptionGlyph, "UserPaintStyle")));
    if (defines.Contains(udWidth)) link->SetUserWidth(r.ReadInteger("UserWidth"));
    if (barList && r.ValueExists("Visible")) link->LoadedVisible = r.ReadBool("Visible");
    if (KeepsUsage(m, links)) {
      if (r.ValueExists("UseCount")) link->LoadedUseCount = r.ReadInteger("UseCount");
      if (r.ValueExists("RecentIndex")) link->LoadedRecentIndex = r.ReadInteger("RecentIndex");
    }
  } catch (const Exception&) {
    // The link keeps what was read; a glyph that could not be read leaves
    // no empty picture behind.
    if (!link->Item())
      link->Free();
    else if (glyphPending)
      DropGlyph(link);
  }
}

void LoadRegistryLinks(TdxBarManager* m, TdxBarItemLinks* links, const String& key, bool barList) {
  links->Clear();
  TFinally guard([&] { links->Loaded(true); });
  TRegistry r;
  if (r.OpenKeyReadOnly(key)) {
    int count = r.ValueExists("ItemLinkCount") ? r.ReadInteger("ItemLinkCount") : 0;
    TStringList names;
    r.GetKeyNames(&names);
    count = ProbeCount(count, names, "ItemLink");
    for (int j = 0; j < count; ++j)
      if (r.KeyExists("ItemLink" + IntToStr(j))) ReadRegistryLink(m, links, LinkKey(key, j), barList);
  }
}

bool ReadRegistryBar(TdxBarManager* m, TdxBar* bar, const String& key) {
  LoadRegistryLinks(m, bar->ItemLinks(), key, true);
  TRegistry r;
  if (!r.OpenKeyReadOnly(key)) throw EdxBarLayoutValue("The bar's key cannot be opened");
  bar->SetCaption(r.ReadString("Caption"));
  bar->SetDockedDockControl(FindDock(m, r.ReadString("DockedDockControl")));
  bar->SetDockedDockingStyle(
      static_cast<TdxBarDockingStyle>(Ordinal(r.ReadInteger("DockedDockingStyle"), dsBottom, "DockedDockingStyle")));
  bar->SetDockedLeft(r.ReadInteger("DockedLeft"));
  bar->SetDockedTop(r.ReadInteger("DockedTop"));
  bar->SetOneOnRow(r.ReadBool("OneOnRow"));
  bar->SetRow(r.ReadInteger("Row"));
  bar->SetFloatLeft(r.ReadInteger("FloatLeft"));
  bar->SetFloatTop(r.ReadInteger("FloatTop"));
  bar->SetFloatClientWidth(r.ReadInteger("FloatClientWidth"));
  bar->SetFloatClientHeight(r.ReadInteger("FloatClientHeight"));
  bar->SetDockControl(FindDock(m, r.ReadString("DockControl")));
  bar->SetDockingStyle(
      static_cast<TdxBarDockingStyle>(Ordinal(r.ReadInteger("DockingStyle"), dsBottom, "DockingStyle")));
  return r.ReadBool("Visible");
}

void ReadRegistry(TdxBarManager* m, TRegistry& reg, const String& key) {
  // The key's own values are all read before any is applied, so one that
  // cannot be read changes nothing.
  auto readBool = [&](const char* name) { return reg.ValueExists(name) ? std::optional<bool>(reg.ReadBool(name)) : std::nullopt; };
  auto readInt = [&](const char* name) { return reg.ValueExists(name) ? std::optional<int>(reg.ReadInteger(name)) : std::nullopt; };
  bool styled = m->Style() != bmsStandard;
  std::optional<bool> recentFirst = styled ? readBool("MenusShowRecentItemsFirst") : std::nullopt;
  std::optional<bool> fullMenus = styled ? readBool("ShowFullMenusAfterDelay") : std::nullopt;
  std::optional<bool> largeIcons = readBool("LargeIcons");
  std::optional<int> animations = readInt("MenuAnimations");
  std::optional<bool> showHint = readBool("ShowHint");
  std::optional<bool> shortCuts = readBool("ShowShortCutInHint");
  std::optional<int> barCount = readInt("BarCount");

  if (recentFirst) m->SetMenusShowRecentItemsFirst(*recentFirst);
  if (fullMenus) m->SetShowFullMenusAfterDelay(*fullMenus);
  if (largeIcons) m->SetLargeIcons(*largeIcons);
  if (animations && *animations >= maNone && *animations <= maSlide)
    m->SetMenuAnimations(static_cast<TdxBarMenuAnimations>(*animations));
  if (showHint) m->SetShowHint(*showHint);
  if (shortCuts) m->SetShowShortCutInHint(*shortCuts);
  if (barCount) {
    TStringList names;
    reg.GetKeyNames(&names);
    ReadBars(
        m, ProbeCount(*barCount, names, "Bar"), [&](int i) { return reg.KeyExists("Bar" + IntToStr(i)); },
        [&](TdxBar* bar, int i) { return ReadRegistryBar(m, bar, key + "\\Bar" + IntToStr(i)); });
  }
  // A sub item whose list cannot be read keeps what was read of it.
  for (TCustomdxBarSubItem* sub : NamedSubItems(m)) {
    if (!reg.KeyExists("SubItem_" + sub->Name())) continue;
    try {
      LoadRegistryLinks(m, sub->ItemLinks(), key + "\\SubItem_" + sub->Name(), false);
    } catch (const Exception&) {
    }
  }
}

void WriteRegistry(TdxBarManager* m, TRegistry& reg, const String& key) {
  if (m->Style() != bmsStandard) {
    reg.WriteBool("MenusShowRecentItemsFirst", m->MenusShowRecentItemsFirst());
    reg.WriteBool("ShowFullMenusAfterDelay", m->ShowFullMenusAfterDelay());
  }
  reg.WriteBool("LargeIcons", m->LargeIcons());
  reg.WriteInteger("MenuAnimations", m->MenuAnimations());
  reg.WriteBool("ShowHint", m->ShowHint());
  reg.WriteBool("ShowShortCutInHint", m->ShowShortCutInHint());
  std::vector<TdxBar*> bars = SavedBars(m);
  reg.WriteInteger("BarCount", static_cast<int>(bars.size()));
  for (size_t i = 0; i < bars.size(); ++i) {
    TdxBar* bar = bars[i];
    TRegistry r;
    if (!r.OpenKey(key + "\\Bar" + IntToStr(static_cast<int>(i)), true)) continue;
    r.WriteString("Caption", bar->Caption());
    if (bar->DockedDockControl()) r.WriteString("DockedDockControl", dxBarQualifiedName(bar->DockedDockControl()));
    r.WriteInteger("DockedDockingStyle", bar->DockedDockingStyle());
    r.WriteInteger("DockedLeft", bar->DockedLeft());
    r.WriteInteger("DockedTop", bar->DockedTop());
    r.WriteBool("OneOnRow", bar->OneOnRow());
    r.WriteInteger("Row", bar->Row());
    r.WriteInteger("FloatLeft", bar->FloatLeft());
    r.WriteInteger("FloatTop", bar->FloatTop());
    r.WriteInteger("FloatClientWidth", bar->FloatClientWidth());
    r.WriteInteger("FloatClientHeight", bar->FloatClientHeight());
    if (bar->DockControl()) r.WriteString("DockControl", dxBarQualifiedName(bar->DockControl()));
    r.WriteInteger("DockingStyle", bar->DockingStyle());
    r.WriteBool("Visible", bar->Visible());
    SaveRegistryLinks(m, bar->ItemLinks(), key + "\\Bar" + IntToStr(static_cast<int>(i)), r, true);
  }
  for (TCustomdxBarSubItem* sub : NamedSubItems(m)) {
    TRegistry r;
    String subKey = key + "\\SubItem_" + sub->Name();
    if (r.OpenKey(subKey, true)) SaveRegistryLinks(m, sub->ItemLinks(), subKey, r, false);
  }
}

// ---------------------------------------------------------------- INI file

String Prefix(TdxBarManager* m) { return (m->MainForm() ? m->MainForm()->Name() : String()) + "." + m->Name() + "."; }

String IniLinkSection(const String& listSection, int j) { return listSection + ".ItemLink" + IntToStr(j); }

void WriteIniLinks(TdxBarManager* m, TdxBarItemLinks* links, TMemIniFile& ini, const String& section, bool barList) {
  ini.WriteInteger(section, "ItemLinkCount", links->Count());
  for (int j = 0; j < links->Count(); ++j) {
    TdxBarItemLink* link = links->Items(j);
    if (!link->Item() || link->Item()->Name().empty()) continue;
    String s = IniLinkSection(section, j);
    ini.WriteString(s, "ItemName", link->Item()->Name());
    ini.WriteBool(s, "BeginGroup", link->StoredBeginGroup());
    ini.WriteInteger(s, "UserDefine", static_cast<int>(link->UserDefine().Bits() & 0x0F));
    if (link->UserDefine().Contains(udCaption)) ini.WriteString(s, "UserCaption", link->UserCaption());
    if (link->UserDefine().Contains(udPaintStyle)) ini.WriteInteger(s, "UserPaintStyle", link->UserPaintStyle());
    if (link->UserDefine().Contains(udWidth)) ini.WriteInteger(s, "UserWidth", link->UserWidth());
    if (barList) ini.WriteBool(s, "Visible", link->Visible());
    if (KeepsUsage(m, links)) {
      ini.WriteInteger(s, "UseCount", link->UseCount());
      ini.WriteInteger(s, "RecentIndex", link->RecentIndex());
    }
  }
}

void WriteIni(TdxBarManager* m, TMemIniFile& ini, const String& prefix) {
  String main = prefix + "Main";
  if (m->Style() != bmsStandard) {
    ini.WriteBool(main, "MenusShowRecentItemsFirst", m->MenusShowRecentItemsFirst());
    ini.WriteBool(main, "ShowFullMenusAfterDelay", m->ShowFullMenusAfterDelay());
  }
  ini.WriteBool(main, "LargeIcons", m->LargeIcons());
  ini.WriteInteger(main, "MenuAnimations", m->MenuAnimations());
  ini.WriteBool(main, "ShowHint", m->ShowHint());
  ini.WriteBool(main, "ShowShortCutInHint", m->ShowShortCutInHint());
  std::vector<TdxBar*> bars = SavedBars(m);
  ini.WriteInteger(main, "BarCount", static_cast<int>(bars.size()));
  for (size_t i = 0; i < bars.size(); ++i) {
    TdxBar* bar = bars[i];
    String s = prefix + "Bar" + IntToStr(static_cast<int>(i));
    ini.WriteString(s, "Caption", bar->Caption());
    if (bar->DockedDockControl()) ini.WriteString(s, "DockedDockControl", dxBarQualifiedName(bar->DockedDockControl()));
    ini.WriteInteger(s, "DockedDockingStyle", bar->DockedDockingStyle());
    ini.WriteInteger(s, "DockedLeft", bar->DockedLeft());
    ini.WriteInteger(s, "DockedTop", bar->DockedTop());
    ini.WriteBool(s, "OneOnRow", bar->OneOnRow());
    ini.WriteInteger(s, "Row", bar->Row());
    ini.WriteInteger(s, "FloatLeft", bar->FloatLeft());
    ini.WriteInteger(s, "FloatTop", bar->FloatTop());
    ini.WriteInteger(s, "FloatClientWidth", bar->FloatClientWidth());
    ini.WriteInteger(s, "FloatClientHeight", bar->FloatClientHeight());
    if (bar->DockControl()) ini.WriteString(s, "DockControl", dxBarQualifiedName(bar->DockControl()));
    ini.WriteInteger(s, "DockingStyle", bar->DockingStyle());
    ini.WriteBool(s, "Visible", bar->Visible());
    WriteIniLinks(m, bar->ItemLinks(), ini, s, true);
  }
  for (TCustomdxBarSubItem* sub : NamedSubItems(m))
    WriteIniLinks(m, sub->ItemLinks(), ini, prefix + "SubItem_" + sub->Name(), false);
}

void LoadIniLinks(TdxBarManager* m, TdxBarItemLinks* links, TMemIniFile& ini, const TStrings& sections,
                  const String& section, bool barList) {
  links->Clear();
  TFinally guard([&] { links->Loaded(true); });
  int count = ProbeCount(ini.ReadInteger(section, "ItemLinkCount", 0), sections, section + ".ItemLink");
  for (int j = 0; j < count; ++j) {
    String s = IniLinkSection(section, j);
    String name = ini.ReadString(s, "ItemName", String());
    if (name.empty()) continue;
    TdxBarItemLink* link = links->Add();
    if (!PlaceItem(link, ItemNamed(m, name))) continue;
    try {
      link->SetBeginGroup(ini.ReadBool(s, "BeginGroup", false));
      // No glyph is stored in an INI file: its mark would show an empty
      // picture.
      TdxBarUserDefines defines = TdxBarUserDefines::FromBits(ini.ReadInteger(s, "UserDefine", 0) & 0x0F);
      defines >> udGlyph;
      link->SetUserDefine(defines);
      if (defines.Contains(udCaption)) link->SetUserCaption(ini.ReadString(s, "UserCaption", String()));
      if (defines.Contains(udPaintStyle))
        link->SetUserPaintStyle(static_cast<TdxBarPaintStyle>(
            Ordinal(ini.ReadInteger(s, "UserPaintStyle", psStandard), psCaptionGlyph, "UserPaintStyle")));
      if (defines.Contains(udWidth)) link->SetUserWidth(ini.ReadInteger(s, "UserWidth", 100));
      if (barList) link->LoadedVisible = ini.ReadBool(s, "Visible", true);
      if (KeepsUsage(m, links)) {
        link->LoadedUseCount = ini.ReadInteger(s, "UseCount", 0);
        link->LoadedRecentIndex = ini.ReadInteger(s, "RecentIndex", -1);
      }
    } catch (const Exception&) {
      // The link keeps what was read.
    }
  }
}

bool ReadIniBar(TdxBarManager* m, TdxBar* bar, TMemIniFile& ini, const TStrings& sections, const String& s) {
  LoadIniLinks(m, bar->ItemLinks(), ini, sections, s, true);
  bar->SetCaption(ini.ReadString(s, "Caption", bar->Caption()));
  bar->SetDockedDockControl(FindDock(m, ini.ReadString(s, "DockedDockControl", String())));
  bar->SetDockedDockingStyle(static_cast<TdxBarDockingStyle>(
      Ordinal(ini.ReadInteger(s, "DockedDockingStyle", bar->DockedDockingStyle()), dsBottom, "DockedDockingStyle")));
  bar->SetDockedLeft(ini.ReadInteger(s, "DockedLeft", bar->DockedLeft()));
  bar->SetDockedTop(ini.ReadInteger(s, "DockedTop", bar->DockedTop()));
  bar->SetOneOnRow(ini.ReadBool(s, "OneOnRow", bar->OneOnRow()));
  bar->SetRow(ini.ReadInteger(s, "Row", bar->Row()));
  bar->SetFloatLeft(ini.ReadInteger(s, "FloatLeft", bar->FloatLeft()));
  bar->SetFloatTop(ini.ReadInteger(s, "FloatTop", bar->FloatTop()));
  bar->SetFloatClientWidth(ini.ReadInteger(s, "FloatClientWidth", bar->FloatClientWidth()));
  bar->SetFloatClientHeight(ini.ReadInteger(s, "FloatClientHeight", bar->FloatClientHeight()));
  bar->SetDockControl(FindDock(m, ini.ReadString(s, "DockControl", String())));
  bar->SetDockingStyle(static_cast<TdxBarDockingStyle>(
      Ordinal(ini.ReadInteger(s, "DockingStyle", bar->DockingStyle()), dsBottom, "DockingStyle")));
  return ini.ReadBool(s, "Visible", false);
}

void ReadIni(TdxBarManager* m, TMemIniFile& ini, const String& prefix) {
  String main = prefix + "Main";
  if (m->Style() != bmsStandard) {
    m->SetMenusShowRecentItemsFirst(ini.ReadBool(main, "MenusShowRecentItemsFirst", m->MenusShowRecentItemsFirst()));
    m->SetShowFullMenusAfterDelay(ini.ReadBool(main, "ShowFullMenusAfterDelay", m->ShowFullMenusAfterDelay()));
  }
  m->SetLargeIcons(ini.ReadBool(main, "LargeIcons", m->LargeIcons()));
  int animations = ini.ReadInteger(main, "MenuAnimations", m->MenuAnimations());
  if (animations >= maNone && animations <= maSlide) m->SetMenuAnimations(static_cast<TdxBarMenuAnimations>(animations));
  m->SetShowHint(ini.ReadBool(main, "ShowHint", m->ShowHint()));
  m->SetShowShortCutInHint(ini.ReadBool(main, "ShowShortCutInHint", m->ShowShortCutInHint()));
  TStringList sections;
  ini.ReadSections(&sections);
  int count = ini.ReadInteger(main, "BarCount", -1);
  if (count >= 0) {
    ReadBars(
        m, ProbeCount(count, sections, prefix + "Bar"),
        [&](int i) { return ini.ReadInteger(prefix + "Bar" + IntToStr(i), "Row", -1000) > -1000; },
        [&](TdxBar* bar, int i) { return ReadIniBar(m, bar, ini, sections, prefix + "Bar" + IntToStr(i)); });
  }
  for (TCustomdxBarSubItem* sub : NamedSubItems(m)) {
    String s = prefix + "SubItem_" + sub->Name();
    if (ini.ReadInteger(s, "ItemLinkCount", -1) >= 0) LoadIniLinks(m, sub->ItemLinks(), ini, sections, s, false);
  }
}

}  // namespace

String dxBarLayoutKey(const String& registryPath) {
  if (registryPath.find_first_not_of('\\') == String::npos) return String();
  String key = registryPath[0] == '\\' ? registryPath : "\\" + registryPath;
  if (key.back() == '\\') key.pop_back();
  return key;
}

String dxBarQualifiedName(const TComponent* component) {
  if (!component) return String();
  String name = component->Name();
  for (const TComponent* owner = component->Owner(); owner && !owner->Name().empty(); owner = owner->Owner())
    name = owner->Name() + "." + name;
  return name;
}

void TdxBarStandardLayoutStore::LoadFromRegistry(TdxBarManager* m, const String& registryPath) {
  String key = dxBarLayoutKey(registryPath);
  if (!m || key.empty()) return;
  TRegistry reg;
  if (!reg.OpenKeyReadOnly(key)) return;
  WithManagerLock(m, [&] { ReadRegistry(m, reg, key); });
}

void TdxBarStandardLayoutStore::SaveToRegistry(TdxBarManager* m, const String& registryPath) {
  String key = dxBarLayoutKey(registryPath);
  if (!m || key.empty()) return;
  TRegistry reg;
  if (!reg.OpenKey(key, true)) return;
  // Only the keys this writer makes go: the bars' and the sub items'.
  TStringList names;
  reg.GetKeyNames(&names);
  for (int i = 0; i < names.Count(); ++i) {
    int n;
    const String& name = names.Get(i);
    if (NumberedName(name, "Bar", n) || StartsWithText(name, "SubItem_")) reg.DeleteKey(name);
  }
  WriteRegistry(m, reg, key);
}

void TdxBarStandardLayoutStore::LoadFromIniFile(TdxBarManager* m, const String& fileName) {
  if (!m || fileName.empty()) return;
  TMemIniFile ini(fileName);
  WithManagerLock(m, [&] { ReadIni(m, ini, Prefix(m)); });
}

void TdxBarStandardLayoutStore::SaveToIniFile(TdxBarManager* m, const String& fileName) {
  if (!m || fileName.empty()) return;
  String prefix = Prefix(m);
  TMemIniFile ini(fileName);
  TStringList sections;
  ini.ReadSections(&sections);
  for (int i = 0; i < sections.Count(); ++i)
    if (sections.Get(i).compare(0, prefix.size(), prefix) == 0) ini.EraseSection(sections.Get(i));
  TFinally guard([&] { ini.UpdateFile(); });
  WriteIni(m, ini, prefix);
}

TdxBarLayoutStore* dxBarStandardLayoutStore() {
  static TdxBarStandardLayoutStore store;
  return &store;
}
