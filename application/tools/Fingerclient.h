// The finger tool: a query "user@host" sent with the finger client, the
// server's answer shown in a memo.
#pragma once

#include "classlib/Stdctrls.h"
#include "protocols/Fingcli.h"

class TFormFinger : public TForm {
 public:
  explicit TFormFinger(TComponent* owner);
  ~TFormFinger() override;

  TLabel* Label1;
  TEdit* EditQuery;
  TLabel* Label2;
  TMemo* Memo1;
  TButton* Button1;
  TButton* Button2;
  TButton* Button3;
  TButton* Button4;
  TFingerCli* Finger1;

  // Appends text to the memo as a new line; a CR or an LF becomes CR LF.
  void AddText(const String& text);

  void Button1Click(TObject* sender);
  void Button2Click(TObject* sender);
  void Button3Click(TObject* sender);
  void Button4Click(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);
  void Finger1SessionConnected(TObject* sender, WORD error);
  void Finger1DataAvailable(TObject* sender, WORD error);
  void Finger1QueryDone(TObject* sender, WORD error);

 private:
  // Ends the running query; safe to call at any time.
  void StopQuery();
  // Continues the memo's last line with text (CR and LF as AddText does).
  void ContinueText(const String& text);
  // Set by Send Query: the next read starts a new line.
  bool firstRead_ = true;
  // StartQuery is running: an end it reports at once waits until the
  // window shows the query as started.
  bool starting_ = false;
  bool endedWhileStarting_ = false;
  WORD startError_ = 0;
};

// Opens the finger tool modally when the frame's connection check agrees.
void ShowFingerTool();
