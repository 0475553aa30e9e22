// The FTP client against scripted servers: exact replies, line assembly,
// faults of the server and local refusals.
#include <gtest/gtest.h>

#include <memory>

#include "Ftpscript.h"
#include "classlib/Extctrls.h"
#include "support/Testutil.h"

namespace {

class TTestFtp : public TFtpClient {
 public:
  using TFtpClient::TFtpClient;
  void SetProxyPort(const String& p) { FProxyPort = p; }
  // Runs the result extraction of step `fct` over a reply line.
  void Extract(TFtpFct fct, const String& line) {
    FFct = fct;
    FStatusCode = 0;
    FLastResponse = line;
    ExtractMoreResults();
  }
};

const TFtpRecorder::TDone kNoDone{ftpNone, 0xFFFF, -1, "(no report)", ""};

class FtpScripted : public ::testing::Test {
 protected:
  void SetUp() override {
    StartTestWinsock();
    owner_ = new TComponent(nullptr);
    ftp = new TTestFtp(owner_);
    ftp->SetHostName("127.0.0.1");
    ftp->SetUserName("nembra");
    ftp->SetPassWord("secret");
    rec.Attach(ftp);
  }
  void TearDown() override {
    owner_->Free();
    peer_.reset();
  }
  void Serve(const String& banner, std::vector<String> replies) {
    ServeScript([this, banner, replies](SOCKET s) { Dialogue(s, banner, replies, cmds); });
  }
  void ServeScript(TScriptedPeer::TScript script) {
    peer_ = std::make_unique<TScriptedPeer>(std::move(script));
    ftp->SetPort(peer_->PortStr());
  }
  // Opens the control connection; the report is taken off the record.
  void Open() {
    ftp->OpenAsync();
    ASSERT_TRUE(rec.WaitDone(1));
    ASSERT_EQ(rec.Done[0].Error, 0) << rec.Done[0].ErrorMessage;
    rec.Done.clear();
  }
  // Starts a request and waits for its report.
  TFtpRecorder::TDone Run(void (TCustomFtpCli::*request)()) {
    size_t n = rec.Done.size();
    (ftp->*request)();
    if (!rec.WaitDone(n + 1)) return kNoDone;
    return rec.Done[n];
  }
  TFtpRecorder::TDone Quote(const String& line) {
    ftp->SetLocalFileName(line);
    return Run(&TCustomFtpCli::QuoteAsync);
  }

  TTestFtp* ftp = nullptr;
  TFtpRecorder rec;
  TCmdLog cmds;

 private:
  TComponent* owner_ = nullptr;
  std::unique_ptr<TScriptedPeer> peer_;
};

using Cmds = std::vector<String>;

}  // namespace

TEST_F(FtpScripted, Banner421ClosesAndReportsItsCode) {
  Serve("421 Too many users, try later\r\n", {});
  ftp->OpenAsync();
  ASSERT_TRUE(rec.WaitDone());
  EXPECT_EQ(rec.Done[0].Request, ftpOpenAsync);
  EXPECT_EQ(rec.Done[0].Error, 421);
  EXPECT_EQ(rec.Done[0].ReplyCode, 421);
  EXPECT_EQ(rec.Done[0].ErrorMessage, "421 Too many users, try later");
  EXPECT_EQ(rec.SessionConnected, 0);
  EXPECT_FALSE(ftp->Connected());
  EXPECT_EQ(ftp->ClientState(), ftpReady);
}

// Replies cut into single bytes, two replies in one segment, and multi-line
// replies whose text lines start with digits, the reply's own code or
// another code: each request gets its own reply.
TEST_F(FtpScripted, RepliesAreAssembledAndMultiLineRepliesEndAtTheirCode) {
  Serve("<bytes>220-Welcome\r\n2024 maintenance window\r\n 220 still the banner\r\n220-more\r\n220 Ready\r\n",
        {"331 Password please\r\n", "230 Logged in\r\n", "215 UNIX Type: L8\r\n200 stray reply\r\n",
         "214-Commands:\r\n 214 indented\r\n200 not the end\r\n214-still text\r\n214 Help OK\r\n",
         "<bytes>200 NOOP ok\r\n"});
  auto d = Run(&TCustomFtpCli::ConnectAsync);
  EXPECT_EQ(d.Request, ftpConnectAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_EQ(rec.SessionConnected, 1);
  int text = rec.ShownAt("< 2024 maintenance window");
  EXPECT_GE(text, 0);
  EXPECT_LT(text, rec.ShownAt("< 220 Ready"));

  d = Run(&TCustomFtpCli::SystAsync);
  EXPECT_EQ(d.Error, 0);
  EXPECT_EQ(d.ReplyCode, 215);  // the stray reply after it is only shown
  EXPECT_GE(rec.ShownAt("< 200 stray reply"), 0);

  d = Quote("HELP");
  EXPECT_EQ(d.Error, 0);
  EXPECT_EQ(d.ReplyCode, 214);
  EXPECT_EQ(d.LastResponse, "214 Help OK");

  d = Quote("NOOP");
  EXPECT_EQ(d.Error, 0);
  EXPECT_EQ(d.ReplyCode, 200);
  EXPECT_EQ(d.LastResponse, "200 NOOP ok");
  EXPECT_EQ(cmds.Get(), (Cmds{"USER nembra", "PASS secret", "SYST", "HELP", "NOOP"}));
}

TEST_F(FtpScripted, LineFeedAloneEndsALineWithAcceptLF) {
  Serve("220 hi\n", {"331 pw\n", "230 ok\n"});
  auto d = Run(&TCustomFtpCli::ConnectAsync);
  EXPECT_EQ(d.Error, 0) << d.ErrorMessage;
  EXPECT_EQ(d.ReplyCode, 230);
}

TEST_F(FtpScripted, WithoutAcceptLFALineWaitsForCrLf) {
  ftp->SetOptions({});
  Serve("220 hi\n", {});
  ftp->SetTimeout(1);
  EXPECT_FALSE(ftp->Open());
  EXPECT_EQ(ftp->ErrorMessage(), "426 Timeout");
  EXPECT_EQ(ftp->ReplyCode(), 426);
  EXPECT_FALSE(ftp->Connected());
}

TEST_F(FtpScripted, SilentServerTimesOutInTheBlockingLayer) {
  Serve("220 hi\r\n", {""});
  ftp->SetTimeout(1);
  ASSERT_TRUE(ftp->Open());
  ftp->SetLocalFileName("NOOP");
  uint64_t t0 = GetTickCount64();
  EXPECT_FALSE(ftp->Quote());
  EXPECT_GE(GetTickCount64() - t0, 900u);
  EXPECT_EQ(ftp->ErrorMessage(), "426 Timeout");
  EXPECT_EQ(ftp->ReplyCode(), 426);
  EXPECT_EQ(ftp->ClientState(), ftpReady);
  EXPECT_FALSE(ftp->Connected());
  ASSERT_TRUE(rec.WaitDone(2));
  EXPECT_EQ(rec.Done[1].Request, ftpQuoteAsync);
  EXPECT_EQ(rec.Done[1].Error, 426);
  EXPECT_EQ(rec.Done[1].ErrorMessage, "426 Timeout");
}

TEST_F(FtpScripted, OverLongReplyLineIsCutAndTheConnectionKept) {
  String tail = "550 tail " + String(900, 'b');
  Serve("220 hi\r\n", {"200 " + String(4091, 'a') + tail + "\r\n", "211-" + String(5000, 'c') + "\r\n211 End\r\n",
                       "201 Next\r\n"});
  Open();
  auto d = Quote("A");
  EXPECT_EQ(d.Error, 0);
  EXPECT_EQ(d.ReplyCode, 200);
  EXPECT_EQ(d.LastResponse.size(), 4095u);
  d = Quote("FEAT");
  EXPECT_EQ(d.Error, 0);
  EXPECT_EQ(d.LastResponse, "211 End");
  d = Quote("B");
  EXPECT_EQ(d.Error, 0);
  EXPECT_EQ(d.ReplyCode, 201);
  EXPECT_TRUE(ftp->Connected());
  for (const auto& s : rec.Shown) {
    EXPECT_FALSE(StartsText("< 550", s));
    EXPECT_FALSE(StartsText("< bbb", s));
  }
}

// ---------------------------------------------------------------- server closes

namespace {

enum TStart { stOpen, stOpenThenQuote, stConnect };

struct TCloseCase {
  const char* Name;
  String Banner;
  std::vector<String> Replies;
  TStart Start;
  TFtpRequest Reported;
  bool ExactText;  // a reset may carry the system's error text
};

void PrintTo(const TCloseCase& c, std::ostream* os) { *os << c.Name; }

class FtpServerCloses : public FtpScripted, public ::testing::WithParamInterface<TCloseCase> {};

}  // namespace

TEST_P(FtpServerCloses, PendingRequestReports500) {
  const auto& c = GetParam();
  Serve(c.Banner, c.Replies);
  TFtpRecorder::TDone d = kNoDone;
  switch (c.Start) {
    case stOpen: d = Run(&TCustomFtpCli::OpenAsync); break;
    case stOpenThenQuote:
      Open();
      d = Quote("NOOP");
      break;
    case stConnect: d = Run(&TCustomFtpCli::ConnectAsync); break;
  }
  EXPECT_EQ(d.Request, c.Reported);
  EXPECT_EQ(d.Error, 500);
  EXPECT_EQ(d.ReplyCode, 500);
  if (c.ExactText)
    EXPECT_EQ(d.ErrorMessage, "500 Control connection closed.");
  else
    EXPECT_TRUE(StartsText("500 Control connection closed.", d.ErrorMessage)) << d.ErrorMessage;
  EXPECT_EQ(rec.SessionClosed, 1);
  EXPECT_FALSE(ftp->Connected());
  EXPECT_EQ(ftp->ClientState(), ftpReady);
  PumpFor(100);
  EXPECT_EQ(rec.Done.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FtpServerCloses,
    ::testing::Values(TCloseCase{"Banner", "<close>", {}, stOpen, ftpOpenAsync, true},
                      TCloseCase{"Command", "220 hi\r\n", {"<close>"}, stOpenThenQuote, ftpQuoteAsync, true},
                      TCloseCase{"InsideMultiLine", "220 hi\r\n", {"211-partial\r\n<close>"}, stOpenThenQuote,
                                 ftpQuoteAsync, true},
                      TCloseCase{"Sequence", "220 hi\r\n", {"331 pw\r\n", "<close>"}, stConnect, ftpConnectAsync,
                                 true},
                      TCloseCase{"Reset", "220 hi\r\n", {"<reset>"}, stOpenThenQuote, ftpQuoteAsync, false}),
    [](const auto& info) { return String(info.param.Name); });

// ---------------------------------------------------------------- local ends

TEST_F(FtpScripted, QuitAfter221Succeeds) {
  Serve("220 hi\r\n", {"221 Goodbye\r\n"});
  Open();
  auto d = Run(&TCustomFtpCli::QuitAsync);
  EXPECT_EQ(d.Request, ftpQuitAsync);
  EXPECT_EQ(d.Error, 0);
  EXPECT_EQ(d.LastResponse, "221 Goodbye");
  EXPECT_EQ(rec.SessionClosed, 1);
  EXPECT_FALSE(ftp->Connected());
}

TEST_F(FtpScripted, AbortReports426ForAPendingRequest) {
  Serve("220 hi\r\n", {""});
  Open();
  ftp->SetLocalFileName("NOOP");
  ftp->QuoteAsync();
  ASSERT_TRUE(WaitFor([&] { return cmds.Get().size() == 1; }));
  ftp->AbortAsync();
  EXPECT_EQ(ftp->ClientState(), ftpReady);
  EXPECT_FALSE(ftp->Connected());
  ASSERT_TRUE(rec.WaitDone());
  EXPECT_EQ(rec.Done[0].Request, ftpQuoteAsync);
  EXPECT_EQ(rec.Done[0].Error, 426);
  EXPECT_EQ(rec.Done[0].ErrorMessage, "426 Operation aborted.");
  EXPECT_EQ(rec.SessionClosed, 1);
}

TEST_F(FtpScripted, AbortEndsARunningSequenceWith426) {
  Serve("220 hi\r\n", {""});
  ftp->ConnectAsync();
  ASSERT_TRUE(WaitFor([&] { return cmds.Get().size() == 1; }));
  ftp->AbortAsync();
  ASSERT_TRUE(rec.WaitDone());
  EXPECT_EQ(rec.Done[0].Request, ftpConnectAsync);
  EXPECT_EQ(rec.Done[0].Error, 426);
  EXPECT_EQ(rec.Done[0].ErrorMessage, "426 Operation aborted.");
  EXPECT_EQ(ftp->ClientState(), ftpReady);
}

TEST_F(FtpScripted, AbortWhileIdleClosesWithoutAReport) {
  Serve("220 hi\r\n", {});
  Open();
  ftp->AbortAsync();
  PumpFor(200);
  EXPECT_TRUE(rec.Done.empty());
  EXPECT_EQ(rec.SessionClosed, 1);
  EXPECT_FALSE(ftp->Connected());
}

// QUIT, ABOR and STAT skip the readiness checks: without a connection they
// end at once, reported from the message loop. Other requests are refused.
TEST_F(FtpScripted, CommandsWithoutAConnection) {
  struct {
    void (TCustomFtpCli::*Request)();
    TFtpRequest Reported;
  } local[] = {{&TCustomFtpCli::QuitAsync, ftpQuitAsync}, {&TCustomFtpCli::AbortXferAsync, ftpAbortXferAsync}};
  for (const auto& c : local) {
    rec.Done.clear();
    (ftp->*c.Request)();
    EXPECT_TRUE(rec.Done.empty());  // never inside the call
    ASSERT_TRUE(rec.WaitDone());
    EXPECT_EQ(rec.Done[0].Request, c.Reported);
    EXPECT_EQ(rec.Done[0].Error, 500);
    EXPECT_EQ(rec.Done[0].ErrorMessage, "500 Control connection not open.");
  }
  ftp->SetLocalFileName("STAT");
  auto d = Run(&TCustomFtpCli::QuoteAsync);
  EXPECT_EQ(d.Error, 500);

  // Refusals: an exception, or OnError with no report.
  ftp->SetHostDirName("x");
  try {
    ftp->CwdAsync();
    ADD_FAILURE() << "no exception";
  } catch (FtpException& e) {
    EXPECT_EQ(e.Message, "FTP component not connected");
  }
  std::vector<String> errors;
  ftp->OnError = [&](TObject*, String& msg) { errors.push_back(msg); };
  rec.Done.clear();
  ftp->CwdAsync();
  ftp->SetUserName("");
  ftp->UserAsync();
  ftp->SetPassWord("");
  ftp->PassAsync();
  ftp->SetHostDirName("");
  ftp->CwdAsync();
  PumpFor(100);
  EXPECT_TRUE(rec.Done.empty());
  EXPECT_EQ(errors, (Cmds{"FTP component not connected", "UserName emtpy", "Password emtpy", "HostDirName emtpy"}));
}

TEST_F(FtpScripted, UserAnswered230NeedsNoPassword) {
  Serve("220 hi\r\n", {"230 No password needed\r\n", "200 NOOP ok\r\n"});
  auto d = Run(&TCustomFtpCli::ConnectAsync);
  EXPECT_EQ(d.Error, 0);
  EXPECT_EQ(Quote("NOOP").Error, 0);
  EXPECT_EQ(cmds.Get(), (Cmds{"USER nembra", "NOOP"}));
}

// A 4xx reply is a failure for QUOTE, ABOR and REST; success is below 400.
TEST_F(FtpScripted, QuoteAborAndRestSucceedBelow400) {
  const std::pair<const char*, WORD> codes[] = {{"150 x\r\n", 0},   {"226 x\r\n", 0},   {"350 x\r\n", 0},
                                                {"399 x\r\n", 0},   {"421 x\r\n", 421}, {"450 x\r\n", 450},
                                                {"500 x\r\n", 500}, {"550 x\r\n", 550}};
  std::vector<String> replies;
  for (int round = 0; round < 3; ++round)
    for (const auto& c : codes) replies.push_back(c.first);
  Serve("220 hi\r\n", replies);
  Open();
  ftp->SetOptions({ftpAcceptLF, ftpNoAutoResumeAt});
  void (TCustomFtpCli::*requests[])() = {&TCustomFtpCli::QuoteAsync, &TCustomFtpCli::AbortXferAsync,
                                         &TCustomFtpCli::RestAsync};
  ftp->SetLocalFileName("SITE X");
  for (auto rq : requests)
    for (const auto& c : codes) {
      SCOPED_TRACE(c.first);
      ftp->SetRestartOffset(100);
      EXPECT_EQ(Run(rq).Error, c.second);
    }
  auto got = cmds.Get();
  ASSERT_EQ(got.size(), 24u);
  EXPECT_EQ(got[0], "SITE X");
  EXPECT_EQ(got[8], "ABOR");
  EXPECT_EQ(got[16], "REST 100");
}

// ---------------------------------------------------------------- proxy

namespace {

struct TProxyCase {
  const char* Port;
  const char* User;
};

void PrintTo(const TProxyCase& c, std::ostream* os) { *os << "Port " << c.Port; }

class FtpProxyUser : public FtpScripted, public ::testing::WithParamInterface<TProxyCase> {};

}  // namespace

TEST_P(FtpProxyUser, UserNamesTheTargetHost) {
  Serve("220 proxy ready\r\n", {"331 pw\r\n"});
  String proxyPort = ftp->Port();
  ftp->SetConnectionType(ftpProxy);
  ftp->SetProxyServer("127.0.0.1");
  ftp->SetProxyPort(proxyPort);
  // Only the proxy is looked up and connected to.
  ftp->SetHostName("ftp.example.test");
  ftp->SetPort(GetParam().Port);
  EXPECT_TRUE(ftp->Passive());
  ftp->SetPassive(false);
  EXPECT_TRUE(ftp->Passive());
  Open();
  EXPECT_EQ(Run(&TCustomFtpCli::UserAsync).Error, 0);
  EXPECT_EQ(cmds.Get(), Cmds{GetParam().User});
}

INSTANTIATE_TEST_SUITE_P(Ports, FtpProxyUser,
                         ::testing::Values(TProxyCase{"21", "USER nembra@ftp.example.test"},
                                           TProxyCase{"ftp", "USER nembra@ftp.example.test"},
                                           TProxyCase{"FTP", "USER nembra@ftp.example.test"},
                                           TProxyCase{"2121", "USER nembra@ftp.example.test:2121"}));

// ---------------------------------------------------------------- refusals and numbers

TEST_F(FtpScripted, LineBreaksInCommandsAreRefusedAndNothingIsSent) {
  Serve("220 hi\r\n", {"200 NOOP ok\r\n"});
  Open();
  ftp->SetLocalFileName("NOOP\r\nDELE x");
  EXPECT_EQ(Run(&TCustomFtpCli::QuoteAsync).Error, 501);
  ftp->SetHostDirName("a\nb");
  EXPECT_EQ(Run(&TCustomFtpCli::CwdAsync).Error, 501);
  ftp->SetHostFileName(String("a\0b", 3));
  EXPECT_EQ(Run(&TCustomFtpCli::MkdAsync).Error, 501);
  ftp->SetLocalFileName("x\ry");
  auto d = Run(&TCustomFtpCli::RenToAsync);
  EXPECT_EQ(d.Request, ftpRenToAsync);
  EXPECT_EQ(d.Error, 501);
  EXPECT_TRUE(StartsText("501 ", d.ErrorMessage)) << d.ErrorMessage;
  // A command that OnCommand turns into two.
  ftp->OnCommand = [](TObject*, String& cmd) { cmd += "\r\nDELE y"; };
  EXPECT_EQ(Quote("NOOP").Error, 501);
  ftp->OnCommand = nullptr;

  EXPECT_EQ(Quote("NOOP").Error, 0);
  EXPECT_TRUE(ftp->Connected());
  EXPECT_EQ(cmds.Get(), Cmds{"NOOP"});
}

TEST_F(FtpScripted, SizesAndOffsetsAreSixtyFourBit) {
  Serve("220 hi\r\n", {"213 5000000000\r\n", "350 Restarting\r\n", "350 Restarting\r\n"});
  Open();
  ftp->SetHostFileName("big.bin");
  EXPECT_EQ(Run(&TCustomFtpCli::SizeAsync).Error, 0);
  EXPECT_EQ(ftp->SizeReply(), 5000000000LL);

  ftp->SetOptions({ftpAcceptLF, ftpNoAutoResumeAt});
  ftp->SetRestartOffset(6000000000LL);
  EXPECT_EQ(Run(&TCustomFtpCli::RestAsync).Error, 0);

  // Without ftpNoAutoResumeAt the offset is the local file's size.
  String path = MakeTempFolder("ftpcli_rest") + "\\partial.bin";
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER at;
  at.QuadPart = 4294967301LL;
  ASSERT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(h));
  CloseHandle(h);
  ftp->SetOptions({ftpAcceptLF});
  ftp->SetLocalFileName(path);
  EXPECT_EQ(Run(&TCustomFtpCli::RestAsync).Error, 0);
  EXPECT_EQ(ftp->RestartOffset(), 4294967301LL);
  DeleteFileA(path.c_str());

  EXPECT_EQ(cmds.Get(), (Cmds{"SIZE big.bin", "REST 6000000000", "REST 4294967301"}));
}

TEST(FtpReplies, DirectoryNamesAndSizesFromReplies) {
  TComponent owner(nullptr);
  auto* ftp = new TTestFtp(&owner);
  const std::pair<const char*, const char*> dirs[] = {
      {"257 \"/pub\" is the current directory", "/pub"},
      {"257 \"/quote\"\"dir\" is the current directory", "/quote\"dir"},
      {"257 \"/quote\"dir\" is your current location", "/quote\"dir"},  // quote not doubled
      {"257 \"/ends\"\"\"", "/ends\""},
      {"250 \"/x\"", "/x"},
      {"257 /pub is current", ""},
      {"257 \"/unterminated", "/unterminated"},
  };
  for (const auto& c : dirs) {
    ftp->Extract(ftpFctPwd, c.first);
    EXPECT_EQ(ftp->DirResult(), c.second) << c.first;
  }
  const std::pair<const char*, int64_t> sizes[] = {
      {"213 1048576", 1048576}, {"213 4296015872", 4296015872LL}, {"213 ", 0}, {"213 abc", 0}};
  for (const auto& c : sizes) {
    ftp->Extract(ftpFctSize, c.first);
    EXPECT_EQ(ftp->SizeReply(), c.second) << c.first;
  }
}

// ---------------------------------------------------------------- handlers

TEST_F(FtpScripted, ExceptionInOnRequestDoneGoesToOnBgException) {
  Serve("220 hi\r\n", {"200 a\r\n", "200 b\r\n", "200 c\r\n"});
  Open();
  std::vector<String> seen;
  ftp->OnBgException = [&](TObject*, Exception& e, bool&) { seen.push_back(e.Message); };
  ftp->OnRequestDone = [](TObject*, TFtpRequest, WORD) { throw Exception("boom in handler"); };
  ftp->SetLocalFileName("NOOP");
  ftp->QuoteAsync();
  ASSERT_TRUE(WaitFor([&] { return !seen.empty(); }));
  EXPECT_EQ(seen, Cmds{"boom in handler"});
  // Without OnBgException the exception ends there as well.
  ftp->OnBgException = nullptr;
  ftp->QuoteAsync();
  ASSERT_TRUE(WaitFor([&] { return ftp->ClientState() == ftpReady; }));
  PumpFor(100);
  rec.Attach(ftp);
  EXPECT_EQ(Quote("NOOP").Error, 0);
  EXPECT_TRUE(ftp->Connected());
}

// What escapes OnBgException reaches the application's hook, once; the
// component goes on.
TEST_F(FtpScripted, FailingBgExceptionHandlerReachesTheApplicationOnce) {
  Serve("220 hi\r\n", {"200 a\r\n", "200 b\r\n"});
  Open();
  std::vector<String> app;
  Application->OnException = [&](TObject* sender, Exception& e) {
    EXPECT_EQ(sender, ftp);
    app.push_back(e.Message);
  };
  int bgCalls = 0;
  ftp->OnBgException = [&](TObject*, Exception&, bool&) {
    ++bgCalls;
    throw Exception("handler of handlers");
  };
  ftp->OnRequestDone = [](TObject*, TFtpRequest, WORD) { throw Exception("boom in handler"); };
  ftp->SetLocalFileName("NOOP");
  ftp->QuoteAsync();
  ASSERT_TRUE(WaitFor([&] { return !app.empty(); }));
  PumpFor(100);
  EXPECT_EQ(app, Cmds{"handler of handlers"});
  EXPECT_EQ(bgCalls, 1);
  rec.Attach(ftp);
  EXPECT_EQ(Quote("NOOP").Error, 0);
  EXPECT_EQ(app.size(), 1u);
}

// The blocking layer's wait ends at WM_QUIT (as a time-out, the message
// left for the outer loop), and when a handler frees the component, which
// it then leaves alone.
TEST_F(FtpScripted, BlockingWaitEndsAtQuitAndWhenFreed) {
  for (bool quit : {true, false}) {
    SCOPED_TRACE(quit ? "quit" : "freed");
    Serve("220 hi\r\n", {""});
    ftp->SetTimeout(20);
    ASSERT_TRUE(ftp->Open());
    TTimer timer(nullptr);
    timer.SetInterval(100);
    timer.SetOnTimer([&](TObject*) {
      timer.SetEnabled(false);
      if (quit) {
        PostQuitMessage(5);
      } else {
        ftp->Free();
        ftp = nullptr;
      }
    });
    TTestFtp* waiting = ftp;
    waiting->SetLocalFileName("NOOP");
    const uint64_t start = GetTickCount64();
    EXPECT_FALSE(waiting->Quote());
    EXPECT_LT(GetTickCount64() - start, 3000u);
    if (quit) {
      EXPECT_EQ(ftp->ErrorMessage(), "426 Timeout");
      EXPECT_FALSE(ftp->Connected());
      MSG msg;
      EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
      EXPECT_EQ(msg.wParam, 5u);
      Application->ResetTerminated();
      ASSERT_TRUE(rec.WaitDone(2));  // Open's, then Quote's
      EXPECT_EQ(rec.Done[1].Error, 426);
      rec.Done.clear();
    } else {
      EXPECT_EQ(ftp, nullptr);
    }
  }
}

// A handler that pumps messages while a reply is being read: the rest of
// the reply waits until the handler returns.
TEST_F(FtpScripted, NestedMessagePumpKeepsTheReplyOrder) {
  ServeScript([this](SOCKET s) {
    SendBytes(s, "220-first\r\n");
    Sleep(150);
    Dialogue(s, "220 second\r\n", {}, cmds);
  });
  ftp->OnResponse = [this](TObject*) {
    if (ftp->LastResponse() == "220-first") PumpFor(400);
  };
  auto d = Run(&TCustomFtpCli::OpenAsync);
  EXPECT_EQ(d.Error, 0);
  EXPECT_EQ(rec.SessionConnected, 1);
  int first = rec.ShownAt("< 220-first");
  EXPECT_GE(first, 0);
  EXPECT_LT(first, rec.ShownAt("< 220 second"));
}

// ---------------------------------------------------------------- sequences

TEST_F(FtpScripted, SequenceReportsTheLastWorkingReplyNotThe221) {
  Serve("220 hi\r\n", {"331 pw\r\n", "230 ok\r\n", "215 UNIX Type: L8\r\n", "221 Bye\r\n"});
  auto d = Run(&TCustomFtpCli::SystemAsync);
  EXPECT_EQ(d.Request, ftpSystemAsync);
  EXPECT_EQ(d.Error, 0);
  EXPECT_EQ(d.ReplyCode, 215);
  EXPECT_EQ(d.LastResponse, "215 UNIX Type: L8");
  EXPECT_FALSE(ftp->Connected());
  EXPECT_EQ(cmds.Get(), (Cmds{"USER nembra", "PASS secret", "SYST", "QUIT"}));
}

TEST_F(FtpScripted, SequenceEndsAtTheFailingStep) {
  Serve("220 hi\r\n", {"550 No such file\r\n"});
  Open();
  ftp->SetHostFileName("a");
  ftp->SetLocalFileName("b");
  auto d = Run(&TCustomFtpCli::RenAsync);
  EXPECT_EQ(d.Request, ftpRenAsync);
  EXPECT_EQ(d.Error, 550);
  EXPECT_EQ(d.ErrorMessage, "550 No such file");
  PumpFor(100);
  EXPECT_EQ(cmds.Get(), Cmds{"RNFR a"});
}

// A later step that cannot start ends the request instead of leaving it
// without an end.
TEST_F(FtpScripted, StepThatCannotStartEndsTheSequence) {
  Serve("220 hi\r\n", {"331 pw\r\n", "200 ok\r\n"});
  ftp->SetPassWord("");
  auto d = Run(&TCustomFtpCli::ConnectAsync);
  EXPECT_EQ(d.Request, ftpConnectAsync);
  EXPECT_EQ(d.Error, 501);
  EXPECT_EQ(d.ErrorMessage, "501 Password emtpy");
  EXPECT_EQ(ftp->ClientState(), ftpReady);
  // The next request is an ordinary one again.
  EXPECT_EQ(Quote("NOOP").Request, ftpQuoteAsync);
}

TEST_F(FtpScripted, ConnectionTypeIsFixedWhileConnected) {
  Serve("220 hi\r\n", {});
  Open();
  try {
    ftp->SetConnectionType(ftpSocks5);
    ADD_FAILURE() << "no exception";
  } catch (FtpException& e) {
    EXPECT_EQ(e.Message, "FTP component connected");
  }
  EXPECT_EQ(ftp->ConnectionType(), ftpDirect);
  EXPECT_FALSE(ftp->Passive());
  ftp->AbortAsync();
  ftp->SetConnectionType(static_cast<TFtpConnectionType>(9));
  EXPECT_EQ(ftp->ConnectionType(), ftpDirect);
  ftp->SetShareMode(static_cast<TFtpShareMode>(9));
  EXPECT_EQ(ftp->ShareMode(), ftpShareExclusive);
  ftp->SetShareMode(ftpShareDenyNone);
  EXPECT_EQ(ftp->ShareMode(), ftpShareDenyNone);
  ftp->SetDisplayFileMode(static_cast<TFtpDisplayFileMode>(7));
  EXPECT_EQ(ftp->DisplayFileMode(), ftpLineByLine);
}
