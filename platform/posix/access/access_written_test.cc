// The Access reader over files that the test writer makes: every type it writes, Nulls, text
// beyond ASCII and beyond the Basic Multilingual Plane, memos of many pages, and a table of
// 100,000 rows read in flat memory.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/posix/backend.h"
#include "testing/jet_writer.h"
#include "testing/table_compare.h"
#include "testing/temp_folder.h"

namespace toverak {
namespace {

JetColumn Column(const std::string& name, JetType type, int size = 255) {
  JetColumn column;
  column.name = name;
  column.type = type;
  column.size = size;
  return column;
}

JetTable Table(const std::string& name, std::vector<JetColumn> columns, std::vector<JetRow> rows) {
  JetTable table;
  table.name = name;
  table.columns = std::move(columns);
  table.rows = std::move(rows);
  return table;
}

std::string Repeat(const std::string& piece, size_t times) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += piece;
  return text;
}

const Guid kGuid{0x6F9619FF, 0x8B86, 0xD011, {0xB4, 0x2D, 0x00, 0xC0, 0x4F, 0xC9, 0x64, 0xFF}};

std::vector<JetColumn> AllColumns() {
  return {Column("Id", JetType::kLong),        Column("Flag", JetType::kYesNo),
          Column("Small", JetType::kByte),     Column("Mid", JetType::kInteger),
          Column("Money", JetType::kCurrency), Column("Ratio", JetType::kSingle),
          Column("Precise", JetType::kDouble), Column("When", JetType::kDateTime),
          Column("Label", JetType::kText, 40), Column("Notes", JetType::kMemo),
          Column("Key", JetType::kGuid)};
}

std::vector<JetRow> AllRows() {
  Value null = Null{};
  return {
      {int32_t{1}, true, uint8_t{42}, int16_t{1234}, Currency{123456}, 3.5f, 0.1,
       Date{45351.573032407404}, std::string("Grüße, Ελληνικά, 日本語"), std::string("short"),
       kGuid},
      {int32_t{INT32_MIN}, false, uint8_t{255}, int16_t{-32768}, Currency{INT64_MIN}, 3.4028234e38f,
       -1.7976931348623157e308, Date{-328716.0},
       std::string("exactly forty characters, not one more!"), std::string("x"), Guid{}},
      // Null in every column that can hold it; a Yes/No column is never Null.
      {null, false, null, null, null, null, null, null, null, null, null},
      // Empty text and memo are not Null.
      {int32_t{4}, true, uint8_t{0}, int16_t{-1}, Currency{0}, 0.0f, 0.0, Date{0.5}, std::string(),
       std::string(), kGuid},
      {int32_t{5}, false, uint8_t{1}, int16_t{1}, Currency{-1}, -1.25e-5f, 5e-324,
       Date{2958465.9999884260}, std::string("clef 𝄞 and smile 😀"),
       std::string("Zeile eins\r\nZeile zwei ☃ 😀"), null},
      // Memos inline, in one long-value row, and in chains of rows over many pages.
      {int32_t{6}, true, null, null, null, null, null, null, null, Repeat("abcdefghij", 300), null},
      {int32_t{7}, true, null, null, null, null, null, null, null, Repeat("Ω😀 line\r\n", 3000),
       null},
      {int32_t{8}, true, null, null, null, null, null, null, null, Repeat("0123456789", 10000),
       null}};
}

TEST(AccessReaderWrittenTest, ReadsEveryTypeNullAndTextAsWritten) {
  TempFolder folder;
  std::filesystem::path path = folder.path() / "all.mdb";
  JetDatabase database;
  database.tables.push_back(Table("AllTypes", AllColumns(), AllRows()));
  database.tables.push_back(
      Table("Tabelle ÄÖÜ", {Column("Größe", JetType::kText)}, {{std::string(Repeat("Ω", 255))}}));
  database.tables.push_back(Table("Empty", {Column("Id", JetType::kLong)}, {}));
  WriteJetDatabase(database, path);

  std::unique_ptr<OpenBackend> backend = OpenAccessBackend(path.string());
  std::unique_ptr<Recordset> all = backend->OpenTable("alltypes");
  const Fields& fields = all->GetFields();
  std::vector<int32_t> types;
  for (int32_t i = 0; i < fields.Count(); ++i) types.push_back(fields.Item(i).Type());
  EXPECT_EQ(types, (std::vector<int32_t>{3, 11, 17, 2, 6, 4, 5, 7, 202, 203, 72}));
  std::vector<std::vector<Value>> rows = ReadAll(*all);
  std::vector<JetRow> expected = AllRows();
  ASSERT_EQ(rows.size(), expected.size());
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < expected[r].size(); ++c) {
      EXPECT_EQ(rows[r][c], expected[r][c]) << "row " << r << ", column " << c;
    }
  }

  std::unique_ptr<Recordset> umlauts = backend->OpenTable("TABELLE äöü");
  EXPECT_EQ(umlauts->GetFields().Item("GRÖßE").Name(), "Größe");
  EXPECT_EQ(umlauts->GetFields().Item(0).GetValue(), Value(Repeat("Ω", 255)));
  std::unique_ptr<Recordset> empty = backend->OpenTable("Empty");
  EXPECT_TRUE(empty->Eof());
  std::unique_ptr<Recordset> sorted = backend->Execute("SELECT * FROM AllTypes ORDER BY Id");
  std::vector<std::vector<Value>> by_id = ReadAll(*sorted);
  ASSERT_EQ(by_id.size(), expected.size());
  EXPECT_TRUE(IsNull(by_id[0][0]));          // Null first
  EXPECT_EQ(by_id[1][0], Value(INT32_MIN));  // then by value
  EXPECT_EQ(by_id[2][0], Value(int32_t{1}));
}

// One figure of /proc/self/status, in KiB.
long StatusKib(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
  }
  return -1;
}

TEST(AccessReaderWrittenTest, StreamsAHundredThousandRowTableInFlatMemory) {
  constexpr int64_t kRows = 100000;
  TempFolder folder;
  std::filesystem::path path = folder.path() / "big.mdb";
  JetDatabase database;
  JetTable table = Table("ATR_Log",
                         {Column("log_id", JetType::kLong), Column("node", JetType::kText, 100),
                          Column("message", JetType::kMemo)},
                         {});
  table.generated_count = kRows;
  table.generate = [](int64_t i) {
    std::string n = std::to_string(i + 1);
    return JetRow{int32_t(i + 1), "node-" + n + Repeat(".", 80), "event " + n + Repeat("~", 200)};
  };
  database.tables.push_back(std::move(table));
  WriteJetDatabase(database, path);

  std::unique_ptr<OpenBackend> backend = OpenAccessBackend(path.string());
  std::unique_ptr<Recordset> log = backend->OpenTable("ATR_Log");
  const Field& id = log->GetFields().Item("log_id");
  const Field& message = log->GetFields().Item("message");
  int64_t count = 0;
  long settled_kib = 0;
  long highest_kib = 0;
  for (; !log->Eof(); log->MoveNext()) {
    ++count;
    ASSERT_EQ(id.GetValue(), Value(int32_t(count)));
    if (count == 1000) settled_kib = StatusKib("VmRSS");
    if (count % 1000 == 0) highest_kib = std::max(highest_kib, StatusKib("VmRSS"));
    if (count == kRows) {
      EXPECT_EQ(message.GetValue(), Value("event 100000" + Repeat("~", 200)));
    }
  }
  EXPECT_EQ(count, kRows);
  std::cout << "reading " << kRows << " rows: resident " << settled_kib << " KiB after 1,000 rows, "
            << highest_kib << " KiB at most, peak of the process " << StatusKib("VmHWM")
            << " KiB\n";
#if !defined(__SANITIZE_ADDRESS__)
  // The sanitizer keeps freed memory in quarantine, so only a plain build can see it stay flat.
  EXPECT_LT(highest_kib - settled_kib, 8 * 1024);
#endif
}

TEST(AccessReaderWrittenTest, OrderedQueryReadsRowsStoredOutOfOrderAcrossPagesHoldingOnlyKeys) {
  // Ids stored scrambled over hundreds of pages: every row must be fetched from its own page.
  constexpr int32_t kRows = 30011;  // a prime, so that i * 7919 runs through every residue
  TempFolder folder;
  std::filesystem::path path = folder.path() / "scrambled.mdb";
  JetDatabase database;
  JetTable table =
      Table("ATR_Log", {Column("log_id", JetType::kLong), Column("message", JetType::kMemo)}, {});
  table.generated_count = kRows;
  table.generate = [](int64_t i) {
    int32_t id = int32_t(i * 7919 % kRows) + 1;
    return JetRow{id, "event " + std::to_string(id) + Repeat("~", 300)};
  };
  database.tables.push_back(std::move(table));
  WriteJetDatabase(database, path);

  std::unique_ptr<OpenBackend> backend = OpenAccessBackend(path.string());
  long before_kib = StatusKib("VmRSS");
  for (bool descending : {false, true}) {
    std::unique_ptr<Recordset> log = backend->Execute(
        std::string("SELECT * FROM ATR_Log ORDER BY log_id") + (descending ? " DESC" : ""));
    const Field& id = log->GetFields().Item(0);
    const Field& message = log->GetFields().Item(1);
    int32_t count = 0;
    for (; !log->Eof(); log->MoveNext()) {
      int32_t expected = descending ? kRows - count : count + 1;
      ++count;
      ASSERT_EQ(id.GetValue(), Value(expected));
      ASSERT_EQ(message.GetValue(), Value("event " + std::to_string(expected) + Repeat("~", 300)));
    }
    EXPECT_EQ(count, kRows);
  }
  long grown_kib = StatusKib("VmRSS") - before_kib;
  std::cout << "ordered reads of " << kRows << " rows grew resident memory by " << grown_kib
            << " KiB\n";
#if !defined(__SANITIZE_ADDRESS__)
  // The rows alone are over 18 MiB; their keys and places take a small part of that.
  EXPECT_LT(grown_kib, 8 * 1024);
#endif
}

}  // namespace
}  // namespace toverak
