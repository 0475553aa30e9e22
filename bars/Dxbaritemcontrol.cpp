// Item controls: the on-screen instance of a link, its sizes, the drawing
// every control shares (glyph and background, text, menu rows, check mark)
// and the click sequence.
#include <algorithm>

#include "Dxbarcontrols.h"

DX_BAR_CONTROL_CLASS_IMPL(TdxBarItemControl)

namespace {

void FillWith(HDC dc, const TRect& r, HBRUSH brush) { FillRect(dc, &r, brush); }

// One colour of pen, selected for the scope.
class TPenScope {
 public:
  TPenScope(HDC dc, COLORREF color) : dc_(dc), pen_(CreatePen(PS_SOLID, 1, color)) { old_ = SelectObject(dc, pen_); }
  ~TPenScope() {
    SelectObject(dc_, old_);
    DeleteObject(pen_);
  }
  TPenScope(const TPenScope&) = delete;
  TPenScope& operator=(const TPenScope&) = delete;

 private:
  HDC dc_;
  HPEN pen_;
  HGDIOBJ old_;
};

void Line(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

}  // namespace

// ---------------------------------------------------------------- check mark

void dxBarDrawCheckMark(HDC dc, const TRect& r, int k, bool enabled, bool flat) {
  int x = (r.left + r.right - 9 * k) / 2;
  int y = (r.top + r.bottom - 7 * k) / 2;
  int row = enabled ? 0 : 1;
  // One stroke row: a tick from the left arm down and up to the right.
  auto stroke = [&](COLORREF color) {
    TPenScope pen(dc, color);
    POINT p[3] = {{x + k, y + 2 * k + row}, {x + 3 * k, y + 4 * k + row}, {x + 8 * k, y - k + row}};
    Polyline(dc, p, 3);
    ++row;
  };
  if (enabled) {
    bool blackFace = dxBarSysColor(COLOR_BTNFACE) == RGB(0, 0, 0);
    COLORREF main = blackFace ? RGB(255, 255, 255) : RGB(0, 0, 0);
    COLORREF other = blackFace ? RGB(0, 0, 0) : RGB(255, 255, 255);
    if (!flat)
      for (int i = 0; i < k; ++i) stroke(RGB(0xC0, 0xC0, 0xC0));
    for (int i = 0; i < 2 * k; ++i) stroke(main);
    if (!flat) {
      for (int i = 0; i < k; ++i) stroke(other);
      TPenScope pen(dc, other);
      Line(dc, x + k - 1, y + 2 * k + 1, x + k - 1, y + 6 * k - 1);
      Line(dc, x + 8 * k, y - k + 2, x + 8 * k, y + 3 * k);
    }
    return;
  }
  for (int i = 0; i < 2 * k; ++i) stroke(dxBarSysColor(COLOR_BTNSHADOW));
  if (flat) return;
  TPenScope pen(dc, dxBarSysColor(COLOR_BTNHIGHLIGHT));
  for (int i = 0; i < k; ++i) {
    Line(dc, x + 3 * k + 1, y + 7 * k - 1 - i, x + 9 * k, y + k - i);
    Line(dc, x + 4 * k, y + 7 * k - i, x + 9 * k, y + 2 * k - i);
  }
}

// ---------------------------------------------------------------- life

TdxBarItemControl::TdxBarItemControl(TdxBarItemLink* link)
    : link_(link), parent_(link ? link->BarControl() : nullptr), alive_(std::make_shared<bool>(true)) {}

TdxBarItemControl::~TdxBarItemControl() {
  *alive_ = false;
  TdxBarManager* m = BarManager();
  // The selection and the mouse-tracked record both forget the control.
  if (m) m->ItemControlDestroyed(this);
  if (!parent_) return;
  bool parentLives = BarControlExists(TdxBarControlRef(parent_)) && !parent_->Destroying();
  if (parentLives && m && !m->IsDestroying() && parent_->SelectedControl() == this && !m->IsCustomizing()) {
    if (link_ && link_->VisibleIndex() != -1)
      parent_->SetMouseSelectedItem(nullptr);
    else
      parent_->SetSelectedControl(nullptr);
  }
  // The window outlives its controls: no pointer to this one stays.
  parent_->ForgetControl(this);
}

TdxBarItem* TdxBarItemControl::Item() const { return link_ ? link_->Item() : nullptr; }
TdxBarManager* TdxBarItemControl::BarManager() const { return link_ ? link_->BarManager() : nullptr; }

void TdxBarItemControl::SetPressed(bool value) {
  if (value == pressed_) return;
  pressed_ = value;
  PressedChanged();
}

// ---------------------------------------------------------------- notifications

void TdxBarItemControl::BeginGroupChanged() {
  if (parent_) parent_->RepaintBar();
}

void TdxBarItemControl::CaptionChanged() {
  if (parent_) parent_->RepaintBar();
}

void TdxBarItemControl::VisibleChanged() {
  if (parent_) parent_->RepaintBar();
}

void TdxBarItemControl::AlignChanged() {
  if (parent_) parent_->RepaintBar();
}

void TdxBarItemControl::ShortCutChanged() {
  if (dynamic_cast<TdxBarSubMenuControl*>(parent_)) parent_->RepaintBar();
}

void TdxBarItemControl::GlyphChanged() { Repaint(); }

void TdxBarItemControl::EnabledChanged() {
  if (!GetEnabled() && parent_ && parent_->SelectedControl() == this) parent_->SetSelectedControl(nullptr);
  Repaint();
}

void TdxBarItemControl::PressedChanged() {
  if (!pressed_) Repaint();
}

void TdxBarItemControl::Repaint() {
  if (!parent_ || parent_->Destroying() || !parent_->HandleAllocated()) return;
  bool had = parent_->Canvas()->HandleAllocated();
  parent_->PaintItem(this);
  if (!had)
    if (auto* canvas = dynamic_cast<TControlCanvas*>(parent_->Canvas())) canvas->FreeHandle();
}

// ---------------------------------------------------------------- answers

bool TdxBarItemControl::CanCustomize() {
  TdxBarItem* item = Item();
  return item && link_ && link_->BarManager() == item->BarManager();
}

bool TdxBarItemControl::CanSelect() { return !parent_ || !parent_->GetIsCustomizing() || CanCustomize(); }

bool TdxBarItemControl::DrawSelected() {
  return parent_ && parent_->SelectedControl() == this && (GetEnabled() || !mouseSelected_);
}

String TdxBarItemControl::GetCaption() { return link_ ? link_->Caption() : String(); }
bool TdxBarItemControl::GetEnabled() { return Item() ? Item()->Enabled() : false; }
TBitmap* TdxBarItemControl::GetGlyph() { return link_ ? link_->Glyph() : nullptr; }
int TdxBarItemControl::GetImageIndex() { return Item() ? Item()->ImageIndex() : -1; }

TCustomImageList* TdxBarItemControl::GetImages() {
  TdxBarItem* item = Item();
  return item && item->BarManager() ? item->BarManager()->Images() : nullptr;
}

TCustomImageList* TdxBarItemControl::GetLargeImages() {
  TdxBarItem* item = Item();
  return item && item->BarManager() ? item->BarManager()->LargeImages() : nullptr;
}

TCustomImageList* TdxBarItemControl::GetHotImages() {
  TdxBarItem* item = Item();
  return item && item->BarManager() ? item->BarManager()->HotImages() : nullptr;
}

String TdxBarItemControl::GetHint() { return Item() ? Item()->Hint() : String(); }
TShortCut TdxBarItemControl::GetShortCut() { return link_ && Item() ? Item()->ShortCut() : 0; }

int TdxBarItemControl::GetTextAreaOffset() {
  if (!dynamic_cast<TdxBarSubMenuControl*>(parent_)) return 0;
  return parent_->TextSize() + (Flat() ? 3 : 1);
}

bool TdxBarItemControl::HasHint() { return !GetHint().empty() && dynamic_cast<TdxBarControl*>(parent_); }

bool TdxBarItemControl::HasShadow() { return parent_ && parent_->ChildrenHaveShadows(); }

bool TdxBarItemControl::WantsDblClick() {
  TdxBarManager* m = BarManager();
  if (m && m->IsDesigning()) return true;
  return IsExpandable();
}

void TdxBarItemControl::GetArrowParams(TdxBarPaintType paintType, bool droppedDown, int& colorIndex, HBRUSH& brush,
                                       bool selected) {
  colorIndex = COLOR_BTNTEXT;
  brush = parent_ ? parent_->ItemBrush() : GetSysColorBrush(COLOR_BTNFACE);
  if (Flat() && selected) {
    if (droppedDown) {
      brush = parent_->GetToolbarDownedSelBrush();
      colorIndex = COLOR_HIGHLIGHTTEXT;
    } else {
      brush = parent_->GetToolbarSelBrush();
    }
  }
}

TdxBarItemAlign TdxBarItemControl::GetAlign() {
  TdxBarItem* item = Item();
  if (!item || !parent_ || !parent_->CanAlignControl(this)) return iaLeft;
  return item->Align();
}

int TdxBarItemControl::GetNormalItemHeightInSubMenu() {
  return parent_ ? parent_->TextSize() + (Flat() ? 2 : 0) : 0;
}

int TdxBarItemControl::GetRealWidth() {
  auto* toolbar = dynamic_cast<TdxBarControl*>(parent_);
  if (toolbar && !toolbar->Vertical() && GetAlign() == iaClient) return GetMinWidth();
  return GetWidth();
}

int TdxBarItemControl::GetRealHeight() {
  auto* toolbar = dynamic_cast<TdxBarControl*>(parent_);
  if (toolbar && toolbar->Vertical() && GetAlign() == iaClient) return IsVertical(parent_) ? GetMinWidth() : GetMinHeight();
  return GetHeight();
}

bool TdxBarItemControl::GetUnclickAfterDoing() {
  if (auto* b = dynamic_cast<TdxBarButton*>(Item())) return b->UnclickAfterDoing();
  return true;
}

bool TdxBarItemControl::CanVisuallyPressed() { return !parent_ || !parent_->HideOnClick(); }

bool TdxBarItemControl::ImageIndexLinked() {
  TCustomImageList* images = GetImages();
  int index = GetImageIndex();
  return images && index >= 0 && index < images->Count();
}

bool TdxBarItemControl::ImageExists() {
  TBitmap* glyph = GetGlyph();
  return (glyph && !glyph->Empty()) || ImageIndexLinked();
}

bool TdxBarItemControl::MousePressed() {
  if (!parent_ || !parent_->HandleAllocated() || !GetEnabled()) return false;
  TPoint p = parent_->ScreenToClient(dxBarSystem()->GetCursorPos());
  return parent_->GetItemRect(this).Contains(p) && LeftButtonPressed();
}

// ---------------------------------------------------------------- the click

void TdxBarItemControl::Click(bool byMouse) {
  if (!GetEnabled()) return;
  std::shared_ptr<const bool> alive = alive_;
  TCustomdxBarControl* parent = parent_;
  TdxBarControlRef parentRef(parent);
  ControlClick(byMouse);
  if (*alive && BarControlExists(parentRef) && parent->ItemExists(this)) ControlUnclick(byMouse);
}

void TdxBarItemControl::ControlUnclick(bool byMouse) {
  TCustomdxBarControl* parent = parent_;
  TdxBarControlRef parentRef(parent);
  std::shared_ptr<const bool> alive = alive_;
  if (dynamic_cast<TdxBarButtonControl*>(this) && dynamic_cast<TdxBarSubMenuControl*>(parent)) PlayMenuSound(1);
  // Everything used after HideAll is read before it: the menus it closes
  // may take this control with them.
  TdxBarItemLink* link = link_;
  TdxBarItemLink* realLink = link ? link->RealItemLink() : nullptr;
  TdxBarItem* item = Item();
  bool canClicked = CanClicked();
  bool destroyOnClick = IsDestroyOnClick();
  if (destroyOnClick && link) {
    link->BringToTopInRecentList(true);
    if (realLink && realLink != link) realLink->BringToTopInRecentList(true);
  }
  bool keepPressed = GetUnclickAfterDoing() && (!destroyOnClick || CanVisuallyPressed());
  if (keepPressed) SetPressed(true);
  if (destroyOnClick && parent) parent->HideAll();
  if (!realLink) realLink = link;
  if (canClicked && item) {
    item->SetClickItemLink(realLink);
    TFinally guard([&] { item->SetClickItemLink(nullptr); });
    item->DirectClick();
  }
  // The handler may have rebuilt the bar: only a control the live bar
  // still holds is touched.
  if (keepPressed && *alive && BarControlExists(parentRef) && parent->ItemExists(this)) SetPressed(false);
}

// ---------------------------------------------------------------- glyph drawing

HDC TdxBarItemControl::CanvasHandle() { return parent_->Canvas()->Handle(); }

TSize TdxBarItemControl::GlyphSize(const TRect& area, TdxBarPaintType paintType, bool useWholeRect) {
  TBitmap* glyph = GetGlyph();
  int w, h;
  if (glyph && !glyph->Empty()) {
    w = glyph->Width();
    h = glyph->Height();
  } else if (TCustomImageList* images = GetImages()) {
    w = images->Width();
    h = images->Height();
  } else {
    return TSize(0, 0);
  }
  TdxBarManager* m = BarManager();
  if (paintType != ptMenu) {
    if (m && m->LargeIcons()) {
      w *= 2;
      h *= 2;
    }
  } else if (m && m->StretchGlyphs()) {
    int normal = GetNormalItemHeightInSubMenu();
    if (normal > 0) {
      w = MulDiv(w, useWholeRect ? area.Height() : area.Width(), normal);
      h = MulDiv(h, area.Height(), normal);
    }
  }
  return TSize(w, h);
}

TRect TdxBarItemControl::GlyphRect(const TRect& itemRect, TdxBarPaintType paintType, TSize glyph, bool down,
                                   bool pressed, bool useWholeRect) {
  TRect area = itemRect;
  TdxBarManager* m = BarManager();
  if (!useWholeRect && m) {
    if (paintType == ptHorz) area.right = area.left + m->ButtonWidth();
    if (paintType == ptVert) area.bottom = area.top + m->ButtonHeight();
  }
  int left = area.left + (area.Width() - glyph.cx) / 2;
  int top = area.top + (area.Height() - glyph.cy) / 2;
  if (!Flat()) {
    if (down) ++left, ++top;
    if (pressed) ++left, ++top;
  }
  return Bounds(left, top, glyph.cx, glyph.cy);
}

HBRUSH TdxBarItemControl::GlyphBackgroundBrush(TdxBarPaintType paintType, bool selected, bool down, bool pressed,
                                               bool noGlyph, bool plainBackground, bool ownerMerge) {
  HBRUSH own = parent_->ItemBrush() ? parent_->ItemBrush() : parent_->GetToolbarBrush();
  if (Flat()) {
    if (!selected && !down)
      return paintType == ptMenu && !plainBackground ? BarManager()->FlatToolbarsBrush() : own;
    if (!selected) return parent_->GetToolbarDownedBrush();
    if (!down && !pressed) return parent_->GetToolbarSelBrush();
    if (down && ownerMerge) return parent_->GetBarControlOwnerBrush();
    return parent_->GetToolbarDownedSelBrush();
  }
  if (down && GetEnabled()) return selected ? parent_->GetToolbarDownedSelBrush() : parent_->GetToolbarDownedBrush();
  if (selected && paintType == ptMenu && noGlyph && !down) return parent_->GetToolbarSelBrush();
  return own;
}

void TdxBarItemControl::DrawGlyph(const TRect& itemRect, const TRect* backgroundRect, TdxBarPaintType paintType,
                                  bool noGlyph, bool selected, bool down, bool pressed, bool useWholeRect,
                                  bool plainBackground, bool ownerMerge) {
  TRect area = itemRect;
  TdxBarManager* m = BarManager();
  if (!useWholeRect && m) {
    if (paintType == ptHorz) area.right = area.left + m->ButtonWidth();
    if (paintType == ptVert) area.bottom = area.top + m->ButtonHeight();
  }
  bool drawn = !noGlyph && ImageExists();
  TRect glyph;
  if (drawn) glyph = GlyphRect(itemRect, paintType, GlyphSize(area, paintType, useWholeRect), down, pressed, useWholeRect);
  HBRUSH brush = GlyphBackgroundBrush(paintType, selected, down, pressed, !drawn, plainBackground, ownerMerge);
  DrawGlyphAndBkgnd(CanvasHandle(), backgroundRect ? *backgroundRect : itemRect, glyph, brush, !drawn, paintType,
                    selected, down, pressed, ownerMerge);
}

void TdxBarItemControl::DrawGlyphAndBkgnd(HDC dc, TRect bk, const TRect& glyphRect, HBRUSH brush, bool noGlyph,
                                          TdxBarPaintType paintType, bool selected, bool down, bool pressed,
                                          bool ownerMerge, bool grayed) {
  TdxBarManager* m = BarManager();
  bool flat = Flat();
  int gw = noGlyph ? (m ? m->GlyphSize() : 16) : glyphRect.Width();
  int gh = noGlyph ? (m ? m->GlyphSize() : 16) : glyphRect.Height();
  bool inset = bk.Width() >= gw + 2 && bk.Height() >= gh + 2;
  TRect fill = bk;
  if (inset) InflateRect(&fill, -1, -1);
  if (noGlyph) {
    FillWith(dc, fill, brush);
    if (paintType == ptMenu && down) {
      int k = parent_->Canvas()->Font()->Size() >= 16 ? 2 : 1;
      dxBarDrawCheckMark(dc, fill, k, GetEnabled(), flat);
    }
  } else {
    TBitmap* glyph = GetGlyph();
    bool fromBitmap = glyph && !glyph->Empty();
    bool raise = selected && !down && !pressed;
    TransparentDraw(dc, brush, fill, glyphRect, fromBitmap ? glyph : nullptr, fromBitmap ? nullptr : GetImages(),
                    GetImageIndex(), GetEnabled(), grayed, flat, raise, down || pressed, pressed,
                    m ? m->ImageListBkColor() : clFuchsia);
  }
  bool noEdge = !down && (!selected || (paintType == ptMenu && (noGlyph || flat)));
  if (noEdge) {
    if (inset) FrameRect(dc, &bk, brush);
    return;
  }
  if (!flat) {
    DrawEdge(dc, &bk, (selected && !down && !pressed) ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
    return;
  }
  TCustomdxBarControl* owned = down && ownerMerge ? GetOwnedBarControl() : nullptr;
  if (owned)
    parent_->DrawBarControlOwnerBorder(dc, bk, owned);
  else
    FrameFlatSelRect(dc, bk);
}

// ---------------------------------------------------------------- text

void TdxBarItemControl::DrawItemText(HDC dc, const String& text, TRect r, UINT format, bool enabled, bool selected,
                                     bool vertical, bool clip, bool flat) {
  int oldMode = SetBkMode(dc, TRANSPARENT);
  UINT flags = DT_SINGLELINE | (clip ? 0 : DT_NOCLIP);
  if (!vertical) flags |= (format == 1 ? DT_CENTER : format == 2 ? DT_RIGHT : DT_LEFT) | DT_VCENTER;
  // Vertical text: the accelerator is underlined by hand.
  String plain = text;
  int accel = -1;
  SIZE extent{}, textSize{}, before{}, accelSize{};
  TEXTMETRICA tm{};
  int dx = 0, dy = 0;
  if (vertical) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
      if (text[i] != '&') continue;
      if (text[i + 1] != '&') accel = static_cast<int>(i);
      ++i;
    }
    plain = GetTextOf(text);
    if (accel >= 0) {
      // Its index in the text without the ampersands.
      String head = GetTextOf(text.substr(0, static_cast<size_t>(accel)) + "x");
      int at = static_cast<int>(head.size()) - 1;
      GetTextExtentPoint32A(dc, plain.c_str(), at, &before);
      GetTextExtentPoint32A(dc, plain.c_str() + at, 1, &accelSize);
    }
    flags |= DT_NOPREFIX;
    GetTextExtentPoint32A(dc, plain.c_str(), static_cast<int>(plain.size()), &extent);
    GetTextMetricsA(dc, &tm);
    textSize = extent;
    dx = (r.Width() + textSize.cy) / 2;
    dy = format == 1 ? (r.Height() - extent.cx) / 2 : format == 2 ? r.Height() - extent.cx : 0;
  }
  auto draw = [&](int ox, int oy, COLORREF color) {
    SetTextColor(dc, color);
    if (!vertical) {
      TRect rr(r.left + ox, r.top + oy, r.right + ox, r.bottom + oy);
      DrawTextA(dc, text.c_str(), -1, &rr, flags);
      return;
    }
    TRect rr(r.left + dx + ox, r.top + dy + oy, r.right + dx + ox, r.bottom + dy + oy);
    HRGN saved = nullptr;
    bool hadClip = false;
    if (clip) {
      saved = CreateRectRgn(0, 0, 0, 0);
      hadClip = GetClipRgn(dc, saved) == 1;
      IntersectClipRect(dc, r.left + ox, r.top + oy, r.right + ox, r.bottom + oy);
    }
    DrawTextA(dc, plain.c_str(), -1, &rr, flags);
    if (accel >= 0) {
      int x = (r.left + r.right - textSize.cy) / 2 + tm.tmDescent - 2 + ox;
      int y = r.top + dy + before.cx + oy;
      TPenScope pen(dc, color);
      Line(dc, x, y, x, y + accelSize.cx);
    }
    if (clip) {
      SelectClipRgn(dc, hadClip ? saved : nullptr);
      DeleteObject(saved);
    }
  };
  if (enabled && (!selected || flat))
    draw(0, 0, GetSysColor(COLOR_BTNTEXT));
  else if (enabled)
    draw(0, 0, GetSysColor(COLOR_HIGHLIGHTTEXT));
  else if (selected || flat)
    draw(0, 0, GetSysColor(COLOR_GRAYTEXT));
  else {
    draw(1, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    draw(0, 0, GetSysColor(COLOR_BTNSHADOW));
  }
  (void)oldMode;
  SetBkMode(dc, OPAQUE);
}

// ---------------------------------------------------------------- menu rows and frames

void TdxBarItemControl::DrawGlyphAndTextInSubMenu(HDC dc, TRect r, bool selected, bool showGlyph, bool down) {
  bool flat = Flat();
  HBRUSH own = parent_->ItemBrush() ? parent_->ItemBrush() : parent_->GetToolbarBrush();
  HBRUSH column = BarManager()->FlatToolbarsBrush();
  if (flat) {
    if (selected) {
      FrameFlatSelRect(dc, r);
    } else {
      int split = r.left + r.Height() + 1;
      FillWith(dc, TRect(r.left, r.top, split, r.top + 1), column);
      FillWith(dc, TRect(r.left, r.bottom - 1, split, r.bottom), column);
      FillWith(dc, TRect(r.left, r.top, r.left + 1, r.bottom), column);
      FillWith(dc, TRect(split, r.top, r.right, r.top + 1), own);
      FillWith(dc, TRect(split, r.bottom - 1, r.right, r.bottom), own);
      FillWith(dc, TRect(r.right - 1, r.top, r.right, r.bottom), own);
    }
    InflateRect(&r, -1, -1);
  }
  TRect glyph(r.left, r.top, r.left + r.Height(), r.bottom);
  bool noGlyph = !ImageExists() || !showGlyph;
  DrawGlyph(glyph, nullptr, ptMenu, noGlyph, selected, down, false, false, false, false);
  int gap = flat ? 2 : 1;
  TRect gapRect(glyph.right, r.top, glyph.right + gap, r.bottom);
  HBRUSH gapBrush;
  if (selected && (flat || (noGlyph && !down)))
    gapBrush = parent_->GetToolbarSelBrush();
  else
    gapBrush = flat ? column : own;
  FillWith(dc, gapRect, gapBrush);
  TRect text(gapRect.right, r.top, r.right, r.bottom);
  FillWith(dc, text, selected ? parent_->GetToolbarSelBrush() : own);
  text.left += flat ? 8 : 2;
  DrawItemText(dc, GetCaption(), text, 0, GetEnabled(), selected, false, false, flat);
}

void TdxBarItemControl::DrawLowered(HDC dc, TRect& r) {
  if (Flat())
    FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
  else
    DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
  InflateRect(&r, -1, -1);
}

void TdxBarItemControl::FrameAndFillRect(HDC dc, TRect& r, bool down, bool selected) {
  HBRUSH own = parent_->ItemBrush() ? parent_->ItemBrush() : parent_->GetToolbarBrush();
  HBRUSH fill = own;
  if (!selected) {
    FrameRect(dc, &r, own);
  } else if (Flat()) {
    FrameFlatSelRect(dc, r);
    fill = parent_->GetToolbarSelBrush();
  } else {
    DrawEdge(dc, &r, down ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  }
  InflateRect(&r, -1, -1);
  FillWith(dc, r, fill);
}
