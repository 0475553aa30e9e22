#include "Controls.h"

#include <commctrl.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

// ---------------------------------------------------------------- window classes

// The classes live as long as the process; the map's keys hold their names.
// The control classes last as long as the process: forms freed at its end
// still talk to their controls.
TObjectWindowClass& ControlWindowClass(const char* name, UINT style) {
  static auto& classes = *new std::map<String, std::unique_ptr<TObjectWindowClass>>;
  auto it = classes.find(name);
  if (it == classes.end()) {
    it = classes.emplace(name, nullptr).first;
    it->second = std::make_unique<TObjectWindowClass>(it->first.c_str(), kSlotUserData, style, 0, nullptr, nullptr);
  }
  return *it->second;
}

TObjectWindowClass& ControlSuperclass(const char* name, const char* baseClass) {
  static auto& classes = *new std::map<String, std::pair<String, std::unique_ptr<TObjectWindowClass>>>;
  auto it = classes.find(name);
  if (it == classes.end()) {
    it = classes.emplace(name, std::make_pair(String(baseClass), nullptr)).first;
    it->second.second = std::make_unique<TObjectWindowClass>(
        TObjectWindowClass::Superclass(it->first.c_str(), it->second.first.c_str()));
  }
  return *it->second.second;
}

// ---------------------------------------------------------------- helpers

String GetShortHint(const String& hint) {
  auto p = hint.find('|');
  return p == String::npos ? hint : hint.substr(0, p);
}

String GetLongHint(const String& hint) {
  auto p = hint.find('|');
  return p == String::npos ? hint : hint.substr(p + 1);
}

TShiftState MouseKeysToShiftState(WPARAM keys) {
  TShiftState s;
  if (keys & MK_SHIFT) s << ssShift;
  if (keys & MK_CONTROL) s << ssCtrl;
  if (keys & MK_LBUTTON) s << ssLeft;
  if (keys & MK_RBUTTON) s << ssRight;
  if (keys & MK_MBUTTON) s << ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s << ssAlt;
  return s;
}

namespace {
char UpperChar(char c) {
  char buf[2] = {c, 0};
  CharUpperBuffA(buf, 1);
  return buf[0];
}
}  // namespace

char AccelChar(const String& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return UpperChar(caption[i + 1]);
  }
  return 0;
}

bool IsAccel(WORD key, const String& caption) {
  char c = AccelChar(caption);
  return c != 0 && c == UpperChar(static_cast<char>(key & 0xFF));
}

namespace {
bool gVersionForced = false;
TComCtlVersion gForcedVersion;
}  // namespace

TComCtlVersion ComCtlVersion() {
  if (gVersionForced) return gForcedVersion;
  static TComCtlVersion real = [] {
    TComCtlVersion v{4, 0};
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA("comctl32.dll", &handle);
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (size && GetFileVersionInfoA("comctl32.dll", 0, size, data.data()) &&
        VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &len) && info && len >= sizeof *info) {
      v = {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS), info->dwFileVersionLS};
      return v;
    }
    HMODULE m = GetModuleHandleA("comctl32.dll");
    if (!m) m = LoadLibraryA("comctl32.dll");
    if (m) {
      using TDllGetVersion = HRESULT(CALLBACK*)(DLLVERSIONINFO*);
      auto get = reinterpret_cast<TDllGetVersion>(reinterpret_cast<void*>(GetProcAddress(m, "DllGetVersion")));
      DLLVERSIONINFO dvi{};
      dvi.cbSize = sizeof dvi;
      if (get && SUCCEEDED(get(&dvi))) v = {static_cast<int>(dvi.dwMajorVersion), static_cast<int>(dvi.dwMinorVersion)};
    }
    return v;
  }();
  return real;
}

void ForceComCtlVersion(const TComCtlVersion* version) {
  gVersionForced = version != nullptr;
  if (version) gForcedVersion = *version;
}

// ---------------------------------------------------------------- cursors

namespace {

HCURSOR MakeDragCursor(bool multi) {
  // An arrow with a page (two pages for several items) below it.
  const int w = 32, h = 32;
  BYTE andMask[w * h / 8], xorMask[w * h / 8];
  std::fill(std::begin(andMask), std::end(andMask), 0xFF);
  std::fill(std::begin(xorMask), std::end(xorMask), 0x00);
  auto set = [&](int x, int y, bool white) {
    int i = y * (w / 8) + x / 8;
    BYTE bit = static_cast<BYTE>(0x80 >> (x % 8));
    andMask[i] &= static_cast<BYTE>(~bit);
    if (white)
      xorMask[i] |= bit;
    else
      xorMask[i] &= static_cast<BYTE>(~bit);
  };
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x <= y && x < 8; ++x) set(x, y, !(x == 0 || x == y || y == 11));
  auto page = [&](int ox, int oy) {
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 8; ++x) set(ox + x, oy + y, !(x == 0 || x == 7 || y == 0 || y == 9));
  };
  if (multi) page(12, 14);
  page(8, 18);
  ICONINFO info{};
  info.fIcon = FALSE;
  HBITMAP bmAnd = CreateBitmap(w, h, 1, 1, andMask);
  HBITMAP bmXor = CreateBitmap(w, h, 1, 1, xorMask);
  info.hbmMask = bmAnd;
  info.hbmColor = bmXor;
  HCURSOR c = CreateIconIndirect(&info);
  DeleteObject(bmAnd);
  DeleteObject(bmXor);
  return c;
}

std::map<TCursor, HCURSOR>& CursorTable() {
  static std::map<TCursor, HCURSOR> table = [] {
    std::map<TCursor, HCURSOR> t;
    auto sys = [](LPCSTR id) { return LoadCursorA(nullptr, id); };
    t[crArrow] = sys(IDC_ARROW);
    t[crCross] = sys(IDC_CROSS);
    t[crIBeam] = sys(IDC_IBEAM);
    t[crSizeNESW] = sys(IDC_SIZENESW);
    t[crSizeNS] = sys(IDC_SIZENS);
    t[crSizeNWSE] = sys(IDC_SIZENWSE);
    t[crSizeWE] = sys(IDC_SIZEWE);
    t[crUpArrow] = sys(IDC_UPARROW);
    t[crHourGlass] = sys(IDC_WAIT);
    t[crDrag] = MakeDragCursor(false);
    t[crMultiDrag] = MakeDragCursor(true);
    t[crNoDrop] = sys(IDC_NO);
    t[crNo] = sys(IDC_NO);
    t[crHSplit] = sys(IDC_SIZEWE);
    t[crVSplit] = sys(IDC_SIZENS);
    t[crAppStart] = sys(IDC_APPSTARTING);
    t[crHelp] = sys(IDC_HELP);
    t[crHandPoint] = sys(IDC_HAND);
    t[crSizeAll] = sys(IDC_SIZEALL);
    return t;
  }();
  return table;
}

TCursor gScreenCursor = crDefault;

}  // namespace

HCURSOR CursorHandle(TCursor cursor) {
  auto& t = CursorTable();
  auto it = t.find(cursor);
  if (it != t.end() && it->second) return it->second;
  return t[crArrow];
}

void SetCursorHandle(TCursor cursor, HCURSOR handle) {
  if (cursor == crDefault) return;
  CursorTable()[cursor] = handle;
}

TCursor ScreenCursor() { return gScreenCursor; }

void SetScreenCursor(TCursor cursor) {
  if (cursor == gScreenCursor) return;
  gScreenCursor = cursor;
  if (cursor == crDefault) {
    // Let the window under the mouse choose again.
    POINT p;
    GetCursorPos(&p);
    SetCursorPos(p.x, p.y);
  } else {
    ::SetCursor(CursorHandle(cursor));
  }
}

// ---------------------------------------------------------------- TSizeConstraints

void TSizeConstraints::SetMinWidth(int v) {
  if (v == minWidth_) return;
  minWidth_ = v;
  if (maxWidth_ > 0 && maxWidth_ < v) maxWidth_ = v;
  Changed();
}

void TSizeConstraints::SetMinHeight(int v) {
  if (v == minHeight_) return;
  minHeight_ = v;
  if (maxHeight_ > 0 && maxHeight_ < v) maxHeight_ = v;
  Changed();
}

void TSizeConstraints::SetMaxWidth(int v) {
  if (v == maxWidth_) return;
  maxWidth_ = v;
  if (v > 0 && minWidth_ > v) minWidth_ = v;
  Changed();
}

void TSizeConstraints::SetMaxHeight(int v) {
  if (v == maxHeight_) return;
  maxHeight_ = v;
  if (v > 0 && minHeight_ > v) minHeight_ = v;
  Changed();
}

void TSizeConstraints::Apply(int& width, int& height) const {
  if (maxWidth_ > 0 && width > maxWidth_) width = maxWidth_;
  if (minWidth_ > 0 && width < minWidth_) width = minWidth_;
  if (maxHeight_ > 0 && height > maxHeight_) height = maxHeight_;
  if (minHeight_ > 0 && height < minHeight_) height = minHeight_;
}

void TSizeConstraints::Assign(TPersistent* source) {
  auto* c = dynamic_cast<TSizeConstraints*>(source);
  if (!c) {
    TPersistent::Assign(source);
    return;
  }
  minWidth_ = c->minWidth_;
  minHeight_ = c->minHeight_;
  maxWidth_ = c->maxWidth_;
  maxHeight_ = c->maxHeight_;
  Changed();
}

void TSizeConstraints::Changed() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------- drag and drop

TCursor TDragObject::GetDragCursor(bool accepted, int, int) { return accepted ? crDrag : crNoDrop; }

TCursor TDragControlObject::GetDragCursor(bool accepted, int, int) {
  return accepted ? Control->DragCursor() : crNoDrop;
}

TObject* TDragControlObject::Source() { return Control; }

namespace {

struct TDragManager {
  TControl* source = nullptr;
  TDragObject* object = nullptr;
  bool ownsObject = false;
  bool armed = false;   // waiting for the mouse to pass the threshold
  bool active = false;  // dragging
  TPoint start;
  int threshold = 0;
  TControl* target = nullptr;
  bool accepted = false;
};

TDragManager gDrag;

// Where the mouse was for the message being handled (GetCursorPos may lag
// behind or run ahead of the queue).
TPoint CursorPos() {
  DWORD pos = GetMessagePos();
  return TPoint(GET_X_LPARAM(pos), GET_Y_LPARAM(pos));
}

void ShowDragCursor() {
  TCursor c = gDrag.object ? gDrag.object->GetDragCursor(gDrag.accepted, 0, 0) : crNoDrop;
  ::SetCursor(CursorHandle(c));
}

void DragTo(const TPoint& pos) {
  TControl* t = TControl::FindDragTarget(pos);
  if (t && !t->Enabled()) t = nullptr;
  bool accept = false;
  if (t != gDrag.target) {
    if (gDrag.target) gDrag.target->DoDragMsg(dmDragLeave, gDrag.object, pos, accept);
    gDrag.target = t;
    gDrag.accepted = false;
    if (!gDrag.active) return;  // a handler ended the drag
    if (t) {
      accept = false;
      t->DoDragMsg(dmDragEnter, gDrag.object, pos, accept);
      gDrag.accepted = accept;
    }
  } else if (t) {
    accept = false;
    t->DoDragMsg(dmDragMove, gDrag.object, pos, accept);
    gDrag.accepted = accept;
  }
  if (!gDrag.active) return;
  gDrag.object->DragPos = pos;
  gDrag.object->DragTargetControl = gDrag.target;
  ShowDragCursor();
}

void StartDragging() {
  TControl* src = gDrag.source;
  gDrag.armed = false;
  gDrag.active = true;
  TDragObject* obj = nullptr;
  src->DoStartDrag(obj);
  if (!gDrag.active || gDrag.source != src) return;  // cancelled meanwhile
  if (obj) {
    gDrag.object = obj;
    gDrag.ownsObject = false;
  } else {
    gDrag.object = new TDragControlObject(src);
    gDrag.ownsObject = true;
  }
  if (auto* w = dynamic_cast<TWinControl*>(src); w && w->HandleAllocated()) SetCapture(w->Handle());
  DragTo(CursorPos());
}

// Ends the drag; the target receives the drop when drop is set and it
// accepted. The source's OnEndDrag always follows.
void DragDone(bool drop) {
  if (!gDrag.active && !gDrag.armed) return;
  TDragManager d = gDrag;
  gDrag = TDragManager();
  if (!d.active) return;
  if (auto* w = dynamic_cast<TWinControl*>(d.source); w && w->HandleAllocated() && GetCapture() == w->Handle())
    ReleaseCapture();
  TPoint pos = CursorPos();
  TControl* target = nullptr;
  if (d.target) {
    bool accept = false;
    if (drop && d.accepted) {
      target = d.target;
      TPoint p = target->ScreenToClient(pos);
      d.object->Dropped = true;
      target->DragDrop(d.object->Source(), p.x, p.y);
    } else {
      d.object->Cancelling = !drop;
      d.target->DoDragMsg(dmDragLeave, d.object, pos, accept);
    }
  }
  if (d.source) {
    TPoint p = target ? target->ScreenToClient(pos) : TPoint(0, 0);
    d.source->DoEndDrag(target, p.x, p.y);
  }
  if (d.ownsObject) delete d.object;
  ::SetCursor(CursorHandle(crArrow));
}

}  // namespace

bool DragActive() { return gDrag.active; }
TControl* DragSourceControl() { return gDrag.active || gDrag.armed ? gDrag.source : nullptr; }
void CancelDrag() { DragDone(false); }

// Looks at every message while a drag is armed or running; true when the
// drag took it.
bool DragFilterMessage(MSG& msg) {
  if (!gDrag.armed && !gDrag.active) return false;
  switch (msg.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE: {
      TPoint pos = CursorPos();
      if (gDrag.armed) {
        if (!(GetKeyState(VK_LBUTTON) & 0x8000)) {
          gDrag = TDragManager();
          return false;
        }
        if (std::abs(pos.x - gDrag.start.x) >= gDrag.threshold || std::abs(pos.y - gDrag.start.y) >= gDrag.threshold)
          StartDragging();
        return false;
      }
      DragTo(pos);
      return true;
    }
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP:
      if (gDrag.armed) {
        gDrag = TDragManager();
        return false;
      }
      DragDone(true);
      return true;
    case WM_RBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
      if (gDrag.active) {
        DragDone(false);
        return true;
      }
      return false;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (msg.wParam == VK_ESCAPE) {
        bool wasActive = gDrag.active;
        DragDone(false);
        return wasActive;
      }
      if (gDrag.active) {
        // Modifier keys may change the cursor; nothing else reaches controls.
        DragTo(CursorPos());
        return true;
      }
      return false;
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
      return gDrag.active;
    default:
      return false;
  }
}

// ---------------------------------------------------------------- TControlActionLink

TControlActionLink::TControlActionLink(TControl* client) : TActionLink(client), control_(client) {}

bool TControlActionLink::IsCaptionLinked() const {
  return TActionLink::IsCaptionLinked() && control_->Caption() == CustomAction()->Caption();
}
bool TControlActionLink::IsEnabledLinked() const {
  return TActionLink::IsEnabledLinked() && control_->Enabled() == CustomAction()->Enabled();
}
bool TControlActionLink::IsHelpContextLinked() const {
  return TActionLink::IsHelpContextLinked() && control_->HelpContext() == CustomAction()->HelpContext();
}
bool TControlActionLink::IsHintLinked() const {
  return TActionLink::IsHintLinked() && control_->Hint() == CustomAction()->Hint();
}
bool TControlActionLink::IsVisibleLinked() const {
  return TActionLink::IsVisibleLinked() && control_->Visible() == CustomAction()->Visible();
}
bool TControlActionLink::IsOnExecuteLinked() const {
  return TActionLink::IsOnExecuteLinked() && control_->OnClick == Action()->OnExecute;
}
void TControlActionLink::SetCaption(const String& value) {
  if (ApplyingAll || IsCaptionLinked()) control_->SetCaption(value);
}
void TControlActionLink::SetEnabled(bool value) {
  if (ApplyingAll || IsEnabledLinked()) control_->SetEnabled(value);
}
void TControlActionLink::SetHelpContext(int value) {
  if (ApplyingAll || IsHelpContextLinked()) control_->SetHelpContext(value);
}
void TControlActionLink::SetHint(const String& value) {
  if (ApplyingAll || IsHintLinked()) control_->SetHint(value);
}
void TControlActionLink::SetVisible(bool value) {
  if (ApplyingAll || IsVisibleLinked()) control_->SetVisible(value);
}

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {
  font_ = new TFont;
  font_->OnChange = {this, &TControl::FontObjectChanged};
  constraints_ = new TSizeConstraints;
  constraints_->OnChange = [this](TObject*) {
    if (!IsLoading()) SetBounds(left_, top_, width_, height_);
  };
  ControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  WindowProc = {this, &TControl::WndProc};
}

TControl::~TControl() {
  if (gDrag.source == this) DragDone(false);
  if (gDrag.target == this) gDrag.target = nullptr;
  delete actionLink_;
  actionLink_ = nullptr;
  SetParent(nullptr);
  delete constraints_;
  delete font_;
}

void TControl::BeforeDestruction() { TComponent::BeforeDestruction(); }

TWinControl* TControl::FormControl() const {
  const TControl* c = this;
  TWinControl* form = nullptr;
  while (c) {
    if (auto* w = dynamic_cast<const TWinControl*>(c); w && w->IsFormControl()) form = const_cast<TWinControl*>(w);
    c = c->parent_;
  }
  return form;
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (parent_) parent_->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  constraints_->Apply(width, height);
  if ((width != width_ || height != height_) && !CanResize(width, height)) {
    width = width_;
    height = height_;
  }
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  bool sized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (auto* w = dynamic_cast<TWinControl*>(this)) w->SetWindowBounds();
  UpdateAnchorRules();
  if (sized) {
    if (auto* w = dynamic_cast<TWinControl*>(this)) w->Realign();
    if (!IsLoading()) Resize();
  }
  if (align_ != alNone || parent_) RequestAlign();
}

void TControl::SetAlignedBounds(int left, int top, int width, int height) {
  int savedR = anchorRight_, savedB = anchorBottom_, savedW = anchorParentW_, savedH = anchorParentH_;
  bool savedV = anchorsValid_;
  SetBounds(left, top, width, height);
  anchorRight_ = savedR;
  anchorBottom_ = savedB;
  anchorParentW_ = savedW;
  anchorParentH_ = savedH;
  anchorsValid_ = savedV;
}

void TControl::UpdateAnchorRules() {
  if (!parent_ || align_ != alNone || (parent_->alignLevel_ > 0)) return;
  TRect r = parent_->ClientRect();
  if (r.Width() <= 0 && r.Height() <= 0) return;
  anchorParentW_ = r.Width();
  anchorParentH_ = r.Height();
  anchorRight_ = anchorParentW_ - (left_ + width_);
  anchorBottom_ = anchorParentH_ - (top_ + height_);
  anchorsValid_ = true;
}

TRect TControl::ClientRect() { return TRect(0, 0, width_, height_); }

void TControl::SetClientWidth(int w) {
  TRect r = ClientRect();
  SetWidth(width_ - r.Width() + w);
}

void TControl::SetClientHeight(int h) {
  TRect r = ClientRect();
  SetHeight(height_ - r.Height() + h);
}

TPoint TControl::ClientOrigin() {
  if (!parent_) return TPoint(left_, top_);
  TPoint o = parent_->ClientOrigin();
  return TPoint(o.x + left_, o.y + top_);
}

void TControl::SetAlign(TAlign value) {
  if (value == align_) return;
  TAlign old = align_;
  align_ = value;
  anchors_ = value == alNone ? TAnchors{akLeft, akTop} : anchors_;
  if (old == alNone || value != alNone) RequestAlign();
  if (value == alNone) UpdateAnchorRules();
}

void TControl::SetAnchors(TAnchors value) {
  if (value == anchors_) return;
  anchors_ = value;
  UpdateAnchorRules();
}

void TControl::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  Perform(CM_VISIBLECHANGED, value);
  RequestAlign();
}

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

void TControl::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Perform(CM_ENABLEDCHANGED);
}

void TControl::SetText(const String& value) {
  if (value == text_) return;
  text_ = value;
  Perform(CM_TEXTCHANGED);
}

void TControl::SetColor(TColor value) {
  if (value == color_ && !parentColor_) return;
  color_ = value;
  parentColor_ = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool value) {
  if (value == parentColor_) return;
  parentColor_ = value;
  if (value && parent_) Perform(CM_PARENTCOLORCHANGED);
}

void TControl::SetParentFont(bool value) {
  if (value == parentFont_) return;
  parentFont_ = value;
  if (value && parent_) Perform(CM_PARENTFONTCHANGED);
}

void TControl::FontObjectChanged(TObject*) {
  parentFont_ = false;
  Perform(CM_FONTCHANGED);
}

void TControl::SetShowHint(bool value) {
  if (value == showHint_ && !parentShowHint_) return;
  showHint_ = value;
  parentShowHint_ = false;
  Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool value) {
  if (value == parentShowHint_) return;
  parentShowHint_ = value;
  if (value && parent_) Perform(CM_PARENTSHOWHINTCHANGED);
}

void TControl::SetCursor(TCursor value) {
  if (value == cursor_) return;
  cursor_ = value;
  Perform(CM_CURSORCHANGED);
}

void TControl::SetPopupMenu(TPopupMenu* value) {
  if (value == popupMenu_) return;
  popupMenu_ = value;
  if (value) value->FreeNotification(this);
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == popupMenu_) popupMenu_ = nullptr;
  if (actionLink_ && component == actionLink_->Action()) SetAction(nullptr);
}

TBasicAction* TControl::Action() const { return actionLink_ ? actionLink_->Action() : nullptr; }

void TControl::SetAction(TBasicAction* value) {
  if (!value) {
    delete actionLink_;
    actionLink_ = nullptr;
    ControlStyle >> csActionClient;
    return;
  }
  ControlStyle << csActionClient;
  if (!actionLink_) {
    actionLink_ = CreateActionLink();
    actionLink_->OnChange = {this, &TControl::DoActionChange};
  }
  actionLink_->SetAction(value);
  ActionChange(value, IsLoading());
  value->FreeNotification(this);
}

TControlActionLink* TControl::CreateActionLink() { return new TControlActionLink(this); }

void TControl::DoActionChange(TObject* sender) {
  if (actionLink_ && sender == actionLink_) ActionChange(actionLink_->Action(), false);
}

void TControl::ActionChange(TObject* sender, bool checkDefaults) {
  auto* a = dynamic_cast<TCustomAction*>(sender);
  if (!a) return;
  if (!checkDefaults || Caption().empty() || Caption() == Name()) SetCaption(a->Caption());
  if (!checkDefaults || enabled_) SetEnabled(a->Enabled());
  if (!checkDefaults || helpContext_ == 0) SetHelpContext(a->HelpContext());
  if (!checkDefaults || hint_.empty()) SetHint(a->Hint());
  if (!checkDefaults || visible_) SetVisible(a->Visible());
  if (!checkDefaults || !OnClick) OnClick = a->OnExecute;
}

void TControl::Click() {
  // The action runs when the click handler is the action's own (or none).
  if (actionLink_ && actionLink_->Action() && (!OnClick || OnClick == actionLink_->Action()->OnExecute)) {
    actionLink_->Execute(this);
  } else if (OnClick) {
    OnClick(this);
  }
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

bool TControl::DoMouseWheel(TShiftState, int, TPoint) { return false; }

void TControl::DoContextPopup(TPoint mousePos, bool& handled) {
  if (OnContextPopup) OnContextPopup(this, mousePos, handled);
}

void TControl::DragOver(TObject* source, int x, int y, TDragState state, bool& accept) {
  accept = static_cast<bool>(OnDragOver);
  if (OnDragOver) OnDragOver(this, source, x, y, state, accept);
}

void TControl::DragDrop(TObject* source, int x, int y) {
  if (OnDragDrop) OnDragDrop(this, source, x, y);
}

void TControl::DoStartDrag(TDragObject*& dragObject) {
  if (OnStartDrag) OnStartDrag(this, dragObject);
}

void TControl::DoEndDrag(TObject* target, int x, int y) {
  if (OnEndDrag) OnEndDrag(this, target, x, y);
}

void TControl::DoDragMsg(TDragMessage msg, TDragObject* drag, TPoint pos, bool& accept) {
  TPoint p = ScreenToClient(pos);
  TObject* source = drag ? drag->Source() : nullptr;
  switch (msg) {
    case dmDragEnter:
      DragOver(source, p.x, p.y, dsDragEnter, accept);
      break;
    case dmDragMove:
      DragOver(source, p.x, p.y, dsDragMove, accept);
      break;
    case dmDragLeave: {
      bool dummy = false;
      DragOver(source, p.x, p.y, dsDragLeave, dummy);
      break;
    }
    case dmDragDrop:
      DragDrop(source, p.x, p.y);
      break;
    default:
      break;
  }
}

void TControl::BeginDrag(bool immediate, int threshold) {
  if (gDrag.active || gDrag.armed) return;
  gDrag = TDragManager();
  gDrag.source = this;
  gDrag.start = CursorPos();
  gDrag.threshold = threshold >= 0 ? threshold : std::max(GetSystemMetrics(SM_CXDRAG), 1);
  if (immediate)
    StartDragging();
  else
    gDrag.armed = true;
}

bool TControl::Dragging() const { return gDrag.active && gDrag.source == this; }

void TControl::EndDrag(bool drop) {
  if (gDrag.source == this) DragDone(drop);
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

bool TControl::CanResize(int& newWidth, int& newHeight) {
  bool ok = true;
  if (OnCanResize) OnCanResize(this, newWidth, newHeight, ok);
  return ok;
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (actionLink_ && actionLink_->Action()) ActionChange(actionLink_->Action(), true);
  if (parentFont_ && parent_) Perform(CM_PARENTFONTCHANGED);
  if (parentColor_ && parent_) Perform(CM_PARENTCOLORCHANGED);
  UpdateAnchorRules();
  RequestAlign();
}

void TControl::FontChanged() { Invalidate(); }
void TControl::ColorChanged() { Invalidate(); }
void TControl::TextChanged() { Invalidate(); }
void TControl::EnabledChanged() { Invalidate(); }
void TControl::VisibleChanged() {}

void TControl::ParentFontChanged() {
  if (!parentFont_ || !parent_) return;
  font_->OnChange = nullptr;
  font_->Assign(parent_->Font());
  font_->OnChange = {this, &TControl::FontObjectChanged};
  Perform(CM_FONTCHANGED);
  parentFont_ = true;
}

void TControl::ParentColorChanged() {
  if (!parentColor_ || !parent_) return;
  color_ = parent_->Color();
  Perform(CM_COLORCHANGED);
  parentColor_ = true;
}

void TControl::RequestAlign() {
  if (parent_) parent_->Realign();
}

void TControl::Invalidate() {}
void TControl::Update() {}
void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::BringToFront() {
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    SetWindowPos(w->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (parent_) {
    auto& v = parent_->controls_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
    v.push_back(this);
  }
}

void TControl::SendToBack() {
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    SetWindowPos(w->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (parent_) {
    auto& v = parent_->controls_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
    v.insert(v.begin(), this);
  }
}

LRESULT TControl::Perform(UINT msg, WPARAM w, LPARAM l) {
  TMessage m{msg, w, l, 0};
  DeliverMessage(m);
  return m.Result;
}

void TControl::DeliverMessage(TMessage& msg) {
  // A copy: the method may replace itself or free the control.
  TWndMethod proc = WindowProc;
  if (proc)
    proc(msg);
  else
    WndProc(msg);
}

TControl* TControl::FindControl(HWND wnd) {
  while (wnd) {
    if (auto* c = dynamic_cast<TControl*>(TObjectWindowClass::ObjectOf(wnd))) return c;
    wnd = GetAncestor(wnd, GA_PARENT);
    if (wnd == GetDesktopWindow()) break;
  }
  return nullptr;
}

TControl* TControl::FindDragTarget(const TPoint& screenPos) {
  return FindControl(WindowFromPoint(screenPos));
}

void TControl::WndProc(TMessage& msg) { Dispatch(msg); }

void TControl::DefaultHandler(TMessage& msg) { msg.Result = 0; }

void TControl::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CM_FONTCHANGED:
      FontChanged();
      break;
    case CM_COLORCHANGED:
      ColorChanged();
      break;
    case CM_TEXTCHANGED:
      TextChanged();
      break;
    case CM_ENABLEDCHANGED:
      EnabledChanged();
      break;
    case CM_VISIBLECHANGED:
      VisibleChanged();
      break;
    case CM_PARENTFONTCHANGED:
      ParentFontChanged();
      break;
    case CM_PARENTCOLORCHANGED:
      ParentColorChanged();
      break;
    case CM_PARENTSHOWHINTCHANGED:
      if (parentShowHint_ && parent_) showHint_ = parent_->ShowHint();
      break;
    default:
      DefaultHandler(msg);
      break;
  }
}

// ---------------------------------------------------------------- TWinControl

namespace {
UINT gNextControlId = 0x100;
UINT NextControlId() {
  UINT id = gNextControlId++;
  if (gNextControlId >= 0x7F00) gNextControlId = 0x100;
  return id;
}
}  // namespace

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {
  brush_ = new TBrush;
  brush_->SetColor(color_);
  id_ = NextControlId();
}

TWinControl::~TWinControl() {
  Destroying();
  // A form stops holding it (RemoveControl can no longer tell what it was).
  if (parent_)
    if (TWinControl* form = parent_->FormControl()) form->DefocusControl(this);
  // Children go with their parent, whoever owns them.
  while (!controls_.empty()) {
    TControl* c = controls_.back();
    RemoveControl(c);
    c->Free();
  }
  if (handle_) DestroyHandle();
  if (parentWindow_) parentWindow_ = nullptr;
  delete brush_;
}

HWND TWinControl::Handle() {
  if (!handle_) {
    if (parent_) parent_->HandleNeeded();
    if (!handle_) CreateHandle();
  }
  return handle_;
}

void TWinControl::SetParentWindow(HWND wnd) {
  if (parent_ || wnd == parentWindow_) return;
  parentWindow_ = wnd;
  if (handle_) {
    if (wnd)
      ::SetParent(handle_, wnd);
    else
      DestroyHandle();
  }
}

void TWinControl::CreateParams(TCreateParams& p) {
  p.Caption = text_;
  p.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (ControlStyle.Contains(csAcceptsControls)) p.Style |= WS_CLIPCHILDREN;
  if (tabStop_) p.Style |= WS_TABSTOP;
  if (!enabled_) p.Style |= WS_DISABLED;
  p.ExStyle = 0;
  p.X = left_;
  p.Y = top_;
  p.Width = width_;
  p.Height = height_;
  p.WindowClass = &ControlWindowClass("TWinControl");
}

void TWinControl::CreateWindowHandle(const TCreateParams& p) {
  handle_ = p.WindowClass->Create(this, p.ExStyle, p.Caption.c_str(), p.Style, p.X, p.Y, p.Width, p.Height,
                                  p.WndParent, p.Menu, p.Param);
}

void TWinControl::CreateWnd() {
  TCreateParams p;
  CreateParams(p);
  if (p.Style & WS_CHILD) {
    p.WndParent = parent_ ? parent_->Handle() : parentWindow_;
    if (!p.WndParent) throw EInvalidOperation(Format("Control '%s' has no parent window", Name()));
    p.Menu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id_));
  } else if (!p.WndParent) {
    p.WndParent = parentWindow_;
  }
  // A superclassed control's own procedure must see WM_NCCREATE and WM_CREATE.
  p.WindowClass->Register();
  defWndProc_ = p.WindowClass->BaseProc();
  ControlState << csCreating;
  CreateWindowHandle(p);
  ControlState >> csCreating;
  if (!handle_) RaiseLastOSError();
  // The window keeps its place among its siblings (made later than some).
  if (parent_) {
    HWND after = HWND_TOP;
    for (TControl* c : parent_->controls_) {
      if (c == this) break;
      if (auto* w = dynamic_cast<TWinControl*>(c); w && w->handle_) after = w->handle_;
    }
    if (after != HWND_TOP) SetWindowPos(handle_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_->Handle()), 0);
}

void TWinControl::CreateHandle() {
  if (handle_) return;
  CreateWnd();
  // Children that are to show get their windows now.
  std::vector<TControl*> children = controls_;
  for (TControl* c : children)
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->visible_ && !w->handle_) w->CreateHandle();
  Realign();
  if (visible_ && (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD) && !IsWindowVisible(handle_))
    ShowWindow(handle_, SW_SHOWNA);
}

void TWinControl::DestroyWnd() {
  // The text is kept for the next window.
  if (handle_) {
    int n = GetWindowTextLengthA(handle_);
    String t(static_cast<size_t>(std::max(n, 0)) + 1, '\0');
    n = GetWindowTextA(handle_, t.data(), n + 1);
    t.resize(static_cast<size_t>(std::max(n, 0)));
    text_ = t;
  }
  HWND h = handle_;
  TObjectWindowClass::Detach(h);
  handle_ = nullptr;
  DestroyWindow(h);
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  ControlState << csDestroyingHandle;
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
  DestroyWnd();
  ControlState >> csDestroyingHandle;
}

void TWinControl::RecreateWnd() {
  if (!handle_) return;
  bool wasVisible = IsWindowVisible(handle_) != FALSE;
  std::vector<TWinControl*> all;
  std::function<void(TWinControl*)> mark = [&](TWinControl* w) {
    w->ControlState << csRecreating;
    all.push_back(w);
    for (TControl* c : w->controls_)
      if (auto* cw = dynamic_cast<TWinControl*>(c)) mark(cw);
  };
  mark(this);
  HWND focus = GetFocus();
  bool hadFocus = focus && (focus == handle_ || IsChild(handle_, focus));
  // The control that had the focus gets it back in its new window.
  TWinControl* focused = hadFocus ? dynamic_cast<TWinControl*>(FindControl(focus)) : nullptr;
  bool wasActive = GetActiveWindow() == handle_;
  DestroyHandle();
  if (parent_ || parentWindow_ || wasVisible) CreateHandle();
  // A top-level window shows again as it showed (a child shows itself).
  if (handle_ && wasVisible && !(GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD) && !IsWindowVisible(handle_))
    ShowWindow(handle_, wasActive ? SW_SHOW : SW_SHOWNA);
  for (TWinControl* w : all) w->ControlState >> csRecreating;
  if (hadFocus && handle_) {
    if (focused && focused != this && ContainsControl(focused) && focused->HandleAllocated() && focused->CanFocus())
      ::SetFocus(focused->handle_);
    else if (CanFocus())
      ::SetFocus(handle_);
  }
}

HWND TWinControl::DetachHandle() {
  HWND h = handle_;
  if (!h) return nullptr;
  TObjectWindowClass::Detach(h);
  handle_ = nullptr;
  return h;
}

void TWinControl::AttachHandle(HWND wnd) {
  if (!wnd || handle_) return;
  TCreateParams p;
  CreateParams(p);
  p.WindowClass->Register();
  p.WindowClass->Attach(wnd, this);
  defWndProc_ = p.WindowClass->BaseProc();
  handle_ = wnd;
  UpdateBounds();
}

void TWinControl::WindowMessage(HWND wnd, TMessage& msg) {
  if (!handle_ && (ControlState.Contains(csCreating) || msg.Msg == WM_NCCREATE || msg.Msg == WM_GETMINMAXINFO))
    handle_ = wnd;
  if (wnd != handle_ && !ControlState.Contains(csCreating)) {
    // A window the control has left (or an inner window it subclassed).
    TControl::WndProc(msg);
    return;
  }
  DeliverMessage(msg);
  if (msg.Msg == WM_NCDESTROY && handle_ == wnd) handle_ = nullptr;
}

void TWinControl::DefaultHandler(TMessage& msg) {
  if (msg.Msg >= CN_BASE && msg.Msg < CN_BASE + 0x400) {
    switch (msg.Msg) {
      case CN_CTLCOLORBTN:
      case CN_CTLCOLORDLG:
      case CN_CTLCOLOREDIT:
      case CN_CTLCOLORLISTBOX:
      case CN_CTLCOLORMSGBOX:
      case CN_CTLCOLORSCROLLBAR:
      case CN_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(msg.WParam);
        SetTextColor(dc, ColorToRGB(font_->Color()));
        SetBkColor(dc, ColorToRGB(brush_->Color()));
        msg.Result = reinterpret_cast<LRESULT>(brush_->Handle());
        break;
      }
      default:
        msg.Result = 0;
    }
    return;
  }
  if (msg.Msg >= CM_BASE && msg.Msg < CN_BASE) {
    msg.Result = 0;
    return;
  }
  if (!handle_) {
    msg.Result = 0;
    return;
  }
  msg.Result = CallWindowProcA(defWndProc_, handle_, msg.Msg, msg.WParam, msg.LParam);
}

bool TWinControl::ReflectToChild(HWND child, TMessage& msg) {
  if (!child || child == handle_) return false;
  auto* c = dynamic_cast<TWinControl*>(TObjectWindowClass::ObjectOf(child));
  if (!c || c == this) return false;
  msg.Result = c->Perform(CN_BASE + msg.Msg, msg.WParam, msg.LParam);
  return true;
}

void TWinControl::WndProc(TMessage& msg) {
  switch (msg.Msg) {
    case WM_SETFOCUS: {
      DefaultHandler(msg);
      if (TWinControl* form = FormControl()) form->FocusChanged(this);
      return;
    }
    default:
      break;
  }
  TControl::WndProc(msg);
}

namespace {

TMouseButton ButtonOf(UINT m) {
  switch (m) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      return mbRight;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      return mbMiddle;
    default:
      return mbLeft;
  }
}

}  // namespace

void TWinControl::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    // -------- mouse
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      if (!ControlStyle.Contains(csDoubleClicks)) {
        msg.Msg = msg.Msg - WM_LBUTTONDBLCLK + WM_LBUTTONDOWN;
        Dispatch(msg);
        return;
      }
      [[fallthrough]];
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      bool dbl = msg.Msg == WM_LBUTTONDBLCLK || msg.Msg == WM_RBUTTONDBLCLK || msg.Msg == WM_MBUTTONDBLCLK;
      TMouseButton b = ButtonOf(msg.Msg);
      int x = GET_X_LPARAM(msg.LParam), y = GET_Y_LPARAM(msg.LParam);
      TShiftState shift = MouseKeysToShiftState(msg.WParam);
      if (dbl) shift << ssDouble;
      DefaultHandler(msg);
      if (b == mbLeft) {
        if (ControlStyle.Contains(csCaptureMouse) && handle_ && GetCapture() != handle_) SetCapture(handle_);
        if (ControlStyle.Contains(csClickEvents)) ControlState << csClicked;
        if (dbl) DblClick();
        if (dragMode_ == dmAutomatic && !gDrag.active && (GetKeyState(VK_LBUTTON) & 0x8000)) BeginDrag(false);
      }
      MouseDown(b, shift, x, y);
      return;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      TMouseButton b = ButtonOf(msg.Msg);
      int x = GET_X_LPARAM(msg.LParam), y = GET_Y_LPARAM(msg.LParam);
      DefaultHandler(msg);
      bool click = false;
      if (b == mbLeft) {
        click = ControlState.Contains(csClicked) && ClientRect().Contains(TPoint(x, y));
        ControlState >> csClicked;
        if (ControlStyle.Contains(csCaptureMouse) && handle_ && GetCapture() == handle_) ReleaseCapture();
      }
      MouseUp(b, MouseKeysToShiftState(msg.WParam), x, y);
      if (click) Click();
      return;
    }
    case WM_MOUSEMOVE:
      DefaultHandler(msg);
      MouseMove(MouseKeysToShiftState(msg.WParam), GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
      return;
    case WM_MOUSEWHEEL: {
      TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
      if (DoMouseWheel(MouseKeysToShiftState(GET_KEYSTATE_WPARAM(msg.WParam)), GET_WHEEL_DELTA_WPARAM(msg.WParam), p)) {
        msg.Result = 0;
        return;
      }
      DefaultHandler(msg);
      return;
    }
    case WM_CAPTURECHANGED:
      if (gDrag.active && gDrag.source == this && reinterpret_cast<HWND>(msg.LParam) != handle_) DragDone(false);
      if (reinterpret_cast<HWND>(msg.LParam) != handle_) ControlState >> csClicked;
      DefaultHandler(msg);
      return;
    case WM_CANCELMODE:
      if (handle_ && GetCapture() == handle_) ReleaseCapture();
      DefaultHandler(msg);
      return;
    case WM_SETCURSOR: {
      if (gDrag.active) {
        ShowDragCursor();
        msg.Result = 1;
        return;
      }
      TCursor sc = ScreenCursor();
      if (sc != crDefault) {
        ::SetCursor(CursorHandle(sc));
        msg.Result = 1;
        return;
      }
      if (LOWORD(msg.LParam) == HTCLIENT && reinterpret_cast<HWND>(msg.WParam) == handle_ && cursor_ != crDefault) {
        ::SetCursor(CursorHandle(cursor_));
        msg.Result = 1;
        return;
      }
      DefaultHandler(msg);
      return;
    }
    case WM_CONTEXTMENU:
      WMContextMenu(msg);
      return;
    // -------- layout
    case WM_SIZE:
    case WM_MOVE:
      DefaultHandler(msg);
      UpdateBounds();
      return;
    case WM_WINDOWPOSCHANGED:
      DefaultHandler(msg);
      if (!(reinterpret_cast<WINDOWPOS*>(msg.LParam)->flags & SWP_NOSIZE) ||
          !(reinterpret_cast<WINDOWPOS*>(msg.LParam)->flags & SWP_NOMOVE))
        UpdateBounds();
      return;
    // -------- reflection
    case WM_COMMAND:
      if (msg.LParam && ReflectToChild(reinterpret_cast<HWND>(msg.LParam), msg)) return;
      DefaultHandler(msg);
      return;
    case WM_NOTIFY:
      if (ReflectToChild(reinterpret_cast<NMHDR*>(msg.LParam)->hwndFrom, msg)) return;
      DefaultHandler(msg);
      return;
    case WM_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(msg.LParam);
      if (d->CtlType != ODT_MENU && ReflectToChild(d->hwndItem, msg)) return;
      DefaultHandler(msg);
      return;
    }
    case WM_MEASUREITEM: {
      auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(msg.LParam);
      if (m->CtlType != ODT_MENU && handle_ && ReflectToChild(GetDlgItem(handle_, static_cast<int>(m->CtlID)), msg))
        return;
      DefaultHandler(msg);
      return;
    }
    case WM_DELETEITEM:
      if (ReflectToChild(reinterpret_cast<DELETEITEMSTRUCT*>(msg.LParam)->hwndItem, msg)) return;
      DefaultHandler(msg);
      return;
    case WM_COMPAREITEM:
      if (ReflectToChild(reinterpret_cast<COMPAREITEMSTRUCT*>(msg.LParam)->hwndItem, msg)) return;
      DefaultHandler(msg);
      return;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
      if (msg.LParam && ReflectToChild(reinterpret_cast<HWND>(msg.LParam), msg)) return;
      DefaultHandler(msg);
      return;
    // -------- painting
    case WM_ERASEBKGND:
      if (defWndProc_ == DefWindowProcA && handle_) {
        RECT r;
        GetClientRect(handle_, &r);
        FillRect(reinterpret_cast<HDC>(msg.WParam), &r, brush_->Handle());
        msg.Result = 1;
        return;
      }
      DefaultHandler(msg);
      return;
    // -------- keyboard
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      WORD key = static_cast<WORD>(msg.WParam);
      if (DoKeyDown(key, KeyDataToShiftState(msg.LParam))) return;
      msg.WParam = key;
      DefaultHandler(msg);
      return;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      WORD key = static_cast<WORD>(msg.WParam);
      if (DoKeyUp(key, KeyDataToShiftState(msg.LParam))) return;
      msg.WParam = key;
      DefaultHandler(msg);
      return;
    }
    case WM_CHAR: {
      char key = static_cast<char>(msg.WParam);
      if (DoKeyPress(key)) return;
      msg.WParam = static_cast<unsigned char>(key);
      DefaultHandler(msg);
      return;
    }
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN: {
      WORD key = static_cast<WORD>(msg.WParam);
      TShiftState shift = KeyDataToShiftState(msg.LParam);
      msg.Result = 1;
      if (IsMenuKey(key, shift)) return;
      if (Perform(CM_CHILDKEY, key, reinterpret_cast<LPARAM>(this)) != 0) return;
      LRESULT mask = 0;
      switch (key) {
        case VK_TAB:
          mask = DLGC_WANTTAB;
          break;
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
          mask = DLGC_WANTARROWS;
          break;
        case VK_RETURN:
        case VK_EXECUTE:
        case VK_ESCAPE:
        case VK_CANCEL:
          mask = DLGC_WANTALLKEYS;
          break;
      }
      if (mask && Perform(CM_WANTSPECIALKEY, key) == 0 && handle_ &&
          (SendMessageA(handle_, WM_GETDLGCODE, 0, 0) & mask) == 0) {
        if (TWinControl* form = FormControl(); form && form->Perform(CM_DIALOGKEY, key, msg.LParam) != 0) return;
      }
      msg.Result = 0;
      return;
    }
    case CN_CHAR:
    case CN_SYSCHAR: {
      msg.Result = 0;
      if (handle_ && msg.Msg == CN_CHAR && (SendMessageA(handle_, WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS)) return;
      if (TWinControl* form = FormControl(); form && form->Perform(CM_DIALOGCHAR, msg.WParam, msg.LParam) != 0)
        msg.Result = 1;
      return;
    }
    case CM_CHILDKEY:
      if (parent_) {
        msg.Result = parent_->Perform(CM_CHILDKEY, msg.WParam, msg.LParam);
        return;
      }
      msg.Result = 0;
      return;
    default:
      TControl::Dispatch(msg);
      return;
  }
}

void TWinControl::WMContextMenu(TMessage& msg) {
  TPoint pt(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  bool keyboard = pt.x == -1 && pt.y == -1;
  TPoint clientPt = keyboard ? TPoint(-1, -1) : ScreenToClient(pt);
  bool handled = false;
  DoContextPopup(clientPt, handled);
  if (handled) {
    msg.Result = 1;
    return;
  }
  if (popupMenu_ && popupMenu_->AutoPopup()) {
    if (keyboard) pt = ClientToScreen(TPoint(0, 0));
    popupMenu_->SetPopupComponent(this);
    popupMenu_->Popup(pt.x, pt.y);
    msg.Result = 1;
    return;
  }
  DefaultHandler(msg);
}

// -------- children

bool TWinControl::ContainsControl(TControl* control) const {
  while (control && control != this) control = control->parent_;
  return control == this;
}

void TWinControl::InsertControl(TControl* control) {
  control->parent_ = this;
  controls_.push_back(control);
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    tabList_.push_back(w);
    if (handle_ && w->visible_) w->CreateHandle();
  }
  if (!control->IsLoading()) {
    control->Perform(CM_PARENTFONTCHANGED);
    control->Perform(CM_PARENTCOLORCHANGED);
    control->Perform(CM_PARENTSHOWHINTCHANGED);
    control->UpdateAnchorRules();
  }
  if (control->align_ != alNone || control->visible_) Realign();
}

void TWinControl::RemoveControl(TControl* control) {
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    if (w->handle_) {
      HWND focus = GetFocus();
      if (focus && (focus == w->handle_ || IsChild(w->handle_, focus)) && handle_) ::SetFocus(handle_);
      w->DestroyHandle();
    }
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), w), tabList_.end());
  }
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
  if (auto* w = dynamic_cast<TWinControl*>(control))
    if (TWinControl* form = FormControl()) form->DefocusControl(w);
  control->parent_ = nullptr;
  if (!IsDestroying()) Realign();
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) {
  for (TWinControl* w : tabList_) {
    list.push_back(w);
    w->GetTabOrderList(list);
  }
}

void TWinControl::SetTabStop(bool value) {
  if (value == tabStop_) return;
  tabStop_ = value;
  if (handle_) {
    LONG st = GetWindowLongA(handle_, GWL_STYLE);
    SetWindowLongA(handle_, GWL_STYLE, value ? (st | WS_TABSTOP) : (st & ~WS_TABSTOP));
  }
}

int TWinControl::TabOrder() const {
  if (!parent_) return -1;
  auto& v = parent_->tabList_;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

void TWinControl::SetTabOrder(int value) {
  if (!parent_) return;
  auto& v = parent_->tabList_;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
  if (value < 0 || value > static_cast<int>(v.size())) value = static_cast<int>(v.size());
  v.insert(v.begin() + value, this);
}

// -------- focus

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

bool TWinControl::CanFocus() const {
  if (ControlStyle.Contains(csNoFocus)) return false;
  const TControl* c = this;
  while (c) {
    if (!c->visible_ || !c->enabled_) return false;
    if (!c->parent_) {
      auto* w = static_cast<const TWinControl*>(c);
      return !w->handle_ || IsWindowVisible(w->handle_) || w->IsFormControl();
    }
    c = c->parent_;
  }
  return true;
}

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  ::SetFocus(Handle());
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward, bool checkTabStop, bool checkParent) {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  int n = static_cast<int>(list.size());
  int start = -1;
  for (int i = 0; i < n; ++i)
    if (list[static_cast<size_t>(i)] == current) start = i;
  if (start < 0) start = forward ? n - 1 : 0;
  int i = start;
  for (int step = 0; step < n; ++step) {
    i = forward ? (i + 1) % n : (i + n - 1) % n;
    TWinControl* c = list[static_cast<size_t>(i)];
    if (c == current) break;
    if (!c->CanFocus()) continue;
    if (checkTabStop && !c->tabStop_) continue;
    if (checkParent && c->parent_ != this) continue;
    // Only leaves take the focus in tab order; containers pass it on.
    if (!c->tabStop_ && c->ControlStyle.Contains(csAcceptsControls)) continue;
    return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool forward, bool checkTabStop) {
  if (TWinControl* next = FindNextControl(current, forward, checkTabStop, false)) next->SetFocus();
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

// -------- keys

bool TWinControl::DoKeyDown(WORD& key, TShiftState shift) {
  TWinControl* form = FormControl();
  if (form && form != this && form->PreviewKeyDown(key, shift)) return true;
  if (key == 0) return true;
  KeyDown(key, shift);
  return key == 0;
}

bool TWinControl::DoKeyUp(WORD& key, TShiftState shift) {
  TWinControl* form = FormControl();
  if (form && form != this && form->PreviewKeyUp(key, shift)) return true;
  if (key == 0) return true;
  KeyUp(key, shift);
  return key == 0;
}

bool TWinControl::DoKeyPress(char& key) {
  TWinControl* form = FormControl();
  if (form && form != this && form->PreviewKeyPress(key)) return true;
  if (key == 0) return true;
  KeyPress(key);
  return key == 0;
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(WORD& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

bool TWinControl::IsMenuKey(WORD key, TShiftState shift) {
  if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU) return false;
  for (TControl* c = this; c; c = c->parent_)
    if (c->popupMenu_ && c->popupMenu_->IsShortCut(key, shift)) return true;
  TWinControl* form = FormControl();
  return form && form->FormShortCut(key, shift);
}

bool TWinControl::DoMouseWheel(TShiftState shift, int delta, TPoint mousePos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, shift, delta, mousePos, handled);
  if (handled) return true;
  if (delta < 0 && OnMouseWheelDown) OnMouseWheelDown(this, shift, mousePos, handled);
  if (delta > 0 && OnMouseWheelUp) OnMouseWheelUp(this, shift, mousePos, handled);
  return handled;
}

// -------- changes

void TWinControl::FontChanged() {
  if (handle_) {
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_->Handle()), 0);
    InvalidateRect(handle_, nullptr, TRUE);
  }
  std::vector<TControl*> children = controls_;
  for (TControl* c : children) c->Perform(CM_PARENTFONTCHANGED);
}

void TWinControl::ColorChanged() {
  brush_->SetColor(color_);
  if (handle_) InvalidateRect(handle_, nullptr, TRUE);
  std::vector<TControl*> children = controls_;
  for (TControl* c : children) c->Perform(CM_PARENTCOLORCHANGED);
}

void TWinControl::TextChanged() {}

void TWinControl::EnabledChanged() {
  if (handle_) EnableWindow(handle_, enabled_);
  if (!enabled_ && handle_) {
    HWND focus = GetFocus();
    if (focus && (focus == handle_ || IsChild(handle_, focus)))
      if (TWinControl* form = FormControl(); form && form != this) form->SelectNext(this, true, true);
  }
}

void TWinControl::VisibleChanged() { UpdateShowing(); }

void TWinControl::ParentFontChanged() { TControl::ParentFontChanged(); }

void TWinControl::ParentColorChanged() { TControl::ParentColorChanged(); }

void TWinControl::UpdateShowing() {
  if (IsLoading()) return;
  if (visible_) {
    if (!handle_) {
      if ((parent_ && parent_->handle_) || (!parent_ && parentWindow_)) CreateHandle();
      return;
    }
    ShowWindow(handle_, SW_SHOWNA);
  } else if (handle_) {
    HWND focus = GetFocus();
    bool hadFocus = focus && (focus == handle_ || IsChild(handle_, focus));
    ShowWindow(handle_, SW_HIDE);
    if (hadFocus)
      if (TWinControl* form = FormControl(); form && form != this) form->SelectNext(this, true, true);
  }
}

// -------- bounds and painting

TRect TWinControl::ClientRect() {
  if (handle_) {
    RECT r;
    GetClientRect(handle_, &r);
    return TRect(r);
  }
  // Without a window: the size minus the frame the window would have.
  TCreateParams p;
  CreateParams(p);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, p.Style, FALSE, p.ExStyle);
  int w = width_ - (frame.right - frame.left), h = height_ - (frame.bottom - frame.top);
  return TRect(0, 0, std::max(w, 0), std::max(h, 0));
}

TPoint TWinControl::ClientOrigin() {
  if (handle_) {
    POINT p{0, 0};
    ::ClientToScreen(handle_, &p);
    return TPoint(p);
  }
  return TControl::ClientOrigin();
}

void TWinControl::SetBounds(int left, int top, int width, int height) { TControl::SetBounds(left, top, width, height); }

void TWinControl::SetWindowBounds() {
  if (!handle_) return;
  settingBounds_ = true;
  SetWindowPos(handle_, nullptr, left_, top_, width_, height_, SWP_NOZORDER | SWP_NOACTIVATE);
  settingBounds_ = false;
}

void TWinControl::UpdateBounds() {
  if (!handle_ || settingBounds_ || IsIconic(handle_)) return;
  RECT r;
  GetWindowRect(handle_, &r);
  if (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD) {
    HWND p = GetParent(handle_);
    if (p) MapWindowPoints(HWND_DESKTOP, p, reinterpret_cast<POINT*>(&r), 2);
  }
  int w = r.right - r.left, h = r.bottom - r.top;
  bool sized = w != width_ || h != height_;
  bool moved = r.left != left_ || r.top != top_;
  if (!sized && !moved) return;
  left_ = r.left;
  top_ = r.top;
  width_ = w;
  height_ = h;
  if (sized) {
    Realign();
    Resize();
  }
  if (parent_ && (sized || moved) && align_ != alNone) {
    // The parent's layout decides: a resize from outside is undone by it.
  }
}

bool TWinControl::Showing() const {
  if (!visible_) return false;
  if (parent_) return parent_->Showing();
  return handle_ && IsWindowVisible(handle_);
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

void TWinControl::Repaint() {
  if (handle_) RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

String TWinControl::Text() const {
  if (!handle_) return text_;
  int n = static_cast<int>(SendMessageA(handle_, WM_GETTEXTLENGTH, 0, 0));
  String t(static_cast<size_t>(std::max(n, 0)) + 1, '\0');
  n = static_cast<int>(SendMessageA(handle_, WM_GETTEXT, t.size(), reinterpret_cast<LPARAM>(t.data())));
  t.resize(static_cast<size_t>(std::max(n, 0)));
  return t;
}

void TWinControl::SetText(const String& value) {
  if (value == Text()) return;
  text_ = value;
  if (handle_) SetWindowTextA(handle_, value.c_str());
  Perform(CM_TEXTCHANGED);
}

// -------- alignment

void TWinControl::Loaded() {
  TControl::Loaded();
  if (ControlState.Contains(csAlignmentNeeded)) Realign();
}

void TWinControl::DisableAlign() { ++alignDisabled_; }

void TWinControl::EnableAlign() {
  if (alignDisabled_ > 0 && --alignDisabled_ == 0 && ControlState.Contains(csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() {
  if (alignDisabled_ > 0 || IsLoading() || IsDestroying()) {
    ControlState << csAlignmentNeeded;
    return;
  }
  ControlState >> csAlignmentNeeded;
  TRect r = ClientRect();
  AdjustClientRect(r);
  AlignControls(nullptr, r);
}

void TWinControl::AdjustClientRect(TRect& rect) {
  int inset = 0;
  if (bevelOuter_ != bvNone) ++inset;
  if (bevelInner_ != bvNone) ++inset;
  if (inset) {
    rect.left += inset;
    rect.top += inset;
    rect.right -= inset;
    rect.bottom -= inset;
  }
}

void TWinControl::AlignControls(TControl* control, TRect& rect) {
  if (alignLevel_ > 0) {
    ControlState << csAlignmentNeeded;
    return;
  }
  ++alignLevel_;
  struct TLevel {
    int& l;
    ~TLevel() { --l; }
  } level{alignLevel_};
  const TAlign order[] = {alTop, alBottom, alLeft, alRight, alClient};
  for (TAlign a : order) {
    std::vector<TControl*> list;
    for (TControl* c : controls_)
      if (c->align_ == a && c->visible_) list.push_back(c);
    auto key = [a](TControl* c) {
      switch (a) {
        case alTop: return c->top_;
        case alBottom: return -(c->top_ + c->height_);
        case alLeft: return c->left_;
        case alRight: return -(c->left_ + c->width_);
        default: return 0;
      }
    };
    std::stable_sort(list.begin(), list.end(), [&](TControl* x, TControl* y) { return key(x) < key(y); });
    for (TControl* c : list) DoAlignControl(c, a, rect);
  }
  // Anchored controls keep their distances to the edges they are anchored to.
  TRect client = ClientRect();
  for (TControl* c : controls_) {
    if (c->align_ != alNone || !c->anchorsValid_) continue;
    int l = c->left_, t = c->top_, w = c->width_, h = c->height_;
    if (c->anchors_.Contains(akRight)) {
      if (c->anchors_.Contains(akLeft))
        w = client.Width() - l - c->anchorRight_;
      else
        l = client.Width() - w - c->anchorRight_;
    }
    if (c->anchors_.Contains(akBottom)) {
      if (c->anchors_.Contains(akTop))
        h = client.Height() - t - c->anchorBottom_;
      else
        t = client.Height() - h - c->anchorBottom_;
    }
    if (l != c->left_ || t != c->top_ || w != c->width_ || h != c->height_) c->SetAlignedBounds(l, t, w, h);
  }
  ControlState >> csAlignmentNeeded;
}

void TWinControl::DoAlignControl(TControl* c, TAlign a, TRect& r) {
  int w = c->width_, h = c->height_;
  switch (a) {
    case alTop:
      w = r.Width();
      c->constraints_->Apply(w, h);
      c->SetAlignedBounds(r.left, r.top, w, h);
      r.top += c->height_;
      break;
    case alBottom:
      w = r.Width();
      c->constraints_->Apply(w, h);
      c->SetAlignedBounds(r.left, r.bottom - h, w, h);
      r.bottom -= c->height_;
      break;
    case alLeft:
      h = r.Height();
      c->constraints_->Apply(w, h);
      c->SetAlignedBounds(r.left, r.top, w, h);
      r.left += c->width_;
      break;
    case alRight:
      h = r.Height();
      c->constraints_->Apply(w, h);
      c->SetAlignedBounds(r.right - w, r.top, w, h);
      r.right -= c->width_;
      break;
    case alClient:
      w = r.Width();
      h = r.Height();
      c->constraints_->Apply(w, h);
      c->SetAlignedBounds(r.left, r.top, w, h);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- painted controls

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::CreateHandle() {
  if (!control_ || !control_->HandleAllocated()) return;
  ownDc_ = GetDC(control_->Handle());
  SetHandle(ownDc_);
}

void TControlCanvas::FreeHandle() {
  if (!ownDc_) return;
  HDC dc = ownDc_;
  ownDc_ = nullptr;
  SetHandle(nullptr);
  if (control_ && control_->HandleAllocated()) ReleaseDC(control_->Handle(), dc);
}

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {
  canvas_ = new TControlCanvas(this);
  ControlStyle << csAcceptsControls;
}

TCustomControl::~TCustomControl() {
  if (handle_) DestroyHandle();
  delete canvas_;
}

void TCustomControl::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass = &ControlWindowClass(ClassName().c_str());
}

void TCustomControl::DestroyWnd() {
  canvas_->FreeHandle();
  TWinControl::DestroyWnd();
}

HWND TCustomControl::DetachHandle() {
  canvas_->FreeHandle();
  return TWinControl::DetachHandle();
}

void TCustomControl::Paint() {}

void TCustomControl::PaintWindow(HDC dc) {
  canvas_->FreeHandle();
  canvas_->SetHandle(dc);
  TFinally guard([&] { canvas_->SetHandle(nullptr); });
  Paint();
}

void TCustomControl::Dispatch(TMessage& msg) {
  if (msg.Msg == WM_PAINT && handle_) {
    PAINTSTRUCT ps;
    HDC dc = msg.WParam ? reinterpret_cast<HDC>(msg.WParam) : BeginPaint(handle_, &ps);
    PaintWindow(dc);
    if (!msg.WParam) EndPaint(handle_, &ps);
    msg.Result = 0;
    return;
  }
  if (msg.Msg == WM_PRINTCLIENT && handle_) {
    PaintWindow(reinterpret_cast<HDC>(msg.WParam));
    msg.Result = 0;
    return;
  }
  TWinControl::Dispatch(msg);
}

TGraphicControl::TGraphicControl(TComponent* owner) : TCustomControl(owner) {
  ControlStyle >> csAcceptsControls;
  ControlStyle << csNoFocus;
}

void TGraphicControl::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style &= ~(WS_TABSTOP | WS_CLIPCHILDREN);
}

void TGraphicControl::PaintParentBackground(HDC dc) {
  if (!parent_ || !parent_->HandleAllocated() || !handle_) return;
  POINT org{0, 0};
  MapWindowPoints(handle_, parent_->Handle(), &org, 1);
  POINT old;
  OffsetViewportOrgEx(dc, -org.x, -org.y, &old);
  SendMessageA(parent_->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  SendMessageA(parent_->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

void TGraphicControl::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_ERASEBKGND:
      if (transparent_)
        PaintParentBackground(reinterpret_cast<HDC>(msg.WParam));
      else
        TCustomControl::Dispatch(msg);
      msg.Result = 1;
      return;
    default:
      TCustomControl::Dispatch(msg);
  }
}
