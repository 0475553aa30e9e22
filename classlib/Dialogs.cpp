#include "Dialogs.h"

#include <algorithm>

// ---------------------------------------------------------------- TCommonDialog

HWND TCommonDialog::OwnerWindow() {
  if (Screen)
    if (TCustomForm* f = Screen->ActiveForm(); f && f->HandleAllocated()) return f->Handle();
  return Application->Handle();
}

// ---------------------------------------------------------------- open and save

namespace {

// Room for the names of a multiple selection.
constexpr size_t kFileBufferChars = 65536;

DWORD OptionFlags(TOpenOptions o) {
  struct {
    TOpenOption option;
    DWORD flag;
  } const map[] = {
      {ofReadOnly, OFN_READONLY},
      {ofOverwritePrompt, OFN_OVERWRITEPROMPT},
      {ofHideReadOnly, OFN_HIDEREADONLY},
      {ofNoChangeDir, OFN_NOCHANGEDIR},
      {ofNoValidate, OFN_NOVALIDATE},
      {ofAllowMultiSelect, OFN_ALLOWMULTISELECT},
      {ofExtensionDifferent, OFN_EXTENSIONDIFFERENT},
      {ofPathMustExist, OFN_PATHMUSTEXIST},
      {ofFileMustExist, OFN_FILEMUSTEXIST},
      {ofCreatePrompt, OFN_CREATEPROMPT},
      {ofShareAware, OFN_SHAREAWARE},
      {ofNoReadOnlyReturn, OFN_NOREADONLYRETURN},
      {ofNoTestFileCreate, OFN_NOTESTFILECREATE},
      {ofNoNetworkButton, OFN_NONETWORKBUTTON},
      {ofNoDereferenceLinks, OFN_NODEREFERENCELINKS},
      {ofEnableSizing, OFN_ENABLESIZING},
  };
  DWORD flags = 0;
  for (const auto& m : map)
    if (o.Contains(m.option)) flags |= m.flag;
  return flags;
}

const char* TextOrNull(const String& s) { return s.empty() ? nullptr : s.c_str(); }

}  // namespace

String DialogFilter(const String& filter) {
  if (filter.empty()) return String();
  String s = filter;
  std::replace(s.begin(), s.end(), '|', '\0');
  // Every part ends with a NUL and the list with one more.
  s += '\0';
  s += '\0';
  return s;
}

TOpenDialog::TOpenDialog(TComponent* owner) : TCommonDialog(owner), files_(new TStringList) {}

TOpenDialog::~TOpenDialog() { delete files_; }

bool TOpenDialog::RunDialog(OPENFILENAMEA& ofn) { return SystemDialogs()->GetOpenFileName(ofn); }

bool TSaveDialog::RunDialog(OPENFILENAMEA& ofn) { return SystemDialogs()->GetSaveFileName(ofn); }

bool TOpenDialog::Execute() {
  String filter = DialogFilter(filter_);
  // Two NULs more than the dialog is told of, so the names always end.
  std::vector<char> buffer(std::max(kFileBufferChars, fileName_.size() + 1) + 2, '\0');
  std::copy(fileName_.begin(), fileName_.end(), buffer.begin());

  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = OwnerWindow();
  ofn.lpstrFilter = filter.empty() ? nullptr : filter.data();
  ofn.nFilterIndex = static_cast<DWORD>(std::max(filterIndex_, 0));
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size() - 2);
  ofn.lpstrInitialDir = TextOrNull(initialDir_);
  ofn.lpstrTitle = TextOrNull(title_);
  ofn.lpstrDefExt = TextOrNull(defaultExt_);
  ofn.Flags = OFN_EXPLORER | OptionFlags(options_ - TOpenOptions{ofExtensionDifferent});
  if (!RunDialog(ofn)) return false;

  // One name: the full path. Several: the folder, then each name, with
  // the offset of the file name past the folder's end (what follows a
  // single name may be left from the preset).
  files_->Clear();
  const char* first = buffer.data();
  size_t firstLength = strlen(first);
  if (options_.Contains(ofAllowMultiSelect) && ofn.nFileOffset >= firstLength) {
    String folder = IncludeTrailingBackslash(first);
    for (const char* next = first + firstLength + 1; *next; next += strlen(next) + 1) files_->Add(folder + next);
  }
  if (files_->Count() == 0) files_->Add(first);
  fileName_ = files_->Strings(0);
  filterIndex_ = static_cast<int>(ofn.nFilterIndex);
  options_ -= TOpenOptions{ofReadOnly, ofExtensionDifferent};
  if (ofn.Flags & OFN_READONLY) options_ << ofReadOnly;
  if (ofn.Flags & OFN_EXTENSIONDIFFERENT) options_ << ofExtensionDifferent;
  return true;
}

// ---------------------------------------------------------------- TColorDialog

TColorDialog::TColorDialog(TComponent* owner) : TCommonDialog(owner), customColors_(new TStringList) {}

TColorDialog::~TColorDialog() { delete customColors_; }

bool TColorDialog::Execute() {
  COLORREF custom[16];
  for (int i = 0; i < 16; ++i) {
    String value = customColors_->Values(String("Color") + static_cast<char>('A' + i));
    custom[i] = static_cast<COLORREF>(StrToIntDef("$" + value, 0xFFFFFF)) & 0xFFFFFF;
    if (value.empty()) custom[i] = 0xFFFFFF;
  }
  CHOOSECOLORA cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = OwnerWindow();
  cc.rgbResult = ColorToRGB(color_);
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT;
  if (!SystemDialogs()->ChooseColor(cc)) return false;
  color_ = static_cast<TColor>(cc.rgbResult);
  for (int i = 0; i < 16; ++i)
    customColors_->SetValue(String("Color") + static_cast<char>('A' + i), IntToHex(custom[i], 6));
  return true;
}

// ---------------------------------------------------------------- TFontDialog

TFontDialog::TFontDialog(TComponent* owner) : TCommonDialog(owner), font_(new TFont) {}

TFontDialog::~TFontDialog() { delete font_; }

bool TFontDialog::Execute() {
  LOGFONTA lf{};
  GetObjectA(font_->Handle(), sizeof lf, &lf);
  CHOOSEFONTA cf{};
  cf.lStructSize = sizeof cf;
  cf.hwndOwner = OwnerWindow();
  cf.lpLogFont = &lf;
  cf.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
  cf.rgbColors = ColorToRGB(font_->Color());
  if (!SystemDialogs()->ChooseFont(cf)) return false;
  lf.lfFaceName[LF_FACESIZE - 1] = '\0';
  TFontStyles style;
  if (lf.lfWeight >= FW_BOLD) style << fsBold;
  if (lf.lfItalic) style << fsItalic;
  if (lf.lfUnderline) style << fsUnderline;
  if (lf.lfStrikeOut) style << fsStrikeOut;
  font_->SetName(lf.lfFaceName);
  font_->SetHeight(lf.lfHeight);
  font_->SetStyle(style);
  font_->SetCharset(lf.lfCharSet);
  font_->SetColor(static_cast<TColor>(cf.rgbColors));
  return true;
}

// ---------------------------------------------------------------- the input form

namespace {

// The prompt: a static that shows its text as it is ("&" included).
class TPromptLabel : public TWinControl {
 public:
  using TWinControl::TWinControl;

 protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    params.WindowClass = &ControlSuperclass("TPromptLabel", "STATIC");
    params.Style |= SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL;
  }
};

class TPromptEdit : public TWinControl {
 public:
  explicit TPromptEdit(TComponent* owner) : TWinControl(owner) {
    color_ = clWindow;
    brush_->SetColor(color_);
    tabStop_ = true;
  }

 protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    params.WindowClass = &ControlSuperclass("TPromptEdit", "EDIT");
    params.Style |= ES_AUTOHSCROLL;
    params.ExStyle |= WS_EX_CLIENTEDGE;
  }
  void CreateWnd() override {
    TWinControl::CreateWnd();
    SendMessageA(handle_, EM_SETSEL, 0, -1);  // typing replaces the preset
  }
};

// A push button that ends the form with its modal result; the default one
// answers Enter, the cancel one Escape.
class TPromptButton : public TWinControl {
 public:
  TPromptButton(TComponent* owner, int id, TModalResult result, bool isDefault, bool isCancel)
      : TWinControl(owner), result_(result), default_(isDefault), cancel_(isCancel) {
    // The button captures the mouse and reports its clicks itself.
    ControlStyle >> csCaptureMouse;
    ControlStyle >> csClickEvents;
    tabStop_ = true;
    id_ = static_cast<UINT>(id);
  }
  void Click() override {
    if (TCustomForm* f = GetParentForm(this)) f->SetModalResult(result_);
    TWinControl::Click();
  }

 protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    params.WindowClass = &ControlSuperclass("TPromptButton", "BUTTON");
    params.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  }
  void Dispatch(TMessage& msg) override {
    switch (msg.Msg) {
      case CN_COMMAND:
        if (HIWORD(msg.WParam) == BN_CLICKED) Click();
        msg.Result = 0;
        return;
      case CM_DIALOGKEY: {
        // Enter goes to the focused button, else to the default one.
        bool buttonFocused = dynamic_cast<TPromptButton*>(TControl::FindControl(GetFocus())) != nullptr;
        bool mine = (msg.WParam == VK_RETURN && (Focused() || (default_ && !buttonFocused))) ||
                    (msg.WParam == VK_ESCAPE && cancel_);
        if (mine && CanFocus()) {
          Click();
          msg.Result = 1;
          return;
        }
        break;
      }
      default:
        break;
    }
    TWinControl::Dispatch(msg);
  }

 private:
  TModalResult result_;
  bool default_, cancel_;
};

// The size of text in font, at most half the screen wide (wrapped beyond)
// and at least one line high; tm gets the font's metrics.
SIZE PromptExtent(TFont* font, const String& text, TEXTMETRICA& tm) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font->Handle());
  GetTextMetricsA(dc, &tm);
  RECT r{0, 0, 0, 0};
  UINT format = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS;
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
  int maxW = std::max(Screen->Width() / 2, 240);
  if (r.right > maxW) {
    r = {0, 0, maxW, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_WORDBREAK | DT_EDITCONTROL);
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return {r.right, std::max<LONG>(r.bottom, tm.tmHeight)};
}

class TInputQueryForm : public TForm {
 public:
  TInputQueryForm(const String& caption, const String& prompt, const String& value) : TForm(nullptr) {
    SetCaption(caption);
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poScreenCenter);

    // Sized to the prompt, up to half the screen's width (wrapped beyond).
    const int margin = 8, gap = 6, buttonW = 75, buttonH = 25;
    TEXTMETRICA tm{};
    SIZE extent = PromptExtent(Font(), prompt, tm);
    int textW = extent.cx, textH = extent.cy;
    int clientW = std::max({textW + 2 * margin, 2 * buttonW + gap + 2 * margin, 260});
    int editTop = margin + textH + gap, editH = tm.tmHeight + 8;
    int buttonTop = editTop + editH + 2 * gap;

    label_ = new TPromptLabel(this);
    label_->SetParent(this);
    label_->SetBounds(margin, margin, clientW - 2 * margin, textH);
    label_->SetCaption(prompt);
    edit_ = new TPromptEdit(this);
    edit_->SetParent(this);
    edit_->SetBounds(margin, editTop, clientW - 2 * margin, editH);
    edit_->SetText(value);
    auto* ok = new TPromptButton(this, IDOK, mrOk, true, false);
    ok->SetParent(this);
    ok->SetBounds(clientW - margin - 2 * buttonW - gap, buttonTop, buttonW, buttonH);
    ok->SetCaption("OK");
    auto* cancel = new TPromptButton(this, IDCANCEL, mrCancel, false, true);
    cancel->SetParent(this);
    cancel->SetBounds(clientW - margin - buttonW, buttonTop, buttonW, buttonH);
    cancel->SetCaption("Cancel");
    SetClientWidth(clientW);
    SetClientHeight(buttonTop + buttonH + margin);
    SetActiveControl(edit_);
    EndLoading();
  }
  String Value() const { return edit_->Text(); }

 private:
  TPromptLabel* label_;
  TPromptEdit* edit_;
};


// The system's question icon, drawn by a static.
class TDlgIcon : public TWinControl {
 public:
  using TWinControl::TWinControl;

 protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    params.WindowClass = &ControlSuperclass("TDlgIcon", "STATIC");
    params.Style |= SS_ICON;
  }
  void CreateWnd() override {
    TWinControl::CreateWnd();
    SendMessageA(handle_, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_QUESTION)), 0);
  }
};

// A question and a row of buttons, right-aligned below it.
class TMessageForm : public TForm {
 public:
  TMessageForm(const String& text, const String& caption, const std::vector<TSystemDialogs::TDlgButton>& buttons)
      : TForm(nullptr) {
    SetCaption(caption);
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poScreenCenter);

    const int margin = 10, gap = 6, iconW = GetSystemMetrics(SM_CXICON), buttonH = 25;
    TEXTMETRICA tm{};
    SIZE extent = PromptExtent(Font(), text, tm);
    int buttonW = 75;
    for (const auto& b : buttons) buttonW = std::max<int>(buttonW, static_cast<int>(b.Caption.size()) * tm.tmAveCharWidth + 16);
    int count = static_cast<int>(buttons.size());
    int rowW = count * buttonW + std::max(count - 1, 0) * gap;
    int textLeft = margin + iconW + 2 * gap;
    int clientW = std::max<int>(textLeft + extent.cx + margin, rowW + 2 * margin);
    int buttonTop = margin + std::max<int>(extent.cy, GetSystemMetrics(SM_CYICON)) + 2 * gap;

    auto* icon = new TDlgIcon(this);
    icon->SetParent(this);
    icon->SetBounds(margin, margin, iconW, GetSystemMetrics(SM_CYICON));
    auto* label = new TPromptLabel(this);
    label->SetParent(this);
    label->SetBounds(textLeft, margin, extent.cx, extent.cy);
    label->SetCaption(text);
    int left = clientW - margin - rowW;
    for (int i = 0; i < count; ++i) {
      const auto& b = buttons[static_cast<size_t>(i)];
      bool cancel = b.Result == mrCancel;
      auto* button = new TPromptButton(this, 100 + i, b.Result, i == 0, cancel);
      button->SetParent(this);
      button->SetBounds(left + i * (buttonW + gap), buttonTop, buttonW, buttonH);
      button->SetCaption(b.Caption);
      if (i == 0) SetActiveControl(button);
    }
    SetClientWidth(clientW);
    SetClientHeight(buttonTop + buttonH + margin);
    EndLoading();
  }
};

}  // namespace

bool TSystemDialogs::InputQuery(const String& caption, const String& prompt, String& value) {
  TOwned<TInputQueryForm> form(new TInputQueryForm(caption, prompt, value));
  if (form->ShowModal() != mrOk) return false;
  value = form->Value();
  return true;
}

bool InputQuery(const String& caption, const String& prompt, String& value) {
  return SystemDialogs()->InputQuery(caption, prompt, value);
}

TModalResult TSystemDialogs::MessageDlg(HWND, const String& text, const String& caption,
                                       const std::vector<TDlgButton>& buttons) {
  TOwned<TMessageForm> form(new TMessageForm(text, caption, buttons));
  TModalResult result = form->ShowModal();
  return result == mrNone ? mrCancel : result;
}

String InputBox(const String& caption, const String& prompt, const String& defaultValue) {
  String value = defaultValue;
  return InputQuery(caption, prompt, value) ? value : defaultValue;
}
