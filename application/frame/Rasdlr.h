// Dial-up networking: the link to the Remote Access Service (rasapi32,
// loaded from the system folder at first use). The module tells whether a
// dial-up connection is up, mirrors the phonebook's stored dial parameters
// into phonebook.ini, dials, follows the dial and hangs up; it writes its
// status and button states into the dial window (Dialer.h).
#pragma once

#include "classlib/Classes.h"
#include "classlib/Wndclass.h"

// The platform's records in their early versions (no sub-entries, no
// GUIDs), declared here so that their sizes are ours, not the headers'.
namespace ras {

DECLARE_HANDLE(HRASCONN);

constexpr int RAS_MaxEntryName = 256;
constexpr int RAS_MaxDeviceType = 16;
constexpr int RAS_MaxDeviceName = 128;
constexpr int RAS_MaxPhoneNumber = 128;
constexpr int RAS_MaxCallbackNumber = 128;
constexpr int UNLEN = 256;
constexpr int PWLEN = 256;
constexpr int DNLEN = 15;

enum RASCONNSTATE : int {
  RASCS_OpenPort = 0,
  RASCS_PortOpened,
  RASCS_ConnectDevice,
  RASCS_DeviceConnected,
  RASCS_AllDevicesConnected,
  RASCS_Authenticate,
  RASCS_AuthNotify,
  RASCS_AuthRetry,
  RASCS_AuthCallback,
  RASCS_AuthChangePassword,
  RASCS_AuthProject,
  RASCS_AuthLinkSpeed,
  RASCS_AuthAck,
  RASCS_ReAuthenticate,
  RASCS_Authenticated,
  RASCS_PrepareForCallback,
  RASCS_WaitForModemReset,
  RASCS_WaitForCallback,
  RASCS_Projected,
  RASCS_StartAuthentication,
  RASCS_CallbackComplete,
  RASCS_LogonNetwork,
  RASCS_SubEntryConnected,
  RASCS_SubEntryDisconnected,
  RASCS_Interactive = 0x1000,
  RASCS_RetryAuthentication,
  RASCS_CallbackSetByCaller,
  RASCS_PasswordExpired,
  RASCS_Connected = 0x2000,
  RASCS_Disconnected,
};

struct RASCONN {
  DWORD dwSize;
  HRASCONN hrasconn;
  CHAR szEntryName[RAS_MaxEntryName + 1];
  CHAR szDeviceType[RAS_MaxDeviceType + 1];
  CHAR szDeviceName[RAS_MaxDeviceName + 1];
};

struct RASCONNSTATUS {
  DWORD dwSize;
  RASCONNSTATE rasconnstate;
  DWORD dwError;
  CHAR szDeviceType[RAS_MaxDeviceType + 1];
  CHAR szDeviceName[RAS_MaxDeviceName + 1];
};

struct RASENTRYNAME {
  DWORD dwSize;
  CHAR szEntryName[RAS_MaxEntryName + 1];
};

struct RASDIALPARAMS {
  DWORD dwSize;
  CHAR szEntryName[RAS_MaxEntryName + 1];
  CHAR szPhoneNumber[RAS_MaxPhoneNumber + 1];
  CHAR szCallbackNumber[RAS_MaxCallbackNumber + 1];
  CHAR szUserName[UNLEN + 1];
  CHAR szPassword[PWLEN + 1];
  CHAR szDomain[DNLEN + 1];
};

#ifdef _WIN64
static_assert(sizeof(RASCONN) == 424);
#endif
static_assert(sizeof(RASCONNSTATUS) == 160);
static_assert(sizeof(RASENTRYNAME) == 264);
static_assert(sizeof(RASDIALPARAMS) == 1052);

// The notifier of type 1.
using RASDIALFUNC1 = void(WINAPI*)(HRASCONN, UINT, RASCONNSTATE, DWORD, DWORD);

constexpr DWORD ERROR_BUFFER_TOO_SMALL = 603;

}  // namespace ras

// The functions the program uses, all on the default phonebook (nullptr).
struct TRasApi {
  DWORD(WINAPI* RasEnumConnectionsA)(ras::RASCONN* conns, DWORD* bytes, DWORD* count);
  DWORD(WINAPI* RasGetConnectStatusA)(ras::HRASCONN conn, ras::RASCONNSTATUS* status);
  DWORD(WINAPI* RasEnumEntriesA)(LPCSTR reserved, LPCSTR phonebook, ras::RASENTRYNAME* entries, DWORD* bytes,
                                 DWORD* count);
  DWORD(WINAPI* RasGetEntryDialParamsA)(LPCSTR phonebook, ras::RASDIALPARAMS* params, BOOL* password);
  DWORD(WINAPI* RasDialA)(void* extensions, LPCSTR phonebook, ras::RASDIALPARAMS* params, DWORD notifierType,
                          void* notifier, ras::HRASCONN* conn);
  DWORD(WINAPI* RasHangUpA)(ras::HRASCONN conn);
  DWORD(WINAPI* RasGetErrorStringA)(UINT error, LPSTR text, DWORD size);
  DWORD(WINAPI* RasEditPhonebookEntryA)(HWND owner, LPCSTR phonebook, LPCSTR entry);
  DWORD(WINAPI* RasCreatePhonebookEntryA)(HWND owner, LPCSTR phonebook);
};

// The functions of the library at libraryPath (kept loaded). Every entry
// can be called: without the library each answers ERROR_MOD_NOT_FOUND, a
// function the library lacks ERROR_PROC_NOT_FOUND.
TRasApi LoadRasApi(const String& libraryPath);
// The table in use: rasapi32 from the system folder, loaded at the first
// call.
const TRasApi& RasApi();
// Installs a table (nullptr: the system's) and returns the one it replaces.
const TRasApi* SetRasApi(const TRasApi* api);

// The notifier given to the platform's dial. It may run on a thread of the
// dial service: it only posts the state and the error to the module that
// dialled, whose window hands them on on the GUI thread.
void WINAPI RasDialCallback(ras::HRASCONN conn, UINT message, ras::RASCONNSTATE state, DWORD error,
                            DWORD extendedError) noexcept;

class TRasDialer : public TComponent {
 public:
  explicit TRasDialer(TComponent* owner);
  ~TRasDialer() override;

  // True when a dial-up connection is up: "Connected to: " and its entry
  // in the dial window, its entry in ConnectedEntry, "Disconnect" enabled
  // and "Connect" disabled. False when none is: the window as it was, or
  // the label telling that the listing or a status could not be read.
  bool FindActiveConnection();
  // Fills the dial window's entry list with the phonebook's entries whose
  // stored dial parameters can be read, and writes their sections of
  // phonebook.ini.
  void LoadPhonebook();
  // Starts dialling entry with the entry's own numbers and the given user
  // name and password; true when the dial has started.
  bool Dial(const String& entry, const String& user, const String& password);
  // Reports LastDialError: its text in the status label and a box; 619
  // and 631 report nothing.
  void ShowDialError();
  // The connected end of a dial: the status, the buttons, the window closes.
  void SetConnected();
  // Ends the connection in ConnHandle (also a dial in progress).
  void HangUp();
  // The system's phonebook dialogs.
  void EditEntry(const String& entry);
  void NewEntry();
  // The hourglass, or the default pointer, on the dial window, its group
  // boxes and its fields (not on the buttons).
  void SetBusyCursor();
  void ClearBusyCursor();

  // The program folder + "phonebook.ini".
  static String PhonebookFileName();
  // The platform's text for an error code ("" when it has none).
  static String ErrorText(DWORD code);

  ras::RASDIALPARAMS DialParams{};
  ras::HRASCONN ConnHandle = nullptr;
  int LastDialError = 0;
  String PhonebookErrorText;

 private:
  void NotifyWndProc(TMessage& msg);
  void DialProgress(ras::RASCONNSTATE state, DWORD error);
  // A dial error with a text: the status, "&Close", the pointers, the box.
  void ReportDialError(const String& text);
  HWND notifyWnd_ = nullptr;
};

extern TRasDialer* RasDialer;

// The state texts of the dial's progress ("Connecting Device..." for the
// states without one of their own).
String RasStateText(ras::RASCONNSTATE state);
// The text ShowDialError gives a code; "" for 619 and 631.
String RasDialErrorText(int code);
