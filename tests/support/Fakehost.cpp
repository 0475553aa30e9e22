#include "Fakehost.h"

#include <gtest/gtest.h>

#include "classlib/Graphics.h"

namespace {

const char* const kActionNames[] = {
    "UpDir",        "ChangeDir",  "MkdDir",           "RenameDir",    "RemoveDir", "BatchDownload",
    "BatchDelete",  "ChmodDir",   "RefreshRemote",    "DownloadFile", "ResumeDown", "RenameRemoteFile",
    "DeleteRemote", "Chmod",      "DirInfo",          "SaveLog",      "New",
};
static_assert(std::size(kActionNames) == static_cast<size_t>(THostAction::New) + 1);

}  // namespace

TFakeHost::TFakeHost() : previous_(SetFrameServices(this)) {
  images_ = new TImageList(nullptr);
  TBitmap glyph;
  glyph.SetSize(16, 16);
  for (int i = 0; i < 6; ++i) {
    glyph.Canvas()->Brush()->SetColor(i == 5 ? kProfileImageColor : clGray);
    glyph.Canvas()->FillRect(TRect(0, 0, 16, 16));
    images_->Add(&glyph, nullptr);
  }
}

TFakeHost::~TFakeHost() {
  SetFrameServices(previous_);
  for (auto& [which, action] : actions_) action->Free();
  images_->Free();
}

bool TFakeHost::CheckConnection() {
  ++Checks;
  return Connected;
}

void TFakeHost::InfoBox(const String& text, const String& caption) { Boxes.push_back({"info", text, caption}); }

void TFakeHost::ErrorBox(const String& text, const String& caption) {
  Boxes.push_back({"error", text, caption});
  if (FailOnError) ADD_FAILURE() << "unexpected error box: [" << caption << "] " << text;
}

bool TFakeHost::AskYesNo(const String& text, const String& caption) {
  Boxes.push_back({"question", text, caption});
  if (FailOnQuestion) ADD_FAILURE() << "unexpected question: [" << caption << "] " << text;
  if (Answers.empty()) return false;
  bool yes = Answers.front();
  Answers.pop_front();
  return yes;
}

String TFakeHost::ExecuteSaveDialog(TComponent* owner, const String& filter, const String& name) {
  Saves.push_back({owner, filter, name});
  if (FailOnSave) ADD_FAILURE() << "unexpected save dialog";
  if (SaveAnswers.empty()) return String();
  String path = SaveAnswers.front();
  SaveAnswers.pop_front();
  return path;
}

std::vector<String> TFakeHost::BoxTexts() const {
  std::vector<String> t;
  for (const TBox& b : Boxes) t.push_back(b.Kind + ": " + b.Caption + ": " + b.Text);
  return t;
}

std::vector<String> TFakeHost::BoxLines() const {
  std::vector<String> t;
  for (const TBox& b : Boxes) t.push_back(b.Caption + (b.Kind == "question" ? "? " : ": ") + b.Text);
  return t;
}

std::vector<String> TFakeHost::BoxCaptions() const {
  std::vector<String> t;
  for (const TBox& b : Boxes) t.push_back(b.Caption);
  return t;
}

void TFakeHost::ChildStatusText(TConnectionWindow*, int panel, const String& text) {
  if (panel >= 0 && panel < 3) Status[panel] = text;
}

void TFakeHost::ChildCaptionChanged(TConnectionWindow* child) { Captions.push_back(child->Window()->Caption()); }

TBasicAction* TFakeHost::HostAction(THostAction which) {
  TAction*& a = actions_[which];
  if (!a) {
    String name = kActionNames[static_cast<size_t>(which)];
    a = new TAction(nullptr);
    a->SetName("Action" + name);
    a->SetCaption(name);
    a->OnExecute = [this, name](TObject*) { ++Executed[name]; };
  }
  return a;
}
