#include "platform/fake/fake_service_manager.h"

#include <algorithm>

namespace toverak {
namespace {

std::string HandleText(ServiceHandle handle) {
  std::string text = "#";
  return text.append(std::to_string(handle));
}

}  // namespace

void FakeServiceManager::Record(const std::string& call) {
  calls.push_back(call);
  if (shared_trace_) shared_trace_->push_back(call);
}

bool FakeServiceManager::Fail(const std::string& call, int32_t error) {
  Record(call + " fails " + std::to_string(error));
  last_error_ = error;
  return false;
}

FakeService* FakeServiceManager::Reach(ServiceHandle handle, uint32_t access,
                                       const std::string& call) {
  const auto opened = open_.find(handle);
  if (opened == open_.end() || opened->second.name.empty()) {
    Fail(call, fake_scm::kInvalidHandle);
    return nullptr;
  }
  if ((opened->second.access & access) != access) {
    Fail(call, fake_scm::kAccessDenied);
    return nullptr;
  }
  return &services.at(opened->second.name);
}

ServiceHandle FakeServiceManager::OpenManager(uint32_t access) {
  const std::string call = "open manager " + std::to_string(access);
  if (manager_error != 0) return Fail(call, manager_error);
  const ServiceHandle handle = next_handle_++;
  open_[handle] = Opened{"", access};
  Record(call + " -> " + HandleText(handle));
  return handle;
}

ServiceHandle FakeServiceManager::OpenNamedService(ServiceHandle manager, const std::string& name,
                                                   uint32_t access) {
  const std::string call = "open service " + name + " " + std::to_string(access);
  const auto opened = open_.find(manager);
  if (opened == open_.end() || !opened->second.name.empty()) {
    return Fail(call, fake_scm::kInvalidHandle);
  }
  const auto service = services.find(name);
  if (service == services.end()) return Fail(call, fake_scm::kServiceDoesNotExist);
  const auto error = service->second.open_errors.find(access);
  if (error != service->second.open_errors.end()) return Fail(call, error->second);
  const ServiceHandle handle = next_handle_++;
  open_[handle] = Opened{name, access};
  Record(call + " -> " + HandleText(handle));
  return handle;
}

bool FakeServiceManager::QueryStatus(ServiceHandle handle, ServiceStatusRecord& status) {
  const std::string call = "query status " + HandleText(handle);
  FakeService* service = Reach(handle, scm::kServiceQueryStatus, call);
  if (!service) return false;
  if (service->status_error != 0) return Fail(call, service->status_error);
  status.fill(0);
  status[1] = uint32_t(service->state);
  Record(call);
  return true;
}

bool FakeServiceManager::QueryConfig(ServiceHandle handle, uint8_t* buffer, uint32_t size,
                                     uint32_t& bytes_needed) {
  const std::string call = "query config " + HandleText(handle) + " size " + std::to_string(size);
  FakeService* service = Reach(handle, scm::kServiceQueryConfig, call);
  if (!service) return false;
  bytes_needed = service->config_size;
  if (size < service->config_size) return Fail(call, scm::kErrorInsufficientBuffer);
  if (service->config_error != 0) return Fail(call, service->config_error);
  // Every byte that the configuration needs is written, so a short buffer shows in a sanitizer.
  std::fill_n(buffer, service->config_size, uint8_t{0xC5});
  Record(call);
  return true;
}

bool FakeServiceManager::Start(ServiceHandle handle) {
  const std::string call = "start " + HandleText(handle);
  FakeService* service = Reach(handle, scm::kServiceStart, call);
  if (!service) return false;
  if (service->start_error != 0) return Fail(call, service->start_error);
  service->state = scm::kStateRunning;
  Record(call);
  return true;
}

bool FakeServiceManager::Control(ServiceHandle handle, uint32_t control,
                                 ServiceStatusRecord& status) {
  const std::string call = "control " + HandleText(handle) + " " + std::to_string(control);
  FakeService* service = Reach(handle, scm::kServiceStop, call);
  if (!service) return false;
  if (service->stop_error != 0) return Fail(call, service->stop_error);
  service->state = scm::kStateStopped;
  status.fill(0);
  status[1] = uint32_t(service->state);
  Record(call);
  return true;
}

void FakeServiceManager::CloseServiceHandle(ServiceHandle handle) {
  const std::string call = "close " + HandleText(handle);
  if (open_.erase(handle) == 0) {
    Fail(call, fake_scm::kInvalidHandle);
    return;
  }
  Record(call);
}

}  // namespace toverak
