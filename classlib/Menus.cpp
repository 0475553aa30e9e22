#include "Menus.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

const char* const cLineCaption = "-";

String StripHotkey(const String& caption) {
  String s;
  s.reserve(caption.size());
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != cHotkeyPrefix) {
      s += caption[i];
    } else if (i + 1 < caption.size() && caption[i + 1] == cHotkeyPrefix) {
      s += cHotkeyPrefix;
      ++i;
    }
  }
  return s;
}

char GetHotkey(const String& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != cHotkeyPrefix) continue;
    if (caption[i + 1] == cHotkeyPrefix) {
      ++i;
      continue;
    }
    return AnsiUpperCase(String(1, caption[i + 1]))[0];
  }
  return 0;
}

namespace {

// Command ids of items: above the ids the shell gives its context-menu
// entries (up to 32767) and below the system commands.
constexpr UINT kFirstCommand = 0x8000;
constexpr UINT kLastCommand = 0xEFFF;

std::unordered_map<UINT, TMenuItem*>& CommandItems() {
  static std::unordered_map<UINT, TMenuItem*> m;
  return m;
}
UINT gNextCommand = kFirstCommand;

UINT AllocateCommand(TMenuItem* item) {
  auto& m = CommandItems();
  // The next free id after the last one given, so that a freed item's id
  // is not at once another item's.
  for (UINT n = 0; n <= kLastCommand - kFirstCommand; ++n) {
    UINT c = gNextCommand;
    gNextCommand = c == kLastCommand ? kFirstCommand : c + 1;
    if (m.emplace(c, item).second) return c;
  }
  throw EOutOfResources("Too many menu items");
}

// The live item with that id; also tells whether an item survived a handler.
TMenuItem* CommandItem(UINT command) {
  auto& m = CommandItems();
  auto it = m.find(command);
  return it == m.end() ? nullptr : it->second;
}

std::vector<TMenu*>& AllMenus() {
  static std::vector<TMenu*> v;
  return v;
}

bool IsMenuAlive(TMenu* menu) {
  auto& v = AllMenus();
  return std::find(v.begin(), v.end(), menu) != v.end();
}

// The picture shown beside an item's text. Image lists draw nothing into
// menus yet: items show their text only.
HBITMAP ItemBitmap(TCustomImageList* images, int imageIndex) {
  (void)images;
  (void)imageIndex;
  return nullptr;
}

UINT ItemType(TMenuItem* item) {
  UINT type = item->IsLine() ? MFT_SEPARATOR : MFT_STRING;
  if (item->RadioItem()) type |= MFT_RADIOCHECK;
  if (item->Break() == mbBreak) type |= MFT_MENUBREAK;
  if (item->Break() == mbBarBreak) type |= MFT_MENUBARBREAK;
  return type;
}

UINT ItemState(TMenuItem* item) {
  UINT state = 0;
  if (item->Checked()) state |= MFS_CHECKED;
  if (!item->Enabled()) state |= MFS_GRAYED;
  return state;
}

String ItemText(TMenuItem* item) {
  String text = item->Caption();
  if (item->ShortCut() != 0) {
    String sc = ShortCutToText(item->ShortCut());
    if (!sc.empty()) text += "\t" + sc;
  }
  return text;
}

HMENU ItemSubMenu(TMenuItem* item) { return item->Count() > 0 ? item->Handle() : nullptr; }

// Fills mii with everything the entry of item shows; text keeps the string.
void FillEntry(TMenuItem* item, MENUITEMINFOA& mii, String& text) {
  mii = MENUITEMINFOA{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
  mii.fType = ItemType(item);
  mii.fState = ItemState(item);
  mii.wID = item->Command();
  mii.hSubMenu = ItemSubMenu(item);
  if (!item->IsLine()) {
    text = ItemText(item);
    mii.fMask |= MIIM_STRING | MIIM_BITMAP;
    mii.dwTypeData = const_cast<char*>(text.c_str());
    TMenu* menu = item->GetParentMenu();
    mii.hbmpItem = ItemBitmap(menu ? menu->Images() : nullptr, item->ImageIndex());
  }
}

void InsertEntry(HMENU menu, int pos, TMenuItem* item) {
  MENUITEMINFOA mii;
  String text;
  FillEntry(item, mii, text);
  if (!InsertMenuItemA(menu, static_cast<UINT>(pos), TRUE, &mii))
    throw EOutOfResources(Format("Cannot insert the menu item %s", item->Caption()));
}

// Brings the entry at pos up to date in place: the menu may be showing.
void UpdateEntry(HMENU menu, int pos, TMenuItem* item) {
  MENUITEMINFOA now{};
  now.cbSize = sizeof now;
  now.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
  GetMenuItemInfoA(menu, static_cast<UINT>(pos), TRUE, &now);
  HMENU sub = ItemSubMenu(item);
  bool wasLine = (now.fType & MFT_SEPARATOR) != 0;
  if (now.hSubMenu != sub || wasLine != item->IsLine()) {
    // RemoveMenu leaves the item's own sub-menu alive.
    RemoveMenu(menu, static_cast<UINT>(pos), MF_BYPOSITION);
    InsertEntry(menu, pos, item);
    return;
  }
  MENUITEMINFOA mii;
  String text;
  FillEntry(item, mii, text);
  mii.fMask &= ~static_cast<UINT>(MIIM_SUBMENU | MIIM_ID);
  mii.fState |= now.fState & MFS_HILITE;
  SetMenuItemInfoA(menu, static_cast<UINT>(pos), TRUE, &mii);
}

// ---------------------------------------------------------------- popup list

HWND gPopupList = nullptr;
TMenuMessageHook gMenuHook;

bool IsHookedMessage(UINT msg) {
  switch (msg) {
    case WM_COMMAND:
    case WM_INITMENUPOPUP:
    case WM_MENUSELECT:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_MENUCHAR:
      return true;
    default:
      return false;
  }
}

void PopupListMessage(TMessage& msg) {
  if (IsHookedMessage(msg.Msg) && gMenuHook) {
    bool handled = false;
    TMenuMessageHook hook = gMenuHook;
    hook(msg, handled);
    if (handled) return;
  }
  switch (msg.Msg) {
    case WM_COMMAND:
      if (HIWORD(msg.WParam) == 0 && msg.LParam == 0) {
        if (TMenuItem* item = TMenu::FindCommand(LOWORD(msg.WParam))) {
          msg.Result = 0;
          item->Click();
          return;
        }
      }
      break;
    case WM_INITMENUPOPUP: {
      auto menu = reinterpret_cast<HMENU>(msg.WParam);
      std::vector<TMenu*> menus = AllMenus();
      for (TMenu* m : menus) {
        if (IsMenuAlive(m) && m->DispatchPopup(menu)) {
          msg.Result = 0;
          return;
        }
      }
      break;
    }
    default:
      break;
  }
  msg.Result = DefWindowProcA(gPopupList, msg.Msg, msg.WParam, msg.LParam);
}

}  // namespace

HWND PopupListWindow() {
  if (!gPopupList || !IsWindow(gPopupList)) gPopupList = AllocateHWnd(TWndMethod(PopupListMessage));
  if (!gPopupList) throw EOutOfResources("Cannot create the popup list window");
  return gPopupList;
}

void SetMenuMessageHook(TMenuMessageHook hook) { gMenuHook = std::move(hook); }

// ---------------------------------------------------------------- TMenuActionLink

TMenuActionLink::TMenuActionLink(TMenuItem* client) : TActionLink(client), item_(client) {}

bool TMenuActionLink::IsCaptionLinked() const {
  return TActionLink::IsCaptionLinked() && item_->Caption() == CustomAction()->Caption();
}
bool TMenuActionLink::IsCheckedLinked() const {
  return TActionLink::IsCheckedLinked() && item_->Checked() == CustomAction()->Checked();
}
bool TMenuActionLink::IsEnabledLinked() const {
  return TActionLink::IsEnabledLinked() && item_->Enabled() == CustomAction()->Enabled();
}
bool TMenuActionLink::IsHelpContextLinked() const {
  return TActionLink::IsHelpContextLinked() && item_->HelpContext() == CustomAction()->HelpContext();
}
bool TMenuActionLink::IsHintLinked() const {
  return TActionLink::IsHintLinked() && item_->Hint() == CustomAction()->Hint();
}
bool TMenuActionLink::IsImageIndexLinked() const {
  return TActionLink::IsImageIndexLinked() && item_->ImageIndex() == CustomAction()->ImageIndex();
}
bool TMenuActionLink::IsShortCutLinked() const {
  return TActionLink::IsShortCutLinked() && item_->ShortCut() == CustomAction()->ShortCut();
}
bool TMenuActionLink::IsVisibleLinked() const {
  return TActionLink::IsVisibleLinked() && item_->Visible() == CustomAction()->Visible();
}
bool TMenuActionLink::IsOnExecuteLinked() const {
  return TActionLink::IsOnExecuteLinked() && item_->OnClick == Action()->OnExecute;
}

void TMenuActionLink::SetCaption(const String& value) {
  if (IsCaptionLinked()) item_->SetCaption(value);
}
void TMenuActionLink::SetChecked(bool value) {
  if (IsCheckedLinked()) item_->SetChecked(value);
}
void TMenuActionLink::SetEnabled(bool value) {
  if (IsEnabledLinked()) item_->SetEnabled(value);
}
void TMenuActionLink::SetHelpContext(int value) {
  if (IsHelpContextLinked()) item_->SetHelpContext(value);
}
void TMenuActionLink::SetHint(const String& value) {
  if (IsHintLinked()) item_->SetHint(value);
}
void TMenuActionLink::SetImageIndex(int value) {
  if (IsImageIndexLinked()) item_->SetImageIndex(value);
}
void TMenuActionLink::SetShortCut(TShortCut value) {
  if (IsShortCutLinked()) item_->SetShortCut(value);
}
void TMenuActionLink::SetVisible(bool value) {
  if (IsVisibleLinked()) item_->SetVisible(value);
}

// ---------------------------------------------------------------- TMenuItem

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) { command_ = AllocateCommand(this); }

TMenuItem::~TMenuItem() {
  // The entry leaves the parent's HMENU before this item's sub-menu goes
  // (DestroyMenu of the parent's would free it a second time).
  if (parent_) {
    TMenuItem* p = parent_;
    p->items_.erase(std::remove(p->items_.begin(), p->items_.end(), this), p->items_.end());
    parent_ = nullptr;
    if (p->handle_)
      for (int pos = GetMenuItemCount(p->handle_) - 1; pos >= 0; --pos)
        if (GetMenuItemID(p->handle_, pos) == command_ || (handle_ && GetSubMenu(p->handle_, pos) == handle_))
          RemoveMenu(p->handle_, static_cast<UINT>(pos), MF_BYPOSITION);
    // A parent going as well needs no new layout. A failure to lay the
    // rest out again cannot leave a destructor: it is reported later.
    if (!p->IsDestroying()) CallGuarded([&] { p->MenuChanged(true); });
  }
  // Each sub-item takes itself out when freed.
  for (size_t n = items_.size(); n > 0 && !items_.empty(); --n) items_.back()->Free();
  delete actionLink_;
  actionLink_ = nullptr;
  // Entries left in the HMENU are foreign ones (the shell's); they go with it.
  if (handle_) DestroyMenu(handle_);
  handle_ = nullptr;
  CommandItems().erase(command_);
}

void TMenuItem::SetCaption(const String& value) {
  if (value == caption_) return;
  caption_ = value;
  MenuChanged(false);
}

void TMenuItem::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  if (checked_ && radioItem_) TurnSiblingsOff();
  MenuChanged(false);
}

void TMenuItem::SetRadioItem(bool value) {
  if (value == radioItem_) return;
  radioItem_ = value;
  if (checked_ && radioItem_) TurnSiblingsOff();
  MenuChanged(false);
}

void TMenuItem::SetGroupIndex(int value) {
  if (value == groupIndex_) return;
  groupIndex_ = value;
  if (checked_ && radioItem_) TurnSiblingsOff();
}

void TMenuItem::SetDefault(bool value) {
  if (value == default_) return;
  // One default among the siblings.
  if (value && parent_)
    for (TMenuItem* s : parent_->items_)
      if (s != this) s->default_ = false;
  default_ = value;
  MenuChanged(false);
}

void TMenuItem::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  MenuChanged(false);
}

void TMenuItem::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  MenuChanged(false);
}

void TMenuItem::SetBreak(TMenuBreak value) {
  if (value == break_) return;
  break_ = value;
  MenuChanged(false);
}

void TMenuItem::SetShortCut(TShortCut value) {
  if (value == shortCut_) return;
  shortCut_ = value;
  MenuChanged(false);
}

void TMenuItem::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  MenuChanged(false);
}

void TMenuItem::TurnSiblingsOff() {
  if (!parent_) return;
  for (TMenuItem* s : parent_->items_)
    if (s != this && s->radioItem_ && s->groupIndex_ == groupIndex_ && s->checked_) {
      s->checked_ = false;
      s->MenuChanged(false);
    }
}

TBasicAction* TMenuItem::Action() const { return actionLink_ ? actionLink_->Action() : nullptr; }

void TMenuItem::SetAction(TBasicAction* value) {
  if (!value) {
    delete actionLink_;
    actionLink_ = nullptr;
    return;
  }
  if (!actionLink_) actionLink_ = CreateActionLink();
  actionLink_->SetAction(value);
  DoActionChange(value);
}

TMenuActionLink* TMenuItem::CreateActionLink() { return new TMenuActionLink(this); }

void TMenuItem::DoActionChange(TObject* sender) {
  // A new action: the item takes every property it shows.
  auto* action = dynamic_cast<TBasicAction*>(sender);
  if (!action || action != Action()) return;
  if (auto* a = dynamic_cast<TCustomAction*>(action)) {
    SetCaption(a->Caption());
    SetChecked(a->Checked());
    SetEnabled(a->Enabled());
    SetHelpContext(a->HelpContext());
    SetHint(a->Hint());
    SetImageIndex(a->ImageIndex());
    SetShortCut(a->ShortCut());
    SetVisible(a->Visible());
  }
  OnClick = action->OnExecute;
}

void TMenuItem::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && actionLink_ && component == actionLink_->Action()) SetAction(nullptr);
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError("Menu index out of range");
  return items_[static_cast<size_t>(index)];
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item) throw EListError("Cannot insert a nil menu item");
  if (item->parent_) throw EListError("Menu inserted twice");
  if (item->menu_) throw EListError("The items of a menu cannot be a sub-menu");
  for (TMenuItem* p = this; p; p = p->parent_)
    if (p == item) throw EListError("A menu item cannot contain itself");
  if (index < 0 || index > Count()) throw EListError("Menu index out of range");
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  if (item->checked_ && item->radioItem_) item->TurnSiblingsOff();
  MenuChanged(true);
}

void TMenuItem::Remove(TMenuItem* item) {
  int i = IndexOf(item);
  if (i < 0) throw EListError("Sub-menu is not in menu");
  items_.erase(items_.begin() + i);
  item->parent_ = nullptr;
  MenuChanged(true);
}

void TMenuItem::Delete(int index) { Items(index)->Free(); }

void TMenuItem::Clear() {
  for (int i = Count() - 1; i >= 0; --i)
    if (i < Count()) Delete(i);
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TMenuItem::SetMenuIndex(int value) {
  if (!parent_) return;
  TMenuItem* p = parent_;
  value = std::clamp(value, 0, p->Count() - 1);
  int now = p->IndexOf(this);
  if (value == now) return;
  p->items_.erase(p->items_.begin() + now);
  p->items_.insert(p->items_.begin() + value, this);
  p->MenuChanged(true);
}

TMenuItem* TMenuItem::Find(const String& caption) const {
  String wanted = StripHotkey(caption);
  for (TMenuItem* c : items_)
    if (AnsiSameText(StripHotkey(c->caption_), wanted)) return c;
  return nullptr;
}

HMENU TMenuItem::Handle() {
  if (!handle_) {
    bool bar = !parent_ && dynamic_cast<TMainMenu*>(menu_) != nullptr;
    handle_ = bar ? CreateMenu() : CreatePopupMenu();
    if (!handle_) throw EOutOfResources("Cannot create a menu");
    RebuildHandle();
  }
  return handle_;
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* root = this;
  while (root->parent_) root = root->parent_;
  return root->menu_;
}

void TMenuItem::MenuChanged(bool rebuild) {
  if (rebuild) RebuildHandle();
  if (parent_) parent_->RebuildHandle();
}

void TMenuItem::AppendTo(HMENU menu) { InsertEntry(menu, GetMenuItemCount(menu), this); }

// Brings the HMENU in line with the visible sub-items, in place: entries
// stay where they are and are updated, missing ones are inserted next to
// their neighbours, and the entries of items that left or hid are taken
// out. Entries someone else put in (the shell's) stay untouched.
void TMenuItem::RebuildHandle() {
  if (!handle_) return;
  HMENU h = handle_;
  auto ownAt = [&](int pos) -> TMenuItem* {
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_ID | MIIM_SUBMENU;
    if (!GetMenuItemInfoA(h, static_cast<UINT>(pos), TRUE, &mii)) return nullptr;
    TMenuItem* item = CommandItem(mii.wID);
    // A foreign sub-menu whose handle happens to read as one of our ids.
    if (!item || (mii.hSubMenu && mii.hSubMenu != item->handle_)) return nullptr;
    return item;
  };
  auto find = [&](TMenuItem* item) {
    for (int pos = 0, n = GetMenuItemCount(h); pos < n; ++pos)
      if (ownAt(pos) == item) return pos;
    return -1;
  };

  for (int pos = GetMenuItemCount(h) - 1; pos >= 0; --pos) {
    TMenuItem* item = ownAt(pos);
    if (item && (item->parent_ != this || !item->visible_)) RemoveMenu(h, static_cast<UINT>(pos), MF_BYPOSITION);
  }

  std::vector<TMenuItem*> wanted;
  for (TMenuItem* c : items_)
    if (c->visible_) wanted.push_back(c);
  int pos = 0;
  for (size_t i = 0; i < wanted.size(); ++i) {
    TMenuItem* c = wanted[i];
    int at = find(c);
    if (at >= 0 && at < pos) {
      // Moved before an item placed already.
      RemoveMenu(h, static_cast<UINT>(at), MF_BYPOSITION);
      --pos;
      at = -1;
    }
    if (at < 0) {
      // Just before the next item that has its entry, else after the last.
      at = pos;
      for (size_t j = i + 1; j < wanted.size(); ++j) {
        int next = find(wanted[j]);
        if (next >= pos) {
          at = next;
          break;
        }
      }
      InsertEntry(h, at, c);
    } else {
      UpdateEntry(h, at, c);
    }
    pos = at + 1;
  }
  for (TMenuItem* c : wanted)
    if (c->default_) {
      SetMenuDefaultItem(h, c->command_, FALSE);
      break;
    }
}

void TMenuItem::Click() {
  if (!enabled_) return;
  TBasicAction* action = Action();
  auto* custom = dynamic_cast<TCustomAction*>(action);
  if (autoCheck_ && !(custom && custom->AutoCheck())) SetChecked(radioItem_ ? true : !checked_);
  // The handler may free this item: nothing of it is used afterwards.
  if (OnClick && (!action || OnClick != action->OnExecute)) {
    TNotifyEvent handler = OnClick;
    handler(this);
  } else if (action) {
    // A link of the call's own, since the item's goes when the item does.
    TBasicActionLink link(this);
    link.SetAction(action);
    link.Execute(this);
  }
}

void TMenuItem::InitiateAction() {
  UINT command = command_;
  if (actionLink_) actionLink_->Update();
  if (CommandItem(command) != this) return;
  TBasicAction* action = Action();
  if (items_.size() && OnClick && (!action || OnClick != action->OnExecute)) {
    TNotifyEvent handler = OnClick;
    handler(this);
    if (CommandItem(command) != this) return;
  }
  std::vector<TMenuItem*> subs = items_;
  for (TMenuItem* c : subs) {
    if (CommandItem(command) != this) return;
    if (IndexOf(c) >= 0 && c->actionLink_) c->actionLink_->Update();
  }
}

// ---------------------------------------------------------------- TMenu

TMenu::TMenu(TComponent* owner) : TComponent(owner) {
  items_ = new TMenuItem(this);
  items_->menu_ = this;
  AllMenus().push_back(this);
}

TMenu::~TMenu() {
  auto& v = AllMenus();
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
  TMenuItem* root = items_;
  items_ = nullptr;
  root->menu_ = nullptr;
  root->Free();
}

HMENU TMenu::Handle() { return items_->Handle(); }

void TMenu::SetImages(TCustomImageList* value) {
  if (value == images_) return;
  images_ = value;
  std::function<void(TMenuItem*)> refresh = [&](TMenuItem* item) {
    item->RebuildHandle();
    for (TMenuItem* c : item->items_) refresh(c);
  };
  refresh(items_);
}

void TMenu::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && images_ && component == reinterpret_cast<TComponent*>(images_)) SetImages(nullptr);
}

TMenuItem* TMenu::FindItem(UINT_PTR value, TFindItemKind kind) const {
  if (kind == fkShortCut && value == 0) return nullptr;
  std::function<TMenuItem*(TMenuItem*)> walk = [&](TMenuItem* item) -> TMenuItem* {
    bool match = false;
    switch (kind) {
      case fkCommand:
        match = item->command_ == value;
        break;
      case fkHandle:
        match = item->handle_ && reinterpret_cast<UINT_PTR>(item->handle_) == value;
        break;
      case fkShortCut:
        match = item->shortCut_ == value;
        break;
    }
    if (match) return item;
    for (TMenuItem* c : item->items_)
      if (TMenuItem* found = walk(c)) return found;
    return nullptr;
  };
  if (kind == fkHandle) return walk(items_);
  for (TMenuItem* c : items_->items_)
    if (TMenuItem* found = walk(c)) return found;
  return nullptr;
}

bool TMenu::IsShortCut(WORD key, TShiftState shift) {
  TShortCut sc = ::ShortCut(key, shift);
  if (sc == 0) return false;
  std::vector<TMenuItem*> found;
  std::function<void(TMenuItem*)> collect = [&](TMenuItem* item) {
    for (TMenuItem* c : item->items_) {
      if (c->shortCut_ == sc) found.push_back(c);
      collect(c);
    }
  };
  collect(items_);
  for (TMenuItem* item : found) {
    UINT command = item->command_;
    if (CommandItem(command) != item) continue;
    if (item->actionLink_) item->actionLink_->Update();
    // The update may have freed the item or given it another shortcut.
    if (CommandItem(command) != item || item->shortCut_ != sc || item->GetParentMenu() != this) continue;
    bool enabled = true;
    for (TMenuItem* p = item; p->parent_; p = p->parent_) enabled = enabled && p->enabled_;
    if (!enabled) continue;
    item->Click();
    return true;
  }
  return false;
}

bool TMenu::DispatchCommand(UINT command) {
  TMenuItem* item = CommandItem(command);
  if (!item || item->GetParentMenu() != this) return false;
  item->Click();
  return true;
}

bool TMenu::DispatchPopup(HMENU menu) {
  TMenuItem* item = FindItem(reinterpret_cast<UINT_PTR>(menu), fkHandle);
  if (!item) return false;
  item->InitiateAction();
  return true;
}

TMenuItem* TMenu::FindCommand(UINT command) {
  TMenuItem* item = CommandItem(command);
  return item && item->GetParentMenu() ? item : nullptr;
}

// ---------------------------------------------------------------- TMainMenu

HMENU TMainMenu::Handle() { return TMenu::Handle(); }

// ---------------------------------------------------------------- TPopupMenu

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

TPopupMenu::~TPopupMenu() { SetPopupComponent(nullptr); }

void TPopupMenu::SetPopupComponent(TComponent* value) {
  if (value == popupComponent_) return;
  if (popupComponent_) popupComponent_->RemoveFreeNotification(this);
  popupComponent_ = value;
  if (value) value->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
  TMenu::Notification(component, operation);
  if (operation == opRemove && component == popupComponent_) popupComponent_ = nullptr;
}

void TPopupMenu::DoPopup(TObject* sender) {
  if (OnPopup) {
    TNotifyEvent handler = OnPopup;
    handler(sender);
  }
}

void TPopupMenu::Popup(int x, int y) {
  popupPoint_ = TPoint(x, y);
  // Built before OnPopup, whose handler may add entries of its own to the
  // HMENU; nothing later rebuilds it from scratch.
  Handle();
  DoPopup(this);
  HMENU menu = Handle();
  UINT flags = TPM_RETURNCMD;
  switch (alignment_) {
    case paLeft:
      flags |= TPM_LEFTALIGN;
      break;
    case paRight:
      flags |= TPM_RIGHTALIGN;
      break;
    case paCenter:
      flags |= TPM_CENTERALIGN;
      break;
  }
  flags |= trackButton_ == tbLeftButton ? TPM_LEFTBUTTON : TPM_RIGHTBUTTON;
  HWND owner = PopupListWindow();
  // The choice comes back once the menu's loop has ended: its handler runs
  // outside that loop.
  auto command = static_cast<UINT>(TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr));
  if (command == 0) return;
  if (DispatchCommand(command)) return;
  // A foreign entry: its owner hears of it through the hook.
  SendMessageA(owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}
