#include "Actnlist.h"

#include <algorithm>

// ---------------------------------------------------------------- shortcuts

TShortCut ShortCut(WORD key, TShiftState shift) {
  if (key & 0xFF00) return 0;
  TShortCut s = key;
  if (shift.Contains(ssShift)) s |= scShift;
  if (shift.Contains(ssCtrl)) s |= scCtrl;
  if (shift.Contains(ssAlt)) s |= scAlt;
  return s;
}

void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift) {
  key = shortCut & 0xFF;
  shift = TShiftState();
  if (shortCut & scShift) shift << ssShift;
  if (shortCut & scCtrl) shift << ssCtrl;
  if (shortCut & scAlt) shift << ssAlt;
}

namespace {

struct TKeyName {
  WORD key;
  const char* name;
};

const TKeyName kKeyNames[] = {
    {VK_BACK, "BkSp"},  {VK_TAB, "Tab"},    {VK_ESCAPE, "Esc"},  {VK_RETURN, "Enter"}, {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"},  {VK_END, "End"},     {VK_HOME, "Home"},    {VK_LEFT, "Left"},
    {VK_UP, "Up"},      {VK_RIGHT, "Right"}, {VK_DOWN, "Down"},  {VK_INSERT, "Ins"},   {VK_DELETE, "Del"},
};

String OwnKeyName(WORD key) {
  for (const auto& k : kKeyNames)
    if (k.key == key) return k.name;
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return String(1, static_cast<char>(key));
  if (key >= VK_F1 && key <= VK_F24) return "F" + IntToStr(key - VK_F1 + 1);
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return "Num " + IntToStr(key - VK_NUMPAD0);
  return "";
}

String SystemKeyName(WORD key) {
  UINT scan = MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
  if (!scan) return "";
  char buf[64];
  int n = GetKeyNameTextA(static_cast<LONG>(scan << 16), buf, sizeof buf);
  return n > 0 ? String(buf, static_cast<size_t>(n)) : String();
}

// The names of the keys 1 to 255 under the current keyboard layout, unique
// without regard to case so that a text names one key. The layout names
// several keys alike (the left and right Shift, a numeric-pad key and the
// key it shares a scan code with): a name already taken gives way to "#"
// and the key's code.
const String* KeyNames() {
  static String names[256];
  static HKL layout = nullptr;
  static bool built = false;
  HKL now = GetKeyboardLayout(0);
  if (built && now == layout) return names;
  built = true;
  layout = now;
  std::vector<String> taken;
  auto isTaken = [&](const String& s) {
    return std::find(taken.begin(), taken.end(), UpperCase(s)) != taken.end();
  };
  for (WORD key = 1; key < 256; ++key) {
    names[key] = OwnKeyName(key);
    if (!names[key].empty()) taken.push_back(UpperCase(names[key]));
  }
  for (WORD key = 1; key < 256; ++key) {
    if (!names[key].empty()) continue;
    String s = SystemKeyName(key);
    if (s.empty()) continue;
    if (isTaken(s)) s = "#" + IntToStr(key);
    taken.push_back(UpperCase(s));
    names[key] = s;
  }
  return names;
}

}  // namespace

String ShortCutToText(TShortCut shortCut) {
  const String& name = KeyNames()[shortCut & 0xFF];
  if (name.empty()) return "";
  String s;
  if (shortCut & scShift) s += "Shift+";
  if (shortCut & scCtrl) s += "Ctrl+";
  if (shortCut & scAlt) s += "Alt+";
  return s + name;
}

TShortCut TextToShortCut(const String& text) {
  String rest = text;
  TShortCut mods = 0;
  for (;;) {
    if (StartsText("Shift+", rest)) {
      mods |= scShift;
      rest.erase(0, 6);
    } else if (StartsText("Ctrl+", rest)) {
      mods |= scCtrl;
      rest.erase(0, 5);
    } else if (StartsText("Alt+", rest)) {
      mods |= scAlt;
      rest.erase(0, 4);
    } else {
      break;
    }
  }
  if (rest.empty()) return 0;
  const String* names = KeyNames();
  for (WORD key = 1; key < 256; ++key)
    if (SameText(names[key], rest)) return mods | key;
  return 0;
}

TShiftState KeyboardShiftState() {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s << ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s << ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s << ssAlt;
  return s;
}

TShiftState KeyDataToShiftState(LPARAM keyData) {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s << ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s << ssCtrl;
  if (keyData & 0x20000000) s << ssAlt;
  return s;
}

// ---------------------------------------------------------------- links

TBasicActionLink::TBasicActionLink(TObject* client) : client_(client) {}

TBasicActionLink::~TBasicActionLink() {
  if (action_) action_->UnRegisterChanges(this);
}

void TBasicActionLink::SetAction(TBasicAction* value) {
  if (value == action_) return;
  if (action_) action_->UnRegisterChanges(this);
  action_ = value;
  if (action_) action_->RegisterChanges(this);
}

bool TBasicActionLink::Update() { return action_ && action_->Update(); }

bool TBasicActionLink::Execute(TComponent* target) {
  if (!action_) return false;
  action_->SetActionComponent(target);
  // The action may be freed by its own handler: only a live one is reset.
  bool result = action_->Execute();
  if (action_) action_->SetActionComponent(nullptr);
  return result;
}

void TBasicActionLink::Change() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------- TBasicAction

namespace {
TApplicationActionHook gAppHook = nullptr;
}

void SetApplicationActionHook(TApplicationActionHook hook) { gAppHook = hook; }

TBasicAction::TBasicAction(TComponent* owner) : TComponent(owner) {}

TBasicAction::~TBasicAction() {
  // Links outlive their action: they forget it.
  while (!links_.empty()) {
    TBasicActionLink* l = links_.back();
    links_.pop_back();
    l->action_ = nullptr;
    l->Change();
  }
}

bool TBasicAction::Execute() {
  if (OnExecute) {
    OnExecute(this);
    return true;
  }
  return false;
}

bool TBasicAction::Update() {
  if (OnUpdate) {
    OnUpdate(this);
    return true;
  }
  return false;
}

void TBasicAction::RegisterChanges(TBasicActionLink* link) {
  if (std::find(links_.begin(), links_.end(), link) == links_.end()) links_.push_back(link);
}

void TBasicAction::UnRegisterChanges(TBasicActionLink* link) {
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
}

bool TBasicAction::HasLink(TBasicActionLink* link) const {
  return std::find(links_.begin(), links_.end(), link) != links_.end();
}

void TBasicAction::Change() {
  // The links heard of the property itself (each setter tells them first);
  // a link's Change is for a new action only.
  if (OnChange) OnChange(this);
}

void TBasicAction::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == actionComponent_) actionComponent_ = nullptr;
}

// ---------------------------------------------------------------- TContainedAction

TContainedAction::~TContainedAction() { SetActionList(nullptr); }

void TContainedAction::SetActionList(TCustomActionList* list) {
  if (list == actionList_) return;
  if (actionList_) actionList_->RemoveAction(this);
  if (list) list->AddAction(this);
}

int TContainedAction::Index() const {
  if (!actionList_) return -1;
  auto& v = actionList_->actions_;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

void TContainedAction::SetCategory(const String& value) {
  if (value == category_) return;
  category_ = value;
  if (actionList_ && actionList_->OnChange) actionList_->OnChange(actionList_);
}

bool TContainedAction::Execute() {
  if (actionList_ && actionList_->State() != asNormal) return false;
  if (actionList_ && actionList_->ExecuteAction(this)) return true;
  if (gAppHook && gAppHook(this, false)) return true;
  return TBasicAction::Execute();
}

bool TContainedAction::Update() {
  if (actionList_ && actionList_->State() != asNormal) return false;
  if (actionList_ && actionList_->UpdateAction(this)) return true;
  if (gAppHook && gAppHook(this, true)) return true;
  return TBasicAction::Update();
}

// ---------------------------------------------------------------- TCustomAction

TCustomAction::TCustomAction(TComponent* owner) : TContainedAction(owner) {}

bool TCustomAction::Execute() {
  Update();
  if (!enabled_) return false;
  if (autoCheck_) SetChecked(!checked_);
  return TContainedAction::Execute();
}

template <class F>
void TCustomAction::ForLinks(F f) {
  for (TBasicActionLink* l : Links())
    if (HasLink(l))
      if (auto* al = dynamic_cast<TActionLink*>(l)) f(al);
}

void TCustomAction::SetCaption(const String& value) {
  if (value == caption_) return;
  ForLinks([&](TActionLink* l) { l->SetCaption(value); });
  caption_ = value;
  Change();
}
void TCustomAction::SetChecked(bool value) {
  if (value == checked_) return;
  ForLinks([&](TActionLink* l) { l->SetChecked(value); });
  checked_ = value;
  if (value && groupIndex_ > 0 && ActionList()) {
    TCustomActionList* list = ActionList();
    for (int i = 0; i < list->ActionCount(); ++i) {
      auto* a = dynamic_cast<TCustomAction*>(list->Actions(i));
      if (a && a != this && a->groupIndex_ == groupIndex_) a->SetChecked(false);
    }
  }
  Change();
}

void TCustomAction::SetGroupIndex(int value) {
  if (value == groupIndex_) return;
  groupIndex_ = value;
  Change();
}

void TCustomAction::SetEnabled(bool value) {
  if (value == enabled_) return;
  ForLinks([&](TActionLink* l) { l->SetEnabled(value); });
  enabled_ = value;
  Change();
}
void TCustomAction::SetHelpContext(int value) {
  if (value == helpContext_) return;
  ForLinks([&](TActionLink* l) { l->SetHelpContext(value); });
  helpContext_ = value;
  Change();
}
void TCustomAction::SetHint(const String& value) {
  if (value == hint_) return;
  ForLinks([&](TActionLink* l) { l->SetHint(value); });
  hint_ = value;
  Change();
}
void TCustomAction::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  ForLinks([&](TActionLink* l) { l->SetImageIndex(value); });
  imageIndex_ = value;
  Change();
}
void TCustomAction::SetShortCut(TShortCut value) {
  if (value == shortCut_) return;
  ForLinks([&](TActionLink* l) { l->SetShortCut(value); });
  shortCut_ = value;
  Change();
}
void TCustomAction::SetVisible(bool value) {
  if (value == visible_) return;
  ForLinks([&](TActionLink* l) { l->SetVisible(value); });
  visible_ = value;
  Change();
}

// ---------------------------------------------------------------- TActionLink

void TActionLink::ApplyAll() {
  TCustomAction* a = CustomAction();
  if (!a) return;
  ApplyingAll = true;
  SetCaption(a->Caption());
  SetChecked(a->Checked());
  SetEnabled(a->Enabled());
  SetHelpContext(a->HelpContext());
  SetHint(a->Hint());
  SetImageIndex(a->ImageIndex());
  SetShortCut(a->ShortCut());
  SetVisible(a->Visible());
  ApplyingAll = false;
}


// ---------------------------------------------------------------- TCustomActionList

TCustomActionList::TCustomActionList(TComponent* owner) : TComponent(owner) {}

TCustomActionList::~TCustomActionList() {
  while (!actions_.empty()) actions_.back()->SetActionList(nullptr);
}

TContainedAction* TCustomActionList::Actions(int index) const {
  if (index < 0 || index >= ActionCount()) throw EListError(Format("List index out of bounds (%d)", index));
  return actions_[static_cast<size_t>(index)];
}

void TCustomActionList::AddAction(TContainedAction* action) {
  actions_.push_back(action);
  action->actionList_ = this;
  action->FreeNotification(this);
  if (OnChange) OnChange(this);
}

void TCustomActionList::RemoveAction(TContainedAction* action) {
  actions_.erase(std::remove(actions_.begin(), actions_.end(), action), actions_.end());
  action->actionList_ = nullptr;
  if (!IsDestroying() && OnChange) OnChange(this);
}

void TCustomActionList::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == reinterpret_cast<TComponent*>(images_)) images_ = nullptr;
  auto it = std::find(actions_.begin(), actions_.end(), component);
  if (it != actions_.end()) {
    (*it)->actionList_ = nullptr;
    actions_.erase(it);
  }
}

void TCustomActionList::SetImages(TCustomImageList* value) { images_ = value; }

void TCustomActionList::SetState(TActionListState value) {
  if (value == state_) return;
  state_ = value;
  if (state_ == asSuspendedEnabled)
    for (TContainedAction* a : actions_)
      if (auto* c = dynamic_cast<TCustomAction*>(a)) c->SetEnabled(true);
}

bool TCustomActionList::ExecuteAction(TBasicAction* action) {
  bool handled = false;
  if (OnExecute) OnExecute(action, handled);
  return handled;
}

bool TCustomActionList::UpdateAction(TBasicAction* action) {
  bool handled = false;
  if (OnUpdate) OnUpdate(action, handled);
  return handled;
}

bool TCustomActionList::IsShortCut(WORD key, TShiftState shift) {
  TShortCut sc = ::ShortCut(key, shift);
  if (sc == 0 || state_ != asNormal) return false;
  std::vector<TContainedAction*> copy = actions_;
  for (TContainedAction* a : copy) {
    auto* c = dynamic_cast<TCustomAction*>(a);
    if (!c || c->ShortCut() != sc) continue;
    c->Update();
    if (!c->Enabled() || !c->Visible()) return false;
    c->Execute();
    return true;
  }
  return false;
}

void TCustomActionList::UpdateActions() {
  if (state_ != asNormal) return;
  std::vector<TContainedAction*> copy = actions_;
  for (TContainedAction* a : copy)
    if (std::find(actions_.begin(), actions_.end(), a) != actions_.end()) a->Update();
}
