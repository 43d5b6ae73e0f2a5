// The service operations: each one acts on the service named by program.CurrentServiceName,
// opens and closes its own handles of the service manager within the call, pauses for fixed
// times between its steps, and never raises or logs; failures come back as numbers.
#pragma once

#include <cstdint>

#include "platform/program.h"

namespace toverak {

// The service's current state code (1 stopped, 4 running, ...), or 0 when any step failed.
// Takes at least 600 ms.
int32_t GetServiceStatus(Program& program);

// 0 when the service's configuration can be read, so the service is installed; otherwise the
// error code of the failing step. Takes at least 600 ms.
int32_t ReadServiceConfig(Program& program);

// 0 when the manager accepts the request to start the service; otherwise the error code of the
// failing step. Does not wait for the service to run. Takes at least 1200 ms (600 ms when the
// manager cannot be opened).
int32_t StartCurrentService(Program& program);

// 0 when the manager accepts the stop control for the service; otherwise the error code of the
// failing step. Does not wait for the service to stop. Takes at least 1200 ms (600 ms when the
// manager cannot be opened).
int32_t StopCurrentService(Program& program);

}  // namespace toverak
