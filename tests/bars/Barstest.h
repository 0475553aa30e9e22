// What the bars tests share: fakes of the system seam and of the layout
// store, a plain form with a manager, and the start of the bars unit and
// its extended items for the whole test program.
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
  void GetKeyboardState(BYTE state[256]) override;
  TPoint GetCursorPos() override { return Cursor; }
  COLORREF GetSysColor(int index) override;
  HHOOK SetHook(int idHook, HOOKPROC proc) override;
  void RemoveHook(HHOOK hook) override;
  double Today() override { return TodayDate; }

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
  TDateTime TodayDate = EncodeDate(2024, 9, 4);  // a Wednesday

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

// Steps run by a window's messages, posted in order with the input.
class TScript {
 public:
  TScript() {
    wnd_ = AllocateHWnd([this](TMessage& m) {
      if (m.Msg == kStep && m.WParam < steps_.size()) {
        steps_[m.WParam]();
        m.Result = 0;
        return;
      }
      m.Result = DefWindowProcA(wnd_, m.Msg, m.WParam, m.LParam);
    });
  }
  ~TScript() { DeallocateHWnd(wnd_); }
  void Do(std::function<void()> step) {
    steps_.push_back(std::move(step));
    PostMessageA(wnd_, kStep, steps_.size() - 1, 0);
  }
  void Post(UINT msg, WPARAM w = 0) { PostMessageA(wnd_, msg, w, 0); }

 private:
  static constexpr UINT kStep = WM_USER + 5;
  HWND wnd_;
  std::vector<std::function<void()>> steps_;
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

// The width of text in a bar window's font.
int BarTextWidth(TCustomdxBarControl* bar, const String& text);

// Puts control classes in place of the registered ones for the scope.
class TScopedControlClass {
 public:
  TScopedControlClass(TdxBarItemClass item, TdxBarItemControlClass control)
      : item_(item), old_(dxBarReplaceItemControl(item, control)) {}
  ~TScopedControlClass() { dxBarReplaceItemControl(item_, old_); }
  TScopedControlClass(const TScopedControlClass&) = delete;
  TScopedControlClass& operator=(const TScopedControlClass&) = delete;

 private:
  TdxBarItemClass item_;
  TdxBarItemControlClass old_;
};

// A button control that counts the notifications it hears.
class TCountingButtonControl : public TdxBarButtonControl {
 public:
  using TdxBarButtonControl::TdxBarButtonControl;
  DX_BAR_CONTROL_CLASS();
  void CaptionChanged() override;
  void EnabledChanged() override;
  static std::map<String, int>& Counts();
};
