// Test fixtures for drawing: a 32-bit top-down DIB section in a memory
// device context whose pixels the test reads directly, and a stream that
// records how far its readers asked to read.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "classlib/Graphics.h"

class TSurface {
 public:
  TSurface(int w, int h, COLORREF fill = RGB(255, 255, 255)) : w_(w), h_(h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    bmp_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    bits_ = static_cast<uint32_t*>(p);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bmp_);
    Fill(fill);
  }
  ~TSurface() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bmp_);
  }
  TSurface(const TSurface&) = delete;
  TSurface& operator=(const TSurface&) = delete;

  HDC DC() const { return dc_; }
  int Width() const { return w_; }
  int Height() const { return h_; }
  // The pixel as RGB(r, g, b).
  COLORREF At(int x, int y) const {
    GdiFlush();
    uint32_t v = bits_[static_cast<size_t>(y) * w_ + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }
  void Fill(COLORREF c) {
    GdiFlush();
    uint32_t v = GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
    std::fill(bits_, bits_ + static_cast<size_t>(w_) * h_, v);
  }
  // Pixels of colour c inside r.
  int CountOf(COLORREF c, const RECT& r) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += At(x, y) == c;
    return n;
  }
  std::vector<COLORREF> Snapshot() const {
    std::vector<COLORREF> v;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) v.push_back(At(x, y));
    return v;
  }

 private:
  int w_, h_;
  HBITMAP bmp_;
  uint32_t* bits_;
  HDC dc_;
  HGDIOBJ old_;
};

// A stream over fixed bytes that remembers the furthest byte a read asked for.
class TProbeStream : public TStream {
 public:
  explicit TProbeStream(std::vector<uint8_t> data) : data_(std::move(data)) {}
  int64_t Read(void* buffer, int64_t count) override {
    furthest_ = std::max(furthest_, pos_ + count);
    int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, static_cast<int64_t>(data_.size()) - pos_));
    if (n > 0) std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : static_cast<int64_t>(data_.size());
    pos_ = std::max<int64_t>(0, base + offset);
    return pos_;
  }
  int64_t Furthest() const { return furthest_; }
  int64_t DataSize() const { return static_cast<int64_t>(data_.size()); }

 private:
  std::vector<uint8_t> data_;
  int64_t pos_ = 0;
  int64_t furthest_ = 0;
};

inline std::vector<uint8_t> StreamBytes(TStream& s) {
  std::vector<uint8_t> v(static_cast<size_t>(s.Size()));
  s.SetPosition(0);
  if (!v.empty()) s.ReadBuffer(v.data(), static_cast<int64_t>(v.size()));
  return v;
}
