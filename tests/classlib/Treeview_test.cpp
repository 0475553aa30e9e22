#include <gtest/gtest.h>

#include "Views.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

struct TTreeFixture : ::testing::Test {
  void SetUp() override {
    form = new TViewsForm(Application);
    tree = form->Tree;
    items = tree->Items();
  }
  void TearDown() override {
    if (form) form->Free();
  }
  void ShowForm() {
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
    PumpFor(50);
  }
  HWND H() { return tree->Handle(); }
  TViewsForm* form = nullptr;
  TTreeView* tree = nullptr;
  TTreeNodes* items = nullptr;
};

void* Tag(intptr_t n) { return reinterpret_cast<void*>(n); }

}  // namespace

TEST_F(TTreeFixture, LazyChildrenAreAddedOnExpanding) {
  TTreeNode* a = items->Add(nullptr, "a");
  TTreeNode* b = items->Add(nullptr, "b");
  a->SetHasChildren(true);
  b->SetHasChildren(true);
  std::vector<String> log;
  bool allowB = false;
  tree->OnExpanding = [&](TObject*, TTreeNode* n, bool& allow) {
    log.push_back("expanding " + n->Text());
    if (n == b) {
      allow = allowB;
      return;
    }
    if (n->Count() == 0)
      for (const char* c : {"a1", "a2"}) items->AddChild(n, c)->SetHasChildren(true);
  };
  tree->OnExpanded = [&](TObject*, TTreeNode* n) { log.push_back("expanded " + n->Text()); };
  tree->OnCollapsing = [&](TObject*, TTreeNode* n, bool&) { log.push_back("collapsing " + n->Text()); };
  ShowForm();
  EXPECT_EQ(NodeTexts(H(), a->ItemId()), std::vector<String>{});
  // The user opens the node with the keyboard.
  ASSERT_TRUE(FocusWindow(H()));
  tree->SetSelected(a);
  ASSERT_TRUE(KeyChord({VK_RIGHT}));
  ASSERT_TRUE(WaitFor([&] { return a->Expanded(); }, 2000));
  EXPECT_EQ(log, Strings({"expanding a", "expanded a"}));
  EXPECT_EQ(NodeTexts(H(), a->ItemId()), Strings({"a1", "a2"}));
  EXPECT_EQ(a->Count(), 2);
  EXPECT_EQ(items->Count(), 4);
  // A refused expansion leaves the node closed and empty.
  log.clear();
  b->Expand(false);
  EXPECT_FALSE(b->Expanded());
  EXPECT_EQ(log, Strings({"expanding b"}));
  a->Collapse(false);
  EXPECT_FALSE(a->Expanded());
  // A node whose last child goes loses its button.
  a->Item(1)->Delete();
  a->Item(0)->Delete();
  EXPECT_FALSE(a->HasChildren());
  TVITEMA it{};
  it.mask = TVIF_CHILDREN | TVIF_HANDLE;
  it.hItem = a->ItemId();
  SendMessageA(H(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  EXPECT_EQ(it.cChildren, 0);
}

TEST_F(TTreeFixture, ImageCallbacksAndDataAnswerTheWindow) {
  tree->SetImages(form->Images);
  TTreeNode* red = items->AddObject(nullptr, "red", Tag(0));
  TTreeNode* blue = items->AddObject(nullptr, "blue", Tag(1));
  items->AddChildObject(blue, "green", Tag(2));
  int asked = 0;
  tree->OnGetImageIndex = [&](TObject*, TTreeNode* n) {
    ++asked;
    n->SetImageIndex(static_cast<int>(reinterpret_cast<intptr_t>(n->Data())));
  };
  tree->OnGetSelectedIndex = [&](TObject*, TTreeNode* n) { n->SetSelectedIndex(2); };
  H();
  EXPECT_EQ(NodeImage(H(), blue->ItemId(), false), 1);
  EXPECT_EQ(NodeImage(H(), blue->ItemId(), true), 2);
  EXPECT_GT(asked, 0);
  EXPECT_EQ(items->GetNode(blue->ItemId()), blue);
  EXPECT_EQ(blue->Data(), Tag(1));
  tree->FullExpand();
  ShowForm();
  SaveScreenshot(form->Handle());
  TDibSurface s = CaptureClient(H());
  EXPECT_GT(CountColor(s, red->DisplayRect(false), RGB(255, 0, 0)), 100);
  EXPECT_GT(CountColor(s, blue->DisplayRect(false), RGB(0, 0, 255)), 100);
  EXPECT_GT(CountColor(s, blue->Item(0)->DisplayRect(false), RGB(0, 255, 0)), 100);
  // The tree's Color and font colour reach the window.
  tree->SetColor(clAqua);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(H(), TVM_GETBKCOLOR, 0, 0)), RGB(0, 255, 255));
}

TEST(TreeView, OnDeletionOnceForEachNodeChildrenFirst) {
  auto* form = new TViewsForm(Application);
  TTreeView* tree = form->Tree;
  TTreeNodes* items = tree->Items();
  std::vector<String> gone;
  tree->OnDeletion = [&](TObject*, TTreeNode* n) { gone.push_back(n->Text()); };
  TTreeNode* a = items->Add(nullptr, "a");
  TTreeNode* a1 = items->AddChild(a, "a1");
  items->AddChild(a1, "a11");
  items->AddChild(a, "a2");
  TTreeNode* b = items->Add(nullptr, "b");
  items->AddChild(b, "b1");
  items->Add(nullptr, "c");
  tree->Handle();
  a1->Delete();
  EXPECT_EQ(gone, Strings({"a11", "a1"}));
  EXPECT_EQ(items->Count(), 5);
  // A deletion asked of the window directly goes through the nodes too.
  SendMessageA(tree->Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(b->ItemId()));
  EXPECT_EQ(gone, Strings({"a11", "a1", "b1", "b"}));
  EXPECT_EQ(NodeTexts(tree->Handle(), TVI_ROOT), Strings({"a", "c"}));
  items->Clear();
  EXPECT_EQ(gone, Strings({"a11", "a1", "b1", "b", "a2", "a", "c"}));
  EXPECT_EQ(items->Count(), 0);
  EXPECT_EQ(SendMessageA(tree->Handle(), TVM_GETCOUNT, 0, 0), 0);
  gone.clear();
  TTreeNode* x = items->Add(nullptr, "x");
  items->AddChild(x, "y");
  tree->RecreateWnd();
  EXPECT_TRUE(gone.empty());
  tree->Free();
  EXPECT_EQ(gone, Strings({"y", "x"}));
  form->Free();
}

TEST_F(TTreeFixture, SortingChildrenAndSortedInsertion) {
  TTreeNode* root = items->Add(nullptr, "root");
  for (const char* c : {"delta", "alpha", "charlie", "bravo"}) items->AddChild(root, c);
  TTreeNode* inner = root->Item(2);
  for (const char* c : {"z", "x", "y"}) items->AddChild(inner, c);
  H();
  root->AlphaSort();
  EXPECT_EQ(NodeTexts(H(), root->ItemId()), Strings({"alpha", "bravo", "charlie", "delta"}));
  EXPECT_EQ(NodeTexts(H(), inner->ItemId()), Strings({"z", "x", "y"}));  // not recursive
  root->AlphaSort(true);
  EXPECT_EQ(NodeTexts(H(), inner->ItemId()), Strings({"x", "y", "z"}));
  EXPECT_EQ(inner->GetFirstChild()->Text(), "x");
  // A callback of its own: by length, longest first, equal lengths in their order.
  root->CustomSort(
      [](LPARAM a, LPARAM b, LPARAM) -> int {
        return static_cast<int>(reinterpret_cast<TTreeNode*>(b)->Text().size()) -
               static_cast<int>(reinterpret_cast<TTreeNode*>(a)->Text().size());
      },
      0);
  EXPECT_EQ(NodeTexts(H(), root->ItemId()), Strings({"charlie", "alpha", "bravo", "delta"}));
  EXPECT_EQ(root->Item(0), inner);
  // With SortType set, new nodes and renamed nodes take their places; OnCompare decides.
  tree->OnCompare = [](TObject*, TTreeNode* a, TTreeNode* b, LPARAM, int& c) {
    c = -lstrcmpA(a->Text().c_str(), b->Text().c_str());
  };
  tree->SetSortType(stText);
  EXPECT_EQ(NodeTexts(H(), root->ItemId()), Strings({"delta", "charlie", "bravo", "alpha"}));
  items->AddChild(root, "echo");
  items->AddChildFirst(root, "able");
  EXPECT_EQ(NodeTexts(H(), root->ItemId()), Strings({"echo", "delta", "charlie", "bravo", "alpha", "able"}));
  root->Item(5)->SetText("foxtrot");
  EXPECT_EQ(NodeTexts(H(), root->ItemId()), Strings({"foxtrot", "echo", "delta", "charlie", "bravo", "alpha"}));
  EXPECT_EQ(root->Item(0)->Text(), "foxtrot");
  EXPECT_EQ(root->Item(0)->Index(), 0);
}

TEST_F(TTreeFixture, NavigationAndHitTests) {
  TTreeNode* a = items->Add(nullptr, "a");
  TTreeNode* a1 = items->AddChild(a, "a1");
  TTreeNode* a2 = items->AddChild(a, "a2");
  TTreeNode* b = items->Add(nullptr, "b");
  EXPECT_EQ(a->GetNext(), a1);
  EXPECT_EQ(a2->GetNext(), b);
  EXPECT_EQ(b->GetPrev(), a2);
  EXPECT_EQ(a1->GetPrev(), a);
  EXPECT_EQ(a2->GetPrevSibling(), a1);
  EXPECT_EQ(a2->Level(), 1);
  EXPECT_EQ(b->AbsoluteIndex(), 3);
  EXPECT_EQ(items->Item(2), a2);
  EXPECT_EQ(a2->Index(), 1);
  EXPECT_TRUE(a2->HasAsParent(a));
  EXPECT_THROW(items->Item(4), EListError);
  a->Expand(false);
  ShowForm();
  TRect r = a1->DisplayRect(true);
  ASSERT_FALSE(r.Empty());
  int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  EXPECT_EQ(tree->GetNodeAt(cx, cy), a1);
  EXPECT_TRUE(tree->GetHitTestInfoAt(cx, cy).Contains(htOnLabel));
  EXPECT_TRUE(tree->GetHitTestInfoAt(cx, cy).Contains(htOnItem));
  TRect rb = b->DisplayRect(false);
  EXPECT_EQ(tree->GetNodeAt(cx, rb.bottom + 30), nullptr);
  EXPECT_TRUE(tree->GetHitTestInfoAt(cx, rb.bottom + 30).Contains(htNowhere));
  EXPECT_TRUE(tree->GetHitTestInfoAt(r.right + 20, cy).Contains(htOnRight));
  EXPECT_EQ(tree->TopItem(), a);
  // A click selects: OnChanging may refuse, OnChange follows.
  std::vector<String> changes;
  bool allow = true;
  tree->OnChanging = [&](TObject*, TTreeNode*, bool& ok) { ok = allow; };
  tree->OnChange = [&](TObject*, TTreeNode* n) { changes.push_back(n ? n->Text() : "-"); };
  ASSERT_TRUE(Click(H(), POINT{cx, cy}));
  ASSERT_TRUE(WaitFor([&] { return tree->Selected() == a1; }, 2000));
  EXPECT_EQ(changes, Strings({"a1"}));
  allow = false;
  tree->SetSelected(b);
  EXPECT_EQ(tree->Selected(), a1);
  EXPECT_TRUE(a1->Selected());
  allow = true;
  b->SetSelected(true);
  EXPECT_EQ(changes, Strings({"a1", "b"}));
}

TEST_F(TTreeFixture, RightClickSelectPicksTheNodeUnderTheMouse) {
  TTreeNode* a = items->Add(nullptr, "a");
  TTreeNode* b = items->Add(nullptr, "b");
  tree->SetRightClickSelect(true);
  ShowForm();
  tree->SetSelected(a);
  TRect r = b->DisplayRect(true);
  ASSERT_TRUE(RightClick(H(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
  ASSERT_TRUE(WaitFor([&] { return tree->Selected() == b; }, 2000));
}

TEST_F(TTreeFixture, NodeModelSurvivesRecreateWnd) {
  tree->SetImages(form->Images);
  TTreeNode* a = items->AddObject(nullptr, "a", Tag(7));
  TTreeNode* a1 = items->AddChild(a, "a1");
  items->AddChild(a1, "a11");
  TTreeNode* b = items->Add(nullptr, "b");
  items->AddChild(b, "b1");
  TTreeNode* lazy = items->Add(nullptr, "lazy");
  lazy->SetHasChildren(true);
  a1->SetCut(true);
  b->SetOverlayIndex(0);
  b->SetImageIndex(1);
  int events = 0;
  ShowForm();
  a->Expand(false);
  a1->Expand(false);
  tree->SetSelected(a1);
  tree->OnExpanding = [&](TObject*, TTreeNode*, bool&) { ++events; };
  tree->OnChange = [&](TObject*, TTreeNode*) { ++events; };
  tree->OnDeletion = [&](TObject*, TTreeNode*) { ++events; };
  HWND before = H();
  tree->RecreateWnd();
  EXPECT_NE(H(), before);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(NodeTexts(H(), TVI_ROOT), Strings({"a", "b", "lazy"}));
  EXPECT_EQ(NodeTexts(H(), a1->ItemId()), Strings({"a11"}));
  EXPECT_TRUE(a->Expanded());
  EXPECT_TRUE(a1->Expanded());
  EXPECT_FALSE(b->Expanded());
  EXPECT_EQ(tree->Selected(), a1);
  EXPECT_TRUE(a1->Cut());
  EXPECT_EQ(SendMessageA(H(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(b->ItemId()), TVIS_OVERLAYMASK),
            static_cast<LRESULT>(INDEXTOOVERLAYMASK(1)));
  EXPECT_EQ(NodeImage(H(), b->ItemId(), false), 1);
  EXPECT_EQ(a->Data(), Tag(7));
  TVITEMA it{};
  it.mask = TVIF_CHILDREN | TVIF_HANDLE;
  it.hItem = lazy->ItemId();
  SendMessageA(H(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  EXPECT_EQ(it.cChildren, 1);
  PumpFor(50);
  SaveScreenshot(form->Handle());
}

TEST_F(TTreeFixture, MoveToCarriesTheSubtree) {
  TTreeNode* a = items->Add(nullptr, "a");
  TTreeNode* a1 = items->AddChild(a, "a1");
  items->AddChild(a1, "a11");
  TTreeNode* b = items->Add(nullptr, "b");
  TTreeNode* c = items->Add(nullptr, "c");
  H();
  a1->Expand(false);
  a1->MoveTo(c, naAddChild);
  EXPECT_EQ(a1->Parent(), c);
  EXPECT_FALSE(a->HasChildren());
  EXPECT_EQ(NodeTexts(H(), c->ItemId()), Strings({"a1"}));
  EXPECT_EQ(NodeTexts(H(), a1->ItemId()), Strings({"a11"}));
  EXPECT_TRUE(a1->Expanded());
  c->MoveTo(a, naInsert);
  EXPECT_EQ(NodeTexts(H(), TVI_ROOT), Strings({"c", "a", "b"}));
  b->MoveTo(c, naAddFirst);
  EXPECT_EQ(NodeTexts(H(), TVI_ROOT), Strings({"b", "c", "a"}));
  EXPECT_THROW(c->MoveTo(a1->GetFirstChild(), naAddChild), EInvalidOperation);
  EXPECT_EQ(NodeTexts(H(), TVI_ROOT), Strings({"b", "c", "a"}));
  EXPECT_EQ(items->Count(), 5);
}

TEST_F(TTreeFixture, TextEditingAcceptedAndRefused) {
  TTreeNode* a = items->Add(nullptr, "a");
  TTreeNode* b = items->Add(nullptr, "b");
  bool allow = true;
  tree->OnEditing = [&](TObject*, TTreeNode*, bool& ok) { ok = allow; };
  tree->OnEdited = [&](TObject*, TTreeNode*, String& s) { s += "!"; };
  ShowForm();
  ASSERT_TRUE(a->EditText());
  HWND edit = reinterpret_cast<HWND>(SendMessageA(H(), TVM_GETEDITCONTROL, 0, 0));
  ASSERT_NE(edit, nullptr);
  SetWindowTextA(edit, "new");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(WaitFor([&] { return !tree->IsEditing(); }, 2000));
  EXPECT_EQ(a->Text(), "new!");
  EXPECT_EQ(NodeTexts(H(), TVI_ROOT), Strings({"new!", "b"}));
  allow = false;
  EXPECT_FALSE(b->EditText());
  EXPECT_EQ(b->Text(), "b");
}

TEST(TreeView, AssignCopiesTheNodes) {
  auto* form = new TViewsForm(Application);
  TTreeNodes* items = form->Tree->Items();
  TTreeNode* a = items->AddObject(nullptr, "a", Tag(1));
  items->AddChild(a, "a1")->SetHasChildren(true);
  a->SetImageIndex(2);
  auto* copy = new TTreeView(form);
  copy->SetParent(form);
  copy->Items()->Assign(items);
  copy->HandleNeeded();
  ASSERT_EQ(copy->Items()->Count(), 2);
  TTreeNode* ca = copy->Items()->GetFirstNode();
  EXPECT_EQ(ca->Text(), "a");
  EXPECT_EQ(ca->Data(), Tag(1));
  EXPECT_EQ(ca->ImageIndex(), 2);
  EXPECT_TRUE(ca->GetFirstChild()->HasChildren());
  EXPECT_EQ(NodeTexts(copy->Handle(), ca->ItemId()), Strings({"a1"}));
  form->Free();
}
