// The whole road of a user: a copy of the program with a vsftpd profile
// beside it connects through the quick-connect combo, downloads a file
// through the file list's popup menu and uploads a local file through the
// Files menu, all by keyboard and mouse, then quits; and on another start
// makes a folder from the Directories menu, goes up again, renames the
// folder and deletes a file from the lists' popup menus and sets the other
// file's permissions in the editor. The driver only sends input and
// messages to the program's real windows; the results are checked on the
// server's disk.
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

// A top-level window of the program by caption.
HWND ProgramWindow(const TProgramRun& p, const String& caption) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : TopWindows(true, true)) {
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          if (pid == p.Id() && WindowText(w) == caption && IsWindowEnabled(w)) found = w;
        }
        return found != nullptr;
      },
      kStepMs);
  return found;
}

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

  // On the server's disk: the renamed folder, one file gone, 600.
  EXPECT_TRUE(DirectoryExists(disk + "\\renamed"));
  EXPECT_FALSE(FileExists(disk + "\\first.txt"));
  EXPECT_EQ(ReadFileBytes(disk + "\\second.txt"), "second\r\n");
  ASSERT_TRUE(listed(2, 1));
  PumpFor(500);
  SaveScreenshot(main, "final");

  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(kStepMs), 0u);
}
