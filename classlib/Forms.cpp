#include "Forms.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

// ---------------------------------------------------------------- system dialogs

int TSystemDialogs::MessageBox(HWND owner, const String& text, const String& caption, UINT flags) {
  return ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

bool TSystemDialogs::GetSaveFileName(OPENFILENAMEA& ofn) { return ::GetSaveFileNameA(&ofn) != 0; }
bool TSystemDialogs::GetOpenFileName(OPENFILENAMEA& ofn) { return ::GetOpenFileNameA(&ofn) != 0; }

bool TSystemDialogs::WinHelp(HWND wnd, const String& helpFile, UINT command, ULONG_PTR data) {
  // A missing file would block on the help viewer's own box: the program
  // tells it itself, and asks nothing of the viewer.
  if (command != HELP_QUIT && !FileExists(helpFile)) {
    MessageBox(wnd, "Help is not available: the help file " + helpFile + " was not found.", "Help",
               MB_OK | MB_ICONINFORMATION);
    return false;
  }
  return ::WinHelpA(wnd, helpFile.c_str(), command, data) != 0;
}

bool TSystemDialogs::PlaySystemSound(const String& alias, UINT flags) {
  return ::PlaySoundA(alias.c_str(), nullptr, flags | SND_ALIAS) != 0;
}

bool TSystemDialogs::ChooseColor(CHOOSECOLORA& cc) { return ::ChooseColorA(&cc) != 0; }
bool TSystemDialogs::ChooseFont(CHOOSEFONTA& cf) { return ::ChooseFontA(&cf) != 0; }

bool TSystemDialogs::ShellExecuteFile(HWND wnd, const String& verb, const String& file, const String& parameters,
                                      const String& directory, int showCmd) {
  HINSTANCE h = ::ShellExecuteA(wnd, verb.c_str(), file.c_str(), parameters.c_str(), directory.c_str(), showCmd);
  return reinterpret_cast<INT_PTR>(h) > 32;
}

namespace {
TSystemDialogs gRealDialogs;
TSystemDialogs* gDialogs = &gRealDialogs;
}  // namespace

TSystemDialogs* SystemDialogs() { return gDialogs; }

TSystemDialogs* SetSystemDialogs(TSystemDialogs* d) {
  TSystemDialogs* old = gDialogs;
  gDialogs = d ? d : &gRealDialogs;
  return old;
}

// ---------------------------------------------------------------- globals

// The screen outlives the application, whose forms leave it as they go.
namespace {
TScreen gScreen(nullptr);
TApplication gApplication(nullptr);
}  // namespace
TApplication* Application = &gApplication;
TScreen* Screen = &gScreen;

TCustomForm* GetParentForm(TControl* control) {
  if (!control) return nullptr;
  return dynamic_cast<TCustomForm*>(control->FormControl());
}

// ---------------------------------------------------------------- TCustomForm

namespace {
constexpr UINT kReleaseTimer = 0x4E42;  // retries a release that had to wait
constexpr UINT kFirstMDIChild = 0xFF00;
}  // namespace

TCustomForm::TCustomForm(TComponent* owner) : TCustomControl(owner), alive_(std::make_shared<bool>(true)) {
  visible_ = false;
  ControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  ControlStyle >> csCaptureMouse;
  ControlStyle >> csClickEvents;
  width_ = 320;
  height_ = 240;
  color_ = clBtnFace;
  brush_->SetColor(color_);
  parentFont_ = false;
  BeginLoading();
  Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
  *alive_ = false;
  Destroying();
  if (Application && Application->MainForm() == this) Application->SetMainForm(nullptr);
  if (Screen) Screen->RemoveForm(this);
  // Children first (they may talk to the form as they go), then the window.
  while (!controls_.empty()) {
    TControl* c = controls_.back();
    RemoveControl(c);
    c->Free();
  }
  if (handle_) DestroyHandle();
}

void TCustomForm::BeforeDestruction() {
  if (!IsDestroying()) DoDestroy();
  TCustomControl::BeforeDestruction();
}

void TCustomForm::Loaded() {
  TCustomControl::Loaded();
  DoCreate();
  // An MDI child shows as soon as it is made.
  if (formStyle_ == fsMDIChild && visible_ && !handle_ && !IsDestroying()) VisibleChanged();
}

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TCustomForm::DoDestroy() {
  if (OnDestroy) OnDestroy(this);
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}

void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

// -------- window

void TCustomForm::SetBorderStyle(TFormBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons value) {
  if (value == borderIcons_) return;
  borderIcons_ = value;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle value) {
  if (value == formStyle_) return;
  if (handle_ && (value == fsMDIChild || formStyle_ == fsMDIChild || value == fsMDIForm || formStyle_ == fsMDIForm))
    throw EInvalidOperation("Cannot change the MDI style of a form whose window exists");
  formStyle_ = value;
  if (value == fsMDIChild) visible_ = true;
  if (handle_ && (value == fsStayOnTop || value == fsNormal)) {
    SetWindowPos(handle_, value == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // Wine keeps an owned window on top: it is made again without the flag.
    if (value == fsNormal && (GetWindowLongPtrA(handle_, GWL_EXSTYLE) & WS_EX_TOPMOST)) RecreateWnd();
  }
}

HWND TCustomForm::MDIParentClient() const {
  TCustomForm* frame = nullptr;
  if (auto* f = dynamic_cast<TCustomForm*>(Owner()); f && f->formStyle_ == fsMDIForm) frame = f;
  if (!frame && Application->MainForm() && Application->MainForm()->formStyle_ == fsMDIForm)
    frame = Application->MainForm();
  if (!frame) throw EInvalidOperation("Cannot create form. No MDI forms are currently active");
  frame->HandleNeeded();
  return frame->clientHandle_;
}

void TCustomForm::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.WindowClass = &ControlWindowClass(ClassName().c_str());
  p.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  p.ExStyle = 0;
  switch (borderStyle_) {
    case bsNone:
      p.Style |= WS_POPUP;
      break;
    case bsSingle:
    case bsToolWindow:
      p.Style |= WS_CAPTION | WS_BORDER;
      break;
    case bsSizeable:
    case bsSizeToolWin:
      p.Style |= WS_CAPTION | WS_THICKFRAME;
      break;
    case bsDialog:
      p.Style |= WS_POPUP | WS_CAPTION;
      p.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
  }
  if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin) p.ExStyle |= WS_EX_TOOLWINDOW;
  if (borderStyle_ != bsNone && borderIcons_.Contains(biSystemMenu)) {
    p.Style |= WS_SYSMENU;
    if (borderStyle_ != bsDialog && borderStyle_ != bsToolWindow && borderStyle_ != bsSizeToolWin) {
      if (borderIcons_.Contains(biMinimize)) p.Style |= WS_MINIMIZEBOX;
      if (borderIcons_.Contains(biMaximize)) p.Style |= WS_MAXIMIZEBOX;
    }
    // The title-bar help button shows only without the size boxes.
    if (borderIcons_.Contains(biHelp) &&
        (borderStyle_ == bsDialog || !(borderIcons_.Contains(biMinimize) || borderIcons_.Contains(biMaximize))))
      p.ExStyle |= WS_EX_CONTEXTHELP;
  }
  if (formStyle_ == fsStayOnTop) p.ExStyle |= WS_EX_TOPMOST;
  if (formStyle_ == fsMDIChild) {
    p.ExStyle |= WS_EX_MDICHILD;
    p.Style |= WS_CHILD;
    p.Style &= ~WS_POPUP;
    if (visible_) p.Style |= WS_VISIBLE;
    if (windowState_ == wsMaximized) p.Style |= WS_MAXIMIZE;
  }
  p.Caption = text_;
  p.X = left_;
  p.Y = top_;
  p.Width = width_;
  p.Height = height_;
  if (position_ == poDefault || position_ == poDefaultPosOnly) p.X = p.Y = static_cast<int>(CW_USEDEFAULT);
}

void TCustomForm::CreateWnd() {
  TCreateParams p;
  CreateParams(p);
  if (formStyle_ == fsMDIChild) {
    p.WndParent = MDIParentClient();
    p.Menu = nullptr;
  } else if (!p.WndParent) {
    p.WndParent = parentWindow_ ? parentWindow_ : (Application->MainForm() == this ? Application->Handle()
                                                                                     : Application->Handle());
  }
  ControlState << csCreating;
  handle_ = p.WindowClass->Create(this, p.ExStyle, p.Caption.c_str(), p.Style, p.X, p.Y, p.Width, p.Height,
                                  p.WndParent, p.Menu, p.Param);
  ControlState >> csCreating;
  if (!handle_) RaiseLastOSError();
  defWndProc_ = p.WindowClass->BaseProc();
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_->Handle()), 0);
  if (icon_) SendMessageA(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  if (menu_) ::SetMenu(handle_, menu_->Handle());
  if (formStyle_ == fsMDIForm) {
    CLIENTCREATESTRUCT ccs{nullptr, kFirstMDIChild};
    clientHandle_ = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                                    WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE, 0, 0, 0, 0,
                                    handle_, nullptr, GetModuleHandleA(nullptr), &ccs);
    if (!clientHandle_) RaiseLastOSError();
  }
  if (recreatePlacement_) {
    // Made again (a style change): where, how and whether it showed before.
    WINDOWPLACEMENT wp = *recreatePlacement_;
    recreatePlacement_.reset();
    if (!recreateActive_) {
      if (wp.showCmd == SW_SHOWNORMAL) wp.showCmd = SW_SHOWNOACTIVATE;
      if (wp.showCmd == SW_SHOWMINIMIZED) wp.showCmd = SW_SHOWMINNOACTIVE;
    }
    SetWindowPlacement(handle_, &wp);
  }
  UpdateBounds();
}

void TCustomForm::DestroyWnd() {
  canvas_->FreeHandle();
  // A shown form made again (a style change) comes back where and as it was;
  // a hidden one is made when it shows next.
  if (handle_ && ControlState.Contains(csRecreating) && formStyle_ != fsMDIChild && IsWindowVisible(handle_)) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (GetWindowPlacement(handle_, &wp)) {
      if (IsIconic(handle_)) wp.showCmd = SW_SHOWMINIMIZED;
      else if (IsZoomed(handle_)) wp.showCmd = SW_SHOWMAXIMIZED;
      else wp.showCmd = SW_SHOWNORMAL;
      recreatePlacement_ = wp;
      recreateActive_ = GetActiveWindow() == handle_;
    }
  }
  if (handle_) {
    int n = GetWindowTextLengthA(handle_);
    String t(static_cast<size_t>(std::max(n, 0)) + 1, '\0');
    n = GetWindowTextA(handle_, t.data(), n + 1);
    t.resize(static_cast<size_t>(std::max(n, 0)));
    text_ = t;
  }
  HWND h = handle_;
  handle_ = nullptr;
  clientHandle_ = nullptr;
  TObjectWindowClass::Detach(h);
  if (formStyle_ == fsMDIChild && GetParent(h)) {
    // MDI children go through their client window.
    SendMessageA(GetParent(h), WM_MDIDESTROY, reinterpret_cast<WPARAM>(h), 0);
  } else {
    DestroyWindow(h);
  }
}

void TCustomForm::DestroyHandle() {
  if (!handle_) return;
  // The MDI children of a frame go first.
  if (clientHandle_) {
    std::vector<TCustomForm*> kids;
    for (int i = 0; i < MDIChildCount(); ++i) kids.push_back(MDIChildren(i));
    for (TCustomForm* k : kids) k->DestroyHandle();
  }
  TCustomControl::DestroyHandle();
}

TRect TCustomForm::ClientRect() {
  if (handle_ && IsIconic(handle_)) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(handle_, &wp);
    TCreateParams p;
    CreateParams(p);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, p.Style, menu_ != nullptr, p.ExStyle);
    return TRect(0, 0, (wp.rcNormalPosition.right - wp.rcNormalPosition.left) - (frame.right - frame.left),
                 (wp.rcNormalPosition.bottom - wp.rcNormalPosition.top) - (frame.bottom - frame.top));
  }
  return TCustomControl::ClientRect();
}

void TCustomForm::SetBounds(int left, int top, int width, int height) {
  TCustomControl::SetBounds(left, top, width, height);
}

void TCustomForm::AlignControls(TControl* control, TRect& rect) {
  // A pass started inside another aligns nothing and leaves rect whole: the
  // outer pass places the client window (else it would cover the bars).
  bool nested = alignLevel_ > 0;
  TCustomControl::AlignControls(control, rect);
  // The MDI client window takes what the aligned controls leave.
  if (clientHandle_ && !nested)
    SetWindowPos(clientHandle_, HWND_BOTTOM, rect.left, rect.top, std::max(rect.Width(), 0),
                 std::max(rect.Height(), 0), SWP_NOACTIVATE);
}

void TCustomForm::SetMenu(TMainMenu* value) {
  menu_ = value;
  if (handle_) {
    ::SetMenu(handle_, value ? value->Handle() : nullptr);
    DrawMenuBar(handle_);
  }
}

void TCustomForm::SetIcon(HICON icon) {
  icon_ = icon;
  if (handle_) SendMessageA(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

// -------- showing

bool TCustomForm::Showing() const { return handle_ && IsWindowVisible(handle_); }

void TCustomForm::PlaceOnScreen() {
  if (placed_) return;
  placed_ = true;
  if (formStyle_ == fsMDIChild) return;
  TRect area;
  switch (position_) {
    case poScreenCenter:
      area = Screen->WorkAreaRect();
      break;
    case poDesktopCenter:
      area = Screen->DesktopRect();
      break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TCustomForm* f = position_ == poOwnerFormCenter ? dynamic_cast<TCustomForm*>(Owner()) : nullptr;
      if (!f) f = Application->MainForm();
      if (f && f != this && f->HandleAllocated()) {
        RECT r;
        GetWindowRect(f->Handle(), &r);
        area = TRect(r);
      } else {
        area = Screen->WorkAreaRect();
      }
      break;
    }
    default:
      return;
  }
  SetBounds(area.left + (area.Width() - width_) / 2, area.top + (area.Height() - height_) / 2, width_, height_);
}

void TCustomForm::Show() {
  // Visible already but without a window (an MDI child made outside of
  // loading): shown now.
  if (visible_ && !handle_ && !IsLoading())
    VisibleChanged();
  else
    SetVisible(true);
  if (handle_) {
    if (formStyle_ == fsMDIChild) {
      SendMessageA(GetParent(handle_), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(handle_), 0);
    } else {
      SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      SetForegroundWindow(handle_);
    }
  }
}

void TCustomForm::VisibleChanged() {
  if (IsLoading() && !handle_) return;
  if (visible_) {
    FormState << fsShowing;
    DoShow();
    FormState >> fsShowing;
    if (!visible_) return;  // hidden again by OnShow
    HandleNeeded();
    PlaceOnScreen();
    int cmd = SW_SHOWNORMAL;
    if (windowState_ == wsMaximized) cmd = SW_SHOWMAXIMIZED;
    if (windowState_ == wsMinimized) cmd = SW_SHOWMINIMIZED;
    if (formStyle_ == fsMDIChild) {
      ShowWindow(handle_, cmd == SW_SHOWNORMAL ? SW_SHOW : cmd);
    } else {
      ShowWindow(handle_, cmd);
    }
    if (activeControl_ && activeControl_->CanFocus() && GetActiveWindow() == handle_) ::SetFocus(activeControl_->Handle());
  } else if (handle_) {
    DoHide();
    if (formStyle_ == fsMDIChild) {
      ShowWindow(handle_, SW_HIDE);
    } else {
      SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
}

TWindowState TCustomForm::WindowState() const {
  if (handle_) {
    if (IsIconic(handle_)) return wsMinimized;
    if (IsZoomed(handle_)) return wsMaximized;
    return wsNormal;
  }
  return windowState_;
}

void TCustomForm::SetWindowState(TWindowState value) {
  windowState_ = value;
  if (!handle_ || !IsWindowVisible(handle_)) return;
  if (formStyle_ == fsMDIChild) {
    HWND client = GetParent(handle_);
    if (value == wsMaximized)
      SendMessageA(client, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(handle_), 0);
    else if (value == wsNormal)
      SendMessageA(client, WM_MDIRESTORE, reinterpret_cast<WPARAM>(handle_), 0);
    else
      ShowWindow(handle_, SW_MINIMIZE);
    return;
  }
  ShowWindow(handle_, value == wsMaximized ? SW_MAXIMIZE : value == wsMinimized ? SW_MINIMIZE : SW_RESTORE);
}

// -------- modal

namespace {

struct TTaskWindows {
  HWND except;
  std::vector<HWND> disabled;
};

BOOL CALLBACK DisableTaskWindow(HWND wnd, LPARAM data) {
  auto* t = reinterpret_cast<TTaskWindows*>(data);
  if (wnd != t->except && IsWindowVisible(wnd) && IsWindowEnabled(wnd)) {
    t->disabled.push_back(wnd);
    EnableWindow(wnd, FALSE);
  }
  return TRUE;
}

}  // namespace

TModalResult TCustomForm::ShowModal() {
  if (visible_ || !enabled_ || FormState.Contains(fsModal) || formStyle_ == fsMDIChild)
    throw EInvalidOperation("Cannot make a visible window modal");
  CancelDrag();
  if (GetCapture()) SendMessageA(GetCapture(), WM_CANCELMODE, 0, 0);
  ReleaseCapture();
  std::shared_ptr<bool> alive = alive_;
  FormState << fsModal;
  HWND previous = GetActiveWindow();
  HandleNeeded();
  TTaskWindows tasks{handle_, {}};
  EnumThreadWindows(GetCurrentThreadId(), DisableTaskWindow, reinterpret_cast<LPARAM>(&tasks));
  // The application window stays usable for the message boxes it owns.
  struct TRestore {
    TTaskWindows& t;
    HWND previous;
    ~TRestore() {
      for (HWND w : t.disabled)
        if (IsWindow(w)) EnableWindow(w, TRUE);
      if (previous && IsWindow(previous) && IsWindowVisible(previous)) SetActiveWindow(previous);
    }
  } restore{tasks, previous};
  modalResult_ = mrNone;
  try {
    Show();
    for (;;) {
      TPumpResult r = PumpUntil([&] { return !*alive || modalResult_ != mrNone; }, kPumpForever, alive);
      if (r == prCallerGone || !*alive) return mrCancel;
      if (r == prQuit) modalResult_ = mrCancel;
      CloseModal();
      if (!*alive) return mrCancel;
      if (modalResult_ != mrNone) break;
    }
  } catch (...) {
    if (*alive) {
      FormState >> fsModal;
      if (handle_) Hide();
    }
    throw;
  }
  TModalResult result = modalResult_;
  FormState >> fsModal;
  // The owner comes back before the form hides, so activation returns to it.
  for (HWND w : tasks.disabled)
    if (IsWindow(w)) EnableWindow(w, TRUE);
  tasks.disabled.clear();
  if (*alive && visible_) Hide();
  return result;
}

void TCustomForm::CloseModal() {
  TCloseAction action = caNone;
  if (CloseQuery()) {
    action = caHide;
    DoClose(action);
  }
  switch (action) {
    case caNone:
      modalResult_ = mrNone;
      break;
    case caFree:
      Release();
      break;
    default:
      break;
  }
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (formStyle_ == fsMDIForm) {
    for (int i = 0; i < MDIChildCount(); ++i)
      if (!MDIChildren(i)->CloseQuery()) return false;
  }
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Close() {
  if (FormState.Contains(fsModal)) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  if (formStyle_ == fsMDIChild) action = borderIcons_.Contains(biMinimize) ? caMinimize : caNone;
  std::shared_ptr<bool> alive = alive_;
  DoClose(action);
  if (!*alive || action == caNone) return;
  if (Application->MainForm() == this) {
    Application->Terminate();
    if (action == caFree) Release();
    return;
  }
  switch (action) {
    case caHide:
      Hide();
      break;
    case caMinimize:
      SetWindowState(wsMinimized);
      break;
    case caFree:
      Release();
      break;
    default:
      break;
  }
}

void TCustomForm::Release() {
  if (releasePending_) return;
  releasePending_ = true;
  releaseDepth_ = std::max(DispatchDepth(), 1);
  PostMessageA(Handle(), CM_RELEASE, 0, 0);
}

namespace {
// A control is in use while one of its windows is handling a message.
bool InUse(TWinControl* w) {
  if (w->Dispatching()) return true;
  for (int i = 0; i < w->ControlCount(); ++i)
    if (auto* c = dynamic_cast<TWinControl*>(w->Controls(i)); c && InUse(c)) return true;
  return false;
}
}  // namespace

// Handling CM_RELEASE (or the retry timer): frees the form unless code of
// it is still running further up the stack, then tries again shortly.
void TCustomForm::ReleaseNow() {
  bool busy = DispatchDepth() > releaseDepth_ || DispatchCount() > 1;
  for (int i = 0; !busy && i < ControlCount(); ++i)
    if (auto* c = dynamic_cast<TWinControl*>(Controls(i)); c && InUse(c)) busy = true;
  if (busy) {
    SetTimer(handle_, kReleaseTimer, 10, nullptr);
    return;
  }
  if (handle_) KillTimer(handle_, kReleaseTimer);
  Free();
}

// -------- messages

void TCustomForm::DefaultHandler(TMessage& msg) {
  if (handle_ && msg.Msg < CM_BASE) {
    if (formStyle_ == fsMDIForm && clientHandle_ && msg.Msg != WM_SIZE) {
      msg.Result = DefFrameProcA(handle_, clientHandle_, msg.Msg, msg.WParam, msg.LParam);
      return;
    }
    if (formStyle_ == fsMDIChild) {
      msg.Result = DefMDIChildProcA(handle_, msg.Msg, msg.WParam, msg.LParam);
      return;
    }
  }
  TCustomControl::DefaultHandler(msg);
}

void TCustomForm::Paint() {
  if (OnPaint) OnPaint(this);
}

void TCustomForm::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  if (value) {
    Screen->SetActiveForm(this);
    FormState << fsActivated;
    if (activeControl_ && activeControl_->CanFocus() && activeControl_->HandleAllocated() &&
        GetFocus() != activeControl_->Handle())
      ::SetFocus(activeControl_->Handle());
    else if (!activeControl_ && handle_ && GetFocus() != handle_ && formStyle_ != fsMDIForm) {
      if (TWinControl* first = FindNextControl(nullptr, true, true, false)) first->SetFocus();
    }
    Activate();
  } else {
    Deactivate();
  }
}

void TCustomForm::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_CLOSE:
      Close();
      msg.Result = 0;
      return;
    case WM_ACTIVATE:
      DefaultHandler(msg);
      if (formStyle_ != fsMDIChild) SetActive(LOWORD(msg.WParam) != WA_INACTIVE);
      return;
    case WM_MDIACTIVATE:
      DefaultHandler(msg);
      if (formStyle_ == fsMDIChild) SetActive(reinterpret_cast<HWND>(msg.LParam) == handle_);
      return;
    case WM_SETFOCUS:
      // The focus goes on to the control that had it.
      if (activeControl_ && activeControl_ != this && activeControl_->CanFocus() && activeControl_->HandleAllocated()) {
        ::SetFocus(activeControl_->Handle());
        msg.Result = 0;
        return;
      }
      TCustomControl::Dispatch(msg);
      return;
    case WM_GETMINMAXINFO: {
      DefaultHandler(msg);
      auto* mm = reinterpret_cast<MINMAXINFO*>(msg.LParam);
      if (constraints_->MinWidth() > 0) mm->ptMinTrackSize.x = constraints_->MinWidth();
      if (constraints_->MinHeight() > 0) mm->ptMinTrackSize.y = constraints_->MinHeight();
      if (constraints_->MaxWidth() > 0) mm->ptMaxTrackSize.x = constraints_->MaxWidth();
      if (constraints_->MaxHeight() > 0) mm->ptMaxTrackSize.y = constraints_->MaxHeight();
      return;
    }
    case WM_COMMAND:
      if (!msg.LParam && HIWORD(msg.WParam) <= 1) {
        if (menu_ && menu_->DispatchCommand(LOWORD(msg.WParam))) {
          msg.Result = 0;
          return;
        }
      }
      TCustomControl::Dispatch(msg);
      return;
    case WM_INITMENUPOPUP:
      if (menu_) menu_->DispatchPopup(reinterpret_cast<HMENU>(msg.WParam));
      DefaultHandler(msg);
      return;
    case WM_TIMER:
      if (msg.WParam == kReleaseTimer) {
        ReleaseNow();
        return;
      }
      TCustomControl::Dispatch(msg);
      return;
    case CM_RELEASE:
      ReleaseNow();
      return;
    case CM_DIALOGKEY:
      CMDialogKey(msg);
      return;
    case CM_DIALOGCHAR:
      CMDialogChar(msg);
      return;
    case WM_ERASEBKGND:
      if (formStyle_ == fsMDIForm) {
        msg.Result = 1;
        return;
      }
      TCustomControl::Dispatch(msg);
      return;
    case WM_NCDESTROY:
      TCustomControl::Dispatch(msg);
      clientHandle_ = nullptr;
      return;
    default:
      TCustomControl::Dispatch(msg);
  }
}

// Tab moves the focus; Enter and Escape go to the controls (default and
// cancel buttons answer them).
void TCustomForm::CMDialogKey(TMessage& msg) {
  WORD key = static_cast<WORD>(msg.WParam);
  TShiftState shift = KeyDataToShiftState(msg.LParam);
  msg.Result = 0;
  if (shift.Contains(ssAlt) || shift.Contains(ssCtrl)) return;
  TWinControl* focus = dynamic_cast<TWinControl*>(TControl::FindControl(GetFocus()));
  switch (key) {
    case VK_TAB:
      SelectNext(focus, !shift.Contains(ssShift), true);
      msg.Result = 1;
      return;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
      if (focus && focus->Parent()) {
        if (TWinControl* next =
                focus->Parent()->FindNextControl(focus, key == VK_RIGHT || key == VK_DOWN, false, true)) {
          next->SetFocus();
          msg.Result = 1;
        }
      }
      return;
    default: {
      // Broadcast to every control of the form until one takes it.
      std::function<bool(TWinControl*)> broadcast = [&](TWinControl* w) {
        for (int i = 0; i < w->ControlCount(); ++i) {
          TControl* c = w->Controls(i);
          if (c->Perform(CM_DIALOGKEY, msg.WParam, msg.LParam) != 0) return true;
          if (auto* cw = dynamic_cast<TWinControl*>(c); cw && !dynamic_cast<TCustomForm*>(cw) && broadcast(cw))
            return true;
        }
        return false;
      };
      if (broadcast(this)) msg.Result = 1;
    }
  }
}

void TCustomForm::CMDialogChar(TMessage& msg) {
  msg.Result = 0;
  std::function<bool(TWinControl*)> broadcast = [&](TWinControl* w) {
    for (int i = 0; i < w->ControlCount(); ++i) {
      TControl* c = w->Controls(i);
      if (!c->Visible() || !c->Enabled()) continue;
      if (c->Perform(CM_DIALOGCHAR, msg.WParam, msg.LParam) != 0) return true;
      if (auto* cw = dynamic_cast<TWinControl*>(c); cw && !dynamic_cast<TCustomForm*>(cw) && broadcast(cw))
        return true;
    }
    return false;
  };
  if (broadcast(this)) msg.Result = 1;
}

namespace {
// Every control of a form hears where the focus went (CM_FOCUSCHANGED,
// LParam: the control); default buttons follow it.
void BroadcastFocus(TWinControl* parent, TWinControl* focused) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    c->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(focused));
    if (auto* w = dynamic_cast<TWinControl*>(c); w && !w->IsFormControl()) BroadcastFocus(w, focused);
  }
}
}  // namespace

void TCustomForm::FocusChanged(TWinControl* focused) {
  if (focused == focusedControl_) return;
  TWinControl* old = focusedControl_;
  focusedControl_ = focused;
  if (focused != this) activeControl_ = focused;
  if (old && old != this) old->DoExit();
  if (focusedControl_ == focused && focused && focused != this) focused->DoEnter();
  if (focusedControl_ == focused) BroadcastFocus(this, focused);
}

void TCustomForm::DefocusControl(TWinControl* control) {
  auto inside = [&](TWinControl* c) {
    for (TControl* p = c; p; p = p->Parent())
      if (p == control) return true;
    return false;
  };
  if (inside(activeControl_)) activeControl_ = nullptr;
  if (inside(focusedControl_)) focusedControl_ = nullptr;
}

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control == activeControl_) return;
  if (control && (control == this || !ContainsControl(control)))
    throw EInvalidOperation("Invalid active control");
  activeControl_ = control;
  if (control && handle_ && active_ && control->CanFocus()) ::SetFocus(control->Handle());
}

void TCustomForm::FocusControl(TWinControl* control) {
  if (control && control->CanFocus()) {
    activeControl_ = control;
    ::SetFocus(control->Handle());
  }
}

bool TCustomForm::PreviewKeyDown(WORD& key, TShiftState shift) {
  if (!keyPreview_) return false;
  KeyDown(key, shift);
  return key == 0;
}

bool TCustomForm::PreviewKeyUp(WORD& key, TShiftState shift) {
  if (!keyPreview_) return false;
  KeyUp(key, shift);
  return key == 0;
}

bool TCustomForm::PreviewKeyPress(char& key) {
  if (!keyPreview_) return false;
  KeyPress(key);
  return key == 0;
}

bool TCustomForm::FormShortCut(WORD key, TShiftState shift) {
  bool handled = false;
  if (OnShortCut) OnShortCut(key, shift, handled);
  if (handled) return true;
  if (menu_ && menu_->IsShortCut(key, shift)) return true;
  std::shared_ptr<bool> alive = alive_;
  for (int i = 0; i < ComponentCount() && *alive; ++i)
    if (auto* list = dynamic_cast<TCustomActionList*>(Components(i)); list && list->IsShortCut(key, shift))
      return true;
  // An MDI child's shortcuts are looked up by its frame too.
  if (*alive && formStyle_ == fsMDIChild)
    if (auto* frame = dynamic_cast<TCustomForm*>(Application->MainForm()); frame && frame != this)
      return frame->FormShortCut(key, shift);
  return false;
}

// -------- MDI

namespace {
struct TChildList {
  std::vector<TCustomForm*> forms;
};
BOOL CALLBACK CollectMDIChild(HWND wnd, LPARAM data) {
  if (auto* f = dynamic_cast<TCustomForm*>(TObjectWindowClass::ObjectOf(wnd)))
    if (f->FormStyle() == fsMDIChild) reinterpret_cast<TChildList*>(data)->forms.push_back(f);
  return TRUE;
}
std::vector<TCustomForm*> MDIChildList(HWND client) {
  TChildList list;
  if (!client) return list.forms;
  for (HWND w = GetWindow(client, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
    CollectMDIChild(w, reinterpret_cast<LPARAM>(&list));
  return list.forms;
}
}  // namespace

int TCustomForm::MDIChildCount() const { return static_cast<int>(MDIChildList(clientHandle_).size()); }

TCustomForm* TCustomForm::MDIChildren(int index) const {
  auto v = MDIChildList(clientHandle_);
  return index >= 0 && index < static_cast<int>(v.size()) ? v[static_cast<size_t>(index)] : nullptr;
}

TCustomForm* TCustomForm::ActiveMDIChild() const {
  if (!clientHandle_) return nullptr;
  auto h = reinterpret_cast<HWND>(SendMessageA(clientHandle_, WM_MDIGETACTIVE, 0, 0));
  auto* f = dynamic_cast<TCustomForm*>(TObjectWindowClass::ObjectOf(h));
  return f && f->formStyle_ == fsMDIChild ? f : nullptr;
}

void TCustomForm::Cascade() {
  if (clientHandle_) SendMessageA(clientHandle_, WM_MDICASCADE, 0, 0);
}
void TCustomForm::Tile() {
  if (clientHandle_) SendMessageA(clientHandle_, WM_MDITILE, MDITILE_HORIZONTAL, 0);
}
void TCustomForm::Next() {
  if (clientHandle_) SendMessageA(clientHandle_, WM_MDINEXT, 0, 0);
}
void TCustomForm::Previous() {
  if (clientHandle_) SendMessageA(clientHandle_, WM_MDINEXT, 0, 1);
}

// ---------------------------------------------------------------- THintWindow

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  visible_ = false;
  color_ = clInfoBk;
  brush_->SetColor(color_);
  font_->Assign(Screen->HintFont());
  font_->SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style = WS_POPUP | WS_BORDER;
  p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  p.WndParent = Application->Handle();
  p.WindowClass = &ControlWindowClass("THintWindow", CS_SAVEBITS | CS_DROPSHADOW);
}

TRect THintWindow::CalcHintRect(int maxWidth, const String& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font_->Handle());
  RECT r{0, 0, maxWidth, 0};
  const UINT format = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX;
  ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_CALCRECT);
  // Room for the glyphs of the widest reaching line drawn past its extent;
  // a width between the widest line and maxWidth breaks the lines alike.
  r.right += DrawTextOverhang(dc, text, r, format | DT_RIGHT);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return TRect(0, 0, r.right + 8, r.bottom + 4);
}

void THintWindow::ActivateHint(const TPoint& pos, const String& text) {
  SetCaption(text);
  TRect r = CalcHintRect(Screen->Width() / 3, text);
  int x = pos.x, y = pos.y;
  TRect area = Screen->DesktopRect();
  if (x + r.Width() > area.right) x = area.right - r.Width();
  if (y + r.Height() > area.bottom) y = pos.y - r.Height() - 20;
  if (x < area.left) x = area.left;
  HWND h = Handle();
  left_ = x;
  top_ = y;
  width_ = r.Width();
  height_ = r.Height();
  SetWindowPos(h, HWND_TOPMOST, x, y, width_, height_, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  visible_ = true;
  InvalidateRect(h, nullptr, TRUE);
}

void THintWindow::ReleaseHandle() {
  if (handle_) ShowWindow(handle_, SW_HIDE);
  visible_ = false;
}

void THintWindow::Paint() {
  TRect r = ClientRect();
  r.left += 2;
  r.top += 1;
  canvas_->Font()->Assign(font_);
  canvas_->Brush()->SetStyle(bsClear);
  String t = Text();
  canvas_->DrawText(t, r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}

void THintWindow::Dispatch(TMessage& msg) {
  if (msg.Msg == WM_NCHITTEST) {
    msg.Result = HTTRANSPARENT;
    return;
  }
  TCustomControl::Dispatch(msg);
}

// ---------------------------------------------------------------- TScreen

TScreen::TScreen(TComponent* owner) : TComponent(owner) {
  hintFont_ = new TFont;
  menuFont_ = new TFont;
  iconFont_ = new TFont;
  NONCLIENTMETRICSA ncm{};
  ncm.cbSize = sizeof ncm;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) {
    auto take = [](TFont* f, const LOGFONTA& lf) {
      f->SetName(lf.lfFaceName);
      f->SetHeight(lf.lfHeight);
      TFontStyles st;
      if (lf.lfWeight >= FW_BOLD) st << fsBold;
      if (lf.lfItalic) st << fsItalic;
      f->SetStyle(st);
    };
    take(hintFont_, ncm.lfStatusFont);
    take(menuFont_, ncm.lfMenuFont);
  }
  LOGFONTA lf{};
  if (SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0)) {
    iconFont_->SetName(lf.lfFaceName);
    iconFont_->SetHeight(lf.lfHeight);
  }
  hintFont_->SetColor(clInfoText);
  menuFont_->SetColor(clMenuText);
  iconFont_->SetColor(clWindowText);
}

TScreen::~TScreen() {
  delete fonts_;
  delete hintFont_;
  delete menuFont_;
  delete iconFont_;
  if (Screen == this) Screen = nullptr;
}

TRect TScreen::WorkAreaRect() const {
  RECT r;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) return DesktopRect();
  return TRect(r);
}

TRect TScreen::DesktopRect() const {
  return TRect(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
               GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
               GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

namespace {
int CALLBACK AddFontName(const LOGFONTA* lf, const TEXTMETRICA*, DWORD, LPARAM data) {
  auto* list = reinterpret_cast<TStringList*>(data);
  if (lf->lfFaceName[0] != '@' && list->IndexOf(lf->lfFaceName) < 0) list->Add(lf->lfFaceName);
  return 1;
}
}  // namespace

TStrings* TScreen::Fonts() {
  if (!fonts_) {
    fonts_ = new TStringList;
    fonts_->SetSorted(true);
    HDC dc = GetDC(nullptr);
    LOGFONTA lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExA(dc, &lf, AddFontName, reinterpret_cast<LPARAM>(fonts_), 0);
    ReleaseDC(nullptr, dc);
  }
  return fonts_;
}

TWinControl* TScreen::ActiveControl() const { return activeForm_ ? activeForm_->ActiveControl() : nullptr; }

void TScreen::AddForm(TCustomForm* form) { forms_.push_back(form); }

void TScreen::RemoveForm(TCustomForm* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
  if (activeForm_ == form) activeForm_ = nullptr;
}

void TScreen::SetActiveForm(TCustomForm* form) {
  if (form == activeForm_) return;
  activeForm_ = form;
  if (OnActiveFormChange) OnActiveFormChange(this);
}

// ---------------------------------------------------------------- TApplication

namespace {

constexpr UINT_PTR kHintShowTimer = 1;
constexpr UINT_PTR kHintHideTimer = 2;

void ApplicationSink(TObject* sender) {
  if (Application) Application->HandleException(sender);
}

bool IsKeyMsg(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  auto* w = dynamic_cast<TWinControl*>(TControl::FindControl(msg.hwnd));
  if (!w) return false;
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
    case WM_SYSCHAR:
      return w->Perform(CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
    default:
      return false;
  }
}

bool IsMDIMsg(MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  TCustomForm* main = Application->MainForm();
  if (!main || main->FormStyle() != fsMDIForm || !main->ClientHandle()) return false;
  if (!main->ActiveMDIChild()) return false;
  return TranslateMDISysAccel(main->ClientHandle(), &msg) != 0;
}

// The mouse's last position as the queue saw it.
TPoint gMousePos(-1, -1);

bool ApplicationFilter(MSG& msg) {
  if ((msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ||
      (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCMBUTTONDBLCLK))
    gMousePos = TPoint(msg.pt);
  if (DragFilterMessage(msg)) return true;
  if (Application) Application->HintMouseMessage(TControl::FindControl(msg.hwnd), msg);
  if (IsMDIMsg(msg)) return true;
  return IsKeyMsg(msg);
}

void ApplicationIdle() {
  if (!Application) return;
  if (gMousePos.x != -1 || gMousePos.y != -1) Application->HintControlAt(TControl::FindDragTarget(gMousePos));
  if (Application->OnIdle) Application->OnIdle(Application);
  Application->UpdateActions();
}

}  // namespace

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  Title = ChangeFileExt(ExtractFileName(ExeName()), "");
  SetExceptionSink(ApplicationSink);
}

TApplication::~TApplication() {
  // The forms and the rest of what it owns go while the application still
  // answers for them.
  Destroying();
  DestroyComponents();
  hintWindow_ = nullptr;
  if (handle_) DeallocateHWnd(handle_);
  handle_ = nullptr;
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize() {
  if (initialized_) return;
  initialized_ = true;
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES |
              ICC_TREEVIEW_CLASSES | ICC_UPDOWN_CLASS | ICC_USEREX_CLASSES | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&icc);
  SetMessageFilter(ApplicationFilter);
  SetIdleHandler(ApplicationIdle);
}

HWND TApplication::Handle() {
  if (!handle_) {
    Initialize();
    handle_ = AllocateHWnd({this, &TApplication::AppWndProc});
    if (handle_) SetWindowTextA(handle_, Title.c_str());
  }
  return handle_;
}

void TApplication::AppWndProc(TMessage& msg) {
  switch (msg.Msg) {
    case WM_TIMER:
      if (msg.WParam == kHintShowTimer) {
        KillTimer(handle_, kHintShowTimer);
        ShowHintNow();
        return;
      }
      if (msg.WParam == kHintHideTimer) {
        CancelHint();
        return;
      }
      break;
    case WM_ACTIVATEAPP:
      if (msg.WParam) {
        if (OnActivate) OnActivate(this);
      } else {
        CancelHint();
        if (OnDeactivate) OnDeactivate(this);
      }
      break;
    default:
      break;
  }
  msg.Result = DefWindowProcA(handle_, msg.Msg, msg.WParam, msg.LParam);
}

String TApplication::ExeName() const {
  char buf[MAX_PATH * 4];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  return String(buf, n);
}

bool TApplication::ProcessMessage(MSG&) {
  bool quit = false;
  return DispatchOneMessage(quit);
}

void TApplication::ProcessMessages() { ProcessQueuedMessages(); }

bool TApplication::WaitMessageTimeout(DWORD ms) {
  DWORD r = MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  return r == WAIT_OBJECT_0;
}

void TApplication::HandleMessage() {
  bool quit = false;
  if (!DispatchOneMessage(quit) && !quit) {
    ApplicationIdle();
    WaitMessageTimeout(INFINITE);
  }
}

void TApplication::Run() {
  Initialize();
  if (mainForm_ && !mainForm_->Visible()) mainForm_->Show();
  while (!Terminated()) PumpUntil(nullptr, kPumpForever);
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::HandleException(TObject* sender) {
  try {
    DispatchCurrentException([&](Exception& e) {
      if (dynamic_cast<EAbort*>(&e)) return;
      if (OnException)
        OnException(sender, e);
      else
        ShowException(e);
    });
  } catch (...) {
    // The hook itself failed: nothing more can be reported.
  }
}

void TApplication::ShowException(const Exception& e) {
  String msg = e.Message;
  if (!msg.empty() && msg.back() > '.') msg += '.';
  MessageBox(msg, Title, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const String& text, const String& caption, UINT flags) {
  HWND owner = GetActiveWindow();
  if (!owner) owner = Handle();
  CancelHint();
  bool wasEnabled = IsWindowEnabled(owner) != FALSE;
  int r = SystemDialogs()->MessageBox(owner, text, caption, flags);
  if (IsWindow(owner) && (IsWindowEnabled(owner) != FALSE) != wasEnabled) EnableWindow(owner, wasEnabled);
  return r;
}

bool TApplication::HelpCommand(UINT command, ULONG_PTR data) {
  HWND owner = GetActiveWindow();
  return SystemDialogs()->WinHelp(owner ? owner : Handle(), HelpFile, command, data);
}

bool TApplication::HelpJump(const String& topic) {
  String macro = "JI(`',`" + topic + "')";
  return HelpCommand(HELP_COMMAND, reinterpret_cast<ULONG_PTR>(macro.c_str()));
}

bool TApplication::HelpContext(int context) { return HelpCommand(HELP_CONTEXT, static_cast<ULONG_PTR>(context)); }

void TApplication::UpdateActions() {
  if (!Screen) return;
  std::vector<TCustomForm*> forms;
  for (int i = 0; i < Screen->FormCount(); ++i) forms.push_back(Screen->Forms(i));
  for (TCustomForm* f : forms) {
    bool live = false;
    for (int i = 0; i < Screen->FormCount(); ++i) live = live || Screen->Forms(i) == f;
    if (!live || !f->HandleAllocated() || !IsWindowVisible(f->Handle()) || !f->Enabled()) continue;
    for (int i = 0; i < f->ComponentCount(); ++i) f->Components(i)->InitiateAction();
  }
}

// -------- hints

void TApplication::SetHint(const String& value) {
  if (value == hint_) return;
  hint_ = value;
  if (OnHint) OnHint(this);
}

void TApplication::SetShowHint(bool value) {
  showHint_ = value;
  if (!value) CancelHint();
}

void TApplication::CancelHint() {


  if (handle_) {
    KillTimer(handle_, kHintShowTimer);
    KillTimer(handle_, kHintHideTimer);
  }
  if (hintShowing_ && hintWindow_) {
    hintWindow_->ReleaseHandle();
    lastHintHide_ = GetTickCount();
  }
  hintShowing_ = false;
}

void TApplication::HintMouseMessage(TControl* control, const MSG& msg) {
  switch (msg.message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEWHEEL:
      CancelHint();
      return;
    case WM_MOUSEMOVE:
      HintControlAt(control);
      return;
    default:
      return;
  }
}

void TApplication::HintControlAt(TControl* control) {
  if (control && dynamic_cast<THintWindow*>(control)) return;
  if (control == hintControl_) return;
  if (hintControl_) hintControl_->RemoveFreeNotification(this);
  hintControl_ = control;
  if (control) control->FreeNotification(this);
  SetHint(control ? GetLongHint(control->Hint()) : String());
  bool wasShowing = hintShowing_ || (GetTickCount() - lastHintHide_ < 200);
  CancelHint();
  if (!control || !showHint_ || !control->ShowHint() || GetShortHint(control->Hint()).empty()) return;
  SetTimer(Handle(), kHintShowTimer, static_cast<UINT>(wasShowing ? HintShortPause : HintPause), nullptr);
}

void TApplication::ShowHintNow() {
  if (!hintControl_) return;
  TPoint p = gMousePos;
  if (TControl::FindDragTarget(p) != hintControl_) return;
  if (!hintWindow_) hintWindow_ = new THintWindow(this);
  hintWindow_->SetColor(HintColor);
  hintWindow_->ActivateHint(TPoint(p.x, p.y + 20), GetShortHint(hintControl_->Hint()));
  hintShowing_ = true;
  SetTimer(Handle(), kHintHideTimer, static_cast<UINT>(HintHidePause), nullptr);
}
