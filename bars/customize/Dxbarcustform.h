// The Customize window of a bar manager: toolbars, commands and options of
// the live manager, edited while it is customizing.
#pragma once

#include "bars/Dxbar.h"

class TdxBarCustomizingForm : public TForm {
 public:
  explicit TdxBarCustomizingForm(TdxBarManager* manager);
  TdxBarManager* BarManager() const { return barManager_; }
  // Follows the main form's showing and hiding.
  void UpdateVisibility(const WINDOWPOS& pos);
  void SelectPage(int page);

 private:
  TdxBarManager* barManager_ = nullptr;
};

// The open Customize window, or none.
TdxBarCustomizingForm* dxBarCustomizingForm();
