// Tables read as canonical texts, so that a live table can be compared with the backup's
// whatever types each database gives its values.
#pragma once

#include <string>
#include <vector>

#include "platform/database.h"

namespace toverak {

// A value's canonical text: dates (and texts that read as dates) as YYYY-MM-DD HH:MM:SS,
// truth values (and the texts True/False) as True/False, numbers (and numeric texts) to 15
// significant digits, Null as "<null>", other texts unchanged.
std::string CanonicalText(const Value& value);

struct CanonicalTable {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
};

// Runs `query` on the database that `connection_string` names and reads every row.
CanonicalTable ReadCanonical(Database& database, const std::string& connection_string,
                             const std::string& query);

// Every value of every row of `recordset`, from its current row to EOF.
std::vector<std::vector<Value>> ReadAll(Recordset& recordset);

// The table without its first column.
CanonicalTable WithoutFirstColumn(CanonicalTable table);

// The values of the named columns (case-insensitively) of row `row`.
std::vector<std::string> ColumnsOfRow(const CanonicalTable& table, size_t row,
                                      const std::vector<std::string>& columns);

}  // namespace toverak
