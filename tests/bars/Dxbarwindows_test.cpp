// What needs the virtual desktop: the hint window and the loop that moves
// a bar with the mouse.
#include "Barstest.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

// ---------------------------------------------------------------- hints

namespace {

// A shown bar with two buttons on a shown form; the cursor over the first.
struct THintCase {
  TScopedBarSystem Sys;
  TBarsForm* Form = new TBarsForm;
  TdxBarButton* Open;
  TdxBarButton* Save;
  TdxBar* Bar;
  THintCase() {
    SetCursorPos(1270, 1010);
    Form->SetBounds(100, 100, 500, 300);
    Open = Form->Button("Open", "Open");
    Open->SetHint("Open a file|Opens a file");
    Open->SetShortCut(ShortCut('O', {ssCtrl}));
    Save = Form->Button("Save", "Save");
    Bar = Form->AddBar("Standard");
    Bar->ItemLinks()->Add()->SetItem(Open);
    Bar->ItemLinks()->Add()->SetItem(Save);
    Bar->SetVisible(true);
    Form->Show();
    EXPECT_TRUE(WaitVisible(Form->Handle()));
    Sys.System.Cursor = Centre(0);
  }
  ~THintCase() {
    if (dxBarHintWindow()) dxBarHintWindow()->HideHint();
    Form->Free();
  }
  TdxBarItemControl* Control(int i) { return Bar->ItemLinks()->Items(i)->Control(); }
  TPoint Centre(int i) {
    TRect r = Bar->Control()->GetItemScreenRect(Control(i));
    return TPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  // A shown hint paints at once, so the shot taken as it hides shows it.
  bool Shown() {
    if (!dxBarHintWindow()->IsShown()) return false;
    UpdateWindow(dxBarHintWindow()->Handle());
    return true;
  }
  String Text() { return dxBarHintWindow()->Caption(); }
};

}  // namespace

TEST(BarsHints, ShowAfterASecondForTenSecondsAndAtOnceRightAfter) {
  THintCase h;
  TdxBarManager* m = h.Form->Manager;
  m->SetSelectedItem(h.Control(0));
  m->HintActivate(true, "");
  EXPECT_FALSE(h.Shown());
  EXPECT_EQ(h.Sys.System.LiveTimers(1000), 1);
  ASSERT_TRUE(h.Sys.System.Fire(1000));
  ASSERT_TRUE(h.Shown());
  EXPECT_EQ(h.Text(), "Open a file");
  RECT r;
  GetWindowRect(dxBarHintWindow()->Handle(), &r);
  EXPECT_EQ(r.left, h.Centre(0).x);
  EXPECT_EQ(r.top, h.Centre(0).y + 20);
  EXPECT_EQ(h.Sys.System.LiveTimers(10000), 1);
  ASSERT_TRUE(h.Sys.System.Fire(10000));
  EXPECT_FALSE(h.Shown());

  // Shown again, then the mouse leaves for the other button: within 400 ms
  // its hint shows without the delay.
  m->HintActivate(true, "");
  ASSERT_TRUE(h.Sys.System.Fire(1000));
  ASSERT_TRUE(h.Shown());
  m->SetSelectedItem(nullptr);
  m->HintActivate(true, "");
  EXPECT_FALSE(h.Shown());
  EXPECT_EQ(h.Sys.System.LiveTimers(400), 1);
  h.Save->SetHint("Save the file");
  h.Sys.System.Cursor = h.Centre(1);
  m->SetSelectedItem(h.Control(1));
  m->HintActivate(true, "");
  EXPECT_TRUE(h.Shown());
  EXPECT_EQ(h.Text(), "Save the file");
  // After the 400 ms the delay is back.
  m->HintActivate(false, "");
  h.Sys.System.Fire(400);
  m->HintActivate(true, "");
  EXPECT_FALSE(h.Shown());
  EXPECT_EQ(h.Sys.System.LiveTimers(1000), 1);
}

TEST(BarsHints, DisabledItemsShortcutsAndTheItemUnderTheCursor) {
  THintCase h;
  TdxBarManager* m = h.Form->Manager;
  m->SetSelectedItem(h.Control(0));
  m->SetShowShortCutInHint(true);
  m->HintActivate(true, "");
  h.Sys.System.Fire(1000);
  EXPECT_TRUE(h.Shown());
  EXPECT_EQ(h.Text(), "Open a file (Ctrl+O)");
  m->HintActivate(false, "");

  h.Open->SetEnabled(false);
  m->SetSelectedItem(h.Control(0));
  m->SetShowHintForDisabledItems(false);
  m->HintActivate(true, "");
  h.Sys.System.Fire(1000);
  EXPECT_FALSE(h.Shown());
  m->SetShowHintForDisabledItems(true);
  m->HintActivate(true, "");
  h.Sys.System.Fire(1000);
  EXPECT_TRUE(h.Shown());
  m->HintActivate(false, "");

  // The mouse moved on before the delay ran out: no hint.
  h.Sys.System.Cursor = h.Centre(1);
  m->HintActivate(true, "");
  h.Sys.System.Fire(1000);
  EXPECT_FALSE(h.Shown());
  // Keyboard selection shows none; an explicit text always shows.
  h.Bar->Control()->SetKeyboardMode(true);
  m->HintActivate(true, "");
  EXPECT_EQ(h.Sys.System.LiveTimers(1000), 0);
  m->HintActivate(true, "More Buttons");
  h.Sys.System.Fire(1000);
  EXPECT_TRUE(h.Shown());
  EXPECT_EQ(h.Text(), "More Buttons");
  m->HintActivate(false, "");
  m->SetShowHint(false);
  m->HintActivate(true, "More Buttons");
  EXPECT_EQ(h.Sys.System.LiveTimers(1000), 0);
}

TEST(BarsHints, TheWindowStaysInsideTheWorkAreaEvenWhenTall) {
  auto* form = new TBarsForm;
  TdxBarHintWindow* hint = dxBarHintWindow();
  TRect area = GetWorkArea(TPoint(10, 10));
  HWND before = GetActiveWindow();
  struct TCase {
    const char* Name;
    TPoint At;
    int Lines;
  } cases[] = {{"short", TPoint(200, 200), 1},
               {"near the bottom", TPoint(200, area.bottom - 10), 1},
               {"tall near the bottom", TPoint(200, area.bottom - 10), 12},
               {"near the right", TPoint(area.right - 5, 300), 1},
               {"taller than the screen", TPoint(200, 300), 200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    String text = "Opens a new connection";
    for (int i = 1; i < c.Lines; ++i) text += "\r\nline " + IntToStr(i);
    hint->ActivateHint(c.At, text, form->Manager);
    ASSERT_TRUE(WaitVisible(hint->Handle()));
    RECT r;
    GetWindowRect(hint->Handle(), &r);
    int h = r.bottom - r.top;
    EXPECT_GE(r.left, area.left);
    EXPECT_LE(r.right, area.right);
    EXPECT_GE(r.top, area.top);
    if (h <= area.Height()) {
      EXPECT_LE(r.bottom, area.bottom);
    }
    if (c.Lines == 1) {
      EXPECT_EQ(r.top, c.At.y + h > area.bottom ? c.At.y - 50 : c.At.y);
    }
    if (String(c.Name) == "tall near the bottom") {
      EXPECT_EQ(r.bottom, area.bottom);
    }
    if (String(c.Name) == "short") {
      // The info colours, the text on the background.
      TDibSurface shot = CaptureWindow(hint->Handle());
      EXPECT_GT(CountColor(shot, GetSysColor(COLOR_INFOBK)), shot.Width() * shot.Height() / 2);
      EXPECT_GT(CountColor(shot, GetSysColor(COLOR_INFOTEXT)), 20);
      SaveScreenshot(hint->Handle(), "short");
    }
    if (String(c.Name) == "tall near the bottom") SaveScreenshot(hint->Handle(), "tall");
    EXPECT_TRUE(GetWindowLongA(hint->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_NE(GetActiveWindow(), hint->Handle());
    EXPECT_EQ(GetActiveWindow(), before);
  }
  hint->HideHint();
  form->Free();
}

// ---------------------------------------------------------------- floating bars and the form's activation

TEST(BarsFloating, AFloatingBarShowsAtOnceOnlyWhileItsFormIsActive) {
  auto* form = new TBarsForm;
  form->SetCaption("Bars form");
  form->SetBounds(100, 100, 400, 300);
  auto* other = new TForm(nullptr);
  other->EndLoading();
  other->SetCaption("Other form");
  other->SetBounds(600, 100, 300, 200);
  form->Show();
  other->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  ASSERT_TRUE(WaitVisible(other->Handle()));
  TdxBar* bar = form->AddBar("Floating");
  bar->ItemLinks()->Add()->SetItem(form->Button("B", "B"));
  bar->SetDockingStyle(dsNone);
  bar->SetFloatLeft(200);
  bar->SetFloatTop(200);
  struct TCase {
    const char* Name;
    bool FormActive, HideWhenInactive, Customizing, Shown;
  } cases[] = {
      {"form active", true, true, false, true},
      {"another window active", false, true, false, false},
      {"another window active, not hidden when inactive", false, false, false, true},
      {"another window active, customizing", false, true, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    HWND active = c.FormActive ? form->Handle() : other->Handle();
    SetForegroundWindow(active);
    SetActiveWindow(active);
    ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == active; }, 2000));
    form->Manager->SetHideFloatingBarsWhenInactive(c.HideWhenInactive);
    form->Manager->Customizing(c.Customizing);
    bar->SetVisible(true);
    ASSERT_NE(bar->Control(), nullptr);
    EXPECT_EQ(bar->Control()->Visible(), c.Shown);
    // A shown bar paints before it hides, so its shot shows it.
    if (c.Shown) UpdateWindow(bar->Control()->Handle());
    bar->SetVisible(false);
    form->Manager->Customizing(false);
  }
  other->Free();
  form->Free();
}

// ---------------------------------------------------------------- moving a bar

namespace {

// A shown form at (50, 60) with a bar docked at the top (left 10), or
// floating at (300, 300); O: the form's client origin on the screen.
struct TMoveCase {
  TScopedBarSystem Sys;
  TBarsForm* Form = new TBarsForm;
  TdxBar* Bar;
  TdxDockControl* Top;
  TPoint O;
  explicit TMoveCase(bool docked) {
    SetCursorPos(1270, 1010);
    Form->SetBounds(50, 60, 800, 400);
    Form->Manager->SetHideFloatingBarsWhenInactive(false);
    Top = Form->Manager->Bars()->GetDockControl(dsTop);
    Bar = Form->AddBar("Tools");
    Bar->ItemLinks()->Add()->SetItem(Form->Button("B", "B"));
    if (!docked) {
      Bar->SetDockingStyle(dsNone);
      Bar->SetFloatLeft(300);
      Bar->SetFloatTop(300);
    } else {
      Bar->SetDockedLeft(10);
    }
    Form->Show();
    EXPECT_TRUE(WaitVisible(Form->Handle()));
    Bar->SetVisible(true);
    O = Form->ClientOrigin();
  }
  ~TMoveCase() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
      if (msg.message != WM_QUIT) DispatchMessageA(&msg);
    ResetQuitReceived();
    // What the moved window uncovered is painted again before the shot.
    WaitUntil([] { return false; }, 200);
    SaveScreenshot(Form->Handle());
    Form->Free();
  }
  TdxBarControl* Control() { return Bar->Control(); }
  TPoint At(int x, int y) const { return TPoint(O.x + x, O.y + y); }
  void Move() { Form->Manager->Bars()->Moving(Control()); }
};

}  // namespace

TEST(BarsMoving, DockingTargetsFromTheZonesTheBarsAndTheManager) {
  TMoveCase c(false);
  TdxBarManager* m = c.Form->Manager;
  TdxBars* bars = m->Bars();
  TdxBar* bar = c.Bar;
  // The top site has no row yet: its zone is 23 pixels either side of its
  // edge; the left site's reaches 23 pixels either side of the form's left.
  TRect top = bars->GetDockControl(dsTop)->GetDockZoneBounds();
  EXPECT_EQ(top.top, c.O.y - 23);
  EXPECT_EQ(top.bottom, c.O.y + 23);
  TdxBarDockingStyle style;
  TdxDockControl* dock;
  struct TCase {
    TPoint P;
    TdxBarDockingStyle Style;
  } cases[] = {{c.At(300, 10), dsTop}, {c.At(10, 10), dsLeft}, {c.At(300, 200), dsNone}, {c.At(10, 200), dsLeft}};
  for (const auto& k : cases) {
    bars->GetDockingStyleAtPos(bar, k.P, style, dock);
    EXPECT_EQ(style, k.Style) << k.P.x << "," << k.P.y;
    EXPECT_EQ(dock, bars->GetDockControl(k.Style));
  }
  // The bar, the manager and OnDocking can each refuse a side.
  bar->SetNotDocking({dsLeft});
  bars->GetDockingStyleAtPos(bar, c.At(10, 10), style, dock);
  EXPECT_EQ(style, dsTop);
  m->SetNotDocking({dsTop});
  bars->GetDockingStyleAtPos(bar, c.At(10, 10), style, dock);
  EXPECT_EQ(style, dsNone);
  m->SetNotDocking({});
  bar->SetNotDocking({});
  std::vector<TdxBarDockingStyle> asked;
  m->OnDocking = [&](TdxBar*, TdxBarDockingStyle s, TdxDockControl*, bool& can) {
    asked.push_back(s);
    if (s == dsLeft) can = false;
  };
  bars->GetDockingStyleAtPos(bar, c.At(10, 10), style, dock);
  EXPECT_EQ(style, dsTop);
  EXPECT_EQ(asked, std::vector<TdxBarDockingStyle>({dsLeft, dsTop}));
  m->OnDocking = nullptr;
  // A hidden site takes no bar.
  bars->GetDockControl(dsTop)->SetVisible(false);
  bars->GetDockingStyleAtPos(bar, c.At(300, 10), style, dock);
  EXPECT_EQ(style, dsNone);
}

TEST(BarsMoving, AFloatingBarDocksWhenTheDelayRunsOutOverADock) {
  TMoveCase c(false);
  ASSERT_TRUE(WaitVisible(c.Control()->Handle()));
  c.Sys.System.Cursor = TPoint(310, 310);
  TScript s;
  std::vector<int> live;
  std::vector<TdxBarDockingStyle> styles;
  auto note = [&] {
    live.push_back(c.Sys.System.LiveTimers(21));
    styles.push_back(c.Control()->DockingStyle());
  };
  s.Do([&] { c.Sys.System.Cursor = c.At(270, 10); });
  s.Post(WM_MOUSEMOVE);
  s.Do(note);
  s.Do([&] { c.Sys.System.Cursor = c.At(280, 15); });
  s.Post(WM_MOUSEMOVE);
  s.Do(note);
  s.Do([&] { c.Sys.System.Fire(21); });
  s.Do(note);
  s.Post(WM_LBUTTONUP);
  c.Move();
  EXPECT_EQ(live, std::vector<int>({1, 1, 0}));
  EXPECT_EQ(c.Sys.System.Timers.size(), 2u);
  EXPECT_EQ(styles, std::vector<TdxBarDockingStyle>({dsNone, dsNone, dsTop}));
  EXPECT_EQ(c.Control()->DockControl(), c.Top);
  EXPECT_EQ(c.Bar->DockingStyle(), dsTop);
  // Docked by program in the new site: at the point, in its first row.
  EXPECT_EQ(c.Bar->DockedLeft(), 280);
  EXPECT_EQ(c.Bar->DockedTop(), 0);
  EXPECT_FALSE(c.Control()->Moving());
  EXPECT_EQ(c.Control()->KeptHandle(), nullptr);
  EXPECT_NE(GetCapture(), c.Form->Handle());
}

TEST(BarsMoving, CtrlAndARefusingOnDockingKeepTheBarFloating) {
  TMoveCase c(false);
  c.Sys.System.Cursor = TPoint(310, 310);
  TScript s;
  std::vector<int> live;
  auto note = [&] { live.push_back(c.Sys.System.LiveTimers(21)); };
  bool refuse = false;
  c.Form->Manager->OnDocking = [&](TdxBar*, TdxBarDockingStyle style, TdxDockControl*, bool& can) {
    if (refuse && style == dsTop) can = false;
  };
  // Ctrl down over the dock: no delay starts; Ctrl up: it starts at once.
  s.Do([&] {
    c.Sys.System.KeysDown[VK_CONTROL] = true;
    c.Sys.System.Cursor = c.At(270, 10);
  });
  s.Post(WM_KEYDOWN, VK_CONTROL);
  s.Do(note);
  s.Do([&] { c.Sys.System.KeysDown[VK_CONTROL] = false; });
  s.Post(WM_KEYUP, VK_CONTROL);
  s.Do(note);
  // When the delay runs out, OnDocking refuses the dock.
  s.Do([&] {
    refuse = true;
    c.Sys.System.Cursor = c.At(300, -10);
  });
  s.Post(WM_MOUSEMOVE);
  s.Do([&] { c.Sys.System.Fire(21); });
  s.Do(note);
  s.Post(WM_KEYDOWN, 'A');
  s.Post(WM_LBUTTONUP);
  c.Move();
  EXPECT_EQ(live, std::vector<int>({0, 1, 0}));
  EXPECT_EQ(c.Control()->DockingStyle(), dsNone);
  // The grab point stays under the cursor.
  EXPECT_EQ(c.Control()->Left(), c.O.x + 290);
  EXPECT_EQ(c.Control()->Top(), c.O.y - 20);
  EXPECT_EQ(c.Bar->FloatLeft(), c.O.x + 290);
}

TEST(BarsMoving, ADockedBarFollowsItsRowAndEscapeLeavesItWhereItIs) {
  TMoveCase c(true);
  ASSERT_EQ(c.Control()->Left(), 10);
  c.Sys.System.Cursor = c.At(40, 10);
  TScript s;
  s.Do([&] { c.Sys.System.Cursor = c.At(45, 10); });
  s.Post(WM_MOUSEMOVE);
  s.Post(WM_KEYDOWN, VK_ESCAPE);
  s.Do([&] { c.Sys.System.Cursor = c.At(90, 12); });
  s.Post(WM_MOUSEMOVE);
  c.Move();
  // The grab point follows the cursor along the row; the bar stays on it.
  EXPECT_EQ(c.Control()->Left(), 15);
  EXPECT_EQ(c.Control()->Top(), 0);
  EXPECT_EQ(c.Bar->DockedLeft(), 15);
  EXPECT_EQ(c.Control()->DockControl(), c.Top);
}

TEST(BarsMoving, TheLoopEndsWhenTheCaptureIsLostOrTheProgramQuits) {
  {
    TMoveCase c(true);
    c.Sys.System.Cursor = c.At(40, 10);
    TScript s;
    s.Do([] { ReleaseCapture(); });
    s.Post(WM_MOUSEMOVE);
    c.Move();
    EXPECT_FALSE(c.Control()->Moving());
  }
  {
    TMoveCase c(true);
    c.Sys.System.Cursor = c.At(40, 10);
    TScript s;
    s.Do([] { PostQuitMessage(3); });
    c.Move();
    EXPECT_FALSE(c.Control()->Moving());
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_NE(GetCapture(), c.Form->Handle());
  }
  {
    // A bar that may dock nowhere and float nowhere does not move.
    TMoveCase c(true);
    c.Bar->SetNotDocking({dsNone, dsLeft, dsTop, dsRight, dsBottom});
    HWND before = c.Control()->Handle();
    c.Move();
    EXPECT_FALSE(c.Control()->Moving());
    EXPECT_EQ(c.Control()->Handle(), before);
    EXPECT_EQ(c.Control()->KeptHandle(), nullptr);
  }
}
