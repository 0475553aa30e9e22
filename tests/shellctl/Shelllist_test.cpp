// The shell list over folders of T:: filling, texts and icons through the
// text callback, the filter, columns, sorting, refresh, device changes and
// the data object and drop target.
#include "Shellcontrolstest.h"

#include <dbt.h>
#include "support/Input.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

// a.txt, b.log, c.bin, a hidden h.txt and a folder "sub" in a new folder.
String MakeListFolder(const String& name) {
  String dir = MakeShellTestFolder("list-" + name);
  MakeFile(dir + "\\a.txt", "alpha");
  MakeFile(dir + "\\b.log", "bravo bravo");
  MakeFile(dir + "\\c.bin", String(3000, 'c'));
  MakeFile(dir + "\\h.txt", "hidden", true);
  ForceDirectories(dir + "\\sub");
  return dir;
}

const std::set<String> kAll = {"a.txt", "b.log", "c.bin", "h.txt", "sub"};

struct ShellListTest : ::testing::Test {
  void Make(bool dynamicRefresh = false) {
    form.reset(new TShellForm(TShellForm::kList, "Shell list", dynamicRefresh));
    list = form->List;
  }
  // Shows the form (made when there is none) and the folder at path.
  void ShowFolder(const String& path) {
    if (!form) Make();
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
    list->Folder()->SetPathName(path);
    ASSERT_TRUE(SameText(ShellGetPathFromIdList(list->FolderIdList()), path));
  }
  void TearDown() override { form.reset(); }
  TOwned<TShellForm> form;
  TPTShellList* list = nullptr;
};

// The header's sort mark: column and direction.
std::pair<int, TPTLvSortDirection> Mark(TPTCustomShellList* list) {
  return {list->HeaderSortColumn(), list->HeaderSortDirection()};
}

// The captions of the files (not the folder) in the list's order.
std::vector<String> FileOrder(TPTCustomShellList* list) {
  std::vector<String> out;
  for (const String& c : Captions(list))
    if (c != "sub") out.push_back(c);
  return out;
}

}  // namespace

// ---------------------------------------------------------------- fill, texts, icons

TEST_F(ShellListTest, FillWithAndWithoutHidden) {
  String dir = MakeListFolder("fill");
  ShowFolder(dir);
  EXPECT_EQ(CaptionSet(list), kAll);
  int hidden = IndexOfCaption(list, "h.txt");
  ASSERT_GE(hidden, 0);
  EXPECT_EQ(ItemState(list, hidden, LVIS_CUT), static_cast<UINT>(LVIS_CUT));
  EXPECT_EQ(ItemState(list, IndexOfCaption(list, "a.txt"), LVIS_CUT), 0u);
  EXPECT_EQ(list->Items()->Item(0)->Focused(), true);

  list->SetOptions(list->Options() - ptsloShowHidden);
  EXPECT_EQ(CaptionSet(list), (std::set<String>{"a.txt", "b.log", "c.bin", "sub"}));
  list->SetOptions(list->Options() + ptsloShowHidden);
  EXPECT_EQ(CaptionSet(list), kAll);
}

TEST_F(ShellListTest, TextsAndIconsThroughTheCallback) {
  String dir = MakeListFolder("texts");
  ASSERT_EQ(CreateQuickShortcut(dir + "\\link.lnk", dir + "\\a.txt"), S_OK);
  ShowFolder(dir);
  int a = IndexOfCaption(list, "a.txt");
  ASSERT_GE(a, 0);
  TPTShListData* data = list->GetShListData(a);
  // Captions come from the item's display name, sub-items from its column
  // texts; a short buffer takes what fits, and nothing beyond it.
  EXPECT_EQ(ItemText(list, a, 0), "a.txt");
  EXPECT_EQ(DispText(list, a, 0, 4), "a.t");
  EXPECT_EQ(DispText(list, a, 0, 1), "");
  EXPECT_EQ(DispText(list, a, 0, 0), "");
  EXPECT_EQ(ItemText(list, a, 1), data->GetColText(1));
  EXPECT_EQ(ItemText(list, a, 1), "1 KB");
  EXPECT_EQ(DispText(list, a, 1, 2), "1");
  EXPECT_EQ(DispText(list, a, 40, 10), "");
  // A stored sub-item text wins over the column text.
  list->Items()->Item(a)->SubItems()->Put(1, "own type");
  EXPECT_EQ(ItemText(list, a, 2), "own type");
  EXPECT_EQ(list->Items()->Item(a)->SubItems()->Count(), list->Columns()->Count() - 1);

  // Icons: the shell's small icon of the item; the shortcut gets the link
  // overlay (the second overlay image).
  LVITEMA it{};
  it.mask = LVIF_IMAGE;
  it.iItem = a;
  SendMessageA(list->Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
  EXPECT_EQ(it.iImage, ShellGetIconIndex(data->GetAbsoluteIdList(), SHGFI_SMALLICON));
  int link = IndexOfCaption(list, "link.lnk");
  if (link < 0) link = IndexOfCaption(list, "link");
  ASSERT_GE(link, 0) << "captions: " << Captions(list).size();
  EXPECT_EQ(ItemState(list, link, LVIS_OVERLAYMASK), INDEXTOOVERLAYMASK(2));
  EXPECT_EQ(ItemState(list, a, LVIS_OVERLAYMASK), 0u);
  SaveScreenshot(form->Handle());

  // The checked accessors.
  EXPECT_EQ(list->ItemData(list->Items()->Item(a)), data);
  TListItem* own = list->Items()->Add();
  EXPECT_THROW(list->GetShListData(own->Index()), EInvalidCast);
  EXPECT_THROW(list->GetShListData(list->Items()->Count()), EListError);
  list->SetSelected(list->Items()->Item(a));
  EXPECT_EQ(list->GetSelectedItem(), data);
  own->SetSelected(true);
  EXPECT_EQ(list->SelCount(), 2);
  EXPECT_EQ(list->ShellSelCount(), 1);
  list->SelectAll();
  EXPECT_EQ(list->ShellSelCount(), list->Items()->Count() - 1);
}

// ---------------------------------------------------------------- filter

TEST_F(ShellListTest, FileFilters) {
  String dir = MakeListFolder("filter");
  ShowFolder(dir);
  const struct {
    const char* filter;
    std::set<String> shown;
  } rows[] = {
      {"*", kAll},
      {"*.*", kAll},
      {"*.txt;*.log", {"a.txt", "b.log", "h.txt", "sub"}},
      {";;*.txt", {"a.txt", "h.txt", "sub"}},
      {"*.bin;;", {"c.bin", "sub"}},
      {"*.none", {"sub"}},
      {"", kAll},
  };
  for (const auto& r : rows) {
    int fills = form->ListFills;
    list->SetFileFilter(r.filter);
    EXPECT_EQ(form->ListFills, fills + 1) << r.filter;  // a new filter refills
    EXPECT_EQ(CaptionSet(list), r.shown) << r.filter;
  }
  // The same filter again does not refill; a refresh keeps filtering.
  list->SetFileFilter("*.txt");
  int fills = form->ListFills;
  list->SetFileFilter("*.txt");
  EXPECT_EQ(form->ListFills, fills);
  MakeFile(dir + "\\new.txt");
  MakeFile(dir + "\\new.log");
  list->RefreshItems();
  EXPECT_EQ(CaptionSet(list), (std::set<String>{"a.txt", "h.txt", "new.txt", "sub"}));

  // OnAddItem sees folders and files that passed the filter, and may veto.
  std::vector<String> seen;
  list->OnAddItem = [&](TObject*, IShellFolder* folder, LPCITEMIDLIST parent, LPCITEMIDLIST item, SFGAOF attributes,
                        bool& allow) {
    EXPECT_EQ(folder, list->FolderShf());
    EXPECT_EQ(BytesOf(parent), BytesOf(list->FolderIdList()));
    String name = ShellGetFriendlyNameFromIdList(folder, item, ptfnInFolder);
    seen.push_back(name);
    if (name == "new.txt") allow = false;
    if (name == "sub") EXPECT_TRUE(attributes & SFGAO_FOLDER);
  };
  list->FillItems();
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<String>{"a.txt", "h.txt", "new.txt", "sub"}));
  EXPECT_EQ(CaptionSet(list), (std::set<String>{"a.txt", "h.txt", "sub"}));
  list->OnAddItem = nullptr;

  // A folder without a path is not filtered.
  list->Folder()->SetCSIDL(csidlDrives);
  EXPECT_GT(list->Items()->Count(), 0);
  EXPECT_GE(IndexOfCaption(list, list->GetShListData(0)->GetDisplayName()), 0);
  std::set<String> drives = CaptionSet(list);
  list->SetFileFilter("");
  EXPECT_EQ(CaptionSet(list), drives);
}

TEST_F(ShellListTest, FoldersHiddenWhenLinkedToATree) {
  form.reset(new TShellForm(TShellForm::kPane, "Pane"));
  list = form->List;
  form->Tree->SetShellList(list);
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  // The desktop: Documents is a file-system folder, My Computer a virtual one.
  ASSERT_TRUE(WaitUntil([&] { return list->Items()->Count() > 0; }));
  TPidl drives;
  ASSERT_EQ(ShellGetSpecialFolderIdList(nullptr, csidlDrives, drives), S_OK);
  String computer = ShellGetFriendlyNameForLastIdListElement(drives.get());
  String documents = ExtractFileName(ExcludeTrailingBackslash(ShellGetSpecialFolderPath(nullptr, csidlPersonal)));
  ASSERT_GE(IndexOfCaption(list, computer), 0);
  ASSERT_GE(IndexOfCaption(list, documents), 0);
  // Switched on after the fill: the folders already listed go too.
  list->SetOptions(list->Options() + ptsloHideFoldersWhenLinkedToTree);
  EXPECT_GE(IndexOfCaption(list, computer), 0);
  EXPECT_LT(IndexOfCaption(list, documents), 0);
  list->SetOptions(list->Options() - ptsloHideFoldersWhenLinkedToTree);
  EXPECT_GE(IndexOfCaption(list, documents), 0);
  // Without a tree the option keeps them.
  form->Tree->SetShellList(nullptr);
  EXPECT_EQ(list->ShellTree(), nullptr);
  list->SetOptions(list->Options() + ptsloHideFoldersWhenLinkedToTree);
  list->FillItems();
  EXPECT_GE(IndexOfCaption(list, documents), 0);
}

// ---------------------------------------------------------------- columns

TEST_F(ShellListTest, ColumnsFromTheDetailsProvider) {
  String dir = MakeListFolder("columns");
  ShowFolder(dir);
  EXPECT_EQ(list->ColumnSource(), 1);
  EXPECT_TRUE(list->FileSystemColumns());
  IShellDetails* details = list->FolderDetails();
  ASSERT_NE(details, nullptr);
  ASSERT_EQ(list->Columns()->Count(), 5);
  for (int i = 0; i < 5; ++i) {
    SHELLDETAILS sd{};
    ASSERT_EQ(details->GetDetailsOf(nullptr, i, &sd), S_OK);
    EXPECT_EQ(list->Columns()->Items(i)->Caption(), StrretToString(nullptr, sd.str));
    EXPECT_EQ(list->Columns()->Items(i)->Width(), 7 * sd.cxChar) << i;
    StrretFree(sd.str);
  }
  EXPECT_EQ(list->Columns()->Items(0)->Caption(), "File");
  EXPECT_EQ(list->Columns()->Items(1)->Caption(), "Size");

  // A width the user changed survives a refill, through the saved state.
  HWND wnd = list->Handle();
  SendMessageA(wnd, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(133, 0));
  // A mark on the header item shows whether the column was put up again.
  HWND header = ListView_GetHeader(wnd);
  HDITEMA mark{};
  mark.mask = HDI_LPARAM;
  mark.lParam = 0x5A;
  ASSERT_TRUE(Header_SetItem(header, 4, &mark));
  list->FillItems();
  EXPECT_EQ(list->Columns()->Items(1)->Width(), 133);
  // The same folder's columns stay up: a refill does not rebuild the header.
  mark.lParam = 0;
  ASSERT_TRUE(Header_GetItem(header, 4, &mark));
  EXPECT_EQ(mark.lParam, 0x5A);
  TMemoryStream* state = PTShColumnStateStream();
  ASSERT_EQ(state->Size(), 4 + 5 * 4);
  auto* words = static_cast<const int32_t*>(state->Memory());
  EXPECT_EQ(words[0], 5);
  EXPECT_EQ(words[2], 133);
  EXPECT_EQ(words[1], list->Columns()->Items(0)->Width());

  // My Computer's columns are no file-system columns: nothing is saved.
  list->Folder()->SetCSIDL(csidlDrives);
  EXPECT_EQ(list->ColumnSource(), 1);
  EXPECT_FALSE(list->FileSystemColumns());
  EXPECT_EQ(list->Columns()->Items(0)->Caption(), "File");
  EXPECT_EQ(list->Columns()->Count(), 4);
  EXPECT_EQ(Header_GetItemCount(header), 4);
  ASSERT_EQ(state->Size(), 4 + 5 * 4);
  EXPECT_EQ(static_cast<const int32_t*>(state->Memory())[2], 133);
  // Items below a provider's columns carry one sub-item fewer.
  EXPECT_EQ(list->Items()->Item(0)->SubItems()->Count(), 3);
}

TEST_F(ShellListTest, DefaultColumnsAndDirectoryCols) {
  String dir = MakeListFolder("defaults");
  TScopedNoDetails none;
  auto le = [](std::initializer_list<int> words) {
    std::string b;
    for (int w : words) {
      b += static_cast<char>(w & 0xFF);
      b += static_cast<char>(w >> 8);
    }
    return b;
  };
  const struct {
    const char* name;
    std::string value;
    std::vector<int> widths;
  } rows[] = {
      {"absent", "", {200, 60, 100, 120}},
      {"8 bytes", le({150, 70, 90, 110}), {150, 70, 90, 110}},
      {"22 bytes", le({151, 71, 91, 111, 5, 6, 7, 8, 9, 10, 11}), {151, 71, 91, 111}},
      {"23 bytes", le({152, 72, 92, 112, 5, 6, 7, 8, 9, 10, 11}) + "x", {200, 60, 100, 120}},
      {"2 bytes", le({153}), {200, 60, 100, 120}},
      {"4 bytes", le({154, 74}), {200, 60, 100, 120}},
      {"6 bytes", le({155, 75, 95}), {200, 60, 100, 120}},
  };
  for (const auto& r : rows) {
    TScopedDirectoryCols cols(r.value);
    ShowFolder(dir);
    EXPECT_EQ(list->ColumnSource(), 2) << r.name;
    EXPECT_TRUE(list->FileSystemColumns());
    ASSERT_EQ(list->Columns()->Count(), 4) << r.name;
    std::vector<String> captions;
    std::vector<int> widths;
    for (int i = 0; i < 4; ++i) {
      captions.push_back(list->Columns()->Items(i)->Caption());
      widths.push_back(list->Columns()->Items(i)->Width());
    }
    EXPECT_EQ(captions, (std::vector<String>{"Name", "Size", "Type", "Modified"}));
    EXPECT_EQ(list->Columns()->Items(1)->Alignment(), taRightJustify);
    EXPECT_EQ(widths, r.widths) << r.name;
    // The size and type without a provider, three sub-items each.
    int c = IndexOfCaption(list, "c.bin");
    EXPECT_EQ(ItemText(list, c, 1), "3KB");
    EXPECT_EQ(list->Items()->Item(c)->SubItems()->Count(), 3);
    form.reset();
  }
  // The same value again: the widths the user left are kept.
  TScopedDirectoryCols cols(le({150, 70, 90, 110}));
  ShowFolder(dir);
  SendMessageA(list->Handle(), LVM_SETCOLUMNWIDTH, 2, MAKELPARAM(170, 0));
  form.reset();
  ShowFolder(dir);
  EXPECT_EQ(list->Columns()->Items(2)->Width(), 170);
}

// ---------------------------------------------------------------- sorting

TEST_F(ShellListTest, SortingByColumnsAndMarks) {
  String dir = MakeListFolder("sorting");
  ShowFolder(dir);
  EXPECT_EQ(list->SortColumn(), 1);
  EXPECT_EQ(Mark(list), std::make_pair(0, ptsdDesc));  // ascending shows the ptsdDesc mark
  EXPECT_EQ(FileOrder(list), (std::vector<String>{"a.txt", "b.log", "c.bin", "h.txt"}));

  // Clicks on the header: a second click on the same column reverses.
  HWND header = list->GetHeaderHandle();
  auto clickColumn = [&](int i) {
    RECT r;
    SendMessageA(header, HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
    return Click(header, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  };
  ASSERT_TRUE(clickColumn(0));
  EXPECT_EQ(list->SortColumn(), -1);
  EXPECT_EQ(Mark(list), std::make_pair(0, ptsdAsc));
  EXPECT_EQ(FileOrder(list), (std::vector<String>{"h.txt", "c.bin", "b.log", "a.txt"}));
  ASSERT_TRUE(clickColumn(0));
  EXPECT_EQ(list->SortColumn(), 1);
  EXPECT_EQ(FileOrder(list), (std::vector<String>{"a.txt", "b.log", "c.bin", "h.txt"}));
  // Another column: ascending by it (under Wine in the order of names).
  ASSERT_TRUE(clickColumn(2));
  EXPECT_EQ(list->SortColumn(), 3);
  EXPECT_EQ(Mark(list), std::make_pair(2, ptsdDesc));
  ASSERT_TRUE(clickColumn(2));
  EXPECT_EQ(list->SortColumn(), -3);
  EXPECT_EQ(Mark(list), std::make_pair(2, ptsdAsc));
  SaveScreenshot(form->Handle());

  // A handler that sets the column itself wins over the click.
  list->OnColumnClick = [&](TObject*, TListColumn*) { list->SetSortColumn(4); };
  ASSERT_TRUE(clickColumn(0));
  EXPECT_EQ(list->SortColumn(), 4);
  list->OnColumnClick = nullptr;

  // 0: the captions' order (folders among the files).
  list->SetSortColumn(0);
  EXPECT_EQ(Captions(list), (std::vector<String>{"a.txt", "b.log", "c.bin", "h.txt", "sub"}));
  EXPECT_EQ(list->HeaderSortColumn(), -1);

  // A descending sort on a column that is gone falls back to column 1.
  list->SetSortColumn(-5);
  {
    TScopedNoDetails none;
    list->FillItems();
  }
  EXPECT_EQ(list->Columns()->Count(), 4);
  EXPECT_EQ(list->SortColumn(), 1);
  EXPECT_EQ(Mark(list), std::make_pair(0, ptsdDesc));
  EXPECT_EQ(FileOrder(list), (std::vector<String>{"a.txt", "b.log", "c.bin", "h.txt"}));
}

// ---------------------------------------------------------------- refresh

TEST_F(ShellListTest, ChangesOnDiskAppearWithoutFocus) {
  String dir = MakeListFolder("changes");
  Make(true);
  ShowFolder(dir);
  ASSERT_NE(list->ChangeThread(), nullptr);
  // The focus elsewhere: the slow (2000 ms) refresh.
  SetFocus(nullptr);
  MakeFile(dir + "\\fresh.txt");
  EXPECT_TRUE(WaitUntil([&] { return IndexOfCaption(list, "fresh.txt") >= 0; }, 3000));
  EXPECT_EQ(list->RefreshTimer()->Interval(), 2000u);
  DeleteFileA((dir + "\\b.log").c_str());
  EXPECT_TRUE(WaitUntil([&] { return IndexOfCaption(list, "b.log") < 0; }, 3000));
  EXPECT_EQ(list->Items()->Count(), 5);
  // With the focus, 400 ms; a change the list made itself is skipped once.
  TScopedClock clock;
  ASSERT_TRUE(FocusWindow(list->Handle()));
  MakeFile(dir + "\\focused.txt");
  ASSERT_TRUE(WaitUntil([&] { return clock.Clock.Armed(list->RefreshTimer()); }, 2000));
  EXPECT_EQ(list->RefreshTimer()->Interval(), 400u);
  clock.Clock.Advance(400);
  EXPECT_GE(IndexOfCaption(list, "focused.txt"), 0);
  list->SetSkipNextChange(true);
  MakeFile(dir + "\\skipped.txt");
  ASSERT_TRUE(WaitUntil([&] { return !list->SkipNextChange(); }, 2000));
  EXPECT_FALSE(clock.Clock.Armed(list->RefreshTimer()));
  // Switched off: no watch.
  list->SetOptions(list->Options() - ptsloDynamicRefresh);
  MakeFile(dir + "\\unseen.txt");
  PumpFor(300);
  EXPECT_FALSE(clock.Clock.Armed(list->RefreshTimer()));
}

TEST_F(ShellListTest, RefreshKeepsItemsAndWaitsForAnEdit) {
  String dir = MakeListFolder("refresh");
  ShowFolder(dir);
  TListItem* kept = list->Items()->Item(IndexOfCaption(list, "a.txt"));
  int fills = form->ListFills;
  MakeFile(dir + "\\d.txt");
  DeleteFileA((dir + "\\b.log").c_str());
  std::vector<String> deleted;
  list->OnDeleteItem = [&](TObject*, TListItem* item, TPTShListData* data) {
    EXPECT_EQ(item->Data(), data);
    deleted.push_back(data->GetFilename());
  };
  list->RefreshItems();
  list->OnDeleteItem = nullptr;
  EXPECT_EQ(deleted, (std::vector<String>{"b.log"}));
  EXPECT_EQ(CaptionSet(list), (std::set<String>{"a.txt", "c.bin", "d.txt", "h.txt", "sub"}));
  EXPECT_EQ(list->Items()->Item(IndexOfCaption(list, "a.txt")), kept);  // the same item
  EXPECT_EQ(form->ListFills, fills + 1);
  EXPECT_EQ(list->AllocBy(), 256);

  // While a caption is edited (a shell item's, or one of the list's own) a
  // refresh only marks itself.
  list->SetFocus();
  ASSERT_TRUE(kept->EditCaption());
  ASSERT_TRUE(list->IsEditing());
  list->RefreshItems();
  EXPECT_TRUE(list->RefreshPending());
  SendMessageA(list->Handle(), LVM_CANCELEDITLABEL, 0, 0);
  EXPECT_FALSE(list->IsEditing());
  list->SetRefreshPending(false);
  TListItem* own = list->Items()->Add();
  own->SetCaption("own item");
  ASSERT_TRUE(own->EditCaption());
  ASSERT_TRUE(list->IsEditing());
  MakeFile(dir + "\\e.txt");
  list->RefreshItems();
  list->FillItems();
  EXPECT_TRUE(list->RefreshPending());
  EXPECT_LT(IndexOfCaption(list, "e.txt"), 0);
  SendMessageA(list->Handle(), LVM_CANCELEDITLABEL, 0, 0);
  own->Delete();
  list->SetRefreshPending(false);
  // Busy likewise.
  list->SetBusy(true);
  list->RefreshItems();
  EXPECT_TRUE(list->RefreshPending());
  list->SetBusy(false);
  list->RefreshItems();
  EXPECT_GE(IndexOfCaption(list, "e.txt"), 0);
  // With no items left a refresh is a fill.
  list->Items()->Clear();
  list->RefreshItems();
  EXPECT_EQ(list->Items()->Count(), 6);
}

TEST_F(ShellListTest, ARefreshSortsNewItemsIn) {
  String dir = MakeShellTestFolder("list-sortin");
  MakeFile(dir + "\\a.txt");
  MakeFile(dir + "\\c.txt");
  ForceDirectories(dir + "\\m");
  ShowFolder(dir);
  EXPECT_EQ(Captions(list), (std::vector<String>{"m", "a.txt", "c.txt"}));
  MakeFile(dir + "\\b.txt");
  ForceDirectories(dir + "\\b");
  list->RefreshItems();
  const std::vector<String> ascending = {"b", "m", "a.txt", "b.txt", "c.txt"};
  EXPECT_EQ(Captions(list), ascending);
  // Reversed, a new item goes where the reversed order puts it.
  list->SetSortColumn(-1);
  DeleteFileA((dir + "\\b.txt").c_str());
  list->RefreshItems();
  MakeFile(dir + "\\b.txt");
  list->RefreshItems();
  EXPECT_EQ(Captions(list), std::vector<String>(ascending.rbegin(), ascending.rend()));
}

TEST_F(ShellListTest, EnumerationEndsAndFailures) {
  String dir = MakeListFolder("ends");
  String empty = MakeShellTestFolder("list-ends-empty");
  ShowFolder(empty);
  EXPECT_EQ(list->Items()->Count(), 0);

  ShowFolder(dir);
  TPidl previous = CopyIdList(nullptr, list->FolderIdList());
  TPidl fakePidl;
  ASSERT_EQ(ShellGetIdListFromPath(empty, fakePidl), S_OK);
  TDesktopWrapper desktop;
  TEnumFolder folder;
  desktop.Bound[BytesOf(fakePidl.get())] = &folder;
  TScopedDesktop scoped(&desktop);
  TScopedExceptionHook hook;
  TScopedDialogs dialogs;
  // Quiet ends: an empty list, the new folder shown.
  for (HRESULT end : {S_FALSE, HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS), E_FAIL}) {
    folder.End = end;
    list->Folder()->SetIdList(previous.get());
    ASSERT_GT(list->Items()->Count(), 0);
    list->Folder()->SetIdList(fakePidl.get());
    EXPECT_EQ(list->Items()->Count(), 0) << std::hex << end;
    EXPECT_EQ(BytesOf(list->FolderIdList()), BytesOf(fakePidl.get()));
  }
  folder.EnumResult = E_ACCESSDENIED;
  list->Folder()->SetIdList(previous.get());
  list->Folder()->SetIdList(fakePidl.get());
  EXPECT_EQ(list->Items()->Count(), 0);
  EXPECT_TRUE(hook.Messages.empty());

  // Another code: an error, and the previous folder stays the one shown.
  folder.EnumResult = S_OK;
  folder.End = E_ACCESSDENIED;
  list->Folder()->SetIdList(previous.get());
  EXPECT_THROW(list->Folder()->SetIdList(fakePidl.get()), EOleSysError);
  EXPECT_EQ(BytesOf(list->FolderIdList()), BytesOf(previous.get()));
  // From a message it reaches the exception hook once.
  int before = folder.Enumerations;
  PostMessageA(list->Handle(), AM_DEFERREDFILL, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !hook.Messages.empty(); }));
  PumpFor(100);
  EXPECT_EQ(folder.Enumerations, before + 1);
  ASSERT_EQ(hook.Messages.size(), 1u);
  EXPECT_EQ(hook.Messages[0], Trim(SysErrorMessage(static_cast<DWORD>(E_ACCESSDENIED))));
  EXPECT_TRUE(dialogs.Dialogs.Boxes.empty());
  // The list may hold the folders: it goes before them.
  form.reset();
}

// ---------------------------------------------------------------- device changes

TEST_F(ShellListTest, ADeviceChangeRefillsMyComputerOnly) {
  String dir = MakeListFolder("device");
  ShowFolder(dir);
  TOwned<TShellForm> drives(new TShellForm(TShellForm::kList, "Drives"));
  drives->Show();
  drives->List->Folder()->SetCSIDL(csidlDrives);
  ASSERT_GT(drives->List->Items()->Count(), 0);
  HWND fanOut = PTDeviceChangeHandler()->Handle();
  const struct {
    WPARAM event;
    int driveFills;
  } rows[] = {{DBT_DEVICEARRIVAL, 1}, {DBT_DEVICEREMOVECOMPLETE, 1}, {DBT_DEVNODES_CHANGED, 0}};
  for (const auto& r : rows) {
    int onDrives = drives->ListFills, onT = form->ListFills;
    SendMessageA(fanOut, WM_DEVICECHANGE, r.event, 0);
    PumpFor(100);
    EXPECT_EQ(drives->ListFills, onDrives + r.driveFills) << r.event;
    EXPECT_EQ(form->ListFills, onT) << r.event;
  }
}

// ---------------------------------------------------------------- drag and drop

TEST_F(ShellListTest, TheDataObjectOfTheSelection) {
  String dir = MakeListFolder("data");
  ShowFolder(dir);
  // Nothing selected: no formats.
  list->ClearSelection();
  {
    TComPtr<IDataObject> none = list->CreateDataObject();
    FORMATETC hdrop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_NE(none->QueryGetData(&hdrop), S_OK);
    TComPtr<IEnumFORMATETC> formats;
    ASSERT_EQ(none->EnumFormatEtc(DATADIR_GET, formats.Put()), S_OK);
    FORMATETC f{};
    EXPECT_EQ(formats->Next(1, &f, nullptr), S_FALSE);
  }
  std::vector<int> chosen = {IndexOfCaption(list, "b.log"), IndexOfCaption(list, "c.bin"),
                             IndexOfCaption(list, "sub")};
  for (int i : chosen) list->Items()->Item(i)->SetSelected(true);
  std::vector<int> order;
  for (TListItem* it = list->GetNextItem(nullptr, sdAll, {isSelected}); it;
       it = list->GetNextItem(it, sdAll, {isSelected}))
    order.push_back(it->Index());
  ASSERT_EQ(order.size(), 3u);

  TComPtr<IDataObject> data = list->CreateDataObject();
  TShellIDList ids;
  ASSERT_TRUE(ReadShellIDList(data.Get(), ids));
  EXPECT_EQ(BytesOf(ids.Parent.get()), BytesOf(list->FolderIdList()));
  ASSERT_EQ(ids.Children.size(), 3u);
  FORMATETC hdrop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM first{}, second{};
  ASSERT_EQ(data->GetData(&hdrop, &first), S_OK);
  ASSERT_EQ(data->GetData(&hdrop, &second), S_OK);
  EXPECT_NE(first.hGlobal, second.hGlobal);  // a new block for every call
  ASSERT_EQ(GlobalSize(first.hGlobal), GlobalSize(second.hGlobal));
  {
    void* a = GlobalLock(first.hGlobal);
    void* b = GlobalLock(second.hGlobal);
    EXPECT_EQ(std::memcmp(a, b, GlobalSize(first.hGlobal)), 0);
    GlobalUnlock(first.hGlobal);
    GlobalUnlock(second.hGlobal);
  }
  ASSERT_EQ(DragQueryFileW(static_cast<HDROP>(first.hGlobal), 0xFFFFFFFF, nullptr, 0), 3u);
  for (UINT i = 0; i < 3; ++i) {
    TPTShListData* d = list->GetShListData(order[i]);
    EXPECT_EQ(BytesOf(ids.Children[i].get()), BytesOf(d->RelPidl())) << i;
    wchar_t path[MAX_PATH] = {};
    DragQueryFileW(static_cast<HDROP>(first.hGlobal), i, path, MAX_PATH);
    EXPECT_EQ(WideToString(path), d->GetPathName()) << i;
  }
  ReleaseStgMedium(&first);
  ReleaseStgMedium(&second);
  TComPtr<IEnumFORMATETC> formats;
  EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, formats.Put()), E_NOTIMPL);
  EXPECT_EQ(formats.Get(), nullptr);
  EXPECT_EQ(data->SetData(&hdrop, &first, FALSE), E_NOTIMPL);
}

TEST_F(ShellListTest, TheDropTargetFollowsTheOptionAndTheWindow) {
  String dir = MakeListFolder("target");
  ShowFolder(dir);
  HWND wnd = list->Handle();
  TPTForwardingDropTarget* target = list->DropTarget();
  ASSERT_NE(target, nullptr);
  TComPtr<IDropTarget> probe(new TPTForwardingDropTarget(nullptr));
  auto registered = [&] {
    // Registering another target fails while the list's is there.
    HRESULT hr = RegisterDragDrop(wnd, probe.Get());
    if (SUCCEEDED(hr)) RevokeDragDrop(wnd);
    return hr == DRAGDROP_E_ALREADYREGISTERED;
  };
  EXPECT_TRUE(registered());
  list->SetOptions(list->Options() - ptsloOleDrop);
  EXPECT_EQ(list->DropTarget(), nullptr);
  EXPECT_FALSE(registered());
  list->SetOptions(list->Options() + ptsloOleDrop);
  ASSERT_NE(list->DropTarget(), nullptr);
  EXPECT_TRUE(registered());

  // A drag that never entered has nothing to drop (scrolling is offered).
  TComPtr<IDropTarget> held = TComPtr<IDropTarget>::Share(list->DropTarget());
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(held->DragOver(MK_LBUTTON, POINTL{10, 10}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_SCROLL));
  // Held past the list's end: nothing reaches the freed list.
  form.reset();
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(held->DragOver(MK_LBUTTON, POINTL{10, 10}, &effect), E_UNEXPECTED);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(held->Drop(nullptr, MK_LBUTTON, POINTL{10, 10}, &effect), E_UNEXPECTED);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(held->DragLeave(), E_UNEXPECTED);
}

TEST_F(ShellListTest, WithoutOleDragTheClassLibrarysDragStarts) {
  String dir = MakeListFolder("drag");
  Make();
  list->SetOptions(list->Options() - ptsloOleDrag);
  list->SetDragMode(dmAutomatic);
  int starts = 0;
  list->OnStartDrag = [&](TObject*, TDragObject*&) { ++starts; };
  ShowFolder(dir);
  TRect r = list->Items()->Item(IndexOfCaption(list, "a.txt"))->DisplayRect(drLabel);
  POINT from{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ASSERT_TRUE(Drag(list->Handle(), from, POINT{from.x + 60, from.y + 120}));
  PumpFor(100);
  EXPECT_EQ(starts, 1);
  form.reset();
}
