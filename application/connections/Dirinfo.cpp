#include "Dirinfo.h"

#include "application/frame/Frameservices.h"

namespace {

TButton* MakeButton(TFormDir* form, const char* name, const char* caption, int left, int top, int helpContext) {
  TButton* b = MakeControl<TButton>(form, form, name, left, top, 75, 25);
  b->SetCaption(caption);
  b->SetAnchors(TAnchors{akRight, akBottom});
  b->SetHelpContext(helpContext);
  return b;
}

}  // namespace

TFormDir::TFormDir(TComponent* owner, TFrameServices* services) : TForm(owner), services_(services) {
  SetName("FormDir");
  SetCaption("Directory Information");
  SetBorderIcons(TBorderIcons{biSystemMenu, biHelp});
  SetPosition(poMainFormCenter);
  SetWidth(580);
  SetHeight(400);
  Constraints()->SetMinWidth(480);
  Constraints()->SetMinHeight(337);
  const int cw = ClientWidth(), ch = ClientHeight();

  // A multi-line edit holds any length of text: the listing is never cut.
  Memo1 = MakeControl<TMemo>(this, this, "Memo1", 8, 8, cw - 16, ch - 49);
  Memo1->SetAnchors(TAnchors{akLeft, akTop, akRight, akBottom});
  Memo1->SetReadOnly(true);
  Memo1->SetScrollBars(ssBoth);
  Memo1->SetWordWrap(false);
  Memo1->SetHelpContext(82);

  const int top = ch - 33;
  Button1 = MakeButton(this, "Button1", "&Save As", cw - 247, top, 83);
  Button1->OnClick = {this, &TFormDir::Button1Click};
  Button2 = MakeButton(this, "Button2", "&Close", cw - 166, top, 84);
  Button2->SetCancel(true);
  Button2->OnClick = {this, &TFormDir::Button2Click};
  Button3 = MakeButton(this, "Button3", "&Help", cw - 85, top, 0);
  Button3->OnClick = {this, &TFormDir::Button3Click};
}

void TFormDir::Button1Click(TObject*) {
  if (!services_) return;
  String path = services_->ExecuteSaveDialog(this, "Text Files (*.txt)|*.txt", "");
  if (!path.empty()) Memo1->Lines()->SaveToFile(path);
}

void TFormDir::Button2Click(TObject*) { Close(); }

void TFormDir::Button3Click(TObject*) {
  if (services_) Application->HelpFile = services_->HelpPath();
  Application->HelpJump("IDH_dir_info");
}
