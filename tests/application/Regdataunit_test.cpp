#include "application/frame/Regdataunit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "classlib/Forms.h"

namespace {
// Every test runs under a title of its own, so the real settings are never
// touched; the key goes again at the end.
struct RegTest : ::testing::Test {
  void SetUp() override {
    savedTitle_ = Application->Title;
    Application->Title = "NembraTest-settings-" + IntToStr(GetCurrentProcessId());
    TRegistry r;
    r.DeleteKey(TReg::GetKeyPath());
  }
  void TearDown() override {
    TRegistry r;
    r.DeleteKey(TReg::GetKeyPath());
    // Drop the company key too when only tests made it.
    if (r.OpenKeyReadOnly("\\Software\\Quellmark")) {
      TStringList values;
      r.GetValueNames(&values);
      bool empty = !r.HasSubKeys() && values.Count() == 0;
      r.CloseKey();
      if (empty) r.DeleteKey("\\Software\\Quellmark");
    }
    Application->Title = savedTitle_;
  }

  // Stores a raw value of any type under a section of the test title.
  static void PutRaw(const String& section, const String& name, DWORD type, const void* data, DWORD size) {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(TReg::GetKeyPath() + section, true));
    ASSERT_EQ(RegSetValueExA(r.CurrentKey(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
  }
  static void PutDword(const String& section, const String& name, int v) {
    PutRaw(section, name, REG_DWORD, &v, sizeof v);
  }
  static TRegDataType TypeOf(const String& section, const String& name) {
    TRegistry r;
    r.OpenKeyReadOnly(TReg::GetKeyPath() + section);
    return r.GetDataType(name);
  }
  static std::optional<int> Stored(const String& section, const String& name) {
    TRegistry r;
    if (!r.OpenKeyReadOnly(TReg::GetKeyPath() + section) || !r.ValueExists(name)) return std::nullopt;
    return r.ReadInteger(name);
  }
  static bool KeyExists(const String& section) {
    TRegistry r;
    return r.KeyExists(TReg::GetKeyPath() + section);
  }

  String savedTitle_;
};

// Records what the placement operations do to a window.
struct FakeWindow : TPlacementWindow {
  explicit FakeWindow(const String& name) : name(name) {}
  String PlacementName() const override { return name; }
  TPlacementState PlacementState() const override { return state; }
  RECT NormalBounds() const override { return bounds; }
  void SetNormalBounds(const RECT& b) override {
    bounds = b;
    ++boundsSet;
  }
  void Maximize() override { ++maximized; }
  String name;
  TPlacementState state = psNormal;
  RECT bounds{0, 0, 100, 50};
  int boundsSet = 0, maximized = 0;
};
}  // namespace

TEST_F(RegTest, TypedValuesRoundTripWithTheirRegistryTypes) {
  EXPECT_EQ(TReg::GetKeyPath(), "\\Software\\Quellmark\\" + Application->Title + "\\");
  TReg::WriteString(SettingsSection, "LastDir", "C:\\Data");
  TReg::WriteInteger(SettingsSection, "LocalListSize", -7);
  TReg::WriteBool(SettingsSection, "Lanline", true);
  TReg::WriteBool(SettingsSection, "KeepAlive", false);

  EXPECT_EQ(TReg::ReadString(SettingsSection, "LastDir"), "C:\\Data");
  EXPECT_EQ(TReg::ReadInteger(SettingsSection, "LocalListSize"), -7);
  EXPECT_TRUE(TReg::ReadBool(SettingsSection, "Lanline"));
  EXPECT_FALSE(TReg::ReadBool(SettingsSection, "KeepAlive"));
  EXPECT_EQ(TypeOf(SettingsSection, "LastDir"), rdString);
  EXPECT_EQ(TypeOf(SettingsSection, "LocalListSize"), rdInteger);
  EXPECT_EQ(TypeOf(SettingsSection, "Lanline"), rdInteger);
  EXPECT_EQ(Stored(SettingsSection, "Lanline"), 1);
  EXPECT_EQ(Stored(SettingsSection, "KeepAlive"), 0);

  // Any non-zero integer is true.
  PutDword(SettingsSection, "TimeOutDisable", 7);
  EXPECT_TRUE(TReg::ReadBool(SettingsSection, "TimeOutDisable"));
}

TEST_F(RegTest, MissingValuesGiveDefaultsAndReadsMakeNoKey) {
  EXPECT_EQ(TReg::ReadString("Nothing", "LastDir"), "");
  EXPECT_EQ(TReg::ReadInteger("Nothing", "LastShortcut"), 0);
  EXPECT_FALSE(TReg::ReadBool("Nothing", "Lanline"));
  EXPECT_EQ(TReg::ReadSettingInteger("TimeOut"), 30);
  FakeWindow w("FormNothing");
  TReg::LoadFormPlacement(w);
  EXPECT_EQ(w.boundsSet, 1);
  EXPECT_FALSE(KeyExists("Nothing"));
  EXPECT_FALSE(KeyExists(SettingsSection));
  EXPECT_FALSE(KeyExists("FormNothing"));

  TReg::WriteString(SettingsSection, "Other", "x");
  EXPECT_EQ(TReg::ReadString(SettingsSection, "LastDir"), "");
  EXPECT_EQ(TReg::ReadInteger(SettingsSection, "LastShortcut"), 0);
}

TEST_F(RegTest, ValuesOfAnotherTypeOrSizeReadAsTheDefaultAndWritesReplaceThem) {
  const char text[] = "12";
  const uint8_t four[4] = {5, 0, 0, 0};
  const uint8_t two[2] = {5, 0};
  const uint64_t qword = 5;
  PutRaw(SettingsSection, "Text", REG_SZ, text, sizeof text);
  PutRaw(SettingsSection, "Binary", REG_BINARY, four, sizeof four);
  PutRaw(SettingsSection, "Short", REG_DWORD, two, sizeof two);
  PutRaw(SettingsSection, "Qword", REG_QWORD, &qword, sizeof qword);
  PutDword(SettingsSection, "Number", 12);
  const char expand[] = "%TEMP%\\x";
  PutRaw(SettingsSection, "Expand", REG_EXPAND_SZ, expand, sizeof expand);

  for (const char* name : {"Text", "Binary", "Short", "Qword"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(TReg::ReadInteger(SettingsSection, name), 0);
    EXPECT_FALSE(TReg::ReadBool(SettingsSection, name));
  }
  EXPECT_EQ(TReg::ReadString(SettingsSection, "Number"), "");
  EXPECT_EQ(TReg::ReadString(SettingsSection, "Binary"), "");
  EXPECT_EQ(TReg::ReadString(SettingsSection, "Expand"), "%TEMP%\\x");

  PutRaw(SettingsSection, "TimeOut", REG_SZ, text, sizeof text);
  EXPECT_EQ(TReg::ReadSettingInteger("TimeOut"), 30);
  // A placement of the wrong type counts as none.
  PutRaw("FormMain", "MaxState", REG_SZ, text, sizeof text);
  FakeWindow w("FormMain");
  TReg::LoadFormPlacement(w);
  EXPECT_EQ(w.maximized, 1);

  TReg::WriteInteger(SettingsSection, "Text", 3);
  TReg::WriteString(SettingsSection, "Number", "now text");
  EXPECT_EQ(TypeOf(SettingsSection, "Text"), rdInteger);
  EXPECT_EQ(TReg::ReadInteger(SettingsSection, "Text"), 3);
  EXPECT_EQ(TypeOf(SettingsSection, "Number"), rdString);
  EXPECT_EQ(TReg::ReadString(SettingsSection, "Number"), "now text");
}

TEST_F(RegTest, SettingsDefaultsAndLimits) {
  struct Case {
    const char* name;
    std::optional<int> stored;
    int read;
  };
  const Case cases[] = {
      {"LocalListSize", std::nullopt, 120},
      {"LocalListSize", -5, 120},
      {"LocalListSize", 300, 300},
      {"LocalDirSize", 0, 160},
      {"LocalDirSize", 1, 1},
      {"RemoteDirSize", std::nullopt, 160},
      {"Column1Size", 0, 180},
      {"Column2Size", -1, 80},
      {"Column3Size", std::nullopt, 80},
      {"Column4Size", 0, 80},
      {"Column4Size", 95, 95},
      {"StoSSize", 0, 331},
      {"TimeOut", std::nullopt, 30},
      {"TimeOut", 0, 30},
      {"TimeOut", -4, 30},
      {"TimeOut", 45, 45},
      {"Noop", std::nullopt, 120},
      {"Noop", 0, 120},
      {"Noop", 1, 1},
      {"Noop", 300, 300},
      {"Noop", 301, 120},
      {"Noop", -2, 120},
      {"BufSize", std::nullopt, 1514},
      {"BufSize", 0, 1514},
      {"BufSize", -3, 1514},
      {"BufSize", 4096, 4096},
      {"BufSize", 65536, 65536},
      {"BufSize", 70000, 65536},
      {"ShareAccess", 3, 3},
      {"ShareAccess", 7, 0},
      {"ShareAccess", -1, 0},
      {"LastShortcut", std::nullopt, 0},
      {"LastShortcut", -1, -1},
      {"LastShortcut", 4, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Format("%s %d", c.name, c.stored.value_or(INT32_MIN)));
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(TReg::GetKeyPath() + SettingsSection, true));
    r.DeleteValue(c.name);
    if (c.stored) r.WriteInteger(c.name, *c.stored);
    r.CloseKey();
    EXPECT_EQ(TReg::ReadSettingInteger(c.name), c.read);
    EXPECT_EQ(Stored(SettingsSection, c.name), c.stored);  // the stored value stays
  }
}

// ---------------------------------------------------------------- placement

namespace {
struct PlacementTest : RegTest {
  void SetUp() override {
    RegTest::SetUp();
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "NembraPlacementTest";
    RegisterClassA(&wc);
    wnd = CreateWindowExA(0, wc.lpszClassName, "placement", WS_OVERLAPPEDWINDOW, 100, 120, 400, 300, nullptr, nullptr,
                          wc.hInstance, nullptr);
    ASSERT_NE(wnd, nullptr);
  }
  void TearDown() override {
    DestroyWindow(wnd);
    RegTest::TearDown();
  }
  RECT Bounds() const {
    RECT r;
    GetWindowRect(wnd, &r);
    return r;
  }
  static RECT WorkArea() {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi);
    return mi.rcWork;
  }
  void ExpectCentred(LONG width, LONG height) const {
    RECT b = Bounds(), wa = WorkArea();
    EXPECT_EQ(b.right - b.left, width);
    EXPECT_EQ(b.bottom - b.top, height);
    EXPECT_NEAR((b.left + b.right) / 2, (wa.left + wa.right) / 2, 1);
    EXPECT_NEAR((b.top + b.bottom) / 2, (wa.top + wa.bottom) / 2, 1);
  }
  void Store(std::optional<int> maxState, std::optional<int> left, std::optional<int> top, std::optional<int> width,
             std::optional<int> height, const String& name = "FormTest") {
    TRegistry r;
    r.DeleteKey(TReg::GetKeyPath() + name);
    ASSERT_TRUE(r.OpenKey(TReg::GetKeyPath() + name, true));
    if (maxState) r.WriteInteger("MaxState", *maxState);
    if (left) r.WriteInteger("Left", *left);
    if (top) r.WriteInteger("Top", *top);
    if (width) r.WriteInteger("Width", *width);
    if (height) r.WriteInteger("Height", *height);
  }
  HWND wnd = nullptr;
};
}  // namespace

TEST_F(PlacementTest, SavingFollowsTheWindowState) {
  // Normal: all five values.
  SetWindowPos(wnd, nullptr, 50, 60, 420, 310, SWP_NOZORDER | SWP_NOACTIVATE);
  TReg::SaveFormPlacement(wnd, "FormTest");
  EXPECT_EQ(Stored("FormTest", "MaxState"), 0);
  EXPECT_EQ(Stored("FormTest", "Left"), 50);
  EXPECT_EQ(Stored("FormTest", "Top"), 60);
  EXPECT_EQ(Stored("FormTest", "Width"), 420);
  EXPECT_EQ(Stored("FormTest", "Height"), 310);
  EXPECT_EQ(TypeOf("FormTest", "MaxState"), rdInteger);

  // Maximised: "MaxState" only; the normal bounds of before stay.
  SetWindowPos(wnd, nullptr, 70, 80, 500, 400, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(wnd, SW_MAXIMIZE);
  ASSERT_TRUE(IsZoomed(wnd));
  TReg::SaveFormPlacement(wnd, "FormTest");
  EXPECT_EQ(Stored("FormTest", "MaxState"), 1);
  EXPECT_EQ(Stored("FormTest", "Left"), 50);
  EXPECT_EQ(Stored("FormTest", "Width"), 420);

  // Minimised: nothing changes, and no key is made for a new name.
  ShowWindow(wnd, SW_RESTORE);
  ShowWindow(wnd, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(wnd));
  TReg::SaveFormPlacement(wnd, "FormTest");
  TReg::SaveFormPlacement(wnd, "FormOther");
  EXPECT_EQ(Stored("FormTest", "MaxState"), 1);
  EXPECT_FALSE(KeyExists("FormOther"));
}

TEST_F(PlacementTest, LoadingAStoredPlacement) {
  Store(1, 10, 10, 200, 200);
  TReg::LoadFormPlacement(wnd, "FormTest");
  EXPECT_TRUE(IsZoomed(wnd));
  ShowWindow(wnd, SW_HIDE);
  ShowWindow(wnd, SW_RESTORE);
  ShowWindow(wnd, SW_HIDE);

  Store(0, 30, 40, 640, 480);
  TReg::LoadFormPlacement(wnd, "FormTest");
  EXPECT_FALSE(IsZoomed(wnd));
  RECT b = Bounds();
  EXPECT_EQ(b.left, 30);
  EXPECT_EQ(b.top, 40);
  EXPECT_EQ(b.right, 30 + 640);
  EXPECT_EQ(b.bottom, 40 + 480);

  // Only the stored values are applied.
  Store(0, std::nullopt, 90, std::nullopt, 250);
  TReg::LoadFormPlacement(wnd, "FormTest");
  b = Bounds();
  EXPECT_EQ(b.left, 30);
  EXPECT_EQ(b.top, 90);
  EXPECT_EQ(b.right - b.left, 640);
  EXPECT_EQ(b.bottom - b.top, 250);

  // A saved placement comes back.
  SetWindowPos(wnd, nullptr, 111, 122, 333, 244, SWP_NOZORDER | SWP_NOACTIVATE);
  TReg::SaveFormPlacement(wnd, "FormTest");
  SetWindowPos(wnd, nullptr, 0, 0, 500, 500, SWP_NOZORDER | SWP_NOACTIVATE);
  TReg::LoadFormPlacement(wnd, "FormTest");
  b = Bounds();
  EXPECT_EQ(b.left, 111);
  EXPECT_EQ(b.top, 122);
  EXPECT_EQ(b.right - b.left, 333);
  EXPECT_EQ(b.bottom - b.top, 244);
}

TEST_F(PlacementTest, WithoutAStoredPlacementTheMainWindowIsMaximisedAndOthersCentred) {
  TReg::LoadFormPlacement(wnd, "FormStoS");
  EXPECT_FALSE(IsZoomed(wnd));
  ExpectCentred(400, 300);
  EXPECT_FALSE(KeyExists("FormStoS"));

  TReg::LoadFormPlacement(wnd, "FormMain");
  EXPECT_TRUE(IsZoomed(wnd));
}

TEST_F(PlacementTest, APlacementOffEveryMonitorIsCentred) {
  Store(0, -20000, -20000, 420, 310);
  TReg::LoadFormPlacement(wnd, "FormTest");
  ExpectCentred(420, 310);

  RECT vs{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN)};
  vs.right = vs.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
  vs.bottom = vs.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
  Store(0, vs.right + 10, 100, 420, 310);
  TReg::LoadFormPlacement(wnd, "FormTest");
  ExpectCentred(420, 310);

  // A window that still meets a monitor stays where it was put.
  Store(0, vs.right - 20, 100, 420, 310);
  TReg::LoadFormPlacement(wnd, "FormTest");
  EXPECT_EQ(Bounds().left, vs.right - 20);

  // A stored size of nothing is not applied.
  Store(0, 10, 20, 0, -5);
  TReg::LoadFormPlacement(wnd, "FormTest");
  RECT b = Bounds();
  EXPECT_EQ(b.left, 10);
  EXPECT_EQ(b.right - b.left, 420);
  EXPECT_EQ(b.bottom - b.top, 310);
}
