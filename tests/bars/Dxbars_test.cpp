// Bars: names, the main menu, docking targets, showing and the reset
// questions.
#include "Barstest.h"
#include "support/Testutil.h"

TEST(BarsBars, CaptionsAreUniqueAndAnEmptyNameFollowsTheCaption) {
  TBarsForm* form = new TBarsForm;
  TdxBar* a = form->AddBar("Alpha");
  a->SetName("N");
  TdxBar* b = form->AddBar("Beta");
  EXPECT_EQ(b->Name(), "Beta");
  b->SetName("N1");
  TdxBar* c = form->Manager->Bars()->Add();
  c->SetCaption("N");
  EXPECT_EQ(c->Name(), "N2");
  TdxBar* d = form->Manager->Bars()->Add();
  d->SetCaption("Alpha");
  EXPECT_EQ(d->Caption(), "");
  d->SetCaption("Gamma");
  EXPECT_EQ(d->Name(), "Gamma");
  EXPECT_EQ(form->Manager->BarByCaption("N"), c);
  EXPECT_EQ(form->Manager->BarByName("N1"), b);
  EXPECT_EQ(form->Manager->BarByName("n1"), nullptr);
  form->Free();
}

TEST(BarsBars, OneMainMenuAlwaysOnSeveralLines) {
  TBarsForm* form = new TBarsForm;
  TdxBar* a = form->AddBar("Menu A");
  TdxBar* b = form->AddBar("Menu B");
  a->SetIsMainMenu(true);
  EXPECT_EQ(form->Manager->MainMenuBar(), a);
  EXPECT_TRUE(a->MultiLine());
  EXPECT_TRUE(a->WholeRow());
  EXPECT_FALSE(a->CanClose());
  a->SetMultiLine(false);
  EXPECT_TRUE(a->MultiLine());
  b->SetIsMainMenu(true);
  EXPECT_EQ(form->Manager->MainMenuBar(), b);
  EXPECT_FALSE(a->IsMainMenu());
  EXPECT_FALSE(a->MultiLine());
  EXPECT_FALSE(a->WholeRow());
  b->Free();
  EXPECT_EQ(form->Manager->MainMenuBar(), nullptr);
  a->SetDockedLeft(-3);
  a->SetRow(-1);
  EXPECT_EQ(a->DockedLeft(), 0);
  EXPECT_EQ(a->Row(), 0);
  form->Free();
}

TEST(BarsBars, ShowingMakesTheWindowInItsDockAndHidingSavesItsPlace) {
  TBarsForm* form = new TBarsForm;
  form->SetBounds(0, 0, 400, 300);
  TdxBar* bar = form->AddBar("Tools");
  bar->ItemLinks()->Add()->SetItem(form->Button("B", "B"));
  int shown = 0;
  form->Manager->OnBarVisibleChange = [&](TdxBarManager*, TdxBar*) { ++shown; };
  bar->SetDockedLeft(30);
  bar->SetVisible(true);
  TdxDockControl* top = form->Manager->Bars()->GetDockControl(dsTop);
  ASSERT_NE(bar->Control(), nullptr);
  HWND wnd = bar->Control()->Handle();
  EXPECT_EQ(bar->Control()->DockControl(), top);
  EXPECT_EQ(GetParent(wnd), top->Handle());
  EXPECT_TRUE(GetWindowLongA(wnd, GWL_STYLE) & WS_VISIBLE);
  EXPECT_EQ(bar->Control()->Left(), 30);
  EXPECT_EQ(bar->Control()->Top(), 0);
  EXPECT_EQ(top->Height(), bar->Control()->Height());
  bar->Control()->SetPos(44, 0);
  bar->SetVisible(false);
  EXPECT_EQ(bar->Control(), nullptr);
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_EQ(bar->DockedLeft(), 44);
  EXPECT_EQ(top->Height(), 0);
  EXPECT_EQ(shown, 2);
  // A floating bar waits for its form to be shown.
  bar->SetDockingStyle(dsNone);
  bar->SetVisible(true);
  ASSERT_NE(bar->Control(), nullptr);
  EXPECT_FALSE(bar->Control()->Visible());
  EXPECT_FALSE(IsWindowVisible(bar->Control()->Handle()));
  form->Free();
}

TEST(BarsBars, ResetAndUsageResetAskFirst) {
  TScopedDialogs d;
  d.Dialogs.Answers = {IDCANCEL, IDNO};
  TBarsForm* form = new TBarsForm;
  TdxBar* bar = form->AddBar("View");
  bool reset = false;
  form->Manager->OnBarBeforeReset = [&](TdxBarManager*, TdxBar*) { reset = true; };
  bar->ResetWithConfirmation();
  form->Manager->ResetUsageDataWithConfirmation();
  ASSERT_EQ(d.Dialogs.Boxes.size(), 2u);
  EXPECT_EQ(d.Dialogs.Boxes[0].text, "Are you sure you want to reset the changes made to the 'View' toolbar?");
  EXPECT_EQ(d.Dialogs.Boxes[0].caption, Application->Title);
  EXPECT_EQ(d.Dialogs.Boxes[0].flags, UINT(MB_OKCANCEL | MB_ICONWARNING));
  EXPECT_EQ(d.Dialogs.Boxes[1].text,
            "This will delete the record of the commands you've used in this application and restore the default "
            "set of visible commands to the menus and toolbars. It will not undo any explicit customizations.   "
            "Are you sure you want to proceed?");
  EXPECT_EQ(d.Dialogs.Boxes[1].flags, UINT(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
  EXPECT_FALSE(reset);
  form->Free();
}

TEST(BarsBars, ToolbarsPopupListsTheClosableBars) {
  TBarsForm* form = new TBarsForm;
  TdxBarManager* m = form->Manager;
  form->AddBar("Menu")->SetIsMainMenu(true);
  TdxBar* tools = form->AddBar("Tools");
  form->AddBar("Hidden")->SetHidden(true);
  TdxBarItemLinks links(m, nullptr);
  m->CreateToolbarsPopupList(&links);
  ASSERT_EQ(links.Count(), 2);
  EXPECT_EQ(links.Items(0)->Caption(), "Tools");
  EXPECT_EQ(links.Items(1)->Caption(), "&Customize...");
  EXPECT_TRUE(links.Items(1)->StoredBeginGroup());
  links.Items(0)->Item()->Click();
  EXPECT_TRUE(tools->Visible());
  links.Items(1)->Item()->Click();
  EXPECT_TRUE(m->IsCustomizing());
  m->Customizing(false);
  links.Clear();
  EXPECT_EQ(InternalItemCount(), 2);
  ClearInternalItemList();
  EXPECT_EQ(InternalItemCount(), 0);
  form->Free();
}

TEST(BarsBars, PlacedDockSitesAreFoundByNameAndLetGoOfTheirBars) {
  auto* form = new TForm(nullptr);
  form->SetName("FormTools");
  form->EndLoading();
  // Made before the manager: it outlives it while the form goes.
  auto* early = new TdxBarDockControl(form);
  early->SetName("EarlyDock");
  auto* m = new TdxBarManager(form);
  auto* dock = new TdxBarDockControl(form);
  dock->SetName("SideDock");
  dock->SetParent(form);
  dock->SetAlign(dalLeft);
  dock->SetBarManager(m);
  early->SetBarManager(m);
  auto* label = new TComponent(form);
  label->SetName("Label1");
  EXPECT_EQ(m->FindDockControl("SideDock"), dock);
  EXPECT_EQ(m->FindDockControl("FormTools.SideDock"), dock);
  EXPECT_EQ(m->FindDockControl("Nowhere"), nullptr);
  EXPECT_THROW(m->FindDockControl("Label1"), EConvertError);
  EXPECT_EQ(m->DockControlCount(), 6);

  TdxBar* bar = m->Bars()->Add();
  bar->SetCaption("Tools");
  bar->SetDockControl(dock);
  EXPECT_EQ(bar->DockingStyle(), dsLeft);
  bar->SetVisible(true);
  ASSERT_NE(bar->Control(), nullptr);
  EXPECT_EQ(bar->Control()->DockControl(), dock);
  dock->Free();
  EXPECT_FALSE(bar->Visible());
  EXPECT_EQ(bar->DockControl(), nullptr);
  EXPECT_EQ(m->DockControlCount(), 5);
  form->Free();
}
