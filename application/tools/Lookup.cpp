#include "Lookup.h"

#include "application/frame/Frameservices.h"

namespace {

TButton* MakeButton(TForm* form, const char* name, const char* caption, int left, int top) {
  TButton* b = MakeControl<TButton>(form, name, left, top, 100, 25);
  b->SetCaption(caption);
  return b;
}

}  // namespace

TFormLookup::TFormLookup(TComponent* owner) : TForm(owner) {
  SetName("FormLookup");
  SetCaption("DNS Lookup");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize, biMaximize, biHelp});
  SetPosition(poMainFormCenter);
  SetClientWidth(337);
  SetClientHeight(289);
  OnClose = {this, &TFormLookup::FormClose};

  Label1 = MakeControl<TLabel>(this, "Label1", 8, 12, 44, 13);
  Label1->SetCaption("Address:");
  EditQuery = MakeControl<TEdit>(this, "EditQuery", 60, 8, 269, 21);
  Label1->SetFocusControl(EditQuery);
  Label2 = MakeControl<TLabel>(this, "Label2", 8, 68, 36, 13);
  Label2->SetCaption("Result:");
  Memo1 = MakeControl<TMemo>(this, "Memo1", 8, 84, 321, 164);
  Memo1->SetReadOnly(true);
  Memo1->SetColor(clBlack);
  Memo1->Font()->SetColor(clWhite);
  Memo1->SetScrollBars(ssVertical);

  Button1 = MakeButton(this, "Button1", "Lookup", 60, 36);
  Button1->SetDefault(true);
  Button1->OnClick = {this, &TFormLookup::Button1Click};
  Button4 = MakeButton(this, "Button4", "Reverse Lookup", 168, 36);
  Button4->OnClick = {this, &TFormLookup::Button4Click};
  Button3 = MakeButton(this, "Button3", "&Close", 121, 256);
  Button3->SetCancel(true);
  Button3->OnClick = {this, &TFormLookup::Button3Click};
  Button2 = MakeButton(this, "Button2", "&Help", 229, 256);
  Button2->OnClick = {this, &TFormLookup::Button2Click};

  Socket1 = new TWSocket(this);
  Socket1->SetName("Socket1");
  Socket1->SetLineMode(false);
  Socket1->SetProto("tcp");
  Socket1->SetLocalAddr("0.0.0.0");
  Socket1->SetLocalPort("0");
  Socket1->OnDnsLookupDone = {this, &TFormLookup::Socket1DnsLookupDone};
  Socket1->OnError = {this, &TFormLookup::Socket1Error};
  Socket1->OnBgException = {this, &TFormLookup::Socket1BgException};
  Socket1->OnDiagnostic = {this, &TFormLookup::SocketDiagnostic};
  EndLoading();
}

TFormLookup::~TFormLookup() {
  closing_ = true;
  Socket1->OnDnsLookupDone = nullptr;
  Socket1->OnError = nullptr;
  Socket1->OnBgException = nullptr;
  Socket1->OnDiagnostic = nullptr;
}

void TFormLookup::Button1Click(TObject*) {
  closing_ = false;
  Screen->SetCursor(crHourGlass);
  Memo1->Lines()->Add("");
  Memo1->Lines()->Add("Sending Lookup Query for: " + EditQuery->Text());
  Socket1->DnsLookup(EditQuery->Text());
}

void TFormLookup::Button4Click(TObject*) {
  closing_ = false;
  Screen->SetCursor(crHourGlass);
  Memo1->Lines()->Add("");
  Memo1->Lines()->Add("Sending Reverse Lookup Query for: " + EditQuery->Text());
  Socket1->ReverseDnsLookup(EditQuery->Text());
}

void TFormLookup::Button3Click(TObject*) { Close(); }

void TFormLookup::Button2Click(TObject*) {
  Application->HelpFile = FrameServices() ? FrameServices()->HelpPath()
                                          : ExtractFilePath(Application->ExeName()) + "nembra3.hlp";
  Application->HelpJump("IDH_lookup");
}

void TFormLookup::FormClose(TObject*, TCloseAction&) {
  closing_ = true;
  Socket1->Abort();
  Screen->SetCursor(crDefault);
  SetModalResult(mrCancel);
}

void TFormLookup::Socket1DnsLookupDone(TObject*, WORD error) {
  Screen->SetCursor(crDefault);
  if (closing_) return;
  if (error != 0) {
    Memo1->Lines()->Add("Error: #" + IntToStr(error));
    return;
  }
  Memo1->Lines()->Add("Finished");
  Memo1->Lines()->Add("Result: " + Socket1->DnsResult());
}

void TFormLookup::Socket1Error(TObject*) {
  Screen->SetCursor(crDefault);
  if (closing_) return;
  Memo1->Lines()->Add("Socket Error: Error# " + IntToStr(Socket1->LastError()));
}

void TFormLookup::Socket1BgException(TObject*, Exception&, bool&) { Screen->SetCursor(crDefault); }

void TFormLookup::SocketDiagnostic(TObject*, String& msg) {
  if (!closing_) Memo1->Lines()->Add(msg);
}

void ShowLookupTool() {
  TFrameServices* frame = FrameServices();
  if (!frame || !frame->CheckConnection()) return;
  TOwned<TFormLookup> form(new TFormLookup(Application));
  form->ShowModal();
}
