// Helpers shared by the test programs.
#pragma once

#include <functional>
#include <vector>

#include "classlib/Forms.h"

// Handles the queued messages, then pumps until done() holds or timeoutMs
// passes; true when it holds.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Pumps messages for about ms milliseconds.
void PumpFor(DWORD ms);

// A fresh, empty folder for one test (under the Windows temp folder).
String MakeTempFolder(const String& name);
String ReadFileBytes(const String& path);
void WriteFileBytes(const String& path, const String& data);

// Records the dialogs a test shows and answers them from a queue.
class TRecordingDialogs : public TSystemDialogs {
 public:
  struct Box {
    String text, caption;
    UINT flags;
  };
  int MessageBox(HWND owner, const String& text, const String& caption, UINT flags) override;
  bool GetSaveFileName(OPENFILENAMEA& ofn) override;
  bool WinHelp(HWND wnd, const String& helpFile, UINT command, ULONG_PTR data) override;

  std::vector<Box> Boxes;
  std::vector<int> Answers;        // taken front first; IDOK when empty
  std::vector<String> SaveNames;   // taken front first; cancelled when empty
  std::vector<String> HelpCalls;   // "file|command|topic"
};

// Installs a TRecordingDialogs for the lifetime of the object.
class TScopedDialogs {
 public:
  TScopedDialogs();
  ~TScopedDialogs();
  TRecordingDialogs Dialogs;

 private:
  TSystemDialogs* previous_;
};
