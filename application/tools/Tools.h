// The opener of every network tool's window, installed by the program's start.
#pragma once

#include "application/frame/Toolwindow.h"

void ShowToolWindow(TToolWindow tool);
