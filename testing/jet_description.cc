#include "testing/jet_description.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <regex>
#include <vector>

#include "platform/error.h"

namespace toverak {
namespace {

using nlohmann::json;

// Days from 1 January 1970 to the given day of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

int64_t DaysInMonth(int64_t year, int64_t month) {
  return DaysFromCivil(month == 12 ? year + 1 : year, month == 12 ? 1 : month + 1, 1) -
         DaysFromCivil(year, month, 1);
}

__extension__ typedef unsigned __int128 DecimalMagnitude;
constexpr DecimalMagnitude kDecimalLimit = DecimalMagnitude(1) << 96;

DecimalMagnitude MagnitudeOf(const Decimal& value) {
  return DecimalMagnitude(value.high) << 64 | value.low;
}

// A decimal of `magnitude` (below 2^96); a zero is never negative.
Decimal DecimalOf(DecimalMagnitude magnitude, size_t scale, bool negative) {
  return Decimal{uint64_t(magnitude), uint32_t(magnitude >> 64), uint8_t(scale),
                 negative && magnitude != 0};
}

int64_t ParseInteger(const std::string& text) {
  int64_t number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || stop != end || text.empty()) {
    throw RaisedError("\"" + text + "\" is not an integer");
  }
  return number;
}

RaisedError NotADate(const std::string& text) {
  return RaisedError("\"" + text + "\" is not a date or time");
}

// The decimal number of `length` digits at `at` in `text`.
int64_t DigitsAt(const std::string& text, size_t at, size_t length) {
  const std::string digits = text.substr(at, length);
  if (digits.find_first_not_of("0123456789") != std::string::npos) throw NotADate(text);
  return ParseInteger(digits);
}

// The day of the "YYYY-MM-DD" that `text` starts with, in days since 1 January 1970.
int64_t DayOf(const std::string& text) {
  if (text[4] != '-' || text[7] != '-') throw NotADate(text);
  const int64_t year = DigitsAt(text, 0, 4), month = DigitsAt(text, 5, 2);
  const int64_t day = DigitsAt(text, 8, 2);
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) throw NotADate(text);
  return DaysFromCivil(year, month, day);
}

// The seconds since midnight of the "HH:MM:SS" at `at` in `text`.
int64_t SecondsOf(const std::string& text, size_t at) {
  if (text[at + 2] != ':' || text[at + 5] != ':') throw NotADate(text);
  const int64_t hours = DigitsAt(text, at, 2), minutes = DigitsAt(text, at + 3, 2);
  const int64_t seconds = DigitsAt(text, at + 6, 2);
  if (hours > 23 || minutes > 59 || seconds > 59) throw NotADate(text);
  return hours * 3600 + minutes * 60 + seconds;
}

double ParseNumber(const std::string& text) {
  double number = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || stop != end || text.empty()) {
    throw RaisedError("\"" + text + "\" is not a number");
  }
  return number;
}

int64_t IntegerOf(const json& value) {
  if (value.is_string()) return ParseInteger(value.get<std::string>());
  if (value.is_number_unsigned() &&
      value.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
    throw RaisedError(value.dump() + " is out of range");
  }
  if (value.is_number_integer()) return value.get<int64_t>();
  throw RaisedError(value.dump() + " is not an integer");
}

double NumberOf(const json& value) {
  if (value.is_string()) return ParseNumber(value.get<std::string>());
  if (value.is_number()) return value.get<double>();
  throw RaisedError(value.dump() + " is not a number");
}

template <typename T>
T IntegerIn(const json& value) {
  const int64_t number = IntegerOf(value);
  if (number < std::numeric_limits<T>::min() || number > std::numeric_limits<T>::max()) {
    throw RaisedError(std::to_string(number) + " is out of the column's range");
  }
  return static_cast<T>(number);
}

bool YesNoOf(const json& value) {
  if (value.is_boolean()) return value.get<bool>();
  if (value == "true") return true;
  if (value == "false") return false;
  throw RaisedError(value.dump() + " is not true or false");
}

Currency CurrencyOf(const json& value) {
  if (value.is_string()) return ParseJetCurrency(value.get<std::string>());
  const double amount = NumberOf(value) * 10000;
  if (!(std::fabs(amount) < 9.2e18)) throw RaisedError(value.dump() + " is out of range");
  return Currency{static_cast<int64_t>(std::llround(amount))};
}

Decimal DecimalOf(const json& value) {
  if (value.is_string()) return ParseJetDecimal(value.get<std::string>());
  if (value.is_number()) return ParseJetDecimal(value.dump());
  throw RaisedError(value.dump() + " is not a decimal number");
}

Date DateOf(const json& value) {
  if (value.is_string()) return ParseJetDate(value.get<std::string>());
  if (value.is_object() && value.size() == 1 && value.contains("days")) {
    const double days = NumberOf(value["days"]);
    if (!std::isfinite(days)) throw RaisedError(value.dump() + " is not a number of days");
    return Date{days};
  }
  throw RaisedError(value.dump() + " is not a date");
}

// A text, or {"repeat": text, "times": count} for a long one.
std::string TextOf(const json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_object() && value.size() == 2 && value.contains("repeat") &&
      value.contains("times")) {
    const std::string part = TextOf(value["repeat"]);
    const int64_t times = IntegerOf(value["times"]);
    if (times < 0 || static_cast<double>(times) * part.size() > 1e8) {
      throw RaisedError(value.dump() + " repeats a text too often");
    }
    std::string text;
    text.reserve(part.size() * times);
    for (int64_t i = 0; i < times; ++i) text += part;
    return text;
  }
  throw RaisedError(value.dump() + " is not a text");
}

json Substituted(const json& value, int64_t n) {
  if (value.is_string()) return SubstituteCounter(value.get<std::string>(), n);
  if (!value.is_structured()) return value;
  json copy = value;
  for (auto& item : copy) item = Substituted(item, n);
  return copy;
}

const json& Member(const json& object, const char* name, const std::string& where) {
  if (!object.is_object() || !object.contains(name)) {
    throw RaisedError(where + " has no \"" + name + "\"");
  }
  return object[name];
}

constexpr int kCalculatedTextMaxSize = 243;

JetColumn ParseColumn(const json& column) {
  const std::string name = Member(column, "name", "a column").get<std::string>();
  JetColumn parsed{name, ParseJetType(Member(column, "type", "column " + name).get<std::string>())};
  if (column.contains("expression")) parsed.expression = column["expression"].get<std::string>();
  if (!parsed.expression.empty() && parsed.type == JetType::kText) {
    parsed.size = kCalculatedTextMaxSize;
  }
  if (column.contains("size")) {
    if (parsed.type != JetType::kText) throw RaisedError("only a text column has a size: " + name);
    parsed.size = IntegerIn<int32_t>(column["size"]);
  }
  for (const auto& [key, field] :
       {std::pair{"precision", &JetColumn::precision}, std::pair{"scale", &JetColumn::scale}}) {
    if (!column.contains(key)) continue;
    if (parsed.type != JetType::kDecimal) {
      throw RaisedError(std::string("only a decimal column has a ") + key + ": " + name);
    }
    parsed.*field = IntegerIn<int32_t>(column[key]);
  }
  return parsed;
}

JetRow ParseRow(const std::vector<JetColumn>& columns, const json& row) {
  JetRow values;
  if (row.is_array()) {
    if (row.size() != columns.size()) {
      throw RaisedError("the row " + row.dump() + " has " + std::to_string(row.size()) +
                        " values for " + std::to_string(columns.size()) + " columns");
    }
    for (size_t i = 0; i < columns.size(); ++i) {
      values.push_back(ParseJetValue(columns[i], row[i]));
    }
    return values;
  }
  if (!row.is_object()) throw RaisedError("a row must be an array or an object: " + row.dump());
  size_t used = 0;
  for (const JetColumn& column : columns) {
    if (row.contains(column.name)) {
      values.push_back(ParseJetValue(column, row[column.name]));
      ++used;
    } else {
      values.push_back(column.type == JetType::kYesNo ? Value{false} : Value{Null{}});
    }
  }
  if (used != row.size()) throw RaisedError("the row " + row.dump() + " names a missing column");
  return values;
}

// Makes row i of a "generate" block from its template. Cells without a counter are read once.
std::function<JetRow(int64_t)> RowGenerator(const std::vector<JetColumn>& columns, const json& row,
                                            int64_t first) {
  if (!row.is_array()) throw RaisedError("the template of \"generate\" must be an array");
  struct Cell {
    JetColumn column;
    json pattern;
    bool counts;
    Value constant;
  };
  std::vector<Cell> cells;
  const JetRow constants = ParseRow(columns, Substituted(row, first));  // checks the template
  for (size_t i = 0; i < columns.size(); ++i) {
    const bool counts = row[i].dump().find("{n") != std::string::npos;
    cells.push_back({columns[i], row[i], counts, constants[i]});
  }
  return [cells = std::move(cells), first](int64_t i) {
    JetRow values;
    values.reserve(cells.size());
    for (const Cell& cell : cells) {
      values.push_back(cell.counts
                           ? ParseJetValue(cell.column, Substituted(cell.pattern, first + i))
                           : cell.constant);
    }
    return values;
  };
}

JetTable ParseTable(const json& table) {
  JetTable parsed;
  parsed.name = Member(table, "name", "a table").get<std::string>();
  const std::string where = "table " + parsed.name;
  try {
    for (const json& column : Member(table, "columns", "the table")) {
      parsed.columns.push_back(ParseColumn(column));
    }
    if (table.contains("rows")) {
      for (const json& row : table["rows"]) parsed.rows.push_back(ParseRow(parsed.columns, row));
    }
    if (table.contains("generate")) {
      const json& generate = table["generate"];
      parsed.generated_count = IntegerOf(Member(generate, "count", "\"generate\""));
      const int64_t first = generate.contains("first") ? IntegerOf(generate["first"]) : 1;
      parsed.generate =
          RowGenerator(parsed.columns, Member(generate, "row", "\"generate\""), first);
      parsed.generate(0);  // fails early on a wrong template
    }
  } catch (const json::exception& error) {
    throw RaisedError(where + ": " + error.what());
  } catch (const RaisedError& error) {
    throw RaisedError(where + ": " + error.Description());
  }
  return parsed;
}

}  // namespace

JetDatabase ParseJetDescription(const json& description) {
  JetDatabase database;
  try {
    if (description.contains("created")) {
      database.created = ParseJetDate(description["created"].get<std::string>());
    }
    for (const json& table : Member(description, "tables", "the description")) {
      database.tables.push_back(ParseTable(table));
    }
  } catch (const json::exception& error) {
    throw RaisedError(std::string("the description: ") + error.what());
  }
  return database;
}

JetType ParseJetType(const std::string& name) {
  static const std::map<std::string, JetType> types = {
      {"yesno", JetType::kYesNo},
      {"byte", JetType::kByte},
      {"integer", JetType::kInteger},
      {"long", JetType::kLong},
      {"currency", JetType::kCurrency},
      {"single", JetType::kSingle},
      {"double", JetType::kDouble},
      {"datetime", JetType::kDateTime},
      {"text", JetType::kText},
      {"memo", JetType::kMemo},
      {"guid", JetType::kGuid},
      {"decimal", JetType::kDecimal},
      {"datetimeextended", JetType::kDateTimeExtended},
      {"attachment", JetType::kAttachment}};
  const auto found = types.find(name);
  if (found == types.end()) throw RaisedError("unknown column type \"" + name + "\"");
  return found->second;
}

Value ParseJetValue(const JetColumn& column, const json& value) {
  if (value.is_null()) {
    if (column.type == JetType::kYesNo) throw RaisedError("a Yes/No value is never Null");
    return Null{};
  }
  switch (column.type) {
    case JetType::kYesNo:
      return YesNoOf(value);
    case JetType::kByte:
      return IntegerIn<uint8_t>(value);
    case JetType::kInteger:
      return IntegerIn<int16_t>(value);
    case JetType::kLong:
      return IntegerIn<int32_t>(value);
    case JetType::kCurrency:
      return CurrencyOf(value);
    case JetType::kSingle:
      return static_cast<float>(NumberOf(value));
    case JetType::kDouble:
      return NumberOf(value);
    case JetType::kDateTime:
      return DateOf(value);
    case JetType::kText:
    case JetType::kMemo:
      return TextOf(value);
    case JetType::kGuid:
      return ParseJetGuid(TextOf(value));
    case JetType::kDecimal:
      return column.expression.empty()
                 ? JetDecimalAtScale(DecimalOf(value), column.scale, column.precision)
                 : DecimalOf(value);
    case JetType::kDateTimeExtended:
      ParseJetExtendedDate(TextOf(value));  // checks it
      return TextOf(value);
    case JetType::kAttachment:
      return IntegerIn<int32_t>(value);
  }
  throw RaisedError("unknown column type");
}

Date ParseJetDate(const std::string& text) {
  const bool has_date = text.size() == 10 || text.size() == 19;
  const bool has_time = text.size() == 8 || text.size() == 19;
  if (!has_date && !has_time) throw NotADate(text);
  if (has_date && has_time && text[10] != ' ') throw NotADate(text);
  const int64_t day = has_date ? DayOf(text) - DaysFromCivil(1899, 12, 30) : 0;
  const double fraction =
      has_time ? static_cast<double>(SecondsOf(text, has_date ? 11 : 0)) / 86400.0 : 0;
  // Before 30 December 1899 Jet counts the days down and the time of day still up.
  const auto whole = static_cast<double>(day);
  return Date{day >= 0 ? whole + fraction : whole - fraction};
}

JetExtendedDate ParseJetExtendedDate(const std::string& text) {
  constexpr size_t kMostDecimals = 7;
  const size_t size = text.size();
  const bool has_time = size >= 19;
  if ((size != 10 && size != 19 && (size < 21 || size > 20 + kMostDecimals)) ||
      (has_time && text[10] != ' ') || (size > 19 && text[19] != '.') ||
      DigitsAt(text, 0, 4) == 0) {
    throw NotADate(text);
  }
  JetExtendedDate date;
  date.days = DayOf(text) - DaysFromCivil(1, 1, 1);
  if (has_time) {
    const std::string decimals = size > 19 ? text.substr(20) : "";
    date.ticks =
        SecondsOf(text, 11) * 10'000'000 +
        (decimals.empty() ? 0
                          : DigitsAt(decimals + std::string(kMostDecimals, '0'), 0, kMostDecimals));
  }
  return date;
}

Guid ParseJetGuid(const std::string& text) {
  static const std::regex pattern(
      R"(\{([0-9A-Fa-f]{8})-([0-9A-Fa-f]{4})-([0-9A-Fa-f]{4})-([0-9A-Fa-f]{4})-([0-9A-Fa-f]{12})\})");
  std::smatch match;
  if (!std::regex_match(text, match, pattern)) throw RaisedError("\"" + text + "\" is not a GUID");
  const auto hex = [](const std::string& digits) { return std::stoull(digits, nullptr, 16); };
  Guid guid;
  guid.data1 = static_cast<uint32_t>(hex(match[1]));
  guid.data2 = static_cast<uint16_t>(hex(match[2]));
  guid.data3 = static_cast<uint16_t>(hex(match[3]));
  const std::string rest = match[4].str() + match[5].str();
  for (size_t i = 0; i < guid.data4.size(); ++i) {
    guid.data4[i] = static_cast<uint8_t>(hex(rest.substr(2 * i, 2)));
  }
  return guid;
}

Currency ParseJetCurrency(const std::string& text) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string unsigned_text = text.substr(negative ? 1 : 0);
  const size_t point = unsigned_text.find('.');
  const std::string whole = unsigned_text.substr(0, point);
  const std::string decimals = point == std::string::npos ? "" : unsigned_text.substr(point + 1);
  const auto digits_only = [](const std::string& part) {
    return part.find_first_not_of("0123456789") == std::string::npos;
  };
  if (whole.empty() || whole.size() > 15 || decimals.size() > 4 ||
      (point != std::string::npos && decimals.empty()) || !digits_only(whole) ||
      !digits_only(decimals)) {
    throw RaisedError("\"" + text + "\" is not an amount with at most four decimals");
  }
  // Counted negative, so that the smallest amount, -922337203685477.5808, fits.
  int64_t scaled = 0;
  if (__builtin_mul_overflow(-ParseInteger(whole), 10000, &scaled) ||
      __builtin_sub_overflow(scaled, ParseInteger((decimals + "0000").substr(0, 4)), &scaled) ||
      (!negative && scaled == std::numeric_limits<int64_t>::min())) {
    throw RaisedError("\"" + text + "\" is out of the currency range");
  }
  return Currency{negative ? scaled : -scaled};
}

Decimal ParseJetDecimal(const std::string& text) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string unsigned_text = text.substr(negative ? 1 : 0);
  const size_t point = unsigned_text.find('.');
  const std::string whole = unsigned_text.substr(0, point);
  const std::string decimals = point == std::string::npos ? "" : unsigned_text.substr(point + 1);
  const std::string digits = whole + decimals;
  if (whole.empty() || (point != std::string::npos && decimals.empty()) ||
      digits.find_first_not_of("0123456789") != std::string::npos || decimals.size() > 28) {
    throw RaisedError("\"" + text + "\" is not a decimal number");
  }
  DecimalMagnitude magnitude = 0;
  for (char digit : digits) {
    magnitude = magnitude * 10 + DecimalMagnitude(digit - '0');
    if (magnitude >= kDecimalLimit) throw RaisedError("\"" + text + "\" needs more than 96 bits");
  }
  return DecimalOf(magnitude, decimals.size(), negative);
}

Decimal JetDecimalAtScale(const Decimal& value, int scale, int precision) {
  if (value.scale > scale) {
    throw RaisedError("the decimal has more than the column's " + std::to_string(scale) +
                      " decimals");
  }
  DecimalMagnitude power = 1;
  for (int i = 0; i < precision; ++i) power *= 10;
  DecimalMagnitude magnitude = MagnitudeOf(value);
  for (int i = value.scale; i < scale && magnitude < power; ++i) magnitude *= 10;
  if (magnitude >= power) {
    throw RaisedError("the decimal has more than the column's " + std::to_string(precision) +
                      " digits");
  }
  return DecimalOf(magnitude, size_t(scale), value.negative);
}

std::string SubstituteCounter(const std::string& text, int64_t n) {
  std::string result;
  size_t position = 0;
  while (true) {
    const size_t open = text.find("{n", position);
    const size_t close = open == std::string::npos ? open : text.find('}', open);
    if (close == std::string::npos) break;
    const std::string inside = text.substr(open + 2, close - open - 2);
    const bool padded = inside.size() > 1 && inside[0] == ':' &&
                        inside.find_first_not_of("0123456789", 1) == std::string::npos;
    if (!inside.empty() && !padded) {
      result.append(text, position, open + 2 - position);
      position = open + 2;
      continue;
    }
    std::string digits = std::to_string(n);
    const size_t width = padded ? std::stoul(inside.substr(1)) : 0;
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    result.append(text, position, open - position);
    result += digits;
    position = close + 1;
  }
  result.append(text, position);
  return result;
}

}  // namespace toverak
