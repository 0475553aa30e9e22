// Ports of the test peers started by the test run (tests/peers/ports.sh).
#pragma once

#include <cstdlib>

#include "classlib/Sysutils.h"

enum TPeerPort {
  ppHttp = 0,
  ppHttpProxy = 1,
  ppSocks = 10,
  ppSocksAuth = 11,
  ppSshSocks = 12,
  ppSshd = 13,
  ppVsftpd = 20,
  ppPureftpd = 21,
  ppProftpd = 22,
  ppDns = 30,
};

// The port of a peer: NEMBRA_PORT_BASE (set by CTest) plus its offset.
inline int PeerPort(TPeerPort peer) {
  const char* b = std::getenv("NEMBRA_PORT_BASE");
  return (b ? std::atoi(b) : 20000) + static_cast<int>(peer);
}
inline String PeerPortStr(TPeerPort peer) { return IntToStr(PeerPort(peer)); }
