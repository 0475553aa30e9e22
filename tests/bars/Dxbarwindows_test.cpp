// What needs the virtual desktop: the hint window and the loop that moves
// a bar with the mouse.
#include "Barstest.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

// ---------------------------------------------------------------- hints

namespace {

// A shown bar with two buttons; the cursor over the first.
struct THintCase {
  TScopedBarSystem Sys;
  TBarsForm* Form = new TBarsForm;
  TdxBarButton* Open;
  TdxBarButton* Save;
  TdxBar* Bar;
  THintCase() {
    Open = Form->Button("Open", "Open");
    Open->SetHint("Open a file|Opens a file");
    Open->SetShortCut(ShortCut('O', {ssCtrl}));
    Save = Form->Button("Save", "Save");
    Bar = Form->AddBar("Standard");
    Bar->ItemLinks()->Add()->SetItem(Open);
    Bar->ItemLinks()->Add()->SetItem(Save);
    Bar->SetVisible(true);
    Bar->Control()->SetScreenRect(TRect(100, 100, 200, 126));
    Bar->ItemLinks()->Items(0)->SetItemRect(TRect(0, 0, 23, 22));
    Bar->ItemLinks()->Items(1)->SetItemRect(TRect(23, 0, 46, 22));
    Sys.System.Cursor = TPoint(110, 110);
  }
  ~THintCase() {
    if (dxBarHintWindow()) dxBarHintWindow()->HideHint();
    Form->Free();
  }
  TdxBarItemControl* Control(int i) { return Bar->ItemLinks()->Items(i)->Control(); }
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
  EXPECT_EQ(r.left, 110);
  EXPECT_EQ(r.top, 130);
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
  h.Sys.System.Cursor = TPoint(130, 110);
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
  h.Sys.System.Cursor = TPoint(130, 110);
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
    bar->SetVisible(false);
    form->Manager->Customizing(false);
  }
  other->Free();
  form->Free();
}

// ---------------------------------------------------------------- moving a bar

namespace {

// Steps run by a window's messages, posted in order with the input.
class TScript {
 public:
  TScript() {
    wnd_ = AllocateHWnd([this](TMessage& m) {
      if (m.Msg == kStep && m.WParam < steps_.size()) {
        steps_[m.WParam]();
        m.Result = 0;
        return;
      }
      m.Result = DefWindowProcA(wnd_, m.Msg, m.WParam, m.LParam);
    });
  }
  ~TScript() { DeallocateHWnd(wnd_); }
  void Do(std::function<void()> step) {
    steps_.push_back(std::move(step));
    PostMessageA(wnd_, kStep, steps_.size() - 1, 0);
  }
  void Post(UINT msg, WPARAM w = 0) { PostMessageA(wnd_, msg, w, 0); }

 private:
  static constexpr UINT kStep = WM_USER + 5;
  HWND wnd_;
  std::vector<std::function<void()>> steps_;
};

// A bar docked at the top (dock at (0, 30), zone 0..800 x 0..60), or
// floating at (300, 300).
struct TMoveCase {
  TScopedBarSystem Sys;
  TBarsForm* Form = new TBarsForm;
  TdxBar* Bar;
  TdxDockControl* Top;
  explicit TMoveCase(bool docked) {
    Top = Form->Manager->Bars()->GetDockControl(dsTop);
    Top->SetClientOrigin(TPoint(0, 30));
    Top->SetDockZoneBounds(TRect(0, 0, 800, 60));
    Bar = Form->AddBar("Tools");
    Bar->ItemLinks()->Add()->SetItem(Form->Button("B", "B"));
    if (!docked) {
      Bar->SetDockingStyle(dsNone);
      Bar->SetFloatLeft(300);
      Bar->SetFloatTop(300);
    } else {
      Bar->SetDockedLeft(10);
    }
    Bar->SetVisible(true);
  }
  ~TMoveCase() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
      if (msg.message != WM_QUIT) DispatchMessageA(&msg);
    ResetQuitReceived();
    Form->Free();
  }
  TdxBarControl* Control() { return Bar->Control(); }
  void Move() { Form->Manager->Bars()->Moving(Control()); }
};

}  // namespace

TEST(BarsMoving, AFloatingBarDocksWhenTheDelayRunsOutOverADock) {
  TMoveCase c(false);
  c.Sys.System.Cursor = TPoint(310, 310);
  TScript s;
  std::vector<int> live;
  std::vector<TdxBarDockingStyle> styles;
  auto note = [&] {
    live.push_back(c.Sys.System.LiveTimers(21));
    styles.push_back(c.Control()->DockingStyle());
  };
  s.Do([&] { c.Sys.System.Cursor = TPoint(320, 40); });
  s.Post(WM_MOUSEMOVE);
  s.Do(note);
  s.Do([&] { c.Sys.System.Cursor = TPoint(330, 45); });
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
  EXPECT_EQ(c.Bar->DockedLeft(), 330);
  EXPECT_EQ(c.Bar->DockedTop(), 15);
  EXPECT_FALSE(c.Control()->Moving());
  EXPECT_NE(GetCapture(), c.Form->Handle());
  EXPECT_EQ(CallsOf("Bar Tools").back(), "SavePos");
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
    c.Sys.System.Cursor = TPoint(320, 40);
  });
  s.Post(WM_KEYDOWN, VK_CONTROL);
  s.Do(note);
  s.Do([&] { c.Sys.System.KeysDown[VK_CONTROL] = false; });
  s.Post(WM_KEYUP, VK_CONTROL);
  s.Do(note);
  // When the delay runs out, OnDocking refuses the dock.
  s.Do([&] {
    refuse = true;
    c.Sys.System.Cursor = TPoint(350, 20);
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
  EXPECT_EQ(c.Control()->Left(), 340);
  EXPECT_EQ(c.Control()->Top(), 10);
  EXPECT_EQ(c.Bar->FloatLeft(), 340);
}

TEST(BarsMoving, ADockedBarFollowsItsRowAndEscapeLeavesItWhereItIs) {
  TMoveCase c(true);
  ASSERT_EQ(c.Control()->Left(), 10);
  c.Sys.System.Cursor = TPoint(40, 40);
  TScript s;
  s.Do([&] { c.Sys.System.Cursor = TPoint(45, 40); });
  s.Post(WM_MOUSEMOVE);
  s.Post(WM_KEYDOWN, VK_ESCAPE);
  s.Do([&] { c.Sys.System.Cursor = TPoint(90, 42); });
  s.Post(WM_MOUSEMOVE);
  c.Move();
  // The point handed to the dock is on the bar's row (y 30 on the screen),
  // not at the cursor (y 40).
  EXPECT_EQ(c.Control()->Left(), 45);
  EXPECT_EQ(c.Control()->Top(), 0);
  EXPECT_EQ(c.Bar->DockedLeft(), 45);
  EXPECT_EQ(c.Control()->DockControl(), c.Top);
}

TEST(BarsMoving, TheLoopEndsWhenTheCaptureIsLostOrTheProgramQuits) {
  {
    TMoveCase c(true);
    c.Sys.System.Cursor = TPoint(40, 40);
    TScript s;
    s.Do([] { ReleaseCapture(); });
    s.Post(WM_MOUSEMOVE);
    c.Move();
    EXPECT_FALSE(c.Control()->Moving());
  }
  {
    TMoveCase c(true);
    c.Sys.System.Cursor = TPoint(40, 40);
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
    dxBarStandInCalls().clear();
    c.Move();
    EXPECT_TRUE(CallsOf("Bar Tools").empty());
  }
}
