// The date combo: a combo whose text is a date ("ddd " and the user's
// short date). It drops a date navigator as the combo list drops, so the
// edit keeps the focus; '+' and '-' typed in it step a day. Where it shows
// as a button its click opens the "Select the date" dialog.
#pragma once

#include "bars/Dxbarwinitems.h"
#include "bars/extitems/Dxbarcalendar.h"

class TEdit;
class TButton;

// Where the "Select the date" dialog puts its parts: the edit over the
// navigator, OK and Cancel at the right's top, Today and Clear at its
// bottom (empty when not shown).
struct TdxBarDateDialogLayout {
  TSize Client;
  TRect Edit;
  TRect Navigator;
  TRect Ok;
  TRect Cancel;
  TRect Today;
  TRect Clear;
};
TdxBarDateDialogLayout dxBarDateDialogLayout(const TdxBarNavigatorMetrics& m, TSize navigator, int editHeight,
                                             bool showToday, bool showClear);

class TdxBarDateCombo : public TCustomdxBarCombo {
 public:
  explicit TdxBarDateCombo(TComponent* owner);
  ~TdxBarDateCombo() override;
  DX_BAR_ITEM_CLASS();

  // The date of the text, and of the text being edited (the no-date value
  // for an empty text).
  double Date() const;
  void SetDate(double value);
  double CurDate() const;
  void SetCurDate(double value);
  bool ShowTodayButton() const { return showTodayButton_; }
  void SetShowTodayButton(bool value) { showTodayButton_ = value; }
  bool ShowClearButton() const { return showClearButton_; }
  void SetShowClearButton(bool value) { showClearButton_ = value; }
  TdxBarDateNavigator* DateNavigator() const { return navigator_; }
  // The texts of the user's locale.
  static String GetDateText(double date);
  static double GetDateOfText(const String& text);

  // The text is always a date's, or empty.
  void SetText(const String& value) override;
  bool CheckKeyForDropDownWindow(WORD key, TShiftState shift) override;
  HWND GetDropDownWindow() override;
  void DropDown(int x, int y) override;
  void CloseUp() override;

 protected:
  // After the item's own click, without OnClick and unless read-only: the
  // "Select the date" dialog.
  void DoClick() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void DateChanged(TObject* sender);
  void ChooseInDialog();
  TdxBarDateNavigator* navigator_ = nullptr;
  bool showTodayButton_ = true;
  bool showClearButton_ = true;
};

class TdxBarDateComboControl : public TCustomdxBarComboControl {
 public:
  using TCustomdxBarComboControl::TCustomdxBarComboControl;
  DX_BAR_CONTROL_CLASS();
  double GetDate();
  void SetDate(double value);

 protected:
  void WndProc(TMessage& msg) override;
};
