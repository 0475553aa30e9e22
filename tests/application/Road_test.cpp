// The whole road of a user: a copy of the program with a vsftpd profile
// beside it connects through the quick-connect combo, downloads a file
// through the file list's popup menu and uploads a local file through the
// Files menu, all by keyboard and mouse, then quits. The driver only sends
// input and messages to the program's real windows; both files are
// checked on disk.
#include <gtest/gtest.h>

#include <algorithm>

#include "classlib/Registry.h"
#include "support/Input.h"
#include "support/Peers.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

#include <commctrl.h>

namespace {

constexpr DWORD kStepMs = 20000;

class TProgramRun {
 public:
  explicit TProgramRun(const String& exe) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    String command = "\"" + exe + "\"";
    String folder = ExtractFilePath(exe);
    started_ = CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                              &pi_) != FALSE;
    EXPECT_TRUE(started_) << exe;
  }
  ~TProgramRun() {
    if (!started_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
      ADD_FAILURE() << "the program was still running";
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }
  DWORD Id() const { return pi_.dwProcessId; }
  DWORD ExitCode(DWORD ms) {
    WaitUntil([&] { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0; }, ms);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

HWND MainWindowOf(const TProgramRun& p) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : TopWindows(true, true)) {
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          if (pid == p.Id() && WindowClass(w) == "TFormMain") found = w;
        }
        return found != nullptr;
      },
      kStepMs);
  return found;
}

// The windows of a class below parent, in the order of their left edges.
std::vector<HWND> ChildrenOfClass(HWND parent, const String& className) {
  std::vector<HWND> found;
  for (int i = 0;; ++i) {
    HWND w = FindChildByClass(parent, className, i);
    if (!w) break;
    found.push_back(w);
  }
  std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
    RECT ra, rb;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.left < rb.left;
  });
  return found;
}

int ItemCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

// The client point of a list's first row (report view, under the header).
POINT FirstRow(HWND list) {
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  RECT h{};
  if (header) GetWindowRect(header, &h);
  return POINT{30, static_cast<int>(h.bottom - h.top) + 8};
}

}  // namespace

TEST(Road, QuickConnectDownloadUploadQuit) {
  // The server's start folder holds the file to download.
  String serverUpload = PeerFolder("vsftpd") + "root\\upload\\";
  String remoteName = "road-" + IntToStr(GetCurrentProcessId()) + ".bin";
  String remoteData(200000, '\0');
  for (size_t i = 0; i < remoteData.size(); ++i) remoteData[i] = static_cast<char>(i * 7919 >> 3);
  WriteFileBytes(serverUpload + remoteName, remoteData);

  // The program in a folder of its own, with the profile beside it.
  String folder = MakeTempFolder("road");
  String exe = folder + "\\nbra3.exe";
  ASSERT_TRUE(CopyFileA(NBRA3_EXE, exe.c_str(), FALSE));
  WriteFileBytes(folder + "\\accounts.dat", "[Road]\r\nHostName=127.0.0.1\r\nUserName=" + String(kFtpUser) +
                                                "\r\nPassWord=" + kFtpPassword + "\r\nPort=" + PeerPortStr(ppVsftpd) +
                                                "\r\nPassive=1\r\nServerType=0\r\nStartDir=/upload\r\n");
  String localDir = MakeTempFolder("road-local");
  String localName = "a-road-up-" + IntToStr(GetCurrentProcessId()) + ".txt";
  WriteFileBytes(localDir + "\\" + localName, "uploaded along the road\r\n");
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Quellmark\\Nembra3\\Settings", true));
    r.WriteInteger("Lanline", 1);
    r.WriteString("LastDir", localDir);
  }

  TProgramRun program(exe);
  HWND main = MainWindowOf(program);
  ASSERT_NE(main, nullptr);

  // The profile chosen in the quick-connect combo (a click drops its list
  // of profile names, a click on a row chooses it), then Quick Connect
  // from the Connections menu (its first item).
  HWND quickBar = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (int i = 0; HWND bar = FindChildByClass(main, "TdxBarControl", i); ++i)
      if (WindowText(bar) == "Quick Connect" && IsWindowVisible(bar)) quickBar = bar;
    return quickBar != nullptr;
  }, kStepMs)) << DescribeWindows(TopWindows(true, true));
  // The window settled: the local pane lists the local folder.
  ASSERT_TRUE(WaitUntil([&] {
    HWND local = FindChildByClass(main, "TListView");
    return local && ItemCount(local) >= 1;
  }, kStepMs));
  RECT bar{};
  GetClientRect(quickBar, &bar);
  ASSERT_TRUE(Click(quickBar, POINT{30, bar.bottom / 2}));
  HWND names = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND w : TopWindows(true, true)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == program.Id() && WindowClass(w) == "TdxBarDropDownListBox") names = w;
    }
    return names != nullptr;
  }, kStepMs));
  ASSERT_EQ(SendMessageA(names, LB_GETCOUNT, 0, 0), 1);
  // The other process paints the list in its own time.
  PumpFor(300);
  SaveDesktopScreenshot("names");
  // Dropped in the program's first seconds, the list shows on the screen
  // too, not what lies below it: its one row, the chosen profile, in the
  // selection colour.
  RECT namesRect{};
  GetWindowRect(names, &namesRect);
  RECT namesClient{2, 2, namesRect.right - namesRect.left - 2, namesRect.bottom - namesRect.top - 2};
  EXPECT_GT(CountColor(CaptureScreen(namesRect), namesClient, GetSysColor(COLOR_HIGHLIGHT)),
            (namesClient.right - namesClient.left) * (namesClient.bottom - namesClient.top) / 2);
  // The list is a tool window that never comes to the front: the click
  // goes where it is.
  ASSERT_TRUE(MoveTo(ClientPoint(names, 30, 5)));
  ASSERT_TRUE(MouseDown());
  ASSERT_TRUE(MouseUp());
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(names); }, kStepMs));
  ASSERT_TRUE(KeyChord({VK_MENU, 'C'}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));

  // The listing of the start folder.
  HWND child = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (child = FindChildByClass(main, "TFormMdi")) != nullptr; }, kStepMs));
  std::vector<HWND> remote;
  ASSERT_TRUE(WaitUntil([&] {
    remote = ChildrenOfClass(child, "TListView");
    return remote.size() == 2 && ItemCount(remote[1]) >= 1;
  }, kStepMs));
  SaveScreenshot(main, "listed");

  // The file, downloaded through the file list's popup menu.
  ASSERT_TRUE(Click(remote[1], FirstRow(remote[1])));
  // A menu opened by keyboard has no item selected yet.
  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_F10}));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));  // "Download File(s)", the first item
  String downloaded = localDir + "\\" + remoteName;
  ASSERT_TRUE(WaitUntil([&] { return FileSizeOf(downloaded) == static_cast<int64_t>(remoteData.size()); }, kStepMs));
  EXPECT_EQ(FileSha256(downloaded), Sha256Hex(remoteData));

  // A local file, uploaded through the Files menu: the local list's first
  // row, then the Connections menu (Alt+C; F10 would first select the
  // maximised window's own menu), three menus to the right, its first item.
  std::vector<HWND> lists = ChildrenOfClass(main, "TListView");
  HWND localList = nullptr;
  for (HWND l : lists)
    if (!IsChild(child, l)) localList = l;
  ASSERT_NE(localList, nullptr);
  ASSERT_TRUE(Click(localList, FirstRow(localList)));
  ASSERT_TRUE(KeyChord({VK_MENU, 'C'}));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(KeyChord({VK_RIGHT}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  String uploaded = serverUpload + localName;
  ASSERT_TRUE(WaitUntil([&] { return FileExists(uploaded); }, kStepMs));
  ASSERT_TRUE(WaitUntil([&] { return FileSha256(uploaded) == FileSha256(localDir + "\\" + localName); }, kStepMs));
  // The remote folder listed again after the upload, before the shot.
  EXPECT_TRUE(WaitUntil(
      [&] {
        std::vector<HWND> remote = ChildrenOfClass(child, "TListView");
        if (remote.empty()) return false;
        for (HWND l : remote)
          if (ListView_GetItemCount(l) == 0) return false;
        return true;
      },
      kStepMs));
  PumpFor(500);  // the program paints what it listed
  SaveScreenshot(main, "uploaded");

  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(kStepMs), 0u);
}

namespace {

// The visible top window of the program with this caption (and class).
HWND ProgramWindow(const TProgramRun& p, const String& caption, const String& className = "") {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : TopWindows(true, true)) {
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          if (pid == p.Id() && SameCaption(WindowText(w), caption) &&
              (className.empty() || WindowClass(w) == className) && IsWindowEnabled(w))
            found = w;
        }
        return found != nullptr;
      },
      kStepMs);
  return found;
}

bool Gone(HWND w) {
  return WaitUntil([&] { return !IsWindow(w) || !IsWindowVisible(w); }, kStepMs);
}

// The text of another process's control (GetWindowText reads only its
// title there).
String ControlText(HWND w) {
  LRESULT n = SendMessageA(w, WM_GETTEXTLENGTH, 0, 0);
  if (n <= 0) return String();
  String text(static_cast<size_t>(n) + 1, '\0');
  LRESULT got = SendMessageA(w, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(text.data()));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

// The text of a message box (its statics).
String BoxText(HWND box) {
  String text;
  for (const String& t : ChildTexts(box, "Static"))
    if (!t.empty()) text += t;
  return text;
}

// The program's menu by keyboard: Alt+C, then right to a menu, down to an
// item (disabled items count), Enter.
::testing::AssertionResult FrameForward(HWND main) {
  // A click in the local file list's empty part brings the frame forward.
  HWND local = FindChildByClass(main, "TListView");
  if (!local) return ::testing::AssertionFailure() << "no local list";
  RECT r{};
  GetClientRect(local, &r);
  return Click(local, POINT{r.right - 20, r.bottom - 10});
}

::testing::AssertionResult MenuItem(HWND main, int right, int down) {
  if (auto r = FrameForward(main); !r) return r;
  if (auto r = KeyChord({VK_MENU, 'C'}); !r) return r;
  for (int i = 0; i < right; ++i)
    if (auto r = KeyChord({VK_RIGHT}); !r) return r;
  for (int i = 0; i < down; ++i)
    if (auto r = KeyChord({VK_DOWN}); !r) return r;
  return KeyChord({VK_RETURN});
}

// The windows of a class below parent, by their left, then their top edges.
std::vector<HWND> ChildrenByPlace(HWND parent, const String& className) {
  std::vector<HWND> found = ChildrenOfClass(parent, className);
  std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
    RECT ra, rb;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.left != rb.left ? ra.left < rb.left : ra.top < rb.top;
  });
  return found;
}

// Moves the cursor there, also with SetCursorPos: Wine puts an injected
// position back a moment later.
::testing::AssertionResult WarpTo(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  ::testing::AssertionResult r = MoveTo(screen);
  WaitInputProcessed();
  return r;
}

// Chooses an entry of a drop-down list combo by keys.
::testing::AssertionResult ChooseByKeys(HWND combo, const String& entry) {
  LRESULT index = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(entry.c_str()));
  if (index < 0) return ::testing::AssertionFailure() << "no entry " << entry;
  if (auto r = Click(combo); !r) return r;
  if (auto r = KeyChord({VK_ESCAPE}); !r) return r;  // the list the click dropped
  if (auto r = KeyChord({VK_HOME}); !r) return r;
  for (LRESULT i = 0; i < index; ++i)
    if (auto r = KeyChord({VK_DOWN}); !r) return r;
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST(Road, HelpToolsProfilesAndServerToServer) {
  String pid = IntToStr(GetCurrentProcessId());
  String copied = "road-stos-" + pid + ".txt";
  String copiedData = "copied from server to server along the road\r\n";
  String vsftpdUpload = PeerFolder("vsftpd") + "root\\upload\\";
  String pureUpload = PeerFolder("pureftpd") + "root\\upload\\";
  WriteFileBytes(vsftpdUpload + copied, copiedData);

  String folder = MakeTempFolder("road-tools");
  String exe = folder + "\\nbra3.exe";
  ASSERT_TRUE(CopyFileA(NBRA3_EXE, exe.c_str(), FALSE));
  auto profile = [](const char* name, TPeerPort port) {
    return "[" + String(name) + "]\r\nHostName=127.0.0.1\r\nUserName=" + kFtpUser + "\r\nPassWord=" + kFtpPassword +
           "\r\nPort=" + PeerPortStr(port) + "\r\nPassive=1\r\nServerType=0\r\n\r\n";
  };
  WriteFileBytes(folder + "\\accounts.dat", profile("Road", ppVsftpd) + profile("Pure", ppPureftpd));
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Quellmark\\Nembra3\\Settings", true));
    r.WriteInteger("Lanline", 1);
  }

  TProgramRun program(exe);
  HWND main = MainWindowOf(program);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitUntil([&] {
    HWND local = FindChildByClass(main, "TListView");
    return local && IsWindowVisible(local);
  }, kStepMs));
  PumpFor(500);

  // F1 and Help Contents: the help file is missing, a box says so.
  String helpText = "Help is not available: the help file " + folder + "\\nembra3.hlp was not found.";
  ASSERT_TRUE(FrameForward(main));
  ASSERT_TRUE(KeyChord({VK_F1}));
  HWND box = ProgramWindow(program, "Help", "#32770");
  if (!box) SaveDesktopScreenshot("no-help-box");
  ASSERT_NE(box, nullptr) << DescribeWindows(TopWindows(true, true));
  EXPECT_EQ(BoxText(box), helpText);
  SaveScreenshot(box, "f1");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(Gone(box));
  ASSERT_TRUE(MenuItem(main, 6, 2));  // Help, Help Contents
  box = ProgramWindow(program, "Help", "#32770");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(BoxText(box), helpText);
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(Gone(box));

  // Each tool from the Utilities menu, closed with its button; the ping
  // and the lookup asked once.
  const struct {
    int Down;
    const char* Caption;
    const char* Close;
  } tools[] = {{5, "DNS Queries", "&Close"},   {6, "Ping Utility", "&Exit"}, {7, "URL Retrieval", "&Exit"},
               {8, "Finger Query", "&Close"},  {9, "DNS Lookup", "&Close"}};
  for (const auto& t : tools) {
    SCOPED_TRACE(t.Caption);
    ASSERT_TRUE(MenuItem(main, 5, t.Down));
    HWND w = ProgramWindow(program, t.Caption);
    ASSERT_NE(w, nullptr) << DescribeWindows(TopWindows(true, true));
    // A box the window brings at its opening is answered.
    PumpFor(500);
    for (HWND extra : TopWindows(true, true)) {
      DWORD id = 0;
      GetWindowThreadProcessId(extra, &id);
      if (id == program.Id() && WindowClass(extra) == "#32770") {
        PostMessageA(extra, WM_CLOSE, 0, 0);
        Gone(extra);
      }
    }
    if (String(t.Caption) == "Ping Utility") {
      ASSERT_TRUE(Click(FindChildByClass(w, "TEdit", 0)));  // Host Address
      ASSERT_TRUE(TypeText("127.0.0.1"));
      ASSERT_TRUE(Click(FindChildByText(w, "&Ping")));
      HWND memo = FindChildByClass(w, "TMemo");
      bool averaged = WaitUntil([&] { return ControlText(memo).find("Average return time: ") != String::npos; }, kStepMs);
      if (!averaged) SaveDesktopScreenshot("ping");
      ASSERT_TRUE(averaged) << ControlText(memo) << DescribeWindows(ChildWindows(w));
      String text = ControlText(memo);
      int replies = 0;
      for (size_t at = 0; (at = text.find("Received the following...", at)) != String::npos; ++at) ++replies;
      EXPECT_EQ(replies, 3) << text;
    }
    if (String(t.Caption) == "DNS Lookup") {
      ASSERT_TRUE(Click(FindChildByClass(w, "TEdit", 0)));  // Address
      ASSERT_TRUE(TypeText("localhost"));
      ASSERT_TRUE(Click(FindChildByText(w, "Lookup")));
      HWND memo = FindChildByClass(w, "TMemo");
      ASSERT_TRUE(WaitUntil([&] { return ControlText(memo).find("Result: 127.0.0.1") != String::npos; }, kStepMs))
          << ControlText(memo);
    }
    PumpFor(200);
    SaveScreenshot(w, StripAmpersands(t.Caption));
    ASSERT_TRUE(Click(FindChildByText(w, t.Close)));
    ASSERT_TRUE(Gone(w));
  }

  // Profiles from the Connections menu, New, the wizard typed through to
  // Finish.
  ASSERT_TRUE(MenuItem(main, 0, 5));
  HWND manager = ProgramWindow(program, "Profile Manager");
  ASSERT_NE(manager, nullptr);
  ASSERT_TRUE(Click(FindChildByText(manager, "&New")));
  HWND wizard = ProgramWindow(program, "Create a New Profile");
  ASSERT_NE(wizard, nullptr);
  PumpFor(300);
  ASSERT_TRUE(TypeText("Wizard"));
  ASSERT_TRUE(Click(FindChildByText(wizard, "Next >")));
  PumpFor(200);
  ASSERT_TRUE(TypeText("127.0.0.1"));
  ASSERT_TRUE(Click(FindChildByText(wizard, "Next >")));
  PumpFor(200);
  ASSERT_TRUE(TypeText(kFtpUser));
  ASSERT_TRUE(KeyChord({VK_TAB}));
  ASSERT_TRUE(TypeText(kFtpPassword));
  SaveScreenshot(wizard, "wizard");
  ASSERT_TRUE(Click(FindChildByText(wizard, "Next >")));
  PumpFor(200);
  ASSERT_TRUE(Click(FindChildByText(wizard, "Finish")));
  ASSERT_TRUE(Gone(wizard));
  HWND profileList = FindChildByClass(manager, "TListView");
  ASSERT_NE(profileList, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return ItemCount(profileList) == 3; }, kStepMs)) << ItemCount(profileList);
  PumpFor(500);
  SaveScreenshot(manager, "profiles");
  ASSERT_TRUE(Click(FindChildByText(manager, "&Close")));
  ASSERT_TRUE(Gone(manager));

  // The quick-connect combo lists it.
  HWND quickBar = nullptr;
  for (int i = 0; HWND bar = FindChildByClass(main, "TdxBarControl", i); ++i)
    if (WindowText(bar) == "Quick Connect" && IsWindowVisible(bar)) quickBar = bar;
  ASSERT_NE(quickBar, nullptr);
  RECT bar{};
  GetClientRect(quickBar, &bar);
  ASSERT_TRUE(Click(quickBar, POINT{30, bar.bottom / 2}));
  HWND names = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND w : TopWindows(true, true)) {
      DWORD id = 0;
      GetWindowThreadProcessId(w, &id);
      if (id == program.Id() && WindowClass(w) == "TdxBarDropDownListBox") names = w;
    }
    return names != nullptr;
  }, kStepMs));
  EXPECT_EQ(SendMessageA(names, LB_GETCOUNT, 0, 0), 3);
  EXPECT_GE(SendMessageA(names, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Wizard")), 0);
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(names); }, kStepMs));

  // Server to Server: pure-ftpd receives what vsftpd sends.
  ASSERT_TRUE(MenuItem(main, 5, 4));
  HWND stos = ProgramWindow(program, "Server to Server Transfers");
  ASSERT_NE(stos, nullptr) << DescribeWindows(TopWindows(true, true));
  std::vector<HWND> combos = ChildrenByPlace(stos, "TComboBox");
  ASSERT_EQ(combos.size(), 4u);  // receiving profile, directory; sending profile, directory
  auto byTop = [](HWND a, HWND b) {
    RECT ra, rb;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.top < rb.top;
  };
  std::sort(combos.begin(), combos.begin() + 2, byTop);
  std::sort(combos.begin() + 2, combos.end(), byTop);
  EXPECT_EQ(SendMessageA(combos[0], CB_GETCOUNT, 0, 0), 3);  // the wizard's profile too
  EXPECT_GE(SendMessageA(combos[0], CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>("Wizard")), 0);
  std::vector<HWND> connects;
  for (HWND b : ChildrenByPlace(stos, "TButton"))
    if (WindowText(b) == "Connect") connects.push_back(b);
  ASSERT_EQ(connects.size(), 2u);
  std::vector<HWND> lists = ChildrenByPlace(stos, "TListView");  // receiving dirs, files; sending dirs, files
  ASSERT_EQ(lists.size(), 4u);
  const struct {
    HWND Profile, Dir, Connect, Files;
    const char* Name;
  } sides[] = {{combos[0], combos[1], connects[0], lists[1], "Pure"}, {combos[2], combos[3], connects[1], lists[3], "Road"}};
  for (const auto& s : sides) {
    SCOPED_TRACE(s.Name);
    ASSERT_TRUE(ChooseByKeys(s.Profile, s.Name));
    ASSERT_TRUE(Click(s.Connect));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(s.Connect) && !ControlText(s.Dir).empty(); }, kStepMs));
    PumpFor(300);
    ASSERT_TRUE(Click(s.Dir));
    ASSERT_TRUE(KeyChord({VK_END}));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(KeyChord({VK_BACK}));
    ASSERT_TRUE(TypeText("/upload"));
    ASSERT_TRUE(KeyChord({VK_RETURN}));
    ASSERT_TRUE(WaitUntil([&] { return ItemCount(s.Files) >= 1 && ControlText(s.Dir) == "/upload"; }, kStepMs))
        << ControlText(s.Dir);
  }
  PumpFor(500);
  // The file's row in the sending list (a click in the list, then the
  // name typed: the list finds it), then Transfer.
  HWND sending = sides[1].Files;
  ASSERT_TRUE(Click(sending, FirstRow(sending)));
  ASSERT_TRUE(TypeText(copied.substr(0, copied.size() - 4)));
  PumpFor(300);
  ASSERT_GE(ListView_GetNextItem(sending, -1, LVNI_SELECTED), 0);
  ASSERT_TRUE(Click(FindChildByText(stos, "Transfer")));
  HWND status = ProgramWindow(program, "Status...", "#32770");
  ASSERT_NE(status, nullptr) << DescribeWindows(TopWindows(true, true));
  EXPECT_EQ(BoxText(status), "Transfer is complete!");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(Gone(status));
  EXPECT_EQ(ReadFileBytes(pureUpload + copied), copiedData);
  ASSERT_TRUE(WaitUntil([&] { return ItemCount(sides[0].Files) >= 1; }, kStepMs));
  PumpFor(500);
  SaveScreenshot(stos, "copied");
  ASSERT_TRUE(Click(FindChildByText(stos, "Close")));
  ASSERT_TRUE(Gone(stos));

  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(kStepMs), 0u);
  String profiles = ReadFileBytes(folder + "\\accounts.dat");
  EXPECT_NE(profiles.find("[Wizard]"), String::npos) << profiles;
  EXPECT_NE(profiles.find("HostName=127.0.0.1"), String::npos);
  EXPECT_NE(profiles.find("UserName=" + String(kFtpUser)), String::npos);
  DeleteFileStr(vsftpdUpload + copied);
  DeleteFileStr(pureUpload + copied);
}

namespace {

// The children of a window of another process with this text, left to right.
std::vector<HWND> ChildrenWithText(HWND parent, const String& text) {
  std::vector<HWND> found;
  for (HWND w : ChildWindows(parent, true))
    if (WindowText(w) == text) found.push_back(w);
  std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
    RECT ra, rb;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.left < rb.left;
  });
  return found;
}

// The text of a connection window's path combo: its one window whose text
// is a path.
String RemotePath(HWND child) {
  for (HWND w : ChildWindows(child, true)) {
    // The control's own text: GetWindowText gives only the title another
    // process's edit was made with.
    char text[1024] = {};
    SendMessageTimeoutA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    if (text[0] == '/') return text;
  }
  return "";
}

// The centre of a row's label in another process's report list, in the
// list's client coordinates: the rectangle is asked for in memory of that
// process.
POINT RowCentreOf(HWND list, int index) {
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  RECT r{LVIR_LABEL, 0, 0, 0};
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return POINT{};
  void* remote = VirtualAllocEx(process, nullptr, sizeof r, MEM_COMMIT, PAGE_READWRITE);
  if (remote && WriteProcessMemory(process, remote, &r, sizeof r, nullptr) &&
      SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote)))
    ReadProcessMemory(process, remote, &r, sizeof r, nullptr);
  else
    r = RECT{};
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

String HostMode(const String& zPath) {
  THostRun r = RunHostCommand("stat -c %a " + ShellQuote(HostPath(zPath)));
  String out = r.Out;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

}  // namespace

TEST(Road, FoldersFilesAndPermissions) {
  // A fresh start folder on the server with two files of the FTP account.
  String tag = IntToStr(GetCurrentProcessId());
  String start = "road-ops-" + tag;
  String disk = PeerFolder("vsftpd") + "root\\upload\\" + start;
  ASSERT_TRUE(ForceDirectories(disk));
  WriteFileBytes(disk + "\\first.txt", "first\r\n");
  WriteFileBytes(disk + "\\second.txt", "second\r\n");
  THostRun chown = RunHostCommand("chown -R " + String(kFtpUser) + ":" + kFtpUser + " " + ShellQuote(HostPath(disk)) +
                                  " && chmod 644 " + ShellQuote(HostPath(disk)) + "/*.txt");
  ASSERT_EQ(chown.Status, 0) << chown.Out;

  String folder = MakeTempFolder("road-ops");
  String exe = folder + "\\nbra3.exe";
  ASSERT_TRUE(CopyFileA(NBRA3_EXE, exe.c_str(), FALSE));
  WriteFileBytes(folder + "\\accounts.dat", "[Road]\r\nHostName=127.0.0.1\r\nUserName=" + String(kFtpUser) +
                                                "\r\nPassWord=" + kFtpPassword + "\r\nPort=" + PeerPortStr(ppVsftpd) +
                                                "\r\nPassive=1\r\nServerType=0\r\nStartDir=/upload/" + start + "\r\n");
  String localDir = MakeTempFolder("road-ops-local");
  // The local list's first row: dragged onto a remote folder at the end.
  String dragged(150000, '\0');
  for (size_t i = 0; i < dragged.size(); ++i) dragged[i] = static_cast<char>(i * 131 >> 2);
  WriteFileBytes(localDir + "\\a-dragged.bin", dragged);
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Quellmark\\Nembra3\\Settings", true));
    r.WriteInteger("Lanline", 1);
    r.WriteString("LastDir", localDir);
    r.WriteInteger("LastShortcut", 0);
  }

  TProgramRun program(exe);
  HWND main = MainWindowOf(program);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitUntil([&] {
    HWND local = FindChildByClass(main, "TListView");
    return local && IsWindowVisible(local);
  }, kStepMs));
  PumpFor(500);
  // Quick Connect with the profile chosen last time.
  ASSERT_TRUE(KeyChord({VK_MENU, 'C'}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  HWND child = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (child = FindChildByClass(main, "TFormMdi")) != nullptr; }, kStepMs));
  std::vector<HWND> remote;
  auto listed = [&](int dirs, int files) {
    return WaitUntil([&] {
      remote = ChildrenOfClass(child, "TListView");
      return remote.size() == 2 && ItemCount(remote[0]) == dirs && ItemCount(remote[1]) == files;
    }, kStepMs);
  };
  ASSERT_TRUE(listed(1, 2));
  String home = "/upload/" + start;
  ASSERT_TRUE(WaitUntil([&] { return RemotePath(child) == home; }, kStepMs))
      << RemotePath(child);

  // Directories menu (two to the right of Connections), New Remote
  // Directory (its third item), a name typed, Enter.
  ASSERT_TRUE(KeyChord({VK_MENU, 'C'}));
  ASSERT_TRUE(KeyChord({VK_RIGHT}));
  ASSERT_TRUE(KeyChord({VK_RIGHT}));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  HWND box = ProgramWindow(program, "Create Directory");
  ASSERT_NE(box, nullptr) << DescribeWindows(TopWindows(true, true));
  ASSERT_TRUE(BringToFront(box));
  PumpFor(300);
  ASSERT_TRUE(TypeText("made-by-hand"));
  PumpFor(300);
  SaveScreenshot(box, "input");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(WaitUntil([&] { return RemotePath(child) == home + "/made-by-hand"; }, kStepMs)) << RemotePath(child);
  EXPECT_TRUE(DirectoryExists(disk + "\\made-by-hand"));
  ASSERT_TRUE(listed(1, 0));
  // Up Directory: the menu's first item.
  ASSERT_TRUE(KeyChord({VK_MENU, 'C'}));
  ASSERT_TRUE(KeyChord({VK_RIGHT}));
  ASSERT_TRUE(KeyChord({VK_RIGHT}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(WaitUntil([&] { return RemotePath(child) == home; }, kStepMs)) << RemotePath(child);
  ASSERT_TRUE(listed(2, 2));

  // The new folder (the row under "..") renamed from the folder list's
  // popup menu: Up, Change, New, Rename.
  ASSERT_TRUE(Click(remote[0], FirstRow(remote[0])));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  PumpFor(300);
  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_F10}));
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  box = ProgramWindow(program, "Rename Directory");
  ASSERT_NE(box, nullptr) << DescribeWindows(TopWindows(true, true));
  // The preset is selected: typing replaces it.
  ASSERT_TRUE(BringToFront(box));
  PumpFor(300);
  ASSERT_TRUE(TypeText("renamed"));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(WaitUntil([&] { return DirectoryExists(disk + "\\renamed"); }, kStepMs));
  EXPECT_FALSE(DirectoryExists(disk + "\\made-by-hand"));
  ASSERT_TRUE(listed(2, 2));

  // The first file deleted from the file list's popup menu (Download,
  // Resume, Rename, Delete), Yes to the question.
  PumpFor(300);
  ASSERT_TRUE(Click(remote[1], FirstRow(remote[1])));
  PumpFor(300);
  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_F10}));
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  box = ProgramWindow(program, "Delete Files?");
  ASSERT_NE(box, nullptr) << DescribeWindows(TopWindows(true, true));
  PumpFor(300);
  SaveScreenshot(box, "question");
  std::vector<HWND> yes = ChildrenWithText(box, "&Yes");
  ASSERT_EQ(yes.size(), 1u);
  ASSERT_TRUE(Click(yes[0]));
  ASSERT_TRUE(WaitUntil([&] { return !FileExists(disk + "\\first.txt"); }, kStepMs));
  ASSERT_TRUE(listed(2, 1));

  // The other file's permissions from the same menu (its fifth item):
  // Group and Other Readable unticked by clicks, OK.
  PumpFor(300);
  ASSERT_TRUE(Click(remote[1], FirstRow(remote[1])));
  PumpFor(300);
  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_F10}));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  HWND editor = ProgramWindow(program, "File Permissions");
  ASSERT_NE(editor, nullptr) << DescribeWindows(TopWindows(true, true));
  std::vector<HWND> readable = ChildrenWithText(editor, "Readable");
  ASSERT_EQ(readable.size(), 3u);
  ASSERT_TRUE(Click(readable[1]));
  ASSERT_TRUE(Click(readable[2]));
  PumpFor(300);
  SaveScreenshot(editor, "editor");
  std::vector<HWND> ok = ChildrenWithText(editor, "&OK");
  ASSERT_EQ(ok.size(), 1u);
  ASSERT_TRUE(Click(ok[0]));
  ASSERT_TRUE(WaitUntil([&] { return HostMode(disk + "\\second.txt") == "600"; }, kStepMs))
      << HostMode(disk + "\\second.txt");

  // A download cut short goes on from the same menu's second item, Resume
  // Download: the local copy ends whole.
  WriteFileBytes(localDir + "\\second.txt", "sec");
  PumpFor(300);
  ASSERT_TRUE(Click(remote[1], FirstRow(remote[1])));
  PumpFor(300);
  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_F10}));
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(localDir + "\\second.txt") == "second\r\n"; }, kStepMs))
      << ReadFileBytes(localDir + "\\second.txt");

  // Utilities (five to the right of Connections), Remote Directory
  // Information (its fourth item): the listing as sent, closed with Escape.
  PumpFor(300);
  ASSERT_TRUE(KeyChord({VK_MENU, 'C'}));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(KeyChord({VK_RIGHT}));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  HWND info = ProgramWindow(program, "Directory Information");
  ASSERT_NE(info, nullptr) << DescribeWindows(TopWindows(true, true));
  bool listsFile = false;
  // Another process's edit: its text comes by WM_GETTEXT (GetWindowText
  // reads only its title).
  for (HWND c : ChildrenOfClass(info, "TMemo")) {
    char text[4096] = {};
    DWORD_PTR got = 0;
    SendMessageTimeoutA(c, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &got);
    if (String(text).find("second.txt") != String::npos) listsFile = true;
  }
  EXPECT_TRUE(listsFile);
  PumpFor(300);
  SaveScreenshot(info, "dirinfo");
  ASSERT_TRUE(BringToFront(info));
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(info) || !IsWindowVisible(info); }, kStepMs));

  // On the server's disk: the renamed folder, one file gone, 600.
  EXPECT_TRUE(DirectoryExists(disk + "\\renamed"));
  EXPECT_FALSE(FileExists(disk + "\\first.txt"));
  EXPECT_EQ(ReadFileBytes(disk + "\\second.txt"), "second\r\n");
  ASSERT_TRUE(listed(2, 1));

  // The local file dragged with the mouse onto the folder row under "..":
  // held over the row for the picture, then let go. It goes into that
  // folder.
  HWND localList = nullptr;
  for (HWND l : ChildrenOfClass(main, "TListView"))
    if (!IsChild(child, l)) localList = l;
  ASSERT_NE(localList, nullptr);
  POINT from = ClientPoint(localList, FirstRow(localList).x, FirstRow(localList).y);
  POINT row = RowCentreOf(remote[0], 1);
  ASSERT_GT(row.y, FirstRow(remote[0]).y);
  POINT to = ClientPoint(remote[0], row.x, row.y);
  ASSERT_TRUE(BringToFront(main));
  ASSERT_TRUE(WarpTo(from));
  ASSERT_TRUE(MouseDown());
  for (int i = 1; i <= 10; ++i)
    ASSERT_TRUE(WarpTo(POINT{from.x + (to.x - from.x) * i / 10, from.y + (to.y - from.y) * i / 10}));
  PumpFor(500);
  SaveScreenshot(main, "drag-over-row");
  ASSERT_TRUE(MouseUp());
  String arrived = disk + "\\renamed\\a-dragged.bin";
  ASSERT_TRUE(WaitUntil([&] { return FileSha256(arrived) == Sha256Hex(dragged); }, kStepMs)) << FileSizeOf(arrived);
  ASSERT_TRUE(WaitUntil([&] { return RemotePath(child) == home + "/renamed"; }, kStepMs)) << RemotePath(child);
  ASSERT_TRUE(listed(1, 1));
  PumpFor(500);
  SaveScreenshot(main, "final");

  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(kStepMs), 0u);
}

TEST(Road, LoginRawCommandsTheLogAndAView) {
  // A fresh start folder on the server with a file of the FTP account.
  String tag = IntToStr(GetCurrentProcessId());
  String start = "road-raw-" + tag;
  String disk = PeerFolder("vsftpd") + "root\\upload\\" + start;
  ASSERT_TRUE(ForceDirectories(disk));
  WriteFileBytes(disk + "\\f", "raw commands\r\n");
  THostRun chown = RunHostCommand("chown -R " + String(kFtpUser) + ":" + kFtpUser + " " + ShellQuote(HostPath(disk)) +
                                  " && chmod 644 " + ShellQuote(HostPath(disk)) + "/f");
  ASSERT_EQ(chown.Status, 0) << chown.Out;

  String folder = MakeTempFolder("road-raw");
  String localDir = MakeTempFolder("road-raw-local");
  String exe = folder + "\\nbra3.exe";
  ASSERT_TRUE(CopyFileA(NBRA3_EXE, exe.c_str(), FALSE));
  WriteFileBytes(folder + "\\accounts.dat", "[Road]\r\nHostName=127.0.0.1\r\nUserName=" + String(kFtpUser) +
                                                "\r\nPassWord=" + kFtpPassword + "\r\nPort=" + PeerPortStr(ppVsftpd) +
                                                "\r\nPassive=1\r\nServerType=0\r\nStartDir=/upload/" + start + "\r\n");
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Quellmark\\Nembra3\\Settings", true));
    r.WriteInteger("Lanline", 1);
    r.WriteString("LastDir", localDir);
    r.WriteInteger("LastShortcut", 0);
  }

  TProgramRun program(exe);
  HWND main = MainWindowOf(program);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitUntil([&] {
    HWND local = FindChildByClass(main, "TListView");
    return local && IsWindowVisible(local);
  }, kStepMs));
  PumpFor(500);
  // Connections, New Connection... (its second item): the profile picked
  // in the login window by a click, Connect.
  ASSERT_TRUE(MenuItem(main, 0, 1));
  HWND login = ProgramWindow(program, "Login");
  ASSERT_NE(login, nullptr) << DescribeWindows(TopWindows(true, true));
  HWND profiles = FindChildByClass(login, "TListView");
  ASSERT_NE(profiles, nullptr);
  ASSERT_TRUE(Click(profiles, POINT{20, 8}));
  PumpFor(300);
  SaveScreenshot(login, "login");
  std::vector<HWND> connect = ChildrenWithText(login, "C&onnect");
  ASSERT_EQ(connect.size(), 1u);
  ASSERT_TRUE(Click(connect[0]));
  HWND child = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (child = FindChildByClass(main, "TFormMdi")) != nullptr; }, kStepMs));
  std::vector<HWND> remote;
  ASSERT_TRUE(WaitUntil([&] {
    remote = ChildrenOfClass(child, "TListView");
    return remote.size() == 2 && ItemCount(remote[1]) == 1;
  }, kStepMs));
  ASSERT_TRUE(WaitUntil([&] { return RemotePath(child) == "/upload/" + start; }, kStepMs)) << RemotePath(child);

  // Utilities (five to the right of Connections), Commands (its second
  // item), then an item of the Commands menu (disabled ones count).
  auto command = [&](int down) -> ::testing::AssertionResult {
    if (auto r = MenuItem(main, 5, 1); !r) return r;
    for (int i = 0; i < down; ++i)
      if (auto r = KeyChord({VK_DOWN}); !r) return r;
    return KeyChord({VK_RETURN});
  };
  // SITE: CDUP, CWD, PWD, SYST, STAT, HELP, SITE.
  ASSERT_TRUE(command(6));
  HWND box = ProgramWindow(program, "Send SITE Command");
  ASSERT_NE(box, nullptr) << DescribeWindows(TopWindows(true, true));
  ASSERT_TRUE(BringToFront(box));
  PumpFor(300);
  ASSERT_TRUE(TypeText("CHMOD 600 f"));
  PumpFor(300);
  SaveScreenshot(box, "site");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(WaitUntil([&] { return HostMode(disk + "\\f") == "600"; }, kStepMs)) << HostMode(disk + "\\f");

  // LIST, two further down (after QUOTE): the listing window, closed with
  // Escape.
  PumpFor(300);
  ASSERT_TRUE(command(8));
  HWND info = ProgramWindow(program, "Directory Information");
  ASSERT_NE(info, nullptr) << DescribeWindows(TopWindows(true, true));
  String listed;
  for (HWND c : ChildrenOfClass(info, "TMemo")) listed += ControlText(c);
  // The file's row, with the mode just set.
  EXPECT_EQ(listed.rfind("-rw-------", 0), 0u) << listed;
  PumpFor(300);
  SaveScreenshot(info, "list");
  ASSERT_TRUE(BringToFront(info));
  ASSERT_TRUE(KeyChord({VK_ESCAPE}));
  ASSERT_TRUE(Gone(info));

  // Utilities, Save Log... (its third item): a name typed, Enter; the file
  // holds the SITE command sent.
  String saved = localDir + "\\road.log";
  ASSERT_TRUE(MenuItem(main, 5, 2));
  // The save dialog (untitled, as the frame's dialogs are).
  HWND save = ProgramWindow(program, "", "#32770");
  ASSERT_NE(save, nullptr) << DescribeWindows(TopWindows(true, true));
  ASSERT_TRUE(BringToFront(save));
  PumpFor(300);
  ASSERT_TRUE(TypeText(saved));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(WaitUntil([&] {
    return FileExists(saved) && ReadFileBytes(saved).find("-->  SITE CHMOD 600 f") != String::npos;
  }, kStepMs)) << (FileExists(saved) ? ReadFileBytes(saved) : String("no file"));

  // View (one to the right), List View (its third item): the local list
  // and the window's lists.
  ASSERT_TRUE(MenuItem(main, 1, 2));
  auto listStyle = [](HWND w) { return (GetWindowLongA(w, GWL_STYLE) & LVS_TYPEMASK) == LVS_LIST; };
  ASSERT_TRUE(WaitUntil([&] {
    return listStyle(FindChildByClass(main, "TListView")) && listStyle(remote[0]) && listStyle(remote[1]);
  }, kStepMs));
  PumpFor(300);
  SaveScreenshot(main, "list-view");

  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(kStepMs), 0u);
}

TEST(Road, BatchUploadDownloadAndDelete) {
  // A fresh, empty start folder on the server.
  String tag = IntToStr(GetCurrentProcessId());
  String start = "road-batch-" + tag;
  String disk = PeerFolder("vsftpd") + "root\\upload\\" + start;
  ASSERT_TRUE(ForceDirectories(disk));
  THostRun chown = RunHostCommand("chown -R " + String(kFtpUser) + ":" + kFtpUser + " " + ShellQuote(HostPath(disk)));
  ASSERT_EQ(chown.Status, 0) << chown.Out;

  String folder = MakeTempFolder("road-batch");
  String exe = folder + "\\nbra3.exe";
  ASSERT_TRUE(CopyFileA(NBRA3_EXE, exe.c_str(), FALSE));
  WriteFileBytes(folder + "\\accounts.dat", "[Road]\r\nHostName=127.0.0.1\r\nUserName=" + String(kFtpUser) +
                                                "\r\nPassWord=" + kFtpPassword + "\r\nPort=" + PeerPortStr(ppVsftpd) +
                                                "\r\nPassive=1\r\nServerType=0\r\nStartDir=/upload/" + start + "\r\n");
  // The local tree: a folder in it, a small file and one large enough to
  // watch the panel with.
  String tree = MakeTempFolder("road-batch-tree");
  ForceDirectories(tree + "\\a\\b");
  WriteFileBytes(tree + "\\a\\b\\deep.txt", "deep\r\n");
  WriteFileBytes(tree + "\\top.txt", "top\r\n");
  WriteFileBytes(tree + "\\readme.txt", "readme\r\n");
  String big(48 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 13);
  WriteFileBytes(tree + "\\a\\big.bin", big);
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Quellmark\\Nembra3\\Settings", true));
    r.WriteInteger("Lanline", 1);
    r.WriteString("LastDir", tree);
    r.WriteInteger("LastShortcut", 0);
  }

  TProgramRun program(exe);
  HWND main = MainWindowOf(program);
  ASSERT_NE(main, nullptr);
  HWND localList = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    localList = FindChildByClass(main, "TListView");
    return localList && IsWindowVisible(localList) && ItemCount(localList) == 3;
  }, kStepMs));
  PumpFor(500);
  // Quick Connect with the profile chosen last time.
  ASSERT_TRUE(KeyChord({VK_MENU, 'C'}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  HWND child = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (child = FindChildByClass(main, "TFormMdi")) != nullptr; }, kStepMs));
  std::vector<HWND> remote;
  auto listed = [&](int dirs, int files) {
    return WaitUntil([&] {
      remote = ChildrenOfClass(child, "TListView");
      return remote.size() == 2 && ItemCount(remote[0]) == dirs && ItemCount(remote[1]) == files;
    }, kStepMs);
  };
  ASSERT_TRUE(listed(1, 0));
  String home = "/upload/" + start;
  ASSERT_TRUE(WaitUntil([&] { return RemotePath(child) == home; }, kStepMs)) << RemotePath(child);
  auto yes = [&](const char* shot) -> ::testing::AssertionResult {
    HWND box = ProgramWindow(program, "Continue?");
    if (!box) return ::testing::AssertionFailure() << "no question; " << DescribeWindows(TopWindows(true, true));
    PumpFor(300);
    if (*shot) SaveScreenshot(box, shot);
    std::vector<HWND> buttons = ChildrenWithText(box, "&Yes");
    if (buttons.size() != 1) return ::testing::AssertionFailure() << "no Yes";
    return Click(buttons[0]);
  };

  // Batch menu (four to the right of Connections), Batch Upload (its first item), Yes.
  ASSERT_TRUE(MenuItem(main, 4, 0));
  ASSERT_TRUE(yes("upload-question"));
  ASSERT_TRUE(WaitUntil([&] { return FileExists(disk + "\\top.txt") && ReadFileBytes(disk + "\\top.txt") == "top\r\n"; }, 60000));
  ASSERT_TRUE(listed(2, 2));
  EXPECT_EQ(ReadFileBytes(disk + "\\a\\b\\deep.txt"), "deep\r\n");
  EXPECT_EQ(FileSha256(disk + "\\a\\big.bin"), Sha256Hex(big));

  // Into another local folder: the local list's first row (the folder a)
  // opened with a double click, so that the tree selects it.
  ASSERT_TRUE(DoubleClick(localList, FirstRow(localList)));
  ASSERT_TRUE(WaitUntil([&] { return ItemCount(localList) == 2; }, kStepMs));
  PumpFor(1000);
  String into = tree + "\\a";
  // Batch Download from the folder list's popup menu on its ".." row (Up,
  // Change, New, Rename, Delete, Batch Download), Yes.
  ASSERT_TRUE(Click(remote[0], FirstRow(remote[0])));
  PumpFor(300);
  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_F10}));
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(yes(""));
  String bigCopy = into + "\\a\\big.bin";
  if (WaitUntil([&] { return FileSizeOf(bigCopy) > 0 && FileSizeOf(bigCopy) < static_cast<int64_t>(big.size()); },
                30000))
    SaveScreenshot(main, "downloading");
  // Its last file: the deepest.
  String deep = into + "\\a\\b\\deep.txt";
  ASSERT_TRUE(WaitUntil([&] { return FileExists(deep) && ReadFileBytes(deep) == "deep\r\n"; }, 60000));
  EXPECT_EQ(ReadFileBytes(into + "\\top.txt"), "top\r\n");
  EXPECT_EQ(FileSha256(bigCopy), Sha256Hex(big));
  ASSERT_TRUE(WaitUntil([&] { return RemotePath(child) == home; }, kStepMs)) << RemotePath(child);
  ASSERT_TRUE(listed(2, 2));

  // Up Directory, the start folder picked in the folder list by typing its
  // name, Batch Delete (the Batch menu's third item), Yes.
  ASSERT_TRUE(MenuItem(main, 2, 0));
  ASSERT_TRUE(WaitUntil([&] { return RemotePath(child) == "/upload"; }, kStepMs)) << RemotePath(child);
  ASSERT_TRUE(WaitUntil([&] {
    remote = ChildrenOfClass(child, "TListView");
    return remote.size() == 2 && ItemCount(remote[0]) > 1;
  }, kStepMs));
  PumpFor(500);
  ASSERT_TRUE(Click(remote[0], FirstRow(remote[0])));
  ASSERT_TRUE(TypeText(start));
  PumpFor(500);
  ASSERT_TRUE(MenuItem(main, 4, 2));
  ASSERT_TRUE(yes("delete-question"));
  ASSERT_TRUE(WaitUntil([&] { return !DirectoryExists(disk); }, 60000));
  ASSERT_TRUE(WaitUntil([&] { return RemotePath(child) == "/upload"; }, kStepMs));
  PumpFor(1000);
  SaveScreenshot(main, "end");
  // The local copies stay.
  EXPECT_EQ(ReadFileBytes(into + "\\top.txt"), "top\r\n");

  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(kStepMs), 0u);
}
