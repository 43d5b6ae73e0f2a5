// Whole runs of the real executable: a product folder with Narvel.mdb, a live database, a
// backup written by the Jet writer, and the three services as units on a private bus.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>

#include <chrono>
#include <cstdlib>
#include <map>
#include <regex>

#include "platform/posix/posix_env.h"
#include "restore/restore_tables.h"
#include "restore/table_steps.h"
#include "testing/dbus_systemd.h"
#include "testing/jet_description.h"
#include "testing/mariadb_server.h"
#include "testing/postgres_server.h"
#include "testing/product_folder.h"
#include "testing/table_compare.h"

namespace toverak {
namespace {

// A pattern that matches `text` exactly, with "<stamp>" standing for any time stamp.
std::regex LinePattern(const std::string& text) {
  static const std::regex kSpecial(R"([.^$|()\[\]{}*+?\\])");
  std::string pattern = std::regex_replace(text, kSpecial, R"(\$&)");
  const std::string stamp = "<stamp>";
  for (size_t at; (at = pattern.find(stamp)) != std::string::npos;) {
    pattern.replace(at, stamp.size(), R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})");
  }
  return std::regex(pattern);
}

// Compares log lines with expected ones, in which "<stamp>" stands for a time stamp.
void ExpectLogLines(const std::string& log, const std::vector<std::string>& expected) {
  const std::vector<std::string> lines = LogLines(log);
  ASSERT_EQ(lines.size(), expected.size()) << log;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], LinePattern(expected[i])))
        << "line " << i + 1 << ": \"" << lines[i] << "\", expected \"" << expected[i] << "\"";
  }
}

std::vector<std::string> StopTurn(const std::string& service, const std::string& word) {
  return {service,           "Service is started",
          "<stamp>",         "Attempting to stop the " + word + " service...",
          "Service stopped", ""};
}

std::vector<std::string> StartTurn(const std::string& service, const std::string& word,
                                   const std::string& success) {
  return {service,   "Service is stopped",
          "<stamp>", "Attempting to start the " + word + " service...",
          success,   ""};
}

std::vector<std::string> SuccessfulRoad(const std::string& backup) {
  std::vector<std::string> road = {"<stamp>", "SQL ConnString found",          "Narvel ver: 5.2.0",
                                   "",        "Restore file Found: " + backup, ""};
  for (const auto& turn : {StopTurn("Narvel Discovery Agent", "Discovery"),
                           StopTurn("Narvel Poller", "Poll"), StopTurn("Narvel Server", "Main")}) {
    road.insert(road.end(), turn.begin(), turn.end());
  }
  road.insert(road.end(), {"Starting Restore...", "<stamp>", ""});
  for (const std::string& table : PlanTables()) road.push_back("Restore of Table " + table + "...");
  road.insert(road.end(), {"Restore Operation Completed", "<stamp>", "", ""});
  for (const auto& turn :
       {StartTurn("Narvel Server", "Main", "Service started"),
        StartTurn("Narvel Poller", "Poll", "Service started"),
        StartTurn("Narvel Discovery Agent", "Discovery", "Service is started")}) {
    road.insert(road.end(), turn.begin(), turn.end());
  }
  road.push_back("All services started");
  return road;
}

// A live SQLite database with the 13 tables and their older contents.
std::string MakeSqliteLive(const std::filesystem::path& file) {
  const std::string fixtures = std::string(TOVERAK_SOURCE_DIR) + "/testing/fixtures/";
  for (const char* script : {"live_schema_sqlite.sql", "live_older_rows.sql"}) {
    const std::string command = "sqlite3 '" + file.string() + "' < " + fixtures + script;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  }
  return "Driver={SQLite3};Database=" + file.string();
}

// Every line that the SQLite command-line shell prints for `sql` on the live database `live`.
std::vector<std::string> SqliteLines(const std::string& live, const std::string& sql) {
  const std::string file = live.substr(live.find("Database=") + 9);
  const std::string command = "sqlite3 '" + file + "' \"" + sql + "\"";
  std::FILE* pipe = popen(command.c_str(), "r");
  std::vector<std::string> lines;
  char text[4096];
  while (std::fgets(text, sizeof text, pipe) != nullptr) {
    lines.emplace_back(text, std::strcspn(text, "\n"));
  }
  pclose(pipe);
  return lines;
}

std::string SqliteCount(const std::string& live, const std::string& table) {
  const std::vector<std::string> lines = SqliteLines(live, "SELECT count(*) FROM " + table);
  return lines.empty() ? "" : lines.front();
}

// Doubles and Singles that 15 and 7 digits would not give back, and the ends of their ranges
// (not the largest Double, which SQLite's ODBC driver, reading 15 digits, would make infinite).
const std::vector<double> kExactDoubles = {
    0.30000000000000004,      123456789.12345678,     1.0 / 3, 1e20, 1.2345678901234567e300,
    -2.2250738585072014e-308, 4.9406564584124654e-324};
const std::vector<float> kExactSingles = {1.0000001f,    3.1415927f,       16777216.0f, 0.1f,
                                          3.4028235e38f, -1.17549435e-38f, 1e-45f};

// The backup of the successful runs, with rows of Services (timeout_s, a Double) and
// SecProfiles (weight, a Single) that hold them.
nlohmann::json BackupWithExactNumbers() {
  nlohmann::json description = Fixture("narvel_backup");
  for (auto& table : description["tables"]) {
    for (size_t i = 0; i < kExactDoubles.size() && table["name"] == "Services"; ++i) {
      table["rows"].push_back(
          {10 + i, 1, "exact " + std::to_string(i), 1000 + i, kExactDoubles[i]});
    }
    for (size_t i = 0; i < kExactSingles.size() && table["name"] == "SecProfiles"; ++i) {
      table["rows"].push_back({10 + i, "exact " + std::to_string(i), false, "0", kExactSingles[i]});
    }
  }
  return description;
}

// The SQLite columns that BackupWithEveryKindOfColumn adds to Services. SQLite keeps no more
// than a Double's digits in a NUMERIC column: the 28-digit decimals go to a TEXT one.
const char kAddedSqliteColumns[] =
    "ALTER TABLE Services ADD COLUMN cost NUMERIC; ALTER TABLE Services ADD COLUMN share TEXT; "
    "ALTER TABLE Services ADD COLUMN units NUMERIC; ALTER TABLE Services ADD COLUMN label TEXT; "
    "ALTER TABLE Services ADD COLUMN checked DATETIME;";

// BackupWithExactNumbers as an Access 2019 file whose Services also has Decimal columns of three
// scales, a calculated column and a Date/Time Extended one.
nlohmann::json BackupWithEveryKindOfColumn() {
  nlohmann::json description = BackupWithExactNumbers();
  for (auto& table : description["tables"]) {
    if (table["name"] != "Services") continue;
    for (const nlohmann::json& column : nlohmann::json::parse(R"json([
           {"name": "cost", "type": "decimal", "precision": 10, "scale": 4},
           {"name": "share", "type": "decimal", "precision": 28, "scale": 10},
           {"name": "units", "type": "decimal", "precision": 5},
           {"name": "label", "type": "text", "expression": "[name] & \":\" & [port]"},
           {"name": "checked", "type": "datetimeextended"}])json")) {
      table["columns"].push_back(column);
    }
    const nlohmann::json added = nlohmann::json::parse(R"json([
        ["123456.789", "123456789012345678.1234567891", 12345, "SNMP:161",
         "2021-06-14 22:45:12.3456789"],
        ["-0.0001", "-0.0000000001", -1, "SSH:22", "1899-12-28 23:59:59.6"],
        [null, null, null, null, null],
        ["999999.9999", "999999999999999999.9999999999", 0, "a", "0100-01-01 00:00:00.4"]])json");
    auto& rows = table["rows"];
    for (size_t i = 0; i < rows.size(); ++i) {
      for (const auto& value : added[std::min(i, added.size() - 1)]) rows[i].push_back(value);
    }
  }
  return description;
}

// The bits of the numbers of `column` in `table` of the backup that `description` describes, in
// the order of its rows: a Single's as a Single.
std::vector<uint64_t> BackupBits(const nlohmann::json& description, const std::string& table,
                                 size_t column) {
  std::vector<uint64_t> bits;
  for (const JetTable& backup_table : ParseJetDescription(description).tables) {
    if (backup_table.name != table) continue;
    for (const JetRow& row : backup_table.rows) {
      if (const auto* single = std::get_if<float>(&row[column])) {
        bits.push_back(std::bit_cast<uint32_t>(*single));
      } else {
        bits.push_back(std::bit_cast<uint64_t>(std::get<double>(row[column])));
      }
    }
  }
  return bits;
}

class EndToEnd : public testing::Test {
 protected:
  EndToEnd() : product_(TOVERAK_EXECUTABLE), database_(NewPosixDatabase()) {}

  std::string TemplatePath() const {
    return (product_.backups() / "NarvelBackup_xxxx-xx-xx.mdb").string();
  }
  std::filesystem::path TodaysBackup(const nlohmann::json& description) const {
    return product_.WriteBackup(description, "NarvelBackup_" + TodayText() + ".mdb");
  }
  CanonicalTable Live(const std::string& live, const std::string& query) {
    return ReadCanonical(*database_, live, query);
  }
  CanonicalTable Backup(const std::filesystem::path& backup, const std::string& query) {
    return ReadCanonical(*database_, BackupConnectionString(backup.string()), query);
  }

  // Every live table holds what the backup holds; the unlisted settings columns keep theirs.
  void ExpectRestored(const std::string& live, const std::filesystem::path& backup,
                      const std::string& event_log_query) {
    std::map<std::string, std::string> first_columns;
    const nlohmann::json description = Fixture("narvel_backup");
    for (const auto& table : description["tables"]) {
      first_columns[table["name"].get<std::string>()] =
          table["columns"][0]["name"].get<std::string>();
    }
    for (const std::string& table : PlanTables()) {
      const auto* listed = MergedColumnsOf(table);
      if (table == "ATR_Log") {
        const CanonicalTable events = Backup(backup, "SELECT * FROM ATR_Log ORDER BY log_id");
        EXPECT_EQ(Live(live, event_log_query).rows, WithoutFirstColumn(events).rows);
      } else if (listed) {
        const CanonicalTable restored = Live(live, "SELECT * FROM " + table);
        const CanonicalTable source =
            Backup(backup, "SELECT * FROM " + table + " ORDER BY " + listed->front());
        ASSERT_EQ(restored.rows.size(), 1u) << table;
        EXPECT_EQ(ColumnsOfRow(restored, 0, *listed), ColumnsOfRow(source, 0, *listed)) << table;
        EXPECT_NE(restored.rows[0].back().find("kept"), std::string::npos) << table;
      } else {
        const std::string order = " ORDER BY " + first_columns[table];
        EXPECT_EQ(Live(live, "SELECT * FROM " + table + order).rows,
                  Backup(backup, "SELECT * FROM " + table + order).rows)
            << table;
      }
    }
  }

  // The bits of the numbers of `column` in the live `table`, in the order of `key`: a Single's
  // as a Single (SQLite gives it back as a Double). Read exactly: SQLite's ODBC driver gives
  // only 15 digits.
  std::vector<uint64_t> LiveBits(const std::string& live, const std::string& table,
                                 const std::string& column, const std::string& key, bool single) {
    std::vector<uint64_t> bits;
    if (live.starts_with("Driver={SQLite3}")) {
      for (const std::string& line :
           SqliteLines(live, "SELECT ieee754_mantissa(" + column + ") || ' ' || ieee754_exponent(" +
                                 column + ") FROM " + table + " ORDER BY " + key)) {
        const double number = std::ldexp(std::stod(line), std::stoi(line.substr(line.find(' '))));
        bits.push_back(single ? std::bit_cast<uint32_t>(static_cast<float>(number))
                              : std::bit_cast<uint64_t>(number));
      }
      return bits;
    }
    // Marked with an "x", so that the hexadecimal digits are not taken for a number.
    const std::string send = single ? "float4send" : "float8send";
    const CanonicalTable sent = Live(live, "SELECT 'x' || encode(" + send + "(" + column +
                                               "), 'hex') FROM " + table + " ORDER BY " + key);
    for (const auto& row : sent.rows) bits.push_back(std::stoull(row[0].substr(1), nullptr, 16));
    return bits;
  }

  // Every Double of Services and every Single of SecProfiles is the backup's, bit for bit.
  void ExpectExactNumbers(const std::string& live, const nlohmann::json& description) {
    EXPECT_EQ(LiveBits(live, "Services", "timeout_s", "service_id", false),
              BackupBits(description, "Services", 4));
    EXPECT_EQ(LiveBits(live, "SecProfiles", "weight", "secprofile_id", true),
              BackupBits(description, "SecProfiles", 4));
  }

  // A whole run into `live` from today's backup, made from `description`, takes the successful
  // road: every live table holds the backup's rows, the event log as `event_log_query` reads it,
  // and every service runs.
  void ExpectSuccessfulRun(const std::string& live, const nlohmann::json& description,
                           const std::string& event_log_query) {
    SystemdOnPrivateBus bus(kRunningUnits);
    product_.WriteNarvelMdb(true, live);
    const std::filesystem::path backup = TodaysBackup(description);
    const ProductRun run = product_.Run(TemplatePath());
    EXPECT_EQ(run.status, 0) << run.console;
    ExpectLogLines(run.log, SuccessfulRoad(backup.string()));
    ExpectRestored(live, backup, event_log_query);
    ExpectUnits(bus, {"active", "active", "active"});
  }

  void ExpectUnits(SystemdOnPrivateBus& bus, const std::vector<std::string>& states) {
    for (size_t i = 0; i < 3; ++i)
      EXPECT_EQ(bus.ActiveState(kServices[i]), states[i]) << kServices[i];
  }

  ProductFolder product_;
  std::unique_ptr<Database> database_;
};

// From an Access 2019 backup with every kind of column that a restore copies.
TEST_F(EndToEnd, ASuccessfulRunIntoSqlite) {
  const std::string live = MakeSqliteLive(product_.backups() / "live.db");
  SqliteLines(live, kAddedSqliteColumns);
  const nlohmann::json description = BackupWithEveryKindOfColumn();
  ExpectSuccessfulRun(live, description, "SELECT * FROM ATR_Log ORDER BY rowid");
  ExpectExactNumbers(live, description);
  // The decimals in full, and the extended dates rounded to the second as a date is, forward
  // in time before 30 December 1899 too.
  const std::vector<std::string> exact = SqliteLines(
      live,
      "SELECT share || '|' || checked FROM Services WHERE service_id <= 10 AND share IS NOT NULL "
      "ORDER BY service_id");
  EXPECT_EQ(exact, (std::vector<std::string>{"123456789012345678.1234567891|2021-06-14 22:45:12",
                                             "-0.0000000001|1899-12-29",
                                             "999999999999999999.9999999999|0100-01-01"}));
}

TEST_F(EndToEnd, ASuccessfulRunIntoPostgres) {
  PostgresServer& server = PostgresServer::Shared();
  // Booleans come back as truth values rather than as the characters 1 and 0.
  const std::string live = server.OdbcText(server.NewLiveDatabase()) + ";BoolsAsChar=0";
  const nlohmann::json description = BackupWithExactNumbers();
  ExpectSuccessfulRun(live, description,
                      "SELECT logged_at, node_id, severity, message FROM ATR_Log ORDER BY log_id");
  ExpectExactNumbers(live, description);
}

// The backup's Windows paths end in a backslash: they arrive as they are, and the statement goes
// on after them.
TEST_F(EndToEnd, ASuccessfulRunIntoMariaDb) {
  MariaDbServer& server = MariaDbServer::Shared();
  ExpectSuccessfulRun(server.OdbcText(server.NewLiveDatabase()), Fixture("narvel_backup"),
                      "SELECT logged_at, node_id, severity, message FROM ATR_Log ORDER BY log_id");
}

TEST_F(EndToEnd, AProductNotOnSqlEndsAtOnceAndTouchesNothing) {
  SystemdOnPrivateBus bus(kRunningUnits);
  const std::string live = MakeSqliteLive(product_.backups() / "live.db");
  product_.WriteNarvelMdb(false, live);
  TodaysBackup(Fixture("narvel_backup"));
  const ProductRun run = product_.Run(TemplatePath());
  EXPECT_EQ(run.status, 2);
  ExpectLogLines(run.log, {"<stamp>", "SQL ConnString not found", ""});
  EXPECT_EQ(SqliteCount(live, "ATR_Log"), "4");
  ExpectUnits(bus, {"active", "active", "active"});
}

TEST_F(EndToEnd, AMissingBackupEndsBeforeTheServices) {
  SystemdOnPrivateBus bus(kRunningUnits);
  product_.WriteNarvelMdb(true, MakeSqliteLive(product_.backups() / "live.db"));
  const ProductRun run = product_.Run(TemplatePath());
  EXPECT_EQ(run.status, 3);
  ExpectLogLines(run.log,
                 {"<stamp>", "SQL ConnString found", "Narvel ver: 5.2.0", "",
                  "Restore file not found: " +
                      (product_.backups() / ("NarvelBackup_" + TodayText() + ".mdb")).string(),
                  ""});
  ExpectUnits(bus, {"active", "active", "active"});
}

TEST_F(EndToEnd, AServiceThatDoesNotStopCancelsTheRun) {
  SystemdOnPrivateBus bus({"Narvel Discovery Agent=active", "Narvel Poller=active,refuse-stop",
                           "Narvel Server=active"});
  const std::string live = MakeSqliteLive(product_.backups() / "live.db");
  product_.WriteNarvelMdb(true, live);
  const std::filesystem::path backup = TodaysBackup(Fixture("narvel_backup"));
  const ProductRun run = product_.Run(TemplatePath());
  EXPECT_EQ(run.status, 4);
  std::vector<std::string> road = {"<stamp>",
                                   "SQL ConnString found",
                                   "Narvel ver: 5.2.0",
                                   "",
                                   "Restore file Found: " + backup.string(),
                                   ""};
  for (const auto& turn :
       {StopTurn("Narvel Discovery Agent", "Discovery"),
        std::vector<std::string>{"Narvel Poller", "Service is started", "<stamp>",
                                 "Attempting to stop the Poll service...",
                                 "Error [1052]  when stop the service", ""},
        StopTurn("Narvel Server", "Main")}) {
    road.insert(road.end(), turn.begin(), turn.end());
  }
  road.push_back("Cancel due to not all services stopped");
  ExpectLogLines(run.log, road);
  EXPECT_EQ(SqliteCount(live, "ATR_Log"), "4");
  ExpectUnits(bus, {"inactive", "active", "inactive"});
}

TEST_F(EndToEnd, ABackupWithoutTheEventLogFailsAndLeavesTheServicesStopped) {
  SystemdOnPrivateBus bus(kRunningUnits);
  const std::string live = MakeSqliteLive(product_.backups() / "live.db");
  product_.WriteNarvelMdb(true, live);
  nlohmann::json description = Fixture("narvel_backup");
  description["tables"].erase(description["tables"].size() - 1);
  TodaysBackup(description);
  const ProductRun run = product_.Run(TemplatePath());
  EXPECT_EQ(run.status, 5);
  const std::vector<std::string> lines = LogLines(run.log);
  ASSERT_GE(lines.size(), 20u);
  const std::vector<std::string> tail(lines.end() - 16, lines.end());
  EXPECT_TRUE(tail[0].starts_with("Restore_Err_Handler: ") &&
              tail[0].find("ATR_Log") != std::string::npos)
      << tail[0];
  EXPECT_EQ(tail[1], "");
  EXPECT_EQ(tail[2], "Restore of Table ATR_Nodes...");
  EXPECT_EQ(tail[14], "Restore of Table ATR_Log...");
  EXPECT_EQ(tail[15], "Restore Failed");
  EXPECT_EQ(SqliteCount(live, "ATR_Log"), "0");
  EXPECT_EQ(SqliteCount(live, "ATR_Nodes"), "3");
  ExpectUnits(bus, {"inactive", "inactive", "inactive"});
}

TEST_F(EndToEnd, ALiveDatabaseThatDoesNotAnswerFailsWithinTheTimeOut) {
  // A loopback port that takes connections but never answers them.
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 16), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string port = std::to_string(ntohs(address.sin_port));

  SystemdOnPrivateBus bus(kRunningUnits);
  product_.WriteNarvelMdb(true, "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + port +
                                    ";Database=narvel;Uid=narvel;Pwd=secret");
  TodaysBackup(Fixture("narvel_backup"));
  const ProductRun run = product_.Run(TemplatePath());
  close(listener);
  EXPECT_EQ(run.status, 5);
  const std::vector<std::string> lines = LogLines(run.log);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_TRUE(lines[lines.size() - 4].starts_with("Restore_Err_Handler: ")) << run.log;
  EXPECT_EQ(lines[lines.size() - 2], "");
  EXPECT_EQ(lines.back(), "Restore Failed");
  // The stop sequence takes about 23 s; the connection gives up after its 5-second time-out.
  EXPECT_LT(run.seconds, 23 + 12);
  ExpectUnits(bus, {"inactive", "inactive", "inactive"});
}

TEST_F(EndToEnd, AMissingProductFileAppendsTheHandlersEntriesToThePreviousLog) {
  SystemdOnPrivateBus bus(kRunningUnits);
  std::ofstream(product_.LogPath(), std::ios::binary) << "the previous run\r\n";
  TodaysBackup(Fixture("narvel_backup"));
  const ProductRun run = product_.Run(TemplatePath());
  EXPECT_EQ(run.status, 7);
  ExpectLogLines(run.log, {"the previous run", "<stamp>\t Argument Error", "CommandLine = "});
  ExpectUnits(bus, {"active", "active", "active"});
}

}  // namespace
}  // namespace toverak
