// The date combo, its control and its "Select the date" dialog.
#include "bars/extitems/Dxbardatecombo.h"

#include <memory>

#include "bars/Dxbarcontrols.h"
#include "bars/Dxbarstrs.h"
#include "bars/extitems/Dxbardatetext.h"
#include "bars/extitems/Dxbarextitems.h"
#include "classlib/Forms.h"
#include "classlib/Stdctrls.h"

DX_BAR_ITEM_CLASS_IMPL(TdxBarDateCombo)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarDateComboControl)

namespace {

// Sizes are set again until they hold, at most this often.
constexpr int kSizeTries = 4;

TCustomdxBarComboControl* ComboControl(TdxBarItemLink* link) {
  return link ? dynamic_cast<TCustomdxBarComboControl*>(link->Control()) : nullptr;
}

}  // namespace

TdxBarDateDialogLayout dxBarDateDialogLayout(const TdxBarNavigatorMetrics& nm, TSize navigator, int editHeight,
                                             bool showToday, bool showClear) {
  int bw = MulDiv(nm.TodayButtonWidth, 3, 2);
  int bh = MulDiv(nm.ButtonsHeight, 7, 6);
  int m = nm.ButtonsHeight / 4;
  TdxBarDateDialogLayout l;
  l.Client = TSize(navigator.cx + m + m + bw + m, editHeight + m + m + navigator.cy + m);
  l.Edit = TRect(m, m, m + navigator.cx, m + editHeight);
  l.Navigator = TRect(m, l.Edit.bottom + m, m + navigator.cx, l.Edit.bottom + m + navigator.cy);
  l.Ok = TRect(l.Edit.right + m, m, l.Edit.right + m + bw, m + bh);
  l.Cancel = TRect(l.Ok.left, l.Ok.bottom + m, l.Ok.right, l.Ok.bottom + m + bh);
  int clearTop = l.Client.cy - m - bh;
  if (showClear) l.Clear = TRect(l.Ok.left, clearTop, l.Ok.right, clearTop + bh);
  if (showToday) l.Today = TRect(l.Ok.left, clearTop - m - bh, l.Ok.right, clearTop - m);
  return l;
}

// ---------------------------------------------------------------- item

TdxBarDateCombo::TdxBarDateCombo(TComponent* owner) : TCustomdxBarCombo(owner) {
  try {
    glyph_->LoadFromResourceName(GetModuleHandleA(nullptr), "DXBARDATECOMBO");
  } catch (const Exception&) {
    // A program without the bars' resources shows the combo without glyph.
  }
  SetDate(dxBarSystem()->Today());
  navigator_ = new TdxBarDateNavigator(this, this, true);
  navigator_->FreeNotification(this);
}

TdxBarDateCombo::~TdxBarDateCombo() {
  if (navigator_) {
    TdxBarDateNavigator* n = navigator_;
    navigator_ = nullptr;
    n->Free();
  }
}

void TdxBarDateCombo::Notification(TComponent* component, TOperation operation) {
  TCustomdxBarCombo::Notification(component, operation);
  if (operation == opRemove && component == navigator_) navigator_ = nullptr;
}

String TdxBarDateCombo::GetDateText(double date) { return dxBarDateText(date, LOCALE_USER_DEFAULT); }

double TdxBarDateCombo::GetDateOfText(const String& text) { return dxBarDateOfText(text, LOCALE_USER_DEFAULT); }

double TdxBarDateCombo::Date() const { return GetDateOfText(Text()); }

void TdxBarDateCombo::SetDate(double value) { SetText(GetDateText(value)); }

double TdxBarDateCombo::CurDate() const { return GetDateOfText(CurText()); }

void TdxBarDateCombo::SetCurDate(double value) { SetCurText(GetDateText(value)); }

void TdxBarDateCombo::SetText(const String& value) { TCustomdxBarCombo::SetText(GetDateText(GetDateOfText(value))); }

bool TdxBarDateCombo::CheckKeyForDropDownWindow(WORD key, TShiftState shift) {
  if (key == VK_RETURN) return true;
  return TCustomdxBarCombo::CheckKeyForDropDownWindow(key, shift);
}

HWND TdxBarDateCombo::GetDropDownWindow() {
  if (HWND wnd = TCustomdxBarCombo::GetDropDownWindow()) return wnd;
  return navigator_ && navigator_->HandleAllocated() ? navigator_->Handle() : nullptr;
}

void TdxBarDateCombo::DropDown(int x, int y) {
  if (!navigator_) return;
  double d = Date();
  if (d == dxBarNoDate) d = dxBarDateOf(dxBarSystem()->Today());
  navigator_->SetFirstDate(d);
  navigator_->SetSelStart(d);
  navigator_->OnDateTimeChanged = {this, &TdxBarDateCombo::DateChanged};
  navigator_->SetShowTodayButton(showTodayButton_);
  navigator_->SetShowClearButton(showClearButton_);
  if (!navigator_->HandleAllocated()) {
    // Made in the manager's main form (else the bar window), then floated
    // off it.
    TdxBarItemLink* link = CurItemLink();
    TCustomdxBarControl* bar = link ? link->BarControl() : nullptr;
    TCustomForm* form = BarManager() ? BarManager()->MainForm() : nullptr;
    HWND parent = form && form->HandleAllocated() ? form->Handle()
                  : bar && bar->HandleAllocated() ? bar->Handle() : nullptr;
    if (!parent) return;
    navigator_->SetParentWindow(parent);
    navigator_->HandleNeeded();
  }
  navigator_->UpdateFont();
  TCustomdxBarCombo::DropDown(x, y);
}

void TdxBarDateCombo::CloseUp() {
  if (navigator_ && navigator_->HandleAllocated() && IsWindowVisible(navigator_->Handle())) {
    if (GetCapture() == navigator_->Handle()) ReleaseCapture();
    navigator_->DeactivateAll();
  }
  TCustomdxBarCombo::CloseUp();
}

void TdxBarDateCombo::DateChanged(TObject*) {
  if (!navigator_) return;
  double d = navigator_->GetSelStart();
  TdxBarItemLink* link = CurItemLink();
  TCustomdxBarComboControl* control = ComboControl(link);
  std::shared_ptr<const bool> alive = control ? control->Alive() : nullptr;
  if (link && link->RealItemLink()) link->RealItemLink()->BringToTopInRecentList(true);
  if (TdxBarManager* m = BarManager()) m->HideAll();
  if (control && *alive && control->DroppedDown()) control->SetDroppedDown(false);
  SetDate(d);
}

void TdxBarDateCombo::DoClick() {
  TCustomdxBarCombo::DoClick();
  if (OnClick || ReadOnly()) return;
  ChooseInDialog();
}

namespace {

// The "Select the date" dialog: an edit over a navigator, OK and Cancel
// beside them, Today and Clear below those.
class TSelectDateForm : public TForm {
 public:
  explicit TSelectDateForm(TdxBarDateCombo* combo) : TForm(nullptr), combo_(combo) {
    SetBorderStyle(bsDialog);
    SetCaption(dxBarLoadStr(dxSBAR_DATEDIALOGCAPTION));
    if (TdxBarManager* m = combo->BarManager()) Font()->Assign(m->Font());
    SetPosition(poScreenCenter);

    Edit = new TEdit(this);
    Edit->SetName("EditDate");
    Edit->SetParent(this);
    Edit->OnChange = {this, &TSelectDateForm::DateEditChange};
    Navigator = new TdxBarDateNavigator(this, combo, false);
    Navigator->SetName("Navigator");
    Navigator->SetStyle(cs3D);
    Navigator->Font()->Assign(Font());
    Navigator->SetParent(this);
    Navigator->OnDateTimeChanged = {this, &TSelectDateForm::DateChanged};
    Navigator->SetVisible(true);
    Ok = Button("ButtonOK", dxBarLoadStr(dxSBAR_DIALOGOK), 0);
    Ok->SetDefault(true);
    Ok->SetModalResult(mrOk);
    Cancel = Button("ButtonCancel", dxBarLoadStr(dxSBAR_DIALOGCANCEL), 0);
    Cancel->SetCancel(true);
    Cancel->SetModalResult(mrCancel);
    if (combo->ShowTodayButton()) Today = Button("ButtonToday", dxBarTodayCaption(), 1);
    if (combo->ShowClearButton()) Clear = Button("ButtonClear", dxBarClearCaption(), 2);

    Navigator->Perform(CM_FONTCHANGED);
    TdxBarDateDialogLayout l = dxBarDateDialogLayout(Navigator->Metrics(), TSize(Navigator->Width(), Navigator->Height()),
                                                     Edit->Height(), Today != nullptr, Clear != nullptr);
    for (int i = 0; i < kSizeTries; ++i) {
      if (ClientWidth() == l.Client.cx && ClientHeight() == l.Client.cy) break;
      SetClientWidth(l.Client.cx);
      SetClientHeight(l.Client.cy);
    }
    Edit->SetBounds(l.Edit.left, l.Edit.top, l.Edit.Width(), l.Edit.Height());
    Navigator->SetBounds(l.Navigator.left, l.Navigator.top, l.Navigator.Width(), l.Navigator.Height());
    Ok->SetBounds(l.Ok.left, l.Ok.top, l.Ok.Width(), l.Ok.Height());
    Cancel->SetBounds(l.Cancel.left, l.Cancel.top, l.Cancel.Width(), l.Cancel.Height());
    if (Today) Today->SetBounds(l.Today.left, l.Today.top, l.Today.Width(), l.Today.Height());
    if (Clear) Clear->SetBounds(l.Clear.left, l.Clear.top, l.Clear.Width(), l.Clear.Height());
    SetActiveControl(Edit);
    EndLoading();
    // The date's own month shows, as in the drop-down.
    if (combo->Date() != dxBarNoDate) Navigator->SetFirstDate(combo->Date());
    Edit->SetText(TdxBarDateCombo::GetDateText(combo->Date()));
  }

  TEdit* Edit;
  TdxBarDateNavigator* Navigator;
  TButton* Ok;
  TButton* Cancel;
  TButton* Today = nullptr;
  TButton* Clear = nullptr;

 private:
  TButton* Button(const char* name, const String& caption, int tag) {
    auto* b = new TButton(this);
    b->SetName(name);
    b->SetParent(this);
    b->SetCaption(caption);
    b->Tag = tag;
    if (tag) b->OnClick = {this, &TSelectDateForm::ButtonClick};
    return b;
  }
  void DateChanged(TObject*) { Edit->SetText(TdxBarDateCombo::GetDateText(Navigator->GetSelStart())); }
  void DateEditChange(TObject*) {
    String s = Edit->Text();
    double d = TdxBarDateCombo::GetDateOfText(s);
    if (d == dxBarNoDate && !s.empty()) return;
    Navigator->SetSelStart(d);
  }
  void ButtonClick(TObject* sender) {
    auto* b = dynamic_cast<TComponent*>(sender);
    if (!b) return;
    Navigator->SetSelStart(b->Tag == 1 ? dxBarDateOf(dxBarSystem()->Today()) : dxBarNoDate);
    DateChanged(Navigator);
  }

  TdxBarDateCombo* combo_;
};

}  // namespace

void TdxBarDateCombo::ChooseInDialog() {
  TOwned<TSelectDateForm> form(new TSelectDateForm(this));
  if (form->ShowModal() != mrOk) return;
  SetDate(GetDateOfText(form->Edit->Text()));
}

// ---------------------------------------------------------------- control

double TdxBarDateComboControl::GetDate() { return TdxBarDateCombo::GetDateOfText(GetText()); }

void TdxBarDateComboControl::SetDate(double value) { SetText(TdxBarDateCombo::GetDateText(value)); }

void TdxBarDateComboControl::WndProc(TMessage& msg) {
  if (msg.Msg == WM_CHAR && (msg.WParam == '+' || msg.WParam == '-')) {
    // A '-' of the locale's short dates is text.
    bool step = msg.WParam == '+' || !dxBarDateMinusIsText(LOCALE_USER_DEFAULT);
    if (step) {
      auto* combo = dynamic_cast<TdxBarDateCombo*>(Item());
      double d = GetDate();
      if (d != dxBarNoDate && !(combo && combo->ReadOnly())) SetDate(dxBarStepDate(d, msg.WParam == '+' ? 1 : -1));
      msg.Result = 0;
      return;
    }
  }
  TCustomdxBarComboControl::WndProc(msg);
}
