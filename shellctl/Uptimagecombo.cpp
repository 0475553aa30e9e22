#include "shellctl/Uptimagecombo.h"

#include <algorithm>

#include "classlib/Forms.h"
#include "shellctl/Uptshmenus.h"

namespace {

// Shell failures while filling: Exception with the system's text.
void ShellCheck(HRESULT hr) {
  if (FAILED(hr)) throw Exception(Trim(SysErrorMessage(static_cast<DWORD>(hr))));
}

constexpr SFGAOF kChildAttributes = 0xF00B0000;
constexpr SFGAOF kChainAttributes = 0xB00B0000;
constexpr TPTFriendlyNameFlags kAddressBarName = static_cast<TPTFriendlyNameFlags>(SHGDN_INFOLDER | SHGDN_FORADDRESSBAR);

SFGAOF AttributesOf(IShellFolder* folder, LPCITEMIDLIST item, SFGAOF request) {
  SFGAOF attributes = request;
  if (!folder || FAILED(folder->GetAttributesOf(1, &item, &attributes))) return 0;
  return attributes;
}

}  // namespace

// ================================================================ the combo box

void TPTCustomCombobox::SetItemHeight2(int height) {
  if (height == ItemHeight()) return;
  if (Style() != csOwnerDrawFixed && Style() != csOwnerDrawVariable) return;
  SetItemHeight(height);
}

void TPTCustomCombobox::SelEndOk() {
  if (OnSelEndOk) OnSelEndOk(this);
}

void TPTCustomCombobox::SelEndCancel() {
  if (OnSelEndCancel) OnSelEndCancel(this);
}

void TPTCustomCombobox::DeleteItem(void* data) {
  if (OnDeleteItem) OnDeleteItem(this, data);
}

void TPTCustomCombobox::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case CN_COMMAND:
      switch (HIWORD(msg.WParam)) {
        case CBN_SELENDOK:
          SelEndOk();
          msg.Result = 0;
          return;
        case CBN_SELENDCANCEL:
          SelEndCancel();
          msg.Result = 0;
          return;
        default:
          TCustomComboBox::Dispatch(msg);
          return;
      }
    case CN_DELETEITEM: {
      auto* d = reinterpret_cast<DELETEITEMSTRUCT*>(msg.LParam);
      if (d->itemData) {
        DeleteItem(reinterpret_cast<void*>(d->itemData));
        d->itemData = 0;
      }
      TCustomComboBox::Dispatch(msg);
      return;
    }
    default:
      TCustomComboBox::Dispatch(msg);
  }
}

// ================================================================ the image combo

void TPTImageComboItem::Changed() {
  if (owner_ && owner_->HandleAllocated()) owner_->Invalidate();
}

// A repaint only for a change: lazy data is set while drawing.
void TPTImageComboItem::SetIndent(int value) {
  if (value == indent_) return;
  indent_ = value;
  Changed();
}

void TPTImageComboItem::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  Changed();
}

void TPTImageComboItem::SetOverlayIndex(int value) {
  if (value == overlayIndex_) return;
  overlayIndex_ = value;
  Changed();
}

void TPTImageComboItem::SetCaption(const String& value) {
  if (value == caption_) return;
  caption_ = value;
  Changed();
}

TPTCustomImageCombo::TPTCustomImageCombo(TComponent* owner) : TPTCustomCombobox(owner) {
  SetStyle(csOwnerDrawFixed);
}

TPTCustomImageCombo::~TPTCustomImageCombo() {
  // The items are the combo's; nobody is told of them any more.
  OnDeleteItem = nullptr;
  for (int i = 0; i < Items()->Count(); ++i) delete GetImageComboItem(i);
  for (int i = 0; i < Items()->Count(); ++i) Items()->PutObject(i, nullptr);
}

TPTImageComboItem* TPTCustomImageCombo::AddItem(const String& caption, int imageIndex, int indent) {
  auto* item = new TPTImageComboItem(this);
  item->SetCaption(caption);
  item->SetImageIndex(imageIndex);
  item->SetIndent(indent);
  item->SetPosition(Items()->AddObject("", item));
  return item;
}

TPTImageComboItem* TPTCustomImageCombo::GetImageComboItem(int index) const {
  if (index < 0 || index >= Items()->Count()) return nullptr;
  return static_cast<TPTImageComboItem*>(Items()->GetObject(index));
}

void TPTCustomImageCombo::DeleteImageItem(TPTImageComboItem* item) {
  if (OnDeleteItem) OnDeleteItem(this, item);
  delete item;
}

void TPTCustomImageCombo::ClearItems() {
  std::vector<TPTImageComboItem*> items;
  for (int i = 0; i < Items()->Count(); ++i) {
    items.push_back(GetImageComboItem(i));
    Items()->PutObject(i, nullptr);
  }
  Items()->Clear();
  for (TPTImageComboItem* item : items)
    if (item) DeleteImageItem(item);
}

void TPTCustomImageCombo::SetImageList(TImageList* value) {
  if (value == imageList_) return;
  if (imageList_) RemoveFreeNotification(imageList_);
  imageList_ = value;
  if (value) FreeNotification(value);
  if (!IsLoading()) AutoSize(Font());
  if (HandleAllocated()) Invalidate();
}

void TPTCustomImageCombo::SetIndentPixels(int value) {
  if (value == indentPixels_) return;
  indentPixels_ = value;
  if (HandleAllocated()) Invalidate();
}

void TPTCustomImageCombo::AutoSize(TFont* font) {
  if (autoSizeHeight_) DoAutoSize(font);
}

void TPTCustomImageCombo::DoAutoSize(TFont* font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font->Handle());
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  int height = std::abs(static_cast<int>(tm.tmHeight)) + 2;
  if (imageList_ && imageList_->Height() > height) height = imageList_->Height();
  SetItemHeight2(height);
}

void TPTCustomImageCombo::GetItemData(TPTImageComboItem* item) {
  if (OnGetItemData) OnGetItemData(this, item);
}

void TPTCustomImageCombo::CreateParams(TCreateParams& params) {
  TPTCustomCombobox::CreateParams(params);
  params.Style &= ~static_cast<DWORD>(CBS_SORT);
}

void TPTCustomImageCombo::CreateWnd() {
  TPTCustomCombobox::CreateWnd();
  SendMessageA(handle_, CB_SETEXTENDEDUI, TRUE, 0);
}

void TPTCustomImageCombo::Notification(TComponent* component, TOperation operation) {
  TPTCustomCombobox::Notification(component, operation);
  if (operation == opRemove && component == imageList_) imageList_ = nullptr;
}

void TPTCustomImageCombo::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  TCanvas* canvas = Canvas();
  TPTImageComboItem* item = GetImageComboItem(index);
  bool selected = state.Contains(odSelected);
  TColor textBack = canvas->Brush()->Color();
  // The row in the control's colour, the selection only behind the text.
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(rect);
  if (!item) return;
  String caption;
  try {
    GetItemData(item);
    caption = item->Caption();
  } catch (...) {
    // Data that cannot be had draws an empty caption.
    caption.clear();
  }
  int indent = state.Contains(odComboBoxEdit) ? 0 : item->Indent();
  int x = rect.left + 2 + indentPixels_ * indent;
  int textX = x + 4;
  if (imageList_ && imageList_->HandleAllocated()) {
    HIMAGELIST list = imageList_->Handle();
    COLORREF oldBack = ImageList_SetBkColor(list, ColorToRGB(Color()));
    if (item->ImageIndex() >= 0) {
      UINT style = ILD_NORMAL;
      if (item->OverlayIndex() >= 0) style |= INDEXTOOVERLAYMASK(item->OverlayIndex() + 1);
      if (selected) style |= ILD_BLEND50;
      ImageList_DrawEx(list, item->ImageIndex(), canvas->Handle(), x, (rect.top + rect.bottom - imageList_->Height()) / 2,
                       0, 0, CLR_DEFAULT, selected ? ColorToRGB(clHighlight) : CLR_NONE, style);
    }
    ImageList_SetBkColor(list, oldBack);
    textX = x + imageList_->Width() + 4;
  }
  if (caption.empty()) return;
  int width = canvas->TextWidth(caption);
  canvas->Brush()->SetColor(selected ? clHighlight : textBack);
  TRect textRect(textX - 1, rect.top, textX + width + 3, rect.bottom);
  canvas->TextRect(textRect, textX + 1, rect.top + 1, caption);
}

void TPTCustomImageCombo::Dispatch(TMessage& msg) {
  switch (msg.Msg) {
    case WM_SETFONT:
      if (!inSetFont_) {
        inSetFont_ = true;
        struct TReset {
          bool& flag;
          ~TReset() { flag = false; }
        } reset{inSetFont_};
        AutoSize(Font());
      }
      TPTCustomCombobox::Dispatch(msg);
      return;
    case WM_ERASEBKGND: {
      TColor color = clWindow;
      if (auto* form = dynamic_cast<TCustomForm*>(Parent())) color = form->Color();
      RECT r;
      GetClientRect(handle_, &r);
      HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
      FillRect(reinterpret_cast<HDC>(msg.WParam), &r, brush);
      DeleteObject(brush);
      msg.Result = 1;
      return;
    }
    default:
      TPTCustomCombobox::Dispatch(msg);
  }
}

// ================================================================ the shell combo

TPTCustomShellCombo::TPTCustomShellCombo(TComponent* owner)
    : TPTCustomImageCombo(owner), images_(new TImageList(nullptr)) {
  images_->SetShareImages(true);
  images_->SetHandle(ShellGetSystemImageList(ptsizSmall));
  SetImageList(images_.get());
  selectedFolder_ = std::make_unique<TPTShellLocator>();
  selectedFolder_->OnChange = {this, &TPTCustomShellCombo::SelectedFolderChanged};
}

TPTCustomShellCombo::~TPTCustomShellCombo() {
  if (shellTree_ && shellTree_->ShellCombo() == this) shellTree_->SetShellCombo(nullptr);
  if (shellList_ && shellList_->ShellCombo() == this) shellList_->SetShellCombo(nullptr);
  ++busy_;
  ClearItems();
  SetImageList(nullptr);
}

TPTShComboData* TPTCustomShellCombo::GetShComboData(int index) const {
  TPTImageComboItem* item = GetImageComboItem(index);
  return item ? static_cast<TPTShComboData*>(item->Data()) : nullptr;
}

void TPTCustomShellCombo::DeleteImageItem(TPTImageComboItem* item) {
  delete static_cast<TPTShComboData*>(item->Data());
  item->SetData(nullptr);
  TPTCustomImageCombo::DeleteImageItem(item);
}

void TPTCustomShellCombo::SetShellTree(TPTCustomShellTree* value) {
  if (value == shellTree_) return;
  if (value && shellList_) return;  // one partner at most
  if (shellTree_) {
    if (shellTree_->ShellCombo() == this) shellTree_->SetShellCombo(nullptr);
    RemoveFreeNotification(shellTree_);
  }
  shellTree_ = value;
  if (!value) return;
  value->SetShellCombo(this);
  FreeNotification(value);
}

void TPTCustomShellCombo::SetShellList(TPTCustomShellList* value) {
  if (value == shellList_) return;
  if (value && shellTree_) return;
  if (shellList_) {
    if (shellList_->ShellCombo() == this) shellList_->SetShellCombo(nullptr);
    RemoveFreeNotification(shellList_);
  }
  shellList_ = value;
  if (!value) return;
  value->SetShellCombo(this);
  FreeNotification(value);
}

void TPTCustomShellCombo::Notification(TComponent* component, TOperation operation) {
  TPTCustomImageCombo::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == shellTree_) shellTree_ = nullptr;
  if (component == shellList_) shellList_ = nullptr;
}

void TPTCustomShellCombo::Synchronize(bool all) {
  if (!all) return;
  if (shellTree_)
    shellTree_->Synchronize(false);
  else if (shellList_)
    shellList_->Synchronize(false);
}

void TPTCustomShellCombo::TreeChanged(TTreeNode* node) {
  if (!shellTree_ || !node || node != shellTree_->Selected()) return;
  if (TPTShTreeData* data = shellTree_->NodeData(node)) selectedFolder_->SetIdList(data->GetAbsPidl());
}

void TPTCustomShellCombo::SelectedFolderChanged(TObject*) {
  if (busy_) return;
  ++busy_;
  struct TDone {
    int& busy;
    ~TDone() { --busy; }
  } done{busy_};
  TPidl pidl = CopyIdList(nullptr, selectedFolder_->GetIdList());
  if (shellTree_)
    shellTree_->SelectedFolder()->SetIdList(pidl.get());
  else if (shellList_)
    shellList_->Folder()->SetIdList(pidl.get());
  FillItems();
}

void TPTCustomShellCombo::Loaded() {
  TPTCustomImageCombo::Loaded();
  if (!options_.Contains(ptscoAutofill)) return;
  FillItems();
  if (shellTree_) {
    shellTree_->SelectedFolder()->Assign(selectedFolder_.get());
    shellTree_->RefreshNodes();
  } else if (shellList_) {
    shellList_->Folder()->Assign(selectedFolder_.get());
  }
}

void TPTCustomShellCombo::CreateWnd() {
  TPTCustomImageCombo::CreateWnd();
  if (options_.Contains(ptscoAutofill) && !IsLoading() && Items()->Count() == 0) FillItems();
}

void TPTCustomShellCombo::SelEndOk() {
  TPTCustomImageCombo::SelEndOk();
  if (TPTShComboData* data = GetShComboData(ItemIndex())) {
    TPidl pidl = CopyIdList(nullptr, data->AbsPidl());
    selectedFolder_->SetIdList(pidl.get());
  }
}

void TPTCustomShellCombo::GoUp(int levels) {
  int selected = ItemIndex();
  TPTImageComboItem* item = GetImageComboItem(selected);
  if (!item) return;
  int indent = item->Indent() - levels;
  int target = 0;
  for (int i = selected - 1; i >= 0; --i)
    if (GetImageComboItem(i)->Indent() <= indent) {
      target = i;
      break;
    }
  if (target == selected) return;
  if (TPTShComboData* data = GetShComboData(target)) {
    TPidl pidl = CopyIdList(nullptr, data->AbsPidl());
    selectedFolder_->SetIdList(pidl.get());
  }
}

void TPTCustomShellCombo::DropDown() {
  if (autoDropDownCount_ && HandleAllocated()) {
    RECT r;
    GetWindowRect(handle_, &r);
    int rows = (GetSystemMetrics(SM_CYSCREEN) - r.bottom - 1) / std::max(ItemHeight(), 1);
    // Near the screen's bottom the list still shows a row.
    SetDropDownCount(std::max(rows, 1));
  }
  TPTCustomImageCombo::DropDown();
}

void TPTCustomShellCombo::Dispatch(TMessage& msg) {
  if (msg.Msg == WM_PAINT && images_->HandleAllocated()) {
    HIMAGELIST list = images_->Handle();
    COLORREF old = ImageList_SetBkColor(list, ColorToRGB(Color()));
    TPTCustomImageCombo::Dispatch(msg);
    ImageList_SetBkColor(list, old);
    return;
  }
  TPTCustomImageCombo::Dispatch(msg);
}

// -------- filling

bool TPTCustomShellCombo::CanAdd(IShellFolder*, LPCITEMIDLIST, LPCITEMIDLIST, SFGAOF) { return true; }

TPTImageComboItem* TPTCustomShellCombo::AddShellItem(IShellFolder* folder, LPCITEMIDLIST parentPidl,
                                                     LPCITEMIDLIST rel, SFGAOF attributes, const String& caption,
                                                     int image, int indent) {
  TPTImageComboItem* item = AddItem(caption, image, indent);
  auto* data = new TPTShComboData(this);
  data->SetData(folder, parentPidl, rel);
  item->SetData(data);
  if (attributes & SFGAO_LINK)
    item->SetOverlayIndex(0);
  else if (attributes & SFGAO_SHARE)
    item->SetOverlayIndex(1);
  return item;
}

void TPTCustomShellCombo::FillItems() {
  if (!HandleAllocated()) return;
  Items()->BeginUpdate();
  struct TEnd {
    TStrings* items;
    ~TEnd() { items->EndUpdate(); }
  } end{Items()};
  {
    ++busy_;
    struct TDone {
      int& busy;
      ~TDone() { --busy; }
    } done{busy_};
    SetItemIndex(-1);
    ClearItems();
  }
  TPTIdListArray path(selectedFolder_->GetIdList());
  TComPtr<IShellFolder> desktop;
  ShellCheck(ShellGetDesktopFolder(desktop));
  FillCombo(desktop.Get(), nullptr, -1, path);
  if (ItemIndex() < 0 && Items()->Count() > 0) SetItemIndex(0);
}

void TPTCustomShellCombo::FillCombo(IShellFolder* folder, LPCITEMIDLIST parentPidl, int level, TPTIdListArray& path) {
  HWND owner = PTShTopFormWindow(this);
  if (level < 0) {
    // The desktop first.
    SHITEMID end{};
    auto* empty = reinterpret_cast<LPCITEMIDLIST>(&end);
    TPTImageComboItem* item =
        AddItem(ShellGetFriendlyNameForLastIdListElement(empty), ShellGetIconIndex(empty, SHGFI_SMALLICON), 0);
    auto* data = new TPTShComboData(this);
    data->SetData(folder, nullptr, nullptr);
    item->SetData(data);
    level = 1;
    parentPidl = nullptr;
  }
  TPidl parent = CopyIdList(nullptr, parentPidl);
  TPidl drives;
  ShellCheck(ShellGetSpecialFolderIdList(owner, csidlDrives, drives));

  std::vector<TPidl> children;
  {
    TComPtr<IEnumIDList> items;
    HRESULT hr = folder->EnumObjects(owner, SHCONTF_FOLDERS, items.Put());
    ShellCheck(hr);
    if (items) {
      for (;;) {
        LPITEMIDLIST child = nullptr;
        ULONG fetched = 0;
        hr = items->Next(1, &child, &fetched);
        ShellCheck(hr);
        if (hr != S_OK || fetched == 0 || !child) break;
        children.emplace_back(child);
      }
    }
  }
  std::stable_sort(children.begin(), children.end(), [folder](const TPidl& a, const TPidl& b) {
    HRESULT hr = folder->CompareIDs(0, a.get(), b.get());
    return SUCCEEDED(hr) && static_cast<short>(HRESULT_CODE(hr)) < 0;
  });

  bool pathDone = false;
  for (const TPidl& child : children) {
    SFGAOF attributes = AttributesOf(folder, child.get(), kChildAttributes);
    if (!options_.Contains(ptscoNonFilesystemAncestors) && !(attributes & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR)))
      continue;
    if (!CanAdd(folder, parent.get(), child.get(), attributes)) continue;
    TPidl abs = ConcatIdLists(nullptr, parent.get(), child.get());
    bool onPath = false;
    if (!pathDone && path.GetCount() >= level) {
      HRESULT hr = folder->CompareIDs(0, path.GetItem(level - 1), child.get());
      onPath = SUCCEEDED(hr) && HRESULT_CODE(hr) == 0;
    }
    bool isSelected = onPath && path.GetCount() == level;
    String caption;
    int image = -1;
    if (isSelected) {
      caption = ShellGetFriendlyNameFromIdList(folder, child.get(), ptfnInFolder);
      image = ShellGetIconIndex(abs.get(), SHGFI_SMALLICON | SHGFI_OPENICON);
    }
    TPTImageComboItem* item = AddShellItem(folder, parent.get(), child.get(), attributes, caption, image, level);
    bool isDrives = level == 1 && CompareAbsIdLists(abs.get(), drives.get()) == 0;
    if (onPath) {
      pathDone = true;
      if (isSelected) {
        SetItemIndex(item->Position());
      } else if (!isDrives) {
        // The chain of folders below this one down to the selected folder.
        TComPtr<IShellFolder> current;
        ShellCheck(folder->BindToObject(child.get(), nullptr, IID_IShellFolder, current.PutVoid()));
        TPidl currentPidl = CopyIdList(nullptr, abs.get());
        for (int i = level; i < path.GetCount(); ++i) {
          LPCITEMIDLIST rel = path.GetItem(i);
          SFGAOF chainAttributes = AttributesOf(current.Get(), rel, kChainAttributes);
          TPidl chainAbs = ConcatIdLists(nullptr, currentPidl.get(), rel);
          bool deepest = i == path.GetCount() - 1;
          String chainCaption;
          int chainImage = -1;
          if (deepest) {
            chainCaption = ShellGetFriendlyNameFromIdList(current.Get(), rel, kAddressBarName);
            chainImage = ShellGetIconIndex(chainAbs.get(), SHGFI_SMALLICON | SHGFI_OPENICON);
          }
          TPTImageComboItem* chainItem = AddShellItem(current.Get(), currentPidl.get(), rel, chainAttributes,
                                                      chainCaption, chainImage, i + 1);
          if (deepest) {
            SetItemIndex(chainItem->Position());
            break;
          }
          TComPtr<IShellFolder> next;
          ShellCheck(current->BindToObject(rel, nullptr, IID_IShellFolder, next.PutVoid()));
          current = std::move(next);
          currentPidl = std::move(chainAbs);
        }
      }
    }
    if (isDrives) {
      // The drives are always listed below My Computer.
      TComPtr<IShellFolder> computer;
      ShellCheck(folder->BindToObject(child.get(), nullptr, IID_IShellFolder, computer.PutVoid()));
      FillCombo(computer.Get(), abs.get(), 2, path);
    }
  }
}

void TPTCustomShellCombo::GetItemData(TPTImageComboItem* item) {
  auto* data = static_cast<TPTShComboData*>(item->Data());
  if (data) {
    if (item->Caption().empty() && data->RelPidl())
      item->SetCaption(ShellGetFriendlyNameFromIdList(data->ParentIShf(), data->RelPidl(), ptfnInFolder));
    if (item->ImageIndex() == -1 && data->AbsPidl()) item->SetImageIndex(ShellGetIconIndex(data->AbsPidl(), SHGFI_SMALLICON));
  }
  TPTCustomImageCombo::GetItemData(item);
}
