// The URL information tool: one URL fetched with the HTTP client, its
// status and header lines in one pane and, for a full-document request, the
// document's text in the other. The document is received into a file of the
// temporary folder "HttpTemp" in the program's folder and can be saved
// elsewhere.
#pragma once

#include "classlib/Stdctrls.h"
#include "protocols/Httpprot.h"

class TFormHttp : public TForm {
 public:
  // programFolder: the folder (with its trailing backslash) that holds
  // "HttpTemp\"; the folder is made when missing.
  TFormHttp(TComponent* owner, const String& programFolder);
  ~TFormHttp() override;

  TLabel* Label3;
  TEdit* EditUrl;
  TRadioButton* RadioGet;
  TRadioButton* RadioHead;
  TLabel* Label1;
  TMemo* Memo2;
  TLabel* Label2;
  TMemo* Memo1;
  TButton* ButVal;
  TButton* ButCan;
  TButton* ButSav;
  TButton* Button1;
  TButton* Button3;
  THttpCli* Http1;

  // The program folder + "HttpTemp\".
  String TempFolder;
  // The file of the current or last document; empty before the first one
  // and after it was saved elsewhere.
  String DocFileName;

  void GetDocument(const String& url);
  void GetHeaders(const String& url);

  void ButValClick(TObject* sender);
  void ButCanClick(TObject* sender);
  void Button3Click(TObject* sender);
  void ButSavClick(TObject* sender);
  void Button1Click(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);
  void Http1SessionConnected(TObject* sender);
  void Http1DocBegin(TObject* sender);
  void Http1DocEnd(TObject* sender);
  void Http1RequestDone(TObject* sender, THttpRequest rqType, WORD error);

  // The window's key of its placement in the settings.
  static constexpr const char* PlacementKey = "FormHttp";

 protected:
  // A close from the system ends the request before the window goes.
  void Dispatch(TMessage& msg) override;

 private:
  void RequestEnded();
  // Runs Get or Head; the request-done event that fires inside the call is
  // handled after the call's own lines, once it returned.
  bool Request(void (THttpCli::*call)());
  void RequestDone(THttpRequest rqType, WORD error);

  bool requesting_ = false;
  bool donePending_ = false;
  THttpRequest doneType_ = httpGET;
  WORD doneError_ = 0;
};

// Opens the URL tool modally (its temporary folder in the program's folder)
// when the frame's connection check agrees.
void ShowUrlTool();
