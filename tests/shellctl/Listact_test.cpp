// What the user does with the shell list on T:: the key verbs through real
// keys, opening folders, shortcuts and files, the shell's context menu
// through the menu tracker, renaming in place, new folders.
#include "Shellacttest.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

struct ListActTest : ::testing::Test {
  // A list (or a pane of tree and list) showing dir.
  void Show(const String& dir, bool dynamicRefresh = false, bool pane = false) {
    form.reset(new TShellForm(pane ? TShellForm::kPane : TShellForm::kList, "Shell list", dynamicRefresh));
    list = form->List;
    tree = form->Tree;
    if (tree) tree->SetShellList(list);
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
    if (tree) {
      ASSERT_TRUE(WaitUntil([&] { return tree->Items()->Count() > 0; }));
      tree->SetSelectedPathName(dir);
    } else {
      list->Folder()->SetPathName(dir);
    }
    ASSERT_TRUE(SameText(Shown(), dir));
  }
  String Shown() { return ShellGetPathFromIdList(list->FolderIdList()); }
  TListItem* Item(const String& caption) {
    int i = IndexOfCaption(list, caption);
    EXPECT_GE(i, 0) << caption;
    return i >= 0 ? list->Items()->Item(i) : nullptr;
  }
  // Selects the items (the first focused) and gives the list the focus.
  void Select(std::initializer_list<const char*> captions) {
    list->ClearSelection();
    bool first = true;
    for (const char* c : captions) {
      TListItem* it = Item(c);
      ASSERT_NE(it, nullptr);
      it->SetSelected(true);
      if (first) it->SetFocused(true);
      first = false;
    }
    ASSERT_TRUE(FocusWindow(list->Handle()));
  }
  POINT Centre(const String& caption) {
    TRect r = Item(caption)->DisplayRect(drLabel);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void TearDown() override { form.reset(); }
  // The manual clock from now on, for as long as the list lives.
  TManualClock& UseManualClock() {
    if (!clock) clock = std::make_unique<TScopedClock>();
    return clock->Clock;
  }
  std::unique_ptr<TScopedClock> clock;
  TOwned<TShellForm> form;
  TPTShellList* list = nullptr;
  TPTShellTree* tree = nullptr;
};

String Dir(const String& name) {
  String dir = MakeShellTestFolder("listact-" + name);
  MakeFile(dir + "\\a.txt", "alpha");
  MakeFile(dir + "\\b.txt", "bravo");
  ForceDirectories(dir + "\\sub");
  return dir;
}

bool Exists(const String& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

// ---------------------------------------------------------------- keys

TEST_F(ListActTest, SelectAllRefillCopyPasteAndTheEditorsKeys) {
  String dir = Dir("keys");
  String other = MakeShellTestFolder("listact-keys-other");
  // The other folder's own menu is a fake one: the shell's paste does
  // nothing under Wine.
  TDesktopWrapper desktop;
  TWrapFolder folder(other);
  desktop.Bound[BytesOf(folder.Pidl.get())] = &folder;
  TScopedDesktop scoped(&desktop);
  Show(dir);
  Select({"a.txt"});
  ASSERT_TRUE(KeyChord({VK_CONTROL, 'A'}));
  EXPECT_EQ(list->SelCount(), list->Items()->Count());
  int fills = form->ListFills;
  ASSERT_TRUE(KeyChord({VK_F5}));
  EXPECT_EQ(form->ListFills, fills + 1);

  // Ctrl+C puts the file on the clipboard.
  Select({"a.txt"});
  ASSERT_TRUE(KeyChord({VK_CONTROL, 'C'}));
  {
    TComPtr<IDataObject> clip;
    ASSERT_EQ(OleGetClipboard(clip.Put()), S_OK);
    TShellIDList copied;
    ASSERT_TRUE(ReadShellIDList(clip.Get(), copied));
    ASSERT_EQ(copied.Children.size(), 1u);
    TPidl whole = ConcatIdLists(nullptr, copied.Parent.get(), copied.Children[0].get());
    EXPECT_TRUE(SameText(ShellGetPathFromIdList(whole.get()), dir + "\\a.txt"));
    clip.Reset();
    OleSetClipboard(nullptr);
  }
  // Ctrl+V runs "paste" of the shown folder's own menu, then refreshes.
  list->Folder()->SetPathName(other);
  ASSERT_EQ(list->FolderShf(), static_cast<IShellFolder*>(&folder));
  TComPtr<TFakeMenu> background(new TFakeMenu({"refresh", "paste", "properties"}));
  folder.BackgroundMenu = background.Get();
  MakeFile(other + "\\pasted.txt");
  ASSERT_TRUE(FocusWindow(list->Handle()));
  ASSERT_TRUE(KeyChord({VK_CONTROL, 'V'}));
  EXPECT_EQ(background->Invoked, (std::vector<UINT>{1}));
  EXPECT_GE(IndexOfCaption(list, "pasted.txt"), 0);
  // A folder menu without "paste": nothing happens, no box.
  {
    TScopedDialogs dialogs;
    TScopedExceptionHook hook;
    TComPtr<TFakeMenu> without(new TFakeMenu({"refresh", "properties"}));
    folder.BackgroundMenu = without.Get();
    ASSERT_TRUE(KeyChord({VK_CONTROL, 'V'}));
    PumpFor(100);
    EXPECT_TRUE(without->Invoked.empty());
    EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
    EXPECT_TRUE(hook.Messages.empty());
  }
  folder.BackgroundMenu = nullptr;

  // F2 opens the editor; then Enter and Escape are the editor's.
  list->Folder()->SetPathName(dir);
  Select({"b.txt"});
  ASSERT_TRUE(KeyChord({VK_F2}));
  ASSERT_TRUE(list->IsEditing());
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  EXPECT_FALSE(list->IsEditing());
  EXPECT_TRUE(form->Visible());
  ASSERT_TRUE(KeyChord({VK_F2}));
  ASSERT_TRUE(list->IsEditing());
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_FALSE(list->IsEditing());
  EXPECT_TRUE(Exists(dir + "\\b.txt"));
  form.reset();  // the list holds the wrapped folder
}

TEST_F(ListActTest, DelAndShiftDelMoveFilesToTheTrash) {
  String dir = Dir("delete");
  MakeFile(dir + "\\c.txt", "charlie");
  Show(dir);
  for (const auto& [name, keys] : {std::make_pair("a.txt", std::vector<WORD>{VK_DELETE}),
                                   std::make_pair("c.txt", std::vector<WORD>{VK_SHIFT, VK_DELETE})}) {
    Select({name});
    TModalDriver modal;
    modal.Window("", "#32770").Press("&Yes");
    if (keys.size() == 1)
      ASSERT_TRUE(KeyChord({keys[0]}));
    else
      ASSERT_TRUE(KeyChord({keys[0], keys[1]}));
    ASSERT_TRUE(modal.Finish());
    EXPECT_FALSE(Exists(dir + "\\" + name)) << name;
    EXPECT_LT(IndexOfCaption(list, name), 0) << name;  // refreshed at once
  }
  EXPECT_GE(IndexOfCaption(list, "b.txt"), 0);
}

// ---------------------------------------------------------------- opening

TEST_F(ListActTest, EnterAndBackspaceOpenAndLeaveFolders) {
  String dir = Dir("open");
  ForceDirectories(dir + "\\sub\\inner");
  ASSERT_EQ(CreateQuickShortcut(dir + "\\to sub.lnk", dir + "\\sub\\inner"), S_OK);
  Show(dir, false, true);
  // Enter on a folder shows it, the tree following.
  Select({"sub"});
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_TRUE(SameText(Shown(), dir + "\\sub"));
  EXPECT_TRUE(SameText(tree->GetSelectedPathName(), dir + "\\sub"));
  // Backspace: the tree moves up and the list follows.
  ASSERT_TRUE(FocusWindow(list->Handle()));
  ASSERT_TRUE(KeyChord({VK_BACK}));
  EXPECT_TRUE(SameText(tree->GetSelectedPathName(), dir));
  EXPECT_TRUE(SameText(Shown(), dir));
  // A shortcut to a folder shows the folder.
  int link = IndexOfCaption(list, "to sub.lnk");
  if (link < 0) link = IndexOfCaption(list, "to sub");
  ASSERT_GE(link, 0);
  list->ClearSelection();
  list->Items()->Item(link)->SetSelected(true);
  list->Items()->Item(link)->SetFocused(true);
  ASSERT_TRUE(FocusWindow(list->Handle()));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_TRUE(SameText(Shown(), dir + "\\sub\\inner"));
  EXPECT_TRUE(SameText(tree->GetSelectedPathName(), dir + "\\sub\\inner"));
  // A double click on a folder opens it too.
  list->Folder()->SetPathName(dir);
  ASSERT_TRUE(DoubleClick(list->Handle(), Centre("sub")));
  EXPECT_TRUE(SameText(Shown(), dir + "\\sub"));
}

TEST_F(ListActTest, EnterOnFilesGoesToTheHandlerOrTheDefaultEntry) {
  String dir = Dir("files");
  TDesktopWrapper desktop;
  TWrapFolder folder(dir);
  desktop.Bound[BytesOf(folder.Pidl.get())] = &folder;
  TScopedDesktop scoped(&desktop);
  TScopedNoDetails noDetails;
  Show(dir);
  ASSERT_EQ(list->FolderShf(), static_cast<IShellFolder*>(&folder));
  // The handler takes over.
  int asked = 0;
  list->OnDblClickOpen = [&](TObject*, bool& handled) {
    ++asked;
    handled = true;
  };
  Select({"a.txt"});
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(asked, 1);
  // Not taken: the default entry of the menu of both items, once.
  list->OnDblClickOpen = [&](TObject*, bool&) { ++asked; };
  TComPtr<TFakeMenu> menu(new TFakeMenu({"open", "edit", "delete"}, 1));
  folder.Menu = menu.Get();
  Select({"a.txt", "b.txt"});
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(menu->Invoked, (std::vector<UINT>{1}));
  // A menu without a default entry opens nothing.
  TComPtr<TFakeMenu> plain(new TFakeMenu({"open", "edit"}));
  folder.Menu = plain.Get();
  Select({"a.txt"});
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(asked, 3);
  EXPECT_TRUE(plain->Invoked.empty());
  form.reset();  // the list holds the wrapped folder
}

// ---------------------------------------------------------------- menus

TEST_F(ListActTest, TheShellMenuThroughTheTracker) {
  String dir = Dir("menus");
  TManualClock& manual = UseManualClock();
  Show(dir, true);
  // "copy" from the menu of the clicked item fills the clipboard; the list
  // is busy while the menu is up.
  bool busyMeanwhile = false;
  {
    TScopedTracker tracker([&](HMENU) {
      busyMeanwhile = list->Busy();
      return CommandOf(list->MenuHandler(), "copy");
    });
    Select({"b.txt"});
    ASSERT_TRUE(RightClick(list->Handle(), Centre("b.txt")));
    ASSERT_EQ(tracker.Calls, 1);
  }
  EXPECT_TRUE(busyMeanwhile);
  EXPECT_FALSE(list->Busy());
  {
    TComPtr<IDataObject> clip;
    ASSERT_EQ(OleGetClipboard(clip.Put()), S_OK);
    TShellIDList copied;
    ASSERT_TRUE(ReadShellIDList(clip.Get(), copied));
    ASSERT_EQ(copied.Children.size(), 1u);
    TPidl whole = ConcatIdLists(nullptr, copied.Parent.get(), copied.Children[0].get());
    EXPECT_TRUE(SameText(ShellGetPathFromIdList(whole.get()), dir + "\\b.txt"));
    clip.Reset();
    OleSetClipboard(nullptr);
  }
  // A Send To entry (id 1) drops the selection on the entry's target.
  {
    TScopedSendTo sendTo("Backup.txt");
    TScopedTracker tracker([](HMENU) { return 1u; });
    Select({"a.txt", "b.txt"});
    ASSERT_TRUE(RightClick(list->Handle(), Centre("a.txt")));
    EXPECT_EQ(sendTo.Resolved, "Backup.txt");
    EXPECT_EQ(sendTo.Target->Names(), (std::vector<String>{"enter", "over", "drop"}));
    ASSERT_EQ(sendTo.Target->Dropped.Children.size(), 2u);
    EXPECT_EQ(BytesOf(sendTo.Target->Dropped.Parent.get()), BytesOf(list->FolderIdList()));
  }
  // A file made while the menu is up: one refresh once it is gone.
  {
    int fills = form->ListFills;
    TScopedTracker tracker([&](HMENU) {
      MakeFile(dir + "\\during.txt");
      EXPECT_TRUE(WaitUntil([&] { return list->RefreshPending(); }, 3000));
      EXPECT_FALSE(manual.Armed(list->RefreshTimer()));
      EXPECT_LT(IndexOfCaption(list, "during.txt"), 0);
      return 0u;
    });
    Select({"a.txt"});
    ASSERT_TRUE(RightClick(list->Handle(), Centre("a.txt")));
    EXPECT_EQ(form->ListFills, fills + 1);
    EXPECT_GE(IndexOfCaption(list, "during.txt"), 0);
    EXPECT_FALSE(list->RefreshPending());
    PumpFor(200);
    EXPECT_FALSE(manual.Armed(list->RefreshTimer()));
  }
}

TEST_F(ListActTest, RenameIsKnownByItsVerb) {
  String dir = Dir("verbs");
  TDesktopWrapper desktop;
  TWrapFolder folder(dir);
  desktop.Bound[BytesOf(folder.Pidl.get())] = &folder;
  TScopedDesktop scoped(&desktop);
  TScopedNoDetails noDetails;
  Show(dir);
  ASSERT_EQ(list->FolderShf(), static_cast<IShellFolder*>(&folder));
  std::vector<String> verbs(20, "other");
  verbs[3] = "rename";
  verbs[18] = "properties";
  std::vector<String> unnamed(20, "");
  const struct {
    const char* what;
    std::vector<String> verbs;
    UINT chosen;
    bool edits;
    std::vector<UINT> invoked;
  } rows[] = {
      {"rename at 3", verbs, kFirstShellCommand + 3, true, {}},
      {"properties at 18", verbs, kFirstShellCommand + 18, false, {18}},
      {"18 without verbs", unnamed, kFirstShellCommand + 18, true, {}},
      {"another without verbs", unnamed, kFirstShellCommand + 5, false, {5}},
  };
  for (const auto& r : rows) {
    TComPtr<TFakeMenu> menu(new TFakeMenu(r.verbs));
    folder.Menu = menu.Get();
    TScopedTracker tracker([&](HMENU) { return r.chosen; });
    Select({"a.txt"});
    ASSERT_TRUE(RightClick(list->Handle(), Centre("a.txt")));
    EXPECT_EQ(list->IsEditing(), r.edits) << r.what;
    EXPECT_EQ(menu->Invoked, r.invoked) << r.what;
    if (list->IsEditing()) SendMessageA(list->Handle(), LVM_CANCELEDITLABEL, 0, 0);
    folder.Menu = nullptr;
  }
  form.reset();
}

// ---------------------------------------------------------------- rename

TEST_F(ListActTest, RenameInPlace) {
  String dir = Dir("rename");
  TManualClock& manual = UseManualClock();
  Show(dir, true);
  int fills = form->ListFills;
  Select({"a.txt"});
  ASSERT_TRUE(KeyChord({VK_F2}));
  ASSERT_TRUE(list->IsEditing());
  // A change while the editor is open waits for it.
  MakeFile(dir + "\\meanwhile.txt");
  ASSERT_TRUE(WaitUntil([&] { return manual.Armed(list->RefreshTimer()); }, 3000));
  manual.Advance(2000);  // the editor has the focus
  EXPECT_TRUE(list->RefreshPending());
  EXPECT_EQ(form->ListFills, fills);
  ASSERT_TRUE(TypeText("renamed.txt"));
  SaveScreenshot(form->Handle(), "editing");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_FALSE(list->IsEditing());
  EXPECT_TRUE(Exists(dir + "\\renamed.txt"));
  EXPECT_FALSE(Exists(dir + "\\a.txt"));
  EXPECT_EQ(list->GetSelectedItem()->GetFilename(), "renamed.txt");
  EXPECT_GE(IndexOfCaption(list, "renamed.txt"), 0);
  EXPECT_GE(IndexOfCaption(list, "meanwhile.txt"), 0);
  EXPECT_EQ(form->ListFills, fills + 1);
  // The rename's own change notice refreshes nothing more.
  ASSERT_TRUE(WaitUntil([&] { return !list->SkipNextChange(); }, 3000));
  PumpFor(200);
  EXPECT_FALSE(manual.Armed(list->RefreshTimer()));
  EXPECT_EQ(form->ListFills, fills + 1);

  // A name of 300 characters is refused with the system's reason.
  {
    TScopedDialogs dialogs;
    Select({"b.txt"});
    ASSERT_TRUE(KeyChord({VK_F2}));
    HWND edit = reinterpret_cast<HWND>(SendMessageA(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr);
    String name = String(296, 'n') + ".txt";
    SetWindowTextA(edit, name.c_str());
    ASSERT_TRUE(KeyChord({VK_RETURN}));
    EXPECT_FALSE(list->IsEditing());
    ASSERT_EQ(dialogs.Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Dialogs.Boxes[0].text, Trim(SysErrorMessage(ERROR_FILENAME_EXCED_RANGE)));
    EXPECT_TRUE(Exists(dir + "\\b.txt"));
    EXPECT_EQ(ItemText(list, IndexOfCaption(list, "b.txt"), 0), "b.txt");
    EXPECT_FALSE(list->SkipNextChange());
  }
  // A name that is taken: the old caption stays, the next change is seen.
  {
    TScopedDialogs dialogs;
    Select({"b.txt"});
    ASSERT_TRUE(KeyChord({VK_F2}));
    HWND edit = reinterpret_cast<HWND>(SendMessageA(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, "renamed.txt");
    ASSERT_TRUE(KeyChord({VK_RETURN}));
    EXPECT_TRUE(Exists(dir + "\\b.txt"));
    EXPECT_EQ(ItemText(list, IndexOfCaption(list, "b.txt"), 0), "b.txt");
    EXPECT_FALSE(list->SkipNextChange());
  }
}

// ---------------------------------------------------------------- new folder

TEST_F(ListActTest, NewFolderWithItsCaptionOpen) {
  String dir = Dir("newfolder");
  ForceDirectories(dir + "\\New Folder");
  ForceDirectories(dir + "\\New Folder (2)");
  TManualClock& manual = UseManualClock();
  Show(dir, true);
  ASSERT_TRUE(list->CreateNewFolder(true));
  EXPECT_TRUE(Exists(dir + "\\New Folder (3)"));
  ASSERT_TRUE(WaitUntil([&] { return list->IsEditing(); }));
  TListItem* made = list->Items()->Item(IndexOfCaption(list, "New Folder (3)"));
  HWND edit = reinterpret_cast<HWND>(SendMessageA(list->Handle(), LVM_GETEDITCONTROL, 0, 0));
  char text[64] = {};
  GetWindowTextA(edit, text, sizeof text);
  EXPECT_EQ(String(text), "New Folder (3)");
  EXPECT_TRUE(made->Focused());
  SaveScreenshot(form->Handle(), "new-folder");
  SendMessageA(list->Handle(), LVM_CANCELEDITLABEL, 0, 0);

  // My Computer has no path: nothing is made, and the next change is seen.
  list->Folder()->SetCSIDL(csidlDrives);
  EXPECT_FALSE(list->CreateNewFolder(false));
  EXPECT_FALSE(list->SkipNextChange());
  list->Folder()->SetPathName(dir);
  MakeFile(dir + "\\seen.txt");
  EXPECT_TRUE(WaitUntil([&] { return manual.Armed(list->RefreshTimer()); }, 3000));
  EXPECT_FALSE(Exists(dir + "\\New Folder (4)"));
}

// ---------------------------------------------------------------- the shell browser query

TEST_F(ListActTest, TheShellBrowserQueryAnswersNone) {
  String dir = Dir("browser");
  Show(dir);
  EXPECT_EQ(SendMessageA(list->Handle(), WM_GETISHELLBROWSER, 0, 0), 0);
}
