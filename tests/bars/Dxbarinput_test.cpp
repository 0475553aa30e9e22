// The bars as a person uses them, through real input (SendInput) in the
// virtual desktop: the keyboard to the main menu, shortcuts and
// accelerators, clicks that open and close menus, outside clicks, the
// submenu delay, dragging and docking bars, popup menus.
#include "Menufixture.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// The frame shown at (20, 20), the cursor parked in a corner away from it.
struct TShownFrame {
  TScopedDialogs Dialogs;
  TMenuFrame* Form;
  TShownFrame() {
    SetCursorPos(1270, 1010);
    Form = new TMenuFrame;
    Form->Show();
    EXPECT_TRUE(WaitVisible(Form->Handle()));
    EXPECT_TRUE(BringToFront(Form->Handle()));
    ProcessQueuedMessages();
  }
  ~TShownFrame() {
    if (TCustomdxBarControl* active = ActiveBarControl()) active->HideAll();
    Form->Free();
    ProcessQueuedMessages();
  }
  TdxBarControl* MainMenu() { return Form->MainMenu()->Control(); }
  TdxBarItemControl* Title(const String& sub) { return Form->Control(Form->MainMenu(), "Sub" + sub); }
  TdxBarSubMenuControl* Menu(const String& sub) {
    return dynamic_cast<TdxBarSubMenuControl*>(Form->Sub(sub)->ItemLinks()->BarControl());
  }
  bool MenuShown(const String& sub) {
    TdxBarSubMenuControl* m = Menu(sub);
    return m && m->HandleAllocated() && IsWindowVisible(m->Handle());
  }
  // Moves the mouse onto the centre of a control.
  ::testing::AssertionResult Hover(TdxBarItemControl* control) {
    if (!control) return ::testing::AssertionFailure() << "no control";
    auto r = MoveTo(TMenuFrame::Centre(control));
    WaitInputProcessed();
    return r;
  }
  ::testing::AssertionResult ClickOn(TdxBarItemControl* control) {
    if (!control) return ::testing::AssertionFailure() << "no control";
    POINT p = TMenuFrame::Centre(control);
    HWND bar = control->Parent()->Handle();
    ScreenToClient(bar, &p);
    return Click(bar, p);
  }
};

}  // namespace

TEST(BarsInput, AltDownEnterRunsTheFirstEntryOnce) {
  TShownFrame f;
  ASSERT_TRUE(FocusWindow(f.Form->Edit1->Handle()));
  ASSERT_TRUE(KeyChord({VK_MENU}));
  ASSERT_TRUE(WaitFor([&] { return f.MainMenu()->IsActive(); }, 2000));
  EXPECT_EQ(f.MainMenu()->SelectedControl(), f.Title("File"));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(WaitFor([&] { return f.MenuShown("File"); }, 2000));
  SaveScreenshot(f.Form->Handle(), "file_open");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(WaitFor([&] { return !f.Form->Executed.empty(); }, 2000));
  PumpFor(200);
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ActionNew"}));
  EXPECT_EQ(ActiveBarControl(), nullptr);
  EXPECT_FALSE(f.MenuShown("File"));
  // The focus is back where it was.
  EXPECT_EQ(GetFocus(), f.Form->Edit1->Handle());
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
  SaveScreenshot(menu->Handle(), "menu");
  SaveScreenshot(f.Form->Handle(), "frame");
  // Moving to the next title opens its menu at once.
  ASSERT_TRUE(f.Hover(f.Title("Edit")));
  ASSERT_TRUE(WaitFor([&] { return f.MenuShown("Edit"); }, 1000));
  EXPECT_FALSE(f.MenuShown("File"));
}
