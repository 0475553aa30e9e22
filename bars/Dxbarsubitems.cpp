// Sub items, list items and container items.
#include <algorithm>

#include "Dxbarcontrols.h"
#include "Dxbarstrs.h"

DX_BAR_ITEM_CLASS_IMPL(TdxBarSubItem)
DX_BAR_ITEM_CLASS_IMPL(TdxBarListItem)
DX_BAR_ITEM_CLASS_IMPL(TdxBarContainerItem)

// ---------------------------------------------------------------- TCustomdxBarSubItem

TCustomdxBarSubItem::TCustomdxBarSubItem(TComponent* owner) : TdxBarItem(owner) {
  itemLinks_ = new TdxBarItemLinks(manager_, this);
}

TCustomdxBarSubItem::~TCustomdxBarSubItem() {
  SetDetachingBar(-1);
  delete itemLinks_;
  itemLinks_ = nullptr;
}

void TCustomdxBarSubItem::BarManagerChanged() { itemLinks_->SetBarManager(manager_); }

bool TCustomdxBarSubItem::IsShortCut(TShortCut shortCut) { return itemLinks_->IsShortCut(shortCut); }

int TCustomdxBarSubItem::DetachingBar() const { return detachingBar_ ? detachingBar_->Index() : -1; }

void TCustomdxBarSubItem::SetDetachingBar(int value) {
  if (!manager_ || value < 0 || value >= manager_->Bars()->Count()) value = -1;
  if (value == DetachingBar()) return;
  if (detachingBar_) detachingBar_->RemoveFreeNotification(this);
  detachingBar_ = value >= 0 ? manager_->Bars()->Items(value) : nullptr;
  if (detachingBar_) detachingBar_->AddFreeNotification(this);
}

void TCustomdxBarSubItem::BarRemoved(TdxBar* bar) {
  if (bar == detachingBar_) detachingBar_ = nullptr;
}

void TCustomdxBarSubItem::ObjectNotification(TComponent* component, TOperation operation) {}

void TCustomdxBarSubItem::SetShowCaption(bool value) {
  if (value == showCaption_) return;
  showCaption_ = value;
  if (!IsLoading()) UpdateEx();
}

void TCustomdxBarSubItem::SetItemLinks(TdxBarItemLinks* value) { itemLinks_->Assign(value); }

bool TCustomdxBarSubItem::CanContainItem(TdxBarItem* item) const {
  if (!item) return true;
  if (item == this) return false;
  auto* self = const_cast<TCustomdxBarSubItem*>(this);
  if (auto* sub = dynamic_cast<TCustomdxBarSubItem*>(item); sub && sub->ItemLinks()->HasItem(self)) return false;
  if (auto* button = dynamic_cast<TdxBarButton*>(item);
      button && button->DropDownMenu() && button->DropDownMenu()->ItemLinks()->HasItem(self))
    return false;
  return true;
}

void TCustomdxBarSubItem::DoPaintBar(TCanvas* canvas, const TRect& r) {
  if (OnPaintBar) OnPaintBar(this, canvas, r);
}

void TCustomdxBarSubItem::DoCloseUp() {
  if (OnCloseUp) OnCloseUp(this);
}

void TCustomdxBarSubItem::DoDetaching() {
  if (OnDetaching) OnDetaching(this);
}

void TCustomdxBarSubItem::DoPopup() {
  if (OnPopup) OnPopup(this);
}

// ---------------------------------------------------------------- container items

TCustomdxBarContainerItem::~TCustomdxBarContainerItem() {
  if (needClear_) TCustomdxBarContainerItem::ClearItemList();
}

void TCustomdxBarContainerItem::AddListedItemLinks(TdxBarItemLinks* target, int index, bool first,
                                                   TdxBarItemLink* ownLink) {
  if (needClear_) ClearItemList();
  if (first && OnGetData) OnGetData(this);
}

void TdxBarContainerItem::AddListedItemLinks(TdxBarItemLinks* target, int index, bool first, TdxBarItemLink* ownLink) {
  TCustomdxBarContainerItem::AddListedItemLinks(target, index, first, ownLink);
  if (target == itemLinks_) return;
  for (int i = 0; i < itemLinks_->CanVisibleItemCount(); ++i) {
    TdxBarItemLink* source = itemLinks_->CanVisibleItems(i);
    TdxBarItemLink* link = target->Add();
    link->SetRealItemLink(ownLink);
    link->Assign(source);
    if (!link->Item()) {
      link->Free();
      continue;
    }
    link->SetIndex(index + i);
    link->SetBeginGroup(i == 0);
    if (ownLink) link->Synchronize(ownLink);
  }
}

void TdxBarContainerItem::DeleteListedItemLinks(TdxBarItemLinks* target, int index) {
  if (target == itemLinks_) return;
  for (int n = itemLinks_->CanVisibleItemCount(); n > 0; --n)
    if (TdxBarItemLink* link = target->Items(index)) link->Free();
}

// ---------------------------------------------------------------- list items

TdxBarListItem::TdxBarListItem(TComponent* owner) : TCustomdxBarContainerItem(owner), items_(new TStringList) {}

TdxBarListItem::~TdxBarListItem() { FreeButtons(); }

void TdxBarListItem::FreeButtons() {
  // While buttons are left their owner lives. An owner that frees all its
  // components tells none of them of the others: it frees the buttons itself.
  if (buttons_.empty()) return;
  if (buttonsOwner_ && buttonsOwner_->IsDestroying()) {
    buttons_.clear();
    return;
  }
  while (!buttons_.empty()) {
    TdxBarButton* b = buttons_.back();
    buttons_.pop_back();
    b->RemoveFreeNotification(this);
    b->Free();
  }
}

void TdxBarListItem::SetItems(TStrings* value) { items_->Assign(value); }

TdxBarButton* TdxBarListItem::Buttons(int index) const {
  if (index < 0 || index >= ButtonCount()) return nullptr;
  return buttons_[static_cast<size_t>(index)];
}

namespace {
bool IsSeparator(const String& s) { return s == "-"; }
}  // namespace

int TdxBarListItem::DataIndex() const {
  if (itemIndex_ < 0 || itemIndex_ >= items_->Count()) return -1;
  int n = -1;
  for (int i = 0; i <= itemIndex_; ++i)
    if (!IsSeparator(items_->Get(i))) ++n;
  return n;
}

void TdxBarListItem::SetDataIndex(int value) {
  if (items_->Count() == 0) {
    itemIndex_ = -1;
    return;
  }
  int n = -1;
  for (int i = 0; i < items_->Count(); ++i) {
    if (!IsSeparator(items_->Get(i))) ++n;
    if (n == value) {
      itemIndex_ = i;
      return;
    }
  }
  itemIndex_ = items_->Count();
}

String TdxBarListItem::EntryCaption(int entry, int number) const {
  String text = GetDisplayText(items_->Get(entry));
  if (!showNumbers_) return text;
  String mark = number < 9 ? IntToStr(number + 1) : String(1, static_cast<char>('A' + (number - 9)));
  return "&" + mark + " " + text;
}

void TdxBarListItem::AddListedItemLinks(TdxBarItemLinks* target, int index, bool first, TdxBarItemLink* ownLink) {
  TCustomdxBarContainerItem::AddListedItemLinks(target, index, first, ownLink);
  // Entries may have come since the buttons were made: the missing ones
  // are made, and every button takes its entry's caption and check.
  int k = 0;
  for (int i = 0; i < items_->Count(); ++i) {
    if (IsSeparator(items_->Get(i))) continue;
    if (k >= ButtonCount()) {
      buttonsOwner_ = manager_ ? manager_->MainForm() : Owner();
      auto* button = new TdxBarButton(buttonsOwner_);
      button->FreeNotification(this);
      button->OnClick = {this, &TdxBarListItem::ButtonClick};
      buttons_.push_back(button);
    }
    TdxBarButton* button = buttons_[static_cast<size_t>(k)];
    bool checked = showCheck_ && i == itemIndex_;
    button->SetButtonStyle(checked ? bsChecked : bsDefault);
    if (checked) button->SetDown(true);
    button->SetCaption(EntryCaption(i, k));
    button->Tag = i;
    button->SetEnabled(Enabled());
    ++k;
  }
  bool group = false;
  k = 0;
  for (int i = 0; i < items_->Count(); ++i) {
    if (IsSeparator(items_->Get(i))) {
      group = true;
      continue;
    }
    TdxBarItemLink* link = target->Add();
    link->SetRealItemLink(ownLink);
    link->SetIndex(index + k);
    link->SetItem(buttons_[static_cast<size_t>(k)]);
    link->SetBeginGroup(k == 0 || group);
    if (ownLink) link->Synchronize(ownLink);
    group = false;
    ++k;
  }
}

void TdxBarListItem::DeleteListedItemLinks(TdxBarItemLinks* target, int index) {
  for (int i = 0; i < items_->Count(); ++i)
    if (!IsSeparator(items_->Get(i)))
      if (TdxBarItemLink* link = target->Items(index)) link->Free();
}

void TdxBarListItem::ClearItemList() {
  if (!buttons_.empty() && buttons_.front()->LinkCount() == 0) FreeButtons();
  TCustomdxBarContainerItem::ClearItemList();
}

void TdxBarListItem::ButtonClick(TObject* sender) {
  if (auto* button = dynamic_cast<TdxBarButton*>(sender)) itemIndex_ = static_cast<int>(button->Tag);
  DirectClick();
}

void TdxBarListItem::DirectClick() {
  if (!CurItemLink()) TdxBarItem::DirectClick();
}

void TdxBarListItem::Notification(TComponent* component, TOperation operation) {
  TCustomdxBarContainerItem::Notification(component, operation);
  if (operation == opRemove)
    buttons_.erase(std::remove(buttons_.begin(), buttons_.end(), component), buttons_.end());
}
