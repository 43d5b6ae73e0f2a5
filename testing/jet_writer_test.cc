// Every file that the writer makes must read back value by value, alike, through readers that
// share no code with it (mdbtools' command-line tools and the npm package mdb-reader) and
// through the program's own Access reader.
#include "testing/jet_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <malloc.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>

#include "platform/error.h"
#include "platform/posix/backend.h"
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
  switch (column.type) {
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
  }
  return "";
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
        if (!MdbToolsShows(table.columns[c].type, expected[r][c], got)) {
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
      if (got["name"] != column.name || got["type"] != MdbReaderTypeOf(column.type) ||
          (column.type == JetType::kText && got["size"] != 2 * column.size)) {
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
        if (!MdbReaderGives(table.columns[c].type, expected[r][c], rows[r][c])) {
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
  }
  return 0;
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
    const std::unique_ptr<Recordset> recordset = backend->OpenTable(table.name);
    const Fields& fields = recordset->GetFields();
    if (fields.Count() != static_cast<int32_t>(table.columns.size())) {
      out.Add("our reader: table " + table.name + " has " + std::to_string(fields.Count()) +
              " columns");
      continue;
    }
    for (size_t c = 0; c < table.columns.size(); ++c) {
      const Field& field = fields.Item(static_cast<int32_t>(c));
      if (field.Name() != table.columns[c].name ||
          field.Type() != AdoTypeOf(table.columns[c].type)) {
        out.Add("our reader: table " + table.name + " column " + table.columns[c].name + " is " +
                field.Name() + " of type " + std::to_string(field.Type()));
      }
    }
    size_t r = 0;
    for (; !recordset->Eof(); recordset->MoveNext(), ++r) {
      if (r % 1000 == 0) heap_peak = std::max(heap_peak, HeapInUseKiB());
      if (r >= expected.size()) continue;
      for (size_t c = 0; c < table.columns.size(); ++c) {
        const Value got = fields.Item(static_cast<int32_t>(c)).GetValue();
        if (got != expected[r][c])
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
  EXPECT_THROW(parse_row("decimal", "1"), RaisedError);
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
