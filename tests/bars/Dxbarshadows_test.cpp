// The drop shadows of the flat style on the menu fixture, through real
// input: where the strips lie and what they change on the screen, clicks
// through them, the two-pixel fallback, a popup menu's shadow, and a
// floating bar's shadow following it, hiding with it and going when it
// docks.
#include <algorithm>
#include <tuple>

#include "Heldframes.h"
#include "Menufixture.h"
#include "bars/Dxbarshadow.h"
#include "classlib/Stdctrls.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Winwait.h"

namespace {

struct TFlatFrame : TShownMenuFrame {
  explicit TFlatFrame(TRect bounds = Bounds(20, 20, 640, 420)) : TShownMenuFrame(bounds) {
    Form->Bar1->SetStyle(bmsFlat);
    ProcessQueuedMessages();
  }
  TRect FormRect() const {
    RECT r;
    GetWindowRect(Form->Handle(), &r);
    return TRect(r);
  }
};

// The strip windows of this thread (only the shown ones, or all).
std::vector<HWND> Strips(bool shownOnly = true) {
  struct TFound {
    std::vector<HWND> Wnds;
    bool ShownOnly;
  } found{{}, shownOnly};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM l) -> BOOL {
        auto* f = reinterpret_cast<TFound*>(l);
        char cls[64] = {};
        GetClassNameA(w, cls, sizeof cls);
        if (String(cls) == "TdxBarShadowPart" && (!f->ShownOnly || IsWindowVisible(w))) f->Wnds.push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.Wnds;
}

std::vector<TRect> Sorted(std::vector<TRect> v) {
  std::sort(v.begin(), v.end(), [](const TRect& a, const TRect& b) {
    return std::tie(a.left, a.top, a.right, a.bottom) < std::tie(b.left, b.top, b.right, b.bottom);
  });
  return v;
}

std::vector<TRect> StripRects() {
  std::vector<TRect> v;
  for (HWND w : Strips()) {
    RECT r;
    GetWindowRect(w, &r);
    v.push_back(TRect(r));
  }
  return Sorted(v);
}

// The strips the table gives that can show.
std::vector<TRect> TableRects(const TRect& opener, const TRect& owner, int size) {
  std::vector<TRect> v;
  for (const TdxBarShadowPartRec& p : dxBarShadowLayout(opener, owner, size).Parts)
    if (dxBarShadowPartCanShow(p, size)) v.push_back(p.Bounds);
  return Sorted(v);
}

// Pixels of a surface taken of the rectangle at, by screen coordinates.
COLORREF At(const TDibSurface& s, const TRect& at, int x, int y) { return s.Pixel(x - at.left, y - at.top); }

// How many pixels of the row (or column) differ between the two shots.
int Differing(const TDibSurface& a, const TDibSurface& b, const TRect& at, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (At(a, at, x, y) != At(b, at, x, y)) ++n;
  return n;
}

class TScopedNoLayeredWindows {
 public:
  TScopedNoLayeredWindows() : saved_(UpdateLayeredWindowProc) { UpdateLayeredWindowProc = nullptr; }
  ~TScopedNoLayeredWindows() { UpdateLayeredWindowProc = saved_; }

 private:
  TUpdateLayeredWindowProc saved_;
};

}  // namespace

TEST(BarsShadows, FileCastsThreeStripsThatDarkenFourRowsAndAClickGoesThrough) {
  TFlatFrame f;
  ASSERT_TRUE(TdxBarShadow::GetTransparent());
  // The menu and its strips over plain ground: no toolbar text under them.
  f.Form->Standard()->SetVisible(false);
  // A button under the menu's bottom strip hears the click through it.
  auto* below = new TButton(f.Form);
  below->SetParent(f.Form);
  below->SetAlign(alLeft);
  below->SetWidth(220);
  below->SetCaption("Below");
  int clicks = 0;
  below->OnClick = [&](TObject*) { ++clicks; };
  ProcessQueuedMessages();
  PumpFor(100);
  TRect shot = f.FormRect();
  TDibSurface before = CaptureScreen(shot);
  ASSERT_TRUE(f.ClickAt(TMenuFrame::Centre(f.Title("File"))));
  ASSERT_TRUE(WaitUntil([&] { return f.MenuShown("File") && Strips().size() == 3; }, 3000)) << Strips().size();
  TdxBarSubMenuControl* menu = f.Menu("File");
  TRect m = menu->GetWindowRect();
  TRect title = TMenuFrame::ScreenRect(f.Title("File"));
  EXPECT_TRUE(menu->IsLinkedToOwner());
  EXPECT_EQ(StripRects(), TableRects(title, m, 4));
  EXPECT_EQ(menu->Shadow()->PartCount(), 3);
  PumpFor(100);
  TDibSurface after = CaptureScreen(shot);
  SaveScreenshot(f.Form->Handle(), "shadows");
  // Four rows under the menu and four columns right of it are shaded,
  // the fifth is what was there before.
  int width = m.Width();
  for (int d = 0; d < 4; ++d) {
    SCOPED_TRACE(d);
    EXPECT_EQ(Differing(before, after, shot, m.left + 4, m.bottom + d, m.right + 4, m.bottom + d + 1), width);
    EXPECT_EQ(Differing(before, after, shot, m.right + d, m.top + 4, m.right + d + 1, m.bottom), m.Height() - 4);
  }
  EXPECT_EQ(Differing(before, after, shot, m.left, m.bottom + 4, m.right + 8, m.bottom + 5), 0);
  EXPECT_EQ(Differing(before, after, shot, m.right + 4, m.top, m.right + 5, m.bottom + 8), 0);
  // A click on the bottom strip closes the menu and reaches the button.
  ASSERT_LT(m.left + 20, below->ClientToScreen(TPoint(below->Width(), 0)).x);
  ASSERT_TRUE(f.ClickAt(POINT{m.left + 20, m.bottom + 1}));
  ASSERT_TRUE(WaitUntil([&] { return clicks == 1; }, 2000)) << clicks;
  EXPECT_FALSE(f.MenuShown("File"));
  EXPECT_TRUE(Strips(false).empty());
}

TEST(BarsShadows, WithoutLayeredWindowsTwoRowsOfButtonShadow) {
  TScopedNoLayeredWindows noLayers;
  TFlatFrame f;
  ASSERT_FALSE(TdxBarShadow::GetTransparent());
  PumpFor(100);
  TRect shot = f.FormRect();
  TDibSurface before = CaptureScreen(shot);
  ASSERT_TRUE(f.ClickAt(TMenuFrame::Centre(f.Title("File"))));
  ASSERT_TRUE(WaitUntil([&] { return f.MenuShown("File") && Strips().size() == 3; }, 3000));
  TRect m = f.Menu("File")->GetWindowRect();
  EXPECT_EQ(StripRects(), TableRects(TMenuFrame::ScreenRect(f.Title("File")), m, 2));
  PumpFor(200);
  TDibSurface after = CaptureScreen(shot);
  SaveScreenshot(f.Form->Handle(), "fallback");
  COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  for (int d = 0; d < 2; ++d) {
    SCOPED_TRACE(d);
    int rows = 0, columns = 0;
    for (int x = m.left + 2; x < m.right + 2; ++x) rows += At(after, shot, x, m.bottom + d) == shadow;
    for (int y = m.top + 2; y < m.bottom; ++y) columns += At(after, shot, m.right + d, y) == shadow;
    EXPECT_EQ(rows, m.Width());
    EXPECT_EQ(columns, m.Height() - 2);
  }
  EXPECT_EQ(Differing(before, after, shot, m.left, m.bottom + 2, m.right + 4, m.bottom + 3), 0);
  EXPECT_EQ(Differing(before, after, shot, m.right + 2, m.top, m.right + 3, m.bottom + 4), 0);
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  EXPECT_TRUE(WaitUntil([&] { return Strips(false).empty(); }, 2000));
}

TEST(BarsShadows, APopupMenuCastsTwoStripsAndNoneAfterClosing) {
  TFlatFrame f;
  TScript script;
  std::vector<TRect> strips, table;
  f.Form->EditMenu->OnPopup = [&](TObject*) {
    script.Do([&] {
      TdxBarSubMenuControl* menu = f.Form->EditMenu->SubMenuControl();
      if (!menu) return;
      strips = StripRects();
      table = TableRects(TRect(), menu->GetWindowRect(), 4);
      SaveScreenshot(f.Form->Handle(), "popup");
      menu->HideAll();
    });
  };
  ASSERT_TRUE(Warp(CentreOf(f.Form->Edit1->Handle())));
  ASSERT_TRUE(RightClick(f.Form->Edit1->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return !strips.empty() && !f.Form->EditMenu->SubMenuControl(); }, 3000));
  EXPECT_EQ(strips.size(), 2u);
  EXPECT_EQ(strips, table);
  EXPECT_TRUE(Strips(false).empty());
}

TEST(BarsShadows, AFloatingBarsShadowFollowsItsDragHidesWithItAndGoesWhenDocked) {
  TFlatFrame f;
  TdxBar* standard = f.Form->Standard();
  standard->SetFloatLeft(300);
  standard->SetFloatTop(300);
  standard->SetDockingStyle(dsNone);
  TdxBarControl* bar = standard->Control();
  ASSERT_TRUE(WaitVisible(bar->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return Strips().size() == 2; }, 2000));
  EXPECT_EQ(StripRects(), TableRects(TRect(), bar->GetWindowRect(), 4));
  // Dragged by its caption: the strips come along.
  TRect before = bar->GetWindowRect();
  TRect caption = bar->GetCaptionRect();
  POINT from = bar->ClientToScreen(TPoint((caption.left + caption.right) / 2, (caption.top + caption.bottom) / 2));
  POINT to{from.x + 80, from.y + 60};
  ASSERT_TRUE(Warp(from));
  ASSERT_TRUE(Drag(f.Form->Handle(), f.FormPoint(from), f.FormPoint(to), 8));
  ASSERT_TRUE(Warp(to));
  bar = standard->Control();
  ASSERT_EQ(standard->DockingStyle(), dsNone);
  TRect moved = bar->GetWindowRect();
  EXPECT_NE(moved.TopLeft(), before.TopLeft());
  ASSERT_TRUE(WaitUntil([&] { return StripRects() == TableRects(TRect(), bar->GetWindowRect(), 4); }, 2000));
  SaveScreenshot(f.Form->Handle(), "floating");
  // Another program takes the activation: bar and strips hide, and come
  // back with the form.
  TBarsHelper helper;
  bool hidden = helper.InFront() && WaitUntil([&] { return !IsWindowVisible(bar->Handle()); }, 5000);
  size_t stripsWhileAway = Strips().size();
  helper.Close();
  ASSERT_TRUE(hidden);
  EXPECT_EQ(stripsWhileAway, 0u);
  ASSERT_TRUE(BringToFront(f.Form->Handle()));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(bar->Handle()) && Strips().size() == 2; }, 3000));
  EXPECT_EQ(StripRects(), TableRects(TRect(), bar->GetWindowRect(), 4));
  // Docked, it casts none; the style leaving flat takes them too.
  standard->SetDockingStyle(dsTop);
  EXPECT_TRUE(WaitUntil([&] { return Strips(false).empty(); }, 2000));
  standard->SetDockingStyle(dsNone);
  ASSERT_TRUE(WaitUntil([&] { return Strips().size() == 2; }, 2000));
  f.Form->Bar1->SetStyle(bmsEnhanced);
  EXPECT_TRUE(WaitUntil([&] { return Strips(false).empty(); }, 2000));
}

TEST(BarsShadows, NoneWhileAMenuGrowsTheJoinedOnesOnceItStands) {
  TFlatFrame f;
  f.Form->Bar1->SetMenuAnimations(maUnfold);
  THeldFrames frames(3);
  ASSERT_TRUE(f.ClickAt(TMenuFrame::Centre(f.Title("File"))));
  ASSERT_TRUE(WaitUntil([&] { return frames.HeldAt(3); }, 3000));
  PumpFor(50);
  EXPECT_TRUE(Strips().empty());
  frames.Release();
  ASSERT_TRUE(WaitUntil([&] { return !dxBarMenuAnimating() && Strips().size() == 3; }, 3000)) << Strips().size();
  TRect m = f.Menu("File")->GetWindowRect();
  EXPECT_EQ(StripRects(), TableRects(TMenuFrame::ScreenRect(f.Title("File")), m, 4));
}
