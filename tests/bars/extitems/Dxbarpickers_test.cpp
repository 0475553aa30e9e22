// The colour and font-name combos on a toolbar and in a menu of a shown
// form: an entry chosen from the dropped list, the dots button and
// Ctrl+Enter with the dialogs seam, the real colour and font dialogs, and
// a typed family name completed on Enter.
#include "Itemsfixture.h"
#include "classlib/Dialogs.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

#include <dlgs.h>

namespace {

// A combo's dropped list and a screen point of its row.
HWND ListOf(TdxBarCustomCombo* combo) {
  HWND list = combo->ListBox()->HandleAllocated() ? combo->ListBox()->Handle() : nullptr;
  return list && IsWindowVisible(list) ? list : nullptr;
}

POINT Row(HWND list, int index) {
  RECT r{};
  SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  return ClientPoint(list, 40, (r.top + r.bottom) / 2);
}

// A click on a row of the dropped list, where the pointer is: the form
// is not brought to the front again (that would take the focus from the
// combo's field and close the list).
::testing::AssertionResult ClickRow(HWND list, int index) {
  if (auto r = MoveTo(Row(list, index)); !r) return r;
  if (auto r = MouseDown(); !r) return r;
  return MouseUp();
}

// The colour combo on the toolbar and in the menu, counting its changes.
struct TColorItems : TItemsFixture {
  TScopedDialogs Dialogs;
  TdxBarColorCombo* Combo;
  int Changes = 0;
  TColorItems() {
    Combo = new TdxBarColorCombo(Form);
    Combo->SetName("ComboColor");
    Combo->SetCaption("Colour");
    Combo->OnChange = [this](TObject*) { ++Changes; };
    Place(Combo);
  }
  TdxBarColorComboControl* Control() { return dynamic_cast<TdxBarColorComboControl*>(ToolbarControl(Combo)); }
  // A point of the field, left of the drop button.
  POINT Field(TdxBarItemControl* c) {
    TRect b = dynamic_cast<TdxBarComboControl*>(c)->DropButtonRect();
    return ClientPoint(c->Parent()->Handle(), b.left - 20, (b.top + b.bottom) / 2);
  }
};

}  // namespace

TEST(BarsColorComboInput, AnEntryClickedInTheDroppedListSetsTheColour) {
  TColorItems f;
  ASSERT_NE(f.Control(), nullptr);
  SaveScreenshot(f.Form->Handle(), "closed");
  ASSERT_TRUE(TItemsFixture::ClickOn(f.Control(), f.Field(f.Control())));
  ASSERT_TRUE(WaitUntil([&] { return ListOf(f.Combo) != nullptr; }, 2000));
  HWND list = ListOf(f.Combo);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 16);
  SaveScreenshot(f.Form->Handle(), "dropped");
  ASSERT_TRUE(ClickRow(list, 9));
  ASSERT_TRUE(WaitUntil([&] { return !ListOf(f.Combo); }, 2000));
  EXPECT_EQ(f.Combo->Color(), static_cast<TColor>(RGB(255, 0, 0)));
  EXPECT_EQ(f.Combo->Text(), "Red");
  EXPECT_EQ(f.Changes, 1);
  EXPECT_TRUE(f.Dialogs.Dialogs.ColorDialogs.empty());

  // In the menu: the same list drops from the entry.
  ASSERT_NE(f.OpenMenu(), nullptr);
  TdxBarItemControl* inMenu = f.MenuControl(f.Combo);
  ASSERT_NE(inMenu, nullptr);
  ASSERT_TRUE(TItemsFixture::ClickOn(inMenu, f.Field(inMenu)));
  ASSERT_TRUE(WaitUntil([&] { return ListOf(f.Combo) != nullptr; }, 2000));
  list = ListOf(f.Combo);
  SaveDesktopScreenshot("menu");
  ASSERT_TRUE(ClickRow(list, 12));
  ASSERT_TRUE(WaitUntil([&] { return !ListOf(f.Combo); }, 2000));
  EXPECT_EQ(f.Combo->Color(), static_cast<TColor>(RGB(0, 0, 255)));
  EXPECT_EQ(f.Changes, 2);
}

TEST(BarsColorComboInput, TheDotsButtonAndCtrlEnterOpenTheDialogAtTheEntry) {
  TColorItems f;
  f.Combo->SetShowCustomColorButton(true);
  f.Combo->SetColor(static_cast<TColor>(RGB(0, 128, 128)));
  f.Changes = 0;
  ProcessQueuedMessages();
  TdxBarColorComboControl* c = f.Control();
  ASSERT_NE(c, nullptr);
  TRect dots = c->DotsButtonRect();
  ASSERT_FALSE(dots.Empty());
  EXPECT_EQ(dots.Width(), dxBarColorDotsButtonWidth(c->Parent()->GetItemRect(c).Width(), c->Parent()->GetItemRect(c).Height()) - 2);
  // Another colour chosen: "(custom)" with its swatch.
  f.Dialogs.Dialogs.ColorResults = {RGB(1, 2, 3)};
  ASSERT_TRUE(Click(f.ToolbarWindow(), POINT{(dots.left + dots.right) / 2, (dots.top + dots.bottom) / 2}));
  ASSERT_TRUE(WaitUntil([&] { return f.Dialogs.Dialogs.ColorDialogs.size() == 1; }, 2000));
  EXPECT_EQ(f.Dialogs.Dialogs.ColorDialogs[0].Color, RGB(0, 128, 128));
  EXPECT_EQ(f.Combo->Color(), static_cast<TColor>(RGB(1, 2, 3)));
  EXPECT_EQ(f.Combo->ItemIndex(), -1);
  EXPECT_EQ(f.Changes, 1);
  ProcessQueuedMessages();
  TDibSurface bar = CaptureClient(f.ToolbarWindow());
  EXPECT_GT(CountColor(bar, RGB(1, 2, 3)), 100);
  SaveScreenshot(f.Form->Handle(), "custom");
  ASSERT_TRUE(c == f.Control() && !c->Pressed());
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  EXPECT_FALSE(c->Focused());

  // Ctrl+Enter in the field, at the entry browsed to; cancelled.
  f.Combo->SetColor(static_cast<TColor>(RGB(0, 0, 128)));
  f.Combo->SetFocus();
  ASSERT_TRUE(WaitUntil([&] { return f.Control() && f.Control()->Focused(); }, 2000));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  EXPECT_EQ(f.Control()->LocalItemIndex(), 5);
  ASSERT_TRUE(KeyChord({VK_CONTROL, VK_RETURN}));
  ASSERT_TRUE(WaitUntil([&] { return f.Dialogs.Dialogs.ColorDialogs.size() == 2; }, 2000));
  EXPECT_EQ(f.Dialogs.Dialogs.ColorDialogs[1].Color, RGB(128, 0, 128));
  EXPECT_EQ(f.Combo->Color(), static_cast<TColor>(RGB(0, 0, 128)));
  // Plain Enter commits the entry and opens nothing.
  if (!(f.Control() && f.Control()->Focused())) {
    f.Combo->SetFocus();
    ASSERT_TRUE(KeyChord({VK_DOWN}));
  }
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(f.Dialogs.Dialogs.ColorDialogs.size(), 2u);
  EXPECT_EQ(f.Combo->Color(), static_cast<TColor>(RGB(128, 0, 128)));
}

TEST(BarsColorComboInput, TheRealColourDialogTakesTheKeys) {
  TColorItems f;
  f.Combo->SetShowCustomColorButton(true);
  ProcessQueuedMessages();
  TRect dots = f.Control()->DotsButtonRect();
  ASSERT_FALSE(dots.Empty());
  TScopedRealDialogs real;
  // Keys typed into the dialog reach it, not the bars: the red edit of the
  // custom colour part takes 255, Enter confirms. The keys go in as real
  // input and are handled by the dialog's own loop once the step returns.
  TModalDriver modal(15000);
  modal.Window("Color", "#32770")
      .Do("open the custom colours",
          [](HWND w) {
            HWND button = FindChildByText(w, "&Define Custom Colors >>", "Button");
            if (button && IsWindowEnabled(button)) SendMessageA(button, BM_CLICK, 0, 0);
            HWND red = ChildAfterLabel(w, "&Red:");
            return red && IsWindowVisible(red);
          })
      .Do("type into the red edit", [](HWND w) {
        HWND red = ChildAfterLabel(w, "&Red:");
        SendMessageA(w, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(red), TRUE);
        SendMessageA(red, EM_SETSEL, 0, -1);
        SaveScreenshot(w, "dialog");
        std::vector<INPUT> keys;
        for (WORD vk : {WORD('2'), WORD('5'), WORD('5'), WORD(VK_RETURN)})
          for (DWORD flags : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
            INPUT in{};
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = vk;
            in.ki.dwFlags = flags;
            keys.push_back(in);
          }
        SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
        return true;
      });
  ASSERT_TRUE(Click(f.ToolbarWindow(), POINT{(dots.left + dots.right) / 2, (dots.top + dots.bottom) / 2}));
  ASSERT_TRUE(modal.Finish());
  ASSERT_TRUE(WaitUntil([&] { return !FindTopWindow("Color", "#32770"); }, 5000));
  EXPECT_EQ(f.Combo->Color(), static_cast<TColor>(RGB(255, 0, 0))) << ColorText(ColorToRGB(f.Combo->Color()));
  EXPECT_EQ(f.Combo->Text(), "Red");
  EXPECT_TRUE(IsWindow(f.ToolbarWindow()));
}

// ---------------------------------------------------------------- font-name combo

namespace {

struct TFontItems : TItemsFixture {
  TScopedDialogs Dialogs;
  TdxBarFontNameCombo* Combo;
  TFontItems() {
    Combo = new TdxBarFontNameCombo(Form);
    Combo->SetName("ComboFont");
    Combo->SetShowEditor(true);
    Combo->SetText("Symbol");
    Place(Combo);
  }
  TdxBarComboControl* Control() { return dynamic_cast<TdxBarComboControl*>(ToolbarControl(Combo)); }
};

}  // namespace

TEST(BarsFontNameComboInput, ATypedBeginningIsCompletedAndANameOfNoFamilyKeepsTheText) {
  TFontItems f;
  ASSERT_NE(f.Control(), nullptr);
  struct TCase {
    const char* Typed;
    const char* Text;
  } cases[] = {{"Taho", "Tahoma"}, {"zzz", "Tahoma"}, {"MARL", "Marlett"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Typed);
    f.Combo->SetFocus();
    ASSERT_TRUE(WaitUntil([&] { return f.Control()->Focused(); }, 2000));
    ASSERT_TRUE(TypeText(c.Typed));
    ASSERT_TRUE(KeyChord({VK_RETURN}));
    EXPECT_EQ(f.Combo->Text(), c.Text);
    EXPECT_FALSE(f.Control()->Focused());
  }
  // The list dropped by its button shows each family with its mark.
  TRect r = f.Control()->DropButtonRect();
  ASSERT_TRUE(Click(f.ToolbarWindow(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
  ASSERT_TRUE(WaitUntil([&] { return ListOf(f.Combo) != nullptr; }, 2000));
  EXPECT_EQ(SendMessageA(ListOf(f.Combo), LB_GETCOUNT, 0, 0), f.Combo->Items()->Count());
  EXPECT_EQ(SendMessageA(ListOf(f.Combo), LB_GETCURSEL, 0, 0), f.Combo->Items()->IndexOf("Marlett"));
  SaveScreenshot(f.Form->Handle(), "dropped");
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitUntil([&] { return !ListOf(f.Combo); }, 2000));
}

TEST(BarsFontNameComboInput, AsAButtonItsClickOpensTheRealFontDialog) {
  TFontItems f;
  f.Toolbar->SetDockingStyle(dsLeft);
  ProcessQueuedMessages();
  TdxBarItemControl* button = f.ToolbarControl(f.Combo);
  ASSERT_TRUE(dynamic_cast<TdxBarButtonControl*>(button));
  TScopedRealDialogs real;
  TModalDriver modal(15000);
  modal.Window("Font", "#32770")
      .Do("shot", [](HWND w) {
        SaveScreenshot(w, "dialog");
        return true;
      })
      .Pick(cmb1, "Tahoma")
      .Press("OK");
  ASSERT_TRUE(TItemsFixture::ClickOn(button, TItemsFixture::Centre(button)));
  ASSERT_TRUE(modal.Finish());
  EXPECT_EQ(f.Combo->Text(), "Tahoma");
}
