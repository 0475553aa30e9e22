#include "Forms.h"

#include <mmsystem.h>

// ---------------------------------------------------------------- system dialogs

int TSystemDialogs::MessageBox(HWND owner, const String& text, const String& caption, UINT flags) {
  return ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

bool TSystemDialogs::GetSaveFileName(OPENFILENAMEA& ofn) { return ::GetSaveFileNameA(&ofn) != 0; }
bool TSystemDialogs::GetOpenFileName(OPENFILENAMEA& ofn) { return ::GetOpenFileNameA(&ofn) != 0; }

bool TSystemDialogs::WinHelp(HWND wnd, const String& helpFile, UINT command, ULONG_PTR data) {
  return ::WinHelpA(wnd, helpFile.c_str(), command, data) != 0;
}

bool TSystemDialogs::PlaySystemSound(const String& alias, UINT flags) {
  return ::PlaySoundA(alias.c_str(), nullptr, flags | SND_ALIAS) != 0;
}

namespace {
TSystemDialogs gRealDialogs;
TSystemDialogs* gDialogs = &gRealDialogs;
}  // namespace

TSystemDialogs* SystemDialogs() { return gDialogs; }

TSystemDialogs* SetSystemDialogs(TSystemDialogs* d) {
  TSystemDialogs* old = gDialogs;
  gDialogs = d ? d : &gRealDialogs;
  return old;
}

// ---------------------------------------------------------------- TApplication

namespace {
TApplication gApplication(nullptr);
}
TApplication* Application = &gApplication;

namespace {
void ApplicationSink(TObject* sender) {
  if (Application) Application->HandleException(sender);
}
}  // namespace

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  Title = ChangeFileExt(ExtractFileName(ExeName()), "");
  SetExceptionSink(ApplicationSink);
}

TApplication::~TApplication() {
  if (Application == this) Application = nullptr;
}

String TApplication::ExeName() const {
  char buf[MAX_PATH * 4];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  return String(buf, n);
}

bool TApplication::ProcessMessage(MSG&) {
  bool quit = false;
  return DispatchOneMessage(quit);
}

void TApplication::ProcessMessages() { ProcessQueuedMessages(); }

bool TApplication::WaitMessageTimeout(DWORD ms) {
  DWORD r = MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  return r == WAIT_OBJECT_0;
}

void TApplication::HandleMessage() {
  bool quit = false;
  if (!DispatchOneMessage(quit) && !quit) WaitMessageTimeout(INFINITE);
}

void TApplication::Run() {
  while (!Terminated()) PumpUntil(nullptr, kPumpForever);
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::HandleException(TObject* sender) {
  try {
    DispatchCurrentException([&](Exception& e) {
      if (dynamic_cast<EAbort*>(&e)) return;
      if (OnException)
        OnException(sender, e);
      else
        ShowException(e);
    });
  } catch (...) {
    // The hook itself failed: nothing more can be reported.
  }
}

void TApplication::ShowException(const Exception& e) {
  String msg = e.Message;
  if (!msg.empty() && msg.back() > '.') msg += '.';
  MessageBox(msg, Title, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const String& text, const String& caption, UINT flags) {
  return SystemDialogs()->MessageBox(GetActiveWindow(), text, caption, flags);
}

bool TApplication::HelpCommand(UINT command, ULONG_PTR data) {
  return SystemDialogs()->WinHelp(GetActiveWindow(), HelpFile, command, data);
}

bool TApplication::HelpJump(const String& topic) {
  String macro = "JI(`',`" + topic + "')";
  return HelpCommand(HELP_COMMAND, reinterpret_cast<ULONG_PTR>(macro.c_str()));
}
