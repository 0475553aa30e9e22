// The connection window's test bench: the real connection window in a plain
// MDI frame with the fake host (or, where a test opens it, in the main
// window), a profile file and a local folder of the test's own, and a
// scripted FTP server (passive mode) whose answers, files and pacing each
// test sets.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <mutex>

#include "../protocols/Ftpscript.h"
#include "application/connections/Child.h"
#include "application/connections/Chmod.h"
#include "application/frame/Main.h"
#include "support/Fakehost.h"
#include "support/Testutil.h"

// A scripted FTP server on 127.0.0.1 for one connection. Every command is
// recorded. Defaults: banner 220, USER 331, PASS 230, SYST 215, PWD 257
// "/home", CWD and CDUP 250, HELP a 214 of three lines, STAT 211, TYPE
// 200, SIZE 213 with the file's size (550 without the file), PASV from a
// listener of its own, PORT 200 (the next transfer connects to its
// address), REST 350 (the next RETR sends from there;
// STOR records only what it received), NOOP 200, MKD 257, RMD, DELE and RNTO 250,
// RNFR 350, SITE 200, QUIT 221 and the transfers below;
// anything else 502.
struct TFtpScript {
  // Replies taken in place of the default, front first, by verb ("SYST",
  // "RETR"): "" keeps the default for that turn.
  std::map<String, std::vector<String>> Replies;
  // Files RETR sends and SIZE measures.
  std::map<String, String> Files;
  // What LIST sends, lines ending in CR LF.
  String Listing;
  // What NLST sends.
  String Names;
  // LIST answers 150 and then nothing until the client goes.
  bool HoldList = false;
  // RETR sends PaceBytes every PaceMs (0: all at once).
  int PaceBytes = 0;
  int PaceMs = 0;
  // STOR reads 4 KiB a millisecond at most.
  bool PaceStor = false;
  // Closes the control connection after this many commands (0: never).
  int CloseAfter = 0;
  // RETR waits this long after the file's last byte before its 226.
  int RetrReplyDelayMs = 0;
  // RETR sends this many bytes of the file, then closes the data
  // connection and answers 426 (-1: the whole file).
  int RetrCutAfter = -1;
  // Connections served, one after the other.
  int Connections = 1;
  // Milliseconds before the reply to a command, by verb.
  std::map<String, int> DelayMs;
  // A tree the commands act on in place of Files and Listing, when it has a
  // folder: CWD, CDUP, PWD, LIST, SIZE, RETR, STOR, MKD, RMD and DELE take
  // paths relative to the server's directory (at first "/home") or
  // absolute. Folders and files by absolute path; Rows: lines a folder's
  // LIST adds as they are (links, pipes, odd names), by the entry's name,
  // which DELE takes away.
  struct TTree {
    std::set<String> Folders;
    std::map<String, String> Files;
    std::map<String, std::map<String, String>> Rows;
  } Tree;
  // What PWD reports for the server's directory (none: that directory).
  std::function<String(const String& dir)> PwdOf;
};

class TFtpScriptServer {
 public:
  explicit TFtpScriptServer(TFtpScript script);
  int Port() const { return peer_->Port(); }
  std::vector<String> Commands() const { return log_.Get(); }
  // The commands whose verb is verb.
  int Count(const String& verb) const;
  // What STOR received, by name.
  std::map<String, String> Stored() const;
  // What the next LIST sends.
  void SetListing(const String& listing);
  // The tree as the commands left it.
  TFtpScript::TTree Tree() const;
  // The server saw the data connection of a transfer close early.
  bool SawAbort() const { return aborted_; }
  void Join() { peer_->Join(); }

 private:
  void Serve(SOCKET s);
  bool UsesTree() const { return !script_.Tree.Folders.empty(); }
  // A path of the tree: arg below dir, or arg itself when absolute, with
  // "." and ".." taken out.
  static String TreePath(const String& dir, const String& arg);
  String TreeListing(const String& dir) const;
  TFtpScript script_;
  TCmdLog log_;
  mutable std::mutex m_;
  std::map<String, String> stored_;
  std::atomic<bool> aborted_{false};
  std::unique_ptr<TScriptedPeer> peer_;
};

// A listing line of a Unix server.
String UnixLine(const String& name, int64_t size, bool dir = false);

class ChildTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A scripted server that lives until the windows are gone.
  TFtpScriptServer& StartServer(const TFtpScript& script);
  // Writes a section of the profile file.
  void WriteProfile(const String& name, const std::map<String, String>& keys);
  // A passive profile "Scripted" for the scripted server (and more keys).
  void ScriptedProfile(int port, const std::map<String, String>& more = {});
  // The plain frame, shown, its host in the local folder.
  void OpenFrame();
  // The main window, shown, with the local folder selected: Open opens the
  // connection windows from it from now on.
  void OpenMain();
  // The frame that holds the connection windows.
  TCustomForm* Frame() const;
  // Opens a connection window for a profile; nullptr when none came.
  TFormMdi* Open(const String& profile);
  // Closes every connection window.
  void CloseChildren();
  // Until the window is idle and its lists are full.
  bool WaitIdle(TFormMdi* child, DWORD ms = 15000);
  bool LogHas(TFormMdi* child, const String& line) const;
  // The log lines that begin with prefix.
  std::vector<String> LogLinesStarting(TFormMdi* child, const String& prefix) const;
  std::vector<String> Captions(TCustomListView* list) const;
  // Selects the entries of the file list with these captions (all with none).
  void SelectFiles(TFormMdi* child, std::initializer_list<const char*> names = {});
  // The captions of the boxes the host (or the main window) showed.
  std::vector<String> BoxCaptions() const;

  String dir, profiles, local;
  TFakeHost host;
  TOwned<TForm> frame;
  TOwned<TFormMain> form;
  TScopedDialogs dialogs;

 private:
  std::vector<std::unique_ptr<TFtpScriptServer>> servers_;
  String savedTitle_;
  TConnectionWindowFactory previousFactory_ = nullptr;
  TPermissionEditor previousEditor_ = nullptr;
  TdxBarExtItemsUnit bars_;
};
