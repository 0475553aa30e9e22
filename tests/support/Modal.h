// Drives modal windows (the program's modal forms, MessageBox, the common
// dialogs) from inside their own message loop.
//
// Arm a driver before the code that opens the window, give it the steps,
// then run that code:
//
//   TModalDriver modal;
//   modal.Window("Nembra", "#32770").Press("&Yes");
//   form->DeleteSelected();          // shows the box and returns after it
//   EXPECT_EQ(modal.Seen().at(0).Text(), "Delete 2 files?");
//
// This thread's steps run on a thread timer (SetTimer without a window),
// which fires inside any modal loop of this thread; with msAnyProcess they
// run on a helper thread instead and reach the windows of every process
// (winhlp32's boxes). Each step is retried until it succeeds or its time-out
// passes; a step that times out fails the test with what it looked for and
// what there was, and from then on every window that appeared since the
// driver was armed is dismissed (Cancel, or close), so the test never hangs.
// A script still unfinished when the driver ends fails the test too.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "classlib/Sysutils.h"

#include <windows.h>

class TModalDriver {
 public:
  enum TScope {
    msThisThread,  // windows of the thread that made the driver
    msAnyProcess,  // windows of every process, driven from a helper thread
  };
  explicit TModalDriver(DWORD stepTimeoutMs = 5000, TScope scope = msThisThread);
  ~TModalDriver();
  TModalDriver(const TModalDriver&) = delete;
  TModalDriver& operator=(const TModalDriver&) = delete;

  // Waits for an enabled, visible top-level window that appeared since the
  // driver was armed, by caption (SameCaption; "" any) and class ("" any);
  // the steps after it act on that window, and what it shows is recorded.
  TModalDriver& Window(const String& caption, const String& className = "");
  // Sets the text of an edit (or of a combo box's edit): by control id, by
  // the label before it ("File &name:"), or by its index among the edits.
  TModalDriver& SetEdit(int id, const String& text);
  TModalDriver& SetEditAfter(const String& label, const String& text);
  TModalDriver& SetEditAt(int index, const String& text);
  // Selects the entry of a combo box or list box by its text, and tells the
  // parent as a person's choice would (CBN_SELCHANGE, LBN_SELCHANGE).
  TModalDriver& Pick(int id, const String& item);
  // Clicks a check box until it has the state wanted.
  TModalDriver& Check(int id, bool checked = true);
  TModalDriver& Check(const String& caption, bool checked = true);
  // Clicks an enabled button by caption ("OK", "&Yes": SameCaption) or id.
  TModalDriver& Press(const String& caption);
  TModalDriver& Press(int id);
  // A key press (VK_ESCAPE, VK_RETURN) at the focused control of the window.
  TModalDriver& Key(WORD vk);
  // A step of the test's own: called with the window until it returns true
  // (on the helper thread for msAnyProcess).
  TModalDriver& Do(const String& what, std::function<bool(HWND window)> step);

  // What a Window step saw when it found its window.
  struct TSeen {
    String Caption, ClassName;
    std::vector<String> Texts;    // the statics' texts, empty ones left out
    std::vector<String> Buttons;  // the buttons' captions
    String Text() const;          // Texts joined by "\n"
  };
  std::vector<TSeen> Seen() const;

  bool Done() const;    // every step ran
  bool Failed() const;  // a step timed out (reported as a test failure)
  String Error() const;
  // Pumps until the script has run or failed; false when it failed (or did
  // not end within timeoutMs, which fails it).
  bool Finish(DWORD timeoutMs = 10000);

 private:
  struct TStep {
    String what;
    std::function<bool(TModalDriver&, String& why)> run;
    bool acts = false;  // posts input: the next step starts at the next tick
    bool started = false;
    uint64_t start = 0;
  };
  TModalDriver& Add(const String& what, bool acts, std::function<bool(TModalDriver&, String&)> run);
  void Tick();
  void Fail(const String& error);
  void Report();
  void Wake();
  void DismissNew();
  std::vector<HWND> Candidates() const;
  bool HaveWindow(String& why) const;
  HWND Control(int id, String& why) const;
  bool SetText(HWND control, const String& text, String& why);
  static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);

  DWORD stepTimeoutMs_;
  TScope scope_;
  DWORD threadId_;
  std::set<HWND> armed_;  // top-level windows there were when armed
  mutable std::recursive_mutex mutex_;
  std::vector<TStep> steps_;
  size_t next_ = 0;
  HWND window_ = nullptr;
  std::vector<TSeen> seen_;
  bool busy_ = false;
  bool failed_ = false;
  bool reported_ = false;
  String error_;
  uint64_t settleUntil_ = 0;
  UINT_PTR timer_ = 0;
  std::atomic<bool> stop_{false};
  std::thread helper_;
};
