// How the columns and diagnostics of an ODBC driver look in the program's terms: ADO type codes,
// values of platform/value.h, and the count of Errors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/value.h"

namespace toverak {

// How a column's values are fetched from the driver and held.
enum class ValueKind {
  kText,
  kBytes,
  kBoolean,
  kUnsignedByte,
  kInt16,
  kInt32,
  kInt64,
  kSingle,
  kDouble,
  kDecimal,
  kCurrency,
  kTimestamp,
  kDate,
  kTime,
  kGuid,
};

struct ColumnKind {
  int32_t ado_type;
  ValueKind value_kind;
};

// The ADO type and value kind of a column of ODBC type `sql_type`; `is_unsigned` as the driver
// describes the column, `type_name` the database's own name of the type (SQL Server's money
// types are decimals in ODBC and currency in ADO). An unknown type is read as text.
ColumnKind KindOfColumn(int sql_type, bool is_unsigned, std::string_view type_name);

// A date and time on the day scale of Date: `nanoseconds` the fraction of the second.
Date DateFromParts(int year, int month, int day, int hour, int minute, int second,
                   uint32_t nanoseconds);

// A decimal in the text form that drivers give ("-12.50", ".5"); throws RaisedError on any
// other text or on more than 96 bits.
Decimal DecimalFromText(std::string_view text);

// An amount of money in that text form, rounded to four decimals; throws RaisedError on any
// other text or on an amount out of range.
Currency CurrencyFromText(std::string_view text);

// One diagnostic record of a handle, as SQLGetDiagRec gives it.
struct Diagnostic {
  std::string state;
  int32_t native_error = 0;
  std::string message;
};

// The number of records that count as entries of Errors: all but the messages that SQL Server
// sends on every login ("Changed database context to ...", "Changed language setting to ...").
int32_t CountReportedDiagnostics(const std::vector<Diagnostic>& diagnostics);

// The description of a failure: each record's message and state, on one line.
std::string DescribeDiagnostics(const std::vector<Diagnostic>& diagnostics);

}  // namespace toverak
