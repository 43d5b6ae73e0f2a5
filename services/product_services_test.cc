#include "services/product_services.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_program.h"
#include "testing/service_log.h"

namespace toverak {
namespace {

class ProductServicesTest : public testing::Test {
 protected:
  void Install(const std::string& name, int32_t state) {
    fake_.services.services[name].state = state;
  }
  void InstallAll(int32_t state) {
    for (const char* name : {kAgent, kPoller, kServer}) Install(name, state);
  }
  FakeService& Service(const std::string& name) { return fake_.services.services.at(name); }

  std::string Log() { return MaskTimes(fake_.Log()); }

  int16_t Stop(int16_t before = 7) {
    int16_t done = before;
    StopProductServices(fake_.program, done);
    return done;
  }
  int16_t Start(int16_t before = -2) {
    int16_t done = before;
    StartProductServices(fake_.program, done);
    return done;
  }

  FakeProgram fake_;
};

TEST_F(ProductServicesTest, StateTextOfEveryState) {
  struct Case {
    int32_t state;
    const char* text;
  };
  for (const Case c : {Case{1, "Service is stopped"}, Case{4, "Service is started"},
                       Case{2, "Service is installed. Status unknown"},
                       Case{3, "Service is installed. Status unknown"},
                       Case{5, "Service is installed. Status unknown"},
                       Case{6, "Service is installed. Status unknown"},
                       Case{7, "Service is installed. Status unknown"}}) {
    Install(kServer, c.state);
    fake_.program.CurrentServiceName = kServer;
    const int64_t before = fake_.host.SleptMs();
    std::string text = "left over";
    GetServiceStateText(fake_.program, text);
    EXPECT_EQ(text, c.text) << c.state;
    EXPECT_EQ(fake_.host.SleptMs() - before, 1700) << c.state;
  }
}

TEST_F(ProductServicesTest, StateTextOfAServiceWhoseConfigOrStatusCannotBeRead) {
  fake_.program.CurrentServiceName = kServer;
  std::string text;
  GetServiceStateText(fake_.program, text);
  EXPECT_EQ(text, "Service not installed");
  EXPECT_EQ(fake_.host.SleptMs(), 1100);
  for (const std::string& call : fake_.services.calls) {
    EXPECT_EQ(call.find("open service Narvel Server 4"), std::string::npos) << call;
  }

  Install(kServer, scm::kStateRunning);
  Service(kServer).config_error = 1117;
  GetServiceStateText(fake_.program, text);
  EXPECT_EQ(text, "Service not installed");

  Service(kServer).config_error = 0;
  Service(kServer).open_errors[scm::kServiceQueryStatus] = 5;
  GetServiceStateText(fake_.program, text);
  EXPECT_EQ(text, "Service is installed. Status unknown");

  fake_.services.manager_error = 5;
  GetServiceStateText(fake_.program, text);
  EXPECT_EQ(text, "Service not installed");
}

TEST_F(ProductServicesTest, StoppingThreeRunningServices) {
  InstallAll(scm::kStateRunning);
  EXPECT_EQ(Stop(), 3);
  EXPECT_EQ(Log(), StopOfThreeRunning());
  EXPECT_EQ(fake_.host.SleptMs(), 22'900);
  for (const char* name : {kAgent, kPoller, kServer}) {
    EXPECT_EQ(Service(name).state, scm::kStateStopped) << name;
  }
  EXPECT_EQ(fake_.program.CurrentServiceName, kServer);
  EXPECT_EQ(fake_.services.OpenHandles(), 0u);
}

TEST_F(ProductServicesTest, StartingThreeStoppedServicesInTheOppositeOrder) {
  InstallAll(scm::kStateStopped);
  EXPECT_EQ(Start(), 3);
  EXPECT_EQ(Log(), StartOfThreeStopped());
  EXPECT_EQ(fake_.host.SleptMs(), 22'900);
  EXPECT_EQ(fake_.program.CurrentServiceName, kAgent);
}

TEST_F(ProductServicesTest, ServicesAlreadyInTheWantedStateCountWithoutARequest) {
  InstallAll(scm::kStateStopped);
  EXPECT_EQ(Stop(), 3);
  EXPECT_EQ(Log(), Turn(kAgent, "Service is stopped", "Service is stopped") +
                       Turn(kPoller, "Service is stopped", "Service is stopped") +
                       Turn(kServer, "Service is stopped", "Service is stopped"));
  EXPECT_EQ(fake_.host.SleptMs(), 6300);

  InstallAll(scm::kStateRunning);
  fake_.host.files.clear();
  EXPECT_EQ(Start(), 3);
  EXPECT_EQ(Log(), Turn(kServer, "Service is started", "Service is started") +
                       Turn(kPoller, "Service is started", "Service is started") +
                       Turn(kAgent, "Service is started", "Service is started"));
  for (const std::string& call : fake_.services.calls) {
    EXPECT_FALSE(call.starts_with("start") || call.starts_with("control")) << call;
  }
}

TEST_F(ProductServicesTest, ARefusedRequestIsLoggedWithItsCodeAndNotCounted) {
  InstallAll(scm::kStateRunning);
  Service(kPoller).stop_error = 1051;
  Service(kServer).stop_error = -7;
  EXPECT_EQ(Stop(), 1);
  EXPECT_EQ(Log(), Turn(kAgent, "Service is started",
                        "Attempting to stop the Discovery service...\r\nService stopped") +
                       Turn(kPoller, "Service is started",
                            "Attempting to stop the Poll service...\r\n"
                            "Error [1051]  when stop the service") +
                       Turn(kServer, "Service is started",
                            "Attempting to stop the Main service...\r\n"
                            "Error [-7]  when stop the service"));
  EXPECT_EQ(fake_.host.SleptMs(), 22'900 + 2 * 1000);

  InstallAll(scm::kStateStopped);
  Service(kAgent).start_error = 1058;
  fake_.host.files.clear();
  EXPECT_EQ(Start(), 2);
  EXPECT_EQ(Log(), Turn(kServer, "Service is stopped",
                        "Attempting to start the Main service...\r\nService started") +
                       Turn(kPoller, "Service is stopped",
                            "Attempting to start the Poll service...\r\nService started") +
                       Turn(kAgent, "Service is stopped",
                            "Attempting to start the Discovery service...\r\n"
                            "Error [1058]  when start the service"));
}

TEST_F(ProductServicesTest, MissingAndUnknownStatesGetNoRequestAndAreNotCounted) {
  Install(kAgent, scm::kStateRunning);
  Install(kServer, scm::kStateStopPending);
  EXPECT_EQ(Stop(), 1);
  EXPECT_EQ(Log(), Turn(kAgent, "Service is started",
                        "Attempting to stop the Discovery service...\r\nService stopped") +
                       Turn(kPoller, "Service not installed", "") +
                       Turn(kServer, "Service is installed. Status unknown", ""));
  EXPECT_EQ(fake_.host.SleptMs(), (1700 + 400 + 3000 + 1200) + (1100 + 400) + (1700 + 400));

  Install(kServer, 7);  // paused
  fake_.host.files.clear();
  EXPECT_EQ(Start(), 1);
  EXPECT_EQ(Log(), Turn(kServer, "Service is installed. Status unknown", "") +
                       Turn(kPoller, "Service not installed", "") +
                       Turn(kAgent, "Service is stopped",
                            "Attempting to start the Discovery service...\r\nService is started"));
}

TEST_F(ProductServicesTest, EveryPauseOfATurnWithARequestStandsInItsPlace) {
  Install(kAgent, scm::kStateRunning);
  fake_.services.ShareTrace(fake_.host.trace);
  Stop();
  const std::vector<std::string> first_turn(fake_.host.trace.begin(),
                                            fake_.host.trace.begin() + 32);
  EXPECT_EQ(first_turn,
            (std::vector<std::string>{
                // ReadServiceConfig, then GetServiceStatus and the state text's own 500 ms.
                "open manager 1 -> #1", "pause 300", "open service Narvel Discovery Agent 1 -> #2",
                "query config #2 size 36 fails 122", "query config #2 size 180", "close #2",
                "close #1", "pause 300", "open manager 1 -> #3", "pause 300",
                "open service Narvel Discovery Agent 4 -> #4", "query status #4", "close #4",
                "close #3", "pause 800",
                // The header group, its 200 ms and the agent's wait of 3000 ms.
                "append /opt/narvel/Toverak.log", "close /opt/narvel/Toverak.log", "pause 3200",
                // StopCurrentService.
                "open manager 1 -> #5", "pause 300", "open service Narvel Discovery Agent 32 -> #6",
                "pause 300", "control #6 1", "close #6", "pause 300", "close #5", "pause 300",
                // The outcome group.
                "append /opt/narvel/Toverak.log", "close /opt/narvel/Toverak.log", "pause 200",
                "open manager 1 -> #7", "pause 300"}));
}

}  // namespace
}  // namespace toverak
