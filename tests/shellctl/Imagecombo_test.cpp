// The image combo and the shell combo on T:: the desktop with its folders
// and drives, the chain down to a deep folder, going up, keeping in step
// with a shell tree, the drop-down near the screen's bottom and lazy item
// data that fails.
#include "Shellcontrolstest.h"
#include "shellctl/Uptimagecombo.h"
#include "support/Input.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

class TComboForm : public TForm {
 public:
  explicit TComboForm(bool withTree, int top = 40) : TForm(Application) {
    SetCaption("Shell combo");
    SetBounds(60, top, 640, 400);
    if (withTree) {
      Tree = new TPTShellTree(this);
      Tree->SetParent(this);
      Tree->SetAlign(alLeft);
      Tree->SetWidth(220);
      Tree->SetHideSelection(false);
      TPTShellTreeOptions o = Tree->Options();
      o >> ptstoDynamicRefresh;
      Tree->SetOptions(o);
    }
    Combo = new TPTShellCombo(this);
    Combo->SetParent(this);
    Combo->SetBounds(withTree ? 230 : 8, 8, 380, 24);
    EndLoading();
  }
  TPTShellTree* Tree = nullptr;
  TPTShellCombo* Combo = nullptr;
};

struct ShellComboTest : ::testing::Test {
  void Show(bool withTree, int top = 40) {
    form.reset(new TComboForm(withTree, top));
    combo = form->Combo;
    tree = form->Tree;
    if (tree) combo->SetShellTree(tree);
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
  }
  String PathAt(int i) {
    TPTShComboData* data = combo->GetShComboData(i);
    return data ? ShellGetPathFromIdList(data->AbsPidl()) : String("?");
  }
  int Indent(int i) { return combo->GetImageComboItem(i)->Indent(); }
  int IndexOfPath(const String& path) {
    for (int i = 0; i < combo->Items()->Count(); ++i)
      if (SameText(PathAt(i), path)) return i;
    return -1;
  }
  void TearDown() override { form.reset(); }
  TOwned<TComboForm> form;
  TPTShellCombo* combo = nullptr;
  TPTShellTree* tree = nullptr;
};

bool Dropped(TCustomComboBox* combo) { return SendMessageA(combo->Handle(), CB_GETDROPPEDSTATE, 0, 0) != 0; }

}  // namespace

TEST_F(ShellComboTest, TheDesktopWithItsFoldersAndTheDrives) {
  Show(false);
  SaveScreenshot(form->Handle());
  ASSERT_GT(combo->Items()->Count(), 3);
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(Indent(0), 0);
  EXPECT_TRUE(IdListCount(combo->GetShComboData(0)->AbsPidl()) == 0);
  // The drives at indent 2 right below My Computer, the rest at 1.
  TPidl drives;
  ASSERT_EQ(ShellGetSpecialFolderIdList(nullptr, csidlDrives, drives), S_OK);
  int computer = -1;
  for (int i = 1; i < combo->Items()->Count(); ++i)
    if (CompareAbsIdLists(combo->GetShComboData(i)->AbsPidl(), drives.get()) == 0) computer = i;
  ASSERT_GT(computer, 0);
  EXPECT_EQ(Indent(computer), 1);
  int t = IndexOfPath("T:\\");
  ASSERT_GT(t, computer);
  int below = computer + 1;
  while (below < combo->Items()->Count() && Indent(below) == 2) ++below;
  EXPECT_LT(t, below);
  for (int i = 1; i < combo->Items()->Count(); ++i)
    EXPECT_EQ(Indent(i), i > computer && i < below ? 2 : 1) << i << " " << PathAt(i);
  // Only the selected entry has its caption before it is drawn.
  EXPECT_FALSE(combo->GetImageComboItem(0)->Caption().empty());
}

TEST_F(ShellComboTest, TheChainBelowADriveAndGoingUp) {
  String base = MakeShellTestFolder("combo-chain");
  ForceDirectories(base + "\\x\\y");
  ForceDirectories(base + "\\sibling");
  String dir = base + "\\x\\y";
  Show(false);
  combo->SelectedFolder()->SetPathName(dir);
  int t = IndexOfPath("T:\\");
  ASSERT_GT(t, 0);
  // Below T: only the way down, one level deeper each.
  std::vector<String> chain;
  int i = t + 1;
  for (; i < combo->Items()->Count() && Indent(i) > 2; ++i) {
    EXPECT_EQ(Indent(i), Indent(i - 1) + 1) << PathAt(i);
    chain.push_back(PathAt(i));
  }
  ASSERT_GE(chain.size(), 3u);
  EXPECT_TRUE(SameText(chain.back(), dir));
  EXPECT_TRUE(SameText(chain[chain.size() - 2], base + "\\x"));
  EXPECT_EQ(IndexOfPath(base + "\\sibling"), -1);
  // The other drives stay listed.
  EXPECT_GE(IndexOfPath("C:\\"), 0);
  EXPECT_EQ(combo->ItemIndex(), t + static_cast<int>(chain.size()));
  EXPECT_EQ(combo->GetImageComboItem(combo->ItemIndex())->Caption(), "y");
  SaveScreenshot(form->Handle(), "chain");

  combo->GoUp(1);
  EXPECT_TRUE(SameText(combo->SelectedFolder()->GetPathName(), base + "\\x"));
  EXPECT_TRUE(SameText(PathAt(combo->ItemIndex()), base + "\\x"));
  combo->GoUp(2);
  EXPECT_TRUE(SameText(combo->SelectedFolder()->GetPathName(), ExtractFileDir(base)));
}

TEST_F(ShellComboTest, KeptInStepWithATree) {
  String base = MakeShellTestFolder("combo-tree");
  ForceDirectories(base + "\\inner");
  Show(true);
  ASSERT_EQ(tree->ShellCombo(), combo);
  ASSERT_TRUE(WaitUntil([&] { return tree->Items()->Count() > 0; }));
  // The tree's selection refills the combo.
  tree->SetSelectedPathName(base + "\\inner");
  EXPECT_TRUE(SameText(PathAt(combo->ItemIndex()), base + "\\inner"));
  EXPECT_TRUE(SameText(combo->SelectedFolder()->GetPathName(), base + "\\inner"));
  // Choosing the entry above in the dropped list moves the tree.
  ASSERT_TRUE(FocusWindow(combo->Handle()));
  ASSERT_TRUE(KeyChord({VK_MENU, VK_DOWN}));
  ASSERT_TRUE(WaitUntil([&] { return Dropped(combo); }));
  ASSERT_TRUE(KeyChord({VK_UP}));
  SaveScreenshot(form->Handle(), "shell-combo");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_FALSE(Dropped(combo));
  EXPECT_TRUE(SameText(combo->SelectedFolder()->GetPathName(), base));
  EXPECT_TRUE(SameText(tree->GetSelectedPathName(), base));
  EXPECT_TRUE(SameText(PathAt(combo->ItemIndex()), base));
}

TEST_F(ShellComboTest, NearTheScreensBottomTheListStillDrops) {
  int screen = GetSystemMetrics(SM_CYSCREEN);
  Show(false, screen - 120);
  // The combo's bottom 5 pixels above the screen's: no whole row fits.
  RECT r;
  GetWindowRect(combo->Handle(), &r);
  form->SetTop(form->Top() + (screen - 5) - r.bottom);
  GetWindowRect(combo->Handle(), &r);
  ASSERT_EQ(r.bottom, screen - 5);
  ASSERT_EQ((screen - r.bottom - 1) / combo->ItemHeight(), 0);
  ASSERT_TRUE(FocusWindow(combo->Handle()));
  ASSERT_TRUE(KeyChord({VK_MENU, VK_DOWN}));
  ASSERT_TRUE(WaitUntil([&] { return Dropped(combo); }));
  EXPECT_EQ(combo->DropDownCount(), 1);
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  // Without the automatic count the count stays as set.
  combo->SetAutoDropDownCount(false);
  combo->SetDropDownCount(5);
  ASSERT_TRUE(KeyChord({VK_MENU, VK_DOWN}));
  ASSERT_TRUE(WaitUntil([&] { return Dropped(combo); }));
  EXPECT_EQ(combo->DropDownCount(), 5);
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
}

TEST(ImageCombo, LazyDataFillsWhenDrawnAndAFailureDrawsEmpty) {
  TOwned<TForm> form(new TForm(Application));
  form->SetCaption("Image combo");
  form->SetBounds(60, 40, 300, 120);
  auto* combo = new TPTImageCombo(form.get());
  combo->SetParent(form.get());
  combo->SetBounds(8, 8, 200, 24);
  TPTImageComboItem* lazy = combo->AddItem("", -1, 0);
  TPTImageComboItem* failing = combo->AddItem("", -1, 1);
  combo->OnGetItemData = [&](TObject*, TPTImageComboItem* item) {
    if (item == failing) throw Exception("no data");
    item->SetCaption("filled");
  };
  form->EndLoading();
  TScopedExceptionHook hook;
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  for (int i : {0, 1}) {
    combo->SetItemIndex(i);
    UpdateWindow(combo->Handle());
    PumpFor(50);
  }
  EXPECT_EQ(lazy->Caption(), "filled");
  EXPECT_EQ(failing->Caption(), "");
  EXPECT_TRUE(hook.Messages.empty());
  SaveScreenshot(form->Handle(), "failing-item");
}
