// Keeps the prefix's virtual desktop up for a whole test run.
//
// Wine starts its desktop process (explorer /desktop) for the first program
// that needs the desktop and hands it that program's error output; a test
// program that did so would look unfinished to CTest until the desktop
// process ends, which is one second after the last program using the
// desktop has gone. The display fixture starts this program, with its
// output going nowhere, first: it makes the desktop and stays on it until
// the fixture ends the prefix's programs.
//   deskkeeper READYFILE
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (!GetDesktopWindow()) return 1;
  HWND wnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  if (!wnd) return 1;
  if (argc > 1)
    if (FILE* f = std::fopen(argv[1], "w")) std::fclose(f);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
