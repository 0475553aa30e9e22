#include "Png.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
const char kSignature[] = "\x89PNG\r\n\x1a\n";

void PutBE32(String& out, uint32_t v) {
  out += static_cast<char>(v >> 24);
  out += static_cast<char>(v >> 16);
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v);
}

uint32_t GetBE32(const String& s, size_t at) {
  auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(s[at + i])); };
  return (b(0) << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
}

void PutChunk(String& out, const char* type, const String& data) {
  PutBE32(out, static_cast<uint32_t>(data.size()));
  String body = String(type, 4) + data;
  out += body;
  PutBE32(out, crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
}

int Paeth(int a, int b, int c) {
  int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}
}  // namespace

String EncodePng(const TDibSurface& s) {
  if (s.Empty()) return "";
  GdiFlush();
  size_t w = static_cast<size_t>(s.Width()), h = static_cast<size_t>(s.Height());
  String raw;
  raw.reserve(h * (1 + 3 * w));
  for (size_t y = 0; y < h; ++y) {
    raw += '\0';  // filter: none
    const uint32_t* row = s.Bits() + y * w;
    for (size_t x = 0; x < w; ++x) {
      raw += static_cast<char>(row[x] >> 16);
      raw += static_cast<char>(row[x] >> 8);
      raw += static_cast<char>(row[x]);
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  String packed(packedSize, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                static_cast<uLong>(raw.size()), 6) != Z_OK)
    return "";
  packed.resize(packedSize);

  String header;
  PutBE32(header, static_cast<uint32_t>(w));
  PutBE32(header, static_cast<uint32_t>(h));
  header += String("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter set, no interlace
  String out(kSignature, 8);
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", "");
  return out;
}

TDibSurface DecodePng(const String& data) {
  if (data.size() < 8 || data.compare(0, 8, String(kSignature, 8)) != 0) return {};
  uint32_t w = 0, h = 0;
  int channels = 0;
  String packed;
  bool ended = false;
  for (size_t at = 8; at + 12 <= data.size() && !ended;) {
    uint32_t len = GetBE32(data, at);
    if (len > data.size() - at - 12) return {};
    String type = data.substr(at + 4, 4);
    uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(data.data() + at + 4), len + 4);
    if (crc != GetBE32(data, at + 8 + len)) return {};
    const String body = data.substr(at + 8, len);
    if (type == "IHDR") {
      if (len != 13) return {};
      w = GetBE32(body, 0);
      h = GetBE32(body, 4);
      int depth = body[8], color = body[9], interlace = body[12];
      if (depth != 8 || interlace != 0 || (color != 2 && color != 6)) return {};
      channels = color == 2 ? 3 : 4;
    } else if (type == "IDAT") {
      packed += body;
    } else if (type == "IEND") {
      ended = true;
    }
    at += 12 + len;
  }
  if (!ended || !channels || !w || !h || w > 16384 || h > 16384) return {};
  size_t stride = static_cast<size_t>(w) * static_cast<size_t>(channels);
  String raw(static_cast<size_t>(h) * (stride + 1), '\0');
  uLongf rawSize = static_cast<uLongf>(raw.size());
  if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize, reinterpret_cast<const Bytef*>(packed.data()),
                 static_cast<uLong>(packed.size())) != Z_OK ||
      rawSize != raw.size())
    return {};

  TDibSurface s(static_cast<int>(w), static_cast<int>(h));
  if (s.Empty()) return s;
  std::vector<unsigned char> prev(stride, 0), cur(stride, 0);
  for (size_t y = 0; y < h; ++y) {
    const unsigned char* line = reinterpret_cast<const unsigned char*>(raw.data()) + y * (stride + 1);
    int filter = line[0];
    for (size_t i = 0; i < stride; ++i) {
      int a = i >= static_cast<size_t>(channels) ? cur[i - static_cast<size_t>(channels)] : 0;
      int b = prev[i];
      int c = i >= static_cast<size_t>(channels) ? prev[i - static_cast<size_t>(channels)] : 0;
      int x = line[1 + i];
      switch (filter) {
        case 0: break;
        case 1: x += a; break;
        case 2: x += b; break;
        case 3: x += (a + b) / 2; break;
        case 4: x += Paeth(a, b, c); break;
        default: return {};
      }
      cur[i] = static_cast<unsigned char>(x);
    }
    for (size_t px = 0; px < w; ++px) {
      const unsigned char* p = cur.data() + px * static_cast<size_t>(channels);
      s.SetPixel(static_cast<int>(px), static_cast<int>(y), RGB(p[0], p[1], p[2]));
    }
    std::swap(prev, cur);
  }
  return s;
}

bool SavePng(const TDibSurface& s, const String& path) {
  String png = EncodePng(s);
  if (png.empty()) return false;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(f, png.data(), static_cast<DWORD>(png.size()), &written, nullptr) && written == png.size();
  CloseHandle(f);
  return ok;
}

TDibSurface LoadPng(const String& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  String data;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
  CloseHandle(f);
  return DecodePng(data);
}
