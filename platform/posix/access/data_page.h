// The layout of Access data pages: the rows that a page holds, where each lies, and the flags
// that mark deleted rows and rows moved elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace toverak {

// Where a format keeps its rows: 2048-byte pages with the row count at 8 (Jet 3), 4096-byte
// pages with it at 12 (Jet 4 and ACE).
struct PageLayout {
  size_t page_size = 4096;
  size_t row_count_offset = 12;
};

// One entry of a page's row table.
struct RowSlot {
  size_t start = 0;  // first byte of the row on the page
  size_t end = 0;    // one past its last byte
  bool deleted = false;
  // The row holds only a pointer (page << 8 | row) to where its data has moved.
  bool moved = false;
  // The bounds lie on the page, below the row table, and hold at least one byte.
  bool in_bounds = false;
};

// True when `page` is a data page of the table whose definition is on `definition_page`.
bool IsDataPageOf(std::span<const uint8_t> page, uint32_t definition_page);

// True when `page` is a data page of any owner, long-value pages included.
bool IsDataPage(std::span<const uint8_t> page);

// The number of rows in the row table; throws when the table would run past the page.
size_t RowCount(const PageLayout& layout, std::span<const uint8_t> page);

// The slot of row `row`, which is below RowCount.
RowSlot SlotOf(const PageLayout& layout, std::span<const uint8_t> page, size_t row);

// Throws when `slot` does not lie on its page.
void RequireInBounds(const RowSlot& slot);

// Reads a little-endian unsigned number of `size` bytes at `offset`.
uint32_t ReadLittleEndian(std::span<const uint8_t> bytes, size_t offset, size_t size);

}  // namespace toverak
