// The large button: its glyphs and image indexes, its sizes and painting on
// toolbars (glyph layouts, the hot glyph, grey while not hot); in menus it
// is the plain button.
#include "Dxbarlargebutton.h"
#include "Dxbarstatic.h"

DX_BAR_ITEM_CLASS_IMPL(TdxBarLargeButton)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarLargeButtonControl)

// ---------------------------------------------------------------- item

TdxBarLargeButton::TdxBarLargeButton(TComponent* owner) : TdxBarButton(owner) {
  hotGlyph_.reset(new TBitmap);
  hotGlyph_->OnChange = [this](TObject*) { HotGlyphChanged(); };
  largeGlyph_.reset(new TBitmap);
  largeGlyph_->OnChange = [this](TObject*) { LargeGlyphChanged(); };
}

TdxBarLargeButton::~TdxBarLargeButton() {
  hotGlyph_.reset();
  largeGlyph_.reset();
}

template <class F>
void TdxBarLargeButton::ForControls(F f) {
  for (int i = 0; i < LinkCount(); ++i)
    if (auto* c = dynamic_cast<TdxBarLargeButtonControl*>(Links(i)->Control())) f(c);
}

void TdxBarLargeButton::SetAutoGrayScale(bool value) {
  if (value == autoGrayScale_) return;
  autoGrayScale_ = value;
  Update();
}

void TdxBarLargeButton::SetGlyphLayout(TdxBarGlyphLayout value) {
  if (value == glyphLayout_) return;
  glyphLayout_ = value;
  GlyphLayoutChanged();
}

void TdxBarLargeButton::SetHeight(int value) {
  if (value < 0 || value == height_) return;
  height_ = value;
  HeightChanged();
}

void TdxBarLargeButton::SetWidth(int value) {
  if (value < 0 || value == width_) return;
  width_ = value;
  WidthChanged();
}

void TdxBarLargeButton::SetHotImageIndex(int value) {
  if (value == hotImageIndex_) return;
  hotImageIndex_ = value;
  HotGlyphChanged();
}

void TdxBarLargeButton::SetLargeImageIndex(int value) {
  if (value == largeImageIndex_) return;
  largeImageIndex_ = value;
  LargeGlyphChanged();
}

void TdxBarLargeButton::SetShowCaption(bool value) {
  if (value == showCaption_) return;
  showCaption_ = value;
  ShowCaptionChanged();
}

bool TdxBarLargeButton::IsHotImageLinked() const {
  TCustomImageList* list = BarManager() ? BarManager()->HotImages() : nullptr;
  return dxBarImageLinked(list != nullptr, list ? list->Count() : 0, hotImageIndex_);
}

bool TdxBarLargeButton::IsLargeImageLinked() const {
  TCustomImageList* list = BarManager() ? BarManager()->LargeImages() : nullptr;
  return dxBarImageLinked(list != nullptr, list ? list->Count() : 0, largeImageIndex_);
}

bool TdxBarLargeButton::HasAccel(TdxBarItemLink* link) const {
  if (!TdxBarButton::HasAccel(link)) return false;
  bool onToolbar = link && dynamic_cast<TdxBar*>(link->Owner()->Owner());
  return !(onToolbar && !showCaption_);
}

void TdxBarLargeButton::HotGlyphChanged() {
  ForControls([](TdxBarLargeButtonControl* c) { c->HotGlyphChanged(); });
}

void TdxBarLargeButton::LargeGlyphChanged() {
  ForControls([](TdxBarLargeButtonControl* c) { c->LargeGlyphChanged(); });
}

void TdxBarLargeButton::GlyphLayoutChanged() {
  ForControls([](TdxBarLargeButtonControl* c) { c->GlyphLayoutChanged(); });
}

void TdxBarLargeButton::HeightChanged() {
  ForControls([](TdxBarLargeButtonControl* c) { c->HeightChanged(); });
}

void TdxBarLargeButton::ShowCaptionChanged() {
  ForControls([](TdxBarLargeButtonControl* c) { c->ShowCaptionChanged(); });
}

void TdxBarLargeButton::WidthChanged() {
  ForControls([](TdxBarLargeButtonControl* c) { c->WidthChanged(); });
}

// ---------------------------------------------------------------- control: values

bool TdxBarLargeButtonControl::OnToolbar() const { return dynamic_cast<TdxBarControl*>(parent_) != nullptr; }

TBitmap* TdxBarLargeButtonControl::GetHotGlyph() const {
  TdxBarLargeButton* b = LargeButton();
  return b ? b->HotGlyph() : nullptr;
}

TBitmap* TdxBarLargeButtonControl::GetLargeGlyph() const {
  TdxBarLargeButton* b = LargeButton();
  return b ? b->LargeGlyph() : nullptr;
}

bool TdxBarLargeButtonControl::IsSizeAssigned() const {
  TdxBarLargeButton* b = LargeButton();
  return b && b->Width() != 0 && b->Height() != 0;
}

bool TdxBarLargeButtonControl::GetCurrentImage(bool hot, TBitmap*& bitmap, TCustomImageList*& images, int& index) {
  bitmap = nullptr;
  images = nullptr;
  index = -1;
  TdxBarLargeButton* b = LargeButton();
  TdxBarManager* m = BarManager();
  TBitmap* hotGlyph = GetHotGlyph();
  TBitmap* largeGlyph = GetLargeGlyph();
  TdxBarLargeImageSource source =
      dxBarLargeButtonImage(hot, hotGlyph && !hotGlyph->Empty(), b && b->IsHotImageLinked(),
                            largeGlyph && !largeGlyph->Empty(), b && b->IsLargeImageLinked());
  switch (source) {
    case lisHotGlyph:
      bitmap = hotGlyph;
      return true;
    case lisLargeGlyph:
      bitmap = largeGlyph;
      return true;
    case lisHotImages:
      images = m->HotImages();
      index = b->HotImageIndex();
      return true;
    case lisLargeImages:
      images = m->LargeImages();
      index = b->LargeImageIndex();
      return true;
    case lisNone:
      break;
  }
  if (m) images = m->LargeImages() ? m->LargeImages() : m->HotImages();
  return false;
}

TdxBarLargeButtonSize TdxBarLargeButtonControl::Sizes() {
  TdxBarLargeButtonSize s;
  TdxBarLargeButton* b = LargeButton();
  s.Vertical = IsToolbarControlVertical(parent_);
  s.ShowCaption = !b || b->ShowCaption();
  s.Layout = b ? b->GlyphLayout() : glTop;
  TBitmap* bitmap;
  TCustomImageList* images;
  int index;
  GetCurrentImage(false, bitmap, images, index);
  if (bitmap) {
    s.HasImage = true;
    s.ImageWidth = bitmap->Width();
    s.ImageHeight = bitmap->Height();
  } else if (images) {
    s.HasImage = true;
    s.ImageWidth = images->Width();
    s.ImageHeight = images->Height();
  }
  if (s.ShowCaption) {
    s.TextHeight = dxBarExtTextHeight(parent_, "Qq");
    s.TextWidth = dxBarExtTextWidth(parent_, GetTextOf(GetCaption()));
  }
  s.Width = b ? b->Width() : 0;
  s.Height = b ? b->Height() : 0;
  s.Lowered = b && b->Lowered();
  s.DropDown = b && b->ButtonStyle() == bsDropDown;
  s.ArrowWidth = s.DropDown ? ArrowWidth() : 0;
  return s;
}

int TdxBarLargeButtonControl::ArrowWidth() {
  TdxBarManager* m = BarManager();
  if (OnToolbar() && m) return m->RealLargeButtonArrowWidth();
  return TdxBarButtonControl::ArrowWidth();
}

int TdxBarLargeButtonControl::GetDefaultHeight() {
  return OnToolbar() ? Sizes().DefaultHeight() : TdxBarButtonControl::GetDefaultHeight();
}

int TdxBarLargeButtonControl::GetDefaultWidth() {
  return OnToolbar() ? Sizes().DefaultWidth() : TdxBarButtonControl::GetDefaultWidth();
}

int TdxBarLargeButtonControl::GetHeight() {
  return OnToolbar() ? Sizes().ControlHeight() : TdxBarButtonControl::GetHeight();
}

int TdxBarLargeButtonControl::GetWidth() {
  return OnToolbar() ? Sizes().ControlWidth() : TdxBarButtonControl::GetWidth();
}

// ---------------------------------------------------------------- control: notifications

void TdxBarLargeButtonControl::Relayout() {
  if (OnToolbar()) parent_->RepaintBar();
}

void TdxBarLargeButtonControl::GlyphLayoutChanged() { Relayout(); }
void TdxBarLargeButtonControl::HeightChanged() { Relayout(); }
void TdxBarLargeButtonControl::ShowCaptionChanged() { Relayout(); }
void TdxBarLargeButtonControl::WidthChanged() { Relayout(); }

void TdxBarLargeButtonControl::LargeGlyphChanged() {
  if (!OnToolbar()) return;
  if (IsSizeAssigned())
    Repaint();
  else
    parent_->RepaintBar();
}

// ---------------------------------------------------------------- control: painting

TBitmap* TdxBarLargeButtonControl::GetGlyph() {
  return drawing_ ? drawBitmap_ : TdxBarButtonControl::GetGlyph();
}

TCustomImageList* TdxBarLargeButtonControl::GetImages() {
  return drawing_ ? drawImages_ : TdxBarButtonControl::GetImages();
}

int TdxBarLargeButtonControl::GetImageIndex() {
  return drawing_ ? drawIndex_ : TdxBarButtonControl::GetImageIndex();
}

void TdxBarLargeButtonControl::Paint(const TRect& rect, TdxBarPaintType paintType) {
  if (paintType == ptMenu) {
    TdxBarButtonControl::Paint(rect, paintType);
    return;
  }
  if (rect.left == rect.right) return;
  TdxBarLargeButton* b = LargeButton();
  TdxBarButtonStyle style = b ? b->ButtonStyle() : bsDefault;
  bool down = b && b->Down();
  HDC dc = CanvasHandle();
  TRect r = rect;
  if (b && b->Lowered()) DrawLowered(dc, r);
  bool selected = DrawSelected();
  TRect ir = r;
  if (style == bsDropDown) ir.right -= ArrowWidth();
  bool droppedFlat = GetDroppedDownFlat();
  TRect background = droppedFlat ? r : ir;
  bool held = parent_->IsActive() || parent_->CapturedControl() == this;
  bool pressed = (selected && held && MousePressed() && !DroppedDown) || ((pressed_ || PressedMark) && style != bsChecked);
  InflateRect(&ir, -1, -1);
  if (!Flat()) {
    int shift = (down ? 1 : 0) + (pressed ? 1 : 0);
    OffsetRect(&ir, shift, shift);
  }

  TBitmap* bitmap;
  TCustomImageList* images;
  int index;
  bool found = GetCurrentImage(selected, bitmap, images, index);
  TSize size(20, 20);
  if (bitmap)
    size = TSize(bitmap->Width(), bitmap->Height());
  else if (images)
    size = TSize(images->Width(), images->Height());
  TdxBarLargeButtonSize sizes = Sizes();
  sizes.Vertical = paintType == ptVert;
  TRect glyph = sizes.GlyphRect(ir, size);
  bool glyphDown = down || droppedFlat;
  bool grey = !selected && b && b->AutoGrayScale();
  drawing_ = true;
  drawBitmap_ = found ? bitmap : nullptr;
  drawImages_ = found ? images : nullptr;
  drawIndex_ = index;
  try {
    HBRUSH brush = GlyphBackgroundBrush(paintType, selected, glyphDown, pressed, !found, false, style == bsDropDown);
    DrawGlyphAndBkgnd(dc, background, glyph, brush, !found, paintType, selected, glyphDown, pressed,
                      style == bsDropDown, grey);
  } catch (...) {
    drawing_ = false;
    throw;
  }
  drawing_ = false;

  if (sizes.ShowCaption) {
    UINT format = 1;
    TRect text = sizes.TextRect(ir, glyph, format);
    bool flatSelected = IsFlatTextSelected(pressed);
    DrawItemText(dc, GetCaption(), text, format, GetEnabled(), flatSelected, paintType == ptVert, false,
                 Flat() && !flatSelected);
  }
  if (style == bsDropDown) DrawArrow(r, selected, paintType);
}
