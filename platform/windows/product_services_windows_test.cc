// The stop and start sequences against the system's real Service Control Manager, with the
// minimal test service registered under the product's three service names. The pauses are
// real, so each sequence takes its documented time (about 20 seconds).
#include <gtest/gtest.h>

#include "platform/fake/fake_database.h"
#include "platform/windows/windows_env.h"
#include "services/product_services.h"
#include "testing/service_log.h"
#include "testing/temp_folder.h"
#include "testing/windows/test_support.h"

namespace toverak {
namespace {

class ProductServicesOnWindowsTest : public ::testing::Test {
 protected:
  std::string Log() { return MaskTimes(ReadWholeFile(folder_ / "Toverak.log")); }

  TempFolder folder_;
  std::unique_ptr<Host> host_ = NewWindowsHost();
  std::unique_ptr<ServiceManager> services_ = NewWindowsServiceManager();
  FakeDatabase database_;
  Program program_{Env{*host_, database_, *services_}, folder_.path().string()};
};

TEST_F(ProductServicesOnWindowsTest, StopSequenceOverRunningMissingAndRefusingServices) {
  TestService agent(kAgent, ServiceBehaviour::kStops);
  TestService server(kServer, ServiceBehaviour::kRefusesStop);
  agent.StartAndWait();
  server.StartAndWait();

  int16_t ServicesDone = 7;
  StopProductServices(program_, ServicesDone);

  EXPECT_EQ(ServicesDone, 1);
  EXPECT_TRUE(agent.WaitForState(SERVICE_STOPPED));
  EXPECT_EQ(Log(), Turn(kAgent, "Service is started",
                        "Attempting to stop the Discovery service...\r\nService stopped") +
                       Turn(kPoller, "Service not installed", "") +
                       Turn(kServer, "Service is started",
                            "Attempting to stop the Main service...\r\n"
                            "Error [1052]  when stop the service"));
}

TEST_F(ProductServicesOnWindowsTest, StartSequenceOverRunningRefusingAndStoppedServices) {
  TestService server(kServer, ServiceBehaviour::kStops);
  TestService poller(kPoller, ServiceBehaviour::kDisabled);
  TestService agent(kAgent, ServiceBehaviour::kStops);
  server.StartAndWait();

  int16_t ServicesDone = 7;
  StartProductServices(program_, ServicesDone);

  EXPECT_EQ(ServicesDone, 2);
  EXPECT_TRUE(agent.WaitForState(SERVICE_RUNNING));
  EXPECT_EQ(Log(), Turn(kServer, "Service is started", "Service is started") +
                       Turn(kPoller, "Service is stopped",
                            "Attempting to start the Poll service...\r\n"
                            "Error [1058]  when start the service") +
                       Turn(kAgent, "Service is stopped",
                            "Attempting to start the Discovery service...\r\nService is started"));
}

}  // namespace
}  // namespace toverak
