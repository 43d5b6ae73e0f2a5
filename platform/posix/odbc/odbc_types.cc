#include "platform/posix/odbc/odbc_types.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>

#include "platform/error.h"

namespace toverak {
namespace {

// ADO's codes for a date alone and a time alone, as ODBC providers report them.
constexpr int32_t kAdoDBDate = 133;
constexpr int32_t kAdoDBTime = 134;
// SQL Server's native errors for the messages of every login.
constexpr int32_t kChangedDatabase = 5701;
constexpr int32_t kChangedLanguage = 5703;

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

ColumnKind IntegerKind(int sql_type, bool is_unsigned) {
  switch (sql_type) {
    case SQL_TINYINT:
      return is_unsigned ? ColumnKind{ado_type::kUnsignedTinyInt, ValueKind::kUnsignedByte}
                         : ColumnKind{ado_type::kSmallInt, ValueKind::kInt16};
    case SQL_SMALLINT:
      return is_unsigned ? ColumnKind{ado_type::kInteger, ValueKind::kInt32}
                         : ColumnKind{ado_type::kSmallInt, ValueKind::kInt16};
    case SQL_INTEGER:
      return is_unsigned ? ColumnKind{ado_type::kBigInt, ValueKind::kInt64}
                         : ColumnKind{ado_type::kInteger, ValueKind::kInt32};
    default:
      return is_unsigned ? ColumnKind{ado_type::kNumeric, ValueKind::kDecimal}
                         : ColumnKind{ado_type::kBigInt, ValueKind::kInt64};
  }
}

// Reads an optional sign, digits and an optional fraction; the digits without the point.
struct DecimalText {
  bool negative = false;
  std::string digits;
  size_t scale = 0;
};

DecimalText SplitDecimal(std::string_view text) {
  DecimalText number;
  size_t pos = 0;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    number.negative = text[pos++] == '-';
  }
  bool point = false;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == '.' && !point) {
      point = true;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      number.digits += c;
      if (point) ++number.scale;
    } else {
      break;
    }
  }
  if (number.digits.empty() || pos != text.size()) {
    throw RaisedError("The database gave '" + std::string(text) + "', which is not a number");
  }
  return number;
}

RaisedError OutOfRange(std::string_view text) {
  return RaisedError("The number '" + std::string(text) + "' is out of range");
}

bool IsLoginMessage(const Diagnostic& diagnostic) {
  return diagnostic.native_error == kChangedDatabase ||
         diagnostic.native_error == kChangedLanguage ||
         diagnostic.message.find("Changed database context to") != std::string::npos ||
         diagnostic.message.find("Changed language setting to") != std::string::npos;
}

// Line breaks of a driver's message become blanks: a description is one line of the run log.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    const bool line_break = c == '\r' || c == '\n';
    if (!line_break) {
      line += c;
    } else if (!line.empty() && line.back() != ' ') {
      line += ' ';
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

}  // namespace

ColumnKind KindOfColumn(int sql_type, bool is_unsigned, std::string_view type_name) {
  switch (sql_type) {
    case SQL_CHAR:
      return {ado_type::kChar, ValueKind::kText};
    case SQL_VARCHAR:
      return {ado_type::kVarChar, ValueKind::kText};
    case SQL_LONGVARCHAR:
      return {ado_type::kLongVarChar, ValueKind::kText};
    case SQL_WCHAR:
      return {ado_type::kWChar, ValueKind::kText};
    case SQL_WVARCHAR:
      return {ado_type::kVarWChar, ValueKind::kText};
    case SQL_WLONGVARCHAR:
      return {ado_type::kLongVarWChar, ValueKind::kText};
    case SQL_DECIMAL:
    case SQL_NUMERIC: {
      const std::string name = Lower(type_name);
      if (name == "money" || name == "smallmoney") {
        return {ado_type::kCurrency, ValueKind::kCurrency};
      }
      return {ado_type::kNumeric, ValueKind::kDecimal};
    }
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return IntegerKind(sql_type, is_unsigned);
    case SQL_REAL:
      return {ado_type::kSingle, ValueKind::kSingle};
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return {ado_type::kDouble, ValueKind::kDouble};
    case SQL_BIT:
      return {ado_type::kBoolean, ValueKind::kBoolean};
    case SQL_TYPE_DATE:
    case SQL_DATE:
      return {kAdoDBDate, ValueKind::kDate};
    case SQL_TYPE_TIME:
    case SQL_TIME:
      return {kAdoDBTime, ValueKind::kTime};
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
      return {ado_type::kDBTimeStamp, ValueKind::kTimestamp};
    case SQL_GUID:
      return {ado_type::kGuid, ValueKind::kGuid};
    case SQL_BINARY:
      return {ado_type::kBinary, ValueKind::kBytes};
    case SQL_VARBINARY:
      return {ado_type::kVarBinary, ValueKind::kBytes};
    case SQL_LONGVARBINARY:
      return {ado_type::kLongVarBinary, ValueKind::kBytes};
    default:
      return {ado_type::kVarWChar, ValueKind::kText};
  }
}

Date DateFromParts(int year, int month, int day, int hour, int minute, int second,
                   uint32_t nanoseconds) {
  using namespace std::chrono;
  const sys_days date = std::chrono::year(year) / month / day;
  const sys_days day_zero = std::chrono::year(1899) / December / 30;
  const double whole_days = double((date - day_zero).count());
  const double time = (hour * 3600.0 + minute * 60.0 + second + nanoseconds / 1e9) / 86400.0;
  // Before day zero the fraction still runs forward from that day's midnight: -1.25 is
  // 29 December 1899, 06:00.
  return Date{whole_days < 0 ? whole_days - time : whole_days + time};
}

Decimal DecimalFromText(std::string_view text) {
  const DecimalText number = SplitDecimal(text);
  if (number.scale > 28) throw OutOfRange(text);
  // Three 32-bit limbs, least significant first.
  std::array<uint64_t, 3> limbs{};
  for (char digit : number.digits) {
    uint64_t carry = uint64_t(digit - '0');
    for (uint64_t& limb : limbs) {
      const uint64_t part = limb * 10 + carry;
      limb = part & 0xFFFFFFFFu;
      carry = part >> 32;
    }
    if (carry != 0) throw OutOfRange(text);
  }
  Decimal decimal;
  decimal.low = limbs[0] | (limbs[1] << 32);
  decimal.high = uint32_t(limbs[2]);
  decimal.scale = uint8_t(number.scale);
  decimal.negative = number.negative && (decimal.low != 0 || decimal.high != 0);
  return decimal;
}

Currency CurrencyFromText(std::string_view text) {
  DecimalText number = SplitDecimal(text);
  constexpr size_t kScale = 4;
  bool round_up = false;
  if (number.scale > kScale) {
    const size_t cut = number.digits.size() - (number.scale - kScale);
    round_up = number.digits[cut] >= '5';
    number.digits.resize(cut);
  } else {
    number.digits.append(kScale - number.scale, '0');
  }
  uint64_t magnitude = 0;
  const uint64_t limit = uint64_t(INT64_MAX) + (number.negative ? 1 : 0);
  for (char digit : number.digits) {
    const uint64_t value = uint64_t(digit - '0');
    if (magnitude > (limit - value) / 10) throw OutOfRange(text);
    magnitude = magnitude * 10 + value;
  }
  if (round_up) {
    if (magnitude == limit) throw OutOfRange(text);
    ++magnitude;
  }
  // Negated in unsigned arithmetic, so that the most negative amount does not overflow.
  return Currency{number.negative ? int64_t(~magnitude + 1) : int64_t(magnitude)};
}

int32_t CountReportedDiagnostics(const std::vector<Diagnostic>& diagnostics) {
  return int32_t(std::count_if(diagnostics.begin(), diagnostics.end(),
                               [](const Diagnostic& d) { return !IsLoginMessage(d); }));
}

std::string DescribeDiagnostics(const std::vector<Diagnostic>& diagnostics) {
  std::string description;
  for (const Diagnostic& diagnostic : diagnostics) {
    if (!description.empty()) description += "; ";
    description += OneLine(diagnostic.message) + " (SQLSTATE " + diagnostic.state + ")";
  }
  return description;
}

}  // namespace toverak
