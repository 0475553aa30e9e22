// Item controls: the check mark, the glyph rectangle, the background of
// each style and state, disabled and vertical text, drawn into 32-bit DIBs;
// the destructor's forgetting of the control.
#include "Barstest.h"
#include "support/Pixels.h"

namespace {

const COLORREF kPaper = RGB(200, 100, 50);

void Fill(TDibSurface& s, COLORREF c) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) s.SetPixel(x, y, c);
}

// Rows of a picture at (left, top): '.' the paper, any other letter a colour
// of the map.
void ExpectPicture(const TDibSurface& s, int left, int top, const std::vector<std::string>& rows,
                   const std::map<char, COLORREF>& colors) {
  int wrong = 0;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) {
      int u = x - left, v = y - top;
      char ch = '.';
      if (v >= 0 && v < static_cast<int>(rows.size()) && u >= 0 && u < static_cast<int>(rows[v].size()))
        ch = rows[static_cast<size_t>(v)][static_cast<size_t>(u)];
      COLORREF want = ch == '.' ? kPaper : colors.at(ch);
      if (s.Pixel(x, y) != want && ++wrong <= 5)
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << ColorText(s.Pixel(x, y)) << ", not " << ColorText(want);
    }
}

}  // namespace

TEST(BarsItemControls, TheCheckMarkAtScaleOneAndTwo) {
  const COLORREF silver = RGB(0xC0, 0xC0, 0xC0), black = RGB(0, 0, 0), white = RGB(255, 255, 255);
  COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), high = GetSysColor(COLOR_BTNHIGHLIGHT);
  {
    SCOPED_TRACE("enabled");
    TDibSurface s(20, 20);
    Fill(s, kPaper);
    dxBarDrawCheckMark(s.Dc(), TRect(0, 0, 20, 20), 1, true, false);
    GdiFlush();
    ExpectPicture(s, 5, 6,
                  {".......S.", "......SBW", ".S...SBBW", "WBS.SBBW.", "WBBSBBW..", ".WBBBW...", "..WBW....", "...W....."},
                  {{'S', silver}, {'B', black}, {'W', white}});
  }
  {
    SCOPED_TRACE("disabled");
    TDibSurface s(20, 20);
    Fill(s, kPaper);
    dxBarDrawCheckMark(s.Dc(), TRect(0, 0, 20, 20), 1, false, false);
    GdiFlush();
    ExpectPicture(s, 5, 6,
                  {".........", ".......D.", "......DDH", ".D...DDHH", ".DD.DDHH.", "..DDDHH..", "...DHH...", "....H...."},
                  {{'D', shadow}, {'H', high}});
  }
  {
    // Flat, scale 2: four black stroke rows, every coordinate doubled.
    SCOPED_TRACE("flat, scale 2");
    TDibSurface s(20, 20);
    Fill(s, kPaper);
    dxBarDrawCheckMark(s.Dc(), TRect(0, 0, 20, 20), 2, true, true);
    GdiFlush();
    std::vector<std::string> rows(14, std::string(18, '.'));
    for (int r = 0; r < 4; ++r) {
      for (int i = 0; i < 4; ++i) rows[static_cast<size_t>(6 + r + i)][static_cast<size_t>(2 + i)] = 'B';
      for (int i = 0; i < 10; ++i) rows[static_cast<size_t>(10 + r - i)][static_cast<size_t>(6 + i)] = 'B';
    }
    ExpectPicture(s, 1, 1, rows, {{'B', black}});
  }
}

namespace {

// A bar with two buttons on a hidden form: the controls draw into a DIB
// through the bar's canvas.
struct TDrawCase {
  TBarsForm* Form = new TBarsForm;
  TImageList* Images = new TImageList(Form);
  TdxBar* Bar;
  TdxBarButton* Button;
  TdxBarButton* Plain;
  explicit TDrawCase(TdxBarManagerStyle style = bmsEnhanced, TdxBarDockingStyle docking = dsTop) {
    Form->SetBounds(0, 0, 400, 300);
    TBitmap glyphs;
    glyphs.SetSize(16, 16);
    glyphs.Canvas()->Brush()->SetColor(clFuchsia);
    glyphs.Canvas()->FillRect(TRect(0, 0, 16, 16));
    glyphs.Canvas()->Brush()->SetColor(clBlue);
    glyphs.Canvas()->FillRect(TRect(4, 4, 12, 12));
    Images->SetWidth(16);
    Images->SetHeight(16);
    Images->AddMasked(&glyphs, clFuchsia);
    Form->Manager->SetImages(Images);
    Form->Manager->SetStyle(style);
    Button = Form->Button("Open", "&File");
    Button->SetImageIndex(0);
    Plain = Form->Button("Plain", "Plain");
    Bar = Form->AddBar("Tools");
    Bar->ItemLinks()->Add()->SetItem(Button);
    Bar->ItemLinks()->Add()->SetItem(Plain);
    Bar->SetDockingStyle(docking);
    Bar->SetVisible(true);
  }
  ~TDrawCase() { Form->Free(); }
  TdxBarItemControl* Control(int i) { return Bar->ItemLinks()->Items(i)->Control(); }
  // Runs draw with the bar's canvas on a fresh DIB.
  TDibSurface Draw(int w, int h, const std::function<void(HDC)>& draw) {
    TDibSurface s(w, h);
    Fill(s, kPaper);
    TCanvas* canvas = Bar->Control()->Canvas();
    canvas->SetHandle(s.Dc());
    draw(canvas->Handle());
    canvas->SetHandle(nullptr);
    GdiFlush();
    return s;
  }
};

}  // namespace

TEST(BarsItemControls, GlyphRectangles) {
  struct TCase {
    const char* Name;
    TdxBarManagerStyle Style;
    bool Large, Stretch;
    TdxBarPaintType Paint;
    TRect Item;
    bool Down, Pressed;
    TRect Want;
  } cases[] = {
      {"toolbar", bmsEnhanced, false, false, ptHorz, TRect(0, 0, 23, 22), false, false, TRect(3, 3, 19, 19)},
      {"down", bmsEnhanced, false, false, ptHorz, TRect(0, 0, 23, 22), true, false, TRect(4, 4, 20, 20)},
      {"down and pressed", bmsEnhanced, false, false, ptHorz, TRect(0, 0, 23, 22), true, true, TRect(5, 5, 21, 21)},
      {"flat: no offsets", bmsFlat, false, false, ptHorz, TRect(0, 0, 23, 22), true, true, TRect(3, 3, 19, 19)},
      {"the area is one button wide", bmsEnhanced, false, false, ptHorz, TRect(10, 0, 110, 22), false, false,
       TRect(13, 3, 29, 19)},
      {"vertical: one button high", bmsEnhanced, false, false, ptVert, TRect(0, 10, 22, 110), false, false,
       TRect(3, 13, 19, 29)},
      {"large icons on a toolbar", bmsEnhanced, true, false, ptHorz, TRect(0, 0, 39, 38), false, false,
       TRect(3, 3, 35, 35)},
      {"large icons in a menu", bmsEnhanced, true, false, ptMenu, TRect(0, 0, 20, 20), false, false, TRect(2, 2, 18, 18)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TDrawCase d(c.Style);
    d.Form->Manager->SetLargeIcons(c.Large);
    d.Form->Manager->SetStretchGlyphs(c.Stretch);
    TdxBarItemControl* control = d.Control(0);
    TSize size = control->GlyphSize(c.Item, c.Paint, false);
    EXPECT_EQ(control->GlyphRect(c.Item, c.Paint, size, c.Down, c.Pressed, false), c.Want);
  }
  // Stretched in a menu: to the row's height against the normal one.
  TDrawCase d;
  d.Form->Manager->SetStretchGlyphs(true);
  TdxBarItemControl* control = d.Control(0);
  int normal = control->GetNormalItemHeightInSubMenu();
  TSize size = control->GlyphSize(TRect(0, 0, 2 * normal, 2 * normal), ptMenu, false);
  EXPECT_EQ(size.cx, 32);
  EXPECT_EQ(size.cy, 32);
  // No image, or an index past the list: no glyph.
  d.Button->SetImageIndex(1);
  EXPECT_FALSE(control->ImageExists());
  d.Button->SetImageIndex(-1);
  EXPECT_FALSE(control->ImageExists());
}

TEST(BarsItemControls, BackgroundsPerStyleAndState) {
  struct TCase {
    const char* Name;
    TdxBarManagerStyle Style;
    TdxBarPaintType Paint;
    bool Selected, Down;
    std::function<COLORREF(TdxBarManager*)> Fill;
  } cases[] = {
      {"plain", bmsEnhanced, ptHorz, false, false, [](TdxBarManager*) { return GetSysColor(COLOR_BTNFACE); }},
      {"selected and down", bmsEnhanced, ptHorz, true, true, [](TdxBarManager*) { return GetSysColor(COLOR_BTNFACE); }},
      {"selected in a menu", bmsEnhanced, ptMenu, true, false, [](TdxBarManager*) { return GetSysColor(COLOR_HIGHLIGHT); }},
      {"flat plain", bmsFlat, ptHorz, false, false, [](TdxBarManager* m) { return m->FlatToolbarsColor(); }},
      {"flat menu column", bmsFlat, ptMenu, false, false, [](TdxBarManager* m) { return m->FlatToolbarsColor(); }},
      {"flat selected", bmsFlat, ptHorz, true, false, [](TdxBarManager* m) { return m->FlatToolbarsSelColor(); }},
      {"flat down", bmsFlat, ptHorz, false, true, [](TdxBarManager* m) { return m->FlatToolbarsDownedColor(); }},
      {"flat selected and down", bmsFlat, ptHorz, true, true,
       [](TdxBarManager* m) { return m->FlatToolbarsDownedSelColor(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TDrawCase d(c.Style);
    TdxBarItemControl* control = d.Control(1);
    TDibSurface s = d.Draw(30, 30, [&](HDC) {
      TRect r(2, 2, 27, 26);
      control->DrawGlyph(r, nullptr, c.Paint, true, c.Selected, c.Down, false, false, false, false);
    });
    EXPECT_TRUE(ColorAt(s, 14, 14, c.Fill(d.Form->Manager)));
  }
  // The down look of the standard and enhanced styles is the checkerboard.
  TDrawCase d(bmsStandard);
  TDibSurface s = d.Draw(30, 30, [&](HDC) {
    d.Control(1)->DrawGlyph(TRect(2, 2, 27, 26), nullptr, ptHorz, true, false, true, false, false, false, false);
  });
  EXPECT_TRUE(ColorAt(s, 14, 14, GetSysColor(COLOR_BTNFACE)));
  EXPECT_TRUE(ColorAt(s, 15, 14, GetSysColor(COLOR_BTNHIGHLIGHT)));
  // Raised when selected, sunken when down; the flat style frames it.
  EXPECT_TRUE(ColorAt(s, 2, 2, GetSysColor(COLOR_BTNSHADOW)));
  EXPECT_TRUE(ColorAt(s, 26, 25, GetSysColor(COLOR_BTNHIGHLIGHT)));
  s = d.Draw(30, 30, [&](HDC) {
    d.Control(1)->DrawGlyph(TRect(2, 2, 27, 26), nullptr, ptHorz, true, true, false, false, false, false, false);
  });
  EXPECT_TRUE(ColorAt(s, 2, 2, GetSysColor(COLOR_BTNHIGHLIGHT)));
  EXPECT_TRUE(ColorAt(s, 26, 25, GetSysColor(COLOR_BTNSHADOW)));
  TDrawCase flat(bmsFlat);
  s = flat.Draw(30, 30, [&](HDC) {
    flat.Control(1)->DrawGlyph(TRect(2, 2, 27, 26), nullptr, ptHorz, true, true, false, false, false, false, false);
  });
  EXPECT_TRUE(ColorAt(s, 2, 2, GetSysColor(COLOR_HIGHLIGHT)));
  EXPECT_TRUE(ColorAt(s, 26, 25, GetSysColor(COLOR_HIGHLIGHT)));
}

TEST(BarsItemControls, DisabledTextIsEmbossedOrGrey) {
  COLORREF high = GetSysColor(COLOR_BTNHIGHLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW);
  COLORREF gray = GetSysColor(COLOR_GRAYTEXT);
  {
    TDrawCase d(bmsStandard);
    TDibSurface s = d.Draw(80, 24, [&](HDC dc) {
      d.Control(1)->DrawItemText(dc, "Plain", TRect(2, 0, 78, 24), 0, false, false, false, false, false);
    });
    RECT h = ColorBounds(s, high), sh = ColorBounds(s, shadow);
    ASSERT_GT(CountColor(s, shadow), 10);
    // The highlight copy lies one pixel right of and below the text.
    EXPECT_EQ(h.right, sh.right + 1);
    EXPECT_EQ(h.bottom, sh.bottom + 1);
  }
  for (bool selected : {false, true}) {
    SCOPED_TRACE(selected ? "flat, selected" : "flat");
    TDrawCase d(bmsFlat);
    TDibSurface s = d.Draw(80, 24, [&](HDC dc) {
      d.Control(1)->DrawItemText(dc, "Plain", TRect(2, 0, 78, 24), 0, false, selected, false, false, true);
    });
    EXPECT_GT(CountColor(s, gray), 10);
    EXPECT_EQ(CountColor(s, high), 0);
  }
}

TEST(BarsItemControls, TheVerticalAcceleratorIsUnderlinedByHand) {
  TDrawCase d(bmsEnhanced, dsLeft);
  COLORREF text = GetSysColor(COLOR_BTNTEXT);
  TRect r(0, 0, 24, 80);
  auto draw = [&](const String& caption) {
    return d.Draw(24, 80, [&](HDC dc) { d.Control(1)->DrawItemText(dc, caption, r, 0, true, false, true, false, false); });
  };
  TDibSurface marked = draw("&File"), plain = draw("File");
  // The line's place and length come from the rotated font.
  TEXTMETRICA tm{};
  SIZE all{}, first{};
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, d.Bar->Control()->Canvas()->Font()->Handle());
  GetTextMetricsA(screen, &tm);
  GetTextExtentPoint32A(screen, "File", 4, &all);
  GetTextExtentPoint32A(screen, "F", 1, &first);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  ASSERT_NE(tm.tmPitchAndFamily & TMPF_TRUETYPE, 0);
  int x = (r.left + r.right - all.cy) / 2 + tm.tmDescent - 2;
  for (int y = 0; y < 80; ++y) {
    bool onLine = y >= r.top && y < r.top + first.cx;
    EXPECT_EQ(marked.Pixel(x, y) == text, onLine) << "y " << y;
    EXPECT_NE(plain.Pixel(x, y), text) << "y " << y;
  }
  // The text reads downwards: taller than wide.
  RECT b = ColorBounds(plain, text);
  EXPECT_GT(b.bottom - b.top, b.right - b.left);
}

TEST(BarsItemControls, AFreedControlIsNeitherSelectedNorTracked) {
  TDrawCase d;
  TdxBarManager* m = d.Form->Manager;
  TdxBarItemControl* c = d.Control(0);
  m->SetSelectedItem(c);
  m->SetMouseTrackedItem(c);
  d.Bar->Control()->DestroyControls();
  EXPECT_EQ(m->SelectedItem(), nullptr);
  EXPECT_EQ(m->MouseTrackedItem(), nullptr);
  EXPECT_EQ(d.Bar->ItemLinks()->Items(0)->Control(), nullptr);
}
