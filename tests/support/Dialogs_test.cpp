#include <gtest/gtest.h>

#include "support/Testutil.h"

#include <mmsystem.h>

TEST(RecordingDialogs, EveryCallIsRecordedAndAnsweredFromItsQueue) {
  TSystemDialogs* before = SystemDialogs();
  {
    TScopedDialogs d;
    ASSERT_EQ(SystemDialogs(), &d.Dialogs);
    d.Dialogs.Answers = {IDNO};
    d.Dialogs.SaveNames = {"C:\\out\\log.txt", "C:\\out\\way-too-long-for-the-buffer.txt"};
    d.Dialogs.OpenNames = {"C:\\in.d\\noext"};
    d.Dialogs.HelpResults = {false};
    d.Dialogs.SoundResults = {false};
    HWND owner = reinterpret_cast<HWND>(0x1234);

    EXPECT_EQ(SystemDialogs()->MessageBox(owner, "Sure?", "Nembra", MB_YESNO), IDNO);
    EXPECT_EQ(SystemDialogs()->MessageBox(owner, "Done.", "Nembra", MB_OK), IDOK);  // queue empty

    char file[32] = "start.txt";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrFilter = "Text files\0*.txt\0All files\0*.*\0";
    ofn.nFilterIndex = 2;
    ofn.lpstrTitle = "Save Log";
    ofn.lpstrDefExt = "txt";
    ofn.Flags = OFN_OVERWRITEPROMPT;
    EXPECT_TRUE(SystemDialogs()->GetSaveFileName(ofn));
    EXPECT_STREQ(file, "C:\\out\\log.txt");
    EXPECT_EQ(ofn.nFileOffset, 7);
    EXPECT_EQ(ofn.nFileExtension, 11);
    EXPECT_FALSE(SystemDialogs()->GetSaveFileName(ofn));  // does not fit: cancelled, buffer untouched
    EXPECT_STREQ(file, "C:\\out\\log.txt");
    EXPECT_FALSE(SystemDialogs()->GetSaveFileName(ofn));  // queue empty
    EXPECT_TRUE(SystemDialogs()->GetOpenFileName(ofn));
    EXPECT_EQ(ofn.nFileOffset, 8);
    EXPECT_EQ(ofn.nFileExtension, 0);  // the dot is in the folder's name

    EXPECT_FALSE(SystemDialogs()->WinHelp(owner, "nembra3.hlp", HELP_COMMAND,
                                          reinterpret_cast<ULONG_PTR>("JI(`',`IDH_login')")));
    EXPECT_TRUE(SystemDialogs()->WinHelp(owner, "nembra3.hlp", HELP_QUIT, 0));
    EXPECT_FALSE(SystemDialogs()->PlaySystemSound("MenuPopup", SND_ASYNC));
    EXPECT_TRUE(SystemDialogs()->PlaySystemSound("MenuCommand", SND_ASYNC));
    d.Dialogs.ShellResults = {false};
    EXPECT_FALSE(
        SystemDialogs()->ShellExecuteFile(nullptr, "open", "http://example.test/", "", "C:\\", SW_SHOWNORMAL));
    EXPECT_TRUE(SystemDialogs()->ShellExecuteFile(owner, "print", "a.txt", "/q", "", SW_HIDE));  // queue empty

    ASSERT_EQ(d.Dialogs.Boxes.size(), 2u);
    EXPECT_EQ(d.Dialogs.Boxes[0].text, "Sure?");
    EXPECT_EQ(d.Dialogs.Boxes[0].owner, owner);
    EXPECT_EQ(d.Dialogs.Boxes[1].flags, UINT(MB_OK));
    ASSERT_EQ(d.Dialogs.SaveDialogs.size(), 3u);
    const auto& s = d.Dialogs.SaveDialogs[0];
    EXPECT_EQ(s.Owner, owner);
    EXPECT_EQ(s.Title, "Save Log");
    EXPECT_EQ(s.Filter, "Text files|*.txt|All files|*.*");
    EXPECT_EQ(s.FilterIndex, 2u);
    EXPECT_EQ(s.DefaultExt, "txt");
    EXPECT_EQ(s.FileName, "start.txt");
    EXPECT_EQ(s.Flags, DWORD(OFN_OVERWRITEPROMPT));
    EXPECT_EQ(s.MaxFile, sizeof file);
    ASSERT_EQ(d.Dialogs.OpenDialogs.size(), 1u);
    EXPECT_EQ(d.Dialogs.HelpCalls, (std::vector<String>{"nembra3.hlp|258|JI(`',`IDH_login')", "nembra3.hlp|2|"}));
    ASSERT_EQ(d.Dialogs.Helps.size(), 2u);
    EXPECT_EQ(d.Dialogs.Helps[1].Command, UINT(HELP_QUIT));
    ASSERT_EQ(d.Dialogs.Sounds.size(), 2u);
    EXPECT_EQ(d.Dialogs.Sounds[0].Alias, "MenuPopup");
    EXPECT_EQ(d.Dialogs.Sounds[0].Flags, UINT(SND_ASYNC));
    ASSERT_EQ(d.Dialogs.ShellCalls.size(), 2u);
    const auto& sh = d.Dialogs.ShellCalls[0];
    EXPECT_EQ(sh.Wnd, nullptr);
    EXPECT_EQ(sh.Verb, "open");
    EXPECT_EQ(sh.File, "http://example.test/");
    EXPECT_EQ(sh.Parameters, "");
    EXPECT_EQ(sh.Directory, "C:\\");
    EXPECT_EQ(sh.Show, SW_SHOWNORMAL);
    EXPECT_EQ(d.Dialogs.ShellCalls[1].Parameters, "/q");
  }
  EXPECT_EQ(SystemDialogs(), before);
}

TEST(RecordingDialogs, ColourFontAndInputAreRecordedAndAnswered) {
  TScopedDialogs d;
  d.Dialogs.ColorResults = {RGB(1, 2, 3)};
  d.Dialogs.FontResults = {{"Arial", -16, FW_BOLD, true, RGB(9, 8, 7)}};
  d.Dialogs.InputAnswers = {{true, "typed"}, {false, "ignored"}};
  HWND owner = reinterpret_cast<HWND>(0x1234);

  COLORREF custom[16] = {RGB(10, 20, 30)};
  CHOOSECOLORA cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = owner;
  cc.rgbResult = RGB(255, 0, 0);
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT;
  EXPECT_TRUE(SystemDialogs()->ChooseColor(cc));
  EXPECT_EQ(cc.rgbResult, RGB(1, 2, 3));
  EXPECT_FALSE(SystemDialogs()->ChooseColor(cc));  // queue empty: cancelled
  ASSERT_EQ(d.Dialogs.ColorDialogs.size(), 2u);
  EXPECT_EQ(d.Dialogs.ColorDialogs[0].Owner, owner);
  EXPECT_EQ(d.Dialogs.ColorDialogs[0].Color, RGB(255, 0, 0));
  EXPECT_EQ(d.Dialogs.ColorDialogs[0].Custom.at(0), RGB(10, 20, 30));

  LOGFONTA lf{};
  lstrcpyA(lf.lfFaceName, "Tahoma");
  lf.lfHeight = -11;
  CHOOSEFONTA cf{};
  cf.lStructSize = sizeof cf;
  cf.hwndOwner = owner;
  cf.lpLogFont = &lf;
  cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
  EXPECT_TRUE(SystemDialogs()->ChooseFont(cf));
  EXPECT_STREQ(lf.lfFaceName, "Arial");
  EXPECT_EQ(lf.lfHeight, -16);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_TRUE(lf.lfItalic);
  EXPECT_EQ(cf.rgbColors, RGB(9, 8, 7));
  EXPECT_FALSE(SystemDialogs()->ChooseFont(cf));
  ASSERT_EQ(d.Dialogs.FontDialogs.size(), 2u);
  EXPECT_STREQ(d.Dialogs.FontDialogs[0].Font.lfFaceName, "Tahoma");
  EXPECT_EQ(d.Dialogs.FontDialogs[1].Font.lfHeight, -16);

  String value = "preset";
  EXPECT_TRUE(SystemDialogs()->InputQuery("Caption", "Prompt:", value));
  EXPECT_EQ(value, "typed");
  EXPECT_FALSE(SystemDialogs()->InputQuery("Caption", "Prompt:", value));
  EXPECT_EQ(value, "typed");  // a cancelled answer leaves the value
  EXPECT_FALSE(SystemDialogs()->InputQuery("Caption", "Prompt:", value));  // queue empty
  ASSERT_EQ(d.Dialogs.InputQueries.size(), 3u);
  EXPECT_EQ(d.Dialogs.InputQueries[0].Value, "preset");
  EXPECT_EQ(d.Dialogs.InputQueries[1].Caption, "Caption");
  EXPECT_EQ(d.Dialogs.InputQueries[1].Prompt, "Prompt:");
}
