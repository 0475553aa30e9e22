// The common bar window driven by sent messages: the chain of active bar
// windows, selection by key and by mouse, presses and releases, keys and
// accelerators, the drop position, and the click sequence of the item
// controls with a handler that rebuilds every bar.
#include <cstring>

#include "Barstest.h"
#include "support/Pixels.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// Two bars of caption buttons on a shown form: "Tools" (&Open, &Save,
// &Print, &Send; Print begins a group) and "Other" (Plain).
struct TBarCase {
  std::unique_ptr<TScopedControlClass> Controls;
  TScopedBarSystem Sys;
  TBarsForm* Form = new TBarsForm;
  TdxBar* Tools;
  TdxBar* Other;
  std::map<String, int> Clicks;
  // buttons: the control class of the buttons (the real one by default).
  explicit TBarCase(TdxBarItemControlClass buttons = nullptr) {
    if (buttons) Controls.reset(new TScopedControlClass(TdxBarButton::Class(), buttons));
    SetCursorPos(1270, 1010);
    Form->SetBounds(40, 40, 600, 300);
    Tools = Form->AddBar("Tools");
    for (const char* caption : {"&Open", "&Save", "&Print", "&Send"}) {
      String name = GetTextOf(caption);
      TdxBarButton* b = Form->Button(name, caption);
      b->SetPaintStyle(psCaption);
      b->OnClick = [this, name](TObject*) { ++Clicks[name]; };
      Tools->ItemLinks()->Add()->SetItem(b);
    }
    Tools->ItemLinks()->Items(2)->SetBeginGroup(true);
    Other = Form->AddBar("Other");
    Other->SetDockedLeft(400);
    Other->ItemLinks()->Add()->SetItem(Form->Button("Plain", "Plain"));
    Tools->SetVisible(true);
    Other->SetVisible(true);
    Form->Show();
    EXPECT_TRUE(WaitVisible(Form->Handle()));
    ProcessQueuedMessages();
  }
  ~TBarCase() { Form->Free(); }
  TdxBarControl* Bar(TdxBar* bar = nullptr) { return (bar ? bar : Tools)->Control(); }
  TdxBarItemControl* Control(int i, TdxBar* bar = nullptr) { return (bar ? bar : Tools)->ItemLinks()->Items(i)->Control(); }
  TPoint Centre(int i, TdxBar* bar = nullptr) {
    TRect r = (bar ? bar : Tools)->ItemLinks()->Items(i)->ItemRect();
    return TPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  void Send(UINT msg, TPoint p, TdxBar* bar = nullptr) {
    SendMessageA(Bar(bar)->Handle(), msg, 0, MAKELPARAM(p.x, p.y));
  }
  void Key(WORD key, TdxBar* bar = nullptr) { SendMessageA(Bar(bar)->Handle(), WM_KEYDOWN, key, 0); }
  // A menu window of a sub item, chained under parent.
  TdxBarSubMenuControl* Menu(const String& name, TCustomdxBarControl* parent) {
    TdxBarSubItem* sub = Form->SubItem(name, name);
    sub->ItemLinks()->Add()->SetItem(Form->Button(name + "Entry", "Entry"));
    sub->ItemLinks()->CreateBarControl();
    auto* menu = dynamic_cast<TdxBarSubMenuControl*>(sub->ItemLinks()->BarControl());
    menu->SetParentBar(parent);
    parent->SetChildBar(menu);
    menu->SetBounds(100, 100, 120, 40);
    menu->HandleNeeded();
    sub->ItemLinks()->Items(0)->SetItemRect(TRect(0, 0, 120, 20));
    return menu;
  }
};

}  // namespace

TEST(BarsBarWindow, TheActiveChainUnwindsToTheWindowBeforeIt) {
  TBarCase c;
  TdxBarControl* tools = c.Bar();
  TdxBarControl* other = c.Bar(c.Other);
  other->SetIsActive(true);
  tools->SetIsActive(true);
  EXPECT_EQ(ActiveBarControl(), tools);
  TdxBarSubMenuControl* menu = c.Menu("Menu", tools);
  menu->SetIsActive(true);
  TdxBarSubMenuControl* submenu = c.Menu("Submenu", menu);
  submenu->SetIsActive(true);
  EXPECT_EQ(ActiveBarControl(), submenu);
  EXPECT_EQ(submenu->PrevActiveBarControl(), menu);
  // Mouse input reaches the chain's windows only.
  c.Send(WM_MOUSEMOVE, c.Centre(0, c.Other), c.Other);
  EXPECT_EQ(other->SelectedControl(), nullptr);
  c.Sys.System.Cursor = TPoint(-5, -5);
  c.Send(WM_MOUSEMOVE, c.Centre(1));
  EXPECT_EQ(tools->SelectedControl(), c.Control(1));
  submenu->HideAll();
  EXPECT_FALSE(submenu->IsActive());
  EXPECT_FALSE(menu->IsActive());
  EXPECT_FALSE(tools->IsActive());
  EXPECT_EQ(ActiveBarControl(), other);
  EXPECT_TRUE(other->IsActive());
  other->SetIsActive(false);
  EXPECT_EQ(ActiveBarControl(), nullptr);
}

TEST(BarsBarWindow, NeitherActivationNorTheFocus) {
  TBarCase c;
  HWND bar = c.Bar()->Handle();
  EXPECT_EQ(SendMessageA(bar, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(c.Form->Handle()),
                         MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
            MA_NOACTIVATE);
  ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == c.Form->Handle(); }) ||
              (SetForegroundWindow(c.Form->Handle()), true));
  SetFocus(bar);
  EXPECT_EQ(GetFocus(), c.Form->Handle());
}

TEST(BarsBarWindow, ADisabledItemIsDrawnSelectedByKeyNotByMouse) {
  TBarCase c;
  TdxBarControl* bar = c.Bar();
  TdxBarItemControl* save = c.Control(1);
  dynamic_cast<TdxBarItem*>(c.Form->FindComponent("Save"))->SetEnabled(false);
  TRect r = c.Tools->ItemLinks()->Items(1)->ItemRect();
  auto raised = [&] {
    TDibSurface shot = CaptureClient(bar->Handle());

    return shot.Pixel(r.left, r.top) == GetSysColor(COLOR_BTNHIGHLIGHT);
  };
  bar->SetKeySelectedItem(save);
  EXPECT_TRUE(save->DrawSelected());
  EXPECT_TRUE(raised());
  bar->SetMouseSelectedItem(nullptr);
  bar->SetMouseSelectedItem(save);
  EXPECT_EQ(bar->SelectedControl(), save);
  EXPECT_FALSE(save->DrawSelected());
  EXPECT_FALSE(raised());
  // Selected and then disabled: the selection goes.
  bar->SetKeySelectedItem(c.Control(0));
  dynamic_cast<TdxBarItem*>(c.Form->FindComponent("Open"))->SetEnabled(false);
  EXPECT_EQ(bar->SelectedControl(), nullptr);
}

TEST(BarsBarWindow, TheMouseSelectsOnlyWhenItReallyMoved) {
  TBarCase c;
  TdxBarControl* bar = c.Bar();
  // The cursor rests where the first item is; the second is chosen by key.
  TPoint first = c.Centre(0);
  c.Sys.System.Cursor = bar->ClientToScreen(first);
  bar->SetKeySelectedItem(c.Control(1));
  // A window appearing under the cursor: no real move, no new selection.
  c.Send(WM_MOUSEMOVE, first);
  EXPECT_EQ(bar->SelectedControl(), c.Control(1));
  c.Send(WM_MOUSEMOVE, TPoint(first.x + 1, first.y));
  EXPECT_EQ(bar->SelectedControl(), c.Control(0));
  EXPECT_TRUE(c.Control(0)->MouseSelected());
}

TEST(BarsBarWindow, KeysMoveTheSelectionAndAcceleratorsRunOrMoveIt) {
  TBarCase c;
  TdxBarControl* bar = c.Bar();
  bar->SetIsActive(true);
  // Left with nothing selected: the first, not the last.
  c.Key(VK_LEFT);
  EXPECT_EQ(bar->SelectedControl(), c.Control(0));
  c.Key(VK_LEFT);
  EXPECT_EQ(bar->SelectedControl(), c.Control(3));
  c.Key(VK_HOME);
  EXPECT_EQ(bar->SelectedControl(), c.Control(0));
  c.Key(VK_TAB);
  EXPECT_EQ(bar->SelectedControl(), c.Control(1));
  c.Key(VK_END);
  EXPECT_EQ(bar->SelectedControl(), c.Control(3));
  // Two links share S: the letter moves between them and runs neither.
  c.Key('S');
  EXPECT_EQ(bar->SelectedControl(), c.Control(1));
  c.Key('S');
  EXPECT_EQ(bar->SelectedControl(), c.Control(3));
  EXPECT_TRUE(c.Clicks.empty());
  // One link has P: it runs at once, and the chain closes.
  c.Key('P');
  EXPECT_EQ(c.Clicks["Print"], 1);
  EXPECT_EQ(c.Clicks.size(), 1u);
  EXPECT_EQ(ActiveBarControl(), nullptr);
  // Without an active bar window keys do nothing.
  c.Key('O');
  EXPECT_EQ(c.Clicks["Open"], 0);
}

TEST(BarsBarWindow, APressReleasedOverAnotherButtonRunsNothing) {
  TBarCase c;
  c.Send(WM_LBUTTONDOWN, c.Centre(0));
  EXPECT_TRUE(c.Bar()->IsActive());
  EXPECT_EQ(c.Bar()->SelectedControl(), c.Control(0));
  c.Send(WM_LBUTTONUP, c.Centre(1));
  EXPECT_TRUE(c.Clicks.empty());
  EXPECT_FALSE(c.Bar()->IsActive());
  EXPECT_EQ(ActiveBarControl(), nullptr);
  // Pressed and released on one button: it runs once.
  c.Send(WM_LBUTTONDOWN, c.Centre(2));
  c.Send(WM_LBUTTONUP, c.Centre(2));
  EXPECT_EQ(c.Clicks["Print"], 1);
  EXPECT_EQ(c.Clicks.size(), 1u);
  EXPECT_EQ(ActiveBarControl(), nullptr);
}

TEST(BarsBarWindow, DropPositions) {
  TBarCase c;
  TdxBarControl* bar = c.Bar();
  TRect open = c.Tools->ItemLinks()->Items(0)->ItemRect();
  TRect print = c.Tools->ItemLinks()->Items(2)->ItemRect();
  TRect send = c.Tools->ItemLinks()->Items(3)->ItemRect();
  ASSERT_FALSE(c.Control(2)->SeparatorRect().Empty());
  struct TCase {
    const char* Name;
    TPoint P;
    int Item;
    bool Outside, Vertical, FirstHalf;
  } cases[] = {
      {"left half", TPoint(open.left + 2, open.top + 2), 0, false, false, true},
      {"right half", TPoint(open.right - 2, open.top + 2), 0, false, false, false},
      {"in the group gap", TPoint(c.Control(2)->SeparatorRect().left + 1, print.top + 2), 2, true, false, true},
      {"beside the line's last control", TPoint(send.right + 3, send.top + 2), 3, false, false, false},
      {"below the line", TPoint(send.left + 2, bar->ClientRect().bottom + 5), -1, false, false, false},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.Name);
    bool outside = false, vertical = false, firstHalf = false;
    TdxBarItemControl* found = bar->ItemAtPosEx(k.P, outside, vertical, firstHalf);
    EXPECT_EQ(found, k.Item < 0 ? nullptr : c.Control(k.Item));
    if (!found) continue;
    EXPECT_EQ(outside, k.Outside);
    EXPECT_EQ(vertical, k.Vertical);
    EXPECT_EQ(firstHalf, k.FirstHalf);
  }
}

namespace {

std::vector<String>& ClickLog() {
  static std::vector<String> log;
  return log;
}

// A button control that logs its pressed mark with what has happened so
// far; freed, it is poisoned and kept, so that a late use of it crashes.
class TLoggingButtonControl : public TdxBarButtonControl {
 public:
  using TdxBarButtonControl::TdxBarButtonControl;
  DX_BAR_CONTROL_CLASS();
  static TRecordingDialogs* Dialogs;
  void PressedChanged() override {
    TdxBarItemLink* link = ItemLink();
    ClickLog().push_back(String(Pressed() ? "pressed" : "unpressed") + " sounds " +
                         IntToStr(Dialogs ? static_cast<int>(Dialogs->Sounds.size()) : 0) + " recent " +
                         IntToStr(link->RecentIndex()) + " use " + IntToStr(link->UseCount()) + " active " +
                         IntToStr(Parent()->IsActive()));
    TdxBarButtonControl::PressedChanged();
  }
  static void operator delete(void* p, size_t size) { std::memset(p, 0xDD, size); }
};
TRecordingDialogs* TLoggingButtonControl::Dialogs = nullptr;
DX_BAR_CONTROL_CLASS_IMPL(TLoggingButtonControl)

}  // namespace

TEST(BarsBarWindow, TheClickSequenceOfAControl) {
  TScopedDialogs d;
  TLoggingButtonControl::Dialogs = &d.Dialogs;
  TBarCase c(TLoggingButtonControl::Class());
  auto* save = dynamic_cast<TdxBarItem*>(c.Form->FindComponent("Save"));
  TdxBarItemLink* link = c.Tools->ItemLinks()->Items(1);
  int use = link->UseCount();
  ASSERT_NE(link->RecentIndex(), 0);
  save->OnClick = [&](TObject*) {
    ClickLog().push_back("handler active " + IntToStr(c.Bar()->IsActive()) + " click link " +
                         IntToStr(save->ClickItemLink() == link));
  };
  ClickLog().clear();
  // On a toolbar: no sound, recent bump, pressed, menus closed, handler,
  // then the mark cleared.
  c.Send(WM_LBUTTONDOWN, c.Centre(1));
  c.Send(WM_LBUTTONUP, c.Centre(1));
  std::vector<String> want = {"pressed sounds 0 recent 0 use " + IntToStr(use + 1) + " active 1",
                              "handler active 0 click link 1", "unpressed sounds 0 recent 0 use " + IntToStr(use + 1) +
                                                                    " active 0"};
  EXPECT_EQ(ClickLog(), want);
  EXPECT_EQ(save->ClickItemLink(), nullptr);
  // In a menu (which sounded as it opened): the command sound first, then
  // the handler; nothing pressed (the menu hides on a click).
  TdxBarSubMenuControl* menu = c.Menu("Menu", c.Bar());
  auto* entry = dynamic_cast<TdxBarItem*>(c.Form->FindComponent("MenuEntry"));
  entry->OnClick = [&](TObject*) {
    ClickLog().push_back("menu handler sounds " + IntToStr(static_cast<int>(d.Dialogs.Sounds.size())) + " active " +
                         IntToStr(menu->IsActive()));
  };
  ClickLog().clear();
  menu->SetIsActive(true);
  SendMessageA(menu->Handle(), WM_LBUTTONDOWN, 0, MAKELPARAM(10, 10));
  SendMessageA(menu->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(ClickLog(), std::vector<String>({"menu handler sounds 2 active 0"}));
  ASSERT_EQ(d.Dialogs.Sounds.size(), 2u);
  EXPECT_EQ(d.Dialogs.Sounds[0].Alias, "MenuPopup");
  EXPECT_EQ(d.Dialogs.Sounds[1].Alias, "MenuCommand");
  TLoggingButtonControl::Dialogs = nullptr;
}

TEST(BarsBarWindow, AHandlerThatRebuildsEveryBarTouchesNoFreedControl) {
  TBarCase c(TLoggingButtonControl::Class());
  TdxBarManager* m = c.Form->Manager;
  TdxBarItemControl* before = c.Control(0);
  auto* open = dynamic_cast<TdxBarItem*>(c.Form->FindComponent("Open"));
  open->OnClick = [&](TObject*) {
    // As the application's "Customize Toolbars" will: every control of
    // every bar is made again.
    for (int i = 0; i < m->Bars()->Count(); ++i)
      if (TdxBarControl* bar = m->Bars()->Items(i)->Control()) {
        bar->DestroyControls();
        bar->CreateControls();
      }
    ClickLog().push_back("rebuilt");
  };
  ClickLog().clear();
  c.Send(WM_LBUTTONDOWN, c.Centre(0));
  c.Send(WM_LBUTTONUP, c.Centre(0));
  ASSERT_EQ(ClickLog().size(), 2u);
  EXPECT_EQ(ClickLog()[0].substr(0, 8), "pressed ");
  EXPECT_EQ(ClickLog()[1], "rebuilt");
  TdxBarItemControl* after = c.Control(0);
  ASSERT_NE(after, nullptr);
  EXPECT_NE(after, before);
  EXPECT_FALSE(after->Pressed());
  // The bar still works.
  c.Send(WM_LBUTTONDOWN, c.Centre(1));
  c.Send(WM_LBUTTONUP, c.Centre(1));
  EXPECT_EQ(c.Clicks["Save"], 1);
}
