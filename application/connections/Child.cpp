#include "Child.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <set>

#include "Dirinfo.h"
#include "Userpass.h"
#include "classlib/Dialogs.h"
#include "application/frame/Regdataunit.h"

namespace {

// The window's own messages: a parse ended; the next slice of the lists.
constexpr UINT WM_LISTING_PARSED = WM_USER + 20;
constexpr UINT WM_LISTING_FILL = WM_USER + 21;
// The selection of a list changed: the actions follow once.
constexpr UINT WM_SELECTION_CHANGED = WM_USER + 22;
// Log lines wait to reach the memo.
constexpr UINT WM_LOG_FLUSH = WM_USER + 23;
// The lists of a raw LIST are full: its listing window opens.
constexpr UINT WM_SHOW_LISTING = WM_USER + 24;

// Rows added between two checks of the time, and the time a slice takes
// at most before the window handles its other messages.
constexpr size_t kFillChunk = 200;
constexpr auto kSliceBudget = std::chrono::milliseconds(15);

const char* const kTimedOutText =
    "The connection timed out while waiting for data from the server.\nPlease try again or contact your server "
    "administrator.";

String FirstWord(const String& s) {
  size_t b = s.find_first_not_of(' ');
  if (b == String::npos) return String();
  size_t e = s.find(' ', b);
  return s.substr(b, e == String::npos ? String::npos : e - b);
}

String TwoDigits(int64_t v) { return v < 10 ? "0" + IntToStr(v) : IntToStr(v); }

bool IsDecimal(const String& s) {
  return !s.empty() && s.size() <= 18 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Splits a listing file's bytes into lines at CR LF, LF or CR.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t i = 0, n = text.size();
  while (i < n) {
    size_t start = i;
    while (i < n && text[i] != '\r' && text[i] != '\n') ++i;
    lines.emplace_back(text, start, i - start);
    if (i < n && text[i] == '\r') {
      ++i;
      if (i < n && text[i] == '\n') ++i;
    } else if (i < n) {
      ++i;
    }
  }
  return lines;
}

// The whole of a file, shared with a writer; false when it cannot be read.
bool ReadWholeFile(const String& path, std::string& out) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  out.clear();
  char buf[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(h, buf, sizeof buf, &got, nullptr) != FALSE) && got > 0) out.append(buf, got);
  CloseHandle(h);
  return ok;
}

// Why a local path cannot be uploaded ("" when it can).
String NotUploadable(const String& path) {
  DWORD attr = GetFileAttributesA(path.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES) return "File not found";
  if (attr & FILE_ATTRIBUTE_DIRECTORY) return "Not a file";
  return String();
}

TPanel* MakePanel(TComponent* owner, TWinControl* parent, const char* name, TAlign align) {
  TPanel* p = MakeControl<TPanel>(owner, parent, name);
  p->SetAlign(align);
  p->SetCaption("");
  p->SetBevelOuter(bvNone);
  return p;
}

TPTListView* MakeList(TComponent* owner, TWinControl* parent, const char* name,
                      std::initializer_list<std::pair<const char*, int>> columns) {
  TPTListView* l = MakeControl<TPTListView>(owner, parent, name);
  l->SetAlign(alClient);
  l->SetViewStyle(vsReport);
  l->SetReadOnly(true);
  l->SetDragMode(dmAutomatic);
  // Many thousand entries fill and clear at once.
  l->SetVirtualWindow(true);
  for (auto [caption, width] : columns) {
    TListColumn* c = l->Columns()->Add();
    c->SetCaption(caption);
    c->SetWidth(width);
  }
  return l;
}

}  // namespace

// ---------------------------------------------------------------- texts

bool HidesPassword(const String& command) {
  if (command.find("PASS") != String::npos) return true;
  String word = UpperCase(FirstWord(command));
  return word == "PASS" || word == "ACCT";
}

String CommandLogLine(const String& display) {
  if (display.empty() || display[0] != '>') return String();
  if (HidesPassword(display.substr(1))) return "--> PASS (Password hidden)";
  return "--> " + display.substr(1);
}

String CommandStatusText(const String& command) {
  return HidesPassword(command) ? "Command: PASS (Hidden)" : "Command: " + command;
}

String KilobitsText(int64_t bytesPerSecond) {
  // Kilobits: bytes times 8, over 1000.
  return Format("%.2n", static_cast<double>(bytesPerSecond) * 8.0 / 1000.0);
}

TProgressTexts ProgressTexts(int64_t done, int64_t total, bool knownTotal, int64_t tenths) {
  TProgressTexts t;
  if (knownTotal && done >= total) {
    t.SizeSpeed = "Transfer Complete";
    t.Complete = true;
    return t;
  }
  if (knownTotal && total > 0) t.Position = static_cast<int>(static_cast<__int128>(done) * 1000 / total);
  if (done < 1) {
    t.SizeSpeed = "Requesting Transfer...";
    return t;
  }
  int64_t seconds = tenths / 10;
  int64_t rate = seconds != 0 ? done / seconds : done;
  String kbps = KilobitsText(rate);
  if (!knownTotal) {
    // Without a size nothing can be told of what is left.
    t.SizeSpeed = IntToStr(done) + " bytes (" + kbps + " Kbps)";
    return t;
  }
  t.SizeSpeed = IntToStr(done) + " bytes of " + IntToStr(total) + " (" + kbps + " Kbps)";
  if (rate == 0) {
    t.Timer = "Remaining: --:--:--";
  } else {
    int64_t left = (total - done) / rate;
    int64_t s = left % 60, m = left / 60, h = 0;
    if (m > 59) {
      h = m / 60;
      m %= 60;
    }
    t.Timer = "Remaining: " + TwoDigits(h) + ":" + TwoDigits(m) + ":" + TwoDigits(s);
  }
  t.Percent = IntToStr(static_cast<int64_t>(static_cast<__int128>(done) * 100 / total)) + "%";
  return t;
}

String UnsafeLocalNameReason(const String& name) {
  if (name.empty()) return "the name is empty";
  if (name == "." || name == "..") return "the name is not a file name";
  for (char c : name)
    if (static_cast<unsigned char>(c) < 32 || std::strchr("\\/:*?\"<>|", c))
      return "the name holds a character that a local file name cannot hold";
  if (name.back() == '.' || name.back() == ' ') return "the name ends in a dot or a blank";
  // Device names, also with an extension ("con.txt").
  String base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  base = UpperCase(base);
  static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* d : devices)
    if (base == d) return "the name is a device name";
  if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0)) {
    char n = base[3];
    if ((n >= '0' && n <= '9') || n == '\xB9' || n == '\xB2' || n == '\xB3') return "the name is a device name";
  }
  return String();
}

bool LocalPathIn(const String& folder, const String& name, String& path, String& reason) {
  reason = UnsafeLocalNameReason(name);
  if (!reason.empty()) return false;
  String joined = !folder.empty() && folder.back() == '\\' ? folder + name : folder + "\\" + name;
  char full[MAX_PATH], base[MAX_PATH];
  DWORD n = GetFullPathNameA(joined.c_str(), MAX_PATH, full, nullptr);
  DWORD b = GetFullPathNameA(IncludeTrailingBackslash(folder).c_str(), MAX_PATH, base, nullptr);
  if (n == 0 || n >= MAX_PATH || b == 0 || b >= MAX_PATH) {
    reason = "the local path is too long";
    return false;
  }
  String f = full, d = IncludeTrailingBackslash(base);
  if (f.size() <= d.size() || !SameText(f.substr(0, d.size()), d) || f.substr(d.size()) != name) {
    reason = "the local path lies outside the target folder";
    return false;
  }
  path = joined;
  return true;
}

String ShortenPath(const String& path, int maxWidth, const std::function<int(const String&)>& width) {
  String result = path;
  if (width(result) <= maxWidth) return result;
  String name = ExtractFileName(path);
  String dir = path.substr(0, path.size() - name.size());
  String drive;
  if (dir.size() >= 2 && dir[1] == ':') {
    drive = dir.substr(0, 2);
    dir.erase(0, 2);
  } else if (dir.size() >= 2 && dir[0] == '\\' && dir[1] == '\\') {
    // A share: "\\server\share" stands for the drive.
    size_t server = dir.find('\\', 2);
    size_t share = server == String::npos ? String::npos : dir.find('\\', server + 1);
    if (share != String::npos) {
      drive = dir.substr(0, share);
      dir.erase(0, share);
    }
  }
  // The folders go one by one from the left: "\a\b\" becomes "\...\b\",
  // then "\...\"; then the drive and the dots go.
  std::vector<String> folders;
  bool rooted = !dir.empty() && dir[0] == '\\';
  for (size_t i = rooted ? 1 : 0; i < dir.size();) {
    size_t e = dir.find('\\', i);
    if (e == String::npos) e = dir.size();
    folders.push_back(dir.substr(i, e - i));
    i = e + 1;
  }
  String lead = drive + (rooted ? "\\" : "");
  for (size_t cut = 1; cut <= folders.size(); ++cut) {
    result = lead + "...\\";
    for (size_t k = cut; k < folders.size(); ++k) result += folders[k] + "\\";
    result += name;
    if (width(result) <= maxWidth) return result;
  }
  result = "...\\" + name;
  if (width(result) <= maxWidth || folders.empty()) return width(result) <= maxWidth ? result : name;
  return name;
}

String MakeListingFileIn(const String& folder) {
  char name[MAX_PATH + 16] = {};
  if (GetTempFileNameA(folder.c_str(), "lst", 0, name) != 0) return name;
  char temp[MAX_PATH] = {};
  DWORD n = GetTempPathA(MAX_PATH, temp);
  if (n > 0 && n < MAX_PATH && GetTempFileNameA(temp, "lst", 0, name) != 0) return name;
  return String();
}

int CompareRemoteNames(const String& a, const String& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int NoopSeconds(int setting) { return setting < 1 ? 120 : setting; }

TIdleTick IdleTick(bool ready, bool timeOutDisabled, bool keepAlive, int idle, int noop, int timeout) {
  if (timeOutDisabled) {
    if (ready) return idle >= NoopSeconds(noop) ? (keepAlive ? itNoop : itReset) : itNothing;
    // A request runs for minutes: the count only starts again.
    return idle >= 60 ? itReset : itNothing;
  }
  return idle >= timeout ? itTimeOut : itNothing;
}

// ---------------------------------------------------------------- listing

// A parse on a thread of its own: it reads the listing file, makes the
// rows and orders the file rows as the file list shows them.
struct TFormMdi::TListingJob {
  std::thread Thread;
  TDirRows Rows;
  bool Read = false;
};

// The rows still to add to the lists, which stay in one items update (and
// do not redraw) from the first row to the last.
struct TFormMdi::TListingFill {
  TDirRows Rows;
  size_t Dirs = 0, Files = 0;
  bool Updating = false;
  bool Added() const { return Dirs >= Rows.Directories.size() && Files >= Rows.Files.size(); }
};

// The state of a batch upload, download or delete.
struct TFormMdi::TBatchRun {
  enum TKind { bkUpload, bkDownload, bkDelete } Kind = bkUpload;
  struct TDir {
    String Remote, Local;
    int Depth = 0;
  };
  // Directories still to visit, the next last; the one worked on.
  std::vector<TDir> Stack;
  TDir Current;
  // Remote paths visited, in visiting order.
  std::vector<String> Visited;
  std::set<String> Seen;
  // The files of Current still to do.
  std::deque<TDirRow> Files;
  // Names (upper case) already written in Current's local folder.
  std::set<String> Written;
  // Directories still to remove, the next last.
  std::vector<String> Remove;
  TDirParserKind Parser = dpUnix;
  bool WaitingRows = false;
  bool Cancelled = false;
  // The walk is over: back at the start, the directories go.
  bool Removing = false;
  // The chosen entry is a link: it goes itself.
  bool LinkOnly = false;
  // The run is on its last steps.
  bool Ending = false;
  int Total = 0;    // files of an upload
  int Done = 0;     // files moved or deleted
  int Folders = 0;  // folders made or removed
  int Skipped = 0;  // files and folders left out
  String Incomplete;
  String Stopped;  // why the run stopped ("" when it did not)

  bool Walks() const { return Kind != bkUpload; }
};

// ---------------------------------------------------------------- window

TConnectionWindow* TFormMdi::Create(TComponent* owner, TConnectionHost* host) { return new TFormMdi(owner, host); }

TFormMdi::TFormMdi(TComponent* owner, TConnectionHost* host) : TForm(owner), host_(host) {
  // One per connection: the second is "FormMdi_1", and so on.
  String name = "FormMdi";
  for (int n = 1; owner && owner->FindComponent(name); ++n) name = "FormMdi_" + IntToStr(n);
  SetName(name);
  SetFormStyle(fsMDIChild);
  SetBounds(0, 0, 640, 420);
  // It opens maximised, as its activation makes it.
  SetWindowState(wsMaximized);
  // Shown on the frame's menu bar while the window is maximised.
  if (HICON icon = LoadIconA(GetModuleHandleA(nullptr), "NEMBRACONNECTION")) SetIcon(icon);
  OnShow = {this, &TFormMdi::FormShow};
  OnActivate = {this, &TFormMdi::FormActivate};
  OnCloseQuery = {this, &TFormMdi::FormCloseQuery};
  OnClose = {this, &TFormMdi::FormClose};

  Ftp1 = new TFtpClient(this);
  Ftp1->SetName("Ftp1");
  Ftp1->SetTimeout(30);
  Ftp1->SetMultiThreaded(false);
  Ftp1->SetPort("ftp");
  Ftp1->SetLocalAddr("0.0.0.0");
  Ftp1->SetDisplayFileFlag(false);
  Ftp1->SetBinary(true);
  Ftp1->SetShareMode(ftpShareDenyNone);
  Ftp1->SetOptions(TFtpOptions{ftpAcceptLF});
  Ftp1->SetConnectionType(ftpDirect);
  Ftp1->OnDisplay = {this, &TFormMdi::Ftp1Display};
  Ftp1->OnCommand = {this, &TFormMdi::Ftp1Command};
  Ftp1->OnResponse = {this, &TFormMdi::Ftp1Response};
  Ftp1->OnProgress = {this, &TFormMdi::Ftp1Progress};
  Ftp1->OnSessionConnected = {this, &TFormMdi::Ftp1SessionConnected};
  Ftp1->OnSessionClosed = {this, &TFormMdi::Ftp1SessionClosed};
  Ftp1->OnRequestDone = {this, &TFormMdi::Ftp1RequestDone};
  Ftp1->OnStateChange = {this, &TFormMdi::Ftp1StateChange};
  Ftp1->OnReadyToTransmit = {this, &TFormMdi::Ftp1ReadyToTransmit};
  Ftp1->OnBgException = {this, &TFormMdi::Ftp1BgException};

  Timer1 = new TTimer(this);
  Timer1->SetName("Timer1");
  Timer1->SetEnabled(false);
  Timer1->SetInterval(100);
  Timer1->SetOnTimer({this, &TFormMdi::Timer1Timer});
  TimeOut = new TTimer(this);
  TimeOut->SetName("TimeOut");
  TimeOut->SetEnabled(false);
  TimeOut->SetInterval(1000);
  TimeOut->SetOnTimer({this, &TFormMdi::TimeOutTimer});

  BuildForm();
  BuildMenus();
  BindDrops();
  EndLoading();

  // Construction.
  for (TWSocket* s : {Ftp1->CommandSocket(), Ftp1->TransferSocket()})
    s->SetComponentOptions(s->ComponentOptions() + wsoNoReceiveLoop);
  ListingLines.reset(new TStringList);
  DownloadList.reset(new TStringList);
  UploadList.reset(new TStringList);
  DeleteList.reset(new TStringList);
  ChmodList.reset(new TStringList);
  BatchDirs.reset(new TStringList);
  BatchFiles.reset(new TStringList);
  DroppedFiles.reset(new TStringList);
  LogLines.reset(new TStringList);
  LogWinsockInfo();
  ServerType = 0;
  ProfilesPath = host_ ? host_->ProfileFile() : String();
  ResumeOffset = 0;
  CancelRequested = UploadAfterListing = ConnectionLost = false;
  ListingFile = MakeListingFileName();
  RemoteFiles->SetHeaderSortColumn(0);
  SortColumn = 0;
  RemoteFiles->SetHeaderSortDirection(ptsdDesc);
  RemoteDirs->SetHeaderSortColumn(0);
  RemoteDirs->SetHeaderSortDirection(ptsdDesc);
}

TFormMdi::~TFormMdi() {
  closing_ = true;
  StopListing();
  DetachClient();
  if (!ListingFile.empty()) DeleteFileStr(ListingFile);
}

TLabel* TFormMdi::PanelLabel(TWinControl* parent, const char* name, int left, int top, int width) {
  TLabel* l = MakeControl<TLabel>(this, parent, name);
  l->SetAutoSize(false);
  l->SetShowAccelChar(false);
  l->SetBounds(left, top, width, 15);
  l->SetCaption("");
  return l;
}

void TFormMdi::BuildForm() {
  // The transfer panel across the top.
  PProgress = MakePanel(this, this, "PProgress", alTop);
  PProgress->SetHeight(40);
  PProgress->SetBevelOuter(bvRaised);
  Panel1 = MakePanel(this, PProgress, "Panel1", alRight);
  Panel1->SetWidth(420);
  SizeSpeed = PanelLabel(Panel1, "SizeSpeed", 0, 4, 238);
  Timer = PanelLabel(Panel1, "Timer", 0, 22, 130);
  Percent = PanelLabel(Panel1, "Percent", 132, 22, 40);
  Percent->SetAlignment(taRightJustify);
  Prog1 = MakeControl<TProgressBar>(this, Panel1, "Prog1");
  Prog1->SetBounds(176, 23, 136, 13);
  Prog1->SetMin(0);
  Prog1->SetMax(1000);
  Prog1->SetSmooth(true);
  ComboMode = MakeControl<TComboBox>(this, Panel1, "ComboMode");
  ComboMode->SetStyle(csDropDownList);
  ComboMode->SetBounds(242, 0, 70, 21);
  ComboMode->Items()->Add("Binary");
  ComboMode->Items()->Add("ASCII");
  ComboMode->SetItemIndex(0);
  CancelB = MakeControl<TSpeedButton>(this, Panel1, "CancelB");
  CancelB->SetBounds(316, 1, 100, 19);
  CancelB->SetCaption("Cancel");
  CancelB->OnClick = {this, &TFormMdi::CancelBClick};
  CloseB = MakeControl<TSpeedButton>(this, Panel1, "CloseB");
  CloseB->SetBounds(316, 20, 100, 19);
  CloseB->SetCaption("Close Connection");
  CloseB->SetShowHint(true);
  CloseB->OnClick = {this, &TFormMdi::CloseBClick};
  TransferFile = PanelLabel(PProgress, "TransferFile", 6, 4, 200);
  AsFile = PanelLabel(PProgress, "AsFile", 6, 22, 200);
  for (TLabel* l : {TransferFile, AsFile}) l->SetAnchors(TAnchors{akLeft, akTop, akRight});

  // The log along the bottom.
  PInfoMain = MakePanel(this, this, "PInfoMain", alBottom);
  PInfoMain->SetHeight(96);
  PInfoMain->Constraints()->SetMinHeight(31);
  MemoInfo = MakeControl<TMemo>(this, PInfoMain, "MemoInfo");
  MemoInfo->SetAlign(alClient);
  MemoInfo->SetReadOnly(true);
  MemoInfo->SetScrollBars(ssVertical);
  // No limit: the control's own stops near 32 K.
  MemoInfo->SetMaxLength(0);
  SplitBot = MakeControl<TSplitter>(this, this, "SplitBot");
  SplitBot->SetAlign(alBottom);
  SplitBot->SetHeight(3);
  SplitBot->SetTop(PInfoMain->Top() - 3);

  // The lists between them, under the path combo.
  PListing = MakePanel(this, this, "PListing", alClient);
  PDirCombo = MakePanel(this, PListing, "PDirCombo", alTop);
  PDirCombo->SetHeight(25);
  DirCombo = MakeControl<TComboBox>(this, PDirCombo, "DirCombo");
  DirCombo->SetStyle(csDropDown);
  DirCombo->SetBounds(2, 2, PDirCombo->Width() - 92, 21);
  DirCombo->SetAnchors(TAnchors{akLeft, akTop, akRight});
  DirCombo->OnKeyDown = {this, &TFormMdi::DirComboKeyDown};
  DirCombo->OnSelect = {this, &TFormMdi::DirComboClick};
  ReconB = MakeControl<TSpeedButton>(this, PDirCombo, "ReconB");
  ReconB->SetBounds(PDirCombo->Width() - 86, 2, 84, 21);
  ReconB->SetAnchors(TAnchors{akTop, akRight});
  ReconB->SetCaption("Reconnect");
  ReconB->OnClick = {this, &TFormMdi::ReconBClick};
  PRemTree = MakePanel(this, PListing, "PRemTree", alLeft);
  PRemTree->SetWidth(160);
  RemoteDirs = MakeList(this, PRemTree, "RemoteDirs", {{"Directories", 158}, {"Size", 80}, {"Date", 80}, {"Permissions", 80}});
  RemoteDirs->SetMultiSelect(false);
  RemoteDirs->OnClick = {this, &TFormMdi::RemoteDirsClick};
  RemoteDirs->OnCompare = {this, &TFormMdi::RemoteDirsCompare};
  RemoteDirs->OnSelectItem = {this, &TFormMdi::ListSelectItem};
  RemoteDirs->OnDblClick = {this, &TFormMdi::RemoteDirsDblClick};
  RemoteDirs->OnColumnClick = {this, &TFormMdi::RemoteDirsColumnClick};
  SplitRem = MakeControl<TSplitter>(this, PListing, "SplitRem");
  SplitRem->SetAlign(alLeft);
  SplitRem->SetLeft(PRemTree->Left() + PRemTree->Width());
  SplitRem->SetWidth(3);
  SplitRem->SetMinSize(150);
  PRemList = MakePanel(this, PListing, "PRemList", alClient);
  RemoteFiles = MakeList(this, PRemList, "RemoteFiles", {{"Name", 180}, {"Size", 80}, {"Date", 80}, {"Permissions", 80}});
  RemoteFiles->SetMultiSelect(true);
  RemoteFiles->OnClick = {this, &TFormMdi::RemoteFilesClick};
  RemoteFiles->OnCompare = {this, &TFormMdi::RemoteFilesCompare};
  RemoteFiles->OnSelectItem = {this, &TFormMdi::ListSelectItem};
  RemoteFiles->OnColumnClick = {this, &TFormMdi::RemoteFilesColumnClick};
  RemoteFiles->SetSortType(stBoth);
  if (TConnectionHost* host = host_) RemoteDirs->SetSmallImages(host->SmallImages());
  if (DirParser) {
    RemoteFiles->SetSmallImages(DirParser->ImageList1);
    RemoteFiles->SetLargeImages(DirParser->ImageList2);
  }
}

void TFormMdi::BuildMenus() {
  // nullopt: a separator. An action the host has not is left out.
  using TEntry = std::optional<THostAction>;
  auto menu = [&](const char* name, TControl* control, std::initializer_list<TEntry> entries) {
    auto* m = new TPopupMenu(this);
    m->SetName(name);
    for (const TEntry& e : host_ ? entries : std::initializer_list<TEntry>{}) {
      TBasicAction* a = e ? host_->HostAction(*e) : nullptr;
      if (e && !a) continue;
      auto* item = new TMenuItem(m);
      if (a)
        item->SetAction(a);
      else
        item->SetCaption("-");
      m->Items()->Add(item);
    }
    control->SetPopupMenu(m);
    return m;
  };
  using enum THostAction;
  PopupMenu1 = menu("PopupMenu1", RemoteDirs,
                    {UpDir, ChangeDir, std::nullopt, MkdDir, RenameDir, RemoveDir, std::nullopt, BatchDownload,
                     BatchDelete, std::nullopt, ChmodDir, RefreshRemote});
  PopupMenu2 = menu("PopupMenu2", RemoteFiles,
                    {DownloadFile, ResumeDown, std::nullopt, RenameRemoteFile, DeleteRemote, std::nullopt, Chmod,
                     DirInfo});
  PopupMenu3 = menu("PopupMenu3", MemoInfo, {SaveLog});
}

// ---------------------------------------------------------------- the main window's view

bool TFormMdi::Connected() { return Ftp1->GetConnected(); }

int TFormMdi::SelectedDirCount() { return RemoteDirs->SelCount(); }

int TFormMdi::SelectedFileCount() { return RemoteFiles->SelCount(); }

// ---------------------------------------------------------------- profile and settings

void TFormMdi::LoadProfile(const String& name) {
  ProfileIni.reset(new TMemIniFile(ProfilesPath));
  TMemIniFile* ini = ProfileIni.get();
  Ftp1->SetConnectionType(ini->ReadBool(name, "Proxy", false) ? ftpProxy : ftpDirect);
  Ftp1->SetHostName(ini->ReadString(name, "HostName", ""));
  Ftp1->SetUserName(ini->ReadString(name, "UserName", ""));
  Ftp1->SetPassWord(ini->ReadString(name, "PassWord", ""));
  Ftp1->SetProxyServer(ini->ReadString(name, "ProxyName", ""));
  Ftp1->SetPort(IntToStr(ini->ReadInteger(name, "Port", 21)));
  static const TFtpShareMode modes[] = {ftpShareDenyNone, ftpShareDenyRead, ftpShareDenyWrite, ftpShareExclusive};
  int share = TReg::ReadInteger(SettingsSection, "ShareAccess");
  Ftp1->SetShareMode(share >= 0 && share <= 3 ? modes[share] : ftpShareDenyNone);
  Ftp1->SetPassive(ini->ReadBool(name, "Passive", false));
  ServerType = ini->ReadInteger(name, "ServerType", 0);
  StartDir = ini->ReadString(name, "StartDir", "");
  TimeOutDisabled = TReg::ReadInteger(SettingsSection, "TimeOutDisable") != 0;
  KeepAliveOn = TReg::ReadBool(SettingsSection, "KeepAlive");
  NoopInterval = NoopSeconds(TReg::ReadInteger(SettingsSection, "Noop"));
  if (TimeOutDisabled) {
    Ftp1->SetTimeout(NoopInterval + 2);
  } else {
    int timeout = TReg::ReadInteger(SettingsSection, "TimeOut");
    Ftp1->SetTimeout(timeout != 0 ? timeout : 30);
  }
  int block = TReg::ReadInteger(SettingsSection, "BufSize");
  for (TWSocket* s : {Ftp1->CommandSocket(), Ftp1->TransferSocket()}) s->SetSendBlockSize(block != 0 ? block : 1514);
}

// ---------------------------------------------------------------- connecting

void TFormMdi::Connect() {
  BeginBusy();
  ResetTransferPanel();
  AddLog("Attempting connection to account: " + ProfileName);
  try {
    LoadProfile(ProfileName);
    Ftp1->OnRequestDone = {this, &TFormMdi::Ftp1RequestDone};
    Ftp1->SetLocalFileName(ListingFile);
    ReconB->SetEnabled(false);
    Ftp1->OpenAsync();
  } catch (...) {
    EndBusy();
    ReconB->SetEnabled(true);
    throw;
  }
}

void TFormMdi::Ftp1RequestDone(TObject*, TFtpRequest request, WORD error) {
  if (error != 0) {
    // Neither the system type nor the start directory is worth the login.
    if ((request == ftpSystAsync || request == ftpCwdAsync) && Ftp1->GetConnected()) {
      AddLog("Error: " + Ftp1->ErrorMessage());
      Ftp1RequestDone(nullptr, request, 0);
      return;
    }
    if (Ftp1->ReplyCode() == 530 && AskRelogin()) {
      Ftp1->UserAsync();
      return;
    }
    String message = Ftp1->ErrorMessage();
    // Closes both connections at once; nothing is waited for.
    Ftp1->AbortAsync();
    ResetTransferPanel();
    ConnectFailed(message);
    return;
  }
  switch (request) {
    case ftpOpenAsync:
      Ftp1->UserAsync();
      break;
    case ftpUserAsync:
      Ftp1->PassAsync();
      break;
    case ftpPassAsync:
      Ftp1->SystAsync();
      break;
    case ftpSystAsync:
      if (!StartDir.empty()) {
        Ftp1->SetHostDirName(StartDir);
        Ftp1->CwdAsync();
      } else {
        Ftp1->PwdAsync();
      }
      break;
    case ftpCwdAsync:
      Ftp1->PwdAsync();
      break;
    case ftpConnectAsync:
      ClearRemoteLists();
      Ftp1->PwdAsync();
      break;
    case ftpPwdAsync:
      RememberCurrentDir();
      Ftp1->DirAsync();
      break;
    case ftpDirAsync:
      ParseListing();
      EndBusy();
      break;
    case ftpRqAbort:
      ResumeOffset = 0;
      Transferring = false;
      AddLog("Connection Aborted!");
      ResetTransferPanel();
      EndBusy();
      TimeOut->Tag = 0;
      TimeOut->SetEnabled(false);
      ReconB->SetEnabled(true);
      break;
    default:
      break;
  }
}

void TFormMdi::ConnectFailed(const String& message) {
  EndBusy();
  ClearOperation();
  if (message.find("530") != String::npos) {
    ReconB->SetEnabled(true);
    return;
  }
  if (ServerSaid426()) {
    AddLog("Error: Connect Time out!");
    if (TConnectionHost* host = host_)
      host->InfoBox("The socket timed out waiting for a response from the server.", "Connect Time out");
  } else {
    AddLog("Error: " + message);
    ResumeOffset = 0;
  }
  ReconB->SetEnabled(true);
}

bool TFormMdi::AskRelogin() {
  // The server waits for the next USER meanwhile.
  THeldIdleCount held(this);
  TOwned<TFormUserPass> form(new TFormUserPass(Application));
  form->EditUser->SetText(Ftp1->UserName());
  form->ShowModal();
  if (form->Cancelled) return false;
  Ftp1->SetUserName(form->UserName);
  Ftp1->SetPassWord(form->Password);
  return true;
}

bool TFormMdi::CanStartCommand() {
  TConnectionHost* host = host_;
  if (Ftp1->GetConnected() || busy_) {
    if (Ftp1->GetConnected() && Ftp1->ClientState() == ftpReady && !busy_) return true;
    if (host && AskYesNo("Please wait for the current command to complete or open another connection. Would "
                         "you like to open another connection?",
                         "Nembra Busy...") &&
        host->HostAction(THostAction::New))
      host->HostAction(THostAction::New)->Execute();
    return false;
  }
  if (host && !host->CheckConnection()) return false;
  if (ConnectionLost && host && !AskYesNo("The connection was lost, would you like to reconnect?", "Reconnect?"))
    return false;
  // The login keeps the request-done event: the operation that asked is
  // dropped and may be started again once connected.
  Connect();
  return false;
}

// ---------------------------------------------------------------- busy and idle

void TFormMdi::BeginBusy() {
  busy_ = true;
  if (TConnectionHost* host = host_) host->ChildStateChanged(this);
  for (TControl* c : std::initializer_list<TControl*>{PProgress, Prog1, RemoteDirs, RemoteFiles, MemoInfo})
    c->SetCursor(crHourGlass);
  for (TControl* c : std::initializer_list<TControl*>{CancelB, CloseB, ReconB}) c->SetCursor(crAppStart);
  DirCombo->SetEnabled(false);
}

void TFormMdi::EndBusy() {
  busy_ = false;
  // Every end: a later listing uploads nothing that was dropped before.
  UploadAfterListing = false;
  if (DroppedFiles) DroppedFiles->Clear();
  if (TConnectionHost* host = host_) host->ChildStateChanged(this);
  for (TControl* c : std::initializer_list<TControl*>{PProgress, Prog1, RemoteDirs, RemoteFiles, MemoInfo, CancelB,
                                                      CloseB, ReconB})
    c->SetCursor(crDefault);
  DirCombo->SetEnabled(true);
}

// ---------------------------------------------------------------- log and status

void TFormMdi::AddLog(const String& text) {
  LogLines->Add(text);
  // The memo takes the lines of one turn of the message loop at once: each
  // change of its text costs time in proportion to all of it.
  pendingLog_.push_back(text);
  if (logPosted_) return;
  if (HandleAllocated() && PostMessageA(Handle(), WM_LOG_FLUSH, 0, 0))
    logPosted_ = true;
  else
    FlushLog();
}

void TFormMdi::FlushLog() {
  logPosted_ = false;
  if (pendingLog_.empty()) return;
  String text;
  for (const String& line : pendingLog_) {
    if (!text.empty()) text += "\r\n";
    text += line;
  }
  pendingLog_.clear();
  MemoInfo->Lines()->Add(text);
}

void TFormMdi::SetStatus(int panel, const String& text) {
  if (TConnectionHost* host = host_) host->ChildStatusText(this, panel, text);
}

void TFormMdi::LogWinsockInfo() {
  WSADATA data = WinsockInfo();
  AddLog(String("Initializing: ") + data.szDescription);
  AddLog(String("Status: ") + data.szSystemStatus);
}

void TFormMdi::Ftp1Command(TObject*, String& command) { SetStatus(1, CommandStatusText(command)); }

void TFormMdi::Ftp1Display(TObject*, String& message) {
  // A 500 alone loses nothing: the connection is lost once the server
  // closes it after that.
  if (message.rfind("< 500", 0) == 0) saw500_ = true;
  String line = CommandLogLine(message);
  if (!line.empty()) AddLog(line);
  TimeOut->Tag = 0;
}

void TFormMdi::Ftp1Response(TObject*) {
  TimeOut->Tag = 0;
  lastReply_ = Ftp1->LastResponse();
  AddLog("<-- " + lastReply_);
}

void TFormMdi::Ftp1StateChange(TObject*) {
  String address = Ftp1->CommandSocket()->DnsResult();
  switch (Ftp1->ClientState()) {
    case ftpNotConnected:
      AddLog("Disconnected!");
      SetStatus(1, "");
      SetStatus(2, "");
      break;
    case ftpReady:
      SetStatus(1, "");
      break;
    case ftpDnsLookup:
      AddLog("Looking for DNS...");
      break;
    case ftpConnected:
      AddLog("Connected to: " + Ftp1->HostName() + " - IP (" + address + ") Port: " + Ftp1->Port());
      break;
    case ftpAbort:
      AddLog("Command/Connection Aborted!");
      ResumeOffset = 0;
      SetStatus(1, "");
      SetStatus(2, "");
      break;
    case ftpInternalAbort:
      AddLog("Client command aborted!");
      ResumeOffset = 0;
      SetStatus(1, "");
      SetStatus(2, "");
      break;
    case ftpWaitingBanner:
      AddLog("Received response from: IP (" + address + ")");
      break;
    case ftpInternalReady:
    case ftpWaitingResponse:
      break;
  }
}

void TFormMdi::Ftp1SessionConnected(TObject*, WORD) {
  SetCaption(Ftp1->HostName());
  TConnectionHost* host = host_;
  if (host) host->ChildCaptionChanged(this);
  CloseB->SetHint("Close " + Ftp1->HostName());
  ReconB->SetEnabled(false);
  TimeOut->Tag = 0;
  TimeOut->SetEnabled(true);
  ConnectionLost = false;
  saw500_ = false;
  if (host) host->ChildStateChanged(this);
}

void TFormMdi::Ftp1SessionClosed(TObject*, WORD) {
  TimeOut->Tag = 0;
  TimeOut->SetEnabled(false);
  ReconB->SetEnabled(true);
  if (saw500_) ConnectionLost = true;
  if (TConnectionHost* host = host_) host->ChildStateChanged(this);
}

void TFormMdi::Ftp1BgException(TObject*, Exception& e, bool& canClose) {
  EndBusy();
  TConnectionHost* host = host_;
  if (e.Message == "FTP component not connected") {
    if (host && host->AskYesNo("The connection was lost, would you like to reconnect?", "Reconnect?")) Connect();
  } else {
    if (host) host->ErrorBox("There was an error with the connection. Error: " + e.Message, "Connection Error");
    canClose = true;
  }
  TimeOut->Tag = 0;
  if (host) host->ChildStateChanged(this);
}

void TFormMdi::TimeOutTimer(TObject*) {
  // A question or input box of the window keeps the connection as it is.
  if (held_ > 0) return;
  ++TimeOut->Tag;
  bool ready = Ftp1->ClientState() == ftpReady && !busy_;
  switch (IdleTick(ready, TimeOutDisabled, KeepAliveOn, static_cast<int>(TimeOut->Tag), NoopInterval,
                   Ftp1->Timeout())) {
    case itNoop:
      SendKeepAlive(true);
      break;
    case itReset:
      SendKeepAlive(false);
      break;
    case itTimeOut:
      TimeOut->SetEnabled(false);
      Ftp1->Abort();
      if (busy_) {
        ClearOperation();
        ResetTransferPanel();
        EndBusy();
      }
      ConnectionLost = true;
      TimeOut->Tag = 0;
      TimeOut->SetEnabled(false);
      AddLog("Connection Timed Out!");
      break;
    case itNothing:
      break;
  }
}

void TFormMdi::SendKeepAlive(bool send) {
  if (send && KeepAliveOn) {
    Ftp1->OnRequestDone = {this, &TFormMdi::NoopRequestDone};
    Ftp1->SetLocalFileName("NOOP");
    Ftp1->QuoteAsync();
  }
  TimeOut->Tag = 0;
}

void TFormMdi::NoopRequestDone(TObject*, TFtpRequest request, WORD error) {
  if (error != 0) {
    RequestFailed(Ftp1->ErrorMessage());
    return;
  }
  if (request == ftpRqAbort) RequestAborted();
}

void TFormMdi::HoldIdleCount(bool hold) {
  if (hold)
    ++held_;
  else if (held_ > 0)
    --held_;
}

void TFormMdi::ReconBClick(TObject*) { Connect(); }

void TFormMdi::RemoteDirsClick(TObject*) {
  if (TConnectionHost* host = host_) host->ChildStateChanged(this);
}

void TFormMdi::RemoteFilesClick(TObject*) {
  if (TConnectionHost* host = host_) host->ChildStateChanged(this);
}

void TFormMdi::ListSelectItem(TObject*, TListItem*, bool) {
  // A selection made with the keys counts as a click; a range of many
  // items refreshes the actions once.
  if (selectionPosted_ || !HandleAllocated()) return;
  selectionPosted_ = true;
  PostMessageA(Handle(), WM_SELECTION_CHANGED, 0, 0);
}

void TFormMdi::RemoteFilesCompare(TObject*, TListItem* item1, TListItem* item2, LPARAM, int& compare) {
  int c;
  if (SortColumn == 0) {
    c = CompareRemoteNames(item1->Caption(), item2->Caption());
  } else {
    auto size = [](TListItem* it) {
      return it->SubItems()->Count() > 0 ? StrToInt64Def(it->SubItems()->Get(0), 0) : 0;
    };
    int64_t a = size(item1), b = size(item2);
    c = a == b ? 0 : a > b ? 1 : -1;
  }
  compare = RemoteFiles->HeaderSortDirection() == ptsdDesc ? c : -c;
}

void TFormMdi::RemoteDirsCompare(TObject*, TListItem* item1, TListItem* item2, LPARAM, int& compare) {
  int c = CompareRemoteNames(item1->Caption(), item2->Caption());
  compare = RemoteDirs->HeaderSortDirection() == ptsdDesc ? c : -c;
}

// ---------------------------------------------------------------- the operation pattern

bool TFormMdi::ServerSaid426() const {
  return Ftp1->ReplyCode() == 426 && !lastReply_.empty() && Ftp1->ErrorMessage() == lastReply_;
}

void TFormMdi::ClearOperation() {
  Timer1->SetEnabled(false);
  CancelB->OnClick = {this, &TFormMdi::CancelBClick};
  UploadList->Clear();
  DownloadList->Clear();
  downloadSizes_.clear();
  DeleteList->Clear();
  ChmodList->Clear();
  queueDone_ = 0;
  Ftp1->Tag = 0;
  Transferring = false;
  CancelRequested = false;
  cancelled_ = false;
  batch_.reset();
  BatchDirs->Clear();
  BatchFiles->Clear();
}

void TFormMdi::RequestFailed(const String& message) {
  EndBusy();
  Ftp1->OnRequestDone = {this, &TFormMdi::Ftp1RequestDone};
  ClearOperation();
  ResetTransferPanel();
  ResumeOffset = 0;
  // Only the server's 426 is a time-out; this side's failures (a local
  // file, a cancel) are told as they are.
  if (ServerSaid426()) {
    AddLog("Error: Timed out!");
    if (TConnectionHost* host = host_) host->InfoBox(kTimedOutText, "Timed Out!");
  } else {
    AddLog("Error: " + message);
  }
}

void TFormMdi::RequestAborted() {
  ResumeOffset = 0;
  AddLog("Connection Aborted!");
  ClearOperation();
  ResetTransferPanel();
  EndBusy();
  TimeOut->Tag = 0;
  TimeOut->SetEnabled(false);
}

void TFormMdi::ResetTransferPanel() {
  Prog1->SetPosition(0);
  for (TLabel* l : {SizeSpeed, TransferFile, AsFile, Timer, Percent}) l->SetCaption("");
}

void TFormMdi::RememberCurrentDir() {
  CurrentDir = Ftp1->DirResult();
  SetStatus(2, "Directory: " + CurrentDir);
  Ftp1->SetHostDirName(CurrentDir);
  // A bare LIST: the path as an argument lists the wrong thing for names
  // with blanks, a leading "-" or glob characters.
  Ftp1->SetHostFileName("");
  Ftp1->SetLocalFileName(ListingFile);
  if (DirCombo->Items()->IndexOf(CurrentDir) < 0) DirCombo->Items()->Add(CurrentDir);
  DirCombo->SetText(CurrentDir);
  ClearRemoteLists();
}

// ---------------------------------------------------------------- listing

String TFormMdi::MakeListingFileName() { return MakeListingFileIn(ExtractFilePath(Application->ExeName())); }

void TFormMdi::EndFillUpdate() {
  if (!fill_ || !fill_->Updating) return;
  fill_->Updating = false;
  for (TPTListView* l : {RemoteDirs, RemoteFiles}) l->Items()->EndUpdate();
}

void TFormMdi::StopListing() {
  ++listingGeneration_;
  listingWindowAfterFill_ = false;
  if (fill_) {
    EndFillUpdate();
    RemoteFiles->SetSortType(stBoth);
  }
  fill_.reset();
  if (job_) {
    if (job_->Thread.joinable()) job_->Thread.join();
    job_.reset();
  }
}

void TFormMdi::ClearRemoteLists() {
  StopListing();
  for (TPTListView* l : {RemoteDirs, RemoteFiles}) {
    if (l->HandleAllocated()) SendMessageA(l->Handle(), WM_SETREDRAW, FALSE, 0);
    l->Items()->Clear();
  }
  for (TPTListView* l : {RemoteDirs, RemoteFiles})
    if (l->HandleAllocated()) {
      SendMessageA(l->Handle(), WM_SETREDRAW, TRUE, 0);
      InvalidateRect(l->Handle(), nullptr, TRUE);
    }
}

void TFormMdi::ParseListing() {
  ClearRemoteLists();
  RemoteFiles->SetHeaderSortColumn(0);
  SortColumn = 0;
  RemoteFiles->SetHeaderSortDirection(ptsdDesc);
  RemoteDirs->SetHeaderSortDirection(ptsdDesc);
  ListingLines->Clear();
  // The file is read and parsed on a thread of its own; the rows come back
  // in the file list's order, then fill the lists in slices.
  job_ = std::make_unique<TListingJob>();
  TListingJob* job = job_.get();
  WPARAM generation = listingGeneration_;
  HWND wnd = Handle();
  TDirParserKind kind = ConnectionParserKind(ServerType);
  String file = ListingFile;
  job->Thread = std::thread([job, generation, wnd, kind, file] {
    std::string text;
    job->Read = ReadWholeFile(file, text);
    job->Rows = ParseListingRows(kind, job->Read ? SplitLines(text) : std::vector<std::string>());
    // Servers mostly list in name order already: a check is cheaper than a sort.
    auto byName = [](const TDirRow& a, const TDirRow& b) { return CompareRemoteNames(a.Caption, b.Caption) < 0; };
    if (!std::is_sorted(job->Rows.Files.begin(), job->Rows.Files.end(), byName))
      std::stable_sort(job->Rows.Files.begin(), job->Rows.Files.end(), byName);
    PostMessageA(wnd, WM_LISTING_PARSED, generation, 0);
  });
}

void TFormMdi::ListingParsed(WPARAM generation) {
  if (generation != listingGeneration_ || !job_) return;
  if (job_->Thread.joinable()) job_->Thread.join();
  fill_ = std::make_unique<TListingFill>();
  fill_->Rows = std::move(job_->Rows);
  job_.reset();
  // A batch walk takes the rows as parsed, whatever the lists do with them.
  std::optional<TDirRows> walk;
  bool walking = Ftp1->OnRequestDone == TFtpRequestDone{this, &TFormMdi::BatchDownloadRequestDone} ||
                 Ftp1->OnRequestDone == TFtpRequestDone{this, &TFormMdi::BatchDeleteRequestDone};
  if (batch_ && batch_->WaitingRows && busy_ && walking) {
    batch_->WaitingRows = false;
    walk = fill_->Rows;
  }
  // The rows come in the list's order: it need not keep itself ordered
  // while they are added.
  RemoteFiles->SetSortType(stNone);
  for (TPTListView* l : {RemoteDirs, RemoteFiles}) l->Items()->BeginUpdate();
  fill_->Updating = true;
  FillSlice(generation);
  if (walk && batch_) CollectRemoteFiles(*walk);
}

void TFormMdi::FillSlice(WPARAM generation) {
  if (generation != listingGeneration_ || !fill_) return;
  auto start = std::chrono::steady_clock::now();
  TListingFill& f = *fill_;
  auto take = [](std::vector<TDirRow>& from, size_t& pos) {
    size_t end = std::min(from.size(), pos + kFillChunk);
    std::vector<TDirRow> part(std::make_move_iterator(from.begin() + static_cast<ptrdiff_t>(pos)),
                              std::make_move_iterator(from.begin() + static_cast<ptrdiff_t>(end)));
    pos = end;
    return part;
  };
  if (f.Added()) {
    // The last steps, each a message of its own: the lists draw again, then
    // the file list keeps itself ordered again (a check of the order).
    if (f.Updating) {
      EndFillUpdate();
      PostMessageA(Handle(), WM_LISTING_FILL, generation, 0);
      return;
    }
    fill_.reset();
    RemoteFiles->SetSortType(stBoth);
    if (TConnectionHost* host = host_) host->ChildStateChanged(this);
    if (listingWindowAfterFill_) {
      listingWindowAfterFill_ = false;
      PostMessageA(Handle(), WM_SHOW_LISTING, 0, 0);
    }
    return;
  }
  while (!f.Added()) {
    TDirRows part;
    if (f.Dirs < f.Rows.Directories.size())
      part.Directories = take(f.Rows.Directories, f.Dirs);
    else
      part.Files = take(f.Rows.Files, f.Files);
    if (DirParser) DirParser->AddRows(part, RemoteDirs, RemoteFiles);
    if (std::chrono::steady_clock::now() - start >= kSliceBudget) break;
  }
  PostMessageA(Handle(), WM_LISTING_FILL, generation, 0);
}

void TFormMdi::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_LISTING_PARSED:
      ListingParsed(msg.WParam);
      return;
    case WM_LISTING_FILL:
      FillSlice(msg.WParam);
      return;
    case WM_LOG_FLUSH:
      FlushLog();
      return;
    case WM_SHOW_LISTING:
      if (!closing_) ShowListingWindow();
      return;
    case WM_SELECTION_CHANGED:
      selectionPosted_ = false;
      if (TConnectionHost* host = host_) host->ChildStateChanged(this);
      return;
    default:
      TForm::Dispatch(msg);
  }
}

// ---------------------------------------------------------------- transfers

void TFormMdi::StartTransferType() {
  if (ComboMode->ItemIndex() != 0)
    Ftp1->TypeAsciiAsync();
  else
    Ftp1->TypeBinaryAsync();
}

void TFormMdi::UploadFiles(const TStrings* paths) {
  UploadList->Clear();
  if (paths)
    for (int i = 0; i < paths->Count(); ++i) UploadList->Add(paths->Get(i));
  UploadFiles();
}

void TFormMdi::UploadFiles() {
  if (!CanStartCommand()) return;
  // Files that are gone (or no files) are told now and skipped.
  for (int i = 0; i < UploadList->Count();) {
    String why = NotUploadable(UploadList->Get(i));
    if (!why.empty()) {
      AddLog("Error: " + why + ", not uploaded: " + UploadList->Get(i));
      UploadList->Delete(i);
    } else {
      ++i;
    }
  }
  if (UploadList->Count() == 0) return;
  cancelled_ = false;
  Ftp1->OnRequestDone = {this, &TFormMdi::UploadRequestDone};
  BeginBusy();
  StartTransferType();
}

void TFormMdi::PrepareNextUpload() {
  ResetTransferPanel();
  for (;;) {
    Ftp1->Tag = UploadList->Count();
    if (UploadList->Count() == 0) {
      Timer1->SetEnabled(false);
      return;
    }
    String path = UploadList->Get(0);
    UploadList->Delete(0);
    String why = NotUploadable(path);
    if (!why.empty()) {
      AddLog("Error: " + why + ", not uploaded: " + path);
      continue;
    }
    int64_t size = std::max<int64_t>(FileSizeOf(path), 0);
    Transferring = true;
    // An empty file keeps the previous size: its panel waits for bytes.
    if (size != 0) TransferSize = size;
    sizeKnown_ = true;
    Ftp1->SetHostFileName(ExtractFileName(path));
    Ftp1->SetLocalFileName(path);
    CancelB->OnClick = {this, &TFormMdi::CancelTransfer};
    return;
  }
}

void TFormMdi::UploadRequestDone(TObject*, TFtpRequest request, WORD error) {
  if (error != 0) {
    if (cancelled_ && (request == ftpPutAsync || request == ftpTypeSetAsync)) {
      EndCancelledTransfer(true);
      return;
    }
    RequestFailed(Ftp1->ErrorMessage());
    return;
  }
  switch (request) {
    case ftpTypeSetAsync:
      PrepareNextUpload();
      if (Ftp1->Tag == 0) {
        // Every file went missing on the way.
        ClearOperation();
        Ftp1->PwdAsync();
        break;
      }
      ShowUploadStart(0);
      Ftp1->PutAsync();
      break;
    case ftpPutAsync:
      Transferring = false;
      if (cancelled_) {
        EndCancelledTransfer(true);
        break;
      }
      ResetTransferPanel();
      PrepareNextUpload();
      Timer1->SetEnabled(false);
      Timer1->Tag = 1;
      if (Ftp1->Tag != 0) {
        ShowUploadStart(0);
        Ftp1->PutAsync();
      } else {
        CancelB->OnClick = {this, &TFormMdi::CancelBClick};
        Ftp1->PwdAsync();
      }
      break;
    case ftpPwdAsync:
      RememberCurrentDir();
      Ftp1->DirAsync();
      break;
    case ftpDirAsync:
      ParseListing();
      ClearOperation();
      EndBusy();
      break;
    case ftpConnectAsync:
      Ftp1->PwdAsync();
      break;
    case ftpRqAbort:
      RequestAborted();
      break;
    default:
      break;
  }
}

void TFormMdi::DownloadSelected() {
  TConnectionHost* host = host_;
  String folder = host ? host->LocalFolder() : String();
  if (folder.empty() || !DirectoryExists(folder)) {
    if (host) host->InfoBox("Please select a folder on a local drive to download into.", "Download");
    return;
  }
  if (!CanStartCommand()) return;
  DownloadList->Clear();
  downloadSizes_.clear();
  for (TListItem* it = RemoteFiles->GetNextItem(nullptr, sdAll, {isSelected}); it;
       it = RemoteFiles->GetNextItem(it, sdAll, {isSelected})) {
    const TDirItemData* data = TDirParser::ItemData(it);
    DownloadList->Add(data ? data->Name : it->Caption());
    String size = it->SubItems()->Count() > 0 ? it->SubItems()->Get(0) : String();
    downloadSizes_.push_back(IsDecimal(size) ? StrToInt64Def(size, -1) : -1);
  }
  if (DownloadList->Count() == 0) return;
  downloadFolder_ = folder;
  cancelled_ = false;
  replaceAll_ = false;
  severalDownloads_ = DownloadList->Count() > 1;
  Ftp1->OnRequestDone = {this, &TFormMdi::DownloadRequestDone};
  BeginBusy();
  StartTransferType();
}

void TFormMdi::PrepareNextDownload() {
  for (;;) {
    Ftp1->Tag = DownloadList->Count();
    if (DownloadList->Count() == 0) {
      Timer1->SetEnabled(false);
      return;
    }
    String name = DownloadList->Get(0);
    DownloadList->Delete(0);
    listingSize_ = downloadSizes_.empty() ? -1 : downloadSizes_.front();
    if (!downloadSizes_.empty()) downloadSizes_.pop_front();
    String path, reason;
    if (!LocalPathIn(downloadFolder_, name, path, reason)) {
      AddLog("Error: Not downloaded: \"" + name + "\": " + reason);
      continue;
    }
    TReplaceAnswer answer = AskReplaceLocal(path, severalDownloads_);
    if (answer == raSkip) continue;
    if (answer == raCancel) {
      DownloadList->Clear();
      downloadSizes_.clear();
      continue;
    }
    Transferring = true;
    TransferSize = 0;
    sizeKnown_ = false;
    Ftp1->SetHostFileName(name);
    Ftp1->SetLocalFileName(path);
    CancelB->OnClick = {this, &TFormMdi::CancelTransfer};
    return;
  }
}

void TFormMdi::DownloadRequestDone(TObject*, TFtpRequest request, WORD error) {
  if (error != 0) {
    if (cancelled_ && (request == ftpGetAsync || request == ftpSizeAsync || request == ftpTypeSetAsync)) {
      EndCancelledTransfer(false);
      return;
    }
    if (request == ftpSizeAsync && Ftp1->GetConnected()) {
      // Some servers refuse SIZE (in ASCII mode): the listing's size, or none.
      TransferSize = std::max<int64_t>(listingSize_, 0);
      sizeKnown_ = listingSize_ >= 0;
      ShowDownloadStart(0);
      Ftp1->GetAsync();
      return;
    }
    RequestFailed(Ftp1->ErrorMessage());
    return;
  }
  TConnectionHost* host = host_;
  switch (request) {
    case ftpTypeSetAsync:
      PrepareNextDownload();
      if (Ftp1->Tag == 0) {
        ClearOperation();
        ResetTransferPanel();
        EndBusy();
        break;
      }
      Ftp1->SizeAsync();
      break;
    case ftpSizeAsync:
      if (cancelled_) {
        EndCancelledTransfer(false);
        break;
      }
      TransferSize = Ftp1->SizeReply();
      sizeKnown_ = true;
      ShowDownloadStart(0);
      Ftp1->GetAsync();
      break;
    case ftpGetAsync:
      if (host) host->LocalFilesChanged();
      Transferring = false;
      if (cancelled_) {
        EndCancelledTransfer(false);
        break;
      }
      ResetTransferPanel();
      PrepareNextDownload();
      Timer1->SetEnabled(false);
      Timer1->Tag = 1;
      if (Ftp1->Tag != 0) {
        Ftp1->SizeAsync();
      } else {
        ClearOperation();
        if (host) host->LocalFilesChanged();
        EndBusy();
      }
      break;
    case ftpDirAsync:
      ParseListing();
      if (host) host->LocalFilesChanged();
      ClearOperation();
      EndBusy();
      break;
    case ftpPwdAsync:
      RememberCurrentDir();
      Ftp1->DirAsync();
      break;
    case ftpConnectAsync:
      Ftp1->PwdAsync();
      break;
    case ftpRqAbort:
      RequestAborted();
      break;
    default:
      break;
  }
}

void TFormMdi::EndCancelledTransfer(bool upload) {
  Transferring = false;
  Timer1->SetEnabled(false);
  Timer1->Tag = 1;
  CancelB->OnClick = {this, &TFormMdi::CancelBClick};
  UploadList->Clear();
  DownloadList->Clear();
  downloadSizes_.clear();
  CancelRequested = false;
  Ftp1->Tag = 0;
  if (upload) {
    // The server may hold part of the file now: its listing is read again.
    Ftp1->PwdAsync();
    return;
  }
  if (TConnectionHost* host = host_) host->LocalFilesChanged();
  cancelled_ = false;
  EndBusy();
}

String TFormMdi::PanelPath(const String& path) {
  TMemoryCanvas canvas;
  canvas.Font()->Assign(TransferFile->Font());
  return ShortenPath(path, TransferFile->Width() - 50, [&](const String& s) { return canvas.TextWidth(s); });
}

void TFormMdi::ShowUploadStart(int64_t position) {
  TransferDone = 0;
  Prog1->SetPosition(sizeKnown_ && TransferSize > 0 ? static_cast<int>(position * 1000 / TransferSize) : 0);
  TransferFile->SetCaption("Uploading: " + PanelPath(Ftp1->LocalFileName()));
  AsFile->SetCaption("As File: " + CurrentDir + "/" + Ftp1->HostFileName());
  Timer1->Tag = 1;
  Timer1->SetEnabled(true);
  ShowTransferProgress();
}

void TFormMdi::ShowDownloadStart(int64_t position) {
  TransferDone = 0;
  Prog1->SetPosition(sizeKnown_ && TransferSize > 0 ? static_cast<int>(position * 1000 / TransferSize) : 0);
  TransferFile->SetCaption("Downloading: " + CurrentDir + "/" + Ftp1->HostFileName());
  AsFile->SetCaption("As File: " + PanelPath(Ftp1->LocalFileName()));
  Timer1->Tag = 1;
  Timer1->SetEnabled(true);
  ShowTransferProgress();
}

void TFormMdi::ShowTransferProgress() {
  TProgressTexts t = ProgressTexts(TransferDone, TransferSize, sizeKnown_, Timer1->Tag);
  Prog1->SetPosition(t.Position);
  SizeSpeed->SetCaption(t.SizeSpeed);
  if (t.Complete) {
    for (TLabel* l : {TransferFile, AsFile, Timer, Percent}) l->SetCaption("");
    Timer1->SetEnabled(false);
    return;
  }
  if (TransferDone < 1) return;
  Timer->SetCaption(t.Timer);
  Percent->SetCaption(t.Percent);
}

void TFormMdi::Timer1Timer(TObject*) {
  ++Timer1->Tag;
  ShowTransferProgress();
}

void TFormMdi::Ftp1Progress(TObject*, int64_t count, bool& abort) {
  if (CancelRequested) {
    abort = true;
    ResumeOffset = 0;
    CancelRequested = false;
    CancelB->OnClick = {this, &TFormMdi::CancelBClick};
  } else {
    abort = false;
    if (Transferring) TransferDone = count;
  }
  TimeOut->Tag = 0;
}

void TFormMdi::Ftp1ReadyToTransmit(TObject*, bool& cancel) {
  if (CancelRequested) {
    cancel = true;
    ResumeOffset = 0;
    CancelRequested = false;
    CancelB->OnClick = {this, &TFormMdi::CancelBClick};
  } else {
    cancel = false;
  }
  TimeOut->Tag = 0;
}

void TFormMdi::CancelTransfer(TObject*) {
  if (CancelRequested) {
    // Pressed again before any data moved to take the first: the
    // connections close.
    Ftp1->AbortAsync();
    return;
  }
  CancelRequested = true;
  // Nothing more of this operation starts, whenever the cancel takes effect.
  cancelled_ = true;
  UploadList->Clear();
  DownloadList->Clear();
  downloadSizes_.clear();
  Timer1->SetEnabled(false);
  Prog1->SetPosition(0);
  SizeSpeed->SetCaption("Transfer Cancelled");
  for (TLabel* l : {TransferFile, AsFile, Timer}) l->SetCaption("");
  // The window stays busy until the transfer has stopped and its chain
  // ended: nothing else may take the connection meanwhile.
}

void TFormMdi::CancelBClick(TObject*) {
  if (Ftp1->GetConnected()) Ftp1->AbortAsync();
}

void TFormMdi::CloseBClick(TObject*) { Close(); }

// ---------------------------------------------------------------- show and close

void TFormMdi::FormShow(TObject*) {
  ComboMode->SetItemIndex(0);
  // The window shows maximised in the frame's client: stored sizes wider
  // than that take the defaults, so the file list and the splitter stay.
  int room = ClientWidth();
  RECT frame{};
  if (HandleAllocated() && GetClientRect(GetParent(Handle()), &frame)) room = std::max<int>(room, frame.right);
  PRemTree->SetWidth(TReg::ReadPaneSize("RemoteDirSize", room - SplitRem->Width() - SplitRem->MinSize()));
  SplitRem->SetLeft(PRemTree->Left() + PRemTree->Width());
  int listRoom = room - PRemTree->Width() - SplitRem->Width();
  const char* names[] = {"Column1Size", "Column2Size", "Column3Size", "Column4Size"};
  for (int i = 0; i < 4; ++i) RemoteFiles->Columns()->Items(i)->SetWidth(TReg::ReadPaneSize(names[i], listRoom));
}

void TFormMdi::FormActivate(TObject*) { SetWindowState(wsMaximized); }

void TFormMdi::FormCloseQuery(TObject*, bool& canClose) {
  if (TConnectionHost* host = host_) host->ChildGoing(this);
  canClose = true;
}

void TFormMdi::DetachClient() {
  Timer1->SetEnabled(false);
  TimeOut->SetEnabled(false);
  Ftp1->OnDisplay = nullptr;
  Ftp1->OnCommand = nullptr;
  Ftp1->OnResponse = nullptr;
  Ftp1->OnProgress = nullptr;
  Ftp1->OnSessionConnected = nullptr;
  Ftp1->OnSessionClosed = nullptr;
  Ftp1->OnRequestDone = nullptr;
  Ftp1->OnStateChange = nullptr;
  Ftp1->OnReadyToTransmit = nullptr;
  Ftp1->OnBgException = nullptr;
  // Closes both connections without waiting; the listing file is free then.
  Ftp1->AbortAsync();
}

void TFormMdi::FormClose(TObject*, TCloseAction& action) {
  TReg::WriteInteger(SettingsSection, "RemoteDirSize", PRemTree->Width());
  const char* names[] = {"Column1Size", "Column2Size", "Column3Size", "Column4Size"};
  for (int i = 0; i < 4; ++i) TReg::WriteInteger(SettingsSection, names[i], RemoteFiles->Columns()->Items(i)->Width());
  closing_ = true;
  StopListing();
  DetachClient();
  if (!ListingFile.empty() && FileExists(ListingFile)) DeleteFileStr(ListingFile);
  action = caFree;
}

// ---------------------------------------------------------------- boxes

void TFormMdi::InfoBox(const String& text, const String& caption) {
  THeldIdleCount held(this);
  if (TConnectionHost* host = host_) host->InfoBox(text, caption);
}

void TFormMdi::ErrorBox(const String& text, const String& caption) {
  THeldIdleCount held(this);
  if (TConnectionHost* host = host_) host->ErrorBox(text, caption);
}

TFormMdi::TReplaceAnswer TFormMdi::AskReplaceLocal(const String& path, bool several) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) || replaceAll_) return raReplace;
  String name = ExtractFileName(path), folder = ExtractFileDir(path);
  std::vector<TSystemDialogs::TDlgButton> buttons{{"&Yes", mrYes}};
  if (several) buttons.push_back({"Yes to &all", mrYesToAll});
  buttons.push_back({"&No", mrNo});
  buttons.push_back({"Cancel", mrCancel});
  TModalResult answer;
  {
    THeldIdleCount held(this);
    answer = SystemDialogs()->MessageDlg(Application->Handle(),
                                         "The file " + name + " already exists in " + folder +
                                             ". Do you want to replace it?",
                                         "Replace File", buttons);
  }
  switch (answer) {
    case mrYesToAll:
      replaceAll_ = true;
      return raReplace;
    case mrYes:
      return raReplace;
    case mrNo:
      AddLog("Skipped: \"" + name + "\" already exists in " + folder);
      return raSkip;
    default:
      AddLog("Download cancelled: \"" + name + "\" already exists in " + folder);
      return raCancel;
  }
}

bool TFormMdi::AskYesNo(const String& text, const String& caption) {
  THeldIdleCount held(this);
  TConnectionHost* host = host_;
  return host && host->AskYesNo(text, caption);
}

// ---------------------------------------------------------------- rows

String TFormMdi::RowName(TListItem* item) {
  if (!item) return String();
  const TDirItemData* data = TDirParser::ItemData(item);
  return data ? data->Name : item->Caption();
}

TListItem* TFormMdi::SelectedDirItem() const {
  TListItem* item = RemoteDirs->Selected();
  if (!item) return nullptr;
  const TDirItemData* data = TDirParser::ItemData(item);
  // The ".." row is no folder to rename, remove or change the mode of.
  if (data ? data->Kind == dekUp : item->Caption() == "..") return nullptr;
  return item;
}

String TFormMdi::SelectedDirName() { return RowName(SelectedDirItem()); }

namespace {

String PermissionsOf(TListItem* item) {
  return item && item->SubItems()->Count() > 2 ? item->SubItems()->Get(2) : String();
}

}  // namespace

String TFormMdi::SelectedDirPermissions() { return PermissionsOf(SelectedDirItem()); }

String TFormMdi::SelectedFilePermissions() { return PermissionsOf(RemoteFiles->Selected()); }

bool TFormMdi::Listed(const String& name) const {
  for (TPTListView* list : {RemoteDirs, RemoteFiles})
    for (int i = 0; i < list->Items()->Count(); ++i) {
      TListItem* item = list->Items()->Item(i);
      const TDirItemData* data = TDirParser::ItemData(item);
      if (data && data->Kind == dekUp) continue;
      if (RowName(item) == name) return true;
    }
  return false;
}

// ---------------------------------------------------------------- directories

void TFormMdi::ChangeDir(const String& dir) { StartChangeDir(dir); }

bool TFormMdi::StartChangeDir(const String& dir) {
  // The client refuses an empty directory.
  if (dir.empty() || !CanStartCommand()) return false;
  BeginBusy();
  Ftp1->OnRequestDone = {this, &TFormMdi::GeneralRequestDone};
  Ftp1->SetHostDirName(dir);
  Ftp1->CwdAsync();
  return true;
}

void TFormMdi::MakeDir(const String& name) {
  if (name.empty() || !CanStartCommand()) return;
  BeginBusy();
  Ftp1->OnRequestDone = {this, &TFormMdi::GeneralRequestDone};
  Ftp1->SetHostFileName(name);
  Ftp1->MkdAsync();
}

void TFormMdi::RenameDir(const String& newName) {
  if (!CanStartCommand()) return;
  String old = SelectedDirName();
  if (old.empty() || newName.empty() || newName == old) return;
  if (Listed(newName)) {
    if (!AskYesNo("\"" + newName + "\" already exists on the server. Replace it?", "Rename Directory")) return;
    if (!CanStartCommand()) return;
  }
  BeginBusy();
  Ftp1->OnRequestDone = {this, &TFormMdi::GeneralRequestDone};
  Ftp1->SetHostFileName(old);
  Ftp1->SetLocalFileName(newName);
  Ftp1->RenAsync();
}

void TFormMdi::RemoveDir(const String& name) {
  if (name.empty() || name == ".." || !CanStartCommand()) return;
  BeginBusy();
  Ftp1->OnRequestDone = {this, &TFormMdi::GeneralRequestDone};
  Ftp1->SetHostFileName(name);
  Ftp1->RmdAsync();
}

void TFormMdi::RefreshRemote() {
  if (!CanStartCommand()) return;
  BeginBusy();
  Ftp1->OnRequestDone = {this, &TFormMdi::GeneralRequestDone};
  Ftp1->PwdAsync();
}

void TFormMdi::ShowDirInfo() {
  if (!CanStartCommand()) return;
  BeginBusy();
  Ftp1->OnRequestDone = {this, &TFormMdi::DirInfoRequestDone};
  Ftp1->PwdAsync();
}

void TFormMdi::DirInfoRequestDone(TObject*, TFtpRequest request, WORD error) {
  if (error != 0) {
    RequestFailed(Ftp1->ErrorMessage());
    return;
  }
  bool listed = request == ftpDirAsync;
  ListingEndStep(request);
  if (listed) ShowListingWindow();
}

// ---------------------------------------------------------------- resume

// Byte offsets of converted text do not match on both sides: a resume runs
// only in binary mode.
bool TFormMdi::RefuseAsciiResume() {
  if (ComboMode->ItemIndex() == 0) return false;
  if (TConnectionHost* host = host_) host->ErrorBox("Resume works in Binary mode only.", "Resume Error");
  return true;
}

void TFormMdi::ResumeUpload(const String& localPath) {
  ResumeFile = localPath;
  ResumeUpload();
}

void TFormMdi::ResumeUpload() {
  if (!CanStartCommand()) return;
  if (ResumeFile.empty() || RefuseAsciiResume()) return;
  String why = NotUploadable(ResumeFile);
  if (!why.empty()) {
    AddLog("Error: " + why + ", not uploaded: " + ResumeFile);
    return;
  }
  cancelled_ = false;
  Ftp1->OnRequestDone = {this, &TFormMdi::ResumeUploadRequestDone};
  BeginBusy();
  StartTransferType();
}

void TFormMdi::PrepareResumeUpload() {
  Transferring = true;
  TransferSize = std::max<int64_t>(FileSizeOf(ResumeFile), 0);
  sizeKnown_ = true;
  Ftp1->SetHostFileName(ExtractFileName(ResumeFile));
  Ftp1->SetLocalFileName(ResumeFile);
  CancelB->OnClick = {this, &TFormMdi::CancelTransfer};
}

void TFormMdi::ResumeUploadRequestDone(TObject*, TFtpRequest request, WORD error) {
  if (error != 0) {
    if (cancelled_ && (request == ftpRestPutAsync || request == ftpSizeAsync || request == ftpTypeSetAsync)) {
      EndCancelledTransfer(true);
      return;
    }
    RequestFailed(Ftp1->ErrorMessage());
    return;
  }
  switch (request) {
    case ftpTypeSetAsync:
      PrepareResumeUpload();
      Ftp1->SizeAsync();
      break;
    case ftpSizeAsync:
      if (cancelled_) {
        EndCancelledTransfer(true);
        break;
      }
      ResumeOffset = Ftp1->SizeReply();
      if (ResumeOffset >= TransferSize) {
        // The server's copy is not smaller: nothing is sent, and the file
        // stays armed for another try.
        AddLog("Nothing to resume: the server holds " + IntToStr(ResumeOffset) + " bytes of " +
               Ftp1->HostFileName() + ", the local file " + IntToStr(TransferSize) + " bytes");
        ResumeOffset = 0;
        ClearOperation();
        ResetTransferPanel();
        EndBusy();
        break;
      }
      Ftp1->SetRestartOffset(ResumeOffset);
      ShowUploadStart(ResumeOffset);
      Ftp1->RestPutAsync();
      break;
    case ftpRestPutAsync:
    case ftpPutAsync:
      Transferring = false;
      if (cancelled_) {
        EndCancelledTransfer(true);
        break;
      }
      ResumeOffset = 0;
      ResumeFile.clear();
      ResetTransferPanel();
      CancelB->OnClick = {this, &TFormMdi::CancelBClick};
      Ftp1->PwdAsync();
      break;
    case ftpRqAbort:
      RequestAborted();
      break;
    default:
      ListingEndStep(request);
      break;
  }
}

void TFormMdi::ResumeDownload() {
  if (!CanStartCommand()) return;
  TConnectionHost* host = host_;
  if (RemoteFiles->SelCount() != 1) {
    if (host) host->ErrorBox("You must select a single file to resume the download of.", "Resume Download Error");
    return;
  }
  if (RefuseAsciiResume()) return;
  String folder = host ? host->LocalFolder() : String();
  if (folder.empty() || !DirectoryExists(folder)) {
    if (host) host->InfoBox("Please select a folder on a local drive to download into.", "Download");
    return;
  }
  TListItem* it = RemoteFiles->Selected();
  const TDirItemData* data = TDirParser::ItemData(it);
  ResumeFile = data ? data->Name : it->Caption();
  String size = it->SubItems()->Count() > 0 ? it->SubItems()->Get(0) : String();
  listingSize_ = IsDecimal(size) ? StrToInt64Def(size, -1) : -1;
  downloadFolder_ = folder;
  cancelled_ = false;
  Ftp1->OnRequestDone = {this, &TFormMdi::ResumeDownloadRequestDone};
  BeginBusy();
  StartTransferType();
}

bool TFormMdi::PrepareResumeDownload() {
  String path, reason;
  if (!LocalPathIn(downloadFolder_, ResumeFile, path, reason)) {
    AddLog("Error: Not downloaded: \"" + ResumeFile + "\": " + reason);
    return false;
  }
  Transferring = true;
  ResumeOffset = FileExists(path) ? std::max<int64_t>(FileSizeOf(path), 0) : 0;
  TransferSize = 0;
  sizeKnown_ = false;
  Ftp1->SetHostFileName(ResumeFile);
  Ftp1->SetLocalFileName(path);
  CancelB->OnClick = {this, &TFormMdi::CancelTransfer};
  return true;
}

void TFormMdi::ResumeDownloadSized() {
  if (sizeKnown_ && TransferSize <= ResumeOffset) {
    AddLog("Nothing to resume: the local file holds " + IntToStr(ResumeOffset) + " bytes of " + ResumeFile +
           ", the server " + IntToStr(TransferSize) + " bytes");
    ResumeOffset = 0;
    ClearOperation();
    ResetTransferPanel();
    EndBusy();
    return;
  }
  // Nothing local yet: a plain download.
  if (ResumeOffset == 0) {
    ShowDownloadStart(0);
    Ftp1->GetAsync();
    return;
  }
  Ftp1->SetRestartOffset(ResumeOffset);
  ShowDownloadStart(ResumeOffset);
  Ftp1->RestGetAsync();
}

void TFormMdi::ResumeDownloadRequestDone(TObject*, TFtpRequest request, WORD error) {
  if (error != 0) {
    if (cancelled_ && (request == ftpRestGetAsync || request == ftpSizeAsync || request == ftpTypeSetAsync)) {
      EndCancelledTransfer(false);
      return;
    }
    if (request == ftpSizeAsync && Ftp1->GetConnected()) {
      // A server that refuses SIZE: the listing's size is the total.
      TransferSize = std::max<int64_t>(listingSize_, 0);
      sizeKnown_ = listingSize_ >= 0;
      ResumeDownloadSized();
      return;
    }
    RequestFailed(Ftp1->ErrorMessage());
    return;
  }
  TConnectionHost* host = host_;
  switch (request) {
    case ftpTypeSetAsync:
      if (!PrepareResumeDownload()) {
        ClearOperation();
        EndBusy();
        break;
      }
      Ftp1->SizeAsync();
      break;
    case ftpSizeAsync:
      if (cancelled_) {
        EndCancelledTransfer(false);
        break;
      }
      TransferSize = Ftp1->SizeReply();
      sizeKnown_ = true;
      ResumeDownloadSized();
      break;
    case ftpRestGetAsync:
    case ftpGetAsync:
      Transferring = false;
      if (host) host->LocalFilesChanged();
      if (cancelled_) {
        EndCancelledTransfer(false);
        break;
      }
      ResumeOffset = 0;
      ResumeFile.clear();
      ResetTransferPanel();
      ClearOperation();
      EndBusy();
      break;
    case ftpRqAbort:
      RequestAborted();
      break;
    default:
      break;
  }
}

void TFormMdi::ShowListingWindow() {
  TOwned<TFormDir> window(new TFormDir(Application, host_));
  window->Memo1->Lines()->LoadFromFile(ListingFile);
  window->ShowModal();
}

void TFormMdi::GeneralRequestDone(TObject*, TFtpRequest request, WORD error) {
  if (error != 0) {
    RequestFailed(Ftp1->ErrorMessage());
    return;
  }
  switch (request) {
    case ftpCwdAsync:
    case ftpConnectAsync:
    case ftpRmdAsync:
    case ftpDeleAsync:
    case ftpRenAsync:
    case ftpCDupAsync:
      Ftp1->PwdAsync();
      break;
    case ftpMkdAsync:
      // Into the folder just made.
      Ftp1->SetHostDirName(Ftp1->HostFileName());
      Ftp1->CwdAsync();
      break;
    case ftpDirAsync: {
      // The folder a drop landed on is listed: its files go there.
      bool upload = UploadAfterListing;
      TStringList files;
      files.Assign(DroppedFiles.get());
      ListingEndStep(request);
      if (upload) UploadDroppedFiles(&files);
      break;
    }
    default:
      ListingEndStep(request);
      break;
  }
}

bool TFormMdi::ListingEndStep(TFtpRequest request) {
  switch (request) {
    case ftpPwdAsync:
      RememberCurrentDir();
      Ftp1->DirAsync();
      return true;
    case ftpDirAsync:
      ParseListing();
      ClearOperation();
      EndBusy();
      return true;
    case ftpRqAbort:
      RequestAborted();
      return true;
    default:
      return false;
  }
}

bool TFormMdi::ListAgainAfterFailure() {
  if (queueDone_ == 0 || !Ftp1->GetConnected()) return false;
  // Part of the queue is done: the lists show what the server now holds;
  // the entries after the failing one stay untouched.
  RequestFailed(Ftp1->ErrorMessage());
  BeginBusy();
  Ftp1->OnRequestDone = {this, &TFormMdi::GeneralRequestDone};
  Ftp1->PwdAsync();
  return true;
}

String TFormMdi::RowDir(TListItem* item) {
  if (!item) return String();
  // A link goes to its target (its name when it has none), any other row
  // to its name: a caption may hold " -> " of its own.
  const TDirItemData* data = TDirParser::ItemData(item);
  return !data ? item->Caption() : data->Kind == dekLink && !data->Target.empty() ? data->Target : data->Name;
}

void TFormMdi::RemoteDirsDblClick(TObject*) {
  TListItem* item = RemoteDirs->Selected();
  if (!item) return;
  ChangeDir(RowDir(item));
}

void TFormMdi::DirComboKeyDown(TObject*, WORD& key, TShiftState) {
  if (key != VK_RETURN) return;
  String dir = DirCombo->Text();
  if (!dir.empty()) ChangeDir(dir);
}

void TFormMdi::DirComboClick(TObject*) {
  // The edit still holds the text before the pick.
  int index = DirCombo->ItemIndex();
  if (index < 0 || index >= DirCombo->Items()->Count()) return;
  String dir = DirCombo->Items()->Get(index);
  if (!dir.empty()) ChangeDir(dir);
}

// ---------------------------------------------------------------- files

void TFormMdi::DeleteSelected() {
  if (!CanStartCommand()) return;
  DeleteList->Clear();
  for (TListItem* it = RemoteFiles->GetNextItem(nullptr, sdAll, {isSelected}); it;
       it = RemoteFiles->GetNextItem(it, sdAll, {isSelected}))
    DeleteList->Add(RowName(it));
  // The connection may have changed while the question was open.
  if (!AskYesNo("Are you sure you want to delete the file(s) from the server?", "Delete Files?") ||
      DeleteList->Count() == 0 || !CanStartCommand()) {
    DeleteList->Clear();
    return;
  }
  queueDone_ = 0;
  Ftp1->OnRequestDone = {this, &TFormMdi::DeleteRequestDone};
  BeginBusy();
  PrepareNextDelete();
  Ftp1->DeleAsync();
}

void TFormMdi::PrepareNextDelete() {
  Ftp1->Tag = DeleteList->Count();
  if (DeleteList->Count() == 0) return;
  Transferring = false;
  Ftp1->SetHostFileName(DeleteList->Get(0));
  DeleteList->Delete(0);
}

void TFormMdi::DeleteRequestDone(TObject*, TFtpRequest request, WORD error) {
  if (error != 0) {
    if (request == ftpDeleAsync && ListAgainAfterFailure()) return;
    RequestFailed(Ftp1->ErrorMessage());
    return;
  }
  switch (request) {
    case ftpDeleAsync:
      ++queueDone_;
      Transferring = false;
      PrepareNextDelete();
      if (Ftp1->Tag != 0)
        Ftp1->DeleAsync();
      else
        Ftp1->PwdAsync();
      break;
    case ftpRenAsync:
    case ftpConnectAsync:
      Ftp1->PwdAsync();
      break;
    default:
      ListingEndStep(request);
      break;
  }
}

void TFormMdi::RenameSelectedFile() {
  if (!CanStartCommand()) return;
  if (RemoteFiles->SelCount() != 1) {
    ErrorBox("You must have ONE file selected to rename.", "Rename Error");
    return;
  }
  String old = RowName(RemoteFiles->Selected());
  String name;
  {
    THeldIdleCount held(this);
    name = InputBox("Rename File", "New name for the file \"" + old + "\":", old);
  }
  if (name.empty() || name == old) return;
  if (Listed(name) && !AskYesNo("\"" + name + "\" already exists on the server. Replace it?", "Rename File")) return;
  if (!CanStartCommand()) return;
  Transferring = false;
  BeginBusy();
  Ftp1->OnRequestDone = {this, &TFormMdi::DeleteRequestDone};
  Ftp1->SetHostFileName(old);
  Ftp1->SetLocalFileName(name);
  Ftp1->RenAsync();
}

// ---------------------------------------------------------------- permissions

// The quote box changes nothing on the wire: "QUOTE" is a word of other
// clients' command lines, not of the protocol, so the SITE command goes as
// it is either way.
void TFormMdi::ChmodFiles(const String& mode, bool) {
  if (!CanStartCommand()) return;
  if (RemoteFiles->SelCount() == 0) {
    InfoBox("You didn't select a file to CHMOD!", "CHMOD Error");
    return;
  }
  if (mode.empty()) return;
  ChmodList->Clear();
  for (TListItem* it = RemoteFiles->GetNextItem(nullptr, sdAll, {isSelected}); it;
       it = RemoteFiles->GetNextItem(it, sdAll, {isSelected}))
    ChmodList->Add("SITE CHMOD " + mode + " " + RowName(it));
  queueDone_ = 0;
  Ftp1->OnRequestDone = {this, &TFormMdi::ChmodRequestDone};
  BeginBusy();
  PrepareNextChmod();
  Ftp1->QuoteAsync();
}

void TFormMdi::ChmodDir(const String& mode, bool) {
  if (!CanStartCommand()) return;
  TListItem* item = SelectedDirItem();
  if (!item) {
    InfoBox("You didn't select a directory to CHMOD!", "CHMOD Error");
    return;
  }
  if (mode.empty()) return;
  Ftp1->OnRequestDone = {this, &TFormMdi::ChmodDirRequestDone};
  BeginBusy();
  Ftp1->SetLocalFileName("SITE CHMOD " + mode + " " + RowName(item));
  Ftp1->QuoteAsync();
}

void TFormMdi::PrepareNextChmod() {
  Ftp1->Tag = ChmodList->Count();
  if (ChmodList->Count() == 0) return;
  Transferring = false;
  Ftp1->SetLocalFileName(ChmodList->Get(0));
  ChmodList->Delete(0);
}

void TFormMdi::ChmodRequestDone(TObject*, TFtpRequest request, WORD error) {
  if (error != 0) {
    if (request == ftpQuoteAsync && ListAgainAfterFailure()) return;
    RequestFailed(Ftp1->ErrorMessage());
    return;
  }
  switch (request) {
    case ftpQuoteAsync:
      ++queueDone_;
      Transferring = false;
      PrepareNextChmod();
      if (Ftp1->Tag != 0)
        Ftp1->QuoteAsync();
      else
        Ftp1->PwdAsync();
      break;
    default:
      ListingEndStep(request);
      break;
  }
}

void TFormMdi::ChmodDirRequestDone(TObject* sender, TFtpRequest request, WORD error) {
  if (error == 0 && request == ftpQuoteAsync) {
    Transferring = false;
    Ftp1->PwdAsync();
    return;
  }
  // One command: nothing is half done when it fails.
  queueDone_ = 0;
  ChmodRequestDone(sender, request, error);
}

// ---------------------------------------------------------------- raw commands

bool NeedsDataConnection(const String& line) {
  static const char* const words[] = {"RETR", "STOR", "STOU", "APPE", "LIST", "NLST",
                                      "MLSD", "PASV", "EPSV", "PORT", "EPRT", "REST"};
  String word = UpperCase(FirstWord(line));
  for (const char* w : words)
    if (word == w) return true;
  return false;
}

bool TFormMdi::StartRawCommand() {
  if (!CanStartCommand()) return false;
  BeginBusy();
  ShowListingAfter = RawStorPending = false;
  Ftp1->OnRequestDone = {this, &TFormMdi::RawCommandRequestDone};
  return true;
}

void TFormMdi::SendRawLine(const String& line) {
  if (!StartRawCommand()) return;
  Ftp1->SetLocalFileName(line);
  Ftp1->QuoteAsync();
}

void TFormMdi::SendQuote(const String& line) {
  if (line.empty()) return;
  // The quote request reads one reply: a data command's transfer would be
  // read as the next command's replies.
  if (NeedsDataConnection(line)) {
    InfoBox("The command " + UpperCase(FirstWord(line)) +
                " opens a data connection or sets up the next one, which a quoted command cannot do. Please use "
                "LIST, NLST, STOR or RETR of the Commands menu instead.",
            "Send Quote Command");
    return;
  }
  SendRawLine(line);
}

void TFormMdi::SendCWD(const String& dir) {
  if (dir.empty() || !StartRawCommand()) return;
  Ftp1->SetHostDirName(dir);
  Ftp1->CwdAsync();
}

void TFormMdi::SendCDUP() {
  if (!StartRawCommand()) return;
  Ftp1->SetHostDirName("..");
  Ftp1->CDupAsync();
}

void TFormMdi::SendPWD() {
  if (!StartRawCommand()) return;
  Ftp1->PwdAsync();
}

void TFormMdi::SendHELP(const String& line) {
  if (line.empty()) return;
  SendRawLine(line);
}

void TFormMdi::SendSYST() {
  if (!StartRawCommand()) return;
  Ftp1->SystAsync();
}

void TFormMdi::SendSITE(const String& parameters) {
  if (parameters.empty()) return;
  SendRawLine("SITE " + parameters);
}

void TFormMdi::SendRawListing(bool names) {
  if (!StartRawCommand()) return;
  // Bare, into the listing file: never the file of the last transfer.
  Ftp1->SetHostFileName("");
  Ftp1->SetLocalFileName(ListingFile);
  ShowListingAfter = true;
  if (names)
    Ftp1->LsAsync();
  else
    Ftp1->DirAsync();
}

void TFormMdi::SendLIST() { SendRawListing(false); }

void TFormMdi::SendNLST() { SendRawListing(true); }

String TFormMdi::RawTransferFolder() {
  String folder = host_ ? host_->LocalFolder() : String();
  if (!folder.empty() && DirectoryExists(folder)) return folder;
  InfoBox("Please select a folder on a local drive to transfer with.", "Transfer");
  return String();
}

void TFormMdi::SendSTOR(const String& name) {
  if (name.empty()) return;
  String folder = RawTransferFolder();
  if (folder.empty()) return;
  String path, reason;
  if (!LocalPathIn(folder, name, path, reason)) {
    AddLog("Error: Not uploaded: \"" + name + "\": " + reason);
    return;
  }
  String why = NotUploadable(path);
  if (!why.empty()) {
    AddLog("Error: " + why + ", not uploaded: " + path);
    return;
  }
  if (!StartRawCommand()) return;
  cancelled_ = false;
  ResetTransferPanel();
  Transferring = true;
  int64_t size = FileSizeOf(path);
  if (size > 0) TransferSize = size;
  sizeKnown_ = true;
  Ftp1->SetHostFileName(name);
  Ftp1->SetLocalFileName(path);
  CancelB->OnClick = {this, &TFormMdi::CancelTransfer};
  RawStorPending = true;
  StartTransferType();
}

void TFormMdi::SendRETR(const String& name) {
  if (name.empty()) return;
  String folder = RawTransferFolder();
  if (folder.empty()) return;
  // The remote path's last part names the local file.
  String base = name.substr(name.rfind('/') == String::npos ? 0 : name.rfind('/') + 1);
  String path, reason;
  if (!LocalPathIn(folder, base, path, reason)) {
    AddLog("Error: Not downloaded: \"" + name + "\": " + reason);
    return;
  }
  // A local file of that name is replaced only when the user says so; the
  // connection may have changed while the question was open.
  if (!CanStartCommand()) return;
  replaceAll_ = false;
  if (AskReplaceLocal(path, false) != raReplace || !StartRawCommand()) return;
  cancelled_ = false;
  ResetTransferPanel();
  Transferring = true;
  TransferSize = 0;
  sizeKnown_ = false;
  Ftp1->SetHostFileName(name);
  Ftp1->SetLocalFileName(path);
  CancelB->OnClick = {this, &TFormMdi::CancelTransfer};
  RawStorPending = false;
  StartTransferType();
}

void TFormMdi::SendSIZE(const String& name) {
  if (name.empty()) return;
  SendRawLine("SIZE " + name);
}

void TFormMdi::SendSTAT() { SendRawLine("STAT "); }

void TFormMdi::SendQUIT() {
  if (!StartRawCommand()) return;
  Ftp1->QuitAsync();
}

void TFormMdi::RawCommandRequestDone(TObject*, TFtpRequest request, WORD error) {
  bool transfer = request == ftpTypeSetAsync || request == ftpSizeAsync || request == ftpGetAsync ||
                  request == ftpPutAsync;
  if (error != 0) {
    if (cancelled_ && transfer) {
      bool upload = RawStorPending || request == ftpPutAsync;
      RawStorPending = false;
      EndCancelledTransfer(upload);
      return;
    }
    // Any 2xx reply to CDUP is done: servers answer 200 as well as 250.
    if (request == ftpCDupAsync && Ftp1->ReplyCode() >= 200 && Ftp1->ReplyCode() < 300) {
      Ftp1->PwdAsync();
      return;
    }
    // A server without SIZE: the file comes without a known size.
    if (request == ftpSizeAsync && Ftp1->GetConnected()) {
      TransferSize = 0;
      sizeKnown_ = false;
      ShowDownloadStart(0);
      Ftp1->GetAsync();
      return;
    }
    ShowListingAfter = RawStorPending = false;
    RequestFailed(Ftp1->ErrorMessage());
    return;
  }
  TConnectionHost* host = host_;
  switch (request) {
    case ftpCwdAsync:
    case ftpCDupAsync:
      Ftp1->PwdAsync();
      break;
    case ftpPwdAsync:
      RememberCurrentDir();
      Ftp1->DirAsync();
      break;
    case ftpDirAsync:
      ParseListing();
      ClearOperation();
      EndBusy();
      if (ShowListingAfter) {
        ShowListingAfter = false;
        listingWindowAfterFill_ = true;
      }
      break;
    case ftpLsAsync:
      // The names shown raw; the lists keep what they show.
      ClearOperation();
      EndBusy();
      if (ShowListingAfter) {
        ShowListingAfter = false;
        ShowListingWindow();
      }
      break;
    case ftpTypeSetAsync:
      if (cancelled_) {
        bool upload = RawStorPending;
        RawStorPending = false;
        EndCancelledTransfer(upload);
      } else if (RawStorPending) {
        RawStorPending = false;
        ShowUploadStart(0);
        Ftp1->PutAsync();
      } else {
        Ftp1->SizeAsync();
      }
      break;
    case ftpSizeAsync:
      if (cancelled_) {
        EndCancelledTransfer(false);
        break;
      }
      TransferSize = Ftp1->SizeReply();
      sizeKnown_ = true;
      ShowDownloadStart(0);
      Ftp1->GetAsync();
      break;
    case ftpGetAsync:
      if (host) host->LocalFilesChanged();
      Transferring = false;
      if (cancelled_) {
        EndCancelledTransfer(false);
        break;
      }
      ResetTransferPanel();
      Timer1->SetEnabled(false);
      Timer1->Tag = 1;
      ClearOperation();
      EndBusy();
      break;
    case ftpPutAsync:
      Transferring = false;
      if (cancelled_) {
        EndCancelledTransfer(true);
        break;
      }
      ResetTransferPanel();
      Timer1->SetEnabled(false);
      Timer1->Tag = 1;
      CancelB->OnClick = {this, &TFormMdi::CancelBClick};
      Ftp1->PwdAsync();
      break;
    case ftpRqAbort:
      ShowListingAfter = RawStorPending = false;
      RequestAborted();
      break;
    default:
      // QUOTE, SYST, QUIT: the reply is in the log.
      ClearOperation();
      EndBusy();
      break;
  }
}

// ---------------------------------------------------------------- sorting

void TFormMdi::RemoteFilesColumnClick(TObject*, TListColumn* column) {
  int index = column ? column->Index() : -1;
  if (index != 0 && index != 1) return;
  if (index == SortColumn) {
    RemoteFiles->SetHeaderSortDirection(RemoteFiles->HeaderSortDirection() == ptsdDesc ? ptsdAsc : ptsdDesc);
  } else {
    SortColumn = index;
    RemoteFiles->SetHeaderSortColumn(index);
    RemoteFiles->SetHeaderSortDirection(ptsdDesc);
  }
  RemoteFiles->AlphaSort();
}

void TFormMdi::RemoteDirsColumnClick(TObject*, TListColumn*) {
  RemoteDirs->SetHeaderSortDirection(RemoteDirs->HeaderSortDirection() == ptsdDesc ? ptsdAsc : ptsdDesc);
  RemoteDirs->AlphaSort();
}

void TFormMdi::SetViewStyle(TViewStyle style) {
  RemoteFiles->SetViewStyle(style);
  RemoteDirs->SetViewStyle(style);
}

// ---------------------------------------------------------------- batch

namespace {

// Past this many levels below its start a walk stops.
constexpr int kBatchMaxDepth = 64;

// A remote name the walk may send: no path of its own, no control characters.
bool SendableName(const String& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '/' || static_cast<unsigned char>(c) < 32 || c == '\x7F') return false;
  return true;
}

// A path below dir as PWD joins it: "/a" below "/".
String JoinRemote(const String& dir, const String& name) {
  return !dir.empty() && dir.back() == '/' ? dir + name : dir + "/" + name;
}

String WithoutTrailingSlash(String path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// A Unix row that is neither a file nor a folder: a pipe, a device, a socket.
bool SpecialRow(const TDirRow& row, TDirParserKind kind) {
  if (kind != dpUnix && kind != dpApple) return false;
  return !row.Permissions.empty() && row.Permissions[0] != '-' && row.Permissions[0] != 'd';
}

}  // namespace

void TFormMdi::BatchUpload(const String& localFolder) {
  if (!CanStartCommand()) return;
  String folder = localFolder;
  if (folder.empty() || !DirectoryExists(folder)) {
    InfoBox("Please select a folder on a local drive to upload.", "Batch Upload");
    return;
  }
  if (!AskYesNo("This will upload all files and sub-directories of the folder:\n\n [" + folder +
                    "]\n\nAll files and sub-directories will be created on the server in\nthe current directory. "
                    "This can be a lengthy process.\nDo you want to continue?",
                "Continue?") ||
      !CanStartCommand())
    return;
  AddLog("Initiating batch upload operation");
  BatchDirs->Clear();
  BatchFiles->Clear();
  batch_ = std::make_unique<TBatchRun>();
  batch_->Kind = TBatchRun::bkUpload;
  // A drive root keeps its "\"; its contents, never the folder itself, go
  // into the current remote directory.
  String from = folder;
  if (folder.back() == '\\') {
    BatchBase = folder;
    from.pop_back();
  } else {
    BatchBase = folder + "\\";
  }
  BatchStartDir = CurrentDir;
  CollectLocalTree(from, 0);
  // Every folder before the folders inside it.
  BatchDirs->Sort();
  BatchFiles->Sort();
  batch_->Total = BatchFiles->Count();
  cancelled_ = false;
  BeginBusy();
  CancelB->OnClick = {this, &TFormMdi::BatchCancelClick};
  Ftp1->OnRequestDone = {this, &TFormMdi::BatchUploadRequestDone};
  if (BatchDirs->Count() > 0) {
    PrepareNextBatchDir();
    Ftp1->MkdAsync();
  } else if (BatchFiles->Count() > 0) {
    StartTransferType();
  } else {
    ClearOperation();
    EndBusy();
  }
}

void TFormMdi::CollectLocalTree(const String& folder, int depth) {
  TBatchRun& b = *batch_;
  if (depth > kBatchMaxDepth) {
    AddLog("Skipped (deeper than " + IntToStr(kBatchMaxDepth) + " levels): " + folder);
    ++b.Skipped;
    return;
  }
  WIN32_FIND_DATAW fd;
  std::wstring pattern = StringToWide(folder + "\\*");
  HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) {
      AddLog("Skipped (the folder cannot be read): " + folder);
      ++b.Skipped;
    }
    return;
  }
  do {
    std::wstring wide = fd.cFileName;
    if (wide == L"." || wide == L"..") continue;
    String name;
    if (!TryWideToString(wide.c_str(), -1, name)) {
      AddLog("Skipped (a name the code page cannot hold) in: " + folder);
      ++b.Skipped;
      continue;
    }
    String path = folder + "\\" + name;
    // Links and junctions: their targets may lie anywhere, or be the folder itself.
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      AddLog("Skipped (a link): " + path);
      ++b.Skipped;
      continue;
    }
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CollectLocalTree(path, depth + 1);
      BatchDirs->Add(path);
    } else {
      BatchFiles->Add(path);
    }
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}

String TFormMdi::ToRemotePath(const String& path) const {
  String rest = path.compare(0, BatchBase.size(), BatchBase) == 0 ? path.substr(BatchBase.size()) : path;
  std::replace(rest.begin(), rest.end(), '\\', '/');
  return rest;
}

void TFormMdi::PrepareNextBatchDir() {
  Ftp1->Tag = BatchDirs->Count();
  if (BatchDirs->Count() == 0) return;
  Transferring = false;
  Ftp1->SetHostFileName(ToRemotePath(BatchDirs->Get(0)));
  BatchDirs->Delete(0);
}

bool TFormMdi::PrepareNextBatchFile() {
  TBatchRun& b = *batch_;
  ResetTransferPanel();
  CancelB->OnClick = {this, &TFormMdi::BatchCancelClick};
  while (BatchFiles->Count() > 0) {
    Ftp1->Tag = BatchFiles->Count();
    String path = BatchFiles->Get(0);
    BatchFiles->Delete(0);
    String why = NotUploadable(path);
    if (!why.empty()) {
      AddLog("Skipped (" + why + "): " + path);
      ++b.Skipped;
      continue;
    }
    Transferring = true;
    int64_t size = std::max<int64_t>(FileSizeOf(path), 0);
    if (size != 0) TransferSize = size;
    sizeKnown_ = true;
    Ftp1->SetHostFileName(ToRemotePath(path));
    Ftp1->SetLocalFileName(path);
    return true;
  }
  Ftp1->Tag = 0;
  Timer1->SetEnabled(false);
  return false;
}

void TFormMdi::BatchUploadRequestDone(TObject*, TFtpRequest request, WORD error) {
  if (!batch_) return;
  TBatchRun& b = *batch_;
  int code = Ftp1->ReplyCode();
  bool connected = Ftp1->GetConnected();
  if (error != 0) {
    if (request == ftpPutAsync && cancelled_) {
      b.Incomplete = Ftp1->HostFileName();
      StopBatch("");
      return;
    }
    if (request == ftpMkdAsync && code == 550 && connected) {
      // The folder is there already.
    } else if (request == ftpPutAsync && (code == 550 || code == 553) && connected) {
      AddLog("Skipped (refused by the server): " + Ftp1->LocalFileName());
      ++b.Skipped;
      Transferring = false;
      Timer1->SetEnabled(false);
      if (b.Cancelled) {
        StopBatch("");
      } else if (PrepareNextBatchFile()) {
        ShowUploadStart(0);
        BatchProgress();
        Ftp1->PutAsync();
      } else {
        FinishBatch();
      }
      return;
    } else {
      StopBatch(Ftp1->ErrorMessage());
      return;
    }
  }
  switch (request) {
    case ftpMkdAsync:
      Transferring = false;
      ++b.Folders;
      if (b.Cancelled) {
        StopBatch("");
        break;
      }
      PrepareNextBatchDir();
      if (Ftp1->Tag != 0)
        Ftp1->MkdAsync();
      else
        StartTransferType();
      break;
    case ftpTypeSetAsync:
      if (b.Cancelled) {
        StopBatch("");
      } else if (PrepareNextBatchFile()) {
        ShowUploadStart(0);
        BatchProgress();
        Ftp1->PutAsync();
      } else {
        FinishBatch();
      }
      break;
    case ftpPutAsync:
      Transferring = false;
      ++b.Done;
      Timer1->SetEnabled(false);
      Timer1->Tag = 1;
      if (cancelled_ || b.Cancelled) {
        StopBatch("");
      } else if (PrepareNextBatchFile()) {
        ShowUploadStart(0);
        BatchProgress();
        Ftp1->PutAsync();
      } else {
        FinishBatch();
      }
      break;
    case ftpRqAbort:
      RequestAborted();
      break;
    default:
      break;
  }
}

void TFormMdi::BatchDownload() {
  if (!CanStartCommand()) return;
  TConnectionHost* host = host_;
  String folder = host ? host->LocalFolder() : String();
  if (folder.empty() || !DirectoryExists(folder)) {
    InfoBox("Please select a folder on a local drive to download into.", "Download");
    return;
  }
  if (!AskYesNo("This will download all files and sub-directories and recreate the directory structure\non your "
                "computer. This can be a lengthy process. Do you want to continue?",
                "Continue?") ||
      !CanStartCommand())
    return;
  AddLog("Initiating batch download operation");
  BatchDirs->Clear();
  BatchFiles->Clear();
  BatchBase = BatchStartDir = CurrentDir;
  batch_ = std::make_unique<TBatchRun>();
  batch_->Kind = TBatchRun::bkDownload;
  batch_->Parser = ConnectionParserKind(ServerType);
  batch_->Stack.push_back({CurrentDir, folder, 0});
  replaceAll_ = false;
  cancelled_ = false;
  BeginBusy();
  CancelB->OnClick = {this, &TFormMdi::BatchCancelClick};
  Ftp1->OnRequestDone = {this, &TFormMdi::BatchDownloadRequestDone};
  NextBatchDownloadDir();
}

bool TFormMdi::EnterNextBatchDir() {
  TBatchRun& b = *batch_;
  if (b.Stack.empty()) return false;
  b.Current = b.Stack.back();
  b.Stack.pop_back();
  b.Files.clear();
  b.Written.clear();
  BatchFiles->Clear();
  if (b.Current.Depth > kBatchMaxDepth) {
    StopBatch("The tree goes deeper than " + IntToStr(kBatchMaxDepth) + " levels below " + BatchBase + ": " +
              b.Current.Remote);
    return true;
  }
  if (b.Seen.count(b.Current.Remote) != 0) {
    StopBatch("The directory " + b.Current.Remote + " came twice in the walk");
    return true;
  }
  Ftp1->SetHostDirName(b.Current.Remote);
  Ftp1->CwdAsync();
  return true;
}

void TFormMdi::NextBatchDownloadDir() {
  TBatchRun& b = *batch_;
  if (b.Cancelled) {
    StopBatch("");
    return;
  }
  CancelB->OnClick = {this, &TFormMdi::BatchCancelClick};
  if (!EnterNextBatchDir()) FinishBatch();
}

bool TFormMdi::BatchPwdMatches() {
  TBatchRun& b = *batch_;
  String reported = Ftp1->DirResult();
  if (WithoutTrailingSlash(reported) == WithoutTrailingSlash(b.Current.Remote)) return true;
  StopBatch("After CWD " + b.Current.Remote + " the server reports the directory " + reported +
            ": the walk stops");
  return false;
}

void TFormMdi::CollectRemoteFiles(const TDirRows& rows) {
  TBatchRun& b = *batch_;
  bool download = b.Kind == TBatchRun::bkDownload;
  b.Files.clear();
  BatchFiles->Clear();
  String tooLong;
  // The local path of a name in the current folder; false (logged) when it
  // has none or a name written already differs from it only in case.
  auto localPath = [&](const String& name, const String& remote, String& path) {
    String reason;
    if (!LocalPathIn(b.Current.Local, name, path, reason)) {
      if (reason == "the local path is too long" && tooLong.empty()) tooLong = remote;
      AddLog("Error: Not downloaded: \"" + remote + "\": " + reason);
      ++b.Skipped;
      return false;
    }
    if (!b.Written.insert(AnsiUpperCase(name)).second) {
      AddLog("Skipped (its name differs only in case from one written already): " + remote);
      ++b.Skipped;
      return false;
    }
    return true;
  };
  auto skip = [&](const String& why, const String& remote) {
    AddLog("Skipped (" + why + "): " + remote);
    ++b.Skipped;
  };
  std::vector<TBatchRun::TDir> below;
  for (const TDirRow& r : rows.Directories) {
    if (r.Kind == dekUp) continue;
    String name = r.Name, remote = JoinRemote(b.Current.Remote, name);
    if (!SendableName(name)) {
      skip("a name that cannot be sent", remote);
      continue;
    }
    if (r.Kind == dekLink) {
      // Never entered: a delete takes the link itself away.
      if (download)
        skip("a link", remote);
      else
        b.Files.push_back(r);
      continue;
    }
    String path;
    if (download && !localPath(name, remote, path)) continue;
    below.push_back({remote, path, b.Current.Depth + 1});
  }
  for (const TDirRow& r : rows.Files) {
    String name = r.Name, remote = JoinRemote(b.Current.Remote, name);
    if (!SendableName(name)) {
      skip("a name that cannot be sent", remote);
      continue;
    }
    if (download) {
      if (SpecialRow(r, b.Parser)) {
        skip("not a plain file", remote);
        continue;
      }
      String path;
      if (!localPath(name, remote, path)) continue;
    }
    b.Files.push_back(r);
  }
  if (!tooLong.empty()) {
    StopBatch("The local path for " + tooLong + " is too long");
    return;
  }
  for (const TDirRow& r : b.Files) BatchFiles->Add(r.Name);
  // The first listed is the first entered.
  for (auto it = below.rbegin(); it != below.rend(); ++it) b.Stack.push_back(*it);
  if (download) {
    if (b.Files.empty())
      NextBatchDownloadDir();
    else
      StartTransferType();
  } else if (PrepareNextBatchDelete()) {
    Ftp1->DeleAsync();
  } else {
    NextBatchDeleteDir();
  }
}

bool TFormMdi::PrepareNextBatchDownload() {
  TBatchRun& b = *batch_;
  CancelB->OnClick = {this, &TFormMdi::BatchCancelClick};
  while (!b.Files.empty()) {
    Ftp1->Tag = static_cast<int>(b.Files.size());
    TDirRow row = b.Files.front();
    b.Files.pop_front();
    if (BatchFiles->Count() > 0) BatchFiles->Delete(0);
    String name = row.Name, path, reason;
    if (!LocalPathIn(b.Current.Local, name, path, reason)) continue;
    if (DirectoryExists(path)) {
      AddLog("Skipped (a local folder has its name): " + path);
      ++b.Skipped;
      continue;
    }
    if (FileExists(path)) {
      TReplaceAnswer answer = AskReplaceLocal(path, true);
      if (!batch_) return false;
      if (answer == raCancel) {
        StopBatch("");
        return false;
      }
      if (answer == raSkip) {
        ++b.Skipped;
        continue;
      }
    }
    listingSize_ = IsDecimal(row.Size) ? StrToInt64Def(row.Size, -1) : -1;
    Transferring = true;
    TransferSize = 0;
    sizeKnown_ = false;
    Ftp1->SetHostFileName(name);
    Ftp1->SetLocalFileName(path);
    return true;
  }
  Ftp1->Tag = 0;
  Timer1->SetEnabled(false);
  return false;
}

void TFormMdi::BatchDownloadRequestDone(TObject*, TFtpRequest request, WORD error) {
  if (!batch_) return;
  TBatchRun& b = *batch_;
  if (error != 0) {
    if (request == ftpGetAsync && FileExists(Ftp1->LocalFileName())) b.Incomplete = Ftp1->LocalFileName();
    if (cancelled_ && (request == ftpGetAsync || request == ftpSizeAsync || request == ftpTypeSetAsync)) {
      StopBatch("");
      return;
    }
    if (request == ftpSizeAsync && Ftp1->GetConnected()) {
      // A server that refuses SIZE: the listing's size, or none.
      TransferSize = std::max<int64_t>(listingSize_, 0);
      sizeKnown_ = listingSize_ >= 0;
      ShowDownloadStart(0);
      BatchProgress();
      Ftp1->GetAsync();
      return;
    }
    StopBatch(Ftp1->ErrorMessage());
    return;
  }
  switch (request) {
    case ftpCwdAsync:
      Ftp1->PwdAsync();
      break;
    case ftpPwdAsync: {
      if (!BatchPwdMatches()) break;
      RememberCurrentDir();
      b.Seen.insert(b.Current.Remote);
      b.Visited.push_back(b.Current.Remote);
      BatchDirs->Add(b.Current.Remote);
      if (b.Current.Depth > 0 && !CreateDirectoryA(b.Current.Local.c_str(), nullptr) &&
          !DirectoryExists(b.Current.Local)) {
        AddLog("Skipped with everything in it (the local folder cannot be made): " + b.Current.Local);
        ++b.Skipped;
        NextBatchDownloadDir();
        break;
      }
      if (b.Current.Depth > 0) ++b.Folders;
      Ftp1->DirAsync();
      break;
    }
    case ftpDirAsync:
      b.WaitingRows = true;
      ParseListing();
      break;
    case ftpTypeSetAsync:
    case ftpGetAsync:
      if (request == ftpGetAsync) {
        Transferring = false;
        ++b.Done;
        ResetTransferPanel();
        Timer1->SetEnabled(false);
        Timer1->Tag = 1;
      }
      if (cancelled_ || b.Cancelled) {
        StopBatch("");
      } else if (PrepareNextBatchDownload()) {
        ShowDownloadStart(0);
        BatchProgress();
        Ftp1->SizeAsync();
      } else if (batch_ && !batch_->Ending) {
        NextBatchDownloadDir();
      }
      break;
    case ftpSizeAsync:
      if (cancelled_ || b.Cancelled) {
        StopBatch("");
        break;
      }
      TransferSize = Ftp1->SizeReply();
      sizeKnown_ = true;
      ShowDownloadStart(0);
      BatchProgress();
      Ftp1->GetAsync();
      break;
    case ftpRqAbort:
      RequestAborted();
      break;
    default:
      break;
  }
}

void TFormMdi::BatchDelete() {
  if (!CanStartCommand()) return;
  TListItem* item = RemoteDirs->Selected();
  if (!item) return;
  const TDirItemData* data = TDirParser::ItemData(item);
  bool up = data ? data->Kind == dekUp : item->Caption() == "..";
  bool link = data && data->Kind == dekLink;
  String name = RowName(item);
  if (!AskYesNo("Are you sure you want to delete all files and sub-directories from the server?", "Continue?")) return;
  if (up) {
    InfoBox("You can not delete the up directory symbol!", "Come on now...");
    return;
  }
  if (!CanStartCommand()) return;
  if (!SendableName(name)) {
    AddLog("Error: Not deleted: \"" + name + "\": the name cannot be sent");
    return;
  }
  String target = JoinRemote(CurrentDir, name);
  AddLog("Initiating batch delete operation");
  BatchDirs->Clear();
  BatchFiles->Clear();
  BatchBase = target;
  BatchStartDir = CurrentDir;
  batch_ = std::make_unique<TBatchRun>();
  batch_->Kind = TBatchRun::bkDelete;
  batch_->Parser = ConnectionParserKind(ServerType);
  cancelled_ = false;
  BeginBusy();
  CancelB->OnClick = {this, &TFormMdi::BatchCancelClick};
  Ftp1->OnRequestDone = {this, &TFormMdi::BatchDeleteRequestDone};
  if (link) {
    // A link goes itself; what it points to stays.
    batch_->LinkOnly = true;
    Ftp1->SetHostFileName(name);
    Ftp1->DeleAsync();
    return;
  }
  batch_->Stack.push_back({target, String(), 0});
  NextBatchDeleteDir();
}

bool TFormMdi::PrepareNextBatchDelete() {
  TBatchRun& b = *batch_;
  CancelB->OnClick = {this, &TFormMdi::BatchCancelClick};
  Ftp1->Tag = static_cast<int>(b.Files.size());
  if (b.Files.empty()) return false;
  Transferring = false;
  String name = b.Files.front().Name;
  b.Files.pop_front();
  if (BatchFiles->Count() > 0) BatchFiles->Delete(0);
  Ftp1->SetHostFileName(name);
  TransferFile->SetCaption("Deleting: " + JoinRemote(b.Current.Remote, name));
  BatchProgress();
  return true;
}

bool TFormMdi::PrepareNextRemoveDir() {
  TBatchRun& b = *batch_;
  String base = BatchBase + "/";
  while (!b.Remove.empty()) {
    Ftp1->Tag = static_cast<int>(b.Remove.size());
    String path = b.Remove.back();
    b.Remove.pop_back();
    // Only the tree chosen, whatever the walk met.
    if (path != BatchBase && path.compare(0, base.size(), base) != 0) continue;
    Transferring = false;
    Ftp1->SetHostFileName(path);
    TransferFile->SetCaption("Deleting: " + path);
    BatchProgress();
    return true;
  }
  Ftp1->Tag = 0;
  return false;
}

void TFormMdi::NextBatchDeleteDir() {
  TBatchRun& b = *batch_;
  if (b.Cancelled) {
    StopBatch("");
    return;
  }
  if (EnterNextBatchDir()) return;
  // Out of the tree, then its directories, the last visited first.
  b.Removing = true;
  b.Remove = b.Visited;
  Ftp1->SetHostDirName(BatchStartDir);
  Ftp1->CwdAsync();
}

void TFormMdi::BatchDeleteRequestDone(TObject*, TFtpRequest request, WORD error) {
  if (!batch_) return;
  TBatchRun& b = *batch_;
  if (error != 0) {
    StopBatch(Ftp1->ErrorMessage());
    return;
  }
  switch (request) {
    case ftpCwdAsync:
      if (!b.Removing) {
        Ftp1->PwdAsync();
      } else if (PrepareNextRemoveDir()) {
        Ftp1->RmdAsync();
      } else {
        AddLog("Completed batch delete operation");
        FinishBatch();
      }
      break;
    case ftpPwdAsync:
      if (!BatchPwdMatches()) break;
      RememberCurrentDir();
      b.Seen.insert(b.Current.Remote);
      b.Visited.push_back(b.Current.Remote);
      BatchDirs->Add(b.Current.Remote);
      Ftp1->DirAsync();
      break;
    case ftpDirAsync:
      b.WaitingRows = true;
      ParseListing();
      break;
    case ftpDeleAsync:
      Transferring = false;
      ++b.Done;
      if (b.LinkOnly) {
        AddLog("Completed batch delete operation");
        FinishBatch();
      } else if (b.Cancelled) {
        StopBatch("");
      } else if (PrepareNextBatchDelete()) {
        Ftp1->DeleAsync();
      } else {
        NextBatchDeleteDir();
      }
      break;
    case ftpRmdAsync:
      Transferring = false;
      ++b.Folders;
      if (b.Cancelled) {
        StopBatch("");
      } else if (PrepareNextRemoveDir()) {
        Ftp1->RmdAsync();
      } else {
        AddLog("Completed batch delete operation");
        FinishBatch();
      }
      break;
    case ftpRqAbort:
      RequestAborted();
      break;
    default:
      break;
  }
}

void TFormMdi::BatchProgress() {
  if (!batch_) return;
  TBatchRun& b = *batch_;
  switch (b.Kind) {
    case TBatchRun::bkUpload:
      AsFile->SetCaption(AsFile->Caption() + "   (file " + IntToStr(b.Done + b.Skipped + 1) + " of " +
                         IntToStr(b.Total) + ")");
      break;
    case TBatchRun::bkDownload:
      AsFile->SetCaption(AsFile->Caption() + "   (" + IntToStr(b.Done) + " files, " + IntToStr(b.Folders) +
                         " folders so far)");
      break;
    case TBatchRun::bkDelete:
      AsFile->SetCaption("Files removed: " + IntToStr(b.Done));
      break;
  }
}

void TFormMdi::BatchCancelClick(TObject* sender) {
  if (!batch_) {
    CancelBClick(sender);
    return;
  }
  // The batch stops once the command now running is answered.
  batch_->Cancelled = true;
  if (Transferring) {
    CancelTransfer(sender);
    return;
  }
  SizeSpeed->SetCaption("Cancelling...");
}

void TFormMdi::StopBatch(const String& error) {
  TBatchRun& b = *batch_;
  if (b.Ending) return;
  b.Ending = true;
  b.Stopped = error.empty() ? String("cancelled") : error;
  if (!error.empty()) AddLog("Error: " + error);
  String what;
  switch (b.Kind) {
    case TBatchRun::bkUpload:
      what = "Batch upload " + String(error.empty() ? "cancelled" : "stopped") + ": " + IntToStr(b.Done) + " of " +
             IntToStr(b.Total) + " files uploaded, " + IntToStr(b.Skipped) + " skipped";
      break;
    case TBatchRun::bkDownload:
      what = "Batch download " + String(error.empty() ? "cancelled" : "stopped") + ": " + IntToStr(b.Done) +
             " files in " + IntToStr(b.Folders) + " folders downloaded, " + IntToStr(b.Skipped) + " skipped";
      break;
    case TBatchRun::bkDelete:
      what = "Batch delete " + String(error.empty() ? "cancelled" : "stopped") + ": " + IntToStr(b.Done) +
             " files deleted, " + IntToStr(b.Folders) + " directories removed";
      break;
  }
  AddLog(what);
  if (!b.Incomplete.empty()) AddLog("Incomplete file: " + b.Incomplete);
  if (!Ftp1->GetConnected()) {
    String message = Ftp1->ErrorMessage();
    RequestFailed(message.empty() ? String("Disconnected") : message);
    if (TConnectionHost* host = host_) host->LocalFilesChanged();
    return;
  }
  b.Ending = false;
  FinishBatch();
}

void TFormMdi::FinishBatch() {
  TBatchRun& b = *batch_;
  b.Ending = true;
  Transferring = false;
  Timer1->SetEnabled(false);
  CancelB->OnClick = {this, &TFormMdi::CancelBClick};
  Ftp1->OnRequestDone = {this, &TFormMdi::BatchEndRequestDone};
  // An upload never left the start; a delete is back there for its removals.
  if (b.Kind == TBatchRun::bkUpload || b.Removing || b.LinkOnly) {
    Ftp1->PwdAsync();
    return;
  }
  Ftp1->SetHostDirName(BatchStartDir);
  Ftp1->CwdAsync();
}

void TFormMdi::BatchEndRequestDone(TObject*, TFtpRequest request, WORD error) {
  if (error != 0) {
    RequestFailed(Ftp1->ErrorMessage());
    return;
  }
  switch (request) {
    case ftpCwdAsync:
      Ftp1->PwdAsync();
      break;
    case ftpPwdAsync:
      RememberCurrentDir();
      Ftp1->DirAsync();
      break;
    case ftpDirAsync: {
      ParseListing();
      std::unique_ptr<TBatchRun> run = std::move(batch_);
      TConnectionHost* host = host_;
      bool done = run && run->Stopped.empty();
      if (done && run->Kind == TBatchRun::bkUpload)
        AddLog("Completed batch upload operation" +
               (run->Skipped > 0 ? " (" + IntToStr(run->Skipped) + " files skipped)" : String()));
      if (done && run->Kind == TBatchRun::bkDownload) AddLog("Completed batch download operation");
      ClearOperation();
      ResetTransferPanel();
      EndBusy();
      if (run && run->Kind == TBatchRun::bkDownload && host) host->LocalFilesChanged();
      if (done && run->Kind == TBatchRun::bkUpload && run->Skipped > 0)
        InfoBox(IntToStr(run->Skipped) + " file(s) or folder(s) were not uploaded. The log names each of them.",
                "Batch Upload");
      break;
    }
    case ftpRqAbort:
      RequestAborted();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- drops

void TFormMdi::BindDrops() {
  RemoteFiles->OnDragOver = {this, &TFormMdi::RemoteFilesDragOver};
  RemoteFiles->OnDragDrop = {this, &TFormMdi::RemoteFilesDragDrop};
  RemoteDirs->OnDragOver = {this, &TFormMdi::RemoteDirsDragOver};
  RemoteDirs->OnDragDrop = {this, &TFormMdi::RemoteDirsDragDrop};
}

TRemoteList TFormMdi::RemoteListOf(TObject* object) {
  if (!object) return TRemoteList::None;
  if (object == RemoteFiles) return TRemoteList::Files;
  if (object == RemoteDirs) return TRemoteList::Dirs;
  return TRemoteList::None;
}

void TFormMdi::RemoteFilesDragOver(TObject*, TObject* source, int, int, TDragState, bool& accept) {
  TLocalDrag drag = host_ ? host_->LocalDrag(source) : TLocalDrag();
  // A tree node outside the file system is no folder to upload.
  accept = drag.Kind == TLocalDrag::Files || (drag.Kind == TLocalDrag::Folder && !drag.FolderPath.empty());
}

void TFormMdi::RemoteFilesDragDrop(TObject*, TObject* source, int, int) {
  TLocalDrag drag = host_ ? host_->LocalDrag(source) : TLocalDrag();
  if (drag.Kind == TLocalDrag::Files) {
    TStringList files;
    for (const String& p : drag.Paths) files.Add(p);
    UploadDroppedFiles(&files);
  } else if (drag.Kind == TLocalDrag::Folder) {
    BatchUploadDropped(drag.FolderPath);
  }
}

void TFormMdi::UploadDroppedFiles(const TStrings* files) {
  // A running operation keeps its queue.
  if (!CanStartCommand()) return;
  UploadList->Clear();
  if (files) UploadList->AddStrings(files);
  UploadFiles();
}

void TFormMdi::BatchUploadDropped(const String& folder) {
  if (!folder.empty()) BatchUpload(folder);
}

void TFormMdi::MarkDropRow(TListItem* row) {
  for (TListItem* it = RemoteDirs->GetNextItem(nullptr, sdAll, {isDropHilited}); it;
       it = RemoteDirs->GetNextItem(it, sdAll, {isDropHilited}))
    if (it != row) it->SetDropTarget(false);
  // The rows' paint stages only while a drag is over the list.
  if (row)
    RemoteDirs->OnPTCustomDrawEx = {this, &TFormMdi::RemoteDirsDrawDropRow};
  else
    RemoteDirs->OnPTCustomDrawEx = nullptr;
  if (row && !row->DropTarget()) row->SetDropTarget(true);
}

void TFormMdi::RemoteDirsDrawDropRow(TObject*, TPTCustomDraw* cd, TListItem* item) {
  if (!item || !item->DropTarget()) return;
  cd->Brush()->SetColor(clHighlight);
  cd->Font()->SetColor(clHighlightText);
}

void TFormMdi::RemoteDirsDragOver(TObject*, TObject* source, int x, int y, TDragState state, bool& accept) {
  TListItem* row = state == dsDragLeave ? nullptr : RemoteDirs->GetItemAt(x, y);
  accept = row && host_ && host_->LocalDrag(source).Kind == TLocalDrag::Files;
  MarkDropRow(accept ? row : nullptr);
}

void TFormMdi::RemoteDirsDragDrop(TObject*, TObject* source, int x, int y) {
  MarkDropRow(nullptr);
  TListItem* row = RemoteDirs->GetItemAt(x, y);
  if (!row || !host_) return;
  TLocalDrag drag = host_->LocalDrag(source);
  if (drag.Kind != TLocalDrag::Files) return;
  String dir = RowDir(row);
  if (!StartChangeDir(dir)) return;
  // Set once the CWD is on its way; every end clears both.
  DroppedFiles->Clear();
  for (const String& p : drag.Paths) DroppedFiles->Add(p);
  UploadAfterListing = true;
}
