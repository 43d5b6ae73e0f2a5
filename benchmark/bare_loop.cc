// The third way, the limit: the restore's statements and nothing else, straight into ODBC.
#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <fstream>

#include "app/backup_check.h"
#include "benchmark/restore_ways.h"
#include "platform/error.h"
#include "platform/posix/posix_env.h"

namespace toverak {
namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each statement in the file: its length as 8 bytes, then its bytes.
void WriteStatement(std::ofstream& out, const std::string& statement) {
  const uint64_t length = statement.size();
  out.write(reinterpret_cast<const char*>(&length), sizeof length);
  out.write(statement.data(), std::streamsize(length));
}

bool ReadStatement(std::ifstream& in, std::string& statement) {
  uint64_t length = 0;
  if (!in.read(reinterpret_cast<char*>(&length), sizeof length)) return false;
  statement.resize(length);
  return bool(in.read(statement.data(), std::streamsize(length)));
}

std::string DiagnosticText(SQLSMALLINT type, SQLHANDLE handle) {
  SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
  SQLCHAR message[1024] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length);
  return std::string(reinterpret_cast<char*>(state)) + ": " + reinterpret_cast<char*>(message);
}

// One ODBC connection with one statement handle, freed at the end.
class BareOdbc {
 public:
  explicit BareOdbc(const std::string& connection_string) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment_);
    SQLSetEnvAttr(environment_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                  0);
    SQLAllocHandle(SQL_HANDLE_DBC, environment_, &connection_);
    std::string text = connection_string;
    const SQLRETURN connected =
        SQLDriverConnect(connection_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                         SQLSMALLINT(text.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(connected)) {
      throw RaisedError("cannot connect: " + DiagnosticText(SQL_HANDLE_DBC, connection_));
    }
    connected_ = true;
    SQLAllocHandle(SQL_HANDLE_STMT, connection_, &statement_);
  }
  BareOdbc(const BareOdbc&) = delete;
  BareOdbc& operator=(const BareOdbc&) = delete;
  ~BareOdbc() {
    if (statement_) SQLFreeHandle(SQL_HANDLE_STMT, statement_);
    if (connected_) SQLDisconnect(connection_);
    if (connection_) SQLFreeHandle(SQL_HANDLE_DBC, connection_);
    if (environment_) SQLFreeHandle(SQL_HANDLE_ENV, environment_);
  }

  // Runs `text`; a searched statement that touches no row (SQL_NO_DATA) is a success.
  void Execute(std::string& text) {
    const SQLRETURN result =
        SQLExecDirect(statement_, reinterpret_cast<SQLCHAR*>(text.data()), SQLINTEGER(text.size()));
    if (!SQL_SUCCEEDED(result) && result != SQL_NO_DATA) {
      throw RaisedError(DiagnosticText(SQL_HANDLE_STMT, statement_) + " in " + text.substr(0, 200));
    }
    SQLFreeStmt(statement_, SQL_CLOSE);
  }

 private:
  SQLHENV environment_ = SQL_NULL_HANDLE;
  SQLHDBC connection_ = SQL_NULL_HANDLE;
  SQLHSTMT statement_ = SQL_NULL_HANDLE;
  bool connected_ = false;
};

}  // namespace

size_t WriteStatementsFile(const std::filesystem::path& backup, const std::filesystem::path& file) {
  char program_name[] = "toverak";
  char* arguments[] = {program_name, nullptr};
  std::unique_ptr<Host> host = NewPosixHost(1, arguments);
  std::unique_ptr<Database> database = NewPosixDatabase();
  std::unique_ptr<ServiceManager> services = NewPosixServiceManager();
  Program program{Env{*host, *database, *services}, file.parent_path().string()};
  const BackupCheck check = CheckBackup(program, backup.string());
  if (!check.failure.empty()) throw RaisedError("the restore would fail: " + check.failure);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  for (const std::string& statement : check.statements) WriteStatement(out, statement);
  if (!out.flush()) throw RaisedError("cannot write " + file.string());
  return check.statements.size();
}

size_t CountStatementsInFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  size_t count = 0;
  for (std::string statement; ReadStatement(in, statement);) ++count;
  return count;
}

WayResult BareLoop(const std::filesystem::path& statements_file, const std::string& live) {
  std::ifstream in(statements_file, std::ios::binary);
  if (!in) throw RaisedError("cannot read " + statements_file.string());
  const auto start = std::chrono::steady_clock::now();
  BareOdbc odbc(live);
  WayResult result;
  result.database_seconds = 0;
  for (std::string statement; ReadStatement(in, statement);) {
    const auto sent = std::chrono::steady_clock::now();
    odbc.Execute(statement);
    result.database_seconds += SecondsSince(sent);
  }
  result.ok = true;
  result.wall_seconds = SecondsSince(start);
  return result;
}

}  // namespace toverak
