#include "Peers.h"

#include "Testutil.h"

#include <winsock2.h>

#include <windows.h>
#include <bcrypt.h>
#include <iphlpapi.h>

#include <algorithm>
#include <vector>

TSha256Sum::TSha256Sum() {
  BCRYPT_ALG_HANDLE alg = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0)
    BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0);
  alg_ = alg;
  hash_ = hash;
}

TSha256Sum::~TSha256Sum() {
  if (hash_) BCryptDestroyHash(hash_);
  if (alg_) BCryptCloseAlgorithmProvider(alg_, 0);
}

bool TSha256Sum::Update(const void* p, size_t n) {
  const char* c = static_cast<const char*>(p);
  while (n > 0) {
    ULONG part = static_cast<ULONG>(std::min<size_t>(n, 1u << 30));
    if (!hash_ || BCryptHashData(hash_, reinterpret_cast<PUCHAR>(const_cast<char*>(c)), part, 0) != 0) return false;
    c += part;
    n -= part;
  }
  return true;
}

String TSha256Sum::Hex() {
  UCHAR d[32];
  if (!hash_ || BCryptFinishHash(hash_, d, sizeof d, 0) != 0) return "";
  static const char digits[] = "0123456789abcdef";
  String s;
  for (UCHAR c : d) {
    s += digits[c >> 4];
    s += digits[c & 15];
  }
  return s;
}

String PeerFolder(const String& name) {
  const char* b = std::getenv("NEMBRA_BUILD");
  String s = String("Z:") + (b ? b : "") + "/peers/" + name + "/";
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

std::map<String, TPeerFile> PeerManifest(const String& name) {
  std::map<String, TPeerFile> files;
  HANDLE h = CreateFileA((PeerFolder(name) + "manifest.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return files;
  String text;
  char buf[4096];
  DWORD got;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) text.append(buf, got);
  CloseHandle(h);
  // Lines "HASH SIZE PATH".
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == String::npos) end = text.size();
    String line = text.substr(pos, end - pos);
    pos = end + 1;
    size_t a = line.find(' '), b = a == String::npos ? a : line.find(' ', a + 1);
    if (b == String::npos) continue;
    TPeerFile f;
    f.Sha256 = line.substr(0, a);
    f.Size = _strtoi64(line.substr(a + 1, b - a - 1).c_str(), nullptr, 10);
    files[line.substr(b + 1)] = f;
  }
  return files;
}

String FileSha256(const String& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "";
  TSha256Sum sha;
  std::vector<char> buf(1 << 20);
  DWORD got;
  bool ok = true;
  while ((ok = ReadFile(h, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr)) && got > 0) sha.Update(buf.data(), got);
  CloseHandle(h);
  return ok ? sha.Hex() : "";
}

String Sha256Hex(const String& data) {
  TSha256Sum sha;
  sha.Update(data.data(), data.size());
  return sha.Hex();
}

TNetnsHosts::TNetnsHosts() {
  String file = PeerFolder("netns") + "hosts";
  HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  String text;
  char buf[1024];
  DWORD got;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) text.append(buf, got);
  CloseHandle(h);
  // Lines "name=address".
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == String::npos) end = text.size();
    String line = text.substr(pos, end - pos);
    pos = end + 1;
    size_t eq = line.find('=');
    if (eq == String::npos) continue;
    String name = line.substr(0, eq), value = line.substr(eq + 1);
    if (name == "router") Router = value;
    if (name == "far") FarHost = value;
    if (name == "dropped") Dropped = value;
  }
}

::testing::AssertionResult TNetnsHosts::Ready() const {
  if (Router.empty() || FarHost.empty() || Dropped.empty())
    return ::testing::AssertionFailure() << "the netns test hosts are not set up";
  for (const String& target : {FarHost, Dropped}) {
    MIB_IPFORWARDROW row{};
    if (GetBestRoute(inet_addr(target.c_str()), 0, &row) != NO_ERROR || row.dwForwardNextHop != inet_addr(Router.c_str()))
      return ::testing::AssertionFailure() << "no route to " << target << " through " << Router;
  }
  return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------- host commands

String HostPath(const String& zPath) {
  if (zPath.size() < 3 || (zPath[0] != 'Z' && zPath[0] != 'z') || zPath[1] != ':' || zPath[2] != '\\') return "";
  String p = zPath.substr(2);
  std::replace(p.begin(), p.end(), '\\', '/');
  return p;
}

String ShellQuote(const String& text) {
  String q = "'";
  for (char c : text) q += c == '\'' ? String("'\\''") : String(1, c);
  return q + "'";
}

THostRun RunHostCommand(const String& command, DWORD timeoutMs) {
  static int serial = 0;
  String base = "/tmp/nembra-host-" + IntToStr(static_cast<int64_t>(GetCurrentProcessId())) + "-" + IntToStr(++serial);
  auto windows = [](const String& host) {
    String w = "Z:" + host;
    std::replace(w.begin(), w.end(), '/', '\\');
    return w;
  };
  String script = base + ".sh", out = base + ".out", status = base + ".status";
  THostRun run;
  {
    // The status file is written last, under another name first, so that
    // it is whole once it exists.
    String text = "PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin\nexport PATH\n( " + command +
                  "\n) >" + out + " 2>&1\necho $? >" + status + ".part\nmv " + status + ".part " + status + "\n";
    HANDLE h = CreateFileA(windows(script).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return run;
    DWORD n = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    CloseHandle(h);
  }
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  String line = "Z:\\bin\\sh " + script;
  if (!CreateProcessA("Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    DeleteFileA(windows(script).c_str());
    return run;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  String statusFile = windows(status);
  for (ULONGLONG end = GetTickCount64() + timeoutMs; GetTickCount64() < end;) {
    if (GetFileAttributesA(statusFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
      String code = ReadFileBytes(statusFile);
      run.Status = atoi(code.c_str());
      run.Out = ReadFileBytes(windows(out));
      break;
    }
    Sleep(20);
  }
  for (const String& f : {script, out, status}) DeleteFileA(windows(f).c_str());
  return run;
}
