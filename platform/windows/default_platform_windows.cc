// The default platform of a Windows build.
#include "platform/env.h"
#include "platform/windows/windows_env.h"

namespace toverak {

DefaultPlatform NewDefaultPlatform(int, char**) {
  return DefaultPlatform{NewWindowsHost(), NewWindowsDatabase(), NewWindowsServiceManager()};
}

}  // namespace toverak
