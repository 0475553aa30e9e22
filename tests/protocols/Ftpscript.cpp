#include "Ftpscript.h"

#include <cstdio>
#include <memory>

#include "support/Peers.h"
#include "support/Testutil.h"

TFtpClient* NewPeerFtpClient(TComponent* owner, int port) {
  auto* ftp = new TFtpClient(owner);
  ftp->SetHostName("127.0.0.1");
  ftp->SetPort(IntToStr(port));
  ftp->SetUserName(kFtpUser);
  ftp->SetPassWord(kFtpPassword);
  return ftp;
}

bool ReadCmd(SOCKET s, String& line) {
  line.clear();
  char c;
  while (line.size() < 65536) {
    int n = recv(s, &c, 1, 0);
    if (n <= 0) return false;
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    line += c;
  }
  return false;
}

void SendByteByByte(SOCKET s, const String& text) {
  BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  for (char c : text) {
    send(s, &c, 1, 0);
    Sleep(2);
  }
}

namespace {

// False when the conversation ends here.
bool Act(SOCKET s, const String& r) {
  if (r.empty()) return true;
  if (r == "<close>") return false;
  if (r == "<reset>") {
    ResetClose(s);
    return false;
  }
  if (r.rfind("<bytes>", 0) == 0) {
    SendByteByByte(s, r.substr(7));
    return true;
  }
  const String close = "<close>";
  if (r.size() > close.size() && r.compare(r.size() - close.size(), close.size(), close) == 0) {
    SendBytes(s, r.substr(0, r.size() - close.size()));
    return false;
  }
  return SendBytes(s, r);
}

}  // namespace

void Dialogue(SOCKET s, const String& banner, const std::vector<String>& replies, TCmdLog& log) {
  if (!Act(s, banner)) return;
  String cmd;
  for (const auto& r : replies) {
    if (!ReadCmd(s, cmd)) return;
    log.Add(cmd);
    if (!Act(s, r)) return;
  }
  while (ReadCmd(s, cmd)) {
    log.Add(cmd);
    if (cmd == "QUIT") {
      SendBytes(s, "221 Bye\r\n");
      return;
    }
  }
}

bool NextCmd(SOCKET s, TCmdLog& log, String& cmd) {
  if (!ReadCmd(s, cmd)) return false;
  log.Add(cmd);
  return true;
}

TDataListener::TDataListener() {
  StartTestWinsock();
  listener_ = ListenOnLoopback(5, port_);
}

TDataListener::~TDataListener() { closesocket(listener_); }

String TDataListener::PasvReply() const {
  return "227 Entering Passive Mode (127,0,0,1," + IntToStr(port_ / 256) + "," + IntToStr(port_ % 256) + ")\r\n";
}

SOCKET TDataListener::Accept() {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(listener_, &set);
  timeval tv{10, 0};
  if (select(0, &set, nullptr, nullptr, &tv) != 1) return INVALID_SOCKET;
  SOCKET c = accept(listener_, nullptr, nullptr);
  if (c != INVALID_SOCKET) SetPeerTimeouts(c);
  return c;
}

SOCKET ConnectToPort(const String& portCommand, const String& from) {
  int v[6];
  if (sscanf(portCommand.c_str(), "PORT %d,%d,%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6)
    return INVALID_SOCKET;
  SOCKET c = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = inet_addr(from.c_str());
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(static_cast<u_long>((v[0] << 24) | (v[1] << 16) | (v[2] << 8) | v[3]));
  to.sin_port = htons(static_cast<u_short>(v[4] * 256 + v[5]));
  if (bind(c, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      connect(c, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    closesocket(c);
    return INVALID_SOCKET;
  }
  SetPeerTimeouts(c);
  return c;
}

void TransferServer(SOCKET s, TCmdLog& log, const TTransferServer& server) {
  // Replies go at once, not held back until the client acknowledges the last.
  BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  SendBytes(s, "220 hi\r\n");
  std::unique_ptr<TDataListener> listener;
  String portCmd, cmd;
  size_t pasv = 0, transfer = 0;
  while (NextCmd(s, log, cmd)) {
    String verb = cmd.substr(0, cmd.find(' '));
    if (verb == "PASV") {
      listener = std::make_unique<TDataListener>();
      portCmd.clear();
      String addr = "127,0,0,1," + IntToStr(listener->Port() / 256) + "," + IntToStr(listener->Port() % 256);
      String reply = pasv < server.PasvReplies.size() ? server.PasvReplies[pasv++] : "227 Entering Passive Mode ({})\r\n";
      size_t at = reply.find("{}");
      if (at != String::npos) reply.replace(at, 2, addr);
      SendBytes(s, reply);
    } else if (verb == "PORT") {
      listener.reset();
      portCmd = cmd;
      SendBytes(s, "200 PORT ok\r\n");
    } else if (verb == "TYPE") {
      SendBytes(s, "200 Type set\r\n");
    } else if (verb == "REST") {
      SendBytes(s, server.RestReply);
    } else if (verb == "NOOP") {
      SendBytes(s, "200 NOOP ok\r\n");
    } else if (verb == "QUIT") {
      SendBytes(s, "221 Bye\r\n");
      return;
    } else if (verb == "RETR" || verb == "LIST" || verb == "NLST" || verb == "STOR" || verb == "APPE") {
      if (transfer >= server.Transfers.size()) {
        SendBytes(s, "550 No script\r\n");
        continue;
      }
      TDataListener* l = listener.get();
      String port = portCmd;
      TXfer x{s, cmd, portCmd, [l, port]() { return l ? l->Accept() : ConnectToPort(port); }};
      if (!server.Transfers[transfer++](x)) return;
    } else {
      SendBytes(s, "502 No\r\n");
    }
  }
}

void TFtpRecorder::Attach(TCustomFtpCli* ftp) {
  ftp->OnRequestDone = [this, ftp](TObject*, TFtpRequest rq, WORD error) {
    Done.push_back({rq, error, ftp->ReplyCode(), ftp->ErrorMessage(), ftp->LastResponse()});
  };
  ftp->OnDisplay = [this](TObject*, String& msg) { Shown.push_back(msg); };
  ftp->OnSessionConnected = [this](TObject*, WORD) { ++SessionConnected; };
  ftp->OnSessionClosed = [this](TObject*, WORD) { ++SessionClosed; };
}

bool TFtpRecorder::WaitDone(size_t n, DWORD ms) {
  return WaitFor([&] { return Done.size() >= n; }, ms);
}

int TFtpRecorder::ShownAt(const String& s) const {
  for (size_t i = 0; i < Shown.size(); ++i)
    if (Shown[i] == s) return static_cast<int>(i);
  return -1;
}
