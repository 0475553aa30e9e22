#include "Toolwindow.h"

namespace {
TToolWindowOpener gToolOpener = nullptr;
}  // namespace

TToolWindowOpener ToolWindowOpener() { return gToolOpener; }

TToolWindowOpener SetToolWindowOpener(TToolWindowOpener opener) {
  TToolWindowOpener old = gToolOpener;
  gToolOpener = opener;
  return old;
}
