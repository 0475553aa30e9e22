// What the main window needs of a connection window: the only way it
// reaches one. The connection window implements it; tests fake it. The main
// window keeps a child in the tab of its window, closes it through its
// window (whose close query hands it back through its host's ChildGoing)
// and reads its caption there.
#pragma once

#include "classlib/Forms.h"
#include "classlib/Listview.h"

class TConnectionHost;

// The remote list a control is.
enum class TRemoteList { None, Files, Dirs };

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
  // Which of its remote lists the object (a drag's source) is.
  virtual TRemoteList RemoteListOf(TObject* object) { return TRemoteList::None; }

  // ---- remote folders and files
  // The current remote directory.
  virtual String CurrentDirectory() { return String(); }
  // The name of the selected folder ("" with none, or with the ".." row
  // selected) and the permission texts of it and of the first selected file.
  virtual String SelectedDirName() { return String(); }
  virtual String SelectedDirPermissions() { return String(); }
  virtual String SelectedFilePermissions() { return String(); }
  virtual void ChangeDir(const String& dir) {}
  // Makes the folder, then changes into it.
  virtual void MakeDir(const String& name) {}
  // Renames the selected folder.
  virtual void RenameDir(const String& newName) {}
  virtual void RemoveDir(const String& name) {}
  // Asks, then deletes the selected files.
  virtual void DeleteSelected() {}
  // Asks for the new name of the one selected file.
  virtual void RenameSelectedFile() {}
  // Reads the current directory again.
  virtual void RefreshRemote() {}
  // Reads the current directory again and shows its listing's raw text.
  virtual void ShowDirInfo() {}
  // Sends the rest of the local file at this full path after the bytes the
  // server's copy already holds.
  virtual void ResumeUpload(const String& localPath) {}
  // Fetches the rest of the one selected remote file after the bytes its
  // local copy already holds.
  virtual void ResumeDownload() {}
  // Copies the local folder at this full path, with everything under it,
  // into the current remote directory.
  virtual void BatchUpload(const String& localFolder) {}
  // Copies the selected remote folder's tree into the local folder.
  virtual void BatchDownload() {}
  // Deletes the selected remote folder with everything under it.
  virtual void BatchDelete() {}
  // Sets the mode ("644") on the selected files or folder.
  virtual void ChmodFiles(const String& mode, bool asQuote) {}
  virtual void ChmodDir(const String& mode, bool asQuote) {}
  // The view style of its remote lists.
  virtual void SetViewStyle(TViewStyle style) {}
  // Its log, one entry a line (nullptr with none).
  virtual const TStrings* LogLineList() { return nullptr; }
  // ---- raw commands: each sends one command and finishes what it starts
  // (a directory change is listed, a transfer runs to its end).
  // A typed command line, sent as it stands; those that need a data
  // connection or set one up are refused with a box.
  virtual void SendQuote(const String& line) {}
  virtual void SendCWD(const String& dir) {}
  virtual void SendCDUP() {}
  // PWD, then the listing of that directory.
  virtual void SendPWD() {}
  virtual void SendHELP(const String& line) {}
  virtual void SendSYST() {}
  // "SITE " and the parameters.
  virtual void SendSITE(const String& parameters) {}
  // The listing, shown raw once the lists are full; NLST's at once.
  virtual void SendLIST() {}
  virtual void SendNLST() {}
  // The file of this name in the local folder, uploaded.
  virtual void SendSTOR(const String& name) {}
  // The remote file, saved in the local folder under its last part.
  virtual void SendRETR(const String& name) {}
  virtual void SendSIZE(const String& name) {}
  virtual void SendSTAT() {}
  virtual void SendQUIT() {}
  // A question or input box for the window opens (true) or closes: while
  // one is open its idle count stands still.
  virtual void HoldIdleCount(bool hold) {}
};

// A question or input box for the window is open for the life of it.
class THeldIdleCount {
 public:
  explicit THeldIdleCount(TConnectionWindow* w) : w_(w) { w_->HoldIdleCount(true); }
  ~THeldIdleCount() { w_->HoldIdleCount(false); }
  THeldIdleCount(const THeldIdleCount&) = delete;
  THeldIdleCount& operator=(const THeldIdleCount&) = delete;

 private:
  TConnectionWindow* w_;
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
