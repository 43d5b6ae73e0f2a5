#include "restore/render_field_value.h"

#include <cstdio>

#include "platform/value_text.h"

namespace toverak {
namespace {

std::string DateRuleText(const Date& date) {
  const LocalDateTime at = DateTimeOf(date);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", at.year, at.month, at.day,
                at.hour, at.minute, at.second);
  return text;
}

// A Date/Time or a Date/Time Extended field.
bool IsDateField(const Field& field) {
  return field.Type() == ado_type::kDate || field.Type() == ado_type::kDBTimeStamp;
}

std::string QuotedText(const std::string& text) {
  std::string literal = "'";
  for (char c : text) {
    literal += c;
    if (c == '\'') literal += '\'';
  }
  return literal + "'";
}

}  // namespace

std::string RenderFieldValue(Host& host, const Field& field, bool date_rule) {
  const Value value = field.GetValue();
  if (IsNull(value)) return "NULL";
  if (date_rule && IsDateField(field) && std::holds_alternative<Date>(value)) {
    return QuotedText(DateRuleText(std::get<Date>(value)));
  }
  return QuotedText(host.ValueText(value));
}

std::string RowStatement(Host& host, const std::string& prefix, const Fields& fields,
                         int32_t first_position, bool date_rule) {
  std::string statement = prefix;
  for (int32_t position = first_position; position < fields.Count(); ++position) {
    if (position > first_position) statement += ", ";
    statement += RenderFieldValue(host, fields.Item(position), date_rule);
  }
  return statement + ")";
}

std::string UpdateStatement(Host& host, const std::string& table,
                            const std::vector<std::string>& columns, const Fields& fields) {
  std::string statement = "UPDATE " + table + " SET ";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) statement += ",";
    statement += columns[i] + " = " + RenderFieldValue(host, fields.Item(columns[i]), false);
  }
  return statement;
}

}  // namespace toverak
