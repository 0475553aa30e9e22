#include "Stoswindow.h"

namespace {
TStoSWindowFactory gStoSFactory = nullptr;
}  // namespace

TStoSWindowFactory StoSWindowFactory() { return gStoSFactory; }

TStoSWindowFactory SetStoSWindowFactory(TStoSWindowFactory factory) {
  TStoSWindowFactory old = gStoSFactory;
  gStoSFactory = factory;
  return old;
}
