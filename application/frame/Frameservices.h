// What the windows opened from the main window ask of it. The main window
// implements it; tests install a fake.
#pragma once

#include "classlib/Forms.h"

class TCustomImageList;

class TFrameServices {
 public:
  virtual ~TFrameServices() = default;
  // True when a network connection may be assumed or was just dialled.
  virtual bool CheckConnection() = 0;
  // Message boxes owned by the application window.
  virtual void InfoBox(const String& text, const String& caption) = 0;
  virtual void ErrorBox(const String& text, const String& caption) = 0;
  virtual bool AskYesNo(const String& text, const String& caption) = 0;
  // The help file: the program folder + "nembra3.hlp".
  virtual String HelpPath() = 0;
  // The one save dialog: filter ("Text Files (*.txt)|*.txt"), the suggested
  // name; the chosen path, "" when cancelled.
  virtual String ExecuteSaveDialog(TComponent* owner, const String& filter, const String& name) = 0;
  // The profile file changed: the quick-connect list is read again.
  virtual void RefreshProfileList() = 0;
  // The main window's small image list (image 5: a profile).
  virtual TCustomImageList* SmallImages() = 0;
};

// The services of the running main window (nullptr before it exists).
TFrameServices* FrameServices();
// Installs s (the main window, or a test's fake) and returns the previous one.
TFrameServices* SetFrameServices(TFrameServices* s);
// The running main window's services; raises when there is none.
TFrameServices& Frame();
