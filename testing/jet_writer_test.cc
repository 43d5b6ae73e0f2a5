// Every file that the writer makes must read back value by value, alike, through readers that
// share no code with it (mdbtools' command-line tools and the npm package mdb-reader) and
// through the program's own Access reader. What neither reads (calculated columns, which
// mdb-reader 3.2.0 returns wrapped; Date/Time Extended in mdbtools) is checked against files
// that Microsoft Access made.
#include "testing/jet_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <malloc.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>

#include "platform/error.h"
#include "platform/posix/backend.h"
#include "platform/value_text.h"
#include "testing/jet_description.h"
#include "testing/jet_text.h"
#include "testing/mdb_readers.h"
#include "testing/temp_folder.h"

namespace toverak {
namespace {

using nlohmann::json;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr size_t kMostMismatchesShown = 10;

json LoadFixture(const std::string& name) {
  std::ifstream in(std::string(TOVERAK_SOURCE_DIR) + "/testing/fixtures/" + name);
  return json::parse(in);
}

// A table's rows as the writer was given them, plain and generated.
std::vector<JetRow> AllRows(const JetTable& table) {
  std::vector<JetRow> rows = table.rows;
  for (int64_t i = 0; i < table.generated_count; ++i) rows.push_back(table.generate(i));
  return rows;
}

std::string Hex(const Guid& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "%08X%04X%04X", guid.data1, guid.data2, guid.data3);
  std::string hex = text;
  for (uint8_t byte : guid.data4) {
    std::snprintf(text, sizeof text, "%02X", byte);
    hex += text;
  }
  return hex;
}

// Only the hexadecimal digits, upper-cased: the readers spell GUIDs each their own way.
std::string HexDigits(const std::string& text) {
  std::string hex;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) hex += static_cast<char>(std::toupper(c));
  }
  return hex;
}

// mdbtools shows a character beyond the Basic Multilingual Plane as "??".
std::string AsMdbToolsShowsIt(const std::string& text) {
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i) {
    if (static_cast<uint8_t>(text[i]) >= 0xF0) {
      shown += "??";
      i += 3;
    } else {
      shown += text[i];
    }
  }
  return shown;
}

// The date as mdbtools formats it: whole days, then the time rounded to the second. mdbtools
// formats only days 0 to 1,000,000; nullopt outside.
std::optional<std::string> AsMdbToolsDate(double days) {
  if (days < 0 || days > 1e6) return std::nullopt;
  const auto day = static_cast<int64_t>(days);
  const auto seconds = static_cast<int64_t>((days - static_cast<double>(day)) * 86400.0 + 0.5);
  // Civil date from days since 1970 (30 December 1899 is day -25569).
  const int64_t z = day - 25569 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  const int64_t day_of_month = doy - (153 * mp + 2) / 5 + 1;
  char text[128];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld",
                static_cast<long long>(year), static_cast<long long>(month),
                static_cast<long long>(day_of_month), static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

std::string Printed(const char* format, double number) {
  char text[64];
  std::snprintf(text, sizeof text, format, number);
  return text;
}

// A decimal with as many decimals as its scale, as both readers write it.
std::string WithAllDecimals(const Decimal& decimal) {
  std::string text = GeneralText(decimal);
  const size_t point = text.find('.');
  const size_t decimals = point == std::string::npos ? 0 : text.size() - point - 1;
  if (decimal.scale > 0 && point == std::string::npos) text += ".";
  return text + std::string(decimal.scale - decimals, '0');
}

// A Date/Time Extended text as mdb-reader writes it: "YYYY.MM.DD HH:MM:SS.fffffff00".
std::string AsMdbReaderShowsIt(const std::string& extended_date) {
  std::string text = extended_date.size() == 10 ? extended_date + " 00:00:00" : extended_date;
  text[4] = text[7] = '.';
  if (text.size() == 19) text += ".";
  return text + std::string(29 - text.size(), '0');
}

// The kind of column that the column entry names: a calculated column's result, but a Yes/No
// one named an Integer and a Memo one a Text, as Access names them.
JetType EntryType(const JetColumn& column) {
  if (column.expression.empty()) return column.type;
  if (column.type == JetType::kYesNo) return JetType::kInteger;
  if (column.type == JetType::kMemo) return JetType::kText;
  return column.type;
}

// Whether mdbtools reads the values of `column`: it reads neither calculated values nor Date/Time
// Extended ones.
bool MdbToolsReads(const JetColumn& column) {
  return column.expression.empty() && column.type != JetType::kDateTimeExtended;
}

// Whether mdb-reader reads them: it returns a calculated value wrapped, and an attachment
// column's values are left out of the dump.
bool MdbReaderReads(const JetColumn& column) {
  return column.expression.empty() && column.type != JetType::kAttachment;
}

// Whether mdbtools' text of a field shows `expected`; mdb-export writes Null and an empty text
// alike, as an empty field.
bool MdbToolsShows(JetType type, const Value& expected, const std::optional<std::string>& got) {
  if (IsNull(expected)) return !got;
  if (auto* text = std::get_if<std::string>(&expected)) {
    return text->empty() ? !got : got && *got == AsMdbToolsShowsIt(*text);
  }
  if (!got) return false;
  switch (type) {
    case JetType::kYesNo:
      return *got == (std::get<bool>(expected) ? "1" : "0");
    case JetType::kByte:
      return *got == std::to_string(std::get<uint8_t>(expected));
    case JetType::kInteger:
      return *got == std::to_string(std::get<int16_t>(expected));
    case JetType::kLong:
      return *got == std::to_string(std::get<int32_t>(expected));
    case JetType::kCurrency:
      return ParseJetCurrency(*got) == std::get<Currency>(expected);
    case JetType::kSingle:
      return *got == Printed("%.8g", std::get<float>(expected));
    case JetType::kDouble:
      return *got == Printed("%.16g", std::get<double>(expected));
    case JetType::kDateTime: {
      const std::optional<std::string> date = AsMdbToolsDate(std::get<Date>(expected).days);
      return !date || *got == *date;
    }
    case JetType::kGuid:
      return HexDigits(*got) == Hex(std::get<Guid>(expected));
    case JetType::kDecimal:
      return *got == WithAllDecimals(std::get<Decimal>(expected));
    case JetType::kAttachment:
      return *got == std::to_string(std::get<int32_t>(expected));
    default:
      return false;
  }
}

// Whether mdb-reader's JSON value of a field is `expected`. It keeps dates to the millisecond.
bool MdbReaderGives(JetType type, const Value& expected, const json& got) {
  if (IsNull(expected)) return got.is_null();
  if (got.is_null()) return false;
  switch (type) {
    case JetType::kYesNo:
      return got == std::get<bool>(expected);
    case JetType::kByte:
      return got == std::get<uint8_t>(expected);
    case JetType::kInteger:
      return got == std::get<int16_t>(expected);
    case JetType::kLong:
      return got == std::get<int32_t>(expected);
    case JetType::kCurrency:
      return ParseJetCurrency(got.get<std::string>()) == std::get<Currency>(expected);
    case JetType::kSingle:
      return got.get<double>() == std::get<float>(expected);
    case JetType::kDouble:
      return got.get<double>() == std::get<double>(expected);
    case JetType::kDateTime:
      return std::fabs(got["days"].get<double>() - std::get<Date>(expected).days) < 0.6 / 86400000;
    case JetType::kText:
    case JetType::kMemo:
      return got == std::get<std::string>(expected);
    case JetType::kGuid:
      return HexDigits(got.get<std::string>()) == Hex(std::get<Guid>(expected));
    case JetType::kDecimal:
      return got == WithAllDecimals(std::get<Decimal>(expected));
    case JetType::kDateTimeExtended:
      return got == AsMdbReaderShowsIt(std::get<std::string>(expected));
    case JetType::kAttachment:
      return false;
  }
  return false;
}

std::string Describe(const Value& value) {
  if (IsNull(value)) return "Null";
  if (auto* text = std::get_if<std::string>(&value)) {
    return "\"" + (text->size() > 80 ? text->substr(0, 80) + "..." : *text) + "\"";
  }
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Currency>)
          return std::to_string(v.scaled) + "/10000";
        else if constexpr (std::is_same_v<T, Date>)
          return std::to_string(v.days) + " days";
        else if constexpr (std::is_same_v<T, Guid>)
          return Hex(v);
        else if constexpr (std::is_same_v<T, Decimal>)
          return GeneralText(v) + " of scale " + std::to_string(v.scale);
        else if constexpr (std::is_arithmetic_v<T>)
          return std::to_string(v);
        else
          return "a value";
      },
      value);
}

std::string Shorten(const std::string& text) {
  return text.size() > 80 ? text.substr(0, 80) + "..." : text;
}

std::string MdbToolsTypeOf(const JetColumn& column) {
  const bool calculated = !column.expression.empty();
  if (calculated && column.type == JetType::kText) {
    return "Text (" + std::to_string(column.size + 11) + ")";  // half the entry's 2 * size + 23
  }
  if (calculated && column.type == JetType::kMemo) return "Text (255)";
  if (calculated && column.type == JetType::kDecimal) return "Numeric (39)";  // the entry's length
  switch (EntryType(column)) {
    case JetType::kYesNo:
      return "Boolean";
    case JetType::kByte:
      return "Byte";
    case JetType::kInteger:
      return "Integer";
    case JetType::kLong:
      return "Long Integer";
    case JetType::kCurrency:
      return "Currency";
    case JetType::kSingle:
      return "Single";
    case JetType::kDouble:
      return "Double";
    case JetType::kDateTime:
      return "DateTime";
    case JetType::kText:
      return "Text (" + std::to_string(column.size) + ")";
    case JetType::kMemo:
      return "Memo/Hyperlink (255)";
    case JetType::kGuid:
      return "Replication ID";
    case JetType::kDecimal:
      return "Numeric (" + std::to_string(column.precision) + ", " + std::to_string(column.scale) +
             ")";
    case JetType::kDateTimeExtended:
      return "Unknown_0014";
    case JetType::kAttachment:
      return "Unknown_0012";
  }
  return "";
}

std::string MdbReaderTypeOf(JetType type) {
  switch (type) {
    case JetType::kYesNo:
      return "boolean";
    case JetType::kByte:
      return "byte";
    case JetType::kInteger:
      return "integer";
    case JetType::kLong:
      return "long";
    case JetType::kCurrency:
      return "currency";
    case JetType::kSingle:
      return "float";
    case JetType::kDouble:
      return "double";
    case JetType::kDateTime:
      return "datetime";
    case JetType::kText:
      return "text";
    case JetType::kMemo:
      return "memo";
    case JetType::kGuid:
      return "repid";
    case JetType::kDecimal:
      return "numeric";
    case JetType::kDateTimeExtended:
      return "datetimextended";
    case JetType::kAttachment:
      return "complex";
  }
  return "";
}

// What mdb-reader lists for `column`: its type, a text's bytes, a decimal's precision and scale.
bool MdbReaderListsAsWritten(const JetColumn& column, const json& got) {
  const bool calculated = !column.expression.empty();
  if (got["name"] != column.name || got["type"] != MdbReaderTypeOf(EntryType(column))) return false;
  if (column.type == JetType::kText) return got["size"] == 2 * column.size + (calculated ? 23 : 0);
  if (column.type == JetType::kDecimal && !calculated) {
    return got["precision"] == column.precision && got["scale"] == column.scale;
  }
  return true;
}

// Collects the differences between what the writer was given and what a reader read.
class Mismatches {
 public:
  void Add(const std::string& text) {
    ++count_;
    if (shown_.size() < kMostMismatchesShown) shown_.push_back(text);
  }
  void AddValue(const std::string& reader, const JetTable& table, size_t row, size_t column,
                const Value& expected, const std::string& got) {
    Add(reader + ": table " + table.name + ", row " + std::to_string(row + 1) + ", column " +
        table.columns[column].name + ": expected " + Describe(expected) + ", got " + Shorten(got));
  }
  std::vector<std::string> Shown() const {
    std::vector<std::string> shown = shown_;
    if (count_ > shown_.size()) shown.push_back(std::to_string(count_) + " differences in all");
    return shown;
  }

 private:
  size_t count_ = 0;
  std::vector<std::string> shown_;
};

// A database as the writer was given it, every row at hand, and the file it wrote.
struct Written {
  JetDatabase database;
  std::vector<std::vector<JetRow>> rows;  // a table's rows, by table
  std::string path;
};

void CompareWithMdbTools(const Written& written, Mismatches& out) {
  std::vector<std::string> names;
  for (const JetTable& table : written.database.tables) names.push_back(table.name);
  if (MdbToolsTableNames(written.path) != names) out.Add("mdbtools lists other tables");
  for (size_t t = 0; t < names.size(); ++t) {
    const JetTable& table = written.database.tables[t];
    const auto columns = MdbToolsColumns(written.path, table.name);
    for (size_t c = 0; c < table.columns.size(); ++c) {
      const std::pair<std::string, std::string> expected(table.columns[c].name,
                                                         MdbToolsTypeOf(table.columns[c]));
      if (c >= columns.size() || columns[c] != expected) {
        out.Add("mdb-schema: table " + table.name + " column " + expected.first + " is not " +
                expected.second);
      }
    }
    const auto rows = MdbToolsRows(written.path, table.name);
    const std::vector<JetRow>& expected = written.rows[t];
    if (rows.size() != expected.size()) {
      out.Add("mdb-export: table " + table.name + " has " + std::to_string(rows.size()) + " rows");
      continue;
    }
    for (size_t r = 0; r < rows.size(); ++r) {
      for (size_t c = 0; c < table.columns.size(); ++c) {
        const std::optional<std::string> got = c < rows[r].size() ? rows[r][c] : std::nullopt;
        if (MdbToolsReads(table.columns[c]) &&
            !MdbToolsShows(table.columns[c].type, expected[r][c], got)) {
          out.AddValue("mdb-export", table, r, c, expected[r][c],
                       got ? "\"" + *got + "\"" : "empty");
        }
      }
    }
  }
}

void CompareWithMdbReader(const Written& written, Mismatches& out) {
  const json dump = MdbReaderDump(written.path);
  const std::vector<JetTable>& tables = written.database.tables;
  if (dump["tables"].size() != tables.size()) out.Add("mdb-reader lists other tables");
  for (size_t t = 0; t < tables.size() && t < dump["tables"].size(); ++t) {
    const JetTable& table = tables[t];
    const json& read = dump["tables"][t];
    if (read["name"] != table.name) out.Add("mdb-reader: table " + table.name + " is missing");
    for (size_t c = 0; c < table.columns.size(); ++c) {
      const JetColumn& column = table.columns[c];
      const json& got = read["columns"][c];
      if (!MdbReaderListsAsWritten(column, got)) {
        out.Add("mdb-reader: table " + table.name + " column " + column.name + " is " + got.dump());
      }
    }
    const json& rows = read["rows"];
    const std::vector<JetRow>& expected = written.rows[t];
    if (rows.size() != expected.size()) {
      out.Add("mdb-reader: table " + table.name + " has " + std::to_string(rows.size()) + " rows");
      continue;
    }
    for (size_t r = 0; r < rows.size(); ++r) {
      for (size_t c = 0; c < table.columns.size(); ++c) {
        if (MdbReaderReads(table.columns[c]) &&
            !MdbReaderGives(table.columns[c].type, expected[r][c], rows[r][c])) {
          out.AddValue("mdb-reader", table, r, c, expected[r][c], rows[r][c].dump());
        }
      }
    }
  }
}

int32_t AdoTypeOf(JetType type) {
  switch (type) {
    case JetType::kYesNo:
      return ado_type::kBoolean;
    case JetType::kByte:
      return ado_type::kUnsignedTinyInt;
    case JetType::kInteger:
      return ado_type::kSmallInt;
    case JetType::kLong:
      return ado_type::kInteger;
    case JetType::kCurrency:
      return ado_type::kCurrency;
    case JetType::kSingle:
      return ado_type::kSingle;
    case JetType::kDouble:
      return ado_type::kDouble;
    case JetType::kDateTime:
      return ado_type::kDate;
    case JetType::kText:
      return ado_type::kVarWChar;
    case JetType::kMemo:
      return ado_type::kLongVarWChar;
    case JetType::kGuid:
      return ado_type::kGuid;
    case JetType::kDecimal:
      return ado_type::kNumeric;
    case JetType::kDateTimeExtended:
      return ado_type::kDBTimeStamp;
    case JetType::kAttachment:
      return 0;  // listed, of no type that the tests rely on
  }
  return 0;
}

// The day number of a Date/Time Extended text, as Jet counts dates.
double DaysOfExtendedDate(const std::string& text) {
  const JetExtendedDate date = ParseJetExtendedDate(text);
  const auto day = static_cast<double>(date.days - ParseJetExtendedDate("1899-12-30").days);
  const double fraction = static_cast<double>(date.ticks) / 864e9;
  return day >= 0 ? day + fraction : day - fraction;
}

// Whether our reader's value of a field is `expected`: a Date/Time Extended one to the 100
// nanoseconds, and its day number as near as a double holds it.
bool OurReaderGives(const JetColumn& column, const Value& expected, const Value& got) {
  if (column.type != JetType::kDateTimeExtended || IsNull(expected)) return got == expected;
  const auto* date = std::get_if<Date>(&got);
  const std::string& text = std::get<std::string>(expected);
  const JetExtendedDate exact = ParseJetExtendedDate(text);
  const double days = DaysOfExtendedDate(text);
  const double tolerance = 2 * (std::nextafter(std::fabs(days), 1e300) - std::fabs(days));
  return date && date->ticks == exact.days * 864'000'000'000 + exact.ticks &&
         std::fabs(date->days - days) <= tolerance;
}

// A field that our reader lists but whose value it refuses, naming the column: an attachment's.
bool OurReaderRefuses(const Field& field) {
  try {
    field.GetValue();
    return false;
  } catch (const RaisedError& error) {
    return error.Description().find(field.Name()) != std::string::npos;
  }
}

// The heap memory in use, in KiB (glibc's count; sanitizer builds keep their own).
long HeapInUseKiB() { return static_cast<long>(mallinfo2().uordblks / 1024); }

// Our own reader, in this process: values as the program gets them, Null told from empty text.
// For a big table it prints how much more heap memory it held while the rows streamed past.
void CompareWithOurReader(const Written& written, Mismatches& out) {
  const std::unique_ptr<OpenBackend> backend = OpenAccessBackend(written.path);
  for (size_t t = 0; t < written.rows.size(); ++t) {
    const JetTable& table = written.database.tables[t];
    const std::vector<JetRow>& expected = written.rows[t];
    const long heap_before = HeapInUseKiB();
    long heap_peak = heap_before;
    std::unique_ptr<Recordset> recordset;
    try {
      recordset = backend->OpenTable(table.name);
    } catch (const RaisedError& error) {
      out.Add("our reader: table " + table.name + ": " + error.Description());
      continue;
    }
    const Fields& fields = recordset->GetFields();
    if (fields.Count() != static_cast<int32_t>(table.columns.size())) {
      out.Add("our reader: table " + table.name + " has " + std::to_string(fields.Count()) +
              " columns");
      continue;
    }
    for (size_t c = 0; c < table.columns.size(); ++c) {
      const Field& field = fields.Item(static_cast<int32_t>(c));
      const JetType type = table.columns[c].type;
      if (field.Name() != table.columns[c].name ||
          (type != JetType::kAttachment && field.Type() != AdoTypeOf(type))) {
        out.Add("our reader: table " + table.name + " column " + table.columns[c].name + " is " +
                field.Name() + " of type " + std::to_string(field.Type()));
      }
    }
    size_t r = 0;
    for (; !recordset->Eof(); recordset->MoveNext(), ++r) {
      if (r % 1000 == 0) heap_peak = std::max(heap_peak, HeapInUseKiB());
      if (r >= expected.size()) continue;
      for (size_t c = 0; c < table.columns.size(); ++c) {
        const Field& field = fields.Item(static_cast<int32_t>(c));
        if (table.columns[c].type == JetType::kAttachment) {
          if (!OurReaderRefuses(field)) out.AddValue("our reader", table, r, c, {}, "a value");
          continue;
        }
        const Value got = field.GetValue();
        if (!OurReaderGives(table.columns[c], expected[r][c], got))
          out.AddValue("our reader", table, r, c, expected[r][c], Describe(got));
      }
    }
    if (r != expected.size()) {
      out.Add("our reader: table " + table.name + " has " + std::to_string(r) + " rows");
    }
    if (r >= 10000) {
      std::cout << "reading the " << r << " rows of " << table.name << " took at most "
                << heap_peak - heap_before << " KiB of heap more\n";
    }
  }
}

// Writes the database and reads it back through every reader; returns the differences.
std::vector<std::string> WriteAndReadBack(const JetDatabase& database, const TempFolder& folder) {
  Written written{database, {}, (folder.path() / "written.mdb").string()};
  for (const JetTable& table : written.database.tables) written.rows.push_back(AllRows(table));
  WriteJetDatabase(written.database, written.path);
  Mismatches mismatches;
  CompareWithMdbTools(written, mismatches);
  CompareWithMdbReader(written, mismatches);
  CompareWithOurReader(written, mismatches);
  return mismatches.Shown();
}

std::vector<std::string> WriteAndReadBack(const std::string& fixture, const TempFolder& folder) {
  return WriteAndReadBack(ParseJetDescription(LoadFixture(fixture)), folder);
}

TEST(JetWriterReadBackTest, EveryTypeNullAndTextReadsBackAlikeInEveryReader) {
  TempFolder folder;
  EXPECT_THAT(WriteAndReadBack("jet_all_types.json", folder), IsEmpty());
}

// An Access 2019 file: calculated columns of every result, Date/Time Extended and attachment
// columns.
TEST(JetWriterReadBackTest, AceColumnsReadBackInEveryReaderThatReadsThem) {
  TempFolder folder;
  EXPECT_THAT(WriteAndReadBack("jet_ace_types.json", folder), IsEmpty());
}

// Enough long column names to spread a table's definition over several pages, and enough
// long table names to spread the catalog over several data pages.
TEST(JetWriterReadBackTest, DefinitionsAndCatalogOfSeveralPagesReadBack) {
  TempFolder folder;
  JetDatabase database;
  JetTable wide("Wide", {});
  JetRow row;
  for (int32_t i = 0; i < 200; ++i) {
    wide.columns.push_back({"column number " + std::to_string(i) + std::string(40, 'c'),
                            i % 2 ? JetType::kLong : JetType::kText, 10});
    row.push_back(i % 2 ? Value{i} : Value{std::to_string(i)});
  }
  wide.rows = {row, row};
  database.tables.push_back(wide);
  for (int i = 0; i < 40; ++i) {
    database.tables.emplace_back("table " + std::to_string(i) + std::string(50, 't'),
                                 std::vector<JetColumn>{{"Id", JetType::kLong}},
                                 std::vector<JetRow>{{int32_t{i}}});
  }
  EXPECT_THAT(WriteAndReadBack(database, folder), IsEmpty());
  // The catalog's definition is page 2, the wide table's starts at page 3.
  const std::string file = folder.Read("written.mdb");
  const auto u32_at = [&](size_t at) {
    uint32_t value = 0;
    std::memcpy(&value, &file[at], sizeof value);
    return value;
  };
  EXPECT_NE(u32_at(3 * 4096 + 4), 0u) << "the wide table's definition has no second page";
  int catalog_pages = 0;
  for (size_t page = 0; page < file.size() / 4096; ++page) {
    if (file[page * 4096] == 0x01 && u32_at(page * 4096 + 4) == 2) ++catalog_pages;
  }
  EXPECT_GT(catalog_pages, 1);
}

TEST(JetWriterReadBackTest, HundredThousandRowTableReadsBackWholeInEveryReader) {
  TempFolder folder;
  EXPECT_THAT(WriteAndReadBack("jet_big_table.json", folder), IsEmpty());
  // Beyond 512 pages the table's page map no longer fits inline and points to bitmap pages.
  EXPECT_GT(std::filesystem::file_size(folder.path() / "written.mdb"), 512u * 4096u);
}

const std::filesystem::path kAccessMadeFiles =
    std::filesystem::path(TOVERAK_SOURCE_DIR) / "../shared/testdata/access";

// One table of a Jet 4 or ACE file, found by the name of one of its columns, read as the pages
// lay it out: to set the column entries and fields that the writer stores beside those that
// Access stores.
class StoredTable {
 public:
  StoredTable(const std::filesystem::path& path, const std::string& column_name)
      : file_(ReadWholeFile(path)) {
    for (uint32_t page = 0; page < file_.size() / kPage && entries_.empty(); ++page) {
      if (Byte(page * kPage) == 0x02 && !IsContinuation(page)) ReadDefinition(page, column_name);
    }
    if (entries_.empty()) throw RaisedError("no table has a column " + column_name);
  }

  // The column entry of `column`, without the bytes that tell where it lies.
  std::string Entry(const std::string& column) const {
    std::string entry = entries_.at(column);
    for (size_t at : {5, 6, 7, 8, 9, 10, 13, 14, 21, 22}) entry[at] = 0;
    return entry;
  }
  // What row `row` (counted in the order of the pages) stores for `column`: its fixed bytes, or
  // its variable field.
  std::string Field(const std::string& column, size_t row_number) const {
    const std::string& entry = entries_.at(column);
    const std::string& row = rows_.at(row_number);
    const uint32_t columns = U16(row, 0);
    const size_t end = row.size() - (columns + 7) / 8 - 2;
    if (entry[15] & 0x01) return row.substr(2 + U16(entry, 21), U16(entry, 23));
    const uint32_t index = U16(entry, 7);
    const uint32_t begin = U16(row, end - 2 * (index + 1));
    return row.substr(begin, U16(row, end - 2 * (index + 2)) - begin);
  }

 private:
  static constexpr uint32_t kPage = 4096;

  static uint32_t U16(const std::string& bytes, size_t at) {
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8;
  }
  uint8_t Byte(size_t at) const { return static_cast<uint8_t>(file_[at]); }
  uint32_t U32(size_t at) const { return U16(file_, at) | U16(file_, at + 2) << 16; }
  bool IsContinuation(uint32_t page) const {
    for (uint32_t other = 0; other < file_.size() / kPage; ++other) {
      if (Byte(other * kPage) == 0x02 && U32(other * kPage + 4) == page) return true;
    }
    return false;
  }

  void ReadDefinition(uint32_t page, const std::string& column_name) {
    std::string definition = file_.substr(page * kPage, kPage);
    for (uint32_t next = U32(page * kPage + 4); next != 0; next = U32(next * kPage + 4)) {
      definition += file_.substr(next * kPage + 8, kPage - 8);
    }
    const uint32_t columns = U16(definition, 45);
    size_t at = 63 + 12 * U32(page * kPage + 51);
    std::vector<std::string> entries;
    for (uint32_t i = 0; i < columns; ++i, at += 25) entries.push_back(definition.substr(at, 25));
    std::map<std::string, std::string> named;
    for (uint32_t i = 0; i < columns; ++i) {
      const uint32_t length = U16(definition, at);
      std::string name;
      for (uint32_t unit = 0; unit < length; unit += 2) name += definition[at + 2 + unit];
      named[name] = entries[i];
      at += 2 + length;
    }
    if (!named.contains(column_name)) return;
    entries_ = named;
    for (uint32_t data = 0; data < file_.size() / kPage; ++data) {
      if (Byte(data * kPage) == 0x01 && U32(data * kPage + 4) == page) ReadRows(data);
    }
  }

  // The rows of a data page that are neither deleted nor moved (nor the target of a move).
  void ReadRows(uint32_t page) {
    const size_t base = size_t(page) * kPage;
    uint32_t end = kPage;
    for (uint32_t row = 0; row < U16(file_, base + 12); ++row) {
      const uint32_t offset = U16(file_, base + 14 + 2 * row);
      const uint32_t start = offset & 0x1FFF;
      if ((offset & 0xC000) == 0) rows_.push_back(file_.substr(base + start, end - start));
      end = start;
    }
  }

  std::string file_;
  std::map<std::string, std::string> entries_;
  std::vector<std::string> rows_;
};

// Decimal, calculated and Date/Time Extended columns as the writer stores them, set beside those
// of files that Microsoft Access made: the column entries, the stored bytes of the same values,
// the header of the file, and the properties of a calculated column as mdbtools reads them.
TEST(JetWriterTest, StoresDecimalCalculatedAndExtendedColumnsAsAccessDoes) {
  if (!std::filesystem::exists(kAccessMadeFiles)) {
    GTEST_SKIP() << "the Access-made files of " << kAccessMadeFiles << " are not on this machine";
  }
  const JetDatabase database = ParseJetDescription(json::parse(R"json({"tables": [
    {"name": "test", "columns": [{"name": "col2", "type": "decimal"}], "rows": [[1], [-1]]},
    {"name": "Table1",
     "columns": [
       {"name": "LastFirst", "type": "text", "expression": "[LastName] & \", \" & [FirstName]"},
       {"name": "LastFirstLen", "type": "long", "expression": "Len([LastFirst])"},
       {"name": "MonthlySalary", "type": "currency", "expression": "[Salary]/12"},
       {"name": "IsRich", "type": "yesno", "expression": "[Salary]>100000"},
       {"name": "AllNames", "type": "memo", "expression": "x"},
       {"name": "WeeklySalary", "type": "decimal", "expression": "[Salary]/52"},
       {"name": "SalaryTest", "type": "currency", "expression": "[Salary]"},
       {"name": "DecimalTest", "type": "decimal", "expression": "[Popularity]"},
       {"name": "FloatTest", "type": "single", "expression": "x"},
       {"name": "BigNumTest", "type": "decimal", "expression": "x"}],
     "rows": [["Wayne, Bruce", 12, "83333.3333", true, "Doe, John=Doe, John",
               "-0.0192307692307692", "1000000", null, 2583.2092,
               "56505085819.424791296572280180"]]},
    {"name": "Dates",
     "columns": [{"name": "DateExt", "type": "datetimeextended"},
                 {"name": "DateNormalCalc", "type": "datetime", "expression": "[DateNormal]"}],
     "rows": [["2021-06-14 22:45:12.3456789", "2020-06-17"],
              ["1265-06-14 12:45:00", null]]}]})json"));
  TempFolder folder;
  WriteJetDatabase(database, folder.path() / "written.accdb");
  JetDatabase calculated_only = database;
  calculated_only.tables.resize(2);
  WriteJetDatabase(calculated_only, folder.path() / "calculated.accdb");
  const StoredTable numbers(kAccessMadeFiles / "fixedNumericTestV2003.mdb", "col2");
  const StoredTable calculations(kAccessMadeFiles / "calcFieldTestV2010.accdb", "LastFirst");
  const StoredTable dates(kAccessMadeFiles / "extDateTestV2019.accdb", "DateExt");
  const StoredTable ours(folder.path() / "written.accdb", "col2");
  const StoredTable our_calculations(folder.path() / "written.accdb", "LastFirst");
  const StoredTable our_dates(folder.path() / "written.accdb", "DateExt");

  EXPECT_EQ(ours.Entry("col2"), numbers.Entry("col2"));
  EXPECT_EQ(ours.Field("col2", 0), numbers.Field("col2", 0));  // 1
  EXPECT_EQ(ours.Field("col2", 1), numbers.Field("col6", 0));  // -1
  for (const char* column :
       {"LastFirst", "LastFirstLen", "IsRich", "AllNames", "SalaryTest", "DecimalTest"}) {
    EXPECT_EQ(our_calculations.Entry(column), calculations.Entry(column)) << column;
  }
  // Access's row 1 holds -0.0192307692307692 in WeeklySalary, its row 2 (inline) the AllNames.
  for (const auto& [column, access_row] :
       std::vector<std::pair<std::string, size_t>>{{"LastFirst", 0},
                                                   {"LastFirstLen", 0},
                                                   {"MonthlySalary", 0},
                                                   {"IsRich", 0},
                                                   {"AllNames", 2},
                                                   {"WeeklySalary", 1},
                                                   {"SalaryTest", 0},
                                                   {"FloatTest", 0},
                                                   {"BigNumTest", 0}}) {
    EXPECT_EQ(our_calculations.Field(column, 0), calculations.Field(column, access_row)) << column;
  }
  EXPECT_EQ(our_dates.Entry("DateExt"), dates.Entry("DateExt"));
  EXPECT_EQ(our_dates.Field("DateExt", 0), dates.Field("DateExt", 5));
  EXPECT_EQ(our_dates.Field("DateExt", 1), dates.Field("DateExt", 6));
  EXPECT_EQ(our_dates.Field("DateNormalCalc", 0), dates.Field("DateNormalCalc", 0));
  EXPECT_EQ(our_dates.Field("DateNormalCalc", 1), dates.Field("DateNormalCalc", 4));  // Null

  const auto header = [](const std::filesystem::path& path) {
    return ReadWholeFile(path).substr(0, 0x18);
  };
  EXPECT_EQ(header(folder.path() / "calculated.accdb"),
            header(kAccessMadeFiles / "calcFieldTestV2010.accdb"));
  EXPECT_EQ(header(folder.path() / "written.accdb"),
            header(kAccessMadeFiles / "extDateTestV2019.accdb"));
  const std::string properties =
      RunCommand({"mdb-prop", (folder.path() / "written.accdb").string(), "Table1"});
  const std::string access_properties =
      RunCommand({"mdb-prop", (kAccessMadeFiles / "calcFieldTestV2010.accdb").string(), "Table1"});
  for (const char* line :
       {"\tExpression: [LastName] & \", \" & [FirstName]\n", "\tResultType: 10\n",
        "\tResultType: 12\n", "\tResultType: 16\n", "\tResultType: 1\n"}) {
    EXPECT_THAT(properties, HasSubstr(line));
    EXPECT_THAT(access_properties, HasSubstr(line));
  }
}

// Each value Jet stores in the description's forms, checked against values worked out by hand.
TEST(JetDescriptionTest, ReadsDatesAsJetCountsThem) {
  EXPECT_EQ(ParseJetDate("1899-12-30").days, 0);
  EXPECT_EQ(ParseJetDate("1900-01-01").days, 2);
  EXPECT_EQ(ParseJetDate("12:00:00").days, 0.5);
  EXPECT_EQ(ParseJetDate("2000-02-29 06:00:00").days, 36585.25);
  EXPECT_EQ(ParseJetDate("1899-12-29 06:00:00").days, -1.25);  // days count down, time up
  EXPECT_EQ(ParseJetDate("9999-12-31").days, 2958465);
  EXPECT_EQ(ParseJetDate("0100-01-01").days, -657434);
  for (const char* wrong : {"2023-02-29", "2024-13-01", "2024-01-01T00:00:00", "24:00:00",
                            "2024-1-01", "yesterday", ""}) {
    EXPECT_THROW(ParseJetDate(wrong), RaisedError) << wrong;
  }
}

TEST(JetDescriptionTest, ReadsCurrencyGuidsAndCounters) {
  EXPECT_EQ(ParseJetCurrency("-12.3456").scaled, -123456);
  EXPECT_EQ(ParseJetCurrency("1.5").scaled, 15000);
  EXPECT_EQ(ParseJetCurrency("-922337203685477.5808").scaled, INT64_MIN);
  EXPECT_EQ(ParseJetCurrency("922337203685477.5807").scaled, INT64_MAX);
  for (const char* wrong :
       {"922337203685477.5808", "999999999999999", "1.23456", "1.", ".5", "1e3", "--1", ""}) {
    EXPECT_THROW(ParseJetCurrency(wrong), RaisedError) << wrong;
  }
  const Guid guid = ParseJetGuid("{6f9619FF-8B86-D011-B42D-00C04FC964FF}");
  EXPECT_EQ(guid.data1, 0x6F9619FFu);
  EXPECT_EQ(guid.data2, 0x8B86);
  EXPECT_EQ(guid.data3, 0xD011);
  EXPECT_THAT(guid.data4, ElementsAre(0xB4, 0x2D, 0x00, 0xC0, 0x4F, 0xC9, 0x64, 0xFF));
  EXPECT_THROW(ParseJetGuid("6F9619FF-8B86-D011-B42D-00C04FC964FF"), RaisedError);
  EXPECT_EQ(SubstituteCounter("node-{n:4} of {n}, {name}", 7), "node-0007 of 7, {name}");
  EXPECT_EQ(SubstituteCounter("{n:2}", 12345), "12345");
}

TEST(JetDescriptionTest, ReadsDecimalsAndExtendedDates) {
  EXPECT_EQ(ParseJetDecimal("-123.4500"), (Decimal{1234500, 0, 4, true}));
  EXPECT_EQ(ParseJetDecimal("-0.00"), (Decimal{0, 0, 2, false}));
  EXPECT_EQ(ParseJetDecimal("79228162514264337593543950335"), (Decimal{~0ULL, ~0U, 0, false}));
  for (const char* wrong : {"79228162514264337593543950336", "1e5", ".5", "1.", "--1", ""}) {
    EXPECT_THROW(ParseJetDecimal(wrong), RaisedError) << wrong;
  }
  EXPECT_EQ(JetDecimalAtScale(Decimal{5, 0, 1, true}, 4, 10), (Decimal{5000, 0, 4, true}));
  EXPECT_THROW(JetDecimalAtScale(ParseJetDecimal("1.23456"), 4, 10), RaisedError);
  EXPECT_THROW(JetDecimalAtScale(ParseJetDecimal("1234567"), 4, 10), RaisedError);
  EXPECT_EQ(ParseJetExtendedDate("0001-01-01").days, 0);
  EXPECT_EQ(ParseJetExtendedDate("0001-01-01 00:00:00.0000001").ticks, 1);
  EXPECT_EQ(ParseJetExtendedDate("0001-03-01").days, 59);
  const JetExtendedDate last = ParseJetExtendedDate("9999-12-31 23:59:59.9");
  EXPECT_EQ(last.days, 3652058);
  EXPECT_EQ(last.ticks, 863999000000LL);
}

TEST(JetDescriptionTest, GeneratesRowsCountingFromFirst) {
  const JetDatabase database = ParseJetDescription(json::parse(R"(
    {"tables": [{"name": "T", "columns": [{"name": "Id", "type": "long"},
                                           {"name": "Name", "type": "text"},
                                           {"name": "When", "type": "datetime"},
                                           {"name": "Flag", "type": "yesno"}],
                 "rows": [{"Name": "only a name"}],
                 "generate": {"count": 3, "first": 10,
                              "row": ["{n}", "n{n}", {"days": "{n}.5"}, true]}}]})"));
  const JetTable& table = database.tables[0];
  EXPECT_THAT(table.rows[0], ElementsAre(Value{Null{}}, Value{std::string("only a name")},
                                         Value{Null{}}, Value{false}));
  ASSERT_EQ(table.generated_count, 3);
  EXPECT_THAT(table.generate(2), ElementsAre(Value{int32_t{12}}, Value{std::string("n12")},
                                             Value{Date{12.5}}, Value{true}));
}

TEST(JetDescriptionTest, RejectsValuesThatColumnsCannotHold) {
  const auto parse_row = [](const std::string& type, const std::string& value) {
    ParseJetDescription(json::parse(R"({"tables": [{"name": "T", "columns": [{"name": "C",
        "type": ")" + type + R"("}], "rows": [[)" +
                                    value + "]]}]}"));
  };
  EXPECT_THROW(parse_row("yesno", "null"), RaisedError);
  EXPECT_THROW(parse_row("byte", "256"), RaisedError);
  EXPECT_THROW(parse_row("integer", "-32769"), RaisedError);
  EXPECT_THROW(parse_row("long", "1.5"), RaisedError);
  EXPECT_THROW(parse_row("long", "18446744073709551615"), RaisedError);
  EXPECT_THROW(parse_row("text", "12"), RaisedError);
  EXPECT_THROW(parse_row("guid", "\"{1}\""), RaisedError);
  EXPECT_THROW(parse_row("decimal", "\"1.5\""), RaisedError);  // a scale of 0
  EXPECT_THROW(parse_row("datetimeextended", "\"0000-12-31\""), RaisedError);
  EXPECT_THROW(parse_row("datetimeextended", "\"2024-01-01 00:00:00.12345678\""), RaisedError);
  EXPECT_THROW(parse_row("attachment", "2147483648"), RaisedError);
  EXPECT_THROW(parse_row("money", "1"), RaisedError);
  EXPECT_NO_THROW(parse_row("long", "\"-2147483648\""));
}

TEST(JetTextTest, CompressesOnlyWhereReadersCanTellTheModesApart) {
  using Bytes = std::vector<uint8_t>;
  EXPECT_EQ(EncodeJetText(u"abc"), (Bytes{0xFF, 0xFE, 'a', 'b', 'c'}));
  EXPECT_EQ(EncodeJetText(u"ab"), (Bytes{'a', 0, 'b', 0}));  // not shorter compressed
  EXPECT_EQ(EncodeJetText(u"ab\u263Ecde"),
            (Bytes{0xFF, 0xFE, 'a', 'b', 0x00, 0x3E, 0x26, 0x00, 'c', 'd', 'e'}));
  EXPECT_EQ(EncodeJetText(u"a\u263Eb"), (Bytes{'a', 0, 0x3E, 0x26, 'b', 0}));
  EXPECT_EQ(EncodeJetText(u"a\u0100bc"), (Bytes{'a', 0, 0x00, 0x01, 'b', 0, 'c', 0}));
  EXPECT_EQ(EncodeJetText(std::u16string(1025, u'x')).size(), 2050u);
  EXPECT_EQ(EncodeJetText(u"\uFEFF"), (Bytes{0xFF, 0xFE, 0x00, 0xFF, 0xFE}));
  EXPECT_THROW(EncodeJetText(u"\uFEFF\u0100"), RaisedError);
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9D\x84\x9E"), u"\U0001D11E");
  for (const char* wrong : {"\xC0\xAF", "\xED\xA0\x80", "\xF5\x80\x80\x80", "\xE2\x82"}) {
    EXPECT_THROW(Utf8ToUtf16(wrong), RaisedError);
  }
}

TEST(JetWriterTest, NamesTheTableRowAndColumnOfAValueThatDoesNotFit) {
  TempFolder folder;
  JetDatabase database;
  database.tables.push_back(
      {"Nodes",
       {{"Id", JetType::kLong}, {"Name", JetType::kText, 5}},
       {{int32_t{1}, std::string("short")}, {int32_t{2}, std::string("too long")}}});
  try {
    WriteJetDatabase(database, folder.path() / "out.mdb");
    FAIL() << "a text longer than its column was written";
  } catch (const RaisedError& error) {
    EXPECT_THAT(error.Description(), HasSubstr("table Nodes, row 2: column Name"));
  }
  database.tables[0].rows = {{std::string("one"), std::string("x")}};
  EXPECT_THROW(WriteJetDatabase(database, folder.path() / "out.mdb"), RaisedError);
  database.tables[0].rows = {{int32_t{1}}};
  EXPECT_THROW(WriteJetDatabase(database, folder.path() / "out.mdb"), RaisedError);
}

TEST(JetWriterTest, RejectsTablesThatJetCannotHold) {
  TempFolder folder;
  const auto write = [&](std::vector<JetTable> tables) {
    WriteJetDatabase(JetDatabase{std::move(tables)}, folder.path() / "out.mdb");
  };
  const JetTable nodes{"Nodes", {{"Id", JetType::kLong}}};
  EXPECT_THROW(write({nodes, nodes}), RaisedError);
  EXPECT_THROW(write({{"msysobjects", {{"Id", JetType::kLong}}}}), RaisedError);
  EXPECT_THROW(write({{"T", {{"Id", JetType::kLong}, {"ID", JetType::kText}}}}), RaisedError);
  EXPECT_THROW(write({{"T", {}}}), RaisedError);
  EXPECT_THROW(write({{"T", {{"Name", JetType::kText, 256}}}}), RaisedError);
  EXPECT_THROW(write({{std::string(65, 'x'), {{"Id", JetType::kLong}}}}), RaisedError);
  const auto column = [](JetType type, int precision, int scale, const std::string& expression) {
    return JetColumn{"C", type, 255, precision, scale, expression};
  };
  for (const JetColumn& wrong :
       {column(JetType::kDecimal, 29, 0, ""), column(JetType::kDecimal, 4, 5, ""),
        column(JetType::kByte, 18, 0, "1"), column(JetType::kAttachment, 18, 0, "1"),
        column(JetType::kText, 18, 0, "[A]")}) {  // 255 characters
    EXPECT_THROW(write({{"T", {wrong}}}), RaisedError) << static_cast<int>(wrong.type);
  }
  JetColumn calculated_text = column(JetType::kText, 18, 0, "[A]");
  calculated_text.size = 243;
  EXPECT_NO_THROW(write({{"T", {calculated_text}, {{std::string("x")}}}}));
  EXPECT_THROW(write({{"T", {calculated_text}, {{std::string()}}}}), RaisedError);
  // Nine full texts of 255 characters that do not compress outgrow a 4 KiB page.
  std::string incompressible;
  for (int i = 0; i < 255; ++i) incompressible += "\u0100";
  JetTable wide("Wide", {});
  JetRow row;
  for (int i = 0; i < 9; ++i) {
    wide.columns.push_back({"Text" + std::to_string(i), JetType::kText, 255});
    row.push_back(incompressible);
  }
  wide.rows.push_back(row);
  EXPECT_THROW(write({wide}), RaisedError);
}

#ifdef TOVERAK_MAKE_MDB
TEST(MakeMdbTest, WritesTheSameFileAsTheLibraryAndReportsBadDescriptions) {
  TempFolder folder;
  const std::string fixture =
      std::string(TOVERAK_SOURCE_DIR) + "/testing/fixtures/jet_all_types.json";
  const std::string made = (folder.path() / "made.mdb").string();
  RunCommand({TOVERAK_MAKE_MDB, fixture, made});
  WriteJetDatabase(LoadFixture("jet_all_types.json"), folder.path() / "library.mdb");
  EXPECT_EQ(folder.Read("made.mdb"), folder.Read("library.mdb"));

  const std::string bad = folder.Write("bad.json", R"({"tables": [{"name": "T"}]})").string();
  EXPECT_THROW(RunCommand({TOVERAK_MAKE_MDB, bad, made}), RaisedError);
  EXPECT_THROW(RunCommand({TOVERAK_MAKE_MDB, fixture}), RaisedError);
}
#endif

}  // namespace
}  // namespace toverak
