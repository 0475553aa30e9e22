#include "Ftpcli.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The code of a reply line: blanks, tabs, CR and LF skipped, an optional
// sign, then decimal digits. `end` receives the index behind the digits.
int ParseReplyCode(const String& line, size_t& end) {
  size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
  bool neg = false;
  if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
    neg = line[i] == '-';
    ++i;
  }
  int64_t v = 0;
  while (i < line.size() && IsDigit(line[i])) {
    if (v < 1000000000) v = v * 10 + (line[i] - '0');
    ++i;
  }
  end = i;
  return static_cast<int>(neg ? -v : v);
}

// The decimal number behind the reply code (SIZE), 0 when there is none.
int64_t ParseNumberAfterCode(const String& line) {
  size_t i = 0;
  ParseReplyCode(line, i);
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
  bool neg = false;
  if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
    neg = line[i] == '-';
    ++i;
  }
  uint64_t v = 0;
  while (i < line.size() && IsDigit(line[i])) {
    unsigned d = static_cast<unsigned>(line[i] - '0');
    if (v > (static_cast<uint64_t>(INT64_MAX) - d) / 10) return 0;  // does not fit: no size
    v = v * 10 + d;
    ++i;
  }
  return neg ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
}

// The quoted directory name behind the reply code. A doubled quote stands
// for one quote; a lone quote followed by anything but a blank or the line
// end belongs to the name too (some servers do not double quotes).
String ParseQuotedDir(const String& line) {
  size_t i = 0;
  ParseReplyCode(line, i);
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
  if (i >= line.size() || line[i] != '"') return String();
  String dir;
  for (++i; i < line.size(); ++i) {
    char c = line[i];
    if (c != '"') {
      dir += c;
      continue;
    }
    if (i + 1 < line.size() && line[i + 1] == '"') {
      dir += '"';
      ++i;
      continue;
    }
    if (i + 1 >= line.size() || line[i + 1] == ' ' || line[i + 1] == '\t' || line[i + 1] == '\r' ||
        line[i + 1] == '\n')
      break;
    dir += '"';
  }
  return dir;
}

// A command text that would reach the server as more than one line.
bool HoldsLineBreak(const String& s) { return s.find_first_of(String("\r\n\0", 3)) != String::npos; }

// Size of a local file found by a directory search, -1 when there is none.
int64_t LocalFileSize(const String& name) {
  if (name.empty()) return -1;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(name.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return -1;
  FindClose(h);
  return static_cast<int64_t>((static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow);
}

String WinsockErrorText(WORD Error) {
  return WSocketErrorDesc(Error) + " (Winsock error #" + IntToStr(Error) + ")";
}

}  // namespace

// ---------------------------------------------------------------- construction

TCustomFtpCli::TCustomFtpCli(TComponent* AOwner) : TComponent(AOwner) {
  FtpCliAllocateHWnd();
  FControlSocket = new TWSocket(this);
  FDataSocket = new TWSocket(this);
  FControlSocket->OnSessionConnected = {this, &TCustomFtpCli::ControlSocketSessionConnected};
  FControlSocket->OnDataAvailable = {this, &TCustomFtpCli::ControlSocketDataAvailable};
  FControlSocket->OnSessionClosed = {this, &TCustomFtpCli::ControlSocketSessionClosed};
  FControlSocket->OnDnsLookupDone = {this, &TCustomFtpCli::ControlSocketDnsLookupDone};
}

TCustomFtpCli::~TCustomFtpCli() {
  *FAlive = false;
  // The sockets close quietly from here on.
  Destroying();
  FtpCliDeallocateHWnd();
  DestroyLocalStream();
}

void TCustomFtpCli::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FControlSocket) FControlSocket = nullptr;
  if (AComponent == FDataSocket) FDataSocket = nullptr;
}

void TCustomFtpCli::FtpCliAllocateHWnd() { FWindowHandle = AllocateHWnd(this); }

void TCustomFtpCli::FtpCliDeallocateHWnd() {
  HWND h = FWindowHandle;
  FWindowHandle = nullptr;
  DeallocateHWnd(h);
}

// ---------------------------------------------------------------- properties

void TCustomFtpCli::SetLocalFileName(const String& Value) {
  FLocalFileName = Value;
  if (!Value.empty()) FStreamFlag = false;
}

void TCustomFtpCli::SetLocalStream(TStream* Stream) {
  FLocalStream = Stream;
  FStreamFlag = Stream != nullptr;
  if (FStreamFlag) FLocalFileName.clear();
}

void TCustomFtpCli::DestroyLocalStream() {
  if (FLocalStream && !FStreamFlag) {
    TStream* s = FLocalStream;
    FLocalStream = nullptr;
    s->Free();
  }
  FLocalStream = nullptr;
}

void TCustomFtpCli::SetShareMode(TFtpShareMode Value) {
  switch (Value) {
    case ftpShareCompat: FShareMode = fmShareCompat; break;
    case ftpShareExclusive: FShareMode = fmShareExclusive; break;
    case ftpShareDenyWrite: FShareMode = fmShareDenyWrite; break;
    case ftpShareDenyRead: FShareMode = fmShareDenyRead; break;
    case ftpShareDenyNone: FShareMode = fmShareDenyNone; break;
    default: FShareMode = fmShareExclusive;
  }
}

TFtpShareMode TCustomFtpCli::GetShareMode() const {
  switch (FShareMode) {
    case fmShareCompat: return ftpShareCompat;
    case fmShareDenyWrite: return ftpShareDenyWrite;
    case fmShareDenyRead: return ftpShareDenyRead;
    case fmShareDenyNone: return ftpShareDenyNone;
    default: return ftpShareExclusive;
  }
}

void TCustomFtpCli::SetDisplayFileMode(TFtpDisplayFileMode Value) {
  FDisplayFileMode = (Value == ftpBinary) ? ftpBinary : ftpLineByLine;
}

void TCustomFtpCli::SetConnectionType(TFtpConnectionType Value) {
  if (FConnected) {
    HandleError("FTP component connected");
    return;
  }
  switch (Value) {
    case ftpDirect:
    case ftpProxy:
    case ftpSocks4:
    case ftpSocks4A:
    case ftpSocks5: FConnectionType = Value; break;
    default: FConnectionType = ftpDirect;
  }
  for (TWSocket* sock : {FControlSocket, FDataSocket}) {
    if (!sock) continue;
    switch (FConnectionType) {
      case ftpSocks4: sock->SetSocksLevel("4"); break;
      case ftpSocks4A: sock->SetSocksLevel("4A"); break;
      case ftpSocks5: sock->SetSocksLevel("5"); break;
      default: break;
    }
    bool socks = FConnectionType == ftpSocks4 || FConnectionType == ftpSocks4A || FConnectionType == ftpSocks5;
    sock->SetSocksAuthentication(socks ? socksAuthenticateUsercode : socksNoAuthentication);
  }
  if (FConnectionType != ftpDirect) FPassive = true;
}

void TCustomFtpCli::SetSocksServer(const String& Value) {
  FSocksServer = Value;
  if (FControlSocket) FControlSocket->SetSocksServer(Value);
  if (FDataSocket) FDataSocket->SetSocksServer(Value);
}

void TCustomFtpCli::SetSocksPort(const String& Value) {
  FSocksPort = Value;
  if (FControlSocket) FControlSocket->SetSocksPort(Value);
  if (FDataSocket) FDataSocket->SetSocksPort(Value);
}

void TCustomFtpCli::SetSocksUserCode(const String& Value) {
  FSocksUserCode = Value;
  if (FControlSocket) FControlSocket->SetSocksUsercode(Value);
  if (FDataSocket) FDataSocket->SetSocksUsercode(Value);
}

void TCustomFtpCli::SetSocksPassword(const String& Value) {
  FSocksPassword = Value;
  if (FControlSocket) FControlSocket->SetSocksPassword(Value);
  if (FDataSocket) FDataSocket->SetSocksPassword(Value);
}

void TCustomFtpCli::ApplySocks(TWSocket* Socket) {
  if (!Socket || FSocksServer.empty()) return;
  Socket->SetSocksServer(FSocksServer);
  Socket->SetSocksPort(FSocksPort);
  switch (FConnectionType) {
    case ftpSocks4: Socket->SetSocksLevel("4"); break;
    case ftpSocks4A: Socket->SetSocksLevel("4A"); break;
    case ftpSocks5: Socket->SetSocksLevel("5"); break;
    default: break;  // the socket's own default level
  }
  Socket->SetSocksUsercode(FSocksUserCode);
  Socket->SetSocksPassword(FSocksPassword);
}

void TCustomFtpCli::SetPassive(bool Value) { FPassive = (FConnectionType == ftpDirect) ? Value : true; }

bool TCustomFtpCli::GetConnected() const { return FControlSocket && FControlSocket->State() != wsClosed; }

// ---------------------------------------------------------------- events and errors

void TCustomFtpCli::TriggerDisplay(String Msg) {
  if (OnDisplay) OnDisplay(this, Msg);
}

void TCustomFtpCli::TriggerDisplayFile(String Msg) {
  if (OnDisplayFile) OnDisplayFile(this, Msg);
}

void TCustomFtpCli::TriggerError(String Msg) {
  if (OnError) OnError(this, Msg);
}

void TCustomFtpCli::TriggerReadyToTransmit(bool& bCancel) {
  if (OnReadyToTransmit) OnReadyToTransmit(this, bCancel);
}

void TCustomFtpCli::DisplayLastResponse() { TriggerDisplay("< " + FLastResponse); }

void TCustomFtpCli::StateChange(TFtpState NewState) {
  if (FState == NewState) return;
  FState = NewState;
  TriggerStateChange();
}

void TCustomFtpCli::TriggerStateChange() {
  if (OnStateChange) OnStateChange(this);
}

void TCustomFtpCli::HandleError(const String& Msg) {
  ++FHandleErrorCount;
  FHandledError = Msg;
  if (!OnError) throw FtpException(Msg);
  TriggerError(Msg);
}

bool TCustomFtpCli::CheckReady() {
  if (FState == ftpReady || FState == ftpInternalReady) return true;
  HandleError("FTP component not ready");
  return false;
}

void TCustomFtpCli::SetErrorMessage() {
  if (FErrorMessage.empty()) FErrorMessage = FLastResponse;
}

void TCustomFtpCli::HandleBackGroundException(Exception& E) {
  // What leaves here (the silent abort, a failing OnBgException) leaves the
  // window procedure for the application, which ignores the silent abort.
  bool canClose = true;
  if (OnBgException) OnBgException(this, E, canClose);
  if (canClose) ::Abort();
}

void TCustomFtpCli::CallHandleCurrentException() {
  DispatchCurrentException([this](Exception& e) { HandleBackGroundException(e); });
}

// ---------------------------------------------------------------- hidden window

void TCustomFtpCli::WndProc(TMessage& MsgRec) {
  if (IsDestroying()) {
    MsgRec.Result = DefWindowProcA(FWindowHandle, MsgRec.Msg, MsgRec.WParam, MsgRec.LParam);
    return;
  }
  try {
    switch (MsgRec.Msg) {
      case WM_FTP_REQUEST_DONE: WMFtpRequestDone(MsgRec); break;
      case WM_FTP_SENDDATA: WMFtpSendData(MsgRec); break;
      default: MsgRec.Result = DefWindowProcA(FWindowHandle, MsgRec.Msg, MsgRec.WParam, MsgRec.LParam);
    }
  } catch (...) {
    CallHandleCurrentException();
  }
}

void TCustomFtpCli::WMFtpRequestDone(TMessage& Msg) {
  if (OnRequestDone) OnRequestDone(this, FRequestType, LOWORD(Msg.LParam));
}

// ---------------------------------------------------------------- request completion

void TCustomFtpCli::TriggerRequestDone(WORD Error) {
  if (FRequestDoneFlag) return;
  FRequestDoneFlag = true;
  if (Error == 0 && FNextRequest) {
    // A PASV that leads straight into STOR keeps the state; every other
    // step (USER, TYPE, REST, ...) must find the component ready.
    const bool pasvIntoPut =
        FPassive && FFct == ftpFctPort && FFctSet.Contains(ftpFctPut) && !FFctSet.Contains(ftpFctRest);
    if (FState != ftpAbort && !pasvIntoPut) StateChange(ftpInternalReady);
    (this->*FNextRequest)();
    return;
  }
  StateChange(ftpReady);
  // Nothing of the data connection reaches the handlers after the report.
  DetachDataSocket();
  if (FDataSocket && FDataSocket->State() != wsClosed) FDataSocket->Close();
  ReleaseLocalFile(Error != 0);
  if (FHighLevelFlag && FStatusCodeSave >= 0) {
    FLastResponse = FLastResponseSave;
    FReplyCode = FStatusCodeSave;
  }
  FHighLevelFlag = false;
  FNextRequest = nullptr;
  if (FWindowHandle) PostMessageA(FWindowHandle, WM_FTP_REQUEST_DONE, 0, static_cast<LPARAM>(Error));
}

void TCustomFtpCli::FailRequest(int Code, const String& Text) {
  FLastResponse = Text;
  FReplyCode = Code;
  FStatusCode = static_cast<WORD>(Code);
  SetErrorMessage();
  FNext = nullptr;
  FDoneAsync = nullptr;
  TriggerRequestDone(static_cast<WORD>(Code));
}

// ---------------------------------------------------------------- control connection

void TCustomFtpCli::OpenAsync() {
  if (!CheckReady()) return;
  if (FConnected) {
    HandleError("FTP component already connected");
    return;
  }
  if (!FHighLevelFlag) FRequestType = ftpOpenAsync;
  FRequestDoneFlag = false;
  FReceiveLen = 0;
  FMultiLineCode.clear();
  FSkippingLongLine = false;
  FStatusCode = 0;
  FDnsResult.clear();
  ++FSessionSerial;
  StateChange(ftpDnsLookup);
  try {
    FControlSocket->DnsLookup(FConnectionType == ftpProxy ? FProxyServer : FHostName);
  } catch (...) {
    if (FState == ftpDnsLookup) StateChange(ftpReady);
    throw;
  }
}

void TCustomFtpCli::ControlSocketDnsLookupDone(TObject*, WORD Error) {
  if (FState == ftpAbort) {
    // AbortAsync cancelled the lookup.
    if (!FRequestDoneFlag) {
      FErrorMessage = "426 Operation aborted.";
      FStatusCode = 426;
      TriggerRequestDone(426);
    }
    return;
  }
  if (FState != ftpDnsLookup) return;
  if (Error != 0) {
    FLastResponse = "500 " + WinsockErrorText(Error);
    FReplyCode = 500;
    FStatusCode = 500;
    SetErrorMessage();
    TriggerRequestDone(Error);
    return;
  }
  FDnsResult = FControlSocket->DnsResult();
  try {
    FControlSocket->SetAddr(FDnsResult);
    FControlSocket->SetLocalAddr(FLocalAddr);
    FControlSocket->SetProto("tcp");
    if (FConnectionType == ftpProxy && !FProxyPort.empty())
      FControlSocket->SetPort(FProxyPort);
    else
      FControlSocket->SetPort(FPort);
    ApplySocks(FControlSocket);
    StateChange(ftpWaitingBanner);
    FControlSocket->Connect();
  } catch (Exception& e) {
    // A refused connect (bad port, local address, ...) ends the request.
    FLastResponse = "500 " + e.Message;
    FReplyCode = 500;
    FStatusCode = 500;
    SetErrorMessage();
    FNextRequest = nullptr;
    TriggerRequestDone(500);
    if (FControlSocket->State() != wsClosed) CloseControlLocally();
    StateChange(ftpReady);
  }
}

void TCustomFtpCli::ControlSocketSessionConnected(TObject*, WORD Error) {
  if (Error != 0) {
    FLastResponse = "500 " + WinsockErrorText(Error);
    FReplyCode = 500;
    FStatusCode = 500;
    SetErrorMessage();
    FNextRequest = nullptr;
    TriggerRequestDone(Error);
    CloseControlLocally();
    StateChange(ftpReady);
    return;
  }
  FConnected = true;
}

void TCustomFtpCli::CloseControlLocally() {
  if (!FControlSocket) return;
  FLocalClose = true;
  TFinally guard([&] { FLocalClose = false; });
  FControlSocket->Close();
}

void TCustomFtpCli::ControlSocketDataAvailable(TObject*, WORD Error) {
  if (FInDataAvailable) {
    // A handler below pumps messages: the data waits for the outer call,
    // which asks for it again when it is done.
    FDataDeferred = true;
    return;
  }
  FInDataAvailable = true;
  struct TLeave {
    TCustomFtpCli* self;
    ~TLeave() {
      self->FInDataAvailable = false;
      if (self->FDataDeferred) {
        self->FDataDeferred = false;
        TWSocket* s = self->FControlSocket;
        if (s && s->State() == wsConnected && s->Handle())
          PostMessageA(s->Handle(), WM_ASYNCSELECT, static_cast<WPARAM>(s->HSocket()), MAKELPARAM(FD_READ, 0));
      }
    }
  } leave{this};

  int room = kRcvBufSize - 1 - FReceiveLen;
  int len = FControlSocket->Receive(FReceiveBuffer + FReceiveLen, room);
  if (FRequestType == ftpRqAbort) return;
  if (len == 0) {
    // The server closed the connection.
    FControlSocket->Close();
    return;
  }
  if (len < 0) return;
  FReceiveLen += len;
  FReceiveBuffer[FReceiveLen] = '\0';

  const unsigned serial = FSessionSerial;
  while (FReceiveLen > 0) {
    char* buf = FReceiveBuffer;
    int lineEnd = -1;  // index of the first byte of the terminator
    int termLen = 0;
    if (FOptions.Contains(ftpAcceptLF)) {
      auto* lf = static_cast<char*>(std::memchr(buf, '\n', static_cast<size_t>(FReceiveLen)));
      if (lf) {
        lineEnd = static_cast<int>(lf - buf);
        termLen = 1;
      }
    } else {
      for (int i = 0; i + 1 < FReceiveLen; ++i)
        if (buf[i] == '\r' && buf[i + 1] == '\n') {
          lineEnd = i;
          termLen = 2;
          break;
        }
    }
    bool overLong = false;
    if (lineEnd < 0) {
      if (FReceiveLen < kRcvBufSize - 1) break;  // wait for the rest of the line
      // The buffer is full without a line end: its content is the line, the
      // rest of that line is skipped when it comes.
      if (FSkippingLongLine) {
        FReceiveLen = 0;
        FReceiveBuffer[0] = '\0';
        break;
      }
      lineEnd = FReceiveLen;
      termLen = 0;
      overLong = true;
    }
    int consumed = lineEnd + termLen;
    bool skipped = FSkippingLongLine;
    String line(buf, static_cast<size_t>(lineEnd));
    std::memmove(buf, buf + consumed, static_cast<size_t>(FReceiveLen - consumed));
    FReceiveLen -= consumed;
    if (FReceiveLen < 0) FReceiveLen = 0;
    buf[FReceiveLen] = '\0';
    FSkippingLongLine = overLong;
    if (skipped) continue;  // the tail of an over-long line

    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    FLastResponse = line;
    if (OnResponse) OnResponse(this);
    if (!HandleResponseLine(Error)) break;
    // A handler closed the connection or opened a new one.
    if (serial != FSessionSerial || !FControlSocket || FControlSocket->State() != wsConnected) break;
  }
}

bool TCustomFtpCli::HandleResponseLine(WORD Error) {
  const String& line = FLastResponse;
  // Is this the last line of a reply? After "nnn-" only "nnn" followed by a
  // blank or the line end closes the reply; every other line is text.
  bool final = false;
  size_t end = 0;
  int code = 0;
  if (!FMultiLineCode.empty()) {
    size_t n = FMultiLineCode.size();
    if (line.compare(0, n, FMultiLineCode) == 0 && (line.size() == n || line[n] == ' ')) {
      FMultiLineCode.clear();
      final = true;
      code = ParseReplyCode(line, end);
    }
  } else if (!line.empty() && IsDigit(line[0])) {
    code = ParseReplyCode(line, end);
    if (end < line.size() && line[end] == '-')
      FMultiLineCode = line.substr(0, end);
    else
      final = true;
  }

  switch (FState) {
    case ftpWaitingBanner:
      DisplayLastResponse();
      if (!final) return true;
      FReplyCode = code;
      if (code == 220) {
        StateChange(ftpConnected);
        if (OnSessionConnected) OnSessionConnected(this, Error);
        // In a sequence this runs the next step.
        TriggerRequestDone(0);
        return true;
      }
      SetErrorMessage();
      FStatusCode = static_cast<WORD>(code);
      CloseControlLocally();
      return false;
    case ftpWaitingResponse:
      if (!final) {
        DisplayLastResponse();
        return true;
      }
      FReplyCode = code;
      if (!FNext) {
        HandleError("Program error: FNext is nil");
        return true;
      }
      (this->*FNext)();
      return true;
    default:
      DisplayLastResponse();
      return true;
  }
}

void TCustomFtpCli::ControlSocketSessionClosed(TObject*, WORD Error) {
  const bool local = FLocalClose;
  FReceiveLen = 0;
  FMultiLineCode.clear();
  FSkippingLongLine = false;
  if (FConnected) {
    FConnected = false;
    if (FState != ftpAbort) StateChange(ftpNotConnected);
    if (OnSessionClosed) OnSessionClosed(this, Error);
  }
  if (FState != ftpAbort) StateChange(ftpInternalReady);
  if (FRequestType == ftpRqAbort) return;
  if (FState == ftpAbort) {
    if (!FRequestDoneFlag) {
      FErrorMessage = "426 Operation aborted.";
      FStatusCode = 426;
    }
  } else if (Error != 0) {
    FLastResponse = "500 Control connection closed. " + WinsockErrorText(Error);
    FReplyCode = 500;
    FStatusCode = 500;
    SetErrorMessage();
  } else if (!local && !FRequestDoneFlag) {
    // The server went away while a reply was awaited.
    FLastResponse = "500 Control connection closed.";
    FReplyCode = 500;
    FStatusCode = 500;
    SetErrorMessage();
  }
  TriggerRequestDone(FStatusCode);
}

// ---------------------------------------------------------------- commands

bool TCustomFtpCli::SendCommand(String Cmd) {
  if (OnCommand) OnCommand(this, Cmd);
  if (HoldsLineBreak(Cmd)) return false;
  TriggerDisplay("> " + Cmd);
  if (!FControlSocket || FControlSocket->State() != wsConnected) return false;
  FControlSocket->SendStr(Cmd + "\r\n");
  return true;
}

void TCustomFtpCli::ExecAsync(TFtpRequest RqType, const String& Cmd, std::initializer_list<int> OkResponses,
                              TFtpNextProc DoneAsync) {
  if (Cmd != "ABOR" && Cmd != "STAT" && Cmd != "QUIT") {
    if (!CheckReady()) return;
    if (!FConnected) {
      HandleError("FTP component not connected");
      return;
    }
  }
  if (!FHighLevelFlag) FRequestType = RqType;
  int n = 0;
  for (int code : OkResponses) {
    if (n == 16) break;
    FOkResponses[n++] = code;
  }
  FOkResponses[n] = 0;
  FRequestDoneFlag = false;
  FNext = &TCustomFtpCli::NextExecAsync;
  FDoneAsync = DoneAsync;
  FErrorMessage.clear();
  if (HoldsLineBreak(Cmd)) {
    FailRequest(501, "501 Command not sent: its text holds CR, LF or NUL");
    return;
  }
  StateChange(ftpWaitingResponse);
  if (!SendCommand(Cmd)) {
    if (!FControlSocket || FControlSocket->State() != wsConnected)
      FailRequest(500, "500 Control connection not open.");
    else
      FailRequest(501, "501 Command not sent: its text holds CR, LF or NUL");
  }
}

void TCustomFtpCli::NextExecAsync() {
  DisplayLastResponse();
  if (FLastResponse.empty() || !IsDigit(FLastResponse[0])) return;
  size_t end = 0;
  FReplyCode = ParseReplyCode(FLastResponse, end);
  if (end < FLastResponse.size() && FLastResponse[end] == '-') return;

  bool ok = false;
  if (FOkResponses[0] != 0) {
    for (int i = 0; i < 16 && FOkResponses[i] != 0; ++i)
      if (FOkResponses[i] == FReplyCode) {
        ok = true;
        break;
      }
  } else {
    ok = FReplyCode < 400;
  }
  if (ok) {
    FStatusCode = 0;
  } else {
    FStatusCode = static_cast<WORD>(FReplyCode);
    SetErrorMessage();
  }
  if (FPassive && FReplyCode == 227) FPasvResponse = FLastResponse;
  ExtractMoreResults();
  if (FDoneAsync)
    (this->*FDoneAsync)();
  else
    TriggerRequestDone(FStatusCode);
}

void TCustomFtpCli::ExtractMoreResults() {
  if (FStatusCode != 0) return;
  switch (FFct) {
    case ftpFctSize: FSizeReply = ParseNumberAfterCode(FLastResponse); break;
    case ftpFctCwd:
    case ftpFctMkd:
    case ftpFctPwd:
    case ftpFctCDup: FDirResult = ParseQuotedDir(FLastResponse); break;
    default: break;
  }
}

void TCustomFtpCli::UserAsync() {
  if (FUserName.empty()) {
    HandleError("UserName emtpy");
    return;
  }
  String cmd = "USER " + FUserName;
  if (FConnectionType == ftpProxy) {
    cmd += "@" + FHostName;
    if (!SameText(FPort, "ftp") && FPort != "21") cmd += ":" + FPort;
  }
  FFct = ftpFctUser;
  ExecAsync(ftpUserAsync, cmd, {331, 230}, nullptr);
}

void TCustomFtpCli::PassAsync() {
  if (FPassWord.empty()) {
    HandleError("Password emtpy");
    return;
  }
  FFct = ftpFctPass;
  ExecAsync(ftpPassAsync, "PASS " + FPassWord, {230}, nullptr);
}

void TCustomFtpCli::CwdAsync() {
  if (FHostDirName.empty()) {
    HandleError("HostDirName emtpy");
    return;
  }
  FFct = ftpFctCwd;
  ExecAsync(ftpCwdAsync, "CWD " + FHostDirName, {200, 250, 257}, nullptr);
}

void TCustomFtpCli::SystAsync() {
  FFct = ftpFctSyst;
  ExecAsync(ftpSystAsync, "SYST", {215}, nullptr);
}

void TCustomFtpCli::SizeAsync() {
  FSizeReply = 0;
  FFct = ftpFctSize;
  ExecAsync(ftpSizeAsync, "SIZE " + FHostFileName, {213}, nullptr);
}

void TCustomFtpCli::TypeSetAsync() {
  FFct = ftpFctTypeSet;
  ExecAsync(ftpTypeSetAsync, String("TYPE ") + FTypeChar, {200}, nullptr);
}

void TCustomFtpCli::TypeBinaryAsync() {
  SetBinary(true);
  TypeSetAsync();
}

void TCustomFtpCli::TypeAsciiAsync() {
  SetBinary(false);
  TypeSetAsync();
}

void TCustomFtpCli::MkdAsync() {
  FFct = ftpFctMkd;
  ExecAsync(ftpMkdAsync, "MKD " + FHostFileName, {250, 257}, nullptr);
}

void TCustomFtpCli::RmdAsync() {
  FFct = ftpFctRmd;
  ExecAsync(ftpRmdAsync, "RMD " + FHostFileName, {250, 257}, nullptr);
}

void TCustomFtpCli::DeleAsync() {
  FFct = ftpFctDele;
  ExecAsync(ftpDeleAsync, "DELE " + FHostFileName, {250, 257}, nullptr);
}

void TCustomFtpCli::PwdAsync() {
  FFct = ftpFctPwd;
  ExecAsync(ftpPwdAsync, "PWD", {250, 257}, nullptr);
}

void TCustomFtpCli::CDupAsync() {
  FFct = ftpFctCDup;
  ExecAsync(ftpCDupAsync, "CDUP", {250, 257}, nullptr);
}

void TCustomFtpCli::RenFromAsync() {
  FFct = ftpFctRenFrom;
  ExecAsync(ftpRenFromAsync, "RNFR " + FHostFileName, {350}, nullptr);
}

void TCustomFtpCli::RenToAsync() {
  FFct = ftpFctRenTo;
  ExecAsync(ftpRenToAsync, "RNTO " + FLocalFileName, {200, 250, 257}, nullptr);
}

void TCustomFtpCli::QuoteAsync() {
  FFct = ftpFctQuote;
  ExecAsync(ftpQuoteAsync, FLocalFileName, {}, nullptr);
}

void TCustomFtpCli::AbortXferAsync() {
  FFct = ftpFctAbortXfer;
  ExecAsync(ftpAbortXferAsync, "ABOR", {}, nullptr);
}

void TCustomFtpCli::RestAsync() {
  FFct = ftpFctRest;
  if (FRequestType != ftpRestPutAsync && FRequestType != ftpRestartPutAsync && !FOptions.Contains(ftpNoAutoResumeAt))
    FRestartOffset = LocalFileSize(FLocalFileName);
  FRestSent = FRestartOffset >= 1;
  if (FRestartOffset < 1) {
    // Nothing to resume: no REST, the request (or step) succeeds at once.
    FRequestDoneFlag = false;
    FNext = &TCustomFtpCli::NextExecAsync;
    FDoneAsync = nullptr;
    TriggerRequestDone(0);
    return;
  }
  ExecAsync(ftpRestAsync, "REST " + IntToStr(FRestartOffset), {}, nullptr);
}

void TCustomFtpCli::QuitAsync() {
  DestroyLocalStream();
  FFct = ftpFctQuit;
  ExecAsync(ftpQuitAsync, "QUIT", {221}, &TCustomFtpCli::DoneQuitAsync);
}

void TCustomFtpCli::DoneQuitAsync() {
  // The close reports the request, with StatusCode 0 after a 221.
  CloseControlLocally();
}

void TCustomFtpCli::AbortAsync() {
  bool lookup = FState == ftpDnsLookup;
  StateChange(ftpAbort);
  DestroyLocalStream();
  if (lookup && FControlSocket) FControlSocket->CancelDnsLookup();
  if (FControlSocket && FControlSocket->State() != wsClosed) FControlSocket->Close();
  if (FDataSocket && FDataSocket->State() != wsClosed) FDataSocket->Close();
  DestroyLocalStream();
  FConnected = false;
  StateChange(ftpReady);
}

// ---------------------------------------------------------------- data connection

void TCustomFtpCli::DetachDataSocket() {
  if (!FDataSocket) return;
  FDataSocket->OnSessionAvailable = nullptr;
  FDataSocket->OnSessionConnected = nullptr;
  FDataSocket->OnSessionClosed = nullptr;
  FDataSocket->OnDataAvailable = nullptr;
  FDataSocket->OnDataSent = nullptr;
}

void TCustomFtpCli::PortAsync() {
  if (!CheckReady()) return;
  if (!FConnected || !FDataSocket) {
    HandleError("FTP component not connected");
    return;
  }
  // A data socket left from an earlier PORT or transfer goes first.
  DetachDataSocket();
  if (FDataSocket->State() != wsClosed) FDataSocket->Close();
  FDataSocket->SetProto("tcp");
  FDataSocket->SetAddr("0.0.0.0");
  FDataSocket->SetPort("0");

  sockaddr_in peer{};
  FServerAddr = FControlSocket->GetPeerName(peer, sizeof peer) == 0 ? peer.sin_addr.s_addr : 0;
  String cmd;
  if (!FPassive) {
    FDataSocket->SetLingerOnOff(wsLingerOn);
    FDataSocket->SetLingerTimeout(10);
    FDataSocket->Listen();
    sockaddr_in local{};
    int len = sizeof local;
    FDataSocket->GetSockName(local, len);
    const int p = WSocket_ntohs(local.sin_port);
    sockaddr_in ctrl{};
    len = sizeof ctrl;
    FControlSocket->GetSockName(ctrl, len);
    if (FServerAddr == WSocket_htonl(INADDR_LOOPBACK)) {
      cmd = Format("PORT 127,0,0,1,%d,%d", p / 256, p % 256);
    } else {
      const auto* a = reinterpret_cast<const unsigned char*>(&ctrl.sin_addr.s_addr);
      cmd = Format("PORT %d,%d,%d,%d,%d,%d", a[0], a[1], a[2], a[3], p / 256, p % 256);
    }
  } else {
    cmd = "PASV";
    FPasvResponse.clear();  // a reply without an address must not reuse an old one
  }
  FByteCount = 0;
  FFct = ftpFctPort;
  ExecAsync(ftpPortAsync, cmd, {200, 227}, nullptr);
}

namespace {

// The data address of a PASV reply: six numbers 0-255 separated by commas,
// after the first "(" or else after the reply code. False for anything else.
bool ParsePasvReply(const String& line, String& addr, int& port) {
  size_t i = line.find('(');
  if (i == String::npos) {
    ParseReplyCode(line, i);
    while (i < line.size() && !IsDigit(line[i])) ++i;
  } else {
    ++i;
  }
  int v[6];
  for (int k = 0; k < 6; ++k) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size() || !IsDigit(line[i])) return false;
    int x = 0, digits = 0;
    while (i < line.size() && IsDigit(line[i])) {
      if (++digits > 3) return false;
      x = x * 10 + (line[i++] - '0');
    }
    if (x > 255) return false;
    v[k] = x;
    while (i < line.size() && line[i] == ' ') ++i;
    if (k < 5) {
      if (i >= line.size() || line[i] != ',') return false;
      ++i;
    }
  }
  if (i < line.size() && (line[i] == ',' || IsDigit(line[i]))) return false;  // more than six
  port = v[4] * 256 + v[5];
  if (port == 0) return false;
  addr = Format("%d.%d.%d.%d", v[0], v[1], v[2], v[3]);
  return true;
}

const char* const kBadPasvText = "Unable to establish data connection, invalid PASV reply";

}  // namespace

void TCustomFtpCli::ResetTransfer() {
  FRequestDoneFlag = false;
  FTransferFinal = false;
  FDataClosed = false;
  FDataError = 0;
  FByteCount = 0;
  FStartTime = 0;
  FStopTime = 0;
  FPutAccepted = false;
  FPutDataOpen = false;
  FEofFlag = false;
  FGetAccepted = false;
  FTruncatePending = false;
  FCreatedFile.clear();
  FTransferFailCode = 0;
  FTransferFailText.clear();
  FErrorMessage.clear();
}

void TCustomFtpCli::SetTransferFailure(int Code, const String& Text) {
  if (FTransferFailCode != 0) return;
  FTransferFailCode = Code;
  FTransferFailText = Text;
}

void TCustomFtpCli::ReportTransfer(int ServerCode) {
  FNext = nullptr;
  int code;
  if (FTransferFailCode != 0) {
    FLastResponse = FTransferFailText;
    FReplyCode = FTransferFailCode;
    FErrorMessage = FTransferFailText;
    code = FTransferFailCode;
  } else if (ServerCode != 0) {
    SetErrorMessage();
    code = ServerCode;
  } else {
    code = FDataError;
  }
  FStatusCode = static_cast<WORD>(code);
  TriggerRequestDone(static_cast<WORD>(code));
}

void TCustomFtpCli::CheckTransferDone() {
  if (FRequestDoneFlag || !FTransferFinal || !FDataClosed) return;
  TransfertStats();
  FRestartOffset = 0;
  ReportTransfer(0);
}

void TCustomFtpCli::ReleaseLocalFile(bool Failed) {
  if (!FStreamFlag) DestroyLocalStream();
  if (Failed && !FCreatedFile.empty() && !FGetAccepted) ::DeleteFileA(FCreatedFile.c_str());
  FCreatedFile.clear();
}

bool TCustomFtpCli::ConnectPassive(const TSessionConnected& Connected) {
  String addr;
  int port = 0;
  if (!ParsePasvReply(FPasvResponse, addr, port)) {
    TriggerDisplay(String("! ") + kBadPasvText);
    SetTransferFailure(550, kBadPasvText);
    ReportTransfer(550);
    return false;
  }
  FDataSocket->SetPort(IntToStr(port));
  FDataSocket->SetAddr(addr);
  FDataSocket->SetLocalAddr(FLocalAddr);
  FDataSocket->OnSessionConnected = Connected;
  FDataSocket->SetLingerOnOff(wsLingerOff);
  FDataSocket->SetLingerTimeout(0);
  ApplySocks(FDataSocket);
  FDataSocket->Connect();
  return true;
}

TSocket TCustomFtpCli::AcceptServerConnection() {
  TSocket s = FDataSocket->Accept();
  if (s == INVALID_SOCKET) return s;
  sockaddr_in from{};
  int len = sizeof from;
  if (WSocket_getpeername(s, reinterpret_cast<sockaddr*>(&from), &len) == 0 && FServerAddr != 0 &&
      from.sin_addr.s_addr == FServerAddr)
    return s;
  // Not the server: refused, and the socket goes on listening.
  linger l{1, 0};
  WSocket_setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
  WSocket_closesocket(s);
  TriggerDisplay("! Data connection from " + String(WSocket_inet_ntoa(from.sin_addr)) + " refused");
  return INVALID_SOCKET;
}

// ---------------------------------------------------------------- downloads

void TCustomFtpCli::ExecGetAsync() { DoGetAsync(ftpGetAsync); }

void TCustomFtpCli::ExecDirAsync() { DoGetAsync(ftpDirAsync); }

void TCustomFtpCli::ExecLsAsync() { DoGetAsync(ftpLsAsync); }

void TCustomFtpCli::DoGetAsync(TFtpRequest RqType) {
  const String word = RqType == ftpDirAsync ? "LIST" : RqType == ftpLsAsync ? "NLST" : "RETR";
  if (!FConnected) {
    HandleError(word + ": not connected");
    return;
  }
  const bool callerStream = FStreamFlag && FLocalStream;
  if (FLocalFileName.empty() && !FDisplayFileFlag && !callerStream) {
    HandleError("LocalFileName empty");
    return;
  }
  if (!CheckReady()) return;
  if (!FHighLevelFlag) FRequestType = RqType;
  FDataCommand = word;
  ResetTransfer();
  const String cmd = FHostFileName.empty() ? word : word + " " + FHostFileName;
  if (HoldsLineBreak(cmd)) {
    FailRequest(501, "501 Command not sent: its text holds CR, LF or NUL");
    return;
  }
  FDataSocket->OnSessionAvailable = {this, &TCustomFtpCli::DataGetSessionAvailable};

  if (!FDisplayFileFlag) {
    if (!FStreamFlag) DestroyLocalStream();
    try {
      if (FRestartOffset > 0) {
        if (!FLocalStream) FLocalStream = new TFileStream(FLocalFileName, fmOpenWrite | FShareMode);
        if (FLocalStream->Seek(FRestartOffset, soBeginning) != FRestartOffset)
          throw EStreamError("Cannot seek in " + FLocalFileName);
      } else if (!FLocalStream) {
        // An existing file keeps its content until the server accepts.
        DWORD attr = ::GetFileAttributesA(FLocalFileName.c_str());
        if (attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY)) {
          FLocalStream = new TFileStream(FLocalFileName, fmOpenWrite | FShareMode);
          FTruncatePending = true;
        } else {
          FLocalStream = new TFileStream(FLocalFileName, fmCreate | FShareMode);
          FCreatedFile = FLocalFileName;
        }
      }
    } catch (Exception&) {
      DestroyLocalStream();
      FLastResponse = "Unable to open local file " + FLocalFileName;
      FReplyCode = 550;
      SetErrorMessage();
      FStatusCode = 550;
      TriggerRequestDone(550);
      return;
    }
  }

  try {
    if (FPassive && !ConnectPassive({this, &TCustomFtpCli::DataGetSessionConnected})) return;
  } catch (Exception& e) {
    SetTransferFailure(550, "550 " + e.ClassName() + ": " + e.Message);
    ReportTransfer(550);
    return;
  }
  StateChange(ftpWaitingResponse);
  SendTransferCommand(cmd, &TCustomFtpCli::GetFirstReply);
}

// Sends the transfer command; a command that cannot go ends the transfer.
void TCustomFtpCli::SendTransferCommand(const String& Cmd, TFtpNextProc Next) {
  FNext = Next;
  if (SendCommand(Cmd)) return;
  if (!FControlSocket || FControlSocket->State() != wsConnected)
    SetTransferFailure(500, "500 Control connection not open.");
  else
    SetTransferFailure(501, "501 Command not sent: its text holds CR, LF or NUL");
  ReportTransfer(0);
}

void TCustomFtpCli::DownloadAccepted() {
  if (FGetAccepted) return;
  FGetAccepted = true;
  if (!FTruncatePending) return;
  FTruncatePending = false;
  if (!FLocalStream) return;
  try {
    FLocalStream->SetSize(0);
  } catch (Exception&) {
    TriggerDisplay("! Error writing local file");
    SetTransferFailure(550, "Error writing local file");
    if (FDataSocket && FDataSocket->State() != wsClosed) FDataSocket->Close();
  }
  if (FDataClosed) DestroyLocalStream();
}

void TCustomFtpCli::DataGetSessionAvailable(TObject*, WORD) {
  TSocket s = AcceptServerConnection();
  if (s == INVALID_SOCKET) return;
  FDataSocket->OnSessionAvailable = nullptr;
  FDataSocket->OnSessionClosed = {this, &TCustomFtpCli::DataGetSessionClosed};
  FDataSocket->OnDataAvailable = {this, &TCustomFtpCli::DataGetDataAvailable};
  FDataSocket->OnDataSent = nullptr;
  FDataSocket->SetLingerOnOff(wsLingerOff);
  FDataSocket->SetLingerTimeout(0);
  FDataSocket->Dup(s);  // closes the listening socket
  FStartTime = GetTickCount64();
}

void TCustomFtpCli::DataGetSessionConnected(TObject*, WORD Error) {
  if (FRequestDoneFlag) return;
  if (Error != 0) {
    // The command went out already: its reply ends the request.
    const String text = "Unable to establish data connection, error #" + IntToStr(Error);
    TriggerDisplay("! " + text);
    SetTransferFailure(550, text);
    FDataClosed = true;
    DetachDataSocket();
    if (FDataSocket->State() != wsClosed) FDataSocket->Close();
    if (!FTruncatePending) DestroyLocalStream();
    CheckTransferDone();
    return;
  }
  FDataSocket->OnSessionClosed = {this, &TCustomFtpCli::DataGetSessionClosed};
  FDataSocket->OnDataAvailable = {this, &TCustomFtpCli::DataGetDataAvailable};
  FDataSocket->OnDataSent = nullptr;
  FStartTime = GetTickCount64();
}

void TCustomFtpCli::DataGetDataAvailable(TObject*, WORD) {
  TWSocket* sock = FDataSocket;
  if (!Progress()) return;
  // A handler may have ended the transfer meanwhile.
  if (FRequestDoneFlag || FDataSocket != sock || sock->State() != wsConnected) return;
  int n = sock->Receive(FRecvBuffer, kRecvBlockSize);
  if (n > 0) {
    DownloadAccepted();
    FByteCount += n;
    if (FLocalStream && FTransferFailCode == 0) {
      int64_t put = -1;
      try {
        put = FLocalStream->Write(FRecvBuffer, n);
      } catch (Exception&) {
        put = -1;
      }
      if (put != n) {
        // Disk full or the like: nothing more is taken; the request ends
        // with this failure once the server has answered.
        TriggerDisplay("! Error writing local file");
        SetTransferFailure(550, "Error writing local file");
        if (sock->State() != wsClosed) sock->Close();
        return;
      }
    }
    if (FDisplayFileFlag) {
      if (FDisplayFileMode == ftpBinary) {
        TriggerDisplayFile(String(FRecvBuffer, static_cast<size_t>(n)));
      } else {
        // One event per line; runs of CR and LF separate lines.
        int p = 0;
        while (p < n) {
          int e = p;
          while (e < n && FRecvBuffer[e] != '\r' && FRecvBuffer[e] != '\n') ++e;
          TriggerDisplayFile(String(FRecvBuffer + p, static_cast<size_t>(e - p)));
          while (e < n && (FRecvBuffer[e] == '\r' || FRecvBuffer[e] == '\n')) ++e;
          p = e;
        }
      }
    }
  } else if (n < 0) {
    int e = sock->LastError();
    if (sock->State() == wsConnected && e != WSAEWOULDBLOCK) {
      TriggerDisplay("! Data: Receive error " + IntToStr(e));
      sock->Shutdown(2);
    }
  }
}

void TCustomFtpCli::DataGetSessionClosed(TObject*, WORD Error) {
  FDataClosed = true;
  FDataError = Error;
  // An existing file not yet accepted stays open (and untouched) until the
  // server's reply settles it.
  if (!FTruncatePending) DestroyLocalStream();
  CheckTransferDone();
}

void TCustomFtpCli::GetFirstReply() {
  DisplayLastResponse();
  const int code = FReplyCode;
  if (code == 125 || (code >= 150 && code <= 159)) {
    // Nothing can arrive once the data connection failed: the file stays.
    if (FTransferFailCode == 0) DownloadAccepted();
    FNext = &TCustomFtpCli::GetFinalReply;
    return;
  }
  // Refused: the local file is left as it was.
  DetachDataSocket();
  if (FDataSocket && FDataSocket->State() != wsClosed) FDataSocket->Close();
  FRestartOffset = 0;
  ReportTransfer(code);
}

void TCustomFtpCli::GetFinalReply() { TransferFinalReply(true); }

// The reply that ends a transfer; a failing one ends it at once.
void TCustomFtpCli::TransferFinalReply(bool Download) {
  DisplayLastResponse();
  const int code = FReplyCode;
  if ((Download && code == 125) || code == 226 || code == 250) {
    FTransferFinal = true;
    CheckTransferDone();
    return;
  }
  DetachDataSocket();
  DestroyLocalStream();
  if (FDataSocket && FDataSocket->State() != wsClosed) FDataSocket->Close();
  TriggerDisplay(Download ? "! RETR/LIST/NLST Failed" : "! STOR Failed");
  ReportTransfer(code);
}

// ---------------------------------------------------------------- uploads

void TCustomFtpCli::ExecPutAsync() {
  FAppendFlag = false;
  FRequestType = ftpPutAsync;
  DoPutAppendAsync();
}

void TCustomFtpCli::ExecAppendAsync() {
  FAppendFlag = true;
  FRequestType = ftpAppendAsync;
  DoPutAppendAsync();
}

void TCustomFtpCli::DoPutAppendAsync() {
  if (!FConnected) {
    HandleError("STOR/APPE: not connected");
    return;
  }
  const bool callerStream = FStreamFlag && FLocalStream;
  if (!callerStream && FLocalFileName.empty()) {
    HandleError("LocalFileName empty");
    return;
  }
  ResetTransfer();
  const String cmd = (FAppendFlag ? "APPE " : "STOR ") + FHostFileName;
  if (HoldsLineBreak(cmd)) {
    FailRequest(501, "501 Command not sent: its text holds CR, LF or NUL");
    return;
  }

  bool cancel = false;
  TriggerReadyToTransmit(cancel);
  if (cancel) {
    FLastResponse = FErrorMessage = "426 Transmit cancelled by application";
    FReplyCode = 426;
    TriggerDisplay("! " + FErrorMessage);
    FStatusCode = 426;
    TriggerRequestDone(426);
    return;
  }

  FDataSocket->OnSessionAvailable = {this, &TCustomFtpCli::DataPutSessionAvailable};
  if (!FStreamFlag) DestroyLocalStream();
  try {
    if (!FLocalStream) FLocalStream = new TFileStream(FLocalFileName, fmOpenRead | FShareMode);
    if (FRestartOffset > 0 && FLocalStream->Seek(FRestartOffset, soBeginning) != FRestartOffset)
      throw EStreamError("Cannot seek in " + FLocalFileName);
  } catch (Exception&) {
    DestroyLocalStream();
    FLastResponse = FErrorMessage = "426 Unable to open local file " + FLocalFileName;
    FReplyCode = 426;
    TriggerDisplay("! " + FErrorMessage);
    FStatusCode = 426;
    TriggerRequestDone(426);
    return;
  }

  if (FPassive) {
    // The command goes once the data connection is up.
    StateChange(ftpWaitingResponse);
    try {
      ConnectPassive({this, &TCustomFtpCli::DataPutSessionConnected});
    } catch (Exception& e) {
      SetTransferFailure(426, "426 " + e.ClassName() + ": " + e.Message);
      ReportTransfer(426);
    }
    return;
  }
  StateChange(ftpWaitingResponse);
  SendTransferCommand(cmd, &TCustomFtpCli::PutFirstReply);
}

void TCustomFtpCli::DataPutSessionConnected(TObject*, WORD Error) {
  if (FRequestDoneFlag) return;
  if (Error != 0) {
    // Nothing was sent yet: the request ends here.
    const String text = "Unable to establish data connection, error #" + IntToStr(Error);
    TriggerDisplay("! " + text);
    SetTransferFailure(550, text);
    DetachDataSocket();
    if (FDataSocket->State() != wsClosed) FDataSocket->Close();
    ReportTransfer(550);
    return;
  }
  FDataSocket->OnSessionClosed = {this, &TCustomFtpCli::DataPutSessionClosed};
  FDataSocket->OnDataAvailable = nullptr;
  FDataSocket->OnDataSent = nullptr;
  FPutDataOpen = true;
  FStartTime = GetTickCount64();
  StateChange(ftpWaitingResponse);
  SendTransferCommand((FAppendFlag ? "APPE " : "STOR ") + FHostFileName, &TCustomFtpCli::PutFirstReply);
}

void TCustomFtpCli::DataPutSessionAvailable(TObject*, WORD) {
  TSocket s = AcceptServerConnection();
  if (s == INVALID_SOCKET) return;
  FDataSocket->OnSessionAvailable = nullptr;
  FDataSocket->OnSessionClosed = {this, &TCustomFtpCli::DataPutSessionClosed};
  FDataSocket->OnDataAvailable = {this, &TCustomFtpCli::DataPutDataAvailable};
  FDataSocket->OnDataSent = {this, &TCustomFtpCli::DataPutDataSent};
  // A graceful close that still sends what is queued.
  FDataSocket->SetLingerOnOff(wsLingerOff);
  FDataSocket->SetLingerTimeout(10);
  FDataSocket->Dup(s);  // closes the listening socket
  FPutDataOpen = true;
  if (FPutAccepted && FStartTime == 0) PostMessageA(FWindowHandle, WM_FTP_SENDDATA, 0, 0);
}

void TCustomFtpCli::DataPutDataAvailable(TObject*, WORD) {
  char junk[2048];
  if (FDataSocket) FDataSocket->Receive(junk, sizeof junk);
}

void TCustomFtpCli::WMFtpSendData(TMessage&) {
  if (FRequestDoneFlag || !FPutAccepted || !FPutDataOpen) return;
  // The socket's own write event may have started the blocks already: one
  // block in flight, never two.
  if (FByteCount > 0 || FEofFlag) return;
  FStartTime = GetTickCount64();
  DataPutDataSent(FDataSocket, 0);
}

void TCustomFtpCli::DataPutDataSent(TObject*, WORD Error) {
  if (!FLocalStream || FRequestDoneFlag) return;
  TWSocket* sock = FDataSocket;
  if (!Progress()) return;
  if (!FLocalStream || FRequestDoneFlag || FDataSocket != sock) return;
  if (Error != 0) {
    const String text = "Error #" + IntToStr(Error) + " sending data";
    TriggerDisplay("! " + text);
    SetTransferFailure(426, "426 " + text);
    if (sock->State() != wsClosed) sock->Close();
    return;
  }
  if (FEofFlag || !FPutAccepted || !FPutDataOpen || sock->State() != wsConnected) return;
  if (FStartTime == 0) FStartTime = GetTickCount64();
  int64_t n = -1;
  try {
    n = FLocalStream->Read(FSendBuffer, kSendBlockSize);
  } catch (Exception&) {
    n = -1;
  }
  if (n < 0) {
    // The server would take the truncated file for a complete one.
    TriggerDisplay("! Error reading file");
    SetTransferFailure(426, "426 Error reading local file");
    sock->Close();
    return;
  }
  if (n == 0) {
    // OnDataSent comes with an empty queue: the close loses nothing.
    FEofFlag = true;
    sock->Close();
    return;
  }
  FByteCount += n;
  try {
    sock->Send(FSendBuffer, static_cast<int>(n));
  } catch (Exception& e) {
    TriggerDisplay("! " + e.Message);
    SetTransferFailure(426, "426 Error #" + IntToStr(sock->LastError()) + " sending data");
    if (sock->State() != wsClosed) sock->Close();
  }
}

void TCustomFtpCli::DataPutSessionClosed(TObject*, WORD Error) {
  DestroyLocalStream();
  FDataClosed = true;
  FDataError = Error;
  CheckTransferDone();
}

void TCustomFtpCli::PutFirstReply() {
  DisplayLastResponse();
  const int code = FReplyCode;
  if (code == 125 || code == 150) {
    FPutAccepted = true;
    FNext = &TCustomFtpCli::PutFinalReply;
    if (FPassive) {
      if (FDataSocket) FDataSocket->OnDataSent = {this, &TCustomFtpCli::DataPutDataSent};
      DataPutDataSent(FDataSocket, 0);
    } else if (FPutDataOpen && FStartTime == 0) {
      PostMessageA(FWindowHandle, WM_FTP_SENDDATA, 0, 0);
    }
    return;
  }
  DetachDataSocket();
  if (FDataSocket && FDataSocket->State() != wsClosed) FDataSocket->Close();
  DestroyLocalStream();
  FRestartOffset = 0;
  ReportTransfer(code);
}

void TCustomFtpCli::PutFinalReply() { TransferFinalReply(false); }

// ---------------------------------------------------------------- progress

bool TCustomFtpCli::Progress() {
  bool abort = false;
  if (OnProgress) OnProgress(this, FByteCount + FRestartOffset, abort);
  if (abort) {
    TriggerDisplay("! Abort requested");
    // The transfer is incomplete whatever the server answers.
    SetTransferFailure(426, "426 Transfer cancelled by application");
    if (FDataSocket && FDataSocket->State() != wsClosed) FDataSocket->Close();
  }
  return !abort;
}

void TCustomFtpCli::TransfertStats() {
  FStopTime = GetTickCount64();
  const uint64_t ms = FStopTime >= FStartTime ? FStopTime - FStartTime : 0;
  String text = IntToStr(FByteCount) + " bytes received/sent in " + IntToStr(static_cast<int64_t>(ms / 1000)) +
                " seconds";
  if (ms != 0) {
    const int64_t dt = static_cast<int64_t>(ms);
    const int64_t rate = FByteCount < 32768 ? FByteCount * 1000 / dt : (FByteCount / dt) * 1000;
    text += " (" + IntToStr(rate) + " Bytes/sec)";
  }
  TriggerDisplay("! " + text);
}

// ---------------------------------------------------------------- sequences

void TCustomFtpCli::HighLevelAsync(TFtpRequest RqType, TFtpFctSet Fcts) {
  if (FConnected && Fcts.Contains(ftpFctOpen)) {
    HandleError("FTP component already connected");
    return;
  }
  if (!CheckReady()) return;
  FLastResponseSave = FLastResponse;
  FStatusCodeSave = -1;
  FRequestType = RqType;
  FStatusCode = 0;
  FFctSet = Fcts;
  FFct = ftpFctNone;
  FHighLevelResult = 0;
  FHighLevelFlag = true;
  FLastResponse.clear();
  FErrorMessage.clear();
  FNextRequest = nullptr;
  // The first step starts in the caller's context: its refusal reaches the
  // caller as a refusal of the whole request.
  unsigned errors = FHandleErrorCount;
  FSequenceStarting = true;
  try {
    DoHighLevelAsync();
  } catch (...) {
    FSequenceStarting = false;
    AbandonSequence();
    throw;
  }
  FSequenceStarting = false;
  if (errors != FHandleErrorCount) AbandonSequence();
}

void TCustomFtpCli::AbandonSequence() {
  FHighLevelFlag = false;
  FNextRequest = nullptr;
  FFctSet = TFtpFctSet();
}

void TCustomFtpCli::RunStep(TFtpFct Fct, TFtpNextProc Proc) {
  FFct = Fct;
  if (FSequenceStarting) {
    (this->*Proc)();
    return;
  }
  // A later step runs from a reply: a step that cannot start ends the
  // sequence with an error instead of leaving it without an end.
  unsigned errors = FHandleErrorCount;
  String why;
  try {
    (this->*Proc)();
  } catch (Exception& e) {
    why = e.Message;
  }
  if (why.empty() && errors != FHandleErrorCount) why = FHandledError;
  if (why.empty()) return;
  FRequestDoneFlag = false;
  FailRequest(501, "501 " + why);
}

void TCustomFtpCli::DoHighLevelAsync() {
  if (FState == ftpAbort) {
    FFctSet = TFtpFctSet();
    FHighLevelResult = 426;
    FErrorMessage = "426 Operation aborted.";
  }
  FNextRequest = &TCustomFtpCli::DoHighLevelAsync;
  ExtractMoreResults();
  const TFtpFct done = FFct;
  auto take = [this](TFtpFct f) {
    if (!FFctSet.Contains(f)) return false;
    FFctSet = FFctSet - f;
    return true;
  };

  if (take(ftpFctOpen)) return RunStep(ftpFctOpen, &TCustomFtpCli::OpenAsync);
  if (take(ftpFctUser)) return RunStep(ftpFctUser, &TCustomFtpCli::UserAsync);
  if (take(ftpFctPass)) {
    // A 230 to USER needs no password.
    if (done != ftpFctUser || FReplyCode == 331) return RunStep(ftpFctPass, &TCustomFtpCli::PassAsync);
  }
  if (take(ftpFctCwd)) {
    if (!FHostDirName.empty()) return RunStep(ftpFctCwd, &TCustomFtpCli::CwdAsync);
  }
  if (take(ftpFctCDup)) return RunStep(ftpFctCDup, &TCustomFtpCli::CDupAsync);
  if (take(ftpFctTypeSet)) return RunStep(ftpFctTypeSet, &TCustomFtpCli::TypeSetAsync);
  if (take(ftpFctPort)) return RunStep(ftpFctPort, &TCustomFtpCli::PortAsync);
  if (take(ftpFctRest)) return RunStep(ftpFctRest, &TCustomFtpCli::RestAsync);
  if (take(ftpFctGet)) {
    if (!(done == ftpFctRest && FRestartOffset >= 0 && FReplyCode == 350)) FRestartOffset = 0;
    return RunStep(ftpFctGet, &TCustomFtpCli::ExecGetAsync);
  }
  if (take(ftpFctPut)) {
    // A REST answered with anything but 350 did not take the offset: the
    // tail alone would replace the server's file.
    if (done == ftpFctRest && FRestSent && FReplyCode != 350) {
      FStatusCode = static_cast<WORD>(FReplyCode);
      SetErrorMessage();
      FRequestDoneFlag = false;
      TriggerRequestDone(FStatusCode);
      return;
    }
    return RunStep(ftpFctPut, &TCustomFtpCli::ExecPutAsync);
  }
  if (take(ftpFctAppend)) return RunStep(ftpFctAppend, &TCustomFtpCli::ExecAppendAsync);
  if (take(ftpFctDir)) return RunStep(ftpFctDir, &TCustomFtpCli::ExecDirAsync);
  if (take(ftpFctLs)) return RunStep(ftpFctLs, &TCustomFtpCli::ExecLsAsync);
  if (take(ftpFctSyst)) return RunStep(ftpFctSyst, &TCustomFtpCli::SystAsync);
  if (take(ftpFctMkd)) return RunStep(ftpFctMkd, &TCustomFtpCli::MkdAsync);
  if (take(ftpFctRmd)) return RunStep(ftpFctRmd, &TCustomFtpCli::RmdAsync);
  if (take(ftpFctRenFrom)) return RunStep(ftpFctRenFrom, &TCustomFtpCli::RenFromAsync);
  if (take(ftpFctRenTo)) return RunStep(ftpFctRenTo, &TCustomFtpCli::RenToAsync);
  if (take(ftpFctSize)) return RunStep(ftpFctSize, &TCustomFtpCli::SizeAsync);
  if (take(ftpFctDele)) return RunStep(ftpFctDele, &TCustomFtpCli::DeleAsync);
  if (take(ftpFctPwd)) return RunStep(ftpFctPwd, &TCustomFtpCli::PwdAsync);
  if (take(ftpFctAbortXfer)) return RunStep(ftpFctAbortXfer, &TCustomFtpCli::AbortXferAsync);
  if (take(ftpFctQuote)) return RunStep(ftpFctQuote, &TCustomFtpCli::QuoteAsync);
  if (take(ftpFctQuit)) {
    // The caller sees the reply of the last working step, not the 221.
    FLastResponseSave = FLastResponse;
    FStatusCodeSave = FReplyCode;
    return RunStep(ftpFctQuit, &TCustomFtpCli::QuitAsync);
  }
  FFctSet = TFtpFctSet();
  FNextRequest = nullptr;
  FRequestDoneFlag = false;
  TriggerRequestDone(FHighLevelResult);
}

void TCustomFtpCli::ConnectAsync() { HighLevelAsync(ftpConnectAsync, {ftpFctOpen, ftpFctUser, ftpFctPass}); }

void TCustomFtpCli::ReceiveAsync() {
  HighLevelAsync(ftpReceiveAsync, {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctTypeSet, ftpFctPort,
                                   ftpFctGet, ftpFctQuit});
}

void TCustomFtpCli::TransmitAsync() {
  HighLevelAsync(ftpTransmitAsync, {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctTypeSet, ftpFctPort,
                                    ftpFctPut, ftpFctQuit});
}

void TCustomFtpCli::AppendFileAsync() {
  HighLevelAsync(ftpTransmitAsync, {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctTypeSet, ftpFctPort,
                                    ftpFctAppend, ftpFctQuit});
}

void TCustomFtpCli::RestartGetAsync() {
  HighLevelAsync(ftpRestartGetAsync, {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctTypeSet, ftpFctPort,
                                      ftpFctRest, ftpFctGet, ftpFctQuit});
}

void TCustomFtpCli::RestartPutAsync() {
  HighLevelAsync(ftpRestartPutAsync, {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctTypeSet, ftpFctPort,
                                      ftpFctRest, ftpFctPut, ftpFctQuit});
}

void TCustomFtpCli::DirectoryAsync() {
  HighLevelAsync(ftpDirectoryAsync,
                 {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctPort, ftpFctDir, ftpFctQuit});
}

void TCustomFtpCli::ListAsync() {
  HighLevelAsync(ftpListAsync, {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctPort, ftpFctLs, ftpFctQuit});
}

void TCustomFtpCli::SystemAsync() {
  HighLevelAsync(ftpSystemAsync, {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctSyst, ftpFctQuit});
}

void TCustomFtpCli::MkdirAsync() {
  HighLevelAsync(ftpMkdirAsync, {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctMkd, ftpFctQuit});
}

void TCustomFtpCli::RmdirAsync() {
  HighLevelAsync(ftpRmdirAsync, {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctRmd, ftpFctQuit});
}

void TCustomFtpCli::DeleteAsync() {
  HighLevelAsync(ftpDeleteAsync, {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctDele, ftpFctQuit});
}

void TCustomFtpCli::DoQuoteAsync() {
  HighLevelAsync(ftpDoQuoteAsync, {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctQuote, ftpFctQuit});
}

void TCustomFtpCli::RenameAsync() {
  HighLevelAsync(ftpRenameAsync,
                 {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctRenFrom, ftpFctRenTo, ftpFctQuit});
}

void TCustomFtpCli::FileSizeAsync() {
  HighLevelAsync(ftpSizeAsync, {ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctSize, ftpFctQuit});
}

void TCustomFtpCli::GetAsync() { HighLevelAsync(ftpGetAsync, {ftpFctPort, ftpFctGet}); }

void TCustomFtpCli::PutAsync() { HighLevelAsync(ftpPutAsync, {ftpFctPort, ftpFctPut}); }

void TCustomFtpCli::AppendAsync() { HighLevelAsync(ftpAppendAsync, {ftpFctPort, ftpFctAppend}); }

void TCustomFtpCli::DirAsync() { HighLevelAsync(ftpDirAsync, {ftpFctPort, ftpFctDir}); }

void TCustomFtpCli::LsAsync() { HighLevelAsync(ftpLsAsync, {ftpFctPort, ftpFctLs}); }

void TCustomFtpCli::RestGetAsync() { HighLevelAsync(ftpRestGetAsync, {ftpFctPort, ftpFctRest, ftpFctGet}); }

void TCustomFtpCli::RestPutAsync() { HighLevelAsync(ftpRestPutAsync, {ftpFctPort, ftpFctRest, ftpFctPut}); }

void TCustomFtpCli::RenAsync() { HighLevelAsync(ftpRenAsync, {ftpFctRenFrom, ftpFctRenTo}); }

// ---------------------------------------------------------------- blocking layer

TFtpClient::TFtpClient(TComponent* AOwner) : TCustomFtpCli(AOwner) { FTimeout = 15; }

bool TFtpClient::TypeBinary() {
  SetBinary(true);
  return Synchronize(&TCustomFtpCli::TypeSetAsync);
}

bool TFtpClient::TypeAscii() {
  SetBinary(false);
  return Synchronize(&TCustomFtpCli::TypeSetAsync);
}

bool TFtpClient::Progress() {
  bool goOn = TCustomFtpCli::Progress();
  if (FTimeout > 0) FDeadline = GetTickCount64() + static_cast<uint64_t>(FTimeout) * 1000;
  return goOn;
}

// The application's pump and the control socket's own are the class
// library's one pump.
void TFtpClient::MessagePump() { ProcessQueuedMessages(); }

bool TFtpClient::Synchronize(TFtpNextProc Proc) {
  unsigned errors = FHandleErrorCount;
  try {
    (this->*Proc)();
    if (errors != FHandleErrorCount) return false;  // refused, reported through OnError
    return WaitUntilReady();
  } catch (...) {
    return false;
  }
}

bool TFtpClient::WaitUntilReady() {
  // A handler may free the component while messages are processed: nothing
  // of it is touched after that.
  std::shared_ptr<bool> alive = FAlive;
  auto ready = [this] { return FState == ftpReady || FState == ftpInternalReady; };
  FDeadline = GetTickCount64() + static_cast<uint64_t>(FTimeout > 0 ? FTimeout : 0) * 1000;
  if (ready()) return FStatusCode == 0;
  for (;;) {
    const uint64_t deadline = FTimeout > 0 ? FDeadline : kPumpForever;
    TPumpResult r = PumpUntil([&] { return ready() || QuitReceived(); }, deadline, alive);
    if (r == prCallerGone) return false;
    if (ready()) {
      // As the application's pump does, what is queued (the request's own
      // report among it) is handled before the call returns.
      r = PumpUntil(nullptr, kPumpQueued, alive);
      if (r == prCallerGone) return false;
      if (ready()) return FStatusCode == 0;
      if (r == prQuit) break;
      continue;  // a handler started another request
    }
    // Progress moves the deadline on while a transfer runs.
    if (r != prTimeout || FTimeout <= 0 || GetTickCount64() >= FDeadline) break;
  }
  AbortAsync();
  FErrorMessage = "426 Timeout";
  FReplyCode = 426;
  return false;
}
