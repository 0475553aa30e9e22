// Edit and combo items: text, events, entries, the nearest entry, the size
// and place of the drop-down window, the drawing of entries.
#include "Dxbarwinitems.h"

#include <algorithm>
#include <vector>

DX_BAR_ITEM_CLASS_IMPL(TdxBarEdit)
DX_BAR_ITEM_CLASS_IMPL(TCustomdxBarCombo)
DX_BAR_ITEM_CLASS_IMPL(TdxBarCombo)

String dxBarGetWindowText(HWND wnd) {
  if (!wnd) return String();
  int length = GetWindowTextLengthA(wnd);
  if (length <= 0) return String();
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  int got = GetWindowTextA(wnd, buffer.data(), length + 1);
  return String(buffer.data(), static_cast<size_t>(std::max(got, 0)));
}

// ---------------------------------------------------------------- window item

TdxBarWinControl* TdxBarWindowItem::WinControlOf(const TdxBarItemLink* link) {
  return link ? dynamic_cast<TdxBarWinControl*>(link->Control()) : nullptr;
}

void TdxBarWindowItem::SetText(const String& value) {
  if (value == text_) return;
  text_ = value;
  Update();
  Change();
  Update();
}

String TdxBarWindowItem::CurText() const {
  if (TdxBarWinControl* c = WinControlOf(CurItemLink())) return c->GetText();
  return text_;
}

void TdxBarWindowItem::SetCurText(const String& value) {
  if (TdxBarWinControl* c = WinControlOf(CurItemLink()))
    c->SetText(value);
  else
    SetText(value);
}

TdxBarItemLink* TdxBarWindowItem::FocusedItemLink() const {
  TdxBarItemLink* link = CurItemLink();
  TdxBarWinControl* c = WinControlOf(link);
  return c && c->Focused() ? link : nullptr;
}

void TdxBarWindowItem::SetFocus() {
  for (int i = 0; i < LinkCount(); ++i) {
    TdxBarWinControl* c = WinControlOf(Links(i));
    auto* bar = c ? dynamic_cast<TdxBarControl*>(c->Parent()) : nullptr;
    if (!bar) continue;
    std::shared_ptr<const bool> alive = c->Alive();
    bar->BarGetFocus(c);
    if (*alive) c->Click(false);
    return;
  }
}

void TdxBarWindowItem::Change() {
  if (!IsLoading() && OnChange) OnChange(this);
}

void TdxBarWindowItem::CurChange() {
  if (OnCurChange) OnCurChange(this);
}

void TdxBarWindowItem::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TdxBarWindowItem::DoExit() {
  if (OnExit) OnExit(this);
}

void TdxBarWindowItem::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TdxBarWindowItem::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TdxBarWindowItem::KeyUp(WORD& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

// ---------------------------------------------------------------- edit

TdxBarEdit::TdxBarEdit(TComponent* owner) : TdxBarWindowItem(owner) {}

void TdxBarEdit::SetMaxLength(int value) { maxLength_ = value < 1 ? 0 : value; }

void TdxBarEdit::SetShowCaption(bool value) {
  if (value == showCaption_) return;
  showCaption_ = value;
  if (!IsLoading()) UpdateEx();
}

void TdxBarEdit::SetWidth(int value) {
  CheckMinEditWidth(value);
  if (value == width_) return;
  width_ = value;
  if (!IsLoading()) WidthChanged();
}

void TdxBarEdit::WidthChanged() {
  for (int i = 0; i < LinkCount(); ++i) {
    TdxBarItemLink* link = Links(i);
    if (link->UserDefine().Contains(udWidth)) continue;
    if (auto* c = dynamic_cast<TdxBarEditControl*>(link->Control())) c->WidthChanged();
  }
}

bool TdxBarEdit::HasAccel(TdxBarItemLink* link) const {
  if (!Enabled()) return false;
  bool onToolbar = link && dynamic_cast<TdxBar*>(link->Owner()->Owner());
  return showCaption_ || !onToolbar;
}

void TdxBarEdit::DrawInterior(TCanvas* canvas, const TRect& r, TdxBarItemLink* link) {
  canvas->FillRect(r);
  TRect t = r;
  t.left += 2;
  t.right -= 2;
  if (Flat()) t.top += 2;
  String s = link && link == FocusedItemLink() ? CurText() : text_;
  TBrushStyle style = canvas->Brush()->Style();
  canvas->Brush()->SetStyle(bsClear);
  canvas->DrawText(s, t, DT_NOPREFIX);
  canvas->Brush()->SetStyle(style);
}

// ---------------------------------------------------------------- combo without entries

void TCustomdxBarCombo::SetShowEditor(bool value) { editorHidden_ = !value; }

bool TCustomdxBarCombo::DroppedDown() const {
  TdxBarItemLink* link = CurItemLink();
  auto* c = link ? dynamic_cast<TCustomdxBarComboControl*>(link->Control()) : nullptr;
  return c && c->DroppedDown();
}

void TCustomdxBarCombo::SetDroppedDown(bool value) {
  TdxBarItemLink* link = CurItemLink();
  if (auto* c = link ? dynamic_cast<TCustomdxBarComboControl*>(link->Control()) : nullptr) c->SetDroppedDown(value);
}

bool TCustomdxBarCombo::CheckKeyForDropDownWindow(WORD key, TShiftState shift) {
  bool accept = key != VK_ESCAPE && key != VK_RETURN && key != VK_TAB;
  if (OnCheckKeyForDropDownWindow) OnCheckKeyForDropDownWindow(this, key, shift, accept);
  return accept;
}

HWND TCustomdxBarCombo::GetDropDownWindow() {
  HWND wnd = nullptr;
  if (OnGetDropDownWindow) OnGetDropDownWindow(this, wnd);
  return wnd;
}

namespace {

// The drop-down opens for this link: its bar window lies horizontally when
// it is a toolbar that is not docked at the left or right.
bool OnHorizontalToolbar(TdxBarItemLink* link) {
  TCustomdxBarControl* bar = link ? link->BarControl() : nullptr;
  return dynamic_cast<TdxBarControl*>(bar) && !IsToolbarControlVertical(bar);
}

TSize WindowSize(HWND wnd) {
  RECT r{};
  if (!wnd || !GetWindowRect(wnd, &r)) return TSize(0, 0);
  return TSize(r.right - r.left, r.bottom - r.top);
}

}  // namespace

void TCustomdxBarCombo::CheckDropDownPoint(int& x, int& y) {
  TdxBarItemLink* link = CurItemLink();
  TSize item = link ? TSize(link->ItemRect().Width(), link->ItemRect().Height()) : TSize(0, 0);
  TPoint p = dxBarDropDownPoint(TPoint(x, y), GetWorkArea(TPoint(x, y)), item, WindowSize(GetDropDownWindow()),
                                OnHorizontalToolbar(link));
  x = p.x;
  y = p.y;
}

void TCustomdxBarCombo::DropDown(int x, int y) {
  if (OnDropDown) OnDropDown(this);
  HWND wnd = GetDropDownWindow();
  if (!wnd) return;
  InitDropDownWindow();
  CheckDropDownPoint(x, y);
  SetWindowPos(wnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  AfterDropDown();
}

void TCustomdxBarCombo::CloseUp() {
  if (HWND wnd = GetDropDownWindow()) ShowWindow(wnd, SW_HIDE);
  if (OnCloseUp) OnCloseUp(this);
}

TPoint dxBarDropDownPoint(TPoint p, const TRect& area, TSize item, TSize drop, bool horizontalToolbar) {
  int x = p.x, y = p.y;
  if (horizontalToolbar) {
    if (x + drop.cx > area.right) x = area.right - drop.cx;
    if (y + drop.cy > area.bottom && area.bottom - y < y - item.cy - area.top) y -= item.cy + drop.cy;
  } else {
    if (x + drop.cx > area.right && area.right - x < x - item.cx - area.left) x -= drop.cx + item.cx;
    if (y + drop.cy > area.bottom) y = area.bottom - drop.cy;
  }
  return TPoint(std::max(x, static_cast<int>(area.left)), std::max(y, static_cast<int>(area.top)));
}

// ---------------------------------------------------------------- combo with entries

TdxBarCustomCombo::TdxBarCustomCombo(TComponent* owner) : TCustomdxBarCombo(owner) {
  items_.reset(new TStringList);
  items_->OnChange = {this, &TdxBarCustomCombo::ItemsChanged};
  listBox_ = new TdxBarDropDownListBox(this);
  listCanvas_.reset(new TMemoryCanvas);
  if (manager_) listCanvas_->Font()->Assign(manager_->Font());
}

TdxBarCustomCombo::~TdxBarCustomCombo() {
  if (items_) items_->OnChange = nullptr;
  if (listBox_) listBox_->Free();
  listBox_ = nullptr;
}

void TdxBarCustomCombo::SetItemIndex(int value) {
  if (value == itemIndex_) return;
  itemIndex_ = value < 0 || value >= items_->Count() ? -1 : value;
  String entry = itemIndex_ == -1 ? String() : items_->Get(itemIndex_);
  if (entry == text_) {
    Update();
    Change();
    Update();
  } else {
    SetText(entry);
  }
}

void TdxBarCustomCombo::SetText(const String& value) {
  if (!(itemIndex_ >= 0 && itemIndex_ < items_->Count() && items_->Get(itemIndex_) == value))
    itemIndex_ = items_->IndexOf(value);
  TdxBarWindowItem::SetText(value);
}

void TdxBarCustomCombo::ItemsChanged(TObject*) {
  if (itemIndex_ >= 0 && itemIndex_ < items_->Count())
    Update();
  else
    SetItemIndex(-1);
}

void TdxBarCustomCombo::SetSorted(bool value) {
  if (value == sorted_) return;
  sorted_ = value;
  items_->SetSorted(value);
  itemIndex_ = items_->IndexOf(text_);
  Update();
}

TdxBarComboControl* TdxBarCustomCombo::FocusedComboControl() const {
  TdxBarItemLink* link = FocusedItemLink();
  return link ? dynamic_cast<TdxBarComboControl*>(link->Control()) : nullptr;
}

int TdxBarCustomCombo::CurItemIndex() const {
  if (TdxBarComboControl* c = FocusedComboControl()) return c->LocalItemIndex();
  return itemIndex_;
}

void TdxBarCustomCombo::SetCurItemIndex(int value) {
  if (TdxBarComboControl* c = FocusedComboControl())
    c->SetLocalItemIndex(value);
  else
    SetItemIndex(value);
}

int TdxBarCustomCombo::GetNearestItemIndex(const String& text) const {
  String t = AnsiUpperCase(text);
  size_t best = 0;
  int result = -1;
  for (int i = 0; i < items_->Count() && best < t.size(); ++i) {
    String e = AnsiUpperCase(items_->Get(i));
    if (e.size() < best || e.compare(0, best, t, 0, best) != 0) continue;
    size_t n = best;
    while (n < t.size() && n < e.size() && e[n] == t[n]) ++n;
    if (n > best) {
      best = n;
      result = i;
    }
  }
  return result;
}

void TdxBarCustomCombo::CurChange() {
  TCustomdxBarCombo::CurChange();
  CheckLocalPos();
}

void TdxBarCustomCombo::CheckLocalPos() {
  TdxBarItemLink* link = CurItemLink();
  auto* c = link ? dynamic_cast<TdxBarComboControl*>(link->Control()) : nullptr;
  if (!c) return;
  String text = c->GetText();
  int index = c->LocalItemIndex();
  if (!(index > -1 && index < items_->Count() && items_->Get(index) == text)) index = GetNearestItemIndex(text);
  c->StoreLocalItemIndex(index);
  if (!c->DroppedDown() || !listBox_->HandleAllocated()) return;
  // An entry equal to the text is selected; else the nearest one comes to
  // the top, unselected.
  if (index >= 0 && index < items_->Count() && SameText(items_->Get(index), text)) {
    listBox_->SetItemIndex(index);
  } else {
    listBox_->SetItemIndex(-1);
    if (index >= 0) listBox_->SetTopIndex(index);
  }
}

bool TdxBarCustomCombo::CheckKeyForDropDownWindow(WORD key, TShiftState shift) {
  bool plain = !shift.Contains(ssShift) && !shift.Contains(ssCtrl) && !shift.Contains(ssAlt);
  return plain && (key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT);
}

HWND TdxBarCustomCombo::GetDropDownWindow() {
  HWND wnd = TCustomdxBarCombo::GetDropDownWindow();
  if (wnd) return wnd;
  return listBox_->HandleAllocated() ? listBox_->Handle() : nullptr;
}

void TdxBarCustomCombo::InitDropDownWindow() {
  listBox_->Items()->Assign(items_.get());
  listBox_->MeasureRows();
  int width = GetDropDownWidth();
  int height = GetDropDownHeight();
  SetWindowPos(listBox_->Handle(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TdxBarCustomCombo::DropDown(int x, int y) {
  TdxBarItemLink* link = CurItemLink();
  TCustomdxBarControl* bar = link ? link->BarControl() : nullptr;
  if (bar && bar->HandleAllocated()) listBox_->Prepare(bar->Handle());
  TCustomdxBarCombo::DropDown(x, y);
  CheckLocalPos();
}

void TdxBarCustomCombo::AfterDropDown() {
  // A press that opened the list goes on in it.
  bool pressed = LeftButtonPressed() && listBox_->HandleAllocated();
  listBox_->SetPressPending(pressed);
  if (pressed) SetCapture(listBox_->Handle());
}

void TdxBarCustomCombo::CloseUp() {
  TCustomdxBarCombo::CloseUp();
  listBox_->Release();
}

TCanvas* TdxBarCustomCombo::GetCanvas() { return drawingCanvas_ ? drawingCanvas_ : listCanvas_.get(); }

void TdxBarCustomCombo::DrawItem(int index, const TRect& r, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, r, state);
    return;
  }
  TCanvas* canvas = GetCanvas();
  canvas->FillRect(r);
  String s;
  if (index == -1)
    s = text_;
  else if (index >= 0 && index < items_->Count())
    s = items_->Get(index);
  int top = r.top + (drawingInEdit_ && Flat() ? 2 : 0);
  canvas->TextRect(r, r.left + 2, top, s);
  if (state.Contains(odFocused)) canvas->DrawFocusRect(r);
}

void TdxBarCustomCombo::MeasureItem(int index, int& height) {
  height = itemHeight_ >= 1 ? itemHeight_ : GetCanvas()->TextHeight("Qq");
  if (OnMeasureItem) OnMeasureItem(this, index, height);
}

void TdxBarCustomCombo::MeasureItemWidth(int index, int& width) {
  String s = index >= 0 && index < items_->Count() ? items_->Get(index) : String();
  width = GetCanvas()->TextWidth(s) + 2;
}

int TdxBarCustomCombo::GetDropDownWidth() {
  int width = dropDownWidth_;
  TdxBarItemLink* link = CurItemLink();
  if (width < 1 && link) {
    auto* c = dynamic_cast<TdxBarEditControl*>(link->Control());
    width = link->ItemRect().Width() - (c ? c->CaptionWidth() : 0) - 4;
  }
  bool scrolls = items_->Count() > dropDownCount_;
  int scrollBar = GetSystemMetrics(SM_CXVSCROLL);
  if (scrolls) width -= scrollBar;
  for (int i = 0; i < items_->Count(); ++i) {
    int w = 0;
    MeasureItemWidth(i, w);
    width = std::max(width, w);
  }
  return width + 4 + (scrolls ? scrollBar : 0);
}

int TdxBarCustomCombo::GetDropDownHeight() {
  int height = 4;
  int rows = std::min(items_->Count(), dropDownCount_);
  for (int i = 0; i < rows; ++i) {
    int h = 0;
    MeasureItem(i, h);
    height += h;
  }
  return height;
}

void TdxBarCustomCombo::DrawInterior(TCanvas* canvas, const TRect& r, TdxBarItemLink* link) {
  TdxBarComboControl* focused = link && link == FocusedItemLink() ? FocusedComboControl() : nullptr;
  int index = focused ? focused->LocalItemIndex() : itemIndex_;
  TCanvas* savedCanvas = drawingCanvas_;
  bool savedInEdit = drawingInEdit_;
  drawingCanvas_ = canvas;
  drawingInEdit_ = true;
  TFinally guard([&] {
    drawingCanvas_ = savedCanvas;
    drawingInEdit_ = savedInEdit;
  });
  DrawItem(index, r, TOwnerDrawState());
}
