// One FTP transfer measurement with TFtpClient, set up as the connection
// window sets it up (wsoNoReceiveLoop on both sockets, send blocks of 1514
// bytes), driven through the blocking calls:
//   ftpcli_bench.exe get  passive|active HOST PORT USER PASS REMOTE LOCAL
//   ftpcli_bench.exe put  passive|active HOST PORT USER PASS LOCAL REMOTE
//   ftpcli_bench.exe many passive|active HOST PORT USER PASS REMOTEDIR COUNT LOCALDIR
//        (COUNT files fNNNN.bin of REMOTEDIR, one connection)
//   ftpcli_bench.exe list passive|active HOST PORT USER PASS REMOTEDIR LOCAL
// Prints "RESULT seconds cpu-seconds bytes" for the measured part (after the
// login), or "FAILED text"; bench/ftpcompare.sh runs it beside curl and lftp.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "protocols/Ftpcli.h"

namespace {

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto secs = [](const FILETIME& f) {
    return static_cast<double>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
  };
  return secs(kernel) + secs(user);
}

double WallSeconds() {
  LARGE_INTEGER c, f;
  QueryPerformanceCounter(&c);
  QueryPerformanceFrequency(&f);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

int Fail(TFtpClient* ftp, const char* what) {
  std::printf("FAILED %s: %s\n", what, ftp->ErrorMessage().c_str());
  return 1;
}

int Usage() {
  std::fprintf(stderr, "usage: ftpcli_bench get|put|many|list passive|active HOST PORT USER PASS ARGS...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 9) return Usage();
  const String mode = argv[1];
  TComponent owner(nullptr);
  auto* ftp = new TFtpClient(&owner);
  ftp->SetHostName(argv[3]);
  ftp->SetPort(argv[4]);
  ftp->SetUserName(argv[5]);
  ftp->SetPassWord(argv[6]);
  ftp->SetPassive(std::strcmp(argv[2], "passive") == 0);
  ftp->SetTimeout(60);
  ftp->SetShareMode(ftpShareDenyNone);
  for (TWSocket* s : {ftp->CommandSocket(), ftp->TransferSocket()}) {
    s->SetComponentOptions(s->ComponentOptions() + wsoNoReceiveLoop);
    s->SetSendBlockSize(1514);
  }
  if (!ftp->Connect()) return Fail(ftp, "login");
  if (!ftp->TypeBinary()) return Fail(ftp, "TYPE I");

  int64_t bytes = 0;
  const double cpu0 = ProcessCpuSeconds(), t0 = WallSeconds();
  if (mode == "get" || mode == "put") {
    const bool get = mode == "get";
    ftp->SetHostFileName(argv[get ? 7 : 8]);
    ftp->SetLocalFileName(argv[get ? 8 : 7]);
    if (!(get ? ftp->Get() : ftp->Put())) return Fail(ftp, argv[1]);
    bytes = ftp->ByteCount();
  } else if (mode == "many") {
    if (argc < 10) return Usage();
    ftp->SetHostDirName(argv[7]);
    if (!ftp->Cwd()) return Fail(ftp, "CWD");
    const int count = std::atoi(argv[8]);
    for (int i = 0; i < count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "f%04d.bin", i);
      ftp->SetHostFileName(name);
      ftp->SetLocalFileName(String(argv[9]) + "\\" + name);
      if (!ftp->Get()) return Fail(ftp, name);
      bytes += ftp->ByteCount();
    }
  } else if (mode == "list") {
    ftp->SetHostFileName(argv[7]);
    ftp->SetLocalFileName(argv[8]);
    if (!ftp->Dir()) return Fail(ftp, "LIST");
    bytes = ftp->ByteCount();
  } else {
    return Usage();
  }
  const double seconds = WallSeconds() - t0, cpu = ProcessCpuSeconds() - cpu0;
  ftp->Quit();
  std::printf("RESULT %.3f %.3f %lld\n", seconds, cpu, static_cast<long long>(bytes));
  return 0;
}
