// ADO against the real system: an ODBC data source named by TOVERAK_TEST_DSN, reached through
// the MSDASQL provider, checked directly over ODBC. Under Wine this is as far as its ADO goes:
// opening, executing statements and describing a query's columns.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/error.h"
#include "platform/fake/fake_database.h"
#include "platform/fake/fake_service_manager.h"
#include "platform/windows/windows_env.h"
#include "restore/table_steps.h"
#include "testing/windows/test_support.h"

namespace toverak {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class WindowsDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dsn = std::getenv("TOVERAK_TEST_DSN");
    if (!dsn) GTEST_SKIP() << "TOVERAK_TEST_DSN names no ODBC data source";
    dsn_ = dsn;
    OdbcExecute(dsn_, "DROP TABLE IF EXISTS ATR_NodeGroups");
    OdbcExecute(dsn_, "CREATE TABLE ATR_NodeGroups (nodegroup_id INTEGER, name TEXT)");
  }

  std::unique_ptr<Connection> OpenLive() {
    auto connection = database_->NewConnection();
    connection->SetConnectionString("Provider=MSDASQL;Data Source=" + dsn_);
    connection->Open();
    return connection;
  }

  std::vector<std::string> NodeGroups() {
    return OdbcRows(dsn_, "SELECT nodegroup_id, name FROM ATR_NodeGroups ORDER BY nodegroup_id");
  }

  std::string dsn_;
  std::unique_ptr<Database> database_ = NewWindowsDatabase();
};

TEST_F(WindowsDatabaseTest, OpensAndClosesTheDataSource) {
  auto connection = OpenLive();
  EXPECT_EQ(connection->State(), ado::kStateOpen);
  connection->Close();
  EXPECT_EQ(connection->State(), ado::kStateClosed);
}

TEST_F(WindowsDatabaseTest, UnknownDataSourceRaisesAnErrorWithADescription) {
  auto connection = database_->NewConnection();
  connection->SetConnectionString("Provider=MSDASQL;Data Source=Toverak No Such Source");
  try {
    connection->Open();
    FAIL() << "opened";
  } catch (const RaisedError& error) {
    EXPECT_FALSE(error.Description().empty());
  }
  EXPECT_EQ(connection->State(), ado::kStateClosed);
}

TEST_F(WindowsDatabaseTest, StatementsTakeEffectAtOnce) {
  auto connection = OpenLive();
  const auto result = connection->Execute("INSERT INTO ATR_NodeGroups VALUES ('1', 'Core')");
  EXPECT_EQ(result->State(), ado::kStateClosed);
  connection->Execute("INSERT INTO ATR_NodeGroups VALUES ('2', 'Edge ''B''')");
  EXPECT_THAT(NodeGroups(), ElementsAre("1|Core", "2|Edge 'B'"));
  connection->Execute("UPDATE ATR_NodeGroups SET name = ''");
  EXPECT_THAT(NodeGroups(), ElementsAre("1|", "2|"));
  connection->Execute("DELETE FROM ATR_NodeGroups");
  EXPECT_THAT(NodeGroups(), IsEmpty());
}

TEST_F(WindowsDatabaseTest, RejectedStatementRaisesAnError) {
  auto connection = OpenLive();
  EXPECT_THROW(connection->Execute("INSERT INTO Toverak_NoSuchTable VALUES ('1')"), RaisedError);
  EXPECT_EQ(connection->State(), ado::kStateOpen);
}

TEST_F(WindowsDatabaseTest, QueryResultDescribesItsColumns) {
  auto connection = OpenLive();
  const auto result = connection->Execute("SELECT nodegroup_id, name FROM ATR_NodeGroups");
  EXPECT_EQ(result->State(), ado::kStateOpen);
  EXPECT_TRUE(result->Eof());
  const Fields& fields = result->GetFields();
  EXPECT_EQ(fields.Count(), 2);
  EXPECT_EQ(fields.Item(0).Type(), ado_type::kInteger);
  EXPECT_EQ(&fields.Item(0), &fields.Item(0));
  EXPECT_THROW(fields.Item(0).GetValue(), RaisedError);  // no current row
}

// The live connection of a restore, without the Errors collection that Wine's ADO lacks.
class WithoutErrorEntries : public Connection {
 public:
  explicit WithoutErrorEntries(std::unique_ptr<Connection> connection)
      : connection_(std::move(connection)) {}
  void SetConnectionString(const std::string& text) override {
    connection_->SetConnectionString(text);
  }
  void SetConnectionTimeout(int32_t seconds) override {
    connection_->SetConnectionTimeout(seconds);
  }
  void Open() override { connection_->Open(); }
  std::unique_ptr<Recordset> Execute(const std::string& statement) override {
    return connection_->Execute(statement);
  }
  int32_t ErrorsCount() const override { return 0; }
  int32_t State() const override { return connection_->State(); }
  void Close() override { connection_->Close(); }

 private:
  std::unique_ptr<Connection> connection_;
};

TEST_F(WindowsDatabaseTest, RestoreStepsWriteIntoTheLiveDatabase) {
  std::string columns;
  for (const std::string& column : SettingsColumns())
    columns += (columns.empty() ? "" : ", ") + column + " TEXT";
  OdbcExecute(dsn_, "DROP TABLE IF EXISTS Settings");
  OdbcExecute(dsn_, "CREATE TABLE Settings (Other TEXT, " + columns + ")");
  OdbcExecute(dsn_, "INSERT INTO Settings (Other) VALUES ('kept')");
  // Wine's ADO fails a DELETE that finds no rows, so the live table starts with one.
  OdbcExecute(dsn_, "INSERT INTO ATR_NodeGroups VALUES (9, 'old')");
  OdbcExecute(dsn_, "DROP TABLE IF EXISTS ATR_Log");
  // The live event log numbers its rows itself (SQLite's rowid).
  OdbcExecute(dsn_, "CREATE TABLE ATR_Log (logged TEXT, message TEXT)");
  OdbcExecute(dsn_, "INSERT INTO ATR_Log VALUES ('old', 'old')");

  FakeDatabase backup_database;
  FakeDataSource& backup = backup_database.AddSource("backup");
  FakeTable settings;
  std::vector<Value> row;
  for (const std::string& column : SettingsColumns()) {
    settings.columns.push_back({column, ado_type::kVarWChar});
    row.push_back(std::string("v") + std::to_string(row.size()));
  }
  row[1] = Null{};
  settings.rows.push_back(row);
  backup.tables["Settings"] = settings;
  backup.tables["ATR_NodeGroups"] = {
      {{"nodegroup_id", ado_type::kInteger}, {"name", ado_type::kVarWChar}},
      {{int32_t{1}, std::string("Core")}, {int32_t{2}, Null{}}}};
  const double december_21_2022 = 44916;
  backup.tables["ATR_Log"] = {{{"log_id", ado_type::kInteger},
                               {"logged", ado_type::kDate},
                               {"message", ado_type::kVarWChar}},
                              {{int32_t{20}, Date{december_21_2022 + 0.5}, std::string("second")},
                               {int32_t{10}, Date{december_21_2022}, std::string("first")}}};

  auto host = NewWindowsHost();
  FakeServiceManager services;
  Program program{Env{*host, backup_database, services}};
  RestoreRun run{program,
                 std::make_unique<WithoutErrorEntries>(OpenLive()),
                 backup_database.NewConnection(),
                 nullptr,
                 nullptr,
                 "",
                 0};
  run.BackupConnection->SetConnectionString("backup");
  run.BackupConnection->Open();

  EXPECT_EQ(CopyWholeTable(run, "ATR_NodeGroups", false), StepOutcome::kDone);
  EXPECT_THAT(NodeGroups(), ElementsAre("1|Core", "2|NULL"));

  EXPECT_EQ(CopyEventLogTable(run), StepOutcome::kDone);
  EXPECT_THAT(OdbcRows(dsn_, "SELECT logged, message FROM ATR_Log ORDER BY rowid"),
              ElementsAre("2022-12-21 00:00:00|first", "2022-12-21 12:00:00|second"));

  MergeSingleRowTable(run, "Settings", SettingsColumns());
  EXPECT_THAT(
      OdbcRows(dsn_,
               "SELECT Other, ProgVersion, SkipActionsOnFirstPoll, DelInfoOlderThan FROM Settings"),
      ElementsAre("kept|v0|NULL|v15"));
}

}  // namespace
}  // namespace toverak
