// The Windows executable: a GUI program that never shows a window.
#include <windows.h>

#include <stdlib.h>

#include "app/toverak_run.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  toverak::RunToverak(__argc, __argv);
  return 0;
}
