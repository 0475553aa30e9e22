// The connection window: one child of the main window's work area per
// connection to an FTP server. It owns the FTP client Ftp1, loads the
// profile and the settings into it, logs in, keeps the log of the control
// connection, shows the remote directory and file lists, and runs the
// operations the main window routes to it. Every operation follows one
// pattern: CanStartCommand, BeginBusy, Ftp1's request-done event set to the
// operation's continuation, one request at a time, and an end in EndBusy
// (or RequestFailed / RequestAborted).
//
// Listings are parsed away from the window's thread and the lists filled in
// slices between messages, so that a folder of many entries never stops
// the program from answering.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <thread>

#include "application/connections/Parser2.h"
#include "application/frame/Connectionhost.h"
#include "classlib/Buttons.h"
#include "classlib/Comctrls.h"
#include "classlib/Extctrls.h"
#include "classlib/Inifiles.h"
#include "classlib/Menus.h"
#include "classlib/Stdctrls.h"
#include "protocols/Ftpcli.h"
#include "shellctl/Upttreelist.h"

// ---------------------------------------------------------------- texts

// A command the log and the status bar must not show: one that holds
// "PASS", or whose first word is PASS or ACCT in any case.
bool HidesPassword(const String& command);
// The log line of a display message of the FTP client: a sent command
// ("> USER x" gives "-->  USER x", a password "--> PASS (Password hidden)");
// "" for every other message.
String CommandLogLine(const String& display);
// Status panel 1 while a command runs.
String CommandStatusText(const String& command);

// The transfer panel for done of total bytes (total unknown: knownTotal
// false) tenths of a second after the file started.
struct TProgressTexts {
  String SizeSpeed, Timer, Percent;
  int Position = 0;       // of the bar, 0..1000
  bool Complete = false;  // the transfer is over: the panel stops
};
TProgressTexts ProgressTexts(int64_t done, int64_t total, bool knownTotal, int64_t tenths);
// Kilobits per second of a rate in bytes per second, two decimals with the
// locale's separators: 123456 gives "987.65".
String KilobitsText(int64_t bytesPerSecond);

// Why a remote name cannot become a local file name ("" when it can): a
// character Windows refuses in names, a control character, "." or "..", a
// device name, a name ending in a dot or blank.
String UnsafeLocalNameReason(const String& name);
// The local path of name in folder; false (with the reason) when the name
// is unsafe or the path would not lie directly inside the folder.
bool LocalPathIn(const String& folder, const String& name, String& path, String& reason);
// The path with the folders after its drive replaced by "..." one by one
// from the left, then the drive dropped, until width(result) <= maxWidth.
String ShortenPath(const String& path, int maxWidth, const std::function<int(const String&)>& width);
// A new empty file with the prefix "lst" in folder, or in the temp folder
// when folder takes none; "" when neither does.
String MakeListingFileIn(const String& folder);
// The order of the remote names: ASCII letters folded, byte by byte, a
// prefix first.
int CompareRemoteNames(const String& a, const String& b);

// The command line names a command that opens a data connection or sets
// up the next one (RETR, STOR, STOU, APPE, LIST, NLST, MLSD, PASV, EPSV,
// PORT, EPRT, REST; the first word, in any case): no typed line may send it.
bool NeedsDataConnection(const String& line);

// What a tick of the idle timer does, with the idle count after the tick:
// the client ready (idle) or running a request, the settings TimeOutDisable,
// KeepAlive and Noop (below 1: 120), and the client's time-out in seconds.
enum TIdleTick { itNothing, itNoop, itReset, itTimeOut };
TIdleTick IdleTick(bool ready, bool timeOutDisabled, bool keepAlive, int idle, int noop, int timeout);
// The keep-alive interval of the setting Noop: below 1 counts as 120.
int NoopSeconds(int setting);

// ---------------------------------------------------------------- window

class TFormMdi : public TForm, public TConnectionWindow {
 public:
  // host: what the window asks of the window that holds it (nullptr: none;
  // then there is no profile file and the popup menus stay empty).
  TFormMdi(TComponent* owner, TConnectionHost* host);
  ~TFormMdi() override;
  // The main window's factory of connection windows.
  static TConnectionWindow* Create(TComponent* owner, TConnectionHost* host);
  TConnectionHost* Host() const { return host_; }

  TFtpClient* Ftp1;
  TTimer* Timer1;   // progress, 100 ms; Tag: tenths since the file started
  TTimer* TimeOut;  // idle time-out and keep-alive, 1 s; Tag: idle seconds
  TPanel* PProgress;
  TLabel* TransferFile;
  TLabel* AsFile;
  TPanel* Panel1;
  TLabel* SizeSpeed;
  TLabel* Timer;
  TLabel* Percent;
  TProgressBar* Prog1;
  TComboBox* ComboMode;
  TSpeedButton* CancelB;
  TSpeedButton* CloseB;
  TPanel* PInfoMain;
  TMemo* MemoInfo;
  TSplitter* SplitBot;
  TPanel* PListing;
  TPanel* PDirCombo;
  TComboBox* DirCombo;
  TSpeedButton* ReconB;
  TPanel* PRemTree;
  TPTListView* RemoteDirs;
  TSplitter* SplitRem;
  TPanel* PRemList;
  TPTListView* RemoteFiles;
  TPopupMenu* PopupMenu1;  // directory list
  TPopupMenu* PopupMenu2;  // file list
  TPopupMenu* PopupMenu3;  // log

  // The section of accounts.dat this window connects with.
  String ProfileName;
  // The profile file: the host's.
  String ProfilesPath;
  TOwned<TMemIniFile> ProfileIni;
  String StartDir;
  int ServerType = 0;
  String ListingFile;
  TOwned<TStringList> ListingLines;
  String CurrentDir;
  TOwned<TStringList> LogLines;
  TOwned<TStringList> UploadList;
  TOwned<TStringList> DownloadList;
  TOwned<TStringList> DeleteList;
  // The SITE CHMOD command lines still to send.
  TOwned<TStringList> ChmodList;
  TOwned<TStringList> BatchDirs;
  TOwned<TStringList> BatchFiles;
  String BatchBase, BatchStartDir;
  String ResumeFile;
  int64_t ResumeOffset = 0;
  int64_t TransferSize = 0;
  int64_t TransferDone = 0;
  bool Transferring = false;
  bool CancelRequested = false;
  int SortColumn = 0;
  int NoopInterval = 0;
  bool TimeOutDisabled = false;
  bool KeepAliveOn = false;
  bool ConnectionLost = false;
  bool UploadAfterListing = false;
  bool ShowListingAfter = false;
  bool RawStorPending = false;

  // ---- the main window's view of it
  TCustomForm* Window() override { return this; }
  bool Connected() override;
  int SelectedDirCount() override;
  int SelectedFileCount() override;
  void SetProfileName(const String& name) override { ProfileName = name; }
  void Connect() override;
  void DownloadSelected() override;
  // UploadList := paths, then UploadFiles.
  void UploadFiles(const TStrings* paths) override;
  String CurrentDirectory() override { return CurrentDir; }
  String SelectedDirName() override;
  String SelectedDirPermissions() override;
  String SelectedFilePermissions() override;
  void ChangeDir(const String& dir) override;
  void MakeDir(const String& name) override;
  void RenameDir(const String& newName) override;
  void RemoveDir(const String& name) override;
  void DeleteSelected() override;
  void RenameSelectedFile() override;
  void RefreshRemote() override;
  void ShowDirInfo() override;
  // ResumeFile := localPath, then ResumeUpload.
  void ResumeUpload(const String& localPath) override;
  void ResumeUpload();
  void ResumeDownload() override;
  // Each asks first; the walk of a download or delete goes by absolute
  // paths that PWD must confirm, and each ends back in the directory it
  // started in, with its listing.
  void BatchUpload(const String& localFolder) override;
  void BatchDownload() override;
  void BatchDelete() override;
  // A batch runs (from its start to the end of its last listing).
  bool BatchRunning() const { return batch_ != nullptr; }
  void ChmodFiles(const String& mode, bool asQuote) override;
  void ChmodDir(const String& mode, bool asQuote) override;
  void SetViewStyle(TViewStyle style) override;
  const TStrings* LogLineList() override { return LogLines.get(); }
  // ---- raw commands
  void SendQuote(const String& line) override;
  void SendCWD(const String& dir) override;
  void SendCDUP() override;
  void SendPWD() override;
  void SendHELP(const String& line) override;
  void SendSYST() override;
  void SendSITE(const String& parameters) override;
  void SendLIST() override;
  void SendNLST() override;
  void SendSTOR(const String& name) override;
  void SendRETR(const String& name) override;
  void SendSIZE(const String& name) override;
  void SendSTAT() override;
  void SendQUIT() override;
  void HoldIdleCount(bool hold) override;
  // A question or input box for the window is open.
  bool IdleCountHeld() const { return held_ > 0; }

  // ---- operations
  void LoadProfile(const String& name);
  bool CanStartCommand();
  void BeginBusy();
  void EndBusy();
  // An operation or the login runs (from BeginBusy to EndBusy).
  bool Busy() const { return busy_; }
  // Appends to LogLines at once, to MemoInfo when the window next handles
  // its messages.
  void AddLog(const String& text);
  void FlushLog();
  void SetStatus(int panel, const String& text);
  void ResetTransferPanel();
  void ClearRemoteLists();
  String MakeListingFileName();
  // Starts the listing of ListingFile into both lists; the lists fill
  // between messages (ListingPending until they are full).
  void ParseListing();
  bool ListingPending() const { return job_ != nullptr || fill_ != nullptr; }
  // Shows ListingFile's text in the directory information window, modally.
  void ShowListingWindow();
  void RememberCurrentDir();
  void RequestFailed(const String& message);
  void RequestAborted();
  void ConnectFailed(const String& message);
  bool AskRelogin();
  void LogWinsockInfo();
  void UploadFiles();
  void PrepareNextUpload();
  void PrepareNextDownload();
  void PrepareResumeUpload();
  // False when the remote name gives no local path (logged).
  bool PrepareResumeDownload();
  // The remote size is known (or not): resumes, or tells there is nothing
  // to resume.
  void ResumeDownloadSized();
  // A resume is asked for in ASCII mode: refused with a box.
  bool RefuseAsciiResume();
  void PrepareNextDelete();
  void PrepareNextChmod();
  // Sends NOOP (when send is set and the keep-alive is on); the idle count
  // starts again in every case.
  void SendKeepAlive(bool send);
  void ShowUploadStart(int64_t position);
  void ShowDownloadStart(int64_t position);
  void ShowTransferProgress();
  void CancelTransfer(TObject* sender);
  // The size of the current file is known (SIZE, the file itself, or the
  // listing's row).
  bool TransferSizeKnown() const { return sizeKnown_; }

  // ---- continuations and handlers
  void Ftp1RequestDone(TObject* sender, TFtpRequest request, WORD error);
  void UploadRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void DownloadRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void GeneralRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void DirInfoRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void ResumeUploadRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void ResumeDownloadRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void DeleteRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void ChmodRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void ChmodDirRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void NoopRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void RawCommandRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void BatchUploadRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void BatchDownloadRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void BatchDeleteRequestDone(TObject* sender, TFtpRequest request, WORD error);
  // The last steps of every batch: back to the start, its listing, the end line.
  void BatchEndRequestDone(TObject* sender, TFtpRequest request, WORD error);
  void BatchCancelClick(TObject* sender);
  void Ftp1Display(TObject* sender, String& message);
  void Ftp1Command(TObject* sender, String& command);
  void Ftp1Response(TObject* sender);
  void Ftp1Progress(TObject* sender, int64_t count, bool& abort);
  void Ftp1SessionConnected(TObject* sender, WORD error);
  void Ftp1SessionClosed(TObject* sender, WORD error);
  void Ftp1StateChange(TObject* sender);
  void Ftp1ReadyToTransmit(TObject* sender, bool& cancel);
  void Ftp1BgException(TObject* sender, Exception& e, bool& canClose);
  void Timer1Timer(TObject* sender);
  void TimeOutTimer(TObject* sender);
  void CancelBClick(TObject* sender);
  void CloseBClick(TObject* sender);
  void ReconBClick(TObject* sender);
  void RemoteDirsClick(TObject* sender);
  void RemoteFilesClick(TObject* sender);
  void ListSelectItem(TObject* sender, TListItem* item, bool selected);
  void RemoteDirsDblClick(TObject* sender);
  void DirComboKeyDown(TObject* sender, WORD& key, TShiftState shift);
  void DirComboClick(TObject* sender);
  void RemoteFilesColumnClick(TObject* sender, TListColumn* column);
  void RemoteDirsColumnClick(TObject* sender, TListColumn* column);
  void RemoteFilesCompare(TObject* sender, TListItem* item1, TListItem* item2, LPARAM data, int& compare);
  void RemoteDirsCompare(TObject* sender, TListItem* item1, TListItem* item2, LPARAM data, int& compare);
  void FormShow(TObject* sender);
  void FormActivate(TObject* sender);
  void FormCloseQuery(TObject* sender, bool& canClose);
  void FormClose(TObject* sender, TCloseAction& action);

  // ---- drops from the main window's local pane
  TRemoteList RemoteListOf(TObject* object) override;
  // The files of a drop on a folder row, copied at the drop: uploaded once
  // that folder is listed (UploadAfterListing).
  TOwned<TStringList> DroppedFiles;
  // UploadList := files (the old content always replaced), then as
  // UploadFiles. Nothing changes when no command can start.
  void UploadDroppedFiles(const TStrings* files);
  // BatchUpload of the folder dragged from the local tree.
  void BatchUploadDropped(const String& folder);
  void RemoteFilesDragOver(TObject* sender, TObject* source, int x, int y, TDragState state, bool& accept);
  void RemoteFilesDragDrop(TObject* sender, TObject* source, int x, int y);
  // Only the row under the pointer takes a drop, marked as the drop target.
  void RemoteDirsDragOver(TObject* sender, TObject* source, int x, int y, TDragState state, bool& accept);
  void RemoteDirsDragDrop(TObject* sender, TObject* source, int x, int y);

 protected:
  void Dispatch(TMessage& msg) override;

 private:
  struct TListingJob;
  struct TListingFill;

  void BuildForm();
  void BuildMenus();
  TLabel* PanelLabel(TWinControl* parent, const char* name, int left, int top, int width);
  // The window's part of every end: the panel, the cancel button and the
  // queues go back to rest.
  void ClearOperation();
  // A local failure (the component's own 426 texts) is told apart from a
  // server's reply by the last reply line received.
  bool ServerSaid426() const;
  // Stops the fill of the lists and the parse behind it.
  void StopListing();
  void EndFillUpdate();
  void ListingParsed(WPARAM generation);
  void FillSlice(WPARAM generation);
  // The shortened local path for the panel.
  String PanelPath(const String& path);
  // Ends a cancelled transfer's chain: nothing more starts; an upload still
  // reads the directory again.
  void EndCancelledTransfer(bool upload);
  void StartTransferType();
  // The window's boxes: the idle count stands still while one is open.
  void InfoBox(const String& text, const String& caption);
  void ErrorBox(const String& text, const String& caption);
  bool AskYesNo(const String& text, const String& caption);
  // Before a download writes the local file at path: asks when it exists,
  // unless this operation's "Yes to all" was given (replaceAll_, reset as
  // each operation starts). Several: the operation has more files, so the
  // question offers "Yes to all". No logs the skip.
  enum TReplaceAnswer { raReplace, raSkip, raCancel };
  TReplaceAnswer AskReplaceLocal(const String& path, bool several);
  // The selected row of the folder list, nullptr with none or the ".." row.
  TListItem* SelectedDirItem() const;
  // The name of a row (a link's without " -> target").
  static String RowName(TListItem* item);
  // A row of either list has this name.
  bool Listed(const String& name) const;
  // After a failed DELE or SITE CHMOD that followed done ones: the lists
  // are read again.
  bool ListAgainAfterFailure();
  // The steps the directory operations end with (PWD, LIST, the listing,
  // or the abort's end); false for any other request.
  bool ListingEndStep(TFtpRequest request);
  void DetachClient();
  // ---- raw commands
  // Starts a raw command: false when none may start now.
  bool StartRawCommand();
  // Sends a command line through the quote request.
  void SendRawLine(const String& line);
  void SendRawListing(bool names);
  // The local folder of a raw transfer ("" after telling there is none).
  String RawTransferFolder();

  // ---- batch
  struct TBatchRun;
  // The local files and folders of folder, in BatchFiles and BatchDirs.
  void CollectLocalTree(const String& folder, int depth);
  // The remote path of a local entry below BatchBase.
  String ToRemotePath(const String& path) const;
  void PrepareNextBatchDir();
  // False when no file is left.
  bool PrepareNextBatchFile();
  // CWD to the next directory of the walk; false when none is left.
  bool EnterNextBatchDir();
  // The next directory of the walk: CWD to it, or the end.
  void NextBatchDownloadDir();
  void NextBatchDeleteDir();
  // The rows of the directory just listed go to the walk.
  void CollectRemoteFiles(const TDirRows& rows);
  // False when no file is left (or the run stops).
  bool PrepareNextBatchDownload();
  bool PrepareNextBatchDelete();
  bool PrepareNextRemoveDir();
  // After a CWD of the walk: PWD must name the directory asked for.
  bool BatchPwdMatches();
  // Ends the run: a stop (error text, or a cancel with ""), or done.
  void StopBatch(const String& error);
  void FinishBatch();
  void BatchProgress();
  // The directory a row of the folder list changes into, as its double
  // click does: a link's target (its name when it has none).
  static String RowDir(TListItem* item);
  // ChangeDir; true when the CWD was sent.
  bool StartChangeDir(const String& dir);
  void BindDrops();
  // Marks row (nullptr: none) as the folder list's drop target; while one
  // is marked the list paints it in the selection colours.
  void MarkDropRow(TListItem* row);
  void RemoteDirsDrawDropRow(TObject* sender, TPTCustomDraw* cd, TListItem* item);

  TConnectionHost* host_;
  bool busy_ = false;
  // Boxes for the window now open.
  int held_ = 0;
  // Commands of the running DELE or CHMOD queue that the server took.
  int queueDone_ = 0;
  // A 500 reply came: a close by the server now means the connection was lost.
  bool saw500_ = false;
  // The user cancelled the running transfer: no further file of it starts.
  bool cancelled_ = false;
  bool sizeKnown_ = false;
  // The last reply line received, to tell the server's 426 from ours.
  String lastReply_;
  // The download's folder and the listing's size of each queued name
  // (-1: none), in step with DownloadList.
  String downloadFolder_;
  bool replaceAll_ = false;
  bool severalDownloads_ = false;
  std::deque<int64_t> downloadSizes_;
  int64_t listingSize_ = -1;
  bool closing_ = false;
  bool selectionPosted_ = false;
  std::vector<String> pendingLog_;
  bool logPosted_ = false;

  std::unique_ptr<TBatchRun> batch_;
  std::unique_ptr<TListingJob> job_;
  std::unique_ptr<TListingFill> fill_;
  WPARAM listingGeneration_ = 0;
  // The raw LIST's listing window shows once the lists are full.
  bool listingWindowAfterFill_ = false;
};
