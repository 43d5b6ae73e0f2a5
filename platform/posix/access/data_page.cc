#include "platform/posix/access/data_page.h"

#include <string>

#include "platform/error.h"

namespace toverak {
namespace {

constexpr uint8_t kDataPageType = 0x01;
constexpr uint16_t kOffsetMask = 0x1FFF;
constexpr uint16_t kDeletedFlag = 0x8000;
constexpr uint16_t kMovedFlag = 0x4000;

uint16_t RowTableEntry(const PageLayout& layout, std::span<const uint8_t> page, size_t index) {
  return uint16_t(ReadLittleEndian(page, layout.row_count_offset + 2 + 2 * index, 2));
}

}  // namespace

uint32_t ReadLittleEndian(std::span<const uint8_t> bytes, size_t offset, size_t size) {
  uint32_t value = 0;
  for (size_t i = 0; i < size; ++i) value |= uint32_t(bytes[offset + i]) << (8 * i);
  return value;
}

bool IsDataPage(std::span<const uint8_t> page) {
  return page.size() >= 8 && page[0] == kDataPageType;
}

bool IsDataPageOf(std::span<const uint8_t> page, uint32_t definition_page) {
  return IsDataPage(page) && ReadLittleEndian(page, 4, 4) == definition_page;
}

size_t RowCount(const PageLayout& layout, std::span<const uint8_t> page) {
  size_t count = ReadLittleEndian(page, layout.row_count_offset, 2);
  if (layout.row_count_offset + 2 + 2 * count > page.size()) {
    throw RaisedError("The Access file is damaged: a data page lists " + std::to_string(count) +
                      " rows, more than it can hold.");
  }
  return count;
}

RowSlot SlotOf(const PageLayout& layout, std::span<const uint8_t> page, size_t row) {
  uint16_t entry = RowTableEntry(layout, page, row);
  RowSlot slot;
  slot.deleted = (entry & kDeletedFlag) != 0;
  slot.moved = (entry & kMovedFlag) != 0;
  slot.start = entry & kOffsetMask;
  // Rows are packed down from the end of the page: each ends where the one before it starts.
  slot.end = row == 0 ? page.size() : (RowTableEntry(layout, page, row - 1) & kOffsetMask);
  size_t row_table_end = layout.row_count_offset + 2 + 2 * RowCount(layout, page);
  slot.in_bounds = slot.start >= row_table_end && slot.start < slot.end && slot.end <= page.size();
  return slot;
}

void RequireInBounds(const RowSlot& slot) {
  if (!slot.in_bounds) {
    throw RaisedError("The Access file is damaged: a row lies outside its data page.");
  }
}

}  // namespace toverak
