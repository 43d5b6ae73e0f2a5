// An in-memory service manager for tests.
#pragma once

#include "platform/service_manager.h"

namespace toverak {

class FakeServiceManager : public ServiceManager {
 public:
  ServiceHandle OpenManager(uint32_t) override { return 0; }
  ServiceHandle OpenNamedService(ServiceHandle, const std::string&, uint32_t) override { return 0; }
  bool QueryStatus(ServiceHandle, ServiceStatusRecord&) override { return false; }
  bool QueryConfig(ServiceHandle, uint8_t*, uint32_t, uint32_t&) override { return false; }
  bool Start(ServiceHandle) override { return false; }
  bool Control(ServiceHandle, uint32_t, ServiceStatusRecord&) override { return false; }
  void CloseServiceHandle(ServiceHandle) override {}
  int32_t LastError() override { return 5; }
};

}  // namespace toverak
