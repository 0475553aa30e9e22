// Shared by the tests of the shell list and the shell tree: a clock the
// tests move by hand, forms with the controls, the folders they show and
// readers of what the windows show.
#pragma once

#include <functional>
#include <map>
#include <set>

#include "Shelltest.h"
#include "classlib/Forms.h"
#include "shellctl/Uptshellcontrols.h"

// A clock that moves only when told: Advance fires the timers that are due,
// in the order they fall due.
class TManualClock : public TPTShClock {
 public:
  DWORD TickCount() override { return now_; }
  void Start(TPTShTimer* timer, UINT ms) override { due_[timer] = now_ + ms; }
  void Stop(TPTShTimer* timer) override { due_.erase(timer); }
  void Advance(DWORD ms);
  bool Armed(TPTShTimer* timer) const { return due_.count(timer) > 0; }

 private:
  DWORD now_ = 100000;
  std::map<TPTShTimer*, DWORD> due_;
};

// The clock in place for a scope.
class TScopedClock {
 public:
  TScopedClock() { previous_ = SetPTShClock(&Clock); }
  ~TScopedClock() { SetPTShClock(previous_ == &Clock ? nullptr : previous_); }
  TManualClock Clock;

 private:
  TPTShClock* previous_;
};

// No details provider for any folder (the four default columns) for a scope.
class TScopedNoDetails {
 public:
  TScopedNoDetails() {
    SetPTShDetailsProvider([](IShellFolder*) { return TComPtr<IShellDetails>(); });
  }
  ~TScopedNoDetails() { SetPTShDetailsProvider(nullptr); }
};

// The registry value "DirectoryCols" for a scope (absent for an empty
// value), and the saved column state cleared at both ends.
class TScopedDirectoryCols {
 public:
  explicit TScopedDirectoryCols(const std::string& bytes = std::string());
  ~TScopedDirectoryCols();
};

// Counts the calls of the exception hook for a scope.
class TScopedExceptionHook {
 public:
  TScopedExceptionHook();
  ~TScopedExceptionHook();
  std::vector<String> Messages;

 private:
  TExceptionEvent previous_;
};

// A form with a tree beside a report list (as the main window's local
// pane) or with one of them; the controls are made unlinked, with
// DynamicRefresh as asked.
class TShellForm : public TForm {
 public:
  enum TKind { kList, kTree, kPane };
  TShellForm(TKind kind, const String& caption, bool dynamicRefresh = false);
  TPTShellTree* Tree = nullptr;
  TPTShellList* List = nullptr;
  // Fires of OnFillStart of each.
  int ListFills = 0;
  int TreeFills = 0;

 private:
  void ListFill(TObject*) { ++ListFills; }
  void TreeFill(TObject*) { ++TreeFills; }
};

// What the list's window shows.
String ItemText(TPTCustomShellList* list, int item, int subItem, int bufferSize = 260);
std::vector<String> Captions(TPTCustomShellList* list);
std::set<String> CaptionSet(TPTCustomShellList* list);
UINT ItemState(TPTCustomShellList* list, int item, UINT mask);
int IndexOfCaption(TPTCustomShellList* list, const String& caption);
// The texts of a node's children.
std::vector<String> ChildTexts(TTreeNode* node);
TTreeNode* ChildByText(TTreeNode* node, const String& text);
// The button of a node as the window has it.
bool HasButton(TPTCustomShellTree* tree, TTreeNode* node);

// A file with data, optionally hidden.
void MakeFile(const String& path, const String& data = "x", bool hidden = false);
