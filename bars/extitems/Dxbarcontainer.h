// The control container item, which puts a control of the form onto a bar.
#pragma once

#include "bars/Dxbarwinitems.h"
#include "bars/extitems/Dxbarextlayout.h"

// Puts a control of the form onto a bar or into a menu: the item's place, a
// borderless form, becomes a child of the bar window at the link's
// rectangle and the control is parented to it, filling it.
class TdxBarControlContainerItem : public TdxBarItem {
 public:
  explicit TdxBarControlContainerItem(TComponent* owner);
  ~TdxBarControlContainerItem() override;
  DX_BAR_ITEM_CLASS();

  TControl* Control() const { return control_; }
  // A control another container of the manager hosts raises "You cannot
  // assign the same control to more than one TdxBarControlContainerItem."
  // and the item keeps its own.
  void SetControl(TControl* value);
  TForm* Place() const { return place_; }
  // A link's control is placing the hosted control right now.
  bool GetInPlaceControl() const;

  bool CanClicked() const override { return false; }
  bool GetHidden() const override { return true; }
  bool NeedToBeHidden() const override { return true; }
  bool HasAccel(TdxBarItemLink* link) const override;
  void HideControl(TdxBarItemControl* control) override;
  void SetName(const String& name) override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TdxBarControlContainerControl;
  bool IsControlAssigned(TControl* control) const;
  void ControlWndProc(TMessage& msg);
  void SaveControlSize();
  void ReleaseControl();
  TControl* control_ = nullptr;
  TForm* place_ = nullptr;
  TWndMethod savedWndProc_;
  int savedWidth_ = 0, savedHeight_ = 0;
};

class TdxBarControlContainerControl : public TdxBarItemControl {
 public:
  using TdxBarItemControl::TdxBarItemControl;
  ~TdxBarControlContainerControl() override;
  DX_BAR_CONTROL_CLASS();

  TdxBarControlContainerItem* Container() const { return dynamic_cast<TdxBarControlContainerItem*>(Item()); }
  // Not in a customization popup, a control to show, not designing.
  bool ShowsControl();
  // The place sits in this control's bar window.
  bool IsShowingControl();
  bool Placing() const { return placing_; }

  void BeforeDestroyParentHandle() override;
  bool CanClicked() override { return ParentIsQuickCustControl(); }
  bool CanSelect() override;
  int GetHeight() override;
  int GetWidth() override;
  bool IsDestroyOnClick() override { return ParentIsQuickCustControl(); }
  bool NeedCaptureMouse() override { return ParentIsQuickCustControl(); }
  void Paint(const TRect& r, TdxBarPaintType paintType) override;

 private:
  void PlaceControl();
  // The control shows in another bar window that keeps it.
  bool PlaceTaken();
  void PaintPlaceholder(const TRect& r, TdxBarPaintType paintType);
  bool placing_ = false;
};
