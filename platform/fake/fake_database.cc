#include "platform/fake/fake_database.h"

#include <algorithm>
#include <cctype>
#include <regex>

#include "platform/ado_errors.h"
#include "platform/error.h"

namespace toverak {
namespace {

// Names as ADO compares them: without regard to case.
bool SameName(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The statements that change rows, which the fake records and answers with a closed recordset.
bool ChangesRows(const std::string& statement) {
  for (const char* verb : {"DELETE ", "INSERT ", "UPDATE "}) {
    if (statement.starts_with(verb)) return true;
  }
  return false;
}

class FakeRecordset;

class FakeField : public Field {
 public:
  FakeField(const FakeRecordset& recordset, size_t position, FakeColumn column)
      : recordset_(recordset), position_(position), column_(std::move(column)) {}
  std::string Name() const override { return column_.name; }
  int32_t Type() const override { return column_.type; }
  Value GetValue() const override;

 private:
  const FakeRecordset& recordset_;
  size_t position_;
  FakeColumn column_;
};

class FakeFields : public Fields {
 public:
  void Reset(const FakeRecordset& recordset, const std::vector<FakeColumn>& columns) {
    fields_.clear();
    for (size_t i = 0; i < columns.size(); ++i) fields_.emplace_back(recordset, i, columns[i]);
  }
  int32_t Count() const override { return int32_t(fields_.size()); }
  const Field& Item(int32_t position) const override {
    if (position < 0 || size_t(position) >= fields_.size()) {
      throw RaisedError(ado_error::kItemNotFound);
    }
    return fields_[size_t(position)];
  }
  const Field& Item(const std::string& name) const override {
    for (const FakeField& field : fields_) {
      if (SameName(field.Name(), name)) return field;
    }
    throw RaisedError(ado_error::kItemNotFound);
  }

 private:
  std::vector<FakeField> fields_;
};

class FakeConnection : public Connection {
 public:
  explicit FakeConnection(std::map<std::string, FakeDataSource>& sources) : sources_(sources) {}
  void SetConnectionString(const std::string& text) override { connection_string_ = text; }
  void SetConnectionTimeout(int32_t seconds) override { timeout_ = seconds; }
  void Open() override;
  std::unique_ptr<Recordset> Execute(const std::string& statement) override;
  int32_t ErrorsCount() const override { return errors_; }
  int32_t State() const override { return source_ ? ado::kStateOpen : ado::kStateClosed; }
  void Close() override {
    RequireOpen();
    ++source_->closes;
    source_ = nullptr;
  }
  FakeDataSource& OpenSource() {
    RequireOpen();
    return *source_;
  }

 private:
  void RequireOpen() const {
    if (!source_) throw RaisedError(ado_error::kObjectClosed);
  }
  std::map<std::string, FakeDataSource>& sources_;
  std::string connection_string_;
  std::optional<int32_t> timeout_;
  FakeDataSource* source_ = nullptr;
  int32_t errors_ = 0;
};

class FakeRecordset : public Recordset {
 public:
  void SetCursorType(int32_t cursor_type) override { cursor_type_ = cursor_type; }
  void SetLockType(int32_t lock_type) override { lock_type_ = lock_type; }
  void Open(const std::string& source, Connection& connection, int32_t cursor_type,
            int32_t lock_type, int32_t options) override {
    FakeDataSource& data = dynamic_cast<FakeConnection&>(connection).OpenSource();
    if (cursor_type != ado::kOpenUnspecified) cursor_type_ = cursor_type;
    if (lock_type != ado::kLockUnspecified) lock_type_ = lock_type;
    data.table_opens.push_back(source + " " + std::to_string(cursor_type_) + " " +
                               std::to_string(lock_type_) + " " + std::to_string(options));
    const auto table = data.tables.find(source);
    if (table == data.tables.end()) throw RaisedError(ado_error::MissingTable(source));
    Load(table->second);
  }
  bool Eof() const override { return !open_ || row_ >= table_.rows.size(); }
  void MoveNext() override {
    if (Eof()) throw RaisedError(ado_error::kNoCurrentRow);
    ++row_;
  }
  int32_t State() const override { return open_ ? ado::kStateOpen : ado::kStateClosed; }
  void Close() override {
    if (!open_) throw RaisedError(ado_error::kObjectClosed);
    open_ = false;
  }
  const Fields& GetFields() const override { return fields_; }

  void Load(FakeTable table) {
    table_ = std::move(table);
    fields_.Reset(*this, table_.columns);
    row_ = 0;
    open_ = true;
  }
  Value ValueAt(size_t position) const {
    if (Eof()) throw RaisedError(ado_error::kNoCurrentRow);
    return table_.rows[row_].at(position);
  }

 private:
  int32_t cursor_type_ = 0;
  int32_t lock_type_ = 1;
  FakeTable table_;
  FakeFields fields_;
  size_t row_ = 0;
  bool open_ = false;
};

Value FakeField::GetValue() const { return recordset_.ValueAt(position_); }

// Orders Nulls first, then numbers by value and texts as texts.
bool ValueLess(const Value& a, const Value& b) {
  if (IsNull(a) || IsNull(b)) return IsNull(a) && !IsNull(b);
  return a < b;
}

void FakeConnection::Open() {
  const auto source = sources_.find(connection_string_);
  if (source == sources_.end()) {
    throw RaisedError("Could not find file '" + connection_string_ + "'.");
  }
  source->second.open_timeout = timeout_;
  if (source->second.open_error) throw RaisedError(*source->second.open_error);
  source_ = &source->second;
  errors_ = source_->errors_after_open;
}

std::unique_ptr<Recordset> FakeConnection::Execute(const std::string& statement) {
  FakeDataSource& data = OpenSource();
  for (const auto& [prefix, description] : data.failing_statements) {
    if (statement.starts_with(prefix)) throw RaisedError(description);
  }
  data.executed.push_back(statement);
  const auto errors = data.errors_after.find(statement);
  errors_ = errors == data.errors_after.end() ? 0 : errors->second;

  auto result = std::make_unique<FakeRecordset>();
  if (ChangesRows(statement)) return result;
  static const std::regex kOrderedSelect(R"(SELECT \* FROM (\w+) ORDER BY (\w+) (ASC|DESC))");
  std::smatch query;
  if (!std::regex_match(statement, query, kOrderedSelect)) {
    throw RaisedError("The fake database does not run this statement: " + statement);
  }
  const auto table = data.tables.find(query[1]);
  if (table == data.tables.end()) throw RaisedError(ado_error::MissingTable(query[1]));
  FakeTable sorted = table->second;
  const auto column = std::find_if(sorted.columns.begin(), sorted.columns.end(),
                                   [&](const FakeColumn& c) { return SameName(c.name, query[2]); });
  if (column == sorted.columns.end()) {
    throw RaisedError("No value given for one or more required parameters.");
  }
  const size_t key = size_t(column - sorted.columns.begin());
  const bool descending = query[3] == "DESC";
  std::stable_sort(sorted.rows.begin(), sorted.rows.end(), [&](const auto& a, const auto& b) {
    return descending ? ValueLess(b[key], a[key]) : ValueLess(a[key], b[key]);
  });
  result->Load(std::move(sorted));
  return result;
}

}  // namespace

FakeDataSource& FakeDatabase::AddSource(const std::string& connection_string) {
  return sources_[connection_string] = FakeDataSource{};
}

FakeDataSource& FakeDatabase::Source(const std::string& connection_string) {
  return sources_.at(connection_string);
}

std::unique_ptr<Connection> FakeDatabase::NewConnection() {
  return std::make_unique<FakeConnection>(sources_);
}

std::unique_ptr<Recordset> FakeDatabase::NewRecordset() {
  return std::make_unique<FakeRecordset>();
}

}  // namespace toverak
