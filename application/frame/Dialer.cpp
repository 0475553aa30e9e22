#include "Dialer.h"

#include "Frameservices.h"
#include "Rasdlr.h"
#include "classlib/Inifiles.h"

TFormDial* FormDial = nullptr;

namespace {

TButton* MakeButton(TFormDial* form, const char* name, const char* caption, int top) {
  TButton* b = MakeControl<TButton>(form, form, name, 281, top, 88, 25);
  b->SetCaption(caption);
  return b;
}

TLabel* MakeLabel(TFormDial* form, TWinControl* parent, const char* name, const char* caption, int top) {
  TLabel* l = MakeControl<TLabel>(form, parent, name, 12, top, 70, 13);
  l->SetCaption(caption);
  return l;
}

void LoadBitmap(TBitmap* bitmap, const char* resource) {
  bitmap->LoadFromResourceName(GetModuleHandleA(nullptr), resource);
}

}  // namespace

TFormDial::TFormDial(TComponent* owner) : TForm(owner) {
  SetName("FormDial");
  SetCaption("Palvane - RAS Dialer Utility");
  SetBorderStyle(bsDialog);
  SetBorderIcons(TBorderIcons{biSystemMenu, biHelp});
  SetPosition(poDesktopCenter);
  SetBounds(0, 0, 383, 240);
  SetClientWidth(377);
  SetClientHeight(212);
  OnShow = {this, &TFormDial::FormShow};

  Dial = MakeButton(this, "Dial", "Connect", 10);
  Dial->SetDefault(true);
  Dial->OnClick = {this, &TFormDial::DialClick};

  GroupBox1 = MakeControl<TGroupBox>(this, this, "GroupBox1", 8, 4, 265, 64);
  GroupBox1->SetCaption("Progress");
  Image1 = MakeControl<TImage>(this, GroupBox1, "Image1", 12, 20, 32, 32);
  LoadBitmap(Image1->Picture()->Bitmap(), "DIALPHONE");
  Image1->SetTransparent(true);
  Progress = MakeControl<TLabel>(this, GroupBox1, "Progress", 52, 20, 203, 36);
  Progress->SetAutoSize(false);
  Progress->SetWordWrap(true);
  Progress->SetCaption("No Connection");

  GroupBox2 = MakeControl<TGroupBox>(this, this, "GroupBox2", 8, 72, 265, 132);
  GroupBox2->SetCaption("Phonebook Entries");
  Label1 = MakeLabel(this, GroupBox2, "Label1", "Account:", 24);
  Account = MakeControl<TComboBox>(this, GroupBox2, "Account", 88, 20, 121, 21);
  Account->SetStyle(csDropDownList);
  Account->OnChange = {this, &TFormDial::AccountChange};
  Label1->SetFocusControl(Account);
  Speed1 = MakeControl<TSpeedButton>(this, GroupBox2, "Speed1", 213, 19, 23, 22);
  Speed1->SetFlat(true);
  Speed1->SetHint("Properties");
  Speed1->SetShowHint(true);
  LoadBitmap(Speed1->Glyph(), "DIALPROPERTIES");
  Speed1->OnClick = {this, &TFormDial::Speed1Click};
  Speed2 = MakeControl<TSpeedButton>(this, GroupBox2, "Speed2", 236, 19, 23, 22);
  Speed2->SetFlat(true);
  Speed2->SetHint("New Entry");
  Speed2->SetShowHint(true);
  LoadBitmap(Speed2->Glyph(), "DIALNEWENTRY");
  Speed2->OnClick = {this, &TFormDial::Speed2Click};
  Label2 = MakeLabel(this, GroupBox2, "Label2", "Logon Name:", 60);
  Logon = MakeControl<TEdit>(this, GroupBox2, "Logon", 88, 56, 171, 21);
  Label2->SetFocusControl(Logon);
  Label3 = MakeLabel(this, GroupBox2, "Label3", "Password:", 96);
  Password = MakeControl<TEdit>(this, GroupBox2, "Password", 88, 92, 171, 21);
  Password->SetPasswordChar('*');
  Label3->SetFocusControl(Password);

  Button1 = MakeButton(this, "Button1", "&Close", 70);
  Button1->SetCancel(true);
  Button1->OnClick = {this, &TFormDial::Button1Click};
  Button2 = MakeButton(this, "Button2", "&About", 100);
  Button2->OnClick = {this, &TFormDial::Button2Click};
  Hangup = MakeButton(this, "Hangup", "Disconnect", 40);
  Hangup->SetTabOrder(1);
  Hangup->SetEnabled(false);
  Hangup->OnClick = {this, &TFormDial::HangupClick};
  Hangup->OnMouseMove = {this, &TFormDial::HangupMouseMove};
  Button3 = MakeButton(this, "Button3", "&Help", 130);
  Button3->OnClick = {this, &TFormDial::Button3Click};
  EndLoading();
}

TFormDial::~TFormDial() {
  if (FormDial == this) FormDial = nullptr;
}

void TFormDial::CreateWnd() {
  TForm::CreateWnd();
  if (HMENU menu = GetSystemMenu(Handle(), FALSE)) {
    DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
    // The separator that stood above it.
    int last = GetMenuItemCount(menu) - 1;
    if (last >= 0 && (GetMenuState(menu, static_cast<UINT>(last), MF_BYPOSITION) & MF_SEPARATOR))
      DeleteMenu(menu, static_cast<UINT>(last), MF_BYPOSITION);
  }
}

void TFormDial::Dispatch(TMessage& msg) {
  bool closing = msg.Msg == WM_CLOSE || (msg.Msg == WM_SYSCOMMAND && (msg.WParam & 0xFFF0) == SC_CLOSE);
  if (!closing) {
    TForm::Dispatch(msg);
    return;
  }
  msg.Result = 0;
  if (Button1->Enabled()) Button1->Click();
}

void TFormDial::FormShow(TObject*) {
  if (RasDialer) {
    RasDialer->LoadPhonebook();
    if (RasDialer->FindActiveConnection()) {
      Hangup->SetEnabled(true);
      Dial->SetEnabled(false);
      int i = Account->Items()->IndexOf(ConnectedEntry);
      if (i >= 0) {
        Account->SetItemIndex(i);
        AccountChange(this);
      }
    } else {
      Progress->SetCaption("No Connection");
      Account->SetItemIndex(Account->Items()->Count() > 0 ? 0 : -1);
      AccountChange(this);
      Hangup->SetEnabled(false);
      Dial->SetEnabled(true);
    }
  }
  Speed1->SetEnabled(!Account->Text().empty());
  Screen->SetCursor(crDefault);
}

void TFormDial::AccountChange(TObject*) {
  TIniFile ini(TRasDialer::PhonebookFileName());
  String entry = Account->Text();
  if (!entry.empty()) {
    Logon->SetText(ini.ReadString(entry, "UserName", ""));
    Password->SetText(ini.ReadString(entry, "Password", ""));
  } else {
    Logon->Clear();
    Password->Clear();
  }
  Speed1->SetEnabled(!entry.empty());
}

void TFormDial::DialClick(TObject*) {
  Button1->SetEnabled(false);
  bool started = RasDialer && RasDialer->Dial(Account->Text(), Logon->Text(), Password->Text());
  Hangup->SetEnabled(started);
  Dial->SetEnabled(!started);
  Screen->SetCursor(crDefault);
}

void TFormDial::HangupClick(TObject*) {
  Screen->SetCursor(crHourGlass);
  try {
    if (RasDialer) RasDialer->HangUp();
  } catch (...) {
    Screen->SetCursor(crDefault);
    throw;
  }
  Screen->SetCursor(crDefault);
}

void TFormDial::Speed1Click(TObject*) {
  if (RasDialer) RasDialer->EditEntry(Account->Text());
}

void TFormDial::Speed2Click(TObject*) {
  if (RasDialer) RasDialer->NewEntry();
}

void TFormDial::Button1Click(TObject*) { Close(); }

void TFormDial::Button2Click(TObject*) {
  SystemDialogs()->MessageBox(Application->Handle(),
                              "Palvane is a simple connection manager for dialup connections.\n\n"
                              "It dials the entries of the system phonebook, shows how the dial goes on "
                              "and hangs up again.\n\n"
                              "The user names and passwords of the entries are kept in phonebook.ini "
                              "in the program's folder.",
                              "About Palvane", MB_OK | MB_ICONINFORMATION);
}

void TFormDial::Button3Click(TObject*) {
  Application->HelpFile = FrameServices() ? FrameServices()->HelpPath()
                                          : ExtractFilePath(Application->ExeName()) + "nembra3.hlp";
  Application->HelpJump("IDH_dialer");
}

void TFormDial::HangupMouseMove(TObject*, TShiftState, int, int) { Hangup->SetCursor(crDefault); }
