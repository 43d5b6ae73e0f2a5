#include "platform/posix/access/access_value.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <vector>

#include "platform/error.h"
#include "platform/posix/access/access_text.h"

namespace toverak {
namespace {

constexpr size_t kLongValueHeadSize = 12;
// A calculated column's stored wrapper: 16 bytes, the data's 4-byte length, then the data.
constexpr size_t kWrapperLengthOffset = 16;
constexpr size_t kWrapperDataOffset = 20;
constexpr uint8_t kMaximumDecimalScale = 28;

uint64_t LittleEndian(std::span<const uint8_t> bytes, size_t offset, size_t size) {
  uint64_t value = 0;
  for (size_t i = 0; i < size; ++i) value |= uint64_t(bytes[offset + i]) << (8 * i);
  return value;
}

[[noreturn]] void ThrowDamaged(const ColumnFormat& column, const std::string& what) {
  throw RaisedError("The Access file is damaged: a value of column '" + column.name + "' " + what +
                    ".");
}

void RequireSize(const ColumnFormat& column, std::span<const uint8_t> bytes, size_t size) {
  if (bytes.size() < size) ThrowDamaged(column, "is shorter than its type");
}

Decimal DecodeDecimal(const ColumnFormat& column, std::span<const uint8_t> bytes) {
  RequireSize(column, bytes, 17);
  // A sign byte, then four little-endian 32-bit words, the most significant first.
  if (LittleEndian(bytes, 1, 4) != 0) ThrowDamaged(column, "is beyond the range of a decimal");
  Decimal decimal;
  decimal.negative = (bytes[0] & 0x80) != 0;
  decimal.high = uint32_t(LittleEndian(bytes, 5, 4));
  decimal.low = (LittleEndian(bytes, 9, 4) << 32) | LittleEndian(bytes, 13, 4);
  decimal.scale = column.scale;
  return decimal;
}

// A calculated Decimal: a 2-byte length (the magnitude's and 2 more; 0 in some files that
// Access made, whose magnitude then fills the rest of the data), a scale byte, a sign byte
// (non-zero: negative), then the magnitude, rounded up to whole 32-bit words, at most four. As
// Access-made files show, it is laid out in little-endian 64-bit words, the most significant
// first, after a leading 32-bit word when the words are odd in number.
Decimal DecodeCalculatedDecimal(const ColumnFormat& column, std::span<const uint8_t> data) {
  RequireSize(column, data, 4);
  const size_t stated = LittleEndian(data, 0, 2);
  if (stated == 1) ThrowDamaged(column, "is shorter than its type");
  const size_t magnitude_size = stated == 0 ? (data.size() - 4) / 4 * 4 : (stated - 2 + 3) / 4 * 4;
  if (magnitude_size > 16) ThrowDamaged(column, "is beyond the range of a decimal");
  RequireSize(column, data, 4 + magnitude_size);
  std::vector<uint32_t> words;  // the most significant first
  size_t at = 4;
  if (magnitude_size % 8 != 0) {
    words.push_back(uint32_t(LittleEndian(data, at, 4)));
    at += 4;
  }
  for (; at < 4 + magnitude_size; at += 8) {
    words.push_back(uint32_t(LittleEndian(data, at + 4, 4)));
    words.push_back(uint32_t(LittleEndian(data, at, 4)));
  }
  if (words.size() == 4 && words[0] != 0) ThrowDamaged(column, "is beyond the range of a decimal");
  words.insert(words.begin(), 3 - std::min<size_t>(words.size(), 3), 0);
  const size_t low = words.size() - 1;
  Decimal decimal;
  decimal.high = words[low - 2];
  decimal.low = (uint64_t(words[low - 1]) << 32) | words[low];
  decimal.scale = data[2];
  decimal.negative = data[3] != 0;
  if (decimal.scale > kMaximumDecimalScale) ThrowDamaged(column, "has a scale beyond 28");
  return decimal;
}

Guid DecodeGuid(const ColumnFormat& column, std::span<const uint8_t> bytes) {
  RequireSize(column, bytes, 16);
  Guid guid;
  guid.data1 = uint32_t(LittleEndian(bytes, 0, 4));
  guid.data2 = uint16_t(LittleEndian(bytes, 4, 2));
  guid.data3 = uint16_t(LittleEndian(bytes, 6, 2));
  for (size_t i = 0; i < guid.data4.size(); ++i) guid.data4[i] = bytes[8 + i];
  return guid;
}

// Access keeps dates from 1 January 100; other writers go beyond its 31 December 9999, up to
// the last year that a date can be told in, 32767. A day number outside (or none, a NaN) is
// damage: no year could be told for it.
constexpr double kFirstDayBefore = -657435.0;  // 31 December 99
constexpr double kLastDayAfter = 11274307.0;   // 1 January 32768

template <typename T>
T FixedInteger(const ColumnFormat& column, std::span<const uint8_t> bytes) {
  RequireSize(column, bytes, sizeof(T));
  return T(LittleEndian(bytes, 0, sizeof(T)));
}

Date DecodeDate(const ColumnFormat& column, std::span<const uint8_t> bytes) {
  const double days = std::bit_cast<double>(FixedInteger<uint64_t>(column, bytes));
  if (!(days > kFirstDayBefore && days < kLastDayAfter)) {
    ThrowDamaged(column, "is not a date of the years 100 to 32767");
  }
  return Date{days};
}

// The `size` ASCII digits at `offset` as a number; nothing when one is not a digit.
std::optional<uint64_t> Digits(std::span<const uint8_t> bytes, size_t offset, size_t size) {
  uint64_t number = 0;
  for (size_t i = offset; i < offset + size; ++i) {
    if (bytes[i] < '0' || bytes[i] > '9') return std::nullopt;
    number = number * 10 + uint64_t(bytes[i] - '0');
  }
  return number;
}

// A Date/Time Extended value: 42 ASCII bytes, 19 digits of days since 1 January of the year 1,
// ":", 12 digits of seconds since midnight and 7 of 100-nanosecond units, ":7" and a NUL.
Date DecodeExtendedDate(const ColumnFormat& column, std::span<const uint8_t> bytes) {
  constexpr size_t kSize = 42;
  constexpr uint64_t kLastDay = 3652058;           // 31 December 9999
  constexpr int64_t kDaysBeforeDayZero = 693593;   // 1 January of the year 1 to 30 December 1899
  constexpr int64_t kTicksPerSecond = 10'000'000;  // 100-nanosecond units
  constexpr int64_t kSecondsPerDay = 86'400;
  const std::optional<uint64_t> day = bytes.size() == kSize ? Digits(bytes, 0, 19) : std::nullopt;
  const std::optional<uint64_t> second = day ? Digits(bytes, 20, 12) : std::nullopt;
  const std::optional<uint64_t> fraction = second ? Digits(bytes, 32, 7) : std::nullopt;
  const bool shaped = fraction && bytes[19] == ':' && bytes[39] == ':' && bytes[40] == '7' &&
                      bytes[41] == 0 && *day <= kLastDay && *second < uint64_t(kSecondsPerDay);
  if (!shaped) ThrowDamaged(column, "is not a date and time of the years 1 to 9999");
  const int64_t ticks_of_day = int64_t(*second) * kTicksPerSecond + int64_t(*fraction);
  const int64_t whole_days = int64_t(*day) - kDaysBeforeDayZero;
  // Before day zero the day counts down and the time still runs forward from its midnight.
  const double time = double(ticks_of_day) / double(kSecondsPerDay * kTicksPerSecond);
  Date date;
  date.days = whole_days < 0 ? double(whole_days) - time : double(whole_days) + time;
  date.ticks = int64_t(*day) * kSecondsPerDay * kTicksPerSecond + ticks_of_day;
  return date;
}

std::string DecodeText(const ColumnFormat& column, std::span<const uint8_t> bytes) {
  return column.encoding == TextEncoding::kUtf16 ? Utf8FromJetText(bytes)
                                                 : Utf8FromCodePage1252(bytes);
}

}  // namespace

int32_t AdoTypeOf(int type) {
  switch (type) {
    case jet_type::kBoolean:
      return ado_type::kBoolean;
    case jet_type::kByte:
      return ado_type::kUnsignedTinyInt;
    case jet_type::kInteger:
      return ado_type::kSmallInt;
    case jet_type::kLong:
      return ado_type::kInteger;
    case jet_type::kCurrency:
      return ado_type::kCurrency;
    case jet_type::kSingle:
      return ado_type::kSingle;
    case jet_type::kDouble:
      return ado_type::kDouble;
    case jet_type::kDateTime:
      return ado_type::kDate;
    case jet_type::kExtendedDate:
      return ado_type::kDBTimeStamp;
    case jet_type::kBinary:
      return ado_type::kVarBinary;
    case jet_type::kText:
      return ado_type::kVarWChar;
    case jet_type::kOle:
      return ado_type::kLongVarBinary;
    case jet_type::kMemo:
      return ado_type::kLongVarWChar;
    case jet_type::kGuid:
      return ado_type::kGuid;
    case jet_type::kNumeric:
      return ado_type::kNumeric;
    case jet_type::kBigInt:
      return ado_type::kBigInt;
    default:
      return 0;
  }
}

bool IsLongValueType(int type) { return type == jet_type::kMemo || type == jet_type::kOle; }

Value DecodeRowValue(const ColumnFormat& column, std::span<const uint8_t> bytes) {
  switch (column.jet_type) {
    case jet_type::kByte:
      return FixedInteger<uint8_t>(column, bytes);
    case jet_type::kInteger:
      return FixedInteger<int16_t>(column, bytes);
    case jet_type::kLong:
      return FixedInteger<int32_t>(column, bytes);
    case jet_type::kBigInt:
      return FixedInteger<int64_t>(column, bytes);
    case jet_type::kCurrency:
      return Currency{FixedInteger<int64_t>(column, bytes)};
    case jet_type::kSingle:
      return std::bit_cast<float>(FixedInteger<uint32_t>(column, bytes));
    case jet_type::kDouble:
      return std::bit_cast<double>(FixedInteger<uint64_t>(column, bytes));
    case jet_type::kDateTime:
      return DecodeDate(column, bytes);
    case jet_type::kExtendedDate:
      return DecodeExtendedDate(column, bytes);
    case jet_type::kGuid:
      return DecodeGuid(column, bytes);
    case jet_type::kNumeric:
      return DecodeDecimal(column, bytes);
    case jet_type::kText:
      return DecodeText(column, bytes);
    case jet_type::kBinary:
      return Bytes(bytes.begin(), bytes.end());
    case jet_type::kComplex:
      RequireReadable(column);
      [[fallthrough]];
    default:
      throw RaisedError("The Access reader does not read column '" + column.name +
                        "' of stored type " + std::to_string(column.jet_type) + ".");
  }
}

Value DecodeLongValue(const ColumnFormat& column, std::span<const uint8_t> bytes) {
  if (column.jet_type == jet_type::kMemo) return DecodeText(column, bytes);
  return Bytes(bytes.begin(), bytes.end());
}

Value DecodeCalculatedValue(const ColumnFormat& column, std::span<const uint8_t> stored) {
  if (stored.size() < kWrapperDataOffset) {
    ThrowDamaged(column, "is shorter than the head of a calculated value");
  }
  const uint64_t length = LittleEndian(stored, kWrapperLengthOffset, 4);
  if (length > stored.size() - kWrapperDataOffset) {
    ThrowDamaged(column, "is shorter than its stated length");
  }
  std::span<const uint8_t> data = stored.subspan(kWrapperDataOffset, size_t(length));
  // A Yes/No result is a byte of its own, not a bit of the null mask.
  if (column.jet_type == jet_type::kBoolean) return !data.empty() && data[0] != 0;
  if (data.empty()) return Null{};
  if (column.jet_type == jet_type::kNumeric) return DecodeCalculatedDecimal(column, data);
  if (IsLongValueType(column.jet_type)) return DecodeLongValue(column, data);
  return DecodeRowValue(column, data);
}

void RequireReadable(const ColumnFormat& column) {
  if (column.jet_type == jet_type::kComplex) {
    throw RaisedError("Column '" + column.name +
                      "' holds attachments or multiple values, which the Access reader does not "
                      "read.");
  }
}

LongValueHead ParseLongValueHead(const ColumnFormat& column, std::span<const uint8_t> field) {
  RequireSize(column, field, kLongValueHeadSize);
  uint32_t word = uint32_t(LittleEndian(field, 0, 4));
  LongValueHead head;
  head.length = word & 0x3FFFFFFF;
  head.row_pointer = uint32_t(LittleEndian(field, 4, 4));
  if (word & 0x80000000) {
    head.storage = LongValueHead::Storage::kInline;
    if (field.size() - kLongValueHeadSize < head.length) {
      ThrowDamaged(column, "is shorter than its stated length");
    }
  } else if (word & 0x40000000) {
    head.storage = LongValueHead::Storage::kSingleRow;
  } else {
    head.storage = LongValueHead::Storage::kRowChain;
  }
  return head;
}

}  // namespace toverak
