#include "Regdataunit.h"

#include <algorithm>
#include <climits>

#include "classlib/Forms.h"

const char SettingsSection[] = "Settings";

TReg* Reg = nullptr;

namespace {
// Opens the key of a section for reading; a missing key is not made, and
// every read then finds nothing.
void OpenForRead(TRegistry& r, const String& section) { r.OpenKeyReadOnly(TReg::GetKeyPath() + section); }

void OpenForWrite(TRegistry& r, const String& section, const String& name) {
  if (!r.OpenKey(TReg::GetKeyPath() + section, true))
    throw ERegistryException(Format("Failed to set data for '%s'", name));
}

bool HasKey(const TRegistry& r) { return r.CurrentKey() != nullptr; }

// A REG_DWORD of four bytes under the open key.
bool GetInteger(TRegistry& r, const String& name, int& value) {
  TRegDataInfo info;
  if (!HasKey(r) || !r.GetDataInfo(name, info) || info.RegData != rdInteger || info.DataSize != 4) return false;
  value = r.ReadInteger(name);
  return true;
}

struct TSettingLimit {
  const char* name;
  int low, high;            // stored values inside [low, high] are kept
  int belowLow, aboveHigh;  // what a value outside reads as
};

const TSettingLimit kSettingLimits[] = {
    {"LocalListSize", 1, INT_MAX, 120, 0},
    {"LocalDirSize", 1, INT_MAX, 160, 0},
    {"RemoteDirSize", 1, INT_MAX, 160, 0},
    {"Column1Size", 1, INT_MAX, 180, 0},
    {"Column2Size", 1, INT_MAX, 80, 0},
    {"Column3Size", 1, INT_MAX, 80, 0},
    {"Column4Size", 1, INT_MAX, 80, 0},
    {"StoSSize", 1, INT_MAX, 331, 0},
    {"TimeOut", 1, INT_MAX, 30, 0},
    // Also the time-out while the time-out is disabled: never 0.
    {"Noop", 1, 300, 120, 120},
    // The size of every send block.
    {"BufSize", 1, 65536, 1514, 65536},
    {"ShareAccess", 0, 3, 0, 0},
};

// The rectangle r moved to the middle of the primary monitor's work area,
// its top-left corner kept on that area.
RECT Centred(const RECT& r) {
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi);
  const RECT& wa = mi.rcWork;
  LONG w = r.right - r.left, h = r.bottom - r.top;
  LONG left = std::max(wa.left, wa.left + (wa.right - wa.left - w) / 2);
  LONG top = std::max(wa.top, wa.top + (wa.bottom - wa.top - h) / 2);
  return RECT{left, top, left + w, top + h};
}
}  // namespace

// ---------------------------------------------------------------- THandlePlacement

TPlacementState THandlePlacement::PlacementState() const {
  if (IsIconic(wnd_)) return psMinimized;
  if (IsZoomed(wnd_)) return psMaximized;
  return psNormal;
}

POINT THandlePlacement::WorkspaceOffset() const {
  if (GetWindowLongPtrA(wnd_, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) return POINT{0, 0};
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (!GetMonitorInfoA(MonitorFromWindow(wnd_, MONITOR_DEFAULTTONEAREST), &mi)) return POINT{0, 0};
  return POINT{mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top};
}

RECT THandlePlacement::NormalBounds() const {
  RECT r{};
  if (PlacementState() == psNormal) {
    GetWindowRect(wnd_, &r);
    return r;
  }
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(wnd_, &wp);
  r = wp.rcNormalPosition;
  POINT off = WorkspaceOffset();
  OffsetRect(&r, off.x, off.y);
  return r;
}

void THandlePlacement::SetNormalBounds(const RECT& bounds) {
  if (PlacementState() == psNormal) {
    SetWindowPos(wnd_, nullptr, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(wnd_, &wp);
  wp.rcNormalPosition = bounds;
  POINT off = WorkspaceOffset();
  OffsetRect(&wp.rcNormalPosition, -off.x, -off.y);
  SetWindowPlacement(wnd_, &wp);
}

void THandlePlacement::Maximize() { ShowWindow(wnd_, SW_MAXIMIZE); }

// ---------------------------------------------------------------- TReg

TReg::TReg(TComponent* owner) : TComponent(owner) {}

String TReg::GetKeyPath() { return "\\Software\\Quellmark\\" + Application->Title + "\\"; }

String TReg::ReadString(const String& section, const String& name) {
  TRegistry r;
  OpenForRead(r, section);
  TRegDataInfo info;
  if (!HasKey(r) || !r.GetDataInfo(name, info) || (info.RegData != rdString && info.RegData != rdExpandString))
    return String();
  return r.ReadString(name);
}

void TReg::WriteString(const String& section, const String& name, const String& value) {
  TRegistry r;
  OpenForWrite(r, section, name);
  r.WriteString(name, value);
}

int TReg::ReadInteger(const String& section, const String& name) {
  TRegistry r;
  OpenForRead(r, section);
  int v = 0;
  return GetInteger(r, name, v) ? v : 0;
}

void TReg::WriteInteger(const String& section, const String& name, int value) {
  TRegistry r;
  OpenForWrite(r, section, name);
  r.WriteInteger(name, value);
}

bool TReg::ReadBool(const String& section, const String& name) { return ReadInteger(section, name) != 0; }

void TReg::WriteBool(const String& section, const String& name, bool value) {
  WriteInteger(section, name, value ? 1 : 0);
}

int TReg::ReadSettingInteger(const String& name) {
  int v = ReadInteger(SettingsSection, name);
  for (const TSettingLimit& l : kSettingLimits)
    if (name == l.name) {
      if (v < l.low) return l.belowLow;
      if (v > l.high) return l.aboveHigh;
      break;
    }
  return v;
}

int TReg::FitPaneSize(const String& name, int value, int room) {
  if (value >= 1 && value <= room) return value;
  for (const TSettingLimit& l : kSettingLimits)
    if (name == l.name) value = l.belowLow;
  return std::max(1, std::min(value, room));
}

int TReg::ReadPaneSize(const String& name, int room) { return FitPaneSize(name, ReadSettingInteger(name), room); }

void TReg::LoadFormPlacement(TPlacementWindow& window) {
  TRegistry r;
  OpenForRead(r, window.PlacementName());
  int maxState;
  if (!GetInteger(r, "MaxState", maxState)) {
    if (window.PlacementName() == "FormMain")
      window.Maximize();
    else
      window.SetNormalBounds(Centred(window.NormalBounds()));
    return;
  }
  if (maxState != 0) {
    window.Maximize();
    return;
  }
  RECT b = window.NormalBounds();
  int v;
  if (GetInteger(r, "Left", v)) OffsetRect(&b, v - b.left, 0);
  if (GetInteger(r, "Top", v)) OffsetRect(&b, 0, v - b.top);
  // A size of nothing would leave the window out of sight as well.
  if (GetInteger(r, "Width", v) && v > 0) b.right = b.left + v;
  if (GetInteger(r, "Height", v) && v > 0) b.bottom = b.top + v;
  if (!MonitorFromRect(&b, MONITOR_DEFAULTTONULL)) b = Centred(b);
  window.SetNormalBounds(b);
}

void TReg::LoadFormPlacement(HWND wnd, const String& name) {
  THandlePlacement w(wnd, name);
  LoadFormPlacement(w);
}

void TReg::SaveFormPlacement(TPlacementWindow& window) {
  TPlacementState state = window.PlacementState();
  if (state == psMinimized) return;
  String section = window.PlacementName();
  if (state == psMaximized) {
    WriteBool(section, "MaxState", true);
    return;
  }
  RECT b = window.NormalBounds();
  TRegistry r;
  OpenForWrite(r, section, "MaxState");
  r.WriteBool("MaxState", false);
  r.WriteInteger("Left", b.left);
  r.WriteInteger("Top", b.top);
  r.WriteInteger("Width", b.right - b.left);
  r.WriteInteger("Height", b.bottom - b.top);
}

void TReg::SaveFormPlacement(HWND wnd, const String& name) {
  THandlePlacement w(wnd, name);
  SaveFormPlacement(w);
}
