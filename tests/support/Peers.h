// The test peers started by the test run (tests/peers/*.sh, whose headers
// describe each peer's paths, files and answers).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>

#include "classlib/Sysutils.h"

// Ports: NEMBRA_PORT_BASE plus these offsets (tests/peers/ports.sh).
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

// Passive data ports of the FTP servers: first and last.
inline int PeerPasvMin(TPeerPort ftp) { return PeerPort(ppHttp) + 100 + (ftp - ppVsftpd) * 100; }
inline int PeerPasvMax(TPeerPort ftp) { return PeerPasvMin(ftp) + 99; }

// efingerd answers on the finger port itself.
inline constexpr int kFingerPort = 79;

// Accounts.
inline constexpr const char* kFtpUser = "nembraftp";  // vsftpd, pure-ftpd, proftpd
inline constexpr const char* kFtpPassword = "nembra-ftp";
inline constexpr const char* kSocksUser = "nembrasocks";  // dante on ppSocksAuth
inline constexpr const char* kSocksPassword = "nembra-socks";
inline constexpr const char* kHttpUser = "nembra";  // nginx /private/
inline constexpr const char* kHttpPassword = "nembra-http";
inline constexpr const char* kFingerUser = "nembrafinger";

// The folder of a peer's files in the build tree (BUILD/peers/NAME, NAME as
// the peer script's: "nginx", "vsftpd", "pureftpd", "proftpd", ...) through
// Wine's Z: drive, with a trailing backslash. The FTP servers' root folders
// are PeerFolder(name) + "root\\".
String PeerFolder(const String& name);

// A command of the host's shell (sh -c, with the usual PATH), run from the
// Windows side through Wine: Z:\bin\sh starts, but the standard handles do
// not reach it, so the command's output and exit status come back through
// files under /tmp. Waits up to timeoutMs; the status is -1 when the
// command did not end (or could not start). Used for what the peers' files
// need done as the host's root: stat, chown, mkdir, ln -s.
struct THostRun {
  int Status = -1;
  String Out;  // its standard output and error
};
THostRun RunHostCommand(const String& command, DWORD timeoutMs = 20000);
// The host path of a path on Wine's Z: drive ("Z:\a\b" gives "/a/b"); ""
// for any other path.
String HostPath(const String& zPath);
// A path quoted for the host's shell: 'it''s' as 'it'\''s'.
String ShellQuote(const String& text);

// The test hosts of tests/peers/netns.sh (ICMP echo), read from the file it
// writes into the build tree: a router that answers TTL 1, a far host
// behind it, and an address the router drops. Ready() tells whether the
// routes to them lead through that router, so that no echo leaves for an
// address the test run did not make.
struct TNetnsHosts {
  String Router, FarHost, Dropped;
  TNetnsHosts();
  ::testing::AssertionResult Ready() const;
};

// The seeded files of an FTP peer ("vsftpd", "pureftpd", "proftpd"), from its
// manifest: path relative to the root ("sub/nested.txt") -> hash and size.
struct TPeerFile {
  String Sha256;  // lower-case hex
  int64_t Size = 0;
};
std::map<String, TPeerFile> PeerManifest(const String& name);

// The SHA-256 of a file (any size) or of bytes, in lower-case hex; a file
// that cannot be read gives "".
String FileSha256(const String& path);
String Sha256Hex(const String& data);

// SHA-256 of data given in pieces; Hex() once, at the end ("" on failure).
class TSha256Sum {
 public:
  TSha256Sum();
  ~TSha256Sum();
  TSha256Sum(const TSha256Sum&) = delete;
  TSha256Sum& operator=(const TSha256Sum&) = delete;
  bool Update(const void* data, size_t size);
  String Hex();

 private:
  void* alg_ = nullptr;
  void* hash_ = nullptr;
};
