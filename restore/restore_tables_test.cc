#include "restore/restore_tables.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_program.h"
#include "restore/table_steps.h"

namespace toverak {
namespace {

const char kLive[] = "Driver={SQLite3};Database=/var/lib/narvel/live.db";
const char kBackupPath[] = "/bak/NarvelBackup_2026-12-08.mdb";
const char kBackup[] =
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/bak/NarvelBackup_2026-12-08.mdb;"
    "Persist Security Info=False";
const char kDiscAgtUpdate[] =
    "UPDATE DiscAgt SET ScanTimeMon = 'ScanTimeMon-value',ScanTimeTue = 'ScanTimeTue-value',"
    "ScanTimeWed = 'ScanTimeWed-value',ScanTimeThu = 'ScanTimeThu-value',"
    "ScanTimeFri = 'ScanTimeFri-value',ScanTimeSat = 'ScanTimeSat-value',"
    "ScanTimeSun = 'ScanTimeSun-value',nodegroup_id = 'nodegroup_id-value',"
    "PollInterval = 'PollInterval-value',PollTimeout = 'PollTimeout-value',"
    "PollRetries = 'PollRetries-value',readcomm = 'readcomm-value',"
    "writecomm = 'writecomm-value',trapcomm = 'trapcomm-value',"
    "EnablePoll = 'EnablePoll-value',FullDnsName = 'FullDnsName-value'";
const char* const kWholeTables[] = {"ATR_Nodes",   "ATR_NodeGroups", "ATR_Users",    "Services",
                                    "MibObjects",  "TrapEvents",     "EventActions", "ScanRange",
                                    "CustomMenus", "SecProfiles"};
const char* const kPlanTables[] = {"ATR_Nodes", "ATR_NodeGroups", "ATR_Users",   "Services",
                                   "Settings",  "MibObjects",     "TrapEvents",  "EventActions",
                                   "DiscAgt",   "ScanRange",      "CustomMenus", "SecProfiles",
                                   "ATR_Log"};

// The UPDATE of Settings from a row that SingleRow made, but for two of its values.
std::string SettingsUpdate(const std::string& backup_path, const std::string& del_info) {
  return "UPDATE Settings SET ProgVersion = 'ProgVersion-value',"
         "SkipActionsOnFirstPoll = 'SkipActionsOnFirstPoll-value',"
         "DropTrapsUnkSources = 'DropTrapsUnkSources-value',"
         "LogUserAckEvent = 'LogUserAckEvent-value',ExportEventLog = 'ExportEventLog-value',"
         "DelHistoryOlderThan = 'DelHistoryOlderThan-value',"
         "ScheduledBackup = 'ScheduledBackup-value',BackupHour = 'BackupHour-value',"
         "DelBakOlderThan = 'DelBakOlderThan-value',BackupPath = " +
         backup_path +
         ",DebugMode = 'DebugMode-value',LastUsedDevId = 'LastUsedDevId-value',"
         "LastUsedUserId = 'LastUsedUserId-value',LastUsedFiltId = 'LastUsedFiltId-value',"
         "DropTrapsPollDisabled = 'DropTrapsPollDisabled-value',DelInfoOlderThan = " +
         del_info;
}

FakeTable SingleRow(const std::vector<std::string>& columns) {
  FakeTable table;
  std::vector<Value> row;
  for (const std::string& column : columns) {
    table.columns.push_back({column, ado_type::kVarWChar});
    row.push_back(column + "-value");
  }
  table.rows.push_back(row);
  return table;
}

FakeTable TwoColumns(int rows) {
  FakeTable table{{{"id", ado_type::kInteger}, {"name", ado_type::kVarWChar}}, {}};
  for (int i = 1; i <= rows; ++i) table.rows.push_back({int32_t(i), "row " + std::to_string(i)});
  return table;
}

class RestoreTablesTest : public testing::Test {
 protected:
  RestoreTablesTest()
      : live_(fake_.database.AddSource(kLive)), backup_(fake_.database.AddSource(kBackup)) {
    fake_.program.TargetConnString = kLive;
    for (const char* table : kWholeTables) backup_.tables[table] = TwoColumns(1);
    backup_.tables["Settings"] = SingleRow(SettingsColumns());
    backup_.tables["DiscAgt"] = SingleRow(DiscAgtColumns());
    backup_.tables["ATR_Log"] = FakeTable{{{"log_id", ado_type::kInteger},
                                           {"logged", ado_type::kDate},
                                           {"text", ado_type::kVarWChar}},
                                          {}};
  }

  void Restore() { RestoreTables(fake_.program, kBackupPath, ok_, progress_); }

  // The progress lines of the plan up to and including `last`.
  static std::string ProgressUpTo(const std::string& last) {
    std::string text;
    for (const char* table : kPlanTables) {
      text += std::string(text.empty() ? "" : "\r\n") + "Restore of Table " + table + "...";
      if (table == last) break;
    }
    return text;
  }

  FakeProgram fake_;
  FakeDataSource& live_;
  FakeDataSource& backup_;
  int16_t ok_ = -1;
  std::string progress_ = "from the caller";
};

TEST_F(RestoreTablesTest, ACompleteRunRestoresThePlanInOrderAndLogsNothing) {
  Restore();
  EXPECT_EQ(ok_, -1);
  EXPECT_EQ(progress_, ProgressUpTo("ATR_Log") +
                           "\r\nRestore Operation Completed\r\n2026-12-08 04:35:33.125\r\n\r\n");
  EXPECT_EQ(fake_.Log(), "");
  std::vector<std::string> expected;
  for (const char* table : kPlanTables) {
    const std::string name = table;
    if (name == "Settings") {
      expected.push_back(SettingsUpdate("'BackupPath-value'", "'DelInfoOlderThan-value'"));
    } else if (name == "DiscAgt") {
      expected.push_back(kDiscAgtUpdate);
    } else if (name == "ATR_Log") {
      expected.push_back("DELETE FROM ATR_Log");
    } else {
      expected.push_back("DELETE FROM " + name);
      expected.push_back("INSERT INTO " + name + " VALUES ('1', 'row 1')");
    }
  }
  EXPECT_EQ(live_.executed, expected);
  EXPECT_EQ(live_.open_timeout, 5);
  EXPECT_EQ(backup_.open_timeout, std::nullopt);
  EXPECT_EQ(backup_.executed,
            std::vector<std::string>{"SELECT * FROM ATR_Log ORDER BY log_id ASC"});
  EXPECT_EQ(backup_.table_opens.front(), "ATR_Nodes 3 3 2");
  EXPECT_EQ(backup_.table_opens.size(), 12u);
  EXPECT_EQ(live_.closes, 1);
  EXPECT_EQ(backup_.closes, 1);
}

TEST_F(RestoreTablesTest, ValuesBecomeQuotedLiteralsWithNullsAndQuotesKeptIntact) {
  const Date midnight{44916.0};  // 21 December 2022
  const Date morning{44916.0 + (8 * 3600 + 58 * 60 + 21) / 86400.0};
  // A Date/Time Extended value: 21 December 2022, 00:00:00.4 exactly.
  const Date exact{44916.0, (693593 + 44916) * 864'000'000'000 + 4'000'000};
  backup_.tables["ATR_Nodes"] =
      FakeTable{{{"id", ado_type::kInteger},
                 {"name", ado_type::kVarWChar},
                 {"seen", ado_type::kDate},
                 {"added", ado_type::kDate},
                 {"exact", ado_type::kDBTimeStamp},
                 {"note", ado_type::kVarWChar}},
                {{int32_t(12), "O'Brien's ''router''", midnight, morning, exact, Null{}}}};
  backup_.tables["ATR_Users"] =
      FakeTable{{{"seen", ado_type::kDate}, {"admin", ado_type::kBoolean}}, {{midnight, true}}};
  Restore();
  ASSERT_EQ(ok_, -1);
  EXPECT_EQ(live_.executed[1],
            "INSERT INTO ATR_Nodes VALUES ('12', 'O''Brien''s ''''router''''', "
            "'2022-12-21 00:00:00', '2022-12-21 08:58:21', '2022-12-21 00:00:00', NULL)");
  EXPECT_EQ(live_.executed[5], "INSERT INTO ATR_Users VALUES ('2022-12-21', 'True')");
}

TEST_F(RestoreTablesTest, TheMergeWritesTheListedColumnsOfTheFirstRow) {
  FakeTable settings = SingleRow(SettingsColumns());
  settings.rows[0][9] = Null{};          // BackupPath
  settings.rows[0][15] = Date{44916.5};  // DelInfoOlderThan: no date rule here
  settings.columns.push_back({"Unlisted", ado_type::kVarWChar});
  settings.rows[0].push_back(std::string("ignored"));
  settings.rows.push_back(settings.rows[0]);
  settings.rows[1][0] = std::string("second row");
  backup_.tables["Settings"] = settings;
  Restore();
  ASSERT_EQ(ok_, -1);
  EXPECT_EQ(live_.executed[8], SettingsUpdate("NULL", "'2022-12-21 12:00:00'"));
  EXPECT_EQ(live_.executed[15], kDiscAgtUpdate);
}

TEST_F(RestoreTablesTest, TheEventLogGoesInAscendingOrderWithoutItsFirstField) {
  backup_.tables["ATR_Log"].rows = {{int32_t(3), Date{44916.0}, "third"},
                                    {int32_t(1), Null{}, "first"},
                                    {int32_t(2), Date{44916.25}, "it's second"}};
  Restore();
  ASSERT_EQ(ok_, -1);
  const std::vector<std::string> tail(live_.executed.end() - 3, live_.executed.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "INSERT INTO ATR_Log VALUES (NULL, 'first')",
                      "INSERT INTO ATR_Log VALUES ('2022-12-21 06:00:00', 'it''s second')",
                      "INSERT INTO ATR_Log VALUES ('2022-12-21 00:00:00', 'third')"}));
}

TEST_F(RestoreTablesTest, TheRowCounterPausesAfterEvery201RowsAcrossTables) {
  for (const char* table : kWholeTables) backup_.tables[table] = TwoColumns(0);
  backup_.tables["ATR_Nodes"] = TwoColumns(200);
  Restore();
  EXPECT_EQ(fake_.host.SleptMs(), 0);

  backup_.tables["ATR_NodeGroups"] = TwoColumns(1);
  Restore();
  EXPECT_EQ(fake_.host.SleptMs(), 20);

  backup_.tables["ATR_Nodes"] = TwoColumns(150);
  backup_.tables["ATR_NodeGroups"] = TwoColumns(0);
  backup_.tables["ATR_Log"].rows.assign(51 + 201, {int32_t(1), Null{}, "event"});
  Restore();
  EXPECT_EQ(fake_.host.SleptMs(), 20 + 40);
}

TEST_F(RestoreTablesTest, ATargetThatCannotBeOpenedEndsInTheHandler) {
  live_.open_error = "[unixODBC][Driver Manager]Login timeout expired";
  Restore();
  EXPECT_EQ(ok_, 0);
  EXPECT_EQ(progress_, "from the caller");
  EXPECT_EQ(fake_.Log(),
            "Restore_Err_Handler: [unixODBC][Driver Manager]Login timeout expired\r\n\r\n");
  EXPECT_EQ(fake_.host.SleptMs(), 200);
}

TEST_F(RestoreTablesTest, ErrorEntriesAfterTheOpenTakeTheTargetErrorExit) {
  live_.errors_after_open = 1;
  Restore();
  EXPECT_EQ(ok_, 0);
  EXPECT_EQ(progress_, "from the caller");
  EXPECT_EQ(fake_.Log(), "\r\n");
  EXPECT_TRUE(backup_.table_opens.empty());
  EXPECT_EQ(live_.closes, 0);
}

TEST_F(RestoreTablesTest, ErrorEntriesAfterADeleteStopTheRunWithThatTableEmpty) {
  live_.errors_after["DELETE FROM Services"] = 2;
  Restore();
  EXPECT_EQ(ok_, 0);
  EXPECT_EQ(progress_, ProgressUpTo("Services"));
  EXPECT_EQ(fake_.Log(), "\r\n");
  EXPECT_EQ(live_.executed.back(), "DELETE FROM Services");
  EXPECT_EQ(backup_.table_opens.back(), "ATR_Users 3 3 2");
}

TEST_F(RestoreTablesTest, ABackupWithoutATableLeavesThatLiveTableEmpty) {
  backup_.tables.erase("MibObjects");
  Restore();
  EXPECT_EQ(ok_, 0);
  EXPECT_EQ(progress_, ProgressUpTo("MibObjects"));
  EXPECT_EQ(fake_.Log(),
            "Restore_Err_Handler: The Microsoft Jet database engine cannot find the input table "
            "or query 'MibObjects'. Make sure it exists and that its name is spelled "
            "correctly.\r\n\r\n");
  EXPECT_EQ(live_.executed.back(), "DELETE FROM MibObjects");
}

TEST_F(RestoreTablesTest, ABackupThatCannotBeOpenedKeepsTheCallersProgress) {
  fake_.database.Source(kBackup).open_error = "Unrecognized database format";
  Restore();
  EXPECT_EQ(ok_, 0);
  EXPECT_EQ(progress_, "from the caller");
  EXPECT_EQ(fake_.Log(), "Restore_Err_Handler: Unrecognized database format\r\n\r\n");
  EXPECT_TRUE(live_.executed.empty());
}

TEST_F(RestoreTablesTest, AnEmptySettingsTableStopsTheRunBeforeItsUpdate) {
  backup_.tables["Settings"].rows.clear();
  Restore();
  EXPECT_EQ(ok_, 0);
  EXPECT_EQ(progress_, ProgressUpTo("Settings"));
  EXPECT_TRUE(fake_.Log().starts_with("Restore_Err_Handler: Either BOF or EOF is True"));
  EXPECT_EQ(live_.executed.back(), "INSERT INTO Services VALUES ('1', 'row 1')");
}

TEST_F(RestoreTablesTest, ARejectedInsertKeepsTheRowsBeforeIt) {
  backup_.tables["TrapEvents"] = TwoColumns(3);
  live_.failing_statements["INSERT INTO TrapEvents VALUES ('2'"] = "UNIQUE constraint failed";
  Restore();
  EXPECT_EQ(ok_, 0);
  EXPECT_EQ(progress_, ProgressUpTo("TrapEvents"));
  EXPECT_EQ(fake_.Log(), "Restore_Err_Handler: UNIQUE constraint failed\r\n\r\n");
  EXPECT_EQ(live_.executed.back(), "INSERT INTO TrapEvents VALUES ('1', 'row 1')");
}

TEST_F(RestoreTablesTest, AnEventLogWithoutItsKeyEndsInTheHandlerWithTheLiveLogEmpty) {
  backup_.tables["ATR_Log"].columns[0].name = "id";
  Restore();
  EXPECT_EQ(ok_, 0);
  EXPECT_EQ(live_.executed.back(), "DELETE FROM ATR_Log");
  EXPECT_TRUE(fake_.Log().starts_with("Restore_Err_Handler: "));
}

TEST_F(RestoreTablesTest, AHandlerThatCannotWriteTheLogPassesTheFailureOn) {
  live_.open_error = "refused";
  fake_.host.unopenable_files = {"/opt/narvel/Toverak.log"};
  EXPECT_THROW(Restore(), std::exception);
  EXPECT_EQ(ok_, 0);
}

}  // namespace
}  // namespace toverak
