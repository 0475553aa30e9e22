#include <gtest/gtest.h>

#include "classlib/Dialogs.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

using TRealDialogs = TScopedRealDialogs;

TOwned<TForm> ActiveForm(const String& caption) {
  TOwned<TForm> f(new TForm(Application));
  f->SetCaption(caption);
  f->SetBounds(100, 100, 300, 200);
  f->EndLoading();
  f->Show();
  EXPECT_TRUE(WaitUntil([&] { return Screen->ActiveForm() == f.get(); }));
  return f;
}

}  // namespace

// ---------------------------------------------------------------- open and save

TEST(FileDialogs, FilterTakesTheNulSeparatedForm) {
  EXPECT_EQ(DialogFilter("Text Files (*.txt)|*.txt|All (*.*)|*.*"),
            String("Text Files (*.txt)\0*.txt\0All (*.*)\0*.*\0\0", 40));
  EXPECT_EQ(DialogFilter("Log Files (*.log)|*.log"), String("Log Files (*.log)\0*.log\0\0", 25));
  EXPECT_EQ(DialogFilter(""), "");
}

TEST(FileDialogs, SaveDialogGoesThroughTheSeam) {
  TScopedDialogs d;
  String folder = MakeTempFolder("save-seam");
  d.Dialogs.SaveNames = {folder + "\\report.txt"};
  TOwned<TForm> owner = ActiveForm("Dialog owner");
  TSaveDialog dlg(nullptr);
  dlg.SetFilter("Text Files (*.txt)|*.txt|All (*.*)|*.*");
  dlg.SetFilterIndex(2);
  dlg.SetDefaultExt("txt");
  dlg.SetInitialDir(folder);
  dlg.SetTitle("Save Report");
  dlg.SetFileName("draft.txt");
  dlg.SetOptions(dlg.Options() + ofOverwritePrompt);
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.FileName(), folder + "\\report.txt");
  ASSERT_EQ(dlg.Files()->Count(), 1);
  EXPECT_EQ(dlg.Files()->Strings(0), dlg.FileName());

  ASSERT_EQ(d.Dialogs.SaveDialogs.size(), 1u);
  const auto& s = d.Dialogs.SaveDialogs[0];
  EXPECT_EQ(s.StructSize, sizeof(OPENFILENAMEA));
  EXPECT_EQ(s.Owner, owner->Handle());
  EXPECT_EQ(s.Filter, "Text Files (*.txt)|*.txt|All (*.*)|*.*");
  EXPECT_EQ(s.FilterIndex, 2u);
  EXPECT_EQ(s.DefaultExt, "txt");
  EXPECT_EQ(s.InitialDir, folder);
  EXPECT_EQ(s.Title, "Save Report");
  EXPECT_EQ(s.FileName, "draft.txt");
  EXPECT_EQ(s.Flags, DWORD(OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLESIZING));

  // Cancelled: false, and the name stays.
  EXPECT_FALSE(dlg.Execute());
  EXPECT_EQ(dlg.FileName(), folder + "\\report.txt");
  EXPECT_TRUE(d.Dialogs.OpenDialogs.empty());
}

TEST(FileDialogs, OpenDialogSplitsAMultipleSelection) {
  // The platform's answers: several names (the folder, then each name, the
  // name's offset past the folder), or one full path, after which the
  // buffer may still hold the end of a longer preset.
  class TAnswer : public TRecordingDialogs {
   public:
    String Bytes;
    WORD Offset = 0;
    bool GetOpenFileName(OPENFILENAMEA& ofn) override {
      TRecordingDialogs::GetOpenFileName(ofn);
      memcpy(ofn.lpstrFile, Bytes.data(), Bytes.size());
      ofn.nFileOffset = Offset;
      ofn.Flags |= OFN_READONLY;
      ofn.nFilterIndex = 1;
      return true;
    }
  };
  struct {
    String bytes;
    WORD offset;
    const char* files;
  } cases[] = {
      {String("C:\\data\0one.txt\0two.bin\0\0", 25), 8, "C:\\data\\one.txt,C:\\data\\two.bin"},
      {String("C:\\a.txt\0", 9), 3, "C:\\a.txt"},
  };
  for (const auto& c : cases) {
    TAnswer answer;
    answer.Bytes = c.bytes;
    answer.Offset = c.offset;
    TSystemDialogs* previous = SetSystemDialogs(&answer);
    TOpenDialog dlg(nullptr);
    dlg.SetOptions({ofAllowMultiSelect, ofFileMustExist});
    dlg.SetFilterIndex(3);
    dlg.SetFileName("C:\\a much longer preset\\name.txt");
    bool ok = dlg.Execute();
    SetSystemDialogs(previous);
    ASSERT_TRUE(ok) << c.files;
    ASSERT_EQ(answer.OpenDialogs.size(), 1u);
    EXPECT_EQ(answer.OpenDialogs[0].Flags, DWORD(OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST));
    EXPECT_EQ(answer.OpenDialogs[0].Filter, "");
    EXPECT_EQ(dlg.Files()->CommaText(), c.files);
    EXPECT_EQ(dlg.FileName(), dlg.Files()->Strings(0));
    EXPECT_EQ(dlg.FilterIndex(), 1);
    EXPECT_TRUE(dlg.Options().Contains(ofReadOnly));
  }
}

TEST(FileDialogs, RealSaveDialogTakesATypedNameOrIsCancelled) {
  TRealDialogs real;
  String folder = MakeTempFolder("save-real");
  TSaveDialog dlg(nullptr);
  dlg.SetTitle("Save Report");
  dlg.SetFilter("Text Files (*.txt)|*.txt|All (*.*)|*.*");
  dlg.SetDefaultExt("txt");
  dlg.SetInitialDir(folder);
  dlg.SetOptions(dlg.Options() + TOpenOptions{ofPathMustExist, ofNoChangeDir});
  {
    // A name without an extension gets the default one.
    TModalDriver modal(15000);
    modal.Window("Save Report", "#32770").SetEditAfter("File &name:", folder + "\\chosen").Press("&Save");
    EXPECT_TRUE(dlg.Execute());
    EXPECT_TRUE(modal.Finish());
  }
  EXPECT_EQ(dlg.FileName(), folder + "\\chosen.txt");
  {
    TModalDriver modal(15000);
    modal.Window("Save Report", "#32770").Press("Cancel");
    EXPECT_FALSE(dlg.Execute());
    EXPECT_TRUE(modal.Finish());
  }
  EXPECT_EQ(dlg.FileName(), folder + "\\chosen.txt");
}

// ---------------------------------------------------------------- colour and font

TEST(ColorDialog, ColourAndCustomColoursThroughTheSeam) {
  TScopedDialogs d;
  d.Dialogs.ColorResults = {RGB(0, 128, 0)};
  TColorDialog dlg(nullptr);
  dlg.SetColor(clRed);
  dlg.CustomColors()->Add("ColorA=FF0000");  // blue, as a TColor
  dlg.CustomColors()->Add("ColorC=00FFFF");
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.Color(), static_cast<TColor>(RGB(0, 128, 0)));
  ASSERT_EQ(d.Dialogs.ColorDialogs.size(), 1u);
  const auto& c = d.Dialogs.ColorDialogs[0];
  EXPECT_EQ(c.Color, RGB(255, 0, 0));
  EXPECT_TRUE(c.Flags & CC_RGBINIT);
  ASSERT_EQ(c.Custom.size(), 16u);
  EXPECT_EQ(c.Custom[0], RGB(0, 0, 255));
  EXPECT_EQ(c.Custom[1], RGB(255, 255, 255));  // not given: white
  EXPECT_EQ(c.Custom[2], RGB(255, 255, 0));
  EXPECT_EQ(dlg.CustomColors()->Count(), 16);
  EXPECT_EQ(dlg.CustomColors()->Values("ColorA"), "FF0000");
  EXPECT_EQ(dlg.CustomColors()->Values("ColorP"), "FFFFFF");

  EXPECT_FALSE(dlg.Execute());  // cancelled: the colour stays
  EXPECT_EQ(dlg.Color(), static_cast<TColor>(RGB(0, 128, 0)));
}

TEST(FontDialog, FontThroughTheSeam) {
  TScopedDialogs d;
  d.Dialogs.FontResults = {{"Courier New", -13, FW_BOLD, true, RGB(0, 0, 128)}};
  TFontDialog dlg(nullptr);
  dlg.Font()->SetName("Tahoma");
  dlg.Font()->SetHeight(-11);
  dlg.Font()->SetColor(clMaroon);
  ASSERT_TRUE(dlg.Execute());
  ASSERT_EQ(d.Dialogs.FontDialogs.size(), 1u);
  const auto& f = d.Dialogs.FontDialogs[0];
  EXPECT_STREQ(f.Font.lfFaceName, "Tahoma");
  EXPECT_EQ(f.Font.lfHeight, -11);
  EXPECT_EQ(f.Color, RGB(128, 0, 0));
  EXPECT_TRUE(f.Flags & CF_INITTOLOGFONTSTRUCT);
  EXPECT_EQ(dlg.Font()->Name(), "Courier New");
  EXPECT_EQ(dlg.Font()->Height(), -13);
  EXPECT_EQ(dlg.Font()->Style(), (TFontStyles{fsBold, fsItalic}));
  EXPECT_EQ(dlg.Font()->Color(), static_cast<TColor>(RGB(0, 0, 128)));
}

// ---------------------------------------------------------------- input box

TEST(InputBox, AnsweredThroughTheSeam) {
  TScopedDialogs d;
  d.Dialogs.InputAnswers = {{true, "pub"}, {true, ""}};
  EXPECT_EQ(InputBox("Change Directory", "Directory to change to:", "/home/ada"), "pub");
  EXPECT_EQ(InputBox("Create Directory", "Directory to create:", "x"), "");  // OK with nothing typed
  EXPECT_EQ(InputBox("Change Directory", "Directory to change to:", "/home/ada"), "/home/ada");  // cancelled
  String value = "kept";
  EXPECT_FALSE(InputQuery("Send Quote Command", "Type in a command to send to the server:", value));
  EXPECT_EQ(value, "kept");
  ASSERT_EQ(d.Dialogs.InputQueries.size(), 4u);
  EXPECT_EQ(d.Dialogs.InputQueries[0].Caption, "Change Directory");
  EXPECT_EQ(d.Dialogs.InputQueries[0].Prompt, "Directory to change to:");
  EXPECT_EQ(d.Dialogs.InputQueries[0].Value, "/home/ada");
}

namespace {
// Types into the focused control of the window, as the keyboard would.
bool TypeIntoFocus(HWND window, const String& text) {
  HWND focus = GetFocus();
  if (!focus || GetParent(focus) != window) return false;
  for (char c : text) SendMessageA(focus, WM_CHAR, static_cast<unsigned char>(c), 1);
  return true;
}
}  // namespace

TEST(InputBox, RealFormTypedTextOnOkThePresetOnCancel) {
  TRealDialogs real;
  const String prompt = "New name for the file \"R&D notes.txt\":";
  struct {
    const char* how;
    std::function<void(TModalDriver&)> end;
    String result;
  } cases[] = {
      {"OK", [](TModalDriver& m) { m.Press(IDOK); }, "renamed.txt"},
      {"Enter", [](TModalDriver& m) { m.Key(VK_RETURN); }, "renamed.txt"},
      {"Cancel", [](TModalDriver& m) { m.Press(IDCANCEL); }, "R&D notes.txt"},
      {"Escape", [](TModalDriver& m) { m.Key(VK_ESCAPE); }, "R&D notes.txt"},
  };
  for (auto& c : cases) {
    TModalDriver modal;
    String label;
    RECT frame{};
    modal.Window("Rename File").Do("look at the form", [&](HWND w) {
      for (HWND child : ChildWindows(w))
        if (WindowClass(child) == "TPromptLabel") label = WindowText(child);
      GetWindowRect(w, &frame);
      if (String(c.how) == "OK") SaveScreenshot(w);
      return true;
    });
    modal.Do("type a name", [](HWND w) { return TypeIntoFocus(w, "renamed.txt"); });
    c.end(modal);
    EXPECT_EQ(InputBox("Rename File", prompt, "R&D notes.txt"), c.result) << c.how;
    EXPECT_TRUE(modal.Finish()) << c.how;
    EXPECT_EQ(label, prompt) << c.how;
    // Centred on the screen and wide enough for the prompt.
    TRect area = Screen->WorkAreaRect();
    EXPECT_NEAR((frame.left + frame.right) / 2, (area.left + area.right) / 2, 2) << c.how;
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (area.top + area.bottom) / 2, 2) << c.how;
  }
}

TEST(InputBox, RealFormGrowsWithItsPrompt) {
  TRealDialogs real;
  int widths[2] = {};
  const String prompts[2] = {"Directory to create:",
                             "Type in the parameter pass to the server with the command, then press OK or Enter:"};
  for (int i = 0; i < 2; ++i) {
    TModalDriver modal;
    modal.Window("Send SITE Command").Do("measure", [&](HWND w) {
      RECT r;
      GetClientRect(w, &r);
      widths[i] = r.right;
      for (HWND child : ChildWindows(w)) {
        if (WindowClass(child) != "TPromptLabel") continue;
        // The whole prompt fits on the label's one line.
        HDC dc = GetDC(child);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32A(dc, prompts[i].c_str(), static_cast<int>(prompts[i].size()), &size);
        SelectObject(dc, old);
        ReleaseDC(child, dc);
        RECT lr;
        GetClientRect(child, &lr);
        EXPECT_GE(lr.right, size.cx) << prompts[i];
      }
      if (i == 1) SaveScreenshot(w);
      return true;
    });
    modal.Press(IDCANCEL);
    InputBox("Send SITE Command", prompts[i], "");
    EXPECT_TRUE(modal.Finish());
  }
  EXPECT_GT(widths[1], widths[0]);
}
