#include "Scriptedpeer.h"

#include <gtest/gtest.h>

#include <algorithm>

void StartTestWinsock() {
  static bool started = [] {
    WSADATA d;
    return WSAStartup(MAKEWORD(2, 2), &d) == 0;
  }();
  (void)started;
}

SOCKET ListenOnLoopback(int backlog, int& port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  listen(s, backlog);
  int len = sizeof sa;
  getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len);
  port = ntohs(sa.sin_port);
  return s;
}

TScriptedPeer::TScriptedPeer(TScript script, int backlog) {
  StartTestWinsock();
  listener_ = ListenOnLoopback(backlog, port_);
  if (!script) {
    done_ = true;
    return;
  }
  Run({std::move(script)});
}

TScriptedPeer::TScriptedPeer(TScript script, const String& address, int port, int backlog) : port_(port) {
  StartTestWinsock();
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  BOOL on = TRUE;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = inet_addr(address.c_str());
  sa.sin_port = htons(static_cast<u_short>(port));
  if (bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(listener_, backlog) != 0)
    ADD_FAILURE() << "the scripted peer cannot listen on " << address << ":" << port << " (error "
                  << WSAGetLastError() << ")";
  Run({std::move(script)});
}

TScriptedPeer::TScriptedPeer(std::vector<TScript> scripts, int backlog) {
  StartTestWinsock();
  listener_ = ListenOnLoopback(backlog, port_);
  Run(std::move(scripts));
}

void TScriptedPeer::Run(std::vector<TScript> scripts) {
  thread_ = std::thread([this, scripts = std::move(scripts)] {
    for (const TScript& script : scripts) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(listener_, &set);
      timeval tv{10, 0};
      if (select(0, &set, nullptr, nullptr, &tv) != 1) break;
      SOCKET c = accept(listener_, nullptr, nullptr);
      if (c == INVALID_SOCKET) break;
      SetPeerTimeouts(c);
      try {
        if (script) script(c);
      } catch (...) {
      }
      closesocket(c);
    }
    done_ = true;
  });
}

TScriptedPeer::~TScriptedPeer() {
  Join();
  closesocket(listener_);
}

void TScriptedPeer::Join() {
  if (thread_.joinable()) thread_.join();
}

void SetPeerTimeouts(SOCKET s) {
  DWORD ms = 10000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}

String RecvBytes(SOCKET s, size_t count) {
  String data;
  char buf[4096];
  while (data.size() < count) {
    int want = static_cast<int>(std::min(sizeof buf, count - data.size()));
    int n = recv(s, buf, want, 0);
    if (n <= 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  return data;
}

String RecvUntilClosed(SOCKET s, size_t limit) {
  String data;
  char buf[4096];
  while (data.size() < limit) {
    int n = recv(s, buf, sizeof buf, 0);
    if (n <= 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  return data;
}

bool SendBytes(SOCKET s, const String& data) {
  size_t off = 0;
  while (off < data.size()) {
    int n = send(s, data.data() + off, static_cast<int>(data.size() - off), 0);
    if (n <= 0) return false;
    off += static_cast<size_t>(n);
  }
  return true;
}

void ResetClose(SOCKET s) {
  linger l{1, 0};
  setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
}

int FreePort() {
  StartTestWinsock();
  int port = 0;
  SOCKET s = ListenOnLoopback(1, port);
  closesocket(s);
  return port;
}
