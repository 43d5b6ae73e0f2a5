#include "testing/jet_writer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <set>

#include "platform/error.h"
#include "testing/jet_description.h"
#include "testing/jet_pages.h"
#include "testing/jet_text.h"

namespace toverak {
namespace {

using jet::AppendU16;
using jet::AppendU32;
using jet::PageFile;
using jet::PutU16;
using jet::PutU32;
using jet::RowPages;

constexpr uint32_t kTableNumberMark = 1625;  // Jet repeats it in every column entry
constexpr uint32_t kColumnEntrySize = 25;
constexpr uint32_t kColumnsOffset = 63;
constexpr uint32_t kContinuationHeader = 8;
constexpr size_t kMaxColumns = 255;
constexpr size_t kMaxNameLength = 64;
constexpr uint32_t kMemoFieldSize = 12;
constexpr size_t kInlineMemoMax = 64;
constexpr size_t kLongValueRowMax = jet::kMaxRowSize - 4;
constexpr uint32_t kMaxMemoBytes = 0xFFFFFF;
constexpr int kMaxDecimalPrecision = 28;
constexpr int kMaxCalculatedTextSize = 243;

// The codes that Jet keeps in a column entry.
namespace code {
constexpr uint8_t kYesNo = 0x01, kByte = 0x02, kInteger = 0x03, kLong = 0x04, kCurrency = 0x05,
                  kSingle = 0x06, kDouble = 0x07, kDateTime = 0x08, kBinary = 0x09, kText = 0x0A,
                  kOle = 0x0B, kMemo = 0x0C, kGuid = 0x0F, kDecimal = 0x10, kAttachment = 0x12,
                  kDateTimeExtended = 0x14;
}

// The version byte of the file header: Jet 4, and the ACE files of Access 2007, 2010 and 2019.
namespace version {
constexpr uint8_t kJet4 = 0x01, kAce2007 = 0x02, kAce2010 = 0x03, kAce2019 = 0x06;
}

// A calculated value is kept in a wrapper: 16 bytes, the length of the value (4 bytes, little
// endian), the value, and 3 bytes. Access gives a calculated column of a fixed-size result 39 as
// its length; a calculated text the bytes of its characters and the wrapper's 23.
constexpr size_t kWrapperValueOffset = 20;
constexpr size_t kWrapperTrailer = 3;
constexpr uint16_t kCalculatedFixedLength = 39;

// Column entry bytes 11 and 12 of a Date/Time Extended column, as Access writes them.
constexpr uint8_t kExtendedDateEntryBytes[2] = {0x09, 0x07};

// A column as the table definition and the rows lay it out.
struct StoredColumn {
  std::string name;
  uint8_t code = 0;        // the kind of the values; a calculated column's: of its result
  uint8_t entry_code = 0;  // the type that the column entry names
  uint16_t length = 0;     // the length field of the entry: bytes of a fixed value, text bytes
  bool fixed = false;
  bool calculated = false;
  uint16_t fixed_offset = 0;
  uint16_t variable_index = 0;
  int max_characters = 0;
  int precision = 0;
  int scale = 0;
  // Of an attachment column: the number by which Access's table of such columns (which this
  // writer does not write) knows it; counted within the table.
  uint32_t attachment_id = 0;
  std::string expression;
};

struct TableLayout {
  std::vector<StoredColumn> columns;
  uint16_t fixed_size = 0;
  uint16_t variable_count = 0;
};

uint16_t FixedLength(uint8_t type_code) {
  switch (type_code) {
    case code::kYesNo:
      return 1;  // kept in the null mask: takes no bytes in the row
    case code::kByte:
      return 1;
    case code::kInteger:
      return 2;
    case code::kLong:
    case code::kSingle:
      return 4;
    case code::kCurrency:
    case code::kDouble:
    case code::kDateTime:
      return 8;
    case code::kGuid:
      return 16;
    case code::kDecimal:
      return 17;
    case code::kDateTimeExtended:
      return 42;
    case code::kAttachment:
      return 4;
    default:
      return 0;
  }
}

uint8_t TypeCode(JetType type) {
  switch (type) {
    case JetType::kYesNo:
      return code::kYesNo;
    case JetType::kByte:
      return code::kByte;
    case JetType::kInteger:
      return code::kInteger;
    case JetType::kLong:
      return code::kLong;
    case JetType::kCurrency:
      return code::kCurrency;
    case JetType::kSingle:
      return code::kSingle;
    case JetType::kDouble:
      return code::kDouble;
    case JetType::kDateTime:
      return code::kDateTime;
    case JetType::kText:
      return code::kText;
    case JetType::kMemo:
      return code::kMemo;
    case JetType::kGuid:
      return code::kGuid;
    case JetType::kDecimal:
      return code::kDecimal;
    case JetType::kDateTimeExtended:
      return code::kDateTimeExtended;
    case JetType::kAttachment:
      return code::kAttachment;
  }
  return 0;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

void CheckName(const std::string& name, const std::string& what) {
  const size_t length = Utf8ToUtf16(name).size();
  if (length == 0 || length > kMaxNameLength) {
    throw RaisedError(what + " name \"" + name + "\" must have 1 to 64 characters");
  }
}

struct ColumnSpec {
  std::string name;
  uint8_t code;
  int max_characters;
  int precision = 0;
  int scale = 0;
  std::string expression{};
};

// The type that Access names in the entry of a calculated column: that of its result, but a
// Yes/No one as an Integer and a Memo one as a Text (its ResultType property tells them).
uint8_t CalculatedEntryCode(uint8_t result_code) {
  if (result_code == code::kYesNo) return code::kInteger;
  if (result_code == code::kMemo) return code::kText;
  return result_code;
}

uint16_t CalculatedLength(const ColumnSpec& wanted) {
  if (wanted.code == code::kText) return static_cast<uint16_t>(2 * wanted.max_characters + 23);
  if (wanted.code == code::kMemo) return 0;
  return kCalculatedFixedLength;
}

TableLayout LayOut(const std::vector<ColumnSpec>& wanted_columns) {
  TableLayout layout;
  uint32_t attachments = 0;
  for (const ColumnSpec& wanted : wanted_columns) {
    StoredColumn column;
    column.name = wanted.name;
    column.code = wanted.code;
    column.entry_code = wanted.code;
    column.max_characters = wanted.max_characters;
    column.precision = wanted.precision;
    column.scale = wanted.scale;
    column.expression = wanted.expression;
    column.calculated = !wanted.expression.empty();
    column.fixed = FixedLength(wanted.code) > 0 && !column.calculated;
    if (wanted.code == code::kAttachment) column.attachment_id = ++attachments;
    if (column.calculated) {
      column.entry_code = CalculatedEntryCode(wanted.code);
      column.length = CalculatedLength(wanted);
      column.variable_index = layout.variable_count++;
    } else if (column.fixed) {
      column.length = FixedLength(wanted.code);
      column.fixed_offset = layout.fixed_size;
      if (wanted.code != code::kYesNo) layout.fixed_size += column.length;
    } else {
      column.variable_index = layout.variable_count++;
      if (wanted.code == code::kText)
        column.length = static_cast<uint16_t>(2 * wanted.max_characters);
      if (wanted.code == code::kBinary) column.length = 255;
    }
    layout.columns.push_back(column);
  }
  return layout;
}

// Throws when `column` has a shape that Access does not give a column.
void CheckShape(const JetColumn& column) {
  const bool calculated = !column.expression.empty();
  const int most_characters = calculated ? kMaxCalculatedTextSize : 255;
  if (column.type == JetType::kText && (column.size < 1 || column.size > most_characters)) {
    throw RaisedError("text column " + column.name + " must have a size of 1 to " +
                      std::to_string(most_characters));
  }
  if (column.type == JetType::kDecimal && !calculated &&
      (column.precision < 1 || column.precision > kMaxDecimalPrecision || column.scale < 0 ||
       column.scale > column.precision)) {
    throw RaisedError("decimal column " + column.name +
                      " must have a precision of 1 to 28 and a scale of 0 to its precision");
  }
  if (calculated && (column.type == JetType::kByte || column.type == JetType::kDateTimeExtended ||
                     column.type == JetType::kAttachment)) {
    throw RaisedError("column " + column.name + " cannot be calculated: Access has no such result");
  }
}

TableLayout LayOutUserTable(const JetTable& table) {
  CheckName(table.name, "table");
  if (table.columns.empty() || table.columns.size() > kMaxColumns) {
    throw RaisedError("table " + table.name + " must have 1 to 255 columns");
  }
  std::vector<ColumnSpec> specs;
  std::set<std::string> seen;
  for (const JetColumn& column : table.columns) {
    CheckName(column.name, "column");
    if (!seen.insert(Lower(column.name)).second) {
      throw RaisedError("table " + table.name + " has two columns named " + column.name);
    }
    CheckShape(column);
    specs.push_back({column.name, TypeCode(column.type), column.size, column.precision,
                     column.scale, column.expression});
  }
  return LayOut(specs);
}

// Integer alternatives of Value, as one number; throws for any other alternative.
int64_t IntegerOf(const Value& value) {
  if (auto* v = std::get_if<uint8_t>(&value)) return *v;
  if (auto* v = std::get_if<int16_t>(&value)) return *v;
  if (auto* v = std::get_if<int32_t>(&value)) return *v;
  if (auto* v = std::get_if<int64_t>(&value)) return *v;
  throw RaisedError("the value is not an integer");
}

int64_t IntegerIn(const Value& value, int64_t low, int64_t high) {
  const int64_t number = IntegerOf(value);
  if (number < low || number > high) {
    throw RaisedError(std::to_string(number) + " is out of the column's range");
  }
  return number;
}

double NumberOf(const Value& value) {
  if (auto* v = std::get_if<float>(&value)) return *v;
  if (auto* v = std::get_if<double>(&value)) return *v;
  return static_cast<double>(IntegerOf(value));
}

template <typename T>
const T& Expect(const Value& value, const char* what) {
  if (auto* v = std::get_if<T>(&value)) return *v;
  throw RaisedError(std::string("the value is not ") + what);
}

template <typename T>
std::vector<uint8_t> RawBytes(const T& number) {
  std::vector<uint8_t> bytes(sizeof number);
  std::memcpy(bytes.data(), &number, sizeof number);
  return bytes;
}

Decimal DecimalIn(const StoredColumn& column, const Value& value) {
  if (const auto* decimal = std::get_if<Decimal>(&value)) {
    return column.calculated ? *decimal
                             : JetDecimalAtScale(*decimal, column.scale, column.precision);
  }
  const int64_t number = IntegerOf(value);
  const Decimal whole{
      number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number), 0, 0,
      number < 0};
  return column.calculated ? whole : JetDecimalAtScale(whole, column.scale, column.precision);
}

// A sign byte, then the magnitude as four little-endian 32-bit words, the most significant first.
std::vector<uint8_t> DecimalBytes(const Decimal& decimal) {
  std::vector<uint8_t> bytes(17, 0);
  bytes[0] = decimal.negative ? 0x80 : 0x00;
  PutU32(&bytes[5], decimal.high);
  PutU32(&bytes[9], static_cast<uint32_t>(decimal.low >> 32));
  PutU32(&bytes[13], static_cast<uint32_t>(decimal.low));
  return bytes;
}

// The ASCII text of the days since 1 January of the year 1 (19 digits), a colon, the seconds
// since midnight (12 digits) and their 100-nanosecond units (7 digits), ":7" and a NUL.
std::vector<uint8_t> ExtendedDateBytes(const Value& value) {
  const JetExtendedDate date =
      ParseJetExtendedDate(Expect<std::string>(value, "a Date/Time Extended text"));
  char text[64];
  const int length =
      std::snprintf(text, sizeof text, "%019lld:%012lld%07lld:7", static_cast<long long>(date.days),
                    static_cast<long long>(date.ticks / 10'000'000),
                    static_cast<long long>(date.ticks % 10'000'000));
  return std::vector<uint8_t>(text, text + length + 1);
}

// The stored bytes of a value of a fixed-size kind.
std::vector<uint8_t> FixedBytes(const StoredColumn& column, const Value& value) {
  std::vector<uint8_t> bytes(FixedLength(column.code), 0);
  switch (column.code) {
    case code::kByte:
      bytes[0] = static_cast<uint8_t>(IntegerIn(value, 0, 255));
      return bytes;
    case code::kInteger:
      PutU16(bytes.data(), static_cast<uint32_t>(IntegerIn(value, -32768, 32767)));
      return bytes;
    case code::kLong:
    case code::kAttachment:
      PutU32(bytes.data(), static_cast<uint32_t>(IntegerIn(value, INT32_MIN, INT32_MAX)));
      return bytes;
    case code::kCurrency:
      return RawBytes(Expect<Currency>(value, "a currency amount").scaled);
    case code::kSingle:
      return RawBytes(static_cast<float>(NumberOf(value)));
    case code::kDouble:
      return RawBytes(NumberOf(value));
    case code::kDateTime:
      return RawBytes(Expect<Date>(value, "a date").days);
    case code::kGuid: {
      const Guid& guid = Expect<Guid>(value, "a GUID");
      PutU32(&bytes[0], guid.data1);
      PutU16(&bytes[4], guid.data2);
      PutU16(&bytes[6], guid.data3);
      std::memcpy(&bytes[8], guid.data4.data(), guid.data4.size());
      return bytes;
    }
    case code::kDecimal:
      return DecimalBytes(DecimalIn(column, value));
    case code::kDateTimeExtended:
      return ExtendedDateBytes(value);
    default:
      throw RaisedError("the column takes no value but Null");
  }
}

std::vector<uint8_t> TextBytes(const StoredColumn& column, const Value& value) {
  const std::u16string units = Utf8ToUtf16(Expect<std::string>(value, "a text"));
  if (column.code == code::kText && units.size() > static_cast<size_t>(column.max_characters)) {
    throw RaisedError("the text has " + std::to_string(units.size()) +
                      " characters, more than the column's " +
                      std::to_string(column.max_characters));
  }
  return EncodeJetText(units);
}

// The 12-byte memo field, followed by the value itself when it is short enough to stay inline;
// longer values go to long-value pages, as one row or as a chain of rows.
std::vector<uint8_t> MemoData(const std::vector<uint8_t>& text, RowPages& long_values) {
  if (text.size() > kMaxMemoBytes) throw RaisedError("the memo is too long");
  std::vector<uint8_t> field(kMemoFieldSize, 0);
  PutU32(&field[0], static_cast<uint32_t>(text.size()));
  if (text.size() <= kInlineMemoMax) {
    field[3] = 0x80;
    field.insert(field.end(), text.begin(), text.end());
  } else if (text.size() <= kLongValueRowMax) {
    field[3] = 0x40;
    PutU32(&field[4], long_values.Add(text));
  } else {
    // Written from the last piece back, so that each piece knows where its successor lies.
    uint32_t next = 0;
    const size_t pieces = (text.size() + kLongValueRowMax - 1) / kLongValueRowMax;
    for (size_t piece = pieces; piece-- > 0;) {
      std::vector<uint8_t> row;
      AppendU32(row, next);
      const size_t begin = piece * kLongValueRowMax;
      const size_t end = std::min(text.size(), begin + kLongValueRowMax);
      row.insert(row.end(), text.begin() + begin, text.begin() + end);
      next = long_values.Add(row);
    }
    PutU32(&field[4], next);
  }
  return field;
}

std::vector<uint8_t> VariableData(const StoredColumn& column, const Value& value,
                                  RowPages& long_values) {
  switch (column.code) {
    case code::kText:
      return TextBytes(column, value);
    case code::kMemo:
      return MemoData(TextBytes(column, value), long_values);
    case code::kOle:
      return MemoData(Expect<Bytes>(value, "bytes"), long_values);
    default:
      throw RaisedError("the column takes no value but Null");
  }
}

// A calculated decimal: its length (14, 2 bytes), its scale, a sign byte, then the magnitude as
// a little-endian 32-bit word of its top bits and a little-endian 64-bit word of the rest.
std::vector<uint8_t> CalculatedDecimalBytes(const Decimal& decimal) {
  if (decimal.scale > kMaxDecimalPrecision) throw RaisedError("the decimal has too many decimals");
  std::vector<uint8_t> bytes(16, 0);
  PutU16(&bytes[0], 14);
  bytes[2] = decimal.scale;
  bytes[3] = decimal.negative ? 0x80 : 0x00;
  PutU32(&bytes[4], decimal.high);
  PutU32(&bytes[8], static_cast<uint32_t>(decimal.low));
  PutU32(&bytes[12], static_cast<uint32_t>(decimal.low >> 32));
  return bytes;
}

// A calculated result's own bytes: a Yes/No one as one byte, a text as a text column keeps it, a
// memo in plain UTF-16LE, the others as their fixed-size kind; none for Null. Throws for an
// empty text, which could not be told from Null.
std::vector<uint8_t> CalculatedBytes(const StoredColumn& column, const Value& value) {
  if (column.code == code::kYesNo) {
    return {static_cast<uint8_t>(Expect<bool>(value, "Yes or No") ? 0xFF : 0x00)};
  }
  if (IsNull(value)) return {};
  const bool textual = column.code == code::kText || column.code == code::kMemo;
  if (textual && Expect<std::string>(value, "a text").empty()) {
    throw RaisedError("an empty calculated text would be stored as no bytes, which is Null");
  }
  if (column.code == code::kText) return TextBytes(column, value);
  if (column.code == code::kDecimal) return CalculatedDecimalBytes(DecimalIn(column, value));
  if (column.code == code::kMemo) {
    std::vector<uint8_t> bytes;
    for (char16_t unit : Utf8ToUtf16(Expect<std::string>(value, "a text"))) {
      AppendU16(bytes, unit);
    }
    return bytes;
  }
  return FixedBytes(column, value);
}

// The wrapped value of a calculated field; a memo's wrapper is its long value.
std::vector<uint8_t> CalculatedData(const StoredColumn& column, const Value& value,
                                    RowPages& long_values) {
  const std::vector<uint8_t> result = CalculatedBytes(column, value);
  std::vector<uint8_t> wrapper(kWrapperValueOffset, 0);
  PutU32(&wrapper[kWrapperValueOffset - 4], static_cast<uint32_t>(result.size()));
  wrapper.insert(wrapper.end(), result.begin(), result.end());
  wrapper.insert(wrapper.end(), kWrapperTrailer, 0);
  return column.code == code::kMemo ? MemoData(wrapper, long_values) : wrapper;
}

// A row: the column count, the fixed area, the variable data, the end offset, the variable
// offsets from last to first, their count, and the null mask (a set bit is a value; for a
// Yes/No column the bit is the value).
std::vector<uint8_t> EncodeRow(const TableLayout& layout, const JetRow& values,
                               RowPages& long_values) {
  const size_t count = layout.columns.size();
  if (values.size() != count) {
    throw RaisedError("the row has " + std::to_string(values.size()) + " values for " +
                      std::to_string(count) + " columns");
  }
  std::vector<uint8_t> row(2 + layout.fixed_size, 0);
  PutU16(&row[0], static_cast<uint32_t>(count));
  std::vector<uint8_t> null_mask((count + 7) / 8, 0);
  std::vector<uint16_t> offsets;
  for (size_t i = 0; i < count; ++i) {
    const StoredColumn& column = layout.columns[i];
    const Value& value = values[i];
    try {
      if (!column.fixed) offsets.push_back(static_cast<uint16_t>(row.size()));
      bool present = !IsNull(value);
      if (column.calculated) {
        // Access keeps a Null result as a wrapper of no bytes.
        const std::vector<uint8_t> data = CalculatedData(column, value, long_values);
        row.insert(row.end(), data.begin(), data.end());
        present = true;
      } else if (column.code == code::kYesNo) {
        present = Expect<bool>(value, "Yes or No (a Yes/No value is never Null)");
      } else if (present && column.fixed) {
        const std::vector<uint8_t> data = FixedBytes(column, value);
        std::copy(data.begin(), data.end(), row.begin() + 2 + column.fixed_offset);
      } else if (present) {
        const std::vector<uint8_t> data = VariableData(column, value, long_values);
        row.insert(row.end(), data.begin(), data.end());
      }
      if (present) null_mask[i / 8] |= static_cast<uint8_t>(1 << (i % 8));
    } catch (const RaisedError& error) {
      throw RaisedError("column " + column.name + ": " + error.Description());
    }
  }
  if (row.size() > 0xFFFF) throw RaisedError("the row is too long for a page");
  AppendU16(row, static_cast<uint32_t>(row.size()));
  for (auto offset = offsets.rbegin(); offset != offsets.rend(); ++offset) AppendU16(row, *offset);
  AppendU16(row, layout.variable_count);
  row.insert(row.end(), null_mask.begin(), null_mask.end());
  if (row.size() > jet::kMaxRowSize) throw RaisedError("the row is too long for a page");
  return row;
}

// One table on its way into the file.
struct TableInFile {
  std::string name;
  bool system = false;
  TableLayout layout;
  std::vector<uint32_t> definition_pages;
  RowPages* data = nullptr;
  uint32_t row_count = 0;
  uint32_t used_map = 0;  // row pointers of the usage maps
  uint32_t free_map = 0;
};

void AppendName(std::vector<uint8_t>& bytes, const std::string& name) {
  const std::u16string units = Utf8ToUtf16(name);
  AppendU16(bytes, static_cast<uint32_t>(units.size() * 2));
  for (char16_t unit : units) AppendU16(bytes, unit);
}

// Bytes 11 to 14 of a column entry: a decimal's precision and scale (none for a calculated one,
// whose values carry their scale), Access's bytes for Date/Time Extended, the attachment key of
// an attachment column, and for the others the General sort order.
void PutEntryDetails(uint8_t* at, const StoredColumn& column) {
  if (column.code == code::kDecimal) {
    if (!column.calculated) {
      at[0] = static_cast<uint8_t>(column.precision);
      at[1] = static_cast<uint8_t>(column.scale);
    }
  } else if (column.code == code::kDateTimeExtended) {
    std::copy(std::begin(kExtendedDateEntryBytes), std::end(kExtendedDateEntryBytes), at);
  } else if (column.code == code::kAttachment) {
    PutU32(at, column.attachment_id);
  } else {
    PutU16(at, 0x0409);
  }
}

void AppendColumnEntry(std::vector<uint8_t>& bytes, const StoredColumn& column, uint16_t number) {
  std::vector<uint8_t> entry(kColumnEntrySize, 0);
  entry[0] = column.entry_code;
  PutU32(&entry[1], kTableNumberMark);
  PutU16(&entry[5], number);
  PutU16(&entry[7], column.variable_index);
  PutU16(&entry[9], number);
  PutEntryDetails(&entry[11], column);
  // Fixed size; may be Null; an attachment column's keys are numbered as an AutoNumber's.
  entry[15] = static_cast<uint8_t>((column.fixed ? 0x01 : 0x00) | 0x02 |
                                   (column.code == code::kAttachment ? 0x04 : 0x00));
  if (column.calculated) {
    entry[16] = 0xC0;
  } else if (column.code == code::kText || column.code == code::kMemo) {
    entry[16] = 0x01;  // compressible
  }
  PutU16(&entry[21], column.fixed_offset);
  PutU16(&entry[23], column.length);
  bytes.insert(bytes.end(), entry.begin(), entry.end());
}

void AppendPropertyName(std::vector<uint8_t>& bytes, const std::string& name) {
  const std::u16string units = Utf8ToUtf16(name);
  AppendU16(bytes, static_cast<uint32_t>(2 * units.size()));
  for (char16_t unit : units) AppendU16(bytes, unit);
}

// A block of the property blob: its length (4 bytes, itself included), its kind, its content.
void AppendPropertyBlock(std::vector<uint8_t>& blob, uint16_t kind,
                         const std::vector<uint8_t>& content) {
  AppendU32(blob, static_cast<uint32_t>(6 + content.size()));
  AppendU16(blob, kind);
  blob.insert(blob.end(), content.begin(), content.end());
}

// One property: its length (2 bytes, itself included), 1 (kept with the definition), its DAO
// type, the number of its name in the list of names, the length of its value, its value.
void AppendProperty(std::vector<uint8_t>& block, uint8_t type, uint16_t name,
                    const std::vector<uint8_t>& value) {
  AppendU16(block, static_cast<uint32_t>(8 + value.size()));
  block.push_back(0x01);
  block.push_back(type);
  AppendU16(block, name);
  AppendU16(block, static_cast<uint32_t>(value.size()));
  block.insert(block.end(), value.begin(), value.end());
}

// The table's property blob, kept in its catalog row, as Access writes it: "MR2", the names of
// the properties, then a block for each calculated column with its Expression (a Memo) and its
// ResultType (a Byte: the code of its result's type). Empty for a table without calculated
// columns.
std::vector<uint8_t> PropertyBlob(const TableLayout& layout) {
  constexpr uint16_t kNames = 0x80, kColumnProperties = 0x01;
  constexpr uint8_t kDaoByte = 2, kDaoMemo = 12;
  constexpr uint16_t kExpression = 0, kResultType = 1;
  std::vector<uint8_t> blob = {'M', 'R', '2', 0};
  std::vector<uint8_t> names;
  AppendPropertyName(names, "Expression");
  AppendPropertyName(names, "ResultType");
  AppendPropertyBlock(blob, kNames, names);
  bool any = false;
  for (const StoredColumn& column : layout.columns) {
    if (!column.calculated) continue;
    any = true;
    std::vector<uint8_t> name;
    AppendPropertyName(name, column.name);
    std::vector<uint8_t> block;
    AppendU32(block, static_cast<uint32_t>(4 + name.size()));
    block.insert(block.end(), name.begin(), name.end());
    std::vector<uint8_t> expression;
    for (char16_t unit : Utf8ToUtf16(column.expression)) AppendU16(expression, unit);
    AppendProperty(block, kDaoMemo, kExpression, expression);
    AppendProperty(block, kDaoByte, kResultType, {column.code});
    AppendPropertyBlock(blob, kColumnProperties, block);
  }
  return any ? blob : std::vector<uint8_t>{};
}

// The definition's bytes as one stream: page header, table block, column entries, names and
// the end of the (empty) list of long-value maps. The page header's fields are set per page.
std::vector<uint8_t> DefinitionBytes(const TableInFile& table) {
  std::vector<uint8_t> bytes(kColumnsOffset, 0);
  const auto column_count = static_cast<uint32_t>(table.layout.columns.size());
  PutU32(&bytes[12], kTableNumberMark);
  PutU32(&bytes[16], table.row_count);
  bytes[40] = table.system ? 0x53 : 0x4E;
  PutU16(&bytes[41], column_count);
  PutU16(&bytes[43], table.layout.variable_count);
  PutU16(&bytes[45], column_count);
  PutU32(&bytes[55], table.used_map);
  PutU32(&bytes[59], table.free_map);
  for (uint16_t i = 0; i < column_count; ++i) {
    AppendColumnEntry(bytes, table.layout.columns[i], i);
  }
  for (const StoredColumn& column : table.layout.columns) AppendName(bytes, column.name);
  AppendU16(bytes, 0xFFFF);
  PutU32(&bytes[8], static_cast<uint32_t>(bytes.size()));
  return bytes;
}

uint32_t DefinitionPageCount(const TableInFile& table) {
  const size_t size = DefinitionBytes(table).size();
  if (size <= jet::kPageSize) return 1;
  const size_t per_page = jet::kPageSize - kContinuationHeader;
  return static_cast<uint32_t>(1 + (size - jet::kPageSize + per_page - 1) / per_page);
}

// Spreads the definition over its pages: the first takes the stream's first page, each further
// page its 8-byte header and the next part of the stream.
void WriteDefinition(const TableInFile& table, PageFile& file) {
  const std::vector<uint8_t> bytes = DefinitionBytes(table);
  size_t position = 0;
  for (size_t i = 0; i < table.definition_pages.size(); ++i) {
    jet::Page& page = file[table.definition_pages[i]];
    const size_t start = i == 0 ? 0 : kContinuationHeader;
    const size_t take = std::min(bytes.size() - position, jet::kPageSize - start);
    std::memcpy(&page[start], &bytes[position], take);
    position += take;
    page[0] = 0x02;
    page[1] = 0x01;
    const size_t used = start + take;
    PutU16(&page[2],
           used + 8 <= jet::kPageSize ? static_cast<uint32_t>(jet::kPageSize - used - 8) : 0);
    const bool last = i + 1 == table.definition_pages.size();
    PutU32(&page[4], last ? 0 : table.definition_pages[i + 1]);
  }
}

// The system catalog: one row for the container of tables, one for itself and one a table.
const std::vector<ColumnSpec>& CatalogColumns() {
  static const std::vector<ColumnSpec> columns = {{"Id", code::kLong, 0},
                                                  {"ParentId", code::kLong, 0},
                                                  {"Name", code::kText, 255},
                                                  {"Type", code::kInteger, 0},
                                                  {"DateCreate", code::kDateTime, 0},
                                                  {"DateUpdate", code::kDateTime, 0},
                                                  {"Owner", code::kBinary, 0},
                                                  {"Flags", code::kLong, 0},
                                                  {"Database", code::kMemo, 0},
                                                  {"Connect", code::kMemo, 0},
                                                  {"ForeignName", code::kText, 255},
                                                  {"RmtInfoShort", code::kBinary, 0},
                                                  {"RmtInfoLong", code::kOle, 0},
                                                  {"Lv", code::kOle, 0},
                                                  {"LvProp", code::kOle, 0},
                                                  {"LvModule", code::kOle, 0},
                                                  {"LvExtra", code::kOle, 0}};
  return columns;
}

constexpr int32_t kTablesContainerId = 0x0F000001;
constexpr int32_t kDatabaseContainerId = 0x0F000000;
constexpr int16_t kTypeTable = 1;
constexpr int16_t kTypeContainer = 3;
constexpr int32_t kSystemFlag = INT32_MIN;  // 0x80000000

JetRow CatalogRow(int32_t id, int32_t parent, const std::string& name, int16_t type, int32_t flags,
                  Date created, const std::vector<uint8_t>& properties = {}) {
  JetRow row(CatalogColumns().size(), Null{});
  row[0] = id;
  row[1] = parent;
  row[2] = name;
  row[3] = type;
  row[4] = created;
  row[5] = created;
  row[7] = flags;
  if (!properties.empty()) row[14] = Bytes(properties);  // LvProp
  return row;
}

// The file's version: Jet 4 unless a column needs the ACE of a later Access.
uint8_t FileVersion(const JetDatabase& database) {
  uint8_t file_version = version::kJet4;
  for (const JetTable& table : database.tables) {
    for (const JetColumn& column : table.columns) {
      if (column.type == JetType::kAttachment) {
        file_version = std::max(file_version, version::kAce2007);
      }
      if (!column.expression.empty()) file_version = std::max(file_version, version::kAce2010);
      if (column.type == JetType::kDateTimeExtended) {
        file_version = std::max(file_version, version::kAce2019);
      }
    }
  }
  return file_version;
}

class DatabaseWriter {
 public:
  explicit DatabaseWriter(const JetDatabase& database)
      : database_(database), long_values_(file_, RowPages::LongValues()) {}

  void Write(const std::filesystem::path& path) {
    jet::WriteHeaderPage(file_[file_.Add()], database_.created, FileVersion(database_));
    // Page 1 is where Access keeps its map of all pages; no reader looks at it, so it is left
    // an empty data page.
    jet::Page& page_map = file_[file_.Add()];
    page_map[0] = 0x01;
    page_map[1] = 0x01;
    PutU16(&page_map[2], jet::kPageSize - 14);
    LayOutTables();
    for (size_t i = 1; i < tables_.size(); ++i) WriteRows(tables_[i], database_.tables[i - 1]);
    WriteCatalogRows();
    for (TableInFile& table : tables_) WriteMaps(table);
    for (const TableInFile& table : tables_) WriteDefinition(table, file_);
    file_.Save(path.string());
  }

 private:
  void LayOutTables() {
    AddTable("MSysObjects", true, LayOut(CatalogColumns()));
    std::set<std::string> names = {Lower("MSysObjects")};
    for (const JetTable& table : database_.tables) {
      if (!names.insert(Lower(table.name)).second) {
        throw RaisedError("there are two tables named " + table.name);
      }
      AddTable(table.name, false, LayOutUserTable(table));
    }
    // The catalog's definition must come first, at page 2.
    for (TableInFile& table : tables_) {
      const uint32_t count = DefinitionPageCount(table);
      for (uint32_t i = 0; i < count; ++i) table.definition_pages.push_back(file_.Add());
    }
    for (TableInFile& table : tables_) {
      data_pages_.emplace_back(file_, RowPages::OwnedBy(table.definition_pages.front()));
      table.data = &data_pages_.back();
    }
  }

  void AddTable(const std::string& name, bool system, TableLayout layout) {
    TableInFile table;
    table.name = name;
    table.system = system;
    table.layout = std::move(layout);
    tables_.push_back(std::move(table));
  }

  void AddRow(TableInFile& table, const JetRow& values) {
    try {
      table.data->Add(EncodeRow(table.layout, values, long_values_));
    } catch (const RaisedError& error) {
      throw RaisedError("table " + table.name + ", row " + std::to_string(table.row_count + 1) +
                        ": " + error.Description());
    }
    ++table.row_count;
  }

  void WriteRows(TableInFile& table, const JetTable& source) {
    for (const JetRow& row : source.rows) AddRow(table, row);
    for (int64_t i = 0; i < source.generated_count; ++i) AddRow(table, source.generate(i));
  }

  void WriteCatalogRows() {
    const Date created = database_.created;
    TableInFile& catalog = tables_.front();
    AddRow(catalog, CatalogRow(kTablesContainerId, kDatabaseContainerId, "Tables", kTypeContainer,
                               kSystemFlag, created));
    for (const TableInFile& table : tables_) {
      AddRow(catalog,
             CatalogRow(static_cast<int32_t>(table.definition_pages.front()), kTablesContainerId,
                        table.name, kTypeTable, table.system ? kSystemFlag : 0, created,
                        PropertyBlob(table.layout)));
    }
  }

  // The map of the table's own data pages, and an empty map of pages with free space: the
  // file is written once and never filled further.
  void WriteMaps(TableInFile& table) {
    table.used_map = maps_.Add(jet::UsageMap(table.data->Pages(), file_));
    table.free_map = maps_.Add(jet::UsageMap({}, file_));
  }

  const JetDatabase& database_;
  PageFile file_;
  std::vector<TableInFile> tables_;
  std::deque<RowPages> data_pages_;
  RowPages long_values_;
  RowPages maps_{file_, RowPages::OwnedBy(0)};
};

}  // namespace

void WriteJetDatabase(const JetDatabase& database, const std::filesystem::path& path) {
  DatabaseWriter(database).Write(path);
}

void WriteJetDatabase(const nlohmann::json& description, const std::filesystem::path& path) {
  WriteJetDatabase(ParseJetDescription(description), path);
}

}  // namespace toverak
