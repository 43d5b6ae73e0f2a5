// The Service Control Manager through advapi32. Each failing call's error code is taken at once,
// so that the pauses between the calls of an operation cannot replace it.
#include <windows.h>

#include "platform/windows/windows_env.h"
#include "platform/windows/windows_text.h"

namespace toverak {
namespace {

SC_HANDLE ToScHandle(ServiceHandle handle) { return reinterpret_cast<SC_HANDLE>(handle); }

ServiceHandle FromScHandle(SC_HANDLE handle) { return reinterpret_cast<ServiceHandle>(handle); }

class WindowsServiceManager : public ServiceManager {
 public:
  ServiceHandle OpenManager(uint32_t access) override {
    return Checked(FromScHandle(OpenSCManagerA(nullptr, nullptr, access)));
  }

  ServiceHandle OpenNamedService(ServiceHandle manager, const std::string& name,
                                 uint32_t access) override {
    return Checked(
        FromScHandle(OpenServiceA(ToScHandle(manager), AnsiFromUtf8(name).c_str(), access)));
  }

  bool QueryStatus(ServiceHandle service, ServiceStatusRecord& status) override {
    static_assert(sizeof(SERVICE_STATUS) == sizeof(ServiceStatusRecord));
    SERVICE_STATUS record{};
    const bool done = Checked(QueryServiceStatus(ToScHandle(service), &record));
    if (done) Copy(record, status);
    return done;
  }

  bool QueryConfig(ServiceHandle service, uint8_t* buffer, uint32_t size,
                   uint32_t& bytes_needed) override {
    DWORD needed = 0;
    const bool done = Checked(QueryServiceConfigA(
        ToScHandle(service), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer), size, &needed));
    bytes_needed = needed;
    return done;
  }

  bool Start(ServiceHandle service) override {
    return Checked(StartServiceA(ToScHandle(service), 0, nullptr));
  }

  bool Control(ServiceHandle service, uint32_t control, ServiceStatusRecord& status) override {
    SERVICE_STATUS record{};
    const bool done = Checked(ControlService(ToScHandle(service), control, &record));
    Copy(record, status);
    return done;
  }

  void CloseServiceHandle(ServiceHandle handle) override {
    ::CloseServiceHandle(ToScHandle(handle));
  }

  int32_t LastError() override { return last_error_; }

 private:
  // Passes on a call's result, keeping the thread's error code when it tells a failure.
  template <class Result>
  Result Checked(Result result) {
    if (!result) last_error_ = int32_t(GetLastError());
    return result;
  }

  static void Copy(const SERVICE_STATUS& record, ServiceStatusRecord& status) {
    status = {record.dwServiceType,
              record.dwCurrentState,
              record.dwControlsAccepted,
              record.dwWin32ExitCode,
              record.dwServiceSpecificExitCode,
              record.dwCheckPoint,
              record.dwWaitHint};
  }

  int32_t last_error_ = 0;
};

}  // namespace

std::unique_ptr<ServiceManager> NewWindowsServiceManager() {
  return std::make_unique<WindowsServiceManager>();
}

}  // namespace toverak
