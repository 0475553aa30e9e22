// The window shown while the program starts: the two pictures and the
// maker's notice on the program's blue.
#pragma once

#include "classlib/Extctrls.h"
#include "classlib/Stdctrls.h"

// The blue behind the pictures of the splash and about windows.
constexpr TColor clNembraBlue = 0x00804000;
// The maker's notice, shown under the pictures.
extern const char* const MakerNotice;

// Shows the program's JPEG resource (RCDATA) of that name in image;
// EResNotFound when the program has none, EJPEG when it is not readable.
void LoadPicture(TImage* image, const char* resource);

class TFormSplash : public TForm {
 public:
  explicit TFormSplash(TComponent* owner);

  TPanel* Panel1;
  TImage* Image1;  // the banner, 310 x 80
  TImage* Image2;  // the picture under it, 320 x 140
  TLabel* Label1;  // the maker's notice
};
