// The systemd unit that stands for a service of the product.
#pragma once

#include <string>

namespace toverak {

// The service name escaped as systemd escapes a string for a unit name (what systemd-escape
// prints: "/" becomes "-", a leading "." and every byte outside [A-Za-z0-9:_.] become "\xNN"),
// followed by ".service". "Narvel Server" gives "Narvel\x20Server.service".
std::string ServiceUnitName(const std::string& service_name);

}  // namespace toverak
