// Helpers of the Windows tests: the test programs' folder, ODBC past ADO, and real services
// registered for the length of a test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace toverak {

// The folder of the running test executable, where the build puts the other test programs.
std::string TestProgramsFolder();

// What a program printed on its standard output, and its exit status.
struct ProgramRun {
  DWORD status;
  std::string output;
};
// Runs `executable` with `arguments` to its end (a minute at most), its output captured.
ProgramRun RunProgram(const std::string& executable, const std::string& arguments);

// Runs `statement` on the ODBC data source `dsn` directly, past ADO; throws on failure.
void OdbcExecute(const std::string& dsn, const std::string& statement);
// The rows of `query` on the ODBC data source `dsn`, each as its fields' texts joined by "|",
// "NULL" standing for a missing value.
std::vector<std::string> OdbcRows(const std::string& dsn, const std::string& query);

enum class ServiceBehaviour { kStops, kRefusesStop, kDisabled };

// The minimal test service, registered under `name` while the object lives; when it is gone the
// service is ended and deleted.
class TestService {
 public:
  TestService(const std::string& name, ServiceBehaviour behaviour);
  TestService(const TestService&) = delete;
  TestService& operator=(const TestService&) = delete;
  ~TestService();

  // Starts the service and waits until it runs.
  void StartAndWait();
  // Waits until the service reports `state`; false when it does not within a few seconds.
  bool WaitForState(DWORD state);

 private:
  std::string name_;
  SC_HANDLE manager_;
  SC_HANDLE service_;
};

}  // namespace toverak
