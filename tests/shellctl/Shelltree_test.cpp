// The shell tree over T:: the lazy fill, buttons, hidden folders, the way
// to a selected folder, the list following the selection (by keyboard after
// a delay, by mouse at once), refreshes, change watches, device changes,
// failing folders, and the main window's local pane on screen.
#include "Shellcontrolstest.h"

#include <dbt.h>

#include "support/Input.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

// a\b\c\d, a\m, a\z, a file, a hidden and an empty folder, in a new folder.
String MakeTreeFolder(const String& name) {
  String dir = MakeShellTestFolder("tree-" + name);
  for (const char* sub : {"a\\z", "a\\b\\c\\d", "a\\m", "empty", "hid"}) ForceDirectories(dir + "\\" + sub);
  SetFileAttributesA((dir + "\\hid").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
  MakeFile(dir + "\\f.txt");
  MakeFile(dir + "\\a\\inner.txt");
  return dir;
}

// A tree that records the drives it watches.
class TWatchingTree : public TPTShellTree {
 public:
  using TPTShellTree::TPTShellTree;
  std::vector<String> Watched;

 protected:
  void InstallChangeHandler(const String& path) override {
    Watched.push_back(path);
    TPTShellTree::InstallChangeHandler(path);
  }
};

struct ShellTreeTest : ::testing::Test {
  void MakeTree(const String& base, TPTShellTreeOptions remove = {}) {
    form.reset(new TShellForm(TShellForm::kTree, "Shell tree"));
    tree = form->Tree;
    tree->SetOptions(tree->Options() - remove);
    if (!base.empty()) tree->BaseFolder()->SetPathName(base);
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
  }
  void MakePane(bool dynamicRefresh = false) {
    form.reset(new TShellForm(TShellForm::kPane, "Shell pane", dynamicRefresh));
    tree = form->Tree;
    list = form->List;
    tree->SetShellList(list);
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
    ASSERT_TRUE(WaitUntil([&] { return tree->Items()->Count() > 0 && list->Items()->Count() > 0; }));
  }
  TTreeNode* Top() { return tree->Items()->GetFirstNode(); }
  void TearDown() override { form.reset(); }
  TOwned<TShellForm> form;
  TPTShellTree* tree = nullptr;
  TPTShellList* list = nullptr;
};

String ListPath(TPTCustomShellList* list) { return ShellGetPathFromIdList(list->FolderIdList()); }

}  // namespace

// ---------------------------------------------------------------- filling

TEST_F(ShellTreeTest, LazyFillSortedChildrenAndButtons) {
  String dir = MakeTreeFolder("lazy");
  MakeTree(dir);
  TTreeNode* top = Top();
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(tree->Items()->GetFirstNode()->GetNextSibling(), nullptr);
  EXPECT_TRUE(SameText(tree->NodeData(top)->GetPathName(), dir));
  EXPECT_TRUE(top->Expanded());
  // Only the first level: a is there, its children are not yet.
  EXPECT_EQ(ChildTexts(top), (std::vector<String>{"a", "empty", "hid"}));
  TTreeNode* a = ChildByText(top, "a");
  EXPECT_EQ(a->Count(), 0);
  EXPECT_TRUE(HasButton(tree, a));
  EXPECT_EQ(tree->Items()->Count(), 4);
  // Hidden folders are ghosted.
  TTreeNode* hid = ChildByText(top, "hid");
  EXPECT_TRUE(hid->Cut());
  EXPECT_FALSE(a->Cut());

  // Expanding fills, sorted; a folder that turns out empty loses its button.
  a->Expand(false);
  EXPECT_EQ(ChildTexts(a), (std::vector<String>{"b", "m", "z"}));
  TTreeNode* empty = ChildByText(top, "empty");
  empty->Expand(false);
  EXPECT_EQ(empty->Count(), 0);
  EXPECT_FALSE(HasButton(tree, empty));
  EXPECT_FALSE(empty->HasChildren());
  // Icons come from the shell when the window asks.
  TVITEMA it{};
  it.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
  it.hItem = a->ItemId();
  SendMessageA(tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  EXPECT_EQ(it.iImage, ShellGetIconIndex(tree->NodeData(a)->GetAbsPidl(), SHGFI_SMALLICON));
  EXPECT_EQ(it.iSelectedImage, ShellGetIconIndex(tree->NodeData(a)->GetAbsPidl(), SHGFI_SMALLICON | SHGFI_OPENICON));
  SaveScreenshot(form->Handle());

  // Without hidden items the hidden folder is gone; with non-folders the
  // files come.
  tree->SetOptions(tree->Options() - ptstoShowHidden);
  tree->FillItems();
  EXPECT_EQ(ChildTexts(Top()), (std::vector<String>{"a", "empty"}));
  tree->SetOptions(tree->Options() + ptstoIncludeNonFolders);
  tree->FillItems();
  EXPECT_EQ(ChildTexts(Top()), (std::vector<String>{"a", "empty", "f.txt"}));
  TTreeNode* file = ChildByText(Top(), "f.txt");
  EXPECT_FALSE(file->HasChildren());
  // With non-folders a folder has a button before it is filled.
  EXPECT_TRUE(ChildByText(Top(), "empty")->HasChildren());
  ChildByText(Top(), "a")->Expand(false);
  EXPECT_EQ(ChildTexts(ChildByText(Top(), "a")), (std::vector<String>{"b", "m", "z", "inner.txt"}));
}

TEST_F(ShellTreeTest, TheWayToASelectedFolder) {
  String dir = MakeTreeFolder("way");
  MakePane();
  String deep = dir + "\\a\\b\\c";
  int listFills = form->ListFills;
  tree->SetSelectedPathName(deep);
  TTreeNode* c = tree->Selected();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Text(), "c");
  EXPECT_TRUE(SameText(tree->GetSelectedPathName(), deep));
  EXPECT_TRUE(SameText(tree->SelectedFolder()->GetPathName(), deep));
  // Every level on the way is expanded, the last one not.
  for (TTreeNode* n = c->Parent(); n; n = n->Parent()) EXPECT_TRUE(n->Expanded()) << n->Text();
  EXPECT_FALSE(c->Expanded());
  // The list shows it at once, filled once.
  EXPECT_TRUE(SameText(ListPath(list), deep));
  EXPECT_EQ(CaptionSet(list), (std::set<String>{"d"}));
  EXPECT_EQ(form->ListFills, listFills + 1);

  // A list that hides file-system folders gets the last node expanded too.
  list->SetOptions(list->Options() + ptsloHideFoldersWhenLinkedToTree);
  tree->SetSelectedPathName(dir + "\\a");
  tree->SetSelectedPathName(deep);
  EXPECT_TRUE(tree->Selected()->Expanded());
  EXPECT_EQ(list->Items()->Count(), 0);

  // The list's own folder change moves the tree.
  list->SetOptions(list->Options() - ptsloHideFoldersWhenLinkedToTree);
  list->Folder()->SetPathName(dir + "\\a\\m");
  EXPECT_EQ(tree->Selected()->Text(), "m");
  EXPECT_TRUE(SameText(tree->GetSelectedPathName(), dir + "\\a\\m"));
  // Up two levels.
  tree->GoUp(2);
  EXPECT_TRUE(SameText(tree->GetSelectedPathName(), dir));
  EXPECT_TRUE(SameText(ListPath(list), dir));
  // A path that names nothing selects the top node.
  tree->SetSelectedPathName(dir + "\\gone");
  EXPECT_EQ(tree->Selected(), Top());
  EXPECT_EQ(tree->GetSelectedPathName(), "");
}

TEST_F(ShellTreeTest, TheListFollowsKeysAfterADelayAndClicksAtOnce) {
  String dir = MakeTreeFolder("keys");
  TScopedClock clock;
  MakePane();
  tree->SetSelectedPathName(dir);
  TTreeNode* top = tree->Selected();
  ASSERT_TRUE(SameText(ListPath(list), dir));
  top->Expand(false);
  TTreeNode* a = ChildByText(top, "a");
  ASSERT_NE(a, nullptr);
  int changes = 0;
  tree->OnChange = [&](TObject*, TTreeNode*) { ++changes; };
  ASSERT_TRUE(FocusWindow(tree->Handle()));

  const std::vector<String> order = {"a", "empty", "hid"};
  for (size_t step = 0; step < order.size(); ++step) {
    int listFills = form->ListFills, treeFills = form->TreeFills;
    changes = 0;
    ASSERT_TRUE(KeyChord({VK_DOWN}));
    ASSERT_EQ(tree->Selected()->Text(), order[step]);
    EXPECT_EQ(changes, 1);
    String before = ListPath(list);
    ASSERT_TRUE(clock.Clock.Armed(tree->RefreshTimer()));
    EXPECT_EQ(tree->RefreshTimer()->Interval(), 500u);
    EXPECT_EQ(tree->RefreshTimer()->Tag, 1);
    clock.Clock.Advance(499);
    EXPECT_EQ(ListPath(list), before) << order[step];
    clock.Clock.Advance(1);
    EXPECT_TRUE(SameText(ListPath(list), dir + "\\" + order[step]));
    EXPECT_EQ(form->ListFills, listFills + 1);
    EXPECT_EQ(form->TreeFills, treeFills);
    EXPECT_EQ(changes, 1);
  }
  // Quick moves: only the last one reaches the list.
  int listFills = form->ListFills;
  ASSERT_TRUE(KeyChord({VK_UP}));
  clock.Clock.Advance(200);
  ASSERT_TRUE(KeyChord({VK_UP}));
  clock.Clock.Advance(500);
  EXPECT_TRUE(SameText(ListPath(list), dir + "\\a"));
  EXPECT_EQ(form->ListFills, listFills + 1);

  // A click: at once.
  TTreeNode* empty = ChildByText(top, "empty");
  TRect r = empty->DisplayRect(true);
  listFills = form->ListFills;
  ASSERT_TRUE(Click(tree->Handle(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
  ASSERT_EQ(tree->Selected(), empty);
  EXPECT_TRUE(SameText(ListPath(list), dir + "\\empty"));
  EXPECT_EQ(form->ListFills, listFills + 1);
  EXPECT_FALSE(clock.Clock.Armed(tree->RefreshTimer()));
  form.reset();  // before the clock and the counter go
}

// ---------------------------------------------------------------- refresh

TEST_F(ShellTreeTest, RefreshAfterChangesOnDisk) {
  String dir = MakeTreeFolder("refresh");
  MakePane();
  tree->SetSelectedPathName(dir + "\\a\\b\\c");
  TTreeNode* b = tree->Selected()->Parent();
  ASSERT_EQ(b->Text(), "b");
  // The selected folder goes: its parent is selected and the list follows.
  ASSERT_TRUE(RemoveDirectoryA((dir + "\\a\\b\\c\\d").c_str()));
  ASSERT_TRUE(RemoveDirectoryA((dir + "\\a\\b\\c").c_str()));
  ForceDirectories(dir + "\\a\\ab");
  int fills = form->TreeFills;
  tree->RefreshNodes();
  EXPECT_EQ(tree->Selected(), b);
  EXPECT_EQ(b->Count(), 0);
  EXPECT_TRUE(SameText(ListPath(list), dir + "\\a\\b"));
  EXPECT_EQ(list->Items()->Count(), 0);
  // A new folder comes in its sorted place.
  EXPECT_EQ(ChildTexts(b->Parent()), (std::vector<String>{"ab", "b", "m", "z"}));
  EXPECT_EQ(form->TreeFills, fills + 1);

  // Busy: only marked.
  tree->SetBusy(true);
  tree->RefreshNodes();
  EXPECT_TRUE(tree->RefreshPending());
  tree->SetBusy(false);
}

TEST_F(ShellTreeTest, AFolderMadeInADriveRootShowsWithinSeconds) {
  String dir = MakeTreeFolder("root");
  MakePane(true);
  tree->SetSelectedPathName(dir);
  TTreeNode* drive = tree->Selected()->Parent()->Parent();
  ASSERT_NE(drive, nullptr);
  ASSERT_TRUE(SameText(tree->NodeData(drive)->GetPathName(), "T:\\"));
  ASSERT_NE(tree->ChangeThread(), nullptr);
  String name = "shelltree-new-" + IntToStr(static_cast<int>(GetTickCount() % 100000));
  SetFocus(nullptr);
  ASSERT_TRUE(ForceDirectories("T:\\" + name));
  EXPECT_TRUE(WaitUntil([&] { return ChildByText(drive, name) != nullptr; }, 3000));
  // The selection stays where it was.
  EXPECT_TRUE(SameText(tree->GetSelectedPathName(), dir));
  RemoveDirectoryA(("T:\\" + name).c_str());
  EXPECT_TRUE(WaitUntil([&] { return ChildByText(drive, name) == nullptr; }, 3000));
}

TEST_F(ShellTreeTest, ADeviceChangeRefreshesAndWatchesTheDrivesAgain) {
  TScopedClock clock;
  int fills = 0;
  TOwned<TForm> host(new TForm(Application));
  host->SetBounds(60, 40, 300, 400);
  auto* watching = new TWatchingTree(host.get());
  watching->SetParent(host.get());
  watching->SetBounds(0, 0, 280, 360);
  watching->OnFillStart = [&](TObject*) { ++fills; };
  host->EndLoading();
  host->Show();
  ASSERT_TRUE(WaitUntil([&] { return watching->Items()->Count() > 0; }));
  ASSERT_FALSE(watching->Watched.empty());
  std::vector<String> drives = watching->Watched;
  EXPECT_NE(std::find(drives.begin(), drives.end(), "T:\\"), drives.end());
  EXPECT_EQ(std::find(drives.begin(), drives.end(), "R:\\"), drives.end());  // removable: not watched
  HWND fanOut = PTDeviceChangeHandler()->Handle();

  const struct {
    WPARAM event;
    bool refresh, rewatch;
  } rows[] = {{DBT_DEVICEARRIVAL, true, true}, {DBT_DEVICEREMOVECOMPLETE, true, false}, {DBT_DEVNODES_CHANGED, false, false}};
  for (const auto& r : rows) {
    watching->Watched.clear();
    int before = fills;
    SendMessageA(fanOut, WM_DEVICECHANGE, r.event, 0);
    PumpFor(100);
    EXPECT_EQ(fills > before, r.refresh) << r.event;
    EXPECT_EQ(watching->Watched == drives, r.rewatch) << r.event;
  }
  // A change notice starts the 2000 ms refresh (400 with the focus).
  SendMessageA(watching->Handle(), AM_CHANGENOTIFY, 0, 0);
  EXPECT_TRUE(clock.Clock.Armed(watching->RefreshTimer()));
  EXPECT_EQ(watching->RefreshTimer()->Interval(), 2000u);
  EXPECT_EQ(watching->RefreshTimer()->Tag, 2);
  int before = fills;
  clock.Clock.Advance(2000);
  EXPECT_EQ(fills, before + 1);
  ASSERT_TRUE(FocusWindow(watching->Handle()));
  SendMessageA(watching->Handle(), AM_CHANGENOTIFY, 0, 0);
  EXPECT_EQ(watching->RefreshTimer()->Interval(), 400u);
  // Switched off: every watch goes.
  watching->SetOptions(watching->Options() - ptstoDynamicRefresh);
  clock.Clock.Advance(400);
}

// ---------------------------------------------------------------- failing folders

TEST_F(ShellTreeTest, FailingFoldersAndChildren) {
  TDesktopWrapper desktop;
  TPidl drives, trash;
  ASSERT_EQ(ShellGetSpecialFolderIdList(nullptr, csidlDrives, drives), S_OK);
  ASSERT_EQ(ShellGetSpecialFolderIdList(nullptr, csidlBitBucket, trash), S_OK);
  // A third item of the desktop, whatever it is.
  std::string other;
  for (const auto& [name, bytes] : desktop.Children)
    if (bytes != BytesOf(drives.get()) && bytes != BytesOf(trash.get())) other = bytes;
  ASSERT_FALSE(other.empty());
  // My Computer cannot be listed; the Trash's attributes cannot be had.
  TEnumFolder unlistable;
  unlistable.EnumResult = E_ACCESSDENIED;
  desktop.Listed = {BytesOf(drives.get()), BytesOf(trash.get()), other};
  desktop.FailingAttributes = {BytesOf(trash.get())};
  desktop.Bound[BytesOf(drives.get())] = &unlistable;
  TScopedDesktop scoped(&desktop);
  TScopedDialogs dialogs;
  TScopedExceptionHook hook;
  MakeTree("");
  TTreeNode* top = Top();
  ASSERT_NE(top, nullptr);
  // The child whose attributes fail is left out, its siblings stay.
  ASSERT_EQ(top->Count(), 2);
  TTreeNode* computer = nullptr;
  for (int i = 0; i < top->Count(); ++i)
    if (BytesOf(tree->NodeData(top->Item(i))->RelPidl()) == BytesOf(drives.get())) computer = top->Item(i);
  ASSERT_NE(computer, nullptr);
  // A folder whose enumeration fails keeps its button, to be tried again.
  computer->Expand(false);
  EXPECT_EQ(unlistable.Enumerations, 1);
  EXPECT_EQ(computer->Count(), 0);
  EXPECT_TRUE(HasButton(tree, computer));
  computer->Collapse(false);
  computer->Expand(false);
  EXPECT_EQ(unlistable.Enumerations, 2);
  PumpFor(100);
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
  EXPECT_TRUE(hook.Messages.empty());
  // The tree holds the folders: it goes before them.
  form.reset();
}

// ---------------------------------------------------------------- events

TEST_F(ShellTreeTest, EventsCarryTheShellData) {
  String dir = MakeTreeFolder("events");
  form.reset(new TShellForm(TShellForm::kPane, "Shell events"));
  tree = form->Tree;
  list = form->List;
  std::vector<String> inserted, deleted;
  tree->OnAddItem = [&](TObject*, IShellFolder* folder, LPCITEMIDLIST, LPCITEMIDLIST item, SFGAOF, bool& allow) {
    if (ShellGetFriendlyNameFromIdList(folder, item, ptfnInFolder) == "hid") allow = false;
  };
  tree->OnInsertItem = [&](TObject*, TTreeNode* node) { inserted.push_back(node->Text()); };
  tree->OnDeleteItem = [&](TObject*, TTreeNode* node, TPTShTreeData* data) {
    EXPECT_EQ(tree->NodeData(node), data);
    deleted.push_back(node->Text());
  };
  // Custom draw: Ex at every stage, the other at item pre-paint only, both
  // with the node's or item's shell data.
  std::set<DWORD> treeStages, listStages;
  int treeItems = 0, listItems = 0;
  tree->OnCustomDrawShEx = [&](TObject*, TPTCustomDraw* cd, TTreeNode*, TPTShTreeData*) {
    treeStages.insert(cd->RawDrawStage());
  };
  tree->OnCustomDrawSh = [&](TObject*, TPTCustomDraw* cd, TTreeNode* node, TPTShTreeData* data) {
    EXPECT_EQ(cd->RawDrawStage(), static_cast<DWORD>(CDDS_ITEMPREPAINT));
    EXPECT_EQ(tree->NodeData(node), data);
    ++treeItems;
  };
  list->OnCustomDrawShEx = [&](TObject*, TPTCustomDraw* cd, TListItem*, TPTShListData*) {
    listStages.insert(cd->RawDrawStage());
  };
  list->OnCustomDrawSh = [&](TObject*, TPTCustomDraw* cd, TListItem* item, TPTShListData* data) {
    EXPECT_EQ(cd->RawDrawStage(), static_cast<DWORD>(CDDS_ITEMPREPAINT));
    EXPECT_EQ(list->ItemData(item), data);
    EXPECT_NE(data, nullptr);
    ++listItems;
  };
  tree->BaseFolder()->SetPathName(dir);
  deleted.clear();  // the desktop's nodes of the first fill
  tree->SetShellList(list);
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return list->Items()->Count() > 0 && treeItems > 0 && listItems > 0; }));
  EXPECT_EQ(inserted, (std::vector<String>{"tree-events", "a", "empty"}));
  EXPECT_EQ(ChildTexts(Top()), (std::vector<String>{"a", "empty"}));
  EXPECT_TRUE(treeStages.count(CDDS_PREPAINT) && treeStages.count(CDDS_ITEMPREPAINT));
  EXPECT_TRUE(listStages.count(CDDS_PREPAINT) && listStages.count(CDDS_ITEMPREPAINT));
  deleted.clear();
  tree->FillItems();
  EXPECT_EQ(deleted, (std::vector<String>{"a", "empty", "tree-events"}));
  // The handlers see this test's locals: the controls go first.
  form.reset();
}

// ---------------------------------------------------------------- lifetime and drag

TEST_F(ShellTreeTest, LinkedControlsFreedInEitherOrder) {
  for (bool treeFirst : {true, false}) {
    TScopedClock clock;
    MakePane();
    TPTShellTree* t = tree;
    TPTShellList* l = list;
    // A pending update of the list when the list goes.
    ChildByText(Top(), ChildTexts(Top()).front())->SetSelected(true);
    if (treeFirst) {
      t->Free();
      EXPECT_EQ(l->ShellTree(), nullptr);
      l->Folder()->SetCSIDL(csidlDrives);
    } else {
      l->Free();
      EXPECT_EQ(t->ShellList(), nullptr);
      clock.Clock.Advance(500);
      t->RefreshNodes();
    }
    PumpFor(50);
    form.reset();
  }
}

TEST_F(ShellTreeTest, WithoutOleDragTheClassLibrarysDragStarts) {
  String dir = MakeTreeFolder("drag");
  form.reset(new TShellForm(TShellForm::kTree, "Shell tree"));
  tree = form->Tree;
  tree->SetOptions(tree->Options() - ptstoOleDrag);
  tree->SetDragMode(dmAutomatic);
  int starts = 0;
  tree->OnStartDrag = [&](TObject*, TDragObject*&) { ++starts; };
  tree->BaseFolder()->SetPathName(dir);
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  EXPECT_EQ(GetWindowLongA(tree->Handle(), GWL_STYLE) & TVS_DISABLEDRAGDROP, 0);
  TRect r = ChildByText(Top(), "a")->DisplayRect(true);
  POINT from{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ASSERT_TRUE(Drag(tree->Handle(), from, POINT{from.x + 40, from.y + 120}));
  PumpFor(100);
  EXPECT_EQ(starts, 1);
  // Neither OLE drag nor automatic drag: the window starts none.
  tree->SetDragMode(dmManual);
  tree->SetOptions(tree->Options() - ptstoOleDrop);
  EXPECT_NE(GetWindowLongA(tree->Handle(), GWL_STYLE) & TVS_DISABLEDRAGDROP, 0);
  EXPECT_EQ(tree->DropTarget(), nullptr);
  form.reset();
}

// ---------------------------------------------------------------- the local pane

TEST_F(ShellTreeTest, LocalPaneOnScreen) {
  String dir = MakeShellTestFolder("pane");
  MakeFile(dir + "\\readme.txt", "read me");
  MakeFile(dir + "\\report.log", String(2500, 'r'));
  MakeFile(dir + "\\archive.zip", String(7000, 'z'));
  MakeFile(dir + "\\notes.ini", "[n]");
  MakeFile(dir + "\\secret.txt", "hidden", true);
  ForceDirectories(dir + "\\photos");
  ASSERT_EQ(CreateQuickShortcut(dir + "\\readme shortcut.lnk", dir + "\\readme.txt"), S_OK);
  form.reset(new TShellForm(TShellForm::kPane, "Nembra 3 - local pane", true));
  tree = form->Tree;
  list = form->List;
  form->SetBounds(40, 40, 760, 300);
  tree->SetShellList(list);
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return tree->Items()->Count() > 0; }));
  tree->SetSelectedPathName(dir);
  ASSERT_TRUE(SameText(ListPath(list), dir));
  EXPECT_EQ(tree->Width(), 160);
  EXPECT_EQ(list->ViewStyle(), vsReport);
  EXPECT_EQ(list->Items()->Count(), 7);
  EXPECT_NE(ItemState(list, IndexOfCaption(list, "secret.txt"), LVIS_CUT), 0u);
  EXPECT_EQ(list->HeaderSortColumn(), 0);
  tree->SetFocus();
  PumpFor(200);
  SaveScreenshot(form->Handle(), "local-pane");
}
