// Standard controls: labels, edits and memos, combo and list boxes, push
// buttons, check boxes, radio buttons and group boxes. The windowed ones
// superclass the system's classes; what lives in their windows (text,
// items, selection, check state) is kept in the object as well, so it
// survives RecreateWnd and a window made late.
#pragma once

#include "Forms.h"

class TListControlItems;
class TMemoStrings;

// ---------------------------------------------------------------- owner drawing

enum TOwnerDrawStateItem {
  odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight, odInactive, odNoAccel,
  odNoFocusRect, odComboBoxEdit,
};
using TOwnerDrawState = TSet<TOwnerDrawStateItem>;
// The state of a DRAWITEMSTRUCT's itemState.
TOwnerDrawState OwnerDrawState(UINT itemState);

// Control, item index, the item's rectangle and its state; the control's
// Canvas is set up on the item's device context.
using TDrawItemEvent = TEvent<TWinControl*, int, TRect, TOwnerDrawState>;
// Control, item index and its height (in: the ItemHeight).
using TMeasureItemEvent = TEvent<TWinControl*, int, int&>;

// ---------------------------------------------------------------- TLabel

// A caption painted on its parent: "&" marks the accelerator, which puts
// the focus on FocusControl.
class TCustomLabel : public TGraphicControl {
 public:
  explicit TCustomLabel(TComponent* owner);

  // The label takes the size of its caption; with WordWrap it keeps its
  // width and takes the height the wrapped lines need.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  // "&" underlines the next character (else it is shown as it is).
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool value);
  // The parent's background shows behind the text.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* value);

 protected:
  void Paint() override;
  void Dispatch(TMessage& msg) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;
  void TextChanged() override;
  void FontChanged() override;
  void EnabledChanged() override;
  // Sets the size when AutoSize is on.
  virtual void AdjustBounds();
  // Draws (or with DT_CALCRECT measures) the caption in rect.
  void DoDrawText(HDC dc, TRect& rect, UINT flags);
  UINT TextFlags() const;

 private:
  // How far the caption drawn in rect reaches past its right edge.
  int TextOverhang(HDC dc, const TRect& rect, UINT flags);
  // The width to lay the caption out in so that, as drawn, it ends within
  // width: glyphs can be drawn wider than their measured extent, and the
  // room they take past it is kept free on the right.
  int FitTextWidth(HDC dc, int width, UINT flags);
  bool autoSize_ = true;
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool wordWrap_ = false;
  bool showAccelChar_ = true;
  TWinControl* focusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
 public:
  explicit TLabel(TComponent* owner) : TCustomLabel(owner) {}
};

// ---------------------------------------------------------------- TEdit

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* owner);

  // Setting the text fires OnChange (never while loading).
  void SetText(const String& value) override;
  void Clear() { SetText(String()); }
  // 0 shows the characters; another character hides each behind it.
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  // 0: no limit.
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase value);
  // bsSingle: a sunken border; bsNone: none.
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  // The whole text is selected when the edit takes the focus from the
  // keyboard.
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool value) { autoSelect_ = value; }
  // The user changed the text since it was set.
  bool Modified();
  void SetModified(bool value);

  // The selection (the window is made when needed).
  int SelStart();
  void SetSelStart(int value);
  int SelLength();
  void SetSelLength(int value);
  String SelText();
  // Replaces the selection.
  void SetSelText(const String& value);
  void SelectAll();

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& msg) override;
  void DoEnter() override;
  virtual void Change();
  // While set, EN_CHANGE from the window is not the user's.
  bool creating_ = false;
  bool settingText_ = false;

 private:
  char passwordChar_ = 0;
  bool readOnly_ = false;
  int maxLength_ = 0;
  TEditCharCase charCase_ = ecNormal;
  TBorderStyle borderStyle_ = bsSingle;
  bool autoSelect_ = true;
  bool modified_ = false;
};

class TEdit : public TCustomEdit {
 public:
  explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
};

// ---------------------------------------------------------------- TMemo

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TCustomMemo : public TCustomEdit {
 public:
  explicit TCustomMemo(TComponent* owner);
  ~TCustomMemo() override;

  // The lines of the text (split at CR LF, CR or LF; a final line break
  // ends the last line). Editing them edits the window's text; Add
  // appends at the end and brings the end into view.
  TStrings* Lines() const;
  void SetLines(TStrings* value);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  // Enter makes a new line (else it goes to the default button); Tab
  // inserts a tab (else it moves the focus).
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool value) { wantReturns_ = value; }
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool value) { wantTabs_ = value; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);

 protected:
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& msg) override;
  void TextChanged() override;

 private:
  TOwned<TMemoStrings> lines_;
  TScrollStyle scrollBars_ = ssNone;
  bool wordWrap_ = true;
  bool wantReturns_ = true;
  bool wantTabs_ = false;
  TAlignment alignment_ = taLeftJustify;
};

class TMemo : public TCustomMemo {
 public:
  explicit TMemo(TComponent* owner) : TCustomMemo(owner) {}
};

// ---------------------------------------------------------------- TComboBox

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox : public TWinControl {
 public:
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;

  // The entries with their objects; kept in order when Sorted.
  TStrings* Items() const;
  void SetItems(TStrings* value);
  // The selected entry, -1 for none; an index outside the list selects
  // none. Setting it fires no event.
  int ItemIndex();
  void SetItemIndex(int value);
  // The edit's text; a drop-down list shows (and is set to) an entry.
  String Text() const override;
  void SetText(const String& value) override;
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle value);
  bool Sorted() const;
  void SetSorted(bool value);
  // Rows shown by the dropped-down list.
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int value);
  // Height of the list's rows (owner-drawn styles: as set; else the font's).
  int ItemHeight();
  void SetItemHeight(int value);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase value);
  void SelectAll();
  // The inner edit (csDropDown, csSimple) and the list window.
  HWND EditHandle() const { return editHandle_; }
  HWND ListHandle() const { return listHandle_; }
  // Owner drawing draws here.
  TCanvas* Canvas() const;

  // A typed change of the text, or a selection when OnSelect is unset.
  TNotifyEvent OnChange;
  // The user chose an entry (after OnClick).
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

 protected:
  friend class TListControlItems;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void WindowMessage(HWND wnd, TMessage& msg) override;
  void Dispatch(TMessage& msg) override;
  virtual void Change();
  virtual void Select();
  virtual void DropDown();
  virtual void CloseUp();
  virtual void DrawItem(int index, const TRect& rect, TOwnerDrawState state);
  virtual void MeasureItem(int index, int& height);
  // Messages of the inner edit and list: their keys reach the combo's
  // key events.
  void InnerWndProc(HWND wnd, TMessage& msg);

 private:
  void AdjustDropDown();
  // The selection between the window and the items (window made or gone).
  void SaveState();
  void LoadState();
  bool OwnerDrawn() const { return style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable; }
  bool HasEdit() const { return style_ == csDropDown || style_ == csSimple; }
  TOwned<TListControlItems> items_;
  TOwned<TControlCanvas> canvas_;
  TComboBoxStyle style_ = csDropDown;
  int dropDownCount_ = 8;
  int itemHeight_ = 16;
  int maxLength_ = 0;
  TEditCharCase charCase_ = ecNormal;
  HWND editHandle_ = nullptr;
  HWND listHandle_ = nullptr;
};

class TComboBox : public TCustomComboBox {
 public:
  explicit TComboBox(TComponent* owner) : TCustomComboBox(owner) {}
};

// ---------------------------------------------------------------- TListBox

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

class TCustomListBox : public TWinControl {
 public:
  explicit TCustomListBox(TComponent* owner);
  ~TCustomListBox() override;

  TStrings* Items() const;
  void SetItems(TStrings* value);
  void Clear();
  // The selected row (with MultiSelect: the focused row); -1 for none.
  int ItemIndex();
  void SetItemIndex(int value);
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool value);
  // With MultiSelect: Shift and Ctrl extend the selection (else every
  // click toggles a row).
  bool ExtendedSelect() const { return extendedSelect_; }
  void SetExtendedSelect(bool value);
  bool Selected(int index);
  void SetSelected(int index, bool value);
  int SelCount();
  bool Sorted() const;
  void SetSorted(bool value);
  TListBoxStyle Style() const { return style_; }
  void SetStyle(TListBoxStyle value);
  int ItemHeight();
  void SetItemHeight(int value);
  int TopIndex();
  void SetTopIndex(int value);
  // The width the horizontal scroll bar scrolls over (0: none).
  int ScrollWidth() const { return scrollWidth_; }
  void SetScrollWidth(int value);
  // Columns of a multi-column list (0: one column, scrolled vertically).
  int Columns() const { return columns_; }
  void SetColumns(int value);
  // The row at a client point; -1 when none (existing false: Count below
  // the last row).
  int ItemAtPos(const TPoint& pos, bool existing);
  TRect ItemRect(int index);
  TCanvas* Canvas() const;

  TDrawItemEvent OnDrawItem;
  TMeasureItemEvent OnMeasureItem;

 protected:
  friend class TListControlItems;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& msg) override;
  virtual void DrawItem(int index, const TRect& rect, TOwnerDrawState state);
  virtual void MeasureItem(int index, int& height);

 private:
  void SaveState();
  void LoadState();
  TOwned<TListControlItems> items_;
  TOwned<TControlCanvas> canvas_;
  int topIndex_ = 0;
  bool multiSelect_ = false;
  bool extendedSelect_ = true;
  TListBoxStyle style_ = lbStandard;
  int itemHeight_ = 16;
  int scrollWidth_ = 0;
  int columns_ = 0;
};

class TListBox : public TCustomListBox {
 public:
  explicit TListBox(TComponent* owner) : TCustomListBox(owner) {}
};

// ---------------------------------------------------------------- buttons

// Base of the BUTTON-class controls: they click from BN_CLICKED.
class TButtonControl : public TWinControl {
 public:
  explicit TButtonControl(TComponent* owner);

 protected:
  // Set while the control changes its own state: no OnClick then.
  bool ClicksDisabled() const { return clicksDisabled_ > 0; }
  int clicksDisabled_ = 0;
};

class TButton : public TButtonControl {
 public:
  explicit TButton(TComponent* owner);

  // Enter clicks the default button while the focus is on a control that
  // is not a button; a focused button is the default one meanwhile.
  bool Default() const { return default_; }
  void SetDefault(bool value);
  // Escape clicks a cancel button.
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  // A click sets the parent form's ModalResult (mrNone leaves it).
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value) { modalResult_ = value; }
  void Click() override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& msg) override;
  // Shows the button as the one Enter presses.
  virtual void SetButtonStyle(bool isDefault);
  bool Active() const { return active_; }

 private:
  void UpdateActive(TWinControl* focused);
  bool default_ = false;
  bool cancel_ = false;
  bool active_ = false;
  TModalResult modalResult_ = mrNone;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// A change of State, by the user or by code, fires OnClick (not while
// loading).
class TCustomCheckBox : public TButtonControl {
 public:
  explicit TCustomCheckBox(TComponent* owner);
  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState value);
  // A click goes unchecked, grayed, checked (else unchecked, checked).
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool value) { allowGrayed_ = value; }
  // taRightJustify: the box left of the caption; taLeftJustify: right of it.
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& msg) override;
  virtual void Toggle();

 private:
  TCheckBoxState state_ = cbUnchecked;
  bool allowGrayed_ = false;
  TAlignment alignment_ = taRightJustify;
};

class TCheckBox : public TCustomCheckBox {
 public:
  explicit TCheckBox(TComponent* owner) : TCustomCheckBox(owner) {}
};

// Checking one unchecks the radio buttons of the same parent; becoming
// checked fires OnClick (not while loading).
class TRadioButton : public TButtonControl {
 public:
  explicit TRadioButton(TComponent* owner);
  bool Checked() const { return checked_; }
  void SetChecked(bool value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& msg) override;

 private:
  bool checked_ = false;
  TAlignment alignment_ = taRightJustify;
};

// ---------------------------------------------------------------- TGroupBox

// A frame with a caption around its children; the caption's accelerator
// focuses the first child.
class TCustomGroupBox : public TCustomControl {
 public:
  explicit TCustomGroupBox(TComponent* owner);

 protected:
  void AdjustClientRect(TRect& rect) override;
  void Paint() override;
  void Dispatch(TMessage& msg) override;
  void TextChanged() override;
  void FontChanged() override;
  int CaptionHeight();
};

class TGroupBox : public TCustomGroupBox {
 public:
  explicit TGroupBox(TComponent* owner) : TCustomGroupBox(owner) {}
};
