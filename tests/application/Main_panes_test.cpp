// The main window's panes with real connection windows against scripted
// servers: new local items sorted in, stored sizes the window cannot show,
// the actions after a selection made with the keys, and the status bar's
// connection panels.
#include <gtest/gtest.h>

#include <algorithm>

#include "Childtest.h"
#include "application/connections/Stos.h"
#include "application/frame/Regdataunit.h"
#include "support/Input.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

#include <commctrl.h>

namespace {

class MainPanes : public ChildTest {
 protected:
  // The local list's names in row order.
  std::vector<String> LocalRows() const {
    std::vector<String> rows;
    for (int i = 0; i < form->LocList->Items()->Count(); ++i)
      if (TPTShListData* data = form->LocList->ItemData(form->LocList->Items()->Item(i)))
        rows.push_back(data->GetDisplayName());
    return rows;
  }
  // A connection window to a scripted server that is idle and listed.
  TFormMdi* Connected(const String& profile, const TFtpScript& script) {
    TFtpScriptServer& server = StartServer(script);
    WriteProfile(profile, {{"HostName", "127.0.0.1"}, {"UserName", "nembraftp"}, {"PassWord", "secret"},
                           {"Port", IntToStr(server.Port())}, {"Passive", "1"}, {"ServerType", "0"}});
    TFormMdi* child = Open(profile);
    if (!child) return nullptr;
    if (!WaitIdle(child) || !child->Connected()) {
      ADD_FAILURE() << child->LogLines->Text();
      return nullptr;
    }
    return child;
  }
  String Panel(int i) const { return form->Stat1->Panels()->Items(i)->Text(); }
};

}  // namespace

TEST_F(MainPanes, ADownloadAndANewFolderAreSortedIn) {
  WriteFileBytes(local + "\\a.txt", "a");
  WriteFileBytes(local + "\\c.txt", "c");
  ForceDirectories(local + "\\m-folder");
  TFtpScript script;
  script.Listing = UnixLine("b.txt", 5);
  script.Files["b.txt"] = "bravo";
  OpenMain();
  ASSERT_TRUE(WaitUntil([&] { return LocalRows().size() == 3; }, 10000));
  EXPECT_EQ(LocalRows(), (std::vector<String>{"m-folder", "a.txt", "c.txt"}));
  TFormMdi* child = Connected("Sorted", script);
  ASSERT_NE(child, nullptr);
  SelectFiles(child, {"b.txt"});
  ASSERT_TRUE(WaitUntil([&] { return form->ActionDownloadFile->Enabled(); }));
  form->ActionDownloadFile->Execute();
  ASSERT_TRUE(WaitIdle(child));
  ASSERT_EQ(ReadFileBytes(local + "\\b.txt"), "bravo");
  ASSERT_TRUE(WaitUntil([&] { return LocalRows().size() == 4; }, 10000));
  EXPECT_EQ(LocalRows(), (std::vector<String>{"m-folder", "a.txt", "b.txt", "c.txt"}));
  // A folder made behind the list's back shows among the folders.
  ForceDirectories(local + "\\b-folder");
  ASSERT_TRUE(WaitUntil([&] { return LocalRows().size() == 5; }, 10000));
  EXPECT_EQ(LocalRows(), (std::vector<String>{"b-folder", "m-folder", "a.txt", "b.txt", "c.txt"}));
  PumpFor(200);
  SaveScreenshot(form->Handle());
}

TEST_F(MainPanes, StoredSizesTheWindowCannotShowTakeTheDefaults) {
  for (const char* name : {"LocalDirSize", "LocalListSize", "RemoteDirSize", "Column1Size", "Column2Size",
                           "Column3Size", "Column4Size"})
    TReg::WriteInteger(SettingsSection, name, 2147483647);
  WriteFileBytes(local + "\\a.txt", "a");
  OpenMain();
  TFtpScript script;
  script.Listing = UnixLine("b.txt", 5) + UnixLine("sub", 0, true);
  TFormMdi* child = Connected("Sizes", script);
  ASSERT_NE(child, nullptr);
  PumpFor(300);
  SaveScreenshot(form->Handle(), "opened");
  EXPECT_EQ(form->PTree->Width(), 160);
  EXPECT_EQ(form->PMain->Height(), 120);
  EXPECT_EQ(child->PRemTree->Width(), 160);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(child->RemoteFiles->Columns()->Items(i)->Width(), i == 0 ? 180 : 80) << i;
  // Every pane on the screen, wider than its splitter's minimum.
  EXPECT_GE(form->PList->Width(), form->SplitE->MinSize());
  EXPECT_GE(child->PRemList->Width(), child->SplitRem->MinSize());
  RECT work{};
  GetClientRect(form->ClientHandle(), &work);
  EXPECT_GE(work.bottom, form->SplitMain->MinSize());
  for (TWinControl* c : std::initializer_list<TWinControl*>{form->LocTree, form->LocList, child->RemoteDirs,
                                                            child->RemoteFiles})
    EXPECT_TRUE(IsWindowVisible(c->Handle())) << c->Name();

  // The splitter between the tree and the list drags like any other.
  RECT split = form->SplitE->BoundsRect();
  POINT from{split.left + 1, split.top + 40};
  ASSERT_TRUE(Drag(form->PMain->Handle(), from, POINT{from.x + 500, from.y}));
  EXPECT_TRUE(WaitUntil([&] { return form->PTree->Width() == 660; }, 3000)) << form->PTree->Width();
  PumpFor(200);
  SaveScreenshot(form->Handle(), "dragged");
  // A window too narrow for the dragged size shows the default; widened
  // again, the dragged size comes back.
  form->SetWidth(620);
  EXPECT_EQ(form->PTree->Width(), 160) << form->PMain->Width();
  EXPECT_GE(form->PList->Width(), form->SplitE->MinSize());
  form->SetWidth(1000);
  EXPECT_EQ(form->PTree->Width(), 660);

  // The server-to-server window likewise.
  TReg::WriteInteger(SettingsSection, "StoSSize", 2147483647);
  TOwned<TFormStoS> stos(new TFormStoS(Application, profiles));
  stos->Show();
  ASSERT_TRUE(WaitVisible(stos->Handle()));
  EXPECT_EQ(stos->Panel2->Width(), 331);
  EXPECT_GE(stos->Panel3->Width(), stos->Splitter1->MinSize());
  PumpFor(200);
  SaveScreenshot(stos->Handle(), "stos");
}

TEST(FitPaneSize, ValuesOutsideTheRoomTakeTheDefault) {
  struct Row {
    const char* name;
    int value, room, fitted;
  } rows[] = {{"LocalDirSize", 250, 600, 250},        {"LocalDirSize", 600, 600, 600},
              {"LocalDirSize", 601, 600, 160},        {"LocalDirSize", 2147483647, 600, 160},
              {"LocalDirSize", 0, 600, 160},          {"LocalDirSize", -5, 600, 160},
              {"LocalDirSize", 2147483647, 100, 100}, {"LocalDirSize", 50, 0, 1},
              {"StoSSize", 5000, 700, 331},           {"Column1Size", -1, 900, 180}};
  for (const Row& r : rows)
    EXPECT_EQ(TReg::FitPaneSize(r.name, r.value, r.room), r.fitted) << r.name << " " << r.value << " in " << r.room;
}

TEST_F(MainPanes, AFileSelectedByTypingEnablesTheUpload) {
  for (const char* f : {"alpha.txt", "beta.txt", "gamma.txt"}) WriteFileBytes(local + "\\" + f, f);
  OpenMain();
  TFtpScript script;
  TFormMdi* child = Connected("Keys", script);
  ASSERT_NE(child, nullptr);
  TPTShellList* list = form->LocList;
  ASSERT_TRUE(WaitUntil([&] { return LocalRows().size() == 3; }, 10000));
  list->ClearSelection();
  form->UpdateActionStates();
  ASSERT_FALSE(form->ActionUploadFile->Enabled());
  // The list takes the focus without a click on a row.
  list->SetFocus();
  ASSERT_TRUE(WaitUntil([&] { return GetFocus() == list->Handle(); }));
  ASSERT_TRUE(TypeText("ga"));
  ASSERT_TRUE(WaitUntil([&] { return list->SelCount() == 1; }));
  EXPECT_EQ(list->GetSelectedItem()->GetDisplayName(), "gamma.txt");
  EXPECT_TRUE(WaitUntil([&] { return form->ActionUploadFile->Enabled(); }));
  EXPECT_TRUE(form->ActionResumeUp->Enabled());
  // Shift+Up takes a second file in: Resume Upload (one file) greys.
  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_UP}));
  EXPECT_TRUE(WaitUntil([&] { return list->SelCount() == 2 && !form->ActionResumeUp->Enabled(); }));
  EXPECT_TRUE(form->ActionUploadFile->Enabled());
  PumpFor(200);
  SaveScreenshot(form->Handle());
}

TEST_F(MainPanes, TheStatusBarShowsOnlyTheActiveWindowsText) {
  OpenMain();
  TFtpScript home, other;
  other.Replies["PWD"] = {"257 \"/other\" is the current directory\r\n"};
  TFormMdi* a = Connected("Home", home);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(Panel(2), "Directory: /home");
  TFormMdi* b = Connected("Other", other);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Panel(2), "Directory: /other");
  // The first tab, clicked: its window's own text.
  RECT tab{};
  SendMessageA(form->TabCon->Handle(), TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tab));
  ASSERT_TRUE(Click(form->TabCon->Handle(), POINT{(tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2}));
  ASSERT_TRUE(WaitUntil([&] { return form->ActiveMDIChild() == a; }));
  EXPECT_EQ(Panel(2), "Directory: /home");
  PumpFor(200);
  SaveScreenshot(form->Handle(), "first");
  // The last window closed: no connection text is left.
  form->CloseAllChildren();
  ASSERT_TRUE(WaitUntil([&] { return form->MDIChildCount() == 0; }));
  EXPECT_EQ(Panel(1), "");
  EXPECT_EQ(Panel(2), "");
  EXPECT_EQ(Panel(0), " Quellmark \xAE");
  PumpFor(200);
  SaveScreenshot(form->Handle(), "closed");
}
