// Program entry. The program takes no arguments.
#include "application/frame/Startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return NembraMain(); }
