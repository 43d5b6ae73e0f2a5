// The ways in which the benchmark restores one backup into an empty live database; each
// is meant to run in a child process of its own (RunInChild).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "benchmark/child_run.h"

namespace toverak {

// toverak's own restore, RestoreTables, in this process over the real POSIX database and host,
// with its mandated pauses and its live database calls timed, into the live database that the
// ODBC text `live` names. A run log, if the restore fails, goes into `app_folder`. Without
// `sleeps`, its pauses are asked for but not slept.
WayResult ToverakRestore(const std::filesystem::path& backup, const std::string& live,
                         const std::filesystem::path& app_folder, bool sleeps);

// The peer, mdbtools' pipeline: `mdb-export -I sqlite BACKUP TABLE | sqlite3 LIVE` for each
// table of the plan, each live table emptied first as the restore empties it. mdb-export names
// the backup's columns, so ATR_Log, whose live table lacks the backup's key column
// (`event_log_columns` names the backup's columns, key first), is loaded into a temporary
// table of the same name in the same sqlite3 session and copied from there in key order.
WayResult MdbtoolsPipeline(const std::filesystem::path& backup, const std::filesystem::path& live,
                           const std::vector<std::string>& event_log_columns);

// The limit: the statements of `statements_file` (WriteStatementsFile) sent one by one with
// SQLExecDirect on one statement handle of one connection to what the ODBC text `live` names,
// in autocommit mode, nothing else done.
WayResult BareLoop(const std::filesystem::path& statements_file, const std::string& live);

// Writes to `file` every statement that a restore from `backup` sends to the live database, as
// CheckBackup records them by running the restore's own code; throws when that restore would
// fail. Returns the number of statements.
size_t WriteStatementsFile(const std::filesystem::path& backup, const std::filesystem::path& file);

// The number of statements in a file that WriteStatementsFile wrote.
size_t CountStatementsInFile(const std::filesystem::path& file);

}  // namespace toverak
