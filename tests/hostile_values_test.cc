// Hostile texts restored from a backup into SQLite, PostgreSQL (also with backslash escapes in
// its literals by default) and MariaDB: every byte arrives as it left the backup, and no value
// changes what a statement does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/fake/fake_host.h"
#include "platform/posix/posix_env.h"
#include "testing/jet_writer.h"
#include "testing/mariadb_server.h"
#include "testing/postgres_server.h"
#include "testing/product_folder.h"
#include "testing/restore_in_process.h"
#include "testing/temp_folder.h"

namespace toverak {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// Texts of at most 64 characters that end a literal early, escape its end or a character,
// join statements, break lines, look like parameters or ODBC escapes, or need more than 16 bits
// a character, when written naively. Each is restored beside the next one: a Windows path is
// followed by a value that, after a literal whose end a backslash escaped, reads as an
// expression.
const std::vector<std::string> kHostileTexts = {
    "'",
    "''",
    "'''",
    "O'Brien's ''quoted'' word",
    "'); DELETE FROM ATR_Users; --",
    "x', '1'); DROP TABLE ATR_Log; --",
    "C:\\Narvel\\Backups\\",
    "\\",
    "\\'",
    "\\\\",
    "\\N",
    "D:\\Narvel\\Backups\\",
    ", CURRENT_USER()) -- ",
    "two\r\nlines",
    "lone\rcarriage return",
    "\r\n",
    "tab\tbetween\tcolumns\t",
    "-- a comment /* and another",
    "%_ [wild] ? *",
    "?",
    "{fn UCASE('x')} {d '2024-01-01'} {call p(?)}",
    "$1 $$dollar$$ :name @var",
    "\xF0\x9F\x98\x80 \xF0\x9D\x84\x9E \xF0\xA0\x9C\x8E outside the BMP",
    "",
};

std::string Repeated(const std::string& unit, size_t times) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += unit;
  return text;
}

// 255 characters, most of them quotes, ending with a backslash.
const std::string kLongestText = std::string(127, '\'') + std::string(127, 'x') + "\\";
// Memos of 100,000 characters: one of every hostile kind of byte, one outside the BMP.
const std::string kLongMemo = Repeated("it's\\ \r\n\t\"x", 10000);
const std::string kNonBmpMemo = Repeated("\xF0\x9F\x98\x80", 100000);

const char kLoginAttack[] = "'); DELETE FROM ATR_Users; --";
const char kUserAttack[] = "Robert'); DELETE FROM ATR_Users; --";
const char kUpdateAttack[] = "x', EnablePoll = '0";

// The restore's test backup with hostile texts in tables of all three methods.
nlohmann::json HostileBackup() {
  nlohmann::json description = Fixture("narvel_backup");
  for (auto& table : description["tables"]) {
    const std::string name = table["name"];
    auto& rows = table["rows"];
    if (name == "ATR_Users") {
      rows.push_back({3, kLoginAttack, kUserAttack, false, 1});
    } else if (name == "CustomMenus") {
      rows = nlohmann::json::array();
      for (size_t i = 0; i < kHostileTexts.size(); ++i) {
        rows.push_back({i, kHostileTexts[i], kHostileTexts[(i + 1) % kHostileTexts.size()]});
      }
      rows.push_back({kHostileTexts.size(), Repeated("\xF0\x9F\x98\x80", 32), kLongestText});
    } else if (name == "MibObjects") {
      rows = {{1, "1.3.6.1", "long memo", kLongMemo}, {2, "1.3.6.2", "wide memo", kNonBmpMemo}};
    } else if (name == "Settings") {
      rows[0][9] = "D:\\Narvel's backups\\";  // BackupPath
    } else if (name == "DiscAgt") {
      rows[0][12] = kUpdateAttack;  // writecomm
      rows[0][11] = "pub'lic\\";    // readcomm
    } else if (name == "ATR_Log") {
      rows = nlohmann::json::array();
      for (size_t i = 0; i < kHostileTexts.size(); ++i) {
        rows.push_back({100 + i, "2024-05-01 10:00:00", 1, 1, kHostileTexts[i]});
      }
    }
  }
  return description;
}

// Every row of `query` on `target`, each value as the database gives it: texts byte for byte,
// Null as "<null>", other values in their general text form.
std::vector<std::vector<std::string>> Rows(const std::string& target, const std::string& query) {
  std::unique_ptr<Database> database = NewPosixDatabase();
  std::unique_ptr<Connection> connection = database->NewConnection();
  connection->SetConnectionString(target);
  connection->Open();
  std::unique_ptr<Recordset> rows = connection->Execute(query);
  std::vector<std::vector<std::string>> table;
  FakeHost host;
  for (; !rows->Eof(); rows->MoveNext()) {
    std::vector<std::string> row;
    const Fields& fields = rows->GetFields();
    for (int32_t i = 0; i < fields.Count(); ++i) {
      const Value value = fields.Item(i).GetValue();
      row.push_back(IsNull(value) ? "<null>" : host.ValueText(value));
    }
    table.push_back(row);
  }
  return table;
}

// A kind of live database: its server (none for SQLite files) and the column that orders the
// event log as it was inserted.
struct LiveKind {
  const char* name;
  LiveServer* (*server)();
  const char* event_order;
};

void PrintTo(const LiveKind& kind, std::ostream* out) { *out << kind.name; }

LiveServer* SharedPostgres() { return &PostgresServer::Shared(); }
LiveServer* SharedMariaDb() { return &MariaDbServer::Shared(); }

// A PostgreSQL server that reads backslashes in '...' as escapes, as older installations do.
LiveServer* PostgresWithEscapes() {
  static PostgresServer server("-c standard_conforming_strings=off");
  return &server;
}

class HostileValues : public ::testing::TestWithParam<LiveKind> {
 protected:
  // A live database of the 13 tables with their older rows, of the kind of the parameter.
  std::string MakeLive() {
    if (LiveServer* server = GetParam().server ? GetParam().server() : nullptr) {
      return server->OdbcText(server->NewLiveDatabase());
    }
    for (const char* script : {"live_schema_sqlite.sql", "live_older_rows.sql"}) {
      const std::string command = "sqlite3 '" + sqlite_.path().string() + "' < " +
                                  TOVERAK_SOURCE_DIR + "/testing/fixtures/" + script;
      EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
    return sqlite_.OdbcText();
  }
  std::filesystem::path WriteBackup(const nlohmann::json& description) {
    const std::filesystem::path path = folder_.path() / "NarvelBackup_2024-05-01.mdb";
    WriteJetDatabase(description, path);
    return path;
  }

  TempFolder folder_;
  SqliteFile sqlite_;
};

TEST_P(HostileValues, ArriveByteForByteAndChangeNoStatement) {
  const std::string live = MakeLive();
  const RestoreOutcome outcome = RestoreInProcess(live, WriteBackup(HostileBackup()));
  ASSERT_TRUE(outcome.ok) << outcome.log;
  EXPECT_EQ(outcome.log, "");

  std::vector<std::vector<std::string>> menus;
  for (size_t i = 0; i < kHostileTexts.size(); ++i) {
    menus.push_back({kHostileTexts[i], kHostileTexts[(i + 1) % kHostileTexts.size()]});
  }
  menus.push_back({Repeated("\xF0\x9F\x98\x80", 32), kLongestText});
  EXPECT_EQ(Rows(live, "SELECT caption, command FROM CustomMenus ORDER BY menu_id"), menus);

  const auto memos = Rows(live, "SELECT description FROM MibObjects ORDER BY mib_id");
  ASSERT_EQ(memos.size(), 2u);
  EXPECT_TRUE(memos[0][0] == kLongMemo) << "the memo of " << memos[0][0].size() << " bytes";
  EXPECT_TRUE(memos[1][0] == kNonBmpMemo) << "the memo of " << memos[1][0].size() << " bytes";

  std::vector<std::vector<std::string>> events;
  for (const std::string& text : kHostileTexts) events.push_back({text});
  EXPECT_EQ(
      Rows(live, std::string("SELECT message FROM ATR_Log ORDER BY ") + GetParam().event_order),
      events);

  // The attacks are plain values: every user is there, every other column of the merged row is
  // the backup's.
  EXPECT_EQ(Rows(live, "SELECT login, full_name FROM ATR_Users WHERE user_id = 3"),
            (std::vector<std::vector<std::string>>{{kLoginAttack, kUserAttack}}));
  EXPECT_EQ(Rows(live, "SELECT count(*) FROM ATR_Users"),
            (std::vector<std::vector<std::string>>{{"3"}}));
  const auto agent = Rows(live, "SELECT writecomm, readcomm, EnablePoll, AgentHost FROM DiscAgt");
  ASSERT_EQ(agent.size(), 1u);
  EXPECT_EQ(agent[0][0], kUpdateAttack);
  EXPECT_EQ(agent[0][1], "pub'lic\\");
  EXPECT_THAT(agent[0][2], ::testing::AnyOf("True", "1"));
  EXPECT_EQ(agent[0][3], "live-host, kept");
  EXPECT_EQ(Rows(live, "SELECT BackupPath FROM Settings"),
            (std::vector<std::vector<std::string>>{{"D:\\Narvel's backups\\"}}));
}

// A quoted literal cannot carry a NUL character. The statement goes to the driver whole, with
// its length, but SQLite and MariaDB's driver read a statement only up to a NUL and PostgreSQL's
// protocol cannot carry one: either way the database sees an unterminated literal and rejects the
// statement, and the restore ends in its handler with the database's own message. Rows before it
// stay; nothing after it runs.
TEST_P(HostileValues, ATextWithANulEndsTheRunWithTheDatabasesMessage) {
  const std::string live = MakeLive();
  nlohmann::json description = Fixture("narvel_backup");
  for (auto& table : description["tables"]) {
    if (table["name"] == "CustomMenus") table["rows"][1][1] = std::string("before\0after", 12);
  }
  const RestoreOutcome outcome = RestoreInProcess(live, WriteBackup(description));
  EXPECT_FALSE(outcome.ok);
  EXPECT_THAT(outcome.log, StartsWith("Restore_Err_Handler: "));
  EXPECT_THAT(outcome.log, HasSubstr("'before"));
  EXPECT_THAT(outcome.log, ::testing::EndsWith("\r\n\r\n"));
  EXPECT_THAT(outcome.progress, ::testing::EndsWith("Restore of Table CustomMenus..."));
  EXPECT_EQ(Rows(live, "SELECT count(*) FROM CustomMenus"),
            (std::vector<std::vector<std::string>>{{"1"}}));
  EXPECT_EQ(Rows(live, "SELECT name FROM SecProfiles"),
            (std::vector<std::vector<std::string>>{{"Old profile"}}))
      << "a table after the failing one was touched";
}

INSTANTIATE_TEST_SUITE_P(Into, HostileValues,
                         ::testing::Values(LiveKind{"Sqlite", nullptr, "rowid"},
                                           LiveKind{"Postgres", SharedPostgres, "log_id"},
                                           LiveKind{"PostgresWithEscapes", PostgresWithEscapes,
                                                    "log_id"},
                                           LiveKind{"MariaDb", SharedMariaDb, "log_id"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace toverak
