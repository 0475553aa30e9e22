// The shadow arithmetic over plain records: the strips of a window and its
// opener, which of them may show, their alpha pictures and the strip width.
#include "Barstest.h"
#include "bars/Dxbarshadow.h"

namespace {

struct TPart {
  TdxBarShadowPartKind Kind;
  TdxBarShadowCorners Corners;
  TRect Bounds;
};

std::string Describe(const std::vector<TdxBarShadowPartRec>& parts) {
  std::string s;
  for (const TdxBarShadowPartRec& p : parts) {
    s += p.Kind == spVertical ? "V[" : "H[";
    if (p.Corners.Contains(scLeft)) s += "L";
    if (p.Corners.Contains(scRight)) s += "R";
    if (p.Corners.Contains(scTop)) s += "T";
    s += "] " + std::to_string(p.Bounds.left) + "," + std::to_string(p.Bounds.top) + "," +
         std::to_string(p.Bounds.right) + "," + std::to_string(p.Bounds.bottom) + "; ";
  }
  return s;
}

}  // namespace

TEST(BarsShadowLayout, StripsPerJoin) {
  const struct {
    const char* Name;
    TRect Opener, Owner;
    bool Horizontal;
    std::string Want;
  } cases[] = {
      // A popup menu: its right strip fades at the top, its bottom strip at
      // both ends.
      {"no opener", TRect(), TRect(100, 100, 200, 300), true,
       "H[LR] 104,300,204,304; V[T] 200,104,204,300; "},
      // Below a narrower button: the button's right strip, the menu's
      // bottom and right strips.
      {"below a button", TRect(10, 20, 50, 40), TRect(10, 40, 150, 200), true,
       "V[T] 50,24,54,40; H[LR] 14,200,154,204; V[T] 150,44,154,200; "},
      // Below a button wider than the menu: the part of the button's bottom
      // beyond the menu is shadowed, and the menu's right strip has no fade.
      {"button wider than its menu", TRect(10, 20, 200, 40), TRect(10, 40, 150, 200), true,
       "V[T] 200,24,204,40; H[LR] 14,200,154,204; H[R] 150,40,204,44; V[] 150,40,154,200; "},
      // A button reaching left of its menu shadows its bottom-left part.
      {"button left of its menu", TRect(0, 20, 50, 40), TRect(20, 40, 150, 200), true,
       "V[T] 50,24,54,40; H[LR] 24,200,154,204; H[L] 4,40,20,44; V[T] 150,44,154,200; "},
      // Above its button: swapped, the menu taken as the upper rectangle.
      {"menu above its button", TRect(10, 300, 50, 320), TRect(10, 100, 150, 300), true,
       "V[T] 150,104,154,300; H[LR] 14,320,54,324; H[R] 50,300,154,304; V[] 50,300,54,320; "},
      // Beside an item of a vertical toolbar, the item inside the menu's
      // height: no extra strips.
      {"vertical join", TRect(0, 100, 30, 130), TRect(30, 100, 130, 300), false,
       "V[T] 130,104,134,300; H[L] 4,130,30,134; H[LR] 34,300,134,304; "},
      // The item reaching above and below the menu: the extra strips.
      {"vertical join, taller item", TRect(0, 80, 30, 320), TRect(30, 100, 130, 300), false,
       "V[T] 130,104,134,300; V[T] 30,84,34,100; H[LR] 4,320,34,324; V[] 30,300,34,320; H[R] 30,300,134,304; "},
      // The menu left of its item: swapped.
      {"vertical join, menu left", TRect(200, 100, 230, 130), TRect(100, 100, 200, 300), false,
       "V[T] 230,104,234,130; H[LR] 104,300,204,304; V[] 200,130,204,300; H[R] 200,130,234,134; "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TdxBarShadowLayout l = dxBarShadowLayout(c.Opener, c.Owner, 4);
    EXPECT_EQ(l.HorizontalJoin, c.Horizontal);
    EXPECT_EQ(Describe(l.Parts), c.Want);
    EXPECT_LE(l.Parts.size(), 5u);
    // Laid out again from what it keeps, nothing changes.
    EXPECT_EQ(Describe(dxBarShadowLayout(l.First, l.Second, 4).Parts), c.Want);
  }
  // Two pixels wide.
  EXPECT_EQ(Describe(dxBarShadowLayout(TRect(), TRect(100, 100, 200, 300), 2).Parts),
            "H[LR] 102,300,202,302; V[T] 200,102,202,300; ");
}

TEST(BarsShadowLayout, StripsTooSmallForTheirFadesNeverShow) {
  const struct {
    TdxBarShadowCorners Corners;
    TRect Bounds;
    bool Shows;
  } cases[] = {
      {{}, TRect(0, 0, 1, 1), true},
      {{scTop}, TRect(0, 0, 4, 4), true},
      {{scTop}, TRect(0, 0, 4, 3), false},
      {{scLeft, scRight}, TRect(0, 0, 3, 4), false},
      {{scLeft}, TRect(0, 0, 50, 4), true},
  };
  for (const auto& c : cases) EXPECT_EQ(dxBarShadowPartCanShow({spHorizontal, c.Corners, c.Bounds}, 4), c.Shows);
  // A button reaching two pixels left of its menu: that bit of its bottom
  // strip is too short for its fade.
  TdxBarShadowLayout l = dxBarShadowLayout(TRect(0, 20, 50, 40), TRect(6, 40, 150, 200), 4);
  ASSERT_EQ(l.Parts.size(), 4u);
  EXPECT_FALSE(dxBarShadowPartCanShow(l.Parts[2], 4));
}

TEST(BarsShadowLayout, AlphaDarkestNextToTheEdgeWithFadingEnds) {
  auto column = [](const std::vector<uint8_t>& a, int width, int x) {
    std::vector<int> v;
    for (size_t i = static_cast<size_t>(x); i < a.size(); i += static_cast<size_t>(width)) v.push_back(a[i]);
    return v;
  };
  // Plain strips: 60, 45, 30, 15 away from the edge.
  std::vector<uint8_t> v = dxBarShadowAlpha(spVertical, {}, 4, 6, 4);
  EXPECT_EQ(std::vector<int>(v.begin(), v.begin() + 4), (std::vector<int>{60, 45, 30, 15}));
  EXPECT_EQ(column(v, 4, 0), std::vector<int>(6, 60));
  std::vector<uint8_t> h = dxBarShadowAlpha(spHorizontal, {}, 6, 4, 4);
  EXPECT_EQ(column(h, 6, 5), (std::vector<int>{60, 45, 30, 15}));
  // The left end fades over four pixels: alpha * (i + 1) / 5.
  std::vector<uint8_t> l = dxBarShadowAlpha(spHorizontal, {scLeft}, 8, 4, 4);
  EXPECT_EQ(std::vector<int>(l.begin(), l.begin() + 8), (std::vector<int>{12, 24, 36, 48, 60, 60, 60, 60}));
  EXPECT_EQ(l[3 * 8 + 0], 3);
  // The right end, mirrored.
  std::vector<uint8_t> r = dxBarShadowAlpha(spHorizontal, {scRight}, 8, 4, 4);
  EXPECT_EQ(std::vector<int>(r.begin(), r.begin() + 8), (std::vector<int>{60, 60, 60, 60, 48, 36, 24, 12}));
  // Both ends of a bottom strip.
  std::vector<uint8_t> lr = dxBarShadowAlpha(spHorizontal, {scLeft, scRight}, 10, 4, 4);
  EXPECT_EQ(std::vector<int>(lr.begin(), lr.begin() + 10), (std::vector<int>{12, 24, 36, 48, 60, 60, 48, 36, 24, 12}));
  // The top of a right strip.
  std::vector<uint8_t> t = dxBarShadowAlpha(spVertical, {scTop}, 4, 8, 4);
  EXPECT_EQ(column(t, 4, 0), (std::vector<int>{12, 24, 36, 48, 60, 60, 60, 60}));
  EXPECT_EQ(std::vector<int>(t.begin(), t.begin() + 4), (std::vector<int>{12, 9, 6, 3}));
  EXPECT_TRUE(dxBarShadowAlpha(spVertical, {}, 0, 5, 4).empty());
}

TEST(BarsShadowLayout, FourPixelsWithLayeredWindowsElseTwo) {
  TUpdateLayeredWindowProc saved = UpdateLayeredWindowProc;
  int bits = ScreenBitsPixel;
  auto restore = [&] {
    UpdateLayeredWindowProc = saved;
    ScreenBitsPixel = bits;
  };
  UpdateLayeredWindowProc = reinterpret_cast<TUpdateLayeredWindowProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "UpdateLayeredWindow")));
  ScreenBitsPixel = 32;
  EXPECT_TRUE(TdxBarShadow::GetTransparent());
  EXPECT_EQ(TdxBarShadow::GetShadowSize(), 4);
  ScreenBitsPixel = 8;
  EXPECT_FALSE(TdxBarShadow::GetTransparent());
  EXPECT_EQ(TdxBarShadow::GetShadowSize(), 2);
  ScreenBitsPixel = 16;
  UpdateLayeredWindowProc = nullptr;
  EXPECT_EQ(TdxBarShadow::GetShadowSize(), 2);
  restore();
}
