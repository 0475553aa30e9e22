#include "Dxbarcustform.h"

TdxBarCustomizingForm::TdxBarCustomizingForm(TdxBarManager* manager) : TForm(nullptr), barManager_(manager) {}
void TdxBarCustomizingForm::UpdateVisibility(const WINDOWPOS&) {}
void TdxBarCustomizingForm::SelectPage(int) {}

TdxBarCustomizingForm* dxBarCustomizingForm() { return nullptr; }
