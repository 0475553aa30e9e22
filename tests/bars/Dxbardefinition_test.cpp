// Bars defined in code: the fixture's model, its copies, and the resets
// made from them.
#include <cstdlib>
#include <fstream>

#include "Fixture.h"
#include "support/Testutil.h"

namespace {

String ExpectedDump() {
  HRSRC res = FindResourceA(nullptr, "FIXTUREDUMP", MAKEINTRESOURCEA(10));
  if (!res) return "(no expected dump)";
  HGLOBAL data = LoadResource(nullptr, res);
  String s(static_cast<const char*>(LockResource(data)), SizeofResource(nullptr, res));
  return StringReplaceAll(s, "\r", "");
}

String Dump(TdxBarManager* m) { return StringReplaceAll(dxBarDumpModel(m), "\r", ""); }

// Puts the dump beside the screenshots, to compare with the expected one.
void KeepActual(const String& dump) {
  const char* shots = std::getenv("NEMBRA_SCREENSHOTS");
  if (!shots) return;
  String path = String(shots) + "\\..\\bars-fixture-dump.txt";
  std::ofstream(path.c_str(), std::ios::binary) << dump;
}

struct TFixture {
  TRecordingStore Store;
  TdxBarLayoutStore* Previous = dxBarSetLayoutStore(&Store);
  TBarsFixtureForm* Form = new TBarsFixtureForm;
  ~TFixture() {
    Form->Free();
    dxBarSetLayoutStore(Previous);
  }
};

}  // namespace

TEST(BarsDefinition, TheFixturesModelIsTheExpectedOne) {
  TFixture f;
  String dump = Dump(f.Form->Bar1);
  String expected = ExpectedDump();
  if (dump != expected) {
    KeepActual(dump);
    size_t at = 0;
    while (at < dump.size() && at < expected.size() && dump[at] == expected[at]) ++at;
    size_t line = dump.rfind('\n', at);
    line = line == String::npos ? 0 : line + 1;
    ADD_FAILURE() << "the dump differs from the expected one at\n  " << dump.substr(line, 80) << "\nexpected\n  "
                  << expected.substr(std::min(line, expected.size()), 80);
  }
  TdxBarManager* m = f.Form->Bar1;
  EXPECT_EQ(m->ItemCount(), 70);
  EXPECT_EQ(m->Bars()->Count(), 9);
  EXPECT_EQ(m->MainMenuBar(), m->Bars()->Items(0));
  EXPECT_EQ(m->ReadCount(), 1);
  EXPECT_TRUE(m->CanReset());
  EXPECT_EQ(f.Store.Calls, std::vector<String>({"registry \\Software\\Quellmark\\Nembra3\\Toolbars"}));
}

TEST(BarsDefinition, TheFixturesButtonsRunTheirActions) {
  TFixture f;
  TBarsFixtureForm* form = f.Form;
  int bound = 0;
  for (int i = 0; i < form->Bar1->ItemCount(); ++i)
    if (auto* b = dynamic_cast<TdxBarButton*>(form->Bar1->Items(i)); b && b->Action() && b->OnClick) ++bound;
  EXPECT_EQ(bound, 60);
  EXPECT_EQ(form->Button("New")->Caption(), "New Connection...");
  EXPECT_EQ(form->Button("HelpDefault")->ShortCut(), ShortCut(VK_F1, {}));
  EXPECT_TRUE(form->Button("DetailView")->Down());
  form->Button("ListView")->Click();
  EXPECT_TRUE(form->Button("ListView")->Down());
  EXPECT_FALSE(form->Button("DetailView")->Down());
  form->Button("New")->Click();
  EXPECT_EQ(form->Executed, std::vector<String>({"ActionListView", "ActionNew"}));
  // Shortcuts are found through the main menu's sub items.
  EXPECT_TRUE(form->Bar1->Bars()->Items(0)->IsShortCut(ShortCut(VK_F1, {})));
  EXPECT_EQ(form->Executed.back(), "ActionHelpDefault");
  form->Bar1->DoHelpButtonClick();
  EXPECT_EQ(form->HelpClicks, 1);
}

TEST(BarsDefinition, AnEmptyBarHidesWithItsCategoryAndComesBack) {
  TFixture f;
  TdxBarManager* m = f.Form->Bar1;
  TdxBar* batch = m->BarByCaption("Batch");
  ASSERT_TRUE(batch->Visible());
  m->SetCategoryItemsVisible(5, ivNever);
  EXPECT_FALSE(batch->Visible());
  EXPECT_TRUE(m->BarByCaption("Main Menu")->Visible());
  EXPECT_EQ(f.Form->Sub("Batch")->ItemLinks()->AvailableItemCount(), 0);
  m->SetCategoryItemsVisible(5, ivAlways);
  EXPECT_TRUE(batch->Visible());
}

TEST(BarsDefinition, TheCopyHasNoEventsNoStoresAndNoWindow) {
  TFixture f;
  TOwned<TCustomForm> copy(f.Form->Bar1->LoadMainFormFromBin());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Name(), "TempForm");
  EXPECT_EQ(copy->Owner(), nullptr);
  EXPECT_FALSE(copy->HandleAllocated());
  auto* m = dynamic_cast<TdxBarManager*>(copy->FindComponent("Bar1"));
  ASSERT_NE(m, nullptr);
  EXPECT_FALSE(m->StoreInRegistry());
  EXPECT_FALSE(m->StoreInIniFile());
  EXPECT_FALSE(m->OnHelpButtonClick);
  EXPECT_EQ(m->ItemCount(), 70);
  for (int i = 0; i < m->ItemCount(); ++i) {
    EXPECT_EQ(m->Items(i)->Action(), nullptr) << m->Items(i)->Name();
    EXPECT_FALSE(m->Items(i)->OnClick) << m->Items(i)->Name();
  }
  EXPECT_EQ(m->Bars()->Count(), 9);
  EXPECT_EQ(m->Bars()->Items(4)->ItemLinks()->Items(1)->Item()->Name(), "ButtonDownloadFile");
  // Reading the copy loaded no stored layout.
  EXPECT_EQ(f.Store.Calls.size(), 1u);
}

TEST(BarsDefinition, AChangedBarResetsToTheDefinedOne) {
  TFixture f;
  TBarsFixtureForm* form = f.Form;
  TdxBarManager* m = form->Bar1;
  String fresh = Dump(m);
  TdxBar* menu = m->BarByCaption("Main Menu");
  TdxBar* connections = m->BarByCaption("Connections");
  menu->ItemLinks()->Items(0)->SetIndex(6);
  connections->ItemLinks()->Items(1)->SetUserCaption("Close");
  connections->ItemLinks()->Items(2)->SetVisible(false);
  connections->ItemLinks()->Items(3)->Free();
  form->Sub("Files")->ItemLinks()->Items(0)->Free();
  form->Sub("Commands")->ItemLinks()->Add()->SetItem(form->Button("Exit"));
  form->Sub("Commands")->ItemLinks()->Items(2)->BringToTopInRecentList(true);
  ASSERT_NE(Dump(m), fresh);
  std::vector<String> events;
  m->OnBarBeforeReset = [&](TdxBarManager*, TdxBar* bar) { events.push_back("before " + bar->Caption()); };
  m->OnBarAfterReset = [&](TdxBarManager*, TdxBar* bar) { events.push_back("after " + bar->Caption()); };
  menu->Reset();
  connections->Reset();
  EXPECT_EQ(Dump(m), fresh);
  EXPECT_EQ(events, std::vector<String>({"before Main Menu", "after Main Menu", "before Connections", "after Connections"}));
  EXPECT_NE(menu->Control(), nullptr);
  // The reset links are the form's own items.
  EXPECT_EQ(connections->ItemLinks()->Items(0)->Item(), form->Button("New"));
  EXPECT_EQ(m->ItemCount(), 70);
}

TEST(BarsDefinition, AResetLeavesOutWhatTheFormNoLongerHas) {
  TFixture f;
  TdxBar* connections = f.Form->Bar1->BarByCaption("Connections");
  f.Form->Button("Profiles")->Free();
  ASSERT_EQ(connections->ItemLinks()->Count(), 4);
  connections->ItemLinks()->Items(0)->Free();
  connections->Reset();
  ASSERT_EQ(connections->ItemLinks()->Count(), 4);
  EXPECT_EQ(connections->ItemLinks()->Items(0)->Item(), f.Form->Button("New"));
  EXPECT_EQ(connections->ItemLinks()->Items(3)->Item(), f.Form->Button("NewProfile"));
}

TEST(BarsDefinition, TheUsageResetRestoresUseCountsAndOrder) {
  TFixture f;
  TBarsFixtureForm* form = f.Form;
  TdxBarManager* m = form->Bar1;
  String fresh = Dump(m);
  for (int i : {2, 3, 3}) form->Sub("Files")->ItemLinks()->Items(i)->BringToTopInRecentList(true);
  m->BarByCaption("Main Menu")->ItemLinks()->Items(5)->BringToTopInRecentList(true);
  m->BarByCaption("Files")->ItemLinks()->Items(1)->SetMostRecentlyUsed(false);
  ASSERT_NE(Dump(m), fresh);
  EXPECT_EQ(form->Sub("Files")->ItemLinks()->Items(3)->UseCount(), 22);
  m->ResetUsageData();
  EXPECT_EQ(Dump(m), fresh);
}

TEST(BarsDefinition, WithoutADefinitionOrTheManagerInTheCopyNothingIsReset) {
  {
    TBarsForm* form = new TBarsForm;
    TdxBar* bar = form->AddBar("Tools");
    bar->ItemLinks()->Add()->SetItem(form->Button("B", "B"));
    EXPECT_EQ(form->Manager->LoadMainFormFromBin(), nullptr);
    String before = Dump(form->Manager);
    bar->Reset();
    form->Manager->ResetUsageData();
    EXPECT_EQ(Dump(form->Manager), before);
    form->Free();
  }
  {
    TFixture f;
    TdxBarManager* m = f.Form->Bar1;
    m->SetName("Bar2");
    EXPECT_EQ(m->LoadMainFormFromBin(), nullptr);
    m->BarByCaption("Files")->ItemLinks()->Items(0)->Free();
    f.Form->Sub("Files")->ItemLinks()->Items(0)->BringToTopInRecentList(true);
    String changed = Dump(m);
    m->BarByCaption("Files")->Reset();
    m->ResetUsageData();
    EXPECT_EQ(Dump(m), changed);
  }
}

namespace {

class TUnknownItemForm : public TForm {
 public:
  TUnknownItemForm() : TForm(nullptr) {}
};

void DefineUnknownItem(TdxBarDefinition& d) {
  d.Manager("Bar1");
  d.Item("TdxBarNoSuchItem", "Item1");
}

}  // namespace

TEST(BarsDefinition, AnUnknownItemClassIsNamed) {
  dxBarRegisterFormDefinition("TUnknownItemForm", DefineUnknownItem);
  auto* form = new TUnknownItemForm;
  try {
    dxBarDefineForm(form);
    ADD_FAILURE() << "no error";
  } catch (EClassNotFound& e) {
    EXPECT_EQ(e.Message, "Class TdxBarNoSuchItem not found");
  }
  form->Free();
  dxBarUnregisterFormDefinition("TUnknownItemForm");
  EXPECT_EQ(dxBarFindFormDefinition("TUnknownItemForm"), nullptr);
}
