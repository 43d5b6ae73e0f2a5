// The session mode that a live connection enters after its login, seen through a driver that
// records what it is sent: one statement for the databases that would read a literal otherwise
// than it is written, sent once before the restore's first statement; nothing for any other.
#include <gtest/gtest.h>

#include "app/backup_check.h"
#include "platform/fake/fake_host.h"
#include "platform/fake/fake_service_manager.h"
#include "platform/posix/posix_env.h"
#include "testing/jet_writer.h"
#include "testing/product_folder.h"
#include "testing/restore_in_process.h"
#include "testing/temp_folder.h"

namespace toverak {
namespace {

struct Kind {
  const char* name;
  const char* dbms;  // what the driver answers for SQL_DBMS_NAME
  std::vector<std::string> session_mode;
};

void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.dbms; }

// Every statement that a restore from `backup` sends to the live database, as toverak-check
// lists them.
std::vector<std::string> RestoreStatements(const std::filesystem::path& backup) {
  FakeHost host;
  std::unique_ptr<Database> database = NewPosixDatabase();
  FakeServiceManager services;
  Program program{Env{host, *database, services}, host.executable_folder};
  return CheckBackup(program, backup.string()).statements;
}

// The restore of the test backup into the recording driver.
class RecordingDriver : public ::testing::Test {
 protected:
  RecordingDriver() : backup_(folder_.path() / "NarvelBackup_2024-05-01.mdb") {
    WriteJetDatabase(Fixture("narvel_backup"), backup_);
  }
  // The connection string of the driver, answering `dbms`.
  std::string Target(const std::string& dbms, const std::string& more = "") const {
    return std::string("Driver=") + TOVERAK_RECORDING_ODBC_DRIVER + ";Dbms=" + dbms +
           ";Log=" + (folder_.path() / "sent").string() + more;
  }
  // The login and the statements that the driver was sent, in order.
  std::vector<std::string> Sent() const {
    std::vector<std::string> sent;
    const std::string log = folder_.Read("sent");
    for (size_t begin = 0, end; (end = log.find('\0', begin)) != std::string::npos;
         begin = end + 1) {
      sent.push_back(log.substr(begin, end - begin));
    }
    return sent;
  }

  TempFolder folder_;
  std::filesystem::path backup_;
};

class SessionMode : public RecordingDriver, public ::testing::WithParamInterface<Kind> {};

TEST_P(SessionMode, IsEnteredOnceAfterTheLoginAndBeforeTheRestore) {
  const RestoreOutcome outcome = RestoreInProcess(Target(GetParam().dbms), backup_);
  ASSERT_TRUE(outcome.ok) << outcome.log;
  std::vector<std::string> expected = {"<login>"};
  expected.insert(expected.end(), GetParam().session_mode.begin(), GetParam().session_mode.end());
  const std::vector<std::string> restore = RestoreStatements(backup_);
  expected.insert(expected.end(), restore.begin(), restore.end());
  EXPECT_EQ(Sent(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Databases, SessionMode,
    ::testing::Values(Kind{"SqlServer", "Microsoft SQL Server", {"SET DATEFORMAT ymd"}},
                      Kind{"SqlServerThroughOlderFreeTds", "SQL Server", {"SET DATEFORMAT ymd"}},
                      Kind{"MySql",
                           "MySQL",
                           {"SET SESSION sql_mode = CONCAT_WS(',', NULLIF(@@SESSION.sql_mode, ''), "
                            "'NO_BACKSLASH_ESCAPES')"}},
                      Kind{"Postgres", "PostgreSQL", {"SET standard_conforming_strings = on"}},
                      Kind{"Sqlite", "SQLite", {}}, Kind{"Oracle", "Oracle", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The database refuses the mode: the open fails with its message, and nothing of the restore is
// sent.
TEST_F(RecordingDriver, ASessionModeThatTheDatabaseRefusesFailsTheOpenWithItsMessage) {
  const RestoreOutcome outcome =
      RestoreInProcess(Target("Microsoft SQL Server", ";Refuse=SET DATEFORMAT"), backup_);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.log,
            "Restore_Err_Handler: refused: SET DATEFORMAT ymd (SQLSTATE 42000)\r\n\r\n");
  EXPECT_EQ(Sent(), (std::vector<std::string>{"<login>", "SET DATEFORMAT ymd"}));
}

}  // namespace
}  // namespace toverak
