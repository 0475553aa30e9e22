// The menu window and the button and sub-item controls on the real bars of
// the menu fixture, with the bars' timers and input state faked: sizes,
// the 400 ms submenu delay, scrolling, recently used entries first, split
// and check buttons, generated entries and popup menus.
#include "Menufixture.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

int TextWidth(TCustomdxBarControl* bar, const String& text) { return BarTextWidth(bar, GetTextOf(text)); }

}  // namespace

// ---------------------------------------------------------------- sizes

TEST(BarsControlSizes, ButtonsInToolbarsAndMenus) {
  TFakeFrame f;
  TdxBarManager* m = f.Form->Bar1;
  m->SetScaled(false);
  TFont font;
  font.SetName("Tahoma");
  font.SetSize(10);
  m->SetFont(&font);
  TdxBar* bar = f.Form->Standard();
  TdxBarControl* c = bar->Control();
  ASSERT_EQ(c->Canvas()->Font()->Size(), 10);
  int ts = c->TextSize();
  auto size = [&](const String& name) {
    TdxBarItemControl* control = f.Form->Control(bar, "Button" + name);
    return TPoint(control->GetWidth(), control->GetHeight());
  };
  // Text only, a 10-point caption: its width plus 10.
  TdxBarButton* open = f.Form->Button("Open");
  EXPECT_EQ(size("Open"), TPoint(TextWidth(c, open->Caption()) + 10, std::max(ts, m->ButtonHeight())));
  // With a glyph: the button's square.
  TBitmap glyph;
  glyph.SetSize(16, 16);
  TdxBarButton* save = f.Form->Button("Save");
  save->SetGlyph(&glyph);
  EXPECT_EQ(size("Save"), TPoint(m->ButtonWidth(), m->ButtonHeight()));
  save->SetPaintStyle(psCaptionGlyph);
  EXPECT_EQ(size("Save"), TPoint(TextWidth(c, save->Caption()) + m->ButtonWidth() + 4, std::max(ts, m->ButtonHeight())));
  save->SetPaintStyle(psStandard);
  save->SetLowered(true);
  EXPECT_EQ(size("Save"), TPoint(m->ButtonWidth() + 2, m->ButtonHeight() + 2));
  // A split button adds its arrow.
  f.Form->Button("Undo")->SetGlyph(&glyph);
  EXPECT_EQ(size("Undo"), TPoint(m->ButtonWidth() + m->RealButtonArrowWidth(), m->ButtonHeight()));
  // On a vertical bar a caption button turns.
  bar->SetDockingStyle(dsLeft);
  c = bar->Control();
  ts = c->TextSize();
  EXPECT_EQ(size("Open"), TPoint(std::max(ts, m->ButtonWidth()), TextWidth(c, open->Caption()) + 10));
  bar->SetDockingStyle(dsTop);
  // Menu rows: caption, glyph column, arrow room, and the shortcut.
  TdxBarSubMenuControl* menu = f.Open("File");
  ASSERT_NE(menu, nullptr);
  ts = menu->TextSize();
  TdxBarItemControl* newRow = f.Form->MenuControl("File", "ButtonNew");
  EXPECT_EQ(newRow->GetWidth(), TextWidth(menu, "&New") + 2 * ts + 6 + TextWidth(menu, "Ctrl+N") + ts - 6);
  EXPECT_EQ(newRow->GetHeight(), ts);
  EXPECT_EQ(f.Form->MenuControl("File", "ButtonExit")->GetWidth(), TextWidth(menu, "E&xit") + 2 * ts + 6);
  EXPECT_EQ(f.Form->MenuControl("File", "SubRecent")->GetWidth(), TextWidth(menu, "&Recent Files") + 2 * ts + 3);
  menu->HideAll();
  // The flat style: 9 more in menus, 2 more high.
  m->SetStyle(bmsFlat);
  menu = f.Open("File");
  ts = menu->TextSize();
  EXPECT_EQ(f.Form->MenuControl("File", "ButtonExit")->GetWidth(), TextWidth(menu, "E&xit") + 2 * ts + 6 + 9);
  EXPECT_EQ(f.Form->MenuControl("File", "ButtonExit")->GetHeight(), ts + 2);
}

TEST(BarsControlSizes, SubItemsOnTheMainMenuAndOtherBars) {
  TFakeFrame f;
  TdxBarControl* main = f.MainMenu();
  int ts = main->TextSize();
  int offset = -main->Canvas()->Font()->Height() / 2;
  TdxBarItemControl* file = f.Title("File");
  // On the main menu bar no drop arrow.
  EXPECT_EQ(file->GetWidth(), TextWidth(main, "&File") + 2 * offset);
  EXPECT_EQ(file->GetHeight(), ts);
  // On another bar half a text size for the arrow.
  TdxBar* standard = f.Form->Standard();
  standard->ItemLinks()->Add()->SetItem(f.Form->Sub("Help"));
  standard->Control()->RepaintBar();
  TdxBarItemControl* help = f.Form->Control(standard, "SubHelp");
  ASSERT_NE(help, nullptr);
  TdxBarControl* c = standard->Control();
  EXPECT_EQ(help->GetWidth(), TextWidth(c, "&Help") + 2 * offset + c->TextSize() / 2);
  // The flat main menu bar keeps 8 pixels on each side.
  f.Form->Bar1->SetStyle(bmsFlat);
  EXPECT_EQ(f.Title("File")->GetWidth(), TextWidth(f.MainMenu(), "&File") + 16);
}

// ---------------------------------------------------------------- the submenu delay

TEST(BarsSubMenuDelay, HoverOpensAfter400MsAndASiblingReArms) {
  TFakeFrame f;
  int recentOpened = 0;
  f.Form->Sub("Recent")->OnPopup = [&](TObject*) { ++recentOpened; };
  TdxBarSubMenuControl* file = f.Open("File");
  ASSERT_TRUE(f.Shown("File"));
  f.Hover(f.Form->MenuControl("File", "SubRecent"));
  EXPECT_EQ(f.S.LiveTimers(400), 1);
  EXPECT_FALSE(f.Shown("Recent"));
  // A sibling within 400 ms: the timer is armed again for it alone.
  f.Hover(f.Form->MenuControl("File", "SubSendTo"));
  EXPECT_EQ(f.S.LiveTimers(400), 1);
  ASSERT_TRUE(f.S.Fire(400));
  EXPECT_TRUE(f.Shown("SendTo"));
  EXPECT_FALSE(f.Shown("Recent"));
  EXPECT_EQ(recentOpened, 0);
  EXPECT_EQ(f.Menu("SendTo")->ParentBar(), file);
  EXPECT_EQ(dxBarPendingSubItemControl(), nullptr);
  // Leaving it for a plain entry closes it 400 ms later.
  f.Hover(f.Form->MenuControl("File", "ButtonNew"));
  EXPECT_TRUE(f.Shown("SendTo"));
  ASSERT_TRUE(f.S.Fire(400));
  EXPECT_FALSE(f.Shown("SendTo"));
  // The right arrow key opens a submenu at once and selects its first entry.
  file->SetKeySelectedItem(f.Form->MenuControl("File", "SubRecent"));
  SendMessageA(file->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
  ASSERT_TRUE(f.Shown("Recent"));
  EXPECT_EQ(f.Menu("Recent")->SelectedControl(), f.Form->MenuControl("Recent", "ButtonRecent1"));
  EXPECT_EQ(f.S.LiveTimers(400), 0);
}

TEST(BarsSubMenuDelay, AToolbarOpensMenusOnHoverOnlyInMenuMode) {
  TFakeFrame f;
  TdxBarControl* main = f.MainMenu();
  f.Hover(f.Title("Edit"));
  EXPECT_EQ(main->SelectedControl(), f.Title("Edit"));
  EXPECT_EQ(f.S.LiveTimers(400), 0);
  EXPECT_FALSE(f.Shown("Edit"));
  // After one title is clicked open, moving to the next opens it at once.
  f.Press(main, TFakeFrame::Centre(f.Title("File")));
  f.Release(main, TFakeFrame::Centre(f.Title("File")));
  ASSERT_TRUE(f.Shown("File"));
  f.Hover(f.Title("Edit"));
  EXPECT_TRUE(f.Shown("Edit"));
  EXPECT_FALSE(f.Shown("File"));
  EXPECT_EQ(f.S.LiveTimers(400), 0);
  // A click on the open title closes it and leaves menu mode.
  f.Press(main, TFakeFrame::Centre(f.Title("Edit")));
  f.Release(main, TFakeFrame::Centre(f.Title("Edit")));
  EXPECT_FALSE(f.Shown("Edit"));
  EXPECT_FALSE(main->IsActive());
}

TEST(BarsSubMenuDelay, ClickingAnOpenSubmenuClosesItOnlyInTheStandardStyle) {
  for (TdxBarManagerStyle style : {bmsStandard, bmsEnhanced, bmsFlat}) {
    SCOPED_TRACE(style);
    TFakeFrame f;
    f.Form->Bar1->SetStyle(style);
    TdxBarSubMenuControl* file = f.Open("File");
    TdxBarItemControl* recent = f.Form->MenuControl("File", "SubRecent");
    f.Press(file, TFakeFrame::Centre(recent));
    f.Release(file, TFakeFrame::Centre(recent));
    ASSERT_TRUE(f.Shown("Recent"));
    f.Press(file, TFakeFrame::Centre(recent));
    f.Release(file, TFakeFrame::Centre(recent));
    EXPECT_EQ(f.Shown("Recent"), style != bmsStandard);
  }
}

// ---------------------------------------------------------------- buttons

TEST(BarsButtons, ACheckButtonTogglesOnReleaseAndASplitButtonsArrowOnlyOpens) {
  TFakeFrame f;
  TdxBarControl* bar = f.Form->Standard()->Control();
  TdxBarButton* wrap = f.Form->Button("Wrap");
  TPoint p = TFakeFrame::Centre(f.Form->Control(f.Form->Standard(), "ButtonWrap"));
  f.Press(bar, p);
  EXPECT_FALSE(wrap->Down());
  f.Release(bar, p);
  EXPECT_TRUE(wrap->Down());
  f.Press(bar, p);
  f.Release(bar, p);
  EXPECT_FALSE(wrap->Down());
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ButtonWrap", "ButtonWrap"}));
  f.Form->Executed.clear();
  // The arrow part opens the menu below the button; no click.
  auto* undo = dynamic_cast<TdxBarButtonControl*>(f.Form->Control(f.Form->Standard(), "ButtonUndo"));
  TRect r = bar->GetItemRect(undo);
  TPoint arrow(r.right - 3, (r.top + r.bottom) / 2);
  f.Press(bar, arrow);
  TdxBarPopupMenu* undoMenu = f.Form->Button("Undo")->DropDownMenu();
  ASSERT_NE(undoMenu->SubMenuControl(), nullptr);
  EXPECT_TRUE(undo->DroppedDown);
  TRect w = undoMenu->SubMenuControl()->GetWindowRect();
  EXPECT_EQ(w.TopLeft(), bar->ClientToScreen(TPoint(r.left, r.bottom)));
  f.Release(bar, arrow);
  EXPECT_TRUE(f.Form->Executed.empty());
  // Its entry runs and closes it.
  TdxBarSubMenuControl* menu = undoMenu->SubMenuControl();
  TdxBarItemControl* entry = menu->ItemLinks()->Items(1)->Control();
  f.Press(menu, TFakeFrame::Centre(entry));
  f.Release(menu, TFakeFrame::Centre(entry));
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ButtonUndoTwo"}));
  EXPECT_EQ(undoMenu->SubMenuControl(), nullptr);
  EXPECT_FALSE(undo->DroppedDown);
  // The main part is a plain click.
  f.Form->Executed.clear();
  TPoint main((r.left + r.right - undo->ArrowWidth()) / 2, (r.top + r.bottom) / 2);
  f.Press(bar, main);
  f.Release(bar, main);
  EXPECT_EQ(f.Form->Executed, std::vector<String>({"ButtonUndo"}));
  EXPECT_EQ(undoMenu->SubMenuControl(), nullptr);
}

// ---------------------------------------------------------------- scrolling

TEST(BarsMenuScrolling, ArrowsScrollEvery80MsAndTheKeysKeepTheSelectionInView) {
  TFakeFrame f;
  auto* popup = new TdxBarPopupMenu(f.Form);
  for (int i = 0; i < 70; ++i) {
    auto* b = new TdxBarButton(f.Form);
    b->SetCaption("Entry " + IntToStr(i));
    popup->ItemLinks()->Add()->SetItem(b);
  }
  popup->SetDropDownMode(true);
  popup->Popup(200, 10);
  TdxBarSubMenuControl* menu = popup->SubMenuControl();
  ASSERT_NE(menu, nullptr);
  TRect work = GetWorkArea(TPoint(200, 10));
  EXPECT_EQ(menu->GetWindowRect().Height(), work.Height());
  EXPECT_FALSE(menu->UpArrowExists());
  ASSERT_TRUE(menu->DownArrowExists());
  SaveScreenshot(menu->Handle(), "top");
  TRect down = menu->DownArrowRect();
  f.MoveTo(menu, TPoint((down.left + down.right) / 2, (down.top + down.bottom) / 2));
  EXPECT_TRUE(menu->Scrolling());
  EXPECT_EQ(f.S.LiveTimers(80), 1);
  ASSERT_TRUE(f.S.Fire(80));
  ASSERT_TRUE(f.S.Fire(80));
  EXPECT_EQ(menu->TopIndex(), 2);
  EXPECT_TRUE(menu->UpArrowExists());
  // Off the arrow the scrolling stops.
  TRect first = menu->ItemLinks()->VisibleItems(5)->ItemRect();
  f.S.Cursor = menu->ClientToScreen(first.TopLeft());
  ASSERT_TRUE(f.S.Fire(80));
  EXPECT_FALSE(menu->Scrolling());
  EXPECT_EQ(menu->TopIndex(), 2);
  // End selects the last entry and scrolls it into view, Home the first.
  SendMessageA(menu->Handle(), WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(menu->SelectedControl(), menu->ItemLinks()->VisibleItems(69)->Control());
  EXPECT_FALSE(menu->DownArrowExists());
  EXPECT_FALSE(menu->ItemLinks()->VisibleItems(69)->ItemRect().Empty());
  SaveScreenshot(menu->Handle(), "bottom");
  SendMessageA(menu->Handle(), WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(menu->TopIndex(), 0);
  // Down past the last whole row scrolls one row at a time.
  int whole = menu->VisibleCount();
  for (int i = 0; i < whole; ++i) SendMessageA(menu->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(menu->SelectedControl(), menu->ItemLinks()->VisibleItems(whole)->Control());
  EXPECT_EQ(menu->TopIndex(), 1);
  EXPECT_FALSE(menu->ItemLinks()->VisibleItems(whole)->ItemRect().Empty());
  menu->HideAll();
}

// ---------------------------------------------------------------- recently used entries first

namespace {

// The Edit menu with Paste and Word Wrap rarely used.
void RareEditEntries(TMenuFrame* form) {
  form->Bar1->SetMenusShowRecentItemsFirst(true);
  TdxBarItemLinks* links = form->Sub("Edit")->ItemLinks();
  for (int i = 0; i < links->Count(); ++i) {
    String name = links->Items(i)->Item()->Name();
    if (name == "ButtonPaste" || name == "ButtonWrap") links->Items(i)->SetMostRecentlyUsed(false);
  }
}

}  // namespace

TEST(BarsRecentFirst, AnUntouchedMenuExpandsAfterFourSeconds) {
  TFakeFrame f;
  RareEditEntries(f.Form);
  TdxBarSubMenuControl* edit = f.Open("Edit");
  ASSERT_TRUE(edit->MarkExists());
  EXPECT_EQ(edit->ItemLinks()->VisibleItemCount(), 3);
  EXPECT_EQ(edit->ExpandMenuTimer(), 3);
  SaveScreenshot(edit->Handle(), "recent");
  ASSERT_TRUE(f.S.Fire(4000));
  EXPECT_EQ(edit->ItemLinks()->VisibleItemCount(), 5);
  EXPECT_FALSE(edit->MarkExists());
  EXPECT_TRUE(edit->ExtendedView());
  EXPECT_TRUE(f.Shown("Edit"));
  SaveScreenshot(edit->Handle(), "expanded");
  // The rare entries are told apart.
  EXPECT_TRUE(edit->IsRare(f.Form->MenuControl("Edit", "ButtonPaste")));
  EXPECT_FALSE(edit->IsRare(f.Form->MenuControl("Edit", "ButtonCut")));
}

TEST(BarsRecentFirst, AfterASelectionOnlyTheMarkLightsThenASecondOnItExpands) {
  TFakeFrame f;
  RareEditEntries(f.Form);
  TdxBarSubMenuControl* edit = f.Open("Edit");
  f.Hover(f.Form->MenuControl("Edit", "ButtonCut"));
  EXPECT_EQ(edit->ExpandMenuTimer(), 2);
  ASSERT_TRUE(f.S.Fire(4000));
  EXPECT_EQ(edit->MarkState(), msSelected);
  EXPECT_TRUE(edit->MarkExists());
  EXPECT_EQ(edit->ExpandMenuTimer(), 0);
  // Over an entry the mark goes out; onto it, a second later it expands.
  f.Hover(f.Form->MenuControl("Edit", "ButtonCopy"));
  EXPECT_EQ(edit->MarkState(), msNone);
  TRect mark = edit->MarkRect();
  f.MoveTo(edit, TPoint((mark.left + mark.right) / 2, (mark.top + mark.bottom) / 2));
  EXPECT_EQ(edit->MarkState(), msSelected);
  EXPECT_EQ(edit->ExpandMenuTimer(), 3);
  EXPECT_EQ(f.S.LiveTimers(1000), 1);
  ASSERT_TRUE(f.S.Fire(1000));
  EXPECT_FALSE(edit->MarkExists());
  EXPECT_EQ(edit->ItemLinks()->VisibleItemCount(), 5);
  // Later menus of the chain open with all their entries.
  f.Form->Sub("File")->ItemLinks()->Items(0)->SetMostRecentlyUsed(false);
  f.Hover(f.Title("File"));
  ASSERT_TRUE(f.Shown("File"));
  EXPECT_FALSE(f.Menu("File")->MarkExists());
  // A new chain starts short again.
  f.MainMenu()->HideAll();
  TdxBarSubMenuControl* file = f.Open("File");
  EXPECT_TRUE(file->MarkExists());
  // Ctrl+Down expands from the keyboard.
  f.S.KeysDown[VK_CONTROL] = true;
  SendMessageA(file->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  f.S.KeysDown[VK_CONTROL] = false;
  EXPECT_FALSE(file->MarkExists());
}

// ---------------------------------------------------------------- generated entries

TEST(BarsListItems, AGeneratedEntryLivesUntilItsClickHasRun) {
  TFakeFrame f;
  auto* list = new TdxBarListItem(f.Form);
  list->SetName("ListWindows");
  list->Items()->Add("alpha.txt");
  list->Items()->Add("beta.txt");
  f.Form->Sub("View")->ItemLinks()->Add()->SetItem(list);
  std::vector<String> seen;
  list->OnClick = [&](TObject*) {
    // The menu is closed by now; the entry clicked is still there.
    seen.push_back(IntToStr(list->ItemIndex()) + " " + list->Buttons(list->ItemIndex())->Caption());
  };
  TdxBarSubMenuControl* view = f.Open("View", false);
  TdxBarItemLinks* links = view->ItemLinks();
  // The list's own link hides; its entries take its place.
  ASSERT_EQ(links->VisibleItemCount(), 3);
  EXPECT_EQ(links->VisibleItems(1)->Control()->GetCaption(), "&1 alpha.txt");
  EXPECT_EQ(links->VisibleItems(2)->Control()->GetCaption(), "&2 beta.txt");
  SaveScreenshot(view->Handle());
  view->SetKeySelectedItem(links->VisibleItems(2)->Control());
  SendMessageA(view->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  // Enter clicks once the key is done with.
  EXPECT_TRUE(seen.empty());
  EXPECT_TRUE(WaitFor([&] { return !seen.empty(); }, 2000));
  EXPECT_EQ(seen, std::vector<String>({"1 &2 beta.txt"}));
  EXPECT_FALSE(f.Shown("View"));
  // The View links are as defined again; the entries are made anew when
  // the menu opens next.
  EXPECT_EQ(f.Form->Sub("View")->ItemLinks()->Count(), 2);
  EXPECT_TRUE(list->ClearPending());
  view = f.Open("View");
  EXPECT_EQ(view->ItemLinks()->VisibleItemCount(), 3);
  EXPECT_FALSE(list->ClearPending());
}

// ---------------------------------------------------------------- popup menus

TEST(BarsPopupMenu, RunsUntilClosedIgnoresASecondPopupAndKeepsAQuit) {
  TFakeFrame f;
  TdxBarPopupMenu* popup = f.Form->EditMenu;
  TScript script;
  int popups = 0;
  popup->OnPopup = [&](TObject*) { ++popups; };
  bool shownInside = false;
  script.Do([&] {
    shownInside = popup->Shown() && popup->SubMenuControl() && IsWindowVisible(popup->SubMenuControl()->Handle());
    // A second popup while open returns at once.
    popup->Popup(50, 50);
    SaveScreenshot(popup->SubMenuControl()->Handle());
    popup->SubMenuControl()->HideAll();
  });
  popup->Popup(300, 300);
  EXPECT_TRUE(shownInside);
  EXPECT_EQ(popups, 1);
  EXPECT_FALSE(popup->Shown());
  EXPECT_EQ(popup->SubMenuControl(), nullptr);
  // A quit posted while it is open ends the loop and stays for the
  // program's own loop.
  script.Do([&] { PostQuitMessage(7); });
  popup->Popup(300, 300);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(popup->SubMenuControl(), nullptr);
  ResetQuitReceived();
}
