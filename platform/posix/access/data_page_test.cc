#include "platform/posix/access/data_page.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/error.h"

namespace toverak {
namespace {

const PageLayout kJet4{4096, 12};

void Put16(std::vector<uint8_t>& page, size_t offset, uint16_t value) {
  page[offset] = uint8_t(value);
  page[offset + 1] = uint8_t(value >> 8);
}

// A Jet 4 data page of table 7 whose row table holds `entries`.
std::vector<uint8_t> Page(const std::vector<uint16_t>& entries) {
  std::vector<uint8_t> page(4096);
  page[0] = 0x01;
  page[1] = 0x01;
  page[4] = 7;
  Put16(page, 12, uint16_t(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) Put16(page, 14 + 2 * i, entries[i]);
  return page;
}

TEST(DataPageTest, RowsRunFromTheirOffsetToTheStartOfTheRowBefore) {
  std::vector<uint8_t> page = Page({0xF00, 0x8E00, 0x4D00, 0xC000});
  EXPECT_TRUE(IsDataPageOf(page, 7));
  EXPECT_FALSE(IsDataPageOf(page, 8));
  ASSERT_EQ(RowCount(kJet4, page), 4u);
  RowSlot first = SlotOf(kJet4, page, 0);
  EXPECT_EQ(first.start, 0xF00u);
  EXPECT_EQ(first.end, 4096u);
  EXPECT_TRUE(first.in_bounds);
  EXPECT_FALSE(first.deleted || first.moved);
  RowSlot deleted = SlotOf(kJet4, page, 1);
  EXPECT_TRUE(deleted.deleted);
  EXPECT_EQ(deleted.start, 0xE00u);
  EXPECT_EQ(deleted.end, 0xF00u);
  RowSlot moved = SlotOf(kJet4, page, 2);
  EXPECT_TRUE(moved.moved);
  EXPECT_FALSE(moved.deleted);
  EXPECT_EQ(moved.end, 0xE00u);
  // A deleted slot may point anywhere; its bounds are never used.
  EXPECT_FALSE(SlotOf(kJet4, page, 3).in_bounds);
}

TEST(DataPageTest, FlagsRowsThatLeaveThePageOrOverlapTheRowTable) {
  std::vector<uint8_t> page = Page({0x10, 0x20, 0x30});
  EXPECT_FALSE(SlotOf(kJet4, page, 0).in_bounds);  // starts inside the row table
  EXPECT_FALSE(SlotOf(kJet4, page, 1).in_bounds);  // ends before it starts
  EXPECT_THROW(RequireInBounds(SlotOf(kJet4, page, 0)), RaisedError);
  std::vector<uint8_t> empty_row = Page({0xF00, 0xF00});
  EXPECT_FALSE(SlotOf(kJet4, empty_row, 1).in_bounds);
}

TEST(DataPageTest, RejectsARowCountThatRunsPastThePage) {
  std::vector<uint8_t> page = Page({});
  Put16(page, 12, 2042);
  EXPECT_THROW(RowCount(kJet4, page), RaisedError);
  Put16(page, 12, 2041);
  EXPECT_EQ(RowCount(kJet4, page), 2041u);
}

}  // namespace
}  // namespace toverak
