// A form built in code as the program's windows are, laid out, driven and
// looked at: the layout follows Align, notifications reach their controls,
// modal forms open from a click and end with their buttons.
#include <gtest/gtest.h>

#include "classlib/Comctrls.h"
#include "classlib/Extctrls.h"
#include "classlib/Stdctrls.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

class TSampleForm : public TForm {
 public:
  explicit TSampleForm(TComponent* owner) : TForm(owner) {
    SetName("SampleForm");
    SetCaption("Sample");
    SetBounds(40, 40, 640, 480);
    Images = new TImageList(this);
    TBitmap glyph;
    glyph.SetSize(16, 16);
    for (TColor c : {clRed, clGreen, clBlue}) {
      glyph.Canvas()->Brush()->SetColor(c);
      glyph.Canvas()->FillRect(TRect(0, 0, 16, 16));
      Images->Add(&glyph, nullptr);
    }
    Top = new TPanel(this);
    Top->SetName("Top");
    Top->SetParent(this);
    Top->SetAlign(alTop);
    Top->SetHeight(41);
    Top->SetCaption("Top panel");
    Tree = new TTreeView(this);
    Tree->SetName("Tree");
    Tree->SetParent(this);
    Tree->SetAlign(alLeft);
    Tree->SetWidth(160);
    Tree->SetImages(Images);
    Split = new TSplitter(this);
    Split->SetName("Split");
    Split->SetParent(this);
    Split->SetLeft(160);
    Split->SetAlign(alLeft);
    Split->SetMinSize(60);
    Status = new TStatusBar(this);
    Status->SetName("Status");
    Status->SetParent(this);
    for (int w : {100, 250, 250}) Status->Panels()->Add()->SetWidth(w);
    Status->Panels()->Items(0)->SetText(" Quellmark \xae");
    List = new TListView(this);
    List->SetName("List");
    List->SetParent(this);
    List->SetAlign(alClient);
    List->SetViewStyle(vsReport);
    List->SetSmallImages(Images);
    for (auto [caption, width] : {std::pair<const char*, int>{"Name", 180}, {"Size", 80}, {"Date", 80}}) {
      TListColumn* col = List->Columns()->Add();
      col->SetCaption(caption);
      col->SetWidth(width);
    }
    TTreeNode* root = Tree->Items()->Add(nullptr, "Root");
    root->SetImageIndex(0);
    for (int i = 0; i < 5; ++i) Tree->Items()->AddChild(root, "Folder " + IntToStr(i))->SetImageIndex(1);
    List->Items()->BeginUpdate();
    for (int i = 0; i < 1000; ++i) {
      TListItem* it = List->Items()->Add();
      it->SetCaption(Format("file%.4d.txt", i));
      it->SetImageIndex(i % 3);
      it->SubItems()->Add(IntToStr(i * 7));
      it->SubItems()->Add("12/10/2026");
    }
    List->Items()->EndUpdate();
    EndLoading();
    root->Expand(false);
  }
  TImageList* Images;
  TPanel* Top;
  TTreeView* Tree;
  TSplitter* Split;
  TStatusBar* Status;
  TListView* List;
};

TRect WindowBounds(TWinControl* c) {
  RECT r;
  GetWindowRect(c->Handle(), &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(c->Handle()), reinterpret_cast<POINT*>(&r), 2);
  return TRect(r);
}

// Every control's window where its bounds say, and the bounds as Align lays
// them out in the form's client area.
void ExpectLayout(TSampleForm* f) {
  TRect c = f->ClientRect();
  int statusH = f->Status->Height();
  EXPECT_GT(statusH, 0);
  EXPECT_EQ(f->Top->BoundsRect(), TRect(0, 0, c.right, 41));
  EXPECT_EQ(f->Status->BoundsRect(), TRect(0, c.bottom - statusH, c.right, c.bottom));
  int treeW = f->Tree->Width();
  EXPECT_EQ(f->Tree->BoundsRect(), TRect(0, 41, treeW, c.bottom - statusH));
  EXPECT_EQ(f->Split->BoundsRect(), TRect(treeW, 41, treeW + f->Split->Width(), c.bottom - statusH));
  EXPECT_EQ(f->List->BoundsRect(), TRect(treeW + f->Split->Width(), 41, c.right, c.bottom - statusH));
  for (TWinControl* w : std::initializer_list<TWinControl*>{f->Top, f->Tree, f->Split, f->Status, f->List})
    EXPECT_EQ(WindowBounds(w), w->BoundsRect()) << w->Name();
}

}  // namespace

TEST(SampleForm, AlignRulesHoldAsTheFormResizesAndTheSplitterMoves) {
  TOwned<TSampleForm> f(new TSampleForm(Application));
  f->Show();
  ASSERT_TRUE(WaitVisible(f->List->Handle()));
  PumpFor(100);
  ExpectLayout(f.get());
  EXPECT_EQ(SendMessageA(f->List->Handle(), LVM_GETITEMCOUNT, 0, 0), 1000);
  SaveScreenshot(f->Handle());

  f->SetBounds(40, 40, 820, 560);
  PumpFor(100);
  ExpectLayout(f.get());
  f->SetBounds(40, 40, 500, 360);
  PumpFor(100);
  ExpectLayout(f.get());

  // The splitter dragged to the right widens the tree; far to the left it
  // stops at its minimum size.
  HWND split = f->Split->Handle();
  POINT mid{f->Split->Width() / 2, f->Split->Height() / 2};
  ASSERT_TRUE(Drag(split, mid, POINT{mid.x + 80, mid.y}, 8));
  PumpFor(50);
  EXPECT_EQ(f->Tree->Width(), 240);
  ASSERT_TRUE(Drag(split, mid, POINT{mid.x - 220, mid.y}, 8));
  PumpFor(50);
  EXPECT_EQ(f->Tree->Width(), 60);
  ExpectLayout(f.get());
  SaveScreenshot(f->Handle(), "resized");
}

TEST(Reflection, NotificationsReachTheControlsThatSentThem) {
  TOwned<TForm> f(new TForm(Application));
  f->SetCaption("Reflection");
  f->SetBounds(60, 60, 420, 320);
  auto* button = new TButton(f.get());
  button->SetParent(f.get());
  button->SetBounds(10, 10, 90, 25);
  button->SetCaption("Press");
  auto* combo = new TComboBox(f.get());
  combo->SetParent(f.get());
  combo->SetBounds(110, 10, 150, 24);
  combo->SetStyle(csDropDownList);
  for (const char* s : {"Binary", "ASCII"}) combo->Items()->Add(s);
  auto* box = new TListBox(f.get());
  box->SetParent(f.get());
  box->SetBounds(10, 50, 150, 120);
  box->SetStyle(lbOwnerDrawFixed);
  box->SetItemHeight(18);
  for (const char* s : {"one", "two", "three"}) box->Items()->Add(s);
  auto* list = new TListView(f.get());
  list->SetParent(f.get());
  list->SetBounds(170, 50, 230, 120);
  list->SetViewStyle(vsReport);
  list->Columns()->Add()->SetCaption("Column");
  list->Items()->Add()->SetCaption("Item");
  f->EndLoading();

  std::vector<String> seen;
  button->OnClick = [&](TObject*) { seen.push_back("click"); };
  combo->OnChange = [&](TObject*) { seen.push_back("change " + combo->Text()); };
  std::vector<int> drawn;
  box->OnDrawItem = [&](TWinControl*, int index, TRect r, TOwnerDrawState) {
    drawn.push_back(index);
    box->Canvas()->Brush()->SetColor(index == 1 ? clRed : clWindow);
    box->Canvas()->FillRect(r);
  };
  list->OnColumnClick = [&](TObject*, TListColumn* col) { seen.push_back("column " + col->Caption()); };
  f->Show();
  ASSERT_TRUE(WaitVisible(list->Handle()));

  ASSERT_TRUE(Click(button->Handle()));
  ASSERT_TRUE(WaitFor([&] { return !seen.empty(); }, 2000));
  // A choice in the combo's list, as the keyboard makes it.
  ASSERT_TRUE(FocusWindow(combo->Handle()));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(WaitFor([&] { return seen.size() >= 2; }, 2000));
  HWND header = ListView_GetHeader(list->Handle());
  RECT hr;
  Header_GetItemRect(header, 0, &hr);
  ASSERT_TRUE(Click(header, POINT{(hr.left + hr.right) / 2, (hr.top + hr.bottom) / 2}));
  ASSERT_TRUE(WaitFor([&] { return seen.size() >= 3; }, 2000));
  EXPECT_EQ(seen, (std::vector<String>{"click", "change Binary", "column Column"}));
  ASSERT_TRUE(WaitFor([&] { return drawn.size() >= 3; }, 2000));
  TDibSurface shot = CaptureClient(box->Handle());
  RECT second;
  SendMessageA(box->Handle(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
  EXPECT_EQ(shot.Pixel(second.left + 20, (second.top + second.bottom) / 2), RGB(255, 0, 0));
  SaveScreenshot(f->Handle());
}

TEST(ModalForm, OpensFromAButtonAndEndsWithEscapeOrOk) {
  TOwned<TForm> owner(new TForm(Application));
  owner->SetCaption("Owner");
  owner->SetBounds(60, 60, 300, 200);
  auto* open = new TButton(owner.get());
  open->SetParent(owner.get());
  open->SetBounds(20, 20, 100, 25);
  open->SetCaption("&Open...");
  TOwned<TForm> other(new TForm(Application));
  other->SetCaption("Disabled before");
  other->SetBounds(420, 60, 250, 150);
  owner->EndLoading();
  other->EndLoading();
  std::vector<TModalResult> results;
  open->OnClick = [&](TObject*) {
    TOwned<TForm> dlg(new TForm(Application));
    dlg->SetCaption("Choose");
    dlg->SetBorderStyle(bsDialog);
    dlg->SetPosition(poScreenCenter);
    dlg->SetBounds(0, 0, 260, 130);
    auto* edit = new TEdit(dlg.get());
    edit->SetParent(dlg.get());
    edit->SetBounds(10, 10, 230, 22);
    auto* ok = new TButton(dlg.get());
    ok->SetParent(dlg.get());
    ok->SetBounds(60, 60, 80, 25);
    ok->SetCaption("OK");
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    auto* cancel = new TButton(dlg.get());
    cancel->SetParent(dlg.get());
    cancel->SetBounds(150, 60, 80, 25);
    cancel->SetCaption("Cancel");
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    dlg->EndLoading();
    results.push_back(dlg->ShowModal());
  };
  other->Show();
  EnableWindow(other->Handle(), FALSE);
  owner->Show();
  ASSERT_TRUE(WaitVisible(open->Handle()));

  {
    // Escape: the cancel button.
    TModalDriver modal;
    modal.Window("Choose").Do("shot", [](HWND w) {
      SaveScreenshot(w, "dialog");
      return true;
    }).Key(VK_ESCAPE);
    ASSERT_TRUE(Click(open->Handle()));
    ASSERT_TRUE(WaitFor([&] { return results.size() == 1; }, 5000));
    EXPECT_TRUE(modal.Finish());
  }
  {
    // The OK button pressed by the driver.
    TModalDriver modal;
    modal.Window("Choose").SetEditAt(0, "typed").Press("OK");
    ASSERT_TRUE(Click(open->Handle(), POINT{30, 10}));
    ASSERT_TRUE(WaitFor([&] { return results.size() == 2; }, 5000));
    EXPECT_TRUE(modal.Finish());
  }
  EXPECT_EQ(results, (std::vector<TModalResult>{mrCancel, mrOk}));
  EXPECT_TRUE(IsWindowEnabled(owner->Handle()));
  EXPECT_FALSE(IsWindowEnabled(other->Handle()));
}
