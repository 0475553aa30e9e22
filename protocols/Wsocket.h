// Asynchronous WinSock 1.1 socket component.
//
// Each component owns one socket and a hidden window (class
// "XSocketWindowClass" of the class library's object windows, the component
// in the window's extra bytes as a LONG_PTR). The socket is switched to
// asynchronous selection; WinSock posts WM_ASYNCSELECT and the lookup replies
// to that window and WndProc turns them into events. Nothing blocks but the
// name resolvers named below; protocol and service names are looked up once
// per process.
//
// Class chain (each layer adds to its parent, all in this unit):
//   TCustomWSocket       socket, window, dispatch, send queue, resolvers
//   TCustomSocksWSocket  SOCKS 4/4A/5 client layer
//   TCustomLineWSocket   line mode
//   TCustomSyncWSocket   blocking waits (ReadLine, WaitUntilReady)
//   TWSocket             the class owners use
//   TSocksWSocket
//
// How a layer plugs in:
// - Events fire only through the virtual Trigger... operations; a layer
//   overrides the trigger (TriggerDataAvailable, TriggerSessionConnected,
//   TriggerSessionClosed, ...) and calls the parent's version to reach the
//   owner's handler. TriggerDataAvailable returns whether a handler took the
//   call; the receive loop reads and drops the data when it returns false.
// - Every read of the socket goes through DoRecv (Receive, ReceiveStr,
//   PeekData and the receive loop's drop). A layer that buffers bytes
//   overrides DoRecv to serve its own bytes first, and GetRcvdCount to report
//   them. The receive loop counts bytes only when the base DoRecv takes them
//   from the socket, so a layer that moves socket data into its own buffer
//   (calling the parent's DoRecv) keeps the loop going.
// - Connect and Listen are virtual; a layer may prepare the remote address
//   record and port itself (FSin, FPortNum) and set FAddrResolved /
//   FPortResolved so that the base Connect uses them as they are.
// - AssignDefaultValue runs at the end of every close; a layer overrides it
//   to reset its own state and calls the parent's version. The base
//   constructor runs only its own version, so a layer also initialises its
//   fields in its constructor.
// - WndProc is virtual; a layer handles its own private messages (the line
//   layer's WM_TRIGGER_DATA_AVAILABLE) inside a try/catch whose handler
//   calls HandleCurrentException, and calls the parent's WndProc for all
//   others. What escapes HandleBackGroundException (a failing OnBgException)
//   leaves WndProc for the window class's catch, which hands it to the
//   application once the message has returned.
// - Blocking layers wait with PumpUntil, with a copy of FAlive, and honour
//   FTerminated (the component's own pump met WM_QUIT) and QuitReceived().
// - A layer's own delivery loops (lines to OnDataAvailable) end when a pass
//   took nothing, as the receive loop does.
// - Nothing is reported while the component is being destroyed (the events
//   are cleared and ChangeState stays silent); a layer keeps its own events
//   quiet there too (IsDestroying()).
// - A handler must not free its component directly; it calls Release.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Forms.h"
#include "classlib/Sets.h"
#include "protocols/Wsockbuf.h"

NEMBRA_EXCEPTION(ESocketException, Exception);

using TSocket = SOCKET;

// Private messages of the socket's hidden window.
constexpr UINT WM_ASYNCSELECT = WM_USER + 1;
constexpr UINT WM_ASYNCGETHOSTBYNAME = WM_USER + 2;
constexpr UINT WM_ASYNCGETHOSTBYADDR = WM_USER + 3;
constexpr UINT WM_CLOSE_DELAYED = WM_USER + 4;
constexpr UINT WM_WSOCKET_RELEASE = WM_USER + 5;
constexpr UINT WM_TRIGGER_EXCEPTION = WM_USER + 6;
constexpr UINT WM_TRIGGER_DATA_AVAILABLE = WM_USER + 20;

// Size of the host-entry buffer of an asynchronous lookup.
constexpr int kDnsLookupBufSize = 1025;

enum TSocketState {
  wsInvalidState,
  wsOpened,
  wsBound,
  wsConnecting,
  wsConnected,
  wsAccepting,
  wsListening,
  wsClosed
};
enum TSocketSendFlags { wsSendNormal, wsSendUrgent };
enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TWSocketOption { wsoNoReceiveLoop, wsoTcpNoDelay };

using TWSocketOptions = TSet<TWSocketOption>;

// Event types; the component passes itself as Sender.
using TChangeState = TEvent<TObject*, TSocketState, TSocketState>;
using TSessionConnected = TEvent<TObject*, WORD>;
using TSessionAvailable = TEvent<TObject*, WORD>;
using TSessionClosed = TEvent<TObject*, WORD>;
using TDataAvailable = TEvent<TObject*, WORD>;
using TDataSent = TEvent<TObject*, WORD>;
using TSendData = TEvent<TObject*, int>;
using TDnsLookupDone = TEvent<TObject*, WORD>;
using TBgExceptionEvent = TEvent<TObject*, Exception&, bool&>;
using TDebugDisplay = TEvent<TObject*, String&>;

class TCustomWSocket : public TComponent, public TWindowObject {
 public:
  explicit TCustomWSocket(TComponent* AOwner);
  ~TCustomWSocket() override;

  // ---- connection
  virtual void Connect();
  virtual void Close();
  // Closes (or frees the component) when the window handles the posted message.
  virtual void CloseDelayed();
  virtual void Release();
  virtual void Abort();
  // Sends the queue, pumping messages, until it is empty or the socket closes.
  virtual void Flush();
  virtual void WaitForClose();
  virtual void Listen();
  virtual TSocket Accept();
  // Takes over an accepted handle; no OnSessionConnected.
  virtual void Dup(TSocket NewHSocket);
  virtual void Shutdown(int How);
  virtual void Pause();
  virtual void Resume();
  // Binds to LocalAddr and the local port; false when it failed (reported).
  virtual bool BindSocket();
  // Applies LingerOnOff / LingerTimeout; false when it failed (reported).
  bool SetLingerOption();

  // ---- data
  virtual int Receive(void* Buffer, int BufferSize);
  virtual String ReceiveStr();
  virtual int ReceiveFrom(void* Buffer, int BufferSize, sockaddr_in& From, int& FromLen);
  int PeekData(void* Buffer, int BufferSize);
  virtual int Send(const void* Data, int Len);
  virtual int SendTo(const sockaddr_in& Dest, int DestLen, const void* Data, int Len);
  virtual int SendStr(const String& Str);
  void SendText(const String& Str) { SendStr(Str); }
  // Bytes waiting to be read (FIONREAD); -1 at design time or on failure.
  virtual int GetRcvdCount();

  // ---- lookups (answered through OnDnsLookupDone)
  virtual void DnsLookup(const String& HostName);
  virtual void ReverseDnsLookup(const String& HostAddr);
  virtual void CancelDnsLookup();

  // ---- addresses
  virtual String GetPeerAddr();
  virtual String GetPeerPort();
  virtual int GetPeerName(sockaddr_in& Name, int NameLen);
  virtual String GetXPort();
  virtual String GetXAddr();
  virtual int GetSockName(sockaddr_in& saddr, int& saddrlen);

  // ---- timeval helpers
  virtual bool TimerIsSet(const timeval& tv);
  virtual void TimerClear(timeval& tv);
  virtual bool TimerCmp(const timeval& tv, const timeval& uv, bool IsEqual);

  // ---- message pumps and threads (all on the class library's pump, for
  // every window of the thread)
  // The queued messages; the same whether MultiThreaded or not.
  virtual void MessagePump();
  // One message; WM_QUIT sets the terminated flag, is posted again and
  // gives false like an empty queue.
  bool ProcessMessage();
  // The queued messages; WM_QUIT sets the terminated flag.
  void ProcessMessages();
  // Until WM_QUIT (posted again), which sets the terminated flag.
  void MessageLoop();
  void ThreadAttach();
  void ThreadDetach();

  // ---- properties
  const String& Addr() const { return FAddrStr; }
  void SetAddr(const String& Value);
  const String& Port() const { return FPortStr; }
  void SetPort(const String& Value) { SetRemotePort(Value); }
  const String& Proto() const { return FProtoStr; }
  virtual void SetProto(const String& Value);
  const String& LocalAddr() const { return FLocalAddr; }
  void SetLocalAddr(const String& Value);
  const String& LocalPort() const { return FLocalPortStr; }
  void SetLocalPort(const String& Value);
  String PeerPort() { return GetPeerPort(); }
  String PeerAddr() { return GetPeerAddr(); }
  const String& DnsResult() const { return FDnsResult; }
  TStrings* DnsResultList() const { return FDnsResultList; }
  TSocketState State() const { return FState; }
  int64_t ReadCount() const { return FReadCount; }
  int RcvdCount() { return GetRcvdCount(); }
  int LastError() const { return FLastError; }
  bool MultiThreaded() const { return FMultiThreaded; }
  void SetMultiThreaded(bool Value) { FMultiThreaded = Value; }
  bool MultiCast() const { return FMultiCast; }
  void SetMultiCast(bool Value) { FMultiCast = Value; }
  const String& MultiCastAddrStr() const { return FMultiCastAddrStr; }
  void SetMultiCastAddrStr(const String& Value) { FMultiCastAddrStr = Value; }
  int MultiCastIpTTL() const { return FMultiCastIpTTL; }
  void SetMultiCastIpTTL(int Value) { FMultiCastIpTTL = Value; }
  bool ReuseAddr() const { return FReuseAddr; }
  void SetReuseAddr(bool Value) { FReuseAddr = Value; }
  TWSocketOptions ComponentOptions() const { return FComponentOptions; }
  void SetComponentOptions(TWSocketOptions Value) { FComponentOptions = Value; }
  int FlushTimeout() const { return FFlushTimeout; }
  void SetFlushTimeout(int Value) { FFlushTimeout = Value; }
  TSocketSendFlags SendFlags();
  void SetSendFlags(TSocketSendFlags Value);
  TSocketLingerOnOff LingerOnOff() const { return FLingerOnOff; }
  void SetLingerOnOff(TSocketLingerOnOff Value) { FLingerOnOff = Value; }
  int LingerTimeout() const { return FLingerTimeout; }
  void SetLingerTimeout(int Value) { FLingerTimeout = Value; }
  int SendBlockSize() const { return FSendBlockSize; }
  void SetSendBlockSize(int Value) { FSendBlockSize = Value; }
  // The socket handle, INVALID_SOCKET when there is none.
  TSocket HSocket() const { return FHSocket; }
  // The hidden window.
  HWND Handle() const { return FWindowHandle; }

  // ---- events
  TChangeState OnChangeState;
  TSessionConnected OnSessionConnected;
  TSessionAvailable OnSessionAvailable;
  TDataAvailable OnDataAvailable;
  TDataSent OnDataSent;
  TSendData OnSendData;
  TSessionClosed OnSessionClosed;
  TDnsLookupDone OnDnsLookupDone;
  TNotifyEvent OnError;
  TBgExceptionEvent OnBgException;
  TDebugDisplay OnDiagnostic;

  // Fires OnDiagnostic when set.
  void TriggerDisplay(String Msg);

  // The messages of the hidden window.
  virtual void WndProc(TMessage& MsgRec);
  void WindowMessage(HWND Wnd, TMessage& Msg) override { WndProc(Msg); }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

  virtual void AllocateSocketHWnd();
  virtual void DeallocateSocketHWnd();
  virtual void AssignDefaultValue();
  virtual void InternalClose(bool bShut, WORD Error);
  virtual void SetRemotePort(const String& Value);
  virtual int RealSend(const void* Data, int Len);
  virtual void RaiseExceptionFmt(const String& Fmt, const std::vector<TVarRec>& Args);
  virtual void RaiseException(const String& Msg);
  virtual void HandleBackGroundException(Exception& E);
  virtual bool TriggerDataAvailable(WORD Error);
  virtual void TriggerSessionAvailable(WORD Error);
  virtual void TriggerSessionConnected(WORD Error);
  virtual void TriggerSessionClosed(WORD Error);
  virtual void TriggerDataSent(WORD Error);
  virtual void TriggerChangeState(TSocketState OldState, TSocketState NewState);
  virtual void TriggerDNSLookupDone(WORD Error);
  virtual void TriggerError();
  virtual int DoRecv(void* Buffer, int BufferSize, int Flags);
  virtual int DoRecvFrom(void* Buffer, int BufferSize, int Flags, sockaddr_in& From, int& FromLen);
  void TriggerSendData(int BytesSent);

  // Composes "Error N in function F" with the error text and reports it;
  // a reset or not-connected error closes the socket first.
  void SocketError(const String& SockFunc);
  // Sets State and fires OnChangeState (also when the state is unchanged).
  void ChangeState(TSocketState NewState);
  void ASyncReceive(WORD Error, TWSocketOptions Options);
  void TryToSend();
  void PutDataInSendBuffer(const void* Data, int Len);
  void DeleteBufferedData();
  void WMASyncSelect(TMessage& Msg);
  void WMAsyncGetHostByName(TMessage& Msg);
  void WMAsyncGetHostByAddr(TMessage& Msg);
  void WMCloseDelayed(TMessage& Msg);
  // The close event's work: OnSessionClosed once, then Close.
  void PeerClosed(WORD Error);
  void ResolveEndpoint(bool WithLocalPort);
  void AssignWhileClosed(const char* Name, const String& Value, String& Text, bool& Assigned, bool& Resolved);
  void WMRelease(TMessage& Msg);
  // Call inside a catch block: hands the exception being handled (of any
  // type) to HandleBackGroundException. What escapes from there passes
  // every later call of this for the same message.
  void HandleCurrentException();

  HWND FWindowHandle = nullptr;
  TSocket FHSocket = INVALID_SOCKET;
  String FAddrStr;
  bool FAddrAssigned = false;
  bool FAddrResolved = false;
  int FAddrFormat = PF_INET;
  String FProtoStr;
  bool FProtoAssigned = false;
  bool FProtoResolved = false;
  int FProto = IPPROTO_TCP;
  int FType = SOCK_STREAM;
  String FPortStr;
  bool FPortAssigned = false;
  bool FPortResolved = false;
  int FPortNum = 0;
  String FLocalPortStr;
  bool FLocalPortResolved = false;
  int FLocalPortNum = 0;
  String FLocalAddr;
  sockaddr_in FSin{};
  std::vector<TBuffer*> FBufList;
  int FSendBlockSize = 1460;
  bool FAllSent = true;
  bool FPaused = false;
  bool FCloseInvoked = false;
  long FSelectEvent = 0;
  // The pending lookup: its handle (nullptr when none) and host-entry buffer.
  HANDLE FDnsLookupHandle = nullptr;
  char* FDnsLookupBuffer = nullptr;
  bool FDnsLookupCheckMsg = false;
  TMessage FDnsLookupTempMsg{};
  // Cancelled lookups whose replies have not come yet: WinSock may still
  // write into their buffers, which are freed when the reply arrives.
  std::vector<std::pair<HANDLE, char*>> FStaleLookups;
  DWORD FThreadId = 0;
  bool FTerminated = false;
  // Cleared when the component is destroyed; waits keep a copy.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
  // The exception that left HandleBackGroundException last.
  std::exception_ptr FBgEscape;

  TSocketState FState = wsClosed;
  int FLastError = 0;
  int64_t FReadCount = 0;
  // Bytes the base DoRecv/DoRecvFrom took from the socket; the receive loop
  // ends a pass that took nothing.
  uint64_t FRecvTaken = 0;
  bool FPeerEof = false;  // a stream read returned 0
  String FDnsResult;
  TStringList* FDnsResultList = nullptr;
  bool FMultiThreaded = false;
  bool FMultiCast = false;
  String FMultiCastAddrStr;
  int FMultiCastIpTTL = 1;
  bool FReuseAddr = false;
  TWSocketOptions FComponentOptions;
  int FFlushTimeout = 60;
  int FSendFlags = 0;
  TSocketLingerOnOff FLingerOnOff = wsLingerOn;
  int FLingerTimeout = 0;

 private:
  bool ReapStaleLookup(HANDLE LookupHandle);
  void ForgetLookup();
  bool SetOption(int Level, int OptName, int Value, const char* FuncName);
  void CloseFailedHandle();
};

// ---------------------------------------------------------------- SOCKS layer

enum TSocksState { socksData, socksNegociateMethods, socksAuthenticate, socksConnect };
enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };
enum TSocksAuthState { socksAuthStart, socksAuthSuccess, socksAuthFailure, socksAuthNotRequired };

using TSocksErrorEvent = TEvent<TObject*, int, String>;
using TSocksAuthStateEvent = TEvent<TObject*, TSocksAuthState>;

// Room for the largest SOCKS reply: a SOCKS 5 reply with a 255-byte bound
// host name is 262 bytes.
constexpr int kSocksRcvBufSize = 512;
// Host names, user codes and passwords longer than this cannot be sent.
constexpr int kSocksMaxFieldLen = 255;

// SOCKS error codes (Error of OnSocksError and of the OnSessionConnected and
// OnSessionClosed that follow it).
constexpr int socksProtocolError = 20001;
constexpr int socksVersionError = 20002;
constexpr int socksAuthMethodError = 20003;
constexpr int socksGeneralFailure = 20004;
constexpr int socksConnectionNotAllowed = 20005;
constexpr int socksNetworkUnreachable = 20006;
constexpr int socksHostUnreachable = 20007;
constexpr int socksConnectionRefused = 20008;
constexpr int socksTtlExpired = 20009;
constexpr int socksUnknownCommand = 20010;
constexpr int socksUnknownAddressType = 20011;
constexpr int socksUnassignedError = 20012;
constexpr int socksInternalError = 20013;
constexpr int socksRequestTooLong = 20014;
constexpr int socksAuthenticationFailed = 20015;
constexpr int socksRejectedOrFailed = 20016;
constexpr int socksHostResolutionFailed = 20017;

// SOCKS 4, 4A and 5 client layer; passes everything through when no SOCKS
// server is set. With SocksServer set, Connect goes to the SOCKS server,
// runs the exchange for SocksLevel and only then fires OnSessionConnected
// (0, or the TCP or SOCKS error code). Every SOCKS failure fires
// OnSocksError, then OnSessionConnected with the code, then closes.
// SocksServer, SocksPort and SocksLevel return to their defaults after every
// close; SocksUsercode, SocksPassword and SocksAuthentication stay.
class TCustomSocksWSocket : public TCustomWSocket {
 public:
  explicit TCustomSocksWSocket(TComponent* AOwner);

  void Connect() override;
  void Listen() override;
  int GetRcvdCount() override;

  const String& SocksServer() const { return FSocksServer; }
  virtual void SetSocksServer(const String& Value);
  const String& SocksPort() const { return FSocksPort; }
  virtual void SetSocksPort(const String& Value);
  // "4", "5" or "4A" ("4a" is stored upper-cased); "5" by default.
  const String& SocksLevel() const { return FSocksLevel; }
  void SetSocksLevel(const String& Value);
  // User name for SOCKS 5 authentication, user id for SOCKS 4.
  const String& SocksUsercode() const { return FSocksUsercode; }
  void SetSocksUsercode(const String& Value) { FSocksUsercode = Value; }
  const String& SocksPassword() const { return FSocksPassword; }
  void SetSocksPassword(const String& Value) { FSocksPassword = Value; }
  // socksAuthenticateUsercode offers the user name/password method besides
  // "no authentication" when SocksUsercode is not empty.
  TSocksAuthentication SocksAuthentication() const { return FSocksAuthentication; }
  void SetSocksAuthentication(TSocksAuthentication Value) { FSocksAuthentication = Value; }

  // The TCP connection to the SOCKS server is up (or failed).
  TSessionConnected OnSocksConnected;
  TSocksErrorEvent OnSocksError;
  TSocksAuthStateEvent OnSocksAuthState;

 protected:
  void AssignDefaultValue() override;
  bool TriggerDataAvailable(WORD Error) override;
  void TriggerSessionConnected(WORD Error) override;
  void TriggerSessionClosed(WORD Error) override;
  int DoRecv(void* Buffer, int BufferSize, int Flags) override;
  virtual void TriggerSocksConnected(WORD Error);
  virtual void TriggerSocksError(int Error, const String& Msg);
  void TriggerSocksAuthState(TSocksAuthState AuthState);
  void SocksDoConnect();
  void SocksDoAuthenticate();
  // Reports a SOCKS failure: OnSocksError, OnSessionConnected (ErrCode),
  // then the close with that code.
  void DataAvailableError(int ErrCode, const String& Msg);

  TSocksState FSocksState = socksData;
  String FSocksServer;
  String FSocksLevel = "5";
  String FSocksPort;
  bool FSocksPortAssigned = false;
  bool FSocksServerAssigned = false;
  // Methods offered in the SOCKS 5 greeting: 0 alone, or 0 and 2.
  bool FSocksAuthOffered = false;
  // Bound address and port of the SOCKS 5 reply, as text.
  String FBoundAddr;
  String FBoundPort;
  String FSocksUsercode;
  String FSocksPassword;
  TSocksAuthentication FSocksAuthentication = socksNoAuthentication;
  // Target port (host order), resolved from Port at every Connect.
  int FSocksTargetPort = 0;
  unsigned char FSocksRcvBuf[kSocksRcvBufSize] = {};
  int FSocksRcvCnt = 0;
  // Bytes that followed the SOCKS 5 reply in the same receipt.
  int FSocksLeftCnt = 0;
  int FSocksLeftPos = 0;

 private:
  bool SocksReceive(int Want);
  bool SocksCheckFieldLengths();
  bool SocksSend(const String& Data);
  bool SocksHandleMethodReply();
  bool SocksHandleAuthReply();
  bool SocksHandleConnect4Reply();
  bool SocksHandleConnect5Reply();
  bool SocksGranted();
};

// ---------------------------------------------------------------- line layer

using TLineLimitEvent = TEvent<TObject*, int, bool&>;

// Line mode: OnDataAvailable once per line ending with LineEnd (the line
// includes its terminator), read with Receive or ReceiveStr as usual. Acts
// only once the SOCKS exchange is over.
class TCustomLineWSocket : public TCustomSocksWSocket {
 public:
  explicit TCustomLineWSocket(TComponent* AOwner);
  ~TCustomLineWSocket() override;

  int GetRcvdCount() override;
  void WndProc(TMessage& MsgRec) override;

  bool LineMode() const { return FLineMode; }
  virtual void SetLineMode(bool Value);
  // Buffered bytes without a line end before OnLineLimitExceeded; 0 or less: no limit.
  int LineLimit() const { return FLineLimit; }
  void SetLineLimit(int Value) { FLineLimit = Value; }
  // An empty LineEnd delivers raw chunks although LineMode is on.
  const String& LineEnd() const { return FLineEnd; }
  void SetLineEnd(const String& Value);
  bool LineEcho() const { return FLineEcho; }
  void SetLineEcho(bool Value) { FLineEcho = Value; }
  bool LineEdit() const { return FLineEdit; }
  void SetLineEdit(bool Value) { FLineEdit = Value; }

  TLineLimitEvent OnLineLimitExceeded;

 protected:
  int DoRecv(void* Buffer, int BufferSize, int Flags) override;
  bool TriggerDataAvailable(WORD Error) override;
  void TriggerSessionClosed(WORD Error) override;
  void AssignDefaultValue() override;
  virtual void TriggerLineLimitExceeded(int Cnt, bool& ClearData);
  // Applies backspace and tab editing to the Len bytes just received at the
  // end of the buffer.
  virtual void EditLine(int& Len);

  bool FLineMode = false;
  int FLineLimit = 65536;
  String FLineEnd = "\r\n";
  bool FLineEcho = false;
  bool FLineEdit = false;
  // Received bytes; FRcvdCnt of them are buffered, the first FLineLength
  // form the line being delivered (0 when none).
  std::vector<char> FRcvdBuf;
  int FRcvdCnt = 0;
  int FLineLength = 0;
  bool FLineReceivedFlag = false;
  bool FLineClearData = false;
  // The buffered bytes may hold lines not searched for yet (a line left
  // untaken, a change of mode or terminator, bytes read in ordinary mode).
  bool FLineRescan = false;

 private:
  void WMTriggerDataAvailable();
  void GrowRcvdBuf(int Size);
  void RemoveRcvd(int Count);
  // Hands the buffered bytes out at close.
  void DeliverLastLine();
};

// ---------------------------------------------------------------- wait layer

// A procedure started by Synchronize.
using TWSocketSyncProc = TEvent<>;

// Result of a wait that timed out or met the application's end.
constexpr int kWSocketWaitTimeout = 12001;

// Blocking waits that process the thread's messages. A wait ends with
// kWSocketWaitTimeout when its socket is freed meanwhile.
class TCustomSyncWSocket : public TCustomLineWSocket {
 public:
  explicit TCustomSyncWSocket(TComponent* AOwner);
  ~TCustomSyncWSocket() override;

  // Clears DoneFlag, calls Proc when assigned, then WaitUntilReady.
  virtual int Synchronize(const TWSocketSyncProc& Proc, bool& DoneFlag);
  // 0 when DoneFlag became true, kWSocketWaitTimeout on time-out (the
  // time-out of the last ReadLine; 0 or less waits without limit) or when
  // the application ends.
  virtual int WaitUntilReady(bool& DoneFlag);
  // Waits for one line, terminator included. Timeout 0: 60 s; above 0:
  // seconds; below 0: milliseconds. On time-out Buffer holds the bytes
  // received so far.
  void ReadLine(int Timeout, String& Buffer);

 protected:
  int64_t FTimeout = 0;
  uint64_t FTimeStop = 0;
  String* FReadLineBuffer = nullptr;
  bool FReadLineTaken = false;

 private:
  void ReadLineDataAvailable(TObject* Sender, WORD Error);
};

class TWSocket : public TCustomSyncWSocket {
 public:
  using TCustomSyncWSocket::TCustomSyncWSocket;
};

class TSocksWSocket : public TWSocket {
 public:
  using TWSocket::TWSocket;
};

// ---------------------------------------------------------------- unit routines

// Four decimal parts of at most 255 separated by single dots, blanks allowed
// before and after.
bool WSocketIsDottedIP(const String& S);
// The address in network order; dotted addresses are converted, names
// looked up (blocking). ESocketException on failure.
u_long WSocketResolveHost(const String& InAddr);
// The port in host order; numbers are read, names looked up.
u_short WSocketResolvePort(const String& Port, const String& Proto);
int WSocketResolveProto(const String& Proto);
// Blocking lookups; the entry belongs to WinSock, nullptr when none.
hostent* WSocketGetHostByAddr(const String& Addr);
hostent* WSocketGetHostByName(const String& Name);
String WSocketResolveIp(const String& IpAddr);
String LocalHostName();
// The unit's own list of the local host's addresses.
TStrings* LocalIPList();
String WSocketErrorDesc(int ErrCode);
// The start-up record of the library (loaded for the call when needed).
WSADATA WinsockInfo();
void WSocketForceLoadWinsock();
void WSocketCancelForceLoadWinsock();
void WSocketUnloadWinsock();
// The entry point of a WinSock function; loads and starts the library on
// first use; nullptr for an empty name.
FARPROC WSocketGetProc(const String& ProcName);
// AllocateHWnd and DeallocateHWnd (hidden windows whose messages go to a
// method or an object) are the class library's, declared in
// classlib/Wndclass.h.
// Unregisters "XSocketWindowClass" once no window of it is left.
void WSocketUnregisterClass();

// The library calls behind the resolvers' name cache (WSocketResolvePort,
// WSocketResolveProto): each protocol name, and each service name per
// protocol, is looked up once per process, failures included. A test puts
// counting calls in their place; nullptr stands for the library's own.
// Setting them empties the cache.
using TWSocketGetServByName = servent* (*)(const char* Name, const char* Proto);
using TWSocketGetProtoByName = protoent* (*)(const char* Name);
void WSocketSetNameLookups(TWSocketGetServByName GetServByName, TWSocketGetProtoByName GetProtoByName);

// The WinSock functions, bound by name from "wsock32.dll" on first call.
int WSocket_WSAStartup(WORD wVersionRequired, WSADATA* lpWSAData);
int WSocket_WSACleanup();
void WSocket_WSASetLastError(int iError);
int WSocket_WSAGetLastError();
int WSocket_WSACancelAsyncRequest(HANDLE hAsyncTaskHandle);
HANDLE WSocket_WSAAsyncGetHostByName(HWND hWnd, u_int wMsg, const char* name, char* buf, int buflen);
HANDLE WSocket_WSAAsyncGetHostByAddr(HWND hWnd, u_int wMsg, const char* addr, int len, int type, char* buf,
                                     int buflen);
int WSocket_WSAAsyncSelect(TSocket s, HWND hWnd, u_int wMsg, long lEvent);
servent* WSocket_getservbyname(const char* name, const char* proto);
protoent* WSocket_getprotobyname(const char* name);
hostent* WSocket_gethostbyname(const char* name);
hostent* WSocket_gethostbyaddr(const char* addr, int len, int type);
int WSocket_gethostname(char* name, int len);
TSocket WSocket_socket(int af, int type, int protocol);
int WSocket_shutdown(TSocket s, int how);
int WSocket_setsockopt(TSocket s, int level, int optname, const char* optval, int optlen);
int WSocket_getsockopt(TSocket s, int level, int optname, char* optval, int* optlen);
int WSocket_sendto(TSocket s, const char* buf, int len, int flags, const sockaddr* to, int tolen);
int WSocket_send(TSocket s, const char* buf, int len, int flags);
u_short WSocket_ntohs(u_short netshort);
u_long WSocket_ntohl(u_long netlong);
int WSocket_listen(TSocket s, int backlog);
int WSocket_ioctlsocket(TSocket s, long cmd, u_long* argp);
char* WSocket_inet_ntoa(in_addr inaddr);
u_long WSocket_inet_addr(const char* cp);
u_short WSocket_htons(u_short hostshort);
u_long WSocket_htonl(u_long hostlong);
int WSocket_getsockname(TSocket s, sockaddr* name, int* namelen);
int WSocket_getpeername(TSocket s, sockaddr* name, int* namelen);
int WSocket_connect(TSocket s, const sockaddr* name, int namelen);
int WSocket_closesocket(TSocket s);
int WSocket_bind(TSocket s, const sockaddr* addr, int namelen);
TSocket WSocket_accept(TSocket s, sockaddr* addr, int* addrlen);
int WSocket_recv(TSocket s, char* buf, int len, int flags);
int WSocket_recvfrom(TSocket s, char* buf, int len, int flags, sockaddr* from, int* fromlen);
