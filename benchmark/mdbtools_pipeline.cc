// The second way: mdbtools' own pipeline into the sqlite3 shell, table by table.
#include <chrono>
#include <cstdlib>

#include "benchmark/restore_ways.h"
#include "restore/restore_tables.h"

namespace toverak {
namespace {

// `text` as one word of the shell.
std::string ShellWord(const std::string& text) {
  std::string word = "'";
  for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

std::string Joined(const std::vector<std::string>& items, size_t first) {
  std::string joined;
  for (size_t i = first; i < items.size(); ++i) joined += (i > first ? ", " : "") + items[i];
  return joined;
}

// The SQL that goes before and after mdb-export's inserts for `table`.
std::pair<std::string, std::string> Around(const std::string& table,
                                           const std::vector<std::string>& event_log_columns) {
  if (table != "ATR_Log") return {"DELETE FROM " + table + ";", ""};
  // An unqualified name is looked up in the temp schema first, so mdb-export's inserts land in
  // the temporary table.
  return {
      "DELETE FROM main.ATR_Log; CREATE TEMP TABLE ATR_Log (" + Joined(event_log_columns, 0) + ");",
      "INSERT INTO main.ATR_Log SELECT " + Joined(event_log_columns, 1) +
          " FROM temp.ATR_Log ORDER BY " + event_log_columns.at(0) + ";"};
}

std::string PipelineCommand(const std::filesystem::path& backup, const std::filesystem::path& live,
                            const std::string& table,
                            const std::vector<std::string>& event_log_columns) {
  const auto [before, after] = Around(table, event_log_columns);
  return "set -o pipefail; { echo " + ShellWord(before) + "; mdb-export -I sqlite " +
         ShellWord(backup.string()) + " " + ShellWord(table) + "; echo " + ShellWord(after) +
         "; } | sqlite3 -bail " + ShellWord(live.string());
}

}  // namespace

WayResult MdbtoolsPipeline(const std::filesystem::path& backup, const std::filesystem::path& live,
                           const std::vector<std::string>& event_log_columns) {
  WayResult result;
  result.ok = true;
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& table : PlanTables()) {
    const std::string command =
        "bash -c " + ShellWord(PipelineCommand(backup, live, table, event_log_columns));
    if (std::system(command.c_str()) != 0) {
      result.ok = false;
      result.failure += (result.failure.empty() ? "the pipeline failed for " : ", ") + table;
    }
  }
  result.wall_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

}  // namespace toverak
