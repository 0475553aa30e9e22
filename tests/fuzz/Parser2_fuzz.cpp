// libFuzzer target for the listing parsers' rows, built natively.
// Input: the first byte picks the parser; the rest are listing lines
// separated by LF.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "application/connections/Parser2.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

void CheckRow(const TDirRow& r) {
  Check(!r.Caption.empty(), "a row has an empty caption");
  Check(!r.Name.empty(), "a row has an empty name");
  Check(r.Name != "." && r.Name != "..", "a dot entry became a row");
  Check(r.Kind != dekUp, "a second up row");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const TFtpDate today{2024, 3, 15};
  const auto kind = static_cast<TDirParserKind>(data[0] % 6);
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\n') {
      lines.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  const TDirRows rows = ParseListingRows(kind, lines, &today);
  Check(!rows.Directories.empty(), "no rows at all");
  Check(rows.Directories[0].Kind == dekUp && rows.Directories[0].Caption == "..", "\"..\" is not first");
  Check(rows.Directories[0].Image == kDirImageUp, "\"..\" without its image");
  Check(rows.Directories.size() - 1 + rows.Files.size() <= lines.size(), "more rows than lines");
  for (size_t i = 1; i < rows.Directories.size(); ++i) {
    const TDirRow& r = rows.Directories[i];
    CheckRow(r);
    Check(r.Kind == dekDirectory || r.Kind == dekLink, "a file in the directory list");
    Check(r.Image == kDirImageDirectory || r.Image == kDirImageLink, "a directory row without its image");
  }
  for (const TDirRow& r : rows.Files) {
    CheckRow(r);
    Check(r.Kind == dekFile, "a directory in the file list");
  }
  return 0;
}
