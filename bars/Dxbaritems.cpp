// Items and buttons, their action links, and the model of popup menus.
#include <algorithm>

#include "Dxbarcontrols.h"
#include "Dxbarstrs.h"

DX_BAR_ITEM_CLASS_IMPL(TdxBarItem)
DX_BAR_ITEM_CLASS_IMPL(TdxBarButton)

// ---------------------------------------------------------------- action link

TdxBarItemActionLink::TdxBarItemActionLink(TdxBarItem* client) : TActionLink(client), item_(client) {}

bool TdxBarItemActionLink::IsCaptionLinked() const {
  return TActionLink::IsCaptionLinked() && item_->Caption() == CustomAction()->Caption();
}

bool TdxBarItemActionLink::IsCheckedLinked() const {
  auto* button = dynamic_cast<TdxBarButton*>(item_);
  return TActionLink::IsCheckedLinked() && button && button->Down() == CustomAction()->Checked();
}

bool TdxBarItemActionLink::IsEnabledLinked() const {
  return TActionLink::IsEnabledLinked() && item_->StoredEnabled() == CustomAction()->Enabled();
}

bool TdxBarItemActionLink::IsHelpContextLinked() const {
  return TActionLink::IsHelpContextLinked() && item_->HelpContext() == CustomAction()->HelpContext();
}

bool TdxBarItemActionLink::IsHintLinked() const {
  return TActionLink::IsHintLinked() && item_->Hint() == CustomAction()->Hint();
}

bool TdxBarItemActionLink::IsImageIndexLinked() const {
  return TActionLink::IsImageIndexLinked() && item_->ImageIndex() == CustomAction()->ImageIndex();
}

bool TdxBarItemActionLink::IsShortCutLinked() const {
  return TActionLink::IsShortCutLinked() && item_->ShortCut() == CustomAction()->ShortCut();
}

bool TdxBarItemActionLink::IsVisibleLinked() const {
  return TActionLink::IsVisibleLinked() && item_->Visible() == VisibleTodxBarVisible(CustomAction()->Visible());
}

bool TdxBarItemActionLink::IsOnExecuteLinked() const {
  return TActionLink::IsOnExecuteLinked() && item_->OnClick == CustomAction()->OnExecute;
}

void TdxBarItemActionLink::SetCaption(const String& value) {
  if (ApplyingAll || IsCaptionLinked()) item_->SetCaption(value);
}

void TdxBarItemActionLink::SetChecked(bool value) {
  if (auto* button = dynamic_cast<TdxBarButton*>(item_))
    if (ApplyingAll || IsCheckedLinked()) button->SetDown(value);
}

void TdxBarItemActionLink::SetEnabled(bool value) {
  if (ApplyingAll || IsEnabledLinked()) item_->SetEnabled(value);
}

void TdxBarItemActionLink::SetHelpContext(int value) {
  if (ApplyingAll || IsHelpContextLinked()) item_->helpContext_ = value;
}

void TdxBarItemActionLink::SetHint(const String& value) {
  if (ApplyingAll || IsHintLinked()) item_->hint_ = value;
}

void TdxBarItemActionLink::SetImageIndex(int value) {
  if (ApplyingAll || IsImageIndexLinked()) item_->SetImageIndex(value);
}

void TdxBarItemActionLink::SetShortCut(TShortCut value) {
  if (ApplyingAll || IsShortCutLinked()) item_->SetShortCut(value);
}

void TdxBarItemActionLink::SetVisible(bool value) {
  if (ApplyingAll || IsVisibleLinked()) item_->SetVisible(VisibleTodxBarVisible(value));
}

// ---------------------------------------------------------------- TdxBarItem

TdxBarItem::TdxBarItem(TComponent* owner) : TComponent(owner) {
  TdxBarManager* m = nullptr;
  if (auto* form = dynamic_cast<TCustomForm*>(owner)) m = GetBarManagerByForm(form);
  if (!m && dxBarManagerList && dxBarManagerList->Count() > 0) m = dxBarManagerList->GetBarManager(0);
  manager_ = m;
  if (m) m->AddItem(this);
  glyph_.reset(new TBitmap);
  glyph_->OnChange = {this, &TdxBarItem::GlyphObjectChanged};
}

void TdxBarItem::BeforeDestruction() {
  TComponent::BeforeDestruction();
  if (OnDestroy) {
    TNotifyEvent handler = OnDestroy;
    OnDestroy = nullptr;
    // The item is going: the error is reported without it.
    CallGuarded([&] { handler(this); });
  }
}

TdxBarItem::~TdxBarItem() {
  Destroying();
  RemoveInternalItem(this);
  while (!links_.empty()) {
    TdxBarItemLink* link = links_.back();
    link->Free();
    if (!links_.empty() && links_.back() == link) links_.pop_back();
  }
  if (manager_) {
    if (manager_->DraggingItem() == this) manager_->SetDraggingItem(nullptr, nullptr);
    manager_->RemoveItem(this);
    if (manager_->IsCustomizing() && category_ > -1) FullUpdateCustomizingBarItems();
  }
  delete actionLink_;
  actionLink_ = nullptr;
  glyph_.reset();
}

TBasicAction* TdxBarItem::Action() const { return actionLink_ ? actionLink_->Action() : nullptr; }

void TdxBarItem::SetAction(TBasicAction* value) {
  if (!value) {
    delete actionLink_;
    actionLink_ = nullptr;
    return;
  }
  if (!actionLink_) actionLink_ = CreateActionLink();
  actionLink_->SetAction(value);
  actionLink_->OnChange = {this, &TdxBarItem::DoActionChange};
  ActionChange(value, value->IsLoading());
  value->FreeNotification(this);
}

TdxBarItemActionLink* TdxBarItem::CreateActionLink() { return new TdxBarItemActionLink(this); }

void TdxBarItem::DoActionChange(TObject* sender) {
  if (actionLink_ && sender == actionLink_) ActionChange(actionLink_->Action(), false);
}

void TdxBarItem::ActionChange(TObject* sender, bool checkDefaults) {
  if (!dynamic_cast<TCustomAction*>(Action())) return;
  auto* a = dynamic_cast<TCustomAction*>(sender);
  if (!a) return;
  if (!checkDefaults || caption_.empty()) SetCaption(a->Caption());
  if (auto* button = dynamic_cast<TdxBarButton*>(this))
    if (!checkDefaults || !button->Down()) button->SetDown(a->Checked());
  if (!checkDefaults || Enabled()) SetEnabled(a->Enabled());
  if (!checkDefaults || helpContext_ == 0) helpContext_ = a->HelpContext();
  if (!checkDefaults || hint_.empty()) hint_ = a->Hint();
  if (!checkDefaults || imageIndex_ == -1) SetImageIndex(a->ImageIndex());
  if (!checkDefaults || shortCut_ == 0) SetShortCut(a->ShortCut());
  if (!checkDefaults || visible_ == ivAlways) SetVisible(VisibleTodxBarVisible(a->Visible()));
  if (!checkDefaults || !OnClick) OnClick = a->OnExecute;
}

bool TdxBarItem::ManagerLoading() const { return manager_ ? manager_->IsLoading() : IsLoading(); }

void TdxBarItem::SetAlign(TdxBarItemAlign value) {
  if (value == align_) return;
  align_ = value;
  AlignChanged();
}

void TdxBarItem::AlignChanged() {
  if (IsLoading()) return;
  for (TdxBarItemLink* link : std::vector<TdxBarItemLink*>(links_))
    if (link->Control()) link->Control()->AlignChanged();
}

String TdxBarItem::GetHintFromCaption() const {
  String s = caption_;
  size_t amp = s.find('&');
  if (amp != String::npos) s.erase(amp, 1);
  size_t dots = s.find("...");
  if (dots != String::npos) s.erase(dots, 3);
  return s;
}

void TdxBarItem::SetCaption(const String& value) {
  if (value == caption_) return;
  bool follows = !dynamic_cast<TCustomdxBarSubItem*>(this) &&
                 (hint_.empty() || GetShortHint(hint_) == GetHintFromCaption());
  caption_ = value;
  if (IsLoading()) return;
  if (follows) {
    String shortHint = GetHintFromCaption();
    size_t bar = hint_.find('|');
    hint_ = bar != String::npos ? shortHint + "|" + hint_.substr(bar + 1) : shortHint;
  }
  CaptionChanged();
}

void TdxBarItem::SetCategory(int value) {
  if (IsLoading()) {
    category_ = value;
    return;
  }
  if (value == category_) return;
  if (!manager_ || value < 0 || value >= manager_->Categories()->Count()) return;
  category_ = value;
  if (manager_->IsCustomizing() && IsDesigning() && !IsDestroying()) UpdateCustomizingBarItemsEx(this, true);
  manager_->DesignerModified();
}

void TdxBarItem::SetDescription(const String& value) {
  if (value == description_) return;
  description_ = value;
  if (manager_) manager_->UpdateItems(this);
}

bool TdxBarItem::Enabled() const {
  if (manager_ && manager_->IsCustomizing() && !manager_->IsDesigning() && category_ > -1) return true;
  return enabled_;
}

void TdxBarItem::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  if (!IsLoading()) EnabledChanged();
}

void TdxBarItem::SetGlyph(TBitmap* value) { glyph_->Assign(value); }

void TdxBarItem::SetHelpContext(int value) { helpContext_ = value; }

void TdxBarItem::SetHint(const String& value) { hint_ = value; }

void TdxBarItem::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  GlyphChanged();
}

TdxBarItemLink* TdxBarItem::Links(int index) const {
  if (index < 0 || index >= LinkCount()) return nullptr;
  return links_[static_cast<size_t>(index)];
}

void TdxBarItem::SetShortCut(TShortCut value) {
  if (value == shortCut_) return;
  shortCut_ = value;
  if (!IsLoading()) ShortCutChanged();
}

void TdxBarItem::SetVisible(TdxBarItemVisible value) {
  // The manager's Loaded applies what was read.
  if (ManagerLoading()) {
    loadedVisible_ = value;
    return;
  }
  if (value == visible_) return;
  visible_ = value;
  VisibleChanged();
}

bool TdxBarItem::ActuallyVisible() const {
  switch (visible_) {
    case ivAlways: return true;
    case ivInCustomizing: return manager_ && manager_->IsCustomizing();
    default: return false;
  }
}

bool TdxBarItem::VisibleForUser() const {
  return std::any_of(links_.begin(), links_.end(), [](TdxBarItemLink* l) { return l->CanVisibleIndex() != -1; });
}

TdxBarItemLink* TdxBarItem::CurItemLink() const {
  for (TdxBarItemLink* link : links_)
    if (link->Control() && link->Control()->Active()) return link;
  return nullptr;
}

int TdxBarItem::Index() const { return manager_ ? manager_->IndexOfItem(this) : -1; }
bool TdxBarItem::Flat() const { return manager_ && manager_->Flat(); }

bool TdxBarItem::HasControls() const {
  return std::any_of(links_.begin(), links_.end(), [](TdxBarItemLink* l) { return l->Control() != nullptr; });
}

TComponent* TdxBarItem::GetParentComponent() const { return HasParent() ? manager_ : nullptr; }

void TdxBarItem::SetParentComponent(TComponent* value) {
  if (IsLoading()) return;
  auto* m = dynamic_cast<TdxBarManager*>(value);
  if (m != manager_) {
    if (manager_) manager_->RemoveItem(this);
    manager_ = m;
    if (m) m->AddItem(this);
  }
  BarManagerChanged();
}

void TdxBarItem::SetName(const String& name) {
  TComponent::SetName(name);
  UpdateCustomizingAllCommands();
  UpdateGroupItems();
}

namespace {

// The link's control, when it shows the change (no override of its own).
TdxBarItemControl* ControlOf(TdxBarItemLink* link, TdxBarUserDefine override) {
  if (link->UserDefine().Contains(override)) return nullptr;
  return link->Control();
}

}  // namespace

void TdxBarItem::CaptionChanged() {
  for (TdxBarItemLink* link : std::vector<TdxBarItemLink*>(links_))
    if (TdxBarItemControl* c = ControlOf(link, udCaption)) c->CaptionChanged();
  if (manager_) manager_->UpdateItems(this);
}

void TdxBarItem::EnabledChanged() {
  for (TdxBarItemLink* link : std::vector<TdxBarItemLink*>(links_))
    if (link->Control()) link->Control()->EnabledChanged();
}

void TdxBarItem::GlyphChanged() {
  for (TdxBarItemLink* link : std::vector<TdxBarItemLink*>(links_))
    if (TdxBarItemControl* c = ControlOf(link, udGlyph)) c->GlyphChanged();
  if (manager_) manager_->UpdateItems(this);
}

void TdxBarItem::ShortCutChanged() {
  for (TdxBarItemLink* link : std::vector<TdxBarItemLink*>(links_))
    if (link->Control()) link->Control()->ShortCutChanged();
  if (manager_) manager_->UpdateItems(this);
}

namespace {

// The selected control of the active bar window is left alone.
bool SkipUpdate(TdxBarItemControl* c) {
  return c->Parent() && c->Parent()->SelectedControl() == c && c->Parent() == ActiveBarControl();
}

}  // namespace

void TdxBarItem::Update() {
  for (TdxBarItemLink* link : std::vector<TdxBarItemLink*>(links_))
    if (TdxBarItemControl* c = link->Control(); c && !SkipUpdate(c)) c->Repaint();
}

void TdxBarItem::UpdateEx() {
  for (TdxBarItemLink* link : std::vector<TdxBarItemLink*>(links_))
    if (TdxBarItemControl* c = link->Control(); c && !SkipUpdate(c) && c->Parent()) c->Parent()->RepaintBar();
}

void TdxBarItem::VisibleChanged() {
  if (IsDesigning() || !manager_) return;
  bool locked = manager_->LockUpdate();
  manager_->SetLockUpdate(true);
  {
    TFinally guard([&] { manager_->SetLockUpdate(locked); });
    for (TdxBarItemLink* link : std::vector<TdxBarItemLink*>(links_)) {
      link->Owner()->RefreshVisibilityLists();
      if (ActuallyVisible()) {
        link->BringToTopInRecentList(false);
        if (!link->Control()) link->CreateControl();
        if (link->Control()) link->Control()->VisibleChanged();
      } else {
        link->SendToBottomInRecentList();
        if (link->Control()) {
          link->Control()->VisibleChanged();
          link->DestroyControl();
        }
      }
    }
  }
  manager_->UpdateItems(this);
}

void TdxBarItem::Click() {
  if (CanClicked()) DirectClick();
}

void TdxBarItem::DirectClick() {
  if (!Enabled()) return;
  CallGuarded(
      [&] {
        if (manager_) manager_->DoClickItem(this);
        DoClick();
      },
      this);
}

void TdxBarItem::DoClick() {
  TBasicAction* action = Action();
  if (OnClick && (!action || action->OnExecute != OnClick)) {
    OnClick(this);
    return;
  }
  if (!IsDesigning() && actionLink_) actionLink_->Execute(this);
}

void TdxBarItem::Loaded() {
  TComponent::Loaded();
  if (Action()) ActionChange(Action(), true);
}

void TdxBarItem::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component && component == Action()) SetAction(nullptr);
}

void TdxBarItem::AssignTo(TPersistent* dest) {
  auto* a = dynamic_cast<TCustomAction*>(dest);
  if (!a) {
    TComponent::AssignTo(dest);
    return;
  }
  a->SetCaption(caption_);
  if (auto* button = dynamic_cast<TdxBarButton*>(this)) a->SetChecked(button->Down());
  a->SetEnabled(enabled_);
  a->SetHelpContext(helpContext_);
  a->SetHint(hint_);
  a->SetImageIndex(imageIndex_);
  a->SetShortCut(shortCut_);
  if (visible_ == ivNever) a->SetVisible(false);
  if (visible_ == ivAlways) a->SetVisible(true);
  a->OnExecute = OnClick;
}

// ---------------------------------------------------------------- TdxBarButton

TdxBarButton::TdxBarButton(TComponent* owner) : TdxBarItem(owner) { unclickAfterDoing_ = true; }

TdxBarButton::~TdxBarButton() = default;

namespace {

template <class F>
void ForButtons(TdxBarManager* m, F f) {
  if (!m) return;
  for (int i = 0; i < m->ItemCount(); ++i)
    if (auto* b = dynamic_cast<TdxBarButton*>(m->Items(i))) f(b);
}

}  // namespace

void TdxBarButton::SetAllowAllUp(bool value) {
  if (value == allowAllUp_) return;
  allowAllUp_ = value;
  if (groupIndex_ == 0) return;
  ForButtons(manager_, [&](TdxBarButton* b) {
    if (b->groupIndex_ == groupIndex_) b->allowAllUp_ = value;
  });
}

void TdxBarButton::SetButtonStyle(TdxBarButtonStyle value) {
  if (value == buttonStyle_) return;
  buttonStyle_ = value;
  SetDown(false);
  if (!IsLoading()) ButtonStyleChanged();
  if (manager_) manager_->UpdateItems(this);
}

void TdxBarButton::SetGroupIndex(int value) {
  if (value == groupIndex_) return;
  groupIndex_ = buttonStyle_ != bsChecked ? 0 : value;
  SetDown(false);
}

void TdxBarButton::SetDown(bool value) {
  if (value == down_) return;
  if (IsLoading()) {
    down_ = value;
    return;
  }
  if (buttonStyle_ != bsChecked && value) return;
  TdxBarButton* previous = nullptr;
  if (buttonStyle_ == bsChecked && groupIndex_ != 0) {
    if (value) {
      ForButtons(manager_, [&](TdxBarButton* b) {
        if (!previous && b->buttonStyle_ == bsChecked && b->groupIndex_ == groupIndex_ && b->down_) previous = b;
      });
    } else if (!allowAllUp_) {
      bool otherDown = false;
      ForButtons(manager_, [&](TdxBarButton* b) {
        if (b != this && b->buttonStyle_ == bsChecked && b->groupIndex_ == groupIndex_ && b->down_) otherDown = true;
      });
      if (!otherDown) return;
    }
  }
  down_ = value;
  DownChanged();
  if (previous && previous != this) previous->SetDown(false);
}

void TdxBarButton::SetDropDownEnabled(bool value) {
  if (value == dropDownEnabled_) return;
  dropDownEnabled_ = value;
  if (!IsLoading()) DropDownEnabledChanged();
}

void TdxBarButton::SetDropDownMenu(TdxBarPopupMenu* value) {
  if (value == dropDownMenu_) return;
  dropDownMenu_ = value;
  if (value) value->FreeNotification(this);
}

void TdxBarButton::SetLowered(bool value) {
  if (value == lowered_) return;
  lowered_ = value;
  if (!IsLoading()) UpdateEx();
}

void TdxBarButton::SetPaintStyle(TdxBarPaintStyle value) {
  if (value == paintStyle_) return;
  paintStyle_ = value;
  if (!IsLoading()) PaintStyleChanged();
}

void TdxBarButton::Click() {
  if (Enabled() && buttonStyle_ == bsChecked) SetDown(!down_);
  TdxBarItem::Click();
}

bool TdxBarButton::HasAccel(TdxBarItemLink* link) const {
  if (!TdxBarItem::HasAccel(link)) return false;
  if (!link || !dynamic_cast<TdxBar*>(link->Owner()->Owner())) return true;
  TdxBarPaintStyle ps = link->PaintStyle();
  return ps == psCaption || ps == psCaptionGlyph;
}

namespace {

template <class F>
void ForButtonControls(const std::vector<TdxBarItemLink*>& links, F f, bool skipUserPaintStyle = false) {
  for (TdxBarItemLink* link : std::vector<TdxBarItemLink*>(links)) {
    if (skipUserPaintStyle && link->UserDefine().Contains(udPaintStyle)) continue;
    if (auto* c = dynamic_cast<TdxBarButtonControl*>(link->Control())) f(c);
  }
}

}  // namespace

void TdxBarButton::ButtonStyleChanged() { ForButtonControls(links_, [](TdxBarButtonControl* c) { c->ButtonStyleChanged(); }); }
void TdxBarButton::DownChanged() { ForButtonControls(links_, [](TdxBarButtonControl* c) { c->DownChanged(); }); }
void TdxBarButton::DropDownEnabledChanged() {
  ForButtonControls(links_, [](TdxBarButtonControl* c) { c->DropDownEnabledChanged(); });
}
void TdxBarButton::PaintStyleChanged() {
  ForButtonControls(links_, [](TdxBarButtonControl* c) { c->PaintStyleChanged(); }, true);
}

void TdxBarButton::Notification(TComponent* component, TOperation operation) {
  TdxBarItem::Notification(component, operation);
  if (operation == opRemove && component == dropDownMenu_) dropDownMenu_ = nullptr;
}

