// The Access reader over files that Access itself made, with Decimal, calculated and Date/Time
// Extended columns, read in place from the shared test data: every value as the files' README
// lists it, and the ordered query on those columns both ways. Each calculated column's result
// type is as mdbtools' mdb-prop gives its ResultType property (and its Expression).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "platform/posix/backend.h"
#include "platform/posix/odbc/odbc_types.h"
#include "platform/value_text.h"
#include "testing/table_compare.h"

namespace toverak {
namespace {

const std::string kFolder = std::string(TOVERAK_SOURCE_DIR) + "/../shared/testdata/access/";
const char kFixedNumeric[] = "fixedNumericTestV2003.mdb";
const char kCalculated[] = "calcFieldTestV2010.accdb";
const char kExtendedDate[] = "extDateTestV2019.accdb";

#define SKIP_WITHOUT_ACCESS_FILES()                                                    \
  if (!std::filesystem::exists(kFolder)) {                                             \
    GTEST_SKIP() << "the shared test folder " << kFolder << " is not on this machine"; \
  }

struct ReadTable {
  std::vector<std::pair<std::string, int32_t>> columns;  // name and type code
  std::vector<std::vector<Value>> rows;
};

ReadTable Read(const std::string& file, const std::string& statement_or_table) {
  std::unique_ptr<OpenBackend> backend = OpenAccessBackend(kFolder + file);
  std::unique_ptr<Recordset> recordset = statement_or_table.starts_with("SELECT")
                                             ? backend->Execute(statement_or_table)
                                             : backend->OpenTable(statement_or_table);
  ReadTable table;
  const Fields& fields = recordset->GetFields();
  for (int32_t i = 0; i < fields.Count(); ++i) {
    table.columns.emplace_back(fields.Item(i).Name(), fields.Item(i).Type());
  }
  table.rows = ReadAll(*recordset);
  return table;
}

Value Number(const char* text) { return DecimalFromText(text); }
Value Money(const char* text) { return CurrencyFromText(text); }
Value Text(const char* text) { return std::string(text); }

TEST(AccessMadeFileTest, ReadsDecimalsWithTheScaleOfTheirColumn) {
  SKIP_WITHOUT_ACCESS_FILES();
  // col2 to col7: precision 18, scale 0 (bytes 11 and 12 of their column entries).
  const ReadTable table = Read(kFixedNumeric, "test");
  const std::vector<std::pair<std::string, int32_t>> columns = {
      {"col1", 203}, {"col2", 131}, {"col3", 131}, {"col4", 131},
      {"col5", 131}, {"col6", 131}, {"col7", 131}};
  EXPECT_EQ(table.columns, columns);
  const std::vector<std::vector<Value>> rows = {{Text("some data"), Number("1"), Number("0"),
                                                 Number("0"), Number("4"), Number("-1"),
                                                 Number("1")}};
  EXPECT_EQ(table.rows, rows);
}

TEST(AccessMadeFileTest, ReadsCalculatedColumnsAsTheirResults) {
  SKIP_WITHOUT_ACCESS_FILES();
  const ReadTable table = Read(kCalculated, "Table1");
  const std::vector<std::pair<std::string, int32_t>> columns = {
      {"ID", 3},          {"FirstName", 202},  {"LastName", 202},     {"LastFirst", 202},
      {"City", 202},      {"LastFirstLen", 3}, {"Salary", 6},         {"MonthlySalary", 6},
      {"IsRich", 11},     {"AllNames", 203},   {"WeeklySalary", 131}, {"SalaryTest", 6},
      {"BoolTest", 11},   {"Popularity", 131}, {"DecimalTest", 131},  {"FloatTest", 4},
      {"BigNumTest", 131}};
  EXPECT_EQ(table.columns, columns);
  // The README's rows; each Decimal keeps the scale that its digits show.
  const std::vector<std::vector<Value>> rows = {
      {int32_t{1}, Text("Bruce"), Text("Wayne"), Text("Wayne, Bruce"), Text("Gotham"), int32_t{12},
       Money("1000000"), Money("83333.3333"), true, Text("Wayne, Bruce=Wayne, Bruce"),
       Number("19230.7692307692"), Money("1000000"), true, Number("50.325000"), Number("50.325000"),
       2583.2092f, Number("56505085819.424791296572280180")},
      {int32_t{2}, Text("Bart"), Text("Simpson"), Text("Simpson, Bart"), Text("Springfield"),
       int32_t{13}, Money("-1"), Money("-0.0833"), false, Text("Simpson, Bart=Simpson, Bart"),
       Number("-0.0192307692307692"), Money("-1"), true, Number("-36.222200"), Number("-36.222200"),
       0.0035889593f, Number("-0.0784734499180612994241100748")},
      {int32_t{3}, Text("John"), Text("Doe"), Text("Doe, John"), Text("Nowhere"), int32_t{9},
       Money("0"), Money("0"), false, Text("Doe, John=Doe, John"), Number("0"), Money("0"), true,
       Number("0.012300"), Number("0.012300"), 0.0f, Number("0.00000000")},
      {int32_t{4}, Text("Test"), Text("User"), Text("User, Test"), Text("Hockessin"), int32_t{10},
       Money("100"), Money("8.3333"), false, Text("User, Test=User, Test"),
       Number("1.92307692307692"), Money("100"), true, Number("102030405060.654321"),
       Number("102030405060.654321"), 1.27413E-10f, Number("0.0000002787019289824216980830")}};
  EXPECT_EQ(table.rows, rows);
}

// The exact time that a DateExtStr text ("M/d/yyyy" or "M/d/yyyy h:mm:ss.fffffff AM") gives, in
// 100-nanosecond units since 1 January of the year 1, and that time rounded to the second as
// the general text form writes it.
std::pair<int64_t, std::string> TimeOfText(const std::string& text) {
  int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0, fraction = 0;
  char half[3] = "AM";
  const int got = std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d.%7d %2s", &month, &day, &year, &hour,
                              &minute, &second, &fraction, half);
  EXPECT_TRUE(got == 3 || got == 8) << text;
  hour = hour % 12 + (std::string(half) == "PM" ? 12 : 0);
  using namespace std::chrono;
  const int64_t days = (sys_days(std::chrono::year(year) / month / day) -
                        sys_days(std::chrono::year(1) / January / 1))
                           .count();
  const int64_t ticks = ((days * 24 + hour) * 3600 + minute * 60 + second) * 10'000'000 + fraction;
  char rounded[32];
  std::snprintf(rounded, sizeof rounded, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                minute, second + (fraction >= 5'000'000 ? 1 : 0));
  std::string general = rounded;
  if (general.ends_with(" 00:00:00")) general.resize(10);
  return {ticks, general};
}

TEST(AccessMadeFileTest, ReadsDateTimeExtendedToTheHundredNanoseconds) {
  SKIP_WITHOUT_ACCESS_FILES();
  const ReadTable table = Read(kExtendedDate, "Table1");
  const std::vector<std::pair<std::string, int32_t>> columns = {
      {"ID", 3},         {"Field1", 202},     {"DateExt", 135},
      {"DateNormal", 7}, {"DateExtStr", 202}, {"DateNormalCalc", 7}};
  ASSERT_EQ(table.columns, columns);
  ASSERT_EQ(table.rows.size(), 9u);
  for (const std::vector<Value>& row : table.rows) {
    const int32_t id = std::get<int32_t>(row[0]);
    EXPECT_EQ(row[1], Text(("row" + std::to_string(id)).c_str()));
    EXPECT_EQ(row[5], row[3]) << id;  // DateNormalCalc is [DateNormal]
    if (IsNull(row[4])) {
      EXPECT_TRUE(IsNull(row[2])) << id;
      continue;
    }
    const auto [ticks, general] = TimeOfText(std::get<std::string>(row[4]));
    const Date date = std::get<Date>(row[2]);
    EXPECT_EQ(date.ticks, ticks) << id;
    EXPECT_EQ(GeneralText(date), general) << id;
    EXPECT_EQ(GeneralText(Date{date.days}), general) << id;  // the day number holds it too
  }
}

struct Ordering {
  const char* file;
  const char* column;
  std::vector<int32_t> ascending;  // the IDs in order; descending is the reverse
};

TEST(AccessMadeFileTest, TheOrderedQuerySortsTheNewerKindsOfColumnBothWays) {
  SKIP_WITHOUT_ACCESS_FILES();
  const std::vector<Ordering> orderings = {
      {kCalculated, "Popularity", {2, 3, 1, 4}},    // Decimal
      {kCalculated, "DecimalTest", {2, 3, 1, 4}},   // calculated Decimal
      {kCalculated, "WeeklySalary", {2, 3, 4, 1}},  // calculated Decimal of several scales
      {kCalculated, "BigNumTest", {2, 3, 4, 1}},
      {kCalculated, "FloatTest", {3, 4, 2, 1}},  // calculated Single
      {kCalculated, "LastFirst", {3, 2, 4, 1}},  // calculated Text
      {kExtendedDate, "DateExt", {5, 8, 9, 7, 1, 2, 4, 3, 6}},
      {kExtendedDate, "DateNormalCalc", {5, 8, 9, 7, 1, 2, 4, 3, 6}}};
  for (const Ordering& ordering : orderings) {
    for (const char* direction : {" ASC", " DESC"}) {
      const ReadTable sorted = Read(ordering.file, std::string("SELECT * FROM Table1 ORDER BY ") +
                                                       ordering.column + direction);
      std::vector<int32_t> ids;
      for (const std::vector<Value>& row : sorted.rows) ids.push_back(std::get<int32_t>(row[0]));
      std::vector<int32_t> expected = ordering.ascending;
      if (std::string(direction) == " DESC") std::reverse(expected.begin(), expected.end());
      EXPECT_EQ(ids, expected) << ordering.column << direction;
    }
  }
}

}  // namespace
}  // namespace toverak
