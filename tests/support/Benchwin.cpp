#include "Benchwin.h"

#include "Testutil.h"

namespace {
const char kClass[] = "NembraBenchWindow";
}

TPlainWindow::TPlainWindow(const String& caption, int x, int y, int w, int h, THandler handler, COLORREF background)
    : brush_(CreateSolidBrush(background)), handler_(std::move(handler)) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClass;
    registered = RegisterClassA(&wc) != 0;
  }
  wnd_ = CreateWindowExA(0, kClass, caption.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y, w, h, nullptr,
                         nullptr, GetModuleHandleA(nullptr), this);
}

TPlainWindow::~TPlainWindow() {
  if (wnd_ && IsWindow(wnd_)) DestroyWindow(wnd_);
  DeleteObject(brush_);
}

HWND TPlainWindow::AddControl(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
  HWND c = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, wnd_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return c;
}

void TPlainWindow::Show() {
  ShowWindow(wnd_, SW_SHOW);
  UpdateWindow(wnd_);
  ProcessQueuedMessages();
}

LRESULT CALLBACK TPlainWindow::Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_NCCREATE)
    SetWindowLongPtrA(h, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(l)->lpCreateParams));
  auto* self = reinterpret_cast<TPlainWindow*>(GetWindowLongPtrA(h, GWLP_USERDATA));
  if (self) {
    LRESULT result = 0;
    if (self->handler_ && self->handler_(h, m, w, l, result)) return result;
    if (m == WM_ERASEBKGND) {
      RECT r;
      GetClientRect(h, &r);
      FillRect(reinterpret_cast<HDC>(w), &r, self->brush_);
      return 1;
    }
    if (m == WM_NCDESTROY) self->wnd_ = nullptr;
  }
  return DefWindowProcA(h, m, w, l);
}
