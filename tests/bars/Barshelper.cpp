// Another program for the bars' tests: a window "Bars helper" that takes
// the activation and ends on WM_CLOSE, or by itself after a minute.
#include <windows.h>

namespace {

LRESULT CALLBACK HelperProc(HWND wnd, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_TIMER:
    case WM_CLOSE:
      DestroyWindow(wnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(wnd, msg, w, l);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = HelperProc;
  wc.hInstance = instance;
  wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  wc.lpszClassName = "BarsHelper";
  RegisterClassA(&wc);
  HWND wnd = CreateWindowExA(0, "BarsHelper", "Bars helper", WS_OVERLAPPEDWINDOW, 700, 600, 300, 200, nullptr, nullptr,
                             instance, nullptr);
  ShowWindow(wnd, SW_SHOW);
  SetForegroundWindow(wnd);
  SetTimer(wnd, 1, 60000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
