// The controls of buttons, sub items and list and container items: their
// sizes, painting, check toggle and split drop-down, and the opening and
// closing of sub item menus with the one program-wide 400 ms timer.
#include <algorithm>

#include "Dxbarcontrols.h"

DX_BAR_CONTROL_CLASS_IMPL(TdxBarButtonControl)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarSubItemControl)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarContainerItemControl)

namespace {

bool InMenu(const TdxBarItemControl* c) { return dynamic_cast<TdxBarSubMenuControl*>(c->Parent()) != nullptr; }
TdxBarControl* Toolbar(const TdxBarItemControl* c) { return dynamic_cast<TdxBarControl*>(c->Parent()); }
bool OnVerticalBar(const TdxBarItemControl* c) { return IsToolbarControlVertical(c->Parent()); }

int TextWidth(TCustomdxBarControl* bar, const String& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bar->Canvas()->Font()->Handle());
  SIZE s{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &s);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return s.cx;
}

// The pending sub item control and its timer: one open or close at a time
// for the whole program.
TdxBarSubItemControl* gPending = nullptr;
UINT_PTR gPendingTimer = 0;
bool gPendingOpens = false;

void KillPending() {
  if (gPendingTimer) dxBarSystem()->KillTimer(gPendingTimer);
  gPendingTimer = 0;
  gPending = nullptr;
}

void CALLBACK PendingTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  CallGuarded([&] {
    TdxBarSubItemControl* control = gPending;
    bool opens = gPendingOpens;
    KillPending();
    if (!control) return;
    if (opens)
      control->ControlActivate(true);
    else
      control->ControlInactivate(true);
  });
}

void ArmPending(TdxBarSubItemControl* control, bool opens) {
  KillPending();
  gPending = control;
  gPendingOpens = opens;
  gPendingTimer = dxBarSystem()->SetTimer(400, PendingTimerProc);
}

}  // namespace

TdxBarSubItemControl* dxBarPendingSubItemControl() { return gPending; }

// ---------------------------------------------------------------- button: values

TdxBarButton* TdxBarButtonControl::Button() const { return dynamic_cast<TdxBarButton*>(Item()); }

TdxBarPaintStyle TdxBarButtonControl::PaintStyle() const { return link_ ? link_->PaintStyle() : psStandard; }

TdxBarPaintStyle TdxBarButtonControl::EffectivePaintStyle() {
  TdxBarPaintStyle ps = PaintStyle();
  if (!InMenu(this) && ps == psStandard && !ImageExists()) return psCaption;
  return ps;
}

TCustomdxBarControl* TdxBarButtonControl::GetDropDownMenuControl() {
  TdxBarButton* b = Button();
  return b && b->DropDownMenu() ? b->DropDownMenu()->SubMenuControl() : nullptr;
}

TCustomdxBarControl* TdxBarButtonControl::GetOwnedBarControl() { return GetDropDownMenuControl(); }

bool TdxBarButtonControl::GetDroppedDownFlat() { return Flat() && DroppedDown && GetDropDownMenuControl(); }

int TdxBarButtonControl::ArrowWidth() {
  if (InMenu(this)) return parent_->SubMenuArrowSize();
  TdxBarManager* m = BarManager();
  return m ? m->RealButtonArrowWidth() : 11;
}

bool TdxBarButtonControl::MouseOverArrow() {
  TdxBarButton* b = Button();
  if (!b || b->ButtonStyle() != bsDropDown || !parent_ || !parent_->HandleAllocated()) return false;
  TPoint p = parent_->ScreenToClient(dxBarSystem()->GetCursorPos());
  TRect r = parent_->GetItemRect(this);
  r.left = r.right - ArrowWidth();
  return r.Contains(p);
}

bool TdxBarButtonControl::ArrowPressed() { return MousePressed() && MouseOverArrow(); }

bool TdxBarButtonControl::DrawSelected() {
  return (TdxBarItemControl::DrawSelected() && !(parent_ && parent_->GetIsCustomizing())) || pressed_;
}

bool TdxBarButtonControl::IsFlatTextSelected(bool pressed) {
  TdxBarButton* b = Button();
  return Flat() && (pressed || (b && b->Down() && DrawSelected()));
}

bool TdxBarButtonControl::IsDestroyOnClick() {
  if (!InMenu(this)) return true;
  TdxBarButton* b = Button();
  return !b || b->CloseSubMenuOnClick();
}

bool TdxBarButtonControl::WantsKey(WORD key) {
  TdxBarButton* b = Button();
  if (!b || b->ButtonStyle() != bsDropDown) return false;
  if (InMenu(this)) return key == VK_RIGHT;
  return key == VK_UP || key == VK_DOWN;
}

void TdxBarButtonControl::KeyDown(WORD key) {
  if (key >= VK_UP && key <= VK_DOWN) DoDropDown(false);
}

// ---------------------------------------------------------------- button: notifications

void TdxBarButtonControl::ButtonStyleChanged() {
  if (parent_) parent_->RepaintBar();
}

void TdxBarButtonControl::DownChanged() { Repaint(); }
void TdxBarButtonControl::DropDownEnabledChanged() { Repaint(); }

void TdxBarButtonControl::PaintStyleChanged() {
  if (parent_) parent_->RepaintBar();
}

void TdxBarButtonControl::GlyphChanged() {
  // A glyph can switch a standard button between glyph and caption.
  if (PaintStyle() != psStandard)
    Repaint();
  else if (parent_)
    parent_->RepaintBar();
}

// ---------------------------------------------------------------- button: sizes

int TdxBarButtonControl::GetDefaultHeight() {
  TdxBarManager* m = BarManager();
  int h;
  if (InMenu(this)) {
    h = parent_->TextSize() + (Flat() ? 2 : 0);
  } else {
    switch (EffectivePaintStyle()) {
      case psCaption:
      case psCaptionGlyph:
        h = std::max(parent_->TextSize(), OnVerticalBar(this) ? m->ButtonWidth() : m->ButtonHeight());
        break;
      default:
        h = m->ButtonHeight();
        break;
    }
  }
  TdxBarButton* b = Button();
  return h + (b && b->Lowered() ? 2 : 0);
}

int TdxBarButtonControl::GetDefaultWidth() {
  TdxBarManager* m = BarManager();
  int caption = TextWidth(parent_, GetTextOf(GetCaption()));
  int w;
  if (InMenu(this)) {
    int ts = parent_->TextSize();
    w = caption + (2 * ts + 3) + 3;
    if (TShortCut sc = GetShortCut()) w += TextWidth(parent_, ShortCutToText(sc)) + (ts - 6);
    if (Flat()) w += 9;
  } else {
    switch (EffectivePaintStyle()) {
      case psCaption:
        w = caption + parent_->Canvas()->Font()->Size();
        break;
      case psCaptionGlyph:
        w = caption + (OnVerticalBar(this) ? m->ButtonHeight() : m->ButtonWidth()) + 4;
        break;
      default:
        w = m->ButtonWidth();
        break;
    }
  }
  TdxBarButton* b = Button();
  return w + (b && b->Lowered() ? 2 : 0);
}

int TdxBarButtonControl::GetWidth() {
  TdxBarPaintStyle ps = EffectivePaintStyle();
  bool swap = OnVerticalBar(this) && (ps == psCaption || ps == psCaptionGlyph);
  int w = swap ? GetDefaultHeight() : GetDefaultWidth();
  TdxBarButton* b = Button();
  if (!InMenu(this) && b && b->ButtonStyle() == bsDropDown) w += ArrowWidth();
  return w;
}

int TdxBarButtonControl::GetHeight() {
  TdxBarPaintStyle ps = EffectivePaintStyle();
  bool swap = OnVerticalBar(this) && (ps == psCaption || ps == psCaptionGlyph);
  return swap ? GetDefaultWidth() : GetDefaultHeight();
}

// ---------------------------------------------------------------- button: painting

void TdxBarButtonControl::Paint(const TRect& rect, TdxBarPaintType paintType) {
  if (rect.Empty()) return;
  TdxBarButton* b = Button();
  TdxBarButtonStyle style = b ? b->ButtonStyle() : bsDefault;
  bool down = b && b->Down();
  HDC dc = CanvasHandle();
  TRect r = rect;
  if (b && b->Lowered()) DrawLowered(dc, r);
  bool selected = DrawSelected();
  if (paintType == ptMenu) {
    TdxBarPaintStyle ps = PaintStyle();
    DrawGlyphAndTextInSubMenu(dc, r, selected, !(ps == psCaption || ps == psCaptionInMenu), down);
    if (TShortCut sc = GetShortCut()) {
      TRect t = r;
      t.right -= r.Height() + 5;
      DrawItemText(dc, ShortCutToText(sc), t, 2, GetEnabled(), selected, false, false, Flat());
    }
    if (style == bsDropDown) DrawArrow(r, selected, paintType);
    return;
  }
  TRect glyph = r;
  if (style == bsDropDown) glyph.right -= ArrowWidth();
  bool held = parent_->IsActive() || parent_->CapturedControl() == this;
  bool pressedLook = (selected && held && MousePressed() && !ArrowPressed() && !DroppedDown) ||
                     ((pressed_ || PressedMark) && style != bsChecked);
  TdxBarPaintStyle ps = EffectivePaintStyle();
  bool droppedFlat = GetDroppedDownFlat();
  DrawGlyph(glyph, droppedFlat ? &r : nullptr, paintType, ps == psCaption, selected, down || droppedFlat, pressedLook,
            false, false, style == bsDropDown);
  if (ps == psCaption || ps == psCaptionGlyph) {
    TdxBarManager* m = BarManager();
    int points = parent_->Canvas()->Font()->Size();
    TRect text = glyph;
    if (paintType == ptVert)
      text.top += ps == psCaption ? points / 2 : m->ButtonHeight();
    else
      text.left += ps == psCaption ? points / 2 : m->ButtonWidth();
    if (!Flat()) {
      int shift = (down ? 1 : 0) + (pressedLook ? 1 : 0);
      text = TRect(text.left + shift, text.top + shift, text.right + shift, text.bottom + shift);
    }
    bool flatSelected = IsFlatTextSelected(pressedLook);
    DrawItemText(dc, GetCaption(), text, 0, GetEnabled(), flatSelected, paintType == ptVert, false,
                 Flat() && !flatSelected);
  }
  if (style == bsDropDown) DrawArrow(r, selected, paintType);
}

void TdxBarButtonControl::DrawArrow(const TRect& r, bool selected, TdxBarPaintType paintType) {
  HDC dc = CanvasHandle();
  TRect a = r;
  a.left = r.right - ArrowWidth();
  int colorIndex;
  HBRUSH brush;
  GetArrowParams(paintType, DroppedDown, colorIndex, brush, selected);
  bool menu = paintType == ptMenu;
  bool flat = Flat();
  if (!flat) {
    FillRect(dc, &a, brush);
    if (selected) {
      TRect e = a;
      DrawEdge(dc, &e, DroppedDown ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    } else if (menu) {
      TRect e = a;
      DrawEdge(dc, &e, EDGE_ETCHED, BF_LEFT);
    }
  } else {
    if (!menu) --a.left;
    if (!GetDroppedDownFlat()) {
      if (selected)
        FrameFlatSelRect(dc, a);
      else if (menu)
        FrameRect(dc, &a, GetSysColorBrush(COLOR_BTNSHADOW));
      else
        FrameRect(dc, &a, parent_->ItemBrush() ? parent_->ItemBrush() : parent_->GetToolbarBrush());
      TRect inner = a;
      InflateRect(&inner, -1, -1);
      FillRect(dc, &inner, brush);
    }
  }
  TdxBarButton* b = Button();
  bool enabled = GetEnabled() && b && b->DropDownEnabled();
  bool light = colorIndex == COLOR_HIGHLIGHTTEXT;
  TRect at = a;
  bool shift = DroppedDown && !flat && (menu || a.Width() > 9);
  if (shift) at = TRect(at.left + 1, at.top + 1, at.right + 1, at.bottom + 1);
  if (menu)
    DrawLargeItemArrow(dc, at, atRight, parent_->ArrowSize(), light, enabled, flat);
  else
    DrawItemArrow(dc, at, atDown, enabled, light, flat);
}

// ---------------------------------------------------------------- button: click and drop-down

void TdxBarButtonControl::ControlClick(bool byMouse) {
  TdxBarButton* b = Button();
  if (b && b->ButtonStyle() == bsDropDown && ArrowPressed()) {
    DoDropDown(true);
    return;
  }
  if (Toolbar(this) || (b && b->ButtonStyle() == bsDropDown)) Repaint();
}

void TdxBarButtonControl::ControlUnclick(bool byMouse) {
  if (DroppedDown) return;
  std::shared_ptr<const bool> alive = alive_;
  TdxBarButton* b = Button();
  if (b && b->ButtonStyle() == bsChecked) b->SetDown(!b->Down());
  if (!*alive) return;
  ControlInactivate(true);
  if (!*alive) return;
  TdxBarItemControl::ControlUnclick(byMouse);
}

void TdxBarButtonControl::ControlInactivate(bool immediately) {
  TdxBarItemControl::ControlInactivate(immediately);
  TdxBarButton* b = Button();
  if (b && b->ButtonStyle() == bsDropDown && DroppedDown)
    if (auto* menu = dynamic_cast<TdxBarSubMenuControl*>(GetDropDownMenuControl())) menu->Hide();
}

void TdxBarButtonControl::DoDropDown(bool byMouse) {
  TdxBarButton* b = Button();
  if (DroppedDown || !GetEnabled() || !b || !b->DropDownEnabled() || !b->DropDownMenu() || !parent_) return;
  std::shared_ptr<const bool> alive = alive_;
  TdxBarControlRef parentRef(parent_);
  DroppedDown = true;
  if (!active_) ControlActivate(true);
  Repaint();
  TRect r = parent_->GetItemRect(this);
  TdxBarControl* toolbar = Toolbar(this);
  TPoint p;
  if (toolbar && !toolbar->Vertical()) {
    p = TPoint(r.left, r.bottom);
  } else {
    p = TPoint(r.right, r.top);
    if (!(Flat() && toolbar)) p.y -= Flat() ? 2 : 3;
  }
  p = parent_->ClientToScreen(p);
  b->DoDropDown(this, p.x, p.y, byMouse);
  if (*alive && BarControlExists(parentRef) && Flat()) Repaint();
}

void TdxBarButtonControl::DoCloseUp() {
  if (!DroppedDown) return;
  DroppedDown = false;
  if (TdxBarControl* toolbar = Toolbar(this)) toolbar->SetOpenMenu(false);
  Repaint();
}

// ---------------------------------------------------------------- sub item: values

TdxBarSubItemControl::~TdxBarSubItemControl() {
  if (gPending == this) KillPending();
  TCustomdxBarSubItem* sub = SubItem();
  if (TdxBarSubMenuControl* menu = GetSubMenuControl(); menu && sub && !sub->IsDestroying()) {
    if (menu->SubItemControl() == this) menu->SetSubItemControl(nullptr);
    menu->Hide();
  }
  active_ = false;
}

TCustomdxBarSubItem* TdxBarSubItemControl::SubItem() const { return dynamic_cast<TCustomdxBarSubItem*>(Item()); }

TdxBarSubMenuControl* TdxBarSubItemControl::GetSubMenuControl() {
  TCustomdxBarSubItem* sub = SubItem();
  return sub ? dynamic_cast<TdxBarSubMenuControl*>(sub->ItemLinks()->BarControl()) : nullptr;
}

TCustomdxBarControl* TdxBarSubItemControl::GetOwnedBarControl() { return GetSubMenuControl(); }

void TdxBarSubItemControl::CreateSubMenuControl() {
  if (TCustomdxBarSubItem* sub = SubItem()) sub->ItemLinks()->CreateBarControl();
}

bool TdxBarSubItemControl::SubMenuOpen() {
  TCustomdxBarControl* menu = GetSubMenuControl();
  return active_ && menu && menu->HandleAllocated() && IsWindowVisible(menu->Handle());
}

int TdxBarSubItemControl::GetCaptionOffset() {
  TdxBarControl* bar = Toolbar(this);
  if (Flat() && bar && bar->Bar() && bar->Bar()->IsMainMenu()) return 8;
  return -parent_->Canvas()->Font()->Height() / 2;
}

bool TdxBarSubItemControl::WantsKey(WORD key) {
  return TdxBarItemControl::WantsKey(key) || (key == VK_RIGHT && InMenu(this));
}

void TdxBarSubItemControl::KeyDown(WORD key) {
  if (key == VK_RIGHT) Click(false);
}

bool TdxBarSubItemControl::WantsDblClick() {
  TdxBarManager* m = BarManager();
  return TdxBarItemControl::WantsDblClick() && !(m && m->IsDesigning());
}

void TdxBarSubItemControl::GlyphChanged() {
  if (parent_) parent_->RepaintBar();
}

// ---------------------------------------------------------------- sub item: sizes

int TdxBarSubItemControl::GetDefaultHeight() {
  int ts = parent_->TextSize();
  if (InMenu(this)) return ts + (Flat() ? 2 : 0);
  TdxBarManager* m = BarManager();
  TCustomdxBarSubItem* sub = SubItem();
  bool caption = sub && sub->ShowCaption();
  int button = OnVerticalBar(this) ? m->ButtonWidth() : m->ButtonHeight();
  int h = ImageExists() || !caption ? button : 0;
  if (h != 0 && (!caption || h >= ts)) return h;
  return ts;
}

int TdxBarSubItemControl::GetDefaultWidth() {
  int ts = parent_->TextSize();
  int caption = TextWidth(parent_, GetTextOf(GetCaption()));
  if (InMenu(this)) return caption + 2 * ts + 3 + (Flat() ? 9 : 0);
  TdxBarManager* m = BarManager();
  TCustomdxBarSubItem* sub = SubItem();
  bool showCaption = sub && sub->ShowCaption();
  int w = showCaption ? caption : 0;
  if (!ImageExists() && showCaption) {
    w += 2 * GetCaptionOffset();
  } else {
    w += OnVerticalBar(this) ? m->ButtonHeight() : m->ButtonWidth();
    if (showCaption) w += 4;
  }
  TdxBarControl* bar = Toolbar(this);
  if (!(bar && bar->Bar() && bar->Bar()->IsMainMenu())) w += ts / 2;
  return w;
}

int TdxBarSubItemControl::GetWidth() { return OnVerticalBar(this) ? GetDefaultHeight() : GetDefaultWidth(); }
int TdxBarSubItemControl::GetHeight() { return OnVerticalBar(this) ? GetDefaultWidth() : GetDefaultHeight(); }

// ---------------------------------------------------------------- sub item: painting

void TdxBarSubItemControl::Paint(const TRect& r, TdxBarPaintType paintType) {
  if (r.Empty()) return;
  HDC dc = CanvasHandle();
  bool selected = DrawSelected();
  int ts = parent_->TextSize();
  if (paintType == ptMenu) {
    DrawGlyphAndTextInSubMenu(dc, r, selected, true, false);
    TRect arrow(r.right - ts, r.top, r.right, r.bottom);
    DrawLargeItemArrow(dc, arrow, atRight, parent_->ArrowSize(), selected && !Flat(), GetEnabled(), Flat());
    return;
  }
  bool open = active_ && GetSubMenuControl();
  DrawGlyph(r, nullptr, paintType, false, selected, open, false, false, false, true);
  TdxBarManager* m = BarManager();
  TCustomdxBarSubItem* sub = SubItem();
  bool showCaption = sub && sub->ShowCaption();
  bool vertical = paintType == ptVert;
  TRect text = r;
  int offset = !ImageExists() && showCaption ? GetCaptionOffset() : (vertical ? m->ButtonHeight() : m->ButtonWidth());
  if (vertical)
    text.top += offset;
  else
    text.left += offset;
  if (open && !Flat()) text = TRect(text.left + 1, text.top + 1, text.right + 1, text.bottom + 1);
  TdxBarControl* bar = Toolbar(this);
  bool mainMenu = bar && bar->Bar() && bar->Bar()->IsMainMenu();
  if (!mainMenu) {
    // The drop arrow's strip, half a text size at the far end.
    if (vertical)
      text.bottom -= ts / 2;
    else
      text.right -= ts / 2;
  }
  if (showCaption) DrawItemText(dc, GetCaption(), text, 0, GetEnabled(), false, vertical, false, Flat());
  if (mainMenu) return;
  TRect strip = vertical ? TRect(r.left, r.bottom - ts / 2 - 2, r.right, r.bottom - 2)
                         : TRect(r.right - ts / 2 - 2, r.top, r.right - 2, r.bottom);
  DrawLargeItemArrow(dc, strip, atDown, std::max(parent_->ArrowSize() - 1, 2), false, GetEnabled(), Flat());
}

// ---------------------------------------------------------------- sub item: opening and closing

void TdxBarSubItemControl::ControlActivate(bool immediately) {
  if (!HasSubMenu()) return;
  if (GetSubMenuControl()) {
    TCustomdxBarSubItem* sub = SubItem();
    TdxBarItemLink* cur = sub ? sub->CurItemLink() : nullptr;
    TdxBarItemControl* current = cur ? cur->Control() : nullptr;
    if (current && current != this) {
      current->ControlInactivate(true);
    } else {
      if (gPending == this) KillPending();
      return;
    }
  }
  TdxBarItemControl::ControlActivate(immediately);
  TdxBarManager* m = BarManager();
  bool designing = m && m->IsDesigning();
  if (!GetEnabled() && !designing) return;
  if (TdxBarControl* toolbar = Toolbar(this)) {
    if (!(toolbar->GetIsCustomizing() || toolbar->OpenMenu())) return;
    immediately = true;
  }
  bool customizing = m && m->IsCustomizing();
  if (!immediately && !customizing) {
    TdxBarSubItemControl* pending = gPending;
    KillPending();
    if (pending && pending != this && pending->Parent() != parent_->ParentBar()) pending->ControlInactivate(true);
    ArmPending(this, true);
    return;
  }
  OpenSubMenu();
}

void TdxBarSubItemControl::OpenSubMenu() {
  TCustomdxBarSubItem* sub = SubItem();
  if (!sub || !parent_) return;
  std::shared_ptr<const bool> alive = alive_;
  TdxBarControlRef parentRef(parent_);
  auto gone = [&] { return !*alive || !BarControlExists(parentRef) || !parent_->ItemExists(this); };
  sub->DoPopup();
  if (gone()) return;
  sub->DirectClick();
  if (gone() || GetSubMenuControl()) return;
  CreateSubMenuControl();
  TdxBarSubMenuControl* menu = GetSubMenuControl();
  if (!menu) return;
  TRect r = parent_->GetItemRect(this);
  TRect screen = parent_->GetItemScreenRect(this);
  menu->SetOwnerLinkBounds(screen);
  if (HasShadow()) menu->SetExclusionRect(screen);
  TPoint p;
  TdxBarControl* toolbar = Toolbar(this);
  if (!toolbar) {
    p = TPoint(r.right - menu->BorderSize(), r.top - menu->BorderSize());
    menu->SetOwnerWidth(r.Width());
  } else if (!toolbar->Vertical()) {
    p = TPoint(r.left, r.bottom);
    menu->SetOwnerHeight(r.Height());
  } else {
    p = TPoint(r.right, r.top);
    menu->SetOwnerWidth(r.Width());
  }
  p = parent_->ClientToScreen(p);
  menu->SetBounds(p.x, p.y, menu->Width(), menu->Height());
  parent_->SetChildBar(menu);
  menu->SetParentBar(parent_);
  menu->SetSubItemControl(this);
  if (toolbar) Repaint();
  DragOpen = false;
  menu->SetAnimate(true);
  menu->Show();
  if (!gone() && Flat()) Repaint();
}

void TdxBarSubItemControl::ControlInactivate(bool immediately) {
  if (!HasSubMenu()) return;
  if (Toolbar(this)) immediately = true;
  TdxBarManager* m = BarManager();
  bool customizing = m && m->IsCustomizing();
  if (!immediately && !gPending && parent_ && !parent_->Destroying() && !customizing) {
    ArmPending(this, false);
    return;
  }
  std::shared_ptr<const bool> alive = alive_;
  TdxBarSubMenuControl* menu = GetSubMenuControl();
  if (menu && menu->SubItemControl() == this) menu->SetSubItemControl(nullptr);
  TdxBarItemControl::ControlInactivate(immediately);
  if (gPending == this) KillPending();
  if (menu) menu->Hide();
  if (!*alive) return;
  if (Toolbar(this)) Repaint();
  if (TCustomdxBarSubItem* sub = SubItem()) sub->DoCloseUp();
}

void TdxBarSubItemControl::ControlClick(bool byMouse) {
  TdxBarSubMenuControl* menu = GetSubMenuControl();
  if (!menu) {
    std::shared_ptr<const bool> alive = alive_;
    ControlActivate(true);
    if (!*alive || byMouse) return;
    menu = GetSubMenuControl();
    if (menu && menu->ItemLinks())
      if (TdxBarItemLink* first = menu->ItemLinks()->First()) menu->SetKeySelectedItem(first->Control());
    return;
  }
  TdxBarManager* m = BarManager();
  if ((m && m->Style() == bmsStandard) || (parent_ && parent_->GetIsCustomizing())) ControlInactivate(true);
}

// ---------------------------------------------------------------- list and container items

void TdxBarContainerItemControl::CreateSubMenuControl() {
  TdxBarManager* m = BarManager();
  auto* item = dynamic_cast<TCustomdxBarContainerItem*>(Item());
  if (!item || (m && m->IsCustomizing())) return;
  TdxBarItemLinks* links = item->ItemLinks();
  if (links->BarControl()) return;
  auto* menu = new TContainerItemSubMenuControl(m, item);
  links->SetBarControl(menu);
  menu->SetItemLinks(links);
  item->AddListedItemLinks(links, 0, true, link_);
}

String TdxBarContainerItemControl::GetCaption() {
  String caption = TdxBarSubItemControl::GetCaption();
  auto* item = dynamic_cast<TCustomdxBarContainerItem*>(Item());
  if (InMenu(this) && item && item->HideWhenRun()) return "(" + caption + ")";
  return caption;
}

bool TdxBarContainerItemControl::IsExpandable() {
  TdxBarManager* m = BarManager();
  return !(m && m->IsCustomizing());
}

void TdxBarContainerItemControl::Paint(const TRect& r, TdxBarPaintType paintType) {
  if (r.Empty()) return;
  if (paintType == ptMenu) {
    DrawGlyphAndTextInSubMenu(CanvasHandle(), r, false, true, false);
    return;
  }
  TdxBarSubItemControl::Paint(r, paintType);
}
