#include "About.h"

#include <vector>

#include "Splash.h"

const char* const MakerWebAddress = "http://www.quellmark.example/";

String VersionText(DWORD versionMS, DWORD versionLS) {
  return Format("%u.%u.%u.%u", HIWORD(versionMS), LOWORD(versionMS), HIWORD(versionLS), LOWORD(versionLS));
}

String FileVersionText(const String& fileName) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(fileName.c_str(), &ignored);
  if (size == 0) return "";
  std::vector<char> info(size);
  if (!GetFileVersionInfoA(fileName.c_str(), 0, size, info.data())) return "";
  void* block = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), "\\", &block, &length) || !block || length < sizeof(VS_FIXEDFILEINFO)) return "";
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
  if (fixed->dwSignature != VS_FFI_SIGNATURE) return "";
  return VersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
}

namespace {

TLabel* MakeLabel(TFormAbout* form, const char* name, const char* caption, int left, int top) {
  TLabel* l = MakeControl<TLabel>(form, form, name, left, top, 0, 13);
  l->SetCaption(caption);
  return l;
}

}  // namespace

TFormAbout::TFormAbout(TComponent* owner) : TForm(owner) {
  SetName("FormAbout");
  SetCaption("About Nembra");
  SetBorderStyle(bsSingle);
  SetBorderIcons(TBorderIcons{biSystemMenu});
  SetPosition(poDesktopCenter);
  SetClientWidth(388);
  SetClientHeight(327);
  OnMouseMove = {this, &TFormAbout::FormMouseMove};
  OnClose = {this, &TFormAbout::FormClose};

  Panel1 = MakeControl<TPanel>(this, this, "Panel1", 0, 0, 388, 234);
  Panel1->SetAlign(alTop);
  Panel1->SetBevelOuter(bvLowered);
  Panel1->SetCaption("");
  Image1 = MakeControl<TImage>(this, Panel1, "Image1", 39, 6, 310, 80);
  LoadPicture(Image1, "SPLASHTOP");
  Image2 = MakeControl<TImage>(this, Panel1, "Image2", 34, 88, 320, 140);
  LoadPicture(Image2, "SPLASHPICTURE");

  LabelC = MakeLabel(this, "LabelC", MakerNotice, 12, 244);
  Label1 = MakeLabel(this, "Label1", "Nembra - FTP Client - Version:", 12, 266);
  LabelV = MakeLabel(this, "LabelV", "", 180, 266);
  Label3 = MakeLabel(this, "Label3", "On the Web: ", 12, 288);
  Label4 = MakeLabel(this, "Label4", MakerWebAddress, 80, 288);
  Label4->Font()->SetColor(clBlue);
  Label4->SetCursor(crHandPoint);
  Label4->OnClick = {this, &TFormAbout::Label4Click};
  Label4->OnMouseMove = {this, &TFormAbout::Label4MouseMove};

  Button1 = MakeControl<TButton>(this, this, "Button1", 296, 290, 80, 25);
  Button1->SetCaption("&OK");
  Button1->SetDefault(true);
  Button1->SetCancel(true);
  Button1->OnClick = {this, &TFormAbout::Button1Click};

  // Anywhere but the address is "the rest of the window".
  for (TControl* c : std::initializer_list<TControl*>{Panel1, Image1, Image2, LabelC, Label1, LabelV, Label3, Button1})
    c->OnMouseMove = {this, &TFormAbout::FormMouseMove};

  Panel1->SetColor(clNembraBlue);
  LabelV->SetCaption(FileVersionText(Application->ExeName()));
  EndLoading();
  // The values follow their labels, with room for the last glyph's
  // overhang beyond its advance (else a final "2" or "/" is cut).
  LabelV->SetAutoSize(false);
  LabelV->SetBounds(Label1->Left() + Label1->Width() + 4, LabelV->Top(), 0, LabelV->Height());
  LabelV->SetWidth(ClientWidth() - 12 - LabelV->Left());
  Label4->SetAutoSize(false);
  Label4->SetBounds(Label3->Left() + Label3->Width(), Label4->Top(), Label4->Width() + 2, Label4->Height());
}

void TFormAbout::Label4Click(TObject*) {
  SystemDialogs()->ShellExecuteFile(nullptr, "open", MakerWebAddress, "", "C:\\", SW_SHOWNORMAL);
  MSG msg;
  Application->ProcessMessage(msg);
}

void TFormAbout::Label4MouseMove(TObject*, TShiftState, int, int) {
  if (Label4->Font()->Color() != clRed) Label4->Font()->SetColor(clRed);
}

void TFormAbout::FormMouseMove(TObject*, TShiftState, int, int) {
  if (Label4->Font()->Color() != clBlue) Label4->Font()->SetColor(clBlue);
}

void TFormAbout::Button1Click(TObject*) { Close(); }

// Shown modally, the caller frees the window when the modal run ends: a
// release of its own as well would free it twice.
void TFormAbout::FormClose(TObject*, TCloseAction& action) {
  if (!FormState.Contains(fsModal)) action = caFree;
}
