// Whole runs of the real executable: a product folder with Narvel.mdb, a live database, a
// backup written by the Jet writer, and the three services as units on a private bus.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <regex>

#include "platform/posix/posix_env.h"
#include "restore/restore_tables.h"
#include "restore/table_steps.h"
#include "testing/dbus_systemd.h"
#include "testing/product_folder.h"
#include "testing/table_compare.h"

namespace toverak {
namespace {

const std::vector<std::string> kRunningUnits = {"Narvel Discovery Agent=active",
                                                "Narvel Poller=active", "Narvel Server=active"};
const char* const kServices[] = {"Narvel Discovery Agent", "Narvel Poller", "Narvel Server"};

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

std::vector<std::string> Lines(const std::string& log) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(log.substr(start, end - start));
  }
  EXPECT_EQ(start, log.size()) << "the log's last line is not ended by CR LF";
  return lines;
}

// Compares log lines with expected ones, in which "<stamp>" stands for a time stamp.
void ExpectLogLines(const std::string& log, const std::vector<std::string>& expected) {
  static const std::regex kStamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})");
  const std::vector<std::string> lines = Lines(log);
  ASSERT_EQ(lines.size(), expected.size()) << log;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (expected[i] == "<stamp>") {
      EXPECT_TRUE(std::regex_match(lines[i], kStamp)) << "line " << i + 1 << ": " << lines[i];
    } else {
      EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    }
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

class EndToEnd : public testing::Test {
 protected:
  EndToEnd() : product_(TOVERAK_EXECUTABLE), database_(NewPosixDatabase()) {}

  std::string TemplatePath() const {
    return (product_.backups() / "NarvelBackup_xxxx-xx-xx.mdb").string();
  }
  std::filesystem::path TodaysBackup(const nlohmann::json& description) const {
    return product_.WriteBackup(description, "NarvelBackup_" + Today() + ".mdb");
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

  void ExpectUnits(SystemdOnPrivateBus& bus, const std::vector<std::string>& states) {
    for (size_t i = 0; i < 3; ++i)
      EXPECT_EQ(bus.ActiveState(kServices[i]), states[i]) << kServices[i];
  }

  ProductFolder product_;
  std::unique_ptr<Database> database_;
};

TEST_F(EndToEnd, ASuccessfulRunIntoSqlite) {
  SystemdOnPrivateBus bus(kRunningUnits);
  const std::string live = MakeSqliteLive(product_.backups() / "live.db");
  product_.WriteNarvelMdb(true, live);
  const std::filesystem::path backup = TodaysBackup(Fixture("narvel_backup"));

  const ProductRun run = product_.Run(TemplatePath());
  EXPECT_EQ(run.status, 0) << run.console;
  ExpectLogLines(run.log, SuccessfulRoad(backup.string()));
  ExpectRestored(live, backup, "SELECT * FROM ATR_Log ORDER BY rowid");
  ExpectUnits(bus, {"active", "active", "active"});
}

}  // namespace
}  // namespace toverak
