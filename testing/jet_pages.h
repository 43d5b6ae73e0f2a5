// The pages of a Jet 4 file as the writer builds them: the header page, pages of packed rows
// (data and long-value pages) and the usage maps that tell a table which pages are its own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/value.h"

namespace toverak::jet {

constexpr uint32_t kPageSize = 4096;
// The table definition of the system catalog, where every reader starts.
constexpr uint32_t kCatalogPage = 2;
// The largest row that fits a data page: the page less its header and one row offset.
constexpr uint32_t kMaxRowSize = kPageSize - 14 - 2;
constexpr int kMaxRowsPerPage = 255;

using Page = std::array<uint8_t, kPageSize>;

void PutU16(uint8_t* at, uint32_t value);
void PutU32(uint8_t* at, uint32_t value);
void AppendU16(std::vector<uint8_t>& bytes, uint32_t value);
void AppendU32(std::vector<uint8_t>& bytes, uint32_t value);

// The file's pages in order; page numbers are indexes.
class PageFile {
 public:
  // Appends a zeroed page and returns its number.
  uint32_t Add();
  Page& operator[](uint32_t number) { return pages_[number]; }
  uint32_t Count() const { return static_cast<uint32_t>(pages_.size()); }
  // Writes every page to `path`; throws RaisedError when the file cannot be written.
  void Save(const std::string& path) const;

 private:
  std::vector<Page> pages_;
};

// Fills page 0: the signature of Jet 4 (version 1) or ACE (version 2 and later), the version
// and the header block (code page 1252, no database key, an empty password, the General sort
// order and the creation date), RC4-encrypted as Jet keeps it.
void WriteHeaderPage(Page& page, Date created, uint8_t version);

// Rows packed onto pages of one owner, each page filled from its end downwards. The owner field
// of each page is the owning table definition's page, or "LVAL" for long values.
class RowPages {
 public:
  RowPages(PageFile& file, std::array<uint8_t, 4> owner) : file_(file), owner_(owner) {}
  static std::array<uint8_t, 4> OwnedBy(uint32_t table_page);
  static std::array<uint8_t, 4> LongValues();

  // Places `row` (at most kMaxRowSize bytes) on the current page, or on a new page when it does
  // not fit there, and returns its row pointer: page << 8 | row number.
  uint32_t Add(const std::vector<uint8_t>& row);
  // The pages used so far, in ascending order.
  const std::vector<uint32_t>& Pages() const { return pages_; }

 private:
  void StartPage();

  PageFile& file_;
  std::array<uint8_t, 4> owner_;
  std::vector<uint32_t> pages_;
  int rows_on_page_ = 0;
  uint32_t free_end_ = 0;
};

// The usage-map row that lists `pages` (ascending): inline (type 0, a start page and 64 bytes of
// bitmap) when they lie within 512 pages of each other, otherwise type 1, pointing at bitmap
// pages that it adds to `file`.
std::vector<uint8_t> UsageMap(const std::vector<uint32_t>& pages, PageFile& file);

}  // namespace toverak::jet
