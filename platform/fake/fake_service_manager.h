// An in-memory service manager for tests: scripted services, scripted failures with their error
// codes, and a record of every call with the handles it opened and closed.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/service_manager.h"

namespace toverak {

// Error codes that the fake gives, as the Windows manager numbers them.
namespace fake_scm {
constexpr int32_t kAccessDenied = 5;
constexpr int32_t kInvalidHandle = 6;
constexpr int32_t kServiceDoesNotExist = 1060;
}  // namespace fake_scm

// One installed service. A failure code of 0 lets that call succeed.
struct FakeService {
  int32_t state = scm::kStateStopped;
  // The bytes that the configuration needs, fixed record and strings together.
  uint32_t config_size = 172;
  // Opening the service with a given access right fails with the code.
  std::map<uint32_t, int32_t> open_errors;
  int32_t status_error = 0;
  // Every configuration query with a large enough buffer fails with this code.
  int32_t config_error = 0;
  int32_t start_error = 0;
  int32_t stop_error = 0;
};

class FakeServiceManager : public ServiceManager {
 public:
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

  // Also writes every call into `trace` (for instance FakeHost's, to see calls and pauses in
  // one order).
  void ShareTrace(std::vector<std::string>& trace) { shared_trace_ = &trace; }
  // The handles opened and not closed yet.
  size_t OpenHandles() const { return open_.size(); }

  // Scripted: the installed services by name, and the code with which OpenManager fails (0: it
  // succeeds).
  std::map<std::string, FakeService> services;
  int32_t manager_error = 0;

  // What the code did, one entry a call: "open manager 1 -> #1",
  // "open service Narvel Server 4 -> #2", "query status #2", "query config #2 size 36",
  // "start #2", "control #2 1", "close #2"; a failing call ends in " fails N".
  std::vector<std::string> calls;

 private:
  struct Opened {
    std::string name;  // empty for the manager handle
    uint32_t access = 0;
  };

  void Record(const std::string& call);
  bool Fail(const std::string& call, int32_t error);
  // The service behind an open service handle with `access`; null after recording the failure.
  FakeService* Reach(ServiceHandle handle, uint32_t access, const std::string& call);

  std::map<ServiceHandle, Opened> open_;
  ServiceHandle next_handle_ = 1;
  int32_t last_error_ = 0;
  std::vector<std::string>* shared_trace_ = nullptr;
};

}  // namespace toverak
