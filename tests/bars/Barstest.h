// What the bars tests share: fakes of the system seam and of the layout
// store, a plain form with a manager, and the start of the bars unit for
// the whole test program.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "bars/Dxbarcontrols.h"
#include "bars/Dxbardefinition.h"

// Thread timers that fire only when a test says so, input state and system
// colours set by the test, hooks recorded instead of installed.
class TFakeBarSystem : public TdxBarSystem {
 public:
  struct TTimer {
    UINT_PTR Id;
    UINT Elapse;
    TIMERPROC Proc;
    bool Live;
  };
  UINT_PTR SetTimer(UINT elapse, TIMERPROC proc) override;
  void KillTimer(UINT_PTR id) override;
  SHORT GetAsyncKeyState(int key) override { return Down(key) ? SHORT(0x8000) : 0; }
  SHORT GetKeyState(int key) override { return Down(key) ? SHORT(0x8000) : 0; }
  TPoint GetCursorPos() override { return Cursor; }
  COLORREF GetSysColor(int index) override;
  HHOOK SetHook(int idHook, HOOKPROC proc) override;
  void RemoveHook(HHOOK hook) override;

  // Live timers of this interval.
  int LiveTimers(UINT elapse) const;
  // Fires the newest live timer of this interval; false when there is none.
  bool Fire(UINT elapse);
  bool Down(int key) const { return KeysDown.count(key) && KeysDown.at(key); }

  std::vector<TTimer> Timers;
  std::map<int, bool> KeysDown;
  TPoint Cursor{-1, -1};
  std::map<int, COLORREF> Colors;  // the real colour for the others
  std::vector<String> HookCalls;   // "set 2", "remove 4" (hook ids)

 private:
  UINT_PTR nextTimer_ = 1;
  std::map<HHOOK, int> hooks_;
  UINT_PTR nextHook_ = 0x1000;
};

// Installs a fake system for the lifetime of the object.
class TScopedBarSystem {
 public:
  TScopedBarSystem() : previous_(dxBarSetSystem(&System)) {}
  ~TScopedBarSystem() { dxBarSetSystem(previous_); }
  TScopedBarSystem(const TScopedBarSystem&) = delete;
  TScopedBarSystem& operator=(const TScopedBarSystem&) = delete;
  TFakeBarSystem System;

 private:
  TdxBarSystem* previous_;
};

// Records the layout-store calls: "registry <path>", "ini <file>".
class TRecordingStore : public TdxBarLayoutStore {
 public:
  void LoadFromRegistry(TdxBarManager*, const String& path) override { Calls.push_back("registry " + path); }
  void LoadFromIniFile(TdxBarManager*, const String& file) override { Calls.push_back("ini " + file); }
  std::vector<String> Calls;
};

// A form with a manager made in code, not loading.
class TBarsForm : public TForm {
 public:
  explicit TBarsForm(TComponent* owner = nullptr) : TForm(owner) {
    EndLoading();
    Manager = new TdxBarManager(this);
    Manager->SetName("Bar1");
  }
  TdxBarButton* Button(const String& name, const String& caption = String());
  TdxBarSubItem* SubItem(const String& name, const String& caption = String());
  TdxBar* AddBar(const String& caption);
  TdxBarManager* Manager;
};

// The lines of the stand-ins' log that start with who.
std::vector<String> CallsOf(const String& who);
