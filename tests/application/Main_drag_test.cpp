// Drag and drop between the main window's local pane and a real connection
// window's remote lists, by real mouse, against a scripted server: files
// onto a folder row and onto the file list, a tree folder onto the file
// list, remote rows onto the local list, the drags that are refused and
// the drops that cannot start.
#include <gtest/gtest.h>

#include <algorithm>

#include "Childtest.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

#include <commctrl.h>

namespace {

const std::vector<String> kRelist = {"PWD", "PASV", "LIST"};

// The connection window with its batch upload recorded in place of run.
class TDragChild : public TFormMdi {
 public:
  using TFormMdi::TFormMdi;
  static TConnectionWindow* Create(TComponent* owner, TConnectionHost* host) { return new TDragChild(owner, host); }
  void BatchUpload(const String& localFolder) override { BatchFolders.push_back(localFolder); }
  static inline std::vector<String> BatchFolders;
};

// The boxes, each with whether a drag was running when it showed.
class TDragBoxes : public TRecordingDialogs {
 public:
  int MessageBox(HWND owner, const String& text, const String& caption, UINT flags) override {
    DuringDrag.push_back(DragActive());
    return TRecordingDialogs::MessageBox(owner, text, caption, flags);
  }
  std::vector<bool> DuringDrag;
};

// Moves the cursor there, also with SetCursorPos: Wine puts an injected
// position back a moment later.
::testing::AssertionResult Warp(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  ::testing::AssertionResult r = MoveTo(screen);
  WaitInputProcessed();
  return r;
}

POINT ScreenOf(HWND wnd, POINT client) {
  MapWindowPoints(wnd, HWND_DESKTOP, &client, 1);
  return client;
}

class MainDrag : public ChildTest {
 protected:
  void SetUp() override {
    ChildTest::SetUp();
    SetConnectionWindowFactory(&TDragChild::Create);
    TDragChild::BatchFolders.clear();
    previousDialogs_ = SetSystemDialogs(&boxes);
    EXPECT_TRUE(Warp(POINT{1270, 1010}));
  }
  void TearDown() override {
    CancelDrag();
    ChildTest::TearDown();
    SetSystemDialogs(previousDialogs_);
  }
  // The main window, its local list showing rows local entries.
  void ShowMain(size_t rows) {
    OpenMain();
    ASSERT_TRUE(WaitUntil([&] { return LocalRowCount() == rows; }, 10000)) << LocalRowCount();
    // Where the drags end: what the local list's own drags were taken by.
    TEndDragEvent listEnd = form->LocList->OnEndDrag;
    form->LocList->OnEndDrag = [this, listEnd](TObject* s, TObject* target, int x, int y) {
      ListEnds.push_back(target);
      if (listEnd) listEnd(s, target, x, y);
    };
    form->LocTree->OnEndDrag = [this](TObject*, TObject* target, int, int) { TreeEnds.push_back(target); };
  }
  size_t LocalRowCount() const { return static_cast<size_t>(form->LocList->Items()->Count()); }
  // A connection window to the scripted server, idle and listed.
  TFormMdi* Connect(const TFtpScript& script) {
    server_ = &StartServer(script);
    ScriptedProfile(server_->Port());
    TFormMdi* child = Open("Scripted");
    if (!child || !WaitIdle(child) || !child->Connected()) {
      if (child) ADD_FAILURE() << child->LogLines->Text();
      return nullptr;
    }
    Mark();
    return child;
  }
  void Mark() { mark_ = server_->Commands().size(); }
  std::vector<String> Sent() const {
    std::vector<String> c = server_->Commands();
    return std::vector<String>(c.begin() + static_cast<ptrdiff_t>(std::min(mark_, c.size())), c.end());
  }
  TListItem* LocalItem(const String& name) const {
    for (int i = 0; i < form->LocList->Items()->Count(); ++i) {
      TListItem* it = form->LocList->Items()->Item(i);
      if (TPTShListData* data = form->LocList->ItemData(it); data && data->GetDisplayName() == name) return it;
    }
    return nullptr;
  }
  // Exactly these local entries selected.
  void SelectLocal(std::initializer_list<const char*> names) {
    for (int i = 0; i < form->LocList->Items()->Count(); ++i) form->LocList->Items()->Item(i)->SetSelected(false);
    for (const char* n : names) {
      TListItem* it = LocalItem(n);
      ASSERT_NE(it, nullptr) << n;
      it->SetSelected(true);
    }
  }
  // The screen point on a row's label.
  static POINT RowPoint(TCustomListView* list, TListItem* item) {
    TRect r = item->DisplayRect(drLabel);
    return ScreenOf(list->Handle(), POINT{r.left + 10, (r.top + r.bottom) / 2});
  }
  static TListItem* Row(TCustomListView* list, const String& caption) {
    for (int i = 0; i < list->Items()->Count(); ++i)
      if (list->Items()->Item(i)->Caption() == caption) return list->Items()->Item(i);
    return nullptr;
  }
  POINT LocalPoint(const String& name) {
    TListItem* it = LocalItem(name);
    EXPECT_NE(it, nullptr) << name;
    return it ? RowPoint(form->LocList, it) : POINT{};
  }
  POINT DirPoint(TFormMdi* child, const String& caption) {
    TListItem* it = Row(child->RemoteDirs, caption);
    EXPECT_NE(it, nullptr) << caption;
    return it ? RowPoint(child->RemoteDirs, it) : POINT{};
  }
  // Pressed at from, moved to to and released there (screen points), the
  // way a person drags, from the window under from.
  ::testing::AssertionResult DragScreen(HWND source, POINT from, POINT to) {
    POINT a = from, b = to;
    MapWindowPoints(HWND_DESKTOP, source, &a, 1);
    MapWindowPoints(HWND_DESKTOP, source, &b, 1);
    // The press lands where it was aimed, and pairs with no earlier one.
    if (auto r = Warp(from); !r) return r;
    PumpFor(GetDoubleClickTime() + 100);
    return Drag(source, a, b, 10);
  }
  // The boxes with this caption.
  std::vector<TRecordingDialogs::Box> BoxesCaptioned(const String& caption) const {
    std::vector<TRecordingDialogs::Box> found;
    for (const auto& b : boxes.Boxes)
      if (b.caption == caption) found.push_back(b);
    return found;
  }

  TDragBoxes boxes;
  std::vector<TObject*> ListEnds, TreeEnds;
  TFtpScriptServer* server_ = nullptr;
  size_t mark_ = 0;

 private:
  TSystemDialogs* previousDialogs_ = nullptr;
};

String Listing() {
  return UnixLine("sub", 512, true) +
         "lrwxrwxrwx    1 ftp      ftp      14 Jan 12  2020 docs -> /usr/share/doc\r\n" + UnixLine("b.txt", 5);
}

}  // namespace

TEST_F(MainDrag, FilesDroppedOnAFolderRowGoIntoIt) {
  for (const char* n : {"a.txt", "b.txt", "c.txt"}) WriteFileBytes(local + "\\" + n, String("data of ") + n);
  ShowMain(3);
  TFtpScript script;
  script.Listing = Listing();
  script.Files["b.txt"] = "bravo";
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  struct Case {
    const char* row;
    const char* cwd;
  } rows[] = {
      {"sub", "CWD sub"},
      // A link row changes as its double click does.
      {"docs -> /usr/share/doc", "CWD /usr/share/doc"},
  };
  bool shot = false;
  for (const Case& r : rows) {
    SCOPED_TRACE(r.row);
    Mark();
    SelectLocal({"a.txt", "b.txt", "c.txt"});
    POINT from = LocalPoint("b.txt"), to = DirPoint(child, r.row);
    TListItem* target = Row(child->RemoteDirs, r.row);
    ASSERT_NE(target, nullptr);
    if (!shot) {
      // Held over the row: it is marked as the drop target.
      shot = true;
      ASSERT_TRUE(BringToFront(form->Handle()));
      ASSERT_TRUE(Warp(from));
      ASSERT_TRUE(MouseDown());
      for (int i = 1; i <= 10; ++i)
        ASSERT_TRUE(Warp(POINT{from.x + (to.x - from.x) * i / 10, from.y + (to.y - from.y) * i / 10}));
      ASSERT_TRUE(WaitUntil([&] { return DragActive() && target->DropTarget(); }, 3000));
      EXPECT_EQ(child->RemoteDirs->GetNextItem(nullptr, sdAll, {isDropHilited}), target);
      PumpFor(200);
      SaveScreenshot(form->Handle(), "over-row");
      // ... in the selection colour, the rows beside it not.
      TDibSurface shot = CaptureClient(child->RemoteDirs->Handle());
      auto highlighted = [&](TListItem* it) {
        TRect label = it->DisplayRect(drLabel);
        RECT rc{label.left, label.top, label.right, label.bottom};
        return CountColor(shot, rc, GetSysColor(COLOR_HIGHLIGHT)) * 2 > (rc.right - rc.left) * (rc.bottom - rc.top);
      };
      EXPECT_TRUE(highlighted(target));
      EXPECT_FALSE(highlighted(Row(child->RemoteDirs, "..")));
      ASSERT_TRUE(MouseUp());
    } else {
      ASSERT_TRUE(DragScreen(form->LocList->Handle(), from, to));
    }
    ASSERT_TRUE(WaitUntil([&] { return server_->Count("STOR") >= 3 * (&r - rows + 1); }, 15000))
        << child->LogLines->Text();
    ASSERT_TRUE(WaitIdle(child));
    // The lists were filled again: no row is marked.
    EXPECT_EQ(child->RemoteDirs->GetNextItem(nullptr, sdAll, {isDropHilited}), nullptr);
    EXPECT_EQ(Sent(), (std::vector<String>{r.cwd, "PWD", "PASV", "LIST", "TYPE I", "PASV", "STOR a.txt", "PASV",
                                           "STOR b.txt", "PASV", "STOR c.txt", "PWD", "PASV", "LIST"}));
    EXPECT_EQ(ListEnds.back(), child->RemoteDirs);
  }
  for (const char* n : {"a.txt", "b.txt", "c.txt"}) EXPECT_EQ(server_->Stored()[n], String("data of ") + n);
  // Nothing waits for the next listing.
  Mark();
  child->RefreshRemote();
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_EQ(Sent(), kRelist);
  EXPECT_TRUE(boxes.Boxes.empty());
}

TEST_F(MainDrag, FilesDroppedOnTheFileListUploadAndFoldersAreToldAfter) {
  WriteFileBytes(local + "\\a.txt", "alpha");
  WriteFileBytes(local + "\\b.txt", "bravo");
  ForceDirectories(local + "\\plain");
  ShowMain(3);
  TFtpScript script;
  script.Listing = Listing();
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  SelectLocal({"a.txt", "b.txt", "plain"});
  ASSERT_TRUE(DragScreen(form->LocList->Handle(), LocalPoint("a.txt"), CentreOf(child->RemoteFiles->Handle())));
  ASSERT_TRUE(WaitUntil([&] { return server_->Count("STOR") == 2; }, 15000)) << child->LogLines->Text();
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_EQ(Sent(), (std::vector<String>{"TYPE I", "PASV", "STOR a.txt", "PASV", "STOR b.txt", "PWD", "PASV", "LIST"}));
  EXPECT_EQ(server_->Stored()["a.txt"], "alpha");
  EXPECT_EQ(server_->Stored()["b.txt"], "bravo");
  ASSERT_TRUE(WaitUntil([&] { return !BoxesCaptioned("Folders Must Use Batch").empty(); }, 3000));
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].text, "The item plain is a folder, please use a batch operation to upload folders.");
  // Told once the mouse was let go, not while it was captured.
  EXPECT_EQ(boxes.DuringDrag, std::vector<bool>{false});

  // A queue left behind (an upload that could not start) never goes with
  // a drop that brings no file.
  Mark();
  child->UploadList->Add(local + "\\a.txt");
  SelectLocal({"plain"});
  ASSERT_TRUE(DragScreen(form->LocList->Handle(), LocalPoint("plain"), CentreOf(child->RemoteFiles->Handle())));
  ASSERT_TRUE(WaitUntil([&] { return boxes.Boxes.size() == 2; }, 3000));
  PumpFor(500);
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(child->UploadList->Count(), 0);
  EXPECT_FALSE(child->Busy());
}

TEST_F(MainDrag, ATreeFolderDroppedOnTheFileListIsBatchUploaded) {
  ForceDirectories(local + "\\tree-a");
  ForceDirectories(local + "\\tree-b");
  ShowMain(2);
  // Wide enough for the deep local folder's nodes.
  form->PTree->SetWidth(560);
  TFtpScript script;
  script.Listing = Listing();
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  TTreeNode* selected = form->LocTree->Selected();
  ASSERT_NE(selected, nullptr);
  selected->Expand(false);
  auto nodeOf = [&](const String& path) -> TTreeNode* {
    for (int i = 0; i < form->LocTree->Items()->Count(); ++i) {
      TTreeNode* n = form->LocTree->Items()->Item(i);
      TPTShTreeData* data = form->LocTree->NodeData(n);
      if (data && SameText(data->GetPathName(), path)) return n;
    }
    return nullptr;
  };
  TTreeNode* dragged = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return nodeOf(local + "\\tree-b") != nullptr; }, 5000));
  // The refreshes the new folders bring are over.
  PumpFor(2500);
  dragged = nodeOf(local + "\\tree-b");
  ASSERT_NE(dragged, nullptr);
  // A top-level folder outside the file system (the drives).
  TTreeNode* virtualFolder = nullptr;
  for (TTreeNode* n = form->LocTree->Items()->GetFirstNode()->GetFirstChild(); n && !virtualFolder;
       n = n->GetNextSibling())
    if (TPTShTreeData* data = form->LocTree->NodeData(n); data && data->GetPathName().empty()) virtualFolder = n;
  ASSERT_NE(virtualFolder, nullptr);
  auto nodePoint = [&](TTreeNode* n) {
    n->MakeVisible();
    PumpFor(100);
    TRect r = n->DisplayRect(true);
    // A label the tree scrolled partly out of sight is pressed on its
    // visible part.
    return ScreenOf(form->LocTree->Handle(), POINT{std::max<int>(r.left, 0) + 8, (r.top + r.bottom) / 2});
  };
  struct Case {
    TTreeNode* node;
    std::vector<String> batches;
  } cases[] = {
      // The folder dragged, not the one selected.
      {dragged, {local + "\\tree-b"}},
      {virtualFolder, {local + "\\tree-b"}},
  };
  TTreeNode* started = nullptr;
  form->LocTree->OnStartDrag = [&](TObject*, TDragObject*&) { started = form->LocTree->DraggedNode(); };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.node->Text());
    TreeEnds.clear();
    started = nullptr;
    ASSERT_TRUE(DragScreen(form->LocTree->Handle(), nodePoint(c.node), CentreOf(child->RemoteFiles->Handle())));
    ASSERT_TRUE(WaitUntil([&] { return !TreeEnds.empty(); }, 3000));
    EXPECT_EQ(started, c.node);
    EXPECT_EQ(form->LocTree->DraggedNode(), c.node);
    EXPECT_EQ(TreeEnds, std::vector<TObject*>{c.node == dragged ? child->RemoteFiles : nullptr});
    EXPECT_EQ(TDragChild::BatchFolders, c.batches);
  }
  EXPECT_EQ(form->LocTree->Selected(), selected);
  PumpFor(300);
  EXPECT_EQ(server_->Count("STOR"), 0);
  EXPECT_TRUE(boxes.Boxes.empty());
}

// Off for now: under Wine a press on a row of the connection window's lists
// reaches the list, but no mouse message after it does, so the drag never
// starts (the folder list's sometimes does). Drags from the local pane
// start and drop as they should.
TEST_F(MainDrag, DISABLED_RemoteRowsDroppedOnTheLocalList) {
  ShowMain(0);
  TFtpScript script;
  script.Listing = Listing();
  script.Files["b.txt"] = "bravo";
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  HWND localList = form->LocList->Handle();
  // A file downloads into the local folder.
  TListItem* file = Row(child->RemoteFiles, "b.txt");
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(DragScreen(child->RemoteFiles->Handle(), RowPoint(child->RemoteFiles, file), CentreOf(localList)));
  ASSERT_TRUE(WaitUntil([&] { return FileExists(local + "\\b.txt") && ReadFileBytes(local + "\\b.txt") == "bravo"; },
                        15000))
      << child->LogLines->Text();
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_EQ(server_->Count("RETR"), 1);
  EXPECT_TRUE(boxes.Boxes.empty());
  // A folder is for the batch download.
  Mark();
  ASSERT_TRUE(DragScreen(child->RemoteDirs->Handle(), DirPoint(child, "sub"), CentreOf(localList)));
  ASSERT_TRUE(WaitUntil([&] { return !boxes.Boxes.empty(); }, 3000));
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].caption, "Batch Operation?");
  EXPECT_EQ(boxes.Boxes[0].text,
            "To download the entire contents of a remote directory, please\nchange to that directory and use the Batch "
            "Download operation.");
  PumpFor(300);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(MainDrag, DragsTheLocalListRefuses) {
  WriteFileBytes(local + "\\a.txt", "alpha");
  WriteFileBytes(local + "\\b.txt", "bravo");
  ShowMain(2);
  auto dragWithin = [&] {
    SelectLocal({"a.txt"});
    TRect r = LocalItem("b.txt")->DisplayRect(drBounds);
    return DragScreen(form->LocList->Handle(), LocalPoint("a.txt"),
                      ScreenOf(form->LocList->Handle(), POINT{r.left + 40, r.bottom + 60}));
  };
  // With no connection window, nothing is dragged out and nothing drops.
  ASSERT_TRUE(dragWithin());
  ASSERT_TRUE(WaitUntil([&] { return ListEnds.size() == 1; }, 3000));
  EXPECT_EQ(ListEnds[0], nullptr);
  EXPECT_EQ(form->DragList->Count(), 0);
  // With one, the local list still takes nothing of its own.
  TFtpScript script;
  script.Listing = Listing();
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  ASSERT_TRUE(dragWithin());
  ASSERT_TRUE(WaitUntil([&] { return ListEnds.size() == 2; }, 3000));
  EXPECT_EQ(ListEnds[1], nullptr);
  EXPECT_EQ(form->DragList->Count(), 1);
  PumpFor(300);
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(boxes.Boxes.empty());
}

TEST_F(MainDrag, DropsThatCannotStartUploadNothingThenOrLater) {
  WriteFileBytes(local + "\\a.txt", "alpha");
  ShowMain(1);
  TFtpScript script;
  script.Listing = Listing() + UnixLine("slow.bin", 600000);
  script.Files["slow.bin"] = String(600000, 's');
  script.PaceBytes = 2000;
  script.PaceMs = 20;
  script.Replies["CWD"] = {"550 No such directory\r\n"};
  TFormMdi* child = Connect(script);
  ASSERT_NE(child, nullptr);
  // While a download runs: the busy question, answered No, for each drop.
  SelectFiles(child, {"slow.bin"});
  ASSERT_TRUE(WaitUntil([&] { return form->ActionDownloadFile->Enabled(); }));
  form->ActionDownloadFile->Execute();
  ASSERT_TRUE(WaitUntil([&] { return child->Busy() && child->Transferring; }, 5000));
  SelectLocal({"a.txt"});
  ASSERT_TRUE(DragScreen(form->LocList->Handle(), LocalPoint("a.txt"), DirPoint(child, "sub")));
  ASSERT_TRUE(DragScreen(form->LocList->Handle(), LocalPoint("a.txt"), CentreOf(child->RemoteFiles->Handle())));
  EXPECT_EQ(BoxesCaptioned("Nembra Busy...").size(), 2u);
  ASSERT_TRUE(child->Busy()) << "the download ended before the drops";
  ASSERT_TRUE(WaitIdle(child, 30000));
  ASSERT_EQ(FileSizeOf(local + "\\slow.bin"), 600000);
  // The folder's CWD refused.
  ASSERT_TRUE(DragScreen(form->LocList->Handle(), LocalPoint("a.txt"), DirPoint(child, "sub")));
  ASSERT_TRUE(WaitUntil([&] { return server_->Count("CWD") == 1; }, 5000));
  ASSERT_TRUE(WaitIdle(child));
  EXPECT_FALSE(child->UploadAfterListing);
  // Later listings upload nothing.
  child->RefreshRemote();
  ASSERT_TRUE(WaitIdle(child));
  child->ChangeDir("sub");
  ASSERT_TRUE(WaitIdle(child));
  PumpFor(300);
  EXPECT_EQ(server_->Count("STOR"), 0);
  EXPECT_EQ(server_->Count("CWD"), 2);
}
