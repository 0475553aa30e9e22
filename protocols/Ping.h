// The ping component: owns a TICMP, relays its events and adds an
// asynchronous host-name lookup through a hidden window (class
// "ICSPingWindowClass", the component in the window's user data).
#pragma once

#include <map>
#include <memory>

#include "Icmp.h"
#include "classlib/Forms.h"

class TPing;

using TDnsLookupDone = TEvent<TObject*, WORD>;
using TPingRequest = TEvent<TObject*, TICMP*>;
using TPingReply = TEvent<TObject*, TICMP*, int>;
using TPingDisplay = TEvent<TObject*, TICMP*, String&>;

class TPing : public TComponent, public TWindowObject {
 public:
  // Raises TICMPException when its TICMP cannot be made.
  explicit TPing(TComponent* owner);
  ~TPing() override;

  // One echo; see TICMP::Ping.
  int Ping();
  // Looks HostName up; OnDnsLookupDone tells the end. A dotted address ends
  // at once, inside the call.
  virtual void DnsLookup(const String& hostName);
  // Ends a pending lookup with OnDnsLookupDone(10004).
  void CancelDnsLookup();

  String Address() const;
  void SetAddress(const String& value);
  int Size() const;
  void SetSize(int value);  // 0..TICMP::MaxSize, else TICMPException
  int Timeout() const;
  void SetTimeout(int value);
  int TTL() const;
  void SetTTL(int value);
  int Flags() const;
  void SetFlags(int value);

  ICMP_ECHO_REPLY GetReply() const;
  int GetErrorCode() const;
  String GetErrorString() const;
  String GetHostName() const;
  String GetHostIP() const;
  const String& DnsResult() const { return dnsResult_; }

  TDnsLookupDone OnDnsLookupDone;
  TPingRequest OnEchoRequest;
  TPingReply OnEchoReply;
  TPingDisplay OnDisplay;

  void WindowMessage(HWND wnd, TMessage& msg) override { WndProc(msg); }

 protected:
  virtual void WndProc(TMessage& msg);
  void WMAsyncGetHostByName(TMessage& msg);

 private:
  using TLookupBuffers = std::map<HANDLE, std::unique_ptr<char[]>>;
  class TLeftovers;

  // Cancels without an event; false when nothing was pending.
  bool AbortDnsLookup();
  void IcmpDisplay(TObject* sender, String& msg);
  void IcmpEchoRequest(TObject* sender);
  void IcmpEchoReply(TObject* sender, int error);

  TICMP* icmp_ = nullptr;
  HWND wnd_ = nullptr;
  HANDLE dnsLookupHandle_ = nullptr;
  // Result buffers of the lookups that may still be written: the pending
  // one and cancelled ones whose reply has not come yet. The system may fill
  // a buffer after its request was cancelled, so it lives until the reply.
  TLookupBuffers lookupBuffers_;
  String dnsResult_;
};
