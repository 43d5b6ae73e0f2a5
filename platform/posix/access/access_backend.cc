#include "platform/posix/backend.h"

#include <algorithm>
#include <vector>

#include "platform/ado_errors.h"
#include "platform/error.h"
#include "platform/posix/access/access_file.h"
#include "platform/posix/access/access_text.h"
#include "platform/posix/access/ordered_query.h"

namespace toverak {
namespace {

using ado_error::kItemNotFound;
using ado_error::kNoCurrentRow;
using ado_error::kObjectClosed;
using ado_error::kObjectOpen;
// What Jet answers when a query names a column that the table lacks.
const char kUnknownName[] = "No value given for one or more required parameters.";

// Where the rows of a recordset come from, one at a time.
class RowSource {
 public:
  virtual ~RowSource() = default;
  // Reads the next row into `row`; false after the last one.
  virtual bool Next(std::vector<Value>& row) = 0;
};

class StreamedRows : public RowSource {
 public:
  explicit StreamedRows(std::unique_ptr<TableReader> reader) : reader_(std::move(reader)) {}
  bool Next(std::vector<Value>& row) override { return reader_->Next(row); }

 private:
  std::unique_ptr<TableReader> reader_;
};

// The rows of a table in an order found beforehand, each read from the file when it is reached.
class OrderedRows : public RowSource {
 public:
  OrderedRows(std::unique_ptr<TableReader> reader, std::vector<TableReader::RowPosition> order)
      : reader_(std::move(reader)), order_(std::move(order)) {}
  bool Next(std::vector<Value>& row) override {
    if (next_ == order_.size()) return false;
    reader_->ReadAt(order_[next_++], row);
    return true;
  }

 private:
  std::unique_ptr<TableReader> reader_;
  std::vector<TableReader::RowPosition> order_;
  size_t next_ = 0;
};

class AccessRecordset;

class AccessField : public Field {
 public:
  AccessField(const AccessRecordset& recordset, size_t position, const ColumnFormat& column)
      : recordset_(recordset), position_(position), column_(column) {}
  std::string Name() const override { return column_.name; }
  int32_t Type() const override { return AdoTypeOf(column_.jet_type); }
  Value GetValue() const override;

 private:
  const AccessRecordset& recordset_;
  size_t position_;
  ColumnFormat column_;
};

class AccessFields : public Fields {
 public:
  AccessFields(const AccessRecordset& recordset, const std::vector<ColumnFormat>& columns) {
    for (size_t i = 0; i < columns.size(); ++i) {
      fields_.emplace_back(recordset, i, columns[i]);
      folded_names_.push_back(FoldCase(columns[i].name));
    }
  }
  int32_t Count() const override { return int32_t(fields_.size()); }
  const Field& Item(int32_t position) const override {
    if (position < 0 || size_t(position) >= fields_.size()) throw RaisedError(kItemNotFound);
    return fields_[size_t(position)];
  }
  const Field& Item(const std::string& name) const override {
    auto found = std::find(folded_names_.begin(), folded_names_.end(), FoldCase(name));
    if (found == folded_names_.end()) throw RaisedError(kItemNotFound);
    return fields_[size_t(found - folded_names_.begin())];
  }

 private:
  std::vector<AccessField> fields_;
  std::vector<std::string> folded_names_;
};

// An open, forward-only view of rows that stands on one row at a time.
class AccessRecordset : public Recordset {
 public:
  AccessRecordset(const std::vector<ColumnFormat>& columns, std::unique_ptr<RowSource> rows)
      : rows_(std::move(rows)), fields_(*this, columns) {
    has_row_ = rows_->Next(row_);
  }
  // The cursor and lock types belong to the connection that opened this recordset.
  void SetCursorType(int32_t) override {}
  void SetLockType(int32_t) override {}
  void Open(const std::string&, Connection&, int32_t, int32_t, int32_t) override {
    throw RaisedError(kObjectOpen);
  }
  bool Eof() const override {
    RequireOpen();
    return !has_row_;
  }
  void MoveNext() override {
    RequireOpen();
    if (!has_row_) throw RaisedError(kNoCurrentRow);
    has_row_ = rows_->Next(row_);
  }
  int32_t State() const override { return rows_ ? ado::kStateOpen : ado::kStateClosed; }
  void Close() override {
    RequireOpen();
    rows_.reset();
    row_.clear();
    has_row_ = false;
  }
  const Fields& GetFields() const override {
    RequireOpen();
    return fields_;
  }
  const Value& CurrentValue(size_t position) const {
    RequireOpen();
    if (!has_row_) throw RaisedError(kNoCurrentRow);
    return row_[position];
  }

 private:
  void RequireOpen() const {
    if (!rows_) throw RaisedError(kObjectClosed);
  }

  std::unique_ptr<RowSource> rows_;
  AccessFields fields_;
  std::vector<Value> row_;
  bool has_row_ = false;
};

Value AccessField::GetValue() const {
  const Value& value = recordset_.CurrentValue(position_);
  RequireReadable(column_);
  return value;
}

size_t ColumnPosition(const std::vector<ColumnFormat>& columns, const std::string& name) {
  std::string wanted = FoldCase(name);
  for (size_t i = 0; i < columns.size(); ++i) {
    if (FoldCase(columns[i].name) == wanted) return i;
  }
  throw RaisedError(kUnknownName);
}

// The positions of the rows of `table`, sorted by column `column` as Jet sorts; rows with equal
// keys keep the table's order. Only the keys are held, not the rows.
std::vector<TableReader::RowPosition> SortedPositions(const std::shared_ptr<AccessFile>& file,
                                                      const std::string& table,
                                                      const std::string& column, bool descending) {
  struct KeyedRow {
    Value key;
    TableReader::RowPosition position;
  };
  TableReader reader(file, table);
  size_t key = ColumnPosition(reader.Columns(), column);
  RequireReadable(reader.Columns()[key]);
  std::vector<KeyedRow> keyed;
  for (std::vector<Value> row; reader.Next(row, key);) {
    keyed.push_back({std::move(row[key]), reader.Position()});
  }
  std::stable_sort(keyed.begin(), keyed.end(), [descending](const auto& a, const auto& b) {
    return descending ? SortsBefore(b.key, a.key) : SortsBefore(a.key, b.key);
  });
  std::vector<TableReader::RowPosition> order;
  order.reserve(keyed.size());
  for (const KeyedRow& row : keyed) order.push_back(row.position);
  return order;
}

class AccessBackend : public OpenBackend {
 public:
  explicit AccessBackend(std::shared_ptr<AccessFile> file) : file_(std::move(file)) {}

  std::unique_ptr<Recordset> Execute(const std::string& statement) override {
    RequireOpen();
    std::optional<OrderedQuery> query = ParseOrderedQuery(statement);
    if (!query) {
      throw RaisedError(
          "The Access reader does not run this statement (it reads files without changing them "
          "and runs only SELECT * FROM table ORDER BY column): " +
          statement);
    }
    std::vector<TableReader::RowPosition> order =
        SortedPositions(file_, query->table, query->column, query->descending);
    // A reader of its own, whose long values and moved rows may take the file's size again.
    auto reader = std::make_unique<TableReader>(file_, query->table);
    std::vector<ColumnFormat> columns = reader->Columns();
    return std::make_unique<AccessRecordset>(
        columns, std::make_unique<OrderedRows>(std::move(reader), std::move(order)));
  }

  std::unique_ptr<Recordset> OpenTable(const std::string& table) override {
    RequireOpen();
    auto reader = std::make_unique<TableReader>(file_, table);
    std::vector<ColumnFormat> columns = reader->Columns();
    return std::make_unique<AccessRecordset>(columns,
                                             std::make_unique<StreamedRows>(std::move(reader)));
  }

  int32_t ErrorsCount() const override { return 0; }

  // Recordsets still open keep the file open until they end.
  void Close() override { file_.reset(); }

 private:
  void RequireOpen() const {
    if (!file_) throw RaisedError(kObjectClosed);
  }

  std::shared_ptr<AccessFile> file_;
};

}  // namespace

std::unique_ptr<OpenBackend> OpenAccessBackend(const std::string& path) {
  return std::make_unique<AccessBackend>(AccessFile::Open(path));
}

}  // namespace toverak
