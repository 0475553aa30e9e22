// The quick-connect combo of the main window's fixture in the virtual
// desktop: its list dropped by a click, hovered, chosen from by a press
// dragged into it, opening above the combo near the screen's bottom; docked
// at a side, a button whose click opens the "Select item" dialog.
#include "Fixture.h"
#include "bars/extitems/Dxbarextitems.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

String SiteName(int i) { return String("Site ") + (i < 10 ? "0" : "") + IntToStr(i); }

// The fixture shown with 25 profile names in the quick-connect combo,
// counting its changes.
struct TQuickConnect {
  TRecordingStore Store;
  TdxBarLayoutStore* PreviousStore = dxBarSetLayoutStore(&Store);
  TBarsFixtureForm* Form;
  TdxBarImageCombo* Combo;
  int Changes = 0;

  explicit TQuickConnect(int top = 20) {
    SetCursorPos(1270, 1010);
    Form = new TBarsFixtureForm;
    Combo = dynamic_cast<TdxBarImageCombo*>(Form->FindComponent("ComboQuick"));
    TStringList names;
    for (int i = 25; i >= 1; --i) names.Add(SiteName(i));
    Combo->SetItems(&names);
    Combo->OnChange = [this](TObject*) { ++Changes; };
    Form->SetBounds(20, top, 620, 440);
    Form->Show();
    EXPECT_TRUE(WaitVisible(Form->Handle()));
    EXPECT_TRUE(BringToFront(Form->Handle()));
    ProcessQueuedMessages();
  }
  ~TQuickConnect() {
    // The form as the test leaves it (it goes without its bars).
    if (IsWindowVisible(Form->Handle())) SaveScreenshot(Form->Handle());
    Form->Free();
    dxBarSetLayoutStore(PreviousStore);
  }
  TdxBar* Bar() { return Form->Bar1->BarByCaption("Quick Connect"); }
  HWND BarWindow() { return Bar()->Control()->Handle(); }
  TdxBarItemLink* Link() { return Bar()->ItemLinks()->Items(0); }
  TdxBarComboControl* Control() { return dynamic_cast<TdxBarComboControl*>(Link()->Control()); }
  HWND List() { return Combo->ListBox()->HandleAllocated() ? Combo->ListBox()->Handle() : nullptr; }
  bool ListShown() { return List() && IsWindowVisible(List()); }
  // A point of the combo's field on the screen.
  POINT Field(int fromLeft = 20) {
    TRect r = Link()->ItemRect();
    return ClientPoint(BarWindow(), r.left + fromLeft, (r.top + r.bottom) / 2);
  }
  POINT Row(int index) {
    RECT r{};
    SendMessageA(List(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    return ClientPoint(List(), 30, (r.top + r.bottom) / 2);
  }
  RECT ListRect() {
    RECT r{};
    GetWindowRect(List(), &r);
    return r;
  }
};

}  // namespace

TEST(BarsQuickConnect, ACommittingDragFromTheComboToARow) {
  TQuickConnect q;
  EXPECT_EQ(q.Combo->Items()->Get(0), "Site 01");
  HWND before = GetFocus();
  ASSERT_TRUE(MoveTo(q.Field()));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(WaitUntil([&] { return q.ListShown(); }, 2000));
  // Below the combo, from the field's left, with a scroll bar for the 25
  // names in 20 rows.
  TRect item = q.Bar()->Control()->GetItemScreenRect(q.Control());
  RECT list = q.ListRect();
  EXPECT_EQ(list.left, item.left);
  EXPECT_EQ(list.top, item.bottom);
  SCROLLBARINFO sb{};
  sb.cbSize = sizeof sb;
  ASSERT_TRUE(GetScrollBarInfo(q.List(), OBJID_VSCROLL, &sb));
  EXPECT_FALSE(sb.rgstate[0] & STATE_SYSTEM_INVISIBLE);
  EXPECT_EQ(SendMessageA(q.List(), LB_GETTOPINDEX, 0, 0), 0);
  // Pressed on the combo and dragged into the list: the focus stays in
  // the combo's edit, the hovered row shows in the combo, nothing changes.
  ASSERT_TRUE(MoveTo(q.Row(2)));
  ASSERT_TRUE(MoveTo(q.Row(5)));
  EXPECT_EQ(GetFocus(), q.Control()->Window());
  EXPECT_EQ(q.Control()->LocalItemIndex(), 5);
  EXPECT_EQ(q.Changes, 0);
  SaveScreenshot(q.Form->Handle(), "dropped");
  ASSERT_TRUE(MouseUp());
  EXPECT_EQ(q.Combo->ItemIndex(), 5);
  EXPECT_EQ(q.Combo->Text(), "Site 06");
  EXPECT_EQ(q.Changes, 1);
  EXPECT_FALSE(q.ListShown());
  EXPECT_EQ(GetFocus(), before);
  EXPECT_EQ(ActiveBarControl(), nullptr);
}

TEST(BarsQuickConnect, ADragThatLeavesTheListChoosesNothing) {
  TQuickConnect q;
  ASSERT_TRUE(MoveTo(q.Field()));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(WaitUntil([&] { return q.ListShown(); }, 2000));
  ASSERT_TRUE(MoveTo(q.Row(3)));
  RECT list = q.ListRect();
  ASSERT_TRUE(MoveTo(POINT{list.right + 40, (list.top + list.bottom) / 2}));
  ASSERT_TRUE(MouseUp());
  EXPECT_EQ(q.Combo->ItemIndex(), -1);
  EXPECT_EQ(q.Changes, 0);
  EXPECT_TRUE(q.ListShown());
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  EXPECT_FALSE(q.ListShown());
}

TEST(BarsQuickConnect, AClickTogglesTheListAndHoveringShowsARowWithoutAChange) {
  TQuickConnect q;
  q.Combo->SetItemIndex(3);
  q.Changes = 0;
  // Released on the combo, before it came into the list: the list stays.
  ASSERT_TRUE(Click(q.BarWindow(), POINT{q.Link()->ItemRect().left + 30, q.Link()->ItemRect().top + 5}));
  ASSERT_TRUE(q.ListShown());
  EXPECT_EQ(q.Combo->ListBox()->ItemIndex(), 3);
  ASSERT_TRUE(MoveTo(q.Row(7)));
  EXPECT_EQ(q.Control()->LocalItemIndex(), 7);
  EXPECT_EQ(q.Combo->ItemIndex(), 3);
  EXPECT_EQ(q.Changes, 0);
  // A click anywhere on the combo closes it again; nothing is chosen.
  ASSERT_TRUE(Click(q.BarWindow(), POINT{q.Link()->ItemRect().left + 60, q.Link()->ItemRect().top + 5}));
  EXPECT_FALSE(q.ListShown());
  EXPECT_EQ(q.Combo->ItemIndex(), 3);
  EXPECT_EQ(q.Changes, 0);
}

TEST(BarsQuickConnect, NearTheScreensBottomTheListOpensAboveTheCombo) {
  TQuickConnect q(GetSystemMetrics(SM_CYSCREEN) - 200);
  ASSERT_TRUE(Click(q.BarWindow(), POINT{q.Link()->ItemRect().left + 30, q.Link()->ItemRect().top + 5}));
  ASSERT_TRUE(q.ListShown());
  TRect item = q.Bar()->Control()->GetItemScreenRect(q.Control());
  EXPECT_EQ(q.ListRect().bottom, item.top);
  SaveScreenshot(q.Form->Handle(), "above");
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  EXPECT_FALSE(q.ListShown());
}

namespace {

// A step choosing an entry of the dialog's list, as a click on it does.
std::function<bool(HWND)> PickEntry(const String& entry) {
  return [entry](HWND wnd) {
    HWND list = FindChildByClass(wnd, "ListBox");
    if (!list) return false;
    LRESULT index = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(entry.c_str()));
    if (index < 0) return false;
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(wnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    return true;
  };
}

// The quick-connect bar docked at the left: the combo is a button.
struct TDockedLeft : TQuickConnect {
  TDockedLeft() {
    Bar()->SetDockingStyle(dsLeft);
    ProcessQueuedMessages();
  }
  ::testing::AssertionResult ClickButton() {
    TRect r = Link()->ItemRect();
    return Click(BarWindow(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }
};

}  // namespace

TEST(BarsQuickConnect, DockedAtASideItsButtonChoosesInTheSelectItemDialog) {
  TDockedLeft q;
  ASSERT_TRUE(dynamic_cast<TdxBarButtonControl*>(q.Link()->Control()));
  TModalDriver modal;
  modal.Window("Select item")
      .Do("shot", [](HWND wnd) {
        SaveScreenshot(wnd, "dialog");
        return true;
      })
      .Do("pick Site 12", PickEntry("Site 12"))
      .Press("OK");
  ASSERT_TRUE(q.ClickButton());
  ASSERT_TRUE(modal.Finish());
  EXPECT_EQ(q.Combo->ItemIndex(), 11);
  EXPECT_EQ(q.Combo->Text(), "Site 12");
  EXPECT_EQ(q.Changes, 1);
  // Cancel leaves the entry.
  TModalDriver cancel;
  cancel.Window("Select item").Do("pick Site 02", PickEntry("Site 02")).Press("Cancel");
  ASSERT_TRUE(q.ClickButton());
  ASSERT_TRUE(cancel.Finish());
  EXPECT_EQ(q.Combo->ItemIndex(), 11);
}

TEST(BarsQuickConnect, AReadOnlyComboOrOneWithItsOwnClickOpensNoDialog) {
  TDockedLeft q;
  int clicks = 0;
  for (int round = 0; round < 2; ++round) {
    if (round == 0) q.Combo->SetReadOnly(true);
    if (round == 1) {
      q.Combo->SetReadOnly(false);
      q.Combo->OnClick = [&](TObject*) { ++clicks; };
    }
    ASSERT_TRUE(q.ClickButton());
    PumpFor(300);
    EXPECT_EQ(FindTopWindow("Select item"), nullptr) << round;
  }
  EXPECT_EQ(clicks, 1);
}

TEST(BarsQuickConnect, TheDialogsListIsAsHighAsItsEntriesButNotLowerThanTheButtons) {
  TDockedLeft q;
  struct TCase {
    int Entries;
    bool Rows;  // as high as the rows, else as the two buttons with their gap
  } cases[] = {{3, false}, {8, true}, {25, true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Entries);
    TStringList names;
    for (int i = 1; i <= c.Entries; ++i) names.Add(SiteName(i));
    q.Combo->SetItems(&names);
    q.Combo->SetDropDownCount(8);
    int row = 0;
    q.Combo->MeasureItem(0, row);
    int listClient = -1, listHeight = -1, okTop = -1, cancelBottom = -1, okLeft = -1, listRight = -1;
    TModalDriver modal;
    modal.Window("Select item")
        .Do("measure",
            [&](HWND wnd) {
              HWND list = FindChildByClass(wnd, "ListBox");
              HWND ok = FindChildByText(wnd, "OK", "Button");
              HWND cancel = FindChildByText(wnd, "Cancel", "Button");
              if (!list || !ok || !cancel) return false;
              RECT lc, lw, o, k;
              GetClientRect(list, &lc);
              GetWindowRect(list, &lw);
              GetWindowRect(ok, &o);
              GetWindowRect(cancel, &k);
              listClient = lc.bottom;
              listHeight = lw.bottom - lw.top;
              okTop = o.top;
              cancelBottom = k.bottom;
              okLeft = o.left;
              listRight = lw.right;
              return true;
            })
        .Press("Cancel");
    ASSERT_TRUE(q.ClickButton());
    ASSERT_TRUE(modal.Finish());
    if (c.Rows)
      EXPECT_EQ(listClient, row * 8);
    else
      EXPECT_GT(listClient, row * 3);
    // Never lower than the buttons with their gap; the buttons beside it.
    EXPECT_GE(listHeight, cancelBottom - okTop);
    EXPECT_GT(okLeft, listRight);
  }
}
