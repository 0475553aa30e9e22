// The toolbars popup, the link customizing popup and the More Buttons
// window with its "Add or Remove Buttons" menu.
#include "Dxbarquickcust.h"

#include <algorithm>

#include "Dxbarstrs.h"
#include "Dxbarwinitems.h"

DX_BAR_ITEM_CLASS_IMPL(TdxBarQuickCustItem)
DX_BAR_ITEM_CLASS_IMPL(TdxBarQuickCustExtButton)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarQuickCustItemControl)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarQuickCustExtButtonControl)

namespace {

TdxBarCustomizingPopup* gCustomizingPopup = nullptr;
TdxBarItemLink* gCustomizingLink = nullptr;
TdxBarQuickControl* gQuickControl = nullptr;
UINT_PTR gQuickTimer = 0;

// Entries of the customizing popup.
enum : int {
  cpReset,
  cpDelete,
  cpName,
  cpDefaultStyle,
  cpTextOnly,
  cpTextInMenus,
  cpImageAndText,
  cpBeginGroup,
  cpVisible,
  cpMostRecentlyUsed
};

// The entries' handlers: an entry's click runs after its popup has gone,
// so they act on the unit's current link.
class TCustomizingPopupEntries : public TObject {
 public:
  void EntryClick(TObject* sender);
  void NameChange(TObject* sender);
};
TCustomizingPopupEntries gEntries;

void StopQuickTimer() {
  if (gQuickTimer) dxBarSystem()->KillTimer(gQuickTimer);
  gQuickTimer = 0;
}

void CALLBACK QuickTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  CallGuarded([&] {
    StopQuickTimer();
    TdxBarQuickControl* quick = gQuickControl;
    if (!quick) return;
    TdxBarManager* m = quick->BarManager();
    TdxBarItemControl* selected = m ? m->SelectedItem() : nullptr;
    // The menus of the window itself count as the window, as when the
    // timer starts: a timer started before the pointer reached one of them
    // closes nothing.
    if (!selected || selected->Parent() == quick || GetRootBarControl(selected->Parent()) == quick) return;
    if (TdxBarControl* owner = quick->OwnerBar()) owner->SetMarkState(msNone);
  });
}

// Menu placement: the popup's top-left at the screen point.
void ShowAt(TdxBarSubMenuControl* popup, TPoint screen) {
  popup->SetBounds(screen.x, screen.y, popup->Width(), popup->Height());
  popup->Show();
}

}  // namespace

// ---------------------------------------------------------------- toolbars popup

TdxBarToolbarsPopup::TdxBarToolbarsPopup(TdxBarManager* manager) : TdxBarSubMenuControl(manager) {
  ClearInternalItemList();
  links_ = new TdxBarItemLinks(manager, this);
  links_->SetUseRecentItems(false);
  links_->SetBarControl(this);
  SetItemLinks(links_);
}

TdxBarToolbarsPopup::~TdxBarToolbarsPopup() {
  if (HandleAllocated())
    DestroyHandle();
  else
    DestroyControls();
  SetItemLinks(nullptr);
  delete links_;
}

void dxBarShowToolbarsPopup(TdxBarManager* manager, TPoint screen) {
  if (!manager) return;
  auto* popup = new TdxBarToolbarsPopup(manager);
  try {
    manager->CreateToolbarsPopupList(popup->ItemLinks());
  } catch (...) {
    popup->Free();
    throw;
  }
  if (popup->ItemLinks()->Count() == 0) {
    popup->Free();
    return;
  }
  TdxBarControlRef ref(popup);
  manager->HideAll();
  if (!BarControlExists(ref)) return;
  popup->SetAnimate(true);
  ShowAt(popup, screen);
}

// ---------------------------------------------------------------- customizing popup

TdxBarCustomizingPopup::TdxBarCustomizingPopup(TdxBarManager* manager) : TdxBarSubMenuControl(manager) {
  ClearInternalItemList();
  links_ = new TdxBarItemLinks(manager, this);
  links_->SetUseRecentItems(false);
  links_->SetBarControl(this);
  SetItemLinks(links_);
  if (gCustomizingPopup) gCustomizingPopup->Hide();
  gCustomizingPopup = this;
  gCustomizingLink = nullptr;
  int count = 8;
  if (manager && manager->IsDesigning()) count = manager->Style() == bmsStandard ? 9 : 10;
  for (int n = 0; n < count; ++n) {
    TdxBarItem* item;
    if (n == cpName) {
      nameEdit_ = new TdxBarEdit(nullptr);
      item = nameEdit_;
    } else {
      auto* button = new TdxBarButton(nullptr);
      if (n >= cpDefaultStyle) button->SetButtonStyle(bsChecked);
      if (n >= cpDefaultStyle && n <= cpImageAndText) button->SetGroupIndex(-1000);
      button->OnClick = {&gEntries, &TCustomizingPopupEntries::EntryClick};
      item = button;
    }
    AddInternalItem(item);
    item->SetCaption(dxBarLoadStr(dxSBAR_CP_RESET + n));
    item->Tag = n;
    entries_.push_back(item);
    TdxBarItemLink* link = links_->Add();
    link->SetItem(item);
    link->SetBeginGroup(n == cpName || n == cpDefaultStyle || n == cpBeginGroup);
  }
  if (manager) manager->DoShowCustomizingPopup(links_);
}

TdxBarCustomizingPopup::~TdxBarCustomizingPopup() {
  if (HandleAllocated())
    DestroyHandle();
  else
    DestroyControls();
  if (nameEdit_) nameEdit_->OnChange = nullptr;
  // The link stays current: the entry clicked runs after the popup went.
  if (gCustomizingPopup == this) gCustomizingPopup = nullptr;
  SetItemLinks(nullptr);
  delete links_;
}

TdxBarItemLink* TdxBarCustomizingPopup::ItemLink() const { return gCustomizingLink; }

TdxBarItem* TdxBarCustomizingPopup::Entry(int n) const {
  return n >= 0 && n < static_cast<int>(entries_.size()) ? entries_[static_cast<size_t>(n)] : nullptr;
}

void TdxBarCustomizingPopup::Init(TdxBarItemLink* link) {
  gCustomizingLink = link;
  if (!link) return;
  if (nameEdit_) {
    nameEdit_->SetText(link->Caption());
    nameEdit_->OnChange = {&gEntries, &TCustomizingPopupEntries::NameChange};
  }
  auto* button = dynamic_cast<TdxBarButton*>(link->Item());
  bool styles = button && button->CanChangePaintStyle();
  for (int n = cpDefaultStyle; n <= cpImageAndText; ++n) {
    auto* b = static_cast<TdxBarButton*>(Entry(n));
    if (!b) continue;
    b->SetEnabled(styles);
    b->SetDown(styles ? link->PaintStyle() == static_cast<TdxBarPaintStyle>(n - cpDefaultStyle) : n == cpDefaultStyle);
  }
  if (auto* b = static_cast<TdxBarButton*>(Entry(cpBeginGroup))) {
    b->SetEnabled(link->Index() >= 1);
    b->SetDown(link->BeginGroup());
  }
  if (auto* b = static_cast<TdxBarButton*>(Entry(cpVisible))) b->SetDown(link->Visible());
  if (auto* b = static_cast<TdxBarButton*>(Entry(cpMostRecentlyUsed))) b->SetDown(link->MostRecentlyUsed());
}

void TCustomizingPopupEntries::EntryClick(TObject* sender) {
  auto* item = dynamic_cast<TdxBarItem*>(sender);
  TdxBarItemLink* link = gCustomizingLink;
  if (!item || !link) return;
  switch (static_cast<int>(item->Tag)) {
    case cpReset:
      link->SetUserDefine({});
      break;
    case cpDelete:
      gCustomizingLink = nullptr;
      link->Free();
      break;
    case cpDefaultStyle:
    case cpTextOnly:
    case cpTextInMenus:
    case cpImageAndText:
      link->SetUserPaintStyle(static_cast<TdxBarPaintStyle>(item->Tag - cpDefaultStyle));
      break;
    case cpBeginGroup:
      link->SetBeginGroup(!link->BeginGroup());
      break;
    case cpVisible:
      link->SetVisible(!link->Visible());
      break;
    case cpMostRecentlyUsed:
      link->SetMostRecentlyUsed(!link->MostRecentlyUsed());
      break;
  }
}

void TCustomizingPopupEntries::NameChange(TObject* sender) {
  auto* edit = dynamic_cast<TdxBarEdit*>(sender);
  TdxBarItemLink* link = gCustomizingLink;
  if (!link || !edit) return;
  String text = edit->Text();
  if (!text.empty()) {
    link->SetUserCaption(text);
    return;
  }
  // The popup goes before the refusal shows; the link keeps its caption.
  if (gCustomizingPopup) gCustomizingPopup->Hide();
  Application->MessageBox(dxBarLoadStr(dxSBAR_COMMANDNAMECANNOTBEBLANK), Application->Title, MB_ICONERROR);
}

void TdxBarCustomizingPopup::DoCloseUp() {
  TdxBarItemLink* link = ItemLink();
  TdxBarManager* m = link ? link->BarManager() : nullptr;
  if (link && m && !m->IsCustomizing()) {
    TCustomdxBarControl* bar = link->BarControl();
    if (bar && link->Control() && bar->SelectedControl() == link->Control()) {
      m->SetSelectedItem(nullptr);
      bar->SetSelectedItem(nullptr);
    }
  }
  TdxBarSubMenuControl::DoCloseUp();
}

TdxBarCustomizingPopup* dxBarCustomizingPopup() { return gCustomizingPopup; }

TdxBarItemLink* dxBarCustomizingPopupItemLink() { return gCustomizingPopup ? gCustomizingLink : nullptr; }

void dxBarShowCustomizingPopup(TdxBarItemControl* control, TPoint screen) {
  if (!control || !control->Parent()) return;
  TCustomdxBarControl* bar = control->Parent();
  TdxBarItemLink* link = control->ItemLink();
  TdxBarManager* m = bar->BarManager();
  if (!m || !link) return;
  auto* popup = new TdxBarCustomizingPopup(m);
  TdxBarControlRef ref(popup);
  try {
    popup->Init(link);
  } catch (...) {
    if (BarControlExists(ref)) popup->Free();
    throw;
  }
  popup->SetAnimate(false);
  ShowAt(popup, screen);
}

// ---------------------------------------------------------------- quick customization items

void TdxBarQuickCustItem::DirectClick() {
  TdxBarItemLink* source = ClickItemLink();
  TdxBarButton::DirectClick();
  // The source link is a link of a toolbar; the entry's own link is its
  // stand-in.
  if (source && source->Owner() && dynamic_cast<TdxBar*>(source->Owner()->Owner()))
    source->SetVisible(!source->Visible());
}

TdxBarItemLink* TdxBarQuickCustItemControl::SourceLink() const {
  TdxBarItemLink* link = ItemLink();
  return link ? link->RealItemLink() : nullptr;
}

String TdxBarQuickCustItemControl::GetCaption() {
  TdxBarItemLink* s = SourceLink();
  return s && s != ItemLink() ? s->Caption() : TdxBarButtonControl::GetCaption();
}

TBitmap* TdxBarQuickCustItemControl::GetGlyph() {
  TdxBarItemLink* s = SourceLink();
  return s && s != ItemLink() ? s->Glyph() : TdxBarButtonControl::GetGlyph();
}

int TdxBarQuickCustItemControl::GetImageIndex() {
  TdxBarItemLink* s = SourceLink();
  return s && s != ItemLink() && s->Item() ? s->Item()->ImageIndex() : TdxBarButtonControl::GetImageIndex();
}

String TdxBarQuickCustItemControl::GetHint() {
  TdxBarItemLink* s = SourceLink();
  return s && s != ItemLink() && s->Item() ? s->Item()->Hint() : TdxBarButtonControl::GetHint();
}

TShortCut TdxBarQuickCustItemControl::GetShortCut() {
  TdxBarItemLink* s = SourceLink();
  return s && s != ItemLink() && s->Item() ? s->Item()->ShortCut() : TdxBarButtonControl::GetShortCut();
}

int TdxBarQuickCustItemControl::GetWidth() { return GetDefaultWidth() + GetDefaultHeight(); }

void TdxBarQuickCustItemControl::ControlUnclick(bool byMouse) {
  std::shared_ptr<const bool> alive = Alive();
  TdxBarButtonControl::ControlUnclick(byMouse);
  if (*alive) Repaint();
}

namespace {

// The square cell at the left of an entry of "Add or Remove Buttons".
TRect CheckCell(const TRect& r) { return TRect(r.left, r.top, r.left + r.Height(), r.bottom); }

}  // namespace

void TdxBarQuickCustItemControl::Paint(const TRect& r, TdxBarPaintType paintType) {
  if (r.Empty()) return;
  HDC dc = CanvasHandle();
  bool flat = Flat();
  bool selected = DrawSelected();
  TdxBarItemLink* source = SourceLink();
  bool visible = source && source->Visible();
  TRect cell = CheckCell(r);
  TRect text = r;
  text.left = cell.right + (flat ? 1 : 0);
  TdxBarManager* m = BarManager();
  if (flat && !selected) {
    HBRUSH back = parent_->GetToolbarBrush();
    FillRect(dc, &cell, back);
    if (m) FrameRect(dc, &cell, m->FlatToolbarsBrush());
    InflateRect(&cell, -1, -1);
  }
  HBRUSH brush = visible ? (flat && m ? m->FlatToolbarsDownedBrush() : PatternBrush())
                         : (flat && m ? m->FlatToolbarsBrush() : GetSysColorBrush(COLOR_BTNFACE));
  if (selected) brush = flat && m ? m->FlatToolbarsSelBrush() : GetSysColorBrush(COLOR_BTNFACE);
  FillRect(dc, &cell, brush);
  if (visible) {
    TRect e = cell;
    if (flat)
      FrameRect(dc, &e, GetSysColorBrush(COLOR_HIGHLIGHT));
    else
      DrawEdge(dc, &e, BDR_SUNKENOUTER, BF_RECT);
    TRect mark = cell;
    InflateRect(&mark, -2, -2);
    TBitmap* glyph = GetGlyph();
    TCustomImageList* images = GetImages();
    int index = GetImageIndex();
    bool hasImage = (glyph && !glyph->Empty()) || (images && index >= 0 && index < images->Count());
    if (hasImage)
      TransparentDraw(dc, brush, mark, mark, glyph && !glyph->Empty() ? glyph : nullptr, images, index, GetEnabled(),
                      false, flat, false, false, false, clNone);
    else
      dxBarDrawCheckMark(dc, mark, 1, GetEnabled(), flat);
  }
  TdxBarButtonControl::Paint(text, paintType);
  if (flat && selected) {
    FrameFlatSelRect(dc, r);
    TRect strip(cell.right, r.top + 1, std::min(cell.right + 2, r.right), r.bottom - 1);
    if (m) FillRect(dc, &strip, m->FlatToolbarsSelBrush());
  }
}

int TdxBarQuickCustExtButtonControl::GetWidth() { return TdxBarButtonControl::GetWidth() + GetDefaultHeight(); }

void TdxBarQuickCustExtButtonControl::Paint(const TRect& r, TdxBarPaintType paintType) {
  if (r.Empty()) return;
  HDC dc = CanvasHandle();
  bool flat = Flat();
  bool selected = DrawSelected();
  TdxBarManager* m = BarManager();
  TRect cell = CheckCell(r);
  TRect text = r;
  text.left = cell.right + (flat ? 1 : 0);
  if (selected) {
    TRect c = cell;
    if (flat) InflateRect(&c, -1, -1);
    FillRect(dc, &c, parent_->GetToolbarSelBrush());
  } else {
    FillRect(dc, &cell, flat && m ? m->FlatToolbarsBrush() : GetSysColorBrush(COLOR_BTNFACE));
  }
  TdxBarButtonControl::Paint(text, paintType);
  if (flat && selected) {
    FrameFlatSelRect(dc, r);
    TRect strip(cell.right, r.top + 1, std::min(cell.right + 1, r.right), r.bottom - 1);
    FillRect(dc, &strip, parent_->GetToolbarSelBrush());
  }
}

// ---------------------------------------------------------------- More Buttons window

TdxBar* TdxBarQuickControl::NewBar(TdxBarControl* owner) {
  ClearInternalItemList();
  TdxBarManager* m = owner->BarManager();
  TdxBar* bar = m->Bars()->Add();
  bar->SetInternal(true);
  bar->SetAllowQuickCustomizing(false);
  bar->SetHidden(true);
  bar->SetShowMark(false);
  bar->SetAllowClose(false);
  bar->SetUseRecentItems(false);
  if (TdxBar* ob = owner->Bar()) {
    bar->SetFont(ob->Font());
    bar->SetUseOwnFont(ob->UseOwnFont());
  }
  return bar;
}

TdxBarQuickControl::TdxBarQuickControl(TdxBarControl* owner)
    : TdxBarControl(owner->BarManager(), NewBar(owner)), owner_(owner), ownerRef_(owner) {
  gQuickControl = this;
  dockingStyle_ = dsNone;
  ownerLinkBounds_ = owner->MarkScreenRect();
  TdxBar* ownerBar = owner->Bar();
  TdxBarItemLinks* links = Bar()->ItemLinks();
  links->SetBarControl(this);
  TCustomForm* form = manager_->MainForm();
  addRemove_ = new TdxBarSubItem(form);
  AddInternalItem(addRemove_);
  addRemove_->SetCaption(dxBarLoadStr(dxSBAR_ADDREMOVEBUTTONS));
  bool allow = ownerBar && ownerBar->AllowQuickCustomizing();
  addRemove_->SetEnabled(allow);
  if (allow) addRemove_->OnPopup = {this, &TdxBarQuickControl::AddRemovePopup};
  if (TdxBarItemLinks* ol = owner->ItemLinks())
    for (int i = 0; i < ol->CanVisibleItemCount(); ++i) {
      TdxBarItemLink* src = ol->CanVisibleItems(i);
      TdxBarItemControl* c = src->Control();
      if (src->VisibleIndex() != -1 && !(c && owner->GetItemRect(c).Empty())) continue;
      TdxBarItemLink* copy = links->Add();
      copy->Assign(src);
      copy->SetRealItemLink(src);
    }
  TdxBarItemLink* sub = links->Add();
  sub->SetItem(addRemove_);
  sub->SetBeginGroup(true);
}

TdxBarQuickControl::~TdxBarQuickControl() {
  StopQuickTimer();
  if (gQuickControl == this) gQuickControl = nullptr;
  if (HandleAllocated())
    DestroyHandle();
  else
    DestroyControls();
  // The manager frees the items itself when it goes.
  bool managerGoing = !manager_ || manager_->IsDestroying();
  if (addRemove_ && !managerGoing) addRemove_->OnPopup = nullptr;
  TdxBar* bar = Bar();
  if (bar && bar->ItemLinks()) bar->ItemLinks()->BarControlDestroyed(this);
  itemLinks_ = nullptr;
  if (quickCustItem_ && !managerGoing) {
    TdxBarQuickCustItem* item = quickCustItem_;
    quickCustItem_ = nullptr;
    item->Free();
  }
  if (bar && !managerGoing) {
    int index = manager_->Bars()->IndexOf(bar);
    if (index >= 0) manager_->Bars()->Delete(index);
  }
}

void TdxBarQuickControl::AddRemovePopup(TObject*) {
  if (!addRemove_ || !BarControlExists(ownerRef_)) return;
  ClearInternalItemList();
  TdxBarItemLinks* links = addRemove_->ItemLinks();
  links->Clear();
  TCustomForm* form = manager_->MainForm();
  if (!quickCustItem_) quickCustItem_ = new TdxBarQuickCustItem(form);
  if (TdxBarItemLinks* ol = owner_->ItemLinks())
    for (int i = 0; i < ol->AvailableItemCount(); ++i) {
      TdxBarItemLink* src = ol->AvailableItems(i);
      if (src->Control() && !src->Control()->CanCustomize()) continue;
      TdxBarItemLink* link = links->Add();
      link->SetItem(quickCustItem_);
      link->SetRealItemLink(src);
    }
  bool reset = false;
  TdxBar* ownerBar = owner_->Bar();
  if (manager_->CanReset() && ownerBar && ownerBar->CanReset()) {
    auto* item = new TdxBarQuickCustExtButton(nullptr);
    AddInternalItem(item);
    item->SetCaption(dxBarLoadStr(dxSBAR_RESETTOOLBAR));
    item->OnClick = {ownerBar, &TdxBar::ResetToolbarClick};
    TdxBarItemLink* link = links->Add();
    link->SetItem(item);
    link->SetBeginGroup(true);
    reset = true;
  }
  manager_->AddCustomizeLink(links, !reset, TdxBarQuickCustExtButton::Class());
}

void TdxBarQuickControl::Popup() {
  HandleNeeded();
  if (!HandleAllocated() || !BarControlExists(ownerRef_)) return;
  TPoint size = GetSizeForWidth(dsNone, 0);
  int w = size.x + 2 * manager_->BorderSizeX(), h = size.y + 2 * manager_->BorderSizeY();
  TRect mark = owner_->MarkScreenRect();
  bool vertical = owner_->Vertical();
  int x, y;
  if (vertical) {
    x = mark.right;
    y = mark.top;
  } else if (owner_->DockingStyle() != dsNone || !Flat()) {
    x = mark.right - w;
    y = mark.bottom;
  } else {
    x = mark.left;
    y = mark.bottom;
  }
  TRect work = GetWorkArea(TPoint(x, y));
  if (vertical) {
    if (x + w > work.right) x = mark.left - w;
    y = std::max<int>(y, work.top);
    if (y + h > work.bottom) y = work.bottom - h;
  } else {
    x = std::max<int>(x, work.left);
    if (x + w > work.right) x = work.right - w;
    if (y + h > work.bottom) y = mark.top - h;
  }
  left_ = x;
  top_ = y;
  width_ = w;
  height_ = h;
  visible_ = true;
  SetWindowPos(handle_, nullptr, x, y, w, h, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOZORDER);
  CalcControlsPositions();
  InvalidateRect(handle_, nullptr, TRUE);
  RedrawWindow(handle_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void TdxBarQuickControl::OwnerMoved() {
  if (!BarControlExists(ownerRef_)) return;
  ownerLinkBounds_ = owner_->MarkScreenRect();
  ResizeShadow();
  if (HandleAllocated()) RedrawWindow(handle_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

HBRUSH TdxBarQuickControl::GetToolbarBrush() {
  return Flat() ? GetSysColorBrush(COLOR_WINDOW) : TdxBarControl::GetToolbarBrush();
}

void TdxBarQuickControl::HideAll() {
  if (IsDestroying()) {
    TdxBarControl::HideAll();
    return;
  }
  bool wasActive = ActiveBarControl() == this;
  TdxBarControlRef owner = ownerRef_;
  TdxBarControl::HideAll();
  if (!wasActive || !BarControlExists(owner)) return;
  auto* ob = static_cast<TdxBarControl*>(owner.Control());
  if (LeftButtonPressed() && ob->HandleAllocated() &&
      ob->MarkRect().Contains(ob->ScreenToClient(dxBarSystem()->GetCursorPos())))
    ob->SetIgnoreMouseClick(true);
  ob->SetMarkState(msNone);
}

void TdxBarQuickControl::CreateParams(TCreateParams& params) {
  TdxBarControl::CreateParams(params);
  params.Style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  params.ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
  TCustomForm* form = manager_ ? manager_->MainForm() : nullptr;
  params.WndParent = form && form->HandleAllocated() ? form->Handle() : nullptr;
}

void TdxBarQuickControl::PaintFrame() {
  if (!HandleAllocated()) return;
  HDC dc = GetWindowDC(handle_);
  TRect w = GetWindowRect();
  TRect r(0, 0, w.Width(), w.Height());
  int bx = manager_->BorderSizeX(), by = manager_->BorderSizeY();
  HRGN frame = CreateRectRgn(0, 0, r.right, r.bottom);
  HRGN client = CreateRectRgn(bx, by, r.right - bx, r.bottom - by);
  CombineRgn(frame, frame, client, RGN_DIFF);
  FillRgn(dc, frame, GetToolbarBrush());
  DeleteObject(client);
  DeleteObject(frame);
  if (Flat()) {
    FrameRect(dc, &r, manager_->FlatToolbarsBorderBrush());
  } else {
    TRect e = r;
    DrawEdge(dc, &e, EDGE_RAISED, BF_RECT);
  }
  DrawOwnerLink(dc);
  ReleaseDC(handle_, dc);
}

void TdxBarQuickControl::WndProc(TMessage& msg) {
  switch (msg.Msg) {
    case WM_NCCALCSIZE: {
      RECT* r = msg.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(msg.LParam)->rgrc[0]
                           : reinterpret_cast<RECT*>(msg.LParam);
      InflateRect(r, -manager_->BorderSizeX(), -manager_->BorderSizeY());
      msg.Result = 0;
      return;
    }
    case WM_NCPAINT:
      PaintFrame();
      msg.Result = 0;
      return;
    case WM_NCHITTEST: {
      TCustomdxBarControl::WndProc(msg);
      msg.Result = DefWindowProcA(handle_, WM_NCHITTEST, msg.WParam, msg.LParam) == HTCLIENT ? HTCLIENT : HTBORDER;
      return;
    }
    case WM_NCACTIVATE:
      msg.Result = 1;
      return;
    case WM_RBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
      msg.Result = DefWindowProcA(handle_, msg.Msg, msg.WParam, msg.LParam);
      return;
    case WM_WINDOWPOSCHANGING:
      TCustomdxBarControl::WndProc(msg);
      return;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(msg.LParam);
      TdxBarControlRef self(this);
      TCustomdxBarControl::WndProc(msg);
      if (!BarControlExists(self)) return;
      if (HandleAllocated()) {
        TRect r = GetWindowRect();
        left_ = r.left;
        top_ = r.top;
        width_ = r.Width();
        height_ = r.Height();
      }
      if ((pos->flags & SWP_HIDEWINDOW) && !IsDestroying() && BarControlExists(ownerRef_) && gQuickControl == this)
        owner_->SetMarkState(msNone);
      return;
    }
  }
  TdxBarControl::WndProc(msg);
}

TdxBarQuickControl* dxBarQuickControl() { return gQuickControl; }

void dxBarQuickControlSelectionChanged(TCustomdxBarControl* barControl) {
  TdxBarQuickControl* quick = gQuickControl;
  if (!quick || barControl == quick || quick->IsActive() || gQuickTimer) return;
  // The menus of the window itself count as the window.
  if (GetRootBarControl(barControl) == quick) return;
  gQuickTimer = dxBarSystem()->SetTimer(200, QuickTimerProc);
}

bool dxBarQuickControlTimerRunning() { return gQuickTimer != 0; }

void dxBarQuickControlMouse(UINT msg, HWND wnd, POINT pt) {
  TdxBarQuickControl* quick = gQuickControl;
  if (!quick || quick->KeyboardMode()) return;
  if (!((msg >= 0x201 && msg <= 0x20A) || (msg >= 0xA1 && msg <= 0xA9))) return;
  // Customizing began while the window was open (its mark no longer
  // changes): the window goes by itself.
  if (quick->BarManager() && quick->BarManager()->IsCustomizing()) {
    quick->Free();
    return;
  }
  auto* w = dynamic_cast<TCustomdxBarControl*>(FindControlOrParent(wnd));
  if (w && (w == quick || GetRootBarControl(w) == quick)) return;
  TdxBarControl* owner = quick->OwnerBar();
  if (!owner) return;
  if (w == owner && msg != WM_RBUTTONDOWN && owner->HandleAllocated() &&
      owner->MarkRect().Contains(owner->ScreenToClient(TPoint(pt))))
    return;
  owner->SetMarkState(msNone);
}
