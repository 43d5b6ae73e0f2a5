#include "app/backup_check.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_program.h"
#include "restore/restore_tables.h"
#include "restore/table_steps.h"

namespace toverak {
namespace {

const char kPath[] = "/bak/NarvelBackup_2026-12-08.mdb";
const char kBackup[] =
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/bak/NarvelBackup_2026-12-08.mdb;"
    "Persist Security Info=False";

FakeTable Listed(const std::vector<std::string>& columns, int rows) {
  FakeTable table;
  for (const std::string& column : columns) table.columns.push_back({column, ado_type::kInteger});
  table.rows.assign(size_t(rows), std::vector<Value>(columns.size(), Value(int32_t(7))));
  return table;
}

class BackupCheckTest : public testing::Test {
 protected:
  BackupCheckTest() : backup_(fake_.database.AddSource(kBackup)) {
    for (const std::string& table : PlanTables()) {
      const auto* merged = MergedColumnsOf(table);
      backup_.tables[table] = merged ? Listed(*merged, 1) : Listed({"log_id", "name"}, 2);
    }
  }
  FakeProgram fake_;
  FakeDataSource& backup_;
};

TEST_F(BackupCheckTest, AGoodBackupPassesAndListsTheStatementsTheRestoreSends) {
  const BackupCheck check = CheckBackup(fake_.program, kPath);
  EXPECT_EQ(check.failure, "");
  ASSERT_EQ(check.tables.size(), 13u);
  EXPECT_EQ(check.tables[0], "ATR_Nodes: present, 2 rows");
  EXPECT_EQ(check.tables[4], "Settings: present, every listed column, 1 row");

  FakeDataSource& live = fake_.database.AddSource("live");
  fake_.program.TargetConnString = "live";
  int16_t ok = 0;
  std::string progress;
  RestoreTables(fake_.program, kPath, ok, progress);
  ASSERT_EQ(ok, -1);
  EXPECT_EQ(check.statements, live.executed);
  EXPECT_EQ(fake_.Log(), "");
  EXPECT_EQ(fake_.host.SleptMs(), 0);
}

TEST_F(BackupCheckTest, ABrokenBackupNamesTheTableOrColumnAtFault) {
  backup_.tables.erase("ATR_Log");
  backup_.tables["DiscAgt"].columns[7].name = "NodeGroup";
  backup_.tables["Settings"].rows.clear();
  const BackupCheck check = CheckBackup(fake_.program, kPath);
  EXPECT_TRUE(check.failure.starts_with("Restore_Err_Handler: Either BOF or EOF")) << check.failure;
  EXPECT_EQ(check.tables[4],
            "Settings: present, every listed column, no row to restore from, 0 rows");
  EXPECT_EQ(check.tables[8], "DiscAgt: present, missing columns: nodegroup_id, 1 row");
  EXPECT_TRUE(check.tables[12].starts_with("ATR_Log: missing (")) << check.tables[12];
  EXPECT_EQ(fake_.Log(), "");
}

TEST_F(BackupCheckTest, ABackupThatCannotBeOpenedFailsWithoutTableLines) {
  backup_.open_error = "Unrecognized database format";
  const BackupCheck check = CheckBackup(fake_.program, kPath);
  EXPECT_EQ(check.failure, "Restore_Err_Handler: Unrecognized database format");
  EXPECT_TRUE(check.tables.empty());
  EXPECT_TRUE(check.statements.empty());
}

}  // namespace
}  // namespace toverak
