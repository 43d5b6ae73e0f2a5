// The program-wide state of one run: the platform and the texts that the modules share.
#pragma once

#include <string>
#include <utility>

#include "platform/env.h"

namespace toverak {

struct Program {
  explicit Program(Env platform, std::string app_path = {})
      : env(platform), AppPath(std::move(app_path)) {}

  Env env;
  // The folder of the executable, without a trailing separator; set once at the start.
  std::string AppPath;
  // The connection strings of the product's Access file and of the live database.
  std::string LocalDbConnString;
  std::string TargetConnString;
  // The service that the service operations act on; set by the stop and start sequences.
  std::string CurrentServiceName;
};

}  // namespace toverak
