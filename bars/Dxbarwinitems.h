// Window items: the edit and combo items, whose controls host a real edit
// window while they have the focus. The item keeps the committed text and
// the events; the combos keep their entries and decide the size and place
// of their drop-down window.
//
// The controls declared here are stand-ins that keep what the items read
// from them (text, focus, drop-down state, browsed entry) and make no
// window; the hosted edit windows replace them under the same names.
#pragma once

#include "Dxbarcontrols.h"
#include "classlib/Stdctrls.h"

class TdxBarWinControl;
class TdxBarEditControl;
class TCustomdxBarComboControl;
class TdxBarComboControl;

using TdxBarCheckKeyForDropDownWindowEvent = TEvent<TObject*, WORD, TShiftState, bool&>;
using TdxBarGetDropDownWindowEvent = TEvent<TObject*, HWND&>;
using TdxBarDrawItemEvent = TEvent<TObject*, int, const TRect&, TOwnerDrawState>;
using TdxBarMeasureItemEvent = TEvent<TObject*, int, int&>;

// The whole text of a window (GetWindowTextLength + 1 characters read);
// empty when the window reports none.
String dxBarGetWindowText(HWND wnd);

// ---------------------------------------------------------------- items

// An item whose control hosts a window: the committed text and the events
// of the editing.
class TdxBarWindowItem : public TdxBarItem {
 public:
  explicit TdxBarWindowItem(TComponent* owner) : TdxBarItem(owner) {}

  const String& Text() const { return text_; }
  // A different text is stored, then Update, Change, Update.
  virtual void SetText(const String& value);
  // The text of the control being edited, else Text.
  String CurText() const;
  void SetCurText(const String& value);
  // CurItemLink while its control hosts a window and has the focus.
  TdxBarItemLink* FocusedItemLink() const;
  // The first link whose control hosts a window takes the focus.
  virtual void SetFocus();

  bool CanClicked() const override { return false; }

  // Fire their events (Change not while loading).
  virtual void Change();
  virtual void CurChange();
  virtual void DoEnter();
  virtual void DoExit();
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyPress(char& key);
  virtual void KeyUp(WORD& key, TShiftState shift);

  TNotifyEvent OnChange;
  TNotifyEvent OnCurChange;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;

 protected:
  // The control of a link when it hosts a window.
  static TdxBarWinControl* WinControlOf(const TdxBarItemLink* link);
  // Used by the combos: ShowEditor is its negation.
  bool editorHidden_ = false;
  String text_;
};

class TdxBarEdit : public TdxBarWindowItem {
 public:
  explicit TdxBarEdit(TComponent* owner);
  DX_BAR_ITEM_CLASS();

  // 0: the platform's limit.
  int MaxLength() const { return maxLength_; }
  // Values below 1 are stored as 0.
  void SetMaxLength(int value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value) { readOnly_ = value; }
  bool ShowCaption() const { return showCaption_; }
  void SetShowCaption(bool value);
  int Width() const { return width_; }
  // Values below 20 are stored as 20.
  void SetWidth(int value);

  bool HasAccel(TdxBarItemLink* link) const override;
  // The content of the edit field: the text (CurText while the link is
  // being edited) inside the rectangle, on the canvas's brush.
  virtual void DrawInterior(TCanvas* canvas, const TRect& r, TdxBarItemLink* link);
  // Every link without its own width whose control is an edit control
  // measures again.
  virtual void WidthChanged();

 private:
  int maxLength_ = 0;
  bool readOnly_ = false;
  bool showCaption_ = false;
  int width_ = 100;
};

// A combo without entries of its own: the drop-down window comes from
// OnGetDropDownWindow.
class TCustomdxBarCombo : public TdxBarEdit {
 public:
  explicit TCustomdxBarCombo(TComponent* owner) : TdxBarEdit(owner) {}
  DX_BAR_ITEM_CLASS();

  bool ShowEditor() const { return !editorHidden_; }
  void SetShowEditor(bool value);
  // The combo control of CurItemLink is dropped down; writing it asks that
  // control to drop down or close.
  bool DroppedDown() const;
  void SetDroppedDown(bool value);

  // Whether the key goes to the open drop-down window: every key but
  // Escape, Enter and Tab, unless OnCheckKeyForDropDownWindow says otherwise.
  virtual bool CheckKeyForDropDownWindow(WORD key, TShiftState shift);
  virtual HWND GetDropDownWindow();
  virtual void InitDropDownWindow() {}
  // Opens the drop-down window near the screen point (x, y), kept on the
  // monitor's work area.
  virtual void DropDown(int x, int y);
  virtual void AfterDropDown() {}
  virtual void CloseUp();
  // Moves (x, y) so that the drop-down window fits the work area.
  void CheckDropDownPoint(int& x, int& y);

  TdxBarCheckKeyForDropDownWindowEvent OnCheckKeyForDropDownWindow;
  TNotifyEvent OnCloseUp;
  TNotifyEvent OnDropDown;
  TdxBarGetDropDownWindowEvent OnGetDropDownWindow;
};

// A combo with a list of entries.
class TdxBarCustomCombo : public TCustomdxBarCombo {
 public:
  explicit TdxBarCustomCombo(TComponent* owner);
  ~TdxBarCustomCombo() override;

  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int value) { dropDownCount_ = value; }
  int DropDownWidth() const { return dropDownWidth_; }
  void SetDropDownWidth(int value) { dropDownWidth_ = value; }
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int value) { itemHeight_ = value; }
  int ItemIndex() const { return itemIndex_; }
  // An index outside the entries becomes -1; the entry's text (empty for
  // -1) becomes the text, and an entry equal to the text still counts as a
  // change.
  void SetItemIndex(int value);
  TStringList* Items() const { return items_.get(); }
  void SetItems(TStrings* value) { items_->Assign(value); }
  bool Sorted() const { return sorted_; }
  // The entries are kept sorted; ItemIndex follows the text.
  void SetSorted(bool value);
  // The entry (or -1) the text keeps.
  void SetText(const String& value) override;

  // The entry browsed in the focused control, else ItemIndex.
  int CurItemIndex() const;
  void SetCurItemIndex(int value);
  // The first entry sharing the longest beginning with text, letter case
  // ignored; -1 when none shares the first character.
  int GetNearestItemIndex(const String& text) const;

  void CurChange() override;
  bool CheckKeyForDropDownWindow(WORD key, TShiftState shift) override;
  void DropDown(int x, int y) override;

  // The canvas the entries are drawn and measured on: the edit field's
  // while DrawInterior runs, else the list's.
  TCanvas* GetCanvas();
  // Entry i (the text for -1) with a focus frame for a focused state.
  virtual void DrawItem(int index, const TRect& r, TOwnerDrawState state);
  virtual void MeasureItem(int index, int& height);
  virtual void MeasureItemWidth(int index, int& width);
  // Width of the drop-down list: DropDownWidth (else the current link's
  // field), widened for the widest entry and for a scroll bar when there
  // are more entries than DropDownCount.
  virtual int GetDropDownWidth();
  // Height of the drop-down list: its frame and its first DropDownCount
  // entries.
  int GetDropDownHeight();
  void DrawInterior(TCanvas* canvas, const TRect& r, TdxBarItemLink* link) override;

  TdxBarDrawItemEvent OnDrawItem;
  TdxBarMeasureItemEvent OnMeasureItem;

 protected:
  // Keeps the focused control's browsed entry in step with its text.
  void CheckLocalPos();

 private:
  void ItemsChanged(TObject* sender);
  TdxBarComboControl* FocusedComboControl() const;

  int dropDownCount_ = 8;
  int dropDownWidth_ = 0;
  bool drawingInEdit_ = false;
  int itemHeight_ = 0;
  int itemIndex_ = -1;
  TOwned<TStringList> items_;
  bool sorted_ = false;
  TCanvas* drawingCanvas_ = nullptr;
  // The list's canvas until the drop-down list window exists.
  TOwned<TMemoryCanvas> listCanvas_;
};

class TdxBarCombo : public TdxBarCustomCombo {
 public:
  explicit TdxBarCombo(TComponent* owner) : TdxBarCustomCombo(owner) {}
  DX_BAR_ITEM_CLASS();
};

// Where a drop-down window of size drop opens at (x, y) for an item
// rectangle of size item, inside workArea: on a horizontal toolbar it
// moves left to fit and opens above the item when there is more room
// above; in a menu or on a vertical toolbar it opens left of the item when
// there is more room there and moves up to fit. Never left of or above the
// work area.
TPoint dxBarDropDownPoint(TPoint p, const TRect& workArea, TSize item, TSize drop, bool horizontalToolbar);

// ---------------------------------------------------------------- controls

class TdxBarWinControl : public TdxBarItemControl {
 public:
  using TdxBarItemControl::TdxBarItemControl;
  DX_BAR_CONTROL_CLASS();
  bool Focused() const { return focused_; }
  // Taking the focus activates the control; losing it deactivates it.
  virtual void SetFocused(bool value);
  // The hosted window's whole text.
  virtual String GetText() const { return text_; }
  virtual void SetText(const String& value) { text_ = value; }

 protected:
  bool focused_ = false;
  String text_;
};

class TdxBarEditControl : public TdxBarWinControl {
 public:
  using TdxBarWinControl::TdxBarWinControl;
  DX_BAR_CONTROL_CLASS();
  // Width of the caption beside the field (0 without caption).
  virtual int CaptionWidth() const { return 0; }
  virtual void WidthChanged();
};

class TCustomdxBarComboControl : public TdxBarEditControl {
 public:
  using TdxBarEditControl::TdxBarEditControl;
  DX_BAR_CONTROL_CLASS();
  bool DroppedDown() const { return droppedDown_; }
  // Ignored when unchanged or while the item is read-only.
  virtual void SetDroppedDown(bool value);

 protected:
  bool droppedDown_ = false;
};

class TdxBarComboControl : public TCustomdxBarComboControl {
 public:
  using TCustomdxBarComboControl::TCustomdxBarComboControl;
  DX_BAR_CONTROL_CLASS();
  // Focusing starts browsing at the item's entry.
  void SetFocused(bool value) override;
  // The entry shown while the user browses with the arrow keys.
  int LocalItemIndex() const { return localItemIndex_; }
  // Shows entry index (the item's text outside the entries).
  void SetLocalItemIndex(int index);
  // Only remembers the entry.
  void StoreLocalItemIndex(int index) { localItemIndex_ = index; }

 private:
  int localItemIndex_ = -1;
};
