// The tree and list views: custom-draw objects, header sort marks, context
// menus from the mouse and the keyboard, colours and the tree's image
// callbacks, on real windows of the main prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "classlib/Forms.h"
#include "shellctl/Upttreelist.h"
#include "support/Input.h"
#include "support/Pixels.h"
#include "support/Screenshot.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

namespace {

// Forces the comctl32 version for one scope.
struct TForcedVersion {
  explicit TForcedVersion(int major, int minor) {
    TComCtlVersion v{major, minor};
    ForceComCtlVersion(&v);
  }
  ~TForcedVersion() { ForceComCtlVersion(nullptr); }
};

// A popup menu that records where it would open instead of tracking.
class TRecordingPopup : public TPopupMenu {
 public:
  using TPopupMenu::TPopupMenu;
  void Popup(int x, int y) override { Shown.push_back(TPoint(x, y)); }
  std::vector<TPoint> Shown;
};

// A list that counts its header work.
class TCountingList : public TPTListView {
 public:
  using TPTListView::TPTListView;
  void SetHeaderODStyle() override {
    ++ODStyleCalls;
    TPTListView::SetHeaderODStyle();
  }
  void DrawHeader(int index, const TRect& rect) override {
    DrawnHeaders.push_back(index);
    TPTListView::DrawHeader(index, rect);
  }
  int ODStyleCalls = 0;
  std::vector<int> DrawnHeaders;
};

class TViewsForm : public TForm {
 public:
  explicit TViewsForm(TComponent* owner) : TForm(owner) {
    SetCaption("PT views");
    SetBounds(40, 40, 720, 400);
    Menu = new TRecordingPopup(this);
    List = new TCountingList(this);
    List->SetParent(this);
    List->SetBounds(8, 8, 420, 340);
    List->SetViewStyle(vsReport);
    List->SetHideSelection(false);
    for (const char* c : {"Name", "Size", "Date"}) {
      TListColumn* col = List->Columns()->Add();
      col->SetCaption(c);
      col->SetWidth(120);
    }
    List->SetPopupMenu(Menu);
    Tree = new TPTTreeView(this);
    Tree->SetParent(this);
    Tree->SetBounds(440, 8, 260, 340);
    Tree->SetHideSelection(false);
    Tree->SetPopupMenu(Menu);
    EndLoading();
  }
  void AddItems(int n) {
    for (int i = 0; i < n; ++i) {
      TListItem* it = List->Items()->Add();
      it->SetCaption("Item " + IntToStr(i));
      it->SubItems()->Add(IntToStr(i * 100));
      it->SubItems()->Add("Jan 12  2003");
      Tree->Items()->Add(nullptr, "Node " + IntToStr(i));
    }
  }
  TRecordingPopup* Menu;
  TCountingList* List;
  TPTTreeView* Tree;
};

struct TViewsFixture : ::testing::Test {
  void SetUp() override { form = new TViewsForm(Application); }
  void TearDown() override {
    ForceComCtlVersion(nullptr);
    form->Free();
  }
  void ShowForm() {
    form->Show();
    ASSERT_TRUE(WaitVisible(form->Handle()));
    PumpFor(100);
  }
  TViewsForm* form = nullptr;
};

// KeyChord for F10 without Shift: the system puts the form into menu mode
// (its window menu), which Escape from another thread ends.
::testing::AssertionResult KeyChordOutOfMenuMode(std::initializer_list<WORD> keys) {
  std::atomic<bool> done{false};
  std::thread escape([&] {
    for (int i = 0; i < 50 && !done; ++i) {
      Sleep(100);
      if (done || i < 3) continue;
      INPUT in[2]{};
      in[0].type = INPUT_KEYBOARD;
      in[0].ki.wVk = VK_ESCAPE;
      in[1] = in[0];
      in[1].ki.dwFlags = KEYEVENTF_KEYUP;
      SendInput(2, in, sizeof(INPUT));
    }
  });
  ::testing::AssertionResult r = KeyChord(keys);
  done = true;
  escape.join();
  return r;
}

int HeaderFormat(HWND header, int i) {
  HDITEMA item{};
  item.mask = HDI_FORMAT;
  SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
  return item.fmt;
}

}  // namespace

// ---------------------------------------------------------------- Apply

TEST(PTCustomDraw, ApplyTable) {
  TDibSurface dib(16, 16);
  HDC dc = dib.Dc();
  const COLORREF text = RGB(1, 2, 3), back = RGB(4, 5, 6);
  TFont controlFont;
  controlFont.SetName("Arial");
  const DWORD stages[] = {CDDS_PREPAINT, CDDS_ITEMPREPAINT, CDDS_ITEMPOSTPAINT, CDDS_POSTPAINT};
  for (bool tree : {true, false})
    for (DWORD stage : stages)
      for (bool skip : {false, true})
        for (bool font : {false, true})
          for (bool brush : {false, true})
            for (bool set : {false, true}) {
              SCOPED_TRACE(::testing::Message() << (tree ? "tree" : "list") << " stage " << std::hex << stage << std::dec
                                                << " skip " << skip << " font " << font << " brush " << brush << " set "
                                                << set);
              HGDIOBJ oldFont = GetCurrentObject(dc, OBJ_FONT);
              SetTextColor(dc, text);
              SetBkColor(dc, back);
              NMLVCUSTOMDRAW lv{};
              NMTVCUSTOMDRAW tv{};
              NMCUSTOMDRAW& nm = tree ? tv.nmcd : lv.nmcd;
              COLORREF& clrText = tree ? tv.clrText : lv.clrText;
              COLORREF& clrTextBk = tree ? tv.clrTextBk : lv.clrTextBk;
              nm.dwDrawStage = stage;
              nm.hdc = dc;
              clrText = RGB(9, 9, 9);
              clrTextBk = RGB(8, 8, 8);
              LRESULT result = 0x1000;  // whatever the answer held before
              TPTCustomDraw* cd;
              if (tree)
                cd = new TPTTvCustomDraw(nm, result, &controlFont);
              else
                cd = new TPTLvCustomDraw(nm, result, &controlFont);
              cd->SetWantItemDraw(tree ? 1 : 0);
              EXPECT_EQ(cd->Font()->Color(), static_cast<TColor>(text));
              EXPECT_EQ(cd->Font()->Name(), "Arial");
              EXPECT_EQ(cd->Brush()->Color(), static_cast<TColor>(back));
              cd->SetSkipDefault(skip);
              if (font) cd->Font()->SetColor(clRed);
              if (brush) cd->Brush()->SetColor(clLime);
              if (set) cd->SetResult(0x40);
              cd->Apply();

              LRESULT want = set ? 0x40 : 0;
              bool newFont = false;
              if (stage == CDDS_PREPAINT && !set && tree) want |= CDRF_NOTIFYITEMDRAW;
              if (stage == CDDS_ITEMPREPAINT) {
                if (skip) {
                  if (!set) want |= CDRF_SKIPDEFAULT;
                } else if (font) {
                  want |= CDRF_NEWFONT;
                  newFont = true;
                }
              }
              EXPECT_EQ(result, want);
              bool colours = stage == CDDS_ITEMPREPAINT && !skip;
              EXPECT_EQ(clrText, colours && font ? RGB(255, 0, 0) : RGB(9, 9, 9));
              EXPECT_EQ(clrTextBk, colours && brush ? RGB(0, 255, 0) : RGB(8, 8, 8));
              if (newFont)
                EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), cd->Font()->Handle());
              else
                EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), oldFont);
              SelectObject(dc, oldFont);
              delete cd;
            }
}

TEST(PTCustomDraw, StagesAndReset) {
  NMCUSTOMDRAW nm{};
  LRESULT result = 0;
  TPTLvCustomDraw cd(nm, result, nullptr);
  const std::pair<DWORD, TPTCustomDrawStage> stages[] = {
      {CDDS_PREPAINT, ptcdsPrePaint},          {CDDS_POSTPAINT, ptcdsPostPaint}, {CDDS_ITEMPREPAINT, ptcdsItemPrePaint},
      {CDDS_ITEMPOSTPAINT, ptcdsItemPostPaint}, {CDDS_PREERASE, ptcdsUnknown},   {CDDS_ITEMPREERASE, ptcdsUnknown},
      {CDDS_SUBITEM | CDDS_ITEMPREPAINT, ptcdsUnknown}};
  for (auto [raw, stage] : stages) {
    nm.dwDrawStage = raw;
    EXPECT_EQ(cd.DrawStage(), stage) << std::hex << raw;
    EXPECT_EQ(cd.RawDrawStage(), raw);
    EXPECT_EQ(cd.IsItem(), (raw & CDDS_ITEM) != 0);
  }
  cd.SetResult(5);
  cd.Font()->SetColor(clBlue);
  EXPECT_TRUE(cd.ResultSet());
  EXPECT_TRUE(cd.FontChanged());
  NMCUSTOMDRAW other{};
  LRESULT otherResult = 7;
  cd.Reset(other, otherResult);
  EXPECT_FALSE(cd.ResultSet());
  EXPECT_FALSE(cd.FontChanged());
  EXPECT_EQ(cd.Result(), 7);
  EXPECT_EQ(result, 5);
}

// Handlers colour the odd rows of a real list and tree; the pixels show it.
TEST_F(TViewsFixture, OddRowsColouredOnScreen) {
  form->AddItems(6);
  std::vector<int> subItemStages;
  form->List->OnPTCustomDrawEx = [&](TObject*, TPTCustomDraw* cd, TListItem* item) {
    if (cd->RawDrawStage() & CDDS_SUBITEM) subItemStages.push_back(static_cast<int>(cd->DrawStage()));
    if (item && item->Index() % 2 == 1) {
      cd->Brush()->SetColor(clYellow);
      cd->Font()->SetColor(clRed);
    }
  };
  form->Tree->OnPTCustomDraw = [&](TObject*, TPTCustomDraw* cd, TTreeNode* node) {
    if (cd->DrawStage() == ptcdsItemPrePaint && node && node->Index() % 2 == 1) cd->Brush()->SetColor(clYellow);
  };
  ShowForm();
  form->List->Invalidate();
  form->Tree->Invalidate();
  TDibSurface list = CaptureClient(form->List->Handle());
  TDibSurface tree = CaptureClient(form->Tree->Handle());
  SaveScreenshot(form->Handle());
  for (int i = 0; i < 6; ++i) {
    TRect r = form->List->Items()->Item(i)->DisplayRect(drLabel);
    int yellow = CountColor(list, r, RGB(255, 255, 0));
    if (i % 2) {
      EXPECT_GT(yellow, r.Width() * r.Height() / 3) << "list row " << i;
      EXPECT_GT(CountColor(list, r, RGB(255, 0, 0), 60), 0) << "list row " << i;
    } else {
      EXPECT_EQ(yellow, 0) << "list row " << i;
    }
    TRect n = form->Tree->Items()->Item(i)->DisplayRect(true);
    int treeYellow = CountColor(tree, n, RGB(255, 255, 0));
    if (i % 2)
      EXPECT_GT(treeYellow, n.Width() * n.Height() / 3) << "tree node " << i;
    else
      EXPECT_EQ(treeYellow, 0) << "tree node " << i;
  }
  // The list's 0x20 at the item stage brings the sub-item stages, as unknown.
  ASSERT_FALSE(subItemStages.empty());
  for (int s : subItemStages) EXPECT_EQ(s, ptcdsUnknown);
  // The last object lives until the next notification.
  EXPECT_NE(form->List->CustomDraw(), nullptr);
}

// ---------------------------------------------------------------- header marks

// A view asks for the rows' stages only while a handler draws them: each
// is a message to the parent for every row painted.
TEST_F(TViewsFixture, ItemStagesOnlyForAHandler) {
  form->AddItems(3);
  ShowForm();
  HDC dc = CreateCompatibleDC(nullptr);
  auto prePaint = [&](TWinControl* view) {
    NMLVCUSTOMDRAW cd{};  // the larger of the list's and the tree's records
    cd.nmcd.hdr.hwndFrom = view->Handle();
    cd.nmcd.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(view->Handle()));
    cd.nmcd.hdr.code = NM_CUSTOMDRAW;
    cd.nmcd.dwDrawStage = CDDS_PREPAINT;
    cd.nmcd.hdc = dc;
    return SendMessageA(form->Handle(), WM_NOTIFY, cd.nmcd.hdr.idFrom, reinterpret_cast<LPARAM>(&cd));
  };
  EXPECT_EQ(prePaint(form->List) & CDRF_NOTIFYITEMDRAW, 0);
  EXPECT_EQ(prePaint(form->Tree) & CDRF_NOTIFYITEMDRAW, 0);
  form->List->OnPTCustomDrawEx = [](TObject*, TPTCustomDraw*, TListItem*) {};
  form->Tree->OnPTCustomDraw = [](TObject*, TPTCustomDraw*, TTreeNode*) {};
  EXPECT_NE(prePaint(form->List) & CDRF_NOTIFYITEMDRAW, 0);
  EXPECT_NE(prePaint(form->Tree) & CDRF_NOTIFYITEMDRAW, 0);
  DeleteDC(dc);
  SaveScreenshot(form->Handle());
}

TEST_F(TViewsFixture, HeaderODStyleTable) {
  form->List->Columns()->Items(1)->SetAlignment(taRightJustify);
  form->List->Columns()->Items(2)->SetAlignment(taCenter);
  form->List->HandleNeeded();
  HWND header = form->List->GetHeaderHandle();
  ASSERT_TRUE(header);
  const std::pair<int, int> versions[] = {{4, 0}, {4, 70}, {5, 81}, {6, 0}};
  const TPTLvHeaderSortDisplayMode modes[] = {ptlvNone, ptlvLeftAlign, ptlvRightOfText, ptlvRightAlign};
  const std::pair<int, TPTLvSortDirection> sorts[] = {{-1, ptsdAsc}, {1, ptsdAsc}, {1, ptsdDesc}, {0, ptsdDesc}};
  for (auto [major, minor] : versions)
    for (TPTLvHeaderSortDisplayMode mode : modes)
      for (auto [column, direction] : sorts) {
        SCOPED_TRACE(::testing::Message() << major << "." << minor << " mode " << mode << " column " << column
                                          << " direction " << direction);
        {
          TForcedVersion any(6, 0);
          form->List->SetHeaderSortDisplayMode(mode == ptlvNone ? ptlvLeftAlign : ptlvNone);
        }
        TForcedVersion forced(major, minor);
        bool v6 = major >= 6;
        form->List->SetHeaderSortDisplayMode(mode);
        form->List->SetHeaderSortColumn(column);
        form->List->SetHeaderSortDirection(direction);
        form->List->SetHeaderODStyle();
        TPTLvHeaderSortDisplayMode stored = major > 4 || minor >= 70 ? mode : ptlvNone;
        EXPECT_EQ(form->List->HeaderSortDisplayMode(), stored);
        bool ownerDraw = stored != ptlvNone && !(v6 && stored == ptlvRightOfText);
        const int justify[] = {HDF_LEFT, HDF_RIGHT, HDF_CENTER};
        for (int i = 0; i < 3; ++i) {
          int want = justify[i];
          if (ownerDraw)
            want |= HDF_OWNERDRAW;
          else
            want |= HDF_STRING | (v6 && i == column ? (direction == ptsdDesc ? HDF_SORTUP : HDF_SORTDOWN) : 0);
          EXPECT_EQ(HeaderFormat(header, i), want) << "column " << i;
        }
      }
}

namespace {

// Draws one header item of the list into a DIB and tells where the mark is.
struct THeaderShot {
  TDibSurface Dib;
  RECT Mark{}, Text{};  // the arrow's pixels (shadow and light), the caption's
  bool Glyph() const { return Mark.right > Mark.left; }
  // Pixels of the arrow in one row of the mark.
  int MarkPixelsInRow(int y) const {
    RECT row{Mark.left, y, Mark.right, y + 1};
    return CountColor(Dib, row, ColorToRGB(clBtnShadow)) + CountColor(Dib, row, ColorToRGB(clBtnHighlight));
  }
};

const COLORREF kPaper = RGB(0, 0, 128);

// The item's rectangle is width wide; the column (whose width the rules
// read) columnWidth (0: width).
THeaderShot DrawItem(TPTListView* list, int index, int width, int height, int columnWidth = 0) {
  list->Columns()->Items(index)->SetWidth(columnWidth ? columnWidth : width);
  THeaderShot s;
  s.Dib = TDibSurface(width, height);
  HBRUSH paper = CreateSolidBrush(kPaper);
  RECT all{0, 0, width, height};
  FillRect(s.Dib.Dc(), &all, paper);
  DeleteObject(paper);
  list->HeaderCanvas()->SetHandle(s.Dib.Dc());
  list->HeaderCanvas()->Font()->Assign(list->Font());
  list->HeaderCanvas()->Brush()->SetColor(clBtnFace);
  list->DefaultDrawHeader(index, TRect(0, 0, width, height));
  list->HeaderCanvas()->SetHandle(nullptr);
  RECT shadow = ColorBounds(s.Dib, ColorToRGB(clBtnShadow)), light = ColorBounds(s.Dib, ColorToRGB(clBtnHighlight));
  if (light.right <= light.left)
    s.Mark = shadow;
  else if (shadow.right <= shadow.left)
    s.Mark = light;
  else
    UnionRect(&s.Mark, &shadow, &light);
  s.Text = ColorBounds(s.Dib, RGB(0, 0, 0), 60);
  return s;
}

}  // namespace

TEST_F(TViewsFixture, DefaultDrawHeaderGlyphRules) {
  TPTListView* list = form->List;
  list->SetHeaderSortColumn(0);
  list->SetHeaderSortDirection(ptsdAsc);
  // Height 20: the glyph square of the item is 10 wide (LeftAlign, RightAlign);
  // RightOfText takes it from the caption's height.
  TDibSurface probe(4, 4);
  TCanvas c;
  c.SetHandle(probe.Dc());
  c.Font()->Assign(list->Font());
  int textHeight = c.TextHeight("Name");
  c.SetHandle(nullptr);
  const std::pair<TPTLvHeaderSortDisplayMode, int> glyphs[] = {
      {ptlvLeftAlign, 10}, {ptlvRightOfText, textHeight / 2}, {ptlvRightAlign, 10}};
  for (auto [mode, glyph] : glyphs) {
    list->SetHeaderSortDisplayMode(mode);
    SCOPED_TRACE(::testing::Message() << "mode " << mode << " glyph " << glyph);
    EXPECT_FALSE(DrawItem(list, 0, 120, 20, 2 * glyph).Glyph());
    EXPECT_TRUE(DrawItem(list, 0, 120, 20, 2 * glyph + 1).Glyph());
    EXPECT_TRUE(DrawItem(list, 0, 120, 20).Glyph());
  }
  // Height 8: the glyph is 4 wide; LeftAlign still wants more than 15 pixels.
  list->SetHeaderSortDisplayMode(ptlvLeftAlign);
  EXPECT_FALSE(DrawItem(list, 0, 120, 8, 15).Glyph());
  EXPECT_TRUE(DrawItem(list, 0, 120, 8, 16).Glyph());
  list->SetHeaderSortDisplayMode(ptlvRightAlign);
  EXPECT_TRUE(DrawItem(list, 0, 120, 8, 15).Glyph());
  // None, and no sort column: no glyph.
  list->SetHeaderSortDisplayMode(ptlvNone);
  EXPECT_FALSE(DrawItem(list, 0, 120, 20).Glyph());
  for (auto [mode, glyph] : glyphs) {
    list->SetHeaderSortDisplayMode(mode);
    list->SetHeaderSortColumn(-1);
    EXPECT_FALSE(DrawItem(list, 0, 120, 20).Glyph()) << mode;
    EXPECT_TRUE(DrawItem(list, 0, 120, 20).Text.right > 0) << mode;
    list->SetHeaderSortColumn(0);
    EXPECT_FALSE(DrawItem(list, 1, 120, 20).Glyph()) << "not the sort column, mode " << mode;
  }
}

TEST_F(TViewsFixture, DefaultDrawHeaderPlacesTheArrow) {
  TPTListView* list = form->List;
  list->SetHeaderSortColumn(0);
  const int w = 160, h = 20;
  for (TPTLvSortDirection dir : {ptsdAsc, ptsdDesc}) {
    list->SetHeaderSortDirection(dir);
    for (TAlignment align : {taLeftJustify, taRightJustify, taCenter}) {
      list->Columns()->Items(0)->SetAlignment(align);
      for (TPTLvHeaderSortDisplayMode mode : {ptlvLeftAlign, ptlvRightOfText, ptlvRightAlign}) {
        SCOPED_TRACE(::testing::Message() << "direction " << dir << " alignment " << align << " mode " << mode);
        list->SetHeaderSortDisplayMode(mode);
        THeaderShot s = DrawItem(list, 0, w, h);
        ASSERT_TRUE(s.Glyph());
        ASSERT_TRUE(s.Text.right > s.Text.left);
        RECT glyph = s.Mark;
        if (mode == ptlvLeftAlign) {
          EXPECT_LT(glyph.right, s.Text.left);
          EXPECT_LT(glyph.left, 10);
        } else if (mode == ptlvRightAlign || align == taRightJustify) {
          EXPECT_GT(glyph.left, s.Text.right);
          EXPECT_GT(glyph.left, w - 25);
        } else {
          // Just right of the caption.
          EXPECT_GT(glyph.left, s.Text.right);
          EXPECT_LT(glyph.left, s.Text.right + 12);
        }
        // Ascending: the down arrow, its top row whole; descending: the up
        // arrow, its bottom row whole.
        int width = glyph.right - glyph.left;
        int top = s.MarkPixelsInRow(glyph.top), bottom = s.MarkPixelsInRow(glyph.bottom - 1);
        if (dir == ptsdAsc) {
          EXPECT_GE(top, width - 3);
          EXPECT_LT(bottom, width / 2);
        } else {
          EXPECT_GE(bottom, width - 3);
          EXPECT_LT(top, width / 2);
        }
      }
    }
  }
}

TEST(PTArrows, ShapesInASquare) {
  TDibSurface dib(20, 20);
  TCanvas c;
  c.SetHandle(dib.Dc());
  DrawDownArrow(&c, TRect(2, 2, 12, 12), clWhite, clLime, clRed);
  c.SetHandle(nullptr);
  // h = 9 (odd), w = 10: the square (2,2)-(12,11) filled, the shadow's top row whole.
  EXPECT_TRUE(ColorAt(dib, 2, 2, RGB(255, 0, 0)));
  EXPECT_TRUE(ColorAt(dib, 10, 2, RGB(255, 0, 0)));
  EXPECT_TRUE(ColorAt(dib, 6, 10, RGB(255, 0, 0)));  // the tip
  EXPECT_TRUE(ColorAt(dib, 11, 5, RGB(255, 255, 255)));
  EXPECT_TRUE(ColorAt(dib, 2, 11, RGB(0, 0, 0)));  // below the square: untouched
  EXPECT_GT(CountColor(dib, RGB(0, 255, 0)), 3);

  TDibSurface up(20, 20);
  c.SetHandle(up.Dc());
  DrawUpArrow(&c, TRect(2, 2, 12, 12), clNone, clLime, clRed);
  c.SetHandle(nullptr);
  EXPECT_EQ(CountColor(up, RGB(255, 255, 255)), 0);  // clNone: no fill
  for (int x = 2; x < 11; ++x) EXPECT_TRUE(ColorAt(up, x, 10, RGB(0, 255, 0))) << x;
  EXPECT_TRUE(ColorAt(up, 6, 2, RGB(255, 0, 0)));
}

// The header's owner drawing reaches the list, and the list makes it
// owner-drawn again after the header notifications and a new column.
TEST_F(TViewsFixture, HeaderRouting) {
  TCountingList* list = form->List;
  list->SetHeaderSortDisplayMode(ptlvRightAlign);
  list->SetHeaderSortColumn(1);
  ShowForm();
  HWND header = list->GetHeaderHandle();
  ASSERT_TRUE(header);
  EXPECT_EQ(GetDlgCtrlID(header), 0);
  list->DrawnHeaders.clear();
  InvalidateRect(header, nullptr, TRUE);
  ASSERT_TRUE(WaitUntil([&] { return list->DrawnHeaders.size() >= 3; }));
  EXPECT_TRUE(HeaderFormat(header, 0) & HDF_OWNERDRAW);

  // A format set behind the list's back: the header tells the list (its own
  // HDN_ITEMCHANGED), which sets owner drawing again.
  HDITEMA plain{};
  plain.mask = HDI_FORMAT;
  plain.fmt = HDF_STRING;
  SendMessageA(header, HDM_SETITEMA, 0, reinterpret_cast<LPARAM>(&plain));
  EXPECT_TRUE(HeaderFormat(header, 0) & HDF_OWNERDRAW);

  HDITEMA width{};
  width.mask = HDI_WIDTH;
  width.cxy = list->Columns()->Items(0)->Width();
  const std::pair<UINT, const char*> codes[] = {
      {HDN_ENDTRACKA, "HDN_ENDTRACKA"},     {HDN_ENDTRACKW, "HDN_ENDTRACKW"},     {HDN_BEGINTRACKA, "HDN_BEGINTRACKA"},
      {HDN_BEGINTRACKW, "HDN_BEGINTRACKW"}, {HDN_ITEMCHANGEDA, "HDN_ITEMCHANGEDA"}, {HDN_ITEMCHANGEDW, "HDN_ITEMCHANGEDW"}};
  for (auto [code, name] : codes) {
    NMHEADERA nm{};
    nm.hdr.hwndFrom = header;
    nm.hdr.idFrom = 0;
    nm.hdr.code = code;
    nm.iItem = 0;
    nm.pitem = &width;
    int before = list->ODStyleCalls;
    SendMessageA(list->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
    EXPECT_GT(list->ODStyleCalls, before) << name;
  }
  // A click on an item repaints the whole header.
  for (UINT code : {HDN_ITEMCLICKA, HDN_ITEMCLICKW}) {
    ValidateRect(header, nullptr);
    NMHEADERA nm{};
    nm.hdr.hwndFrom = header;
    nm.hdr.code = code;
    nm.iItem = 1;
    SendMessageA(list->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
    RECT r;
    RECT client;
    GetClientRect(header, &client);
    EXPECT_TRUE(GetUpdateRect(header, &r, FALSE)) << code;
    EXPECT_EQ(r.right - r.left, client.right - client.left) << code;
  }
  // A column added later is owner-drawn too.
  TListColumn* extra = list->Columns()->Add();
  extra->SetCaption("Permissions");
  extra->SetWidth(100);
  EXPECT_EQ(HeaderFormat(header, 3), HDF_LEFT | HDF_OWNERDRAW);
  list->DrawnHeaders.clear();
  InvalidateRect(header, nullptr, TRUE);
  ASSERT_TRUE(WaitUntil([&] {
    return std::find(list->DrawnHeaders.begin(), list->DrawnHeaders.end(), 3) != list->DrawnHeaders.end();
  }));
  // The sort column's arrow is on screen.
  TDibSurface shot = CaptureClient(header);
  RECT item;
  SendMessageA(header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
  EXPECT_GT(CountColor(shot, item, ColorToRGB(clBtnShadow)), 4);
}

// One list per display mode, and the header's own flags under a forced 6.0.
TEST(PTListViewScreens, HeaderModes) {
  auto* form = new TForm(Application);
  struct TFree {
    TForm* f;
    ~TFree() {
      ForceComCtlVersion(nullptr);
      f->Free();
    }
  } freeForm{form};
  form->SetCaption("Header modes");
  form->SetBounds(20, 20, 1000, 560);
  form->EndLoading();
  const char* names[] = {"ptlvNone", "ptlvLeftAlign", "ptlvRightOfText", "ptlvRightAlign", "ptlvRightOfText 6.0"};
  std::vector<TPTListView*> lists;
  auto make = [&](int i, TPTLvHeaderSortDisplayMode mode) {
    auto* l = new TPTListView(form);
    l->SetParent(form);
    l->SetBounds(8, 8 + i * 104, 980, 96);
    l->SetViewStyle(vsReport);
    const std::pair<const char*, TAlignment> cols[] = {
        {"Name", taLeftJustify}, {"Size", taRightJustify}, {"Date", taCenter}, {"Permissions", taLeftJustify}};
    for (auto [caption, align] : cols) {
      TListColumn* c = l->Columns()->Add();
      c->SetCaption(caption);
      c->SetAlignment(align);
      c->SetWidth(180);
    }
    TListItem* it = l->Items()->Add();
    it->SetCaption(names[i]);
    it->SubItems()->Add("1024");
    it->SubItems()->Add("Jan 12  2003");
    it->SubItems()->Add("-rw-r--r--");
    l->SetHeaderSortDisplayMode(mode);
    l->SetHeaderSortColumn(i % 2 ? 1 : 0);
    l->SetHeaderSortDirection(ptsdDesc);
    lists.push_back(l);
  };
  const TPTLvHeaderSortDisplayMode modes[] = {ptlvNone, ptlvLeftAlign, ptlvRightOfText, ptlvRightAlign};
  for (int i = 0; i < 4; ++i) make(i, modes[i]);
  form->Show();
  ASSERT_TRUE(WaitVisible(form->Handle()));
  PumpFor(100);
  TComCtlVersion v6{6, 0};
  ForceComCtlVersion(&v6);
  make(4, ptlvRightOfText);
  lists[4]->HandleNeeded();
  PumpFor(200);
  HWND native = lists[4]->GetHeaderHandle();
  EXPECT_EQ(HeaderFormat(native, 0), HDF_LEFT | HDF_STRING | HDF_SORTUP);
  EXPECT_EQ(HeaderFormat(lists[2]->GetHeaderHandle(), 0) & HDF_OWNERDRAW, HDF_OWNERDRAW);
  SaveScreenshot(form->Handle(), "header-modes");
  // The owner-drawn descending mark is the up arrow too: light line at its bottom.
  for (int i : {1, 2, 3}) {
    HWND header = lists[i]->GetHeaderHandle();
    TDibSurface shot = CaptureClient(header);
    RECT item;
    SendMessageA(header, HDM_GETITEMRECT, i % 2 ? 1 : 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_GT(CountColor(shot, item, ColorToRGB(clBtnShadow)), 4) << names[i];
  }
}

// ---------------------------------------------------------------- context menus

TEST_F(TViewsFixture, TreeMenusFromKeysAndMouse) {
  form->AddItems(5);
  struct TCall {
    TTreeNode* Node;
    TPoint Pos;
    bool OwnMenu;
  };
  std::vector<TCall> calls;
  form->Tree->OnNodeContextMenu = [&](TObject*, TTreeNode* node, TPoint& pos, TPopupMenu*& menu) {
    calls.push_back({node, pos, menu == form->Menu});
    if (node) menu = nullptr;
  };
  ShowForm();
  TPTTreeView* tree = form->Tree;
  TTreeNode* node = tree->Items()->Item(2);
  tree->SetSelected(node);
  ASSERT_TRUE(FocusWindow(tree->Handle()));
  TRect r = node->DisplayRect(true);
  TPoint centre((r.left + r.right) / 2, (r.top + r.bottom) / 2);

  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_F10}));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Node, node);
  EXPECT_EQ(calls[0].Pos.x, centre.x);
  EXPECT_EQ(calls[0].Pos.y, centre.y);
  ASSERT_TRUE(KeyChord({VK_APPS}));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].Node, node);
  EXPECT_EQ(calls[1].Pos.x, centre.x);
  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_APPS}));
  ASSERT_TRUE(KeyChordOutOfMenuMode({VK_CONTROL, VK_F10}));
  PumpFor(100);
  EXPECT_EQ(calls.size(), 2u);
  EXPECT_TRUE(form->Menu->Shown.empty());

  // Without a selected node the keys open the control's menu at (0, 0), once
  // each (the key's release makes no second one).
  tree->SetSelected(nullptr);
  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_F10}));
  ASSERT_TRUE(KeyChord({VK_APPS}));
  PumpFor(50);
  EXPECT_EQ(calls.size(), 2u);
  ASSERT_EQ(form->Menu->Shown.size(), 2u);
  POINT origin = ClientPoint(tree->Handle(), 0, 0);
  for (const TPoint& p : form->Menu->Shown) {
    EXPECT_EQ(p.x, origin.x);
    EXPECT_EQ(p.y, origin.y);
  }
  form->Menu->Shown.clear();
  tree->SetSelected(node);

  // A right click on a node: its menu at the click, then WM_CONTEXTMENU is
  // ignored until the button-up.
  TTreeNode* other = tree->Items()->Item(4);
  TRect o = other->DisplayRect(true);
  POINT click{o.left + 5, (o.top + o.bottom) / 2};
  ASSERT_TRUE(RightClick(tree->Handle(), click));
  PumpFor(50);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[2].Node, other);
  EXPECT_EQ(calls[2].Pos.x, click.x);
  EXPECT_EQ(calls[2].Pos.y, click.y);
  EXPECT_TRUE(form->Menu->Shown.empty());

  // The empty area below the nodes: nothing while a node is selected...
  POINT empty{20, 300};
  ASSERT_TRUE(RightClick(tree->Handle(), empty));
  PumpFor(50);
  EXPECT_EQ(calls.size(), 3u);
  EXPECT_TRUE(form->Menu->Shown.empty());
  // ...the control's menu while none is.
  tree->SetSelected(nullptr);
  ASSERT_EQ(tree->Selected(), nullptr);
  ASSERT_TRUE(RightClick(tree->Handle(), empty));
  PumpFor(50);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[3].Node, nullptr);
  EXPECT_TRUE(calls[3].OwnMenu);
  ASSERT_EQ(form->Menu->Shown.size(), 1u);
  POINT screen = ClientPoint(tree->Handle(), empty.x, empty.y);
  EXPECT_EQ(form->Menu->Shown[0].x, screen.x);
  EXPECT_EQ(form->Menu->Shown[0].y, screen.y);
}

TEST_F(TViewsFixture, ListMenusFromKeysAndMouse) {
  form->AddItems(5);
  struct TCall {
    TListItem* Item;
    TPoint Pos;
  };
  std::vector<TCall> calls;
  form->List->OnItemContextMenu = [&](TObject*, TListItem* item, TPoint& pos, TPopupMenu*& menu) {
    calls.push_back({item, pos});
    menu = nullptr;
  };
  ShowForm();
  TPTListView* list = form->List;
  TListItem* item = list->Items()->Item(3);
  list->SetSelected(item);
  list->SetItemFocused(item);
  ASSERT_TRUE(FocusWindow(list->Handle()));
  TRect icon = item->DisplayRect(drIcon);
  TPoint centre((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2);

  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_F10}));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Item, item);
  EXPECT_EQ(calls[0].Pos.x, centre.x);
  EXPECT_EQ(calls[0].Pos.y, centre.y);
  EXPECT_TRUE(list->ContextMenuShown());
  ASSERT_TRUE(KeyChord({VK_APPS}));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].Item, item);
  EXPECT_EQ(calls[1].Pos.y, centre.y);
  ASSERT_TRUE(KeyChord({VK_SHIFT, VK_APPS}));
  ASSERT_TRUE(KeyChordOutOfMenuMode({VK_CONTROL, VK_F10}));
  PumpFor(100);
  EXPECT_EQ(calls.size(), 2u);

  // While the flag stands WM_CONTEXTMENU is ignored; the button-up clears it.
  POINT screen = ClientPoint(list->Handle(), centre.x, centre.y);
  SendMessageA(list->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list->Handle()), MAKELPARAM(screen.x, screen.y));
  EXPECT_EQ(calls.size(), 2u);
  SendMessageA(list->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(centre.x, centre.y));
  EXPECT_FALSE(list->ContextMenuShown());
  SendMessageA(list->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list->Handle()), MAKELPARAM(screen.x, screen.y));
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[2].Pos.x, centre.x);

  // A right click on another item: its menu centred on that item's icon.
  TListItem* other = list->Items()->Item(1);
  TRect label = other->DisplayRect(drLabel);
  ASSERT_TRUE(RightClick(list->Handle(), POINT{label.left + 10, (label.top + label.bottom) / 2}));
  PumpFor(50);
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[3].Item, other);
  TRect otherIcon = other->DisplayRect(drIcon);
  EXPECT_EQ(calls[3].Pos.y, (otherIcon.top + otherIcon.bottom) / 2);
  EXPECT_EQ(calls.size(), 4u);
  EXPECT_TRUE(form->Menu->Shown.empty());
}

// ---------------------------------------------------------------- colours, images, style

TEST_F(TViewsFixture, ColorsReachTheWindowAgainAfterASystemColourChange) {
  TPTListView* list = form->List;
  list->SetColor(clYellow);
  EXPECT_EQ(SendMessageA(list->Handle(), LVM_GETBKCOLOR, 0, 0), RGB(255, 255, 0));
  EXPECT_EQ(SendMessageA(list->Handle(), LVM_GETTEXTBKCOLOR, 0, 0), RGB(255, 255, 0));
  list->SetColor(clWindow);
  COLORREF saved = GetSysColor(COLOR_WINDOW);
  INT element = COLOR_WINDOW;
  COLORREF changed = RGB(200, 220, 240);
  ASSERT_TRUE(SetSysColors(1, &element, &changed));
  struct TRestore {
    INT element;
    COLORREF saved;
    ~TRestore() { SetSysColors(1, &element, &saved); }
  } restore{element, saved};
  SendMessageA(list->Handle(), WM_SYSCOLORCHANGE, 0, 0);
  SendMessageA(form->Tree->Handle(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(SendMessageA(list->Handle(), LVM_GETBKCOLOR, 0, 0), changed);
  EXPECT_EQ(SendMessageA(list->Handle(), LVM_GETTEXTBKCOLOR, 0, 0), changed);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageA(form->Tree->Handle(), TVM_GETBKCOLOR, 0, 0)), changed);
}

TEST_F(TViewsFixture, TreeImagesAskedOncePerRequest) {
  form->AddItems(3);
  TPTTreeView* tree = form->Tree;
  int asked = 0, askedSelected = 0;
  tree->OnGetImageIndex = [&](TObject*, TTreeNode* node) {
    ++asked;
    node->SetImageIndex(node->Index() + 5);
  };
  tree->OnGetSelectedIndex = [&](TObject*, TTreeNode* node) {
    ++askedSelected;
    node->SetSelectedIndex(node->Index() + 9);
  };
  tree->HandleNeeded();
  TTreeNode* node = tree->Items()->Item(1);
  TVITEMA it{};
  it.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
  it.hItem = node->ItemId();
  ASSERT_TRUE(SendMessageA(tree->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it)));
  EXPECT_EQ(it.iImage, 6);
  EXPECT_EQ(it.iSelectedImage, 10);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(askedSelected, 1);
  EXPECT_TRUE(tree->OnGetImageIndex);  // restored after the inherited answer
  // Comctl32 5.81 on the NT platform: no TVS_NOTOOLTIPS.
  EXPECT_FALSE(GetWindowLongPtrA(tree->Handle(), GWL_STYLE) & TVS_NOTOOLTIPS);
}
