// Fills a report list of five columns with 100,000 rows (or as many as the
// first argument says) inside one items update and sorts it: texts kept in
// the items, and texts given on display by OnData (the items hold only
// Data). Prints seconds of each step, after one fill that is not counted.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "classlib/Forms.h"
#include "classlib/Listview.h"

namespace {

// The rows: the first argument, 100,000 by default.
int gRows = 100000;

double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// A row number scrambled, so that sorting has work to do.
int Key(int i) { return static_cast<int>((static_cast<unsigned>(i) * 2654435761u) % 1000003u); }

struct TBench {
  TForm* form;
  TListView* list;
  TBench() {
    form = new TForm(Application);
    form->SetCaption("Views bench");
    form->SetBounds(20, 20, 800, 600);
    list = new TListView(form);
    list->SetParent(form);
    list->SetAlign(alClient);
    list->SetViewStyle(vsReport);
    for (const char* c : {"Name", "Size", "Date", "Permissions", "Owner"}) {
      TListColumn* col = list->Columns()->Add();
      col->SetCaption(c);
      col->SetWidth(140);
    }
    form->EndLoading();
    form->Show();
    ProcessQueuedMessages();
  }
  ~TBench() { form->Free(); }
  // The window paints what is now in view.
  double Paint() {
    double t = Now();
    InvalidateRect(list->Handle(), nullptr, TRUE);
    UpdateWindow(list->Handle());
    ProcessQueuedMessages();
    return Now() - t;
  }
};

int CALLBACK ByKey(LPARAM a, LPARAM b, LPARAM) {
  intptr_t x = reinterpret_cast<intptr_t>(reinterpret_cast<TListItem*>(a)->Data());
  intptr_t y = reinterpret_cast<intptr_t>(reinterpret_cast<TListItem*>(b)->Data());
  return x < y ? -1 : x > y ? 1 : 0;
}

void Report(const char* what, double seconds) { std::printf("%-52s %8.3f s\n", what, seconds); }

void StoredTexts(bool report = true) {
  TBench b;
  double t = Now();
  b.list->Items()->BeginUpdate();
  char buf[64];
  for (int i = 0; i < gRows; ++i) {
    TListItem* it = b.list->Items()->Add();
    std::snprintf(buf, sizeof buf, "file%07d.txt", Key(i));
    it->SetCaption(buf);
    TStrings* sub = it->SubItems();
    sub->Add(IntToStr(i * 17));
    sub->Add("Jan 12 2003");
    sub->Add("-rw-r--r--");
    sub->Add("ftp");
  }
  b.list->Items()->EndUpdate();
  if (!report) return;
  Report("fill, texts in the items", Now() - t);
  Report("paint after the fill", b.Paint());
  t = Now();
  b.list->AlphaSort();
  Report("sort by caption (AlphaSort)", Now() - t);
  Report("paint after the sort", b.Paint());
  t = Now();
  b.list->Items()->Clear();
  Report("clear", Now() - t);
}

void SortedFill() {
  TBench b;
  b.list->OnCompare = [](TObject*, TListItem* x, TListItem* y, LPARAM, int& c) {
    c = StrToIntDef(x->SubItems()->Get(0), 0) - StrToIntDef(y->SubItems()->Get(0), 0);
  };
  b.list->SetSortType(stBoth);
  double t = Now();
  b.list->Items()->BeginUpdate();
  char buf[64];
  for (int i = 0; i < gRows; ++i) {
    TListItem* it = b.list->Items()->Add();
    std::snprintf(buf, sizeof buf, "file%07d.txt", i);
    it->SetCaption(buf);
    it->SubItems()->Add(IntToStr(Key(i)));
    for (int k = 0; k < 3; ++k) it->SubItems()->Add("x");
  }
  b.list->Items()->EndUpdate();
  Report("fill, SortType stBoth with OnCompare (sorted at the end)", Now() - t);
}

void CallbackTexts() {
  TBench b;
  b.list->OnData = [](TObject*, TListItem* item, int sub, String& text) {
    intptr_t n = reinterpret_cast<intptr_t>(item->Data());
    char buf[64];
    switch (sub) {
      case 0: std::snprintf(buf, sizeof buf, "file%07d.txt", static_cast<int>(n)); break;
      case 1: std::snprintf(buf, sizeof buf, "%d", static_cast<int>(n * 17)); break;
      case 2: std::snprintf(buf, sizeof buf, "Jan 12 2003"); break;
      case 3: std::snprintf(buf, sizeof buf, "-rw-r--r--"); break;
      default: std::snprintf(buf, sizeof buf, "ftp"); break;
    }
    text = buf;
  };
  double t = Now();
  b.list->Items()->BeginUpdate();
  for (int i = 0; i < gRows; ++i) {
    TListItem* it = b.list->Items()->Add();
    it->SetData(reinterpret_cast<void*>(static_cast<intptr_t>(Key(i))));
    for (int k = 0; k < 4; ++k) it->SubItems()->Add(String());
  }
  b.list->Items()->EndUpdate();
  Report("fill, texts by OnData (items hold Data)", Now() - t);
  Report("paint after the fill", b.Paint());
  t = Now();
  b.list->CustomSort(ByKey, 0);
  Report("sort by Data (CustomSort)", Now() - t);
  Report("paint after the sort", b.Paint());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) gRows = std::max(1, std::atoi(argv[1]));
  std::printf("%d rows of 5 columns\n", gRows);
  // The first fill of a process also grows Wine's heaps: not counted.
  StoredTexts(false);
  StoredTexts();
  CallbackTexts();
  SortedFill();
  return 0;
}
