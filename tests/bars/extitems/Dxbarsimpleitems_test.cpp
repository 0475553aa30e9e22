// The static item, large button, spin edit, control container and progress
// item on the items fixture's toolbar and in its menu, by real input: clicks
// that run or do nothing, the hot glyph, typing, keys, held spin buttons on
// faked timers, a hosted list box, the progress bar's pixels.
#include "Itemsfixture.h"

#include <algorithm>

#include "classlib/Stdctrls.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

// A 32 x 32 glyph: a red square on a fuchsia (transparent) ground.
void RedSquare(TBitmap* b) {
  b->SetSize(32, 32);
  b->Canvas()->Brush()->SetColor(clFuchsia);
  b->Canvas()->FillRect(TRect(0, 0, 32, 32));
  b->Canvas()->Brush()->SetColor(clRed);
  b->Canvas()->FillRect(TRect(4, 4, 28, 28));
}

std::vector<TdxBarItem*> MakeSimpleItems(TItemsForm* f) {
  auto* info = new TdxBarStatic(f);
  info->SetName("StaticInfo");
  info->SetCaption("Ready");
  info->SetBorderStyle(sbsLowered);
  info->OnClick = {f, &TItemsForm::ItemClick};
  auto* click = new TdxBarStatic(f);
  click->SetName("StaticClick");
  click->SetCaption("Click me");
  click->SetAllowClick(true);
  click->SetBorderStyle(sbsEtched);
  click->OnClick = {f, &TItemsForm::ItemClick};
  auto* large = new TdxBarLargeButton(f);
  large->SetName("LargeOpen");
  large->SetCaption("&Open");
  TBitmap glyph;
  RedSquare(&glyph);
  large->SetLargeGlyph(&glyph);
  large->OnClick = {f, &TItemsForm::ItemClick};
  auto* spin = new TdxBarSpinEdit(f);
  spin->SetName("SpinCount");
  spin->SetCaption("Count");
  spin->SetWidth(80);
  spin->SetMaxValue(10);
  auto* list = new TListBox(f);
  list->SetName("ListBox1");
  list->SetBounds(0, 0, 110, 60);
  for (const char* s : {"one", "two", "three", "four"}) list->Items()->Add(s);
  auto* container = new TdxBarControlContainerItem(f);
  container->SetName("ContainerList");
  container->SetControl(list);
  auto* blocks = new TdxBarProgressItem(f);
  blocks->SetName("ProgressBlocks");
  blocks->SetCaption("Blocks");
  blocks->SetPosition(40);
  auto* smooth = new TdxBarProgressItem(f);
  smooth->SetName("ProgressSmooth");
  smooth->SetCaption("Smooth");
  smooth->SetSmooth(true);
  smooth->SetPosition(60);
  return {info, click, large, spin, container, blocks, smooth};
}

[[maybe_unused]] const TItemsFamily gSimpleItems("simple items", 0, MakeSimpleItems);

TdxBarSpinEdit* Spin(TItemsForm* f) { return dynamic_cast<TdxBarSpinEdit*>(f->Item("SpinCount")); }
TdxBarSpinEditControl* SpinControl(TItemsForm* f) {
  return dynamic_cast<TdxBarSpinEditControl*>(f->ToolbarControl("SpinCount"));
}
TListBox* List(TItemsForm* f) { return dynamic_cast<TListBox*>(f->FindComponent("ListBox1")); }

// Focuses the spin edit on the toolbar with a click on its field.
::testing::AssertionResult EditSpin(TItemsForm* f) {
  TdxBarSpinEditControl* c = SpinControl(f);
  if (!c) return ::testing::AssertionFailure() << "no spin control";
  if (auto r = Click(c->Parent()->Handle(), [&] {
        TRect ir = c->Parent()->GetItemRect(c);
        return POINT{ir.left + 15, (ir.top + ir.bottom) / 2};
      }());
      !r)
    return r;
  if (!WaitUntil([&] { return c->Focused() && GetFocus() == c->Window(); }, 3000))
    return ::testing::AssertionFailure() << "the spin edit took no focus";
  return ::testing::AssertionSuccess();
}

String FieldText(TdxBarSpinEditControl* c) { return dxBarGetWindowText(c->Window()); }

// The screen point of a spin button's centre.
POINT SpinButton(TdxBarSpinEditControl* c, TdxBarSpinEditButton b) {
  TRect r = b == sbUp ? c->Buttons().Up : c->Buttons().Down;
  return ClientPoint(c->Parent()->Handle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

}  // namespace

// ---------------------------------------------------------------- the whole form

TEST(BarsSimpleItems, EachItemOnTheToolbarAndInTheOpenMenu) {
  TShownItemsForm s;
  TItemsForm* f = s.Form;
  for (const char* name : {"StaticInfo", "StaticClick", "LargeOpen", "SpinCount", "ContainerList", "ProgressBlocks",
                           "ProgressSmooth"}) {
    SCOPED_TRACE(name);
    TdxBarItemControl* c = f->ToolbarControl(name);
    ASSERT_NE(c, nullptr);
    EXPECT_FALSE(c->ItemLink()->ItemRect().Empty());
  }
  // The list box sits in the toolbar at its link.
  TListBox* list = List(f);
  ASSERT_TRUE(list->HandleAllocated());
  EXPECT_TRUE(IsWindowVisible(list->Handle()));
  EXPECT_TRUE(IsChild(f->Toolbar->Control()->Handle(), list->Handle()));
  EXPECT_EQ(TItemsForm::ScreenRect(f->ToolbarControl("ContainerList")).Width(), 110);
  SaveScreenshot(f->Handle(), "toolbar");

  TdxBarSubMenuControl* menu = s.OpenMenu();
  ASSERT_NE(menu, nullptr);
  for (const char* name : {"StaticInfo", "LargeOpen", "SpinCount", "ContainerList", "ProgressBlocks"})
    EXPECT_NE(f->MenuControl(name), nullptr) << name;
  // The one place moved to the link placed last: the menu's.
  EXPECT_TRUE(WaitUntil([&] { return IsChild(menu->Handle(), list->Handle()); }, 2000));
  SaveScreenshot(menu->Handle(), "menu");
  ASSERT_TRUE(s.CloseMenu());
  // Back on the toolbar with its entries.
  EXPECT_TRUE(WaitUntil([&] { return IsChild(f->Toolbar->Control()->Handle(), list->Handle()) && IsWindowVisible(list->Handle()); }, 2000));
  EXPECT_EQ(list->Items()->Count(), 4);
  // The menu's wider row did not widen it.
  EXPECT_EQ(list->Width(), 110);
  EXPECT_EQ(TItemsForm::ScreenRect(f->ToolbarControl("ContainerList")).Width(), 110);
}

// ---------------------------------------------------------------- static

TEST(BarsSimpleItems, AStaticRunsOnlyWithAllowClick) {
  TShownItemsForm s;
  TItemsForm* f = s.Form;
  ASSERT_TRUE(Click(f->Toolbar->Control()->Handle(), [&] {
    TdxBarItemControl* c = f->ToolbarControl("StaticInfo");
    TRect r = c->Parent()->GetItemRect(c);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }()));
  WaitInputProcessed();
  EXPECT_TRUE(f->Clicked.empty());
  ASSERT_TRUE(Click(f->Toolbar->Control()->Handle(), [&] {
    TdxBarItemControl* c = f->ToolbarControl("StaticClick");
    TRect r = c->Parent()->GetItemRect(c);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }()));
  EXPECT_TRUE(WaitUntil([&] { return f->Clicked.size() == 1; }, 2000));

  // In the menu: the plain static leaves it open, the clickable one runs
  // and closes it.
  ASSERT_NE(s.OpenMenu(), nullptr);
  ASSERT_TRUE(MoveTo(TItemsForm::At(f->MenuControl("StaticInfo"))));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(MouseUp());
  WaitInputProcessed();
  EXPECT_NE(f->Menu(), nullptr);
  EXPECT_EQ(f->Clicked.size(), 1u);
  ASSERT_TRUE(MoveTo(TItemsForm::At(f->MenuControl("StaticClick"))));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(MouseUp());
  EXPECT_TRUE(WaitUntil([&] { return f->Menu() == nullptr; }, 2000));
  ASSERT_EQ(f->Clicked.size(), 2u);
  EXPECT_EQ(f->Clicked[1], "StaticClick");
}

// ---------------------------------------------------------------- large button

TEST(BarsSimpleItems, TheLargeButtonIsInColourOnlyWhenHot) {
  TShownItemsForm s;
  TItemsForm* f = s.Form;
  TdxBarItemControl* c = f->ToolbarControl("LargeOpen");
  ASSERT_NE(c, nullptr);
  TRect r = TItemsForm::ScreenRect(c);
  // 32 + 6 high and a caption below; grey while the mouse is elsewhere.
  EXPECT_GE(r.Height(), 38 + 10);
  TDibSurface cold = CaptureScreen(r);
  EXPECT_EQ(CountColor(cold, RGB(255, 0, 0), 10), 0);
  EXPECT_GT(CountColor(cold, RGB(85, 85, 85), 10), 24 * 24 / 2);
  ASSERT_TRUE(MoveTo(TItemsForm::At(c)));
  ASSERT_TRUE(WaitUntil([&] { return c->GetIsSelected(); }, 2000));
  ProcessQueuedMessages();
  SaveScreenshot(f->Handle(), "hot");
  TDibSurface hot = CaptureScreen(r);
  EXPECT_GT(CountColor(hot, RGB(255, 0, 0), 10), 24 * 24 / 2);
  ASSERT_TRUE(Click(c->Parent()->Handle(), [&] {
    TRect ir = c->Parent()->GetItemRect(c);
    return POINT{(ir.left + ir.right) / 2, (ir.top + ir.bottom) / 2};
  }()));
  EXPECT_TRUE(WaitUntil([&] { return f->Clicked.size() == 1; }, 2000));
}

// ---------------------------------------------------------------- spin edit

TEST(BarsSimpleItems, TypingIntoTheSpinEdit) {
  TShownItemsForm s;
  TItemsForm* f = s.Form;
  TdxBarSpinEdit* spin = Spin(f);
  TdxBarSpinEditControl* c = SpinControl(f);
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(c->Buttons().Shown);
  ASSERT_TRUE(EditSpin(f));
  // Letters and the minus are dropped (the range starts at 0); 25 is
  // clamped to 10 when committed.
  ASSERT_TRUE(TypeText("a2-5b"));
  EXPECT_TRUE(WaitUntil([&] { return FieldText(c) == "25"; }, 2000)) << FieldText(c);
  SaveScreenshot(f->Handle(), "edited");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_TRUE(WaitUntil([&] { return spin->Text() == "10"; }, 2000)) << spin->Text();
  // Down steps the field while it is edited.
  ASSERT_TRUE(EditSpin(f));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  EXPECT_TRUE(WaitUntil([&] { return FieldText(c) == "8"; }, 2000)) << FieldText(c);
  ASSERT_TRUE(KeyChord({VK_UP}));
  EXPECT_TRUE(WaitUntil([&] { return FieldText(c) == "9"; }, 2000)) << FieldText(c);
  EXPECT_EQ(c->ActiveButton(), sbNone);
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_TRUE(WaitUntil([&] { return spin->Text() == "9"; }, 2000));

  // Pasted text goes in; it is judged when committed: "7" stays, "x" gives
  // the committed value back.
  for (const char* pasted : {"7", "x"}) {
    SCOPED_TRACE(pasted);
    ASSERT_TRUE(OpenClipboard(f->Handle()));
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, 8);
    strcpy(static_cast<char*>(GlobalLock(g)), pasted);
    GlobalUnlock(g);
    SetClipboardData(CF_TEXT, g);
    CloseClipboard();
    ASSERT_TRUE(EditSpin(f));
    SendMessageA(c->Window(), EM_SETSEL, 0, -1);
    ASSERT_TRUE(KeyChord({VK_CONTROL, 'V'}));
    EXPECT_TRUE(WaitUntil([&] { return FieldText(c) == pasted; }, 2000)) << FieldText(c);
    ASSERT_TRUE(KeyChord({VK_TAB}));
    WaitInputProcessed();
    EXPECT_EQ(spin->Text(), "7");
    if (c->Focused()) {
      EXPECT_EQ(FieldText(c), "7");
    }
    ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  }
}

TEST(BarsSimpleItems, AHeldSpinButtonStepsAtOnceThenOnItsTimers) {
  TShownItemsForm s;
  TItemsForm* f = s.Form;
  TdxBarSpinEdit* spin = Spin(f);
  TdxBarSpinEditControl* c = SpinControl(f);
  ASSERT_NE(c, nullptr);
  spin->SetText("2");
  ProcessQueuedMessages();
  // The repeat's timers are faked from here on (the hooks stay real).
  TScopedBarSystem sys;
  TFakeBarSystem& fake = sys.System;
  UINT first = dxBarSpinFirstRepeat(GetDoubleClickTime());
  ASSERT_TRUE(MoveTo(SpinButton(c, sbUp)));
  ASSERT_TRUE(MouseDown());
  EXPECT_TRUE(WaitUntil([&] { return c->Focused() && FieldText(c) == "3"; }, 2000)) << FieldText(c);
  EXPECT_EQ(c->ActiveButton(), sbUp);
  ASSERT_EQ(fake.LiveTimers(first), 1);
  ASSERT_TRUE(fake.Fire(first));
  EXPECT_EQ(FieldText(c), "4");
  EXPECT_EQ(fake.LiveTimers(first), 0);
  ASSERT_TRUE(fake.Fire(dxBarSpinRepeat));
  EXPECT_EQ(FieldText(c), "5");
  // Off the button the steps pause, back on it they go on.
  ASSERT_TRUE(MoveTo(SpinButton(c, sbDown)));
  WaitInputProcessed();
  EXPECT_FALSE(c->ButtonPressed());
  ASSERT_TRUE(fake.Fire(dxBarSpinRepeat));
  EXPECT_EQ(FieldText(c), "5");
  ASSERT_TRUE(MoveTo(SpinButton(c, sbUp)));
  WaitInputProcessed();
  EXPECT_TRUE(c->ButtonPressed());
  ASSERT_TRUE(fake.Fire(dxBarSpinRepeat));
  EXPECT_EQ(FieldText(c), "6");
  ASSERT_TRUE(MouseUp());
  WaitInputProcessed();
  EXPECT_EQ(c->ActiveButton(), sbNone);
  EXPECT_EQ(fake.LiveTimers(dxBarSpinRepeat), 0);
  EXPECT_FALSE(c->Repeating());
  // The down button once.
  ASSERT_TRUE(MoveTo(SpinButton(c, sbDown)));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(MouseUp());
  EXPECT_TRUE(WaitUntil([&] { return FieldText(c) == "5"; }, 2000)) << FieldText(c);
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_TRUE(WaitUntil([&] { return spin->Text() == "5"; }, 2000));
}

// ---------------------------------------------------------------- control container

TEST(BarsSimpleItems, AHostedListBoxTakesClicksAndKeysAndFallsBackToItsPlaceholder) {
  TShownItemsForm s;
  TItemsForm* f = s.Form;
  TListBox* list = List(f);
  ASSERT_TRUE(list->HandleAllocated());
  RECT row{};
  SendMessageA(list->Handle(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
  ASSERT_TRUE(Click(list->Handle(), POINT{20, (row.top + row.bottom) / 2}));
  EXPECT_TRUE(WaitUntil([&] { return list->ItemIndex() == 1; }, 2000));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  EXPECT_TRUE(WaitUntil([&] { return list->ItemIndex() == 2; }, 2000));
  // Through the menu and back: entries and selection kept.
  ASSERT_NE(s.OpenMenu(), nullptr);
  ASSERT_TRUE(s.CloseMenu());
  EXPECT_EQ(list->Items()->Count(), 4);
  EXPECT_EQ(list->ItemIndex(), 2);

  // Resized while its toolbar is hidden: measured again when shown.
  f->Toolbar->SetVisible(false);
  ProcessQueuedMessages();
  list->SetWidth(150);
  f->Toolbar->SetVisible(true);
  ProcessQueuedMessages();
  EXPECT_TRUE(WaitUntil([&] { return TItemsForm::ScreenRect(f->ToolbarControl("ContainerList")).Width() == 150; }, 2000));

  // Freed: the placeholder with the item's name, hatched in the shadow
  // colour.
  list->Free();
  auto* container = dynamic_cast<TdxBarControlContainerItem*>(f->Item("ContainerList"));
  EXPECT_EQ(container->Control(), nullptr);
  ProcessQueuedMessages();
  TdxBarItemControl* c = f->ToolbarControl("ContainerList");
  ASSERT_NE(c, nullptr);
  TRect r = TItemsForm::ScreenRect(c);
  // As wide as its name and a little more.
  EXPECT_GT(r.Width(), BarTextWidth(c->Parent(), "ContainerList"));
  EXPECT_LT(r.Width(), 150);
  TDibSurface shot = CaptureScreen(r);
  EXPECT_GT(CountColor(shot, GetSysColor(COLOR_BTNSHADOW)), 2 * r.Width());
  SaveScreenshot(f->Handle(), "placeholder");
}

// ---------------------------------------------------------------- progress

TEST(BarsSimpleItems, ProgressBarsInBlocksAndSmooth) {
  TShownItemsForm s;
  TItemsForm* f = s.Form;
  COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  for (const char* name : {"ProgressBlocks", "ProgressSmooth"}) {
    SCOPED_TRACE(name);
    auto* c = dynamic_cast<TdxBarProgressControl*>(f->ToolbarControl(name));
    ASSERT_NE(c, nullptr);
    auto* p = c->Progress();
    TRect bar = c->BarRect();
    ASSERT_EQ(bar.Width(), 150);
    TDibSurface shot = CaptureClient(c->Parent()->Handle());
    int y = (bar.top + bar.bottom) / 2;
    int filled = dxBarProgressFilled(bar.Width(), p->Min(), p->Max(), p->Position());
    ASSERT_EQ(filled, bar.Width() * p->Position() / 100);
    // Lit where the bar's parts are (one part when smooth, blocks with gaps
    // of 2 otherwise), empty past the filled end.
    std::vector<TRect> parts = c->Geometry().Fill(filled, p->Smooth());
    if (p->Smooth()) {
      EXPECT_EQ(parts.size(), 1u);
    } else {
      EXPECT_GT(parts.size(), 3u);
    }
    int lit = 0;
    for (int x = bar.left - 2; x < bar.right + 2; ++x) {
      bool on = SameColor(shot.Pixel(x, y), highlight);
      bool inPart = std::any_of(parts.begin(), parts.end(), [&](const TRect& part) { return x >= part.left && x < part.right; });
      EXPECT_EQ(on, inPart) << x - bar.left;
      lit += on ? 1 : 0;
    }
    if (p->Smooth()) {
      EXPECT_EQ(lit, filled);
    } else {
      EXPECT_LT(lit, filled);
      EXPECT_GT(lit, filled * 2 / 3);
    }
  }
  // A new position repaints only the bar.
  auto* blocks = dynamic_cast<TdxBarProgressItem*>(f->Item("ProgressBlocks"));
  blocks->SetPosition(100);
  auto* c = dynamic_cast<TdxBarProgressControl*>(f->ToolbarControl("ProgressBlocks"));
  HWND bar = c->Parent()->Handle();
  RECT invalid{};
  GetUpdateRect(bar, &invalid, FALSE);
  EXPECT_EQ(TRect(invalid), c->BarRect());
  ProcessQueuedMessages();
  TDibSurface full = CaptureClient(bar);
  TRect r = c->BarRect();
  std::vector<TRect> parts = c->Geometry().Fill(r.Width(), false);
  EXPECT_TRUE(SameColor(full.Pixel(parts.back().right - 1, (r.top + r.bottom) / 2), highlight));
  SaveScreenshot(f->Handle(), "progress");
}
