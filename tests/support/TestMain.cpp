// Test entry: no dialog may block a test run, an exception that reaches the
// application's hook fails the running test unless the test expects it, a
// crash fails the program, and every window a test shows leaves a
// screenshot.
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
  bool ChooseColor(CHOOSECOLORA&) override {
    ADD_FAILURE() << "unexpected colour dialog";
    return false;
  }
  bool ChooseFont(CHOOSEFONTA&) override {
    ADD_FAILURE() << "unexpected font dialog";
    return false;
  }
  bool InputQuery(const String& caption, const String& prompt, String&) override {
    ADD_FAILURE() << "unexpected input box: [" << caption << "] " << prompt;
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

// A crash ends the program with the exception's code: under Wine the
// debugger it would start lets the process end with 0, as if all passed.
LONG WINAPI CrashExit(EXCEPTION_POINTERS* info) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  DWORD code = info->ExceptionRecord->ExceptionCode;
  fprintf(stderr, "\nunhandled exception 0x%08lx at %p in %s.%s\n", static_cast<unsigned long>(code),
          info->ExceptionRecord->ExceptionAddress, test ? test->test_suite_name() : "(no test)",
          test ? test->name() : "");
  fflush(stderr);
  TerminateProcess(GetCurrentProcess(), code ? code : 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(CrashExit);
  static TFailingDialogs dialogs;
  SetSystemDialogs(&dialogs);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new TAppHookReset);
  ::testing::UnitTest::GetInstance()->listeners().Append(NewScreenshotListener());
  return RUN_ALL_TESTS();
}
