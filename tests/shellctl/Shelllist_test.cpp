// The shell list over folders of T:: filling, texts and icons through the
// text callback, the filter, columns, sorting, refresh, device changes and
// the data object and drop target.
#include "Shellcontrolstest.h"
#include "support/Input.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

// a.txt, b.log, c.bin, a hidden h.txt and a folder "sub" in a new folder.
String MakeListFolder(const String& name) {
  String dir = MakeShellTestFolder(name);
  MakeFile(dir + "\\a.txt", "alpha");
  MakeFile(dir + "\\b.log", "bravo bravo");
  MakeFile(dir + "\\c.bin", String(3000, 'c'));
  MakeFile(dir + "\\h.txt", "hidden", true);
  ForceDirectories(dir + "\\sub");
  return dir;
}

struct ShellListTest : ::testing::Test {
  void Make(bool dynamicRefresh = false) {
    form.reset(new TShellForm(TShellForm::kList, "Shell list", dynamicRefresh));
    list = form->List;
  }
  // Shows the form and the folder at path, filled.
  void ShowFolder(const String& path) {
    if (!form) Make();
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
    list->Folder()->SetPathName(path);
    ASSERT_EQ(list->Folder()->GetPathName(), path);
  }
  void TearDown() override { form.reset(); }
  TOwned<TShellForm> form;
  TPTShellList* list = nullptr;
};

}  // namespace

TEST_F(ShellListTest, FillWithAndWithoutHidden) {
  String dir = MakeListFolder("fill");
  ShowFolder(dir);
  SaveScreenshot(form->Handle());
  EXPECT_EQ(CaptionSet(list), (std::set<String>{"a.txt", "b.log", "c.bin", "h.txt", "sub"}));
  int hidden = IndexOfCaption(list, "h.txt");
  ASSERT_GE(hidden, 0);
  EXPECT_EQ(ItemState(list, hidden, LVIS_CUT), static_cast<UINT>(LVIS_CUT));
  EXPECT_EQ(ItemState(list, IndexOfCaption(list, "a.txt"), LVIS_CUT), 0u);

  list->SetOptions(list->Options() - ptsloShowHidden);
  EXPECT_EQ(CaptionSet(list), (std::set<String>{"a.txt", "b.log", "c.bin", "sub"}));
  list->SetOptions(list->Options() + ptsloShowHidden);
  EXPECT_EQ(CaptionSet(list), (std::set<String>{"a.txt", "b.log", "c.bin", "h.txt", "sub"}));
}
