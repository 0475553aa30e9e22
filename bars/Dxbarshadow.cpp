// The drop shadows of bar windows: the strip windows and the object that
// keeps them along its window.
#include "Dxbarshadow.h"

// ---------------------------------------------------------------- strips

TdxBarShadowPart::TdxBarShadowPart(TdxBarShadow* shadow, TdxBarShadowPartKind kind, TdxBarShadowCorners corners)
    : TCustomControl(nullptr), corners_(corners), kind_(kind), shadow_(shadow) {
  visible_ = false;
}

TdxBarShadowPart::~TdxBarShadowPart() {
  if (HandleAllocated()) DestroyHandle();
  FreeImage();
}

TWinControl* TdxBarShadowPart::GetControl() { return shadow_ ? shadow_->Control() : nullptr; }

int TdxBarShadowPart::GetShadowSize() { return TdxBarShadow::GetShadowSize(); }

bool TdxBarShadowPart::GetTransparent() { return TdxBarShadow::GetTransparent(); }

void TdxBarShadowPart::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style = WS_POPUP;
  params.ExStyle = 0;
  TWinControl* control = GetControl();
  HWND owner = control && control->HandleAllocated() ? control->Handle() : nullptr;
  // Layered and transparent: a click reaches the window underneath, of
  // this program or another.
  if (GetTransparent()) params.ExStyle |= WS_EX_LAYERED | WS_EX_TRANSPARENT;
  if (owner && (GetWindowLongA(owner, GWL_EXSTYLE) & WS_EX_TOPMOST)) params.ExStyle |= WS_EX_TOPMOST;
  params.WndParent = owner;
  params.WindowClass = &ControlWindowClass("TdxBarShadowPart", 0);
}

void TdxBarShadowPart::WndProc(TMessage& msg) {
  switch (msg.Msg) {
    case WM_NCHITTEST:
      TCustomControl::WndProc(msg);
      msg.Result = HTTRANSPARENT;
      return;
    case WM_MOUSEACTIVATE:
      msg.Result = MA_NOACTIVATE;
      return;
    case WM_ERASEBKGND:
      msg.Result = 1;
      return;
    case WM_DESTROY: {
      // The owner window went first: the strip forgets its window.
      HWND h = DetachHandle();
      visible_ = false;
      msg.Result = h ? DefWindowProcA(h, msg.Msg, msg.WParam, msg.LParam) : 0;
      return;
    }
    default:
      break;
  }
  TCustomControl::WndProc(msg);
}

bool TdxBarShadowPart::CanShow() {
  TdxBarShadowPartRec r{kind_, corners_, BoundsRect()};
  return dxBarShadowPartCanShow(r, GetShadowSize());
}

void TdxBarShadowPart::UpdateBounds(const TRect& r) {
  SetBounds(r.left, r.top, r.Width(), r.Height());
  UpdateImage();
  if (shadow_ && shadow_->Visible()) Show();
}

void TdxBarShadowPart::FreeImage() {
  if (image_) DeleteObject(image_);
  image_ = nullptr;
}

void TdxBarShadowPart::UpdateImage() {
  FreeImage();
  if (!CanShow() || !GetTransparent() || width_ <= 0 || height_ <= 0) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // top down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  image_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!image_ || !bits) {
    FreeImage();
    return;
  }
  // Black with the strip's alpha (colours premultiplied: all zero).
  std::vector<uint8_t> alpha = dxBarShadowAlpha(kind_, corners_, width_, height_, GetShadowSize());
  auto* px = static_cast<uint32_t*>(bits);
  for (size_t i = 0; i < alpha.size(); ++i) px[i] = static_cast<uint32_t>(alpha[i]) << 24;
  GdiFlush();
}

void TdxBarShadowPart::Show() {
  if (!CanShow()) return;
  HandleNeeded();
  if (!HandleAllocated()) return;
  if (GetTransparent() && image_ && UpdateLayeredWindowProc) {
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, image_);
    SIZE size{width_, height_};
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindowProc(handle_, screen, nullptr, &size, mem, &origin, 0, &blend, ULW_ALPHA);
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
  }
  // Right under the window it shades.
  TWinControl* control = GetControl();
  HWND after = control && control->HandleAllocated() ? control->Handle() : HWND_TOP;
  SetWindowPos(handle_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  visible_ = true;
}

void TdxBarShadowPart::Hide() {
  if (HandleAllocated()) ShowWindow(handle_, SW_HIDE);
  visible_ = false;
}

void TdxBarShadowPart::Paint() {
  if (GetTransparent()) return;
  HBRUSH brush = CreateSolidBrush(dxBarSysColor(COLOR_BTNSHADOW));
  TRect r = ClientRect();
  FillRect(Canvas()->Handle(), &r, brush);
  DeleteObject(brush);
}

// ---------------------------------------------------------------- the shadow

bool TdxBarShadow::GetTransparent() { return UpdateLayeredWindowProc != nullptr && ScreenBitsPixel > 8; }

void TdxBarShadow::SetOwnerBounds(const TRect& opener, const TRect& owner) {
  TdxBarShadowLayout l = dxBarShadowLayout(opener, owner, GetShadowSize());
  horizontalJoin_ = l.HorizontalJoin;
  openerRect_ = l.First;
  ownerRect_ = l.Second;
  Refresh();
}

void TdxBarShadow::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  if (value)
    Show();
  else
    Hide();
}

void TdxBarShadow::Refresh() {
  DestroyParts();
  CreateParts();
}

void TdxBarShadow::CreateParts() {
  if (ownerRect_.Empty()) return;
  TdxBarShadowLayout l = dxBarShadowLayout(openerRect_, ownerRect_, GetShadowSize());
  size_t slot = 0;
  for (const TdxBarShadowPartRec& rec : l.Parts) {
    if (slot >= parts_.size()) break;
    auto* part = new TdxBarShadowPart(this, rec.Kind, rec.Corners);
    parts_[slot++] = part;
    part->UpdateBounds(rec.Bounds);
  }
}

void TdxBarShadow::DestroyParts() {
  for (TdxBarShadowPart*& part : parts_) {
    TdxBarShadowPart* p = part;
    part = nullptr;
    if (p) p->Free();
  }
}

void TdxBarShadow::Show() {
  for (TdxBarShadowPart* part : parts_)
    if (part) part->Show();
}

void TdxBarShadow::Hide() {
  for (TdxBarShadowPart* part : parts_)
    if (part) part->Hide();
}

int TdxBarShadow::PartCount() const {
  int n = 0;
  for (TdxBarShadowPart* part : parts_)
    if (part) ++n;
  return n;
}

TdxBarShadowPart* TdxBarShadow::Part(int index) const {
  return index >= 0 && index < static_cast<int>(parts_.size()) ? parts_[static_cast<size_t>(index)] : nullptr;
}
