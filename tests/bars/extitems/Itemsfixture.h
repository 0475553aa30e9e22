// A shown form for the extended items under real input: a toolbar "Items"
// docked at the top and a main menu whose "&Items" menu holds the same
// items. A test makes its items on the form and places them; the form is
// shot as it goes.
#pragma once

#include "Barstest.h"
#include "bars/extitems/Dxbarextitems.h"

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
