#include "Rasdlr.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "Dialer.h"
#include "classlib/Inifiles.h"

using namespace ras;

TRasDialer* RasDialer = nullptr;

// ---------------------------------------------------------------- the library

namespace {

template <DWORD Code, class... A>
DWORD WINAPI Missing(A...) {
  return Code;
}

template <class... A>
void Bind(HMODULE lib, const char* name, DWORD(WINAPI*& fn)(A...)) {
  FARPROC p = lib ? GetProcAddress(lib, name) : nullptr;
  if (p)
    fn = reinterpret_cast<DWORD(WINAPI*)(A...)>(reinterpret_cast<void*>(p));
  else if (lib)
    fn = &Missing<ERROR_PROC_NOT_FOUND, A...>;
  else
    fn = &Missing<ERROR_MOD_NOT_FOUND, A...>;
}

}  // namespace

TRasApi LoadRasApi(const String& libraryPath) {
  HMODULE lib = libraryPath.empty() ? nullptr : LoadLibraryA(libraryPath.c_str());
  TRasApi api{};
  Bind(lib, "RasEnumConnectionsA", api.RasEnumConnectionsA);
  Bind(lib, "RasGetConnectStatusA", api.RasGetConnectStatusA);
  Bind(lib, "RasEnumEntriesA", api.RasEnumEntriesA);
  Bind(lib, "RasGetEntryDialParamsA", api.RasGetEntryDialParamsA);
  Bind(lib, "RasDialA", api.RasDialA);
  Bind(lib, "RasHangUpA", api.RasHangUpA);
  Bind(lib, "RasGetErrorStringA", api.RasGetErrorStringA);
  Bind(lib, "RasEditPhonebookEntryA", api.RasEditPhonebookEntryA);
  Bind(lib, "RasCreatePhonebookEntryA", api.RasCreatePhonebookEntryA);
  return api;
}

namespace {

TRasApi LoadSystemApi() {
  char dir[MAX_PATH + 1] = {};
  UINT n = GetSystemDirectoryA(dir, MAX_PATH);
  return LoadRasApi(n > 0 && n < MAX_PATH ? String(dir, n) + "\\rasapi32.dll" : String());
}

const TRasApi* gInstalled = nullptr;

// The module window that hears the notifier of the current dial.
std::atomic<HWND> gDialWindow{nullptr};

constexpr UINT WM_RASDIALEVENT = WM_USER + 1;

// After a hang-up the port needs this long before it can be dialled
// again; the GUI thread waits it out.
constexpr DWORD kHangUpSettleMs = 3000;

// A fixed field's text (it need not end in a NUL).
template <size_t N>
String FieldText(const CHAR (&field)[N]) {
  return String(field, strnlen(field, N));
}

// Copies a text that fits (callers check the length).
template <size_t N>
void SetField(CHAR (&field)[N], const String& text) {
  size_t n = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

void SetProgress(const String& text) {
  if (FormDial) FormDial->Progress->SetCaption(text);
}

template <class C>
void SetEnabled(C* TFormDial::*control, bool value) {
  if (FormDial) (FormDial->*control)->SetEnabled(value);
}

int ErrorBox(const String& text, const String& caption) {
  return SystemDialogs()->MessageBox(Application->Handle(), text, caption, MB_OK | MB_ICONERROR);
}

HWND DialogOwner() {
  if (FormDial && FormDial->HandleAllocated()) return FormDial->Handle();
  return Application->Handle();
}

}  // namespace

const TRasApi& RasApi() {
  if (gInstalled) return *gInstalled;
  static const TRasApi loaded = LoadSystemApi();
  return loaded;
}

const TRasApi* SetRasApi(const TRasApi* api) {
  const TRasApi* old = gInstalled;
  gInstalled = api;
  return old;
}

void WINAPI RasDialCallback(HRASCONN, UINT, RASCONNSTATE state, DWORD error, DWORD) noexcept {
  if (HWND wnd = gDialWindow.load()) PostMessageA(wnd, WM_RASDIALEVENT, static_cast<WPARAM>(state), error);
}

// ---------------------------------------------------------------- texts

String RasStateText(RASCONNSTATE state) {
  switch (state) {
    case RASCS_OpenPort: return "Opening Port...";
    case RASCS_PortOpened: return "Port Opened...";
    case RASCS_ConnectDevice: return "Connecting Device...";
    case RASCS_DeviceConnected: return "Device Connected...";
    case RASCS_AllDevicesConnected: return "All Devices Connected...";
    case RASCS_Authenticate:
    case RASCS_AuthNotify:
    case RASCS_StartAuthentication:
    case RASCS_CallbackComplete: return "Verifying User Name and Password...";
    case RASCS_AuthRetry: return "Authentication Retry...";
    case RASCS_AuthCallback: return "Callback Requested...";
    case RASCS_AuthChangePassword: return "Change Password Requested...";
    case RASCS_AuthProject: return "Projection Phase Started...";
    case RASCS_AuthLinkSpeed: return "Calculating Link Speed...";
    case RASCS_AuthAck: return "Authentication Acknowledged...";
    case RASCS_ReAuthenticate: return "Staring Reauthentication...";
    case RASCS_Authenticated: return "Authentication Complete...";
    case RASCS_LogonNetwork: return "Logging In...";
    default: return "Connecting Device...";
  }
}

String RasDialErrorText(int code) {
  switch (code) {
    case 602: return "Modem In Use";
    case 619:
    case 631: return "";
    case 623: return "Can not find phonebook entry";
    case 676: return "Line is Busy";
    case 678: return "No Answer";
    case 680: return "No dialtone";
    case 718: return "The connection timed out waiting for a response from the server.";
    case 719: return "Connection terminated by host";
    case 721: return "No response from the server.";
    case 797: return "Device not found! The specified modem device not found.";
    default: return "Unspecified Error!";
  }
}

// ---------------------------------------------------------------- TRasDialer

TRasDialer::TRasDialer(TComponent* owner) : TComponent(owner) {
  DialParams.dwSize = sizeof DialParams;
  notifyWnd_ = AllocateHWnd({this, &TRasDialer::NotifyWndProc});
  if (!notifyWnd_) RaiseLastOSError();
}

TRasDialer::~TRasDialer() {
  // Notifications still to come (or queued) go nowhere.
  HWND mine = notifyWnd_;
  gDialWindow.compare_exchange_strong(mine, nullptr);
  DeallocateHWnd(notifyWnd_);
  if (RasDialer == this) RasDialer = nullptr;
}

String TRasDialer::PhonebookFileName() { return ExtractFilePath(Application->ExeName()) + "phonebook.ini"; }

String TRasDialer::ErrorText(DWORD code) {
  // A failing call leaves the buffer as it was: empty.
  char text[101] = {};
  RasApi().RasGetErrorStringA(code, text, sizeof text);
  text[sizeof text - 1] = '\0';
  return text;
}

bool TRasDialer::FindActiveConnection() {
  // Room for one record first; when more are up, the platform tells the
  // room they need (the count may grow meanwhile: a few tries).
  std::vector<RASCONN> conns(1);
  DWORD count = 0, result = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    conns[0].dwSize = sizeof(RASCONN);
    DWORD bytes = static_cast<DWORD>(conns.size() * sizeof(RASCONN));
    count = 0;
    result = RasApi().RasEnumConnectionsA(conns.data(), &bytes, &count);
    if (result != ERROR_BUFFER_TOO_SMALL) break;
    size_t need = (static_cast<size_t>(bytes) + sizeof(RASCONN) - 1) / sizeof(RASCONN);
    conns.assign(std::max(need, conns.size() + 1), RASCONN{});
  }
  if (result != 0) {
    SetProgress("Could not determine connection settings...");
    return false;
  }
  count = std::min<DWORD>(count, static_cast<DWORD>(conns.size()));
  // A connection whose status cannot be read does not hide a later one
  // that is up; the failure is told only when none is.
  bool statusFailed = false;
  for (DWORD i = 0; i < count; ++i) {
    ConnHandle = conns[i].hrasconn;
    RASCONNSTATUS status{};
    status.dwSize = sizeof status;
    if (RasApi().RasGetConnectStatusA(ConnHandle, &status) != 0) {
      statusFailed = true;
      continue;
    }
    if (status.rasconnstate == RASCS_Connected) {
      String entry = FieldText(conns[i].szEntryName);
      SetProgress("Connected to: " + entry);
      if (FormDial) FormDial->ConnectedEntry = entry;
      SetEnabled(&TFormDial::Hangup, true);
      SetEnabled(&TFormDial::Dial, false);
      return true;
    }
  }
  if (statusFailed) {
    SetProgress("Could not determine connection status...");
    SetEnabled(&TFormDial::Hangup, false);
    SetEnabled(&TFormDial::Dial, true);
  }
  return false;
}

void TRasDialer::LoadPhonebook() {
  TIniFile ini(PhonebookFileName());
  DialParams = RASDIALPARAMS{};
  DialParams.dwSize = sizeof DialParams;
  std::vector<RASENTRYNAME> entries(1);
  DWORD count = 0, result = 0;
  // The listing is asked for twice: the second time with the room the
  // first asked for (and again while the phonebook keeps growing).
  for (int attempt = 0; attempt < 4; ++attempt) {
    entries[0].dwSize = sizeof(RASENTRYNAME);
    DWORD bytes = static_cast<DWORD>(entries.size() * sizeof(RASENTRYNAME));
    count = 0;
    result = RasApi().RasEnumEntriesA(nullptr, nullptr, entries.data(), &bytes, &count);
    if (result == ERROR_BUFFER_TOO_SMALL) {
      size_t need = (static_cast<size_t>(bytes) + sizeof(RASENTRYNAME) - 1) / sizeof(RASENTRYNAME);
      entries.assign(std::max(need, entries.size() + 1), RASENTRYNAME{});
    } else if (attempt > 0) {
      break;
    }
  }
  if (result != 0) {
    PhonebookErrorText = IntToStr(result) + " - " + ErrorText(result);
    SetProgress(PhonebookErrorText);
    ErrorBox(PhonebookErrorText, "Phonebook Error");
    return;
  }
  if (FormDial) FormDial->Account->Items()->Clear();
  count = std::min<DWORD>(count, static_cast<DWORD>(entries.size()));
  for (DWORD i = 0; i < count; ++i) {
    String name = FieldText(entries[i].szEntryName);
    DialParams = RASDIALPARAMS{};
    DialParams.dwSize = sizeof DialParams;
    SetField(DialParams.szEntryName, name);
    BOOL hasPassword = FALSE;
    if (RasApi().RasGetEntryDialParamsA(nullptr, &DialParams, &hasPassword) != 0) continue;
    ini.WriteString(name, "EntryName", FieldText(DialParams.szEntryName));
    ini.WriteString(name, "PhoneNumber", FieldText(DialParams.szPhoneNumber));
    ini.WriteString(name, "CallBackID", FieldText(DialParams.szCallbackNumber));
    ini.WriteString(name, "UserName", FieldText(DialParams.szUserName));
    ini.WriteString(name, "Password", FieldText(DialParams.szPassword));
    ini.WriteString(name, "Domain", FieldText(DialParams.szDomain));
    if (FormDial) FormDial->Account->Items()->Add(name);
  }
}

bool TRasDialer::Dial(const String& entry, const String& user, const String& password) {
  if (entry.size() > RAS_MaxEntryName || user.size() > UNLEN || password.size() > PWLEN) {
    ReportDialError("The entry name, user name or password is too long.");
    return false;
  }
  if (FormDial) FormDial->Hangup->SetCaption("Cancel");
  SetBusyCursor();
  // The entry's own numbers; none when they cannot be read.
  DialParams = RASDIALPARAMS{};
  DialParams.dwSize = sizeof DialParams;
  SetField(DialParams.szEntryName, entry);
  BOOL hasPassword = FALSE;
  if (RasApi().RasGetEntryDialParamsA(nullptr, &DialParams, &hasPassword) != 0) {
    DialParams = RASDIALPARAMS{};
    DialParams.dwSize = sizeof DialParams;
  }
  SetField(DialParams.szEntryName, entry);
  SetField(DialParams.szUserName, user);
  SetField(DialParams.szPassword, password);
  SetField(DialParams.szDomain, "*");  // the domain stored with the entry

  ConnHandle = nullptr;
  gDialWindow.store(notifyWnd_);
  DWORD r = RasApi().RasDialA(nullptr, nullptr, &DialParams, 1, reinterpret_cast<void*>(&RasDialCallback),
                              &ConnHandle);
  if (r != 0) {
    SetProgress("Dialing failed - " + IntToStr(r) + " - " + ErrorText(r));
    // A refused dial may still hold a handle: the platform wants it back.
    if (ConnHandle) RasApi().RasHangUpA(ConnHandle);
    ConnHandle = nullptr;
    LastDialError = static_cast<int>(r);
    ShowDialError();
    // No dial runs: the window can be left again, also after a code
    // without a text.
    SetEnabled(&TFormDial::Button1, true);
    ClearBusyCursor();
    return false;
  }
  return true;
}

void TRasDialer::NotifyWndProc(TMessage& msg) {
  if (msg.Msg != WM_RASDIALEVENT) {
    msg.Result = DefWindowProcA(notifyWnd_, msg.Msg, msg.WParam, msg.LParam);
    return;
  }
  msg.Result = 0;
  // Nothing to report to once the dial window is gone or closed.
  if (!FormDial || !FormDial->Visible()) return;
  DialProgress(static_cast<RASCONNSTATE>(msg.WParam), static_cast<DWORD>(msg.LParam));
}

void TRasDialer::DialProgress(RASCONNSTATE state, DWORD error) {
  if (state == RASCS_Connected) {
    SetConnected();
  } else if (state == RASCS_Disconnected || error != 0) {
    LastDialError = static_cast<int>(error);
    ShowDialError();
  } else {
    SetProgress(RasStateText(state));
  }
}

void TRasDialer::ReportDialError(const String& text) {
  SetProgress(text);
  SetEnabled(&TFormDial::Button1, true);
  ClearBusyCursor();
  ErrorBox(text, "Dialing Error");
}

void TRasDialer::ShowDialError() {
  String text = RasDialErrorText(LastDialError);
  if (!text.empty()) ReportDialError(text);
}

void TRasDialer::SetConnected() {
  SetProgress("Connected to: " + FieldText(DialParams.szEntryName));
  SetEnabled(&TFormDial::Button1, true);
  if (FormDial) {
    FormDial->Hangup->SetEnabled(true);
    FormDial->Hangup->SetCaption("Disconnect");
  }
  ClearBusyCursor();
  if (FormDial) FormDial->Close();
}

void TRasDialer::HangUp() {
  SetEnabled(&TFormDial::Hangup, false);
  SetEnabled(&TFormDial::Button1, false);
  if (RasApi().RasHangUpA(ConnHandle) == 0) {
    SetProgress("No Connection");
    SetEnabled(&TFormDial::Dial, true);
    SetEnabled(&TFormDial::Button1, true);
    // The window shows the new state before the thread blocks; input
    // waits in the queue meanwhile.
    if (FormDial && FormDial->HandleAllocated())
      RedrawWindow(FormDial->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(kHangUpSettleMs);
  }
  SetEnabled(&TFormDial::Button1, true);
  ClearBusyCursor();
  ConnHandle = nullptr;
}

void TRasDialer::EditEntry(const String& entry) {
  if (entry.empty()) return;
  if (RasApi().RasEditPhonebookEntryA(DialogOwner(), nullptr, entry.c_str()) != 0)
    ErrorBox("Could not access the this entry in the phonebook", "Phonebook Error");
}

void TRasDialer::NewEntry() {
  if (RasApi().RasCreatePhonebookEntryA(DialogOwner(), nullptr) != 0)
    ErrorBox("Could not access the default phonebook", "Phonebook Error");
}

namespace {
void SetBusy(TCursor cursor) {
  if (!FormDial) return;
  FormDial->SetCursor(cursor);
  for (TControl* c : std::initializer_list<TControl*>{FormDial->GroupBox1, FormDial->GroupBox2, FormDial->Account,
                                                     FormDial->Logon, FormDial->Password})
    c->SetCursor(cursor);
}
}  // namespace

void TRasDialer::SetBusyCursor() { SetBusy(crHourGlass); }

void TRasDialer::ClearBusyCursor() { SetBusy(crDefault); }
