// The name lookup tool: a host name turned into an address, or an address
// into a host name, with the socket component's asynchronous lookups; each
// step is written into a memo.
#pragma once

#include "classlib/Stdctrls.h"
#include "protocols/Wsocket.h"

class TFormLookup : public TForm {
 public:
  explicit TFormLookup(TComponent* owner);
  ~TFormLookup() override;

  TLabel* Label1;
  TEdit* EditQuery;
  TLabel* Label2;
  TMemo* Memo1;
  TButton* Button1;
  TButton* Button4;
  TButton* Button3;
  TButton* Button2;
  TWSocket* Socket1;

  void Button1Click(TObject* sender);
  void Button4Click(TObject* sender);
  void Button3Click(TObject* sender);
  void Button2Click(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);
  void Socket1DnsLookupDone(TObject* sender, WORD error);
  void Socket1Error(TObject* sender);
  void Socket1BgException(TObject* sender, Exception& e, bool& canClose);
  void SocketDiagnostic(TObject* sender, String& msg);

 private:
  // The window closed: what its lookup still reports writes nothing (until
  // the next lookup).
  bool closing_ = false;
};

// Opens the lookup tool modally when the frame's connection check agrees.
void ShowLookupTool();
