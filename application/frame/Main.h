// The main window: a multiple-document frame with the command bars, the
// local pane (folder tree beside file list), one connection window per open
// connection with a tab each, and the status bar. It keeps the actions'
// enabled states in step with the active connection window and offers the
// boxes and other services the rest of the program calls.
#pragma once

#include <array>
#include <map>
#include <vector>

#include "Connectionhost.h"
#include "Newaccount.h"
#include "bars/Dxbar.h"
#include "bars/extitems/Dxbarextitems.h"
#include "classlib/Actnlist.h"
#include "classlib/Comctrls.h"
#include "classlib/Extctrls.h"
#include "classlib/Imglist.h"
#include "classlib/Inifiles.h"
#include "shellctl/Uptshellcontrols.h"

// What the enabled states of the actions depend on.
struct TActionInputs {
  int QuickNames = 0;      // entries of the quick-connect combo
  bool Active = false;     // the frame has an active child
  bool Connected = false;  // ... whose FTP client is connected
  int Dirs = 0;            // selected entries of its directory list
  int Files = 0;           // ... of its file list
  int Local = 0;           // selected entries of the local file list
};

class TFormMain : public TForm, public TConnectionHost {
 public:
  explicit TFormMain(TComponent* owner, const String& profilesPath = ProfileFileName());
  ~TFormMain() override;

  TImageList* Imagebars = nullptr;
  TImageList* Imgsmall = nullptr;
  TActionList* ActionList1 = nullptr;
  TdxBarManager* Bar1 = nullptr;
  // The quick-connect combo of profile names.
  TdxBarImageCombo* ComboQuick = nullptr;
  TPanel* PMain = nullptr;
  TPanel* PTree = nullptr;
  TSplitter* SplitE = nullptr;
  TPanel* PList = nullptr;
  TPTShellTree* LocTree = nullptr;
  TPTShellList* LocList = nullptr;
  TSplitter* SplitMain = nullptr;
  TStatusBar* Stat1 = nullptr;
  TTabControl* TabCon = nullptr;

  // Connections.
  TAction* ActionQuickCon = nullptr;
  TAction* ActionNew = nullptr;
  TAction* ActionCloseActive = nullptr;
  TAction* ActionExit = nullptr;
  TAction* ActionPreferences = nullptr;
  TAction* ActionNewProfile = nullptr;
  TAction* ActionProfiles = nullptr;
  // View.
  TAction* ActionListView = nullptr;
  TAction* ActionDetailView = nullptr;
  TAction* ActionLgIconView = nullptr;
  TAction* ActionSmIconView = nullptr;
  TAction* ActionToolbars = nullptr;
  // Directories.
  TAction* ActionUpDir = nullptr;
  TAction* ActionChangeDir = nullptr;
  TAction* ActionMkdDir = nullptr;
  TAction* ActionRenameDir = nullptr;
  TAction* ActionRemoveDir = nullptr;
  TAction* ActionNewLocalDir = nullptr;
  TAction* ActionRefreshRemote = nullptr;
  TAction* ActionRefreshLocal = nullptr;
  // Files.
  TAction* ActionUploadFile = nullptr;
  TAction* ActionResumeUp = nullptr;
  TAction* ActionDownloadFile = nullptr;
  TAction* ActionResumeDown = nullptr;
  TAction* ActionDeleteRemote = nullptr;
  TAction* ActionRenameRemoteFile = nullptr;
  // Batch.
  TAction* ActionBatchUpload = nullptr;
  TAction* ActionBatchDownload = nullptr;
  TAction* ActionBatchDelete = nullptr;
  // Utilities.
  TAction* ActionSaveLog = nullptr;
  TAction* ActionDirInfo = nullptr;
  TAction* ActionChmod = nullptr;
  TAction* ActionChmodDir = nullptr;
  TAction* ActionQuote = nullptr;
  TAction* ActionCWD = nullptr;
  TAction* ActionCDUP = nullptr;
  TAction* ActionPWD = nullptr;
  TAction* ActionHELP = nullptr;
  TAction* ActionSYST = nullptr;
  TAction* ActionSITE = nullptr;
  TAction* ActionLIST = nullptr;
  TAction* ActionNLST = nullptr;
  TAction* ActionSTOR = nullptr;
  TAction* ActionRETR = nullptr;
  TAction* ActionSTAT = nullptr;
  TAction* ActionSIZE = nullptr;
  TAction* ActionQUIT = nullptr;
  TAction* ActionStoS = nullptr;
  TAction* ActionDNS = nullptr;
  TAction* ActionPing = nullptr;
  TAction* ActionUrlInfo = nullptr;
  TAction* ActionFinger = nullptr;
  TAction* ActionLookup = nullptr;
  TAction* ActionDialer = nullptr;
  // Help.
  TAction* ActionAbout = nullptr;
  TAction* ActionQmark = nullptr;
  TAction* ActionHelpDefault = nullptr;
  TAction* ActionHelpContents = nullptr;
  TAction* ActionHelpIndex = nullptr;

  // Full paths of the files of the current drag from the local list.
  TOwned<TStringList> DragList;
  // The program folder + "accounts.dat", and the profile file over it.
  String ProfilesPath;
  TOwned<TMemIniFile> ProfileIni;

  // ---- services of the other windows
  // Boxes owned by the application window; AskYesNo is true only for Yes.
  void InfoBox(const String& text, const String& caption) override;
  void ErrorBox(const String& text, const String& caption) override;
  bool AskYesNo(const String& text, const String& caption) override;
  // Panel 0, 1 or 2 takes the text when child is the active child; any
  // other panel or child changes nothing. Panels 1 and 2 are kept per
  // child and show the active child's own (empty with none).
  void SetStatusText(TConnectionWindow* child, int panel, const String& text);
  // Drops the child's tab and closes the child; with no tab left TabCon
  // hides, else the last tab becomes current.
  void RemoveChildTab(TConnectionWindow* child);
  // The child's tab takes the child's caption.
  void RenameChildTab(TConnectionWindow* child);
  // Closes every connection window (each through RemoveChildTab).
  void CloseAllChildren();
  void UpdateActionStates();
  // Sets the enabled states for these inputs (UpdateActionStates gathers
  // them from the frame).
  void SetActionStates(const TActionInputs& in);
  // True on a LAN line (the setting "Lanline") or with an active dial-up
  // connection; otherwise asks to dial, shows the dialer and checks again.
  bool CheckConnection() override;
  // Reads the profile file again and fills the quick-connect combo.
  void RefreshProfileList() override;
  // Opens a connection window for a profile: a tab, then Connect.
  void OpenConnection(const String& profileName);
  String HelpPath() override { return helpPath_; }
  // The save dialog of Dlgs owned by owner's window (this one's without),
  // filter "Text Files (*.txt)|*.txt", opening in the local folder; the
  // path chosen or "". The name is not offered: the dialog takes no preset.
  String ExecuteSaveDialog(TComponent* owner, const String& filter, const String& name) override;
  TCustomImageList* SmallImages() override { return Imgsmall; }

  // ---- the connection windows' host
  void ChildStateChanged(TConnectionWindow*) override { UpdateActionStates(); }
  void ChildStatusText(TConnectionWindow* child, int panel, const String& text) override {
    SetStatusText(child, panel, text);
  }
  void ChildCaptionChanged(TConnectionWindow* child) override { RenameChildTab(child); }
  void ChildGoing(TConnectionWindow* child) override { RemoveChildTab(child); }
  void LocalFilesChanged() override { RefreshLocalFiles(); }
  String ProfileFile() override { return ProfilesPath.empty() ? ProfileFileName() : ProfilesPath; }
  // The action of the same name.
  TBasicAction* HostAction(THostAction action) override;

  // ---- the local pane, as the connection windows use it.
  // The folder tree selects path (a path that names no folder selects the
  // desktop).
  void SelectLocalFolder(const String& path);
  // The path of the folder selected in the tree ("" for none, or for one
  // that is no folder of the file system).
  String LocalFolder() const override;
  // An entry of the file list.
  using TLocalEntry = ::TLocalEntry;
  // The selected entries of the file list, in list order.
  std::vector<TLocalEntry> LocalSelection() const override;
  int LocalSelectionCount() const;
  // The file list reads its folder again.
  void RefreshLocalFiles();

  // ---- the quick-connect combo (its bar item comes with the combo items)
  int QuickConnectCount() const;
  // -1: none selected.
  int QuickConnectIndex() const;
  // An index outside the entries selects none.
  void SetQuickConnectIndex(int index);
  // The text the combo shows.
  String QuickConnectText() const;

  // ---- event handlers
  void FormShow(TObject* sender);
  void FormCloseQuery(TObject* sender, bool& canClose);
  void FormClose(TObject* sender, TCloseAction& action);
  void FormResize(TObject* sender);
  void TabConChange(TObject* sender);
  void LocTreeClick(TObject* sender);
  void LocListClick(TObject* sender);
  void Bar1HelpButtonClick(TObject* sender);
  void AppException(TObject* sender, Exception& e);
  void ActionQuickConExecute(TObject* sender);
  void ActionCloseActiveExecute(TObject* sender);
  void ActionExitExecute(TObject* sender);
  void ActionDialerExecute(TObject* sender);
  void ActionDownloadFileExecute(TObject* sender);
  // The selected local files (a folder named *.zip counts as a file; other
  // folders are refused with a box each) go to the active window's upload.
  void ActionUploadFileExecute(TObject* sender);
  void ActionToolbarsExecute(TObject* sender);
  // The remote folders and files of the active connection window.
  void ActionUpDirExecute(TObject* sender);
  void ActionChangeDirExecute(TObject* sender);
  void ActionMkdDirExecute(TObject* sender);
  void ActionRenameDirExecute(TObject* sender);
  void ActionRemoveDirExecute(TObject* sender);
  void ActionRefreshRemoteExecute(TObject* sender);
  void ActionDirInfoExecute(TObject* sender);
  void ActionResumeUpExecute(TObject* sender);
  void ActionResumeDownExecute(TObject* sender);
  void ActionDeleteRemoteExecute(TObject* sender);
  void ActionRenameRemoteFileExecute(TObject* sender);
  // The permission editor on the selected files or folder.
  void ActionChmodExecute(TObject* sender);
  void ActionChmodDirExecute(TObject* sender);
  void ActionBatchUploadExecute(TObject* sender);
  void ActionBatchDownloadExecute(TObject* sender);
  void ActionBatchDeleteExecute(TObject* sender);
  void ActionAboutExecute(TObject* sender);
  void ActionNewExecute(TObject* sender);
  void ActionNewLocalDirExecute(TObject* sender);
  void ActionRefreshLocalExecute(TObject* sender);
  void ActionSaveLogExecute(TObject* sender);
  // The view actions: the style on the local list and the active window's
  // lists, the chosen action checked.
  void ViewExecute(TObject* sender);

  // ---- drags between the local list and the active window's remote lists
  TLocalDrag LocalDrag(TObject* source) override;
  // DragList := the dragged files (the upload's rule: a folder named *.zip
  // counts as a file); the plain folders are told once the drag has ended.
  void LocListStartDrag(TObject* sender, TDragObject*& dragObject);
  void LocListEndDrag(TObject* sender, TObject* target, int x, int y);
  // Only the active window's remote lists drop here: files download,
  // folders are told to use the batch download.
  void LocListDragOver(TObject* sender, TObject* source, int x, int y, TDragState state, bool& accept);
  void LocListDragDrop(TObject* sender, TObject* source, int x, int y);

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  // A restore request of a second start (SC_RESTORE without a cursor
  // position) restores only a minimised window, then brings it forward.
  void Dispatch(TMessage& msg) override;

 private:
  void CreateActions();
  // The Commands menu's actions: each sends its command through the
  // active connection window, those with an argument after an input box.
  void CreateRawCommandActions();
  // The application's exception hook, the frame services and the active
  // form's event go back to what they were.
  void ReleaseHooks();
  TConnectionWindow* ActiveChild() const;
  // An input box for child, its idle count held while it is open; the
  // preset when cancelled.
  String ChildInputBox(TConnectionWindow* child, const String& caption, const String& prompt, const String& preset);
  void EditPermissions(TConnectionWindow* child, bool folder);
  TConnectionWindow* TabChild(int index) const;
  // The tab follows the active child however it changed.
  void ActiveFormChange(TObject* sender);

  // ---- the local pane: LocTree in PTree bound to LocList in PList.
  void CreateLocalPane();
  // Every change of the file list's selection (clicks, keys, typed
  // letters) refreshes the actions once the changes are through.
  void LocListSelectItem(TObject* sender, TListItem* item, bool selected);
  bool localSelectionPosted_ = false;

  // The local pane in the sizes wanted (stored, or set by a drag) where
  // the window has room for them, else in the defaults: each splitter and
  // the pane beyond it stay on the screen.
  void FitLocalPane();
  int wantedListSize_ = 0, wantedDirSize_ = 0;
  int fittedListSize_ = 0, fittedDirSize_ = 0;

  // ---- drags from the local list
  void BindLocalDrags();
  void ShowDragFolderBoxes();
  // The display names of the plain folders the last drag left out.
  std::vector<String> dragFolders_;

  // ---- the status bar's connection panels (1 and 2) of each child.
  void ShowActiveStatus();
  std::map<TCustomForm*, std::array<String, 2>> statusTexts_;

  // ---- the quick-connect combo: replaces its entries (kept sorted).
  void FillQuickConnect(TStrings* names);

  String helpPath_;
  TFrameServices* previousServices_ = nullptr;
  TExceptionEvent previousException_;
  TNotifyEvent previousActiveFormChange_;
  TCustomForm* formMdiWindow_ = nullptr;  // FormMdi's window
};

extern TFormMain* FormMain;
