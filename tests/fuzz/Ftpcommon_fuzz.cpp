// libFuzzer target for the listing converter, built natively.
// Input: the first byte picks the format flag and the day taken as today;
// the rest are listing lines separated by LF.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "application/connections/Ftpcommon.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

bool Blank(const std::string& s) {
  for (unsigned char c : s)
    if (c != ' ' && c >= 28) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const TFtpDate days[] = {{2024, 1, 1}, {2024, 12, 31}, {2023, 2, 28}, {2024, 2, 29}};
  unsigned char flag = data[0] & 7;
  const TFtpDate today = days[(data[0] >> 3) & 3];
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::vector<std::string> names;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\n') {
      names.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  const size_t lines = names.size();
  const bool forced = flag == lfVms;
  const unsigned char entry = flag;

  std::vector<std::string> sizes{"stale"}, markers, dates, times, links;
  FTP_ConvertLines(names, sizes, markers, dates, times, links, flag, &today);

  const size_t n = names.size();
  Check(sizes.size() == n && markers.size() == n && dates.size() == n && times.size() == n && links.size() == n,
        "six lists of equal length");
  Check(n <= lines, "no more rows than lines");
  Check(!forced || flag == lfVms, "forced VMS stays VMS");
  Check(flag <= lfAs400 || flag == entry, "flag is a format or the entry value");
  for (size_t i = 0; i < n; ++i) {
    Check(!Blank(names[i]), "every kept row has a name");
    Check(markers[i].empty() || markers[i][0] == '<', "marker is empty or a <...> word");
  }

  // The helpers on their own, with the whole input as one text.
  GetMonthIndex(text);
  NormalizeDate(text);
  NormalizeTime(text);
  const std::string dos = DosDateToMDY(text);
  Check(dos.empty() || dos.size() == 10, "DOS date is MM/DD/YYYY or empty");
  unsigned char vms = 0;
  FTP_SetupVMS(text, vms);
  std::string rest = text;
  for (int i = 0; i < 64 && !rest.empty(); ++i) GetFirstParam(rest);
  return 0;
}
