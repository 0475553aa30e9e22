#include "Dib.h"

#include <algorithm>
#include <cstring>

namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(Get32(p)); }

void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

// Bytes of one row, padded to 4 bytes.
uint64_t Stride(int64_t width, int bits) { return (static_cast<uint64_t>(width) * bits + 31) / 32 * 4; }

bool ValidBitCount(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// One run of set bits.
bool Contiguous(uint32_t m) {
  if (m == 0) return false;
  while ((m & 1) == 0) m >>= 1;
  return (m & (m + 1)) == 0;
}

bool ValidMasks(const uint32_t* m, int bits) {
  for (int i = 0; i < 3; ++i)
    if (!Contiguous(m[i])) return false;
  if (m[3] != 0 && !Contiguous(m[3])) return false;
  for (int i = 0; i < 4; ++i) {
    if (bits == 16 && m[i] > 0xFFFF) return false;
    for (int j = i + 1; j < 4; ++j)
      if (m[i] & m[j]) return false;
  }
  return true;
}

// The 8-bit value of the channel under mask.
uint32_t Channel(uint32_t v, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  int width = 0;
  while (shift + width < 32 && ((mask >> (shift + width)) & 1)) ++width;
  uint32_t c = (v & mask) >> shift;
  if (width >= 8) return c >> (width - 8);
  uint32_t max = (1u << width) - 1;
  return (c * 255 + max / 2) / max;
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// Run-length pixel data into palette indices, bottom-up rows as stored.
bool DecodeRle(const uint8_t* p, const uint8_t* end, bool rle8, int w, int h, std::vector<uint8_t>& idx) {
  int64_t x = 0, y = 0;
  auto put = [&](int64_t px, uint8_t v) {
    if (px >= 0 && px < w && y < h) idx[static_cast<size_t>((h - 1 - y) * w + px)] = v;
  };
  for (;;) {
    if (p == end) return true;  // ended at a command boundary
    if (end - p < 2) return false;
    uint8_t count = p[0], value = p[1];
    p += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i)
        put(x + i, rle8 ? value : static_cast<uint8_t>((i & 1) ? value & 15 : value >> 4));
      x += count;
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
      continue;
    }
    if (value == 1) return true;  // end of bitmap
    if (value == 2) {             // delta
      if (end - p < 2) return false;
      x += p[0];
      y += p[1];
      p += 2;
      continue;
    }
    size_t bytes = rle8 ? value : (value + 1u) / 2;
    size_t padded = (bytes + 1) & ~size_t{1};
    if (static_cast<size_t>(end - p) < padded) return false;
    for (int i = 0; i < value; ++i)
      put(x + i, rle8 ? p[i] : static_cast<uint8_t>((i & 1) ? p[i / 2] & 15 : p[i / 2] >> 4));
    x += value;
    p += padded;
  }
}

}  // namespace

bool DibReadLayout(const uint8_t* head, size_t headSize, size_t bitsOffset, uint64_t available, TDibLayout& layout) {
  layout = TDibLayout{};
  if (headSize < 4 || available < headSize) return false;
  TDibLayout L;
  L.HeaderSize = Get32(head);
  int64_t w, h;
  int planes;
  uint32_t sizeImage = 0, clrUsed = 0;
  if (L.HeaderSize == 12) {
    if (headSize < 12) return false;
    w = Get16(head + 4);
    h = Get16(head + 6);
    planes = Get16(head + 8);
    L.BitCount = Get16(head + 10);
    L.PaletteEntrySize = 3;
    if (L.BitCount == 16 || L.BitCount == 32) return false;
  } else if (L.HeaderSize == 40 || L.HeaderSize == 52 || L.HeaderSize == 56 || L.HeaderSize == 108 ||
             L.HeaderSize == 124) {
    if (headSize < L.HeaderSize) return false;
    w = GetI32(head + 4);
    h = GetI32(head + 8);
    planes = Get16(head + 12);
    L.BitCount = Get16(head + 14);
    L.Compression = Get32(head + 16);
    sizeImage = Get32(head + 20);
    clrUsed = Get32(head + 32);
  } else {
    return false;
  }
  if (planes != 1 || !ValidBitCount(L.BitCount)) return false;
  L.TopDown = h < 0;
  if (h < 0) h = -h;
  if (w <= 0 || h <= 0 || w > kDibMaxSide || h > kDibMaxSide || w * h > kDibMaxPixels) return false;
  L.Width = static_cast<int>(w);
  L.Height = static_cast<int>(h);

  switch (L.Compression) {
    case kDibRgb:
      break;
    case kDibRle8:
      if (L.BitCount != 8 || L.TopDown) return false;
      break;
    case kDibRle4:
      if (L.BitCount != 4 || L.TopDown) return false;
      break;
    case kDibBitfields:
      if (L.BitCount != 16 && L.BitCount != 32) return false;
      break;
    default:
      return false;
  }

  size_t pos = L.HeaderSize;
  if (L.Compression == kDibBitfields) {
    if (L.HeaderSize == 40) {
      if (headSize < pos + 12) return false;
      pos += 12;
    }
    for (int i = 0; i < 3; ++i) L.Masks[i] = Get32(head + 40 + 4 * i);
    if (L.HeaderSize >= 56) L.Masks[3] = Get32(head + 52);
    if (!ValidMasks(L.Masks, L.BitCount)) return false;
  } else if (L.BitCount == 16) {
    L.Masks[0] = 0x7C00;
    L.Masks[1] = 0x03E0;
    L.Masks[2] = 0x001F;
  }

  if (L.BitCount <= 8) {
    uint32_t max = 1u << L.BitCount;
    if (clrUsed > max) return false;
    L.PaletteCount = static_cast<int>(clrUsed ? clrUsed : max);
  }
  L.PaletteOffset = pos;
  pos += static_cast<size_t>(L.PaletteCount) * L.PaletteEntrySize;
  if (pos > headSize) return false;

  if (bitsOffset == kDibBitsFollow) bitsOffset = pos;
  if (bitsOffset < pos || bitsOffset > available) return false;
  L.BitsOffset = bitsOffset;
  uint64_t rest = available - bitsOffset;
  if (L.Compression == kDibRle8 || L.Compression == kDibRle4) {
    // No run-length stream needs more than two bytes a pixel plus the line ends.
    uint64_t bound = 2 * (static_cast<uint64_t>(w) + 2) * h + 2;
    if (sizeImage > rest) return false;
    uint64_t n = sizeImage ? sizeImage : rest;
    L.BitsSize = static_cast<size_t>(std::min(n, bound));
  } else {
    uint64_t n = Stride(w, L.BitCount) * h;
    if (n > rest) return false;
    L.BitsSize = static_cast<size_t>(n);
  }
  layout = L;
  return true;
}

bool DibDecode(const uint8_t* data, size_t size, const TDibLayout& L, TDibPixels& out) {
  out = TDibPixels{};
  size_t paletteEnd = L.PaletteOffset + static_cast<size_t>(L.PaletteCount) * L.PaletteEntrySize;
  if (L.Width <= 0 || L.Height <= 0 || static_cast<int64_t>(L.Width) * L.Height > kDibMaxPixels || paletteEnd > size ||
      L.BitsOffset > size || L.BitsSize > size - L.BitsOffset)
    return false;
  const int w = L.Width, h = L.Height;
  std::vector<uint32_t> palette(static_cast<size_t>(L.PaletteCount));
  for (int i = 0; i < L.PaletteCount; ++i) {
    const uint8_t* e = data + L.PaletteOffset + static_cast<size_t>(i) * L.PaletteEntrySize;
    palette[i] = Argb(0, e[2], e[1], e[0]);
  }
  auto colour = [&](unsigned index) { return index < palette.size() ? palette[index] : 0u; };

  std::vector<uint32_t> px(static_cast<size_t>(w) * h, 0);
  const uint8_t* bits = data + L.BitsOffset;
  if (L.Compression == kDibRle8 || L.Compression == kDibRle4) {
    std::vector<uint8_t> idx(static_cast<size_t>(w) * h, 0);
    if (!DecodeRle(bits, bits + L.BitsSize, L.Compression == kDibRle8, w, h, idx)) return false;
    for (size_t i = 0; i < idx.size(); ++i) px[i] = colour(idx[i]);
  } else {
    const size_t stride = static_cast<size_t>(Stride(w, L.BitCount));
    if (stride * h > L.BitsSize) return false;
    for (int sr = 0; sr < h; ++sr) {
      const uint8_t* row = bits + static_cast<size_t>(sr) * stride;
      uint32_t* dst = px.data() + static_cast<size_t>(L.TopDown ? sr : h - 1 - sr) * w;
      for (int x = 0; x < w; ++x) {
        switch (L.BitCount) {
          case 1:
            dst[x] = colour((row[x >> 3] >> (7 - (x & 7))) & 1);
            break;
          case 4:
            dst[x] = colour((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15);
            break;
          case 8:
            dst[x] = colour(row[x]);
            break;
          case 16: {
            uint32_t v = Get16(row + 2 * x);
            dst[x] =
                Argb(Channel(v, L.Masks[3]), Channel(v, L.Masks[0]), Channel(v, L.Masks[1]), Channel(v, L.Masks[2]));
            break;
          }
          case 24:
            dst[x] = Argb(0, row[3 * x + 2], row[3 * x + 1], row[3 * x]);
            break;
          case 32: {
            uint32_t v = Get32(row + 4 * x);
            dst[x] = L.Compression == kDibBitfields ? Argb(Channel(v, L.Masks[3]), Channel(v, L.Masks[0]),
                                                           Channel(v, L.Masks[1]), Channel(v, L.Masks[2]))
                                                    : v;
            break;
          }
        }
      }
    }
  }
  out.Width = w;
  out.Height = h;
  out.BitCount = L.BitCount;
  out.Monochrome = L.BitCount == 1 && L.PaletteCount == 2 && palette[0] == 0 && palette[1] == 0xFFFFFF;
  out.Pixels = std::move(px);
  return true;
}

bool BmpFileSize(const uint8_t* head, size_t headSize, uint64_t available, size_t& fileSize, TDibLayout& layout) {
  fileSize = 0;
  if (headSize < kBmpFileHeaderSize + 4 || available < headSize || head[0] != 'B' || head[1] != 'M') return false;
  uint32_t offBits = Get32(head + 10);
  if (offBits < kBmpFileHeaderSize) return false;
  if (!DibReadLayout(head + kBmpFileHeaderSize, headSize - kBmpFileHeaderSize, offBits - kBmpFileHeaderSize,
                     available - kBmpFileHeaderSize, layout))
    return false;
  fileSize = kBmpFileHeaderSize + layout.BitsOffset + layout.BitsSize;
  return true;
}

bool BmpDecode(const uint8_t* data, size_t size, TDibPixels& out) {
  out = TDibPixels{};
  size_t fileSize;
  TDibLayout layout;
  if (!BmpFileSize(data, size, size, fileSize, layout)) return false;
  return DibDecode(data + kBmpFileHeaderSize, size - kBmpFileHeaderSize, layout, out);
}

std::vector<uint8_t> BmpEncode(int width, int height, int bitCount, const uint32_t* pixels) {
  const int paletteCount = bitCount == 1 ? 2 : 0;
  const size_t stride = static_cast<size_t>(Stride(width, bitCount));
  const uint32_t offBits = static_cast<uint32_t>(kBmpFileHeaderSize + 40 + 4 * paletteCount);
  const size_t imageSize = stride * height;
  std::vector<uint8_t> v;
  v.reserve(offBits + imageSize);
  v.push_back('B');
  v.push_back('M');
  Put32(v, static_cast<uint32_t>(offBits + imageSize));
  Put32(v, 0);
  Put32(v, offBits);
  Put32(v, 40);
  Put32(v, static_cast<uint32_t>(width));
  Put32(v, static_cast<uint32_t>(height));
  Put16(v, 1);
  Put16(v, static_cast<uint32_t>(bitCount));
  Put32(v, kDibRgb);
  Put32(v, static_cast<uint32_t>(imageSize));
  Put32(v, 0);
  Put32(v, 0);
  Put32(v, static_cast<uint32_t>(paletteCount));
  Put32(v, 0);
  if (paletteCount) {
    Put32(v, 0x000000);
    Put32(v, 0xFFFFFF);
  }
  for (int y = height - 1; y >= 0; --y) {
    const uint32_t* src = pixels + static_cast<size_t>(y) * width;
    size_t start = v.size();
    if (bitCount == 1) {
      v.resize(start + stride, 0);
      for (int x = 0; x < width; ++x)
        if ((src[x] & 0xFFFFFF) == 0xFFFFFF) v[start + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
      continue;
    }
    for (int x = 0; x < width; ++x) {
      v.push_back(static_cast<uint8_t>(src[x]));
      v.push_back(static_cast<uint8_t>(src[x] >> 8));
      v.push_back(static_cast<uint8_t>(src[x] >> 16));
      if (bitCount == 32) v.push_back(static_cast<uint8_t>(src[x] >> 24));
    }
    v.resize(start + stride, 0);
  }
  return v;
}

// ---------------------------------------------------------------- icons

size_t IcoDirectorySize(const uint8_t* head, size_t headSize) {
  if (headSize < 6 || Get16(head) != 0 || Get16(head + 2) != 1) return 0;
  size_t count = Get16(head + 4);
  return count ? 6 + 16 * count : 0;
}

bool IcoReadDirectory(const uint8_t* dir, size_t dirSize, uint64_t available, std::vector<TIconEntry>& entries,
                      size_t& fileSize) {
  entries.clear();
  fileSize = 0;
  size_t need = IcoDirectorySize(dir, dirSize);
  if (need == 0 || dirSize < need || available < need) return false;
  size_t count = Get16(dir + 4);
  uint64_t end = need;
  std::vector<TIconEntry> list;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = dir + 6 + 16 * i;
    TIconEntry entry;
    entry.Width = e[0] ? e[0] : 256;
    entry.Height = e[1] ? e[1] : 256;
    entry.BitCount = Get16(e + 6);
    uint64_t size = Get32(e + 8), offset = Get32(e + 12);
    if (size < 40 || offset < need || offset + size > available) return false;
    entry.Size = static_cast<size_t>(size);
    entry.Offset = static_cast<size_t>(offset);
    end = std::max(end, offset + size);
    list.push_back(entry);
  }
  entries = std::move(list);
  fileSize = static_cast<size_t>(end);
  return true;
}

void IcoInspectImages(const uint8_t* data, size_t size, std::vector<TIconEntry>& entries) {
  static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (TIconEntry& e : entries) {
    if (e.Offset > size || e.Size > size - e.Offset) continue;
    const uint8_t* p = data + e.Offset;
    e.Png = e.Size >= 8 && std::memcmp(p, kPng, 8) == 0;
    if (!e.Png && e.BitCount == 0 && e.Size >= 16) e.BitCount = Get16(p + 14);
  }
}

int IcoChooseImage(const std::vector<TIconEntry>& entries, int desired) {
  int best = -1, bestDistance = 0, bestBits = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const TIconEntry& e = entries[i];
    if (e.Png) continue;
    int distance = e.Width > desired ? e.Width - desired : desired - e.Width;
    if (best < 0 || distance < bestDistance || (distance == bestDistance && e.BitCount > bestBits)) {
      best = static_cast<int>(i);
      bestDistance = distance;
      bestBits = e.BitCount;
    }
  }
  return best;
}

bool IcoImageValid(const uint8_t* p, size_t n) {
  if (n < 40) return false;
  uint32_t headerSize = Get32(p);
  if (headerSize < 40 || headerSize > n) return false;
  int64_t w = GetI32(p + 4), doubled = GetI32(p + 8);
  int planes = Get16(p + 12), bits = Get16(p + 14);
  uint32_t compression = Get32(p + 16), clrUsed = Get32(p + 32);
  if (w <= 0 || w > 1024 || doubled <= 0 || doubled % 2 != 0 || doubled / 2 > 1024) return false;
  if (planes > 1 || !ValidBitCount(bits) || compression != kDibRgb) return false;
  int64_t h = doubled / 2;
  uint64_t palette = 0;
  if (bits <= 8) {
    uint32_t max = 1u << bits;
    if (clrUsed > max) return false;
    palette = clrUsed ? clrUsed : max;
  }
  uint64_t need = headerSize + palette * 4 + Stride(w, bits) * h + Stride(w, 1) * h;
  return need <= n;
}

std::vector<uint8_t> IcoEncode(int width, int height, const uint32_t* pixels, const uint8_t* mask) {
  const size_t colourStride = static_cast<size_t>(Stride(width, 32));
  const size_t maskStride = static_cast<size_t>(Stride(width, 1));
  const size_t imageSize = 40 + (colourStride + maskStride) * height;
  std::vector<uint8_t> v;
  v.reserve(22 + imageSize);
  Put16(v, 0);
  Put16(v, 1);
  Put16(v, 1);
  v.push_back(static_cast<uint8_t>(width >= 256 ? 0 : width));
  v.push_back(static_cast<uint8_t>(height >= 256 ? 0 : height));
  v.push_back(0);
  v.push_back(0);
  Put16(v, 1);
  Put16(v, 32);
  Put32(v, static_cast<uint32_t>(imageSize));
  Put32(v, 22);
  Put32(v, 40);
  Put32(v, static_cast<uint32_t>(width));
  Put32(v, static_cast<uint32_t>(height * 2));
  Put16(v, 1);
  Put16(v, 32);
  Put32(v, kDibRgb);
  Put32(v, static_cast<uint32_t>(imageSize - 40));
  for (int i = 0; i < 4; ++i) Put32(v, 0);
  for (int y = height - 1; y >= 0; --y)
    for (int x = 0; x < width; ++x) Put32(v, pixels[static_cast<size_t>(y) * width + x]);
  for (int y = height - 1; y >= 0; --y) {
    size_t start = v.size();
    v.resize(start + maskStride, 0);
    for (int x = 0; x < width; ++x)
      if (mask[static_cast<size_t>(y) * width + x]) v[start + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
  }
  return v;
}
