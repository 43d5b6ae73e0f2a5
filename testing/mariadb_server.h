// A throw-away MariaDB server for tests: its own data folder in a temporary folder, made by
// mariadb-install-db, a free loopback port and a socket there, one user with a password.
// Stopped and removed on destruction.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "testing/server_process.h"

namespace toverak {

class MariaDbServer : public LiveServer {
 public:
  // Starts a new server; throws std::runtime_error, with the server's log, when it cannot.
  MariaDbServer();
  MariaDbServer(const MariaDbServer&) = delete;
  MariaDbServer& operator=(const MariaDbServer&) = delete;
  ~MariaDbServer() override;

  // The server of this test process, started on first use and stopped when the process ends.
  static MariaDbServer& Shared();

  // Through MariaDB's Unicode ODBC driver.
  std::string OdbcText(const std::string& name) const override;
  // A database on which the test user has every right.
  std::string NewDatabase() override;
  // Through the mariadb client, as root on the server's socket.
  void RunAsSuperuser(const std::string& database, const std::string& sql) const override;
  // The tables of live_schema_mariadb.sql.
  std::string NewLiveDatabase() override;

 private:
  void Start();
  bool StartOn(int port);
  std::filesystem::path Socket() const { return folder_ / "server.sock"; }

  std::filesystem::path folder_;
  pid_t server_ = -1;
  int port_ = 0;
  std::string user_ = "toverak";
  std::string password_ = "Pw-toverak-1";
  int databases_ = 0;
};

}  // namespace toverak
