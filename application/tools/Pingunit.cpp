#include <winsock2.h>

#include "Pingunit.h"

#include "application/frame/Frameservices.h"

namespace {

// Posted to the form: the trace's echoes start from the message loop, not
// from inside the lookup that resolved the target. (Clear of the dialog
// manager's DM_ numbers, WM_USER + 0 to 2.)
const UINT WM_TRACE_ECHOES = WM_USER + 10;

const int kStars = 45;

TLabel* MakeLabel(TForm* form, const char* name, const char* caption, int left, int top) {
  TLabel* l = MakeControl<TLabel>(form, name, left, top, 60, 13);
  l->SetCaption(caption);
  return l;
}

TButton* MakeButton(TForm* form, const char* name, const char* caption, int top) {
  TButton* b = MakeControl<TButton>(form, name, 336, top, 81, 25);
  b->SetCaption(caption);
  return b;
}

String Dotted(IPAddr address) {
  in_addr ia;
  ia.s_addr = address;
  return inet_ntoa(ia);
}

}  // namespace

TFormPing::TFormPing(TComponent* owner) : TForm(owner) {
  SetName("FormPing");
  SetCaption("Ping Utility");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu, biHelp});
  SetPosition(poDesktopCenter);
  SetClientWidth(425);
  SetClientHeight(410);
  OnClose = {this, &TFormPing::FormClose};

  Label1 = MakeLabel(this, "Label1", "Host Address:", 8, 12);
  EditAdd = MakeControl<TEdit>(this, "EditAdd", 84, 8, 237, 21);
  Label1->SetFocusControl(EditAdd);
  Label3 = MakeLabel(this, "Label3", "Packet Size:", 8, 40);
  EditSize = MakeControl<TEdit>(this, "EditSize", 84, 36, 49, 21);
  EditSize->SetText("64");
  EditSize->OnKeyPress = {this, &TFormPing::EditSizeKeyPress};
  Label3->SetFocusControl(EditSize);
  Label4 = MakeLabel(this, "Label4", "Timeout:", 148, 40);
  EditTime = MakeControl<TEdit>(this, "EditTime", 196, 36, 49, 21);
  EditTime->SetText("3000");
  EditTime->OnKeyPress = {this, &TFormPing::EditTimeKeyPress};
  Label4->SetFocusControl(EditTime);
  Label5 = MakeLabel(this, "Label5", "ms", 250, 40);
  Label6 = MakeLabel(this, "Label6", "Max Hops:", 8, 68);
  EditTTL = MakeControl<TEdit>(this, "EditTTL", 84, 64, 49, 21);
  EditTTL->SetText("32");
  EditTTL->OnKeyPress = {this, &TFormPing::EditTTLKeyPress};
  Label6->SetFocusControl(EditTTL);
  CheckTrace = MakeControl<TCheckBox>(this, "CheckTrace", 148, 66, 173, 17);
  CheckTrace->SetCaption("Trace Route");
  CheckTrace->OnClick = {this, &TFormPing::CheckTraceClick};
  Check1 = MakeControl<TCheckBox>(this, "Check1", 148, 86, 173, 17);
  Check1->SetCaption("Retrive Server Name");
  Check1->SetEnabled(false);
  Label2 = MakeControl<TLabel>(this, "Label2", 8, 124, 409, 28);
  Label2->SetAutoSize(false);
  Label2->SetWordWrap(true);
  Label2->SetCaption("These functions use blocking calls. Cancel will abort, but only after the current operation.");

  Memo1 = MakeControl<TMemo>(this, "Memo1", 8, 156, 409, 227);
  Memo1->SetReadOnly(true);
  Memo1->SetColor(clBlack);
  Memo1->Font()->SetColor(clWhite);
  Memo1->SetScrollBars(ssVertical);

  ButPing = MakeButton(this, "ButPing", "&Ping", 8);
  ButPing->SetDefault(true);
  ButPing->OnClick = {this, &TFormPing::ButPingClick};
  Button2 = MakeButton(this, "Button2", "Cancel", 36);
  Button2->SetCancel(true);
  Button2->SetEnabled(false);
  Button2->OnClick = {this, &TFormPing::Button2Click};
  Button1 = MakeButton(this, "Button1", "&Help", 64);
  Button1->OnClick = {this, &TFormPing::Button1Click};
  ButExit = MakeButton(this, "ButExit", "&Exit", 92);
  ButExit->OnClick = {this, &TFormPing::ButExitClick};

  Stat = new TPanel(this);
  Stat->SetName("Stat");
  Stat->SetParent(this);
  Stat->SetAlign(alBottom);
  Stat->SetHeight(21);
  Stat->SetBevelOuter(bvLowered);
  Stat->SetAlignment(taLeftJustify);
  Stat->SetCaption("");

  Ping1 = new TPing(this);
  Ping1->SetName("Ping1");
  PingTracer = new TPing(this);
  PingTracer->SetName("PingTracer");
  for (TPing* p : {Ping1, PingTracer}) {
    p->SetSize(56);
    p->SetTimeout(4000);
    p->SetTTL(64);
    p->SetFlags(0);
  }
  Ping1->OnEchoRequest = {this, &TFormPing::Ping1EchoRequest};
  Ping1->OnEchoReply = {this, &TFormPing::Ping1EchoReply};
  Ping1->OnDisplay = {this, &TFormPing::Ping1Display};
  Ping1->OnDnsLookupDone = {this, &TFormPing::Ping1DnsLookupDone};
  PingTracer->OnEchoReply = {this, &TFormPing::PingTracerEchoReply};
  PingTracer->OnDnsLookupDone = {this, &TFormPing::PingTracerDnsLookupDone};
  Lookup = new TWSocket(this);
  Lookup->SetName("Lookup");
  Lookup->OnDnsLookupDone = {this, &TFormPing::LookupDnsLookupDone};

  WSADATA data;
  wsaStarted_ = WSAStartup(MAKEWORD(1, 1), &data) == 0;
  EndLoading();
}

TFormPing::~TFormPing() {
  cancel_ = true;
  Ping1->OnEchoRequest = nullptr;
  Ping1->OnEchoReply = nullptr;
  Ping1->OnDisplay = nullptr;
  Ping1->OnDnsLookupDone = nullptr;
  PingTracer->OnEchoReply = nullptr;
  PingTracer->OnDnsLookupDone = nullptr;
  Lookup->OnDnsLookupDone = nullptr;
  if (!ButPing->Enabled()) Screen->SetCursor(crDefault);
  CleanupWinsock();
}

void TFormPing::CleanupWinsock() {
  if (!wsaStarted_) return;
  wsaStarted_ = false;
  WSACleanup();
}

void TFormPing::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_CLOSE:
      cancel_ = true;
      break;
    case WM_TRACE_ECHOES:
      TraceEchoes();
      return;
    default:
      break;
  }
  TForm::Dispatch(msg);
}

// ---------------------------------------------------------------- little steps

void TFormPing::StatusLine(const String& text) {
  Stat->SetCaption(text);
  Application->ProcessMessages();
}

void TFormPing::MemoLine(const String& text) { Memo1->Lines()->Add(text); }

void TFormPing::Busy() {
  Screen->SetCursor(crHourGlass);
  Button2->SetEnabled(true);
  ButPing->SetEnabled(false);
}

void TFormPing::Idle() {
  Screen->SetCursor(crDefault);
  Button2->SetEnabled(false);
  ButPing->SetEnabled(true);
}

// A closing window cancels too.
bool TFormPing::Cancelled() const { return cancel_ || ModalResult() != mrNone; }

void TFormPing::DigitsOnly(char& key) {
  if ((key >= '0' && key <= '9') || key == '\b') return;
  if (TFrameServices* frame = FrameServices()) frame->InfoBox("You can enter digits only in this field!", "Digits Only");
  key = 0;
}

void TFormPing::EditSizeKeyPress(TObject*, char& key) { DigitsOnly(key); }
void TFormPing::EditTimeKeyPress(TObject*, char& key) { DigitsOnly(key); }
void TFormPing::EditTTLKeyPress(TObject*, char& key) { DigitsOnly(key); }

void TFormPing::CheckTraceClick(TObject*) {
  Check1->SetEnabled(CheckTrace->Checked());
  Check1->SetChecked(false);
}

// ---------------------------------------------------------------- buttons

void TFormPing::ButPingClick(TObject*) {
  // An empty field fails its conversion here, before anything starts.
  int hops = StrToInt(EditTTL->Text());
  int size = StrToInt(EditSize->Text());
  int timeout = StrToInt(EditTime->Text());
  if (size < 0 || size > MaxPacketSize || timeout < 1 || hops < 1 || hops > MaxHops) {
    if (TFrameServices* frame = FrameServices())
      frame->InfoBox("Packet Size must be 0 to 65500, Timeout at least 1 and Max Hops 1 to 255.", "Invalid Value");
    return;
  }
  maxHops_ = hops;
  size_ = size;
  timeout_ = timeout;
  cancel_ = false;
  String address = EditAdd->Text();
  if (CheckTrace->Checked()) {
    Busy();
    try {
      StartTrace(address);
    } catch (...) {
      Idle();
      throw;
    }
  } else if (!address.empty()) {
    Busy();
    for (bool& a : answered_) a = true;
    try {
      PingHost(address);
    } catch (...) {
      Idle();
      throw;
    }
    Idle();
  }
}

void TFormPing::Button2Click(TObject*) { cancel_ = true; }

void TFormPing::Button1Click(TObject*) {
  Application->HelpFile = FrameServices() ? FrameServices()->HelpPath()
                                          : ExtractFilePath(Application->ExeName()) + "nembra3.hlp";
  Application->HelpJump("IDH_ping");
}

void TFormPing::ButExitClick(TObject*) {
  cancel_ = true;
  Close();
}

void TFormPing::FormClose(TObject*, TCloseAction&) {
  cancel_ = true;
  if (!ButPing->Enabled()) Screen->SetCursor(crDefault);
  CleanupWinsock();
}

// ---------------------------------------------------------------- three echoes

void TFormPing::PingHost(const String& address) {
  Memo1->Clear();
  packet_ = 1;
  sum_ = 0;
  Ping1->SetSize(size_);
  Ping1->SetTimeout(timeout_);
  Ping1->SetAddress(address);
  Ping1->SetTTL(maxHops_);
  MemoLine("Host: " + address + " \r\n" + StringOfChar('*', kStars));
  StatusLine("Pinging.. " + address);
  for (packet_ = 1; packet_ <= 3; ++packet_) {
    if (Cancelled()) break;
    Application->ProcessMessages();
    if (Cancelled()) break;
    int replies = Ping1->Ping();
    // No reply, an ICMP error instead of the echo, or no echo sent at all
    // (an address that cannot be resolved): the packet failed.
    if (replies <= 0 || Ping1->GetReply().Status != IP_SUCCESS) answered_[packet_ - 1] = false;
    if (Cancelled()) break;
  }
  if (Cancelled()) {
    PingCancelled();
    return;
  }
  if (answered_[0] && answered_[1] && answered_[2]) {
    MemoLine("Average return time: " + IntToStr(sum_ / 3) + " milliseconds\r\n");
    StatusLine("Ping Complete");
  } else {
    MemoLine("One or more packets timed out, no average.");
    StatusLine("Ping Complete");
  }
}

void TFormPing::Ping1EchoRequest(TObject*, TICMP*) {
  if (Cancelled()) return;
  MemoLine("Sending packet " + IntToStr(packet_) + " size: " + IntToStr(Ping1->Size()) + " bytes to " +
           Ping1->GetHostName() + " (" + Ping1->GetHostIP() + ")");
  StatusLine("Sending packet " + IntToStr(packet_));
  MemoLine("");
}

void TFormPing::Ping1EchoReply(TObject*, TICMP* icmp, int error) {
  if (Cancelled()) return;
  const ICMP_ECHO_REPLY reply = Ping1->GetReply();
  if (error > 0 && reply.Status == IP_SUCCESS) {
    String rtt = IntToStr(reply.RoundTripTime);
    MemoLine("Received the following...");
    MemoLine("Returned Data: " + IntToStr(reply.DataSize) + " bytes");
    MemoLine("Return Time: " + rtt + " milliseconds\r\n" + StringOfChar('*', kStars));
    StatusLine("Ping Reply: " + rtt + " milliseconds");
    MemoLine("");
    MemoLine("");
    sum_ += static_cast<int>(reply.RoundTripTime);
    return;
  }
  // An error reply tells how long it took; no reply took the whole time-out.
  String time = error > 0 ? IntToStr(reply.RoundTripTime) : EditTime->Text();
  String text = Ping1->GetErrorString();
  MemoLine("Packet " + IntToStr(packet_) + " " + text + " in " + time + " milliseconds\r\n" +
           StringOfChar('*', kStars));
  StatusLine("Error: " + text);
  if (packet_ >= 1 && packet_ <= 3) answered_[packet_ - 1] = false;
}

void TFormPing::Ping1Display(TObject*, TICMP*, String& msg) { MemoLine("Message: " + msg); }

void TFormPing::Ping1DnsLookupDone(TObject*, WORD error) {
  if (error != 0) {
    MemoLine("Dns Lookup Error: " + Ping1->GetErrorString());
    StatusLine("Error: " + Ping1->GetErrorString());
    return;
  }
  MemoLine("Host: " + EditAdd->Text() + " IP Address: " + Ping1->DnsResult());
}

void TFormPing::PingCancelled() {
  MemoLine("Ping Cancelled!");
  StatusLine("Ping Cancelled!");
  Idle();
}

// ---------------------------------------------------------------- trace route

void TFormPing::StartTrace(const String& address) {
  PingTracer->SetSize(size_);
  PingTracer->SetTimeout(timeout_);
  MemoLine("Host: " + address + " \r\n" + StringOfChar('*', kStars));
  StatusLine("Trying to resolve: " + address);
  if (Cancelled()) {
    TraceCancelled();
    return;
  }
  Lookup->DnsLookup(address);
}

void TFormPing::LookupDnsLookupDone(TObject*, WORD error) {
  if (Cancelled()) {
    TraceCancelled();
    return;
  }
  if (error != 0) {
    TraceLookupFailed(WSocketErrorDesc(error));
    return;
  }
  String address = Lookup->DnsResult();
  PingTracer->SetAddress(address);
  PingTracer->SetTTL(1);
  StatusLine("Resolved: " + address);
  if (Cancelled()) {
    TraceCancelled();
    return;
  }
  PingTracer->DnsLookup(address);
}

void TFormPing::PingTracerDnsLookupDone(TObject*, WORD error) {
  if (Cancelled()) {
    TraceCancelled();
    return;
  }
  if (error != 0) {
    TraceLookupFailed(WSocketErrorDesc(error));
    return;
  }
  MemoLine("");
  MemoLine("Resolved: " + PingTracer->DnsResult());
  MemoLine(StringOfChar('*', kStars));
  MemoLine("");
  PingTracer->SetAddress(PingTracer->DnsResult());
  PingTracer->SetTTL(1);
  PostMessageA(Handle(), WM_TRACE_ECHOES, 0, 0);
}

void TFormPing::TraceEchoes() {
  for (;;) {
    if (Cancelled()) {
      TraceCancelled();
      return;
    }
    atTarget_ = false;
    int ttl = PingTracer->TTL();
    PingTracer->Ping();
    if (Cancelled()) {
      TraceCancelled();
      return;
    }
    if (atTarget_) {
      Idle();
      StatusLine("Trace Complete");
      MemoLine("Trace Route Complete");
      return;
    }
    if (ttl >= maxHops_) {
      MemoLine("Max Hops reached, trace stopped.");
      StatusLine("Trace Stopped");
      Idle();
      return;
    }
    PingTracer->SetTTL(ttl + 1);
    Application->ProcessMessages();
  }
}

void TFormPing::PingTracerEchoReply(TObject*, TICMP* icmp, int error) {
  if (Cancelled()) return;
  String ttl = IntToStr(PingTracer->TTL());
  if (error <= 0) {
    String text = PingTracer->GetErrorString();
    StatusLine("Error: " + text);
    MemoLine(ttl + ")  Error: " + text);
    return;
  }
  // A reply, the echo or an ICMP error (TTL expired in transit): a hop.
  const ICMP_ECHO_REPLY reply = PingTracer->GetReply();
  String hop = Dotted(reply.Address);
  String hopName;
  String rtt = IntToStr(reply.RoundTripTime);
  Application->ProcessMessages();
  if (Check1->Checked() && hop != "0.0.0.0") {
    StatusLine("Trying to retrieve server name for: " + hop);
    if (wsaStarted_) {
      IPAddr a = reply.Address;
      hostent* he = gethostbyaddr(reinterpret_cast<const char*>(&a), 4, AF_INET);
      if (he && he->h_name) {
        hopName = String(he->h_name) + " [" + hop + "]";
      } else {
        hopName = "[Name not available]";
        StatusLine("Could not retrieve server name for: " + hop);
      }
    }
  } else {
    StatusLine(hop + " - " + rtt + " ms");
  }
  MemoLine(ttl + ")  " + hop + "  " + hopName + " - " + rtt + " ms");
  atTarget_ = hop == PingTracer->Address();
}

void TFormPing::TraceCancelled() {
  MemoLine("Trace Cancelled!");
  StatusLine("Trace Cancelled!");
  Idle();
}

void TFormPing::TraceLookupFailed(const String& text) {
  MemoLine("Dns Lookup Error: " + text);
  StatusLine("Error: " + text);
  Idle();
}

void ShowPingTool() {
  TFrameServices* frame = FrameServices();
  if (!frame || !frame->CheckConnection()) return;
  TOwned<TFormPing> form(new TFormPing(Application));
  form->ShowModal();
}
