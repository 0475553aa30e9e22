// Finger client: asks a finger server about a user ("user@host"; an empty
// user asks for the list of users). The answer is read in OnDataAvailable
// with Receive; OnQueryDone ends every query once, with 0 or the WinSock
// error of the lookup, connect or transfer.
#pragma once

#include "protocols/Wsocket.h"

class TFingerCli : public TComponent {
 public:
  explicit TFingerCli(TComponent* AOwner);
  ~TFingerCli() override;

  // Splits Query at its first "@" and starts the lookup of the host.
  // Exception "TFingerCli, Invalid Query: %s" without "@",
  // "TFingerCli, Invalid Host in query: %s" with nothing after it.
  void StartQuery();
  // Ends the socket's activity; a pending lookup ends the query with 10004.
  void Abort();
  int Receive(void* Buffer, int Len);

  const String& Query() const { return FQuery; }
  void SetQuery(const String& Value) { FQuery = Value; }

  TSessionConnected OnSessionConnected;
  TDataAvailable OnDataAvailable;
  TSessionClosed OnQueryDone;

 protected:
  void TriggerQueryDone(WORD Error);
  void WSocketDnsLookupDone(TObject* Sender, WORD Error);
  void WSocketSessionConnected(TObject* Sender, WORD Error);
  void WSocketDataAvailable(TObject* Sender, WORD Error);
  void WSocketSessionClosed(TObject* Sender, WORD Error);

  TWSocket* FWSocket = nullptr;
  String FQuery;
  bool FQueryDoneFlag = false;
};
