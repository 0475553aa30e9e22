#include "Userpass.h"

#include "application/frame/Frameservices.h"

TFormUserPass::TFormUserPass(TComponent* owner) : TForm(owner) {
  SetName("FormUserPass");
  SetCaption("Username/Password");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu});
  SetPosition(poMainFormCenter);
  SetClientWidth(300);
  SetClientHeight(150);
  OnClose = {this, &TFormUserPass::FormClose};

  Label1 = MakeControl<TLabel>(this, this, "Label1", 8, 8, 284, 39);
  Label1->SetAutoSize(false);
  Label1->SetWordWrap(true);
  Label1->SetCaption(
      "The server responded with an invalid UserID/Password Error. Please type in a valid username and password for "
      "this server.");
  Label2 = MakeControl<TLabel>(this, this, "Label2", 8, 59, 70, 13);
  Label2->SetCaption("Username:");
  EditUser = MakeControl<TEdit>(this, this, "EditUser", 84, 55, 208, 21);
  EditUser->SetText("");
  Label3 = MakeControl<TLabel>(this, this, "Label3", 8, 87, 70, 13);
  Label3->SetCaption("Password:");
  EditPass = MakeControl<TEdit>(this, this, "EditPass", 84, 83, 208, 21);
  EditPass->SetPasswordChar('*');
  EditPass->SetText("");
  Button1 = MakeControl<TButton>(this, this, "Button1", 136, 117, 75, 25);
  Button1->SetCaption("&OK");
  Button1->SetDefault(true);
  Button1->OnClick = {this, &TFormUserPass::Button1Click};
  Button2 = MakeControl<TButton>(this, this, "Button2", 217, 117, 75, 25);
  Button2->SetCaption("&Cancel");
  Button2->SetCancel(true);
  Button2->OnClick = {this, &TFormUserPass::Button2Click};
  EndLoading();

  UserName.clear();
  Password.clear();
  Cancelled = true;
}

void TFormUserPass::Button1Click(TObject*) {
  auto refuse = [this](TEdit* field) {
    if (TFrameServices* f = FrameServices()) f->InfoBox("You must enter a Username and Password.", "Need Username/Password");
    FocusControl(field);
  };
  if (EditUser->Text().empty()) {
    refuse(EditUser);
    return;
  }
  UserName = EditUser->Text();
  if (EditPass->Text().empty()) {
    refuse(EditPass);
    return;
  }
  Password = EditPass->Text();
  Cancelled = false;
  SetModalResult(mrOk);
}

void TFormUserPass::Button2Click(TObject*) {
  Cancelled = true;
  Close();
}

void TFormUserPass::FormClose(TObject*, TCloseAction& action) {
  // Shown modally its maker frees it; otherwise it goes once closed.
  if (!FormState.Contains(fsModal)) action = caFree;
}
