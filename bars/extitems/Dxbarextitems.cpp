// The extended items' unit: its start and end with the registration table
// and the objects the items share, and the image combo with its "Select
// item" dialog.
#include "Dxbarextitems.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "bars/Dxbarstrs.h"
#include "classlib/Dialogs.h"

DX_BAR_ITEM_CLASS_IMPL(TdxBarImageCombo)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarImageComboControl)

// ---------------------------------------------------------------- unit

namespace {

int gExtInitCount = 0;

struct TExtItem {
  TdxBarItemClass (*Item)();
  TdxBarItemControlClass (*Control)();
};

// The registration table, in its order.
const TExtItem kExtItems[] = {
    {&TdxBarStatic::Class, &TdxBarStaticControl::Class},
    {&TdxBarLargeButton::Class, &TdxBarLargeButtonControl::Class},
    {&TdxBarColorCombo::Class, &TdxBarColorComboControl::Class},
    {&TdxBarFontNameCombo::Class, &TdxBarComboControl::Class},
    {&TdxBarDateCombo::Class, &TdxBarDateComboControl::Class},
    {&TdxBarTreeViewCombo::Class, &TdxBarTreeViewComboControl::Class},
    {&TdxBarImageCombo::Class, &TdxBarImageComboControl::Class},
    {&TdxBarToolbarsListItem::Class, &TdxBarToolbarsListItemControl::Class},
    {&TdxBarSpinEdit::Class, &TdxBarSpinEditControl::Class},
    {&TdxBarControlContainerItem::Class, &TdxBarControlContainerControl::Class},
    {&TdxBarProgressItem::Class, &TdxBarProgressControl::Class},
    {&TdxBarMRUListItem::Class, &TdxBarContainerItemControl::Class},
    {&TdxBarInPlaceSubItem::Class, &TdxBarInPlaceSubItemControl::Class},
};

// The shared objects.
TBitmap* gTrueTypeGlyph = nullptr;
TBitmap* gNonTrueTypeGlyph = nullptr;
TColorDialog* gColorDialog = nullptr;
TFontDialog* gFontDialog = nullptr;
WORD gFirstWeekDay = 0;
String* gTodayCaption = nullptr;
String* gClearCaption = nullptr;

TBitmap* LoadMark(const char* name) {
  auto* b = new TBitmap;
  try {
    b->LoadFromResourceName(GetModuleHandleA(nullptr), name);
  } catch (const Exception&) {
    // Without the bars' resources the font names show without marks.
  }
  return b;
}

void MakeSharedObjects() {
  gTrueTypeGlyph = LoadMark("DXBARTRUETYPEFONT");
  gNonTrueTypeGlyph = LoadMark("DXBARNONTRUETYPEFONT");
  gColorDialog = new TColorDialog(nullptr);
  gFontDialog = new TFontDialog(nullptr);
  gFirstWeekDay = dxBarLocaleFirstWeekDay(GetThreadLocale());
  gTodayCaption = new String(dxBarLoadStr(dxSBAR_DATETODAY));
  gClearCaption = new String(dxBarLoadStr(dxSBAR_DATECLEAR));
}

void FreeSharedObjects() {
  gFontDialog->Free();
  gFontDialog = nullptr;
  gColorDialog->Free();
  gColorDialog = nullptr;
  delete gNonTrueTypeGlyph;
  gNonTrueTypeGlyph = nullptr;
  delete gTrueTypeGlyph;
  gTrueTypeGlyph = nullptr;
  delete gTodayCaption;
  gTodayCaption = nullptr;
  delete gClearCaption;
  gClearCaption = nullptr;
}

const String& Caption(const String* s) {
  static const String empty;
  return s ? *s : empty;
}

}  // namespace

void dxBarExtItemsInitialize() {
  if (gExtInitCount++ > 0) return;
  dxBarInitialize();
  MakeSharedObjects();
  for (const TExtItem& e : kExtItems) dxBarRegisterItem(e.Item(), e.Control(), true);
}

void dxBarExtItemsFinalize() {
  if (gExtInitCount == 0 || --gExtInitCount > 0) return;
  for (size_t i = std::size(kExtItems); i-- > 0;) dxBarUnregisterItem(kExtItems[i].Item());
  FreeSharedObjects();
  dxBarFinalize();
}

bool dxBarExtItemsInitialized() { return gExtInitCount > 0; }

TBitmap* dxBarTrueTypeGlyph() { return gTrueTypeGlyph; }
TBitmap* dxBarNonTrueTypeGlyph() { return gNonTrueTypeGlyph; }
TColorDialog* dxBarColorDialog() { return gColorDialog; }
TFontDialog* dxBarFontDialog() { return gFontDialog; }
WORD dxBarFirstWeekDay() { return gFirstWeekDay; }
const String& dxBarTodayCaption() { return Caption(gTodayCaption); }
const String& dxBarClearCaption() { return Caption(gClearCaption); }

WORD dxBarLocaleFirstWeekDay(LCID locale) {
  // The locale counts from Monday (0) to Sunday (6).
  char value[2] = {};
  if (GetLocaleInfoA(locale, LOCALE_IFIRSTDAYOFWEEK, value, sizeof value) == 0) return 0;
  if (value[0] < '0' || value[0] > '9') return 0;
  int day = value[0] - '0' + 1;
  return static_cast<WORD>(day > 6 ? 0 : day);
}

// ---------------------------------------------------------------- image combo

TdxBarImageCombo::TdxBarImageCombo(TComponent* owner) : TdxBarCustomCombo(owner) {
  editorHidden_ = true;
  imagesChangeLink_.reset(new TChangeLink);
  imagesChangeLink_->OnChange = {this, &TdxBarImageCombo::ImageListChange};
  try {
    glyph_->LoadFromResourceName(GetModuleHandleA(nullptr), "DXBARIMAGECOMBO");
  } catch (const Exception&) {
    // A program without the bars' resources shows the combo without glyph.
  }
}

TdxBarImageCombo::~TdxBarImageCombo() {
  if (images_) images_->UnRegisterChanges(imagesChangeLink_.get());
  images_ = nullptr;
}

void TdxBarImageCombo::SetImages(TCustomImageList* value) {
  if (value == images_) return;
  if (images_) images_->UnRegisterChanges(imagesChangeLink_.get());
  images_ = value;
  if (images_) {
    images_->RegisterChanges(imagesChangeLink_.get());
    images_->FreeNotification(this);
  }
  if (!IsLoading()) ImagesChanged();
}

void TdxBarImageCombo::ImageListChange(TObject*) {
  if (!IsLoading()) ImagesChanged();
}

void TdxBarImageCombo::Notification(TComponent* component, TOperation operation) {
  TdxBarCustomCombo::Notification(component, operation);
  if (operation == opRemove && component == images_) SetImages(nullptr);
}

int TdxBarImageCombo::ImageIndexes(int index) const {
  if (index < 0 || index >= Items()->Count()) return -1;
  return static_cast<int>(reinterpret_cast<intptr_t>(Items()->Objects(index))) - 1;
}

void TdxBarImageCombo::SetImageIndexes(int index, int value) {
  if (index < 0 || index >= Items()->Count()) return;
  Items()->PutObject(index, reinterpret_cast<TObject*>(static_cast<intptr_t>(value) + 1));
  if (index == ItemIndex()) Update();
}

void TdxBarImageCombo::SetShowText(bool value) {
  if (value == showText_) return;
  showText_ = value;
  Update();
}

std::vector<int> TdxBarImageCombo::ReadImageIndexes() const {
  std::vector<int> values;
  for (int i = 0; i < Items()->Count(); ++i) values.push_back(ImageIndexes(i));
  return values;
}

void TdxBarImageCombo::WriteImageIndexes(const std::vector<int>& values) {
  int n = std::min(static_cast<int>(values.size()), Items()->Count());
  for (int i = 0; i < n; ++i) SetImageIndexes(i, values[static_cast<size_t>(i)]);
}

void TdxBarImageCombo::ImagesChanged() {
  for (int i = 0; i < LinkCount(); ++i)
    if (auto* c = dynamic_cast<TdxBarImageComboControl*>(Links(i)->Control())) c->ImagesChanged();
}

void TdxBarImageCombo::DrawItem(int index, const TRect& r, TOwnerDrawState state) {
  if (OnDrawItem || !images_) {
    TdxBarCustomCombo::DrawItem(index, r, state);
    return;
  }
  TCanvas* canvas = GetCanvas();
  canvas->FillRect(r);
  int w = images_->Width(), h = images_->Height();
  int left = showText_ ? r.left + 1 : (r.left + r.right - w) / 2;
  int top = (r.top + r.bottom - h) / 2;
  int image = index == -1 ? -1 : ImageIndexes(index);
  bool drawn = index != -1 && image >= 0 && image < images_->Count();
  if (drawn) images_->Draw(canvas, left, top, image, true);
  // Without an image the text keeps the image's column while the item is
  // edited somewhere, and starts at the left otherwise.
  int textStart = left + w;
  if (!drawn && !FocusedItemLink()) textStart = left;
  if (showText_) {
    String s = index == -1 ? Text() : (index >= 0 && index < Items()->Count() ? Items()->Get(index) : String());
    int y = (r.top + r.bottom - canvas->TextHeight(s.empty() ? String("0") : s)) / 2;
    canvas->TextRect(TRect(std::max(textStart, static_cast<int>(r.left)), r.top, r.right, r.bottom), textStart + 2, y, s);
  }
  if (state.Contains(odFocused)) canvas->DrawFocusRect(r);
}

void TdxBarImageCombo::MeasureItem(int index, int& height) {
  TdxBarCustomCombo::MeasureItem(index, height);
  if (images_ && !OnMeasureItem) height = std::max(height, images_->Height() + 2);
}

void TdxBarImageCombo::MeasureItemWidth(int index, int& width) {
  TdxBarCustomCombo::MeasureItemWidth(index, width);
  if (!images_) return;
  if (!showText_) width = 0;
  width += images_->Width() + 2;
}

void TdxBarImageCombo::DoClick() {
  TdxBarCustomCombo::DoClick();
  if (OnClick || ReadOnly()) return;
  ChooseInDialog();
}

namespace {

// The "Select item" dialog: the entries in an owner-drawn list, OK and
// Cancel beside it; a double click is OK.
class TSelectItemForm : public TForm {
 public:
  explicit TSelectItemForm(TdxBarImageCombo* combo) : TForm(nullptr), combo_(combo) {
    SetBorderStyle(bsDialog);
    SetCaption(dxBarLoadStr(dxSBAR_IMAGEDIALOGCAPTION));
    if (TdxBarManager* m = combo->BarManager()) Font()->Assign(m->Font());
    SetPosition(poScreenCenter);
    // Units from the font.
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Font()->Handle());
    SIZE zero{};
    GetTextExtentPoint32A(dc, "0", 1, &zero);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    int w = 12 * zero.cx;
    int h = MulDiv(zero.cy, 5, 3);
    int m = h / 4;

    List = new TListBox(this);
    List->SetName("ListBoxItems");
    List->SetParent(this);
    List->SetStyle(lbOwnerDrawVariable);
    List->OnDrawItem = {this, &TSelectItemForm::ListDrawItem};
    List->OnMeasureItem = {this, &TSelectItemForm::ListMeasureItem};
    List->OnDblClick = {this, &TSelectItemForm::ListDblClick};
    List->SetLeft(m);
    List->SetTop(m);
    List->Items()->Assign(combo->Items());
    // Sized in the list's font (its window comes when the form shows).
    measure_.Font()->Assign(List->Font());
    TCanvas* saved = Drawing(&measure_);
    int rowHeight = 0;
    try {
      if (combo->Items()->Count() > 0) combo->MeasureItem(0, rowHeight);
      List->SetClientWidth(combo->GetDropDownWidth() - 4);
    } catch (...) {
      Drawing(saved);
      throw;
    }
    Drawing(saved);
    List->SetClientHeight(rowHeight * std::min(combo->Items()->Count(), combo->DropDownCount()));
    if (List->Height() < 2 * h + m) List->SetHeight(2 * h + m);
    List->SetItemIndex(combo->ItemIndex());

    SetClientWidth(List->Width() + 3 * m + w);
    SetClientHeight(List->Height() + 2 * m);
    int x = ClientWidth() - m - w;
    Ok = Button("ButtonOK", dxBarLoadStr(dxSBAR_DIALOGOK), x, m, w, h);
    Ok->SetDefault(true);
    Ok->SetModalResult(mrOk);
    Cancel = Button("ButtonCancel", dxBarLoadStr(dxSBAR_DIALOGCANCEL), x, m + h + m, w, h);
    Cancel->SetCancel(true);
    Cancel->SetModalResult(mrCancel);
    SetActiveControl(List);
    EndLoading();
  }

  TListBox* List;
  TButton* Ok;
  TButton* Cancel;

 private:
  TButton* Button(const char* name, const String& caption, int x, int y, int w, int h) {
    auto* b = new TButton(this);
    b->SetName(name);
    b->SetParent(this);
    b->SetCaption(caption);
    b->SetBounds(x, y, w, h);
    return b;
  }
  // The combo draws and measures on the list's canvas meanwhile.
  TCanvas* Drawing(TCanvas* canvas) { return combo_->SetDrawingCanvas(canvas); }
  void ListDrawItem(TWinControl*, int index, TRect r, TOwnerDrawState state) {
    TCanvas* saved = Drawing(List->Canvas());
    try {
      // The list draws its own focus frame.
      combo_->DrawItem(index, r, state - TOwnerDrawState(odFocused));
    } catch (...) {
      Drawing(saved);
      throw;
    }
    Drawing(saved);
  }
  void ListMeasureItem(TWinControl*, int index, int& height) {
    measure_.Font()->Assign(List->Font());
    TCanvas* saved = Drawing(&measure_);
    try {
      combo_->MeasureItem(index, height);
    } catch (...) {
      Drawing(saved);
      throw;
    }
    Drawing(saved);
  }
  void ListDblClick(TObject*) { SetModalResult(mrOk); }

  TdxBarImageCombo* combo_;
  TMemoryCanvas measure_;
};

}  // namespace

void TdxBarImageCombo::ChooseInDialog() {
  TOwned<TSelectItemForm> form(new TSelectItemForm(this));
  if (form->ShowModal() != mrOk) return;
  SetItemIndex(form->List->ItemIndex());
}

// ---------------------------------------------------------------- image combo control

int TdxBarImageComboControl::GetHeight() {
  int h = TdxBarComboControl::GetHeight();
  auto* combo = dynamic_cast<TdxBarImageCombo*>(Item());
  if (combo && combo->Images() && !IsVertical(parent_)) h = std::max(h, combo->Images()->Height() + 6);
  return h;
}

void TdxBarImageComboControl::ImagesChanged() {
  if (parent_) parent_->RepaintBar();
}
