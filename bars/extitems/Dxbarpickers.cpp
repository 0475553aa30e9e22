// The colour combo with its dots button, and the font-name combo with its
// family list.
#include "Dxbarpickers.h"

#include <algorithm>
#include <cstdint>
#include <set>

#include "bars/Dxbarstrs.h"
#include "bars/extitems/Dxbarextitems.h"
#include "classlib/Dialogs.h"

DX_BAR_ITEM_CLASS_IMPL(TdxBarColorCombo)
DX_BAR_ITEM_CLASS_IMPL(TdxBarFontNameCombo)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarColorComboControl)

namespace {

constexpr int kColorNameFirst = dxSBAR_COLORNAMES;
constexpr int kAutoColorText = dxSBAR_COLORAUTOTEXT;
constexpr int kCustomColorText = dxSBAR_COLORCUSTOMTEXT;
// The swatch's width before an entry's name.
constexpr int kSwatchWidth = 30;

constexpr COLORREF kColors[dxBarColorCount] = {
    RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
    RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(128, 128, 128),
    RGB(192, 192, 192), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
    RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255),
};

// A colour as RGB, system colours through the bars' seam.
COLORREF RgbOf(TColor color) {
  if (color < 0) return dxBarSysColor(color & 0xFF);
  return ColorToRGB(color);
}

bool IsValidSystemColor(TColor color) { return color < 0 && (color & 0x7FFFFFFF) <= COLOR_GRADIENTINACTIVECAPTION; }

void LoadGlyph(TBitmap* glyph, const char* name) {
  try {
    glyph->LoadFromResourceName(GetModuleHandleA(nullptr), name);
  } catch (const Exception&) {
    // A program without the bars' resources shows the combo without glyph.
  }
}

bool ShiftDown(int key) { return (dxBarSystem()->GetKeyState(key) & 0x8000) != 0; }

// Marks the combo as changing its own entry for the scope.
class TUpdating {
 public:
  explicit TUpdating(bool& flag) : flag_(flag) { flag_ = true; }
  ~TUpdating() { flag_ = false; }
  TUpdating(const TUpdating&) = delete;
  TUpdating& operator=(const TUpdating&) = delete;

 private:
  bool& flag_;
};

}  // namespace

TColor dxBarColorComboColor(int index) {
  if (index < 0 || index >= dxBarColorCount) return clBlack;
  return static_cast<TColor>(kColors[index]);
}

int dxBarColorDotsButtonWidth(int width, int height) {
  int k = (height - 4) / 7;
  int b = 7 * k + 4;
  return b < width / 2 ? b : 0;
}

// ---------------------------------------------------------------- colour combo

TdxBarColorCombo::TdxBarColorCombo(TComponent* owner) : TdxBarCustomCombo(owner) {
  autoColor_ = clWindowText;
  autoColorText_ = dxBarLoadStr(kAutoColorText);
  customColorText_ = dxBarLoadStr(kCustomColorText);
  SetDropDownCount(16);
  LoadGlyph(glyph_.get(), "DXBARCOLORCOMBO");
  CreateItemsList();
  SetItemIndex(0);
  editorHidden_ = true;
}

void TdxBarColorCombo::CreateItemsList() {
  Items()->BeginUpdate();
  Items()->Clear();
  if (showAutoColor_) Items()->Add(autoColorText_);
  for (int i = 0; i < dxBarColorCount; ++i) Items()->Add(dxBarLoadStr(kColorNameFirst + i));
  Items()->EndUpdate();
}

bool TdxBarColorCombo::AutoColorTextStored() const { return autoColorText_ != dxBarLoadStr(kAutoColorText); }
bool TdxBarColorCombo::CustomColorTextStored() const { return customColorText_ != dxBarLoadStr(kCustomColorText); }
bool TdxBarColorCombo::DropDownCountStored() const { return DropDownCount() != dxBarColorCount + AutoOffset(); }

TColor TdxBarColorCombo::GetColorByIndex(int index) const {
  if (index < 0 || index >= dxBarColorCount + AutoOffset()) return color_;
  if (showAutoColor_ && index == 0) return autoColor_;
  return static_cast<TColor>(kColors[index - AutoOffset()]);
}

int TdxBarColorCombo::GetIndexOfColor(TColor color) const {
  if (showAutoColor_ && color == autoColor_) return 0;
  COLORREF rgb = RgbOf(color);
  for (int i = 0; i < dxBarColorCount; ++i)
    if (kColors[i] == rgb) return i + AutoOffset();
  return -1;
}

void TdxBarColorCombo::SetCurColor(TColor value) {
  if (value != CurColor()) SetCurItemIndex(GetIndexOfColor(value));
}

void TdxBarColorCombo::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  TUpdating updating(updating_);
  int i = GetIndexOfColor(value);
  if (i == ItemIndex()) {
    Update();
    Change();
  } else {
    SetItemIndex(i);
  }
}

void TdxBarColorCombo::SetAutoColor(TColor value) {
  if (value == autoColor_) return;
  autoColor_ = value;
  if (!showAutoColor_) return;
  {
    TUpdating updating(updating_);
    SetItemIndex(GetIndexOfColor(color_));
  }
  Update();
}

void TdxBarColorCombo::SetAutoColorText(const String& value) {
  if (value == autoColorText_) return;
  autoColorText_ = value;
  if (!showAutoColor_) return;
  Items()->Put(0, value);
  Update();
}

void TdxBarColorCombo::SetCustomColorText(const String& value) {
  if (value == customColorText_) return;
  customColorText_ = value;
  Update();
}

void TdxBarColorCombo::SetShowCustomColorButton(bool value) {
  if (value == showCustomColorButton_) return;
  showCustomColorButton_ = value;
  Update();
}

void TdxBarColorCombo::SetShowAutoColor(bool value) {
  if (value == showAutoColor_) return;
  int oldCount = dxBarColorCount + AutoOffset();
  showAutoColor_ = value;
  {
    TUpdating updating(updating_);
    if (value)
      Items()->Insert(0, autoColorText_);
    else
      Items()->Delete(0);
    if (DropDownCount() == oldCount) SetDropDownCount(dxBarColorCount + AutoOffset());
    SetItemIndex(GetIndexOfColor(color_));
  }
  Update();
}

void TdxBarColorCombo::Change() {
  if (!updating_) color_ = GetColorByIndex(ItemIndex());
  TdxBarCustomCombo::Change();
}

void TdxBarColorCombo::DoClick() {
  TdxBarCustomCombo::DoClick();
  bool fromButton = fromButton_;
  fromButton_ = false;
  if (OnClick || ReadOnly()) return;
  TColorDialog* dialog = dxBarColorDialog();
  if (!dialog) return;
  dialog->SetColor(fromButton ? dialogColor_ : color_);
  if (dialog->Execute()) SetColor(dialog->Color());
}

void TdxBarColorCombo::DrawItem(int index, const TRect& r, TOwnerDrawState state) {
  if (OnDrawItem) {
    TdxBarCustomCombo::DrawItem(index, r, state);
    return;
  }
  TCanvas* canvas = GetCanvas();
  String text;
  if (index == -1)
    text = customColorText_;
  else if (index >= 0 && index < Items()->Count())
    text = Items()->Get(index);
  bool swatch = !(index == -1 && color_ < 0 && !IsValidSystemColor(color_));
  TRect area = r;
  if (swatch) area.left = std::min(static_cast<int>(r.right), static_cast<int>(r.left) + kSwatchWidth);
  canvas->FillRect(area);
  int y = (r.top + r.bottom - canvas->TextHeight(text.empty() ? String("0") : text)) / 2;
  canvas->TextRect(area, area.left + 1, y, text);
  if (swatch) {
    TColor background = canvas->Brush()->Color();
    TRect s(r.left, r.top, std::min(static_cast<int>(r.right), static_cast<int>(r.left) + kSwatchWidth), r.bottom);
    canvas->FrameRect(s);
    s = TRect(s.left + 1, s.top + 1, s.right - 1, s.bottom - 1);
    canvas->Brush()->SetColor(clBtnShadow);
    canvas->FrameRect(s);
    s = TRect(s.left + 1, s.top + 1, s.right - 1, s.bottom - 1);
    canvas->Brush()->SetColor(static_cast<TColor>(RgbOf(GetColorByIndex(index))));
    canvas->FillRect(s);
    canvas->Brush()->SetColor(background);
  }
  if (state.Contains(odFocused)) canvas->DrawFocusRect(r);
}

void TdxBarColorCombo::MeasureItem(int index, int& height) {
  if (OnMeasureItem) {
    TdxBarCustomCombo::MeasureItem(index, height);
    return;
  }
  height = GetCanvas()->TextHeight("0") + 4;
}

void TdxBarColorCombo::MeasureItemWidth(int index, int& width) {
  TdxBarCustomCombo::MeasureItemWidth(index, width);
  width += kSwatchWidth;
}

// ---------------------------------------------------------------- colour combo control

bool TdxBarColorComboControl::DrawSelected() { return TdxBarComboControl::DrawSelected() || pressed_; }

void TdxBarColorComboControl::PressedChanged() { Repaint(); }

void TdxBarColorComboControl::Paint(const TRect& r, TdxBarPaintType paintType) {
  if (r.Empty()) return;
  TdxBarColorCombo* combo = ColorCombo();
  TRect field = r;
  dotsButtonRect_ = TRect();
  int b = combo && combo->ShowCustomColorButton() ? dxBarColorDotsButtonWidth(r.Width(), r.Height()) : 0;
  field.right -= b;
  TdxBarComboControl::Paint(field, paintType);
  if (b == 0) return;
  HDC dc = CanvasHandle();
  HBRUSH background = parent_->ItemBrush() ? parent_->ItemBrush() : parent_->GetToolbarBrush();
  TRect button(field.right, field.top, field.right + b, field.bottom);
  FrameRect(dc, &button, background);
  TRect inner(button.left, button.top + 1, button.right, button.bottom - 1);
  FrameRect(dc, &inner, background);
  button = TRect(button.left + 1, button.top + 1, button.right - 1, button.bottom - 1);
  dotsButtonRect_ = button;
  TRect face = button;
  FrameAndFillRect(dc, face, pressed_, DrawSelected());
  DrawDots(button);
}

void TdxBarColorComboControl::DrawDots(const TRect& b) {
  HDC dc = CanvasHandle();
  int d = b.Width() / 7;
  if (d < 1) return;
  int shift = pressed_ && !Flat() ? 1 : 0;
  auto dots = [&](int dx, int dy, int colorIndex) {
    HBRUSH brush = CreateSolidBrush(dxBarSysColor(colorIndex));
    for (int i = 0; i < 3; ++i) {
      int x = b.left + d + i * 2 * d + dx;
      RECT r{x, b.bottom - 2 * d + dy, x + d, b.bottom - d + dy};
      FillRect(dc, &r, brush);
    }
    DeleteObject(brush);
  };
  if (GetEnabled()) {
    dots(shift, shift, COLOR_BTNTEXT);
  } else {
    if (!Flat()) dots(1, 1, COLOR_BTNHIGHLIGHT);
    dots(0, 0, COLOR_BTNSHADOW);
  }
}

void TdxBarColorComboControl::OpenDialog() {
  TdxBarColorCombo* combo = ColorCombo();
  if (!combo || !link_) return;
  std::shared_ptr<const bool> alive = Alive();
  TColor before = combo->Color();
  combo->SetDialogColor(combo->CurColor());
  link_->RealItemLink()->BringToTopInRecentList(true);
  bool press = CanVisuallyPressed();
  if (press)
    SetPressed(true);
  else if (parent_)
    parent_->HideAll();
  // The dialog takes the focus; the control may go meanwhile.
  combo->DirectClick();
  if (!*alive) return;
  if (press) SetPressed(false);
  // Still in the field: it shows a colour chosen.
  if (focused_ && combo->Color() != before) SetLocalItemIndex(combo->ItemIndex());
  Repaint();
}

void TdxBarColorComboControl::WndProc(TMessage& msg) {
  if (msg.Msg == WM_LBUTTONDOWN && !dotsButtonRect_.Empty() && window_ && parent_ && parent_->HandleAllocated()) {
    POINT origin{0, 0};
    MapWindowPoints(window_, parent_->Handle(), &origin, 1);
    TPoint p(static_cast<short>(LOWORD(msg.LParam)) + origin.x, static_cast<short>(HIWORD(msg.LParam)) + origin.y);
    if (dotsButtonRect_.Contains(p)) {
      OpenDialog();
      msg.Result = 0;
      return;
    }
  }
  if (msg.Msg == WM_KEYDOWN && msg.WParam == VK_RETURN && ShiftDown(VK_CONTROL)) {
    OpenDialog();
    msg.Result = 0;
    return;
  }
  TdxBarComboControl::WndProc(msg);
}

// ---------------------------------------------------------------- font families

namespace {

struct TFamilies {
  std::vector<TdxBarFontFamily> List;
  std::set<String> Seen;
};

int CALLBACK FamilyProc(const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM data) {
  auto* families = reinterpret_cast<TFamilies*>(data);
  const auto* elf = reinterpret_cast<const ENUMLOGFONTEXW*>(font);
  wchar_t face[LF_FACESIZE + 1] = {};
  wcsncpy(face, elf->elfLogFont.lfFaceName, LF_FACESIZE);
  String name;
  if (!TryWideToString(face, -1, name) || name.empty()) return 1;
  if (!families->Seen.insert(AnsiUpperCase(name)).second) return 1;
  families->List.push_back({name, (type & TRUETYPE_FONTTYPE) != 0});
  return 1;
}

// The default printer's device context (none without a printer).
HDC DefaultPrinterDC() {
  char device[512] = {};
  GetProfileStringA("windows", "device", "", device, sizeof device);
  String name = device;
  size_t comma = name.find(',');
  if (comma != String::npos) name.resize(comma);
  if (name.empty()) return nullptr;
  return CreateDCA("WINSPOOL", name.c_str(), nullptr, nullptr);
}

}  // namespace

std::vector<TdxBarFontFamily> dxBarEnumFontFamilies(HDC dc) {
  TFamilies families;
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  EnumFontFamiliesExW(dc, &lf, FamilyProc, reinterpret_cast<LPARAM>(&families), 0);
  return families.List;
}

// ---------------------------------------------------------------- font-name combo

TdxBarFontNameCombo::TdxBarFontNameCombo(TComponent* owner) : TdxBarCustomCombo(owner) {
  SetDropDownCount(12);
  LoadGlyph(glyph_.get(), "DXBARFONTNAMECOMBO");
  editorHidden_ = true;
  SetSorted(true);
  LoadFontNames();
  SetWidth(160);
}

void TdxBarFontNameCombo::LoadFontNames() {
  std::vector<TdxBarFontFamily> families;
  if (HDC printer = DefaultPrinterDC()) {
    families = dxBarEnumFontFamilies(printer);
    DeleteDC(printer);
  }
  if (families.empty()) {
    HDC screen = GetDC(nullptr);
    families = dxBarEnumFontFamilies(screen);
    ReleaseDC(nullptr, screen);
  }
  Items()->BeginUpdate();
  Items()->Clear();
  for (const TdxBarFontFamily& f : families)
    Items()->AddObject(f.Name, reinterpret_cast<TObject*>(static_cast<intptr_t>(f.TrueType ? 1 : 0)));
  Items()->EndUpdate();
}

bool TdxBarFontNameCombo::IsTrueType(int index) const {
  if (index < 0 || index >= Items()->Count()) return false;
  return Items()->Objects(index) != nullptr;
}

void TdxBarFontNameCombo::SetText(const String& value) {
  String s = value;
  if (CurItemLink()) {
    int n = GetNearestItemIndex(s);
    if (n == -1 && !s.empty()) return;
    if (n >= 0) s = Items()->Get(n);
  }
  TdxBarCustomCombo::SetText(s);
}

void TdxBarFontNameCombo::DrawItem(int index, const TRect& r, TOwnerDrawState state) {
  if (OnDrawItem || index == -1) {
    TdxBarCustomCombo::DrawItem(index, r, state);
    return;
  }
  TCanvas* canvas = GetCanvas();
  canvas->FillRect(r);
  TBitmap* mark = IsTrueType(index) ? dxBarTrueTypeGlyph() : dxBarNonTrueTypeGlyph();
  int left = r.left;
  if (mark && !mark->Empty()) {
    int top = (r.top + r.bottom - mark->Height()) / 2;
    TRect m = Bounds(r.left, top, mark->Width(), mark->Height());
    TransparentDraw(canvas->Handle(), canvas->Brush()->Handle(), m, m, mark, nullptr, -1, true, false, false, false,
                    true, true, clNone);
    left = m.right;
  }
  String s = index >= 0 && index < Items()->Count() ? Items()->Get(index) : String();
  int y = (r.top + r.bottom - canvas->TextHeight(s.empty() ? String("0") : s)) / 2;
  canvas->TextRect(TRect(left, r.top, r.right, r.bottom), left + 2, y, s);
  if (state.Contains(odFocused)) canvas->DrawFocusRect(r);
}

void TdxBarFontNameCombo::MeasureItemWidth(int index, int& width) {
  TdxBarCustomCombo::MeasureItemWidth(index, width);
  TBitmap* mark = dxBarTrueTypeGlyph();
  width += (mark ? mark->Width() : 0) + 1;
}

void TdxBarFontNameCombo::DoClick() {
  TdxBarCustomCombo::DoClick();
  if (OnClick || ReadOnly()) return;
  TFontDialog* dialog = dxBarFontDialog();
  if (!dialog) return;
  dialog->Font()->SetName(Text());
  if (dialog->Execute()) SetText(dialog->Font()->Name());
}
