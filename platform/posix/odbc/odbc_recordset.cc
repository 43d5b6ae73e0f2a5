#include "platform/posix/odbc/odbc_recordset.h"

#include <optional>

#include "platform/ado_errors.h"
#include "platform/error.h"

namespace toverak {
namespace {

// Long texts and bytes arrive in pieces of this size.
constexpr size_t kPieceSize = 8192;

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

template <typename T>
std::optional<T> ReadFixed(const OdbcHandle& statement, SQLUSMALLINT column, SQLSMALLINT c_type) {
  T value{};
  SQLLEN indicator = 0;
  statement.Check(SQLGetData(statement.get(), column, c_type, &value, sizeof value, &indicator),
                  "Reading a value");
  if (indicator == SQL_NULL_DATA) return std::nullopt;
  return value;
}

// Reads a text (SQL_C_CHAR, each piece ended by a NUL) or bytes (SQL_C_BINARY) piece by piece.
template <typename Container>
std::optional<Container> ReadLong(const OdbcHandle& statement, SQLUSMALLINT column,
                                  SQLSMALLINT c_type) {
  const size_t terminator = c_type == SQL_C_CHAR ? 1 : 0;
  Container value;
  std::vector<char> piece(kPieceSize);
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN result =
        SQLGetData(statement.get(), column, c_type, piece.data(), SQLLEN(piece.size()), &indicator);
    if (result == SQL_NO_DATA) return value;
    statement.Check(result, "Reading a value");
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    const bool whole = indicator != SQL_NO_TOTAL && size_t(indicator) + terminator <= piece.size();
    const size_t length = whole ? size_t(indicator) : piece.size() - terminator;
    value.insert(value.end(), piece.begin(), piece.begin() + std::ptrdiff_t(length));
    if (whole) return value;
  }
}

template <typename T>
Value OrNull(const std::optional<T>& value) {
  return value ? Value(*value) : Value(Null{});
}

Date DateOfTimestamp(const SQL_TIMESTAMP_STRUCT& t) {
  return DateFromParts(t.year, t.month, t.day, t.hour, t.minute, t.second, t.fraction);
}

Date DateOfDate(const SQL_DATE_STRUCT& d) {
  return DateFromParts(d.year, d.month, d.day, 0, 0, 0, 0);
}

Date DateOfTime(const SQL_TIME_STRUCT& t) {
  return DateFromParts(1899, 12, 30, t.hour, t.minute, t.second, 0);
}

Guid GuidOf(const SQLGUID& g) {
  Guid guid{uint32_t(g.Data1), g.Data2, g.Data3, {}};
  std::copy(std::begin(g.Data4), std::end(g.Data4), guid.data4.begin());
  return guid;
}

template <typename From, typename Convert>
Value Converted(const std::optional<From>& value, Convert convert) {
  return value ? Value(convert(*value)) : Value(Null{});
}

}  // namespace

Value OdbcField::GetValue() const { return recordset_.ValueAt(position_); }

const Field& OdbcFields::Item(int32_t position) const {
  if (position < 0 || size_t(position) >= fields_.size())
    throw RaisedError(ado_error::kItemNotFound);
  return fields_[size_t(position)];
}

const Field& OdbcFields::Item(const std::string& name) const {
  for (const OdbcField& field : fields_) {
    if (EqualsNoCase(field.Name(), name)) return field;
  }
  throw RaisedError(ado_error::kItemNotFound);
}

OdbcRecordset::OdbcRecordset(std::shared_ptr<OdbcSession> session,
                             std::unique_ptr<OdbcHandle> statement)
    : session_(std::move(session)), statement_(std::move(statement)) {
  DescribeColumns();
  at_end_ = false;
  Fetch();
}

void OdbcRecordset::Open(const std::string&, Connection&, int32_t, int32_t, int32_t) {
  throw RaisedError("The result of a statement cannot be opened again");
}

void OdbcRecordset::MoveNext() {
  if (Eof()) throw RaisedError(ado_error::kNoCurrentRow);
  Fetch();
}

void OdbcRecordset::Close() {
  if (!statement_) throw RaisedError(ado_error::kObjectClosed);
  row_.clear();
  fields_.fields().clear();
  statement_.reset();
  session_.reset();
  at_end_ = true;
}

Value OdbcRecordset::ValueAt(size_t position) const {
  if (Eof()) throw RaisedError(ado_error::kNoCurrentRow);
  return row_.at(position);
}

void OdbcRecordset::DescribeColumns() {
  const SQLHSTMT hstmt = statement_->get();
  SQLSMALLINT count = 0;
  statement_->Check(SQLNumResultCols(hstmt, &count), "Counting the columns");
  for (SQLUSMALLINT column = 1; column <= SQLUSMALLINT(count); ++column) {
    SQLCHAR name[256] = {};
    SQLSMALLINT name_length = 0;
    SQLSMALLINT sql_type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
    statement_->Check(SQLDescribeCol(hstmt, column, name, sizeof name, &name_length, &sql_type,
                                     &size, &digits, &nullable),
                      "Describing a column");
    SQLLEN is_unsigned = SQL_FALSE;
    statement_->Check(
        SQLColAttribute(hstmt, column, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &is_unsigned),
        "Describing a column");
    SQLCHAR type_name[128] = {};
    statement_->Check(SQLColAttribute(hstmt, column, SQL_DESC_TYPE_NAME, type_name,
                                      sizeof type_name, nullptr, nullptr),
                      "Describing a column");
    fields_.fields().emplace_back(
        *this, column - 1, reinterpret_cast<const char*>(name),
        KindOfColumn(sql_type, is_unsigned == SQL_TRUE, reinterpret_cast<const char*>(type_name)));
  }
}

void OdbcRecordset::Fetch() {
  row_.clear();
  const SQLRETURN result = SQLFetch(statement_->get());
  if (result == SQL_NO_DATA) {
    at_end_ = true;
    return;
  }
  statement_->Check(result, "Reading a row");
  for (const OdbcField& field : fields_.fields()) {
    row_.push_back(ReadValue(SQLUSMALLINT(row_.size() + 1), field.value_kind()));
  }
}

Value OdbcRecordset::ReadValue(SQLUSMALLINT column, ValueKind kind) const {
  const OdbcHandle& s = *statement_;
  switch (kind) {
    case ValueKind::kText:
      return OrNull(ReadLong<std::string>(s, column, SQL_C_CHAR));
    case ValueKind::kBytes:
      return OrNull(ReadLong<Bytes>(s, column, SQL_C_BINARY));
    case ValueKind::kBoolean:
      return Converted(ReadFixed<unsigned char>(s, column, SQL_C_BIT),
                       [](unsigned char bit) { return bit != 0; });
    case ValueKind::kUnsignedByte:
      return OrNull(ReadFixed<uint8_t>(s, column, SQL_C_UTINYINT));
    case ValueKind::kInt16:
      return OrNull(ReadFixed<int16_t>(s, column, SQL_C_SSHORT));
    case ValueKind::kInt32:
      return Converted(ReadFixed<SQLINTEGER>(s, column, SQL_C_SLONG),
                       [](SQLINTEGER n) { return int32_t(n); });
    case ValueKind::kInt64:
      return Converted(ReadFixed<SQLBIGINT>(s, column, SQL_C_SBIGINT),
                       [](SQLBIGINT n) { return int64_t(n); });
    case ValueKind::kSingle:
      return OrNull(ReadFixed<float>(s, column, SQL_C_FLOAT));
    case ValueKind::kDouble:
      return OrNull(ReadFixed<double>(s, column, SQL_C_DOUBLE));
    case ValueKind::kDecimal:
      return Converted(ReadLong<std::string>(s, column, SQL_C_CHAR),
                       [](const std::string& text) { return DecimalFromText(text); });
    case ValueKind::kCurrency:
      return Converted(ReadLong<std::string>(s, column, SQL_C_CHAR),
                       [](const std::string& text) { return CurrencyFromText(text); });
    case ValueKind::kTimestamp:
      return Converted(ReadFixed<SQL_TIMESTAMP_STRUCT>(s, column, SQL_C_TYPE_TIMESTAMP),
                       DateOfTimestamp);
    case ValueKind::kDate:
      return Converted(ReadFixed<SQL_DATE_STRUCT>(s, column, SQL_C_TYPE_DATE), DateOfDate);
    case ValueKind::kTime:
      return Converted(ReadFixed<SQL_TIME_STRUCT>(s, column, SQL_C_TYPE_TIME), DateOfTime);
    case ValueKind::kGuid:
      return Converted(ReadFixed<SQLGUID>(s, column, SQL_C_GUID), GuidOf);
  }
  return Null{};
}

}  // namespace toverak
