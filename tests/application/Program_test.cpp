// The program itself: copies of nbra3.exe started from a folder of their
// own, in a prefix of their own (its mutex, windows and registry), driven
// as a person would: the second start's box, the first window restored,
// the exit codes, a restart, and a system without the dial-up library.
#include <gtest/gtest.h>

#include <functional>

#include "application/Startup.h"
#include "classlib/Registry.h"
#include "support/Modal.h"
#include "support/Png.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

constexpr DWORD kExitTimeoutMs = 15000;
// The program's saved bar layout (in the program tests' own prefix).
const String kToolbarsKey = "\\Software\\Quellmark\\Nembra3\\Toolbars";

// A copy of the program in a fresh folder.
String ProgramCopy(const String& name) {
  String path = MakeTempFolder(name) + "\\nbra3.exe";
  EXPECT_TRUE(CopyFileA(NBRA3_EXE, path.c_str(), FALSE)) << NBRA3_EXE;
  return path;
}

class TProcess {
 public:
  explicit TProcess(const String& exe) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    String command = "\"" + exe + "\"";
    String folder = ExtractFilePath(exe);
    started_ = CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                              &pi_) != FALSE;
    EXPECT_TRUE(started_) << exe << ": " << GetLastError();
  }
  ~TProcess() {
    if (!started_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
      ADD_FAILURE() << "the program was still running";
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }
  TProcess(const TProcess&) = delete;
  TProcess& operator=(const TProcess&) = delete;

  DWORD Id() const { return pi_.dwProcessId; }
  // The exit code once it ended, pumping meanwhile; STILL_ACTIVE when it
  // did not end in time.
  DWORD ExitCode(DWORD timeoutMs = kExitTimeoutMs) {
    if (!started_) return STILL_ACTIVE;
    WaitUntil([&] { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

// The main windows of every process, shown or not.
std::vector<HWND> MainWindows() {
  std::vector<HWND> found;
  for (HWND w : TopWindows(false, true))
    if (WindowClass(w) == "TFormMain") found.push_back(w);
  return found;
}

// The shown main window of a process.
HWND WaitMainWindow(const TProcess& p) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : MainWindows()) {
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          if (pid == p.Id() && IsWindowVisible(w)) found = w;
        }
        return found != nullptr;
      },
      kExitTimeoutMs);
  EXPECT_NE(found, nullptr) << "no main window; there are " << DescribeWindows(TopWindows(true, true));
  return found;
}

// A step that takes a picture of the box of another process as it shows.
std::function<bool(HWND)> Shoot(TDibSurface& shot) {
  return [&shot](HWND box) {
    shot = CaptureWindow(box);
    return true;
  };
}

void SaveShot(const TDibSurface& shot, const String& suffix) {
  EXPECT_TRUE(SavePng(shot, ScreenshotPath(suffix))) << suffix;
}

bool CompanyKeyExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quellmark", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

}  // namespace

TEST(Program, SecondStartShowsTheBoxAndRestoresTheFirst) {
  String exe = ProgramCopy("program-a");
  TProcess a(exe);
  HWND first = WaitMainWindow(a);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(WindowText(first), "Nembra 3");
  ASSERT_TRUE(WaitUntil([&] { return IsZoomed(first) != FALSE; }));  // the first run: maximised
  SaveScreenshot(first);
  ShowWindow(first, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(first) != FALSE; }));

  {
    TDibSurface shot;
    TModalDriver modal(10000, TModalDriver::msAnyProcess);
    modal.Window("Nembra", "#32770").Do("picture", Shoot(shot)).Press("OK");
    TProcess b(exe);
    ASSERT_TRUE(modal.Finish(kExitTimeoutMs));
    SaveShot(shot, "box");
    ASSERT_EQ(modal.Seen().size(), 1u);
    EXPECT_EQ(modal.Seen()[0].Caption, "Nembra");
    EXPECT_EQ(modal.Seen()[0].Text(), "Nembra is already running!");
    EXPECT_EQ(b.ExitCode(), 0u);
  }
  // The first comes back as it was, in front; it is the only one.
  EXPECT_TRUE(WaitUntil([&] { return !IsIconic(first); }, 5000));
  EXPECT_TRUE(IsZoomed(first));
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == first; }, 5000));
  EXPECT_EQ(MainWindows(), std::vector<HWND>{first});
  SaveScreenshot(first, "restored");

  PostMessageA(first, WM_CLOSE, 0, 0);
  EXPECT_EQ(a.ExitCode(), 0u);
}

// The key of the saved bar whose caption is given ("" when there is none).
String SavedBarKey(const String& caption) {
  TRegistry r;
  if (!r.OpenKeyReadOnly(kToolbarsKey)) return "";
  int count = r.ReadInteger("BarCount");
  for (int i = 0; i < count; ++i) {
    TRegistry bar;
    String key = kToolbarsKey + "\\Bar" + IntToStr(i);
    if (bar.OpenKeyReadOnly(key) && bar.ReadString("Caption") == caption) return key;
  }
  return "";
}

// The shown bar window of the given caption in the main window.
HWND ShownBarWindow(HWND main, const String& caption) {
  struct TSearch {
    String Caption;
    HWND Found = nullptr;
  } search{caption};
  EnumChildWindows(
      main,
      [](HWND w, LPARAM data) {
        auto* s = reinterpret_cast<TSearch*>(data);
        if (IsWindowVisible(w) && WindowClass(w) == "TdxBarControl" && WindowText(w) == s->Caption) s->Found = w;
        return s->Found ? FALSE : TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

TEST(Program, ClosingEndsWithZeroAndARestartWorks) {
  String exe = ProgramCopy("program-b");
  TRegistry().DeleteKey(kToolbarsKey);
  for (int run = 0; run < 2; ++run) {
    TProcess p(exe);
    HWND main = WaitMainWindow(p);
    ASSERT_NE(main, nullptr) << "run " << run;
    // No box: the mutex of the run before is gone.
    EXPECT_EQ(FindTopWindow("Nembra", "#32770", true), nullptr);
    // The View bar shows as defined the first time, and as the first run
    // left it (hidden below) the second time.
    EXPECT_TRUE(WaitUntil([&] { return (ShownBarWindow(main, "View") != nullptr) == (run == 0); }, 5000))
        << "run " << run;
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(p.ExitCode(), 0u) << "run " << run;
    EXPECT_TRUE(MainWindows().empty());
    // The bars' layout was saved as the window went.
    String view = SavedBarKey("View");
    ASSERT_NE(view, "") << "run " << run;
    TRegistry bar;
    ASSERT_TRUE(bar.OpenKey(view, false));
    EXPECT_EQ(bar.ReadInteger("Visible"), run == 0 ? 1 : 0) << "run " << run;
    if (run == 0) bar.WriteInteger("Visible", 0);
  }
  // The placement of the main window was kept.
  TRegistry r;
  ASSERT_TRUE(r.OpenKeyReadOnly("\\Software\\Quellmark\\Nembra3\\FormMain"));
  EXPECT_TRUE(r.ValueExists("MaxState"));
}

TEST(Program, WithoutTheDialupLibraryOnlyTheBox) {
  HKEY software = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &software), ERROR_SUCCESS);
  RegDeleteTreeA(software, "Quellmark");
  RegCloseKey(software);
  ASSERT_FALSE(CompanyKeyExists());

  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  String library = String(system) + "\\rasapi32.dll", hidden = library + ".hidden";
  ASSERT_TRUE(MoveFileA(library.c_str(), hidden.c_str())) << library;
  struct TGiveBack {
    String from, to;
    ~TGiveBack() { MoveFileA(from.c_str(), to.c_str()); }
  } giveBack{hidden, library};

  TDibSurface shot;
  TModalDriver modal(10000, TModalDriver::msAnyProcess);
  modal.Window("Nembra", "#32770").Do("picture", Shoot(shot)).Press("OK");
  TProcess p(ProgramCopy("program-c"));
  ASSERT_TRUE(modal.Finish(kExitTimeoutMs));
  SaveShot(shot, "box");
  ASSERT_EQ(modal.Seen().size(), 1u);
  EXPECT_EQ(modal.Seen()[0].Caption, "Nembra");
  EXPECT_EQ(modal.Seen()[0].Text(), NoDialupText);
  EXPECT_EQ(p.ExitCode(), 0u);
  EXPECT_TRUE(MainWindows().empty());
  EXPECT_FALSE(CompanyKeyExists());
}

TEST(Program, AnErrorAtTheStartIsShownAndTheRunEnds) {
  // A profile file another program holds cannot be read.
  String exe = ProgramCopy("program-d");
  String profiles = ExtractFilePath(exe) + "accounts.dat";
  WriteFileBytes(profiles, "[Alpha]\r\nHostName=a.example\r\n\r\n");
  HANDLE lock = CreateFileA(profiles.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  {
    TDibSurface shot;
    TModalDriver modal(10000, TModalDriver::msAnyProcess);
    modal.Window("Nembra3", "#32770").Do("picture", Shoot(shot)).Press("OK");
    TProcess p(exe);
    ASSERT_TRUE(modal.Finish(kExitTimeoutMs));
    SaveShot(shot, "box");
    ASSERT_EQ(modal.Seen().size(), 1u);
    EXPECT_NE(modal.Seen()[0].Text().find("accounts.dat"), String::npos) << modal.Seen()[0].Text();
    EXPECT_EQ(p.ExitCode(), 0u);
    EXPECT_TRUE(MainWindows().empty());
  }
  CloseHandle(lock);
  // The instance was given up: the next start runs.
  TProcess again(exe);
  HWND main = WaitMainWindow(again);
  ASSERT_NE(main, nullptr);
  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(again.ExitCode(), 0u);
}
