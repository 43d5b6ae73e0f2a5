#include "services/service_control.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_program.h"

namespace toverak {
namespace {

using Trace = std::vector<std::string>;

// A program acting on one service, with the manager's calls and the pauses in one trace.
class ServiceControlTest : public testing::Test {
 protected:
  ServiceControlTest() {
    fake_.services.ShareTrace(fake_.host.trace);
    fake_.program.CurrentServiceName = "Narvel Server";
    Service();
  }

  FakeService& Service() { return fake_.services.services["Narvel Server"]; }
  const Trace& trace() const { return fake_.host.trace; }
  void ExpectEverythingClosed() { EXPECT_EQ(fake_.services.OpenHandles(), 0u); }

  FakeProgram fake_;
};

TEST_F(ServiceControlTest, StatusIsTheCurrentStateOfTheRecord) {
  for (const int32_t state : {1, 2, 3, 4, 5, 6, 7}) {
    Service().state = state;
    fake_.host.trace.clear();
    EXPECT_EQ(GetServiceStatus(fake_.program), state);
    ExpectEverythingClosed();
  }
  EXPECT_EQ(trace(),
            (Trace{"open manager 1 -> #13", "pause 300", "open service Narvel Server 4 -> #14",
                   "query status #14", "close #14", "close #13", "pause 300"}));
}

TEST_F(ServiceControlTest, StatusIsZeroWhenAnyStepFails) {
  Service().state = scm::kStateRunning;
  fake_.services.manager_error = 5;
  EXPECT_EQ(GetServiceStatus(fake_.program), 0);
  EXPECT_EQ(trace(), (Trace{"open manager 1 fails 5", "pause 600"}));

  fake_.services.manager_error = 0;
  fake_.host.trace.clear();
  fake_.program.CurrentServiceName = "Narvel Unknown";
  EXPECT_EQ(GetServiceStatus(fake_.program), 0);
  EXPECT_EQ(trace(), (Trace{"open manager 1 -> #1", "pause 300",
                            "open service Narvel Unknown 4 fails 1060", "close #1", "pause 300"}));

  fake_.host.trace.clear();
  fake_.program.CurrentServiceName = "Narvel Server";
  Service().status_error = 6;
  EXPECT_EQ(GetServiceStatus(fake_.program), 0);
  EXPECT_EQ(trace(),
            (Trace{"open manager 1 -> #2", "pause 300", "open service Narvel Server 4 -> #3",
                   "query status #3 fails 6", "close #3", "close #2", "pause 300"}));
  ExpectEverythingClosed();
}

TEST_F(ServiceControlTest, ConfigBufferIsOneRecordThenWholeRecordsHoldingTheBytesNeeded) {
  struct Case {
    uint32_t needed;
    std::vector<uint32_t> sizes;
  };
  for (const Case& c : {Case{20, {36}}, Case{36, {36}}, Case{37, {36, 72}}, Case{72, {36, 108}},
                        Case{172, {36, 180}}, Case{180, {36, 216}}}) {
    Service().config_size = c.needed;
    fake_.services.calls.clear();
    EXPECT_EQ(ReadServiceConfig(fake_.program), 0) << c.needed;
    std::vector<uint32_t> sizes;
    for (const std::string& call : fake_.services.calls) {
      const size_t at = call.find(" size ");
      if (at != std::string::npos) sizes.push_back(uint32_t(std::stoul(call.substr(at + 6))));
    }
    EXPECT_EQ(sizes, c.sizes) << c.needed;
    ExpectEverythingClosed();
  }
}

TEST_F(ServiceControlTest, ConfigReadTakesTwoPausesAndAsksOnlyTheQueryConfigRight) {
  Service().config_size = 100;
  EXPECT_EQ(ReadServiceConfig(fake_.program), 0);
  EXPECT_EQ(trace(),
            (Trace{"open manager 1 -> #1", "pause 300", "open service Narvel Server 1 -> #2",
                   "query config #2 size 36 fails 122", "query config #2 size 108", "close #2",
                   "close #1", "pause 300"}));
}

TEST_F(ServiceControlTest, ConfigFailuresGiveTheCodeOfTheFailingStep) {
  fake_.services.manager_error = 1722;
  EXPECT_EQ(ReadServiceConfig(fake_.program), 1722);
  EXPECT_EQ(trace(), (Trace{"open manager 1 fails 1722", "pause 600"}));
  fake_.services.manager_error = 0;

  fake_.host.trace.clear();
  Service().open_errors[scm::kServiceQueryConfig] = 5;
  EXPECT_EQ(ReadServiceConfig(fake_.program), 5);
  EXPECT_EQ(trace(), (Trace{"open manager 1 -> #1", "pause 300",
                            "open service Narvel Server 1 fails 5", "close #1", "pause 300"}));
  Service().open_errors.clear();

  // A first query that fails otherwise than for its size is not repeated.
  fake_.services.calls.clear();
  Service().config_size = 30;
  Service().config_error = 1117;
  EXPECT_EQ(ReadServiceConfig(fake_.program), 1117);
  EXPECT_EQ(fake_.services.calls,
            (Trace{"open manager 1 -> #2", "open service Narvel Server 1 -> #3",
                   "query config #3 size 36 fails 1117", "close #3", "close #2"}));

  // The second query's own failure is the result.
  fake_.services.calls.clear();
  Service().config_size = 90;
  EXPECT_EQ(ReadServiceConfig(fake_.program), 1117);
  EXPECT_EQ(fake_.services.calls,
            (Trace{"open manager 1 -> #4", "open service Narvel Server 1 -> #5",
                   "query config #5 size 36 fails 122", "query config #5 size 108 fails 1117",
                   "close #5", "close #4"}));
  ExpectEverythingClosed();
}

TEST_F(ServiceControlTest, AnAbsurdSizeNeededDoesNotWrapRoundToASmallBuffer) {
  Service().config_size = 0xFFFFFFFFu;
  EXPECT_EQ(ReadServiceConfig(fake_.program), scm::kErrorInsufficientBuffer);
  EXPECT_EQ(fake_.services.calls,
            (Trace{"open manager 1 -> #1", "open service Narvel Server 1 -> #2",
                   "query config #2 size 36 fails 122", "close #2", "close #1"}));
}

TEST_F(ServiceControlTest, StartAndStopPauseBetweenEveryStep) {
  EXPECT_EQ(StartCurrentService(fake_.program), 0);
  EXPECT_EQ(trace(),
            (Trace{"open manager 1 -> #1", "pause 300", "open service Narvel Server 16 -> #2",
                   "pause 300", "start #2", "close #2", "pause 300", "close #1", "pause 300"}));
  EXPECT_EQ(Service().state, scm::kStateRunning);

  fake_.host.trace.clear();
  EXPECT_EQ(StopCurrentService(fake_.program), 0);
  EXPECT_EQ(trace(),
            (Trace{"open manager 1 -> #3", "pause 300", "open service Narvel Server 32 -> #4",
                   "pause 300", "control #4 1", "close #4", "pause 300", "close #3", "pause 300"}));
  EXPECT_EQ(fake_.host.SleptMs(), 2400);
}

TEST_F(ServiceControlTest, RefusedRequestsGiveTheirCodeAndCloseBothHandles) {
  Service().start_error = 1056;
  Service().stop_error = 1062;
  EXPECT_EQ(StartCurrentService(fake_.program), 1056);
  EXPECT_EQ(StopCurrentService(fake_.program), 1062);
  EXPECT_EQ(
      fake_.services.calls,
      (Trace{"open manager 1 -> #1", "open service Narvel Server 16 -> #2", "start #2 fails 1056",
             "close #2", "close #1", "open manager 1 -> #3", "open service Narvel Server 32 -> #4",
             "control #4 1 fails 1062", "close #4", "close #3"}));
  EXPECT_EQ(fake_.host.SleptMs(), 2400);
}

TEST_F(ServiceControlTest, RequestsThatCannotOpenTheirHandlesCloseOnlyWhatWasOpened) {
  fake_.program.CurrentServiceName = "Narvel Unknown";
  EXPECT_EQ(StopCurrentService(fake_.program), 1060);
  EXPECT_EQ(trace(),
            (Trace{"open manager 1 -> #1", "pause 300", "open service Narvel Unknown 32 fails 1060",
                   "pause 600", "close #1", "pause 300"}));

  fake_.host.trace.clear();
  fake_.services.manager_error = 5;
  EXPECT_EQ(StartCurrentService(fake_.program), 5);
  EXPECT_EQ(trace(), (Trace{"open manager 1 fails 5", "pause 600"}));
  ExpectEverythingClosed();
}

}  // namespace
}  // namespace toverak
