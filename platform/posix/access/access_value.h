// The stored bytes of one Access field turned into a typed value, and the provider's type code
// of each kind of column.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/value.h"

namespace toverak {

// Column kinds as a table definition numbers them.
namespace jet_type {
constexpr int kBoolean = 0x01;
constexpr int kByte = 0x02;
constexpr int kInteger = 0x03;
constexpr int kLong = 0x04;
constexpr int kCurrency = 0x05;
constexpr int kSingle = 0x06;
constexpr int kDouble = 0x07;
constexpr int kDateTime = 0x08;
constexpr int kBinary = 0x09;
constexpr int kText = 0x0A;
constexpr int kOle = 0x0B;
constexpr int kMemo = 0x0C;
constexpr int kGuid = 0x0F;
constexpr int kNumeric = 0x10;
constexpr int kComplex = 0x12;  // attachments and multiple values, kept in a hidden table
constexpr int kBigInt = 0x13;
constexpr int kExtendedDate = 0x14;
}  // namespace jet_type

// How a file stores text: Jet 3 in code page 1252, Jet 4 and ACE in UTF-16LE.
enum class TextEncoding { kCodePage1252, kUtf16 };

// What the reader knows of a column when it decodes one of its values.
struct ColumnFormat {
  std::string name;
  int jet_type = 0;   // of a calculated column, the type of its result
  uint8_t scale = 0;  // digits after the point, for a Decimal column that is not calculated
  TextEncoding encoding = TextEncoding::kUtf16;
  bool calculated = false;  // its values are stored in the wrapper of a calculated result
};

// The type code that the Jet OLE DB provider reports for a column kind; 0 for a kind whose
// values this reader does not read.
int32_t AdoTypeOf(int jet_type);

// True for Memo and OLE Object columns, whose values live apart from the row.
bool IsLongValueType(int jet_type);

// The value of a present (not Null) field whose bytes lie in the row; throws when the bytes are
// too short for the kind, or the kind is not one that this reader reads. Yes/No columns carry
// their value in the null mask and are not decoded here.
Value DecodeRowValue(const ColumnFormat& column, std::span<const uint8_t> bytes);

// The value of a Memo (text) or OLE Object (bytes) field from its whole long-value bytes.
Value DecodeLongValue(const ColumnFormat& column, std::span<const uint8_t> bytes);

// The value of a calculated column from its stored wrapper (of a Memo, its whole long value):
// Null when the wrapper holds no data (a Yes/No: false); throws when the wrapper is shorter
// than its head or than the data it announces, or the data does not fit the result's type.
Value DecodeCalculatedValue(const ColumnFormat& column, std::span<const uint8_t> stored);

// Throws, naming the column, when its values are not ones that this reader reads: attachments
// and multiple values.
void RequireReadable(const ColumnFormat& column);

// The 12-byte head that a Memo or OLE field keeps in the row.
struct LongValueHead {
  enum class Storage { kInline, kSingleRow, kRowChain };
  Storage storage = Storage::kInline;
  uint32_t length = 0;       // bytes of the whole value
  uint32_t row_pointer = 0;  // page << 8 | row of its first long-value row
};

// Reads the head of a long-value field; throws when the field is shorter than 12 bytes.
LongValueHead ParseLongValueHead(const ColumnFormat& column, std::span<const uint8_t> field);

}  // namespace toverak
