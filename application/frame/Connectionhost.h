// What a connection window asks of the window that holds it, named from the
// child's side. The main window implements it and hands itself to every
// connection window it makes; tests fake it (tests/support/Fakehost.h).
// The boxes, CheckConnection and the small image list are the frame
// services'.
#pragma once

#include <vector>

#include "Connectionwindow.h"
#include "Frameservices.h"

class TBasicAction;

// The host's actions a connection window reaches: those its popup menus
// carry, and New, which a busy window offers.
enum class THostAction {
  UpDir,
  ChangeDir,
  MkdDir,
  RenameDir,
  RemoveDir,
  BatchDownload,
  BatchDelete,
  ChmodDir,
  RefreshRemote,
  DownloadFile,
  ResumeDown,
  RenameRemoteFile,
  DeleteRemote,
  Chmod,
  DirInfo,
  SaveLog,
  New,
};

// An entry of the local file list.
struct TLocalEntry {
  String Path;         // full path
  String DisplayName;  // as the list shows it
  bool Folder = false;
};

// What a drag from the local pane carries onto a connection window's lists.
struct TLocalDrag {
  enum TKind { None, Files, Folder };
  TKind Kind = None;
  // Files: the full paths of the local list's files (its plain folders are
  // left out).
  std::vector<String> Paths;
  // Folder: the local tree's dragged folder ("" for one outside the file
  // system).
  String FolderPath;
};

class TConnectionHost : public TFrameServices {
 public:
  // The child's connection, selection or busy state changed: the host's
  // actions follow.
  virtual void ChildStateChanged(TConnectionWindow* child) = 0;
  // The child's status panel 0, 1 or 2 shows text (while it is the active
  // child).
  virtual void ChildStatusText(TConnectionWindow* child, int panel, const String& text) = 0;
  // The child's caption changed: its tab follows.
  virtual void ChildCaptionChanged(TConnectionWindow* child) = 0;
  // The child is going: its tab goes and the child is closed.
  virtual void ChildGoing(TConnectionWindow* child) = 0;
  // Something in the local folder changed: the local files are read again.
  virtual void LocalFilesChanged() = 0;
  // The local folder's path ("" for none, or one outside the file system).
  virtual String LocalFolder() const = 0;
  // The selected entries of the local file list, in list order.
  virtual std::vector<TLocalEntry> LocalSelection() const = 0;
  // The profile file the child connects with.
  virtual String ProfileFile() = 0;
  // The host's action, nullptr when it has none.
  virtual TBasicAction* HostAction(THostAction action) = 0;
  // What a drag whose source (as the drag events give it) is source
  // carries from the local pane; None for any other source.
  virtual TLocalDrag LocalDrag(TObject* source) { return TLocalDrag(); }
};
