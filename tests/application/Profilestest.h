// The bench of the profile windows and the preferences: a fake main window
// (boxes with queued answers, refreshes, the help path and the small
// images), a profile file in a folder of the test's own, and the
// exceptions that reach the application's hook.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "application/frame/Frameservices.h"
#include "classlib/Imglist.h"
#include "support/Testutil.h"

// The colour of image 5 (a profile) of the fake's small images.
constexpr TColor kProfileImageColor = 0x00B000;  // green

class TFakeFrame : public TFrameServices {
 public:
  TFakeFrame();
  ~TFakeFrame() override;
  bool CheckConnection() override { return true; }
  // Recorded as "caption: text"; questions as "caption? text".
  void InfoBox(const String& text, const String& caption) override;
  void ErrorBox(const String& text, const String& caption) override;
  bool AskYesNo(const String& text, const String& caption) override;
  String HelpPath() override { return "C:\\Nembra\\nembra3.hlp"; }
  String ExecuteSaveDialog(TComponent*, const String&, const String&) override;
  void RefreshProfileList() override { ++Refreshes; }
  TCustomImageList* SmallImages() override { return images_; }

  std::vector<String> Boxes;
  std::deque<bool> Answers;  // AskYesNo answers, front first; No when empty
  int Refreshes = 0;

 private:
  TImageList* images_;
};

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
  TFakeFrame frame;
  TScopedDialogs dialogs;
  std::vector<String> Errors;

 private:
  TFrameServices* previous_ = nullptr;
};

// The three profiles most tests start from, in file order.
extern const char kThreeProfiles[];
