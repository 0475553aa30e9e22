// The saved bar layout in the registry and in INI files: the customised
// fixture comes back as it was, the stores look as documented, stores
// written by hand load as expected, and damaged values spoil only their
// own bar or link.
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "Fixture.h"
#include "bars/Dxbarstore.h"
#include "bars/Dxbarwinitems.h"
#include "classlib/Registry.h"
#include "support/Testutil.h"

namespace {

const char kTestRoot[] = "\\Software\\Quellmark\\Nembra3-test\\";

// A registry key of the test's own, gone before and after the test.
class TTestKey {
 public:
  explicit TTestKey(const String& name) : Path(kTestRoot + name) { Delete(); }
  ~TTestKey() { Delete(); }
  void Delete() const {
    TRegistry r;
    r.DeleteKey(Path);
  }
  // Writers of single values; sub is below Path ("" for the key itself).
  void Int(const String& sub, const String& name, int value) const {
    TRegistry r;
    if (Open(r, sub)) r.WriteInteger(name, value);
  }
  void Str(const String& sub, const String& name, const String& value) const {
    TRegistry r;
    if (Open(r, sub)) r.WriteString(name, value);
  }
  void Bin(const String& sub, const String& name, const String& bytes) const {
    TRegistry r;
    if (Open(r, sub)) r.WriteBinaryData(name, bytes.data(), static_cast<int>(bytes.size()));
  }
  // The key as text: its subkeys in natural order below it, the values of
  // each key by name, each with its type.
  String Text() const;
  const String Path;

 private:
  bool Open(TRegistry& r, const String& sub) const {
    bool opened = r.OpenKey(sub.empty() ? Path : Path + "\\" + sub, true);
    EXPECT_TRUE(opened) << sub;
    return opened;
  }
};

// Bar2 before Bar10; other names by their letters.
bool NaturalLess(const String& a, const String& b) {
  auto split = [](const String& s) {
    size_t d = s.find_last_not_of("0123456789") + 1;
    return std::make_pair(AnsiUpperCase(s.substr(0, d)), d < s.size() ? std::stol(s.substr(d)) : -1L);
  };
  return split(a) < split(b);
}

void KeyText(HKEY key, const String& path, String& out) {
  out += (path.empty() ? String("\\") : path) + "\r\n";
  std::vector<std::pair<String, String>> values;
  for (DWORD i = 0;; ++i) {
    char name[256];
    BYTE data[4096];
    DWORD nameLength = sizeof name, size = sizeof data, type = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    String v;
    if (type == REG_DWORD) {
      v = "REG_DWORD " + IntToStr(static_cast<int>(*reinterpret_cast<DWORD*>(data)));
    } else if (type == REG_SZ) {
      v = "REG_SZ \"" + String(reinterpret_cast<char*>(data)) + "\"";
    } else if (type == REG_BINARY && size <= 4) {
      v = "REG_BINARY";
      for (DWORD k = 0; k < size; ++k) v += " " + IntToHex(data[k], 2);
    } else if (type == REG_BINARY) {
      unsigned sum = 0;
      for (DWORD k = 0; k < size; ++k) sum += data[k];
      v = "REG_BINARY " + IntToStr(size) + " bytes, sum " + IntToStr(sum) + ", \"" +
          String(reinterpret_cast<char*>(data), 2) + "\"";
    } else {
      v = "type " + IntToStr(type);
    }
    values.push_back({String(name, nameLength), v});
  }
  std::sort(values.begin(), values.end(),
            [](const auto& a, const auto& b) { return AnsiUpperCase(a.first) < AnsiUpperCase(b.first); });
  for (const auto& [name, value] : values) out += "  " + name + " = " + value + "\r\n";
  std::vector<String> keys;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    keys.push_back(String(name, length));
  }
  std::sort(keys.begin(), keys.end(), NaturalLess);
  for (const String& k : keys) {
    HKEY sub;
    if (RegOpenKeyExA(key, k.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
    KeyText(sub, path + "\\" + k, out);
    RegCloseKey(sub);
  }
}

String TTestKey::Text() const {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, Path.substr(1).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "(none)";
  String out;
  KeyText(key, String(), out);
  RegCloseKey(key);
  return StringReplaceAll(out, "\r", "");
}

// The standard store for the test's lifetime; the path the manager asks
// for is recorded and its registry loads and saves go to the test key.
class TTestStore : public TdxBarStandardLayoutStore {
 public:
  explicit TTestStore(const String& key) : key_(key), previous_(dxBarSetLayoutStore(this)) {}
  ~TTestStore() override { dxBarSetLayoutStore(previous_); }
  void LoadFromRegistry(TdxBarManager* m, const String& path) override {
    Paths.push_back(path);
    TdxBarStandardLayoutStore::LoadFromRegistry(m, key_);
  }
  void SaveToRegistry(TdxBarManager* m, const String& path) override {
    Paths.push_back(path);
    TdxBarStandardLayoutStore::SaveToRegistry(m, key_);
  }
  std::vector<String> Paths;

 private:
  String key_;
  TdxBarLayoutStore* previous_;
};

String Resource(const char* name) {
  HRSRC res = FindResourceA(nullptr, name, MAKEINTRESOURCEA(10));
  if (!res) return String("(no resource ") + name + ")";
  String s(static_cast<const char*>(LockResource(LoadResource(nullptr, res))), SizeofResource(nullptr, res));
  return StringReplaceAll(s, "\r", "");
}

// Puts a text beside the screenshots, to compare with the expected one.
void KeepActual(const String& name, const String& text) {
  const char* shots = std::getenv("NEMBRA_SCREENSHOTS");
  if (shots) std::ofstream((String(shots) + "\\..\\" + name).c_str(), std::ios::binary) << text;
}

String Dump(TdxBarManager* m) { return StringReplaceAll(dxBarDumpModel(m), "\r", ""); }

// The lines of a text that start with one of the prefixes.
String Lines(const String& text, std::initializer_list<const char*> prefixes) {
  String out;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == String::npos) end = text.size();
    String line = text.substr(at, end - at);
    for (const char* p : prefixes)
      if (line.rfind(p, 0) == 0) {
        out += line + "\n";
        break;
      }
    at = end + 1;
  }
  return out;
}

TdxBarItemLink* LinkOf(TdxBarManager* m, const char* bar, int index) {
  return m->BarByCaption(bar)->ItemLinks()->Items(index);
}

// A 16 x 16 glyph with a pattern of its own.
void MakeGlyph(TBitmap& glyph) {
  glyph.SetSize(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) glyph.Canvas()->SetPixel(x, y, static_cast<TColor>(RGB(x * 16, y * 16, (x ^ y) * 8)));
}

// What a user changes: options, bars floated, moved and hidden, links
// hidden and overridden, a new toolbar, menus used and edited.
void Customise(TBarsFixtureForm* f) {
  TdxBarManager* m = f->Bar1;
  m->SetLargeIcons(true);
  m->SetShowHint(false);
  m->SetShowShortCutInHint(true);
  m->SetMenuAnimations(maSlide);
  m->SetMenusShowRecentItemsFirst(true);
  m->SetShowFullMenusAfterDelay(false);

  TdxBar* files = m->BarByCaption("Files");
  files->SetFloatLeft(310);
  files->SetFloatTop(220);
  files->SetFloatClientWidth(96);
  files->SetFloatClientHeight(30);
  files->SetDockingStyle(dsNone);
  TdxBar* batch = m->BarByCaption("Batch");
  batch->SetDockingStyle(dsBottom);
  batch->SetDockedLeft(40);
  batch->SetOneOnRow(true);
  m->BarByCaption("Help")->SetVisible(false);

  LinkOf(m, "Connections", 0)->SetUserCaption("&New");
  LinkOf(m, "Connections", 1)->SetVisible(false);
  LinkOf(m, "Connections", 2)->SetUserPaintStyle(psCaptionGlyph);
  LinkOf(m, "Connections", 3)->SetBeginGroup(true);
  LinkOf(m, "Utilities", 1)->SetUserWidth(150);
  TBitmap glyph;
  MakeGlyph(glyph);
  LinkOf(m, "Directories", 0)->SetUserGlyph(&glyph);

  TdxBar* mine = m->Bars()->Add();
  mine->SetCaption("My Tools");
  for (const char* name : {"ButtonDNS", "ButtonPing", "SubCommands"})
    mine->ItemLinks()->Add()->SetItem(m->GetItemByName(name));
  mine->ItemLinks()->Items(1)->SetBeginGroup(true);
  mine->SetDockingStyle(dsRight);
  mine->SetVisible(true);

  TdxBarItemLinks* filesMenu = f->Sub("Files")->ItemLinks();
  for (int i = 0; i < 3; ++i) filesMenu->Items(4)->BringToTopInRecentList(true);
  filesMenu->Items(1)->BringToTopInRecentList(true);
  TdxBarItemLinks* helpMenu = f->Sub("Help")->ItemLinks();
  helpMenu->Items(1)->Free();
  helpMenu->Add()->SetItem(f->Button("Dialer"));
}

}  // namespace

TEST(BarsLayout, ACustomisedFixtureComesBackFromTheRegistryAsItWas) {
  TTestKey key("RoundTrip");
  TTestStore store(key.Path);
  auto* form = new TBarsFixtureForm;
  Customise(form);
  String before = Dump(form->Bar1);
  form->Bar1->SaveToRegistry(form->Bar1->RegistryPath());
  TBitmap glyph;
  glyph.Assign(LinkOf(form->Bar1, "Directories", 0)->UserGlyph());
  form->Free();

  String text = key.Text();
  KeepActual("bars-layout-registry.txt", text);
  EXPECT_EQ(text, Resource("LAYOUTREGISTRY"));

  auto* fresh = new TBarsFixtureForm;
  EXPECT_EQ(Dump(fresh->Bar1), before);
  TBitmap* loaded = LinkOf(fresh->Bar1, "Directories", 0)->UserGlyph();
  ASSERT_EQ(loaded->Width(), 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(loaded->Canvas()->Pixel(x, y), glyph.Canvas()->Pixel(x, y)) << x << "," << y;
  // Both forms loaded through the manager's path when they were made.
  EXPECT_EQ(store.Paths, std::vector<String>(3, "\\Software\\Quellmark\\Nembra3\\Toolbars"));
  fresh->Free();
}

TEST(BarsLayout, AnIniFileKeepsOtherManagersAndDropsItsRemovedBars) {
  TTestKey none("IniRoundTrip");
  TTestStore store(none.Path);
  String file = MakeTempFolder("BarsLayoutIni") + "\\layout.ini";
  WriteFileBytes(file, "[Other.Bar1.Main]\r\nBarCount=1\r\n\r\n[FormMain.Bar1.Bar12]\r\nCaption=Gone\r\n\r\n");
  auto* form = new TBarsFixtureForm;
  Customise(form);
  form->Bar1->SaveToIniFile(file);
  String text = StringReplaceAll(ReadFileBytes(file), "\r", "");
  KeepActual("bars-layout.ini", text);
  EXPECT_EQ(text, Resource("LAYOUTINI"));

  // No glyph is kept in an INI file, so the link shows the item's again.
  TdxBarItemLink* glyphLink = LinkOf(form->Bar1, "Directories", 0);
  glyphLink->SetUserDefine(glyphLink->UserDefine() - TdxBarUserDefines(udGlyph));
  String expected = Dump(form->Bar1);
  form->Free();
  auto* fresh = new TBarsFixtureForm;
  fresh->Bar1->LoadFromIniFile(file);
  EXPECT_EQ(Dump(fresh->Bar1), expected);
  EXPECT_TRUE(LinkOf(fresh->Bar1, "Directories", 0)->UserGlyph()->Empty());
  fresh->Free();
}
