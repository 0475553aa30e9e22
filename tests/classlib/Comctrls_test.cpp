#include <gtest/gtest.h>

#include <memory>

#include "classlib/Comctrls.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// An edit to be an up-down control's associate.
class TTestEdit : public TWinControl {
 public:
  explicit TTestEdit(TComponent* owner) : TWinControl(owner) {
    color_ = clWindow;
    brush_->SetColor(color_);
    tabStop_ = true;
  }

 protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    params.WindowClass = &ControlSuperclass("TTestEdit", "EDIT");
    params.Style |= ES_AUTOHSCROLL | ES_READONLY;
    params.ExStyle |= WS_EX_CLIENTEDGE;
  }
};

TForm* MakeForm(const String& caption, int clientW, int clientH) {
  auto* f = new TForm(Application);
  f->SetCaption(caption);
  f->SetBounds(80, 80, 300, 200);
  f->SetClientWidth(clientW);
  f->SetClientHeight(clientH);
  return f;
}

void ShowAndWait(TForm* f) {
  f->EndLoading();
  f->Show();
  ASSERT_TRUE(WaitVisible(f->Handle()));
  PumpFor(50);
}

using TFormPtr = TOwned<TForm>;

std::vector<int> Parts(HWND bar) {
  int n = static_cast<int>(SendMessageA(bar, SB_GETPARTS, 0, 0));
  std::vector<int> edges(static_cast<size_t>(std::max(n, 0)));
  SendMessageA(bar, SB_GETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  return edges;
}

String PartText(HWND bar, int i) {
  int n = LOWORD(SendMessageA(bar, SB_GETTEXTLENGTHA, static_cast<WPARAM>(i), 0));
  String t(static_cast<size_t>(n) + 1, '\0');
  SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(t.data()));
  t.resize(static_cast<size_t>(n));
  return t;
}

RECT TabRect(HWND tabs, int i) {
  RECT r{};
  SendMessageA(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
  return r;
}

POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

}  // namespace

// ---------------------------------------------------------------- status bar

namespace {
// The main window's bar: panel 0 fixed, panels 1 and 2 share the rest.
class TStatusForm : public TForm {
 public:
  explicit TStatusForm(TComponent* owner) : TForm(owner) {
    SetCaption("Status bar");
    SetBounds(60, 60, 400, 200);
    bar = new TStatusBar(this);
    bar->SetParent(this);
    TStatusPanels* p = bar->Panels();
    p->Add()->SetWidth(100);
    p->Items(0)->SetText(" Quellmark \xAE");
    p->Add()->SetWidth(250);
    p->Add()->SetWidth(250);
    OnResize = {this, &TStatusForm::FormResize};
  }
  void FormResize(TObject*) {
    int w = (bar->Width() - 100) / 2;
    bar->Panels()->Items(1)->SetWidth(w);
    bar->Panels()->Items(2)->SetWidth(w);
  }
  TStatusBar* bar;
};
}  // namespace

TEST(StatusBar, PanelsGiveThePartsAndFollowTheForm) {
  TOwned<TStatusForm> f(new TStatusForm(Application));
  ShowAndWait(f.get());
  f->SetClientWidth(613);
  HWND bar = f->bar->Handle();
  EXPECT_EQ(WindowClass(bar), "TStatusBar");
  // Aligned to the bottom across the whole client area.
  TRect c = f->ClientRect();
  EXPECT_EQ(f->bar->BoundsRect(), TRect(0, c.bottom - 19, 613, c.bottom));
  EXPECT_EQ(Parts(bar), (std::vector<int>{100, 356, -1}));  // (613 - 100) / 2 = 256
  EXPECT_EQ(PartText(bar, 0), " Quellmark \xAE");

  f->bar->Panels()->Items(1)->SetText("Connected");
  f->bar->Panels()->Items(2)->SetText("12 files");
  EXPECT_EQ(f->bar->Handle(), bar) << "a text change made the window again";
  EXPECT_EQ(PartText(bar, 1), "Connected");
  EXPECT_EQ(PartText(bar, 2), "12 files");
  PumpFor(100);
  SaveScreenshot(f->Handle());

  f->SetClientWidth(801);
  PumpFor(50);
  EXPECT_EQ(f->bar->Width(), 801);
  EXPECT_EQ(Parts(bar), (std::vector<int>{100, 450, -1}));

  // A new window shows the same panels.
  f->bar->SetSizeGrip(false);
  HWND again = f->bar->Handle();
  EXPECT_NE(again, bar);
  EXPECT_FALSE(GetWindowLongA(again, GWL_STYLE) & SBARS_SIZEGRIP);
  EXPECT_EQ(Parts(again), (std::vector<int>{100, 450, -1}));
  EXPECT_EQ(PartText(again, 1), "Connected");
  EXPECT_EQ(PartText(again, 2), "12 files");
}

TEST(StatusBar, SimplePanelAndOwnerDrawnPanel) {
  TOwned<TStatusForm> f(new TStatusForm(Application));
  f->OnResize = nullptr;
  TStatusPanel* drawn = f->bar->Panels()->Items(1);
  drawn->SetStyle(psOwnerDraw);
  std::vector<int> painted;
  f->bar->OnDrawPanel = [&](TStatusBar* sb, TStatusPanel* panel, const TRect& r) {
    painted.push_back(panel->Index());
    sb->Canvas()->Brush()->SetColor(clRed);
    sb->Canvas()->FillRect(r);
  };
  ShowAndWait(f.get());
  HWND bar = f->bar->Handle();
  ASSERT_TRUE(WaitFor([&] { return !painted.empty(); }));
  EXPECT_EQ(painted[0], 1);
  RECT part{};
  SendMessageA(bar, SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part));
  TDibSurface s = CaptureClient(bar);
  EXPECT_GT(CountColor(s, part, RGB(255, 0, 0)), (part.right - part.left) * (part.bottom - part.top) / 2);
  SaveScreenshot(f->Handle(), "owner_drawn");

  f->bar->SetSimpleText("Connecting to ftp.example.org...");
  EXPECT_FALSE(SendMessageA(bar, SB_ISSIMPLE, 0, 0));
  f->bar->SetSimplePanel(true);
  EXPECT_TRUE(SendMessageA(bar, SB_ISSIMPLE, 0, 0));
  EXPECT_EQ(PartText(bar, 0), "Connecting to ftp.example.org...");  // the one part while simple
  PumpFor(100);
  SaveScreenshot(f->Handle(), "simple");
  f->bar->SetSimplePanel(false);
  EXPECT_EQ(PartText(bar, 0), " Quellmark \xAE");
}

// ---------------------------------------------------------------- tab control

namespace {
class TTabForm : public TForm {
 public:
  explicit TTabForm(TComponent* owner) : TForm(owner) {
    SetCaption("Tabs");
    SetBounds(60, 60, 500, 300);
    tabs = new TTabControl(this);
    tabs->SetParent(this);
    tabs->SetHeight(40);
    tabs->SetAlign(alBottom);
    tabs->SetTabPosition(tpBottom);
    tabs->SetHotTrack(true);
    tabs->SetTabHeight(19);
    tabs->OnChanging = {this, &TTabForm::TabConChanging};
    tabs->OnChange = {this, &TTabForm::TabConChange};
  }
  void TabConChanging(TObject*, bool& allow) {
    changing.push_back(tabs->TabIndex());
    allow = allowChange;
  }
  void TabConChange(TObject*) { changes.push_back(tabs->TabIndex()); }
  TTabControl* tabs;
  bool allowChange = true;
  std::vector<int> changing, changes;  // the tab index each event saw
};
}  // namespace

TEST(TabControl, BottomTabsWithHeightObjectsAndIndexSetInCode) {
  TOwned<TTabForm> f(new TTabForm(Application));
  TObject one, two, three;
  // Tabs given before the window exists.
  f->tabs->Tabs()->AddObject("ftp.one.org", &one);
  f->tabs->Tabs()->AddObject("ftp.two.org", &two);
  EXPECT_EQ(f->tabs->TabIndex(), 0);  // the first tab becomes current
  f->tabs->SetTabIndex(1);
  ShowAndWait(f.get());
  HWND h = f->tabs->Handle();
  EXPECT_EQ(WindowClass(h), "TTabControl");
  DWORD style = static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE));
  EXPECT_TRUE(style & TCS_BOTTOM);
  EXPECT_TRUE(style & TCS_HOTTRACK);
  EXPECT_EQ(SendMessageA(h, TCM_GETCURSEL, 0, 0), 1);
  f->tabs->Tabs()->AddObject("ftp.three.org", &three);
  ASSERT_EQ(SendMessageA(h, TCM_GETITEMCOUNT, 0, 0), 3);
  for (int i = 0; i < 3; ++i) {
    RECT r = TabRect(h, i);
    EXPECT_EQ(r.bottom - r.top, 19) << "tab " << i;
    EXPECT_GE(r.top, f->tabs->DisplayRect().bottom) << "tab " << i << " is not below the display area";
  }
  EXPECT_EQ(f->tabs->Tabs()->Objects(2), &three);
  EXPECT_EQ(f->tabs->Tabs()->IndexOfObject(&two), 1);
  EXPECT_EQ(f->tabs->IndexOfTabAt(Centre(TabRect(h, 2)).x, Centre(TabRect(h, 2)).y), 2);

  // Set in code: the caller runs its own change handling.
  f->tabs->SetTabIndex(2);
  EXPECT_EQ(SendMessageA(h, TCM_GETCURSEL, 0, 0), 2);
  f->tabs->SetTabIndex(7);  // no such tab: ignored
  EXPECT_EQ(f->tabs->TabIndex(), 2);
  EXPECT_TRUE(f->changing.empty());
  EXPECT_TRUE(f->changes.empty());
  SaveScreenshot(f->Handle());

  // A new window has the same tabs, objects and current tab.
  f->tabs->SetMultiLine(true);
  HWND again = f->tabs->Handle();
  EXPECT_NE(again, h);
  EXPECT_EQ(SendMessageA(again, TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageA(again, TCM_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(TabRect(again, 0).bottom - TabRect(again, 0).top, 19);
  EXPECT_EQ(f->tabs->Tabs()->Objects(0), &one);
}

TEST(TabControl, OnChangingDecidesAClickOnAnotherTab) {
  TOwned<TTabForm> f(new TTabForm(Application));
  for (const char* t : {"ftp.one.org", "ftp.two.org", "ftp.three.org"}) f->tabs->Tabs()->Add(t);
  ShowAndWait(f.get());
  HWND h = f->tabs->Handle();

  f->allowChange = false;
  ASSERT_TRUE(Click(h, Centre(TabRect(h, 2))));
  EXPECT_EQ(f->changing, std::vector<int>{0});
  EXPECT_TRUE(f->changes.empty());
  EXPECT_EQ(f->tabs->TabIndex(), 0);
  EXPECT_EQ(SendMessageA(h, TCM_GETCURSEL, 0, 0), 0);

  f->allowChange = true;
  ASSERT_TRUE(Click(h, Centre(TabRect(h, 1))));
  EXPECT_EQ(f->changing, (std::vector<int>{0, 0}));
  EXPECT_EQ(f->changes, std::vector<int>{1});
  EXPECT_EQ(f->tabs->TabIndex(), 1);
  SaveScreenshot(f->Handle());
}

TEST(TabControl, EditingTheTabsKeepsTheCurrentOne) {
  TOwned<TTabForm> f(new TTabForm(Application));
  TStrings* t = f->tabs->Tabs();
  t->SetCommaText("a,b,c,d");
  ShowAndWait(f.get());
  HWND h = f->tabs->Handle();
  struct {
    const char* what;
    std::function<void()> edit;
    int index;  // expected afterwards
  } steps[] = {
      {"select c", [&] { f->tabs->SetTabIndex(2); }, 2},
      {"insert before it", [&] { t->Insert(0, "z"); }, 3},          // z a b c d
      {"delete before it", [&] { t->Delete(1); }, 2},                // z b c d
      {"insert after it", [&] { t->Add("e"); }, 2},                  // z b c d e
      {"rename it", [&] { t->Put(2, "c2"); }, 2},                    // z b c2 d e
      {"delete it", [&] { t->Delete(2); }, -1},                      // z b d e
      {"select the last", [&] { f->tabs->SetTabIndex(3); }, 3},
      {"select none", [&] { f->tabs->SetTabIndex(-1); }, -1},
      {"select the first", [&] { f->tabs->SetTabIndex(0); }, 0},
      {"clear", [&] { t->Clear(); }, -1},
      {"first tab", [&] { t->Add("only"); }, 0},
  };
  for (auto& s : steps) {
    s.edit();
    EXPECT_EQ(f->tabs->TabIndex(), s.index) << s.what;
    EXPECT_EQ(SendMessageA(h, TCM_GETCURSEL, 0, 0), s.index) << s.what;
    EXPECT_EQ(SendMessageA(h, TCM_GETITEMCOUNT, 0, 0), t->Count()) << s.what;
  }
  char text[32] = "";
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(h, TCM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(text, "only");
  EXPECT_THROW(t->Delete(5), EStringListError);
  EXPECT_TRUE(f->changes.empty());
}

// ---------------------------------------------------------------- page control

namespace {
class TPageForm : public TForm {
 public:
  explicit TPageForm(TComponent* owner) : TForm(owner) {
    SetCaption("Pages");
    SetBounds(60, 60, 420, 300);
    pages = new TPageControl(this);
    pages->SetParent(this);
    pages->SetAlign(alClient);
    for (const char* c : {" Toolbars ", " Commands ", " Options ", " All commands "}) {
      auto* s = new TTabSheet(this);
      s->SetCaption(c);
      s->SetPageControl(pages);
      auto* bar = new TProgressBar(this);  // something to see on each page
      bar->SetParent(s);
      bar->SetBounds(10, 10 + 20 * s->PageIndex(), 200, 16);
      bar->SetPosition(25 * (s->PageIndex() + 1));
      sheets.push_back(s);
    }
    pages->OnChanging = [this](TObject*, bool& allow) {
      changing.push_back(pages->ActivePageIndex());
      allow = allowChange;
    };
    pages->OnChange = [this](TObject*) { changes.push_back(pages->ActivePageIndex()); };
  }
  TPageControl* pages;
  std::vector<TTabSheet*> sheets;
  bool allowChange = true;
  std::vector<int> changing, changes;
};

std::vector<bool> Showing(const std::vector<TTabSheet*>& sheets) {
  std::vector<bool> v;
  for (TTabSheet* s : sheets) v.push_back(s->HandleAllocated() && IsWindowVisible(s->Handle()));
  return v;
}
}  // namespace

TEST(PageControl, OnlyTheActivePageShowsAndFillsTheDisplayArea) {
  TOwned<TPageForm> f(new TPageForm(Application));
  EXPECT_EQ(f->pages->ActivePage(), f->sheets[0]);  // the first page came first
  f->pages->SetActivePage(f->sheets[1]);
  ShowAndWait(f.get());
  HWND h = f->pages->Handle();
  EXPECT_EQ(f->pages->PageCount(), 4);
  EXPECT_EQ(SendMessageA(h, TCM_GETITEMCOUNT, 0, 0), 4);
  EXPECT_EQ(SendMessageA(h, TCM_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Showing(f->sheets), (std::vector<bool>{false, true, false, false}));
  EXPECT_EQ(f->sheets[1]->BoundsRect(), f->pages->DisplayRect());
  SaveScreenshot(f->Handle());

  // Code switches pages without the change events; the new page is laid
  // out in the display area of a resized control.
  f->SetBounds(60, 60, 520, 360);
  f->pages->SetActivePageIndex(2);
  EXPECT_EQ(Showing(f->sheets), (std::vector<bool>{false, false, true, false}));
  EXPECT_EQ(f->sheets[2]->BoundsRect(), f->pages->DisplayRect());
  EXPECT_EQ(SendMessageA(h, TCM_GETCURSEL, 0, 0), 2);
  EXPECT_TRUE(f->changing.empty());
  EXPECT_TRUE(f->changes.empty());

  // A click: refused, then allowed.
  f->allowChange = false;
  ASSERT_TRUE(Click(h, Centre(TabRect(h, 0))));
  EXPECT_EQ(f->pages->ActivePageIndex(), 2);
  f->allowChange = true;
  // Another point of the tab: two clicks in one place may pair into a
  // double click when the machine is slow to deliver them.
  POINT second = Centre(TabRect(h, 0));
  second.x += GetSystemMetrics(SM_CXDOUBLECLK) + 1;
  ASSERT_TRUE(Click(h, second));
  EXPECT_EQ(f->changing, (std::vector<int>{2, 2}));
  EXPECT_EQ(f->changes, std::vector<int>{0});
  EXPECT_EQ(Showing(f->sheets), (std::vector<bool>{true, false, false, false}));

  // A new window keeps the tabs and the active page.
  f->pages->SetTabPosition(tpBottom);
  HWND again = f->pages->Handle();
  EXPECT_NE(again, h);
  EXPECT_EQ(SendMessageA(again, TCM_GETITEMCOUNT, 0, 0), 4);
  EXPECT_EQ(SendMessageA(again, TCM_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(Showing(f->sheets), (std::vector<bool>{true, false, false, false}));
  EXPECT_EQ(f->sheets[0]->BoundsRect(), f->pages->DisplayRect());
  EXPECT_GE(TabRect(again, 0).top, f->pages->DisplayRect().bottom);
  PumpFor(100);
  SaveScreenshot(f->Handle(), "bottom");
}

TEST(PageControl, HiddenTabsKeepTheirPages) {
  TOwned<TPageForm> f(new TPageForm(Application));
  f->sheets[1]->SetTabVisible(false);
  ShowAndWait(f.get());
  HWND h = f->pages->Handle();
  EXPECT_EQ(f->pages->PageCount(), 4);
  ASSERT_EQ(SendMessageA(h, TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(f->sheets[1]->TabIndex(), -1);
  EXPECT_EQ(f->sheets[2]->TabIndex(), 1);
  SaveScreenshot(f->Handle());

  // The second tab now is the third page.
  ASSERT_TRUE(Click(h, Centre(TabRect(h, 1))));
  EXPECT_EQ(f->pages->ActivePage(), f->sheets[2]);
  EXPECT_EQ(f->changes, std::vector<int>{2});

  // A page whose tab is hidden can still be shown in code.
  f->pages->SetActivePage(f->sheets[1]);
  EXPECT_EQ(Showing(f->sheets), (std::vector<bool>{false, true, false, false}));
  EXPECT_EQ(SendMessageA(h, TCM_GETCURSEL, 0, 0), -1);
  f->sheets[1]->SetTabVisible(true);
  EXPECT_EQ(SendMessageA(h, TCM_GETITEMCOUNT, 0, 0), 4);
  EXPECT_EQ(SendMessageA(h, TCM_GETCURSEL, 0, 0), 1);

  // Moving and captions reach the tabs; a freed page leaves them, and the
  // next page takes the place of a freed active one.
  f->sheets[3]->SetPageIndex(0);
  f->sheets[3]->SetCaption("All");
  char text[32] = "";
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(h, TCM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(text, "All");
  EXPECT_EQ(f->pages->ActivePageIndex(), 2);  // All, Toolbars, Commands (active), Options
  f->sheets[1]->Free();
  EXPECT_EQ(f->pages->PageCount(), 3);
  EXPECT_EQ(SendMessageA(h, TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(f->pages->ActivePage(), f->sheets[2]);
  EXPECT_TRUE(IsWindowVisible(f->sheets[2]->Handle()));
  EXPECT_THROW(f->pages->Pages(3), EListError);
}

// ---------------------------------------------------------------- progress bar

TEST(ProgressBar, RangePositionStepsAndSmooth) {
  TFormPtr f(MakeForm("Progress", 260, 60));
  auto* bar = new TProgressBar(f.get());
  bar->SetParent(f.get());
  bar->SetBounds(10, 10, 240, 16);
  bar->SetPosition(40);
  bar->SetSmooth(true);
  ShowAndWait(f.get());
  HWND h = bar->Handle();
  EXPECT_EQ(WindowClass(h), "TProgressBar");
  EXPECT_TRUE(GetWindowLongA(h, GWL_STYLE) & PBS_SMOOTH);
  EXPECT_EQ(SendMessageA(h, PBM_GETPOS, 0, 0), 40);
  EXPECT_EQ(SendMessageA(h, PBM_GETRANGE, FALSE, 0), 100);
  SaveScreenshot(f->Handle());

  struct {
    const char* what;
    std::function<void()> change;
    int position;
  } steps[] = {
      {"step 10", [&] { bar->StepIt(); }, 50},
      {"step 30", [&] { bar->SetStep(30); bar->StepIt(); }, 80},
      {"past the end starts again", [&] { bar->StepIt(); }, 10},
      {"by -25, kept at min", [&] { bar->StepBy(-25); }, 0},
      {"above max", [&] { bar->SetPosition(250); }, 100},
      {"max lowered below it", [&] { bar->SetMax(60); }, 60},
      {"min raised", [&] { bar->SetMin(20); bar->SetPosition(5); }, 20},
  };
  for (auto& s : steps) {
    s.change();
    EXPECT_EQ(bar->Position(), s.position) << s.what;
    EXPECT_EQ(SendMessageA(h, PBM_GETPOS, 0, 0), s.position) << s.what;
  }
  PBRANGE range{};
  SendMessageA(h, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 20);
  EXPECT_EQ(range.iHigh, 60);

  bar->SetOrientation(pbVertical);
  HWND again = bar->Handle();
  EXPECT_TRUE(GetWindowLongA(again, GWL_STYLE) & PBS_VERTICAL);
  EXPECT_TRUE(GetWindowLongA(again, GWL_STYLE) & PBS_SMOOTH);
  EXPECT_EQ(SendMessageA(again, PBM_GETPOS, 0, 0), 20);
}

// ---------------------------------------------------------------- up-down

namespace {
struct TUpDownForm {
  TUpDownForm() : form(MakeForm("Up-down", 200, 60)) {
    edit = new TTestEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(10, 10, 60, 21);
    updown = new TUpDown(form.get());
    updown->SetParent(form.get());
    updown->SetMin(1);
    updown->SetMax(300);
    updown->SetPosition(30);
    updown->SetThousands(false);
    updown->SetAssociate(edit);
    updown->OnClick = [this](TObject*, TUDBtnType b) { clicks.push_back(b); };
    updown->OnChanging = [this](TObject*, bool& allow) {
      ++changing;
      allow = allowChange;
    };
  }
  TFormPtr form;
  TTestEdit* edit;
  TUpDown* updown;
  std::vector<TUDBtnType> clicks;
  int changing = 0;
  bool allowChange = true;
};

// The up or down arrow of a vertical up-down control.
POINT Arrow(TUpDown* u, bool up) {
  RECT r;
  GetClientRect(u->Handle(), &r);
  return {r.right / 2, up ? r.bottom / 4 : r.bottom * 3 / 4};
}
}  // namespace

TEST(UpDown, AssociateShowsThePositionAndArrowsStepIt) {
  TUpDownForm t;
  ShowAndWait(t.form.get());
  HWND h = t.updown->Handle();
  EXPECT_EQ(WindowClass(h), "TUpDown");
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageA(h, UDM_GETBUDDY, 0, 0)), t.edit->Handle());
  EXPECT_EQ(t.edit->Text(), "30");
  // Beside its associate, which gave up the room.
  EXPECT_EQ(t.updown->Top(), t.edit->Top());
  EXPECT_NEAR(t.updown->Left(), t.edit->Left() + t.edit->Width(), 2);
  int editWidth = t.edit->Width();
  EXPECT_LT(editWidth, 60);
  SaveScreenshot(t.form->Handle());

  ASSERT_TRUE(Click(h, Arrow(t.updown, true)));
  ASSERT_TRUE(WaitFor([&] { return t.clicks.size() == 1; }));
  EXPECT_EQ(t.edit->Text(), "31");
  EXPECT_EQ(t.updown->Position(), 31);
  EXPECT_EQ(t.clicks, std::vector<TUDBtnType>{btNext});
  ASSERT_TRUE(Click(h, Arrow(t.updown, false)));
  ASSERT_TRUE(WaitFor([&] { return t.clicks.size() == 2; }));
  EXPECT_EQ(t.clicks[1], btPrev);
  EXPECT_EQ(t.edit->Text(), "30");

  // Refused by OnChanging: no change and no click.
  t.allowChange = false;
  ASSERT_TRUE(Click(h, Arrow(t.updown, true)));
  PumpFor(100);
  EXPECT_EQ(t.changing, 3);
  EXPECT_EQ(t.updown->Position(), 30);
  EXPECT_EQ(t.clicks.size(), 2u);
  t.allowChange = true;

  // The arrow keys on the associate, an increment, and the end of the range.
  t.updown->SetIncrement(5);
  ASSERT_TRUE(FocusWindow(t.edit->Handle()));
  ASSERT_TRUE(KeyChord({VK_UP}));
  EXPECT_TRUE(WaitFor([&] { return t.updown->Position() == 35; })) << t.edit->Text();
  t.updown->SetPosition(298);
  EXPECT_EQ(t.edit->Text(), "298");
  ASSERT_TRUE(KeyChord({VK_UP}));
  EXPECT_TRUE(WaitFor([&] { return t.updown->Position() == 300; })) << t.edit->Text();
  t.updown->SetPosition(1000);
  EXPECT_EQ(t.updown->Position(), 300);

  // A new window: the associate keeps its width, the position its value;
  // with Wrap the top of the range leads to the bottom.
  t.updown->SetWrap(true);
  HWND again = t.updown->Handle();
  EXPECT_NE(again, h);
  EXPECT_EQ(t.edit->Width(), editWidth);
  EXPECT_NEAR(t.updown->Left(), t.edit->Left() + t.edit->Width(), 2);
  EXPECT_EQ(t.updown->Position(), 300);
  t.updown->SetIncrement(1);
  ASSERT_TRUE(Click(again, Arrow(t.updown, true)));
  EXPECT_TRUE(WaitFor([&] { return t.updown->Position() == 1; })) << t.edit->Text();
}

// The associate's text follows the position before the up-down's window
// is made (its page not shown yet), as the window then writes it.
TEST(UpDown, AssociateFollowsThePositionWithoutAWindow) {
  TFormPtr f(MakeForm("Up-down pages", 260, 120));
  auto* pages = new TPageControl(f.get());
  pages->SetParent(f.get());
  pages->SetAlign(alClient);
  TTabSheet* sheets[2];
  for (TTabSheet*& sheet : sheets) {
    sheet = new TTabSheet(f.get());
    sheet->SetCaption("Page");
    sheet->SetPageControl(pages);
  }
  auto* edit = new TTestEdit(f.get());
  edit->SetParent(sheets[1]);
  edit->SetBounds(10, 10, 100, 21);
  auto* updown = new TUpDown(f.get());
  updown->SetParent(sheets[1]);
  updown->SetAssociate(edit);
  updown->SetMin(-10000);
  updown->SetMax(2000000);
  updown->SetPosition(1500);  // while loading
  ShowAndWait(f.get());
  ASSERT_FALSE(updown->HandleAllocated());
  EXPECT_EQ(edit->Text(), "1,500");
  updown->SetPosition(5000);
  updown->SetMax(3000);  // the position is brought into the range
  EXPECT_EQ(edit->Text(), "3,000");
  updown->SetMax(2000000);

  struct Case {
    int position;
    bool thousands;
    const char* text;
  };
  const Case cases[] = {
      {42, true, "42"}, {1234567, true, "1,234,567"}, {-2500, true, "-2,500"}, {1500, false, "1500"},
  };
  for (const Case& c : cases) {
    updown->SetThousands(c.thousands);
    updown->SetPosition(c.position);
    EXPECT_EQ(edit->Text(), c.text) << c.position;
  }
  ASSERT_FALSE(updown->HandleAllocated());
  // Once the page shows, the window writes the same texts.
  pages->SetActivePageIndex(1);
  PumpFor(50);
  ASSERT_TRUE(updown->HandleAllocated());
  EXPECT_EQ(edit->Text(), "1500");
  SaveScreenshot(f->Handle());
  for (const Case& c : cases) {
    updown->SetThousands(c.thousands);
    updown->SetPosition(c.position);
    EXPECT_EQ(WindowText(edit->Handle()), c.text) << c.position;
  }
}

TEST(UpDown, ThousandsAndAFreedAssociate) {
  TUpDownForm t;
  t.updown->SetMax(5000);
  t.updown->SetThousands(true);
  t.updown->SetPosition(1500);
  ShowAndWait(t.form.get());
  EXPECT_EQ(t.edit->Text(), "1,500");
  EXPECT_EQ(t.updown->Position(), 1500);
  int narrowed = t.edit->Width();

  // The arrows move to the associate's left, taking the same room once.
  t.updown->SetAlignButton(udLeft);
  EXPECT_EQ(t.updown->Left(), 10);
  EXPECT_EQ(t.edit->Width(), narrowed);
  EXPECT_NEAR(t.edit->Left(), t.updown->Left() + t.updown->Width(), 2);
  EXPECT_EQ(t.edit->Text(), "1,500");
  PumpFor(100);
  SaveScreenshot(t.form->Handle(), "left");

  t.edit->Free();
  EXPECT_EQ(t.updown->Associate(), nullptr);
  EXPECT_EQ(SendMessageA(t.updown->Handle(), UDM_GETBUDDY, 0, 0), 0);
  t.updown->SetPosition(2000);
  EXPECT_EQ(t.updown->Position(), 2000);
}
