#include "Ftpscript.h"

#include "support/Testutil.h"

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

void TFtpRecorder::Attach(TCustomFtpCli* ftp) {
  ftp->OnRequestDone = [this, ftp](TObject*, TFtpRequest rq, WORD error) {
    Done.push_back({rq, error, ftp->ReplyCode(), ftp->ErrorMessage(), ftp->LastResponse()});
  };
  ftp->OnDisplay = [this](TObject*, String& msg) { Shown.push_back(msg); };
  ftp->OnSessionConnected = [this](TObject*, WORD) { ++SessionConnected; };
  ftp->OnSessionClosed = [this](TObject*, WORD) { ++SessionClosed; };
}

bool TFtpRecorder::WaitDone(size_t n, DWORD ms) {
  return PumpUntil([&] { return Done.size() >= n; }, ms);
}

int TFtpRecorder::ShownAt(const String& s) const {
  for (size_t i = 0; i < Shown.size(); ++i)
    if (Shown[i] == s) return static_cast<int>(i);
  return -1;
}
