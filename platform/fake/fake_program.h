// A whole fake platform and the program state over it, for tests of the logic.
#pragma once

#include <string>

#include "platform/fake/fake_database.h"
#include "platform/fake/fake_host.h"
#include "platform/fake/fake_service_manager.h"
#include "platform/program.h"

namespace toverak {

struct FakeProgram {
  FakeHost host;
  FakeDatabase database;
  FakeServiceManager services;
  Program program{Env{host, database, services}, "/opt/narvel"};

  // The run log's whole text.
  std::string Log() { return host.files["/opt/narvel/Toverak.log"]; }
};

}  // namespace toverak
