// Backup values as they stand in the restore's statements.
#pragma once

#include <string>
#include <vector>

#include "platform/database.h"
#include "platform/host.h"

namespace toverak {

// The text of a field's value in the current row: with `date_rule`, a date field (type 7) as
// YYYY-MM-DD HH:MM:SS; otherwise the platform's general text form. Null gives the empty text.
std::string RenderFieldValue(Host& host, const Field& field, bool date_rule);

// The field's value as an SQL literal: the keyword NULL for a Null value, otherwise its text in
// single quotes, each quote inside it doubled, so that no value can end the literal early.
std::string FieldLiteral(Host& host, const Field& field, bool date_rule);

// The row statement of the current row: `prefix`, the literals of the fields from
// `first_position` on, joined by ", ", then ")".
std::string RowStatement(Host& host, const std::string& prefix, const Fields& fields,
                         int32_t first_position, bool date_rule);

// "UPDATE <table> SET " and "column = literal" for each listed column, joined by ",".
std::string UpdateStatement(Host& host, const std::string& table,
                            const std::vector<std::string>& columns, const Fields& fields);

}  // namespace toverak
