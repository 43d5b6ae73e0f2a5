#include "services/service_control.h"

#include <limits>
#include <vector>

#include "runlog/run_log.h"

namespace toverak {
namespace {

// The configuration query, first into one fixed record and, when that is too small, into as
// many whole records as hold the bytes needed (one more on an exact multiple).
int32_t QueryConfiguration(ServiceManager& manager, ServiceHandle service) {
  std::vector<uint8_t> buffer(scm::kConfigRecordSize);
  uint32_t bytes_needed = 0;
  if (manager.QueryConfig(service, buffer.data(), uint32_t(buffer.size()), bytes_needed)) return 0;
  const int32_t error = manager.LastError();
  if (error != scm::kErrorInsufficientBuffer) return error;

  // In 64 bits, so that an absurd answer cannot wrap round to a small buffer.
  const uint64_t records = uint64_t{bytes_needed} / scm::kConfigRecordSize + 1;
  const uint64_t size = records * scm::kConfigRecordSize;
  if (size > std::numeric_limits<uint32_t>::max()) return scm::kErrorInsufficientBuffer;
  buffer.assign(size, 0);
  if (manager.QueryConfig(service, buffer.data(), uint32_t(size), bytes_needed)) return 0;
  return manager.LastError();
}

// The start request or the stop control on an open service handle; 0 when it is accepted.
using Request = int32_t (*)(ServiceManager& manager, ServiceHandle service);

int32_t RequestStart(ServiceManager& manager, ServiceHandle service) {
  return manager.Start(service) ? 0 : manager.LastError();
}

int32_t RequestStop(ServiceManager& manager, ServiceHandle service) {
  ServiceStatusRecord status{};
  return manager.Control(service, scm::kControlStop, status) ? 0 : manager.LastError();
}

// The steps that the start and the stop share: the manager, the service with `access`, the
// request, each handle closed and every pause in its place.
int32_t RequestOfCurrentService(Program& program, uint32_t access, Request request) {
  ServiceManager& manager = program.env.services;
  Host& host = program.env.host;
  int32_t result = 0;
  const ServiceHandle scm_handle = manager.OpenManager(scm::kManagerConnect);
  PauseWithEvents(host, 300);
  if (scm_handle == 0) {
    result = manager.LastError();
  } else {
    const ServiceHandle service =
        manager.OpenNamedService(scm_handle, program.CurrentServiceName, access);
    PauseWithEvents(host, 300);
    if (service == 0) {
      result = manager.LastError();
    } else {
      result = request(manager, service);
      manager.CloseServiceHandle(service);
    }
    PauseWithEvents(host, 300);
    manager.CloseServiceHandle(scm_handle);
  }
  PauseWithEvents(host, 300);
  return result;
}

}  // namespace

int32_t GetServiceStatus(Program& program) {
  ServiceManager& manager = program.env.services;
  int32_t state = 0;
  const ServiceHandle scm_handle = manager.OpenManager(scm::kManagerConnect);
  PauseWithEvents(program.env.host, 300);
  if (scm_handle != 0) {
    const ServiceHandle service =
        manager.OpenNamedService(scm_handle, program.CurrentServiceName, scm::kServiceQueryStatus);
    if (service != 0) {
      ServiceStatusRecord status{};
      if (manager.QueryStatus(service, status)) state = int32_t(status[1]);
      manager.CloseServiceHandle(service);
    }
    manager.CloseServiceHandle(scm_handle);
  }
  PauseWithEvents(program.env.host, 300);
  return state;
}

int32_t ReadServiceConfig(Program& program) {
  ServiceManager& manager = program.env.services;
  int32_t result = 0;
  const ServiceHandle scm_handle = manager.OpenManager(scm::kManagerConnect);
  PauseWithEvents(program.env.host, 300);
  if (scm_handle == 0) {
    result = manager.LastError();
  } else {
    const ServiceHandle service =
        manager.OpenNamedService(scm_handle, program.CurrentServiceName, scm::kServiceQueryConfig);
    if (service == 0) {
      result = manager.LastError();
    } else {
      result = QueryConfiguration(manager, service);
      manager.CloseServiceHandle(service);
    }
    manager.CloseServiceHandle(scm_handle);
  }
  PauseWithEvents(program.env.host, 300);
  return result;
}

int32_t StartCurrentService(Program& program) {
  return RequestOfCurrentService(program, scm::kServiceStart, RequestStart);
}

int32_t StopCurrentService(Program& program) {
  return RequestOfCurrentService(program, scm::kServiceStop, RequestStop);
}

}  // namespace toverak
