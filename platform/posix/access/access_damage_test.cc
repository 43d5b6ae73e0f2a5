// The Access reader over written files damaged so that a small file would make it hold far
// more than the file: fields whose heads share one long value, rows moved onto one row, and a
// definition of more columns than a table can have; over column entries that describe no
// column Access could make, and values that do not fit them. Each ends in an error, in the
// streamed read and in the ordered query alike; the intact file reads whole. A column of
// attachments is listed, and only its own values are refused.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>

#include "platform/error.h"
#include "platform/posix/backend.h"
#include "testing/jet_writer.h"
#include "testing/temp_folder.h"

namespace toverak {
namespace {

constexpr size_t kPageSize = 4096;

// The bytes of a whole file.
using FileImage = std::string;

JetColumn Column(const std::string& name, JetType type) {
  JetColumn column;
  column.name = name;
  column.type = type;
  return column;
}

uint32_t Get(const FileImage& bytes, size_t offset, size_t size) {
  uint32_t value = 0;
  for (size_t i = 0; i < size; ++i) value |= uint32_t(uint8_t(bytes[offset + i])) << (8 * i);
  return value;
}

void Put(FileImage& bytes, size_t offset, size_t size, uint32_t value) {
  for (size_t i = 0; i < size; ++i) bytes[offset + i] = char(value >> (8 * i));
}

// The one definition page of a user table (page 2 defines the catalog).
size_t UserDefinitionPage(const FileImage& bytes) {
  for (size_t page = 3; page < bytes.size() / kPageSize; ++page) {
    if (bytes[page * kPageSize] == 0x02) return page;
  }
  ADD_FAILURE() << "no user table";
  return 0;
}

// Calls `visit(page, row)` for each row of each data page of the table defined on `definition`.
void ForEachRow(const FileImage& bytes, size_t definition,
                const std::function<void(size_t, size_t)>& visit) {
  for (size_t page = 3; page < bytes.size() / kPageSize; ++page) {
    const size_t at = page * kPageSize;
    if (bytes[at] != 0x01 || Get(bytes, at + 4, 4) != definition) continue;
    for (size_t row = 0; row < Get(bytes, at + 12, 2); ++row) visit(page, row);
  }
}

size_t RowEntry(size_t page, size_t row) { return page * kPageSize + 14 + 2 * row; }

// Where the 25-byte entry of column `column` of the one user table lies: after the table's
// definition head (63 bytes in Jet 4) and its 12-byte entries of real indexes.
size_t ColumnEntry(const FileImage& bytes, size_t column) {
  const size_t definition = UserDefinitionPage(bytes) * kPageSize;
  return definition + 63 + 12 * Get(bytes, definition + 51, 4) + 25 * column;
}

// A table of a number, a money, two texts and a long column, whose entries the tests change.
JetTable KindsTable() {
  JetTable table("Kinds", {Column("Id", JetType::kLong), Column("Money", JetType::kCurrency),
                           Column("Short", JetType::kText), Column("Long", JetType::kText),
                           Column("Photos", JetType::kLong)});
  table.rows = {{int32_t(1), Currency{5}, std::string("short"),
                 std::string("abcdefghijklmnopqrstuvwxyz"), int32_t(7)},
                {int32_t(2), Null{}, std::string("x"), std::string("y"), int32_t(8)}};
  return table;
}
enum KindsColumn : size_t { kId, kMoney, kShort, kLong, kPhotos };

class AccessDamageTest : public testing::Test {
 protected:
  std::string Write(const FileImage& bytes) { return folder_.Write("damaged.mdb", bytes).string(); }

  FileImage WriteAndRead(const JetTable& table) {
    JetDatabase database;
    database.tables = {table};
    const std::filesystem::path path = folder_.path() / "written.mdb";
    WriteJetDatabase(database, path);
    EXPECT_EQ(RowsOf(path.string(), table.name), table.rows.size());
    return ReadWholeFile(path);
  }

  // The rows that a whole read of `table` gives, after the same read by the ordered query.
  static size_t RowsOf(const std::string& path, const std::string& table) {
    std::unique_ptr<OpenBackend> backend = OpenAccessBackend(path);
    size_t ordered = 0;
    for (auto rows = backend->Execute("SELECT * FROM " + table + " ORDER BY Id DESC"); !rows->Eof();
         rows->MoveNext()) {
      for (int32_t i = 0; i < rows->GetFields().Count(); ++i) rows->GetFields().Item(i).GetValue();
      ++ordered;
    }
    size_t streamed = 0;
    for (auto rows = backend->OpenTable(table); !rows->Eof(); rows->MoveNext()) {
      for (int32_t i = 0; i < rows->GetFields().Count(); ++i) rows->GetFields().Item(i).GetValue();
      ++streamed;
    }
    EXPECT_EQ(ordered, streamed);
    return streamed;
  }

  // Expects both reads of `table` in the file at `path` to raise an error that says `what`.
  static void ExpectDamage(const std::string& path, const std::string& table,
                           const std::string& what) {
    for (int read = 0; read < 2; ++read) {
      try {
        std::unique_ptr<OpenBackend> backend = OpenAccessBackend(path);
        auto rows = read == 0 ? backend->OpenTable(table)
                              : backend->Execute("SELECT * FROM " + table + " ORDER BY Id");
        for (; !rows->Eof(); rows->MoveNext()) rows->GetFields().Item(1).GetValue();
        ADD_FAILURE() << "read " << read << " raised no error";
      } catch (const RaisedError& error) {
        EXPECT_NE(error.Description().find(what), std::string::npos) << error.Description();
      }
    }
  }

  TempFolder folder_;
};

TEST_F(AccessDamageTest, FieldsSharingOneLongValueTakeNoMoreThanTheFile) {
  JetTable table("Notes", {Column("Id", JetType::kLong), Column("Text", JetType::kMemo)});
  table.rows.push_back({int32_t(0), std::string(20000, 'a')});  // a chain of 40,000 bytes
  for (int32_t id = 1; id <= 40; ++id) table.rows.push_back({id, std::string("x")});
  FileImage bytes = WriteAndRead(table);

  // Every short memo's head made a copy of the long one's: 41 values of 40,000 bytes each.
  const char long_head[4] = {'\x40', '\x9C', 0, 0};
  const size_t long_at = bytes.find(std::string(long_head, 4));
  ASSERT_NE(long_at, std::string::npos);
  const FileImage head = bytes.substr(long_at, 12);
  const FileImage short_head("\x02\x00\x00\x80", 4);
  int shared = 0;
  for (size_t at = bytes.find(short_head); at != std::string::npos;
       at = bytes.find(short_head, at + 1)) {
    bytes.replace(at, 12, head);
    ++shared;
  }
  ASSERT_EQ(shared, 40);
  ExpectDamage(Write(bytes), "Notes", "long values of column 'Text' take more than the file");
}

TEST_F(AccessDamageTest, RowsMovedOntoOneRowTakeNoMoreThanTheFile) {
  JetTable table("Wide", {Column("Id", JetType::kLong)});
  // Four texts of 255 euro signs (two bytes each, uncompressed): a row of over 2,000 bytes.
  std::string euros;
  for (int i = 0; i < 255; ++i) euros += "\xE2\x82\xAC";
  JetRow wide = {int32_t(0)};
  for (const char* name : {"A", "B", "C", "D"}) {
    table.columns.push_back(Column(name, JetType::kText));
    wide.push_back(euros);
  }
  table.rows.push_back(wide);
  for (int32_t id = 1; id <= 300; ++id) {
    table.rows.push_back({id, Null{}, Null{}, Null{}, Null{}});
  }
  FileImage bytes = WriteAndRead(table);

  // Every short row turned into a pointer to the wide one.
  const size_t definition = UserDefinitionPage(bytes);
  size_t wide_page = 0;
  size_t wide_row = 0;
  size_t widest = 0;
  ForEachRow(bytes, definition, [&](size_t page, size_t row) {
    const size_t start = Get(bytes, RowEntry(page, row), 2) & 0x1FFF;
    const size_t end = row == 0 ? kPageSize : Get(bytes, RowEntry(page, row - 1), 2) & 0x1FFF;
    if (end - start > widest)
      std::tie(widest, wide_page, wide_row) = std::tuple(end - start, page, row);
  });
  ASSERT_GT(widest, 2000u);
  ForEachRow(bytes, definition, [&](size_t page, size_t row) {
    if (page == wide_page && row == wide_row) return;
    const uint32_t entry = Get(bytes, RowEntry(page, row), 2);
    Put(bytes, page * kPageSize + (entry & 0x1FFF), 4, uint32_t(wide_page << 8 | wide_row));
    Put(bytes, RowEntry(page, row), 2, entry | 0x4000);
  });
  ExpectDamage(Write(bytes), "Wide", "moved rows of 'Wide' take more than the file");
}

TEST_F(AccessDamageTest, ADefinitionOfMoreThan255ColumnsIsDamage) {
  JetTable table("Short", {Column("Id", JetType::kLong), Column("Name", JetType::kText)});
  table.rows = {{int32_t(1), std::string("one")}};
  FileImage bytes = WriteAndRead(table);
  // The column count of a Jet 4 definition lies at 45.
  const size_t count_at = UserDefinitionPage(bytes) * kPageSize + 45;
  ASSERT_EQ(Get(bytes, count_at, 2), 2u);
  Put(bytes, count_at, 2, 256);
  ExpectDamage(Write(bytes), "Short", "lists more than 255 columns");
}

// Stored types, precision and scale (bytes 0, 11 and 12) and the calculated marks (0xC0 in
// byte 16) where the Access-made files of the shared test data keep them.
TEST_F(AccessDamageTest, ColumnEntriesAndValuesThatDoNotFitAreDamage) {
  struct Damage {
    KindsColumn column;
    std::vector<std::pair<size_t, uint8_t>> entry_bytes;
    std::string what;
  };
  const std::vector<Damage> damages = {
      {kMoney, {{0, 0x10}, {11, 0}, {12, 0}}, "'Money' of table 'Kinds' has a precision of 0 and"},
      {kMoney, {{0, 0x10}, {11, 29}, {12, 2}}, "has a precision of 29 and a scale of 2"},
      {kMoney, {{0, 0x10}, {11, 10}, {12, 11}}, "has a precision of 10 and a scale of 11"},
      // A calculated value is a 20-byte head and the data whose length it gives at 16.
      {kShort, {{16, 0xC1}}, "'Short' is shorter than the head of a calculated value"},
      {kLong, {{16, 0xC1}}, "'Long' is shorter than its stated length"},  // "opqr"
      // A Date/Time Extended value is 42 ASCII bytes.
      {kMoney, {{0, 0x14}}, "'Money' is not a date and time of the years 1 to 9999"}};
  const FileImage intact = WriteAndRead(KindsTable());
  for (const Damage& damage : damages) {
    FileImage bytes = intact;
    const size_t entry = ColumnEntry(bytes, damage.column);
    for (const auto& [offset, value] : damage.entry_bytes) bytes[entry + offset] = char(value);
    ExpectDamage(Write(bytes), "Kinds", damage.what);
  }
}

TEST_F(AccessDamageTest, AColumnOfAttachmentsIsListedAndOnlyItsValuesAreRefused) {
  FileImage bytes = WriteAndRead(KindsTable());
  // Access keeps a 4-byte key into a hidden table in a column of stored type 0x12.
  const size_t entry = ColumnEntry(bytes, kPhotos);
  ASSERT_EQ(bytes[entry], 0x04);
  bytes[entry] = 0x12;
  const std::string path = Write(bytes);
  const std::string refusal = "Column 'Photos' holds attachments or multiple values";
  std::unique_ptr<OpenBackend> backend = OpenAccessBackend(path);
  for (const char* query : {"", "SELECT * FROM Kinds ORDER BY Id DESC"}) {
    auto rows = *query == 0 ? backend->OpenTable("Kinds") : backend->Execute(query);
    const Fields& fields = rows->GetFields();
    ASSERT_EQ(fields.Count(), 5);
    EXPECT_EQ(fields.Item(kPhotos).Name(), "Photos");
    std::vector<Value> ids;
    for (; !rows->Eof(); rows->MoveNext()) {
      for (size_t column : {kId, kMoney, kShort, kLong}) fields.Item(int32_t(column)).GetValue();
      ids.push_back(fields.Item("Id").GetValue());
      try {
        fields.Item("Photos").GetValue();
        ADD_FAILURE() << "a value of Photos was read";
      } catch (const RaisedError& error) {
        EXPECT_NE(error.Description().find(refusal), std::string::npos) << error.Description();
      }
    }
    const std::vector<Value> expected = {int32_t(*query == 0 ? 1 : 2),
                                         int32_t(*query == 0 ? 2 : 1)};
    EXPECT_EQ(ids, expected);
  }
  try {
    backend->Execute("SELECT * FROM Kinds ORDER BY Photos");
    ADD_FAILURE() << "Photos was sorted";
  } catch (const RaisedError& error) {
    EXPECT_NE(error.Description().find(refusal), std::string::npos) << error.Description();
  }
}

}  // namespace
}  // namespace toverak
