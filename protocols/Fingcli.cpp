#include "Fingcli.h"

TFingerCli::TFingerCli(TComponent* AOwner) : TComponent(AOwner) {
  FWSocket = new TWSocket(this);
  FWSocket->OnSessionConnected = {this, &TFingerCli::WSocketSessionConnected};
  FWSocket->OnDataAvailable = {this, &TFingerCli::WSocketDataAvailable};
  FWSocket->OnSessionClosed = {this, &TFingerCli::WSocketSessionClosed};
  FWSocket->OnDnsLookupDone = {this, &TFingerCli::WSocketDnsLookupDone};
}

TFingerCli::~TFingerCli() { FreeAndNil(FWSocket); }

void TFingerCli::StartQuery() {
  int at = Pos("@", FQuery);
  if (at == 0) throw Exception(Format("TFingerCli, Invalid Query: %s", FQuery));
  String host = Copy(FQuery, at + 1, static_cast<int>(FQuery.size()));
  if (host.empty()) throw Exception(Format("TFingerCli, Invalid Host in query: %s", FQuery));
  FQueryDoneFlag = false;
  FWSocket->DnsLookup(host);
}

void TFingerCli::Abort() {
  FWSocket->CancelDnsLookup();
  FWSocket->Abort();
}

int TFingerCli::Receive(void* Buffer, int Len) { return FWSocket->Receive(Buffer, Len); }

void TFingerCli::TriggerQueryDone(WORD Error) {
  if (FQueryDoneFlag) return;
  FQueryDoneFlag = true;
  if (OnQueryDone) OnQueryDone(this, Error);
}

void TFingerCli::WSocketDnsLookupDone(TObject*, WORD Error) {
  if (Error != 0) {
    TriggerQueryDone(Error);
    return;
  }
  try {
    FWSocket->SetAddr(FWSocket->DnsResult());
    FWSocket->SetProto("tcp");
    FWSocket->SetPort("finger");
    FWSocket->Connect();
  } catch (Exception&) {
    // The connect failed before anything was sent: the query ends here.
    int e = FWSocket->LastError();
    if (e == 0) e = WSocket_WSAGetLastError();
    if (e == 0) e = WSAEINVAL;
    TriggerQueryDone(static_cast<WORD>(e));
    try {
      FWSocket->Abort();
    } catch (Exception&) {
    }
  }
}

void TFingerCli::WSocketSessionConnected(TObject*, WORD Error) {
  if (OnSessionConnected) OnSessionConnected(this, Error);
  if (Error != 0) {
    TriggerQueryDone(Error);
    FWSocket->Close();
    return;
  }
  int at = Pos("@", FQuery);
  FWSocket->SendStr(Copy(FQuery, 1, at - 1) + "\r\n");
}

void TFingerCli::WSocketDataAvailable(TObject*, WORD Error) {
  if (OnDataAvailable) {
    OnDataAvailable(this, Error);
    return;
  }
  // Nobody reads the answer: it is dropped so that the close can come.
  char junk[1024];
  FWSocket->Receive(junk, sizeof junk);
}

void TFingerCli::WSocketSessionClosed(TObject*, WORD Error) { TriggerQueryDone(Error); }
