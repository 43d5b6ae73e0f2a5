// The database objects of the POSIX platform: a connection that picks its backend by the
// provider of its connection string, and recordsets over the tables of that backend.
#include <memory>

#include "platform/ado_errors.h"
#include "platform/error.h"
#include "platform/posix/backend.h"
#include "platform/posix/connection_string.h"
#include "platform/posix/posix_env.h"

namespace toverak {
namespace {

// ADO's ConnectionTimeout until it is set.
constexpr int32_t kDefaultTimeout = 15;

class PosixConnection : public Connection {
 public:
  void SetConnectionString(const std::string& text) override { connection_string_ = text; }
  void SetConnectionTimeout(int32_t seconds) override { timeout_ = seconds; }
  void Open() override;
  std::unique_ptr<Recordset> Execute(const std::string& statement) override {
    return OpenBackendOrThrow().Execute(statement);
  }
  int32_t ErrorsCount() const override { return backend_ ? backend_->ErrorsCount() : 0; }
  int32_t State() const override { return backend_ ? ado::kStateOpen : ado::kStateClosed; }
  void Close() override;

  // The open backend, shared with the recordsets opened on it so that it outlives them.
  const std::shared_ptr<OpenBackend>& backend() const { return backend_; }

 private:
  OpenBackend& OpenBackendOrThrow() const {
    if (!backend_) throw RaisedError(ado_error::kObjectClosed);
    return *backend_;
  }

  std::string connection_string_;
  int32_t timeout_ = kDefaultTimeout;
  std::shared_ptr<OpenBackend> backend_;
};

void PosixConnection::Open() {
  if (backend_) throw RaisedError(ado_error::kObjectOpen);
  const BackendTarget target = TranslateConnectionString(connection_string_);
  switch (target.kind) {
    case BackendTarget::Kind::kAccess:
      backend_ = OpenAccessBackend(target.text);
      break;
    case BackendTarget::Kind::kOdbc:
      backend_ = OpenOdbcBackend(target.text, timeout_);
      break;
  }
}

void PosixConnection::Close() {
  OpenBackendOrThrow();
  // With recordsets still open on it, the backend ends when the last of them is released.
  if (backend_.use_count() == 1) backend_->Close();
  backend_.reset();
}

class EmptyFields : public Fields {
 public:
  int32_t Count() const override { return 0; }
  const Field& Item(int32_t) const override { throw NoItem(); }
  const Field& Item(const std::string&) const override { throw NoItem(); }

 private:
  static RaisedError NoItem() { return RaisedError(ado_error::kItemNotFound); }
};

class PosixRecordset : public Recordset {
 public:
  void SetCursorType(int32_t cursor_type) override { cursor_type_ = cursor_type; }
  void SetLockType(int32_t lock_type) override { lock_type_ = lock_type; }
  void Open(const std::string& source, Connection& connection, int32_t cursor_type,
            int32_t lock_type, int32_t options) override;
  bool Eof() const override { return !rows_ || rows_->Eof(); }
  void MoveNext() override { OpenRowsOrThrow().MoveNext(); }
  int32_t State() const override { return rows_ ? ado::kStateOpen : ado::kStateClosed; }
  void Close() override {
    OpenRowsOrThrow().Close();
    rows_.reset();
    backend_.reset();
  }
  const Fields& GetFields() const override {
    static const EmptyFields kNoFields;
    return rows_ ? rows_->GetFields() : kNoFields;
  }

 private:
  Recordset& OpenRowsOrThrow() const {
    if (!rows_) throw RaisedError(ado_error::kObjectClosed);
    return *rows_;
  }

  // Every backend reads front to back; the types are kept as ADO keeps them.
  int32_t cursor_type_ = 0;
  int32_t lock_type_ = 1;
  // Declared before the rows, so that the rows are released first.
  std::shared_ptr<OpenBackend> backend_;
  std::unique_ptr<Recordset> rows_;
};

void PosixRecordset::Open(const std::string& source, Connection& connection, int32_t cursor_type,
                          int32_t lock_type, int32_t options) {
  if (rows_) throw RaisedError(ado_error::kObjectOpen);
  auto* posix = dynamic_cast<PosixConnection*>(&connection);
  if (!posix) throw RaisedError("The connection does not belong to this platform's database");
  if (!posix->backend()) throw RaisedError(ado_error::kObjectClosed);
  if (options != ado::kCmdTable) {
    throw RaisedError("Only tables can be opened as recordsets here (options 2); options " +
                      std::to_string(options) + " are not supported");
  }
  if (cursor_type != ado::kOpenUnspecified) cursor_type_ = cursor_type;
  if (lock_type != ado::kLockUnspecified) lock_type_ = lock_type;
  std::unique_ptr<Recordset> rows = posix->backend()->OpenTable(source);
  backend_ = posix->backend();
  rows_ = std::move(rows);
}

class PosixDatabase : public Database {
 public:
  std::unique_ptr<Connection> NewConnection() override {
    return std::make_unique<PosixConnection>();
  }
  std::unique_ptr<Recordset> NewRecordset() override { return std::make_unique<PosixRecordset>(); }
};

}  // namespace

std::unique_ptr<Database> NewPosixDatabase() { return std::make_unique<PosixDatabase>(); }

}  // namespace toverak
