// Lines per second converting a Unix listing of 100,000 lines (or as many
// as the first argument says).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "application/connections/Ftpcommon.h"

namespace {

// The listing's lines: the first argument, 100,000 by default.
int gLines = 100000;
const int kRounds = 7;

std::vector<std::string> MakeListing() {
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::vector<std::string> lines;
  lines.reserve(gLines);
  char buf[256];
  for (int i = 0; i < gLines; ++i) {
    const char* month = months[i % 12];
    const int day = 1 + i % 28;
    switch (i % 4) {
      case 0:
        std::snprintf(buf, sizeof buf, "drwxr-xr-x   2 ftpuser  ftpgroup     4096 %s %2d  2019 folder_%06d", month,
                      day, i);
        break;
      case 1:
        std::snprintf(buf, sizeof buf, "-rw-r--r--   1 ftpuser  ftpgroup %8d %s %2d 14:%02d report %06d.txt",
                      i * 37 % 99999999, month, day, i % 60, i);
        break;
      case 2:
        std::snprintf(buf, sizeof buf, "lrwxrwxrwx   1 root     root           11 %s %2d  2021 link_%06d -> target/%d",
                      month, day, i, i);
        break;
      default:
        std::snprintf(buf, sizeof buf, "-rwxr-sr-x   1 www-data www-data %8d %s %2d 09:%02d script_%06d.sh",
                      i * 13 % 9999999, month, day, i % 60, i);
        break;
    }
    lines.push_back(buf);
  }
  return lines;
}

// prepare() makes the input of a round outside the timed part.
template <typename P, typename F>
double BestLinesPerSecond(P&& prepare, F&& convert, double& median) {
  std::vector<double> rates;
  for (int r = 0; r < kRounds; ++r) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    const int kept = convert();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (kept != gLines) std::printf("  warning: %d of %d lines kept\n", kept, gLines);
    rates.push_back(gLines / took.count());
  }
  std::sort(rates.begin(), rates.end());
  median = rates[rates.size() / 2];
  return rates.back();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) gLines = std::max(1, std::atoi(argv[1]));
  const std::vector<std::string> listing = MakeListing();
  const TFtpDate today{2024, 6, 15};

  double median = 0;
  TStringList names, sizes, markers, dates, times, links;
  double best = BestLinesPerSecond(
      [&] {
        for (TStrings* l : {&names, &sizes, &markers, &dates, &times, &links}) l->Clear();
        for (const std::string& l : listing) names.Add(l);
      },
      [&] {
        BYTE flag = lfNone;
        FTP_ConvertLines(&names, &sizes, &markers, &dates, &times, &links, flag, &today);
        return names.Count();
      },
      median);
  std::printf("FTP_ConvertLines, string lists: %d lines, best %.0f lines/s, median %.0f lines/s\n", gLines, best,
              median);

  std::vector<std::string> n, s, m, d, t, l;
  best = BestLinesPerSecond(
      [&] { n = listing; },
      [&] {
        unsigned char flag = lfNone;
        FTP_ConvertLines(n, s, m, d, t, l, flag, &today);
        return static_cast<int>(n.size());
      },
      median);
  std::printf("FTP_ConvertLines, vectors:      %d lines, best %.0f lines/s, median %.0f lines/s\n", gLines, best,
              median);
  return 0;
}
