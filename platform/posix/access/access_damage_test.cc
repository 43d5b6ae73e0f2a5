// The Access reader over written files damaged so that a small file would make it hold far
// more than the file: fields whose heads share one long value, rows moved onto one row, and a
// definition of more columns than a table can have. Each ends in an error, in the streamed read
// and in the ordered query alike; the intact file reads whole.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>

#include "platform/error.h"
#include "platform/posix/access/access_backend.h"
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

}  // namespace
}  // namespace toverak
