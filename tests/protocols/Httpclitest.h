// Helpers of the HTTP client tests: a client that records its events and
// the body, and a scripted HTTP server that takes several connections.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "support/Scriptedpeer.h"
#include "protocols/Httpprot.h"
#include "support/Testutil.h"

// A client whose events are recorded; the body goes to Body through
// ReceiveStream.
struct THttpRun {
  struct TFree {
    void operator()(TComponent* c) const { c->Free(); }
  };
  std::unique_ptr<THttpCli, TFree> Cli{new THttpCli(nullptr)};
  TStringStream Body;
  std::vector<String> Events;    // "docbegin", "docend", "location <CurrentLocation>", ...
  std::vector<String> Commands;  // every request line sent, in order
  std::vector<std::pair<int, int>> Done;  // request type, error
  int DocDataBytes = 0;

  explicit THttpRun(const String& url = String()) {
    THttpCli* c = Cli.get();
    c->SetURL(url);
    c->SetReceiveStream(&Body);
    c->SetTimeout(20);
    c->OnDocBegin = [this](TObject*) { Events.push_back("docbegin"); };
    c->OnDocEnd = [this](TObject*) { Events.push_back("docend"); };
    c->OnDocData = [this](TObject*, const void*, int len) { DocDataBytes += len; };
    c->OnLocationChange = [this, c](TObject*) { Events.push_back("location " + c->CurrentLocation()); };
    c->OnCommand = [this](TObject*, String& s) { Commands.push_back(s); };
    c->OnRequestDone = [this](TObject* sender, THttpRequest rq, WORD error) {
      EXPECT_EQ(sender, Cli.get());
      Done.emplace_back(rq, error);
    };
  }
  THttpCli* operator->() const { return Cli.get(); }

  // Runs the synchronous call; "" when it returned, else "CODE: message".
  String Sync(void (THttpCli::*call)()) {
    String result;
    try {
      (Cli.get()->*call)();
    } catch (EHttpException& e) {
      result = IntToStr(e.ErrorCode) + ": " + e.Message;
    }
    // OnRequestDone follows from the message loop.
    EXPECT_TRUE(WaitFor([&] { return !Done.empty(); }, 5000));
    return result;
  }
  String Get() { return Sync(&THttpCli::Get); }
  String Head() { return Sync(&THttpCli::Head); }
  String Post() { return Sync(&THttpCli::Post); }
  int Error() const { return Done.empty() ? -1 : Done.back().second; }
  int Relocations() const {
    int n = 0;
    for (const auto& e : Events) n += e.compare(0, 9, "location ") == 0;
    return n;
  }
};

// A scripted HTTP server on 127.0.0.1. For connection i it reads the
// request (the header up to its empty line, then Content-Length bytes of
// body), records it and hands the socket to Scripts[i] on the server's
// thread; the connection is closed when the script returns. Connections
// beyond the scripts are closed at once. Sockets have 10 s time-outs.
class THttpScriptServer {
 public:
  using TScript = std::function<void(SOCKET)>;
  explicit THttpScriptServer(std::vector<TScript> scripts);
  ~THttpScriptServer();
  int Port() const { return port_; }
  String Url(const String& path) const { return "http://127.0.0.1:" + IntToStr(port_) + path; }
  // The requests received, one per connection; waits for the thread.
  std::vector<String> Requests();

 private:
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::thread thread_;
  std::vector<String> requests_;
};

// A script that sends Data and returns (the server then closes).
THttpScriptServer::TScript Send(const String& Data);
// A script that sends Data and keeps the connection until the client closes it.
THttpScriptServer::TScript SendAndHold(const String& Data);
