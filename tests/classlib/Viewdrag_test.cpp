#include <gtest/gtest.h>

#include "Views.h"
#include "support/Input.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// A list whose items are dragged with the application's drag onto a tree
// that takes them on the node "Accept" only.
struct TDragFixture : ::testing::Test {
  void SetUp() override {
    form = new TViewsForm(Application);
    list = form->List;
    tree = form->Tree;
    list->Columns()->Add()->SetWidth(150);
    for (const char* c : {"one", "two", "three", "four"}) list->Items()->Add()->SetCaption(c);
    list->SetDragMode(dmAutomatic);
    accept = tree->Items()->Add(nullptr, "Accept");
    refuse = tree->Items()->Add(nullptr, "Refuse");
    tree->OnDragOver = [this](TObject*, TObject* source, int x, int y, TDragState state, bool& ok) {
      TTreeNode* n = tree->GetNodeAt(x, y);
      ok = source == list && n == accept;
      if (hilited && (hilited != n || state == dsDragLeave)) hilited->SetDropTarget(false);
      hilited = state == dsDragLeave || !ok ? nullptr : n;
      if (hilited) hilited->SetDropTarget(true);
      if (n && state != dsDragLeave) overs.push_back(n->Text() + (ok ? "+" : "-"));
    };
    tree->OnDragDrop = [this](TObject*, TObject* source, int x, int y) {
      dropSource = source;
      dropNode = tree->GetNodeAt(x, y);
      dropHilited = dropNode && dropNode->DropTarget();
      dragged = list->Selected();
    };
    list->OnEndDrag = [this](TObject*, TObject* target, int, int) { ends.push_back(target); };
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
    PumpFor(50);
  }
  void TearDown() override {
    CancelDrag();
    form->Free();
  }
  POINT ItemPoint(int i) {
    TRect r = list->Items()->Item(i)->DisplayRect(drLabel);
    return POINT{r.left + 8, (r.top + r.bottom) / 2};
  }
  // The centre of a node's text, in the list's client coordinates.
  POINT NodePoint(TTreeNode* n) {
    TRect r = n->DisplayRect(true);
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    MapWindowPoints(tree->Handle(), list->Handle(), &p, 1);
    return p;
  }
  TViewsForm* form = nullptr;
  TListView* list = nullptr;
  TTreeView* tree = nullptr;
  TTreeNode *accept = nullptr, *refuse = nullptr, *hilited = nullptr;
  std::vector<String> overs;
  std::vector<TObject*> ends;
  TObject* dropSource = nullptr;
  TTreeNode* dropNode = nullptr;
  bool dropHilited = false;
  TListItem* dragged = nullptr;
};

}  // namespace

TEST_F(TDragFixture, AnItemDroppedOnANodeThatAccepts) {
  ASSERT_TRUE(Drag(list->Handle(), ItemPoint(1), NodePoint(accept), 10));
  ASSERT_TRUE(WaitFor([&] { return !ends.empty(); }, 3000));
  EXPECT_EQ(dropSource, list);
  EXPECT_EQ(dropNode, accept);
  EXPECT_TRUE(dropHilited);
  EXPECT_EQ(dragged, list->Items()->Item(1));
  EXPECT_EQ(ends, std::vector<TObject*>{tree});
  ASSERT_FALSE(overs.empty());
  EXPECT_EQ(overs.back(), "Accept+");
  EXPECT_FALSE(DragActive());
  // The list is itself again: a click selects the item under it, alone.
  ASSERT_TRUE(Click(list->Handle(), ItemPoint(3)));
  ASSERT_TRUE(WaitFor([&] { return list->Selected() == list->Items()->Item(3); }, 2000));
  EXPECT_EQ(list->SelCount(), 1);
}

TEST_F(TDragFixture, ANodeThatRefusesGetsNoDrop) {
  ASSERT_TRUE(Drag(list->Handle(), ItemPoint(0), NodePoint(refuse), 10));
  ASSERT_TRUE(WaitFor([&] { return !ends.empty(); }, 3000));
  EXPECT_EQ(dropSource, nullptr);
  EXPECT_EQ(ends, std::vector<TObject*>{nullptr});
  ASSERT_FALSE(overs.empty());
  EXPECT_EQ(overs.back(), "Refuse-");
}

TEST_F(TDragFixture, ANodeDraggedOntoTheList) {
  tree->SetDragMode(dmAutomatic);
  TObject* source = nullptr;
  TObject* endTarget = nullptr;
  list->OnDragOver = [&](TObject*, TObject* src, int, int, TDragState, bool& ok) { ok = src == tree; };
  list->OnDragDrop = [&](TObject*, TObject* src, int, int) { source = src; };
  tree->OnEndDrag = [&](TObject*, TObject* target, int, int) { endTarget = target; };
  TRect r = refuse->DisplayRect(true);
  POINT to = ItemPoint(3);
  MapWindowPoints(list->Handle(), tree->Handle(), &to, 1);
  ASSERT_TRUE(Drag(tree->Handle(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, to, 10));
  ASSERT_TRUE(WaitFor([&] { return endTarget != nullptr; }, 3000));
  EXPECT_EQ(source, tree);
  EXPECT_EQ(endTarget, list);
  EXPECT_FALSE(DragActive());
  // The dragged node, not the selected one, until it goes.
  EXPECT_EQ(tree->DraggedNode(), refuse);
  refuse->Delete();
  refuse = nullptr;
  EXPECT_EQ(tree->DraggedNode(), nullptr);
}

TEST_F(TDragFixture, APressBesideTheItemsStartsNoDrag) {
  TRect last = list->Items()->Item(3)->DisplayRect(drBounds);
  ASSERT_TRUE(Drag(list->Handle(), POINT{last.left + 30, last.bottom + 60}, NodePoint(accept), 10));
  PumpFor(100);
  EXPECT_TRUE(ends.empty());
  EXPECT_TRUE(overs.empty());
  EXPECT_FALSE(DragActive());
}

TEST_F(TDragFixture, EscapeCancelsTheDrag) {
  POINT from = ClientPoint(list->Handle(), ItemPoint(2).x, ItemPoint(2).y);
  POINT over = NodePoint(accept);
  MapWindowPoints(list->Handle(), HWND_DESKTOP, &over, 1);
  ASSERT_TRUE(BringToFront(form->Handle()));
  ASSERT_TRUE(MoveTo(from));
  ASSERT_TRUE(MouseDown());
  for (int i = 1; i <= 8; ++i) ASSERT_TRUE(MoveTo(POINT{from.x + (over.x - from.x) * i / 8, from.y + (over.y - from.y) * i / 8}));
  ASSERT_TRUE(WaitFor([&] { return DragActive() && !overs.empty(); }, 2000));
  EXPECT_EQ(overs.back(), "Accept+");
  SaveScreenshot(form->Handle(), "dragging");
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitFor([&] { return !ends.empty(); }, 2000));
  ASSERT_TRUE(MouseUp());
  WaitInputProcessed();
  EXPECT_FALSE(DragActive());
  EXPECT_EQ(dropSource, nullptr);
  EXPECT_EQ(ends, std::vector<TObject*>{nullptr});
  EXPECT_FALSE(accept->DropTarget());
}
