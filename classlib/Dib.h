// Device-independent bitmaps, BMP files and icon files read from bytes that
// cannot be trusted: every header field is checked before it is used, no
// byte outside the given data is read, and sizes cannot overflow. Uses only
// the standard library, so the readers also build outside the Windows tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Largest picture accepted: each side, and all pixels together. The fuzz
// build lowers the pixel limit so that no single input runs for long.
#ifndef NEMBRA_DIB_MAX_PIXELS
#define NEMBRA_DIB_MAX_PIXELS (int64_t{1} << 25)
#endif
constexpr int kDibMaxSide = 32767;
constexpr int64_t kDibMaxPixels = NEMBRA_DIB_MAX_PIXELS;

constexpr size_t kBmpFileHeaderSize = 14;
// Enough bytes of a BMP file to hold every header, the bit masks and the
// largest palette.
constexpr size_t kBmpHeadSize = kBmpFileHeaderSize + 124 + 16 + 256 * 4;

// Compression values of the info header.
constexpr uint32_t kDibRgb = 0, kDibRle8 = 1, kDibRle4 = 2, kDibBitfields = 3;

// Where the parts of a packed DIB lie, offsets from the start of its info
// header.
struct TDibLayout {
  uint32_t HeaderSize = 0;
  int Width = 0;
  int Height = 0;  // always positive
  bool TopDown = false;
  int BitCount = 0;
  uint32_t Compression = kDibRgb;
  uint32_t Masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha (bit fields)
  size_t PaletteOffset = 0;
  int PaletteCount = 0;
  int PaletteEntrySize = 4;
  size_t BitsOffset = 0;
  size_t BitsSize = 0;  // bytes of pixel data to read
};

// Bits offset meaning "right after the header, masks and palette".
constexpr size_t kDibBitsFollow = SIZE_MAX;

// Reads the layout of a packed DIB. head holds headSize bytes from the start
// of the info header (all headers and the palette must be among them);
// available is how many bytes exist from there on. False when a field is out
// of range or a part lies outside the available bytes.
bool DibReadLayout(const uint8_t* head, size_t headSize, size_t bitsOffset, uint64_t available, TDibLayout& layout);

// A decoded picture: top-down rows of 0xAARRGGBB values (the byte order of a
// 32-bit DIB: blue, green, red, alpha).
struct TDibPixels {
  int Width = 0;
  int Height = 0;
  int BitCount = 0;         // of the source
  bool Monochrome = false;  // 1 bit per pixel with a black and white palette
  std::vector<uint32_t> Pixels;
};

// Decodes the pixels of a packed DIB whose layout was read from the same
// data (size bytes from the info header on). False for bad pixel data (a
// run-length stream cut short).
bool DibDecode(const uint8_t* data, size_t size, const TDibLayout& layout, TDibPixels& out);

// The size of a BMP file judged from its headers: head holds the first
// headSize bytes, available is how many bytes the file could have.
bool BmpFileSize(const uint8_t* head, size_t headSize, uint64_t available, size_t& fileSize, TDibLayout& layout);
// A whole BMP file.
bool BmpDecode(const uint8_t* data, size_t size, TDibPixels& out);
// A BMP file with a 40-byte info header, bottom-up rows. bitCount 1 (white
// pixels become 1 over a black and white palette), 24 or 32 (alpha kept).
std::vector<uint8_t> BmpEncode(int width, int height, int bitCount, const uint32_t* pixels);

// ---------------------------------------------------------------- icons

struct TIconEntry {
  int Width = 0;  // from the directory (0 there stands for 256)
  int Height = 0;
  int BitCount = 0;
  size_t Offset = 0;
  size_t Size = 0;
  bool Png = false;
};

// Bytes of the icon directory (6 + 16 per entry), read from its first 6
// bytes; 0 for a header that is not an icon file's.
size_t IcoDirectorySize(const uint8_t* head, size_t headSize);
// Reads the directory of an icon file; every entry must lie inside the
// available bytes. fileSize: the end of the last image.
bool IcoReadDirectory(const uint8_t* dir, size_t dirSize, uint64_t available, std::vector<TIconEntry>& entries,
                      size_t& fileSize);
// Marks PNG images and takes each bit count from the image's own header.
void IcoInspectImages(const uint8_t* data, size_t size, std::vector<TIconEntry>& entries);
// The entry nearest to desired pixels wide, then the one with most colours;
// PNG images are passed over. -1 when none is left.
int IcoChooseImage(const std::vector<TIconEntry>& entries, int desired);
// Checks an icon image (info header with doubled height, palette, colour
// bits, mask bits) before it is handed to the system.
bool IcoImageValid(const uint8_t* image, size_t size);
// An icon file of one 32-bit image; mask holds width * height values, 1
// for a transparent pixel. Rows top-down in both.
std::vector<uint8_t> IcoEncode(int width, int height, const uint32_t* pixels, const uint8_t* mask);
