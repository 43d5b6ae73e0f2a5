// The default platform of a POSIX build.
#include "platform/env.h"
#include "platform/posix/posix_env.h"

namespace toverak {

DefaultPlatform NewDefaultPlatform(int argc, char** argv) {
  return DefaultPlatform{NewPosixHost(argc, argv), NewPosixDatabase(), NewPosixServiceManager()};
}

}  // namespace toverak
