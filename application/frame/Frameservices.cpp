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
