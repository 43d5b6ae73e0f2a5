#include "platform/posix/access/access_file.h"

#include <mdbtools.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <unordered_set>

#include "platform/ado_errors.h"
#include "platform/error.h"
#include "platform/posix/access/access_text.h"
#include "platform/posix/access/column_definition.h"

namespace toverak {
namespace {

constexpr size_t kHeaderSize = 0x20;
constexpr size_t kVersionOffset = 0x14;
constexpr uint8_t kLastKnownVersion = MDB_VER_ACCDB_2019;
// Page 2 holds the definition of the catalog table, so a database has at least three pages.
constexpr uint64_t kMinimumPages = 3;
constexpr uint32_t kCatalogDefinitionPage = 2;
constexpr uint8_t kDefinitionPageType = 0x02;
// A row moved by an update points at its new place; a longer trail than this is a loop.
constexpr int kMaximumMoves = 8;
// Access tables have at most 255 columns; a count beyond it is damage, and each column of a
// row is decoded and held.
constexpr unsigned kMaximumColumns = 255;
// An ordinary Decimal column keeps from 1 to 28 digits.
constexpr uint8_t kMaximumPrecision = 28;
constexpr size_t kContinuationHeaderSize = 8;

using OwnedDefinition = std::unique_ptr<MdbTableDef, decltype(&mdb_free_tabledef)>;

MdbHandle* AsMdb(void* handle) { return static_cast<MdbHandle*>(handle); }

std::string Unrecognized(const std::string& path) {
  return "Unrecognized database format '" + path + "'.";
}

[[noreturn]] void ThrowDamaged(const std::string& path, const std::string& what) {
  throw RaisedError("The Access file '" + path + "' is damaged or truncated: " + what + ".");
}

DefinitionLayout DefinitionLayoutOf(const MdbHandle& mdb) {
  const MdbFormatConstants& format = *mdb.fmt;
  DefinitionLayout layout;
  layout.column_count_offset = format.tab_num_cols_offset;
  layout.real_index_count_offset = format.tab_num_ridxs_offset;
  layout.columns_offset = format.tab_cols_start_offset;
  layout.real_index_entry_size = format.tab_ridx_entry_size;
  layout.column_entry_size = format.tab_col_entry_size;
  layout.column_number_offset = format.col_num_offset;
  layout.extended_flags = mdb.f->jet_version != MDB_VER_JET3;
  return layout;
}

// The page size that the first bytes of `path` announce; throws unless they are the header of
// a Jet 3, Jet 4 or ACE database.
size_t PageSizeFromHeader(const std::string& path) {
  std::error_code error;
  std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) throw RaisedError("Could not find file '" + path + "'.");
  if (std::filesystem::is_directory(status)) {
    throw RaisedError("The Access file '" + path + "' cannot be read: it is a folder.");
  }
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (stream == nullptr) {
    throw RaisedError("The Access file '" + path + "' cannot be read: " + std::strerror(errno) +
                      ".");
  }
  uint8_t header[kHeaderSize] = {};
  size_t got = std::fread(header, 1, kHeaderSize, stream);
  std::fclose(stream);
  static const uint8_t kMagic[4] = {0x00, 0x01, 0x00, 0x00};
  bool known = got == kHeaderSize && std::memcmp(header, kMagic, 4) == 0 &&
               (std::memcmp(header + 4, "Standard Jet DB", 16) == 0 ||
                std::memcmp(header + 4, "Standard ACE DB", 16) == 0) &&
               header[kVersionOffset] <= kLastKnownVersion;
  if (!known) throw RaisedError(Unrecognized(path));
  return header[kVersionOffset] == MDB_VER_JET3 ? 2048 : 4096;
}

}  // namespace

std::shared_ptr<AccessFile> AccessFile::Open(const std::string& path) {
  size_t page_size = PageSizeFromHeader(path);
  std::error_code error;
  uint64_t size = std::filesystem::file_size(path, error);
  if (error) throw RaisedError("The Access file '" + path + "' cannot be read: " + error.message());
  if (size % page_size != 0 || size < kMinimumPages * page_size) {
    ThrowDamaged(path, "its size is not a whole number of pages");
  }
  std::shared_ptr<AccessFile> file(new AccessFile());
  file->path_ = path;
  file->file_size_ = size;
  file->page_count_ = uint32_t(std::min<uint64_t>(size / page_size, UINT32_MAX));
  MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (mdb == nullptr) throw RaisedError(Unrecognized(path));
  file->mdb_ = mdb;
  if (size_t(mdb->fmt->pg_size) != page_size) throw RaisedError(Unrecognized(path));
  file->layout_ = PageLayout{page_size, mdb->fmt->row_count_offset};
  file->encoding_ = IS_JET3(mdb) ? TextEncoding::kCodePage1252 : TextEncoding::kUtf16;
  file->ReadCatalog(file);
  return file;
}

struct AccessFile::CatalogEntries {
  std::deque<MdbCatalogEntry> entries;
};

AccessFile::~AccessFile() { mdb_close(AsMdb(mdb_)); }

// Each row of MSysObjects names an object: its Id is the page of a table's definition (in the
// low 24 bits) and its Type is 1 for a table.
void AccessFile::ReadCatalog(const std::shared_ptr<const AccessFile>& self) {
  entries_ = std::make_unique<CatalogEntries>();
  TableReader objects(self, kCatalogDefinitionPage, "MSysObjects");
  const std::vector<ColumnFormat>& columns = objects.Columns();
  auto find = [&](const char* name) -> std::optional<size_t> {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].name == name) return i;
    }
    return std::nullopt;
  };
  auto position_of = [&](const char* name) {
    std::optional<size_t> position = find(name);
    if (!position) ThrowDamaged(path_, std::string("its catalog lacks the column ") + name);
    return *position;
  };
  size_t id = position_of("Id");
  size_t object_name = position_of("Name");
  size_t type = position_of("Type");
  // The stored properties of tables and their columns; a catalog may lack them.
  std::optional<size_t> properties = find("LvProp");
  for (std::vector<Value> row; objects.Next(row);) {
    const auto* page = std::get_if<int32_t>(&row[id]);
    const auto* name = std::get_if<std::string>(&row[object_name]);
    const auto* kind = std::get_if<int16_t>(&row[type]);
    if (page == nullptr || name == nullptr || kind == nullptr) continue;
    if ((*kind & 0x7F) != MDB_TABLE) continue;
    const auto* stored = properties ? std::get_if<Bytes>(&row[*properties]) : nullptr;
    catalog_.push_back(CatalogTable{FoldCase(*name), uint32_t(*page) & 0x00FFFFFF,
                                    stored != nullptr ? *stored : Bytes()});
  }
}

void AccessFile::ReadPage(uint32_t number, std::vector<uint8_t>& page) const {
  if (number >= page_count_) {
    ThrowDamaged(path_, "page " + std::to_string(number) + " lies beyond the end of the file");
  }
  MdbHandle* mdb = AsMdb(mdb_);
  if (mdb_read_alt_pg(mdb, number) != ssize_t(layout_.page_size)) {
    throw RaisedError("The Access file '" + path_ + "' cannot be read at page " +
                      std::to_string(number) + ".");
  }
  page.assign(mdb->alt_pg_buf, mdb->alt_pg_buf + layout_.page_size);
}

std::span<const uint8_t> AccessFile::RowAt(uint32_t row_pointer, std::vector<uint8_t>& page) const {
  ReadPage(row_pointer >> 8, page);
  size_t row = row_pointer & 0xFF;
  if (!IsDataPage(page) || row >= RowCount(layout_, page)) {
    ThrowDamaged(path_, "a row pointer leads to a row that does not exist");
  }
  RowSlot slot = SlotOf(layout_, page, row);
  RequireInBounds(slot);
  return std::span<const uint8_t>(page).subspan(slot.start, slot.end - slot.start);
}

std::vector<uint8_t> AccessFile::ReadLongValue(const ColumnFormat& column,
                                               std::span<const uint8_t> field,
                                               uint64_t& allowance) const {
  LongValueHead head = ParseLongValueHead(column, field);
  if (head.length > file_size_) ThrowDamaged(path_, "a long value is longer than the file");
  // Fields whose heads share long-value rows would make a small file fill any memory.
  if (head.length > allowance) {
    ThrowDamaged(path_,
                 "long values of column '" + column.name + "' take more than the file holds");
  }
  allowance -= head.length;
  std::vector<uint8_t> page;
  switch (head.storage) {
    case LongValueHead::Storage::kInline: {
      std::span<const uint8_t> data = field.subspan(12, head.length);
      return std::vector<uint8_t>(data.begin(), data.end());
    }
    case LongValueHead::Storage::kSingleRow: {
      std::span<const uint8_t> row = RowAt(head.row_pointer, page);
      if (row.size() < head.length) ThrowDamaged(path_, "a long value is cut short");
      return std::vector<uint8_t>(row.begin(), row.begin() + head.length);
    }
    case LongValueHead::Storage::kRowChain:
      break;
  }
  // Each row of a chain starts with the pointer to the next one.
  std::vector<uint8_t> value;
  value.reserve(head.length);
  std::unordered_set<uint32_t> visited;
  uint32_t pointer = head.row_pointer;
  while (value.size() < head.length) {
    if (pointer == 0 || !visited.insert(pointer).second) {
      ThrowDamaged(path_, "the chain of a long value is broken");
    }
    std::span<const uint8_t> row = RowAt(pointer, page);
    if (row.size() <= 4) ThrowDamaged(path_, "the chain of a long value is broken");
    pointer = ReadLittleEndian(row, 0, 4);
    size_t take = std::min<size_t>(row.size() - 4, head.length - value.size());
    value.insert(value.end(), row.begin() + 4, row.begin() + 4 + take);
  }
  return value;
}

std::vector<uint8_t> AccessFile::DefinitionBytes(uint32_t definition_page,
                                                 const std::string& table) const {
  std::vector<uint8_t> definition;
  std::vector<uint8_t> page;
  std::unordered_set<uint32_t> visited = {definition_page};
  ReadPage(definition_page, page);
  for (size_t skip = 0;; skip = kContinuationHeaderSize) {
    if (page[0] != kDefinitionPageType) {
      ThrowDamaged(path_, "the definition of table '" + table + "' is missing");
    }
    definition.insert(definition.end(), page.begin() + ptrdiff_t(skip), page.end());
    uint32_t next = ReadLittleEndian(page, 4, 4);
    if (next == 0) return definition;
    if (!visited.insert(next).second) {
      ThrowDamaged(path_, "the definition of table '" + table + "' runs in a loop");
    }
    ReadPage(next, page);
  }
}

// A page map holds a first page and a bitmap (kind 0), or the numbers of bitmap pages that
// each cover a fixed run of pages (kind 1).
std::vector<uint32_t> AccessFile::DataPagesOf(std::span<const uint8_t> definition,
                                              const std::string& table) const {
  MdbHandle* mdb = AsMdb(mdb_);
  uint32_t map_pointer = ReadLittleEndian(definition, mdb->fmt->tab_usage_map_offset, 4);
  std::vector<uint8_t> map_page;
  std::span<const uint8_t> map = RowAt(map_pointer, map_page);
  std::vector<uint32_t> pages;
  if (map[0] == 0) {
    if (map.size() < 5) ThrowDamaged(path_, "the page map of '" + table + "' is cut short");
    AddPagesOfBitmap(map.subspan(5), ReadLittleEndian(map, 1, 4), table, pages);
  } else if (map[0] == 1) {
    uint64_t pages_per_bitmap = (layout_.page_size - 4) * 8;
    std::vector<uint8_t> bitmap_page;
    for (size_t i = 0; 1 + 4 * i + 4 <= map.size(); ++i) {
      uint32_t bitmap_page_number = ReadLittleEndian(map, 1 + 4 * i, 4);
      if (bitmap_page_number == 0) continue;
      ReadPage(bitmap_page_number, bitmap_page);
      AddPagesOfBitmap(std::span<const uint8_t>(bitmap_page).subspan(4), i * pages_per_bitmap,
                       table, pages);
    }
  } else {
    ThrowDamaged(path_, "the page map of '" + table + "' is of an unknown kind");
  }
  return pages;
}

void AccessFile::AddPagesOfBitmap(std::span<const uint8_t> bitmap, uint64_t first_page,
                                  const std::string& table, std::vector<uint32_t>& pages) const {
  for (size_t byte = 0; byte < bitmap.size(); ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      if ((bitmap[byte] & (1 << bit)) == 0) continue;
      uint64_t number = first_page + byte * 8 + bit;
      if (number >= page_count_) {
        ThrowDamaged(path_, "table '" + table + "' lists page " + std::to_string(number) +
                                " beyond the end of the file");
      }
      pages.push_back(uint32_t(number));
    }
  }
}

uint32_t AccessFile::FindTable(const std::string& name) const {
  std::string wanted = FoldCase(name);
  for (const CatalogTable& table : catalog_) {
    if (table.folded_name == wanted) return table.definition_page;
  }
  return 0;
}

S_MdbTableDef* AccessFile::ReadDefinition(uint32_t definition_page, const std::string& table,
                                          std::vector<uint32_t>& data_pages,
                                          std::vector<ColumnFormat>& columns) const {
  // libmdb reads past the end of a truncated file as empty pages: check the extent first.
  const std::vector<uint8_t> definition_bytes = DefinitionBytes(definition_page, table);
  data_pages = DataPagesOf(definition_bytes, table);
  MdbCatalogEntry& entry = entries_->entries.emplace_back();
  entry.mdb = AsMdb(mdb_);
  std::snprintf(entry.object_name, sizeof(entry.object_name), "%s", table.c_str());
  entry.object_type = MDB_TABLE;
  entry.table_pg = definition_page;
  OwnedDefinition definition(mdb_read_table(&entry), mdb_free_tabledef);
  if (definition == nullptr) {
    ThrowDamaged(path_, "the definition of table '" + table + "' is unreadable");
  }
  if (definition->num_cols > kMaximumColumns) {
    ThrowDamaged(path_, "the definition of table '" + table + "' lists more than " +
                            std::to_string(kMaximumColumns) + " columns");
  }
  if (mdb_read_columns(definition.get()) == nullptr) {
    ThrowDamaged(path_, "the columns of table '" + table + "' are unreadable");
  }
  columns = ColumnFormats(*definition, definition_bytes, definition_page, table);
  return definition.release();
}

// libmdb keeps neither a Decimal column's precision and scale as they are stored, nor the marks
// of a calculated column: they are read here from the same entries, which libmdb lists sorted
// by the columns' numbers (a stable sort, as GLib's is).
std::vector<ColumnFormat> AccessFile::ColumnFormats(const MdbTableDef& definition,
                                                    std::span<const uint8_t> definition_bytes,
                                                    uint32_t definition_page,
                                                    const std::string& table) const {
  std::optional<std::vector<ColumnDefinition>> entries =
      ReadColumnDefinitions(definition_bytes, DefinitionLayoutOf(*AsMdb(mdb_)));
  if (!entries || entries->size() != definition.columns->len) {
    ThrowDamaged(path_, "the columns of table '" + table + "' are unreadable");
  }
  std::stable_sort(entries->begin(), entries->end(),
                   [](const auto& a, const auto& b) { return a.number < b.number; });
  std::vector<ColumnFormat> columns;
  for (size_t i = 0; i < entries->size(); ++i) {
    const auto& column = *static_cast<MdbColumn*>(g_ptr_array_index(definition.columns, i));
    const ColumnDefinition& entry = (*entries)[i];
    if (entry.type != column.col_type || entry.number != unsigned(column.col_num)) {
      ThrowDamaged(path_, "the columns of table '" + table + "' are unreadable");
    }
    ColumnFormat format{column.name, column.col_type, 0, encoding_, entry.calculated};
    if (entry.calculated) {
      // Its stored type need not be that of its result, which is a property of the column.
      const int result = ResultTypeOf(PropertiesOf(definition_page), column.name).value_or(0);
      if (result != 0) format.jet_type = result;
    } else if (format.jet_type == jet_type::kNumeric) {
      if (entry.precision < 1 || entry.precision > kMaximumPrecision ||
          entry.scale > entry.precision) {
        ThrowDamaged(path_, "column '" + format.name + "' of table '" + table +
                                "' has a precision of " + std::to_string(entry.precision) +
                                " and a scale of " + std::to_string(entry.scale));
      }
      format.scale = entry.scale;
    }
    columns.push_back(format);
  }
  return columns;
}

std::span<const uint8_t> AccessFile::PropertiesOf(uint32_t definition_page) const {
  for (const CatalogTable& table : catalog_) {
    if (table.definition_page == definition_page) return table.properties;
  }
  return {};
}

TableReader::TableReader(std::shared_ptr<const AccessFile> file, const std::string& table)
    : TableReader(file, file->FindTable(table), table) {}

TableReader::TableReader(std::shared_ptr<const AccessFile> file, uint32_t definition_page,
                         const std::string& table)
    : file_(std::move(file)),
      name_(table),
      definition_page_(definition_page),
      outside_bytes_allowed_(file_->file_size_) {
  if (definition_page == 0) throw RaisedError(ado_error::MissingTable(table));
  table_ = file_->ReadDefinition(definition_page, table, data_pages_, columns_);
}

TableReader::~TableReader() { mdb_free_tabledef(table_); }

bool TableReader::LoadNextPage() {
  while (next_page_index_ < data_pages_.size()) {
    page_number_ = data_pages_[next_page_index_++];
    file_->ReadPage(page_number_, page_);
    // A map may list a page that has since gone to another use; only this table's data counts.
    if (!IsDataPageOf(page_, definition_page_)) continue;
    rows_on_page_ = RowCount(file_->Layout(), page_);
    next_row_ = 0;
    return true;
  }
  rows_on_page_ = 0;
  next_row_ = 0;
  return false;
}

RowSlot TableReader::LocateRowData(size_t row, std::vector<uint8_t>& row_page,
                                   uint32_t& row_page_number) {
  const PageLayout& layout = file_->Layout();
  RowSlot slot = SlotOf(layout, page_, row);
  RequireInBounds(slot);
  row_page = page_;
  row_page_number = page_number_;
  // A moved row keeps a pointer to its data; the rows it points at are marked deleted.
  for (int moves = 0; slot.moved; ++moves) {
    if (moves == kMaximumMoves || slot.end - slot.start < 4) {
      ThrowDamaged(file_->path_, "a moved row of '" + name_ + "' cannot be followed");
    }
    uint32_t pointer = ReadLittleEndian(row_page, slot.start, 4);
    row_page_number = pointer >> 8;
    file_->ReadPage(row_page_number, row_page);
    if (!IsDataPageOf(row_page, definition_page_) ||
        (pointer & 0xFF) >= RowCount(layout, row_page)) {
      ThrowDamaged(file_->path_, "a moved row of '" + name_ + "' points at no row");
    }
    slot = SlotOf(layout, row_page, pointer & 0xFF);
    RequireInBounds(slot);
    // Rows that point at the same data would make a small file fill any memory.
    if (slot.end - slot.start > outside_bytes_allowed_) {
      ThrowDamaged(file_->path_, "moved rows of '" + name_ + "' take more than the file holds");
    }
    outside_bytes_allowed_ -= slot.end - slot.start;
  }
  return slot;
}

bool TableReader::Next(std::vector<Value>& row, std::optional<size_t> only_column) {
  while (true) {
    if (next_row_ >= rows_on_page_) {
      if (!LoadNextPage()) return false;
      continue;
    }
    size_t row_number = next_row_++;
    if (SlotOf(file_->Layout(), page_, row_number).deleted) continue;
    ReadRowOfPage(row_number, row, only_column);
    return true;
  }
}

TableReader::RowPosition TableReader::Position() const {
  return {uint32_t(next_page_index_ - 1), uint32_t(next_row_ - 1)};
}

void TableReader::ReadAt(RowPosition position, std::vector<Value>& row) {
  if (position.page_index + size_t(1) != next_page_index_) {
    next_page_index_ = position.page_index;
    LoadNextPage();
  }
  // The file may have changed since the row was found: a page gone to another use, a row gone.
  bool there = position.page_index + size_t(1) == next_page_index_ &&
               position.row < rows_on_page_ &&
               !SlotOf(file_->Layout(), page_, position.row).deleted;
  if (!there) ThrowDamaged(file_->path_, "the rows of '" + name_ + "' changed while being read");
  ReadRowOfPage(position.row, row, std::nullopt);
}

void TableReader::ReadRowOfPage(size_t row_number, std::vector<Value>& row,
                                std::optional<size_t> only_column) {
  uint32_t row_page_number = 0;
  RowSlot slot = LocateRowData(row_number, moved_row_page_, row_page_number);
  DecodeRow(moved_row_page_, row_page_number, slot, row, only_column);
}

void TableReader::DecodeRow(const std::vector<uint8_t>& row_page, uint32_t row_page_number,
                            const RowSlot& slot, std::vector<Value>& row,
                            std::optional<size_t> only_column) {
  MdbHandle* mdb = AsMdb(file_->mdb_);
  // libmdb cracks the row in its own page buffer; keep its record of that page's number true.
  std::memcpy(mdb->pg_buf, row_page.data(), file_->Layout().page_size);
  mdb->cur_pg = row_page_number;
  std::vector<MdbField> fields(table_->num_cols);
  int row_columns = mdb_crack_row(table_, int(slot.start), slot.end - slot.start, fields.data());
  if (row_columns < 0) ThrowDamaged(file_->path_, "a row of '" + name_ + "' cannot be read");
  std::span<const uint8_t> page(row_page);
  row.assign(columns_.size(), Null{});
  for (size_t i = 0; i < columns_.size(); ++i) {
    const ColumnFormat& format = columns_[i];
    // Attachments and multiple values live in hidden tables; this reader leaves them unread.
    if ((only_column && i != *only_column) || format.jet_type == jet_type::kComplex) continue;
    auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
    // A column added after the row was written has no bit in its null mask.
    bool present = !fields[i].is_null && column->col_num < row_columns;
    if (format.jet_type == jet_type::kBoolean && !format.calculated) {
      row[i] = present;
      continue;
    }
    if (!present) {
      if (format.jet_type == jet_type::kBoolean) row[i] = false;
      continue;
    }
    bool inside = fields[i].siz >= 0 && fields[i].start >= 0 &&
                  size_t(fields[i].start) >= slot.start &&
                  size_t(fields[i].start) + size_t(fields[i].siz) <= slot.end;
    if (!inside) ThrowDamaged(file_->path_, "a value of '" + name_ + "' lies outside its row");
    row[i] = DecodeField(format, page.subspan(size_t(fields[i].start), size_t(fields[i].siz)));
  }
}

Value TableReader::DecodeField(const ColumnFormat& column, std::span<const uint8_t> bytes) {
  const bool long_value = IsLongValueType(column.jet_type);
  std::vector<uint8_t> whole;
  if (long_value && !bytes.empty()) {
    whole = file_->ReadLongValue(column, bytes, outside_bytes_allowed_);
    bytes = whole;
  }
  if (column.calculated) return DecodeCalculatedValue(column, bytes);
  return long_value ? DecodeLongValue(column, bytes) : DecodeRowValue(column, bytes);
}

}  // namespace toverak
