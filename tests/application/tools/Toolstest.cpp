#include "Toolstest.h"

#include <winsock2.h>

#include <algorithm>

#include "support/Testutil.h"

TExceptionLog::TExceptionLog() : previous_(Application->OnException) {
  Application->OnException = [this](TObject*, Exception& e) { Seen.push_back(e.ClassName() + ": " + e.Message); };
}

TExceptionLog::~TExceptionLog() { Application->OnException = previous_; }

std::vector<String> MemoLines(TCustomMemo* memo) {
  std::vector<String> lines;
  TStrings* l = memo->Lines();
  for (int i = 0; i < l->Count(); ++i) lines.push_back(l->Strings(i));
  return lines;
}

::testing::AssertionResult WaitForLine(TCustomMemo* memo, const String& text, DWORD timeoutMs) {
  auto has = [&] {
    std::vector<String> lines = MemoLines(memo);
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  };
  if (WaitFor(has, timeoutMs)) return ::testing::AssertionSuccess();
  ::testing::AssertionResult r = ::testing::AssertionFailure();
  r << "no line [" << text << "] within " << timeoutMs << " ms; the memo holds:";
  for (const String& l : MemoLines(memo)) r << "\n  [" << l << "]";
  return r;
}

std::vector<String> LinesFrom(TCustomMemo* memo, const String& first) {
  std::vector<String> lines = MemoLines(memo);
  auto it = std::find(lines.begin(), lines.end(), first);
  return std::vector<String>(it, lines.end());
}

int WinsockStartups() {
  int n = 0;
  while (n < 1000 && WSACleanup() == 0) ++n;
  for (int i = 0; i < n; ++i) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  return n;
}
