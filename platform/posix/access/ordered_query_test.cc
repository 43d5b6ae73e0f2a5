#include "platform/posix/access/ordered_query.h"

#include <gtest/gtest.h>

namespace toverak {
namespace {

TEST(OrderedQueryTest, ReadsTheSortedSelectInItsSpellings) {
  std::optional<OrderedQuery> query = ParseOrderedQuery("SELECT * FROM ATR_Log ORDER BY log_id");
  ASSERT_TRUE(query);
  EXPECT_EQ(query->table, "ATR_Log");
  EXPECT_EQ(query->column, "log_id");
  EXPECT_FALSE(query->descending);

  query = ParseOrderedQuery("  select *from [ATR Log]\r\n order  by [log id] desc ;");
  ASSERT_TRUE(query);
  EXPECT_EQ(query->table, "ATR Log");
  EXPECT_EQ(query->column, "log id");
  EXPECT_TRUE(query->descending);

  query = ParseOrderedQuery("Select * From t Order By c Asc");
  ASSERT_TRUE(query);
  EXPECT_FALSE(query->descending);
}

TEST(OrderedQueryTest, RefusesEveryOtherStatement) {
  for (const char* statement :
       {"", "SELECT * FROM t", "SELECT a FROM t ORDER BY a", "SELECT * FROM t ORDER BY a, b",
        "SELECT * FROM t WHERE a = 1 ORDER BY a", "SELECT * FROM t ORDER BY a UP",
        "SELECT * FROM [t ORDER BY a", "SELECT * FROM [] ORDER BY a",
        "SELECT * FROM t-1 ORDER BY a", "DELETE FROM t", "INSERT INTO t VALUES ('1')",
        "DROP TABLE t", "SELECT * FROM t ORDER BY a; DELETE FROM t"}) {
    EXPECT_FALSE(ParseOrderedQuery(statement)) << statement;
  }
}

TEST(OrderedQueryTest, SortsNullsFirstAndNumbersByValue) {
  EXPECT_TRUE(SortsBefore(Null{}, int32_t{-5}));
  EXPECT_FALSE(SortsBefore(int32_t{-5}, Null{}));
  EXPECT_FALSE(SortsBefore(Null{}, Null{}));
  EXPECT_TRUE(SortsBefore(int32_t{9}, int32_t{10}));
  EXPECT_TRUE(SortsBefore(int16_t{-1}, uint8_t{0}));
  EXPECT_TRUE(SortsBefore(Currency{-1}, Currency{0}));
  EXPECT_TRUE(SortsBefore(int64_t{9007199254740992}, int64_t{9007199254740993}));
  EXPECT_TRUE(SortsBefore(Decimal{5, 0, 1, true}, Decimal{1, 0, 0, false}));    // -0.5 < 1
  EXPECT_TRUE(SortsBefore(Decimal{15, 0, 1, false}, Decimal{2, 0, 0, false}));  // 1.5 < 2
  EXPECT_TRUE(SortsBefore(true, false));  // Yes is stored as -1
  // Decimals exactly, beyond a double's digits: 1 < 1.0000000000000000000000000001 < …02.
  const Decimal just_above_one{0x3E25026110000001, 0x204FCE5E, 28, false};
  Decimal next = just_above_one;
  ++next.low;
  EXPECT_TRUE(SortsBefore(Decimal{1, 0, 0, false}, just_above_one));
  EXPECT_TRUE(SortsBefore(just_above_one, next));
  next.negative = true;
  EXPECT_TRUE(SortsBefore(next, Decimal{1, 0, 0, true}));
  EXPECT_FALSE(SortsBefore(Decimal{0, 0, 2, true}, Decimal{0, 0, 0, false}));  // -0 is 0
}

TEST(OrderedQueryTest, SortsDatesByTimeAndTextWithoutRegardToCase) {
  EXPECT_TRUE(SortsBefore(Date{-1.25}, Date{-1.5}));  // 29 Dec 1899, 06:00 before 12:00
  EXPECT_TRUE(SortsBefore(Date{-1.5}, Date{0.25}));
  // Date/Time Extended values by their exact time, 100 nanoseconds apart in the year 9999.
  const int64_t late = 3652058LL * 864'000'000'000;
  EXPECT_TRUE(SortsBefore(Date{2958465.0, late}, Date{2958465.0, late + 1}));
  EXPECT_FALSE(SortsBefore(Date{2958465.0, late + 1}, Date{2958465.0, late}));
  EXPECT_TRUE(SortsBefore(std::string("apple"), std::string("Banana")));
  EXPECT_TRUE(SortsBefore(std::string("B"), std::string("c")));
  EXPECT_FALSE(SortsBefore(std::string("ABC"), std::string("abc")));
  EXPECT_FALSE(SortsBefore(std::string("abc"), std::string("ABC")));
  EXPECT_TRUE(SortsBefore(std::string("\xC3\xA9ta"), std::string("\xC3\x89TB")));
}

}  // namespace
}  // namespace toverak
