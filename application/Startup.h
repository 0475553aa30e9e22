// The program's start: the dial-up library check, the single instance,
// the splash while the long-lived windows and modules are made, the
// message loop.
#pragma once

#include "bars/Dxbarstore.h"
#include "bars/extitems/Dxbarextitems.h"
#include "classlib/Sysutils.h"

// The box a system without the dial-up library gets.
extern const char* const NoDialupText;
// The mutex that keeps the program to one instance.
extern const char* const InstanceMutexName;

// What the program's windows need around them, for the lifetime of the
// object: the bars with their extended items, the bars' layout store (the
// main window's bars load their layout as it is made and save it as its
// window goes), and the windows the frame opens through its seams
// (connection, site to site, permissions, tools). The program's run holds
// one; so does anything else that makes the main window the way it does.
class TProgramUnits {
 public:
  TProgramUnits();
  ~TProgramUnits();
  TProgramUnits(const TProgramUnits&) = delete;
  TProgramUnits& operator=(const TProgramUnits&) = delete;

 private:
  TdxBarExtItemsUnit bars_;
  TdxBarLayoutStore* previousStore_;
};

// Runs the program; its exit code.
int NembraMain();
