// The program's own pictures: both image lists load with one drawn,
// transparent-cornered, distinct image per index (shown enlarged on a
// sheet to look at), and the JPEGs and icons are in the program.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "classlib/Imglist.h"
#include "classlib/Jpeg.h"
#include "resources/Frameimages.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

constexpr COLORREF kBack = RGB(212, 208, 200);
constexpr int kZoom = 4;

// Every image of both lists, four times their size, with its index.
class TImageSheet : public TForm {
 public:
  TImageSheet(TComponent* owner, TCustomImageList* small, TCustomImageList* bars)
      : TForm(owner), small_(small), bars_(bars) {
    SetCaption("Imgsmall and Imagebars");
    SetBounds(20, 20, 12 * kCell + 40, 6 * kCell + 90);
    SetColor(clWhite);
    OnPaint = {this, &TImageSheet::Paint};
    EndLoading();
  }

 private:
  static constexpr int kCell = 16 * kZoom + 12;
  void Paint(TObject*) {
    HDC dc = Canvas()->Handle();
    SetBkMode(dc, TRANSPARENT);
    int y = DrawList(dc, "Imgsmall", small_, 8);
    DrawList(dc, "Imagebars", bars_, y + 8);
  }
  int DrawList(HDC dc, const char* title, TCustomImageList* list, int top) {
    TextOutA(dc, 12, top, title, lstrlenA(title));
    top += 18;
    TDibSurface one(16, 16);
    for (int i = 0; i < list->Count(); ++i) {
      int x = 12 + (i % 12) * kCell, y = top + (i / 12) * (kCell + 4);
      HBRUSH back = CreateSolidBrush(kBack);
      RECT r{0, 0, 16, 16};
      FillRect(one.Dc(), &r, back);
      DeleteObject(back);
      ImageList_Draw(list->Handle(), i, one.Dc(), 0, 0, ILD_NORMAL);
      StretchBlt(dc, x, y, 16 * kZoom, 16 * kZoom, one.Dc(), 0, 0, 16, 16, SRCCOPY);
      String n = IntToStr(i);
      TextOutA(dc, x, y + 16 * kZoom, n.c_str(), static_cast<int>(n.size()));
    }
    return top + ((list->Count() + 11) / 12) * (kCell + 4);
  }
  TCustomImageList* small_;
  TCustomImageList* bars_;
};

// The pixels of one image drawn on kBack.
std::vector<COLORREF> Drawn(TCustomImageList* list, int index) {
  TDibSurface s(16, 16);
  HBRUSH back = CreateSolidBrush(kBack);
  RECT r{0, 0, 16, 16};
  FillRect(s.Dc(), &r, back);
  DeleteObject(back);
  ImageList_Draw(list->Handle(), index, s.Dc(), 0, 0, ILD_NORMAL);
  std::vector<COLORREF> px;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) px.push_back(s.Pixel(x, y));
  return px;
}

}  // namespace

TEST(FrameImages, EveryImageIsDrawnTransparentAndDistinct) {
  TImageList small(nullptr), bars(nullptr);
  ASSERT_TRUE(small.ResourceLoad(rtBitmap, ImgsmallResource, clFuchsia));
  ASSERT_TRUE(bars.ResourceLoad(rtBitmap, ImagebarsResource, clFuchsia));
  EXPECT_EQ(small.Count(), siCount);
  EXPECT_EQ(bars.Count(), bgCount);
  for (TCustomImageList* list : {&small, &bars}) {
    std::set<std::vector<COLORREF>> seen;
    for (int i = 0; i < list->Count(); ++i) {
      SCOPED_TRACE(String(list == &small ? "Imgsmall " : "Imagebars ") + IntToStr(i));
      std::vector<COLORREF> px = Drawn(list, i);
      int drawn = 0;
      for (COLORREF c : px) {
        EXPECT_NE(c, RGB(255, 0, 255));  // the mask colour never shows
        if (c != kBack) ++drawn;
      }
      EXPECT_EQ(px[15 * 16], kBack);  // the corner is transparent
      EXPECT_GT(drawn, 24);
      EXPECT_TRUE(seen.insert(px).second) << "the same picture as an earlier image";
    }
  }
  // The colours as drawn, not those of a 16-colour list.
  struct {
    TCustomImageList* list;
    int index, x, y;
    COLORREF color;
  } colours[] = {
      {&small, siDirectory, 5, 8, RGB(255, 208, 72)},
      {&bars, bgNew, 1, 6, RGB(120, 184, 255)},
      {&bars, bgFinger, 3, 6, RGB(240, 196, 150)},
  };
  for (const auto& c : colours) EXPECT_EQ(Drawn(c.list, c.index)[c.y * 16 + c.x], c.color) << c.index;

  // Each glyph belongs to exactly one action.
  std::vector<int> uses(bgCount, 0);
  for (const TActionImage& a : ActionImages) ++uses.at(a.Image);
  for (int i = 0; i < bgCount; ++i) EXPECT_EQ(uses[i], 1) << "glyph " << i;

  TOwned<TImageSheet> sheet(new TImageSheet(Application, &small, &bars));
  sheet->Show();
  ASSERT_TRUE(WaitVisible(sheet->Handle()));
  SaveScreenshot(sheet->Handle());
}

TEST(FrameImages, ProgramHoldsItsPicturesAndIcons) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  struct {
    const char* name;
    int width, height;
  } pictures[] = {{"SPLASHTOP", 310, 80}, {"SPLASHPICTURE", 320, 140}};
  for (const auto& p : pictures) {
    TJPEGImage jpeg;
    jpeg.LoadFromResourceName(self, p.name);
    EXPECT_EQ(jpeg.Width(), p.width) << p.name;
    EXPECT_EQ(jpeg.Height(), p.height) << p.name;
  }
  TJPEGImage none;
  EXPECT_THROW(none.LoadFromResourceName(self, "NOSUCHPICTURE"), EResNotFound);
  EXPECT_TRUE(none.Empty());
  for (const char* icon : {"MAINICON", "NEMBRACONNECTION"}) {
    for (int size : {16, 32}) {
      HICON h = static_cast<HICON>(LoadImageA(self, icon, IMAGE_ICON, size, size, 0));
      ASSERT_NE(h, nullptr) << icon << " " << size;
      ICONINFO info{};
      ASSERT_TRUE(GetIconInfo(h, &info));
      BITMAP bm{};
      GetObjectA(info.hbmColor, sizeof bm, &bm);
      EXPECT_EQ(bm.bmWidth, size) << icon;
      DeleteObject(info.hbmColor);
      DeleteObject(info.hbmMask);
      DestroyIcon(h);
    }
  }
}
