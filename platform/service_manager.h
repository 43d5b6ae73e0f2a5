// The service manager, shaped like the calls that the service operations make of the
// Windows Service Control Manager. No call throws: failures are told by the result and by
// LastError, as the platform tells them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace toverak {

// A handle of the manager or of one service; 0 is the null handle.
using ServiceHandle = std::uintptr_t;

// The platform's SERVICE_STATUS: seven 32-bit fields; the second is the current state.
using ServiceStatusRecord = std::array<uint32_t, 7>;

namespace scm {
constexpr uint32_t kManagerConnect = 1;
constexpr uint32_t kServiceQueryConfig = 1;
constexpr uint32_t kServiceQueryStatus = 4;
constexpr uint32_t kServiceStart = 0x10;
constexpr uint32_t kServiceStop = 0x20;
constexpr uint32_t kControlStop = 1;
constexpr int32_t kStateStopped = 1;
constexpr int32_t kStateStartPending = 2;
constexpr int32_t kStateStopPending = 3;
constexpr int32_t kStateRunning = 4;
constexpr int32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kConfigRecordSize = 36;
}  // namespace scm

class ServiceManager {
 public:
  virtual ~ServiceManager() = default;
  // Connects to the manager of the local machine's default database with `access`; 0 on failure.
  virtual ServiceHandle OpenManager(uint32_t access) = 0;
  // Opens the service registered under `name` with one access right; 0 on failure.
  virtual ServiceHandle OpenNamedService(ServiceHandle manager, const std::string& name,
                                         uint32_t access) = 0;
  // Fills `status` with the service's status record; false on failure.
  virtual bool QueryStatus(ServiceHandle service, ServiceStatusRecord& status) = 0;
  // Writes the service's configuration into `buffer` of `size` bytes and the size it needs into
  // `bytes_needed`; false on failure, with error 122 when the buffer is too small.
  virtual bool QueryConfig(ServiceHandle service, uint8_t* buffer, uint32_t size,
                           uint32_t& bytes_needed) = 0;
  // Asks the manager to start the service with no arguments; true when it accepts the request.
  virtual bool Start(ServiceHandle service) = 0;
  // Sends `control` to the service and fills `status`; true when the manager accepts it.
  virtual bool Control(ServiceHandle service, uint32_t control, ServiceStatusRecord& status) = 0;
  // Closes a service or manager handle.
  virtual void CloseServiceHandle(ServiceHandle handle) = 0;
  // The error code that the latest failing call of this thread left; 0 after none.
  virtual int32_t LastError() = 0;
};

}  // namespace toverak
