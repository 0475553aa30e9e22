// Parses a Unix listing of 100,000 lines (or as many as the first argument
// says) into a directory list and a file list as the connection window
// fills them (redrawing off, items cleared, the parser, redrawing on) and
// paints them. Prints the rows' parse alone (lines per second), the fill of
// both views, the paint until the filled lists are on screen, the whole
// listing (fill and paint) and, apart, the clearing of the previous
// listing's items; best and median of five rounds after one not counted.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "application/connections/Parser2.h"
#include "classlib/Forms.h"
#include "shellctl/Upttreelist.h"

namespace {

// The listing's lines: the first argument, 100,000 by default.
int gLines = 100000;

double Seconds() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// Directories, links and files of a dozen extensions, as ls -l writes them.
std::vector<std::string> MakeListing() {
  static const char* ext[] = {".txt", ".bin", ".html", ".c", ".h", ".zip", ".jpg", ".png", ".pdf", ".doc", ".gz", ""};
  std::vector<std::string> lines;
  lines.reserve(gLines + 1);
  lines.push_back("total 123456");
  char buf[200];
  for (int i = 0; i < gLines; ++i) {
    const char* date = i % 3 ? "Jan 12  2003" : "Mar  5 09:15";
    if (i % 10 == 0)
      std::snprintf(buf, sizeof buf, "drwxr-xr-x    2 ftp      ftp          4096 %s folder %06d", date, i);
    else if (i % 20 == 1)
      std::snprintf(buf, sizeof buf, "lrwxrwxrwx    1 ftp      ftp            12 %s link%06d -> folder %06d", date, i, i - 1);
    else
      std::snprintf(buf, sizeof buf, "-rw-r--r--    1 ftp      ftp      %8d %s file %06d%s", i * 37 % 10000000, date, i,
                    ext[i % 12]);
    lines.push_back(buf);
  }
  return lines;
}

struct TBench {
  TForm* form;
  TPTListView* dirs;
  TPTListView* files;
  TBench() {
    form = new TForm(Application);
    form->SetCaption("Parser bench");
    form->SetBounds(20, 20, 1000, 600);
    dirs = MakeList(8, 380, "Directories");
    files = MakeList(396, 590, "Name");
    files->SetSmallImages(DirParser->ImageList1);
    form->EndLoading();
    form->Show();
    ProcessQueuedMessages();
  }
  TPTListView* MakeList(int left, int width, const char* first) {
    auto* l = new TPTListView(form);
    l->SetParent(form);
    l->SetBounds(left, 8, width, 560);
    l->SetViewStyle(vsReport);
    for (const char* c : {first, "Size", "Date", "Permissions"}) {
      TListColumn* col = l->Columns()->Add();
      col->SetCaption(c);
      col->SetWidth(120);
    }
    return l;
  }
  ~TBench() { form->Free(); }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) gLines = std::max(1, std::atoi(argv[1]));
  Application->Initialize();
  DirParser = new TDirParser(Application);
  const std::vector<std::string> listing = MakeListing();
  TStringList lines;
  for (const std::string& l : listing) lines.Add(l);
  TBench b;
  std::vector<double> parse, clear, fill, paint, whole;
  for (int round = 0; round < 6; ++round) {
    double t0 = Seconds();
    TDirRows rows = ParseListingRows(dpUnix, listing);
    double t1 = Seconds();
    for (TPTListView* l : {b.dirs, b.files}) {
      SendMessageA(l->Handle(), WM_SETREDRAW, FALSE, 0);
      l->Items()->Clear();
    }
    double t2 = Seconds();
    DirParser->ParseUnixListing(&lines, b.dirs, b.files);
    double t3 = Seconds();
    for (TPTListView* l : {b.dirs, b.files}) {
      SendMessageA(l->Handle(), WM_SETREDRAW, TRUE, 0);
      InvalidateRect(l->Handle(), nullptr, TRUE);
      UpdateWindow(l->Handle());
    }
    ProcessQueuedMessages();
    GdiFlush();
    double t4 = Seconds();
    if (round == 0) {
      std::printf("rows: %zu directories, %zu files; items: %d + %d\n", rows.Directories.size(), rows.Files.size(),
                  b.dirs->Items()->Count(), b.files->Items()->Count());
      continue;  // warm-up
    }
    parse.push_back(t1 - t0);
    fill.push_back(t3 - t2);
    paint.push_back(t4 - t3);
    clear.push_back(t2 - t1);
    whole.push_back(t4 - t2);
  }
  std::vector<double> rate;
  for (double p : parse) rate.push_back(gLines / p);
  std::sort(rate.begin(), rate.end());
  std::printf("%-44s best %10.0f  median %10.0f lines/s\n", "parse rows (ParseListingRows, Unix)", rate.back(),
              rate[rate.size() / 2]);
  auto seconds = [](const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-44s best %10.3f  median %10.3f s\n", what, v.front(), v[v.size() / 2]);
  };
  seconds("fill both views (ParseUnixListing)", fill);
  seconds("paint until the filled lists are shown", paint);
  seconds("whole listing: fill and paint", whole);
  seconds("clearing the previous listing's items", clear);
  return 0;
}
