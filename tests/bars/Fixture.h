// The main window's bars as a fixture: the manager "Bar1" with nine
// categories, 60 buttons bound to test actions, the quick-connect combo
// "ComboQuick", nine sub items (the seven menus, "Commands" and
// "Permissions") and the nine bars, "Main Menu" the main menu; the four
// view buttons are check buttons of group 10.
#pragma once

#include "Barstest.h"

class TBarsFixtureForm : public TForm {
 public:
  explicit TBarsFixtureForm(TComponent* owner = nullptr);
  TdxBarButton* Button(const String& name) const;
  TdxBarSubItem* Sub(const String& name) const;
  TAction* Action(const String& name) const;

  TdxBarManager* Bar1 = nullptr;
  TImageList* Imagebars = nullptr;
  TActionList* ActionList1 = nullptr;
  std::vector<String> Executed;
  int HelpClicks = 0;

 private:
  void ActionExecute(TObject* sender);
  void Bar1HelpButtonClick(TObject* sender);
};

// The number of test actions (every button but the second Quick Connect one
// has its own).
constexpr int kFixtureActions = 59;
