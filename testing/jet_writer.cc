#include "testing/jet_writer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <set>

#include "platform/error.h"
#include "testing/jet_description.h"
#include "testing/jet_pages.h"
#include "testing/jet_text.h"

namespace toverak {
namespace {

using jet::AppendU16;
using jet::AppendU32;
using jet::PageFile;
using jet::PutU16;
using jet::PutU32;
using jet::RowPages;

constexpr uint32_t kTableNumberMark = 1625;  // Jet repeats it in every column entry
constexpr uint32_t kColumnEntrySize = 25;
constexpr uint32_t kColumnsOffset = 63;
constexpr uint32_t kContinuationHeader = 8;
constexpr size_t kMaxColumns = 255;
constexpr size_t kMaxNameLength = 64;
constexpr uint32_t kMemoFieldSize = 12;
constexpr size_t kInlineMemoMax = 64;
constexpr size_t kLongValueRowMax = jet::kMaxRowSize - 4;
constexpr uint32_t kMaxMemoBytes = 0xFFFFFF;

// The codes that Jet keeps in a column entry.
namespace code {
constexpr uint8_t kYesNo = 0x01, kByte = 0x02, kInteger = 0x03, kLong = 0x04, kCurrency = 0x05,
                  kSingle = 0x06, kDouble = 0x07, kDateTime = 0x08, kBinary = 0x09, kText = 0x0A,
                  kOle = 0x0B, kMemo = 0x0C, kGuid = 0x0F;
}

// A column as the table definition and the rows lay it out.
struct StoredColumn {
  std::string name;
  uint8_t code = 0;
  uint16_t length = 0;  // the length field of the entry: bytes of a fixed value, text bytes
  bool fixed = false;
  uint16_t fixed_offset = 0;
  uint16_t variable_index = 0;
  int max_characters = 0;
};

struct TableLayout {
  std::vector<StoredColumn> columns;
  uint16_t fixed_size = 0;
  uint16_t variable_count = 0;
};

uint16_t FixedLength(uint8_t type_code) {
  switch (type_code) {
    case code::kYesNo:
      return 1;  // kept in the null mask: takes no bytes in the row
    case code::kByte:
      return 1;
    case code::kInteger:
      return 2;
    case code::kLong:
    case code::kSingle:
      return 4;
    case code::kCurrency:
    case code::kDouble:
    case code::kDateTime:
      return 8;
    case code::kGuid:
      return 16;
    default:
      return 0;
  }
}

uint8_t TypeCode(JetType type) {
  switch (type) {
    case JetType::kYesNo:
      return code::kYesNo;
    case JetType::kByte:
      return code::kByte;
    case JetType::kInteger:
      return code::kInteger;
    case JetType::kLong:
      return code::kLong;
    case JetType::kCurrency:
      return code::kCurrency;
    case JetType::kSingle:
      return code::kSingle;
    case JetType::kDouble:
      return code::kDouble;
    case JetType::kDateTime:
      return code::kDateTime;
    case JetType::kText:
      return code::kText;
    case JetType::kMemo:
      return code::kMemo;
    case JetType::kGuid:
      return code::kGuid;
  }
  return 0;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

void CheckName(const std::string& name, const std::string& what) {
  const size_t length = Utf8ToUtf16(name).size();
  if (length == 0 || length > kMaxNameLength) {
    throw RaisedError(what + " name \"" + name + "\" must have 1 to 64 characters");
  }
}

struct ColumnSpec {
  std::string name;
  uint8_t code;
  int max_characters;
};

TableLayout LayOut(const std::vector<ColumnSpec>& wanted_columns) {
  TableLayout layout;
  for (const ColumnSpec& wanted : wanted_columns) {
    StoredColumn column;
    column.name = wanted.name;
    column.code = wanted.code;
    column.max_characters = wanted.max_characters;
    column.fixed = FixedLength(wanted.code) > 0;
    if (column.fixed) {
      column.length = FixedLength(wanted.code);
      column.fixed_offset = layout.fixed_size;
      if (wanted.code != code::kYesNo) layout.fixed_size += column.length;
    } else {
      column.variable_index = layout.variable_count++;
      if (wanted.code == code::kText)
        column.length = static_cast<uint16_t>(2 * wanted.max_characters);
      if (wanted.code == code::kBinary) column.length = 255;
    }
    layout.columns.push_back(column);
  }
  return layout;
}

TableLayout LayOutUserTable(const JetTable& table) {
  CheckName(table.name, "table");
  if (table.columns.empty() || table.columns.size() > kMaxColumns) {
    throw RaisedError("table " + table.name + " must have 1 to 255 columns");
  }
  std::vector<ColumnSpec> specs;
  std::set<std::string> seen;
  for (const JetColumn& column : table.columns) {
    CheckName(column.name, "column");
    if (!seen.insert(Lower(column.name)).second) {
      throw RaisedError("table " + table.name + " has two columns named " + column.name);
    }
    if (column.type == JetType::kText && (column.size < 1 || column.size > 255)) {
      throw RaisedError("text column " + column.name + " must have a size of 1 to 255");
    }
    specs.push_back({column.name, TypeCode(column.type), column.size});
  }
  return LayOut(specs);
}

// Integer alternatives of Value, as one number; throws for any other alternative.
int64_t IntegerOf(const Value& value) {
  if (auto* v = std::get_if<uint8_t>(&value)) return *v;
  if (auto* v = std::get_if<int16_t>(&value)) return *v;
  if (auto* v = std::get_if<int32_t>(&value)) return *v;
  if (auto* v = std::get_if<int64_t>(&value)) return *v;
  throw RaisedError("the value is not an integer");
}

int64_t IntegerIn(const Value& value, int64_t low, int64_t high) {
  const int64_t number = IntegerOf(value);
  if (number < low || number > high) {
    throw RaisedError(std::to_string(number) + " is out of the column's range");
  }
  return number;
}

double NumberOf(const Value& value) {
  if (auto* v = std::get_if<float>(&value)) return *v;
  if (auto* v = std::get_if<double>(&value)) return *v;
  return static_cast<double>(IntegerOf(value));
}

template <typename T>
const T& Expect(const Value& value, const char* what) {
  if (auto* v = std::get_if<T>(&value)) return *v;
  throw RaisedError(std::string("the value is not ") + what);
}

template <typename T>
void PutRaw(std::vector<uint8_t>& row, size_t at, const T& number) {
  std::memcpy(&row[at], &number, sizeof number);
}

void PutFixed(const StoredColumn& column, const Value& value, std::vector<uint8_t>& row) {
  const size_t at = 2 + column.fixed_offset;
  switch (column.code) {
    case code::kByte:
      row[at] = static_cast<uint8_t>(IntegerIn(value, 0, 255));
      break;
    case code::kInteger:
      PutU16(&row[at], static_cast<uint32_t>(IntegerIn(value, -32768, 32767)));
      break;
    case code::kLong:
      PutU32(&row[at], static_cast<uint32_t>(IntegerIn(value, INT32_MIN, INT32_MAX)));
      break;
    case code::kCurrency:
      PutRaw(row, at, Expect<Currency>(value, "a currency amount").scaled);
      break;
    case code::kSingle:
      PutRaw(row, at, static_cast<float>(NumberOf(value)));
      break;
    case code::kDouble:
      PutRaw(row, at, NumberOf(value));
      break;
    case code::kDateTime:
      PutRaw(row, at, Expect<Date>(value, "a date").days);
      break;
    case code::kGuid: {
      const Guid& guid = Expect<Guid>(value, "a GUID");
      PutU32(&row[at], guid.data1);
      PutU16(&row[at + 4], guid.data2);
      PutU16(&row[at + 6], guid.data3);
      std::memcpy(&row[at + 8], guid.data4.data(), guid.data4.size());
      break;
    }
    default:
      throw RaisedError("the column takes no value but Null");
  }
}

std::vector<uint8_t> TextBytes(const StoredColumn& column, const Value& value) {
  const std::u16string units = Utf8ToUtf16(Expect<std::string>(value, "a text"));
  if (column.code == code::kText && units.size() > static_cast<size_t>(column.max_characters)) {
    throw RaisedError("the text has " + std::to_string(units.size()) +
                      " characters, more than the column's " +
                      std::to_string(column.max_characters));
  }
  return EncodeJetText(units);
}

// The 12-byte memo field, followed by the text itself when it is short enough to stay inline;
// longer texts go to long-value pages, as one row or as a chain of rows.
std::vector<uint8_t> MemoData(const std::vector<uint8_t>& text, RowPages& long_values) {
  if (text.size() > kMaxMemoBytes) throw RaisedError("the memo is too long");
  std::vector<uint8_t> field(kMemoFieldSize, 0);
  PutU32(&field[0], static_cast<uint32_t>(text.size()));
  if (text.size() <= kInlineMemoMax) {
    field[3] = 0x80;
    field.insert(field.end(), text.begin(), text.end());
  } else if (text.size() <= kLongValueRowMax) {
    field[3] = 0x40;
    PutU32(&field[4], long_values.Add(text));
  } else {
    // Written from the last piece back, so that each piece knows where its successor lies.
    uint32_t next = 0;
    const size_t pieces = (text.size() + kLongValueRowMax - 1) / kLongValueRowMax;
    for (size_t piece = pieces; piece-- > 0;) {
      std::vector<uint8_t> row;
      AppendU32(row, next);
      const size_t begin = piece * kLongValueRowMax;
      const size_t end = std::min(text.size(), begin + kLongValueRowMax);
      row.insert(row.end(), text.begin() + begin, text.begin() + end);
      next = long_values.Add(row);
    }
    PutU32(&field[4], next);
  }
  return field;
}

std::vector<uint8_t> VariableData(const StoredColumn& column, const Value& value,
                                  RowPages& long_values) {
  switch (column.code) {
    case code::kText:
      return TextBytes(column, value);
    case code::kMemo:
      return MemoData(TextBytes(column, value), long_values);
    default:
      throw RaisedError("the column takes no value but Null");
  }
}

// A row: the column count, the fixed area, the variable data, the end offset, the variable
// offsets from last to first, their count, and the null mask (a set bit is a value; for a
// Yes/No column the bit is the value).
std::vector<uint8_t> EncodeRow(const TableLayout& layout, const JetRow& values,
                               RowPages& long_values) {
  const size_t count = layout.columns.size();
  if (values.size() != count) {
    throw RaisedError("the row has " + std::to_string(values.size()) + " values for " +
                      std::to_string(count) + " columns");
  }
  std::vector<uint8_t> row(2 + layout.fixed_size, 0);
  PutU16(&row[0], static_cast<uint32_t>(count));
  std::vector<uint8_t> null_mask((count + 7) / 8, 0);
  std::vector<uint16_t> offsets;
  for (size_t i = 0; i < count; ++i) {
    const StoredColumn& column = layout.columns[i];
    const Value& value = values[i];
    try {
      if (!column.fixed) offsets.push_back(static_cast<uint16_t>(row.size()));
      bool present = !IsNull(value);
      if (column.code == code::kYesNo) {
        present = Expect<bool>(value, "Yes or No (a Yes/No value is never Null)");
      } else if (present && column.fixed) {
        PutFixed(column, value, row);
      } else if (present) {
        const std::vector<uint8_t> data = VariableData(column, value, long_values);
        row.insert(row.end(), data.begin(), data.end());
      }
      if (present) null_mask[i / 8] |= static_cast<uint8_t>(1 << (i % 8));
    } catch (const RaisedError& error) {
      throw RaisedError("column " + column.name + ": " + error.Description());
    }
  }
  if (row.size() > 0xFFFF) throw RaisedError("the row is too long for a page");
  AppendU16(row, static_cast<uint32_t>(row.size()));
  for (auto offset = offsets.rbegin(); offset != offsets.rend(); ++offset) AppendU16(row, *offset);
  AppendU16(row, layout.variable_count);
  row.insert(row.end(), null_mask.begin(), null_mask.end());
  if (row.size() > jet::kMaxRowSize) throw RaisedError("the row is too long for a page");
  return row;
}

// One table on its way into the file.
struct TableInFile {
  std::string name;
  bool system = false;
  TableLayout layout;
  std::vector<uint32_t> definition_pages;
  RowPages* data = nullptr;
  uint32_t row_count = 0;
  uint32_t used_map = 0;  // row pointers of the usage maps
  uint32_t free_map = 0;
};

void AppendName(std::vector<uint8_t>& bytes, const std::string& name) {
  const std::u16string units = Utf8ToUtf16(name);
  AppendU16(bytes, static_cast<uint32_t>(units.size() * 2));
  for (char16_t unit : units) AppendU16(bytes, unit);
}

void AppendColumnEntry(std::vector<uint8_t>& bytes, const StoredColumn& column, uint16_t number) {
  std::vector<uint8_t> entry(kColumnEntrySize, 0);
  entry[0] = column.code;
  PutU32(&entry[1], kTableNumberMark);
  PutU16(&entry[5], number);
  PutU16(&entry[7], column.variable_index);
  PutU16(&entry[9], number);
  PutU16(&entry[11], 0x0409);                                             // General sort order
  entry[15] = static_cast<uint8_t>((column.fixed ? 0x01 : 0x00) | 0x02);  // fixed; may be Null
  if (column.code == code::kText || column.code == code::kMemo) entry[16] = 0x01;  // compressible
  PutU16(&entry[21], column.fixed_offset);
  PutU16(&entry[23], column.length);
  bytes.insert(bytes.end(), entry.begin(), entry.end());
}

// The definition's bytes as one stream: page header, table block, column entries, names and
// the end of the (empty) list of long-value maps. The page header's fields are set per page.
std::vector<uint8_t> DefinitionBytes(const TableInFile& table) {
  std::vector<uint8_t> bytes(kColumnsOffset, 0);
  const auto column_count = static_cast<uint32_t>(table.layout.columns.size());
  PutU32(&bytes[12], kTableNumberMark);
  PutU32(&bytes[16], table.row_count);
  bytes[40] = table.system ? 0x53 : 0x4E;
  PutU16(&bytes[41], column_count);
  PutU16(&bytes[43], table.layout.variable_count);
  PutU16(&bytes[45], column_count);
  PutU32(&bytes[55], table.used_map);
  PutU32(&bytes[59], table.free_map);
  for (uint16_t i = 0; i < column_count; ++i) {
    AppendColumnEntry(bytes, table.layout.columns[i], i);
  }
  for (const StoredColumn& column : table.layout.columns) AppendName(bytes, column.name);
  AppendU16(bytes, 0xFFFF);
  PutU32(&bytes[8], static_cast<uint32_t>(bytes.size()));
  return bytes;
}

uint32_t DefinitionPageCount(const TableInFile& table) {
  const size_t size = DefinitionBytes(table).size();
  if (size <= jet::kPageSize) return 1;
  const size_t per_page = jet::kPageSize - kContinuationHeader;
  return static_cast<uint32_t>(1 + (size - jet::kPageSize + per_page - 1) / per_page);
}

// Spreads the definition over its pages: the first takes the stream's first page, each further
// page its 8-byte header and the next part of the stream.
void WriteDefinition(const TableInFile& table, PageFile& file) {
  const std::vector<uint8_t> bytes = DefinitionBytes(table);
  size_t position = 0;
  for (size_t i = 0; i < table.definition_pages.size(); ++i) {
    jet::Page& page = file[table.definition_pages[i]];
    const size_t start = i == 0 ? 0 : kContinuationHeader;
    const size_t take = std::min(bytes.size() - position, jet::kPageSize - start);
    std::memcpy(&page[start], &bytes[position], take);
    position += take;
    page[0] = 0x02;
    page[1] = 0x01;
    const size_t used = start + take;
    PutU16(&page[2],
           used + 8 <= jet::kPageSize ? static_cast<uint32_t>(jet::kPageSize - used - 8) : 0);
    const bool last = i + 1 == table.definition_pages.size();
    PutU32(&page[4], last ? 0 : table.definition_pages[i + 1]);
  }
}

// The system catalog: one row for the container of tables, one for itself and one a table.
const std::vector<ColumnSpec>& CatalogColumns() {
  static const std::vector<ColumnSpec> columns = {{"Id", code::kLong, 0},
                                                  {"ParentId", code::kLong, 0},
                                                  {"Name", code::kText, 255},
                                                  {"Type", code::kInteger, 0},
                                                  {"DateCreate", code::kDateTime, 0},
                                                  {"DateUpdate", code::kDateTime, 0},
                                                  {"Owner", code::kBinary, 0},
                                                  {"Flags", code::kLong, 0},
                                                  {"Database", code::kMemo, 0},
                                                  {"Connect", code::kMemo, 0},
                                                  {"ForeignName", code::kText, 255},
                                                  {"RmtInfoShort", code::kBinary, 0},
                                                  {"RmtInfoLong", code::kOle, 0},
                                                  {"Lv", code::kOle, 0},
                                                  {"LvProp", code::kOle, 0},
                                                  {"LvModule", code::kOle, 0},
                                                  {"LvExtra", code::kOle, 0}};
  return columns;
}

constexpr int32_t kTablesContainerId = 0x0F000001;
constexpr int32_t kDatabaseContainerId = 0x0F000000;
constexpr int16_t kTypeTable = 1;
constexpr int16_t kTypeContainer = 3;
constexpr int32_t kSystemFlag = INT32_MIN;  // 0x80000000

JetRow CatalogRow(int32_t id, int32_t parent, const std::string& name, int16_t type, int32_t flags,
                  Date created) {
  JetRow row(CatalogColumns().size(), Null{});
  row[0] = id;
  row[1] = parent;
  row[2] = name;
  row[3] = type;
  row[4] = created;
  row[5] = created;
  row[7] = flags;
  return row;
}

class DatabaseWriter {
 public:
  explicit DatabaseWriter(const JetDatabase& database)
      : database_(database), long_values_(file_, RowPages::LongValues()) {}

  void Write(const std::filesystem::path& path) {
    jet::WriteHeaderPage(file_[file_.Add()], database_.created);
    // Page 1 is where Access keeps its map of all pages; no reader looks at it, so it is left
    // an empty data page.
    jet::Page& page_map = file_[file_.Add()];
    page_map[0] = 0x01;
    page_map[1] = 0x01;
    PutU16(&page_map[2], jet::kPageSize - 14);
    LayOutTables();
    for (size_t i = 1; i < tables_.size(); ++i) WriteRows(tables_[i], database_.tables[i - 1]);
    WriteCatalogRows();
    for (TableInFile& table : tables_) WriteMaps(table);
    for (const TableInFile& table : tables_) WriteDefinition(table, file_);
    file_.Save(path.string());
  }

 private:
  void LayOutTables() {
    AddTable("MSysObjects", true, LayOut(CatalogColumns()));
    std::set<std::string> names = {Lower("MSysObjects")};
    for (const JetTable& table : database_.tables) {
      if (!names.insert(Lower(table.name)).second) {
        throw RaisedError("there are two tables named " + table.name);
      }
      AddTable(table.name, false, LayOutUserTable(table));
    }
    // The catalog's definition must come first, at page 2.
    for (TableInFile& table : tables_) {
      const uint32_t count = DefinitionPageCount(table);
      for (uint32_t i = 0; i < count; ++i) table.definition_pages.push_back(file_.Add());
    }
    for (TableInFile& table : tables_) {
      data_pages_.emplace_back(file_, RowPages::OwnedBy(table.definition_pages.front()));
      table.data = &data_pages_.back();
    }
  }

  void AddTable(const std::string& name, bool system, TableLayout layout) {
    TableInFile table;
    table.name = name;
    table.system = system;
    table.layout = std::move(layout);
    tables_.push_back(std::move(table));
  }

  void AddRow(TableInFile& table, const JetRow& values) {
    try {
      table.data->Add(EncodeRow(table.layout, values, long_values_));
    } catch (const RaisedError& error) {
      throw RaisedError("table " + table.name + ", row " + std::to_string(table.row_count + 1) +
                        ": " + error.Description());
    }
    ++table.row_count;
  }

  void WriteRows(TableInFile& table, const JetTable& source) {
    for (const JetRow& row : source.rows) AddRow(table, row);
    for (int64_t i = 0; i < source.generated_count; ++i) AddRow(table, source.generate(i));
  }

  void WriteCatalogRows() {
    const Date created = database_.created;
    TableInFile& catalog = tables_.front();
    AddRow(catalog, CatalogRow(kTablesContainerId, kDatabaseContainerId, "Tables", kTypeContainer,
                               kSystemFlag, created));
    for (const TableInFile& table : tables_) {
      AddRow(catalog,
             CatalogRow(static_cast<int32_t>(table.definition_pages.front()), kTablesContainerId,
                        table.name, kTypeTable, table.system ? kSystemFlag : 0, created));
    }
  }

  // The map of the table's own data pages, and an empty map of pages with free space: the
  // file is written once and never filled further.
  void WriteMaps(TableInFile& table) {
    table.used_map = maps_.Add(jet::UsageMap(table.data->Pages(), file_));
    table.free_map = maps_.Add(jet::UsageMap({}, file_));
  }

  const JetDatabase& database_;
  PageFile file_;
  std::vector<TableInFile> tables_;
  std::deque<RowPages> data_pages_;
  RowPages long_values_;
  RowPages maps_{file_, RowPages::OwnedBy(0)};
};

}  // namespace

void WriteJetDatabase(const JetDatabase& database, const std::filesystem::path& path) {
  DatabaseWriter(database).Write(path);
}

void WriteJetDatabase(const nlohmann::json& description, const std::filesystem::path& path) {
  WriteJetDatabase(ParseJetDescription(description), path);
}

}  // namespace toverak
