// Plain Win32 windows for the bench's own tests: a top-level window whose
// messages a test watches through a function, made with CreateWindowEx.
#pragma once

#include <functional>

#include "classlib/Sysutils.h"

#include <windows.h>

class TPlainWindow {
 public:
  // Called first for every message; true when handled (result in result).
  using THandler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT& result)>;

  TPlainWindow(const String& caption, int x, int y, int w, int h, THandler handler = nullptr,
               COLORREF background = RGB(240, 240, 240));
  ~TPlainWindow();
  TPlainWindow(const TPlainWindow&) = delete;
  TPlainWindow& operator=(const TPlainWindow&) = delete;

  HWND Handle() const { return wnd_; }
  // A child control of a system class ("EDIT", "BUTTON", ...).
  HWND AddControl(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id);
  void Show();

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND wnd_ = nullptr;
  HBRUSH brush_ = nullptr;
  THandler handler_;
};
