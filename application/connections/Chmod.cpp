#include "Chmod.h"

#include "application/frame/Frameservices.h"

String PermissionModeText(const TPermissionBoxes& boxes) {
  auto digit = [&](int first) { return (boxes[first] ? 4 : 0) + (boxes[first + 1] ? 2 : 0) + (boxes[first + 2] ? 1 : 0); };
  int owner = digit(0), group = digit(3), others = digit(6);
  if (owner >= 1) return IntToStr(owner) + IntToStr(group) + IntToStr(others);
  if (group >= 1) return IntToStr(group) + IntToStr(others);
  if (others >= 1) return IntToStr(others);
  return String();
}

bool PermissionBoxesOf(const String& text, TPermissionBoxes& boxes) {
  bool shaped = text.size() == 10 || (text.size() == 11 && (text[10] == '+' || text[10] == '@' || text[10] == '.'));
  if (!shaped) return false;
  for (int i = 0; i < 9; ++i) {
    char c = text[static_cast<size_t>(i) + 1];
    switch (i % 3) {
      case 0:
        boxes[i] = c == 'r' || c == 'R';
        break;
      case 1:
        boxes[i] = c == 'w' || c == 'W';
        break;
      default:
        // setuid, setgid and sticky with execute are s and t; without it S and T.
        boxes[i] = c == 'x' || c == 'X' || c == 's' || c == 't';
        break;
    }
  }
  return true;
}

namespace {

TGroupBox* MakeGroup(TFormMod* form, const char* name, const char* caption, int left) {
  TGroupBox* g = MakeControl<TGroupBox>(form, form, name, left, 56, 112, 92);
  g->SetCaption(caption);
  return g;
}

TCheckBox* MakeBox(TFormMod* form, TGroupBox* group, const char* name, const char* caption, int row, bool ticked,
                   int helpContext) {
  TCheckBox* c = MakeControl<TCheckBox>(form, group, name, 10, 18 + row * 22, 94, 17);
  c->SetCaption(caption);
  c->SetChecked(ticked);
  c->SetHelpContext(helpContext);
  c->OnClick = {form, &TFormMod::CheckBoxClick};
  return c;
}

TButton* MakeButton(TFormMod* form, const char* name, const char* caption, int left) {
  TButton* b = MakeControl<TButton>(form, form, name, left, 186, 75, 25);
  b->SetCaption(caption);
  return b;
}

}  // namespace

bool TFormMod::Edit(const String& permissions, TPermissionChoice& choice) {
  TOwned<TFormMod> editor(new TFormMod(Application));
  if (!permissions.empty()) editor->Permissions = permissions;
  editor->ShowModal();
  if (editor->Cancelled) return false;
  choice.ModeText = editor->ModeText;
  choice.SendAsQuote = editor->SendAsQuote;
  return true;
}

TFormMod::TFormMod(TComponent* owner) : TForm(owner) {
  SetName("FormMod");
  SetCaption("File Permissions");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu, biHelp});
  SetPosition(poScreenCenter);
  SetClientWidth(368);
  SetClientHeight(220);
  OnShow = {this, &TFormMod::FormShow};
  OnClose = {this, &TFormMod::FormClose};

  Label1 = MakeControl<TLabel>(this, this, "Label1", 8, 8, 352, 40);
  Label1->SetAutoSize(false);
  Label1->SetWordWrap(true);
  Label1->SetCaption(
      "Select the permissions you want to set for the file or folder. Permission setting is usually only supported "
      "by Unix based servers.");

  GroupBox1 = MakeGroup(this, "GroupBox1", "Owner Permissions", 8);
  CheckBox1 = MakeBox(this, GroupBox1, "CheckBox1", "Readable", 0, true, 64);
  CheckBox2 = MakeBox(this, GroupBox1, "CheckBox2", "Writable", 1, true, 65);
  CheckBox3 = MakeBox(this, GroupBox1, "CheckBox3", "Executable", 2, false, 66);
  GroupBox2 = MakeGroup(this, "GroupBox2", "Group Permissions", 128);
  CheckBox4 = MakeBox(this, GroupBox2, "CheckBox4", "Readable", 0, true, 67);
  CheckBox5 = MakeBox(this, GroupBox2, "CheckBox5", "Writable", 1, false, 68);
  CheckBox6 = MakeBox(this, GroupBox2, "CheckBox6", "Executable", 2, false, 69);
  GroupBox3 = MakeGroup(this, "GroupBox3", "Other Permissions", 248);
  CheckBox7 = MakeBox(this, GroupBox3, "CheckBox7", "Readable", 0, true, 70);
  CheckBox8 = MakeBox(this, GroupBox3, "CheckBox8", "Writable", 1, false, 71);
  CheckBox9 = MakeBox(this, GroupBox3, "CheckBox9", "Executable", 2, false, 72);
  boxes_ = {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5, CheckBox6, CheckBox7, CheckBox8, CheckBox9};

  Label2 = MakeControl<TLabel>(this, this, "Label2", 8, 160, 52, 13);
  Label2->SetCaption("CHMOD:");
  Label3 = MakeControl<TLabel>(this, this, "Label3", 64, 160, 40, 13);
  Label3->SetAutoSize(false);
  Label3->SetCaption("644");
  for (TLabel* l : {Label2, Label3}) l->Font()->SetStyle(TFontStyles{fsBold});
  CheckQuote = MakeControl<TCheckBox>(this, this, "CheckQuote", 128, 158, 150, 17);
  CheckQuote->SetCaption("Send as QUOTE");
  CheckQuote->SetHelpContext(73);

  Button1 = MakeButton(this, "Button1", "&OK", 126);
  Button1->SetDefault(true);
  Button1->OnClick = {this, &TFormMod::Button1Click};
  Button2 = MakeButton(this, "Button2", "&Cancel", 206);
  Button2->SetCancel(true);
  Button2->OnClick = {this, &TFormMod::Button2Click};
  ButHelp = MakeButton(this, "ButHelp", "&Help", 286);
  ButHelp->OnClick = {this, &TFormMod::ButHelpClick};
  EndLoading();

  if (TFrameServices* frame = FrameServices()) Application->HelpFile = frame->HelpPath();
}

TPermissionBoxes TFormMod::Boxes() const {
  TPermissionBoxes b{};
  for (size_t i = 0; i < boxes_.size(); ++i) b[i] = boxes_[i]->Checked();
  return b;
}

void TFormMod::SetBoxes(const TPermissionBoxes& boxes) {
  for (size_t i = 0; i < boxes_.size(); ++i) boxes_[i]->SetChecked(boxes[i]);
  Label3->SetCaption(PermissionModeText(Boxes()));
}

void TFormMod::FormShow(TObject*) {
  Cancelled = true;
  TPermissionBoxes b = Boxes();
  if (PermissionBoxesOf(Permissions, b)) SetBoxes(b);
  Label3->SetCaption(PermissionModeText(Boxes()));
}

void TFormMod::CheckBoxClick(TObject*) { Label3->SetCaption(PermissionModeText(Boxes())); }

void TFormMod::Button1Click(TObject*) {
  SendAsQuote = CheckQuote->Checked();
  ModeText = PermissionModeText(Boxes());
  Cancelled = false;
  Close();
}

void TFormMod::Button2Click(TObject*) {
  Cancelled = true;
  Close();
}

void TFormMod::ButHelpClick(TObject*) {
  if (TFrameServices* frame = FrameServices()) Application->HelpFile = frame->HelpPath();
  Application->HelpJump("IDH_chmod");
}

void TFormMod::FormClose(TObject*, TCloseAction&) {
  // The caller reads Cancelled; the title bar's close and Escape land here too.
  SetModalResult(Cancelled ? mrCancel : mrOk);
}
