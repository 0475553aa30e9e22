// Small forms for the control tests, built in code as a form constructor
// would (the controls are made while the form is loading), then shown.
#pragma once

#include <gtest/gtest.h>

#include "classlib/Buttons.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

class TTestForm : public TForm {
 public:
  explicit TTestForm(const String& caption, int width = 420, int height = 300) : TForm(Application) {
    SetCaption(caption);
    SetBounds(120, 100, width, height);
  }
  template <class T>
  T* Add(int left, int top, int width, int height, TWinControl* parent = nullptr) {
    auto* c = new T(this);
    c->SetParent(parent ? parent : this);
    c->SetBounds(left, top, width, height);
    return c;
  }
  // Ends the loading, shows the form and waits until it is painted.
  ::testing::AssertionResult ShowAndWait() {
    if (IsLoading()) EndLoading();
    Show();
    auto r = WaitVisible(Handle());
    if (!r) return r;
    r = WaitForeground(Handle());
    UpdateWindow(Handle());
    PumpFor(30);
    return r;
  }
};

using TFormPtr = TOwned<TTestForm>;

// The style bits of a button's kind (BS_PUSHBUTTON, BS_DEFPUSHBUTTON...).
inline LONG ButtonKind(HWND button) { return GetWindowLongA(button, GWL_STYLE) & 0x0F; }
