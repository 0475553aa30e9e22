#include "Comctrls.h"

#include <algorithm>

namespace {

// The common-control classes a control superclasses must be registered
// before the first GetClassInfo on them.
void NeedCommonControls(DWORD classes) {
  static DWORD done = 0;
  if ((done & classes) == classes) return;
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = classes;
  InitCommonControlsEx(&icc);
  done |= classes;
}

[[noreturn]] void IndexError(int index) { throw EListError(Format("List index out of bounds (%d)", index)); }

}  // namespace

// ---------------------------------------------------------------- TStatusPanel

int TStatusPanel::Index() const { return collection_ ? collection_->IndexOf(this) : -1; }

void TStatusPanel::Changed(bool parts) {
  if (collection_) collection_->Changed(this, parts);
}

void TStatusPanel::SetText(const String& value) {
  if (value == text_) return;
  text_ = value;
  Changed(false);
}

void TStatusPanel::SetWidth(int value) {
  // The parts' right edges must not go back.
  value = std::max(value, 0);
  if (value == width_) return;
  width_ = value;
  Changed(true);
}

void TStatusPanel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Changed(false);
}

void TStatusPanel::SetBevel(TStatusPanelBevel value) {
  if (value == bevel_) return;
  bevel_ = value;
  Changed(false);
}

void TStatusPanel::SetStyle(TStatusPanelStyle value) {
  if (value == style_) return;
  style_ = value;
  Changed(false);
}

void TStatusPanel::Assign(TPersistent* source) {
  auto* p = dynamic_cast<TStatusPanel*>(source);
  if (!p) {
    TPersistent::Assign(source);
    return;
  }
  text_ = p->text_;
  width_ = p->width_;
  alignment_ = p->alignment_;
  bevel_ = p->bevel_;
  style_ = p->style_;
  Changed(true);
}

// ---------------------------------------------------------------- TStatusPanels

TStatusPanels::~TStatusPanels() {
  for (TStatusPanel* p : items_) delete p;
}

TStatusPanel* TStatusPanels::Items(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return items_[static_cast<size_t>(index)];
}

int TStatusPanels::IndexOf(const TStatusPanel* panel) const {
  auto it = std::find(items_.begin(), items_.end(), panel);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TStatusPanel* TStatusPanels::Add() { return Insert(Count()); }

TStatusPanel* TStatusPanels::Insert(int index) {
  if (index < 0 || index > Count()) IndexError(index);
  auto* p = new TStatusPanel(this);
  items_.insert(items_.begin() + index, p);
  Changed(nullptr, true);
  return p;
}

void TStatusPanels::Delete(int index) {
  TStatusPanel* p = Items(index);
  items_.erase(items_.begin() + index);
  delete p;
  Changed(nullptr, true);
}

void TStatusPanels::Clear() {
  if (items_.empty()) return;
  for (TStatusPanel* p : items_) delete p;
  items_.clear();
  Changed(nullptr, true);
}

void TStatusPanels::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0 && pending_) {
    pending_ = false;
    statusBar_->UpdatePanels();
  }
}

void TStatusPanels::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TStatusPanels*>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  if (src == this) return;
  BeginUpdate();
  Clear();
  for (TStatusPanel* p : src->items_) Add()->Assign(p);
  EndUpdate();
}

void TStatusPanels::Changed(TStatusPanel* panel, bool parts) {
  if (!statusBar_) return;
  if (updateCount_ > 0) {
    pending_ = true;
    return;
  }
  if (parts || !panel)
    statusBar_->UpdatePanels();
  else
    statusBar_->UpdatePanel(panel->Index());
}

// ---------------------------------------------------------------- TStatusBar

TStatusBar::TStatusBar(TComponent* owner)
    : TWinControl(owner), panels_(new TStatusPanels(this)), canvas_(new TCanvas) {
  ControlStyle >> csSetCaption;
  width_ = 150;
  height_ = 19;
  align_ = alBottom;
}

TStatusBar::~TStatusBar() {
  if (handle_) DestroyHandle();
  delete panels_;
}

void TStatusBar::CreateParams(TCreateParams& params) {
  NeedCommonControls(ICC_BAR_CLASSES);
  TWinControl::CreateParams(params);
  params.WindowClass = &ControlSuperclass("TStatusBar", STATUSCLASSNAMEA);
  // The control's layout places the bar, not the bar itself.
  params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE;
  if (sizeGrip_) params.Style |= SBARS_SIZEGRIP;
}

void TStatusBar::CreateWnd() {
  TWinControl::CreateWnd();
  UpdatePanels();
}

void TStatusBar::UpdatePanels() {
  if (!handle_) return;
  int n = panels_->Count();
  std::vector<int> edges;
  int x = 0;
  for (int i = 0; i < n; ++i) {
    x += panels_->Items(i)->Width();
    edges.push_back(i == n - 1 ? -1 : x);
  }
  if (edges.empty()) edges.push_back(-1);
  SendMessageA(handle_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  if (n == 0) SendMessageA(handle_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(""));
  for (int i = 0; i < n; ++i) UpdatePanel(i);
  if (simplePanel_) {
    SendMessageA(handle_, SB_SIMPLE, TRUE, 0);
    SendMessageA(handle_, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(simpleText_.c_str()));
  }
}

void TStatusBar::UpdatePanel(int index) {
  if (!handle_ || index < 0 || index >= panels_->Count()) return;
  TStatusPanel* p = panels_->Items(index);
  WPARAM type = 0;
  if (p->Bevel() == pbNone) type |= SBT_NOBORDERS;
  if (p->Bevel() == pbRaised) type |= SBT_POPOUT;
  if (p->Style() == psOwnerDraw) {
    SendMessageA(handle_, SB_SETTEXTA, static_cast<WPARAM>(index) | type | SBT_OWNERDRAW, reinterpret_cast<LPARAM>(p));
    return;
  }
  // The bar centres the text after one tab and right-aligns it after two.
  String text = p->Text();
  if (p->Alignment() == taCenter) text = "\t" + text;
  if (p->Alignment() == taRightJustify) text = "\t\t" + text;
  SendMessageA(handle_, SB_SETTEXTA, static_cast<WPARAM>(index) | type, reinterpret_cast<LPARAM>(text.c_str()));
}

void TStatusBar::SetSimplePanel(bool value) {
  if (value == simplePanel_) return;
  simplePanel_ = value;
  if (!handle_) return;
  SendMessageA(handle_, SB_SIMPLE, value, 0);
  if (value) SendMessageA(handle_, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(simpleText_.c_str()));
}

void TStatusBar::SetSimpleText(const String& value) {
  if (value == simpleText_) return;
  simpleText_ = value;
  if (handle_ && simplePanel_)
    SendMessageA(handle_, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(simpleText_.c_str()));
}

void TStatusBar::SetSizeGrip(bool value) {
  if (value == sizeGrip_) return;
  sizeGrip_ = value;
  RecreateWnd();
}

void TStatusBar::DrawPanel(TStatusPanel* panel, const TRect& rect) {
  if (OnDrawPanel) OnDrawPanel(this, panel, rect);
}

void TStatusBar::Dispatch(TMessage& msg) {
  if (msg.Msg == CN_DRAWITEM) {
    auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(msg.LParam);
    int i = static_cast<int>(d->itemID);
    msg.Result = TRUE;
    if (i < 0 || i >= panels_->Count()) return;
    struct TRelease {
      TCanvas* c;
      ~TRelease() { c->SetHandle(nullptr); }
    } release{canvas_.get()};
    canvas_->SetHandle(d->hDC);
    canvas_->Font()->Assign(font_);
    canvas_->Brush()->SetColor(color_);
    DrawPanel(panels_->Items(i), TRect(d->rcItem));
    return;
  }
  TWinControl::Dispatch(msg);
}

// ---------------------------------------------------------------- TCustomTabControl

TCustomTabControl::TCustomTabControl(TComponent* owner) : TWinControl(owner) {
  ControlStyle << csAcceptsControls;
  ControlStyle >> csSetCaption;
  // The tabs take the mouse themselves; a capture of ours would outlive a
  // change handler that waits (a modal form) past the button's release.
  ControlStyle >> csCaptureMouse;
  width_ = 289;
  height_ = 193;
  tabStop_ = true;
}

void TCustomTabControl::CreateParams(TCreateParams& params) {
  NeedCommonControls(ICC_TAB_CLASSES);
  TWinControl::CreateParams(params);
  params.WindowClass = &ControlSuperclass(ClassName().c_str(), WC_TABCONTROLA);
  if (tabPosition_ == tpBottom) params.Style |= TCS_BOTTOM;
  if (hotTrack_) params.Style |= TCS_HOTTRACK;
  if (multiLine_) params.Style |= TCS_MULTILINE;
  if (tabWidth_ > 0) params.Style |= TCS_FIXEDWIDTH;
}

void TCustomTabControl::CreateWnd() {
  TWinControl::CreateWnd();
  ApplyTabSize();
}

void TCustomTabControl::ApplyTabSize() {
  if (!handle_ || (tabWidth_ == 0 && tabHeight_ == 0)) return;
  SendMessageA(handle_, TCM_SETITEMSIZE, 0, MAKELPARAM(tabWidth_, tabHeight_));
}

void TCustomTabControl::SetTabPosition(TTabPosition value) {
  if (value == tabPosition_) return;
  tabPosition_ = value;
  RecreateWnd();
}

void TCustomTabControl::SetTabHeight(int value) {
  value = std::max(value, 0);
  if (value == tabHeight_) return;
  tabHeight_ = value;
  if (!handle_) return;
  // The platform keeps a height once set: a new window takes "none" again.
  if (value == 0) {
    RecreateWnd();
    return;
  }
  ApplyTabSize();
  Realign();
  Invalidate();
}

void TCustomTabControl::SetTabWidth(int value) {
  value = std::max(value, 0);
  if (value == tabWidth_) return;
  bool fixed = tabWidth_ > 0;
  tabWidth_ = value;
  if (!handle_) return;
  if (fixed != (value > 0)) {
    RecreateWnd();
    return;
  }
  ApplyTabSize();
  Realign();
  Invalidate();
}

void TCustomTabControl::SetHotTrack(bool value) {
  if (value == hotTrack_) return;
  hotTrack_ = value;
  RecreateWnd();
}

void TCustomTabControl::SetMultiLine(bool value) {
  if (value == multiLine_) return;
  multiLine_ = value;
  RecreateWnd();
}

TRect TCustomTabControl::DisplayRect() {
  TRect r = ClientRect();
  if (handle_) SendMessageA(handle_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(static_cast<RECT*>(&r)));
  return r;
}

void TCustomTabControl::AdjustClientRect(TRect& rect) {
  TWinControl::AdjustClientRect(rect);
  if (handle_) SendMessageA(handle_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(static_cast<RECT*>(&rect)));
}

int TCustomTabControl::IndexOfTabAt(int x, int y) {
  if (!handle_) return -1;
  TCHITTESTINFO hit{};
  hit.pt = {x, y};
  return static_cast<int>(SendMessageA(handle_, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

bool TCustomTabControl::CanChange() {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  return allow;
}

void TCustomTabControl::Change() {
  if (OnChange) OnChange(this);
}

void TCustomTabControl::Dispatch(TMessage& msg) {
  if (msg.Msg == CN_NOTIFY) {
    UINT code = reinterpret_cast<NMHDR*>(msg.LParam)->code;
    if (code == TCN_SELCHANGING) {
      // Nonzero keeps the current tab.
      msg.Result = CanChange() ? FALSE : TRUE;
      return;
    }
    if (code == TCN_SELCHANGE) {
      msg.Result = 0;
      TabChosen(WindowCurrentTab());
      Change();
      return;
    }
  }
  TWinControl::Dispatch(msg);
}

void TCustomTabControl::WindowInsertTab(int index, const String& text) {
  if (!handle_) return;
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>(text.c_str());
  SendMessageA(handle_, TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void TCustomTabControl::WindowDeleteTab(int index) {
  if (handle_) SendMessageA(handle_, TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
}

void TCustomTabControl::WindowSetTabText(int index, const String& text) {
  if (!handle_) return;
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>(text.c_str());
  SendMessageA(handle_, TCM_SETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void TCustomTabControl::WindowClearTabs() {
  if (handle_) SendMessageA(handle_, TCM_DELETEALLITEMS, 0, 0);
}

int TCustomTabControl::WindowCurrentTab() {
  return handle_ ? static_cast<int>(SendMessageA(handle_, TCM_GETCURSEL, 0, 0)) : -1;
}

void TCustomTabControl::WindowSelectTab(int index) {
  if (handle_ && WindowCurrentTab() != index) SendMessageA(handle_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
}

// ---------------------------------------------------------------- TTabControl

// The tabs' texts and objects; every change goes to the window at once.
class TTabControl::TTabStrings : public TStrings {
 public:
  explicit TTabStrings(TTabControl* control) : control_(control) {}

  int Count() const override { return static_cast<int>(items_.size()); }
  const String& Get(int index) const override { return At(index).text; }
  void Put(int index, const String& s) override {
    At(index).text = s;
    control_->WindowSetTabText(index, s);
  }
  TObject* GetObject(int index) const override { return At(index).object; }
  void PutObject(int index, TObject* obj) override { At(index).object = obj; }

  void Insert(int index, const String& s) override {
    if (index < 0 || index > Count()) throw EStringListError(Format("List index out of bounds (%d)", index));
    int current = control_->TabIndex();
    items_.insert(items_.begin() + index, TItem{s, nullptr});
    // The first tab becomes the current one, as the platform's control has it.
    if (current >= index)
      ++current;
    else if (current < 0 && items_.size() == 1)
      current = 0;
    control_->tabIndex_ = current;
    control_->WindowInsertTab(index, s);
    control_->WindowSelectTab(current);
  }

  void Delete(int index) override {
    At(index);
    int current = control_->TabIndex();
    items_.erase(items_.begin() + index);
    if (current == index)
      current = -1;
    else if (current > index)
      --current;
    control_->tabIndex_ = current;
    control_->WindowDeleteTab(index);
    control_->WindowSelectTab(current);
  }

  void Clear() override {
    items_.clear();
    control_->tabIndex_ = -1;
    control_->WindowClearTabs();
  }

 private:
  struct TItem {
    String text;
    TObject* object;
  };
  TItem& At(int index) {
    if (index < 0 || index >= Count()) throw EStringListError(Format("List index out of bounds (%d)", index));
    return items_[static_cast<size_t>(index)];
  }
  const TItem& At(int index) const { return const_cast<TTabStrings*>(this)->At(index); }

  TTabControl* control_;
  std::vector<TItem> items_;
};

TTabControl::TTabControl(TComponent* owner) : TCustomTabControl(owner), tabs_(new TTabStrings(this)) {}

TTabControl::~TTabControl() {
  if (handle_) DestroyHandle();
  delete tabs_;
}

void TTabControl::CreateWnd() {
  int current = tabIndex_;
  TCustomTabControl::CreateWnd();
  for (int i = 0; i < tabs_->Count(); ++i) WindowInsertTab(i, tabs_->Strings(i));
  WindowSelectTab(current);
  tabIndex_ = current;
}

void TTabControl::DestroyWnd() {
  if (handle_) tabIndex_ = WindowCurrentTab();
  TCustomTabControl::DestroyWnd();
}

int TTabControl::TabIndex() {
  if (handle_) tabIndex_ = WindowCurrentTab();
  return tabIndex_;
}

void TTabControl::SetTabIndex(int value) {
  if (value < -1 || value >= tabs_->Count() || value == TabIndex()) return;
  tabIndex_ = value;
  WindowSelectTab(value);
}

void TTabControl::TabChosen(int index) { tabIndex_ = index; }

// ---------------------------------------------------------------- TTabSheet

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
  ControlStyle << csAcceptsControls;
  visible_ = false;  // until its page control makes it the active page
  align_ = alClient;
}

TTabSheet::~TTabSheet() {
  if (pageControl_) pageControl_->RemovePage(this);
  pageControl_ = nullptr;
}

void TTabSheet::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = &ControlWindowClass("TTabSheet");
}

void TTabSheet::SetPageControl(TPageControl* value) { SetParent(value); }

void TTabSheet::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (TPageControl* old = pageControl_) {
    pageControl_ = nullptr;
    old->RemovePage(this);
  }
  TWinControl::SetParent(parent);
  if (auto* pc = dynamic_cast<TPageControl*>(parent)) {
    pageControl_ = pc;
    pc->InsertPage(this);
  }
}

int TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  auto& v = pageControl_->pages_;
  return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

void TTabSheet::SetPageIndex(int value) {
  if (pageControl_) pageControl_->MovePage(this, value);
}

void TTabSheet::SetTabVisible(bool value) {
  if (value == tabVisible_) return;
  tabVisible_ = value;
  if (pageControl_) pageControl_->UpdateTabs();
}

int TTabSheet::TabIndex() const {
  if (!pageControl_ || !tabVisible_) return -1;
  int i = 0;
  for (TTabSheet* p : pageControl_->pages_) {
    if (p == this) return i;
    if (p->tabVisible_) ++i;
  }
  return -1;
}

void TTabSheet::TextChanged() {
  TWinControl::TextChanged();
  if (pageControl_) pageControl_->UpdateTab(this);
}

// ---------------------------------------------------------------- TPageControl

TPageControl::TPageControl(TComponent* owner) : TCustomTabControl(owner) {}

TPageControl::~TPageControl() {
  // The pages go with the control's children; they must not call back.
  for (TTabSheet* p : pages_) p->pageControl_ = nullptr;
  pages_.clear();
  activePage_ = nullptr;
}

TTabSheet* TPageControl::Pages(int index) const {
  if (index < 0 || index >= PageCount()) IndexError(index);
  return pages_[static_cast<size_t>(index)];
}

int TPageControl::ActivePageIndex() const { return activePage_ ? activePage_->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int value) {
  SetActivePage(value >= 0 && value < PageCount() ? pages_[static_cast<size_t>(value)] : nullptr);
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  if (page == activePage_) return;
  TTabSheet* old = activePage_;
  activePage_ = page;
  WindowSelectTab(page ? page->TabIndex() : -1);
  if (page) {
    page->SetBoundsRect(DisplayRect());
    page->SetVisible(true);
  }
  if (old) old->SetVisible(false);
}

TTabSheet* TPageControl::PageOfTab(int tab) const {
  if (tab < 0) return nullptr;
  for (TTabSheet* p : pages_)
    if (p->tabVisible_ && tab-- == 0) return p;
  return nullptr;
}

void TPageControl::InsertPage(TTabSheet* page) {
  pages_.push_back(page);
  UpdateTabs();
  if (!activePage_)
    SetActivePage(page);
  else
    page->SetVisible(false);
}

void TPageControl::RemovePage(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  size_t at = static_cast<size_t>(it - pages_.begin());
  pages_.erase(it);
  if (activePage_ == page) {
    // The next page with a tab takes its place, else the one before it.
    activePage_ = nullptr;
    TTabSheet* next = nullptr;
    for (size_t i = at; i < pages_.size() && !next; ++i)
      if (pages_[i]->tabVisible_) next = pages_[i];
    for (size_t i = at; i > 0 && !next; --i)
      if (pages_[i - 1]->tabVisible_) next = pages_[i - 1];
    UpdateTabs();
    SetActivePage(next);
    return;
  }
  UpdateTabs();
}

void TPageControl::MovePage(TTabSheet* page, int index) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  pages_.erase(it);
  index = std::clamp(index, 0, PageCount());
  pages_.insert(pages_.begin() + index, page);
  UpdateTabs();
}

void TPageControl::UpdateTabs() {
  if (!handle_) return;
  WindowClearTabs();
  int tab = 0;
  for (TTabSheet* p : pages_)
    if (p->tabVisible_) WindowInsertTab(tab++, p->Caption());
  WindowSelectTab(activePage_ ? activePage_->TabIndex() : -1);
  // The rows of a multi-line strip, and so the display area, may change.
  Realign();
}

void TPageControl::UpdateTab(TTabSheet* page) {
  int tab = page->TabIndex();
  if (tab >= 0) WindowSetTabText(tab, page->Caption());
}

void TPageControl::CreateWnd() {
  TCustomTabControl::CreateWnd();
  UpdateTabs();
}

void TPageControl::TabChosen(int index) { SetActivePage(PageOfTab(index)); }

// ---------------------------------------------------------------- TProgressBar

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) {
  ControlStyle >> csSetCaption;
  width_ = 150;
  height_ = 16;
}

void TProgressBar::CreateParams(TCreateParams& params) {
  NeedCommonControls(ICC_PROGRESS_CLASS);
  TWinControl::CreateParams(params);
  params.WindowClass = &ControlSuperclass("TProgressBar", PROGRESS_CLASSA);
  if (smooth_) params.Style |= PBS_SMOOTH;
  if (orientation_ == pbVertical) params.Style |= PBS_VERTICAL;
}

void TProgressBar::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageA(handle_, PBM_SETSTEP, static_cast<WPARAM>(step_), 0);
  ApplyRange();
}

void TProgressBar::ApplyRange() {
  if (min_ <= max_) position_ = std::clamp(position_, min_, max_);
  if (!handle_) return;
  SendMessageA(handle_, PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
  SendMessageA(handle_, PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TProgressBar::SetMin(int value) {
  if (value == min_) return;
  min_ = value;
  ApplyRange();
}

void TProgressBar::SetMax(int value) {
  if (value == max_) return;
  max_ = value;
  ApplyRange();
}

void TProgressBar::SetPosition(int value) {
  if (min_ <= max_) value = std::clamp(value, min_, max_);
  if (value == position_) return;
  position_ = value;
  if (handle_) SendMessageA(handle_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

void TProgressBar::StepIt() {
  int64_t range = static_cast<int64_t>(max_) - min_;
  int64_t p = static_cast<int64_t>(position_) + step_;
  if (range > 0) {
    if (p > max_) p = min_ + (p - min_) % range;
    if (p < min_) p = max_ - (static_cast<int64_t>(min_) - p) % range;
  }
  SetPosition(static_cast<int>(p));
}

void TProgressBar::SetSmooth(bool value) {
  if (value == smooth_) return;
  smooth_ = value;
  RecreateWnd();
}

void TProgressBar::SetOrientation(TProgressBarOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  RecreateWnd();
}

// ---------------------------------------------------------------- TUpDown

TUpDown::TUpDown(TComponent* owner) : TWinControl(owner) {
  // The arrows capture the mouse and report their clicks themselves.
  ControlStyle >> csCaptureMouse;
  ControlStyle >> csClickEvents;
  ControlStyle >> csSetCaption;
  width_ = 17;
  height_ = 21;
}

void TUpDown::CreateParams(TCreateParams& params) {
  NeedCommonControls(ICC_UPDOWN_CLASS);
  TWinControl::CreateParams(params);
  params.WindowClass = &ControlSuperclass("TUpDown", UPDOWN_CLASSA);
  params.Style |= UDS_SETBUDDYINT;
  params.Style |= alignButton_ == udLeft ? UDS_ALIGNLEFT : UDS_ALIGNRIGHT;
  if (arrowKeys_) params.Style |= UDS_ARROWKEYS;
  if (wrap_) params.Style |= UDS_WRAP;
  if (!thousands_) params.Style |= UDS_NOTHOUSANDS;
  if (orientation_ == udHorizontal) params.Style |= UDS_HORZ;
}

void TUpDown::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageA(handle_, UDM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
  UDACCEL accel{0, static_cast<UINT>(increment_)};
  SendMessageA(handle_, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
  AttachAssociate();
  SendMessageA(handle_, UDM_SETPOS32, 0, position_);
}

void TUpDown::DestroyWnd() {
  Position();  // what the window shows is kept for the next one
  TWinControl::DestroyWnd();
}

void TUpDown::AttachAssociate() {
  if (!handle_ || !associate_) return;
  // An associate that cannot have a window yet is attached when we get a new one.
  if (!associate_->HandleAllocated() && !associate_->Parent() && !associate_->ParentWindow()) return;
  if (associate_ == narrowed_ && associate_->BoundsRect() == narrowedTo_) associate_->SetBoundsRect(narrowedFrom_);
  narrowed_ = associate_;
  narrowedFrom_ = associate_->BoundsRect();
  SendMessageA(handle_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(associate_->Handle()), 0);
  narrowedTo_ = associate_->BoundsRect();
}

void TUpDown::ShowPosition() {
  if (handle_ || !associate_ || IsLoading()) return;
  // Decimal digits, grouped in threes by the locale's separator unless
  // Thousands is off.
  const bool negative = position_ < 0;
  String digits = std::to_string(negative ? -static_cast<long long>(position_) : position_);
  if (thousands_ && digits.size() > 3) {
    char sep[8] = ",";
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, sep, sizeof sep);
    String grouped;
    const size_t lead = (digits.size() - 1) % 3 + 1;
    grouped = digits.substr(0, lead);
    for (size_t i = lead; i < digits.size(); i += 3) grouped += sep + digits.substr(i, 3);
    digits = grouped;
  }
  associate_->SetText(negative ? "-" + digits : digits);
}

void TUpDown::Loaded() {
  TWinControl::Loaded();
  ShowPosition();
}

void TUpDown::SetAssociate(TWinControl* value) {
  if (value == associate_) return;
  if (value == this) throw EInvalidOperation("An up-down control cannot be its own associate");
  if (associate_) associate_->RemoveFreeNotification(this);
  associate_ = value;
  if (value) value->FreeNotification(this);
  if (!handle_) {
    ShowPosition();
    return;
  }
  if (value) {
    AttachAssociate();
    SendMessageA(handle_, UDM_SETPOS32, 0, position_);
  } else {
    SendMessageA(handle_, UDM_SETBUDDY, 0, 0);
  }
}

void TUpDown::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == narrowed_) narrowed_ = nullptr;
  if (component == associate_) {
    associate_ = nullptr;
    if (handle_) SendMessageA(handle_, UDM_SETBUDDY, 0, 0);
  }
}

void TUpDown::ApplyRange() {
  int lo = std::min(min_, max_), hi = std::max(min_, max_);
  position_ = std::clamp(position_, lo, hi);
  if (!handle_) {
    ShowPosition();
    return;
  }
  SendMessageA(handle_, UDM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
  SendMessageA(handle_, UDM_SETPOS32, 0, position_);
}

void TUpDown::SetMin(int value) {
  if (value == min_) return;
  Position();
  min_ = value;
  ApplyRange();
}

void TUpDown::SetMax(int value) {
  if (value == max_) return;
  Position();
  max_ = value;
  ApplyRange();
}

int TUpDown::Position() {
  if (handle_) {
    BOOL failed = FALSE;
    auto p = static_cast<int>(SendMessageA(handle_, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed)));
    if (!failed) position_ = p;
  }
  return position_;
}

void TUpDown::SetPosition(int value) {
  value = std::clamp(value, std::min(min_, max_), std::max(min_, max_));
  position_ = value;
  if (handle_)
    SendMessageA(handle_, UDM_SETPOS32, 0, value);
  else
    ShowPosition();
}

void TUpDown::SetIncrement(int value) {
  if (value == increment_) return;
  increment_ = value;
  if (!handle_) return;
  UDACCEL accel{0, static_cast<UINT>(value)};
  SendMessageA(handle_, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
}

void TUpDown::SetWrap(bool value) {
  if (value == wrap_) return;
  wrap_ = value;
  RecreateWnd();
}

void TUpDown::SetArrowKeys(bool value) {
  if (value == arrowKeys_) return;
  arrowKeys_ = value;
  RecreateWnd();
}

void TUpDown::SetThousands(bool value) {
  if (value == thousands_) return;
  thousands_ = value;
  RecreateWnd();
  ShowPosition();
}

void TUpDown::SetOrientation(TUDOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  RecreateWnd();
}

void TUpDown::SetAlignButton(TUDAlignButton value) {
  if (value == alignButton_) return;
  alignButton_ = value;
  RecreateWnd();
}

bool TUpDown::CanChange() {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  return allow;
}

void TUpDown::Click(TUDBtnType button) {
  if (OnClick) OnClick(this, button);
}

void TUpDown::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_NOTIFY:
      if (reinterpret_cast<NMHDR*>(msg.LParam)->code == UDN_DELTAPOS) {
        bool allow = CanChange();
        // The arrows report their click even when the change was refused.
        lastDelta_ = allow ? reinterpret_cast<NMUPDOWN*>(msg.LParam)->iDelta : 0;
        msg.Result = allow ? 0 : 1;  // nonzero keeps the position
        return;
      }
      break;
    case CN_HSCROLL:
    case CN_VSCROLL:
      if (LOWORD(msg.WParam) == SB_THUMBPOSITION) {
        msg.Result = 0;
        int delta = lastDelta_;
        lastDelta_ = 0;
        Position();
        if (delta != 0) Click(delta < 0 ? btPrev : btNext);
        return;
      }
      break;
    default:
      break;
  }
  TWinControl::Dispatch(msg);
}
