// A form for the extended items' input tests: a manager, a main menu bar
// with the menu "&Items" and a toolbar "Items", both holding a link to each
// item the item families make. A family registers a maker with a
// TItemsFamily object in its own test source; the form calls every maker
// (in the order of their rank) and links what they return, in order, on the
// toolbar and in the menu.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "Barstest.h"
#include "bars/extitems/Dxbarextitems.h"
#include "support/Testutil.h"

class TItemsForm;

// Makes a family's items (and the controls they need) on the form, owned
// and named by it; returns the items to link, in order.
using TItemsMaker = std::vector<TdxBarItem*> (*)(TItemsForm* form);

// Registers a maker for every items form; lower ranks come first.
class TItemsFamily {
 public:
  TItemsFamily(const char* name, int rank, TItemsMaker maker);
};

class TItemsForm : public TForm {
 public:
  explicit TItemsForm(TComponent* owner = nullptr);
  TdxBarManager* Bar1 = nullptr;
  TdxBar* MainMenu = nullptr;
  TdxBar* Toolbar = nullptr;
  TdxBarSubItem* ItemsMenu = nullptr;
  // Names of the items whose OnClick ran, in order (for the makers to bind).
  std::vector<String> Clicked;
  void ItemClick(TObject* sender);

  TdxBarItem* Item(const String& name) const { return dynamic_cast<TdxBarItem*>(FindComponent(name)); }
  // The control of the item's link on the toolbar, and in the open menu.
  TdxBarItemControl* ToolbarControl(const String& name) const;
  TdxBarItemControl* MenuControl(const String& name) const;
  // The menu window while it is open.
  TdxBarSubMenuControl* Menu() const;
  // The screen rectangle of a control and a point in it (the centre
  // unless given from the control's top left).
  static TRect ScreenRect(TdxBarItemControl* control);
  static POINT At(TdxBarItemControl* control, int dx = -1, int dy = -1);
};

// The form shown and in front for real input, the cursor parked away from
// it; message boxes recorded.
struct TShownItemsForm {
  TScopedDialogs Dialogs;
  TItemsForm* Form;
  TShownItemsForm();
  ~TShownItemsForm();
  // Opens "&Items" with a click on the main menu bar; the menu window.
  TdxBarSubMenuControl* OpenMenu();
  // Closes every open menu with Escape.
  bool CloseMenu();
};

// A second way, for items a test makes itself: a shown form for the extended items under real input: a toolbar "Items"
// docked at the top and a main menu whose "&Items" menu holds the same
// items. A test makes its items on the form and places them; the form is
// shot as it goes.
struct TItemsFixture {
  explicit TItemsFixture(TRect bounds = Bounds(20, 20, 640, 420));
  ~TItemsFixture();
  TItemsFixture(const TItemsFixture&) = delete;
  TItemsFixture& operator=(const TItemsFixture&) = delete;

  // Places item at the end of the toolbar and of the "&Items" menu (each
  // when asked); beginGroup: a separator before it.
  void Place(TdxBarItem* item, bool onToolbar = true, bool inMenu = true, bool beginGroup = false);
  // The item's link on the toolbar and in the menu, and their controls
  // (the menu's only while it is open).
  TdxBarItemLink* ToolbarLink(TdxBarItem* item) const;
  TdxBarItemLink* MenuLink(TdxBarItem* item) const;
  TdxBarItemControl* ToolbarControl(TdxBarItem* item) const;
  TdxBarItemControl* MenuControl(TdxBarItem* item) const;
  // The toolbar's window; the open "&Items" menu (null when closed).
  HWND ToolbarWindow() const;
  TdxBarSubMenuControl* Menu() const;
  // Opens the "&Items" menu with a click on its title; the open menu.
  TdxBarSubMenuControl* OpenMenu();
  // A screen point of a control: its centre, or (dx, dy) from its left top.
  static POINT Centre(TdxBarItemControl* control);
  static POINT At(TdxBarItemControl* control, int dx, int dy);
  // A click at a screen point of a control's bar window.
  static ::testing::AssertionResult ClickOn(TdxBarItemControl* control, POINT screen);
  // A click at a screen point given to the form (a drop-down list, a
  // menu: windows that never come to the front).
  static ::testing::AssertionResult ClickScreen(HWND form, POINT screen);

  TBarsForm* Form;
  TdxBar* Toolbar;
  TdxBar* MainMenu;
  TdxBarSubItem* ItemsMenu;
};
