#include "platform/posix/odbc/odbc_handle.h"

#include "platform/error.h"
#include "platform/posix/odbc/session_mode.h"

namespace toverak {
namespace {

constexpr SQLSMALLINT kMessageRoom = 1024;
constexpr SQLSMALLINT kNameRoom = 256;

SQLCHAR* Text(std::string& text) { return reinterpret_cast<SQLCHAR*>(text.data()); }

// Declares the environment an ODBC 3 application, which must come before its first connection.
SQLHANDLE Odbc3(const OdbcHandle& environment) {
  environment.Check(SQLSetEnvAttr(environment.get(), SQL_ATTR_ODBC_VERSION,
                                  reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                    "Choosing ODBC 3");
  return environment.get();
}

}  // namespace

OdbcHandle::OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
  if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_))) {
    handle_ = SQL_NULL_HANDLE;
    throw RaisedError("The ODBC driver manager cannot allocate a handle");
  }
}

OdbcHandle::~OdbcHandle() {
  if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
}

std::vector<Diagnostic> OdbcHandle::Diagnostics() const {
  std::vector<Diagnostic> diagnostics;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native_error = 0;
    std::string message(kMessageRoom, '\0');
    SQLSMALLINT length = 0;
    SQLRETURN result = SQLGetDiagRec(type_, handle_, record, state, &native_error, Text(message),
                                     kMessageRoom, &length);
    if (result == SQL_SUCCESS_WITH_INFO && length >= kMessageRoom) {
      message.assign(size_t(length) + 1, '\0');
      result = SQLGetDiagRec(type_, handle_, record, state, &native_error, Text(message),
                             SQLSMALLINT(length + 1), &length);
    }
    if (!SQL_SUCCEEDED(result)) return diagnostics;
    message.resize(std::min(size_t(length), message.size() - 1));
    diagnostics.push_back({reinterpret_cast<const char*>(state), native_error, message});
  }
}

void OdbcHandle::Check(SQLRETURN result, const std::string& doing) const {
  if (SQL_SUCCEEDED(result)) return;
  const std::string description = DescribeDiagnostics(Diagnostics());
  throw RaisedError(description.empty() ? doing + " failed" : description);
}

OdbcSession::OdbcSession()
    : environment_(SQL_HANDLE_ENV, SQL_NULL_HANDLE),
      connection_(SQL_HANDLE_DBC, Odbc3(environment_)) {}

OdbcSession::~OdbcSession() {
  if (connected_) SQLDisconnect(connection_.get());
}

std::vector<Diagnostic> OdbcSession::Connect(const std::string& odbc_text, int32_t login_timeout) {
  const SQLHDBC dbc = connection_.get();
  if (login_timeout > 0) {
    connection_.Check(SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT,
                                        reinterpret_cast<SQLPOINTER>(intptr_t(login_timeout)), 0),
                      "Setting the login time-out");
  }
  std::string text = odbc_text;
  const SQLRETURN result =
      SQLDriverConnect(dbc, nullptr, Text(text), SQLSMALLINT(std::min<size_t>(text.size(), 32767)),
                       nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  connection_.Check(result, "Connecting to the database");
  connected_ = true;
  std::vector<Diagnostic> diagnostics;
  if (result == SQL_SUCCESS_WITH_INFO) diagnostics = connection_.Diagnostics();
  // Every statement takes effect at once.
  connection_.Check(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                                      reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0),
                    "Turning on autocommit");
  EnterSessionMode();
  return diagnostics;
}

void OdbcSession::EnterSessionMode() const {
  std::string name(kNameRoom, '\0');
  SQLSMALLINT length = 0;
  connection_.Check(SQLGetInfo(connection_.get(), SQL_DBMS_NAME, name.data(), kNameRoom, &length),
                    "Asking the driver which database it reached");
  name.resize(std::min<size_t>(size_t(length), kNameRoom - 1));
  std::optional<std::string> statement = SessionModeStatement(name);
  if (!statement) return;
  const OdbcHandle handle(SQL_HANDLE_STMT, connection_.get());
  handle.Check(SQLExecDirect(handle.get(), Text(*statement), SQLINTEGER(statement->size())),
               "Setting the session mode");
}

}  // namespace toverak
