// Program entry. The program takes no arguments.
#include "application/Startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return NembraMain(); }
