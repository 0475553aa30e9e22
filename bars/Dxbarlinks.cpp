// Item links and link lists: placements, overrides, recent-use data, the
// derived visibility lists, shortcuts and accelerators.
#include <algorithm>

#include "Dxbarcontrols.h"
#include "Dxbarstrs.h"
#include "Dxbarwinitems.h"

namespace {

template <class T>
int IndexIn(const std::vector<T*>& v, const T* p) {
  auto it = std::find(v.begin(), v.end(), p);
  return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

template <class T>
void EraseFrom(std::vector<T*>& v, const T* p) {
  v.erase(std::remove(v.begin(), v.end(), p), v.end());
}

bool DockedToolbar(TCustomdxBarControl* c) { return dynamic_cast<TdxBarControl*>(c) && c->DockingStyle() != dsNone; }

// The accelerator character of a caption: the last one marked by a single
// "&" ("&&" is an ampersand; a final "&" marks nothing).
char AccelCharOf(const String& caption) {
  char c = 0;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (i + 1 >= caption.size()) break;
    if (caption[i + 1] != '&') c = caption[i + 1];
    ++i;
  }
  return c;
}

}  // namespace

// ---------------------------------------------------------------- TdxBarItemLink

TdxBarItemLink::TdxBarItemLink(TdxBarItemLinks* owner) : owner_(owner) {
  TdxBarManager* m = owner->BarManager();
  useCount_ = m ? m->MostRecentlyUsedUseCount() : 0;
  userGlyph_.reset(new TBitmap);
  owner->items_.push_back(this);
  owner->recent_.push_back(this);
  if (m && !m->IsLoading() && m->OnItemLinkAdd) m->OnItemLinkAdd(m, this);
}

TdxBarItemLink::~TdxBarItemLink() {
  destroying_ = true;
  TdxBarManager* m = BarManager();
  if (m && !m->IsDestroying() && m->OnItemLinkDelete) {
    CallGuarded([&] { m->OnItemLinkDelete(m, this); });
  }
  // The separator of a link dragged off a bar stays with the bar.
  TdxBarItemLink* next = nullptr;
  bool wasFirst = false;
  bool begins = beginGroup_;
  if (m && m->DraggingItemLink() == this) {
    int cv = CanVisibleIndex();
    if (cv >= 0 && cv + 1 < owner_->CanVisibleItemCount()) next = owner_->CanVisibleItems(cv + 1);
    wasFirst = cv == 0;
  }
  DestroyControl();
  if (item_) EraseFrom(item_->links_, this);
  item_ = nullptr;
  EraseFrom(owner_->recent_, this);
  EraseFrom(owner_->items_, this);
  owner_->RefreshVisibilityLists();
  if (next) {
    if (wasFirst && next->beginGroup_)
      next->beginGroup_ = false;
    else if (begins && !next->beginGroup_)
      next->beginGroup_ = true;
  }
  // A drag in progress knows that its link is gone.
  if (m && m->DraggingItemLink() == this) m->SetDraggingItem(m->DraggingItem(), nullptr);
  TCustomdxBarControl* bc = owner_->BarControl();
  if (bc && bc->HandleAllocated() && !bc->Destroying()) {
    bc->RepaintBar();
    if (owner_->OnChange) owner_->OnChange(owner_);
  }
}

int TdxBarItemLink::Index() const { return IndexIn(owner_->items_, this); }

void TdxBarItemLink::SetIndex(int value) {
  int from = Index();
  if (value < 0) value = 0;
  if (value >= owner_->Count()) value = owner_->Count() - 1;
  if (from < 0 || value == from) return;
  owner_->items_.erase(owner_->items_.begin() + from);
  owner_->items_.insert(owner_->items_.begin() + value, this);
  owner_->Update();
}

bool TdxBarItemLink::BeginGroup() const {
  int vi = VisibleIndex();
  if (beginGroup_ && vi != 0) return true;
  if (vi < 1) return false;
  TdxBarItemLink* prev = owner_->VisibleItems(vi - 1);
  int from = owner_->AvailableIndexOf(prev);
  int to = AvailableIndex();
  for (int i = from + 1; i < to; ++i)
    if (owner_->AvailableItems(i)->BeginGroup()) return true;
  return false;
}

void TdxBarItemLink::SetBeginGroup(bool value) {
  if (value == beginGroup_) return;
  beginGroup_ = value;
  if (control_) control_->BeginGroupChanged();
  ItemLinkChanged();
}

void TdxBarItemLink::SetItem(TdxBarItem* value) {
  if (value == item_) return;
  if (item_) EraseFrom(item_->links_, this);
  item_ = nullptr;
  if (!value) {
    Free();
    return;
  }
  auto* sub = dynamic_cast<TCustomdxBarSubItem*>(owner_->Owner());
  if (sub && !sub->CanContainItem(value)) {
    owner_->RefreshVisibilityLists();
    throw Exception(dxBarLoadStr(dxSBAR_RECURSIVESUBITEMS));
  }
  item_ = value;
  value->links_.push_back(this);
  owner_->RefreshVisibilityLists();
  if (auto* comp = dynamic_cast<TComponent*>(owner_->Owner()); comp && !comp->IsLoading()) CheckMostRecentlyUsed();
  ItemLinkChanged();
}

void TdxBarItemLink::SetMostRecentlyUsed(bool value) {
  mostRecentlyUsed_ = value;
  CheckMostRecentlyUsed();
  if (TCustomdxBarControl* bc = BarControl()) bc->RepaintBar();
  ItemLinkChanged();
}

void TdxBarItemLink::SetUserCaption(const String& value) {
  if (value == userCaption_) return;
  userCaption_ = value;
  userDefine_ << udCaption;
  if (control_) control_->CaptionChanged();
  ItemLinkChanged();
}

void TdxBarItemLink::SetUserDefine(TdxBarUserDefines value) {
  if (value == userDefine_) return;
  userDefine_ = value;
  if (!value.Contains(udCaption)) userCaption_.clear();
  if (!value.Contains(udGlyph)) userGlyph_->Assign(nullptr);
  if (!value.Contains(udPaintStyle)) userPaintStyle_ = psStandard;
  if (!value.Contains(udWidth)) userWidth_ = 0;
  if (control_) {
    control_->CaptionChanged();
    control_->GlyphChanged();
  }
  ItemLinkChanged();
}

void TdxBarItemLink::SetUserGlyph(TBitmap* value) {
  userGlyph_->Assign(value);
  userDefine_ << udGlyph;
  if (control_) control_->GlyphChanged();
  ItemLinkChanged();
}

void TdxBarItemLink::SetUserPaintStyle(TdxBarPaintStyle value) {
  if (value == PaintStyle()) return;
  userPaintStyle_ = value;
  userDefine_ << udPaintStyle;
  if (auto* c = dynamic_cast<TdxBarButtonControl*>(control_)) c->PaintStyleChanged();
  ItemLinkChanged();
}

void TdxBarItemLink::SetUserWidth(int value) {
  CheckMinEditWidth(value);
  if (value == Width()) return;
  userWidth_ = value;
  userDefine_ << udWidth;
  if (auto* c = dynamic_cast<TdxBarEditControl*>(control_)) c->WidthChanged();
  ItemLinkChanged();
}

void TdxBarItemLink::SetVisible(bool value) {
  TdxBarManager* m = BarManager();
  if ((m && m->IsLoading()) || owner_->Assigning()) {
    LoadedVisible = value;
    return;
  }
  if (value == visible_) return;
  visible_ = value;
  if (!m || !m->IsDesigning()) {
    owner_->RefreshVisibilityLists();
    if (value) {
      BringToTopInRecentList(false);
      if (owner_->BarControl()) {
        CreateControl();
        if (control_) control_->VisibleChanged();
      }
    } else {
      SendToBottomInRecentList();
      if (control_) {
        control_->VisibleChanged();
        DestroyControl();
      }
    }
  }
  ItemLinkChanged();
}

String TdxBarItemLink::Caption() const {
  if (userDefine_.Contains(udCaption) || !item_) return userCaption_;
  return item_->Caption();
}

TBitmap* TdxBarItemLink::Glyph() const {
  if (userDefine_.Contains(udGlyph) || !item_) return userGlyph_.get();
  return item_->Glyph();
}

TdxBarPaintStyle TdxBarItemLink::PaintStyle() const {
  if (userDefine_.Contains(udPaintStyle) || !item_) return userPaintStyle_;
  if (auto* b = dynamic_cast<TdxBarButton*>(item_)) return b->PaintStyle();
  return psStandard;
}

int TdxBarItemLink::Width() const {
  if (userDefine_.Contains(udWidth)) return userWidth_;
  if (auto* edit = dynamic_cast<TdxBarEdit*>(item_)) return edit->Width();
  return 0;
}

TCustomdxBarControl* TdxBarItemLink::BarControl() const { return owner_->BarControl(); }
TdxBarManager* TdxBarItemLink::BarManager() const { return owner_->BarManager(); }
int TdxBarItemLink::AvailableIndex() const { return owner_->AvailableIndexOf(this); }
int TdxBarItemLink::CanVisibleIndex() const { return owner_->CanVisibleIndexOf(this); }
int TdxBarItemLink::VisibleIndex() const { return owner_->VisibleIndexOf(this); }
int TdxBarItemLink::RecentIndex() const { return IndexIn(owner_->recent_, this); }

void TdxBarItemLink::SetRecentIndex(int value) {
  auto& recent = owner_->recent_;
  int from = RecentIndex();
  if (from < 0) {
    savedRecentIndex_ = value;
    return;
  }
  if (value > static_cast<int>(recent.size()) - 1) value = static_cast<int>(recent.size()) - 1;
  if (value < 0) value = 0;
  if (value != from) {
    recent.erase(recent.begin() + from);
    recent.insert(recent.begin() + value, this);
  }
  owner_->RefreshVisibilityLists();
}

bool TdxBarItemLink::CanVisible() const { return item_ && item_->ActuallyVisible() && visible_; }

void TdxBarItemLink::InternalBringToTopInRecentList(bool incCount) {
  SetRecentIndex(0);
  if (incCount) ++useCount_;
}

void TdxBarItemLink::PostRepaintIfDocked() {
  TCustomdxBarControl* bc = BarControl();
  TdxBarManager* m = BarManager();
  if (bc && DockedToolbar(bc) && m && m->Style() != bmsStandard) bc->PostRepaint();
}

void TdxBarItemLink::BringToTopInRecentList(bool incCount) {
  if (!CanVisible()) return;
  int oldVisible = VisibleIndex();
  InternalBringToTopInRecentList(incCount);
  if (CanVisibleIndex() < 0) return;
  if (oldVisible < 0) PostRepaintIfDocked();
  // The menu that holds this one rises with it.
  TdxBarItem* parent = dynamic_cast<TCustomdxBarSubItem*>(owner_->Owner());
  if (!parent)
    if (auto* popup = dynamic_cast<TdxBarPopupMenu*>(owner_->Owner()))
      if (TdxBarSubMenuControl* menu = popup->SubMenuControl())
        if (auto* owner = dynamic_cast<TdxBarButtonControl*>(menu->OwnerControl())) parent = owner->Item();
  if (parent)
    if (TdxBarItemLink* link = parent->CurItemLink()) link->RealItemLink()->BringToTopInRecentList(incCount);
}

void TdxBarItemLink::SendToBottomInRecentList() {
  bool wasVisible = VisibleIndex() >= 0;
  SetRecentIndex(owner_->RecentItemCountInList() - 1);
  if (wasVisible) PostRepaintIfDocked();
}

void TdxBarItemLink::CheckMostRecentlyUsed() {
  if (!mostRecentlyUsed_) {
    useCount_ = 0;
    SendToBottomInRecentList();
  } else {
    TdxBarManager* m = BarManager();
    useCount_ = m ? m->MostRecentlyUsedUseCount() : 0;
    BringToTopInRecentList(false);
  }
}

void TdxBarItemLink::CreateControl() {
  TCustomdxBarControl* bc = BarControl();
  if (!bc || !item_ || control_) return;
  // Edit and combo items on a vertical toolbar show as plain buttons (the
  // control the buttons have); every other item gets the control of its
  // exact class.
  TdxBarItemControlClass cls = dxBarItemControlClass(item_);
  if (dynamic_cast<TdxBarWindowItem*>(item_) && IsToolbarControlVertical(bc)) {
    TdxBarItemControlClass button = dxBarFindItemControlClass(TdxBarButton::Class());
    cls = button ? button : TdxBarButtonControl::Class();
  }
  if (!cls) return;
  control_ = cls->Create(this);
}

void TdxBarItemLink::DestroyControl() {
  if (!control_) return;
  TdxBarItemControl* c = control_;
  control_ = nullptr;
  c->Free();
}

bool TdxBarItemLink::HasItem(TdxBarItem* item) const {
  if (!item_) return false;
  if (item_ == item) return true;
  auto* sub = dynamic_cast<TCustomdxBarSubItem*>(item_);
  return sub && sub->ItemLinks()->HasItem(item);
}

void TdxBarItemLink::InitiateAction() {
  if (item_ && item_->ActionLink()) item_->ActionLink()->Update();
}

bool TdxBarItemLink::IsAccel(WORD key, TShiftState shift) const {
  char c = AccelCharOf(Caption());
  if (!c) return false;
  char lower = AnsiLowerCase(String(1, c))[0];
  if (lower != c) shift >> ssShift;
  if (c >= '0' && c <= '9') return key == static_cast<WORD>(c) && shift.Empty();
  SHORT scan = VkKeyScanA(lower);
  if (scan == -1) return false;
  TShiftState want;
  if (HIBYTE(scan) & 1) want << ssShift;
  if (HIBYTE(scan) & 2) want << ssCtrl;
  return key == LOBYTE(scan) && shift == want;
}

void TdxBarItemLink::Synchronize(TdxBarItemLink* link) {
  useCount_ = link->useCount_;
  SetRecentIndex(link->RecentIndex());
}

void TdxBarItemLink::ItemLinkChanged() {
  TdxBarManager* m = BarManager();
  if (!m) return;
  if (BarControl() && m->IsCustomizing()) m->DesignerModified();
  if (!m->IsLoading() && m->OnItemLinkChange) m->OnItemLinkChange(m, this);
}

void TdxBarItemLink::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TdxBarItemLink*>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  userCaption_ = src->userCaption_;
  userGlyph_->Assign(src->userGlyph_.get());
  userPaintStyle_ = src->userPaintStyle_;
  userWidth_ = src->userWidth_;
  TdxBarItem* item = src->item_;
  if (dxBarRestoringFromForm && item) {
    TdxBarManager* m = BarManager();
    TComponent* found = m && m->MainForm() ? m->MainForm()->FindComponent(item->Name()) : nullptr;
    item = dynamic_cast<TdxBarItem*>(found);
  }
  // A placement whose item is not there is not made (the list drops it).
  if (item) SetItem(item);
  SetUserDefine(src->userDefine_);
  SetBeginGroup(src->BeginGroup());
  SetVisible(src->visible_);
}

// ---------------------------------------------------------------- TdxBarItemLinks

TdxBarItemLinks::TdxBarItemLinks(TdxBarManager* manager, TObject* owner) : manager_(manager), owner_(owner) {}

TdxBarItemLinks::~TdxBarItemLinks() {
  DestroyBarControl();
  barControl_ = nullptr;
  while (!items_.empty()) {
    TdxBarItemLink* link = items_.back();
    link->Free();
    if (!items_.empty() && items_.back() == link) items_.pop_back();
  }
}

TdxBarItemLink* TdxBarItemLinks::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<size_t>(index)];
}

TdxBarItemLink* TdxBarItemLinks::Add() {
  auto* link = new TdxBarItemLink(this);
  Update();
  return link;
}

void TdxBarItemLinks::Clear() {
  while (!items_.empty()) {
    TdxBarItemLink* link = items_.back();
    link->Free();
    if (!items_.empty() && items_.back() == link) items_.pop_back();
  }
  Update();
}

int TdxBarItemLinks::IndexOf(const TdxBarItemLink* link) const { return IndexIn(items_, link); }
int TdxBarItemLinks::AvailableIndexOf(const TdxBarItemLink* link) const { return IndexIn(available_, link); }
int TdxBarItemLinks::CanVisibleIndexOf(const TdxBarItemLink* link) const { return IndexIn(canVisible_, link); }
int TdxBarItemLinks::VisibleIndexOf(const TdxBarItemLink* link) const { return IndexIn(visible_, link); }

namespace {
TdxBarItemLink* At(const std::vector<TdxBarItemLink*>& v, int index) {
  if (index < 0 || index >= static_cast<int>(v.size())) return nullptr;
  return v[static_cast<size_t>(index)];
}
}  // namespace

TdxBarItemLink* TdxBarItemLinks::AvailableItems(int index) const { return At(available_, index); }
TdxBarItemLink* TdxBarItemLinks::CanVisibleItems(int index) const { return At(canVisible_, index); }
TdxBarItemLink* TdxBarItemLinks::VisibleItems(int index) const { return At(visible_, index); }
TdxBarItemLink* TdxBarItemLinks::RecentItems(int index) const { return At(recent_, index); }

bool TdxBarItemLinks::IsBarOwner() const { return dynamic_cast<TdxBar*>(owner_) != nullptr; }

void TdxBarItemLinks::CreateBarControl() {
  if (barControl_) return;
  if (auto* bar = dynamic_cast<TdxBar*>(owner_)) {
    barControl_ = new TdxBarControl(bar->BarManager(), bar);
  } else {
    TdxBarManager* m = manager_;
    if (auto* sub = dynamic_cast<TCustomdxBarSubItem*>(owner_))
      if (TdxBarItemLink* cur = sub->CurItemLink()) m = cur->BarManager();
    barControl_ = new TdxBarSubMenuControl(m);
  }
  barControl_->SetItemLinks(this);
  barControl_->CreateControls();
}

void TdxBarItemLinks::DestroyBarControl() {
  if (!barControl_ || barControl_->Destroying()) return;
  TCustomdxBarControl* c = barControl_;
  c->Free();
  barControl_ = nullptr;
}

void TdxBarItemLinks::SetRecentItemCount(int value) {
  savedRecentItemCount_ = recentItemCount_;
  recentItemCount_ = CanUseRecentItems() ? value : -1;
  RefreshVisibilityLists();
}

void TdxBarItemLinks::RestoreRecentItemCount() {
  recentItemCount_ = savedRecentItemCount_;
  RefreshVisibilityLists();
}

bool TdxBarItemLinks::DesignTimeLinks() const {
  if (auto* sub = dynamic_cast<TCustomdxBarSubItem*>(owner_)) return sub->HasDesignTimeLinks();
  return owner_ != nullptr;
}

void TdxBarItemLinks::Update() {
  if (DesignTimeLinks() && manager_ && barControl_ && manager_->IsCustomizing()) manager_->DesignerModified();
  RefreshVisibilityLists();
  if (OnChange) OnChange(this);
}

void TdxBarItemLinks::RefreshVisibilityLists() {
  available_.clear();
  canVisible_.clear();
  visible_.clear();
  bool designing = manager_ && manager_->IsDesigning();
  for (TdxBarItemLink* link : items_) {
    if (!link->item_ || link->destroying_) continue;
    if (!designing && !link->item_->ActuallyVisible()) continue;
    available_.push_back(link);
    if (designing || link->visible_) {
      canVisible_.push_back(link);
      if (designing || recentItemCount_ == -1) visible_.push_back(link);
    }
  }
  if (!designing && recentItemCount_ >= 1) {
    for (TdxBarItemLink* link : recent_) {
      if (static_cast<int>(visible_.size()) >= recentItemCount_) break;
      if (IndexIn(canVisible_, link) >= 0) visible_.push_back(link);
    }
    std::sort(visible_.begin(), visible_.end(), [&](TdxBarItemLink* a, TdxBarItemLink* b) {
      return IndexIn(canVisible_, a) < IndexIn(canVisible_, b);
    });
  }
}

void TdxBarItemLinks::CheckVisibleIntegrity() {
  std::stable_partition(recent_.begin(), recent_.end(), [&](TdxBarItemLink* l) { return IndexIn(canVisible_, l) >= 0; });
}

void TdxBarItemLinks::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TdxBarItemLinks*>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  assigning_ = true;
  {
    TFinally guard([&] { assigning_ = false; });
    while (!items_.empty()) {
      TdxBarItemLink* link = items_.back();
      link->Free();
      if (!items_.empty() && items_.back() == link) items_.pop_back();
    }
    for (int i = 0; i < src->Count(); ++i) {
      auto* link = new TdxBarItemLink(this);
      link->Assign(src->Items(i));
      if (!link->Item()) link->Free();
    }
  }
  for (TdxBarItemLink* link : std::vector<TdxBarItemLink*>(items_)) link->SetVisible(link->LoadedVisible);
  Update();
}

void TdxBarItemLinks::Loaded(bool setVisibles) {
  std::vector<TdxBarItemLink*> links(items_);
  for (size_t i = links.size(); i-- > 0;)
    if (links[i]->Item()) links[i]->CheckMostRecentlyUsed();
  if (setVisibles)
    for (size_t i = links.size(); i-- > 0;) links[i]->SetVisible(links[i]->LoadedVisible);
  for (int r = 0; r < static_cast<int>(links.size()); ++r)
    for (TdxBarItemLink* link : links)
      if (link->LoadedRecentIndex == r) {
        link->useCount_ = link->LoadedUseCount;
        link->SetRecentIndex(r);
        link->LoadedRecentIndex = -1;
      }
}

void TdxBarItemLinks::AssignUsageData(TdxBarItemLinks* source) {
  for (int i = 0; i < Count() && i < source->Count(); ++i)
    Items(i)->SetMostRecentlyUsed(source->Items(i)->MostRecentlyUsed());
  Loaded(false);
  CheckVisibleIntegrity();
}

namespace {
// Menus hold each other only without cycles; a drop-down menu that holds
// its own button would still lead back: the depth stops it.
int gShortCutDepth = 0;
}  // namespace

bool TdxBarItemLinks::IsShortCut(TShortCut shortCut) {
  if (shortCut == 0 || gShortCutDepth > 32) return false;
  auto depth = SetForScope(gShortCutDepth, gShortCutDepth + 1);
  InitiateActions();
  for (TdxBarItemLink* link : std::vector<TdxBarItemLink*>(available_)) {
    if (IndexOf(link) < 0) continue;
    TdxBarItem* item = link->Item();
    if (!item || !item->Enabled()) continue;
    if (auto* sub = dynamic_cast<TCustomdxBarSubItem*>(item)) {
      if (sub->ItemLinks()->IsShortCut(shortCut)) return true;
      continue;
    }
    if (!item->CanClicked()) continue;
    if (item->ShortCut() == shortCut) {
      item->Click();
      return true;
    }
    auto* button = dynamic_cast<TdxBarButton*>(item);
    if (button && button->ButtonStyle() == bsDropDown && button->DropDownMenu() &&
        button->DropDownMenu()->ItemLinks()->IsShortCut(shortCut))
      return true;
  }
  return false;
}

TdxBarItemLink* TdxBarItemLinks::FindItemWithAccel(WORD key, TShiftState shift, TdxBarItemLink* current) {
  shift >> ssAlt;
  auto matches = [&](TdxBarItemLink* l) { return l && l->Item() && l->Item()->HasAccel(l) && l->IsAccel(key, shift); };
  if (!IsBarOwner()) {
    int n = CanVisibleItemCount();
    int start = current ? CanVisibleIndexOf(current) : 0;
    if (start < 0) start = 0;
    for (int k = 1; k <= n; ++k)
      if (TdxBarItemLink* l = CanVisibleItems((start + k) % n); matches(l)) return l;
    return nullptr;
  }
  // A full turn from the link after current, current itself last.
  TdxBarItemLink* first = Next(current);
  TdxBarItemLink* l = first;
  for (int n = 0; l && n <= Count(); ++n) {
    if (matches(l)) return l;
    l = Next(l);
    if (l == first) break;
  }
  return nullptr;
}

TdxBarItemLink* TdxBarItemLinks::First() {
  int n = RealVisibleItemCount();
  for (int i = 0; i < n; ++i)
    if (TdxBarItemLink* l = VisibleItems(i); l && l->Control() && l->Control()->CanSelect()) return l;
  return nullptr;
}

TdxBarItemLink* TdxBarItemLinks::Last() {
  for (int i = RealVisibleItemCount(); i-- > 0;)
    if (TdxBarItemLink* l = VisibleItems(i); l && l->Control() && l->Control()->CanSelect()) return l;
  return nullptr;
}

TdxBarItemLink* TdxBarItemLinks::Next(TdxBarItemLink* current) {
  if (!current) return First();
  int n = RealVisibleItemCount();
  int from = VisibleIndexOf(current);
  if (from < 0 || n == 0) return First();
  for (int k = 1; k <= n; ++k)
    if (TdxBarItemLink* l = VisibleItems((from + k) % n); l && l->Control() && l->Control()->CanSelect()) return l;
  return nullptr;
}

TdxBarItemLink* TdxBarItemLinks::Prev(TdxBarItemLink* current) {
  if (!current) return Last();
  int n = RealVisibleItemCount();
  int from = VisibleIndexOf(current);
  if (from < 0 || n == 0) return Last();
  for (int k = 1; k <= n; ++k)
    if (TdxBarItemLink* l = VisibleItems(((from - k) % n + n) % n); l && l->Control() && l->Control()->CanSelect())
      return l;
  return nullptr;
}

bool TdxBarItemLinks::CanUseRecentItems() const {
  if (!manager_ || manager_->Style() == bmsStandard) return false;
  const TdxBarItemLinks* list = this;
  for (int depth = 0; depth < 64; ++depth) {
    if (dynamic_cast<TdxBar*>(list->owner_) || dynamic_cast<TdxBarPopupMenu*>(list->owner_)) break;
    TCustomdxBarControl* bc = list->barControl_;
    if (!bc || !bc->ParentBar() || !bc->ParentBar()->ItemLinks()) break;
    list = bc->ParentBar()->ItemLinks();
  }
  return list->useRecentItems_;
}

int TdxBarItemLinks::GetMostRecentItemCount() {
  if (!CanUseRecentItems()) return -1;
  int n = CanVisibleItemCount();
  if (n == 0) return -1;
  int lo = canVisible_.front()->UseCount(), hi = lo;
  for (TdxBarItemLink* l : canVisible_) {
    lo = std::min(lo, l->UseCount());
    hi = std::max(hi, l->UseCount());
  }
  int threshold = lo + MulDiv(hi - lo, 100 - manager_->MostRecentItemsPercents(), 100);
  int answer = 0;
  for (int pos = std::min(n, RecentItemCountInList()) - 1; pos >= 0; --pos) {
    TdxBarItemLink* l = recent_[static_cast<size_t>(pos)];
    if (l->UseCount() >= threshold && l->Owner() == this) {
      answer = pos + 1;
      break;
    }
  }
  return answer == n ? -1 : answer;
}

int TdxBarItemLinks::RealVisibleItemCount() {
  if (!IsBarOwner() || !barControl_) return VisibleItemCount();
  TRect client = barControl_->ClientRect();
  int n = 0;
  for (TdxBarItemLink* l : visible_) {
    const TRect& r = l->ItemRect();
    if (r.Empty() || r.left < client.left || r.top < client.top || r.right > client.right || r.bottom > client.bottom)
      break;
    ++n;
  }
  return n;
}

bool TdxBarItemLinks::HasItem(TdxBarItem* item) const {
  return std::any_of(items_.begin(), items_.end(), [&](TdxBarItemLink* l) { return l->HasItem(item); });
}

void TdxBarItemLinks::InitiateActions() {
  for (TdxBarItemLink* l : std::vector<TdxBarItemLink*>(items_))
    if (IndexOf(l) >= 0) l->InitiateAction();
}

void TdxBarItemLinks::EmptyItemRects() {
  for (TdxBarItemLink* l : items_) l->SetItemRect(TRect());
}

void TdxBarItemLinks::FreeForeignItems(TdxBarManager* manager) {
  auto* bar = dynamic_cast<TdxBar*>(owner_);
  bool locked = bar ? bar->LockUpdate() : false;
  if (bar) bar->SetLockUpdate(true);
  for (TdxBarItemLink* l : std::vector<TdxBarItemLink*>(items_)) {
    if (IndexOf(l) < 0) continue;
    TdxBarManager* itemManager = l->Item() ? l->Item()->BarManager() : nullptr;
    bool foreign = manager ? itemManager == manager : itemManager != manager_;
    if (foreign) l->Free();
  }
  if (bar) bar->SetLockUpdate(locked);
}
