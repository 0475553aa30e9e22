#include "Frameservices.h"

namespace {
TFrameServices* gServices = nullptr;
}

TFrameServices* FrameServices() { return gServices; }

TFrameServices* SetFrameServices(TFrameServices* s) {
  TFrameServices* old = gServices;
  gServices = s;
  return old;
}

TFrameServices& Frame() {
  if (!gServices) throw EInvalidOperation("The main window is not there");
  return *gServices;
}
