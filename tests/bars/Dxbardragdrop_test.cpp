// Customizing mode and command drag and drop through real input: the frame
// with its main menu, the "Standard" toolbar, a second toolbar "Extra" and
// an empty floating toolbar, customizing; buttons pressed and dragged with
// the mouse, Ctrl and Esc from the keyboard.
#include <set>

#include "Menufixture.h"
#include "bars/customize/Dxbarcustform.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// The cursors shown while a drag runs, looked at every few milliseconds.
struct TCursorWatch {
  static inline std::set<HCURSOR>* Seen = nullptr;
  static inline TdxBarManager* Manager = nullptr;
  std::set<HCURSOR> Cursors;
  UINT_PTR Timer;
  explicit TCursorWatch(TdxBarManager* m) {
    Seen = &Cursors;
    Manager = m;
    Timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
      if (Seen && Manager && Manager->Dragging()) Seen->insert(GetCursor());
    });
  }
  ~TCursorWatch() {
    KillTimer(nullptr, Timer);
    Seen = nullptr;
    Manager = nullptr;
  }
  bool Saw(TCursor c) const { return Cursors.count(CursorHandle(c)) != 0; }
};

struct TCustomizingFrame {
  TScopedDialogs Dialogs;
  TMenuFrame* Form;
  TdxBar* Extra;
  TdxBar* Empty;
  TCustomizingFrame() {
    EXPECT_TRUE(Warp(POINT{1270, 1010}));
    Form = new TMenuFrame;
    Form->SetBoundsRect(Bounds(20, 20, 640, 420));
    TdxBarManager* m = Form->Bar1;
    Extra = m->Bars()->Add();
    Extra->SetCaption("Extra");
    Extra->SetDockingStyle(dsTop);
    Extra->SetRow(3);
    for (const char* name : {"ButtonCopy", "ButtonPaste"}) Extra->ItemLinks()->Add()->SetItem(Item(name));
    Empty = m->Bars()->Add();
    Empty->SetCaption("Empty");
    Empty->SetFloatLeft(380);
    Empty->SetFloatTop(260);
    Empty->SetDockingStyle(dsNone);
    Form->Show();
    Extra->SetVisible(true);
    EXPECT_TRUE(WaitVisible(Form->Handle()));
    EXPECT_TRUE(BringToFront(Form->Handle()));
    Empty->SetVisible(true);
    EXPECT_TRUE(Empty->Control() && WaitVisible(Empty->Control()->Handle()));
    ProcessQueuedMessages();
    Customize();
  }
  // Customizing with the Customize window open and active, the form
  // disabled.
  void Customize() {
    Form->Bar1->Customizing(true);
    TdxBarCustomizingForm* c = dxBarCustomizingForm();
    EXPECT_NE(c, nullptr);
    if (c) EXPECT_TRUE(WaitForeground(c->Handle()));
    EXPECT_FALSE(IsWindowEnabled(Form->Handle()));
    ProcessQueuedMessages();
  }
  // The window a person works in: the Customize window while it is open.
  HWND Front() const {
    TdxBarCustomizingForm* c = dxBarCustomizingForm();
    return c ? c->Handle() : Form->Handle();
  }
  ~TCustomizingFrame() {
    if (TCustomdxBarControl* active = ActiveBarControl()) active->HideAll();
    Form->Free();
    ProcessQueuedMessages();
  }
  TdxBarItem* Item(const String& name) const { return dynamic_cast<TdxBarItem*>(Form->FindComponent(name)); }
  TdxBarItemControl* Control(TdxBar* bar, const String& name) const { return Form->Control(bar, name); }
  // The items of a bar's links in order, a group start marked "|".
  static std::vector<String> Names(TdxBar* bar) {
    std::vector<String> v;
    for (int i = 0; i < bar->ItemLinks()->Count(); ++i) {
      TdxBarItemLink* l = bar->ItemLinks()->Items(i);
      v.push_back((l->StoredBeginGroup() ? "|" : "") + (l->Item() ? l->Item()->Name() : String("?")));
    }
    return v;
  }
  // A screen point in the client coordinates of the front window.
  POINT FormPoint(POINT screen) const {
    ScreenToClient(Front(), &screen);
    return screen;
  }
  // A screen point dx pixels right of a control's centre.
  static POINT At(TdxBarItemControl* c, int dx = 0) {
    POINT p = TMenuFrame::Centre(c);
    p.x += dx;
    return p;
  }
  // Presses at from, moves in steps to to (screen points) and releases.
  ::testing::AssertionResult DragTo(POINT from, POINT to) {
    if (auto r = Warp(from); !r) return r;
    auto r = Drag(Front(), FormPoint(from), FormPoint(to), 6);
    Warp(to);
    return r;
  }
  TGestureStep Move(POINT screen) const { return {TGestureStep::Move, FormPoint(screen)}; }
  static TGestureStep Down() { return {TGestureStep::ButtonDown}; }
  static TGestureStep Up() { return {TGestureStep::ButtonUp}; }
  static TGestureStep Key(WORD key, bool up) { return {up ? TGestureStep::KeyUp : TGestureStep::KeyDown, {}, key}; }
};

using TNames = std::vector<String>;

}  // namespace

TEST(BarsDragDrop, CustomizingRebuildsTheControlsAndStopsCommandsAndKeys) {
  TCustomizingFrame f;
  TdxBarManager* m = f.Form->Bar1;
  m->Customizing(false);
  // A command shown only while customizing.
  f.Item("ButtonStatus")->SetVisible(ivInCustomizing);
  f.Extra->ItemLinks()->Add()->SetItem(f.Item("ButtonStatus"));
  ProcessQueuedMessages();
  EXPECT_EQ(f.Control(f.Extra, "ButtonStatus"), nullptr);
  f.Customize();
  ASSERT_NE(f.Control(f.Extra, "ButtonStatus"), nullptr);
  SaveScreenshot(f.Form->Handle(), "customizing");

  // A click on the disabled form's bar selects and runs nothing; keys go
  // past the bar to the Customize window's focused list.
  TdxBarCustomizingForm* c = dxBarCustomizingForm();
  ASSERT_NE(c, nullptr);
  c->BarsList()->SetItemIndex(0);
  ASSERT_TRUE(FocusWindow(c->BarsList()->Handle()));
  TdxBarItemControl* cut = f.Control(f.Form->Standard(), "ButtonCut");
  ASSERT_TRUE(Warp(f.At(cut)));
  ASSERT_TRUE(Click(f.Front(), f.FormPoint(f.At(cut))));
  PumpFor(100);
  EXPECT_TRUE(f.Form->Executed.empty());
  EXPECT_EQ(m->SelectedItem(), f.Control(f.Form->Standard(), "ButtonCut"));
  EXPECT_EQ(GetFocus(), c->BarsList()->Handle()) << DescribeWindow(GetFocus());
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  EXPECT_EQ(m->SelectedItem(), f.Control(f.Form->Standard(), "ButtonCut"));
  EXPECT_EQ(c->BarsList()->ItemIndex(), 1);
  EXPECT_TRUE(f.Form->Executed.empty());

  m->Customizing(false);
  ProcessQueuedMessages();
  EXPECT_EQ(f.Control(f.Extra, "ButtonStatus"), nullptr);
  cut = f.Control(f.Form->Standard(), "ButtonCut");
  ASSERT_TRUE(Warp(f.At(cut)));
  ASSERT_TRUE(Click(f.Form->Handle(), f.FormPoint(f.At(cut))));
  ASSERT_TRUE(WaitFor([&] { return !f.Form->Executed.empty(); }, 2000));
  EXPECT_EQ(f.Form->Executed, TNames({"ButtonCut"}));
}

TEST(BarsDragDrop, TheDisabledFormActivatedHandsTheActivationOnAndStillTakesDrags) {
  TCustomizingFrame f;
  TdxBarCustomizingForm* c = dxBarCustomizingForm();
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(FocusWindow(c->BarsList()->Handle()));
  // Activated from outside (a task switch): the Customize window takes the
  // activation back with its focus, and a press on a bar still drags.
  SetForegroundWindow(f.Form->Handle());
  ASSERT_TRUE(WaitForeground(c->Handle()));
  EXPECT_EQ(GetFocus(), c->BarsList()->Handle()) << DescribeWindow(GetFocus());
  EXPECT_FALSE(IsWindowEnabled(f.Form->Handle()));
  ASSERT_TRUE(f.DragTo(f.At(f.Control(f.Form->Standard(), "ButtonSave")), f.At(f.Control(f.Extra, "ButtonPaste"), 6)));
  EXPECT_EQ(TCustomizingFrame::Names(f.Extra), TNames({"ButtonCopy", "ButtonPaste", "ButtonSave"}));
}

TEST(BarsDragDrop, MovesCopiesAndDeletesButtons) {
  TCustomizingFrame f;
  TdxBar* standard = f.Form->Standard();
  TCursorWatch watch(f.Form->Bar1);
  // Moved to the other bar, after its last button.
  ASSERT_TRUE(f.DragTo(f.At(f.Control(standard, "ButtonSave")), f.At(f.Control(f.Extra, "ButtonPaste"), 6)));
  EXPECT_EQ(TCustomizingFrame::Names(standard), TNames({"ButtonNew", "ButtonOpen", "|ButtonUndo", "ButtonWrap", "ButtonCut"}));
  EXPECT_EQ(TCustomizingFrame::Names(f.Extra), TNames({"ButtonCopy", "ButtonPaste", "ButtonSave"}));
  EXPECT_TRUE(watch.Saw(crdxBarDrag));
  EXPECT_FALSE(watch.Saw(crdxBarDragCopy));
  EXPECT_FALSE(f.Form->Bar1->Dragging());
  EXPECT_EQ(f.Form->Bar1->DraggingItemLink(), nullptr);
  SaveScreenshot(f.Form->Handle(), "moved");

  // Ctrl pressed on the way: copied before the other bar's first button,
  // the source kept.
  POINT from = f.At(f.Control(standard, "ButtonNew"));
  ASSERT_TRUE(Warp(from));
  ASSERT_TRUE(Gesture(f.Front(), {f.Move(from), f.Down(), f.Move(f.At(f.Control(standard, "ButtonNew"), 8)),
                                         f.Key(VK_CONTROL, false), f.Move(f.At(f.Control(f.Extra, "ButtonCopy"), -6)),
                                         f.Up(), f.Key(VK_CONTROL, true)}));
  EXPECT_EQ(TCustomizingFrame::Names(standard)[0], "ButtonNew");
  EXPECT_EQ(TCustomizingFrame::Names(f.Extra), TNames({"ButtonNew", "ButtonCopy", "ButtonPaste", "ButtonSave"}));
  EXPECT_TRUE(watch.Saw(crdxBarDragCopy));

  // Dropped off every bar: a copy changes nothing, a move deletes the
  // placement (the command stays, in its menu too).
  POINT off = CentreOf(f.Form->ClientHandle());
  from = f.At(f.Control(f.Extra, "ButtonCopy"));
  ASSERT_TRUE(Warp(from));
  ASSERT_TRUE(Gesture(f.Front(), {f.Move(from), f.Down(), f.Key(VK_CONTROL, false), f.Move(f.At(f.Control(f.Extra, "ButtonCopy"), 8)),
                                         f.Move(off), f.Up(), f.Key(VK_CONTROL, true)}));
  EXPECT_EQ(TCustomizingFrame::Names(f.Extra).size(), 4u);
  const int copyLinks = f.Item("ButtonCopy")->LinkCount();
  ASSERT_TRUE(f.DragTo(f.At(f.Control(f.Extra, "ButtonCopy")), off));
  EXPECT_EQ(TCustomizingFrame::Names(f.Extra), TNames({"ButtonNew", "ButtonPaste", "ButtonSave"}));
  ASSERT_NE(f.Item("ButtonCopy"), nullptr);
  EXPECT_EQ(f.Item("ButtonCopy")->LinkCount(), copyLinks - 1);
  EXPECT_TRUE(watch.Saw(crdxBarDragNoDrop));

  // Onto the empty bar: its first link.
  TdxBarControl* empty = f.Empty->Control();
  ASSERT_NE(empty, nullptr);
  ASSERT_TRUE(f.DragTo(f.At(f.Control(standard, "ButtonCut")), empty->ClientToScreen(TPoint(empty->ClientWidth() / 2, empty->ClientHeight() / 2))));
  EXPECT_EQ(TCustomizingFrame::Names(f.Empty), TNames({"ButtonCut"}));
  EXPECT_EQ(TCustomizingFrame::Names(standard).back(), "ButtonWrap");
  ASSERT_NE(f.Control(f.Empty, "ButtonCut"), nullptr);
  SaveScreenshot(f.Form->Handle(), "dropped");
}

TEST(BarsDragDrop, ASmallSidewaysDragSetsOrClearsTheGroupStart) {
  TCustomizingFrame f;
  TdxBar* standard = f.Form->Standard();
  // The drag starts 3 pixels out; the drop is measured from there.
  const struct {
    const char* Name;
    const char* Item;
    int Start, Delta;
    TNames After;
  } cases[] = {
      {"3 right: nothing", "ButtonOpen", 3, 3, {"ButtonNew", "ButtonOpen", "ButtonSave", "|ButtonUndo", "ButtonWrap", "ButtonCut"}},
      {"4 right: a group starts", "ButtonOpen", 3, 4, {"ButtonNew", "|ButtonOpen", "ButtonSave", "|ButtonUndo", "ButtonWrap", "ButtonCut"}},
      {"3 left: nothing", "ButtonUndo", -3, -3, {"ButtonNew", "|ButtonOpen", "ButtonSave", "|ButtonUndo", "ButtonWrap", "ButtonCut"}},
      {"4 left: the group goes", "ButtonUndo", -3, -4, {"ButtonNew", "|ButtonOpen", "ButtonSave", "ButtonUndo", "ButtonWrap", "ButtonCut"}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.Name);
    TdxBarItemControl* c = f.Control(standard, k.Item);
    ASSERT_NE(c, nullptr);
    POINT p = f.At(c);
    ASSERT_TRUE(Warp(p));
    ASSERT_TRUE(Gesture(f.Front(), {f.Move(p), f.Down(), f.Move(f.At(c, k.Start)), f.Move(f.At(c, k.Start + k.Delta)), f.Up()}));
    EXPECT_EQ(TCustomizingFrame::Names(standard), k.After);
  }
}

TEST(BarsDragDrop, DropsThatChangeNothingAndEscape) {
  TCustomizingFrame f;
  TdxBar* standard = f.Form->Standard();
  const TNames before = TCustomizingFrame::Names(standard);
  // Onto the near halves of its neighbours: the same place. Leftwards
  // that is all; rightwards it is the sideways drag that starts a group.
  const struct {
    const char* Name;
    const char* Target;
    int Dx;
    bool Group;
  } cases[] = {{"left neighbour's trailing half", "ButtonNew", 5, false},
               {"right neighbour's leading half", "ButtonSave", -5, true}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.Name);
    ASSERT_TRUE(f.DragTo(f.At(f.Control(standard, "ButtonOpen")), f.At(f.Control(standard, k.Target), k.Dx)));
    TNames after = before;
    if (k.Group) after[1] = "|ButtonOpen";
    EXPECT_EQ(TCustomizingFrame::Names(standard), after);
  }

  // Esc ends the drag over the other bar; the release drops nothing.
  POINT from = f.At(f.Control(standard, "ButtonOpen"));
  POINT over = f.At(f.Control(f.Extra, "ButtonPaste"), 6);
  ASSERT_TRUE(Warp(from));
  ASSERT_TRUE(Gesture(f.Front(), {f.Move(from), f.Down(), f.Move(f.At(f.Control(standard, "ButtonOpen"), 8)),
                                         f.Move(over), f.Key(VK_ESCAPE, false), f.Key(VK_ESCAPE, true),
                                         f.Move(POINT{over.x + 2, over.y}), f.Up()}));
  EXPECT_FALSE(f.Form->Bar1->Dragging());
  EXPECT_EQ(TCustomizingFrame::Names(standard)[2], "ButtonSave");
  EXPECT_EQ(TCustomizingFrame::Names(standard).size(), before.size());
  EXPECT_EQ(TCustomizingFrame::Names(f.Extra), TNames({"ButtonCopy", "ButtonPaste"}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST(BarsDragDrop, TheInsertionMarkInvertsAndIsErasedByASecondDrawing) {
  TCustomizingFrame f;
  TdxBarControl* bar = f.Form->Standard()->Control();
  TdxBarItemControl* save = f.Control(f.Form->Standard(), "ButtonSave");
  ASSERT_NE(save, nullptr);
  UpdateWindow(bar->Handle());
  TDibSurface plain = CaptureClient(bar->Handle());
  TRect r = bar->GetItemRect(save);
  f.Form->Bar1->DrawDraggingLine(save, false, true, false);
  TDibSurface marked = CaptureClient(bar->Handle());
  SaveScreenshot(f.Form->Handle(), "mark");
  // The two bars of the mark's stem and its top and bottom serifs.
  for (POINT p : {POINT{r.left + 2, r.top + 5}, POINT{r.left + 3, r.bottom - 5}, POINT{r.left, r.top}, POINT{r.left + 5, r.bottom - 1}}) {
    SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
    EXPECT_EQ(marked.Pixel(p.x, p.y), plain.Pixel(p.x, p.y) ^ 0xFFFFFFu);
  }
  EXPECT_EQ(marked.Pixel(r.left + 4, r.top + 5), plain.Pixel(r.left + 4, r.top + 5));
  f.Form->Bar1->DrawDraggingLine(save, false, true, false);
  TDibSurface again = CaptureClient(bar->Handle());
  int differing = 0;
  for (int y = 0; y < plain.Height(); ++y)
    for (int x = 0; x < plain.Width(); ++x) differing += plain.Pixel(x, y) != again.Pixel(x, y);
  EXPECT_EQ(differing, 0);
}

TEST(BarsDragDrop, IntoAMenuThroughItsTitle) {
  TCustomizingFrame f;
  TdxBar* standard = f.Form->Standard();
  TdxBarItemControl* cut = f.Control(standard, "ButtonCut");
  TdxBarItemControl* file = f.Control(f.Form->MainMenu(), "SubFile");
  ASSERT_NE(cut, nullptr);
  ASSERT_NE(file, nullptr);
  // Over the title its menu opens; the drop lands on the top half of the
  // menu's first entry.
  POINT from = f.At(cut), title = f.At(file);
  POINT entry{title.x + 10, TMenuFrame::ScreenRect(file).bottom + 6};
  ASSERT_TRUE(Warp(from));
  ASSERT_TRUE(Gesture(f.Front(), {f.Move(from), f.Down(), f.Move(f.At(cut, 8)), f.Move(title), f.Move(entry), f.Up()}));
  TdxBarItemLinks* links = f.Form->Sub("File")->ItemLinks();
  ASSERT_GT(links->Count(), 1);
  EXPECT_EQ(links->Items(0)->Item()->Name(), "ButtonCut");
  EXPECT_EQ(links->Items(1)->Item()->Name(), "ButtonNew");
  EXPECT_EQ(TCustomizingFrame::Names(standard).back(), "ButtonWrap");
  auto* menu = dynamic_cast<TdxBarSubMenuControl*>(links->BarControl());
  ASSERT_NE(menu, nullptr);
  EXPECT_NE(links->Items(0)->Control(), nullptr);
  SaveScreenshot(f.Form->Handle(), "menu");
}

TEST(BarsDragDrop, AnotherManagersBarTakesNoDrop) {
  TCustomizingFrame f;
  // A form of its own beside the frame, with a toolbar.
  auto* other = new TBarsForm;
  TOwned<TBarsForm> owned(other);
  other->SetBoundsRect(Bounds(700, 40, 300, 200));
  TdxBar* bar = other->AddBar("Other");
  bar->SetDockingStyle(dsTop);
  bar->ItemLinks()->Add()->SetItem(other->Button("ButtonOther", "Other"));
  other->Show();
  bar->SetVisible(true);
  ASSERT_TRUE(WaitVisible(other->Handle()));
  ASSERT_NE(bar->Control(), nullptr);
  // Back from the other form to the Customize window.
  ASSERT_TRUE(BringToFront(other->Handle()));
  // Wine activates the owned Customize window without raising it above
  // the other form and the floating bar that its activation shows again:
  // it is raised as a click on its caption would.
  SetForegroundWindow(f.Front());
  ASSERT_TRUE(WaitForeground(f.Front()));
  ProcessQueuedMessages();
  SetWindowPos(f.Front(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ASSERT_TRUE(BringToFront(f.Front()));
  TCursorWatch watch(f.Form->Bar1);
  TdxBar* standard = f.Form->Standard();
  const TNames before = TCustomizingFrame::Names(standard);
  TdxBarItemControl* target = bar->ItemLinks()->Items(0)->Control();
  ASSERT_NE(target, nullptr);
  POINT from = f.At(f.Control(standard, "ButtonSave")), over = f.At(target);
  ASSERT_TRUE(Warp(from));
  ASSERT_TRUE(Gesture(f.Front(), {f.Move(from), f.Down(), f.Key(VK_CONTROL, false), f.Move(f.At(f.Control(standard, "ButtonSave"), 8)),
                                         f.Move(over), f.Up(), f.Key(VK_CONTROL, true)}));
  EXPECT_TRUE(watch.Saw(crdxBarDragNoDrop));
  EXPECT_EQ(bar->ItemLinks()->Count(), 1);
  EXPECT_EQ(TCustomizingFrame::Names(standard), before);
}

TEST(BarsDragDrop, TheHalvesOfAGroupGap) {
  // The leading half ends the group before; the trailing half starts the
  // grouped button's group with the dropped one.
  const struct {
    const char* Name;
    bool Trailing;
    TNames After;
  } cases[] = {
      {"leading half", false, {"ButtonNew", "ButtonOpen", "ButtonSave", "ButtonCut", "|ButtonUndo", "ButtonWrap"}},
      {"trailing half", true, {"ButtonNew", "ButtonOpen", "ButtonSave", "|ButtonCut", "ButtonUndo", "ButtonWrap"}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.Name);
    TCustomizingFrame f;
    TdxBar* standard = f.Form->Standard();
    TdxBarControl* bar = standard->Control();
    TdxBarItemControl* undo = f.Control(standard, "ButtonUndo");
    ASSERT_NE(undo, nullptr);
    TRect gap = undo->SeparatorRect();
    ASSERT_FALSE(gap.Empty());
    TRect item = bar->GetItemRect(undo);
    POINT to = bar->ClientToScreen(TPoint(k.Trailing ? gap.right - 1 : gap.left + 1, (item.top + item.bottom) / 2));
    ASSERT_TRUE(f.DragTo(f.At(f.Control(standard, "ButtonCut")), to));
    EXPECT_EQ(TCustomizingFrame::Names(standard), k.After);
  }
}

TEST(BarsDragDrop, ACommandFreedDuringTheDragEndsIt) {
  TCustomizingFrame f;
  static TdxBarManager* manager;
  static TdxBarItem* doomed;
  manager = f.Form->Bar1;
  doomed = f.Item("ButtonSave");
  UINT_PTR timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
    if (doomed && manager->Dragging()) {
      TdxBarItem* item = doomed;
      doomed = nullptr;
      item->Free();
    }
  });
  TdxBar* standard = f.Form->Standard();
  POINT from = f.At(f.Control(standard, "ButtonSave"));
  POINT to = f.At(f.Control(f.Extra, "ButtonPaste"), 6);
  ASSERT_TRUE(Warp(from));
  ::testing::AssertionResult done = Gesture(
      f.Front(), {f.Move(from), f.Down(), f.Move(f.At(f.Control(standard, "ButtonSave"), 8)),
                         f.Move(POINT{(from.x + to.x) / 2, from.y + 3}), f.Move(to), f.Up()});
  KillTimer(nullptr, timer);
  ASSERT_TRUE(done);
  EXPECT_EQ(doomed, nullptr);
  EXPECT_FALSE(manager->Dragging());
  EXPECT_EQ(manager->DraggingItem(), nullptr);
  EXPECT_EQ(TCustomizingFrame::Names(standard), TNames({"ButtonNew", "ButtonOpen", "|ButtonUndo", "ButtonWrap", "ButtonCut"}));
  EXPECT_EQ(TCustomizingFrame::Names(f.Extra), TNames({"ButtonCopy", "ButtonPaste"}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST(BarsDragDrop, ADragWhoseReleaseWasMissedEndsByItself) {
  // The button is already up when the drag begins, and no release will
  // come: the drag ends without a drop instead of waiting for a click.
  TCustomizingFrame f;
  TdxBarManager* m = f.Form->Bar1;
  TdxBar* standard = f.Form->Standard();
  ASSERT_FALSE(LeftButtonPressed());
  TdxBarItemLink* link = standard->ItemLinks()->Items(2);
  DWORD start = GetTickCount();
  m->DragAndDrop(link->Item(), link);
  EXPECT_LT(GetTickCount() - start, 2000u);
  EXPECT_FALSE(m->Dragging());
  EXPECT_EQ(m->DraggingItem(), nullptr);
  EXPECT_EQ(TCustomizingFrame::Names(standard), TNames({"ButtonNew", "ButtonOpen", "ButtonSave", "|ButtonUndo", "ButtonWrap", "ButtonCut"}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST(BarsDragDrop, CtrlDuringTheDragDrawsAndErasesTheMarkAtOnce) {
  TCustomizingFrame f;
  TdxBar* standard = f.Form->Standard();
  TdxBarItemControl* open = f.Control(standard, "ButtonOpen");
  TdxBarItemControl* left = f.Control(standard, "ButtonNew");
  ASSERT_NE(open, nullptr);
  ASSERT_NE(left, nullptr);
  // Over the left neighbour's trailing half a move changes nothing: no
  // mark. A copy there goes before Open: the mark's stem at Open's leading
  // edge comes with Ctrl and goes with it, the mouse held still.
  static TdxBarManager* manager;
  static POINT stem;
  static COLORREF samples[3];  // before Ctrl, with Ctrl, after Ctrl
  static int state;
  manager = f.Form->Bar1;
  TRect r = TMenuFrame::ScreenRect(open);
  stem = POINT{r.left + 2, r.top + 5};
  state = 0;
  std::fill(std::begin(samples), std::end(samples), CLR_INVALID);
  UINT_PTR timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
    if (!manager->Dragging()) return;
    bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    if (state == 0 && ctrl) state = 1;
    if (state == 1 && !ctrl) state = 2;
    samples[state] = CaptureScreen(RECT{stem.x, stem.y, stem.x + 1, stem.y + 1}).Pixel(0, 0);
  });
  POINT from = f.At(open), to = f.At(left, 6);
  ASSERT_TRUE(Warp(from));
  ::testing::AssertionResult done =
      Gesture(f.Front(), {f.Move(from), f.Down(), f.Move(f.At(open, 8)), f.Move(to), f.Key(VK_CONTROL, false),
                                 f.Key(VK_CONTROL, true), f.Up()});
  KillTimer(nullptr, timer);
  ASSERT_TRUE(done);
  ASSERT_NE(samples[0], CLR_INVALID);
  EXPECT_EQ(samples[1], samples[0] ^ 0xFFFFFFu);
  EXPECT_EQ(samples[2], samples[0]);
  EXPECT_EQ(TCustomizingFrame::Names(standard)[1], "ButtonOpen");
  EXPECT_EQ(TCustomizingFrame::Names(standard).size(), 6u);
}


TEST(BarsDragDrop, CommandsDraggedFromTheCustomizeWindow) {
  TCustomizingFrame f;
  TdxBarCustomizingForm* c = dxBarCustomizingForm();
  ASSERT_NE(c, nullptr);
  c->SelectPage(1);
  ProcessQueuedMessages();
  TCommandsListBox* list = c->CommandsList();
  ASSERT_TRUE(WaitVisible(list->Handle()));
  // The screen centre of a command's row in the list, scrolled into view.
  auto row = [&](const String& name) {
    for (int i = 0; i < list->Items()->Count(); ++i)
      if (list->Item(i) && list->Item(i)->Name() == name) {
        SendMessageA(list->Handle(), LB_SETTOPINDEX, i, 0);
        UpdateWindow(list->Handle());
        TRect r = list->ItemRect(i);
        return list->ClientToScreen(TPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
      }
    ADD_FAILURE() << "no row " << name;
    return TPoint();
  };
  TCursorWatch watch(f.Form->Bar1);
  TdxBarControl* empty = f.Empty->Control();
  ASSERT_NE(empty, nullptr);
  const POINT onEmpty = empty->ClientToScreen(TPoint(empty->ClientWidth() / 2, empty->ClientHeight() / 2));
  const POINT onPaste = f.At(f.Control(f.Extra, "ButtonPaste"), -6);
  const POINT onCustomize = c->ClientToScreen(TPoint(c->ClientWidth() / 2, 20));
  const POINT offBars = CentreOf(f.Form->ClientHandle());
  // A new command goes in where it is dropped; on the Customize window or
  // off every bar it goes nowhere.
  const struct {
    const char* Name;
    const char* Command;
    POINT To;
    TNames Extra, Empty;
  } cases[] = {
      {"onto the empty toolbar: its first link", "ButtonMail", onEmpty, {"ButtonCopy", "ButtonPaste"}, {"ButtonMail"}},
      {"onto the leading half of a button", "ButtonStatus", onPaste, {"ButtonCopy", "ButtonStatus", "ButtonPaste"}, {"ButtonMail"}},
      {"onto the Customize window", "ButtonAbout", onCustomize, {"ButtonCopy", "ButtonStatus", "ButtonPaste"}, {"ButtonMail"}},
      {"off every bar", "ButtonAbout", offBars, {"ButtonCopy", "ButtonStatus", "ButtonPaste"}, {"ButtonMail"}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.Name);
    const int links = f.Item(k.Command)->LinkCount();
    ASSERT_TRUE(f.DragTo(row(k.Command), k.To));
    EXPECT_EQ(TCustomizingFrame::Names(f.Extra), k.Extra);
    EXPECT_EQ(TCustomizingFrame::Names(f.Empty), k.Empty);
    EXPECT_FALSE(f.Form->Bar1->Dragging());
    EXPECT_EQ(GetCapture(), nullptr);
    // The command stays in the list, and its other links stay.
    EXPECT_EQ(list->Item(list->ItemIndex())->Name(), k.Command);
    EXPECT_GE(f.Item(k.Command)->LinkCount(), links);
  }
  ASSERT_NE(f.Control(f.Empty, "ButtonMail"), nullptr);
  ASSERT_NE(f.Control(f.Extra, "ButtonStatus"), nullptr);
  EXPECT_TRUE(watch.Saw(crdxBarDragCopy));
  EXPECT_TRUE(watch.Saw(crdxBarDragNoDrop));
  EXPECT_FALSE(watch.Saw(crdxBarDrag));
  EXPECT_TRUE(f.Form->Executed.empty());
  SaveScreenshot(f.Form->Handle(), "dropped");
  SaveScreenshot(c->Handle(), "customize");
}
