#include "Forms.h"

// ---------------------------------------------------------------- utility windows

namespace {

struct UtilWindow {
  TWndMethod method;
  int depth = 0;
  bool dead = false;
};

const char kUtilClass[] = "TPUtilWindow";

LRESULT CALLBACK UtilWndProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  auto* uw = reinterpret_cast<UtilWindow*>(GetWindowLongPtrA(h, GWLP_USERDATA));
  if (!uw || uw->dead) return DefWindowProcA(h, m, w, l);
  TMessage msg{m, w, l, 0};
  ++uw->depth;
  try {
    uw->method(msg);
  } catch (...) {
    if (Application) Application->HandleException(nullptr);
  }
  if (--uw->depth == 0 && uw->dead) delete uw;
  return msg.Result;
}

void RegisterUtilClass() {
  WNDCLASSA wc;
  HINSTANCE inst = GetModuleHandleA(nullptr);
  if (GetClassInfoA(inst, kUtilClass, &wc)) return;
  wc = WNDCLASSA{};
  wc.lpfnWndProc = UtilWndProc;
  wc.hInstance = inst;
  wc.lpszClassName = kUtilClass;
  RegisterClassA(&wc);
}

}  // namespace

HWND AllocateHWnd(TWndMethod method) {
  RegisterUtilClass();
  HWND h = CreateWindowExA(WS_EX_TOOLWINDOW, kUtilClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  if (!h) return nullptr;
  if (method) SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new UtilWindow{std::move(method)}));
  return h;
}

void DeallocateHWnd(HWND wnd) {
  if (!wnd) return;
  auto* uw = reinterpret_cast<UtilWindow*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
  SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
  DestroyWindow(wnd);
  if (uw) {
    if (uw->depth == 0)
      delete uw;
    else
      uw->dead = true;
  }
}

// ---------------------------------------------------------------- system dialogs

int TSystemDialogs::MessageBox(HWND owner, const String& text, const String& caption, UINT flags) {
  return ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

bool TSystemDialogs::GetSaveFileName(OPENFILENAMEA& ofn) { return ::GetSaveFileNameA(&ofn) != 0; }
bool TSystemDialogs::GetOpenFileName(OPENFILENAMEA& ofn) { return ::GetOpenFileNameA(&ofn) != 0; }

bool TSystemDialogs::WinHelp(HWND wnd, const String& helpFile, UINT command, ULONG_PTR data) {
  return ::WinHelpA(wnd, helpFile.c_str(), command, data) != 0;
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

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  Title = ChangeFileExt(ExtractFileName(ExeName()), "");
}

TApplication::~TApplication() {
  if (Application == this) Application = nullptr;
}

String TApplication::ExeName() const {
  char buf[MAX_PATH * 4];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  return String(buf, n);
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    PostQuitMessage(static_cast<int>(msg.wParam));
    return false;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

bool TApplication::WaitMessageTimeout(DWORD ms) {
  DWORD r = MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  return r == WAIT_OBJECT_0;
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg) && !terminated_) WaitMessageTimeout(INFINITE);
}

void TApplication::Run() {
  while (!terminated_) HandleMessage();
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
