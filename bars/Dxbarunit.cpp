// Unit-wide state and services of the command bars: start-up and shut-down,
// the class registries, the live bar windows, input helpers, message
// drains, mouse-leave tracking, sounds, fonts and the system seams.
#include "Dxbaranimation.h"
#include "Dxbarcontrols.h"
#include "Dxbarquickcust.h"
#include "Dxbarstrs.h"
#include "Dxbarwinitems.h"

#include <mmsystem.h>

#include <algorithm>
#include <map>

TdxBarManagerList* dxBarManagerList = nullptr;
bool dxBarMakeInactiveImagesDingy = true;
int dxBarNonrecentlyUsedItemsColorDelta = 20;
bool dxBarOS::IsWin9x = false;
bool dxBarOS::IsWin95 = false;
bool dxBarOS::IsWin98OrW2K = false;
int ScreenBitsPixel = 0;
TTrackMouseEventProc TrackMouseEventProc = nullptr;
TUpdateLayeredWindowProc UpdateLayeredWindowProc = nullptr;
bool dxBarReadingFormCopy = false;
bool dxBarRestoringFromForm = false;

namespace {

int gInitCount = 0;
HMODULE gUser32Lib = nullptr;
char gClassNameBuffer[256];
std::vector<TdxBarItem*>* gInternalItems = nullptr;
std::vector<TdxBarItemClassRec>* gItemClasses = nullptr;
std::map<String, TdxBarComponentFactory>* gClasses = nullptr;

struct TBarControlEntry {
  TCustomdxBarControl* Control;
  uint64_t Serial;
};
std::vector<TBarControlEntry>* gBarControls = nullptr;
TCustomdxBarControl* gActiveBarControl = nullptr;

HWND gMouseTrackingWnd = nullptr;
UINT_PTR gMouseTrackingTimer = 0;

HHOOK gKeyboardHook = nullptr;
HHOOK gMouseHook = nullptr;
HHOOK gCallWndProcHook = nullptr;

TdxBarSystem gRealSystem;
TdxBarSystem* gSystem = &gRealSystem;
TdxBarLayoutStore gNoStore;
TdxBarLayoutStore* gLayoutStore = &gNoStore;

void RegisterCoreItems();
void UnregisterCoreItems();

}  // namespace

// ---------------------------------------------------------------- start-up and shut-down

void dxBarSetOSFlags(const OSVERSIONINFOA& v) {
  dxBarOS::IsWin9x = v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
  dxBarOS::IsWin95 = dxBarOS::IsWin9x && v.dwMinorVersion == 0;
  // Windows 98 and later of the 9x line, Windows 2000 and every later NT.
  dxBarOS::IsWin98OrW2K = (dxBarOS::IsWin9x && v.dwMinorVersion != 0) || (v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion >= 5);
}

namespace {

void LoadBarCursors() {
  static const struct {
    TCursor Id;
    const char* Name;
  } cursors[] = {
      {crdxBarDrag, "DXBARDRAGCURSOR"},
      {crdxBarDragCopy, "DXBARDRAGCOPYCURSOR"},
      {crdxBarDragNoDrop, "DXBARDRAGNODROPCURSOR"},
      {crdxBarEditSizing, "DXBAREDITSIZINGCURSOR"},
  };
  for (const auto& c : cursors) {
    HCURSOR h = LoadCursorA(GetModuleHandleA(nullptr), c.Name);
    if (h) Screen->SetCursors(c.Id, h);
  }
}

int ReadScreenBitsPixel() {
  HDC dc = GetDC(nullptr);
  int bits = GetDeviceCaps(dc, BITSPIXEL);
  ReleaseDC(nullptr, dc);
  return bits;
}

}  // namespace

void dxBarInitialize() {
  if (gInitCount++ > 0) return;
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExA(&v);
#pragma GCC diagnostic pop
  dxBarSetOSFlags(v);

  gUser32Lib = LoadLibraryA("USER32");
  if (reinterpret_cast<uintptr_t>(gUser32Lib) > 32) {
    TrackMouseEventProc = reinterpret_cast<TTrackMouseEventProc>(
        reinterpret_cast<void*>(GetProcAddress(gUser32Lib, "TrackMouseEvent")));
    UpdateLayeredWindowProc = reinterpret_cast<TUpdateLayeredWindowProc>(
        reinterpret_cast<void*>(GetProcAddress(gUser32Lib, "UpdateLayeredWindow")));
  }

  std::memset(gClassNameBuffer, 0, sizeof gClassNameBuffer);
  dxBarManagerList = new TdxBarManagerList;
  gInternalItems = new std::vector<TdxBarItem*>;

  ScreenBitsPixel = ReadScreenBitsPixel();
  dxBarSysColorChanged();

  gClasses = new std::map<String, TdxBarComponentFactory>;
  dxBarRegisterClass("TdxBarGroup", [](TComponent* owner) -> TComponent* { return new TdxBarGroup(owner); });

  gItemClasses = new std::vector<TdxBarItemClassRec>;
  gBarControls = new std::vector<TBarControlEntry>;
  RegisterCoreItems();
  LoadBarCursors();
}

void dxBarFinalize() {
  if (gInitCount == 0 || --gInitCount > 0) return;
  dxBarStopMenuAnimations();
  UnregisterCoreItems();
  delete gBarControls;
  gBarControls = nullptr;
  gActiveBarControl = nullptr;
  delete gItemClasses;
  gItemClasses = nullptr;
  dxBarFreePatternBrush();
  // Internal items no bar shows any more.
  while (gInternalItems && !gInternalItems->empty()) gInternalItems->back()->Free();
  delete gInternalItems;
  gInternalItems = nullptr;
  TdxBarManagerList* list = dxBarManagerList;
  delete list;
  dxBarManagerList = nullptr;
  delete gClasses;
  gClasses = nullptr;
  if (reinterpret_cast<uintptr_t>(gUser32Lib) > 32) FreeLibrary(gUser32Lib);
  gUser32Lib = nullptr;
  TrackMouseEventProc = nullptr;
  UpdateLayeredWindowProc = nullptr;
}

bool dxBarInitialized() { return gInitCount > 0; }

// ---------------------------------------------------------------- class registries

void dxBarRegisterClass(const String& name, TdxBarComponentFactory factory) {
  if (gClasses) (*gClasses)[name] = factory;
}

void dxBarUnregisterClass(const String& name) {
  if (gClasses) gClasses->erase(name);
}

TdxBarComponentFactory dxBarFindClass(const String& name) {
  if (!gClasses) return nullptr;
  auto it = gClasses->find(name);
  return it == gClasses->end() ? nullptr : it->second;
}

void dxBarRegisterItem(TdxBarItemClass itemClass, TdxBarItemControlClass controlClass, bool visible) {
  if (!gItemClasses || !itemClass) return;
  gItemClasses->push_back({itemClass, controlClass, visible});
  auto create = itemClass->Create;
  dxBarRegisterClass(itemClass->Name, [create](TComponent* owner) -> TComponent* { return create(owner); });
}

void dxBarUnregisterItem(TdxBarItemClass itemClass) {
  if (!gItemClasses) return;
  auto it = std::find_if(gItemClasses->begin(), gItemClasses->end(),
                         [&](const TdxBarItemClassRec& r) { return r.ItemClass == itemClass; });
  if (it == gItemClasses->end()) return;
  gItemClasses->erase(it);
  dxBarUnregisterClass(itemClass->Name);
}

int dxBarItemCount() { return gItemClasses ? static_cast<int>(gItemClasses->size()) : 0; }

TdxBarItemClass dxBarItemClass(int index) {
  if (index < 0 || index >= dxBarItemCount()) return nullptr;
  return (*gItemClasses)[static_cast<size_t>(index)].ItemClass;
}

int dxBarVisibleItemCount() {
  if (!gItemClasses) return 0;
  return static_cast<int>(
      std::count_if(gItemClasses->begin(), gItemClasses->end(), [](const TdxBarItemClassRec& r) { return r.Visible; }));
}

TdxBarItemClass dxBarVisibleItemClass(int index) {
  if (!gItemClasses || index < 0) return nullptr;
  for (const auto& r : *gItemClasses)
    if (r.Visible && index-- == 0) return r.ItemClass;
  return nullptr;
}

TdxBarItemControlClass dxBarReplaceItemControl(TdxBarItemClass itemClass, TdxBarItemControlClass controlClass) {
  if (!gItemClasses) return nullptr;
  for (auto& r : *gItemClasses)
    if (r.ItemClass == itemClass) {
      TdxBarItemControlClass old = r.ControlClass;
      r.ControlClass = controlClass;
      return old;
    }
  return nullptr;
}

TdxBarItemControlClass dxBarFindItemControlClass(TdxBarItemClass itemClass) {
  if (!gItemClasses) return nullptr;
  for (const auto& r : *gItemClasses)
    if (r.ItemClass == itemClass) return r.ControlClass;
  return nullptr;
}

TdxBarItemControlClass dxBarItemControlClass(const TdxBarItem* item) {
  if (!gItemClasses || !item) return nullptr;
  for (const auto& r : *gItemClasses)
    if (*r.ItemClass->Type == typeid(*item)) return r.ControlClass;
  return nullptr;
}

namespace {

// The core classes, in this order; the quick customization items and the
// system-menu item join with their controls.
struct TCoreItem {
  TdxBarItemClass (*Item)();
  TdxBarItemControlClass (*Control)();
  bool Visible;
};
const TCoreItem kCoreItems[] = {
    {&TdxBarButton::Class, &TdxBarButtonControl::Class, true},
    {&TdxBarEdit::Class, &TdxBarEditControl::Class, true},
    {&TCustomdxBarCombo::Class, &TCustomdxBarComboControl::Class, true},
    {&TdxBarCombo::Class, &TdxBarComboControl::Class, true},
    {&TdxBarSubItem::Class, &TdxBarSubItemControl::Class, true},
    {&TdxBarListItem::Class, &TdxBarContainerItemControl::Class, true},
    {&TdxBarContainerItem::Class, &TdxBarContainerItemControl::Class, true},
    {&TdxBarQuickCustExtButton::Class, &TdxBarQuickCustExtButtonControl::Class, false},
    {&TdxBarQuickCustItem::Class, &TdxBarQuickCustItemControl::Class, false},
    {&TSystemMenuSubItem::Class, &TSystemMenuSubItemControl::Class, false},
};

void RegisterCoreItems() {
  for (const auto& c : kCoreItems) dxBarRegisterItem(c.Item(), c.Control(), c.Visible);
}

void UnregisterCoreItems() {
  for (size_t i = std::size(kCoreItems); i-- > 0;) dxBarUnregisterItem(kCoreItems[i].Item());
}

}  // namespace

// ---------------------------------------------------------------- bar windows

TdxBarControlRef::TdxBarControlRef(TCustomdxBarControl* control)
    : control_(control), serial_(control ? control->Serial() : 0) {}

void RegisterBarControl(TCustomdxBarControl* barControl) {
  if (gBarControls) gBarControls->push_back({barControl, barControl->Serial()});
}

void UnregisterBarControl(TCustomdxBarControl* barControl) {
  if (!gBarControls) return;
  gBarControls->erase(std::remove_if(gBarControls->begin(), gBarControls->end(),
                                     [&](const TBarControlEntry& e) { return e.Control == barControl; }),
                      gBarControls->end());
  if (gActiveBarControl == barControl) gActiveBarControl = nullptr;
}

bool BarControlExists(const TdxBarControlRef& ref) {
  if (!ref.Control() || !gBarControls) return false;
  return std::any_of(gBarControls->begin(), gBarControls->end(), [&](const TBarControlEntry& e) {
    return e.Control == ref.Control() && e.Serial == ref.Serial();
  });
}

int BarControlCount() { return gBarControls ? static_cast<int>(gBarControls->size()) : 0; }

TCustomdxBarControl* GetBarControl(int index) {
  if (index < 0 || index >= BarControlCount()) return nullptr;
  return (*gBarControls)[static_cast<size_t>(index)].Control;
}

TCustomdxBarControl* ActiveBarControl() { return gActiveBarControl; }
void SetActiveBarControl(TCustomdxBarControl* barControl) { gActiveBarControl = barControl; }

TCustomdxBarControl* GetRootBarControl(TCustomdxBarControl* barControl) {
  TCustomdxBarControl* current = barControl;
  // A chain of open menus is short; the bound only guards against a cycle.
  for (int depth = 0; current && depth < 64; ++depth) {
    if (!BarControlExists(current) || current->Destroying()) break;
    TCustomdxBarControl* next = current->ParentBar();
    if (!next) {
      auto* menu = dynamic_cast<TdxBarSubMenuControl*>(current);
      if (menu && menu->OwnerControl()) next = menu->OwnerControl()->Parent();
    }
    if (!next) break;
    current = next;
  }
  return current;
}

TCustomdxBarControl* GetRootToolbarControl(TCustomdxBarControl* barControl) {
  TCustomdxBarControl* root = GetRootBarControl(barControl);
  return dynamic_cast<TdxBarSubMenuControl*>(root) ? nullptr : root;
}

TCustomdxBarControl* GetItemControlRootBarControl(TdxBarItemControl* itemControl) {
  return itemControl ? GetRootBarControl(itemControl->Parent()) : nullptr;
}

TCustomdxBarControl* GetItemControlRootToolbarControl(TdxBarItemControl* itemControl) {
  return itemControl ? GetRootToolbarControl(itemControl->Parent()) : nullptr;
}

bool IsToolbarControlVertical(TCustomdxBarControl* barControl) {
  auto* toolbar = dynamic_cast<TdxBarControl*>(barControl);
  return toolbar && (toolbar->DockingStyle() == dsLeft || toolbar->DockingStyle() == dsRight);
}

bool IsVertical(TCustomdxBarControl* barControl) {
  auto* toolbar = dynamic_cast<TdxBarControl*>(barControl);
  return IsToolbarControlVertical(barControl) && toolbar->Bar() && toolbar->Bar()->RotateWhenVertical();
}

// ---------------------------------------------------------------- managers

TdxBarManager* GetBarManagerByForm(TCustomForm* form) {
  if (!form || !dxBarManagerList) return nullptr;
  for (int i = 0; i < dxBarManagerList->Count(); ++i) {
    TdxBarManager* m = dxBarManagerList->GetBarManager(i);
    if (m->MainForm() == form) return m;
  }
  return nullptr;
}

void dxBarDesignerModified(TdxBarManager* barManager) {
  if (barManager) barManager->DesignerModified();
}

TdxBarItemVisible VisibleTodxBarVisible(bool value) { return value ? ivAlways : ivNever; }

void AddInternalItem(TdxBarItem* item) {
  if (gInternalItems) gInternalItems->push_back(item);
}

void RemoveInternalItem(TdxBarItem* item) {
  if (!gInternalItems) return;
  auto& v = *gInternalItems;
  v.erase(std::remove(v.begin(), v.end(), item), v.end());
}

int InternalItemCount() { return gInternalItems ? static_cast<int>(gInternalItems->size()) : 0; }

void ClearInternalItemList() {
  if (!gInternalItems) return;
  for (size_t i = gInternalItems->size(); i-- > 0;) {
    if (i >= gInternalItems->size()) continue;
    TdxBarItem* item = (*gInternalItems)[i];
    if (!item->HasControls()) item->Free();
  }
}

// ---------------------------------------------------------------- windows and input

TControl* FindControlOrParent(HWND wnd) { return TControl::FindControl(wnd); }

HWND WindowFromPointDeep(TPoint screenPoint) {
  HWND wnd = WindowFromPoint(screenPoint);
  // Each step goes one level down; the depth of a window tree bounds it.
  for (int depth = 0; wnd && depth < 256; ++depth) {
    POINT p = screenPoint;
    ScreenToClient(wnd, &p);
    HWND child = ChildWindowFromPointEx(wnd, p, CWP_SKIPINVISIBLE);
    if (!child || child == wnd) break;
    wnd = child;
  }
  return wnd;
}

bool IsWindowInside(HWND wnd, HWND ancestor) {
  if (!wnd || !ancestor) return false;
  for (HWND p = GetParent(wnd); p; p = GetParent(p))
    if (p == ancestor) return true;
  return false;
}

namespace {

// Down by the asynchronous state or by the state of the input the thread
// has taken: the asynchronous one may lag behind (cached for a while).
bool ButtonDown(int key) {
  return ((dxBarSystem()->GetAsyncKeyState(key) | dxBarSystem()->GetKeyState(key)) & 0x8000) != 0;
}

}  // namespace

bool LeftButtonPressed() { return ButtonDown(GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON); }

bool RightButtonPressed() { return ButtonDown(GetSystemMetrics(SM_SWAPBUTTON) ? VK_LBUTTON : VK_RBUTTON); }

TRect GetWorkArea(TPoint point) {
  using TMonitorFromPoint = HMONITOR(WINAPI*)(POINT, DWORD);
  using TGetMonitorInfo = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);
  if (reinterpret_cast<uintptr_t>(gUser32Lib) > 32) {
    auto getInfo = reinterpret_cast<TGetMonitorInfo>(reinterpret_cast<void*>(GetProcAddress(gUser32Lib, "GetMonitorInfoA")));
    auto fromPoint =
        reinterpret_cast<TMonitorFromPoint>(reinterpret_cast<void*>(GetProcAddress(gUser32Lib, "MonitorFromPoint")));
    if (getInfo && fromPoint) {
      MONITORINFO info{};
      info.cbSize = sizeof info;
      HMONITOR monitor = fromPoint(point, MONITOR_DEFAULTTONEAREST);
      if (monitor && getInfo(monitor, &info)) return TRect(info.rcWork);
    }
  }
  RECT r{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
  return TRect(r);
}

int GetSmallCaptionHeight() { return GetSystemMetrics(SM_CYSMCAPTION); }

namespace {

// Hands on what is queued in the range, never waiting. The bound keeps a
// window that never validates itself from holding the drain.
void Drain(UINT first, UINT last) {
  TPumpFilter range;
  range.First = first;
  range.Last = last;
  int n = 0;
  PumpUntil([&] { return n++ >= 10000; }, kPumpQueued, nullptr, range);
}

}  // namespace

void ProcessMouseMessages() { Drain(WM_MOUSEFIRST, WM_MOUSEWHEEL); }
void ProcessPaintMessages() { Drain(WM_PAINT, WM_PAINT); }

TPumpResult dxBarMessageLoop(const std::function<bool(MSG&)>& take, const std::function<bool()>& done,
                             const std::shared_ptr<bool>& alive) {
  TPumpFilter mode;
  mode.Take = take;
  return PumpUntil(done, kPumpForever, alive, mode);
}

// ---------------------------------------------------------------- mouse-leave tracking

namespace {

void CALLBACK MouseTrackingTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  CallGuarded([&] {
    if (!gMouseTrackingWnd) return;
    if (WindowFromPointDeep(dxBarSystem()->GetCursorPos()) != gMouseTrackingWnd) EndMouseTracking(gMouseTrackingWnd);
  });
}

}  // namespace

bool IsMouseTracking(HWND wnd) {
  if (TrackMouseEventProc) {
    TRACKMOUSEEVENT tme{};
    tme.cbSize = sizeof tme;
    tme.dwFlags = TME_QUERY;
    tme.hwndTrack = wnd;
    if (!TrackMouseEventProc(&tme)) return false;
    return (tme.dwFlags & TME_LEAVE) != 0 && tme.hwndTrack == wnd;
  }
  return wnd && wnd == gMouseTrackingWnd;
}

void BeginMouseTracking(HWND wnd) {
  if (IsMouseTracking(wnd)) return;
  if (TrackMouseEventProc) {
    TRACKMOUSEEVENT tme{};
    tme.cbSize = sizeof tme;
    tme.dwFlags = TME_LEAVE;
    tme.hwndTrack = wnd;
    TrackMouseEventProc(&tme);
    return;
  }
  if (gMouseTrackingWnd) EndMouseTracking(gMouseTrackingWnd);
  gMouseTrackingWnd = wnd;
  gMouseTrackingTimer = dxBarSystem()->SetTimer(50, MouseTrackingTimerProc);
}

void EndMouseTracking(HWND wnd) {
  if (!IsMouseTracking(wnd)) return;
  if (TrackMouseEventProc) {
    TRACKMOUSEEVENT tme{};
    tme.cbSize = sizeof tme;
    tme.dwFlags = TME_CANCEL | TME_LEAVE;
    tme.hwndTrack = wnd;
    TrackMouseEventProc(&tme);
  } else {
    if (gMouseTrackingTimer) dxBarSystem()->KillTimer(gMouseTrackingTimer);
    gMouseTrackingTimer = 0;
    gMouseTrackingWnd = nullptr;
  }
  SendMessageA(wnd, WM_MOUSELEAVE, 0, 0);
}

void PlayMenuSound(int sound) {
  static const char* const aliases[] = {"MenuPopup", "MenuCommand"};
  if (sound < 0 || sound > 1) return;
  SystemDialogs()->PlaySystemSound(aliases[sound], SND_ASYNC | SND_NODEFAULT | SND_NOWAIT);
}

// ---------------------------------------------------------------- text and fonts

String GetTextOf(const String& text) {
  String s = text;
  for (size_t i = 0; i + 1 < s.size(); ++i)
    if (s[i] == '&') s.erase(i, 1);
  return s;
}

HFONT CloneFont(HFONT font) {
  LOGFONTA lf{};
  GetObjectA(font, sizeof lf, &lf);
  return CreateFontIndirectA(&lf);
}

void CreateBarFontHandle(TFont* font, HFONT& handle, bool scaled) {
  if (handle) DeleteObject(handle);
  handle = nullptr;
  if (!scaled) {
    handle = CloneFont(font->Handle());
    return;
  }
  LOGFONTA lf{};
  GetObjectA(font->Handle(), sizeof lf, &lf);
  LOGFONTA icon{};
  if (SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof icon, &icon, 0)) lf.lfHeight = icon.lfHeight;
  if (lf.lfHeight >= -10) lf.lfHeight = -11;
  handle = CreateFontIndirectA(&lf);
}

void CheckMinEditWidth(int& width) {
  if (width < 20) width = 20;
}

// ---------------------------------------------------------------- seams

UINT_PTR TdxBarSystem::SetTimer(UINT elapse, TIMERPROC proc) { return ::SetTimer(nullptr, 0, elapse, proc); }
void TdxBarSystem::KillTimer(UINT_PTR id) { ::KillTimer(nullptr, id); }
SHORT TdxBarSystem::GetAsyncKeyState(int key) { return ::GetAsyncKeyState(key); }
SHORT TdxBarSystem::GetKeyState(int key) { return ::GetKeyState(key); }
void TdxBarSystem::GetKeyboardState(BYTE state[256]) {
  if (!::GetKeyboardState(state)) std::memset(state, 0, 256);
}
TPoint TdxBarSystem::GetCursorPos() {
  POINT p{};
  ::GetCursorPos(&p);
  return TPoint(p);
}
COLORREF TdxBarSystem::GetSysColor(int index) { return ::GetSysColor(index); }
HHOOK TdxBarSystem::SetHook(int idHook, HOOKPROC proc) {
  return SetWindowsHookExA(idHook, proc, nullptr, GetCurrentThreadId());
}
void TdxBarSystem::RemoveHook(HHOOK hook) { UnhookWindowsHookEx(hook); }
double TdxBarSystem::Today() { return Date(); }

TdxBarSystem* dxBarSystem() { return gSystem; }

TdxBarSystem* dxBarSetSystem(TdxBarSystem* s) {
  TdxBarSystem* old = gSystem;
  gSystem = s ? s : &gRealSystem;
  return old;
}

COLORREF dxBarSysColor(int index) { return gSystem->GetSysColor(index); }

TdxBarLayoutStore* dxBarLayoutStore() { return gLayoutStore; }

TdxBarLayoutStore* dxBarSetLayoutStore(TdxBarLayoutStore* store) {
  TdxBarLayoutStore* old = gLayoutStore;
  gLayoutStore = store ? store : &gNoStore;
  return old;
}

// ---------------------------------------------------------------- hooks

HHOOK dxBarHookHandle(int idHook) {
  switch (idHook) {
    case WH_KEYBOARD: return gKeyboardHook;
    case WH_MOUSE: return gMouseHook;
    case WH_CALLWNDPROC: return gCallWndProcHook;
    default: return nullptr;
  }
}

void dxBarInstallHooks() {
  if (!gKeyboardHook) gKeyboardHook = dxBarSystem()->SetHook(WH_KEYBOARD, dxBarKeyboardHookProc);
  if (!gMouseHook) gMouseHook = dxBarSystem()->SetHook(WH_MOUSE, dxBarMouseHookProc);
  if (!gCallWndProcHook) gCallWndProcHook = dxBarSystem()->SetHook(WH_CALLWNDPROC, dxBarCallWndProcHookProc);
}

void dxBarRemoveHooks() {
  if (gCallWndProcHook) dxBarSystem()->RemoveHook(gCallWndProcHook);
  gCallWndProcHook = nullptr;
  if (gMouseHook) dxBarSystem()->RemoveHook(gMouseHook);
  gMouseHook = nullptr;
  if (gKeyboardHook) dxBarSystem()->RemoveHook(gKeyboardHook);
  gKeyboardHook = nullptr;
}

