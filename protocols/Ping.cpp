#include <winsock2.h>

#include "Ping.h"

#include "classlib/Forms.h"

namespace {

const char kPingWindowClass[] = "ICSPingWindowClass";
const char kLeftoversProp[] = "NembraPingLeftovers";
const UINT WM_ASYNCGETHOSTBYNAME = WM_USER + 2;
const int kLookupBufferSize = 1025;  // at least MAXGETHOSTSTRUCT
const WORD kLookupCancelled = 10004;  // WSAEINTR
// A window left behind for late lookup replies gives up after this long.
const UINT_PTR kLeftoversTimer = 1;
const UINT kLeftoversLifetime = 10 * 60 * 1000;

}  // namespace

// The result buffers of cancelled lookups still owed a reply when their TPing
// went away; the window stays until the replies came (or gave up).
struct TPing::TLeftovers {
  TLookupBuffers Buffers;
};

LRESULT CALLBACK TPing::WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* ping = reinterpret_cast<TPing*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
  if (ping) {
    TMessage m{msg, wParam, lParam, 0};
    try {
      ping->WndProc(m);
    } catch (...) {
      if (Application) Application->HandleException(nullptr);
    }
    return m.Result;
  }
  auto* left = static_cast<TLeftovers*>(GetPropA(wnd, kLeftoversProp));
  if (left) {
    if (msg == WM_ASYNCGETHOSTBYNAME || (msg == WM_TIMER && wParam == kLeftoversTimer)) {
      if (msg == WM_ASYNCGETHOSTBYNAME)
        left->Buffers.erase(reinterpret_cast<HANDLE>(wParam));
      else
        left->Buffers.clear();
      if (left->Buffers.empty()) DestroyWindow(wnd);
      return 0;
    }
    if (msg == WM_NCDESTROY) {
      RemovePropA(wnd, kLeftoversProp);
      delete left;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

TPing::TPing(TComponent* owner) : TComponent(owner) {
  icmp_ = new TICMP;
  icmp_->OnDisplay = {this, &TPing::IcmpDisplay};
  icmp_->OnEchoRequest = {this, &TPing::IcmpEchoRequest};
  icmp_->OnEchoReply = {this, &TPing::IcmpEchoReply};

  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSA wc;
  if (!GetClassInfoA(inst, kPingWindowClass, &wc)) {
    wc = WNDCLASSA{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = inst;
    wc.lpszClassName = kPingWindowClass;
    RegisterClassA(&wc);
  }
  wnd_ = CreateWindowExA(WS_EX_TOOLWINDOW, kPingWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, inst,
                         nullptr);
  if (!wnd_) {
    DWORD err = GetLastError();
    delete icmp_;
    icmp_ = nullptr;
    throw EOutOfResources(Format("Cannot create the ping window (error %d)", err));
  }
  SetWindowLongPtrA(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TPing::~TPing() {
  try {
    CancelDnsLookup();
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
  if (wnd_) {
    SetWindowLongPtrA(wnd_, GWLP_USERDATA, 0);
    if (lookupBuffers_.empty()) {
      DestroyWindow(wnd_);
    } else {
      auto* left = new TLeftovers{std::move(lookupBuffers_)};
      SetPropA(wnd_, kLeftoversProp, left);
      SetTimer(wnd_, kLeftoversTimer, kLeftoversLifetime, nullptr);
    }
    wnd_ = nullptr;
  }
  delete icmp_;
}

void TPing::WndProc(TMessage& msg) {
  if (msg.Msg == WM_ASYNCGETHOSTBYNAME)
    WMAsyncGetHostByName(msg);
  else
    msg.Result = DefWindowProcA(wnd_, msg.Msg, msg.WParam, msg.LParam);
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
