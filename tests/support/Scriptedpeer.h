// Scripted TCP peers: a listening ws2_32 socket (on 127.0.0.1 and a port of
// the system's choice unless told otherwise) whose first connection is
// handed to a script running on a thread of its own. Blocking calls time
// out, so every script ends by itself.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "classlib/Sysutils.h"

// Starts ws2_32 for the test program (once).
void StartTestWinsock();

class TScriptedPeer {
 public:
  using TScript = std::function<void(SOCKET)>;
  // Without a script the peer only listens and never accepts.
  explicit TScriptedPeer(TScript script, int backlog = 5);
  // Listens on address:port (an address of the loopback net, a fixed port,
  // bound with SO_REUSEADDR).
  TScriptedPeer(TScript script, const String& address, int port, int backlog = 5);
  // One script for each connection, in the order they are accepted.
  explicit TScriptedPeer(std::vector<TScript> scripts, int backlog = 5);
  ~TScriptedPeer();
  int Port() const { return port_; }
  String PortStr() const { return IntToStr(port_); }
  // Waits for the script to end.
  void Join();
  bool Done() const { return done_; }

 private:
  void Run(std::vector<TScript> scripts);
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> done_{false};
};

// Blocking helpers for scripts (10 s time-outs).
void SetPeerTimeouts(SOCKET s);
// Reads until `count` bytes came, the peer closed or an error/time-out.
String RecvBytes(SOCKET s, size_t count);
// Reads until the peer closes (or an error/time-out), at most `limit` bytes.
String RecvUntilClosed(SOCKET s, size_t limit = 1 << 24);
bool SendBytes(SOCKET s, const String& data);
// Makes the close that ends the script a reset (linger on, time 0).
void ResetClose(SOCKET s);
// A listening TCP socket on 127.0.0.1 with a port of the system's choice.
SOCKET ListenOnLoopback(int backlog, int& port);
// A free TCP port on 127.0.0.1 (bound and released again).
int FreePort();
