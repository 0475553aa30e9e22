#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "classlib/Jpeg.h"
#include "support/Testutil.h"

namespace {
// A 32 x 16 picture: red on the left half, blue on the right.
std::vector<unsigned char> MakeJpeg() {
  const int w = 32, h = 16;
  std::vector<unsigned char> rgb(w * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = &rgb[(y * w + x) * 3];
      p[0] = x < w / 2 ? 255 : 0;
      p[1] = 0;
      p[2] = x < w / 2 ? 0 : 255;
    }
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = w;
  c.image_height = h;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = &rgb[c.next_scanline * w * 3];
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<unsigned char> data(out, out + size);
  jpeg_destroy_compress(&c);
  free(out);
  return data;
}

bool Near(int a, int b) { return a - b < 24 && b - a < 24; }
}  // namespace

TEST(Jpeg, DecodesSizeAndPixels) {
  auto data = MakeJpeg();
  TMemoryStream m;
  m.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  m.SetPosition(0);
  TJPEGImage img;
  img.LoadFromStream(&m);
  EXPECT_EQ(img.Width(), 32);
  EXPECT_EQ(img.Height(), 16);
  COLORREF left = img.Pixel(2, 3), right = img.Pixel(29, 12);
  EXPECT_TRUE(Near(GetRValue(left), 255) && Near(GetGValue(left), 0) && Near(GetBValue(left), 0)) << std::hex << left;
  EXPECT_TRUE(Near(GetRValue(right), 0) && Near(GetBValue(right), 255)) << std::hex << right;
}

TEST(Jpeg, GarbageRaises) {
  TJPEGImage img;
  const char junk[] = "not a jpeg at all";
  EXPECT_THROW(img.LoadFromMemory(junk, sizeof junk), EJPEG);
  EXPECT_TRUE(img.Empty());
}

TEST(Jpeg, DrawsAsAGraphicAndSavesItsData) {
  auto data = MakeJpeg();
  TJPEGImage img;
  img.LoadFromMemory(data.data(), data.size());

  TBitmap target;
  target.SetSize(64, 16);
  target.Canvas()->StretchDraw(TRect(0, 0, 64, 16), &img);
  COLORREF left = target.Canvas()->Pixel(4, 8), right = target.Canvas()->Pixel(60, 8);
  EXPECT_TRUE(Near(GetRValue(left), 255) && Near(GetBValue(left), 0)) << std::hex << left;
  EXPECT_TRUE(Near(GetRValue(right), 0) && Near(GetBValue(right), 255)) << std::hex << right;

  TMemoryStream m;
  img.SaveToStream(&m);
  ASSERT_EQ(m.Size(), static_cast<int64_t>(data.size()));
  EXPECT_EQ(std::memcmp(m.Memory(), data.data(), data.size()), 0);

  // Through a picture: a copy of the JPEG, and a bad file keeps it.
  String dir = MakeTempFolder("jpeg");
  m.SaveToFile(dir + "\\a.jpeg");
  WriteFileBytes(dir + "\\bad.jpg", "not a jpeg");
  TPicture p;
  p.LoadFromFile(dir + "\\a.jpeg");
  ASSERT_NE(dynamic_cast<TJPEGImage*>(p.Graphic()), nullptr);
  EXPECT_EQ(p.Width(), 32);
  EXPECT_THROW(p.LoadFromFile(dir + "\\bad.jpg"), EInvalidGraphic);
  EXPECT_EQ(p.Width(), 32);
  TPicture q;
  q.Assign(&p);
  EXPECT_NE(q.Graphic(), p.Graphic());
  EXPECT_EQ(static_cast<TJPEGImage*>(q.Graphic())->Pixel(2, 3), img.Pixel(2, 3));
}
