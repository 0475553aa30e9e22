// The application object, the message loop, hidden utility windows and the
// seam for the system's blocking dialogs.
#pragma once

#include "Classes.h"
#include "Wndclass.h"

#include <commdlg.h>

// The dialogs that block until a person answers. Tests install their own.
class TSystemDialogs {
 public:
  virtual ~TSystemDialogs() = default;
  virtual int MessageBox(HWND owner, const String& text, const String& caption, UINT flags);
  virtual bool GetSaveFileName(OPENFILENAMEA& ofn);
  virtual bool GetOpenFileName(OPENFILENAMEA& ofn);
  virtual bool WinHelp(HWND wnd, const String& helpFile, UINT command, ULONG_PTR data);
  // PlaySoundA with a system sound alias (SND_ALIAS is added).
  virtual bool PlaySystemSound(const String& alias, UINT flags);
};
TSystemDialogs* SystemDialogs();
// Installs d (nullptr: the real dialogs) and returns the one it replaces.
TSystemDialogs* SetSystemDialogs(TSystemDialogs* d);

using TExceptionEvent = TEvent<TObject*, Exception&>;

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  // Runs the message loop until Terminate (WM_QUIT).
  void Run();
  // Handles one message, or waits for the next one when none is queued.
  void HandleMessage();
  // Handles every queued message and returns. When it takes WM_QUIT it sets
  // Terminated, posts WM_QUIT again for the outer loops and stops.
  void ProcessMessages();
  // Takes one message; false when none was queued (or WM_QUIT was taken).
  bool ProcessMessage(MSG& msg);
  // Waits up to ms milliseconds for a message to arrive (already queued
  // messages count); returns whether one is there.
  bool WaitMessageTimeout(DWORD ms);
  void Terminate();
  bool Terminated() const { return QuitReceived(); }
  void ResetTerminated() { ResetQuitReceived(); }

  // Call from inside a catch block: EAbort is ignored; other exceptions go
  // to OnException when set, else to ShowException.
  void HandleException(TObject* sender);
  // Shows the message (with a final '.') in an error box captioned Title.
  void ShowException(const Exception& e);
  TExceptionEvent OnException;

  int MessageBox(const String& text, const String& caption, UINT flags);
  bool HelpCommand(UINT command, ULONG_PTR data);
  bool HelpJump(const String& topic);  // HELP_COMMAND "JI(`',`topic')"

  String ExeName() const;
  String Title;
  String HelpFile;
};

extern TApplication* Application;
