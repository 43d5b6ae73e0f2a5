// An Access file opened read-only through libmdb: its catalog, its pages read with checks
// against the file's end, and its tables read one row at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/posix/access/access_value.h"
#include "platform/posix/access/data_page.h"
#include "platform/value.h"

struct S_MdbTableDef;

namespace toverak {

class AccessFile {
 public:
  // Opens `path`; throws when the file is missing, unreadable, or not a Jet 3, Jet 4 or ACE
  // database with a readable catalog.
  static std::shared_ptr<AccessFile> Open(const std::string& path);
  ~AccessFile();
  AccessFile(const AccessFile&) = delete;
  AccessFile& operator=(const AccessFile&) = delete;

  const PageLayout& Layout() const { return layout_; }
  TextEncoding Encoding() const { return encoding_; }
  // Reads page `number` into `page`; throws when the page lies beyond the end of the file.
  void ReadPage(uint32_t number, std::vector<uint8_t>& page) const;
  // The whole value of a Memo or OLE field whose 12-byte head is `field`; throws when its
  // long-value rows are missing, loop or fall short of its length, or when it is longer than
  // `allowance`, the bytes that the values of one read of a table may still take from outside
  // their rows (each byte of a file belongs to one value: more is damage), which it lessens.
  std::vector<uint8_t> ReadLongValue(const ColumnFormat& column, std::span<const uint8_t> field,
                                     uint64_t& allowance) const;
  // The definition page of user or system table `name`, matched without regard to case; 0 when
  // the catalog has no such table.
  uint32_t FindTable(const std::string& name) const;
  // The definition and columns of the table defined on `definition_page` (free it with
  // mdb_free_tabledef), with the data pages that its map lists and the format of each column in
  // libmdb's order; throws when the definition, its continuation pages, its map or the pages it
  // lists are missing or damaged, or a column's definition or properties are damaged.
  S_MdbTableDef* ReadDefinition(uint32_t definition_page, const std::string& table,
                                std::vector<uint32_t>& data_pages,
                                std::vector<ColumnFormat>& columns) const;

 private:
  friend class TableReader;
  struct CatalogTable {
    std::string folded_name;
    uint32_t definition_page;
    Bytes properties;  // the table's and its columns' stored properties
  };

  AccessFile() = default;
  void ReadCatalog(const std::shared_ptr<const AccessFile>& self);
  // The first page of a table's definition whole, then each continuation page without its
  // 8-byte header: the bytes of the definition as libmdb reads them.
  std::vector<uint8_t> DefinitionBytes(uint32_t definition_page, const std::string& table) const;
  std::vector<uint32_t> DataPagesOf(std::span<const uint8_t> definition,
                                    const std::string& table) const;
  std::vector<ColumnFormat> ColumnFormats(const S_MdbTableDef& definition,
                                          std::span<const uint8_t> definition_bytes,
                                          uint32_t definition_page, const std::string& table) const;
  std::span<const uint8_t> PropertiesOf(uint32_t definition_page) const;
  // The bytes of row `row_pointer` (page << 8 | row), read into `page`.
  std::span<const uint8_t> RowAt(uint32_t row_pointer, std::vector<uint8_t>& page) const;
  void AddPagesOfBitmap(std::span<const uint8_t> bitmap, uint64_t first_page,
                        const std::string& table, std::vector<uint32_t>& pages) const;

  void* mdb_ = nullptr;  // the MdbHandle
  std::string path_;
  uint64_t file_size_ = 0;
  uint32_t page_count_ = 0;
  PageLayout layout_;
  TextEncoding encoding_ = TextEncoding::kUtf16;
  std::vector<CatalogTable> catalog_;
  // The catalog entries that libmdb's table definitions point at, made here rather than by
  // libmdb's own catalog reader, which decodes property blobs without checking their bounds.
  struct CatalogEntries;
  std::unique_ptr<CatalogEntries> entries_;
};

// The rows of one table, read in the order of its data pages, one row at a time.
class TableReader {
 public:
  // Opens `table` of `file`; throws naming a table that the file lacks, or when its definition
  // or its map of pages is damaged.
  TableReader(std::shared_ptr<const AccessFile> file, const std::string& table);
  // Opens the table `table` defined on `definition_page`, as the constructor above.
  TableReader(std::shared_ptr<const AccessFile> file, uint32_t definition_page,
              const std::string& table);
  ~TableReader();
  TableReader(const TableReader&) = delete;
  TableReader& operator=(const TableReader&) = delete;

  // Where a row lies: the index of its page in the table's map, and its number on that page.
  struct RowPosition {
    uint32_t page_index;
    uint32_t row;
  };

  const std::vector<ColumnFormat>& Columns() const { return columns_; }
  // Reads the next row into `row`, one value a column; false after the last row. With
  // `only_column`, only that column is decoded and the others are left Null. Columns of
  // attachments or multiple values are left Null (RequireReadable refuses them).
  bool Next(std::vector<Value>& row, std::optional<size_t> only_column = std::nullopt);
  // The position of the row that Next read last.
  RowPosition Position() const;
  // Reads the row at `position`, which Next of a reader of this table gave; throws when the
  // file no longer holds a row there.
  void ReadAt(RowPosition position, std::vector<Value>& row);

 private:
  bool LoadNextPage();
  void ReadRowOfPage(size_t row_number, std::vector<Value>& row, std::optional<size_t> only_column);
  // The page and bounds of the data of row `row` of the loaded page, following a moved row.
  RowSlot LocateRowData(size_t row, std::vector<uint8_t>& row_page, uint32_t& row_page_number);
  void DecodeRow(const std::vector<uint8_t>& row_page, uint32_t row_page_number,
                 const RowSlot& slot, std::vector<Value>& row, std::optional<size_t> only_column);
  // The value of a present field of `column` whose bytes in the row are `bytes`.
  Value DecodeField(const ColumnFormat& column, std::span<const uint8_t> bytes);

  std::shared_ptr<const AccessFile> file_;
  std::string name_;
  S_MdbTableDef* table_ = nullptr;
  uint32_t definition_page_ = 0;
  std::vector<ColumnFormat> columns_;
  std::vector<uint32_t> data_pages_;
  size_t next_page_index_ = 0;
  std::vector<uint8_t> page_;
  uint32_t page_number_ = 0;
  size_t rows_on_page_ = 0;
  size_t next_row_ = 0;
  std::vector<uint8_t> moved_row_page_;
  // What the long values and moved rows of this read may still take: the file's size.
  uint64_t outside_bytes_allowed_ = 0;
};

}  // namespace toverak
