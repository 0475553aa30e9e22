// A fake of the window that holds the connection windows, and of the frame
// services, for a test: installed as the frame services for its lifetime,
// it records every call and answers the questions and save dialogs from
// queues.
#pragma once

#include <deque>
#include <map>
#include <vector>

#include "application/frame/Connectionhost.h"
#include "classlib/Actnlist.h"
#include "classlib/Imglist.h"

// The colour of image 5 (a profile) of the fake's small images; the others
// are grey.
constexpr TColor kProfileImageColor = 0x00B000;  // green

class TFakeHost : public TConnectionHost {
 public:
  TFakeHost();
  ~TFakeHost() override;
  TFakeHost(const TFakeHost&) = delete;
  TFakeHost& operator=(const TFakeHost&) = delete;

  // ---- the frame services
  struct TBox {
    String Kind;  // "info", "error", "question"
    String Text, Caption;
  };
  struct TSave {
    TComponent* Owner;
    String Filter, Name;
  };
  // What CheckConnection answers, and how often it was asked.
  bool Connected = true;
  int Checks = 0;
  std::vector<TBox> Boxes;
  // AskYesNo's answers, front first; No when empty.
  std::deque<bool> Answers;
  std::vector<TSave> Saves;
  // The paths the save dialog answers, front first; cancelled when empty.
  std::deque<String> SaveAnswers;
  int Refreshes = 0;  // RefreshProfileList
  // These fail the test as they come (they are recorded as well).
  bool FailOnError = false, FailOnQuestion = false, FailOnSave = false;

  bool CheckConnection() override;
  void InfoBox(const String& text, const String& caption) override;
  void ErrorBox(const String& text, const String& caption) override;
  bool AskYesNo(const String& text, const String& caption) override;
  String HelpPath() override { return "C:\\Nembra\\nembra3.hlp"; }
  String ExecuteSaveDialog(TComponent* owner, const String& filter, const String& name) override;
  void RefreshProfileList() override { ++Refreshes; }
  TCustomImageList* SmallImages() override { return images_; }

  // "kind: caption: text" of each box.
  std::vector<String> BoxTexts() const;
  // "caption: text" of each box, "caption? text" of each question.
  std::vector<String> BoxLines() const;
  std::vector<String> BoxCaptions() const;

  // ---- the connection windows' host
  int StateChanges = 0;
  // The last text of status panels 0 to 2.
  String Status[3];
  // The child's caption at each ChildCaptionChanged.
  std::vector<String> Captions;
  // The children that said they are going, in order.
  std::vector<TConnectionWindow*> Going;
  int LocalRefreshes = 0;
  // What LocalFolder, LocalSelection and ProfileFile answer.
  String Folder;
  std::vector<TLocalEntry> Selection;
  String Profiles;
  // HostAction's actions: "Action" + the name ("ActionUpDir"); executing
  // one counts it.
  std::map<String, int> Executed;

  void ChildStateChanged(TConnectionWindow*) override { ++StateChanges; }
  void ChildStatusText(TConnectionWindow* child, int panel, const String& text) override;
  void ChildCaptionChanged(TConnectionWindow* child) override;
  void ChildGoing(TConnectionWindow* child) override { Going.push_back(child); }
  void LocalFilesChanged() override { ++LocalRefreshes; }
  String LocalFolder() const override { return Folder; }
  std::vector<TLocalEntry> LocalSelection() const override { return Selection; }
  String ProfileFile() override { return Profiles; }
  TBasicAction* HostAction(THostAction action) override;

 private:
  TFrameServices* previous_;
  TImageList* images_;
  std::map<THostAction, TAction*> actions_;
};
