// Window items: the edit and combo items, whose controls host a real edit
// window while they have the focus. The item keeps the committed text and
// the events; the combos keep their entries and decide the size and place
// of their drop-down window.
//
// Their controls (Dxbarwincontrols.cpp) show a platform EDIT window over
// the item only while it has the focus and paint the text themselves the
// rest of the time; the combo controls add the drop button and open the
// drop-down window, for the combos with entries the owner-drawn list of
// Dxbardropdown.cpp.
#pragma once

#include "Dxbarcontrols.h"
#include "classlib/Stdctrls.h"

class TdxBarWinControl;
class TdxBarEditControl;
class TCustomdxBarComboControl;
class TdxBarComboControl;
class TdxBarCustomCombo;

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
  // The first link whose control hosts a window on a toolbar: the toolbar
  // takes the keyboard for it and the control is clicked without mouse.
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

// The owner-drawn list that drops from a combo with entries: a child of the
// combo's bar window when made, then detached to float above everything as
// a topmost tool window that never takes the focus from the combo's edit.
// Its rows are drawn and measured by the combo item.
class TdxBarDropDownListBox : public TCustomListBox {
 public:
  explicit TdxBarDropDownListBox(TdxBarCustomCombo* combo);
  TdxBarCustomCombo* Combo() const { return combo_; }
  // Set while the press that opened the list is held and has not yet
  // entered the list.
  bool PressPending() const { return pressPending_; }
  void SetPressPending(bool value) { pressPending_ = value; }
  // The list's window is made as a child of barWindow.
  void Prepare(HWND barWindow);
  // The window goes with its parent.
  void Release();
  // Every row takes the height the combo measures for it.
  void MeasureRows();

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& msg) override;
  void Dispatch(TMessage& msg) override;

 private:
  void RowChosen(int index);
  void ShowRow(int index);
  void MouseMove(TMessage& msg);
  void LButtonUp(TMessage& msg);
  void NCPaint();
  TdxBarCustomCombo* combo_;
  bool pressPending_ = false;
  int shownRow_ = -2;
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
  TdxBarDropDownListBox* ListBox() const { return listBox_; }

  // The entry browsed in the focused control, else ItemIndex.
  int CurItemIndex() const;
  void SetCurItemIndex(int value);
  // The first entry sharing the longest beginning with text, letter case
  // ignored; -1 when none shares the first character.
  int GetNearestItemIndex(const String& text) const;

  void CurChange() override;
  bool CheckKeyForDropDownWindow(WORD key, TShiftState shift) override;
  HWND GetDropDownWindow() override;
  void InitDropDownWindow() override;
  void DropDown(int x, int y) override;
  void AfterDropDown() override;
  void CloseUp() override;

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

  // The canvas entries are drawn and measured on for a while (a list's
  // owner drawing; nullptr: none); the previous one is returned.
  TCanvas* SetDrawingCanvas(TCanvas* canvas) {
    TCanvas* old = drawingCanvas_;
    drawingCanvas_ = canvas;
    return old;
  }

  TdxBarDrawItemEvent OnDrawItem;
  TdxBarMeasureItemEvent OnMeasureItem;

 protected:
  friend class TdxBarDropDownListBox;
  friend class TdxBarComboControl;
  // Keeps the focused control's browsed entry in step with its text, and
  // the open list's selection with the entry.
  void CheckLocalPos();
  bool DrawingInEdit() const { return drawingInEdit_; }

 private:
  void ItemsChanged(TObject* sender);
  TdxBarComboControl* FocusedComboControl() const;

  int dropDownCount_ = 8;
  int dropDownWidth_ = 0;
  bool drawingInEdit_ = false;
  int itemHeight_ = 0;
  int itemIndex_ = -1;
  TOwned<TStringList> items_;
  TdxBarDropDownListBox* listBox_ = nullptr;
  bool sorted_ = false;
  TCanvas* drawingCanvas_ = nullptr;
  // Where the entries are measured outside drawing, in the list's font.
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

// A control that hosts a child window of its bar window (an EDIT for the
// edit and combo controls), shown over the item only while the control has
// the focus. The hosted window is subclassed: its messages come to WndProc.
class TdxBarWinControl : public TdxBarItemControl, public TWindowObject {
 public:
  explicit TdxBarWinControl(TdxBarItemLink* link);
  ~TdxBarWinControl() override;
  DX_BAR_CONTROL_CLASS();

  // The hosted window (none until made).
  HWND Window() const { return window_; }
  bool Focused() const { return focused_; }
  // Taking the focus shows the window over the item and focuses it;
  // losing it hides the window and gives the focus back.
  virtual void SetFocused(bool value);
  // The hosted window's whole text.
  virtual String GetText();
  virtual void SetText(const String& value);
  // Where the window goes while focused (bar client coordinates); zero
  // wide while the item's editor is hidden, empty while disabled.
  TRect GetWindowRect();
  // The editor of the item is hidden (a combo whose ShowEditor is off).
  bool EditorHidden();

  bool CanClicked() override;
  bool IsDestroyOnClick() override { return false; }
  void ControlClick(bool byMouse) override;
  void ControlInactivate(bool immediately) override;
  bool HostedWindowFocused() override { return window_ && GetFocus() == window_; }
  // A mouse press, release or double click of the bar window at a client
  // point, handed on to the hosted window (outside it for a press and a
  // double click).
  void BarMouseMessage(UINT msg, WPARAM keys, TPoint p);

 protected:
  // Makes the window and subclasses it; nothing while the bar window has
  // no handle or its toolbar is being moved.
  virtual void CreateWindowHandle();
  void DestroyWindowHandle();
  // The window exists (made now when it can be).
  bool NeedWindow();
  virtual HWND MakeWindow() { return nullptr; }
  // The messages of the hosted window.
  virtual void WndProc(TMessage& msg);
  void WindowMessage(HWND wnd, TMessage& msg) override;
  // The hosted window's own handling.
  void DefaultHandler(TMessage& msg);
  // Hand the key to the item's events; false when a handler set it to 0.
  bool DoKeyDown(TMessage& msg);
  bool DoKeyPress(TMessage& msg);
  bool DoKeyUp(TMessage& msg);
  void RemoveCharMessages();
  // The bar window moves its toolbar (no hosted window meanwhile).
  bool ParentMoving() const;
  void SetTextQuietly(const String& value);

  bool focused_ = false;
  // The control writes the text itself: no user edit.
  bool settingText_ = false;
  HWND window_ = nullptr;
  int sysKeyCount_ = 0;
  HWND prevFocus_ = nullptr;
  TRect windowRect_;
  // The focus went to a window the user chose: it is not given back.
  bool focusTaken_ = false;

 private:
  // The form, the manager or the bar window is being destroyed.
  bool Going();
  void SystemKey(TMessage& msg);
  void KillFocus(TMessage& msg);
  void GiveFocusBack();
};

class TdxBarEditControl : public TdxBarWinControl {
 public:
  explicit TdxBarEditControl(TdxBarItemLink* link);
  ~TdxBarEditControl() override;
  DX_BAR_CONTROL_CLASS();

  TdxBarEdit* Edit() const { return dynamic_cast<TdxBarEdit*>(Item()); }
  bool GetShowCaption();
  // Width of the caption cell beside the field (0 without caption).
  int GetCaptionWidth();
  int CaptionWidth() { return GetCaptionWidth(); }
  int GetMinWidth() override;
  int GetWidth() override;
  int GetHeight() override;
  bool DrawSelected() override;
  void ControlClick(bool byMouse) override;
  void SetFocused(bool value) override;
  void SetText(const String& value) override;
  int EditSizingCaptionWidth() override { return GetCaptionWidth(); }
  virtual void WidthChanged();
  void Paint(const TRect& r, TdxBarPaintType paintType) override;

 protected:
  HWND MakeWindow() override;
  void WndProc(TMessage& msg) override;
  // Caption and border; r becomes the rectangle inside them.
  void DrawCaption(TRect& r, TdxBarPaintType paintType, bool selected);
  void DrawBorder(TRect& r, TdxBarPaintType paintType, bool selected);
  void DrawTextField(const TRect& r);
  HBRUSH BackgroundBrush();
  // The window moves to the window rectangle while focused.
  void PlaceWindow();
};

class TCustomdxBarComboControl : public TdxBarEditControl {
 public:
  using TdxBarEditControl::TdxBarEditControl;
  ~TCustomdxBarComboControl() override;
  DX_BAR_CONTROL_CLASS();
  TCustomdxBarCombo* Combo() const { return dynamic_cast<TCustomdxBarCombo*>(Item()); }
  bool DroppedDown() const { return droppedDown_; }
  // Ignored when unchanged or while the item is read-only.
  virtual void SetDroppedDown(bool value);
  HWND GetDropDownWindow();
  HWND DropDownWindow() override { return droppedDown_ ? GetDropDownWindow() : nullptr; }
  const TRect& DropButtonRect() const { return dropButtonRect_; }
  void ControlInactivate(bool immediately) override;
  void GetArrowParams(TdxBarPaintType paintType, bool droppedDown, int& colorIndex, HBRUSH& brush,
                      bool selected) override;
  void Paint(const TRect& r, TdxBarPaintType paintType) override;

 protected:
  void WndProc(TMessage& msg) override;
  void DrawDropButton(TRect r, TdxBarPaintType paintType, bool selected);
  // The point lies in the drop button (window coordinates of the hosted
  // window); with the editor hidden the button reaches to the field's left.
  bool InDropButton(TPoint p);

  TRect dropButtonRect_;
  bool droppedAtMouseDown_ = false;
  bool droppedDown_ = false;
};

class TdxBarComboControl : public TCustomdxBarComboControl {
 public:
  using TCustomdxBarComboControl::TCustomdxBarComboControl;
  DX_BAR_CONTROL_CLASS();
  TdxBarCustomCombo* CustomCombo() const { return dynamic_cast<TdxBarCustomCombo*>(Item()); }
  // Focusing starts browsing at the item's entry.
  void SetFocused(bool value) override;
  // The entry shown while the user browses with the arrow keys.
  int LocalItemIndex() const { return localItemIndex_; }
  // Shows entry index (the item's text outside the entries).
  void SetLocalItemIndex(int index);
  // Only remembers the entry.
  void StoreLocalItemIndex(int index) { localItemIndex_ = index; }

 protected:
  void WndProc(TMessage& msg) override;

 private:
  // Without an editor a typed character chooses, as in a drop-down list.
  void TypeToChoose(char c);
  int localItemIndex_ = -1;
  // The letters typed so far and when the last one came.
  String typed_;
  DWORD typedAt_ = 0;
};
