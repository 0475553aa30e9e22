#include "Httpclitest.h"

namespace {

String ReadRequest(SOCKET s) {
  String data;
  size_t end;
  while ((end = data.find("\r\n\r\n")) == String::npos) {
    String b = RecvBytes(s, 1);
    if (b.empty()) return data;
    data += b;
  }
  const String header = LowerCase(data);
  const size_t cl = header.find("\r\ncontent-length:");
  if (cl != String::npos) {
    const int64_t len = StrToInt64Def(Trim(header.substr(cl + 17, header.find("\r\n", cl + 2) - cl - 17)), 0);
    data += RecvBytes(s, static_cast<size_t>(len));
  }
  return data;
}

}  // namespace

THttpScriptServer::THttpScriptServer(std::vector<TScript> scripts) {
  StartTestWinsock();
  listener_ = ListenOnLoopback(5, port_);
  thread_ = std::thread([this, scripts = std::move(scripts)] {
    for (const auto& script : scripts) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(listener_, &set);
      timeval tv{10, 0};
      if (select(0, &set, nullptr, nullptr, &tv) != 1) return;
      SOCKET c = accept(listener_, nullptr, nullptr);
      if (c == INVALID_SOCKET) return;
      SetPeerTimeouts(c);
      requests_.push_back(ReadRequest(c));
      try {
        script(c);
      } catch (...) {
      }
      closesocket(c);
    }
  });
}

THttpScriptServer::~THttpScriptServer() {
  if (thread_.joinable()) thread_.join();
  closesocket(listener_);
}

std::vector<String> THttpScriptServer::Requests() {
  if (thread_.joinable()) thread_.join();
  return requests_;
}

THttpScriptServer::TScript Send(const String& Data) {
  return [Data](SOCKET s) { SendBytes(s, Data); };
}

THttpScriptServer::TScript SendAndHold(const String& Data) {
  return [Data](SOCKET s) {
    SendBytes(s, Data);
    RecvUntilClosed(s);
  };
}
