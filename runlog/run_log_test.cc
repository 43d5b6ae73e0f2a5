#include "runlog/run_log.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_host.h"
#include "platform/fake/fake_program.h"

namespace toverak {
namespace {

TEST(PauseWithEvents, SleepsInWholeStepsOfTenMilliseconds) {
  struct Case {
    int16_t ms;
    int steps;
  };
  for (const Case c : {Case{-5, 0}, Case{0, 0}, Case{9, 0}, Case{10, 1}, Case{19, 1}, Case{200, 20},
                       Case{205, 20}}) {
    FakeHost host;
    PauseWithEvents(host, c.ms);
    EXPECT_EQ(host.SleptMs(), c.steps * 10) << c.ms;
    EXPECT_EQ(host.events_processed, c.steps) << c.ms;
  }
}

TEST(LogTimestamp, KeepsLeadingZerosAndTakesOneReading) {
  FakeHost host;
  host.SetClock(2026, 12, 8, 0, 0, 0, 50);
  EXPECT_EQ(LogTimestamp(host), "2026-12-08 00:00:00.050");
  host.SetClock(2026, 12, 31, 23, 59, 59, 999);
  EXPECT_EQ(LogTimestamp(host), "2026-12-31 23:59:59.999");
}

TEST(LogGroup, TruncatesOnlyInItsModeAndEndsEveryEntryWithCrLf) {
  FakeProgram fake;
  fake.host.files["/opt/narvel/Toverak.log"] = "previous run\r\n";
  WriteLogGroup(fake.program, FileMode::kTruncate, {"first"});
  WriteLogGroup(fake.program, FileMode::kAppend, {"a", "b\r\nc", ""});
  EXPECT_EQ(fake.Log(), "first\r\na\r\nb\r\nc\r\n\r\n");
  EXPECT_EQ(fake.host.trace,
            (std::vector<std::string>{
                "truncate /opt/narvel/Toverak.log", "close /opt/narvel/Toverak.log", "pause 200",
                "append /opt/narvel/Toverak.log", "close /opt/narvel/Toverak.log", "pause 200"}));
}

TEST(LogGroup, ATextEndingInCrLfIsFollowedByAnEmptyLine) {
  FakeProgram fake;
  WriteLogGroup(fake.program, FileMode::kAppend, {"ends\r\n"});
  EXPECT_EQ(fake.Log(), "ends\r\n\r\n");
}

TEST(LogGroup, AnUnfinishedGroupClosesTheLogWithoutPausing) {
  FakeProgram fake;
  try {
    LogGroup group(fake.program, FileMode::kAppend);
    group.Entry("written");
    throw std::runtime_error("failure while the group is open");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(fake.Log(), "written\r\n");
  EXPECT_EQ(fake.host.trace.back(), "close /opt/narvel/Toverak.log");
  EXPECT_EQ(fake.host.SleptMs(), 0);
}

}  // namespace
}  // namespace toverak
