// Drag and drop with the shell list and the shell tree on T:: drops onto
// items and nodes go to fake shell drop targets of a wrapped folder, with
// highlight, autoscroll on a manual clock and hover expansion; drags out
// run a real DoDragDrop with a scripted drop source onto a recording
// window.
#include "Shellacttest.h"
#include "support/Input.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

// Controls whose drags out go through a scripted drop source.
class TScriptedList : public TPTShellList {
 public:
  using TPTShellList::TPTShellList;
  std::function<HRESULT(int)> Step;
  int Sources = 0;

 protected:
  TComPtr<IDropSource> CreateIDropSource(TMouseButton, IDataObject*) override {
    ++Sources;
    return TComPtr<IDropSource>(new TScriptedSource(Step));
  }
};

class TScriptedTree : public TPTShellTree {
 public:
  using TPTShellTree::TPTShellTree;
  std::function<HRESULT(int)> Step;
  int Sources = 0;

 protected:
  TComPtr<IDropSource> CreateIDropSource(TMouseButton, IDataObject*) override {
    ++Sources;
    return TComPtr<IDropSource>(new TScriptedSource(Step));
  }
};

class TDropForm : public TForm {
 public:
  explicit TDropForm(bool withTree) : TForm(Application) {
    SetCaption("Shell drop");
    SetBounds(60, 40, 720, 420);
    if (withTree) {
      Tree = new TScriptedTree(this);
      Tree->SetParent(this);
      Tree->SetBounds(0, 0, 200, 380);
      Tree->SetAlign(alLeft);
      Tree->SetHideSelection(false);
      TPTShellTreeOptions o = Tree->Options();
      o >> ptstoDynamicRefresh;
      Tree->SetOptions(o);
    } else {
      List = new TScriptedList(this);
      List->SetParent(this);
      List->SetAlign(alClient);
      List->SetViewStyle(vsReport);
      List->SetMultiSelect(true);
      List->SetHideSelection(false);
      List->OnFillStart = [this](TObject*) { ++ListFills; };
    }
    EndLoading();
  }
  TScriptedTree* Tree = nullptr;
  TScriptedList* List = nullptr;
  int ListFills = 0;
};

// A window that takes drops, recording them.
class TDropHere : public TForm {
 public:
  TDropHere() : TForm(Application) {
    SetCaption("Drop here");
    SetBounds(100, 480, 200, 150);
    EndLoading();
  }
  void Register() { ASSERT_EQ(RegisterDragDrop(Handle(), Target.Get()), S_OK); }
  ~TDropHere() override {
    if (HandleAllocated()) RevokeDragDrop(Handle());
  }
  TComPtr<TRecordingTarget> Target{new TRecordingTarget};
};

// The data object of some files of T:, as the shell makes it.
TComPtr<IDataObject> FilesOf(const String& dir, std::initializer_list<const char*> names) {
  TPidl parent;
  EXPECT_EQ(ShellGetIdListFromPath(dir, parent), S_OK);
  std::vector<TPidl> abs;
  std::vector<LPCITEMIDLIST> children;
  for (const char* n : names) {
    abs.emplace_back();
    EXPECT_EQ(ShellGetIdListFromPath(dir + "\\" + n, abs.back()), S_OK) << n;
    children.push_back(ILFindLastID(abs.back().get()));
  }
  return TComPtr<IDataObject>(new TPTShellDataObject(parent.get(), children));
}

std::vector<String> Paths(const TShellIDList& list) {
  std::vector<String> out;
  for (const TPidl& child : list.Children) {
    TPidl whole = ConcatIdLists(nullptr, list.Parent.get(), child.get());
    out.push_back(ShellGetPathFromIdList(whole.get()));
  }
  return out;
}

int ScrollPos(HWND wnd, int bar) {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_POS;
  GetScrollInfo(wnd, bar, &si);
  return si.nPos;
}

POINTL ScreenOf(HWND wnd, int x, int y) {
  POINT p = ClientPoint(wnd, x, y);
  return POINTL{p.x, p.y};
}

const DWORD kAll = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

struct DropActTest : ::testing::Test {
  // The list or tree in a form, on the manual clock, with the folders bound
  // through the desktop.
  void Show(bool withTree) {
    clock = std::make_unique<TScopedClock>();
    form.reset(new TDropForm(withTree));
    list = form->List;
    tree = form->Tree;
  }
  void Up() {
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
  }
  POINTL ItemPoint(const String& caption) {
    int i = IndexOfCaption(list, caption);
    EXPECT_GE(i, 0) << caption;
    TRect r = list->Items()->Item(i)->DisplayRect(drLabel);
    return ScreenOf(list->Handle(), r.left + 4, (r.top + r.bottom) / 2);
  }
  POINTL NodePoint(TTreeNode* node) {
    TRect r = node->DisplayRect(true);
    return ScreenOf(tree->Handle(), r.left + 4, (r.top + r.bottom) / 2);
  }
  void TearDown() override {
    form.reset();
    clock.reset();
  }
  TManualClock& Clock() { return clock->Clock; }
  std::unique_ptr<TScopedClock> clock;
  TOwned<TDropForm> form;
  TScriptedList* list = nullptr;
  TScriptedTree* tree = nullptr;
};

bool Highlighted(TPTCustomShellList* list, const String& caption) {
  return ItemState(list, IndexOfCaption(list, caption), LVIS_DROPHILITED) != 0;
}

}  // namespace

// ---------------------------------------------------------------- the list as target

TEST_F(DropActTest, DropsOnTheListGoToTheItemsTargets) {
  String dir = MakeShellTestFolder("dropact-list");
  MakeFile(dir + "\\a.txt");
  MakeFile(dir + "\\b.txt");
  ForceDirectories(dir + "\\sub");
  String src = MakeShellTestFolder("dropact-list-src");
  MakeFile(src + "\\x.txt");
  MakeFile(src + "\\y.txt");
  TDesktopWrapper desktop;
  TWrapFolder folder(dir);
  folder.FakeTargets = true;
  desktop.Bound[BytesOf(folder.Pidl.get())] = &folder;
  TScopedDesktop scoped(&desktop);
  TScopedNoDetails noDetails;
  Show(false);
  list->Folder()->SetPathName(dir);
  Up();
  ASSERT_EQ(list->FolderShf(), static_cast<IShellFolder*>(&folder));
  IDropTarget* target = list->DropTarget();
  ASSERT_NE(target, nullptr);
  TComPtr<IDataObject> data = FilesOf(src, {"x.txt", "y.txt"});

  // Entering over a folder: its target is asked, the item highlighted.
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  ASSERT_EQ(target->DragEnter(data.Get(), MK_LBUTTON, ItemPoint("sub"), &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_MOVE));
  ASSERT_NE(folder.TargetOf("sub"), nullptr);
  EXPECT_EQ(folder.TargetOf("sub")->Names(), (std::vector<String>{"enter", "leave"}));
  EXPECT_TRUE(Highlighted(list, "sub"));

  // Over a file, the source allowing a copy only: the highlight moves, the
  // effect stays within the source's and scrolling is always offered.
  effect = DROPEFFECT_COPY;
  ASSERT_EQ(target->DragOver(MK_LBUTTON, ItemPoint("a.txt"), &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_SCROLL));
  EXPECT_EQ(folder.TargetOf("a.txt")->Names(), (std::vector<String>{"enter", "over", "leave"}));
  EXPECT_TRUE(Highlighted(list, "a.txt"));
  EXPECT_FALSE(Highlighted(list, "sub"));
  SaveScreenshot(form->Handle(), "drop-highlight");
  // It shows: the row is drawn in the selection's colour.
  TRect label = list->Items()->Item(IndexOfCaption(list, "a.txt"))->DisplayRect(drLabel);
  RECT row{label.left, label.top, label.right, label.bottom};
  EXPECT_GT(CountColor(CaptureClient(list->Handle()), row, GetSysColor(COLOR_HIGHLIGHT)), 0);
  // A target that takes nothing: no highlight.
  folder.TargetEffect = DROPEFFECT_NONE;
  effect = kAll;
  ASSERT_EQ(target->DragOver(MK_LBUTTON, ItemPoint("b.txt"), &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_SCROLL));
  EXPECT_EQ(list->DropItem(), nullptr);
  folder.TargetEffect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  // The empty area: the folder's own target, no highlight.
  effect = kAll;
  ASSERT_EQ(target->DragOver(MK_LBUTTON, ScreenOf(list->Handle(), 300, 300), &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_SCROLL));
  ASSERT_NE(folder.TargetOf(""), nullptr);
  EXPECT_EQ(folder.TargetOf("")->Names(), (std::vector<String>{"enter", "over", "leave"}));
  EXPECT_EQ(list->DropItem(), nullptr);

  // The drop on the folder with the right button: DragEnter and DragOver
  // first, each with the button that dragged; the effect offered is what
  // both the source and the data allow, even to a target that asks more.
  effect = kAll;
  ASSERT_EQ(target->DragOver(MK_RBUTTON, ItemPoint("sub"), &effect), S_OK);
  int fills = form->ListFills;
  folder.TargetInsist = true;
  effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
  ASSERT_EQ(target->Drop(data.Get(), 0, ItemPoint("sub"), &effect), S_OK);
  TRecordingTarget* sub = folder.TargetOf("sub");
  ASSERT_GE(sub->Calls.size(), 3u);
  const auto& calls = sub->Calls;
  size_t n = calls.size();
  EXPECT_EQ(calls[n - 3].What, "enter");
  EXPECT_EQ(calls[n - 2].What, "over");
  EXPECT_EQ(calls[n - 1].What, "drop");
  for (size_t i = n - 3; i < n; ++i) EXPECT_EQ(calls[i].Keys, static_cast<DWORD>(MK_RBUTTON)) << calls[i].What;
  EXPECT_EQ(calls[n - 1].Effect, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(Paths(sub->Dropped), (std::vector<String>{src + "\\x.txt", src + "\\y.txt"}));
  EXPECT_EQ(sub->DroppedFiles, (std::vector<String>{src + "\\x.txt", src + "\\y.txt"}));
  EXPECT_EQ(list->DropItem(), nullptr);
  EXPECT_FALSE(Highlighted(list, "sub"));
  EXPECT_EQ(form->ListFills, fills + 1);
  form.reset();  // the list holds the wrapped folder
}

TEST_F(DropActTest, TheListScrollsNearItsEdgesAtMostEvery100ms) {
  String dir = MakeShellTestFolder("dropact-scroll");
  for (int i = 0; i < 80; ++i) MakeFile(dir + "\\file " + IntToStr(100 + i) + ".txt");
  TScopedDirectoryCols cols;  // the wide column is not kept for other lists
  Show(false);
  list->Folder()->SetPathName(dir);
  Up();
  ASSERT_TRUE(WaitUntil([&] { return list->Items()->Count() == 80; }));
  list->Columns()->Items(0)->SetWidth(1200);
  HWND wnd = list->Handle();
  RECT r;
  GetClientRect(wnd, &r);
  int w = r.right, h = r.bottom;
  TComPtr<IDataObject> data = FilesOf(dir, {"file 100.txt"});
  IDropTarget* target = list->DropTarget();
  DWORD effect = DROPEFFECT_COPY;
  ASSERT_EQ(target->DragEnter(data.Get(), MK_LBUTTON, ScreenOf(wnd, w / 2, h / 2), &effect), S_OK);
  const struct {
    int x, y, bar, sign;
  } rows[] = {
      {w / 2, h - 20, SB_VERT, 1},  {w / 2, h - 21, SB_VERT, 0}, {w / 2, 19, SB_VERT, -1},
      {w / 2, 20, SB_VERT, 0},      {w - 26, h / 2, SB_HORZ, 1}, {w - 27, h / 2, SB_HORZ, 0},
      {25, h / 2, SB_HORZ, -1},     {26, h / 2, SB_HORZ, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.x << "," << row.y);
    // Both bars away from their ends, so either way can scroll.
    list->Items()->Item(40)->MakeVisible();
    SendMessageA(wnd, LVM_SCROLL, 300 - ScrollPos(wnd, SB_HORZ), 0);
    if (row.sign < 0) SendMessageA(wnd, LVM_SCROLL, 0, 200);
    int before = ScrollPos(wnd, row.bar);
    Clock().Advance(100);
    effect = DROPEFFECT_COPY;
    ASSERT_EQ(target->DragOver(MK_LBUTTON, ScreenOf(wnd, row.x, row.y), &effect), S_OK);
    EXPECT_NE(effect & DROPEFFECT_SCROLL, 0u);
    int after = ScrollPos(wnd, row.bar);
    EXPECT_EQ((after > before) - (after < before), row.sign);
    // Not again within 100 ms.
    Clock().Advance(99);
    ASSERT_EQ(target->DragOver(MK_LBUTTON, ScreenOf(wnd, row.x, row.y), &effect), S_OK);
    EXPECT_EQ(ScrollPos(wnd, row.bar), after);
  }
  target->DragLeave();
  form.reset();
}

// ---------------------------------------------------------------- the list as source

TEST_F(DropActTest, DragOutOfTheListOntoAnotherWindow) {
  String dir = MakeShellTestFolder("dropact-out");
  MakeFile(dir + "\\a.txt");
  MakeFile(dir + "\\b.txt");
  MakeFile(dir + "\\c.txt");
  TDesktopWrapper desktop;
  TWrapFolder folder(dir);
  folder.FakeTargets = true;
  desktop.Bound[BytesOf(folder.Pidl.get())] = &folder;
  TScopedDesktop scoped(&desktop);
  TScopedNoDetails noDetails;
  Show(false);
  list->Folder()->SetPathName(dir);
  Up();
  ASSERT_NE(list->ChangeThread(), nullptr);
  TOwned<TDropHere> here(new TDropHere);
  here->Show();
  ASSERT_TRUE(WaitVisible(here->Handle()));
  here->Register();
  for (const char* name : {"a.txt", "b.txt"}) list->Items()->Item(IndexOfCaption(list, name))->SetSelected(true);

  struct {
    bool busy = false, dragging = false;
    DWORD leftOwn = 99, rightOwn = 99;
    HRESULT leftDrop = S_OK;
    DWORD rightDropOffered = 0;
    bool pendingSeen = false;
  } seen;
  // The right button's release while the drag runs gets the window's own
  // handling, not the class library's (no mouse-up event, no item menu).
  int mouseUps = 0;
  list->OnMouseUp = [&](TObject*, TMouseButton button, TShiftState, int, int) {
    if (button == mbRight) ++mouseUps;
  };
  auto releaseRight = [&] {
    TRect r = list->Items()->Item(0)->DisplayRect(drLabel);
    SendMessageA(list->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(r.left + 4, r.top + 4));
  };
  DWORD startTick = GetTickCount();
  list->Step = [&](int call) -> HRESULT {
    if (call == 1) {
      releaseRight();
      seen.busy = list->Busy();
      seen.dragging = list->Dragging();
      // The list's own empty area: refused with the left button, a copy
      // with the right, and a right-button drop there copies into the
      // folder.
      TComPtr<IDataObject> own = list->CreateDataObject();
      IDropTarget* self = list->DropTarget();
      POINTL empty = ScreenOf(list->Handle(), 300, 300);
      DWORD e = kAll;
      self->DragEnter(own.Get(), MK_LBUTTON, empty, &e);
      seen.leftOwn = e;
      e = kAll;
      self->DragOver(MK_RBUTTON, empty, &e);
      seen.rightOwn = e;
      e = kAll;
      seen.leftDrop = E_NOTIMPL;
      self->DragOver(MK_LBUTTON, empty, &e);
      seen.leftDrop = self->Drop(own.Get(), 0, empty, &e);
      self->DragEnter(own.Get(), MK_RBUTTON, empty, &e);
      e = kAll;
      self->Drop(own.Get(), 0, empty, &e);
      if (TRecordingTarget* t = folder.TargetOf(""); t && !t->Calls.empty() && t->Calls.back().What == "drop")
        seen.rightDropOffered = t->Calls.back().Effect;
      // A change meanwhile (the drop's own refresh put aside).
      list->SetRefreshPending(false);
      MakeFile(dir + "\\during.txt");
    }
    if (GetTickCount() - startTick > 5000) return DRAGDROP_S_CANCEL;
    if (!list->RefreshPending()) return S_OK;
    seen.pendingSeen = true;
    const auto& calls = here->Target->Calls;
    bool entered = !calls.empty() && calls.back().What != "leave";
    return entered ? DRAGDROP_S_DROP : S_OK;
  };
  int fills = form->ListFills;
  ASSERT_TRUE(MoveTo(CentreOf(here->Handle())));
  NMLISTVIEW nm{};
  nm.hdr.hwndFrom = list->Handle();
  nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list->Handle()));
  nm.hdr.code = LVN_BEGINDRAG;
  nm.iItem = IndexOfCaption(list, "a.txt");
  SendMessageA(form->Handle(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));

  EXPECT_EQ(list->Sources, 1);
  EXPECT_EQ(mouseUps, 0);
  EXPECT_TRUE(seen.busy);
  EXPECT_TRUE(seen.dragging);
  EXPECT_EQ(seen.leftOwn, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(seen.rightOwn, static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_SCROLL));
  EXPECT_EQ(seen.leftDrop, E_FAIL);
  EXPECT_EQ(seen.rightDropOffered & DROPEFFECT_MOVE, 0u);
  EXPECT_NE(seen.rightDropOffered & DROPEFFECT_COPY, 0u);
  EXPECT_TRUE(seen.pendingSeen);
  // The real round trip: the window got the selection as both formats.
  std::vector<String> names = here->Target->Names();
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.front(), "enter");
  EXPECT_EQ(names.back(), "drop");
  EXPECT_EQ(Paths(here->Target->Dropped), (std::vector<String>{dir + "\\a.txt", dir + "\\b.txt"}));
  EXPECT_EQ(here->Target->DroppedFiles, (std::vector<String>{dir + "\\a.txt", dir + "\\b.txt"}));
  // The source allowed what the files allow.
  EXPECT_EQ(here->Target->Calls.front().Effect, list->GetDragDropAttributesForAllSelected());
  // Afterwards: not busy, and the change refreshed once.
  EXPECT_FALSE(list->Busy());
  EXPECT_FALSE(list->Dragging());
  EXPECT_FALSE(list->RefreshPending());
  EXPECT_EQ(form->ListFills, fills + 1);
  EXPECT_GE(IndexOfCaption(list, "during.txt"), 0);
  // The mark went with the drag.
  {
    TScopedTracker tracker([](HMENU) { return 0u; });
    releaseRight();
  }
  EXPECT_EQ(mouseUps, 1);
  here.reset();
  form.reset();
}

// ---------------------------------------------------------------- the tree

TEST_F(DropActTest, DropsOnTheTreeAndHoverExpansion) {
  String parent = MakeShellTestFolder("dropact-tree");
  String dir = parent + "\\top";
  for (const char* sub : {"alpha folder", "bravo folder\\inner", "charlie folder"}) ForceDirectories(dir + "\\" + sub);
  String src = MakeShellTestFolder("dropact-tree-src");
  MakeFile(src + "\\x.txt");
  // The parent holds the top node's target, the folder its children's.
  TDesktopWrapper desktop;
  TWrapFolder above(parent), inside(dir), bravo(dir + "\\bravo folder");
  above.FakeTargets = inside.FakeTargets = true;
  above.SubFolders["top"] = &inside;
  inside.SubFolders["bravo folder"] = &bravo;
  desktop.Bound[BytesOf(above.Pidl.get())] = &above;
  desktop.Bound[BytesOf(inside.Pidl.get())] = &inside;
  TScopedDesktop scoped(&desktop);
  Show(true);
  tree->BaseFolder()->SetPathName(dir);
  Up();
  ASSERT_TRUE(WaitUntil([&] { return tree->Items()->Count() > 0; }));
  TTreeNode* top = tree->Items()->GetFirstNode();
  top->Expand(false);
  ASSERT_EQ(ChildTexts(top), (std::vector<String>{"alpha folder", "bravo folder", "charlie folder"}));
  IDropTarget* target = tree->DropTarget();
  ASSERT_NE(target, nullptr);
  TComPtr<IDataObject> data = FilesOf(src, {"x.txt"});

  // The top node has data: it is a target on entry as later.
  DWORD effect = kAll;
  ASSERT_EQ(target->DragEnter(data.Get(), MK_LBUTTON, NodePoint(top), &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_MOVE));
  ASSERT_NE(above.TargetOf("top"), nullptr);
  EXPECT_EQ(above.TargetOf("top")->Names(), (std::vector<String>{"enter", "leave"}));
  EXPECT_EQ(tree->DropNode(), top);

  // Over a child: its own target, the highlight there.
  TTreeNode* alpha = ChildByText(top, "alpha folder");
  effect = DROPEFFECT_COPY;
  ASSERT_EQ(target->DragOver(MK_RBUTTON, NodePoint(alpha), &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_SCROLL));
  ASSERT_NE(inside.TargetOf("alpha folder"), nullptr);
  EXPECT_EQ(inside.TargetOf("alpha folder")->Names(), (std::vector<String>{"enter", "over", "leave"}));
  EXPECT_EQ(tree->DropNode(), alpha);
  EXPECT_TRUE(alpha->DropTarget());
  EXPECT_FALSE(top->DropTarget());
  SaveScreenshot(form->Handle(), "tree-drop-highlight");

  // Hover: resting over a collapsed node past the hover time expands it,
  // with no owner for the shell's boxes; a move out of the hover rectangle
  // restarts the wait.
  const TPTDragHover& hover = DragHoverValues();
  TTreeNode* bravoNode = ChildByText(top, "bravo folder");
  ASSERT_FALSE(bravoNode->Expanded());
  bravo.EnumOwners.clear();
  POINTL at = NodePoint(bravoNode);
  effect = kAll;
  target->DragOver(MK_LBUTTON, at, &effect);  // the wait starts here
  Clock().Advance(hover.Time);
  target->DragOver(MK_LBUTTON, at, &effect);
  EXPECT_FALSE(bravoNode->Expanded());
  POINTL moved{at.x + static_cast<LONG>(hover.Width) + 2, at.y};
  target->DragOver(MK_LBUTTON, moved, &effect);
  Clock().Advance(hover.Time);
  target->DragOver(MK_LBUTTON, moved, &effect);
  EXPECT_FALSE(bravoNode->Expanded());
  Clock().Advance(1);
  target->DragOver(MK_LBUTTON, moved, &effect);
  EXPECT_TRUE(bravoNode->Expanded());
  EXPECT_EQ(ChildTexts(bravoNode), (std::vector<String>{"inner"}));
  ASSERT_FALSE(bravo.EnumOwners.empty());
  for (HWND owner : bravo.EnumOwners) EXPECT_EQ(owner, nullptr);

  // The drop: DragEnter and DragOver with the button first; the effect
  // within what source and data allow, even for a target that asks more.
  effect = kAll;
  ASSERT_EQ(target->DragOver(MK_RBUTTON, NodePoint(alpha), &effect), S_OK);
  inside.TargetInsist = true;
  effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
  ASSERT_EQ(target->Drop(data.Get(), 0, NodePoint(alpha), &effect), S_OK);
  TRecordingTarget* t = inside.TargetOf("alpha folder");
  ASSERT_GE(t->Calls.size(), 3u);
  size_t n = t->Calls.size();
  EXPECT_EQ((std::vector<String>{t->Calls[n - 3].What, t->Calls[n - 2].What, t->Calls[n - 1].What}),
            (std::vector<String>{"enter", "over", "drop"}));
  for (size_t i = n - 3; i < n; ++i) EXPECT_EQ(t->Calls[i].Keys, static_cast<DWORD>(MK_RBUTTON));
  EXPECT_EQ(t->Calls[n - 1].Effect, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(Paths(t->Dropped), (std::vector<String>{src + "\\x.txt"}));
  EXPECT_EQ(tree->DropNode(), nullptr);
  EXPECT_FALSE(alpha->DropTarget());
  form.reset();  // the tree holds the wrapped folders
}

TEST_F(DropActTest, TheTreeScrollsNearItsEdgesAndAScrollRestartsTheHoverWait) {
  String dir = MakeShellTestFolder("dropact-tree-scroll");
  for (int i = 0; i < 40; ++i) ForceDirectories(dir + "\\folder " + IntToStr(100 + i) + "\\inner");
  Show(true);
  tree->BaseFolder()->SetPathName(dir);
  Up();
  ASSERT_TRUE(WaitUntil([&] { return tree->Items()->Count() > 0; }));
  TTreeNode* top = tree->Items()->GetFirstNode();
  top->Expand(false);
  ASSERT_EQ(top->Count(), 40);
  HWND wnd = tree->Handle();
  RECT r;
  GetClientRect(wnd, &r);
  TComPtr<IDataObject> data = FilesOf(dir, {"folder 100"});
  IDropTarget* target = tree->DropTarget();
  DWORD effect = DROPEFFECT_COPY;
  ASSERT_EQ(target->DragEnter(data.Get(), MK_LBUTTON, ScreenOf(wnd, r.right / 2, r.bottom / 2), &effect), S_OK);
  // Resting at the bottom edge: a line every 100 ms, never sooner, and the
  // scrolling keeps the node under the cursor from expanding.
  const int x = 60;  // on the labels of the folders
  POINTL edge = ScreenOf(wnd, x, r.bottom - 20);
  const TPTDragHover& hover = DragHoverValues();
  int at = ScrollPos(wnd, SB_VERT);
  for (DWORD waited = 0; waited <= 2 * hover.Time; waited += 100) {
    Clock().Advance(100);
    effect = DROPEFFECT_COPY;
    target->DragOver(MK_LBUTTON, edge, &effect);
    EXPECT_NE(effect & DROPEFFECT_SCROLL, 0u);
    EXPECT_EQ(ScrollPos(wnd, SB_VERT), at + 1);
    at = ScrollPos(wnd, SB_VERT);
    Clock().Advance(99);
    target->DragOver(MK_LBUTTON, edge, &effect);
    EXPECT_EQ(ScrollPos(wnd, SB_VERT), at);
  }
  for (int i = 0; i < top->Count(); ++i) EXPECT_FALSE(top->Item(i)->Expanded()) << i;
  // One pixel further in: no scrolling, and the node there expands once
  // the hover time has passed.
  POINTL inside = ScreenOf(wnd, x, r.bottom - 21);
  TTreeNode* under = tree->GetNodeAt(x, r.bottom - 21);
  ASSERT_NE(under, nullptr);
  Clock().Advance(100);
  target->DragOver(MK_LBUTTON, inside, &effect);
  EXPECT_EQ(ScrollPos(wnd, SB_VERT), at);
  EXPECT_FALSE(under->Expanded());
  Clock().Advance(hover.Time + 1);
  target->DragOver(MK_LBUTTON, inside, &effect);
  EXPECT_TRUE(under->Expanded());
  target->DragLeave();
}

TEST_F(DropActTest, DragOutOfTheTree) {
  String dir = MakeShellTestFolder("dropact-tree-out");
  ForceDirectories(dir + "\\moved");
  Show(true);
  Up();
  ASSERT_TRUE(WaitUntil([&] { return tree->Items()->Count() > 0; }));
  auto begin = [&](TTreeNode* node) {
    NMTREEVIEWA nm{};
    nm.hdr.hwndFrom = tree->Handle();
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(tree->Handle()));
    nm.hdr.code = TVN_BEGINDRAGA;
    nm.itemNew.hItem = node->ItemId();
    nm.itemNew.lParam = reinterpret_cast<LPARAM>(node);
    SendMessageA(form->Handle(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
  };
  // The desktop's top node is not dragged.
  tree->Step = [](int) { return DRAGDROP_S_CANCEL; };
  begin(tree->Items()->GetFirstNode());
  EXPECT_EQ(tree->Sources, 0);
  EXPECT_EQ(tree->DragNode(), nullptr);
  // A folder is, highlighted and with the tree busy meanwhile (the cursor
  // off the tree, whose own drop target would move the highlight).
  ASSERT_TRUE(MoveTo(POINT{100, 520}));
  // (Wine's tree does not drop-highlight its selected node: the node
  // dragged is another.)
  tree->SetSelectedPathName(dir + "\\moved");
  TTreeNode* moved = tree->Selected();
  tree->SetSelectedPathName(dir);
  bool busy = false, dragged = false, highlighted = false, waited = false;
  tree->Step = [&](int) {
    busy = tree->Busy();
    dragged = tree->DragNode() == moved;
    highlighted = moved->DropTarget();
    // The folder goes meanwhile; its refresh waits for the drag's end.
    RemoveDirectoryA((dir + "\\moved").c_str());
    tree->RefreshNodes();
    waited = tree->RefreshPending() && ChildByText(tree->Selected(), "moved") != nullptr;
    return DRAGDROP_S_CANCEL;
  };
  begin(moved);
  EXPECT_EQ(tree->Sources, 1);
  EXPECT_TRUE(busy);
  EXPECT_TRUE(dragged);
  EXPECT_TRUE(highlighted);
  EXPECT_TRUE(waited);
  EXPECT_FALSE(tree->Busy());
  EXPECT_EQ(tree->DragNode(), nullptr);
  EXPECT_FALSE(tree->RefreshPending());
  EXPECT_EQ(ChildByText(tree->Selected(), "moved"), nullptr);
}
