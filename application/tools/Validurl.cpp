#include "Validurl.h"

#include "application/frame/Frameservices.h"
#include "application/frame/Regdataunit.h"

namespace {

const int kStars = 60;

template <class T>
T* Make(TForm* form, const char* name, int left, int top, int width, int height, TAnchors anchors = {akLeft, akTop}) {
  T* c = MakeControl<T>(form, name, left, top, width, height);
  c->SetAnchors(anchors);
  return c;
}

TMemo* MakePane(TForm* form, const char* name, int top, int width, int height, TAnchors anchors) {
  TMemo* m = Make<TMemo>(form, name, 8, top, width, height, anchors);
  m->SetReadOnly(true);
  m->SetScrollBars(ssBoth);
  m->SetWordWrap(false);
  return m;
}

// The window's placement as the settings store reads it, while the form
// has no window yet.
class TFormPlacement : public TPlacementWindow {
 public:
  TFormPlacement(TForm* form, const String& name) : form_(form), name_(name) {}
  String PlacementName() const override { return name_; }
  TPlacementState PlacementState() const override {
    return form_->WindowState() == wsMaximized ? psMaximized : psNormal;
  }
  RECT NormalBounds() const override { return form_->BoundsRect(); }
  void SetNormalBounds(const RECT& b) override { form_->SetBounds(b.left, b.top, b.right - b.left, b.bottom - b.top); }
  void Maximize() override { form_->SetWindowState(wsMaximized); }

 private:
  TForm* form_;
  String name_;
};

// Both names lead to one file (the one of the second may not exist).
bool SameFile(const String& a, const String& b) {
  if (AnsiSameText(ExpandFileName(a), ExpandFileName(b))) return true;
  auto open = [](const String& name) {
    return CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  };
  HANDLE ha = open(a), hb = open(b);
  bool same = false;
  BY_HANDLE_FILE_INFORMATION ia, ib;
  if (ha != INVALID_HANDLE_VALUE && hb != INVALID_HANDLE_VALUE && GetFileInformationByHandle(ha, &ia) &&
      GetFileInformationByHandle(hb, &ib))
    same = ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
  if (ha != INVALID_HANDLE_VALUE) CloseHandle(ha);
  if (hb != INVALID_HANDLE_VALUE) CloseHandle(hb);
  return same;
}

}  // namespace

TFormHttp::TFormHttp(TComponent* owner, const String& programFolder) : TForm(owner) {
  String folder = IncludeTrailingBackslash(programFolder) + "HttpTemp";
  if (!DirectoryExists(folder) && !ForceDirectories(folder))
    throw EInOutError("Cannot create the folder " + folder);
  TempFolder = folder + "\\";
  SetName("FormHttp");
  SetCaption("URL Retrieval");
  SetBorderStyle(bsSizeable);
  SetBorderIcons(TBorderIcons{biSystemMenu, biHelp});
  SetPosition(poDesigned);
  SetBounds(0, 0, 521, 412);
  Constraints()->SetMinWidth(521);
  Constraints()->SetMinHeight(412);
  OnClose = {this, &TFormHttp::FormClose};
  const int w = ClientWidth(), h = ClientHeight();
  const TAnchors topWide{akLeft, akTop, akRight};
  const TAnchors all{akLeft, akTop, akRight, akBottom};
  const TAnchors bottomLeft{akLeft, akBottom};
  const TAnchors bottomRight{akRight, akBottom};

  Label3 = Make<TLabel>(this, "Label3", 8, 12, 25, 13);
  Label3->SetCaption("URL:");
  EditUrl = Make<TEdit>(this, "EditUrl", 40, 8, w - 48, 21, topWide);
  Label3->SetFocusControl(EditUrl);
  RadioGet = Make<TRadioButton>(this, "RadioGet", 40, 36, 105, 17);
  RadioGet->SetCaption("Full Document");
  RadioGet->SetChecked(true);
  RadioHead = Make<TRadioButton>(this, "RadioHead", 152, 36, 105, 17);
  RadioHead->SetCaption("Headers Only");

  Label1 = Make<TLabel>(this, "Label1", 8, 60, 45, 13);
  Label1->SetCaption("Headers:");
  Memo2 = MakePane(this, "Memo2", 76, w - 16, 112, topWide);
  Label2 = Make<TLabel>(this, "Label2", 8, 194, 55, 13);
  Label2->SetCaption("Document:");
  Memo1 = MakePane(this, "Memo1", 210, w - 16, h - 210 - 41, all);

  const int buttons = h - 33;
  ButVal = Make<TButton>(this, "ButVal", 8, buttons, 75, 25, bottomLeft);
  ButVal->SetCaption("&Get Info");
  ButVal->SetDefault(true);
  ButVal->OnClick = {this, &TFormHttp::ButValClick};
  ButCan = Make<TButton>(this, "ButCan", 89, buttons, 75, 25, bottomLeft);
  ButCan->SetCaption("&Cancel");
  ButCan->SetEnabled(false);
  ButCan->OnClick = {this, &TFormHttp::ButCanClick};
  ButSav = Make<TButton>(this, "ButSav", w - 8 - 3 * 75 - 12, buttons, 75, 25, bottomRight);
  ButSav->SetCaption("&Save As");
  ButSav->SetEnabled(false);
  ButSav->OnClick = {this, &TFormHttp::ButSavClick};
  Button1 = Make<TButton>(this, "Button1", w - 8 - 2 * 75 - 6, buttons, 75, 25, bottomRight);
  Button1->SetCaption("&Help");
  Button1->OnClick = {this, &TFormHttp::Button1Click};
  Button3 = Make<TButton>(this, "Button3", w - 8 - 75, buttons, 75, 25, bottomRight);
  Button3->SetCaption("&Exit");
  Button3->OnClick = {this, &TFormHttp::Button3Click};

  Http1 = new THttpCli(this);
  Http1->SetName("Http1");
  Http1->SetProxyPort("80");
  Http1->SetAgent("Mozilla/3.0 (compatible)");
  Http1->SetAccept("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
  Http1->SetNoCache(false);
  Http1->SetContentTypePost("application/x-www-form-urlencoded");
  Http1->SetMultiThreaded(false);
  Http1->OnSessionConnected = {this, &TFormHttp::Http1SessionConnected};
  Http1->OnDocBegin = {this, &TFormHttp::Http1DocBegin};
  Http1->OnDocEnd = {this, &TFormHttp::Http1DocEnd};
  Http1->OnRequestDone = {this, &TFormHttp::Http1RequestDone};
  EndLoading();

  TFormPlacement placement(this, PlacementKey);
  TReg::LoadFormPlacement(placement);
}

TFormHttp::~TFormHttp() {
  Http1->OnSessionConnected = nullptr;
  Http1->OnDocBegin = nullptr;
  Http1->OnDocEnd = nullptr;
  Http1->OnRequestDone = nullptr;
  if (TStream* s = Http1->ReceiveStream()) {
    Http1->SetReceiveStream(nullptr);
    s->Free();
  }
  if (!ButVal->Enabled()) Screen->SetCursor(crDefault);
}

void TFormHttp::Dispatch(TMessage& msg) {
  if (msg.Msg == WM_CLOSE) Http1->Abort();
  TForm::Dispatch(msg);
}

void TFormHttp::ButValClick(TObject*) {
  if (EditUrl->Text().empty()) {
    if (TFrameServices* frame = FrameServices()) frame->InfoBox("You must enter a url to retrieve!", "No URL");
    return;
  }
  Screen->SetCursor(crHourGlass);
  ButVal->SetEnabled(false);
  ButSav->SetEnabled(false);
  ButCan->SetEnabled(true);
  Memo1->Clear();
  Memo2->Clear();
  if (RadioGet->Checked())
    GetDocument(EditUrl->Text());
  else
    GetHeaders(EditUrl->Text());
}

void TFormHttp::RequestEnded() {
  ButVal->SetEnabled(true);
  ButSav->SetEnabled(false);
  ButCan->SetEnabled(false);
  Screen->SetCursor(crDefault);
}

bool TFormHttp::Request(void (THttpCli::*call)()) {
  requesting_ = true;
  donePending_ = false;
  struct TClear {
    bool& flag;
    ~TClear() { flag = false; }
  } clear{requesting_};
  try {
    (Http1->*call)();
  } catch (Exception&) {
    return false;
  }
  return true;
}

void TFormHttp::GetDocument(const String& url) {
  Http1->SetURL(url);
  DocFileName.clear();
  Http1->SetReceiveStream(nullptr);
  if (Request(&THttpCli::Get)) {
    Memo2->Lines()->Add("Status: " + IntToStr(Http1->ResponseCode()));
    for (int i = 0; i < Http1->ResponseHeader()->Count(); ++i)
      Memo2->Lines()->Add(Http1->ResponseHeader()->Strings(i));
    if (!DocFileName.empty() && FileExists(DocFileName)) Memo1->Lines()->LoadFromFile(DocFileName);
  } else {
    Memo1->Lines()->Add("Retrieval of document failed!");
    Memo1->Lines()->Add("Status: " + IntToStr(Http1->ResponseCode()));
    Memo1->Lines()->Add("Reason: " + Http1->ResponseText());
    Http1DocEnd(Http1);
    RequestEnded();
  }
  if (donePending_) {
    donePending_ = false;
    RequestDone(doneType_, doneError_);
  }
}

void TFormHttp::GetHeaders(const String& url) {
  Http1->SetURL(url);
  DocFileName.clear();
  if (Request(&THttpCli::Head)) {
    Memo2->Lines()->Add("Status: " + IntToStr(Http1->ResponseCode()));
    for (int i = 0; i < Http1->ResponseHeader()->Count(); ++i)
      Memo2->Lines()->Add(Http1->ResponseHeader()->Strings(i));
  } else {
    Memo2->Lines()->Add("Status: " + IntToStr(Http1->ResponseCode()));
    Memo2->Lines()->Add("Reason: " + Http1->ResponseText());
    Memo2->Lines()->Add(StringOfChar('*', kStars));
    RequestEnded();
  }
  if (donePending_) {
    donePending_ = false;
    RequestDone(doneType_, doneError_);
  }
}

void TFormHttp::Http1SessionConnected(TObject*) {
  Memo2->Lines()->Add("Attempting to retrieve information for:");
  Memo2->Lines()->Add(EditUrl->Text());
  Memo2->Lines()->Add(StringOfChar('*', kStars));
}

void TFormHttp::Http1DocBegin(TObject*) {
  DocFileName = TempFolder + Http1->DocName();
  Http1->SetReceiveStream(new TFileStream(DocFileName, fmCreate));
}

void TFormHttp::Http1DocEnd(TObject*) {
  TStream* s = Http1->ReceiveStream();
  if (!s) return;
  ButSav->SetEnabled(true);
  Http1->SetReceiveStream(nullptr);
  s->Free();
}

void TFormHttp::Http1RequestDone(TObject*, THttpRequest rqType, WORD error) {
  if (requesting_) {
    donePending_ = true;
    doneType_ = rqType;
    doneError_ = error;
    return;
  }
  RequestDone(rqType, error);
}

void TFormHttp::RequestDone(THttpRequest rqType, WORD error) {
  // An abort ends the request with its own error: it is told as such.
  if (rqType == httpAbort || error == httperrAborted) {
    Memo1->Lines()->Add("Request aborted");
    Memo2->Lines()->Add("Request aborted");
  } else if (error != 0) {
    Memo1->Lines()->Add("Error: " + IntToStr(error));
  }
  ButVal->SetEnabled(true);
  ButCan->SetEnabled(false);
  Screen->SetCursor(crDefault);
}

void TFormHttp::ButCanClick(TObject*) { Http1->Abort(); }

void TFormHttp::Button3Click(TObject*) {
  Http1->Abort();
  Close();
}

void TFormHttp::Button1Click(TObject*) {
  Application->HelpFile = FrameServices() ? FrameServices()->HelpPath()
                                          : ExtractFilePath(Application->ExeName()) + "nembra3.hlp";
  Application->HelpJump("IDH_url");
}

void TFormHttp::ButSavClick(TObject*) {
  TFrameServices* frame = FrameServices();
  if (!frame || DocFileName.empty()) return;
  String path = frame->ExecuteSaveDialog(this, "All Files (*.*)|*.*", Http1->DocName());
  if (path.empty()) return;
  // The temporary file itself: the document is there already.
  if (SameFile(DocFileName, path)) return;
  if (!CopyFileA(DocFileName.c_str(), path.c_str(), FALSE)) {
    frame->ErrorBox("Could not save the document to " + path, "Save As");
    return;
  }
  DeleteFileStr(DocFileName);
  DocFileName.clear();
  ButSav->SetEnabled(false);
}

void TFormHttp::FormClose(TObject*, TCloseAction&) {
  Http1->Abort();
  if (HandleAllocated()) TReg::SaveFormPlacement(Handle(), PlacementKey);
  SetModalResult(mrCancel);
}

void ShowUrlTool() {
  TFrameServices* frame = FrameServices();
  if (!frame || !frame->CheckConnection()) return;
  TOwned<TFormHttp> form(new TFormHttp(Application, ExtractFilePath(Application->ExeName())));
  form->ShowModal();
}
