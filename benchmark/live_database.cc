#include "benchmark/live_database.h"

#include "platform/error.h"
#include "restore/restore_tables.h"
#include "testing/mdb_readers.h"

namespace toverak {

void MakeEmptyLiveDatabase(const std::filesystem::path& file) {
  std::filesystem::remove(file);
  const std::filesystem::path schema =
      std::filesystem::path(TOVERAK_SOURCE_DIR) / "testing/fixtures/live_schema_sqlite.sql";
  RunCommand({"sqlite3", file.string(), ".read '" + schema.string() + "'"});
  RunCommand({"sqlite3", file.string(),
              "INSERT INTO Settings DEFAULT VALUES; INSERT INTO DiscAgt DEFAULT VALUES;"});
}

std::string LiveConnectionString(const std::filesystem::path& file, const std::string& options) {
  return "Driver={SQLite3};Database=" + file.string() + (options.empty() ? "" : ";" + options);
}

std::map<std::string, int64_t> LiveRowCounts(const std::filesystem::path& file) {
  std::string query;
  for (const std::string& table : PlanTables()) {
    query +=
        (query.empty() ? "" : " UNION ALL ") + ("SELECT '" + table + "', count(*) FROM " + table);
  }
  std::map<std::string, int64_t> counts;
  const std::string output = RunCommand({"sqlite3", "-separator", " ", file.string(), query});
  size_t start = 0;
  for (size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = output.substr(start, end - start);
    const size_t blank = line.find(' ');
    if (blank == std::string::npos) throw RaisedError("unexpected sqlite3 output: " + line);
    counts[line.substr(0, blank)] = std::stoll(line.substr(blank + 1));
  }
  return counts;
}

}  // namespace toverak
