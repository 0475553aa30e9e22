// JPEG pictures decoded through libjpeg.
#pragma once

#include "Graphics.h"

NEMBRA_EXCEPTION(EJPEG, EInvalidGraphic);

class TJPEGImage : public TGraphic {
 public:
  // EJPEG with libjpeg's message when the data is not a readable JPEG; the
  // picture is then left as it was.
  void LoadFromStream(TStream* stream) override;
  void LoadFromMemory(const void* data, size_t size);
  // The JPEG data of an RCDATA resource; EResNotFound when it is missing.
  void LoadFromResourceName(HINSTANCE instance, const String& name);
  // Writes the JPEG data as it was read.
  void SaveToStream(TStream* stream) override;
  // From another TJPEGImage (a copy), or nullptr (empty).
  void Assign(TPersistent* source) override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Empty() const override { return width_ == 0; }
  // The colour of a pixel as RGB(r, g, b); 0 outside the picture.
  COLORREF Pixel(int x, int y) const;
  // Paints the picture stretched into rect.
  void Draw(TCanvas* canvas, const TRect& rect) override;
  void Draw(HDC dc, const RECT& rect) const;

 private:
  int width_ = 0;
  int height_ = 0;
  // Bottom-up rows of blue, green, red, each padded to 4 bytes, as a DIB wants.
  std::vector<unsigned char> bits_;
  int stride_ = 0;
  std::vector<unsigned char> data_;  // the JPEG data
};
