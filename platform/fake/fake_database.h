// In-memory databases for tests: tables of values, scripted failures and Errors counts, and a
// record of every statement that the code ran.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/database.h"

namespace toverak {

struct FakeColumn {
  std::string name;
  int32_t type;
};

struct FakeTable {
  std::vector<FakeColumn> columns;
  std::vector<std::vector<Value>> rows;
};

// One database, reached by the connection string under which it was added.
struct FakeDataSource {
  std::map<std::string, FakeTable> tables;
  // Scripted behaviour: Open fails with this description; Errors.Count after Open; Errors.Count
  // after a given statement; statements (by prefix) that fail with a description.
  std::optional<std::string> open_error;
  int32_t errors_after_open = 0;
  std::map<std::string, int32_t> errors_after;
  std::map<std::string, std::string> failing_statements;

  // What the code did: the statements that ran, the tables opened ("name cursor lock options"),
  // the time-out of the latest Open, and how many connections were closed.
  std::vector<std::string> executed;
  std::vector<std::string> table_opens;
  std::optional<int32_t> open_timeout;
  int closes = 0;
};

class FakeDatabase : public Database {
 public:
  // Adds a database that a connection with exactly this connection string opens.
  FakeDataSource& AddSource(const std::string& connection_string);
  FakeDataSource& Source(const std::string& connection_string);

  std::unique_ptr<Connection> NewConnection() override;
  std::unique_ptr<Recordset> NewRecordset() override;

 private:
  std::map<std::string, FakeDataSource> sources_;
};

}  // namespace toverak
