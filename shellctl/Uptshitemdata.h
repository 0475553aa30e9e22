// The records that tie the nodes of the shell tree, the items of the shell
// list and the entries of the shell combo to the shell namespace: PIDLs,
// folder interfaces, attributes and column texts, computed on first use and
// kept until flushed. The controls hold the records; the records know the
// controls only as owners.
#pragma once

#include "shellctl/Uptshellutils.h"

class TPTCustomShellTree;
class TPTCustomShellCombo;

// Attribute requests of the records.
constexpr SFGAOF kTreeAttributeMask = 0xF00F0037;  // HASSUBFOLDER .. FILESYSANCESTOR, HIDDEN .. LINK, CAN*
constexpr SFGAOF kListAttributeMask = 0x700F0037;  // the same without HASSUBFOLDER
constexpr SFGAOF kTreeEditableMask = 0x40000177;

// What a list item asks of its list: the folder the list shows. The shell
// list implements it; everything returned is borrowed.
class TPTShListOwner {
 public:
  // The shown folder's absolute PIDL (nullptr or empty: the desktop).
  virtual LPCITEMIDLIST FolderIdList() = 0;
  virtual IShellFolder* FolderShf() = 0;
  // The folder's details (ShellGetFolderDetails); nullptr when it has none.
  virtual IShellDetails* FolderDetails() = 0;

 protected:
  ~TPTShListOwner() = default;
};

// Splits an absolute PIDL into its parent's folder, the parent's PIDL and
// the last item. nullptr or the empty list stands for the desktop directory
// (its path parsed; that failure is returned). One item: the desktop, no
// parent PIDL and a copy of the item.
HRESULT SplitAbsoluteIdList(LPCITEMIDLIST pidl, TComPtr<IShellFolder>& parentFolder, TPidl& parentPidl,
                            TPidl& lastItem);

// Whether the attribute request may include SFGAO_READONLY for the item at
// path: not for paths below the root of a removable drive (asking would
// touch the drive).
SFGAOF AttributeRequestFor(const String& path, SFGAOF mask);

// ---------------------------------------------------------------- tree

class TPTShTreeData : public TObject {
 public:
  explicit TPTShTreeData(TPTCustomShellTree* owner) : owner_(owner) {}
  ~TPTShTreeData() override = default;

  TPTCustomShellTree* Owner() const { return owner_; }
  TPTShTreeData* ParentData() const { return parent_; }
  LPCITEMIDLIST RelPidl() const { return relPidl_.get(); }

  // With a parent, pidl is relative to it; without one it is absolute (the
  // relative PIDL becomes its last item, or all of it when it has none).
  void SetData(TPTShTreeData* parent, LPCITEMIDLIST pidl);
  // A new relative PIDL (after a rename): the caches go; a root's absolute
  // PIDL gets the new last item.
  void SetRelPidl(LPCITEMIDLIST pidl);
  // The absolute PIDL (of a node below a parent) and this folder are made
  // again when next asked for; a root's absolute PIDL is its own and stays.
  void Flush();
  // A root node's own folder, when its maker has it already (one reference
  // held).
  void SetThisIShf(IShellFolder* folder);

  // nullptr for a root node without a PIDL (the desktop).
  LPCITEMIDLIST GetAbsPidl();
  // The file-system path; empty when there is none.
  String GetPathName();
  // nullptr when it cannot be bound.
  IShellFolder* GetParentIShf();
  // The node's own folder; the desktop for the desktop node; nullptr when
  // it cannot be bound.
  IShellFolder* GetThisIShf();
  // kTreeAttributeMask (READONLY only where AttributeRequestFor allows);
  // 0 when the folder cannot answer.
  SFGAOF GetAttributes();
  bool GetEditable();
  HRESULT GetIDropTarget(HWND owner, TComPtr<IDropTarget>& target);
  // "X:" or "X:\".
  bool IsRootDir();
  // The folder and the item to ask about this node: the parent's folder
  // and the relative PIDL, or for a root the split of its absolute PIDL
  // (both borrowed; nullptr when the folder cannot be had).
  IShellFolder* ItemFolder(LPCITEMIDLIST& item);

 private:

  TPTCustomShellTree* owner_;
  TPTShTreeData* parent_ = nullptr;
  TPidl relPidl_;
  TPidl absPidl_;
  bool absMade_ = false;
  TComPtr<IShellFolder> thisFolder_;
  // Roots only: the split of the absolute PIDL.
  TComPtr<IShellFolder> parentFolder_;
  TPidl rootItem_;
};

// ---------------------------------------------------------------- list

class TPTShListData : public TObject {
 public:
  explicit TPTShListData(TPTShListOwner* owner) : owner_(owner) {}
  ~TPTShListData() override = default;

  TPTShListOwner* Owner() const { return owner_; }
  LPCITEMIDLIST RelPidl() const { return relPidl_.get(); }
  // Takes the item's PIDL, relative to the list's folder.
  void SetData(TPidl relPidl);
  void Flush();

  // The list's folder followed by the item.
  LPCITEMIDLIST GetAbsoluteIdList();
  // kListAttributeMask (READONLY as in the tree); 0 when the folder cannot
  // answer.
  SFGAOF GetAttributes();
  bool IsFolder() { return (GetAttributes() & SFGAO_FOLDER) != 0; }
  bool IsFileSystem() { return (GetAttributes() & SFGAO_FILESYSTEM) != 0; }
  bool GetEditable() { return (GetAttributes() & SFGAO_CANRENAME) != 0; }
  bool IsValid();
  bool IsLnkShortcut();
  String GetDisplayName();
  String GetFilename();
  String GetPathName();
  // Column 0 is empty (the caption is the display name); the others come
  // from the folder's details, or without them from the extra data: 1 size,
  // 2 type, 3 modified.
  String GetColText(int column);
  // Size, type and modified texts, read together once per flush.
  void GetExtraData();
  String GetSize();
  String GetFileType();
  String GetModified();

 private:
  TPTShListOwner* owner_;
  TPidl absPidl_;
  TPidl relPidl_;
  String displayName_;
  bool displayNameMade_ = false;
  bool extraLoaded_ = false;
  String size_, type_, modified_;
};

// "%sKB" of the size rounded up to whole kilobytes, with thousands
// separators.
String FormatKBSize(uint64_t bytes);

// ---------------------------------------------------------------- combo

class TPTShComboData : public TObject {
 public:
  explicit TPTShComboData(TPTCustomShellCombo* owner) : owner_(owner) {}
  ~TPTShComboData() override = default;

  TPTCustomShellCombo* Owner() const { return owner_; }
  // Copies both PIDLs and holds a reference to the folder.
  void SetData(IShellFolder* parentFolder, LPCITEMIDLIST parentAbsPidl, LPCITEMIDLIST relPidl);
  IShellFolder* ParentIShf() const { return parentFolder_.Get(); }
  LPCITEMIDLIST ParentAbsPidl() const { return parentAbsPidl_.get(); }
  LPCITEMIDLIST RelPidl() const { return relPidl_.get(); }
  LPCITEMIDLIST AbsPidl() const { return absPidl_.get(); }
  // The entry's folder (the desktop for the desktop); raises EOleSysError
  // when it cannot be bound.
  IShellFolder* GetThisIShf();

 private:
  TPTCustomShellCombo* owner_;
  TComPtr<IShellFolder> parentFolder_;
  TPidl parentAbsPidl_;
  TPidl relPidl_;
  TPidl absPidl_;
  TComPtr<IShellFolder> thisFolder_;
};
