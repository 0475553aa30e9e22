#include "Splash.h"

#include "classlib/Jpeg.h"

const char* const MakerNotice = "Copyright \xA9 Quellmark. All rights reserved.";

void LoadPicture(TImage* image, const char* resource) {
  TJPEGImage jpeg;
  jpeg.LoadFromResourceName(GetModuleHandleA(nullptr), resource);
  image->Picture()->SetGraphic(&jpeg);
}

TFormSplash::TFormSplash(TComponent* owner) : TForm(owner) {
  SetName("FormSplash");
  SetBorderStyle(bsNone);
  SetPosition(poDesktopCenter);
  SetClientWidth(406);
  SetClientHeight(243);

  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetAlign(alClient);
  Panel1->SetBevelInner(bvRaised);
  Panel1->SetCaption("");

  Image1 = new TImage(this);
  Image1->SetName("Image1");
  Image1->SetParent(Panel1);
  Image1->SetBounds(48, 6, 310, 80);
  LoadPicture(Image1, "SPLASHTOP");

  Image2 = new TImage(this);
  Image2->SetName("Image2");
  Image2->SetParent(Panel1);
  Image2->SetBounds(43, 88, 320, 140);
  LoadPicture(Image2, "SPLASHPICTURE");

  Label1 = new TLabel(this);
  Label1->SetName("Label1");
  Label1->SetParent(Panel1);
  Label1->SetAutoSize(false);
  Label1->SetAlignment(taRightJustify);
  Label1->SetTransparent(true);
  Label1->SetBounds(100, 228, 300, 13);
  Label1->Font()->SetColor(clWhite);
  Label1->SetCaption(MakerNotice);

  // The program's blue, behind the pictures.
  SetColor(clNembraBlue);
  Panel1->SetColor(clNembraBlue);
  EndLoading();
}
