// The bar manager: properties, construction and loading, fonts, flat
// colours, styles, categories' visibility and the shared hints.
#include <algorithm>

#include "Dxbarcontrols.h"
#include "Dxbarstrs.h"
#include "customize/Dxbarcustform.h"

// ---------------------------------------------------------------- manager list

TdxBarManagerList::~TdxBarManagerList() {
  // Each manager leaves the list as it goes.
  while (!list_.empty()) {
    TdxBarManager* m = list_.front();
    size_t before = list_.size();
    m->Free();
    if (list_.size() == before && !list_.empty() && list_.front() == m) list_.erase(list_.begin());
  }
}

TdxBarManager* TdxBarManagerList::GetBarManager(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return list_[static_cast<size_t>(index)];
}

TdxBarManager* TdxBarManagerList::CustomizingBarManager() const {
  for (TdxBarManager* m : list_)
    if (m->IsCustomizing()) return m;
  return nullptr;
}

void TdxBarManagerList::Add(TdxBarManager* manager) {
  if (IndexOf(manager) < 0) list_.push_back(manager);
}

void TdxBarManagerList::Remove(TdxBarManager* manager) {
  list_.erase(std::remove(list_.begin(), list_.end(), manager), list_.end());
}

int TdxBarManagerList::IndexOf(TdxBarManager* manager) const {
  auto it = std::find(list_.begin(), list_.end(), manager);
  return it == list_.end() ? -1 : static_cast<int>(it - list_.begin());
}

// ---------------------------------------------------------------- shared hint state

namespace {

TdxBarHintWindow* gHintWindow = nullptr;
UINT_PTR gHintTimer = 0;
UINT_PTR gQuickHintTimer = 0;
bool gQuickHint = false;
bool gHintShown = false;
String gHintText;
TdxBarManager* gHintOwner = nullptr;

enum THintTimerKind { htDisplay, htHide };
THintTimerKind gHintTimerKind = htDisplay;

void StopHintTimer() {
  if (gHintTimer) dxBarSystem()->KillTimer(gHintTimer);
  gHintTimer = 0;
}

void StopQuickHintTimer() {
  if (gQuickHintTimer) dxBarSystem()->KillTimer(gQuickHintTimer);
  gQuickHintTimer = 0;
}

bool HintWindowVisible() { return gHintWindow && gHintWindow->IsShown(); }

void HideHintWindow() {
  if (gHintWindow) gHintWindow->HideHint();
}

void CALLBACK HintTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  CallGuarded([&] {
    StopHintTimer();
    TdxBarManager* owner = gHintOwner;
    if (!owner || dxBarManagerList->IndexOf(owner) < 0 || owner->IsDestroying()) return;
    if (gHintTimerKind == htDisplay)
      owner->DisplayHint();
    else
      owner->HintActivate(false, "");
  });
}

void CALLBACK QuickHintTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  StopQuickHintTimer();
  gQuickHint = false;
}

void StartHintTimer(TdxBarManager* owner, UINT elapse, THintTimerKind kind) {
  StopHintTimer();
  gHintOwner = owner;
  gHintTimerKind = kind;
  gHintTimer = dxBarSystem()->SetTimer(elapse, HintTimerProc);
}

COLORREF Nearest(COLORREF c) {
  HDC dc = GetDC(nullptr);
  COLORREF r = GetNearestColor(dc, c);
  ReleaseDC(nullptr, dc);
  return r == CLR_INVALID ? c : r;
}

int Clamp(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

COLORREF GetLightColor(int a, int b, int c) {
  COLORREF face = dxBarSysColor(COLOR_BTNFACE);
  COLORREF high = dxBarSysColor(COLOR_HIGHLIGHT);
  COLORREF window = dxBarSysColor(COLOR_WINDOW);
  if (face == RGB(0, 0, 0) || face == RGB(255, 255, 255)) return high;
  auto mix = [&](int f, int h, int w) { return Clamp(MulDiv(f, a, 100) + MulDiv(h, b, 100) + MulDiv(w, c, 100)); };
  return RGB(mix(GetRValue(face), GetRValue(high), GetRValue(window)),
             mix(GetGValue(face), GetGValue(high), GetGValue(window)),
             mix(GetBValue(face), GetBValue(high), GetBValue(window)));
}

}  // namespace

TdxBarHintWindow* dxBarHintWindow() { return gHintWindow; }

// ---------------------------------------------------------------- construction

TdxBarManager::TdxBarManager(TComponent* owner) : TComponent(owner) {
  if (!dxBarManagerList) throw EInvalidOperation("The command bars are not started (dxBarInitialize)");
  TComponent* formOwner = owner;
  if (!formOwner && Application->MainForm()) formOwner = Application->MainForm();
  auto* form = dynamic_cast<TCustomForm*>(formOwner);
  if (!form) throw Exception(dxBarLoadStr(dxSBAR_BARMANAGERBADOWNER));
  mainForm_ = form;
  if (GetBarManagerByForm(form)) throw Exception(dxBarLoadStr(dxSBAR_BARMANAGERMORETHANONE));
  constructionRefused_ = false;
  dxBarManagerList->Add(this);
  if (!gHintWindow) gHintWindow = dxBarHintWindowClass();
  dxBarInstallHooks();

  designing_ = IsDesigning();
  allowReset_ = true;
  autoDockColor_ = true;
  categories_ = new TdxBarManagerCategories(this);
  bars_ = new TdxBars(this);
  canCustomize_ = true;
  dockColor_ = clBtnFace;

  font_.reset(new TFont);
  font_->OnChange = {this, &TdxBarManager::FontChanged};
  helpButtonGlyph_.reset(new TBitmap);
  helpButtonGlyph_->OnChange = {this, &TdxBarManager::HelpButtonGlyphChanged};
  hideFloatingBarsWhenInactive_ = true;
  imageListBkColor_ = clFuchsia;
  imagesChangeLink_.reset(new TChangeLink);
  imagesChangeLink_->OnChange = {this, &TdxBarManager::ImageListChange};
  largeImagesChangeLink_.reset(new TChangeLink);
  largeImagesChangeLink_->OnChange = {this, &TdxBarManager::LargeImageListChange};
  hotImagesChangeLink_.reset(new TChangeLink);
  hotImagesChangeLink_->OnChange = {this, &TdxBarManager::HotImageListChange};

  buttonArrowWidth_ = 11;
  largeButtonArrowWidth_ = 13;
  menusShowRecentItemsFirst_ = true;
  mostRecentItemsPercents_ = 95;
  CalcMostRecentlyUsedUseCount();
  popupMenuLinks_ = new TdxBarPopupMenuLinks(this);

  scaled_ = true;
  showFullMenusAfterDelay_ = true;
  showHint_ = true;
  showHintForDisabledItems_ = true;
  stretchGlyphs_ = true;
  CalcButtonsConsts();
  SetStyle(bmsEnhanced);
  useF10ForMenu_ = true;
  SetUseSystemFont(true);
  waitForDockingTime_ = 21;
  CreateFlatToolbarsBrushes();
}

TdxBarManager::~TdxBarManager() {
  Destroying();
  if (constructionRefused_) return;
  if (gHintTimer) {
    StopHintTimer();
    HideHintWindow();
  }
  StopQuickHintTimer();
  if (gHintOwner == this) gHintOwner = nullptr;
  Customizing(false);
  DestroyFlatToolbarsBrushes();
  while (!popupMenus_.empty()) popupMenus_.back()->Free();
  hotImagesChangeLink_.reset();
  largeImagesChangeLink_.reset();
  imagesChangeLink_.reset();
  helpButtonGlyph_.reset();
  while (!groups_.empty()) {
    TdxBarGroup* g = groups_.front();
    g->Free();
    if (!groups_.empty() && groups_.front() == g) groups_.erase(groups_.begin());
  }
  font_.reset();
  if (editFontHandle_) DeleteObject(editFontHandle_);
  editFontHandle_ = nullptr;
  delete bars_;
  bars_ = nullptr;
  if (parkingWindow_ && IsWindow(parkingWindow_)) DestroyWindow(parkingWindow_);
  parkingWindow_ = nullptr;
  // Placed dock sites may outlive the manager.
  for (TdxDockControl* dock : std::vector<TdxDockControl*>(dockControls_))
    if (!dock->Main()) dock->SetBarManager(nullptr);
  dockControls_.clear();
  DestroyItems();
  dxBarManagerList->Remove(this);
  if (dxBarManagerList->Count() == 0) {
    dxBarRemoveHooks();
    if (gHintWindow) gHintWindow->Free();
    gHintWindow = nullptr;
    StopHintTimer();
    StopQuickHintTimer();
    gQuickHint = false;
  }
  delete categories_;
  categories_ = nullptr;
  delete popupMenuLinks_;
  popupMenuLinks_ = nullptr;
}

void TdxBarManager::DestroyItems() {
  while (!items_.empty()) {
    TdxBarItem* item = items_.back();
    items_.pop_back();
    item->manager_ = nullptr;
    item->Free();
  }
}

void TdxBarManager::Loaded() {
  TComponent::Loaded();
  if (lockUpdate_) return;
  bars_->SetRestoring(true);
  for (TdxBarItem* item : std::vector<TdxBarItem*>(items_)) {
    if (IndexOfItem(item) < 0) continue;
    if (auto* sub = dynamic_cast<TCustomdxBarSubItem*>(item)) sub->ItemLinks()->Loaded(true);
    item->SetVisible(item->LoadedVisible());
  }
  for (int i = 0; i < bars_->Count(); ++i) {
    TdxBar* bar = bars_->Items(i);
    bar->loaded_ = true;
    bar->ItemLinks()->Loaded(true);
    bar->SetDockControl(bar->LoadedDockControl());
    if (!bar->DockControl()) bar->SetDockingStyle(bar->LoadedDockingStyle());
    bar->SetVisible(bar->LoadedVisible());
  }
  if (!designing_ && !dxBarReadingFormCopy) {
    // A damaged store leaves the layout the form defines; what went wrong
    // goes to the log.
    try {
      if (storeInRegistry_) LoadFromRegistry(registryPath_);
    } catch (const Exception&) {
      LogException(this);
    }
    try {
      if (storeInIniFile_) LoadFromIniFile(iniFileName_);
    } catch (const Exception&) {
      LogException(this);
    }
  }
  bars_->SetRestoring(false);
  for (int i = 0; i < categories_->Count(); ++i)
    if (TdxBarCategoryData* d = categories_->Data(i)) SetCategoryItemsVisible(i, d->LoadedItemsVisible);
  updatingDocks_ = true;
  for (TdxDockControl* dock : std::vector<TdxDockControl*>(dockControls_)) dock->UpdateDock();
  updatingDocks_ = false;
}

// ---------------------------------------------------------------- setters

void TdxBarManager::SetAutoDockColor(bool value) {
  if (value == autoDockColor_) return;
  autoDockColor_ = value;
  RecolorDockControls();
}

void TdxBarManager::SetAutoHideEmptyBars(bool value) {
  if (value == autoHideEmptyBars_) return;
  autoHideEmptyBars_ = value;
  if (!value)
    for (int i = 0; i < bars_->Count(); ++i) bars_->Items(i)->autoHidden_ = false;
}

void TdxBarManager::SetScaled(bool value) {
  if (value == scaled_) return;
  scaled_ = value;
  if (value && !useSystemFont_) AssignFont();
}

void TdxBarManager::SetButtonArrowWidth(int value) {
  if (value < 2 || value == buttonArrowWidth_) return;
  buttonArrowWidth_ = value;
  CalcButtonsConsts();
  RepaintBars();
}

void TdxBarManager::SetCategories(TStrings* value) { categories_->Assign(value); }

TColor TdxBarManager::DockColor() const {
  if (autoDockColor_ && mainForm_) return mainForm_->Color();
  return dockColor_;
}

void TdxBarManager::SetDockColor(TColor value) {
  if (value == DockColor()) return;
  dockColor_ = value;
  autoDockColor_ = false;
  RecolorDockControls();
}

void TdxBarManager::RecolorDockControls() {
  for (TdxDockControl* dock : dockControls_) dock->ColorChanged();
}

void TdxBarManager::SetFlatCloseButton(bool value) {
  if (value == flatCloseButton_) return;
  flatCloseButton_ = value;
  if (TdxBarControl* c = MainMenuControl()) {
    c->SetSelectedControl(nullptr);
    c->RepaintBar();
  }
}

void TdxBarManager::SetShowCloseButton(bool value) {
  if (value == showCloseButton_) return;
  showCloseButton_ = value;
  if (TdxBarControl* c = MainMenuControl()) {
    c->SetSelectedControl(nullptr);
    c->RepaintBar();
  }
}

void TdxBarManager::HelpButtonGlyphChanged(TObject*) { UpdateHelpButton(); }

void TdxBarManager::SetHideFloatingBarsWhenInactive(bool value) {
  if (value == hideFloatingBarsWhenInactive_) return;
  hideFloatingBarsWhenInactive_ = value;
  ShowToolbars(dxBarFormIsActive(mainForm_) || !value, false);
}

void TdxBarManager::SetImageListBkColor(TColor value) {
  if (value == imageListBkColor_) return;
  imageListBkColor_ = value;
  RepaintBars();
}

void TdxBarManager::SetLargeButtonArrowWidth(int value) {
  if (value < 2 || value == largeButtonArrowWidth_) return;
  largeButtonArrowWidth_ = value;
  RepaintBars();
}

void TdxBarManager::SetLargeIcons(bool value) {
  if (value == largeIcons_) return;
  largeIcons_ = value;
  CalcButtonsConsts();
  DesignerModified();
  UpdateBarManagerOptions();
  RepaintBars();
}

void TdxBarManager::OptionsChanged() {
  DesignerModified();
  UpdateBarManagerOptions();
}

void TdxBarManager::SetMenuAnimations(TdxBarMenuAnimations value) {
  if (value == menuAnimations_) return;
  menuAnimations_ = value;
  OptionsChanged();
}

void TdxBarManager::SetMenusShowRecentItemsFirst(bool value) {
  if (value == menusShowRecentItemsFirst_) return;
  menusShowRecentItemsFirst_ = value;
  OptionsChanged();
}

void TdxBarManager::SetMostRecentItemsPercents(int value) {
  if (value > 100) value = 100;
  if (value < 0) value = 0;
  if (value == mostRecentItemsPercents_) return;
  mostRecentItemsPercents_ = value;
  CalcMostRecentlyUsedUseCount();
}

void TdxBarManager::SetShowFullMenusAfterDelay(bool value) {
  if (value == showFullMenusAfterDelay_) return;
  showFullMenusAfterDelay_ = value;
  OptionsChanged();
}

void TdxBarManager::SetShowHelpButton(bool value) {
  if (value == showHelpButton_) return;
  showHelpButton_ = value;
  UpdateHelpButton();
}

void TdxBarManager::SetShowHint(bool value) {
  if (value == showHint_) return;
  showHint_ = value;
  OptionsChanged();
}

void TdxBarManager::SetShowShortCutInHint(bool value) {
  if (value == showShortCutInHint_) return;
  showShortCutInHint_ = value;
  OptionsChanged();
}

void TdxBarManager::SetSunkenBorder(bool value) {
  if (value == sunkenBorder_) return;
  sunkenBorder_ = value;
  for (TdxDockControl* dock : dockControls_) dock->NCChanged();
}

void TdxBarManager::SetUseSystemFont(bool value) {
  if (value == useSystemFont_) return;
  useSystemFont_ = value;
  if (value) AssignFont();
}

void TdxBarManager::SetWaitForDockingTime(int value) {
  if (value < 0) return;
  waitForDockingTime_ = value;
}

std::array<int, 4> TdxBarManager::DockControlHeights() const {
  auto size = [&](TdxBarDockingStyle s, bool width) {
    TdxDockControl* d = bars_->GetDockControl(s);
    return d ? (width ? d->Width() : d->Height()) : 0;
  };
  return {size(dsLeft, true), size(dsRight, true), size(dsTop, false), size(dsBottom, false)};
}

void TdxBarManager::SetDockControlHeights(const std::array<int, 4>& values) {
  if (TdxDockControl* d = bars_->GetDockControl(dsLeft)) d->SetWidth(values[0]);
  if (TdxDockControl* d = bars_->GetDockControl(dsRight)) d->SetWidth(values[1]);
  if (TdxDockControl* d = bars_->GetDockControl(dsTop)) d->SetHeight(values[2]);
  if (TdxDockControl* d = bars_->GetDockControl(dsBottom)) d->SetHeight(values[3]);
}

void TdxBarManager::RepaintBars() {
  for (int i = 0; i < bars_->Count(); ++i)
    if (TdxBarControl* c = bars_->Items(i)->Control()) c->RepaintBar();
}

// ---------------------------------------------------------------- style and layout values

void TdxBarManager::SetStyle(TdxBarManagerStyle value) {
  if (value == style_) return;
  styleChanging_ = true;
  style_ = value;
  if (value == bmsStandard) {
    gripOffset_ = 2;
    gripSize_ = 9;
    styleIndent_ = 2;
  } else {
    gripOffset_ = 1;
    gripSize_ = 6;
    styleIndent_ = value == bmsFlat ? 8 : 12;
  }
  CalcButtonsConsts();
  for (int i = 0; i < bars_->Count(); ++i)
    if (TdxBarControl* c = bars_->Items(i)->Control()) c->BarManagerStyleChanged();
  HostBarManagerStyleChanged();
  styleChanging_ = false;
}

void TdxBarManager::CalcButtonsConsts() {
  int scale = largeIcons_ ? 2 : 1;
  glyphSize_ = 16 * scale;
  buttonWidth_ = glyphSize_ + 7;
  buttonHeight_ = glyphSize_ + 6;
  realButtonArrowWidth_ = scale * buttonArrowWidth_;
  if (realButtonArrowWidth_ % 2 == 0) ++realButtonArrowWidth_;
  if (Flat()) --realButtonArrowWidth_;
}

void TdxBarManager::CalcMostRecentlyUsedUseCount() {
  int p = mostRecentItemsPercents_;
  if (p >= 100) {
    mostRecentlyUsedUseCount_ = 0;
    return;
  }
  int n = 1;
  while ((100 - p) * n / 100 <= 0) ++n;
  mostRecentlyUsedUseCount_ = n;
}

// ---------------------------------------------------------------- flat colours

COLORREF TdxBarManager::FlatToolbarsBorderColor() const {
  COLORREF c = dxBarSysColor(COLOR_BTNSHADOW);
  return Nearest(RGB(MulDiv(GetRValue(c), 8, 10), MulDiv(GetGValue(c), 8, 10), MulDiv(GetBValue(c), 8, 10)));
}

COLORREF TdxBarManager::FlatToolbarsColor() const {
  COLORREF c = dxBarSysColor(COLOR_BTNFACE);
  auto up = [](int v) { return v + MulDiv(255 - v, 16, 100); };
  return Nearest(RGB(up(GetRValue(c)), up(GetGValue(c)), up(GetBValue(c))));
}

COLORREF TdxBarManager::FlatToolbarsDownedColor() const { return Nearest(GetLightColor(11, 9, 73)); }
COLORREF TdxBarManager::FlatToolbarsDownedSelColor() const { return Nearest(GetLightColor(14, 44, 40)); }
COLORREF TdxBarManager::FlatToolbarsSelColor() const { return Nearest(GetLightColor(-2, 30, 72)); }

void TdxBarManager::CreateFlatToolbarsBrushes() {
  DestroyFlatToolbarsBrushes();
  flatBrushes_[0] = CreateSolidBrush(FlatToolbarsBorderColor());
  flatBrushes_[1] = CreateSolidBrush(FlatToolbarsColor());
  flatBrushes_[2] = CreateSolidBrush(FlatToolbarsDownedColor());
  flatBrushes_[3] = CreateSolidBrush(FlatToolbarsDownedSelColor());
  flatBrushes_[4] = CreateSolidBrush(FlatToolbarsSelColor());
}

void TdxBarManager::DestroyFlatToolbarsBrushes() {
  for (HBRUSH& b : flatBrushes_) {
    if (b) DeleteObject(b);
    b = nullptr;
  }
}

// ---------------------------------------------------------------- fonts

void TdxBarManager::AssignFont() {
  NONCLIENTMETRICSA ncm{};
  ncm.cbSize = sizeof ncm;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) return;
  const LOGFONTA& lf = ncm.lfMenuFont;
  if (useSystemFont_) {
    fontAssigning_ = true;
    {
      TFinally guard([&] { fontAssigning_ = false; });
      TFontStyles st;
      if (lf.lfWeight >= FW_BOLD) st << fsBold;
      if (lf.lfItalic) st << fsItalic;
      if (lf.lfUnderline) st << fsUnderline;
      if (lf.lfStrikeOut) st << fsStrikeOut;
      font_->SetName(lf.lfFaceName);
      font_->SetHeight(lf.lfHeight);
      font_->SetStyle(st);
      font_->SetCharset(lf.lfCharSet);
    }
  } else if (scaled_) {
    font_->SetHeight(lf.lfHeight);
  }
}

void TdxBarManager::FontChanged(TObject*) {
  if (!fontAssigning_) useSystemFont_ = false;
  if (scaled_) {
    TNotifyEvent handler = font_->OnChange;
    font_->OnChange = nullptr;
    TFinally guard([&] { font_->OnChange = handler; });
    AssignFont();
  }
  CreateBarFontHandle(font_.get(), editFontHandle_, scaled_);
  ApplyBarFonts();
}

void TdxBarManager::ApplyBarFonts() {
  if (!bars_) return;
  for (int i = 0; i < bars_->Count(); ++i) {
    TdxBar* bar = bars_->Items(i);
    bar->fontChanging_ = true;
    TFinally guard([&] { bar->fontChanging_ = false; });
    if (bar->UseOwnFont())
      bar->SetUseOwnFont(true);
    else
      bar->Font()->Assign(font_.get());
  }
  for (TdxBarPopupMenu* menu : std::vector<TdxBarPopupMenu*>(popupMenus_)) menu->ManagerFontChanged();
}

// ---------------------------------------------------------------- images

void TdxBarManager::SetImageList(TCustomImageList*& field, TChangeLink* link, TCustomImageList* value) {
  if (field == value) return;
  if (field) field->UnRegisterChanges(link);
  field = value;
  if (field) {
    field->RegisterChanges(link);
    field->FreeNotification(this);
  }
}

void TdxBarManager::SetImages(TCustomImageList* value) {
  if (value == images_) return;
  SetImageList(images_, imagesChangeLink_.get(), value);
  ImagesChanged();
}

void TdxBarManager::SetLargeImages(TCustomImageList* value) {
  if (value == largeImages_) return;
  SetImageList(largeImages_, largeImagesChangeLink_.get(), value);
  LargeImagesChanged();
}

void TdxBarManager::SetHotImages(TCustomImageList* value) {
  if (value == hotImages_) return;
  SetImageList(hotImages_, hotImagesChangeLink_.get(), value);
  HotImagesChanged();
}

void TdxBarManager::ImageListChange(TObject*) {
  if (!IsLoading()) ImagesChanged();
}
void TdxBarManager::LargeImageListChange(TObject*) { LargeImagesChanged(); }
void TdxBarManager::HotImageListChange(TObject*) { HotImagesChanged(); }

namespace {

template <class F>
void WithLock(TdxBarManager* m, F f) {
  bool locked = m->LockUpdate();
  m->SetLockUpdate(true);
  TFinally guard([&] { m->SetLockUpdate(locked); });
  f();
}

}  // namespace

void TdxBarManager::ImagesChanged() {
  if (IsLoading() || IsDestroying()) return;
  WithLock(this, [&] {
    for (TdxBarItem* item : std::vector<TdxBarItem*>(items_))
      if (item->ImageIndex() >= 0) item->GlyphChanged();
  });
}

void TdxBarManager::LargeImagesChanged() {
  if (IsLoading() || IsDestroying()) return;
  WithLock(this, [&] {
    for (TdxBarItem* item : std::vector<TdxBarItem*>(items_))
      if (item->UseLargeImages()) item->LargeGlyphChanged();
  });
}

void TdxBarManager::HotImagesChanged() {
  if (IsLoading() || IsDestroying()) return;
  WithLock(this, [&] {
    for (TdxBarItem* item : std::vector<TdxBarItem*>(items_))
      if (item->UseHotImages()) item->HotGlyphChanged();
  });
}

// ---------------------------------------------------------------- lock, selection

void TdxBarManager::SetLockUpdate(bool value) {
  if (value == lockUpdate_) return;
  lockUpdate_ = value;
  for (TdxDockControl* dock : dockControls_)
    if (dock->Visible()) dock->SetRedraw(!value);
  for (int i = 0; i < bars_->Count(); ++i) {
    TdxBar* bar = bars_->Items(i);
    if (bar->DockingStyle() != dsNone)
      bar->lockUpdate_ = value;
    else
      bar->SetLockUpdate(value);
  }
  if (!value) {
    for (TdxDockControl* dock : dockControls_)
      if (dock->Visible()) {
        dock->UpdateDock();
        dock->NCPaint();
      }
    for (int i = 0; i < bars_->Count(); ++i) {
      TdxBar* bar = bars_->Items(i);
      if (bar->DockingStyle() == dsNone && bar->Control()) {
        bar->Control()->FrameChanged();
        bar->Control()->RepaintBar();
      }
    }
  }
}

void TdxBarManager::SetSelectedItem(TdxBarItemControl* value) {
  if (value == selectedItem_) return;
  TdxBarItemControl* old = selectedItem_;
  if (IsCustomizing() && old && (!value || value->Parent() != old->Parent()))
    if (auto* toolbar = dynamic_cast<TdxBarControl*>(old->Parent())) toolbar->SetSelectedControl(nullptr);
  selectedItem_ = value;
  if (old && old->Parent() && !dragging_) old->Repaint();
}

void TdxBarManager::ItemControlDestroyed(TdxBarItemControl* control) {
  if (selectedItem_ == control) selectedItem_ = nullptr;
  if (mouseTrackedItem_ == control) mouseTrackedItem_ = nullptr;
}

// ---------------------------------------------------------------- categories' visibility

bool TdxBarManager::CategoryVisible(int index) const {
  if (index < 0 || index >= categories_->Count()) return false;
  TdxBarCategoryData* d = categories_->Data(index);
  return d ? d->Visible : true;
}

TdxBarItemVisible TdxBarManager::CategoryItemsVisible(int index) const {
  if (index < 0 || index >= categories_->Count()) return ivNever;
  TdxBarCategoryData* d = categories_->Data(index);
  return d ? d->ItemsVisible : ivAlways;
}

void TdxBarManager::SetCategoryVisible(int index, bool value) {
  if (index < 0 || index >= categories_->Count() || CategoryVisible(index) == value) return;
  categories_->NeedData(index)->Visible = value;
  DesignerModified();
}

void TdxBarManager::SetCategoryItemsVisible(int index, TdxBarItemVisible value) {
  if (index < 0 || index >= categories_->Count()) return;
  TdxBarItemVisible old = CategoryItemsVisible(index);
  TdxBarCategoryData* d = categories_->NeedData(index);
  if (IsLoading()) {
    d->LoadedItemsVisible = value;
    return;
  }
  d->ItemsVisible = value;
  bool locked = lockUpdate_;
  bool autoHide = !designing_ && autoHideEmptyBars_;
  std::vector<bool> hadAvailable;
  if (autoHide) {
    for (int i = 0; i < bars_->Count(); ++i) hadAvailable.push_back(bars_->Items(i)->ItemLinks()->AvailableItemCount() > 0);
    SetLockUpdate(true);
  }
  {
    TFinally guard([&] { SetLockUpdate(locked); });
    std::vector<TdxBarItem*> items;
    GetAllItemsByCategory(index, items);
    if (value == ivAlways) std::reverse(items.begin(), items.end());
    for (TdxBarItem* item : items)
      if (IndexOfItem(item) >= 0 && item->Visible() == old) item->SetVisible(value);
    if (designing_) {
      SetLockUpdate(locked);
      if (value != old) DesignerModified();
      return;
    }
    if (autoHide)
      for (int i = 0; i < bars_->Count() && i < static_cast<int>(hadAvailable.size()); ++i) {
        TdxBar* bar = bars_->Items(i);
        bool has = bar->ItemLinks()->AvailableItemCount() > 0;
        if (value == ivNever && !has && hadAvailable[static_cast<size_t>(i)] && bar->Visible()) {
          bar->SetVisible(false);
          bar->autoHidden_ = true;
        } else if (value == ivAlways && bar->autoHidden_ && has) {
          bar->SetVisible(true);
          bar->autoHidden_ = false;
        }
      }
  }
  if (value != old) DesignerModified();
}

// ---------------------------------------------------------------- hints

void TdxBarManager::HintActivate(bool show, const String& text) {
  if (IsCustomizing() || !showHint_) return;
  gHintText = text;
  gHintShown = false;
  bool wanted = show && (!text.empty() || (selectedItem_ && selectedItem_->Parent() &&
                                           !selectedItem_->Parent()->KeyboardMode()));
  if (wanted) {
    StopHintTimer();
    if (!HintWindowVisible() && !gQuickHint)
      StartHintTimer(this, 1000, htDisplay);
    else
      DisplayHint();
    return;
  }
  StopHintTimer();
  if (HintWindowVisible()) {
    HideHintWindow();
    if (show) {
      StopQuickHintTimer();
      gQuickHint = true;
      gQuickHintTimer = dxBarSystem()->SetTimer(400, QuickHintTimerProc);
    }
  }
}

void TdxBarManager::DisplayHint() {
  TPoint cursor = dxBarSystem()->GetCursorPos();
  TdxBarItemControl* control = selectedItem_;
  if (gHintText.empty()) {
    if (!control || !control->Parent() || control->Parent()->KeyboardMode()) return;
    TCustomdxBarControl* bar = control->Parent();
    if (bar->ItemAtPos(bar->ScreenToClient(cursor)) != control) return;
  }
  TPoint at(cursor.x, cursor.y + 20);
  String text = !gHintText.empty() ? gHintText : GetShortHint(control ? control->GetHint() : String());
  if (text.empty()) {
    HideHintWindow();
    return;
  }
  if (gHintText.empty() && control && !control->GetEnabled() && !showHintForDisabledItems_) {
    HideHintWindow();
    return;
  }
  if (gHintText.empty() && control && showShortCutInHint_ && control->GetShortCut() != 0)
    text += " (" + ShortCutToText(control->GetShortCut()) + ")";
  if (gHintWindow) gHintWindow->ActivateHint(at, text, this);
  gHintShown = true;
  StartHintTimer(this, 10000, htHide);
}

// ---------------------------------------------------------------- events

void TdxBarManager::DoClickItem(TdxBarItem* item) {
  if (OnClickItem) OnClickItem(this, item);
}

bool TdxBarManager::DoDocking(TdxBar* bar, TdxBarDockingStyle style, TdxDockControl* dockControl) {
  bool can;
  if (bar->NotDocking().Contains(style))
    can = false;
  else if (dockControl && !dockControl->Main())
    can = dockControl->CanDocking(bar);
  else
    can = !notDocking_.Contains(style);
  if (OnDocking) OnDocking(bar, style, dockControl, can);
  return can;
}

void TdxBarManager::DoBarAfterReset(TdxBar* bar) {
  if (OnBarAfterReset) OnBarAfterReset(this, bar);
}

void TdxBarManager::DoBarBeforeReset(TdxBar* bar) {
  if (OnBarBeforeReset) OnBarBeforeReset(this, bar);
}

void TdxBarManager::DoBarClose(TdxBar* bar) {
  if (OnBarClose) OnBarClose(this, bar);
}

void TdxBarManager::DoBarDockingStyleChanged(TdxBar* bar) {
  if (bars_->Restoring()) return;
  if (OnBarDockingStyleChange) OnBarDockingStyleChange(this, bar);
  DesignerModified();
}

void TdxBarManager::DoCloseButtonClick() {
  if (OnCloseButtonClick) OnCloseButtonClick(this);
}

void TdxBarManager::DoHelpButtonClick() {
  if (OnHelpButtonClick) OnHelpButtonClick(this);
}

void TdxBarManager::DoShowCustomizingPopup(TdxBarItemLinks* links) {
  if (OnShowCustomizingPopup) OnShowCustomizingPopup(this, links);
}

void TdxBarManager::DoShowToolbarsPopup(TdxBarItemLinks* links) {
  if (OnShowToolbarsPopup) OnShowToolbarsPopup(this, links);
}

// ---------------------------------------------------------------- lookups

TdxDockControl* TdxBarManager::DockControls(int index) const {
  if (index < 0 || index >= DockControlCount()) return nullptr;
  return dockControls_[static_cast<size_t>(index)];
}

TdxBarControl* TdxBarManager::MainMenuControl() const { return mainMenuBar_ ? mainMenuBar_->Control() : nullptr; }

TdxBarGroup* TdxBarManager::Groups(int index) const {
  if (index < 0 || index >= GroupCount()) return nullptr;
  return groups_[static_cast<size_t>(index)];
}

int TdxBarManager::IndexOfGroup(const TdxBarGroup* group) const {
  auto it = std::find(groups_.begin(), groups_.end(), group);
  return it == groups_.end() ? -1 : static_cast<int>(it - groups_.begin());
}

void TdxBarManager::MoveGroup(int from, int to) {
  if (from < 0 || from >= GroupCount() || to < 0 || to >= GroupCount() || from == to) return;
  TdxBarGroup* g = groups_[static_cast<size_t>(from)];
  groups_.erase(groups_.begin() + from);
  groups_.insert(groups_.begin() + to, g);
}

TdxBarItem* TdxBarManager::Items(int index) const {
  if (index < 0 || index >= ItemCount()) return nullptr;
  return items_[static_cast<size_t>(index)];
}

int TdxBarManager::IndexOfItem(const TdxBarItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TdxBar* TdxBarManager::BarByCaption(const String& caption) const {
  for (int i = 0; i < bars_->Count(); ++i)
    if (bars_->Items(i)->Caption() == caption) return bars_->Items(i);
  return nullptr;
}

TdxBar* TdxBarManager::BarByName(const String& name) const {
  for (int i = 0; i < bars_->Count(); ++i)
    if (bars_->Items(i)->Name() == name) return bars_->Items(i);
  return nullptr;
}

TdxBarItem* TdxBarManager::GetItemByName(const String& name) const {
  for (TdxBarItem* item : items_)
    if (SameText(item->Name(), name)) return item;
  return nullptr;
}

TdxBarDockControl* TdxBarManager::FindDockControl(const String& name) const {
  TComponent* form = mainForm_;
  String control = name;
  size_t dot = name.find('.');
  if (dot != String::npos) {
    String formName = name.substr(0, dot);
    control = name.substr(dot + 1);
    form = nullptr;
    for (int i = 0; i < Screen->FormCount() && !form; ++i)
      if (SameText(Screen->Forms(i)->Name(), formName)) form = Screen->Forms(i);
  }
  TComponent* c = form ? form->FindComponent(control) : nullptr;
  if (!c) return nullptr;
  auto* dock = dynamic_cast<TdxBarDockControl*>(c);
  if (!dock) throw EConvertError("Invalid class typecast");
  return dock;
}

void TdxBarManager::GetAllItemsByCategory(int index, std::vector<TdxBarItem*>& list) const {
  list.clear();
  if (index < 0 || index >= categories_->Count()) return;
  for (TdxBarItem* item : items_)
    if (item->Category() == index) list.push_back(item);
}

void TdxBarManager::GetItemsByCategory(int index, std::vector<TdxBarItem*>& list) const {
  GetAllItemsByCategory(index, list);
  if (designing_) return;
  list.erase(std::remove_if(list.begin(), list.end(),
                            [](TdxBarItem* i) { return !i->ActuallyVisible() || i->GetHidden(); }),
             list.end());
}

int TdxBarManager::GetCountByCategory(int index) const {
  std::vector<TdxBarItem*> list;
  GetItemsByCategory(index, list);
  return static_cast<int>(list.size());
}

TdxBarItem* TdxBarManager::GetItemByCategory(int category, int index) const {
  std::vector<TdxBarItem*> list;
  GetItemsByCategory(category, list);
  if (index < 0 || index >= static_cast<int>(list.size())) return nullptr;
  return list[static_cast<size_t>(index)];
}

int TdxBarManager::GetCategoryRealIndex(int index) const {
  if (designing_) return index;
  for (int i = 0, n = 0; i < categories_->Count(); ++i)
    if (CategoryVisible(i) && n++ == index) return i;
  return -1;
}

void TdxBarManager::MoveItem(int from, int to) {
  if (from < 0 || from >= ItemCount() || to < 0 || to >= ItemCount()) return;
  TdxBarItem* item = items_[static_cast<size_t>(from)];
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, item);
  DesignerModified();
}

void TdxBarManager::ExchangeItems(int a, int b) {
  if (a < 0 || a >= ItemCount() || b < 0 || b >= ItemCount()) return;
  std::swap(items_[static_cast<size_t>(a)], items_[static_cast<size_t>(b)]);
  DesignerModified();
}

void TdxBarManager::AddDockControl(TdxDockControl* dockControl) {
  if (std::find(dockControls_.begin(), dockControls_.end(), dockControl) != dockControls_.end()) return;
  dockControls_.push_back(dockControl);
  dockControl->FreeNotification(this);
}

void TdxBarManager::RemoveDockControl(TdxDockControl* dockControl) {
  auto it = std::find(dockControls_.begin(), dockControls_.end(), dockControl);
  if (it == dockControls_.end()) return;
  if (bars_) {
    for (int i = 0; i < bars_->Count(); ++i) {
      TdxBar* bar = bars_->Items(i);
      // While the form goes the bars keep their state for the saved layout.
      if (bar->RealDockControl() == dockControl && bar->Visible() && !IsDestroying()) bar->SetVisible(false);
      if (bar->dockControl_ == dockControl) bar->dockControl_ = nullptr;
      if (bar->dockedDockControl_ == dockControl) bar->dockedDockControl_ = nullptr;
    }
  }
  it = std::find(dockControls_.begin(), dockControls_.end(), dockControl);
  if (it != dockControls_.end()) dockControls_.erase(it);
  if (bars_ && dockControl->Main()) bars_->ForgetDockControl(dockControl);
  dockControl->SetParentColor(true);
}

void TdxBarManager::AddGroup(TdxBarGroup* group) {
  if (IndexOfGroup(group) < 0) groups_.push_back(group);
  group->SetBarManager(this);
}

void TdxBarManager::RemoveGroup(TdxBarGroup* group) {
  groups_.erase(std::remove(groups_.begin(), groups_.end(), group), groups_.end());
}

TdxBarGroup* TdxBarManager::CreateGroup() {
  auto* group = new TdxBarGroup(mainForm_);
  AddGroup(group);
  return group;
}

std::vector<TComponent*> TdxBarManager::GetChildren(TComponent* root) const {
  std::vector<TComponent*> children;
  for (TdxBarGroup* g : groups_)
    if (g->Owner() == root) children.push_back(g);
  for (TdxBarItem* item : items_)
    if (item->Owner() == root && item->Category() >= 0) children.push_back(item);
  return children;
}

void TdxBarManager::SetName(const String& name) { TComponent::SetName(name); }

void TdxBarManager::DesignerModified() {
  if (IsLoading() || IsDestroying()) return;
  modified_ = true;
}

void TdxBarManager::UpdateItems(TdxBarItem* item) {
  if (designing_ && IsCustomizing() && item && item->Category() >= 0 && !IsLoading() && !IsDestroying())
    UpdateCustomizingBarItems();
}

HWND TdxBarManager::GetWindowForMouseCapturing() {
  if (customizing_)
    if (TdxBarCustomizingForm* form = dxBarCustomizingForm(); form && form->HandleAllocated()) return form->Handle();
  HWND app = Application->Handle();
  if (app && IsWindowVisible(app)) return app;
  return mainForm_->Handle();
}

HWND TdxBarManager::ParkingWindow() {
  if (!parkingWindow_ || !IsWindow(parkingWindow_))
    parkingWindow_ = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
  return parkingWindow_;
}

void TdxBarManager::AddItem(TdxBarItem* item) {
  if (IndexOfItem(item) < 0) items_.push_back(item);
}

void TdxBarManager::RemoveItem(TdxBarItem* item) {
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
}

void TdxBarManager::AddPopupMenu(TdxBarPopupMenu* menu) {
  if (std::find(popupMenus_.begin(), popupMenus_.end(), menu) == popupMenus_.end()) popupMenus_.push_back(menu);
}

void TdxBarManager::RemovePopupMenu(TdxBarPopupMenu* menu) {
  popupMenus_.erase(std::remove(popupMenus_.begin(), popupMenus_.end(), menu), popupMenus_.end());
}

void TdxBarManager::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == hotImages_) SetHotImages(nullptr);
  if (component == images_) SetImages(nullptr);
  if (component == largeImages_) SetLargeImages(nullptr);
  if (popupMenuLinks_)
    for (int i = 0; i < popupMenuLinks_->Count(); ++i) {
      TdxBarPopupMenuLink* link = popupMenuLinks_->Items(i);
      if (link->Control() == component) link->SetControl(nullptr);
      if (link->PopupMenu() == component) link->SetPopupMenu(nullptr);
    }
}

// ---------------------------------------------------------------- popups of the bars

void TdxBarManager::CreateToolbarsPopupList(TdxBarItemLinks* links) {
  for (int i = 0; i < bars_->Count(); ++i) {
    TdxBar* bar = bars_->Items(i);
    if (!bar->CanClose() || bar->Hidden()) continue;
    auto* button = new TdxBarButton(nullptr);
    AddInternalItem(button);
    button->SetCaption(bar->Caption());
    button->Tag = i;
    button->SetButtonStyle(bsChecked);
    button->SetDown(bar->Visible());
    button->OnClick = {this, &TdxBarManager::ToolbarsPopupClick};
    links->Add()->SetItem(button);
  }
  DoShowToolbarsPopup(links);
  AddCustomizeLink(links, true, TdxBarButton::Class());
}

void TdxBarManager::AddCustomizeLink(TdxBarItemLinks* links, bool beginGroup, TdxBarItemClass itemClass) {
  if (!canCustomize_ || !itemClass) return;
  TdxBarItem* item = itemClass->Create(nullptr);
  AddInternalItem(item);
  item->SetCaption(dxBarLoadStr(dxSBAR_CUSTOMIZE));
  item->SetEnabled(!dxBarCustomizingFormExists());
  item->Tag = 1000;
  item->OnClick = {this, &TdxBarManager::ToolbarsPopupClick};
  TdxBarItemLink* link = links->Add();
  link->SetItem(item);
  link->SetBeginGroup(beginGroup);
}

void TdxBarManager::ToolbarsPopupClick(TObject* sender) {
  auto* item = dynamic_cast<TdxBarItem*>(sender);
  if (!item) return;
  if (item->Tag == 1000) {
    Customizing(true);
    return;
  }
  if (TdxBar* bar = bars_->Items(static_cast<int>(item->Tag))) bar->SetVisible(!bar->Visible());
}

void TdxBarManager::HideAll() {
  if (TCustomdxBarControl* active = ActiveBarControl()) active->HideAll();
}

void TdxBarManager::Customizing(bool value) {
  if (value == customizing_ || (value && dxBarCustomizingFormExists())) return;
  for (int i = 0; i < bars_->Count(); ++i)
    if (TCustomdxBarControl* c = bars_->Items(i)->Control()) {
      c->HideAll();
      c->DestroyControls();
    }
  customizing_ = value;
  for (int i = 0; i < bars_->Count(); ++i) {
    TdxBar* bar = bars_->Items(i);
    bar->ItemLinks()->RefreshVisibilityLists();
    if (TCustomdxBarControl* c = bar->Control()) c->CreateControls();
  }
  for (TdxBarItem* item : items_)
    if (auto* sub = dynamic_cast<TCustomdxBarSubItem*>(item)) sub->ItemLinks()->RefreshVisibilityLists();
  for (TdxBarPopupMenu* popup : popupMenus_) popup->ItemLinks()->RefreshVisibilityLists();
  dxBarCustomizing(this, value);
  for (int i = 0; i < bars_->Count(); ++i)
    if (TCustomdxBarControl* c = bars_->Items(i)->Control()) c->RepaintBar();
}

// ---------------------------------------------------------------- usage data

void TdxBarManager::ResetUsageDataWithConfirmation() {
  if (Application->MessageBox(dxBarLoadStr(dxSBAR_WANTTORESETUSAGEDATA), Application->Title,
                              MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES)
    ResetUsageData();
}

void TdxBarManager::ResetUsageData() {
  WithLock(this, [&] {
    TOwned<TCustomForm> copy(LoadMainFormFromBin());
    if (!copy) return;
    auto* other = dynamic_cast<TdxBarManager*>(copy->FindComponent(Name()));
    if (!other) return;
    for (TdxBarItem* item : std::vector<TdxBarItem*>(items_)) {
      auto* sub = dynamic_cast<TCustomdxBarSubItem*>(item);
      if (!sub) continue;
      auto* source = dynamic_cast<TCustomdxBarSubItem*>(copy->FindComponent(sub->Name()));
      if (source) sub->ItemLinks()->AssignUsageData(source->ItemLinks());
    }
    for (int i = 0; i < bars_->Count() && i < other->Bars()->Count(); ++i)
      bars_->Items(i)->ItemLinks()->AssignUsageData(other->Bars()->Items(i)->ItemLinks());
  });
}

// ---------------------------------------------------------------- layout store

void TdxBarManager::LoadFromRegistry(const String& registryPath) { dxBarLayoutStore()->LoadFromRegistry(this, registryPath); }
void TdxBarManager::SaveToRegistry(const String& registryPath) { dxBarLayoutStore()->SaveToRegistry(this, registryPath); }
void TdxBarManager::LoadFromIniFile(const String& fileName) { dxBarLayoutStore()->LoadFromIniFile(this, fileName); }
void TdxBarManager::SaveToIniFile(const String& fileName) { dxBarLayoutStore()->SaveToIniFile(this, fileName); }
