#include "Httpprot.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsSchemeChar(char c) { return IsAsciiLetter(c) || IsDigit(c) || c == '+' || c == '-' || c == '.'; }

bool StartsWithNoCase(const String& s, const char* prefix) {
  const size_t n = std::char_traits<char>::length(prefix);
  return s.size() >= n && SameText(s.substr(0, n), prefix);
}

// The folder of a base path: up to and including its last "/" (the query
// left out), or "/" when it has none.
String BaseDir(const String& base) {
  const String path = base.substr(0, base.find('?'));
  const size_t slash = path.rfind('/');
  return slash == String::npos ? String("/") : path.substr(0, slash + 1);
}

// The parent of a folder that ends in "/"; the root stays the root.
String ParentDir(const String& dir) {
  const size_t last = dir.rfind('/');
  const String cut = last == String::npos ? String() : dir.substr(0, last);
  const size_t slash = cut.rfind('/');
  return slash == String::npos ? String("/") : cut.substr(0, slash + 1);
}

char UUChar(unsigned v) { return v == 0 ? '`' : static_cast<char>(v + 32); }

}  // namespace

// ---------------------------------------------------------------- URLs

void ParseURL(const String& URL, String& Proto, String& User, String& Pass, String& Host, String& Port,
              String& Path) {
  // Copies first: an output may be the same string as the input.
  const String url = URL;
  const String base = Path;
  Proto.clear();
  User.clear();
  Pass.clear();
  Host.clear();
  Port.clear();
  Path.clear();
  if (url.empty()) return;

  if (url.compare(0, 2, "./") == 0) {
    Path = BaseDir(base) + url.substr(2);
    return;
  }
  if (url.compare(0, 3, "../") == 0) {
    String dir = BaseDir(base);
    String rest = url.substr(3);
    for (;;) {
      dir = ParentDir(dir);
      if (rest.compare(0, 3, "../") != 0) break;
      rest.erase(0, 3);
    }
    Path = dir + rest;
    return;
  }

  size_t start = 0;
  bool scheme = false;
  const size_t sep = url.find("://");
  if (sep != String::npos && std::all_of(url.begin(), url.begin() + sep, IsSchemeChar)) {
    Proto = LowerCase(url.substr(0, sep));
    start = sep + 3;
    scheme = true;
  }
  if (!scheme) {
    // A "://" further on (in a query, say) does not make a scheme; such a
    // URL is read like any other one without a scheme.
    if (url[0] == '/') {
      Proto = "http";
      if (url.size() < 2 || url[1] != '/') {
        Path = url;
        return;
      }
      start = 2;  // "//host/path"
    } else if (StartsWithNoCase(url, "http:")) {
      Proto = "http";
      if (url.size() > 6 && url[6] != '/') {
        Path = url.substr(5);
        return;
      }
      start = 5;
    } else if (StartsWithNoCase(url, "mailto:")) {
      Proto = "mailto";
      start = 7;
    }
  }

  const String rest = url.substr(start);
  const size_t pathStart = rest.find_first_of("/?");
  const String authority = rest.substr(0, pathStart);
  if (pathStart != String::npos) Path = rest.substr(pathStart);

  const size_t colon = authority.rfind(':');
  const size_t at = authority.rfind('@');
  String credentials;
  bool hasCredentials = false;
  if (colon == String::npos && at == String::npos) {
    Host = authority;
  } else if (at != String::npos && (colon == String::npos || at > colon)) {
    Host = authority.substr(at + 1);
    credentials = authority.substr(0, at);
    hasCredentials = true;
  } else {
    Port = authority.substr(colon + 1);
    const size_t hostStart = at == String::npos ? 0 : at + 1;
    Host = authority.substr(hostStart, colon - hostStart);
    if (at != String::npos) {
      credentials = authority.substr(0, at);
      hasCredentials = true;
    }
  }
  if (hasCredentials) {
    const size_t c = credentials.find(':');
    if (c == String::npos) {
      User = credentials;
    } else {
      User = credentials.substr(0, c);
      Pass = credentials.substr(c + 1);
    }
  }
}

int Posn(const String& S, const String& Str, int Count) {
  if (Count == 0) return 0;
  const int notFound = Count > 0 ? static_cast<int>(Str.size()) + 1 : 0;
  if (S.empty() || S.size() > Str.size()) return notFound;
  if (Count > 0) {
    size_t from = 0;
    for (;;) {
      const size_t p = Str.find(S, from);
      if (p == String::npos) return notFound;
      if (--Count == 0) return static_cast<int>(p) + 1;
      from = p + 1;
    }
  }
  size_t from = Str.size() - S.size();
  for (;;) {
    const size_t p = Str.rfind(S, from);
    if (p == String::npos) return 0;
    if (++Count == 0) return static_cast<int>(p) + 1;
    if (p == 0) return 0;
    from = p - 1;
  }
}

// ---------------------------------------------------------------- encoders

String EncodeLine(THttpEncoding Encoding, const void* SrcData, int64_t Size) {
  if (!SrcData || Size < 0) Size = 0;
  const auto* src = static_cast<const unsigned char*>(SrcData);
  auto byteAt = [&](int64_t i) -> unsigned { return i < Size ? src[i] : 0u; };
  String out;

  if (Encoding == encUUEncode) {
    out.reserve(static_cast<size_t>(1 + (Size + 2) / 3 * 4));
    out += static_cast<char>(((Size - 1) & 63) + 33);
    for (int64_t i = 0; i < Size; i += 3) {
      const unsigned v = (byteAt(i) << 16) | (byteAt(i + 1) << 8) | byteAt(i + 2);
      out += UUChar((v >> 18) & 63);
      out += UUChar((v >> 12) & 63);
      out += UUChar((v >> 6) & 63);
      out += UUChar(v & 63);
    }
    return out;
  }

  out.reserve(static_cast<size_t>((Size + 2) / 3 * 4));
  for (int64_t i = 0; i < Size; i += 3) {
    const int64_t left = Size - i;
    const unsigned v = (byteAt(i) << 16) | (byteAt(i + 1) << 8) | byteAt(i + 2);
    out += kBase64[(v >> 18) & 63];
    out += kBase64[(v >> 12) & 63];
    if (left > 1) out += kBase64[(v >> 6) & 63];
    if (left > 2) out += kBase64[v & 63];
  }
  while (out.size() % 4 != 0) out += '=';
  return out;
}

String EncodeStr(THttpEncoding Encoding, const String& Value) {
  return EncodeLine(Encoding, Value.data(), static_cast<int64_t>(Value.size()));
}

String UrlEncode(const String& S) {
  static const char hex[] = "0123456789ABCDEF";
  String out;
  out.reserve(S.size());
  for (char c : S) {
    if (IsAsciiLetter(c) || IsDigit(c)) {
      out += c;
    } else {
      const auto b = static_cast<unsigned char>(c);
      out += '%';
      out += hex[b >> 4];
      out += hex[b & 15];
    }
  }
  return out;
}

String UrlDecode(const String& S) {
  String out;
  out.reserve(S.size());
  const size_t n = S.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = S[i];
    if (c == '&') break;
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < n && IsXDigit(S[i + 1]) && IsXDigit(S[i + 2])) {
      out += static_cast<char>(htoi2(std::string_view(S).substr(i + 1, 2)));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// ---------------------------------------------------------------- hex helpers

bool IsDigit(char Ch) { return Ch >= '0' && Ch <= '9'; }

bool IsXDigit(char Ch) { return IsDigit(Ch) || (Ch >= 'a' && Ch <= 'f') || (Ch >= 'A' && Ch <= 'F'); }

int XDigit(char Ch) { return IsDigit(Ch) ? Ch - '0' : (Ch & 15) + 9; }

int htoin(std::string_view Value, int Len) {
  const size_t n = Len <= 0 ? 0 : std::min(Value.size(), static_cast<size_t>(Len));
  size_t i = 0;
  while (i < n && Value[i] == ' ') ++i;
  unsigned result = 0;
  for (; i < n && IsXDigit(Value[i]); ++i) result = result * 16 + static_cast<unsigned>(XDigit(Value[i]));
  return static_cast<int>(result);
}

int htoi2(std::string_view Value) { return htoin(Value, 2); }

// ================================================================ HTTP client

namespace {

constexpr UINT WM_HTTP_REQUEST_DONE = WM_USER + 1;
constexpr UINT WM_HTTP_SET_READY = WM_USER + 2;
constexpr UINT WM_HTTP_LOGIN = WM_USER + 3;

bool IsDefaultPort(const String& Port) { return Port.empty() || Port == "80"; }

String HostWithPort(const String& Host, const String& Port) {
  return IsDefaultPort(Port) ? Host : Host + ":" + Port;
}

// The folder of a request path: before its query, up to its last "/" or ":".
String PathDir(const String& Path) {
  const String p = Path.substr(0, Path.find('?'));
  const size_t cut = p.find_last_of("/:");
  return cut == String::npos ? String() : p.substr(0, cut + 1);
}

// "scheme://..." with only scheme characters before "://".
bool HasScheme(const String& Url) {
  const size_t sep = Url.find("://");
  return sep != String::npos && sep > 0 && std::all_of(Url.begin(), Url.begin() + sep, IsSchemeChar);
}

String CurrentExceptionMessage() {
  try {
    throw;
  } catch (Exception& e) {
    return e.Message;
  } catch (std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown exception";
  }
}

String ErrorText(int Error) { return WSocketErrorDesc(Error) + " (Error #" + IntToStr(Error) + ")"; }

bool IsDeviceName(String Base) {
  while (!Base.empty() && Base.back() == ' ') Base.pop_back();
  Base = UpperCase(Base);
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* n : kNames)
    if (Base == n) return true;
  // COM0-9 and LPT0-9, also with the superscript digits 1, 2 and 3.
  if (Base.size() == 4 && (Base.compare(0, 3, "COM") == 0 || Base.compare(0, 3, "LPT") == 0))
    return std::strchr("0123456789\xB9\xB2\xB3", Base[3]) != nullptr && Base[3] != '\0';
  return false;
}

void TrimNameEnds(String& Name) {
  while (!Name.empty() && (Name.back() == '.' || Name.back() == ' ')) Name.pop_back();
  const size_t first = Name.find_first_not_of(' ');
  Name.erase(0, first == String::npos ? Name.size() : first);
}

}  // namespace

String RFC1123_Date(TDateTime D) {
  static const char kDays[] = "MonTueWedThuFriSatSun";
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  const int64_t whole = static_cast<int64_t>(std::trunc(D));
  const int day = static_cast<int>(((whole - 2) % 7 + 7) % 7);
  int year, month, mday, hour, min, sec, msec;
  DecodeDate(D, year, month, mday);
  DecodeTime(D, hour, min, sec, msec);
  return String(kDays + day * 3, 3) + ", " +
         Format("%2.2d %s %4.4d %2.2d:%2.2d:%2.2d", mday, String(kMonths + (month - 1) * 3, 3), year, hour, min, sec);
}

void ReplaceExt(String& FName, const String& NewExt) {
  const size_t dot = FName.rfind('.');
  if (dot == String::npos)
    FName += "." + NewExt;
  else
    FName = FName.substr(0, dot + 1) + NewExt;
}

String HttpDocName(const String& Path) {
  String name = Path.substr(0, Path.find('?'));
  if (name.empty() || name.back() == '/') return "document.htm";
  name.erase(0, name.rfind('/') + 1);
  // Only a plain name in the caller's folder: no folders, drives, streams,
  // devices or characters that file names cannot hold.
  const size_t bs = name.rfind('\\');
  if (bs != String::npos) name.erase(0, bs + 1);
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"/\\|?*", c)) c = '_';
  TrimNameEnds(name);
  if (name.size() > 255) {
    name.resize(255);
    TrimNameEnds(name);
  }
  if (name.empty()) return "document.htm";
  if (IsDeviceName(name.substr(0, name.find('.')))) {
    name = "_" + name;
    if (name.size() > 255) name.resize(255);
  }
  return name;
}

// ---------------------------------------------------------------- construction

THttpCli::THttpCli(TComponent* AOwner) : TComponent(AOwner) {
  FResponseHeader = new TStringList;
  FAuthChallenges = new TStringList;
  FReqStream = new TMemoryStream;
  HTTPCliAllocateHWnd();
  FCtrlSocket = new TWSocket(this);
  FCtrlSocket->OnSessionClosed = {this, &THttpCli::SocketSessionClosed};
  FCtrlSocket->OnDataAvailable = {this, &THttpCli::SocketDataAvailable};
  FCtrlSocket->OnSessionConnected = {this, &THttpCli::SocketSessionConnected};
  FCtrlSocket->OnDataSent = {this, &THttpCli::SocketDataSent};
  FCtrlSocket->OnDnsLookupDone = {this, &THttpCli::SocketDnsLookupDone};
  FCtrlSocket->OnSocksError = {this, &THttpCli::SocketSocksError};
  FCtrlSocket->OnSocksConnected = {this, &THttpCli::SocketSocksConnected};
  FCtrlSocket->OnSocksAuthState = {this, &THttpCli::SocketSocksAuthState};
  FCtrlSocket->OnError = {this, &THttpCli::SocketError};
}

THttpCli::~THttpCli() {
  *FAlive = false;
  FreeAndNil(FCtrlSocket);
  FreeAndNil(FResponseHeader);
  FreeAndNil(FAuthChallenges);
  FreeAndNil(FReqStream);
  HTTPCliDeallocateHWnd();
}

void THttpCli::HTTPCliAllocateHWnd() { FWindowHandle = AllocateHWnd(this); }

void THttpCli::HTTPCliDeallocateHWnd() {
  if (!FWindowHandle) return;
  HWND wnd = FWindowHandle;
  FWindowHandle = nullptr;
  DeallocateHWnd(wnd);
}

// What a handler raises here leaves for the window class's catch, which
// hands it to the application once the message has returned.
void THttpCli::WndProc(TMessage& Msg) {
  switch (Msg.Msg) {
    case WM_HTTP_REQUEST_DONE:
      if (OnRequestDone && !IsDestroying())
        OnRequestDone(this, static_cast<THttpRequest>(Msg.WParam), static_cast<WORD>(Msg.LParam));
      break;
    case WM_HTTP_SET_READY:
      if (static_cast<uint32_t>(Msg.WParam) == FSerial && FState != httpReady) SetState(httpReady);
      break;
    case WM_HTTP_LOGIN:
      if (IsActive(static_cast<uint32_t>(Msg.WParam))) Login();
      break;
    default:
      Msg.Result = FWindowHandle ? DefWindowProcA(FWindowHandle, Msg.Msg, Msg.WParam, Msg.LParam) : 0;
  }
}

// ---------------------------------------------------------------- properties

void THttpCli::SetMultiThreaded(bool Value) {
  FMultiThreaded = Value;
  FCtrlSocket->SetMultiThreaded(Value);
}

void THttpCli::SetSocksLevel(const String& Value) {
  const String v = UpperCase(Value);
  if (v != "4" && v != "4A" && v != "5") throw ESocketException("Invalid socks level. Must be 4, 4A or 5.");
  FSocksLevel = v;
}

// ---------------------------------------------------------------- triggers

void THttpCli::TriggerCookie(const String& Data, bool& Accept) {
  if (OnCookie) OnCookie(this, Data, Accept);
}
void THttpCli::TriggerSessionConnected() {
  if (OnSessionConnected) OnSessionConnected(this);
}
void THttpCli::TriggerRequestHeaderBegin() {
  if (OnRequestHeaderBegin) OnRequestHeaderBegin(this);
}
void THttpCli::TriggerRequestHeaderEnd() {
  if (OnRequestHeaderEnd) OnRequestHeaderEnd(this);
}
void THttpCli::TriggerHeaderBegin() {
  if (OnHeaderBegin) OnHeaderBegin(this);
}
void THttpCli::TriggerHeaderEnd() {
  if (OnHeaderEnd) OnHeaderEnd(this);
}
void THttpCli::TriggerDocBegin() {
  if (OnDocBegin) OnDocBegin(this);
}
void THttpCli::TriggerDocData(const void* Data, int Len) {
  if (OnDocData) OnDocData(this, Data, Len);
}
void THttpCli::TriggerDocEnd() {
  if (OnDocEnd) OnDocEnd(this);
}
void THttpCli::TriggerSendBegin() {
  if (OnSendBegin) OnSendBegin(this);
}
void THttpCli::TriggerSendData(const void* Data, int Len) {
  if (OnSendData) OnSendData(this, Data, Len);
}
void THttpCli::TriggerSendEnd() {
  if (OnSendEnd) OnSendEnd(this);
}

void THttpCli::SetState(THttpState NewState) {
  if (NewState == FState) return;
  FState = NewState;
  // The request-done values travel with the message: a new request may
  // start before it is handled.
  if (NewState == httpReady && FWindowHandle)
    PostMessageA(FWindowHandle, WM_HTTP_REQUEST_DONE, static_cast<WPARAM>(FRequestType),
                 static_cast<LPARAM>(FRequestDoneError));
  if (OnStateChange && !IsDestroying()) OnStateChange(this);
}

bool THttpCli::IsActive(uint32_t Serial) const {
  return Serial == FSerial && FState != httpReady && FState != httpAborting && !FReadyPosted &&
         FRequestDoneError == 0;
}

// ---------------------------------------------------------------- requests

void THttpCli::GetASync() { DoRequestAsync(httpGET); }
void THttpCli::HeadASync() { DoRequestAsync(httpHEAD); }
void THttpCli::PostASync() { DoRequestAsync(httpPOST); }
void THttpCli::Get() { DoRequestSync(httpGET); }
void THttpCli::Head() { DoRequestSync(httpHEAD); }
void THttpCli::Post() { DoRequestSync(httpPOST); }

void THttpCli::InternalClear() {
  FResponseHeader->Clear();
  FAuthChallenges->Clear();
  FRequestDoneError = 0;
  FResponseCode = 0;
  FResponseText.clear();
  FHeaderLineCount = 0;
  FBodyLineCount = 0;
  FReceivedBytes = 0;
  FSentBytes = 0;
  FLocationChange = false;
  FLocationValue.clear();
  FHeaderInProgress = false;
  FAllowedToSend = false;
  FConnected = false;
  FDocumentLength = -1;
  FDocumentType.clear();
  FDocName.clear();
  FCurrentLocation = FURL;
  FReceiveLen = 0;
  FLastReceived = {};
  FRelocations = 0;
  FReadyPosted = false;
  FRelocating = false;
  FCloseWanted = false;
  FRecvError = 0;
  FSocksErrorText.clear();
}

void THttpCli::DoRequestAsync(THttpRequest Rq) {
  if (FState != httpReady) throw EHttpException("HTTP component is busy", httperrBusy);
  if (Rq == httpPOST && !FPostStream) throw EHttpException("HTTP component has nothing to post", httperrNothingToPost);

  // A connection left open by the last request goes first (quietly: the
  // component is ready, so its close is nobody's business).
  if (FCtrlSocket->State() != wsClosed) FCtrlSocket->Abort();
  ++FSerial;
  FRequestType = Rq;
  InternalClear();
  FLastActivity = GetTickCount64();

  String proto, user, pass, host, port, path;
  ParseURL(FURL, proto, user, pass, host, port, path);
  if (!user.empty()) FUsername = user;
  if (!pass.empty()) FPassword = pass;
  FTargetScheme = proto.empty() ? String("http") : proto;
  FTargetHost = host;
  FTargetPort = port;
  FPath = path.empty() ? String("/") : path;
  FDocName = FPath;
  AdjustDocName();

  if (FProxy.empty() && FTargetScheme != "http") {
    // Only a proxy may speak other protocols; the request ends at once.
    FRequestDoneError = httperrBadURL;
    FResponseCode = 404;
    FResponseText = "Unsupported protocol: " + FTargetScheme;
    if (FWindowHandle)
      PostMessageA(FWindowHandle, WM_HTTP_REQUEST_DONE, static_cast<WPARAM>(Rq), static_cast<LPARAM>(httperrBadURL));
    return;
  }
  PrepareConnection();
  Login();
}

void THttpCli::AdjustDocName() { FDocName = HttpDocName(FDocName); }

void THttpCli::PrepareConnection() {
  if (FProxy.empty()) {
    FHostName = FTargetHost;
    FPort = FTargetPort.empty() ? String("80") : FTargetPort;
    FRequestPath = FPath;
    return;
  }
  FRequestPath = FTargetScheme + "://" + FTargetHost + (FTargetPort.empty() ? String() : ":" + FTargetPort) + FPath;
  String proto, user, pass, host, port, path;
  ParseURL(FProxy, proto, user, pass, host, port, path);
  FHostName = host;
  FPort = port.empty() ? FProxyPort : port;
}

void THttpCli::DoRequestSync(THttpRequest Rq) {
  DoRequestAsync(Rq);
  std::shared_ptr<bool> alive = FAlive;
  while (FState != httpReady) {
    uint64_t deadline = kPumpForever;
    if (FTimeout > 0) {
      const uint64_t limit = static_cast<uint64_t>(FTimeout) * 1000;
      if (GetTickCount64() - FLastActivity >= limit) {
        EndRequest(httperrTimeout, "Request timed out");
        break;
      }
      deadline = FLastActivity + limit;
    }
    TPumpResult r = PumpUntil([&] { return FState == httpReady || QuitReceived(); }, deadline, alive);
    if (r == prCallerGone) throw EHttpException("Connection aborted on request", 404);
    if (FState == httpReady) {
      // As the application's pump does, what is queued is handled before
      // the call returns; a handler may start another request meanwhile.
      if (PumpUntil(nullptr, kPumpQueued, alive) == prCallerGone)
        throw EHttpException("Connection aborted on request", 404);
      continue;
    }
    if (r == prQuit || QuitReceived()) {
      Abort();
      break;
    }
    // The deadline passed: idle for the whole time-out, or active meanwhile.
  }
  if (FRequestDoneError != 0 || FResponseCode >= 400)
    throw EHttpException(FResponseText, static_cast<WORD>(FResponseCode));
}

void THttpCli::Login() {
  const uint32_t serial = FSerial;
  FLastActivity = GetTickCount64();
  SetState(httpDnsLookup);
  try {
    FCtrlSocket->SetLocalAddr(FLocalAddr);
    FCtrlSocket->DnsLookup(FHostName);
  } catch (...) {
    const String msg = CurrentExceptionMessage();
    if (serial != FSerial || FState == httpReady) return;
    FRequestDoneError = httperrLocalFailure;
    FResponseCode = 404;
    FResponseText = msg;
    FConnected = false;
    SetState(httpReady);
  }
}

void THttpCli::Logout() {
  FConnected = false;
  if (FCtrlSocket->State() != wsClosed) FCtrlSocket->Close();
}

void THttpCli::Abort() {
  if (FState == httpReady) {
    if (FCtrlSocket->State() != wsClosed) FCtrlSocket->Close();
    return;
  }
  EndRequest(httperrAborted, "Connection aborted on request");
}

void THttpCli::EndRequest(WORD Error, const String& Text) {
  if (FState == httpReady || FState == httpAborting) return;
  const bool lookup = FState == httpDnsLookup;
  SetState(httpAborting);
  FRelocating = false;
  FLocationChange = false;
  try {
    FCtrlSocket->CancelDnsLookup();
  } catch (...) {
  }
  FResponseCode = 404;
  FResponseText = Text;
  FRequestDoneError = Error;
  if (!lookup && FCtrlSocket->State() != wsClosed) {
    try {
      FCtrlSocket->Close();  // runs the close handling
    } catch (...) {
    }
  }
  SessionClosedHandling(0);  // nothing more when the close ran it
  SetState(httpReady);
}

void THttpCli::SetFailure(WORD Error, const String& Text) {
  if (FRequestDoneError != 0) return;
  FRequestDoneError = Error;
  FResponseCode = 404;
  FResponseText = Text;
}

void THttpCli::Fail(WORD Error, const String& Text) {
  SetFailure(Error, Text);
  if (FCtrlSocket->State() != wsClosed) {
    FCloseWanted = true;
    try {
      FCtrlSocket->Close();
    } catch (...) {
    }
  }
  SessionClosedHandling(0);
}

void THttpCli::FailWithCurrentException() { Fail(httperrLocalFailure, CurrentExceptionMessage()); }

void THttpCli::MakeReady() {
  if (FReadyPosted) return;
  FReadyPosted = true;
  FAllowedToSend = false;
  // Nothing more is read for this request.
  if (FCtrlSocket->State() != wsClosed) {
    try {
      FCtrlSocket->Close();
    } catch (...) {
    }
  }
  if (FWindowHandle) PostMessageA(FWindowHandle, WM_HTTP_SET_READY, static_cast<WPARAM>(FSerial), 0);
}

// ---------------------------------------------------------------- socket events

void THttpCli::SocketError(TObject*) {
  if (OnSocketError) OnSocketError(this);
}

void THttpCli::SocketSocksError(TObject*, int Error, String Msg) {
  FSocksErrorText = Msg;
  if (OnSocksError) OnSocksError(this, Error, Msg);
}

void THttpCli::SocketSocksConnected(TObject*, WORD Error) {
  if (OnSocksConnected) OnSocksConnected(this, Error);
}

void THttpCli::SocketSocksAuthState(TObject*, TSocksAuthState AuthState) {
  if (OnSocksAuthState) OnSocksAuthState(this, AuthState);
}

void THttpCli::SocketDnsLookupDone(TObject*, WORD Error) {
  if (FState != httpDnsLookup) return;  // aborted meanwhile
  const uint32_t serial = FSerial;
  FLastActivity = GetTickCount64();
  if (Error != 0) {
    SetFailure(Error, "can't resolve hostname to IP address");
    SessionClosedHandling(Error);
    return;
  }
  SetState(httpDnsLookupDone);
  if (!IsActive(serial)) return;
  try {
    FDnsResult = FCtrlSocket->DnsResult();
    FCtrlSocket->SetAddr(FDnsResult);
    FCtrlSocket->SetLocalAddr(FLocalAddr);
    FCtrlSocket->SetPort(FPort);
    FCtrlSocket->SetProto("tcp");
    // The socket forgets its SOCKS server at every close.
    if (!FSocksServer.empty()) {
      FCtrlSocket->SetSocksServer(FSocksServer);
      FCtrlSocket->SetSocksPort(FSocksPort);
      FCtrlSocket->SetSocksLevel(FSocksLevel);
    }
    FCtrlSocket->SetSocksUsercode(FSocksUsercode);
    FCtrlSocket->SetSocksPassword(FSocksPassword);
    FCtrlSocket->SetSocksAuthentication(FSocksAuthentication);
    FSocksErrorText.clear();
    FCtrlSocket->Connect();
  } catch (...) {
    // Handled below like a refusal.
  }
  if (!IsActive(serial) || FState != httpDnsLookupDone) return;
  const TSocketState st = FCtrlSocket->State();
  if (st == wsConnecting || st == wsConnected) return;
  // Refused at once (reported to OnSocketError by the socket).
  int e = FCtrlSocket->LastError();
  if (e == 0) e = WSAEINVAL;
  Fail(static_cast<WORD>(e), "can't connect: " + ErrorText(e));
}

void THttpCli::SocketSessionConnected(TObject*, WORD Error) {
  if (FState != httpDnsLookupDone) return;
  const uint32_t serial = FSerial;
  FLastActivity = GetTickCount64();
  if (Error != 0) {
    const String desc = FSocksErrorText.empty() ? WSocketErrorDesc(Error) : FSocksErrorText;
    SetFailure(Error, desc + " (Error #" + IntToStr(Error) + ")");
    SessionClosedHandling(Error);
    return;
  }
  try {
    FConnected = true;
    SetState(httpConnected);
    TriggerSessionConnected();
    if (!IsActive(serial)) return;
    SetState(httpWaitingHeader);
    static const char* const kMethods[] = {"GET", "GET", "POST", "HEAD"};
    SendRequest(kMethods[FRequestType], "1.0");
    if (!IsActive(serial)) return;
    if (FRequestType == httpPOST) {
      TriggerSendBegin();
      if (!IsActive(serial)) return;
      FAllowedToSend = true;
      SendNextPiece();
    }
  } catch (...) {
    if (IsActive(serial)) FailWithCurrentException();
  }
}

void THttpCli::SocketDataSent(TObject*, WORD) {
  if (!FAllowedToSend || !IsActive(FSerial)) return;
  FLastActivity = GetTickCount64();
  try {
    SendNextPiece();
  } catch (...) {
    FailWithCurrentException();
  }
}

void THttpCli::SocketDataAvailable(TObject*, WORD Error) {
  const uint32_t serial = FSerial;
  if (!IsActive(serial)) {
    char junk[1024];
    FCtrlSocket->Receive(junk, sizeof junk);
    return;
  }
  try {
    ProcessReceived(Error);
  } catch (...) {
    if (IsActive(serial)) FailWithCurrentException();
  }
}

void THttpCli::SocketSessionClosed(TObject*, WORD Error) {
  try {
    SessionClosedHandling(Error);
  } catch (...) {
    // Only a failing handler of the close gets here.
    SetFailure(httperrLocalFailure, CurrentExceptionMessage());
    MakeReady();
  }
}

// ---------------------------------------------------------------- sending

void THttpCli::SendCommand(const String& Cmd) {
  String s = Cmd;
  if (OnCommand) OnCommand(this, s);
  if (!s.empty()) FReqStream->Write(s.data(), static_cast<int64_t>(s.size()));
  FReqStream->Write("\r\n", 2);
}

void THttpCli::SendRequest(const String& Method, const String& Version) {
  FReqStream->Clear();
  TriggerRequestHeaderBegin();
  const bool post = FRequestType == httpPOST;
  SendCommand(Method + " " + FRequestPath + " HTTP/" + Version);
  if (!FSender.empty()) SendCommand("From: " + FSender);
  if (!FAccept.empty()) SendCommand("Accept: " + FAccept);
  if (!FReference.empty()) SendCommand("Referer: " + FReference);
  if (post && !FContentTypePost.empty()) SendCommand("Content-Type: " + FContentTypePost);
  if (!FAgent.empty()) SendCommand("User-Agent: " + FAgent);
  SendCommand("Host: " + HostWithPort(FTargetHost, FTargetPort));
  if (FNoCache) SendCommand("Pragma: no-cache");
  // The bytes that will be sent: the stream from its current position.
  if (post) {
    const int64_t left = FPostStream->Size() - FPostStream->Position();
    SendCommand("Content-Length: " + IntToStr(std::max<int64_t>(left, 0)));
  }
  if (FModifiedSince != 0) SendCommand("If-Modified-Since: " + RFC1123_Date(FModifiedSince) + " GMT");
  if (!FUsername.empty()) SendCommand("Authorization: Basic " + EncodeStr(encBase64, FUsername + ":" + FPassword));
  if (!FProxy.empty() && !FProxyUsername.empty())
    SendCommand("Proxy-Authorization: Basic " + EncodeStr(encBase64, FProxyUsername + ":" + FProxyPassword));
  if (!FCookie.empty()) SendCommand("Cookie: " + FCookie);
  if (!FContentRangeBegin.empty() || !FContentRangeEnd.empty()) {
    SendCommand("Range: bytes=" + FContentRangeBegin + "-" + FContentRangeEnd);
    FContentRangeBegin.clear();
    FContentRangeEnd.clear();
  }
  FAcceptRanges.clear();
  TriggerRequestHeaderEnd();
  FReqStream->Write("\r\n", 2);
  FCtrlSocket->Send(FReqStream->Memory(), static_cast<int>(FReqStream->Size()));
}

void THttpCli::SendNextPiece() {
  if (!FAllowedToSend || !FPostStream) return;
  const int64_t n = FPostStream->Read(FSendBuffer, sizeof FSendBuffer);
  if (n <= 0) {
    FAllowedToSend = false;
    TriggerSendEnd();
    return;
  }
  FSentBytes += n;
  TriggerSendData(FSendBuffer, static_cast<int>(n));
  if (FAllowedToSend && FCtrlSocket->State() == wsConnected) FCtrlSocket->Send(FSendBuffer, static_cast<int>(n));
}

// ---------------------------------------------------------------- receiving

void THttpCli::ProcessReceived(WORD Error) {
  const uint32_t serial = FSerial;
  const int room = kHttpRcvBufSize - FReceiveLen - 1;
  if (room <= 0) {
    Fail(httperrLineTooLong, "HTTP line too long");
    return;
  }
  const int n = FCtrlSocket->Receive(FReceiveBuffer + FReceiveLen, room);
  if (n <= 0) {
    if (n < 0 && FCtrlSocket->LastError() != WSAEWOULDBLOCK) FRecvError = FCtrlSocket->LastError();
    return;
  }
  FLastActivity = GetTickCount64();
  FReceiveLen += n;
  FReceiveBuffer[FReceiveLen] = '\0';

  if (FState == httpWaitingBody) {
    const int len = FReceiveLen;
    FReceiveLen = 0;
    BodyPiece(FReceiveBuffer, len);
    return;
  }

  int pos = 0;
  while (IsActive(serial)) {
    if (FState == httpWaitingBody) {
      // What follows the header is the body's first piece, byte for byte.
      const String rest(FReceiveBuffer + pos, static_cast<size_t>(FReceiveLen - pos));
      FReceiveLen = 0;
      if (!rest.empty()) BodyPiece(rest.data(), static_cast<int>(rest.size()));
      if (IsActive(serial) && FResponseCode >= 400) {
        // The document of an error status is not wanted.
        FCloseWanted = true;
        FCtrlSocket->Close();
      }
      return;
    }
    const char* start = FReceiveBuffer + pos;
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', static_cast<size_t>(FReceiveLen - pos)));
    if (!lf) break;
    const int end = static_cast<int>(lf - FReceiveBuffer);
    int lineEnd = end;
    if (lineEnd > pos && FReceiveBuffer[lineEnd - 1] == '\r') --lineEnd;
    FLine.assign(start, static_cast<size_t>(lineEnd - pos));
    const String raw(start, static_cast<size_t>(end + 1 - pos));
    pos = end + 1;
    FLastReceived = FLine;
    if (FState == httpWaitingHeader)
      HeaderLine(FLine, raw);
    else if (OnRawData)
      OnRawData(this, Error);
  }
  if (!IsActive(serial)) return;
  if (pos > 0) {
    std::memmove(FReceiveBuffer, FReceiveBuffer + pos, static_cast<size_t>(FReceiveLen - pos));
    FReceiveLen -= pos;
    FReceiveBuffer[FReceiveLen] = '\0';
  }
  if (FState == httpWaitingHeader && FReceiveLen >= kHttpRcvBufSize - 1) Fail(httperrLineTooLong, "HTTP line too long");
}

void THttpCli::HeaderLine(const String& Line, std::string_view Raw) {
  const uint32_t serial = FSerial;
  if (FHeaderLineCount++ == 0) {
    FHeaderInProgress = true;
    TriggerHeaderBegin();
    if (!IsActive(serial)) return;
  }
  if (UpperCase(Line.substr(0, 6)) == "<HTML>") {
    // No header at all: the line, with its line end, starts the body.
    if (FDocumentType.empty()) FDocumentType = "text/html";
    FHeaderInProgress = false;
    SetState(httpWaitingBody);
    TriggerHeaderEnd();
    if (IsActive(serial)) BodyPiece(Raw.data(), static_cast<int>(Raw.size()));
    return;
  }
  if (Line.empty()) {
    HeaderEnded();
    return;
  }
  FResponseHeader->Add(Line);
  if (Line.compare(0, 5, "HTTP/") == 0) {
    // "HTTP/1.0 200 OK"
    const size_t sp = Line.find(' ');
    const String code = sp == String::npos ? String() : Line.substr(sp + 1, 3);
    const bool valid = code.size() == 3 && std::all_of(code.begin(), code.end(), IsDigit) &&
                       (Line.size() == sp + 4 || Line[sp + 4] == ' ');
    if (!valid) {
      Fail(httperrInvalidReply, "Invalid HTTP status line");
      return;
    }
    FResponseCode = StrToInt(code);
    FResponseText = Line.size() > sp + 5 ? Line.substr(sp + 5) : String();
  } else if (FHeaderLineCount == 1) {
    Fail(httperrInvalidReply, "Invalid HTTP status line");
    return;
  } else {
    const size_t colon = Line.find(':');
    if (colon != String::npos) {
      const String field = LowerCase(Line.substr(0, colon));
      const size_t v = Line.find_first_not_of(" \t", colon + 1);
      const String value = v == String::npos ? String() : Line.substr(v);
      if (field == "location") {
        FLocationChange = true;
        FLocationValue = Trim(value);
      } else if (field == "content-length") {
        int64_t len = 0;
        if (!TryStrToInt64(Trim(value), len) || len < 0) {
          Fail(httperrInvalidReply, "Invalid Content-Length");
          return;
        }
        FDocumentLength = len;
      } else if (field == "content-range") {
        // "bytes 100-199/1000"
        const String range = value.size() > 6 ? value.substr(6) : String();
        const size_t dash = range.find('-');
        FContentRangeBegin = range.substr(0, dash);
        if (dash == String::npos) {
          FContentRangeEnd.clear();
        } else {
          const size_t slash = range.find('/', dash);
          FContentRangeEnd = range.substr(dash + 1, slash == String::npos ? String::npos : slash - dash - 1);
        }
      } else if (field == "accept-ranges") {
        FAcceptRanges = value;
      } else if (field == "content-type") {
        FDocumentType = LowerCase(value);
      } else if (field == "www-authenticate") {
        FAuthChallenges->Add(value);
      } else if (field == "set-cookie") {
        bool accept = true;
        TriggerCookie(value, accept);
        if (!IsActive(serial)) return;
      }
    }
  }
  if (OnHeaderData) OnHeaderData(this);
}

void THttpCli::HeaderEnded() {
  const uint32_t serial = FSerial;
  FHeaderInProgress = false;
  if (FLocationChange) {
    TriggerHeaderEnd();
    if (!IsActive(serial)) return;
    if (!PrepareRelocation()) {
      Fail(FRequestDoneError, FResponseText);
      return;
    }
    FReceiveLen = 0;
    FHeaderLineCount = 0;
    FBodyLineCount = 0;
    FRelocating = true;
    FCtrlSocket->Close();  // LocationSessionClosed follows from the close
    if (FRelocating && IsActive(serial)) SessionClosedHandling(0);
    return;
  }
  // Replies that carry no document end with their header.
  if (FDocumentLength == 0 || FRequestType == httpHEAD || FResponseCode == 204 || FResponseCode == 304) {
    TriggerHeaderEnd();
    if (IsActive(serial)) MakeReady();
    return;
  }
  const String ext = LowerCase(ExtractFileExt(FDocName));
  if ((ext == ".exe" || ext.empty()) && FDocumentType == "text/html") ReplaceExt(FDocName, "htm");
  SetState(httpWaitingBody);
  TriggerHeaderEnd();
}

void THttpCli::BodyPiece(const char* Data, int Len) {
  const uint32_t serial = FSerial;
  if (FBodyLineCount++ == 0) {
    TriggerDocBegin();
    if (!IsActive(serial)) return;
  }
  FReceivedBytes += Len;
  FLastReceived = std::string_view(Data, static_cast<size_t>(Len));
  if (FReceiveStream) FReceiveStream->WriteBuffer(Data, Len);
  TriggerDocData(Data, Len);
}

// ---------------------------------------------------------------- closing and relocation

void THttpCli::SessionClosedHandling(WORD Error) {
  FConnected = false;
  if (FReadyPosted || FState == httpReady) return;
  const uint32_t serial = FSerial;
  if (FRelocating) {
    FRelocating = false;
    try {
      LocationSessionClosed();
    } catch (...) {
      if (serial != FSerial || FReadyPosted || FState == httpReady) return;
      SetFailure(httperrLocalFailure, CurrentExceptionMessage());
      MakeReady();
    }
    return;
  }
  try {
    if (FRequestDoneError == 0 && FState != httpAborting) {
      if (Error == 0) Error = static_cast<WORD>(FRecvError);
      if (FState == httpWaitingBody) {
        // The server's close ends the document; a reset or a document
        // shorter than announced is a failure.
        const bool complete = FDocumentLength >= 0 && FReceivedBytes >= FDocumentLength;
        if (!FCloseWanted && !complete) {
          if (Error != 0)
            SetFailure(Error, ErrorText(Error));
          else if (FDocumentLength >= 0)
            SetFailure(httperrIncompleteReply, "Connection closed before the end of the document");
        }
      } else {
        if (FHeaderInProgress) {
          FHeaderInProgress = false;
          TriggerHeaderEnd();
          if (serial != FSerial || FReadyPosted || FState == httpReady) return;
          if (FLocationChange && FRequestDoneError == 0 && FState != httpAborting) {
            if (PrepareRelocation()) {
              LocationSessionClosed();
              return;
            }
          }
        }
        if (Error != 0)
          SetFailure(Error, ErrorText(Error));
        else
          SetFailure(httperrIncompleteReply, "Connection closed before the end of the header");
      }
    }
    if (FBodyLineCount > 0) TriggerDocEnd();
  } catch (...) {
    if (serial != FSerial || FReadyPosted || FState == httpReady) return;
    SetFailure(httperrLocalFailure, CurrentExceptionMessage());
  }
  if (serial == FSerial) MakeReady();
}

bool THttpCli::PrepareRelocation() {
  if (FRelocations >= kHttpMaxRelocations) {
    SetFailure(httperrTooManyRelocations, "Too many relocations");
    return false;
  }
  ++FRelocations;
  String value = FLocationValue;
  if (value.compare(0, 2, "//") == 0) value = "http:" + value;
  String host = FTargetHost, port = FTargetPort, path;
  if (HasScheme(value)) {
    String proto, user, pass, newPath;
    ParseURL(value, proto, user, pass, host, port, newPath);
    if (proto != "http" || host.empty()) {
      SetFailure(httperrBadURL, "Relocation to an unsupported URL: " + value);
      return false;
    }
    const auto portOf = [](const String& p) { return p.empty() ? String("80") : p; };
    const bool otherServer = !SameText(host, FTargetHost) || portOf(port) != portOf(FTargetPort);
    // Credentials go only to the server they were given for.
    if (!user.empty()) {
      FUsername = user;
      FPassword = pass;
    } else if (otherServer) {
      FUsername.clear();
      FPassword.clear();
    }
    path = newPath.empty() ? String("/") : newPath;
    FTargetScheme = "http";
  } else if (!value.empty() && value[0] == '/') {
    path = value;
  } else {
    path = PathDir(FPath) + value;
    if (path.empty() || path[0] != '/') path.insert(0, "/");
  }
  FTargetHost = host;
  FTargetPort = port;
  FPath = path;
  FCurrentLocation = FTargetScheme + "://" + HostWithPort(FTargetHost, FTargetPort) + FPath;
  PrepareConnection();
  return true;
}

void THttpCli::LocationSessionClosed() {
  FRelocating = false;
  ++FSerial;
  const uint32_t serial = FSerial;
  FDocName = FPath;
  AdjustDocName();
  if (FRequestType == httpPOST) FRequestType = httpGET;
  if (OnLocationChange) OnLocationChange(this);
  if (!IsActive(serial)) return;
  FResponseHeader->Clear();
  FAuthChallenges->Clear();
  FHeaderLineCount = 0;
  FBodyLineCount = 0;
  FDocumentLength = -1;
  FDocumentType.clear();
  FResponseCode = 0;
  FLocationChange = false;
  FLocationValue.clear();
  FHeaderInProgress = false;
  FReceiveLen = 0;
  FRecvError = 0;
  FCloseWanted = false;
  FAllowedToSend = false;
  FLastActivity = GetTickCount64();
  if (FWindowHandle) PostMessageA(FWindowHandle, WM_HTTP_LOGIN, static_cast<WPARAM>(serial), 0);
}
