// What the main window needs of a connection window: the only way it
// reaches one. The connection window implements it; tests fake it. The main
// window keeps a child in the tab of its window, closes it through its
// window (whose close query hands it back through its host's ChildGoing)
// and reads its caption there.
#pragma once

#include "classlib/Forms.h"

class TConnectionHost;

class TConnectionWindow {
 public:
  virtual ~TConnectionWindow() = default;
  // The MDI child form itself.
  virtual TCustomForm* Window() = 0;
  // Its FTP client is connected.
  virtual bool Connected() = 0;
  // Selected entries of its remote directory list and file list.
  virtual int SelectedDirCount() = 0;
  virtual int SelectedFileCount() = 0;
  // The profile the next Connect uses.
  virtual void SetProfileName(const String& name) = 0;
  // Starts connecting with that profile.
  virtual void Connect() = 0;
  // Downloads the selected remote files into the local folder.
  virtual void DownloadSelected() {}
  // Uploads the files of these full local paths, in order, into the
  // current remote directory.
  virtual void UploadFiles(const TStrings* paths) {}
};

// Makes a connection window owned by owner that asks host (both the main
// window) for what it needs of it.
using TConnectionWindowFactory = TConnectionWindow* (*)(TComponent* owner, TConnectionHost* host);
// The factory the main window uses (nullptr: none yet); installing one
// returns the one it replaces.
TConnectionWindowFactory ConnectionWindowFactory();
TConnectionWindowFactory SetConnectionWindowFactory(TConnectionWindowFactory factory);

// The connection window made last; nullptr once that window is gone.
extern TConnectionWindow* FormMdi;
