// libFuzzer target for the BMP, packed DIB and icon readers, built natively.
// The input is read as a BMP file (whole, and the way a stream is read:
// headers first, then only the bytes they announce), as a packed DIB (a
// bitmap resource) and as an icon file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "classlib/Dib.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

void CheckPixels(const TDibPixels& px) {
  Check(px.Width > 0 && px.Height > 0 && px.Width <= kDibMaxSide && px.Height <= kDibMaxSide, "size limits");
  Check(px.Pixels.size() == static_cast<size_t>(px.Width) * px.Height, "pixel count");
  // Written again with 32 bits, the picture reads back unchanged.
  std::vector<uint8_t> again = BmpEncode(px.Width, px.Height, 32, px.Pixels.data());
  TDibPixels back;
  Check(BmpDecode(again.data(), again.size(), back), "own file refused");
  Check(back.Pixels == px.Pixels, "own file read back differently");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A whole file.
  TDibPixels whole;
  bool wholeOk = BmpDecode(data, size, whole);
  if (wholeOk) CheckPixels(whole);

  // As a stream reads it: the headers decide how many bytes follow.
  size_t headSize = size < kBmpHeadSize ? size : kBmpHeadSize;
  std::vector<uint8_t> head(data, data + headSize);
  size_t fileSize = 0;
  TDibLayout layout;
  if (BmpFileSize(head.data(), head.size(), size, fileSize, layout)) {
    Check(fileSize <= size && fileSize >= kBmpFileHeaderSize, "file size outside the data");
    std::vector<uint8_t> file(data, data + fileSize);  // exactly the bytes announced
    TDibPixels px;
    if (DibDecode(file.data() + kBmpFileHeaderSize, file.size() - kBmpFileHeaderSize, layout, px)) {
      CheckPixels(px);
      Check(wholeOk && px.Pixels == whole.Pixels, "stream and whole file disagree");
    }
  } else {
    Check(!wholeOk, "a file the stream refuses was read whole");
  }

  // A packed DIB, as a bitmap resource holds it.
  std::vector<uint8_t> dib(data, data + size);
  TDibLayout packed;
  if (DibReadLayout(dib.data(), dib.size(), kDibBitsFollow, dib.size(), packed)) {
    Check(packed.BitsOffset + packed.BitsSize <= dib.size(), "bits outside the data");
    TDibPixels px;
    if (DibDecode(dib.data(), dib.size(), packed, px)) CheckPixels(px);
  }

  // An icon file.
  size_t dirSize = IcoDirectorySize(dib.data(), dib.size());
  std::vector<TIconEntry> entries;
  size_t icoSize = 0;
  if (dirSize && dirSize <= size && IcoReadDirectory(dib.data(), dirSize, size, entries, icoSize)) {
    Check(icoSize <= size, "icon file size outside the data");
    std::vector<uint8_t> ico(data, data + icoSize);
    IcoInspectImages(ico.data(), ico.size(), entries);
    int chosen = IcoChooseImage(entries, 32);
    if (chosen >= 0) {
      const TIconEntry& e = entries[static_cast<size_t>(chosen)];
      Check(!e.Png && e.Offset + e.Size <= ico.size(), "chosen image outside the data");
      std::vector<uint8_t> image(ico.begin() + static_cast<ptrdiff_t>(e.Offset),
                                 ico.begin() + static_cast<ptrdiff_t>(e.Offset + e.Size));
      IcoImageValid(image.data(), image.size());
    }
  }
  return 0;
}
