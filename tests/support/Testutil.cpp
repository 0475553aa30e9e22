#include "Testutil.h"

#include <windows.h>

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
  ProcessQueuedMessages();
  if (done()) return true;
  return PumpUntil(done, DeadlineAfter(timeoutMs)) == prDone;
}

void PumpFor(DWORD ms) { PumpUntil(nullptr, DeadlineAfter(ms)); }

namespace {
void RemoveTree(const String& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      String n = fd.cFileName;
      if (n == "." || n == "..") continue;
      String path = dir + "\\" + n;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(dir.c_str());
}
}  // namespace

String MakeTempFolder(const String& name) {
  char tmp[MAX_PATH];
  GetTempPathA(sizeof tmp, tmp);
  static int counter = 0;
  String dir = IncludeTrailingBackslash(tmp) + "nembra-tests\\" + name + "-" + IntToStr(GetCurrentProcessId()) + "-" +
               IntToStr(++counter);
  // Wine reuses process ids: clear what an earlier run left.
  RemoveTree(dir);
  ForceDirectories(dir);
  return dir;
}

String ReadFileBytes(const String& path) {
  TFileStream fs(path, fmOpenRead | fmShareDenyNone);
  String s(static_cast<size_t>(fs.Size()), '\0');
  if (!s.empty()) fs.ReadBuffer(s.data(), static_cast<int64_t>(s.size()));
  return s;
}

void WriteFileBytes(const String& path, const String& data) {
  TFileStream fs(path, fmCreate);
  if (!data.empty()) fs.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

int TRecordingDialogs::MessageBox(HWND, const String& text, const String& caption, UINT flags) {
  Boxes.push_back({text, caption, flags});
  if (Answers.empty()) return IDOK;
  int a = Answers.front();
  Answers.erase(Answers.begin());
  return a;
}

bool TRecordingDialogs::GetSaveFileName(OPENFILENAMEA& ofn) {
  if (SaveNames.empty()) return false;
  String name = SaveNames.front();
  SaveNames.erase(SaveNames.begin());
  if (ofn.lpstrFile && ofn.nMaxFile > name.size()) {
    memcpy(ofn.lpstrFile, name.c_str(), name.size() + 1);
    return true;
  }
  return false;
}

bool TRecordingDialogs::WinHelp(HWND, const String& helpFile, UINT command, ULONG_PTR data) {
  String topic = (command == HELP_COMMAND && data) ? String(reinterpret_cast<const char*>(data)) : String();
  HelpCalls.push_back(helpFile + "|" + IntToStr(command) + "|" + topic);
  return true;
}

TScopedDialogs::TScopedDialogs() : previous_(SetSystemDialogs(&Dialogs)) {}
TScopedDialogs::~TScopedDialogs() { SetSystemDialogs(previous_); }
