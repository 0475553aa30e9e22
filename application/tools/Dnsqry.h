// The DNS query tool: one A, MX or PTR query sent to a name server with the
// DNS query component, the decoded reply dumped field by field into a memo
// that can be saved as text. A ping component looks the server's address
// up from the domain name.
#pragma once

#include "classlib/Stdctrls.h"
#include "protocols/Dnsquery.h"
#include "protocols/Ping.h"

class TFormDns : public TForm {
 public:
  explicit TFormDns(TComponent* owner);
  ~TFormDns() override;

  TLabel* Label1;
  TEdit* Edit_Domain;
  TLabel* Label2;
  TEdit* Edit_IP;
  TComboBox* ComboBox1;
  TButton* Button2;
  TButton* Button4;
  TMemo* Memo1;
  TButton* Button1;
  TButton* Button3;
  TButton* Button5;
  TDnsQuery* Dns;
  TPing* Ping1;

  void Button2Click(TObject* sender);
  void Button4Click(TObject* sender);
  void Button1Click(TObject* sender);
  void Button3Click(TObject* sender);
  void Button5Click(TObject* sender);
  void FormShow(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);
  void Ping1DnsLookupDone(TObject* sender, WORD error);
  void DnsRequestDone(TObject* sender, WORD error);

 private:
  // The window closed: a reply that still comes shows nothing (until the
  // next query).
  bool closed_ = false;
};

// Opens the DNS query tool modally when the frame's connection check agrees.
void ShowDnsTool();
