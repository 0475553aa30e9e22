// Helpers shared by the test programs.
#pragma once

#include <functional>
#include <vector>

#include "classlib/Forms.h"

// Handles the queued messages, then pumps until done() holds or timeoutMs
// passes; true when it holds. done() is checked after each message only: for
// state that changes without a message to this thread, WaitUntil (Winwait.h).
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Pumps messages for about ms milliseconds.
void PumpFor(DWORD ms);

// A fresh, empty folder for one test (under the Windows temp folder).
String MakeTempFolder(const String& name);
String ReadFileBytes(const String& path);
void WriteFileBytes(const String& path, const String& data);

// Records every call of the system dialogs seam with its arguments and
// answers it from a queue (front first): message boxes, save and open
// dialogs, help, sounds, colour and font dialogs, input boxes and the
// shell's verbs.
class TRecordingDialogs : public TSystemDialogs {
 public:
  struct Box {
    String text, caption;
    UINT flags;
    HWND owner;
  };
  // A save or open dialog as the caller set it up.
  struct TFileDialog {
    HWND Owner;
    String Title, Filter, InitialDir, DefaultExt, FileName;  // Filter: "|" for each NUL
    DWORD Flags;
    DWORD FilterIndex;
    DWORD StructSize;
    DWORD MaxFile;  // the size of the caller's file buffer
  };
  struct THelp {
    HWND Wnd;
    String File;
    UINT Command;
    ULONG_PTR Data;
  };
  struct TSound {
    String Alias;
    UINT Flags;
  };
  struct TColorSetup {
    HWND Owner;
    COLORREF Color;  // rgbResult as the caller set it
    DWORD Flags;
    std::vector<COLORREF> Custom;  // the sixteen custom colours
  };
  struct TFontSetup {
    HWND Owner;
    LOGFONTA Font;
    COLORREF Color;
    DWORD Flags;
  };
  // What the dialog answers: the font and colour chosen.
  struct TFontChoice {
    String Face;
    LONG Height;
    LONG Weight;
    bool Italic;
    COLORREF Color;
  };
  struct TInputQuery {
    String Caption, Prompt, Value;  // Value: the preset
  };
  struct TInputAnswer {
    bool Ok;
    String Text;
  };
  // A question with buttons of the caller's choosing.
  struct TQuestion {
    HWND Owner;
    String Text, Caption;
    std::vector<String> Buttons;  // the captions, in order
  };
  struct TShellCall {
    HWND Wnd;
    String Verb, File, Parameters, Directory;
    int Show;
  };
  int MessageBox(HWND owner, const String& text, const String& caption, UINT flags) override;
  bool GetSaveFileName(OPENFILENAMEA& ofn) override;
  bool GetOpenFileName(OPENFILENAMEA& ofn) override;
  bool WinHelp(HWND wnd, const String& helpFile, UINT command, ULONG_PTR data) override;
  bool PlaySystemSound(const String& alias, UINT flags) override;
  bool ChooseColor(CHOOSECOLORA& cc) override;
  bool ChooseFont(CHOOSEFONTA& cf) override;
  bool InputQuery(const String& caption, const String& prompt, String& value) override;
  TModalResult MessageDlg(HWND owner, const String& text, const String& caption,
                          const std::vector<TDlgButton>& buttons) override;
  bool ShellExecuteFile(HWND wnd, const String& verb, const String& file, const String& parameters,
                        const String& directory, int showCmd) override;

  std::vector<Box> Boxes;
  std::vector<int> Answers;        // IDOK when empty
  std::vector<TFileDialog> SaveDialogs, OpenDialogs;
  // The full name chosen: written to lpstrFile with nFileOffset and
  // nFileExtension; cancelled when empty (or when it does not fit).
  std::vector<String> SaveNames, OpenNames;
  std::vector<THelp> Helps;
  std::vector<String> HelpCalls;   // "file|command|topic" (topic: HELP_COMMAND's text)
  std::vector<bool> HelpResults;   // true when empty
  std::vector<TSound> Sounds;
  std::vector<bool> SoundResults;  // true when empty
  std::vector<TColorSetup> ColorDialogs;
  std::vector<COLORREF> ColorResults;     // cancelled when empty
  std::vector<TFontSetup> FontDialogs;
  std::vector<TFontChoice> FontResults;   // cancelled when empty
  std::vector<TInputQuery> InputQueries;
  std::vector<TInputAnswer> InputAnswers;  // cancelled when empty
  std::vector<TQuestion> Questions;
  std::vector<TModalResult> QuestionAnswers;  // the first button's when empty
  std::vector<TShellCall> ShellCalls;
  std::vector<bool> ShellResults;  // true when empty
};

// Installs a TRecordingDialogs for the lifetime of the object.
class TScopedDialogs {
 public:
  TScopedDialogs();
  ~TScopedDialogs();
  TScopedDialogs(const TScopedDialogs&) = delete;
  TScopedDialogs& operator=(const TScopedDialogs&) = delete;
  TRecordingDialogs Dialogs;

 private:
  TSystemDialogs* previous_;
};

// The real system dialogs for the lifetime of the object (the test run
// fails on any other use of them).
class TScopedRealDialogs {
 public:
  TScopedRealDialogs() : previous_(SetSystemDialogs(nullptr)) {}
  ~TScopedRealDialogs() { SetSystemDialogs(previous_); }
  TScopedRealDialogs(const TScopedRealDialogs&) = delete;
  TScopedRealDialogs& operator=(const TScopedRealDialogs&) = delete;

 private:
  TSystemDialogs* previous_;
};
