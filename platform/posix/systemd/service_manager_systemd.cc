// Each manager handle is a connection of its own to the system bus; a service handle shares its
// manager's connection (and keeps it open after the manager handle is closed, as the Windows
// manager lets a service handle outlive its manager handle) and holds the unit's name and the
// object path that systemd gave for it.
#include "platform/posix/systemd/service_manager_systemd.h"

#include <systemd/sd-bus.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/posix/posix_env.h"
#include "platform/posix/systemd/bus_error.h"
#include "platform/posix/systemd/unit_name.h"

namespace toverak {
namespace {

constexpr char kSystemd[] = "org.freedesktop.systemd1";
constexpr char kManagerPath[] = "/org/freedesktop/systemd1";
constexpr char kManagerInterface[] = "org.freedesktop.systemd1.Manager";
constexpr char kUnitInterface[] = "org.freedesktop.systemd1.Unit";

using Bus = std::shared_ptr<sd_bus>;

// The state code of a unit's ActiveState.
int32_t StateOfActiveState(const std::string& active_state) {
  if (active_state == "active" || active_state == "reloading") return scm::kStateRunning;
  if (active_state == "inactive" || active_state == "failed") return scm::kStateStopped;
  if (active_state == "activating") return scm::kStateStartPending;
  if (active_state == "deactivating") return scm::kStateStopPending;
  return 0;
}

// An sd_bus_error that frees itself.
struct BusError {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  ~BusError() { sd_bus_error_free(&error); }
  std::string Name() const { return error.name ? error.name : ""; }
};

// An sd_bus_message reference that drops itself.
struct Reply {
  sd_bus_message* message = nullptr;
  ~Reply() { sd_bus_message_unref(message); }
};

// Waits until the bus has answered the connection's greeting, at most `timeout`: sd-bus itself
// would wait up to its own authentication time-out of 90 seconds for a bus that does not answer.
int WaitUntilReady(sd_bus* bus, std::chrono::microseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const int ready = sd_bus_is_ready(bus);
    if (ready != 0) return std::min(ready, 0);
    const int processed = sd_bus_process(bus, nullptr);
    if (processed < 0) return processed;
    if (processed > 0) continue;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return -ETIMEDOUT;
    const int waited = sd_bus_wait(bus, uint64_t(left.count()));
    if (waited < 0) return waited;
  }
}

class SystemdServiceManager : public ServiceManager {
 public:
  explicit SystemdServiceManager(std::chrono::microseconds call_timeout)
      : call_timeout_(call_timeout) {}

  ServiceHandle OpenManager(uint32_t access) override;
  ServiceHandle OpenNamedService(ServiceHandle manager, const std::string& name,
                                 uint32_t access) override;
  bool QueryStatus(ServiceHandle service, ServiceStatusRecord& status) override;
  bool QueryConfig(ServiceHandle service, uint8_t* buffer, uint32_t size,
                   uint32_t& bytes_needed) override;
  bool Start(ServiceHandle service) override;
  bool Control(ServiceHandle service, uint32_t control, ServiceStatusRecord& status) override;
  void CloseServiceHandle(ServiceHandle handle) override;
  int32_t LastError() override { return last_error_; }

 private:
  struct Opened {
    Bus bus;
    uint32_t access = 0;
    std::string unit;  // empty for a manager handle
    std::string path;
  };

  // Always false, which is also the null handle.
  bool Fail(int32_t code) {
    last_error_ = code;
    return false;
  }
  bool FailCall(const BusError& error, int result) {
    return Fail(ErrorCodeOfBusFailure(error.Name(), result));
  }
  ServiceHandle Keep(Opened opened) {
    const ServiceHandle handle = next_handle_++;
    handles_[handle] = std::move(opened);
    return handle;
  }
  // The open service handle `handle` when it was opened with `access`; null after failing.
  const Opened* Reach(ServiceHandle handle, uint32_t access);
  // A string property of a unit; false after failing.
  bool UnitProperty(const Opened& unit, const char* property, std::string& value);
  // StartUnit or StopUnit of the handle's unit, mode "replace"; false after failing.
  bool QueueJob(const Opened& unit, const char* method);

  std::chrono::microseconds call_timeout_;
  std::map<ServiceHandle, Opened> handles_;
  ServiceHandle next_handle_ = 1;
  int32_t last_error_ = 0;
};

ServiceHandle SystemdServiceManager::OpenManager(uint32_t access) {
  sd_bus* raw = nullptr;
  const int opened = sd_bus_open_system(&raw);
  if (opened < 0) return Fail(ErrorCodeOfBusFailure("", opened));
  sd_bus_set_method_call_timeout(raw, uint64_t(call_timeout_.count()));
  // A bus that never answered is closed without the flush, which would wait for it again.
  const int greeted = WaitUntilReady(raw, call_timeout_);
  if (greeted < 0) {
    sd_bus_close_unref(raw);
    return Fail(ErrorCodeOfBusFailure("", greeted));
  }
  Bus bus(raw, sd_bus_flush_close_unref);

  // The manager is reachable when systemd owns its name on the bus.
  BusError error;
  Reply reply;
  const int asked = sd_bus_call_method(bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "GetNameOwner", &error.error,
                                       &reply.message, "s", kSystemd);
  if (asked < 0) return FailCall(error, asked);
  return Keep(Opened{std::move(bus), access, "", ""});
}

ServiceHandle SystemdServiceManager::OpenNamedService(ServiceHandle manager,
                                                      const std::string& name, uint32_t access) {
  const auto found = handles_.find(manager);
  if (found == handles_.end() || !found->second.unit.empty()) {
    return Fail(bus_error::kInvalidHandle);
  }
  if ((found->second.access & scm::kManagerConnect) == 0) return Fail(bus_error::kAccessDenied);
  Opened service{found->second.bus, access, ServiceUnitName(name), ""};

  BusError error;
  Reply reply;
  const int loaded =
      sd_bus_call_method(service.bus.get(), kSystemd, kManagerPath, kManagerInterface, "LoadUnit",
                         &error.error, &reply.message, "s", service.unit.c_str());
  if (loaded < 0) return FailCall(error, loaded);
  const char* path = nullptr;
  const int read = sd_bus_message_read(reply.message, "o", &path);
  if (read < 0) return Fail(ErrorCodeOfBusFailure("", read));
  service.path = path;

  std::string load_state;
  if (!UnitProperty(service, "LoadState", load_state)) return 0;
  if (load_state == "not-found") return Fail(bus_error::kServiceDoesNotExist);
  return Keep(std::move(service));
}

const SystemdServiceManager::Opened* SystemdServiceManager::Reach(ServiceHandle handle,
                                                                  uint32_t access) {
  const auto found = handles_.find(handle);
  if (found == handles_.end() || found->second.unit.empty()) {
    Fail(bus_error::kInvalidHandle);
    return nullptr;
  }
  if ((found->second.access & access) != access) {
    Fail(bus_error::kAccessDenied);
    return nullptr;
  }
  return &found->second;
}

bool SystemdServiceManager::UnitProperty(const Opened& unit, const char* property,
                                         std::string& value) {
  BusError error;
  char* text = nullptr;
  const int got = sd_bus_get_property_string(unit.bus.get(), kSystemd, unit.path.c_str(),
                                             kUnitInterface, property, &error.error, &text);
  if (got < 0) return FailCall(error, got);
  value = text;
  std::free(text);
  return true;
}

bool SystemdServiceManager::QueueJob(const Opened& unit, const char* method) {
  BusError error;
  Reply reply;
  const int queued =
      sd_bus_call_method(unit.bus.get(), kSystemd, kManagerPath, kManagerInterface, method,
                         &error.error, &reply.message, "ss", unit.unit.c_str(), "replace");
  return queued < 0 ? FailCall(error, queued) : true;
}

bool SystemdServiceManager::QueryStatus(ServiceHandle handle, ServiceStatusRecord& status) {
  const Opened* unit = Reach(handle, scm::kServiceQueryStatus);
  std::string active_state;
  if (!unit || !UnitProperty(*unit, "ActiveState", active_state)) return false;
  status.fill(0);
  status[1] = uint32_t(StateOfActiveState(active_state));
  return true;
}

// systemd keeps no configuration record: the one given is the fixed record, zeroed, with the
// unit's name and its terminating zero after it, so that the size needed depends on the unit as
// it does on Windows.
bool SystemdServiceManager::QueryConfig(ServiceHandle handle, uint8_t* buffer, uint32_t size,
                                        uint32_t& bytes_needed) {
  const Opened* unit = Reach(handle, scm::kServiceQueryConfig);
  std::string id;
  if (!unit || !UnitProperty(*unit, "Id", id)) return false;
  bytes_needed = uint32_t(scm::kConfigRecordSize + id.size() + 1);
  if (size < bytes_needed) return Fail(scm::kErrorInsufficientBuffer);
  std::fill_n(buffer, scm::kConfigRecordSize, uint8_t{0});
  std::memcpy(buffer + scm::kConfigRecordSize, id.c_str(), id.size() + 1);
  return true;
}

bool SystemdServiceManager::Start(ServiceHandle handle) {
  const Opened* unit = Reach(handle, scm::kServiceStart);
  return unit && QueueJob(*unit, "StartUnit");
}

bool SystemdServiceManager::Control(ServiceHandle handle, uint32_t control,
                                    ServiceStatusRecord& status) {
  if (control != scm::kControlStop) return Fail(bus_error::kInvalidServiceControl);
  const Opened* unit = Reach(handle, scm::kServiceStop);
  if (!unit || !QueueJob(*unit, "StopUnit")) return false;
  status.fill(0);
  status[1] = uint32_t(scm::kStateStopPending);
  return true;
}

void SystemdServiceManager::CloseServiceHandle(ServiceHandle handle) {
  if (handles_.erase(handle) == 0) Fail(bus_error::kInvalidHandle);
}

}  // namespace

std::unique_ptr<ServiceManager> NewSystemdServiceManager(std::chrono::microseconds call_timeout) {
  return std::make_unique<SystemdServiceManager>(call_timeout);
}

std::unique_ptr<ServiceManager> NewPosixServiceManager() {
  return NewSystemdServiceManager(kSystemdCallTimeout);
}

}  // namespace toverak
