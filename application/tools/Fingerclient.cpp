#include "Fingerclient.h"

#include "application/frame/Frameservices.h"

namespace {

TButton* MakeButton(TForm* form, const char* name, const char* caption, int top) {
  TButton* b = MakeControl<TButton>(form, name, 404, top, 85, 25);
  b->SetCaption(caption);
  return b;
}

String ErrorText(WORD error) {
  switch (error) {
    case 10061:
      return "No finger service available.";
    case 11001:
      return "Host not found.";
    case 10060:
      return "Host unreachable.";
    case 10004:
      return "Operation interupted.";
    case 10046:
      return "Host does not support finger.";
    default:
      return "Error #" + IntToStr(error);
  }
}

// Every CR and every LF becomes a CR LF pair.
String WithLineBreaks(const String& text) {
  String out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\r' || c == '\n')
      out += "\r\n";
    else
      out += c;
  }
  return out;
}

}  // namespace

TFormFinger::TFormFinger(TComponent* owner) : TForm(owner) {
  SetName("FormFinger");
  SetCaption("Finger Query");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu, biMinimize, biMaximize, biHelp});
  SetPosition(poMainFormCenter);
  SetClientWidth(497);
  SetClientHeight(287);
  OnClose = {this, &TFormFinger::FormClose};

  Label1 = MakeControl<TLabel>(this, "Label1", 8, 12, 36, 13);
  Label1->SetCaption("Query:");
  EditQuery = MakeControl<TEdit>(this, "EditQuery", 48, 8, 345, 21);
  Label1->SetFocusControl(EditQuery);
  Label2 = MakeControl<TLabel>(this, "Label2", 8, 38, 36, 13);
  Label2->SetCaption("Result:");
  Memo1 = MakeControl<TMemo>(this, "Memo1", 8, 54, 385, 225);
  Memo1->SetReadOnly(true);
  Memo1->SetColor(clBlack);
  Memo1->Font()->SetColor(clWhite);
  Memo1->SetScrollBars(ssBoth);
  Memo1->SetWordWrap(false);

  Button1 = MakeButton(this, "Button1", "Send Query", 8);
  Button1->SetDefault(true);
  Button1->OnClick = {this, &TFormFinger::Button1Click};
  Button2 = MakeButton(this, "Button2", "Abort", 38);
  Button2->SetEnabled(false);
  Button2->OnClick = {this, &TFormFinger::Button2Click};
  Button3 = MakeButton(this, "Button3", "&Close", 224);
  Button3->SetCancel(true);
  Button3->OnClick = {this, &TFormFinger::Button3Click};
  Button4 = MakeButton(this, "Button4", "&Help", 254);
  Button4->OnClick = {this, &TFormFinger::Button4Click};

  Finger1 = new TFingerCli(this);
  Finger1->SetName("Finger1");
  Finger1->OnSessionConnected = {this, &TFormFinger::Finger1SessionConnected};
  Finger1->OnDataAvailable = {this, &TFormFinger::Finger1DataAvailable};
  Finger1->OnQueryDone = {this, &TFormFinger::Finger1QueryDone};
  EndLoading();
}

TFormFinger::~TFormFinger() {
  Finger1->OnSessionConnected = nullptr;
  Finger1->OnDataAvailable = nullptr;
  Finger1->OnQueryDone = nullptr;
  if (!Button1->Enabled()) {
    try {
      Finger1->Abort();
    } catch (...) {
    }
    Screen->SetCursor(crDefault);
  }
}

void TFormFinger::AddText(const String& text) { Memo1->Lines()->Add(WithLineBreaks(text)); }

void TFormFinger::ContinueText(const String& text) {
  TStrings* lines = Memo1->Lines();
  int last = lines->Count() - 1;
  if (last < 0) {
    AddText(text);
    return;
  }
  lines->Put(last, lines->Get(last) + WithLineBreaks(text));
}

void TFormFinger::Button1Click(TObject*) {
  Screen->SetCursor(crHourGlass);
  Finger1->SetQuery(EditQuery->Text());
  starting_ = true;
  endedWhileStarting_ = false;
  try {
    Finger1->StartQuery();
  } catch (...) {
    starting_ = false;
    Screen->SetCursor(crDefault);
    throw;
  }
  starting_ = false;
  Memo1->Clear();
  firstRead_ = true;
  AddText("Started...");
  Button1->SetEnabled(false);
  Button2->SetEnabled(true);
  if (endedWhileStarting_) Finger1QueryDone(Finger1, startError_);
}

void TFormFinger::Button2Click(TObject*) { Finger1->Abort(); }

void TFormFinger::Button3Click(TObject*) { Close(); }

void TFormFinger::Button4Click(TObject*) {
  Application->HelpFile = FrameServices() ? FrameServices()->HelpPath()
                                          : ExtractFilePath(Application->ExeName()) + "nembra3.hlp";
  Application->HelpJump("IDH_finger");
}

void TFormFinger::StopQuery() {
  Finger1->Abort();
  Screen->SetCursor(crDefault);
}

void TFormFinger::FormClose(TObject*, TCloseAction&) {
  StopQuery();
  SetModalResult(mrCancel);
}

void TFormFinger::Finger1SessionConnected(TObject*, WORD error) {
  if (error == 0) AddText("Connected to host...");
}

void TFormFinger::Finger1DataAvailable(TObject*, WORD) {
  char buffer[2048];
  for (;;) {
    int n = Finger1->Receive(buffer, sizeof buffer - 1);
    if (n < 1) break;
    String text(buffer, static_cast<size_t>(n));
    // A NUL would cut the text short.
    for (char& c : text)
      if (c == '\0') c = '.';
    // A read continues the line the one before it left.
    if (firstRead_)
      AddText(text);
    else
      ContinueText(text);
    firstRead_ = false;
  }
}

void TFormFinger::Finger1QueryDone(TObject*, WORD error) {
  if (starting_) {
    endedWhileStarting_ = true;
    startError_ = error;
    return;
  }
  Screen->SetCursor(crDefault);
  if (error != 0) AddText(ErrorText(error));
  AddText("Done.");
  Button1->SetEnabled(true);
  Button2->SetEnabled(false);
}

void ShowFingerTool() {
  TFrameServices* frame = FrameServices();
  if (!frame || !frame->CheckConnection()) return;
  TOwned<TFormFinger> form(new TFormFinger(Application));
  form->ShowModal();
}
