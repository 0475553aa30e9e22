#include "Stdctrls.h"

#include <commctrl.h>

#include <algorithm>

// ---------------------------------------------------------------- helpers

TOwnerDrawState OwnerDrawState(UINT s) {
  TOwnerDrawState r;
  if (s & ODS_SELECTED) r << odSelected;
  if (s & ODS_GRAYED) r << odGrayed;
  if (s & ODS_DISABLED) r << odDisabled;
  if (s & ODS_CHECKED) r << odChecked;
  if (s & ODS_FOCUS) r << odFocused;
  if (s & ODS_DEFAULT) r << odDefault;
  if (s & ODS_HOTLIGHT) r << odHotLight;
  if (s & ODS_INACTIVE) r << odInactive;
  if (s & ODS_NOACCEL) r << odNoAccel;
  if (s & ODS_NOFOCUSRECT) r << odNoFocusRect;
  if (s & ODS_COMBOBOXEDIT) r << odComboBoxEdit;
  return r;
}

namespace {

const char kIndexError[] = "List index out of bounds (%d)";
const char kInsertError[] = "Unable to insert a line";

// Runs a function when the scope ends (also through an exception).
template <class F>
struct TFinally {
  F f;
  ~TFinally() { f(); }
};
template <class F>
TFinally<F> Finally(F f) {
  return TFinally<F>{std::move(f)};
}

bool SingleByteCodePage() {
  static const bool single = [] {
    CPINFO info{};
    return !GetCPInfo(CP_ACP, &info) || info.MaxCharSize == 1;
  }();
  return single;
}

// Characters before a byte offset of ANSI text (edit positions count
// characters).
WPARAM CharIndex(const String& text, size_t bytes) {
  if (SingleByteCodePage() || bytes == 0) return bytes;
  return static_cast<WPARAM>(MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(bytes), nullptr, 0));
}

// Every line break (CR LF, CR, LF) as CR LF.
String AdjustLineBreaks(const String& s) {
  String r;
  r.reserve(s.size() + s.size() / 16);
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\r' || c == '\n') {
      r += "\r\n";
      if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      r += c;
    }
  }
  return r;
}

// Changes an edit's text without a repaint at each step: Wine repaints the
// scroll bars of a visible edit at every change, slowly (tens of
// milliseconds). The window is marked invisible meanwhile (as WM_SETREDRAW
// does on Windows) and painted once afterwards.
class TQuietEdit {
 public:
  explicit TQuietEdit(HWND wnd) : wnd_(wnd), visible_((GetWindowLongA(wnd, GWL_STYLE) & WS_VISIBLE) != 0) {
    if (visible_) SetWindowLongA(wnd_, GWL_STYLE, GetWindowLongA(wnd_, GWL_STYLE) & ~WS_VISIBLE);
  }
  ~TQuietEdit() {
    if (!visible_ || !IsWindow(wnd_)) return;
    SetWindowLongA(wnd_, GWL_STYLE, GetWindowLongA(wnd_, GWL_STYLE) | WS_VISIBLE);
    RedrawWindow(wnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  }
  TQuietEdit(const TQuietEdit&) = delete;
  TQuietEdit& operator=(const TQuietEdit&) = delete;

 private:
  HWND wnd_;
  bool visible_;
};

// Sets up a control's canvas on an owner-draw device context for one item.
class TItemCanvas {
 public:
  TItemCanvas(TCanvas* canvas, const DRAWITEMSTRUCT& d, TFont* font, TBrush* brush) : canvas_(canvas) {
    canvas_->SetHandle(d.hDC);
    canvas_->Font()->Assign(font);
    canvas_->Brush()->Assign(brush);
    if (static_cast<int>(d.itemID) >= 0 && (d.itemState & ODS_SELECTED)) {
      canvas_->Brush()->SetColor(clHighlight);
      canvas_->Font()->SetColor(clHighlightText);
    }
  }
  ~TItemCanvas() { canvas_->SetHandle(nullptr); }
  TItemCanvas(const TItemCanvas&) = delete;
  TItemCanvas& operator=(const TItemCanvas&) = delete;

 private:
  TCanvas* canvas_;
};

void DrawItemText(TCanvas* canvas, const TRect& rect, const String& text) {
  canvas->FillRect(rect);
  TRect r = rect;
  r.left += 2;
  canvas->DrawText(text, r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

}  // namespace

// ---------------------------------------------------------------- list items

// The entries of a list box or combo box: kept here and mirrored in the
// control's window, so they outlive it. Sorting is done here (the windows
// are made without their own sorting) so that indexes agree.
class TListControlItems : public TStrings {
 public:
  struct TItem {
    String text;
    TObject* object = nullptr;
    bool selected = false;  // multi-select list boxes, while windowless
    bool current = false;   // marks the selected entry while sorting
  };

  TListControlItems(TCustomListBox* listBox, TCustomComboBox* combo)
      : listBox_(listBox), combo_(combo), control_(listBox ? static_cast<TWinControl*>(listBox) : combo) {
    insertMsg_ = listBox ? LB_INSERTSTRING : CB_INSERTSTRING;
    deleteMsg_ = listBox ? LB_DELETESTRING : CB_DELETESTRING;
    resetMsg_ = listBox ? LB_RESETCONTENT : CB_RESETCONTENT;
  }

  int Count() const override { return static_cast<int>(items_.size()); }
  const String& Get(int index) const override { return At(index).text; }
  TObject* GetObject(int index) const override { return At(index).object; }
  void PutObject(int index, TObject* obj) override { At(index).object = obj; }

  void Put(int index, const String& s) override {
    TItem& item = At(index);
    if (item.text == s) return;
    HWND w = Window();
    if (!w) {
      item.text = s;
      return;
    }
    SaveState();
    bool wasSelected = items_[index].selected;
    TItem copy = items_[index];
    copy.text = s;
    SendMessageA(w, deleteMsg_, index, 0);
    items_[index] = copy;
    if (SendMessageA(w, insertMsg_, index, reinterpret_cast<LPARAM>(items_[index].text.c_str())) < 0) {
      items_.erase(items_.begin() + index);
      throw EOutOfResources(kInsertError);
    }
    items_[index].selected = wasSelected;
    LoadState();
  }

  int Add(const String& s) override { return AddObject(s, nullptr); }
  int AddObject(const String& s, TObject* obj) override {
    int i = sorted_ ? SortedIndex(s) : Count();
    InsertItem(i, s, obj);
    return i;
  }
  void Insert(int index, const String& s) override { InsertItem(index, s, nullptr); }

  void Delete(int index) override {
    At(index);
    items_.erase(items_.begin() + index);
    if (HWND w = Window()) {
      SendMessageA(w, deleteMsg_, index, 0);
    } else if (storedIndex == index) {
      storedIndex = -1;
    } else if (storedIndex > index) {
      --storedIndex;
    }
  }

  void Clear() override {
    items_.clear();
    storedIndex = -1;
    if (HWND w = Window()) SendMessageA(w, resetMsg_, 0, 0);
  }

  int IndexOf(const String& s) const override {
    for (int i = 0; i < Count(); ++i)
      if (CompareStrings(items_[static_cast<size_t>(i)].text, s) == 0) return i;
    return -1;
  }

  void Assign(TPersistent* source) override {
    if (auto* src = dynamic_cast<TStrings*>(source)) {
      if (src == this) return;
      BeginUpdate();
      auto end = Finally([&] { EndUpdate(); });
      Clear();
      for (int i = 0; i < src->Count(); ++i) AddObject(src->Get(i), src->GetObject(i));
      return;
    }
    TStrings::Assign(source);
  }

  bool Sorted() const { return sorted_; }
  void SetSorted(bool value) {
    if (value == sorted_) return;
    sorted_ = value;
    if (!value || items_.size() < 2) return;
    HWND w = Window();
    if (w) SaveState();
    // The current entry moves with its text.
    if (storedIndex >= 0 && storedIndex < Count()) items_[static_cast<size_t>(storedIndex)].current = true;
    std::stable_sort(items_.begin(), items_.end(),
                     [this](const TItem& a, const TItem& b) { return CompareStrings(a.text, b.text) < 0; });
    for (int i = 0; i < Count(); ++i)
      if (items_[static_cast<size_t>(i)].current) {
        items_[static_cast<size_t>(i)].current = false;
        storedIndex = i;
      }
    if (w) {
      SendMessageA(w, resetMsg_, 0, 0);
      Push(w);
      LoadState();
    }
  }

  // Fills a new window with the entries.
  void Push(HWND w) {
    if (items_.empty()) return;
    SendMessageA(w, WM_SETREDRAW, FALSE, 0);
    auto redraw = Finally([&] {
      SendMessageA(w, WM_SETREDRAW, TRUE, 0);
      InvalidateRect(w, nullptr, TRUE);
    });
    for (TItem& item : items_)
      if (SendMessageA(w, insertMsg_, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item.text.c_str())) < 0)
        throw EOutOfResources(kInsertError);
  }

  std::vector<TItem> items_;
  // The selected entry while the control has no window.
  int storedIndex = -1;

 protected:
  void SetUpdateState(bool updating) override {
    if (HWND w = Window()) {
      SendMessageA(w, WM_SETREDRAW, !updating, 0);
      if (!updating) InvalidateRect(w, nullptr, TRUE);
    }
  }

 private:
  TItem& At(int index) {
    if (index < 0 || index >= Count()) throw EStringListError(Format(kIndexError, index));
    return items_[static_cast<size_t>(index)];
  }
  const TItem& At(int index) const { return const_cast<TListControlItems*>(this)->At(index); }
  HWND Window() const { return control_->HandleAllocated() ? control_->Handle() : nullptr; }
  void SaveState() {
    if (listBox_) listBox_->SaveState();
    else combo_->SaveState();
  }
  void LoadState() {
    if (listBox_) listBox_->LoadState();
    else combo_->LoadState();
  }
  // Where s goes in sorted order: after the entries equal to it.
  int SortedIndex(const String& s) const {
    int lo = 0, hi = Count();
    while (lo < hi) {
      int mid = (lo + hi) / 2;
      if (CompareStrings(items_[static_cast<size_t>(mid)].text, s) <= 0)
        lo = mid + 1;
      else
        hi = mid;
    }
    return lo;
  }
  void InsertItem(int index, const String& s, TObject* obj) {
    if (index < 0 || index > Count()) throw EStringListError(Format(kIndexError, index));
    items_.insert(items_.begin() + index, TItem{s, obj, false, false});
    if (HWND w = Window()) {
      if (SendMessageA(w, insertMsg_, index, reinterpret_cast<LPARAM>(items_[static_cast<size_t>(index)].text.c_str())) < 0) {
        items_.erase(items_.begin() + index);
        throw EOutOfResources(kInsertError);
      }
    } else if (storedIndex >= index) {
      ++storedIndex;
    }
  }

  TCustomListBox* listBox_;
  TCustomComboBox* combo_;
  TWinControl* control_;
  UINT insertMsg_, deleteMsg_, resetMsg_;
  bool sorted_ = false;
};

// ---------------------------------------------------------------- memo lines

// The lines of a memo's text, read from the window (or the stored text
// while there is none) and split once until the text changes.
class TMemoStrings : public TStrings {
 public:
  explicit TMemoStrings(TCustomMemo* memo) : memo_(memo) {}

  int Count() const override {
    Split();
    return static_cast<int>(lines_.size());
  }
  const String& Get(int index) const override {
    Split();
    if (index < 0 || index >= static_cast<int>(lines_.size())) throw EStringListError(Format(kIndexError, index));
    return lines_[static_cast<size_t>(index)];
  }
  void Put(int index, const String& s) override {
    Get(index);
    size_t from = starts_[static_cast<size_t>(index)];
    Replace(from, from + lines_[static_cast<size_t>(index)].size(), s, false);
  }
  void Insert(int index, const String& s) override {
    int n = Count();
    if (index < 0 || index > n) throw EStringListError(Format(kIndexError, index));
    if (index < n) {
      size_t at = starts_[static_cast<size_t>(index)];
      Replace(at, at, s + "\r\n", false);
    } else if (length_ == 0 || trailingBreak_) {
      Replace(length_, length_, s + "\r\n", true);
    } else {
      Replace(length_, length_, "\r\n" + s, true);
    }
  }
  void Delete(int index) override {
    Get(index);
    size_t i = static_cast<size_t>(index);
    size_t from = starts_[i];
    size_t to = i + 1 < lines_.size() ? starts_[i + 1] : length_;
    // The last line without a break after it takes the break before it.
    if (i + 1 == lines_.size() && !trailingBreak_ && i > 0) from = starts_[i - 1] + lines_[i - 1].size();
    Replace(from, to, String(), false);
  }
  void Clear() override { memo_->SetText(String()); }
  String Text() const override { return memo_->Text(); }
  void SetText(const String& text) override { memo_->SetText(AdjustLineBreaks(text)); }
  void Assign(TPersistent* source) override {
    if (auto* src = dynamic_cast<TStrings*>(source)) {
      if (src != this) SetText(src->Text());
      return;
    }
    TStrings::Assign(source);
  }

  // The text changed in a way the cache does not know.
  void Invalidate() {
    valid_ = false;
    ++generation_;
  }
  // The window says its text changed (also during our own edits).
  void WindowChanged() {
    if (editing_ == 0) Invalidate();
  }

 protected:
  void SetUpdateState(bool updating) override {
    if (!memo_->HandleAllocated()) return;
    HWND h = memo_->Handle();
    SendMessageA(h, WM_SETREDRAW, !updating, 0);
    if (!updating) InvalidateRect(h, nullptr, TRUE);
  }

 private:
  void Split() const {
    if (valid_ && (!memo_->HandleAllocated() ||
                   static_cast<size_t>(GetWindowTextLengthA(memo_->Handle())) == length_))
      return;
    String t = memo_->Text();
    lines_.clear();
    starts_.clear();
    size_t i = 0, n = t.size();
    while (i < n) {
      size_t start = i;
      while (i < n && t[i] != '\r' && t[i] != '\n') ++i;
      starts_.push_back(start);
      lines_.push_back(t.substr(start, i - start));
      if (i < n && t[i] == '\r') ++i;
      if (i < n && t[i] == '\n') ++i;
    }
    length_ = n;
    trailingBreak_ = n > 0 && (t[n - 1] == '\r' || t[n - 1] == '\n');
    valid_ = true;
  }

  // Replaces the bytes [from, to) of the text with s.
  void Replace(size_t from, size_t to, const String& s, bool append) {
    if (!memo_->HandleAllocated()) {
      String t = memo_->Text();
      t.replace(from, to - from, s);
      memo_->SetText(t);
      return;
    }
    HWND h = memo_->Handle();
    WPARAM a = from, b = to;
    if (!SingleByteCodePage()) {
      String t = memo_->Text();
      a = CharIndex(t, from);
      b = CharIndex(t, to);
    }
    unsigned before = ++generation_;
    ++editing_;
    {
      auto done = Finally([&] { --editing_; });
      TQuietEdit quiet(h);
      SendMessageA(h, EM_SETSEL, a, static_cast<LPARAM>(b));
      SendMessageA(h, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(s.c_str()));
      if (append) SendMessageA(h, EM_SCROLLCARET, 0, 0);
    }
    // An append keeps the split lines; any other edit (or one made by an
    // OnChange handler meanwhile) reads them again.
    if (!append || !valid_ || generation_ != before) {
      valid_ = false;
      return;
    }
    // A line with breaks in it is more than one line: they are split again.
    const bool leadingBreak = s.compare(0, 2, "\r\n") == 0 && !trailingBreak_ && length_ > 0;
    const String body = leadingBreak ? s.substr(2) : s.substr(0, s.size() - 2);
    if (body.find_first_of("\r\n") != String::npos) {
      valid_ = false;
      return;
    }
    if (leadingBreak) {
      starts_.push_back(length_ + 2);
      lines_.push_back(s.substr(2));
      trailingBreak_ = false;
    } else {
      starts_.push_back(length_);
      lines_.push_back(s.substr(0, s.size() - 2));
      trailingBreak_ = true;
    }
    length_ += s.size();
  }

  TCustomMemo* memo_;
  mutable std::vector<String> lines_;
  mutable std::vector<size_t> starts_;  // byte offset of each line
  mutable size_t length_ = 0;
  mutable bool trailingBreak_ = false;
  mutable bool valid_ = false;
  unsigned generation_ = 0;
  int editing_ = 0;
};

// ---------------------------------------------------------------- TCustomLabel

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  width_ = 65;
  height_ = 17;
  parentColor_ = true;
}

void TCustomLabel::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  AdjustBounds();
}

void TCustomLabel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool value) {
  if (value == showAccelChar_) return;
  showAccelChar_ = value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* value) {
  if (value == focusControl_) return;
  focusControl_ = value;
  if (value) value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == focusControl_) focusControl_ = nullptr;
}

UINT TCustomLabel::TextFlags() const {
  UINT f = DT_EXPANDTABS;
  if (wordWrap_) f |= DT_WORDBREAK;
  if (alignment_ == taRightJustify) f |= DT_RIGHT;
  if (alignment_ == taCenter) f |= DT_CENTER;
  if (!showAccelChar_) f |= DT_NOPREFIX;
  return f;
}

void TCustomLabel::DoDrawText(HDC dc, TRect& rect, UINT flags) {
  String text = Caption();
  // An empty caption still measures one line.
  if ((flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text == "&"))) text += ' ';
  HGDIOBJ old = SelectObject(dc, font_->Handle());
  int oldMode = SetBkMode(dc, TRANSPARENT);
  int n = static_cast<int>(text.size());
  if ((flags & DT_CALCRECT) || enabled_) {
    COLORREF oldColor = SetTextColor(dc, ColorToRGB(font_->Color()));
    DrawTextA(dc, text.c_str(), n, &rect, flags);
    SetTextColor(dc, oldColor);
  } else {
    // Disabled: engraved, a light copy below right of the shadow.
    OffsetRect(&rect, 1, 1);
    COLORREF oldColor = SetTextColor(dc, ColorToRGB(clBtnHighlight));
    DrawTextA(dc, text.c_str(), n, &rect, flags);
    OffsetRect(&rect, -1, -1);
    SetTextColor(dc, ColorToRGB(clBtnShadow));
    DrawTextA(dc, text.c_str(), n, &rect, flags);
    SetTextColor(dc, oldColor);
  }
  SetBkMode(dc, oldMode);
  SelectObject(dc, old);
}

int TCustomLabel::TextOverhang(HDC dc, const TRect& rect, UINT flags) {
  HGDIOBJ old = SelectObject(dc, font_->Handle());
  int overhang = DrawTextOverhang(dc, Caption(), rect, flags);
  SelectObject(dc, old);
  return overhang;
}

int TCustomLabel::FitTextWidth(HDC dc, int width, UINT flags) {
  // One line at the left edge stays where it is, however wide it is drawn.
  if (!wordWrap_ && alignment_ == taLeftJustify) return width;
  // Lines drawn flush right show what the widest reach takes past their
  // extent; that much room on the right keeps every alignment inside.
  const UINT flushRight = (flags & ~DT_CENTER) | DT_RIGHT;
  int inset = 0;
  for (int tries = 0; tries < 8; ++tries) {
    const int textWidth = std::max(1, width - inset);
    TRect r(0, 0, textWidth, 0);
    DoDrawText(dc, r, flags | DT_CALCRECT);
    const int past = TextOverhang(dc, TRect(0, 0, textWidth, std::max<int>(r.bottom, 1)), flushRight);
    if (past <= inset || textWidth == 1) return textWidth;
    // Wrapped lines broken narrower may reach less far; it may take a few
    // rounds.
    inset = wordWrap_ ? std::max(past, inset + 1) : past;
  }
  return std::max(1, width - inset);
}

void TCustomLabel::Paint() {
  HDC dc = Canvas()->Handle();
  TRect r = ClientRect();
  UINT flags = TextFlags();
  r.right = r.left + FitTextWidth(dc, r.Width(), flags);
  if (layout_ != tlTop) {
    TRect calc = r;
    DoDrawText(dc, calc, flags | DT_CALCRECT);
    int free = r.Height() - calc.Height();
    OffsetRect(&r, 0, layout_ == tlBottom ? free : free / 2);
  }
  // The glyphs may reach past the text rectangle, into the room left for them.
  DoDrawText(dc, r, flags | DT_NOCLIP);
}

void TCustomLabel::AdjustBounds() {
  if (IsLoading() || !autoSize_) return;
  // The size is what the caption takes as drawn, which may be wider than
  // its measured extent.
  HDC dc = GetDC(nullptr);
  const UINT flags = TextFlags();
  TRect r(0, 0, 0, 0);
  int w = width_;
  if (wordWrap_) {
    r.right = FitTextWidth(dc, width_, flags);
    DoDrawText(dc, r, flags | DT_CALCRECT);
  } else {
    DoDrawText(dc, r, flags | DT_CALCRECT);
    w = r.right + TextOverhang(dc, r, (flags & ~DT_CENTER) | DT_RIGHT);
  }
  ReleaseDC(nullptr, dc);
  int x = left_;
  if (alignment_ == taRightJustify) x = left_ + width_ - w;
  SetBounds(x, top_, w, r.bottom);
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TCustomLabel::TextChanged() {
  TGraphicControl::TextChanged();
  Invalidate();
  AdjustBounds();
}

void TCustomLabel::FontChanged() {
  TGraphicControl::FontChanged();
  AdjustBounds();
}

void TCustomLabel::EnabledChanged() {
  TGraphicControl::EnabledChanged();
  Invalidate();
}

void TCustomLabel::Dispatch(TMessage& msg) {
  if (msg.Msg == CM_DIALOGCHAR) {
    msg.Result = 0;
    if (focusControl_ && enabled_ && showAccelChar_ && IsAccel(static_cast<WORD>(msg.WParam), Caption()) &&
        focusControl_->CanFocus()) {
      focusControl_->SetFocus();
      msg.Result = 1;
    }
    return;
  }
  TGraphicControl::Dispatch(msg);
}

// ---------------------------------------------------------------- TCustomEdit

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  ControlStyle = {csClickEvents, csSetCaption, csDoubleClicks};
  width_ = 121;
  height_ = 21;
  color_ = clWindow;
  brush_->SetColor(color_);
  tabStop_ = true;
}

void TCustomEdit::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.WindowClass = &ControlSuperclass("TEdit", "EDIT");
  // The text goes in once the window's limit is lifted.
  p.Caption.clear();
  p.Style |= ES_AUTOHSCROLL | ES_LEFT;
  if (readOnly_) p.Style |= ES_READONLY;
  if (passwordChar_) p.Style |= ES_PASSWORD;
  if (charCase_ == ecUpperCase) p.Style |= ES_UPPERCASE;
  if (charCase_ == ecLowerCase) p.Style |= ES_LOWERCASE;
  if (borderStyle_ == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::CreateWnd() {
  creating_ = true;
  auto done = Finally([this] { creating_ = false; });
  TWinControl::CreateWnd();
  SendMessageA(handle_, EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
  if (passwordChar_) SendMessageA(handle_, EM_SETPASSWORDCHAR, static_cast<unsigned char>(passwordChar_), 0);
  if (!text_.empty()) SetWindowTextA(handle_, text_.c_str());
  SendMessageA(handle_, EM_SETMODIFY, modified_, 0);
}

void TCustomEdit::DestroyWnd() {
  if (handle_) modified_ = SendMessageA(handle_, EM_GETMODIFY, 0, 0) != 0;
  TWinControl::DestroyWnd();
}

void TCustomEdit::SetText(const String& value) {
  if (value == Text()) return;
  text_ = value;
  if (handle_) {
    settingText_ = true;
    auto done = Finally([this] { settingText_ = false; });
    SetWindowTextA(handle_, value.c_str());
  }
  Perform(CM_TEXTCHANGED);
  if (!IsLoading()) Change();
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::SetPasswordChar(char value) {
  if (value == passwordChar_) return;
  passwordChar_ = value;
  if (handle_) {
    SendMessageA(handle_, EM_SETPASSWORDCHAR, static_cast<unsigned char>(value), 0);
    InvalidateRect(handle_, nullptr, TRUE);
  }
}

void TCustomEdit::SetReadOnly(bool value) {
  if (value == readOnly_) return;
  readOnly_ = value;
  if (handle_) SendMessageA(handle_, EM_SETREADONLY, value, 0);
}

void TCustomEdit::SetMaxLength(int value) {
  if (value < 0) value = 0;
  if (value == maxLength_) return;
  maxLength_ = value;
  if (handle_) SendMessageA(handle_, EM_LIMITTEXT, static_cast<WPARAM>(value), 0);
}

void TCustomEdit::SetCharCase(TEditCharCase value) {
  if (value == charCase_) return;
  charCase_ = value;
  String t = Text();
  if (value == ecUpperCase) t = AnsiUpperCase(t);
  if (value == ecLowerCase) t = AnsiLowerCase(t);
  if (!handle_) {
    text_ = t;
    return;
  }
  RecreateWnd();
  if (handle_ && Text() != t) {
    settingText_ = true;
    auto done = Finally([this] { settingText_ = false; });
    SetWindowTextA(handle_, t.c_str());
  }
}

void TCustomEdit::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  RecreateWnd();
}

bool TCustomEdit::Modified() {
  if (handle_) return SendMessageA(handle_, EM_GETMODIFY, 0, 0) != 0;
  return modified_;
}

void TCustomEdit::SetModified(bool value) {
  modified_ = value;
  if (handle_) SendMessageA(handle_, EM_SETMODIFY, value, 0);
}

int TCustomEdit::SelStart() {
  DWORD s = 0, e = 0;
  SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
  return static_cast<int>(s);
}

void TCustomEdit::SetSelStart(int value) { SendMessageA(Handle(), EM_SETSEL, value, value); }

int TCustomEdit::SelLength() {
  DWORD s = 0, e = 0;
  SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
  return static_cast<int>(e - s);
}

void TCustomEdit::SetSelLength(int value) {
  int s = SelStart();
  SendMessageA(Handle(), EM_SETSEL, s, s + value);
}

String TCustomEdit::SelText() {
  DWORD s = 0, e = 0;
  SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
  // Character positions to bytes of the ANSI text.
  int n = GetWindowTextLengthW(handle_);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  n = GetWindowTextW(handle_, w.data(), n + 1);
  w.resize(static_cast<size_t>(n));
  if (s > w.size()) s = static_cast<DWORD>(w.size());
  if (e > w.size()) e = static_cast<DWORD>(w.size());
  if (e <= s) return String();
  String r;
  TryWideToString(w.data() + s, static_cast<int>(e - s), r);
  return r;
}

void TCustomEdit::SetSelText(const String& value) {
  SendMessageA(Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(value.c_str()));
}

void TCustomEdit::SelectAll() { SendMessageA(Handle(), EM_SETSEL, 0, -1); }

void TCustomEdit::DoEnter() {
  if (autoSelect_ && handle_ && !(GetWindowLongA(handle_, GWL_STYLE) & ES_MULTILINE) &&
      !(GetKeyState(VK_LBUTTON) & 0x8000))
    SelectAll();
  TWinControl::DoEnter();
}

void TCustomEdit::Dispatch(TMessage& msg) {
  if (msg.Msg == CN_COMMAND) {
    if (HIWORD(msg.WParam) == EN_CHANGE && !creating_ && !settingText_ && !IsLoading()) Change();
    msg.Result = 0;
    return;
  }
  TWinControl::Dispatch(msg);
}

// ---------------------------------------------------------------- TCustomMemo

TCustomMemo::TCustomMemo(TComponent* owner) : TCustomEdit(owner), lines_(new TMemoStrings(this)) {
  width_ = 185;
  height_ = 89;
}

TCustomMemo::~TCustomMemo() {
  if (handle_) DestroyHandle();
}

TStrings* TCustomMemo::Lines() const { return lines_.get(); }

void TCustomMemo::SetLines(TStrings* value) { lines_->Assign(value); }

void TCustomMemo::SetScrollBars(TScrollStyle value) {
  if (value == scrollBars_) return;
  scrollBars_ = value;
  RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  RecreateWnd();
}

void TCustomMemo::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  RecreateWnd();
}

void TCustomMemo::CreateParams(TCreateParams& p) {
  TCustomEdit::CreateParams(p);
  p.WindowClass = &ControlSuperclass("TMemo", "EDIT");
  p.Style &= ~(ES_AUTOHSCROLL | ES_PASSWORD);
  p.Style |= ES_MULTILINE | ES_AUTOVSCROLL;
  if (!wordWrap_) p.Style |= ES_AUTOHSCROLL;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) p.Style |= WS_HSCROLL;
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) p.Style |= WS_VSCROLL;
  if (alignment_ == taRightJustify) p.Style |= ES_RIGHT;
  if (alignment_ == taCenter) p.Style |= ES_CENTER;
}

void TCustomMemo::TextChanged() {
  TCustomEdit::TextChanged();
  lines_->Invalidate();
}

void TCustomMemo::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_GETDLGCODE:
      TCustomEdit::Dispatch(msg);
      if (wantTabs_)
        msg.Result |= DLGC_WANTTAB;
      else
        msg.Result &= ~DLGC_WANTTAB;
      if (!wantReturns_) msg.Result &= ~DLGC_WANTALLKEYS;
      return;
    case CN_COMMAND:
      if (HIWORD(msg.WParam) == EN_CHANGE) lines_->WindowChanged();
      TCustomEdit::Dispatch(msg);
      return;
    case CN_KEYDOWN:
      TCustomEdit::Dispatch(msg);
      // Escape goes to the cancel button, as in a dialog.
      if (msg.Result == 0 && msg.WParam == VK_ESCAPE)
        if (TWinControl* form = FormControl(); form && form->Perform(CM_DIALOGKEY, VK_ESCAPE, msg.LParam) != 0)
          msg.Result = 1;
      return;
    default:
      TCustomEdit::Dispatch(msg);
  }
}

// ---------------------------------------------------------------- TCustomComboBox

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TWinControl(owner), items_(new TListControlItems(nullptr, this)), canvas_(new TControlCanvas(this)) {
  ControlStyle = {csSetCaption, csDoubleClicks};
  width_ = 145;
  height_ = 21;
  color_ = clWindow;
  brush_->SetColor(color_);
  tabStop_ = true;
}

TCustomComboBox::~TCustomComboBox() {
  if (handle_) DestroyHandle();
}

TStrings* TCustomComboBox::Items() const { return items_.get(); }
void TCustomComboBox::SetItems(TStrings* value) { items_->Assign(value); }
TCanvas* TCustomComboBox::Canvas() const { return canvas_.get(); }
bool TCustomComboBox::Sorted() const { return items_->Sorted(); }
void TCustomComboBox::SetSorted(bool value) { items_->SetSorted(value); }

void TCustomComboBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.WindowClass = &ControlSuperclass("TComboBox", "COMBOBOX");
  p.Caption.clear();
  p.Style |= WS_VSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL;
  switch (style_) {
    case csDropDown:
      p.Style |= CBS_DROPDOWN;
      break;
    case csSimple:
      p.Style |= CBS_SIMPLE;
      break;
    case csDropDownList:
      p.Style |= CBS_DROPDOWNLIST;
      break;
    case csOwnerDrawFixed:
      p.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED;
      break;
    case csOwnerDrawVariable:
      p.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE;
      break;
  }
  if (charCase_ == ecUpperCase) p.Style |= CBS_UPPERCASE;
  if (charCase_ == ecLowerCase) p.Style |= CBS_LOWERCASE;
}

void TCustomComboBox::CreateWnd() {
  TWinControl::CreateWnd();
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (GetComboBoxInfo(handle_, &info)) {
    editHandle_ = HasEdit() && info.hwndItem != handle_ ? info.hwndItem : nullptr;
    listHandle_ = info.hwndList;
  }
  if (editHandle_) TObjectWindowClass::Subclass(editHandle_, this);
  if (listHandle_) TObjectWindowClass::Subclass(listHandle_, this);
  SendMessageA(handle_, CB_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
  if (style_ == csOwnerDrawFixed) {
    SendMessageA(handle_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), itemHeight_);
    SendMessageA(handle_, CB_SETITEMHEIGHT, 0, itemHeight_);
  }
  SendMessageA(handle_, CB_SETMINVISIBLE, static_cast<WPARAM>(dropDownCount_), 0);
  items_->Push(handle_);
  LoadState();
  // A typed text that is no entry stays.
  if (HasEdit() && !text_.empty()) SetWindowTextA(handle_, text_.c_str());
}

void TCustomComboBox::DestroyWnd() {
  SaveState();
  if (editHandle_) TObjectWindowClass::Unsubclass(editHandle_);
  if (listHandle_) TObjectWindowClass::Unsubclass(listHandle_);
  editHandle_ = listHandle_ = nullptr;
  TWinControl::DestroyWnd();
}

void TCustomComboBox::SaveState() {
  if (handle_) items_->storedIndex = static_cast<int>(SendMessageA(handle_, CB_GETCURSEL, 0, 0));
}

void TCustomComboBox::LoadState() {
  if (handle_) SendMessageA(handle_, CB_SETCURSEL, static_cast<WPARAM>(items_->storedIndex), 0);
}

int TCustomComboBox::ItemIndex() {
  if (handle_) return static_cast<int>(SendMessageA(handle_, CB_GETCURSEL, 0, 0));
  return items_->storedIndex;
}

void TCustomComboBox::SetItemIndex(int value) {
  if (value < -1 || value >= items_->Count()) value = -1;
  if (handle_) {
    SendMessageA(handle_, CB_SETCURSEL, static_cast<WPARAM>(value), 0);
    return;
  }
  items_->storedIndex = value;
  if (HasEdit()) text_ = value >= 0 ? items_->Get(value) : String();
}

String TCustomComboBox::Text() const {
  if (!handle_ && !HasEdit()) {
    int i = items_->storedIndex;
    return i >= 0 && i < items_->Count() ? items_->Get(i) : String();
  }
  return TWinControl::Text();
}

void TCustomComboBox::SetText(const String& value) {
  if (!HasEdit()) {
    SetItemIndex(items_->IndexOf(value));
    return;
  }
  TWinControl::SetText(value);
}

void TCustomComboBox::SetStyle(TComboBoxStyle value) {
  if (value == style_) return;
  style_ = value;
  RecreateWnd();
}

void TCustomComboBox::SetDropDownCount(int value) {
  if (value < 1) value = 1;
  if (value == dropDownCount_) return;
  dropDownCount_ = value;
  if (handle_) SendMessageA(handle_, CB_SETMINVISIBLE, static_cast<WPARAM>(value), 0);
}

int TCustomComboBox::ItemHeight() {
  if (!OwnerDrawn() && handle_) return static_cast<int>(SendMessageA(handle_, CB_GETITEMHEIGHT, 0, 0));
  return itemHeight_;
}

void TCustomComboBox::SetItemHeight(int value) {
  if (value < 1 || value == itemHeight_) return;
  itemHeight_ = value;
  if (!handle_) return;
  if (style_ == csOwnerDrawFixed) {
    SendMessageA(handle_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), value);
    SendMessageA(handle_, CB_SETITEMHEIGHT, 0, value);
    Invalidate();
  } else if (style_ == csOwnerDrawVariable) {
    RecreateWnd();
  }
}

void TCustomComboBox::SetMaxLength(int value) {
  if (value < 0) value = 0;
  if (value == maxLength_) return;
  maxLength_ = value;
  if (handle_) SendMessageA(handle_, CB_LIMITTEXT, static_cast<WPARAM>(value), 0);
}

void TCustomComboBox::SetCharCase(TEditCharCase value) {
  if (value == charCase_) return;
  charCase_ = value;
  RecreateWnd();
}

void TCustomComboBox::SelectAll() { SendMessageA(Handle(), CB_SETEDITSEL, 0, MAKELPARAM(0, -1)); }

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

void TCustomComboBox::Select() {
  if (OnSelect)
    OnSelect(this);
  else
    Change();
}

void TCustomComboBox::DropDown() {
  if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
  if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  DrawItemText(canvas_.get(), rect, index < items_->Count() ? items_->Get(index) : String());
}

void TCustomComboBox::MeasureItem(int index, int& height) {
  if (OnMeasureItem) OnMeasureItem(this, index, height);
}

// The dropped list shows DropDownCount rows (fewer when there are fewer).
void TCustomComboBox::AdjustDropDown() {
  if (!handle_ || style_ == csSimple) return;
  int n = std::max(1, std::min(items_->Count(), dropDownCount_));
  int rowHeight = style_ == csOwnerDrawVariable ? itemHeight_
                                                : static_cast<int>(SendMessageA(handle_, CB_GETITEMHEIGHT, 0, 0));
  RECT r;
  GetWindowRect(handle_, &r);
  SetWindowPos(handle_, nullptr, 0, 0, r.right - r.left, (r.bottom - r.top) + rowHeight * n + 2,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void TCustomComboBox::WindowMessage(HWND wnd, TMessage& msg) {
  if (wnd && (wnd == editHandle_ || wnd == listHandle_)) {
    InnerWndProc(wnd, msg);
    return;
  }
  TWinControl::WindowMessage(wnd, msg);
}

void TCustomComboBox::InnerWndProc(HWND wnd, TMessage& msg) {
  switch (msg.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      WORD key = static_cast<WORD>(msg.WParam);
      if (DoKeyDown(key, KeyDataToShiftState(msg.LParam))) {
        msg.Result = 0;
        return;
      }
      msg.WParam = key;
      break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      WORD key = static_cast<WORD>(msg.WParam);
      if (DoKeyUp(key, KeyDataToShiftState(msg.LParam))) {
        msg.Result = 0;
        return;
      }
      msg.WParam = key;
      break;
    }
    case WM_CHAR: {
      char key = static_cast<char>(msg.WParam);
      if (DoKeyPress(key)) {
        msg.Result = 0;
        return;
      }
      msg.WParam = static_cast<unsigned char>(key);
      break;
    }
    case WM_SETFOCUS:
      DefaultProc(wnd, msg);
      if (TWinControl* form = FormControl()) form->FocusChanged(this);
      return;
    case WM_SETCURSOR:
      // The combo's cursor (or the screen's) over its edit too.
      if (LOWORD(msg.LParam) == HTCLIENT && !DragActive()) {
        TCursor c = ScreenCursor() != crDefault ? ScreenCursor() : cursor_;
        if (c != crDefault) {
          ::SetCursor(CursorHandle(c));
          msg.Result = 1;
          return;
        }
      }
      break;
    case WM_NCDESTROY:
      DefaultProc(wnd, msg);
      if (wnd == editHandle_) editHandle_ = nullptr;
      if (wnd == listHandle_) listHandle_ = nullptr;
      return;
    default:
      break;
  }
  DefaultProc(wnd, msg);
}

void TCustomComboBox::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CM_WANTSPECIALKEY:
      // Enter and Escape close a dropped-down list, not the form.
      msg.Result = (msg.WParam == VK_RETURN || msg.WParam == VK_ESCAPE) && handle_ &&
                   SendMessageA(handle_, CB_GETDROPPEDSTATE, 0, 0);
      return;
    case CN_COMMAND:
      switch (HIWORD(msg.WParam)) {
        case CBN_SELCHANGE: {
          // The edit shows the chosen entry before the events run.
          int i = ItemIndex();
          if (HasEdit() && i >= 0) SetWindowTextA(handle_, items_->Get(i).c_str());
          Click();
          Select();
          break;
        }
        case CBN_EDITCHANGE:
          Change();
          break;
        case CBN_DROPDOWN:
          DropDown();
          AdjustDropDown();
          break;
        case CBN_CLOSEUP:
          CloseUp();
          break;
        default:
          break;
      }
      msg.Result = 0;
      return;
    case CN_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(msg.LParam);
      TItemCanvas canvas(canvas_.get(), *d, font_, brush_);
      int index = static_cast<int>(d->itemID);
      TOwnerDrawState state = OwnerDrawState(d->itemState);
      if (index >= 0)
        DrawItem(index, d->rcItem, state);
      else
        canvas_->FillRect(d->rcItem);
      if (state.Contains(odFocused)) DrawFocusRect(d->hDC, &d->rcItem);
      msg.Result = 1;
      return;
    }
    case CN_MEASUREITEM: {
      auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(msg.LParam);
      int h = itemHeight_;
      if (style_ == csOwnerDrawVariable && static_cast<int>(m->itemID) >= 0) MeasureItem(static_cast<int>(m->itemID), h);
      m->itemHeight = static_cast<UINT>(std::max(h, 1));
      msg.Result = 1;
      return;
    }
    default:
      TWinControl::Dispatch(msg);
  }
}

// ---------------------------------------------------------------- TCustomListBox

TCustomListBox::TCustomListBox(TComponent* owner)
    : TWinControl(owner), items_(new TListControlItems(this, nullptr)), canvas_(new TControlCanvas(this)) {
  ControlStyle = {csDoubleClicks};
  width_ = 121;
  height_ = 97;
  color_ = clWindow;
  brush_->SetColor(color_);
  tabStop_ = true;
}

TCustomListBox::~TCustomListBox() {
  if (handle_) DestroyHandle();
}

TStrings* TCustomListBox::Items() const { return items_.get(); }
void TCustomListBox::SetItems(TStrings* value) { items_->Assign(value); }
void TCustomListBox::Clear() { items_->Clear(); }
TCanvas* TCustomListBox::Canvas() const { return canvas_.get(); }
bool TCustomListBox::Sorted() const { return items_->Sorted(); }
void TCustomListBox::SetSorted(bool value) { items_->SetSorted(value); }

void TCustomListBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.WindowClass = &ControlSuperclass("TListBox", "LISTBOX");
  p.Caption.clear();
  p.Style |= WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
  if (multiSelect_) p.Style |= extendedSelect_ ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
  if (style_ == lbOwnerDrawFixed) p.Style |= LBS_OWNERDRAWFIXED;
  if (style_ == lbOwnerDrawVariable) p.Style |= LBS_OWNERDRAWVARIABLE;
  if (columns_ > 0) p.Style |= LBS_MULTICOLUMN;
  p.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListBox::CreateWnd() {
  TWinControl::CreateWnd();
  if (style_ == lbOwnerDrawFixed) SendMessageA(handle_, LB_SETITEMHEIGHT, 0, itemHeight_);
  if (columns_ > 0) SendMessageA(handle_, LB_SETCOLUMNWIDTH, std::max(1, (width_ + columns_ - 3) / columns_), 0);
  SendMessageA(handle_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(scrollWidth_), 0);
  items_->Push(handle_);
  LoadState();
}

void TCustomListBox::DestroyWnd() {
  SaveState();
  TWinControl::DestroyWnd();
}

void TCustomListBox::SaveState() {
  if (!handle_) return;
  items_->storedIndex = ItemIndex();
  topIndex_ = static_cast<int>(SendMessageA(handle_, LB_GETTOPINDEX, 0, 0));
  if (multiSelect_)
    for (int i = 0; i < items_->Count(); ++i)
      items_->items_[static_cast<size_t>(i)].selected = SendMessageA(handle_, LB_GETSEL, i, 0) > 0;
}

void TCustomListBox::LoadState() {
  if (!handle_) return;
  if (multiSelect_) {
    for (int i = 0; i < items_->Count(); ++i)
      if (items_->items_[static_cast<size_t>(i)].selected) SendMessageA(handle_, LB_SETSEL, TRUE, i);
    if (items_->storedIndex >= 0) SendMessageA(handle_, LB_SETCARETINDEX, static_cast<WPARAM>(items_->storedIndex), 0);
  } else {
    SendMessageA(handle_, LB_SETCURSEL, static_cast<WPARAM>(items_->storedIndex), 0);
  }
  SendMessageA(handle_, LB_SETTOPINDEX, static_cast<WPARAM>(topIndex_), 0);
}

int TCustomListBox::ItemIndex() {
  if (!handle_) return items_->storedIndex;
  if (items_->Count() == 0) return -1;
  LRESULT r = SendMessageA(handle_, multiSelect_ ? LB_GETCARETINDEX : LB_GETCURSEL, 0, 0);
  return r < 0 ? -1 : static_cast<int>(r);
}

void TCustomListBox::SetItemIndex(int value) {
  if (value < -1 || value >= items_->Count()) value = -1;
  if (!handle_) {
    items_->storedIndex = value;
    return;
  }
  if (multiSelect_)
    SendMessageA(handle_, LB_SETCARETINDEX, static_cast<WPARAM>(value), 0);
  else
    SendMessageA(handle_, LB_SETCURSEL, static_cast<WPARAM>(value), 0);
}

bool TCustomListBox::Selected(int index) {
  if (index < 0 || index >= items_->Count()) throw EListError(Format(kIndexError, index));
  if (!multiSelect_) return ItemIndex() == index;
  if (handle_) return SendMessageA(handle_, LB_GETSEL, index, 0) > 0;
  return items_->items_[static_cast<size_t>(index)].selected;
}

void TCustomListBox::SetSelected(int index, bool value) {
  if (index < 0 || index >= items_->Count()) throw EListError(Format(kIndexError, index));
  if (!multiSelect_) {
    if (value)
      SetItemIndex(index);
    else if (ItemIndex() == index)
      SetItemIndex(-1);
    return;
  }
  if (handle_)
    SendMessageA(handle_, LB_SETSEL, value, index);
  else
    items_->items_[static_cast<size_t>(index)].selected = value;
}

int TCustomListBox::SelCount() {
  if (!multiSelect_) return ItemIndex() >= 0 ? 1 : 0;
  if (handle_) return static_cast<int>(SendMessageA(handle_, LB_GETSELCOUNT, 0, 0));
  return static_cast<int>(std::count_if(items_->items_.begin(), items_->items_.end(),
                                        [](const TListControlItems::TItem& i) { return i.selected; }));
}

void TCustomListBox::SetMultiSelect(bool value) {
  if (value == multiSelect_) return;
  SaveState();
  multiSelect_ = value;
  if (!value)
    for (auto& item : items_->items_) item.selected = false;
  RecreateWnd();
}

void TCustomListBox::SetExtendedSelect(bool value) {
  if (value == extendedSelect_) return;
  extendedSelect_ = value;
  if (multiSelect_) RecreateWnd();
}

void TCustomListBox::SetStyle(TListBoxStyle value) {
  if (value == style_) return;
  style_ = value;
  RecreateWnd();
}

int TCustomListBox::ItemHeight() {
  if (style_ == lbStandard && handle_) return static_cast<int>(SendMessageA(handle_, LB_GETITEMHEIGHT, 0, 0));
  return itemHeight_;
}

void TCustomListBox::SetItemHeight(int value) {
  if (value < 1 || value == itemHeight_) return;
  itemHeight_ = value;
  if (!handle_) return;
  if (style_ == lbOwnerDrawFixed) {
    SendMessageA(handle_, LB_SETITEMHEIGHT, 0, value);
    Invalidate();
  } else if (style_ == lbOwnerDrawVariable) {
    RecreateWnd();
  }
}

int TCustomListBox::TopIndex() {
  if (handle_) return static_cast<int>(SendMessageA(handle_, LB_GETTOPINDEX, 0, 0));
  return topIndex_;
}

void TCustomListBox::SetTopIndex(int value) {
  topIndex_ = std::max(value, 0);
  if (handle_) SendMessageA(handle_, LB_SETTOPINDEX, static_cast<WPARAM>(topIndex_), 0);
}

void TCustomListBox::SetScrollWidth(int value) {
  if (value < 0) value = 0;
  if (value == scrollWidth_) return;
  scrollWidth_ = value;
  if (handle_) SendMessageA(handle_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(value), 0);
}

void TCustomListBox::SetColumns(int value) {
  if (value < 0) value = 0;
  if (value == columns_) return;
  bool recreate = (value == 0) != (columns_ == 0);
  columns_ = value;
  if (recreate)
    RecreateWnd();
  else if (handle_)
    SendMessageA(handle_, LB_SETCOLUMNWIDTH, std::max(1, (width_ + columns_ - 3) / columns_), 0);
}

TRect TCustomListBox::ItemRect(int index) {
  int n = items_->Count();
  RECT r{0, 0, 0, 0};
  if (index >= 0 && (index < n || (index == 0 && n == 0))) {
    SendMessageA(Handle(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
  } else if (index == n) {
    // Just below the last row.
    SendMessageA(Handle(), LB_GETITEMRECT, static_cast<WPARAM>(index - 1), reinterpret_cast<LPARAM>(&r));
    OffsetRect(&r, 0, r.bottom - r.top);
  }
  return TRect(r);
}

int TCustomListBox::ItemAtPos(const TPoint& pos, bool existing) {
  TRect client = ClientRect();
  if (client.Contains(pos)) {
    int n = items_->Count();
    for (int i = std::max(TopIndex(), 0); i < n; ++i) {
      RECT r;
      if (SendMessageA(Handle(), LB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r)) == LB_ERR) break;
      if (TRect(r).Contains(pos)) return i;
      if (columns_ == 0 && r.top >= client.bottom) break;
    }
    if (!existing) return n;
  }
  return -1;
}

void TCustomListBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  DrawItemText(canvas_.get(), rect, index < items_->Count() ? items_->Get(index) : String());
}

void TCustomListBox::MeasureItem(int index, int& height) {
  if (OnMeasureItem) OnMeasureItem(this, index, height);
}

void TCustomListBox::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_COMMAND:
      if (HIWORD(msg.WParam) == LBN_SELCHANGE) Click();
      msg.Result = 0;
      return;
    case CN_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(msg.LParam);
      TItemCanvas canvas(canvas_.get(), *d, font_, brush_);
      int index = static_cast<int>(d->itemID);
      TOwnerDrawState state = OwnerDrawState(d->itemState);
      if (index >= 0)
        DrawItem(index, d->rcItem, state);
      else
        canvas_->FillRect(d->rcItem);
      if (state.Contains(odFocused)) DrawFocusRect(d->hDC, &d->rcItem);
      msg.Result = 1;
      return;
    }
    case CN_MEASUREITEM: {
      auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(msg.LParam);
      int h = itemHeight_;
      if (style_ == lbOwnerDrawVariable && static_cast<int>(m->itemID) >= 0) MeasureItem(static_cast<int>(m->itemID), h);
      m->itemHeight = static_cast<UINT>(std::max(h, 1));
      msg.Result = 1;
      return;
    }
    default:
      TWinControl::Dispatch(msg);
  }
}

// ---------------------------------------------------------------- buttons

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner) {
  // The button's own BN_CLICKED is the click, not the mouse-up.
  ControlStyle = {csSetCaption, csDoubleClicks};
  tabStop_ = true;
}

TButton::TButton(TComponent* owner) : TButtonControl(owner) {
  width_ = 75;
  height_ = 25;
}

void TButton::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  p.WindowClass = &ControlSuperclass("TButton", "BUTTON");
  p.Style |= active_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value) {
  if (value == default_) return;
  default_ = value;
  TCustomForm* form = GetParentForm(this);
  UpdateActive(form ? form->ActiveControl() : nullptr);
}

void TButton::UpdateActive(TWinControl* focused) {
  bool active = dynamic_cast<TButton*>(focused) ? focused == this : default_;
  if (active == active_) return;
  active_ = active;
  SetButtonStyle(active);
}

void TButton::SetButtonStyle(bool isDefault) {
  if (handle_) SendMessageA(handle_, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
  if (modalResult_ != mrNone)
    if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
  TButtonControl::Click();
}

void TButton::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_COMMAND:
      if (HIWORD(msg.WParam) == BN_CLICKED) Click();
      msg.Result = 0;
      return;
    case CM_DIALOGKEY: {
      WORD key = static_cast<WORD>(msg.WParam);
      msg.Result = 0;
      if (((key == VK_RETURN && active_) || (key == VK_ESCAPE && cancel_)) &&
          KeyDataToShiftState(msg.LParam).Empty() && CanFocus()) {
        Click();
        msg.Result = 1;
      }
      return;
    }
    case CM_DIALOGCHAR:
      msg.Result = 0;
      if (IsAccel(static_cast<WORD>(msg.WParam), Caption()) && CanFocus()) {
        Click();
        msg.Result = 1;
      }
      return;
    case CM_FOCUSCHANGED:
      UpdateActive(reinterpret_cast<TWinControl*>(msg.LParam));
      return;
    default:
      TButtonControl::Dispatch(msg);
  }
}

// ---------------------------------------------------------------- TCustomCheckBox

TCustomCheckBox::TCustomCheckBox(TComponent* owner) : TButtonControl(owner) {
  width_ = 97;
  height_ = 17;
  parentColor_ = true;
}

void TCustomCheckBox::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  p.WindowClass = &ControlSuperclass("TCheckBox", "BUTTON");
  p.Style |= BS_3STATE;
  if (alignment_ == taLeftJustify) p.Style |= BS_LEFTTEXT;
}

void TCustomCheckBox::CreateWnd() {
  TButtonControl::CreateWnd();
  SendMessageA(handle_, BM_SETCHECK, static_cast<WPARAM>(state_), 0);
}

void TCustomCheckBox::SetState(TCheckBoxState value) {
  if (value == state_) return;
  state_ = value;
  if (handle_) SendMessageA(handle_, BM_SETCHECK, static_cast<WPARAM>(value), 0);
  if (!ClicksDisabled() && !IsLoading()) Click();
}

void TCustomCheckBox::SetAlignment(TAlignment value) {
  if (value == taCenter || value == alignment_) return;
  alignment_ = value;
  RecreateWnd();
}

void TCustomCheckBox::Toggle() {
  switch (state_) {
    case cbUnchecked:
      SetState(allowGrayed_ ? cbGrayed : cbChecked);
      break;
    case cbChecked:
      SetState(cbUnchecked);
      break;
    case cbGrayed:
      SetState(cbChecked);
      break;
  }
}

void TCustomCheckBox::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_COMMAND:
      if (HIWORD(msg.WParam) == BN_CLICKED) Toggle();
      msg.Result = 0;
      return;
    case CM_DIALOGCHAR:
      msg.Result = 0;
      if (IsAccel(static_cast<WORD>(msg.WParam), Caption()) && CanFocus()) {
        SetFocus();
        if (Focused()) Toggle();
        msg.Result = 1;
      }
      return;
    default:
      TButtonControl::Dispatch(msg);
  }
}

// ---------------------------------------------------------------- TRadioButton

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner) {
  width_ = 113;
  height_ = 17;
  parentColor_ = true;
  tabStop_ = false;
}

void TRadioButton::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  p.WindowClass = &ControlSuperclass("TRadioButton", "BUTTON");
  p.Style |= BS_RADIOBUTTON;
  if (alignment_ == taLeftJustify) p.Style |= BS_LEFTTEXT;
}

void TRadioButton::CreateWnd() {
  TButtonControl::CreateWnd();
  SendMessageA(handle_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TRadioButton::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  SetTabStop(value);
  if (handle_) SendMessageA(handle_, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!value) return;
  if (parent_)
    for (int i = 0; i < parent_->ControlCount(); ++i)
      if (auto* r = dynamic_cast<TRadioButton*>(parent_->Controls(i)); r && r != this) r->SetChecked(false);
  if (!ClicksDisabled() && !IsLoading()) Click();
}

void TRadioButton::SetAlignment(TAlignment value) {
  if (value == taCenter || value == alignment_) return;
  alignment_ = value;
  RecreateWnd();
}

void TRadioButton::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_COMMAND:
      if (HIWORD(msg.WParam) == BN_CLICKED) SetChecked(true);
      msg.Result = 0;
      return;
    case CM_DIALOGCHAR:
      msg.Result = 0;
      if (IsAccel(static_cast<WORD>(msg.WParam), Caption()) && CanFocus()) {
        SetFocus();
        SetChecked(true);
        msg.Result = 1;
      }
      return;
    default:
      TButtonControl::Dispatch(msg);
  }
}

// ---------------------------------------------------------------- TCustomGroupBox

TCustomGroupBox::TCustomGroupBox(TComponent* owner) : TCustomControl(owner) {
  ControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  width_ = 185;
  height_ = 105;
  parentColor_ = true;
}

int TCustomGroupBox::CaptionHeight() {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font_->Handle());
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return tm.tmHeight;
}

void TCustomGroupBox::AdjustClientRect(TRect& rect) {
  rect.top += CaptionHeight();
  InflateRect(&rect, -2, -2);
}

void TCustomGroupBox::Paint() {
  TCanvas* c = Canvas();
  c->Font()->Assign(font_);
  c->Brush()->SetStyle(bsSolid);
  int h = CaptionHeight();
  // An etched frame from the middle of the caption down.
  TRect r(1, h / 2, width_, height_);
  c->Brush()->SetColor(clBtnHighlight);
  c->FrameRect(r);
  OffsetRect(&r, -1, -1);
  c->Brush()->SetColor(clBtnShadow);
  c->FrameRect(r);
  String text = Caption();
  if (text.empty()) return;
  TRect tr(8, 0, 0, h);
  const UINT flags = DT_SINGLELINE | DT_LEFT;
  c->DrawText(text, tr, flags | DT_CALCRECT);
  // Room for glyphs drawn wider than their measured extent.
  tr.right += DrawTextOverhang(c->Handle(), text, tr, flags);
  // The caption's background breaks the frame.
  c->Brush()->SetColor(color_);
  c->FillRect(TRect(tr.left - 1, tr.top, tr.right + 1, tr.bottom));
  c->Brush()->SetStyle(bsClear);
  if (!enabled_) c->Font()->SetColor(clGrayText);
  c->DrawText(text, tr, flags);
}

void TCustomGroupBox::TextChanged() {
  TCustomControl::TextChanged();
  Invalidate();
}

void TCustomGroupBox::FontChanged() {
  TCustomControl::FontChanged();
  Realign();
}

void TCustomGroupBox::Dispatch(TMessage& msg) {
  if (msg.Msg == CM_DIALOGCHAR) {
    msg.Result = 0;
    if (IsAccel(static_cast<WORD>(msg.WParam), Caption()) && CanFocus()) {
      if (TWinControl* first = FindNextControl(nullptr, true, true, false)) first->SetFocus();
      msg.Result = 1;
    }
    return;
  }
  TCustomControl::Dispatch(msg);
}
