#include "driver/form_load.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/error.h"
#include "platform/fake/fake_program.h"

namespace toverak {
namespace {

const char kLocal[] =
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/narvel/Narvel.mdb;Persist Security "
    "Info=False";
const char kTarget[] = "Provider=SQLOLEDB;Data Source=db;Initial Catalog=Narvel";
const char kStamp[] = "2026-12-08 04:35:33.125";

// The phases of the run as a test scripts them.
struct ScriptedSteps : RunSteps {
  int16_t stopped = 3;
  int16_t started = 3;
  int16_t restore_ok = -1;
  std::string progress = "Restore of Table ATR_Nodes...";
  std::function<void()> during_stop = [] {};
  std::vector<std::string> calls;

  void StopProductServices(int16_t& ServicesDone) override {
    calls.push_back("stop from " + std::to_string(ServicesDone));
    during_stop();
    ServicesDone = stopped;
  }
  void RestoreTables(const std::string& path, int16_t& RestoreOk,
                     std::string& ProgressText) override {
    calls.push_back("restore " + path);
    RestoreOk = restore_ok;
    ProgressText = progress;
  }
  void StartProductServices(int16_t& ServicesDone) override {
    calls.push_back("start");
    ServicesDone = started;
  }
};

class FormLoadTest : public testing::Test {
 protected:
  FormLoadTest() {
    settings_.columns = {{"SqlDbSetupOk", ado_type::kBoolean},
                         {"DbConnStringSql", ado_type::kVarWChar},
                         {"ProgVersion", ado_type::kVarWChar}};
    settings_.rows = {{true, std::string(kTarget), std::string("5.1.0")}};
    fake_.host.command_line = "/bak/NarvelBackup_xxxx-xx-xx.mdb";
    fake_.host.ordinary_files = {"/bak/NarvelBackup_2026-12-08.mdb"};
    fake_.host.files["/opt/narvel/Toverak.log"] = "previous run\r\n";
  }

  ExitStatus Run() {
    fake_.database.AddSource(kLocal).tables["Settings_Console"] = settings_;
    fake_.program.AppPath.clear();
    fake_.host.SetClock(2026, 12, 8, 4, 35, 33, 125);
    LocalSettings held;
    return RunJob(fake_.program, steps_, held);
  }

  FakeProgram fake_;
  FakeTable settings_;
  ScriptedSteps steps_;
};

const std::string kFirstGroup =
    std::string(kStamp) + "\r\nSQL ConnString found\r\nNarvel ver: 5.1.0\r\n\r\n";

TEST_F(FormLoadTest, ASuccessfulRunWritesEveryGroupInOrder) {
  steps_.progress = "line 1\r\nline 2";
  EXPECT_EQ(Run(), kAllServicesStarted);
  EXPECT_EQ(fake_.Log(), kFirstGroup +
                             "Restore file Found: /bak/NarvelBackup_2026-12-08.mdb\r\n\r\n"
                             "Starting Restore...\r\n2026-12-08 04:35:33.525\r\n\r\n"
                             "line 1\r\nline 2\r\n"
                             "All services started\r\n");
  EXPECT_EQ(steps_.calls, (std::vector<std::string>{
                              "stop from 0", "restore /bak/NarvelBackup_2026-12-08.mdb", "start"}));
  EXPECT_EQ(fake_.program.TargetConnString, kTarget);
  EXPECT_EQ(fake_.program.AppPath, "/opt/narvel");
  // Five groups, each followed by its 200 ms pause.
  EXPECT_EQ(fake_.host.SleptMs(), 1000);
  EXPECT_EQ(fake_.host.trace.front(), "truncate /opt/narvel/Toverak.log");
  EXPECT_EQ(fake_.database.Source(kLocal).table_opens,
            std::vector<std::string>{"Settings_Console 3 3 2"});
}

TEST_F(FormLoadTest, NotSetUpOnSqlServerEndsAfterTheFirstGroup) {
  for (const Value& setup : {Value(false), Value(Null{})}) {
    settings_.rows = {{setup, std::string(kTarget), std::string("5.1.0")}};
    EXPECT_EQ(Run(), kNotOnSqlServer);
    EXPECT_EQ(fake_.Log(), std::string(kStamp) + "\r\nSQL ConnString not found\r\n\r\n");
    EXPECT_TRUE(steps_.calls.empty());
    EXPECT_EQ(fake_.program.TargetConnString, "");
  }
}

TEST_F(FormLoadTest, TheVersionLineAndTheChoiceComeFromTheFirstRowOnly) {
  settings_.rows = {{true, std::string(""), Null{}}, {false, Null{}, std::string("9")}};
  fake_.host.ordinary_files.clear();
  EXPECT_EQ(Run(), kBackupNotFound);
  EXPECT_TRUE(fake_.Log().starts_with(std::string(kStamp) +
                                      "\r\nSQL ConnString found\r\nNarvel ver: \r\n\r\n"));
  EXPECT_EQ(fake_.program.TargetConnString, "");
}

TEST_F(FormLoadTest, TheDatedTemplateIsFilledInEverywhere) {
  fake_.host.command_line = "/bak/xxxx-xx-xx/NarvelBackup_xxxx-xx-xx.mdb";
  fake_.host.ordinary_files = {"/bak/2026-12-08/NarvelBackup_2026-12-08.mdb"};
  EXPECT_EQ(Run(), kAllServicesStarted);
  EXPECT_EQ(steps_.calls[1], "restore /bak/2026-12-08/NarvelBackup_2026-12-08.mdb");
}

TEST_F(FormLoadTest, AnUndatedPathIsUsedUnchangedWithASmallF) {
  fake_.host.command_line = "/bak/xxxx-xx-xx/NarvelBackup_2026-11-30.mdb";
  fake_.host.ordinary_files = {"/bak/xxxx-xx-xx/NarvelBackup_2026-11-30.mdb"};
  EXPECT_EQ(Run(), kAllServicesStarted);
  EXPECT_NE(fake_.Log().find("Restore file found: /bak/xxxx-xx-xx/NarvelBackup_2026-11-30.mdb\r\n"),
            std::string::npos);
}

TEST_F(FormLoadTest, TheTemplateInOtherCaseIsNotRecognised) {
  fake_.host.command_line = "/bak/narvelbackup_xxxx-xx-xx.mdb";
  EXPECT_EQ(Run(), kBackupNotFound);
  EXPECT_EQ(fake_.Log(),
            kFirstGroup + "Restore file not found: /bak/narvelbackup_xxxx-xx-xx.mdb\r\n\r\n");
  EXPECT_TRUE(steps_.calls.empty());
  EXPECT_EQ(fake_.host.SleptMs(), 400);
}

TEST_F(FormLoadTest, NotAllServicesStoppedCancelsTheRun) {
  steps_.stopped = 2;
  EXPECT_EQ(Run(), kServicesNotStopped);
  EXPECT_TRUE(
      fake_.Log().ends_with("Restore file Found: /bak/NarvelBackup_2026-12-08.mdb\r\n\r\n"
                            "Cancel due to not all services stopped\r\n"));
  EXPECT_EQ(steps_.calls, std::vector<std::string>{"stop from 0"});
}

TEST_F(FormLoadTest, AFailedRestoreLeavesTheServicesStopped) {
  steps_.restore_ok = 0;
  steps_.progress = "";
  EXPECT_EQ(Run(), kRestoreFailed);
  EXPECT_TRUE(fake_.Log().ends_with("2026-12-08 04:35:33.525\r\n\r\n\r\nRestore Failed\r\n"));
  EXPECT_EQ(steps_.calls.size(), 2u);
}

TEST_F(FormLoadTest, AnyNonZeroRestoreResultCountsAsSuccess) {
  steps_.restore_ok = 1;
  EXPECT_EQ(Run(), kAllServicesStarted);
}

TEST_F(FormLoadTest, NotAllServicesStartedIsLogged) {
  steps_.started = 2;
  EXPECT_EQ(Run(), kServicesNotStarted);
  EXPECT_TRUE(
      fake_.Log().ends_with("Restore of Table ATR_Nodes...\r\nFailed to start all services\r\n"));
}

TEST_F(FormLoadTest, AMissingProductFileAppendsTheHandlersEntriesToThePreviousLog) {
  Run();  // adds the source; now take it away
  fake_.host.files["/opt/narvel/Toverak.log"] = "previous run\r\n";
  fake_.database.AddSource("unrelated");
  fake_.database.Source(kLocal).open_error = "Could not find file '/opt/narvel/Narvel.mdb'.";
  steps_.calls.clear();
  fake_.host.SetClock(2026, 12, 8, 4, 35, 33, 125);
  LocalSettings held;
  EXPECT_EQ(RunJob(fake_.program, steps_, held), kRunFailure);
  EXPECT_EQ(fake_.Log(),
            "previous run\r\n" + std::string(kStamp) + "\t Argument Error\r\nCommandLine = \r\n");
  EXPECT_TRUE(steps_.calls.empty());
  EXPECT_EQ(fake_.host.console.back(), "Toverak: Could not find file '/opt/narvel/Narvel.mdb'.");
}

TEST_F(FormLoadTest, UnreadableSettingsEndInTheHandlerBeforeTheFirstGroup) {
  const std::vector<std::function<void(FakeTable&)>> breakages = {
      [](FakeTable& t) { t.rows.clear(); },                         // no current row
      [](FakeTable& t) { t.rows[0][1] = Null{}; },                  // null string
      [](FakeTable& t) { t.columns[0].name = "Other"; },            // missing column
      [](FakeTable& t) { t.rows[0][0] = std::string("perhaps"); },  // not a truth value
  };
  for (const auto& breakage : breakages) {
    FakeTable table = settings_;
    breakage(settings_);
    fake_.host.files["/opt/narvel/Toverak.log"] = "previous run\r\n";
    EXPECT_EQ(Run(), kRunFailure);
    EXPECT_EQ(fake_.Log(),
              "previous run\r\n" + std::string(kStamp) + "\t Argument Error\r\nCommandLine = \r\n");
    settings_ = table;
  }
}

TEST_F(FormLoadTest, AMissingVersionColumnStillLetsTheHandlerReachTheLog) {
  settings_.columns[2].name = "Version";
  EXPECT_EQ(Run(), kRunFailure);
  EXPECT_EQ(fake_.Log(), std::string(kStamp) + "\r\nSQL ConnString found\r\n" + kStamp +
                             "\t Argument Error\r\nCommandLine = \r\n");
}

TEST_F(FormLoadTest, AFailureInTheStopSequenceLogsTheDatedCommandLine) {
  steps_.during_stop = [] { throw RaisedError("Path/File access error"); };
  EXPECT_EQ(Run(), kRunFailure);
  EXPECT_TRUE(fake_.Log().ends_with(
      "\t Argument Error\r\nCommandLine = /bak/NarvelBackup_2026-12-08.mdb\r\n"));
}

TEST_F(FormLoadTest, AFailingSearchEndsInTheHandler) {
  fake_.host.failing_searches = {"/bak/NarvelBackup_2026-12-08.mdb"};
  EXPECT_EQ(Run(), kRunFailure);
  EXPECT_TRUE(fake_.Log().ends_with("CommandLine = /bak/NarvelBackup_2026-12-08.mdb\r\n"));
}

TEST_F(FormLoadTest, ALogThatCannotBeWrittenIsReportedOnTheConsole) {
  fake_.host.unopenable_files = {"/opt/narvel/Toverak.log"};
  EXPECT_EQ(Run(), kLogUnwritable);
  EXPECT_EQ(fake_.host.console.back(),
            "Toverak: the run log cannot be written: Path/File access error");
  EXPECT_TRUE(steps_.calls.empty());
}

TEST_F(FormLoadTest, ALogThatFailsLaterStillEndsInAnOrderlyWay) {
  fake_.host.opens_before_failure = 2;  // the first group and the backup line only
  EXPECT_EQ(Run(), kLogUnwritable);
  EXPECT_EQ(steps_.calls, std::vector<std::string>{"stop from 0"});
}

TEST(FormLoad, EndsTheProcessWithTheRunsStatus) {
  FakeProgram fake;
  ScriptedSteps steps;
  try {
    Form_Load(fake.program, steps);
    FAIL() << "Form_Load returned";
  } catch (const FakeProcessEnd& end) {
    EXPECT_EQ(end.status, kRunFailure);
  }
}

}  // namespace
}  // namespace toverak
