// The Customize window, opened as the program opens it: Customizing(true)
// on the manager of a shown form.
#include "Barstest.h"
#include "Fixture.h"
#include "bars/Dxbarstrs.h"
#include "bars/customize/Dxbarcustform.h"
#include "bars/customize/Dxbarnameed.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// Some form with a manager, shown; the window opens over it.
template <class F>
struct TOpened {
  TRecordingStore Store;
  TdxBarLayoutStore* PreviousStore = dxBarSetLayoutStore(&Store);
  TScopedDialogs Dialogs;
  F* Form;
  explicit TOpened(F* form) : Form(form) {
    SetCursorPos(1270, 1010);
    Form->SetBounds(10, 10, 700, 300);
    Form->Show();
    EXPECT_TRUE(WaitVisible(Form->Handle()));
  }
  ~TOpened() {
    if (Manager()->IsCustomizing()) Manager()->Customizing(false);
    Form->Free();
    dxBarSetLayoutStore(PreviousStore);
  }
  TdxBarManager* Manager();
  TdxBarCustomizingForm* Open() {
    Manager()->Customizing(true);
    TdxBarCustomizingForm* c = dxBarCustomizingForm();
    EXPECT_TRUE(c && WaitVisible(c->Handle()));
    if (c) ProcessQueuedMessages();
    return c;
  }
};
template <>
TdxBarManager* TOpened<TBarsFixtureForm>::Manager() { return Form->Bar1; }
template <>
TdxBarManager* TOpened<TBarsForm>::Manager() { return Form->Manager; }

struct TFixtureOpened : TOpened<TBarsFixtureForm> {
  TFixtureOpened() : TOpened(new TBarsFixtureForm) {}
};

// A form whose bars are made in code: none of them is predefined.
struct TPlainOpened : TOpened<TBarsForm> {
  explicit TPlainOpened(std::initializer_list<const char*> captions) : TOpened(new TBarsForm) {
    for (const char* caption : captions) Form->AddBar(caption)->SetVisible(true);
  }
};

std::vector<String> Rows(TListBox* list) {
  std::vector<String> rows;
  for (int i = 0; i < list->Items()->Count(); ++i) rows.push_back(list->Items()->Get(i));
  return rows;
}

POINT RowPoint(TListBox* list, int row, int x) {
  TRect r = list->ItemRect(row);
  return POINT{r.left + x, (r.top + r.bottom) / 2};
}

// Dark pixels in the check box of a row: a check mark is there.
int CheckMarkPixels(TCheckListBox* list, int row) {
  TDibSurface s = CaptureClient(list->Handle());
  TRect r = list->ItemRect(row);
  RECT box{r.left + 3, r.top + 3, r.left + list->ItemHeight() - 3, r.bottom - 3};
  return CountColor(s, box, RGB(0, 0, 0), 40);
}

String EditText(HWND dialog) { return WindowText(FindChildByClass(dialog, "Edit")); }

}  // namespace

// ---------------------------------------------------------------- opening and closing

TEST(BarsCustomizeWindow, OpensOverTheDisabledFormAndClosesWithEveryWay) {
  TFixtureOpened f;
  TdxBarManager* m = f.Form->Bar1;
  int shown = 0, hidden = 0;
  m->OnShowCustomizingForm = [&](TObject*) { ++shown; };
  m->OnHideCustomizingForm = [&](TObject*) { ++hidden; };
  m->SetHideFloatingBarsWhenInactive(true);
  TdxBar* files = m->BarByCaption("Files");
  files->SetFloatLeft(1000);
  files->SetFloatTop(850);
  files->SetDockingStyle(dsNone);
  ASSERT_TRUE(BringToFront(f.Form->Handle()));
  TdxBarCustomizingForm* c = f.Open();
  ASSERT_TRUE(c);
  HWND wnd = c->Handle();
  EXPECT_TRUE(m->IsCustomizing());
  EXPECT_FALSE(IsWindowEnabled(f.Form->Handle()));
  EXPECT_EQ(WindowText(wnd), "Customize");
  // Floating bars stay shown while the window is used: commands are
  // dropped on them.
  ASSERT_TRUE(WaitForeground(wnd));
  ProcessQueuedMessages();
  ASSERT_TRUE(files->Control());
  EXPECT_TRUE(IsWindowVisible(files->Control()->Handle()));
  EXPECT_EQ(GetWindow(wnd, GW_OWNER), f.Form->Handle());
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(wnd, GWL_STYLE)) & ~WS_VISIBLE & 0xFFFF0000u, 0x84C80000u);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(wnd, GWL_EXSTYLE)) & 0x101u, 0x101u);
  RECT client;
  GetClientRect(wnd, &client);
  EXPECT_EQ(client.right, 366);
  EXPECT_EQ(client.bottom, 310);
  // The design pages have no tab.
  EXPECT_EQ(TabCtrl_GetItemCount(c->PageControl->Handle()), 3);
  // "Close" right-aligned at the panel's edge less the margin.
  EXPECT_EQ(c->BClose->Left() + c->BClose->Width(), 360);
  EXPECT_TRUE(c->BHelp->Visible());
  ASSERT_TRUE(Click(c->BHelp->Handle()));
  EXPECT_EQ(f.Form->HelpClicks, 1);
  // A second opening changes nothing.
  m->Customizing(true);
  EXPECT_EQ(dxBarCustomizingForm(), c);
  EXPECT_EQ(shown, 1);
  SaveScreenshot(wnd, "Toolbars");

  // Close: the window goes, customizing ends, the form is enabled again.
  ASSERT_TRUE(Click(c->BClose->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return dxBarCustomizingForm() == nullptr && !IsWindow(wnd); }));
  EXPECT_FALSE(m->IsCustomizing());
  EXPECT_TRUE(IsWindowEnabled(f.Form->Handle()));
  EXPECT_EQ(hidden, 1);

  // Esc closes as well.
  c = f.Open();
  ASSERT_TRUE(c);
  wnd = c->Handle();
  ASSERT_TRUE(FocusWindow(c->BarsList()->Handle()));
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitUntil([&] { return dxBarCustomizingForm() == nullptr && !IsWindow(wnd); }));
  EXPECT_TRUE(IsWindowEnabled(f.Form->Handle()));

  // Leaving customizing mode closes it.
  c = f.Open();
  ASSERT_TRUE(c);
  wnd = c->Handle();
  m->Customizing(false);
  EXPECT_EQ(dxBarCustomizingForm(), nullptr);
  EXPECT_FALSE(IsWindow(wnd));
  EXPECT_TRUE(IsWindowEnabled(f.Form->Handle()));
  EXPECT_EQ(shown, 3);
  EXPECT_EQ(hidden, 3);
}

TEST(BarsCustomizeWindow, ActivatedAgainItShowsTheFloatingBarsAndKeepsTheFocus) {
  TFixtureOpened f;
  TdxBarManager* m = f.Manager();
  m->SetHideFloatingBarsWhenInactive(true);
  TdxBar* files = m->BarByCaption("Files");
  files->SetFloatLeft(1000);
  files->SetFloatTop(850);
  files->SetDockingStyle(dsNone);
  TdxBarCustomizingForm* c = f.Open();
  ASSERT_TRUE(c);
  HWND barWnd = files->Control()->Handle();
  ASSERT_TRUE(WaitForeground(c->Handle()));
  c->BarsList()->SetFocus();
  ASSERT_EQ(GetFocus(), c->BarsList()->Handle());
  // Another window of the program takes the activation: the bars hide.
  TOwned<TForm> other(new TForm(nullptr));
  other->SetBounds(900, 100, 200, 150);
  other->SetCaption("Other");
  other->Show();
  SetForegroundWindow(other->Handle());
  ASSERT_TRUE(WaitForeground(other->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(barWnd); }));
  EXPECT_FALSE(m->FormActive());
  // Back in the Customize window: they show again and the keys go to it.
  c->BarsList()->SetItemIndex(2);
  SetForegroundWindow(c->Handle());
  ASSERT_TRUE(WaitForeground(c->Handle()));
  ProcessQueuedMessages();
  EXPECT_TRUE(m->FormActive());
  EXPECT_TRUE(IsWindowVisible(barWnd));
  EXPECT_EQ(GetFocus(), c->BarsList()->Handle()) << DescribeWindow(GetFocus());
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  EXPECT_EQ(c->BarsList()->ItemIndex(), 3);
  SaveDesktopScreenshot("Desktop");
  // Both captions drawn active.
  TDibSurface formShot = CaptureWindow(f.Form->Handle());
  TDibSurface ownShot = CaptureWindow(c->Handle());
  EXPECT_TRUE(ColorAt(formShot, 150, 8, ownShot.Pixel(150, 8)));
  EXPECT_FALSE(IsWindowEnabled(f.Form->Handle()));
}

TEST(BarsCustomizeWindow, FollowsTheMainFormsShowingAndHiding) {
  TFixtureOpened f;
  TdxBarCustomizingForm* c = f.Open();
  ASSERT_TRUE(c);
  WINDOWPOS pos{};
  pos.flags = SWP_HIDEWINDOW;
  c->UpdateVisibility(pos);
  EXPECT_FALSE(IsWindowVisible(c->Handle()));
  pos.flags = SWP_SHOWWINDOW;
  c->UpdateVisibility(pos);
  EXPECT_TRUE(IsWindowVisible(c->Handle()));
}

// ---------------------------------------------------------------- toolbars page

TEST(BarsCustomizeToolbars, RowsSkipHiddenBarsAndSelectTheFirstVisibleOne) {
  {
    TFixtureOpened f;
    f.Manager()->SetAllowReset(true);
    TdxBarCustomizingForm* c = f.Open();
    ASSERT_TRUE(c);
    EXPECT_EQ(Rows(c->BarsList()), (std::vector<String>{"Main Menu", "Quick Connect", "Connections", "Directories",
                                                        "Files", "Batch", "Utilities", "Help", "View"}));
    EXPECT_EQ(c->BarsList()->ItemIndex(), 0);
    // Predefined bars: no rename, no delete; reset.
    EXPECT_FALSE(c->BBarRename->Enabled());
    EXPECT_FALSE(c->BBarDelete->Enabled());
    EXPECT_TRUE(c->BBarReset->Visible());
    EXPECT_TRUE(c->BBarReset->Enabled());
    // Rows as high as a digit of the window's font and two pixels.
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, c->Font()->Handle());
    SIZE digit;
    GetTextExtentPoint32A(dc, "0", 1, &digit);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(c->BarsList()->ItemHeight(), digit.cy + 2);
    EXPECT_EQ(c->Font()->Name(), "Tahoma");
  }
  {
    // A hidden bar before the first visible one.
    TPlainOpened f({"Alpha", "Beta", "Gamma", "Delta"});
    f.Manager()->BarByCaption("Alpha")->SetHidden(true);
    f.Manager()->BarByCaption("Beta")->SetVisible(false);
    TdxBarCustomizingForm* c = f.Open();
    ASSERT_TRUE(c);
    EXPECT_EQ(Rows(c->BarsList()), (std::vector<String>{"Beta", "Gamma", "Delta"}));
    EXPECT_EQ(c->BarsList()->ItemIndex(), 1);
    EXPECT_TRUE(c->BBarRename->Enabled());
    EXPECT_TRUE(c->BBarDelete->Enabled());
    EXPECT_FALSE(c->BBarReset->Visible());
  }
  {
    TPlainOpened f({});
    TdxBarCustomizingForm* c = f.Open();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->BarsList()->Items()->Count(), 0);
    EXPECT_FALSE(c->BBarRename->Enabled());
    EXPECT_FALSE(c->BBarDelete->Enabled());
    EXPECT_FALSE(c->BBarReset->Enabled());
    SaveScreenshot(c->Handle(), "NoBars");
  }
}

TEST(BarsCustomizeToolbars, CheckBoxesShowAndToggleTheBars) {
  TFixtureOpened f;
  TdxBarManager* m = f.Manager();
  TdxBar* files = m->BarByCaption("Files");
  TdxBar* menu = m->BarByCaption("Main Menu");
  TdxBarCustomizingForm* c = f.Open();
  ASSERT_TRUE(c);
  TCheckListBox* list = c->BarsList();
  HWND lw = list->Handle();
  int filesRow = 4;
  ASSERT_EQ(list->Items()->Get(filesRow), "Files");

  // Checked while visible, drawn once.
  files->SetVisible(false);
  int unchecked = CheckMarkPixels(list, filesRow);
  files->SetVisible(true);
  int checked = CheckMarkPixels(list, filesRow);
  EXPECT_GT(checked, unchecked + 5);

  // A click on the text only selects; in the box it toggles.
  ASSERT_TRUE(Click(lw, RowPoint(list, filesRow, 40)));
  EXPECT_EQ(list->ItemIndex(), filesRow);
  EXPECT_TRUE(files->Visible());
  ASSERT_TRUE(Click(lw, RowPoint(list, filesRow, 5)));
  EXPECT_FALSE(files->Visible());
  EXPECT_LT(CheckMarkPixels(list, filesRow), checked - 5);
  SaveScreenshot(c->Handle(), "FilesHidden");
  // Space toggles the selected row.
  ASSERT_TRUE(KeyChord({VK_SPACE}));
  EXPECT_TRUE(files->Visible());
  // A double click in the box is two presses.
  ASSERT_TRUE(DoubleClick(lw, RowPoint(list, filesRow, 5)));
  EXPECT_TRUE(files->Visible());
  // A right press in the box toggles as well.
  ASSERT_TRUE(Click(lw, RowPoint(list, filesRow, 5), mbRight));
  EXPECT_FALSE(files->Visible());

  // The main menu cannot close: a beep, nothing else.
  ASSERT_FALSE(menu->CanClose());
  ASSERT_TRUE(Click(lw, RowPoint(list, 0, 5)));
  EXPECT_TRUE(menu->Visible());
  ASSERT_EQ(f.Dialogs.Dialogs.Sounds.size(), 1u);

  // A caption changed on the bar shows in its row.
  files->SetCaption("Transfers");
  EXPECT_EQ(list->Items()->Get(filesRow), "Transfers");
}

TEST(BarsCustomizeToolbars, NewProposesTheFirstFreeNameAndFloatsBesideTheWindow) {
  struct TCase {
    int WindowLeft;
    bool Left;  // placed left of the window
  } cases[] = {{400, true}, {0, false}};
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.WindowLeft);
    TPlainOpened f({"Custom 1", "Custom 3"});
    TdxBarCustomizingForm* c = f.Open();
    ASSERT_TRUE(c);
    c->SetBounds(k.WindowLeft, 200, c->Width(), c->Height());
    String proposed;
    TModalDriver modal;
    modal.Window("Custom ").Do("read the name", [&](HWND w) {
      proposed = EditText(w);
      if (k.WindowLeft == 0) SaveScreenshot(w, "NameDialog");
      return true;
    }).Press("OK");
    ASSERT_TRUE(Click(c->BBarNew->Handle()));
    ASSERT_TRUE(modal.Finish());
    EXPECT_EQ(proposed, "Custom 2");
    TdxBar* bar = f.Manager()->BarByCaption("Custom 2");
    ASSERT_TRUE(bar);
    EXPECT_TRUE(bar->Visible());
    EXPECT_EQ(bar->DockingStyle(), dsNone);
    RECT wr;
    GetWindowRect(c->Handle(), &wr);
    EXPECT_EQ(bar->FloatLeft(), k.Left ? wr.left - 50 : wr.right + 10);
    EXPECT_EQ(bar->FloatTop(), wr.top);
    EXPECT_EQ(Rows(c->BarsList()), (std::vector<String>{"Custom 1", "Custom 3", "Custom 2"}));
    EXPECT_EQ(c->BarsList()->ItemIndex(), 2);
  }
}

TEST(BarsCustomizeToolbars, NewAndRenameCancelledChangeNothing) {
  TPlainOpened f({"Alpha"});
  TdxBarCustomizingForm* c = f.Open();
  ASSERT_TRUE(c);
  TModalDriver modal;
  modal.Window("Custom ").Press("Cancel");
  modal.Window("Rename Toolbar").SetEditAt(0, "Omega").Press("Cancel");
  ASSERT_TRUE(Click(c->BBarNew->Handle()));
  ASSERT_TRUE(Click(c->BBarRename->Handle()));
  ASSERT_TRUE(modal.Finish());
  EXPECT_EQ(f.Manager()->Bars()->Count(), 1);
  EXPECT_EQ(f.Manager()->Bars()->Items(0)->Caption(), "Alpha");
  EXPECT_EQ(Rows(c->BarsList()), (std::vector<String>{"Alpha"}));
}

TEST(BarsCustomizeToolbars, RenameRefusesAnotherBarsNameAndKeepsTheDialogOpen) {
  TPlainOpened f({"Alpha", "Beta"});
  TdxBarCustomizingForm* c = f.Open();
  ASSERT_TRUE(c);
  c->BarsList()->SetItemIndex(1);
  String shown;
  bool okWhenEmpty = true;
  TModalDriver modal;
  modal.Window("Rename Toolbar")
      .Do("read the name", [&](HWND w) {
        shown = EditText(w);
        return true;
      })
      .SetEditAt(0, "")
      .Do("OK disabled", [&](HWND w) {
        okWhenEmpty = IsWindowEnabled(FindChildByText(w, "OK", "Button"));
        return true;
      })
      .SetEditAt(0, "Alpha")
      .Press("OK")
      .Do("still open with the text", [&](HWND w) { return IsWindowVisible(w) && EditText(w) == "Alpha"; })
      .SetEditAt(0, "Beta")  // its own name
      .Press("OK");
  ASSERT_TRUE(Click(c->BBarRename->Handle()));
  ASSERT_TRUE(modal.Finish());
  EXPECT_EQ(shown, "Beta");
  EXPECT_FALSE(okWhenEmpty);
  ASSERT_EQ(f.Dialogs.Dialogs.Boxes.size(), 1u);
  EXPECT_EQ(f.Dialogs.Dialogs.Boxes[0].text, "A toolbar named 'Alpha' already exists. Type another name.");
  EXPECT_EQ(f.Dialogs.Dialogs.Boxes[0].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(f.Manager()->BarByCaption("Beta"), f.Manager()->Bars()->Items(1));

  // A new name goes to the bar and its row.
  TModalDriver again;
  again.Window("Rename Toolbar").SetEditAt(0, "Gamma").Press("OK");
  ASSERT_TRUE(Click(c->BBarRename->Handle()));
  ASSERT_TRUE(again.Finish());
  EXPECT_EQ(f.Manager()->Bars()->Items(1)->Caption(), "Gamma");
  EXPECT_EQ(Rows(c->BarsList()), (std::vector<String>{"Alpha", "Gamma"}));
  EXPECT_EQ(c->BarsList()->ItemIndex(), 1);
}

TEST(BarsCustomizeToolbars, DeleteAsksAndMovesTheSelection) {
  TPlainOpened f({"Alpha", "Beta", "Gamma"});
  TdxBarManager* m = f.Manager();
  TdxBarCustomizingForm* c = f.Open();
  ASSERT_TRUE(c);
  TCheckListBox* list = c->BarsList();
  auto& d = f.Dialogs.Dialogs;

  struct TStep {
    int Row;
    int Answer;
    std::vector<String> Rows;
    int Selected;
  } steps[] = {
      {1, IDCANCEL, {"Alpha", "Beta", "Gamma"}, 1},
      {1, IDOK, {"Alpha", "Gamma"}, 1},  // the same row number
      {1, IDOK, {"Alpha"}, 0},           // the last row: the new last one
      {0, IDOK, {}, -1},                 // the only row: none
  };
  for (const TStep& s : steps) {
    list->SetItemIndex(s.Row);
    c->BarsListBoxClick(nullptr);
    String caption = list->Items()->Get(s.Row);
    d.Answers = {s.Answer};
    size_t boxes = d.Boxes.size();
    ASSERT_TRUE(Click(c->BBarDelete->Handle()));
    ASSERT_EQ(d.Boxes.size(), boxes + 1);
    EXPECT_EQ(d.Boxes.back().text, "Are you sure you want to delete the '" + caption + "' toolbar?");
    EXPECT_EQ(d.Boxes.back().flags, static_cast<UINT>(MB_OKCANCEL | MB_ICONEXCLAMATION));
    EXPECT_EQ(Rows(list), s.Rows);
    EXPECT_EQ(list->ItemIndex(), s.Selected);
    EXPECT_EQ(m->Bars()->Count(), static_cast<int>(s.Rows.size()));
  }
  EXPECT_FALSE(c->BBarRename->Enabled());
  EXPECT_FALSE(c->BBarDelete->Enabled());
}

TEST(BarsCustomizeToolbars, ResetAsksAndPutsTheBarBack) {
  TFixtureOpened f;
  TdxBarManager* m = f.Manager();
  m->SetAllowReset(true);
  TdxBar* files = m->BarByCaption("Files");
  files->ItemLinks()->Items(0)->Free();
  ASSERT_EQ(files->ItemLinks()->Count(), 2);
  TdxBarCustomizingForm* c = f.Open();
  ASSERT_TRUE(c);
  c->BarsList()->SetItemIndex(4);
  c->BarsListBoxClick(nullptr);
  auto& d = f.Dialogs.Dialogs;
  d.Answers = {IDCANCEL, IDOK};
  ASSERT_TRUE(Click(c->BBarReset->Handle()));
  EXPECT_EQ(files->ItemLinks()->Count(), 2);
  ASSERT_TRUE(Click(c->BBarReset->Handle()));
  EXPECT_EQ(files->ItemLinks()->Count(), 3);
  ASSERT_EQ(d.Boxes.size(), 2u);
  EXPECT_EQ(d.Boxes[0].text, "Are you sure you want to reset the changes made to the 'Files' toolbar?");
}

// ---------------------------------------------------------------- commands page

TEST(BarsCustomizeCommands, CategoriesListTheirCommandsWithDescriptions) {
  TFixtureOpened f;
  TdxBarManager* m = f.Manager();
  m->SetCategoryVisible(1, false);  // "Connections"
  f.Form->Button("UpDir")->SetDescription("Goes to the parent directory");
  // One image, a green square on fuchsia, for every action.
  TBitmap glyph;
  glyph.SetSize(16, 16);
  glyph.Canvas()->Brush()->SetColor(clFuchsia);
  glyph.Canvas()->FillRect(TRect(0, 0, 16, 16));
  glyph.Canvas()->Brush()->SetColor(static_cast<TColor>(RGB(0, 160, 0)));
  glyph.Canvas()->FillRect(TRect(2, 2, 14, 14));
  f.Form->Imagebars->SetWidth(16);
  f.Form->Imagebars->SetHeight(16);
  f.Form->Imagebars->AddMasked(&glyph, clFuchsia);
  f.Form->Action("About")->SetImageIndex(0);
  TdxBarCustomizingForm* c = f.Open();
  ASSERT_TRUE(c);
  c->SelectPage(1);
  EXPECT_EQ(Rows(c->LCategories), (std::vector<String>{"Default", "View", "Directories", "Files", "Batch",
                                                        "Utilities", "Help", "Menus"}));
  EXPECT_EQ(c->LCategories->ItemIndex(), 0);
  // Row 2 is the third category of the manager's: Directories.
  ASSERT_TRUE(Click(c->LCategories->Handle(), RowPoint(c->LCategories, 2, 20)));
  std::vector<TdxBarItem*> items;
  m->GetItemsByCategory(3, items);
  TCommandsListBox* list = c->CommandsList();
  ASSERT_EQ(list->Items()->Count(), static_cast<int>(items.size()));
  for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(list->Item(static_cast<int>(i)), items[i]);
  EXPECT_EQ(list->Items()->Get(0), "Up Directory");
  EXPECT_EQ(c->DescriptionLabel->Caption(), "");

  ASSERT_TRUE(Click(list->Handle(), RowPoint(list, 0, 60)));
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(c->DescriptionLabel->Caption(), "Goes to the parent directory");
  ASSERT_TRUE(Click(list->Handle(), RowPoint(list, 1, 60)));
  EXPECT_EQ(c->DescriptionLabel->Caption(), "");

  // Help: fewer rows than the list is high.
  ASSERT_TRUE(Click(c->LCategories->Handle(), RowPoint(c->LCategories, 6, 20)));
  ASSERT_EQ(list->Items()->Get(0), "About Nembra");
  ASSERT_TRUE(Click(list->Handle(), RowPoint(list, 1, 60)));

  // Selected row in the highlight colour, the others and the space below
  // the last row in the button face (standard style).
  TDibSurface s = CaptureClient(list->Handle());
  TRect selected = list->ItemRect(1);
  TRect other = list->ItemRect(2);
  TRect below = list->ItemRect(list->Items()->Count());
  EXPECT_TRUE(ColorAt(s, selected.right - 30, selected.top + 3, GetSysColor(COLOR_HIGHLIGHT)));
  EXPECT_TRUE(ColorAt(s, other.right - 30, other.top + 3, GetSysColor(COLOR_BTNFACE)));
  EXPECT_TRUE(ColorAt(s, below.right - 30, below.top + 3, GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(selected.Height(), 22);
  // The glyph centred in its cell, without its transparent colour.
  TRect first = list->ItemRect(0);
  RECT cell{first.left, first.top, first.left + 23, first.bottom};
  EXPECT_EQ(CountColor(s, cell, RGB(0, 160, 0)), 144);
  EXPECT_EQ(CountColor(s, cell, RGB(255, 0, 255)), 0);
  RECT green = ColorBounds(s, RGB(0, 160, 0));
  EXPECT_EQ(green.left, first.left + 5);
  EXPECT_EQ(green.top, first.top + 5);
  SaveScreenshot(c->Handle(), "Commands");

  // Flat: the selection colour, a window-coloured list, button-face cells.
  m->SetStyle(bmsFlat);
  UpdateWindow(list->Handle());
  TDibSurface flat = CaptureClient(list->Handle());
  EXPECT_TRUE(ColorAt(flat, selected.right - 30, selected.top + 3, m->FlatToolbarsSelColor()));
  EXPECT_TRUE(ColorAt(flat, other.right - 30, other.top + 3, GetSysColor(COLOR_WINDOW)));
  EXPECT_TRUE(ColorAt(flat, other.left + 2, other.top + 2, GetSysColor(COLOR_BTNFACE)));
  EXPECT_TRUE(ColorAt(flat, below.right - 30, below.top + 3, GetSysColor(COLOR_WINDOW)));
  // The image (faded while not selected) fills its square in the cell.
  RECT square{first.left + 5, first.top + 5, first.left + 17, first.top + 17};
  EXPECT_EQ(CountColor(flat, square, GetSysColor(COLOR_BTNFACE)), 0);
  EXPECT_EQ(CountColor(flat, cell, RGB(255, 0, 255)), 0);
  SaveScreenshot(c->Handle(), "CommandsFlat");

  // A command freed while open goes from the list; the selection keeps
  // its row number, or the new last row.
  list->Item(1)->Free();
  EXPECT_EQ(Rows(list), (std::vector<String>{"About Nembra", "Help", "Help Contents", "Help Index"}));
  EXPECT_EQ(list->ItemIndex(), 1);
  list->SetItemIndex(3);
  list->Item(3)->Free();
  EXPECT_EQ(list->Items()->Count(), 3);
  EXPECT_EQ(list->ItemIndex(), 2);
  UpdateWindow(list->Handle());
}

// ---------------------------------------------------------------- options page

TEST(BarsCustomizeOptions, EachStyleShowsItsPanelAndWritesToTheManager) {
  TFixtureOpened f;
  TdxBarManager* m = f.Manager();
  m->SetStyle(bmsStandard);
  m->SetShowHint(true);
  m->SetShowShortCutInHint(false);
  m->SetLargeIcons(false);
  TdxBarCustomizingForm* c = f.Open();
  ASSERT_TRUE(c);
  c->SelectPage(2);
  EXPECT_TRUE(c->StandardOptionsPanel->Visible());
  EXPECT_FALSE(c->EnhancedOptionsPanel->Visible());
  EXPECT_TRUE(c->CBHint1->Checked());
  EXPECT_FALSE(c->CBHint2->Checked());
  EXPECT_EQ(c->ComboBoxMenuAnimations->ItemIndex(), static_cast<int>(maUnfold));
  SaveScreenshot(c->Handle(), "Standard");

  ASSERT_TRUE(Click(c->CBLargeIcons->Handle()));
  EXPECT_TRUE(m->LargeIcons());
  ASSERT_TRUE(Click(c->CBHint1->Handle()));
  EXPECT_FALSE(m->ShowHint());
  EXPECT_TRUE(c->CBHint2->Enabled());  // stays enabled on this panel
  ASSERT_TRUE(Click(c->CBHint2->Handle()));
  EXPECT_TRUE(m->ShowShortCutInHint());
  // Set from outside, the page follows.
  m->SetMenuAnimations(maSlide);
  EXPECT_EQ(c->ComboBoxMenuAnimations->ItemIndex(), static_cast<int>(maSlide));

  // The style switched while open: the other panel, the list recoloured.
  m->SetStyle(bmsFlat);
  EXPECT_FALSE(c->StandardOptionsPanel->Visible());
  EXPECT_TRUE(c->EnhancedOptionsPanel->Visible());
  EXPECT_EQ(c->CommandsList()->Color(), clWindow);
  EXPECT_TRUE(c->CBLargeIconsEx->Checked());
  EXPECT_FALSE(c->CBHint1Ex->Checked());
  EXPECT_FALSE(c->CBHint2Ex->Enabled());
  EXPECT_EQ(c->ComboBoxMenuAnimationsEx->ItemIndex(), static_cast<int>(maSlide));
  ProcessQueuedMessages();
  SaveScreenshot(c->Handle(), "Enhanced");

  ASSERT_TRUE(Click(c->CBHint1Ex->Handle()));
  EXPECT_TRUE(m->ShowHint());
  EXPECT_TRUE(c->CBHint2Ex->Enabled());
  ASSERT_TRUE(Click(c->CBHint1Ex->Handle()));
  EXPECT_FALSE(m->ShowHint());
  EXPECT_FALSE(c->CBHint2Ex->Enabled());
  ASSERT_TRUE(Click(c->CBMenusShowRecentItemsFirst->Handle()));
  EXPECT_TRUE(m->MenusShowRecentItemsFirst());
  EXPECT_TRUE(c->CBShowFullMenusAfterDelay->Enabled());

  // The animation combo: a person's choice goes to the manager.
  HWND combo = c->ComboBoxMenuAnimationsEx->Handle();
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  EXPECT_EQ(m->MenuAnimations(), maNone);

  // Reset my usage data asks first (No: nothing).
  auto& d = f.Dialogs.Dialogs;
  d.Answers = {IDNO};
  ASSERT_TRUE(Click(c->BResetUsageData->Handle()));
  ASSERT_EQ(d.Boxes.size(), 1u);
  EXPECT_EQ(d.Boxes[0].flags, static_cast<UINT>(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));

  m->SetStyle(bmsStandard);
  EXPECT_EQ(c->CommandsList()->Color(), clBtnFace);
}

// ---------------------------------------------------------------- lifetime

TEST(BarsCustomizeWindow, GoesWithTheFormItWasOpenedFor) {
  TRecordingStore store;
  TdxBarLayoutStore* previous = dxBarSetLayoutStore(&store);
  TScopedDialogs dialogs;
  auto* form = new TBarsFixtureForm;
  form->SetBounds(10, 10, 700, 300);
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  form->Bar1->Customizing(true);
  TdxBarCustomizingForm* c = dxBarCustomizingForm();
  ASSERT_TRUE(c);
  HWND wnd = c->Handle();
  form->Free();
  EXPECT_EQ(dxBarCustomizingForm(), nullptr);
  EXPECT_FALSE(IsWindow(wnd));
  ProcessQueuedMessages();
  // Another form's manager can open its own window afterwards.
  auto* other = new TBarsFixtureForm;
  other->Show();
  other->Bar1->Customizing(true);
  EXPECT_TRUE(dxBarCustomizingForm());
  other->Free();
  EXPECT_EQ(dxBarCustomizingForm(), nullptr);
  dxBarSetLayoutStore(previous);
}
