// The advapi32 service manager against the system's real Service Control Manager, with the
// minimal test service registered for each test.
#include <gtest/gtest.h>

#include <vector>

#include "platform/windows/windows_env.h"
#include "testing/windows/test_support.h"

namespace toverak {
namespace {

constexpr char kName[] = "Toverak Test Service";

class WindowsServiceManagerTest : public ::testing::Test {
 protected:
  // Opens the manager and the test service with `access`; the handles are closed at the end.
  ServiceHandle Open(uint32_t access) {
    manager_handle_ = services_->OpenManager(scm::kManagerConnect);
    EXPECT_NE(manager_handle_, 0u) << services_->LastError();
    service_handle_ = services_->OpenNamedService(manager_handle_, kName, access);
    EXPECT_NE(service_handle_, 0u) << services_->LastError();
    return service_handle_;
  }

  void TearDown() override {
    if (service_handle_) services_->CloseServiceHandle(service_handle_);
    if (manager_handle_) services_->CloseServiceHandle(manager_handle_);
  }

  std::unique_ptr<ServiceManager> services_ = NewWindowsServiceManager();
  ServiceHandle manager_handle_ = 0;
  ServiceHandle service_handle_ = 0;
};

TEST_F(WindowsServiceManagerTest, MissingServiceKeepsItsErrorCodeAcrossLaterCalls) {
  manager_handle_ = services_->OpenManager(scm::kManagerConnect);
  ASSERT_NE(manager_handle_, 0u);
  EXPECT_EQ(services_->OpenNamedService(manager_handle_, "Toverak No Such Service",
                                        scm::kServiceQueryConfig),
            0u);
  // The operations pause between the failing call and reading its code.
  SetLastError(0);
  Sleep(10);
  EXPECT_EQ(services_->LastError(), 1060);  // ERROR_SERVICE_DOES_NOT_EXIST
}

TEST_F(WindowsServiceManagerTest, ConfigurationQueryNeedsMoreThanOneRecord) {
  const TestService service(kName, ServiceBehaviour::kStops);
  const ServiceHandle handle = Open(scm::kServiceQueryConfig);
  std::vector<uint8_t> buffer(scm::kConfigRecordSize);
  uint32_t needed = 0;
  EXPECT_FALSE(services_->QueryConfig(handle, buffer.data(), uint32_t(buffer.size()), needed));
  EXPECT_EQ(services_->LastError(), scm::kErrorInsufficientBuffer);
  EXPECT_GT(needed, scm::kConfigRecordSize);
  buffer.resize(needed);
  EXPECT_TRUE(services_->QueryConfig(handle, buffer.data(), needed, needed));
}

TEST_F(WindowsServiceManagerTest, StartsAndStopsAServiceAndRefusesRepeats) {
  TestService service(kName, ServiceBehaviour::kStops);
  const ServiceHandle handle =
      Open(scm::kServiceStart | scm::kServiceStop | scm::kServiceQueryStatus);
  ServiceStatusRecord status{};
  ASSERT_TRUE(services_->QueryStatus(handle, status));
  EXPECT_EQ(int32_t(status[1]), scm::kStateStopped);

  ASSERT_TRUE(services_->Start(handle));
  ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING));
  ASSERT_TRUE(services_->QueryStatus(handle, status));
  EXPECT_EQ(int32_t(status[1]), scm::kStateRunning);
  EXPECT_FALSE(services_->Start(handle));
  EXPECT_EQ(services_->LastError(), 1056);  // ERROR_SERVICE_ALREADY_RUNNING

  ASSERT_TRUE(services_->Control(handle, scm::kControlStop, status));
  ASSERT_TRUE(service.WaitForState(SERVICE_STOPPED));
  EXPECT_FALSE(services_->Control(handle, scm::kControlStop, status));
  EXPECT_EQ(services_->LastError(), 1062);  // ERROR_SERVICE_NOT_ACTIVE
}

TEST_F(WindowsServiceManagerTest, ServiceThatRefusesTheStopControl) {
  TestService service(kName, ServiceBehaviour::kRefusesStop);
  service.StartAndWait();
  ServiceStatusRecord status{};
  EXPECT_FALSE(services_->Control(Open(scm::kServiceStop), scm::kControlStop, status));
  EXPECT_EQ(services_->LastError(), 1052);  // ERROR_INVALID_SERVICE_CONTROL
}

TEST_F(WindowsServiceManagerTest, DisabledServiceRefusesToStart) {
  const TestService service(kName, ServiceBehaviour::kDisabled);
  EXPECT_FALSE(services_->Start(Open(scm::kServiceStart)));
  EXPECT_EQ(services_->LastError(), 1058);  // ERROR_SERVICE_DISABLED
}

TEST_F(WindowsServiceManagerTest, ServiceOpenedWithoutTheRightIsRefused) {
  const TestService service(kName, ServiceBehaviour::kStops);
  EXPECT_FALSE(services_->Start(Open(scm::kServiceQueryStatus)));
  EXPECT_EQ(services_->LastError(), 5);  // ERROR_ACCESS_DENIED
}

}  // namespace
}  // namespace toverak
