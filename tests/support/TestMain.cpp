// Test entry: no dialog may block a test run, an exception that reaches the
// application's hook fails the running test unless the test expects it, and
// every window a test shows leaves a screenshot.
#include <gtest/gtest.h>

#include "Screenshot.h"
#include "Testutil.h"

namespace {

class TFailingDialogs : public TSystemDialogs {
 public:
  int MessageBox(HWND, const String& text, const String& caption, UINT) override {
    ADD_FAILURE() << "unexpected message box: [" << caption << "] " << text;
    return IDCANCEL;
  }
  bool GetSaveFileName(OPENFILENAMEA&) override {
    ADD_FAILURE() << "unexpected save dialog";
    return false;
  }
  bool GetOpenFileName(OPENFILENAMEA&) override {
    ADD_FAILURE() << "unexpected open dialog";
    return false;
  }
  bool WinHelp(HWND, const String& file, UINT, ULONG_PTR) override {
    ADD_FAILURE() << "unexpected help call: " << file;
    return false;
  }
};

class TAppHookReset : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    Application->OnException = [](TObject*, Exception& e) {
      ADD_FAILURE() << "exception reached the application hook: " << e.ClassName() << ": " << e.Message;
    };
    Application->ResetTerminated();
  }
};

}  // namespace

int main(int argc, char** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  static TFailingDialogs dialogs;
  SetSystemDialogs(&dialogs);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new TAppHookReset);
  ::testing::UnitTest::GetInstance()->listeners().Append(NewScreenshotListener());
  return RUN_ALL_TESTS();
}
