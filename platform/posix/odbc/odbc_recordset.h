// The rows of a statement's result, read front to back from the driver.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/database.h"
#include "platform/posix/odbc/odbc_handle.h"
#include "platform/posix/odbc/odbc_types.h"

namespace toverak {

class OdbcRecordset;

class OdbcField : public Field {
 public:
  OdbcField(const OdbcRecordset& recordset, size_t position, std::string name, ColumnKind kind)
      : recordset_(recordset), position_(position), name_(std::move(name)), kind_(kind) {}
  std::string Name() const override { return name_; }
  int32_t Type() const override { return kind_.ado_type; }
  Value GetValue() const override;
  ValueKind value_kind() const { return kind_.value_kind; }

 private:
  const OdbcRecordset& recordset_;
  size_t position_;
  std::string name_;
  ColumnKind kind_;
};

class OdbcFields : public Fields {
 public:
  int32_t Count() const override { return int32_t(fields_.size()); }
  const Field& Item(int32_t position) const override;
  const Field& Item(const std::string& name) const override;
  std::vector<OdbcField>& fields() { return fields_; }

 private:
  std::vector<OdbcField> fields_;
};

class OdbcRecordset : public Recordset {
 public:
  // A closed recordset: the result of a statement that gives no rows.
  OdbcRecordset() = default;
  // The open result of `statement`, executed on `session` and giving columns; reads its first
  // row. Throws RaisedError when the driver fails to describe or fetch it.
  OdbcRecordset(std::shared_ptr<OdbcSession> session, std::unique_ptr<OdbcHandle> statement);
  OdbcRecordset(const OdbcRecordset&) = delete;
  OdbcRecordset& operator=(const OdbcRecordset&) = delete;

  void SetCursorType(int32_t) override {}
  void SetLockType(int32_t) override {}
  // Results come from the connection; a statement's result is never opened again.
  void Open(const std::string& source, Connection& connection, int32_t cursor_type,
            int32_t lock_type, int32_t options) override;
  bool Eof() const override { return !statement_ || at_end_; }
  void MoveNext() override;
  int32_t State() const override { return statement_ ? ado::kStateOpen : ado::kStateClosed; }
  void Close() override;
  const Fields& GetFields() const override { return fields_; }

  // The value of the column at `position` in the current row; throws when there is none.
  Value ValueAt(size_t position) const;

 private:
  void DescribeColumns();
  void Fetch();
  Value ReadValue(SQLUSMALLINT column, ValueKind kind) const;

  // Declared before the statement, so that the statement is freed first.
  std::shared_ptr<OdbcSession> session_;
  std::unique_ptr<OdbcHandle> statement_;
  OdbcFields fields_;
  std::vector<Value> row_;
  bool at_end_ = true;
};

}  // namespace toverak
