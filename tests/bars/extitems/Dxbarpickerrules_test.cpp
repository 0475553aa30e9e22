// The colour and font-name combos' model without windows: colour mapping,
// the automatic entry, the dots button's size, the drawing of a colour
// entry, the dialogs a click opens, the font families and their marks.
#include <map>

#include "Barstest.h"
#include "bars/Dxbarstrs.h"
#include "bars/extitems/Dxbarextitems.h"
#include "classlib/Dialogs.h"
#include "support/Pixels.h"
#include "support/Testutil.h"

namespace {

struct TColorForm {
  TColorForm() { Combo->OnChange = [this](TObject*) { ++Changes; }; }
  ~TColorForm() { Form->Free(); }
  TBarsForm* Form = new TBarsForm;
  TdxBarColorCombo* Combo = new TdxBarColorCombo(Form);
  int Changes = 0;
};

// Draws entry index of the combo into a white 120 x 20 surface.
void DrawEntry(TdxBarCustomCombo* combo, int index, TDibSurface& s) {
  TCanvas canvas;
  canvas.SetHandle(s.Dc());
  canvas.Brush()->SetColor(clWhite);
  canvas.Font()->SetColor(clBlack);
  TCanvas* old = combo->SetDrawingCanvas(&canvas);
  combo->DrawItem(index, TRect(0, 0, s.Width(), s.Height()), TOwnerDrawState());
  combo->SetDrawingCanvas(old);
  canvas.SetHandle(nullptr);
}

}  // namespace

TEST(BarsColorCombo, StartsAtBlackWithSixteenNamedColours) {
  TColorForm f;
  EXPECT_EQ(f.Combo->Items()->Count(), 16);
  EXPECT_EQ(f.Combo->Items()->Get(0), "Black");
  EXPECT_EQ(f.Combo->Items()->Get(7), "Gray");
  EXPECT_EQ(f.Combo->Items()->Get(15), "White");
  EXPECT_EQ(f.Combo->ItemIndex(), 0);
  EXPECT_EQ(f.Combo->Color(), clBlack);
  EXPECT_EQ(f.Combo->AutoColor(), clWindowText);
  EXPECT_EQ(f.Combo->AutoColorText(), "(automatic)");
  EXPECT_EQ(f.Combo->CustomColorText(), "(custom)");
  EXPECT_FALSE(f.Combo->ShowEditor());
  EXPECT_FALSE(f.Combo->DropDownCountStored());
  EXPECT_FALSE(f.Combo->AutoColorTextStored());
  EXPECT_FALSE(f.Combo->Glyph()->Empty());
  for (int i = 0; i < 16; ++i) EXPECT_EQ(f.Combo->GetColorByIndex(i), dxBarColorComboColor(i)) << i;
  EXPECT_EQ(dxBarColorComboColor(9), static_cast<TColor>(RGB(255, 0, 0)));
}

TEST(BarsColorCombo, ColoursMapToEntries) {
  struct TCase {
    const char* Name;
    bool ShowAuto;
    COLORREF WindowText;  // the system's window-text colour
    TColor Color;
    int Index;
    String Text;
  } cases[] = {
      {"window text with the automatic entry", true, RGB(0, 0, 0), clWindowText, 0, "(automatic)"},
      {"window text, black, without it", false, RGB(0, 0, 0), clWindowText, 0, "Black"},
      {"window text, navy, without it", false, RGB(0, 0, 128), clWindowText, 4, "Navy"},
      {"black beside the automatic entry", true, RGB(0, 0, 0), clBlack, 1, "Black"},
      {"red", false, RGB(0, 0, 0), static_cast<TColor>(RGB(255, 0, 0)), 9, "Red"},
      {"red behind the automatic entry", true, RGB(0, 0, 0), static_cast<TColor>(RGB(255, 0, 0)), 10, "Red"},
      {"a system colour by its value", false, RGB(0, 0, 0), clBtnShadow, -1, ""},
      {"another colour", false, RGB(0, 0, 0), static_cast<TColor>(RGB(1, 2, 3)), -1, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TScopedBarSystem sys;
    sys.System.Colors[COLOR_WINDOWTEXT] = c.WindowText;
    sys.System.Colors[COLOR_BTNSHADOW] = RGB(100, 101, 102);
    TColorForm f;
    f.Combo->SetShowAutoColor(c.ShowAuto);
    f.Combo->SetColor(static_cast<TColor>(RGB(128, 128, 0)));
    f.Changes = 0;
    f.Combo->SetColor(c.Color);
    EXPECT_EQ(f.Combo->ItemIndex(), c.Index);
    EXPECT_EQ(f.Combo->Text(), c.Text);
    EXPECT_EQ(f.Combo->Color(), c.Color);
    EXPECT_EQ(f.Changes, 1);
    EXPECT_EQ(f.Combo->GetColorByIndex(-1), c.Color);
    EXPECT_EQ(f.Combo->GetColorByIndex(17), c.Color);
  }
}

TEST(BarsColorCombo, TheAutomaticEntryHeadsTheListAndMovesTheRest) {
  TColorForm f;
  f.Combo->SetColor(static_cast<TColor>(RGB(0, 128, 0)));
  EXPECT_EQ(f.Combo->ItemIndex(), 2);
  // Its text changes no entry while it is off.
  f.Combo->SetAutoColorText("Auto");
  EXPECT_EQ(f.Combo->Items()->IndexOf("Auto"), -1);
  EXPECT_TRUE(f.Combo->AutoColorTextStored());
  f.Combo->SetShowAutoColor(true);
  EXPECT_EQ(f.Combo->Items()->Count(), 17);
  EXPECT_EQ(f.Combo->Items()->Get(0), "Auto");
  EXPECT_EQ(f.Combo->DropDownCount(), 17);
  EXPECT_FALSE(f.Combo->DropDownCountStored());
  EXPECT_EQ(f.Combo->ItemIndex(), 3);
  EXPECT_EQ(f.Combo->Color(), static_cast<TColor>(RGB(0, 128, 0)));
  f.Combo->SetAutoColorText("Default");
  EXPECT_EQ(f.Combo->Items()->Get(0), "Default");
  // The automatic colour follows its entry.
  f.Combo->SetColor(static_cast<TColor>(RGB(255, 0, 255)));
  f.Combo->SetAutoColor(static_cast<TColor>(RGB(255, 0, 255)));
  EXPECT_EQ(f.Combo->ItemIndex(), 0);
  f.Combo->SetShowAutoColor(false);
  EXPECT_EQ(f.Combo->Items()->Count(), 16);
  EXPECT_EQ(f.Combo->DropDownCount(), 16);
  EXPECT_EQ(f.Combo->ItemIndex(), 13);
  // A count of its own stays.
  f.Combo->SetDropDownCount(10);
  EXPECT_TRUE(f.Combo->DropDownCountStored());
  f.Combo->SetShowAutoColor(true);
  EXPECT_EQ(f.Combo->DropDownCount(), 10);
  // Choosing an entry sets the colour.
  f.Changes = 0;
  f.Combo->SetItemIndex(10);
  EXPECT_EQ(f.Combo->Color(), static_cast<TColor>(RGB(255, 0, 0)));
  EXPECT_EQ(f.Changes, 1);
}

TEST(BarsColorCombo, TheDotsButtonTakesLessThanHalfTheCombo) {
  struct TCase {
    int Width, Height, Button;
  } cases[] = {{38, 20, 18}, {37, 20, 0}, {200, 20, 18}, {100, 22, 18}, {100, 25, 25}, {60, 25, 25}, {50, 25, 0}};
  for (const TCase& c : cases)
    EXPECT_EQ(dxBarColorDotsButtonWidth(c.Width, c.Height), c.Button) << c.Width << " x " << c.Height;
}

TEST(BarsColorCombo, EntriesShowASwatchBeforeTheirName) {
  struct TCase {
    const char* Name;
    TColor Color;
    int Index;
    COLORREF Swatch;  // CLR_NONE: no swatch
  } cases[] = {
      {"an entry", clBlack, 12, RGB(0, 0, 255)},
      {"another colour in the field", static_cast<TColor>(RGB(1, 2, 3)), -1, RGB(1, 2, 3)},
      {"no colour at all in the field", static_cast<TColor>(0x800000FF), -1, CLR_NONE},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TColorForm f;
    f.Combo->SetColor(c.Color);
    TDibSurface s(120, 20);
    DrawEntry(f.Combo, c.Index, s);
    RECT text = ColorBounds(s, RGB(0, 0, 0));
    if (c.Swatch == CLR_NONE) {
      EXPECT_LE(text.left, 3);
      continue;
    }
    // Framed in the background and the shadow colour, filled with the colour.
    EXPECT_EQ(TRect(ColorBounds(s, c.Swatch)), TRect(2, 2, 28, 18));
    EXPECT_TRUE(ColorAt(s, 1, 10, ColorToRGB(clBtnShadow)));
    EXPECT_TRUE(ColorAt(s, 0, 10, RGB(255, 255, 255)));
    EXPECT_GE(text.left, 31);
  }
  // "(custom)" names the colour outside the list.
  TColorForm f;
  f.Combo->SetColor(static_cast<TColor>(RGB(1, 2, 3)));
  int width = 0, plain = 0;
  f.Combo->MeasureItemWidth(0, width);
  f.Combo->TdxBarCustomCombo::MeasureItemWidth(0, plain);
  EXPECT_EQ(width, plain + 30);
}

TEST(BarsColorCombo, AClickOpensTheSharedDialogAtTheColour) {
  struct TCase {
    const char* Name;
    bool Handler, ReadOnly, FromButton;
    std::vector<COLORREF> Answers;
    size_t Dialogs;
    COLORREF Start;
    TColor After;
  } cases[] = {
      {"confirmed", false, false, false, {RGB(0, 0, 255)}, 1, RGB(0, 128, 128), static_cast<TColor>(RGB(0, 0, 255))},
      {"another colour", false, false, false, {RGB(1, 2, 3)}, 1, RGB(0, 128, 128), static_cast<TColor>(RGB(1, 2, 3))},
      {"cancelled", false, false, false, {}, 1, RGB(0, 128, 128), static_cast<TColor>(RGB(0, 128, 128))},
      {"asked for by the button", false, false, true, {}, 1, RGB(255, 255, 0), static_cast<TColor>(RGB(0, 128, 128))},
      {"with a click handler", true, false, false, {RGB(0, 0, 255)}, 0, 0, static_cast<TColor>(RGB(0, 128, 128))},
      {"read-only", false, true, false, {RGB(0, 0, 255)}, 0, 0, static_cast<TColor>(RGB(0, 128, 128))},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TScopedDialogs d;
    d.Dialogs.ColorResults = c.Answers;
    TColorForm f;
    f.Combo->SetColor(static_cast<TColor>(RGB(0, 128, 128)));
    int clicks = 0;
    if (c.Handler) f.Combo->OnClick = [&](TObject*) { ++clicks; };
    f.Combo->SetReadOnly(c.ReadOnly);
    if (c.FromButton) f.Combo->SetDialogColor(static_cast<TColor>(RGB(255, 255, 0)));
    f.Combo->DirectClick();
    ASSERT_EQ(d.Dialogs.ColorDialogs.size(), c.Dialogs);
    if (c.Dialogs) EXPECT_EQ(d.Dialogs.ColorDialogs[0].Color, c.Start);
    EXPECT_EQ(f.Combo->Color(), c.After);
    EXPECT_EQ(clicks, c.Handler ? 1 : 0);
    if (c.After == static_cast<TColor>(RGB(1, 2, 3))) EXPECT_EQ(f.Combo->ItemIndex(), -1);
    // The next click starts at the colour again.
    if (c.FromButton) {
      f.Combo->DirectClick();
      ASSERT_EQ(d.Dialogs.ColorDialogs.size(), 2u);
      EXPECT_EQ(d.Dialogs.ColorDialogs[1].Color, RGB(0, 128, 128));
    }
  }
}

// ---------------------------------------------------------------- the unit's shared objects

TEST(BarsExtItems, TheSharedObjectsLiveWithTheUnit) {
  ASSERT_NE(dxBarColorDialog(), nullptr);
  ASSERT_NE(dxBarFontDialog(), nullptr);
  EXPECT_EQ(dxBarColorDialog()->Owner(), nullptr);
  EXPECT_EQ(dxBarFontDialog()->Owner(), nullptr);
  for (TBitmap* mark : {dxBarTrueTypeGlyph(), dxBarNonTrueTypeGlyph()}) {
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->Width(), 13);
    EXPECT_EQ(mark->Height(), 13);
  }
  EXPECT_EQ(dxBarTodayCaption(), "Today");
  EXPECT_EQ(dxBarClearCaption(), "Clear");
  EXPECT_EQ(dxBarLoadStr(dxSBAR_DATEDIALOGCAPTION), "Select the date");
  // The run's locale starts its weeks on Sunday.
  EXPECT_EQ(dxBarFirstWeekDay(), 0);
  struct TCase {
    const char* Locale;
    WORD First;
  } cases[] = {{"en-US", 0}, {"de-DE", 1}, {"sv-SE", 1}, {"fa-IR", 6}};
  for (const TCase& c : cases) {
    LCID lcid = LocaleNameToLCID(std::wstring(c.Locale, c.Locale + strlen(c.Locale)).c_str(), 0);
    EXPECT_EQ(dxBarLocaleFirstWeekDay(lcid), c.First) << c.Locale;
  }
  EXPECT_EQ(dxBarLocaleFirstWeekDay(0x7FFF0000), 0);
  // They go with the unit and come again with it.
  TColorDialog* before = dxBarColorDialog();
  dxBarInitialize();
  dxBarExtItemsFinalize();
  EXPECT_EQ(dxBarColorDialog(), nullptr);
  EXPECT_EQ(dxBarTrueTypeGlyph(), nullptr);
  EXPECT_EQ(dxBarTodayCaption(), "");
  dxBarExtItemsInitialize();
  dxBarFinalize();
  EXPECT_NE(dxBarColorDialog(), nullptr);
  (void)before;
}

// ---------------------------------------------------------------- font-name combo

namespace {

// The screen's families as the test enumerates them itself: wide names the
// code page holds, each once.
std::map<String, bool> ScreenFamilies() {
  std::map<String, bool> families;
  HDC dc = GetDC(nullptr);
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExW(
      dc, &lf,
      [](const LOGFONTW* f, const TEXTMETRICW*, DWORD type, LPARAM data) -> int {
        String name;
        if (TryWideToString(f->lfFaceName, -1, name) && !name.empty())
          reinterpret_cast<std::map<String, bool>*>(data)->emplace(AnsiUpperCase(name), (type & TRUETYPE_FONTTYPE) != 0);
        return 1;
      },
      reinterpret_cast<LPARAM>(&families), 0);
  ReleaseDC(nullptr, dc);
  return families;
}

}  // namespace

TEST(BarsFontNameCombo, ListsEachFamilyOnceSortedWithItsMark) {
  TBarsForm* form = new TBarsForm;
  auto* combo = new TdxBarFontNameCombo(form);
  EXPECT_EQ(combo->Width(), 160);
  EXPECT_EQ(combo->DropDownCount(), 12);
  EXPECT_TRUE(combo->Sorted());
  EXPECT_FALSE(combo->ShowEditor());
  // No printer here: the screen's families.
  std::map<String, bool> families = ScreenFamilies();
  ASSERT_EQ(combo->Items()->Count(), static_cast<int>(families.size()));
  for (int i = 0; i < combo->Items()->Count(); ++i) {
    String name = combo->Items()->Get(i);
    ASSERT_TRUE(families.count(AnsiUpperCase(name))) << name;
    EXPECT_EQ(combo->IsTrueType(i), families[AnsiUpperCase(name)]) << name;
    if (i > 0) EXPECT_LT(AnsiCompareText(combo->Items()->Get(i - 1), name), 0);
  }
  // The prefix's families are all TrueType (its bitmap fonts too): the
  // test adds one of another kind.
  combo->Items()->AddObject("Raster Sans", nullptr);
  int raster = combo->Items()->IndexOf("Raster Sans");
  int tahoma = combo->Items()->IndexOf("Tahoma");
  ASSERT_GE(tahoma, 0);
  EXPECT_TRUE(combo->IsTrueType(tahoma));
  EXPECT_FALSE(combo->IsTrueType(raster));

  // The marks at the left, the name beside them.
  TDibSurface s(160, 16);
  DrawEntry(combo, tahoma, s);
  RECT mark = ColorBounds(s, RGB(0, 0, 0));
  EXPECT_LE(mark.left, 4);
  TDibSurface other(160, 16);
  DrawEntry(combo, raster, other);
  EXPECT_GT(CountColor(other, RGB(0, 0, 128)), 0);
  EXPECT_EQ(CountColor(s, RGB(0, 0, 128)), 0);
  int width = 0, plain = 0;
  combo->MeasureItemWidth(tahoma, width);
  combo->TdxBarCustomCombo::MeasureItemWidth(tahoma, plain);
  EXPECT_EQ(width, plain + 14);
  // Outside an edit the text is set as it is.
  combo->SetText("Taho");
  EXPECT_EQ(combo->Text(), "Taho");
  form->Free();
}

TEST(BarsFontNameCombo, AClickOpensTheSharedFontDialogAtTheText) {
  TScopedDialogs d;
  d.Dialogs.FontResults = {{"Tahoma", -13, FW_NORMAL, false, 0}};
  TBarsForm* form = new TBarsForm;
  auto* combo = new TdxBarFontNameCombo(form);
  combo->SetText("Courier New");
  combo->DirectClick();
  ASSERT_EQ(d.Dialogs.FontDialogs.size(), 1u);
  EXPECT_STREQ(d.Dialogs.FontDialogs[0].Font.lfFaceName, "Courier New");
  EXPECT_EQ(combo->Text(), "Tahoma");
  EXPECT_EQ(combo->ItemIndex(), combo->Items()->IndexOf("Tahoma"));
  // Cancelled: the text stays; with a handler: no dialog.
  combo->DirectClick();
  EXPECT_EQ(combo->Text(), "Tahoma");
  combo->OnClick = [](TObject*) {};
  combo->DirectClick();
  EXPECT_EQ(d.Dialogs.FontDialogs.size(), 2u);
  form->Free();
}
