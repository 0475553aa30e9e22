#include "Stos.h"

#include "application/connections/Child.h"
#include "application/frame/Formplacement.h"
#include "application/frame/Frameservices.h"
#include "application/frame/Newaccount.h"
#include "application/frame/Regdataunit.h"

namespace {

const char* const kSideNames[] = {"Receiving Server", "Sending Server"};
const char* const kIncompleteText = "The copy on the receiving server may be incomplete.";

// The copy ended: its box is shown.
constexpr UINT WM_STOS_ENDED = WM_USER + 30;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A list of the window: report view, read only, with these columns.
TPTListView* MakeList(TComponent* owner, TWinControl* parent, const char* name, TAlign align, const char* first) {
  TPTListView* l = MakeControl<TPTListView>(owner, parent, name);
  l->SetAlign(align);
  l->SetViewStyle(vsReport);
  l->SetReadOnly(true);
  l->SetMultiSelect(false);
  l->SetHideSelection(false);
  for (auto [caption, width] : {std::pair<const char*, int>{first, 110}, {"Size", 60}, {"Date", 75},
                                {"Permissions", 70}}) {
    TListColumn* c = l->Columns()->Add();
    c->SetCaption(caption);
    c->SetWidth(width);
  }
  return l;
}

TPanel* MakePanel(TComponent* owner, TWinControl* parent, const char* name, TAlign align) {
  TPanel* p = MakeControl<TPanel>(owner, parent, name);
  p->SetAlign(align);
  p->SetCaption("");
  p->SetBevelOuter(bvNone);
  return p;
}

TButton* MakeButton(TComponent* owner, TWinControl* parent, const char* name, const char* caption, const char* hint,
                    int left, int top, int width) {
  TButton* b = MakeControl<TButton>(owner, parent, name, left, top, width, 25);
  b->SetCaption(caption);
  b->SetHint(hint);
  b->SetShowHint(true);
  return b;
}

std::vector<std::string> LinesOf(TStrings* lines) {
  std::vector<std::string> v;
  v.reserve(static_cast<size_t>(lines->Count()));
  for (int i = 0; i < lines->Count(); ++i) v.push_back(lines->Get(i));
  return v;
}

TStoSSide Other(TStoSSide side) { return side == ssReceiving ? ssSending : ssReceiving; }

}  // namespace

// ---------------------------------------------------------------- texts

bool PortArgumentOf(const String& pasvReply, String& argument) {
  String addr;
  int port = 0;
  if (!ParsePasvReply(pasvReply, addr, port)) return false;
  for (char& c : addr)
    if (c == '.') c = ',';
  argument = addr + "," + IntToStr(port / 256) + "," + IntToStr(port % 256);
  return true;
}

String UnsafeTransferNameReason(const String& name) {
  if (name.empty()) return "it is empty";
  if (name == "." || name == "..") return "it names a directory";
  for (char c : name) {
    if (c == '/' || c == '\\') return "it holds a path separator";
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "it holds a control character";
  }
  return String();
}

int TReplyLines::Final(const String& line) {
  if (!multiLine_.empty()) {
    size_t n = multiLine_.size();
    if (line.compare(0, n, multiLine_) != 0 || (line.size() != n && line[n] != ' ')) return 0;
    int code = std::stoi(multiLine_);
    multiLine_.clear();
    return code;
  }
  if (line.size() < 3 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2])) return 0;
  if (line.size() > 3 && line[3] == '-') {
    multiLine_ = line.substr(0, 3);
    return 0;
  }
  if (line.size() > 3 && line[3] != ' ') return 0;
  return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

// ---------------------------------------------------------------- the copy

String TStoSTransfer::SideName(TStoSSide side) { return kSideNames[side]; }

void TStoSTransfer::Start(const String& name) {
  for (TSideState& s : sides_) s = TSideState();
  name_ = name;
  portArgument_.clear();
  transferActive_ = false;
  phase_ = tpPasv;
  if (!port_->SendQuote(ssReceiving, "PASV ")) StartFailed(ssReceiving);
}

void TStoSTransfer::StartFailed(TStoSSide side) {
  Finish(false, SideName(side) + " Error: the command could not be sent.");
}

void TStoSTransfer::Watch(TStoSSide side) {
  TSideState& s = sides_[side];
  s.Watching = true;
  s.Lines.Reset();
}

void TStoSTransfer::Fail(TStoSSide side, const String& reply) { Finish(false, SideName(side) + " Error: " + reply); }

void TStoSTransfer::RequestDone(TStoSSide side, WORD error, int replyCode, const String& lastResponse,
                                const String& errorMessage) {
  switch (phase_) {
    case tpPasv:
      if (side != ssReceiving) return;
      if (error != 0) return Fail(side, errorMessage);
      if (replyCode != 227) return Fail(side, lastResponse);
      if (!PortArgumentOf(lastResponse, portArgument_))
        return Fail(side, lastResponse + "\n\nThe reply holds no valid data address.");
      phase_ = tpPort;
      if (!port_->SendQuote(ssSending, "PORT " + portArgument_)) StartFailed(ssSending);
      return;
    case tpPort:
      if (side != ssSending) return;
      if (error != 0) return Fail(side, errorMessage);
      if (replyCode != 200) return Fail(side, lastResponse);
      phase_ = tpTypeReceiving;
      if (!port_->SendTypeBinary(ssReceiving)) StartFailed(ssReceiving);
      return;
    case tpTypeReceiving:
      if (side != ssReceiving) return;
      if (error != 0) return Fail(side, errorMessage);
      phase_ = tpTypeSending;
      if (!port_->SendTypeBinary(ssSending)) StartFailed(ssSending);
      return;
    case tpTypeSending:
      if (side != ssSending) return;
      if (error != 0) return Fail(side, errorMessage);
      phase_ = tpRetr;
      transferActive_ = true;
      Watch(ssSending);
      if (!port_->SendQuote(ssSending, "RETR " + name_)) StartFailed(ssSending);
      return;
    case tpRetr:
    case tpStor:
    case tpFinals: {
      // The replies decide; only a failure of this side that no reply
      // showed (the command not sent, the connection gone) counts here.
      TSideState& s = sides_[side];
      if (error != 0 && s.Watching && !s.First) {
        s.Lines.Reset();
        sides_[side].Watching = true;
        String text = errorMessage.empty() ? lastResponse : errorMessage;
        // As a reply of its own, with a code when the text carries none.
        TReplyLines probe;
        if (probe.Final(text) == 0) text = IntToStr(error >= 100 && error <= 599 ? error : 500) + " " + text;
        ReplyLine(side, text);
      }
      return;
    }
    case tpIdle:
      return;
  }
}

void TStoSTransfer::ReplyLine(TStoSSide side, const String& line) {
  TSideState& s = sides_[side];
  if (!s.Watching) return;
  int code = s.Lines.Final(line);
  if (code == 0) return;
  if (phase_ == tpIdle) {
    // The copy has ended; this side's final reply was still due.
    if (code / 100 == 1) return;
    s.Watching = false;
    s.Final = code;
    port_->SideSettled(side);
    return;
  }
  if (!s.First) {
    s.First = true;
    if (code / 100 == 1) {
      s.Accepted = true;
      if (side == ssSending) {
        phase_ = tpStor;
        Watch(ssReceiving);
        if (!port_->SendQuote(ssReceiving, "STOR " + name_)) StartFailed(ssReceiving);
      }
      return;
    }
    // RETR refused: the receiving server is told nothing.
    if (side == ssSending) return Fail(side, line);
    // STOR answered at once.
    if (code / 100 != 2) return Fail(side, line);
    s.Final = code;
    s.FinalLine = line;
    phase_ = tpFinals;
    return CheckFinals();
  }
  if (code / 100 == 1 || s.Final != 0) return;
  s.Final = code;
  s.FinalLine = line;
  if (sides_[ssSending].Final != 0 || sides_[ssReceiving].Final != 0) phase_ = tpFinals;
  CheckFinals();
}

void TStoSTransfer::CheckFinals() {
  const TSideState& r = sides_[ssReceiving];
  const TSideState& s = sides_[ssSending];
  if (r.Final == 0 || s.Final == 0) return;
  if (r.Final / 100 == 2 && s.Final / 100 == 2) return Finish(true, String());
  Finish(false, String("The copy did not complete.\n\n") + kSideNames[ssSending] + ": " + s.FinalLine + "\n" +
                    kSideNames[ssReceiving] + ": " + r.FinalLine + "\n\n" + kIncompleteText);
}

void TStoSTransfer::Closed(TStoSSide side) {
  if (phase_ == tpIdle) {
    // Nothing more comes from it.
    if (sides_[side].Watching) {
      sides_[side].Watching = false;
      port_->SideSettled(side);
    }
    return;
  }
  TSideState& s = sides_[side];
  if (s.Final != 0) return;  // its part is done; the other side's reply decides
  s.Watching = false;
  bool touched = sides_[ssReceiving].Watching || sides_[ssReceiving].First;
  Finish(false, SideName(side) + " Error: the connection closed." + (touched ? "\n\n" + String(kIncompleteText) : ""));
}

void TStoSTransfer::Finish(bool complete, const String& text) {
  // A sender that accepted RETR and has not ended writes on until its own
  // time-out: its connection ends here.
  TSideState& s = sides_[ssSending];
  bool endSender = s.Accepted && s.Final == 0 && s.Watching;
  phase_ = tpIdle;
  transferActive_ = false;
  if (endSender) {
    s.Watching = false;
    port_->EndConnection(ssSending);
  }
  // A side still owes its final reply only when it accepted its command.
  for (TSideState& each : sides_)
    if (!(each.Accepted && each.Final == 0)) each.Watching = false;
  port_->TransferEnded(complete, text);
}

bool TStoSTransfer::AwaitsFinal(TStoSSide side) const { return phase_ == tpIdle && sides_[side].Watching; }

void TStoSTransfer::Cancel() {
  phase_ = tpIdle;
  transferActive_ = false;
  for (TSideState& s : sides_) s = TSideState();
}

// ---------------------------------------------------------------- window

TCustomForm* TFormStoS::Create(TComponent* owner, const String& profilesPath) {
  return new TFormStoS(owner, profilesPath);
}

TFormStoS::TFormStoS(TComponent* owner, const String& profilesPath) : TForm(owner) {
  SetName("FormStoS");
  SetCaption("Server to Server Transfers");
  SetBounds(0, 0, 720, 500);
  Constraints()->SetMinWidth(620);
  Constraints()->SetMinHeight(420);
  OnShow = {this, &TFormStoS::FormShow};
  OnClose = {this, &TFormStoS::FormClose};

  ListingLines1.reset(new TStringList);
  ListingLines2.reset(new TStringList);
  side_[ssReceiving].ListingFile = &ListingFile1;
  side_[ssSending].ListingFile = &ListingFile2;
  side_[ssReceiving].ListingLines = ListingLines1.get();
  side_[ssSending].ListingLines = ListingLines2.get();
  side_[ssReceiving].ServerType = &ServerType1;
  side_[ssSending].ServerType = &ServerType2;

  // The four buttons along the bottom, on the right.
  PButtons = MakePanel(this, this, "PButtons", alBottom);
  PButtons->SetHeight(36);
  int left = PButtons->Width() - 4 * 84 - 4;
  Button1 = MakeButton(this, PButtons, "Button1", "Transfer", "Transfer File", left, 6, 78);
  Button2 = MakeButton(this, PButtons, "Button2", "Abort", "Abort Transfer", left + 84, 6, 78);
  Button4 = MakeButton(this, PButtons, "Button4", "Help", "Help on Server to Server Transfers", left + 168, 6, 78);
  Button3 = MakeButton(this, PButtons, "Button3", "Close", "Close this dialog", left + 252, 6, 78);
  for (TButton* b : {Button1, Button2, Button4, Button3}) b->SetAnchors(TAnchors{akTop, akRight});
  Button1->OnClick = {this, &TFormStoS::Button1Click};
  Button2->OnClick = {this, &TFormStoS::Button2Click};
  Button4->OnClick = {this, &TFormStoS::Button4Click};
  Button3->OnClick = {this, &TFormStoS::Button3Click};

  Panel2 = MakePanel(this, this, "Panel2", alLeft);
  Panel2->SetWidth(331);
  Splitter1 = MakeControl<TSplitter>(this, this, "Splitter1");
  Splitter1->SetAlign(alLeft);
  Splitter1->SetLeft(331);
  Splitter1->SetWidth(4);
  Splitter1->SetMinSize(200);
  Panel3 = MakePanel(this, this, "Panel3", alClient);
  BuildSide(ssReceiving, Panel2, "GroupBox1", "Receiving Server");
  BuildSide(ssSending, Panel3, "GroupBox2", "Sending Server");
  GroupBox1 = static_cast<TGroupBox*>(FindComponent("GroupBox1"));
  GroupBox2 = static_cast<TGroupBox*>(FindComponent("GroupBox2"));
  Label1 = static_cast<TLabel*>(FindComponent("Label1"));
  Label2 = static_cast<TLabel*>(FindComponent("Label2"));
  ComboAc1 = side_[ssReceiving].ComboAc;
  ComboAc2 = side_[ssSending].ComboAc;
  RBConnect = side_[ssReceiving].Connect;
  SBConnect = side_[ssSending].Connect;
  ComboDir1 = side_[ssReceiving].ComboDir;
  ComboDir2 = side_[ssSending].ComboDir;
  RList1 = side_[ssReceiving].Dirs;
  SList1 = side_[ssSending].Dirs;
  RList2 = side_[ssReceiving].Files;
  SList2 = side_[ssSending].Files;
  Memo1 = side_[ssReceiving].Memo;
  Memo2 = side_[ssSending].Memo;
  RBConnect->SetHint("Connect to Receiving Server");
  SBConnect->SetHint("Connect to Sending Server");
  ComboAc1->OnChange = {this, &TFormStoS::ComboAc1Change};
  ComboAc2->OnChange = {this, &TFormStoS::ComboAc2Change};
  RBConnect->OnClick = {this, &TFormStoS::RBConnectClick};
  SBConnect->OnClick = {this, &TFormStoS::SBConnectClick};
  RList1->OnDblClick = {this, &TFormStoS::RList1DblClick};
  SList1->OnDblClick = {this, &TFormStoS::SList1DblClick};
  ComboDir1->OnClick = {this, &TFormStoS::ComboDir1Click};
  ComboDir2->OnClick = {this, &TFormStoS::ComboDir2Click};
  ComboDir1->OnKeyDown = {this, &TFormStoS::ComboDir1KeyDown};
  ComboDir2->OnKeyDown = {this, &TFormStoS::ComboDir2KeyDown};

  Ftp1 = new TFtpClient(this);
  Ftp1->SetName("Ftp1");
  Ftp2 = new TFtpClient(this);
  Ftp2->SetName("Ftp2");
  BindClient(Ftp1, ssReceiving);
  BindClient(Ftp2, ssSending);
  EndLoading();

  TFormPlacement placement(this);
  TReg::LoadFormPlacement(placement);
  for (TFtpClient* ftp : {Ftp1, Ftp2})
    for (TWSocket* s : {ftp->CommandSocket(), ftp->TransferSocket()})
      s->SetComponentOptions(s->ComponentOptions() + wsoNoReceiveLoop);
  ProfilesPath = profilesPath;
  ProfileIni.reset(new TMemIniFile(ProfilesPath));
  ListingFile1 = MakeListingFileName();
  ListingFile2 = MakeListingFileName();
  LoadProfileNames();
}

TFormStoS::~TFormStoS() {
  DetachClients();
  for (const String* f : {&ListingFile1, &ListingFile2})
    if (!f->empty() && FileExists(*f)) DeleteFileStr(*f);
}

void TFormStoS::BuildSide(TStoSSide side, TWinControl* parent, const char* groupName, const char* caption) {
  TSide& s = side_[side];
  const char* n = side == ssReceiving ? "1" : "2";
  auto name = [&](const char* base) { return String(base) + n; };
  auto* group = MakeControl<TGroupBox>(this, parent, groupName);
  group->SetAlign(alClient);
  group->SetCaption(caption);
  TPanel* top = MakePanel(this, group, (String("PTop") + n).c_str(), alTop);
  top->SetHeight(56);
  int width = top->Width();
  auto* label = MakeControl<TLabel>(this, top, name("Label").c_str(), 6, 8, 40, 13);
  label->SetCaption("Profile:");
  s.ComboAc = MakeControl<TComboBox>(this, top, name("ComboAc").c_str(), 48, 4, width - 48 - 88, 21);
  s.ComboAc->SetStyle(csDropDownList);
  s.ComboAc->SetAnchors(TAnchors{akLeft, akTop, akRight});
  s.ComboAc->SetDropDownCount(16);
  label->SetFocusControl(s.ComboAc);
  s.Connect = MakeButton(this, top, side == ssReceiving ? "RBConnect" : "SBConnect", "Connect", "", width - 84, 3,
                         80);
  s.Connect->SetAnchors(TAnchors{akTop, akRight});
  s.ComboDir = MakeControl<TComboBox>(this, top, name("ComboDir").c_str(), 6, 31, width - 10, 21);
  s.ComboDir->SetStyle(csDropDown);
  s.ComboDir->SetAnchors(TAnchors{akLeft, akTop, akRight});
  s.Memo = MakeControl<TMemo>(this, group, name("Memo").c_str());
  s.Memo->SetAlign(alBottom);
  s.Memo->SetHeight(84);
  s.Memo->SetReadOnly(true);
  s.Memo->SetScrollBars(ssVertical);
  s.Memo->SetMaxLength(0);
  String prefix = side == ssReceiving ? "RList" : "SList";
  s.Dirs = MakeList(this, group, (prefix + "1").c_str(), alTop, "Directory");
  s.Dirs->SetHeight(110);
  s.Files = MakeList(this, group, (prefix + "2").c_str(), alClient, "Name");
  if (TFrameServices* frame = FrameServices()) s.Dirs->SetSmallImages(frame->SmallImages());
  if (DirParser) {
    s.Files->SetSmallImages(DirParser->ImageList1);
    s.Files->SetLargeImages(DirParser->ImageList2);
  }
}

void TFormStoS::BindClient(TFtpClient* ftp, TStoSSide side) {
  side_[side].Ftp = ftp;
  ftp->SetTimeout(30);
  ftp->SetPort("ftp");
  ftp->SetBinary(true);
  ftp->SetShareMode(ftpShareDenyNone);
  ftp->SetOptions(TFtpOptions{ftpAcceptLF});
  ftp->SetConnectionType(ftpDirect);
  bool receiving = side == ssReceiving;
  ftp->OnDisplay = receiving ? TFtpDisplay{this, &TFormStoS::Ftp1Display} : TFtpDisplay{this, &TFormStoS::Ftp2Display};
  ftp->OnResponse =
      receiving ? TNotifyEvent{this, &TFormStoS::Ftp1Response} : TNotifyEvent{this, &TFormStoS::Ftp2Response};
  ftp->OnSessionConnected = receiving ? TSessionConnected{this, &TFormStoS::Ftp1SessionConnected}
                                      : TSessionConnected{this, &TFormStoS::Ftp2SessionConnected};
  ftp->OnSessionClosed = receiving ? TSessionClosed{this, &TFormStoS::Ftp1SessionClosed}
                                   : TSessionClosed{this, &TFormStoS::Ftp2SessionClosed};
  ftp->OnRequestDone = receiving ? TFtpRequestDone{this, &TFormStoS::Ftp1RequestDone}
                                 : TFtpRequestDone{this, &TFormStoS::Ftp2RequestDone};
}

String TFormStoS::SideTitle(TStoSSide side) { return kSideNames[side]; }

String TFormStoS::MakeListingFileName() { return MakeListingFileIn(ExtractFilePath(Application->ExeName())); }

void TFormStoS::LoadProfileNames() {
  TStringList names;
  ReadProfileNames(ProfileIni.get(), &names);
  for (TComboBox* c : {side_[ssReceiving].ComboAc, side_[ssSending].ComboAc}) c->Items()->Assign(&names);
}

// ---------------------------------------------------------------- profiles

void TFormStoS::ConnectClient(const String& profileName, TFtpClient* client, int& serverType) {
  TMemIniFile* ini = ProfileIni.get();
  const String& p = profileName;
  if (client->GetConnected()) return;  // the type of a live connection stays
  client->SetConnectionType(ini->ReadBool(p, "Proxy", false) ? ftpProxy : ftpDirect);
  client->SetHostName(ini->ReadString(p, "HostName", ""));
  client->SetUserName(ini->ReadString(p, "UserName", ""));
  client->SetPassWord(ini->ReadString(p, "PassWord", ""));
  client->SetProxyServer(ini->ReadString(p, "ProxyName", ""));
  client->SetPort(IntToStr(ini->ReadInteger(p, "Port", 21)));
  static const TFtpShareMode modes[] = {ftpShareDenyNone, ftpShareDenyRead, ftpShareDenyWrite, ftpShareExclusive};
  int share = TReg::ReadInteger(SettingsSection, "ShareAccess");
  client->SetShareMode(share >= 0 && share <= 3 ? modes[share] : ftpShareDenyNone);
  client->SetPassive(ini->ReadBool(p, "Passive", false));
  serverType = ini->ReadInteger(p, "ServerType", 0);
  int timeout = TReg::ReadInteger(SettingsSection, "TimeOut");
  client->SetTimeout(timeout != 0 ? timeout : 30);
}

void TFormStoS::ComboAc1Change(TObject*) {
  if (!ComboAc1->Text().empty()) ConnectClient(ComboAc1->Text(), Ftp1, ServerType1);
}

void TFormStoS::ComboAc2Change(TObject*) {
  if (!ComboAc2->Text().empty()) ConnectClient(ComboAc2->Text(), Ftp2, ServerType2);
}

// ---------------------------------------------------------------- busy and idle

void TFormStoS::BeginBusy(TStoSSide side) {
  TSide& s = side_[side];
  s.Busy = true;
  for (TControl* c : std::initializer_list<TControl*>{s.ComboAc, s.ComboDir, s.Dirs, s.Files, s.Connect, Button1})
    c->SetCursor(crHourGlass);
  for (TControl* c : std::initializer_list<TControl*>{Button2, Button3}) c->SetCursor(crAppStart);
}

void TFormStoS::EndBusy(TStoSSide side) {
  TSide& s = side_[side];
  s.Busy = false;
  s.AfterDone = adNothing;
  for (TControl* c : std::initializer_list<TControl*>{s.ComboAc, s.ComboDir, s.Dirs, s.Files, s.Connect})
    c->SetCursor(crDefault);
  // The buttons both sides share wait for the other side too.
  if (!side_[Other(side)].Busy)
    for (TControl* c : std::initializer_list<TControl*>{Button1, Button2, Button3}) c->SetCursor(crDefault);
}

bool TFormStoS::CanStartCommand(TStoSSide side) {
  TSide& s = side_[side];
  if (s.Ftp->GetConnected() && s.Ftp->ClientState() == ftpReady && !s.Busy) return true;
  if (s.Ftp->GetConnected() || s.Busy)
    Frame().InfoBox("You must wait for the current operation to finish.", "No Connection");
  else
    Frame().InfoBox("You must establish a connection with the server before performing any operations.",
                    "No Connection");
  return false;
}

bool TFormStoS::StartRequest(TStoSSide side, void (TCustomFtpCli::*request)()) {
  TSide& s = side_[side];
  startError_.clear();
  try {
    s.Pending = true;
    (s.Ftp->*request)();
  } catch (Exception& e) {
    s.Pending = false;
    startError_ = e.Message;
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- browsing

void TFormStoS::ConnectSide(TStoSSide side) {
  TSide& s = side_[side];
  if (s.Busy || s.Ftp->GetConnected()) {
    CanStartCommand(side);
    return;
  }
  BeginBusy(side);
  if (!StartRequest(side, &TCustomFtpCli::ConnectAsync)) ReportError(side, startError_);
}

void TFormStoS::RBConnectClick(TObject*) { ConnectSide(ssReceiving); }

void TFormStoS::SBConnectClick(TObject*) { ConnectSide(ssSending); }

void TFormStoS::Ftp1SessionConnected(TObject*, WORD) { RBConnect->SetEnabled(false); }

void TFormStoS::Ftp2SessionConnected(TObject*, WORD) { SBConnect->SetEnabled(false); }

void TFormStoS::Ftp1SessionClosed(TObject*, WORD) {
  RBConnect->SetEnabled(true);
  transfer_.Closed(ssReceiving);
}

void TFormStoS::Ftp2SessionClosed(TObject*, WORD) {
  SBConnect->SetEnabled(true);
  transfer_.Closed(ssSending);
}

void TFormStoS::ChangeDir(TStoSSide side, const String& dir) {
  if (!CanStartCommand(side)) return;
  TSide& s = side_[side];
  BeginBusy(side);
  s.Ftp->SetHostDirName(dir);
  if (!StartRequest(side, &TCustomFtpCli::CwdAsync)) ReportError(side, startError_);
}

void TFormStoS::ListDirDblClick(TStoSSide side) {
  TListItem* item = side_[side].Dirs->Selected();
  if (!item) return;
  // The entry's own name; a link changes to its target.
  String dir = item->Caption();
  if (const TDirItemData* data = TDirParser::ItemData(item))
    dir = data->Kind == dekLink && !data->Target.empty() ? data->Target : data->Name;
  else if (size_t arrow = dir.find("->"); arrow != String::npos)
    dir = dir.substr(arrow + 3);
  if (!dir.empty()) ChangeDir(side, dir);
}

void TFormStoS::RList1DblClick(TObject*) { ListDirDblClick(ssReceiving); }

void TFormStoS::SList1DblClick(TObject*) { ListDirDblClick(ssSending); }

void TFormStoS::ComboDir1Click(TObject*) {
  if (!ComboDir1->Text().empty()) ChangeDir(ssReceiving, ComboDir1->Text());
}

void TFormStoS::ComboDir2Click(TObject*) {
  if (!ComboDir2->Text().empty()) ChangeDir(ssSending, ComboDir2->Text());
}

void TFormStoS::ComboDir1KeyDown(TObject*, WORD& key, TShiftState) {
  if (key == VK_RETURN && !ComboDir1->Text().empty()) ChangeDir(ssReceiving, ComboDir1->Text());
}

void TFormStoS::ComboDir2KeyDown(TObject*, WORD& key, TShiftState) {
  if (key == VK_RETURN && !ComboDir2->Text().empty()) ChangeDir(ssSending, ComboDir2->Text());
}

void TFormStoS::ClearRemoteLists(TStoSSide side) {
  for (TPTListView* l : {side_[side].Dirs, side_[side].Files}) {
    l->Items()->BeginUpdate();
    l->Items()->Clear();
    l->Items()->EndUpdate();
  }
}

void TFormStoS::AddDirToCombo(TStoSSide side) {
  TSide& s = side_[side];
  String dir = s.Ftp->DirResult();
  if (s.ComboDir->Items()->IndexOf(dir) < 0) s.ComboDir->Items()->Add(dir);
  s.ComboDir->SetText(dir);
}

void TFormStoS::FillRemoteLists(TStoSSide side) {
  TSide& s = side_[side];
  s.ListingLines->Clear();
  if (FileExists(*s.ListingFile)) s.ListingLines->LoadFromFile(*s.ListingFile);
  TDirRows rows = ParseListingRows(ConnectionParserKind(*s.ServerType), LinesOf(s.ListingLines));
  for (TPTListView* l : {s.Dirs, s.Files}) {
    l->Items()->BeginUpdate();
    l->Items()->Clear();
  }
  if (DirParser) DirParser->AddRows(rows, s.Dirs, s.Files);
  for (TPTListView* l : {s.Dirs, s.Files}) l->Items()->EndUpdate();
}

void TFormStoS::ListAgain(TStoSSide side) {
  TSide& s = side_[side];
  s.AfterDone = adNothing;
  if (!s.Ftp->GetConnected() || s.Ftp->ClientState() != ftpReady) {
    EndBusy(side);
    return;
  }
  s.Busy = true;
  if (!StartRequest(side, &TCustomFtpCli::PwdAsync)) EndBusy(side);
}

// ---------------------------------------------------------------- replies and request ends

void TFormStoS::SideDisplay(TStoSSide side, const String& message) {
  String line = CommandLogLine(message);
  if (!line.empty()) side_[side].Memo->Lines()->Add(line);
}

void TFormStoS::SideResponse(TStoSSide side) {
  const String& reply = side_[side].Ftp->LastResponse();
  side_[side].Memo->Lines()->Add("<-- " + reply);
  transfer_.ReplyLine(side, reply);
}

void TFormStoS::Ftp1Display(TObject*, String& message) { SideDisplay(ssReceiving, message); }

void TFormStoS::Ftp2Display(TObject*, String& message) { SideDisplay(ssSending, message); }

void TFormStoS::Ftp1Response(TObject*) { SideResponse(ssReceiving); }

void TFormStoS::Ftp2Response(TObject*) { SideResponse(ssSending); }

void TFormStoS::Ftp1RequestDone(TObject*, TFtpRequest request, WORD error) {
  SideRequestDone(ssReceiving, request, error);
}

void TFormStoS::Ftp2RequestDone(TObject*, TFtpRequest request, WORD error) {
  SideRequestDone(ssSending, request, error);
}

void TFormStoS::ReportError(TStoSSide side, const String& message) {
  EndBusy(side);
  Frame().ErrorBox(SideTitle(side) + " Error: " + message, "Server Error");
}

void TFormStoS::SideRequestDone(TStoSSide side, TFtpRequest request, WORD error) {
  TSide& s = side_[side];
  s.Pending = false;
  if (s.Swallow) {
    s.Swallow = false;
    Settle(side);
    return;
  }
  TFtpClient* ftp = s.Ftp;
  if (transfer_.Running() && (request == ftpQuoteAsync || request == ftpTypeSetAsync)) {
    transfer_.RequestDone(side, error, ftp->ReplyCode(), ftp->LastResponse(), ftp->ErrorMessage());
    return;
  }
  // A request of a copy that has ended: the side goes on as the end said.
  if (s.AfterDone != adNothing) {
    Settle(side);
    return;
  }
  if (error != 0) {
    ReportError(side, ftp->ErrorMessage());
    return;
  }
  switch (request) {
    case ftpConnectAsync:
      ClearRemoteLists(side);
      if (!StartRequest(side, &TCustomFtpCli::PwdAsync)) ReportError(side, startError_);
      break;
    case ftpCwdAsync:
      if (!StartRequest(side, &TCustomFtpCli::PwdAsync)) ReportError(side, startError_);
      break;
    case ftpPwdAsync:
      AddDirToCombo(side);
      // A bare LIST of the current directory.
      ftp->SetHostDirName(ftp->DirResult());
      ftp->SetHostFileName("");
      ftp->SetLocalFileName(*s.ListingFile);
      if (!StartRequest(side, &TCustomFtpCli::DirAsync)) ReportError(side, startError_);
      break;
    case ftpDirAsync:
      FillRemoteLists(side);
      EndBusy(side);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- the copy, as the window runs it

void TFormStoS::StartTransfer() {
  TListItem* item = SList2->Selected();
  if (!item) return;
  if (transfer_.Running()) {
    Frame().InfoBox("You must wait for the current operation to finish.", "No Connection");
    return;
  }
  if (!CanStartCommand(ssReceiving) || !CanStartCommand(ssSending)) return;
  // The entry's own name, not the caption.
  const TDirItemData* data = TDirParser::ItemData(item);
  String name = data ? data->Name : item->Caption();
  String reason = UnsafeTransferNameReason(name);
  if (!reason.empty()) {
    Frame().ErrorBox("The file " + name + " cannot be copied: " + reason + ".", "Server to Server Transfers");
    return;
  }
  for (int i = 0; i < RList2->Items()->Count(); ++i) {
    TListItem* there = RList2->Items()->Item(i);
    const TDirItemData* d = TDirParser::ItemData(there);
    if ((d ? d->Name : there->Caption()) != name) continue;
    if (!Frame().AskYesNo("The file " + name + " already exists on the receiving server. Do you want to replace it?",
                          "Server to Server Transfers"))
      return;
    break;
  }
  BeginBusy(ssReceiving);
  BeginBusy(ssSending);
  transfer_.Start(name);
}

bool TFormStoS::SendQuote(TStoSSide side, const String& command) {
  side_[side].Ftp->SetLocalFileName(command);
  return StartRequest(side, &TCustomFtpCli::QuoteAsync);
}

bool TFormStoS::SendTypeBinary(TStoSSide side) { return StartRequest(side, &TCustomFtpCli::TypeBinaryAsync); }

void TFormStoS::EndConnection(TStoSSide side) {
  TSide& s = side_[side];
  // The abort's own report of the request, if one runs, says nothing new.
  s.Swallow = s.Pending;
  s.Ftp->AbortAsync();
}

void TFormStoS::TransferEnded(bool complete, const String& text) {
  // Each side goes idle once its last request reported and its final reply
  // came; the receiving side lists its directory again first.
  side_[ssReceiving].AfterDone = adList;
  side_[ssSending].AfterDone = adEndBusy;
  if (complete) {
    Memo1->Lines()->Add("Transfer Complete");
    Memo2->Lines()->Add("Transfer Complete");
  }
  endBoxes_.push_back({complete, text});
  PostEnd();
}

void TFormStoS::SideSettled(TStoSSide) { PostEnd(); }

void TFormStoS::PostEnd() {
  // The end comes inside a client's reply handler, where a new request of
  // that client would take the rest of the reply for its own: the sides
  // go on, and the box shows, once the handler has returned.
  if (endPosted_) return;
  if (HandleAllocated() && PostMessageA(Handle(), WM_STOS_ENDED, 0, 0)) endPosted_ = true;
}

void TFormStoS::Ended() {
  endPosted_ = false;
  if (closing_) return;
  for (TStoSSide side : {ssReceiving, ssSending}) Settle(side);
  ShowEndBoxes();
}

void TFormStoS::ShowEndBoxes() {
  while (!endBoxes_.empty()) {
    TEndBox box = endBoxes_.front();
    endBoxes_.erase(endBoxes_.begin());
    if (box.Complete)
      Frame().InfoBox("Transfer is complete!", "Status...");
    else
      Frame().ErrorBox(box.Text, "Server Error");
  }
}

void TFormStoS::Dispatch(TMessage& msg) {
  if (msg.Msg == WM_STOS_ENDED) {
    Ended();
    return;
  }
  TForm::Dispatch(msg);
}

void TFormStoS::Settle(TStoSSide side) {
  TSide& s = side_[side];
  if (s.AfterDone == adNothing || s.Pending || transfer_.AwaitsFinal(side)) return;
  if (s.AfterDone == adList)
    ListAgain(side);
  else
    EndBusy(side);
}

void TFormStoS::Button1Click(TObject*) { StartTransfer(); }

void TFormStoS::AbortBoth() {
  transfer_.Cancel();
  for (TStoSSide side : {ssReceiving, ssSending}) {
    TSide& s = side_[side];
    s.Swallow = s.Pending;
    s.AfterDone = adNothing;
    s.Ftp->Abort();
  }
}

void TFormStoS::Button2Click(TObject*) {
  AbortBoth();
  Memo1->Lines()->Add("Receiving Server Aborted Command");
  Memo1->Lines()->Add("Sending Server Aborted Command");
  EndBusy(ssReceiving);
  EndBusy(ssSending);
}

void TFormStoS::Button3Click(TObject*) { Close(); }

void TFormStoS::Button4Click(TObject*) {
  Application->HelpFile = Frame().HelpPath();
  Application->HelpJump("IDH_stos");
}

// ---------------------------------------------------------------- show and close

void TFormStoS::FormShow(TObject*) {
  Panel2->SetWidth(TReg::ReadPaneSize("StoSSize", Splitter1->MaxSizeOf(Panel2)));
}

void TFormStoS::DetachClients() {
  transfer_.Cancel();
  for (TSide& s : side_) {
    if (!s.Ftp) continue;
    s.Ftp->OnDisplay = nullptr;
    s.Ftp->OnResponse = nullptr;
    s.Ftp->OnSessionConnected = nullptr;
    s.Ftp->OnSessionClosed = nullptr;
    s.Ftp->OnRequestDone = nullptr;
    // Both connections close at once; nothing is waited for.
    s.Ftp->AbortAsync();
  }
}

void TFormStoS::FormClose(TObject*, TCloseAction& action) {
  closing_ = true;
  DetachClients();
  for (const String* f : {&ListingFile1, &ListingFile2})
    if (!f->empty() && FileExists(*f)) DeleteFileStr(*f);
  TReg::WriteInteger(SettingsSection, "StoSSize", Panel2->Width());
  TFormPlacement placement(this);
  TReg::SaveFormPlacement(placement);
  SetModalResult(mrCancel);
  if (!FormState.Contains(fsModal)) action = caFree;
}
