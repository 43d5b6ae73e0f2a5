#include "platform/posix/systemd/service_manager_systemd.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_database.h"
#include "platform/fake/fake_host.h"
#include "platform/posix/systemd/bus_error.h"
#include "services/product_services.h"
#include "testing/dbus_systemd.h"
#include "testing/service_log.h"

namespace toverak {
namespace {

// One open service of the manager, both handles closed at the end.
class OpenedService {
 public:
  OpenedService(ServiceManager& manager, const std::string& name, uint32_t access)
      : manager_(manager),
        scm_(manager.OpenManager(scm::kManagerConnect)),
        service_(scm_ ? manager.OpenNamedService(scm_, name, access) : 0),
        open_error_(service_ ? 0 : manager.LastError()) {}
  ~OpenedService() {
    if (service_) manager_.CloseServiceHandle(service_);
    if (scm_) manager_.CloseServiceHandle(scm_);
  }
  ServiceHandle handle() const { return service_; }
  int32_t open_error() const { return open_error_; }

 private:
  ServiceManager& manager_;
  ServiceHandle scm_;
  ServiceHandle service_;
  int32_t open_error_;
};

std::unique_ptr<ServiceManager> Manager() { return NewSystemdServiceManager(kSystemdCallTimeout); }

TEST(SystemdServiceManager, StateCodesFollowTheActiveState) {
  SystemdOnPrivateBus bus({"active=active", "reloading=reloading", "inactive=inactive",
                           "failed=failed", "activating=activating", "deactivating=deactivating",
                           "refreshing=refreshing"});
  const std::unique_ptr<ServiceManager> manager = Manager();
  struct Case {
    const char* name;
    uint32_t state;
  };
  for (const Case c :
       {Case{"active", 4}, Case{"reloading", 4}, Case{"inactive", 1}, Case{"failed", 1},
        Case{"activating", 2}, Case{"deactivating", 3}, Case{"refreshing", 0}}) {
    OpenedService service(*manager, c.name, scm::kServiceQueryStatus);
    ServiceStatusRecord status{};
    ASSERT_TRUE(manager->QueryStatus(service.handle(), status)) << c.name << bus.Logs();
    EXPECT_EQ(status[1], c.state) << c.name;
  }
}

TEST(SystemdServiceManager, AMissingUnitIsNotInstalled) {
  SystemdOnPrivateBus bus({"Narvel Server=active"});
  const std::unique_ptr<ServiceManager> manager = Manager();
  EXPECT_EQ(OpenedService(*manager, "Narvel Missing", scm::kServiceQueryConfig).open_error(),
            bus_error::kServiceDoesNotExist);
  EXPECT_NE(OpenedService(*manager, kServer, scm::kServiceQueryConfig).handle(), 0u);
}

TEST(SystemdServiceManager, ConfigNeedsTheRecordAndTheUnitName) {
  SystemdOnPrivateBus bus({"Narvel Server=active"});
  const std::unique_ptr<ServiceManager> manager = Manager();
  OpenedService service(*manager, kServer, scm::kServiceQueryConfig);
  std::vector<uint8_t> buffer(36);
  uint32_t needed = 0;
  EXPECT_FALSE(manager->QueryConfig(service.handle(), buffer.data(), 36, needed));
  EXPECT_EQ(manager->LastError(), scm::kErrorInsufficientBuffer);
  const std::string unit = "Narvel\\x20Server.service";
  EXPECT_EQ(needed, 36 + unit.size() + 1);
  buffer.resize(72);
  EXPECT_TRUE(manager->QueryConfig(service.handle(), buffer.data(), 72, needed));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data()) + 36), unit);
}

TEST(SystemdServiceManager, AHandleServesOnlyTheRightItWasOpenedWith) {
  SystemdOnPrivateBus bus({"Narvel Server=active"});
  const std::unique_ptr<ServiceManager> manager = Manager();
  OpenedService service(*manager, kServer, scm::kServiceQueryConfig);
  ServiceStatusRecord status{};
  EXPECT_FALSE(manager->QueryStatus(service.handle(), status));
  EXPECT_EQ(manager->LastError(), bus_error::kAccessDenied);
  EXPECT_FALSE(manager->Start(service.handle()));
  EXPECT_EQ(manager->LastError(), bus_error::kAccessDenied);
  EXPECT_FALSE(manager->Start(service.handle() + 100));
  EXPECT_EQ(manager->LastError(), bus_error::kInvalidHandle);
  EXPECT_EQ(bus.ActiveState(kServer), "active");
}

TEST(SystemdServiceManager, RefusedRequestsGiveTheirCodes) {
  SystemdOnPrivateBus bus(
      {"masked=inactive,masked", "refusing=active,refuse-stop", "denied=active,deny"});
  const std::unique_ptr<ServiceManager> manager = Manager();
  ServiceStatusRecord status{};
  {
    OpenedService service(*manager, "masked", scm::kServiceStart);
    EXPECT_FALSE(manager->Start(service.handle()));
    EXPECT_EQ(manager->LastError(), bus_error::kServiceDisabled);
  }
  {
    OpenedService service(*manager, "refusing", scm::kServiceStop);
    EXPECT_FALSE(manager->Control(service.handle(), scm::kControlStop, status));
    EXPECT_EQ(manager->LastError(), bus_error::kInvalidServiceControl);
  }
  {
    OpenedService service(*manager, "denied", scm::kServiceStop);
    EXPECT_FALSE(manager->Control(service.handle(), scm::kControlStop, status));
    EXPECT_EQ(manager->LastError(), bus_error::kAccessDenied);
  }
  EXPECT_EQ(bus.ActiveState("masked"), "inactive");
  EXPECT_EQ(bus.ActiveState("refusing"), "active");
  EXPECT_EQ(bus.ActiveState("denied"), "active");
}

TEST(SystemdServiceManager, ACallWithoutAnAnswerTimesOut) {
  SystemdOnPrivateBus bus({"slow=inactive,hang=3"});
  const std::unique_ptr<ServiceManager> manager =
      NewSystemdServiceManager(std::chrono::milliseconds(300));
  OpenedService service(*manager, "slow", scm::kServiceStart);
  const auto before = std::chrono::steady_clock::now();
  EXPECT_FALSE(manager->Start(service.handle()));
  EXPECT_EQ(manager->LastError(), bus_error::kRequestTimeout);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
}

TEST(SystemdServiceManager, AnUnreachableBusCannotBeOpened) {
  TempFolder folder;
  setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (folder.path() / "none").string()).c_str(), 1);
  const std::unique_ptr<ServiceManager> manager = Manager();
  EXPECT_EQ(manager->OpenManager(scm::kManagerConnect), 0u);
  EXPECT_EQ(manager->LastError(), bus_error::kServerUnavailable);
  unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

// The product's sequences over systemd on a private bus, with a fake host so that the pauses
// take no time.
class ProductUnitsTest : public testing::Test {
 protected:
  ProductUnitsTest() : manager_(Manager()) {}

  int16_t Stop() {
    int16_t done = 9;
    StopProductServices(program_, done);
    return done;
  }
  int16_t Start() {
    int16_t done = 9;
    StartProductServices(program_, done);
    return done;
  }
  std::string Log() { return MaskTimes(host_.files["/opt/narvel/Toverak.log"]); }

  FakeHost host_;
  FakeDatabase database_;
  std::unique_ptr<ServiceManager> manager_;
  Program program_{Env{host_, database_, *manager_}, "/opt/narvel"};
};

TEST_F(ProductUnitsTest, AllRunningAreStoppedAndStartedAgain) {
  SystemdOnPrivateBus bus(
      {"Narvel Server=active", "Narvel Poller=active", "Narvel Discovery Agent=active"});
  EXPECT_EQ(Stop(), 3) << bus.Logs();
  EXPECT_EQ(Log(), StopOfThreeRunning());
  for (const char* name : {kAgent, kPoller, kServer}) EXPECT_EQ(bus.ActiveState(name), "inactive");

  host_.files.clear();
  EXPECT_EQ(Start(), 3);
  EXPECT_EQ(Log(), StartOfThreeStopped());
  for (const char* name : {kAgent, kPoller, kServer}) EXPECT_EQ(bus.ActiveState(name), "active");
}

TEST_F(ProductUnitsTest, AMissingUnitIsNotInstalledAndNotCounted) {
  SystemdOnPrivateBus bus({"Narvel Server=active", "Narvel Discovery Agent=inactive"});
  EXPECT_EQ(Stop(), 2);
  EXPECT_EQ(Log(), Turn(kAgent, "Service is stopped", "Service is stopped") +
                       Turn(kPoller, "Service not installed", "") +
                       Turn(kServer, "Service is started",
                            "Attempting to stop the Main service...\r\nService stopped"));
  EXPECT_EQ(bus.ActiveState(kServer), "inactive");
  EXPECT_EQ(bus.ActiveState(kAgent), "inactive");
}

TEST_F(ProductUnitsTest, AUnitThatRefusesToStopKeepsRunning) {
  SystemdOnPrivateBus bus({"Narvel Server=active", "Narvel Poller=active,refuse-stop",
                           "Narvel Discovery Agent=active"});
  EXPECT_EQ(Stop(), 2);
  EXPECT_EQ(Log(), Turn(kAgent, "Service is started",
                        "Attempting to stop the Discovery service...\r\nService stopped") +
                       Turn(kPoller, "Service is started",
                            "Attempting to stop the Poll service...\r\n"
                            "Error [1052]  when stop the service") +
                       Turn(kServer, "Service is started",
                            "Attempting to stop the Main service...\r\nService stopped"));
  EXPECT_EQ(bus.ActiveState(kAgent), "inactive");
  EXPECT_EQ(bus.ActiveState(kPoller), "active");
  EXPECT_EQ(bus.ActiveState(kServer), "inactive");
}

TEST_F(ProductUnitsTest, AnActivatingUnitGetsNoRequest) {
  SystemdOnPrivateBus bus(
      {"Narvel Server=inactive", "Narvel Poller=inactive", "Narvel Discovery Agent=activating"});
  EXPECT_EQ(Stop(), 2);
  EXPECT_EQ(Log(), Turn(kAgent, "Service is installed. Status unknown", "") +
                       Turn(kPoller, "Service is stopped", "Service is stopped") +
                       Turn(kServer, "Service is stopped", "Service is stopped"));
  EXPECT_EQ(bus.ActiveState(kAgent), "activating");
}

}  // namespace
}  // namespace toverak
