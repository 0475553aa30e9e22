// The placement of a form in the settings store (TReg::LoadFormPlacement,
// TReg::SaveFormPlacement).
#pragma once

#include "Regdataunit.h"
#include "classlib/Forms.h"

// The placement of a form that may not have its window yet: until it is
// shown, maximising only sets the state the form shows in.
class TFormPlacement : public TPlacementWindow {
 public:
  explicit TFormPlacement(TCustomForm* form) : form_(form) {}
  String PlacementName() const override { return form_->Name(); }
  TPlacementState PlacementState() const override;
  RECT NormalBounds() const override;
  void SetNormalBounds(const RECT& b) override;
  void Maximize() override { form_->SetWindowState(wsMaximized); }

 private:
  THandlePlacement Handle() const { return THandlePlacement(form_->Handle(), form_->Name()); }
  TCustomForm* form_;
};
