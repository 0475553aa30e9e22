#include <winsock2.h>

#include "Dnsqry.h"

#include <algorithm>

#include "application/frame/Frameservices.h"

namespace {

TButton* MakeButton(TForm* form, const char* name, const char* caption, int left, int top) {
  TButton* b = MakeControl<TButton>(form, name, left, top, 75, 25);
  b->SetCaption(caption);
  return b;
}

String BoolText(bool value) { return value ? "True" : "False"; }

String Dotted(uint32_t address) {
  in_addr ia;
  ia.s_addr = address;
  return inet_ntoa(ia);
}

}  // namespace

TFormDns::TFormDns(TComponent* owner) : TForm(owner) {
  SetName("FormDns");
  SetCaption("DNS Queries");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize, biMaximize, biHelp});
  SetPosition(poMainFormCenter);
  SetClientWidth(441);
  SetClientHeight(353);
  OnShow = {this, &TFormDns::FormShow};
  OnClose = {this, &TFormDns::FormClose};

  Label1 = MakeControl<TLabel>(this, "Label1", 8, 12, 72, 13);
  Label1->SetCaption("Domain Name:");
  Edit_Domain = MakeControl<TEdit>(this, "Edit_Domain", 88, 8, 177, 21);
  Label1->SetFocusControl(Edit_Domain);
  Label2 = MakeControl<TLabel>(this, "Label2", 8, 40, 57, 13);
  Label2->SetCaption("IP Address:");
  Edit_IP = MakeControl<TEdit>(this, "Edit_IP", 88, 36, 177, 21);
  Label2->SetFocusControl(Edit_IP);
  ComboBox1 = MakeControl<TComboBox>(this, "ComboBox1", 88, 64, 177, 21);
  ComboBox1->SetStyle(csDropDownList);
  ComboBox1->Items()->Add("A Lookup");
  ComboBox1->Items()->Add("MX Lookup");
  ComboBox1->Items()->Add("PTR Lookup");
  Button2 = MakeButton(this, "Button2", "Get IP", 276, 34);
  Button2->OnClick = {this, &TFormDns::Button2Click};
  Button4 = MakeButton(this, "Button4", "Query", 276, 62);
  Button4->SetDefault(true);
  Button4->OnClick = {this, &TFormDns::Button4Click};

  Memo1 = MakeControl<TMemo>(this, "Memo1", 8, 96, 425, 216);
  Memo1->SetReadOnly(true);
  Memo1->SetColor(clBlack);
  Memo1->Font()->SetColor(clWhite);
  Memo1->SetScrollBars(ssBoth);
  Memo1->SetWordWrap(false);

  Button1 = MakeButton(this, "Button1", "&Save As", 196, 320);
  Button1->OnClick = {this, &TFormDns::Button1Click};
  Button3 = MakeButton(this, "Button3", "&Close", 277, 320);
  Button3->SetCancel(true);
  Button3->OnClick = {this, &TFormDns::Button3Click};
  Button5 = MakeButton(this, "Button5", "&Help", 358, 320);
  Button5->OnClick = {this, &TFormDns::Button5Click};

  Dns = new TDnsQuery(this);
  Dns->SetName("Dns");
  Dns->SetPort("53");
  Dns->OnRequestDone = {this, &TFormDns::DnsRequestDone};
  Ping1 = new TPing(this);
  Ping1->SetName("Ping1");
  Ping1->SetSize(56);
  Ping1->SetTimeout(4000);
  Ping1->SetTTL(64);
  Ping1->SetFlags(0);
  Ping1->OnDnsLookupDone = {this, &TFormDns::Ping1DnsLookupDone};
  EndLoading();
}

TFormDns::~TFormDns() {
  Dns->OnRequestDone = nullptr;
  Ping1->OnDnsLookupDone = nullptr;
}

void TFormDns::FormShow(TObject*) { ComboBox1->SetItemIndex(0); }

void TFormDns::FormClose(TObject*, TCloseAction&) {
  closed_ = true;
  Ping1->CancelDnsLookup();
  SetModalResult(mrCancel);
}

void TFormDns::Button2Click(TObject*) {
  closed_ = false;
  Memo1->Clear();
  Ping1->DnsLookup(Edit_Domain->Text());
}

void TFormDns::Ping1DnsLookupDone(TObject*, WORD error) {
  if (error == 0 && !closed_) Edit_IP->SetText(Ping1->DnsResult());
}

void TFormDns::Button4Click(TObject*) {
  if (Edit_IP->Text().empty()) {
    if (TFrameServices* frame = FrameServices())
      frame->InfoBox("You must enter or obtain an IP address to query the server.", "No IP Address");
    if (Edit_IP->CanFocus()) Edit_IP->SetFocus();
    return;
  }
  closed_ = false;
  Memo1->Clear();
  Dns->SetAddr(Edit_IP->Text());
  int id;
  switch (ComboBox1->ItemIndex()) {
    case 0:
      id = Dns->ALookup(Edit_Domain->Text());
      break;
    case 1:
      id = Dns->MXLookup(Edit_Domain->Text());
      break;
    case 2:
      id = Dns->PTRLookup(Edit_IP->Text());
      break;
    default:
      return;
  }
  Memo1->Lines()->Add("Request #         : " + IntToStr(id));
  Memo1->Lines()->Add(StringOfChar('*', 50));
}

void TFormDns::DnsRequestDone(TObject*, WORD error) {
  if (closed_) return;
  if (error != 0) {
    if (TFrameServices* frame = FrameServices())
      frame->ErrorBox("DNS Query Error: #" + IntToStr(error), "DNS Query Error");
    return;
  }
  TStrings* out = Memo1->Lines();
  out->BeginUpdate();
  out->Add("Response ID        : " + IntToStr(Dns->ResponseID()));
  out->Add("Response Code      : " + IntToStr(Dns->ResponseCode()));
  out->Add("Response OpCode    : " + IntToStr(Dns->ResponseOpCode()));
  out->Add("Authoritative      : " + BoolText(Dns->ResponseAuthoritative()));
  out->Add("Truncation         : " + BoolText(Dns->ResponseTruncated()));
  out->Add("RecursionAvailable : " + BoolText(Dns->ResponseRecursionAvailable()));
  out->Add("QDCount            : " + IntToStr(Dns->ResponseQDCount()));
  out->Add("ANCount            : " + IntToStr(Dns->ResponseANCount()));
  out->Add("NSCount            : " + IntToStr(Dns->ResponseNSCount()));
  out->Add("ARCount            : " + IntToStr(Dns->ResponseARCount()));
  out->Add("Response Length    : " + IntToStr(Dns->ResponseLen()));
  out->Add("Question Name      : " + Dns->QuestionName());
  out->Add("Question Type      : " + IntToStr(Dns->QuestionType()));
  out->Add("Question Class     : " + IntToStr(Dns->QuestionClass()));
  // Only the answers the component kept: the count on the wire may be more.
  int answers = std::min(Dns->ResponseANCount(), kDnsMaxAnswers);
  for (int i = 0; i < answers; ++i) {
    out->Add("Answer #           : " + IntToStr(i + 1));
    out->Add("  Answer Name      : " + Dns->GetAnswerName(i));
    out->Add("  AnswerType       : " + IntToStr(Dns->GetAnswerType(i)));
    out->Add("  AnswerClass      : " + IntToStr(Dns->GetAnswerClass(i)));
    out->Add("  AnswerTTL        : " + IntToStr(Dns->GetAnswerTTL(i)));
    int tag = Dns->GetAnswerTag(i);
    if (tag < 0) continue;
    switch (Dns->GetAnswerType(i)) {
      case DnsQueryA:
        out->Add("  Address          : " + Dotted(Dns->GetAddress(tag)));
        break;
      case DnsQueryPTR:
        out->Add("  Hostname         : " + Dns->GetHostname(tag));
        break;
      case DnsQueryMX:
        out->Add("  MXPreference     : " + IntToStr(Dns->GetMXPreference(tag)));
        out->Add("  MXExchange       : " + Dns->GetMXExchange(tag));
        break;
      default:
        break;
    }
  }
  out->EndUpdate();
}

void TFormDns::Button1Click(TObject*) {
  TFrameServices* frame = FrameServices();
  if (!frame) return;
  String path = frame->ExecuteSaveDialog(this, "Text Files (*.txt)|*.txt", "");
  if (!path.empty()) Memo1->Lines()->SaveToFile(path);
}

void TFormDns::Button3Click(TObject*) { Close(); }

void TFormDns::Button5Click(TObject*) {
  Application->HelpFile = FrameServices() ? FrameServices()->HelpPath()
                                          : ExtractFilePath(Application->ExeName()) + "nembra3.hlp";
  Application->HelpJump("IDH_dns_queries");
}

void ShowDnsTool() {
  TFrameServices* frame = FrameServices();
  if (!frame || !frame->CheckConnection()) return;
  TOwned<TFormDns> form(new TFormDns(Application));
  form->ShowModal();
}
