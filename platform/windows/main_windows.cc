// The Windows executable: a GUI program without a window; the real platform, then the one entry
// of the program, which ends the process.
#include <windows.h>

#include "driver/form_load.h"
#include "platform/windows/windows_env.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace toverak;
  std::unique_ptr<Host> host = NewWindowsHost();
  std::unique_ptr<Database> database = NewWindowsDatabase();
  std::unique_ptr<ServiceManager> services = NewWindowsServiceManager();
  Program program{Env{*host, *database, *services}, {}, {}, {}, {}};
  ProductRunSteps steps(program);
  Form_Load(program, steps);
  return 0;
}
