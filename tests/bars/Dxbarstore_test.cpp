// The saved bar layout in the registry and in INI files: the customised
// fixture comes back as it was, a floating bar comes back where it floated,
// the stores look as documented, stores written by hand load as expected,
// and damaged values spoil only their own bar or link.
//
// The bars' windows are real: a bar's docked and floating places are the
// ones its window reports, so the forms whose places count are shown.
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "Fixture.h"
#include "bars/Dxbarstore.h"
#include "bars/Dxbarwinitems.h"
#include "classlib/Registry.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

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
  void Del(const String& sub, const String& name) const {
    TRegistry r;
    if (Open(r, sub)) r.DeleteValue(name);
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

// The fixture shown at (20, 20); floating bars show with it. Loading its
// layout when it is made, it is still hidden.
struct TShownFixture {
  TBarsFixtureForm* Form;
  TShownFixture() {
    Form = new TBarsFixtureForm;
    Form->SetBounds(20, 20, 620, 440);
    Form->Show();
    EXPECT_TRUE(WaitVisible(Form->Handle()));
    // Its floating bars show now (as they do when the form is activated).
    Form->Bar1->SetHideFloatingBarsWhenInactive(false);
    ProcessQueuedMessages();
  }
  ~TShownFixture() { Form->Free(); }
  TdxBar* Bar(const char* caption) const { return Form->Bar1->BarByCaption(caption); }
};

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
  // Shown again at the bottom, where it goes when docked (hiding saves the
  // place it had).
  TdxBar* batch = m->BarByCaption("Batch");
  batch->SetVisible(false);
  batch->SetDockingStyle(dsBottom);
  batch->SetDockedLeft(40);
  batch->SetVisible(true);
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
  // The windows report where they went.
  ProcessQueuedMessages();
}

}  // namespace

TEST(BarsLayout, ACustomisedFixtureComesBackFromTheRegistryAsItWas) {
  TTestKey key("RoundTrip");
  TTestStore store(key.Path);
  String before;
  TBitmap glyph;
  {
    TShownFixture f;
    Customise(f.Form);
    before = Dump(f.Form->Bar1);
    f.Form->Bar1->SaveToRegistry(f.Form->Bar1->RegistryPath());
    glyph.Assign(LinkOf(f.Form->Bar1, "Directories", 0)->UserGlyph());
  }

  String text = key.Text();
  KeepActual("bars-layout-registry.txt", text);
  EXPECT_EQ(text, Resource("LAYOUTREGISTRY"));

  TShownFixture fresh;
  EXPECT_EQ(Dump(fresh.Form->Bar1), before);
  TBitmap* loaded = LinkOf(fresh.Form->Bar1, "Directories", 0)->UserGlyph();
  ASSERT_EQ(loaded->Width(), 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(loaded->Canvas()->Pixel(x, y), glyph.Canvas()->Pixel(x, y)) << x << "," << y;
  // Both forms loaded through the manager's path when they were made, and
  // the first one saved again as its window went.
  EXPECT_EQ(store.Paths, std::vector<String>(4, "\\Software\\Quellmark\\Nembra3\\Toolbars"));
}

TEST(BarsLayout, AFloatingBarAtShutDownComesBackFloatingInPlace) {
  TTestKey key("Floating");
  TTestStore store(key.Path);
  TRect placed;
  {
    TShownFixture f;
    TdxBar* files = f.Bar("Files");
    files->SetDockingStyle(dsNone);
    ASSERT_NE(files->Control(), nullptr);
    HWND wnd = files->Control()->Handle();
    ASSERT_TRUE(WaitVisible(wnd));
    RECT r;
    GetWindowRect(wnd, &r);
    int oneLine = r.bottom - r.top;
    // Moved and made narrower, so it wraps, as a person drags it by its
    // caption and its frame.
    TPoint lines = files->Control()->GetSizeForWidth(dsNone, 50);
    SetWindowPos(wnd, nullptr, 333, 244, lines.x + files->BarNCSizeX(dsNone), lines.y + files->BarNCSizeY(dsNone),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ProcessQueuedMessages();
    GetWindowRect(wnd, &r);
    placed = TRect(r);
    ASSERT_EQ(placed.TopLeft(), TPoint(333, 244));
    ASSERT_GT(placed.Height(), oneLine);
    SaveScreenshot(wnd, "before");
  }
  // The form's window going saved the layout.
  ASSERT_EQ(store.Paths.size(), 2u);

  TShownFixture fresh;
  TdxBar* files = fresh.Bar("Files");
  EXPECT_EQ(files->DockingStyle(), dsNone);
  ASSERT_NE(files->Control(), nullptr);
  HWND wnd = files->Control()->Handle();
  ASSERT_TRUE(WaitVisible(wnd));
  RECT r;
  GetWindowRect(wnd, &r);
  EXPECT_EQ(TRect(r), placed);
  SaveScreenshot(wnd, "after");
}

TEST(BarsLayout, AnIniFileKeepsOtherManagersAndDropsItsRemovedBars) {
  TTestKey none("IniRoundTrip");
  TTestStore store(none.Path);
  String file = MakeTempFolder("BarsLayoutIni") + "\\layout.ini";
  WriteFileBytes(file, "[Other.Bar1.Main]\r\nBarCount=1\r\n\r\n[FormMain.Bar1.Bar12]\r\nCaption=Gone\r\n\r\n");
  String expected;
  {
    TShownFixture f;
    Customise(f.Form);
    f.Form->Bar1->SaveToIniFile(file);
    // No glyph is kept in an INI file, so the link shows the item's again.
    TdxBarItemLink* glyphLink = LinkOf(f.Form->Bar1, "Directories", 0);
    glyphLink->SetUserDefine(glyphLink->UserDefine() - TdxBarUserDefines(udGlyph));
    expected = Dump(f.Form->Bar1);
  }
  String text = StringReplaceAll(ReadFileBytes(file), "\r", "");
  KeepActual("bars-layout.ini", text);
  EXPECT_EQ(text, Resource("LAYOUTINI"));

  TShownFixture fresh;
  fresh.Form->Bar1->LoadFromIniFile(file);
  ProcessQueuedMessages();
  EXPECT_EQ(Dump(fresh.Form->Bar1), expected);
  EXPECT_TRUE(LinkOf(fresh.Form->Bar1, "Directories", 0)->UserGlyph()->Empty());
}

namespace {

// A small form of its own: four buttons, a menu and three bars, the second
// one the main menu.
struct TToolsForm {
  TToolsForm() {
    Form->SetName("FormTools");
    for (const char* name : {"Open", "Save", "Print", "Quit"}) Form->Button(name, name);
    Sub = Form->SubItem("SubFile", "&File");
    Link(Sub->ItemLinks(), {"Open", "Save"});
    Standard = Bar("Standard", {"Open", "Save", "Print"});
    Menu = Bar("Menu", {"SubFile"});
    Menu->SetIsMainMenu(true);
    Format = Bar("Format", {"Quit"});
  }
  ~TToolsForm() { Form->Free(); }
  void Link(TdxBarItemLinks* links, std::initializer_list<const char*> names) {
    for (const char* name : names) links->Add()->SetItem(M->GetItemByName(name));
  }
  TdxBar* Bar(const char* caption, std::initializer_list<const char*> names) {
    TdxBar* bar = Form->AddBar(caption);
    Link(bar->ItemLinks(), names);
    bar->SetVisible(true);
    return bar;
  }
  TBarsForm* Form = new TBarsForm;
  TdxBarManager* M = Form->Manager;
  TdxBarSubItem* Sub;
  TdxBar *Standard, *Menu, *Format;
};

String Captions(TdxBarItemLinks* links) {
  String s;
  for (int i = 0; i < links->Count(); ++i)
    s += (i ? " " : "") + (links->Items(i)->Item() ? links->Items(i)->Item()->Name() : String("(none)"));
  return s;
}

}  // namespace

TEST(BarsLayout, TheRegistryKeyHoldsTheWritersKeysOnly) {
  TTestKey key("Writer");
  // What an earlier layout and others left under the key.
  key.Int("Bar7", "Row", 1);
  key.Str("bar12\\ItemLink0", "ItemName", "Open");
  key.Int("SubItem_Gone", "ItemLinkCount", 0);
  key.Int("Barrel", "Keep", 1);
  key.Int("Settings", "Keep", 1);
  key.Int("", "Keep", 1);

  TToolsForm f;
  // A link of an item without name leaves a gap; the separators written
  // are the ones set, not the ones shown (none on the first link, the
  // hidden link's on the next); a bar of the library's own is not saved.
  auto* nameless = new TdxBarButton(f.Form);
  TdxBarItemLinks* links = f.Standard->ItemLinks();
  links->Add()->SetItem(nameless);
  links->Items(3)->SetIndex(1);
  links->Items(0)->SetBeginGroup(true);
  links->Items(2)->SetVisible(false);
  links->Items(2)->SetBeginGroup(true);
  ASSERT_FALSE(links->Items(0)->BeginGroup());
  ASSERT_TRUE(links->Items(3)->BeginGroup());
  TdxBar* internal = f.Form->AddBar("More Buttons");
  internal->SetInternal(true);
  f.M->SetStyle(bmsStandard);
  dxBarStandardLayoutStore()->SaveToRegistry(f.M, key.Path);

  EXPECT_EQ(key.Text(), Resource("LAYOUTWRITER"));
  KeepActual("bars-layout-writer.txt", key.Text());

  // Loaded back: the gap closes, the separator is the stored one, the
  // internal bar is left alone.
  internal->SetVisible(true);
  f.M->SetStyle(bmsEnhanced);
  dxBarStandardLayoutStore()->LoadFromRegistry(f.M, key.Path);
  EXPECT_EQ(Captions(links), "Open Save Print");
  EXPECT_TRUE(links->Items(0)->StoredBeginGroup());
  EXPECT_TRUE(links->Items(1)->StoredBeginGroup());
  EXPECT_FALSE(links->Items(2)->StoredBeginGroup());
  EXPECT_TRUE(internal->Visible());
  EXPECT_EQ(f.M->Bars()->Count(), 4);
}

TEST(BarsLayout, AKeyWrittenValueByValueLoadsAsExpected) {
  TTestKey key("ByHand");
  key.Int("", "MenusShowRecentItemsFirst", 0);
  key.Int("", "ShowFullMenusAfterDelay", 0);
  key.Int("", "LargeIcons", 1);
  key.Int("", "MenuAnimations", 2);
  key.Int("", "ShowHint", 0);
  key.Int("", "ShowShortCutInHint", 1);
  key.Int("", "BarCount", 5);
  // Bar0: its links with a gap where an item without name was.
  key.Str("Bar0", "Caption", "Tools");
  for (const char* name : {"DockedLeft", "DockedTop", "OneOnRow", "FloatLeft", "FloatTop"}) key.Int("Bar0", name, 0);
  key.Int("Bar0", "DockedDockingStyle", dsTop);
  key.Int("Bar0", "Row", 2);
  key.Int("Bar0", "FloatClientWidth", 0);
  key.Int("Bar0", "FloatClientHeight", 0);
  key.Int("Bar0", "DockingStyle", dsLeft);
  key.Int("Bar0", "Visible", 1);
  key.Int("Bar0", "ItemLinkCount", 3);
  key.Str("Bar0\\ItemLink0", "ItemName", "print");
  key.Int("Bar0\\ItemLink0", "BeginGroup", 0);
  key.Bin("Bar0\\ItemLink0", "UserDefine", "\x0D");
  key.Str("Bar0\\ItemLink0", "UserCaption", "&Print it");
  key.Int("Bar0\\ItemLink0", "UserPaintStyle", psCaption);
  key.Int("Bar0\\ItemLink0", "UserWidth", 64);
  key.Int("Bar0\\ItemLink0", "Visible", 1);
  key.Int("Bar0\\ItemLink0", "UseCount", 5);
  key.Int("Bar0\\ItemLink0", "RecentIndex", 1);
  key.Str("Bar0\\ItemLink2", "ItemName", "Quit");
  key.Int("Bar0\\ItemLink2", "BeginGroup", 1);
  key.Bin("Bar0\\ItemLink2", "UserDefine", String(1, '\0'));
  key.Int("Bar0\\ItemLink2", "Visible", 0);
  key.Int("Bar0\\ItemLink2", "UseCount", 7);
  key.Int("Bar0\\ItemLink2", "RecentIndex", 0);
  // No Bar1 (the main menu) and no Bar2: a gap; Bar4 goes to a new bar.
  key.Str("Bar4", "Caption", "Extra");
  for (const char* name : {"DockedLeft", "DockedTop", "OneOnRow", "Row", "FloatClientWidth", "FloatClientHeight"})
    key.Int("Bar4", name, 0);
  key.Int("Bar4", "DockedDockingStyle", dsBottom);
  key.Int("Bar4", "FloatLeft", 500);
  key.Int("Bar4", "FloatTop", -20);
  key.Int("Bar4", "DockingStyle", dsNone);
  key.Int("Bar4", "Visible", 1);
  key.Int("Bar4", "ItemLinkCount", 1);
  key.Str("Bar4\\ItemLink0", "ItemName", "Save");
  key.Int("Bar4\\ItemLink0", "BeginGroup", 0);
  key.Int("SubItem_SubFile", "ItemLinkCount", 2);
  key.Str("SubItem_SubFile\\ItemLink0", "ItemName", "Quit");
  key.Int("SubItem_SubFile\\ItemLink0", "BeginGroup", 0);
  key.Str("SubItem_SubFile\\ItemLink1", "ItemName", "Open");
  key.Int("SubItem_SubFile\\ItemLink1", "BeginGroup", 1);

  TToolsForm f;
  f.Menu->SetVisible(false);
  dxBarStandardLayoutStore()->LoadFromRegistry(f.M, key.Path);
  String dump = Dump(f.M);
  KeepActual("bars-layout-byhand.txt", dump);
  EXPECT_EQ(Lines(dump, {"Manager.LargeIcons", "Manager.Menu", "Manager.Show", "Bar[", "SubItem["}),
            Resource("LAYOUTBYHAND"));
  EXPECT_FALSE(f.M->LockUpdate());
}

TEST(BarsLayout, ABadValueEndsOnlyItsBarOrLink) {
  struct TCase {
    const char* Name;
    std::function<void(const TTestKey&)> Damage;
    std::function<void(TToolsForm&)> Check;
    std::function<void(TToolsForm&)> Before = nullptr;
  } cases[] = {
      {"an option out of range",
       [](const TTestKey& k) { k.Int("", "MenuAnimations", 9); },
       [](TToolsForm& f) {
         EXPECT_EQ(f.M->MenuAnimations(), maNone);
         EXPECT_FALSE(f.M->ShowHint());
       }},
      {"a docking style out of range",
       [](const TTestKey& k) {
         k.Int("Bar0", "DockingStyle", 7);
         k.Int("Bar0", "Visible", 0);
       },
       [](TToolsForm& f) {
         EXPECT_TRUE(f.Standard->Visible());
         EXPECT_EQ(f.Standard->DockingStyle(), dsTop);
         EXPECT_EQ(f.Standard->FloatLeft(), 77);
       }},
      {"a bar without DockedLeft",
       [](const TTestKey& k) {
         k.Del("Bar2", "DockedLeft");
         k.Str("Bar2", "Caption", "Formatting");
       },
       [](TToolsForm& f) {
         EXPECT_TRUE(f.Format->Visible());
         EXPECT_EQ(f.Format->Caption(), "Formatting");
         EXPECT_EQ(f.Format->DockedDockingStyle(), dsBottom);
         EXPECT_EQ(f.Format->Row(), 0);
         EXPECT_EQ(f.Format->DockingStyle(), dsNone);
       },
       // Floating, so no docked window reports a place of its own.
       [](TToolsForm& f) { f.Format->SetDockingStyle(dsNone); }},
      {"a paint style out of range",
       [](const TTestKey& k) {
         k.Bin("Bar0\\ItemLink0", "UserDefine", "\x0C");
         k.Int("Bar0\\ItemLink0", "UserPaintStyle", 4);
         k.Int("Bar0\\ItemLink0", "UserWidth", 60);
       },
       [](TToolsForm& f) {
         EXPECT_EQ(Captions(f.Standard->ItemLinks()), "Open Save Print");
         EXPECT_EQ(f.Standard->ItemLinks()->Items(0)->UserWidth(), 0);
         EXPECT_EQ(f.Standard->ItemLinks()->Items(0)->UserPaintStyle(), psStandard);
       }},
      {"a user define with more than its four bits",
       [](const TTestKey& k) {
         k.Bin("Bar0\\ItemLink0", "UserDefine", "\xF1");
         k.Str("Bar0\\ItemLink0", "UserCaption", "O");
       },
       [](TToolsForm& f) {
         EXPECT_EQ(f.Standard->ItemLinks()->Items(0)->UserDefine(), TdxBarUserDefines(udCaption));
         EXPECT_EQ(f.Standard->ItemLinks()->Items(0)->Caption(), "O");
       }},
      {"a menu that holds itself",
       [](const TTestKey& k) { k.Str("SubItem_SubFile\\ItemLink0", "ItemName", "SubFile"); },
       [](TToolsForm& f) { EXPECT_EQ(Captions(f.Sub->ItemLinks()), "Save"); }},
      {"dock controls of another kind",
       [](const TTestKey& k) {
         k.Str("Bar0", "DockControl", "Open");
         k.Str("Bar0", "DockedDockControl", "FormTools.Bar1");
         k.Int("Bar0", "DockingStyle", dsBottom);
         k.Int("Bar0", "Visible", 0);
       },
       [](TToolsForm& f) {
         EXPECT_EQ(f.Standard->DockControl(), nullptr);
         EXPECT_EQ(f.Standard->DockedDockControl(), nullptr);
         EXPECT_EQ(f.Standard->DockingStyle(), dsBottom);
         EXPECT_FALSE(f.Standard->Visible());
       }},
      {"a glyph that is no bitmap",
       [](const TTestKey& k) {
         k.Bin("Bar0\\ItemLink0", "UserDefine", "\x02");
         k.Bin("Bar0\\ItemLink0", "UserGlyph", "BM not a bitmap");
       },
       [](TToolsForm& f) {
         EXPECT_EQ(Captions(f.Standard->ItemLinks()), "Open Save Print");
         EXPECT_TRUE(f.Standard->ItemLinks()->Items(0)->UserDefine().Empty());
         EXPECT_TRUE(f.Standard->ItemLinks()->Items(0)->UserGlyph()->Empty());
       }},
      {"counts far too large",
       [](const TTestKey& k) {
         k.Int("", "BarCount", 2000000000);
         k.Int("Bar0", "ItemLinkCount", 2000000000);
       },
       [](TToolsForm& f) {
         EXPECT_EQ(f.M->Bars()->Count(), 3);
         EXPECT_EQ(Captions(f.Standard->ItemLinks()), "Open Save Print");
       }},
      {"usage data under the standard style",
       [](const TTestKey&) {},
       [](TToolsForm& f) {
         EXPECT_TRUE(f.M->MenusShowRecentItemsFirst());
         EXPECT_EQ(f.Sub->ItemLinks()->Items(1)->UseCount(), 20);
       },
       [](TToolsForm& f) { f.M->SetStyle(bmsStandard); }},
  };
  for (const TCase& c : cases) {
    TTestKey key("Damaged");
    {
      TToolsForm saved;
      saved.M->SetMenuAnimations(maSlide);
      saved.M->SetShowHint(false);
      saved.M->SetMenusShowRecentItemsFirst(false);
      saved.Standard->SetFloatLeft(77);
      saved.Format->SetVisible(false);
      saved.Format->SetDockedDockingStyle(dsBottom);
      saved.Format->SetRow(3);
      for (int i = 0; i < 3; ++i) saved.Sub->ItemLinks()->Items(1)->BringToTopInRecentList(true);
      dxBarStandardLayoutStore()->SaveToRegistry(saved.M, key.Path);
    }
    c.Damage(key);
    TToolsForm f;
    if (c.Before) c.Before(f);
    SCOPED_TRACE(c.Name);
    dxBarStandardLayoutStore()->LoadFromRegistry(f.M, key.Path);
    c.Check(f);
  }
}

TEST(BarsLayout, AKeyValueOfTheWrongTypeEndsTheLoadingAndTheFormKeepsItsBars) {
  TTestKey key("WrongType");
  key.Int("", "LargeIcons", 1);
  key.Str("", "BarCount", "9");
  key.Str("Bar0", "Caption", "Elsewhere");
  {
    TToolsForm f;
    try {
      dxBarStandardLayoutStore()->LoadFromRegistry(f.M, key.Path);
      ADD_FAILURE() << "no error";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(e.Message, "Invalid data type for 'BarCount'");
    }
    EXPECT_FALSE(f.M->LockUpdate());
    EXPECT_FALSE(f.M->LargeIcons());
    EXPECT_TRUE(f.Standard->Visible());
    EXPECT_EQ(f.Standard->Caption(), "Standard");
  }
  // The form loading its layout goes on with the bars it defines.
  TTestStore store(key.Path);
  auto* form = new TBarsFixtureForm;
  EXPECT_EQ(Dump(form->Bar1), Resource("FIXTUREDUMP"));
  form->Free();
}

namespace {
std::vector<String> gLogged;
void RecordLogged(TObject* sender, const String& message) {
  gLogged.push_back((sender ? sender->ClassName() + ": " : String()) + message);
}
}  // namespace

TEST(BarsLayout, AStoredLayoutTheFormCannotLoadIsLoggedNotShown) {
  TTestKey key("Unloadable");
  key.Str("", "BarCount", "9");
  TTestStore store(key.Path);
  TScopedDialogs dialogs;
  gLogged.clear();
  TErrorLog previous = SetExceptionLog(RecordLogged);
  auto* form = new TBarsFixtureForm;
  ProcessQueuedMessages();
  SetExceptionLog(previous);
  EXPECT_EQ(gLogged, std::vector<String>{"TdxBarManager: Invalid data type for 'BarCount'"});
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
  EXPECT_EQ(Dump(form->Bar1), Resource("FIXTUREDUMP"));
  form->Free();
}

TEST(BarsLayout, PathsNameKeysBelowTheRoot) {
  struct TCase {
    const char* Path;
    const char* Want;
  } cases[] = {{"", ""},
               {"\\", ""},
               {"\\\\", ""},
               {"Software\\Quellmark\\X\\", "\\Software\\Quellmark\\X"},
               {"\\Software\\Quellmark\\X", "\\Software\\Quellmark\\X"}};
  for (const TCase& c : cases) EXPECT_EQ(dxBarLayoutKey(c.Path), c.Want) << c.Path;

  TTestKey key("Paths");
  TToolsForm f;
  dxBarStandardLayoutStore()->SaveToRegistry(f.M, key.Path.substr(1) + "\\");
  f.Standard->SetCaption("Changed");
  dxBarStandardLayoutStore()->LoadFromRegistry(f.M, key.Path);
  EXPECT_EQ(f.Standard->Caption(), "Standard");
  // An empty path saves and loads nothing.
  dxBarStandardLayoutStore()->SaveToRegistry(f.M, "");
  f.Standard->SetCaption("Changed");
  dxBarStandardLayoutStore()->LoadFromRegistry(f.M, "");
  EXPECT_EQ(f.Standard->Caption(), "Changed");
}

TEST(BarsLayout, AnIniFileWrittenByHandTakesDefaultsForWhatItLacks) {
  String file = MakeTempFolder("BarsLayoutIniByHand") + "\\layout.ini";
  WriteFileBytes(file,
                 "[FormTools.Bar1.Main]\r\nBarCount=3\r\nLargeIcons=yes\r\nShowHint=0\r\n\r\n"
                 "[FormTools.Bar1.Bar0]\r\nRow=0\r\nCaption=Standard\r\nItemLinkCount=4\r\nDockingStyle=3\r\n"
                 "Visible=1\r\n\r\n"
                 "[FormTools.Bar1.Bar0.ItemLink0]\r\nItemName=Save\r\nUserDefine=8\r\n\r\n"
                 "[FormTools.Bar1.Bar0.ItemLink1]\r\nItemName=\r\n\r\n"
                 "[FormTools.Bar1.Bar0.ItemLink3]\r\nItemName=Quit\r\nUserDefine=18\r\nVisible=0\r\n\r\n"
                 "[FormTools.Bar1.Bar2]\r\nRow=1\r\nDockingStyle=9\r\nCaption=Fmt\r\n\r\n"
                 "[FormTools.Bar1.SubItem_SubFile]\r\n\r\n");
  TToolsForm f;
  f.Menu->SetVisible(false);
  // Floating, so no docked window reports a row of its own.
  f.Format->SetDockingStyle(dsNone);
  dxBarStandardLayoutStore()->LoadFromIniFile(f.M, file);
  EXPECT_FALSE(f.M->LargeIcons());
  EXPECT_FALSE(f.M->ShowHint());
  // The width of a link with its width bit but no width is 100; a glyph bit
  // without a glyph goes.
  EXPECT_EQ(Captions(f.Standard->ItemLinks()), "Save Quit");
  EXPECT_EQ(f.Standard->ItemLinks()->Items(0)->UserWidth(), 100);
  EXPECT_TRUE(f.Standard->ItemLinks()->Items(1)->UserDefine().Empty());
  EXPECT_FALSE(f.Standard->ItemLinks()->Items(1)->Visible());
  EXPECT_EQ(f.Standard->DockingStyle(), dsRight);
  EXPECT_TRUE(f.Standard->Visible());
  // The main menu without a section shows; a bar with a bad docking style
  // shows with what was read before it.
  EXPECT_TRUE(f.Menu->Visible());
  EXPECT_TRUE(f.Format->Visible());
  EXPECT_EQ(f.Format->Row(), 1);
  EXPECT_EQ(f.Format->Caption(), "Fmt");
  EXPECT_EQ(f.Format->DockingStyle(), dsNone);
  // A menu section without a count leaves the menu as it was.
  EXPECT_EQ(Captions(f.Sub->ItemLinks()), "Open Save");
}
