// A scripted stand-in for rasapi32: it answers from the script below,
// records every call with its record size and fields, and plays a dial's
// notifications from a thread of its own.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "application/frame/Rasdlr.h"

struct TFakeConnection {
  ras::HRASCONN Handle;
  String Entry;
  ras::RASCONNSTATE State = ras::RASCS_Connected;
  DWORD StatusResult = 0;  // RasGetConnectStatusA's answer
};

struct TFakeEntry {
  String Name;
  String Phone, Callback, User, Password, Domain;
  DWORD ParamsResult = 0;  // RasGetEntryDialParamsA's answer
};

struct TDialNote {
  ras::RASCONNSTATE State;
  DWORD Error;
};

class TFakeRas {
 public:
  // The script.
  std::vector<TFakeConnection> Connections;
  DWORD EnumConnectionsResult = 0;  // a failure instead of the list
  std::vector<TFakeEntry> Entries;
  DWORD EnumEntriesResult = 0;
  DWORD DialResult = 0;
  ras::HRASCONN DialHandle = reinterpret_cast<ras::HRASCONN>(0x5150);  // what a dial that starts hands out
  ras::HRASCONN RefusedHandle = nullptr;  // what a refused dial hands out
  std::vector<TDialNote> Notes;  // played after a dial that started
  size_t HoldBefore = SIZE_MAX;  // the player waits for Release() before this note
  DWORD HangUpResult = 0;
  DWORD EditResult = 0;
  DWORD CreateResult = 0;
  // RasGetErrorStringA's texts; another code fails and leaves the buffer.
  std::vector<std::pair<UINT, String>> ErrorTexts;

  // What was called: "RasEnumConnectionsA size=424 bytes=424" and so on.
  std::vector<String> Calls;
  std::vector<ras::RASDIALPARAMS> Dialled;  // each dial's record as passed
  std::vector<ras::HRASCONN> HangUps;
  std::vector<String> Edited;               // the entries of RasEditPhonebookEntryA
  int Created = 0;
  std::vector<DWORD> NotifierThreads;       // the thread of each notification

  int CountCalls(const String& function) const;
  // Lets the player go on past HoldBefore.
  void Release();
  // Waits until every note was played (true), at most timeoutMs.
  bool WaitPlayed(DWORD timeoutMs = 5000);

  static const TRasApi Table;

 private:
  friend struct TFakeRasCalls;
  void Play(ras::RASDIALFUNC1 notifier);
  std::mutex mutex_;
  std::condition_variable released_;
  bool release_ = false;
  bool played_ = true;
  std::thread player_;

 public:
  ~TFakeRas();
};

// The fake of the running test (installed by TScopedFakeRas).
TFakeRas& FakeRas();

// Installs a fresh fake for the lifetime of the object.
class TScopedFakeRas {
 public:
  TScopedFakeRas();
  ~TScopedFakeRas();
  TScopedFakeRas(const TScopedFakeRas&) = delete;
  TScopedFakeRas& operator=(const TScopedFakeRas&) = delete;
  TFakeRas& operator*() { return *fake_; }
  TFakeRas* operator->() { return fake_; }

 private:
  TFakeRas* fake_;
  const TRasApi* previous_;
};
