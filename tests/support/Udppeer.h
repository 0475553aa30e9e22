// A scripted UDP server (a name server for the DNS tests): on 127.0.0.1, a
// port of the system's choice, a thread of its own.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "classlib/Sysutils.h"

struct TDatagram {
  String Data;
  DWORD DelayMs = 0;  // before this one is sent
};
using TUdpScript = std::function<std::vector<TDatagram>(const String& query)>;

// For each of `queries` datagrams received it sends back what the script
// makes of it. Receives time out after 10 s, so it ends by itself.
class TUdpPeer {
 public:
  explicit TUdpPeer(TUdpScript script, int queries = 1);
  ~TUdpPeer();
  TUdpPeer(const TUdpPeer&) = delete;
  TUdpPeer& operator=(const TUdpPeer&) = delete;
  String PortStr() const { return IntToStr(port_); }
  void Join();
  bool Done() const { return done_; }
  std::vector<String> Queries();

 private:
  SOCKET sock_ = INVALID_SOCKET;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> done_{false};
  std::mutex mutex_;
  std::vector<String> queries_;
};
