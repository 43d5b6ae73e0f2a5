// Placeholder until the systemd service manager lands: the manager cannot be reached.
#include "platform/posix/posix_env.h"

namespace toverak {
namespace {

class UnbuiltServiceManager : public ServiceManager {
 public:
  ServiceHandle OpenManager(uint32_t) override { return 0; }
  ServiceHandle OpenNamedService(ServiceHandle, const std::string&, uint32_t) override { return 0; }
  bool QueryStatus(ServiceHandle, ServiceStatusRecord&) override { return false; }
  bool QueryConfig(ServiceHandle, uint8_t*, uint32_t, uint32_t&) override { return false; }
  bool Start(ServiceHandle) override { return false; }
  bool Control(ServiceHandle, uint32_t, ServiceStatusRecord&) override { return false; }
  void CloseServiceHandle(ServiceHandle) override {}
  int32_t LastError() override { return 1722; }
};

}  // namespace

std::unique_ptr<ServiceManager> NewPosixServiceManager() {
  return std::make_unique<UnbuiltServiceManager>();
}

}  // namespace toverak
