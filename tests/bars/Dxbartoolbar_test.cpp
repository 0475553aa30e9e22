// The toolbar windows of the main window's fixture in the virtual desktop:
// their rectangles at two form widths, floating and docking again, a
// floating bar off the work area, a dock site's window made again, and the
// screenshots of the bars in each style.
#include "Fixture.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// The fixture shown at (10, 10) with the stand-in controls and a 16 x 16
// glyph for every action, so buttons are glyphs and their sizes known.
struct TShownFixture {
  TScopedStandIns StandIns;
  TRecordingStore Store;
  TdxBarLayoutStore* PreviousStore = dxBarSetLayoutStore(&Store);
  TBarsFixtureForm* Form;
  TShownFixture() {
    SetCursorPos(1270, 1010);
    Form = new TBarsFixtureForm;
    TBitmap glyphs;
    glyphs.SetSize(16 * kFixtureActions, 16);
    // Fuchsia (the transparent colour, bottom left) around a coloured square.
    TCanvas* c = glyphs.Canvas();
    c->Brush()->SetColor(clFuchsia);
    c->FillRect(TRect(0, 0, 16 * kFixtureActions, 16));
    for (int i = 0; i < kFixtureActions; ++i) {
      c->Brush()->SetColor(static_cast<TColor>(RGB(40 + (i * 37) % 200, 60 + (i * 53) % 180, 30 + (i * 71) % 200)));
      c->FillRect(Bounds(16 * i + 2, 2, 12, 12));
      c->Brush()->SetColor(clWhite);
      c->FillRect(Bounds(16 * i + 6, 6, 4, 4));
    }
    Form->Imagebars->SetWidth(16);
    Form->Imagebars->SetHeight(16);
    Form->Imagebars->AddMasked(&glyphs, clFuchsia);
    int index = 0;
    for (int i = 0; i < Form->ComponentCount(); ++i)
      if (auto* a = dynamic_cast<TAction*>(Form->Components(i))) a->SetImageIndex(index++ % kFixtureActions);
    Form->SetBounds(10, 10, 700, 300);
    Form->Show();
    EXPECT_TRUE(WaitVisible(Form->Handle()));
  }
  ~TShownFixture() {
    Form->Free();
    dxBarSetLayoutStore(PreviousStore);
  }
  TdxBar* Bar(const String& caption) { return Form->Bar1->BarByCaption(caption); }
  TdxDockControl* Top() { return Form->Bar1->Bars()->GetDockControl(dsTop); }
  void SetClientWidth(int w) {
    Form->SetClientWidth(w);
    ProcessQueuedMessages();
  }
};

}  // namespace

TEST(BarsToolbars, TheNineBarsAtAWideAndANarrowForm) {
  TShownFixture f;
  f.SetClientWidth(1000);
  SaveScreenshot(f.Form->Handle(), "wide");
  f.SetClientWidth(400);
  SaveScreenshot(f.Form->Handle(), "narrow");
}

TEST(BarsToolbars, FloatingAndVerticalBarsInEachStyle) {
  TShownFixture f;
  f.SetClientWidth(900);
  f.Form->Bar1->SetHideFloatingBarsWhenInactive(false);
  TdxBar* connections = f.Bar("Connections");
  TdxBar* files = f.Bar("Files");
  connections->SetFloatLeft(200);
  connections->SetFloatTop(200);
  connections->SetDockingStyle(dsNone);
  files->SetDockingStyle(dsLeft);
  const struct {
    TdxBarManagerStyle Style;
    const char* Name;
  } styles[] = {{bmsStandard, "standard"}, {bmsEnhanced, "enhanced"}, {bmsFlat, "flat"}};
  for (const auto& s : styles) {
    SCOPED_TRACE(s.Name);
    f.Form->Bar1->SetStyle(s.Style);
    ASSERT_NE(connections->Control(), nullptr);
    ASSERT_TRUE(WaitVisible(connections->Control()->Handle()));
    ProcessQueuedMessages();
    SaveScreenshot(f.Form->Handle(), s.Name);
    SaveScreenshot(connections->Control()->Handle(), String(s.Name) + "_floating");
  }
}
