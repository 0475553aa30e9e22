// Painting of the toolbar window into 32-bit DIBs: grippers, the mark's
// chevrons and customize arrow, group separators as exact pixels, and the
// background that leaves every item rectangle alone.
#include <set>

#include "Barstest.h"
#include "support/Pixels.h"
#include "support/Winwait.h"

namespace {

const COLORREF kSentinel = RGB(255, 0, 255);

void Fill(TDibSurface& s, COLORREF c) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) s.SetPixel(x, y, c);
}

// A button control that paints nothing: what the bar paints stays visible.
class TBlankButtonControl : public TdxBarButtonControl {
 public:
  using TdxBarButtonControl::TdxBarButtonControl;
  DX_BAR_CONTROL_CLASS();
  void Paint(const TRect&, TdxBarPaintType) override {}
};
DX_BAR_CONTROL_CLASS_IMPL(TBlankButtonControl)

// One bar of glyph buttons on a shown form of the given client width.
struct TPaintCase {
  std::unique_ptr<TScopedControlClass> Controls;
  TBarsForm* Form = new TBarsForm;
  TImageList* Images = new TImageList(Form);
  TdxBar* Bar;
  TPaintCase(TdxBarManagerStyle style, TdxBarDockingStyle docking, int buttons, int width, int groupAt = -1,
             TdxBarItemControlClass controls = nullptr) {
    if (controls) Controls.reset(new TScopedControlClass(TdxBarButton::Class(), controls));
    SetCursorPos(1270, 1010);
    TBitmap glyph;
    glyph.SetSize(16, 16);
    glyph.Canvas()->Brush()->SetColor(clFuchsia);
    glyph.Canvas()->FillRect(TRect(0, 0, 16, 16));
    glyph.Canvas()->Brush()->SetColor(clGreen);
    glyph.Canvas()->FillRect(TRect(3, 3, 13, 13));
    Images->SetWidth(16);
    Images->SetHeight(16);
    Images->AddMasked(&glyph, clFuchsia);
    Form->Manager->SetImages(Images);
    Form->Manager->SetStyle(style);
    Form->SetBounds(30, 30, 300, 300);
    Form->SetClientWidth(width);
    Bar = Form->AddBar("Tools");
    for (int i = 0; i < buttons; ++i) {
      TdxBarButton* b = Form->Button("B" + IntToStr(i), "B" + IntToStr(i));
      b->SetImageIndex(0);
      Bar->ItemLinks()->Add()->SetItem(b);
    }
    if (groupAt >= 0) Bar->ItemLinks()->Items(groupAt)->SetBeginGroup(true);
    Bar->SetDockingStyle(docking);
    Bar->SetFloatLeft(400);
    Bar->SetFloatTop(400);
    Form->Manager->SetHideFloatingBarsWhenInactive(false);
    Form->Show();
    EXPECT_TRUE(WaitVisible(Form->Handle()));
    Bar->SetVisible(true);
    ProcessQueuedMessages();
  }
  ~TPaintCase() { Form->Free(); }
  TdxBarControl* Control() { return Bar->Control(); }
  HBRUSH Brush() { return Control()->GetToolbarBrush(); }
  COLORREF Background() {
    LOGBRUSH lb{};
    GetObjectA(Brush(), sizeof lb, &lb);
    return lb.lbColor;
  }
  TDibSurface Frame() {
    TRect w = Control()->GetWindowRect();
    TDibSurface s(w.Width(), w.Height());
    Fill(s, kSentinel);
    Control()->NCPaint(s.Dc());
    GdiFlush();
    return s;
  }
  TDibSurface Client() {
    TRect c = Control()->ClientRect();
    TDibSurface s(c.Width(), c.Height());
    Fill(s, kSentinel);
    SendMessageA(Control()->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(s.Dc()), PRF_CLIENT);
    GdiFlush();
    return s;
  }
};

using TPixels = std::map<std::pair<int, int>, COLORREF>;

// Every pixel of r is the one the map gives, or else other.
void ExpectArea(const TDibSurface& s, const TRect& r, const TPixels& pixels, COLORREF other) {
  int wrong = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      auto it = pixels.find({x, y});
      COLORREF want = it != pixels.end() ? it->second : other;
      if (s.Pixel(x, y) != want && ++wrong <= 6)
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << ColorText(s.Pixel(x, y)) << ", not " << ColorText(want);
    }
}

// The pixels of a GDI polyline (each segment straight or at 45 degrees;
// the last point left out).
void Polyline(TPixels& p, std::initializer_list<POINT> points, COLORREF c) {
  std::vector<POINT> v(points);
  for (size_t i = 0; i + 1 < v.size(); ++i) {
    int dx = (v[i + 1].x > v[i].x) - (v[i + 1].x < v[i].x), dy = (v[i + 1].y > v[i].y) - (v[i + 1].y < v[i].y);
    for (POINT q = v[i]; q.x != v[i + 1].x || q.y != v[i + 1].y; q.x += dx, q.y += dy) p[{q.x, q.y}] = c;
  }
}

// A raised grip bar: highlight top and left, shadow bottom and right, face
// inside (the corners where they meet are left out).
void Grip(TPixels& p, const TRect& b) {
  COLORREF high = GetSysColor(COLOR_BTNHIGHLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW);
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  for (int x = b.left; x < b.right - 1; ++x) p[{x, b.top}] = high;
  for (int y = b.top; y < b.bottom - 1; ++y) p[{b.left, y}] = high;
  for (int x = b.left + 1; x < b.right; ++x) p[{x, b.bottom - 1}] = shadow;
  for (int y = b.top + 1; y < b.bottom; ++y) p[{b.right - 1, y}] = shadow;
  for (int y = b.top + 1; y < b.bottom - 1; ++y)
    for (int x = b.left + 1; x < b.right - 1; ++x) p[{x, y}] = face;
}

}  // namespace

TEST(BarsToolbarPaint, GrippersPerStyleAndOrientation) {
  COLORREF high = GetSysColor(COLOR_BTNHIGHLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW);
  struct TCase {
    const char* Name;
    TdxBarManagerStyle Style;
    TdxBarDockingStyle Docking;
  } cases[] = {{"standard, horizontal", bmsStandard, dsTop}, {"standard, vertical", bmsStandard, dsLeft},
               {"enhanced, horizontal", bmsEnhanced, dsTop}, {"flat, horizontal", bmsFlat, dsTop},
               {"flat, vertical", bmsFlat, dsLeft}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TPaintCase p(c.Style, c.Docking, 2, 300);
    TDibSurface s = p.Frame();
    int w = s.Width(), h = s.Height();
    TRect inner(2, 2, w - 2, h - 2);
    bool horizontal = c.Docking == dsTop;
    int offset = c.Style == bmsStandard ? 2 : 1;
    int shorten = c.Style == bmsEnhanced ? 1 : c.Style == bmsFlat ? 3 : 0;
    int grips = c.Style == bmsStandard ? 2 : 1;
    TPixels expected;
    TRect all;
    for (int g = 0; g < grips; ++g) {
      int at = offset + 3 * g;
      TRect band = horizontal ? TRect(inner.left + at, inner.top + shorten, inner.left + at + 3, inner.bottom - shorten)
                              : TRect(inner.left + shorten, inner.top + at, inner.right - shorten, inner.top + at + 3);
      if (g == 0) all = band;
      all.right = std::max(all.right, band.right);
      all.bottom = std::max(all.bottom, band.bottom);
      if (c.Style == bmsFlat) {
        // Dotted: lines across it, shadow first.
        for (int y = band.top; y < band.bottom; ++y)
          for (int x = band.left; x < band.right; ++x) {
            int line = horizontal ? y - band.top : x - band.left;
            expected[{x, y}] = line % 2 == 0 ? shadow : p.Background();
          }
        continue;
      }
      Grip(expected, band);
      if (c.Style == bmsStandard) {
        if (horizontal)
          expected[{band.left, band.bottom - 1}] = high;
        else
          expected[{band.right - 1, band.top}] = high;
      }
    }
    // The gripper area, corners of each bar aside.
    for (auto it = expected.begin(); it != expected.end(); ++it) {
      COLORREF got = s.Pixel(it->first.first, it->first.second);
      if (got != it->second) {
        ADD_FAILURE() << "pixel " << it->first.first << "," << it->first.second << " is " << ColorText(got) << ", not "
                      << ColorText(it->second);
        break;
      }
    }
    EXPECT_GT(expected.size(), 20u);
    if (c.Style == bmsFlat) {
      // Cut corners inside a frame of the button face.
      COLORREF face = GetSysColor(COLOR_BTNFACE);
      for (POINT q : {POINT{1, 1}, POINT{w - 2, 1}, POINT{1, h - 2}, POINT{w - 2, h - 2}, POINT{0, h / 2}})
        EXPECT_TRUE(ColorAt(s, q.x, q.y, face)) << q.x << "," << q.y;
    }
    // Nothing of the frame is left unpainted.
    EXPECT_EQ(CountColor(s, kSentinel), p.Control()->ClientRect().Width() * p.Control()->ClientRect().Height());
  }
}

TEST(BarsToolbarPaint, TheMarkWithChevronsAndTheCustomizeArrow) {
  COLORREF text = GetSysColor(COLOR_BTNTEXT), high = GetSysColor(COLOR_BTNHIGHLIGHT),
           shadow = GetSysColor(COLOR_BTNSHADOW);
  struct TCase {
    const char* Name;
    TdxBarManagerStyle Style;
    TdxBarDockingStyle Docking;
  } cases[] = {{"enhanced, horizontal", bmsEnhanced, dsTop}, {"flat, horizontal", bmsFlat, dsTop},
               {"standard, horizontal", bmsStandard, dsTop}, {"enhanced, vertical", bmsEnhanced, dsLeft}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    // Eight buttons on a narrow form: some wait behind the mark.
    TPaintCase p(c.Style, c.Docking, 8, c.Docking == dsTop ? 120 : 300);
    if (c.Docking == dsLeft) p.Form->SetClientHeight(120);
    ProcessQueuedMessages();
    ASSERT_TRUE(p.Control()->HasHiddenItems());
    TDibSurface s = p.Client();
    TRect m = p.Control()->MarkRect();
    int cw = s.Width();
    TPixels e;
    if (c.Docking == dsTop) {
      ASSERT_EQ(m, TRect(cw - 11, 0, cw, c.Style == bmsStandard ? 9 : s.Height()));
      int d = m.Height() < 17 ? 1 : 0;
      for (int x : {m.left + 2, m.left + 6}) {
        if (c.Style == bmsStandard) {
          Polyline(e, {{x - 1, 1}, {x + 2, 4}}, high);
          Polyline(e, {{x + 3, 4}, {x - 1, 8}}, high);
          Polyline(e, {{x, 1}, {x + 2, 3}, {x + 2, 4}, {x - 1, 7}}, shadow);
        } else {
          Polyline(e, {{x, 4 - d}, {x + 2, 6 - d}, {x - 1, 9 - d}}, text);
          Polyline(e, {{x + 1, 4 - d}, {x + 3, 6 - d}, {x, 9 - d}}, text);
        }
      }
      if (c.Style != bmsStandard) {
        int x = m.left + 3, y = m.bottom - 7 + d;
        for (int i = 0; i < 3; ++i)
          for (int k = i; k <= 4 - i; ++k) e[{x + k, y + i}] = text;
      }
    } else {
      ASSERT_EQ(m, TRect(0, s.Height() - 11, cw, s.Height()));
      int x = m.left + 5, y = m.top + 3;
      for (int k = 0; k < 5; ++k) e[{x, y + k}] = text;
      for (int k = 1; k < 4; ++k) e[{x - 1, y + k}] = text;
      e[{x - 2, y + 2}] = text;
      int x0 = cw - 8;
      for (int yc : {m.bottom - 9, m.bottom - 5}) {
        Polyline(e, {{x0, yc}, {x0 + 2, yc + 2}, {x0 + 5, yc - 1}}, text);
        Polyline(e, {{x0, yc + 1}, {x0 + 2, yc + 3}, {x0 + 5, yc}}, text);
      }
    }
    ExpectArea(s, m, e, p.Background());
  }
}

TEST(BarsToolbarPaint, GroupSeparators) {
  for (TdxBarManagerStyle style : {bmsEnhanced, bmsFlat}) {
    SCOPED_TRACE(style == bmsFlat ? "flat" : "enhanced");
    TPaintCase p(style, dsTop, 3, 300, 1);
    TDibSurface s = p.Client();
    TRect r = p.Bar->ItemLinks()->Items(1)->ItemRect();
    int band = style == bmsFlat ? 5 : 6;
    ASSERT_EQ(p.Bar->ItemLinks()->Items(1)->Control()->SeparatorRect(), TRect(r.left - band, 0, r.left, s.Height()));
    TPixels e;
    for (int y = 1; y < s.Height() - 1; ++y) {
      if (style == bmsFlat) {
        e[{r.left - 3, y}] = GetSysColor(COLOR_BTNSHADOW);
      } else {
        e[{r.left - 4, y}] = GetSysColor(COLOR_BTNSHADOW);
        e[{r.left - 3, y}] = GetSysColor(COLOR_BTNHIGHLIGHT);
      }
    }
    ExpectArea(s, TRect(r.left - band, 1, r.left, s.Height() - 1), e, p.Background());
  }
}

TEST(BarsToolbarPaint, TheBackgroundLeavesEveryItemAlone) {
  struct TCase {
    const char* Name;
    TdxBarManagerStyle Style;
    TdxBarDockingStyle Docking;
  } cases[] = {{"enhanced, horizontal", bmsEnhanced, dsTop}, {"standard, vertical", bmsStandard, dsLeft},
               {"flat, floating", bmsFlat, dsNone}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TPaintCase p(c.Style, c.Docking, 5, 300, 2, TBlankButtonControl::Class());
    if (c.Docking == dsNone) ASSERT_TRUE(WaitVisible(p.Control()->Handle()));
    TDibSurface s = p.Client();
    HRGN items = CreateRectRgn(0, 0, 0, 0);
    TdxBarItemLinks* links = p.Bar->ItemLinks();
    for (int i = 0; i < links->VisibleItemCount(); ++i) {
      const TRect& r = links->VisibleItems(i)->ItemRect();
      HRGN one = CreateRectRgn(r.left, r.top, r.right, r.bottom);
      CombineRgn(items, items, one, RGN_OR);
      DeleteObject(one);
    }
    int wrong = 0;
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x) {
        bool item = PtInRegion(items, x, y) != FALSE;
        if ((s.Pixel(x, y) == kSentinel) != item && ++wrong <= 5)
          ADD_FAILURE() << "pixel " << x << "," << y << (item ? " of an item was painted" : " was left unpainted");
      }
    DeleteObject(items);
  }
}
