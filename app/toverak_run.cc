#include "app/toverak_run.h"

#include "driver/form_load.h"

namespace toverak {

void RunToverak(int argc, char** argv) {
  const DefaultPlatform platform = NewDefaultPlatform(argc, argv);
  Program program(platform.env());
  ProductRunSteps steps(program);
  Form_Load(program, steps);
}

}  // namespace toverak
