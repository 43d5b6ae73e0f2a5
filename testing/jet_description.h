// Reads the JSON description of a test database (see jet_writer.h) into tables and values.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "platform/value.h"
#include "testing/jet_writer.h"

namespace toverak {

// The database that `description` describes; throws RaisedError naming what is wrong.
JetDatabase ParseJetDescription(const nlohmann::json& description);

// "yesno", "byte", "integer", "long", "currency", "single", "double", "datetime", "text",
// "memo", "guid", "decimal", "datetimeextended" or "attachment"; throws RaisedError on any
// other name.
JetType ParseJetType(const std::string& name);

// The value that `json` gives for `column`; throws RaisedError when it gives none.
Value ParseJetValue(const JetColumn& column, const nlohmann::json& json);

// "YYYY-MM-DD HH:MM:SS", "YYYY-MM-DD" or "HH:MM:SS" as Jet stores it: days since 30 December
// 1899 plus the fraction of the day; before that day, the day number less the fraction.
Date ParseJetDate(const std::string& text);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", hexadecimal in either case.
Guid ParseJetGuid(const std::string& text);

// A decimal amount with at most four decimals, such as "-12.3456".
Currency ParseJetCurrency(const std::string& text);

// A decimal number such as "-1234.5678", with the scale of its decimals; throws RaisedError
// when it is not one or needs more than 96 bits.
Decimal ParseJetDecimal(const std::string& text);

// `value` with `scale` decimals; throws RaisedError when it has more decimals, or then more
// than `precision` digits.
Decimal JetDecimalAtScale(const Decimal& value, int scale, int precision);

// A Date/Time Extended value: days since 1 January of the year 1, and 100-nanosecond units
// since midnight.
struct JetExtendedDate {
  int64_t days = 0;
  int64_t ticks = 0;
};

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" with up to seven decimals of the second, years 1 to
// 9999; throws RaisedError on any other text.
JetExtendedDate ParseJetExtendedDate(const std::string& text);

// `text` with "{n}" replaced by `n` and "{n:W}" by `n` padded with zeros to W digits.
std::string SubstituteCounter(const std::string& text, int64_t n);

}  // namespace toverak
