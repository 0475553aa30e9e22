// The kinds of forms the program's windows are: frames and title-bar icons,
// placement, window states, closing, MDI frames and children; message boxes
// over them and the screen cursor.
#include <gtest/gtest.h>

#include "classlib/Comctrls.h"
#include "classlib/Extctrls.h"
#include "classlib/Stdctrls.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// A form with one edit, built in code; configure runs while it loads.
TForm* MakeForm(const String& caption, TRect bounds, const std::function<void(TForm*)>& configure = nullptr,
                TComponent* owner = Application) {
  auto* f = new TForm(owner);
  f->SetCaption(caption);
  f->SetBoundsRect(bounds);
  auto* edit = new TEdit(f);
  edit->SetName("Edit1");
  edit->SetParent(f);
  edit->SetBounds(10, 10, 150, 22);
  if (configure) configure(f);
  f->EndLoading();
  return f;
}

TEdit* EditOf(TForm* f) { return static_cast<TEdit*>(f->FindComponent("Edit1")); }

TRect WindowRectOf(HWND w) {
  RECT r;
  GetWindowRect(w, &r);
  return TRect(r);
}

LONG_PTR Style(HWND w) { return GetWindowLongPtrA(w, GWL_STYLE); }
LONG_PTR ExStyle(HWND w) { return GetWindowLongPtrA(w, GWL_EXSTYLE); }

// Makes a form the main form for the lifetime of the object.
struct TMainFormScope {
  explicit TMainFormScope(TCustomForm* f) : saved(Application->MainForm()) { Application->SetMainForm(f); }
  ~TMainFormScope() { Application->SetMainForm(saved); }
  TCustomForm* saved;
};

}  // namespace

// What a person sees of the frame: sizing border, caption buttons, the
// help button only where it can show, the tool window's small caption.
TEST(FormFrame, BorderStylesAndIconsGiveTheirFrames) {
  struct TCase {
    const char* name;
    TFormBorderStyle style;
    TBorderIcons icons;
    LONG_PTR styleOn, styleOff, exOn, exOff;
  };
  const TBorderIcons all{biSystemMenu, biMinimize, biMaximize};
  const TCase cases[] = {
      {"sizeable", bsSizeable, all, WS_THICKFRAME | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0, 0,
       WS_EX_CONTEXTHELP | WS_EX_TOOLWINDOW},
      {"dialog_help", bsDialog, TBorderIcons{biSystemMenu, biHelp}, WS_CAPTION | WS_SYSMENU,
       WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP, 0},
      {"single_min", bsSingle, TBorderIcons{biSystemMenu, biMinimize}, WS_CAPTION | WS_MINIMIZEBOX,
       WS_THICKFRAME | WS_MAXIMIZEBOX, 0, WS_EX_CONTEXTHELP},
      // The help button cannot show beside the size boxes.
      {"sizeable_min_help", bsSizeable, TBorderIcons{biSystemMenu, biMinimize, biHelp}, WS_MINIMIZEBOX, 0, 0,
       WS_EX_CONTEXTHELP},
      {"tool", bsToolWindow, all, WS_CAPTION | WS_SYSMENU, WS_THICKFRAME | WS_MINIMIZEBOX, WS_EX_TOOLWINDOW, 0},
      {"none", bsNone, all, WS_POPUP, WS_CAPTION | WS_THICKFRAME | WS_SYSMENU, 0, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TOwned<TForm> f(MakeForm(c.name, TRect(100, 100, 400, 260), [&](TForm* f) {
      f->SetBorderStyle(c.style);
      f->SetBorderIcons(c.icons);
    }));
    f->Show();
    HWND w = f->Handle();
    ASSERT_TRUE(WaitVisible(w));
    EXPECT_EQ(Style(w) & c.styleOn, c.styleOn);
    EXPECT_EQ(Style(w) & c.styleOff, 0);
    EXPECT_EQ(ExStyle(w) & c.exOn, c.exOn);
    EXPECT_EQ(ExStyle(w) & c.exOff, 0);
    EXPECT_EQ(WindowRectOf(w), TRect(100, 100, 400, 260)) << "the frame is inside the designed bounds";
    SaveScreenshot(w, c.name);
  }
}

// Style changes of a shown form make its window again; the person still
// sees the form, its controls, what was typed and where the focus was.
TEST(FormFrame, ChangedWhileShownTheFormStaysWithItsControlsAndFocus) {
  TOwned<TForm> f(MakeForm("Restyled", TRect(150, 120, 450, 320)));
  f->Show();
  TEdit* edit = EditOf(f.get());
  ASSERT_TRUE(WaitVisible(edit->Handle()));
  ASSERT_TRUE(TypeInto(edit->Handle(), "typed"));
  HWND before = f->Handle();

  f->SetBorderStyle(bsDialog);
  HWND after = f->Handle();
  EXPECT_NE(after, before);
  EXPECT_TRUE(IsWindowVisible(after)) << "the form is shown again";
  EXPECT_TRUE(WaitForeground(after));
  EXPECT_EQ(Style(after) & WS_THICKFRAME, 0);
  EXPECT_EQ(WindowRectOf(after), TRect(150, 120, 450, 320));
  EXPECT_TRUE(IsWindowVisible(edit->Handle()));
  EXPECT_EQ(GetParent(edit->Handle()), after);
  EXPECT_EQ(edit->Text(), "typed");
  EXPECT_TRUE(WaitUntil([&] { return GetFocus() == edit->Handle(); }, 2000));

  f->SetBorderIcons(TBorderIcons{biSystemMenu, biHelp});
  EXPECT_TRUE(IsWindowVisible(f->Handle()));
  EXPECT_NE(ExStyle(f->Handle()) & WS_EX_CONTEXTHELP, 0);

  // Stay on top switches on the same window.
  after = f->Handle();
  f->SetFormStyle(fsStayOnTop);
  EXPECT_EQ(f->Handle(), after);
  EXPECT_NE(ExStyle(after) & WS_EX_TOPMOST, 0);
  SaveScreenshot(after);
  f->SetFormStyle(fsNormal);
  EXPECT_EQ(ExStyle(after) & WS_EX_TOPMOST, 0);

  // A hidden form changed stays hidden until shown.
  f->Hide();
  f->SetBorderStyle(bsSingle);
  EXPECT_FALSE(IsWindowVisible(f->Handle()));
  f->Show();
  EXPECT_TRUE(WaitVisible(f->Handle()));
}

// A minimum size holds against code and against the person dragging the
// frame's corner.
TEST(FormFrame, MinimumSizeHoldsAgainstCodeAndTheSizingFrame) {
  TOwned<TForm> f(MakeForm("Minimum", TRect(100, 100, 700, 560), [](TForm* f) {
    f->Constraints()->SetMinWidth(521);
    f->Constraints()->SetMinHeight(412);
  }));
  f->Show();
  HWND w = f->Handle();
  ASSERT_TRUE(WaitVisible(w));
  f->SetBounds(100, 100, 300, 200);
  EXPECT_EQ(WindowRectOf(w), TRect(100, 100, 621, 512));
  f->SetBounds(100, 100, 640, 480);
  EXPECT_EQ(WindowRectOf(w), TRect(100, 100, 740, 580));
  // The bottom-right corner of the frame dragged far up and left.
  RECT wr;
  GetWindowRect(w, &wr);
  POINT corner{wr.right - 2, wr.bottom - 2};
  ScreenToClient(w, &corner);
  ASSERT_EQ(SendMessageA(w, WM_NCHITTEST, 0, MAKELPARAM(wr.right - 2, wr.bottom - 2)), HTBOTTOMRIGHT);
  ASSERT_TRUE(Drag(w, corner, POINT{corner.x - 400, corner.y - 300}, 8));
  PumpFor(100);
  EXPECT_EQ(WindowRectOf(w), TRect(100, 100, 621, 512));
  EXPECT_EQ(f->Width(), 521);
  EXPECT_EQ(f->Height(), 412);
}

TEST(FormPosition, CentredOnTheWorkAreaTheDesktopOrTheMainForm) {
  TOwned<TForm> main(MakeForm("Main", TRect(40, 60, 640, 460)));
  main->Show();
  ASSERT_TRUE(WaitVisible(main->Handle()));
  TMainFormScope scope(main.get());
  TRect mainRect = WindowRectOf(main->Handle());
  TRect work = Screen->WorkAreaRect();
  TRect desk = Screen->DesktopRect();
  struct TCase {
    TPosition position;
    TRect area;  // empty: the designed bounds stay
  } cases[] = {{poScreenCenter, work}, {poDesktopCenter, desk}, {poMainFormCenter, mainRect}, {poDesigned, TRect()}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.position));
    TOwned<TForm> f(MakeForm("Placed", TRect(5, 7, 305, 207), [&](TForm* f) { f->SetPosition(c.position); }));
    f->Show();
    ASSERT_TRUE(WaitVisible(f->Handle()));
    TRect r = WindowRectOf(f->Handle());
    EXPECT_EQ(r.Width(), 300);
    EXPECT_EQ(r.Height(), 200);
    if (c.area.Empty()) {
      EXPECT_EQ(r.TopLeft(), TPoint(5, 7));
    } else {
      EXPECT_EQ(r.left, c.area.left + (c.area.Width() - 300) / 2);
      EXPECT_EQ(r.top, c.area.top + (c.area.Height() - 200) / 2);
    }
  }
}

// Maximised, minimised and restored by code and by the window menu; the
// aligned controls keep the normal layout while the form is an icon.
TEST(FormState, MaximisedMinimisedAndRestored) {
  TPanel* panel = nullptr;
  TOwned<TForm> f(MakeForm("States", TRect(120, 100, 520, 400), [&](TForm* f) {
    panel = new TPanel(f);
    panel->SetParent(f);
    panel->SetAlign(alClient);
    panel->SetCaption("client");
    f->SetWindowState(wsMaximized);
  }));
  f->Show();
  HWND w = f->Handle();
  ASSERT_TRUE(WaitVisible(w));
  EXPECT_TRUE(IsZoomed(w));
  EXPECT_EQ(f->WindowState(), wsMaximized);
  EXPECT_EQ(panel->Width(), f->ClientWidth());
  SaveScreenshot(w, "maximised");

  f->SetWindowState(wsNormal);
  PumpFor(50);
  EXPECT_EQ(WindowRectOf(w), TRect(120, 100, 520, 400));
  TRect normal = panel->BoundsRect();

  f->SetWindowState(wsMinimized);
  PumpFor(50);
  EXPECT_TRUE(IsIconic(w));
  EXPECT_EQ(f->WindowState(), wsMinimized);
  EXPECT_EQ(panel->BoundsRect(), normal);

  // The window menu's Restore, then Maximize, as a person picks them.
  SendMessageA(w, WM_SYSCOMMAND, SC_RESTORE, 0);
  PumpFor(50);
  EXPECT_EQ(f->WindowState(), wsNormal);
  EXPECT_EQ(panel->BoundsRect(), normal);
  SendMessageA(w, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  PumpFor(50);
  EXPECT_EQ(f->WindowState(), wsMaximized);
  EXPECT_GT(panel->Width(), normal.Width());
}

// Alt+F4 asks OnCloseQuery, then OnClose decides what happens.
TEST(FormClose, CloseQueryAndEachCloseAction) {
  struct TCase {
    const char* name;
    bool canClose;
    TCloseAction action;
  } cases[] = {{"refused", false, caHide}, {"hide", true, caHide}, {"minimise", true, caMinimize},
               {"none", true, caNone},     {"free", true, caFree}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    int queries = 0, closes = 0;
    auto destroyed = std::make_shared<bool>(false);
    TForm* f = MakeForm(c.name, TRect(200, 150, 480, 330));
    f->OnCloseQuery = [&](TObject*, bool& canClose) {
      ++queries;
      canClose = c.canClose;
    };
    f->OnClose = [&](TObject*, TCloseAction& action) {
      ++closes;
      EXPECT_EQ(action, caHide) << "a plain form hides by default";
      action = c.action;
    };
    f->OnDestroy = [destroyed](TObject*) { *destroyed = true; };
    f->Show();
    HWND w = f->Handle();
    ASSERT_TRUE(WaitVisible(w));
    ASSERT_TRUE(BringToFront(w));
    ASSERT_TRUE(KeyChord({VK_MENU, VK_F4}));
    ASSERT_TRUE(WaitFor([&] { return queries == 1; }, 2000));
    PumpFor(100);
    EXPECT_EQ(closes, c.canClose ? 1 : 0);
    switch (c.canClose ? c.action : caNone) {
      case caNone:
        EXPECT_TRUE(IsWindowVisible(w));
        EXPECT_FALSE(IsIconic(w));
        break;
      case caHide:
        EXPECT_FALSE(IsWindowVisible(w));
        EXPECT_FALSE(*destroyed);
        break;
      case caMinimize:
        EXPECT_TRUE(IsIconic(w));
        break;
      case caFree:
        EXPECT_TRUE(WaitFor([&] { return *destroyed; }, 2000));
        EXPECT_FALSE(IsWindow(w));
        break;
    }
    if (!*destroyed) {
      EXPECT_TRUE(IsWindow(w));
      f->Free();
    }
  }
}

namespace {

// An MDI frame built in code: a tool panel on top, a status bar below and
// the MDI client window between them.
class TFrameForm : public TForm {
 public:
  explicit TFrameForm(TComponent* owner) : TForm(owner) {
    SetCaption("Frame");
    SetBounds(60, 40, 720, 520);
    SetFormStyle(fsMDIForm);
    Tools = new TPanel(this);
    Tools->SetParent(this);
    Tools->SetAlign(alTop);
    Tools->SetHeight(34);
    Tools->SetCaption("tools");
    Side = new TPanel(this);
    Side->SetParent(this);
    Side->SetAlign(alLeft);
    Side->SetWidth(90);
    Status = new TStatusBar(this);
    Status->SetParent(this);
    Status->SetSimplePanel(true);
    Status->SetSimpleText("ready");
    EndLoading();
  }
  TPanel *Tools, *Side;
  TStatusBar* Status;
};

TForm* MakeChild(TFrameForm* frame, const String& caption, TCloseAction closeAction) {
  auto* c = new TForm(frame);
  c->SetFormStyle(fsMDIChild);
  c->SetCaption(caption);
  c->SetBounds(0, 0, 300, 200);
  auto* memo = new TMemo(c);
  memo->SetParent(c);
  memo->SetAlign(alClient);
  memo->Lines()->Add(caption);
  c->OnClose = [closeAction](TObject*, TCloseAction& a) { a = closeAction; };
  c->EndLoading();
  return c;
}

TRect ClientWindowRect(TCustomForm* frame) {
  RECT r;
  GetWindowRect(frame->ClientHandle(), &r);
  MapWindowPoints(HWND_DESKTOP, frame->Handle(), reinterpret_cast<POINT*>(&r), 2);
  return TRect(r);
}

}  // namespace

TEST(Mdi, TheClientWindowFillsWhatTheAlignedControlsLeave) {
  TOwned<TFrameForm> frame(new TFrameForm(Application));
  TMainFormScope scope(frame.get());
  frame->Show();
  ASSERT_TRUE(WaitVisible(frame->Handle()));
  auto expectClient = [&] {
    TRect c = frame->ClientRect();
    EXPECT_EQ(ClientWindowRect(frame.get()), TRect(90, 34, c.right, c.bottom - frame->Status->Height()));
  };
  expectClient();
  frame->SetBounds(60, 40, 820, 600);
  PumpFor(50);
  expectClient();
  frame->Side->SetWidth(150);
  PumpFor(50);
  EXPECT_EQ(ClientWindowRect(frame.get()).left, 150);
}

TEST(Mdi, ChildrenAreListedActivatedAndClosedThroughTheirClient) {
  TOwned<TFrameForm> frame(new TFrameForm(Application));
  TMainFormScope scope(frame.get());
  frame->Show();
  ASSERT_TRUE(WaitVisible(frame->Handle()));
  std::vector<String> log;
  TForm* one = MakeChild(frame.get(), "One", caFree);
  TForm* two = MakeChild(frame.get(), "Two", caFree);
  for (TForm* c : {one, two}) {
    c->OnActivate = [&log, c](TObject*) { log.push_back("activate " + c->Caption()); };
    c->OnDeactivate = [&log, c](TObject*) { log.push_back("deactivate " + c->Caption()); };
  }
  bool oneDestroyed = false;
  one->OnDestroy = [&](TObject*) { oneDestroyed = true; };
  one->Show();
  two->Show();
  ASSERT_TRUE(WaitVisible(two->Handle()));
  EXPECT_EQ(GetParent(one->Handle()), frame->ClientHandle());
  EXPECT_EQ(frame->MDIChildCount(), 2);
  EXPECT_EQ(frame->ActiveMDIChild(), two);
  EXPECT_EQ(frame->MDIChildren(0), two) << "the active child first";
  EXPECT_EQ(frame->MDIChildren(1), one);
  EXPECT_EQ(Screen->ActiveForm(), two);

  // A click into the first child makes it the active one.
  log.clear();
  frame->Cascade();
  PumpFor(50);
  RECT oneRect;
  GetWindowRect(one->Handle(), &oneRect);
  POINT caption{oneRect.left + 60, oneRect.top + GetSystemMetrics(SM_CYFRAME) + 4};
  MapWindowPoints(HWND_DESKTOP, one->Handle(), &caption, 1);
  ASSERT_TRUE(Click(one->Handle(), caption));
  ASSERT_TRUE(WaitFor([&] { return frame->ActiveMDIChild() == one; }, 2000));
  EXPECT_EQ(log, (std::vector<String>{"deactivate Two", "activate One"}));
  SaveScreenshot(frame->Handle(), "cascaded");

  // Ctrl+F4 closes the active child; it is freed through its client window
  // and the other one becomes active.
  ASSERT_TRUE(KeyChord({VK_CONTROL, VK_F4}));
  ASSERT_TRUE(WaitFor([&] { return oneDestroyed; }, 3000));
  PumpFor(50);
  EXPECT_EQ(frame->MDIChildCount(), 1);
  EXPECT_EQ(frame->ActiveMDIChild(), two);
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageA(frame->ClientHandle(), WM_MDIGETACTIVE, 0, 0)), two->Handle());

  // Maximised, the child fills the client window.
  two->SetWindowState(wsMaximized);
  PumpFor(50);
  RECT client, child;
  GetClientRect(frame->ClientHandle(), &client);
  GetClientRect(two->Handle(), &child);
  EXPECT_EQ(child.right, client.right);
  EXPECT_EQ(child.bottom, client.bottom);
  SaveScreenshot(frame->Handle(), "maximised");
}

// A message box is owned by the active window; that window is as enabled
// afterwards as it was before.
TEST(MessageBoxes, OwnedByTheActiveWindowWhichKeepsItsEnabledState) {
  TOwned<TForm> f(MakeForm("Asking", TRect(200, 160, 500, 360)));
  f->Show();
  ASSERT_TRUE(WaitForeground(f->Handle()));
  HWND owner = nullptr;
  bool ownerEnabledDuring = true;
  {
    // The real box.
    TSystemDialogs* saved = SetSystemDialogs(nullptr);
    TModalDriver modal;
    modal.Window("Nembra", "#32770")
        .Do("owner",
            [&](HWND box) {
              owner = GetWindow(box, GW_OWNER);
              ownerEnabledDuring = IsWindowEnabled(f->Handle()) != FALSE;
              SaveScreenshot(box, "box");
              return true;
            })
        .Press("OK");
    EXPECT_EQ(Application->MessageBox("Connection closed.", "Nembra", MB_OK | MB_ICONINFORMATION), IDOK);
    EXPECT_TRUE(modal.Finish());
    SetSystemDialogs(saved);
  }
  EXPECT_EQ(owner, f->Handle());
  EXPECT_FALSE(ownerEnabledDuring);
  EXPECT_TRUE(IsWindowEnabled(f->Handle()));

  // A box that turns its owner on again (as the system's does when it
  // ends) leaves a window that was disabled before disabled.
  HWND active = GetActiveWindow();
  ASSERT_NE(active, nullptr);
  EnableWindow(active, FALSE);
  struct TEnablingDialogs : TSystemDialogs {
    HWND owner = nullptr;
    int MessageBox(HWND w, const String&, const String&, UINT) override {
      owner = w;
      EnableWindow(w, TRUE);
      return IDOK;
    }
  } enabling;
  TSystemDialogs* saved = SetSystemDialogs(&enabling);
  Application->MessageBox("Again", "Nembra", MB_OK);
  SetSystemDialogs(saved);
  EXPECT_EQ(enabling.owner, active);
  EXPECT_FALSE(IsWindowEnabled(active));
  EnableWindow(active, TRUE);
}

// The hourglass of long work shows over every window of the program until
// its guard ends; a control's own cursor comes from the screen's table.
TEST(ScreenCursor, HourglassGuardAndCursorsFromTheTable) {
  TOwned<TForm> f(MakeForm("Cursors", TRect(220, 180, 520, 380)));
  TEdit* edit = EditOf(f.get());
  auto* pad = new TPanel(f.get());
  pad->SetParent(f.get());
  pad->SetBounds(10, 60, 200, 80);
  constexpr TCursor crOwn = 7;
  HCURSOR own = LoadCursorA(nullptr, IDC_CROSS);
  Screen->SetCursors(crOwn, own);
  pad->SetCursor(crOwn);
  f->Show();
  ASSERT_TRUE(WaitVisible(pad->Handle()));
  auto cursorAt = [](HWND w) {
    POINT p = CentreOf(w);
    // Each check moves the mouse away and back, so the window answers
    // WM_SETCURSOR again.
    EXPECT_TRUE(MoveTo(POINT{p.x + 3, p.y + 3}));
    EXPECT_TRUE(MoveTo(p));
    WaitInputProcessed();
    CURSORINFO ci{};
    ci.cbSize = sizeof ci;
    GetCursorInfo(&ci);
    return ci.hCursor;
  };
  ASSERT_TRUE(BringToFront(f->Handle()));
  EXPECT_EQ(cursorAt(pad->Handle()), own);
  {
    TCursorGuard busy;
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    EXPECT_EQ(cursorAt(pad->Handle()), LoadCursorA(nullptr, IDC_WAIT));
    EXPECT_EQ(cursorAt(edit->Handle()), LoadCursorA(nullptr, IDC_WAIT));
    {
      TCursorGuard inner(crHandPoint);
      EXPECT_EQ(Screen->Cursor(), crHandPoint);
    }
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
  }
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_EQ(cursorAt(pad->Handle()), own);
  EXPECT_EQ(cursorAt(edit->Handle()), LoadCursorA(nullptr, IDC_IBEAM));
}

namespace {

class TLoadProbe : public TComponent {
 public:
  TLoadProbe(TComponent* owner, const char* name, std::vector<String>* log) : TComponent(owner), log_(log) {
    SetName(name);
  }

 protected:
  void Loaded() override {
    TComponent::Loaded();
    log_->push_back(Name() + (IsLoading() ? " (loading)" : ""));
  }
  std::vector<String>* log_;
};

// A form built in code as the program's forms are: everything made in the
// constructor is loading until its last line.
class TLoadingForm : public TForm {
 public:
  explicit TLoadingForm(std::vector<String>* log) : TForm(Application) {
    SetCaption("Loading");
    SetBounds(100, 100, 400, 300);
    new TLoadProbe(this, "First", log);
    Top = new TPanel(this);
    Top->SetParent(this);
    Top->SetBounds(0, 0, 50, 30);
    Top->SetAlign(alTop);
    new TLoadProbe(this, "Second", log);
    Edit = new TEdit(this);
    Edit->SetParent(this);
    Edit->SetBounds(10, 40, 200, 24);
    Edit->OnChange = [this](TObject*) { ++changes; };
    Edit->SetText("preset");
    Own = new TEdit(this);
    Own->SetParent(this);
    Own->SetBounds(10, 70, 200, 24);
    Own->SetParentFont(false);
    Own->Font()->SetSize(8);
    Font()->SetSize(14);
    OnCreate = [log](TObject*) { log->push_back("OnCreate"); };
    loadingInConstructor = IsLoading() && Top->IsLoading() && Edit->IsLoading();
    topWidthWhileLoading = Top->Width();
    EndLoading();
  }
  TPanel* Top;
  TEdit *Edit, *Own;
  int changes = 0;
  bool loadingInConstructor = false;
  int topWidthWhileLoading = 0;
};

}  // namespace

TEST(Loading, AFormBuiltInCodeIsLaidOutAndLoadedAtItsEnd) {
  std::vector<String> log;
  TOwned<TLoadingForm> f(new TLoadingForm(&log));
  EXPECT_TRUE(f->loadingInConstructor);
  EXPECT_EQ(f->topWidthWhileLoading, 50) << "no layout while loading";
  EXPECT_EQ(f->changes, 0) << "setters only store while loading";
  EXPECT_EQ(log, (std::vector<String>{"First", "Second", "OnCreate"})) << "creation order, the form last";
  EXPECT_FALSE(f->IsLoading());
  EXPECT_EQ(f->Top->Width(), f->ClientWidth());
  EXPECT_EQ(f->Edit->Text(), "preset");
  EXPECT_EQ(f->Edit->Font()->Size(), 14) << "a parent font set after the control follows at the end";
  EXPECT_EQ(f->Own->Font()->Size(), 8);
  f->Show();
  ASSERT_TRUE(WaitVisible(f->Edit->Handle()));
  f->Font()->SetSize(10);
  EXPECT_EQ(f->Edit->Font()->Size(), 10);
  EXPECT_EQ(f->Own->Font()->Size(), 8);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(f->Edit->Handle(), WM_GETFONT, 0, 0)), f->Edit->Font()->Handle());
  f->Edit->SetText("typed");
  EXPECT_EQ(f->changes, 1);
  SaveScreenshot(f->Handle());
}

// A modal dialog that refuses to close (a field left wrong) stays open and
// answers the next press.
TEST(FormClose, AModalFormRefusingToCloseStaysUntilItAllows) {
  TButton* ok = nullptr;
  TOwned<TForm> f(MakeForm("Checked dialog", TRect(0, 0, 300, 140), [&](TForm* f) {
    f->SetBorderStyle(bsDialog);
    f->SetPosition(poScreenCenter);
    ok = new TButton(f);
    ok->SetParent(f);
    ok->SetBounds(110, 60, 80, 25);
    ok->SetCaption("OK");
    ok->SetModalResult(mrOk);
  }));
  int queries = 0;
  f->OnCloseQuery = [&](TObject*, bool& canClose) {
    ++queries;
    canClose = EditOf(f.get())->Text() == "ftp.example.org";
  };
  TModalDriver modal;
  modal.Window("Checked dialog")
      .Press("OK")
      .Do("still open", [&](HWND w) { return queries == 1 && IsWindowVisible(w) && f->ModalResult() == mrNone; })
      .SetEditAt(0, "ftp.example.org")
      .Press("OK");
  EXPECT_EQ(f->ShowModal(), mrOk);
  EXPECT_TRUE(modal.Finish());
  EXPECT_EQ(queries, 2);
  EXPECT_FALSE(IsWindowVisible(f->Handle()));
}

// The font names the font combos list: every family once, sorted, no
// vertical ("@") variants.
TEST(ScreenFonts, TheInstalledFamiliesOnceAndSorted) {
  TStrings* fonts = Screen->Fonts();
  ASSERT_GT(fonts->Count(), 1);
  EXPECT_GE(fonts->IndexOf("Tahoma"), 0);
  for (int i = 1; i < fonts->Count(); ++i)
    EXPECT_LT(CompareText(fonts->Get(i - 1), fonts->Get(i)), 0) << fonts->Get(i);
  for (int i = 0; i < fonts->Count(); ++i) EXPECT_NE(fonts->Get(i)[0], '@');
}
