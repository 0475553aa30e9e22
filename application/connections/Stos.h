// The server-to-server window: one file copied from a sending FTP server to
// a receiving one without passing through this machine. The receiving
// server (Ftp1, the left half) is put into passive mode, its data address
// goes to the sending server (Ftp2, the right half) in a PORT command, and
// the two are told to retrieve and to store the file, so that they connect
// to each other. Each side is also connected and browsed on its own.
//
// The copy itself is TStoSTransfer, which knows nothing of windows: the
// window feeds it the two clients' replies, request ends and closes, and
// carries out the commands it asks for.
#pragma once

#include <vector>

#include "application/connections/Parser2.h"
#include "classlib/Extctrls.h"
#include "classlib/Inifiles.h"
#include "classlib/Stdctrls.h"
#include "protocols/Ftpcli.h"
#include "shellctl/Upttreelist.h"

// ---------------------------------------------------------------- texts

// The argument of the PORT command for a PASV reply ("h1,h2,h3,h4,p1,p2");
// false when the reply holds no valid data address.
bool PortArgumentOf(const String& pasvReply, String& argument);

// Why a file name cannot be sent to the servers ("" when it can): a "/",
// a "\", a control character, "." or "..", or no name at all.
String UnsafeTransferNameReason(const String& name);

// Reads the reply lines of one connection. The code of the line that ends
// a reply ("nnn text" or "nnn"; after "nnn-" only the same code ends it);
// 0 for every other line.
class TReplyLines {
 public:
  int Final(const String& line);
  void Reset() { multiLine_.clear(); }

 private:
  String multiLine_;
};

// ---------------------------------------------------------------- the copy

enum TStoSSide { ssReceiving, ssSending };

// What the copy asks of the window.
class TStoSPort {
 public:
  virtual ~TStoSPort() = default;
  // A raw command on a side's client; false when it could not start.
  virtual bool SendQuote(TStoSSide side, const String& command) = 0;
  // TYPE I on a side; false when it could not start.
  virtual bool SendTypeBinary(TStoSSide side) = 0;
  // Ends a side's connections at once, as Abort does.
  virtual void EndConnection(TStoSSide side) = 0;
  // The copy ended: complete (both finals 2xx), or failed with the text of
  // the box.
  virtual void TransferEnded(bool complete, const String& text) = 0;
  // After the end, a side that still owed its final reply has given it (or
  // closed).
  virtual void SideSettled(TStoSSide side) = 0;
};

// One copy: PASV on the receiving side, PORT on the sending side, TYPE I on
// both, RETR on the sending side and, once it accepted, STOR on the
// receiving side; then both final replies.
class TStoSTransfer {
 public:
  explicit TStoSTransfer(TStoSPort* port) : port_(port) {}

  // Starts the copy of name (the window checked both sides first).
  void Start(const String& name);
  // A request of a side ended (its error flag, reply code and texts).
  void RequestDone(TStoSSide side, WORD error, int replyCode, const String& lastResponse,
                   const String& errorMessage);
  // A reply line of a side.
  void ReplyLine(TStoSSide side, const String& line);
  // A side's control connection closed.
  void Closed(TStoSSide side);
  // Stops without a word (an abort, the window closing).
  void Cancel();

  // From the start to the end.
  bool Running() const { return phase_ != tpIdle; }
  // After the end: the side accepted its command and its final reply is
  // still due.
  bool AwaitsFinal(TStoSSide side) const;
  // RETR and STOR are out and not both answered.
  bool TransferActive() const { return transferActive_; }
  const String& PortArgument() const { return portArgument_; }
  const String& FileName() const { return name_; }

 private:
  enum TPhase { tpIdle, tpPasv, tpPort, tpTypeReceiving, tpTypeSending, tpRetr, tpStor, tpFinals };
  struct TSideState {
    bool Watching = false;  // its transfer command went out
    bool First = false;     // its first reply came
    bool Accepted = false;  // ... and it was 1xx
    int Final = 0;          // the code of its final reply (0: none yet)
    String FinalLine;
    TReplyLines Lines;
  };

  void Fail(TStoSSide side, const String& reply);
  void Finish(bool complete, const String& text);
  void Watch(TStoSSide side);
  // A side's request of this phase did not start.
  void StartFailed(TStoSSide side);
  void CheckFinals();
  static String SideName(TStoSSide side);

  TStoSPort* port_;
  TPhase phase_ = tpIdle;
  bool transferActive_ = false;
  String name_;
  String portArgument_;
  TSideState sides_[2];
};

// ---------------------------------------------------------------- window

class TFormStoS : public TForm, private TStoSPort {
 public:
  TFormStoS(TComponent* owner, const String& profilesPath);
  ~TFormStoS() override;
  // The main window's maker of the window.
  static TCustomForm* Create(TComponent* owner, const String& profilesPath);

  TPanel* Panel2;   // the receiving half, on the left
  TSplitter* Splitter1;
  TPanel* Panel3;   // the sending half
  TPanel* PButtons;
  TGroupBox* GroupBox1;
  TGroupBox* GroupBox2;
  TLabel* Label1;
  TLabel* Label2;
  TComboBox* ComboAc1;
  TComboBox* ComboAc2;
  TButton* RBConnect;
  TButton* SBConnect;
  TComboBox* ComboDir1;
  TComboBox* ComboDir2;
  TPTListView* RList1;
  TPTListView* SList1;
  TPTListView* RList2;
  TPTListView* SList2;
  TMemo* Memo1;
  TMemo* Memo2;
  TButton* Button1;  // Transfer
  TButton* Button2;  // Abort
  TButton* Button4;  // Help
  TButton* Button3;  // Close
  TFtpClient* Ftp1;  // receiving
  TFtpClient* Ftp2;  // sending

  String ListingFile1, ListingFile2;
  String ProfilesPath;
  TOwned<TMemIniFile> ProfileIni;
  TOwned<TStringList> ListingLines1, ListingLines2;
  int ServerType1 = 0, ServerType2 = 0;

  // The copy running now.
  TStoSTransfer& Transfer() { return transfer_; }
  bool TransferActive() const { return transfer_.TransferActive(); }
  // A side's request chain runs (from BeginBusy to EndBusy).
  bool SideBusy(TStoSSide side) const { return side_[side].Busy; }

  // ---- operations
  // Copies a profile into a client; it does not connect.
  void ConnectClient(const String& profileName, TFtpClient* client, int& serverType);
  String MakeListingFileName();
  void LoadProfileNames();
  bool CanStartCommand(TStoSSide side);
  void ChangeDir(TStoSSide side, const String& dir);
  void StartTransfer();
  void BeginBusy(TStoSSide side);
  void EndBusy(TStoSSide side);

  // ---- handlers
  void ComboAc1Change(TObject* sender);
  void ComboAc2Change(TObject* sender);
  void RBConnectClick(TObject* sender);
  void SBConnectClick(TObject* sender);
  void Ftp1SessionConnected(TObject* sender, WORD error);
  void Ftp2SessionConnected(TObject* sender, WORD error);
  void Ftp1SessionClosed(TObject* sender, WORD error);
  void Ftp2SessionClosed(TObject* sender, WORD error);
  void RList1DblClick(TObject* sender);
  void SList1DblClick(TObject* sender);
  void ComboDir1Click(TObject* sender);
  void ComboDir2Click(TObject* sender);
  void ComboDir1KeyDown(TObject* sender, WORD& key, TShiftState shift);
  void ComboDir2KeyDown(TObject* sender, WORD& key, TShiftState shift);
  void Button1Click(TObject* sender);
  void Button2Click(TObject* sender);
  void Button3Click(TObject* sender);
  void Button4Click(TObject* sender);
  void Ftp1Display(TObject* sender, String& message);
  void Ftp2Display(TObject* sender, String& message);
  void Ftp1Response(TObject* sender);
  void Ftp2Response(TObject* sender);
  void Ftp1RequestDone(TObject* sender, TFtpRequest request, WORD error);
  void Ftp2RequestDone(TObject* sender, TFtpRequest request, WORD error);
  void FormShow(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);

 protected:
  void Dispatch(TMessage& msg) override;

 private:
  // What a side does once its pending request reports, after a copy ended
  // while the request still ran.
  enum TAfterDone { adNothing, adEndBusy, adList };
  struct TSide {
    TFtpClient* Ftp = nullptr;
    TComboBox* ComboAc = nullptr;
    TButton* Connect = nullptr;
    TComboBox* ComboDir = nullptr;
    TPTListView* Dirs = nullptr;
    TPTListView* Files = nullptr;
    TMemo* Memo = nullptr;
    String* ListingFile = nullptr;
    TStringList* ListingLines = nullptr;
    int* ServerType = nullptr;
    bool Busy = false;
    // A request was started and has not reported yet.
    bool Pending = false;
    // Its report is one the window no longer waits for (an abort's).
    bool Swallow = false;
    TAfterDone AfterDone = adNothing;
  };

  void BuildSide(TStoSSide side, TWinControl* parent, const char* groupName, const char* caption);
  void BindClient(TFtpClient* ftp, TStoSSide side);
  void SideRequestDone(TStoSSide side, TFtpRequest request, WORD error);
  void SideDisplay(TStoSSide side, const String& message);
  void SideResponse(TStoSSide side);
  void ConnectSide(TStoSSide side);
  void ListDirDblClick(TStoSSide side);
  void ReportError(TStoSSide side, const String& message);
  void ClearRemoteLists(TStoSSide side);
  void FillRemoteLists(TStoSSide side);
  void AddDirToCombo(TStoSSide side);
  // The receiving side reads its directory again (or goes idle when it
  // cannot).
  void ListAgain(TStoSSide side);
  void AbortBoth();
  void DetachClients();
  // Runs a request of a side; false (with the reason in startError_) when
  // it did not start.
  bool StartRequest(TStoSSide side, void (TCustomFtpCli::*request)());
  static String SideTitle(TStoSSide side);

  // TStoSPort
  bool SendQuote(TStoSSide side, const String& command) override;
  bool SendTypeBinary(TStoSSide side) override;
  void EndConnection(TStoSSide side) override;
  void TransferEnded(bool complete, const String& text) override;
  void SideSettled(TStoSSide side) override;

  struct TEndBox {
    bool Complete;
    String Text;
  };
  void ShowEndBoxes();
  // A side goes on as the end of the copy said, once its request reported
  // and its final reply came.
  void Settle(TStoSSide side);
  void PostEnd();
  void Ended();

  TSide side_[2];
  TStoSTransfer transfer_{this};
  std::vector<TEndBox> endBoxes_;
  bool endPosted_ = false;
  String startError_;
  bool closing_ = false;
};
