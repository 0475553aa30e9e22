// The toolbars list, the MRU list and the in-place sub item.
#include "Dxbarlists.h"

#include <algorithm>
#include <vector>

DX_BAR_ITEM_CLASS_IMPL(TdxBarToolbarsListItem)
DX_BAR_ITEM_CLASS_IMPL(TdxBarMRUListItem)
DX_BAR_ITEM_CLASS_IMPL(TdxBarInPlaceSubItem)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarToolbarsListItemControl)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarInPlaceSubItemControl)

namespace {

bool InMenu(const TdxBarItemControl* c) { return dynamic_cast<TdxBarSubMenuControl*>(c->Parent()) != nullptr; }

int TextWidth(TCustomdxBarControl* bar, const String& s) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bar->Canvas()->Font()->Handle());
  SIZE size{};
  GetTextExtentPoint32A(dc, s.c_str(), static_cast<int>(s.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size.cx;
}

}  // namespace

// ---------------------------------------------------------------- toolbars list

void TdxBarToolbarsListItemControl::CreateSubMenuControl() {
  TdxBarManager* m = BarManager();
  TCustomdxBarSubItem* sub = SubItem();
  if (!m || !sub || m->IsCustomizing()) return;
  ClearInternalItemList();
  sub->ItemLinks()->Clear();
  m->CreateToolbarsPopupList(sub->ItemLinks());
  TdxBarSubItemControl::CreateSubMenuControl();
}

// ---------------------------------------------------------------- MRU list

void dxBarMRUCut(TStrings* items, int max) {
  if (max <= 0) return;
  while (items->Count() > max) items->Delete(items->Count() - 1);
}

void dxBarMRUAdd(TStrings* items, const String& s, TObject* obj, int max) {
  int i = items->IndexOf(s);
  if (i < 0 && obj) i = items->IndexOfObject(obj);
  if (i >= 0) {
    items->Move(i, 0);
    return;
  }
  items->InsertObject(0, s, obj);
  dxBarMRUCut(items, max);
}

String dxBarMRUDisplayText(const String& s) {
  // DT_MODIFYSTRING writes the shortened text over the buffer, at most four
  // characters longer than the text (the ellipsis and the end).
  std::vector<char> buffer(s.size() + 5, '\0');
  std::copy(s.begin(), s.end(), buffer.begin());
  HDC dc = GetDC(nullptr);
  RECT r{0, 0, 300, 100};
  DrawTextA(dc, buffer.data(), static_cast<int>(s.size()), &r,
            DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT | DT_PATH_ELLIPSIS | DT_MODIFYSTRING);
  ReleaseDC(nullptr, dc);
  buffer.back() = '\0';
  return String(buffer.data());
}

void TdxBarMRUListItem::SetMaxItemCount(int value) {
  if (value < 0) value = 0;
  if (value == maxItemCount_) return;
  maxItemCount_ = value;
  CheckItemCount();
}

void TdxBarMRUListItem::AddItem(const String& s, TObject* obj) { dxBarMRUAdd(Items(), s, obj, maxItemCount_); }

void TdxBarMRUListItem::RemoveItem(const String& s, TObject* obj) {
  int i = !s.empty() ? Items()->IndexOf(s) : Items()->IndexOfObject(obj);
  if (i >= 0) Items()->Delete(i);
}

String TdxBarMRUListItem::GetDisplayText(const String& text) const { return dxBarMRUDisplayText(text); }

void TdxBarMRUListItem::DirectClick() {
  if (CurItemLink()) {
    TdxBarListItem::DirectClick();
    return;
  }
  // The handler may move the clicked entry (adding the file it opens) or
  // clear the list: the entry is taken by its text first.
  int index = ItemIndex();
  bool entry = index >= 0 && index < Items()->Count();
  String clicked = entry ? Items()->Get(index) : String();
  TdxBarListItem::DirectClick();
  TdxBarManager* m = BarManager();
  if (!entry || !removeItemOnClick_ || (m && m->IsCustomizing())) return;
  RemoveItem(clicked, nullptr);
  SetItemIndex(-1);
}

// ---------------------------------------------------------------- in-place sub item

void TdxBarInPlaceSubItem::AddListedItemLinks(TdxBarItemLinks* target, int index, bool first,
                                              TdxBarItemLink* ownLink) {
  if (expanded_) TdxBarContainerItem::AddListedItemLinks(target, index, first, ownLink);
}

void TdxBarInPlaceSubItem::DeleteListedItemLinks(TdxBarItemLinks* target, int index) {
  // The unfolded links are there while expanded, and still while a
  // collapse rebuilds the menus.
  if (expanded_ != refreshing_) TdxBarContainerItem::DeleteListedItemLinks(target, index);
}

void TdxBarInPlaceSubItem::SetExpanded(bool value) {
  if (value == expanded_) return;
  if (!value)
    for (int i = 0; i < LinkCount(); ++i) DoBeforeCollapse(Links(i));
  expanded_ = value;
  if (!IsLoading()) {
    // Each menu showing the item once; rebuilding one frees its controls.
    std::vector<TdxBarControlRef> menus;
    for (int i = 0; i < LinkCount(); ++i) {
      TdxBarItemControl* c = Links(i)->Control();
      auto* menu = c ? dynamic_cast<TdxBarSubMenuControl*>(c->Parent()) : nullptr;
      if (menu && std::none_of(menus.begin(), menus.end(), [&](const TdxBarControlRef& r) { return r.Control() == menu; }))
        menus.emplace_back(menu);
    }
    refreshing_ = true;
    try {
      for (const TdxBarControlRef& r : menus)
        if (BarControlExists(r)) r.Control()->RepaintBar();
    } catch (...) {
      refreshing_ = false;
      throw;
    }
    refreshing_ = false;
  }
  if (value)
    for (int i = 0; i < LinkCount(); ++i) DoAfterExpand(Links(i));
}

void TdxBarInPlaceSubItem::DoAfterExpand(TdxBarItemLink* link) {
  if (OnAfterExpand) OnAfterExpand(this, link);
  ChangeNextItemLinkBeginGroup(link, true);
}

void TdxBarInPlaceSubItem::DoBeforeCollapse(TdxBarItemLink* link) {
  if (OnBeforeCollapse) OnBeforeCollapse(this, link);
  ChangeNextItemLinkBeginGroup(link, false);
}

void TdxBarInPlaceSubItem::ChangeNextItemLinkBeginGroup(TdxBarItemLink* link, bool value) {
  if (!keepBeginGroupWhileExpanded_ || !link) return;
  TdxBarItemLinks* links = link->Owner();
  TCustomdxBarControl* bar = links ? links->BarControl() : nullptr;
  if (!bar || dynamic_cast<TdxBarControl*>(bar)) return;
  int index = link->VisibleIndex();
  if (index < 0) return;
  ++index;
  TdxBarManager* m = BarManager();
  if (!(m && m->IsDesigning())) index += ItemLinks()->CanVisibleItemCount();
  if (index < links->VisibleItemCount()) links->VisibleItems(index)->SetBeginGroup(value);
}

// ---------------------------------------------------------------- in-place sub item control

bool TdxBarInPlaceSubItemControl::HasSubMenu() { return !InMenu(this); }

bool TdxBarInPlaceSubItemControl::IsExpandable() {
  return InMenu(this) ? false : TdxBarContainerItemControl::IsExpandable();
}

bool TdxBarInPlaceSubItemControl::WantsKey(WORD key) {
  if (!InMenu(this)) return TdxBarContainerItemControl::WantsKey(key);
  TdxBarInPlaceSubItem* item = InPlaceSubItem();
  bool expanded = item && item->Expanded();
  return (key == VK_LEFT && expanded) || (key == VK_RIGHT && !expanded);
}

void TdxBarInPlaceSubItemControl::KeyDown(WORD key) {
  if (!InMenu(this)) {
    TdxBarContainerItemControl::KeyDown(key);
    return;
  }
  if (key == VK_LEFT || key == VK_RIGHT) ControlClick(false);
}

void TdxBarInPlaceSubItemControl::DblClick() {
  if (GetEnabled()) ControlClick(true);
}

int TdxBarInPlaceSubItemControl::GetDefaultHeight() {
  return TdxBarContainerItemControl::GetDefaultHeight() + (InMenu(this) ? 1 : 0);
}

int TdxBarInPlaceSubItemControl::GetDefaultWidth() {
  if (!InMenu(this)) return TdxBarContainerItemControl::GetDefaultWidth();
  return TextWidth(parent_, GetTextOf(GetCaption())) + 5 + parent_->TextSize();
}

void TdxBarInPlaceSubItemControl::ControlClick(bool byMouse) {
  std::shared_ptr<const bool> alive = Alive();
  TdxBarContainerItemControl::ControlClick(byMouse);
  if (!*alive || !InMenu(this)) return;
  // Toggling rebuilds the menu and frees this control: from here on only
  // locals, and the menu once it is known to exist.
  TCustomdxBarControl* menu = parent_;
  TdxBarControlRef menuRef(menu);
  TdxBarItemLink* link = link_;
  TdxBarItemLinks* links = link->Owner();
  TdxBarInPlaceSubItem* item = InPlaceSubItem();
  if (!item) return;
  int position = menu->SelectedControl() == this ? links->VisibleIndexOf(link) : -1;
  item->DirectClick();
  if (!BarControlExists(menuRef) || menu->ItemLinks() != links || links->IndexOf(link) < 0) return;
  item->SetExpanded(!item->Expanded());
  if (position < 0 || !BarControlExists(menuRef)) return;
  if (position < links->VisibleItemCount() && links->VisibleItems(position) == link && link->Control())
    menu->SetSelectedItem(link->Control());
}

void TdxBarInPlaceSubItemControl::Paint(const TRect& r, TdxBarPaintType paintType) {
  if (paintType != ptMenu) {
    TdxBarContainerItemControl::Paint(r, paintType);
    return;
  }
  if (r.Empty()) return;
  HDC dc = CanvasHandle();
  bool flat = Flat();
  bool selected = DrawSelected();
  RECT bottom{r.left, r.bottom - 1, r.right, r.bottom};
  FillRect(dc, &bottom, parent_->GetToolbarBrush());
  TRect row(r.left, r.top, r.right, r.bottom - 1);
  HBRUSH shadow = GetSysColorBrush(COLOR_BTNSHADOW);
  HBRUSH brush = selected ? parent_->GetToolbarSelBrush() : shadow;
  if (flat) {
    if (selected)
      FrameFlatSelRect(dc, row);
    else
      FrameRect(dc, &row, shadow);
    row = TRect(row.left + 1, row.top + 1, row.right - 1, row.bottom - 1);
  }
  FillRect(dc, &row, brush);
  TRect text(row.left + 5, row.top, row.right, row.bottom);
  DrawItemText(dc, GetCaption(), text, 0, true, true, false, false, flat && selected);
  if (!GetEnabled()) return;
  TdxBarInPlaceSubItem* item = InPlaceSubItem();
  bool expanded = item && item->Expanded();
  int arrow = parent_->ArrowSize();
  TRect a(row.right - parent_->TextSize() + (expanded ? 0 : arrow), row.top, row.right, row.bottom);
  DrawLargeItemArrow(dc, a, expanded ? atDown : atRight, arrow, !(flat && selected), true, flat);
}
