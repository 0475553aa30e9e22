#include <functional>

#include "Ctrlform.h"
#include "support/Modal.h"

namespace {

COLORREF Rgb(TColor c) { return ColorToRGB(c) & 0xFFFFFF; }

// The dark pixels of text drawn black on white with the font and DrawText
// format, on one line with room to spare: what a control showing all of it
// shows of it, wherever its lines break (glyphs are not smoothed here).
int TextInk(TFont* font, const String& text, UINT format) {
  TDibSurface s(1000, 40);
  RECT all{0, 0, 1000, 40};
  FillRect(s.Dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HGDIOBJ old = SelectObject(s.Dc(), font->Handle());
  SetBkMode(s.Dc(), TRANSPARENT);
  SetTextColor(s.Dc(), RGB(0, 0, 0));
  RECT r{10, 10, 990, 40};
  DrawTextA(s.Dc(), text.c_str(), static_cast<int>(text.size()), &r, format | DT_NOCLIP);
  SelectObject(s.Dc(), old);
  return CountColor(s, RGB(0, 0, 0), 60);
}

// An edit, then OK (default), Cancel (cancel) and Retry buttons.
class TDialogForm : public TTestForm {
 public:
  TDialogForm() : TTestForm("Stdctrls dialog", 360, 160) {
    SetBorderStyle(bsDialog);
    edit = Add<TEdit>(12, 12, 200, 21);
    ok = Add<TButton>(12, 80, 75, 25);
    ok->SetCaption("OK");
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    cancel = Add<TButton>(95, 80, 75, 25);
    cancel->SetCaption("Cancel");
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    retry = Add<TButton>(178, 80, 75, 25);
    retry->SetCaption("&Retry");
    retry->SetModalResult(mrRetry);
    for (TButton* b : {ok, cancel, retry}) b->OnClick = [this](TObject* s) { clicked.push_back(static_cast<TButton*>(s)); };
    EndLoading();
    SetActiveControl(edit);
  }
  TEdit* edit;
  TButton *ok, *cancel, *retry;
  std::vector<TButton*> clicked;
};

}  // namespace

// ---------------------------------------------------------------- buttons

TEST(Button, ClickAndAcceleratorReachOnClick) {
  TFormPtr f(new TTestForm("Button click"));
  auto* b = f->Add<TButton>(20, 20, 90, 28);
  b->SetCaption("&Press");
  int clicks = 0;
  b->OnClick = [&](TObject* s) {
    EXPECT_EQ(s, b);
    ++clicks;
  };
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  ASSERT_TRUE(Click(b->Handle()));
  EXPECT_TRUE(WaitFor([&] { return clicks == 1; }, 2000));
  ASSERT_TRUE(KeyChord({VK_MENU, 'P'}));
  EXPECT_TRUE(WaitFor([&] { return clicks == 2; }, 2000));
  PumpFor(50);
  EXPECT_EQ(clicks, 2);
}

TEST(Button, ModalFormEndsByEnterEscapeOrAModalResultButton) {
  struct {
    const char* what;
    std::function<void(TModalDriver&)> drive;
    TModalResult result;
  } cases[] = {
      {"Enter in the edit", [](TModalDriver& m) { m.Key(VK_RETURN); }, mrOk},
      {"Escape in the edit", [](TModalDriver& m) { m.Key(VK_ESCAPE); }, mrCancel},
      {"a click on Retry", [](TModalDriver& m) { m.Press("&Retry"); }, mrRetry},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TOwned<TDialogForm> f(new TDialogForm);
    TModalDriver modal;
    c.drive(modal.Window("Stdctrls dialog"));
    EXPECT_EQ(f->ShowModal(), c.result);
    EXPECT_TRUE(modal.Finish());
    ASSERT_EQ(f->clicked.size(), 1u);
    EXPECT_EQ(f->clicked[0]->ModalResult(), c.result);
    EXPECT_FALSE(IsWindowVisible(f->Handle()));
  }
}

TEST(Button, DisabledDefaultButtonIgnoresEnter) {
  TOwned<TDialogForm> f(new TDialogForm);
  f->ok->SetEnabled(false);
  TModalDriver modal;
  modal.Window("Stdctrls dialog")
      .Key(VK_RETURN)
      .Do("the form stays open", [&](HWND w) { return IsWindowVisible(w) && f->clicked.empty(); })
      .Press("Cancel");
  EXPECT_EQ(f->ShowModal(), mrCancel);
  EXPECT_TRUE(modal.Finish());
  ASSERT_EQ(f->clicked.size(), 1u);
  EXPECT_EQ(f->clicked[0], f->cancel);
}

TEST(Button, FocusedButtonTakesTheDefaultRole) {
  TOwned<TDialogForm> f(new TDialogForm);
  ASSERT_TRUE(f->ShowAndWait());
  ASSERT_TRUE(FocusWindow(f->edit->Handle()));
  EXPECT_EQ(ButtonKind(f->ok->Handle()), BS_DEFPUSHBUTTON);
  ASSERT_TRUE(FocusWindow(f->retry->Handle()));
  EXPECT_EQ(ButtonKind(f->ok->Handle()), BS_PUSHBUTTON);
  EXPECT_EQ(ButtonKind(f->retry->Handle()), BS_DEFPUSHBUTTON);
  SaveScreenshot(f->Handle(), "retry_focused");
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_TRUE(FocusWindow(f->edit->Handle()));
  EXPECT_EQ(ButtonKind(f->ok->Handle()), BS_DEFPUSHBUTTON);
  EXPECT_EQ(ButtonKind(f->retry->Handle()), BS_PUSHBUTTON);
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  ASSERT_EQ(f->clicked.size(), 2u);
  EXPECT_EQ(f->clicked[0], f->retry);
  EXPECT_EQ(f->clicked[1], f->ok);
  // Not modal: the result is only recorded.
  EXPECT_EQ(f->ModalResult(), mrOk);
}

TEST(Button, FollowsItsAction) {
  TFormPtr f(new TTestForm("Button action"));
  auto* b = f->Add<TButton>(20, 20, 90, 28);
  auto* list = new TActionList(f.get());
  auto* a = new TAction(f.get());
  a->SetActionList(list);
  a->SetCaption("&Go");
  a->SetHint("Go there");
  int runs = 0;
  a->OnExecute = [&](TObject*) { ++runs; };
  ASSERT_TRUE(f->ShowAndWait());
  b->SetAction(a);
  EXPECT_EQ(b->Caption(), "&Go");
  EXPECT_EQ(WindowText(b->Handle()), "&Go");
  EXPECT_EQ(b->Hint(), "Go there");
  a->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(b->Handle()));
  a->SetEnabled(true);
  a->SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(b->Handle()));
  a->SetVisible(true);
  a->SetCaption("Go &on");
  EXPECT_EQ(WindowText(b->Handle()), "Go &on");
  ASSERT_TRUE(Click(b->Handle()));
  EXPECT_TRUE(WaitFor([&] { return runs == 1; }, 2000));
}

// ---------------------------------------------------------------- labels

TEST(Label, AcceleratorFocusesItsFocusControl) {
  TFormPtr f(new TTestForm("Label accelerator"));
  auto* first = f->Add<TEdit>(80, 20, 150, 21);
  auto* label = f->Add<TLabel>(12, 63, 60, 17);
  label->SetCaption("&Name:");
  auto* second = f->Add<TEdit>(80, 60, 150, 21);
  label->SetFocusControl(second);
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  ASSERT_TRUE(FocusWindow(first->Handle()));
  ASSERT_TRUE(KeyChord({VK_MENU, 'N'}));
  EXPECT_TRUE(WaitFor([&] { return second->Focused(); }, 2000));
  // Once the focus control is gone the label forgets it.
  ASSERT_TRUE(FocusWindow(first->Handle()));
  second->Free();
  EXPECT_EQ(label->FocusControl(), nullptr);
  ASSERT_TRUE(KeyChord({VK_MENU, 'N'}));
  EXPECT_TRUE(first->Focused());
}

TEST(Label, AutoSizeFollowsTheCaption) {
  TFormPtr f(new TTestForm("Label sizes"));
  auto* plain = f->Add<TLabel>(10, 10, 10, 10);
  plain->SetCaption("Hi");
  auto* wrapped = f->Add<TLabel>(10, 40, 80, 10);
  wrapped->SetWordWrap(true);
  wrapped->SetCaption("Several words that cannot fit on one line");
  auto* right = f->Add<TLabel>(200, 10, 100, 10);
  right->SetAlignment(taRightJustify);
  right->SetCaption("Right");
  auto* fixed = f->Add<TLabel>(200, 40, 50, 30);
  fixed->SetAutoSize(false);
  fixed->SetCaption("Fixed size caption");
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  int shortWidth = plain->Width(), lineHeight = plain->Height();
  EXPECT_GT(lineHeight, 8);
  plain->SetCaption("A much longer caption");
  EXPECT_GT(plain->Width(), shortWidth * 3);
  EXPECT_EQ(plain->Height(), lineHeight);
  EXPECT_EQ(wrapped->Width(), 80);
  EXPECT_GE(wrapped->Height(), lineHeight * 3);
  int rightEdge = right->Left() + right->Width();
  right->SetCaption("Longer right caption");
  EXPECT_EQ(right->Left() + right->Width(), rightEdge);
  EXPECT_EQ(fixed->BoundsRect(), TRect(200, 40, 250, 70));
  // An empty caption keeps one line's height.
  plain->SetCaption("");
  EXPECT_EQ(plain->Height(), lineHeight);
}

// The auto size keeps room for glyphs drawn wider than their measured
// extent (under Wine a final ":" or "2" was cut off, a run of "x" lost more).
TEST(Label, AutoSizeShowsTheWholeCaption) {
  struct Case {
    const char* caption;
    TAlignment alignment;
    bool wordWrap;
  };
  const Case cases[] = {
      {"Proxy:", taLeftJustify, false},
      {"3.0.1.12", taLeftJustify, false},
      {"http://www.quellmark.example/", taLeftJustify, false},
      {"&Proxy:", taLeftJustify, false},
      {"Proxy:", taRightJustify, false},
      {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx:", taCenter, false},
      {"xxxxxxx xxxxxxxxxxx xxxxx xxxxxxxxxxxx xxxxxxxx:", taLeftJustify, true},
  };
  TFormPtr f(new TTestForm("Label whole captions", 420, 330));
  std::vector<TLabel*> labels;
  int top = 8;
  for (const Case& c : cases) {
    // Right aligned labels grow to the left.
    auto* l = f->Add<TLabel>(c.alignment == taRightJustify ? 100 : 12, top, c.wordWrap ? 90 : 10, 10);
    l->SetAlignment(c.alignment);
    l->SetWordWrap(c.wordWrap);
    l->SetCaption(c.caption);
    labels.push_back(l);
    top += c.wordWrap ? 80 : 24;
  }
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  for (size_t i = 0; i < labels.size(); ++i) {
    SCOPED_TRACE(cases[i].caption);
    TLabel* l = labels[i];
    TDibSurface shown = CaptureClient(l->Handle());
    UINT format = DT_EXPANDTABS | (cases[i].wordWrap ? DT_WORDBREAK : 0);
    EXPECT_EQ(CountColor(shown, RGB(0, 0, 0), 60), TextInk(l->Font(), l->Caption(), format));
    if (cases[i].wordWrap) EXPECT_EQ(l->Width(), 90);
  }
  // A bold caption, set again once shown, and a label made fixed keep it all.
  TLabel* version = labels[1];
  version->Font()->SetStyle({fsBold});
  version->SetCaption("3.0.1.12");
  TDibSurface bold = CaptureClient(version->Handle());
  EXPECT_EQ(CountColor(bold, RGB(0, 0, 0), 60), TextInk(version->Font(), "3.0.1.12", DT_EXPANDTABS));
  TLabel* right = labels[4];
  int rightEdge = right->Left() + right->Width();
  right->SetAutoSize(false);
  right->SetCaption("Port:");
  EXPECT_EQ(right->Left() + right->Width(), rightEdge);
  TDibSurface fixed = CaptureClient(right->Handle());
  EXPECT_EQ(CountColor(fixed, RGB(0, 0, 0), 60), TextInk(right->Font(), "Port:", DT_EXPANDTABS));
  SaveScreenshot(f->Handle(), "changed");
}

// The other controls that measure their text before drawing it keep room
// for glyphs drawn wider than measured as well.
TEST(MeasuredCaption, GroupBoxButtonsAndHintShowTheWholeText) {
  TFormPtr f(new TTestForm("Measured captions", 420, 200));
  auto* group = f->Add<TGroupBox>(10, 10, 160, 60);
  group->SetCaption("Proxy:");
  auto* bit = f->Add<TBitBtn>(10, 90, 90, 28);
  bit->SetCaption("Proxy:");
  auto* speed = f->Add<TSpeedButton>(110, 90, 120, 28);
  speed->SetCaption("xxxxxxxxxxxxx:");
  ASSERT_TRUE(f->ShowAndWait());
  auto* hint = new THintWindow(f.get());
  const String tip = "xxxxxxxxxx xxxxxxxxxxxxxxxxxxxxxxxxxxxxxx xxxxxxx:";
  hint->ActivateHint(TPoint(130, 340), tip);
  ASSERT_TRUE(WaitVisible(hint->Handle()));
  SaveDesktopScreenshot();
  struct Case {
    TControl* control;
    String text;
    UINT format;
    int inset;  // past the frame
  };
  const Case cases[] = {
      {group, "Proxy:", DT_SINGLELINE, 0},
      {bit, "Proxy:", DT_SINGLELINE, 3},
      {speed, "xxxxxxxxxxxxx:", DT_SINGLELINE, 3},
      {hint, tip, DT_NOPREFIX, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto* wc = static_cast<TWinControl*>(c.control);
    TDibSurface shown = CaptureClient(wc->Handle());
    RECT inner{c.inset, c.inset, shown.Width() - c.inset, shown.Height() - c.inset};
    EXPECT_EQ(CountColor(shown, inner, RGB(0, 0, 0), 60), TextInk(wc->Font(), c.text, c.format));
  }
}

TEST(Label, PaintsItsColoursOrThePanelBehindIt) {
  TFormPtr f(new TTestForm("Label colours"));
  auto* panel = f->Add<TPanel>(10, 10, 200, 60);
  panel->SetBevelOuter(bvNone);
  panel->SetColor(static_cast<TColor>(0x804000));
  auto* see = f->Add<TLabel>(10, 10, 150, 30, panel);
  see->SetTransparent(true);
  see->Font()->SetColor(clWhite);
  see->SetCaption("Quellmark");
  auto* solid = f->Add<TLabel>(10, 100, 150, 30);
  solid->SetAutoSize(false);
  solid->SetColor(clYellow);
  solid->Font()->SetColor(clRed);
  solid->SetCaption("Warning");
  solid->SetCursor(crHandPoint);
  solid->SetLayout(tlBottom);
  solid->SetAlignment(taRightJustify);
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  TDibSurface onPanel = CaptureClient(see->Handle());
  EXPECT_TRUE(ColorAt(onPanel, onPanel.Width() - 1, onPanel.Height() - 1, RGB(0, 0x40, 0x80)));
  EXPECT_GT(CountColor(onPanel, RGB(255, 255, 255), 40), 10);
  TDibSurface own = CaptureClient(solid->Handle());
  EXPECT_TRUE(ColorAt(own, own.Width() - 1, own.Height() - 1, RGB(255, 255, 0)));
  EXPECT_GT(CountColor(own, RGB(255, 0, 0), 60), 10);
  RECT text = ColorBounds(own, RGB(255, 0, 0), 60);
  EXPECT_GT(text.top, own.Height() / 2);
  EXPECT_GT(text.left, own.Width() / 2);
  int clicks = 0;
  solid->OnClick = [&](TObject*) { ++clicks; };
  ASSERT_TRUE(Click(solid->Handle()));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(GetCursor(), CursorHandle(crHandPoint));
}

// ---------------------------------------------------------------- edits

TEST(Edit, KeyPressFilterRefusesKeys) {
  TFormPtr f(new TTestForm("Edit filter"));
  auto* e = f->Add<TEdit>(12, 12, 150, 21);
  std::vector<String> changes;
  e->OnChange = [&](TObject*) { changes.push_back(e->Text()); };
  e->OnKeyPress = [](TObject*, char& key) {
    if ((key < '0' || key > '9') && key != VK_BACK) key = 0;
  };
  ASSERT_TRUE(f->ShowAndWait());
  ASSERT_TRUE(TypeInto(e->Handle(), "1a2b3"));
  EXPECT_EQ(e->Text(), "123");
  EXPECT_EQ(changes, (std::vector<String>{"1", "12", "123"}));
  EXPECT_TRUE(e->Modified());
  ASSERT_TRUE(KeyChord({VK_BACK}));
  EXPECT_EQ(e->Text(), "12");
}

TEST(Edit, OnChangeFiresForCodeButNotWhileLoading) {
  TFormPtr f(new TTestForm("Edit change"));
  auto* e = f->Add<TEdit>(12, 12, 150, 21);
  int changes = 0;
  e->OnChange = [&](TObject*) { ++changes; };
  e->SetText("1514");
  EXPECT_EQ(changes, 0);
  ASSERT_TRUE(f->ShowAndWait());
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(WindowText(e->Handle()), "1514");
  e->SetText("512");
  EXPECT_EQ(changes, 1);
  e->SetText("512");
  EXPECT_EQ(changes, 1);
  // Typing into a read-only edit changes nothing; MaxLength cuts typing.
  e->SetReadOnly(true);
  ASSERT_TRUE(TypeInto(e->Handle(), "9"));
  EXPECT_EQ(e->Text(), "512");
  e->SetReadOnly(false);
  e->SetMaxLength(4);
  e->SelectAll();
  ASSERT_TRUE(TypeText("abcd"));
  EXPECT_EQ(changes, 5);
  ASSERT_TRUE(TypeText("ef"));
  EXPECT_EQ(e->Text(), "abcd");
}

TEST(Edit, PasswordCharSwitchedAtRunTimeHidesAndShowsTheText) {
  TFormPtr f(new TTestForm("Edit password"));
  auto* e = f->Add<TEdit>(12, 12, 150, 21);
  e->SetPasswordChar('*');
  e->SetText("secret");
  auto* other = f->Add<TButton>(12, 50, 75, 25);
  ASSERT_TRUE(f->ShowAndWait());
  // No caret in the pictures.
  ASSERT_TRUE(FocusWindow(other->Handle()));
  EXPECT_EQ(SendMessageA(e->Handle(), EM_GETPASSWORDCHAR, 0, 0), '*');
  SaveScreenshot(f->Handle(), "masked");
  TDibSurface masked = CaptureClient(e->Handle());
  e->SetPasswordChar(0);
  EXPECT_EQ(SendMessageA(e->Handle(), EM_GETPASSWORDCHAR, 0, 0), 0);
  SaveScreenshot(f->Handle(), "shown");
  TDibSurface shown = CaptureClient(e->Handle());
  e->SetPasswordChar('*');
  TDibSurface again = CaptureClient(e->Handle());
  EXPECT_EQ(e->Text(), "secret");
  auto differ = [](const TDibSurface& a, const TDibSurface& b) {
    int n = 0;
    for (int y = 0; y < a.Height(); ++y)
      for (int x = 0; x < a.Width(); ++x) n += a.Pixel(x, y) != b.Pixel(x, y);
    return n;
  };
  EXPECT_GT(differ(masked, shown), 20);
  EXPECT_EQ(differ(masked, again), 0);
}

TEST(Edit, SelectionCharCaseAndRecreation) {
  TFormPtr f(new TTestForm("Edit selection"));
  auto* e = f->Add<TEdit>(12, 12, 200, 21);
  e->SetText("hello world");
  auto* before = f->Add<TButton>(12, 50, 75, 25);
  before->SetTabOrder(0);
  ASSERT_TRUE(f->ShowAndWait());
  // Tabbing in selects the whole text.
  ASSERT_TRUE(FocusWindow(before->Handle()));
  ASSERT_TRUE(KeyChord({VK_TAB}));
  EXPECT_TRUE(e->Focused());
  EXPECT_EQ(e->SelLength(), 11);
  e->SetSelStart(6);
  e->SetSelLength(5);
  EXPECT_EQ(e->SelText(), "world");
  e->SetSelText("there");
  EXPECT_EQ(e->Text(), "hello there");
  e->SelectAll();
  EXPECT_EQ(e->SelLength(), 11);
  HWND window = e->Handle();
  e->SetCharCase(ecUpperCase);
  EXPECT_NE(e->Handle(), window);
  EXPECT_EQ(e->Text(), "HELLO THERE");
  ASSERT_TRUE(TypeInto(e->Handle(), "x"));
  EXPECT_NE(e->Text().find('X'), String::npos);
  e->SetBorderStyle(bsNone);
  EXPECT_FALSE(GetWindowLongA(e->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_NE(e->Text().find('X'), String::npos);
  EXPECT_TRUE(e->Modified());
}

// ---------------------------------------------------------------- memos

TEST(Memo, TakesMoreThanHundredKibAndKeepsTheEndInView) {
  TFormPtr f(new TTestForm("Memo log"));
  auto* m = f->Add<TMemo>(10, 10, 380, 200);
  m->SetReadOnly(true);
  m->SetWordWrap(false);
  m->SetScrollBars(ssBoth);
  ASSERT_TRUE(f->ShowAndWait());
  const String tail = StringOfChar('x', 90);
  TStringList lines;
  for (int i = 0; i < 1000; ++i) lines.Add(Format("%.4d ", i) + tail);
  m->Lines()->Assign(&lines);
  // Appending goes to the end and shows it.
  DWORD start = GetTickCount();
  for (int i = 1000; i < 1203; ++i) m->Lines()->Add(Format("%.4d ", i) + tail);
  EXPECT_LT(GetTickCount() - start, 3000u);
  ProcessQueuedMessages();
  SaveScreenshot(f->Handle());
  EXPECT_GT(GetWindowTextLengthA(m->Handle()), 100 * 1024);
  ASSERT_EQ(m->Lines()->Count(), 1203);
  EXPECT_EQ(m->Lines()->Strings(1202), "1202 " + tail);
  EXPECT_EQ(m->Lines()->Strings(0), "0000 " + tail);
  int first = static_cast<int>(SendMessageA(m->Handle(), EM_GETFIRSTVISIBLELINE, 0, 0));
  TEXTMETRICA tm{};
  HDC dc = GetDC(m->Handle());
  HGDIOBJ old = SelectObject(dc, m->Font()->Handle());
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(m->Handle(), dc);
  int visible = m->ClientHeight() / tm.tmHeight;
  EXPECT_GE(first + visible, 1202) << "first visible line " << first;
}

TEST(Memo, LinesEditTheTextWithOrWithoutAWindow) {
  TFormPtr f(new TTestForm("Memo lines"));
  auto* shown = f->Add<TMemo>(10, 10, 300, 120);
  auto* windowless = new TMemo(f.get());
  ASSERT_TRUE(f->ShowAndWait());
  ASSERT_TRUE(shown->HandleAllocated());
  for (TMemo* m : {shown, windowless}) {
    SCOPED_TRACE(m == shown ? "with a window" : "without a window");
    TStrings* l = m->Lines();
    l->SetText("one\ntwo\rthree");
    EXPECT_EQ(m->Text(), "one\r\ntwo\r\nthree");
    EXPECT_EQ(l->Count(), 3);
    EXPECT_NE(&l->Get(0), &l->Get(1));
    EXPECT_EQ(l->Get(1), "two");
    l->Add("four");
    l->Insert(0, "zero");
    l->Delete(2);
    l->Put(1, "ONE");
    EXPECT_EQ(m->Text(), "zero\r\nONE\r\nthree\r\nfour");
    l->Delete(3);
    EXPECT_EQ(m->Text(), "zero\r\nONE\r\nthree");
    l->Add("end");
    EXPECT_EQ(m->Text(), "zero\r\nONE\r\nthree\r\nend");
    EXPECT_THROW(l->Get(4), EStringListError);
    // A line with breaks in it adds as many lines.
    EXPECT_EQ(l->Count(), 4);
    l->Add("x\r\ny\nz");
    EXPECT_EQ(l->Count(), 7);
    EXPECT_EQ(l->Get(5), "y");
    l->Add("last");
    EXPECT_EQ(l->Count(), 8);
    EXPECT_EQ(l->Get(6), "z");
    l->Clear();
    EXPECT_EQ(l->Count(), 0);
    l->Add("a");
    l->Add("b");
    EXPECT_EQ(m->Text(), "a\r\nb\r\n");
    EXPECT_EQ(l->Count(), 2);
  }
  // Typing shows in the lines at once.
  ASSERT_TRUE(TypeInto(shown->Handle(), "c"));
  EXPECT_EQ(shown->Lines()->Count(), 3);
  EXPECT_EQ(shown->Lines()->Strings(2), "c");
  String file = MakeTempFolder("memo-lines") + "\\lines.txt";
  shown->Lines()->SaveToFile(file);
  windowless->Lines()->LoadFromFile(file);
  EXPECT_EQ(windowless->Text(), "a\r\nb\r\nc");
  // The text survives the window being made again.
  shown->SetScrollBars(ssVertical);
  EXPECT_EQ(shown->Text(), "a\r\nb\r\nc");
  EXPECT_TRUE(GetWindowLongA(shown->Handle(), GWL_STYLE) & WS_VSCROLL);
}

TEST(Memo, EnterAndEscapeReachTheButtonsUnlessTheMemoWantsThem) {
  struct {
    const char* what;
    bool wantReturns, wantTabs;
    WORD key;
    const char* text;
    const char* clicked;
  } cases[] = {
      {"Enter, wanted", true, false, VK_RETURN, "ab\r\n", ""},
      {"Enter, not wanted", false, false, VK_RETURN, "ab", "OK"},
      {"Escape", true, false, VK_ESCAPE, "ab", "Cancel"},
      {"Tab, wanted", true, true, VK_TAB, "ab\t", ""},
      {"Tab, not wanted", true, false, VK_TAB, "ab", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TFormPtr f(new TTestForm("Memo keys"));
    auto* m = f->Add<TMemo>(10, 10, 200, 80);
    m->SetWantReturns(c.wantReturns);
    m->SetWantTabs(c.wantTabs);
    String clicked;
    auto* ok = f->Add<TButton>(10, 100, 75, 25);
    ok->SetCaption("OK");
    ok->SetDefault(true);
    ok->OnClick = [&](TObject*) { clicked += "OK"; };
    auto* cancel = f->Add<TButton>(90, 100, 75, 25);
    cancel->SetCaption("Cancel");
    cancel->SetCancel(true);
    cancel->OnClick = [&](TObject*) { clicked += "Cancel"; };
    ASSERT_TRUE(f->ShowAndWait());
    ASSERT_TRUE(TypeInto(m->Handle(), "ab"));
    ASSERT_TRUE(KeyChord({c.key}));
    EXPECT_EQ(m->Text(), c.text);
    EXPECT_EQ(clicked, c.clicked);
    EXPECT_EQ(m->Focused(), c.key != VK_TAB || c.wantTabs);
  }
}

// ---------------------------------------------------------------- combo boxes

TEST(ComboBox, ItemsIndexTextAndEvents) {
  TFormPtr f(new TTestForm("Combo events"));
  auto* mode = f->Add<TComboBox>(10, 10, 120, 21);
  mode->SetStyle(csDropDownList);
  mode->Items()->Add("Binary");
  mode->Items()->Add("ASCII");
  mode->SetItemIndex(0);
  EXPECT_EQ(mode->Text(), "Binary");
  String events;
  mode->OnClick = [&](TObject*) { events += "click "; };
  mode->OnSelect = [&](TObject*) { events += "select(" + mode->Text() + ") "; };
  mode->OnChange = [&](TObject*) { events += "change "; };
  auto* dir = f->Add<TComboBox>(10, 50, 200, 21);
  dir->Items()->SetCommaText("/pub,/pub/linux,/incoming");
  String dirEvents;
  dir->OnChange = [&](TObject*) { dirEvents += "change(" + dir->Text() + ") "; };
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  EXPECT_EQ(WindowText(mode->Handle()), "Binary");
  // Code changes no event; an index outside the list selects nothing.
  mode->SetItemIndex(5);
  EXPECT_EQ(mode->ItemIndex(), -1);
  EXPECT_EQ(mode->Text(), "");
  mode->SetItemIndex(1);
  EXPECT_EQ(mode->Text(), "ASCII");
  mode->SetText("Binary");
  EXPECT_EQ(mode->ItemIndex(), 0);
  EXPECT_EQ(events, "");
  ASSERT_TRUE(FocusWindow(mode->Handle()));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  EXPECT_EQ(mode->ItemIndex(), 1);
  EXPECT_EQ(events, "click select(ASCII) ");
  // Without OnSelect a choice is a change; typing is one too.
  ASSERT_NE(dir->EditHandle(), nullptr);
  ASSERT_TRUE(TypeInto(dir->EditHandle(), "/x"));
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  EXPECT_EQ(dirEvents, "change(/) change(/x) change(/pub) ");
  EXPECT_EQ(dir->Text(), "/pub");
  EXPECT_EQ(dir->ItemIndex(), 0);
}

TEST(ComboBox, SortedItemsKeepTheirOrderInTheWindow) {
  TFormPtr f(new TTestForm("Combo sorted"));
  auto* c = f->Add<TComboBox>(10, 10, 150, 21);
  c->SetSorted(true);
  for (const char* s : {"pear", "Apple", "fig"}) c->Items()->Add(s);
  ASSERT_TRUE(f->ShowAndWait());
  c->Items()->Add("banana");
  std::vector<String> expected{"Apple", "banana", "fig", "pear"};
  ASSERT_EQ(c->Items()->Count(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(c->Items()->Strings(i), expected[static_cast<size_t>(i)]);
    char buf[32] = {};
    SendMessageA(c->Handle(), CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
    EXPECT_EQ(String(buf), expected[static_cast<size_t>(i)]);
  }
  EXPECT_EQ(c->Items()->IndexOf("FIG"), 2);
}

TEST(ComboBox, ItemsObjectsAndTextSurviveRecreation) {
  TFormPtr f(new TTestForm("Combo recreate"));
  TObject a, b, c;
  auto* list = f->Add<TComboBox>(10, 10, 150, 21);
  list->SetStyle(csDropDownList);
  list->Items()->AddObject("one", &a);
  list->Items()->AddObject("two", &b);
  list->Items()->AddObject("three", &c);
  auto* typed = f->Add<TComboBox>(10, 50, 150, 21);
  typed->Items()->Add("listed");
  ASSERT_TRUE(f->ShowAndWait());
  list->SetItemIndex(1);
  ASSERT_TRUE(TypeInto(typed->EditHandle(), "free text"));
  HWND before = list->Handle();
  list->SetStyle(csDropDown);
  typed->SetCharCase(ecLowerCase);
  SaveScreenshot(f->Handle(), "recreated");
  EXPECT_TRUE(IsWindowVisible(typed->Handle()));
  EXPECT_NE(list->Handle(), before);
  EXPECT_EQ(SendMessageA(list->Handle(), CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(list->Text(), "two");
  EXPECT_EQ(list->Items()->Objects(2), &c);
  EXPECT_EQ(typed->Text(), "free text");
  EXPECT_EQ(typed->ItemIndex(), -1);
  // The new inner edit is subclassed again.
  int keys = 0;
  typed->OnKeyPress = [&](TObject*, char&) { ++keys; };
  ASSERT_TRUE(TypeInto(typed->EditHandle(), "!"));
  EXPECT_EQ(keys, 1);
}

TEST(ComboBox, DropDownCountSetsTheListHeight) {
  TFormPtr f(new TTestForm("Combo drop-down"));
  auto* c = f->Add<TComboBox>(10, 10, 150, 21);
  for (int i = 0; i < 20; ++i) c->Items()->Add("Profile " + IntToStr(i));
  c->SetDropDownCount(5);
  String events;
  c->OnDropDown = [&](TObject*) { events += "down "; };
  c->OnCloseUp = [&](TObject*) { events += "up "; };
  auto* ok = f->Add<TButton>(200, 10, 75, 25);
  ok->SetDefault(true);
  int oks = 0;
  ok->OnClick = [&](TObject*) { ++oks; };
  ASSERT_TRUE(f->ShowAndWait());
  ASSERT_TRUE(FocusWindow(c->EditHandle()));
  SendMessageA(c->Handle(), CB_SHOWDROPDOWN, TRUE, 0);
  ASSERT_TRUE(WaitVisible(c->ListHandle()));
  SaveDesktopScreenshot("dropped");
  RECT r;
  GetWindowRect(c->ListHandle(), &r);
  int rows = c->ItemHeight();
  EXPECT_NEAR(r.bottom - r.top, 5 * rows + 2, 4) << "row height " << rows;
  // Enter takes the entry and closes the list; only then it is the form's.
  ASSERT_TRUE(KeyChord({VK_DOWN}));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_FALSE(SendMessageA(c->Handle(), CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_EQ(c->Text(), "Profile 0");
  EXPECT_EQ(events, "down up ");
  EXPECT_EQ(oks, 0);
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(oks, 1);
}

TEST(ComboBox, InnerEditKeysReachTheComboEvents) {
  TFormPtr f(new TTestForm("Combo keys"));
  auto* c = f->Add<TComboBox>(10, 10, 150, 21);
  std::vector<WORD> downs;
  c->OnKeyDown = [&](TObject* s, WORD& key, TShiftState) {
    EXPECT_EQ(s, c);
    downs.push_back(key);
  };
  c->OnKeyPress = [](TObject*, char& key) {
    if (key == ' ') key = 0;
  };
  ASSERT_TRUE(f->ShowAndWait());
  ASSERT_TRUE(TypeInto(c->EditHandle(), "a b"));
  ASSERT_TRUE(KeyChord({VK_RETURN}));
  EXPECT_EQ(c->Text(), "ab");
  ASSERT_FALSE(downs.empty());
  EXPECT_EQ(downs.back(), VK_RETURN);
  EXPECT_EQ(f->ActiveControl(), c);
  // A busy cursor shows over the edit as well.
  c->SetCursor(crHourGlass);
  ASSERT_TRUE(MoveTo(CentreOf(c->EditHandle())));
  EXPECT_TRUE(WaitFor([&] { return GetCursor() == CursorHandle(crHourGlass); }, 2000));
}

TEST(ComboBox, OwnerDrawnItemsDrawThroughTheEvent) {
  TFormPtr f(new TTestForm("Combo owner draw"));
  auto* c = f->Add<TComboBox>(10, 10, 150, 24);
  c->SetStyle(csOwnerDrawFixed);
  c->SetItemHeight(18);
  const TColor colours[] = {clRed, clLime, clBlue};
  for (const char* s : {"red", "green", "blue"}) c->Items()->Add(s);
  std::vector<TOwnerDrawState> states;
  c->OnDrawItem = [&](TWinControl* control, int index, TRect rect, TOwnerDrawState state) {
    auto* combo = static_cast<TComboBox*>(control);
    combo->Canvas()->Brush()->SetColor(colours[index]);
    combo->Canvas()->FillRect(rect);
    states.push_back(state);
  };
  c->SetItemIndex(1);
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  TDibSurface face = CaptureClient(c->Handle());
  EXPECT_GT(CountColor(face, RGB(0, 255, 0)), 50);
  EXPECT_EQ(CountColor(face, RGB(255, 0, 0)), 0);
  SendMessageA(c->Handle(), CB_SHOWDROPDOWN, TRUE, 0);
  ASSERT_TRUE(WaitVisible(c->ListHandle()));
  UpdateWindow(c->ListHandle());
  SaveDesktopScreenshot("dropped");
  TDibSurface list = CaptureClient(c->ListHandle());
  RECT red = ColorBounds(list, RGB(255, 0, 0)), blue = ColorBounds(list, RGB(0, 0, 255));
  EXPECT_EQ(red.bottom - red.top, 18);
  EXPECT_EQ(blue.top - red.top, 36);
  SendMessageA(c->Handle(), CB_SHOWDROPDOWN, FALSE, 0);
  bool sawEdit = false;
  for (auto s : states) sawEdit = sawEdit || s.Contains(odComboBoxEdit);
  EXPECT_TRUE(sawEdit);
}

// ---------------------------------------------------------------- list boxes

TEST(ListBox, OwnerDrawnRowsMeasureAndDrawThroughTheEvents) {
  TFormPtr f(new TTestForm("List owner draw"));
  auto* l = f->Add<TListBox>(10, 10, 150, 120);
  l->SetStyle(lbOwnerDrawVariable);
  const TColor colours[] = {clRed, clLime, clBlue};
  const int heights[] = {12, 20, 28};
  l->OnMeasureItem = [&](TWinControl*, int index, int& h) { h = heights[index]; };
  l->OnDrawItem = [&](TWinControl* control, int index, TRect rect, TOwnerDrawState) {
    TCanvas* c = static_cast<TListBox*>(control)->Canvas();
    c->Brush()->SetColor(colours[index]);
    c->FillRect(rect);
  };
  for (const char* s : {"a", "b", "c"}) l->Items()->Add(s);
  auto* fixed = f->Add<TListBox>(200, 10, 150, 120);
  fixed->SetStyle(lbOwnerDrawFixed);
  fixed->SetItemHeight(22);
  fixed->Items()->SetCommaText("first,second,third");
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  TDibSurface s = CaptureClient(l->Handle());
  const COLORREF rgb[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
  int top = 0;
  for (int i = 0; i < 3; ++i) {
    RECT b = ColorBounds(s, rgb[i]);
    EXPECT_EQ(b.top, top) << i;
    EXPECT_EQ(b.bottom - b.top, heights[i]) << i;
    top += heights[i];
  }
  EXPECT_EQ(fixed->ItemRect(1).Height(), 22);
  // Without OnDrawItem the rows show their text.
  TDibSurface t = CaptureClient(fixed->Handle());
  EXPECT_GT(CountColor(t, Rgb(clWindowText), 60), 20);
}

TEST(ListBox, ItemsAndSelectionSurviveRecreation) {
  TFormPtr f(new TTestForm("List recreate"));
  TObject tag;
  auto* l = f->Add<TListBox>(10, 10, 150, 60);
  l->SetMultiSelect(true);
  for (int i = 0; i < 20; ++i) l->Items()->Add("Row " + IntToStr(i));
  l->Items()->PutObject(3, &tag);
  l->SetSelected(2, true);
  l->SetSelected(5, true);
  EXPECT_EQ(l->SelCount(), 2);
  ASSERT_TRUE(f->ShowAndWait());
  EXPECT_EQ(SendMessageA(l->Handle(), LB_GETSELCOUNT, 0, 0), 2);
  l->SetSelected(7, true);
  l->SetTopIndex(6);
  l->SetScrollWidth(400);
  HWND before = l->Handle();
  l->SetColumns(2);
  EXPECT_NE(l->Handle(), before);
  EXPECT_TRUE(GetWindowLongA(l->Handle(), GWL_STYLE) & LBS_MULTICOLUMN);
  EXPECT_EQ(SendMessageA(l->Handle(), LB_GETCOUNT, 0, 0), 20);
  EXPECT_EQ(l->SelCount(), 3);
  EXPECT_TRUE(l->Selected(2) && l->Selected(5) && l->Selected(7));
  EXPECT_FALSE(l->Selected(3));
  EXPECT_EQ(l->Items()->Objects(3), &tag);
  // Single selection keeps the selected row.
  l->SetColumns(0);
  EXPECT_EQ(SendMessageA(l->Handle(), LB_GETHORIZONTALEXTENT, 0, 0), 400);
  l->SetMultiSelect(false);
  l->SetItemIndex(4);
  l->SetSorted(true);
  EXPECT_EQ(l->Items()->Strings(l->ItemIndex()), "Row 4");
  EXPECT_EQ(l->Items()->Strings(0), "Row 0");
  EXPECT_EQ(l->Items()->Strings(2), "Row 10");
  EXPECT_EQ(l->SelCount(), 1);
  SaveScreenshot(f->Handle());
}

TEST(ListBox, ClicksSelectAndPositionsFindRows) {
  TFormPtr f(new TTestForm("List clicks"));
  auto* l = f->Add<TListBox>(10, 10, 150, 120);
  for (const char* s : {"alpha", "beta", "gamma", "delta"}) l->Items()->Add(s);
  int clicks = 0, doubles = 0;
  l->OnClick = [&](TObject*) { ++clicks; };
  l->OnDblClick = [&](TObject*) { ++doubles; };
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  TRect r = l->ItemRect(2);
  POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  EXPECT_EQ(l->ItemAtPos(TPoint(centre.x, centre.y), true), 2);
  EXPECT_EQ(l->ItemAtPos(TPoint(centre.x, l->ItemRect(4).bottom + 2), true), -1);
  EXPECT_EQ(l->ItemAtPos(TPoint(centre.x, l->ItemRect(4).bottom + 2), false), 4);
  ASSERT_TRUE(Click(l->Handle(), centre));
  EXPECT_EQ(l->ItemIndex(), 2);
  EXPECT_EQ(clicks, 1);
  ASSERT_TRUE(DoubleClick(l->Handle(), centre));
  EXPECT_EQ(doubles, 1);
  int before = clicks;
  l->SetItemIndex(0);
  EXPECT_EQ(clicks, before);
  l->Clear();
  EXPECT_EQ(l->ItemIndex(), -1);
  EXPECT_EQ(SendMessageA(l->Handle(), LB_GETCOUNT, 0, 0), 0);
}

// ---------------------------------------------------------------- check boxes and radio buttons

namespace {
class TCheckForm : public TTestForm {
 public:
  TCheckForm() : TTestForm("Check boxes") {
    box = Add<TCheckBox>(10, 10, 150, 20);
    box->SetCaption("Keep Connection Alive");
    box->OnClick = [this](TObject*) { ++clicks; };
    box->SetChecked(true);
  }
  TCheckBox* box;
  int clicks = 0;
};
}  // namespace

TEST(CheckBox, OnClickFollowsEveryChangeButNotWhileLoading) {
  TOwned<TCheckForm> f(new TCheckForm);
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  TCheckBox* b = f->box;
  EXPECT_EQ(f->clicks, 0);
  EXPECT_EQ(SendMessageA(b->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  b->SetChecked(false);
  EXPECT_EQ(f->clicks, 1);
  b->SetChecked(false);
  EXPECT_EQ(f->clicks, 1);
  ASSERT_TRUE(Click(b->Handle()));
  EXPECT_TRUE(b->Checked());
  EXPECT_EQ(f->clicks, 2);
  // Grayed comes between unchecked and checked.
  b->SetState(cbUnchecked);
  b->SetAllowGrayed(true);
  const TCheckBoxState cycle[] = {cbGrayed, cbChecked, cbUnchecked};
  for (TCheckBoxState s : cycle) {
    ASSERT_TRUE(Click(b->Handle()));
    EXPECT_EQ(b->State(), s);
    EXPECT_EQ(SendMessageA(b->Handle(), BM_GETCHECK, 0, 0), static_cast<LRESULT>(s));
  }
  EXPECT_EQ(f->clicks, 6);
  b->SetState(cbGrayed);
  b->SetAlignment(taLeftJustify);
  EXPECT_TRUE(GetWindowLongA(b->Handle(), GWL_STYLE) & BS_LEFTTEXT);
  EXPECT_EQ(SendMessageA(b->Handle(), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
  EXPECT_EQ(f->clicks, 7);
}

TEST(RadioButton, CheckingOneUnchecksItsSiblingsOnly) {
  TFormPtr f(new TTestForm("Radio buttons"));
  auto* group = f->Add<TGroupBox>(10, 10, 200, 110);
  group->SetCaption("Connection Type");
  TRadioButton* r[3];
  std::vector<int> clicks(4);
  for (int i = 0; i < 3; ++i) {
    r[i] = f->Add<TRadioButton>(10, 20 + 25 * i, 150, 20, group);
    r[i]->SetCaption("Choice " + IntToStr(i));
    r[i]->OnClick = [&clicks, i](TObject*) { ++clicks[static_cast<size_t>(i)]; };
  }
  auto* other = f->Add<TRadioButton>(230, 30, 150, 20);
  other->SetCaption("Elsewhere");
  other->OnClick = [&](TObject*) { ++clicks[3]; };
  r[0]->SetChecked(true);
  other->SetChecked(true);
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  EXPECT_EQ(clicks, (std::vector<int>{0, 0, 0, 0}));
  ASSERT_TRUE(Click(r[1]->Handle()));
  EXPECT_TRUE(r[1]->Checked());
  EXPECT_FALSE(r[0]->Checked());
  EXPECT_EQ(SendMessageA(r[0]->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_TRUE(other->Checked());
  r[2]->SetChecked(true);
  EXPECT_FALSE(r[1]->Checked());
  EXPECT_EQ(SendMessageA(r[1]->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(clicks, (std::vector<int>{0, 1, 1, 0}));
  // Only the checked one is a tab stop.
  EXPECT_TRUE(r[2]->TabStop());
  EXPECT_FALSE(r[1]->TabStop());
}

TEST(GroupBox, ChildrenSitInsideTheFrameAndTheCaptionFocusesThem) {
  TFormPtr f(new TTestForm("Group box"));
  auto* edit = f->Add<TEdit>(10, 10, 100, 21);
  auto* group = f->Add<TGroupBox>(10, 50, 200, 100);
  group->SetCaption("&Options");
  auto* inner = f->Add<TPanel>(0, 0, 10, 10, group);
  inner->SetAlign(alClient);
  auto* box = f->Add<TCheckBox>(10, 10, 100, 20, inner);
  box->SetCaption("Passive");
  ASSERT_TRUE(f->ShowAndWait());
  SaveScreenshot(f->Handle());
  EXPECT_GE(inner->Top(), 12);
  EXPECT_GT(inner->Left(), 0);
  EXPECT_LT(inner->Left() + inner->Width(), group->Width());
  EXPECT_LT(inner->Top() + inner->Height(), group->Height());
  ASSERT_TRUE(FocusWindow(edit->Handle()));
  ASSERT_TRUE(KeyChord({VK_MENU, 'O'}));
  EXPECT_TRUE(WaitFor([&] { return box->Focused(); }, 2000));
}
