// Helpers for FTP tests: a scripted control-connection server and a
// recorder of a client's events.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "support/Scriptedpeer.h"
#include "protocols/Ftpcli.h"

// The command lines a scripted server received, in order (thread-safe).
class TCmdLog {
 public:
  void Add(const String& s) {
    std::lock_guard<std::mutex> g(m_);
    v_.push_back(s);
  }
  std::vector<String> Get() const {
    std::lock_guard<std::mutex> g(m_);
    return v_;
  }
  void Clear() {
    std::lock_guard<std::mutex> g(m_);
    v_.clear();
  }

 private:
  mutable std::mutex m_;
  std::vector<String> v_;
};

// Reads one command line (without its line end); false on close or time-out.
bool ReadCmd(SOCKET s, String& line);

// Plays a conversation: sends `banner`, then answers each command with the
// next entry of `replies` and records the commands. An entry is sent as it
// stands, except:
//   "<close>"         close the connection instead of answering
//   "TEXT<close>"     send TEXT, then close
//   "<reset>"         reset the connection instead of answering
//   "<bytes>TEXT"     send TEXT one byte per segment
//   ""                do not answer this command
// When the replies run out, later commands are recorded and QUIT is
// answered "221 Bye" before the close; the script ends when the client
// closes (or after the peer's time-out).
void Dialogue(SOCKET s, const String& banner, const std::vector<String>& replies, TCmdLog& log);

// Sends text one byte per segment.
void SendByteByByte(SOCKET s, const String& text);

// Reads the next command into `cmd` and records it; false on close.
bool NextCmd(SOCKET s, TCmdLog& log, String& cmd);

// The data side of a scripted server in passive mode: a listener on
// 127.0.0.1 whose 227 reply line PasvReply gives.
class TDataListener {
 public:
  TDataListener();
  ~TDataListener();
  TDataListener(const TDataListener&) = delete;
  TDataListener& operator=(const TDataListener&) = delete;
  int Port() const { return port_; }
  // "227 Entering Passive Mode (127,0,0,1,P1,P2)" with CR LF.
  String PasvReply() const;
  // The client's connection (10 s time-outs); INVALID_SOCKET when none
  // came within 10 s.
  SOCKET Accept();

 private:
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
};

// Active mode: connects from the local address `from` to the address of a
// "PORT h1,h2,h3,h4,p1,p2" command; INVALID_SOCKET on failure.
SOCKET ConnectToPort(const String& portCommand, const String& from = "127.0.0.1");

// One transfer command (RETR, LIST, NLST, STOR, APPE) met by TransferServer.
struct TXfer {
  SOCKET Ctrl;
  String Cmd;       // as received, "RETR name"
  String PortCmd;   // the PORT command before it; empty in passive mode
  // The data connection: accepted (passive) or made from 127.0.0.1 (active).
  std::function<SOCKET()> Data;
};
// Plays the transfer; false ends the session (the control connection is
// closed after it).
using TXferScript = std::function<bool(TXfer&)>;

struct TTransferServer {
  // Reply to REST.
  String RestReply = "350 Restarting\r\n";
  // Replies to PASV, taken front first; "{}" stands for the address of
  // the server's own listener ("127,0,0,1,P1,P2"). When none is left:
  // "227 Entering Passive Mode ({})".
  std::vector<String> PasvReplies;
  // One script per transfer command, in order; a transfer command beyond
  // them is answered "550 No script".
  std::vector<TXferScript> Transfers;
};

// A scripted server session: banner "220 hi", then PASV, PORT ("200 PORT
// ok"), TYPE ("200 Type set"), REST, NOOP ("200 NOOP ok"), QUIT ("221 Bye")
// and the transfer commands as `server` says; other commands get "502 No".
// Every command is recorded in `log`.
void TransferServer(SOCKET s, TCmdLog& log, const TTransferServer& server);

// A client owned by `owner` for the FTP server on loopback `port`, with the
// test account.
TFtpClient* NewPeerFtpClient(TComponent* owner, int port);

// The events of one FTP client, recorded.
struct TFtpRecorder {
  struct TDone {
    TFtpRequest Request;
    WORD Error;
    int ReplyCode;        // as the handler saw them
    String ErrorMessage;
    String LastResponse;
  };
  std::vector<TDone> Done;
  std::vector<String> Shown;  // OnDisplay texts
  int SessionConnected = 0;
  int SessionClosed = 0;

  void Attach(TCustomFtpCli* ftp);
  // Pumps until `n` requests were reported (or the time passed).
  bool WaitDone(size_t n = 1, DWORD ms = 10000);
  // Index of the first display text equal to s, -1 when none.
  int ShownAt(const String& s) const;
};
