// The POSIX executable: the real platform, then the one entry of the program.
#include "driver/form_load.h"
#include "platform/posix/posix_env.h"

int main(int argc, char** argv) {
  using namespace toverak;
  std::unique_ptr<Host> host = NewPosixHost(argc, argv);
  std::unique_ptr<Database> database = NewPosixDatabase();
  std::unique_ptr<ServiceManager> services = NewPosixServiceManager();
  Program program{Env{*host, *database, *services}, {}, {}, {}, {}};
  ProductRunSteps steps(program);
  Form_Load(program, steps);
}
