// An MDI frame with command bars for the menu and input tests: the main
// menu "&File" (with the submenus "&Recent Files" and "Sen&d To"), "&Edit",
// "&View", "&Tools", "&Table", "&Window", "&Help" (Tools and Table share
// their accelerator), a "Standard" toolbar with a split button and a check
// button, an edit with a popup-menu link at the bottom, and MDI children
// with an icon and, when asked, a main menu of their own.
#pragma once

#include "Barstest.h"
#include "classlib/Stdctrls.h"
#include "support/Testutil.h"

#include <gtest/gtest.h>

class TMenuFrame : public TForm {
 public:
  explicit TMenuFrame(TComponent* owner = nullptr);
  TdxBarButton* Button(const String& name) const;
  TdxBarSubItem* Sub(const String& name) const;
  TAction* Action(const String& name) const;
  // The control of the link to the item on the bar (or in the sub item's
  // menu, whose window is open).
  TdxBarItemControl* Control(TdxBar* bar, const String& itemName) const;
  TdxBarItemControl* MenuControl(const String& subName, const String& itemName) const;
  TdxBar* MainMenu() const { return Bar1->MainMenuBar(); }
  TdxBar* Standard() const { return Bar1->BarByCaption("Standard"); }
  // The screen rectangle of a control, and its centre.
  static TRect ScreenRect(TdxBarItemControl* control);
  static POINT Centre(TdxBarItemControl* control);

  TdxBarManager* Bar1 = nullptr;
  TActionList* ActionList1 = nullptr;
  TEdit* Edit1 = nullptr;
  TdxBarPopupMenu* EditMenu = nullptr;
  // Names of the actions run and of the buttons clicked, in order.
  std::vector<String> Executed;

 private:
  void ActionExecute(TObject* sender);
  void ButtonClick(TObject* sender);
};

// A child of the frame with an icon; withMenu: a manager with a main menu
// bar "&Document" of its own.
class TMenuChild : public TForm {
 public:
  TMenuChild(TComponent* owner, const String& caption, bool withMenu);
  TdxBarManager* Bar1 = nullptr;
  std::vector<String> Executed;

 private:
  void ButtonClick(TObject* sender);
};

// Moves the cursor there for good: the system's cursor and the display's
// pointer both (injected moves alone leave the display's pointer behind,
// and the cursor goes back to it when nothing moves for a while).
::testing::AssertionResult Warp(POINT screen);

// The frame shown and in front for real input, the cursor parked in a
// corner away from it.
struct TShownMenuFrame {
  TScopedDialogs Dialogs;
  TMenuFrame* Form;
  explicit TShownMenuFrame(TRect bounds = Bounds(20, 20, 640, 420));
  ~TShownMenuFrame();
  // A title of the main menu bar, the menu of a sub item and whether it
  // shows.
  TdxBarItemControl* Title(const String& sub) const;
  TdxBarSubMenuControl* Menu(const String& sub) const;
  bool MenuShown(const String& sub) const;
  POINT FormPoint(POINT screen) const;
  // A click at a screen point, through the form (a menu never comes to the
  // foreground).
  ::testing::AssertionResult ClickAt(POINT screen) const;
};

// bars_helper, the other program: started, its window takes the
// activation; closed (and waited for) by Close or at the end of the scope.
class TBarsHelper {
 public:
  TBarsHelper();
  ~TBarsHelper() { Close(); }
  TBarsHelper(const TBarsHelper&) = delete;
  TBarsHelper& operator=(const TBarsHelper&) = delete;
  // The program started and its window is the foreground window.
  bool InFront() const { return inFront_; }
  void Close();

 private:
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
  bool inFront_ = false;
};

// The frame shown and active, with the bars' timers and input state faked
// (message boxes recorded).
struct TFakeFrame {
  TScopedBarSystem Sys;
  TScopedDialogs Dialogs;
  TMenuFrame* Form;
  TFakeBarSystem& S = Sys.System;
  TFakeFrame();
  ~TFakeFrame();
  TdxBarControl* MainMenu() { return Form->MainMenu()->Control(); }
  TdxBarItemControl* Title(const String& sub) { return Form->Control(Form->MainMenu(), "Sub" + sub); }
  TdxBarSubMenuControl* Menu(const String& sub);
  bool Shown(const String& sub);
  // Opens a menu of the main menu bar as a click does (nothing selected in
  // it) or as the keyboard does (its first entry selected).
  TdxBarSubMenuControl* Open(const String& sub, bool byMouse = true);
  // A real mouse move over a control's centre or a client point (the fake
  // cursor there too), and a press and release there.
  void Hover(TdxBarItemControl* c);
  void MoveTo(TCustomdxBarControl* bar, TPoint client);
  void Press(TCustomdxBarControl* bar, TPoint client);
  void Release(TCustomdxBarControl* bar, TPoint client);
  static TPoint Centre(TdxBarItemControl* c);
};
