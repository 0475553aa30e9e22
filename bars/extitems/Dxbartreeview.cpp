// The tree-view combo, its drop-down tree with the sizeable frame, and its
// "Select item" dialog.
#include "Dxbartreeview.h"

#include <algorithm>
#include <memory>

#include <windowsx.h>

#include "bars/Dxbarcontrols.h"
#include "bars/Dxbarstrs.h"
#include "classlib/Forms.h"
#include "classlib/Stdctrls.h"

DX_BAR_ITEM_CLASS_IMPL(TdxBarTreeViewCombo)
DX_BAR_CONTROL_CLASS_IMPL(TdxBarTreeViewComboControl)

TTreeNode* dxBarFindNode(TTreeNodes* nodes, const String& s) {
  if (!nodes) return nullptr;
  for (TTreeNode* n = nodes->GetFirstNode(); n; n = n->GetNext())
    if (AnsiSameText(n->Text(), s)) return n;
  return nullptr;
}

namespace {

// Sizes are set again until they hold, at most this often (scroll bars
// coming and going, or a form larger than the screen, never settle).
constexpr int kSizeTries = 4;

void SetClientSize(TWinControl* control, int width, int height) {
  for (int i = 0; i < kSizeTries; ++i) {
    if (control->ClientWidth() == width && control->ClientHeight() == height) return;
    control->SetClientWidth(width);
    control->SetClientHeight(height);
  }
}

TCustomdxBarComboControl* ComboControl(TdxBarItemLink* link) {
  return link ? dynamic_cast<TCustomdxBarComboControl*>(link->Control()) : nullptr;
}

}  // namespace

// ---------------------------------------------------------------- tree

TdxBarTreeView::TdxBarTreeView(TComponent* owner, TdxBarTreeViewCombo* combo, bool popup)
    : TTreeView(owner), combo_(combo), popup_(popup) {
  visible_ = false;
  tabStop_ = false;
  SetReadOnly(true);
  SetHideSelection(false);
  SetBounds(0, 0, 150, 200);
}

TdxBarTreeView::~TdxBarTreeView() {
  // Every node goes, last first.
  Items()->BeginUpdate();
  while (Items()->Count() > 0) Items()->Item(Items()->Count() - 1)->Delete();
  Items()->EndUpdate();
}

bool TdxBarTreeView::AllowResizing() const { return combo_ && combo_->AllowResizing(); }

void TdxBarTreeView::CreateParams(TCreateParams& p) {
  TTreeView::CreateParams(p);
  if (!popup_) return;
  p.WindowClass = &ControlSuperclass("TdxBarTreeView", WC_TREEVIEWA);
  p.Style &= ~WS_TABSTOP;
  p.ExStyle &= ~WS_EX_CLIENTEDGE;
  p.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
}

void TdxBarTreeView::CreateWnd() {
  TTreeView::CreateWnd();
  if (!popup_) return;
  SetClassLongPtrA(handle_, GCL_STYLE, static_cast<LONG_PTR>(GetClassLongPtrA(handle_, GCL_STYLE) | CS_SAVEBITS));
  // Off its parent, above everything; a child of the desktop never takes
  // the focus, and its own procedure believes it has it, so the selection
  // shows as focused while the combo's edit keeps the keyboard.
  ::SetParent(handle_, nullptr);
  SetWindowPos(handle_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  TMessage focus{WM_SETFOCUS, 0, 0, 0};
  DefaultHandler(focus);
}

void TdxBarTreeView::SaveAndHide() {
  TTreeNode* node = Selected();
  if (!node || !combo_) return;
  if (!popup_) {
    if (!combo_->DoCanSelectNode(node)) return;
    if (auto* form = dynamic_cast<TCustomForm*>(Owner())) form->SetModalResult(mrOk);
    return;
  }
  if (!combo_->DoCanSelectNode(node)) return;
  TdxBarTreeViewCombo* combo = combo_;
  TdxBarItemLink* link = combo->CurItemLink();
  TCustomdxBarComboControl* control = ComboControl(link);
  std::shared_ptr<const bool> alive = control ? control->Alive() : nullptr;
  if (link) link->RealItemLink()->BringToTopInRecentList(true);
  if (TdxBarManager* m = combo->BarManager()) m->HideAll();
  if (control && *alive && control->DroppedDown()) control->SetDroppedDown(false);
  combo->SetSelectedNode(node);
}

void TdxBarTreeView::ResetCloseButton() {
  if (closeTracking_ && GetCapture() == handle_) ReleaseCapture();
  closeTracking_ = false;
  mouseAboveClose_ = false;
}

void TdxBarTreeView::RepaintFrame() {
  if (HandleAllocated()) SendMessageA(handle_, WM_NCPAINT, 1, 0);
}

void TdxBarTreeView::SetMouseAboveClose(bool value) {
  if (value == mouseAboveClose_) return;
  mouseAboveClose_ = value;
  if (value) {
    TRACKMOUSEEVENT t{sizeof t, TME_LEAVE | TME_NONCLIENT, handle_, 0};
    TrackMouseEvent(&t);
  }
  RepaintFrame();
}

bool TdxBarTreeView::InCloseButton(POINT screen) const { return closeButtonRect_.Contains(screen); }

void TdxBarTreeView::NCHitTest(TMessage& msg) {
  POINT p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
  if (AllowResizing() && gripRect_.Contains(p)) {
    msg.Result = GetHitTestByCorner(corner_);
    return;
  }
  // Above the close button only where nothing covers the pop-up and no
  // other window holds the mouse.
  HWND top = ChildWindowFromPointEx(GetDesktopWindow(), p, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
  HWND capture = GetCapture();
  bool above = top == handle_ && (!capture || closeTracking_) && InCloseButton(p);
  SetMouseAboveClose(above);
  if (above) {
    msg.Result = HTBORDER;
    return;
  }
  TTreeView::WndProc(msg);
}

bool TdxBarTreeView::NodeClicked(POINT p) {
  THitTests hit = GetHitTestInfoAt(p.x, p.y);
  if (!(hit.Contains(htOnItem) || hit.Contains(htOnIcon) || hit.Contains(htOnLabel) ||
        hit.Contains(htOnStateIcon)))
    return false;
  TTreeNode* node = GetNodeAt(p.x, p.y);
  if (!node) return false;
  if (node != Selected()) SetSelected(node);
  SaveAndHide();
  return true;
}

void TdxBarTreeView::WndProc(TMessage& msg) {
  if (!popup_) {
    if (msg.Msg == WM_KEYDOWN && msg.WParam == VK_RETURN) {
      SaveAndHide();
      msg.Result = 0;
      return;
    }
    TTreeView::WndProc(msg);
    return;
  }
  switch (msg.Msg) {
    case WM_NCCALCSIZE: {
      RECT* r = msg.WParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(msg.LParam)->rgrc[0]
                           : reinterpret_cast<RECT*>(msg.LParam);
      TRect t = *r;
      dxBarPopupNCCalcSize(handle_, t, corner_, combo_, AllowResizing());
      *r = t;
      TTreeView::WndProc(msg);
      return;
    }
    case WM_NCPAINT: {
      TTreeView::WndProc(msg);
      dxBarPopupNCPaint(handle_, AllowResizing(), combo_ && combo_->Flat(), mouseAboveClose_, closeTracking_,
                        closeButtonRect_, gripRect_, corner_);
      msg.Result = 0;
      return;
    }
    case WM_NCHITTEST:
      NCHitTest(msg);
      return;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      if (mouseAboveClose_) {
        closeTracking_ = true;
        SetCapture(handle_);
        RepaintFrame();
        msg.Result = 0;
        return;
      }
      break;
    case WM_MOUSEMOVE:
      if (closeTracking_) {
        POINT p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
        ::ClientToScreen(handle_, &p);
        bool above = InCloseButton(p);
        if (above != mouseAboveClose_) {
          mouseAboveClose_ = above;
          RepaintFrame();
        }
        msg.Result = 0;
        return;
      }
      break;
    case WM_LBUTTONUP:
      if (closeTracking_) {
        POINT p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
        ::ClientToScreen(handle_, &p);
        bool above = InCloseButton(p);
        closeTracking_ = false;
        if (GetCapture() == handle_) ReleaseCapture();
        mouseAboveClose_ = above;
        if (above) {
          mouseAboveClose_ = false;
          TdxBarTreeViewCombo* combo = combo_;
          TCustomdxBarComboControl* control = ComboControl(combo ? combo->CurItemLink() : nullptr);
          std::shared_ptr<const bool> alive = control ? control->Alive() : nullptr;
          if (combo && combo->BarManager()) combo->BarManager()->HideAll();
          if (control && *alive && control->DroppedDown()) control->SetDroppedDown(false);
        } else {
          RepaintFrame();
        }
        msg.Result = 0;
        return;
      }
      break;
    case WM_CAPTURECHANGED:
      if (closeTracking_) {
        closeTracking_ = false;
        mouseAboveClose_ = false;
        RepaintFrame();
      }
      break;
    case WM_NCMOUSELEAVE:
    case WM_MOUSELEAVE:
      if (mouseAboveClose_ && !closeTracking_) {
        mouseAboveClose_ = false;
        RepaintFrame();
      }
      break;
    case WM_GETMINMAXINFO: {
      TTreeView::WndProc(msg);
      auto* mm = reinterpret_cast<MINMAXINFO*>(msg.LParam);
      mm->ptMinTrackSize = POINT{100, 100};
      msg.Result = 0;
      return;
    }
    case WM_MOUSEACTIVATE:
      msg.Result = MA_NOACTIVATE;
      return;
    case WM_SYSCOLORCHANGE:
      TTreeView::WndProc(msg);
      RecreateWnd();
      return;
    case WM_KEYDOWN:
      if (msg.WParam == VK_RETURN) {
        SaveAndHide();
        msg.Result = 0;
        return;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      // The tree's own handling waits for the release (a drag may start),
      // so the click is whole when it returns.
      POINT p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
      bool dbl = msg.Msg == WM_LBUTTONDBLCLK;
      TTreeView::WndProc(msg);
      if (combo_ && HandleAllocated() && IsWindowVisible(handle_) && dbl == combo_->ChooseByDblClick())
        NodeClicked(p);
      return;
    }
    case TVM_SETITEMA:
    case TVM_SETITEMW: {
      TTreeView::WndProc(msg);
      auto* item = reinterpret_cast<TVITEMA*>(msg.LParam);
      if (combo_ && item && (item->mask & TVIF_TEXT) && combo_->SelectedNode() &&
          combo_->SelectedNode()->ItemId() == item->hItem)
        combo_->DoSelectedNodeChanged();
      return;
    }
    case TVM_SETIMAGELIST:
      TTreeView::WndProc(msg);
      if (combo_) combo_->UpdateEx();
      return;
    default:
      break;
  }
  TTreeView::WndProc(msg);
}

void TdxBarTreeView::Change(TTreeNode* node) {
  TTreeView::Change(node);
  if (popup_ && combo_ && node && HandleAllocated() && IsWindowVisible(handle_) && combo_->FocusedItemLink())
    combo_->SetCurText(node->Text());
}

void TdxBarTreeView::Delete(TTreeNode* node) {
  if (popup_ && combo_ && combo_->selectedNode_ == node) combo_->selectedNode_ = nullptr;
  TTreeView::Delete(node);
}

// ---------------------------------------------------------------- combo

TdxBarTreeViewCombo::TdxBarTreeViewCombo(TComponent* owner) : TCustomdxBarCombo(owner) {
  editorHidden_ = true;
  tree_ = new TdxBarTreeView(this, this, true);
  tree_->FreeNotification(this);
  try {
    glyph_->LoadFromResourceName(GetModuleHandleA(nullptr), "DXBARTREEVIEWCOMBO");
  } catch (const Exception&) {
    // A program without the bars' resources shows the combo without glyph.
  }
}

TdxBarTreeViewCombo::~TdxBarTreeViewCombo() {
  selectedNode_ = nullptr;
  if (tree_) {
    TdxBarTreeView* t = tree_;
    tree_ = nullptr;
    t->Free();
  }
}

void TdxBarTreeViewCombo::Notification(TComponent* component, TOperation operation) {
  TCustomdxBarCombo::Notification(component, operation);
  if (operation == opRemove && component == tree_) {
    tree_ = nullptr;
    selectedNode_ = nullptr;
  }
}

void TdxBarTreeViewCombo::SetShowImageInEdit(bool value) {
  if (value == showImageInEdit_) return;
  showImageInEdit_ = value;
  if (Images() || StateImages()) UpdateEx();
}

void TdxBarTreeViewCombo::SetDropDownHeight(int value) {
  if (tree_) tree_->SetHeight(std::max(value, 100));
}

void TdxBarTreeViewCombo::SetDropDownWidth(int value) {
  if (tree_) tree_->SetWidth(std::max(value, 100));
}

void TdxBarTreeViewCombo::SetImages(TCustomImageList* value) {
  if (tree_) tree_->SetImages(value);
  UpdateEx();
}

void TdxBarTreeViewCombo::SetStateImages(TCustomImageList* value) {
  if (tree_) tree_->SetStateImages(value);
  UpdateEx();
}

void TdxBarTreeViewCombo::SetSelectedNode(TTreeNode* node) {
  if (node == selectedNode_) return;
  selectedNode_ = node;
  DoSelectedNodeChanged();
}

void TdxBarTreeViewCombo::DoSelectedNodeChanged() {
  changingText_ = true;
  TFinally guard([&] { changingText_ = false; });
  String s = selectedNode_ ? selectedNode_->Text() : String();
  if (Text() != s) SetText(s);
  else Change();
  Update();
}

bool TdxBarTreeViewCombo::DoCanSelectNode(TTreeNode* node) {
  bool allow = true;
  if (OnCanSelectNode) OnCanSelectNode(this, node, allow);
  return allow;
}

bool TdxBarTreeViewCombo::HasImageInEdit() const { return showImageInEdit_ && (Images() || StateImages()); }

void TdxBarTreeViewCombo::SetText(const String& value) {
  if (value == Text()) return;
  if (IsLoading()) {
    loadedText_ = value;
    return;
  }
  if (!changingText_) selectedNode_ = FindNode(value);
  TCustomdxBarCombo::SetText(value);
}

void TdxBarTreeViewCombo::Loaded() {
  TCustomdxBarCombo::Loaded();
  SetText(loadedText_);
}

bool TdxBarTreeViewCombo::CheckKeyForDropDownWindow(WORD key, TShiftState shift) {
  if (key == VK_RETURN) return true;
  return TCustomdxBarCombo::CheckKeyForDropDownWindow(key, shift);
}

HWND TdxBarTreeViewCombo::GetDropDownWindow() {
  if (HWND wnd = TCustomdxBarCombo::GetDropDownWindow()) return wnd;
  return tree_ && tree_->HandleAllocated() ? tree_->Handle() : nullptr;
}

void TdxBarTreeViewCombo::DropDown(int x, int y) {
  if (!tree_) return;
  TdxBarItemLink* link = CurItemLink();
  TCustomdxBarControl* bar = link ? link->BarControl() : nullptr;
  // The tree's notifications go to the window it was made in: the
  // manager's main form, else the bar window.
  if (!tree_->HandleAllocated()) {
    TCustomForm* form = BarManager() ? BarManager()->MainForm() : nullptr;
    HWND parent = form && form->HandleAllocated() ? form->Handle()
                  : bar && bar->HandleAllocated() ? bar->Handle() : nullptr;
    if (!parent) return;
    tree_->SetParentWindow(parent);
    tree_->HandleNeeded();
  }
  TFont copy;
  if (HFONT edit = bar ? bar->GetEditFontHandle() : nullptr) copy.SetHandle(edit);
  else if (BarManager()) copy.Assign(BarManager()->Font());
  tree_->Font()->Assign(&copy);
  if (fullExpand_) tree_->FullExpand();
  String edit = CurText();
  if (edit != Text()) tree_->SetSelected(FindNode(edit));
  if (!tree_->Selected() && tree_->Items()->Count() > 0) {
    tree_->SetSelected(tree_->Items()->GetFirstNode());
    tree_->Items()->GetFirstNode()->MakeVisible();
  }
  tree_->ResetCloseButton();
  TCustomdxBarCombo::DropDown(x, y);
  // The frame follows where the pop-up came to lie.
  SetWindowPos(tree_->Handle(), nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TdxBarTreeViewCombo::CloseUp() {
  if (tree_) tree_->ResetCloseButton();
  TCustomdxBarCombo::CloseUp();
}

void TdxBarTreeViewCombo::DrawInterior(TCanvas* canvas, const TRect& r, TdxBarItemLink* link) {
  if (!HasImageInEdit()) {
    TCustomdxBarCombo::DrawInterior(canvas, r, link);
    return;
  }
  bool edited = link && link == FocusedItemLink();
  TTreeNode* node = edited && tree_ && tree_->Selected() ? tree_->Selected() : selectedNode_;
  canvas->FillRect(r);
  int x = r.left + 1;
  TCustomImageList* states = StateImages();
  if (states && node && node->StateIndex() >= 0 && node->StateIndex() < states->Count()) {
    states->Draw(canvas, x, r.top + (r.Height() - states->Height()) / 2, node->StateIndex());
    x += states->Width();
  }
  if (TCustomImageList* images = Images()) {
    int index = -1;
    if (node && node->SelectedIndex() >= 0 && node->SelectedIndex() < images->Count()) index = node->SelectedIndex();
    else if (node && node->ImageIndex() >= 0 && node->ImageIndex() < images->Count()) index = node->ImageIndex();
    if (index >= 0) images->Draw(canvas, x, r.top + (r.Height() - images->Height()) / 2, index);
    x += images->Width() + 3;
  }
  TRect t(x + 2, r.top, r.right - 2, r.bottom);
  TBrushStyle style = canvas->Brush()->Style();
  canvas->Brush()->SetStyle(bsClear);
  canvas->DrawText(edited ? CurText() : Text(), t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  canvas->Brush()->SetStyle(style);
}

void TdxBarTreeViewCombo::DoClick() {
  TCustomdxBarCombo::DoClick();
  if (OnClick || ReadOnly()) return;
  ChooseInDialog();
}

namespace {

// The "Select item" dialog: a copy of the tree with OK and Cancel beside
// it, laid out again on every resize.
class TSelectNodeForm : public TForm {
 public:
  explicit TSelectNodeForm(TdxBarTreeViewCombo* combo) : TForm(nullptr), combo_(combo) {
    if (combo->AllowResizing()) {
      SetBorderStyle(bsSizeable);
      SetBorderIcons(TBorderIcons());
    } else {
      SetBorderStyle(bsDialog);
    }
    SetCaption(dxBarLoadStr(dxSBAR_TREEVIEWDIALOGCAPTION));
    if (TdxBarManager* m = combo->BarManager()) Font()->Assign(m->Font());
    SetPosition(poScreenCenter);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Font()->Handle());
    SIZE zero{};
    GetTextExtentPoint32A(dc, "0", 1, &zero);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    w_ = 12 * zero.cx;
    h_ = MulDiv(zero.cy, 5, 3);
    m_ = h_ / 4;

    TdxBarTreeView* source = combo->TreeView();
    Tree = new TdxBarTreeView(this, combo, false);
    Tree->SetName("TreeViewItems");
    Tree->SetParent(this);
    Tree->SetImages(source->Images());
    Tree->SetIndent(source->Indent());
    Tree->Items()->Assign(source->Items());
    Tree->SetShowButtons(source->ShowButtons());
    Tree->SetShowLines(source->ShowLines());
    Tree->SetShowRoot(source->ShowRoot());
    Tree->SetSortType(source->SortType());
    Tree->SetStateImages(source->StateImages());
    Tree->SetHideSelection(false);
    Tree->SetLeft(m_);
    Tree->SetTop(m_);
    Tree->SetVisible(true);
    SetClientSize(Tree, source->ClientWidth(), source->ClientHeight());

    Ok = Button("ButtonOK", dxBarLoadStr(dxSBAR_DIALOGOK));
    Ok->SetDefault(true);
    Ok->SetModalResult(mrOk);
    Cancel = Button("ButtonCancel", dxBarLoadStr(dxSBAR_DIALOGCANCEL));
    Cancel->SetCancel(true);
    Cancel->SetModalResult(mrCancel);
    Ok->SetBounds(Tree->Left() + Tree->Width() + m_, m_, w_, h_);
    Cancel->SetBounds(Ok->Left(), m_ + h_ + m_, w_, h_);
    for (int i = 0; i < kSizeTries; ++i) {
      int cw = Tree->Width() + 3 * m_ + w_, ch = Tree->Height() + 2 * m_;
      if (ClientWidth() == cw && ClientHeight() == ch) break;
      SetClientWidth(cw);
      SetClientHeight(ch);
    }
    laidOut_ = true;
    OnResize = {this, &TSelectNodeForm::FormResize};

    if (combo->FullExpand()) Tree->FullExpand();
    TTreeNode* node = combo->SelectedNode() ? Tree->Items()->Item(combo->SelectedNode()->AbsoluteIndex())
                                            : Tree->FindNode(combo->Text());
    if (!node) node = Tree->Items()->GetFirstNode();
    if (node) {
      Tree->SetSelected(node);
      node->MakeVisible();
    }
    SetActiveControl(Tree);
    EndLoading();
  }

  // The drop-down's node at the place of the one chosen here (texts may
  // repeat).
  TTreeNode* Chosen() const {
    TTreeNode* node = Tree->Selected();
    TTreeNodes* nodes = combo_->Items();
    if (!node || !nodes) return nullptr;
    int index = node->AbsoluteIndex();
    return index < nodes->Count() ? nodes->Item(index) : nullptr;
  }

  TdxBarTreeView* Tree;
  TButton* Ok;
  TButton* Cancel;

 private:
  TButton* Button(const char* name, const String& caption) {
    auto* b = new TButton(this);
    b->SetName(name);
    b->SetParent(this);
    b->SetCaption(caption);
    return b;
  }
  void FormResize(TObject*) {
    if (!laidOut_) return;
    int cw = ClientWidth(), ch = ClientHeight();
    Tree->SetBounds(m_, m_, std::max(cw - 3 * m_ - w_, 0), std::max(ch - 2 * m_, 0));
    Ok->SetBounds(cw - m_ - w_, m_, w_, h_);
    Cancel->SetBounds(cw - m_ - w_, m_ + h_ + m_, w_, h_);
  }

  TdxBarTreeViewCombo* combo_;
  int w_ = 0, h_ = 0, m_ = 0;
  bool laidOut_ = false;
};

}  // namespace

void TdxBarTreeViewCombo::ChooseInDialog() {
  if (!tree_) return;
  TOwned<TSelectNodeForm> form(new TSelectNodeForm(this));
  bool ok = form->ShowModal() == mrOk;
  if (ok) {
    if (TTreeNode* node = form->Chosen()) SetSelectedNode(node);
  }
  // The dialog's size is the drop-down's from now on.
  if (tree_) SetClientSize(tree_, form->Tree->ClientWidth(), form->Tree->ClientHeight());
}

// ---------------------------------------------------------------- control

int TdxBarTreeViewComboControl::GetHeight() {
  int h = TCustomdxBarComboControl::GetHeight();
  auto* combo = dynamic_cast<TdxBarTreeViewCombo*>(Item());
  if (combo && !IsVertical(parent_) && combo->HasImageInEdit()) {
    int images = combo->Images() ? combo->Images()->Height() : 0;
    int states = combo->StateImages() ? combo->StateImages()->Height() : 0;
    h = std::max(h, std::max(images, states) + 6);
  }
  return h;
}

void TdxBarTreeViewComboControl::SetFocused(bool value) {
  TCustomdxBarComboControl::SetFocused(value);
  auto* combo = dynamic_cast<TdxBarTreeViewCombo*>(Item());
  if (!value || !combo || !combo->TreeView()) return;
  TTreeNode* node = combo->SelectedNode() ? combo->SelectedNode() : combo->FindNode(combo->Text());
  combo->TreeView()->SetSelected(node);
}
