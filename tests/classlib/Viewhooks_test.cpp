// What descendants of the views rely on: notifications reach their Dispatch
// before the view's own handling, the virtual image routine answers the
// window, and the window's context menu request reaches the control.
#include <gtest/gtest.h>

#include "Views.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// Odd rows in red on yellow, through the list's own custom draw.
class TPaintedList : public TListView {
 public:
  using TListView::TListView;
  int itemStages = 0;

 protected:
  void Dispatch(TMessage& msg) override {
    if (msg.Msg == CN_NOTIFY && reinterpret_cast<NMHDR*>(msg.LParam)->code == static_cast<UINT>(NM_CUSTOMDRAW)) {
      auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(msg.LParam);
      if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
        msg.Result = CDRF_NOTIFYITEMDRAW;
        return;
      }
      if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        ++itemStages;
        if (cd->nmcd.dwItemSpec % 2) {
          cd->clrText = RGB(255, 0, 0);
          cd->clrTextBk = RGB(255, 255, 0);
        }
        msg.Result = CDRF_DODEFAULT;
        return;
      }
    }
    TListView::Dispatch(msg);
  }
};

// Images of its own for nodes that have none, as the shell tree gives the
// system icons; the user's handler does not run twice.
class TIconTree : public TTreeView {
 public:
  using TTreeView::TTreeView;
  int ownCalls = 0;

 protected:
  void GetImageIndex(TTreeNode* node) override {
    ++ownCalls;
    if (node->ImageIndex() == 0) node->SetImageIndex(2);
    TTreeView::GetImageIndex(node);
  }
  void Dispatch(TMessage& msg) override {
    if (msg.Msg == CN_NOTIFY && reinterpret_cast<NMHDR*>(msg.LParam)->code == static_cast<UINT>(TVN_GETDISPINFOA)) {
      auto* di = reinterpret_cast<NMTVDISPINFOA*>(msg.LParam);
      auto* node = reinterpret_cast<TTreeNode*>(di->item.lParam);
      if (node && (di->item.mask & TVIF_IMAGE)) {
        if (OnGetImageIndex) OnGetImageIndex(this, node);
        TTVExpandedEvent saved = OnGetImageIndex;
        OnGetImageIndex = nullptr;
        TTreeView::Dispatch(msg);
        OnGetImageIndex = saved;
        return;
      }
    }
    TTreeView::Dispatch(msg);
  }
};

}  // namespace

TEST(ViewHooks, ADescendantDrawsItemsThroughCustomDraw) {
  auto* form = new TViewsForm(Application);
  form->List->Free();
  auto* list = new TPaintedList(form);
  list->SetParent(form);
  list->SetBounds(8, 8, 400, 360);
  list->SetViewStyle(vsReport);
  list->Columns()->Add()->SetWidth(200);
  for (const char* c : {"plain", "painted", "plain", "painted"}) list->Items()->Add()->SetCaption(c);
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  ASSERT_TRUE(WaitFor([&] { return list->itemStages >= 4; }, 3000));
  PumpFor(50);
  SaveScreenshot(form->Handle());
  TDibSurface s = CaptureClient(list->Handle());
  EXPECT_GT(CountColor(s, list->Items()->Item(1)->DisplayRect(drLabel), RGB(255, 255, 0)), 20);
  EXPECT_EQ(CountColor(s, list->Items()->Item(0)->DisplayRect(drLabel), RGB(255, 255, 0)), 0);
  form->Free();
}

TEST(ViewHooks, TheVirtualImageRoutineAnswersAroundTheUsersHandler) {
  auto* form = new TViewsForm(Application);
  auto* tree = new TIconTree(form);
  tree->SetParent(form);
  tree->SetImages(form->Images);
  TTreeNode* plain = tree->Items()->Add(nullptr, "plain");
  TTreeNode* own = tree->Items()->Add(nullptr, "own");
  own->SetImageIndex(1);
  int userCalls = 0;
  tree->OnGetImageIndex = [&](TObject*, TTreeNode*) { ++userCalls; };
  HWND h = tree->Handle();
  EXPECT_EQ(NodeImage(h, plain->ItemId(), false), 2);
  EXPECT_EQ(NodeImage(h, own->ItemId(), false), 1);
  EXPECT_EQ(userCalls, 2);
  EXPECT_EQ(tree->ownCalls, 2);
  form->Free();
}

TEST(ViewHooks, ARightClickAsksTheListForItsContextMenu) {
  auto* form = new TViewsForm(Application);
  TListView* list = form->List;
  list->Columns()->Add()->SetWidth(150);
  list->Items()->Add()->SetCaption("one");
  int asked = 0;
  TPoint at;
  list->OnContextPopup = [&](TObject*, TPoint p, bool& handled) {
    ++asked;
    at = p;
    handled = true;
  };
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  TRect r = list->Items()->Item(0)->DisplayRect(drLabel);
  POINT p{r.left + 10, (r.top + r.bottom) / 2};
  ASSERT_TRUE(RightClick(list->Handle(), p));
  ASSERT_TRUE(WaitFor([&] { return asked > 0; }, 2000));
  EXPECT_EQ(asked, 1);
  EXPECT_LE(std::abs(at.x - p.x), 2);
  EXPECT_LE(std::abs(at.y - p.y), 2);
  form->Free();
}

TEST(ViewHooks, ObjectOfAnswersForObjectWindowsAndSubclassedOnes) {
  auto* form = new TViewsForm(Application);
  EXPECT_EQ(TObjectWindowClass::ObjectOf(form->List->Handle()), static_cast<TWindowObject*>(form->List));
  struct TPlain : TWindowObject {
    void WindowMessage(HWND wnd, TMessage& msg) override { msg.Result = TObjectWindowClass::DefaultProc(wnd, msg); }
  } plain;
  HWND button = CreateWindowA("BUTTON", "b", WS_CHILD, 0, 0, 20, 20, form->Handle(), nullptr, nullptr, nullptr);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(TObjectWindowClass::ObjectOf(button), nullptr);
  TObjectWindowClass::Subclass(button, &plain);
  EXPECT_EQ(TObjectWindowClass::ObjectOf(button), &plain);
  TObjectWindowClass::Unsubclass(button);
  EXPECT_EQ(TObjectWindowClass::ObjectOf(button), nullptr);
  DestroyWindow(button);
  form->Free();
}
