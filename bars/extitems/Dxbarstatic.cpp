// The static item and its control: automatic sizes, indents, the five
// border styles and the glyph and caption inside them.
#include "Dxbarstatic.h"

#include <algorithm>

DX_BAR_ITEM_CLASS_IMPL(TdxBarStatic)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarStaticControl)

int dxBarExtTextWidth(TCustomdxBarControl* bar, const String& text) {
  if (!bar) return 0;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bar->Canvas()->Font()->Handle());
  SIZE s{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &s);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return s.cx;
}

int dxBarExtTextHeight(TCustomdxBarControl* bar, const String& text) {
  if (!bar) return 0;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bar->Canvas()->Font()->Handle());
  SIZE s{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &s);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return s.cy;
}

// ---------------------------------------------------------------- item

TdxBarStatic::TdxBarStatic(TComponent* owner) : TdxBarItem(owner) {}

void TdxBarStatic::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  if (!IsLoading()) Update();
}

void TdxBarStatic::SetBorderStyle(TdxBarStaticBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  if (IsLoading()) return;
  // Fixed in both directions the size cannot change.
  if (width_ != 0 && height_ != 0)
    Update();
  else
    UpdateEx();
}

void TdxBarStatic::SetShowCaption(bool value) {
  if (value == showCaption_) return;
  showCaption_ = value;
  if (!IsLoading()) UpdateEx();
}

int TdxBarStatic::SizeValue(int index) const {
  switch (index) {
    case 1:
      return leftIndent_;
    case 2:
      return rightIndent_;
    case 3:
      return width_;
    case 4:
      return height_;
    default:
      return 0;
  }
}

void TdxBarStatic::SetSizeValue(int index, int value) {
  if (value < 0) value = 0;
  int* field = index == 1 ? &leftIndent_ : index == 2 ? &rightIndent_ : index == 3 ? &width_ : index == 4 ? &height_ : nullptr;
  if (!field || *field == value) return;
  *field = value;
  if (!IsLoading()) UpdateEx();
}

// ---------------------------------------------------------------- control: values

TdxBarStaticBorderStyle TdxBarStaticControl::GetBorderStyle() {
  TdxBarStatic* s = Static();
  return s ? s->BorderStyle() : sbsNone;
}

int TdxBarStaticControl::GetSizeValue(int index) {
  TdxBarStatic* s = Static();
  return s ? s->SizeValue(index) : 0;
}

TAlignment TdxBarStaticControl::GetAlignment() {
  TdxBarStatic* s = Static();
  return s ? s->Alignment() : taCenter;
}

bool TdxBarStaticControl::CanClicked() {
  TdxBarStatic* s = Static();
  return s && s->AllowClick();
}

bool TdxBarStaticControl::IsDestroyOnClick() { return CanClicked(); }

bool TdxBarStaticControl::CanSelect() {
  return TdxBarItemControl::CanSelect() && BarManager() && BarManager()->IsCustomizing();
}

void TdxBarStaticControl::CaptionChanged() {
  if (GetSizeValue(3) != 0)
    Repaint();
  else
    TdxBarItemControl::CaptionChanged();
}

void TdxBarStaticControl::GlyphChanged() {
  if (parent_) parent_->RepaintBar();
}

// ---------------------------------------------------------------- control: sizes

TdxBarStaticSize TdxBarStaticControl::Sizes() {
  TdxBarStaticSize s;
  TdxBarStatic* item = Static();
  TdxBarManager* m = BarManager();
  s.OnToolbar = dynamic_cast<TdxBarControl*>(parent_) != nullptr;
  s.Vertical = IsToolbarControlVertical(parent_);
  s.ShowCaption = !item || item->ShowCaption();
  if (s.ShowCaption) s.CaptionWidth = dxBarExtTextWidth(parent_, GetTextOf(GetCaption()));
  s.ImageExists = ImageExists();
  s.CanHaveZeroSize = CanHaveZeroSize();
  s.ButtonWidth = m ? m->ButtonWidth() : 0;
  s.ButtonHeight = m ? m->ButtonHeight() : 0;
  s.TextSize = parent_ ? parent_->TextSize() : 0;
  s.LeftIndent = GetSizeValue(1);
  s.RightIndent = GetSizeValue(2);
  s.Width = GetSizeValue(3);
  s.Height = GetSizeValue(4);
  s.BorderWidth = GetBorderWidth();
  return s;
}

int TdxBarStaticControl::GetDefaultWidth() { return Sizes().DefaultWidth(); }
int TdxBarStaticControl::GetDefaultHeight() { return Sizes().DefaultHeight(); }

int TdxBarStaticControl::GetWidth() { return IsToolbarControlVertical(parent_) ? GetDefaultHeight() : GetDefaultWidth(); }
int TdxBarStaticControl::GetHeight() { return IsToolbarControlVertical(parent_) ? GetDefaultWidth() : GetDefaultHeight(); }

// ---------------------------------------------------------------- control: painting

HBRUSH TdxBarStaticControl::BackgroundBrush() {
  return parent_->ItemBrush() ? parent_->ItemBrush() : parent_->GetToolbarBrush();
}

void TdxBarStaticControl::Paint(const TRect& rect, TdxBarPaintType paintType) {
  if (rect.left == rect.right || !parent_) return;
  HDC dc = CanvasHandle();
  HBRUSH brush = BackgroundBrush();
  TRect r = rect;
  bool vertical = paintType == ptVert;
  if (int indent = GetSizeValue(1)) {
    TRect band = r;
    if (vertical) {
      band.bottom = r.top + indent;
      r.top = band.bottom;
    } else {
      band.right = r.left + indent;
      r.left = band.right;
    }
    FillRect(dc, &band, brush);
  }
  if (int indent = GetSizeValue(2)) {
    TRect band = r;
    if (vertical) {
      band.top = r.bottom - indent;
      r.bottom = band.top;
    } else {
      band.left = r.right - indent;
      r.right = band.left;
    }
    FillRect(dc, &band, brush);
  }
  TdxBarStaticBorderStyle style = GetBorderStyle();
  if (style != sbsNone) {
    int width = GetBorderWidth();
    if (Flat()) {
      HBRUSH shadow = GetSysColorBrush(COLOR_BTNSHADOW);
      for (int i = 0; i < width; ++i) {
        FrameRect(dc, &r, shadow);
        InflateRect(&r, -1, -1);
      }
    } else if (style == sbsBump) {
      DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
      InflateRect(&r, -1, -1);
      DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
      InflateRect(&r, -1, -1);
    } else {
      UINT edge = style == sbsLowered ? BDR_SUNKENOUTER : style == sbsRaised ? BDR_RAISEDINNER : EDGE_ETCHED;
      DrawEdge(dc, &r, edge, BF_RECT);
      InflateRect(&r, -width, -width);
    }
  }
  DrawInterior(dc, r, paintType);
}

void TdxBarStaticControl::DrawInterior(HDC dc, const TRect& r, TdxBarPaintType paintType) {
  DrawGlyphAndCaption(dc, r, paintType, true);
}

void TdxBarStaticControl::DrawGlyphAndCaption(HDC dc, const TRect& r, TdxBarPaintType paintType, bool inInterior) {
  if (r.Empty()) return;
  TdxBarStatic* item = Static();
  bool showCaption = !item || item->ShowCaption();
  bool image = ImageExists();
  HBRUSH brush = BackgroundBrush();
  TdxBarManager* m = BarManager();
  bool vertical = paintType == ptVert;
  int t = image ? 2 : parent_->TextSize() / 4;
  TRect text = r;
  if (image) {
    TRect g = r;
    bool whole;
    if (paintType != ptMenu) {
      whole = inInterior;
      if (showCaption && m) {
        if (vertical) {
          g.bottom = std::min(r.bottom, r.top + m->ButtonHeight());
          text.top = g.bottom;
        } else {
          g.right = std::min(r.right, r.left + m->ButtonWidth());
          text.left = g.right;
        }
        whole = false;
      }
    } else {
      whole = inInterior && !showCaption;
      if (!whole) {
        g.right = std::min(r.right, r.left + r.Height());
        text.left = g.right;
      }
    }
    if (!whole && !text.Empty()) FillRect(dc, &text, brush);
    DrawGlyph(g, nullptr, paintType, false, false, false, false, whole, true, false);
  } else {
    FillRect(dc, &r, brush);
  }
  if (!showCaption) return;
  TAlignment align = GetAlignment();
  if (!(inInterior && align == taCenter)) {
    if (align == taLeftJustify) {
      if (vertical)
        text.top += t;
      else
        text.left += t;
    } else if (vertical) {
      text.bottom -= t;
    } else {
      text.right -= t;
    }
  }
  UINT format = align == taLeftJustify ? 0 : align == taRightJustify ? 2 : 1;
  DrawItemText(dc, GetCaption(), text, format, GetEnabled(), false, vertical, true, Flat());
}
