#include "Buttons.h"

#include <algorithm>
#include <vector>

#ifndef BS_TYPEMASK
#define BS_TYPEMASK 0x0000000FL
#endif

// ---------------------------------------------------------------- glyphs

// The glyph of a button: the bitmap as set, cut into its images (one per
// state), each drawn transparently.
class TButtonGlyph : public TObject {
 public:
  TButtonGlyph() : original_(new TBitmap) { original_->OnChange = {this, &TButtonGlyph::OriginalChanged}; }
  ~TButtonGlyph() override { original_->OnChange = nullptr; }

  TBitmap* Glyph() const { return original_.get(); }
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int value) {
    value = std::clamp(value, 1, 4);
    if (value == numGlyphs_) return;
    numGlyphs_ = value;
    OriginalChanged(this);
  }
  TSize GlyphSize() const {
    if (original_->Empty()) return TSize(0, 0);
    return TSize(original_->Width() / numGlyphs_, original_->Height());
  }

  // Draws the glyph and the caption laid out in client, moved by offset.
  void Draw(TCanvas* canvas, const TRect& client, const TPoint& offset, const String& caption,
            TButtonLayout layout, int margin, int spacing, TButtonState state, TFont* font);

  TNotifyEvent OnChange;

 private:
  void OriginalChanged(TObject*) {
    for (auto& i : images_) i.reset();
    if (OnChange) OnChange(this);
  }
  TBitmap* Image(TButtonState state);
  TBitmap* Cut(int index);
  TBitmap* MakeDisabled();

  TOwned<TBitmap> original_;
  int numGlyphs_ = 1;
  TOwned<TBitmap> images_[4];
};

TBitmap* TButtonGlyph::Cut(int index) {
  TSize s = GlyphSize();
  auto* img = new TBitmap;
  TOwned<TBitmap> owned(img);
  img->SetSize(s.cx, s.cy);
  img->Canvas()->CopyRect(TRect(0, 0, s.cx, s.cy), original_->Canvas(),
                          TRect(index * s.cx, 0, (index + 1) * s.cx, s.cy));
  img->SetTransparentColor(static_cast<TColor>(ColorToRGB(original_->TransparentColor()) & 0xFFFFFF));
  img->SetTransparent(true);
  return owned.release();
}

// An engraved copy of the first image: its darker pixels in the shadow
// colour, with a highlight below and right of them.
TBitmap* TButtonGlyph::MakeDisabled() {
  TBitmap* up = Image(bsUp);
  TSize s = GlyphSize();
  COLORREF transparent = ColorToRGB(original_->TransparentColor()) & 0xFFFFFF;
  COLORREF shadow = ColorToRGB(clBtnShadow), light = ColorToRGB(clBtnHighlight);
  COLORREF key = RGB(255, 0, 255);
  if (key == shadow || key == light) key = RGB(0, 255, 0);
  std::vector<bool> shape(static_cast<size_t>(s.cx) * static_cast<size_t>(s.cy));
  for (int y = 0; y < s.cy; ++y)
    for (int x = 0; x < s.cx; ++x) {
      COLORREF p = up->Canvas()->Pixel(x, y) & 0xFFFFFF;
      int lum = (GetRValue(p) * 30 + GetGValue(p) * 59 + GetBValue(p) * 11) / 100;
      shape[static_cast<size_t>(y * s.cx + x)] = p != transparent && lum < 224;
    }
  auto* img = new TBitmap;
  TOwned<TBitmap> owned(img);
  img->SetSize(s.cx, s.cy);
  TCanvas* c = img->Canvas();
  c->Brush()->SetColor(static_cast<TColor>(key));
  c->FillRect(TRect(0, 0, s.cx, s.cy));
  auto at = [&](int x, int y) { return x >= 0 && y >= 0 && x < s.cx && y < s.cy && shape[static_cast<size_t>(y * s.cx + x)]; };
  for (int y = 0; y < s.cy; ++y)
    for (int x = 0; x < s.cx; ++x)
      if (at(x, y) && x + 1 < s.cx && y + 1 < s.cy && !at(x + 1, y + 1))
        c->SetPixel(x + 1, y + 1, static_cast<TColor>(light));
  for (int y = 0; y < s.cy; ++y)
    for (int x = 0; x < s.cx; ++x)
      if (at(x, y)) c->SetPixel(x, y, static_cast<TColor>(shadow));
  img->SetTransparentColor(static_cast<TColor>(key));
  img->SetTransparent(true);
  return owned.release();
}

TBitmap* TButtonGlyph::Image(TButtonState state) {
  if (original_->Empty() || GlyphSize().cx == 0) return nullptr;
  int index = static_cast<int>(state);
  if (index >= numGlyphs_) {
    if (state == bsExclusive && numGlyphs_ > bsDown)
      index = bsDown;
    else if (state != bsDisabled)
      index = bsUp;
  }
  if (!images_[index]) images_[index].reset(index >= numGlyphs_ ? MakeDisabled() : Cut(index));
  return images_[index].get();
}

namespace {

// Places the glyph and the caption's box in client.
void CalcLayout(const TRect& client, TSize glyph, TSize text, TButtonLayout layout, int margin, int spacing,
                TPoint& glyphPos, TRect& textRect) {
  int cw = client.Width(), ch = client.Height();
  bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
  TPoint tp;
  if (horizontal) {
    glyphPos.y = (ch - glyph.cy + 1) / 2;
    tp.y = (ch - text.cy + 1) / 2;
  } else {
    glyphPos.x = (cw - glyph.cx + 1) / 2;
    tp.x = (cw - text.cx + 1) / 2;
  }
  // Without text or glyph the spacing means nothing.
  if (text.cx == 0 || glyph.cx == 0) spacing = 0;
  int room = horizontal ? cw : ch;
  int g = horizontal ? glyph.cx : glyph.cy, t = horizontal ? text.cx : text.cy;
  if (margin == -1) {
    if (spacing == -1) {
      margin = (room - g - t) / 3;
      spacing = margin;
    } else {
      margin = (room - (g + spacing + t) + 1) / 2;
    }
  } else if (spacing == -1) {
    spacing = (room - (margin + g) - t) / 2;
  }
  switch (layout) {
    case blGlyphLeft:
      glyphPos.x = margin;
      tp.x = glyphPos.x + glyph.cx + spacing;
      break;
    case blGlyphRight:
      glyphPos.x = cw - margin - glyph.cx;
      tp.x = glyphPos.x - spacing - text.cx;
      break;
    case blGlyphTop:
      glyphPos.y = margin;
      tp.y = glyphPos.y + glyph.cy + spacing;
      break;
    case blGlyphBottom:
      glyphPos.y = ch - margin - glyph.cy;
      tp.y = glyphPos.y - spacing - text.cy;
      break;
  }
  glyphPos.x += client.left;
  glyphPos.y += client.top;
  textRect = Bounds(tp.x + client.left, tp.y + client.top, text.cx, text.cy);
}

}  // namespace

void TButtonGlyph::Draw(TCanvas* canvas, const TRect& client, const TPoint& offset, const String& caption,
                        TButtonLayout layout, int margin, int spacing, TButtonState state, TFont* font) {
  HDC dc = canvas->Handle();
  TSize textSize(0, 0);
  const int n = static_cast<int>(caption.size());
  if (n > 0) {
    HGDIOBJ old = SelectObject(dc, font->Handle());
    RECT r{0, 0, client.Width(), 0};
    DrawTextA(dc, caption.c_str(), n, &r, DT_CALCRECT | DT_SINGLELINE);
    // Room for glyphs drawn wider than their measured extent.
    r.right += DrawTextOverhang(dc, caption, r, DT_SINGLELINE);
    SelectObject(dc, old);
    textSize = TSize(r.right - r.left, r.bottom - r.top);
  }
  TPoint glyphPos;
  TRect textRect;
  CalcLayout(client, GlyphSize(), textSize, layout, margin, spacing, glyphPos, textRect);
  if (TBitmap* img = Image(state)) canvas->Draw(glyphPos.x + offset.x, glyphPos.y + offset.y, img);
  if (n == 0) return;
  OffsetRect(&textRect, offset.x, offset.y);
  dc = canvas->Handle();
  HGDIOBJ old = SelectObject(dc, font->Handle());
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor;
  // The text rectangle is the caption's size: drawn from its left edge.
  const UINT flags = DT_VCENTER | DT_SINGLELINE;
  if (state == bsDisabled) {
    OffsetRect(&textRect, 1, 1);
    oldColor = SetTextColor(dc, ColorToRGB(clBtnHighlight));
    DrawTextA(dc, caption.c_str(), n, &textRect, flags);
    OffsetRect(&textRect, -1, -1);
    SetTextColor(dc, ColorToRGB(clBtnShadow));
  } else {
    oldColor = SetTextColor(dc, ColorToRGB(font->Color()));
  }
  DrawTextA(dc, caption.c_str(), n, &textRect, flags);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  SelectObject(dc, old);
}

// ---------------------------------------------------------------- TBitBtn

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner), glyph_(new TButtonGlyph) {
  // A second quick click is a click, not BN_DOUBLECLICKED.
  ControlStyle >> csDoubleClicks;
  glyph_->OnChange = {this, &TBitBtn::GlyphChanged};
}

TBitBtn::~TBitBtn() {
  if (handle_) DestroyHandle();
}

TBitmap* TBitBtn::Glyph() const { return glyph_->Glyph(); }
void TBitBtn::SetGlyph(TBitmap* value) { glyph_->Glyph()->Assign(value); }
TNumGlyphs TBitBtn::NumGlyphs() const { return glyph_->NumGlyphs(); }
void TBitBtn::SetNumGlyphs(TNumGlyphs value) { glyph_->SetNumGlyphs(value); }

void TBitBtn::SetLayout(TButtonLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void TBitBtn::SetMargin(int value) {
  if (value < -1) value = -1;
  if (value == margin_) return;
  margin_ = value;
  Invalidate();
}

void TBitBtn::SetSpacing(int value) {
  if (value < -1) value = -1;
  if (value == spacing_) return;
  spacing_ = value;
  Invalidate();
}

void TBitBtn::GlyphChanged(TObject*) { Invalidate(); }

void TBitBtn::CreateParams(TCreateParams& p) {
  TButton::CreateParams(p);
  p.WindowClass = &ControlSuperclass("TBitBtn", "BUTTON");
  p.Style = (p.Style & ~static_cast<DWORD>(BS_TYPEMASK)) | BS_OWNERDRAW;
}

void TBitBtn::EnabledChanged() {
  TButton::EnabledChanged();
  Invalidate();
}

// The owner-drawn face shows the default frame itself.
void TBitBtn::SetButtonStyle(bool) { Invalidate(); }

void TBitBtn::DrawItem(const DRAWITEMSTRUCT& d) {
  TRect r = d.rcItem;
  const bool pressed = d.itemState & ODS_SELECTED;
  const bool focused = d.itemState & ODS_FOCUS;
  const bool disabled = d.itemState & ODS_DISABLED;
  TCanvas canvas;
  canvas.SetHandle(d.hDC);
  struct TRelease {
    TCanvas& c;
    ~TRelease() { c.SetHandle(nullptr); }
  } release{canvas};
  if (focused || Active()) {
    canvas.Brush()->SetColor(clWindowFrame);
    canvas.FrameRect(r);
    InflateRect(&r, -1, -1);
  }
  DrawFrameControl(d.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (pressed ? DFCS_PUSHED : 0));
  TPoint offset = pressed ? TPoint(1, 1) : TPoint(0, 0);
  glyph_->Draw(&canvas, r, offset, Caption(), layout_, margin_, spacing_,
               disabled ? bsDisabled : pressed ? bsDown : bsUp, font_);
  if (focused) {
    TRect f = d.rcItem;
    InflateRect(&f, -4, -4);
    DrawFocusRect(d.hDC, &f);
  }
}

void TBitBtn::Dispatch(TMessage& msg) {
  if (msg.Msg == CN_DRAWITEM) {
    DrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(msg.LParam));
    msg.Result = 1;
    return;
  }
  TButton::Dispatch(msg);
}

// ---------------------------------------------------------------- TSpeedButton

// The action's Checked shows as Down.
class TSpeedButtonActionLink : public TControlActionLink {
 public:
  explicit TSpeedButtonActionLink(TSpeedButton* button) : TControlActionLink(button), button_(button) {}
  bool IsCheckedLinked() const override {
    return TControlActionLink::IsCheckedLinked() && button_->Down() == CustomAction()->Checked();
  }
  void SetChecked(bool value) override {
    if (ApplyingAll || IsCheckedLinked()) button_->ShowDown(value);
  }

 private:
  TSpeedButton* button_;
};

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner), glyph_(new TButtonGlyph) {
  // Clicks come from the button's own mouse handling; quick clicks stay
  // single clicks.
  ControlStyle >> csClickEvents;
  ControlStyle >> csDoubleClicks;
  width_ = 23;
  height_ = 22;
  glyph_->OnChange = {this, &TSpeedButton::GlyphChanged};
}

TSpeedButton::~TSpeedButton() {
  if (handle_) DestroyHandle();
}

TBitmap* TSpeedButton::Glyph() const { return glyph_->Glyph(); }
void TSpeedButton::SetGlyph(TBitmap* value) { glyph_->Glyph()->Assign(value); }
TNumGlyphs TSpeedButton::NumGlyphs() const { return glyph_->NumGlyphs(); }
void TSpeedButton::SetNumGlyphs(TNumGlyphs value) { glyph_->SetNumGlyphs(value); }
void TSpeedButton::GlyphChanged(TObject*) { Invalidate(); }

void TSpeedButton::SetFlat(bool value) {
  if (value == flat_) return;
  flat_ = value;
  transparent_ = value;
  Invalidate();
}

void TSpeedButton::SetGroupIndex(int value) {
  if (value == groupIndex_) return;
  groupIndex_ = value;
  if (value == 0 && down_) {
    down_ = false;
    state_ = bsUp;
    Invalidate();
  }
  UpdateExclusive();
}

void TSpeedButton::SetDown(bool value) {
  if (groupIndex_ == 0) value = false;
  if (value == down_) return;
  if (down_ && !allowAllUp_) return;
  ShowDown(value);
}

void TSpeedButton::ShowDown(bool value) {
  if (groupIndex_ == 0) value = false;
  if (value == down_) return;
  down_ = value;
  state_ = value ? bsExclusive : bsUp;
  Invalidate();
  if (value) UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool value) {
  if (value == allowAllUp_) return;
  allowAllUp_ = value;
  UpdateExclusive();
}

void TSpeedButton::SetLayout(TButtonLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void TSpeedButton::SetMargin(int value) {
  if (value < -1) value = -1;
  if (value == margin_) return;
  margin_ = value;
  Invalidate();
}

void TSpeedButton::SetSpacing(int value) {
  if (value < -1) value = -1;
  if (value == spacing_) return;
  spacing_ = value;
  Invalidate();
}

// The other buttons of the group go up and share AllowAllUp.
void TSpeedButton::UpdateExclusive() {
  if (groupIndex_ == 0 || !parent_) return;
  for (int i = 0; i < parent_->ControlCount(); ++i) {
    TControl* c = parent_->Controls(i);
    if (c != this) c->Perform(CM_BUTTONPRESSED, static_cast<WPARAM>(groupIndex_), reinterpret_cast<LPARAM>(this));
  }
}

void TSpeedButton::Paint() {
  TCanvas* c = Canvas();
  HDC dc = c->Handle();
  TRect r = ClientRect();
  TButtonState st = enabled_ ? state_ : bsDisabled;
  const bool pressed = st == bsDown || st == bsExclusive;
  if (!flat_) {
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (pressed ? DFCS_PUSHED : 0));
  } else if (pressed || (mouseInControl_ && st != bsDisabled)) {
    DrawEdge(dc, &r, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
  } else {
    InflateRect(&r, -1, -1);
  }
  if (st == bsExclusive && (!flat_ || !mouseInControl_)) {
    // A down button that is not being pressed shows a dithered face.
    COLORREF text = SetTextColor(dc, ColorToRGB(clBtnFace)), bk = SetBkColor(dc, ColorToRGB(clBtnHighlight));
    FillRect(dc, &r, HalftoneBrush());
    SetTextColor(dc, text);
    SetBkColor(dc, bk);
  }
  TPoint offset = pressed ? TPoint(1, 1) : TPoint(0, 0);
  glyph_->Draw(c, r, offset, Caption(), layout_, margin_, spacing_, st, font_);
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || !enabled_) return;
  if (!down_) {
    state_ = bsDown;
    Invalidate();
  }
  dragging_ = true;
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (!mouseInControl_ && enabled_ && handle_) {
    mouseInControl_ = true;
    TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, handle_, 0};
    TrackMouseEvent(&tme);
    if (flat_) Invalidate();
  }
  if (!dragging_) return;
  TButtonState s = down_ ? bsExclusive : bsUp;
  if (x >= 0 && x < width_ && y >= 0 && y < height_) s = down_ ? bsExclusive : bsDown;
  if (s != state_) {
    state_ = s;
    Invalidate();
  }
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (button != mbLeft || !dragging_) return;
  dragging_ = false;
  const bool inside = x >= 0 && x < width_ && y >= 0 && y < height_;
  if (groupIndex_ == 0) {
    state_ = bsUp;
  } else if (inside) {
    SetDown(!down_);
  } else {
    state_ = down_ ? bsExclusive : bsUp;
  }
  // A grouped button kept down by its group shows as down.
  if (down_) state_ = bsExclusive;
  Invalidate();
  if (inside) Click();
}

void TSpeedButton::EnabledChanged() {
  TGraphicControl::EnabledChanged();
  if (!enabled_) {
    dragging_ = false;
    mouseInControl_ = false;
    state_ = down_ ? bsExclusive : bsUp;
  }
  Invalidate();
}

void TSpeedButton::TextChanged() {
  TGraphicControl::TextChanged();
  Invalidate();
}

TControlActionLink* TSpeedButton::CreateActionLink() { return new TSpeedButtonActionLink(this); }

void TSpeedButton::ActionChange(TObject* sender, bool checkDefaults) {
  TGraphicControl::ActionChange(sender, checkDefaults);
  auto* a = dynamic_cast<TCustomAction*>(sender);
  if (!a) return;
  if (groupIndex_ == 0 && a->GroupIndex() != 0) SetGroupIndex(a->GroupIndex());
  if (!checkDefaults || !down_) ShowDown(a->Checked());
}

void TSpeedButton::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_MOUSELEAVE:
      mouseInControl_ = false;
      if (flat_) Invalidate();
      msg.Result = 0;
      return;
    case CM_BUTTONPRESSED: {
      auto* sender = reinterpret_cast<TSpeedButton*>(msg.LParam);
      if (groupIndex_ != 0 && static_cast<int>(msg.WParam) == groupIndex_ && sender && sender != this) {
        if (sender->down_ && down_) {
          down_ = false;
          state_ = bsUp;
          Invalidate();
        }
        allowAllUp_ = sender->allowAllUp_;
      }
      msg.Result = 0;
      return;
    }
    case CM_DIALOGCHAR:
      msg.Result = 0;
      if (IsAccel(static_cast<WORD>(msg.WParam), Caption()) && enabled_ && visible_ && parent_ && parent_->Showing()) {
        Click();
        msg.Result = 1;
      }
      return;
    default:
      TGraphicControl::Dispatch(msg);
  }
}
