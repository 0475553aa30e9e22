#include "Connectionwindow.h"

TConnectionWindow* FormMdi = nullptr;

namespace {
TConnectionWindowFactory gFactory = nullptr;
}

TConnectionWindowFactory ConnectionWindowFactory() { return gFactory; }

TConnectionWindowFactory SetConnectionWindowFactory(TConnectionWindowFactory factory) {
  TConnectionWindowFactory old = gFactory;
  gFactory = factory;
  return old;
}
