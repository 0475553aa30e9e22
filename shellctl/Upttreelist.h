// Tree and list views that every tree and list of the program uses: a
// custom-draw object per NM_CUSTOMDRAW through which handlers change the
// font and background of the item being painted, node and item context
// menus from the right button, Shift+F10 and the Apps key, and the list's
// sort mark in the column header (drawn by the list, or the header's own
// sort flags with the version 6 common controls).
#pragma once

#include "classlib/Listview.h"
#include "classlib/Menus.h"
#include "classlib/Treeview.h"

// Posted at the end of CreateWnd: the second stage of a new window.
constexpr UINT AM_INITSTAGE2 = 1124;

// ---------------------------------------------------------------- custom draw

enum TPTCustomDrawStage {
  ptcdsUnknown, ptcdsPrePaint, ptcdsPostPaint, ptcdsPreErase, ptcdsItemPrePaint, ptcdsItemPostPaint,
  ptcdsItemPreErase, ptcdsItemPostErase,
};

// One NM_CUSTOMDRAW: the record and the answer of the notification, and a
// font and brush whose changes Apply puts into the record.
class TPTCustomDraw : public TObject {
 public:
  TPTCustomDraw(NMCUSTOMDRAW& record, LRESULT& result, TFont* controlFont);
  ~TPTCustomDraw() override;

  // Takes another notification: its record and answer; no result set, no
  // font or brush (made again on first use).
  virtual void Reset(NMCUSTOMDRAW& record, LRESULT& result);
  // Writes the changes into the record and the answer.
  virtual void Apply() = 0;

  DWORD RawDrawStage() const { return record_->dwDrawStage; }
  TPTCustomDrawStage DrawStage() const;
  TRect Rect() const { return record_->rc; }
  HDC Handle() const { return record_->hdc; }
  bool IsItem() const { return (record_->dwDrawStage & CDDS_ITEM) != 0; }
  LRESULT Result() const { return *result_; }
  // An explicit answer: Apply keeps it.
  void SetResult(LRESULT value);
  bool ResultSet() const { return resultSet_; }

  // The font starts as the control's, in the context's text colour; the
  // brush solid in its background colour.
  TFont* Font();
  void SetFont(TFont* value) { Font()->Assign(value); }
  TBrush* Brush();
  void SetBrush(TBrush* value) { Brush()->Assign(value); }
  bool FontChanged() const { return fontChanged_; }
  bool BrushChanged() const { return brushChanged_; }
  // The pre-paint answer: 0 none, 1 CDRF_NOTIFYITEMDRAW.
  BYTE WantItemDraw() const { return wantItemDraw_; }
  void SetWantItemDraw(BYTE value) { wantItemDraw_ = value ? 1 : 0; }
  // The item pre-paint answer gets CDRF_SKIPDEFAULT.
  bool SkipDefault() const { return skipDefault_; }
  void SetSkipDefault(bool value) { skipDefault_ = value; }
  // A canvas over the notification's device context.
  TCanvas* Canvas();

 protected:
  virtual TFont* CreateFont();
  virtual TBrush* CreateBrush();
  // The steps both kinds share, on the text colours of their record.
  void ApplyTo(COLORREF& clrText, COLORREF& clrTextBk);
  NMCUSTOMDRAW& Record() const { return *record_; }

 private:
  void FontChange(TObject*) { fontChanged_ = true; }
  void BrushChange(TObject*) { brushChanged_ = true; }
  void FreeObjects();

  TFont* controlFont_ = nullptr;
  TFont* font_ = nullptr;
  bool fontChanged_ = false;
  TBrush* brush_ = nullptr;
  bool brushChanged_ = false;
  BYTE wantItemDraw_ = 0;
  bool skipDefault_ = false;
  NMCUSTOMDRAW* record_ = nullptr;
  LRESULT* result_ = nullptr;
  bool resultSet_ = false;
  TCanvas* canvas_ = nullptr;
};

class TPTTvCustomDraw : public TPTCustomDraw {
 public:
  using TPTCustomDraw::TPTCustomDraw;
  void Apply() override;
  NMTVCUSTOMDRAW& GetMpTvCd() const { return reinterpret_cast<NMTVCUSTOMDRAW&>(Record()); }
};

class TPTLvCustomDraw : public TPTCustomDraw {
 public:
  using TPTCustomDraw::TPTCustomDraw;
  void Apply() override;
  NMLVCUSTOMDRAW& GetMpLvCd() const { return reinterpret_cast<NMLVCUSTOMDRAW&>(Record()); }
};

// ---------------------------------------------------------------- tree

using TPTTvOnNodeContextMenuEvent = TEvent<TObject*, TTreeNode*, TPoint&, TPopupMenu*&>;
using TPTTvCustomDrawEvent = TEvent<TObject*, TPTCustomDraw*, TTreeNode*>;

class TPTCustomTreeView : public TCustomTreeView {
 public:
  explicit TPTCustomTreeView(TComponent* owner);
  ~TPTCustomTreeView() override;

  // The object of the last NM_CUSTOMDRAW (nullptr: none made).
  TPTCustomDraw* CustomDraw() const { return customDraw_; }
  bool ContextMenuShown() const { return menuShown_; }

  // Invalidates the node's rectangle (its text only with textOnly).
  void InvalidateNode(TTreeNode* node, bool textOnly, bool erase);

  TPTTvOnNodeContextMenuEvent OnNodeContextMenu;
  TPTTvCustomDrawEvent OnPTCustomDrawEx;
  TPTTvCustomDrawEvent OnPTCustomDraw;

 protected:
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& msg) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyUp(WORD& key, TShiftState shift) override;

  virtual TPTCustomDraw* CreateCustomDraw(const NMCUSTOMDRAW& record, LRESULT& result);
  // Runs the custom-draw events; the object made, or nullptr.
  virtual TPTCustomDraw* PTCustomDraw(const NMCUSTOMDRAW& record, LRESULT& result);
  // The menu for the selected node at its text's centre (the control's
  // menu at (0, 0) without one).
  virtual void DoPreNodeContextMenu();
  virtual void DoNodeContextMenu(TTreeNode* node, const TPoint& pos);
  virtual void NodeContextMenu(TTreeNode* node, TPoint& pos, TPopupMenu*& menu);

 private:
  void CustomDrawNotify(TMessage& msg);
  void RightClick();
  void ContextMenuMessage(TMessage& msg);

  TPTCustomDraw* customDraw_ = nullptr;
  bool menuShown_ = false;
  WORD menuKey_ = 0;  // its release is not the system's menu key
};

class TPTTreeView : public TPTCustomTreeView {
 public:
  using TPTCustomTreeView::TPTCustomTreeView;
};

// ---------------------------------------------------------------- list

enum TPTLvSortDirection { ptsdAsc, ptsdDesc };
enum TPTLvHeaderSortDisplayMode { ptlvNone, ptlvLeftAlign, ptlvRightOfText, ptlvRightAlign };

using TPTLvOnItemContextMenuEvent = TEvent<TObject*, TListItem*, TPoint&, TPopupMenu*&>;
using TPTLvCustomDrawEvent = TEvent<TObject*, TPTCustomDraw*, TListItem*>;

class TPTCustomListView : public TCustomListView {
 public:
  explicit TPTCustomListView(TComponent* owner);
  ~TPTCustomListView() override;

  TPTCustomDraw* CustomDraw() const { return customDraw_; }
  bool ContextMenuShown() const { return menuShown_; }
  // An item drag began (LVN_BEGINDRAG, LVN_BEGINRDRAG); the owner clears it.
  bool BeginDragFlag() const { return beginDrag_; }
  void SetBeginDragFlag(bool value) { beginDrag_ = value; }

  // The sorted column (-1: none) and its direction.
  int HeaderSortColumn() const { return sortColumn_; }
  virtual void SetHeaderSortColumn(int value);
  TPTLvSortDirection HeaderSortDirection() const { return sortDirection_; }
  virtual void SetHeaderSortDirection(TPTLvSortDirection value);
  // Where the mark stands; ptlvNone with common controls before 4.70.
  TPTLvHeaderSortDisplayMode HeaderSortDisplayMode() const { return displayMode_; }
  virtual void SetHeaderSortDisplayMode(TPTLvHeaderSortDisplayMode value);
  // DrawHeader paints caption and mark itself.
  bool HeaderDefaultDrawing() const { return defaultDrawing_; }
  void SetHeaderDefaultDrawing(bool value) { defaultDrawing_ = value; }
  // The header control: the list's child with id 0 (nullptr without a window).
  HWND GetHeaderHandle() const;
  // The canvas the header's items are drawn on (attached while drawing).
  TCanvas* HeaderCanvas() const { return headerCanvas_; }

  void SetViewStyle(TViewStyle value) override;

  // Header items owner-drawn, or the header's own sort flags.
  virtual void SetHeaderODStyle();
  // A header item's paint: DrawHeader sets up the canvas and calls
  // DefaultDrawHeader (caption and mark by the display mode);
  // DrawHeaderGlyphs draws the mark of the sort column into a glyph square.
  virtual void DrawHeader(int index, const TRect& rect);
  virtual void DrawHeaderGlyphs(int index, const TRect& glyph);
  virtual void DefaultDrawHeader(int index, const TRect& rect);

  TPTLvOnItemContextMenuEvent OnItemContextMenu;
  TPTLvCustomDrawEvent OnPTCustomDrawEx;
  TPTLvCustomDrawEvent OnPTCustomDraw;

 protected:
  void CreateWnd() override;
  void Dispatch(TMessage& msg) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyUp(WORD& key, TShiftState shift) override;

  virtual TPTCustomDraw* CreateCustomDraw(const NMCUSTOMDRAW& record, LRESULT& result);
  virtual TPTCustomDraw* PTCustomDraw(const NMCUSTOMDRAW& record, LRESULT& result);
  virtual void DoPreItemContextMenu(const TPoint& pos);
  virtual void DoItemContextMenu(const TPoint& pos);
  virtual void ItemContextMenu(TListItem* item, TPoint& pos, TPopupMenu*& menu);
  // The second stage of a new window (message 1124).
  virtual void AMInitStage2();

 private:
  void CustomDrawNotify(TMessage& msg);
  void HeaderNotify(const NMHDR& nm);
  void HeaderDrawItem(TMessage& msg);
  void InvalidateHeaderItem(int index);
  void ContextMenuMessage(TMessage& msg);

  TPTCustomDraw* customDraw_ = nullptr;
  bool beginDrag_ = false;
  bool menuShown_ = false;
  WORD menuKey_ = 0;
  TCanvas* headerCanvas_;
  int sortColumn_ = -1;
  TPTLvSortDirection sortDirection_ = ptsdAsc;
  TPTLvHeaderSortDisplayMode displayMode_ = ptlvRightOfText;
  bool defaultDrawing_ = true;
  int odStyleLevel_ = 0;
};

class TPTListView : public TPTCustomListView {
 public:
  using TPTCustomListView::TPTCustomListView;
};

// Arrows of the sort mark in the square at r's top left (height r's, made
// odd; width one more); background clNone leaves the square unfilled.
void DrawUpArrow(TCanvas* canvas, const TRect& r, TColor background, TColor light, TColor shadow);
void DrawDownArrow(TCanvas* canvas, const TRect& r, TColor background, TColor light, TColor shadow);

// The comctl32 version as the views compare it: major and minor together.
bool CommonControlsAtLeast(int major, int minor);
