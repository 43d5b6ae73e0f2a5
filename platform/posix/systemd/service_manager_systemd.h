// The service manager over systemd's D-Bus API, on the system bus (the one that
// DBUS_SYSTEM_BUS_ADDRESS names, else the default one).
#pragma once

#include <chrono>
#include <memory>

#include "platform/service_manager.h"

namespace toverak {

// The longest that one D-Bus method call may wait for its answer before it counts as timed out
// (error 1053); opening a service makes two calls, every other operation one.
constexpr std::chrono::seconds kSystemdCallTimeout{25};

// A manager whose method calls time out after `call_timeout`.
std::unique_ptr<ServiceManager> NewSystemdServiceManager(std::chrono::microseconds call_timeout);

}  // namespace toverak
