// Program entry.
#include "classlib/Forms.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Application->Title = "Nembra3";
  return 0;
}
