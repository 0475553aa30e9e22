// The quick customization popups: the toolbars popup of a toolbar or dock
// site, the customizing popup of one link while the manager customizes,
// and the More Buttons window that drops from a toolbar's mark with its
// "Add or Remove Buttons" menu.
#pragma once

#include "Dxbarcontrols.h"

class TdxBarEdit;

// The context menu of a toolbar or dock site: one checked entry per bar
// that can be closed, then the Customize command.
class TdxBarToolbarsPopup : public TdxBarSubMenuControl {
 public:
  explicit TdxBarToolbarsPopup(TdxBarManager* manager);
  ~TdxBarToolbarsPopup() override;
  bool GetIsCustomizing() override { return false; }

 private:
  TdxBarItemLinks* links_;
};

// Opens the toolbars popup with its top-left at the screen point; a popup
// without entries is not shown.
void dxBarShowToolbarsPopup(TdxBarManager* manager, TPoint screen);

// The context menu of one link while its manager customizes: reset,
// delete, name, paint style, begin a group (and, designing, visible and
// most recently used).
class TdxBarCustomizingPopup : public TdxBarSubMenuControl {
 public:
  explicit TdxBarCustomizingPopup(TdxBarManager* manager);
  ~TdxBarCustomizingPopup() override;
  bool GetIsCustomizing() override { return false; }
  void DoCloseUp() override;
  // Sets the entries for the link.
  void Init(TdxBarItemLink* link);
  // The current link (kept after the popup went, until another popup
  // opens or the link is deleted through it).
  TdxBarItemLink* ItemLink() const;
  // Entry n of the table (null when the popup has fewer).
  TdxBarItem* Entry(int n) const;

 private:
  TdxBarItemLinks* links_;
  std::vector<TdxBarItem*> entries_;
  TdxBarEdit* nameEdit_ = nullptr;
};

// The current customizing popup and its link (null when none).
TdxBarCustomizingPopup* dxBarCustomizingPopup();
TdxBarItemLink* dxBarCustomizingPopupItemLink();
// Opens the customizing popup of the control's link at the screen point.
void dxBarShowCustomizingPopup(TdxBarItemControl* control, TPoint screen);

// An entry of "Add or Remove Buttons": shows a toolbar link (its real
// link) and toggles that link's visibility when clicked.
class TdxBarQuickCustItem : public TdxBarButton {
 public:
  explicit TdxBarQuickCustItem(TComponent* owner) : TdxBarButton(owner) {}
  DX_BAR_ITEM_CLASS();
  void DirectClick() override;
};

// The reset and Customize entries of "Add or Remove Buttons".
class TdxBarQuickCustExtButton : public TdxBarButton {
 public:
  explicit TdxBarQuickCustExtButton(TComponent* owner) : TdxBarButton(owner) {}
  DX_BAR_ITEM_CLASS();
};

class TdxBarQuickCustItemControl : public TdxBarButtonControl {
 public:
  using TdxBarButtonControl::TdxBarButtonControl;
  DX_BAR_CONTROL_CLASS();
  // The toolbar link the entry stands for.
  TdxBarItemLink* SourceLink() const;
  String GetCaption() override;
  TBitmap* GetGlyph() override;
  int GetImageIndex() override;
  String GetHint() override;
  TShortCut GetShortCut() override;
  int GetWidth() override;
  bool IsDestroyOnClick() override { return false; }
  void ControlUnclick(bool byMouse) override;
  void Paint(const TRect& r, TdxBarPaintType paintType) override;
};

class TdxBarQuickCustExtButtonControl : public TdxBarButtonControl {
 public:
  using TdxBarButtonControl::TdxBarButtonControl;
  DX_BAR_CONTROL_CLASS();
  int GetWidth() override;
  void Paint(const TRect& r, TdxBarPaintType paintType) override;
};

// The More Buttons window: the links that do not fit on the owner toolbar
// and the "Add or Remove Buttons" sub item. Made by the owner's mark.
class TdxBarQuickControl : public TdxBarControl {
 public:
  explicit TdxBarQuickControl(TdxBarControl* owner);
  ~TdxBarQuickControl() override;
  TdxBarControl* OwnerBar() const { return owner_; }
  TdxBarSubItem* AddRemoveItem() const { return addRemove_; }
  // Sizes and places the window below or beside the owner's mark (in the
  // work area) and shows it.
  void Popup();
  // The owner toolbar moved or was resized: the window's link to the mark
  // follows.
  void OwnerMoved();
  HBRUSH GetToolbarBrush() override;
  bool HideOnClick() override { return true; }
  void HideAll() override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& msg) override;

 private:
  static TdxBar* NewBar(TdxBarControl* owner);
  void AddRemovePopup(TObject* sender);
  void PaintFrame();
  TdxBarSubItem* addRemove_ = nullptr;
  TdxBarControl* owner_;
  TdxBarControlRef ownerRef_;
  TdxBarQuickCustItem* quickCustItem_ = nullptr;
};

// The open More Buttons window (null when none).
TdxBarQuickControl* dxBarQuickControl();
// A bar window other than the More Buttons window selected a control: the
// window closes 200 ms later unless the selection comes back to it.
void dxBarQuickControlSelectionChanged(TCustomdxBarControl* barControl);
// The 200 ms timer runs.
bool dxBarQuickControlTimerRunning();
// A mouse message seen by the mouse hook closes the More Buttons window
// unless it is for the window, its menus or the owner's mark.
void dxBarQuickControlMouse(UINT msg, HWND wnd, POINT pt);
