// HTTP unit: the HTTP/1.0 client component, URL parsing and the text
// encoders it uses.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "classlib/Classes.h"
#include "classlib/Sysutils.h"
#include "protocols/Wsocket.h"

// ---------------------------------------------------------------- URLs

// Splits URL into its parts. Path comes in as the base for the relative
// forms "./x" and "../x"; every output is cleared before parsing. The scheme
// is compared without case and returned in lower case. Defaults (scheme,
// port, path) are left to the caller.
void ParseURL(const String& URL, String& Proto, String& User, String& Pass, String& Host, String& Port,
              String& Path);

// 1-based position of the Count-th occurrence of S in Str; Count < 0 counts
// from the end. Not found: Length(Str) + 1 for Count > 0, 0 otherwise.
int Posn(const String& S, const String& Str, int Count);

// ---------------------------------------------------------------- encoders

enum THttpEncoding { encUUEncode, encBase64, encMime };

// One line of UU or Base64 (encMime is Base64), without a line break. A UU
// line starts with its length character and is padded to whole 3-byte groups.
String EncodeLine(THttpEncoding Encoding, const void* SrcData, int64_t Size);
String EncodeStr(THttpEncoding Encoding, const String& Value);

// Form encoding: letters and digits stay, every other byte becomes %XX.
String UrlEncode(const String& S);
// Up to the first "&": "+" is a blank, "%XX" a byte. A "%" without two hex
// digits behind it is kept as it is.
String UrlDecode(const String& S);

// ---------------------------------------------------------------- hex helpers

bool IsDigit(char Ch);
bool IsXDigit(char Ch);
// Value of a hex digit (of a decimal digit, else (Ch and 15) + 9).
int XDigit(char Ch);
// Reads hex digits within the first Len characters of Value, after leading
// blanks, up to the first other character; 0 when there are none.
int htoin(std::string_view Value, int Len);
int htoi2(std::string_view Value);

// ---------------------------------------------------------------- HTTP client

class EHttpException : public Exception {
 public:
  EHttpException(const String& Msg, WORD ErrCode) : Exception(Msg), ErrorCode(ErrCode) {}
  String ClassName() const override { return "EHttpException"; }
  WORD ErrorCode = 0;
};

enum THttpRequest { httpAbort, httpGET, httpPOST, httpHEAD };
enum THttpState {
  httpReady,
  httpNotConnected,
  httpConnected,
  httpDnsLookup,
  httpDnsLookupDone,
  httpWaitingHeader,
  httpWaitingBody,
  httpAborting
};

// Request-done errors of the component's own failures (WinSock failures
// give their WinSock code). Every failure also sets ResponseCode 404 and
// ResponseText.
constexpr WORD httperrBusy = 1;               // EHttpException only
constexpr WORD httperrNothingToPost = 2;      // EHttpException only
constexpr WORD httperrAborted = 3;            // Abort
constexpr WORD httperrLineTooLong = 4;        // a header line of 8192 bytes or more
constexpr WORD httperrInvalidReply = 5;       // no status line, a bad status or Content-Length
constexpr WORD httperrIncompleteReply = 6;    // closed before the end of the header or document
constexpr WORD httperrTooManyRelocations = 7; // more than kHttpMaxRelocations
constexpr WORD httperrBadURL = 8;             // a URL or Location of another scheme, or without host
constexpr WORD httperrTimeout = 9;            // the synchronous calls' time-out
constexpr WORD httperrLocalFailure = 10;      // an exception of a handler, the stream, the socket

// Relocations followed by one request.
constexpr int kHttpMaxRelocations = 10;
// The receive buffer; a header line must fit into it with its line end.
constexpr int kHttpRcvBufSize = 8193;
constexpr int kHttpSndBufSize = 8193;

using TOnCommand = TEvent<TObject*, String&>;
using TDocDataEvent = TEvent<TObject*, const void*, int>;
using THttpRequestDone = TEvent<TObject*, THttpRequest, WORD>;
using TCookieRcvdEvent = TEvent<TObject*, const String&, bool&>;
using THttpRawDataEvent = TEvent<TObject*, WORD>;

// Fetches a document with HTTP/1.0 GET, HEAD or POST over an owned TWSocket,
// directly, through an HTTP proxy or through a SOCKS server. Every request
// ends with one OnRequestDone from the message loop (the error 0, a WinSock
// code or an httperr... code). The body goes to ReceiveStream and OnDocData
// until the server closes the connection (a body shorter than its
// Content-Length is a failure; the length never ends the body early); a
// reply to HEAD, or with status 204 or 304 or length 0, ends with its
// header. Location headers are followed (at most kHttpMaxRelocations times,
// http only; the credentials are dropped when the server changes). Get,
// Head and Post wait, processing messages, and raise EHttpException for
// every failure and every status of 400 and more.
class THttpCli : public TComponent, public TWindowObject {
 public:
  explicit THttpCli(TComponent* AOwner);
  ~THttpCli() override;

  void Get();
  void Head();
  void Post();
  void GetASync();
  void HeadASync();
  void PostASync();
  // Ends the running request (OnRequestDone with httperrAborted); when
  // ready, only closes a socket that is still open.
  void Abort();

  // ---- properties
  const String& URL() const { return FURL; }
  void SetURL(const String& Value) { FURL = Value; }
  const String& LocalAddr() const { return FLocalAddr; }
  void SetLocalAddr(const String& Value) { FLocalAddr = Value; }
  // Proxy host, parsed like a URL ("host", "host:port"); empty: direct.
  const String& Proxy() const { return FProxy; }
  void SetProxy(const String& Value) { FProxy = Value; }
  const String& ProxyPort() const { return FProxyPort; }
  void SetProxyPort(const String& Value) { FProxyPort = Value; }
  const String& Sender() const { return FSender; }
  void SetSender(const String& Value) { FSender = Value; }
  const String& Agent() const { return FAgent; }
  void SetAgent(const String& Value) { FAgent = Value; }
  const String& Accept() const { return FAccept; }
  void SetAccept(const String& Value) { FAccept = Value; }
  const String& Reference() const { return FReference; }
  void SetReference(const String& Value) { FReference = Value; }
  const String& Username() const { return FUsername; }
  void SetUsername(const String& Value) { FUsername = Value; }
  const String& Password() const { return FPassword; }
  void SetPassword(const String& Value) { FPassword = Value; }
  const String& ProxyUsername() const { return FProxyUsername; }
  void SetProxyUsername(const String& Value) { FProxyUsername = Value; }
  const String& ProxyPassword() const { return FProxyPassword; }
  void SetProxyPassword(const String& Value) { FProxyPassword = Value; }
  bool NoCache() const { return FNoCache; }
  void SetNoCache(bool Value) { FNoCache = Value; }
  TDateTime ModifiedSince() const { return FModifiedSince; }
  void SetModifiedSince(TDateTime Value) { FModifiedSince = Value; }
  const String& Cookie() const { return FCookie; }
  void SetCookie(const String& Value) { FCookie = Value; }
  const String& ContentTypePost() const { return FContentTypePost; }
  void SetContentTypePost(const String& Value) { FContentTypePost = Value; }
  const String& ContentRangeBegin() const { return FContentRangeBegin; }
  void SetContentRangeBegin(const String& Value) { FContentRangeBegin = Value; }
  const String& ContentRangeEnd() const { return FContentRangeEnd; }
  void SetContentRangeEnd(const String& Value) { FContentRangeEnd = Value; }
  const String& AcceptRanges() const { return FAcceptRanges; }
  bool MultiThreaded() const { return FMultiThreaded; }
  void SetMultiThreaded(bool Value);
  // Seconds without progress after which Get, Head and Post end the request
  // (httperrTimeout); 0 or less waits without limit.
  int Timeout() const { return FTimeout; }
  void SetTimeout(int Value) { FTimeout = Value; }
  // SOCKS settings, given to the socket before every connection.
  const String& SocksServer() const { return FSocksServer; }
  void SetSocksServer(const String& Value) { FSocksServer = Value; }
  // "4", "4A" or "5"; ESocketException for any other.
  const String& SocksLevel() const { return FSocksLevel; }
  void SetSocksLevel(const String& Value);
  const String& SocksPort() const { return FSocksPort; }
  void SetSocksPort(const String& Value) { FSocksPort = Value; }
  const String& SocksUsercode() const { return FSocksUsercode; }
  void SetSocksUsercode(const String& Value) { FSocksUsercode = Value; }
  const String& SocksPassword() const { return FSocksPassword; }
  void SetSocksPassword(const String& Value) { FSocksPassword = Value; }
  TSocksAuthentication SocksAuthentication() const { return FSocksAuthentication; }
  void SetSocksAuthentication(TSocksAuthentication Value) { FSocksAuthentication = Value; }

  // ---- the reply
  // The status code; 404 for local failures, 0 after a relocation.
  int ResponseCode() const { return FResponseCode; }
  const String& ResponseText() const { return FResponseText; }
  // Every header line of the reply in arrival order, status line first.
  TStrings* ResponseHeader() const { return FResponseHeader; }
  // The values of the WWW-Authenticate lines.
  TStrings* AuthChallenges() const { return FAuthChallenges; }
  // A plain file name for the document, from the last segment of the path.
  const String& DocName() const { return FDocName; }
  // The Content-Length value, -1 when none came.
  int64_t DocumentLength() const { return FDocumentLength; }
  const String& DocumentType() const { return FDocumentType; }
  // Receives the body when assigned; owned by the caller.
  TStream* ReceiveStream() const { return FReceiveStream; }
  void SetReceiveStream(TStream* Value) { FReceiveStream = Value; }
  // The body of a POST, read from its current position; owned by the caller.
  TStream* PostStream() const { return FPostStream; }
  void SetPostStream(TStream* Value) { FPostStream = Value; }
  const String& CurrentLocation() const { return FCurrentLocation; }
  // The header line or body piece being delivered.
  String LastReceived() const { return String(FLastReceived); }
  int64_t ReceivedBytes() const { return FReceivedBytes; }
  int64_t SentBytes() const { return FSentBytes; }
  THttpState State() const { return FState; }

  // ---- events
  TNotifyEvent OnTrace;  // never fired
  TNotifyEvent OnSessionConnected;
  TNotifyEvent OnHeaderData;
  TNotifyEvent OnHeaderBegin;
  TNotifyEvent OnHeaderEnd;
  TNotifyEvent OnRequestHeaderBegin;
  TNotifyEvent OnRequestHeaderEnd;
  TNotifyEvent OnDocBegin;
  TNotifyEvent OnDocEnd;
  TNotifyEvent OnSendBegin;
  TNotifyEvent OnSendEnd;
  TNotifyEvent OnStateChange;
  TNotifyEvent OnLocationChange;
  TNotifyEvent OnSocketError;
  TOnCommand OnCommand;
  TDocDataEvent OnDocData;
  TDocDataEvent OnSendData;
  THttpRequestDone OnRequestDone;
  TCookieRcvdEvent OnCookie;
  TSessionConnected OnSocksConnected;
  TSocksAuthStateEvent OnSocksAuthState;
  TSocksErrorEvent OnSocksError;
  // Lines that arrive while no header or body is expected.
  THttpRawDataEvent OnRawData;

 protected:
  virtual void SendCommand(const String& Cmd);
  virtual void Login();
  virtual void Logout();
  virtual void InternalClear();
  virtual void LocationSessionClosed();
  virtual void TriggerCookie(const String& Data, bool& Accept);
  virtual void TriggerSessionConnected();
  virtual void TriggerRequestHeaderBegin();
  virtual void TriggerRequestHeaderEnd();
  virtual void TriggerHeaderBegin();
  virtual void TriggerHeaderEnd();
  virtual void TriggerDocBegin();
  virtual void TriggerDocData(const void* Data, int Len);
  virtual void TriggerDocEnd();
  virtual void TriggerSendBegin();
  virtual void TriggerSendData(const void* Data, int Len);
  virtual void TriggerSendEnd();
  virtual void HTTPCliAllocateHWnd();
  virtual void HTTPCliDeallocateHWnd();

  void WndProc(TMessage& Msg);
  void WindowMessage(HWND Wnd, TMessage& Msg) override { WndProc(Msg); }
  // The document name (set to the path) becomes a plain file name.
  void AdjustDocName();
  void DoRequestAsync(THttpRequest Rq);
  void DoRequestSync(THttpRequest Rq);
  void SetState(THttpState NewState);
  void SendRequest(const String& Method, const String& Version);
  void SendNextPiece();
  // The host and port to connect to and the request path, from the target
  // (and the proxy).
  void PrepareConnection();
  // Works out the address of the Location header; false (the request
  // failed) when it cannot be followed.
  bool PrepareRelocation();
  void HeaderLine(const String& Line, std::string_view Raw);
  void HeaderEnded();
  void BodyPiece(const char* Data, int Len);
  void ProcessReceived(WORD Error);
  // Records the failure (the first one counts): request-done error,
  // ResponseCode 404 and ResponseText.
  void SetFailure(WORD Error, const String& Text);
  // Records the failure and ends the request: closes the socket, whose
  // close handling makes the request ready.
  void Fail(WORD Error, const String& Text);
  // Fail with the message of the exception being handled.
  void FailWithCurrentException();
  void SessionClosedHandling(WORD Error);
  void MakeReady();
  // Ends a running request with Error and Text (Abort, time-out).
  void EndRequest(WORD Error, const String& Text);
  bool IsActive(uint32_t Serial) const;

  // Socket handlers.
  void SocketDnsLookupDone(TObject* Sender, WORD Error);
  void SocketSessionConnected(TObject* Sender, WORD Error);
  void SocketDataAvailable(TObject* Sender, WORD Error);
  void SocketDataSent(TObject* Sender, WORD Error);
  void SocketSessionClosed(TObject* Sender, WORD Error);
  void SocketError(TObject* Sender);
  void SocketSocksError(TObject* Sender, int Error, String Msg);
  void SocketSocksConnected(TObject* Sender, WORD Error);
  void SocketSocksAuthState(TObject* Sender, TSocksAuthState AuthState);

  TWSocket* FCtrlSocket = nullptr;
  HWND FWindowHandle = nullptr;
  THttpState FState = httpReady;
  // Where to connect (the server or the proxy).
  String FHostName;
  String FPort;
  // The server named by the URL (or the last relocation): host, port as
  // given (empty: 80), scheme, and the path with its query.
  String FTargetHost;
  String FTargetPort;
  String FTargetScheme;
  String FPath;
  bool FConnected = false;
  String FDnsResult;
  char FSendBuffer[kHttpSndBufSize] = {};
  THttpRequest FRequestType = httpGET;
  char FReceiveBuffer[kHttpRcvBufSize] = {};
  int FReceiveLen = 0;
  String FLine;
  std::string_view FLastReceived;
  int FHeaderLineCount = 0;
  int FBodyLineCount = 0;
  bool FAllowedToSend = false;
  // The path, or through a proxy the whole URL.
  String FRequestPath;
  bool FLocationChange = false;
  String FLocationValue;
  bool FHeaderInProgress = false;
  WORD FRequestDoneError = 0;
  TMemoryStream* FReqStream = nullptr;

  // Per request: its serial number (stale posted messages are ignored),
  // relocations followed, and the end already under way.
  uint32_t FSerial = 0;
  int FRelocations = 0;
  bool FReadyPosted = false;
  bool FRelocating = false;
  // The component closed the connection on purpose (a status of 400 and
  // more, a failure): the close does not count as a broken reply.
  bool FCloseWanted = false;
  int FRecvError = 0;
  String FSocksErrorText;
  uint64_t FLastActivity = 0;
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);

  String FURL;
  String FLocalAddr = "0.0.0.0";
  String FProxy;
  String FProxyPort = "80";
  String FSender;
  String FAgent = "Mozilla/3.0 (compatible)";
  String FAccept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
  String FReference;
  String FUsername;
  String FPassword;
  String FProxyUsername;
  String FProxyPassword;
  bool FNoCache = false;
  TDateTime FModifiedSince = 0;
  String FCookie;
  String FContentTypePost = "application/x-www-form-urlencoded";
  String FContentRangeBegin;
  String FContentRangeEnd;
  String FAcceptRanges;
  bool FMultiThreaded = false;
  int FTimeout = 60;
  String FSocksServer;
  String FSocksLevel = "5";
  String FSocksPort;
  String FSocksUsercode;
  String FSocksPassword;
  TSocksAuthentication FSocksAuthentication = socksNoAuthentication;

  int FResponseCode = 0;
  String FResponseText;
  TStringList* FResponseHeader = nullptr;
  TStringList* FAuthChallenges = nullptr;
  String FDocName;
  int64_t FDocumentLength = -1;
  String FDocumentType;
  TStream* FReceiveStream = nullptr;
  TStream* FPostStream = nullptr;
  String FCurrentLocation;
  int64_t FReceivedBytes = 0;
  int64_t FSentBytes = 0;
};

// "Mon, 02 Jan 2006 15:04:05" (no zone; the value is not converted).
String RFC1123_Date(TDateTime D);
// The text after the last "." replaced by NewExt; without a dot "." and
// NewExt are appended.
void ReplaceExt(String& FName, const String& NewExt);
// A plain file name for the document at Path (a URL path with its query):
// the last segment, without folders, drives, device names or characters
// that are not allowed in file names; "document.htm" when nothing is left.
String HttpDocName(const String& Path);
