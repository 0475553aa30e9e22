// The tree-view combo's frame arithmetic and node search, without windows.
#include <gtest/gtest.h>

#include "bars/extitems/Dxbarextitems.h"

TEST(BarsTreeFrame, TheCornerFollowsWhereThePopupLiesBesideItsOwner) {
  struct {
    TRect owner, popup;
    TdxCorner corner;
  } cases[] = {
      {TRect(10, 10, 110, 30), TRect(10, 30, 160, 230), coBottomRight},  // below, at the right of its left
      {TRect(10, 210, 110, 230), TRect(10, 10, 160, 210), coTopRight},   // above
      {TRect(200, 10, 300, 30), TRect(40, 30, 190, 230), coBottomLeft},  // below, left of the owner
      {TRect(200, 210, 300, 230), TRect(40, 10, 190, 210), coTopLeft},   // above and left
      {TRect(200, 10, 300, 30), TRect(50, 30, 200, 230), coBottomLeft},  // right edges touching
  };
  for (const auto& c : cases) EXPECT_EQ(GetCornerForRects(c.owner, c.popup), c.corner) << c.popup.left;
  EXPECT_EQ(GetHitTestByCorner(coTopLeft), HTTOPLEFT);
  EXPECT_EQ(GetHitTestByCorner(coTopRight), HTTOPRIGHT);
  EXPECT_EQ(GetHitTestByCorner(coBottomLeft), HTBOTTOMLEFT);
  EXPECT_EQ(GetHitTestByCorner(coBottomRight), HTBOTTOMRIGHT);
  EXPECT_EQ(dxDropDownNCHeight(),
            std::max(GetSystemMetrics(SM_CYHSCROLL) + 2, GetSystemMetrics(SM_CYSIZE)) + 1);
}

TEST(BarsTreeFrame, GripAndCloseButtonSitAtTheirCornersOfTheStrip) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 200, 40);
  HGDIOBJ old = SelectObject(dc, bmp);
  int cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL), cs = GetSystemMetrics(SM_CXSIZE);
  const TRect strip(0, 0, 200, 30);
  for (TdxCorner c : {coTopLeft, coTopRight, coBottomLeft, coBottomRight}) {
    TRect grip = strip;
    DrawSizeGrip(dc, grip, c);
    EXPECT_EQ(grip.Width(), cx);
    EXPECT_EQ(grip.Height(), cy);
    EXPECT_EQ(grip.left, dxCornerIsLeft(c) ? 0 : 200 - cx) << c;
    EXPECT_EQ(grip.top, dxCornerIsTop(c) ? 0 : 30 - cy) << c;
    TRect close = strip;
    DrawCloseButton(dc, close, false, false, true, c);
    EXPECT_EQ(close.Width(), cs);
    EXPECT_EQ(close.Height(), cs + 1);
    EXPECT_EQ(close.left, dxCornerIsLeft(c) ? 200 - cs : 0) << c;
    EXPECT_EQ(close.top, (30 - cs - 1) / 2 + (dxCornerIsTop(c) ? 0 : 1)) << c;
  }
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
}

TEST(BarsTreeFrame, FindNodeTakesTheFirstInPreorderCaseIgnored) {
  dxBarExtItemsInitialize();
  {
    TOwned<TdxBarTreeViewCombo> combo(new TdxBarTreeViewCombo(nullptr));
    TTreeNodes* n = combo->Items();
    TTreeNode* fruit = n->Add(nullptr, "Fruit");
    TTreeNode* apple = n->AddChild(fruit, "Apple");
    TTreeNode* pear = n->AddChild(apple, "pear");
    TTreeNode* veg = n->Add(nullptr, "Vegetables");
    n->AddChild(veg, "Pear");
    TTreeNode* second = n->Add(nullptr, "apple");
    EXPECT_EQ(combo->FindNode("PEAR"), pear);
    EXPECT_EQ(combo->FindNode("apple"), apple);
    EXPECT_EQ(combo->FindNode("vegetables"), veg);
    EXPECT_EQ(combo->FindNode("Kiwi"), nullptr);
    EXPECT_EQ(combo->FindNode(""), nullptr);
    // Text and the chosen node follow each other.
    combo->SetText("PEAR");
    EXPECT_EQ(combo->SelectedNode(), pear);
    combo->SetText("Kiwi");
    EXPECT_EQ(combo->SelectedNode(), nullptr);
    int changes = 0;
    combo->OnChange = [&](TObject*) { ++changes; };
    combo->SetSelectedNode(second);
    EXPECT_EQ(combo->Text(), "apple");
    EXPECT_EQ(combo->SelectedNode(), second);
    EXPECT_EQ(changes, 1);
    // A node deleted stops being the chosen one, without an event.
    second->Delete();
    EXPECT_EQ(combo->SelectedNode(), nullptr);
    EXPECT_EQ(changes, 1);
    // Sizes below 100 become 100.
    combo->SetDropDownWidth(50);
    combo->SetDropDownHeight(20);
    EXPECT_EQ(combo->DropDownWidth(), 100);
    EXPECT_EQ(combo->DropDownHeight(), 100);
    EXPECT_FALSE(combo->ShowEditor());
    EXPECT_TRUE(combo->AllowResizing());
    EXPECT_TRUE(combo->ChooseByDblClick());
  }
  dxBarExtItemsFinalize();
}
