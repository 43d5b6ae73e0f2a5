#include "platform/posix/access/access_file.h"

#include <mdbtools.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_set>

#include "platform/error.h"
#include "platform/posix/access/access_text.h"

namespace toverak {
namespace {

constexpr size_t kHeaderSize = 0x20;
constexpr size_t kVersionOffset = 0x14;
constexpr uint8_t kLastKnownVersion = MDB_VER_ACCDB_2019;
// Page 2 holds the definition of the catalog table, so a database has at least three pages.
constexpr uint64_t kMinimumPages = 3;
// A row moved by an update points at its new place; a longer trail than this is a loop.
constexpr int kMaximumMoves = 8;

MdbHandle* AsMdb(void* handle) { return static_cast<MdbHandle*>(handle); }

std::string Unrecognized(const std::string& path) {
  return "Unrecognized database format '" + path + "'.";
}

[[noreturn]] void ThrowDamaged(const std::string& path, const std::string& what) {
  throw RaisedError("The Access file '" + path + "' is damaged or truncated: " + what + ".");
}

std::string MissingTable(const std::string& name) {
  return "The Microsoft Jet database engine cannot find the input table or query '" + name +
         "'. Make sure it exists and that its name is spelled correctly.";
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
  if (mdb_read_catalog(mdb, MDB_ANY) == nullptr) ThrowDamaged(path, "its catalog cannot be read");
  return file;
}

AccessFile::~AccessFile() { mdb_close(AsMdb(mdb_)); }

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

std::span<const uint8_t> AccessFile::LongValueRow(uint32_t row_pointer,
                                                  std::vector<uint8_t>& page) const {
  ReadPage(row_pointer >> 8, page);
  size_t row = row_pointer & 0xFF;
  if (!IsDataPage(page) || row >= RowCount(layout_, page)) {
    ThrowDamaged(path_, "a long value points at a row that does not exist");
  }
  RowSlot slot = SlotOf(layout_, page, row);
  RequireInBounds(slot);
  return std::span<const uint8_t>(page).subspan(slot.start, slot.end - slot.start);
}

std::vector<uint8_t> AccessFile::ReadLongValue(const ColumnFormat& column,
                                               std::span<const uint8_t> field) const {
  LongValueHead head = ParseLongValueHead(column, field);
  if (head.length > file_size_) ThrowDamaged(path_, "a long value is longer than the file");
  std::vector<uint8_t> page;
  switch (head.storage) {
    case LongValueHead::Storage::kInline: {
      std::span<const uint8_t> data = field.subspan(12, head.length);
      return std::vector<uint8_t>(data.begin(), data.end());
    }
    case LongValueHead::Storage::kSingleRow: {
      std::span<const uint8_t> row = LongValueRow(head.row_pointer, page);
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
    std::span<const uint8_t> row = LongValueRow(pointer, page);
    if (row.size() <= 4) ThrowDamaged(path_, "the chain of a long value is broken");
    pointer = ReadLittleEndian(row, 0, 4);
    size_t take = std::min<size_t>(row.size() - 4, head.length - value.size());
    value.insert(value.end(), row.begin() + 4, row.begin() + 4 + take);
  }
  return value;
}

S_MdbTableDef* AccessFile::FindTable(const std::string& name) const {
  MdbHandle* mdb = AsMdb(mdb_);
  std::string wanted = FoldCase(name);
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type != MDB_TABLE || FoldCase(entry->object_name) != wanted) continue;
    MdbTableDef* table = mdb_read_table(entry);
    if (table == nullptr)
      ThrowDamaged(path_, "the definition of table '" + name + "' is unreadable");
    if (mdb_read_columns(table) == nullptr) {
      mdb_free_tabledef(table);
      ThrowDamaged(path_, "the columns of table '" + name + "' are unreadable");
    }
    return table;
  }
  return nullptr;
}

TableReader::TableReader(std::shared_ptr<const AccessFile> file, const std::string& table)
    : file_(std::move(file)), name_(table) {
  table_ = file_->FindTable(table);
  if (table_ == nullptr) throw RaisedError(MissingTable(table));
  definition_page_ = uint32_t(table_->entry->table_pg);
  for (unsigned i = 0; i < table_->columns->len; ++i) {
    auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
    columns_.push_back(ColumnFormat{column->name, column->col_type, uint8_t(column->col_scale),
                                    file_->Encoding()});
  }
  try {
    ReadDataPageList();
  } catch (...) {
    mdb_free_tabledef(table_);
    throw;
  }
}

TableReader::~TableReader() { mdb_free_tabledef(table_); }

// The usage map of a table lists its data pages: kind 0 holds a first page and a bitmap, kind 1
// the numbers of bitmap pages that each cover a fixed run of pages.
void TableReader::ReadDataPageList() {
  std::span<const uint8_t> map(table_->usage_map, table_->map_sz);
  if (map.empty()) ThrowDamaged(file_->path_, "table '" + name_ + "' has no page map");
  if (map[0] == 0) {
    if (map.size() < 5) ThrowDamaged(file_->path_, "the page map of '" + name_ + "' is cut short");
    AddPagesOfBitmap(map.subspan(5), ReadLittleEndian(map, 1, 4));
  } else if (map[0] == 1) {
    size_t pages_per_bitmap = (file_->Layout().page_size - 4) * 8;
    std::vector<uint8_t> bitmap_page;
    for (size_t i = 0; 1 + 4 * i + 4 <= map.size(); ++i) {
      uint32_t bitmap_page_number = ReadLittleEndian(map, 1 + 4 * i, 4);
      if (bitmap_page_number == 0) continue;
      file_->ReadPage(bitmap_page_number, bitmap_page);
      AddPagesOfBitmap(std::span<const uint8_t>(bitmap_page).subspan(4),
                       uint32_t(std::min<uint64_t>(i * pages_per_bitmap, UINT32_MAX)));
    }
  } else {
    ThrowDamaged(file_->path_, "the page map of '" + name_ + "' is of an unknown kind");
  }
}

void TableReader::AddPagesOfBitmap(std::span<const uint8_t> bitmap, uint32_t first_page) {
  for (size_t byte = 0; byte < bitmap.size(); ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      if ((bitmap[byte] & (1 << bit)) == 0) continue;
      uint64_t page = uint64_t(first_page) + byte * 8 + bit;
      if (page >= file_->page_count_) {
        ThrowDamaged(file_->path_, "table '" + name_ + "' lists page " + std::to_string(page) +
                                       " beyond the end of the file");
      }
      data_pages_.push_back(uint32_t(page));
    }
  }
}

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
  }
  return slot;
}

bool TableReader::Next(std::vector<Value>& row) {
  while (true) {
    if (next_row_ >= rows_on_page_) {
      if (!LoadNextPage()) return false;
      continue;
    }
    size_t row_number = next_row_++;
    if (SlotOf(file_->Layout(), page_, row_number).deleted) continue;
    uint32_t row_page_number = 0;
    RowSlot slot = LocateRowData(row_number, moved_row_page_, row_page_number);
    DecodeRow(moved_row_page_, row_page_number, slot, row);
    return true;
  }
}

void TableReader::DecodeRow(const std::vector<uint8_t>& row_page, uint32_t row_page_number,
                            const RowSlot& slot, std::vector<Value>& row) {
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
    auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
    // A column added after the row was written has no bit in its null mask.
    bool present = !fields[i].is_null && column->col_num < row_columns;
    if (columns_[i].jet_type == jet_type::kBoolean) {
      row[i] = present;
      continue;
    }
    if (!present) continue;
    bool inside = fields[i].siz >= 0 && fields[i].start >= 0 &&
                  size_t(fields[i].start) >= slot.start &&
                  size_t(fields[i].start) + size_t(fields[i].siz) <= slot.end;
    if (!inside) ThrowDamaged(file_->path_, "a value of '" + name_ + "' lies outside its row");
    std::span<const uint8_t> bytes = page.subspan(size_t(fields[i].start), size_t(fields[i].siz));
    if (IsLongValueType(columns_[i].jet_type) && bytes.empty()) {
      row[i] = DecodeLongValue(columns_[i], bytes);
    } else if (IsLongValueType(columns_[i].jet_type)) {
      row[i] = DecodeLongValue(columns_[i], file_->ReadLongValue(columns_[i], bytes));
    } else {
      row[i] = DecodeRowValue(columns_[i], bytes);
    }
  }
}

}  // namespace toverak
