#include "testing/windows/test_support.h"

#include <sql.h>
#include <sqlext.h>

#include <stdexcept>

namespace toverak {
namespace {

constexpr DWORD kEndControl = 200;  // the test service's own control that always ends it

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

DWORD CurrentState(SC_HANDLE service) {
  SERVICE_STATUS status{};
  return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

// A statement handle on a new connection to an ODBC data source, all freed at the end.
class OdbcStatement {
 public:
  OdbcStatement(const std::string& dsn, const std::string& text) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment_);
    SQLSetEnvAttr(environment_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                  0);
    SQLAllocHandle(SQL_HANDLE_DBC, environment_, &connection_);
    std::string name = dsn;
    if (!SQL_SUCCEEDED(SQLConnect(connection_, reinterpret_cast<SQLCHAR*>(name.data()), SQL_NTS,
                                  nullptr, 0, nullptr, 0))) {
      Failure("Cannot connect to " + dsn, SQL_HANDLE_DBC, connection_);
    }
    SQLAllocHandle(SQL_HANDLE_STMT, connection_, &statement_);
    std::string statement = text;
    const SQLRETURN done =
        SQLExecDirect(statement_, reinterpret_cast<SQLCHAR*>(statement.data()), SQL_NTS);
    if (!SQL_SUCCEEDED(done) && done != SQL_NO_DATA) {
      Failure("Cannot run " + text, SQL_HANDLE_STMT, statement_);
    }
  }
  OdbcStatement(const OdbcStatement&) = delete;
  OdbcStatement& operator=(const OdbcStatement&) = delete;
  ~OdbcStatement() {
    if (statement_) SQLFreeHandle(SQL_HANDLE_STMT, statement_);
    SQLDisconnect(connection_);
    SQLFreeHandle(SQL_HANDLE_DBC, connection_);
    SQLFreeHandle(SQL_HANDLE_ENV, environment_);
  }

  std::vector<std::string> Rows() {
    SQLSMALLINT columns = 0;
    SQLNumResultCols(statement_, &columns);
    std::vector<std::string> rows;
    while (SQL_SUCCEEDED(SQLFetch(statement_))) {
      std::string row;
      for (SQLUSMALLINT column = 1; column <= columns; ++column) {
        char text[512] = {};
        SQLLEN length = 0;
        SQLGetData(statement_, column, SQL_C_CHAR, text, sizeof text, &length);
        if (column > 1) row += "|";
        row += length == SQL_NULL_DATA ? "NULL" : text;
      }
      rows.push_back(row);
    }
    return rows;
  }

 private:
  [[noreturn]] void Failure(const std::string& what, SQLSMALLINT type, SQLHANDLE handle) {
    char state[8] = {};
    char message[512] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, reinterpret_cast<SQLCHAR*>(state), &native,
                  reinterpret_cast<SQLCHAR*>(message), sizeof message, &length);
    throw std::runtime_error(what + ": " + message);
  }

  SQLHENV environment_ = SQL_NULL_HENV;
  SQLHDBC connection_ = SQL_NULL_HDBC;
  SQLHSTMT statement_ = SQL_NULL_HSTMT;
};

}  // namespace

void OdbcExecute(const std::string& dsn, const std::string& statement) {
  OdbcStatement run(dsn, statement);
}

std::vector<std::string> OdbcRows(const std::string& dsn, const std::string& query) {
  OdbcStatement run(dsn, query);
  return run.Rows();
}

ProgramRun RunProgram(const std::string& executable, const std::string& arguments) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherited, 0)) Fail("Cannot make a pipe");
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::string command_line = "\"" + executable + "\" " + arguments;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(executable.c_str(), command_line.data(), nullptr, nullptr,
                                      TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(write_end);
  if (!started) Fail("Cannot start " + executable);
  ProgramRun run{DWORD(-1), ""};
  char chunk[512];
  for (DWORD got = 0; ReadFile(read_end, chunk, sizeof chunk, &got, nullptr) && got > 0;) {
    run.output.append(chunk, got);
  }
  CloseHandle(read_end);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &run.status);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return run;
}

std::string TestProgramsFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string module(path, length);
  return module.substr(0, module.rfind('\\'));
}

TestService::TestService(const std::string& name, ServiceBehaviour behaviour) : name_(name) {
  manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager_) Fail("Cannot open the service manager");
  std::string command = "\"" + TestProgramsFolder() + "\\toverak_test_service.exe\"";
  if (behaviour == ServiceBehaviour::kRefusesStop) command += " refuse-stop";
  const DWORD start_type =
      behaviour == ServiceBehaviour::kDisabled ? SERVICE_DISABLED : SERVICE_DEMAND_START;
  service_ = CreateServiceA(manager_, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                            SERVICE_WIN32_OWN_PROCESS, start_type, SERVICE_ERROR_IGNORE,
                            command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  if (!service_) {
    CloseServiceHandle(manager_);
    Fail("Cannot create the service " + name);
  }
}

TestService::~TestService() {
  if (CurrentState(service_) != SERVICE_STOPPED) {
    SERVICE_STATUS status{};
    ControlService(service_, kEndControl, &status);
    WaitForState(SERVICE_STOPPED);
  }
  DeleteService(service_);
  CloseServiceHandle(service_);
  // The manager removes a deleted service only once its process has gone; until then a new
  // service of the same name is refused (1072), so the next test waits here, not there.
  for (int tries = 0; tries < 100; ++tries) {
    SC_HANDLE left = OpenServiceA(manager_, name_.c_str(), SERVICE_QUERY_STATUS);
    if (!left) break;
    CloseServiceHandle(left);
    Sleep(50);
  }
  CloseServiceHandle(manager_);
}

void TestService::StartAndWait() {
  if (!StartServiceA(service_, 0, nullptr)) Fail("Cannot start the service " + name_);
  if (!WaitForState(SERVICE_RUNNING)) Fail("The service " + name_ + " does not run");
}

bool TestService::WaitForState(DWORD state) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (CurrentState(service_) == state) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace toverak
