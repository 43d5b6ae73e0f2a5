// The real Windows implementations of the platform interfaces.
#pragma once

#include <memory>

#include "platform/database.h"
#include "platform/host.h"
#include "platform/service_manager.h"

namespace toverak {

// The host of this process: its command line, module file, files, clock and message queue.
std::unique_ptr<Host> NewWindowsHost();
// ADO over COM; COM is initialised for the thread while the object lives, so every database
// object must be released before it.
std::unique_ptr<Database> NewWindowsDatabase();
// The Service Control Manager through advapi32.
std::unique_ptr<ServiceManager> NewWindowsServiceManager();

}  // namespace toverak
