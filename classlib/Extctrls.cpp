#include "Extctrls.h"

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------- helpers

void Frame3D(TCanvas* canvas, TRect& r, TColor top, TColor bottom, int width) {
  TBrush* b = canvas->Brush();
  TColor savedColor = b->Color();
  TBrushStyle savedStyle = b->Style();
  b->SetStyle(bsSolid);
  for (int i = 0; i < width && r.Width() > 0 && r.Height() > 0; ++i) {
    b->SetColor(top);
    canvas->FillRect(TRect(r.left, r.top, r.right - 1, r.top + 1));
    canvas->FillRect(TRect(r.left, r.top, r.left + 1, r.bottom - 1));
    b->SetColor(bottom);
    canvas->FillRect(TRect(r.right - 1, r.top, r.right, r.bottom));
    canvas->FillRect(TRect(r.left, r.bottom - 1, r.right, r.bottom));
    InflateRect(&r, -1, -1);
  }
  b->SetColor(savedColor);
  b->SetStyle(savedStyle);
}

HBRUSH HalftoneBrush() {
  static HBRUSH brush = [] {
    WORD bits[8];
    for (int i = 0; i < 8; ++i) bits[i] = static_cast<WORD>(i % 2 ? 0xAA : 0x55);
    HBITMAP bm = CreateBitmap(8, 8, 1, 1, bits);
    HBRUSH b = CreatePatternBrush(bm);
    DeleteObject(bm);
    return b;
  }();
  return brush;
}

namespace {

void Line(TCanvas* c, TColor color, int x1, int y1, int x2, int y2) {
  c->Pen()->SetColor(color);
  c->MoveTo(x1, y1);
  c->LineTo(x2, y2);
}

// Top and left in c1, bottom and right in c2, corners included.
void BevelRect(TCanvas* c, const TRect& r, TColor c1, TColor c2) {
  TPoint a[3] = {TPoint(r.left, r.bottom), TPoint(r.left, r.top), TPoint(r.right, r.top)};
  c->Pen()->SetColor(c1);
  c->Polyline(a, 3);
  TPoint b[3] = {TPoint(r.right, r.top), TPoint(r.right, r.bottom), TPoint(r.left - 1, r.bottom)};
  c->Pen()->SetColor(c2);
  c->Polyline(b, 3);
}

}  // namespace

// ---------------------------------------------------------------- TBevel

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
  width_ = 50;
  height_ = 50;
  transparent_ = true;
}

void TBevel::SetShape(TBevelShape value) {
  if (value == shape_) return;
  shape_ = value;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle value) {
  if (value == style_) return;
  style_ = value;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas* c = Canvas();
  c->Pen()->SetWidth(1);
  c->Pen()->SetStyle(psSolid);
  TColor c1 = style_ == bsLowered ? clBtnShadow : clBtnHighlight;
  TColor c2 = style_ == bsLowered ? clBtnHighlight : clBtnShadow;
  const int w = width_, h = height_;
  switch (shape_) {
    case bsBox:
      BevelRect(c, TRect(0, 0, w - 1, h - 1), c1, c2);
      break;
    case bsFrame:
      BevelRect(c, TRect(1, 1, w - 1, h - 1), c2, c2);
      BevelRect(c, TRect(0, 0, w - 2, h - 2), c1, c1);
      break;
    case bsTopLine:
      Line(c, c1, 0, 0, w, 0);
      Line(c, c2, 0, 1, w, 1);
      break;
    case bsBottomLine:
      Line(c, c1, 0, h - 2, w, h - 2);
      Line(c, c2, 0, h - 1, w, h - 1);
      break;
    case bsLeftLine:
      Line(c, c1, 0, 0, 0, h);
      Line(c, c2, 1, 0, 1, h);
      break;
    case bsRightLine:
      Line(c, c1, w - 2, 0, w - 2, h);
      Line(c, c2, w - 1, 0, w - 1, h);
      break;
    case bsSpacer:
      break;
  }
}

void TBevel::Dispatch(TMessage& msg) {
  if (msg.Msg == WM_NCHITTEST) {
    msg.Result = HTTRANSPARENT;
    return;
  }
  TGraphicControl::Dispatch(msg);
}

// ---------------------------------------------------------------- TCustomPanel

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  ControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque, csDoubleClicks};
  width_ = 185;
  height_ = 41;
  bevelOuter_ = bvRaised;
}

void TCustomPanel::CreateParams(TCreateParams& p) {
  // A class without CS_HREDRAW and CS_VREDRAW: resizing repaints what
  // FullRepaint says.
  TWinControl::CreateParams(p);
  p.WindowClass = &ControlWindowClass(ClassName().c_str(), CS_DBLCLKS);
  if (borderStyle_ == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
}

int TCustomPanel::FrameWidth() const {
  int w = borderWidth_;
  if (bevelOuter_ != bvNone) w += bevelWidth_;
  if (bevelInner_ != bvNone) w += bevelWidth_;
  return w;
}

void TCustomPanel::AdjustClientRect(TRect& rect) {
  int w = FrameWidth();
  InflateRect(&rect, -w, -w);
}

void TCustomPanel::Changed() {
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelOuter(TBevelCut value) {
  if (value == bevelOuter_) return;
  bevelOuter_ = value;
  Changed();
}

void TCustomPanel::SetBevelInner(TBevelCut value) {
  if (value == bevelInner_) return;
  bevelInner_ = value;
  Changed();
}

void TCustomPanel::SetBevelWidth(int value) {
  if (value < 1) value = 1;
  if (value == bevelWidth_) return;
  bevelWidth_ = value;
  Changed();
}

void TCustomPanel::SetBorderWidth(int value) {
  if (value < 0) value = 0;
  if (value == borderWidth_) return;
  borderWidth_ = value;
  Changed();
}

void TCustomPanel::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  RecreateWnd();
}

void TCustomPanel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TCustomPanel::TextChanged() {
  TCustomControl::TextChanged();
  Invalidate();
}

void TCustomPanel::FontChanged() {
  TCustomControl::FontChanged();
  Invalidate();
}

void TCustomPanel::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  auto bevel = [&](TBevelCut cut) {
    if (cut == bvNone) return;
    if (cut == bvSpace)
      Frame3D(c, r, color_, color_, bevelWidth_);
    else if (cut == bvLowered)
      Frame3D(c, r, clBtnShadow, clBtnHighlight, bevelWidth_);
    else
      Frame3D(c, r, clBtnHighlight, clBtnShadow, bevelWidth_);
  };
  bevel(bevelOuter_);
  Frame3D(c, r, color_, color_, borderWidth_);
  bevel(bevelInner_);
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(color_);
  c->FillRect(r);
  String text = Caption();
  if (text.empty()) return;
  c->Font()->Assign(font_);
  c->Brush()->SetStyle(bsClear);
  UINT flags = DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER;
  if (alignment_ == taCenter) flags |= DT_CENTER;
  if (alignment_ == taRightJustify) flags |= DT_RIGHT;
  c->DrawText(text, r, flags);
}

// Without full repaints only what moved is painted again: the frame at the
// right and bottom edges (old and new) and the caption's band.
void TCustomPanel::Resized(int oldWidth, int oldHeight) {
  if (!handle_) return;
  if (fullRepaint_) {
    InvalidateRect(handle_, nullptr, TRUE);
    return;
  }
  RECT c;
  GetClientRect(handle_, &c);
  int band = FrameWidth();
  for (auto [w, h] : {std::pair<int, int>(oldWidth, oldHeight), std::pair<int, int>(c.right, c.bottom)}) {
    RECT right{w - band, 0, w, h}, bottom{0, h - band, w, h};
    InvalidateRect(handle_, &right, TRUE);
    InvalidateRect(handle_, &bottom, TRUE);
  }
  if (!Caption().empty()) {
    // The caption's line, where it was and where it goes.
    HDC dc = GetDC(handle_);
    HGDIOBJ old = SelectObject(dc, font_->Handle());
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(handle_, dc);
    int w = std::max<int>(c.right, oldWidth);
    for (int h : {oldHeight, static_cast<int>(c.bottom)}) {
      RECT line{0, (h - tm.tmHeight) / 2, w, (h - tm.tmHeight) / 2 + tm.tmHeight};
      InvalidateRect(handle_, &line, TRUE);
    }
  }
}

void TCustomPanel::Dispatch(TMessage& msg) {
  if (msg.Msg == WM_SIZE) {
    int ow = clientWidth_, oh = clientHeight_;
    clientWidth_ = LOWORD(msg.LParam);
    clientHeight_ = HIWORD(msg.LParam);
    TCustomControl::Dispatch(msg);
    Resized(ow, oh);
    return;
  }
  TCustomControl::Dispatch(msg);
}

// ---------------------------------------------------------------- TImage

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(new TPicture) {
  width_ = 105;
  height_ = 105;
  // Whatever the picture leaves free shows the parent.
  transparent_ = true;
  picture_->OnChange = {this, &TImage::PictureChanged};
}

TImage::~TImage() { picture_->OnChange = nullptr; }

void TImage::SetStretch(bool value) {
  if (value == stretch_) return;
  stretch_ = value;
  Invalidate();
}

void TImage::SetCenter(bool value) {
  if (value == center_) return;
  center_ = value;
  Invalidate();
}

void TImage::SetProportional(bool value) {
  if (value == proportional_) return;
  proportional_ = value;
  Invalidate();
}

void TImage::SetTransparent(bool value) {
  if (value == transparentPicture_) return;
  transparentPicture_ = value;
  PictureChanged(this);
}

void TImage::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  if (value) PictureChanged(this);
}

void TImage::PictureChanged(TObject*) {
  TGraphic* g = picture_->Graphic();
  if (g && !dynamic_cast<TIcon*>(g) && g->Transparent() != transparentPicture_) g->SetTransparent(transparentPicture_);
  if (autoSize_ && picture_->Width() > 0 && picture_->Height() > 0)
    SetBounds(left_, top_, picture_->Width(), picture_->Height());
  Invalidate();
}

TRect TImage::DestRect() {
  int w = picture_->Width(), h = picture_->Height();
  TRect client = ClientRect();
  int cw = client.Width(), ch = client.Height();
  if (w > 0 && h > 0 && (stretch_ || (proportional_ && (w > cw || h > ch)))) {
    if (proportional_) {
      double xr = static_cast<double>(cw) / w, yr = static_cast<double>(ch) / h;
      if (xr > yr) {
        w = static_cast<int>(std::lround(w * yr));
        h = ch;
      } else {
        h = static_cast<int>(std::lround(h * xr));
        w = cw;
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  TRect r(0, 0, w, h);
  if (center_) OffsetRect(&r, (cw - w) / 2, (ch - h) / 2);
  return r;
}

void TImage::Paint() {
  TGraphic* g = picture_->Graphic();
  if (!g || g->Empty()) return;
  Canvas()->StretchDraw(DestRect(), g);
}

// ---------------------------------------------------------------- TSplitter

TSplitter::TSplitter(TComponent* owner) : TGraphicControl(owner) {
  ControlStyle >> csDoubleClicks;
  ControlStyle >> csClickEvents;
  align_ = alLeft;
  width_ = 3;
  height_ = 100;
  cursor_ = crHSplit;
  parentColor_ = true;
}

TSplitter::~TSplitter() {
  if (lineVisible_) DrawLine();
}

void TSplitter::SetBeveled(bool value) {
  if (value == beveled_) return;
  beveled_ = value;
  Invalidate();
}

void TSplitter::UpdateCursor() {
  if (cursor_ != crHSplit && cursor_ != crVSplit) return;
  SetCursor(Horizontal() || align_ == alNone ? crHSplit : crVSplit);
}

void TSplitter::SetBounds(int left, int top, int width, int height) {
  TGraphicControl::SetBounds(left, top, width, height);
  UpdateCursor();
}

TControl* TSplitter::Neighbour() const {
  if (!parent_) return nullptr;
  TPoint p(left_, top_);
  switch (align_) {
    case alLeft:
      p.x -= 1;
      break;
    case alRight:
      p.x += width_;
      break;
    case alTop:
      p.y -= 1;
      break;
    case alBottom:
      p.y += height_;
      break;
    default:
      return nullptr;
  }
  for (int i = 0; i < parent_->ControlCount(); ++i) {
    TControl* c = parent_->Controls(i);
    if (c == this || !c->Visible() || !c->Enabled()) continue;
    TRect r = c->BoundsRect();
    // A control shrunk to nothing is still found.
    if (r.Width() == 0) {
      if (align_ == alLeft || align_ == alTop)
        --r.left;
      else
        ++r.right;
    }
    if (r.Height() == 0) {
      if (align_ == alLeft || align_ == alTop)
        --r.top;
      else
        ++r.bottom;
    }
    if (r.Contains(p)) return c;
  }
  return nullptr;
}

int TSplitter::SizeOf(TControl* c) const { return Horizontal() ? c->Width() : c->Height(); }

void TSplitter::ResizeControl(int size) {
  if (!control_) return;
  if (Horizontal())
    control_->SetWidth(size);
  else
    control_->SetHeight(size);
}

bool TSplitter::DoCanResize(int& newSize) {
  bool accept = true;
  if (OnCanResize) OnCanResize(this, newSize, accept);
  return accept;
}

void TSplitter::Moved() {
  if (OnMoved) OnMoved(this);
}

int TSplitter::MaxSizeOf(TControl* control) const {
  if (!parent_) return 0;
  bool horizontal = Horizontal();
  TRect client = parent_->ClientRect();
  int size = (horizontal ? client.Width() : client.Height()) - minSize_;
  for (int i = 0; i < parent_->ControlCount(); ++i) {
    TControl* c = parent_->Controls(i);
    if (!c->Visible() || c == control) continue;
    TAlign a = c->Align();
    if (horizontal ? (a == alLeft || a == alRight) : (a == alTop || a == alBottom)) size -= SizeOf(c);
  }
  return size;
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || control_) return;
  control_ = Neighbour();
  if (!control_) return;
  maxSize_ = MaxSizeOf(control_);
  bool horizontal = Horizontal();
  startSize_ = newSize_ = SizeOf(control_);
  TPoint p = ClientToScreen(TPoint(x, y));
  startPos_ = horizontal ? p.x : p.y;
  if (resizeStyle_ == rsLine || resizeStyle_ == rsPattern) DrawLine();
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (!control_) return;
  TPoint p = ClientToScreen(TPoint(x, y));
  int delta = (Horizontal() ? p.x : p.y) - startPos_;
  int size = (align_ == alLeft || align_ == alTop) ? startSize_ + delta : startSize_ - delta;
  if (size > maxSize_) size = maxSize_;
  if (size < minSize_) size = minSize_;
  if (!DoCanResize(size) || size == newSize_) return;
  bool line = lineVisible_;
  if (line) DrawLine();
  newSize_ = size;
  if (resizeStyle_ == rsUpdate) ResizeControl(size);
  if (line) DrawLine();
}

// The line shows where the splitter goes; drawn twice it is gone.
void TSplitter::DrawLine() {
  if (!parent_ || !parent_->HandleAllocated()) return;
  if (!lineVisible_) {
    TRect r = BoundsRect();
    int d = control_ ? newSize_ - SizeOf(control_) : 0;
    switch (align_) {
      case alLeft:
        OffsetRect(&r, d, 0);
        break;
      case alRight:
        OffsetRect(&r, -d, 0);
        break;
      case alTop:
        OffsetRect(&r, 0, d);
        break;
      case alBottom:
        OffsetRect(&r, 0, -d);
        break;
      default:
        break;
    }
    lineRect_ = r;
  }
  HDC dc = GetDCEx(parent_->Handle(), nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
  if (!dc) return;
  const TRect& r = lineRect_;
  if (resizeStyle_ == rsPattern) {
    COLORREF text = SetTextColor(dc, RGB(255, 255, 255)), bk = SetBkColor(dc, RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(dc, HalftoneBrush());
    PatBlt(dc, r.left, r.top, r.Width(), r.Height(), PATINVERT);
    SelectObject(dc, old);
    SetTextColor(dc, text);
    SetBkColor(dc, bk);
  } else {
    PatBlt(dc, r.left, r.top, r.Width(), r.Height(), DSTINVERT);
  }
  ReleaseDC(parent_->Handle(), dc);
  lineVisible_ = !lineVisible_;
}

void TSplitter::StopSizing(bool apply) {
  if (!control_) return;
  if (lineVisible_) DrawLine();
  if (apply) {
    if (resizeStyle_ != rsUpdate && newSize_ != SizeOf(control_)) ResizeControl(newSize_);
  } else if (resizeStyle_ == rsUpdate) {
    ResizeControl(startSize_);
  }
  control_ = nullptr;
  if (apply) Moved();
}

void TSplitter::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_LBUTTONUP:
      // Before the capture goes, which would cancel the drag.
      StopSizing(true);
      break;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(msg.LParam) != handle_) StopSizing(false);
      break;
    case WM_SETCURSOR:
      UpdateCursor();
      break;
    default:
      break;
  }
  TGraphicControl::Dispatch(msg);
}

void TSplitter::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(color_);
  c->FillRect(r);
  if (!beveled_) return;
  if (Horizontal())
    InflateRect(&r, -1, 2);
  else
    InflateRect(&r, 2, -1);
  OffsetRect(&r, 1, 1);
  c->Brush()->SetColor(clBtnHighlight);
  c->FrameRect(r);
  OffsetRect(&r, -2, -2);
  c->Brush()->SetColor(clBtnShadow);
  c->FrameRect(r);
}

// ---------------------------------------------------------------- TCustomRadioGroup

// A radio button of a group: its click tells the group.
class TGroupButton : public TRadioButton {
 public:
  explicit TGroupButton(TCustomRadioGroup* group) : TRadioButton(nullptr), group_(group) {}
  void Click() override {
    TRadioButton::Click();
    if (Checked()) group_->ButtonClicked(this);
  }

 private:
  TCustomRadioGroup* group_;
};

TCustomRadioGroup::TCustomRadioGroup(TComponent* owner) : TCustomGroupBox(owner), items_(new TStringList) {
  items_->OnChange = {this, &TCustomRadioGroup::ItemsChange};
}

TCustomRadioGroup::~TCustomRadioGroup() {
  items_->OnChange = nullptr;
  // The buttons are children: the parent frees them.
  buttons_.clear();
}

TStrings* TCustomRadioGroup::Items() const { return items_.get(); }
void TCustomRadioGroup::SetItems(TStrings* value) { items_->Assign(value); }

TRadioButton* TCustomRadioGroup::Buttons(int index) const {
  if (index < 0 || index >= static_cast<int>(buttons_.size()))
    throw EListError(Format("List index out of bounds (%d)", index));
  return buttons_[static_cast<size_t>(index)];
}

void TCustomRadioGroup::SetItemIndex(int value) {
  if (IsLoading()) {
    itemIndex_ = value;
    return;
  }
  int n = static_cast<int>(buttons_.size());
  if (value < -1) value = -1;
  if (value >= n) value = n - 1;
  if (value == itemIndex_) return;
  if (itemIndex_ >= 0 && itemIndex_ < n) buttons_[static_cast<size_t>(itemIndex_)]->SetChecked(false);
  itemIndex_ = value;
  // Checking the button clicks it, which tells the group (OnClick).
  if (value >= 0) buttons_[static_cast<size_t>(value)]->SetChecked(true);
}

void TCustomRadioGroup::SetColumns(int value) {
  if (value < 1) value = 1;
  if (value > 16) value = 16;
  if (value == columns_) return;
  columns_ = value;
  ArrangeButtons();
}

void TCustomRadioGroup::ButtonClicked(TGroupButton* button) {
  if (updating_) return;
  auto it = std::find(buttons_.begin(), buttons_.end(), button);
  if (it == buttons_.end()) return;
  itemIndex_ = static_cast<int>(it - buttons_.begin());
  Click();
}

void TCustomRadioGroup::ItemsChange(TObject*) { UpdateButtons(); }

void TCustomRadioGroup::UpdateButtons() {
  ++updating_;
  struct TDone {
    int& n;
    ~TDone() { --n; }
  } done{updating_};
  size_t n = static_cast<size_t>(items_->Count());
  while (buttons_.size() > n) {
    TGroupButton* b = buttons_.back();
    buttons_.pop_back();
    b->Free();
  }
  while (buttons_.size() < n) {
    auto* b = new TGroupButton(this);
    b->SetParent(this);
    buttons_.push_back(b);
  }
  for (size_t i = 0; i < n; ++i) {
    buttons_[i]->SetCaption(items_->Get(static_cast<int>(i)));
    buttons_[i]->SetEnabled(enabled_);
  }
  if (!IsLoading() && itemIndex_ >= static_cast<int>(n)) itemIndex_ = static_cast<int>(n) - 1;
  for (size_t i = 0; i < n; ++i) buttons_[i]->SetChecked(static_cast<int>(i) == itemIndex_);
  ArrangeButtons();
}

void TCustomRadioGroup::EnabledChanged() {
  TCustomGroupBox::EnabledChanged();
  for (TGroupButton* b : buttons_) b->SetEnabled(enabled_);
}

void TCustomRadioGroup::Loaded() {
  TCustomGroupBox::Loaded();
  UpdateButtons();
}

void TCustomRadioGroup::AlignControls(TControl* control, TRect& rect) {
  TCustomGroupBox::AlignControls(control, rect);
  ArrangeButtons();
}

void TCustomRadioGroup::ArrangeButtons() {
  if (buttons_.empty() || arranging_) return;
  arranging_ = true;
  struct TDone {
    bool& b;
    ~TDone() { b = false; }
  } done{arranging_};
  int n = static_cast<int>(buttons_.size());
  int perColumn = (n + columns_ - 1) / columns_;
  int buttonWidth = std::max((width_ - 10) / columns_, 0);
  int captionHeight = CaptionHeight();
  int free = std::max(height_ - captionHeight - 5, 0);
  int buttonHeight = free / perColumn;
  int top = captionHeight + 1 + (free % perColumn) / 2;
  for (int i = 0; i < n; ++i)
    buttons_[static_cast<size_t>(i)]->SetBounds((i / perColumn) * buttonWidth + 8, (i % perColumn) * buttonHeight + top,
                                                buttonWidth, buttonHeight);
}

// ---------------------------------------------------------------- TTimer

TTimer::TTimer(TComponent* owner) : TComponent(owner) { window_ = AllocateHWnd({this, &TTimer::WndProc}); }

TTimer::~TTimer() {
  enabled_ = false;
  UpdateTimer();
  DeallocateHWnd(window_);
}

void TTimer::UpdateTimer() {
  KillTimer(window_, 1);
  if (interval_ != 0 && enabled_ && onTimer_) {
    if (!SetTimer(window_, 1, interval_, nullptr)) throw EOutOfResources("Not enough timers available");
  }
}

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned value) {
  if (value == interval_) return;
  interval_ = value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  onTimer_ = std::move(handler);
  UpdateTimer();
}

void TTimer::Timer() {
  if (onTimer_) onTimer_(this);
}

void TTimer::WndProc(TMessage& msg) {
  if (msg.Msg == WM_TIMER) {
    Timer();  // an exception leaves through the window class's catch
    return;
  }
  msg.Result = DefWindowProcA(window_, msg.Msg, msg.WParam, msg.LParam);
}
