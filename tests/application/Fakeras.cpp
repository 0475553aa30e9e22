#include "Fakeras.h"

#include <algorithm>
#include <cstring>

using namespace ras;

namespace {

TFakeRas* gFake = nullptr;

String Hex(const void* p) {
  char text[32];
  snprintf(text, sizeof text, "%p", p);
  return text;
}

template <size_t N>
void Put(CHAR (&field)[N], const String& text) {
  size_t n = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

}  // namespace

TFakeRas& FakeRas() { return *gFake; }

struct TFakeRasCalls {
  static DWORD WINAPI EnumConnections(RASCONN* conns, DWORD* bytes, DWORD* count) {
    TFakeRas& f = FakeRas();
    f.Calls.push_back("RasEnumConnectionsA size=" + IntToStr(conns ? conns[0].dwSize : 0) +
                      " bytes=" + IntToStr(*bytes));
    if (f.EnumConnectionsResult) return f.EnumConnectionsResult;
    DWORD need = static_cast<DWORD>(f.Connections.size() * sizeof(RASCONN));
    *count = 0;
    if (*bytes < need) {
      *bytes = need;
      *count = static_cast<DWORD>(f.Connections.size());
      return ERROR_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0; i < f.Connections.size(); ++i) {
      RASCONN& c = conns[i];
      c.dwSize = sizeof(RASCONN);
      c.hrasconn = f.Connections[i].Handle;
      Put(c.szEntryName, f.Connections[i].Entry);
      Put(c.szDeviceType, "modem");
      Put(c.szDeviceName, "Fake Modem");
    }
    *bytes = need;
    *count = static_cast<DWORD>(f.Connections.size());
    return 0;
  }

  static DWORD WINAPI ConnectStatus(HRASCONN conn, RASCONNSTATUS* status) {
    TFakeRas& f = FakeRas();
    f.Calls.push_back("RasGetConnectStatusA " + Hex(conn) + " size=" + IntToStr(status->dwSize));
    for (const TFakeConnection& c : f.Connections)
      if (c.Handle == conn) {
        if (c.StatusResult) return c.StatusResult;
        status->rasconnstate = c.State;
        status->dwError = 0;
        return 0;
      }
    return ERROR_INVALID_HANDLE;
  }

  static DWORD WINAPI EnumEntries(LPCSTR, LPCSTR phonebook, RASENTRYNAME* entries, DWORD* bytes, DWORD* count) {
    TFakeRas& f = FakeRas();
    f.Calls.push_back("RasEnumEntriesA size=" + IntToStr(entries ? entries[0].dwSize : 0) +
                      " bytes=" + IntToStr(*bytes) + (phonebook ? " phonebook" : ""));
    if (f.EnumEntriesResult) return f.EnumEntriesResult;
    DWORD need = static_cast<DWORD>(f.Entries.size() * sizeof(RASENTRYNAME));
    *count = 0;
    if (*bytes < need) {
      *bytes = need;
      *count = static_cast<DWORD>(f.Entries.size());
      return ERROR_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0; i < f.Entries.size(); ++i) {
      entries[i].dwSize = sizeof(RASENTRYNAME);
      Put(entries[i].szEntryName, f.Entries[i].Name);
    }
    *bytes = need;
    *count = static_cast<DWORD>(f.Entries.size());
    return 0;
  }

  static DWORD WINAPI EntryDialParams(LPCSTR, RASDIALPARAMS* params, BOOL* password) {
    TFakeRas& f = FakeRas();
    String name(params->szEntryName, strnlen(params->szEntryName, sizeof params->szEntryName));
    f.Calls.push_back("RasGetEntryDialParamsA " + name + " size=" + IntToStr(params->dwSize));
    for (const TFakeEntry& e : f.Entries)
      if (e.Name == name) {
        if (e.ParamsResult) return e.ParamsResult;
        Put(params->szPhoneNumber, e.Phone);
        Put(params->szCallbackNumber, e.Callback);
        Put(params->szUserName, e.User);
        Put(params->szPassword, e.Password);
        Put(params->szDomain, e.Domain);
        *password = !e.Password.empty();
        return 0;
      }
    return 623;
  }

  static DWORD WINAPI Dial(void*, LPCSTR, RASDIALPARAMS* params, DWORD type, void* notifier, HRASCONN* conn) {
    TFakeRas& f = FakeRas();
    f.Calls.push_back("RasDialA size=" + IntToStr(params->dwSize) + " notifier=" + IntToStr(type));
    f.Dialled.push_back(*params);
    if (f.DialResult) {
      *conn = f.RefusedHandle;
      return f.DialResult;
    }
    *conn = f.DialHandle;
    if (f.player_.joinable()) f.player_.join();
    {
      std::lock_guard<std::mutex> lock(f.mutex_);
      f.played_ = false;
    }
    auto fn = reinterpret_cast<RASDIALFUNC1>(notifier);
    f.player_ = std::thread([&f, fn] { f.Play(fn); });
    return 0;
  }

  static DWORD WINAPI HangUp(HRASCONN conn) {
    TFakeRas& f = FakeRas();
    f.Calls.push_back("RasHangUpA " + Hex(conn));
    f.HangUps.push_back(conn);
    f.Release();
    return f.HangUpResult;
  }

  static DWORD WINAPI ErrorString(UINT code, LPSTR text, DWORD size) {
    TFakeRas& f = FakeRas();
    f.Calls.push_back("RasGetErrorStringA " + IntToStr(code) + " size=" + IntToStr(size));
    for (const auto& [c, t] : f.ErrorTexts)
      if (c == code) {
        if (t.size() >= size) return ERROR_INSUFFICIENT_BUFFER;
        std::memcpy(text, t.c_str(), t.size() + 1);
        return 0;
      }
    return ERROR_INVALID_PARAMETER;
  }

  static DWORD WINAPI Edit(HWND, LPCSTR phonebook, LPCSTR entry) {
    TFakeRas& f = FakeRas();
    f.Calls.push_back(String("RasEditPhonebookEntryA ") + entry + (phonebook ? " phonebook" : ""));
    f.Edited.push_back(entry);
    return f.EditResult;
  }

  static DWORD WINAPI Create(HWND, LPCSTR phonebook) {
    TFakeRas& f = FakeRas();
    f.Calls.push_back(String("RasCreatePhonebookEntryA") + (phonebook ? " phonebook" : ""));
    ++f.Created;
    return f.CreateResult;
  }
};

const TRasApi TFakeRas::Table = {
    TFakeRasCalls::EnumConnections, TFakeRasCalls::ConnectStatus, TFakeRasCalls::EnumEntries,
    TFakeRasCalls::EntryDialParams, TFakeRasCalls::Dial,          TFakeRasCalls::HangUp,
    TFakeRasCalls::ErrorString,     TFakeRasCalls::Edit,          TFakeRasCalls::Create,
};

void TFakeRas::Play(RASDIALFUNC1 notifier) {
  for (size_t i = 0; i < Notes.size(); ++i) {
    if (i == HoldBefore) {
      std::unique_lock<std::mutex> lock(mutex_);
      // A test that never releases still ends: the hold gives up after 10 s.
      released_.wait_for(lock, std::chrono::seconds(10), [this] { return release_; });
    }
    Sleep(2);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      NotifierThreads.push_back(GetCurrentThreadId());
    }
    notifier(DialHandle, 0, Notes[i].State, Notes[i].Error, 0);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  played_ = true;
  released_.notify_all();
}

void TFakeRas::Release() {
  std::lock_guard<std::mutex> lock(mutex_);
  release_ = true;
  released_.notify_all();
}

bool TFakeRas::WaitPlayed(DWORD timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return released_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return played_; });
}

int TFakeRas::CountCalls(const String& function) const {
  return static_cast<int>(std::count_if(Calls.begin(), Calls.end(), [&](const String& c) {
    return c.compare(0, function.size(), function) == 0 &&
           (c.size() == function.size() || c[function.size()] == ' ');
  }));
}

TFakeRas::~TFakeRas() {
  Release();
  if (player_.joinable()) player_.join();
}

TScopedFakeRas::TScopedFakeRas() : fake_(new TFakeRas) {
  gFake = fake_;
  previous_ = SetRasApi(&TFakeRas::Table);
}

TScopedFakeRas::~TScopedFakeRas() {
  SetRasApi(previous_);
  delete fake_;
  gFake = nullptr;
}
