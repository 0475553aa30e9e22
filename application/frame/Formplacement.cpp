#include "Formplacement.h"

TPlacementState TFormPlacement::PlacementState() const {
  if (form_->HandleAllocated()) return Handle().PlacementState();
  TWindowState s = form_->WindowState();
  return s == wsMaximized ? psMaximized : s == wsMinimized ? psMinimized : psNormal;
}

RECT TFormPlacement::NormalBounds() const {
  if (form_->HandleAllocated()) return Handle().NormalBounds();
  TRect b = form_->BoundsRect();
  return RECT{b.left, b.top, b.right, b.bottom};
}

void TFormPlacement::SetNormalBounds(const RECT& b) {
  if (form_->HandleAllocated() && IsWindowVisible(form_->Handle()) && PlacementState() != psNormal) {
    Handle().SetNormalBounds(b);
    return;
  }
  form_->SetBounds(b.left, b.top, b.right - b.left, b.bottom - b.top);
}
