// The platform as the program sees it: one object per interface.
#pragma once

#include "platform/database.h"
#include "platform/host.h"
#include "platform/service_manager.h"

namespace toverak {

struct Env {
  Host& host;
  Database& database;
  ServiceManager& services;
};

}  // namespace toverak
