// The stop and start sequences against the system's real Service Control Manager, with the
// minimal test service registered under the product's three service names. The pauses are
// real, so each sequence takes its documented time (about 20 seconds).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "platform/fake/fake_database.h"
#include "testing/windows/test_support.h"
#include "platform/windows/windows_env.h"
#include "services/product_services.h"

namespace toverak {
namespace {

using ::testing::ElementsAre;

class ProductServicesOnWindowsTest : public ::testing::Test {
 protected:
  // The lines of the run log, each time stamp shown as "<time>".
  std::vector<std::string> LogLines() {
    const std::regex timestamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})");
    const std::string log = ReadFileBytes(folder_ / "Toverak.log");
    std::vector<std::string> lines;
    for (size_t start = 0; start < log.size();) {
      const size_t end = log.find("\r\n", start);
      if (end == std::string::npos) {
        lines.push_back("unterminated: " + log.substr(start));
        break;
      }
      const std::string line = log.substr(start, end - start);
      lines.push_back(std::regex_match(line, timestamp) ? "<time>" : line);
      start = end + 2;
    }
    return lines;
  }

  TemporaryFolder folder_;
  std::unique_ptr<Host> host_ = NewWindowsHost();
  std::unique_ptr<ServiceManager> services_ = NewWindowsServiceManager();
  FakeDatabase database_;
  Program program_{Env{*host_, database_, *services_}, folder_.path()};
};

TEST_F(ProductServicesOnWindowsTest, StopSequenceOverRunningMissingAndRefusingServices) {
  TestService agent("Narvel Discovery Agent", ServiceBehaviour::kStops);
  TestService server("Narvel Server", ServiceBehaviour::kRefusesStop);
  agent.StartAndWait();
  server.StartAndWait();

  int16_t ServicesDone = 7;
  StopProductServices(program_, ServicesDone);

  EXPECT_EQ(ServicesDone, 1);
  EXPECT_TRUE(agent.WaitForState(SERVICE_STOPPED));
  EXPECT_THAT(
      LogLines(),
      ElementsAre("Narvel Discovery Agent", "Service is started", "<time>",
                  "Attempting to stop the Discovery service...", "Service stopped", "",
                  "Narvel Poller", "Service not installed", "<time>", "", "", "Narvel Server",
                  "Service is started", "<time>", "Attempting to stop the Main service...",
                  "Error [1052]  when stop the service", ""));
}

TEST_F(ProductServicesOnWindowsTest, StartSequenceOverRunningRefusingAndStoppedServices) {
  TestService server("Narvel Server", ServiceBehaviour::kStops);
  TestService poller("Narvel Poller", ServiceBehaviour::kDisabled);
  TestService agent("Narvel Discovery Agent", ServiceBehaviour::kStops);
  server.StartAndWait();

  int16_t ServicesDone = 7;
  StartProductServices(program_, ServicesDone);

  EXPECT_EQ(ServicesDone, 2);
  EXPECT_TRUE(agent.WaitForState(SERVICE_RUNNING));
  EXPECT_THAT(
      LogLines(),
      ElementsAre("Narvel Server", "Service is started", "<time>", "Service is started", "",
                  "Narvel Poller", "Service is stopped", "<time>",
                  "Attempting to start the Poll service...", "Error [1058]  when start the service",
                  "", "Narvel Discovery Agent", "Service is stopped", "<time>",
                  "Attempting to start the Discovery service...", "Service is started", ""));
}

}  // namespace
}  // namespace toverak
