// The ping and trace-route tool: three echoes to a host with their times
// and the average, or the route to a host traced with echoes of a growing
// TTL. The echoes block; the window handles its messages between them, so
// Cancel takes effect after the current echo.
#pragma once

#include "classlib/Extctrls.h"
#include "classlib/Stdctrls.h"
#include "protocols/Ping.h"
#include "protocols/Wsocket.h"

class TFormPing : public TForm {
 public:
  explicit TFormPing(TComponent* owner);
  ~TFormPing() override;

  TLabel* Label1;
  TEdit* EditAdd;
  TLabel* Label3;
  TEdit* EditSize;
  TLabel* Label4;
  TEdit* EditTime;
  TLabel* Label5;
  TLabel* Label6;
  TEdit* EditTTL;
  TCheckBox* CheckTrace;
  TCheckBox* Check1;
  TLabel* Label2;
  TMemo* Memo1;
  TButton* ButPing;
  TButton* Button2;
  TButton* Button1;
  TButton* ButExit;
  TPanel* Stat;
  TPing* Ping1;
  TPing* PingTracer;
  TWSocket* Lookup;

  void ButPingClick(TObject* sender);
  void Button2Click(TObject* sender);
  void Button1Click(TObject* sender);
  void ButExitClick(TObject* sender);
  void CheckTraceClick(TObject* sender);
  void EditSizeKeyPress(TObject* sender, char& key);
  void EditTimeKeyPress(TObject* sender, char& key);
  void EditTTLKeyPress(TObject* sender, char& key);
  void FormClose(TObject* sender, TCloseAction& action);

  void Ping1EchoRequest(TObject* sender, TICMP* icmp);
  void Ping1EchoReply(TObject* sender, TICMP* icmp, int error);
  void Ping1Display(TObject* sender, TICMP* icmp, String& msg);
  void Ping1DnsLookupDone(TObject* sender, WORD error);
  void LookupDnsLookupDone(TObject* sender, WORD error);
  void PingTracerDnsLookupDone(TObject* sender, WORD error);
  void PingTracerEchoReply(TObject* sender, TICMP* icmp, int error);

  // Limits of the number fields.
  static constexpr int MaxPacketSize = 65500;
  static constexpr int MaxHops = 255;

 protected:
  // A close from the system cancels a run first.
  void Dispatch(TMessage& msg) override;

 private:
  // Sets the status text and handles the pending messages.
  void StatusLine(const String& text);
  void MemoLine(const String& text);
  void Busy();
  void Idle();
  bool Cancelled() const;
  void DigitsOnly(char& key);
  void PingHost(const String& address);
  void StartTrace(const String& address);
  // The echoes of the trace, from TTL 1 up to the target or the hop limit.
  void TraceEchoes();
  void PingCancelled();
  void TraceCancelled();
  void TraceLookupFailed(const String& text);
  void CleanupWinsock();

  bool wsaStarted_ = false;
  bool cancel_ = false;
  int packet_ = 1;
  int sum_ = 0;
  bool answered_[3] = {true, true, true};
  int maxHops_ = 32;
  int size_ = 64;
  int timeout_ = 3000;
  // The last trace reply came from the target.
  bool atTarget_ = false;
};

// Opens the ping tool modally when the frame's connection check agrees.
void ShowPingTool();
