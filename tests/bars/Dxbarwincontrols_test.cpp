// The edit and combo controls in the virtual desktop, used as a person uses
// them: clicked, typed into, committed with Enter, left with Escape, Tab
// or a click elsewhere; the combos opened with F4, Alt+Down and their
// button and browsed with the arrow keys.
#include "Barstest.h"
#include "bars/Dxbarwinitems.h"
#include "classlib/Stdctrls.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// A shown form with a control of its own (where the focus starts and a
// click elsewhere goes) and a bar of two edits and a combo.
struct TEditBar {
  TBarsForm* Form = new TBarsForm;
  TEdit* Other;
  TdxBarEdit* Find;
  TdxBarEdit* Replace;
  TdxBarCombo* Combo;
  TdxBar* Bar;
  std::vector<String> Changes;

  explicit TEditBar(bool floating = false) {
    SetCursorPos(1270, 1010);
    Form->SetCaption("Edits");
    Form->SetBounds(100, 100, 640, 300);
    Other = new TEdit(Form);
    Other->SetParent(Form);
    Other->SetBounds(20, 160, 150, 21);
    Find = Edit("EditFind", "old");
    Replace = Edit("EditReplace", "");
    Combo = new TdxBarCombo(Form);
    Combo->SetName("ComboCity");
    Combo->SetWidth(110);
    for (const char* e : {"Athens", "Berlin", "Cairo"}) Combo->Items()->Add(e);
    Combo->SetItemIndex(0);
    Combo->OnChange = [this](TObject*) { Changes.push_back("ComboCity " + Combo->Text()); };
    Bar = Form->AddBar("Edits");
    for (TdxBarItem* item : std::initializer_list<TdxBarItem*>{Find, Replace, Combo}) Bar->ItemLinks()->Add()->SetItem(item);
    Form->Manager->SetHideFloatingBarsWhenInactive(false);
    if (floating) {
      Bar->SetDockingStyle(dsNone);
      Bar->SetFloatLeft(300);
      Bar->SetFloatTop(500);
    }
    Form->Show();
    EXPECT_TRUE(WaitVisible(Form->Handle()));
    Bar->SetVisible(true);
    EXPECT_TRUE(WaitVisible(BarWindow()));
    EXPECT_TRUE(FocusWindow(Other->Handle()));
    Changes.clear();
  }
  ~TEditBar() {
    // The form as the test leaves it (it goes without its bars).
    if (IsWindowVisible(Form->Handle())) SaveScreenshot(Form->Handle());
    Form->Free();
  }

  TdxBarEdit* Edit(const char* name, const char* text) {
    auto* e = new TdxBarEdit(Form);
    e->SetName(name);
    e->SetText(text);
    e->OnChange = [this, e](TObject*) { Changes.push_back(e->Name() + " " + e->Text()); };
    return e;
  }
  HWND BarWindow() { return Bar->Control()->Handle(); }
  TdxBarItemLink* Link(int i) { return Bar->ItemLinks()->Items(i); }
  TdxBarEditControl* Control(int i) { return dynamic_cast<TdxBarEditControl*>(Link(i)->Control()); }
  TdxBarComboControl* ComboControl() { return dynamic_cast<TdxBarComboControl*>(Link(2)->Control()); }
  // A click on the bar (a floating bar never comes to the front itself:
  // its form does).
  ::testing::AssertionResult ClickBar(POINT p) {
    if (Bar->DockingStyle() != dsNone) return Click(BarWindow(), p);
    if (auto r = BringToFront(Form->Handle()); !r) return r;
    if (auto r = MoveTo(ClientPoint(BarWindow(), p.x, p.y)); !r) return r;
    if (auto r = MouseDown(); !r) return r;
    return MouseUp();
  }
  // A click on the item's field (its middle), or on the combo's button.
  ::testing::AssertionResult ClickField(int i) {
    TRect r = Link(i)->ItemRect();
    return ClickBar(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }
  ::testing::AssertionResult ClickButton() {
    TRect b = ComboControl()->DropButtonRect();
    return ClickBar(POINT{(b.left + b.right) / 2, (b.top + b.bottom) / 2});
  }
  bool Focused(int i) {
    TdxBarEditControl* c = Control(i);
    return c && c->Window() && GetFocus() == c->Window();
  }
  ::testing::AssertionResult Focus(int i) {
    if (auto r = ClickField(i); !r) return r;
    if (!WaitUntil([&] { return Focused(i); }, 2000))
      return ::testing::AssertionFailure() << "the field did not take the focus; it is at " << DescribeWindow(GetFocus());
    return ::testing::AssertionSuccess();
  }
  bool ListShown() {
    HWND list = Combo->ListBox()->HandleAllocated() ? Combo->ListBox()->Handle() : nullptr;
    return list && IsWindowVisible(list);
  }
};

String Letters(int n) {
  String s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

}  // namespace

TEST(BarsEditControls, TypingAndEnterCommitOnceAndCloseTheBars) {
  TEditBar f;
  ASSERT_TRUE(f.Focus(0));
  // The field shows over the item, holding the item's text, all of it
  // selected.
  HWND edit = f.Control(0)->Window();
  EXPECT_TRUE(IsWindowVisible(edit));
  EXPECT_EQ(WindowText(edit), "old");
  EXPECT_NE(ActiveBarControl(), nullptr);
  ASSERT_TRUE(TypeText("new text"));
  EXPECT_EQ(f.Find->Text(), "old");
  SaveScreenshot(f.Form->Handle(), "typing");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(f.Find->Text(), "new text");
  EXPECT_EQ(f.Changes, std::vector<String>({"EditFind new text"}));
  EXPECT_EQ(ActiveBarControl(), nullptr);
  EXPECT_FALSE(IsWindowVisible(edit));
  EXPECT_EQ(GetFocus(), f.Other->Handle());
  SaveScreenshot(f.Form->Handle(), "committed");
}

TEST(BarsEditControls, EscapeWritesNothingAndTheTextComesBackOnTheNextFocus) {
  TEditBar f;
  ASSERT_TRUE(f.Focus(0));
  ASSERT_TRUE(TypeText("zzz"));
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  EXPECT_EQ(f.Find->Text(), "old");
  EXPECT_TRUE(f.Changes.empty());
  EXPECT_EQ(GetFocus(), f.Other->Handle());
  // The field stays the bar's selected item, not focused.
  EXPECT_EQ(f.Bar->Control()->SelectedControl(), f.Control(0));
  ASSERT_TRUE(f.Focus(0));
  EXPECT_EQ(WindowText(f.Control(0)->Window()), "old");
}

TEST(BarsEditControls, AlwaysSaveTextWritesOnAClickElsewhereButNotOnEscape) {
  TEditBar f;
  f.Form->Manager->SetAlwaysSaveText(true);
  ASSERT_TRUE(f.Focus(0));
  ASSERT_TRUE(TypeText("kept"));
  ASSERT_TRUE(Click(f.Other->Handle()));
  EXPECT_EQ(f.Find->Text(), "kept");
  // The focus stays where the click put it; the bar is closed.
  EXPECT_EQ(GetFocus(), f.Other->Handle());
  EXPECT_EQ(ActiveBarControl(), nullptr);
  ASSERT_TRUE(f.Focus(0));
  ASSERT_TRUE(TypeText("lost"));
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  EXPECT_EQ(f.Find->Text(), "kept");
  EXPECT_EQ(f.Changes, std::vector<String>({"EditFind kept"}));
}

TEST(BarsEditControls, TabCommitsAndMovesToTheNextField) {
  TEditBar f;
  ASSERT_TRUE(f.Focus(0));
  ASSERT_TRUE(TypeText("needle"));
  ASSERT_TRUE(KeyChord({VK_TAB}));
  EXPECT_EQ(f.Find->Text(), "needle");
  EXPECT_TRUE(WaitUntil([&] { return f.Focused(1); }, 2000)) << DescribeWindow(GetFocus());
  ASSERT_TRUE(TypeText("thread"));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(f.Replace->Text(), "thread");
  EXPECT_EQ(f.Changes, std::vector<String>({"EditFind needle", "EditReplace thread"}));
}

TEST(BarsEditControls, ThreeHundredCharactersCommitWhole) {
  TEditBar f;
  ASSERT_TRUE(f.Focus(1));
  String text = Letters(300);
  ASSERT_TRUE(TypeText(text));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(f.Replace->Text(), text);
}

TEST(BarsEditControls, ShiftF10InAFieldIsSwallowed) {
  TEditBar f;
  ASSERT_TRUE(f.Focus(0));
  // A context menu that opened would run its own loop: it is noticed and
  // closed.
  static bool menuSeen;
  menuSeen = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
    if (FindTopWindow("", "#32768")) {
      menuSeen = true;
      EndMenu();
    }
  });
  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_F10}));
  PumpFor(300);
  KillTimer(nullptr, timer);
  EXPECT_FALSE(menuSeen);
  // The bar closed on the system key.
  EXPECT_EQ(ActiveBarControl(), nullptr);
}

TEST(BarsEditControls, AFieldOfAFloatingBarKeepsTheBarShown) {
  TEditBar f(true);
  HWND bar = f.BarWindow();
  ASSERT_TRUE(f.Focus(0));
  EXPECT_TRUE(IsWindowVisible(bar));
  ASSERT_TRUE(TypeText("afloat"));
  SaveScreenshot(bar, "editing");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(f.Find->Text(), "afloat");
  EXPECT_TRUE(IsWindowVisible(bar));
  EXPECT_EQ(GetFocus(), f.Other->Handle());
  EXPECT_EQ(GetActiveWindow(), f.Form->Handle());
}

TEST(BarsComboControls, F4AltDownAndTheButtonOpenAndCloseTheList) {
  TEditBar f;
  ASSERT_TRUE(f.Focus(2));
  struct TStep {
    const char* Name;
    std::function<::testing::AssertionResult()> Do;
    bool Open;
  } steps[] = {
      {"F4", [] { return KeyChord({VK_F4}); }, true},
      {"F4 again", [] { return KeyChord({VK_F4}); }, false},
      {"Alt+Down", [] { return KeyChord({VK_MENU, VK_DOWN}); }, true},
      {"Alt+Up", [] { return KeyChord({VK_MENU, VK_UP}); }, false},
      {"the button", [&] { return f.ClickButton(); }, true},
      {"the button again", [&] { return f.ClickButton(); }, false},
  };
  for (const TStep& s : steps) {
    SCOPED_TRACE(s.Name);
    ASSERT_TRUE(s.Do());
    EXPECT_EQ(f.ComboControl()->DroppedDown(), s.Open);
    EXPECT_EQ(f.ListShown(), s.Open);
    // The field keeps the focus throughout.
    EXPECT_TRUE(f.Focused(2)) << DescribeWindow(GetFocus());
    if (s.Open) SaveScreenshot(f.Form->Handle(), "open");
  }
  EXPECT_TRUE(f.Changes.empty());
}

TEST(BarsComboControls, UpAndDownBrowseAndEnterCommitsOnlyTheBrowsedEntry) {
  TEditBar f;
  ASSERT_TRUE(f.Focus(2));
  HWND edit = f.ComboControl()->Window();
  struct TStep {
    WORD Key;
    const char* Shown;
  } steps[] = {{VK_DOWN, "Berlin"}, {VK_DOWN, "Cairo"}, {VK_DOWN, "Cairo"}, {VK_UP, "Berlin"}};
  for (const TStep& s : steps) {
    ASSERT_TRUE(KeyChord({s.Key}));
    EXPECT_EQ(WindowText(edit), s.Shown);
  }
  EXPECT_EQ(f.Combo->ItemIndex(), 0);
  EXPECT_TRUE(f.Changes.empty());
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(f.Combo->ItemIndex(), 1);
  EXPECT_EQ(f.Changes, std::vector<String>({"ComboCity Berlin"}));

  // A browsed entry typed on is no entry: its text is committed as text.
  f.Changes.clear();
  ASSERT_TRUE(f.Focus(2));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_END}));
  ASSERT_TRUE(TypeText("x"));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(f.Combo->ItemIndex(), -1);
  EXPECT_EQ(f.Combo->Text(), "Cairox");
  EXPECT_EQ(f.Changes, std::vector<String>({"ComboCity Cairox"}));
}

TEST(BarsComboControls, KeysOfTheOpenListMoveItsSelectionAndTheFieldShowsIt) {
  TEditBar f;
  ASSERT_TRUE(f.Focus(2));
  ASSERT_TRUE(KeyChord({VK_F4}));
  ASSERT_TRUE(f.ListShown());
  HWND edit = f.ComboControl()->Window();
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  EXPECT_EQ(f.Combo->ListBox()->ItemIndex(), 1);
  EXPECT_EQ(WindowText(edit), "Berlin");
  // Characters go to the field, even one whose code is an arrow key's.
  ASSERT_TRUE(KeyChord({VK_END}));
  ASSERT_TRUE(TypeText("("));
  EXPECT_EQ(WindowText(edit), "Berlin(");
  EXPECT_TRUE(f.Changes.empty());
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  EXPECT_FALSE(f.ListShown());
  EXPECT_EQ(f.Combo->ItemIndex(), 0);
}

TEST(BarsEditControls, AltPressedAndReleasedInAFieldFocusesTheMainMenu) {
  TEditBar f;
  TdxBar* menu = f.Form->AddBar("Menu");
  menu->ItemLinks()->Add()->SetItem(f.Form->SubItem("SubFile", "&File"));
  menu->SetIsMainMenu(true);
  menu->SetVisible(true);
  ASSERT_TRUE(f.Focus(0));
  ASSERT_TRUE(KeyChord({VK_MENU}));
  EXPECT_FALSE(f.Focused(0));
  EXPECT_EQ(f.Form->Manager->FocusedBarControl(), menu->Control());
  EXPECT_EQ(ActiveBarControl(), menu->Control());
}

TEST(BarsEditControls, EnterInAFieldOfAMenuClosesTheMenus) {
  TEditBar f;
  TdxBarSubItem* sub = f.Form->SubItem("SubTools", "&Tools");
  auto* field = new TdxBarEdit(f.Form);
  field->SetName("EditInMenu");
  sub->ItemLinks()->Add()->SetItem(field);
  TdxBar* menu = f.Form->AddBar("Menu");
  menu->ItemLinks()->Add()->SetItem(sub);
  menu->SetIsMainMenu(true);
  menu->SetVisible(true);
  TRect r = menu->ItemLinks()->Items(0)->ItemRect();
  ASSERT_TRUE(Click(menu->Control()->Handle(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
  TCustomdxBarControl* open = sub->ItemLinks()->BarControl();
  ASSERT_NE(open, nullptr);
  // A menu window never comes to the front: the press goes to where it is.
  TRect e = sub->ItemLinks()->Items(0)->ItemRect();
  ASSERT_TRUE(MoveTo(ClientPoint(open->Handle(), (e.left + e.right) / 2, (e.top + e.bottom) / 2)));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(MouseUp());
  ASSERT_TRUE(WaitUntil(
      [&] {
        auto* c = dynamic_cast<TdxBarEditControl*>(sub->ItemLinks()->Items(0)->Control());
        return c && c->Window() && GetFocus() == c->Window();
      },
      2000))
      << DescribeWindow(GetFocus());
  SaveScreenshot(open->Handle(), "field");
  ASSERT_TRUE(TypeText("in a menu"));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(field->Text(), "in a menu");
  EXPECT_EQ(sub->ItemLinks()->BarControl(), nullptr);
  EXPECT_EQ(ActiveBarControl(), nullptr);
}

TEST(BarsComboControls, TheDropButtonsArrowIsAnOddTriangleHalfTheButtonWide) {
  TEditBar f;
  TDibSurface s = CaptureClient(f.BarWindow());
  TRect b = f.ComboControl()->DropButtonRect();
  ASSERT_FALSE(b.Empty());
  // Inside the button's one-pixel frame.
  TRect inner(b.left + 1, b.top + 1, b.right - 1, b.bottom - 1);
  int w = inner.Width() / 2;
  if (w % 2 == 0) ++w;
  int x = (inner.left + inner.right - w) / 2;
  int y = (inner.top + inner.bottom - w / 2) / 2;
  COLORREF text = GetSysColor(COLOR_BTNTEXT);
  TDibSurface button(b.Width(), b.Height());
  for (int py = 0; py < b.Height(); ++py)
    for (int px = 0; px < b.Width(); ++px) button.SetPixel(px, py, s.Pixel(b.left + px, b.top + py));
  RECT arrow = ColorBounds(button, text);
  EXPECT_EQ(TRect(arrow), TRect(x - b.left, y - b.top, x - b.left + w, y - b.top + w / 2 + 1));
  // The top row is whole, the tip one pixel.
  EXPECT_EQ(CountColor(button, TRect(0, y - b.top, b.Width(), y - b.top + 1), text), w);
  EXPECT_EQ(CountColor(button, TRect(0, y - b.top + w / 2, b.Width(), y - b.top + w / 2 + 1), text), 1);
  // The fields and the button in each style, for the eye.
  for (TdxBarManagerStyle style : {bmsStandard, bmsFlat}) {
    f.Form->Manager->SetStyle(style);
    ProcessQueuedMessages();
    SaveScreenshot(f.Form->Handle(), style == bmsFlat ? "flat" : "standard");
  }
}
