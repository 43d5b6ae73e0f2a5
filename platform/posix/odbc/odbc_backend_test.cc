// The live database through unixODBC, against real SQLite files and a real PostgreSQL server;
// MariaDB's session mode against a real MariaDB server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "platform/error.h"
#include "platform/posix/backend.h"
#include "platform/posix/odbc/session_mode.h"
#include "testing/mariadb_server.h"
#include "testing/postgres_server.h"

namespace toverak {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

std::string RaisedBy(const std::function<void()>& action) {
  try {
    action();
  } catch (const RaisedError& error) {
    return error.Description();
  }
  ADD_FAILURE() << "nothing was raised";
  return "";
}

// Every row of `rows`, each value as it was read.
std::vector<std::vector<Value>> AllRows(Recordset& rows) {
  std::vector<std::vector<Value>> all;
  for (; !rows.Eof(); rows.MoveNext()) {
    std::vector<Value> row;
    for (int32_t i = 0; i < rows.GetFields().Count(); ++i) {
      row.push_back(rows.GetFields().Item(i).GetValue());
    }
    all.push_back(row);
  }
  return all;
}

std::vector<int32_t> Types(const Recordset& rows) {
  std::vector<int32_t> types;
  for (int32_t i = 0; i < rows.GetFields().Count(); ++i) {
    types.push_back(rows.GetFields().Item(i).Type());
  }
  return types;
}

// The database of one test: a new SQLite file, or a new database on the shared server.
class LiveDatabase {
 public:
  virtual ~LiveDatabase() = default;
  virtual std::string OdbcText() = 0;
};

class SqliteDatabase : public LiveDatabase {
 public:
  std::string OdbcText() override { return file_.OdbcText(); }

 private:
  SqliteFile file_;
};

// A new database on the shared server of the kind `Server`.
template <typename Server>
class ServerDatabase : public LiveDatabase {
 public:
  std::string OdbcText() override {
    Server& server = Server::Shared();
    if (name_.empty()) name_ = server.NewDatabase();
    return server.OdbcText(name_);
  }

 private:
  std::string name_;
};

using PostgresDatabase = ServerDatabase<PostgresServer>;
using MariaDbDatabase = ServerDatabase<MariaDbServer>;

struct Engine {
  const char* name;
  std::function<std::unique_ptr<LiveDatabase>()> make;
  // What the driver says of a duplicate key.
  const char* duplicate_key;
};

void PrintTo(const Engine& engine, std::ostream* out) { *out << engine.name; }

class OdbcBackendTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    database_ = GetParam().make();
    db_ = OpenOdbcBackend(database_->OdbcText(), 5);
  }
  void Run(std::initializer_list<std::string> statements) {
    for (const std::string& statement : statements) db_->Execute(statement);
  }

  std::unique_ptr<LiveDatabase> database_;
  std::unique_ptr<OpenBackend> db_;
};

TEST_P(OdbcBackendTest, StatementsThatTouchNoRowSucceedWithoutErrors) {
  Run({"CREATE TABLE Services (id integer, name varchar(50))"});
  std::unique_ptr<Recordset> result = db_->Execute("DELETE FROM Services");
  EXPECT_EQ(result->State(), ado::kStateClosed);
  EXPECT_EQ(db_->ErrorsCount(), 0);
  db_->Execute("UPDATE Services SET name = 'x' WHERE id = 7");
  EXPECT_EQ(db_->ErrorsCount(), 0);
  Run({"INSERT INTO Services VALUES ('1', 'ping')", "DELETE FROM Services"});
  EXPECT_EQ(db_->ErrorsCount(), 0);
  EXPECT_TRUE(db_->OpenTable("Services")->Eof());
}

TEST_P(OdbcBackendTest, RejectedStatementRaisesTheDriversMessage) {
  Run({"CREATE TABLE ATR_Users (id integer PRIMARY KEY, name varchar(50))",
       "INSERT INTO ATR_Users VALUES ('1', 'admin')"});
  const std::string duplicate =
      RaisedBy([&] { db_->Execute("INSERT INTO ATR_Users VALUES ('1', 'again')"); });
  EXPECT_THAT(duplicate, AllOf(HasSubstr(GetParam().duplicate_key), HasSubstr("(SQLSTATE "),
                               Not(HasSubstr("\n"))));
  EXPECT_GE(db_->ErrorsCount(), 1);
  EXPECT_THAT(RaisedBy([&] { db_->OpenTable("Missing"); }), HasSubstr("issing"));
  // The connection goes on after a rejected statement.
  Run({"INSERT INTO ATR_Users VALUES ('2', 'ops')"});
  EXPECT_EQ(AllRows(*db_->OpenTable("ATR_Users")).size(), 2u);
}

TEST_P(OdbcBackendTest, TextsArriveIntactAndNullsStayNull) {
  const std::string long_text(20000, 'x');
  Run({"CREATE TABLE MibObjects (id integer, name varchar(100), descr text)",
       "INSERT INTO MibObjects VALUES ('1', 'O''Brien''s \"router\"', 'Zoë – 東京 ✓')",
       "INSERT INTO MibObjects VALUES ('2', 'two\r\nlines', '')",
       "INSERT INTO MibObjects VALUES ('3', NULL, '" + long_text + "')"});
  std::unique_ptr<Recordset> rows = db_->Execute("SELECT * FROM MibObjects ORDER BY id");
  const auto all = AllRows(*rows);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0][1], Value(std::string("O'Brien's \"router\"")));
  EXPECT_EQ(all[0][2], Value(std::string("Zoë – 東京 ✓")));
  EXPECT_EQ(all[1][1], Value(std::string("two\r\nlines")));
  EXPECT_EQ(all[1][2], Value(std::string()));
  EXPECT_EQ(all[2][1], Value(Null{}));
  EXPECT_EQ(all[2][2], Value(long_text));
}

TEST_P(OdbcBackendTest, RecordsetReadsFrontToBack) {
  Run({"CREATE TABLE ScanRange (id integer, first_ip varchar(15))",
       "INSERT INTO ScanRange VALUES ('1', '10.0.0.1')",
       "INSERT INTO ScanRange VALUES ('2', '10.0.1.1')"});
  std::unique_ptr<Recordset> rows = db_->OpenTable("ScanRange");
  EXPECT_EQ(rows->State(), ado::kStateOpen);
  ASSERT_EQ(rows->GetFields().Count(), 2);
  EXPECT_EQ(rows->GetFields().Item("FIRST_IP").Name(), "first_ip");
  EXPECT_THROW(rows->GetFields().Item("last_ip"), RaisedError);
  EXPECT_THROW(rows->GetFields().Item(2), RaisedError);
  EXPECT_EQ(AllRows(*rows).size(), 2u);
  EXPECT_TRUE(rows->Eof());
  EXPECT_THROW(rows->GetFields().Item(0).GetValue(), RaisedError);
  EXPECT_THROW(rows->MoveNext(), RaisedError);
  rows->Close();
  EXPECT_EQ(rows->State(), ado::kStateClosed);
  EXPECT_THROW(rows->Close(), RaisedError);
}

TEST_P(OdbcBackendTest, ClosedConnectionRefusesStatementsButKeepsItsOpenRows) {
  Run({"CREATE TABLE TrapEvents (id integer)", "INSERT INTO TrapEvents VALUES ('5')"});
  std::unique_ptr<Recordset> rows = db_->OpenTable("TrapEvents");
  db_->Close();
  EXPECT_THROW(db_->Execute("DELETE FROM TrapEvents"), RaisedError);
  EXPECT_EQ(rows->GetFields().Item(0).GetValue(), Value(int32_t(5)));
  db_.reset();
  rows->MoveNext();
  EXPECT_TRUE(rows->Eof());
}

INSTANTIATE_TEST_SUITE_P(
    Engines, OdbcBackendTest,
    ::testing::Values(Engine{"Sqlite", [] { return std::make_unique<SqliteDatabase>(); },
                             "UNIQUE constraint failed"},
                      Engine{"Postgres", [] { return std::make_unique<PostgresDatabase>(); },
                             "duplicate key value violates unique constraint"}),
    [](const ::testing::TestParamInfo<Engine>& info) { return std::string(info.param.name); });

TEST(SqliteBackend, ColumnsHaveAdoTypesAndTypedValues) {
  SqliteFile file;
  auto db = OpenOdbcBackend(file.OdbcText(), 5);
  db->Execute(
      "CREATE TABLE ATR_Nodes (id integer, name varchar(50), ratio double, seen timestamp, "
      "big bigint, flag bit, raw blob)");
  db->Execute(
      "INSERT INTO ATR_Nodes VALUES ('7', 'core', '2.5', '2024-03-01 13:45:30', "
      "'9000000000', '1', X'00FF10')");
  db->Execute("INSERT INTO ATR_Nodes VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
  auto rows = db->OpenTable("ATR_Nodes");
  EXPECT_EQ(Types(*rows),
            (std::vector<int32_t>{ado_type::kInteger, ado_type::kVarChar, ado_type::kDouble,
                                  ado_type::kDBTimeStamp, ado_type::kBigInt, ado_type::kBoolean,
                                  ado_type::kBinary}));
  const auto all = AllRows(*rows);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0], (std::vector<Value>{int32_t(7), std::string("core"), 2.5,
                                        Date{45352 + (13 * 3600 + 45 * 60 + 30) / 86400.0},
                                        int64_t(9000000000), true, Bytes{0x00, 0xFF, 0x10}}));
  EXPECT_EQ(all[1], std::vector<Value>(7, Null{}));
}

class PostgresBackend : public ::testing::Test {
 protected:
  void SetUp() override { db_ = OpenOdbcBackend(database_.OdbcText(), 5); }

  PostgresDatabase database_;
  std::unique_ptr<OpenBackend> db_;
};

TEST_F(PostgresBackend, NoticesCountAsErrorsOfTheirOwnStatement) {
  db_->Execute("DO $$ BEGIN RAISE NOTICE 'restore check'; END $$");
  EXPECT_EQ(db_->ErrorsCount(), 1);
  db_->Execute("SELECT 1");
  EXPECT_EQ(db_->ErrorsCount(), 0);

  db_->Execute("CREATE TABLE EventActions (id integer)");
  db_->Execute(
      "CREATE FUNCTION speak() RETURNS trigger AS $$ BEGIN RAISE NOTICE 'emptied'; RETURN NULL; "
      "END $$ LANGUAGE plpgsql");
  db_->Execute(
      "CREATE TRIGGER on_delete AFTER DELETE ON EventActions FOR EACH STATEMENT EXECUTE "
      "FUNCTION speak()");
  db_->Execute("DELETE FROM EventActions");
  EXPECT_EQ(db_->ErrorsCount(), 1);
  db_->Execute("INSERT INTO EventActions VALUES ('1')");
  EXPECT_EQ(db_->ErrorsCount(), 0);
}

TEST_F(PostgresBackend, ColumnsHaveAdoTypesAndTypedValues) {
  db_->Execute(
      "CREATE TABLE Settings (s smallint, i integer, b bigint, r real, d double precision, "
      "n numeric(12,4), t timestamp, day date, tod time, u uuid, raw bytea, c char(3))");
  db_->Execute(
      "INSERT INTO Settings VALUES ('-3', '70000', '-9000000000', '1.5', '2.25', '-1234.5678', "
      "'1899-12-29 06:00:00', '2024-03-01', '13:45:30', "
      "'0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9', '\\x00ff', 'ab')");
  db_->Execute("INSERT INTO Settings (s) VALUES (NULL)");
  auto rows = db_->Execute("SELECT * FROM Settings ORDER BY s");
  EXPECT_EQ(Types(*rows),
            (std::vector<int32_t>{ado_type::kSmallInt, ado_type::kInteger, ado_type::kBigInt,
                                  ado_type::kSingle, ado_type::kDouble, ado_type::kNumeric,
                                  ado_type::kDBTimeStamp, 133, 134, ado_type::kGuid,
                                  ado_type::kLongVarBinary, ado_type::kChar}));
  const auto all = AllRows(*rows);
  ASSERT_EQ(all.size(), 2u);
  const Decimal amount{12345678, 0, 4, true};
  const Guid guid{0x0a1b2c3d, 0x4e5f, 0x6071, {0x82, 0x93, 0xa4, 0xb5, 0xc6, 0xd7, 0xe8, 0xf9}};
  EXPECT_EQ(all[0], (std::vector<Value>{int16_t(-3), int32_t(70000), int64_t(-9000000000), 1.5f,
                                        2.25, amount, Date{-1.25}, Date{45352},
                                        Date{(13 * 3600 + 45 * 60 + 30) / 86400.0}, guid,
                                        Bytes{0x00, 0xFF}, std::string("ab ")}));
  EXPECT_EQ(all[1], std::vector<Value>(12, Null{}));
}

// The session reads a backslash as itself and keeps the server's other modes; the statement that
// adds the mode leaves no stray comma when the session has none.
TEST(MariaDbBackend, SessionReadsBackslashesAsWrittenAndKeepsItsOtherModes) {
  MariaDbDatabase database;
  auto db = OpenOdbcBackend(database.OdbcText(), 5);
  const auto mode = [&] { return AllRows(*db->Execute("SELECT @@SESSION.sql_mode, 'C:\\'")); };
  EXPECT_EQ(mode(), (std::vector<std::vector<Value>>{
                        {std::string("NO_BACKSLASH_ESCAPES,STRICT_TRANS_TABLES,"
                                     "ERROR_FOR_DIVISION_BY_ZERO,NO_AUTO_CREATE_USER,"
                                     "NO_ENGINE_SUBSTITUTION"),
                         std::string("C:\\")}}));
  db->Execute("SET SESSION sql_mode = ''");
  db->Execute(*SessionModeStatement("MariaDB"));
  EXPECT_EQ(mode()[0][0], Value(std::string("NO_BACKSLASH_ESCAPES")));
}

}  // namespace
}  // namespace toverak
