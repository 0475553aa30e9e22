// One ICMP echo request through the system's ICMP helper library (icmp.dll,
// bound at run time), with its resolution of the target and its status texts.
#pragma once

#include <vector>

#include "classlib/Classes.h"

#include <ipexport.h>

NEMBRA_EXCEPTION(TICMPException, Exception);

using TICMPDisplay = TEvent<TObject*, String&>;
using TICMPEchoRequest = TEvent<TObject*>;
using TICMPEchoReply = TEvent<TObject*, int>;

class TICMP : public TObject {
 public:
  // Largest data part one echo can carry.
  static constexpr int MaxSize = 65500;
  // Length of the text that starts every request's data.
  static constexpr int PayloadLength = 45;

  // Raises TICMPException when WinSock, the library, its functions or an
  // ICMP handle cannot be had.
  TICMP();
  ~TICMP() override;

  // Sends one echo and waits up to TimeOut ms; returns the number of replies
  // (0: none). A reply can carry a status (TTL expired in transit, ...): it is
  // counted and its status is in LastError.
  int Ping();
  // Resolves Address into the target address, HostName and HostIP.
  void ResolveAddr();
  // The text of LastError.
  String GetErrorString() const;
  // The text of an IP status or error code.
  static String StatusText(int code);

  const String& Address() const { return address_; }
  void SetAddress(const String& value);
  const String& HostName() const { return hostName_; }
  const String& HostIP() const { return hostIP_; }
  int Size() const { return size_; }
  // Raises TICMPException outside 0..MaxSize; Size keeps its value then.
  void SetSize(int value);
  int TimeOut() const { return timeOut_; }
  void SetTimeOut(int value) { timeOut_ = value; }
  int TTL() const { return ttl_; }
  void SetTTL(int value) { ttl_ = value; }
  int Flags() const { return flags_; }
  void SetFlags(int value) { flags_ = value; }
  // The platform error or IP status of the last echo.
  int LastError() const { return lastError_; }

  // The reply record of the last echo. Its Data (and Options.OptionsData)
  // point into a buffer kept until the next echo or the object's end.
  const ICMP_ECHO_REPLY& Reply() const { return reply_; }

  TICMPDisplay OnDisplay;
  TICMPEchoRequest OnEchoRequest;
  TICMPEchoReply OnEchoReply;

 private:
  using TIcmpCreateFile = HANDLE(WINAPI*)();
  using TIcmpCloseHandle = BOOL(WINAPI*)(HANDLE);
  using TIcmpSendEcho = DWORD(WINAPI*)(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD,
                                       DWORD);

  void Display(const String& msg);
  void Release();

  HMODULE lib_ = nullptr;
  TIcmpCreateFile icmpCreateFile_ = nullptr;
  TIcmpCloseHandle icmpCloseHandle_ = nullptr;
  TIcmpSendEcho icmpSendEcho_ = nullptr;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool wsaStarted_ = false;

  ICMP_ECHO_REPLY reply_{};
  std::vector<char> replyBuffer_;
  String address_;
  String hostName_;
  String hostIP_;
  IPAddr addr_ = 0xFFFFFFFF;  // network order; all ones: none
  int size_ = 56;
  int timeOut_ = 4000;
  int ttl_ = 64;
  int flags_ = 0;
  int lastError_ = 0;
  bool resolved_ = false;
};
