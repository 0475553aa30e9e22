#include <winsock2.h>

#include "Ping.h"

#include "classlib/Forms.h"

namespace {

const UINT WM_ASYNCGETHOSTBYNAME = WM_USER + 2;
const int kLookupBufferSize = 1025;  // at least MAXGETHOSTSTRUCT
const WORD kLookupCancelled = 10004;  // WSAEINTR
// A window left behind for late lookup replies gives up after this long.
const UINT_PTR kLeftoversTimer = 1;
const UINT kLeftoversLifetime = 10 * 60 * 1000;

TObjectWindowClass& PingWindowClass() {
  static TObjectWindowClass c("ICSPingWindowClass", kSlotUserData);
  return c;
}

}  // namespace

// The result buffers of cancelled lookups still owed a reply when their TPing
// went away; it keeps the window until the replies came (or gave up).
class TPing::TLeftovers : public TWindowObject {
 public:
  TLeftovers(HWND wnd, TLookupBuffers buffers) : buffers_(std::move(buffers)) {
    PingWindowClass().Attach(wnd, this);
    SetTimer(wnd, kLeftoversTimer, kLeftoversLifetime, nullptr);
  }

  void WindowMessage(HWND wnd, TMessage& msg) override {
    if (msg.Msg == WM_ASYNCGETHOSTBYNAME || (msg.Msg == WM_TIMER && msg.WParam == kLeftoversTimer)) {
      if (msg.Msg == WM_ASYNCGETHOSTBYNAME)
        buffers_.erase(reinterpret_cast<HANDLE>(msg.WParam));
      else
        buffers_.clear();
      if (buffers_.empty()) {
        TObjectWindowClass::Detach(wnd);
        DestroyWindow(wnd);
        delete this;
      }
      return;
    }
    DefaultProc(wnd, msg);
    if (msg.Msg == WM_NCDESTROY) delete this;  // the window went another way
  }

 private:
  TLookupBuffers buffers_;
};

TPing::TPing(TComponent* owner) : TComponent(owner) {
  icmp_ = new TICMP;
  icmp_->OnDisplay = {this, &TPing::IcmpDisplay};
  icmp_->OnEchoRequest = {this, &TPing::IcmpEchoRequest};
  icmp_->OnEchoReply = {this, &TPing::IcmpEchoReply};

  try {
    wnd_ = PingWindowClass().Create(nullptr, WS_EX_TOOLWINDOW, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr);
    if (!wnd_) throw EOutOfResources(Format("Cannot create the ping window (error %d)", GetLastError()));
  } catch (...) {
    delete icmp_;
    icmp_ = nullptr;
    throw;
  }
  PingWindowClass().Attach(wnd_, this);
}

TPing::~TPing() {
  try {
    CancelDnsLookup();
  } catch (...) {
    // Nothing can leave a destructor: the application hears of it once the
    // current message has returned.
    HandleExceptionLater(nullptr);
  }
  if (wnd_) {
    TObjectWindowClass::Detach(wnd_);
    if (lookupBuffers_.empty())
      DestroyWindow(wnd_);
    else
      new TLeftovers(wnd_, std::move(lookupBuffers_));
    wnd_ = nullptr;
  }
  delete icmp_;
}

void TPing::WndProc(TMessage& msg) {
  if (msg.Msg == WM_ASYNCGETHOSTBYNAME)
    WMAsyncGetHostByName(msg);
  else
    DefaultProc(wnd_, msg);
}

void TPing::WMAsyncGetHostByName(TMessage& msg) {
  HANDLE handle = reinterpret_cast<HANDLE>(msg.WParam);
  auto it = lookupBuffers_.find(handle);
  if (it == lookupBuffers_.end()) return;
  std::unique_ptr<char[]> buffer = std::move(it->second);
  lookupBuffers_.erase(it);
  if (handle != dnsLookupHandle_) return;  // a cancelled lookup's late reply
  dnsLookupHandle_ = nullptr;
  WORD error = WSAGETASYNCERROR(msg.LParam);
  if (error == 0) {
    auto* he = reinterpret_cast<hostent*>(buffer.get());
    if (he->h_addrtype == AF_INET && he->h_length == 4 && he->h_addr_list && he->h_addr_list[0]) {
      in_addr ia;
      memcpy(&ia, he->h_addr_list[0], 4);
      dnsResult_ = inet_ntoa(ia);
    } else {
      error = WSANO_DATA;
    }
  }
  if (OnDnsLookupDone) OnDnsLookupDone(this, error);
}

bool TPing::AbortDnsLookup() {
  if (!dnsLookupHandle_) return false;
  if (WSACancelAsyncRequest(dnsLookupHandle_) != 0)
    throw Exception(Format("WSACancelAsyncRequest failed, error #%d", WSAGetLastError()));
  // The buffer stays in lookupBuffers_: it may still be written.
  dnsLookupHandle_ = nullptr;
  return true;
}

void TPing::CancelDnsLookup() {
  if (AbortDnsLookup() && OnDnsLookupDone) OnDnsLookupDone(this, kLookupCancelled);
}

void TPing::DnsLookup(const String& hostName) {
  AbortDnsLookup();
  dnsResult_.clear();
  in_addr ia;
  ia.s_addr = inet_addr(hostName.c_str());
  if (ia.s_addr != INADDR_NONE) {
    dnsResult_ = inet_ntoa(ia);
    if (OnDnsLookupDone) OnDnsLookupDone(this, 0);
    return;
  }
  auto buffer = std::make_unique<char[]>(kLookupBufferSize);
  HANDLE handle = WSAAsyncGetHostByName(wnd_, WM_ASYNCGETHOSTBYNAME, hostName.c_str(), buffer.get(), kLookupBufferSize);
  if (!handle) throw Exception(Format("%s: can't start DNS lookup, error #%d", hostName, WSAGetLastError()));
  lookupBuffers_[handle] = std::move(buffer);
  dnsLookupHandle_ = handle;
}

int TPing::Ping() { return icmp_ ? icmp_->Ping() : 0; }

String TPing::Address() const { return icmp_ ? icmp_->Address() : String(); }
void TPing::SetAddress(const String& value) {
  if (icmp_) icmp_->SetAddress(value);
}
int TPing::Size() const { return icmp_ ? icmp_->Size() : 0; }
void TPing::SetSize(int value) {
  if (icmp_) icmp_->SetSize(value);
}
int TPing::Timeout() const { return icmp_ ? icmp_->TimeOut() : 0; }
void TPing::SetTimeout(int value) {
  if (icmp_) icmp_->SetTimeOut(value);
}
int TPing::TTL() const { return icmp_ ? icmp_->TTL() : 0; }
void TPing::SetTTL(int value) {
  if (icmp_) icmp_->SetTTL(value);
}
int TPing::Flags() const { return icmp_ ? icmp_->Flags() : 0; }
void TPing::SetFlags(int value) {
  if (icmp_) icmp_->SetFlags(value);
}

ICMP_ECHO_REPLY TPing::GetReply() const { return icmp_ ? icmp_->Reply() : ICMP_ECHO_REPLY{}; }
int TPing::GetErrorCode() const { return icmp_ ? icmp_->LastError() : -1; }
String TPing::GetErrorString() const { return icmp_ ? icmp_->GetErrorString() : String(); }
String TPing::GetHostName() const { return icmp_ ? icmp_->HostName() : String(); }
String TPing::GetHostIP() const { return icmp_ ? icmp_->HostIP() : String(); }

void TPing::IcmpDisplay(TObject*, String& msg) {
  if (OnDisplay) OnDisplay(this, icmp_, msg);
}

void TPing::IcmpEchoRequest(TObject*) {
  if (OnEchoRequest) OnEchoRequest(this, icmp_);
}

void TPing::IcmpEchoReply(TObject*, int error) {
  if (OnEchoReply) OnEchoReply(this, icmp_, error);
}
