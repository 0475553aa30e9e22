// The program's start: the dial-up library check, the single instance,
// the splash while the long-lived windows and modules are made, the
// message loop.
#pragma once

#include "classlib/Sysutils.h"

// The box a system without the dial-up library gets.
extern const char* const NoDialupText;
// The mutex that keeps the program to one instance.
extern const char* const InstanceMutexName;

// Runs the program; its exit code.
int NembraMain();
