// The live database of the benchmark: an SQLite file made from the live schema, reached by the
// restore and the bare loop through Debian's SQLite ODBC driver.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace toverak {

// Makes `file` an empty live database: the thirteen tables of the live schema, and one row in
// Settings and in DiscAgt, which the product always has and the merges write over.
void MakeEmptyLiveDatabase(const std::filesystem::path& file);

// The ODBC connection string of the SQLite file, as the product would store it, with the
// driver's `options` ("JournalMode=WAL;SyncPragma=NORMAL", say) after it when there are any.
std::string LiveConnectionString(const std::filesystem::path& file, const std::string& options);

// The number of rows in each table of the plan, read with the sqlite3 shell.
std::map<std::string, int64_t> LiveRowCounts(const std::filesystem::path& file);

}  // namespace toverak
