// Categories keep their items' indexes; groups refuse cycles.
#include "Barstest.h"

namespace {

// Categories A, B, C with one item each (a0, b1, c2).
struct TCategories {
  TBarsForm* Form = new TBarsForm;
  TdxBarManagerCategories* Cats;
  TdxBarButton* Items[3];
  TCategories() {
    Cats = Form->Manager->Categories();
    Cats->Clear();
    for (const char* n : {"A", "B", "C"}) Cats->Add(n);
    for (int i = 0; i < 3; ++i) {
      Items[i] = Form->Button(String(1, static_cast<char>('a' + i)));
      Items[i]->SetCategory(i);
    }
  }
  ~TCategories() { Form->Free(); }
  std::vector<int> Indexes() const {
    std::vector<int> v;
    for (TdxBarButton* b : Items) v.push_back(Form->Manager->IndexOfItem(b) < 0 ? -99 : b->Category());
    return v;
  }
  String Names() const { return Cats->CommaText(); }
};

}  // namespace

TEST(BarsCategories, InsertExchangeAndMoveKeepTheItemsWithTheirCategories) {
  {
    TCategories c;
    c.Cats->Insert(1, "X");
    EXPECT_EQ(c.Names(), "A,X,B,C");
    EXPECT_EQ(c.Indexes(), std::vector<int>({0, 2, 3}));
  }
  {
    TCategories c;
    c.Cats->Exchange(0, 2);
    EXPECT_EQ(c.Names(), "C,B,A");
    EXPECT_EQ(c.Indexes(), std::vector<int>({2, 1, 0}));
  }
  {
    TCategories c;
    c.Cats->Move(0, 2);
    EXPECT_EQ(c.Names(), "B,C,A");
    EXPECT_EQ(c.Indexes(), std::vector<int>({2, 0, 1}));
    c.Cats->Move(2, 0);
    EXPECT_EQ(c.Names(), "A,B,C");
    EXPECT_EQ(c.Indexes(), std::vector<int>({0, 1, 2}));
  }
  {
    // Out of range: nothing moves.
    TCategories c;
    c.Cats->Exchange(0, 3);
    c.Cats->Move(3, 0);
    c.Cats->Delete(3);
    c.Cats->Insert(3, "D");
    EXPECT_EQ(c.Names(), "A,B,C,D");
    EXPECT_EQ(c.Indexes(), std::vector<int>({0, 1, 2}));
  }
}

TEST(BarsCategories, DeletingACategoryDestroysItsItems) {
  TCategories c;
  c.Cats->Delete(1);
  EXPECT_EQ(c.Names(), "A,C");
  EXPECT_EQ(c.Indexes(), std::vector<int>({0, -99, 1}));
  c.Cats->Delete(0);
  c.Cats->Delete(0);
  // The only one gone, "Default" takes its place.
  EXPECT_EQ(c.Names(), "Default");
  EXPECT_EQ(c.Form->Manager->ItemCount(), 0);
}

TEST(BarsCategories, VisibilityIsKeptPerCategory) {
  TCategories c;
  TdxBarManager* m = c.Form->Manager;
  EXPECT_EQ(c.Cats->Visibles(), std::vector<bool>({true, true, true}));
  c.Cats->SetVisibles({true, false});
  c.Cats->SetItemsVisibles({2, 2, 0});
  EXPECT_EQ(c.Cats->Visibles(), std::vector<bool>({true, false, true}));
  EXPECT_EQ(c.Cats->ItemsVisibles(), std::vector<int>({2, 2, 0}));
  EXPECT_EQ(c.Items[2]->Visible(), ivNever);
  EXPECT_EQ(m->GetCategoryRealIndex(1), 2);
  std::vector<TdxBarItem*> list;
  m->GetItemsByCategory(2, list);
  EXPECT_TRUE(list.empty());
  m->GetAllItemsByCategory(2, list);
  EXPECT_EQ(list.size(), 1u);
  // A runtime category out of range is refused.
  c.Items[0]->SetCategory(3);
  c.Items[0]->SetCategory(-1);
  EXPECT_EQ(c.Items[0]->Category(), 0);
}

TEST(BarsGroups, SwitchMembersAndNestedGroupsAndRefuseCycles) {
  TBarsForm* form = new TBarsForm;
  TdxBarManager* m = form->Manager;
  TdxBarGroup* outer = m->CreateGroup();
  TdxBarGroup* inner = m->CreateGroup();
  TdxBarButton* a = form->Button("A", "A");
  TdxBarButton* b = form->Button("B", "B");
  outer->Add(a);
  outer->Add(inner);
  inner->Add(b);
  // Nil, a member again and what is neither item nor group are ignored.
  outer->Add(nullptr);
  outer->Add(a);
  outer->Add(m);
  EXPECT_EQ(outer->Count(), 2);

  for (TdxBarGroup* cycle : {outer, inner}) {
    try {
      (cycle == outer ? inner : outer)->Add(outer);
      ADD_FAILURE() << "a recursive group was taken";
    } catch (Exception& e) {
      EXPECT_EQ(e.Message, "You cannot create recursive groups");
    }
  }
  EXPECT_EQ(outer->Count(), 2);
  EXPECT_EQ(inner->Count(), 1);
  EXPECT_EQ(inner->Items(0), b);

  outer->SetEnabled(false);
  EXPECT_FALSE(a->Enabled());
  EXPECT_FALSE(b->Enabled());
  EXPECT_FALSE(inner->Enabled());
  outer->SetVisible(ivNever);
  EXPECT_EQ(b->Visible(), ivNever);
  EXPECT_FALSE(m->LockUpdate());

  // A freed member leaves the group; a freed group leaves the manager.
  b->Free();
  EXPECT_EQ(inner->Count(), 0);
  inner->Free();
  EXPECT_EQ(outer->Count(), 1);
  EXPECT_EQ(m->GroupCount(), 1);
  EXPECT_EQ(outer->Index(), 0);
  form->Free();
}
