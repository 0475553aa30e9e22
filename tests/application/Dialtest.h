// The dial-up module and the dial window of a test, over the fake rasapi32.
#pragma once

#include <gtest/gtest.h>

#include "Fakeras.h"
#include "application/frame/Dialer.h"
#include "support/Testutil.h"
#include "support/Winwait.h"

// A status label that records each change of its text with the thread that
// made it.
class TRecordingLabel : public TLabel {
 public:
  explicit TRecordingLabel(TComponent* owner) : TLabel(owner) {}
  struct TChange {
    String Text;
    DWORD Thread;
  };
  std::vector<TChange> Changes;
  std::vector<String> Texts() const {
    std::vector<String> t;
    for (const TChange& c : Changes) t.push_back(c.Text);
    return t;
  }

 protected:
  void TextChanged() override {
    TLabel::TextChanged();
    Changes.push_back({Caption(), GetCurrentThreadId()});
  }
};

class DialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteFileA(TRasDialer::PhonebookFileName().c_str());
    RasDialer = new TRasDialer(Application);
    FormDial = new TFormDial(Application);
  }
  void TearDown() override {
    if (FormDial) FormDial->Free();
    if (RasDialer) RasDialer->Free();
    DeleteFileA(TRasDialer::PhonebookFileName().c_str());
  }

  // Puts a recording label in the place of Progress, with its text.
  TRecordingLabel* RecordProgress() {
    TLabel* old = FormDial->Progress;
    auto* rec = new TRecordingLabel(FormDial);
    rec->SetParent(old->Parent());
    rec->SetAutoSize(false);
    rec->SetWordWrap(true);
    rec->SetBoundsRect(old->BoundsRect());
    rec->SetCaption(old->Caption());
    rec->Changes.clear();
    old->SetVisible(false);
    FormDial->Progress = rec;
    return rec;
  }

  // Shows the window (not modally) and waits until it is on the screen.
  void ShowDial() {
    FormDial->Show();
    ASSERT_TRUE(WaitVisible(FormDial->Handle()));
  }

  // Every note was played and every posted notification handled.
  void WaitNotes() {
    ASSERT_TRUE(fake->WaitPlayed());
    ProcessQueuedMessages();
  }

  std::vector<String> BoxTexts() const {
    std::vector<String> t;
    for (const auto& b : dialogs.Dialogs.Boxes) t.push_back(b.caption + ": " + b.text);
    return t;
  }

  TScopedFakeRas fake;
  TScopedDialogs dialogs;
};
