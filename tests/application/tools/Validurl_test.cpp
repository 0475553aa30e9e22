// The URL tool against nginx and scripted HTTP servers; its temporary
// folder is in a folder of the test's own.
#include <atomic>

#include "Toolstest.h"
#include "application/frame/Regdataunit.h"
#include "application/tools/Validurl.h"
#include "classlib/Registry.h"
#include "support/Input.h"
#include "support/Modal.h"
#include "support/Peers.h"
#include "support/Scriptedpeer.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

const String kStars60(60, '*');

String NginxUrl(const String& path) { return "http://127.0.0.1:" + PeerPortStr(ppHttp) + path; }

// The request's header, up to its empty line.
String ReadRequest(SOCKET s) {
  String data;
  while (data.find("\r\n\r\n") == String::npos) {
    String b = RecvBytes(s, 1);
    if (b.empty()) break;
    data += b;
  }
  return data;
}

String Reply(const String& body) {
  return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + IntToStr(static_cast<int>(body.size())) +
         "\r\n\r\n" + body;
}

// The names in a folder, "." and ".." left out.
std::vector<String> FolderNames(const String& folder) {
  std::vector<String> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    String n = fd.cFileName;
    if (n != "." && n != "..") names.push_back(n);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

// A file no one else can write while the object lives. (Wine running as
// root writes read-only files all the same; a file held open without
// sharing refuses every writer.)
class TLockedFile {
 public:
  explicit TLockedFile(const String& path)
      : h_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {
    EXPECT_NE(h_, INVALID_HANDLE_VALUE) << path;
  }
  ~TLockedFile() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  TLockedFile(const TLockedFile&) = delete;
  TLockedFile& operator=(const TLockedFile&) = delete;

 private:
  HANDLE h_;
};

class UrlTool : public ::testing::Test {
 protected:
  void SetUp() override {
    savedTitle_ = Application->Title;
    Application->Title = "NembraTest-url-" + IntToStr(GetCurrentProcessId());
    folder = IncludeTrailingBackslash(MakeTempFolder("urltool"));
    form = new TFormHttp(Application, folder);
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
  }
  void TearDown() override {
    if (form) form->Free();
    TRegistry r;
    r.DeleteKey(TReg::GetKeyPath());
    Application->Title = savedTitle_;
  }

  // Clicks "&Get Info" and waits until the request has ended.
  void Fetch(const String& url, bool headersOnly = false) {
    form->EditUrl->SetText(url);
    ASSERT_TRUE(Click((headersOnly ? form->RadioHead : form->RadioGet)->Handle()));
    ASSERT_TRUE(Click(form->ButVal->Handle()));
    ASSERT_TRUE(WaitFor(
        [&] { return Idle() && (!MemoLines(form->Memo1).empty() || !MemoLines(form->Memo2).empty()); }, 30000));
    PumpFor(100);
  }

  bool Idle() const { return form->ButVal->Enabled() && !form->ButCan->Enabled() && Screen->Cursor() == crDefault; }

  TFakeHost frame;
  TScopedDialogs dialogs;
  String folder;
  TFormHttp* form = nullptr;

 private:
  String savedTitle_;
};

TEST_F(UrlTool, DocumentFromNginx) {
  EXPECT_EQ(form->TempFolder, folder + "HttpTemp\\");
  EXPECT_TRUE(DirectoryExists(folder + "HttpTemp"));
  Fetch(NginxUrl("/index.html"));
  std::vector<String> headers = MemoLines(form->Memo2);
  ASSERT_GE(headers.size(), 6u);
  EXPECT_EQ(std::vector<String>(headers.begin(), headers.begin() + 5),
            (std::vector<String>{"Attempting to retrieve information for:", NginxUrl("/index.html"), kStars60,
                                 "Status: 200", "HTTP/1.1 200 OK"}));
  EXPECT_EQ(static_cast<int>(headers.size()), 4 + form->Http1->ResponseHeader()->Count());
  EXPECT_NE(std::find(headers.begin(), headers.end(), "Content-Length: 17"), headers.end());
  EXPECT_EQ(MemoLines(form->Memo1), std::vector<String>{"Hello from nginx"});
  EXPECT_EQ(form->DocFileName, folder + "HttpTemp\\index.html");
  EXPECT_EQ(ReadFileBytes(form->DocFileName), "Hello from nginx\n");
  EXPECT_TRUE(form->ButSav->Enabled());
  SaveScreenshot(form->Handle());
}

TEST_F(UrlTool, HeadersOnlyMakeNoFile) {
  Fetch(NginxUrl("/index.html"), true);
  std::vector<String> headers = MemoLines(form->Memo2);
  ASSERT_GE(headers.size(), 5u);
  EXPECT_EQ(headers[3], "Status: 200");
  EXPECT_TRUE(MemoLines(form->Memo1).empty());
  EXPECT_TRUE(FolderNames(form->TempFolder).empty());
  EXPECT_TRUE(form->DocFileName.empty());
  EXPECT_FALSE(form->ButSav->Enabled());
}

TEST_F(UrlTool, FailedRequests) {
  const struct {
    String url;
    std::vector<String> document;
    bool anyReason;
  } cases[] = {
      {NginxUrl("/missing.html"), {"Retrieval of document failed!", "Status: 404", "Reason: Not Found"}, false},
      // A redirect loop ends after ten relocations.
      {NginxUrl("/loop/a"), {"Retrieval of document failed!", "Status: 404", "Reason: ", "Error: 7"}, true},
      {"http://127.0.0.1:" + IntToStr(FreePort()) + "/",
       {"Retrieval of document failed!", "Status: 404", "Reason: ", "Error: 10061"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    Fetch(c.url);
    std::vector<String> document = MemoLines(form->Memo1);
    ASSERT_EQ(document.size(), c.document.size()) << form->Memo1->Text();
    if (c.anyReason) {
      EXPECT_TRUE(StartsText("Reason: ", document[2]));
      EXPECT_GT(document[2].size(), 8u);
      document[2] = "Reason: ";
    }
    EXPECT_EQ(document, c.document);
    EXPECT_FALSE(form->ButSav->Enabled());
  }
}

TEST_F(UrlTool, CancelDuringTheBody) {
  std::atomic<bool> dropped{false};
  TScriptedPeer peer([&](SOCKET s) {
    ReadRequest(s);
    SendBytes(s, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 100000\r\n\r\nthe first part");
    dropped = RecvUntilClosed(s).empty();
  });
  form->Hide();
  TModalDriver modal;
  modal.Window("URL Retrieval").Do("cancel once the body began", [&](HWND) {
    if (form->DocFileName.empty()) return false;
    PostMessageA(form->ButCan->Handle(), BM_CLICK, 0, 0);
    return true;
  });
  form->Show();
  Fetch("http://127.0.0.1:" + peer.PortStr() + "/slow.txt");
  EXPECT_TRUE(modal.Finish());
  EXPECT_EQ(MemoLines(form->Memo1),
            (std::vector<String>{"Retrieval of document failed!", "Status: 404", "Reason: Connection aborted on request",
                                 "Request aborted"}));
  EXPECT_EQ(MemoLines(form->Memo2).back(), "Request aborted");
  EXPECT_FALSE(form->ButSav->Enabled());
  peer.Join();
  EXPECT_TRUE(dropped);
}

// Names from the URL and from a relocation stay inside HttpTemp.
TEST_F(UrlTool, DocumentNamesStayInTheTemporaryFolder) {
  WriteFileBytes(folder + "accounts.dat", "sentinel");
  std::vector<String> requests(3);
  TScriptedPeer peer(std::vector<TScriptedPeer::TScript>{
      [&](SOCKET s) {
        requests[0] = ReadRequest(s);
        SendBytes(s, Reply("not the profiles"));
      },
      [&](SOCKET s) {
        requests[1] = ReadRequest(s);
        SendBytes(s, "HTTP/1.0 302 Found\r\nLocation: ..\\x\r\n\r\n");
      },
      [&](SOCKET s) {
        requests[2] = ReadRequest(s);
        SendBytes(s, Reply("relocated"));
      },
  });
  const String base = "http://127.0.0.1:" + peer.PortStr();
  Fetch(base + "/a\\..\\..\\accounts.dat");
  EXPECT_EQ(form->DocFileName, form->TempFolder + "accounts.dat");
  Fetch(base + "/dir/r");
  EXPECT_EQ(form->DocFileName, form->TempFolder + "x");
  peer.Join();
  EXPECT_TRUE(StartsText("GET /dir/..\\x ", requests[2])) << requests[2];
  EXPECT_EQ(ReadFileBytes(folder + "accounts.dat"), "sentinel");
  EXPECT_EQ(FolderNames(folder), (std::vector<String>{"HttpTemp", "accounts.dat"}));
  EXPECT_EQ(FolderNames(form->TempFolder), (std::vector<String>{"accounts.dat", "x"}));
  EXPECT_EQ(ReadFileBytes(form->TempFolder + "x"), "relocated");
}

TEST_F(UrlTool, SaveAsCopiesThenRemovesTheTemporaryFile) {
  Fetch(NginxUrl("/index.html"));
  ASSERT_TRUE(form->ButSav->Enabled());
  String temp = form->DocFileName;
  String target = IncludeTrailingBackslash(MakeTempFolder("urlsave"));

  // A target that cannot be written: the copy fails, the document and the
  // button stay.
  WriteFileBytes(target + "locked.html", "old");
  {
    TLockedFile locked(target + "locked.html");
    frame.SaveAnswers = {target + "locked.html"};
    ASSERT_TRUE(Click(form->ButSav->Handle()));
  }
  ASSERT_EQ(frame.Saves.size(), 1u);
  EXPECT_EQ(frame.Saves[0].Owner, form);
  EXPECT_EQ(frame.Saves[0].Filter, "All Files (*.*)|*.*");
  EXPECT_EQ(frame.Saves[0].Name, "index.html");
  EXPECT_EQ(frame.BoxTexts(),
            std::vector<String>{"error: Save As: Could not save the document to " + target + "locked.html"});
  EXPECT_EQ(ReadFileBytes(target + "locked.html"), "old");
  EXPECT_TRUE(FileExists(temp));
  EXPECT_TRUE(form->ButSav->Enabled());

  // The temporary file itself: nothing is copied or removed.
  frame.SaveAnswers = {temp};
  ASSERT_TRUE(Click(form->ButSav->Handle()));
  EXPECT_EQ(ReadFileBytes(temp), "Hello from nginx\n");
  EXPECT_TRUE(form->ButSav->Enabled());

  frame.SaveAnswers = {target + "saved.html"};
  ASSERT_TRUE(Click(form->ButSav->Handle()));
  EXPECT_EQ(ReadFileBytes(target + "saved.html"), "Hello from nginx\n");
  EXPECT_FALSE(FileExists(temp));
  EXPECT_TRUE(form->DocFileName.empty());
  EXPECT_FALSE(form->ButSav->Enabled());
  EXPECT_EQ(frame.Boxes.size(), 1u);
}

TEST_F(UrlTool, DocumentFileThatCannotBeWrittenFails) {
  WriteFileBytes(form->TempFolder + "index.html", "old");
  {
    TLockedFile locked(form->TempFolder + "index.html");
    Fetch(NginxUrl("/index.html"));
  }
  std::vector<String> document = MemoLines(form->Memo1);
  ASSERT_GE(document.size(), 3u) << form->Memo1->Text();
  EXPECT_EQ(document[0], "Retrieval of document failed!");
  EXPECT_EQ(document[1], "Status: 404");
  EXPECT_EQ(ReadFileBytes(form->TempFolder + "index.html"), "old");
  EXPECT_FALSE(form->ButSav->Enabled());
}

TEST_F(UrlTool, EmptyUrlAndHelp) {
  ASSERT_TRUE(Click(form->ButVal->Handle()));
  EXPECT_EQ(frame.BoxTexts(), std::vector<String>{"info: No URL: You must enter a url to retrieve!"});
  EXPECT_TRUE(Idle());
  ASSERT_TRUE(Click(form->Button1->Handle()));
  EXPECT_EQ(dialogs.Dialogs.HelpCalls,
            std::vector<String>{"C:\\Nembra\\nembra3.hlp|" + IntToStr(HELP_COMMAND) + "|JI(`',`IDH_url')"});
}

// Closing the modal window mid-request ends the request; the placement is
// kept and the next window takes it.
TEST_F(UrlTool, CloseMidRequestKeepsThePlacement) {
  std::atomic<bool> dropped{false};
  TScriptedPeer peer([&](SOCKET s) {
    ReadRequest(s);
    SendBytes(s, "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\npart");
    dropped = RecvUntilClosed(s).empty();
  });
  form->Hide();
  form->SetBounds(100, 120, 600, 450);
  TModalDriver modal;
  modal.Window("URL Retrieval")
      .SetEditAt(0, "http://127.0.0.1:" + peer.PortStr() + "/slow.txt")
      .Press("&Get Info")
      .Do("close once the body began", [&](HWND w) {
        if (form->DocFileName.empty()) return false;
        PostMessageA(w, WM_CLOSE, 0, 0);
        return true;
      });
  EXPECT_EQ(form->ShowModal(), mrCancel);
  EXPECT_TRUE(modal.Finish());
  EXPECT_EQ(MemoLines(form->Memo1).front(), "Retrieval of document failed!");
  EXPECT_EQ(Screen->Cursor(), crDefault);
  form->Free();
  form = nullptr;
  peer.Join();
  EXPECT_TRUE(dropped);

  const String key = "FormHttp";
  EXPECT_EQ(TReg::ReadInteger(key, "Left"), 100);
  EXPECT_EQ(TReg::ReadInteger(key, "Top"), 120);
  EXPECT_EQ(TReg::ReadInteger(key, "Width"), 600);
  EXPECT_EQ(TReg::ReadInteger(key, "Height"), 450);
  EXPECT_FALSE(TReg::ReadBool(key, "MaxState"));
  form = new TFormHttp(Application, folder);
  EXPECT_EQ(form->BoundsRect(), TRect(100, 120, 700, 570));
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  RECT r;
  GetWindowRect(form->Handle(), &r);
  EXPECT_EQ(TRect(r), TRect(100, 120, 700, 570));
  // The panes and the buttons follow the larger size.
  EXPECT_EQ(form->Button3->Left() + form->Button3->Width(), form->ClientWidth() - 8);
  EXPECT_EQ(form->Memo1->Top() + form->Memo1->Height(), form->ClientHeight() - 41);
  SaveScreenshot(form->Handle(), "restored");
}

}  // namespace
