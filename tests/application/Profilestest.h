// The bench of the profile windows and the preferences: the fake host as
// the main window (boxes with queued answers, refreshes, the help path and
// the small images), a profile file in a folder of the test's own, and the
// exceptions that reach the application's hook.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "support/Fakehost.h"
#include "support/Testutil.h"

class ProfilesTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The profile file from bytes, and its bytes now.
  void WriteProfiles(const String& bytes) { WriteFileBytes(path, bytes); }
  String Profiles() const { return FileExists(path) ? ReadFileBytes(path) : String("(no file)"); }
  // From now on exceptions that reach the application's hook are recorded
  // in Errors (as "class: message") instead of failing the test.
  void RecordErrors();
  // Pumps until n errors were recorded.
  bool WaitErrors(size_t n);
  // The help calls made: "file|command|topic".
  const std::vector<String>& Helps() const { return dialogs.Dialogs.HelpCalls; }

  String dir, path;
  // Error boxes and save dialogs fail the test.
  TFakeHost frame;
  TScopedDialogs dialogs;
  std::vector<String> Errors;
};

// The three profiles most tests start from, in file order.
extern const char kThreeProfiles[];
