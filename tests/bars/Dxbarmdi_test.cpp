// The bars and their form: a maximised MDI child's icon and buttons on the
// frame's main menu bar, its system menu, the merged main menus, floating
// bars following the application's activation and the work area, F1 help
// on a menu entry, and the layout saved as the form goes.
#include "Menufixture.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

struct TMdiFrame {
  TScopedDialogs Dialogs;
  TMenuFrame* Form;
  TMdiFrame() {
    // Parked by a real move: a warp's late echo would carry the cursor back
    // here in the middle of a test.
    EXPECT_TRUE(Warp(POINT{1270, 1010}));
    Form = new TMenuFrame;
    Form->Show();
    EXPECT_TRUE(WaitVisible(Form->Handle()));
    EXPECT_TRUE(BringToFront(Form->Handle()));
    ProcessQueuedMessages();
  }
  ~TMdiFrame() {
    if (TCustomdxBarControl* active = ActiveBarControl()) active->HideAll();
    Form->Free();
    ProcessQueuedMessages();
  }
  TMenuChild* Child(const String& caption, bool withMenu = false) {
    auto* child = new TMenuChild(Form, caption, withMenu);
    child->OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
    EXPECT_TRUE(WaitVisible(child->Handle()));
    ProcessQueuedMessages();
    return child;
  }
  TdxBarItemLinks* MainLinks() { return Form->MainMenu()->ItemLinks(); }
  TdxBarControl* MainMenu() { return Form->MainMenu()->Control(); }
  // The system-menu item at the start of the main menu bar (none: null).
  TSystemMenuSubItem* SystemItem() {
    TdxBarItemLink* first = MainLinks()->Items(0);
    return first ? dynamic_cast<TSystemMenuSubItem*>(first->Item()) : nullptr;
  }
  int SystemItems() {
    int n = 0;
    for (int i = 0; i < MainLinks()->Count(); ++i)
      if (dynamic_cast<TSystemMenuSubItem*>(MainLinks()->Items(i)->Item())) ++n;
    return n;
  }
  void Settle() {
    ProcessQueuedMessages();
    WaitUntil([] { return false; }, 100);
  }
};

}  // namespace

TEST(BarsMdi, AMaximisedChildPutsItsIconAndButtonsOnTheMainMenu) {
  TMdiFrame f;
  TMenuChild* one = f.Child("One");
  TMenuChild* two = f.Child("Two");
  EXPECT_EQ(f.SystemItem(), nullptr);
  EXPECT_FALSE(f.MainMenu()->RealMDIButtonsOnBar());
  two->SetWindowState(wsMaximized);
  f.Settle();
  ASSERT_NE(f.SystemItem(), nullptr);
  EXPECT_EQ(f.SystemItem()->Wnd(), two->Handle());
  EXPECT_TRUE(f.MainMenu()->RealMDIButtonsOnBar());
  TdxBarItemControl* icon = f.MainLinks()->Items(0)->Control();
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->GetWidth(), GetSystemMetrics(SM_CXSMICON));
  // The three buttons at the right end of the bar.
  TRect close = f.MainMenu()->RectMDI(mdibClose);
  EXPECT_GT(close.left, f.MainMenu()->RectMDI(mdibRestore).left);
  EXPECT_LE(close.right, f.MainMenu()->ClientWidth());
  SaveScreenshot(f.Form->Handle(), "maximised");
  // Switching children keeps one icon, the active child's.
  SendMessageA(f.Form->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(one->Handle()), 0);
  f.Settle();
  EXPECT_EQ(f.SystemItems(), 1);
  ASSERT_NE(f.SystemItem(), nullptr);
  EXPECT_EQ(f.SystemItem()->Wnd(), one->Handle());
  // Restored: no icon and no buttons.
  one->SetWindowState(wsNormal);
  f.Settle();
  EXPECT_EQ(f.SystemItems(), 0);
  EXPECT_FALSE(f.MainMenu()->RealMDIButtonsOnBar());
  // Closing the last maximised child takes them away too.
  two->Free();
  one->SetWindowState(wsMaximized);
  f.Settle();
  ASSERT_EQ(f.SystemItems(), 1);
  one->Free();
  f.Settle();
  EXPECT_EQ(f.SystemItems(), 0);
  EXPECT_FALSE(f.MainMenu()->RealMDIButtonsOnBar());
  EXPECT_EQ(InternalItemCount(), 0);
}

TEST(BarsMdi, TheIconsMenuIsTheChildsSystemMenu) {
  TMdiFrame f;
  TMenuChild* child = f.Child("Document");
  child->SetWindowState(wsMaximized);
  f.Settle();
  TdxBarItemControl* icon = f.MainLinks()->Items(0)->Control();
  ASSERT_NE(icon, nullptr);
  POINT at = TMenuFrame::Centre(icon);
  ASSERT_TRUE(Warp(at));
  ScreenToClient(f.MainMenu()->Handle(), &at);
  ASSERT_TRUE(Click(f.MainMenu()->Handle(), at));
  TSystemMenuSubItem* item = f.SystemItem();
  ASSERT_NE(item, nullptr);
  ASSERT_TRUE(WaitFor([&] { return item->ItemLinks()->BarControl() != nullptr; }, 2000));
  SaveScreenshot(f.Form->Handle(), "system_menu");
  // The entries as the system menu has them: texts without the shortcut,
  // the shortcut apart, grey entries disabled.
  HMENU sys = GetSystemMenu(child->Handle(), FALSE);
  TdxBarItemLinks* links = item->ItemLinks();
  int entries = 0;
  for (int i = 0; i < GetMenuItemCount(sys); ++i) {
    MENUITEMINFOA mii{};
    char text[256] = {};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING | MIIM_ID;
    mii.dwTypeData = text;
    mii.cch = sizeof text - 1;
    ASSERT_TRUE(GetMenuItemInfoA(sys, static_cast<UINT>(i), TRUE, &mii));
    if (mii.fType & MFT_SEPARATOR) continue;
    SCOPED_TRACE(text);
    TdxBarItemLink* link = links->Items(entries++);
    ASSERT_NE(link, nullptr);
    String full = text;
    size_t tab = full.find('\t');
    EXPECT_EQ(link->Item()->Caption(), full.substr(0, tab));
    if (tab != String::npos) {
      EXPECT_EQ(ShortCutToText(link->Item()->ShortCut()), full.substr(tab + 1));
    }
    EXPECT_EQ(link->Item()->Enabled(), !(mii.fState & (MFS_GRAYED | MFS_DISABLED)));
    EXPECT_EQ(link->Item()->Tag, static_cast<intptr_t>(mii.wID));
  }
  EXPECT_GE(entries, 5);
  EXPECT_EQ(links->Count(), entries);
  // Its Restore entry restores the child.
  TdxBarItemLink* restore = nullptr;
  for (int i = 0; i < links->Count(); ++i)
    if (links->Items(i)->Item()->Tag == SC_RESTORE) restore = links->Items(i);
  ASSERT_NE(restore, nullptr);
  ASSERT_NE(restore->Control(), nullptr);
  POINT p = TMenuFrame::Centre(restore->Control());
  ASSERT_TRUE(Warp(p));
  ScreenToClient(f.Form->Handle(), &p);
  ASSERT_TRUE(Click(f.Form->Handle(), p));
  ASSERT_TRUE(WaitFor([&] { return !IsZoomed(child->Handle()); }, 2000));
  f.Settle();
  EXPECT_EQ(f.SystemItems(), 0);
}

TEST(BarsMdi, ADoubleClickOnTheIconClosesTheChild) {
  TMdiFrame f;
  TMenuChild* child = f.Child("Document");
  bool closed = false;
  child->OnDestroy = [&](TObject*) { closed = true; };
  child->SetWindowState(wsMaximized);
  f.Settle();
  TdxBarItemControl* icon = f.MainLinks()->Items(0)->Control();
  ASSERT_NE(icon, nullptr);
  POINT at = TMenuFrame::Centre(icon);
  ASSERT_TRUE(Warp(at));
  ScreenToClient(f.MainMenu()->Handle(), &at);
  ASSERT_TRUE(DoubleClick(f.MainMenu()->Handle(), at));
  ASSERT_TRUE(WaitFor([&] { return closed; }, 3000));
  f.Settle();
  EXPECT_EQ(f.SystemItems(), 0);
  EXPECT_EQ(ActiveBarControl(), nullptr);
}

TEST(BarsMdi, AButtonPressedAndReleasedOutsideSendsNothing) {
  TMdiFrame f;
  TMenuChild* child = f.Child("Document");
  child->SetWindowState(wsMaximized);
  f.Settle();
  HWND bar = f.MainMenu()->Handle();
  TRect r = f.MainMenu()->RectMDI(mdibMinimize);
  POINT in{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ClientToScreen(bar, &in);
  ASSERT_TRUE(BringToFront(bar));
  ASSERT_TRUE(Warp(in));
  ASSERT_TRUE(MouseDown());
  EXPECT_TRUE(dxBarButtonHeld());
  ASSERT_TRUE(Warp(POINT{in.x, in.y + 200}));
  ASSERT_TRUE(MouseUp());
  f.Settle();
  EXPECT_FALSE(dxBarButtonHeld());
  EXPECT_TRUE(IsZoomed(child->Handle()));
  // Pressed and released on it, it minimises the child.
  ASSERT_TRUE(Warp(in));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(Warp(POINT{in.x, in.y + 200}));
  ASSERT_TRUE(Warp(in));
  ASSERT_TRUE(MouseUp());
  ASSERT_TRUE(WaitFor([&] { return IsIconic(child->Handle()) != FALSE; }, 2000));
}

TEST(BarsMdi, AMaximisedChildsMainMenuJoinsTheFramesOne) {
  TMdiFrame f;
  TMenuChild* child = f.Child("Document", true);
  TdxBar* childMenu = child->Bar1->MainMenuBar();
  int before = f.MainLinks()->Count();
  EXPECT_TRUE(childMenu->Visible());
  child->SetWindowState(wsMaximized);
  f.Settle();
  // The icon first, then the child's "Document" after the frame's menus.
  EXPECT_EQ(f.MainLinks()->Count(), before + 2);
  EXPECT_EQ(f.MainLinks()->Items(before + 1)->Item()->Name(), "SubDocument");
  EXPECT_FALSE(childMenu->Visible());
  SaveScreenshot(f.Form->Handle(), "merged");
  child->SetWindowState(wsNormal);
  f.Settle();
  EXPECT_EQ(f.MainLinks()->Count(), before);
  EXPECT_TRUE(childMenu->Visible());
}

// ---------------------------------------------------------------- the form

namespace {

// Counts the saves of the layout.
class TSaveCounter : public TdxBarLayoutStore {
 public:
  void SaveToRegistry(TdxBarManager*, const String& path) override { Saves.push_back("registry " + path); }
  void SaveToIniFile(TdxBarManager*, const String& file) override { Saves.push_back("ini " + file); }
  std::vector<String> Saves;
};

}  // namespace

TEST(BarsForm, TheLastDestroySavesTheLayoutOnceARecreatedWindowNothing) {
  TSaveCounter store;
  TdxBarLayoutStore* previous = dxBarSetLayoutStore(&store);
  auto* form = new TMenuFrame;
  form->Bar1->SetRegistryPath("\\Software\\Test\\Bars");
  form->Bar1->SetStoreInRegistry(true);
  form->Bar1->SetIniFileName("bars.ini");
  form->Bar1->SetStoreInIniFile(true);
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  form->RecreateWnd();
  ProcessQueuedMessages();
  EXPECT_TRUE(store.Saves.empty());
  form->Free();
  EXPECT_EQ(store.Saves, std::vector<String>({"registry \\Software\\Test\\Bars", "ini bars.ini"}));
  dxBarSetLayoutStore(previous);
}

TEST(BarsForm, FloatingBarsHideWhileAnotherProgramIsActive) {
  TMdiFrame f;
  TdxBar* standard = f.Form->Standard();
  standard->SetFloatLeft(300);
  standard->SetFloatTop(300);
  standard->SetDockingStyle(dsNone);
  ASSERT_TRUE(WaitVisible(standard->Control()->Handle()));
  HWND bar = standard->Control()->Handle();
  int captionY = GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
  TRect fw = f.Form->BoundsRect();
  auto captionColor = [&] {
    TDibSurface shot = CaptureWindow(f.Form->Handle());
    return shot.Pixel(fw.Width() / 2, captionY);
  };
  EXPECT_EQ(captionColor(), GetSysColor(COLOR_ACTIVECAPTION));
  // Another program takes the activation.
  TBarsHelper helper;
  bool away = helper.InFront();
  bool hidden = WaitUntil([&] { return !IsWindowVisible(bar); }, 3000);
  SaveScreenshot(f.Form->Handle(), "inactive");
  COLORREF inactive = captionColor();
  // The other program ends and the form is active again: the bar shows.
  helper.Close();
  ASSERT_TRUE(away);
  EXPECT_TRUE(hidden);
  EXPECT_EQ(inactive, GetSysColor(COLOR_INACTIVECAPTION));
  ASSERT_TRUE(BringToFront(f.Form->Handle()));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(bar); }, 3000));
}

TEST(BarsForm, AfterADisplayChangeFloatingBarsComeBackIntoTheWorkArea) {
  TMdiFrame f;
  f.Form->Bar1->SetHideFloatingBarsWhenInactive(false);
  TdxBar* standard = f.Form->Standard();
  standard->SetDockingStyle(dsNone);
  TdxBarControl* c = standard->Control();
  ASSERT_NE(c, nullptr);
  TRect work = GetWorkArea(TPoint(100, 100));
  SetWindowPos(c->Handle(), nullptr, work.right - 40, work.bottom - 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  TRect w = c->GetWindowRect();
  ASSERT_GT(w.right, work.right);
  SendMessageA(f.Form->Handle(), WM_DISPLAYCHANGE, 32, MAKELPARAM(work.Width(), work.Height()));
  w = c->GetWindowRect();
  EXPECT_EQ(w.right, work.right);
  EXPECT_EQ(w.bottom, work.bottom);
}

TEST(BarsForm, F1OnAnEntryWithAHelpContextAsksForAPopupAtItsBottomCentre) {
  TMdiFrame f;
  ASSERT_TRUE(KeyChord({VK_MENU, 'H'}));
  TdxBarSubMenuControl* menu = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    menu = dynamic_cast<TdxBarSubMenuControl*>(f.Form->Sub("Help")->ItemLinks()->BarControl());
    return menu && menu->SelectedControl();
  }, 2000));
  TRect about = TMenuFrame::ScreenRect(f.Form->MenuControl("Help", "ButtonAbout"));
  ASSERT_TRUE(KeyChord({VK_F1}));
  ASSERT_TRUE(WaitFor([&] { return f.Dialogs.Dialogs.Helps.size() >= 2; }, 2000));
  const auto& helps = f.Dialogs.Dialogs.Helps;
  EXPECT_EQ(helps[0].Command, static_cast<UINT>(HELP_SETPOPUP_POS));
  EXPECT_EQ(helps[0].Data, static_cast<ULONG_PTR>(MAKELONG((about.left + about.right) / 2, about.bottom)));
  EXPECT_EQ(helps[1].Command, static_cast<UINT>(HELP_CONTEXTPOPUP));
  EXPECT_EQ(helps[1].Data, 42u);
  EXPECT_EQ(ActiveBarControl(), nullptr);
}

TEST(BarsForm, LeavingTheApplicationForgetsAGoneTrackedControl) {
  TMdiFrame f;
  TdxBarManager* m = f.Form->Bar1;
  TdxBarItemControl* wrap = f.Form->Control(f.Form->Standard(), "ButtonWrap");
  ASSERT_TRUE(Warp(TMenuFrame::Centre(wrap)));
  ASSERT_TRUE(WaitFor([&] { return m->MouseTrackedItem() == wrap; }, 2000));
  // Its bar goes; the application is left.
  f.Form->Standard()->SetVisible(false);
  EXPECT_EQ(m->MouseTrackedItem(), nullptr);
  SendMessageA(f.Form->Handle(), WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_EQ(m->SelectedItem(), nullptr);
  EXPECT_FALSE(m->FormActive());
}
