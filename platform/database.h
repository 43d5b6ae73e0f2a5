// The database objects that the program uses, shaped like ADO's Connection, Recordset,
// Fields, Field and the count of Errors. Every failing operation throws RaisedError.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/value.h"

namespace toverak {

// ADO's constants for the settings that the program passes.
namespace ado {
constexpr int32_t kStateClosed = 0;
constexpr int32_t kStateOpen = 1;
constexpr int32_t kOpenUnspecified = -1;
constexpr int32_t kOpenStatic = 3;
constexpr int32_t kLockUnspecified = -1;
constexpr int32_t kLockOptimistic = 3;
constexpr int32_t kCmdTable = 2;
}  // namespace ado

class Field {
 public:
  virtual ~Field() = default;
  // The column's name as the table defines it.
  virtual std::string Name() const = 0;
  // The provider's type code (ado_type); 7 is a date and time.
  virtual int32_t Type() const = 0;
  // The value in the current row, possibly Null; throws when there is no current row.
  virtual Value GetValue() const = 0;
};

class Fields {
 public:
  virtual ~Fields() = default;
  // The number of columns.
  virtual int32_t Count() const = 0;
  // The column at `position`, counted from 0 in column order; throws when out of range.
  virtual const Field& Item(int32_t position) const = 0;
  // The column of that name (without regard to case, as ADO looks names up); throws when absent.
  virtual const Field& Item(const std::string& name) const = 0;
};

class Connection;

class Recordset {
 public:
  virtual ~Recordset() = default;
  // The cursor type that the next Open uses when it is given -1.
  virtual void SetCursorType(int32_t cursor_type) = 0;
  // The lock type that the next Open uses when it is given -1.
  virtual void SetLockType(int32_t lock_type) = 0;
  // Opens `source` (a table name when `options` is 2) on an open `connection`; afterwards the
  // recordset stands on the first row, or at EOF when there is none; throws on a missing table.
  virtual void Open(const std::string& source, Connection& connection, int32_t cursor_type,
                    int32_t lock_type, int32_t options) = 0;
  // True when there is no current row: past the last row, or an empty result.
  virtual bool Eof() const = 0;
  // Moves to the next row; throws when already at EOF.
  virtual void MoveNext() = 0;
  // 1 while open, 0 once closed.
  virtual int32_t State() const = 0;
  // Closes the recordset; throws when it is not open.
  virtual void Close() = 0;
  // The columns of the open recordset, with the values of the current row.
  virtual const Fields& GetFields() const = 0;
};

class Connection {
 public:
  virtual ~Connection() = default;
  // The text that Open reads, handed on unchanged.
  virtual void SetConnectionString(const std::string& text) = 0;
  // The login time-out of the next Open, in seconds.
  virtual void SetConnectionTimeout(int32_t seconds) = 0;
  // Opens the connection that the connection string names; throws when it cannot be made.
  virtual void Open() = 0;
  // Runs one statement at once (no transaction); throws when it is rejected. For a SELECT the
  // result stands on its first row; for other statements it is a closed recordset.
  virtual std::unique_ptr<Recordset> Execute(const std::string& statement) = 0;
  // The number of error or warning entries that the latest operation left on the connection.
  virtual int32_t ErrorsCount() const = 0;
  // 1 while open, 0 otherwise.
  virtual int32_t State() const = 0;
  // Closes the connection; throws when it is not open.
  virtual void Close() = 0;
};

// Creates the database objects of the platform, as ADO's `New Connection` and `New Recordset`.
class Database {
 public:
  virtual ~Database() = default;
  // A new, closed connection.
  virtual std::unique_ptr<Connection> NewConnection() = 0;
  // A new, closed recordset.
  virtual std::unique_ptr<Recordset> NewRecordset() = 0;
};

}  // namespace toverak
