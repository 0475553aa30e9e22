#include "Startup.h"

#include "application/connections/Chmod.h"
#include "application/connections/Child.h"
#include "application/connections/Parser2.h"
#include "application/connections/Stos.h"
#include "application/frame/Dialer.h"
#include "application/frame/Dlgapi.h"
#include "application/frame/Main.h"
#include "application/frame/Rasdlr.h"
#include "application/frame/Regdataunit.h"
#include "application/frame/Splash.h"
#include "application/frame/Stoswindow.h"
#include "application/tools/Tools.h"

const char* const NoDialupText =
    "This version of Nembra requires that you have Dialup Networking Installed on your PC.\n"
    "        There is a DSL version that does not require this, please download that version.";
const char* const InstanceMutexName = "nbra3.exe";

TProgramUnits::TProgramUnits() : previousStore_(dxBarSetLayoutStore(dxBarStandardLayoutStore())) {
  SetConnectionWindowFactory(&TFormMdi::Create);
  SetStoSWindowFactory(&TFormStoS::Create);
  SetPermissionEditor(&TFormMod::Edit);
  SetToolWindowOpener(&ShowToolWindow);
}

TProgramUnits::~TProgramUnits() { dxBarSetLayoutStore(previousStore_); }

namespace {

bool DialupLibraryPresent() {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, MAX_PATH);
  return FileExists(String(dir) + "\\rasapi32.dll");
}

// The first instance's main window is the one window of the class only the
// main window registers. It may come forward (the box this start showed
// had the foreground), and restores itself from the request.
void RestoreFirstInstance() {
  HWND first = FindWindowA("TFormMain", nullptr);
  if (!first) return;
  DWORD process = 0;
  GetWindowThreadProcessId(first, &process);
  AllowSetForegroundWindow(process);
  PostMessageA(first, WM_SYSCOMMAND, SC_RESTORE, 0);
}

// Released and closed however the run ends.
class TInstanceMutex {
 public:
  explicit TInstanceMutex(HANDLE handle) : handle_(handle) {}
  ~TInstanceMutex() {
    if (!handle_) return;
    ReleaseMutex(handle_);
    CloseHandle(handle_);
  }
  TInstanceMutex(const TInstanceMutex&) = delete;
  TInstanceMutex& operator=(const TInstanceMutex&) = delete;

 private:
  HANDLE handle_;
};

template <class T>
void FreeGlobal(T*& global) {
  T* object = global;
  global = nullptr;
  if (object) object->Free();
}

void Run() {
  // The bars stay up until the windows that hold them are gone.
  TProgramUnits units;
  TOwned<TFormSplash> splash(new TFormSplash(nullptr));
  splash->Show();
  splash->Update();

  // The title names the settings' key: nothing reads a setting before.
  Application->Initialize();
  Application->Title = "Nembra3";
  struct TModules {
    ~TModules() {
      FreeGlobal(DirParser);
      FreeGlobal(Dlgs);
      FreeGlobal(FormDial);
      FreeGlobal(RasDialer);
      FreeGlobal(Reg);
      FreeGlobal(FormMain);
    }
  } modules;
  FormMain = Application->CreateForm<TFormMain>();
  Reg = new TReg(Application);
  RasDialer = new TRasDialer(Application);
  FormDial = Application->CreateForm<TFormDial>();
  Dlgs = new TDlgs(Application);
  DirParser = new TDirParser(Application);
  splash.reset();

  Application->Run();
}

}  // namespace

int NembraMain() {
  if (!DialupLibraryPresent()) {
    SystemDialogs()->MessageBox(nullptr, NoDialupText, "Nembra", MB_ICONINFORMATION);
    return 0;
  }
  HANDLE mutex = CreateMutexA(nullptr, TRUE, InstanceMutexName);
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    SystemDialogs()->MessageBox(nullptr, "Nembra is already running!", "Nembra", MB_ICONINFORMATION);
    if (mutex) CloseHandle(mutex);
    Application->Title = "";
    RestoreFirstInstance();
    return 0;
  }
  TInstanceMutex instance(mutex);
  try {
    Run();
  } catch (...) {
    DispatchCurrentException([](Exception& e) { Application->ShowException(e); });
  }
  return 0;
}
