// The real POSIX implementations of the platform interfaces.
#pragma once

#include <memory>

#include "platform/database.h"
#include "platform/host.h"
#include "platform/service_manager.h"

namespace toverak {

// The host of this process, with its arguments after the program name.
std::unique_ptr<Host> NewPosixHost(int argc, char** argv);
// Access files through libmdb, every other database through unixODBC.
std::unique_ptr<Database> NewPosixDatabase();
// systemd over the system D-Bus bus.
std::unique_ptr<ServiceManager> NewPosixServiceManager();

}  // namespace toverak
