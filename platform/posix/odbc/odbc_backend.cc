// The live database through the unixODBC driver manager, with the narrow (UTF-8) API.
#include <memory>

#include "platform/ado_errors.h"
#include "platform/error.h"
#include "platform/posix/backend.h"
#include "platform/posix/odbc/odbc_handle.h"
#include "platform/posix/odbc/odbc_recordset.h"

namespace toverak {
namespace {

class OdbcBackend : public OpenBackend {
 public:
  OdbcBackend(std::shared_ptr<OdbcSession> session, int32_t errors)
      : session_(std::move(session)), errors_(errors) {}

  std::unique_ptr<Recordset> Execute(const std::string& statement) override;
  std::unique_ptr<Recordset> OpenTable(const std::string& table) override;
  int32_t ErrorsCount() const override { return errors_; }
  // Recordsets still open keep the session until they are released.
  void Close() override {
    spare_statement_.reset();
    session_.reset();
  }

 private:
  std::unique_ptr<OdbcHandle> StatementHandle();

  std::shared_ptr<OdbcSession> session_;
  int32_t errors_;
  // The handle of the last statement that gave no rows, kept for the next one: most statements
  // of a restore give none, and a new handle for each costs the driver more than the statement.
  // Declared after the session, so that it is freed before the session ends.
  std::unique_ptr<OdbcHandle> spare_statement_;
};

std::unique_ptr<OdbcHandle> OdbcBackend::StatementHandle() {
  if (spare_statement_) return std::move(spare_statement_);
  return std::make_unique<OdbcHandle>(SQL_HANDLE_STMT, session_->connection().get());
}

std::unique_ptr<Recordset> OdbcBackend::Execute(const std::string& statement) {
  if (!session_) throw RaisedError(ado_error::kObjectClosed);
  std::unique_ptr<OdbcHandle> handle = StatementHandle();
  std::string text = statement;
  const SQLRETURN result = SQLExecDirect(handle->get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                         SQLINTEGER(text.size()));
  // A searched DELETE or UPDATE that touches no row answers SQL_NO_DATA: a success.
  const bool succeeded = SQL_SUCCEEDED(result) || result == SQL_NO_DATA;
  const std::vector<Diagnostic> diagnostics =
      result == SQL_SUCCESS ? std::vector<Diagnostic>{} : handle->Diagnostics();
  errors_ = succeeded ? CountReportedDiagnostics(diagnostics) : int32_t(diagnostics.size());
  if (!succeeded) {
    const std::string description = DescribeDiagnostics(diagnostics);
    throw RaisedError(description.empty() ? "The database refused the statement" : description);
  }
  SQLSMALLINT columns = 0;
  if (result != SQL_NO_DATA) handle->Check(SQLNumResultCols(handle->get(), &columns), "Execute");
  if (columns == 0) {
    handle->Check(SQLFreeStmt(handle->get(), SQL_CLOSE), "Execute");
    spare_statement_ = std::move(handle);
    return std::make_unique<OdbcRecordset>();
  }
  return std::make_unique<OdbcRecordset>(session_, std::move(handle));
}

std::unique_ptr<Recordset> OdbcBackend::OpenTable(const std::string& table) {
  std::unique_ptr<Recordset> rows = Execute("SELECT * FROM " + table);
  if (rows->State() != ado::kStateOpen) throw RaisedError("'" + table + "' gave no rows to read");
  return rows;
}

}  // namespace

std::unique_ptr<OpenBackend> OpenOdbcBackend(const std::string& odbc_text, int32_t login_timeout) {
  auto session = std::make_shared<OdbcSession>();
  const std::vector<Diagnostic> diagnostics = session->Connect(odbc_text, login_timeout);
  return std::make_unique<OdbcBackend>(std::move(session), CountReportedDiagnostics(diagnostics));
}

}  // namespace toverak
