// Data connections and transfers against a scripted server: the order of
// the final reply and the data close, refusals, PASV replies, a late reply
// after a failed data connection, drops and resume, REST answers, a stranger
// connecting in active mode, cancels and local failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iterator>
#include <memory>

#include "Ftpscript.h"
#include "support/Testutil.h"

namespace {

const TFtpRecorder::TDone kNoDone{ftpNone, 0xFFFF, -1, "(no report)", ""};
using Cmds = std::vector<String>;

// A caller's stream that fails: writes after `WriteLimit` bytes, every read.
class TFailingStream : public TStream {
 public:
  explicit TFailingStream(int64_t writeLimit) : WriteLimit(writeLimit) {}
  int64_t Read(void*, int64_t) override { return -1; }
  int64_t Write(const void* buffer, int64_t count) override {
    if (Data.size() + count > static_cast<uint64_t>(WriteLimit)) return -1;
    Data.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
    return count;
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return static_cast<int64_t>(Data.size()); }
  int64_t WriteLimit;
  String Data;
};

class FtpData : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestWinsock();
    owner_ = new TComponent(nullptr);
    ftp = new TFtpClient(owner_);
    ftp->SetHostName("127.0.0.1");
    ftp->SetUserName("nembra");
    ftp->SetPassWord("secret");
    ftp->SetPassive(true);
    rec.Attach(ftp);
    tmp = MakeTempFolder("ftpcli_data");
  }
  void TearDown() override {
    owner_->Free();
    peer_.reset();
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((tmp + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileA((tmp + "\\" + fd.cFileName).c_str());
      } while (FindNextFileA(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryA(tmp.c_str());
  }
  void Serve(TTransferServer server) {
    ServeScript([this, server](SOCKET s) { TransferServer(s, cmds, server); });
  }
  void ServeScript(TScriptedPeer::TScript script) {
    peer_ = std::make_unique<TScriptedPeer>(std::move(script));
    ftp->SetPort(peer_->PortStr());
  }
  void Open() {
    size_t n = rec.Done.size();
    ftp->OpenAsync();
    ASSERT_TRUE(rec.WaitDone(n + 1));
    ASSERT_EQ(rec.Done[n].Error, 0) << rec.Done[n].ErrorMessage;
  }
  TFtpRecorder::TDone Run(void (TCustomFtpCli::*request)(), DWORD ms = 10000) {
    size_t n = rec.Done.size();
    (ftp->*request)();
    if (!rec.WaitDone(n + 1, ms)) return kNoDone;
    return rec.Done[n];
  }
  TFtpRecorder::TDone Noop() {
    ftp->SetLocalFileName("NOOP");
    return Run(&TCustomFtpCli::QuoteAsync);
  }
  // A download of `name` into the temp folder.
  TFtpRecorder::TDone Get(const String& name, void (TCustomFtpCli::*request)() = &TCustomFtpCli::GetAsync) {
    ftp->SetHostFileName(name);
    ftp->SetLocalFileName(tmp + "\\" + name);
    return Run(request);
  }
  String Local(const String& name) { return tmp + "\\" + name; }
  bool Shown(const String& s) const { return rec.ShownAt(s) >= 0; }

  TFtpClient* ftp = nullptr;
  TFtpRecorder rec;
  TCmdLog cmds;
  String tmp;
  // Shared with the scripts, which may outlive a failed test body (the
  // peer ends in TearDown).
  std::atomic<int> count{0};
  String received[4];

 private:
  TComponent* owner_ = nullptr;
  std::unique_ptr<TScriptedPeer> peer_;
};

// Sends `data` on the data connection of a transfer: 150, the bytes, the
// close and 226 (before the close when `replyFirst`).
TXferScript SendFile(const String& data, bool replyFirst = false) {
  return [data, replyFirst](TXfer& x) {
    SOCKET d = x.Data();
    SendBytes(x.Ctrl, "150 Opening data connection\r\n");
    SendBytes(d, data);
    if (replyFirst) SendBytes(x.Ctrl, "226 Transfer complete\r\n");
    closesocket(d);
    if (!replyFirst) SendBytes(x.Ctrl, "226 Transfer complete\r\n");
    return true;
  };
}

// Takes an upload into `got`: 150, everything until the client closes, 226.
TXferScript TakeFile(String& got) {
  return [&got](TXfer& x) {
    SOCKET d = x.Data();
    SendBytes(x.Ctrl, "150 Ok to send data\r\n");
    got = RecvUntilClosed(d);
    closesocket(d);
    SendBytes(x.Ctrl, "226 Transfer complete\r\n");
    return true;
  };
}

}  // namespace

// The final reply may come before or after the data connection closes: the
// request ends once, after both, with the data.
TEST_F(FtpData, FinalReplyBeforeAndAfterTheDataClose) {
  std::atomic<int>& closes = count;
  auto script = [this](bool replyFirst) -> TXferScript {
    return [this, replyFirst](TXfer& x) {
      SOCKET d = x.Data();
      SendBytes(x.Ctrl, "150 Opening\r\n");
      SendBytes(d, "0123456789");
      if (replyFirst) {
        SendBytes(x.Ctrl, "226 Done\r\n");
        Sleep(300);
      }
      ++count;
      closesocket(d);
      if (!replyFirst) {
        Sleep(300);
        SendBytes(x.Ctrl, "226 Done\r\n");
      }
      return true;
    };
  };
  TTransferServer server;
  server.Transfers = {script(true), script(false)};
  Serve(server);
  Open();
  auto report = ftp->OnRequestDone;
  std::vector<int> closesAtReport;
  ftp->OnRequestDone = [&](TObject* o, TFtpRequest r, WORD e) {
    closesAtReport.push_back(closes);
    report(o, r, e);
  };
  for (int round = 1; round <= 2; ++round) {
    auto d = Get("file" + IntToStr(round) + ".bin");
    EXPECT_EQ(d.Request, ftpGetAsync);
    EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
    EXPECT_EQ(d.LastResponse, "226 Done");
    EXPECT_EQ(ReadFileBytes(Local("file" + IntToStr(round) + ".bin")), "0123456789");
  }
  PumpFor(100);
  EXPECT_EQ(closesAtReport, (std::vector<int>{1, 2}));
  EXPECT_TRUE(StartsText("! 10 bytes received/sent in 0 seconds", rec.Shown[rec.Shown.size() - 1]))
      << rec.Shown.back();
  EXPECT_EQ(cmds.Get(), (Cmds{"PASV", "RETR file1.bin", "PASV", "RETR file2.bin"}));
}

// A refused RETR leaves an existing local file byte for byte as it was, and
// creates no file where there was none; passive and active.
TEST_F(FtpData, RefusedDownloadLeavesTheLocalFileAsItWas) {
  struct {
    const char* Reply;
    bool Passive;
  } cases[] = {{"425 Can't open data connection.", true},
               {"426 Connection closed; transfer aborted.", false},
               {"550 No such file.", true},
               {"550 No such file.", false}};
  TTransferServer server;
  for (const auto& c : cases)
    for (int i = 0; i < 2; ++i)
      server.Transfers.push_back([reply = String(c.Reply)](TXfer& x) { return SendBytes(x.Ctrl, reply + "\r\n"); });
  Serve(server);
  Open();
  const String precious = "precious\r\ncontent\0with a NUL";
  WriteFileBytes(Local("kept.bin"), precious);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Reply);
    ftp->SetPassive(c.Passive);
    auto d = Get("kept.bin");
    EXPECT_EQ(d.Error, atoi(c.Reply));
    EXPECT_EQ(d.ErrorMessage, c.Reply);
    EXPECT_EQ(ReadFileBytes(Local("kept.bin")), precious);
    d = Get("new.bin");
    EXPECT_EQ(d.Error, atoi(c.Reply));
    EXPECT_FALSE(FileExists(Local("new.bin")));
    EXPECT_EQ(ftp->ClientState(), ftpReady);
  }
  EXPECT_EQ(Noop().Error, 0);
}

// A download replaces an existing file only once the server accepts, also
// for listings; a REST answered 200 (offset not taken) downloads the whole
// file from 0.
TEST_F(FtpData, AcceptedDownloadReplacesTheFile) {
  TTransferServer server;
  server.RestReply = "200 REST ignored\r\n";
  server.Transfers = {SendFile("new"), SendFile("listing line\r\n"), SendFile("")};
  Serve(server);
  Open();
  WriteFileBytes(Local("a.bin"), "old content, longer");
  EXPECT_EQ(Get("a.bin", &TCustomFtpCli::RestGetAsync).Error, 0);
  EXPECT_EQ(ReadFileBytes(Local("a.bin")), "new");
  WriteFileBytes(Local("list.txt"), String(10000, 'x'));
  ftp->SetHostFileName("");
  ftp->SetLocalFileName(Local("list.txt"));
  EXPECT_EQ(Run(&TCustomFtpCli::DirAsync).Error, 0);
  EXPECT_EQ(ReadFileBytes(Local("list.txt")), "listing line\r\n");
  EXPECT_EQ(Get("list.txt").Error, 0);  // an empty file empties it
  EXPECT_EQ(ReadFileBytes(Local("list.txt")), "");
  EXPECT_EQ(cmds.Get(), (Cmds{"PASV", "REST 19", "RETR a.bin", "PASV", "LIST", "PASV", "RETR list.txt"}));
}

// The PASV reply is scanned for six numbers 0-255; anything else ends the
// request before the transfer command.
TEST_F(FtpData, PasvReplies) {
  const char* bad[] = {
      "227 Entering Passive Mode (127,0,0,1,300,2)", "227 Entering Passive Mode (127,0,0,1,4)",
      "227 Entering Passive Mode (127,0,0,1,a,b)",   "227 Passive mode on",
      "227 Entering Passive Mode (127,0,0,1,0,0)",   "227 Entering Passive Mode (1270,0,0,1,4,5)",
      "227 Entering Passive Mode (127,0,0,1,4,5,6)", "227 Entering Passive Mode (-127,0,0,1,4,5)",
  };
  TTransferServer server;
  server.PasvReplies = {"227 Entering Passive Mode {}\r\n", "227 ={}\r\n"};
  for (const char* b : bad) server.PasvReplies.push_back(String(b) + "\r\n");
  server.PasvReplies.push_back(String(bad[0]) + "\r\n");
  server.Transfers = {SendFile("one"), SendFile("two")};
  Serve(server);
  Open();
  EXPECT_EQ(Get("one.bin").Error, 0);
  EXPECT_EQ(ReadFileBytes(Local("one.bin")), "one");
  EXPECT_EQ(Get("two.bin").Error, 0);
  EXPECT_EQ(ReadFileBytes(Local("two.bin")), "two");
  for (const char* b : bad) {
    SCOPED_TRACE(b);
    auto d = Get("bad.bin");
    EXPECT_EQ(d.Error, 550);
    EXPECT_EQ(d.ErrorMessage, "Unable to establish data connection, invalid PASV reply");
    EXPECT_FALSE(FileExists(Local("bad.bin")));
  }
  WriteFileBytes(Local("up.bin"), "up");
  ftp->SetLocalFileName(Local("up.bin"));
  auto d = Run(&TCustomFtpCli::PutAsync);
  EXPECT_EQ(d.Request, ftpPutAsync);
  EXPECT_EQ(d.Error, 550);
  EXPECT_EQ(Noop().Error, 0);
  auto got = cmds.Get();
  Cmds want = {"PASV", "RETR one.bin", "PASV", "RETR two.bin"};
  for (size_t i = 0; i <= std::size(bad); ++i) want.push_back("PASV");
  want.push_back("NOOP");
  EXPECT_EQ(got, want);
}

// The data connection cannot be made after RETR went out: the server's late
// reply is taken before the request ends, so it never answers the next one.
TEST_F(FtpData, LateReplyAfterAFailedDataConnectionIsTaken) {
  std::atomic<int>& replied = count;
  TTransferServer server;
  const int closed = FreePort();
  server.PasvReplies = {"227 Entering Passive Mode (127,0,0,1," + IntToStr(closed / 256) + "," +
                        IntToStr(closed % 256) + ")\r\n"};
  server.Transfers = {[this](TXfer& x) {
    Sleep(300);
    count = 1;
    return SendBytes(x.Ctrl, "425 Failed to establish connection.\r\n");
  }};
  Serve(server);
  Open();
  WriteFileBytes(Local("kept.bin"), "kept");
  bool repliedAtReport = false;
  auto report = ftp->OnRequestDone;
  ftp->OnRequestDone = [&](TObject* o, TFtpRequest r, WORD e) {
    repliedAtReport = replied == 1;
    report(o, r, e);
  };
  auto d = Get("kept.bin");
  EXPECT_TRUE(repliedAtReport);
  EXPECT_EQ(d.Error, 550);
  EXPECT_TRUE(StartsText("Unable to establish data connection, error #", d.ErrorMessage)) << d.ErrorMessage;
  EXPECT_EQ(ReadFileBytes(Local("kept.bin")), "kept");
  auto n = Noop();
  EXPECT_EQ(n.Error, 0);
  EXPECT_EQ(n.LastResponse, "200 NOOP ok");
}

// The connections drop after 1000 bytes; a new session resumes from there.
TEST_F(FtpData, DropAfterNBytesThenResume) {
  String content;
  for (int i = 0; i < 300; ++i) content += "line " + IntToStr(i) + "\n";
  TTransferServer first;
  first.Transfers = {[content](TXfer& x) {
    SOCKET d = x.Data();
    SendBytes(x.Ctrl, "150 Opening\r\n");
    SendBytes(d, content.substr(0, 1000));
    Sleep(200);
    ResetClose(d);
    closesocket(d);
    ResetClose(x.Ctrl);
    return false;
  }};
  Serve(first);
  Open();
  auto d = Get("drop.txt");
  EXPECT_EQ(d.Error, 500);
  EXPECT_TRUE(StartsText("500 Control connection closed.", d.ErrorMessage)) << d.ErrorMessage;
  EXPECT_EQ(ReadFileBytes(Local("drop.txt")), content.substr(0, 1000));

  TTransferServer second;
  second.Transfers = {SendFile(content.substr(1000))};
  cmds.Clear();
  Serve(second);
  Open();
  d = Get("drop.txt", &TCustomFtpCli::RestGetAsync);
  EXPECT_EQ(d.Request, ftpRestGetAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_EQ(ReadFileBytes(Local("drop.txt")), content);
  EXPECT_EQ(cmds.Get(), (Cmds{"PASV", "REST 1000", "RETR drop.txt"}));
}

// A resumed upload sends the tail only when REST was answered 350; any
// other answer ends the request with its code and sends nothing.
TEST_F(FtpData, ResumedUploadNeedsRest350) {
  String& got = received[0];
  TTransferServer server;
  server.Transfers = {TakeFile(got)};
  Serve(server);
  Open();
  WriteFileBytes(Local("up.bin"), "0123456789");
  ftp->SetHostFileName("up.bin");
  ftp->SetLocalFileName(Local("up.bin"));
  ftp->SetRestartOffset(4);
  auto d = Run(&TCustomFtpCli::RestPutAsync);
  EXPECT_EQ(d.Request, ftpPutAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_EQ(got, "456789");

  EXPECT_EQ(Run(&TCustomFtpCli::QuitAsync).Error, 0);
  TTransferServer ignoring;
  ignoring.RestReply = "200 REST ignored\r\n";
  cmds.Clear();
  Serve(ignoring);
  Open();
  ftp->SetRestartOffset(4);
  d = Run(&TCustomFtpCli::RestPutAsync);
  EXPECT_EQ(d.Request, ftpRestPutAsync);
  EXPECT_EQ(d.Error, 200);
  EXPECT_EQ(d.ErrorMessage, "200 REST ignored");
  EXPECT_EQ(Noop().Error, 0);
  EXPECT_EQ(cmds.Get(), (Cmds{"PASV", "REST 4", "NOOP"}));
}

// Active mode takes the data connection only from the server's address: a
// connection from 127.0.0.2 is refused and the client keeps listening.
TEST_F(FtpData, ActiveModeRefusesAStranger) {
  std::atomic<int>& strangerGot = count;
  strangerGot = -2;
  TTransferServer server;
  server.Transfers = {[this](TXfer& x) {
    SOCKET stranger = ConnectToPort(x.PortCmd, "127.0.0.2");
    if (stranger == INVALID_SOCKET) return false;
    char c;
    count = recv(stranger, &c, 1, 0);  // 0 or -1 once refused
    closesocket(stranger);
    return SendFile("from the server")(x);
  }};
  Serve(server);
  ftp->SetPassive(false);
  Open();
  auto d = Get("act.bin");
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_EQ(ReadFileBytes(Local("act.bin")), "from the server");
  EXPECT_LE(strangerGot, 0);
  EXPECT_TRUE(Shown("! Data connection from 127.0.0.2 refused"));
  auto got = cmds.Get();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_TRUE(StartsText("PORT 127,0,0,1,", got[0])) << got[0];
}

// A cancel from OnProgress reports 426 whatever the server answers.
TEST_F(FtpData, CancelFromOnProgressReports426) {
  String& got = received[0];
  TTransferServer server;
  server.Transfers = {SendFile(String(200000, 'd')), TakeFile(got)};
  Serve(server);
  Open();
  int calls = 0;
  ftp->OnProgress = [&](TObject*, int64_t, bool& abort) { abort = ++calls == 2; };
  auto d = Get("big.bin");
  EXPECT_EQ(d.Error, 426);
  EXPECT_EQ(d.ReplyCode, 426);
  EXPECT_EQ(d.ErrorMessage, "426 Transfer cancelled by application");
  EXPECT_TRUE(Shown("! Abort requested"));

  WriteFileBytes(Local("up.bin"), String(100000, 'u'));
  ftp->SetLocalFileName(Local("up.bin"));
  calls = 0;
  d = Run(&TCustomFtpCli::PutAsync);
  EXPECT_EQ(d.Error, 426);
  EXPECT_EQ(d.ErrorMessage, "426 Transfer cancelled by application");
  EXPECT_LT(got.size(), 100000u);
  EXPECT_EQ(Noop().Error, 0);
}

// A local write that fails reports 550 "Error writing local file", after the
// server's reply, whatever that reply says.
TEST_F(FtpData, FailedLocalWriteReports550) {
  TTransferServer server;
  server.Transfers = {SendFile(String(20000, 'w'), true)};
  Serve(server);
  Open();
  TFailingStream stream(5000);
  ftp->SetLocalStream(&stream);
  ftp->SetHostFileName("w.bin");
  auto d = Run(&TCustomFtpCli::GetAsync);
  EXPECT_EQ(d.Error, 550);
  EXPECT_EQ(d.ReplyCode, 550);
  EXPECT_EQ(d.ErrorMessage, "Error writing local file");
  EXPECT_TRUE(Shown("! Error writing local file"));
  EXPECT_LE(stream.Data.size(), 5000u);
  EXPECT_EQ(Noop().LastResponse, "200 NOOP ok");
}

// Uploads: STOR and APPE in both modes, an empty file, a cancel before the
// command, a missing local file and a stream that cannot be read.
TEST_F(FtpData, Uploads) {
  String (&got)[4] = received;
  TTransferServer server;
  for (auto& g : got) server.Transfers.push_back(TakeFile(g));
  for (int i = 0; i < 20; ++i) server.Transfers.push_back(TakeFile(got[3]));
  server.Transfers.push_back([](TXfer& x) {
    SOCKET d = x.Data();
    SendBytes(x.Ctrl, "150 Ok\r\n");
    RecvUntilClosed(d);
    closesocket(d);
    return SendBytes(x.Ctrl, "226 Done\r\n");
  });
  Serve(server);
  Open();
  String data;
  for (int i = 0; i < 5000; ++i) data += static_cast<char>(i * 7);
  WriteFileBytes(Local("up.bin"), data);
  WriteFileBytes(Local("empty.bin"), "");
  ftp->SetHostFileName("up.bin");
  ftp->SetLocalFileName(Local("up.bin"));
  int ready = 0;
  ftp->OnReadyToTransmit = [&](TObject*, bool&) { ++ready; };
  EXPECT_EQ(Run(&TCustomFtpCli::PutAsync).Error, 0);
  ftp->SetPassive(false);
  auto d = Run(&TCustomFtpCli::AppendAsync);
  EXPECT_EQ(d.Request, ftpAppendAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_EQ(Run(&TCustomFtpCli::PutAsync).Error, 0);
  EXPECT_EQ(got[0], data);
  EXPECT_EQ(got[1], data);
  EXPECT_EQ(got[2], data);
  EXPECT_EQ(ftp->ByteCount(), 5000);
  EXPECT_EQ(ready, 3);

  // Empty files: the data connection closes at once, without a pause.
  ftp->SetPassive(true);
  ftp->SetLocalFileName(Local("empty.bin"));
  uint64_t t0 = GetTickCount64();
  for (int i = 0; i < 21; ++i) ASSERT_EQ(Run(&TCustomFtpCli::PutAsync).Error, 0);
  EXPECT_LT(GetTickCount64() - t0, 2100u);
  EXPECT_EQ(got[3], "");

  ftp->OnReadyToTransmit = [](TObject*, bool& cancel) { cancel = true; };
  d = Run(&TCustomFtpCli::PutAsync);
  EXPECT_EQ(d.Error, 426);
  EXPECT_EQ(d.ErrorMessage, "426 Transmit cancelled by application");
  ftp->OnReadyToTransmit = nullptr;
  ftp->SetLocalFileName(Local("missing.bin"));
  d = Run(&TCustomFtpCli::PutAsync);
  EXPECT_EQ(d.Error, 426);
  EXPECT_EQ(d.ErrorMessage, "426 Unable to open local file " + Local("missing.bin"));
  TFailingStream unreadable(0);
  ftp->SetLocalStream(&unreadable);
  d = Run(&TCustomFtpCli::PutAsync);
  EXPECT_EQ(d.Error, 426);
  EXPECT_EQ(d.ErrorMessage, "426 Error reading local file");
  auto cmdsGot = cmds.Get();
  EXPECT_EQ(std::count(cmdsGot.begin(), cmdsGot.end(), "STOR up.bin"), 24);
  EXPECT_EQ(std::count(cmdsGot.begin(), cmdsGot.end(), "APPE up.bin"), 1);
}

// Received data to OnDisplayFile: one event per line, runs of CR and LF
// separating lines, a line cut by the block end in two pieces; or the blocks
// as they come.
TEST_F(FtpData, DisplayFileLineByLineAndBinary) {
  auto twoBlocks = [](TXfer& x) {
    SOCKET d = x.Data();
    BOOL on = TRUE;
    setsockopt(d, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    SendBytes(x.Ctrl, "150 Here\r\n");
    SendBytes(d, "\r\nline one\r\nline t");
    Sleep(300);
    SendBytes(d, "wo\r\n\r\nthree");
    closesocket(d);
    return SendBytes(x.Ctrl, "226 Done\r\n");
  };
  TTransferServer server;
  server.Transfers = {twoBlocks, twoBlocks};
  Serve(server);
  Open();
  std::vector<String> lines;
  ftp->OnDisplayFile = [&](TObject*, String& s) { lines.push_back(s); };
  ftp->SetDisplayFileFlag(true);
  ftp->SetLocalFileName("");
  ftp->SetHostFileName("");
  EXPECT_EQ(Run(&TCustomFtpCli::LsAsync).Error, 0);
  EXPECT_EQ(lines, (std::vector<String>{"", "line one", "line t", "wo", "three"}));
  lines.clear();
  ftp->SetDisplayFileMode(ftpBinary);
  EXPECT_EQ(Run(&TCustomFtpCli::DirAsync).Error, 0);
  EXPECT_EQ(lines, (std::vector<String>{"\r\nline one\r\nline t", "wo\r\n\r\nthree"}));
  EXPECT_EQ(cmds.Get(), (Cmds{"PASV", "NLST", "PASV", "LIST"}));
}

// A local file that cannot be opened ends the download before RETR.
TEST_F(FtpData, LocalFileThatCannotBeOpened) {
  Serve(TTransferServer{});
  Open();
  ftp->SetHostFileName("x.bin");
  ftp->SetLocalFileName(tmp);  // a folder
  auto d = Run(&TCustomFtpCli::GetAsync);
  EXPECT_EQ(d.Error, 550);
  EXPECT_EQ(d.ErrorMessage, "Unable to open local file " + tmp);
  EXPECT_EQ(Noop().Error, 0);
  EXPECT_EQ(cmds.Get(), (Cmds{"PASV", "NOOP"}));
}
