// FTP client components.
//
// TCustomFtpCli talks to an FTP server through two TWSocket instances: the
// control connection (CommandSocket) and the data connection
// (TransferSocket). Every request is asynchronous: the caller starts it, the
// component sends commands and reads replies from the socket events, and the
// end is reported once through OnRequestDone, delivered by a message posted
// to the component's hidden window (never inside the call that started the
// request). TFtpClient adds blocking calls that start a request and pump
// messages until the component is ready again.
//
// How the parts fit:
// - Replies: ControlSocketDataAvailable assembles lines in a 4096-byte buffer
//   and dispatches the last line of each reply by ClientState: the banner
//   while ftpWaitingBanner, FNext while ftpWaitingResponse, display only
//   otherwise. A multi-line reply ("nnn-") ends only at a line that starts
//   with the same code followed by a blank or the line end.
// - One-command requests go through ExecAsync: accepted replies, FNext :=
//   NextExecAsync, which sets StatusCode, extracts results and reports
//   through TriggerRequestDone (or hands over to DoneAsync, as QUIT does).
// - Sequences: HighLevelAsync runs DoHighLevelAsync, which starts one step
//   of the remaining set each time the previous one reports success
//   (TriggerRequestDone runs NextRequest instead of reporting).
// - Local failures that must still complete a request (refused command
//   text, command while the control connection is closed, a step of a
//   sequence that cannot start) go through FailRequest: a reply-like text in
//   LastResponse and ErrorMessage and a posted OnRequestDone with the code.
// - Data connection: PortAsync listens (PORT) or asks for the server's
//   address (PASV, the 227 line kept in FPasvResponse). DoGetAsync (RETR,
//   LIST, NLST) and DoPutAppendAsync (STOR, APPE) run the transfer on
//   TransferSocket; its events go to the DataGet... and DataPut... handlers,
//   the replies to GetFirstReply/GetFinalReply and PutFirstReply/
//   PutFinalReply. A transfer ends once both its final reply and the close
//   of the data connection came (CheckTransferDone), or at the first
//   failing reply; ReportTransfer then reports it.
// - A failure on this side after the command went out (local file, data
//   connection, a cancel from OnProgress) is kept in FTransferFailCode and
//   FTransferFailText and reported instead of the server's reply, but only
//   once that reply came, so that it never answers the next command.
// - A download without resume leaves an existing local file untouched until
//   the server accepts (first 1xx reply or first data byte); a file the
//   download created is removed again when the request fails before that.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>

#include "classlib/Sets.h"
#include "protocols/Wsocket.h"

NEMBRA_EXCEPTION(FtpException, Exception);

// Messages of the component's hidden window.
constexpr UINT WM_FTP_REQUEST_DONE = WM_USER + 1;
constexpr UINT WM_FTP_SENDDATA = WM_USER + 2;

enum TFtpState {
  ftpNotConnected,
  ftpReady,
  ftpInternalReady,
  ftpDnsLookup,
  ftpConnected,
  ftpAbort,
  ftpInternalAbort,
  ftpWaitingBanner,
  ftpWaitingResponse
};

enum TFtpRequest {
  ftpNone,
  ftpOpenAsync,
  ftpUserAsync,
  ftpPassAsync,
  ftpCwdAsync,
  ftpConnectAsync,
  ftpReceiveAsync,
  ftpDirAsync,
  ftpLsAsync,
  ftpPortAsync,
  ftpGetAsync,
  ftpDirectoryAsync,
  ftpListAsync,
  ftpSystemAsync,
  ftpSystAsync,
  ftpQuitAsync,
  ftpAbortXferAsync,
  ftpSizeAsync,
  ftpPutAsync,
  ftpAppendAsync,
  ftpFileSizeAsync,
  ftpRqAbort,
  ftpMkdAsync,
  ftpRmdAsync,
  ftpRenameAsync,
  ftpDeleAsync,
  ftpRenAsync,
  ftpRenToAsync,
  ftpRenFromAsync,
  ftpDeleteAsync,
  ftpMkdirAsync,
  ftpRmdirAsync,
  ftpPwdAsync,
  ftpQuoteAsync,
  ftpCDupAsync,
  ftpDoQuoteAsync,
  ftpTransmitAsync,
  ftpTypeSetAsync,
  ftpRestAsync,
  ftpRestGetAsync,
  ftpRestartGetAsync,
  ftpRestPutAsync,
  ftpRestartPutAsync
};

// The steps of a sequence.
enum TFtpFct {
  ftpFctNone,
  ftpFctOpen,
  ftpFctUser,
  ftpFctPass,
  ftpFctCwd,
  ftpFctSize,
  ftpFctMkd,
  ftpFctRmd,
  ftpFctRenFrom,
  ftpFctRenTo,
  ftpFctGet,
  ftpFctDir,
  ftpFctQuit,
  ftpFctSyst,
  ftpFctDele,
  ftpFctPwd,
  ftpFctQuote,
  ftpFctPut,
  ftpFctTypeSet,
  ftpFctRest,
  ftpFctCDup,
  ftpFctLs,
  ftpFctAppend,
  ftpFctPort,
  ftpFctAbortXfer
};

enum TFtpOption { ftpAcceptLF, ftpNoAutoResumeAt };
enum TFtpShareMode { ftpShareCompat, ftpShareExclusive, ftpShareDenyWrite, ftpShareDenyRead, ftpShareDenyNone };
enum TFtpDisplayFileMode { ftpLineByLine, ftpBinary };
enum TFtpConnectionType { ftpDirect, ftpProxy, ftpSocks4, ftpSocks4A, ftpSocks5 };

using TFtpOptions = TSet<TFtpOption>;
using TFtpFctSet = TSet<TFtpFct>;

// Event types; the component passes itself as Sender.
using TFtpDisplay = TEvent<TObject*, String&>;
using TFtpCommand = TEvent<TObject*, String&>;
using TFtpProgress = TEvent<TObject*, int64_t, bool&>;
using TFtpRequestDone = TEvent<TObject*, TFtpRequest, WORD>;
using TFtpReadyToTransmit = TEvent<TObject*, bool&>;

// The data address of a PASV reply: six numbers 0-255 separated by commas,
// after the first "(" or else after the reply code, and a port other than
// 0 ("a.b.c.d" and the port). False for anything else.
bool ParsePasvReply(const String& line, String& addr, int& port);

class TCustomFtpCli : public TComponent, public TWindowObject {
 public:
  explicit TCustomFtpCli(TComponent* AOwner);
  ~TCustomFtpCli() override;

  // ---- connection and session
  virtual void OpenAsync();
  virtual void UserAsync();
  virtual void PassAsync();
  virtual void ConnectAsync();
  virtual void QuitAsync();
  // Local abort: closes both connections, sends nothing; a pending request
  // reports 426 "426 Operation aborted.".
  virtual void AbortAsync();

  // ---- transfers (data connection)
  virtual void GetAsync();
  virtual void ExecGetAsync();
  virtual void ReceiveAsync();
  virtual void PutAsync();
  virtual void ExecPutAsync();
  virtual void TransmitAsync();
  virtual void AppendAsync();
  virtual void ExecAppendAsync();
  virtual void AppendFileAsync();
  virtual void ExecDirAsync();
  virtual void DirAsync();
  virtual void ExecLsAsync();
  virtual void LsAsync();
  virtual void PortAsync();

  // ---- one-command requests and sequences
  virtual void TypeSetAsync();
  virtual void TypeBinaryAsync();
  virtual void TypeAsciiAsync();
  virtual void PwdAsync();
  virtual void CwdAsync();
  virtual void CDupAsync();
  virtual void DirectoryAsync();
  virtual void ListAsync();
  virtual void SystAsync();
  virtual void SystemAsync();
  virtual void SizeAsync();
  virtual void FileSizeAsync();
  virtual void MkdAsync();
  virtual void MkdirAsync();
  virtual void RmdAsync();
  virtual void RmdirAsync();
  virtual void DeleAsync();
  virtual void DeleteAsync();
  virtual void RenFromAsync();
  virtual void RenToAsync();
  virtual void RenAsync();
  virtual void RenameAsync();
  virtual void QuoteAsync();
  virtual void DoQuoteAsync();
  virtual void AbortXferAsync();
  virtual void RestAsync();
  virtual void RestGetAsync();
  virtual void RestartGetAsync();
  virtual void RestPutAsync();
  virtual void RestartPutAsync();

  // ---- published properties
  const String& HostName() const { return FHostName; }
  void SetHostName(const String& Value) { FHostName = Value; }
  const String& Port() const { return FPort; }
  void SetPort(const String& Value) { FPort = Value; }
  const String& LocalAddr() const { return FLocalAddr; }
  void SetLocalAddr(const String& Value) { FLocalAddr = Value; }
  const String& UserName() const { return FUserName; }
  void SetUserName(const String& Value) { FUserName = Value; }
  const String& PassWord() const { return FPassWord; }
  void SetPassWord(const String& Value) { FPassWord = Value; }
  const String& HostDirName() const { return FHostDirName; }
  void SetHostDirName(const String& Value) { FHostDirName = Value; }
  const String& HostFileName() const { return FHostFileName; }
  void SetHostFileName(const String& Value) { FHostFileName = Value; }
  const String& LocalFileName() const { return FLocalFileName; }
  // A non-empty name takes the place of a caller's stream.
  void SetLocalFileName(const String& Value);
  bool DisplayFileFlag() const { return FDisplayFileFlag; }
  void SetDisplayFileFlag(bool Value) { FDisplayFileFlag = Value; }
  bool GetBinary() const { return FTypeChar == 'I'; }
  bool Binary() const { return GetBinary(); }
  void SetBinary(bool Value) { FTypeChar = Value ? 'I' : 'A'; }
  const String& ErrorMessage() const { return FErrorMessage; }
  TFtpShareMode GetShareMode() const;
  TFtpShareMode ShareMode() const { return GetShareMode(); }
  void SetShareMode(TFtpShareMode Value);
  TFtpOptions Options() const { return FOptions; }
  void SetOptions(TFtpOptions Value) { FOptions = Value; }
  TFtpConnectionType GetConnectionType() const { return FConnectionType; }
  TFtpConnectionType ConnectionType() const { return GetConnectionType(); }
  // Refused while connected ("FTP component connected"); every type but
  // ftpDirect makes the data connections passive.
  void SetConnectionType(TFtpConnectionType Value);
  const String& ProxyServer() const { return FProxyServer; }
  void SetProxyServer(const String& Value) { FProxyServer = Value; }
  // SOCKS server of both connections. The sockets forget it at every close;
  // the component keeps it and gives it to each socket before it connects.
  const String& SocksServer() const { return FSocksServer; }
  void SetSocksServer(const String& Value);
  const String& SocksPort() const { return FSocksPort; }
  void SetSocksPort(const String& Value);
  const String& SocksUserCode() const { return FSocksUserCode; }
  void SetSocksUserCode(const String& Value);
  const String& SocksPassword() const { return FSocksPassword; }
  void SetSocksPassword(const String& Value);

  // ---- public state
  TWSocket* CommandSocket() const { return FControlSocket; }
  TWSocket* TransferSocket() const { return FDataSocket; }
  TFtpState ClientState() const { return FState; }
  int ReplyCode() const { return FReplyCode; }
  const String& LastResponse() const { return FLastResponse; }
  int64_t SizeReply() const { return FSizeReply; }
  const String& DirResult() const { return FDirResult; }
  int64_t RestartOffset() const { return FRestartOffset; }
  void SetRestartOffset(int64_t Value) { FRestartOffset = Value; }
  TStream* LocalStream() const { return FLocalStream; }
  // The caller's stream, used instead of LocalFileName; never freed here.
  void SetLocalStream(TStream* Stream);
  bool Passive() const { return FPassive; }
  // Only ftpDirect may leave passive mode.
  void SetPassive(bool Value);
  TFtpDisplayFileMode GetDisplayFileMode() const { return FDisplayFileMode; }
  TFtpDisplayFileMode DisplayFileMode() const { return GetDisplayFileMode(); }
  void SetDisplayFileMode(TFtpDisplayFileMode Value);
  // The control socket is not closed.
  bool GetConnected() const;
  bool Connected() const { return GetConnected(); }
  // Bytes moved by the current transfer.
  int64_t ByteCount() const { return FByteCount; }
  // The hidden window; its messages go to WndProc.
  HWND Handle() const { return FWindowHandle; }
  void WindowMessage(HWND Wnd, TMessage& Msg) override { WndProc(Msg); }

  // ---- events
  TFtpDisplay OnDisplay;
  TFtpDisplay OnDisplayFile;
  TFtpCommand OnCommand;
  TNotifyEvent OnResponse;
  TFtpProgress OnProgress;
  TSessionConnected OnSessionConnected;
  TSessionClosed OnSessionClosed;
  TFtpRequestDone OnRequestDone;
  TNotifyEvent OnStateChange;
  TFtpReadyToTransmit OnReadyToTransmit;
  TBgExceptionEvent OnBgException;
  TFtpDisplay OnError;

 protected:
  using TFtpNextProc = void (TCustomFtpCli::*)();

  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Fires OnCommand, then shows "> " + the command and sends it with CR LF.
  // Returns false when nothing was sent: the control socket is not
  // connected, or the text (as OnCommand left it) holds CR, LF or NUL.
  virtual bool SendCommand(String Cmd);
  virtual void TriggerDisplay(String Msg);
  virtual void TriggerReadyToTransmit(bool& bCancel);
  virtual void TriggerDisplayFile(String Msg);
  virtual void TriggerError(String Msg);
  // Before each block of a transfer; false when OnProgress asked to stop.
  virtual bool Progress();
  virtual void TransfertStats();
  virtual void WndProc(TMessage& MsgRec);
  virtual void FtpCliAllocateHWnd();
  virtual void FtpCliDeallocateHWnd();
  virtual void HandleBackGroundException(Exception& E);

  // Sends Cmd and waits for its reply; success when the reply is in
  // OkResponses (an empty list: any reply below 400).
  void ExecAsync(TFtpRequest RqType, const String& Cmd, std::initializer_list<int> OkResponses,
                 TFtpNextProc DoneAsync);
  void NextExecAsync();
  void DoneQuitAsync();
  void ExtractMoreResults();
  void HighLevelAsync(TFtpRequest RqType, TFtpFctSet Fcts);
  void DoHighLevelAsync();
  void TriggerRequestDone(WORD Error);
  // Completes the pending request at once (through the posted message)
  // with Code and the reply-like Text in LastResponse and ErrorMessage.
  void FailRequest(int Code, const String& Text);
  void WMFtpRequestDone(TMessage& Msg);
  virtual void WMFtpSendData(TMessage& Msg);
  void StateChange(TFtpState NewState);
  void TriggerStateChange();
  void DisplayLastResponse();
  // Raises FtpException with Msg, or fires OnError when it is assigned.
  void HandleError(const String& Msg);
  bool CheckReady();
  void SetErrorMessage();
  void DestroyLocalStream();
  // A component-owned stream is freed (a caller's stays); after a failure a
  // file that this download created and the server never accepted is
  // removed.
  void ReleaseLocalFile(bool Failed);
  // Closes the control connection from this side (QUIT, refused banner):
  // the close reports the pending request with StatusCode.
  void CloseControlLocally();
  void CallHandleCurrentException();
  // Gives a socket the SOCKS server, port, level and account before it
  // connects (call it for TransferSocket too).
  void ApplySocks(TWSocket* Socket);

  // Control socket events.
  void ControlSocketDnsLookupDone(TObject* Sender, WORD Error);
  void ControlSocketSessionConnected(TObject* Sender, WORD Error);
  void ControlSocketDataAvailable(TObject* Sender, WORD Error);
  void ControlSocketSessionClosed(TObject* Sender, WORD Error);
  // One complete line of the control connection, already in LastResponse.
  // Returns false when the rest of the buffer must be dropped.
  bool HandleResponseLine(WORD Error);

  // Transfers.
  void DoGetAsync(TFtpRequest RqType);
  void DoPutAppendAsync();
  void GetFirstReply();
  void GetFinalReply();
  void PutFirstReply();
  void PutFinalReply();
  void DataGetSessionAvailable(TObject* Sender, WORD Error);
  void DataGetSessionConnected(TObject* Sender, WORD Error);
  void DataGetDataAvailable(TObject* Sender, WORD Error);
  void DataGetSessionClosed(TObject* Sender, WORD Error);
  void DataPutSessionAvailable(TObject* Sender, WORD Error);
  void DataPutSessionConnected(TObject* Sender, WORD Error);
  void DataPutDataAvailable(TObject* Sender, WORD Error);
  void DataPutDataSent(TObject* Sender, WORD Error);
  void DataPutSessionClosed(TObject* Sender, WORD Error);
  // Clears the transfer state before a transfer starts.
  void ResetTransfer();
  // The data socket's events go nowhere any more.
  void DetachDataSocket();
  // Connects TransferSocket to the address of the saved PASV reply; false
  // (and the request reported) when the reply holds no valid address.
  bool ConnectPassive(const TSessionConnected& Connected);
  // Takes a connection on the listening TransferSocket. A connection from
  // any other host than the server's is refused (INVALID_SOCKET) and the
  // socket keeps listening.
  TSocket AcceptServerConnection();
  // The server accepted the download: an existing file is emptied now.
  void DownloadAccepted();
  // Records the first failure made on this side during a transfer.
  void SetTransferFailure(int Code, const String& Text);
  // Final reply and data close both came: statistics, then the report.
  void CheckTransferDone();
  // Reports the transfer: this side's failure first, else ServerCode (the
  // failing reply, 0 for none), else the data connection's close error.
  void ReportTransfer(int ServerCode);
  void SendTransferCommand(const String& Cmd, TFtpNextProc Next);
  void TransferFinalReply(bool Download);

  HWND FWindowHandle = nullptr;
  TWSocket* FControlSocket = nullptr;
  TWSocket* FDataSocket = nullptr;
  // Cleared when the component is destroyed; waits keep a copy.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);

  // Published values.
  String FHostName;
  String FPort = "ftp";
  String FLocalAddr = "0.0.0.0";
  String FUserName;
  String FPassWord;
  String FHostDirName;
  String FHostFileName;
  String FLocalFileName;
  bool FDisplayFileFlag = false;
  char FTypeChar = 'I';
  String FErrorMessage;
  int FShareMode = fmShareExclusive;
  TFtpOptions FOptions{ftpAcceptLF};
  TFtpConnectionType FConnectionType = ftpDirect;
  String FProxyServer;
  // Port of the FTP proxy; empty means Port.
  String FProxyPort = "ftp";
  String FSocksServer;
  String FSocksPort;
  String FSocksUserCode;
  String FSocksPassword;

  // Request state.
  TFtpState FState = ftpReady;
  TFtpRequest FRequestType = ftpNone;
  WORD FStatusCode = 0;
  bool FRequestDoneFlag = false;
  bool FConnected = false;
  TFtpNextProc FNext = nullptr;
  TFtpNextProc FDoneAsync = nullptr;
  TFtpNextProc FNextRequest = nullptr;
  // Accepted replies of the pending command, 0 after the last.
  int FOkResponses[17] = {};
  // The step recorded by the last request started.
  TFtpFct FFct = ftpFctNone;
  int FReplyCode = 0;
  String FLastResponse;
  int64_t FSizeReply = 0;
  String FDirResult;
  String FDnsResult;
  // Counts HandleError calls, so that callers can tell a refused start.
  unsigned FHandleErrorCount = 0;
  String FHandledError;

  // Control connection receive buffer.
  static constexpr int kRcvBufSize = 4096;
  char FReceiveBuffer[kRcvBufSize] = {};
  int FReceiveLen = 0;
  // Code of the multi-line reply being received, empty outside one.
  String FMultiLineCode;
  // The rest of an over-long line is being skipped.
  bool FSkippingLongLine = false;
  bool FInDataAvailable = false;
  bool FDataDeferred = false;
  // Set while this side closes the control connection.
  bool FLocalClose = false;
  // Counts connection attempts; a line handler that sees it change stops.
  unsigned FSessionSerial = 0;

  // Sequence state.
  TFtpFctSet FFctSet;
  bool FHighLevelFlag = false;
  WORD FHighLevelResult = 0;
  bool FSequenceStarting = false;
  String FLastResponseSave;
  int FStatusCodeSave = -1;

  // Data connection and transfer state.
  bool FPassive = false;
  int64_t FRestartOffset = 0;
  int64_t FByteCount = 0;
  uint64_t FStartTime = 0;
  uint64_t FStopTime = 0;
  String FPasvResponse;
  TStream* FLocalStream = nullptr;
  bool FStreamFlag = false;
  TFtpDisplayFileMode FDisplayFileMode = ftpLineByLine;
  // The REST of the running sequence was sent (not skipped for offset 0).
  bool FRestSent = false;
  // Address (network order) the server's data connections must come from.
  u_long FServerAddr = 0;
  // "RETR", "LIST" or "NLST".
  String FDataCommand;
  // The final reply came; the data connection closed (with FDataError).
  bool FTransferFinal = false;
  bool FDataClosed = false;
  WORD FDataError = 0;
  // Upload: a 1xx reply came; the data connection is up; end of the file
  // reached; APPE instead of STOR.
  bool FPutAccepted = false;
  bool FPutDataOpen = false;
  bool FEofFlag = false;
  bool FAppendFlag = false;
  // Download: the server accepted (1xx reply or data); an existing file
  // still waits to be emptied; the file this download created.
  bool FGetAccepted = false;
  bool FTruncatePending = false;
  String FCreatedFile;
  // First failure made on this side during the transfer (0: none).
  int FTransferFailCode = 0;
  String FTransferFailText;
  static constexpr int kSendBlockSize = 1460;
  static constexpr int kRecvBlockSize = 4096;
  char FSendBuffer[kSendBlockSize] = {};
  char FRecvBuffer[kRecvBlockSize] = {};

 private:
  void RunStep(TFtpFct Fct, TFtpNextProc Proc);
  void AbandonSequence();
};

class TFtpClient : public TCustomFtpCli {
 public:
  explicit TFtpClient(TComponent* AOwner);

  // Seconds a blocking call waits; 0 or less waits for ever.
  int Timeout() const { return FTimeout; }
  void SetTimeout(int Value) { FTimeout = Value; }
  bool MultiThreaded() const { return FMultiThreaded; }
  void SetMultiThreaded(bool Value) { FMultiThreaded = Value; }

  // Blocking calls: each starts its asynchronous request and waits until
  // the component is ready again; true when the request succeeded.
  bool Open() { return Synchronize(&TCustomFtpCli::OpenAsync); }
  bool User() { return Synchronize(&TCustomFtpCli::UserAsync); }
  bool Pass() { return Synchronize(&TCustomFtpCli::PassAsync); }
  bool Connect() { return Synchronize(&TCustomFtpCli::ConnectAsync); }
  bool Cwd() { return Synchronize(&TCustomFtpCli::CwdAsync); }
  bool Pwd() { return Synchronize(&TCustomFtpCli::PwdAsync); }
  bool CDup() { return Synchronize(&TCustomFtpCli::CDupAsync); }
  bool TypeSet() { return Synchronize(&TCustomFtpCli::TypeSetAsync); }
  bool TypeBinary();
  bool TypeAscii();
  bool Get() { return Synchronize(&TCustomFtpCli::GetAsync); }
  bool Put() { return Synchronize(&TCustomFtpCli::PutAsync); }
  bool RestPut() { return Synchronize(&TCustomFtpCli::RestPutAsync); }
  bool RestartPut() { return Synchronize(&TCustomFtpCli::RestartPutAsync); }
  bool Append() { return Synchronize(&TCustomFtpCli::AppendAsync); }
  bool Quit() { return Synchronize(&TCustomFtpCli::QuitAsync); }
  bool Abort() { return Synchronize(&TCustomFtpCli::AbortAsync); }
  bool Receive() { return Synchronize(&TCustomFtpCli::ReceiveAsync); }
  bool Transmit() { return Synchronize(&TCustomFtpCli::TransmitAsync); }
  bool AppendFile() { return Synchronize(&TCustomFtpCli::AppendFileAsync); }
  bool Dir() { return Synchronize(&TCustomFtpCli::DirAsync); }
  bool Directory() { return Synchronize(&TCustomFtpCli::DirectoryAsync); }
  bool Ls() { return Synchronize(&TCustomFtpCli::LsAsync); }
  bool List() { return Synchronize(&TCustomFtpCli::ListAsync); }
  bool Mkd() { return Synchronize(&TCustomFtpCli::MkdAsync); }
  bool Mkdir() { return Synchronize(&TCustomFtpCli::MkdirAsync); }
  bool Ren() { return Synchronize(&TCustomFtpCli::RenAsync); }
  bool Rename() { return Synchronize(&TCustomFtpCli::RenameAsync); }
  bool Dele() { return Synchronize(&TCustomFtpCli::DeleAsync); }
  bool Delete() { return Synchronize(&TCustomFtpCli::DeleteAsync); }
  bool Rmd() { return Synchronize(&TCustomFtpCli::RmdAsync); }
  bool Rmdir() { return Synchronize(&TCustomFtpCli::RmdirAsync); }
  bool Syst() { return Synchronize(&TCustomFtpCli::SystAsync); }
  bool System() { return Synchronize(&TCustomFtpCli::SystemAsync); }
  bool Size() { return Synchronize(&TCustomFtpCli::SizeAsync); }
  bool FileSize() { return Synchronize(&TCustomFtpCli::FileSizeAsync); }
  bool AbortXfer() { return Synchronize(&TCustomFtpCli::AbortXferAsync); }
  bool Quote() { return Synchronize(&TCustomFtpCli::QuoteAsync); }
  bool DoQuote() { return Synchronize(&TCustomFtpCli::DoQuoteAsync); }
  bool RestGet() { return Synchronize(&TCustomFtpCli::RestGetAsync); }
  bool RestartGet() { return Synchronize(&TCustomFtpCli::RestartGetAsync); }

  // Runs Proc (an asynchronous request), then WaitUntilReady; false when
  // either raised or the request was refused.
  virtual bool Synchronize(void (TCustomFtpCli::*Proc)());
  // Pumps messages until the component is ready; on time-out (or when the
  // application ends) aborts with "426 Timeout".
  virtual bool WaitUntilReady();

 protected:
  bool Progress() override;
  void MessagePump();

  int FTimeout = 15;
  bool FMultiThreaded = false;
  // Tick count at which WaitUntilReady gives up; moved on by Progress.
  uint64_t FDeadline = 0;
};
