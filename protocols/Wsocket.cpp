#include "Wsocket.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

// ================================================================ WinSock binding

namespace {

const char kWinsockDll[] = "wsock32.dll";
// wsock32's own setsockopt takes the WinSock 1 numbers of the IP options.
const int kWs1IpMulticastTtl = 3;
const int kWs1IpAddMembership = 5;
struct TIpMreq {
  in_addr imr_multiaddr;
  in_addr imr_interface;
};

HMODULE gWSocketModule = nullptr;
WSADATA gWSocketData{};
// Live sockets (and lookup keepers), plus one while the library is forced loaded.
int gSocketCount = 0;
bool gForceLoaded = false;

#define WSOCKET_PROCS(X)                                                                                   \
  X(WSAStartup, int, (WORD a, WSADATA * b), (a, b))                                                       \
  X(WSACleanup, int, (), ())                                                                               \
  X(WSASetLastError, void, (int a), (a))                                                                   \
  X(WSAGetLastError, int, (), ())                                                                          \
  X(WSACancelAsyncRequest, int, (HANDLE a), (a))                                                           \
  X(WSAAsyncGetHostByName, HANDLE, (HWND a, u_int b, const char* c, char* d, int e), (a, b, c, d, e))     \
  X(WSAAsyncGetHostByAddr, HANDLE, (HWND a, u_int b, const char* c, int d, int e, char* f, int g),         \
    (a, b, c, d, e, f, g))                                                                                 \
  X(WSAAsyncSelect, int, (TSocket a, HWND b, u_int c, long d), (a, b, c, d))                               \
  X(getservbyname, servent*, (const char* a, const char* b), (a, b))                                       \
  X(getprotobyname, protoent*, (const char* a), (a))                                                       \
  X(gethostbyname, hostent*, (const char* a), (a))                                                         \
  X(gethostbyaddr, hostent*, (const char* a, int b, int c), (a, b, c))                                     \
  X(gethostname, int, (char* a, int b), (a, b))                                                            \
  X(socket, TSocket, (int a, int b, int c), (a, b, c))                                                     \
  X(shutdown, int, (TSocket a, int b), (a, b))                                                             \
  X(setsockopt, int, (TSocket a, int b, int c, const char* d, int e), (a, b, c, d, e))                     \
  X(getsockopt, int, (TSocket a, int b, int c, char* d, int* e), (a, b, c, d, e))                          \
  X(sendto, int, (TSocket a, const char* b, int c, int d, const sockaddr* e, int f), (a, b, c, d, e, f))   \
  X(send, int, (TSocket a, const char* b, int c, int d), (a, b, c, d))                                     \
  X(ntohs, u_short, (u_short a), (a))                                                                      \
  X(ntohl, u_long, (u_long a), (a))                                                                        \
  X(listen, int, (TSocket a, int b), (a, b))                                                               \
  X(ioctlsocket, int, (TSocket a, long b, u_long* c), (a, b, c))                                           \
  X(inet_ntoa, char*, (in_addr a), (a))                                                                    \
  X(inet_addr, u_long, (const char* a), (a))                                                               \
  X(htons, u_short, (u_short a), (a))                                                                      \
  X(htonl, u_long, (u_long a), (a))                                                                        \
  X(getsockname, int, (TSocket a, sockaddr* b, int* c), (a, b, c))                                         \
  X(getpeername, int, (TSocket a, sockaddr* b, int* c), (a, b, c))                                         \
  X(connect, int, (TSocket a, const sockaddr* b, int c), (a, b, c))                                        \
  X(closesocket, int, (TSocket a), (a))                                                                    \
  X(bind, int, (TSocket a, const sockaddr* b, int c), (a, b, c))                                           \
  X(accept, TSocket, (TSocket a, sockaddr* b, int* c), (a, b, c))                                          \
  X(recv, int, (TSocket a, char* b, int c, int d), (a, b, c, d))                                           \
  X(recvfrom, int, (TSocket a, char* b, int c, int d, sockaddr* e, int* f), (a, b, c, d, e, f))

enum TProcIndex {
#define WSOCKET_INDEX(name, ret, params, args) piWs_##name,
  WSOCKET_PROCS(WSOCKET_INDEX)
#undef WSOCKET_INDEX
  piWsCount
};

FARPROC gProcs[piWsCount] = {};

[[noreturn]] void ThrowMissingProc(const String& name, DWORD code) {
  throw ESocketException("Procedure " + name + " not found in " + kWinsockDll + " Error #" + IntToStr(code));
}

void LoadWinsock() {
  if (gWSocketModule) return;
  HMODULE h = LoadLibraryA(kWinsockDll);
  if (!h) throw ESocketException(String("Unable to load ") + kWinsockDll + " Error #" + IntToStr(GetLastError()));
  using TStartup = int(WINAPI*)(WORD, WSADATA*);
  auto startup = reinterpret_cast<TStartup>(reinterpret_cast<void*>(GetProcAddress(h, "WSAStartup")));
  if (!startup) {
    DWORD code = GetLastError();
    FreeLibrary(h);
    ThrowMissingProc("WSAStartup", code);
  }
  int r = startup(MAKEWORD(1, 1), &gWSocketData);
  if (r != 0) {
    FreeLibrary(h);
    throw ESocketException(Format("%s: WSAStartup error #%d", kWinsockDll, r));
  }
  gWSocketModule = h;
}

template <class Fn>
Fn BoundProc(TProcIndex index, const char* name) {
  if (!gProcs[index]) gProcs[index] = WSocketGetProc(name);
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(gProcs[index]));
}

// The asynchronous lookups run on WinSock's own threads, which may still be
// inside the library when their reply is handled; the library's code stays
// mapped once a lookup has been started.
void PinLookupLibrary() {
  static bool pinned = false;
  if (pinned) return;
  HMODULE h = nullptr;
  pinned = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, "ws2_32.dll", &h) != 0;
}

void UncountSocket() {
  if (--gSocketCount <= 0) {
    gSocketCount = 0;
    WSocketUnloadWinsock();
  }
}

}  // namespace

#define WSOCKET_WRAPPER(name, ret, params, args)                            \
  ret WSocket_##name params {                                               \
    using TFn = ret(WINAPI*) params;                                        \
    return BoundProc<TFn>(piWs_##name, #name) args;                         \
  }
WSOCKET_PROCS(WSOCKET_WRAPPER)
#undef WSOCKET_WRAPPER

FARPROC WSocketGetProc(const String& ProcName) {
  LoadWinsock();
  if (ProcName.empty()) return nullptr;
  FARPROC p = GetProcAddress(gWSocketModule, ProcName.c_str());
  if (!p) ThrowMissingProc(ProcName, GetLastError());
  return p;
}

void WSocketUnloadWinsock() {
  if (gWSocketModule) {
    using TCleanup = int(WINAPI*)();
    auto cleanup =
        reinterpret_cast<TCleanup>(reinterpret_cast<void*>(GetProcAddress(gWSocketModule, "WSACleanup")));
    if (cleanup) cleanup();
    FreeLibrary(gWSocketModule);
    gWSocketModule = nullptr;
    std::fill(std::begin(gProcs), std::end(gProcs), nullptr);
  }
  gSocketCount = 0;
  gForceLoaded = false;
}

void WSocketForceLoadWinsock() {
  if (gForceLoaded) return;
  gForceLoaded = true;
  ++gSocketCount;
  WSocketGetProc("");
}

void WSocketCancelForceLoadWinsock() {
  if (!gForceLoaded) return;
  gForceLoaded = false;
  if (--gSocketCount < 1) {
    gSocketCount = 0;
    WSocketUnloadWinsock();
  }
}

WSADATA WinsockInfo() {
  WSocketGetProc("");
  WSADATA info = gWSocketData;
  if (gSocketCount <= 0 && !gForceLoaded) WSocketUnloadWinsock();
  return info;
}

// ================================================================ error texts

String WSocketErrorDesc(int ErrCode) {
  switch (ErrCode) {
    case 0: return "No Error";
    case WSAEINTR: return "Interrupted system call";
    case WSAEBADF: return "Bad file number";
    case WSAEACCES: return "Permission denied";
    case WSAEFAULT: return "Bad address";
    case WSAEINVAL: return "Invalid argument";
    case WSAEMFILE: return "Too many open files";
    case WSAEWOULDBLOCK: return "Operation would block";
    case WSAEINPROGRESS: return "Operation now in progress";
    case WSAEALREADY: return "Operation already in progress";
    case WSAENOTSOCK: return "Socket operation on non-socket";
    case WSAEDESTADDRREQ: return "Destination address required";
    case WSAEMSGSIZE: return "Message too long";
    case WSAEPROTOTYPE: return "Protocol wrong type for socket";
    case WSAENOPROTOOPT: return "Protocol not available";
    case WSAEPROTONOSUPPORT: return "Protocol not supported";
    case WSAESOCKTNOSUPPORT: return "Socket type not supported";
    case WSAEOPNOTSUPP: return "Operation not supported on socket";
    case WSAEPFNOSUPPORT: return "Protocol family not supported";
    case WSAEAFNOSUPPORT: return "Address family not supported by protocol family";
    case WSAEADDRINUSE: return "Address already in use";
    case WSAEADDRNOTAVAIL: return "Address not available";
    case WSAENETDOWN: return "Network is down";
    case WSAENETUNREACH: return "Network is unreachable";
    case WSAENETRESET: return "Network dropped connection on reset";
    case WSAECONNABORTED: return "Connection aborted";
    case WSAECONNRESET: return "Connection reset by peer";
    case WSAENOBUFS: return "No buffer space available";
    case WSAEISCONN: return "Socket is already connected";
    case WSAENOTCONN: return "Socket is not connected";
    case WSAESHUTDOWN: return "Can't send after socket shutdown";
    case WSAETOOMANYREFS: return "Too many references: can't splice";
    case WSAETIMEDOUT: return "Connection timed out";
    case WSAECONNREFUSED: return "Connection refused";
    case WSAELOOP: return "Too many levels of symbolic links";
    case WSAENAMETOOLONG: return "File name too long";
    case WSAEHOSTDOWN: return "Host is down";
    case WSAEHOSTUNREACH: return "No route to host";
    case WSAENOTEMPTY: return "Directory not empty";
    case WSAEPROCLIM: return "Too many processes";
    case WSAEUSERS: return "Too many users";
    case WSAEDQUOT: return "Disc quota exceeded";
    case WSAESTALE: return "Stale NFS file handle";
    case WSAEREMOTE: return "Too many levels of remote in path";
    case WSASYSNOTREADY: return "Network sub-system is unusable";
    case WSAVERNOTSUPPORTED: return "WinSock DLL cannot support this application";
    case WSANOTINITIALISED: return "WinSock not initialized";
    case WSAHOST_NOT_FOUND: return "Host not found";
    case WSATRY_AGAIN: return "Non-authoritative host not found";
    case WSANO_RECOVERY: return "Non-recoverable error";
    case WSANO_DATA: return "No Data";
    default: return "Not a WinSock error";
  }
}

// ================================================================ resolvers

namespace {

// What the library answered for a protocol or service name: the number
// (a port in host order), or the error of the failure.
struct TNameAnswer {
  bool Found;
  int Value;
  int Error;
};

// Wine reads its protocols and services files for every lookup: each name
// goes to the library once per process.
std::mutex gNameLock;
std::map<String, TNameAnswer> gProtoNames;
std::map<std::pair<String, String>, TNameAnswer> gServiceNames;
TWSocketGetServByName gGetServByName = nullptr;
TWSocketGetProtoByName gGetProtoByName = nullptr;

// An answer from the cache leaves the library's last error as the call
// would have left it.
TNameAnswer Remembered(const TNameAnswer& a) {
  if (!a.Found) WSocket_WSASetLastError(a.Error);
  return a;
}

TNameAnswer LookUpService(const String& Name, const String& Proto) {
  const std::pair<String, String> key(Name, Proto);
  {
    std::lock_guard<std::mutex> lock(gNameLock);
    auto it = gServiceNames.find(key);
    if (it != gServiceNames.end()) return Remembered(it->second);
  }
  servent* se = gGetServByName ? gGetServByName(Name.c_str(), Proto.c_str())
                               : WSocket_getservbyname(Name.c_str(), Proto.c_str());
  TNameAnswer a = se ? TNameAnswer{true, WSocket_ntohs(se->s_port), 0}
                     : TNameAnswer{false, 0, WSocket_WSAGetLastError()};
  std::lock_guard<std::mutex> lock(gNameLock);
  gServiceNames.emplace(key, a);
  return a;
}

TNameAnswer LookUpProtocol(const String& Name) {
  {
    std::lock_guard<std::mutex> lock(gNameLock);
    auto it = gProtoNames.find(Name);
    if (it != gProtoNames.end()) return Remembered(it->second);
  }
  protoent* pe = gGetProtoByName ? gGetProtoByName(Name.c_str()) : WSocket_getprotobyname(Name.c_str());
  TNameAnswer a = pe ? TNameAnswer{true, pe->p_proto, 0} : TNameAnswer{false, 0, WSocket_WSAGetLastError()};
  std::lock_guard<std::mutex> lock(gNameLock);
  gProtoNames.emplace(Name, a);
  return a;
}

}  // namespace

void WSocketSetNameLookups(TWSocketGetServByName GetServByName, TWSocketGetProtoByName GetProtoByName) {
  std::lock_guard<std::mutex> lock(gNameLock);
  gGetServByName = GetServByName;
  gGetProtoByName = GetProtoByName;
  gServiceNames.clear();
  gProtoNames.clear();
}

bool WSocketIsDottedIP(const String& S) {
  size_t i = 0, n = S.size();
  while (i < n && S[i] == ' ') ++i;
  if (i < n && S[i] == '.') return false;
  int dots = 0;
  int part = 0;
  for (; i < n; ++i) {
    char c = S[i];
    if (c == '.') {
      if (++dots > 3 || part > 255) return false;
      if (i + 1 >= n || S[i + 1] < '0' || S[i + 1] > '9') return false;
      part = 0;
    } else if (c >= '0' && c <= '9') {
      part = std::min(part * 10 + (c - '0'), 256);
    } else {
      while (i < n && S[i] == ' ') ++i;
      if (i < n) return false;
      break;
    }
  }
  return dots == 3 && part <= 255;
}

u_long WSocketResolveHost(const String& InAddr) {
  if (InAddr.empty() || InAddr.size() >= 257)
    throw ESocketException("WSocketResolveHost: '" + InAddr + "' Invalid Hostname.");
  String s = Trim(InAddr);
  if (WSocketIsDottedIP(s)) {
    u_long a = WSocket_inet_addr(s.c_str());
    if (a == INADDR_NONE && s != "255.255.255.255")
      throw ESocketException("WSocketResolveHost: '" + InAddr + "' Invalid IP address.");
    return a;
  }
  hostent* he = WSocket_gethostbyname(s.c_str());
  if (!he || !he->h_addr_list || !he->h_addr_list[0])
    throw ESocketException(
        Format("WSocketResolveHost: Cannot convert host address '%s', Error #%d", s, WSocket_WSAGetLastError()));
  u_long a;
  std::memcpy(&a, he->h_addr_list[0], sizeof a);
  return a;
}

u_short WSocketResolvePort(const String& Port, const String& Proto) {
  if (Port.empty() || Port.size() >= 32) throw ESocketException("WSocketResolvePort: Invalid Port.");
  if (Proto.empty() || Proto.size() >= 32) throw ESocketException("WSocketResolvePort: Invalid Proto.");
  if (Port[0] >= '0' && Port[0] <= '9') {
    long v = 0;
    for (size_t i = 0; i < Port.size() && Port[i] >= '0' && Port[i] <= '9'; ++i) {
      v = v * 10 + (Port[i] - '0');
      // A number beyond the port range would wrap to another port.
      if (v > 65535) throw ESocketException("WSocketResolvePort: Invalid Port.");
    }
    return static_cast<u_short>(v);
  }
  TNameAnswer a = LookUpService(Trim(Port), Trim(Proto));
  if (!a.Found) throw ESocketException(Format("WSocketResolvePort: Cannot convert port '%s', Error #%d", Port, a.Error));
  return static_cast<u_short>(a.Value);
}

int WSocketResolveProto(const String& Proto) {
  if (Proto.empty() || Proto.size() >= 32) throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  if (Proto[0] >= '0' && Proto[0] <= '9') {
    int v = 0;
    for (size_t i = 0; i < Proto.size() && Proto[i] >= '0' && Proto[i] <= '9'; ++i) v = std::min(v * 10 + (Proto[i] - '0'), 1 << 20);
    return v;
  }
  TNameAnswer a = LookUpProtocol(Trim(Proto));
  if (!a.Found)
    throw ESocketException(Format("WSocketResolveProto: Cannot convert protocol '%s', Error #%d", Proto, a.Error));
  return a.Value;
}

hostent* WSocketGetHostByAddr(const String& Addr) {
  if (Addr.empty() || Addr.size() >= 257) throw ESocketException("WSocketGetHostByAddr: Invalid address.");
  u_long a = WSocket_inet_addr(Addr.c_str());
  return WSocket_gethostbyaddr(reinterpret_cast<const char*>(&a), 4, PF_INET);
}

String WSocketResolveIp(const String& IpAddr) {
  hostent* he = WSocketGetHostByAddr(IpAddr);
  return he && he->h_name ? String(he->h_name) : String();
}

hostent* WSocketGetHostByName(const String& Name) {
  if (Name.empty() || Name.size() >= 257) throw ESocketException("WSocketGetHostByName: Invalid Hostname.");
  return WSocket_gethostbyname(Name.c_str());
}

String LocalHostName() {
  // Host names may be longer than 64 characters.
  char name[256] = {};
  if (WSocket_gethostname(name, sizeof name) != 0) throw ESocketException("Winsock.GetHostName failed");
  return name;
}

namespace {
TStringList gLocalIPList;
}

TStrings* LocalIPList() {
  gLocalIPList.Clear();
  hostent* he = WSocketGetHostByName(LocalHostName());
  if (he && he->h_addr_list) {
    for (char** p = he->h_addr_list; *p; ++p) {
      in_addr a;
      std::memcpy(&a, *p, sizeof a);
      gLocalIPList.Add(WSocket_inet_ntoa(a));
    }
  }
  return &gLocalIPList;
}

// ================================================================ hidden window

namespace {

const UINT_PTR kReaperTimer = 1;
const UINT kReaperTimeoutMs = 5 * 60 * 1000;

// "XSocketWindowClass": the component in the window's extra bytes, whole.
TObjectWindowClass& SocketWindowClass() {
  static TObjectWindowClass c("XSocketWindowClass", SlotExtra(0), 0, sizeof(LONG_PTR));
  return c;
}

// Keeps the window of a destroyed socket while lookups it started are still
// running: WinSock writes their results into the buffers before it posts the
// reply, so each buffer is freed only when its reply comes. Past the time-out
// the window goes and any buffer left is never freed.
class TLookupReaper : public TWindowObject {
 public:
  TLookupReaper(HWND wnd, std::vector<std::pair<HANDLE, char*>> pending) : wnd_(wnd), pending_(std::move(pending)) {
    ++gSocketCount;
    SocketWindowClass().Attach(wnd_, this);
    SetTimer(wnd_, kReaperTimer, kReaperTimeoutMs, nullptr);
  }

  void WindowMessage(HWND wnd, TMessage& msg) override {
    if (msg.Msg == WM_ASYNCGETHOSTBYNAME || msg.Msg == WM_ASYNCGETHOSTBYADDR) {
      auto it = std::find_if(pending_.begin(), pending_.end(),
                             [&](const auto& p) { return p.first == reinterpret_cast<HANDLE>(msg.WParam); });
      if (it != pending_.end()) {
        delete[] it->second;
        pending_.erase(it);
      }
      if (pending_.empty()) Finish();
      return;
    }
    if (msg.Msg == WM_TIMER && msg.WParam == kReaperTimer) {
      pending_.clear();
      Finish();
      return;
    }
    DefaultProc(wnd, msg);
  }

 private:
  void Finish() {
    KillTimer(wnd_, kReaperTimer);
    TObjectWindowClass::Detach(wnd_);
    DestroyWindow(wnd_);
    delete this;
    UncountSocket();
  }
  HWND wnd_;
  std::vector<std::pair<HANDLE, char*>> pending_;
};

}  // namespace

void WSocketUnregisterClass() { SocketWindowClass().Unregister(); }

// ================================================================ TCustomWSocket

TCustomWSocket::TCustomWSocket(TComponent* AOwner) : TComponent(AOwner) {
  AllocateSocketHWnd();
  FSendBlockSize = 1460;
  FDnsResultList = new TStringList;
  FMultiCastIpTTL = 1;
  AssignDefaultValue();
  ++gSocketCount;
}

TCustomWSocket::~TCustomWSocket() {
  *FAlive = false;
  Destroying();
  // The owner may be half destroyed: nothing is reported any more.
  OnChangeState = nullptr;
  OnSessionConnected = nullptr;
  OnSessionAvailable = nullptr;
  OnDataAvailable = nullptr;
  OnDataSent = nullptr;
  OnSendData = nullptr;
  OnSessionClosed = nullptr;
  OnDnsLookupDone = nullptr;
  OnError = nullptr;
  OnBgException = nullptr;
  OnDiagnostic = nullptr;
  try {
    CancelDnsLookup();
  } catch (...) {
  }
  try {
    if (FState != wsClosed) Close();
  } catch (...) {
  }
  if (FHSocket != INVALID_SOCKET) {
    WSocket_closesocket(FHSocket);
    FHSocket = INVALID_SOCKET;
  }
  DeleteBufferedData();
  delete FDnsResultList;
  FDnsResultList = nullptr;
  // The window goes before the library may be unloaded: a lookup keeper
  // counts itself as a live socket.
  DeallocateSocketHWnd();
  UncountSocket();
}

void TCustomWSocket::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
}

void TCustomWSocket::AllocateSocketHWnd() {
  TObjectWindowClass& cls = SocketWindowClass();
  FWindowHandle = cls.Create(nullptr, WS_EX_TOOLWINDOW, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr);
  if (!FWindowHandle) {
    RaiseException("Cannot create a hidden window for TWSocket");
    return;
  }
  cls.Attach(FWindowHandle, this);
  FThreadId = GetCurrentThreadId();
}

void TCustomWSocket::DeallocateSocketHWnd() {
  if (!FWindowHandle) return;
  HWND wnd = FWindowHandle;
  FWindowHandle = nullptr;
  TObjectWindowClass::Detach(wnd);
  ForgetLookup();
  if (!FStaleLookups.empty()) {
    new TLookupReaper(wnd, std::move(FStaleLookups));
    FStaleLookups.clear();
  } else {
    DestroyWindow(wnd);
  }
}

void TCustomWSocket::AssignDefaultValue() {
  std::memset(&FSin, 0, sizeof FSin);
  FSin.sin_family = AF_INET;
  FAddrFormat = PF_INET;
  FAddrAssigned = false;
  FAddrResolved = false;
  FPortAssigned = false;
  FPortResolved = false;
  FProtoAssigned = true;
  FProtoResolved = false;
  FProto = IPPROTO_TCP;
  FProtoStr = "tcp";
  FType = SOCK_STREAM;
  FLocalPortStr = "0";
  FLocalPortResolved = false;
  FLocalAddr = "0.0.0.0";
  FLingerOnOff = wsLingerOn;
  FLingerTimeout = 0;
  FHSocket = INVALID_SOCKET;
  FSelectEvent = 0;
  FState = wsClosed;
  FAllSent = true;
  FReadCount = 0;
  FPaused = false;
  FCloseInvoked = false;
  FPeerEof = false;
  FFlushTimeout = 60;
}

// ---------------------------------------------------------------- properties

// Addr, Port and Proto change only while closed; setting the same text
// again is accepted and keeps a resolved value.
void TCustomWSocket::AssignWhileClosed(const char* Name, const String& Value, String& Text, bool& Assigned,
                                       bool& Resolved) {
  if (FState != wsClosed) {
    RaiseException(String("Cannot change ") + Name + " if not closed");
    return;
  }
  String s = Trim(Value);
  if (Assigned && s == Text) return;
  Text = s;
  Assigned = !s.empty();
  Resolved = false;
}

void TCustomWSocket::SetAddr(const String& Value) {
  AssignWhileClosed("Addr", Value, FAddrStr, FAddrAssigned, FAddrResolved);
}

void TCustomWSocket::SetRemotePort(const String& Value) {
  AssignWhileClosed("Port", Value, FPortStr, FPortAssigned, FPortResolved);
}

void TCustomWSocket::SetProto(const String& Value) {
  AssignWhileClosed("Proto", Value, FProtoStr, FProtoAssigned, FProtoResolved);
}

void TCustomWSocket::SetLocalAddr(const String& Value) {
  if (FState != wsClosed) {
    RaiseException("Cannot change LocalAddr if not closed");
    return;
  }
  FLocalAddr = Value.empty() ? String("0.0.0.0") : Value;
}

void TCustomWSocket::SetLocalPort(const String& Value) {
  if (FState != wsClosed) {
    RaiseException("Cannot change LocalPort if not closed");
    return;
  }
  FLocalPortStr = Value;
  FLocalPortResolved = false;
}

TSocketSendFlags TCustomWSocket::SendFlags() {
  switch (FSendFlags) {
    case 0: return wsSendNormal;
    case MSG_OOB: return wsSendUrgent;
    default:
      RaiseException("Invalid internal SendFlags");
      return wsSendNormal;
  }
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags Value) {
  switch (Value) {
    case wsSendNormal: FSendFlags = 0; break;
    case wsSendUrgent: FSendFlags = MSG_OOB; break;
    default: RaiseException("Invalid SendFlags");
  }
}

// ---------------------------------------------------------------- events

void TCustomWSocket::ChangeState(TSocketState NewState) {
  TSocketState old = FState;
  FState = NewState;
  // No events reach an owner that is destroying this component.
  if (!IsDestroying()) TriggerChangeState(old, NewState);
}

void TCustomWSocket::TriggerChangeState(TSocketState OldState, TSocketState NewState) {
  if (OnChangeState) OnChangeState(this, OldState, NewState);
}

bool TCustomWSocket::TriggerDataAvailable(WORD Error) {
  if (!OnDataAvailable) return false;
  OnDataAvailable(this, Error);
  return true;
}

void TCustomWSocket::TriggerSessionAvailable(WORD Error) {
  if (OnSessionAvailable) OnSessionAvailable(this, Error);
}

void TCustomWSocket::TriggerSessionConnected(WORD Error) {
  if (OnSessionConnected) OnSessionConnected(this, Error);
}

void TCustomWSocket::TriggerSessionClosed(WORD Error) {
  if (OnSessionClosed) OnSessionClosed(this, Error);
}

void TCustomWSocket::TriggerDataSent(WORD Error) {
  if (OnDataSent) OnDataSent(this, Error);
}

void TCustomWSocket::TriggerDNSLookupDone(WORD Error) {
  if (OnDnsLookupDone) OnDnsLookupDone(this, Error);
}

void TCustomWSocket::TriggerError() {
  if (OnError) OnError(this);
}

void TCustomWSocket::TriggerSendData(int BytesSent) {
  if (OnSendData) OnSendData(this, BytesSent);
}

void TCustomWSocket::TriggerDisplay(String Msg) {
  if (OnDiagnostic) OnDiagnostic(this, Msg);
}

// ---------------------------------------------------------------- errors

void TCustomWSocket::RaiseException(const String& Msg) {
  if (OnError)
    TriggerError();
  else
    throw ESocketException(Msg);
}

void TCustomWSocket::RaiseExceptionFmt(const String& Fmt, const std::vector<TVarRec>& Args) {
  RaiseException(FormatArgs(Fmt, Args.data(), Args.size()));
}

void TCustomWSocket::SocketError(const String& SockFunc) {
  int code = WSocket_WSAGetLastError();
  String line = "Error " + IntToStr(code) + " in function " + SockFunc + "\r\n" + WSocketErrorDesc(code);
  if (code == WSAECONNRESET || code == WSAENOTCONN) {
    if (FHSocket != INVALID_SOCKET) WSocket_closesocket(FHSocket);
    FHSocket = INVALID_SOCKET;
    if (FState != wsClosed) TriggerSessionClosed(static_cast<WORD>(code));
    ChangeState(wsClosed);
  }
  FLastError = code;
  RaiseException(line);
}

void TCustomWSocket::HandleBackGroundException(Exception& E) {
  // What fails here leaves the window procedure for the application.
  bool canClose = true;
  if (OnBgException) OnBgException(this, E, canClose);
  if (canClose) Abort();
}

void TCustomWSocket::HandleCurrentException() {
  // It left HandleBackGroundException further down this message: it is on
  // its way out of the window procedure and is not handled twice.
  if (FBgEscape && std::current_exception() == FBgEscape) throw;
  try {
    DispatchCurrentException([this](Exception& e) { HandleBackGroundException(e); });
  } catch (...) {
    FBgEscape = std::current_exception();
    throw;
  }
}

// ---------------------------------------------------------------- window

void TCustomWSocket::WndProc(TMessage& MsgRec) {
  if (IsDestroying()) {
    // Only the replies of cancelled lookups still matter: they free buffers.
    if ((MsgRec.Msg == WM_ASYNCGETHOSTBYNAME || MsgRec.Msg == WM_ASYNCGETHOSTBYADDR) &&
        ReapStaleLookup(reinterpret_cast<HANDLE>(MsgRec.WParam)))
      return;
    MsgRec.Result = DefWindowProcA(FWindowHandle, MsgRec.Msg, MsgRec.WParam, MsgRec.LParam);
    return;
  }
  try {
    switch (MsgRec.Msg) {
      case WM_ASYNCSELECT: WMASyncSelect(MsgRec); break;
      case WM_ASYNCGETHOSTBYNAME: WMAsyncGetHostByName(MsgRec); break;
      case WM_ASYNCGETHOSTBYADDR: WMAsyncGetHostByAddr(MsgRec); break;
      case WM_CLOSE_DELAYED: WMCloseDelayed(MsgRec); break;
      case WM_WSOCKET_RELEASE: WMRelease(MsgRec); return;  // the component is gone
      case WM_TRIGGER_EXCEPTION: throw ESocketException("Test exception in WSocket");
      default: MsgRec.Result = DefWindowProcA(FWindowHandle, MsgRec.Msg, MsgRec.WParam, MsgRec.LParam);
    }
  } catch (...) {
    HandleCurrentException();
  }
}

void TCustomWSocket::WMCloseDelayed(TMessage&) { Close(); }

void TCustomWSocket::WMRelease(TMessage&) { Free(); }

void TCustomWSocket::WMASyncSelect(TMessage& Msg) {
  TSocket s = static_cast<TSocket>(Msg.WParam);
  if (s != FHSocket || FPaused) return;
  WORD events = LOWORD(Msg.LParam);
  WORD error = HIWORD(Msg.LParam);
  // A handler may close the socket (or open a new one): what is left of the
  // message then no longer concerns the current socket.
  auto gone = [&] { return FHSocket != s; };

  if ((events & FD_CONNECT) && FState != wsConnected) {
    ChangeState(wsConnected);
    TriggerSessionConnected(error);
    if (error != 0 && FState != wsClosed && !gone()) Close();
  }
  if (gone()) return;
  if (events & FD_READ) {
    if (FState != wsConnected) {
      ChangeState(wsConnected);
      TriggerSessionConnected(error);
      if (gone()) return;
    }
    ASyncReceive(error, FComponentOptions);
  }
  if (gone()) return;
  if (events & FD_WRITE) {
    TryToSend();
    if (gone()) return;
    if (FAllSent) TriggerDataSent(error);
  }
  if (gone()) return;
  if (events & FD_ACCEPT) TriggerSessionAvailable(error);
  if (gone()) return;
  if ((events & FD_CLOSE) && FState != wsConnecting) {
    if (FComponentOptions.Contains(wsoNoReceiveLoop)) {
      // What is left is read a pass at a time, between the thread's other
      // messages (megabytes may wait); the close is reported after the last.
      ASyncReceive(0, FComponentOptions);
      if (gone()) return;
      u_long pending = 0;
      if (!FPeerEof && WSocket_ioctlsocket(FHSocket, FIONREAD, &pending) == 0 && pending > 0) {
        PostMessageA(FWindowHandle, WM_ASYNCSELECT, static_cast<WPARAM>(FHSocket), MAKELPARAM(FD_CLOSE, error));
        return;
      }
    } else {
      ASyncReceive(0, FComponentOptions - wsoNoReceiveLoop);
    }
    if (gone()) return;
    PeerClosed(error);
  }
}

void TCustomWSocket::PeerClosed(WORD Error) {
  TSocket s = FHSocket;
  if (!FCloseInvoked) {
    FCloseInvoked = true;
    TriggerSessionClosed(Error);
  }
  if (FState != wsClosed && FHSocket == s) Close();
}

// ---------------------------------------------------------------- receiving

int TCustomWSocket::DoRecv(void* Buffer, int BufferSize, int Flags) {
  int r = WSocket_recv(FHSocket, static_cast<char*>(Buffer), BufferSize, Flags);
  if (r > 0 && !(Flags & MSG_PEEK)) FRecvTaken += static_cast<uint64_t>(r);
  // Nothing for a stream that asked for bytes: the peer closed its side.
  if (r == 0 && BufferSize > 0 && FType == SOCK_STREAM) FPeerEof = true;
  return r;
}

int TCustomWSocket::DoRecvFrom(void* Buffer, int BufferSize, int Flags, sockaddr_in& From, int& FromLen) {
  int r = WSocket_recvfrom(FHSocket, static_cast<char*>(Buffer), BufferSize, Flags, reinterpret_cast<sockaddr*>(&From),
                           &FromLen);
  if (r > 0 && !(Flags & MSG_PEEK)) FRecvTaken += static_cast<uint64_t>(r);
  return r;
}

int TCustomWSocket::Receive(void* Buffer, int BufferSize) {
  int r = DoRecv(Buffer, BufferSize, 0);
  if (r < 0)
    FLastError = WSocket_WSAGetLastError();
  else
    FReadCount += r;
  return r;
}

String TCustomWSocket::ReceiveStr() {
  int n = GetRcvdCount();
  if (n < 0) return String();
  if (n == 0) n = 255;
  String s(static_cast<size_t>(n), '\0');
  int r = Receive(s.data(), n);
  if (r <= 0) return String();
  s.resize(static_cast<size_t>(r));
  return s;
}

int TCustomWSocket::ReceiveFrom(void* Buffer, int BufferSize, sockaddr_in& From, int& FromLen) {
  int r = DoRecvFrom(Buffer, BufferSize, 0, From, FromLen);
  if (r < 0)
    FLastError = WSocket_WSAGetLastError();
  else
    FReadCount += r;
  return r;
}

int TCustomWSocket::PeekData(void* Buffer, int BufferSize) {
  int r = DoRecv(Buffer, BufferSize, MSG_PEEK);
  if (r < 0) FLastError = WSocket_WSAGetLastError();
  return r;
}

int TCustomWSocket::GetRcvdCount() {
  if (IsDesigning()) return -1;
  u_long n = 0;
  if (WSocket_ioctlsocket(FHSocket, FIONREAD, &n) == SOCKET_ERROR) {
    SocketError("ioctlSocket");
    return -1;
  }
  return static_cast<int>(n);
}

void TCustomWSocket::ASyncReceive(WORD Error, TWSocketOptions Options) {
  TSocket s = FHSocket;
  for (;;) {
    FLastError = 0;
    uint64_t takenBefore = FRecvTaken;
    bool handled = false;
    try {
      handled = TriggerDataAvailable(Error);
    } catch (...) {
      // A failing handler ends the loop; the owner hears of it.
      HandleCurrentException();
      return;
    }
    if (!handled) {
      char junk[1024];
      if (DoRecv(junk, sizeof junk, 0) < 0) {
        FLastError = WSocket_WSAGetLastError();
        if (FLastError == WSAEWOULDBLOCK) {
          FLastError = 0;
          return;
        }
      }
    }
    if (FHSocket != s || FHSocket == INVALID_SOCKET) return;
    // The peer's close was read: some stacks go on reporting the socket as
    // readable and never send the close event, so it is handled here.
    if (FPeerEof) {
      PeerClosed(0);
      return;
    }
    if (Options.Contains(wsoNoReceiveLoop)) return;
    if (FLastError != 0) return;
    // A pass that took nothing would be repeated for ever: the data stays
    // for the owner to read later.
    if (FRecvTaken == takenBefore) return;
    u_long pending = 0;
    if (WSocket_ioctlsocket(FHSocket, FIONREAD, &pending) == SOCKET_ERROR) {
      FLastError = WSocket_WSAGetLastError();
      return;
    }
    if (pending == 0) return;
  }
}

// ---------------------------------------------------------------- sending

void TCustomWSocket::DeleteBufferedData() {
  for (TBuffer* b : FBufList) delete b;
  FBufList.clear();
}

void TCustomWSocket::PutDataInSendBuffer(const void* Data, int Len) {
  if (Len <= 0) return;
  const char* p = static_cast<const char*>(Data);
  if (FBufList.empty()) FBufList.push_back(new TBuffer(FSendBlockSize));
  int n = FBufList.back()->Write(p, Len);
  p += n;
  Len -= n;
  while (Len > 0) {
    auto* b = new TBuffer(FSendBlockSize);
    FBufList.push_back(b);
    n = b->Write(p, Len);
    p += n;
    Len -= n;
  }
}

int TCustomWSocket::RealSend(const void* Data, int Len) {
  int r;
  if (FType == SOCK_DGRAM)
    r = WSocket_sendto(FHSocket, static_cast<const char*>(Data), Len, FSendFlags,
                       reinterpret_cast<const sockaddr*>(&FSin), sizeof FSin);
  else
    r = WSocket_send(FHSocket, static_cast<const char*>(Data), Len, FSendFlags);
  if (r > 0) TriggerSendData(r);
  return r;
}

void TCustomWSocket::TryToSend() {
  if (FHSocket == INVALID_SOCKET || FBufList.empty()) return;
  for (;;) {
    TBuffer* b = FBufList.front();
    int len = 0;
    const char* p = b->Peek(len);
    if (len > 0) {
      int r = RealSend(p, len);
      if (r == 0) return;
      if (r == SOCKET_ERROR) {
        int e = WSocket_WSAGetLastError();
        if (e == WSAECONNRESET || e == WSAENOTSOCK || e == WSAENOTCONN || e == WSAEINVAL || e == WSAECONNABORTED) {
          FCloseInvoked = true;
          Close();
          TriggerSessionClosed(static_cast<WORD>(e));
        } else if (e != WSAEWOULDBLOCK) {
          WSocket_WSASetLastError(e);
          SocketError("TryToSend failed");
        }
        return;
      }
      b->Remove(r);
      if (r < len) return;
    }
    if (b->Pending() == 0) {
      if (FBufList.size() > 1) {
        delete b;
        FBufList.erase(FBufList.begin());
      } else {
        FAllSent = true;
        return;
      }
    }
  }
}

int TCustomWSocket::Send(const void* Data, int Len) {
  if (FState != wsConnected) {
    WSocket_WSASetLastError(WSAENOTCONN);
    SocketError("Send");
    return -1;
  }
  if (Len <= 0) return 0;
  FAllSent = false;
  PutDataInSendBuffer(Data, Len);
  TryToSend();
  // OnDataSent always comes from the message loop, never inside Send.
  if (FAllSent && FHSocket != INVALID_SOCKET && FWindowHandle)
    PostMessageA(FWindowHandle, WM_ASYNCSELECT, static_cast<WPARAM>(FHSocket), MAKELPARAM(FD_WRITE, 0));
  return Len;
}

int TCustomWSocket::SendStr(const String& Str) {
  if (Str.empty()) return 0;
  return Send(Str.data(), static_cast<int>(Str.size()));
}

int TCustomWSocket::SendTo(const sockaddr_in& Dest, int DestLen, const void* Data, int Len) {
  int r = WSocket_sendto(FHSocket, static_cast<const char*>(Data), Len, FSendFlags,
                         reinterpret_cast<const sockaddr*>(&Dest), DestLen);
  if (r > 0) TriggerSendData(r);
  return r;
}

void TCustomWSocket::Flush() {
  std::shared_ptr<bool> alive = FAlive;
  auto sent = [this] { return FHSocket == INVALID_SOCKET || FAllSent; };
  TPumpResult r = PumpUntil(
      [&] {
        if (sent()) return true;
        TryToSend();
        return sent() || FTerminated || QuitReceived();
      },
      kPumpForever, alive);
  if (r == prQuit) FTerminated = true;
}

// ---------------------------------------------------------------- closing

void TCustomWSocket::Close() { InternalClose(true, 0); }

void TCustomWSocket::CloseDelayed() {
  if (FWindowHandle) PostMessageA(FWindowHandle, WM_CLOSE_DELAYED, 0, 0);
}

void TCustomWSocket::Release() {
  if (FWindowHandle) PostMessageA(FWindowHandle, WM_WSOCKET_RELEASE, 0, 0);
}

void TCustomWSocket::InternalClose(bool bShut, WORD Error) {
  if (FHSocket == INVALID_SOCKET) {
    if (FState != wsClosed) {
      ChangeState(wsClosed);
      AssignDefaultValue();
    }
    return;
  }
  if (FState == wsClosed) return;
  if (bShut) Shutdown(1);
  TSocket s = FHSocket;
  for (;;) {
    if (WSocket_closesocket(s) == 0) break;
    int e = WSocket_WSAGetLastError();
    if (e != WSAEWOULDBLOCK) {
      FHSocket = INVALID_SOCKET;
      if (e == WSANOTINITIALISED) break;
      WSocket_WSASetLastError(e);
      SocketError("Disconnect (closesocket)");
      return;
    }
    std::shared_ptr<bool> alive = FAlive;
    TPumpResult r = PumpUntil([&] { return FHSocket != s; }, DeadlineAfter(10), alive);
    // Freed, or closed by a handler meanwhile.
    if (r == prCallerGone || r == prDone) return;
    if (r == prQuit) FTerminated = true;
  }
  FHSocket = INVALID_SOCKET;
  ChangeState(wsClosed);
  // The defaults return after the close event, also when its handler
  // fails; a handler that opened a new connection keeps it.
  auto resetDefaults = [this] {
    if (FHSocket != INVALID_SOCKET) return;
    try {
      AssignDefaultValue();
    } catch (...) {
    }
  };
  if (!IsDestroying() && !FCloseInvoked) {
    FCloseInvoked = true;
    try {
      TriggerSessionClosed(Error);
    } catch (...) {
      resetDefaults();
      throw;
    }
  }
  resetDefaults();
}

void TCustomWSocket::Abort() {
  CancelDnsLookup();
  DeleteBufferedData();
  if (FState == wsConnected && FProto == IPPROTO_TCP) {
    FLingerOnOff = wsLingerOff;
    if (!SetLingerOption()) return;
  }
  InternalClose(false, 0);
}

void TCustomWSocket::Shutdown(int How) {
  if (FHSocket != INVALID_SOCKET) WSocket_shutdown(FHSocket, How);
}

void TCustomWSocket::Pause() {
  FPaused = true;
  if (FHSocket != INVALID_SOCKET) WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, 0, 0);
}

void TCustomWSocket::Resume() {
  FPaused = false;
  if (FHSocket != INVALID_SOCKET) WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent);
}

void TCustomWSocket::WaitForClose() {
  std::shared_ptr<bool> alive = FAlive;
  auto closed = [this] { return FHSocket == INVALID_SOCKET || FState == wsClosed; };
  // Ends with the close; prQuit and prCallerGone end it too.
  auto pump = [&](uint64_t deadline) {
    TPumpResult r = PumpUntil(closed, deadline, alive);
    if (r == prQuit) FTerminated = true;
    return r == prTimeout;
  };
  while (!closed()) {
    if (!pump(kPumpQueued)) return;
    u_long pending = 0;
    if (WSocket_ioctlsocket(FHSocket, FIONREAD, &pending) == SOCKET_ERROR) break;
    if (pending > 0) TriggerDataAvailable(0);
    if (!*alive || FHSocket == INVALID_SOCKET) break;
    char c;
    if (DoRecv(&c, 0, 0) < 0) {
      int e = WSocket_WSAGetLastError();
      if (e != WSAEWOULDBLOCK) {
        FLastError = e;
        break;
      }
    }
    if (FTerminated || QuitReceived()) break;
    if (!pump(DeadlineAfter(100))) return;
  }
}

// ---------------------------------------------------------------- options

bool TCustomWSocket::SetOption(int Level, int OptName, int Value, const char* FuncName) {
  if (WSocket_setsockopt(FHSocket, Level, OptName, reinterpret_cast<const char*>(&Value), sizeof Value) == 0)
    return true;
  SocketError(FuncName);
  return false;
}

bool TCustomWSocket::SetLingerOption() {
  if (FLingerOnOff == wsLingerNoSet) return true;
  if (FHSocket == INVALID_SOCKET) {
    RaiseException("Cannot set linger option at this time");
    return false;
  }
  linger l;
  l.l_onoff = static_cast<u_short>(FLingerOnOff);
  l.l_linger = static_cast<u_short>(FLingerTimeout);
  if (WSocket_setsockopt(FHSocket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l) != 0) {
    SocketError("setsockopt(SO_LINGER)");
    return false;
  }
  return true;
}

bool TCustomWSocket::BindSocket() {
  sockaddr_in local{};
  local.sin_family = static_cast<short>(FAddrFormat);
  local.sin_addr.s_addr = WSocketResolveHost(FLocalAddr);
  local.sin_port = WSocket_htons(static_cast<u_short>(FLocalPortNum));
  if (WSocket_bind(FHSocket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    RaiseExceptionFmt("winsock.bind failed, error #%d", {WSocket_WSAGetLastError()});
    return false;
  }
  int len = sizeof local;
  if (WSocket_getsockname(FHSocket, reinterpret_cast<sockaddr*>(&local), &len) != 0) {
    RaiseExceptionFmt("winsock.getsockname failed, error #%d", {WSocket_WSAGetLastError()});
    return false;
  }
  FLocalPortNum = WSocket_ntohs(local.sin_port);
  FLocalPortStr = IntToStr(FLocalPortNum);
  return true;
}

// ---------------------------------------------------------------- connect, listen, accept

void TCustomWSocket::Connect() {
  if (FHSocket != INVALID_SOCKET && FState != wsClosed) {
    RaiseException("Connect: Socket already in use");
    return;
  }
  if (!FPortAssigned) {
    RaiseException("Connect: No Port Specified");
    return;
  }
  if (!FAddrAssigned) {
    RaiseException("Connect: No IP Address Specified");
    return;
  }
  if (!FProtoAssigned) {
    RaiseException("Connect: No Protocol Specified");
    return;
  }
  try {
    ResolveEndpoint(true);
  } catch (Exception& e) {
    RaiseException("connect: " + e.Message);
    return;
  }
  FSin.sin_family = static_cast<short>(FAddrFormat);

  DeleteBufferedData();
  FHSocket = WSocket_socket(FAddrFormat, FType, FProto);
  if (FHSocket == INVALID_SOCKET) {
    SocketError("Connect (socket)");
    return;
  }
  FCloseInvoked = false;
  FPeerEof = false;
  ChangeState(wsOpened);

  if (FType == SOCK_STREAM) {
    if (!SetOption(SOL_SOCKET, SO_REUSEADDR, 1, "setsockopt(SO_REUSEADDR)")) return;
    if (FComponentOptions.Contains(wsoTcpNoDelay) &&
        !SetOption(IPPROTO_TCP, TCP_NODELAY, 1, "setsockopt(IPPROTO_TCP, TCP_NODELAY)"))
      return;
    if (!SetLingerOption()) return;
    if (!SetOption(SOL_SOCKET, SO_KEEPALIVE, 1, "setsockopt(SO_KEEPALIVE)")) return;
    if ((FLocalPortNum != 0 || FLocalAddr != "0.0.0.0") && !BindSocket()) return;
  } else {
    if (!BindSocket()) return;
    if (FMultiCast && FMultiCastIpTTL != 1 &&
        !SetOption(IPPROTO_IP, kWs1IpMulticastTtl, FMultiCastIpTTL, "setsockopt(IP_MULTICAST_TTL)"))
      return;
    if (FSin.sin_addr.s_addr == INADDR_BROADCAST &&
        !SetOption(SOL_SOCKET, SO_BROADCAST, 1, "setsockopt(SO_BROADCAST)"))
      return;
  }

  FSelectEvent = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
  if (WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent) != 0) {
    SocketError("WSAAsyncSelect");
    return;
  }

  if (FType == SOCK_DGRAM) {
    ChangeState(wsConnected);
    TriggerSessionConnected(0);
    return;
  }
  if (WSocket_connect(FHSocket, reinterpret_cast<const sockaddr*>(&FSin), sizeof FSin) == 0 ||
      WSocket_WSAGetLastError() == WSAEWOULDBLOCK) {
    ChangeState(wsConnecting);
    return;
  }
  FLastError = WSocket_WSAGetLastError();
  SocketError("Connect");
}

// Closes the handle of a socket that never left wsClosed (so that Close would
// not see it), keeping the WinSock error for the report that follows.
void TCustomWSocket::CloseFailedHandle() {
  int e = WSocket_WSAGetLastError();
  WSocket_closesocket(FHSocket);
  FHSocket = INVALID_SOCKET;
  WSocket_WSASetLastError(e);
}

// Resolves what is not resolved yet: protocol (and socket type), port, the
// local port for a connect, address. Raises on a name that cannot be resolved.
void TCustomWSocket::ResolveEndpoint(bool WithLocalPort) {
  if (!FProtoResolved) {
    FProto = WSocketResolveProto(FProtoStr);
    FType = FProto == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
    FProtoResolved = true;
  }
  if (!FPortResolved) {
    FPortNum = WSocketResolvePort(FPortStr, FProtoStr);
    FSin.sin_port = WSocket_htons(static_cast<u_short>(FPortNum));
    FPortResolved = true;
  }
  if (WithLocalPort && !FLocalPortResolved) {
    FLocalPortNum = WSocketResolvePort(FLocalPortStr, FProtoStr);
    FLocalPortResolved = true;
  }
  if (!FAddrResolved) {
    FSin.sin_addr.s_addr = WSocketResolveHost(FAddrStr);
    FAddrResolved = true;
  }
}

void TCustomWSocket::Listen() {
  const char* refusal = !FPortAssigned    ? "listen: port not assigned"
                        : !FProtoAssigned ? "listen: protocol not assigned"
                        : !FAddrAssigned  ? "listen: address not assigned"
                                          : nullptr;
  if (refusal) {
    WSocket_WSASetLastError(WSAEINVAL);
    SocketError(refusal);
    return;
  }
  try {
    ResolveEndpoint(false);
  } catch (Exception& e) {
    RaiseException("listen: " + e.Message);
    return;
  }
  FSin.sin_family = static_cast<short>(FAddrFormat);

  DeleteBufferedData();
  FHSocket = WSocket_socket(FAddrFormat, FType, FProto);
  if (FHSocket == INVALID_SOCKET) {
    SocketError("socket");
    return;
  }
  FCloseInvoked = false;
  FPeerEof = false;
  if (FType == SOCK_DGRAM && FReuseAddr) {
    int on = 1;
    if (WSocket_setsockopt(FHSocket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on) != 0) {
      CloseFailedHandle();
      SocketError("setsockopt(SO_REUSEADDR)");
      return;
    }
  }
  if (WSocket_bind(FHSocket, reinterpret_cast<const sockaddr*>(&FSin), sizeof FSin) != 0) {
    CloseFailedHandle();
    SocketError("Bind");
    Close();
    return;
  }
  ChangeState(wsBound);

  if (FType == SOCK_DGRAM) {
    if (FMultiCast) {
      TIpMreq mreq;
      mreq.imr_multiaddr.s_addr = WSocket_inet_addr(FMultiCastAddrStr.c_str());
      mreq.imr_interface.s_addr = WSocket_htonl(INADDR_ANY);
      if (WSocket_setsockopt(FHSocket, IPPROTO_IP, kWs1IpAddMembership, reinterpret_cast<const char*>(&mreq),
                             sizeof mreq) != 0) {
        SocketError("setsockopt(IP MULTICAST)");
        return;
      }
    }
    ChangeState(wsListening);
    ChangeState(wsConnected);
    TriggerSessionConnected(0);
  } else {
    if (WSocket_listen(FHSocket, 5) != 0) {
      SocketError("Listen");
      return;
    }
    ChangeState(wsListening);
  }

  FSelectEvent = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;
  if (WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent) != 0) {
    SocketError("WSAASyncSelect");
    return;
  }
}

TSocket TCustomWSocket::Accept() {
  if (FState != wsListening) {
    WSocket_WSASetLastError(WSAEINVAL);
    SocketError("not a listening socket");
    return INVALID_SOCKET;
  }
  int len = sizeof FSin;
  TSocket s = WSocket_accept(FHSocket, reinterpret_cast<sockaddr*>(&FSin), &len);
  if (s == INVALID_SOCKET) {
    SocketError("Accept");
    return INVALID_SOCKET;
  }
  return s;
}

void TCustomWSocket::Dup(TSocket NewHSocket) {
  if (NewHSocket == 0 || NewHSocket == INVALID_SOCKET) {
    WSocket_WSASetLastError(WSAEINVAL);
    SocketError("Dup");
    return;
  }
  if (FState != wsClosed) {
    if (FHSocket != INVALID_SOCKET && WSocket_closesocket(FHSocket) != 0) {
      SocketError("Dup (closesocket)");
      return;
    }
    FHSocket = INVALID_SOCKET;
    ChangeState(wsClosed);
  }
  FHSocket = NewHSocket;
  FCloseInvoked = false;
  FPeerEof = false;
  if (!SetLingerOption()) return;
  FSelectEvent = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;
  if (WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent) != 0) {
    SocketError("WSAAsyncSelect");
    return;
  }
  ChangeState(wsConnected);
}

// ---------------------------------------------------------------- lookups

bool TCustomWSocket::ReapStaleLookup(HANDLE LookupHandle) {
  auto it = std::find_if(FStaleLookups.begin(), FStaleLookups.end(),
                         [LookupHandle](const auto& p) { return p.first == LookupHandle; });
  if (it == FStaleLookups.end()) return false;
  delete[] it->second;
  FStaleLookups.erase(it);
  return true;
}

// Drops the pending lookup; its buffer is kept until its reply comes.
void TCustomWSocket::ForgetLookup() {
  if (FDnsLookupHandle) FStaleLookups.emplace_back(FDnsLookupHandle, FDnsLookupBuffer);
  FDnsLookupHandle = nullptr;
  FDnsLookupBuffer = nullptr;
}

void TCustomWSocket::DnsLookup(const String& HostName) {
  if (HostName.empty()) {
    RaiseException("DNS lookup: invalid host name.");
    TriggerDNSLookupDone(WSAEINVAL);
    return;
  }
  if (FDnsLookupHandle) {
    WSocket_WSACancelAsyncRequest(FDnsLookupHandle);
    ForgetLookup();
  }
  FDnsResult.clear();
  FDnsResultList->Clear();

  u_long addr = WSocket_inet_addr(HostName.c_str());
  if (addr != INADDR_NONE) {
    in_addr a;
    a.s_addr = addr;
    FDnsResult = WSocket_inet_ntoa(a);
    TriggerDNSLookupDone(0);
    return;
  }
  if (!FWindowHandle) {
    RaiseException("DnsLookup: Window not assigned");
    return;
  }
  FDnsLookupCheckMsg = false;
  PinLookupLibrary();
  std::unique_ptr<char[]> buffer(new char[kDnsLookupBufSize]);
  HANDLE h = WSocket_WSAAsyncGetHostByName(FWindowHandle, WM_ASYNCGETHOSTBYNAME, HostName.c_str(), buffer.get(),
                                           kDnsLookupBufSize);
  if (!h) {
    RaiseExceptionFmt("%s: can't start DNS lookup, error #%d", {HostName, WSocket_WSAGetLastError()});
    return;
  }
  FDnsLookupHandle = h;
  FDnsLookupBuffer = buffer.release();
  if (FDnsLookupCheckMsg) {
    // The reply was handled before its handle was known.
    FDnsLookupCheckMsg = false;
    WMAsyncGetHostByName(FDnsLookupTempMsg);
  }
}

void TCustomWSocket::WMAsyncGetHostByName(TMessage& Msg) {
  HANDLE h = reinterpret_cast<HANDLE>(Msg.WParam);
  if (ReapStaleLookup(h)) return;
  if (!FDnsLookupHandle) {
    FDnsLookupTempMsg = Msg;
    FDnsLookupCheckMsg = true;
    return;
  }
  if (h != FDnsLookupHandle) return;
  std::unique_ptr<char[]> buffer(FDnsLookupBuffer);
  FDnsLookupHandle = nullptr;
  FDnsLookupBuffer = nullptr;
  WORD error = HIWORD(Msg.LParam);
  if (error == 0) {
    auto* he = reinterpret_cast<hostent*>(buffer.get());
    if (he->h_addr_list) {
      for (char** p = he->h_addr_list; *p; ++p) {
        in_addr a;
        std::memcpy(&a, *p, sizeof a);
        FDnsResultList->Add(WSocket_inet_ntoa(a));
      }
    }
    if (FDnsResultList->Count() > 0) FDnsResult = FDnsResultList->Get(0);
  }
  buffer.reset();
  TriggerDNSLookupDone(error);
}

void TCustomWSocket::ReverseDnsLookup(const String& HostAddr) {
  if (HostAddr.empty() || HostAddr.size() >= 257) {
    RaiseException("ReverseDnsLookup: Invalid host name.");
    TriggerDNSLookupDone(WSAEINVAL);
    return;
  }
  if (FDnsLookupHandle) {
    WSocket_WSACancelAsyncRequest(FDnsLookupHandle);
    ForgetLookup();
  }
  FDnsResult.clear();
  FDnsResultList->Clear();
  u_long addr = WSocket_inet_addr(HostAddr.c_str());
  if (!FWindowHandle) {
    RaiseException("ReverseDnsLookup: Window not assigned");
    return;
  }
  PinLookupLibrary();
  std::unique_ptr<char[]> buffer(new char[kDnsLookupBufSize]);
  HANDLE h = WSocket_WSAAsyncGetHostByAddr(FWindowHandle, WM_ASYNCGETHOSTBYADDR, reinterpret_cast<const char*>(&addr),
                                           4, PF_INET, buffer.get(), kDnsLookupBufSize);
  if (!h) {
    RaiseExceptionFmt("%s: can't start DNS lookup, error #%d", {HostAddr, WSocket_WSAGetLastError()});
    return;
  }
  FDnsLookupHandle = h;
  FDnsLookupBuffer = buffer.release();
}

void TCustomWSocket::WMAsyncGetHostByAddr(TMessage& Msg) {
  HANDLE h = reinterpret_cast<HANDLE>(Msg.WParam);
  if (ReapStaleLookup(h)) return;
  if (!FDnsLookupHandle || h != FDnsLookupHandle) return;
  std::unique_ptr<char[]> buffer(FDnsLookupBuffer);
  FDnsLookupHandle = nullptr;
  FDnsLookupBuffer = nullptr;
  WORD error = HIWORD(Msg.LParam);
  if (error == 0) {
    auto* he = reinterpret_cast<hostent*>(buffer.get());
    FDnsResult = he->h_name ? he->h_name : "";
    FDnsResultList->Add(FDnsResult);
  }
  buffer.reset();
  TriggerDNSLookupDone(error);
}

void TCustomWSocket::CancelDnsLookup() {
  if (!FDnsLookupHandle) return;
  int r = WSocket_WSACancelAsyncRequest(FDnsLookupHandle);
  ForgetLookup();
  if (r != 0) {
    SocketError("WSACancelAsyncRequest");
    return;
  }
  if (!IsDestroying()) TriggerDNSLookupDone(WSAEINTR);
}

// ---------------------------------------------------------------- addresses

String TCustomWSocket::GetPeerAddr() {
  if (FState != wsConnected) return "error";
  sockaddr_in sa{};
  int len = sizeof sa;
  if (WSocket_getpeername(FHSocket, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
    SocketError("GetPeerName");
    return "error";
  }
  return WSocket_inet_ntoa(sa.sin_addr);
}

String TCustomWSocket::GetPeerPort() {
  if (FState != wsConnected) return "error";
  sockaddr_in sa{};
  int len = sizeof sa;
  if (WSocket_getpeername(FHSocket, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
    SocketError("GetPeerPort");
    return "error";
  }
  return IntToStr(WSocket_ntohs(sa.sin_port));
}

int TCustomWSocket::GetPeerName(sockaddr_in& Name, int NameLen) {
  if (FState != wsConnected) return -1;
  return WSocket_getpeername(FHSocket, reinterpret_cast<sockaddr*>(&Name), &NameLen);
}

int TCustomWSocket::GetSockName(sockaddr_in& saddr, int& saddrlen) {
  return WSocket_getsockname(FHSocket, reinterpret_cast<sockaddr*>(&saddr), &saddrlen);
}

String TCustomWSocket::GetXPort() {
  if (FState != wsBound && FState != wsConnected && FState != wsListening) return "error";
  sockaddr_in sa{};
  int len = sizeof sa;
  if (WSocket_getsockname(FHSocket, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return "error";
  return IntToStr(WSocket_ntohs(sa.sin_port));
}

String TCustomWSocket::GetXAddr() {
  if (FState != wsBound && FState != wsConnected && FState != wsListening) return "error";
  sockaddr_in sa{};
  int len = sizeof sa;
  if (WSocket_getsockname(FHSocket, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return "error";
  return WSocket_inet_ntoa(sa.sin_addr);
}

// ---------------------------------------------------------------- timeval helpers

bool TCustomWSocket::TimerIsSet(const timeval& tv) { return tv.tv_sec != 0 || tv.tv_usec != 0; }

void TCustomWSocket::TimerClear(timeval& tv) {
  tv.tv_sec = 0;
  tv.tv_usec = 0;
}

bool TCustomWSocket::TimerCmp(const timeval& tv, const timeval& uv, bool IsEqual) {
  bool same = tv.tv_sec == uv.tv_sec && tv.tv_usec == uv.tv_usec;
  return same == IsEqual;
}

// ---------------------------------------------------------------- pumps and threads

// The application's pump and the component's own are the class library's one
// pump.
void TCustomWSocket::MessagePump() { ProcessMessages(); }

bool TCustomWSocket::ProcessMessage() {
  bool quit = false;
  bool taken = DispatchOneMessage(quit);
  if (quit) FTerminated = true;  // not dispatched: the component is there
  return taken;
}

void TCustomWSocket::ProcessMessages() {
  std::shared_ptr<bool> alive = FAlive;
  if (PumpUntil(nullptr, kPumpQueued, alive) == prQuit) FTerminated = true;
}

void TCustomWSocket::MessageLoop() {
  std::shared_ptr<bool> alive = FAlive;
  if (PumpUntil(nullptr, kPumpForever, alive) == prQuit) FTerminated = true;
}

void TCustomWSocket::ThreadDetach() {
  if (GetCurrentThreadId() != FThreadId) {
    RaiseException("Cannot detach from other thread");
    return;
  }
  // A lookup answers to the window that is about to go.
  CancelDnsLookup();
  if (FHSocket != INVALID_SOCKET) WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, 0, 0);
  DeallocateSocketHWnd();
}

void TCustomWSocket::ThreadAttach() {
  if (FWindowHandle) {
    RaiseException("Cannot attach when not detached");
    return;
  }
  AllocateSocketHWnd();
  if (FHSocket != INVALID_SOCKET && FWindowHandle)
    WSocket_WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent);
}

// ================================================================ TCustomSocksWSocket

namespace {

// SOCKS 5 reply codes 1 to 8 and their texts.
String Socks5ReplyText(int Code, int& ErrCode) {
  static const char* const kTexts[] = {
      "general SOCKS server failure", "connection not allowed by ruleset", "network unreachable",
      "host unreachable",             "connection refused",                "time to live expired",
      "command not supported",        "address type not supported"};
  if (Code >= 1 && Code <= 8) {
    ErrCode = socksGeneralFailure + Code - 1;
    return kTexts[Code - 1];
  }
  ErrCode = socksUnassignedError;
  return "unassigned error #" + IntToStr(Code);
}

// An IPv6 address in its usual text form (the longest run of zero groups
// written as "::").
String Ip6ToStr(const unsigned char* p) {
  unsigned groups[8];
  for (int i = 0; i < 8; ++i) groups[i] = (p[2 * i] << 8) | p[2 * i + 1];
  int bestStart = -1, bestLen = 0;
  for (int i = 0; i < 8;) {
    if (groups[i] != 0) {
      ++i;
      continue;
    }
    int j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > bestLen && j - i > 1) {
      bestStart = i;
      bestLen = j - i;
    }
    i = j;
  }
  String s;
  for (int i = 0; i < 8; ++i) {
    if (i == bestStart) {
      s += "::";
      i += bestLen - 1;
      continue;
    }
    if (!s.empty() && s.back() != ':') s += ':';
    s += LowerCase(IntToHex(groups[i], 1));
  }
  return s;
}

}  // namespace

TCustomSocksWSocket::TCustomSocksWSocket(TComponent* AOwner) : TCustomWSocket(AOwner) {}

void TCustomSocksWSocket::AssignDefaultValue() {
  TCustomWSocket::AssignDefaultValue();
  FSocksState = socksData;
  FSocksServer.clear();
  FSocksServerAssigned = false;
  FSocksPort.clear();
  FSocksPortAssigned = false;
  FSocksLevel = "5";
  FSocksRcvCnt = 0;
  FSocksLeftCnt = 0;
  FSocksLeftPos = 0;
}

void TCustomSocksWSocket::SetSocksServer(const String& Value) {
  if (FState != wsClosed) {
    RaiseException("Can't change socks server if not closed");
    return;
  }
  FSocksServer = Trim(Value);
  FSocksServerAssigned = !FSocksServer.empty();
  // The remote address record follows the server.
  FAddrResolved = false;
}

void TCustomSocksWSocket::SetSocksPort(const String& Value) {
  if (FState != wsClosed) {
    RaiseException("Can't change socks port if not closed");
    return;
  }
  FSocksPort = Trim(Value);
  FSocksPortAssigned = !FSocksPort.empty();
  FPortResolved = false;
}

void TCustomSocksWSocket::SetSocksLevel(const String& Value) {
  if (FState != wsClosed) {
    RaiseException("Can't change socks level if not closed");
    return;
  }
  String v = UpperCase(Value);
  if (v != "4" && v != "4A" && v != "5") {
    RaiseException("Invalid socks level. Must be 4, 4A or 5.");
    return;
  }
  FSocksLevel = v;
}

void TCustomSocksWSocket::Connect() {
  // Without a server, and for every refusal of the base, the base decides.
  if (!FSocksServerAssigned || (FHSocket != INVALID_SOCKET && FState != wsClosed) || !FPortAssigned ||
      !FAddrAssigned || !FProtoAssigned) {
    TCustomWSocket::Connect();
    return;
  }
  if (LowerCase(FProtoStr) != "tcp") {
    RaiseException("tcp is the only protocol supported thru socks server");
    return;
  }
  try {
    if (!FPortResolved) {
      FPortNum = WSocketResolvePort(FSocksPort, "tcp");
      FSin.sin_port = WSocket_htons(static_cast<u_short>(FPortNum));
      FPortResolved = true;
    }
    if (!FAddrResolved) {
      FSin.sin_addr.s_addr = WSocketResolveHost(FSocksServer);
      FAddrResolved = true;
    }
    FSocksTargetPort = WSocketResolvePort(FPortStr, FProtoStr);
  } catch (Exception& e) {
    RaiseException("connect: " + e.Message);
    return;
  }
  FSocksState = socksNegociateMethods;
  FSocksRcvCnt = 0;
  FSocksLeftCnt = 0;
  FSocksLeftPos = 0;
  // A connect that fails at once never reaches the SOCKS server.
  TFinally guard([&] { if (FHSocket == INVALID_SOCKET || FState == wsClosed) FSocksState = socksData; });
  TCustomWSocket::Connect();
}

void TCustomSocksWSocket::Listen() {
  if (FSocksServerAssigned) {
    RaiseException("Listening is not supported thru socks server");
    return;
  }
  TCustomWSocket::Listen();
}

int TCustomSocksWSocket::GetRcvdCount() {
  if (FSocksLeftCnt > 0) return FSocksLeftCnt;
  return TCustomWSocket::GetRcvdCount();
}

int TCustomSocksWSocket::DoRecv(void* Buffer, int BufferSize, int Flags) {
  if (FSocksLeftCnt > 0) {
    if (BufferSize <= 0) return 0;
    int n = std::min(BufferSize, FSocksLeftCnt);
    std::memcpy(Buffer, FSocksRcvBuf + FSocksLeftPos, static_cast<size_t>(n));
    if (!(Flags & MSG_PEEK)) {
      FSocksLeftPos += n;
      FSocksLeftCnt -= n;
    }
    return n;
  }
  return TCustomWSocket::DoRecv(Buffer, BufferSize, Flags);
}

void TCustomSocksWSocket::TriggerSocksConnected(WORD Error) {
  if (OnSocksConnected) OnSocksConnected(this, Error);
}

void TCustomSocksWSocket::TriggerSocksError(int Error, const String& Msg) {
  if (OnSocksError) OnSocksError(this, Error, Msg);
}

void TCustomSocksWSocket::TriggerSocksAuthState(TSocksAuthState AuthState) {
  if (OnSocksAuthState) OnSocksAuthState(this, AuthState);
}

void TCustomSocksWSocket::DataAvailableError(int ErrCode, const String& Msg) {
  TSocket s = FHSocket;
  TriggerSocksError(ErrCode, Msg);
  FSocksState = socksData;
  TriggerSessionConnected(static_cast<WORD>(ErrCode));
  // A handler may have closed the socket (or opened another) meanwhile.
  if (FHSocket == s && FHSocket != INVALID_SOCKET) InternalClose(true, static_cast<WORD>(ErrCode));
}

bool TCustomSocksWSocket::SocksSend(const String& Data) {
  try {
    Send(Data.data(), static_cast<int>(Data.size()));
  } catch (...) {
    // A failed send closes the socket; the close reports it.
  }
  return FHSocket != INVALID_SOCKET;
}

// Refuses what the requests cannot carry, before anything is sent.
bool TCustomSocksWSocket::SocksCheckFieldLengths() {
  const size_t limit = kSocksMaxFieldLen;
  bool level5 = FSocksLevel == "5";
  // SOCKS 4 resolves the host itself; 4A and 5 send its name.
  bool sendsName = FSocksLevel != "4";
  // SOCKS 4 sends the user code as its user id; SOCKS 5 only to authenticate.
  bool sendsUser = !level5 || (FSocksAuthentication == socksAuthenticateUsercode && !FSocksUsercode.empty());
  const char* what = nullptr;
  if (sendsName && FAddrStr.size() > limit)
    what = "host name too long";
  else if (sendsUser && FSocksUsercode.size() > limit)
    what = "usercode too long";
  else if (level5 && sendsUser && FSocksPassword.size() > limit)
    what = "password too long";
  if (!what) return true;
  DataAvailableError(socksRequestTooLong, what);
  return false;
}

void TCustomSocksWSocket::TriggerSessionConnected(WORD Error) {
  if (FSocksState != socksNegociateMethods) {
    TCustomWSocket::TriggerSessionConnected(Error);
    return;
  }
  TSocket s = FHSocket;
  TriggerSocksConnected(Error);
  if (FHSocket != s || FHSocket == INVALID_SOCKET) return;
  if (Error != 0) {
    FSocksState = socksData;
    TCustomWSocket::TriggerSessionConnected(Error);
    return;
  }
  if (!SocksCheckFieldLengths()) return;
  if (FSocksLevel[0] == '4') {
    SocksDoConnect();
    return;
  }
  FSocksAuthOffered = FSocksAuthentication == socksAuthenticateUsercode && !FSocksUsercode.empty();
  FSocksRcvCnt = 0;
  SocksSend(FSocksAuthOffered ? String("\x05\x02\x00\x02", 4) : String("\x05\x01\x00", 3));
}

void TCustomSocksWSocket::SocksDoAuthenticate() {
  FSocksState = socksAuthenticate;
  FSocksRcvCnt = 0;
  TSocket s = FHSocket;
  TriggerSocksAuthState(socksAuthStart);
  if (FHSocket != s || FHSocket == INVALID_SOCKET) return;
  String req;
  req += '\x01';
  req += static_cast<char>(FSocksUsercode.size());
  req += FSocksUsercode;
  req += static_cast<char>(FSocksPassword.size());
  req += FSocksPassword;
  SocksSend(req);
}

void TCustomSocksWSocket::SocksDoConnect() {
  FSocksState = socksConnect;
  FSocksRcvCnt = 0;
  u_short port = WSocket_htons(static_cast<u_short>(FSocksTargetPort));
  String req;
  if (FSocksLevel[0] == '5') {
    req.assign("\x05\x01\x00\x03", 4);
    req += static_cast<char>(FAddrStr.size());
    req += FAddrStr;
    req.append(reinterpret_cast<const char*>(&port), 2);
  } else {
    u_long addr;
    if (FSocksLevel == "4A") {
      addr = WSocket_htonl(1);
    } else {
      try {
        addr = WSocketResolveHost(FAddrStr);
      } catch (Exception& e) {
        DataAvailableError(socksHostResolutionFailed, e.ClassName() + " " + e.Message);
        return;
      }
    }
    req.assign("\x04\x01", 2);
    req.append(reinterpret_cast<const char*>(&port), 2);
    req.append(reinterpret_cast<const char*>(&addr), 4);
    req += FSocksUsercode;
    req += '\0';
    if (FSocksLevel == "4A") {
      req += FAddrStr;
      req += '\0';
    }
  }
  SocksSend(req);
}

// Reads up to Want more bytes behind those in the buffer; false when the
// exchange ended (the failure is reported) or nothing came.
bool TCustomSocksWSocket::SocksReceive(int Want) {
  Want = std::min(Want, kSocksRcvBufSize - FSocksRcvCnt);
  if (Want <= 0) return true;
  int n = TCustomWSocket::DoRecv(FSocksRcvBuf + FSocksRcvCnt, Want, 0);
  if (n > 0) {
    FSocksRcvCnt += n;
    return true;
  }
  if (n < 0) {
    int e = WSocket_WSAGetLastError();
    if (e == WSAEWOULDBLOCK) return false;
    FLastError = e;
    if (FSocksState == socksAuthenticate) TriggerSocksAuthState(socksAuthFailure);
    DataAvailableError(e, "data receive error");
    return false;
  }
  // The server closed the connection before its reply was complete.
  if (FSocksState == socksAuthenticate) TriggerSocksAuthState(socksAuthFailure);
  DataAvailableError(WSAECONNRESET, "data receive error");
  return false;
}

bool TCustomSocksWSocket::TriggerDataAvailable(WORD Error) {
  if (FSocksState == socksData) return TCustomWSocket::TriggerDataAvailable(Error);
  if (Error != 0) {
    if (FSocksState == socksAuthenticate) TriggerSocksAuthState(socksAuthFailure);
    DataAvailableError(Error, "data receive error");
    return true;
  }
  switch (FSocksState) {
    case socksNegociateMethods: return SocksHandleMethodReply();
    case socksAuthenticate: return SocksHandleAuthReply();
    case socksConnect: return FSocksLevel[0] == '4' ? SocksHandleConnect4Reply() : SocksHandleConnect5Reply();
    default:
      DataAvailableError(socksInternalError, "internal error");
      return false;
  }
}

bool TCustomSocksWSocket::SocksHandleMethodReply() {
  if (FSocksLevel[0] == '4') {
    DataAvailableError(socksProtocolError, "TWSocket logic error");
    return true;
  }
  if (!SocksReceive(2 - FSocksRcvCnt) || FSocksRcvCnt < 1) return true;
  if (FSocksRcvBuf[0] != 5) {
    DataAvailableError(socksVersionError, "socks version error");
    return true;
  }
  if (FSocksRcvCnt < 2) return true;
  unsigned char method = FSocksRcvBuf[1];
  FSocksRcvCnt = 0;
  if (method == 0) {
    if (FSocksAuthOffered) {
      TSocket s = FHSocket;
      TriggerSocksAuthState(socksAuthNotRequired);
      if (FHSocket != s || FHSocket == INVALID_SOCKET) return true;
    }
    SocksDoConnect();
  } else if (method == 2 && FSocksAuthOffered) {
    SocksDoAuthenticate();
  } else {
    DataAvailableError(socksAuthMethodError, "authentification method not acceptable");
  }
  return true;
}

bool TCustomSocksWSocket::SocksHandleAuthReply() {
  // The server says nothing more until it has the request: read all there is.
  if (!SocksReceive(kSocksRcvBufSize) || FSocksRcvCnt < 1) return true;
  if (FSocksRcvBuf[0] != 1) {
    DataAvailableError(socksVersionError, "socks version error");
    return true;
  }
  if (FSocksRcvCnt > 2) {
    DataAvailableError(socksProtocolError, "too much data availaible");
    return true;
  }
  if (FSocksRcvCnt < 2) return true;
  if (FSocksRcvBuf[1] != 0) {
    TriggerSocksAuthState(socksAuthFailure);
    if (FHSocket != INVALID_SOCKET) DataAvailableError(socksAuthenticationFailed, "socks authentication failed");
    return true;
  }
  FSocksRcvCnt = 0;
  TSocket s = FHSocket;
  TriggerSocksAuthState(socksAuthSuccess);
  if (FHSocket != s || FHSocket == INVALID_SOCKET) return true;
  SocksDoConnect();
  return true;
}

bool TCustomSocksWSocket::SocksHandleConnect4Reply() {
  if (!SocksReceive(8 - FSocksRcvCnt) || FSocksRcvCnt < 1) return true;
  if (FSocksRcvBuf[0] != 0) {
    DataAvailableError(socksVersionError, "socks version error");
    return true;
  }
  if (FSocksRcvCnt < 8) return true;
  switch (FSocksRcvBuf[1]) {
    case 90: break;
    case 91: DataAvailableError(socksRejectedOrFailed, "request rejected or failed"); return true;
    case 92: DataAvailableError(socksConnectionRefused, "connection refused"); return true;
    case 93: DataAvailableError(socksAuthenticationFailed, "authentification failed"); return true;
    default: DataAvailableError(socksUnassignedError, "unassigned error #" + IntToStr(FSocksRcvBuf[1])); return true;
  }
  FSocksRcvCnt = 0;
  return SocksGranted();
}

bool TCustomSocksWSocket::SocksHandleConnect5Reply() {
  // The reply may be followed by the peer's first data: read all there is.
  if (!SocksReceive(kSocksRcvBufSize) || FSocksRcvCnt < 1) return true;
  if (FSocksRcvBuf[0] != 5) {
    DataAvailableError(socksVersionError, "socks version error");
    return true;
  }
  if (FSocksRcvCnt < 2) return true;
  if (FSocksRcvBuf[1] != 0) {
    int code;
    String text = Socks5ReplyText(FSocksRcvBuf[1], code);
    DataAvailableError(code, text);
    return true;
  }
  if (FSocksRcvCnt < 5) return true;
  int need;
  switch (FSocksRcvBuf[3]) {
    case 1: need = 10; break;
    case 3: need = 7 + FSocksRcvBuf[4]; break;
    case 4: need = 22; break;
    default: DataAvailableError(socksUnknownAddressType, "address type not supported"); return true;
  }
  if (FSocksRcvCnt < need) return true;
  int portAt;
  if (FSocksRcvBuf[3] == 1) {
    FBoundAddr = IntToStr(FSocksRcvBuf[4]) + "." + IntToStr(FSocksRcvBuf[5]) + "." + IntToStr(FSocksRcvBuf[6]) +
                 "." + IntToStr(FSocksRcvBuf[7]);
    portAt = 8;
  } else if (FSocksRcvBuf[3] == 3) {
    FBoundAddr.assign(reinterpret_cast<const char*>(FSocksRcvBuf + 5), FSocksRcvBuf[4]);
    portAt = 5 + FSocksRcvBuf[4];
  } else {
    FBoundAddr = Ip6ToStr(FSocksRcvBuf + 4);
    portAt = 20;
  }
  FBoundPort = IntToStr((FSocksRcvBuf[portAt] << 8) | FSocksRcvBuf[portAt + 1]);
  FSocksLeftPos = need;
  FSocksLeftCnt = FSocksRcvCnt - need;
  FSocksRcvCnt = 0;
  return SocksGranted();
}

// The request was granted: the owner is connected, and data that came with
// the reply (or behind it) goes to the higher layers.
bool TCustomSocksWSocket::SocksGranted() {
  FSocksState = socksData;
  TSocket s = FHSocket;
  TriggerSessionConnected(0);
  if (FHSocket != s || FHSocket == INVALID_SOCKET) return true;
  if (FSocksLeftCnt <= 0) {
    u_long pending = 0;
    if (WSocket_ioctlsocket(FHSocket, FIONREAD, &pending) == SOCKET_ERROR || pending == 0) return true;
  }
  return TriggerDataAvailable(0);
}

void TCustomSocksWSocket::TriggerSessionClosed(WORD Error) {
  if (FSocksState == socksAuthenticate) {
    FSocksState = socksData;
    TriggerSocksAuthState(socksAuthFailure);
  }
  TCustomWSocket::TriggerSessionClosed(Error);
}

// ================================================================ TCustomLineWSocket

TCustomLineWSocket::TCustomLineWSocket(TComponent* AOwner) : TCustomSocksWSocket(AOwner) {}

TCustomLineWSocket::~TCustomLineWSocket() = default;

void TCustomLineWSocket::AssignDefaultValue() {
  TCustomSocksWSocket::AssignDefaultValue();
  // Nothing of a connection that ended reaches the next one.
  FRcvdCnt = 0;
  FLineLength = 0;
}

void TCustomLineWSocket::GrowRcvdBuf(int Size) {
  if (static_cast<int>(FRcvdBuf.size()) < Size) FRcvdBuf.resize(static_cast<size_t>(Size));
}

void TCustomLineWSocket::RemoveRcvd(int Count) {
  Count = std::min(Count, FRcvdCnt);
  if (Count <= 0) return;
  std::memmove(FRcvdBuf.data(), FRcvdBuf.data() + Count, static_cast<size_t>(FRcvdCnt - Count));
  FRcvdCnt -= Count;
}

void TCustomLineWSocket::SetLineEnd(const String& Value) {
  FLineEnd = Value;
  FLineRescan = true;
}

void TCustomLineWSocket::SetLineMode(bool Value) {
  if (Value == FLineMode) return;
  FLineMode = Value;
  FLineRescan = true;
  // What is buffered is delivered from the message loop in the new mode.
  if ((FRcvdCnt > 0 || FLineLength > 0) && FWindowHandle) PostMessageA(FWindowHandle, WM_TRIGGER_DATA_AVAILABLE, 0, 0);
}

int TCustomLineWSocket::GetRcvdCount() {
  if (FLineMode && !FLineEnd.empty()) return FLineLength;
  // Bytes left in the buffer are read before the socket's.
  if (FRcvdCnt > 0) return FRcvdCnt;
  return TCustomSocksWSocket::GetRcvdCount();
}

int TCustomLineWSocket::DoRecv(void* Buffer, int BufferSize, int Flags) {
  bool peek = (Flags & MSG_PEEK) != 0;
  bool lines = FLineMode && !FLineEnd.empty();
  if (lines && FLineLength > 0) {
    int n = std::max(0, std::min(BufferSize, FLineLength));
    std::memcpy(Buffer, FRcvdBuf.data(), static_cast<size_t>(n));
    if (!peek) {
      RemoveRcvd(n);
      FLineLength -= n;
    }
    return n;
  }
  if (!lines && FRcvdCnt > 0) {
    int n = std::max(0, std::min(BufferSize, FRcvdCnt));
    std::memcpy(Buffer, FRcvdBuf.data(), static_cast<size_t>(n));
    if (!peek) {
      RemoveRcvd(n);
      FLineLength = std::max(0, FLineLength - n);
      FLineRescan = true;
    }
    return n;
  }
  return TCustomSocksWSocket::DoRecv(Buffer, BufferSize, Flags);
}

void TCustomLineWSocket::TriggerLineLimitExceeded(int Cnt, bool& ClearData) {
  if (OnLineLimitExceeded) OnLineLimitExceeded(this, Cnt, ClearData);
}

bool TCustomLineWSocket::TriggerDataAvailable(WORD Error) {
  if (!FLineMode || FLineEnd.empty() || FSocksState != socksData)
    return TCustomSocksWSocket::TriggerDataAvailable(Error);

  TSocket s = FHSocket;
  int cnt = TCustomSocksWSocket::GetRcvdCount();
  if (cnt < 0) return true;
  if (cnt == 0) cnt = 255;
  GrowRcvdBuf(FRcvdCnt + cnt + 1);
  int len = TCustomSocksWSocket::DoRecv(FRcvdBuf.data() + FRcvdCnt, cnt, 0);
  if (len < 0)
    FLastError = WSocket_WSAGetLastError();
  else
    FReadCount += len;
  int searchFrom = 0;
  if (len > 0) {
    if (FLineEdit)
      EditLine(len);
    else if (FLineEcho)
      Send(FRcvdBuf.data() + FRcvdCnt, len);
    if (FHSocket != s) return true;
    // A terminator may have been split over two receipts.
    if (!FLineRescan) searchFrom = std::max(0, FRcvdCnt - static_cast<int>(FLineEnd.size()));
    FRcvdCnt += len;
  } else if (FRcvdCnt == 0) {
    return true;
  }
  // Otherwise nothing new came (a re-trigger): the buffered bytes are
  // searched from the start.
  FLineRescan = false;

  while (FLineMode && !FLineEnd.empty()) {
    const String end = FLineEnd;
    const int endLen = static_cast<int>(end.size());
    int found = -1;
    for (int i = searchFrom; i + endLen <= FRcvdCnt; ++i) {
      if (FRcvdBuf[i] == end[0] && std::memcmp(FRcvdBuf.data() + i, end.data(), end.size()) == 0) {
        found = i;
        break;
      }
    }
    if (found < 0) break;
    FLineLength = found + endLen;
    FLineReceivedFlag = true;
    bool stalled = false;
    while (FLineMode && FLineLength > 0) {
      int lineBefore = FLineLength, cntBefore = FRcvdCnt;
      if (!TCustomSocksWSocket::TriggerDataAvailable(0)) {
        // No handler: the line is dropped.
        RemoveRcvd(FLineLength);
        FLineLength = 0;
        break;
      }
      if (FHSocket != s) return true;
      // A handler that took nothing leaves the line for a later reader.
      if (FLineLength == lineBefore && FRcvdCnt == cntBefore) {
        stalled = true;
        FLineRescan = true;
        break;
      }
    }
    if (stalled) break;
    searchFrom = 0;
  }

  if (FLineLimit > 0 && FRcvdCnt > FLineLimit) {
    FLineClearData = true;
    TriggerLineLimitExceeded(FRcvdCnt, FLineClearData);
    if (FHSocket == s && FLineClearData) {
      FRcvdCnt = 0;
      FLineLength = 0;
    }
    FLineClearData = false;
  }
  return true;
}

void TCustomLineWSocket::EditLine(int& Len) {
  const int oldCnt = FRcvdCnt;
  // The edited bytes; made at the first backspace or tab.
  std::vector<char> edit;
  bool editing = false;
  int pos = oldCnt;
  int lowest = oldCnt;
  auto startEdit = [&] {
    if (editing) return;
    editing = true;
    edit.reserve(static_cast<size_t>(((oldCnt + Len + 256) / 256) * 256));
    edit.assign(FRcvdBuf.begin(), FRcvdBuf.begin() + pos);
  };
  auto put = [&](char c) {
    if (static_cast<int>(edit.size()) <= pos) edit.resize(static_cast<size_t>(pos) + 1);
    edit[static_cast<size_t>(pos)] = c;
  };
  for (int i = 0; i < Len; ++i) {
    char c = FRcvdBuf[static_cast<size_t>(oldCnt + i)];
    if (c == '\b') {
      startEdit();
      if (FLineEcho && pos >= 1) SendStr("\b \b");
      if (pos > 0) --pos;
      lowest = std::min(lowest, pos);
    } else if (c == '\t') {
      startEdit();
      do {
        put(' ');
        if (FLineEcho) SendStr(" ");
        ++pos;
      } while (pos % 8 != 0);
    } else {
      if (FLineEcho) Send(&c, 1);
      if (editing)
        put(c);
      else
        FRcvdBuf[static_cast<size_t>(pos)] = c;
      ++pos;
    }
  }
  if (!editing) return;
  GrowRcvdBuf(pos + 1);
  std::memcpy(FRcvdBuf.data(), edit.data(), static_cast<size_t>(pos));
  FRcvdCnt = lowest;
  Len = pos - lowest;
}

void TCustomLineWSocket::DeliverLastLine() {
  FLineReceivedFlag = true;
  if (FRcvdCnt > 0 && !FLineClearData) {
    if (FLineMode && !FLineEnd.empty()) FLineLength = FRcvdCnt;
    while (FRcvdCnt > 0) {
      int before = FRcvdCnt;
      if (!TCustomSocksWSocket::TriggerDataAvailable(0)) break;
      if (FRcvdCnt == before) break;
    }
  }
  FRcvdBuf.clear();
  FRcvdBuf.shrink_to_fit();
  FRcvdCnt = 0;
  FLineLength = 0;
}

void TCustomLineWSocket::TriggerSessionClosed(WORD Error) {
  DeliverLastLine();
  TCustomSocksWSocket::TriggerSessionClosed(Error);
}

void TCustomLineWSocket::WMTriggerDataAvailable() {
  TSocket s = FHSocket;
  if (s == INVALID_SOCKET) return;
  while (FRcvdCnt > 0) {
    int before = FRcvdCnt, lineBefore = FLineLength;
    // Without a handler the bytes stay for a later reader (ReadLine).
    TriggerDataAvailable(0);
    if (FHSocket != s) return;
    if (FRcvdCnt == before && FLineLength == lineBefore) break;
  }
  // Data that waited in the socket behind the buffered bytes: only a read
  // makes WinSock report more, so it is announced once again.
  u_long pending = 0;
  if (FRcvdCnt == 0 && WSocket_ioctlsocket(s, FIONREAD, &pending) == 0 && pending > 0)
    PostMessageA(FWindowHandle, WM_ASYNCSELECT, static_cast<WPARAM>(s), MAKELPARAM(FD_READ, 0));
}

void TCustomLineWSocket::WndProc(TMessage& MsgRec) {
  if (MsgRec.Msg == WM_TRIGGER_DATA_AVAILABLE && !IsDestroying()) {
    try {
      WMTriggerDataAvailable();
    } catch (...) {
      HandleCurrentException();
    }
    return;
  }
  TCustomSocksWSocket::WndProc(MsgRec);
}

// ================================================================ TCustomSyncWSocket

TCustomSyncWSocket::TCustomSyncWSocket(TComponent* AOwner) : TCustomLineWSocket(AOwner) {}

TCustomSyncWSocket::~TCustomSyncWSocket() { *FAlive = false; }

int TCustomSyncWSocket::Synchronize(const TWSocketSyncProc& Proc, bool& DoneFlag) {
  std::shared_ptr<bool> alive = FAlive;
  DoneFlag = false;
  if (Proc) {
    Proc();
    if (!*alive) return kWSocketWaitTimeout;
  }
  return WaitUntilReady(DoneFlag);
}

int TCustomSyncWSocket::WaitUntilReady(bool& DoneFlag) {
  // The component (and DoneFlag with it) may be freed by any handler that
  // runs while messages are processed: nothing of it is touched after that.
  std::shared_ptr<bool> alive = FAlive;
  const int64_t timeout = FTimeout;
  FTimeStop = GetTickCount64() + static_cast<uint64_t>(std::max<int64_t>(timeout, 0));
  const uint64_t deadline = timeout > 0 ? FTimeStop : kPumpForever;
  if (DoneFlag) return 0;
  TPumpResult r = PumpUntil([&] { return DoneFlag || FTerminated || QuitReceived(); }, deadline, alive);
  if (r == prCallerGone) return kWSocketWaitTimeout;
  if (r == prQuit) FTerminated = true;
  if (!DoneFlag) return kWSocketWaitTimeout;
  if (r == prDone) {
    // As the application's pump does, what is queued is handled before the
    // wait returns.
    r = PumpUntil(nullptr, kPumpQueued, alive);
    if (r == prCallerGone) return kWSocketWaitTimeout;
    if (r == prQuit) FTerminated = true;
  }
  return 0;
}

void TCustomSyncWSocket::ReadLineDataAvailable(TObject*, WORD) {
  // One line per ReadLine; later lines stay for the next reader.
  if (FReadLineTaken || !FReadLineBuffer) return;
  String line;
  int n = FLineLength;
  if (n > 0) {
    line.resize(static_cast<size_t>(n));
    int r = Receive(line.data(), n);
    line.resize(static_cast<size_t>(std::max(r, 0)));
  }
  *FReadLineBuffer = line;
  FReadLineTaken = true;
}

void TCustomSyncWSocket::ReadLine(int Timeout, String& Buffer) {
  Buffer.clear();
  if (FState != wsConnected) {
    RaiseException("ReadLine failed: not connected");
    return;
  }
  if (Timeout == 0)
    FTimeout = 60000;
  else if (Timeout > 0)
    FTimeout = static_cast<int64_t>(Timeout) * 1000;
  else
    FTimeout = -static_cast<int64_t>(Timeout);

  std::shared_ptr<bool> alive = FAlive;
  TDataAvailable savedHandler = OnDataAvailable;
  bool savedLineMode = FLineMode;
  String* savedBuffer = FReadLineBuffer;
  bool savedTaken = FReadLineTaken;
  auto restore = [&] {
    OnDataAvailable = savedHandler;
    FReadLineBuffer = savedBuffer;
    FReadLineTaken = savedTaken;
    SetLineMode(savedLineMode);
    // Lines that came behind the one taken go to the owner's handler.
    if (FRcvdCnt > 0 && FWindowHandle) PostMessageA(FWindowHandle, WM_TRIGGER_DATA_AVAILABLE, 0, 0);
  };

  FReadLineBuffer = &Buffer;
  FReadLineTaken = false;
  FLineReceivedFlag = false;
  OnDataAvailable = {this, &TCustomSyncWSocket::ReadLineDataAvailable};
  SetLineMode(true);
  if (savedLineMode && FRcvdCnt > 0 && FWindowHandle) PostMessageA(FWindowHandle, WM_TRIGGER_DATA_AVAILABLE, 0, 0);

  int r;
  try {
    r = Synchronize(nullptr, FLineReceivedFlag);
  } catch (...) {
    if (*alive) restore();
    throw;
  }
  if (!*alive) return;
  if (r == kWSocketWaitTimeout && !FReadLineTaken && FRcvdCnt > 0) {
    // The incomplete line.
    Buffer.assign(FRcvdBuf.data(), static_cast<size_t>(FRcvdCnt));
    FRcvdCnt = 0;
    FLineLength = 0;
  }
  restore();
}
