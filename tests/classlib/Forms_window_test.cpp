// Forms and controls driven as a person would: drag and drop, modal loops,
// release inside handlers, exceptions from handlers, actions and hints.
#include <gtest/gtest.h>

#include "classlib/Extctrls.h"
#include "classlib/Forms.h"
#include "classlib/Stdctrls.h"
#include "support/Input.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// A plain painted control that takes clicks and drags.
class TPad : public TCustomControl {
 public:
  TPad(TComponent* owner, TWinControl* parent, const char* name, TRect r, TColor c) : TCustomControl(owner) {
    SetName(name);
    SetParent(parent);
    SetBoundsRect(r);
    SetColor(c);
  }

 protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(Color());
    Canvas()->FillRect(ClientRect());
    Canvas()->Font()->SetColor(clWhite);
    Canvas()->Brush()->SetStyle(bsClear);
    Canvas()->TextOut(4, 4, Name());
  }
};

class TPadForm : public TForm {
 public:
  explicit TPadForm(TComponent* owner, const char* caption = "Pads") : TForm(owner) {
    SetCaption(caption);
    SetBounds(200, 150, 420, 260);
    source = new TPad(this, this, "Source", TRect(10, 10, 130, 110), clNavy);
    target = new TPad(this, this, "Target", TRect(150, 10, 270, 110), clGreen);
    refuser = new TPad(this, this, "Refuser", TRect(290, 10, 400, 110), clMaroon);
    EndLoading();
  }
  TPad *source, *target, *refuser;
};

POINT Centre(TControl* c) { return POINT{c->Width() / 2, c->Height() / 2}; }

}  // namespace

TEST(DragDrop, FromAControlOntoOneThatAcceptsAndOneThatRefuses) {
  TOwned<TPadForm> f(new TPadForm(Application));
  f->source->SetDragMode(dmAutomatic);
  std::vector<String> log;
  f->target->OnDragOver = [&](TObject*, TObject* src, int, int, TDragState st, bool& accept) {
    accept = src == f->source;
    if (st == dsDragEnter) log.push_back("enter target");
  };
  f->target->OnDragDrop = [&](TObject*, TObject* src, int x, int y) {
    log.push_back(src == f->source ? "drop from source" : "drop from ?");
    EXPECT_TRUE(f->target->ClientRect().Contains(TPoint(x, y)));
  };
  f->refuser->OnDragOver = [&](TObject*, TObject*, int, int, TDragState, bool& accept) { accept = false; };
  f->refuser->OnDragDrop = [&](TObject*, TObject*, int, int) { log.push_back("drop on refuser"); };
  TObject* endTarget = reinterpret_cast<TObject*>(1);
  f->source->OnEndDrag = [&](TObject*, TObject* t, int, int) { endTarget = t; };
  f->Show();
  HWND src = f->source->Handle();
  ASSERT_TRUE(WaitVisible(src));

  // Onto the target: accepted and dropped.
  POINT to = ClientPoint(f->target->Handle(), 60, 50);
  MapWindowPoints(HWND_DESKTOP, src, &to, 1);
  ASSERT_TRUE(Drag(src, Centre(f->source), to, 10));
  ASSERT_TRUE(WaitFor([&] { return endTarget != reinterpret_cast<TObject*>(1); }, 3000));
  EXPECT_EQ(endTarget, static_cast<TObject*>(f->target));
  EXPECT_EQ(log, (std::vector<String>{"enter target", "drop from source"}));

  // Onto the refuser: no drop, the source hears of no target.
  log.clear();
  endTarget = reinterpret_cast<TObject*>(1);
  to = ClientPoint(f->refuser->Handle(), 50, 50);
  MapWindowPoints(HWND_DESKTOP, src, &to, 1);
  ASSERT_TRUE(Drag(src, Centre(f->source), to, 10));
  ASSERT_TRUE(WaitFor([&] { return endTarget != reinterpret_cast<TObject*>(1); }, 3000));
  EXPECT_EQ(endTarget, nullptr);
  EXPECT_EQ(log, std::vector<String>{"enter target"}) << "the way to the refuser passes the target";

  // Escape cancels a drag in progress over the target.
  log.clear();
  endTarget = reinterpret_cast<TObject*>(1);
  ASSERT_TRUE(MoveTo(ClientPoint(src, 20, 20)));
  ASSERT_TRUE(MouseDown());
  for (int i = 1; i <= 8; ++i) ASSERT_TRUE(MoveTo(ClientPoint(f->target->Handle(), 8 * i, 40)));
  EXPECT_TRUE(DragActive());
  SaveScreenshot(f->Handle(), "dragging");
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitFor([&] { return !DragActive(); }, 3000));
  ASSERT_TRUE(MouseUp());
  WaitInputProcessed();
  EXPECT_EQ(endTarget, nullptr);
  EXPECT_EQ(log, (std::vector<String>{"enter target"}));
}

namespace {
HCURSOR CurrentCursor() {
  CURSORINFO ci{};
  ci.cbSize = sizeof ci;
  GetCursorInfo(&ci);
  return ci.hCursor;
}
// What the local list hands on when a drag leaves it: the names, not the
// control.
struct TNamesDrag : TDragObject {
  String Names = "a.txt";
};
}  // namespace

// A drag the control starts itself from OnMouseDown: nothing happens below
// the threshold; past it OnStartDrag supplies the object the targets see,
// and the cursor tells whether the target under it accepts.
TEST(DragDrop, ManualDragPastItsThresholdWithTheObjectOfOnStartDrag) {
  TOwned<TPadForm> f(new TPadForm(Application, "Manual drag"));
  f->source->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState, int, int) {
    if (b == mbLeft) f->source->BeginDrag(false, 20);
  };
  TNamesDrag names;
  int starts = 0;
  f->source->OnStartDrag = [&](TObject*, TDragObject*& obj) {
    ++starts;
    obj = &names;
  };
  TObject *overSource = nullptr, *dropSource = nullptr;
  f->target->OnDragOver = [&](TObject*, TObject* src, int, int, TDragState, bool& accept) {
    overSource = src;
    accept = true;
  };
  f->target->OnDragDrop = [&](TObject*, TObject* src, int, int) { dropSource = src; };
  f->refuser->OnDragOver = [](TObject*, TObject*, int, int, TDragState, bool& accept) { accept = false; };
  f->Show();
  HWND src = f->source->Handle();
  ASSERT_TRUE(WaitVisible(src));
  ASSERT_TRUE(BringToFront(f->Handle()));

  ASSERT_TRUE(MoveTo(ClientPoint(src, 20, 20)));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(MoveTo(ClientPoint(src, 30, 25)));
  WaitInputProcessed();
  EXPECT_FALSE(DragActive()) << "below the threshold";
  EXPECT_EQ(starts, 0);
  ASSERT_TRUE(MouseUp());
  WaitInputProcessed();

  ASSERT_TRUE(MoveTo(ClientPoint(src, 60, 70)));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(MoveTo(ClientPoint(src, 90, 70)));
  WaitInputProcessed();
  EXPECT_TRUE(DragActive());
  EXPECT_EQ(starts, 1);
  for (int i = 1; i <= 4; ++i) ASSERT_TRUE(MoveTo(ClientPoint(f->refuser->Handle(), 10 * i, 50)));
  WaitInputProcessed();
  EXPECT_EQ(CurrentCursor(), CursorHandle(crNoDrop));
  for (int i = 1; i <= 4; ++i) ASSERT_TRUE(MoveTo(ClientPoint(f->target->Handle(), 10 * i, 50)));
  WaitInputProcessed();
  EXPECT_EQ(CurrentCursor(), CursorHandle(crDrag));
  EXPECT_EQ(overSource, &names);
  ASSERT_TRUE(MouseUp());
  ASSERT_TRUE(WaitFor([&] { return !DragActive(); }, 2000));
  EXPECT_EQ(dropSource, &names);
  EXPECT_EQ(starts, 1);
}

TEST(Modal, OpensFromAClickAndKeepsOtherWindowsAsTheyWere) {
  TOwned<TPadForm> owner(new TPadForm(Application, "Owner"));
  TOwned<TPadForm> off(new TPadForm(Application, "Disabled before"));
  off->SetBounds(650, 150, 300, 200);
  off->Show();
  owner->Show();
  EnableWindow(off->Handle(), FALSE);
  TModalResult result = -1;
  bool ownerEnabledInside = true, offEnabledInside = true;
  owner->source->OnClick = [&](TObject*) {
    TForm* dlg = new TForm(Application);
    dlg->SetCaption("Modal");
    dlg->SetBounds(300, 300, 240, 160);
    dlg->SetKeyPreview(true);
    dlg->OnKeyDown = [dlg](TObject*, WORD& key, TShiftState) {
      if (key == VK_ESCAPE) dlg->SetModalResult(mrCancel);
      if (key == VK_RETURN) dlg->SetModalResult(mrOk);
    };
    dlg->OnShow = [&, dlg](TObject*) {
      ownerEnabledInside = IsWindowEnabled(owner->Handle());
      offEnabledInside = IsWindowEnabled(off->Handle());
      PostMessageA(dlg->Handle(), WM_NULL, 0, 0);
    };
    dlg->OnActivate = [dlg](TObject*) { SaveScreenshot(dlg->Handle()); };
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
      KillTimer(nullptr, id);
      HWND w = FindTopWindow("Modal");
      if (w) KeyChord({VK_ESCAPE});
    });
    result = dlg->ShowModal();
    dlg->Free();
  };
  ASSERT_TRUE(WaitVisible(owner->source->Handle()));
  ASSERT_TRUE(Click(owner->source->Handle()));
  ASSERT_TRUE(WaitFor([&] { return result != -1; }, 5000));
  EXPECT_EQ(result, mrCancel);
  EXPECT_FALSE(ownerEnabledInside);
  EXPECT_FALSE(offEnabledInside);
  EXPECT_TRUE(IsWindowEnabled(owner->Handle()));
  EXPECT_FALSE(IsWindowEnabled(off->Handle())) << "a window disabled before the modal loop stays disabled";
}

TEST(Release, AFormFreedInsideItsHandlerGoesOnlyAfterIt) {
  bool destroyed = false, handlerDone = false, destroyedDuringHandler = false;
  auto* f = new TPadForm(Application, "Releasing");
  f->OnDestroy = [&](TObject*) { destroyed = true; };
  f->source->OnClick = [&](TObject*) {
    f->Release();
    // A synchronous call pumping messages while the handler runs.
    PumpFor(150);
    destroyedDuringHandler = destroyed;
    handlerDone = true;
  };
  f->Show();
  ASSERT_TRUE(WaitVisible(f->source->Handle()));
  ASSERT_TRUE(Click(f->source->Handle()));
  ASSERT_TRUE(WaitFor([&] { return destroyed; }, 3000));
  EXPECT_TRUE(handlerDone);
  EXPECT_FALSE(destroyedDuringHandler);
}

TEST(Release, ClosingWithFreeFromTheCloseButtonHandler) {
  bool destroyed = false;
  auto* f = new TPadForm(Application, "Close free");
  f->OnDestroy = [&](TObject*) { destroyed = true; };
  f->OnClose = [](TObject*, TCloseAction& a) { a = caFree; };
  f->source->OnClick = [&](TObject*) { f->Close(); };
  f->Show();
  ASSERT_TRUE(WaitVisible(f->source->Handle()));
  ASSERT_TRUE(Click(f->source->Handle()));
  ASSERT_TRUE(WaitFor([&] { return destroyed; }, 3000));
}

TEST(Exceptions, AHandlerThatThrowsReachesTheHookOnceAndTheFormGoesOn) {
  std::vector<String> seen;
  Application->OnException = [&](TObject*, Exception& e) { seen.push_back(e.Message); };
  TOwned<TPadForm> f(new TPadForm(Application, "Throwing"));
  int clicks = 0;
  f->source->OnClick = [&](TObject*) {
    ++clicks;
    throw Exception("handler failed");
  };
  f->Show();
  ASSERT_TRUE(WaitVisible(f->source->Handle()));
  ASSERT_TRUE(Click(f->source->Handle()));
  ASSERT_TRUE(WaitFor([&] { return !seen.empty(); }, 3000));
  PumpFor(100);
  EXPECT_EQ(seen, std::vector<String>{"handler failed"});
  ASSERT_TRUE(Click(f->source->Handle(), POINT{30, 30}));
  ASSERT_TRUE(WaitFor([&] { return seen.size() == 2; }, 3000));
  EXPECT_EQ(clicks, 2);
  Application->OnException = nullptr;
}

TEST(Actions, ShortcutsThroughTheMenuAndStatesFollowedByTheLinkedControls) {
  TOwned<TPadForm> f(new TPadForm(Application, "Actions"));
  auto* list = new TActionList(f.get());
  auto* act = new TAction(f.get());
  act->SetActionList(list);
  act->SetCaption("&Knock");
  act->SetShortCut(ShortCut('K', TShiftState{ssCtrl}));
  int runs = 0;
  act->OnExecute = [&](TObject*) { ++runs; };
  auto* menu = new TMainMenu(f.get());
  auto* top = new TMenuItem(f.get());
  top->SetCaption("&File");
  menu->Items()->Add(top);
  auto* item = new TMenuItem(f.get());
  item->SetAction(act);
  top->Add(item);
  f->SetMenu(menu);
  f->source->SetAction(act);
  EXPECT_TRUE(f->source->OnClick == act->OnExecute) << "the control's handler is the action's own";
  EXPECT_EQ(f->source->Caption(), "&Knock");
  f->target->SetAction(act);
  f->target->SetCaption("Own caption");
  f->Show();
  ASSERT_TRUE(WaitVisible(f->source->Handle()));
  ASSERT_TRUE(FocusWindow(f->source->Handle()));
  ASSERT_TRUE(KeyChord({VK_CONTROL, 'K'}));
  ASSERT_TRUE(WaitFor([&] { return runs == 1; }, 2000));
  ASSERT_TRUE(Click(f->source->Handle()));
  ASSERT_TRUE(WaitFor([&] { return runs == 2; }, 2000));

  act->SetEnabled(false);
  EXPECT_FALSE(f->source->Enabled());
  EXPECT_FALSE(f->target->Enabled());
  EXPECT_TRUE(GetMenuState(top->Handle(), item->Command(), MF_BYCOMMAND) & MF_GRAYED);
  ASSERT_TRUE(KeyChord({VK_CONTROL, 'K'}));
  PumpFor(100);
  EXPECT_EQ(runs, 2) << "a disabled action's shortcut does nothing";
  act->SetCaption("Knock &again");
  EXPECT_EQ(f->source->Caption(), "Knock &again");
  EXPECT_EQ(f->target->Caption(), "Own caption") << "an overridden caption stays";
  act->SetEnabled(true);
  EXPECT_TRUE(f->source->Enabled());
  f->SetMenu(nullptr);
}

TEST(Hints, TheShortPartShowsAsATooltipAndTheLongOneGoesToOnHint) {
  TOwned<TPadForm> f(new TPadForm(Application, "Hints"));
  f->target->SetHint("Connect|Opens a new connection");
  f->target->SetShowHint(true);
  std::vector<String> hints;
  Application->OnHint = [&](TObject*) { hints.push_back(Application->Hint()); };
  f->Show();
  ASSERT_TRUE(WaitVisible(f->target->Handle()));
  // The virtual desktop may hand a stale cursor position back once after a
  // move: the mouse is put there until it stays.
  POINT over = ClientPoint(f->target->Handle(), 30, 30);
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(MoveTo(over));
    PumpFor(150);
    POINT now;
    GetCursorPos(&now);
    if (now.x == over.x && now.y == over.y) break;
  }
  HWND tip = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    tip = FindTopWindow("Connect", "THintWindow");
    return tip && IsWindowVisible(tip);
  }, 3000));
  EXPECT_NE(std::find(hints.begin(), hints.end(), "Opens a new connection"), hints.end());
  SaveDesktopScreenshot("tooltip");
  ASSERT_TRUE(MoveTo(ClientPoint(f->refuser->Handle(), 30, 30)));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(tip); }, 3000));
  EXPECT_EQ(Application->Hint(), "");
  Application->OnHint = nullptr;
}

TEST(Layout, AnchorsKeepTheDistancesToTheirEdges) {
  TOwned<TPadForm> f(new TPadForm(Application, "Anchors"));
  f->refuser->SetAnchors(TAnchors{akTop, akRight});
  f->target->SetAnchors(TAnchors{akLeft, akTop, akRight, akBottom});
  f->Show();
  ASSERT_TRUE(WaitVisible(f->Handle()));
  TRect c0 = f->ClientRect();
  int rightGap = c0.right - f->refuser->BoundsRect().right;
  int bottomGap = c0.bottom - f->target->BoundsRect().bottom;
  f->SetBounds(f->Left(), f->Top(), f->Width() + 100, f->Height() + 60);
  PumpFor(50);
  TRect c1 = f->ClientRect();
  EXPECT_EQ(c1.right - f->refuser->BoundsRect().right, rightGap);
  EXPECT_EQ(f->refuser->Width(), 110);
  EXPECT_EQ(f->target->Width(), 120 + 100);
  EXPECT_EQ(c1.bottom - f->target->BoundsRect().bottom, bottomGap);
  SaveScreenshot(f->Handle());
}

TEST(ContextMenus, ARightClickPopsTheControlsMenuUnlessOnContextPopupTakesIt) {
  TOwned<TPadForm> f(new TPadForm(Application, "Context"));
  auto* menu = new TPopupMenu(f.get());
  auto* item = new TMenuItem(f.get());
  item->SetCaption("&Refresh");
  menu->Items()->Add(item);
  f->target->SetPopupMenu(menu);
  std::vector<TComponent*> popups;
  menu->OnPopup = [&](TObject*) {
    popups.push_back(menu->PopupComponent());
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
      KillTimer(nullptr, id);
      EndMenu();
    });
  };
  int asked = 0;
  bool take = false;
  f->target->OnContextPopup = [&](TObject*, TPoint, bool& handled) {
    ++asked;
    handled = take;
  };
  f->Show();
  ASSERT_TRUE(WaitVisible(f->target->Handle()));
  ASSERT_TRUE(RightClick(f->target->Handle(), POINT{20, 30}));
  ASSERT_TRUE(WaitFor([&] { return popups.size() == 1; }, 3000));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(popups[0], f->target);
  EXPECT_EQ(menu->PopupPoint(), TPoint(ClientPoint(f->target->Handle(), 20, 30)));

  take = true;
  ASSERT_TRUE(RightClick(f->target->Handle(), POINT{60, 50}));
  ASSERT_TRUE(WaitFor([&] { return asked == 2; }, 3000));
  PumpFor(200);
  EXPECT_EQ(popups.size(), 1u) << "a handled context popup shows no menu";
}

TEST(Focus, AFormForgetsAControlThatLeavesIt) {
  auto* form = new TForm(nullptr);
  form->SetCaption("Focus");
  form->SetBounds(100, 100, 320, 200);
  auto* first = new TEdit(form);
  first->SetParent(form);
  first->SetBounds(10, 10, 120, 21);
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetBounds(10, 50, 200, 40);
  form->EndLoading();
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  ASSERT_TRUE(FocusWindow(first->Handle()));
  EXPECT_EQ(form->ActiveControl(), first);
  // The focus goes to a window of no control of the library (an edit a
  // control hosts), then the control that had it goes.
  HWND plain = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 4, 4, 100, 20, panel->Handle(), nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  ASSERT_TRUE(FocusWindow(plain));
  first->Free();
  EXPECT_EQ(form->ActiveControl(), nullptr);
  // The form taking the focus and going with it elsewhere touch no freed
  // control.
  SetFocus(form->Handle());
  ProcessQueuedMessages();
  ASSERT_TRUE(FocusWindow(plain));
  form->Free();
}
