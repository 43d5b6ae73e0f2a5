// A private system-type D-Bus bus with a stand-in of systemd's service manager on it
// (python3-dbusmock's "systemd" template, its unit methods replaced by testing/
// systemd_standin.py, which also starts the bus), for the length of one test. While it lives,
// DBUS_SYSTEM_BUS_ADDRESS names the bus, in this process and in the processes that it starts.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "testing/temp_folder.h"

namespace toverak {

class SystemdOnPrivateBus {
 public:
  // Starts the bus and the stand-in with `units`, each "SERVICE NAME=ACTIVESTATE[,FLAG...]" as
  // systemd_standin.py takes them (flags: masked, refuse-stop, deny, hang=SECONDS); throws when
  // either cannot be started.
  explicit SystemdOnPrivateBus(const std::vector<std::string>& units);
  SystemdOnPrivateBus(const SystemdOnPrivateBus&) = delete;
  SystemdOnPrivateBus& operator=(const SystemdOnPrivateBus&) = delete;
  // Stops the stand-in and the bus, and gives DBUS_SYSTEM_BUS_ADDRESS its earlier value back.
  ~SystemdOnPrivateBus();

  const std::string& address() const { return address_; }
  // The ActiveState of the unit of `service` on the bus; throws when there is no such unit.
  std::string ActiveState(const std::string& service) const;
  // What the bus daemon and the stand-in wrote, for a failing test's message.
  std::string Logs() const;

 private:
  void Start(const std::vector<std::string>& units);
  void Stop();

  TempFolder folder_;
  pid_t standin_ = -1;
  std::string address_;
  std::optional<std::string> previous_address_;
};

}  // namespace toverak
