// Writes Access (Jet 4 and ACE) database files from scratch, for tests: the backups and product
// files that the tests hand to the program are written from small JSON descriptions kept beside
// them.
//
// The description, as `make-mdb DESCRIPTION.json OUT.mdb` and WriteJetDatabase read it:
//
//   {"created": "2024-01-01 00:00:00",   (optional: the file's creation date; 1 January 2024
//                                          when left out, so that a description always makes
//                                          the same bytes)
//    "tables": [
//      {"name": "Settings_Console",
//       "columns": [{"name": "SqlDbSetupOk", "type": "yesno"},
//                   {"name": "DbConnStringSql", "type": "text", "size": 255},
//                   {"name": "ProgVersion", "type": "text", "size": 50}],
//       "rows": [[true, "Driver={SQLite3};Database=/tmp/live.db", "5.1.0"],
//                {"ProgVersion": "5.2.0"}],
//       "generate": {"count": 100000, "first": 1, "row": [false, "node-{n}", "{n:6}"]}}]}
//
// Column types: "yesno", "byte", "integer" (16 bits), "long" (32 bits), "currency", "single",
// "double", "datetime", "text" ("size" in characters, 1 to 255, 255 when left out), "memo",
// "guid" (Replication ID), "decimal" ("precision", 1 to 28, 18 when left out, and "scale", 0
// to the precision, 0 when left out), "datetimeextended" (Date/Time Extended) and "attachment".
// A column with an "expression" is calculated: Access works its values out from the row's other
// fields, and keeps them with the row; "type" is the type of the result (any but "byte",
// "datetimeextended" and "attachment"; a calculated text has a "size" of 1 to 243, 243 when left
// out; a calculated decimal keeps each value's own scale). The writer takes the values as given,
// but for an empty calculated text, which Jet would keep as Null.
//
// The file is Jet 4 unless a column needs ACE: an attachment column makes it an Access 2007
// file, a calculated column one of Access 2010, a Date/Time Extended column one of Access 2019.
//
// A row is an array of values in column order, or an object of values by column name in which
// a column left out is Null (No for a Yes/No column). Values:
//   - null: Null, in any column but a Yes/No one (Jet keeps a Yes/No value in the row's null
//     mask, so it is never Null);
//   - true or false in a Yes/No column;
//   - JSON numbers in the number columns, within the column's range;
//   - currency as a decimal text with at most four decimals ("-12.3456") or a number;
//   - decimal as a decimal text ("-1234.5678") or a number, with at most the column's scale
//     and precision;
//   - datetime as "YYYY-MM-DD HH:MM:SS", "YYYY-MM-DD", "HH:MM:SS" (on day zero, 30 December
//     1899), or {"days": 44916.37}: days since 30 December 1899, the fraction being the time;
//   - datetimeextended as "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" with up to seven decimals of the
//     second, years 1 to 9999;
//   - attachment as the number that keys the row's attachments (Access keeps them in a hidden
//     table, which the writer does not write);
//   - guid as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
//   - texts and memos as UTF-8 strings, or {"repeat": "text", "times": 500} for a long one;
//   - any other value may also be given as a string ("42" in a long column, "2.5" in a double).
// "generate" appends `count` rows made from the template `row` (an array), for n counting from
// `first` (1 when left out): in every string of the template, "{n}" stands for n and "{n:W}" for n
// padded with zeros to W digits, and the string is then read as the column's value, so that
// "{n}" counts up in a number column too. {"days": "{n}"} counts days.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/value.h"

namespace toverak {

enum class JetType {
  kYesNo,
  kByte,
  kInteger,
  kLong,
  kCurrency,
  kSingle,
  kDouble,
  kDateTime,
  kText,
  kMemo,
  kGuid,
  kDecimal,
  kDateTimeExtended,
  kAttachment
};

struct JetColumn {
  std::string name;
  JetType type = JetType::kText;
  // For text: the most characters (UTF-16 units) a value may hold, 1 to 255 (a calculated
  // text: 1 to 243).
  int size = 255;
  // For decimal: the most digits, 1 to 28, and how many of them follow the point.
  int precision = 18;
  int scale = 0;
  // Not empty for a calculated column: the expression whose result, of `type`, the rows hold.
  std::string expression{};
};

// One value a column, in column order. Each column takes the Value alternative of its type:
// bool, uint8_t, int16_t, int32_t, Currency, float, double, Date, std::string (UTF-8), Guid,
// Decimal (with at most the column's scale), std::string for Date/Time Extended (as in the
// description) or int32_t for an attachment key; integer, decimal and attachment columns also
// take the other integer alternatives within their range, single and double columns any number.
// Null is taken by every column but a Yes/No one.
using JetRow = std::vector<Value>;

struct JetTable {
  JetTable() = default;
  JetTable(std::string table_name, std::vector<JetColumn> table_columns,
           std::vector<JetRow> table_rows = {})
      : name(std::move(table_name)),
        columns(std::move(table_columns)),
        rows(std::move(table_rows)) {}

  std::string name;
  std::vector<JetColumn> columns;
  std::vector<JetRow> rows;
  // Rows written after `rows`, made one at a time so that a big table need not be held:
  // generate(i) for i from 0 to generated_count - 1.
  int64_t generated_count = 0;
  std::function<JetRow(int64_t)> generate;
};

struct JetDatabase {
  std::vector<JetTable> tables;
  // The creation date kept in the file's header (and as the date of its catalog entries).
  Date created{45292.0};
};

// Writes `database` as a new Jet 4 or ACE file at `path`, replacing any file there. Throws
// RaisedError naming the table, row and column of a value that the column cannot hold, and on a
// failed write.
void WriteJetDatabase(const JetDatabase& database, const std::filesystem::path& path);

// Writes the database that the JSON `description` (see above) describes.
void WriteJetDatabase(const nlohmann::json& description, const std::filesystem::path& path);

}  // namespace toverak
