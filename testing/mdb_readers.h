// Test support: reads an Access file back through two readers that share no code with ours,
// run as processes: mdbtools' command-line tools and the npm package mdb-reader.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace toverak {

// The standard output of the command `argv`; throws RaisedError when it cannot be run or ends
// with a status other than 0.
std::string RunCommand(const std::vector<std::string>& argv);

// The user tables of `path`, in catalog order, as mdb-tables lists them.
std::vector<std::string> MdbToolsTableNames(const std::string& path);

// The columns of `table` as mdb-schema gives them: name and type text ("Long Integer",
// "Text (40)", ...), in column order.
std::vector<std::pair<std::string, std::string>> MdbToolsColumns(const std::string& path,
                                                                 const std::string& table);

// The rows of `table` as mdb-export writes them, dates as "YYYY-MM-DD HH:MM:SS"; nullopt for
// an empty field, which mdb-export writes alike for Null and for an empty text.
std::vector<std::vector<std::optional<std::string>>> MdbToolsRows(const std::string& path,
                                                                  const std::string& table);

// Every user table of `path` as testing/js/mdb-dump.mjs prints it through mdb-reader.
nlohmann::json MdbReaderDump(const std::string& path);

}  // namespace toverak
