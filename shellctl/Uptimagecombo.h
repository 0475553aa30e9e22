// Owner-drawn combo boxes: one with events for the list's own notifications,
// one whose items carry an image, an overlay and an indent, and the shell
// combo built on it: the desktop, its folders, the drives and the chain of
// folders down to the selected one, kept in step with a shell tree or list.
#pragma once

#include <memory>

#include "classlib/Imglist.h"
#include "classlib/Stdctrls.h"
#include "shellctl/Uptshellcontrols.h"
#include "shellctl/Uptshitemdata.h"

// ---------------------------------------------------------------- the combo box

using TPTDeleteComboItemEvent = TEvent<TObject*, void*>;

class TPTCustomCombobox : public TCustomComboBox {
 public:
  explicit TPTCustomCombobox(TComponent* owner) : TCustomComboBox(owner) {}

  // Sets the row height of an owner-drawn combo when it differs.
  void SetItemHeight2(int height);

  TPTDeleteComboItemEvent OnDeleteItem;
  TNotifyEvent OnSelEndCancel;
  TNotifyEvent OnSelEndOk;

 protected:
  void Dispatch(TMessage& msg) override;
  // The user chose an entry (CBN_SELENDOK) or left the list without one.
  virtual void SelEndOk();
  virtual void SelEndCancel();
  virtual void DeleteItem(void* data);
};

class TPTCombobox : public TPTCustomCombobox {
 public:
  explicit TPTCombobox(TComponent* owner) : TPTCustomCombobox(owner) {}
};

// ---------------------------------------------------------------- the image combo

class TPTCustomImageCombo;

class TPTImageComboItem : public TObject {
 public:
  explicit TPTImageComboItem(TPTCustomImageCombo* owner) : owner_(owner) {}

  TPTCustomImageCombo* Owner() const { return owner_; }
  // The item's position in the combo.
  int Position() const { return position_; }
  void SetPosition(int value) { position_ = value; }
  int Indent() const { return indent_; }
  void SetIndent(int value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  // -1: none; else the list's overlay image OverlayIndex + 1.
  int OverlayIndex() const { return overlayIndex_; }
  void SetOverlayIndex(int value);
  const String& Caption() const { return caption_; }
  void SetCaption(const String& value);
  // The owner's (the shell combo keeps its TPTShComboData here).
  void* Data() const { return data_; }
  void SetData(void* value) { data_ = value; }

 private:
  void Changed();
  TPTCustomImageCombo* owner_;
  int position_ = -1;
  int indent_ = 0;
  int imageIndex_ = -1;
  int overlayIndex_ = -1;
  String caption_;
  void* data_ = nullptr;
};

using TPTDeleteImageComboItemEvent = TEvent<TObject*, TPTImageComboItem*>;
using TPTImageComboGetItemDataEvent = TEvent<TObject*, TPTImageComboItem*>;

class TPTCustomImageCombo : public TPTCustomCombobox {
 public:
  explicit TPTCustomImageCombo(TComponent* owner);
  ~TPTCustomImageCombo() override;

  TPTImageComboItem* AddItem(const String& caption, int imageIndex, int indent);
  // nullptr outside the items.
  TPTImageComboItem* GetImageComboItem(int index) const;
  // Deletes every item (each through DeleteItem).
  void ClearItems();

  TImageList* ImageList() const { return imageList_; }
  void SetImageList(TImageList* value);
  int IndentPixels() const { return indentPixels_; }
  void SetIndentPixels(int value);
  bool AutoSizeHeight() const { return autoSizeHeight_; }
  void SetAutoSizeHeight(bool value) { autoSizeHeight_ = value; }
  // The row height from the font and the images (with AutoSizeHeight).
  void AutoSize(TFont* font);

  TPTDeleteImageComboItemEvent OnDeleteItem;
  // Fills an item's lazy caption and image before it is drawn.
  TPTImageComboGetItemDataEvent OnGetItemData;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Notification(TComponent* component, TOperation operation) override;
  void Dispatch(TMessage& msg) override;
  void DrawItem(int index, const TRect& rect, TOwnerDrawState state) override;
  virtual void DoAutoSize(TFont* font);
  virtual void GetItemData(TPTImageComboItem* item);
  // Fires OnDeleteItem and frees the item.
  virtual void DeleteImageItem(TPTImageComboItem* item);

 private:
  TImageList* imageList_ = nullptr;
  int indentPixels_ = 12;
  bool autoSizeHeight_ = true;
  bool inSetFont_ = false;
};

class TPTImageCombo : public TPTCustomImageCombo {
 public:
  explicit TPTImageCombo(TComponent* owner) : TPTCustomImageCombo(owner) {}
};

// ---------------------------------------------------------------- the shell combo

enum TPTShellComboOption { ptscoAutofill, ptscoNonFilesystemAncestors };
using TPTShellComboOptions = TSet<TPTShellComboOption>;

class TPTCustomShellCombo : public TPTCustomImageCombo, public TPTShellComboLink {
 public:
  explicit TPTCustomShellCombo(TComponent* owner);
  ~TPTCustomShellCombo() override;

  // The desktop, its folders, the drives and the way to SelectedFolder;
  // raises with the system's text when the shell fails.
  void FillItems();
  // The entry levels up from the selected one (the desktop at most).
  void GoUp(int levels) override;
  // With all, the partner tree or list synchronises itself.
  void Synchronize(bool all) override;
  // nullptr for an item without data.
  TPTShComboData* GetShComboData(int index) const;

  TPTShellLocator* GetSelectedFolder() override { return selectedFolder_.get(); }
  TPTShellLocator* SelectedFolder() const { return selectedFolder_.get(); }
  void SetSelectedFolder(TPTShellLocator* value) { selectedFolder_->Assign(value); }
  // At most one partner: setting one while the other is set is refused.
  TPTCustomShellTree* ShellTree() const { return shellTree_; }
  void SetShellTree(TPTCustomShellTree* value);
  TPTCustomShellList* ShellList() const { return shellList_; }
  void SetShellList(TPTCustomShellList* value);
  TPTShellComboOptions Options() const { return options_; }
  void SetOptions(TPTShellComboOptions value) { options_ = value; }
  // The dropped list takes the rows that fit below the combo.
  bool AutoDropDownCount() const { return autoDropDownCount_; }
  void SetAutoDropDownCount(bool value) { autoDropDownCount_ = value; }

  TComponent* ComboComponent() override { return this; }
  void TreeChanged(TTreeNode* node) override;

 protected:
  void Loaded() override;
  void CreateWnd() override;
  void Notification(TComponent* component, TOperation operation) override;
  void Dispatch(TMessage& msg) override;
  void DropDown() override;
  void SelEndOk() override;
  void GetItemData(TPTImageComboItem* item) override;
  void DeleteImageItem(TPTImageComboItem* item) override;
  virtual void FillCombo(IShellFolder* folder, LPCITEMIDLIST parentPidl, int level, TPTIdListArray& path);
  virtual bool CanAdd(IShellFolder* folder, LPCITEMIDLIST parentPidl, LPCITEMIDLIST pidl, SFGAOF attributes);
  virtual void SelectedFolderChanged(TObject* sender);

 private:
  // An entry for rel of folder (parentPidl its absolute PIDL) with the
  // overlay of its attributes.
  TPTImageComboItem* AddShellItem(IShellFolder* folder, LPCITEMIDLIST parentPidl, LPCITEMIDLIST rel,
                                  SFGAOF attributes, const String& caption, int image, int indent);

  TOwned<TImageList> images_;
  std::unique_ptr<TPTShellLocator> selectedFolder_;
  TPTCustomShellTree* shellTree_ = nullptr;
  TPTCustomShellList* shellList_ = nullptr;
  TPTShellComboOptions options_ = {ptscoAutofill, ptscoNonFilesystemAncestors};
  bool autoDropDownCount_ = true;
  int busy_ = 0;
};

class TPTShellCombo : public TPTCustomShellCombo {
 public:
  explicit TPTShellCombo(TComponent* owner) : TPTCustomShellCombo(owner) {}
};
