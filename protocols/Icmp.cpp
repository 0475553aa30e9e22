#include <winsock2.h>

#include "Icmp.h"

#include <algorithm>
#include <cstring>

namespace {

const char kPayload[] = "Echo request sent by Nembra to measure delay.";
static_assert(sizeof(kPayload) - 1 == TICMP::PayloadLength);

const IPAddr kNoAddress = 0xFFFFFFFF;

// Room behind the echoed data for an ICMP error reply instead of the echo:
// its ICMP header, the offending IP header (with options) and the first
// 8 bytes of our datagram, plus the status block the library keeps there.
const size_t kErrorReplyRoom = 8 + 60 + 8 + 16;

struct TStatusText {
  int code;
  const char* text;
};

const TStatusText kStatusTexts[] = {
    {0, "No error"},
    {11001, "Buffer too small"},
    {11002, "Destination network unreachable"},
    {11003, "Destination host unreachable"},
    {11004, "Destination protocol unreachable"},
    {11005, "Destination port unreachable"},
    {11006, "No resources"},
    {11007, "Bad option"},
    {11008, "Hardware error"},
    {11009, "Packet too big"},
    {11010, "Request timed out"},
    {11011, "Bad request"},
    {11012, "Bad route"},
    {11013, "TTL expired in transit"},
    {11014, "TTL expired in reassembly"},
    {11015, "Parameter problem"},
    {11016, "Source quench"},
    {11017, "Option too big"},
    {11018, "Bad Destination"},
    {11019, "Address deleted"},
    {11020, "Spec MTU change"},
    {11021, "MTU change"},
    {11050, "General failure"},
    {11255, "Pending"},
};

void* Entry(HMODULE lib, const char* name) { return reinterpret_cast<void*>(GetProcAddress(lib, name)); }

}  // namespace

TICMP::TICMP() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) throw TICMPException("Error initialising Winsock");
  wsaStarted_ = true;
  lib_ = LoadLibraryA("icmp.dll");
  if (!lib_) {
    Release();
    throw TICMPException("Unable to register icmp.dll");
  }
  icmpCreateFile_ = reinterpret_cast<TIcmpCreateFile>(Entry(lib_, "IcmpCreateFile"));
  icmpCloseHandle_ = reinterpret_cast<TIcmpCloseHandle>(Entry(lib_, "IcmpCloseHandle"));
  icmpSendEcho_ = reinterpret_cast<TIcmpSendEcho>(Entry(lib_, "IcmpSendEcho"));
  if (!icmpCreateFile_ || !icmpCloseHandle_ || !icmpSendEcho_) {
    Release();
    throw TICMPException("Error loading dll functions");
  }
  handle_ = icmpCreateFile_();
  if (handle_ == INVALID_HANDLE_VALUE) {
    Release();
    throw TICMPException("Unable to get ping handle");
  }
}

TICMP::~TICMP() { Release(); }

void TICMP::Release() {
  if (handle_ != INVALID_HANDLE_VALUE) icmpCloseHandle_(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  if (lib_) FreeLibrary(lib_);
  lib_ = nullptr;
  if (wsaStarted_) WSACleanup();
  wsaStarted_ = false;
}

void TICMP::SetAddress(const String& value) {
  if (value == address_) return;
  address_ = value;
  resolved_ = false;
}

void TICMP::SetSize(int value) {
  if (value < 0 || value > MaxSize)
    throw TICMPException(Format("Packet size %d is out of range: it must be from 0 to %d bytes", value, MaxSize));
  size_ = value;
}

void TICMP::Display(const String& msg) {
  if (!OnDisplay) return;
  String m = msg;
  OnDisplay(this, m);
}

void TICMP::ResolveAddr() {
  addr_ = inet_addr(address_.c_str());
  if (addr_ == INADDR_NONE) {
    hostent* he = gethostbyname(address_.c_str());
    if (!he || he->h_addrtype != AF_INET || he->h_length != 4 || !he->h_addr_list[0]) {
      lastError_ = he ? WSANO_DATA : WSAGetLastError();
      addr_ = kNoAddress;
      Display("Unable to resolve " + address_);
      return;
    }
    std::memcpy(&addr_, he->h_addr_list[0], 4);
    hostName_ = he->h_name ? he->h_name : "";
  } else {
    hostName_ = address_;
  }
  in_addr ia;
  ia.s_addr = addr_;
  hostIP_ = inet_ntoa(ia);
  resolved_ = true;
}

int TICMP::Ping() {
  lastError_ = 0;
  if (!resolved_) ResolveAddr();
  if (!resolved_ || addr_ == kNoAddress) {
    lastError_ = 11018;
    Display("Invalid host address");
    return 0;
  }

  std::vector<char> request(static_cast<size_t>(std::max(size_, 1)), ' ');
  std::memcpy(request.data(), kPayload, std::min(size_, PayloadLength));
  replyBuffer_.assign(sizeof(ICMP_ECHO_REPLY) + static_cast<size_t>(size_) + kErrorReplyRoom, 0);
  reply_ = ICMP_ECHO_REPLY{};
  if (OnEchoRequest) OnEchoRequest(this);

  IP_OPTION_INFORMATION options{};
  options.Ttl = static_cast<UCHAR>(ttl_);
  options.Flags = static_cast<UCHAR>(flags_);
  DWORD replies = icmpSendEcho_(handle_, addr_, request.data(), static_cast<WORD>(size_), &options,
                                replyBuffer_.data(), static_cast<DWORD>(replyBuffer_.size()),
                                static_cast<DWORD>(std::max(timeOut_, 0)));
  lastError_ = static_cast<int>(GetLastError());
  std::memcpy(&reply_, replyBuffer_.data(), sizeof reply_);
  // An ICMP error (TTL expired, unreachable, ...) arrives as a reply whose
  // status tells what happened; the thread's last error does not.
  if (replies > 0 && reply_.Status != IP_SUCCESS) lastError_ = static_cast<int>(reply_.Status);
  if (OnEchoReply) OnEchoReply(this, static_cast<int>(replies));
  return static_cast<int>(replies);
}

String TICMP::StatusText(int code) {
  for (const auto& s : kStatusTexts)
    if (s.code == code) return s.text;
  return "ICMP error #" + IntToStr(code);
}

String TICMP::GetErrorString() const { return StatusText(lastError_); }
