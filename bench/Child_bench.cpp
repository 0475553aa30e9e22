// The connection window under load, in process with the main window: open
// in another folder, it changes into a folder of many entries (CWD, PWD,
// LIST, parse, both lists filled), lists it again (the previous rows
// cleared first), downloads a large file, and (given BATCHDIR) makes a
// batch download of a folder tree.
// Meanwhile a thread posts a message to the main window every 10 ms; the
// worst delay between posting and handling tells whether the program kept
// answering.
//   child_bench.exe HOST PORT USER PASS LISTDIR BIGDIR BIGNAME LOCALDIR [ENTRIES [BATCHDIR]]
// (LISTDIR, BIGDIR and BATCHDIR as the server names them; LOCALDIR a
// Windows path; ENTRIES the rows LISTDIR holds, 100000 by default; the
// batch download goes into LOCALDIR\batch). The bars, the layout
// store and the frame's seams are started as the program's start does.
// Prints "RESULT step seconds worst-delay-ms items-or-bytes" for each of
// list, relist, download and batch (files written), or "FAILED text"; bench/childcompare.sh runs
// it beside curl.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "application/Startup.h"
#include "application/connections/Child.h"
#include "application/frame/Main.h"
#include "application/frame/Regdataunit.h"

namespace {

constexpr UINT WM_PROBE = WM_APP + 7;

double Now() {
  LARGE_INTEGER c, f;
  QueryPerformanceCounter(&c);
  QueryPerformanceFrequency(&f);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// Message boxes are printed and answered at once: nobody watches. A batch
// goes on.
class TPrintedDialogs : public TSystemDialogs {
 public:
  int MessageBox(HWND, const String& text, const String& caption, UINT) override {
    std::printf("box %s: %s\n", caption.c_str(), text.c_str());
    return caption == "Continue?" ? IDYES : IDNO;
  }
};

// The files below a folder.
int64_t FilesBelow(const String& folder) {
  int64_t n = 0;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    String name = fd.cFileName;
    if (name == "." || name == "..") continue;
    n += (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FilesBelow(folder + "\\" + name) : 1;
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return n;
}

// The probe: posting times go in lParam (QueryPerformanceCounter ticks).
WNDPROC gOldProc = nullptr;
std::atomic<double> gWorst{0};
std::atomic<int> gProbes{0};

LRESULT CALLBACK ProbeProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PROBE) {
    LARGE_INTEGER c, f;
    QueryPerformanceCounter(&c);
    QueryPerformanceFrequency(&f);
    double delay = static_cast<double>(c.QuadPart - lp) * 1000.0 / static_cast<double>(f.QuadPart);
    if (delay > gWorst) gWorst = delay;
    if (delay > 50) std::printf("slow probe %.1f ms at %.3f\n", delay, std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count());
    ++gProbes;
    return 0;
  }
  return CallWindowProcA(gOldProc, wnd, msg, wp, lp);
}

class TProber {
 public:
  explicit TProber(HWND wnd) : wnd_(wnd) {
    thread_ = std::thread([this] {
      while (!stop_) {
        LARGE_INTEGER c;
        QueryPerformanceCounter(&c);
        PostMessageA(wnd_, WM_PROBE, 0, static_cast<LPARAM>(c.QuadPart));
        Sleep(10);
      }
    });
  }
  ~TProber() {
    stop_ = true;
    thread_.join();
  }

 private:
  HWND wnd_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

bool Idle(TFormMdi* child) {
  return !child->Busy() && !child->ListingPending() && child->Ftp1->ClientState() == ftpReady;
}

// Runs step while probing; false when it did not end in time.
bool Measure(HWND main, const char* name, int64_t& amount, const std::function<bool()>& start,
             const std::function<bool()>& done, const std::function<int64_t()>& result) {
  gWorst = 0;
  gProbes = 0;
  double t0, t1;
  {
    TProber prober(main);
    t0 = Now();
    if (!start()) return false;
    if (PumpUntil(done, DeadlineAfter(600000)) != prDone) return false;
    t1 = Now();
    // The probes posted meanwhile are handled too.
    PumpUntil(nullptr, kPumpQueued);
  }
  amount = result();
  std::printf("RESULT %s %.3f %.1f %lld (%d probes)\n", name, t1 - t0, gWorst.load(), static_cast<long long>(amount),
              gProbes.load());
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 9) {
    std::fprintf(stderr, "usage: child_bench HOST PORT USER PASS LISTDIR BIGDIR BIGNAME LOCALDIR [ENTRIES]\n");
    return 2;
  }
  const int64_t entries = argc > 9 ? std::atoll(argv[9]) : 100000;
  Application->Initialize();
  Application->Title = "NembraBench-" + IntToStr(GetCurrentProcessId());
  TPrintedDialogs dialogs;
  SetSystemDialogs(&dialogs);
  TProgramUnits units;
  TReg::WriteBool(SettingsSection, "Lanline", true);
  DirParser = new TDirParser(Application);

  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  String profiles = String(temp) + "child_bench_accounts.dat";
  {
    TMemIniFile ini(profiles);
    const char* batchDir = argc > 10 ? argv[10] : argv[6];
    for (auto [name, dir] : {std::pair<const char*, const char*>{"List", argv[6]}, std::pair<const char*, const char*>{"Big", argv[6]},
                             std::pair<const char*, const char*>{"Batch", batchDir}}) {
      ini.WriteString(name, "HostName", argv[1]);
      ini.WriteString(name, "Port", argv[2]);
      ini.WriteString(name, "UserName", argv[3]);
      ini.WriteString(name, "PassWord", argv[4]);
      ini.WriteString(name, "Passive", "1");
      ini.WriteString(name, "StartDir", dir);
    }
    ini.UpdateFile();
  }
  auto* form = new TFormMain(Application, profiles);
  form->SetWindowState(wsMaximized);
  form->Show();
  form->SelectLocalFolder(argv[8]);
  ProcessQueuedMessages();
  HWND main = form->Handle();
  gOldProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ProbeProc)));

  int rc = 0;
  int64_t amount = 0;
  TFormMdi* child = nullptr;
  auto items = [&] { return static_cast<int64_t>(child->RemoteFiles->Items()->Count()); };
  auto idle = [&] { return child && Idle(child); };
  // The list: a window open in the folder above changes into the big one
  // (CWD, PWD, LIST, parse, both lists filled).
  form->OpenConnection("List");
  child = dynamic_cast<TFormMdi*>(FormMdi);
  if (!child || PumpUntil(idle, DeadlineAfter(60000)) != prDone) {
    std::printf("FAILED login\n");
    return 1;
  }
  // The rest of the login chain, from a given request on.
  auto chain = [&](bool cwd) {
    child->BeginBusy();
    child->Ftp1->OnRequestDone = {child, &TFormMdi::Ftp1RequestDone};
    if (cwd) {
      child->Ftp1->SetHostDirName(argv[5]);
      child->Ftp1->CwdAsync();
    } else {
      child->Ftp1->PwdAsync();
    }
    return true;
  };
  bool ok = Measure(main, "list", amount, [&] { return chain(true); }, idle, items);
  // Again: the rows of the first listing go first.
  ok = ok && Measure(main, "relist", amount, [&] { return chain(false); }, idle, items);
  if (!ok || amount < entries) {
    if (child)
      for (int i = std::max(0, child->LogLines->Count() - 15); i < child->LogLines->Count(); ++i)
        std::printf("log: %s\n", child->LogLines->Get(i).c_str());
    std::printf("FAILED listing: %lld items\n", static_cast<long long>(amount));
    rc = 1;
  }
  form->CloseAllChildren();
  ProcessQueuedMessages();

  // The download, in a window of its own.
  String target = String(argv[8]) + "\\" + argv[7];
  DeleteFileA(target.c_str());
  if (rc == 0) {
    form->OpenConnection("Big");
    child = dynamic_cast<TFormMdi*>(FormMdi);
    PumpUntil(idle, DeadlineAfter(60000));
    for (int i = 0; i < child->RemoteFiles->Items()->Count(); ++i) {
      TListItem* it = child->RemoteFiles->Items()->Item(i);
      it->SetSelected(it->Caption() == argv[7]);
    }
    ok = Measure(main, "download", amount, [&] {
      child->DownloadSelected();
      return child->Busy();
    }, idle, [&] { return FileSizeOf(target); });
    if (!ok) {
      std::printf("FAILED download\n");
      rc = 1;
    }
    std::printf("log tail: %s\n", child->LogLines->Count() ? child->LogLines->Get(child->LogLines->Count() - 1).c_str() : "");
    form->CloseAllChildren();
    ProcessQueuedMessages();
    DeleteFileA(target.c_str());
  }

  // The batch download, in a window of its own, into a folder of its own.
  if (rc == 0 && argc > 10) {
    String into = String(argv[8]) + "\\batch";
    ForceDirectories(into);
    form->SelectLocalFolder(into);
    form->OpenConnection("Batch");
    child = dynamic_cast<TFormMdi*>(FormMdi);
    PumpUntil(idle, DeadlineAfter(60000));
    ok = Measure(main, "batch", amount, [&] {
      child->BatchDownload();
      return child->Busy();
    }, idle, [&] { return FilesBelow(into); });
    if (!ok || !child->LogLines->Count() ||
        child->LogLines->Get(child->LogLines->Count() - 1) != "Completed batch download operation") {
      for (int i = std::max(0, child->LogLines->Count() - 15); i < child->LogLines->Count(); ++i)
        std::printf("log: %s\n", child->LogLines->Get(i).c_str());
      std::printf("FAILED batch download\n");
      rc = 1;
    }
    form->CloseAllChildren();
    ProcessQueuedMessages();
  }
  SetWindowLongPtrA(main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gOldProc));
  form->Free();
  DeleteFileA(profiles.c_str());
  TRegistry r;
  r.DeleteKey(TReg::GetKeyPath());
  return rc;
}
