// The date combo on a toolbar and in a menu of a shown form, by real
// input: the navigator dropped at today with the edit keeping the keys,
// Enter, Escape and clicked days, the arrows held, the month list dragged
// and picked, Today and Clear left and re-entered, typed texts and '+',
// and the "Select the date" dialog where the combo is a button.
#include "Itemsfixture.h"

#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// The bars' timers and today faked, everything else the real system's
// (hooks, keys and the pointer stay real for the input).
class TDateSystem : public TFakeBarSystem {
 public:
  SHORT GetAsyncKeyState(int key) override { return TdxBarSystem::GetAsyncKeyState(key); }
  SHORT GetKeyState(int key) override { return TdxBarSystem::GetKeyState(key); }
  void GetKeyboardState(BYTE state[256]) override { TdxBarSystem::GetKeyboardState(state); }
  TPoint GetCursorPos() override { return TdxBarSystem::GetCursorPos(); }
  HHOOK SetHook(int idHook, HOOKPROC proc) override { return TdxBarSystem::SetHook(idHook, proc); }
  void RemoveHook(HHOOK hook) override { TdxBarSystem::RemoveHook(hook); }
};

struct TScopedDateSystem {
  TScopedDateSystem() : previous_(dxBarSetSystem(&System)) {}
  ~TScopedDateSystem() { dxBarSetSystem(previous_); }
  TDateSystem System;

 private:
  TdxBarSystem* previous_;
};

// Today is Wednesday, September 4, 2024 (the fake's); en-US weeks start on
// Sunday.
const double kToday = EncodeDate(2024, 9, 4);

// The date system first: the combo takes today as it is made, and the
// hooks the form's manager installs stay real.
struct TDateItems {
  TScopedDateSystem Sys;
  TItemsFixture F;
  TdxBarDateCombo* Combo;
  int Changes = 0;
  TDateItems() {
    Combo = new TdxBarDateCombo(F.Form);
    Combo->SetName("ComboDate");
    Combo->SetCaption("Date");
    Combo->SetWidth(130);
    Combo->OnChange = [this](TObject*) { ++Changes; };
    F.Place(Combo);
  }
  TFakeBarSystem& Fake() { return Sys.System; }
  TdxBarDateComboControl* Control() { return dynamic_cast<TdxBarDateComboControl*>(F.ToolbarControl(Combo)); }
  TdxBarDateNavigator* Nav() { return Combo->DateNavigator(); }
  HWND Popup() {
    HWND w = Nav()->HandleAllocated() ? Nav()->Handle() : nullptr;
    return w && IsWindowVisible(w) ? w : nullptr;
  }
  // Drops the navigator with a click on the combo's drop button.
  ::testing::AssertionResult Open(TdxBarItemControl* c) {
    auto* combo = dynamic_cast<TCustomdxBarComboControl*>(c);
    if (!combo) return ::testing::AssertionFailure() << "no combo control";
    TRect b = combo->DropButtonRect();
    POINT p{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
    ::ClientToScreen(c->Parent()->Handle(), &p);
    if (auto r = TItemsFixture::ClickOn(c, p); !r) return r;
    if (!WaitUntil([&] { return Popup() != nullptr; }, 2000)) return ::testing::AssertionFailure() << "no navigator";
    ProcessQueuedMessages();
    return ::testing::AssertionSuccess();
  }
  // Screen points of the navigator.
  POINT At(const TRect& client) {
    POINT p{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
    ::ClientToScreen(Popup(), &p);
    return p;
  }
  POINT Day(double date) { return At(Nav()->DayRect(date)); }
};

// Presses and releases where the pointer goes, without bringing anything
// to the front (that would take the focus from the combo's field).
::testing::AssertionResult ClickAt(POINT p) {
  if (auto r = MoveTo(p); !r) return r;
  if (auto r = MouseDown(); !r) return r;
  return MouseUp();
}

}  // namespace

TEST(BarsDateComboInput, AnEmptyComboDropsAtTodayAndTheKeysWalkTheDays) {
  TDateItems f;
  f.Combo->SetDate(dxBarNoDate);
  f.Changes = 0;
  TdxBarDateComboControl* c = f.Control();
  ASSERT_NE(c, nullptr);
  SaveScreenshot(f.F.Form->Handle(), "closed");
  ASSERT_TRUE(f.Open(c));
  EXPECT_EQ(f.Nav()->GetSelStart(), kToday);
  EXPECT_EQ(f.Nav()->FirstDate(), EncodeDate(2024, 9, 1));
  EXPECT_TRUE(c->HostedWindowFocused());
  // Dropped below the field, as wide as the navigator's measures say.
  RECT w;
  GetWindowRect(f.Popup(), &w);
  TRect item = c->Parent()->GetItemScreenRect(c);
  EXPECT_GE(w.top, item.bottom - 1);
  EXPECT_EQ(w.right - w.left, f.Nav()->GetWidth());
  EXPECT_EQ(w.bottom - w.top, f.Nav()->GetHeight());
  // Today framed in maroon.
  TDibSurface shot = CaptureClient(f.Popup());
  EXPECT_GT(CountColor(shot, RGB(128, 0, 0)), 20);
  SaveDesktopScreenshot("dropped");

  // The keys reach the navigator while the edit keeps the focus; a move
  // off the grid shows the selection's month.
  struct { std::initializer_list<WORD> keys; double sel, first; } steps[] = {
      {{VK_RIGHT}, EncodeDate(2024, 9, 5), EncodeDate(2024, 9, 1)},
      {{VK_DOWN}, EncodeDate(2024, 9, 12), EncodeDate(2024, 9, 1)},
      {{VK_HOME}, EncodeDate(2024, 9, 8), EncodeDate(2024, 9, 1)},
      {{VK_END}, EncodeDate(2024, 9, 14), EncodeDate(2024, 9, 1)},
      {{VK_CONTROL, VK_HOME}, EncodeDate(2024, 9, 1), EncodeDate(2024, 9, 1)},
      // September 1st is a Sunday: the grid begins on August 25.
      {{VK_UP}, EncodeDate(2024, 8, 25), EncodeDate(2024, 9, 1)},
      {{VK_LEFT}, EncodeDate(2024, 8, 24), EncodeDate(2024, 8, 1)},
      {{VK_CONTROL, VK_END}, EncodeDate(2024, 8, 31), EncodeDate(2024, 8, 1)},
      {{VK_NEXT}, EncodeDate(2024, 9, 30), EncodeDate(2024, 9, 1)},
      {{VK_PRIOR}, EncodeDate(2024, 8, 30), EncodeDate(2024, 9, 1)},
  };
  for (auto& s : steps) {
    ASSERT_TRUE(KeyChord(s.keys));
    EXPECT_EQ(f.Nav()->GetSelStart(), s.sel) << DateToStr(s.sel);
    EXPECT_EQ(f.Nav()->FirstDate(), s.first) << DateToStr(s.sel);
  }
  EXPECT_TRUE(c->HostedWindowFocused());
  EXPECT_EQ(f.Changes, 0);
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(WaitUntil([&] { return !f.Popup(); }, 2000));
  EXPECT_EQ(f.Combo->Text(), "Fri 8/30/2024");
  EXPECT_EQ(f.Changes, 1);

  // Escape closes it unchanged.
  ASSERT_TRUE(f.Open(f.Control()));
  EXPECT_EQ(f.Nav()->GetSelStart(), EncodeDate(2024, 8, 30));
  ASSERT_TRUE(KeyChord({VK_RIGHT}));
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitUntil([&] { return !f.Popup(); }, 2000));
  EXPECT_EQ(f.Combo->Text(), "Fri 8/30/2024");
  EXPECT_EQ(f.Changes, 1);

  // A clicked day, one of the next month's trailing days too.
  ASSERT_TRUE(f.Open(f.Control()));
  ASSERT_TRUE(ClickAt(f.Day(EncodeDate(2024, 9, 3))));
  ASSERT_TRUE(WaitUntil([&] { return !f.Popup(); }, 2000));
  EXPECT_EQ(f.Combo->Text(), "Tue 9/3/2024");
  EXPECT_EQ(f.Changes, 2);
}

TEST(BarsDateComboInput, HeldArrowsRepeatAndTheMonthListScrollsAndPicks) {
  TDateItems f;
  TdxBarDateComboControl* c = f.Control();
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(f.Open(c));
  TdxBarNavigatorLayout l = f.Nav()->Layout();

  // The right arrow held: a month at once, another at each tick while the
  // pointer stays on it.
  ASSERT_TRUE(MoveTo(f.At(l.RightArrow)));
  ASSERT_TRUE(MouseDown());
  EXPECT_EQ(f.Nav()->FirstDate(), EncodeDate(2024, 10, 1));
  ASSERT_EQ(f.Fake().LiveTimers(170), 1);
  ASSERT_TRUE(f.Fake().Fire(170));
  EXPECT_EQ(f.Nav()->FirstDate(), EncodeDate(2024, 11, 1));
  ASSERT_TRUE(MoveTo(f.At(l.MonthName)));
  WaitInputProcessed();
  ASSERT_TRUE(f.Fake().Fire(170));
  EXPECT_EQ(f.Nav()->FirstDate(), EncodeDate(2024, 11, 1));
  ASSERT_TRUE(MouseUp());
  EXPECT_EQ(f.Fake().LiveTimers(170), 0);
  EXPECT_NE(f.Popup(), nullptr);
  EXPECT_EQ(f.Nav()->GetSelStart(), kToday);
  // The left arrow once.
  ASSERT_TRUE(ClickAt(f.At(l.LeftArrow)));
  EXPECT_EQ(f.Nav()->FirstDate(), EncodeDate(2024, 10, 1));
  EXPECT_NE(f.Popup(), nullptr);

  // Pressed on the month name: seven months, October the fourth.
  ASSERT_TRUE(MoveTo(f.At(l.MonthName)));
  ASSERT_TRUE(MouseDown());
  TAMonthListBox* list = f.Nav()->MonthList();
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(WaitVisible(list->Handle()));
  EXPECT_EQ(list->TopDate(), EncodeDate(2024, 7, 1));
  RECT lr, lc;
  GetWindowRect(list->Handle(), &lr);
  GetClientRect(list->Handle(), &lc);
  EXPECT_EQ(lc.bottom, 7 * list->ItemHeight());
  EXPECT_EQ(lc.right, 6 * f.Nav()->Metrics().ColumnWidth);
  SaveDesktopScreenshot("month-list");
  // 30 pixels below it: a month down every 100 ms; 5 above it: a month up
  // every 500 ms.
  POINT below{(lr.left + lr.right) / 2, lr.bottom - 1 + 30};
  ASSERT_TRUE(MoveTo(below));
  WaitInputProcessed();
  EXPECT_EQ(list->SelectedIndex(), -1);
  ASSERT_EQ(f.Fake().LiveTimers(100), 1);
  ASSERT_TRUE(f.Fake().Fire(100));
  ASSERT_TRUE(f.Fake().Fire(100));
  EXPECT_EQ(list->TopDate(), EncodeDate(2024, 9, 1));
  POINT origin{0, 0};
  ClientToScreen(list->Handle(), &origin);
  ASSERT_TRUE(MoveTo(POINT{below.x, origin.y - 5}));
  WaitInputProcessed();
  EXPECT_EQ(f.Fake().LiveTimers(100), 0);
  ASSERT_EQ(f.Fake().LiveTimers(500), 1);
  ASSERT_TRUE(f.Fake().Fire(500));
  EXPECT_EQ(list->TopDate(), EncodeDate(2024, 8, 1));
  // On the list the scrolling stops; its third row is October.
  ASSERT_TRUE(MoveTo(POINT{below.x, origin.y + 2 * list->ItemHeight() + list->ItemHeight() / 2}));
  WaitInputProcessed();
  EXPECT_EQ(f.Fake().LiveTimers(500), 0);
  EXPECT_EQ(list->SelectedIndex(), 2);
  EXPECT_EQ(list->ChosenDate(), EncodeDate(2024, 10, 1));
  // The pick ends the press, even over the grid: the month shows, the
  // drop-down stays open and the date unchanged.
  ASSERT_TRUE(MouseUp());
  WaitInputProcessed();
  EXPECT_EQ(f.Nav()->MonthList(), nullptr);
  EXPECT_EQ(f.Nav()->FirstDate(), EncodeDate(2024, 10, 1));
  EXPECT_NE(f.Popup(), nullptr);
  EXPECT_EQ(f.Combo->Date(), kToday);
  EXPECT_EQ(f.Changes, 0);
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitUntil([&] { return !f.Popup(); }, 2000));
}

TEST(BarsDateComboInput, TodayAndClearActOnlyWhenReleasedOnThem) {
  TDateItems f;
  f.Combo->SetText("3/4/2024");
  f.Changes = 0;
  ASSERT_TRUE(f.Open(f.Control()));
  TdxBarNavigatorLayout l = f.Nav()->Layout();
  ASSERT_FALSE(l.TodayButton.Empty());
  ASSERT_FALSE(l.ClearButton.Empty());
  // Today pressed, left and entered again: today, closed.
  ASSERT_TRUE(MoveTo(f.At(l.TodayButton)));
  ASSERT_TRUE(MouseDown());
  EXPECT_TRUE(f.Nav()->TodayPressed() && f.Nav()->TodayHot());
  SaveDesktopScreenshot("today-pressed");
  ASSERT_TRUE(MoveTo(f.Day(EncodeDate(2024, 3, 20))));
  WaitInputProcessed();
  EXPECT_FALSE(f.Nav()->TodayHot());
  EXPECT_EQ(f.Nav()->GetSelStart(), EncodeDate(2024, 3, 4));
  ASSERT_TRUE(MoveTo(f.At(l.TodayButton)));
  WaitInputProcessed();
  EXPECT_TRUE(f.Nav()->TodayHot());
  ASSERT_TRUE(MouseUp());
  ASSERT_TRUE(WaitUntil([&] { return !f.Popup(); }, 2000));
  EXPECT_EQ(f.Combo->Text(), "Wed 9/4/2024");
  EXPECT_EQ(f.Changes, 1);

  // Clear released off it: nothing; released on it: empty, closed.
  ASSERT_TRUE(f.Open(f.Control()));
  ASSERT_TRUE(MoveTo(f.At(l.ClearButton)));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(MoveTo(f.Day(EncodeDate(2024, 9, 18))));
  ASSERT_TRUE(MouseUp());
  WaitInputProcessed();
  EXPECT_NE(f.Popup(), nullptr);
  EXPECT_FALSE(f.Nav()->ClearPressed());
  EXPECT_EQ(f.Combo->Text(), "Wed 9/4/2024");
  EXPECT_EQ(f.Nav()->GetSelStart(), kToday);
  ASSERT_TRUE(ClickAt(f.At(l.ClearButton)));
  ASSERT_TRUE(WaitUntil([&] { return !f.Popup(); }, 2000));
  EXPECT_EQ(f.Combo->Text(), "");
  EXPECT_EQ(f.Combo->Date(), dxBarNoDate);
  EXPECT_EQ(f.Changes, 2);

  // Without both buttons the drop-down has no buttons area.
  f.Combo->SetShowTodayButton(false);
  f.Combo->SetShowClearButton(false);
  ASSERT_TRUE(f.Open(f.Control()));
  EXPECT_TRUE(f.Nav()->Layout().TodayButton.Empty());
  EXPECT_EQ(f.Nav()->GetHeight(),
            dxBarNavigatorSize(f.Nav()->Metrics(), TSize(2, 2), f.Nav()->GetFlat(), false).cy);
  SaveDesktopScreenshot("no-buttons");
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
}

TEST(BarsDateComboInput, TypedTextsAreCommittedAndPlusStepsADay) {
  TDateItems f;
  TdxBarDateComboControl* c = f.Control();
  ASSERT_NE(c, nullptr);
  struct { const char* typed; const char* text; } typed[] = {
      {"3/5/2024", "Tue 3/5/2024"}, {"xyz", ""}, {"1/1/1500", ""}, {"Sat 12/31/2024", "Tue 12/31/2024"},
  };
  for (auto& t : typed) {
    f.Combo->SetFocus();
    ASSERT_TRUE(WaitUntil([&] { return f.Control() && f.Control()->Focused(); }, 2000));
    SendMessageA(f.Control()->Window(), EM_SETSEL, 0, -1);
    ASSERT_TRUE(TypeText(t.typed));
    ASSERT_TRUE(KeyChord({VK_RETURN}));
    EXPECT_EQ(f.Combo->Text(), t.text) << t.typed;
  }
  // '+' on December 31 gives January 1 in the field; Enter commits it.
  ASSERT_EQ(f.Combo->Date(), EncodeDate(2024, 12, 31));
  f.Combo->SetFocus();
  ASSERT_TRUE(WaitUntil([&] { return f.Control() && f.Control()->Focused(); }, 2000));
  ASSERT_TRUE(TypeText("+"));
  EXPECT_EQ(f.Control()->GetText(), "Wed 1/1/2025");
  ASSERT_TRUE(TypeText("--"));
  EXPECT_EQ(f.Control()->GetText(), "Mon 12/30/2024");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(f.Combo->Date(), EncodeDate(2024, 12, 30));
  // In an empty field '+' does nothing and inserts nothing.
  f.Combo->SetDate(dxBarNoDate);
  f.Combo->SetFocus();
  ASSERT_TRUE(WaitUntil([&] { return f.Control() && f.Control()->Focused(); }, 2000));
  ASSERT_TRUE(TypeText("+"));
  EXPECT_EQ(f.Control()->GetText(), "");
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));

  // In the menu the navigator drops from the entry; a clicked day is the
  // date and the menu closes.
  ASSERT_NE(f.F.OpenMenu(), nullptr);
  TdxBarItemControl* inMenu = f.F.MenuControl(f.Combo);
  ASSERT_NE(inMenu, nullptr);
  ASSERT_TRUE(f.Open(inMenu));
  EXPECT_EQ(f.Nav()->GetSelStart(), kToday);
  SaveDesktopScreenshot("menu");
  ASSERT_TRUE(ClickAt(f.Day(EncodeDate(2024, 9, 27))));
  ASSERT_TRUE(WaitUntil([&] { return !f.Popup() && !f.F.Menu(); }, 2000));
  EXPECT_EQ(f.Combo->Text(), "Fri 9/27/2024");
}

namespace {

TdxBarDateNavigator* DialogNavigator(HWND dialog) {
  auto* form = dynamic_cast<TCustomForm*>(TControl::FindControl(dialog));
  return form ? dynamic_cast<TdxBarDateNavigator*>(form->FindComponent("Navigator")) : nullptr;
}

}  // namespace

TEST(BarsDateComboInput, AsAButtonTheDialogChoosesADayByDoubleClick) {
  TDateItems f;
  f.F.Toolbar->SetDockingStyle(dsLeft);
  ProcessQueuedMessages();
  TdxBarItemControl* c = f.F.ToolbarControl(f.Combo);
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(dynamic_cast<TdxBarButtonControl*>(c));
  f.Combo->SetText("3/5/2024");
  f.Changes = 0;
  String edit;
  double selected = 0;
  bool hasToday = false, hasClear = false;
  TModalDriver modal;
  modal.Window("Select the date")
      .Do("look",
          [&](HWND wnd) {
            TdxBarDateNavigator* nav = DialogNavigator(wnd);
            HWND e = FindChildByClass(wnd, "Edit");
            if (!nav || !e) return false;
            edit = dxBarGetWindowText(e);
            selected = nav->GetSelStart();
            hasToday = FindChildByText(wnd, "Today", "Button") != nullptr;
            hasClear = FindChildByText(wnd, "Clear", "Button") != nullptr;
            SaveScreenshot(wnd, "dialog");
            return true;
          })
      .Do("double-click the 20th", [](HWND wnd) {
        TdxBarDateNavigator* nav = DialogNavigator(wnd);
        TRect r = nav->DayRect(EncodeDate(2024, 3, 20));
        if (r.Empty()) return false;
        POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ::ClientToScreen(nav->Handle(), &p);
        SetCursorPos(p.x, p.y);
        std::vector<INPUT> clicks;
        INPUT move{};
        move.type = INPUT_MOUSE;
        move.mi.dx = MulDiv(p.x, 65536, GetSystemMetrics(SM_CXSCREEN));
        move.mi.dy = MulDiv(p.y, 65536, GetSystemMetrics(SM_CYSCREEN));
        move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        clicks.push_back(move);
        for (int i = 0; i < 4; ++i) {
          INPUT in{};
          in.type = INPUT_MOUSE;
          in.mi.dwFlags = i % 2 == 0 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
          clicks.push_back(in);
        }
        SendInput(static_cast<UINT>(clicks.size()), clicks.data(), sizeof(INPUT));
        // The double click ends the dialog with OK.
        auto* form = dynamic_cast<TCustomForm*>(TControl::FindControl(wnd));
        return form && WaitUntil([&] { return form->ModalResult() == mrOk; }, 3000);
      });
  ASSERT_TRUE(TItemsFixture::ClickOn(c, TItemsFixture::Centre(c)));
  ASSERT_TRUE(modal.Finish());
  ASSERT_TRUE(WaitUntil([&] { return !FindTopWindow("Select the date"); }, 3000));
  EXPECT_EQ(edit, "Tue 3/5/2024");
  EXPECT_EQ(selected, EncodeDate(2024, 3, 5));
  EXPECT_TRUE(hasToday && hasClear);
  EXPECT_EQ(f.Combo->Text(), "Wed 3/20/2024");
  EXPECT_EQ(f.Changes, 1);

  // Today and Clear go; a typed date selects its day; Cancel keeps the date.
  f.Combo->SetShowTodayButton(false);
  f.Combo->SetShowClearButton(false);
  double typedSel = 0;
  TModalDriver cancel;
  cancel.Window("Select the date")
      .Do("look",
          [&](HWND wnd) {
            hasToday = FindChildByText(wnd, "Today", "Button") != nullptr;
            hasClear = FindChildByText(wnd, "Clear", "Button") != nullptr;
            HWND e = FindChildByClass(wnd, "Edit");
            if (!e) return false;
            SetWindowTextA(e, "7/4/2024");
            typedSel = DialogNavigator(wnd)->GetSelStart();
            return true;
          })
      .Press("Cancel");
  ASSERT_TRUE(TItemsFixture::ClickOn(c, TItemsFixture::Centre(c)));
  ASSERT_TRUE(cancel.Finish());
  EXPECT_FALSE(hasToday || hasClear);
  EXPECT_EQ(typedSel, EncodeDate(2024, 7, 4));
  EXPECT_EQ(f.Combo->Text(), "Wed 3/20/2024");

  // With an OnClick handler, or read-only, no dialog.
  int clicks = 0;
  f.Combo->OnClick = [&](TObject*) { ++clicks; };
  ASSERT_TRUE(TItemsFixture::ClickOn(c, TItemsFixture::Centre(c)));
  PumpFor(300);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(FindTopWindow("Select the date"), nullptr);
  f.Combo->OnClick = nullptr;
  f.Combo->SetReadOnly(true);
  ASSERT_TRUE(TItemsFixture::ClickOn(c, TItemsFixture::Centre(c)));
  PumpFor(300);
  EXPECT_EQ(FindTopWindow("Select the date"), nullptr);
}
