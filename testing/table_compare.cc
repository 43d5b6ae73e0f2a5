#include "testing/table_compare.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/value_text.h"

namespace toverak {
namespace {

std::string NumberText(double number) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", number);
  return text;
}

std::string FullDate(const LocalDateTime& at) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", at.year, at.month, at.day,
                at.hour, at.minute, at.second);
  return text;
}

// A text of the form YYYY-MM-DD[ HH:MM:SS[.fff]] in full form; empty when it is not one.
std::string DateOfText(const std::string& text) {
  int year, month, day, hour = 0, minute = 0, second = 0, used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3 || used != 10) {
    return "";
  }
  if (text.size() > 10) {
    int more = 0;
    if (std::sscanf(text.c_str() + 10, " %2d:%2d:%2d%n", &hour, &minute, &second, &more) != 3) {
      return "";
    }
    const std::string rest = text.substr(10 + size_t(more));
    if (!rest.empty() && rest.find_first_not_of(".0") != std::string::npos) return "";
  }
  return FullDate(LocalDateTime{year, month, day, hour, minute, second, 0});
}

std::string CanonicalOfText(const std::string& text) {
  if (strcasecmp(text.c_str(), "true") == 0) return "True";
  if (strcasecmp(text.c_str(), "false") == 0) return "False";
  if (const std::string date = DateOfText(text); !date.empty()) return date;
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (!text.empty() && end == text.c_str() + text.size() &&
      text.find_first_of(" x") == std::string::npos) {
    return NumberText(number);
  }
  return text;
}

}  // namespace

std::string CanonicalText(const Value& value) {
  if (IsNull(value)) return "<null>";
  if (const auto* date = std::get_if<Date>(&value)) return FullDate(DateFromDays(date->days));
  if (const auto* truth = std::get_if<bool>(&value)) return *truth ? "True" : "False";
  if (const auto* text = std::get_if<std::string>(&value)) return CanonicalOfText(*text);
  if (std::holds_alternative<Bytes>(value) || std::holds_alternative<Guid>(value)) {
    return GeneralText(value);
  }
  return NumberText(std::strtod(GeneralText(value).c_str(), nullptr));
}

CanonicalTable ReadCanonical(Database& database, const std::string& connection_string,
                             const std::string& query) {
  std::unique_ptr<Connection> connection = database.NewConnection();
  connection->SetConnectionString(connection_string);
  connection->Open();
  std::unique_ptr<Recordset> rows = connection->Execute(query);
  CanonicalTable table;
  const Fields& fields = rows->GetFields();
  for (int32_t i = 0; i < fields.Count(); ++i) table.columns.push_back(fields.Item(i).Name());
  for (; !rows->Eof(); rows->MoveNext()) {
    std::vector<std::string> row;
    for (int32_t i = 0; i < fields.Count(); ++i)
      row.push_back(CanonicalText(fields.Item(i).GetValue()));
    table.rows.push_back(row);
  }
  return table;
}

std::vector<std::vector<Value>> ReadAll(Recordset& recordset) {
  std::vector<std::vector<Value>> rows;
  const Fields& fields = recordset.GetFields();
  for (; !recordset.Eof(); recordset.MoveNext()) {
    std::vector<Value>& row = rows.emplace_back();
    for (int32_t i = 0; i < fields.Count(); ++i) row.push_back(fields.Item(i).GetValue());
  }
  return rows;
}

CanonicalTable WithoutFirstColumn(CanonicalTable table) {
  table.columns.erase(table.columns.begin());
  for (auto& row : table.rows) row.erase(row.begin());
  return table;
}

std::vector<std::string> ColumnsOfRow(const CanonicalTable& table, size_t row,
                                      const std::vector<std::string>& columns) {
  std::vector<std::string> values;
  for (const std::string& column : columns) {
    size_t i = 0;
    while (i < table.columns.size() && strcasecmp(table.columns[i].c_str(), column.c_str()) != 0)
      ++i;
    if (i == table.columns.size()) throw std::runtime_error("no column " + column);
    values.push_back(table.rows.at(row)[i]);
  }
  return values;
}

}  // namespace toverak
