// The spin edit item.
#pragma once

#include "bars/Dxbarwinitems.h"
#include "bars/extitems/Dxbarextlayout.h"

class TdxBarSpinEdit;
using TdxBarSpinEditButtonClickEvent = TEvent<TdxBarSpinEdit*, TdxBarSpinEditButton>;

// An edit for a number with an optional prefix or suffix, kept within a
// range, stepped by the two buttons at its right end and by Up and Down.
class TdxBarSpinEdit : public TdxBarEdit {
 public:
  explicit TdxBarSpinEdit(TComponent* owner);
  DX_BAR_ITEM_CLASS();

  const TdxBarSpinRules& Rules() const { return rules_; }
  TdxBarSpinEditValueType ValueType() const { return rules_.ValueType; }
  void SetValueType(TdxBarSpinEditValueType value);
  long double Increment() const { return rules_.Increment; }
  void SetIncrement(long double value) { rules_.Increment = rules_.CheckedIncrement(value); }
  long double MaxValue() const { return rules_.MaxValue; }
  void SetMaxValue(long double value);
  long double MinValue() const { return rules_.MinValue; }
  void SetMinValue(long double value);
  const String& Prefix() const { return rules_.Prefix; }
  void SetPrefix(const String& value);
  TdxBarSpinEditPrefixPlace PrefixPlace() const { return rules_.PrefixPlace; }
  void SetPrefixPlace(TdxBarSpinEditPrefixPlace value);
  // The committed value (read from Text) and the value of the text being
  // edited; the integer forms are truncated, 64-bit.
  long double Value() const { return rules_.TextToValue(Text()); }
  void SetValue(long double value);
  long double CurValue() const { return rules_.TextToValue(CurText()); }
  void SetCurValue(long double value);
  int64_t IntValue() const { return dxBarSpinTruncate(Value()); }
  void SetIntValue(int64_t value) { SetValue(static_cast<long double>(value)); }
  int64_t IntCurValue() const { return dxBarSpinTruncate(CurValue()); }
  void SetIntCurValue(int64_t value) { SetCurValue(static_cast<long double>(value)); }

  // A text that converts is stored clamped and with the prefix; one that
  // does not changes nothing (the field being edited shows the committed
  // text again).
  void SetText(const String& value) override;
  // One step up or down, then OnButtonClick.
  virtual void DoButtonClick(TdxBarSpinEditButton button);
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void KeyUp(WORD& key, TShiftState shift) override;

  TdxBarSpinEditButtonClickEvent OnButtonClick;

 private:
  class TdxBarSpinEditControl* FocusedSpinControl() const;
  TdxBarSpinRules rules_;
};

class TdxBarSpinEditControl : public TdxBarEditControl {
 public:
  explicit TdxBarSpinEditControl(TdxBarItemLink* link) : TdxBarEditControl(link) {}
  ~TdxBarSpinEditControl() override;
  DX_BAR_CONTROL_CLASS();

  TdxBarSpinEdit* SpinEdit() const { return dynamic_cast<TdxBarSpinEdit*>(Item()); }
  TdxBarSpinEditButton ActiveButton() const { return activeButton_; }
  void SetActiveButton(TdxBarSpinEditButton value);
  bool ButtonPressed() const { return buttonPressed_; }
  void SetButtonPressed(bool value);
  // The buttons as last painted, in the bar window's coordinates.
  const TdxBarSpinButtons& Buttons() const { return buttons_; }
  // The button under a point of the edit window (sbNone outside the
  // buttons or while read-only).
  TdxBarSpinEditButton ButtonFromPoint(TPoint p);
  // The mouse repeats a held button.
  bool Repeating() const { return timer_ != 0; }
  // Ends a held button's repeat.
  void BreakProcess();
  // The repeat timer ticked.
  void RepeatTick();

  void Paint(const TRect& r, TdxBarPaintType paintType) override;

 protected:
  void WndProc(TMessage& msg) override;

 private:
  void StartTimer(UINT elapse, bool first);
  void StopTimer();
  TdxBarSpinEditButton activeButton_ = sbNone;
  bool buttonPressed_ = false;
  TdxBarSpinButtons buttons_;
  UINT_PTR timer_ = 0;
  bool firstTimer_ = false;
};
