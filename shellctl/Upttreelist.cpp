// Tree and list views with custom draw, context menus and header sort marks.
#include "shellctl/Upttreelist.h"

#include "shellctl/Uptshellutils.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Answers of a pre-paint stage by WantItemDraw.
constexpr LRESULT kPrePaintAnswer[2] = {0, CDRF_NOTIFYITEMDRAW};

// Apps without Shift, Ctrl or Alt; F10 with Shift alone.
bool IsContextMenuKey(WORD key, TShiftState shift) {
  bool s = shift.Contains(ssShift), c = shift.Contains(ssCtrl), a = shift.Contains(ssAlt);
  if (key == VK_APPS) return !s && !c && !a;
  if (key == VK_F10) return s && !c && !a;
  return false;
}

TPoint CursorClientPos(HWND wnd) {
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(wnd, &p);
  return TPoint(p.x, p.y);
}

TPoint Centre(const TRect& r) { return TPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

struct TCounter {
  int& count;
  explicit TCounter(int& c) : count(c) { ++count; }
  ~TCounter() { --count; }
};

}  // namespace

bool CommonControlsAtLeast(int major, int minor) { return ComCtlVersion().AtLeast(major, minor); }

// ---------------------------------------------------------------- TPTCustomDraw

TPTCustomDraw::TPTCustomDraw(NMCUSTOMDRAW& record, LRESULT& result, TFont* controlFont) {
  TPTCustomDraw::Reset(record, result);
  controlFont_ = controlFont;
  brush_ = CreateBrush();
  font_ = CreateFont();
}

TPTCustomDraw::~TPTCustomDraw() {
  // The notification's context is gone by now: only forget it.
  if (canvas_) canvas_->SetHandle(nullptr);
  delete canvas_;
  FreeObjects();
}

void TPTCustomDraw::FreeObjects() {
  delete font_;
  font_ = nullptr;
  delete brush_;
  brush_ = nullptr;
  fontChanged_ = brushChanged_ = false;
}

void TPTCustomDraw::Reset(NMCUSTOMDRAW& record, LRESULT& result) {
  if (canvas_) canvas_->SetHandle(nullptr);
  record_ = &record;
  result_ = &result;
  resultSet_ = false;
  FreeObjects();
}

TPTCustomDrawStage TPTCustomDraw::DrawStage() const {
  switch (record_->dwDrawStage) {
    case CDDS_PREPAINT:
      return ptcdsPrePaint;
    case CDDS_POSTPAINT:
      return ptcdsPostPaint;
    case CDDS_ITEMPREPAINT:
      return ptcdsItemPrePaint;
    case CDDS_ITEMPOSTPAINT:
      return ptcdsItemPostPaint;
    default:
      return ptcdsUnknown;
  }
}

void TPTCustomDraw::SetResult(LRESULT value) {
  *result_ = value;
  resultSet_ = true;
}

TFont* TPTCustomDraw::CreateFont() {
  auto* f = new TFont;
  if (controlFont_) f->Assign(controlFont_);
  if (record_->hdc) f->SetColor(static_cast<TColor>(GetTextColor(record_->hdc)));
  f->OnChange = {this, &TPTCustomDraw::FontChange};
  return f;
}

TBrush* TPTCustomDraw::CreateBrush() {
  auto* b = new TBrush;
  b->SetStyle(bsSolid);
  if (record_->hdc) b->SetColor(static_cast<TColor>(GetBkColor(record_->hdc)));
  b->OnChange = {this, &TPTCustomDraw::BrushChange};
  return b;
}

TFont* TPTCustomDraw::Font() {
  if (!font_) font_ = CreateFont();
  return font_;
}

TBrush* TPTCustomDraw::Brush() {
  if (!brush_) brush_ = CreateBrush();
  return brush_;
}

TCanvas* TPTCustomDraw::Canvas() {
  if (!canvas_) canvas_ = new TCanvas;
  if (!canvas_->HandleAllocated() && record_->hdc) canvas_->SetHandle(record_->hdc);
  return canvas_;
}

void TPTCustomDraw::ApplyTo(COLORREF& clrText, COLORREF& clrTextBk) {
  // What a handler drew on the canvas stays; the canvas lets go of the
  // context before the font below is selected into it.
  if (canvas_) canvas_->SetHandle(nullptr);
  if (!resultSet_) *result_ = 0;
  switch (DrawStage()) {
    case ptcdsPrePaint:
      if (!resultSet_) *result_ |= kPrePaintAnswer[wantItemDraw_];
      break;
    case ptcdsItemPrePaint:
      if (skipDefault_) {
        if (!resultSet_) *result_ |= CDRF_SKIPDEFAULT;
        break;
      }
      if (fontChanged_ && font_) {
        HFONT h = font_->Handle();
        if (record_->hdc && h != GetCurrentObject(record_->hdc, OBJ_FONT)) {
          SelectObject(record_->hdc, h);
          *result_ |= CDRF_NEWFONT;
        }
        clrText = ColorToRGB(font_->Color());
      }
      if (brushChanged_ && brush_) clrTextBk = ColorToRGB(brush_->Color());
      break;
    default:
      break;
  }
}

void TPTTvCustomDraw::Apply() {
  NMTVCUSTOMDRAW& cd = GetMpTvCd();
  ApplyTo(cd.clrText, cd.clrTextBk);
}

void TPTLvCustomDraw::Apply() {
  NMLVCUSTOMDRAW& cd = GetMpLvCd();
  ApplyTo(cd.clrText, cd.clrTextBk);
}

// ---------------------------------------------------------------- tree

TPTCustomTreeView::TPTCustomTreeView(TComponent* owner) : TCustomTreeView(owner) {}

TPTCustomTreeView::~TPTCustomTreeView() {
  delete customDraw_;
  customDraw_ = nullptr;
}

void TPTCustomTreeView::CreateParams(TCreateParams& params) {
  TCustomTreeView::CreateParams(params);
  if (IsWinNT() && !CommonControlsAtLeast(4, 72)) params.Style |= TVS_NOTOOLTIPS;
}

void TPTCustomTreeView::InvalidateNode(TTreeNode* node, bool textOnly, bool erase) {
  if (!node || !HandleAllocated()) return;
  TRect r = node->DisplayRect(textOnly);
  InvalidateRect(handle_, &r, erase);
}

TPTCustomDraw* TPTCustomTreeView::CreateCustomDraw(const NMCUSTOMDRAW& record, LRESULT& result) {
  auto* cd = new TPTTvCustomDraw(const_cast<NMCUSTOMDRAW&>(record), result, Font());
  cd->SetWantItemDraw(1);
  return cd;
}

TPTCustomDraw* TPTCustomTreeView::PTCustomDraw(const NMCUSTOMDRAW& record, LRESULT& result) {
  TPTCustomDraw* cd = nullptr;
  bool isItem = (record.dwDrawStage & CDDS_ITEM) != 0;
  if (OnPTCustomDraw) {
    cd = CreateCustomDraw(record, result);
    TTreeNode* node = isItem ? Items()->GetNode(reinterpret_cast<HTREEITEM>(record.dwItemSpec)) : nullptr;
    OnPTCustomDraw(this, cd, node);
  }
  if (OnPTCustomDrawEx && isItem && (record.dwDrawStage & CDDS_PREPAINT)) {
    if (!cd) cd = CreateCustomDraw(record, result);
    OnPTCustomDrawEx(this, cd, Items()->GetNode(reinterpret_cast<HTREEITEM>(record.dwItemSpec)));
  }
  if (cd) cd->Apply();
  return cd;
}

void TPTCustomTreeView::CustomDrawNotify(TMessage& msg) {
  auto& record = *reinterpret_cast<NMCUSTOMDRAW*>(msg.LParam);
  delete customDraw_;
  customDraw_ = nullptr;
  msg.Result = 0;
  customDraw_ = PTCustomDraw(record, msg.Result);
  if ((record.dwDrawStage & CDDS_PREPAINT) && (OnPTCustomDraw || OnPTCustomDrawEx)) msg.Result |= CDRF_NOTIFYITEMDRAW;
}

void TPTCustomTreeView::KeyDown(WORD& key, TShiftState shift) {
  if (IsContextMenuKey(key, shift)) {
    menuKey_ = key;
    key = 0;
    DoPreNodeContextMenu();
  }
  TCustomTreeView::KeyDown(key, shift);
}

// The system's window procedure makes WM_CONTEXTMENU of the release too: the
// menu was opened at the press.
void TPTCustomTreeView::KeyUp(WORD& key, TShiftState shift) {
  if (key && key == menuKey_) {
    menuKey_ = 0;
    key = 0;
  }
  TCustomTreeView::KeyUp(key, shift);
}

void TPTCustomTreeView::NodeContextMenu(TTreeNode* node, TPoint& pos, TPopupMenu*& menu) {
  if (OnNodeContextMenu) OnNodeContextMenu(this, node, pos, menu);
}

void TPTCustomTreeView::DoPreNodeContextMenu() {
  if (TTreeNode* node = Selected()) {
    DoNodeContextMenu(node, Centre(node->DisplayRect(true)));
    return;
  }
  if (TPopupMenu* menu = PopupMenu()) {
    TPoint s = ClientToScreen(TPoint(0, 0));
    menu->SetPopupComponent(this);
    menu->Popup(s.x, s.y);
  }
}

void TPTCustomTreeView::DoNodeContextMenu(TTreeNode* node, const TPoint& pos) {
  TPopupMenu* menu = PopupMenu();
  TPoint p = pos;
  NodeContextMenu(node, p, menu);
  if (menu != PopupMenu()) menuShown_ = true;
  if (menu) {
    TPoint s = ClientToScreen(p);
    menu->SetPopupComponent(this);
    menu->Popup(s.x, s.y);
  }
}

void TPTCustomTreeView::RightClick() {
  TPoint p = CursorClientPos(handle_);
  TTreeNode* node = GetNodeAt(p.x, p.y);
  if (!node) {
    // The empty area: what WM_CONTEXTMENU from the mouse does (the window
    // itself sends that message to its parent, not to the tree).
    if (!Selected() && !menuShown_) DoNodeContextMenu(nullptr, p);
    return;
  }
  TPopupMenu* menu = PopupMenu();
  NodeContextMenu(node, p, menu);
  if (menu) {
    TPoint s = ClientToScreen(p);
    menu->SetPopupComponent(this);
    menu->Popup(s.x, s.y);
  }
  menuShown_ = true;
}

void TPTCustomTreeView::ContextMenuMessage(TMessage& msg) {
  msg.Result = 0;
  if (Selected() || menuShown_) return;
  TPoint pt(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  if (pt.x == -1 && pt.y == -1)
    DoPreNodeContextMenu();
  else
    DoNodeContextMenu(Selected(), ScreenToClient(pt));
  msg.Result = 1;
}

void TPTCustomTreeView::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_NOTIFY: {
      auto* nm = reinterpret_cast<NMHDR*>(msg.LParam);
      switch (nm->code) {
        case NM_CUSTOMDRAW:
          CustomDrawNotify(msg);
          return;
        case NM_RCLICK:
          TCustomTreeView::Dispatch(msg);
          RightClick();
          // Taken: the window would hand WM_CONTEXTMENU to its parent.
          msg.Result = 1;
          return;
        case TVN_GETDISPINFOA:
        case TVN_GETDISPINFOW: {
          // The image fields lie at the same places in both forms.
          auto* di = reinterpret_cast<NMTVDISPINFOA*>(nm);
          if (TTreeNode* node = reinterpret_cast<TTreeNode*>(di->item.lParam)) {
            if (di->item.mask & TVIF_IMAGE) {
              GetImageIndex(node);
              di->item.iImage = node->ImageIndex();
            }
            if (di->item.mask & TVIF_SELECTEDIMAGE) {
              GetSelectedIndex(node);
              di->item.iSelectedImage = node->SelectedIndex();
            }
          }
          // The inherited answer, without firing the handlers a second time.
          struct TRestore {
            TPTCustomTreeView* tv;
            TTVExpandedEvent image, selected;
            ~TRestore() {
              tv->OnGetImageIndex = image;
              tv->OnGetSelectedIndex = selected;
            }
          } restore{this, OnGetImageIndex, OnGetSelectedIndex};
          OnGetImageIndex = nullptr;
          OnGetSelectedIndex = nullptr;
          TCustomTreeView::Dispatch(msg);
          return;
        }
        default:
          TCustomTreeView::Dispatch(msg);
          return;
      }
    }
    case WM_CONTEXTMENU:
      ContextMenuMessage(msg);
      return;
    case WM_RBUTTONDOWN:
      // The window's own tracking of a right click may take the button-up:
      // a flag left from an earlier click goes with the next press.
      menuShown_ = false;
      TCustomTreeView::Dispatch(msg);
      return;
    case WM_RBUTTONUP:
      if (menuShown_) {
        TPopupMenu* menu = PopupMenu();
        bool autoPopup = menu && menu->AutoPopup();
        if (menu) menu->SetAutoPopup(false);
        struct TRestore {
          TPopupMenu* menu;
          bool value;
          ~TRestore() {
            if (menu) menu->SetAutoPopup(value);
          }
        } restore{menu, autoPopup};
        menuShown_ = false;
        TCustomTreeView::Dispatch(msg);
        return;
      }
      TCustomTreeView::Dispatch(msg);
      return;
    case WM_SYSCOLORCHANGE:
      TCustomTreeView::Dispatch(msg);
      if (IsSystemColor(Color())) Perform(CM_COLORCHANGED);
      return;
    default:
      TCustomTreeView::Dispatch(msg);
  }
}

// ---------------------------------------------------------------- list

TPTCustomListView::TPTCustomListView(TComponent* owner) : TCustomListView(owner) { headerCanvas_ = new TCanvas; }

TPTCustomListView::~TPTCustomListView() {
  delete customDraw_;
  customDraw_ = nullptr;
  delete headerCanvas_;
}

HWND TPTCustomListView::GetHeaderHandle() const {
  return HandleAllocated() ? GetDlgItem(handle_, 0) : nullptr;
}

void TPTCustomListView::CreateWnd() {
  TCustomListView::CreateWnd();
  SetHeaderODStyle();
  PostMessageA(handle_, AM_INITSTAGE2, 0, 0);
}

void TPTCustomListView::AMInitStage2() { SetHeaderODStyle(); }

void TPTCustomListView::SetViewStyle(TViewStyle value) {
  TCustomListView::SetViewStyle(value);
  if (value == vsReport) SetHeaderODStyle();
}

TPTCustomDraw* TPTCustomListView::CreateCustomDraw(const NMCUSTOMDRAW& record, LRESULT& result) {
  return new TPTLvCustomDraw(const_cast<NMCUSTOMDRAW&>(record), result, Font());
}

TPTCustomDraw* TPTCustomListView::PTCustomDraw(const NMCUSTOMDRAW& record, LRESULT& result) {
  TPTCustomDraw* cd = nullptr;
  bool isItem = (record.dwDrawStage & CDDS_ITEM) != 0;
  auto item = [&]() -> TListItem* {
    auto i = record.dwItemSpec;
    return i < static_cast<DWORD_PTR>(Items()->Count()) ? Items()->Item(static_cast<int>(i)) : nullptr;
  };
  if (OnPTCustomDraw) {
    cd = CreateCustomDraw(record, result);
    OnPTCustomDraw(this, cd, isItem ? item() : nullptr);
  }
  if (OnPTCustomDrawEx && isItem && (record.dwDrawStage & CDDS_PREPAINT)) {
    if (!cd) cd = CreateCustomDraw(record, result);
    OnPTCustomDrawEx(this, cd, item());
  }
  if (cd) cd->Apply();
  return cd;
}

void TPTCustomListView::CustomDrawNotify(TMessage& msg) {
  auto& record = *reinterpret_cast<NMCUSTOMDRAW*>(msg.LParam);
  delete customDraw_;
  customDraw_ = nullptr;
  msg.Result = 0;
  customDraw_ = PTCustomDraw(record, msg.Result);
  // The rows' stages only for a handler: each is a message sent to the
  // parent while the list paints, about 40% of a paint's time under Wine.
  if ((record.dwDrawStage & CDDS_PREPAINT) && (OnPTCustomDraw || OnPTCustomDrawEx)) msg.Result |= CDRF_NOTIFYITEMDRAW;
}

// -------- context menu

void TPTCustomListView::KeyDown(WORD& key, TShiftState shift) {
  if (IsContextMenuKey(key, shift)) {
    menuKey_ = key;
    key = 0;
    DoPreItemContextMenu(TPoint(0, 0));
  }
  TCustomListView::KeyDown(key, shift);
}

void TPTCustomListView::KeyUp(WORD& key, TShiftState shift) {
  if (key && key == menuKey_) {
    menuKey_ = 0;
    key = 0;
  }
  TCustomListView::KeyUp(key, shift);
}

void TPTCustomListView::ItemContextMenu(TListItem* item, TPoint& pos, TPopupMenu*& menu) {
  if (OnItemContextMenu) OnItemContextMenu(this, item, pos, menu);
}

void TPTCustomListView::DoPreItemContextMenu(const TPoint& pos) {
  if (TListItem* selected = Selected()) {
    TListItem* item = selected->Focused() ? selected : ItemFocused();
    if (item) {
      DoItemContextMenu(Centre(item->DisplayRect(drIcon)));
      return;
    }
  }
  if (TPopupMenu* menu = PopupMenu()) {
    TPoint s = ClientToScreen(pos);
    menu->SetPopupComponent(this);
    menu->Popup(s.x, s.y);
  }
}

void TPTCustomListView::DoItemContextMenu(const TPoint& pos) {
  TPopupMenu* menu = PopupMenu();
  TPoint p = pos;
  ItemContextMenu(Selected(), p, menu);
  menuShown_ = true;
  if (menu) {
    TPoint s = ClientToScreen(p);
    menu->SetPopupComponent(this);
    menu->Popup(s.x, s.y);
  }
}

void TPTCustomListView::ContextMenuMessage(TMessage& msg) {
  msg.Result = 0;
  if (menuShown_ || Items()->Count() == 0 || !Selected()) return;
  TPoint pt(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  if (pt.x == -1 && pt.y == -1)
    DoPreItemContextMenu(TPoint(0, 0));
  else
    DoItemContextMenu(ScreenToClient(pt));
  msg.Result = 1;
}

// -------- header sort mark

void TPTCustomListView::InvalidateHeaderItem(int index) {
  HWND header = GetHeaderHandle();
  if (!header || index < 0) return;
  RECT r;
  if (SendMessageA(header, HDM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r))) InvalidateRect(header, &r, TRUE);
}

void TPTCustomListView::SetHeaderSortColumn(int value) {
  if (value == sortColumn_) return;
  if (GetHeaderHandle()) {
    InvalidateHeaderItem(sortColumn_);
    InvalidateHeaderItem(value);
  }
  sortColumn_ = value;
  if (CommonControlsAtLeast(6, 0) && GetHeaderHandle()) SetHeaderODStyle();
}

void TPTCustomListView::SetHeaderSortDirection(TPTLvSortDirection value) {
  if (value == sortDirection_) return;
  bool header = GetHeaderHandle() != nullptr;
  if (header && sortColumn_ >= 0) InvalidateHeaderItem(sortColumn_);
  sortDirection_ = value;
  if (CommonControlsAtLeast(6, 0) && header && sortColumn_ >= 0) SetHeaderODStyle();
  Invalidate();
}

void TPTCustomListView::SetHeaderSortDisplayMode(TPTLvHeaderSortDisplayMode value) {
  if (value == displayMode_) return;
  displayMode_ = CommonControlsAtLeast(4, 70) ? value : ptlvNone;
  SetHeaderODStyle();
  if (HWND header = GetHeaderHandle()) InvalidateRect(header, nullptr, TRUE);
}

void TPTCustomListView::SetHeaderODStyle() {
  if (!HandleAllocated() || ViewStyle() != vsReport || odStyleLevel_ > 0) return;
  TCounter level(odStyleLevel_);
  HWND header = GetHeaderHandle();
  if (!header) return;
  bool v6 = CommonControlsAtLeast(6, 0);
  bool ownerDraw = displayMode_ != ptlvNone && !(v6 && displayMode_ == ptlvRightOfText);
  int count = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  for (int i = count - 1; i >= 0; --i) {
    HDITEMA item{};
    item.mask = HDI_FORMAT;
    if (!SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item))) continue;
    int fmt = item.fmt & HDF_JUSTIFYMASK;
    if (ownerDraw) {
      fmt |= HDF_OWNERDRAW;
    } else {
      fmt |= HDF_STRING;
      // The header's own marks exist from version 6 on; both ways of
      // showing the mark point up for ptsdDesc (A to Z in the program's lists).
      if (v6 && i == sortColumn_) fmt |= sortDirection_ == ptsdDesc ? HDF_SORTUP : HDF_SORTDOWN;
    }
    item.fmt = fmt;
    SendMessageA(header, HDM_SETITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
  InvalidateRect(header, nullptr, TRUE);
}

void TPTCustomListView::HeaderDrawItem(TMessage& msg) {
  auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(msg.LParam);
  int saved = SaveDC(d->hDC);
  headerCanvas_->SetHandle(d->hDC);
  struct TDetach {
    TCanvas* canvas;
    HDC dc;
    int saved;
    ~TDetach() {
      canvas->SetHandle(nullptr);
      RestoreDC(dc, saved);
    }
  } detach{headerCanvas_, d->hDC, saved};
  DrawHeader(static_cast<int>(d->itemID), d->rcItem);
  msg.Result = 1;
}

void TPTCustomListView::DrawHeader(int index, const TRect& rect) {
  headerCanvas_->Font()->Assign(Font());
  headerCanvas_->Brush()->SetColor(clBtnFace);
  TRect r(rect.left + 2, rect.top + 2, rect.right - 2, rect.bottom - 2);
  if (!defaultDrawing_) return;
  // One face under caption and mark (a header may erase in another colour).
  headerCanvas_->FillRect(r);
  DefaultDrawHeader(index, r);
}

namespace {

// The glyph square of a text rectangle.
TRect GlyphRect(const TRect& t) {
  int s = (t.top + t.bottom) / 2 - 1;
  TRect g;
  g.left = t.left;
  g.right = t.left + s + 1;
  g.top = (t.top + t.bottom - s) / 2 - 1;
  g.bottom = g.top + s;
  return g;
}

// The glyph square at the right end of t.
TRect GlyphAtRight(const TRect& t) {
  TRect g = GlyphRect(t);
  int offset = t.Width() - g.Width() - 5;
  g.left += offset;
  g.right += offset;
  return g;
}

}  // namespace

void TPTCustomListView::DefaultDrawHeader(int index, const TRect& rect) {
  TCanvas* c = headerCanvas_;
  TRect t(rect.left + 4, rect.top, rect.right - 4, rect.bottom);
  TListColumn* column = index >= 0 && index < Columns()->Count() ? Columns()->Items(index) : nullptr;
  String caption = column ? column->Caption() : String();
  TAlignment alignment = column ? column->Alignment() : taLeftJustify;
  static const UINT kAlign[] = {0, DT_RIGHT, DT_CENTER};
  UINT flags = kAlign[alignment] | DT_SINGLELINE | DT_END_ELLIPSIS;
  bool sorted = index == sortColumn_;

  c->SaveClip();
  c->ClipRect(rect);
  struct TRestore {
    TCanvas* c;
    ~TRestore() { c->RestoreClip(); }
  } restore{c};
  switch (displayMode_) {
    case ptlvNone:
      c->DrawText(caption, t, flags);
      break;
    case ptlvLeftAlign:
      if (sorted && column && column->Width() > 15) {
        TRect g = GlyphRect(t);
        DrawHeaderGlyphs(index, g);
        t.left = g.right + 5;
      }
      c->DrawText(caption, t, flags);
      break;
    case ptlvRightOfText:
      if (alignment != taRightJustify) {
        c->DrawText(caption, t, flags);
        TRect m = t;
        c->DrawText(caption, m, DT_CALCRECT | DT_RIGHT | DT_SINGLELINE | DT_END_ELLIPSIS);
        // A centred caption stands in the middle of t: the mark follows it
        // there, not at t's left.
        int w = std::min(m.Width(), t.Width());
        if (alignment == taCenter) {
          int shift = (t.Width() - w) / 2;
          m.left += shift;
          m.right += shift;
        }
        int step = m.Width() + 5;
        m.left += step;
        m.right += step;
        if (sorted) DrawHeaderGlyphs(index, GlyphRect(m));
        break;
      }
      if (sorted) {
        TRect g = GlyphAtRight(t);
        DrawHeaderGlyphs(index, g);
        t.right = g.left - 4;
      }
      c->DrawText(caption, t, flags);
      break;
    case ptlvRightAlign: {
      TRect g = GlyphAtRight(t);
      if (sorted) {
        DrawHeaderGlyphs(index, g);
        t.right = g.left - 4;
      }
      c->DrawText(caption, t, flags);
      break;
    }
  }
}

void TPTCustomListView::DrawHeaderGlyphs(int index, const TRect& glyph) {
  if (index != sortColumn_ || index < 0 || index >= Columns()->Count()) return;
  if (Columns()->Items(index)->Width() <= 2 * glyph.Width()) return;
  // Where the highlight hardly differs from the face (flat colour schemes),
  // the arrow's light edges would vanish: they take the shadow's colour.
  COLORREF face = ColorToRGB(clBtnFace), high = ColorToRGB(clBtnHighlight);
  int contrast = std::abs(GetRValue(face) - GetRValue(high)) + std::abs(GetGValue(face) - GetGValue(high)) +
                 std::abs(GetBValue(face) - GetBValue(high));
  TColor light = contrast < 64 ? clBtnShadow : clBtnHighlight;
  if (sortDirection_ == ptsdAsc)
    DrawDownArrow(headerCanvas_, glyph, clBtnFace, light, clBtnShadow);
  else
    DrawUpArrow(headerCanvas_, glyph, clBtnFace, light, clBtnShadow);
}

// -------- messages

void TPTCustomListView::HeaderNotify(const NMHDR& nm) {
  switch (nm.code) {
    case HDN_ENDTRACKA:
    case HDN_ENDTRACKW:
    case HDN_BEGINTRACKA:
    case HDN_BEGINTRACKW:
    case HDN_ITEMCHANGEDA:
    case HDN_ITEMCHANGEDW:
      SetHeaderODStyle();
      break;
    default:
      break;
  }
}

void TPTCustomListView::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_NOTIFY: {
      auto* nm = reinterpret_cast<NMHDR*>(msg.LParam);
      switch (nm->code) {
        case NM_CUSTOMDRAW:
          CustomDrawNotify(msg);
          return;
        case LVN_BEGINDRAG:
        case LVN_BEGINRDRAG:
          beginDrag_ = true;
          TCustomListView::Dispatch(msg);
          return;
        case NM_RCLICK:
          DoPreItemContextMenu(CursorClientPos(handle_));
          TCustomListView::Dispatch(msg);
          return;
        default:
          TCustomListView::Dispatch(msg);
          return;
      }
    }
    case WM_NOTIFY: {
      auto* nm = reinterpret_cast<NMHDR*>(msg.LParam);
      HWND header = GetHeaderHandle();
      if (!header || nm->hwndFrom != header) {
        TCustomListView::Dispatch(msg);
        return;
      }
      if (nm->code == HDN_ITEMCLICKA || nm->code == HDN_ITEMCLICKW) InvalidateRect(header, nullptr, TRUE);
      TCustomListView::Dispatch(msg);
      HeaderNotify(*nm);
      return;
    }
    case WM_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(msg.LParam);
      if (d->CtlType == ODT_HEADER && d->hwndItem && d->hwndItem == GetHeaderHandle()) {
        HeaderDrawItem(msg);
        return;
      }
      TCustomListView::Dispatch(msg);
      return;
    }
    case WM_PARENTNOTIFY:
    case LVM_INSERTCOLUMNA:
    case LVM_INSERTCOLUMNW:
    case LVM_SETCOLUMNA:
    case LVM_SETCOLUMNW:
      // A header made, or a column whose format the list rewrote.
      TCustomListView::Dispatch(msg);
      SetHeaderODStyle();
      return;
    case AM_INITSTAGE2:
      AMInitStage2();
      return;
    case WM_CONTEXTMENU:
      ContextMenuMessage(msg);
      return;
    case WM_RBUTTONDOWN:
      menuShown_ = false;
      TCustomListView::Dispatch(msg);
      return;
    case WM_RBUTTONUP:
      if (menuShown_) {
        TPopupMenu* menu = popupMenu_;
        popupMenu_ = nullptr;
        struct TRestore {
          TPTCustomListView* lv;
          TPopupMenu* menu;
          ~TRestore() { lv->popupMenu_ = menu; }
        } restore{this, menu};
        TCustomListView::Dispatch(msg);
        menuShown_ = false;
        return;
      }
      TCustomListView::Dispatch(msg);
      menuShown_ = false;
      return;
    case WM_SYSCOLORCHANGE:
      TCustomListView::Dispatch(msg);
      if (IsSystemColor(Color())) Perform(CM_COLORCHANGED);
      return;
    default:
      TCustomListView::Dispatch(msg);
  }
}

// ---------------------------------------------------------------- arrows

namespace {

int ArrowHeight(const TRect& r) { return (r.bottom - r.top - 1) | 1; }

void FillArrowSquare(TCanvas* canvas, const TRect& r, int w, int h, TColor background) {
  if (background == clNone) return;
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(background);
  canvas->FillRect(TRect(r.left, r.top, r.left + w, r.top + h));
}

}  // namespace

void DrawDownArrow(TCanvas* canvas, const TRect& r, TColor background, TColor light, TColor shadow) {
  int h = ArrowHeight(r), w = h + 1;
  FillArrowSquare(canvas, r, w, h, background);
  canvas->Pen()->SetColor(shadow);
  TPoint dark[] = {TPoint(r.left + (w - 1) / 2, r.top + h - 1), TPoint(r.left, r.top + 1), TPoint(r.left, r.top),
                   TPoint(r.left + w - 1, r.top)};
  canvas->Polyline(dark, 4);
  canvas->Pen()->SetColor(light);
  canvas->MoveTo(r.left + (w - 1) / 2 + 1, r.top + h - 1);
  canvas->LineTo(r.left + w, r.top - 1);
}

void DrawUpArrow(TCanvas* canvas, const TRect& r, TColor background, TColor light, TColor shadow) {
  int h = ArrowHeight(r), w = h + 1;
  FillArrowSquare(canvas, r, w, h, background);
  canvas->Pen()->SetColor(shadow);
  TPoint dark[] = {TPoint(r.left + w / 2 - 1, r.top), TPoint(r.left, r.top + h - 2), TPoint(r.left, r.top + h - 1)};
  canvas->Polyline(dark, 3);
  canvas->Pen()->SetColor(light);
  TPoint bright[] = {TPoint(r.left, r.top + h - 1), TPoint(r.left + w - 1, r.top + h - 1),
                     TPoint(r.left + (w - 1) / 2 + 1, r.top - 1)};
  canvas->Polyline(bright, 3);
}
