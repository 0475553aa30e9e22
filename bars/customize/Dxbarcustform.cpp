#include "Dxbarcustform.h"

#include <algorithm>
#include <utility>

#include <mmsystem.h>
#include <windowsx.h>

#include "Dxbarnameed.h"
#include "bars/Dxbarquickcust.h"
#include "bars/Dxbarstrs.h"
#include "bars/Dxbarwinitems.h"

namespace {

TdxBarCustomizingForm* gForm = nullptr;
// Set while the window goes, so that leaving customizing mode does not
// destroy it a second time.
bool gClosing = false;
// The managers' forms disabled while the window is open.
std::vector<HWND> gDisabledWindows;

void EnableDisabledWindows() {
  std::vector<HWND> windows;
  windows.swap(gDisabledWindows);
  for (HWND w : windows)
    if (IsWindow(w)) EnableWindow(w, TRUE);
}

TSize TextSize(TFont* font, const String& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font->Handle());
  SIZE s{0, 0};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &s);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return TSize{s.cx, s.cy};
}

TPanel* MakePanel(TWinControl* form, TWinControl* parent, const char* name, TAlign align, int width, int height) {
  auto* p = MakeControl<TPanel>(form, parent, name, 0, 0, width, height);
  p->SetAlign(align);
  p->SetBevelOuter(bvNone);
  p->SetCaption("");
  return p;
}

TLabel* MakeLabel(TWinControl* form, TWinControl* parent, const char* name, int left, int top, const String& caption) {
  auto* l = MakeControl<TLabel>(form, parent, name, left, top, 0, 13);
  l->SetCaption(caption);
  return l;
}

TButton* MakeButton(TWinControl* form, TWinControl* parent, const char* name, int left, int top, int width,
                    int height, const String& caption) {
  auto* b = MakeControl<TButton>(form, parent, name, left, top, width, height);
  b->SetCaption(caption);
  return b;
}

TCheckBox* MakeCheck(TWinControl* form, TWinControl* parent, const char* name, int left, int top,
                     const String& caption) {
  auto* c = MakeControl<TCheckBox>(form, parent, name, left, top, 300, 17);
  c->SetCaption(caption);
  return c;
}

void FillRectColor(HDC dc, const TRect& r, TColor color) {
  HBRUSH b = CreateSolidBrush(ColorToRGB(color));
  RECT rc = r;
  FillRect(dc, &rc, b);
  DeleteObject(b);
}

void FrameRectColor(HDC dc, const TRect& r, COLORREF color) {
  HBRUSH b = CreateSolidBrush(color);
  RECT rc = r;
  FrameRect(dc, &rc, b);
  DeleteObject(b);
}

// The small right-pointing triangle of sub menus and drop-down buttons.
void DrawRightTriangle(HDC dc, int x, int y, COLORREF color) {
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  HGDIOBJ old = SelectObject(dc, pen);
  for (int i = 0; i < 3; ++i) {
    MoveToEx(dc, x + i, y + i, nullptr);
    LineTo(dc, x + i, y + 7 - i);
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

}  // namespace

// ---------------------------------------------------------------- bars list

TCheckListBox::TCheckListBox(TComponent* owner, TdxBarManager* manager) : TListBox(owner), manager_(manager) {
  SetStyle(lbOwnerDrawFixed);
}

TdxBar* TCheckListBox::Bar(int index) const {
  if (index < 0 || index >= Items()->Count()) return nullptr;
  auto* bar = static_cast<TdxBar*>(Items()->Objects(index));
  return manager_->Bars()->IndexOf(bar) >= 0 ? bar : nullptr;
}

void TCheckListBox::RepaintCheck(int index) {
  if (!HandleAllocated() || index < 0 || index >= Items()->Count()) return;
  TRect r = ItemRect(index);
  r.right = r.left + ItemHeight();
  RECT rc = r;
  InvalidateRect(Handle(), &rc, FALSE);
  UpdateWindow(Handle());
}

void TCheckListBox::Toggle(int index) {
  TdxBar* bar = Bar(index);
  if (!bar) return;
  if (bar->CanClose()) {
    bar->SetVisible(!bar->Visible());
    RepaintCheck(index);
  } else {
    SystemDialogs()->PlaySystemSound("SystemDefault", SND_ASYNC);
  }
}

void TCheckListBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  checkSize_ = ItemHeight();
  TCanvas* c = Canvas();
  HDC dc = c->Handle();
  TRect text = rect;
  text.left += checkSize_;
  c->FillRect(text);
  TdxBar* bar = Bar(index);
  String caption = bar ? bar->Caption() : String();
  TRect tr = text;
  tr.left += 2;
  c->DrawText(caption, tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  TRect box(rect.left, rect.top, rect.left + checkSize_, rect.bottom);
  FillRectColor(dc, box, Color());
  int size = checkSize_ - 2;
  RECT check{rect.left + 1, rect.top + (rect.Height() - size) / 2, 0, 0};
  check.right = check.left + size;
  check.bottom = check.top + size;
  UINT flags = DFCS_BUTTONCHECK;
  if (bar && bar->Visible()) flags |= DFCS_CHECKED;
  if (bar && !bar->CanClose()) flags |= DFCS_INACTIVE;
  DrawFrameControl(dc, &check, DFC_BUTTON, flags);
}

void TCheckListBox::KeyPress(char& key) {
  if (key == ' ') {
    Toggle(ItemIndex());
    key = 0;
  }
  TListBox::KeyPress(key);
}

void TCheckListBox::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
      int index = ItemAtPos(p, true);
      TRect r = index >= 0 ? ItemRect(index) : TRect();
      bool inCheck = index >= 0 && p.x - r.left < ItemHeight();
      // A double click in the check box is a second press there.
      if (msg.Msg == WM_LBUTTONDBLCLK && inCheck) msg.Msg = WM_LBUTTONDOWN;
      if (msg.Msg != WM_LBUTTONDOWN && msg.Msg != WM_LBUTTONDBLCLK && index >= 0 && index != ItemIndex()) {
        // Other buttons select as well.
        SetFocus();
        SetItemIndex(index);
        Click();
      }
      TListBox::Dispatch(msg);
      if (inCheck && HandleAllocated()) Toggle(index);
      return;
    }
    default:
      TListBox::Dispatch(msg);
  }
}

// ---------------------------------------------------------------- commands list

TCommandsListBox::TCommandsListBox(TComponent* owner, TdxBarManager* manager) : TListBox(owner), manager_(manager) {
  SetStyle(lbOwnerDrawVariable);
  SetItemHeight(22);
  ControlStyle << csOpaque;
  ControlStyle >> csCaptureMouse;
}

TdxBarItem* TCommandsListBox::Item(int index) const {
  if (index < 0 || index >= Items()->Count()) return nullptr;
  return static_cast<TdxBarItem*>(Items()->Objects(index));
}

void TCommandsListBox::MeasureItem(int, int& height) { height = 22; }

void TCommandsListBox::DrawButtonRow(TdxBarItem* item, const TRect& rect, bool selected, bool flat) {
  HDC dc = Canvas()->Handle();
  TColor textColor = selected && !flat ? clHighlightText : clBtnText;
  TColor back = selected ? (flat ? TColor(manager_->FlatToolbarsSelColor()) : clHighlight) : (flat ? clWindow : clBtnFace);
  FillRectColor(dc, rect, back);
  int cellWidth = flat ? rect.Height() : 23;
  TRect cell(rect.left, rect.top, rect.left + cellWidth, rect.bottom);
  if (flat) {
    if (!selected) FillRectColor(dc, cell, clBtnFace);
  } else {
    HPEN pen = CreatePen(PS_SOLID, 1, ColorToRGB(clBtnShadow));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, rect.left + 23, rect.top, nullptr);
    LineTo(dc, rect.left + 23, rect.bottom);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  TBitmap* glyph = item->Glyph();
  bool fromBitmap = glyph && !glyph->Empty();
  TCustomImageList* images = manager_->Images();
  bool hasImage = fromBitmap || (images && item->ImageIndex() >= 0 && item->ImageIndex() < images->Count());
  if (hasImage) {
    int gw = fromBitmap ? glyph->Width() : images->Width();
    int gh = fromBitmap ? glyph->Height() : images->Height();
    TRect g(cell.left + (cell.Width() - gw) / 2, cell.top + (cell.Height() - gh) / 2, 0, 0);
    g.right = g.left + gw;
    g.bottom = g.top + gh;
    TRect fill = cell;
    if (flat) InflateRect(reinterpret_cast<RECT*>(&fill), -1, -1);
    HBRUSH brush = CreateSolidBrush(ColorToRGB(flat && !selected ? clBtnFace : back));
    TransparentDraw(dc, brush, fill, g, fromBitmap ? glyph : nullptr, fromBitmap ? nullptr : images,
                    item->ImageIndex(), true, false, flat, selected, false, false, manager_->ImageListBkColor());
    DeleteObject(brush);
  }
  if (selected && !flat) {
    RECT c = cell;
    DrawEdge(dc, &c, BDR_RAISEDINNER, BF_RECT);
  }
  // The arrow part of drop-down buttons and the sub menus' triangle.
  int right = rect.right;
  auto* button = dynamic_cast<TdxBarButton*>(item);
  auto* container = dynamic_cast<TCustomdxBarContainerItem*>(item);
  bool dropDown = button && button->ButtonStyle() == bsDropDown;
  bool triangle = dropDown || (dynamic_cast<TCustomdxBarSubItem*>(item) && !(container && container->HideWhenRun()));
  COLORREF textRGB = ColorToRGB(textColor);
  if (dropDown) {
    TRect arrow(rect.right - 13, rect.top, rect.right, rect.bottom);
    RECT a = arrow;
    if (flat) {
      if (selected)
        FrameFlatSelRect(dc, arrow);
      else
        FrameRectColor(dc, arrow, GetSysColor(COLOR_BTNSHADOW));
    } else if (selected) {
      DrawEdge(dc, &a, BDR_RAISEDINNER, BF_RECT);
    } else {
      DrawEdge(dc, &a, EDGE_ETCHED, BF_LEFT);
    }
    right -= 13;
  }
  if (triangle) DrawRightTriangle(dc, rect.right - 9, rect.top + 7, textRGB);
  String caption = GetTextOf(item->Caption());
  if (container && container->HideWhenRun()) caption = "(" + caption + ")";
  TRect tr(flat ? rect.left + rect.Height() + 10 : rect.left + 24 + 2, rect.top, right - 2, rect.bottom);
  Canvas()->Font()->SetColor(textColor);
  SetBkMode(dc, TRANSPARENT);
  Canvas()->DrawText(caption, tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if (selected && flat) FrameFlatSelRect(dc, rect);
}

void TCommandsListBox::DrawEditRow(TdxBarItem* item, const TRect& rect, bool selected, bool flat) {
  HDC dc = Canvas()->Handle();
  TColor textColor = selected && !flat ? clHighlightText : clBtnText;
  TColor back = selected ? (flat ? TColor(manager_->FlatToolbarsSelColor()) : clHighlight) : (flat ? clWindow : clBtnFace);
  FillRectColor(dc, rect, back);
  String caption = GetTextOf(item->Caption());
  int boxWidth = Canvas()->TextWidth(caption) + (flat ? 11 : 3);
  TRect tr(rect.left + 2, rect.top, rect.left + boxWidth, rect.bottom);
  Canvas()->Font()->SetColor(textColor);
  SetBkMode(dc, TRANSPARENT);
  Canvas()->DrawText(caption, tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  TRect field(rect.left + boxWidth + 4, rect.top + 1, rect.right, rect.bottom - 1);
  if (field.left >= field.right) return;
  RECT f = field;
  if (flat) {
    if (selected)
      FrameFlatSelRect(dc, field);
    else
      FrameRectColor(dc, field, GetSysColor(COLOR_BTNSHADOW));
    InflateRect(&f, -1, -1);
  } else {
    DrawEdge(dc, &f, selected ? EDGE_SUNKEN : EDGE_ETCHED, BF_RECT | BF_ADJUST);
  }
  FillRectColor(dc, TRect(f), clWindow);
  if (dynamic_cast<TCustomdxBarCombo*>(item)) {
    TRect arrow(f.right - 11, f.top, f.right, f.bottom);
    FillRectColor(dc, arrow, clBtnFace);
    DrawItemArrow(dc, arrow, atDown, true, false, flat);
  }
}

void TCommandsListBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  TdxBarItem* item = Item(index);
  if (!item) return;
  bool flat = manager_->Style() == bmsFlat;
  bool selected = state.Contains(odSelected);
  if (dynamic_cast<TdxBarEdit*>(item))
    DrawEditRow(item, rect, selected, flat);
  else
    DrawButtonRow(item, rect, selected, flat);
  if (state.Contains(odFocused) && !flat) {
    RECT f = rect;
    InflateRect(&f, -2, -2);
    ::DrawFocusRect(Canvas()->Handle(), &f);
  }
}

void TCommandsListBox::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_DRAWITEM: {
      // No full-row focus rectangle; with no rows nothing at all.
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(msg.LParam);
      msg.Result = 1;
      if (static_cast<int>(d->itemID) < 0 || static_cast<int>(d->itemID) >= Items()->Count()) return;
      TCanvas* c = Canvas();
      c->SetHandle(d->hDC);
      c->Font()->Assign(Font());
      c->Brush()->Assign(Brush());
      DrawItem(static_cast<int>(d->itemID), d->rcItem, OwnerDrawState(d->itemState));
      // The rest of the list below the last row.
      if (static_cast<int>(d->itemID) == Items()->Count() - 1) {
        RECT client;
        GetClientRect(Handle(), &client);
        if (d->rcItem.bottom < client.bottom)
          FillRectColor(d->hDC, TRect(client.left, d->rcItem.bottom, client.right, client.bottom), Color());
      }
      c->SetHandle(nullptr);
      return;
    }
    case WM_ERASEBKGND: {
      // Only below the last row.
      auto dc = reinterpret_cast<HDC>(msg.WParam);
      RECT client;
      GetClientRect(Handle(), &client);
      int n = Items()->Count();
      if (n > 0) {
        TRect last = ItemRect(n - 1);
        client.top = std::max<LONG>(client.top, last.bottom);
      }
      if (client.top < client.bottom) FillRectColor(dc, TRect(client), Color());
      msg.Result = 1;
      return;
    }
    case WM_MOUSEACTIVATE: {
      TListBox::Dispatch(msg);
      POINT p;
      GetCursorPos(&p);
      ::ScreenToClient(Handle(), &p);
      int index = ItemAtPos(TPoint(p.x, p.y), true);
      if (index >= 0 && index != ItemIndex()) {
        SetItemIndex(index);
        Click();
      }
      return;
    }
    case WM_SETFOCUS:
      TListBox::Dispatch(msg);
      if (ItemIndex() < 0 && Items()->Count() > 0) {
        SetItemIndex(0);
        Click();
      }
      return;
    case WM_LBUTTONDOWN: {
      TListBox::Dispatch(msg);
      TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
      int index = ItemAtPos(p, true);
      if (index < 0 || index != ItemIndex() || !HandleAllocated()) return;
      // A press on the selected row may start dragging the command.
      Click();
      TPoint s = ClientToScreen(p);
      if (DragDetect(Handle(), POINT{s.x, s.y}))
        if (TdxBarItem* item = Item(index)) manager_->DragAndDrop(item, nullptr);
      return;
    }
    case WM_RBUTTONDOWN: {
      TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
      SetFocus();
      int index = ItemAtPos(p, true);
      if (index >= 0) {
        SetItemIndex(index);
        Click();
      }
      TListBox::Dispatch(msg);
      return;
    }
    default:
      TListBox::Dispatch(msg);
  }
}

// ---------------------------------------------------------------- the window

TdxBarCustomizingForm::TdxBarCustomizingForm(TdxBarManager* manager)
    : TForm(manager->MainForm()), barManager_(manager) {
  SetName("dxBarCustomizingForm");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu});
  SetPosition(poScreenCenter);
  SetClientWidth(366);
  SetClientHeight(310);
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(-11);
  OnClose = {this, &TdxBarCustomizingForm::FormClose};

  Panel4 = MakePanel(this, this, "Panel4", alTop, 366, 8);
  Panel1 = MakePanel(this, this, "Panel1", alBottom, 366, 36);
  Panel2 = MakePanel(this, this, "Panel2", alLeft, 6, 266);
  Panel3 = MakePanel(this, this, "Panel3", alRight, 6, 266);
  BHelp = MakeControl<TBitBtn>(this, Panel1, "BHelp", 6, 8, 24, 23);
  BHelp->OnClick = {this, &TdxBarCustomizingForm::BHelpClick};
  BClose = MakeButton(this, Panel1, "BClose", 285, 8, 75, 23, "Close");
  BClose->SetCancel(true);
  BClose->SetDefault(true);
  BClose->SetModalResult(mrOk);
  BClose->OnClick = {this, &TdxBarCustomizingForm::BCloseClick};

  PageControl = MakeControl<TPageControl>(this, this, "PageControl", 6, 8, 354, 266);
  PageControl->SetAlign(alClient);
  PageControl->OnChange = {this, &TdxBarCustomizingForm::PageControlChange};
  auto page = [&](const char* name, const char* caption) {
    auto* p = MakeControl<TTabSheet>(this, nullptr, name);
    p->SetPageControl(PageControl);
    p->SetCaption(caption);
    return p;
  };
  TabSheet1 = page("TabSheet1", " Toolbars ");
  TabSheet2 = page("TabSheet2", " Commands ");
  TabSheet3 = page("TabSheet3", " Options ");
  TabSheet4 = page("TabSheet4", " All commands ");
  TabSheet5 = page("TabSheet5", "Groups");

  // Toolbars.
  LabelToobars = MakeLabel(this, TabSheet1, "LabelToobars", 4, 4, "Toolb&ars:");
  barsList_ = new TCheckListBox(this, manager);
  barsList_->SetName("BarsListBox");
  barsList_->SetParent(TabSheet1);
  barsList_->SetBounds(4, 20, 227, 213);
  barsList_->OnClick = {this, &TdxBarCustomizingForm::BarsListBoxClick};
  BBarNew = MakeButton(this, TabSheet1, "BBarNew", 239, 21, 104, 22, "&New...");
  BBarNew->OnClick = {this, &TdxBarCustomizingForm::BBarNewClick};
  BBarRename = MakeButton(this, TabSheet1, "BBarRename", 239, 50, 104, 22, "R&ename...");
  BBarRename->OnClick = {this, &TdxBarCustomizingForm::BBarRenameClick};
  BBarDelete = MakeButton(this, TabSheet1, "BBarDelete", 239, 79, 104, 22, "&Delete");
  BBarDelete->OnClick = {this, &TdxBarCustomizingForm::BBarDeleteClick};
  BBarReset = MakeButton(this, TabSheet1, "BBarReset", 239, 108, 104, 22, "&Reset...");
  BBarReset->OnClick = {this, &TdxBarCustomizingForm::BBarResetClick};

  // Commands.
  Panel6 = MakePanel(this, TabSheet2, "Panel6", alTop, 346, 25);
  Panel5 = MakePanel(this, TabSheet2, "Panel5", alLeft, 5, 200);
  Panel8 = MakePanel(this, TabSheet2, "Panel8", alRight, 5, 200);
  Panel7 = MakePanel(this, TabSheet2, "Panel7", alClient, 336, 200);
  LabelCategories = MakeLabel(this, Panel6, "LabelCategories", 6, 8, "Cate&gories:");
  LabelCommands = MakeLabel(this, Panel6, "LabelCommands", 148, 8, "Comman&ds:");
  Panel9 = MakePanel(this, Panel7, "Panel9", alBottom, 336, 66);
  LCategories = MakeControl<TListBox>(this, Panel7, "LCategories", 0, 0, 135, 140);
  LCategories->SetAlign(alLeft);
  LCategories->SetItemHeight(13);
  LCategories->OnClick = {this, &TdxBarCustomizingForm::LCategoriesClick};
  commandsList_ = new TCommandsListBox(this, manager);
  commandsList_->SetName("LCommands");
  commandsList_->SetParent(Panel7);
  commandsList_->SetBounds(142, 0, 194, 140);
  commandsList_->SetAlign(alRight);
  commandsList_->SetColor(clBtnFace);
  commandsList_->OnClick = {this, &TdxBarCustomizingForm::LCommandsClick};
  Bevel1 = MakeControl<TBevel>(this, Panel9, "Bevel1", 0, 10, 336, 2);
  Bevel1->SetShape(bsTopLine);
  LabelDescription = MakeLabel(this, Panel9, "LabelDescription", 0, 4, "Description  ");
  DescriptionLabel = MakeControl<TLabel>(this, Panel9, "DescriptionLabel", 0, 20, 335, 40);
  DescriptionLabel->SetAutoSize(false);
  DescriptionLabel->SetWordWrap(true);
  DescriptionLabel->SetShowAccelChar(false);
  DescriptionLabel->SetCaption("");

  // Options.
  StandardOptionsPanel = MakePanel(this, TabSheet3, "StandardOptionsPanel", alClient, 346, 238);
  CBLargeIcons = MakeCheck(this, StandardOptionsPanel, "CBLargeIcons", 24, 38, "&Large icons");
  CBLargeIcons->OnClick = {this, &TdxBarCustomizingForm::CBLargeIconsClick};
  CBHint1 = MakeCheck(this, StandardOptionsPanel, "CBHint1", 24, 63, "Show Tool&Tips on toolbars");
  CBHint1->OnClick = {this, &TdxBarCustomizingForm::CBHint1Click};
  CBHint2 = MakeCheck(this, StandardOptionsPanel, "CBHint2", 24, 85, "Show s&hortcut keys in ToolTips");
  CBHint2->OnClick = {this, &TdxBarCustomizingForm::CBHint2Click};
  LabelMenuAnimations = MakeLabel(this, StandardOptionsPanel, "LabelMenuAnimations", 24, 152, "&Menu animations:");
  ComboBoxMenuAnimations = MakeControl<TComboBox>(this, StandardOptionsPanel, "ComboBoxMenuAnimations", 134, 148, 93, 21);
  ComboBoxMenuAnimations->SetStyle(csDropDownList);
  ComboBoxMenuAnimations->OnChange = {this, &TdxBarCustomizingForm::ComboBoxMenuAnimationsClick};
  LabelMenuAnimations->SetFocusControl(ComboBoxMenuAnimations);

  EnhancedOptionsPanel = MakePanel(this, TabSheet3, "EnhancedOptionsPanel", alClient, 346, 238);
  Bevel3 = MakeControl<TBevel>(this, EnhancedOptionsPanel, "Bevel3", 8, 14, 330, 2);
  Bevel3->SetShape(bsTopLine);
  Label3 = MakeLabel(this, EnhancedOptionsPanel, "Label3", 8, 8, "Personalized Menus and Toolbars  ");
  CBMenusShowRecentItemsFirst = MakeCheck(this, EnhancedOptionsPanel, "CBMenusShowRecentItemsFirst", 20, 32,
                                          "Me&nus show recently used commands first");
  CBMenusShowRecentItemsFirst->OnClick = {this, &TdxBarCustomizingForm::CBMenusShowRecentItemsFirstClick};
  CBShowFullMenusAfterDelay = MakeCheck(this, EnhancedOptionsPanel, "CBShowFullMenusAfterDelay", 36, 52,
                                        "Show f&ull menus after a short delay");
  CBShowFullMenusAfterDelay->OnClick = {this, &TdxBarCustomizingForm::CBShowFullMenusAfterDelayClick};
  BResetUsageData = MakeButton(this, EnhancedOptionsPanel, "BResetUsageData", 20, 76, 119, 22, "&Reset my usage data");
  BResetUsageData->OnClick = {this, &TdxBarCustomizingForm::BResetUsageDataClick};
  Bevel2 = MakeControl<TBevel>(this, EnhancedOptionsPanel, "Bevel2", 8, 114, 330, 2);
  Bevel2->SetShape(bsTopLine);
  Label2 = MakeLabel(this, EnhancedOptionsPanel, "Label2", 8, 108, "Other  ");
  CBLargeIconsEx = MakeCheck(this, EnhancedOptionsPanel, "CBLargeIconsEx", 20, 132, "&Large icons");
  CBLargeIconsEx->OnClick = {this, &TdxBarCustomizingForm::CBLargeIconsClick};
  CBHint1Ex = MakeCheck(this, EnhancedOptionsPanel, "CBHint1Ex", 20, 152, "Show Tool&Tips on toolbars");
  CBHint1Ex->OnClick = {this, &TdxBarCustomizingForm::CBHint1ExClick};
  CBHint2Ex = MakeCheck(this, EnhancedOptionsPanel, "CBHint2Ex", 36, 172, "Show s&hortcut keys in ToolTips");
  CBHint2Ex->OnClick = {this, &TdxBarCustomizingForm::CBHint2Click};
  Label1 = MakeLabel(this, EnhancedOptionsPanel, "Label1", 20, 200, "&Menu animations:");
  ComboBoxMenuAnimationsEx = MakeControl<TComboBox>(this, EnhancedOptionsPanel, "ComboBoxMenuAnimationsEx", 132, 196, 93, 21);
  ComboBoxMenuAnimationsEx->SetStyle(csDropDownList);
  ComboBoxMenuAnimationsEx->OnChange = {this, &TdxBarCustomizingForm::ComboBoxMenuAnimationsClick};
  Label1->SetFocusControl(ComboBoxMenuAnimationsEx);
  EndLoading();

  // The manager's font, the texts and the measured sizes.
  Font()->SetName(manager->Font()->Name());
  Font()->SetCharset(manager->Font()->Charset());
  SetCaption(dxBarLoadStr(dxSBAR_CAPTION));
  TabSheet1->SetCaption(dxBarLoadStr(dxSBAR_TABSHEET1));
  TabSheet2->SetCaption(dxBarLoadStr(dxSBAR_TABSHEET2));
  TabSheet3->SetCaption(dxBarLoadStr(dxSBAR_TABSHEET3));
  BClose->SetCaption(dxBarLoadStr(dxSBAR_CLOSE));
  int closeWidth = TextSize(Font(), BClose->Caption()).cx + 49;
  BClose->SetBounds(Panel1->Width() - Panel3->Width() - closeWidth, BClose->Top(), closeWidth, BClose->Height());
  UpdateHelpButton();

  barsList_->SetItemHeight(TextSize(Font(), "0").cy + 2);
  BBarReset->SetVisible(!manager->IsDesigning() && manager->CanReset());
  LabelToobars->SetFocusControl(barsList_);
  LabelToobars->SetCaption(dxBarLoadStr(dxSBAR_TOOLBARS));
  BBarNew->SetCaption(dxBarLoadStr(dxSBAR_TNEW));
  BBarRename->SetCaption(dxBarLoadStr(dxSBAR_TRENAME));
  BBarDelete->SetCaption(dxBarLoadStr(dxSBAR_TDELETE));
  BBarReset->SetCaption(dxBarLoadStr(dxSBAR_TRESET));
  LabelCommands->SetFocusControl(commandsList_);
  LabelCategories->SetFocusControl(LCategories);
  LabelCategories->SetCaption(dxBarLoadStr(dxSBAR_CATEGORIES));
  LabelCommands->SetCaption(dxBarLoadStr(dxSBAR_COMMANDS));
  LabelDescription->SetCaption(dxBarLoadStr(dxSBAR_DESCRIPTION));

  if (manager->Style() == bmsStandard) {
    CBLargeIcons->SetCaption(dxBarLoadStr(dxSBAR_PERSMENUSANDTOOLBARS + 5));
    CBHint1->SetCaption(dxBarLoadStr(dxSBAR_PERSMENUSANDTOOLBARS + 6));
    CBHint2->SetCaption(dxBarLoadStr(dxSBAR_PERSMENUSANDTOOLBARS + 7));
    SetAnimationRow(LabelMenuAnimations, ComboBoxMenuAnimations);
  } else {
    Label3->SetCaption(dxBarLoadStr(dxSBAR_PERSMENUSANDTOOLBARS));
    CBMenusShowRecentItemsFirst->SetCaption(dxBarLoadStr(dxSBAR_PERSMENUSANDTOOLBARS + 1));
    CBShowFullMenusAfterDelay->SetCaption(dxBarLoadStr(dxSBAR_PERSMENUSANDTOOLBARS + 2));
    BResetUsageData->SetCaption(dxBarLoadStr(dxSBAR_PERSMENUSANDTOOLBARS + 3));
    BResetUsageData->SetWidth(TextSize(Font(), BResetUsageData->Caption()).cx + 17);
    Label2->SetCaption(dxBarLoadStr(dxSBAR_PERSMENUSANDTOOLBARS + 4));
    CBLargeIconsEx->SetCaption(dxBarLoadStr(dxSBAR_PERSMENUSANDTOOLBARS + 5));
    CBHint1Ex->SetCaption(dxBarLoadStr(dxSBAR_PERSMENUSANDTOOLBARS + 6));
    CBHint2Ex->SetCaption(dxBarLoadStr(dxSBAR_PERSMENUSANDTOOLBARS + 7));
    SetAnimationRow(Label1, ComboBoxMenuAnimationsEx);
  }
  // A style switched while the window is open shows the other panel: both
  // animation combos have their entries.
  if (ComboBoxMenuAnimations->Items()->Count() == 0) SetAnimationRow(LabelMenuAnimations, ComboBoxMenuAnimations);
  if (ComboBoxMenuAnimationsEx->Items()->Count() == 0) SetAnimationRow(Label1, ComboBoxMenuAnimationsEx);

  // The group lines start after their captions.
  for (auto [label, bevel] : {std::pair{LabelDescription, Bevel1}, std::pair{Label3, Bevel3}, std::pair{Label2, Bevel2}}) {
    int right = bevel->Left() + bevel->Width();
    int left = label->Left() + label->Width();
    bevel->SetBounds(left, bevel->Top(), std::max(0, right - left), bevel->Height());
  }

  if (!manager->IsDesigning()) {
    TabSheet4->SetTabVisible(false);
    TabSheet5->SetTabVisible(false);
  }
  PageControl->SetActivePage(TabSheet1);

  TdxBars* bars = manager->Bars();
  int first = -1;
  for (int i = 0; i < bars->Count(); ++i) {
    TdxBar* bar = bars->Items(i);
    if (bar->Hidden() && !manager->IsDesigning()) continue;
    int row = barsList_->Items()->AddObject(bar->Caption(), bar);
    if (first < 0 && bar->Visible()) first = row;
  }
  barsList_->SetItemIndex(first);

  TdxBarManagerCategories* categories = manager->Categories();
  for (int i = 0; i < categories->Count(); ++i)
    if (manager->IsDesigning() || manager->CategoryVisible(i)) LCategories->Items()->Add(categories->Get(i));
  if (LCategories->Items()->Count() > 0) LCategories->SetItemIndex(0);
  LCategoriesClick(nullptr);

  BarManagerStyleChanged();
  UpdateOptions();
  BarsListBoxClick(nullptr);
}

TdxBarCustomizingForm::~TdxBarCustomizingForm() {
  if (!gClosing && gForm == this) {
    gClosing = true;
    EnableDisabledWindows();
    gForm = nullptr;
    if (ManagerAlive()) barManager_->Customizing(false);
    gClosing = false;
  }
  if (gForm == this) gForm = nullptr;
}

bool TdxBarCustomizingForm::ManagerAlive() const {
  return dxBarManagerList && dxBarManagerList->IndexOf(barManager_) >= 0 && !barManager_->IsDestroying();
}

void TdxBarCustomizingForm::CreateParams(TCreateParams& p) {
  TForm::CreateParams(p);
  p.WindowClass = &ControlWindowClass("TdxBarCustomizingForm", CS_SAVEBITS | CS_OWNDC);
  p.Style = WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU;
  p.ExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
  if (TCustomForm* main = barManager_->MainForm(); main && main->HandleAllocated()) p.WndParent = main->Handle();
}

void TdxBarCustomizingForm::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_ACTIVATE: {
      TCustomForm* main = barManager_->MainForm();
      if (main && main->HandleAllocated() && reinterpret_cast<HWND>(msg.LParam) == main->Handle() &&
          LOWORD(msg.WParam) != WA_INACTIVE) {
        // The main form echoes the activation passed on to it below: the
        // default handling would take the focus from this window's control.
        if (passingActivation_) {
          msg.Result = 0;
          return;
        }
        // The disabled main form was activated and hands the activation on:
        // this window takes it over once that activation is done.
        if (GetActiveWindow() != Handle()) {
          PostMessageA(Handle(), WM_TAKEACTIVATION, 0, 0);
          msg.Result = 0;
          return;
        }
      }
      TForm::Dispatch(msg);
      // The main form's caption and its floating bars stay active while
      // this window is used.
      if (main && main->HandleAllocated() && reinterpret_cast<HWND>(msg.LParam) != main->Handle()) {
        passingActivation_ = true;
        struct TReset {
          bool& Flag;
          ~TReset() { Flag = false; }
        } reset{passingActivation_};
        SendMessageA(main->Handle(), WM_ACTIVATE, msg.WParam, msg.LParam);
        SendMessageA(main->Handle(), WM_NCACTIVATE, LOWORD(msg.WParam) != WA_INACTIVE, 0);
      }
      return;
    }
    case WM_TAKEACTIVATION: {
      // Still wanted only while the main form is the disabled active window.
      TCustomForm* main = barManager_->MainForm();
      HWND active = GetActiveWindow();
      if (main && main->HandleAllocated() && active == main->Handle() && !IsWindowEnabled(active) && IsWindowVisible(Handle()))
        SetForegroundWindow(Handle());
      msg.Result = 0;
      return;
    }
    case WM_DESTROY:
      TForm::Dispatch(msg);
      // The window goes with its owner: customizing ends.
      if (!gClosing && !IsDestroying() && gForm == this) {
        gClosing = true;
        EnableDisabledWindows();
        gForm = nullptr;
        if (ManagerAlive()) barManager_->Customizing(false);
        gClosing = false;
      }
      return;
    default:
      TForm::Dispatch(msg);
  }
}

void TdxBarCustomizingForm::Activate() {
  TForm::Activate();
  // Not while a link's customizing popup is open.
  if (!dxBarCustomizingPopup()) PageControlChange(nullptr);
}

void TdxBarCustomizingForm::FormClose(TObject*, TCloseAction& action) {
  EnableDisabledWindows();
  action = caFree;
}

void TdxBarCustomizingForm::UpdateVisibility(const WINDOWPOS& pos) {
  if (!HandleAllocated()) return;
  if (pos.flags & SWP_SHOWWINDOW) ShowWindow(Handle(), SW_SHOW);
  if (pos.flags & SWP_HIDEWINDOW) ShowWindow(Handle(), SW_HIDE);
}

void TdxBarCustomizingForm::SelectPage(int page) {
  PageControl->SetActivePageIndex(page);
  PageControlChange(nullptr);
}

void TdxBarCustomizingForm::PageControlChange(TObject*) {
  TTabSheet* page = PageControl->ActivePage();
  if (page == TabSheet1)
    BarsListBoxClick(nullptr);
  else if (page == TabSheet2)
    LCommandsClick(nullptr);
}

void TdxBarCustomizingForm::UpdateHelpButton() {
  BHelp->SetGlyph(barManager_->HelpButtonGlyph());
  BHelp->SetVisible(barManager_->ShowHelpButton());
}

void TdxBarCustomizingForm::SetAnimationRow(TLabel* label, TComboBox* combo) {
  label->SetCaption(dxBarLoadStr(dxSBAR_MENUANIMATIONS));
  int x = label->Left() + label->Width() + 10;
  if (x > combo->Left()) combo->SetLeft(x);
  TStrings* items = combo->Items();
  items->Clear();
  int widest = 0;
  for (int i = 0; i < 4; ++i) {
    String text = dxBarLoadStr(dxSBAR_MENUANIM1 + i);
    items->Add(text);
    widest = std::max(widest, static_cast<int>(TextSize(Font(), text).cx));
  }
  combo->SetWidth(widest + 54);
}

void TdxBarCustomizingForm::BarManagerStyleChanged() {
  commandsList_->SetColor(barManager_->Style() == bmsFlat ? clWindow : clBtnFace);
  commandsList_->Invalidate();
}

// ---------------------------------------------------------------- toolbars page

TdxBar* TdxBarCustomizingForm::SelectedBar() { return barsList_->Bar(barsList_->ItemIndex()); }

void TdxBarCustomizingForm::BarsListBoxClick(TObject*) {
  TdxBar* bar = barsList_->Items()->Count() > 0 ? SelectedBar() : nullptr;
  bool designing = barManager_->IsDesigning();
  bool renamable = bar && (designing || !bar->LoadedWithForm());
  BBarRename->SetEnabled(renamable);
  BBarDelete->SetEnabled(renamable && (designing || bar->CanClose()));
  BBarReset->SetEnabled(bar && bar->CanReset());
}

void TdxBarCustomizingForm::UpdateBars() {
  TStrings* rows = barsList_->Items();
  for (int i = 0; i < rows->Count(); ++i) {
    TdxBar* bar = barsList_->Bar(i);
    if (rows->Get(i) != bar->Caption()) {
      int selected = barsList_->ItemIndex();
      rows->Put(i, bar->Caption());
      if (selected == i) barsList_->SetItemIndex(i);
    }
  }
  BarsListBoxClick(nullptr);
  if (barsList_->HandleAllocated()) {
    for (int i = 0; i < rows->Count(); ++i) barsList_->RepaintCheck(i);
  }
}

void TdxBarCustomizingForm::BBarNewClick(TObject*) {
  String name = barManager_->Bars()->GetUniqueToolbarName(dxBarLoadStr(dxSBAR_NEWTOOLBARCAPTION));
  if (!dxBarEditName(name, 0, 0, barManager_, nullptr)) return;
  TdxBar* bar = barManager_->Bars()->Add();
  bar->SetCaption(name);
  RECT wr;
  GetWindowRect(Handle(), &wr);
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  GetMonitorInfoA(MonitorFromPoint(POINT{wr.left, wr.top}, MONITOR_DEFAULTTONEAREST), &mi);
  int left = wr.left - 50;
  if (left < mi.rcWork.left) left = wr.right + 10;
  int top = wr.top;
  if (mi.rcWork.top > top) top = mi.rcWork.top + 10;
  bar->SetFloatLeft(left);
  bar->SetFloatTop(top);
  // A new toolbar floats at that place.
  bar->SetDockingStyle(dsNone);
  bar->SetVisible(true);
  int row = barsList_->Items()->AddObject(bar->Caption(), bar);
  barsList_->SetItemIndex(row);
  BarsListBoxClick(nullptr);
}

void TdxBarCustomizingForm::BBarRenameClick(TObject*) {
  int row = barsList_->ItemIndex();
  TdxBar* bar = SelectedBar();
  if (!bar) return;
  String name = bar->Caption();
  if (!dxBarEditName(name, 0, 1, barManager_, bar)) return;
  barsList_->Items()->Put(row, name);
  bar->SetCaption(name);
  barsList_->SetItemIndex(row);
  BarsListBoxClick(nullptr);
}

void TdxBarCustomizingForm::BBarDeleteClick(TObject*) {
  int row = barsList_->ItemIndex();
  TdxBar* bar = SelectedBar();
  if (!bar) return;
  if (Application->MessageBox(Format(dxBarLoadStr(dxSBAR_WANTTODELETETOOLBAR), barsList_->Items()->Get(row)),
                              Application->Title, MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK)
    return;
  barsList_->Items()->Delete(row);
  int count = barsList_->Items()->Count();
  barsList_->SetItemIndex(row < count ? row : count - 1);
  barManager_->Bars()->Delete(bar->Index());
  BarsListBoxClick(nullptr);
}

void TdxBarCustomizingForm::BBarResetClick(TObject*) {
  if (TdxBar* bar = SelectedBar()) bar->ResetWithConfirmation();
}

// ---------------------------------------------------------------- commands page

int TdxBarCustomizingForm::CategoryRow(int category) {
  if (category < 0 || category >= barManager_->Categories()->Count()) return -1;
  if (barManager_->IsDesigning()) return category;
  if (!barManager_->CategoryVisible(category)) return -1;
  int row = 0;
  for (int i = 0; i < category; ++i)
    if (barManager_->CategoryVisible(i)) ++row;
  return row;
}

void TdxBarCustomizingForm::RebuildCommands() {
  TStrings* rows = commandsList_->Items();
  rows->BeginUpdate();
  rows->Clear();
  int row = LCategories->ItemIndex();
  if (row >= 0) {
    int category = barManager_->IsDesigning() ? row : barManager_->GetCategoryRealIndex(row);
    std::vector<TdxBarItem*> items;
    barManager_->GetItemsByCategory(category, items);
    for (TdxBarItem* item : items) rows->AddObject(item->Caption(), item);
  }
  rows->EndUpdate();
}

void TdxBarCustomizingForm::LCategoriesClick(TObject*) {
  RebuildCommands();
  DescriptionLabel->SetCaption("");
}

void TdxBarCustomizingForm::LCommandsClick(TObject*) {
  barManager_->SetSelectedItem(nullptr);
  TdxBarItem* item = commandsList_->Item(commandsList_->ItemIndex());
  DescriptionLabel->SetCaption(item ? item->Description() : String());
  if (DescriptionLabel->Parent() && DescriptionLabel->Parent()->HandleAllocated())
    UpdateWindow(DescriptionLabel->Parent()->Handle());
}

void TdxBarCustomizingForm::UpdateItems() {
  commandsList_->Invalidate();
  bool updating = updating_;
  updating_ = true;
  LCommandsClick(nullptr);
  updating_ = updating;
}

void TdxBarCustomizingForm::UpdateItemsEx(TdxBarItem* item, bool reselect) {
  if (!item) return;
  bool updating = updating_;
  updating_ = true;
  int row = CategoryRow(item->Category());
  // A category not listed (hidden) keeps the selected row.
  if (row >= 0 && (reselect || LCategories->ItemIndex() != row)) {
    LCategories->SetItemIndex(row);
    RebuildCommands();
  }
  int itemRow = commandsList_->Items()->IndexOfObject(item);
  if (itemRow >= 0) commandsList_->SetItemIndex(itemRow);
  LCommandsClick(nullptr);
  updating_ = updating;
}

void TdxBarCustomizingForm::FullUpdateItems() {
  bool updating = updating_;
  updating_ = true;
  int row = commandsList_->ItemIndex();
  RebuildCommands();
  int count = commandsList_->Items()->Count();
  commandsList_->SetItemIndex(std::min(row, count - 1));
  LCommandsClick(nullptr);
  updating_ = updating;
}

// ---------------------------------------------------------------- options page

void TdxBarCustomizingForm::UpdateOptions() {
  bool loading = loadingOptions_;
  loadingOptions_ = true;
  TdxBarManager* m = barManager_;
  bool standard = m->Style() == bmsStandard;
  StandardOptionsPanel->SetVisible(standard);
  EnhancedOptionsPanel->SetVisible(!standard);
  CBMenusShowRecentItemsFirst->SetChecked(m->MenusShowRecentItemsFirst());
  CBShowFullMenusAfterDelay->SetChecked(m->ShowFullMenusAfterDelay());
  CBShowFullMenusAfterDelay->SetEnabled(CBMenusShowRecentItemsFirst->Checked());
  CBLargeIcons->SetChecked(m->LargeIcons());
  CBLargeIconsEx->SetChecked(m->LargeIcons());
  CBHint1->SetChecked(m->ShowHint());
  CBHint1Ex->SetChecked(m->ShowHint());
  CBHint2->SetChecked(m->ShowShortCutInHint());
  CBHint2Ex->SetChecked(m->ShowShortCutInHint());
  CBHint2Ex->SetEnabled(CBHint1Ex->Checked());
  ComboBoxMenuAnimations->SetItemIndex(m->MenuAnimations());
  ComboBoxMenuAnimationsEx->SetItemIndex(m->MenuAnimations());
  loadingOptions_ = loading;
}

void TdxBarCustomizingForm::CBMenusShowRecentItemsFirstClick(TObject*) {
  if (loadingOptions_) return;
  CBShowFullMenusAfterDelay->SetEnabled(CBMenusShowRecentItemsFirst->Checked());
  barManager_->SetMenusShowRecentItemsFirst(CBMenusShowRecentItemsFirst->Checked());
}

void TdxBarCustomizingForm::CBShowFullMenusAfterDelayClick(TObject*) {
  if (loadingOptions_) return;
  barManager_->SetShowFullMenusAfterDelay(CBShowFullMenusAfterDelay->Checked());
}

void TdxBarCustomizingForm::BResetUsageDataClick(TObject*) { barManager_->ResetUsageDataWithConfirmation(); }

void TdxBarCustomizingForm::CBLargeIconsClick(TObject* sender) {
  if (loadingOptions_) return;
  if (auto* box = dynamic_cast<TCheckBox*>(sender)) barManager_->SetLargeIcons(box->Checked());
}

void TdxBarCustomizingForm::CBHint1Click(TObject*) {
  if (loadingOptions_) return;
  barManager_->SetShowHint(CBHint1->Checked());
}

void TdxBarCustomizingForm::CBHint1ExClick(TObject*) {
  if (loadingOptions_) return;
  CBHint2Ex->SetEnabled(CBHint1Ex->Checked());
  barManager_->SetShowHint(CBHint1Ex->Checked());
}

void TdxBarCustomizingForm::CBHint2Click(TObject* sender) {
  if (loadingOptions_) return;
  if (auto* box = dynamic_cast<TCheckBox*>(sender)) barManager_->SetShowShortCutInHint(box->Checked());
}

void TdxBarCustomizingForm::ComboBoxMenuAnimationsClick(TObject* sender) {
  if (loadingOptions_) return;
  auto* combo = dynamic_cast<TComboBox*>(sender);
  if (combo && combo->ItemIndex() >= 0)
    barManager_->SetMenuAnimations(static_cast<TdxBarMenuAnimations>(combo->ItemIndex()));
}

// ---------------------------------------------------------------- buttons

void TdxBarCustomizingForm::BCloseClick(TObject*) { Close(); }

void TdxBarCustomizingForm::BHelpClick(TObject*) {
  if (barManager_->IsDesigning()) return;
  barManager_->DoHelpButtonClick();
  if (barManager_->HelpContext() != 0) Application->HelpContext(barManager_->HelpContext());
}

// ---------------------------------------------------------------- unit routines

TdxBarCustomizingForm* dxBarCustomizingForm() { return gForm; }

bool dxBarCustomizingFormExists() { return gForm != nullptr; }

void dxBarCustomizing(TdxBarManager* manager, bool show) {
  if (show) {
    if (gForm) return;
    if (manager->OnShowCustomizingForm) manager->OnShowCustomizingForm(manager);
    gDisabledWindows.clear();
    if (dxBarManagerList)
      for (int i = 0; i < dxBarManagerList->Count(); ++i) {
        TCustomForm* form = dxBarManagerList->GetBarManager(i)->MainForm();
        if (form && form->HandleAllocated() && IsWindowEnabled(form->Handle())) {
          EnableWindow(form->Handle(), FALSE);
          gDisabledWindows.push_back(form->Handle());
        }
      }
    gForm = new TdxBarCustomizingForm(manager);
    gForm->Show();
    return;
  }
  if (!gClosing && gForm) {
    gClosing = true;
    EnableDisabledWindows();
    TdxBarCustomizingForm* form = gForm;
    gForm = nullptr;
    form->Free();
    gClosing = false;
  }
  if (manager->OnHideCustomizingForm) manager->OnHideCustomizingForm(manager);
}

void UpdateCustomizingBars() {
  if (gForm) gForm->UpdateBars();
}

void UpdateCustomizingBarItems() {
  if (gForm) gForm->UpdateItems();
}

void UpdateCustomizingBarItemsEx(TdxBarItem* item, bool reselect) {
  if (gForm) gForm->UpdateItemsEx(item, reselect);
}

void FullUpdateCustomizingBarItems() {
  if (gForm) gForm->FullUpdateItems();
}

// The All commands and Groups pages serve a form designer only.
void UpdateCustomizingAllCommands() {}
void UpdateGroupItems() {}
void UpdateGroups() {}

void UpdateBarManagerOptions() {
  if (gForm) gForm->UpdateOptions();
}

void UpdateHelpButton() {
  if (gForm) gForm->UpdateHelpButton();
}

void HostBarManagerStyleChanged() {
  if (!gForm) return;
  UpdateCustomizingBarItems();
  UpdateBarManagerOptions();
  gForm->BarManagerStyleChanged();
}
