#include "Udppeer.h"

#include "Scriptedpeer.h"

TUdpPeer::TUdpPeer(TUdpScript script, int queries) {
  StartTestWinsock();
  sock_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(sock_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  int len = sizeof sa;
  getsockname(sock_, reinterpret_cast<sockaddr*>(&sa), &len);
  port_ = ntohs(sa.sin_port);
  DWORD ms = 10000;
  setsockopt(sock_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
  thread_ = std::thread([this, script = std::move(script), queries] {
    for (int i = 0; i < queries; ++i) {
      char buf[2048];
      sockaddr_in from{};
      int fromLen = sizeof from;
      int n = recvfrom(sock_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
      if (n <= 0) break;
      String q(buf, static_cast<size_t>(n));
      {
        std::lock_guard<std::mutex> lock(mutex_);
        queries_.push_back(q);
      }
      std::vector<TDatagram> out;
      try {
        out = script(q);
      } catch (...) {
      }
      for (const TDatagram& d : out) {
        if (d.DelayMs) Sleep(d.DelayMs);
        sendto(sock_, d.Data.data(), static_cast<int>(d.Data.size()), 0, reinterpret_cast<sockaddr*>(&from),
               fromLen);
      }
    }
    done_ = true;
  });
}

TUdpPeer::~TUdpPeer() {
  Join();
  closesocket(sock_);
}

void TUdpPeer::Join() {
  if (thread_.joinable()) thread_.join();
}

std::vector<String> TUdpPeer::Queries() {
  std::lock_guard<std::mutex> lock(mutex_);
  return queries_;
}
