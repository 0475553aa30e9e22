// Test entry: no dialog may block a test run, an exception that reaches the
// application's hook fails the running test unless the test expects it, a
// crash fails the program, and every window a test shows leaves a
// screenshot.
#include <gtest/gtest.h>

#include <algorithm>
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
  TModalResult MessageDlg(HWND, const String& text, const String& caption, const std::vector<TDlgButton>&) override {
    ADD_FAILURE() << "unexpected question: [" << caption << "] " << text;
    return mrCancel;
  }
  bool ShellExecuteFile(HWND, const String& verb, const String& file, const String&, const String&, int) override {
    ADD_FAILURE() << "unexpected shell call: " << verb << " " << file;
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

// The running test, for the crash report (no locks taken while crashing).
char gRunning[512] = "(no test)";

class TRunningTest : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& info) override {
    snprintf(gRunning, sizeof gRunning, "%s.%s", info.test_suite_name(), info.name());
  }
  void OnTestEnd(const ::testing::TestInfo&) override { snprintf(gRunning, sizeof gRunning, "(no test)"); }
};

// A crash ends the program with the exception's code: under Wine the
// debugger it would start lets the process end with 0, as if all passed.
LONG WINAPI CrashExit(EXCEPTION_POINTERS* info) {
  DWORD code = info->ExceptionRecord->ExceptionCode;
  char text[700];
  int n = snprintf(text, sizeof text, "\nunhandled exception 0x%08lx at %p in %s\n", static_cast<unsigned long>(code),
                   info->ExceptionRecord->ExceptionAddress, gRunning);
  DWORD length = static_cast<DWORD>(std::clamp(n, 0, static_cast<int>(sizeof text) - 1)), written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, length, &written, nullptr);
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
  ::testing::UnitTest::GetInstance()->listeners().Append(new TRunningTest);
  ::testing::UnitTest::GetInstance()->listeners().Append(NewScreenshotListener());
  return RUN_ALL_TESTS();
}
