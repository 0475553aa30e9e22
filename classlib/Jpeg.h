// JPEG pictures decoded through libjpeg.
#pragma once

#include "Classes.h"

NEMBRA_EXCEPTION(EJPEG, Exception);

class TJPEGImage : public TPersistent {
 public:
  // EJPEG with libjpeg's message when the data is not a readable JPEG.
  void LoadFromStream(TStream* stream);
  void LoadFromFile(const String& fileName);
  void LoadFromMemory(const void* data, size_t size);
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0; }
  // The colour of a pixel as RGB(r, g, b); 0 outside the picture.
  COLORREF Pixel(int x, int y) const;
  // Paints the picture stretched into rect.
  void Draw(HDC dc, const RECT& rect) const;

 private:
  int width_ = 0;
  int height_ = 0;
  // Bottom-up rows of blue, green, red, each padded to 4 bytes, as a DIB wants.
  std::vector<unsigned char> bits_;
  int stride_ = 0;
};
