// Forms, the application object, the screen, hints, and the seam for the
// system's blocking dialogs.
#pragma once

#include "Controls.h"

#include <commdlg.h>

#include <optional>
#include <vector>

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;
constexpr TModalResult mrAll = mrNo + 1;
constexpr TModalResult mrNoToAll = mrAll + 1;
constexpr TModalResult mrYesToAll = mrNoToAll + 1;

// The dialogs that block until a person answers. Tests install their own.
class TSystemDialogs {
 public:
  virtual ~TSystemDialogs() = default;
  virtual int MessageBox(HWND owner, const String& text, const String& caption, UINT flags);
  virtual bool GetSaveFileName(OPENFILENAMEA& ofn);
  virtual bool GetOpenFileName(OPENFILENAMEA& ofn);
  virtual bool WinHelp(HWND wnd, const String& helpFile, UINT command, ULONG_PTR data);
  // PlaySoundA with a system sound alias (SND_ALIAS is added).
  virtual bool PlaySystemSound(const String& alias, UINT flags);
  virtual bool ChooseColor(CHOOSECOLORA& cc);
  virtual bool ChooseFont(CHOOSEFONTA& cf);
  // A prompt for one line of text, preset with value; true on OK, with the
  // text typed in value. The default (Dialogs.cpp) shows the library's own
  // modal input form.
  virtual bool InputQuery(const String& caption, const String& prompt, String& value);
  // A question with buttons of the system's own choosing, for answers a
  // MessageBox has no buttons for: each button's caption and the result it
  // gives, the first the default; the mrCancel one (or closing the window)
  // answers Escape. The default (Dialogs.cpp) shows the library's own modal
  // form with the question icon.
  struct TDlgButton {
    String Caption;
    TModalResult Result;
  };
  virtual TModalResult MessageDlg(HWND owner, const String& text, const String& caption,
                                  const std::vector<TDlgButton>& buttons);
  // ShellExecuteA (empty texts passed as empty texts); true when it
  // started something (a result above 32).
  virtual bool ShellExecuteFile(HWND wnd, const String& verb, const String& file, const String& parameters,
                                const String& directory, int showCmd);
};
TSystemDialogs* SystemDialogs();
// Installs d (nullptr: the real dialogs) and returns the one it replaces.
TSystemDialogs* SetSystemDialogs(TSystemDialogs* d);

using TExceptionEvent = TEvent<TObject*, Exception&>;

class TCustomForm;

// ---------------------------------------------------------------- forms

enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
enum TPosition {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter, poMainFormCenter,
  poOwnerFormCenter
};
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormStateItem { fsCreating, fsVisible, fsShowing, fsModal, fsActivated };
using TFormState = TSet<TFormStateItem>;

using TCloseEvent = TEvent<TObject*, TCloseAction&>;
using TCloseQueryEvent = TEvent<TObject*, bool&>;
using TShortCutEvent = TEvent<WORD, TShiftState, bool&>;

class TCustomForm : public TCustomControl {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  void BeforeDestruction() override;

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle value);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons value);
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle value);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition value) { position_ = value; }
  TWindowState WindowState() const;
  void SetWindowState(TWindowState value);
  TFormState FormState;

  void Show();
  void Hide() { SetVisible(false); }
  // Shows the form and runs a message loop until ModalResult is set and the
  // close is allowed. Only the windows of the thread that were enabled when
  // it started are disabled meanwhile, and exactly those enabled again.
  virtual TModalResult ShowModal();
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult value) { modalResult_ = value; }
  // OnCloseQuery, then OnClose with the default action (hide; an MDI child
  // does nothing unless it may be minimised; the main form ends the program).
  void Close();
  virtual bool CloseQuery();
  // Frees the form once every handler running for it (and the handler that
  // called Release) has returned.
  void Release();

  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool value) { keyPreview_ = value; }
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);
  void FocusControl(TWinControl* control);
  bool Active() const { return active_; }
  TMainMenu* Menu() const { return menu_; }
  void SetMenu(TMainMenu* value);
  HICON Icon() const { return icon_; }
  // The form's icon (the form does not own it).
  void SetIcon(HICON icon);

  // An MDI frame: the client window, the children in z-order, the active one.
  HWND ClientHandle() const { return clientHandle_; }
  int MDIChildCount() const;
  TCustomForm* MDIChildren(int index) const;
  TCustomForm* ActiveMDIChild() const;
  void Cascade();
  void Tile();
  void Next();
  void Previous();

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TShortCutEvent OnShortCut;

  bool IsFormControl() const override { return true; }
  void FocusChanged(TWinControl* focused) override;
  void DefocusControl(TWinControl* control) override;
  bool PreviewKeyDown(WORD& key, TShiftState shift) override;
  bool PreviewKeyUp(WORD& key, TShiftState shift) override;
  bool PreviewKeyPress(char& key) override;
  bool FormShortCut(WORD key, TShiftState shift) override;
  bool Showing() const override;
  void SetBounds(int left, int top, int width, int height) override;
  TRect ClientRect() override;
  void DefaultHandler(TMessage& msg) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void DestroyHandle() override;
  void Dispatch(TMessage& msg) override;
  void Paint() override;
  void Loaded() override;
  void VisibleChanged() override;
  void AlignControls(TControl* control, TRect& rect) override;
  virtual void DoCreate();
  virtual void DoDestroy();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& action);
  virtual void Activate();
  virtual void Deactivate();
  void CloseModal();
  // Tab, arrows, Enter and Escape: focus movement, then the controls'
  // default and cancel handling.
  virtual void CMDialogKey(TMessage& msg);
  virtual void CMDialogChar(TMessage& msg);
  // The window the form's MDI child windows live in.
  HWND MDIParentClient() const;
  void PlaceOnScreen();

 private:
  void SetActive(bool value);
  void ReleaseNow();
  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
  TFormStyle formStyle_ = fsNormal;
  TPosition position_ = poDesigned;
  TWindowState windowState_ = wsNormal;
  TModalResult modalResult_ = mrNone;
  bool keyPreview_ = false;
  TWinControl* activeControl_ = nullptr;
  TWinControl* focusedControl_ = nullptr;
  bool active_ = false;
  TMainMenu* menu_ = nullptr;
  HICON icon_ = nullptr;
  HWND clientHandle_ = nullptr;
  bool placed_ = false;
  // Kept while the window is made again, so it comes back as it was.
  std::optional<WINDOWPLACEMENT> recreatePlacement_;
  bool recreateActive_ = false;
  bool releasePending_ = false;
  int releaseDepth_ = 0;
  std::shared_ptr<bool> alive_;
};

class TForm : public TCustomForm {
 public:
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

// The form a control is on (nullptr when it is on none).
TCustomForm* GetParentForm(TControl* control);

// ---------------------------------------------------------------- hints

// The tooltip window of the application's hints.
class THintWindow : public TCustomControl {
 public:
  explicit THintWindow(TComponent* owner);
  // Shows text with its top-left corner at a screen point.
  void ActivateHint(const TPoint& screenPos, const String& text);
  void ReleaseHandle();
  TRect CalcHintRect(int maxWidth, const String& text);

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void Dispatch(TMessage& msg) override;
};

// ---------------------------------------------------------------- screen

class TScreen : public TComponent {
 public:
  explicit TScreen(TComponent* owner);
  ~TScreen() override;

  TCursor Cursor() const { return ScreenCursor(); }
  void SetCursor(TCursor value) { SetScreenCursor(value); }
  // The cursor table: system ids and the application's own.
  HCURSOR Cursors(TCursor id) const { return CursorHandle(id); }
  void SetCursors(TCursor id, HCURSOR handle) { SetCursorHandle(id, handle); }

  int Width() const { return GetSystemMetrics(SM_CXSCREEN); }
  int Height() const { return GetSystemMetrics(SM_CYSCREEN); }
  TRect WorkAreaRect() const;
  TRect DesktopRect() const;
  int PixelsPerInch() const { return TFont::PixelsPerInch(); }
  // Installed font names, sorted.
  TStrings* Fonts();
  TFont* HintFont() const { return hintFont_; }
  TFont* MenuFont() const { return menuFont_; }
  TFont* IconFont() const { return iconFont_; }

  int FormCount() const { return static_cast<int>(forms_.size()); }
  TCustomForm* Forms(int index) const { return forms_[static_cast<size_t>(index)]; }
  TCustomForm* ActiveForm() const { return activeForm_; }
  TWinControl* ActiveControl() const;
  TNotifyEvent OnActiveFormChange;

 private:
  friend class TCustomForm;
  void AddForm(TCustomForm* form);
  void RemoveForm(TCustomForm* form);
  void SetActiveForm(TCustomForm* form);
  std::vector<TCustomForm*> forms_;
  TCustomForm* activeForm_ = nullptr;
  TStringList* fonts_ = nullptr;
  TFont* hintFont_;
  TFont* menuFont_;
  TFont* iconFont_;
};

extern TScreen* Screen;

// Sets the screen cursor for the lifetime of the object (hourglass during
// long work) and restores the previous one.
class TCursorGuard {
 public:
  explicit TCursorGuard(TCursor cursor = crHourGlass) : saved_(ScreenCursor()) { SetScreenCursor(cursor); }
  ~TCursorGuard() { SetScreenCursor(saved_); }
  TCursorGuard(const TCursorGuard&) = delete;
  TCursorGuard& operator=(const TCursorGuard&) = delete;

 private:
  TCursor saved_;
};

// ---------------------------------------------------------------- application

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  // Common controls, the message filter and the idle handler; called once
  // before the first form (Run and CreateForm call it when needed).
  void Initialize();
  // The hidden top-level window that owns the forms and the message boxes.
  HWND Handle();
  TCustomForm* MainForm() const { return mainForm_; }
  void SetMainForm(TCustomForm* form) { mainForm_ = form; }
  // Makes a form owned by the application; the first becomes the main form.
  template <class F>
  F* CreateForm() {
    Initialize();
    F* f = new F(this);
    if (!mainForm_) mainForm_ = f;
    return f;
  }

  // Runs the message loop until Terminate (WM_QUIT); shows the main form first.
  void Run();
  // Handles one message, or waits for the next one when none is queued.
  void HandleMessage();
  // Handles every queued message and returns. When it takes WM_QUIT it sets
  // Terminated, posts WM_QUIT again for the outer loops and stops.
  void ProcessMessages();
  // Takes one message; false when none was queued (or WM_QUIT was taken).
  bool ProcessMessage(MSG& msg);
  // Waits up to ms milliseconds for a message to arrive (already queued
  // messages count); returns whether one is there.
  bool WaitMessageTimeout(DWORD ms);
  void Terminate();
  bool Terminated() const { return QuitReceived(); }
  void ResetTerminated() { ResetQuitReceived(); }

  // Call from inside a catch block: EAbort is ignored; other exceptions go
  // to OnException when set, else to ShowException.
  void HandleException(TObject* sender);
  // Shows the message (with a final '.') in an error box captioned Title.
  void ShowException(const Exception& e);
  TExceptionEvent OnException;

  // A message box owned by the active window (the application window when
  // none); the owner's enabled state is the same afterwards.
  int MessageBox(const String& text, const String& caption, UINT flags);
  bool HelpCommand(UINT command, ULONG_PTR data);
  bool HelpJump(const String& topic);  // HELP_COMMAND "JI(`',`topic')"
  bool HelpContext(int context);

  // Hints: the long hint of the control under the mouse; OnHint fires when
  // it changes.
  const String& Hint() const { return hint_; }
  void SetHint(const String& value);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  int HintPause = 500;
  int HintShortPause = 50;
  int HintHidePause = 2500;
  TColor HintColor = clInfoBk;
  void CancelHint();
  // The message filter's look at mouse and keyboard messages for hints.
  void HintMouseMessage(TControl* control, const MSG& msg);
  // The mouse is over this control now (nullptr: over none of ours).
  void HintControlAt(TControl* control);
  TNotifyEvent OnHint;
  TNotifyEvent OnIdle;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;

  // Updates the actions of the visible forms (idle time; also on demand).
  void UpdateActions();

  String ExeName() const;
  String Title;
  String HelpFile;

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == hintControl_) {
      hintControl_ = nullptr;
      CancelHint();
    }
    if (operation == opRemove && component == mainForm_) mainForm_ = nullptr;
  }

 private:
  void AppWndProc(TMessage& msg);
  void ShowHintNow();
  HWND handle_ = nullptr;
  bool initialized_ = false;
  TCustomForm* mainForm_ = nullptr;
  String hint_;
  bool showHint_ = true;
  THintWindow* hintWindow_ = nullptr;
  TControl* hintControl_ = nullptr;
  bool hintShowing_ = false;
  DWORD lastHintHide_ = 0;
};

extern TApplication* Application;
