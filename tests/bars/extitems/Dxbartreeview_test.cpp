// The tree-view combo on a toolbar and in a menu of a shown form: the
// drop-down's strip below and above, the grip and the close button, nodes
// chosen by click, double click and Enter, a refusing handler, the edit
// keeping the focus, and the "Select item" dialog where the combo is a
// button.
#include "Itemsfixture.h"

#include <atomic>
#include <thread>

#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// The tree combo with two branches whose leaves share a text.
struct TTreeItems : TItemsFixture {
  TdxBarTreeViewCombo* Combo;
  int Changes = 0;
  explicit TTreeItems(TRect bounds = Bounds(20, 20, 640, 420)) : TItemsFixture(bounds) {
    Combo = new TdxBarTreeViewCombo(Form);
    Combo->SetName("ComboTree");
    Combo->SetCaption("Tree");
    Combo->SetWidth(140);
    Combo->SetFullExpand(true);
    TTreeNodes* n = Combo->Items();
    TTreeNode* fruit = n->Add(nullptr, "Fruit");
    n->AddChild(fruit, "Apple");
    n->AddChild(fruit, "Pear");
    TTreeNode* veg = n->Add(nullptr, "Vegetables");
    n->AddChild(veg, "Pear");
    n->AddChild(veg, "Leek");
    Combo->OnChange = [this](TObject*) { ++Changes; };
    Place(Combo);
  }
  TdxBarTreeView* Tree() { return Combo->TreeView(); }
  HWND Popup() {
    HWND w = Tree()->HandleAllocated() ? Tree()->Handle() : nullptr;
    return w && IsWindowVisible(w) ? w : nullptr;
  }
  ::testing::AssertionResult Open(TdxBarItemControl* c) {
    if (auto r = ClickOn(c, Centre(c)); !r) return r;
    if (!WaitUntil([&] { return Popup() != nullptr; }, 2000)) return ::testing::AssertionFailure() << "no drop-down";
    PumpFor(100);
    return ::testing::AssertionSuccess();
  }
  // A screen point on a node's label.
  POINT NodePoint(int absoluteIndex) {
    TRect r = Tree()->Items()->Item(absoluteIndex)->DisplayRect(true);
    return ClientPoint(Popup(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  HWND FormWindow() { return Form->Handle(); }
  POINT FormPoint(POINT screen) {
    ScreenToClient(FormWindow(), &screen);
    return screen;
  }
};

// Clicks at a screen point, the buttons sent from another thread while
// this one pumps: a press in the tree waits in a loop of its own for the
// release. Nothing is brought to the front (that would close a menu).
::testing::AssertionResult ClickAtScreen(POINT p, int times = 1) {
  if (auto r = MoveTo(p); !r) return r;
  std::atomic<bool> done{false};
  std::thread sender([&] {
    for (int i = 0; i < 2 * times; ++i) {
      INPUT in{};
      in.type = INPUT_MOUSE;
      in.mi.dwFlags = i % 2 == 0 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
      SendInput(1, &in, sizeof in);
      Sleep(40);
    }
    done = true;
  });
  bool finished = WaitUntil([&] { return done.load(); }, 3000);
  sender.join();
  WaitInputProcessed();
  if (!finished) return ::testing::AssertionFailure() << "the clicks were not sent";
  return ::testing::AssertionSuccess();
}

POINT Centre(const TRect& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

}  // namespace

TEST(BarsTreeComboInput, DroppedBelowTheStripIsAtTheBottomAndADoubleClickChooses) {
  TTreeItems f;
  TdxBarItemControl* c = f.ToolbarControl(f.Combo);
  ASSERT_NE(c, nullptr);
  SaveScreenshot(f.FormWindow(), "closed");
  ASSERT_TRUE(f.Open(c));
  HWND popup = f.Popup();
  RECT w;
  GetWindowRect(popup, &w);
  TRect item = c->Parent()->GetItemScreenRect(c);
  EXPECT_GE(w.top, item.bottom - 1);
  EXPECT_EQ(f.Tree()->Corner(), coBottomRight);
  EXPECT_EQ(w.right - w.left, 150);
  EXPECT_EQ(w.bottom - w.top, 200);
  TRect grip = f.Tree()->GripRect(), close = f.Tree()->CloseButtonRect();
  EXPECT_GE(grip.right, w.right - 3);
  EXPECT_GE(grip.bottom, w.bottom - 3);
  EXPECT_LT(close.left, w.left + 40);
  EXPECT_GT(close.top, w.bottom - dxDropDownNCHeight() - 2);
  // The frame's strip is drawn: the client ends above it.
  RECT cr;
  GetClientRect(popup, &cr);
  EXPECT_EQ(cr.bottom, 200 - 2 - dxDropDownNCHeight());
  SaveDesktopScreenshot("dropped");

  // A single click only selects (and shows the text in the field); the
  // edit keeps the focus.
  ASSERT_TRUE(ClickAtScreen(f.NodePoint(2)));
  PumpFor(100);
  EXPECT_EQ(f.Popup(), popup);
  EXPECT_EQ(f.Tree()->Selected(), f.Combo->Items()->Item(2));
  EXPECT_EQ(f.Combo->CurText(), "Pear");
  EXPECT_TRUE(c->HostedWindowFocused());
  EXPECT_EQ(f.Changes, 0);
  // A double click chooses the node under it.
  ASSERT_TRUE(ClickAtScreen(f.NodePoint(5), 2));
  ASSERT_TRUE(WaitUntil([&] { return !f.Popup(); }, 2000));
  EXPECT_EQ(f.Combo->Text(), "Leek");
  EXPECT_EQ(f.Combo->SelectedNode(), f.Combo->Items()->Item(5));
  EXPECT_EQ(f.Changes, 1);

  // In the menu, chosen by a single click.
  f.Combo->SetChooseByDblClick(false);
  ASSERT_NE(f.OpenMenu(), nullptr);
  TdxBarItemControl* inMenu = f.MenuControl(f.Combo);
  ASSERT_NE(inMenu, nullptr);
  ASSERT_TRUE(f.Open(inMenu));
  SaveDesktopScreenshot("menu");
  ASSERT_TRUE(ClickAtScreen(f.NodePoint(1)));
  ASSERT_TRUE(WaitUntil([&] { return !f.Popup(); }, 2000));
  EXPECT_EQ(f.Combo->Text(), "Apple");
  EXPECT_EQ(f.Changes, 2);
}

TEST(BarsTreeComboInput, EnterChoosesUnlessTheHandlerRefuses) {
  TTreeItems f;
  bool allow = false;
  std::vector<String> asked;
  f.Combo->OnCanSelectNode = [&](TObject*, TTreeNode* node, bool& a) {
    asked.push_back(node ? node->Text() : String("-"));
    a = allow;
  };
  TdxBarItemControl* c = f.ToolbarControl(f.Combo);
  ASSERT_TRUE(f.Open(c));
  // Arrows move in the tree while the edit keeps the keyboard.
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  EXPECT_EQ(f.Tree()->Selected(), f.Combo->Items()->Item(2));
  EXPECT_TRUE(f.ToolbarControl(f.Combo)->HostedWindowFocused());
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  PumpFor(100);
  EXPECT_NE(f.Popup(), nullptr);
  EXPECT_EQ(f.Combo->Text(), "");
  EXPECT_EQ(asked, std::vector<String>{"Pear"});
  allow = true;
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(WaitUntil([&] { return !f.Popup(); }, 2000));
  EXPECT_EQ(f.Combo->Text(), "Pear");
  EXPECT_EQ(f.Combo->SelectedNode(), f.Combo->Items()->Item(2));
  EXPECT_EQ(f.Changes, 1);
}

TEST(BarsTreeComboInput, TheCloseButtonClosesOnlyWhenReleasedOnIt) {
  TTreeItems f;
  TdxBarItemControl* c = f.ToolbarControl(f.Combo);
  ASSERT_TRUE(f.Open(c));
  HWND popup = f.Popup();
  TRect close = f.Tree()->CloseButtonRect();
  ASSERT_FALSE(close.Empty());
  // Pressed there, released in the tree: it stays open.
  ASSERT_TRUE(MoveTo(Centre(close)));
  PumpFor(50);
  EXPECT_TRUE(f.Tree()->MouseAboveCloseButton());
  ASSERT_TRUE(MouseDown());
  PumpFor(50);
  EXPECT_TRUE(f.Tree()->CloseButtonTracking());
  SaveDesktopScreenshot("close-pressed");
  ASSERT_TRUE(MoveTo(f.NodePoint(0)));
  ASSERT_TRUE(MouseUp());
  PumpFor(100);
  EXPECT_EQ(f.Popup(), popup);
  EXPECT_FALSE(f.Tree()->CloseButtonTracking());
  // Pressed and released on it: closed, nothing chosen.
  ASSERT_TRUE(ClickAtScreen(Centre(close)));
  ASSERT_TRUE(WaitUntil([&] { return !f.Popup(); }, 2000));
  EXPECT_EQ(f.Combo->Text(), "");
  EXPECT_EQ(f.Changes, 0);
}

TEST(BarsTreeComboInput, TheGripSizesTheDropDownNeverBelowAHundred) {
  TTreeItems f;
  TdxBarItemControl* c = f.ToolbarControl(f.Combo);
  ASSERT_TRUE(f.Open(c));
  HWND popup = f.Popup();
  RECT w;
  GetWindowRect(popup, &w);
  TRect grip = f.Tree()->GripRect();
  POINT from = Centre(grip);
  // Larger, then far too small.
  ASSERT_TRUE(Gesture(f.FormWindow(), {{TGestureStep::Move, f.FormPoint(from)},
                                       {TGestureStep::ButtonDown},
                                       {TGestureStep::Move, f.FormPoint(POINT{from.x + 30, from.y + 20})},
                                       {TGestureStep::Move, f.FormPoint(POINT{from.x + 60, from.y + 40})},
                                       {TGestureStep::ButtonUp}}));
  ASSERT_TRUE(WaitUntil([&] { return f.Combo->DropDownWidth() == 210; }, 2000)) << f.Combo->DropDownWidth();
  EXPECT_EQ(f.Combo->DropDownHeight(), 240);
  ASSERT_EQ(f.Popup(), popup);
  SaveDesktopScreenshot("sized");
  grip = f.Tree()->GripRect();
  from = Centre(grip);
  ASSERT_TRUE(Gesture(f.FormWindow(), {{TGestureStep::Move, f.FormPoint(from)},
                                       {TGestureStep::ButtonDown},
                                       {TGestureStep::Move, f.FormPoint(POINT{from.x - 100, from.y - 100})},
                                       {TGestureStep::Move, f.FormPoint(POINT{from.x - 200, from.y - 200})},
                                       {TGestureStep::ButtonUp}}));
  ASSERT_TRUE(WaitUntil([&] { return f.Combo->DropDownWidth() == 100; }, 2000)) << f.Combo->DropDownWidth();
  EXPECT_EQ(f.Combo->DropDownHeight(), 100);
  GetWindowRect(popup, &w);
  EXPECT_EQ(w.right - w.left, 100);
  EXPECT_EQ(w.bottom - w.top, 100);
  // Still open; Escape closes it unchanged.
  EXPECT_EQ(f.Popup(), popup);
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitUntil([&] { return !f.Popup(); }, 2000));
  EXPECT_EQ(f.Changes, 0);
}

TEST(BarsTreeComboInput, NearTheScreensBottomTheStripIsAtTheTop) {
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  TTreeItems f(Bounds(20, work.bottom - 140, 640, 130));
  TdxBarItemControl* c = f.ToolbarControl(f.Combo);
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(f.Open(c));
  RECT w;
  GetWindowRect(f.Popup(), &w);
  TRect item = c->Parent()->GetItemScreenRect(c);
  EXPECT_LE(w.bottom, item.top + 1);
  EXPECT_TRUE(dxCornerIsTop(f.Tree()->Corner())) << f.Tree()->Corner();
  TRect grip = f.Tree()->GripRect();
  EXPECT_LE(grip.top, w.top + 3);
  RECT cr;
  GetClientRect(f.Popup(), &cr);
  POINT origin{0, 0};
  ClientToScreen(f.Popup(), &origin);
  EXPECT_EQ(origin.y, w.top + 1 + dxDropDownNCHeight());
  SaveDesktopScreenshot("above");
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
}

namespace {

// A step choosing a node of the dialog's tree by its place.
std::function<bool(HWND)> PickNode(int absoluteIndex) {
  return [absoluteIndex](HWND wnd) {
    HWND tree = FindChildByClass(wnd, "TTreeView");
    auto* view = tree ? dynamic_cast<TdxBarTreeView*>(TControl::FindControl(tree)) : nullptr;
    if (!view || absoluteIndex >= view->Items()->Count()) return false;
    view->SetSelected(view->Items()->Item(absoluteIndex));
    return true;
  };
}

}  // namespace

TEST(BarsTreeComboInput, AsAButtonTheDialogChoosesTheNodeAtItsPlace) {
  TTreeItems f;
  f.Toolbar->SetDockingStyle(dsLeft);
  ProcessQueuedMessages();
  TdxBarItemControl* c = f.ToolbarControl(f.Combo);
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(dynamic_cast<TdxBarButtonControl*>(c));
  f.Combo->SetText("Leek");
  f.Changes = 0;
  int treeWidth = -1, okLeft = -1, treeRight = -1;
  String selected;
  TModalDriver modal;
  modal.Window("Select item")
      .Do("look",
          [&](HWND wnd) {
            HWND tree = FindChildByClass(wnd, "TTreeView");
            HWND ok = FindChildByText(wnd, "OK", "Button");
            auto* view = tree ? dynamic_cast<TdxBarTreeView*>(TControl::FindControl(tree)) : nullptr;
            if (!view || !ok) return false;
            RECT t, o;
            GetClientRect(tree, &t);
            GetWindowRect(ok, &o);
            treeWidth = t.right;
            okLeft = o.left;
            GetWindowRect(tree, &t);
            treeRight = t.right;
            selected = view->Selected() ? view->Selected()->Text() : String();
            SaveScreenshot(wnd, "dialog");
            return true;
          })
      .Do("the second Pear", PickNode(4))
      .Press("OK");
  ASSERT_TRUE(TItemsFixture::ClickOn(c, TItemsFixture::Centre(c)));
  ASSERT_TRUE(modal.Finish());
  EXPECT_EQ(selected, "Leek");
  EXPECT_EQ(treeWidth, f.Tree()->ClientWidth());
  EXPECT_GT(okLeft, treeRight);
  EXPECT_EQ(f.Combo->Text(), "Pear");
  EXPECT_EQ(f.Combo->SelectedNode(), f.Combo->Items()->Item(4));
  EXPECT_EQ(f.Changes, 1);
  // Cancel keeps it.
  TModalDriver cancel;
  cancel.Window("Select item").Do("Apple", PickNode(1)).Press("Cancel");
  ASSERT_TRUE(TItemsFixture::ClickOn(c, TItemsFixture::Centre(c)));
  ASSERT_TRUE(cancel.Finish());
  EXPECT_EQ(f.Combo->SelectedNode(), f.Combo->Items()->Item(4));
}
