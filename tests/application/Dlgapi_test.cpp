// The save dialog module: what it hands the platform's save dialog, what a
// cancel or a failure leaves, and the real dialog driven as a person would.
#include <gtest/gtest.h>

#include "application/frame/Dlgapi.h"
#include "support/Modal.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// Keeps the record exactly as the module filled it (null pointers too) and
// answers with one name, or cancels.
class TRawSaveDialog : public TSystemDialogs {
 public:
  bool GetSaveFileName(OPENFILENAMEA& ofn) override {
    Seen = ofn;
    FileBuffer = ofn.lpstrFile ? String(ofn.lpstrFile) : String("(null)");
    if (Answer.empty()) return false;
    lstrcpynA(ofn.lpstrFile, Answer.c_str(), static_cast<int>(ofn.nMaxFile));
    return true;
  }
  OPENFILENAMEA Seen{};
  String FileBuffer;
  String Answer;
};

class TScopedRaw {
 public:
  TScopedRaw() : previous_(SetSystemDialogs(&Dialog)) {}
  ~TScopedRaw() { SetSystemDialogs(previous_); }
  TRawSaveDialog Dialog;

 private:
  TSystemDialogs* previous_;
};

TOwned<TForm> OwnerForm() {
  TOwned<TForm> f(new TForm(Application));
  f->SetCaption("Owner");
  f->SetBounds(120, 120, 400, 300);
  f->EndLoading();
  f->Show();
  return f;
}

const char kLogFilter[] = "Log Files (*.log)\0*.log\0";

}  // namespace

TEST(SaveDialog, HandsItsMembersToTheDialog) {
  TOwned<TForm> owner = OwnerForm();
  TScopedRaw raw;
  raw.Dialog.Answer = "C:\\logs\\today.log";
  TOwned<TDlgs> dlgs(new TDlgs(nullptr));
  EXPECT_EQ(dlgs->OwnerHandle, nullptr);  // no main form here
  dlgs->OwnerHandle = owner->Handle();
  dlgs->Filter = kLogFilter;
  dlgs->InitialDir = "C:\\users\\Public";
  dlgs->FileName = "C:\\earlier.log";  // never shown as a preset

  ASSERT_TRUE(dlgs->ExecuteSaveDialog());
  EXPECT_EQ(dlgs->FileName, "C:\\logs\\today.log");

  const OPENFILENAMEA& o = raw.Dialog.Seen;
  EXPECT_EQ(o.lStructSize, sizeof(OPENFILENAMEA));  // the platform's own size, not 76
  EXPECT_EQ(o.Flags, DWORD(0x80006));
  EXPECT_EQ(o.nMaxFile, 260u);
  EXPECT_EQ(raw.Dialog.FileBuffer, "");
  EXPECT_EQ(o.hwndOwner, owner->Handle());
  EXPECT_EQ(o.lpstrFilter, kLogFilter);  // the caller's text itself
  EXPECT_EQ(o.nFilterIndex, 0u);
  EXPECT_STREQ(o.lpstrInitialDir, "C:\\users\\Public");
  // Empty members go as empty texts, not as null pointers.
  ASSERT_NE(o.lpstrTitle, nullptr);
  EXPECT_STREQ(o.lpstrTitle, "");
  ASSERT_NE(o.lpstrDefExt, nullptr);
  EXPECT_STREQ(o.lpstrDefExt, "");
}

TEST(SaveDialog, CancelOrFailureKeepsTheLastName) {
  TScopedDialogs d;
  TDlgs dlgs(nullptr);
  dlgs.Filter = kLogFilter;
  dlgs.FileName = "C:\\kept.log";
  struct {
    const char* what;
    String answer;  // "" cancels
    bool result;
    String fileName;
  } rows[] = {
      {"cancelled", "", false, "C:\\kept.log"},
      {"longer than the dialog's 260 characters", "C:\\" + String(300, 'a') + ".log", false, "C:\\kept.log"},
      {"chosen", "C:\\new.log", true, "C:\\new.log"},
      {"cancelled after a choice", "", false, "C:\\new.log"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    d.Dialogs.SaveNames = {r.answer};
    EXPECT_EQ(dlgs.ExecuteSaveDialog(), r.result);
    EXPECT_EQ(dlgs.FileName, r.fileName);
  }
  ASSERT_EQ(d.Dialogs.SaveDialogs.size(), 4u);
  EXPECT_EQ(d.Dialogs.SaveDialogs[0].Filter, "Log Files (*.log)|*.log");
}

TEST(SaveDialog, RealDialogSavesOrCancels) {
  TSystemDialogs* previous = SetSystemDialogs(nullptr);
  struct TRestore {
    TSystemDialogs* p;
    ~TRestore() { SetSystemDialogs(p); }
  } restore{previous};
  TOwned<TForm> owner = OwnerForm();
  String folder = MakeTempFolder("dlgs-real");
  TDlgs dlgs(nullptr);
  dlgs.OwnerHandle = owner->Handle();
  dlgs.Filter = kLogFilter;
  dlgs.InitialDir = folder;
  String path = folder + "\\session.log";
  {
    TModalDriver modal(15000);
    String opened;
    HWND dialogOwner = nullptr;
    modal.Window("", "#32770")
        .Do("read where it opened",
            [&](HWND dlg) {
              char buf[MAX_PATH] = "";
              SendMessageA(dlg, CDM_GETFOLDERPATH, sizeof buf, reinterpret_cast<LPARAM>(buf));
              opened = buf;
              dialogOwner = GetWindow(dlg, GW_OWNER);
              return !opened.empty();
            })
        .SetEditAfter("File &name:", path)
        .Press("&Save");
    EXPECT_TRUE(dlgs.ExecuteSaveDialog());
    EXPECT_TRUE(modal.Finish());
    EXPECT_TRUE(SameText(opened, folder)) << opened;
    EXPECT_EQ(dialogOwner, owner->Handle());
  }
  EXPECT_EQ(dlgs.FileName, path);
  {
    TModalDriver modal(15000);
    modal.Window("", "#32770").SetEditAfter("File &name:", folder + "\\other.log").Press("Cancel");
    EXPECT_FALSE(dlgs.ExecuteSaveDialog());
    EXPECT_TRUE(modal.Finish());
  }
  EXPECT_EQ(dlgs.FileName, path);
}
