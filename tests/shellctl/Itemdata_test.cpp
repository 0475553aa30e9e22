// The records of tree nodes, list items and combo entries.
#include "Shelltest.h"
#include "shellctl/Uptshitemdata.h"

namespace {

// A list showing one folder, as the shell list would.
class TTestList : public TPTShListOwner {
 public:
  explicit TTestList(LPCITEMIDLIST folderPidl) : pidl(CopyIdList(nullptr, folderPidl)) {
    EXPECT_EQ(ShellGetFolderFromIdList(pidl.get(), folder), S_OK);
  }
  explicit TTestList(IShellFolder* shf) : folder(TComPtr<IShellFolder>::Share(shf)) {}
  LPCITEMIDLIST FolderIdList() override { return pidl.get(); }
  IShellFolder* FolderShf() override { return folder.Get(); }
  IShellDetails* FolderDetails() override { return details.Get(); }

  // The item of a child of the folder given by its parsing name.
  std::unique_ptr<TPTShListData> Item(const String& name) {
    auto data = std::make_unique<TPTShListData>(this);
    std::wstring wide = StringToWide(name);
    LPITEMIDLIST child = nullptr;
    ULONG eaten = 0;
    EXPECT_EQ(folder->ParseDisplayName(nullptr, nullptr, wide.data(), &eaten, &child, nullptr), S_OK) << name;
    data->SetData(TPidl(child));
    return data;
  }

  TPidl pidl;
  TComPtr<IShellFolder> folder;
  TComPtr<IShellDetails> details;
};

TPidl PidlOf(const String& path) {
  TPidl pidl;
  EXPECT_EQ(ShellGetIdListFromPath(path, pidl), S_OK) << path;
  return pidl;
}

void MakeSizedFile(const String& path, int64_t size) {
  HANDLE h = CreateFileW(StringToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  LARGE_INTEGER at;
  at.QuadPart = size;
  // Past the end without writing: the file system keeps it sparse.
  EXPECT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
  EXPECT_TRUE(SetEndOfFile(h));
  CloseHandle(h);
}

TEST(ShListData, ExtraDataOfFilesFoldersAndADrive) {
  String dir = MakeShellTestFolder("extra");
  struct Case {
    const char* name;
    int64_t size;
    const char* text;
  };
  const Case cases[] = {
      {"zero.bin", 0, "0KB"},
      {"one.bin", 1024, "1KB"},
      {"more.bin", 1025, "2KB"},
      {"big.bin", (int64_t{4} << 30) + 1, "4,194,305KB"},
  };
  for (const Case& c : cases) MakeSizedFile(dir + "\\" + c.name, c.size);
  ASSERT_TRUE(ForceDirectories(dir + "\\sub"));

  TPidl folderPidl = PidlOf(dir);
  TTestList list(folderPidl.get());  // no details: the columns come from the extra data
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto item = list.Item(c.name);
    EXPECT_EQ(item->GetColText(1), c.text);
    EXPECT_EQ(item->GetSize(), c.text);
    EXPECT_NE(item->GetModified(), "");
    EXPECT_EQ(item->GetColText(0), "");
    EXPECT_EQ(item->GetColText(3), item->GetModified());
    EXPECT_EQ(item->GetPathName(), dir + "\\" + c.name);
    EXPECT_EQ(item->GetFilename(), c.name);
    EXPECT_TRUE(item->IsFileSystem());
    EXPECT_FALSE(item->IsFolder());
  }
  auto sub = list.Item("sub");
  EXPECT_EQ(sub->GetSize(), "");
  EXPECT_NE(sub->GetModified(), "");
  EXPECT_TRUE(sub->IsFolder());
  EXPECT_EQ(sub->GetDisplayName(), "sub");

  // The drive itself: no size and no date.
  TPidl drives;
  ASSERT_EQ(ShellGetSpecialFolderIdList(nullptr, csidlDrives, drives), S_OK);
  TTestList computer(drives.get());
  auto drive = computer.Item("T:\\");
  EXPECT_EQ(drive->GetPathName(), "T:\\");
  EXPECT_EQ(drive->GetSize(), "");
  EXPECT_EQ(drive->GetModified(), "");
}

TEST(ShListData, ShortcutsVirtualItemsAndFlush) {
  String dir = MakeShellTestFolder("kinds");
  WriteFileBytes(dir + "\\LOUD.LNK", "not really a link");
  WriteFileBytes(dir + "\\quiet.txt", "x");
  TPidl folderPidl = PidlOf(dir);
  TTestList list(folderPidl.get());
  EXPECT_TRUE(list.Item("LOUD.LNK")->IsLnkShortcut());
  EXPECT_FALSE(list.Item("quiet.txt")->IsLnkShortcut());

  // Control Panel, an item of My Computer outside the file system.
  TPidl panel;
  ASSERT_EQ(ShellGetSpecialFolderIdList(nullptr, csidlControls, panel), S_OK);
  TPTIdListArray levels(panel.get());
  ASSERT_GE(levels.GetCount(), 1);
  TPidl parent = CopyIdList(nullptr, levels.GoUp(1));
  TTestList holder(parent.get());
  TPTShListData item(&holder);
  item.SetData(CopyIdList(nullptr, levels.GetItem(levels.GetCount() - 1)));
  EXPECT_FALSE(item.IsFileSystem());
  EXPECT_EQ(item.GetFileType(), "System Folder");
  EXPECT_EQ(BytesOf(item.GetAbsoluteIdList()), BytesOf(panel.get()));

  // Flush forgets what was read.
  auto text = list.Item("quiet.txt");
  String before = text->GetDisplayName();
  EXPECT_EQ(before, "quiet.txt");
  WriteFileBytes(dir + "\\quiet.txt", std::string(3000, 'x'));
  EXPECT_EQ(text->GetSize(), "3KB");
  WriteFileBytes(dir + "\\quiet.txt", std::string(5000, 'x'));
  EXPECT_EQ(text->GetSize(), "3KB");
  text->Flush();
  EXPECT_EQ(text->GetSize(), "5KB");
}

// A folder that cannot tell attributes (the fake's GetAttributesOf fails
// and leaves the request as it was).
TEST(ShItemData, AFolderFailingGetAttributesOfGivesNone) {
  String dir = MakeShellTestFolder("failing");
  WriteFileBytes(dir + "\\a.txt", "a");
  TPidl folderPidl = PidlOf(dir);
  TTestList real(folderPidl.get());
  auto realItem = real.Item("a.txt");

  TFakeShellFolder fake;
  {
    TTestList list(&fake);
    TPTShListData item(&list);
    item.SetData(CopyIdList(nullptr, realItem->RelPidl()));
    EXPECT_EQ(item.GetAttributes(), 0u);
    EXPECT_FALSE(item.IsFolder());
    EXPECT_FALSE(item.GetEditable());
    EXPECT_FALSE(item.IsValid());
  }
  {
    TPTShTreeData root(nullptr);
    root.SetData(nullptr, folderPidl.get());
    root.SetThisIShf(&fake);
    TPTShTreeData node(nullptr);
    node.SetData(&root, realItem->RelPidl());
    EXPECT_EQ(node.GetAttributes(), 0u);
    EXPECT_FALSE(node.GetEditable());
  }
  EXPECT_EQ(fake.Refs(), 0);
}

// Records the attribute requests it gets.
class TRequestFolder : public TFakeShellFolder {
 public:
  HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF* attributes) override {
    Requests.push_back(*attributes);
    return S_OK;
  }
  std::vector<SFGAOF> Requests;
};

// Below the root of a removable drive READONLY is not asked (the answer
// would touch the drive); R: is one in the test prefix.
TEST(ShItemData, NoReadOnlyRequestBelowARemovableDriveRoot) {
  ASSERT_EQ(GetDriveTypeA("R:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
  const struct {
    const char* path;
    bool asked;
  } cases[] = {{"R:\\", true}, {"R:\\dir", false}, {"R:\\dir\\file.txt", false}, {"T:\\dir", true}, {"", true}};
  for (const auto& c : cases)
    EXPECT_EQ((AttributeRequestFor(c.path, kListAttributeMask) & SFGAO_READONLY) != 0, c.asked) << c.path;

  // What the records ask of their folder for a file on T: and on R:.
  for (const String& dir : {MakeShellTestFolder("readonly"), String("R:\\readonly")}) {
    SCOPED_TRACE(dir);
    ASSERT_TRUE(ForceDirectories(dir));
    WriteFileBytes(dir + "\\file.txt", "x");
    SFGAOF readOnly = dir[0] == 'R' ? 0 : SFGAO_READONLY;
    TPidl folderPidl = PidlOf(dir);
    TTestList real(folderPidl.get());
    auto realItem = real.Item("file.txt");
    TRequestFolder folder;
    {
      TTestList list(folderPidl.get());
      list.folder = TComPtr<IShellFolder>::Share(&folder);
      TPTShListData item(&list);
      item.SetData(CopyIdList(nullptr, realItem->RelPidl()));
      item.GetAttributes();
      TPTShTreeData root(nullptr);
      root.SetData(nullptr, folderPidl.get());
      root.SetThisIShf(&folder);
      TPTShTreeData node(nullptr);
      node.SetData(&root, realItem->RelPidl());
      node.GetAttributes();
    }
    EXPECT_EQ(folder.Requests, (std::vector<SFGAOF>{(kListAttributeMask & ~SFGAO_READONLY) | readOnly,
                                                    (kTreeAttributeMask & ~SFGAO_READONLY) | readOnly}));
  }
}

TEST(ShTreeData, TheDesktopNode) {
  for (bool empty : {false, true}) {
    SCOPED_TRACE(empty ? "empty PIDL" : "no PIDL");
    TFakeShellFolder desktop;
    TScopedDesktop scope(&desktop);
    std::string none = PidlBytes({});
    TPTShTreeData root(nullptr);
    root.SetData(nullptr, empty ? AsPidl(none) : nullptr);
    EXPECT_EQ(root.GetThisIShf(), static_cast<IShellFolder*>(&desktop));
    EXPECT_FALSE(root.GetEditable());
    EXPECT_EQ(root.ParentData(), nullptr);
  }
}

TEST(ShTreeData, NodesBelowAFolder) {
  String dir = MakeShellTestFolder("tree");
  ASSERT_TRUE(ForceDirectories(dir + "\\child"));
  WriteFileBytes(dir + "\\child\\leaf.txt", "leaf");
  TPidl dirPidl = PidlOf(dir);

  TPTShTreeData root(nullptr);
  root.SetData(nullptr, dirPidl.get());
  EXPECT_EQ(root.GetPathName(), dir);
  EXPECT_EQ(BytesOf(root.GetAbsPidl()), BytesOf(dirPidl.get()));
  EXPECT_EQ(IdListCount(root.RelPidl()), 1);  // its last item
  EXPECT_FALSE(root.GetEditable());           // a root has no parent
  EXPECT_TRUE(root.GetAttributes() & SFGAO_FOLDER);

  TTestList list(dirPidl.get());
  auto childItem = list.Item("child");
  TPTShTreeData child(nullptr);
  child.SetData(&root, childItem->RelPidl());
  EXPECT_EQ(child.GetPathName(), dir + "\\child");
  SFGAOF attributes = child.GetAttributes();
  EXPECT_TRUE(attributes & SFGAO_FOLDER);
  EXPECT_TRUE(attributes & SFGAO_FILESYSTEM);
  EXPECT_TRUE(child.GetEditable());
  EXPECT_FALSE(child.IsRootDir());
  TComPtr<IDropTarget> target;
  EXPECT_EQ(child.GetIDropTarget(nullptr, target), S_OK);
  EXPECT_TRUE(target);

  // Its own folder lists the leaf.
  IShellFolder* own = child.GetThisIShf();
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own, child.GetThisIShf());  // kept
  LPITEMIDLIST leaf = nullptr;
  ULONG eaten = 0;
  wchar_t name[] = L"leaf.txt";
  ASSERT_EQ(own->ParseDisplayName(nullptr, nullptr, name, &eaten, &leaf, nullptr), S_OK);
  TPidl leafHolder(leaf);
  TPTShTreeData leafNode(nullptr);
  leafNode.SetData(&child, leaf);
  EXPECT_EQ(leafNode.GetPathName(), dir + "\\child\\leaf.txt");

  // A rename: the new relative PIDL, the descendants flushed.
  ASSERT_TRUE(RenameFileStr(dir + "\\child", dir + "\\renamed"));
  auto renamed = list.Item("renamed");
  child.SetRelPidl(renamed->RelPidl());
  leafNode.Flush();
  EXPECT_EQ(child.GetPathName(), dir + "\\renamed");
  EXPECT_EQ(leafNode.GetPathName(), dir + "\\renamed\\leaf.txt");

  // A root renamed keeps its place.
  TPidl renamedPidl = PidlOf(dir + "\\renamed");
  TPTShTreeData top(nullptr);
  top.SetData(nullptr, renamedPidl.get());
  ASSERT_TRUE(RenameFileStr(dir + "\\renamed", dir + "\\again"));
  top.SetRelPidl(list.Item("again")->RelPidl());
  EXPECT_EQ(top.GetPathName(), dir + "\\again");
  top.Flush();
  EXPECT_EQ(top.GetPathName(), dir + "\\again");

  // A drive's root.
  TPidl driveRoot = PidlOf("T:\\");
  TPTShTreeData drive(nullptr);
  drive.SetData(nullptr, driveRoot.get());
  EXPECT_TRUE(drive.IsRootDir());
  EXPECT_TRUE(drive.GetAttributes() & SFGAO_FILESYSTEM);
}

TEST(ShComboData, FoldersOfEntries) {
  String dir = MakeShellTestFolder("combo");
  WriteFileBytes(dir + "\\inside.txt", "x");
  TPidl dirPidl = PidlOf(dir);
  TPTIdListArray levels(dirPidl.get());
  TPidl parentPidl = CopyIdList(nullptr, levels.GoUp(1));
  TComPtr<IShellFolder> parent;
  ASSERT_EQ(ShellGetFolderFromIdList(parentPidl.get(), parent), S_OK);

  TPTShComboData entry(nullptr);
  entry.SetData(parent.Get(), parentPidl.get(), levels.GetItem(levels.GetCount() - 1));
  EXPECT_EQ(BytesOf(entry.AbsPidl()), BytesOf(dirPidl.get()));
  EXPECT_EQ(ShellGetPathFromIdList(entry.AbsPidl()), dir);
  IShellFolder* own = entry.GetThisIShf();
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own, entry.GetThisIShf());

  TPTShComboData desktop(nullptr);
  desktop.SetData(nullptr, nullptr, nullptr);
  EXPECT_NE(desktop.GetThisIShf(), nullptr);

  // A folder that cannot bind raises.
  TFakeShellFolder fake;
  TPTShComboData broken(nullptr);
  broken.SetData(&fake, parentPidl.get(), levels.GetItem(levels.GetCount() - 1));
  EXPECT_THROW(broken.GetThisIShf(), EOleSysError);
}

}  // namespace
