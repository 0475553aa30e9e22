// What the main window needs of a connection window. The connection window
// implements it; tests fake it. The main window keeps a child in the tab of
// its window, closes it through its window (whose close query hands it back
// through TFormMain::RemoveChildTab) and reads its caption there.
#pragma once

#include "classlib/Forms.h"

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

// Makes a connection window owned by owner (the main window).
using TConnectionWindowFactory = TConnectionWindow* (*)(TComponent* owner);
// The factory the main window uses (nullptr: none yet); installing one
// returns the one it replaces.
TConnectionWindowFactory ConnectionWindowFactory();
TConnectionWindowFactory SetConnectionWindowFactory(TConnectionWindowFactory factory);

// The connection window made last; nullptr once that window is gone.
extern TConnectionWindow* FormMdi;
