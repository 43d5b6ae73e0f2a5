#include "platform/posix/access/access_value.h"

#include <bit>

#include "platform/error.h"
#include "platform/posix/access/access_text.h"

namespace toverak {
namespace {

constexpr size_t kLongValueHeadSize = 12;

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
    case jet_type::kGuid:
      return DecodeGuid(column, bytes);
    case jet_type::kNumeric:
      return DecodeDecimal(column, bytes);
    case jet_type::kText:
      return DecodeText(column, bytes);
    case jet_type::kBinary:
      return Bytes(bytes.begin(), bytes.end());
    default:
      throw RaisedError("The Access reader does not read column '" + column.name +
                        "' of stored type " + std::to_string(column.jet_type) + ".");
  }
}

Value DecodeLongValue(const ColumnFormat& column, std::span<const uint8_t> bytes) {
  if (column.jet_type == jet_type::kMemo) return DecodeText(column, bytes);
  return Bytes(bytes.begin(), bytes.end());
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
