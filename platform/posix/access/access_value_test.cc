#include "platform/posix/access/access_value.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

#include "platform/error.h"

namespace toverak {
namespace {

ColumnFormat Column(int type, uint8_t scale = 0) { return ColumnFormat{"C", type, scale}; }

Value Decode(int type, std::vector<uint8_t> bytes, uint8_t scale = 0) {
  return DecodeRowValue(Column(type, scale), bytes);
}

TEST(AccessValueTest, DecodesEachFixedKind) {
  EXPECT_EQ(Decode(jet_type::kByte, {0xFF}), Value(uint8_t{255}));
  EXPECT_EQ(Decode(jet_type::kInteger, {0x00, 0x80}), Value(int16_t{-32768}));
  EXPECT_EQ(Decode(jet_type::kLong, {0xFE, 0xFF, 0xFF, 0xFF}), Value(int32_t{-2}));
  EXPECT_EQ(Decode(jet_type::kCurrency, {0xF0, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
            Value(Currency{-10000}));
  EXPECT_EQ(Decode(jet_type::kSingle, {0x00, 0x00, 0xC0, 0x3F}), Value(1.5f));
  EXPECT_EQ(Decode(jet_type::kDouble, {0, 0, 0, 0, 0, 0, 0x02, 0xC0}), Value(-2.25));
  // 1 January 1000 is day -328716.
  EXPECT_EQ(Decode(jet_type::kDateTime, {0, 0, 0, 0, 0x30, 0x10, 0x14, 0xC1}),
            Value(Date{-328716.0}));
  EXPECT_EQ(Decode(jet_type::kBigInt, {1, 0, 0, 0, 0, 0, 0, 0x80}),
            Value(int64_t(0x8000000000000001ULL)));
}

std::vector<uint8_t> StoredDays(double days) {
  const auto bits = std::bit_cast<uint64_t>(days);
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 8; ++i) bytes.push_back(uint8_t(bits >> (8 * i)));
  return bytes;
}

// A damaged day number has no year: it would overflow every rendering of the date.
TEST(AccessValueTest, TakesDatesOfTheYears100To32767Only) {
  const double first = -657434.0 - 86399.0 / 86400.0;  // 1 January 100, 23:59:59
  const double beyond_access = 2958466.0;              // 1 January 10000
  const double last = 11274306.0 + 86399.0 / 86400.0;  // 31 December 32767, 23:59:59
  for (double days : {first, beyond_access, last}) {
    EXPECT_EQ(Decode(jet_type::kDateTime, StoredDays(days)), Value(Date{days}));
  }
  for (double damaged : {-657435.0, 11274307.0, -9.70685e+29, std::nan(""), HUGE_VAL}) {
    EXPECT_THROW(Decode(jet_type::kDateTime, StoredDays(damaged)), RaisedError) << damaged;
  }
}

TEST(AccessValueTest, DecodesGuidAndDecimalLayouts) {
  std::vector<uint8_t> guid = {0x78, 0x56, 0x34, 0x12, 0x34, 0x12, 0x78, 0x56,
                               1,    2,    3,    4,    5,    6,    7,    8};
  EXPECT_EQ(Decode(jet_type::kGuid, guid),
            Value(Guid{0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}}));
  // Sign, then four little-endian words with the most significant first: -(2^64 + 3) / 100.
  std::vector<uint8_t> decimal = {0x80, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0};
  EXPECT_EQ(Decode(jet_type::kNumeric, decimal, 2), Value(Decimal{3, 1, 2, true}));
  decimal[1] = 1;  // beyond 96 bits
  EXPECT_THROW(Decode(jet_type::kNumeric, decimal), RaisedError);
}

TEST(AccessValueTest, DecodesTextAndBinaryAsStored) {
  EXPECT_EQ(Decode(jet_type::kText, {}), Value(std::string()));
  EXPECT_EQ(Decode(jet_type::kText, {0xFF, 0xFE, 'h', 'i'}), Value(std::string("hi")));
  EXPECT_EQ(DecodeRowValue(ColumnFormat{"C", jet_type::kText, 0, TextEncoding::kCodePage1252},
                           std::vector<uint8_t>{0x80}),
            Value(std::string("\xE2\x82\xAC")));
  EXPECT_EQ(Decode(jet_type::kBinary, {0, 1}), Value(Bytes{0, 1}));
  EXPECT_EQ(DecodeLongValue(Column(jet_type::kMemo), std::vector<uint8_t>{'o', 0, 'k', 0}),
            Value(std::string("ok")));
  EXPECT_EQ(DecodeLongValue(Column(jet_type::kOle), std::vector<uint8_t>{'o', 0}),
            Value(Bytes{'o', 0}));
}

TEST(AccessValueTest, RejectsShortBytesAndUnknownKindsNamingTheColumn) {
  EXPECT_THROW(Decode(jet_type::kLong, {1, 2, 3}), RaisedError);
  EXPECT_THROW(Decode(jet_type::kGuid, std::vector<uint8_t>(15)), RaisedError);
  try {
    DecodeRowValue(ColumnFormat{"Attachments", 0x12}, std::vector<uint8_t>(4));
    FAIL();
  } catch (const RaisedError& error) {
    EXPECT_NE(error.Description().find("'Attachments'"), std::string::npos);
  }
}

TEST(AccessValueTest, ReportsProviderTypeCodes) {
  EXPECT_EQ(AdoTypeOf(jet_type::kBoolean), 11);
  EXPECT_EQ(AdoTypeOf(jet_type::kByte), 17);
  EXPECT_EQ(AdoTypeOf(jet_type::kInteger), 2);
  EXPECT_EQ(AdoTypeOf(jet_type::kLong), 3);
  EXPECT_EQ(AdoTypeOf(jet_type::kCurrency), 6);
  EXPECT_EQ(AdoTypeOf(jet_type::kSingle), 4);
  EXPECT_EQ(AdoTypeOf(jet_type::kDouble), 5);
  EXPECT_EQ(AdoTypeOf(jet_type::kDateTime), 7);
  EXPECT_EQ(AdoTypeOf(jet_type::kText), 202);
  EXPECT_EQ(AdoTypeOf(jet_type::kMemo), 203);
  EXPECT_EQ(AdoTypeOf(jet_type::kBinary), 204);
  EXPECT_EQ(AdoTypeOf(jet_type::kOle), 205);
  EXPECT_EQ(AdoTypeOf(jet_type::kGuid), 72);
  EXPECT_EQ(AdoTypeOf(jet_type::kNumeric), 131);
  EXPECT_EQ(AdoTypeOf(jet_type::kExtendedDate), 135);
  EXPECT_EQ(AdoTypeOf(0x12), 0);
}

std::vector<uint8_t> Ascii(const std::string& text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

// As extDateTestV2019.accdb (made by Access 2019) stores 14 June 2021, 22:45:12.3456789.
TEST(AccessValueTest, ReadsDateTimeExtendedOfItsShapeOnly) {
  const std::string stored = "0000000000000737954:0000000819123456789:7";
  const Date date = std::get<Date>(Decode(jet_type::kExtendedDate, Ascii(stored)));
  EXPECT_EQ(date.ticks, (737954LL * 86400 + 81912) * 10'000'000 + 3456789);
  EXPECT_NEAR(date.days, 44361 + 81912.3456789 / 86400, 1e-9);
  // Before day zero the day counts down and the time runs forward: 14 June 100, 12:45.
  const Date early = std::get<Date>(
      Decode(jet_type::kExtendedDate, Ascii("0000000000000036323:0000000459000000000:7")));
  EXPECT_NEAR(early.days, -657270 - 45900.0 / 86400, 1e-9);
  for (const std::string& damaged :
       {std::string("0000000000000737954:0000000819123456789:8"),    // not ":7"
        std::string("0000000000000737954-0000000819123456789:7"),    // no colon
        std::string("00000000000007379x4:0000000819123456789:7"),    // not a digit
        std::string("0000000000003652059:0000000000000000000:7"),    // the year 10000
        std::string("0000000000000737954:0000086400000000000:7"),    // a day's 86,400th second
        std::string("0000000000000737954:000000081912345678:7")}) {  // 41 bytes
    EXPECT_THROW(Decode(jet_type::kExtendedDate, Ascii(damaged)), RaisedError) << damaged;
  }
  std::vector<uint8_t> unterminated = Ascii(stored);
  unterminated.back() = ' ';
  EXPECT_THROW(Decode(jet_type::kExtendedDate, unterminated), RaisedError);
}

// A calculated value's wrapper: 16 bytes, the data's length, the data.
std::vector<uint8_t> Wrapped(std::vector<uint8_t> data) {
  std::vector<uint8_t> stored(16, 0);
  for (int i = 0; i < 4; ++i) stored.push_back(uint8_t(data.size() >> (8 * i)));
  stored.insert(stored.end(), data.begin(), data.end());
  stored.insert(stored.end(), 3, 0);  // Access leaves three bytes after the data
  return stored;
}

Value Calculated(int type, std::vector<uint8_t> data) {
  ColumnFormat column = Column(type);
  column.calculated = true;
  return DecodeCalculatedValue(column, Wrapped(std::move(data)));
}

TEST(AccessValueTest, UnwrapsCalculatedValues) {
  EXPECT_EQ(Calculated(jet_type::kLong, {12, 0, 0, 0}), Value(int32_t{12}));
  EXPECT_EQ(Calculated(jet_type::kLong, {}), Value(Null{}));
  // A Yes/No result is a byte of its own.
  EXPECT_EQ(Calculated(jet_type::kBoolean, {0xFF}), Value(true));
  EXPECT_EQ(Calculated(jet_type::kBoolean, {0x00}), Value(false));
  EXPECT_EQ(Calculated(jet_type::kBoolean, {}), Value(false));
  // A Decimal result of scale 28, a 12-byte magnitude (2^64 + 3: high word, then low 64 bits).
  std::vector<uint8_t> decimal = {14, 0, 28, 0x80, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(Calculated(jet_type::kNumeric, decimal), Value(Decimal{3, 1, 28, true}));
  decimal[2] = 29;  // beyond the scale of any decimal
  EXPECT_THROW(Calculated(jet_type::kNumeric, decimal), RaisedError);
  decimal[0] = 20;  // a magnitude of more than 16 bytes
  EXPECT_THROW(Calculated(jet_type::kNumeric, decimal), RaisedError);
  std::vector<uint8_t> too_short = Wrapped({12, 0, 0, 0});
  too_short[16] = 8;  // data past the stored bytes (four and three after them)
  EXPECT_THROW(DecodeCalculatedValue(Column(jet_type::kLong), too_short), RaisedError);
  EXPECT_THROW(DecodeCalculatedValue(Column(jet_type::kLong), std::vector<uint8_t>(19)),
               RaisedError);
}

TEST(AccessValueTest, ReadsTheThreeStoragesOfALongValueHead) {
  std::vector<uint8_t> inline_head = {3, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 'c'};
  LongValueHead head = ParseLongValueHead(Column(jet_type::kMemo), inline_head);
  EXPECT_EQ(head.storage, LongValueHead::Storage::kInline);
  EXPECT_EQ(head.length, 3u);
  inline_head[0] = 4;  // longer than the bytes that follow
  EXPECT_THROW(ParseLongValueHead(Column(jet_type::kMemo), inline_head), RaisedError);

  std::vector<uint8_t> single = {0x10, 0x27, 0, 0x40, 0x05, 0x17, 0, 0, 0, 0, 0, 0};
  head = ParseLongValueHead(Column(jet_type::kMemo), single);
  EXPECT_EQ(head.storage, LongValueHead::Storage::kSingleRow);
  EXPECT_EQ(head.length, 10000u);
  EXPECT_EQ(head.row_pointer, 0x1705u);
  single[3] = 0x00;
  EXPECT_EQ(ParseLongValueHead(Column(jet_type::kOle), single).storage,
            LongValueHead::Storage::kRowChain);
  EXPECT_THROW(ParseLongValueHead(Column(jet_type::kOle), std::vector<uint8_t>(11)), RaisedError);
}

}  // namespace
}  // namespace toverak
