// What the user does with the shell tree on T:: the key verbs through real
// keys, the shell's context menu through the menu tracker, renaming the
// selected folder in place, new folders, and the wheel passed between the
// tree and the list.
#include "Shellacttest.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

struct TreeActTest : ::testing::Test {
  // A tree beside a list, dir selected.
  void Show(const String& dir) {
    form.reset(new TShellForm(TShellForm::kPane, "Shell tree"));
    tree = form->Tree;
    list = form->List;
    tree->SetShellList(list);
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
    ASSERT_TRUE(WaitUntil([&] { return tree->Items()->Count() > 0; }));
    tree->SetSelectedPathName(dir);
    ASSERT_TRUE(SameText(tree->GetSelectedPathName(), dir));
  }
  TTreeNode* Node(const String& path) {
    tree->SetSelectedPathName(path);
    EXPECT_TRUE(SameText(tree->GetSelectedPathName(), path)) << path;
    return tree->Selected();
  }
  POINT Centre(TTreeNode* node) {
    TRect r = node->DisplayRect(true);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  String ListPath() { return ShellGetPathFromIdList(list->FolderIdList()); }
  void TearDown() override { form.reset(); }
  TOwned<TShellForm> form;
  TPTShellTree* tree = nullptr;
  TPTShellList* list = nullptr;
};

String Dir(const String& name) {
  String dir = MakeShellTestFolder("treeact-" + name);
  for (const char* sub : {"b", "d", "f", "d\\inner"}) ForceDirectories(dir + "\\" + sub);
  MakeFile(dir + "\\d\\inner\\x.txt");
  return dir;
}

bool Exists(const String& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

HWND EditorOf(TPTCustomShellTree* tree) {
  return reinterpret_cast<HWND>(SendMessageA(tree->Handle(), TVM_GETEDITCONTROL, 0, 0));
}

String TextOf(HWND wnd) {
  char text[MAX_PATH] = {};
  GetWindowTextA(wnd, text, sizeof text);
  return text;
}

// One notch of the wheel, with the cursor at a screen point.
::testing::AssertionResult Wheel(POINT at, int delta) {
  if (auto moved = MoveTo(at); !moved) return moved;
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = MOUSEEVENTF_WHEEL;
  in.mi.mouseData = static_cast<DWORD>(delta);
  if (SendInput(1, &in, sizeof in) != 1) return ::testing::AssertionFailure() << "SendInput";
  WaitInputProcessed();
  return ::testing::AssertionSuccess();
}

int ScrollPos(HWND wnd, int bar) {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_POS;
  GetScrollInfo(wnd, bar, &si);
  return si.nPos;
}

}  // namespace

// ---------------------------------------------------------------- keys and menus

TEST_F(TreeActTest, KeysOnTheSelectedNode) {
  String dir = Dir("keys");
  Show(dir);
  TTreeNode* shown = Node(dir + "\\d");
  ASSERT_TRUE(FocusWindow(tree->Handle()));
  // Ctrl+A selects nothing else; F5 refreshes the nodes.
  ForceDirectories(dir + "\\c");
  int fills = form->TreeFills;
  ASSERT_TRUE(KeyChord({VK_CONTROL, 'A'}));
  EXPECT_EQ(tree->Selected(), shown);
  EXPECT_EQ(form->TreeFills, fills);
  ASSERT_TRUE(KeyChord({VK_F5}));
  EXPECT_EQ(form->TreeFills, fills + 1);
  EXPECT_EQ(ChildTexts(shown->Parent()), (std::vector<String>{"b", "c", "d", "f"}));

  // Ctrl+C puts the folder on the clipboard.
  ASSERT_TRUE(KeyChord({VK_CONTROL, 'C'}));
  {
    TComPtr<IDataObject> clip;
    ASSERT_EQ(OleGetClipboard(clip.Put()), S_OK);
    TShellIDList copied;
    ASSERT_TRUE(ReadShellIDList(clip.Get(), copied));
    ASSERT_EQ(copied.Children.size(), 1u);
    TPidl whole = ConcatIdLists(nullptr, copied.Parent.get(), copied.Children[0].get());
    EXPECT_TRUE(SameText(ShellGetPathFromIdList(whole.get()), dir + "\\d"));
    clip.Reset();
    OleSetClipboard(nullptr);
  }

  // Del (and Shift+Del) move the folder to the trash; its node goes.
  for (const auto& [name, shift] : {std::make_pair("c", false), std::make_pair("f", true)}) {
    Node(dir + "\\" + name);
    ASSERT_TRUE(FocusWindow(tree->Handle()));
    TModalDriver modal;
    modal.Window("", "#32770").Press("&Yes");
    ASSERT_TRUE(shift ? KeyChord({VK_SHIFT, VK_DELETE}) : KeyChord({VK_DELETE}));
    ASSERT_TRUE(modal.Finish());
    EXPECT_FALSE(Exists(dir + "\\" + name)) << name;
    TTreeNode* parent = Node(dir);
    EXPECT_EQ(ChildByText(parent, name), nullptr) << name;
  }
  EXPECT_EQ(ChildTexts(Node(dir)), (std::vector<String>{"b", "d"}));
}

TEST_F(TreeActTest, TheShellMenuOfANode) {
  String dir = Dir("menus");
  Show(dir);
  // The desktop's top node has no menu.
  {
    TScopedTracker tracker([](HMENU) { return 0u; });
    TTreeNode* top = tree->Items()->GetFirstNode();
    LPCITEMIDLIST topPidl = tree->NodeData(top)->GetAbsPidl();
    ASSERT_TRUE(!topPidl || topPidl->mkid.cb == 0);
    tree->ProcessMenu(top, TPoint(10, 10));
    EXPECT_EQ(tracker.Calls, 0);
  }
  // "copy" from the menu of a clicked node; the tree is busy meanwhile.
  TTreeNode* d = Node(dir + "\\d");
  bool busyMeanwhile = false;
  {
    TScopedTracker tracker([&](HMENU) {
      busyMeanwhile = tree->Busy();
      return CommandOf(tree->MenuHandler(), "copy");
    });
    ASSERT_TRUE(RightClick(tree->Handle(), Centre(d)));
    ASSERT_EQ(tracker.Calls, 1);
  }
  EXPECT_TRUE(busyMeanwhile);
  EXPECT_FALSE(tree->Busy());
  {
    TComPtr<IDataObject> clip;
    ASSERT_EQ(OleGetClipboard(clip.Put()), S_OK);
    TShellIDList copied;
    ASSERT_TRUE(ReadShellIDList(clip.Get(), copied));
    ASSERT_EQ(copied.Children.size(), 1u);
    clip.Reset();
    OleSetClipboard(nullptr);
  }
  // A Send To entry drops the node on the entry's target.
  {
    TScopedSendTo sendTo("Backup.txt");
    TScopedTracker tracker([](HMENU) { return 1u; });
    ASSERT_TRUE(RightClick(tree->Handle(), Centre(d)));
    EXPECT_EQ(sendTo.Resolved, "Backup.txt");
    EXPECT_EQ(sendTo.Target->Names(), (std::vector<String>{"enter", "over", "drop"}));
    ASSERT_EQ(sendTo.Target->Dropped.Children.size(), 1u);
    TPidl whole = ConcatIdLists(nullptr, sendTo.Target->Dropped.Parent.get(), sendTo.Target->Dropped.Children[0].get());
    EXPECT_TRUE(SameText(ShellGetPathFromIdList(whole.get()), dir + "\\d"));
  }
  // A folder made while the menu is up: refreshed once it is gone.
  {
    TScopedTracker tracker([&](HMENU) {
      ForceDirectories(dir + "\\during");
      tree->RefreshNodes();  // as the change notice would
      EXPECT_TRUE(tree->RefreshPending());
      EXPECT_EQ(ChildByText(d->Parent(), "during"), nullptr);
      return 0u;
    });
    ASSERT_TRUE(RightClick(tree->Handle(), Centre(d)));
    EXPECT_NE(ChildByText(d->Parent(), "during"), nullptr);
    EXPECT_FALSE(tree->RefreshPending());
  }
}

// ---------------------------------------------------------------- rename

TEST_F(TreeActTest, RenameTheSelectedFolder) {
  String dir = Dir("rename");
  Show(dir);
  TTreeNode* d = Node(dir + "\\d");
  ASSERT_TRUE(FocusWindow(tree->Handle()));
  ASSERT_TRUE(KeyChord({VK_F2}));
  ASSERT_TRUE(tree->IsEditing());
  EXPECT_EQ(TextOf(EditorOf(tree)), "d");
  ASSERT_TRUE(TypeText("a"));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_FALSE(tree->IsEditing());
  EXPECT_TRUE(Exists(dir + "\\a\\inner\\x.txt"));
  EXPECT_FALSE(Exists(dir + "\\d"));
  // The node keeps the selection under its new name, in its sorted place,
  // and the folder shown everywhere is the new one.
  EXPECT_EQ(tree->Selected(), d);
  EXPECT_EQ(d->Text(), "a");
  EXPECT_EQ(ChildTexts(d->Parent()), (std::vector<String>{"a", "b", "f"}));
  EXPECT_TRUE(SameText(tree->GetSelectedPathName(), dir + "\\a"));
  EXPECT_TRUE(SameText(ShellGetPathFromIdList(tree->SelectedFolder()->GetIdList()), dir + "\\a"));
  EXPECT_TRUE(SameText(ListPath(), dir + "\\a"));
  EXPECT_GE(IndexOfCaption(list, "inner"), 0);
  // The folder below reads from its new place.
  d->Expand(false);
  TTreeNode* inner = ChildByText(d, "inner");
  ASSERT_NE(inner, nullptr);
  EXPECT_TRUE(SameText(tree->NodeData(inner)->GetPathName(), dir + "\\a\\inner"));
  SaveScreenshot(form->Handle(), "renamed-node");

  // A name that is taken: the folder and its text stay.
  TTreeNode* f = Node(dir + "\\f");
  ASSERT_TRUE(FocusWindow(tree->Handle()));
  {
    TScopedDialogs dialogs;
    ASSERT_TRUE(KeyChord({VK_F2}));
    ASSERT_TRUE(tree->IsEditing());
    SetWindowTextA(EditorOf(tree), "b");
    ASSERT_TRUE(KeyChord({VK_RETURN}));
  }
  EXPECT_TRUE(Exists(dir + "\\f"));
  EXPECT_EQ(f->Text(), "f");
  EXPECT_TRUE(SameText(tree->GetSelectedPathName(), dir + "\\f"));
}

// ---------------------------------------------------------------- new folder

TEST_F(TreeActTest, NewFolderBelowTheSelectedNode) {
  String dir = Dir("newfolder");
  ForceDirectories(dir + "\\New Folder");
  ForceDirectories(dir + "\\New Folder (2)");
  Show(dir);
  ASSERT_TRUE(tree->CreateNewFolder(true));
  EXPECT_TRUE(Exists(dir + "\\New Folder (3)"));
  ASSERT_TRUE(tree->IsEditing());
  EXPECT_EQ(TextOf(EditorOf(tree)), "New Folder (3)");
  EXPECT_TRUE(SameText(tree->GetSelectedPathName(), dir));
  EXPECT_TRUE(tree->Selected()->Expanded());
  SaveScreenshot(form->Handle(), "new-folder-node");
  SendMessageA(tree->Handle(), TVM_ENDEDITLABELNOW, TRUE, 0);
  EXPECT_TRUE(SameText(tree->Selected()->Text(), "treeact-newfolder"));
  SaveScreenshot(form->Handle(), "new-folder-node-2");

  // My Computer has no path: nothing is made.
  TTreeNode* drives = nullptr;
  TTreeNode* top = tree->Items()->GetFirstNode();
  for (int i = 0; i < top->Count() && !drives; ++i)
    if (tree->NodeData(top->Item(i))->GetPathName().empty() && top->Item(i)->HasChildren()) {
      TPidl mine;
      ShellGetSpecialFolderIdList(nullptr, csidlDrives, mine);
      if (CompareAbsIdLists(tree->NodeData(top->Item(i))->GetAbsPidl(), mine.get()) == 0) drives = top->Item(i);
    }
  ASSERT_NE(drives, nullptr);
  drives->SetSelected(true);
  EXPECT_FALSE(tree->CreateNewFolder(false));
  EXPECT_FALSE(tree->SkipNextChange());
  EXPECT_FALSE(Exists(dir + "\\New Folder (4)"));
}

// ---------------------------------------------------------------- the wheel

TEST_F(TreeActTest, TheWheelGoesToTheControlUnderTheMouse) {
  String dir = MakeShellTestFolder("treeact-wheel");
  for (int i = 0; i < 60; ++i) ForceDirectories(dir + "\\folder " + IntToStr(100 + i));
  Show(dir);
  tree->Selected()->Expand(false);
  tree->SetTopItem(tree->Selected());
  ASSERT_TRUE(WaitUntil([&] { return list->Items()->Count() == 60; }));
  int treeAt = ScrollPos(tree->Handle(), SB_VERT);
  int listAt = ScrollPos(list->Handle(), SB_VERT);
  // Focus in the list, the mouse over the tree: the tree scrolls.
  ASSERT_TRUE(FocusWindow(list->Handle()));
  ASSERT_TRUE(Wheel(CentreOf(tree->Handle()), -WHEEL_DELTA));
  EXPECT_GT(ScrollPos(tree->Handle(), SB_VERT), treeAt);
  EXPECT_EQ(ScrollPos(list->Handle(), SB_VERT), listAt);
  // And the other way round.
  treeAt = ScrollPos(tree->Handle(), SB_VERT);
  ASSERT_TRUE(FocusWindow(tree->Handle()));
  ASSERT_TRUE(Wheel(CentreOf(list->Handle()), -WHEEL_DELTA));
  EXPECT_GT(ScrollPos(list->Handle(), SB_VERT), listAt);
  EXPECT_EQ(ScrollPos(tree->Handle(), SB_VERT), treeAt);
}
