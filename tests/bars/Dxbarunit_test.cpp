// Unit services: registries, drawing primitives, drains, mouse-leave
// tracking, sounds, flags and the unit's start.
#include "Barstest.h"
#include "bars/extitems/Dxbarextitems.h"
#include "bars/Dxbarquickcust.h"
#include "bars/Dxbarwinitems.h"
#include "support/Pixels.h"
#include "support/Testutil.h"

#include <mmsystem.h>

#include <new>
#include <set>

namespace {

class TUnregisteredButton : public TdxBarButton {
 public:
  using TdxBarButton::TdxBarButton;
  DX_BAR_ITEM_CLASS();
};
DX_BAR_ITEM_CLASS_IMPL(TUnregisteredButton)

// The extended items registered after the core's ten classes (seven of
// them visible).
constexpr int kExtItems = 13;
constexpr int kAll = 10 + kExtItems;
constexpr int kVisible = 7 + kExtItems;

}  // namespace

TEST(BarsRegistry, CoreClassesComeFirstInOrder) {
  TdxBarItemClass core[] = {TdxBarButton::Class(),  TdxBarEdit::Class(),    TCustomdxBarCombo::Class(),
                            TdxBarCombo::Class(),   TdxBarSubItem::Class(), TdxBarListItem::Class(),
                            TdxBarContainerItem::Class()};
  // The quick customization items and the system-menu item are not
  // offered to the user; the extended items follow.
  ASSERT_EQ(dxBarItemCount(), kAll);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(dxBarItemClass(i), core[i]) << i;
  EXPECT_EQ(dxBarItemClass(7), TdxBarQuickCustExtButton::Class());
  EXPECT_EQ(dxBarItemClass(8), TdxBarQuickCustItem::Class());
  EXPECT_EQ(dxBarItemClass(9), TSystemMenuSubItem::Class());
  EXPECT_EQ(dxBarItemClass(10), TdxBarStatic::Class());
  EXPECT_EQ(dxBarItemClass(kAll), nullptr);
  EXPECT_EQ(dxBarVisibleItemCount(), kVisible);
  EXPECT_EQ(dxBarVisibleItemClass(6), TdxBarContainerItem::Class());
  EXPECT_EQ(dxBarVisibleItemClass(7), TdxBarStatic::Class());
  for (int index : {-1, kVisible, kVisible + 1}) EXPECT_EQ(dxBarVisibleItemClass(index), nullptr) << index;
  // Made by name, each with its control.
  TBarsForm* form = new TBarsForm;
  auto* combo = dynamic_cast<TdxBarCombo*>(dxBarFindClass("TdxBarCombo")(form));
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(dxBarItemControlClass(combo), TdxBarComboControl::Class());
  form->Free();
}

TEST(BarsRegistry, AppendsUnregistersTheFirstMatchAndLooksUpTheExactClass) {
  TBarsForm* form = new TBarsForm;
  auto* mine = new TUnregisteredButton(form);
  // An unregistered subclass of a registered class gets no control.
  EXPECT_EQ(dxBarItemControlClass(mine), nullptr);
  EXPECT_EQ(dxBarItemControlClass(form->Button("Plain")), TdxBarButtonControl::Class());
  EXPECT_EQ(dxBarFindClass("TUnregisteredButton"), nullptr);

  dxBarRegisterItem(TUnregisteredButton::Class(), TdxBarSubItemControl::Class(), false);
  dxBarRegisterItem(TUnregisteredButton::Class(), TdxBarButtonControl::Class(), true);
  EXPECT_EQ(dxBarItemCount(), kAll + 2);
  EXPECT_EQ(dxBarItemClass(kAll + 1), TUnregisteredButton::Class());
  EXPECT_EQ(dxBarVisibleItemCount(), kVisible + 1);
  EXPECT_EQ(dxBarVisibleItemClass(kVisible), TUnregisteredButton::Class());
  EXPECT_EQ(dxBarItemControlClass(mine), TdxBarSubItemControl::Class());
  // Registered items are made by name.
  TComponent* made = dxBarFindClass("TUnregisteredButton")(form);
  EXPECT_NE(dynamic_cast<TUnregisteredButton*>(made), nullptr);
  EXPECT_EQ(form->Manager->IndexOfItem(static_cast<TdxBarItem*>(made)), 2);

  dxBarUnregisterItem(TUnregisteredButton::Class());
  EXPECT_EQ(dxBarItemCount(), kAll + 1);
  EXPECT_EQ(dxBarItemControlClass(mine), TdxBarButtonControl::Class());
  dxBarUnregisterItem(TUnregisteredButton::Class());
  dxBarUnregisterItem(TUnregisteredButton::Class());
  EXPECT_EQ(dxBarItemCount(), kAll);
  EXPECT_EQ(dxBarItemControlClass(mine), nullptr);
  form->Free();
}

TEST(BarsRegistry, AnItemWithoutControlClassIsNotShown) {
  TBarsForm* form = new TBarsForm;
  TdxBar* bar = form->AddBar("Tools");
  bar->ItemLinks()->Add()->SetItem(form->Button("Plain", "Plain"));
  bar->ItemLinks()->Add()->SetItem(new TUnregisteredButton(form));
  bar->SetVisible(true);
  ASSERT_NE(bar->Control(), nullptr);
  EXPECT_NE(bar->ItemLinks()->Items(0)->Control(), nullptr);
  EXPECT_EQ(bar->ItemLinks()->Items(1)->Control(), nullptr);
  form->Free();
}

TEST(BarsRegistry, BarWindowsAreKnownByTheirSerialNumber) {
  TBarsForm* form = new TBarsForm;
  // The second window is made where the first one was.
  alignas(TdxBarSubMenuControl) unsigned char place[sizeof(TdxBarSubMenuControl)];
  auto* first = new (place) TdxBarSubMenuControl(form->Manager);
  TdxBarControlRef ref(first);
  EXPECT_TRUE(BarControlExists(ref));
  first->~TdxBarSubMenuControl();
  EXPECT_FALSE(BarControlExists(ref));
  auto* second = new (place) TdxBarSubMenuControl(form->Manager);
  EXPECT_EQ(static_cast<void*>(second), static_cast<void*>(first));
  EXPECT_FALSE(BarControlExists(ref));
  EXPECT_TRUE(BarControlExists(TdxBarControlRef(second)));
  EXPECT_FALSE(BarControlExists(TdxBarControlRef(nullptr)));
  second->~TdxBarSubMenuControl();
  form->Free();
}

TEST(BarsUnit, StartsOnceAndLoadsTheCursors) {
  TdxBarManagerList* list = dxBarManagerList;
  dxBarInitialize();
  EXPECT_EQ(dxBarManagerList, list);
  EXPECT_EQ(dxBarItemCount(), kAll);
  dxBarFinalize();
  EXPECT_TRUE(dxBarInitialized());
  EXPECT_EQ(dxBarManagerList, list);
  std::set<HCURSOR> cursors;
  for (TCursor c : {crdxBarDrag, crdxBarDragCopy, crdxBarDragNoDrop, crdxBarEditSizing}) {
    HCURSOR h = Screen->Cursors(c);
    EXPECT_NE(h, nullptr) << c;
    EXPECT_NE(h, Screen->Cursors(crDefault)) << c;
    cursors.insert(h);
  }
  EXPECT_EQ(cursors.size(), 4u);
}

TEST(BarsUnit, NewerWindowsCountAsWindows98Or2000) {
  struct TCase {
    DWORD Platform, Major, Minor;
    bool Win9x, Win95, Win98OrW2K;
  } cases[] = {
      {VER_PLATFORM_WIN32_WINDOWS, 4, 0, true, true, false},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, true, false, true},
      {VER_PLATFORM_WIN32_NT, 4, 0, false, false, false},
      {VER_PLATFORM_WIN32_NT, 5, 0, false, false, true},
      {VER_PLATFORM_WIN32_NT, 6, 1, false, false, true},
      {VER_PLATFORM_WIN32_NT, 10, 0, false, false, true},
  };
  for (const auto& c : cases) {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    v.dwPlatformId = c.Platform;
    v.dwMajorVersion = c.Major;
    v.dwMinorVersion = c.Minor;
    dxBarSetOSFlags(v);
    EXPECT_EQ(dxBarOS::IsWin9x, c.Win9x) << c.Major << "." << c.Minor;
    EXPECT_EQ(dxBarOS::IsWin95, c.Win95) << c.Major << "." << c.Minor;
    EXPECT_EQ(dxBarOS::IsWin98OrW2K, c.Win98OrW2K) << c.Major << "." << c.Minor;
  }
  // Wine reports NT 10.
  OSVERSIONINFOA real{};
  real.dwOSVersionInfoSize = sizeof real;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExA(&real);
#pragma GCC diagnostic pop
  dxBarSetOSFlags(real);
  EXPECT_TRUE(dxBarOS::IsWin98OrW2K);
}

TEST(BarsText, AcceleratorMarksAreDropped) {
  struct TCase {
    const char* In;
    const char* Out;
  } cases[] = {{"&File", "File"}, {"A&&B", "A&B"}, {"&&", "&"}, {"Save&", "Save&"}, {"", ""}, {"E&xit", "Exit"}};
  for (const auto& c : cases) EXPECT_EQ(GetTextOf(c.In), c.Out) << c.In;
}

TEST(BarsSound, MenuSoundsGoToTheSink) {
  TScopedDialogs d;
  PlayMenuSound(0);
  PlayMenuSound(1);
  PlayMenuSound(2);
  ASSERT_EQ(d.Dialogs.Sounds.size(), 2u);
  EXPECT_EQ(d.Dialogs.Sounds[0].Alias, "MenuPopup");
  EXPECT_EQ(d.Dialogs.Sounds[1].Alias, "MenuCommand");
  EXPECT_EQ(d.Dialogs.Sounds[0].Flags | SND_ALIAS, 0x00012003u);
}

// ---------------------------------------------------------------- drawing

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kText = RGB(200, 0, 0);
constexpr COLORREF kShadow = RGB(0, 0, 160);
constexpr COLORREF kHighlight = RGB(0, 160, 0);
constexpr COLORREF kSelectedText = RGB(160, 160, 0);

struct TArrowColors {
  TScopedBarSystem Sys;
  TArrowColors() {
    Sys.System.Colors[COLOR_BTNTEXT] = kText;
    Sys.System.Colors[COLOR_BTNSHADOW] = kShadow;
    Sys.System.Colors[COLOR_BTNHIGHLIGHT] = kHighlight;
    Sys.System.Colors[COLOR_HIGHLIGHTTEXT] = kSelectedText;
  }
};

void Fill(TDibSurface& s, COLORREF c) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) s.SetPixel(x, y, c);
}

// The triangle of an arrow of this size at (x, y).
std::set<std::pair<int, int>> Triangle(TdxArrowType type, int x, int y, int size) {
  std::set<std::pair<int, int>> px;
  for (int k = 0; k < size; ++k)
    for (int j = k; j <= 2 * size - 2 - k; ++j)
      px.insert(type == atRight ? std::make_pair(x + k, y + j) : std::make_pair(x + j, y + k));
  return px;
}

}  // namespace

TEST(BarsDrawing, ArrowSizeFollowsTheRectangle) {
  struct TCase {
    TRect R;
    TdxArrowType Type;
    int Size;
  } cases[] = {
      {TRect(0, 0, 20, 15), atRight, 5}, {TRect(0, 0, 20, 16), atRight, 4}, {TRect(0, 0, 20, 12), atRight, 3},
      {TRect(0, 0, 20, 0), atRight, 3},  {TRect(0, 0, 17, 30), atDown, 5},  {TRect(0, 0, 18, 30), atDown, 4},
  };
  for (const auto& c : cases) EXPECT_EQ(ItemArrowSize(c.R, c.Type), c.Size) << c.R.Width() << "x" << c.R.Height();
}

TEST(BarsDrawing, ArrowsAreExactTrianglesWithTheEtchOnlyWhenDisabledAndNotFlat) {
  TArrowColors colors;
  struct TCase {
    TdxArrowType Type;
    bool Enabled, Selected, Flat;
  } cases[] = {
      {atRight, true, false, false}, {atRight, true, true, false}, {atRight, false, false, false},
      {atRight, false, false, true}, {atDown, false, false, false}, {atDown, true, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "type " << c.Type << " enabled " << c.Enabled << " selected " << c.Selected
                                      << " flat " << c.Flat);
    TDibSurface s(24, 24);
    Fill(s, kWhite);
    TRect r = c.Type == atRight ? TRect(2, 1, 22, 16) : TRect(1, 2, 18, 22);
    DrawItemArrow(s.Dc(), r, c.Type, c.Enabled, c.Selected, c.Flat);
    GdiFlush();
    int size = 5;
    int x = c.Type == atRight ? (r.left + r.right - size) / 2 : (r.left + r.right - (2 * size - 1)) / 2;
    int y = c.Type == atRight ? (r.top + r.bottom - (2 * size - 1)) / 2 : (r.top + r.bottom - size) / 2;
    auto tri = Triangle(c.Type, x, y, size);
    std::set<std::pair<int, int>> etch;
    if (!c.Enabled && !c.Flat)
      for (int t = 0; t < size; ++t) {
        if (c.Type == atRight) {
          if (t < size - 1) etch.insert({x + size - 1 - t, y + size + t});
          etch.insert({x + size - t, y + size + t});
        } else {
          if (t < size - 1) etch.insert({x + size + t, y + size - 1 - t});
          etch.insert({x + size + t, y + size - t});
        }
      }
    COLORREF arrow = !c.Enabled ? kShadow : c.Selected ? kSelectedText : kText;
    int wrong = 0;
    for (int py = 0; py < s.Height(); ++py)
      for (int px = 0; px < s.Width(); ++px) {
        COLORREF want = etch.count({px, py}) ? kHighlight : tri.count({px, py}) ? arrow : kWhite;
        if (s.Pixel(px, py) != want && ++wrong <= 5)
          ADD_FAILURE() << "pixel " << px << "," << py << " is " << ColorText(s.Pixel(px, py)) << ", not "
                        << ColorText(want);
      }
    EXPECT_EQ(wrong, 0);
  }
}

TEST(BarsDrawing, TheCheckerboardAndTheGradient) {
  {
    TScopedBarSystem sys;
    sys.System.Colors[COLOR_BTNFACE] = RGB(10, 20, 30);
    sys.System.Colors[COLOR_BTNHIGHLIGHT] = RGB(240, 230, 220);
    dxBarSysColorChanged();
    TDibSurface s(8, 8);
    RECT r{0, 0, 8, 8};
    FillRect(s.Dc(), &r, PatternBrush());
    GdiFlush();
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        EXPECT_EQ(s.Pixel(x, y), x % 2 == y % 2 ? RGB(10, 20, 30) : RGB(240, 230, 220)) << x << "," << y;
  }
  dxBarSysColorChanged();
  TOwned<TBitmap> b(new TBitmap);
  b->SetSize(4, 256);
  DrawVerticalGradient(b->Canvas(), TRect(0, 0, 4, 256), 0, 255, 100, 100, 255, 0);
  struct TCase {
    int Row;
    COLORREF Color;
  } cases[] = {{0, RGB(0, 100, 255)}, {128, RGB(128, 100, 127)}, {255, RGB(255, 100, 0)}};
  for (const auto& c : cases) EXPECT_EQ(b->Canvas()->Pixel(2, c.Row), c.Color) << c.Row;
}

namespace {

// A 4 x 4 glyph: magenta (transparent, bottom-left) with red at (1, 1) and
// blue at (2, 1), drawn at (2, 2) of an 8 x 8 white surface.
struct TGlyphCase {
  TScopedBarSystem Sys;
  TOwned<TBitmap> Glyph{new TBitmap};
  TDibSurface Surface{8, 8};
  HBRUSH Brush = CreateSolidBrush(kWhite);
  TGlyphCase(COLORREF background = RGB(255, 0, 255)) {
    Sys.System.Colors[COLOR_BTNSHADOW] = kShadow;
    Sys.System.Colors[COLOR_BTNHIGHLIGHT] = kHighlight;
    Sys.System.Colors[COLOR_BTNFACE] = RGB(212, 208, 200);
    Glyph->SetSize(4, 4);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) Glyph->Canvas()->SetPixel(x, y, static_cast<TColor>(background));
    Glyph->Canvas()->SetPixel(1, 1, clRed);
    Glyph->Canvas()->SetPixel(2, 1, clBlue);
    Fill(Surface, kWhite);
  }
  ~TGlyphCase() { DeleteObject(Brush); }
  void Draw(bool enabled, bool grayed, bool flat, bool raise = false, bool keep = false) {
    TransparentDraw(Surface.Dc(), Brush, TRect(0, 0, 8, 8), TRect(2, 2, 6, 6), Glyph.get(), nullptr, -1, enabled,
                    grayed, flat, raise, keep, false, clFuchsia);
    GdiFlush();
  }
  // Every pixel but the listed ones is white.
  void Expect(const std::map<std::pair<int, int>, COLORREF>& want) {
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        auto it = want.find({x, y});
        EXPECT_TRUE(ColorAt(Surface, x, y, it == want.end() ? kWhite : it->second, 1)) << x << "," << y;
      }
  }
};

}  // namespace

TEST(BarsDrawing, GlyphLooks) {
  {
    SCOPED_TRACE("normal");
    TGlyphCase g;
    g.Draw(true, false, false);
    g.Expect({{{3, 3}, RGB(255, 0, 0)}, {{4, 3}, RGB(0, 0, 255)}});
  }
  {
    SCOPED_TRACE("grey");
    TGlyphCase g;
    g.Draw(true, true, false);
    g.Expect({{{3, 3}, RGB(85, 85, 85)}, {{4, 3}, RGB(85, 85, 85)}});
  }
  {
    SCOPED_TRACE("faded 30 % toward white");
    TGlyphCase g;
    g.Draw(true, false, true);
    g.Expect({{{3, 3}, RGB(255, 77, 77)}, {{4, 3}, RGB(77, 77, 255)}});
  }
  {
    SCOPED_TRACE("flat, kept colours");
    TGlyphCase g;
    g.Draw(true, false, true, false, true);
    g.Expect({{{3, 3}, RGB(255, 0, 0)}, {{4, 3}, RGB(0, 0, 255)}});
  }
  {
    SCOPED_TRACE("raised: up and left with a shadow down and right");
    TGlyphCase g;
    g.Draw(true, false, true, true);
    g.Expect({{{2, 2}, RGB(255, 0, 0)}, {{3, 2}, RGB(0, 0, 255)}, {{4, 4}, kShadow}, {{5, 4}, kShadow}});
  }
  {
    SCOPED_TRACE("disabled: embossed");
    TGlyphCase g;
    g.Draw(false, false, false);
    g.Expect({{{3, 3}, kShadow}, {{4, 3}, kShadow}, {{5, 4}, kHighlight}, {{4, 4}, kHighlight}});
  }
  {
    SCOPED_TRACE("disabled and flat: no highlight");
    TGlyphCase g;
    g.Draw(false, false, true);
    g.Expect({{{3, 3}, kShadow}, {{4, 3}, kShadow}});
  }
}

TEST(BarsDrawing, AUniformGlyphIsInvisible) {
  TGlyphCase g;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) g.Glyph->Canvas()->SetPixel(x, y, clRed);
  g.Draw(true, false, false);
  g.Expect({});
}

TEST(BarsDrawing, ABlackFaceSwapsTheRasterOperations) {
  TGlyphCase g;
  g.Sys.System.Colors[COLOR_BTNFACE] = RGB(0, 0, 0);
  g.Draw(true, false, false);
  // The glyph's pixels come out inverted, the background stays.
  g.Expect({{{3, 3}, RGB(0, 255, 255)}, {{4, 3}, RGB(255, 255, 0)}});
}

TEST(BarsDrawing, ADisabledGlyphOnWhiteShowsOnlyItsPixels) {
  TGlyphCase g(RGB(255, 255, 255));
  g.Draw(false, false, true);
  g.Expect({{{3, 3}, kShadow}, {{4, 3}, kShadow}});
}

// ---------------------------------------------------------------- drains and tracking

namespace {

struct TCountingWindow {
  HWND Wnd;
  std::map<UINT, int> Count;
  TCountingWindow() {
    Wnd = AllocateHWnd([this](TMessage& m) {
      ++Count[m.Msg];
      m.Result = DefWindowProcA(Wnd, m.Msg, m.WParam, m.LParam);
    });
  }
  ~TCountingWindow() { DeallocateHWnd(Wnd); }
};

// Takes a WM_QUIT left in the queue; its exit code, or -1.
int TakeQuit() {
  MSG msg;
  int code = -1;
  if (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) code = static_cast<int>(msg.wParam);
  ResetQuitReceived();
  return code;
}

}  // namespace

TEST(BarsDrains, HandOnTheirMessagesAndPostAQuitAgain) {
  TCountingWindow w;
  PostMessageA(w.Wnd, WM_PAINT, 0, 0);
  PostQuitMessage(7);
  ProcessPaintMessages();
  EXPECT_EQ(w.Count[WM_PAINT], 1);
  EXPECT_EQ(TakeQuit(), 7);

  PostMessageA(w.Wnd, WM_MOUSEMOVE, 0, 0);
  PostMessageA(w.Wnd, WM_LBUTTONUP, 0, 0);
  PostMessageA(w.Wnd, WM_KEYDOWN, 'A', 0);
  PostQuitMessage(9);
  ProcessMouseMessages();
  EXPECT_EQ(w.Count[WM_MOUSEMOVE], 1);
  EXPECT_EQ(w.Count[WM_LBUTTONUP], 1);
  EXPECT_EQ(w.Count[WM_KEYDOWN], 0);
  EXPECT_EQ(TakeQuit(), 9);
  ProcessQueuedMessages();
  // With nothing queued they return at once.
  ProcessPaintMessages();
  ProcessMouseMessages();
}

TEST(BarsTracking, TheTimerFallbackSendsOneMouseLeavePerWindow) {
  TScopedBarSystem sys;
  TTrackMouseEventProc saved = TrackMouseEventProc;
  TrackMouseEventProc = nullptr;
  sys.System.Cursor = TPoint(-30000, -30000);
  TCountingWindow first, second;
  BeginMouseTracking(first.Wnd);
  BeginMouseTracking(first.Wnd);
  EXPECT_TRUE(IsMouseTracking(first.Wnd));
  EXPECT_EQ(sys.System.LiveTimers(50), 1);
  // Tracking another window ends the first at once.
  BeginMouseTracking(second.Wnd);
  EXPECT_EQ(first.Count[WM_MOUSELEAVE], 1);
  EXPECT_FALSE(IsMouseTracking(first.Wnd));
  EXPECT_EQ(sys.System.LiveTimers(50), 1);
  // The cursor is elsewhere: the timer ends the second.
  EXPECT_TRUE(sys.System.Fire(50));
  EXPECT_EQ(second.Count[WM_MOUSELEAVE], 1);
  EXPECT_EQ(sys.System.LiveTimers(50), 0);
  EndMouseTracking(second.Wnd);
  EXPECT_FALSE(sys.System.Fire(50));
  EXPECT_EQ(first.Count[WM_MOUSELEAVE], 1);
  EXPECT_EQ(second.Count[WM_MOUSELEAVE], 1);
  TrackMouseEventProc = saved;
}
