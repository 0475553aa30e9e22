// What the network tools' tests share: the fake host (support/Fakehost.h)
// as the main window's services, a record of the exceptions that reach the
// application, and the lines of a memo.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "classlib/Stdctrls.h"
#include "support/Fakehost.h"

// Records "Class: message" of every exception that reaches the
// application's hook while the object lives.
class TExceptionLog {
 public:
  TExceptionLog();
  ~TExceptionLog();
  std::vector<String> Seen;

 private:
  TExceptionEvent previous_;
};

std::vector<String> MemoLines(TCustomMemo* memo);
// Waits (pumping) until the memo has a line equal to text.
::testing::AssertionResult WaitForLine(TCustomMemo* memo, const String& text, DWORD timeoutMs = 10000);
// The lines from the first one equal to first on.
std::vector<String> LinesFrom(TCustomMemo* memo, const String& first);
// The number of WSAStartup calls not yet matched by WSACleanup in the
// process (counted by ending them all and starting them again): call only
// while no socket is open.
int WinsockStartups();
