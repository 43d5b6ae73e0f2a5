// The platform as the program sees it: one object per interface.
#pragma once

#include <memory>

#include "platform/database.h"
#include "platform/host.h"
#include "platform/service_manager.h"

namespace toverak {

struct Env {
  Host& host;
  Database& database;
  ServiceManager& services;
};

// The real objects of the platform that this build is for, owned together.
struct DefaultPlatform {
  std::unique_ptr<Host> host;
  std::unique_ptr<Database> database;
  std::unique_ptr<ServiceManager> services;

  Env env() const { return Env{*host, *database, *services}; }
};

// Makes the real host, database objects and service manager of this build's platform; `argc`
// and `argv` are main's (the Windows host reads the process's own command line instead).
DefaultPlatform NewDefaultPlatform(int argc, char** argv);

}  // namespace toverak
