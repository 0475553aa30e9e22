// Test entry: no dialog may block a test run, an exception that reaches the
// application's hook fails the running test unless the test expects it, and
// every window a test shows leaves a screenshot.
#include <gtest/gtest.h>

#include <cstdio>

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

namespace {
// Under Wine a crashed process ends with exit code 0 after the debugger's
// backtrace, so CTest would count a crash as a pass: a crash ends the
// program with a failure code instead.
LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info) {
  fprintf(stderr, "CRASH: exception %08lx at %p\n", info->ExceptionRecord->ExceptionCode,
          info->ExceptionRecord->ExceptionAddress);
  fflush(stderr);
  fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}
}  // namespace

int main(int argc, char** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(CrashFilter);
  static TFailingDialogs dialogs;
  SetSystemDialogs(&dialogs);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new TAppHookReset);
  ::testing::UnitTest::GetInstance()->listeners().Append(NewScreenshotListener());
  return RUN_ALL_TESTS();
}
