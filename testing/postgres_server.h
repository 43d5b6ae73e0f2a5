// A throw-away PostgreSQL server for tests: its own data folder in a temporary folder, a free
// loopback port, one database and one user with a password. Stopped and removed on destruction.
#pragma once

#include <filesystem>
#include <string>

#include "testing/server_process.h"
#include "testing/temp_folder.h"

namespace toverak {

class PostgresServer : public LiveServer {
 public:
  // Starts a new server with the server `settings` ("-c name=value ..." of postgres) on top of
  // the tests' own; throws std::runtime_error, with the server's log, when it cannot.
  explicit PostgresServer(const std::string& settings = "");
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;
  ~PostgresServer() override;

  // The server of this test process, started on first use and stopped when the process ends.
  static PostgresServer& Shared();

  int port() const { return port_; }
  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }
  // Through the PostgreSQL Unicode driver.
  std::string OdbcText(const std::string& name) const override;
  // A database owned by the test user.
  std::string NewDatabase() override;
  // Through psql.
  void RunAsSuperuser(const std::string& database, const std::string& sql) const override;
  // The tables of live_schema_postgres.sql.
  std::string NewLiveDatabase() override;

  // Stops the server at once, as a crash would, and starts it again on the same port; both
  // throw when the server does not follow.
  void StopAbruptly();
  void StartAgain();

 private:
  void Start();
  bool StartOn(int port) const;
  std::string StopCommand() const;
  std::string ServerCommand(const std::string& arguments) const;
  std::string Log() const;

  std::filesystem::path folder_;
  std::string settings_;
  int port_ = 0;
  std::string user_ = "toverak";
  std::string password_ = "Pw-toverak-1";
  int databases_ = 0;
};

// A SQLite database file in its own temporary folder, removed with it.
class SqliteFile {
 public:
  SqliteFile() : path_(folder_.path() / "live.db") {}

  const std::filesystem::path& path() const { return path_; }
  // The ODBC connection text through Debian's SQLite 3 driver.
  std::string OdbcText() const { return "Driver={SQLite3};Database=" + path_.string(); }

 private:
  TempFolder folder_;
  std::filesystem::path path_;
};

}  // namespace toverak
