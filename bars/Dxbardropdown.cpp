// The drop-down list of the combos with entries. It is made as a child of
// the combo's bar window, which keeps hearing its drawing and its
// notifications, and then detached to float above everything; its own
// procedure is told once that it has the focus, so a click in it never
// takes the focus from the combo's edit.
#include "Dxbarwinitems.h"

#include <memory>

#include <windowsx.h>

namespace {

TdxBarComboControl* FocusedControl(TdxBarCustomCombo* combo) {
  TdxBarItemLink* link = combo ? combo->FocusedItemLink() : nullptr;
  return link ? dynamic_cast<TdxBarComboControl*>(link->Control()) : nullptr;
}

}  // namespace

TdxBarDropDownListBox::TdxBarDropDownListBox(TdxBarCustomCombo* combo) : TCustomListBox(nullptr), combo_(combo) {
  SetStyle(lbOwnerDrawVariable);
  visible_ = false;
  tabStop_ = false;
}

void TdxBarDropDownListBox::CreateParams(TCreateParams& p) {
  TCustomListBox::CreateParams(p);
  p.WindowClass = &ControlSuperclass("TdxBarDropDownListBox", "LISTBOX");
  p.Style &= ~(WS_HSCROLL | WS_TABSTOP);
  p.ExStyle &= ~WS_EX_CLIENTEDGE;
  p.ExStyle |= WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
}

void TdxBarDropDownListBox::CreateWnd() {
  TCustomListBox::CreateWnd();
  SetClassLongPtrA(handle_, GCL_STYLE, static_cast<LONG_PTR>(GetClassLongPtrA(handle_, GCL_STYLE) | CS_SAVEBITS));
  // Off its bar window, above everything; its own procedure believes it
  // has the focus, so a press in it never takes it.
  ::SetParent(handle_, nullptr);
  SetWindowPos(handle_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  TMessage focus{WM_SETFOCUS, 0, 0, 0};
  DefaultHandler(focus);
}

void TdxBarDropDownListBox::Prepare(HWND barWindow) {
  if (HandleAllocated() && ParentWindow() == barWindow) return;
  Release();
  // The bar window's edit font, in the window text colour.
  TFont copy;
  auto* bar = dynamic_cast<TCustomdxBarControl*>(FindControlOrParent(barWindow));
  if (HFONT edit = bar ? bar->GetEditFontHandle() : nullptr) copy.SetHandle(edit);
  else if (combo_ && combo_->BarManager()) copy.Assign(combo_->BarManager()->Font());
  copy.SetColor(clWindowText);
  Font()->Assign(&copy);
  Canvas()->Font()->Assign(&copy);
  if (combo_) combo_->listCanvas_->Font()->Assign(&copy);
  SetParentWindow(barWindow);
  HandleNeeded();
}

void TdxBarDropDownListBox::Release() {
  pressPending_ = false;
  shownRow_ = -2;
  if (GetCapture() == handle_ && handle_) ReleaseCapture();
  SetParentWindow(nullptr);
  if (HandleAllocated()) DestroyHandle();
}

void TdxBarDropDownListBox::MeasureRows() {
  if (!HandleAllocated() || !combo_) return;
  for (int i = 0; i < Items()->Count(); ++i) {
    int h = 0;
    combo_->MeasureItem(i, h);
    SendMessageA(handle_, LB_SETITEMHEIGHT, static_cast<WPARAM>(i), std::max(h, 1));
  }
}

// ---------------------------------------------------------------- rows

void TdxBarDropDownListBox::ShowRow(int index) {
  if (index == shownRow_) return;
  shownRow_ = index;
  if (TdxBarComboControl* c = FocusedControl(combo_)) c->SetLocalItemIndex(index);
}

void TdxBarDropDownListBox::RowChosen(int index) {
  TdxBarCustomCombo* combo = combo_;
  if (!combo) return;
  TdxBarItemLink* link = combo->CurItemLink();
  auto* control = link ? dynamic_cast<TCustomdxBarComboControl*>(link->Control()) : nullptr;
  std::shared_ptr<const bool> alive = control ? control->Alive() : nullptr;
  if (link) link->RealItemLink()->BringToTopInRecentList(true);
  // Closing the menus closes the list with its control.
  if (TdxBarManager* m = combo->BarManager()) m->HideAll();
  if (control && *alive && control->DroppedDown()) control->SetDroppedDown(false);
  if (index != -1) combo->SetItemIndex(index);
}

// ---------------------------------------------------------------- messages

void TdxBarDropDownListBox::MouseMove(TMessage& msg) {
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  bool inside = ClientRect().Contains(p);
  if (inside) {
    int row = ItemAtPos(p, true);
    if (row >= 0 && row != ItemIndex()) {
      SetItemIndex(row);
      ShowRow(row);
    }
  }
  // A press on the combo dragged into the list: as a press in it.
  if (pressPending_ && inside && GetCapture() == handle_) {
    pressPending_ = false;
    TMessage down{WM_LBUTTONDOWN, MK_LBUTTON, msg.LParam, 0};
    DefaultHandler(down);
    msg.Result = 0;
    return;
  }
  TCustomListBox::WndProc(msg);
}

void TdxBarDropDownListBox::LButtonUp(TMessage& msg) {
  if (pressPending_) {
    // Released before it came into the list: the list stays open.
    pressPending_ = false;
    if (GetCapture() == handle_) ReleaseCapture();
    msg.Result = 0;
    return;
  }
  TPoint p(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
  bool inside = ClientRect().Contains(p);
  TCustomListBox::WndProc(msg);
  // Released outside the list: nothing is chosen.
  if (!inside || !HandleAllocated()) return;
  RowChosen(ItemIndex());
}

void TdxBarDropDownListBox::NCPaint() {
  HDC dc = GetWindowDC(handle_);
  RECT w;
  ::GetWindowRect(handle_, &w);
  RECT r{0, 0, w.right - w.left, w.bottom - w.top};
  if (combo_ && combo_->Flat()) {
    FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    InflateRect(&r, -1, -1);
    FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
  } else {
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
  }
  ReleaseDC(handle_, dc);
}

void TdxBarDropDownListBox::WndProc(TMessage& msg) {
  switch (msg.Msg) {
    case WM_NCCALCSIZE: {
      RECT* r = msg.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(msg.LParam)->rgrc[0]
                           : reinterpret_cast<RECT*>(msg.LParam);
      InflateRect(r, -2, -2);
      TCustomListBox::WndProc(msg);
      return;
    }
    case WM_NCPAINT:
      TCustomListBox::WndProc(msg);
      NCPaint();
      msg.Result = 0;
      return;
    case WM_ERASEBKGND:
      msg.Result = 1;
      return;
    case WM_MOUSEACTIVATE:
      msg.Result = MA_NOACTIVATE;
      return;
    case WM_MOUSEMOVE:
      MouseMove(msg);
      return;
    case WM_LBUTTONUP:
      LButtonUp(msg);
      return;
    case WM_CAPTURECHANGED:
      pressPending_ = false;
      break;
    case WM_KEYDOWN:
      // A key without a selection starts at the top row shown.
      if (ItemIndex() == -1 && Items()->Count() > 0) {
        SetItemIndex(TopIndex());
        ShowRow(TopIndex());
      }
      break;
    default:
      break;
  }
  TCustomListBox::WndProc(msg);
}

void TdxBarDropDownListBox::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_COMMAND:
      if (HIWORD(msg.WParam) == LBN_SELCHANGE) ShowRow(ItemIndex());
      msg.Result = 0;
      return;
    case CN_DRAWITEM: {
      // The combo draws the row, its focus frame included.
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(msg.LParam);
      TCanvas* canvas = Canvas();
      canvas->SetHandle(d->hDC);
      canvas->Font()->Assign(Font());
      canvas->Brush()->Assign(Brush());
      int index = static_cast<int>(d->itemID);
      if (index >= 0 && (d->itemState & ODS_SELECTED)) {
        canvas->Brush()->SetColor(clHighlight);
        canvas->Font()->SetColor(clHighlightText);
      }
      TCanvas* old = combo_ ? combo_->SetDrawingCanvas(canvas) : nullptr;
      {
        TFinally guard([&] {
          if (combo_) combo_->SetDrawingCanvas(old);
          canvas->SetHandle(nullptr);
        });
        if (index >= 0 && combo_)
          combo_->DrawItem(index, d->rcItem, OwnerDrawState(d->itemState));
        else
          canvas->FillRect(d->rcItem);
      }
      msg.Result = 1;
      return;
    }
    default:
      TCustomListBox::Dispatch(msg);
  }
}
