// ODBC handles that free themselves, their diagnostics, and the session of one connection.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

#include "platform/posix/odbc/odbc_types.h"

namespace toverak {

class OdbcHandle {
 public:
  // Allocates a handle of `type` under `parent` (SQL_NULL_HANDLE for an environment); throws
  // RaisedError when the driver manager cannot.
  OdbcHandle(SQLSMALLINT type, SQLHANDLE parent);
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  ~OdbcHandle();

  SQLHANDLE get() const { return handle_; }
  // The diagnostic records that the latest call on the handle left.
  std::vector<Diagnostic> Diagnostics() const;
  // Throws RaisedError with those records, or with `doing` when there are none, unless
  // `result` is a success.
  void Check(SQLRETURN result, const std::string& doing) const;

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// An environment and a connection handle, connected once Connect has succeeded. Shared by the
// connection and its open recordsets: it is disconnected and freed when the last one lets go.
class OdbcSession {
 public:
  OdbcSession();
  OdbcSession(const OdbcSession&) = delete;
  OdbcSession& operator=(const OdbcSession&) = delete;
  ~OdbcSession();

  // Connects to what `odbc_text` describes, without prompting, waiting at most
  // `login_timeout` seconds (0: the driver's own limit), and puts the session into the mode in
  // which literals read as written (session_mode.h); returns the diagnostics of the login when
  // it succeeded with information; throws RaisedError with the driver's or the database's
  // message when any of it fails.
  std::vector<Diagnostic> Connect(const std::string& odbc_text, int32_t login_timeout);
  const OdbcHandle& connection() const { return connection_; }

 private:
  void EnterSessionMode() const;

  OdbcHandle environment_;
  OdbcHandle connection_;
  bool connected_ = false;
};

}  // namespace toverak
