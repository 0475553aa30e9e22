#include "classlib/Imglist.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include "support/Testutil.h"
#include "tests/classlib/Surface.h"

namespace {

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kFuchsia = RGB(255, 0, 255);

// Cells of 16 x 16 on fuchsia, each with a square of its colour.
struct TCell {
  TColor Colour;
  TRect Square;
};
void MakeStrip(TBitmap& b, const std::vector<TCell>& cells) {
  b.SetSize(16 * static_cast<int>(cells.size()), 16);
  b.Canvas()->Brush()->SetColor(clFuchsia);
  b.Canvas()->FillRect(TRect(0, 0, b.Width(), 16));
  for (size_t i = 0; i < cells.size(); ++i) {
    TRect r = cells[i].Square;
    OffsetRect(&r, 16 * static_cast<int>(i), 0);
    b.Canvas()->Brush()->SetColor(cells[i].Colour);
    b.Canvas()->FillRect(r);
  }
}

const TCell kRedCell{clRed, TRect(2, 2, 14, 14)};
const TCell kBlueDot{clBlue, TRect(6, 6, 10, 10)};
const TCell kGreenCell{clLime, TRect(2, 2, 14, 14)};

struct TAttached {
  explicit TAttached(TSurface& s) { Canvas.SetHandle(s.DC()); }
  ~TAttached() { Canvas.SetHandle(nullptr); }
  TCanvas Canvas;
};

COLORREF CentreOf(TCustomImageList& list, int index) {
  TBitmap b;
  list.GetBitmap(index, &b);
  return b.Canvas()->Pixel(8, 8);
}

}  // namespace

TEST(ImageList, AddsAndDrawsThroughMasks) {
  TImageList list(nullptr);
  EXPECT_EQ(list.Width(), 16);
  EXPECT_EQ(list.Height(), 16);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(list.HandleAllocated());

  TBitmap strip;
  MakeStrip(strip, {kRedCell, kBlueDot});
  EXPECT_EQ(list.AddMasked(&strip, clFuchsia), 0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(strip.Canvas()->Pixel(0, 0), kFuchsia);  // the caller's bitmap is left alone

  TSurface s(48, 16, kGreen);
  TAttached a(s);
  list.Draw(&a.Canvas, 0, 0, 0);
  list.Draw(&a.Canvas, 16, 0, 1);
  EXPECT_EQ(s.At(0, 0), kGreen);
  EXPECT_EQ(s.At(3, 3), kRed);
  EXPECT_EQ(s.At(16 + 7, 7), kBlue);
  EXPECT_EQ(s.At(16 + 3, 3), kGreen);

  // An explicit mask, and none at all (opaque).
  TBitmap image, mask;
  MakeStrip(image, {kRedCell});
  mask.Assign(&image);
  mask.Mask(clFuchsia);
  EXPECT_EQ(list.Add(&image, &mask), 2);
  EXPECT_EQ(list.Add(&image, nullptr), 3);
  EXPECT_EQ(image.Canvas()->Pixel(0, 0), kFuchsia);
  EXPECT_EQ(mask.Canvas()->Pixel(0, 0), RGB(255, 255, 255));
  s.Fill(kGreen);
  list.Draw(&a.Canvas, 0, 0, 2);
  list.Draw(&a.Canvas, 16, 0, 3);
  EXPECT_EQ(s.At(0, 0), kGreen);
  EXPECT_EQ(s.At(3, 3), kRed);
  EXPECT_EQ(s.At(16, 0), kFuchsia);

  // A background colour fills the transparent parts.
  s.Fill(kGreen);
  list.SetBkColor(clYellow);
  list.Draw(&a.Canvas, 0, 0, 0);
  EXPECT_EQ(s.At(0, 0), RGB(255, 255, 0));
  list.SetBkColor(clNone);

  // Nothing drawn for an index out of range; refused sizes.
  auto before = s.Snapshot();
  list.Draw(&a.Canvas, 0, 0, 4);
  list.Draw(&a.Canvas, 0, 0, -1);
  EXPECT_EQ(s.Snapshot(), before);
  TBitmap small;
  small.SetSize(8, 8);
  for (TBitmap* bad : {&small, static_cast<TBitmap*>(nullptr)}) {
    try {
      list.Add(bad, nullptr);
      ADD_FAILURE() << "added";
    } catch (EInvalidOperation& e) {
      EXPECT_EQ(e.Message, "Invalid image size");
    }
  }
  EXPECT_EQ(list.Count(), 4);
}

TEST(ImageList, OverlaysAndDisabledImages) {
  TImageList list(nullptr);
  TBitmap strip;
  MakeStrip(strip, {kRedCell, kBlueDot});
  list.AddMasked(&strip, clFuchsia);
  EXPECT_TRUE(list.Overlay(1, 0));
  EXPECT_FALSE(list.Overlay(5, 0));
  EXPECT_FALSE(list.Overlay(1, 15));

  TSurface s(32, 16, kGreen);
  TAttached a(s);
  list.DrawOverlay(&a.Canvas, 0, 0, 0, 0);
  EXPECT_EQ(s.At(3, 3), kRed);
  EXPECT_EQ(s.At(7, 7), kBlue);
  EXPECT_EQ(s.At(0, 0), kGreen);

  // Disabled: greys where the image is, the canvas where it is transparent.
  list.Draw(&a.Canvas, 16, 0, 0, false);
  EXPECT_EQ(s.At(16 + 3, 3), RGB(85, 85, 85));
  EXPECT_EQ(s.At(16 + 0, 0), kGreen);
  EXPECT_EQ(s.At(16 + 15, 15), kGreen);
}

TEST(ImageList, InsertDeleteClearAndCopies) {
  TImageList list(nullptr);
  TBitmap red, blue, green;
  MakeStrip(red, {kRedCell});
  MakeStrip(blue, {kBlueDot});
  MakeStrip(green, {kGreenCell});
  list.AddMasked(&red, clFuchsia);
  list.AddMasked(&blue, clFuchsia);
  list.Insert(0, &green, nullptr);
  list.Insert(3, &green, nullptr);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(CentreOf(list, 0), kGreen);
  EXPECT_EQ(CentreOf(list, 1), kRed);
  EXPECT_EQ(CentreOf(list, 2), kBlue);
  EXPECT_EQ(CentreOf(list, 3), kGreen);
  EXPECT_THROW(list.Insert(5, &green, nullptr), EInvalidOperation);

  list.Delete(0);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(CentreOf(list, 0), kRed);
  for (int bad : {-1, 3}) {
    try {
      list.Delete(bad);
      ADD_FAILURE() << "deleted " << bad;
    } catch (EInvalidOperation& e) {
      EXPECT_EQ(e.Message, "Invalid ImageList Index");
    }
  }

  TBitmap copy;
  list.GetBitmap(0, &copy);
  EXPECT_EQ(copy.Width(), 16);
  EXPECT_EQ(copy.Canvas()->Pixel(0, 0), RGB(0, 0, 0));  // transparent pixels come out black
  EXPECT_EQ(copy.Canvas()->Pixel(3, 3), kRed);

  TIcon icon;
  list.GetIcon(0, &icon);
  EXPECT_EQ(icon.Width(), 16);
  TSurface s(16, 16, kGreen);
  TAttached a(s);
  a.Canvas.Draw(0, 0, &icon);
  EXPECT_EQ(s.At(0, 0), kGreen);
  EXPECT_EQ(s.At(3, 3), kRed);

  EXPECT_EQ(list.AddIcon(&icon), 3);
  list.ReplaceIcon(2, &icon);
  EXPECT_EQ(CentreOf(list, 2), kRed);
  EXPECT_THROW(list.AddIcon(nullptr), EInvalidOperation);
  EXPECT_THROW(list.ReplaceIcon(4, &icon), EInvalidOperation);

  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.AddMasked(&red, clFuchsia);
  list.SetWidth(32);  // a new size starts an empty list
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Width(), 32);
}

TEST(ImageList, SharedHandlesSurviveTheList) {
  TBitmap red;
  MakeStrip(red, {kRedCell});
  red.FreeContext();
  HIMAGELIST own = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 1, 1);
  ASSERT_NE(own, nullptr);
  ImageList_AddMasked(own, red.Handle(), kFuchsia);
  {
    TImageList list(nullptr);
    list.SetHandle(own);
    list.SetShareImages(true);
    EXPECT_EQ(list.Count(), 1);
  }
  EXPECT_EQ(ImageList_GetImageCount(own), 1);
  EXPECT_TRUE(ImageList_Destroy(own));

  SHFILEINFOA info{};
  auto sys = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoA("", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SHELLICONSIZE | SHGFI_SMALLICON));
  ASSERT_NE(sys, nullptr);
  int count = ImageList_GetImageCount(sys);
  ASSERT_GT(count, 0);
  {
    TImageList list(nullptr);
    list.SetHandle(sys);
    list.SetShareImages(true);
    EXPECT_EQ(list.Width(), 16);
    EXPECT_EQ(list.Count(), count);
  }
  EXPECT_GE(ImageList_GetImageCount(sys), count);
  TSurface s(16, 16);
  EXPECT_TRUE(ImageList_Draw(sys, 0, s.DC(), 0, 0, ILD_NORMAL));

  // A handle the list makes itself is its own.
  TImageList list(nullptr);
  list.SetShareImages(true);
  list.Handle();
  EXPECT_FALSE(list.ShareImages());
}

TEST(ImageList, ChangeLinksFireOncePerUpdateAndHearOfTheListsEnd) {
  auto* list = new TImageList(nullptr);
  TBitmap red;
  MakeStrip(red, {kRedCell});
  TChangeLink link;
  int linked = 0, own = 0;
  link.OnChange = [&](TObject* sender) {
    ++linked;
    EXPECT_EQ(sender, list);
  };
  list->OnChange = [&](TObject*) { ++own; };
  list->RegisterChanges(&link);
  EXPECT_EQ(link.Sender(), list);

  list->AddMasked(&red, clFuchsia);
  EXPECT_EQ(linked, 1);
  EXPECT_EQ(own, 1);

  list->BeginUpdate();
  list->BeginUpdate();
  list->AddMasked(&red, clFuchsia);
  list->Delete(0);
  list->SetBkColor(clYellow);
  list->EndUpdate();
  EXPECT_EQ(linked, 1);
  list->EndUpdate();
  EXPECT_EQ(linked, 2);
  EXPECT_EQ(own, 2);
  list->BeginUpdate();
  list->EndUpdate();  // nothing changed: nothing fires
  EXPECT_EQ(linked, 2);

  // A freed link leaves the list; an unregistered one hears nothing.
  auto* gone = new TChangeLink;
  int goneFired = 0;
  gone->OnChange = [&](TObject*) { ++goneFired; };
  list->RegisterChanges(gone);
  delete gone;
  list->Clear();
  EXPECT_EQ(goneFired, 0);
  EXPECT_EQ(linked, 3);
  list->UnRegisterChanges(&link);
  EXPECT_EQ(link.Sender(), nullptr);
  list->Clear();
  EXPECT_EQ(linked, 3);

  list->RegisterChanges(&link);
  list->Free();
  EXPECT_EQ(link.Sender(), nullptr);
  EXPECT_EQ(linked, 3);
}

TEST(ImageList, LoadsStripsFromResourcesAndFiles) {
  TImageList list(nullptr);
  ASSERT_TRUE(list.ResourceLoad(rtBitmap, "STRIP", clFuchsia));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Width(), 16);
  TSurface s(16, 16, kGreen);
  TAttached a(s);
  list.Draw(&a.Canvas, 0, 0, 1);
  EXPECT_EQ(s.At(7, 7), kBlue);
  EXPECT_EQ(s.At(0, 0), kGreen);
  EXPECT_FALSE(list.ResourceLoad(rtBitmap, "NOSUCHSTRIP", clFuchsia));
  EXPECT_EQ(list.Count(), 2);

  String dir = MakeTempFolder("imglist");
  TBitmap strip;
  MakeStrip(strip, {kRedCell, kBlueDot, kGreenCell});
  strip.SaveToFile(dir + "\\strip.bmp");
  ASSERT_TRUE(list.FileLoad(rtBitmap, dir + "\\strip.bmp", clFuchsia));
  EXPECT_EQ(list.Count(), 3);
  s.Fill(RGB(1, 2, 3));
  list.Draw(&a.Canvas, 0, 0, 2);
  EXPECT_EQ(s.At(8, 8), kGreen);
  EXPECT_EQ(s.At(0, 0), RGB(1, 2, 3));

  // Files that do not give a strip leave the list as it is.
  String broken = ReadFileBytes(dir + "\\strip.bmp");
  broken[28] = 3;  // 3 bits per pixel
  WriteFileBytes(dir + "\\broken.bmp", broken);
  TBitmap narrow;
  MakeStrip(narrow, {kRedCell});
  narrow.SetWidth(8);
  narrow.SaveToFile(dir + "\\narrow.bmp");
  for (const char* name : {"broken.bmp", "narrow.bmp", "missing.bmp"}) {
    EXPECT_FALSE(list.FileLoad(rtBitmap, dir + "\\" + name, clFuchsia)) << name;
    EXPECT_EQ(list.Count(), 3);
  }
}
