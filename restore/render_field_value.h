// Backup values as they stand in the restore's statements.
#pragma once

#include <string>
#include <vector>

#include "platform/database.h"
#include "platform/host.h"

namespace toverak {

// The field's value in the current row as it stands in a statement: the keyword NULL for a
// Null value, otherwise its text in single quotes, each quote inside it doubled, so that no value
// can end the literal early. The text is the platform's general text form, or with `date_rule`
// YYYY-MM-DD HH:MM:SS for a date field (Date/Time, type 7, or Date/Time Extended, type 135).
std::string RenderFieldValue(Host& host, const Field& field, bool date_rule);

// The row statement of the current row: `prefix`, the literals of the fields from
// `first_position` on, joined by ", ", then ")".
std::string RowStatement(Host& host, const std::string& prefix, const Fields& fields,
                         int32_t first_position, bool date_rule);

// "UPDATE <table> SET " and "column = literal" for each listed column, joined by ",".
std::string UpdateStatement(Host& host, const std::string& table,
                            const std::vector<std::string>& columns, const Fields& fields);

}  // namespace toverak
