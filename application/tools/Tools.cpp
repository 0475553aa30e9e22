#include "Tools.h"

#include "Dnsqry.h"
#include "Fingerclient.h"
#include "Lookup.h"
#include "Pingunit.h"
#include "Validurl.h"

void ShowToolWindow(TToolWindow tool) {
  switch (tool) {
    case TToolWindow::Dns: ShowDnsTool(); break;
    case TToolWindow::Ping: ShowPingTool(); break;
    case TToolWindow::UrlInfo: ShowUrlTool(); break;
    case TToolWindow::Finger: ShowFingerTool(); break;
    case TToolWindow::Lookup: ShowLookupTool(); break;
  }
}
