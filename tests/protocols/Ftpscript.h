// Helpers for FTP tests: a scripted control-connection server and a
// recorder of a client's events.
#pragma once

#include <mutex>
#include <vector>

#include "Scriptedpeer.h"
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
