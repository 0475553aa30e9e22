// The bars as a person uses them, through real input (SendInput) in the
// virtual desktop: the keyboard to the main menu, shortcuts and
// accelerators, clicks that open and close menus, outside clicks, the
// submenu delay, dragging and docking bars, popup menus.
#include "Menufixture.h"
#include "classlib/Extctrls.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

struct TShownFrame : TShownMenuFrame {
  using TShownMenuFrame::TShownMenuFrame;
  TdxBarControl* MainMenu() { return Form->MainMenu()->Control(); }
  ::testing::AssertionResult Hover(TdxBarItemControl* control) {
    if (!control) return ::testing::AssertionFailure() << "no control";
    return Warp(TMenuFrame::Centre(control));
  }
  // Clicks at a control's centre: through the form, since a menu or a
  // floating bar never comes to the foreground.
  ::testing::AssertionResult ClickOn(TdxBarItemControl* control, TMouseButton button = mbLeft) {
    if (!control) return ::testing::AssertionFailure() << "no control";
    if (auto r = Warp(TMenuFrame::Centre(control)); !r) return r;
    return Click(Form->Handle(), FormPoint(TMenuFrame::Centre(control)), button);
  }
  TdxBarControl* Standard() { return Form->Standard()->Control(); }
};

}  // namespace

TEST(BarsInput, AltDownEnterRunsTheFirstEntryOnce) {
  TShownFrame f;
  ASSERT_TRUE(FocusWindow(f.Form->Edit1->Handle()));
  ASSERT_TRUE(KeyChord({VK_MENU}));
  ASSERT_TRUE(WaitFor([&] { return f.MainMenu()->IsActive(); }, 2000));
  EXPECT_EQ(f.MainMenu()->SelectedControl(), f.Title("File"));
  EXPECT_FALSE(f.MenuShown("File"));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(WaitFor([&] { return f.MenuShown("File"); }, 2000));
  SaveScreenshot(f.Form->Handle(), "file_open");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(WaitFor([&] { return !f.Form->Executed.empty(); }, 2000));
  PumpFor(200);
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ActionNew"}));
  EXPECT_EQ(ActiveBarControl(), nullptr);
  EXPECT_FALSE(f.MenuShown("File"));
  // The focus is back where it was, and the Enter went nowhere else.
  EXPECT_EQ(GetFocus(), f.Form->Edit1->Handle());
  EXPECT_EQ(f.Form->Edit1->Text(), "some text in the edit");
}

TEST(BarsInput, AltFOpensFileF10FocusesEscapeLeaves) {
  TShownFrame f;
  ASSERT_TRUE(FocusWindow(f.Form->Edit1->Handle()));
  ASSERT_TRUE(KeyChord({VK_MENU, 'F'}));
  ASSERT_TRUE(WaitFor([&] { return f.MenuShown("File"); }, 2000));
  EXPECT_EQ(f.Menu("File")->SelectedControl(), f.Form->MenuControl("File", "ButtonNew"));
  // Esc closes the menu, a second one leaves the bar.
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitFor([&] { return !f.MenuShown("File"); }, 2000));
  EXPECT_TRUE(f.MainMenu()->IsActive());
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitFor([&] { return ActiveBarControl() == nullptr; }, 2000));
  EXPECT_EQ(GetFocus(), f.Form->Edit1->Handle());
  // F10 focuses the main menu with its first item selected; Right moves
  // along it.
  ASSERT_TRUE(KeyChord({VK_F10}));
  ASSERT_TRUE(WaitFor([&] { return f.MainMenu()->IsActive(); }, 2000));
  ASSERT_TRUE(KeyChord({VK_RIGHT}));
  ASSERT_TRUE(WaitFor([&] { return f.MainMenu()->SelectedControl() == f.Title("Edit"); }, 2000));
  EXPECT_FALSE(f.MenuShown("Edit"));
  // A shared accelerator only selects.
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(KeyChord({VK_MENU, 'T'}));
  ASSERT_TRUE(WaitFor([&] { return f.MainMenu()->SelectedControl() == f.Title("Tools"); }, 2000));
  EXPECT_FALSE(f.MenuShown("Tools"));
  EXPECT_FALSE(f.MenuShown("Table"));
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  EXPECT_TRUE(f.Form->Executed.empty());
  EXPECT_EQ(f.Form->Edit1->Text(), "some text in the edit");
}

TEST(BarsInput, AShortcutRunsItsActionOnceWhileAnEditHasTheFocus) {
  TShownFrame f;
  ASSERT_TRUE(FocusWindow(f.Form->Edit1->Handle()));
  ASSERT_TRUE(KeyChord({VK_CONTROL, 'N'}));
  PumpFor(200);
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ActionNew"}));
  EXPECT_EQ(f.Form->Edit1->Text(), "some text in the edit");
  // A shortcut of a button only on a menu's entries runs it as well.
  ASSERT_TRUE(KeyChord({VK_CONTROL, 'X'}));
  PumpFor(200);
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ActionNew", "ButtonCut"}));
  EXPECT_EQ(ActiveBarControl(), nullptr);
}

TEST(BarsInput, ClickingFileOpensItsMenuUnderTheItem) {
  TShownFrame f;
  ASSERT_TRUE(f.ClickOn(f.Title("File")));
  ASSERT_TRUE(WaitFor([&] { return f.MenuShown("File"); }, 2000));
  TdxBarSubMenuControl* menu = f.Menu("File");
  TRect title = TMenuFrame::ScreenRect(f.Title("File"));
  TRect w = menu->GetWindowRect();
  EXPECT_EQ(w.left, title.left);
  EXPECT_EQ(w.top, title.bottom);
  SaveScreenshot(f.Form->Handle(), "file");
  // Moving to the next title opens its menu at once.
  ASSERT_TRUE(f.Hover(f.Title("Edit")));
  ASSERT_TRUE(WaitFor([&] { return f.MenuShown("Edit"); }, 1000));
  EXPECT_FALSE(f.MenuShown("File"));
  // A click on an entry runs it.
  ASSERT_TRUE(f.ClickOn(f.Form->MenuControl("Edit", "ButtonCopy")));
  ASSERT_TRUE(WaitFor([&] { return !f.Form->Executed.empty(); }, 2000));
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ButtonCopy"}));
  EXPECT_EQ(ActiveBarControl(), nullptr);
}

TEST(BarsInput, AnOutsideClickClosesTheMenusAndReachesItsTarget) {
  TShownFrame f;
  ASSERT_TRUE(f.ClickOn(f.Title("File")));
  ASSERT_TRUE(WaitFor([&] { return f.MenuShown("File"); }, 2000));
  // The Word Wrap button of the toolbar counts one click.
  ASSERT_TRUE(f.ClickOn(f.Form->Control(f.Form->Standard(), "ButtonWrap")));
  ASSERT_TRUE(WaitFor([&] { return !f.MenuShown("File"); }, 2000));
  PumpFor(100);
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ButtonWrap"}));
  EXPECT_TRUE(f.Form->Button("Wrap")->Down());
  EXPECT_EQ(ActiveBarControl(), nullptr);
}

TEST(BarsInput, ARightReleaseOutsideTheMenusIsEaten) {
  TShownFrame f;
  ASSERT_TRUE(f.ClickOn(f.Title("File")));
  ASSERT_TRUE(WaitFor([&] { return f.MenuShown("File"); }, 2000));
  // Pressed in the menu, released over the edit: its popup-menu link
  // does not hear it.
  ASSERT_TRUE(Warp(TMenuFrame::Centre(f.Form->MenuControl("File", "ButtonSave"))));
  ASSERT_TRUE(MouseDown(mbRight));
  ASSERT_TRUE(Warp(CentreOf(f.Form->Edit1->Handle())));
  ASSERT_TRUE(MouseUp(mbRight));
  PumpFor(200);
  EXPECT_TRUE(f.MenuShown("File"));
  EXPECT_EQ(f.Form->EditMenu->SubMenuControl(), nullptr);
  EXPECT_TRUE(f.Form->Executed.empty());
}

TEST(BarsInput, ASubmenuOpens400MsAfterTheMouseStops) {
  TShownFrame f;
  ASSERT_TRUE(f.ClickOn(f.Title("File")));
  ASSERT_TRUE(WaitFor([&] { return f.MenuShown("File"); }, 2000));
  DWORD start = GetTickCount();
  ASSERT_TRUE(f.Hover(f.Form->MenuControl("File", "SubRecent")));
  ASSERT_TRUE(WaitUntil([&] { return f.MenuShown("Recent"); }, 3000));
  EXPECT_GE(GetTickCount() - start, 350u);
  TRect entry = TMenuFrame::ScreenRect(f.Form->MenuControl("File", "SubRecent"));
  TRect w = f.Menu("Recent")->GetWindowRect();
  EXPECT_EQ(w.left, entry.right - f.Menu("Recent")->BorderSize());
  SaveScreenshot(f.Form->Handle(), "recent");
  ASSERT_TRUE(f.ClickOn(f.Form->MenuControl("Recent", "ButtonRecent2")));
  ASSERT_TRUE(WaitFor([&] { return !f.Form->Executed.empty(); }, 2000));
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ButtonRecent2"}));
  EXPECT_EQ(ActiveBarControl(), nullptr);
}

TEST(BarsInput, TheGripperDragsABarAndDoubleClicksFloatAndDockIt) {
  TShownFrame f;
  TdxBar* standard = f.Form->Standard();
  HWND form = f.Form->Handle();
  TRect docked = f.Standard()->GetWindowRect();
  POINT grip = f.Standard()->ClientToScreen(TPoint(-3, f.Standard()->ClientHeight() / 2));
  ASSERT_TRUE(Warp(grip));
  ASSERT_TRUE(Drag(form, f.FormPoint(grip), f.FormPoint(CentreOf(f.Form->ClientHandle())), 10));
  ASSERT_TRUE(Warp(CentreOf(f.Form->ClientHandle())));
  ASSERT_TRUE(WaitFor([&] { return standard->DockingStyle() == dsNone; }, 2000));
  ASSERT_NE(standard->Control(), nullptr);
  EXPECT_TRUE(IsWindowVisible(standard->Control()->Handle()));
  SaveScreenshot(f.Form->Handle(), "floating");
  // With Ctrl held it stays floating over its old place.
  TRect caption = standard->Control()->GetCaptionRect();
  POINT from = standard->Control()->ClientToScreen(TPoint((caption.left + caption.right) / 2, (caption.top + caption.bottom) / 2));
  POINT to{docked.left + 40, docked.top + docked.Height() / 2};
  TPoint before = standard->Control()->GetWindowRect().TopLeft();
  INPUT ctrl{};
  ctrl.type = INPUT_KEYBOARD;
  ctrl.ki.wVk = VK_CONTROL;
  SendInput(1, &ctrl, sizeof ctrl);
  ASSERT_TRUE(Warp(from));
  ::testing::AssertionResult dragged = Drag(form, f.FormPoint(from), f.FormPoint(to), 10);
  ctrl.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &ctrl, sizeof ctrl);
  ASSERT_TRUE(Warp(to));
  ASSERT_TRUE(dragged);
  EXPECT_EQ(standard->DockingStyle(), dsNone);
  EXPECT_NE(standard->Control()->GetWindowRect().TopLeft(), before);
  // A double click on its caption docks it where it was, another on the
  // gripper floats it again.
  caption = standard->Control()->GetCaptionRect();
  from = standard->Control()->ClientToScreen(TPoint((caption.left + caption.right) / 2, (caption.top + caption.bottom) / 2));
  ASSERT_TRUE(Warp(from));
  ASSERT_TRUE(DoubleClick(form, f.FormPoint(from)));
  ASSERT_TRUE(WaitFor([&] { return standard->DockingStyle() == dsTop; }, 2000));
  EXPECT_EQ(standard->Control()->GetRow(), 1);
  grip = f.Standard()->ClientToScreen(TPoint(-3, f.Standard()->ClientHeight() / 2));
  ASSERT_TRUE(Warp(grip));
  ASSERT_TRUE(DoubleClick(form, f.FormPoint(grip)));
  ASSERT_TRUE(WaitFor([&] { return standard->DockingStyle() == dsNone; }, 2000));
}

TEST(BarsInput, APopupMenuNearTheBottomOpensUpwardAndKeepsAQuit) {
  TRect work = GetWorkArea(TPoint(0, 0));
  TShownFrame f(Bounds(20, work.bottom - 300, 640, 300));
  TEdit* edit = f.Form->Edit1;
  TScript script;
  TRect shown;
  f.Form->EditMenu->OnPopup = [&](TObject*) {
    script.Do([&] {
      TdxBarSubMenuControl* menu = f.Form->EditMenu->SubMenuControl();
      shown = menu ? menu->GetWindowRect() : TRect();
      if (menu) SaveScreenshot(f.Form->Handle(), "popup");
      PostQuitMessage(3);
    });
  };
  POINT at = CentreOf(edit->Handle());
  ASSERT_TRUE(Warp(at));
  ASSERT_TRUE(RightClick(edit->Handle()));
  ASSERT_TRUE(WaitFor([&] { return !shown.Empty(); }, 3000));
  // The menu ends at the click point; the quit is still there afterwards.
  EXPECT_EQ(shown.bottom, at.y);
  EXPECT_EQ(shown.left, at.x);
  MSG msg;
  bool quit = WaitFor([&] { return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE; }, 2000) ||
              PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  ResetQuitReceived();
  EXPECT_TRUE(quit || QuitReceived());
  EXPECT_EQ(f.Form->EditMenu->SubMenuControl(), nullptr);
}

namespace {
std::function<void()> gWatchTick;
void CALLBACK WatchTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  if (gWatchTick) gWatchTick();
}
}  // namespace

// The menu's own loop hands what it does not take to the application's
// filter: the mouse over a control with a hint shows the hint while the
// menu is open.
TEST(BarsInput, WhileAPopupMenuIsOpenTheApplicationsHintsShow) {
  TShownFrame f;
  auto* panel = new TPanel(f.Form);
  panel->SetParent(f.Form);
  panel->SetAlign(alRight);
  panel->SetWidth(120);
  panel->SetHint("Panel|The panel beside the text");
  panel->SetShowHint(true);
  auto pause = SetForScope(Application->HintPause, 50);
  TdxBarPopupMenu* popup = f.Form->EditMenu;
  HWND tip = nullptr;
  bool open = false;
  String hint;
  uint64_t deadline = GetTickCount64() + 5000;
  // A thread timer looks from inside the menu's loop and closes the menu
  // once the hint shows (or the time is up).
  gWatchTick = [&] {
    TdxBarSubMenuControl* menu = popup->SubMenuControl();
    if (!menu) return;
    HWND t = FindTopWindow("Panel", "THintWindow");
    if (!(t && IsWindowVisible(t)) && GetTickCount64() < deadline) return;
    tip = t;
    open = popup->Shown() && IsWindowVisible(menu->Handle());
    hint = Application->Hint();
    SaveDesktopScreenshot("hint");
    menu->HideAll();
    deadline = 0;
  };
  UINT_PTR watch = SetTimer(nullptr, 0, 20, WatchTimerProc);
  auto client = [&](HWND wnd) {
    POINT p = CentreOf(wnd);
    ScreenToClient(f.Form->Handle(), &p);
    return p;
  };
  POINT onEdit = client(f.Form->Edit1->Handle());
  onEdit.x = 40;
  // The right click opens the menu, whose loop takes the move to the panel.
  EXPECT_TRUE(Gesture(f.Form->Handle(), {{TGestureStep::Move, onEdit},
                                         {TGestureStep::ButtonDown, onEdit, 0, mbRight},
                                         {TGestureStep::ButtonUp, onEdit, 0, mbRight},
                                         {TGestureStep::Move, client(panel->Handle())}}));
  EXPECT_TRUE(WaitUntil([&] { return deadline == 0; }, 8000));
  KillTimer(nullptr, watch);
  gWatchTick = nullptr;
  EXPECT_TRUE(open);
  EXPECT_NE(tip, nullptr);
  EXPECT_EQ(hint, "The panel beside the text");
  EXPECT_EQ(popup->SubMenuControl(), nullptr);
  ASSERT_TRUE(Warp(POINT{1270, 1010}));
  Application->CancelHint();
}

TEST(BarsInput, ShiftF10OnALinkedEditOpensItsMenuAtTheCaret) {
  TShownFrame f;
  TEdit* edit = f.Form->Edit1;
  ASSERT_TRUE(FocusWindow(edit->Handle()));
  SendMessageA(edit->Handle(), EM_SETSEL, 6, 6);
  POINT caret{};
  GetCaretPos(&caret);
  ClientToScreen(edit->Handle(), &caret);
  TScript script;
  TRect shown;
  f.Form->EditMenu->OnPopup = [&](TObject*) {
    script.Do([&] {
      TdxBarSubMenuControl* menu = f.Form->EditMenu->SubMenuControl();
      shown = menu ? menu->GetWindowRect() : TRect();
      SaveScreenshot(f.Form->Handle(), "caret");
      if (menu) menu->HideAll();
    });
  };
  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_F10}));
  ASSERT_TRUE(WaitFor([&] { return !shown.Empty(); }, 3000));
  EXPECT_EQ(shown.TopLeft(), TPoint(caret));
  PumpFor(100);
  EXPECT_EQ(f.Form->EditMenu->SubMenuControl(), nullptr);
  EXPECT_EQ(GetFocus(), edit->Handle());
}

TEST(BarsInput, EnterOnAnEntryLeavesTheBoxItOpensOpen) {
  TShownFrame f;
  // The entry opens the library's own input box (no seam).
  bool answered = true;
  int runs = 0;
  ASSERT_TRUE(FocusWindow(f.Form->Edit1->Handle()));
  ASSERT_TRUE(KeyChord({VK_MENU, 'F'}));
  ASSERT_TRUE(WaitFor([&] { return f.MenuShown("File"); }, 2000));
  TdxBarItemControl* entry = f.Form->MenuControl("File", "ButtonNew");
  ASSERT_NE(entry, nullptr);
  entry->Item()->OnClick = [&](TObject*) {
    ++runs;
    TSystemDialogs real;
    String value = "preset";
    answered = real.InputQuery("Probe", "Name:", value);
  };
  {
    TModalDriver modal;
    // The Enter that chose the entry is not the box's: it stays open.
    modal.Window("Probe").Do("open a while", [start = GetTickCount64()](HWND box) {
      return IsWindowVisible(box) && GetTickCount64() - start >= 500;
    });
    modal.Press("Cancel");
    ASSERT_TRUE(KeyChord({VK_RETURN}));
    EXPECT_TRUE(modal.Finish());
  }
  EXPECT_FALSE(answered);
  EXPECT_EQ(runs, 1);
}
