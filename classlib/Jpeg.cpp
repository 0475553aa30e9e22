#include "Jpeg.h"

#include <csetjmp>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

namespace {

struct ErrorMgr {
  jpeg_error_mgr pub;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  longjmp(err->jump, 1);
}

void OutputNothing(j_common_ptr) {}

// Decodes into RGB rows; returns an empty string or libjpeg's message.
// No object with a destructor lives in this frame, so longjmp is safe.
const char* DecodeRgb(const unsigned char* data, unsigned long size, std::vector<unsigned char>* rgb, int* w,
                      int* h, ErrorMgr* err) {
  jpeg_decompress_struct cinfo;
  cinfo.err = jpeg_std_error(&err->pub);
  err->pub.error_exit = ErrorExit;
  err->pub.output_message = OutputNothing;
  if (setjmp(err->jump)) {
    jpeg_destroy_decompress(&cinfo);
    return err->message;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, size);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  *w = static_cast<int>(cinfo.output_width);
  *h = static_cast<int>(cinfo.output_height);
  rgb->resize(static_cast<size_t>(*w) * *h * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = rgb->data() + static_cast<size_t>(cinfo.output_scanline) * *w * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return "";
}

}  // namespace

void TJPEGImage::LoadFromMemory(const void* data, size_t size) {
  if (size == 0) throw EJPEG("JPEG error #1: empty picture");
  std::vector<unsigned char> rgb;
  int w = 0, h = 0;
  ErrorMgr err{};
  const char* msg = DecodeRgb(static_cast<const unsigned char*>(data), static_cast<unsigned long>(size), &rgb, &w,
                              &h, &err);
  if (*msg) throw EJPEG(String("JPEG error: ") + msg);
  const int stride = (w * 3 + 3) & ~3;
  std::vector<unsigned char> bits(static_cast<size_t>(stride) * h, 0);
  for (int y = 0; y < h; ++y) {
    const unsigned char* src = rgb.data() + static_cast<size_t>(y) * w * 3;
    unsigned char* dst = bits.data() + static_cast<size_t>(h - 1 - y) * stride;
    for (int x = 0; x < w; ++x) {
      dst[x * 3] = src[x * 3 + 2];
      dst[x * 3 + 1] = src[x * 3 + 1];
      dst[x * 3 + 2] = src[x * 3];
    }
  }
  const auto* bytes = static_cast<const unsigned char*>(data);
  data_.assign(bytes, bytes + size);
  bits_ = std::move(bits);
  stride_ = stride;
  width_ = w;
  height_ = h;
  Changed();
}

void TJPEGImage::LoadFromResourceName(HINSTANCE instance, const String& name) {
  HRSRC res = FindResourceA(instance, name.c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
  HGLOBAL mem = res ? LoadResource(instance, res) : nullptr;
  const void* p = mem ? LockResource(mem) : nullptr;
  if (!p) throw EResNotFound(Format("Resource %s not found", name));
  LoadFromMemory(p, SizeofResource(instance, res));
}

void TJPEGImage::LoadFromStream(TStream* stream) {
  int64_t n = stream->Size() - stream->Position();
  std::vector<unsigned char> buf(static_cast<size_t>(n > 0 ? n : 0));
  if (n > 0) stream->ReadBuffer(buf.data(), n);
  LoadFromMemory(buf.data(), buf.size());
}

void TJPEGImage::SaveToStream(TStream* stream) {
  if (!data_.empty()) stream->WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

void TJPEGImage::Assign(TPersistent* source) {
  if (source == this) return;
  if (!source) {
    width_ = height_ = stride_ = 0;
    bits_.clear();
    data_.clear();
    Changed();
    return;
  }
  if (auto* j = dynamic_cast<TJPEGImage*>(source)) {
    width_ = j->width_;
    height_ = j->height_;
    stride_ = j->stride_;
    bits_ = j->bits_;
    data_ = j->data_;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

COLORREF TJPEGImage::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const unsigned char* p = bits_.data() + static_cast<size_t>(height_ - 1 - y) * stride_ + x * 3;
  return RGB(p[2], p[1], p[0]);
}

void TJPEGImage::Draw(TCanvas* canvas, const TRect& rect) {
  if (canvas) Draw(canvas->Handle(), rect);
}

void TJPEGImage::Draw(HDC dc, const RECT& rect) const {
  if (Empty()) return;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width_;
  bi.bmiHeader.biHeight = height_;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  StretchDIBits(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0, 0, width_, height_,
                bits_.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
}
