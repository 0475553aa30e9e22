// The toolbar windows of the main window's fixture in the virtual desktop:
// their rectangles at two form widths, floating and docking again, a
// floating bar off the work area, a dock site's window made again, and the
// screenshots of the bars in each style.
#include "Fixture.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// The fixture shown at (10, 10) with the stand-in controls and a 16 x 16
// glyph for every action, so buttons are glyphs and their sizes known.
struct TShownFixture {
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

// ---------------------------------------------------------------- the fixture in the virtual desktop

namespace {

// The windows of the process with this class and caption.
struct TWindowCount {
  const char* Class;
  String Caption;
  int Count = 0;
};

BOOL CALLBACK CountOne(HWND wnd, LPARAM l) {
  auto* d = reinterpret_cast<TWindowCount*>(l);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  if (pid == GetCurrentProcessId() && WindowClass(wnd) == d->Class && WindowText(wnd) == d->Caption) ++d->Count;
  return TRUE;
}

BOOL CALLBACK CountTree(HWND wnd, LPARAM l) {
  CountOne(wnd, l);
  EnumChildWindows(wnd, CountOne, l);
  return TRUE;
}

int CountWindows(const char* className, const String& caption) {
  TWindowCount data{className, caption};
  EnumWindows(CountTree, reinterpret_cast<LPARAM>(&data));
  return data.Count;
}

const char* const kRowOne[] = {"Quick Connect", "Connections", "Directories", "Files",
                               "Batch",         "Utilities",   "Help",        "View"};
const int kDefinedLeft[] = {0, 140, 270, 400, 480, 560, 620, 700};

}  // namespace

TEST(BarsToolbars, TheNineBarsRectanglesAtTwoWidths) {
  TShownFixture f;
  TdxBar* menu = f.Bar("Main Menu");
  f.SetClientWidth(1000);
  ASSERT_EQ(f.Top()->ClientWidth(), 1000);
  TdxBarControl* m = menu->Control();
  EXPECT_EQ(m->BoundsRect(), TRect(0, 0, 1000, m->Height()));
  EXPECT_EQ(m->Height(), m->TextSize() + 4);
  // With room: each bar whole, at its place, unless the bar after it
  // pushes it back or the bars before it push it on.
  std::vector<TdxBarControl*> row;
  for (const char* caption : kRowOne) row.push_back(f.Bar(caption)->Control());
  std::vector<int> left(8);
  int end = 1000;
  int before[8];
  for (int i = 0, sum = 0; i < 8; ++i) before[i] = sum, sum += row[static_cast<size_t>(i)]->MaxLength;
  for (int i = 7; i >= 0; --i) {
    int x = std::min(kDefinedLeft[i], end - row[static_cast<size_t>(i)]->MaxLength);
    left[static_cast<size_t>(i)] = end = std::max(x, before[i]);
  }
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(kRowOne[i]);
    TdxBarControl* c = row[static_cast<size_t>(i)];
    EXPECT_EQ(c->BoundsRect(), Bounds(left[static_cast<size_t>(i)], m->Height(), c->MaxLength, row[0]->Height()));
    EXPECT_FALSE(c->HasHiddenItems());
  }
  EXPECT_EQ(f.Top()->Height(), m->Height() + row[0]->Height());
  SaveScreenshot(f.Form->Handle(), "wide");

  // Too narrow: shrunk from the right, hiding buttons behind their marks;
  // the standard style has a mark only then.
  for (TdxBarManagerStyle style : {bmsEnhanced, bmsStandard}) {
    SCOPED_TRACE(style == bmsStandard ? "standard" : "enhanced");
    f.Form->Bar1->SetStyle(style);
    f.SetClientWidth(480);
    EXPECT_EQ(m->BoundsRect(), TRect(0, 0, 480, m->Height()));
    int right = 0, hidden = 0;
    for (const char* caption : kRowOne) {
      SCOPED_TRACE(caption);
      TdxBarControl* c = f.Bar(caption)->Control();
      EXPECT_GE(c->Left(), right);
      EXPECT_GE(c->Width(), c->MinLength);
      right = c->Left() + c->Width();
      EXPECT_EQ(c->MarkExists(), style != bmsStandard || c->HasHiddenItems());
      if (!c->HasHiddenItems()) continue;
      ++hidden;
      TdxBarItemLinks* links = c->ItemLinks();
      TRect mark = c->MarkRect();
      int placed = 0;
      bool gap = false;
      for (int k = 0; k < links->CanVisibleItemCount(); ++k) {
        TdxBarItemLink* link = links->CanVisibleItems(k);
        if (link->VisibleIndex() < 0 || link->ItemRect().Empty()) {
          gap = true;
          continue;
        }
        ++placed;
        EXPECT_LE(link->ItemRect().right, mark.left);
        // Without recent items the ones left out are the trailing ones.
        if (style == bmsStandard) {
          EXPECT_FALSE(gap) << "a placed button after a hidden one";
        }
      }
      EXPECT_GE(placed, 1);
      EXPECT_LT(placed, links->CanVisibleItemCount());
    }
    EXPECT_GE(hidden, 1);
    EXPECT_EQ(right, 480);
    SaveScreenshot(f.Form->Handle(), style == bmsStandard ? "narrow_standard" : "narrow");
    f.SetClientWidth(1000);
  }
}

TEST(BarsToolbars, FloatedAndDockedAgainABarKeepsOneWindowAndWorks) {
  TShownFixture f;
  f.SetClientWidth(900);
  f.Form->Bar1->SetHideFloatingBarsWhenInactive(false);
  TdxBar* bar = f.Bar("Connections");
  // By program.
  bar->SetFloatLeft(300);
  bar->SetFloatTop(300);
  bar->SetDockingStyle(dsNone);
  ASSERT_NE(bar->Control(), nullptr);
  ASSERT_TRUE(WaitVisible(bar->Control()->Handle()));
  EXPECT_EQ(GetParent(bar->Control()->Handle()), f.Form->Handle());
  EXPECT_EQ(CountWindows("TdxBarControl", "Connections"), 1);
  bar->SetDockingStyle(dsTop);
  EXPECT_EQ(bar->Control()->DockControl(), f.Top());
  EXPECT_EQ(CountWindows("TdxBarControl", "Connections"), 1);
  // By the drag: both windows are kept while it runs, one remains.
  {
    TScopedBarSystem sys;
    TdxBarControl* c = bar->Control();
    TPoint o = f.Form->ClientOrigin();
    TRect w = c->GetWindowRect();
    sys.System.Cursor = TPoint(w.left + 5, w.top + 5);
    std::vector<String> seen;
    HWND floating = nullptr;
    TScript s;
    s.Do([&] {
      HWND kept = c->KeptHandle();
      seen.push_back(String("docked; kept floating window ") + (IsWindow(kept) && !IsWindowVisible(kept) ? "hidden" : "?"));
      floating = kept;
      sys.System.Cursor = TPoint(o.x + 300, o.y + 200);
    });
    s.Post(WM_MOUSEMOVE);
    s.Do([&] {
      HWND kept = c->KeptHandle();
      seen.push_back(String(c->Handle() == floating ? "floating in the kept window" : "?") + "; kept docked window " +
                     (IsWindow(kept) && !IsWindowVisible(kept) ? "hidden" : "?"));
      sys.System.Cursor = TPoint(o.x + 300, o.y + 5);
    });
    s.Post(WM_MOUSEMOVE);
    s.Do([&] { sys.System.Fire(21); });
    s.Post(WM_LBUTTONUP);
    f.Form->Bar1->Bars()->Moving(c);
    EXPECT_EQ(seen, std::vector<String>({"docked; kept floating window hidden",
                                         "floating in the kept window; kept docked window hidden"}));
    EXPECT_EQ(c->DockingStyle(), dsTop);
    EXPECT_EQ(c->KeptHandle(), nullptr);
    // The floating window kept for the drag is gone.
    EXPECT_FALSE(IsWindow(floating));
  }
  EXPECT_EQ(CountWindows("TdxBarControl", "Connections"), 1);
  ASSERT_TRUE(WaitVisible(bar->Control()->Handle()));
  ProcessQueuedMessages();
  // The bar still answers a click.
  TdxBarItemLink* link = bar->ItemLinks()->Items(0);
  TRect r = link->ItemRect();
  f.Form->Executed.clear();
  ASSERT_TRUE(Click(bar->Control()->Handle(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
  ASSERT_TRUE(WaitUntil([&] { return !f.Form->Executed.empty(); }));
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ActionNew"}));
  SaveScreenshot(f.Form->Handle());
}

TEST(BarsToolbars, AFloatingBarOffTheWorkAreaComesBack) {
  TShownFixture f;
  f.Form->Bar1->SetHideFloatingBarsWhenInactive(false);
  TdxBar* bar = f.Bar("Files");
  bar->SetFloatLeft(-3000);
  bar->SetFloatTop(200);
  bar->SetDockingStyle(dsNone);
  ASSERT_NE(bar->Control(), nullptr);
  TdxBarControl* c = bar->Control();
  ASSERT_TRUE(WaitVisible(c->Handle()));
  TRect area = GetWorkArea(TPoint(10, 10));
  EXPECT_EQ(c->GetWindowRect().left, area.left);
  c->SetPos(area.right + 50, area.bottom + 50);
  TRect w = c->GetWindowRect();
  EXPECT_EQ(w.right, area.right);
  EXPECT_EQ(w.bottom, area.bottom);
  EXPECT_EQ(bar->FloatLeft(), w.left);
  SaveScreenshot(c->Handle());
}

TEST(BarsToolbars, ADockSiteMadeAgainShowsItsBarsAgain) {
  TShownFixture f;
  f.SetClientWidth(1000);
  TdxDockControl* top = f.Top();
  std::vector<TRect> before;
  for (int i = 0; i < top->BarCount(); ++i) before.push_back(top->BarControls(i)->BoundsRect());
  ASSERT_EQ(before.size(), 9u);
  HWND old = top->Handle();
  top->RecreateWnd();
  ASSERT_NE(top->Handle(), old);
  EXPECT_EQ(top->GetRowCount(), 2);
  ASSERT_EQ(top->BarCount(), 9);
  for (int i = 0; i < top->BarCount(); ++i) {
    TdxBarControl* c = top->BarControls(i);
    SCOPED_TRACE(c->Bar()->Caption());
    EXPECT_TRUE(c->Bar()->Visible());
    EXPECT_EQ(GetParent(c->Handle()), top->Handle());
    EXPECT_EQ(c->BoundsRect(), before[static_cast<size_t>(i)]);
  }
  EXPECT_EQ(f.Form->Bar1->BarsToRestore()->size(), 0u);
  // The whole form made again: its sites come back with their bars.
  f.Form->RecreateWnd();
  ProcessQueuedMessages();
  ASSERT_EQ(top->BarCount(), 9);
  for (int i = 0; i < top->BarCount(); ++i) {
    TdxBarControl* c = top->BarControls(i);
    EXPECT_EQ(GetParent(c->Handle()), top->Handle());
    EXPECT_EQ(c->BoundsRect(), before[static_cast<size_t>(i)]);
  }
  SaveScreenshot(f.Form->Handle());
}

TEST(BarsToolbars, RightAndBottomSitesGrowInward) {
  TShownFixture f;
  f.SetClientWidth(800);
  f.Bar("Files")->SetDockingStyle(dsBottom);
  f.Bar("Batch")->SetDockingStyle(dsRight);
  TdxDockControl* bottom = f.Form->Bar1->Bars()->GetDockControl(dsBottom);
  TdxDockControl* right = f.Form->Bar1->Bars()->GetDockControl(dsRight);
  TRect client = f.Form->ClientRect();
  EXPECT_EQ(bottom->Height(), f.Bar("Files")->Control()->Height());
  EXPECT_EQ(bottom->Top() + bottom->Height(), client.bottom);
  EXPECT_EQ(right->Width(), f.Bar("Batch")->Control()->Width());
  EXPECT_EQ(right->Left() + right->Width(), client.right);
  // A second row: the site grows away from the form's edge.
  int height = bottom->Height();
  TdxBar* help = f.Bar("Help");
  help->SetVisible(false);
  help->SetDockingStyle(dsBottom);
  help->SetRow(1);
  help->SetOneOnRow(true);
  help->SetVisible(true);
  EXPECT_EQ(bottom->GetRowCount(), 2);
  EXPECT_EQ(bottom->Height(), 2 * height);
  EXPECT_EQ(bottom->Top() + bottom->Height(), client.bottom);
  SaveScreenshot(f.Form->Handle());
}

TEST(BarsToolbars, AFloatingBarSnapsToItsLinesWhileResized) {
  TShownFixture f;
  f.Form->Bar1->SetHideFloatingBarsWhenInactive(false);
  TdxBar* bar = f.Bar("Connections");
  bar->SetFloatLeft(200);
  bar->SetFloatTop(200);
  bar->SetDockingStyle(dsNone);
  TdxBarControl* c = bar->Control();
  ASSERT_TRUE(WaitVisible(c->Handle()));
  int ncX = bar->BarNCSizeX(dsNone), ncY = bar->BarNCSizeY(dsNone);
  // The client takes the whole frame the window's size leaves.
  EXPECT_EQ(c->GetWindowRect().Width() - c->ClientWidth(), ncX);
  EXPECT_EQ(c->GetWindowRect().Height() - c->ClientHeight(), ncY);
  // Five buttons of 23: dragged to room for two and a half, it snaps to two
  // per line, three lines high.
  TRect w = c->GetWindowRect();
  RECT r{w.left, w.top, w.left + ncX + 58, w.bottom};
  SendMessageA(c->Handle(), WM_SIZING, WMSZ_RIGHT, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(r.right - r.left, ncX + 46);
  EXPECT_EQ(r.bottom - r.top, ncY + 3 * f.Form->Bar1->ButtonHeight());
  // Corners keep the bounds.
  RECT corner{w.left - 30, w.top - 30, w.right, w.bottom};
  SendMessageA(c->Handle(), WM_SIZING, WMSZ_TOPLEFT, reinterpret_cast<LPARAM>(&corner));
  EXPECT_EQ(TRect(corner), w);
}
