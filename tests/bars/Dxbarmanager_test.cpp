// The bar manager: construction, hooks, layout values, colours, fonts,
// loading, hints, auto-hidden bars and update locks.
#include "Barstest.h"
#include "support/Testutil.h"

namespace {

class TDataModule : public TComponent {
 public:
  using TComponent::TComponent;
};

String ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (Exception& e) {
    return e.Message;
  }
  return "(no error)";
}

}  // namespace

TEST(BarsManager, RefusesASecondManagerAndAnOwnerThatIsNoForm) {
  TScopedBarSystem sys;
  auto* form = new TBarsForm;
  ASSERT_EQ(sys.System.HookCalls.size(), 3u);
  EXPECT_EQ(ErrorOf([&] { new TdxBarManager(form); }), "A Form should contain only a single TdxBarManager");
  TComponent* module = new TDataModule(nullptr);
  EXPECT_EQ(ErrorOf([&] { new TdxBarManager(module); }),
            "TdxBarManager should have as its Owner - TForm (TCustomForm)");
  EXPECT_EQ(dxBarManagerList->Count(), 1);
  EXPECT_EQ(form->ComponentCount(), 1);
  EXPECT_EQ(module->ComponentCount(), 0);
  module->Free();
  form->Free();
  // The refused managers installed and removed nothing.
  std::vector<String> want = {"set 2", "set 7", "set 4", "remove 4", "remove 7", "remove 2"};
  EXPECT_EQ(sys.System.HookCalls, want);
  EXPECT_EQ(dxBarManagerList->Count(), 0);
}

TEST(BarsManager, TheFirstManagerHooksTheThreadAndTheLastUnhooksIt) {
  TScopedBarSystem sys;
  auto* a = new TBarsForm;
  ASSERT_NE(dxBarHintWindow(), nullptr);
  auto* b = new TBarsForm;
  EXPECT_EQ(sys.System.HookCalls.size(), 3u);
  EXPECT_EQ(dxBarManagerList->Count(), 2);
  EXPECT_EQ(GetBarManagerByForm(b), b->Manager);
  a->Free();
  EXPECT_EQ(sys.System.HookCalls.size(), 3u);
  EXPECT_NE(dxBarHookHandle(WH_MOUSE), nullptr);
  EXPECT_NE(dxBarHintWindow(), nullptr);
  b->Free();
  std::vector<String> want = {"set 2", "set 7", "set 4", "remove 4", "remove 7", "remove 2"};
  EXPECT_EQ(sys.System.HookCalls, want);
  EXPECT_EQ(dxBarHookHandle(WH_KEYBOARD), nullptr);
  EXPECT_EQ(dxBarHintWindow(), nullptr);
}

TEST(BarsManager, FlatColoursOfTheWorkedExample) {
  TScopedBarSystem sys;
  sys.System.Colors[COLOR_BTNFACE] = RGB(212, 208, 200);
  sys.System.Colors[COLOR_BTNSHADOW] = RGB(128, 128, 128);
  sys.System.Colors[COLOR_HIGHLIGHT] = RGB(10, 36, 106);
  sys.System.Colors[COLOR_WINDOW] = RGB(255, 255, 255);
  auto* form = new TBarsForm;
  TdxBarManager* m = form->Manager;
  // The screen has true colour: the nearest colour is the colour itself.
  EXPECT_EQ(m->FlatToolbarsBorderColor(), RGB(102, 102, 102));
  EXPECT_EQ(m->FlatToolbarsColor(), RGB(219, 216, 209));
  EXPECT_EQ(m->FlatToolbarsDownedColor(), RGB(210, 212, 218));
  EXPECT_EQ(m->FlatToolbarsDownedSelColor(), RGB(136, 147, 177));
  EXPECT_EQ(m->FlatToolbarsSelColor(), RGB(183, 191, 212));
  for (COLORREF face : {RGB(0, 0, 0), RGB(255, 255, 255)}) {
    sys.System.Colors[COLOR_BTNFACE] = face;
    EXPECT_EQ(m->FlatToolbarsDownedColor(), RGB(10, 36, 106));
    EXPECT_EQ(m->FlatToolbarsDownedSelColor(), RGB(10, 36, 106));
    EXPECT_EQ(m->FlatToolbarsSelColor(), RGB(10, 36, 106));
  }
  EXPECT_NE(m->FlatToolbarsSelBrush(), nullptr);
  form->Free();
}

TEST(BarsManager, LayoutValuesFollowStyleArrowWidthAndIcons) {
  auto* form = new TBarsForm;
  TdxBarManager* m = form->Manager;
  EXPECT_EQ(m->Style(), bmsEnhanced);
  EXPECT_EQ(m->GripOffset(), 1);
  EXPECT_EQ(m->GripSize(), 6);
  EXPECT_EQ(m->StyleIndent(), 12);
  EXPECT_EQ(m->GlyphSize(), 16);
  EXPECT_EQ(m->ButtonWidth(), 23);
  EXPECT_EQ(m->ButtonHeight(), 22);
  EXPECT_EQ(m->RealButtonArrowWidth(), 11);
  m->SetStyle(bmsFlat);
  EXPECT_EQ(m->StyleIndent(), 8);
  EXPECT_EQ(m->RealButtonArrowWidth(), 10);
  EXPECT_EQ(m->RealLargeButtonArrowWidth(), 12);
  m->SetButtonArrowWidth(1);
  EXPECT_EQ(m->ButtonArrowWidth(), 11);
  m->SetButtonArrowWidth(12);
  EXPECT_EQ(m->RealButtonArrowWidth(), 12);
  m->SetStyle(bmsStandard);
  EXPECT_EQ(m->GripOffset(), 2);
  EXPECT_EQ(m->GripSize(), 9);
  EXPECT_EQ(m->StyleIndent(), 2);
  EXPECT_EQ(m->RealButtonArrowWidth(), 13);
  m->SetButtonArrowWidth(11);
  m->SetLargeIcons(true);
  EXPECT_EQ(m->GlyphSize(), 32);
  EXPECT_EQ(m->ButtonWidth(), 39);
  EXPECT_EQ(m->RealButtonArrowWidth(), 23);
  m->SetWaitForDockingTime(-5);
  EXPECT_EQ(m->WaitForDockingTime(), 21);
  form->Free();
}

TEST(BarsManager, RecentlyUsedThresholds) {
  auto* form = new TBarsForm;
  TdxBarManager* m = form->Manager;
  struct TCase {
    int Percents, Stored, UseCount;
  } cases[] = {{95, 95, 20}, {50, 50, 2}, {0, 0, 1}, {99, 99, 100}, {150, 100, 0}, {100, 100, 0}};
  for (const auto& c : cases) {
    m->SetMostRecentItemsPercents(c.Percents);
    EXPECT_EQ(m->MostRecentItemsPercents(), c.Stored) << c.Percents;
    EXPECT_EQ(m->MostRecentlyUsedUseCount(), c.UseCount) << c.Percents;
  }
  form->Free();
}

TEST(BarsManager, DockColorFollowsTheFormUntilSet) {
  auto* form = new TBarsForm;
  TdxBarManager* m = form->Manager;
  form->SetColor(clTeal);
  EXPECT_EQ(m->DockColor(), clTeal);
  m->SetDockColor(clNavy);
  EXPECT_FALSE(m->AutoDockColor());
  EXPECT_EQ(m->DockColor(), clNavy);
  EXPECT_NE(dxBarDumpModel(m).find("Manager.DockColor = 00800000"), String::npos);
  form->Free();
}

TEST(BarsManager, TheSystemFontStaysUntilTheFontIsChanged) {
  NONCLIENTMETRICSA ncm{};
  ncm.cbSize = sizeof ncm;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0));
  auto* form = new TForm(nullptr);
  auto* m = new TdxBarManager(form);
  ASSERT_TRUE(m->IsLoading());
  // As streamed: a font, then UseSystemFont.
  TFont tahoma;
  tahoma.SetName("Tahoma");
  tahoma.SetHeight(-11);
  m->SetFont(&tahoma);
  EXPECT_FALSE(m->UseSystemFont());
  m->SetUseSystemFont(true);
  form->EndLoading();
  EXPECT_TRUE(m->UseSystemFont());
  EXPECT_EQ(m->Font()->Name(), ncm.lfMenuFont.lfFaceName);
  EXPECT_EQ(m->Font()->Height(), ncm.lfMenuFont.lfHeight);
  // A later change clears it; Scaled keeps the menu font's height.
  m->Font()->SetName("Courier New");
  EXPECT_FALSE(m->UseSystemFont());
  EXPECT_EQ(m->Font()->Name(), "Courier New");
  EXPECT_EQ(m->Font()->Height(), ncm.lfMenuFont.lfHeight);
  EXPECT_NE(m->EditFontHandle(), nullptr);
  form->Free();
}

TEST(BarsManager, LoadedReadsTheRegistryThenTheIniFile) {
  TRecordingStore store;
  TdxBarLayoutStore* previous = dxBarSetLayoutStore(&store);
  auto* form = new TForm(nullptr);
  auto* m = new TdxBarManager(form);
  m->SetStoreInIniFile(true);
  m->SetIniFileName("bars.ini");
  m->SetStoreInRegistry(true);
  m->SetRegistryPath("\\Software\\Quellmark\\Nembra3\\Toolbars");
  EXPECT_TRUE(store.Calls.empty());
  form->EndLoading();
  std::vector<String> want = {"registry \\Software\\Quellmark\\Nembra3\\Toolbars", "ini bars.ini"};
  EXPECT_EQ(store.Calls, want);
  // A copy of the form being read loads nothing.
  store.Calls.clear();
  auto* other = new TForm(nullptr);
  auto* m2 = new TdxBarManager(other);
  m2->SetStoreInRegistry(true);
  dxBarReadingFormCopy = true;
  other->EndLoading();
  dxBarReadingFormCopy = false;
  EXPECT_TRUE(store.Calls.empty());
  other->Free();
  form->Free();
  dxBarSetLayoutStore(previous);
}

TEST(BarsManager, LocksNestAndUnlockUpdatesTheDocks) {
  auto* form = new TBarsForm;
  TdxBarManager* m = form->Manager;
  TdxDockControl* top = m->Bars()->GetDockControl(dsTop);
  TdxBar* bar = form->AddBar("Tools");
  bar->ItemLinks()->Add()->SetItem(form->Button("B", "B"));
  bool outer = m->LockUpdate();
  m->SetLockUpdate(true);
  {
    bool inner = m->LockUpdate();
    m->SetLockUpdate(true);
    m->SetLockUpdate(inner);
  }
  EXPECT_TRUE(m->LockUpdate());
  // Locked: the bar joins the site but the site neither lays out nor grows.
  bar->SetVisible(true);
  ASSERT_NE(bar->Control(), nullptr);
  EXPECT_EQ(top->Height(), 0);
  m->SetLockUpdate(outer);
  EXPECT_FALSE(m->LockUpdate());
  EXPECT_GT(top->Height(), 0);
  EXPECT_EQ(top->Height(), bar->Control()->Height());
  form->Free();
}

TEST(BarsManager, EmptyBarsHideWithTheirItemsAndComeBack) {
  auto* form = new TBarsForm;
  TdxBarManager* m = form->Manager;
  m->Categories()->Add("Files");
  m->SetAutoHideEmptyBars(true);
  TdxBarButton* upload = form->Button("Upload", "Upload");
  upload->SetCategory(1);
  TdxBarButton* other = form->Button("Other", "Other");
  TdxBar* files = form->AddBar("Files");
  files->ItemLinks()->Add()->SetItem(upload);
  TdxBar* mixed = form->AddBar("Mixed");
  mixed->ItemLinks()->Add()->SetItem(upload);
  mixed->ItemLinks()->Add()->SetItem(other);
  files->SetVisible(true);
  mixed->SetVisible(true);

  m->SetCategoryItemsVisible(1, ivNever);
  EXPECT_EQ(upload->Visible(), ivNever);
  EXPECT_FALSE(files->Visible());
  EXPECT_TRUE(files->AutoHidden());
  EXPECT_TRUE(mixed->Visible());
  m->SetCategoryItemsVisible(1, ivAlways);
  EXPECT_EQ(upload->Visible(), ivAlways);
  EXPECT_TRUE(files->Visible());
  EXPECT_FALSE(files->AutoHidden());

  // Switched off, the mark goes and the bar stays hidden.
  m->SetCategoryItemsVisible(1, ivNever);
  m->SetAutoHideEmptyBars(false);
  EXPECT_FALSE(files->AutoHidden());
  m->SetCategoryItemsVisible(1, ivAlways);
  EXPECT_FALSE(files->Visible());
  form->Free();
}

TEST(BarsManager, CategoryIndexesOutOfRangeAreHarmless) {
  auto* form = new TBarsForm;
  TdxBarManager* m = form->Manager;
  EXPECT_FALSE(m->CategoryVisible(5));
  EXPECT_EQ(m->CategoryItemsVisible(-1), ivNever);
  m->SetCategoryVisible(5, false);
  m->SetCategoryItemsVisible(5, ivNever);
  EXPECT_EQ(m->GetItemByCategory(3, 0), nullptr);
  EXPECT_EQ(m->GetCategoryRealIndex(4), -1);
  m->SetCategoryVisible(0, false);
  EXPECT_EQ(m->GetCategoryRealIndex(0), -1);
  form->Free();
}
