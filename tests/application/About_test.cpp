// The about window: the version of its own program, the layout, the address
// that lights up under the mouse and opens through the shell, and closing.
#include <gtest/gtest.h>

#include "application/frame/About.h"
#include "application/frame/Splash.h"
#include "resources/Version.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

TFormAbout* ShowAbout() {
  auto* about = new TFormAbout(Application);
  about->Show();
  EXPECT_TRUE(WaitVisible(about->Handle()));
  return about;
}

// Freed with its owner: tells whether the owner was freed.
class TWitness : public TComponent {
 public:
  TWitness(TComponent* owner, bool* freed) : TComponent(owner), freed_(freed) {}
  ~TWitness() override { *freed_ = true; }

 private:
  bool* freed_;
};

}  // namespace

TEST(About, VersionWordsGiveTheText) {
  struct {
    DWORD ms, ls;
    const char* text;
  } rows[] = {
      {0x00030000, 0x0001000C, "3.0.1.12"},
      {0, 0, "0.0.0.0"},
      {0x000A0014, 0x001E0028, "10.20.30.40"},
      {0xFFFFFFFF, 0xFFFFFFFF, "65535.65535.65535.65535"},
  };
  for (const auto& r : rows) EXPECT_EQ(VersionText(r.ms, r.ls), r.text) << r.text;
}

TEST(About, VersionOfAFileOrEmptyWhenUnreadable) {
  String folder = MakeTempFolder("about-version");
  WriteFileBytes(folder + "\\notes.txt", "no version here");
  WriteFileBytes(folder + "\\empty.exe", "");
  WriteFileBytes(folder + "\\cut.exe", ReadFileBytes(Application->ExeName()).substr(0, 1024));
  EXPECT_EQ(FileVersionText(Application->ExeName()), NEMBRA_VERSION_TEXT);
  EXPECT_EQ(FileVersionText(NBRA3_EXE), NEMBRA_VERSION_TEXT);  // the program itself
  for (const char* name : {"missing.exe", "notes.txt", "empty.exe", "cut.exe"})
    EXPECT_EQ(FileVersionText(folder + "\\" + name), "") << name;
}

TEST(About, ShowsTheProgramsVersion) {
  TOwned<TFormAbout> about(ShowAbout());
  HWND wnd = about->Handle();
  SaveScreenshot(wnd);
  EXPECT_EQ(WindowText(wnd), "About Nembra");
  LONG_PTR style = GetWindowLongPtrA(wnd, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  RECT r;
  GetClientRect(wnd, &r);
  EXPECT_EQ(r.right, 388);
  EXPECT_EQ(r.bottom, 327);
  GetWindowRect(wnd, &r);
  EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((r.top + r.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

  EXPECT_EQ(about->LabelV->Caption(), NEMBRA_VERSION_TEXT);
  EXPECT_EQ(about->Label1->Caption(), "Nembra - FTP Client - Version:");
  EXPECT_EQ(about->Label3->Caption(), "On the Web: ");
  EXPECT_EQ(about->Label4->Caption(), MakerWebAddress);
  EXPECT_EQ(about->LabelC->Caption(), MakerNotice);
  EXPECT_EQ(about->Label4->Cursor(), crHandPoint);
  EXPECT_EQ(about->Button1->Caption(), "&OK");
  EXPECT_EQ(about->Image1->Picture()->Width(), 310);
  EXPECT_EQ(about->Image2->Picture()->Width(), 320);
  // Each value right of its label, nothing cut off.
  EXPECT_GT(about->LabelV->Left(), about->Label1->Left() + about->Label1->Width());
  EXPECT_GE(about->Label4->Left(), about->Label3->Left() + about->Label3->Width());
  EXPECT_LE(about->Label4->Left() + about->Label4->Width(), about->Button1->Left());
  TDibSurface client = CaptureClient(wnd);
  EXPECT_TRUE(ColorAt(client, 8, 120, RGB(0, 64, 128)));  // the panel's blue
}

TEST(About, AddressIsRedUnderTheMouseAndBlueAfter) {
  TOwned<TFormAbout> about(ShowAbout());
  HWND label = about->Label4->Handle();
  auto textIn = [&](COLORREF c) { return CountColor(CaptureClient(label), c, 40) > 10; };
  struct {
    const char* where;
    POINT at;
    TColor color;
  } moves[] = {
      {"over the address", CentreOf(label), clRed},
      {"over the pictures", ClientPoint(about->Panel1->Handle(), 10, 100), clBlue},
      {"over the address again", ClientPoint(label, 4, 6), clRed},
      {"over the window's own background", ClientPoint(about->Handle(), 200, 318), clBlue},
      {"over the address once more", CentreOf(label), clRed},
      {"over the version", CentreOf(about->Label1->Handle()), clBlue},
  };
  for (const auto& m : moves) {
    SCOPED_TRACE(m.where);
    ASSERT_TRUE(BringToFront(about->Handle()));
    ASSERT_TRUE(MoveTo(m.at));
    EXPECT_TRUE(WaitUntil([&] { return about->Label4->Font()->Color() == m.color; }));
    COLORREF rgb = m.color == clRed ? RGB(255, 0, 0) : RGB(0, 0, 255);
    EXPECT_TRUE(WaitUntil([&] { return textIn(rgb); }));
    if (m.color == clRed) SaveScreenshot(about->Handle(), "hover");
  }
}

TEST(About, ClickOpensTheAddressInTheShell) {
  TScopedDialogs d;
  TOwned<TFormAbout> about(ShowAbout());
  ASSERT_TRUE(Click(about->Label4->Handle()));
  ASSERT_EQ(d.Dialogs.ShellCalls.size(), 1u);
  const auto& call = d.Dialogs.ShellCalls[0];
  EXPECT_EQ(call.Wnd, nullptr);
  EXPECT_EQ(call.Verb, "open");
  EXPECT_EQ(call.File, MakerWebAddress);
  EXPECT_EQ(call.Parameters, "");
  EXPECT_EQ(call.Directory, "C:\\");
  EXPECT_EQ(call.Show, SW_SHOWNORMAL);
  EXPECT_TRUE(IsWindowVisible(about->Handle()));  // the window stays
}

TEST(About, ShownModallyOkOrEscapeEndsIt) {
  for (WORD how : {WORD(0), WORD(VK_ESCAPE), WORD(VK_RETURN)}) {
    SCOPED_TRACE(how == 0 ? "OK" : how == VK_ESCAPE ? "Escape" : "Enter");
    // As the action does: made for the one showing, shown modally, freed.
    auto* about = new TFormAbout(Application);
    bool freed = false;
    new TWitness(about, &freed);
    TModalDriver modal;
    if (how)
      modal.Window("About Nembra").Key(how);
    else
      modal.Window("About Nembra").Press("&OK");
    EXPECT_EQ(about->ShowModal(), mrCancel);
    EXPECT_TRUE(modal.Finish());
    PumpFor(50);
    EXPECT_FALSE(freed);  // the caller's to free, and only once
    about->Free();
    EXPECT_TRUE(freed);
  }
  // Shown without a modal loop, closing frees it.
  TFormAbout* about = ShowAbout();
  bool freed = false;
  new TWitness(about, &freed);
  ASSERT_TRUE(Click(about->Button1->Handle()));
  EXPECT_TRUE(WaitFor([&] { return freed; }));
}
