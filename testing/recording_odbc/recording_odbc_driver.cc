// An ODBC driver for tests that reaches no database: the driver manager loads it by its path
// (Driver=/path/to/it.so) and it records the login and every statement that it is sent.
// Keywords of the connection text:
//   Dbms    what it answers for SQL_DBMS_NAME ("Microsoft SQL Server", as FreeTDS reports SQL
//           Server, when absent);
//   Log     the file to which it appends "<login>" and each statement, each ended by a NUL;
//   Refuse  statements that begin so fail with the message "refused: " and the statement.
// Statements give no rows.
#include <sql.h>
#include <sqlext.h>
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

namespace {

struct Handle {
  std::string error;  // the message of the last call's failure; empty after a success
};

struct Connection : Handle {
  std::string dbms = "Microsoft SQL Server";
  std::string log;
  std::string refuse;
};

struct Statement : Handle {
  Connection* connection;
};

std::string TextOf(SQLCHAR* text, SQLINTEGER length) {
  const char* chars = reinterpret_cast<const char*>(text);
  return length == SQL_NTS ? std::string(chars) : std::string(chars, size_t(length));
}

void Record(const Connection& connection, const std::string& entry) {
  std::ofstream(connection.log, std::ios::binary | std::ios::app) << entry << '\0';
}

// Takes the keywords of the connection text that this driver knows.
void ReadConnectionText(Connection& connection, const std::string& text) {
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find(';', begin);
    if (end == std::string::npos) end = text.size();
    const std::string pair = text.substr(begin, end - begin);
    const size_t equals = pair.find('=');
    if (equals != std::string::npos) {
      const std::string keyword = pair.substr(0, equals);
      const std::string value = pair.substr(equals + 1);
      if (strcasecmp(keyword.c_str(), "Dbms") == 0) connection.dbms = value;
      if (strcasecmp(keyword.c_str(), "Log") == 0) connection.log = value;
      if (strcasecmp(keyword.c_str(), "Refuse") == 0) connection.refuse = value;
    }
    begin = end + 1;
  }
}

SQLRETURN PutText(const std::string& text, SQLPOINTER out, SQLSMALLINT room, SQLSMALLINT* length) {
  if (length) *length = SQLSMALLINT(text.size());
  if (out && room > 0) {
    const size_t copied = std::min(text.size(), size_t(room - 1));
    std::memcpy(out, text.data(), copied);
    static_cast<char*>(out)[copied] = '\0';
  }
  return SQL_SUCCESS;
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE parent, SQLHANDLE* handle) {
  switch (type) {
    case SQL_HANDLE_ENV:
      *handle = new Handle;
      return SQL_SUCCESS;
    case SQL_HANDLE_DBC:
      *handle = new Connection;
      return SQL_SUCCESS;
    case SQL_HANDLE_STMT:
      *handle = new Statement{{}, static_cast<Connection*>(parent)};
      return SQL_SUCCESS;
  }
  return SQL_ERROR;
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  if (type == SQL_HANDLE_DBC) {
    delete static_cast<Connection*>(handle);
  } else if (type == SQL_HANDLE_STMT) {
    delete static_cast<Statement*>(handle);
  } else {
    delete static_cast<Handle*>(handle);
  }
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC handle, SQLHWND, SQLCHAR* in, SQLSMALLINT in_length,
                                   SQLCHAR* out, SQLSMALLINT out_room, SQLSMALLINT* out_length,
                                   SQLUSMALLINT) {
  auto& connection = *static_cast<Connection*>(handle);
  const std::string text = TextOf(in, in_length);
  ReadConnectionText(connection, text);
  Record(connection, "<login>");
  return PutText(text, out, out_room, out_length);
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLGetInfo(SQLHDBC handle, SQLUSMALLINT type, SQLPOINTER out, SQLSMALLINT room,
                             SQLSMALLINT* length) {
  auto& connection = *static_cast<Connection*>(handle);
  if (type == SQL_DBMS_NAME) return PutText(connection.dbms, out, room, length);
  if (type == SQL_DRIVER_ODBC_VER) return PutText("03.80", out, room, length);
  connection.error = "information type " + std::to_string(type) + " is not known";
  return SQL_ERROR;
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT handle, SQLCHAR* text, SQLINTEGER length) {
  auto& statement = *static_cast<Statement*>(handle);
  const std::string sql = TextOf(text, length);
  Record(*statement.connection, sql);
  const std::string& refused = statement.connection->refuse;
  statement.error = !refused.empty() && sql.starts_with(refused) ? "refused: " + sql : "";
  return statement.error.empty() ? SQL_SUCCESS : SQL_ERROR;
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT, SQLSMALLINT* columns) {
  *columns = 0;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT, SQLLEN* rows) {
  *rows = 0;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT, SQLUSMALLINT) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state,
                                SQLINTEGER* native_error, SQLCHAR* message, SQLSMALLINT room,
                                SQLSMALLINT* length) {
  const std::string& error = static_cast<Handle*>(handle)->error;
  if (record != 1 || error.empty()) return SQL_NO_DATA;
  if (state) std::memcpy(state, "42000", 6);
  if (native_error) *native_error = 0;
  return PutText(error, message, room, length);
}

// The driver manager counts the records before it reads them.
SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT record,
                                  SQLSMALLINT field, SQLPOINTER out, SQLSMALLINT, SQLSMALLINT*) {
  if (record != 0 || field != SQL_DIAG_NUMBER) return SQL_ERROR;
  *static_cast<SQLINTEGER*>(out) = static_cast<Handle*>(handle)->error.empty() ? 0 : 1;
  return SQL_SUCCESS;
}

}  // extern "C"
