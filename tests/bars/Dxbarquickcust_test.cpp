// The quick customization popups through real input: the toolbars popup of
// a toolbar and a dock site, the customizing popup of a link, and the More
// Buttons window with "Add or Remove Buttons".
#include "Menufixture.h"
#include "bars/Dxbarquickcust.h"
#include "bars/Dxbarwinitems.h"
#include "bars/customize/Dxbarcustform.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

struct TQuickFrame : TShownMenuFrame {
  using TShownMenuFrame::TShownMenuFrame;
  ~TQuickFrame() {
    if (TCustomdxBarControl* active = ActiveBarControl()) active->HideAll();
    if (TdxBarQuickControl* q = dxBarQuickControl()) q->OwnerBar()->SetMarkState(msNone);
  }
  TdxBarControl* Standard() { return Form->Standard()->Control(); }
  // The window a person works in: the Customize window while it is open.
  HWND Front() const {
    TdxBarCustomizingForm* c = dxBarCustomizingForm();
    return c ? c->Handle() : Form->Handle();
  }
  POINT FormPoint(POINT screen) {
    ScreenToClient(Front(), &screen);
    return screen;
  }
  // A click at a screen point, through the front window (menus never come
  // to the foreground).
  ::testing::AssertionResult ClickAt(POINT screen, TMouseButton button = mbLeft) {
    if (auto r = Warp(screen); !r) return r;
    return Click(Front(), FormPoint(screen), button);
  }
  ::testing::AssertionResult ClickOn(TdxBarItemControl* control, TMouseButton button = mbLeft) {
    if (!control) return ::testing::AssertionFailure() << "no control";
    return ClickAt(TMenuFrame::Centre(control), button);
  }
  // The open popup of a kind (the active bar window).
  template <class T>
  T* Popup() {
    return dynamic_cast<T*>(ActiveBarControl());
  }
  template <class T>
  T* WaitPopup() {
    EXPECT_TRUE(WaitFor([&] { return Popup<T>() != nullptr; }, 2000));
    return Popup<T>();
  }
};

TdxBarItemControl* EntryControl(TCustomdxBarControl* popup, const String& caption) {
  TdxBarItemLinks* links = popup ? popup->ItemLinks() : nullptr;
  for (int i = 0; links && i < links->Count(); ++i) {
    TdxBarItemLink* l = links->Items(i);
    if (l->Caption() == caption) return l->Control();
  }
  return nullptr;
}

std::vector<String> Captions(TdxBarItemLinks* links) {
  std::vector<String> r;
  for (int i = 0; links && i < links->Count(); ++i) r.push_back(links->Items(i)->Caption());
  return r;
}

bool Down(TdxBarItemControl* c) {
  auto* b = c ? dynamic_cast<TdxBarButton*>(c->Item()) : nullptr;
  return b && b->Down();
}

TPoint Centre(const TRect& r) { return TPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

}  // namespace

// ---------------------------------------------------------------- toolbars popup

TEST(BarsQuickCust, ToolbarsPopupListsClosableBarsAndTogglesThem) {
  TQuickFrame f;
  // A right press on a toolbar: the main menu cannot be closed, so only
  // "Standard" is listed, checked, then the Customize command in a group.
  ASSERT_TRUE(f.ClickOn(f.Form->Control(f.Form->Standard(), "ButtonSave"), mbRight));
  auto* popup = f.WaitPopup<TdxBarToolbarsPopup>();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(Captions(popup->ItemLinks()), std::vector<String>({"Standard", "&Customize..."}));
  EXPECT_TRUE(Down(EntryControl(popup, "Standard")));
  EXPECT_TRUE(popup->ItemLinks()->Items(1)->BeginGroup());
  SaveScreenshot(f.Form->Handle(), "toolbar");
  SaveScreenshot(popup->Handle(), "popup");
  ASSERT_TRUE(f.ClickOn(EntryControl(popup, "Standard")));
  ASSERT_TRUE(WaitFor([&] { return !f.Form->Standard()->Visible(); }, 2000));
  EXPECT_EQ(ActiveBarControl(), nullptr);

  // A right press on the empty dock site: the hidden bar is unchecked and
  // comes back.
  TdxDockControl* dock = f.Form->Bar1->Bars()->GetDockControl(dsTop);
  RECT d;
  ::GetWindowRect(dock->Handle(), &d);
  ASSERT_TRUE(f.ClickAt(POINT{d.right - 10, (d.top + d.bottom) / 2}, mbRight));
  popup = f.WaitPopup<TdxBarToolbarsPopup>();
  ASSERT_NE(popup, nullptr);
  EXPECT_FALSE(Down(EntryControl(popup, "Standard")));
  ASSERT_TRUE(f.ClickOn(EntryControl(popup, "Standard")));
  ASSERT_TRUE(WaitFor([&] { return f.Form->Standard()->Visible(); }, 2000));
}

TEST(BarsQuickCust, ToolbarsPopupWithoutEntriesDoesNotShow) {
  TQuickFrame f;
  f.Form->Bar1->SetCanCustomize(false);
  f.Form->Standard()->SetAllowClose(false);
  ASSERT_TRUE(f.ClickOn(f.Form->Control(f.Form->Standard(), "ButtonSave"), mbRight));
  PumpFor(300);
  EXPECT_EQ(ActiveBarControl(), nullptr);
  HWND menu = FindWindowA("TdxBarSubMenuControl", nullptr);
  EXPECT_TRUE(!menu || !IsWindowVisible(menu));
}

// ---------------------------------------------------------------- customizing popup

namespace {

struct TCustomizingFrame : TQuickFrame {
  // Customizing with the Customize window open and active, the form
  // disabled.
  TCustomizingFrame() {
    Form->Bar1->Customizing(true);
    TdxBarCustomizingForm* c = dxBarCustomizingForm();
    EXPECT_NE(c, nullptr);
    if (c) EXPECT_TRUE(WaitForeground(c->Handle()));
    EXPECT_FALSE(IsWindowEnabled(Form->Handle()));
  }
  ~TCustomizingFrame() {
    if (TCustomdxBarControl* active = ActiveBarControl()) active->HideAll();
    Form->Bar1->Customizing(false);
  }
  TdxBarItemLink* Link(const String& item) {
    TdxBarItemLinks* links = Form->Standard()->ItemLinks();
    for (int i = 0; i < links->Count(); ++i)
      if (links->Items(i)->Item() && links->Items(i)->Item()->Name() == item) return links->Items(i);
    return nullptr;
  }
  TdxBarCustomizingPopup* Open(TdxBarItemControl* control) {
    EXPECT_TRUE(ClickOn(control, mbRight));
    EXPECT_TRUE(WaitFor([&] { return dxBarCustomizingPopup() != nullptr; }, 2000));
    return dxBarCustomizingPopup();
  }
  ::testing::AssertionResult Pick(int entry) {
    TdxBarCustomizingPopup* p = dxBarCustomizingPopup();
    if (!p || !p->Entry(entry)) return ::testing::AssertionFailure() << "no entry " << entry;
    auto r = ClickOn(p->Entry(entry)->Links(0)->Control());
    if (!r) return r;
    if (!WaitFor([&] { return dxBarCustomizingPopup() == nullptr; }, 2000))
      return ::testing::AssertionFailure() << "the popup stays";
    return ::testing::AssertionSuccess();
  }
};

}  // namespace

TEST(BarsQuickCust, CustomizingPopupShowsTheLinkAndActsOnIt) {
  TCustomizingFrame f;
  TdxBarItemLink* open = f.Link("ButtonOpen");
  TdxBarCustomizingPopup* popup = f.Open(open->Control());
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(dxBarCustomizingPopupItemLink(), open);
  EXPECT_EQ(Captions(popup->ItemLinks()),
            std::vector<String>({"&Reset", "&Delete", "&Name:", "Defa&ult style", "&Text Only (Always)",
                                 "Text &Only (in Menus)", "Image &and Text", "Begin a &Group"}));
  EXPECT_EQ(static_cast<TdxBarEdit*>(popup->Entry(2))->Text(), "&Open...");
  for (int n = 3; n <= 6; ++n) {
    EXPECT_TRUE(popup->Entry(n)->Enabled()) << n;
    EXPECT_EQ(static_cast<TdxBarButton*>(popup->Entry(n))->Down(), n == 3) << n;
  }
  EXPECT_TRUE(popup->Entry(7)->Enabled());
  EXPECT_FALSE(static_cast<TdxBarButton*>(popup->Entry(7))->Down());
  SaveScreenshot(popup->Handle());

  // Each entry, picked with the mouse, on the link.
  ASSERT_TRUE(f.Pick(4));
  EXPECT_EQ(open->PaintStyle(), psCaption);
  EXPECT_TRUE(open->UserDefine().Contains(udPaintStyle));
  f.Open(open->Control());
  EXPECT_TRUE(static_cast<TdxBarButton*>(dxBarCustomizingPopup()->Entry(4))->Down());
  ASSERT_TRUE(f.Pick(7));
  EXPECT_TRUE(open->BeginGroup());
  f.Open(open->Control());
  ASSERT_TRUE(f.Pick(0));
  EXPECT_TRUE(open->UserDefine().Empty());
  EXPECT_EQ(open->PaintStyle(), psStandard);
  EXPECT_TRUE(open->BeginGroup());  // not a user override

  int count = f.Form->Standard()->ItemLinks()->Count();
  f.Open(f.Link("ButtonSave")->Control());
  ASSERT_TRUE(f.Pick(1));
  EXPECT_EQ(f.Form->Standard()->ItemLinks()->Count(), count - 1);
  EXPECT_EQ(f.Link("ButtonSave"), nullptr);
  EXPECT_EQ(dxBarCustomizingPopupItemLink(), nullptr);
}

TEST(BarsQuickCust, CustomizingPopupRenamesAndRefusesABlankName) {
  TCustomizingFrame f;
  TdxBarItemLink* open = f.Link("ButtonOpen");
  const struct {
    const char* Typed;
    const char* Caption;
    size_t Boxes;
  } cases[] = {{"Fetch", "Fetch", 0}, {"", "Fetch", 1}};
  for (const auto& c : cases) {
    TdxBarCustomizingPopup* popup = f.Open(open->Control());
    ASSERT_NE(popup, nullptr);
    ASSERT_TRUE(f.ClickOn(popup->Entry(2)->Links(0)->Control()));
    HWND edit = GetFocus();
    ASSERT_NE(edit, nullptr);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    ASSERT_TRUE(KeyChord({VK_DELETE}));
    if (*c.Typed) ASSERT_TRUE(TypeText(c.Typed));
    ASSERT_TRUE(KeyChord({VK_RETURN}));
    ASSERT_TRUE(WaitFor([&] { return f.Dialogs.Dialogs.Boxes.size() == c.Boxes && open->Caption() == c.Caption; }, 2000))
        << c.Typed << " -> " << open->Caption();
    if (TCustomdxBarControl* active = ActiveBarControl()) active->HideAll();
    ASSERT_TRUE(WaitFor([&] { return dxBarCustomizingPopup() == nullptr; }, 2000));
  }
  EXPECT_EQ(f.Dialogs.Dialogs.Boxes[0].text, "A command name cannot be blank. Please enter a name.");
  EXPECT_EQ(f.Dialogs.Dialogs.Boxes[0].caption, Application->Title);
  EXPECT_EQ(f.Dialogs.Dialogs.Boxes[0].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
}

TEST(BarsQuickCust, CustomizingPopupOfASubItemAndOfAFirstLink) {
  TCustomizingFrame f;
  // A sub item's link: no paint styles, "Default style" down; the first
  // link of its bar cannot begin a group.
  TdxBarCustomizingPopup* popup = f.Open(f.Form->Control(f.Form->MainMenu(), "SubFile"));
  ASSERT_NE(popup, nullptr);
  for (int n = 3; n <= 6; ++n) {
    EXPECT_FALSE(popup->Entry(n)->Enabled()) << n;
    EXPECT_EQ(static_cast<TdxBarButton*>(popup->Entry(n))->Down(), n == 3) << n;
  }
  EXPECT_FALSE(popup->Entry(7)->Enabled());
  SaveScreenshot(popup->Handle());
  // A second link of the main menu can.
  popup->HideAll();
  popup = f.Open(f.Form->Control(f.Form->MainMenu(), "SubEdit"));
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(popup->Entry(7)->Enabled());
}

// ---------------------------------------------------------------- More Buttons

namespace {

// The frame narrow enough that the Standard toolbar hides its last buttons.
struct TMoreFrame : TQuickFrame {
  explicit TMoreFrame(TRect bounds = Bounds(20, 20, 200, 300)) : TQuickFrame(bounds) {
    Form->Bar1->SetStyle(bmsFlat);
    ProcessQueuedMessages();
  }
  TdxBarQuickControl* PressMark() {
    TdxBarControl* bar = Standard();
    EXPECT_TRUE(bar->MarkExists());
    EXPECT_TRUE(ClickAt(Centre(bar->MarkScreenRect())));
    EXPECT_TRUE(WaitFor([&] { return dxBarQuickControl() != nullptr; }, 2000));
    TdxBarQuickControl* q = dxBarQuickControl();
    if (q) EXPECT_TRUE(WaitVisible(q->Handle()));
    return q;
  }
  // Opens "Add or Remove Buttons": its menu.
  TdxBarSubMenuControl* OpenAddRemove(TdxBarQuickControl* q) {
    TdxBarSubItem* sub = q->AddRemoveItem();
    EXPECT_TRUE(ClickOn(sub->Links(0)->Control()));
    EXPECT_TRUE(WaitFor([&] { return sub->ItemLinks()->BarControl() != nullptr; }, 2000));
    return dynamic_cast<TdxBarSubMenuControl*>(sub->ItemLinks()->BarControl());
  }
};

}  // namespace

TEST(BarsQuickCust, MoreButtonsListsTheHiddenLinksAndAddOrRemove) {
  TMoreFrame f;
  TdxBarItemLinks* links = f.Form->Standard()->ItemLinks();
  std::vector<String> hidden;
  for (int i = 0; i < links->CanVisibleItemCount(); ++i) {
    TdxBarItemLink* l = links->CanVisibleItems(i);
    if (l->VisibleIndex() == -1 || (l->Control() && f.Standard()->GetItemRect(l->Control()).Empty()))
      hidden.push_back(l->Caption());
  }
  ASSERT_FALSE(hidden.empty());
  TdxBarQuickControl* q = f.PressMark();
  ASSERT_NE(q, nullptr);
  hidden.push_back("&Add or Remove Buttons");
  EXPECT_EQ(Captions(q->ItemLinks()), hidden);
  EXPECT_TRUE(q->ItemLinks()->Last()->BeginGroup());
  EXPECT_TRUE(q->AddRemoveItem()->Enabled());
  // Docked at the top: right-aligned with the mark, below it.
  TRect mark = f.Standard()->MarkScreenRect();
  TRect w = q->GetWindowRect();
  EXPECT_EQ(w.right, mark.right);
  EXPECT_EQ(w.top, mark.bottom);
  // A frame of the flat border colour around the white window.
  TDibSurface shot = CaptureWindow(q->Handle());
  LOGBRUSH lb{};
  GetObjectA(f.Form->Bar1->FlatToolbarsBorderBrush(), sizeof lb, &lb);
  COLORREF border = lb.lbColor;
  EXPECT_TRUE(SameColor(shot.Pixel(0, w.Height() / 2), border)) << ColorText(shot.Pixel(0, w.Height() / 2));
  EXPECT_TRUE(SameColor(shot.Pixel(w.Width() - 1, w.Height() / 2), border));
  EXPECT_TRUE(SameColor(shot.Pixel(2, w.Height() / 2), GetSysColor(COLOR_WINDOW)));
  SaveScreenshot(q->Handle());
  // A press on the mark again closes it.
  ASSERT_TRUE(f.ClickAt(Centre(mark)));
  ASSERT_TRUE(WaitFor([&] { return dxBarQuickControl() == nullptr; }, 2000));
  EXPECT_NE(f.Standard()->MarkState(), msPressed);
}

TEST(BarsQuickCust, UncheckingACommandHidesItsLinkAndKeepsTheMenuOpen) {
  TMoreFrame f;
  TdxBarQuickControl* q = f.PressMark();
  ASSERT_NE(q, nullptr);
  TdxBarSubMenuControl* menu = f.OpenAddRemove(q);
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(WaitVisible(menu->Handle()));
  // One entry per available link, then the reset entry and Customize.
  EXPECT_EQ(Captions(menu->ItemLinks()).back(), "&Customize...");
  TdxBarItemLink* open = f.Form->Standard()->ItemLinks()->Items(1);
  ASSERT_EQ(open->Item()->Name(), "ButtonOpen");
  TdxBarItemControl* entry = menu->ItemLinks()->Items(1)->Control();
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->GetCaption(), "&Open...");
  SaveScreenshot(menu->Handle(), "menu");
  ASSERT_TRUE(f.ClickOn(entry));
  ASSERT_TRUE(WaitFor([&] { return !open->Visible(); }, 2000));
  PumpFor(200);
  EXPECT_TRUE(dxBarQuickControl() != nullptr && IsWindowVisible(menu->Handle()));
  EXPECT_EQ(f.Form->Executed, std::vector<String>());
  // Checking it again shows it.
  ASSERT_TRUE(f.ClickOn(menu->ItemLinks()->Items(1)->Control()));
  ASSERT_TRUE(WaitFor([&] { return open->Visible(); }, 2000));
}

TEST(BarsQuickCust, ResetEntryOnlyWhenManagerAndBarCanReset) {
  const struct {
    bool AllowReset;
    bool Quick;
  } cases[] = {{true, true}, {false, true}, {true, false}};
  for (const auto& c : cases) {
    TMoreFrame f;
    f.Form->Standard()->SetAllowReset(c.AllowReset);
    f.Form->Standard()->SetAllowQuickCustomizing(c.Quick);
    TdxBarQuickControl* q = f.PressMark();
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->AddRemoveItem()->Enabled(), c.Quick);
    if (!c.Quick) continue;
    TdxBarSubMenuControl* menu = f.OpenAddRemove(q);
    ASSERT_NE(menu, nullptr);
    std::vector<String> captions = Captions(menu->ItemLinks());
    ASSERT_TRUE(f.Form->Bar1->CanReset());
    bool canReset = c.AllowReset;
    size_t n = captions.size();
    ASSERT_GE(n, 2u);
    EXPECT_EQ(captions[n - 2] == "&Reset Toolbar", canReset) << c.AllowReset;
    TdxBarItemLinks* links = menu->ItemLinks();
    // The Customize entry begins its own group only without a reset entry.
    EXPECT_EQ(links->Last()->BeginGroup(), !canReset);
    if (canReset) EXPECT_TRUE(links->Items(links->Count() - 2)->BeginGroup());
  }
}

TEST(BarsQuickCust, SelectingOnAnotherToolbarClosesMoreButtons) {
  TMoreFrame f;
  TdxBarQuickControl* q = f.PressMark();
  ASSERT_NE(q, nullptr);
  ASSERT_TRUE(Warp(TMenuFrame::Centre(f.Form->Control(f.Form->MainMenu(), "SubFile"))));
  ASSERT_TRUE(WaitFor([&] { return dxBarQuickControlTimerRunning() || !dxBarQuickControl(); }, 2000));
  DWORD start = GetTickCount();
  ASSERT_TRUE(WaitFor([&] { return dxBarQuickControl() == nullptr; }, 2000));
  EXPECT_GE(GetTickCount() - start + 20, 150u);
  EXPECT_NE(f.Standard()->MarkState(), msPressed);
}

TEST(BarsQuickCust, MoreButtonsPlacementBesideTheMarkInTheWorkArea) {
  TRect work = GetWorkArea(TPoint(10, 10));
  enum TPlace { Below, Above, Beside, BelowLeft };
  const struct {
    const char* Name;
    TRect Form;
    TdxBarDockingStyle Style;
    TPlace Place;
  } cases[] = {
      // Near the bottom of the desktop the window goes above the mark.
      {"bottom", Bounds(20, work.bottom - 140, 200, 120), dsTop, Above},
      {"left", Bounds(20, 20, 300, 200), dsLeft, Beside},
      {"floating", Bounds(20, 20, 300, 200), dsNone, BelowLeft},
  };
  for (const auto& c : cases) {
    TMoreFrame f(c.Form);
    if (c.Style != dsTop) {
      f.Form->Standard()->SetDockingStyle(c.Style);
      if (c.Style == dsNone) f.Form->Standard()->Control()->SetPos(400, 300);
      ProcessQueuedMessages();
    }
    TdxBarQuickControl* q = f.PressMark();
    ASSERT_NE(q, nullptr) << c.Name;
    TRect mark = f.Standard()->MarkScreenRect();
    TRect w = q->GetWindowRect();
    switch (c.Place) {
      case Above:
        EXPECT_EQ(w.bottom, mark.top) << c.Name;
        EXPECT_EQ(w.right, mark.right) << c.Name;
        break;
      case Beside:
        EXPECT_EQ(w.left, mark.right) << c.Name;
        EXPECT_EQ(w.top, mark.top) << c.Name;
        break;
      case BelowLeft:
        EXPECT_EQ(w.left, mark.left) << c.Name;
        EXPECT_EQ(w.top, mark.bottom) << c.Name;
        break;
      default:
        break;
    }
    EXPECT_TRUE(w.left >= work.left && w.right <= work.right && w.top >= work.top && w.bottom <= work.bottom)
        << c.Name;
    SaveScreenshot(f.Form->Handle(), c.Name);
    SaveScreenshot(q->Handle(), String(c.Name) + "_window");
  }
}

TEST(BarsQuickCust, CustomizeEntryClosesMoreButtonsAndStartsCustomizing) {
  TMoreFrame f;
  TdxBarQuickControl* q = f.PressMark();
  ASSERT_NE(q, nullptr);
  TdxBarSubMenuControl* menu = f.OpenAddRemove(q);
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(f.ClickOn(EntryControl(menu, "&Customize...")));
  ASSERT_TRUE(WaitFor([&] { return f.Form->Bar1->IsCustomizing(); }, 2000));
  EXPECT_EQ(dxBarQuickControl(), nullptr);
  EXPECT_EQ(f.Standard()->MarkState(), msNone);
  f.Form->Bar1->Customizing(false);

  // Customizing started from elsewhere: the next click, on the disabled
  // form's toolbar, closes the window, which stays above the Customize
  // window until then.
  ASSERT_NE(f.PressMark(), nullptr);
  f.Form->Bar1->Customizing(true);
  ASSERT_NE(dxBarCustomizingForm(), nullptr);
  ASSERT_TRUE(WaitForeground(dxBarCustomizingForm()->Handle()));
  ASSERT_TRUE(Warp(TMenuFrame::Centre(f.Form->Control(f.Form->Standard(), "ButtonNew"))));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(MouseUp());
  ASSERT_TRUE(WaitFor([&] { return dxBarQuickControl() == nullptr; }, 2000));
  f.Form->Bar1->Customizing(false);
}
