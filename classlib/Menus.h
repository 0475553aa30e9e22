// Menus: items with captions, accelerators, shortcuts, checks and
// sub-items; main menus and popup menus over real HMENUs.
#pragma once

#include "Actnlist.h"
#include "Graphics.h"
#include "Wndclass.h"

class TMenu;
class TMenuItem;
class TCustomImageList;

enum TMenuBreak { mbNone, mbBreak, mbBarBreak };
enum TMenuItemAutoFlag { maAutomatic, maManual, maParent };
enum TPopupAlignment { paLeft, paRight, paCenter };
enum TTrackButton { tbRightButton, tbLeftButton };
enum TFindItemKind { fkCommand, fkHandle, fkShortCut };

constexpr char cHotkeyPrefix = '&';
extern const char* const cLineCaption;  // "-"

// The caption without its "&" marks ("&&" stays one "&").
String StripHotkey(const String& caption);
// The hotkey character of a caption, upper-cased; 0 when none.
char GetHotkey(const String& caption);

class TMenuActionLink : public TActionLink {
 public:
  explicit TMenuActionLink(TMenuItem* client);
  bool IsCaptionLinked() const override;
  bool IsCheckedLinked() const override;
  bool IsEnabledLinked() const override;
  bool IsHelpContextLinked() const override;
  bool IsHintLinked() const override;
  bool IsImageIndexLinked() const override;
  bool IsShortCutLinked() const override;
  bool IsVisibleLinked() const override;
  bool IsOnExecuteLinked() const override;
  void SetCaption(const String& value) override;
  void SetChecked(bool value) override;
  void SetEnabled(bool value) override;
  void SetHelpContext(int value) override;
  void SetHint(const String& value) override;
  void SetImageIndex(int value) override;
  void SetShortCut(TShortCut value) override;
  void SetVisible(bool value) override;

 protected:
  TMenuItem* item_;
};

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;

  // "-" makes a separator line.
  const String& Caption() const { return caption_; }
  void SetCaption(const String& value);
  bool Checked() const { return checked_; }
  // A checked radio item unchecks the other radio items of its group
  // among its siblings.
  void SetChecked(bool value);
  bool RadioItem() const { return radioItem_; }
  void SetRadioItem(bool value);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value);
  bool AutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool value) { autoCheck_ = value; }
  // The default item is shown in bold; a double click on a tray icon and
  // similar callers run it.
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  TMenuBreak Break() const { return break_; }
  void SetBreak(TMenuBreak value);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut value);
  const String& Hint() const { return hint_; }
  void SetHint(const String& value) { hint_ = value; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int value) { helpContext_ = value; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  bool IsLine() const { return caption_ == cLineCaption; }

  TBasicAction* Action() const;
  void SetAction(TBasicAction* value);
  TMenuActionLink* ActionLink() const { return actionLink_; }

  // Sub-items.
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const;
  TMenuItem* operator[](int index) const { return Items(index); }
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  // Takes the item out (it is not freed).
  void Remove(TMenuItem* item);
  // Frees the sub-item at index.
  void Delete(int index);
  // Frees every sub-item.
  void Clear();
  int IndexOf(const TMenuItem* item) const;
  TMenuItem* Parent() const { return parent_; }
  int MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }
  void SetMenuIndex(int value);
  TMenuItem* Find(const String& caption) const;  // by caption without "&"

  // The command id of the item (WM_COMMAND), unique in the process.
  UINT Command() const { return command_; }
  // The pop-up HMENU of an item with sub-items (made on demand).
  HMENU Handle();
  // The menu the item belongs to (nullptr when none).
  TMenu* GetParentMenu() const;

  // Fires OnClick, or runs the action when the handler is the action's own;
  // an AutoCheck item toggles first.
  virtual void Click();
  // Before its sub-menu opens (OnClick of a sub-menu item).
  virtual void InitiateAction();

  TNotifyEvent OnClick;

 protected:
  friend class TMenu;
  friend class TMenuActionLink;
  virtual TMenuActionLink* CreateActionLink();
  void Notification(TComponent* component, TOperation operation) override;
  // The HMENU of the sub-items is built again.
  void MenuChanged(bool rebuild);
  void RebuildHandle();
  void AppendTo(HMENU menu);
  void TurnSiblingsOff();

 private:
  void DoActionChange(TObject* sender);
  String caption_;
  bool checked_ = false;
  bool radioItem_ = false;
  int groupIndex_ = 0;
  bool autoCheck_ = false;
  bool default_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  TMenuBreak break_ = mbNone;
  TShortCut shortCut_ = 0;
  String hint_;
  int helpContext_ = 0;
  int imageIndex_ = -1;
  TMenuActionLink* actionLink_ = nullptr;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // set on the root item of a menu
  UINT command_ = 0;
  HMENU handle_ = nullptr;
};

class TMenu : public TComponent {
 public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;

  TMenuItem* Items() const { return items_; }
  // The raw menu (the shell adds its own entries to popup menus).
  virtual HMENU Handle();
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* value);
  // The item with that command id, HMENU or shortcut; nullptr when none.
  TMenuItem* FindItem(UINT_PTR value, TFindItemKind kind) const;
  // Runs the enabled item with this shortcut; true when one was found.
  bool IsShortCut(WORD key, TShiftState shift);
  // WM_COMMAND with an item's command id: the item's Click.
  bool DispatchCommand(UINT command);
  // WM_INITMENUPOPUP for one of the menu's HMENUs: the item's InitiateAction.
  bool DispatchPopup(HMENU menu);
  // The item of any menu of the process with that command id.
  static TMenuItem* FindCommand(UINT command);

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  TMenuItem* items_;
  TCustomImageList* images_ = nullptr;
};

class TMainMenu : public TMenu {
 public:
  explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
  HMENU Handle() override;  // a menu bar
};

class TPopupMenu : public TMenu {
 public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;

  // Opens the menu at a screen point and runs the chosen item (after the
  // menu's loop ends). OnPopup fires first; a control's context menu sets
  // PopupComponent before.
  virtual void Popup(int x, int y);
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* value);
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool value) { autoPopup_ = value; }
  TPopupAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment value) { alignment_ = value; }
  TTrackButton TrackButton() const { return trackButton_; }
  void SetTrackButton(TTrackButton value) { trackButton_ = value; }
  // Where the last Popup opened.
  TPoint PopupPoint() const { return popupPoint_; }

  TNotifyEvent OnPopup;

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  virtual void DoPopup(TObject* sender);

 private:
  TComponent* popupComponent_ = nullptr;
  bool autoPopup_ = true;
  TPopupAlignment alignment_ = paLeft;
  TTrackButton trackButton_ = tbRightButton;
  TPoint popupPoint_;
};

// The window that owns popup menus while they show; menu messages
// (WM_INITMENUPOPUP, WM_MENUSELECT, WM_DRAWITEM, WM_MEASUREITEM, WM_MENUCHAR)
// reach it, and a hook may look at them first (the shell's context menus
// handle their own entries through it). True from the hook: handled.
HWND PopupListWindow();
using TMenuMessageHook = TEvent<TMessage&, bool&>;
void SetMenuMessageHook(TMenuMessageHook hook);
